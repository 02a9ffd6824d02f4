// View window size rules: the display size type, the maximum size, the view-size lock and
// the size computed from them and the screen. Pure arithmetic, shared by the X layer.
#pragma once

#include "tavtypes.h"

/// Display size types.
enum : charu { DPY_FIT = 0, DPY_MAX = 1, DPY_MIN = 2, DPY_FULL = 3 };

struct viewDims {
    charu dpyType;     ///< display size type
    int32 maxW, maxH;  ///< maximum view size for types 0 and 1
    bool lock;         ///< while on, type, maximum and computed size stay as they are
    bool fullScreen;   ///< set by SET_VIEW_DIM for type 3
    int32u width, height; ///< computed view size
    int32 screenW, screenH; ///< root screen size
};

/// Process-wide view size record.
extern viewDims vDims;

/// Back to the start-up values (type 0, maximum 1024 x 768, no lock).
void resetViewDims();
/// Sets the display size type (ignored while locked).
void SET_DPY_TYPE(charu type);
/// Sets the maximum view size (ignored while locked): each at least 768, then v + v % 16.
void SET_VIEW_MAX(int32 cols, int32 rows);
/// The view-size lock.
void SET_VIEW_LOCK(bool on);
/// Computes the view size from the type, maximum and screen size (skipped while locked).
void SET_VIEW_DIM();
/// The size adjustment of the size rules: v + v % 16.
int32 viewSizeAdjust(int32 v);
