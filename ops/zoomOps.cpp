#include "zoomOps.h"

#include <string>

#include "bTransl.h"
#include "diag.h"
#include "opMenu.h"
#include "panZoom.h"
#include "renderPix.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct zoomIds {
    int32 zoom = -1, mode = -1, dealias = -1;
};
zoomIds ids;

enum : int32 { ZO_PAN = 1, ZO_ZOOM, ZO_MODE, ZO_STATUS, ZO_DEALIAS, ZO_ONE_X };

bool fitsView()
{
    const translState& t = curTransl;
    return t.cols <= t.viewW && t.rows <= t.viewH;
}

void runPan(viewState* vs)
{
    const int32 panned = PAN(vs);
    if (!panned && !(vs->dmode & modeGLOBALV))
        viewUi().message(
            "***zoom_ops()/pan() state error\n   !panned && !(vs->dmode & modeGLOBALV)", MSG_ACK);
    vs->refresh |= RFR_STATS;
    if (vs->dmode & modeGLOBALV)
        viewUi().message("\n Global View ON \n", MSG_BRIEF);
}

const char* modeName(int32u bit)
{
    switch (bit) {
    case ZOOM_BILINEAR:
        return "BILINEAR";
    case ZOOM_BICUBIC:
        return "BICUBIC";
    case ZOOM_CATMULL:
        return "CATMULL-ROM";
    default:
        return "REPLICATE";
    }
}

void setMode(viewState* vs, int32 item)
{
    if (item < 1 || item > 4)
        return;
    const int32u bit = 1u << (item - 1);
    uiPort& ui = viewUi();
    if ((vs->dmode & 0xfu) == bit) {
        ui.message(std::string("Zoom mode ") + modeName(bit), MSG_BRIEF);
        return;
    }
    vs->dmode = (vs->dmode & ~0xfu) | bit;
    ui.message(std::string("Zoom mode set ") + modeName(bit), MSG_BRIEF);
    if (curTransl.zoom >= 2 && !(vs->dmode & modeGLOBALV)) {
        VIEW_MEM(nullptr, false);
        vs->refresh |= RFR_VIEW;
    }
}

void status(const viewState* vs)
{
    // The first mode bit set wins in this order, as the magnifier resolves several.
    const int32u m = vs->dmode;
    const char* mode = (m & ZOOM_BILINEAR)  ? "Zoom mode BILINEAR"
                       : (m & ZOOM_BICUBIC) ? "Zoom mode BICUBIC"
                       : (m & ZOOM_CATMULL) ? "Zoom mode CATMULL-ROM"
                                            : "Zoom mode is REPLICATE";
    viewUi().message(strPrintf("%s\nFactor    %d X\nDe-alias  %s", mode, int(curTransl.zoom),
                               zoomDeAlias() ? "ON" : "OFF"),
                     MSG_ACK);
}

} // namespace

int32 zoomOpsMenu(std::vector<pupLink>& links)
{
    ids.zoom = defineMenu("PAN|ZOOM|MODE|STATUS|DE-ALIAS|\\ 1 X");
    ids.mode = defineMenu("REPLICATE|BILINEAR|BICUBIC|CATML-ROM");
    ids.dealias = defineMenu("OFF|ON");
    // Menus without a title count their items from 0.
    links.push_back(pupLink{&ids.zoom, 2, &ids.mode});
    links.push_back(pupLink{&ids.zoom, 4, &ids.dealias});
    return ids.zoom;
}

void zoom_ops(viewState* vs, const int32* pv, bufdes*)
{
    uiPort& ui = viewUi();
    switch (pv[1]) {
    case ZO_PAN:
        if (fitsView()) {
            ui.message("Buffer size < Display.\nUsing ZOOM...", MSG_BRIEF);
            ZOOM(vs);
            return;
        }
        runPan(vs);
        return;
    case ZO_ZOOM:
        if (vs->dmode & modeGLOBALV) {
            ui.message("Cannot ZOOM Global View.\nUsing PAN...", MSG_BRIEF);
            runPan(vs);
            return;
        }
        ZOOM(vs);
        return;
    case ZO_MODE:
        setMode(vs, pv[2]);
        return;
    case ZO_STATUS:
        status(vs);
        return;
    case ZO_DEALIAS:
        if (pv[2] == 1) {
            setZoomDeAlias(false);
            ui.message("Zoom De-Alias OFF", MSG_BRIEF);
        } else if (pv[2] == 2) {
            setZoomDeAlias(true);
            ui.message("Zoom De-Alias ON", MSG_BRIEF);
        }
        return;
    case ZO_ONE_X:
        if (curTransl.zoom >= 2) {
            centreAndShow(vs);
            vs->refresh |= RFR_VIEW | RFR_STATS;
        }
        return;
    default:
        return;
    }
}
