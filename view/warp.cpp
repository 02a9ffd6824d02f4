#include "warp.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "bigBlock.h"
#include "bufRecMgt.h"
#include "diag.h"

// The row kernels run on every zoomed repaint. They are plain loops over contiguous rows that
// the compiler vectorises; on x86-64 each is also built for AVX2 and picked at load time. FMA
// stays off in those builds: a fused multiply-add rounds differently, and every zoom must
// give the same pixels on every machine.
#if defined(__x86_64__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_UNDEFINED__)
#define WARP_KERNEL __attribute__((target_clones("avx2", "default")))
#else
#define WARP_KERNEL
#endif

int32 scaledDim(int32 n, double factor)
{
    if (n <= 0 || !(factor > 0.0))
        return 0;
    const double p = double(n) * factor;
    if (p >= double(INT32_MAX))
        return INT32_MAX;
    double whole = std::trunc(p);
    // A factor made as a ratio (view / columns) may land a hair below the whole number it
    // stands for; that last-bit error must not cost the image a column.
    if (whole + 1.0 - p <= p * 1e-12)
        whole += 1.0;
    return int32(whole);
}

namespace {

constexpr int32u kNoAlpha = 0x00ffffffu;
constexpr std::size_t kHeapReuse = std::size_t(32) << 20;

// Interpolated values are truncated to a level. The weights' own rounding can leave a flat or
// evenly sloped area a hair below the level it has (127.99999 for 128); lifting every value by
// 1/512 of a level before truncating restores it, and moves no value that is not within 1/512
// of the next level. The whole-number weights of the power-of-two zooms give multiples of
// 1/256 at most, which it never lifts to the next level.
constexpr float kLevelLift = 1.0f / 512.0f;

inline int32 toLevel(float v)
{
    return std::min(255, std::max(0, int32(v + kLevelLift)));
}

template <class T> std::unique_ptr<T[]> fallible(std::size_t n)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[n ? n : 1]);
}

inline int32 clampIdx(std::int64_t i, int32 n)
{
    return int32(std::max<std::int64_t>(0, std::min<std::int64_t>(i, n - 1)));
}

// Sample positions of one axis: output i reads the input at i x (1 / factor) in single
// precision; idx is the whole part (limited to the input), frac what is left of it.
struct axisPos {
    std::unique_ptr<int32[]> idx;
    std::unique_ptr<float[]> frac;
    bool make(int32 outN, int32 inN, double factor)
    {
        idx = fallible<int32>(std::size_t(outN));
        frac = fallible<float>(std::size_t(outN));
        if (!idx || !frac)
            return false;
        const float inv = 1.0f / float(factor);
        for (int32 i = 0; i < outN; ++i) {
            const float f = float(i) * inv;
            const float w = std::trunc(f);
            idx[std::size_t(i)] = clampIdx(std::int64_t(w), inN);
            frac[std::size_t(i)] = f - w;
        }
        return true;
    }
};

// Where the magnifiers put their rows.
struct outImage {
    int32u* px = nullptr;
    int32 w = 0;

    bool make(int32u* p, int32 ow)
    {
        px = p;
        w = ow;
        return px != nullptr;
    }
    int32u* row(int32 j) { return px + std::size_t(j) * std::size_t(w); }
    charu* bytes(int32 j) { return reinterpret_cast<charu*>(row(j)); }
    /// Row j is row j - 1 again.
    void repeat(int32 j) { std::memcpy(row(j), row(j - 1), std::size_t(w) * 4u); }
};

// ---- REPLICATE ------------------------------------------------------------------------------

WARP_KERNEL void replicateRow(const int32u* __restrict src, const int32* __restrict xi,
                              int32u* __restrict dst, int32 n)
{
    for (int32 i = 0; i < n; ++i)
        dst[i] = src[xi[i]] & kNoAlpha;
}

// Whole-number power-of-two zooms place every input pixel on exactly Z outputs.
template <int Z>
inline void replicateZ(const int32u* __restrict src, int32 cols, int32u* __restrict dst)
{
    for (int32 x = 0; x < cols; ++x) {
        const int32u p = src[x] & kNoAlpha;
        for (int k = 0; k < Z; ++k)
            dst[std::size_t(x) * Z + std::size_t(k)] = p;
    }
}

WARP_KERNEL void replicatePow2(const int32u* __restrict src, int32 cols, int log2z,
                               int32u* __restrict dst)
{
    switch (log2z) {
    case 0:
        replicateZ<1>(src, cols, dst);
        break;
    case 1:
        replicateZ<2>(src, cols, dst);
        break;
    case 2:
        replicateZ<4>(src, cols, dst);
        break;
    case 3:
        replicateZ<8>(src, cols, dst);
        break;
    default:
        replicateZ<16>(src, cols, dst);
        break;
    }
}

