#include "panZoom.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <unistd.h>

#include "bTransl.h"
#include "diag.h"
#include "dispAccum.h"
#include "emuOvl.h"
#include "fit.h"
#include "folio_utl.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewSurface.h"
#include "warp.h"

namespace {

// The global view kept in the accumulator carries who it belongs to, so that a stale one
// (another buffer, another view size) is never pasted.
struct globalHdr {
    int32 magic, bufNum, cols, rows, viewW, viewH;
    aoiRec box;
};
constexpr int32 GV_MAGIC = 0x31305647; // "GV01"

std::FILE* perBuf[NUM_iBUFF] = {};
int32 accumBuf = 0; // buffer whose global view slot 5 holds (0: none yet)

bool deAlias = false;

// Menu ids of the loop in progress.
struct panIds {
    int32 pan = -1, zoom = -1, lut = -1, scroll = -1, alpha = -1;
};
panIds ids;

const int32u WHITE = 0xffffffu;

int32 curBufNum()
{
    return curTransl.bd ? curTransl.bd->bufNum : 0;
}

bool copyFile(std::FILE* from, std::FILE* to)
{
    std::rewind(from);
    std::rewind(to);
    std::fflush(to);
    if (ftruncate(fileno(to), 0) != 0)
        return false;
    std::vector<char> buf(1 << 16);
    std::size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), from)) > 0)
        if (std::fwrite(buf.data(), 1, n, to) != n)
            return false;
    std::fflush(to);
    return true;
}

bool pasteKeptGlobal(const globalGeom& g)
{
    std::FILE* f = FOLIO_FILE(slotGLOBALV);
    viewSurface* s = activeSurface();
    if (!f || !s)
        return false;
    std::rewind(f);
    globalHdr h{};
    if (std::fread(&h, sizeof h, 1, f) != 1)
        return false;
    const translState& t = curTransl;
    if (h.magic != GV_MAGIC || h.bufNum != curBufNum() || h.cols != t.cols || h.rows != t.rows ||
        h.viewW != t.viewW || h.viewH != t.viewH || h.box.x0 != g.box.x0 || h.box.y0 != g.box.y0 ||
        h.box.x1 != g.box.x1 || h.box.y1 != g.box.y1)
        return false;
    const std::int64_t w = g.box.x1 - g.box.x0 + 1, hh = g.box.y1 - g.box.y0 + 1;
    if (!viewMemOk(w, hh))
        return false;
    std::vector<int32u> px(std::size_t(w * hh));
    if (std::fread(px.data(), 4, px.size(), f) != px.size())
        return false;
    clearWholeView();
    s->putPixels(twBox{g.box.x0, g.box.y0, g.box.x1, g.box.y1}, px.data());
    return true;
}

void keepGlobal(const globalGeom& g)
{
    viewSurface* s = activeSurface();
    if (!s)
        return;
    const std::int64_t w = g.box.x1 - g.box.x0 + 1, hh = g.box.y1 - g.box.y0 + 1;
    std::vector<int32u> px(std::size_t(w * hh));
    if (!s->getPixels(twBox{g.box.x0, g.box.y0, g.box.x1, g.box.y1}, px.data()))
        return;
    emptyFolios(1u << slotGLOBALV);
    std::FILE* f = FOLIO_FILE(slotGLOBALV);
    if (!f)
        return;
    const translState& t = curTransl;
    const globalHdr h{GV_MAGIC, curBufNum(), t.cols, t.rows, t.viewW, t.viewH, g.box};
    if (std::fwrite(&h, sizeof h, 1, f) != 1 ||
        std::fwrite(px.data(), 4, px.size(), f) != px.size())
        emptyFolios(1u << slotGLOBALV);
    std::fflush(f);
}

bool fitsView()
{
    const translState& t = curTransl;
    return t.cols <= t.viewW && t.rows <= t.viewH;
}

// The buffer area the translation shows, in buffer pixels (exclusive end).
void shownArea(int32 x, int32 y, int32 zoom, int32* bx0, int32* by0, int32* bx1, int32* by1)
{
    const translState& t = curTransl;
    *bx0 = std::max(x, 0);
    *by0 = std::max(y, 0);
    *bx1 = std::min(t.cols, x + t.viewW / zoom);
    *by1 = std::min(t.rows, y + t.viewH / zoom);
}

