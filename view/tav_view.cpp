// The exploitation loop: opens the view on the current iBUFF, shows it, and offers the main
// menu until the user goes back to the loader or exits.
#include "tav_view.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "bTransl.h"
#include "diag.h"
#include "fit.h"
#include "folio_utl.h"
#include "loadGui.h"
#include "renderPix.h"
#include "tavDefaults.h"
#include "tav_wmgt.h"
#include "textwin.h"
#include "viewDims.h"

namespace {

constexpr int slotGLOBALV = 5; // the global view of the current buffer
constexpr int slotDISPLAY = 6; // the display accumulator: what the view shows
constexpr int32u touchSlots = 0xFu << 10;

enum : int32 { ACC_OK = 0, ACC_NO_FILE = -1, ACC_SIZE = -2, ACC_IO = -3, ACC_NO_MEM = -4 };

void emptyFolios(int32u mask)
{
    CLAIM_FOLIOS(mask);
}

bool displayBoxNow(int32 box[4])
{
    GET_DISPLAY_BOX(box);
    return box[2] >= box[0] && box[3] >= box[1];
}

// The display accumulator keeps the view's pixels so that an exposure is repaired without
// going back to the buffer (and so that what operations drew over the view survives).
int32 CUT_ACCUM()
{
    int32 b[4];
    if (!twBack || !displayBoxNow(b))
        return ACC_NO_FILE;
    const int32 w = b[2] - b[0] + 1, h = b[3] - b[1] + 1;
    std::string msg;
    if (!SAFE_MEM_REQ_WH(w, h, &msg))
        return ACC_NO_MEM;
    std::vector<int32u> px;
    px.resize(std::size_t(w) * std::size_t(h));
    if (!twBack->getPixels(twBox{b[0], b[1], b[2], b[3]}, px.data()))
        return ACC_IO;
    emptyFolios(1u << slotDISPLAY);
    std::FILE* f = FOLIO_FILE(slotDISPLAY);
    if (!f)
        return ACC_NO_FILE;
    const int32 hdr[2] = {w, h};
    if (std::fwrite(hdr, sizeof hdr, 1, f) != 1 ||
        std::fwrite(px.data(), 4, px.size(), f) != px.size()) {
        emptyFolios(1u << slotDISPLAY);
        return ACC_IO;
    }
    std::fflush(f);
    return ACC_OK;
}

int32 paste_accum(bool throughLuts)
{
    int32 b[4];
    std::FILE* f = FOLIO_FILE(slotDISPLAY);
    if (!twBack || !f || !displayBoxNow(b))
        return ACC_NO_FILE;
    std::rewind(f);
    int32 hdr[2] = {0, 0};
    if (std::fread(hdr, sizeof hdr, 1, f) != 1)
        return ACC_NO_FILE;
    const int32 w = b[2] - b[0] + 1, h = b[3] - b[1] + 1;
    if (hdr[0] != w || hdr[1] != h)
        return ACC_SIZE;
    std::vector<int32u> px;
    px.resize(std::size_t(w) * std::size_t(h));
    if (std::fread(px.data(), 4, px.size(), f) != px.size())
        return ACC_IO;
    if (throughLuts) {
        const viewState& vs = vState;
        constexpr int gunByte[3] = {2, 1, 0};
        for (int32u& p : px) {
            int32u q = p;
            for (int g = 0; g < 3; ++g) {
                const int sh = 8 * gunByte[g];
                q = (q & ~(0xffu << sh)) | (int32u(vs.dispLut[g][(q >> sh) & 0xff]) << sh);
            }
            p = q;
        }
    }
    twBack->putPixels(twBox{b[0], b[1], b[2], b[3]}, px.data());
    return ACC_OK;
}

void logPlacement()
{
    const translState& t = curTransl;
    testLog("view place %d %d %d %d %d", t.mapped.x0, t.mapped.y0, t.mapped.x1, t.mapped.y1,
            t.zoom);
}

// Shows the current buffer by its translation on a cleared view.
void showBuffer()
{
    CLEAR_VIEW();
    VIEW_MEM(nullptr, vState.dmode & modeGLOBALV);
    logPlacement();
}

void takeDisplayBox()
{
    viewState& vs = vState;
    GET_DISPLAY_BOX(vs.dispBox);
    const int32 w = vs.dispBox[2] + 1, h = vs.dispBox[3] + 1;
    SET_TRANSL_VIEW(w, h);
    ancillaryBoxes(w, h, &vs);
    SET_MSG_ANCHOR(w / 2, h / 2);
}

void initLutStates(viewState* vs)
{
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i) {
            vs->dfltLut[g][i] = charu(i);
            vs->tranLut[g][i] = vs->bd ? vs->bd->tLut[g][i] : charu(i);
        }
}

