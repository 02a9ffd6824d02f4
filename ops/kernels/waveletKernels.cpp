#include "waveletKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>

#include "vectorClones.h"

namespace {

// Daubechies analysis filters by length 4, 6, ... 16.
const double daub4[] = {0.4829629131, 0.8365163037, 0.224143868, -0.1294095226};
const double daub6[] = {0.332670553, 0.8068915093,   0.4598775021,
                        -0.13501102, -0.08544127388, 0.03522629188};
const double daub8[] = {0.0322231006, -0.01260396726, -0.09921954358, 0.2978577956,
                        0.8037387518, 0.4976186676,   -0.02963552765, -0.07576571479};
const double daub10[] = {0.01953888274, -0.02110183402, -0.1753280899, 0.01660210576,
                         0.6339789635,  0.7234076904,   0.199397534,   -0.0391342493,
                         0.02951949093, 0.02733306835};
const double daub12[] = {-0.007800708325, 0.001767711864, 0.04472490177,  -0.02106029251,
                         -0.07263752279,  0.3379294217,   0.787641141,    0.4910559419,
                         -0.04831174259,  -0.1179901111,  0.003490712084, 0.01540410933};
const double daub14[] = {0.01026817671,   0.004010244872, -0.1078082377, -0.1400472404,
                         0.2886296318,    0.767764317,    0.5361019171,  0.01744125509,
                         -0.04955283494,  0.0678926935,   0.03051551317, -0.0126363034,
                         -0.001047384889, 0.002681814568};
const double daub16[] = {0.001889950333, -0.0003029205147, -0.01495225834,   0.003808752014,
                         0.04913717967,  -0.02721902992,   -0.05194583811,   0.3644418948,
                         0.7771857517,   0.4813596513,     -0.06127335907,   -0.1432942384,
                         0.007607487325, 0.03169508781,    -0.0005421323318, -0.003382415951};
// The symmetric families: the first half, the centre tap last when the length is odd.
const double bathHalf[] = {0.011534965, 0.016675933, -0.105948358, 0.070679818, 0.714164424};
const double fbiHalf[] = {0.03782845551, -0.02384946502, -0.1106244044, 0.3774028556, 0.852698679};
const double entropyHalf[] = {0.001006839409, -0.0006712262729, -0.01357671551,
                              0.007335787642, 0.05336419231,    -0.06217417911,
                              -0.1073757602,  0.4090630083,     0.8402696692};

std::vector<double> mirrored(std::span<const double> half, bool oddLength)
{
    std::vector<double> h(half.begin(), half.end());
    const std::size_t back = oddLength ? half.size() - 1 : half.size();
    for (std::size_t i = back; i-- > 0;)
        h.push_back(half[i]);
    return h;
}

// Output positions filtered per pass of a line: the sums for one chunk stay in the first-level
// cache while every tap runs over them.
constexpr int32 lineChunk = 512;
// Columns filtered together: each output row of a block is a short contiguous run, so the
// column pass reads the band row by row like the row pass does.
constexpr int32 columnBlock = 64;

// sum[i] += c x src[i] over a chunk; the loop the vector unit runs for every tap.
TAV_VECTOR_CLONES void addTap(double* sum, const double* src, double c, int32 n)
{
    for (int32 i = 0; i < n; ++i)
        sum[i] += c * src[i];
}

TAV_VECTOR_CLONES void addTapF(double* sum, const float* src, double c, int32 n)
{
    for (int32 i = 0; i < n; ++i)
        sum[i] += c * double(src[i]);
}

// The column pass over columns c0 .. c0 + w - 1: the block is copied into a zero-padded
// scratch of (rows + s) x w samples first, so that output rows can be written straight back
// into the band.
void filterColumnBlock(float* band, int32 cols, int32 rows, int32 c0, int32 w,
                       std::span<const double> f, int32 d, float* scratch, double* sum)
{
    const int32 taps = int32(f.size());
    const int32 span = (taps - 1) * d + 1;
    const int32 lead = span / 2;
    const std::size_t padRows = std::size_t(rows) + std::size_t(span);
    std::memset(scratch, 0, padRows * std::size_t(w) * sizeof(float));
    for (int32 r = 0; r < rows; ++r)
        std::memcpy(scratch + (std::size_t(r) + std::size_t(lead)) * std::size_t(w),
                    band + std::size_t(r) * std::size_t(cols) + std::size_t(c0),
                    std::size_t(w) * sizeof(float));
    for (int32 k = 0; k < rows; ++k) {
        std::fill(sum, sum + w, 0.0);
        for (int32 j = 0; j < taps; ++j)
            addTapF(sum,
                    scratch + (std::size_t(k) + std::size_t(j) * std::size_t(d)) * std::size_t(w),
                    f[std::size_t(j)], w);
        float* out = band + std::size_t(k) * std::size_t(cols) + std::size_t(c0);
        for (int32 i = 0; i < w; ++i)
            out[i] = float(sum[i]);
    }
}

} // namespace

int32 daubechiesLength(int32 n)
{
    if (n <= 4)
        return 4;
    if (n > 14)
        return 16;
    return n + (n & 1);
}