// The translation that shows the buffer from (bx, by) at zoom: an axis on which the buffer
// does not fill the view is centred instead.
void areaTransl(int32 bx, int32 by, int32 zoom, int32* x, int32* y)
{
    const translState& t = curTransl;
    const int32 aw = t.viewW / zoom, ah = t.viewH / zoom;
    *x = t.cols <= aw ? -((aw - t.cols) / 2) : std::clamp(bx, 0, t.cols - aw);
    *y = t.rows <= ah ? -((ah - t.rows) / 2) : std::clamp(by, 0, t.rows - ah);
}

// Shows the area under a pan box (in global-image pixels) at zoom.
void showBoxArea(const globalGeom& g, const aoiRec& box, int32 zoom)
{
    int32 x = 0, y = 0;
    areaTransl(int32(std::lround((box.x0 - g.box.x0) / g.f)),
               int32(std::lround((box.y0 - g.box.y0) / g.f)), zoom, &x, &y);
    SET_I_TRANSL(x, y, zoom);
    showArea();
}

// Gun LUTs of the main display for the pan display's LUT switch.
void showPanLuts(viewState* vs)
{
    lutSet luts;
    chooseDisplayLuts(vs->dfltLut, vs->tranLut, false, vs->gunMask, luts);
    RenderPix::setDisplayLuts(luts);
    RenderArea a(nullptr, RP_VIEW);
    if (!a.read())
        return;
    RenderPix::setLutFlag(true);
    a.write();
}

enum panState { FOLLOW, ROAM, HOLD };

struct panRun {
    viewState* vs;
    uiPort& ui;
    globalGeom g;
    int32 zoom = 1;
    panState state = FOLLOW;
    int32 boxNo = -1;
    int32 prevBox = -1; ///< the area shown before PAN, outlined on the global view
    textLabel label{};  ///< the pan box's buffer position beside it
    aoiRec box{};
    bool luts = false;
    bool alpha = false;
};

// The view is repainted under the boxes: they come off first (their saved pixels belong to
// the old picture) and are drawn again on the new one.
void drawGlobal(panRun& p)
{
    p.label.erase();
    flickBoxes.eraseAll();
    p.ui.setCursor(2);
    SHOW_GLOBAL_VIEW();
    p.ui.setCursor(1);
    p.state = FOLLOW;
    p.vs->dmode |= modeGLOBALV;
    if (p.prevBox >= 0)
        flickBoxes.flickBox(nullptr, p.prevBox, FLICK_DRAW);
    if (p.boxNo >= 0)
        flickBoxes.flickBox(&p.box, p.boxNo, FLICK_MOVE | FLICK_DRAW);
}

// The label lies over the boxes: it comes off first, or erasing a box under it would leave
// part of the label and the label's erase part of the box.
void dropPrevBox(panRun& p)
{
    p.label.erase();
    if (p.prevBox >= 0)
        flickBoxes.deleteFlick(p.prevBox);
    p.prevBox = -1;
}

void followPointer(panRun& p, int32 x, int32 y)
{
    const translState& t = curTransl;
    p.box = panBoxAt(p.g, t.viewW, t.viewH, p.zoom, x, y);
    p.label.erase();
    if (p.boxNo < 0)
        p.boxNo = flickBoxes.newFlick(p.box, viewRgb(0, 255, 0), FLICK_DRAW);
    else
        flickBoxes.flickBox(&p.box, p.boxNo, FLICK_MOVE | FLICK_DRAW);
    p.label.draw(p.box, strPrintf("%d,%d", int32(std::lround((p.box.x0 - p.g.box.x0) / p.g.f)),
                                  int32(std::lround((p.box.y0 - p.g.box.y0) / p.g.f))));
}

void roamTo(panRun& p, int32 x, int32 y)
{
    const translState& t = curTransl;
    p.box = panBoxAt(p.g, t.viewW, t.viewH, p.zoom, x, y);
    showBoxArea(p.g, p.box, p.zoom);
    p.vs->dmode &= ~modeGLOBALV;
    if (p.luts)
        showPanLuts(p.vs);
    testLog("pan shown %d %d %d", curTransl.x, curTransl.y, curTransl.zoom);
}

void startRoam(panRun& p, int32 x, int32 y)
{
    if (p.boxNo >= 0) {
        p.label.erase();
        flickBoxes.deleteFlick(p.boxNo);
        p.boxNo = -1;
    }
    p.state = ROAM;
    roamTo(p, x, y);
}

