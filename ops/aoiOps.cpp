#include "aoiOps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "aoiAccum.h"
#include "aoiBand.h"
#include "aoiKernels.h"
#include "bTransl.h"
#include "clonePair.h"
#include "diag.h"
#include "dispAccum.h"
#include "emuOvl.h"
#include "folio_utl.h"
#include "lexical.h"
#include "lutKernels.h"
#include "opMenu.h"
#include "renderPix.h"
#include "uiPort.h"
#include "warp.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct aoiIds {
    int32 top = -1, define = -1, shapes = -1, guns = -1, alpha = -1, planes = -1, copy = -1,
          accums = -1, accumsPan = -1, actions = -1, fill = -1, rotate = -1, clip = -1, onOff = -1,
          move = -1, snap = -1, colour = -1, composite = -1, previous = -1;
};
aoiIds ids;

// AOI OPS items.
enum : int32 {
    A_RESTORE = 1,
    A_DEFINE,
    A_MOVE,
    A_PREVIOUS,
    A_COMPOSITE,
    A_COPY,
    A_ACCUM,
    A_ROTATE,
    A_CLEAR,
    A_FILL,
    A_ALPHA,
    A_STATUS,
    A_COLOUR,
    A_WATERMARK
};

// The view less this margin bounds what MOVE may move and where PREVIOUS may put y1.
constexpr int32 VIEW_MARGIN = 16;

bool antiAlias = false;