// Exploitation loop end: everything the loop put on the view goes, and the view closes.
void endLoop()
{
    TEXTWIN_CLEARALL();
    SET_REFRESH_CALLBACK(nullptr);
    SET_CURSOR(0);
    TAV_VIEWEND(0);
}

bool ancillaryInUse()
{
    return (vState.ancil & ancROAM) != 0;
}

// The pass work of the main loop before it waits.
void mainPass()
{
    viewState& vs = vState;
    DRAIN_EVENTS(true);
    if (vs.lutsChanged) {
        vs.dfltLutOn = vs.gunMask == 7;
        if (vs.dfltLutOn)
            vs.dmode |= modeDFLT_LUTS;
        else
            vs.dmode &= ~modeDFLT_LUTS;
        for (int g = 0; g < 3; ++g)
            std::memcpy(vs.tranLut[g], vs.bd->tLut[g], 256);
    }
    const bool transform = loadDisplayLuts(&vs);
    RenderPix::setDisplayLuts(vs.dispLut);
    if (vs.refresh) {
        SET_CURSOR(2);
        if ((vs.refresh & RFR_DATA) || (vs.bd->bufCtlm & bufLOADED)) {
            emptyFolios(1u << slotGLOBALV);
            vs.bd->bufCtlm &= ~bufLOADED;
            vs.refresh |= RFR_VIEW;
        }
        if (vs.refresh & (RFR_VIEW | RFR_CUT)) {
            const int32 rc = CUT_ACCUM();
            if (rc != ACC_OK)
                DIAG("\n***tav_view(): CUT_ACCUM() %d", rc);
        }
        // Statistics and AOI window bounds are computed by the read-outs that use them; the
        // ancillary column and the AOI operations bring those.
    }
    if (vs.gunMask != 7 && (vs.lutsChanged || vs.lutToggled)) {
        if (vs.dmode & modeALPHA) {
            vs.dmode &= ~(modeALPHA | modeALPHA_PASTE);
            TEXTMSG("Transform LUTs cancel ALPHA Display", MSG_BRIEF);
        }
        const int32 rc = paste_accum(transform);
        if (rc != ACC_OK)
            DIAG("\n***tav_view():paste_accum(); %d", rc);
    }
    SET_CURSOR(1);
    vs.bd->viewMode = vs.dmode;
    vs.bd->gunMask = vs.gunMask;
    vs.lutsChanged = false;
    vs.lutToggled = false;
    vs.refresh = 0;
}

// Waits for the right or middle button; the middle button toggles the LUTs. Returns the main
// menu value chosen, 0 after a middle button or a refresh, 12 when the window was closed.
int32 waitForChoice(int32 menu, int32* pupvals)
{
    viewState& vs = vState;
    for (;;) {
        TEXTWIN_IDLE("main");
        int32 x = 0, y = 0;
        const int code = MOUSE_EVENT(&x, &y, 1);
        if (code == MOUSE_CLOSE)
            return 12; // a killed view must not lose the buffers: back to the loader
        if (code == MOUSE_REDRAW)
            return 0;
        if (code == MOUSE_MIDDLE) {
            vs.dfltLutOn = !vs.dfltLutOn;
            if (vs.dfltLutOn)
                vs.dmode |= modeDFLT_LUTS;
            else
                vs.dmode &= ~modeDFLT_LUTS;
            vs.lutToggled = true;
            testLog("view luts %s", vs.dfltLutOn ? "default" : "transform");
            return 0;
        }
        if (code != MOUSE_RIGHT)
            continue;
        for (int k = 0; k < MAX_PUP_LEVEL; ++k)
            pupvals[k] = 0;
        bool outside = true;
        const int32 v = xDOPUP(menu, pupvals, &outside);
        if (!outside && v > 0)
            return v;
    }
}

} // namespace