// SCROLL: a path picked on the global view, then the wheel steps the area along it. False
// when the pan display should go back to the global view.
bool scrollPath(panRun& p, int32 speed)
{
    uiPort& ui = p.ui;
    if (p.state != FOLLOW)
        drawGlobal(p);
    if (p.boxNo >= 0) {
        p.label.erase();
        flickBoxes.deleteFlick(p.boxNo);
        p.boxNo = -1;
    }
    ui.message("Select start of Scroll path.\nR Mouse to exit", MSG_STANDING);
    int32 x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    for (;;) {
        const int c = ui.mouseEvent(&x0, &y0, 1);
        if (c == MOUSE_LEFT)
            break;
        if (c == MOUSE_RIGHT || c == MOUSE_REDRAW || c == MOUSE_CLOSE) {
            ui.clearMessage();
            return true;
        }
    }
    ui.message("Select end of Scroll path.", MSG_STANDING);
    {
        rubberLine line;
        for (;;) {
            const int c = ui.mouseEvent(&x1, &y1, 0);
            if (c == MOUSE_MOVED) {
                line.draw(x0, y0, x1, y1, WHITE);
                continue;
            }
            if (c == MOUSE_LEFT)
                break;
            if (c == MOUSE_RIGHT || c == MOUSE_REDRAW || c == MOUSE_CLOSE) {
                ui.clearMessage();
                return true;
            }
        }
    }
    ui.clearMessage();
    const double len = std::hypot(double(x1 - x0), double(y1 - y0));
    if (len < 64.0) {
        ui.message("Scroll path too short\nExiting", MSG_BRIEF);
        return true;
    }
    ui.message("Use Scroll Wheel to\nmove <-> along path", MSG_BRIEF);
    // Left to right (top to bottom for a vertical path); the slope picks the stepping axis.
    if (x1 < x0 || (x1 == x0 && y1 < y0)) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    const int32 dx = x1 - x0, dy = y1 - y0;
    const double slope = dx ? double(dy) / dx : 0.0;
    const bool alongY = dx == 0 || std::fabs(slope) > 25.0;
    const bool alongXOnly = !alongY && std::fabs(slope) < 0.04;
    const double step = speed * p.g.f / p.zoom;
    double pos = 0.0; // along the stepping axis from the path's first point
    const double end = alongY ? dy : dx;
    int32 lastX = -1, lastY = -1;
    auto pointAt = [&](double s, int32* px, int32* py) {
        if (alongY) {
            *py = int32(std::lround(y0 + s));
            *px = dx == 0 ? x0 : int32(std::lround(x0 + s / slope));
        } else {
            *px = int32(std::lround(x0 + s));
            *py = alongXOnly ? y0 : int32(std::lround(y0 + slope * s));
        }
    };
    for (;;) {
        int32 ex = 0, ey = 0;
        const int c = ui.mouseEvent(&ex, &ey, 1);
        if (c == MOUSE_WHEEL_DOWN || c == MOUSE_WHEEL_UP) {
            const double next = pos + (c == MOUSE_WHEEL_DOWN ? step : -step);
            if (next < 0.0 || next > end)
                continue; // a step off the path is refused
            pos = next;
            int32 px = 0, py = 0;
            pointAt(pos, &px, &py);
            const translState& t = curTransl;
            const aoiRec b = panBoxAt(p.g, t.viewW, t.viewH, p.zoom, px, py);
            int32 bx = 0, by = 0;
            areaTransl(int32(std::lround((b.x0 - p.g.box.x0) / p.g.f)),
                       int32(std::lround((b.y0 - p.g.box.y0) / p.g.f)), p.zoom, &bx, &by);
            if (bx == lastX && by == lastY)
                continue;
            lastX = bx;
            lastY = by;
            p.box = b;
            SET_I_TRANSL(bx, by, p.zoom);
            showArea();
            p.vs->dmode &= ~modeGLOBALV;
            p.state = HOLD;
            if (p.luts)
                showPanLuts(p.vs);
            continue;
        }
        if (c == MOUSE_RIGHT || c == MOUSE_MIDDLE || c == MOUSE_REDRAW || c == MOUSE_CLOSE) {
            ui.message("Scroll exiting\nResume PAN", MSG_BRIEF);
            return c != MOUSE_MIDDLE && lastX != -1;
        }
    }
}

} // namespace

