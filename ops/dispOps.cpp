#include "dispOps.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "bTransl.h"
#include "diag.h"
#include "dispAccum.h"
#include "dispComposite.h"
#include "folio_utl.h"
#include "lexical.h"
#include "lutKernels.h"
#include "lutOps.h"
#include "opMenu.h"
#include "panZoom.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewDims.h"
#include "viewSurface.h"

touchRec touchRecs[NUM_TOUCH];

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct dispIds {
    int32 disp = -1, source = -1, touch = -1, composite = -1, gammas = -1, guns = -1, resize = -1;
};
dispIds ids;

// DISP OPS items.
enum : int32 { D_RESTORE = 1, D_TOUCH, D_COMPOSITE, D_SHIFT, D_TILE, D_CLEAR, D_GAMMA, D_RESIZE };

// The fixed gammas are single precision, as the menu shows them.
constexpr float fixedGammas[5] = {2.50f, 2.00f, 1.75f, 1.35f, 0.65f};

// The view's pixels on their way to or from a touch slot. Kept between uses: a fresh block of
// a view's size costs a page fault per page, more than the copy itself.
std::vector<int32u> touchPixels;
// Pixels a touch slot is written or read in at a time: small enough to stay in the cache.
constexpr std::size_t touchPiece = 16384;

// Folio slot of touch record n (1-4).
int touchSlot(int32 n)
{
    return 9 + int(n);
}

bool touchPresent(int32 n)
{
    return (foliosDefined() & (1u << touchSlot(n))) != 0;
}

void displaySize(const viewState* vs, int32* w, int32* h)
{
    *w = vs->dispBox[2] - vs->dispBox[0] + 1;
    *h = vs->dispBox[3] - vs->dispBox[1] + 1;
}

touchKey keyNow(const viewState* vs, const bufdes* bd)
{
    touchKey k{bd->bufNum, bd->generation, bd->width, bd->height, 0, 0};
    displaySize(vs, &k.viewW, &k.viewH);
    return k;
}

// The view's display box as a snapshot in a touch slot: the descriptor of an RGBA snapshot,
// then the pixels line by line. The view is read before the slot is claimed, so that a view
// that cannot be read leaves the record that was there. 0, or -2 nothing to read, -4 memory
// refused, -3 view unreadable, -1 no scratch file, -5 write failed (the slot is then empty).
int32 cutTouch(int slot, bool withAlpha)
{
    viewSurface* s = activeSurface();
    int32 b[4] = {0, 0, -1, -1};
    if (s)
        s->displayBox(b);
    const int32 w = b[2] - b[0] + 1, h = b[3] - b[1] + 1;
    if (w <= 0 || h <= 0)
        return -2;
    if (!viewMemOk(w, h))
        return -4;
    std::vector<int32u>& px = touchPixels;
    px.resize(std::size_t(w) * std::size_t(h));
    if (!s->getPixels(twBox{b[0], b[1], b[2], b[3]}, px.data()))
        return -3;
    // A slot made before is written over in place: truncating it would hand its pages back
    // only to ask for them again. The descriptor tells how much of it is the snapshot.
    const int32u bit = 1u << slot;
    if (!FOLIO_CREATED(slot) && !(CLAIM_FOLIOS(bit) & bit))
        return -1;
    folioDesc d{};
    d.cols = int32u(w);
    d.rows = int32u(h);
    for (int k = 0; k < 4; ++k) {
        d.aoi[k] = int32u(b[k]);
        d.gunBand[k] = std::uint16_t(k + 1);
    }
    d.nBands = 4;
    d.inLayout = 4;
    d.sMode = SMODE_PIXEL_IL;
    d.dType = DTYPE_BYTE;
    d.defined = 1;
    std::FILE* f = nullptr;
    bool ok = PUT_FOLIO_HEADER(slot, &d, nullptr) == 0 && (f = FOLIO_FILE(slot));
    // Without the alpha display the alpha plane is not part of what was shown: it is stored
    // as 0.
    if (!withAlpha)
        keepBytes(px, gunByteMask(7));
    ok = ok && std::fwrite(px.data(), 4, px.size(), f) == px.size() && std::fflush(f) == 0;
    if (!ok) {
        CLAIM_FOLIOS(bit); // never a defined slot with half a snapshot
        return -5;
    }
    return 0;
}