int32 width(const aoiRec& r)
{
    return r.x1 - r.x0 + 1;
}
int32 height(const aoiRec& r)
{
    return r.y1 - r.y0 + 1;
}
bool same(const aoiRec& a, const aoiRec& b)
{
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

bool globalView(const viewState* vs)
{
    return vs->dmode & modeGLOBALV;
}

// The FG AOI, the BG AOI and the display limits outlined while a text about them is read.
class aoiFrames {
public:
    explicit aoiFrames(const bufdes* bd)
    {
        const aoiRec rs[3] = {bd->fgAoi, bd->bgAoi, aoiDisplayBox()};
        for (int k = 0; k < 3; ++k) {
            const int32u c = aoiFrameColour[k];
            no_[k] = flickBoxes.newFlick(
                rs[k], viewRgb(int(c >> 16) & 255, int(c >> 8) & 255, int(c) & 255), FLICK_DRAW);
        }
    }
    ~aoiFrames()
    {
        for (int k = 2; k >= 0; --k)
            if (no_[k] >= 0)
                flickBoxes.deleteFlick(no_[k]);
    }

private:
    int32 no_[3] = {-1, -1, -1};
};

// A view area read whole, worked on and written back with the gun write mask given.
class viewPixels {
public:
    explicit viewPixels(const aoiRec& r) : area_(&r, RP_VIEW), px_(area_.read())
    {
        area_.size(&w_, &h_);
    }
    bool ok() const { return px_ != nullptr; }
    pixArea pix() const { return pixArea{px_, w_, h_, w_}; }
    void write(int gunBits = 15)
    {
        RenderPix::setGunMask(gunBits);
        area_.write();
        RenderPix::setGunMask(15);
    }

private:
    RenderArea area_;
    int32u* px_;
    int32 w_ = 0, h_ = 0;
};

void showFgSize(const aoiRec& r, int32 flags)
{
    viewUi().message(strPrintf("  FG AOI\nWidth=  %d\nHeight= %d", width(r), height(r)), flags);
}

// ---- RESTORE, DEFINE, MOVE, PREVIOUS ----

void restore(viewState* vs, bufdes* bd, int32 guns)
{
    bufMapping m;
    if (!globalView(vs) && !DXY_TO_BUF(bd->fgAoi, &m)) {
        ack("No overlap FG_AOI and iBUFF\nUse DISP OPS|RESTORE|iBUFF");
        return;
    }
    RenderPix::setGunMask(guns > 0 ? guns & 7 : 7);
    VIEW_MEM(&bd->fgAoi, globalView(vs));
    RenderPix::setGunMask(15);
    vs->refresh |= RFR_VIEW;
}

void define(viewState* vs, bufdes* bd, int32 item, int32 shape)
{
    uiPort& ui = viewUi();
    const aoiRec box = aoiDisplayBox();
    const int32 vw = width(box), vh = height(box);
    aoiRec r{0, 0, 0, 0};
    int32 w = 0, h = 0;
    switch (item) {
    case 1:
        if (shape < 1 || !RUBBER_BAND(shape == 2 ? int32u(RUBBER_SQUARE) : 0u, aoiSnap.size, &r))
            return;
        break;
    case 2:
        if (same(bd->bgAoi, bd->fgAoi))
            return;
        r = bd->bgAoi;
        break;
    case 3:
        if (same(box, bd->fgAoi))
            return;
        r = box;
        break;
    case 4:
        w = vw / 2, h = vh / 2;
        break;
    case 5:
        w = h = 512;
        break;
    case 6:
        w = h = 256;
        break;
    case 7:
        if (ui.askIntPair("Enter area WIDTH, HEIGHT\n> ", w, h) != PAIR_OK) {
            ack("Invalid input");
            return;
        }
        if (w < 1 || h < 1 || w > vw || h > vh) {
            ack(strPrintf("%s %d %d", "Attempt to define FG AOI\nlarger than view", vw, vh));
            return;
        }
        break;
    default:
        return;
    }
    if (w > 0) {
        int32 px = 0, py = 0;
        ui.pointer(&px, &py);
        r = asAoi(placeInBox(px, py, w, h, asBox(box)));
        if (!(r.x1 - r.x0 >= vw - VIEW_MARGIN && r.y1 - r.y0 >= vh - VIEW_MARGIN)) {
            brief("Move FG Aoi to desired location.\nL Mouse to select. R Mouse to exit");
            if (!PLACE_BOX(r, true, aoiSnap.size, &r))
                return;
        }
    }
    // Whatever defined it, the FG AOI never reaches outside the view.
    if (!clipToView(r, &r))
        return;
    bd->fgAoi = r;
    testLog("aoi fg %d %d %d %d", r.x0, r.y0, r.x1, r.y1);
    vs->refresh |= RFR_STATS;
    vs->ancil |= ancREDRAW;
    aoiFrames frames(bd);
    showFgSize(r, MSG_ACK);
}

void move(viewState* vs, bufdes* bd, int32 item, int32 snap)
{
    if (item == 3) {
        if (snap < 1)
            return;
        // Equal to the zoom sets it too: otherwise a snap above the zoom could never be undone.
        if (snap < std::max(curTransl.zoom, 1)) {
            ack("Cannot set drag snap < display zoom");
            return;
        }
        aoiSnap = aoiSnapRec{snap, snap / 2};
        return;
    }
    const aoiRec box = aoiDisplayBox();
    const aoiRec fg = bd->fgAoi;
    if (width(fg) > width(box) - VIEW_MARGIN && height(fg) > height(box) - VIEW_MARGIN) {
        ack("FG AOI cannot be moved");
        return;
    }
    aoiRec r;
    if (item == 1) {
        if (!PLACE_BOX(fg, false, aoiSnap.size, &r))
            return;
        bd->fgAoi = r;
        pushAoiHistory(r);
        vs->refresh |= RFR_STATS;
    } else if (item == 2) {
        switch (TILE_BOX(fg, &r)) {
        case TILE_DONE:
            bd->fgAoi = r;
            vs->refresh |= RFR_STATS;
            vs->ancil |= ancREDRAW;
            return;
        case TILE_INSIDE:
            ack("Point must be outside FG AOI.");
            return;
        case TILE_OUTSIDE:
            ack("Box extends outside Display");
            return;
        default:
            brief("Cancelled");
            return;
        }
    }
}

void previous(viewState* vs, bufdes* bd, int32 dir)
{
    aoiRec r;
    if (dir < 1 || !stepAoiHistory(dir == 1 ? -1 : 1, &r)) {
        ack("No previous FG AOI defined");
        return;
    }
    const aoiRec box = aoiDisplayBox();
    // Recalled areas sit above the lower limit: moved up whole, so they keep their size.
    const int32 over = std::max(0, r.y1 - (box.y1 - VIEW_MARGIN));
    r = asAoi(placeInBox(r.x0, r.y0 - over, width(r), height(r), asBox(box)));
    bd->fgAoi = r;
    showFgSize(r, MSG_BRIEF);
    vs->refresh |= RFR_STATS;
}

// ---- COMPOSITE, COPY/WARP ----

void composite(viewState* vs, bufdes* bd, int32 item, int32 guns)
{
    if (item < 1 || guns < 0)
        return;
    if (globalView(vs)) {
        ack("COMPOSITE undefined for global view.");
        return;
    }
    bufdes* target = bd;
    if (item == 2) {
        if (!(bd->bufCtlm & (bufHAS_CLONE | bufIS_CLONE))) {
            ack("Current iBUFF is not Cloned");
            return;
        }
        target = clonePartner(vs->bufObjs, bd);
        if (!target) {
            ack("Dimensions corrupted");
            return;
        }
    }
    const int32 z = std::max(curTransl.zoom, 1);
    if (z > 1)
        brief("NOTE: Zoomed display; composite will be\nperformed at reduced resolution");
    bufMapping m;
    if (!DXY_TO_BUF(bd->fgAoi, &m))
        return;
    viewPixels v(m.view);
    if (!v.ok())
        return;
    const pixArea vp = v.pix();
    if (loadDisplayLuts(vs))
        lutRows(std::span<int32u>(vp.px, std::size_t(vp.w) * std::size_t(vp.h)), vs->dispLut);
    const pixArea bp{target->imgbuf + std::ptrdiff_t(m.buf.y0) * target->width + m.buf.x0,
                     width(m.buf), height(m.buf), target->width};
    compositeArea(vp, z, bp, gunByteMask(guns & 7 ? guns & 7 : 7));
    emptyFolios(1u << slotGLOBALV);
    if (item == 1)
        VIEW_MEM(&bd->fgAoi, false);
    brief("Composite done");
    vs->refresh |= RFR_VIEW | RFR_DATA;
}

void copyWarp(viewState* vs, bufdes* bd, int32 item, int32 guns)
{
    uiPort& ui = viewUi();
    if (item < 1 || guns < 0)
        return;
    const aoiRec box = aoiDisplayBox();
    const aoiRec fg = bd->fgAoi;
    double f[2] = {1.0, 1.0};
    aoiRec dest{0, 0, -1, -1};
    if (item == 2) {
        if (!RUBBER_BAND(BAND_DEST, 1, &dest))
            return;
        f[0] = double(width(dest)) / width(fg);
        f[1] = double(height(dest)) / height(fg);
    } else if (item == 3) {
        if (ui.askDoublePair("Enter area X,Y scaling factors\n> ", f[0], f[1]) != PAIR_OK ||
            f[0] < 0.01 || f[0] > 16.0 || f[1] < 0.01 || f[1] > 16.0) {
            ack("Invalid or extreme scaling factor");
            return;
        }
    } else if (item == 4) {
        int32 c = 0, r = 0;
        if (ui.askIntPair("Enter desired cols [X] and rows [Y].\n> ", c, r) != PAIR_OK || c < 16 ||
            r < 16 || c > width(box) || r > height(box)) {
            ack("Dimensions out of range.");
            return;
        }
        f[0] = double(c) / width(fg);
        f[1] = double(r) / height(fg);
    }
    int32 w = scaledDim(width(fg), f[0]), h = scaledDim(height(fg), f[1]);
    if (w > width(box) || h > height(box)) {
        ack("Attempt to define FG AOI\nlarger than view");
        return;
    }
    viewPixels src(fg);
    if (!src.ok())
        return;
    const pixArea s = src.pix();
    std::unique_ptr<int32u, decltype(&std::free)> warped(nullptr, &std::free);
    const int32u* out = s.px;
    w = s.w, h = s.h;
    if (w != scaledDim(s.w, f[0]) || h != scaledDim(s.h, f[1])) {
        std::string msg;
        const int32 method = int32(vs->dmode & 15) ? int32(vs->dmode & 15) : WARP_REPLICATE;
        warped.reset(WARP(s.px, &w, &h, f, method, &msg));
        if (!warped) {
            ack(msg.empty() ? std::string("WARP() failed") : msg);
            return;
        }
        out = warped.get();
    }
    if (item != 2 && !PLACE_BOX(aoiRec{0, 0, w - 1, h - 1}, true, 1, &dest))
        return;
    const aoiRec at = asAoi(placeInBox(dest.x0, dest.y0, w, h, asBox(box)));
    viewPixels d(at);
    if (!d.ok())
        return;
    const pixArea dp = d.pix();
    for (int32 y = 0; y < std::min(dp.h, h); ++y)
        std::memcpy(dp.row(y), out + std::ptrdiff_t(y) * w, std::size_t(std::min(dp.w, w)) * 4);
    d.write(guns & 7 ? guns & 7 : 7);
    vs->refresh |= RFR_VIEW;
}

// ---- ACCUM, WATERMARK ----

bool pasteRefused(int32 st)
{
    switch (st) {
    case 0:
        return false;
    case -1:
    case -2:
        ack("Accumulator empty");
        break;
    case -3:
        ack("Accumulator area larger than display");
        break;
    case -4:
        ack("Accumulator contains sBUFF High Dynamic Range Data");
        break;
    case -5:
        ack("Accumulator does not contain an RGBA image\nUse CALCULATE app to view single band "
            "Accumulator");
        break;
    default:
        ack(strPrintf("PASTE_ACCUM() status= %d", st));
        break;
    }
    return true;
}

void accum(viewState* vs, bufdes* bd, int32 item, int32 slot, int32 guns)
{
    if (item < 1 || slot < 0 || slot >= NUM_FOLIOS)
        return;
    if (item == 1) {
        const bool luts = loadDisplayLuts(vs);
        if (luts) {
            brief("Transform LUTs will be applied");
            RenderPix::setDisplayLuts(vs->dispLut);
            RenderPix::setLutFlag(true);
        }
        if (!FOLIO_CREATED(slot))
            CLAIM_FOLIOS(1u << slot);
        const int32 st = CUT_ACCUM(bd->fgAoi, slot, 0);
        RenderPix::setLutFlag(false);
        if (st != 0)
            ack("Error copying to accumulator");
        else
            brief("FG_AOI copied to accumulator");
    } else if (item == 2) {
        if (guns < 0 || pasteRefused(PASTE_ACCUM(bd->fgAoi, slot, guns & 7, 0)))
            return;
        vs->refresh |= RFR_VIEW | RFR_STATS;
        vs->dfltLutOn = true;
        vs->lutsChanged = true;
    } else if (item == 3) {
        folioDesc d{};
        if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0) {
            ack(strPrintf("Accumulator %d is empty", slot + 1));
            return;
        }
        ack(strPrintf(
            "      ACCUMULATOR %d\nCols:   %d\nRows:   %d\nBands:  %d\nCoords: %d %d  %d %d",
            slot + 1, int(d.cols), int(d.rows), int(d.nBands), int(d.aoi[0]), int(d.aoi[1]),
            int(d.aoi[2]), int(d.aoi[3])));
    } else if (item == 4) {
        CLAIM_FOLIOS(1u << slot);
        brief(strPrintf("Accumulator @%d released!", slot + 1));
    }
}