globalGeom globalGeometry()
{
    const translState& t = curTransl;
    globalGeom g;
    g.f = globalViewFactor(t.cols, t.rows, t.viewW, t.viewH);
    const int32 w = std::max(1, scaledDim(t.cols, g.f)), h = std::max(1, scaledDim(t.rows, g.f));
    const int32 x0 = (t.viewW - w) / 2, y0 = (t.viewH - h) / 2;
    g.box = aoiRec{x0, y0, x0 + w - 1, y0 + h - 1};
    return g;
}

int32 SHOW_GLOBAL_VIEW()
{
    const globalGeom g = globalGeometry();
    if (pasteKeptGlobal(g))
        return VMEM_OK;
    clearWholeView();
    const int32 rc = DRAW_GLOBAL_VIEW();
    if (rc == VMEM_OK && !fitsView())
        keepGlobal(g);
    return rc;
}

int32 MANAGE_PAN_ACCUM(int32 bufNum)
{
    if (bufNum < 1 || bufNum > NUM_iBUFF) {
        DIAG("\n***MANAGE_PAN_ACCUM(): bad argument");
        return PANACC_BAD_ARG;
    }
    if (accumBuf == bufNum && !fitsView())
        return PANACC_OK;
    // The accumulator's present content goes back to its own buffer's file.
    if (accumBuf > 0 && perBuf[accumBuf - 1] && FOLIO_FILE(slotGLOBALV))
        copyFile(FOLIO_FILE(slotGLOBALV), perBuf[accumBuf - 1]);
    accumBuf = bufNum;
    emptyFolios(1u << slotGLOBALV);
    if (curBufNum() == bufNum && fitsView())
        return PANACC_OK;
    std::FILE*& mine = perBuf[bufNum - 1];
    if (!mine && (mine = std::tmpfile()) == nullptr) {
        DIAG("\n***MANAGE_PAN_ACCUM(): NULL tmpfile()");
        return PANACC_NO_FILE;
    }
    if (std::FILE* f = FOLIO_FILE(slotGLOBALV))
        copyFile(mine, f);
    return PANACC_OK;
}

void RESET_PAN_ACCUMS()
{
    for (std::FILE* f : perBuf)
        if (f) {
            std::fflush(f);
            if (ftruncate(fileno(f), 0) != 0)
                std::clearerr(f);
        }
    emptyFolios(1u << slotGLOBALV);
}

void SWAP_PAN_ACCUMS(int32 a, int32 b)
{
    if (a < 1 || a > NUM_iBUFF || b < 1 || b > NUM_iBUFF || a == b)
        return;
    // The accumulator's content goes back to its own buffer's file first, so that both files
    // are whole when they change places; the next MANAGE_PAN_ACCUM loads the right one.
    if (accumBuf > 0 && perBuf[accumBuf - 1] && FOLIO_FILE(slotGLOBALV))
        copyFile(FOLIO_FILE(slotGLOBALV), perBuf[accumBuf - 1]);
    std::swap(perBuf[a - 1], perBuf[b - 1]);
    accumBuf = 0;
    emptyFolios(1u << slotGLOBALV);
}

void DROP_PAN_ACCUM(int32 bufNum)
{
    if (bufNum < 1 || bufNum > NUM_iBUFF)
        return;
    if (std::FILE* f = perBuf[bufNum - 1]) {
        std::fflush(f);
        if (ftruncate(fileno(f), 0) != 0)
            std::clearerr(f);
    }
    if (accumBuf == bufNum) {
        accumBuf = 0;
        emptyFolios(1u << slotGLOBALV);
    }
}

void releasePanAccums()
{
    for (std::FILE*& f : perBuf)
        if (f) {
            std::fclose(f);
            f = nullptr;
        }
    accumBuf = 0;
}

aoiRec panBoxAt(const globalGeom& g, int32 viewW, int32 viewH, int32 zoom, int32 px, int32 py)
{
    const int32 gw = g.box.x1 - g.box.x0 + 1, gh = g.box.y1 - g.box.y0 + 1;
    const int32 w = std::clamp(scaledDim(viewW / zoom, g.f), 1, gw);
    const int32 h = std::clamp(scaledDim(viewH / zoom, g.f), 1, gh);
    const int32 x0 = std::clamp(px - w / 2, g.box.x0, g.box.x1 - w + 1);
    const int32 y0 = std::clamp(py - h / 2, g.box.y0, g.box.y1 - h + 1);
    return aoiRec{x0, y0, x0 + w - 1, y0 + h - 1};
}