bool powerOfTwoZoom(double f, int* log2z)
{
    for (int s = 0; s <= 4; ++s)
        if (f == double(1 << s)) {
            *log2z = s;
            return true;
        }
    return false;
}

int32u* replicate(const int32u* in, int32 cols, int32 ow, int32 oh, const axisPos& px,
                  const axisPos& py, double fx, outImage& o)
{
    int sx = 0;
    // Positions are exact in single precision up to 2^24.
    const bool pow2 = powerOfTwoZoom(fx, &sx) && ow < (1 << 24);
    for (int32 j = 0; j < oh; ++j) {
        if (j > 0 && py.idx[std::size_t(j)] == py.idx[std::size_t(j) - 1]) {
            o.repeat(j);
            continue;
        }
        const int32u* src = in + std::size_t(py.idx[std::size_t(j)]) * std::size_t(cols);
        if (pow2)
            replicatePow2(src, cols, sx, o.row(j));
        else
            replicateRow(src, px.idx.get(), o.row(j), ow);
    }
    return o.px;
}

// ---- Row cache for the separable magnifiers ----------------------------------------------------

// Up to four per-input-row results, found again by row number; a new row takes a slot that
// the current output row does not need.
template <class T> struct rowCache {
    std::unique_ptr<T[]> buf[4];
    int32 id[4] = {-1, -1, -1, -1};
    std::size_t len = 0;
    bool make(std::size_t n)
    {
        len = n;
        for (auto& b : buf)
            if (!(b = fallible<T>(n)))
                return false;
        return true;
    }
    template <class Fill> T* get(int32 r, const int32 need[4], Fill&& fill)
    {
        for (int k = 0; k < 4; ++k)
            if (id[k] == r)
                return buf[k].get();
        for (int k = 0; k < 4; ++k)
            if (id[k] != need[0] && id[k] != need[1] && id[k] != need[2] && id[k] != need[3]) {
                id[k] = r;
                fill(r, buf[k].get());
                return buf[k].get();
            }
        TAV_ASSERT(false);
        return nullptr;
    }
};

// ---- BILINEAR -----------------------------------------------------------------------------------

// Whole-number power-of-two factors (every view zoom) make every weight a multiple of
// 1 / (zx x zy): the single-precision sums are then exact, and equal to integer sums that
// split into a horizontal and a vertical pass. The general path keeps the float formula.
// A pixel's three colour bytes in the low three 16-bit lanes of a word: whole-number weights
// up to 16 x 16 times a byte fit a lane, so a pair is weighted in two multiplies.
inline std::uint64_t spread(int32u p)
{
    return (p & 0xffu) | std::uint64_t(p & 0xff00u) << 8 | std::uint64_t(p & 0xff0000u) << 16;
}

// Input x gives outputs x Z .. x Z + Z - 1, weighted between itself and the next input; past
// the last pair the last input takes the whole weight (a lone input is its own pair).
template <int Z> inline void bilinHZ(const int32u* __restrict src, int32 cols, shortu* __restrict h)
{
    std::uint64_t a = spread(src[0]);
    for (int32 x = 0; x + 1 < cols; ++x) {
        const std::uint64_t b = spread(src[x + 1]);
        for (int k = 0; k < Z; ++k) {
            const std::uint64_t v = std::uint64_t(Z - k) * a + std::uint64_t(k) * b;
            std::memcpy(h + (std::size_t(x) * Z + std::size_t(k)) * 4, &v, 8);
        }
        a = b;
    }
    const std::uint64_t last = std::uint64_t(Z) * a;
    for (int k = 0; k < Z; ++k)
        std::memcpy(h + (std::size_t(cols - 1) * Z + std::size_t(k)) * 4, &last, 8);
}

WARP_KERNEL void bilinH(const int32u* __restrict src, int32 cols, int log2z, shortu* __restrict h)
{
    switch (log2z) {
    case 0:
        bilinHZ<1>(src, cols, h);
        break;
    case 1:
        bilinHZ<2>(src, cols, h);
        break;
    case 2:
        bilinHZ<4>(src, cols, h);
        break;
    case 3:
        bilinHZ<8>(src, cols, h);
        break;
    default:
        bilinHZ<16>(src, cols, h);
        break;
    }
}

WARP_KERNEL void bilinV(const shortu* __restrict h0, const shortu* __restrict h1, shortu w0,
                        shortu w1, int shift, charu* __restrict out, int32 n4)
{
    for (int32 k = 0; k < n4; ++k)
        out[k] = charu(shortu(shortu(w0 * h0[k]) + shortu(w1 * h1[k])) >> shift);
}

// The pixel pair starts at most two before the end, so that both exist; past that start the
// sample lies on the last pixel, which then takes the whole weight (the edge pixels show).
inline float edgeWeight(const axisPos& p, std::size_t k, int32 lim)
{
    return p.idx[k] > lim ? 1.0f : p.frac[k];
}

