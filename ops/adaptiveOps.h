// ADAPTIVE in PIXEL OPS: adaptive colour normalisation of the scope's red, green and blue
// (multi-scale retinex with colour restoration), its parameter prompts and status.
#pragma once

#include <vector>

#include "pixelItems.h"
#include "retinexKernels.h"

/// The parameters in use, kept for the whole run of the program.
const adaptivParams& adaptiveParameters();
/// Back to the defaults (tests).
void resetAdaptiveOps();

/// "RUN|SET|STATUS" with SET's items; the id to link below ADAPTIVE.
int32 adaptiveMenu(std::vector<pupLink>& links);
/// pupvals[2]: 1 RUN, 2 SET (pupvals[3] item 1-5), 3 STATUS.
pixelRun adaptiveRun(viewState* vs, const int32* pupvals, bufdes* bd);
