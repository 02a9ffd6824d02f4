#include "dispComposite.h"

#include <algorithm>
#include <span>

#include "aoiKernels.h"
#include "bTransl.h"
#include "clonePair.h"
#include "dispAccum.h"
#include "lutKernels.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiPort.h"

// The displayed BG AOI area burned into the buffer (LOCAL) or its clone (CLONE): every gun,
// each through the table it is shown with; at a zoom above 1 each z x z block of the view
// becomes its rounded mean in one buffer pixel.
void dispComposite(viewState* vs, const int32* pupvals, bufdes* bd)
{
    uiPort& ui = viewUi();
    const int32 item = pupvals[2];
    if (!vs || !bd || item < 1 || item > 2)
        return;
    if (vs->dmode & modeGLOBALV) {
        ui.message("COMPOSITE undefined for global view.", MSG_ACK);
        return;
    }
    bufdes* target = bd;
    if (item == 2) {
        if (!(bd->bufCtlm & (bufHAS_CLONE | bufIS_CLONE))) {
            ui.message("FAIL: No Clone defined for this iBUFF", MSG_ACK);
            return;
        }
        // The one partner check: it exists, holds pixels, links back and has our size.
        target = clonePartner(vs->bufObjs, bd);
        if (!target) {
            ui.message("FAIL: Cannot COMPOSITE to Clone target iBUFF\n      Dimensions corrupted",
                       MSG_ACK);
            return;
        }
    }
    const int32 z = std::max(curTransl.zoom, 1);
    if (z > 1)
        ui.message("NOTE: Zoomed display; composite will be\nburned into buffer at reduced "
                   "resolution",
                   MSG_BRIEF);
    if ((vs->dmode & (modeALPHA | modeALPHA_PASTE)) == (modeALPHA | modeALPHA_PASTE) &&
        !ui.askYesNo("Overlays in view may overwrite buffer.\nProceed with COMPOSITE? (Y/N) > "))
        return;
    bufMapping m;
    if (!DXY_TO_BUF(bd->bgAoi, &m))
        return;
    RenderArea shown(&m.view, RP_VIEW);
    int32u* px = shown.read();
    int32 w = 0, h = 0;
    if (!px || !shown.size(&w, &h))
        return;
    if (loadDisplayLuts(vs))
        lutRows(std::span<int32u>(px, std::size_t(w) * std::size_t(h)), vs->dispLut);
    const int32 bw = m.buf.x1 - m.buf.x0 + 1, bh = m.buf.y1 - m.buf.y0 + 1;
    const pixArea bp{target->imgbuf + std::ptrdiff_t(m.buf.y0) * target->width + m.buf.x0, bw, bh,
                     target->width};
    compositeArea(pixArea{px, w, h, w}, z, bp, gunByteMask(7));
    emptyFolios(1u << slotGLOBALV);
    ui.message("Composite done.", MSG_BRIEF);
    vs->refresh |= RFR_VIEW | RFR_DATA;
}