int32u* bilinearExact(const int32u* in, int32 cols, int32 rows, int32 ow, int32 oh,
                      const axisPos& py, int sx, int sy, outImage& o)
{
    const int32 zy = 1 << sy;
    rowCache<shortu> cache;
    if (!cache.make(std::size_t(ow) * 4))
        return nullptr;
    const int32 limY = std::max(rows - 2, 0);
    auto fill = [&](int32 r, shortu* h) {
        bilinH(in + std::size_t(r) * std::size_t(cols), cols, sx, h);
    };
    for (int32 j = 0; j < oh; ++j) {
        const int32 ya = std::min(py.idx[std::size_t(j)], limY), yb = std::min(ya + 1, rows - 1);
        const int32 need[4] = {ya, yb, -2, -2};
        const shortu* h0 = cache.get(ya, need, fill);
        const shortu* h1 = cache.get(yb, need, fill);
        const auto w1 = shortu(edgeWeight(py, std::size_t(j), limY) * float(zy));
        bilinV(h0, h1, shortu(zy - w1), w1, sx + sy, o.bytes(j), ow * 4);
    }
    return o.px;
}

WARP_KERNEL void bilinFloatRow(const int32u* __restrict ra, const int32u* __restrict rb,
                               const int32* __restrict xa, const int32* __restrict xb,
                               const float* __restrict u, float v, int32u* __restrict dst, int32 n)
{
    for (int32 i = 0; i < n; ++i) {
        const float wb = (1.0f - v) * u[i], wc = (1.0f - u[i]) * v, wd = u[i] * v;
        const float wa = 1.0f - wb - wc - wd;
        const int32u a = ra[xa[i]], b = ra[xb[i]], c = rb[xa[i]], d = rb[xb[i]];
        int32u p = 0;
        for (int s = 0; s < 24; s += 8) {
            const float val = wa * float((a >> s) & 0xff) + wb * float((b >> s) & 0xff) +
                              wc * float((c >> s) & 0xff) + wd * float((d >> s) & 0xff);
            p |= int32u(toLevel(val)) << s;
        }
        dst[i] = p;
    }
}

int32u* bilinear(const int32u* in, int32 cols, int32 rows, int32 ow, int32 oh, const axisPos& px,
                 const axisPos& py, const double f[2], outImage& o)
{
    int sx = 0, sy = 0;
    // Positions are exact in single precision up to 2^24.
    if (powerOfTwoZoom(f[0], &sx) && powerOfTwoZoom(f[1], &sy) && ow < (1 << 24) && oh < (1 << 24))
        return bilinearExact(in, cols, rows, ow, oh, py, sx, sy, o);
    auto xa = fallible<int32>(std::size_t(ow)), xb = fallible<int32>(std::size_t(ow));
    auto u = fallible<float>(std::size_t(ow));
    if (!xa || !xb || !u)
        return nullptr;
    const int32 limX = std::max(cols - 2, 0), limY = std::max(rows - 2, 0);
    for (int32 i = 0; i < ow; ++i) {
        const std::size_t k = std::size_t(i);
        xa[k] = std::min(px.idx[k], limX);
        xb[k] = std::min(xa[k] + 1, cols - 1);
        u[k] = edgeWeight(px, k, limX);
    }
    for (int32 j = 0; j < oh; ++j) {
        const int32 ya = std::min(py.idx[std::size_t(j)], limY), yb = std::min(ya + 1, rows - 1);
        bilinFloatRow(in + std::size_t(ya) * std::size_t(cols),
                      in + std::size_t(yb) * std::size_t(cols), xa.get(), xb.get(), u.get(),
                      edgeWeight(py, std::size_t(j), limY), o.row(j), ow);
    }
    return o.px;
}

// ---- BICUBIC and CATMULL-ROM ----------------------------------------------------------------

// Both interpolate each of the four rows around the sample at u and then the four results at
// v. The row results depend on the input row only, so each is made once and kept while the
// output rows that need it are written.

constexpr float kSixth = 0.1666666666f, kThird = 0.3333333333f;

WARP_KERNEL void toFloatRow(const int32u* __restrict src, float* __restrict f, int32 cols)
{
    for (int32 x = 0; x < cols; ++x) {
        const int32u p = src[x];
        f[4 * x + 0] = float(p & 0xff);
        f[4 * x + 1] = float((p >> 8) & 0xff);
        f[4 * x + 2] = float((p >> 16) & 0xff);
        f[4 * x + 3] = 0.0f;
    }
}

