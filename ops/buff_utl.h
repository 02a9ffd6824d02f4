// The buffer operations' heavier work: an area of the view cropped into another buffer or a
// user accumulator, two buffers joined, and the clone links between buffers kept true.
#pragma once

#include "buffKernels.h"
#include "bufRecMgt.h"
#include "viewState.h"

/// CROP modes (bits; several may be set).
enum : int32u {
    CROP_DRAW = 1,
    CROP_BOX = 2,
    CROP_CLONE = 4,
    CROP_DISPL = 8,
    CROP_FG_AOI = 16,
    CROP_TO_ACCUM = 32,  ///< the target is a user accumulator (0-3), band the gun mask
    CROP_APPLY_LUTS = 64 ///< the displayed transform LUTs go into the copied pixels
};

/// CROP statuses.
enum : int32 {
    CROP_OK = 0,
    CROP_TARGET = -1,     ///< buffer not 0..15 or the current one
    CROP_NOT_EMPTY = -2,  ///< the target buffer holds images or a pixel block
    CROP_BAD_ACCUM = -3,  ///< accumulator not 0..3
    CROP_ACCUM_FAIL = -4, ///< the accumulator could not be written
    CROP_CLONE_FAIL = -5, ///< the clone or the box could not be made
    CROP_OUTSIDE = -6,    ///< the area lies outside the buffer
    CROP_NO_COPY = -7,    ///< no memory for the copied pixels
    CROP_TOO_SMALL = -8,  ///< the area is below 16 x 16
    CROP_CREATE = -9      ///< the target buffer could not be made
};

/// BOX size asked before a BOX crop (buffer pixels).
struct cropBoxSize {
    int32 cols = 0, rows = 0;
};

/// Crops an area of the view into buffer target (0..15) or, with CROP_TO_ACCUM, into user
/// accumulator target (0..3) for the guns of band. 0, or a CROP status (the user abandoning
/// the area is 0 with nothing done).
int32 CROP(viewState* vs, short target, shortu mode, short band, cropBoxSize box = {});

/// Joins buffer other (0..15) to the current buffer on side (JOIN_LEFT..JOIN_BELOW): the
/// current buffer takes the joined block. 0, or a JOIN status; on failure nothing changed.
int32 JOIN_BUFFERS(viewState* vs, int32 side, int32 other);

/// Makes b a one-image buffer (image 0 kept, a fresh spare after it); false when memory
/// is short.
bool ONE_IMAGE(bufdes* b);

/// Ends bd's clone link on both sides: the partner (when it links back) and bd lose their
/// link number and link bits.
void UNLINK_CLONE(bufdes* table, bufdes* bd);