// Reads the snapshot of a touch slot, which must fit the display box now in use, keeping the
// bytes of keep only (a snapshot stored without alpha has none to drop). 0, or -1 nothing stored,
// -3 another size or layout, -4 memory refused, -8 unreadable.
int32 readTouch(int slot, const int32 box[4], bool storedAlpha, int32u keep,
                std::vector<int32u>& px)
{
    folioDesc d{};
    if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0)
        return -1;
    const int32 w = box[2] - box[0] + 1, h = box[3] - box[1] + 1;
    if (d.dType != DTYPE_BYTE || d.nBands != 4 || d.sMode != SMODE_PIXEL_IL ||
        d.cols != int32u(w) || d.rows != int32u(h))
        return -3;
    if (!viewMemOk(w, h))
        return -4;
    std::FILE* f = FOLIO_FILE(slot);
    if (!f)
        return -8;
    px.resize(std::size_t(w) * std::size_t(h));
    // Masked piece by piece while each piece is still in the cache; a snapshot that holds
    // just what is kept is read as it stands.
    for (std::size_t at = 0; at < px.size(); at += touchPiece) {
        const std::size_t n = std::min(touchPiece, px.size() - at);
        if (std::fread(px.data() + at, 4, n, f) != n)
            return -8;
        if (storedAlpha && keep != 0xffffffffu)
            keepBytes(std::span<int32u>(px.data() + at, n), keep);
    }
    return 0;
}

// Both RESTOREs end the same way: the LUT state is reloaded and the view taken as new.
void restored(viewState* vs)
{
    vs->lutsChanged = true;
    vs->refresh |= RFR_VIEW;
}

void restoreBuffer(viewState* vs, bufdes* bd)
{
    CLEAR_VIEW();
    if (vs->dmode & modeGLOBALV) {
        emptyFolios(1u << slotGLOBALV); // drawn anew, not pasted from what was kept
        SHOW_GLOBAL_VIEW();
    } else if (curTransl.zoom != 1) {
        VIEW_MEM(&bd->bgAoi, false);
    } else {
        const int32u mode = vs->dmode;
        vs->dmode |= modeDFLT_LUTS;
        VIEW_MEM(&bd->bgAoi, false);
        vs->dmode = mode;
    }
    restored(vs);
}

void restoreTouched(viewState* vs, bufdes* bd, int32 n)
{
    uiPort& ui = viewUi();
    if (n < 1 || n > NUM_TOUCH)
        return;
    if (!touchPresent(n)) {
        ui.message("TOUCH Accumulator empty.", MSG_ACK);
        return;
    }
    const touchRec& r = touchRecs[n - 1];
    if (!touchMatches(r.key, keyNow(vs, bd))) {
        ui.message("Touched display not found or\nno longer maps to iBUFF.", MSG_ACK);
        return;
    }
    // The pixels are read before anything changes: a snapshot that cannot be read leaves the
    // view and its state as they were. The view is then cleared and the snapshot pasted with
    // all guns, and with alpha when the mode taken back pastes alpha: the snapshot covers the
    // whole display box, so the cleared view is written in one pass, a gun left out being the
    // black of the clear.
    const int32u both = modeALPHA | modeALPHA_PASTE;
    const bool alpha = (r.viewMode & both) == both;
    std::vector<int32u>& px = touchPixels;
    const int32 rc = readTouch(touchSlot(n), vs->dispBox, r.alpha, gunByteMask(alpha ? 15 : 7), px);
    if (rc != 0) {
        ui.message(strPrintf("Error restoring touched display\nStatus= %d", int(rc)), MSG_ACK);
        return;
    }
    SET_I_TRANSL(r.x, r.y, r.zoom);
    bd->fgAoi = r.fgAoi;
    bd->bgAoi = r.bgAoi;
    vs->dmode = r.viewMode;
    vs->gunMask = r.gunMask;
    bd->viewMode = r.viewMode;
    bd->gunMask = r.gunMask;
    std::memcpy(bd->tLut, r.tLut, sizeof bd->tLut);
    if (viewSurface* s = activeSurface())
        s->putPixels(twBox{vs->dispBox[0], vs->dispBox[1], vs->dispBox[2], vs->dispBox[3]},
                     px.data());
    restored(vs);
    testLog("disp restore touched %d", int(n));
}