// Coefficients of the four-point cubic through pm, p0, p1, p2 at -1, 0, 1, 2 (n floats each).
WARP_KERNEL void cubicCoefs(const float* __restrict pm, const float* __restrict p0,
                            const float* __restrict p1, const float* __restrict p2,
                            float* __restrict c0, float* __restrict c1, float* __restrict c2,
                            float* __restrict c3, int32 n)
{
    for (int32 k = 0; k < n; ++k) {
        const float dm = pm[k] - p0[k], d1 = p1[k] - p0[k], d2 = p2[k] - p0[k];
        const float e = kSixth * d2;
        c0[k] = p0[k];
        c1[k] = d1 - kThird * dm - e;
        c2[k] = 0.5f * d1 + 0.5f * dm;
        c3[k] = e - kSixth * dm - 0.5f * d1;
    }
}

WARP_KERNEL void cubicEvalH(const float* __restrict c0, const float* __restrict c1,
                            const float* __restrict c2, const float* __restrict c3,
                            const int32* __restrict xi, const float* __restrict u,
                            float* __restrict h, int32 n)
{
    for (int32 i = 0; i < n; ++i) {
        const float t = u[i], t2 = t * t, t3 = t2 * t;
        const std::size_t x = std::size_t(xi[i]) * 4;
        for (int c = 0; c < 4; ++c)
            h[4 * i + c] = c0[x + c] + c1[x + c] * t + c2[x + c] * t2 + c3[x + c] * t3;
    }
}

WARP_KERNEL void cubicEvalOut(const float* __restrict c0, const float* __restrict c1,
                              const float* __restrict c2, const float* __restrict c3, float t,
                              charu* __restrict out, int32 n4)
{
    const float t2 = t * t, t3 = t2 * t;
    for (int32 k = 0; k < n4; ++k) {
        out[k] = charu(toLevel(c0[k] + c1[k] * t + c2[k] * t2 + c3[k] * t3));
    }
}

// Coefficients of every input column of a float row, the neighbours limited to the row.
void rowCoefs(const float* f, int32 cols, float* c0, float* c1, float* c2, float* c3)
{
    auto one = [&](int32 x) {
        const std::size_t o = std::size_t(x) * 4;
        cubicCoefs(f + std::size_t(clampIdx(x - 1, cols)) * 4, f + o,
                   f + std::size_t(clampIdx(x + 1, cols)) * 4,
                   f + std::size_t(clampIdx(x + 2, cols)) * 4, c0 + o, c1 + o, c2 + o, c3 + o, 4);
    };
    if (cols < 4) {
        for (int32 x = 0; x < cols; ++x)
            one(x);
        return;
    }
    one(0);
    cubicCoefs(f, f + 4, f + 8, f + 12, c0 + 4, c1 + 4, c2 + 4, c3 + 4, (cols - 3) * 4);
    one(cols - 2);
    one(cols - 1);
}

int32u* bicubic(const int32u* in, int32 cols, int32 rows, int32 ow, int32 oh, const axisPos& px,
                const axisPos& py, outImage& o)
{
    const std::size_t n4 = std::size_t(ow) * 4, c4 = std::size_t(cols) * 4;
    auto f = fallible<float>(c4);
    std::unique_ptr<float[]> hc[4], vc[4];
    for (int k = 0; k < 4; ++k)
        if (!(hc[k] = fallible<float>(c4)) || !(vc[k] = fallible<float>(n4)))
            return nullptr;
    rowCache<float> cache;
    if (!f || !cache.make(n4))
        return nullptr;
    auto fill = [&](int32 r, float* h) {
        toFloatRow(in + std::size_t(r) * std::size_t(cols), f.get(), cols);
        rowCoefs(f.get(), cols, hc[0].get(), hc[1].get(), hc[2].get(), hc[3].get());
        cubicEvalH(hc[0].get(), hc[1].get(), hc[2].get(), hc[3].get(), px.idx.get(), px.frac.get(),
                   h, ow);
    };
    int32 coefRow = -1;
    for (int32 j = 0; j < oh; ++j) {
        const int32 y = py.idx[std::size_t(j)];
        if (y != coefRow) {
            const int32 need[4] = {clampIdx(y - 1, rows), y, clampIdx(y + 1, rows),
                                   clampIdx(y + 2, rows)};
            const float* h[4];
            for (int k = 0; k < 4; ++k)
                h[k] = cache.get(need[k], need, fill);
            cubicCoefs(h[0], h[1], h[2], h[3], vc[0].get(), vc[1].get(), vc[2].get(), vc[3].get(),
                       int32(n4));
            coefRow = y;
        }
        cubicEvalOut(vc[0].get(), vc[1].get(), vc[2].get(), vc[3].get(), py.frac[std::size_t(j)],
                     o.bytes(j), int32(n4));
    }
    return o.px;
}

// The four Catmull-Rom weights at t: the columns of the basis matrix evaluated by Horner's
// rule, so that the patch value is the weighted sum of its rows' weighted sums.
void crWeights(float t, float w[4])
{
    static const float m[4][4] = {{-0.5f, 1.5f, -1.5f, 0.5f},
                                  {1.0f, -2.5f, 2.0f, -0.5f},
                                  {-0.5f, 0.0f, 0.5f, 0.0f},
                                  {0.0f, 1.0f, 0.0f, 0.0f}};
    for (int l = 0; l < 4; ++l)
        w[l] = ((m[0][l] * t + m[1][l]) * t + m[2][l]) * t + m[3][l];
}

