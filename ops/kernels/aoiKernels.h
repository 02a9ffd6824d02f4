// Pixel work on the FG AOI, free of the view: fills interpolated from the area's edges,
// mirror, flip and rotations, the drag snap and the placement of rectangles in the display,
// the composite of view pixels into a buffer, and the accumulator blends. An area is a block
// of 32-bit view-order pixels (red at bits 16-23, green 8-15, blue 0-7, alpha 24-31) with a row
// stride in pixels. The rotations are shared with the buffer operations, the composite with
// the display operations.
#pragma once

#include <cstddef>
#include <span>

#include "tavtypes.h"

/// An inclusive rectangle x0, y0, x1, y1 (the FG AOI's shape, in the kernels' own terms).
struct pixBox {
    int32 x0, y0, x1, y1;
};

/// A block of pixels: w x h, rows stride pixels apart.
struct pixArea {
    int32u* px;
    int32 w, h;
    std::ptrdiff_t stride;
    int32u* row(int32 y) const { return px + std::ptrdiff_t(y) * stride; }
};

/// Fill modes; the values are the fill menu's.
enum : int32 {
    FILL_Y = 1,
    FILL_X = 2,
    FILL_XY = 3,
    FILL_CORNERS = 7,
    FILL_SEGSOFT = 8,
    FILL_SEGHARD = 9
};

/// Fills an area by linear interpolation from its edges (red, green and blue; alpha kept).
/// Steps are accumulated in single precision and truncated to bytes. An area narrower or lower
/// than 3 pixels is left as it is. False for an unknown mode.
bool fillArea(const pixArea& a, int32 mode);

/// Reverses every row (left to right).
void mirrorArea(const pixArea& a);
/// Reverses the order of the rows (top to bottom).
void flipArea(const pixArea& a);

/// Rotates src by 90 (clockwise on the view), 180 or 270 degrees into dst, which must be
/// h x w (90, 270) or w x h (180). False for another angle or a wrong destination size.
bool rotateRight(const pixArea& src, const pixArea& dst, int32 degrees);

/// Size of the bounding box of a w x h area turned by degrees.
void rotatedSize(int32 w, int32 h, double degrees, int32* ow, int32* oh);
/// Turns src by degrees (clockwise on the view) into dst about both centres: each dst pixel
/// takes the src position it comes from, the nearest pixel or (antiAlias) the bilinear blend
/// of four; positions outside src are black. Multiples of 90 whose sizes allow it are exact.
void rotateAny(const pixArea& src, const pixArea& dst, double degrees, bool antiAlias);

/// A coordinate on the drag snap s: s x ((c + s/2) div s); s below 2 leaves c.
int32 snapCoord(int32 c, int32 s);
/// The w x h rectangle whose origin is (x, y), moved the least to lie inside box; a rectangle
/// larger than box is cut to it.
pixBox placeInBox(int32 x, int32 y, int32 w, int32 h, const pixBox& box);
/// True when r lies wholly inside box.
bool insideBox(const pixBox& r, const pixBox& box);
/// The tile of the same size as r that adjoins it towards (px, py). False when the point lies
/// inside r (nothing to choose).
bool adjoiningTile(const pixBox& r, int32 px, int32 py, pixBox* out);

/// Writes view pixels into buffer pixels they show: at zoom z every buffer pixel takes the
/// rounded mean of its z x z block of view pixels (z = 1: the pixel itself). Only the bytes of
/// gunMask (a byte mask, gunByteMask) change. The buffer area is view.w / z by view.h / z.
void compositeArea(const pixArea& view, int32 zoom, const pixArea& buf, int32u gunMask);

/// Watermark blend of one row: out = (3 v + a) / 4 for the bytes of gunMask.
void watermarkRow(std::span<int32u> dst, std::span<const int32u> acc, int32u gunMask);
/// Alpha from the chosen colour planes (the mean of several, truncated) for one row.
void alphaFromPlanes(std::span<int32u> row, int32 planeBits);
