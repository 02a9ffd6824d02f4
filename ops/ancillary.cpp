#include "ancillary.h"

#include "diag.h"
#include "opMenu.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct ancillaryIds {
    int32 ancil = -1, mode = -1, source = -1, graphs = -1, scaling = -1, counts = -1, menu = -1;
};
ancillaryIds ids;

} // namespace

int32 ancillaryMenu(std::vector<pupLink>& links)
{
    ancillaryIds& m = ids;
    m.ancil = defineMenu("MODE|SOURCE|GRAPHS|SCALING|COUNTS|MENU");
    m.mode = defineMenu("OFF|ROAM&STATS|ROAM ONLY");
    m.source = defineMenu("DISPLAY|BUFFER");
    m.graphs = defineMenu("OFF|HISTOGRAM|SCATTER");
    m.scaling = defineMenu("LINEAR|LOG|EXP");
    m.counts = defineMenu("COUNTS|PERCENT");
    m.menu = defineMenu("FAST%x0|STICKY%x1");
    int32* const subs[] = {&m.mode, &m.source, &m.graphs, &m.scaling, &m.counts, &m.menu};
    for (int32 k = 0; k < 6; ++k)
        links.push_back(pupLink{&m.ancil, k, subs[k]});
    return m.ancil;
}

// The ancillary word and the menu mode are switched here; the roam window, statistics and
// graphs that read the word are drawn by the ancillary column once it exists.
void ancillary(viewState* vs, const int32* pv, bufdes*)
{
    uiPort& ui = viewUi();
    const int32 sub = pv[2];
    int32u& a = vs->ancil;
    switch (pv[1]) {
    case 1: // MODE
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancROAM | ancSTATS);
        a |= sub == 2 ? (ancROAM | ancSTATS) : sub == 3 ? ancROAM : 0u;
        a |= ancREDRAW;
        ui.message(sub == 1   ? "Ancillary display OFF"
                   : sub == 2 ? "Ancillary display ROAM&STATS"
                              : "Ancillary display ROAM ONLY",
                   MSG_BRIEF);
        vs->refresh |= RFR_STATS;
        return;
    case 2: // SOURCE
        if (sub == 1) {
            vs->dmode |= modeANCIL_DISPLAY;
            ui.message("Ancillary source DISPLAY", MSG_BRIEF);
        } else if (sub == 2) {
            vs->dmode &= ~modeANCIL_DISPLAY;
            ui.message("Ancillary source BUFFER", MSG_BRIEF);
        }
        return;
    case 3: // GRAPHS
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancHISTOGRAM | ancSCATTER);
        a |= sub == 2 ? ancHISTOGRAM : sub == 3 ? ancSCATTER : 0u;
        a |= ancREDRAW;
        ui.message(sub == 1   ? "Graphs OFF"
                   : sub == 2 ? "Graph HISTOGRAM"
                              : "Graph SCATTERGRAM",
                   MSG_BRIEF);
        return;
    case 4: // SCALING
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancLINEAR | ancLOG | ancEXP);
        a |= sub == 1 ? ancLINEAR : sub == 2 ? ancLOG : ancEXP;
        ui.message(sub == 1   ? "Graph scaling LINEAR"
                   : sub == 2 ? "Graph scaling LOG"
                              : "Graph scaling EXP",
                   MSG_BRIEF);
        return;
    case 5: // COUNTS
        if (sub == 1) {
            a |= ancCOUNTS;
            ui.message("Graphs show COUNTS", MSG_BRIEF);
        } else if (sub == 2) {
            a &= ~ancCOUNTS;
            ui.message("Graphs show PERCENT", MSG_BRIEF);
        }
        return;
    case 6: // MENU: FAST%x0 | STICKY%x1
        if (sub == 0) {
            ui.setMenuFast(true);
            vs->dmode &= ~modeSTICKY;
            ui.message(
                "Menu mode is FAST\nMenu remains visible until R MOUSE is RELEASED.\nRelease "
                "R MOUSE on final selection to Execute",
                MSG_ACK);
        } else if (sub == 1) {
            ui.setMenuFast(false);
            vs->dmode |= modeSTICKY;
            ui.message("Menu mode is STICKY\nMenu remains visible until L or R MOUSE is "
                       "PRESSED\nPress L or R MOUSE on final selection to Execute",
                       MSG_ACK);
        }
        return;
    default:
        return;
    }
}