WARP_KERNEL void crEvalH(const float* __restrict f, const int32* __restrict x4,
                         const float* __restrict w, float* __restrict h, int32 n)
{
    for (int32 i = 0; i < n; ++i) {
        const float* a = f + x4[4 * i + 0];
        const float* b = f + x4[4 * i + 1];
        const float* c = f + x4[4 * i + 2];
        const float* d = f + x4[4 * i + 3];
        const float* wi = w + 4 * i;
        for (int k = 0; k < 4; ++k)
            h[4 * i + k] = wi[0] * a[k] + wi[1] * b[k] + wi[2] * c[k] + wi[3] * d[k];
    }
}

WARP_KERNEL void crEvalOut(const float* __restrict h0, const float* __restrict h1,
                           const float* __restrict h2, const float* __restrict h3, float w0,
                           float w1, float w2, float w3, charu* __restrict out, int32 n4)
{
    for (int32 k = 0; k < n4; ++k) {
        out[k] = charu(toLevel(w0 * h0[k] + w1 * h1[k] + w2 * h2[k] + w3 * h3[k]));
    }
}

int32u* catmullRom(const int32u* in, int32 cols, int32 rows, int32 ow, int32 oh, const axisPos& px,
                   const axisPos& py, outImage& o)
{
    const std::size_t n4 = std::size_t(ow) * 4;
    auto f = fallible<float>(std::size_t(cols) * 4);
    auto x4 = fallible<int32>(n4);
    auto w = fallible<float>(n4);
    rowCache<float> cache;
    if (!f || !x4 || !w || !cache.make(n4))
        return nullptr;
    for (int32 i = 0; i < ow; ++i) {
        const int32 x = px.idx[std::size_t(i)];
        for (int k = 0; k < 4; ++k)
            x4[std::size_t(4 * i + k)] = clampIdx(x - 1 + k, cols) * 4;
        crWeights(px.frac[std::size_t(i)], &w[std::size_t(4 * i)]);
    }
    auto fill = [&](int32 r, float* h) {
        toFloatRow(in + std::size_t(r) * std::size_t(cols), f.get(), cols);
        crEvalH(f.get(), x4.get(), w.get(), h, ow);
    };
    for (int32 j = 0; j < oh; ++j) {
        const int32 y = py.idx[std::size_t(j)];
        const int32 need[4] = {clampIdx(y - 1, rows), y, clampIdx(y + 1, rows),
                               clampIdx(y + 2, rows)};
        const float* h[4];
        for (int k = 0; k < 4; ++k)
            h[k] = cache.get(need[k], need, fill);
        float wv[4];
        crWeights(py.frac[std::size_t(j)], wv);
        crEvalOut(h[0], h[1], h[2], h[3], wv[0], wv[1], wv[2], wv[3], o.bytes(j), int32(n4));
    }
    return o.px;
}

// ---- Area path: reduce, expand or keep each axis ------------------------------------------------

enum axisKind { AX_KEEP, AX_REDUCE, AX_EXPAND };

// Runs longer than this are divided exactly instead of by the reciprocal multiply, which is
// exact for sums of at most 256 bytes (255 x n x (n - 1) < 2^24).
constexpr int32 kMulRun = 256;

inline int32u recip24(int32 n)
{
    return int32u(((std::uint64_t(1) << 24) + std::uint64_t(n) - 1) / std::uint64_t(n));
}

// One axis of the area path. Reduction: output j averages the inputs i with
// floor(i x out / in) == j, the loader's de-resolution runs, so that exactly `out` outputs
// come out, each from at least one input. Expansion: a phase grows by (factor - 1) for every
// input and, whenever it reaches 1, its whole part is the number of pixels (or rows) put
// between this input and the next.
struct areaAxis {
    axisKind kind = AX_KEEP;
    int32 in = 0, out = 0;
    int32 maxRun = 1;
    std::unique_ptr<int32[]> start; ///< reduce: first input of each output, and in at the end
    std::unique_ptr<int32u[]> mul;  ///< reduce: reciprocal of each run length
    std::unique_ptr<int32[]> ins;   ///< expand: outputs inserted after each input

