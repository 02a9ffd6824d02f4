// WARP: rescales a 32-bit view-order image (4 bytes a pixel, rows contiguous) by independent
// horizontal and vertical factors into a new image. Magnification interpolates by the zoom
// mode; any reduction averages areas, whatever the mode. Pure code: no display.
#pragma once

#include <string>

#include "tavtypes.h"

/// Zoom modes (the low four bits of dmode and the ZOOM_MODE default).
enum : int32 {
    WARP_REPLICATE = 1,
    WARP_BILINEAR = 2,
    WARP_BICUBIC = 4,
    WARP_CATMULL_ROM = 8,
};

/// The one rule for scaled sizes: trunc(factor x n). WARP, the global view and the pan box
/// all size their images with it.
int32 scaledDim(int32 n, double factor);

/// Rescales pixels (cols x rows) by scalef[0] (x) and scalef[1] (y) with the method bits.
/// Returns a std::malloc'd image (free with std::free) of scaledDim(cols) x scaledDim(rows),
/// with *cols and *rows updated, or null with the input untouched. Check failures are printed
/// on standard error; with msg given, a memory refusal and a method failure are copied there.
int32u* WARP(const int32u* pixels, int32* cols, int32* rows, const double scalef[2], int32 method,
             std::string* msg = nullptr);
