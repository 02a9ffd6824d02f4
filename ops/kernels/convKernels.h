// The spatial convolution engine: integer kernels, SOBEL and MEDIAN over the colour guns of
// BGRA rows. Rows come in through a reader and go out through a writer, top to bottom, with a
// ring of kernel-height copies of the input between them, so that a finished line never feeds
// the lines after it. No view, no prompts: the front end hands over a window of pixels (the
// area and whatever neighbourhood the display or buffer has around it).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "tavtypes.h"

/// Engine status codes.
enum : int32 {
    CONV_OK = 0,
    CONV_BAD_ARGS = -1,   ///< no kernel, a kernel side not odd 3..65, or an area off the window
    CONV_TOO_NARROW = -2, ///< the area is not wider than the kernel plus 15 pixels
    CONV_NO_MEM = -3,     ///< the line ring could not be allocated
    CONV_IO = -4          ///< a row could not be read or written
};

/// Largest kernel side.
constexpr int32 convMaxSide = 65;

/// A kernel: xs x ys coefficients row by row (zeros off the plus of a plus-shaped kernel).
struct convKernel {
    int32 xs = 3, ys = 3;
    bool plus = true;
    std::vector<std::int16_t> coef;
};

/// Coefficients a kernel type takes from the console: xs x ys, or xs + ys - 1 for a plus.
int32 convListLength(int32 xs, int32 ys, bool plus);
/// A kernel from the console's list: square kernels row by row; a plus lists the centre
/// column above the centre (top first), the centre row, then the centre column below. False
/// when the list length does not match the type.
bool convKernelFromList(int32 xs, int32 ys, bool plus, std::span<const std::int16_t> list,
                        convKernel* k);
/// The sum of a kernel's coefficients.
std::int64_t convKernelSum(const convKernel& k);

/// How a weighted sum becomes a pixel.
struct convParams {
    int32 csum = 1;   ///< 0 no division, 1 divide by the kernel sum (when > 1), > 1 by csum
    int32 cval = 0;   ///< <= 0 replace, 1 add to the centre pixel, > 1 add to cval
    int32 kscale = 0; ///< > 1: the weighted sum is multiplied by it before the division
    int32 guns = 7;   ///< gun bits: 1 red, 2 green, 4 blue
};

/// The divisor of a kernel under params: 1 means no division.
std::int64_t convDivisor(const convKernel& k, const convParams& p);

/// The built-in kernels.
enum convBuiltin : int {
    CK_LAPLACE_PLUS,
    CK_LAPLACE_3X3,
    CK_LAPLACE_5X5,
    CK_GAUSS_5X5,
    CK_GAUSS_9X9,
    CK_GAUSS_15X15,
    CK_GRAD_X_3X3,
    CK_GRAD_X_5X5,
    CK_GRAD_X_9X9,
    CK_GRAD_Y_3X3,
    CK_GRAD_Y_5X5,
    CK_GRAD_Y_9X9,
    CK_GRAD_D_3X3,
    CK_GRAD_D_5X5,
    CK_GRAD_D_9X9,
    CK_MEX_HAT,
    CK_LOG,
    CK_COUNT
};
/// One built-in kernel.
const convKernel& convBuiltinKernel(convBuiltin which);

/// What the engine runs.
enum convFilter : int {
    CF_KERNEL,      ///< the kernel with its params
    CF_SOBEL_MAG,   ///< sqrt(gx^2 + gy^2) x scale
    CF_SOBEL_DIR,   ///< 128 + 30 scale atan(gy / gx)
    CF_MEDIAN_PLUS, ///< centre and its four edge neighbours
    CF_MEDIAN_X,    ///< centre and its four corner neighbours
    CF_MEDIAN_3X3   ///< the 3 x 3 neighbourhood
};

/// One run of the engine.
struct convJob {
    convFilter filter = CF_KERNEL;
    const convKernel* kernel = nullptr; ///< CF_KERNEL only
    convParams params;                  ///< guns for every filter; the rest for CF_KERNEL
    int32 scale = 1;                    ///< SOBEL scale factor (at least 1)
};

/// A window of pixels: the area to change and the neighbourhood around it that may be read.
struct convWindow {
    int32 cols = 0, rows = 0; ///< window size
    int32 x0 = 0, y0 = 0;     ///< area, inclusive, in window pixels
    int32 x1 = -1, y1 = -1;
    /// Reads window row y (rows come in increasing order) into cols pixels at dst.
    std::function<bool(int32 y, int32u* dst)> read;
    /// Where the area part of window row y goes: x1 - x0 + 1 pixels, asked for once all the
    /// rows it needs have been read; the engine writes the whole run. Null on failure.
    std::function<int32u*(int32 y)> target;
    /// Hands row y back once written; false on failure.
    std::function<bool(int32 y)> commit;
};

/// Runs a job over a window. Pixels whose neighbourhood passes the window's edge keep their
/// values, as do the guns not chosen and alpha. CONV_OK or a negative status.
int32 CONVOLVE(const convJob& job, const convWindow& w);

/// CONVOLVE on an image in memory (stride in pixels), the area given in image pixels, the
/// whole image as the neighbourhood.
int32 convolveImage(const convJob& job, int32u* px, int32 cols, int32 rows, std::size_t stride,
                    int32 x0, int32 y0, int32 x1, int32 y1);