    bool make(int32 inN, int32 outN, double factor)
    {
        in = inN;
        out = outN;
        kind = outN < inN ? AX_REDUCE : outN > inN ? AX_EXPAND : AX_KEEP;
        if (kind == AX_REDUCE) {
            start = fallible<int32>(std::size_t(outN) + 1);
            mul = fallible<int32u>(std::size_t(outN));
            if (!start || !mul)
                return false;
            for (std::int64_t j = 0; j <= outN; ++j)
                start[std::size_t(j)] =
                    int32((j * std::int64_t(inN) + std::int64_t(outN) - 1) / std::int64_t(outN));
            for (int32 j = 0; j < outN; ++j) {
                const int32 len = start[std::size_t(j) + 1] - start[std::size_t(j)];
                maxRun = std::max(maxRun, len);
                mul[std::size_t(j)] = len <= kMulRun ? recip24(len) : 0;
            }
        } else if (kind == AX_EXPAND) {
            ins = fallible<int32>(std::size_t(inN));
            if (!ins)
                return false;
            double phase = 0.0;
            for (int32 i = 0; i < inN; ++i) {
                phase += factor - 1.0;
                int32 n = 0;
                if (phase >= 1.0 && i + 1 < inN) {
                    n = int32(phase);
                    phase -= n;
                }
                ins[std::size_t(i)] = n;
            }
        }
        return true;
    }
    /// Only two-input runs: the pair average serves.
    bool pairs() const { return kind == AX_REDUCE && in == 2 * out; }
};

// Byte k of n inserted values between a and b: a + k x (b - a) / (n + 1), rounded to nearest.
inline int32u lerpPixel(int32u a, int32u b, int32 k, int32 n)
{
    int32u p = 0;
    const std::int64_t den = 2 * std::int64_t(n + 1);
    for (int s = 0; s < 32; s += 8) {
        const std::int64_t va = (a >> s) & 0xff, vb = (b >> s) & 0xff;
        const std::int64_t num = 2 * std::int64_t(k) * (vb - va) + (n + 1);
        const std::int64_t q = num >= 0 ? num / den : -((-num + den - 1) / den);
        p |= int32u(va + q) << s;
    }
    return p;
}

// Per byte, the truncated mean of two pixels.
inline int32u pairMean(int32u a, int32u b)
{
    return (a & b) + (((a ^ b) >> 1) & 0x7f7f7f7fu);
}

WARP_KERNEL void pairRow(const int32u* __restrict src, int32u* __restrict dst, int32 n)
{
    for (int32 j = 0; j < n; ++j)
        dst[j] = pairMean(src[2 * j], src[2 * j + 1]);
}

// Both halvings at once, from two input rows that stay in place: the row means first, then
// their mean, as the row-by-row path takes them.
WARP_KERNEL void pairQuad(const int32u* __restrict a, const int32u* __restrict b,
                          int32u* __restrict dst, int32 n)
{
    for (int32 j = 0; j < n; ++j)
        dst[j] = pairMean(pairMean(a[2 * j], a[2 * j + 1]), pairMean(b[2 * j], b[2 * j + 1]));
}

WARP_KERNEL void pairRows(const int32u* __restrict a, const int32u* __restrict b,
                          int32u* __restrict dst, int32 n)
{
    for (int32 j = 0; j < n; ++j)
        dst[j] = pairMean(a[j], b[j]);
}

// Box averages along a row; runs up to 257 pixels keep two bytes of the pixel in each half
// of a word.
void reduceRow(const areaAxis& ax, const int32u* src, int32u* dst)
{
    if (ax.pairs()) {
        pairRow(src, dst, ax.out);
        return;
    }
    const int32* st = ax.start.get();
    for (int32 j = 0; j < ax.out; ++j) {
        const int32 s = st[j], e = st[j + 1];
        if (ax.mul[std::size_t(j)] == 0) {
            std::uint64_t sum[4] = {0, 0, 0, 0};
            for (int32 i = s; i < e; ++i)
                for (int c = 0; c < 4; ++c)
                    sum[c] += (src[i] >> (8 * c)) & 0xff;
            int32u p = 0;
            for (int c = 0; c < 4; ++c)
                p |= int32u(sum[c] / std::uint64_t(e - s)) << (8 * c);
            dst[j] = p;
            continue;
        }
        int32u even = 0, odd = 0;
        for (int32 i = s; i < e; ++i) {
            even += src[i] & 0x00ff00ffu;
            odd += (src[i] >> 8) & 0x00ff00ffu;
        }
        const int32u m = ax.mul[std::size_t(j)];
        dst[j] = ((even & 0xffffu) * m >> 24) | ((odd & 0xffffu) * m >> 24) << 8 |
                 ((even >> 16) * m >> 24) << 16 | ((odd >> 16) * m >> 24) << 24;
    }
}

WARP_KERNEL void addBytes(const int32u* __restrict row, int32u* __restrict sums, int32 n4)
{
    const auto* b = reinterpret_cast<const charu*>(row);
    for (int32 k = 0; k < n4; ++k)
        sums[k] += b[k];
}

WARP_KERNEL void sumsOut(int32u* __restrict sums, int32u m, int32u* __restrict row, int32 n4)
{
    auto* b = reinterpret_cast<charu*>(row);
    for (int32 k = 0; k < n4; ++k) {
        b[k] = charu((sums[k] * m) >> 24);
        sums[k] = 0;
    }
}

