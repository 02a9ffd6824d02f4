#include "notYet.h"

#include <string>

#include "diag.h"
#include "opMenu.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct notYetIds {
    int32 pixel = -1;
};
notYetIds ids;

} // namespace

int32 pixelOpsMenu(std::vector<pupLink>&)
{
    return ids.pixel =
               defineMenu("SET SCOPE|B & W|BURN IN LUTS|PSEUDOCOLOR|INFOMETRIC ~|CONVOLUTION|"
                          "SWAP GUNS|WAVELET    ~|MN CURV DIF~|FFT        ~|CANNY|ADAPTIVE|"
                          "FRACTAL|RANDOM");
}

void notYet(const char* name)
{
    viewUi().message(std::string(name) + "\nThis operation is not available yet.", MSG_ACK);
}

void pixelOpsNotYet(viewState*, const int32*, bufdes*)
{
    notYet("PIXEL OPS");
}

void annotateNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("ANNOTATE\nNo annotation tools in this version.", MSG_ACK);
}

void extensionsNone(viewState*, const int32*, bufdes*)
{
    viewUi().message("EXTENSIONS\nNo extension operations are installed.", MSG_ACK);
}
