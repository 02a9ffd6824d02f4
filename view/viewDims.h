// View window size rules: the display size type, the maximum size, the view-size lock and
// the size computed from them and the screen. Pure arithmetic, shared by the X layer.
#pragma once

#include <cstddef>

#include "tavtypes.h"

/// Display size types.
enum : charu { DPY_FIT = 0, DPY_MAX = 1, DPY_MIN = 2, DPY_FULL = 3 };

struct viewDims {
    charu dpyType;          ///< display size type
    int32 maxW, maxH;       ///< maximum view size for types 0 and 1
    bool lock;              ///< while on, type, maximum and computed size stay as they are
    bool fullScreen;        ///< set by SET_VIEW_DIM for type 3
    int32u width, height;   ///< computed view size
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

/// Top-left corner of the view on the screen: centred, each axis 0 where the window would
/// reach the screen edge; (0, 0) for full screen.
void viewPosition(int32 w, int32 h, int32 scrW, int32 scrH, bool full, int32* x, int32* y);

/// One visual as the server describes it (the fields the view's visual must match).
struct visualCand {
    int depth;
    int cls;      ///< visual class; TrueColor is 4
    int cmapSize; ///< colormap entries
    int bitsRgb;  ///< bits per gun
    unsigned long redMask, greenMask, blueMask;
};

/// Index of the first 24-bit TrueColor visual with red in the high byte; failing that the
/// first with blue in the high byte (*bgr set); -1 when neither exists.
int pickTrueColor(const visualCand* list, int n, bool* bgr);

/// Byte position (0-3) of red, green and blue in a pixel from the visual's masks, alpha 3.
/// False (table untouched) when a mask is not one whole byte.
bool gunBytesFromMasks(unsigned long red, unsigned long green, unsigned long blue, charu out[4]);

/// True when the gun table is the buffers' own order (red 2, green 1, blue 0, alpha 3).
bool gunTableIsBuffers(const charu gunOfs[4]);
/// Pixels in the buffers' order to the visual's order given by the gun table, in place.
void pixelsToVisual(int32u* px, std::size_t n, const charu gunOfs[4]);
/// Pixels in the visual's order given by the gun table to the buffers' order, in place.
void pixelsFromVisual(int32u* px, std::size_t n, const charu gunOfs[4]);
