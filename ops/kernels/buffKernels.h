// Whole-buffer pixel work and the number rules of the buffer operations, free of the view:
// joining two buffers, the resize factors, the free rotation angle, the crop box and the
// crop area's place in the buffer, and the red-blue exchange. Pixels are 32-bit view-order
// words (red at bits 16-23, blue at 0-7), rows following each other directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "aoiKernels.h"
#include "tavtypes.h"

/// Sides a buffer is joined to; the values are the JOIN menu's, from 0.
enum : int32 { JOIN_LEFT = 0, JOIN_RIGHT = 1, JOIN_ABOVE = 2, JOIN_BELOW = 3 };

/// JOIN_BUFFERS statuses.
enum : int32 {
    JOIN_OK = 0,
    JOIN_BAD_OTHER = -1, ///< the other buffer is not 0..15 or is the current one
    JOIN_HEIGHTS = -2,   ///< LEFT and RIGHT need equal heights
    JOIN_WIDTHS = -3,    ///< ABOVE and BELOW need equal widths
    JOIN_NO_MEMORY = -4  ///< the guard refused or the block could not grow
};

/// Size of the joined buffer, or a JOIN_HEIGHTS / JOIN_WIDTHS status (other sides: nothing
/// joins, JOIN_BAD_OTHER; a joined side beyond 32 bits: JOIN_NO_MEMORY).
int32 joinedSize(int32 side, int32 cw, int32 ch, int32 ow, int32 oh, int32* jw, int32* jh);
/// Writes the joined buffer into dst (room for the joined size): the current cw x ch pixels
/// and other (ow x oh) on its side, each row copied once. Sizes must have passed joinedSize.
void joinBlocks(int32u* dst, const int32u* cur, int32 cw, int32 ch, const int32u* other, int32 ow,
                int32 oh, int32 side);

/// Resize outcomes; each negative one has its own message at the menu.
enum : int32 {
    RSZ_OK = 0,
    RSZ_INVALID = -1,   ///< malformed or negative factors: "Invalid input"
    RSZ_UNCHANGED = -2, ///< both factors within 0.01 of 1: "Buffer size not changed"
    RSZ_RANGE = -3,     ///< a factor outside 0.01..16: "Warp factor out of range"
    RSZ_NOTHING = -4    ///< X,Y asked for nothing or for the present size: no message
};
/// SFACT: the factors typed (a zero y factor takes the x factor).
int32 resizeByFactors(double fx, double fy, double* outX, double* outY);
/// X,Y: the wanted columns and rows of a w x h buffer; a zero size in one direction follows
/// the other direction's factor.
int32 resizeToSize(int32 cols, int32 rows, int32 w, int32 h, double* outX, double* outY);

/// ROT '?': the typed angle as a clockwise angle strictly between 0 and 360 (a negative one
/// gains 360; a reply that is not a number counts as 0). False when refused.
bool parseRotAngle(std::string_view reply, double* degrees);

/// BOX crop size checks.
enum : int32 {
    BOX_OK = 0,
    BOX_TOO_SMALL = -1, ///< a side below 8: "Crop dimension is too small"
    BOX_EXCEEDS = -2    ///< a side beyond the buffer: "Crop dimension exceeds buffer"
};
int32 cropBoxCheck(int32 cols, int32 rows, int32 bufW, int32 bufH);

/// Smallest side of a cropped area.
constexpr int32 CROP_MIN = 16;
/// The buffer pixels a display area of the global view covers: the area's offset in the
/// global image divided by the factor, cut to the buffer. False when nothing is left.
bool globalAreaToBuffer(const pixBox& area, const pixBox& globalImage, double f, int32 bufW,
                        int32 bufH, pixBox* out);

/// Exchanges the red and blue bytes of n pixels (green and alpha kept).
void swapRedBlue(int32u* px, std::size_t n);

/// Moves the bytes of byteMask by (dx, dy) pixels within a w x h block: each pixel takes
/// those bytes from (x - dx, y - dy), 0 where that lies outside; other bytes stay.
void shiftPlanes(int32u* px, int32 w, int32 h, int32u byteMask, int32 dx, int32 dy);

/// Alpha plane operations on n pixels; plane is red 1, green 2 or blue 4.
void alphaFromPlane(int32u* px, std::size_t n, int32 plane);
void alphaSwapPlane(int32u* px, std::size_t n, int32 plane);
/// The alpha display's composition burnt in: each colour byte becomes byte x lut[alpha] / 255
/// (rounded), over black; alpha becomes 0.
void alphaBurnIn(int32u* px, std::size_t n, const charu lut[256]);
