// The Canny edge detector on one 8-bit plane, free of the view: the integer separable filters
// built from sigma and the gain K, the normalisation factor, the arctangent table of the
// orientation codes, and the core that streams the plane through rings of filtered rows into
// the edge strength, the orientation or the Laplacian.
#pragma once

#include "tavtypes.h"

/// Parameter limits and defaults.
constexpr double CANNY_SIGMA_MIN = 1.0, CANNY_SIGMA_MAX = 7.0, CANNY_SIGMA_DEF = 2.0;
constexpr int32 CANNY_K_MIN = 200, CANNY_K_MAX = 700, CANNY_K_DEF = 450;
constexpr double CANNY_BRIGHT_MIN = 1.0, CANNY_BRIGHT_MAX = 8.0, CANNY_BRIGHT_DEF = 1.0;
/// Filters of this length or longer are refused by the run.
constexpr int32 CANNY_MAX_W = 32;
/// Half-terms computed at most (indices 0 to 31).
constexpr int32 CANNY_TERMS = 32;

/// The three filters of one run, laid out symmetrically around the centre index h: G the
/// Gaussian, D its first derivative (antisymmetric, positive on the low side), DD the second
/// derivative term. Only indices 0 to w - 1 are used.
struct cannyFilters {
    int32 w = 0, h = 0;
    bool truncated = false; ///< the Gaussian had not reached 0 after 32 terms
    int32 G[2 * CANNY_TERMS - 1] = {};
    int32 D[2 * CANNY_TERMS - 1] = {};
    int32 DD[2 * CANNY_TERMS - 1] = {};
};

/// Builds the filters for gain K and sigma; a Gaussian still non-zero at its 32nd term is
/// cut there with "WARN: canny_filters truncated" on standard error.
cannyFilters canny_filters(int32 K, double sigma);

/// Normalisation factor 2 K^2 pi sigma^2, divided by bright when bright is above 1 and at most 8.
double cannyNorm(int32 K, double sigma, double bright);

/// The 257-entry arctangent table: entry k is atan(k / 256) in 256ths of a full turn, truncated.
const charu* cannyAtanTable();

/// Output kinds (the RUN menu's order).
enum : int32 { CANNY_EDGE = 0, CANNY_ORIENT = 1, CANNY_LAPLAC = 2 };

/// Core statuses.
enum : int32 {
    CANNY_OK = 0,
    CANNY_TOO_SMALL = -2, ///< the plane is not larger than w in both directions
    CANNY_NO_RINGS = -3,  ///< no memory for the rings of filtered rows
    CANNY_NO_ROWS = -4    ///< no memory for the rows of derived quantities
};

/// Runs one plane of cols x rows bytes (row-major) into out (the same size): kind CANNY_EDGE,
/// CANNY_ORIENT or CANNY_LAPLAC, thinning of the edge strength when thin is set, values divided
/// by n. The top and bottom h + 1 rows and the first and last columns of out are 0. overflow
/// (may be null) is increased by the number of magnitudes that could not be formed. The filters
/// must come from canny_filters with w below CANNY_MAX_W.
int32 cannyCore(const charu* in, charu* out, int32 kind, int32 cols, int32 rows,
                const cannyFilters& f, bool thin, double n, int32* overflow);
