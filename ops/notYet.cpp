#include "notYet.h"

#include <string>

#include "diag.h"
#include "uiPort.h"

void notYet(const char* name)
{
    viewUi().message(std::string(name) + "\nThis operation is not available yet.", MSG_ACK);
}

void annotateNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("ANNOTATE\nNo annotation tools in this version.", MSG_ACK);
}

void extensionsNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("EXTENSIONS\nNo extension operations are installed.", MSG_ACK);
}