void watermark(viewState* vs, bufdes* bd, int32 slot, int32 guns)
{
    if (slot < 0 || slot >= NUM_FOLIOS || guns < 0)
        return;
    if (pasteRefused(PASTE_ACCUM(bd->fgAoi, slot, guns & 7, PASTE_WATERMARK)))
        return;
    vs->refresh |= RFR_VIEW | RFR_STATS;
}

// ---- ROTATE ----

// The rotated pixels written centred on the FG AOI's centre, cut to the view; that area
// becomes the FG AOI.
void putTurned(bufdes* bd, const std::vector<int32u>& px, int32 w, int32 h)
{
    const aoiRec fg = bd->fgAoi;
    const int32 cx = (fg.x0 + fg.x1) / 2, cy = (fg.y0 + fg.y1) / 2;
    const aoiRec want{cx - (w - 1) / 2, cy - (h - 1) / 2, cx - (w - 1) / 2 + w - 1,
                      cy - (h - 1) / 2 + h - 1};
    aoiRec at;
    if (!clipToView(want, &at))
        return;
    viewPixels d(at);
    if (!d.ok())
        return;
    const pixArea dp = d.pix();
    for (int32 y = 0; y < dp.h; ++y)
        std::memcpy(dp.row(y),
                    px.data() + std::ptrdiff_t(y + at.y0 - want.y0) * w + (at.x0 - want.x0),
                    std::size_t(dp.w) * 4);
    d.write(7);
    bd->fgAoi = at;
}

