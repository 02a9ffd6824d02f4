// Adaptive colour normalisation, free of the view: a multi-scale retinex with colour restoration
// (MSRCR) over three float planes, built on the recursive Gaussian of Young and van Vliet, whose
// cost does not grow with the scale.
#pragma once

#include <cstdint>

#include "tavtypes.h"

/// Scale distributions (the MODE answers UNIFORM, LOW, HIGH).
enum : int32 { ADAPTIV_UNIFORM = 0, ADAPTIV_LOW = 1, ADAPTIV_HIGH = 2 };

/// Parameter limits.
constexpr int32 ADAPTIV_SCALE_MIN = 16, ADAPTIV_SCALE_MAX = 250;
constexpr int32 ADAPTIV_ITER_MIN = 1, ADAPTIV_ITER_MAX = 8;
constexpr double ADAPTIV_VAR_MIN = 0.0, ADAPTIV_VAR_MAX = 4.0;

/// The parameters of a run, at their defaults.
struct adaptivParams {
    int32 scale = 240;    ///< largest Gaussian scale S
    int32 iterations = 3; ///< number of scales n
    int32 mode = ADAPTIV_UNIFORM;
    double variance = 1.2; ///< output range in standard deviations about the mean
};

/// The n scales (sigmas) for S and mode into sigmas[0 .. n-1]; n is held between 1 and 8.
/// Returns the count.
int32 msrcrScales(int32 S, int32 n, int32 mode, float sigmas[ADAPTIV_ITER_MAX]);

/// Coefficients of the recursive Gaussian for one sigma.
struct ygvCoefs {
    double q, b0, b1, b2, b3, B;
};
ygvCoefs ygvCoefficients(double sigma);

/// Blurs a cols x rows float plane (row-major) with the recursive Gaussian: forward and backward
/// along every row into dst, then forward and backward down every column of dst. Edges continue
/// the first and last values. src and dst may be the same plane. False when the line buffers
/// cannot be allocated (dst then unspecified).
bool gaussBlurYvV(const float* src, float* dst, int32 cols, int32 rows, double sigma);

/// MSRCR statuses; msrcrMessage gives each one's text.
enum : int32 {
    MSRCR_OK = 0,
    MSRCR_NO_INPUT = -1,  ///< an input plane is missing
    MSRCR_NO_DST = -2,    ///< no memory for the retinex planes
    MSRCR_NO_IN = -3,     ///< no memory for the plane being blurred
    MSRCR_NO_OUT = -4,    ///< no memory for the blurred plane
    MSRCR_NO_FILTER = -5, ///< no memory for the filters' line buffers (or refused by the guard)
    MSRCR_NO_OUTPUT = -6  ///< an output plane is missing
};
/// The message of a failure status (empty for MSRCR_OK).
const char* msrcrMessage(int32 status);

/// Bytes of work arrays a run on cols x rows pixels allocates, the caller's three float input
/// planes included: about 32 per pixel. For the memory guard, asked before the input planes.
std::uint64_t msrcrWorkBytes(int32 cols, int32 rows);

/// Progress of a run: one standing message per stage.
using msrcrNote = void (*)(const char* text);

/// Runs MSRCR on the red, green and blue planes in[0..2] (cols x rows values 0 to 255 each) and
/// writes the stretched result as bytes to out[0..2]. note (may be null) hears each stage. On
/// failure nothing is written.
int32 MSRCR(const float* const in[3], charu* const out[3], int32 cols, int32 rows,
            const adaptivParams& p, msrcrNote note);
