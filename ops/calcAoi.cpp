// The calculator's AOI command: the FG AOI is drawn anew with the rubber band, kept inside the
// display box. The display scope only: GLOBAL and MAPPED work on the buffer, not on the AOI.
#include "aoiBand.h"
#include "calculator.h"
#include "textConsole.h"

bool calcRedefineAoi(viewState* vs)
{
    if (calcModes.scope != CALC_SCOPE_AOI) {
        viewConsole().put("***Cannot change AOI if GLOBAL | MAPPED active", 9);
        return false;
    }
    aoiRec r;
    // The band hands back an area inside the display box, on the user's drag snap.
    if (!vs || !vs->bd || !RUBBER_BAND(0, aoiSnap.size, &r))
        return false;
    if (r.x1 <= r.x0 || r.y1 <= r.y0)
        return false;
    vs->bd->fgAoi = r;
    vs->refresh |= RFR_STATS;
    vs->ancil |= ancREDRAW;
    return true;
}