std::vector<double> waveletLowPass(int32 family, int32 daubLength)
{
    switch (family) {
    case WVF_DAUB:
        switch (daubechiesLength(daubLength)) {
        case 4:
            return {std::begin(daub4), std::end(daub4)};
        case 6:
            return {std::begin(daub6), std::end(daub6)};
        case 8:
            return {std::begin(daub8), std::end(daub8)};
        case 10:
            return {std::begin(daub10), std::end(daub10)};
        case 12:
            return {std::begin(daub12), std::end(daub12)};
        case 14:
            return {std::begin(daub14), std::end(daub14)};
        default:
            return {std::begin(daub16), std::end(daub16)};
        }
    case WVF_HAAR:
        return {0.7071067812, 0.7071067812};
    case WVF_BATH:
        return mirrored(bathHalf, false);
    case WVF_FBI:
        return mirrored(fbiHalf, true);
    case WVF_ENTROPY:
        return mirrored(entropyHalf, true);
    default:
        return {};
    }
}

std::vector<double> waveletHighPass(std::span<const double> h)
{
    const std::size_t n = h.size();
    std::vector<double> g(n);
    for (std::size_t k = 0; k < n; ++k)
        g[n - 1 - k] = (k % 2 == 0 ? -1.0 : 1.0) * h[k];
    return g;
}

std::string waveletLevelPath(int32 levels, int32 band)
{
    static const char* const finals[] = {"11", "10", "01", "00"};
    if (levels < 1 || levels > WAV_MAX_PATH / 2 || band < WVB_HH || band > WVB_LL)
        return {};
    std::string path;
    for (int32 l = 1; l < levels; ++l)
        path += "00";
    return path + finals[band - WVB_HH];
}

double waveletFactor(int32 taps, int32 levels)
{
    const double d = double(1 << std::clamp(levels, 0, 7));
    return 1.0 / (std::log(double(taps) * d) * std::log(2.0));
}

void dilatedLineFilter(std::span<const float> in, std::span<float> out, std::span<const double> f,
                       int32 d, std::span<double> pad)
{
    const int32 n = int32(std::min(in.size(), out.size()));
    const int32 taps = int32(f.size());
    const int32 span = (taps - 1) * d + 1;
    const int32 lead = span / 2;
    const std::size_t need = std::size_t(n) + std::size_t(span);
    if (n == 0 || taps == 0 || d < 1 || pad.size() < need)
        return;
    double* p = pad.data();
    std::fill(p, p + need, 0.0);
    for (int32 i = 0; i < n; ++i)
        p[lead + i] = double(in[std::size_t(i)]);
    double sum[lineChunk];
    for (int32 k0 = 0; k0 < n; k0 += lineChunk) {
        const int32 m = std::min(lineChunk, n - k0);
        std::fill(sum, sum + m, 0.0);
        for (int32 j = 0; j < taps; ++j)
            addTap(sum, p + k0 + j * d, f[std::size_t(j)], m);
        for (int32 i = 0; i < m; ++i)
            out[std::size_t(k0 + i)] = float(sum[i]);
    }
}

int32 waveletLevels(int32 cols, int32 rows, const waveletRequest& rq)
{
    const std::vector<double> h = waveletLowPass(rq.family, rq.daubLength);
    const int32 taps = int32(h.size());
    if (rq.path.size() < 2 || taps == 0 || cols <= 2 * taps || rows <= 2 * taps)
        return 0;
    int32 levels = 0;
    for (int32 l = 0; l < 8; ++l) {
        const int32 d = 1 << l;
        if (rq.path.size() < std::size_t(2 * l + 2) || taps * d >= std::min(cols, rows))
            break;
        ++levels;
    }
    return levels;
}

int32 WAVTRAN(std::span<float> band, int32 cols, int32 rows, const waveletRequest& rq)
{
    if (rq.path.size() < 2)
        return WAV_NO_PATH;
    const std::vector<double> h = waveletLowPass(rq.family, rq.daubLength);
    if (h.empty())
        return WAV_NO_FILTER;
    const int32 taps = int32(h.size());
    if (cols <= 2 * taps || rows <= 2 * taps || band.size() < std::size_t(cols) * std::size_t(rows))
        return WAV_TOO_SMALL;
    const std::vector<double> g = waveletHighPass(h);
    const int32 levels = waveletLevels(cols, rows, rq);

    // Scratch for the widest dilation used: one padded line, one padded column block.
    const std::size_t span = std::size_t(taps - 1) * (std::size_t(1) << (levels - 1)) + 1;
    const int32 w = std::min(columnBlock, cols);
    std::unique_ptr<double[]> pad(new (std::nothrow) double[std::size_t(cols) + span]);
    std::unique_ptr<float[]> block(
        new (std::nothrow) float[(std::size_t(rows) + span) * std::size_t(w)]);
    std::unique_ptr<double[]> sum(new (std::nothrow) double[std::size_t(w)]);
    if (!pad || !block || !sum)
        return WAV_NO_MEMORY;
    const std::span<double> padLine(pad.get(), std::size_t(cols) + span);

    for (int32 l = 0; l < levels; ++l) {
        const int32 d = 1 << l;
        const std::span<const double> fr = rq.path[std::size_t(2 * l)] == '1' ? g : h;
        const std::span<const double> fc = rq.path[std::size_t(2 * l + 1)] == '1' ? g : h;
        for (int32 r = 0; r < rows; ++r) {
            const std::span<float> line =
                band.subspan(std::size_t(r) * std::size_t(cols), std::size_t(cols));
            dilatedLineFilter(line, line, fr, d, padLine);
        }
        for (int32 c0 = 0; c0 < cols; c0 += w)
            filterColumnBlock(band.data(), cols, rows, c0, std::min(w, cols - c0), fc, d,
                              block.get(), sum.get());
    }
    const double factor = waveletFactor(taps, levels);
    for (std::size_t i = 0, n = std::size_t(cols) * std::size_t(rows); i < n; ++i)
        band[i] = float(double(band[i]) * factor);
    return WAV_OK;
}
