// The undecimated wavelet-packet transform of one float band: the analysis filters of each
// family, the packet path that says which filter runs over the rows and which over the
// columns at each scale level, and the dilated line filter (the filter spread by the level's
// dilation, zero padded, summed in double precision and centred on the input sample).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tavtypes.h"

/// Filter families, numbered as the wavelet menu counts them.
enum : int32 {
    WVF_DAUB = 1,
    WVF_HAAR = 2,
    WVF_BATH = 3,
    WVF_FBI = 4,
    WVF_ENTROPY = 5,
    WVF_USER = 6 ///< a user filter; none can be defined, so it is never available
};

/// Final bands of a LEVEL request, numbered as the menu counts them.
enum : int32 { WVB_HH = 1, WVB_HL = 2, WVB_LH = 3, WVB_LL = 4 };

/// WAVTRAN statuses.
enum : int32 {
    WAV_OK = 0,
    WAV_NO_PATH = -2,   ///< the path holds fewer than two characters
    WAV_NO_FILTER = -3, ///< the family has no filter (USER)
    WAV_TOO_SMALL = -4, ///< cols or rows not above twice the filter length
    WAV_NO_MEMORY = -6  ///< the line buffers could not be allocated
};

/// Longest packet path: two characters per level, eight levels.
constexpr int32 WAV_MAX_PATH = 16;

/// A wavelet request. The direction and DISC/CONT only name the result.
struct waveletRequest {
    bool inverse = false;    ///< names the result "..._INV "
    bool continuous = false; ///< names the result "CONT_..."
    int32 family = WVF_HAAR;
    int32 daubLength = 4; ///< Daubechies taps (rounded by daubechiesLength)
    std::string path;     ///< per level: row filter, column filter; '0' low-pass, '1' high-pass
};

/// The Daubechies length a request asks for: up to 4 gives 4, then the next of 6 ... 16 that is
/// not smaller; anything above 14 gives 16.
int32 daubechiesLength(int32 n);

/// The low-pass analysis filter h of a family (Daubechies of daubLength taps); empty for USER
/// or an unknown family.
std::vector<double> waveletLowPass(int32 family, int32 daubLength);

/// The high-pass filter of h: g[L - 1 - k] = (-1)^(k+1) h[k] (reversed, alternating signs).
std::vector<double> waveletHighPass(std::span<const double> h);

/// The path of a LEVEL request: "00" for each of levels - 1 levels, then the final band's pair
/// ("11" HH, "10" HL, "01" LH, "00" LL). Empty for levels outside 1-8 or an unknown band.
std::string waveletLevelPath(int32 levels, int32 band);

/// The factor every value is finally multiplied by after `levels` processed levels of a filter
/// of `taps` taps: 1 / (ln(taps x d) x ln 2) with d = 2^levels (2^7 at most).
double waveletFactor(int32 taps, int32 levels);

/// Filters one line of n samples with f spread by dilation d: out[k] = sum_j f[j] x
/// in[k - s/2 + j d] (s = (len f - 1) d + 1, samples outside the line are 0), summed in double.
/// in and out may be the same line. pad must hold at least n + s doubles.
void dilatedLineFilter(std::span<const float> in, std::span<float> out, std::span<const double> f,
                       int32 d, std::span<double> pad);

/// Transforms a band of cols x rows samples (row-major) in place along the request's path:
/// at level l (dilation 2^l) the rows are filtered with the pair's first filter, then the
/// columns with its second, while the path lasts and taps x 2^l stays below both cols and
/// rows; finally every value is multiplied by waveletFactor. A WAV_* status.
int32 WAVTRAN(std::span<float> band, int32 cols, int32 rows, const waveletRequest& rq);

/// Levels WAVTRAN processes for a request on a band of cols x rows (0 when it would refuse).
int32 waveletLevels(int32 cols, int32 rows, const waveletRequest& rq);