void showArea()
{
    const translState& t = curTransl;
    if (t.mapped.x0 > 0 || t.mapped.y0 > 0 || t.mapped.x1 < t.viewW - 1 ||
        t.mapped.y1 < t.viewH - 1)
        CLEAR_VIEW();
    VIEW_MEM(nullptr, false);
}

void centreAndShow(viewState* vs)
{
    const translState& t = curTransl;
    CENTRE_I_TRANSL((vs->ancil & ancROAM) && t.cols < t.viewW - ANCIL_COLUMN_W);
    vs->dmode &= ~modeGLOBALV;
    showArea();
}

void DEFINE_PAN_MENUS()
{
    ids.pan = xDEFPUP("\\ PAN %t|\\ ZOOM|\\ LUT|SCROLL|REVERT|ALPHA");
    ids.zoom = xDEFPUP("\\ 1X%i1|\\ 2X%i2|\\ 4X%i4|\\ 8X%i8");
    ids.lut = xDEFPUP("ON|OFF");
    ids.scroll = xDEFPUP("SLOW%i6|MED%i12|FAST%i24");
    ids.alpha = xDEFPUP("ON|OFF");
    const pupLink links[] = {{&ids.pan, 1, &ids.zoom},
                             {&ids.pan, 2, &ids.lut},
                             {&ids.pan, 3, &ids.scroll},
                             {&ids.pan, 5, &ids.alpha}};
    if (ids.pan >= 0 && xLNKPUP(4, links) != ids.pan)
        DIAG("\n***DEFINE_PAN_MENUS(): link fail");
}

