// The exploitation loop: opens the view on the current iBUFF, shows it, and offers the main
// menu until the user goes back to the loader or exits.
#include "tav_view.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "aoiBand.h"
#include "bTransl.h"
#include "diag.h"
#include "dispAccum.h"
#include "emuOvl.h"
#include "exploitOp.h"
#include "fit.h"
#include "folio_utl.h"
#include "loadGui.h"
#include "lutKernels.h"
#include "panZoom.h"
#include "renderPix.h"
#include "roam.h"
#include "sbuffActive.h"
#include "tavDefaults.h"
#include "tav_wmgt.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewDims.h"

namespace {

void logPlacement()
{
    const translState& t = curTransl;
    // The global view shows the whole buffer in its own box, at no zoom of the translation.
    const aoiRec m = (vState.dmode & modeGLOBALV) && t.bd ? t.bd->fgAoi : t.mapped;
    testLog("view place %d %d %d %d %d", m.x0, m.y0, m.x1, m.y1, t.zoom);
}

// Shows the current buffer by its translation on a cleared view; the global view comes from
// its accumulator when that holds it.
void showBuffer()
{
    if (vState.dmode & modeGLOBALV) {
        // The translation kept for the global view maps nothing useful; the AOIs are the
        // global image, as PAN left them.
        const globalGeom g = globalGeometry();
        vState.bd->fgAoi = vState.bd->bgAoi = g.box;
        vState.globalF = g.f;
        SHOW_GLOBAL_VIEW();
    } else {
        CLEAR_VIEW();
        VIEW_MEM(nullptr, false);
    }
    logPlacement();
}

// The FG and BG AOI frames. A frame around the whole area shown says nothing and would hide
// the image's edge pixels, so an AOI that is the mapped area gets none.
int32 aoiFrame[2] = {-1, -1};

void removeAoiFrames()
{
    for (int32& k : aoiFrame)
        if (k >= 0) {
            flickBoxes.deleteFlick(k);
            k = -1;
        }
}

void drawAoiFrames()
{
    removeAoiFrames();
    const bufdes* b = vState.bd;
    const aoiRec& m = (vState.dmode & modeGLOBALV) ? b->bgAoi : curTransl.mapped;
    const aoiRec* aois[2] = {&b->fgAoi, &b->bgAoi};
    int32u colours[2];
    for (int k = 0; k < 2; ++k) // as SET COLOR chose them
        colours[k] = viewRgb(int(aoiFrameColour[k] >> 16), int(aoiFrameColour[k] >> 8) & 255,
                             int(aoiFrameColour[k]) & 255);
    for (int k = 0; k < 2; ++k) {
        const aoiRec& a = *aois[k];
        const bool whole = a.x0 <= m.x0 && a.y0 <= m.y0 && a.x1 >= m.x1 && a.y1 >= m.y1;
        if (!whole && a.x1 >= a.x0 && a.y1 >= a.y0)
            aoiFrame[k] = flickBoxes.newFlick(a, colours[k], FLICK_DRAW);
    }
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
    setSevereMessageSink(nullptr);
    lendViewToSbuff(false);
    flickBoxes.reset();
    aoiFrame[0] = aoiFrame[1] = -1;
    INIT_ROAM_UTIL(false);
    TEXTWIN_CLEARALL();
    SET_REFRESH_CALLBACK(nullptr);
    SET_CURSOR(0);
    TAV_VIEWEND(0);
}

bool ancillaryInUse()
{
    return (vState.ancil & ancROAM) != 0;
}

// The ancillary column: the roam window in its bottom box and the histogram above it, drawn
// after the view so that a paste of the display accumulator cannot wipe them.
void drawAncillary()
{
    viewState& vs = vState;
    if (!(vs.ancil & ancREDRAW))
        return;
    vs.ancil &= ~ancREDRAW;
    testLog("view column %d", ancillaryInUse() ? vs.ancColumn.x0 : -1);
    clearViewRect(vs.ancColumn);
    if (!ancillaryInUse()) {
        // Switched off: the column shows the view again.
        if (vs.dmode & modeGLOBALV)
            SHOW_GLOBAL_VIEW();
        else if (curTransl.mapped.x1 >= vs.ancColumn.x0)
            VIEW_MEM(&vs.ancColumn, false);
        CUT_ACCUM();
        return;
    }
    ROAM_SETUP(&vs, vs.roamBox, vs.roamZoom);
    if (vs.smallScreen)
        return; // the statistics come with the first pointer move
    int32 x = 0, y = 0;
    QUERY_POINTER(&x, &y);
    ROAM_UPDATE(&vs, x, y);
    if (!(vs.ancil & ancSTATS))
        return;
    DRAW_STATS(&vs, statsLines(roamAreaHist()));
    if (!(vs.ancil & ancHISTOGRAM))
        return;
    // From the buffer source the histogram covers the whole buffer, which the global view
    // may be far smaller than: the user is told why the wait.
    const bool wholeBuffer = !(vs.dmode & modeANCIL_DISPLAY) && (vs.dmode & modeGLOBALV);
    if (wholeBuffer)
        TEXTMSG("Computing histogram for entire image buffer", MSG_STANDING);
    viewHist h;
    const bool ok = readoutHist(&vs, &h);
    if (wholeBuffer)
        TEXTMSG_CLEAR();
    if (ok)
        DRAW_HISTOGRAM(&vs, h);
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
    // The column follows the view while it is on; switched off, it is redrawn once, by the
    // ANCILLARY operation's request (redrawing it then would copy a view shown through the
    // transform LUTs into the display accumulator, which holds the plain view).
    if ((vs.refresh || vs.lutsChanged || vs.lutToggled) && ancillaryInUse())
        vs.ancil |= ancREDRAW;
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
        if (vs.refresh & RFR_STATS)
            drawAoiFrames();
    }
    if (vs.gunMask != 7 && (vs.lutsChanged || vs.lutToggled)) {
        if (vs.dmode & modeALPHA) {
            vs.dmode &= ~(modeALPHA | modeALPHA_PASTE);
            TEXTMSG("Transform LUTs cancel ALPHA Display", MSG_BRIEF);
        }
        const int32 rc = paste_accum(transform ? &vs.dispLut : nullptr);
        if (rc != ACC_OK)
            DIAG("\n***tav_view():paste_accum(); %d", rc);
    }
    drawAncillary();
    SET_CURSOR(1);
    vs.bd->viewMode = vs.dmode;
    vs.bd->gunMask = vs.gunMask;
    vs.lutsChanged = false;
    vs.lutToggled = false;
    vs.refresh = 0;
}

