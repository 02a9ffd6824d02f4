// AOI OPS: the FG AOI defined, moved and recalled, and the operations that work directly on
// it in the view: restore, composite into the buffer, copy and resample, the user
// accumulators, rotations, clear, fills, alpha, status, frame colours and watermark.
#pragma once

#include <vector>

#include "exploitOp.h"

/// Defines the AOI OPS menus and their links.
int32 aoiOpsMenu(std::vector<pupLink>& links);
/// Runs the AOI OPS item chosen (pupvals[1] onwards).
void aoiOps(viewState* vs, const int32* pupvals, bufdes* bd);
/// Rotation anti-aliasing back to off (tests).
void resetAoiOps();