int32 PAN(viewState* vs)
{
    const translState& t = curTransl;
    if (fitsView())
        return 0;
    uiPort& ui = viewUi();
    panRun p{vs, ui, globalGeometry()};
    const int32 ex = t.x, ey = t.y, ez = t.zoom;
    const bool entryGlobal = vs->dmode & modeGLOBALV;
    const bool displayed = (vs->bd->bufCtlm & bufVIEW_SAVED) && !entryGlobal;
    p.zoom = displayed ? t.zoom : 1;
    if (!displayed)
        vs->dmode |= modeGLOBALV;
    if (vs->gunMask == 7)
        vs->dmode |= modeDFLT_LUTS;
    else
        vs->dmode &= ~modeDFLT_LUTS;
    flickBoxes.eraseAll();

    drawGlobal(p);
    testLog("pan start %d %d %d %d %d %d", int(std::lround(p.g.f * 1000)), p.g.box.x0, p.g.box.y0,
            p.g.box.x1, p.g.box.y1, p.zoom);
    ui.message(strPrintf("Global View Factor= %05.3f", p.g.f), MSG_BRIEF);
    if (p.g.f < 0.3 || ez > 1) {
        int32 bx0, by0, bx1, by1;
        shownArea(ex, ey, ez, &bx0, &by0, &bx1, &by1);
        const aoiRec prev{p.g.box.x0 + scaledDim(bx0, p.g.f), p.g.box.y0 + scaledDim(by0, p.g.f),
                          p.g.box.x0 + std::max(scaledDim(bx1, p.g.f) - 1, scaledDim(bx0, p.g.f)),
                          p.g.box.y0 + std::max(scaledDim(by1, p.g.f) - 1, scaledDim(by0, p.g.f))};
        p.prevBox = flickBoxes.newFlick(prev, WHITE, FLICK_DRAW);
    }
    if (p.g.f > 0.6 && p.zoom < 2) {
        p.zoom = 2;
        ui.message("Pan: Using Zoom= 2", MSG_BRIEF);
    }
    if (vs->bd->bufCtlm & bufALPHA)
        ui.message("Alpha Plane contains data.", MSG_BRIEF);
    ui.message("Pan...\nClick L Mouse to Start | Stop Roam.\nClick M Mouse for Global View.\nClick "
               "R Mouse outside Menu to Exit.",
               MSG_BRIEF);
    if ((vs->dmode & modeALPHA) && !vs->dfltLutOn && vs->gunMask != 7)
        ui.message("Both LUTs and ALPHA enabled.\nActive LUTs will mask ALPHA", MSG_BRIEF);
    p.alpha = vs->dmode & modeALPHA;

    int32 px = 0, py = 0;
    ui.pointer(&px, &py);
    followPointer(p, px, py);
    bool reverted = false, exposed = false;
    for (bool going = true; going;) {
        int32 x = 0, y = 0;
        TEXTWIN_IDLE("pan");
        const int code = ui.mouseEvent(&x, &y, 0);
        switch (code) {
        case MOUSE_MOVED:
            if (p.state == FOLLOW)
                followPointer(p, x, y);
            else if (p.state == ROAM)
                roamTo(p, x, y);
            break;
        case MOUSE_LEFT:
            if (p.state == ROAM)
                p.state = HOLD;
            else {
                dropPrevBox(p);
                startRoam(p, x, y);
            }
            break;
        case MOUSE_MIDDLE:
            drawGlobal(p);
            followPointer(p, x, y);
            break;
        case MOUSE_RIGHT: {
            int32 pv[MAX_PUP_LEVEL] = {};
            bool outside = true;
            const int32 v = ui.popup(ids.pan, pv, &outside);
            if (outside || v < 1) {
                going = false;
                break;
            }
            if (v == 1 && pv[1] >= 1 && pv[1] != p.zoom) { // ZOOM
                p.zoom = pv[1];
                if (p.state != FOLLOW) {
                    drawGlobal(p);
                    followPointer(p, x, y);
                }
            } else if (v == 2) { // LUT
                if (vs->gunMask == 7) {
                    ui.message("No LUTs active", MSG_BRIEF);
                } else {
                    p.luts = pv[1] == 1;
                    ui.message(p.luts ? "LUTs ON" : "LUTs OFF", MSG_BRIEF);
                    if (p.state != FOLLOW) {
                        showArea();
                        if (p.luts)
                            showPanLuts(vs);
                    }
                }
            } else if (v == 3 && pv[1] > 0) { // SCROLL
                dropPrevBox(p);
                if (!scrollPath(p, pv[1])) {
                    drawGlobal(p);
                    followPointer(p, x, y);
                }
            } else if (v == 4) { // REVERT
                ui.message("Reverting display to PAN entry state", MSG_BRIEF);
                reverted = true;
                going = false;
            } else if (v == 5) { // ALPHA
                if (pv[1] == 1) {
                    if (vs->gunMask != 7 && !vs->dfltLutOn)
                        ui.message("Pan ALPHA display not available if\nTransform-LUTs "
                                   "active in Main",
                                   MSG_BRIEF);
                    else if (!(vs->bd->bufCtlm & bufALPHA))
                        ui.message("ALPHA empty", MSG_BRIEF);
                    else
                        p.alpha = true;
                } else if (pv[1] == 2) {
                    p.alpha = false;
                }
            }
            break;
        }
        case MOUSE_REDRAW:
            DIAG("\n---pan(): terminated by Expose event");
            exposed = true;
            going = false;
            break;
        case MOUSE_CLOSE:
            going = false;
            break;
        default:
            break;
        }
    }
    p.label.erase();
    if (p.boxNo >= 0)
        flickBoxes.deleteFlick(p.boxNo);
    dropPrevBox(p);
    SET_POINTER_BOX(nullptr);
    // An exposure repaired the view from before PAN (or the view changed size): what PAN
    // ends on is drawn again, in the view as it is now.
    if (exposed)
        p.g = globalGeometry();
    if (exposed && !reverted) {
        if (p.state == FOLLOW)
            SHOW_GLOBAL_VIEW();
        else
            showArea();
    }

    if (reverted) {
        SET_I_TRANSL(ex, ey, ez);
        if (entryGlobal) {
            p.state = FOLLOW;
            SHOW_GLOBAL_VIEW();
        } else {
            p.state = HOLD;
            showArea();
        }
    }
    testLog("pan end %d", p.state != FOLLOW ? 1 : 0);
    if (p.state != FOLLOW) {
        vs->dmode &= ~modeGLOBALV;
        vs->bd->bufCtlm |= bufVIEW_SAVED;
        vs->dmode = (vs->dmode & ~(modeALPHA | modeALPHA_PASTE)) | (p.alpha ? modeALPHA : 0u);
        vs->bd->bgAoi = vs->bd->fgAoi;
        vs->refresh |= RFR_VIEW | RFR_STATS;
        // Interpolating modes are worth a second drawing from the buffer at high zoom; the
        // pan display replicated.
        const int32u m = vs->dmode & 0xf;
        if (curTransl.zoom > 2 && (m & (ZOOM_BICUBIC | ZOOM_CATMULL)))
            VIEW_MEM(nullptr, false);
        return 1;
    }
    vs->dmode |= modeGLOBALV;
    vs->globalF = p.g.f;
    SET_I_TRANSL(-p.g.box.x0, -p.g.box.y0, 1);
    vs->bd->fgAoi = vs->bd->bgAoi = p.g.box;
    vs->refresh |= RFR_VIEW | RFR_STATS;
    return 0;
}