void vmain_refresh()
{
    viewState& vs = vState;
    TEXTMSG_CLEAR();
    int32 box[4];
    const bool geomChanged = GET_GEOMETRY();
    GET_DISPLAY_BOX(box);
    if (geomChanged || std::memcmp(box, vs.dispBox, sizeof box) != 0) {
        takeDisplayBox();
        CENTRE_I_TRANSL(ancillaryInUse() && curTransl.cols < curTransl.viewW - ANCIL_COLUMN_W);
        vs.dmode &= ~modeGLOBALV;
        vs.ancil &= ~(ancROAM | ancSTATS);
        emptyFolios((1u << slotGLOBALV) | (1u << slotDISPLAY) | touchSlots);
        vs.gunMask = 7;
        vs.dfltLutOn = true;
        vs.dmode |= modeDFLT_LUTS;
        loadDisplayLuts(&vs);
        showBuffer();
        const int32 rc = CUT_ACCUM();
        if (rc != ACC_OK)
            DIAG("\n***tav_view(): CUT_ACCUM() %d", rc);
        vs.ancil |= ancREDRAW;
    } else {
        const bool luts = !vs.dfltLutOn && vs.gunMask != 7;
        const int32 rc = paste_accum(luts);
        if (rc != ACC_OK)
            DIAG("\n***tav_view()|vmain_refresh()|paste_accum(): err=%d", rc);
        // The accumulator already holds the view; copying the window back into it while
        // part of it may still be covered would store the covering window's pixels.
        vs.refresh |= RFR_STATS;
        return;
    }
    vs.refresh |= RFR_VIEW | RFR_STATS;
}

