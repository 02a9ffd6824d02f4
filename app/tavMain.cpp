// tav's entry: the start-up flow with the real display, loader and view attached.
#include "loadGui_x.h"
#include "opTable.h"
#include "tavDefaults.h"
#include "tavEntry.h"
#include "tav_view.h"
#include "tav_wmgt.h"
#include "textwin.h"
#include "viewDims.h"

namespace {

void closeDisplay()
{
    TAV_VIEWEND(1);
}

/// The defaults file, read here rather than by a static initialiser (whose order across
/// files is undefined), and still before the command line, which overrides it.
void readDefaults()
{
    TAV_DEFAULTS();
    SET_DPY_TYPE(tavDflt.dpyType);
    if (tavDflt.dpyType == DPY_MAX)
        SET_VIEW_MAX(tavDflt.maxW, tavDflt.maxH);
    TWO_BUTTON_MOUSE(GET_DEFAULT_TWO_BUTTON());
}

} // namespace

int main(int argc, char** argv)
{
    installLoaderWindow(&motifLoaderWindow());
    readDefaults();
    INSTALL_EXPLOIT_OPS();
    EntryHooks hooks = defaultEntryHooks();
    hooks.connect = CONNECT_TAV_DISPL;
    hooks.closeDisplay = closeDisplay;
    hooks.view = TAV_VIEW;
    return tavMain(argc, argv, hooks);
}
