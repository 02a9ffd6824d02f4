#include "notYet.h"

#include <string>

#include "diag.h"
#include "opMenu.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct notYetIds {
    int32 buff = -1, ibuff = -1, sbuff = -1;
};
notYetIds ids;

} // namespace

int32 buffOpsMenu(std::vector<pupLink>& links)
{
    ids.buff = defineMenu("iBUFF|sBUFF~");
    ids.ibuff = defineMenu("SELECT|IMAGE|ALPHA|ROTATE|ALIGN|CROP TO|CREATE|JOIN|RESIZE|STATUS|LOAD "
                           "TO|SWAP|RGB/BGR|DESTROY");
    ids.sbuff = defineMenu("LOAD|EXPL");
    // Menus without a title count their items from 0.
    links.push_back(pupLink{&ids.buff, 0, &ids.ibuff});
    links.push_back(pupLink{&ids.buff, 1, &ids.sbuff});
    return ids.buff;
}

void notYet(const char* name)
{
    viewUi().message(std::string(name) + "\nThis operation is not available yet.", MSG_ACK);
}

void buffOpsNotYet(viewState*, const int32*, bufdes*)
{
    notYet("BUFF OPS");
}

void annotateNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("ANNOTATE\nNo annotation tools in this version.", MSG_ACK);
}

void extensionsNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("EXTENSIONS\nNo extension operations are installed.", MSG_ACK);
}