void expandRow(const areaAxis& ax, const int32u* src, int32u* dst)
{
    int32 o = 0;
    for (int32 x = 0; x < ax.in && o < ax.out; ++x) {
        dst[o++] = src[x];
        const int32 n = ax.ins[std::size_t(x)];
        for (int32 k = 1; k <= n && o < ax.out; ++k)
            dst[o++] = lerpPixel(src[x], src[x + 1], k, n);
    }
    // Columns the phases did not produce repeat the last one produced.
    for (; o < ax.out; ++o)
        dst[o] = dst[o - 1];
}

} // namespace

// The area engine: rows go in one at a time, each is first reduced, expanded or copied along
// the row, then summed, interpolated or passed on down the columns. Output rows leave through
// the emit callback, never more than the output holds.
struct warpReducer::state {
    areaAxis ax, ay;
    int32 outW = 0;
    int32 inRow = 0, outRow = 0;
    int32 runRows = 0; ///< reduce: input rows summed into the current output row
    std::unique_ptr<int32u[]> hrow, prev, tmp, sums;
    bool ok = false;

    bool make(int32 cols, int32 rows, int32 ow, int32 oh, double fx, double fy)
    {
        if (cols <= 0 || rows <= 0 || ow <= 0 || oh <= 0)
            return false;
        if (!ax.make(cols, ow, fx) || !ay.make(rows, oh, fy))
            return false;
        outW = ow;
        const std::size_t n = std::size_t(ow);
        hrow = fallible<int32u>(n);
        prev = fallible<int32u>(n);
        tmp = fallible<int32u>(n);
        if (!hrow || !prev || !tmp)
            return false;
        if (ay.kind == AX_REDUCE && !ay.pairs() && !(sums = fallible<int32u>(n * 4)))
            return false;
        if (sums)
            std::memset(sums.get(), 0, n * 16);
        ok = true;
        return true;
    }

    template <class Emit> void emitRow(const int32u* px, Emit& emit)
    {
        if (outRow < ay.out)
            emit(outRow++, px);
    }

    template <class Emit> void push(const int32u* row, Emit& emit)
    {
        if (!ok || inRow >= ay.in)
            return;
        const int32 r = inRow++;
        const int32u* h = row;
        if (ax.kind == AX_REDUCE) {
            reduceRow(ax, row, hrow.get());
            h = hrow.get();
        } else if (ax.kind == AX_EXPAND) {
            expandRow(ax, row, hrow.get());
            h = hrow.get();
        }
        const std::size_t bytes = std::size_t(outW) * 4;
        switch (ay.kind) {
        case AX_KEEP:
            emitRow(h, emit);
            break;
        case AX_EXPAND:
            if (r > 0) {
                const int32 n = ay.ins[std::size_t(r) - 1];
                for (int32 k = 1; k <= n; ++k) {
                    for (int32 i = 0; i < outW; ++i)
                        tmp[std::size_t(i)] = lerpPixel(prev[std::size_t(i)], h[i], k, n);
                    emitRow(tmp.get(), emit);
                }
            }
            std::memcpy(prev.get(), h, bytes);
            emitRow(h, emit);
            break;
        case AX_REDUCE: {
            const int32 j = outRow;
            if (j >= ay.out)
                break;
            const int32 end = ay.start[std::size_t(j) + 1];
            ++runRows;
            if (ay.pairs()) {
                if (r + 1 < end)
                    std::memcpy(prev.get(), h, bytes);
                else {
                    pairRows(prev.get(), h, tmp.get(), outW);
                    runRows = 0;
                    emitRow(tmp.get(), emit);
                }
                break;
            }
            if (r + 1 < end) {
                addBytes(h, sums.get(), outW * 4);
                break;
            }
            if (runRows == 1) {
                runRows = 0;
                emitRow(h, emit);
                break;
            }
            addBytes(h, sums.get(), outW * 4);
            if (runRows <= kMulRun) {
                sumsOut(sums.get(), recip24(runRows), tmp.get(), outW * 4);
            } else {
                auto* b = reinterpret_cast<charu*>(tmp.get());
                for (std::size_t k = 0; k < std::size_t(outW) * 4; ++k) {
                    b[k] = charu(sums[k] / int32u(runRows));
                    sums[k] = 0;
                }
            }
            runRows = 0;
            emitRow(tmp.get(), emit);
            break;
        }
        }
    }

    // Rows the phases did not produce repeat the last one produced.
    void finish(int32u* image)
    {
        for (int32 j = std::max(outRow, 1); j < ay.out; ++j)
            std::memcpy(image + std::size_t(j) * std::size_t(outW),
                        image + std::size_t(j - 1) * std::size_t(outW), std::size_t(outW) * 4);
        outRow = ay.out;
    }
};