void rotate(viewState* vs, bufdes* bd, int32 item, int32 sub)
{
    uiPort& ui = viewUi();
    if (item == 7) {
        if (sub == 1 || sub == 2) {
            antiAlias = sub == 2;
            brief(antiAlias ? "Anti-aliasing ON" : "Anti-aliasing OFF");
        }
        return;
    }
    if (item < 1 || item > 6 || (item == 6 && sub < 1))
        return;
    if (vs->dmode & modeALPHA)
        ack("WARN: ALPHA will not correctly align with rotated AOI");
    double deg = 0;
    if (item == 6) {
        const std::string a = ui.ask("Enter rotation angle.\n> ");
        char* end = nullptr;
        deg = std::strtod(a.c_str(), &end);
        if (end == a.c_str())
            deg = 0;
        if (deg < 0)
            deg += 360.0;
        if (!(deg >= 0.1 && deg <= 359.9)) {
            ack("Invalid angle.\n  Use -180 <= (angle != 0) <= 180\n  or use 0 < angle < 360");
            return;
        }
    }
    viewPixels src(bd->fgAoi);
    if (!src.ok())
        return;
    const pixArea s = src.pix();
    if (item <= 2) {
        item == 1 ? mirrorArea(s) : flipArea(s);
        src.write(7);
        vs->refresh |= RFR_VIEW;
        return;
    }
    if (item <= 5)
        deg = item == 3 ? 90 : item == 4 ? 180 : 270;
    int32 w = s.w, h = s.h;
    if (item == 3 || item == 5 || (item == 6 && sub == 2))
        rotatedSize(s.w, s.h, deg, &w, &h);
    std::vector<int32u> out(std::size_t(w) * std::size_t(h), 0);
    rotateAny(s, pixArea{out.data(), w, h, w}, deg, antiAlias && item == 6);
    putTurned(bd, out, w, h);
    vs->refresh |= RFR_VIEW | (deg == 180 ? 0u : RFR_STATS);
}

