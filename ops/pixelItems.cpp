#include "pixelItems.h"

#include "convOps.h"
#include "notYet.h"

namespace {

// Items not built yet say so plainly rather than pretend to act.
pixelRun notBuilt(viewState*, const int32* pupvals, bufdes*)
{
    static const char* const names[PX_ITEMS] = {
        "SET SCOPE",   "B & W",     "BURN IN LUTS", "PSEUDOCOLOR", "INFOMETRIC",
        "CONVOLUTION", "SWAP GUNS", "WAVELET",      "MN CURV DIF", "FFT",
        "CANNY",       "ADAPTIVE",  "FRACTAL",      "RANDOM"};
    notYet(names[pupvals[1] - 1]);
    return {};
}

} // namespace

// One row per item, in menu order.
const pixelItem pixelItems[PX_ITEMS] = {
    {nullptr, notBuilt}, // SET SCOPE
    {nullptr, notBuilt}, // B & W
    {nullptr, notBuilt}, // BURN IN LUTS
    {nullptr, notBuilt}, // PSEUDOCOLOR
    {nullptr, notBuilt}, // INFOMETRIC
    {convolutionMenu, CONVOLUTION},
    {nullptr, notBuilt}, // SWAP GUNS
    {nullptr, notBuilt}, // WAVELET
    {nullptr, notBuilt}, // MN CURV DIF
    {nullptr, notBuilt}, // FFT
    {nullptr, notBuilt}, // CANNY
    {nullptr, notBuilt}, // ADAPTIVE
    {nullptr, notBuilt}, // FRACTAL
    {nullptr, notBuilt}, // RANDOM
};