warpReducer::warpReducer(int32 cols, int32 rows, double fx, double fy)
    : s_(new (std::nothrow) state)
{
    if (!s_)
        return;
    if (!(fx > 0.0 && fx <= 1.0 && fy > 0.0 && fy <= 1.0) ||
        !s_->make(cols, rows, scaledDim(cols, fx), scaledDim(rows, fy), fx, fy))
        s_->ok = false;
}

warpReducer::~warpReducer() = default;

bool warpReducer::ok() const
{
    return s_ && s_->ok;
}

int32 warpReducer::outCols() const
{
    return ok() ? s_->ax.out : 0;
}

int32 warpReducer::outRows() const
{
    return ok() ? s_->ay.out : 0;
}

bool warpReducer::addRow(const int32u* row, int32u* out, int32* outRow)
{
    if (!ok())
        return false;
    bool done = false;
    auto emit = [&](int32 j, const int32u* px) {
        if (px != out)
            std::memcpy(out, px, std::size_t(s_->outW) * 4);
        *outRow = j;
        done = true;
    };
    s_->push(row, emit);
    return done;
}

namespace {

int32u* areaPath(const int32u* in, int32 cols, int32 rows, int32 ow, int32 oh, const double f[2],
                 int32u* out)
{
    warpReducer::state st;
    if (!st.make(cols, rows, ow, oh, f[0], f[1]))
        return nullptr;
    if (st.ax.pairs() && st.ay.pairs()) {
        for (int32 j = 0; j < oh; ++j)
            pairQuad(in + std::size_t(2 * j) * std::size_t(cols),
                     in + std::size_t(2 * j + 1) * std::size_t(cols),
                     out + std::size_t(j) * std::size_t(ow), ow);
        return out;
    }
    auto emit = [&](int32 j, const int32u* px) {
        std::memcpy(out + std::size_t(j) * std::size_t(ow), px, std::size_t(ow) * 4);
    };
    for (int32 r = 0; r < rows; ++r)
        st.push(in + std::size_t(r) * std::size_t(cols), emit);
    st.finish(out);
    return out;
}

} // namespace

int32u* WARP(const int32u* pixels, int32* cols, int32* rows, const double scalef[2], int32 method,
             std::string* msg)
{
    if (!pixels || !cols || !rows || !scalef || *cols <= 0 || *rows <= 0)
        return nullptr;
    if (scalef[0] > 16.0 || scalef[1] > 16.0) {
        DIAG("\nWARP(): scalef[] too large");
        return nullptr;
    }
    const int32 nc = *cols, nr = *rows;
    const int32 ow = scaledDim(nc, scalef[0]), oh = scaledDim(nr, scalef[1]);
    if (ow == nc && oh == nr) {
        DIAG("\nWARP(): output dimensions == input dimensions");
        return nullptr;
    }
    if (ow < 16 || oh < 16) {
        DIAG("\nWARP() computed output too small");
        return nullptr;
    }
    std::string guard;
    if (!SAFE_MEM_REQ_WH(ow, oh, &guard)) {
        if (msg)
            *msg = guard;
        return nullptr;
    }
    // A view's worth of pixels is taken again on every repaint: below the C allocator's
    // mapping ceiling it comes back from the heap without page faults. Larger images are
    // written once, into a block advised for huge pages (a fault per 2 MiB instead of one per
    // 4 KiB). Both are released with std::free.
    const std::size_t bytes = std::size_t(ow) * std::size_t(oh) * 4u;
    auto* out = static_cast<int32u*>(bytes < kHeapReuse ? std::malloc(bytes) : bigAlloc(bytes));
    int32u* done = nullptr;
    if (out) {
        if (scalef[0] < 1.0 || scalef[1] < 1.0) {
            done = areaPath(pixels, nc, nr, ow, oh, scalef, out);
        } else {
            axisPos px, py;
            outImage o;
            if (px.make(ow, nc, scalef[0]) && py.make(oh, nr, scalef[1]) && o.make(out, ow)) {
                if (method & WARP_BICUBIC)
                    done = bicubic(pixels, nc, nr, ow, oh, px, py, o);
                else if (method & WARP_CATMULL_ROM)
                    done = catmullRom(pixels, nc, nr, ow, oh, px, py, o);
                else if (method & WARP_REPLICATE)
                    done = replicate(pixels, nc, ow, oh, px, py, scalef[0], o);
                else if (method & WARP_BILINEAR)
                    done = bilinear(pixels, nc, nr, ow, oh, px, py, scalef, o);
            }
        }
    }
    if (!done) {
        std::free(out);
        DIAG("\nWARP() Fail: method returns NULL buffer");
        if (msg)
            *msg = "\nWARP() Fail: method returns NULL buffer";
        return nullptr;
    }
    *cols = ow;
    *rows = oh;
    return done;
}