// ---------------------------------------------------------------------------------------------

namespace {

// Shows the buffer anew: laid out by the fit rules when it fits, else chosen with PAN. True
// when PAN ended in the global view.
bool showAnew(viewState* vs, bool sayPan)
{
    if (fitsView()) {
        FIT_INIT_IMG((vs->ancil & ancROAM) != 0);
        vs->dmode &= ~modeGLOBALV;
        showArea();
        return false;
    }
    if (sayPan)
        viewUi().message("Using PAN to select new area.", MSG_BRIEF);
    return PAN(vs) == 0;
}

// The view box (w x h) at (x, y) magnified by 2 over the whole view with the zoom mode.
void magnifyBox(const aoiRec& b, int32u mode)
{
    RenderArea src(&b, RP_VIEW);
    int32u* px = src.read();
    int32 w = 0, h = 0;
    if (!px || !src.size(&w, &h))
        return;
    const double two[2] = {2.0, 2.0};
    std::string msg;
    int32u* big = WARP(px, &w, &h, two, int32(mode ? mode : ZOOM_REPLICATE), &msg);
    if (!big) {
        viewUi().message("VIEW_MEM(): WARP() returns NULL", MSG_ACK);
        return;
    }
    const translState& t = curTransl;
    const aoiRec dst{0, 0, std::min(w, t.viewW) - 1, std::min(h, t.viewH) - 1};
    RenderScanL out(&dst, RP_VIEW);
    int32u* row = out.takeScratch();
    if (row) {
        for (int32 y = 0; y <= dst.y1; ++y) {
            std::copy_n(big + std::size_t(y) * std::size_t(w), std::size_t(dst.x1 + 1), row);
            out.writeNext();
        }
        std::free(row);
    }
    std::free(big);
}

// The zoom box (half the view) centred on the pointer, kept in the view, its corner on a
// buffer pixel's corner so that the doubled view lines up with the new translation.
aoiRec zoomBoxAt(int32 px, int32 py)
{
    const translState& t = curTransl;
    const int32 w = t.viewW / 2, h = t.viewH / 2, z = t.zoom;
    auto snap = [z](int32 v, int32 origin) { return origin + ((v - origin) / z) * z; };
    int32 x0 = std::clamp(px - w / 2, 0, t.viewW - w);
    int32 y0 = std::clamp(py - h / 2, 0, t.viewH - h);
    x0 = std::max(0, snap(x0, t.mapped.x0 % z));
    y0 = std::max(0, snap(y0, t.mapped.y0 % z));
    return aoiRec{x0, y0, x0 + w - 1, y0 + h - 1};
}

} // namespace

