// DISP OPS: the view redrawn from the buffer, up to four touched displays kept and restored,
// the buffer shifted under the view by two clicks, a large buffer tiled across the view, the
// view cleared, a display gamma set into the transform LUTs, and the view-size lock.
#pragma once

#include <vector>

#include "dispKernels.h"
#include "exploitOp.h"

/// Touched displays kept at once.
inline constexpr int NUM_TOUCH = 4;

/// One touched display: the view state taken back by RESTORE TOUCHED. Only plain values are
/// kept, never the buffer's pointers, which a later load or resize may free.
struct touchRec {
    touchKey key;
    int32 x, y, zoom;
    aoiRec fgAoi, bgAoi;
    int32u viewMode;
    charu gunMask;
    bool alpha; ///< the snapshot holds the alpha plane (the alpha display was on)
    charu tLut[4][256];
};

/// The touch records 1-4 (index n - 1); a record counts only while its folio slot is defined.
extern touchRec touchRecs[NUM_TOUCH];
/// Forgets every touch record (tests).
void resetDispOps();

/// The DISP OPS menus.
int32 dispOpsMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[1] the item (1 RESTORE .. 8 RESIZE), then its sub-menu values.
void dispOps(viewState* vs, const int32* pupvals, bufdes* bd);