// ---- CLEAR, FILL, ALPHA ----

void clearGuns(bufdes* bd, int32 guns)
{
    if (guns < 0)
        return;
    viewPixels v(bd->fgAoi);
    if (!v.ok())
        return;
    const pixArea p = v.pix();
    std::fill(p.px, p.px + std::ptrdiff_t(p.w) * p.h, 0u);
    v.write(guns & 7 ? guns & 7 : 7);
}

void fill(bufdes* bd, int32 mode)
{
    viewPixels v(bd->fgAoi);
    if (!v.ok())
        return;
    if (fillArea(v.pix(), mode))
        v.write(7);
}

void alpha(viewState* vs, bufdes* bd, int32 item, int32 planes)
{
    if (item == 1) {
        if (globalView(vs)) {
            ack("Global View ON.\nAlpha/Overlay undefined");
        } else if (vs->dmode & modeALPHA) {
            viewPixels v(bd->fgAoi);
            if (v.ok()) {
                const pixArea p = v.pix();
                std::fill(p.px, p.px + std::ptrdiff_t(p.w) * p.h, 0u);
                v.write(8);
            }
            brief("Alpha/Overlay within AOI Destroyed");
            vs->refresh |= RFR_CUT;
        } else {
            ack("Alpha plane inactive");
        }
        return;
    }
    if (item != 2 || planes < 1)
        return;
    if (globalView(vs) || curTransl.zoom != 1) {
        ack("Alpha assignment undefined\nfor Zoomed or Global View");
        return;
    }
    bufMapping m;
    if (!DXY_TO_BUF(bd->fgAoi, &m))
        return;
    for (int32 y = m.buf.y0; y <= m.buf.y1; ++y)
        alphaFromPlanes(std::span<int32u>(bd->imgbuf + std::ptrdiff_t(y) * bd->width + m.buf.x0,
                                          std::size_t(width(m.buf))),
                        planes & 7);
    bd->bufCtlm |= bufALPHA;
    vs->dmode |= modeALPHA | modeALPHA_PASTE;
    brief("Selected bitplanes assigned to Alpha");
    vs->refresh |= RFR_CUT;
}

// ---- STATUS, SET COLOR ----