void ZOOM(viewState* vs)
{
    uiPort& ui = viewUi();
    if (vs->dmode & modeALPHA) {
        ui.message("ZOOM undefined if ALPHA active.\nUse: BUFF OPS|iBUFF|ALPHA|CLEAR.", MSG_ACK);
        return;
    }
    const translState& t = curTransl;
    if (t.zoom >= MAX_ZOOM) {
        ui.message("Max ZOOM.\nR Mouse to exit.\nM Mouse to reset.", MSG_STANDING);
        int32 x = 0, y = 0;
        int c;
        while ((c = ui.mouseEvent(&x, &y, 1)) == MOUSE_MOVED) {
        }
        ui.clearMessage();
        if (c == MOUSE_RIGHT || c == MOUSE_CLOSE || c == MOUSE_REDRAW)
            return;
        showAnew(vs, true);
        vs->refresh |= RFR_VIEW | RFR_STATS;
        return;
    }
    const int32 ex = t.x, ey = t.y, ez = t.zoom;
    int32 zoom = ez;
    // The box starts at the top-left corner of the area shown, moved to stay in the view.
    const int32 bw = t.viewW / 2, bh = t.viewH / 2;
    aoiRec box{std::min(vs->bd->bgAoi.x0, t.viewW - bw), std::min(vs->bd->bgAoi.y0, t.viewH - bh),
               0, 0};
    box = zoomBoxAt(std::max(box.x0, 0) + bw / 2, std::max(box.y0, 0) + bh / 2);
    ui.message("ZOOM...\nMove cursor; click L Mouse to Zoom.\nClick M Mouse to Un-Zoom or Pan.",
               MSG_BRIEF);
    flickBoxes.eraseAll();
    int32 boxNo = flickBoxes.newFlick(box, viewRgb(0, 255, 0), FLICK_DRAW);
    int middles = 0;
    bool panGlobal = false;
    for (bool going = true; going;) {
        int32 x = 0, y = 0;
        int c;
        if (zoom * 2 > MAX_ZOOM) {
            ui.message("Max-ZOOM.\nR Mouse to exit.\nM Mouse to Un-Zoom.", MSG_STANDING);
            while ((c = ui.mouseEvent(&x, &y, 1)) == MOUSE_MOVED) {
            }
            ui.clearMessage();
            if (c == MOUSE_RIGHT || c == MOUSE_CLOSE || c == MOUSE_REDRAW)
                break;
            c = MOUSE_MIDDLE;
        } else {
            TEXTWIN_IDLE("zoom");
            c = ui.mouseEvent(&x, &y, 0);
        }
        switch (c) {
        case MOUSE_MOVED:
            box = zoomBoxAt(x, y);
            flickBoxes.flickBox(&box, boxNo, FLICK_MOVE | FLICK_DRAW);
            break;
        case MOUSE_LEFT: {
            flickBoxes.deleteFlick(boxNo);
            box = zoomBoxAt(x, y);
            magnifyBox(box, vs->dmode & 0xf);
            SET_I_TRANSL(t.x + (box.x0 - t.mapped.x0 % zoom) / zoom,
                         t.y + (box.y0 - t.mapped.y0 % zoom) / zoom, zoom * 2);
            zoom *= 2;
            boxNo = flickBoxes.newFlick(zoomBoxAt(x, y), viewRgb(0, 255, 0), FLICK_DRAW);
            break;
        }
        case MOUSE_MIDDLE:
            ++middles;
            flickBoxes.deleteFlick(boxNo);
            boxNo = -1;
            if (middles == 1) {
                SET_I_TRANSL(ex, ey, ez);
                zoom = ez;
                showArea();
            } else if (middles == 2) {
                if (fitsView()) {
                    showAnew(vs, false);
                } else if (PAN(vs) == 0) {
                    ui.message("PAN returned Global View\nExiting ZOOM...", MSG_BRIEF);
                    panGlobal = true;
                    going = false;
                    break;
                } else {
                    ui.message("Continue Zoom...", MSG_BRIEF);
                }
                zoom = t.zoom;
            } else {
                going = false;
                break;
            }
            box = zoomBoxAt(x, y);
            boxNo = flickBoxes.newFlick(box, viewRgb(0, 255, 0), FLICK_DRAW);
            break;
        case MOUSE_RIGHT:
        case MOUSE_CLOSE:
        case MOUSE_REDRAW:
            going = false;
            break;
        default:
            break;
        }
    }
    if (boxNo >= 0)
        flickBoxes.deleteFlick(boxNo);
    if (panGlobal)
        return;
    SET_I_TRANSL(t.x, t.y, zoom);
    if (deAlias && zoom >= 3 * ez) {
        VIEW_MEM(nullptr, false);
        ui.message("De-Alias ON... exiting ZOOM", MSG_BRIEF);
    } else {
        ui.message("exiting ZOOM", MSG_BRIEF);
    }
    vs->dmode &= ~modeGLOBALV;
    vs->bd->fgAoi = vs->bd->bgAoi = curTransl.mapped;
    testLog("zoom end %d %d %d", curTransl.x, curTransl.y, curTransl.zoom);
    vs->refresh |= RFR_VIEW | RFR_STATS;
}

bool zoomDeAlias()
{
    return deAlias;
}

void setZoomDeAlias(bool on)
{
    deAlias = on;
}

void resetPanZoom()
{
    deAlias = false;
    flickBoxes.reset();
    releasePanAccums();
}
