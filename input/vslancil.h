// Pieces of the scanline pipeline shared between get_vsl and vslancil (internal).
#pragma once

#include "get_vsl.h"
#include "tavtypes.h"

/// Writes the running vertical sum into dest as an output row when rows were summed;
/// 0 when a row was written, 1 when there was nothing to write.
int32 flushVerticalSum(int32u* dest);

/// The HDR sink installed by setVslHdrSink (null when none).
const vslHdrSink* vslActiveHdrSink();
