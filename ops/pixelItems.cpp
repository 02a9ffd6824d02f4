#include "pixelItems.h"

#include "convOps.h"
#include "fractalOps.h"
#include "notYet.h"
#include "pixelBasic.h"
#include "waveletOps.h"

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
    {pxScopeMenu, pxScope},           // SET SCOPE
    {pxBwMenu, pxBw},                 // B & W
    {pxBurnInMenu, pxBurnIn},         // BURN IN LUTS
    {pxPseudoMenu, pxPseudo},         // PSEUDOCOLOR
    {pxInfometricMenu, pxInfometric}, // INFOMETRIC
    {convolutionMenu, CONVOLUTION},   // CONVOLUTION
    {pxSwapMenu, pxSwap},             // SWAP GUNS
    {waveletMenu, waveletRun},        // WAVELET
    {nullptr, pxMcd},                 // MN CURV DIF
    {nullptr, pxFft},                 // FFT
    {nullptr, notBuilt},              // CANNY
    {nullptr, notBuilt},              // ADAPTIVE
    {fractalMenu, fractalRun},        // FRACTAL
    {nullptr, pxRandom},              // RANDOM
};
