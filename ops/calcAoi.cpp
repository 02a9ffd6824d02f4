// The calculator's AOI command: the FG AOI is drawn anew with the rubber band, kept inside the
// display box. The display scope only: GLOBAL and MAPPED work on the buffer, not on the AOI.
#include <algorithm>

#include "aoiBand.h"
#include "calculator.h"
#include "textConsole.h"
#include "viewSurface.h"

bool calcRedefineAoi(viewState* vs)
{
    if (calcModes.scope != CALC_SCOPE_AOI) {
        viewConsole().put("***Cannot change AOI if GLOBAL | MAPPED active", 9);
        return false;
    }
    aoiRec r;
    if (!vs || !vs->bd || !RUBBER_BAND(0, 1, &r))
        return false;
    int32 box[4] = {vs->dispBox[0], vs->dispBox[1], vs->dispBox[2], vs->dispBox[3]};
    if (viewSurface* s = activeSurface())
        s->displayBox(box);
    const aoiRec d{box[0], box[1], box[2], box[3]};
    r = aoiRec{std::max(r.x0, d.x0), std::max(r.y0, d.y0), std::min(r.x1, d.x1),
               std::min(r.y1, d.y1)};
    if (r.x1 <= r.x0 || r.y1 <= r.y0)
        return false;
    vs->bd->fgAoi = r;
    vs->refresh |= RFR_STATS;
    vs->ancil |= ancREDRAW;
    return true;
}
