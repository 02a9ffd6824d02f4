// The calculator's AOI command. Redefining the FG AOI with the rubber band belongs to the AOI
// operations, which draw it with the flicker boxes of the view; until the calculator is given
// that procedure, the command changes nothing.
#include "calculator.h"
#include "textConsole.h"

bool calcRedefineAoi(viewState*)
{
    if (calcModes.scope != CALC_SCOPE_AOI) {
        viewConsole().put("***Cannot change AOI if GLOBAL | MAPPED active", 9);
        return false;
    }
    return false;
}
