#include "pixelItems.h"

#include "adaptiveOps.h"
#include "cannyOps.h"
#include "convOps.h"
#include "fractalOps.h"
#include "pixelBasic.h"
#include "waveletOps.h"

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
    {cannyMenu, cannyRun},            // CANNY
    {adaptiveMenu, adaptiveRun},      // ADAPTIVE
    {fractalMenu, fractalRun},        // FRACTAL
    {nullptr, pxRandom},              // RANDOM
};
