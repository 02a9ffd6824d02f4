// tav's entry: the start-up flow with the real display, loader and view attached.
#include "tavEntry.h"
#include "tav_view.h"
#include "tav_wmgt.h"

namespace {

void closeDisplay() { TAV_VIEWEND(1); }

} // namespace

int main(int argc, char** argv)
{
    EntryHooks hooks = defaultEntryHooks();
    hooks.connect = CONNECT_TAV_DISPL;
    hooks.closeDisplay = closeDisplay;
    hooks.view = TAV_VIEW;
    return tavMain(argc, argv, hooks);
}