void touch(viewState* vs, bufdes* bd, int32 n)
{
    uiPort& ui = viewUi();
    if (n < 1 || n > NUM_TOUCH)
        return;
    const bool withAlpha = (vs->dmode & modeALPHA) != 0;
    const int32 rc = cutTouch(touchSlot(n), withAlpha);
    if (rc != 0) {
        DIAG("\n***DISP_OPS(): touch %d cut status %d", int(n), int(rc));
        ui.message("Error copying to accumulator", MSG_ACK);
        return;
    }
    bd->viewMode = vs->dmode;
    bd->gunMask = vs->gunMask;
    touchRec& r = touchRecs[n - 1];
    r.key = keyNow(vs, bd);
    r.x = curTransl.x;
    r.y = curTransl.y;
    r.zoom = curTransl.zoom;
    r.fgAoi = bd->fgAoi;
    r.bgAoi = bd->bgAoi;
    r.viewMode = bd->viewMode;
    r.gunMask = bd->gunMask;
    r.alpha = withAlpha;
    std::memcpy(r.tLut, bd->tLut, sizeof r.tLut);
    ui.message("Display state saved", MSG_BRIEF);
    testLog("disp touch %d", int(n));
}

// The buffer area the BG AOI shows, redrawn after the translation moved.
void redrawArea(viewState* vs, bufdes* bd)
{
    bd->bgAoi = curTransl.mapped;
    CLEAR_VIEW();
    VIEW_MEM(&bd->bgAoi, false);
    vs->refresh |= RFR_VIEW;
}

void shift(viewState* vs, bufdes* bd)
{
    uiPort& ui = viewUi();
    if (vs->dmode & modeGLOBALV) {
        ui.message("SHIFT undefined for global view", MSG_ACK);
        return;
    }
    ui.message("Select a reference point\nand press L MOUSE.\nPress R MOUSE to cancel...",
               MSG_STANDING);
    int32 rx = 0, ry = 0, nx = 0, ny = 0;
    int code;
    do
        code = ui.mouseEvent(&rx, &ry, 1);
    while (code != MOUSE_LEFT && code != MOUSE_RIGHT && code != MOUSE_CLOSE);
    ui.clearMessage();
    if (code != MOUSE_LEFT)
        return;
    ui.message("Select new position for\nreference point, then press\nL MOUSE.", MSG_STANDING);
    do
        code = ui.mouseEvent(&nx, &ny, 1);
    while (code != MOUSE_LEFT && code != MOUSE_RIGHT && code != MOUSE_CLOSE);
    ui.clearMessage();
    if (code != MOUSE_LEFT)
        return;
    const translState& t = curTransl;
    int32 x = 0, y = 0;
    if (shiftOrigin(t.x, rx, nx, t.zoom, t.cols, &x) != DISPK_OK ||
        shiftOrigin(t.y, ry, ny, t.zoom, t.rows, &y) != DISPK_OK) {
        ui.message("Attempt to translate buffer off screen...", MSG_ACK);
        return;
    }
    SET_I_TRANSL(x, y, t.zoom);
    redrawArea(vs, bd);
    testLog("disp shift %d %d", int(x), int(y));
}

void tile(viewState* vs, bufdes* bd)
{
    uiPort& ui = viewUi();
    int32 vw = 0, vh = 0;
    displaySize(vs, &vw, &vh);
    const int32 check = tileCheck(bd->width, bd->height, vw, vh);
    if (check == DISPK_TOO_SMALL) {
        ui.message("FAIL: iBUFF too small to Tile Display", MSG_ACK);
        return;
    }
    if (vs->dmode & modeGLOBALV) {
        ui.message("FAIL: Cannot Tile Global View of iBUFF\n      PAN to first Display TILE",
                   MSG_ACK);
        return;
    }
    if (check == DISPK_UNEVEN)
        ui.message("Warn: iBUFF dimensions not evenly divisible by Display\n"
                   "      Boundary crossing Tile will snap to iBUFF boundary\n"
                   "      Select compatible Display dimensions in Loader",
                   MSG_ACK);
    const int32 nx = tileCount(bd->width, vw), ny = tileCount(bd->height, vh);
    int32 tx = tileNear(curTransl.x, bd->width, vw), ty = tileNear(curTransl.y, bd->height, vh);
    auto show = [&]() {
        SET_I_TRANSL(tileOrigin(tx, bd->width, vw), tileOrigin(ty, bd->height, vh), 1);
        redrawArea(vs, bd);
        testLog("disp tile %d %d", int(curTransl.x), int(curTransl.y));
    };
    show();
    // The instruction stands while the user clicks and goes before each redraw, so that the
    // redraw does not leave it half covered.
    for (;;) {
        ui.message("TILE: click L MOUSE toward the next tile\n(left, right, up or down).\n"
                   "R MOUSE ends TILE.",
                   MSG_STANDING);
        int32 x = 0, y = 0;
        const int code = ui.mouseEvent(&x, &y, 1);
        ui.clearMessage();
        if (code == MOUSE_RIGHT || code == MOUSE_CLOSE)
            break;
        if (code == MOUSE_LEFT &&
            tileStep(x - vs->dispBox[0], y - vs->dispBox[1], vw, vh, nx, ny, &tx, &ty))
            show();
    }
}

