// The PIXEL OPS items that work pixel by pixel or set the scope: SET SCOPE, B & W, BURN IN
// LUTS, PSEUDOCOLOR, INFOMETRIC, SWAP GUNS and RANDOM, and the transform entries without an
// engine (MN CURV DIF, FFT). Each is a menu builder and a run for its row of the item table.
#pragma once

#include <string>
#include <vector>

#include "pixelItems.h"

int32 pxScopeMenu(std::vector<pupLink>& links);
/// SET SCOPE: pupvals[2] 1 FG AOI, 2 GLOBAL (pupvals[3] 1 ONCE, 2 REPEAT), 3 STATUS.
pixelRun pxScope(viewState* vs, const int32* pupvals, bufdes* bd);

int32 pxBwMenu(std::vector<pupLink>& links);
/// B & W: pupvals[2] the guns (7, 1, 2, 4), with 7 pupvals[3] 1 NTSC '53, 2 CONTEMP.
pixelRun pxBw(viewState* vs, const int32* pupvals, bufdes* bd);

int32 pxBurnInMenu(std::vector<pupLink>& links);
/// BURN IN LUTS: pupvals[2] the guns.
pixelRun pxBurnIn(viewState* vs, const int32* pupvals, bufdes* bd);

int32 pxPseudoMenu(std::vector<pupLink>& links);
/// PSEUDOCOLOR: pupvals[2] the source gun (1, 2, 4), pupvals[3] 1 NORMAL (pupvals[4] the
/// level choice 0..4: 256, 64, 32, 16, 8) or 2 COMB (pupvals[4] the teeth: 16, 8, 4).
pixelRun pxPseudo(viewState* vs, const int32* pupvals, bufdes* bd);

int32 pxInfometricMenu(std::vector<pupLink>& links);
/// INFOMETRIC: pupvals[2] 1 ENTROPY, 2 ABS REDUND, 3 REL REDUND.
pixelRun pxInfometric(viewState* vs, const int32* pupvals, bufdes* bd);

int32 pxSwapMenu(std::vector<pupLink>& links);
/// SWAP GUNS: pupvals[2] the pair (3, 5, 6).
pixelRun pxSwap(viewState* vs, const int32* pupvals, bufdes* bd);

/// MN CURV DIF: asks the iteration count; the diffusion itself is not built.
pixelRun pxMcd(viewState* vs, const int32* pupvals, bufdes* bd);
/// FFT: not built.
pixelRun pxFft(viewState* vs, const int32* pupvals, bufdes* bd);

/// RANDOM: scrambles the scope line by line with a cipher of its own.
pixelRun pxRandom(viewState* vs, const int32* pupvals, bufdes* bd);
/// The key RANDOM uses when no user key is set.
extern const char* const RANDOM_DEFAULT_KEY;
/// Forgets RANDOM's cipher (tests).
void resetPixelRandom();