shortu TAV_VIEW(bufdes* table, shortu* current)
{
    // 1. The buffer.
    if (!table || !current || *current >= NUM_iBUFF) {
        DIAG("\n***tav_view(): bufObjs[] null or index fail");
        return TAV_INTERNAL;
    }
    bufdes* b = &table[*current];
    if (b->numImgs < 1 || !b->imgbuf || b->width < 16 || b->height < 16) {
        DIAG("\n***tav_view(): image buffer empty or too small");
        return TAV_TO_LOADER;
    }

    // 2. The state of this loop.
    viewState& vs = vState;
    vs.bufObjs = table;
    vs.currB = *current;
    vs.bd = b;
    vs.roamZoom = 2;
    vs.roamGuns = 7;
    vs.dfltLutOn = true;
    vs.gamma2 = 1.0;

    // 3. Mode words: from the defaults the first time, then where the last loop stopped.
    if (!vs.ranBefore) {
        viewDefaults d;
        GET_VIEW_DEFAULTS(d);
        vs.dmode = d.dmode;
        vs.ancil = d.ancil;
        vs.gamma = 1.7;
        for (auto& t : vs.gammaTab)
            gammaTable(vs.gamma, t);
        if (vs.dmode & modeSTICKY)
            SET_MENU_FAST(false);
        vs.bufferDiffers = true;
    } else {
        vs.dmode = vs.savedDmode;
        vs.ancil = vs.savedAncil;
        vs.bufferDiffers = vs.savedBuf != b->bufNum;
    }
    testLog("view dmode %X", unsigned(vs.dmode));
    initLutStates(&vs);

    // 4. New data.
    if (b->bufCtlm & bufLOADED) {
        b->bufCtlm &= ~bufVIEW_SAVED;
        if (b->bufCtlm & bufIS_HDR) {
            if (LDR_EXISTS())
                LDR_MSG("\nRendering sBUFF HDR data to iBUFF");
            // The scaling accumulator that renders HDR data into the iBUFF is not part of
            // this program yet: such a buffer cannot be shown.
            const int32 rc = -1;
            const std::string m = strPrintf("\nTAV_VIEW(): ***Fail; RENDER_sBUFF()= %d", rc);
            if (LDR_EXISTS())
                LDR_MSG(m.c_str());
            DIAG("%s", m.c_str());
            b->bufCtlm &= ~bufLOADED;
            return TAV_TO_LOADER;
        }
    }

    // 5, 6. The loader window steps aside; the view opens.
    if (LDR_EXISTS())
        LDR_HIDE();
    if (vDims.dpyType == DPY_FIT)
        SET_VIEW_MAX(b->width, b->height);
    const int32 rc = TAV_VIEWINI();
    if (rc != 0) {
        DIAG("\n***tav_view():tav_viewini() fail: %d\n", rc);
        return TAV_INTERNAL;
    }

    // 7. Cursors, boxes, menus and the buffer's translation.
    SET_CURSOR(2);
    takeDisplayBox();
    const mainMenus menus = DEFINE_VIEW_MENUS();
    if (menus.main < 0) {
        DIAG("\n***tav_view(): menu definition fail");
        endLoop();
        return TAV_INTERNAL;
    }
    TAV_ASSERT(INIT_I_TRANSL(b) && "INIT_I_TRANSL( currB )");
    const int32 vw = vs.dispBox[2] + 1, vh = vs.dispBox[3] + 1;

    // 8. A new view size or new data empties what was kept for the old one.
    const bool sizeChanged = b->transl.viewW != vw || b->transl.viewH != vh;
    if (sizeChanged)
        emptyFolios((1u << slotGLOBALV) | touchSlots);
    else if ((b->bufCtlm & bufLOADED) || vs.bufferDiffers)
        emptyFolios(1u << slotGLOBALV);

    // 9. Placement.
    const bool keepColumn = ancillaryInUse();
    if (!(b->bufCtlm & bufVIEW_SAVED) || sizeChanged) {
        vs.gunMask = 7;
        vs.dmode &= ~modeGLOBALV;
        if (!FIT_INIT_IMG(keepColumn)) {
            // Larger than the view: its middle at zoom 1; choosing another area is PAN's.
            CENTRE_I_TRANSL(false);
        }
        b->bgAoi = curTransl.mapped;
    } else {
        SET_I_TRANSL(b->transl.w2, b->transl.w3, curTransl.zoom);
        vs.gunMask = b->gunMask & 7;
        vs.dmode = (vs.dmode & ~(modeGLOBALV | modeALPHA | modeALPHA_PASTE)) |
                   (b->viewMode & (modeGLOBALV | modeALPHA | modeALPHA_PASTE));
        if (vs.gunMask != 7) {
            vs.dfltLutOn = false;
            vs.dmode &= ~modeDFLT_LUTS;
            vs.lutsChanged = true;
        }
    }
    showBuffer();

    // 10. The buffer's view is now saved with it.
    b->bufCtlm &= ~bufLOADED;
    b->bufCtlm |= bufVIEW_SAVED;
    b->transl.viewW = vw;
    b->transl.viewH = vh;

    // 11. Full screen with global scope would lock the screen on huge buffers.
    if (vDims.dpyType == DPY_FULL && (vs.dmode & modeGLOBAL_SCOPE)) {
        vs.dmode &= ~modeGLOBAL_SCOPE;
        TEXTMSG("WARN: Full-Screen Display mode and Global Scope create\n      a Screen-Lock "
                "condition for huge image buffers.\n      Global Scope was Disabled.",
                MSG_ACK);
    }

    // 12. Ready.
    vs.ranBefore = true;
    vs.refresh |= RFR_VIEW | RFR_STATS;
    if ((vs.dmode & (modeALPHA | modeALPHA_PASTE)) == (modeALPHA | modeALPHA_PASTE))
        vs.refresh |= RFR_PASTE_A;
    vs.ancil |= ancREDRAW;
    SET_REFRESH_CALLBACK(vmain_refresh);

    int32 pupvals[MAX_PUP_LEVEL] = {};
    for (;;) {
        mainPass();
        const int32 v = waitForChoice(menus.main, pupvals);
        if (v == 0)
            continue;
        // A choice: the operation starts from the plain display.
        if (ancillaryInUse() || vs.gunMask != 7 || (vs.dmode & modeALPHA_PASTE)) {
            vs.dmode |= modeDFLT_LUTS;
            paste_accum(false);
        }
        if (v == 12) {
            vs.callerB = *current;
            *current = vs.currB;
            vs.savedDmode = vs.dmode | modeDFLT_LUTS;
            vs.savedAncil = vs.ancil;
            vs.savedBuf = vs.bd->bufNum;
            TEXTMSG_CLEAR();
            endLoop();
            return TAV_CONTINUE;
        }
        if (v == 13) {
            endLoop();
            return TAV_EXIT;
        }
        if (v > 13) {
            TEXTMSG(strPrintf("tav_view(): ***SEVERE; undefined case %d\nExiting...", int(v)),
                    MSG_ACK);
            return TAV_INTERNAL;
        }
        runMenuChoice(&vs, pupvals);
        if (!vs.dfltLutOn) {
            // The plain paste above showed the default LUTs; show the chosen ones again.
            vs.dmode &= ~modeDFLT_LUTS;
            vs.lutToggled = true;
        }
    }
}
