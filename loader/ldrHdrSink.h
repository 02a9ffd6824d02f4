// Where the scanline pipeline puts the rows of an HDR load: the Loader scaling accumulator.
// The loader installs it, because the pipeline itself knows nothing of the accumulator.
#pragma once

#include "tavtypes.h"

/// Installs the Loader sBUFF as the pipeline's HDR sink (safe to call before every load).
void INSTALL_HDR_SINK();
/// First failure of the sink since the last header (0: none): -1 a row was not stored,
/// -2 the statistics passes failed; detail holds the accumulator's own status.
int32 hdrSinkStatus(int32* detail = nullptr);