void clearView(viewState* vs, const bufdes*)
{
    if (vs->gunMask != 7) {
        viewUi().message("Cannot clear display with\nactive transform LUTS", MSG_BRIEF);
        return;
    }
    CLEAR_VIEW();
    vs->dmode &= ~(modeALPHA | modeGLOBALV);
    vs->refresh |= RFR_VIEW;
}

void gamma(viewState* vs, bufdes* bd, int32 which, int32 guns)
{
    guns &= 7;
    if (which < 1 || which > 6 || !guns)
        return;
    double g;
    if (which <= 5) {
        g = fixedGammas[which - 1];
    } else {
        const std::string answer =
            viewUi().ask("Enter value for display GAMMA.\nRange 0.1 - 5.0\n> ");
        if (!toDouble(answer.c_str(), g) || !(g >= 0.1 && g <= 5.0)) {
            viewUi().message("Invalid GAMMA.", MSG_BRIEF);
            return;
        }
    }
    vs->gamma = g;
    charu t[256];
    gammaTable(g, t);
    for (int k = 0; k < 3; ++k)
        if (guns & (1 << k)) {
            std::memcpy(bd->tLut[k], t, 256);
            std::memcpy(vs->gammaTab[k], t, 256);
        }
    LUT_COMMIT(vs, bd, guns, "GAMMA");
}

void resize(int32 how)
{
    if (how == 1) {
        SET_VIEW_LOCK(true);
        viewUi().message("Display Dimensions locked", MSG_BRIEF);
    } else if (how == 2) {
        SET_VIEW_LOCK(false);
        viewUi().message("Loader may change Display Dimensions", MSG_BRIEF);
    }
}

} // namespace

void resetDispOps()
{
    for (auto& r : touchRecs)
        r = touchRec{};
}

int32 dispOpsMenu(std::vector<pupLink>& links)
{
    dispIds& m = ids;
    m.disp = defineMenu("RESTORE|TOUCH|COMPOSITE|SHIFT|TILE|CLEAR|GAMMA|RESIZE");
    m.source = defineMenu("iBUFF|TOUCHED");
    m.touch = defineMenu("\\ 1 |\\ 2 |\\ 3 |\\ 4 ");
    m.composite = defineMenu("LOCAL|CLONE");
    m.gammas = defineMenu("2.50|2.00|1.75|1.35|0.65|USER");
    m.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    m.resize = defineMenu("DISABLE|ENABLE");
    // Items count from 0 in the links.
    links.push_back(pupLink{&m.disp, D_RESTORE - 1, &m.source});
    links.push_back(pupLink{&m.source, 1, &m.touch});
    links.push_back(pupLink{&m.disp, D_TOUCH - 1, &m.touch});
    links.push_back(pupLink{&m.disp, D_COMPOSITE - 1, &m.composite});
    links.push_back(pupLink{&m.disp, D_GAMMA - 1, &m.gammas});
    for (int32 k = 0; k < 6; ++k)
        links.push_back(pupLink{&m.gammas, k, &m.guns});
    links.push_back(pupLink{&m.disp, D_RESIZE - 1, &m.resize});
    return m.disp;
}

void dispOps(viewState* vs, const int32* pv, bufdes* bd)
{
    if (!bd)
        return;
    switch (pv[1]) {
    case D_RESTORE:
        if (pv[2] == 1)
            restoreBuffer(vs, bd);
        else if (pv[2] == 2)
            restoreTouched(vs, bd, pv[3]);
        return;
    case D_TOUCH:
        touch(vs, bd, pv[2]);
        return;
    case D_COMPOSITE:
        dispComposite(vs, pv, bd);
        return;
    case D_SHIFT:
        shift(vs, bd);
        return;
    case D_TILE:
        tile(vs, bd);
        return;
    case D_CLEAR:
        clearView(vs, bd);
        return;
    case D_GAMMA:
        gamma(vs, bd, pv[2], pv[3]);
        return;
    case D_RESIZE:
        resize(pv[2]);
        return;
    default:
        return;
    }
}
