// WARP: rescales a 32-bit view-order image (4 bytes a pixel, rows contiguous) by independent
// horizontal and vertical factors into a new image. Magnification interpolates by the zoom
// mode; any reduction averages areas, whatever the mode. Pure code: no display.
#pragma once

#include <memory>
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
/// all size their images with it. A product that misses a whole number only by the rounding
/// of the factor itself (768 / 769 x 769) counts as that number; a factor that is not
/// positive gives 0 and sizes beyond 32 bits are held at INT32_MAX.
int32 scaledDim(int32 n, double factor);

/// Rescales pixels (cols x rows) by scalef[0] (x) and scalef[1] (y) with the method bits.
/// Returns an image from the C allocator (free with std::free) of scaledDim(cols) x
/// scaledDim(rows), with *cols and *rows updated, or null with the input untouched. Check failures
/// are printed on standard error; with msg given, a memory refusal and a method failure are copied
/// there.
int32u* WARP(const int32u* pixels, int32* cols, int32* rows, const double scalef[2], int32 method,
             std::string* msg = nullptr);

/// WARP's area reducer fed one row at a time, for images too large to hold twice (the global
/// view): cols x rows reduced to scaledDim(cols, fx) x scaledDim(rows, fy), both factors at
/// most 1. Each output pixel is the box average of its run of input pixels, per byte and
/// truncated, taken first along the row and then down the column, exactly as WARP reduces.
/// Its memory is two rows of sums and the run tables.
class warpReducer {
public:
    warpReducer(int32 cols, int32 rows, double fx, double fy);
    ~warpReducer();
    warpReducer(const warpReducer&) = delete;
    warpReducer& operator=(const warpReducer&) = delete;
    /// False when the sizes or factors are unusable or the sums could not be allocated.
    bool ok() const;
    int32 outCols() const;
    int32 outRows() const;
    /// Takes the next input row (cols pixels); true when it completed output row *outRow,
    /// written to out (outCols pixels). Rows past the image are ignored (false).
    bool addRow(const int32u* row, int32u* out, int32* outRow);

    struct state;

private:
    std::unique_ptr<state> s_;
};