void status(viewState* vs, bufdes* bd)
{
    const aoiRec f = bd->fgAoi, b = bd->bgAoi;
    aoiFrames frames(bd);
    if (globalView(vs)) {
        ack(strPrintf(
            "      Foreground Area Of Interest\nWidth=  %5d\nHeight= %5d\nDisplay coords= "
            "%5d %5d  %5d %5d\nUNMAPPED",
            width(f), height(f), f.x0, f.y0, f.x1, f.y1));
        return;
    }
    bufMapping m;
    aoiRec fb{-1, -1, -1, -1};
    if (DXY_TO_BUF(f, &m))
        fb = m.buf;
    ack(strPrintf(
        "       Foreground Area Of Interest\nWidth=  %5d\nHeight= %5d\nArea=%8d\nDisplay "
        "coords= %5d %5d   %5d  %5d\nBuffer  coords= %5d %5d   %5d %5d\n       Background "
        "Area of Interest\nWidth=  %5d\nHeight= %5d\nArea=%8d\nDisplay coords= %5d %5d   "
        "%5d  %5d",
        width(f), height(f), width(f) * height(f), f.x0, f.y0, f.x1, f.y1, fb.x0, fb.y0, fb.x1,
        fb.y1, width(b), height(b), width(b) * height(b), b.x0, b.y0, b.x1, b.y1));
}

// The colour bar: entry i of 256, a hue circle at full brightness.
int32u barColour(int32 i)
{
    const int32 seg = i * 6 / 256, t = (i * 6 % 256) * 255 / 255;
    const int32 up = std::min(t, 255), dn = 255 - up;
    const int32 rgb[6][3] = {{255, up, 0}, {dn, 255, 0}, {0, 255, up},
                             {0, dn, 255}, {up, 0, 255}, {255, 0, dn}};
    return (int32u(rgb[seg][0]) << 16) | (int32u(rgb[seg][1]) << 8) | int32u(rgb[seg][2]);
}

void setColour(viewState* vs, int32 target)
{
    uiPort& ui = viewUi();
    if (target < 1 || target > 3)
        return;
    // The strip sits at the top of the ancillary column; what it covers is put back.
    const aoiRec col = vs->ancColumn;
    const aoiRec bar{col.x0 + 1, col.y0 + 1, col.x0 + 256, col.y0 + 16};
    aoiRec at;
    if (!clipToView(bar, &at)) {
        ack("Color selection ignored.");
        return;
    }
    viewPixels saved(at);
    std::vector<int32u> keep;
    if (saved.ok()) {
        const pixArea p = saved.pix();
        keep.assign(p.px, p.px + std::ptrdiff_t(p.w) * p.h);
        for (int32 y = 0; y < p.h; ++y)
            for (int32 x = 0; x < p.w; ++x) {
                const int32u c = barColour(x + at.x0 - bar.x0);
                p.row(y)[x] = viewRgb(int(c >> 16), int(c >> 8) & 255, int(c) & 255);
            }
        saved.write(7);
    }
    ui.message("Select color from colorbar with LEFTMOUSE\nRIGHTMOUSE to abort selection",
               MSG_STANDING);
    bool chosen = false;
    for (;;) {
        int32 x = 0, y = 0;
        const int c = ui.mouseEvent(&x, &y, 1);
        if (c == MOUSE_RIGHT || c == MOUSE_REDRAW || c == MOUSE_CLOSE)
            break;
        if (c == MOUSE_LEFT && x >= at.x0 && x <= at.x1 && y >= at.y0 && y <= at.y1) {
            aoiFrameColour[target - 1] = barColour(x - bar.x0);
            chosen = true;
            break;
        }
    }
    ui.clearMessage();
    if (saved.ok()) {
        const pixArea p = saved.pix();
        std::copy(keep.begin(), keep.end(), p.px);
        saved.write(15);
    }
    if (!chosen)
        brief("Color selection ignored.");
    else
        vs->refresh |= RFR_STATS;
}

} // namespace