// Waits for the right or middle button; the middle button toggles the LUTs. Returns the main
// menu value chosen, 0 after a middle button or a refresh, LOADER when the window was closed.
int32 waitForChoice(const mainMenus& menus, int32* pupvals)
{
    viewState& vs = vState;
    for (;;) {
        TEXTWIN_IDLE("main");
        int32 x = 0, y = 0;
        // With the ancillary column on, pointer moves drive the roam window.
        const int code = MOUSE_EVENT(&x, &y, ancillaryInUse() ? 0 : 1);
        if (ROAM_EVENT(&vs, code, x, y) || code == MOUSE_MOVED)
            continue;
        if (code == MOUSE_CLOSE)
            return menus.loader; // a killed view must not lose the buffers: back to the loader
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
        const int32 v = xDOPUP(menus.main, pupvals, &outside);
        if (!outside && v > 0)
            return v;
    }
}

} // namespace

void vmain_refresh()
{
    viewState& vs = vState;
    TEXTMSG_CLEAR();
    // The window was repainted or resized under the boxes: their saved pixels are stale.
    flickBoxes.reset();
    aoiFrame[0] = aoiFrame[1] = -1;
    int32 box[4];
    const bool geomChanged = GET_GEOMETRY();
    GET_DISPLAY_BOX(box);
    if (geomChanged || std::memcmp(box, vs.dispBox, sizeof box) != 0) {
        takeDisplayBox();
        CENTRE_I_TRANSL(ancillaryInUse() && curTransl.cols < curTransl.viewW - ANCIL_COLUMN_W);
        vs.dmode &= ~modeGLOBALV;
        vs.ancil &= ~(ancROAM | ancSTATS);
        INIT_ROAM_UTIL(true);
        RESET_PAN_ACCUMS();
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
        const int32 rc = paste_accum(luts ? &vs.dispLut : nullptr);
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
    vs.loadTarget = -1;
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
        // Every HDR load renders into its buffer as it ends, so a buffer loaded before the
        // last HDR load (AUTOB, SETB) keeps its own picture: the Loader sBUFF now holds another
        // buffer's data, and rendering it again would refuse the buffer or redo the same work.
        const bool rendered = b->numImgs > 0 && IMAGE_RENDERED(b->imgDes[b->curImg]);
        if ((b->bufCtlm & bufIS_HDR) && !rendered) {
            if (LDR_EXISTS())
                LDR_MSG("\nRendering sBUFF HDR data to iBUFF");
            SET_ACTIVE_sBUFF(SBUFF_LOADER);
            const int32 rc = RENDER_sBUFF(nullptr, b, RSB_TO_iBUFF);
            if (rc != 0) {
                const std::string m = strPrintf("\nTAV_VIEW(): ***Fail; RENDER_sBUFF()= %d", rc);
                if (LDR_EXISTS())
                    LDR_MSG(m.c_str());
                DIAG("%s", m.c_str());
                b->bufCtlm &= ~bufLOADED;
                return TAV_TO_LOADER;
            }
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

    // 7. Cursors, boxes, menus and the buffer's translation. While the view is open, memory
    // refusals that carry no message of their own are the message box's to show.
    SET_CURSOR(2);
    takeDisplayBox();
    setSevereMessageSink(showSevere);
    lendViewToSbuff(true);
    const mainMenus menus = DEFINE_VIEW_MENUS();
    if (menus.main < 0) {
        DIAG("\n***tav_view(): menu definition fail");
        endLoop();
        return TAV_INTERNAL;
    }
    DEFINE_PAN_MENUS();
    INIT_ROAM_UTIL(true);
    TAV_ASSERT(INIT_I_TRANSL(b) && "INIT_I_TRANSL( currB )");
    MANAGE_PAN_ACCUM(b->bufNum);
    const int32 vw = vs.dispBox[2] + 1, vh = vs.dispBox[3] + 1;

    // 8. A new view size or new data empties what was kept for the old one.
    const bool sizeChanged = b->transl.viewW != vw || b->transl.viewH != vh;
    if (sizeChanged) {
        RESET_PAN_ACCUMS();
        emptyFolios((1u << slotGLOBALV) | touchSlots);
    } else if ((b->bufCtlm & bufLOADED) || vs.bufferDiffers)
        emptyFolios(1u << slotGLOBALV);

    // 9. Placement.
    const bool keepColumn = ancillaryInUse();
    bool panned = false;
    if (!(b->bufCtlm & bufVIEW_SAVED) || sizeChanged) {
        vs.gunMask = 7;
        vs.dmode &= ~modeGLOBALV;
        b->bufCtlm &= ~bufVIEW_SAVED;
        if (!FIT_INIT_IMG(keepColumn)) {
            // Larger than the view: its middle at zoom 1, and the user chooses the area on
            // the global view.
            CENTRE_I_TRANSL(false);
            b->bgAoi = curTransl.mapped;
            SET_CURSOR(1);
            PAN(&vs);
            panned = true;
        }
        if (!panned)
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
    if (panned)
        logPlacement();
    else
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
        const int32 v = waitForChoice(menus, pupvals);
        if (v == 0)
            continue;
        removeAoiFrames();
        // A choice: the operation starts from the plain display.
        if (ancillaryInUse() || vs.gunMask != 7 || (vs.dmode & modeALPHA_PASTE)) {
            vs.dmode |= modeDFLT_LUTS;
            paste_accum(nullptr);
        }
        if (v == menus.loader) {
            vs.callerB = *current;
            *current = vs.loadTarget >= 0 ? shortu(vs.loadTarget) : vs.currB;
            vs.savedDmode = vs.dmode | modeDFLT_LUTS;
            vs.savedAncil = vs.ancil;
            vs.savedBuf = vs.bd->bufNum;
            TEXTMSG_CLEAR();
            endLoop();
            return TAV_CONTINUE;
        }
        if (v == menus.exit) {
            endLoop();
            return TAV_EXIT;
        }
        if (!runMenuChoice(&vs, pupvals)) {
            TEXTMSG(strPrintf("tav_view(): ***SEVERE; undefined case %d\nExiting...", int(v)),
                    MSG_ACK);
            return TAV_INTERNAL;
        }
        if (!vs.dfltLutOn) {
            // The plain paste above showed the default LUTs; show the chosen ones again.
            vs.dmode &= ~modeDFLT_LUTS;
            vs.lutToggled = true;
        }
    }
}
