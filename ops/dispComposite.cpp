#include "dispComposite.h"

#include "textwin.h"
#include "uiPort.h"

void dispComposite(viewState*, const int32*, bufdes*)
{
    // Burning the view in needs the composite kernel that AOI OPS brings; until then the user
    // is told so rather than shown a success that wrote nothing.
    viewUi().message("COMPOSITE\nThis operation is not available yet.", MSG_ACK);
}