int32 aoiOpsMenu(std::vector<pupLink>& links)
{
    aoiIds& m = ids;
    m.top = defineMenu("RESTORE|DEFINE|MOVE|PREVIOUS|COMPOSITE|COPY/WARP|ACCUM|ROTATE|CLEAR|FILL|"
                       "ALPHA|STATUS|SET COLOR|WATERMARK");
    m.define = defineMenu("DRAW AOI|VIS. BUFF|FULL DISP|DISP / 2|512 X 512|256 X 256|COLS,ROWS");
    m.shapes = defineMenu("RECTANGLE|SQUARE");
    m.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    m.alpha = defineMenu("CLEAR|ASSIGN");
    m.planes = defineMenu("RED%x1|GRN%x2|BLU%x4");
    m.copy = defineMenu("UNSCALED|DRAW DEST.|SFACT|X,Y");
    m.accums = defineMenu("ACCUM @1%i0|ACCUM @2%i1|ACCUM @3%i2|ACCUM @4%i3");
    m.accumsPan = defineMenu("ACCUM @1%i0|ACCUM @2%i1|ACCUM @3%i2|ACCUM @4%i3|PAN V%i5");
    m.actions = defineMenu("CROP TO|PASTE FR|STATUS|RELEASE");
    m.fill = defineMenu("\\  Y  %i1|\\  X  %i2|X & Y%i3|CORNERS%i7|SEGSOFT%i8|SEGHARD%i9");
    m.rotate = defineMenu("MIRROR|FLIP|ROT  90|ROT 180|ROT -90|ROT '?'|ANTI-ALIAS");
    m.clip = defineMenu("CLIPPED|UNCLIPPED");
    m.onOff = defineMenu("OFF|ON");
    m.move = defineMenu("DRAG|TILE|SET SNAP");
    m.snap = defineMenu(" 1 | 2 | 4 %i4| 8 %i8");
    m.colour = defineMenu("FG AOI|BG AOI|LIMITS");
    m.composite = defineMenu("LOCAL|CLONE");
    m.previous = defineMenu("\\ - |\\ + ");
    // Items count from 0 in the links.
    const struct {
        int32* parent;
        int32 item;
        int32* child;
    } below[] = {{&m.top, A_RESTORE - 1, &m.guns},
                 {&m.top, A_DEFINE - 1, &m.define},
                 {&m.top, A_MOVE - 1, &m.move},
                 {&m.top, A_PREVIOUS - 1, &m.previous},
                 {&m.top, A_COMPOSITE - 1, &m.composite},
                 {&m.top, A_COPY - 1, &m.copy},
                 {&m.top, A_ACCUM - 1, &m.actions},
                 {&m.top, A_ROTATE - 1, &m.rotate},
                 {&m.top, A_CLEAR - 1, &m.guns},
                 {&m.top, A_FILL - 1, &m.fill},
                 {&m.top, A_ALPHA - 1, &m.alpha},
                 {&m.top, A_COLOUR - 1, &m.colour},
                 {&m.top, A_WATERMARK - 1, &m.accums},
                 {&m.define, 0, &m.shapes},
                 {&m.alpha, 1, &m.planes},
                 {&m.rotate, 5, &m.clip},
                 {&m.rotate, 6, &m.onOff},
                 {&m.move, 2, &m.snap},
                 {&m.actions, 0, &m.accums},
                 {&m.actions, 1, &m.accums},
                 {&m.actions, 2, &m.accumsPan},
                 {&m.actions, 3, &m.accumsPan}};
    for (const auto& b : below)
        links.push_back(pupLink{b.parent, b.item, b.child});
    for (int32 k = 0; k < 4; ++k) {
        links.push_back(pupLink{&m.copy, k, &m.guns});
        links.push_back(pupLink{&m.accums, k, &m.guns});
    }
    for (int32 k = 0; k < 2; ++k)
        links.push_back(pupLink{&m.composite, k, &m.guns});
    return m.top;
}

void aoiOps(viewState* vs, const int32* pv, bufdes* bd)
{
    if (!vs || !bd)
        return;
    switch (pv[1]) {
    case A_RESTORE:
        restore(vs, bd, pv[2]);
        return;
    case A_DEFINE:
        define(vs, bd, pv[2], pv[3]);
        return;
    case A_MOVE:
        move(vs, bd, pv[2], pv[3]);
        return;
    case A_PREVIOUS:
        previous(vs, bd, pv[2]);
        return;
    case A_COMPOSITE:
        composite(vs, bd, pv[2], pv[3]);
        return;
    case A_COPY:
        copyWarp(vs, bd, pv[2], pv[3]);
        return;
    case A_ACCUM:
        accum(vs, bd, pv[2], pv[3], pv[4]);
        return;
    case A_ROTATE:
        rotate(vs, bd, pv[2], pv[3]);
        return;
    case A_CLEAR:
        clearGuns(bd, pv[2]);
        return;
    case A_FILL:
        fill(bd, pv[2]);
        return;
    case A_ALPHA:
        alpha(vs, bd, pv[2], pv[3]);
        return;
    case A_STATUS:
        status(vs, bd);
        return;
    case A_COLOUR:
        setColour(vs, pv[2]);
        return;
    case A_WATERMARK:
        watermark(vs, bd, pv[2], pv[3]);
        return;
    default:
        return;
    }
}

void resetAoiOps()
{
    antiAlias = false;
}
