// WAVELET of PIXEL OPS: the wavelet menus and prompts, and WAVELET_DVR, which transforms the
// guns of the scope (or the bands of the Exploit sBUFF), shows the results scaled to 8 bits
// and keeps them in the Exploit sBUFF when it may be written.
#pragma once

#include <vector>

#include "pixelItems.h"
#include "waveletKernels.h"

/// The wavelet menus: filter, DISC|CONT, LEVEL|PATH, levels, final band, guns.
int32 waveletMenu(std::vector<pupLink>& links);
/// The WAVELET item: pupvals[2] filter, [3] DISC|CONT, [4] LEVEL|PATH, then levels, band and
/// guns (LEVEL) or the guns (PATH). Asks the Daubechies length and the packet path.
pixelRun waveletRun(viewState* vs, const int32* pupvals, bufdes* bd);

/// Transforms the scope's guns (a mask of 1, 2, 4) or, with guns 0, the Exploit sBUFF's bands,
/// shows them through the Exploit sBUFF's LINEAR full-range scaling and, when the view may
/// write the sBUFF, stores them there. 0, or the failing step's negative status.
int32 WAVELET_DVR(viewState* vs, bufdes* bd, const waveletRequest& rq, int32 guns, pixelRun* run);
