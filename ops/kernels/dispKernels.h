// The arithmetic of the display operations: where SHIFT moves the buffer, how TILE steps a
// view-sized grid over it, and whether a touched display still belongs to the buffer shown.
// Plain values in and out, so each rule is checked from a table.
#pragma once

#include <span>

#include "tavtypes.h"

/// Display kernel status codes.
enum : int32 {
    DISPK_OK = 0,
    DISPK_OFF_SCREEN = -1, ///< SHIFT: the origin would be negative or show no buffer pixel
    DISPK_TOO_SMALL = -2,  ///< TILE: the buffer is not twice the view on both axes
    DISPK_UNEVEN = 1       ///< TILE allowed, but a view side does not divide the buffer's
};

/// SHIFT along one axis: origin + (ref - now) / zoom (integer division), so that the buffer
/// pixel under ref comes to lie under now. DISPK_OFF_SCREEN (out untouched) when the result is
/// negative or at or past bufLen (no buffer pixel left in the view).
int32 shiftOrigin(int32 origin, int32 ref, int32 now, int32 zoom, int32 bufLen, int32* out);

/// Whether a bufW x bufH buffer can be tiled by a viewW x viewH view: DISPK_OK,
/// DISPK_UNEVEN (allowed with a warning) or DISPK_TOO_SMALL.
int32 tileCheck(int32 bufW, int32 bufH, int32 viewW, int32 viewH);
/// Tiles along an axis: ceil(bufLen / view).
int32 tileCount(int32 bufLen, int32 view);
/// Origin of tile k along an axis: k x view, snapped to bufLen - view for the tile that
/// crosses the buffer's edge.
int32 tileOrigin(int32 k, int32 bufLen, int32 view);
/// The tile whose origin lies nearest to origin.
int32 tileNear(int32 origin, int32 bufLen, int32 view);
/// One step of the tiling toward a click at (cx, cy) in a viewW x viewH view: the axis of the
/// larger offset from the view centre, one tile in its direction, kept inside the grid.
/// (tx, ty) is the current tile and is updated; false when it stays where it was.
bool tileStep(int32 cx, int32 cy, int32 viewW, int32 viewH, int32 nx, int32 ny, int32* tx,
              int32* ty);

/// What ties a touched display to the buffer it was taken from: the buffer's number, its
/// generation (bumped whenever its pixel block changes), its size and the view's size.
struct touchKey {
    int32 bufNum;
    int32u generation;
    int32 width, height;
    int32 viewW, viewH;
};
/// True when a touched display can be restored onto the buffer and view described by now.
bool touchMatches(const touchKey& taken, const touchKey& now);

/// Keeps the bytes of mask in every pixel of a row and clears the others (a touched display
/// pasted onto the cleared view with only some guns).
void keepBytes(std::span<int32u> row, int32u mask);
