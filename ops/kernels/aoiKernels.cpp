#include "aoiKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int shifts[3] = {16, 8, 0}; // red, green, blue

int chan(int32u p, int c)
{
    return int((p >> shifts[c]) & 0xFFu);
}

int32u withRgb(int32u p, const int v[3])
{
    return (p & 0xFF000000u) | (int32u(v[0]) << 16) | (int32u(v[1]) << 8) | int32u(v[2]);
}

int toByte(float v)
{
    const int i = int(v); // truncation, as the fill has always done
    return std::clamp(i, 0, 255);
}

// Interpolates n pixels spaced by `step` between the end pixels (exclusive), a running float
// sum per colour. out receives the n - 2 inner values.
void lerpLine(int32u first, int32u last, int32 n, int32u* p, std::ptrdiff_t step)
{
    float v[3], d[3];
    for (int c = 0; c < 3; ++c) {
        v[c] = float(chan(first, c));
        d[c] = float(chan(last, c) - chan(first, c)) / float(n - 1);
    }
    for (int32 k = 1; k < n - 1; ++k) {
        int o[3];
        for (int c = 0; c < 3; ++c) {
            v[c] += d[c];
            o[c] = toByte(v[c]);
        }
        int32u* q = p + std::ptrdiff_t(k) * step;
        *q = withRgb(*q, o);
    }
}

// X fill of rows yFrom to yTo. Each row's sums must run in order along the row, so eight rows
// go side by side: one step adds 32 sums (eight rows, four bytes each) and writes a pixel of
// each row. Rows left over take the plain path, which sums in the same order.
__attribute__((target_clones("avx2", "default"))) void fillRowsX(const pixArea& a, int32 yFrom,
                                                                 int32 yTo)
{
    constexpr int32 R = 8;
    const float steps = float(a.w - 1);
    int32 y = yFrom;
    for (; y + R - 1 <= yTo; y += R) {
        float v[R * 4], d[R * 4];
        int32u* rows[R];
        for (int32 r = 0; r < R; ++r) {
            rows[r] = a.row(y + r);
            const int32u first = rows[r][0], last = rows[r][a.w - 1];
            for (int b = 0; b < 4; ++b) {
                const int f = int((first >> (8 * b)) & 0xFFu), l = int((last >> (8 * b)) & 0xFFu);
                v[r * 4 + b] = b == 3 ? 0.0f : float(f);
                d[r * 4 + b] = b == 3 ? 0.0f : float(l - f) / steps;
            }
        }
        for (int32 k = 1; k < a.w - 1; ++k) {
            charu bytes[R * 4];
            for (int32 j = 0; j < R * 4; ++j) {
                v[j] += d[j];
                bytes[j] = charu(int(v[j])); // truncation; the sums stay within their ends
            }
            int32u px[R];
            std::memcpy(px, bytes, sizeof px);
            for (int32 r = 0; r < R; ++r)
                rows[r][k] = (rows[r][k] & 0xFF000000u) | (px[r] & 0x00FFFFFFu);
        }
    }
    for (; y <= yTo; ++y) {
        int32u* r = a.row(y);
        lerpLine(r[0], r[a.w - 1], a.w, r, 1);
    }
}

// Y fill of the rows between the top and bottom edges, all columns at once: each byte's
// running sum advances one row at a time, so the pass reads memory in row order. The sums sit
// four to a pixel in the pixel's byte order (the alpha lane steps by 0 and is not written), so
// both loops below run over plain arrays.
// Built twice, for the wide vector unit where the processor has one and for any other.
__attribute__((target_clones("avx2", "default"))) void fillColumnsY(const pixArea& a, int32 xFrom,
                                                                    int32 xTo, bool average)
{
    const int32 n = xTo - xFrom + 1;
    const std::size_t m = std::size_t(n) * 4;
    std::vector<float> v(m), d(m);
    std::vector<int32u> packed(static_cast<std::size_t>(n));
    const charu* top = reinterpret_cast<const charu*>(a.row(0) + xFrom);
    const charu* bot = reinterpret_cast<const charu*>(a.row(a.h - 1) + xFrom);
    const float steps = float(a.h - 1);
    for (std::size_t j = 0; j < m; ++j) {
        const bool alphaLane = (j & 3) == 3;
        v[j] = alphaLane ? 0.0f : float(top[j]);
        d[j] = alphaLane ? 0.0f : float(int(bot[j]) - int(top[j])) / steps;
    }
    std::vector<charu> bytes(m);
    for (int32 y = 1; y < a.h - 1; ++y) {
        for (std::size_t j = 0; j < m; ++j) {
            v[j] += d[j];
            bytes[j] =
                charu(std::clamp(int(v[j]), 0, 255)); // truncation, as the fill has always done
        }
        std::memcpy(packed.data(), bytes.data(), m);
        int32u* r = a.row(y) + xFrom;
        if (average)
            for (int32 i = 0; i < n; ++i) {
                // (a + b + 1) / 2 per byte without carries between the bytes.
                const int32u p = packed[i], q = r[i];
                const int32u avg = (p | q) - (((p ^ q) >> 1) & 0x7F7F7F7Fu);
                r[i] = (q & 0xFF000000u) | (avg & 0x00FFFFFFu);
            }
        else
            for (int32 i = 0; i < n; ++i)
                r[i] = (r[i] & 0xFF000000u) | (packed[i] & 0x00FFFFFFu);
    }
}

void fillCorners(const pixArea& a)
{
    if (a.w < 3 || a.h < 3)
        return;
    // Only the edge rows need X: the Y pass then replaces every row between them.
    fillRowsX(a, 0, 0);
    fillRowsX(a, a.h - 1, a.h - 1);
    fillColumnsY(a, 0, a.w - 1, false);
}

void fillSegments(const pixArea& a, int32 step)
{
    for (int32 oy = 0; oy < a.h; oy += step)
        for (int32 ox = 0; ox < a.w; ox += step) {
            const pixArea s{a.row(oy) + ox, std::min<int32>(64, a.w - ox),
                            std::min<int32>(64, a.h - oy), a.stride};
            fillCorners(s);
        }
}

// A quarter turn: out(x, y) = in(h - 1 - x, y) clockwise, in(x, w - 1 - y) the other way.
// Tiles of 32 x 32 pixels keep the rows read and the rows written in the first-level cache;
// within a tile, blocks of 4 x 4 pixels are turned in registers (four loads, eight unpacks,
// four stores) instead of gathering pixel by pixel. What the blocks leave is done one pixel at
// a time.
void quarterTurn(const pixArea& src, const pixArea& dst, bool clockwise)
{
    const auto one = [&](int32 x, int32 y) {
        dst.row(y)[x] = clockwise ? src.row(src.h - 1 - x)[y] : src.row(x)[src.w - 1 - y];
    };
    constexpr int32 T = 32;
    const int32 w4 = dst.w & ~3, h4 = dst.h & ~3;
#if defined(__SSE2__)
    for (int32 ty = 0; ty < h4; ty += T)
        for (int32 tx = 0; tx < w4; tx += T) {
            const int32 ey = std::min(ty + T, h4), ex = std::min(tx + T, w4);
            for (int32 y = ty; y < ey; y += 4)
                for (int32 x = tx; x < ex; x += 4) {
                    // The four source rows, in the order their pixels land along an output row.
                    const int32u* r[4];
                    int32 col;
                    if (clockwise) {
                        for (int k = 0; k < 4; ++k)
                            r[k] = src.row(src.h - 1 - x - k);
                        col = y;
                    } else {
                        for (int k = 0; k < 4; ++k)
                            r[k] = src.row(x + k);
                        col = src.w - 4 - y;
                    }
                    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[0] + col));
                    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[1] + col));
                    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[2] + col));
                    const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r[3] + col));
                    const __m128i ab0 = _mm_unpacklo_epi32(a, b), cd0 = _mm_unpacklo_epi32(c, d);
                    const __m128i ab1 = _mm_unpackhi_epi32(a, b), cd1 = _mm_unpackhi_epi32(c, d);
                    // Column k of the block, the source rows in order.
                    const __m128i o[4] = {
                        _mm_unpacklo_epi64(ab0, cd0), _mm_unpackhi_epi64(ab0, cd0),
                        _mm_unpacklo_epi64(ab1, cd1), _mm_unpackhi_epi64(ab1, cd1)};
                    for (int k = 0; k < 4; ++k) {
                        // Clockwise, source column y + k is output row y + k; the other way,
                        // source column w - 4 - y + k is output row y + 3 - k.
                        const int32 oy = clockwise ? y + k : y + 3 - k;
                        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst.row(oy) + x), o[k]);
                    }
                }
        }
#else
    for (int32 y = 0; y < h4; ++y)
        for (int32 x = 0; x < w4; ++x)
            one(x, y);
#endif
    for (int32 y = 0; y < h4; ++y)
        for (int32 x = w4; x < dst.w; ++x)
            one(x, y);
    for (int32 y = h4; y < dst.h; ++y)
        for (int32 x = 0; x < dst.w; ++x)
            one(x, y);
}

// Each byte of p and q mixed as (p (256 - t) + q t) / 256, truncated: two bytes at a time
// (blue and red, green and alpha), each in a 16-bit lane.
inline int32u lerpPixel(int32u p, int32u q, int32u t)
{
    const int32u lo = ((p & 0xFF00FFu) * (256 - t) + (q & 0xFF00FFu) * t) >> 8;
    const int32u hi = (((p >> 8) & 0xFF00FFu) * (256 - t) + ((q >> 8) & 0xFF00FFu) * t);
    return (lo & 0xFF00FFu) | (hi & 0xFF00FF00u);
}

#if defined(__SSE2__)
// lerpPixel across a 2 x 2 block (p[0], p[1] over the same two a row below), the four bytes
// of a pixel in 16-bit lanes at once: the same sums and truncations.
inline int32u bilinear(const int32u* p, std::ptrdiff_t stride, int32u u, int32u v)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i wu = _mm_set_epi16(short(u), short(u), short(u), short(u), short(256 - u),
                                     short(256 - u), short(256 - u), short(256 - u));
    const __m128i top = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero), wu);
    const __m128i bot = _mm_mullo_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride)), zero), wu);
    const __m128i t = _mm_srli_epi16(_mm_add_epi16(top, _mm_srli_si128(top, 8)), 8);
    const __m128i b = _mm_srli_epi16(_mm_add_epi16(bot, _mm_srli_si128(bot, 8)), 8);
    const __m128i r =
        _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(t, _mm_set1_epi16(short(256 - v))),
                                     _mm_mullo_epi16(b, _mm_set1_epi16(short(v)))),
                       8);
    return int32u(_mm_cvtsi128_si32(_mm_packus_epi16(r, r)));
}
#endif

// Narrows the steps [*a, *b) to those whose position p0 + k * step lies in [lo, hi). The
// positions move one way, so those inside are one run: found from the quotient, then settled
// by the exact test at its ends.
void insideRun(std::int64_t p0, std::int64_t step, std::int64_t lo, std::int64_t hi, int32* a,
               int32* b)
{
    const auto in = [&](std::int64_t k) {
        const std::int64_t p = p0 + step * k;
        return p >= lo && p < hi;
    };
    std::int64_t first = *a, end = *b;
    if (step == 0) {
        if (!in(0))
            *b = *a;
        return;
    }
    const double k0 = double(lo - p0) / double(step), k1 = double(hi - p0) / double(step);
    const double kmin = std::min(k0, k1), kmax = std::max(k0, k1);
    if (kmax < double(first) - 1 || kmin > double(end) + 1) {
        *b = *a;
        return;
    }
    std::int64_t f = std::max<std::int64_t>(first, std::int64_t(std::ceil(kmin)) - 1);
    std::int64_t e = std::min<std::int64_t>(end, std::int64_t(std::ceil(kmax)) + 1);
    while (f < e && !in(f))
        ++f;
    while (f > first && in(f - 1))
        --f;
    while (e > f && !in(e - 1))
        --e;
    while (e < end && in(e))
        ++e;
    *a = int32(f);
    *b = int32(std::max(f, e));
}

} // namespace

bool fillArea(const pixArea& a, int32 mode)
{
    const bool small = a.w < 3 || a.h < 3;
    switch (mode) {
    case FILL_Y:
        if (!small)
            fillColumnsY(a, 0, a.w - 1, false);
        return true;
    case FILL_X:
        if (!small)
            fillRowsX(a, 0, a.h - 1);
        return true;
    case FILL_XY:
        if (!small) {
            fillRowsX(a, 1, a.h - 2);
            fillColumnsY(a, 1, a.w - 2, true);
        }
        return true;
    case FILL_CORNERS:
        fillCorners(a);
        return true;
    case FILL_SEGSOFT:
        fillSegments(a, 63);
        return true;
    case FILL_SEGHARD:
        fillSegments(a, 64);
        return true;
    default:
        return false;
    }
}

void mirrorArea(const pixArea& a)
{
    for (int32 y = 0; y < a.h; ++y)
        std::reverse(a.row(y), a.row(y) + a.w);
}

void flipArea(const pixArea& a)
{
    for (int32 y = 0, z = a.h - 1; y < z; ++y, --z)
        std::swap_ranges(a.row(y), a.row(y) + a.w, a.row(z));
}

bool rotateRight(const pixArea& src, const pixArea& dst, int32 degrees)
{
    if (degrees == 180) {
        if (dst.w != src.w || dst.h != src.h)
            return false;
        for (int32 y = 0; y < src.h; ++y) {
            const int32u* s = src.row(src.h - 1 - y) + src.w;
            int32u* d = dst.row(y);
            for (int32 x = 0; x < src.w; ++x)
                d[x] = *--s;
        }
        return true;
    }
    if ((degrees != 90 && degrees != 270) || dst.w != src.h || dst.h != src.w)
        return false;
    quarterTurn(src, dst, degrees == 90);
    return true;
}

void rotatedSize(int32 w, int32 h, double degrees, int32* ow, int32* oh)
{
    const double r = degrees * M_PI / 180.0;
    const double c = std::fabs(std::cos(r)), s = std::fabs(std::sin(r));
    // A hair of slack keeps exact quarter turns from gaining a pixel by rounding.
    *ow = std::max<int32>(1, int32(std::ceil(w * c + h * s - 1e-6)));
    *oh = std::max<int32>(1, int32(std::ceil(w * s + h * c - 1e-6)));
}

void rotateAny(const pixArea& src, const pixArea& dst, double degrees, bool antiAlias)
{
    double deg = std::fmod(degrees, 360.0);
    if (deg < 0)
        deg += 360.0;
    if (!antiAlias && (deg == 90.0 || deg == 180.0 || deg == 270.0) &&
        rotateRight(src, dst, int32(deg)))
        return;
    const double r = deg * M_PI / 180.0;
    const double cs = std::cos(r), sn = std::sin(r);
    const double cx = (src.w - 1) / 2.0, cy = (src.h - 1) / 2.0;
    const double dx0 = (dst.w - 1) / 2.0, dy0 = (dst.h - 1) / 2.0;
    // Source positions in fixed point with 32 fraction bits: the steps along a row are added,
    // and 4096 of them drift by far less than a pixel. Weights are the top 8 fraction bits.
    constexpr double ONE = 4294967296.0;
    const auto fix = [](double v) { return std::int64_t(std::llround(v * ONE)); };
    const std::int64_t stepX = fix(cs), stepY = fix(-sn);
    const std::int64_t half = std::int64_t(1) << 31;
    const std::int64_t loX = -half, hiX = fix(src.w - 0.5), loY = -half, hiY = fix(src.h - 0.5);
    const std::int64_t maxX = std::int64_t(src.w - 1) << 32, maxY = std::int64_t(src.h - 1) << 32;
    // Tiles of the output: a row of a turned image runs slantwise through the source, a new
    // source row every pixel or two, so whole output rows would fetch a cache line a pixel;
    // a 64 x 64 tile reads a source patch that stays in the cache for all its rows. Within a
    // row the positions are the same sums of steps as along the whole row.
    constexpr int32 T = 64;
    for (int32 ty = 0; ty < dst.h; ty += T)
        for (int32 tx = 0; tx < dst.w; tx += T) {
            const int32 ey = std::min(ty + T, dst.h), ex = std::min(tx + T, dst.w);
            for (int32 y = ty; y < ey; ++y) {
                int32u* d = dst.row(y);
                const double ry = y - dy0;
                // Inverse of the clockwise turn: the source of (x, y) steps by (cos, -sin) along
                // the row.
                const std::int64_t sx0 = fix(cx - dx0 * cs + ry * sn) + stepX * tx;
                const std::int64_t sy0 = fix(cy + dx0 * sn + ry * cs) + stepY * tx;
                // The pixels whose source lies inside the picture form one run; the rest are
                // black.
                int32 a = 0, b = ex - tx;
                insideRun(sx0, stepX, loX, hiX, &a, &b);
                insideRun(sy0, stepY, loY, hiY, &a, &b);
                if (b <= a)
                    a = b = 0;
                std::fill(d + tx, d + tx + a, 0u);
                std::fill(d + tx + b, d + ex, 0u);
                std::int64_t sx = sx0 + stepX * a, sy = sy0 + stepY * a;
                if (!antiAlias) {
                    for (int32 x = tx + a; x < tx + b; ++x, sx += stepX, sy += stepY)
                        d[x] = src.row(int32((sy + half) >> 32))[int32((sx + half) >> 32)];
                    continue;
                }
                for (int32 x = tx + a; x < tx + b; ++x, sx += stepX, sy += stepY) {
                    const std::int64_t px = std::clamp<std::int64_t>(sx, 0, maxX);
                    const std::int64_t py = std::clamp<std::int64_t>(sy, 0, maxY);
                    const int32 x0 = int32(px >> 32), y0 = int32(py >> 32);
                    const int32u u = int32u(px >> 24) & 0xFFu, v = int32u(py >> 24) & 0xFFu;
                    const int32u* r0 = src.row(y0) + x0;
#if defined(__SSE2__)
                    if (x0 + 1 < src.w && y0 + 1 < src.h) {
                        d[x] = bilinear(r0, src.stride, u, v);
                        continue;
                    }
#endif
                    const int32 x1 = std::min(x0 + 1, src.w - 1) - x0;
                    const int32u* r1 = src.row(std::min(y0 + 1, src.h - 1)) + x0;
                    d[x] = lerpPixel(lerpPixel(r0[0], r0[x1], u), lerpPixel(r1[0], r1[x1], u), v);
                }
            }
        }
}

int32 snapCoord(int32 c, int32 s)
{
    return s > 1 ? s * ((c + s / 2) / s) : c;
}

pixBox placeInBox(int32 x, int32 y, int32 w, int32 h, const pixBox& box)
{
    w = std::min(w, box.x1 - box.x0 + 1);
    h = std::min(h, box.y1 - box.y0 + 1);
    x = std::clamp(x, box.x0, box.x1 - w + 1);
    y = std::clamp(y, box.y0, box.y1 - h + 1);
    return pixBox{x, y, x + w - 1, y + h - 1};
}

bool insideBox(const pixBox& r, const pixBox& box)
{
    return r.x0 >= box.x0 && r.y0 >= box.y0 && r.x1 <= box.x1 && r.y1 <= box.y1;
}

bool adjoiningTile(const pixBox& r, int32 px, int32 py, pixBox* out)
{
    const int32 dx = px < r.x0 ? -1 : px > r.x1 ? 1 : 0;
    const int32 dy = py < r.y0 ? -1 : py > r.y1 ? 1 : 0;
    if (!dx && !dy)
        return false;
    const int32 w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
    *out = pixBox{r.x0 + dx * w, r.y0 + dy * h, r.x1 + dx * w, r.y1 + dy * h};
    return true;
}

namespace {

// The view's zooms are powers of two up to 16: a block's byte sums (at most 256 x 255 plus the
// rounding half) fit 16-bit lanes, so the red and blue bytes and the alpha and green bytes are
// summed two at a time in 32-bit words, and the mean is a shift.
int32u blockMean(const pixArea& view, int32 z, int32 shift, int32 x, int32 y)
{
    const int32u m = 0x00FF00FFu, half = (int32u(z) * int32u(z) / 2) * 0x00010001u;
    int32u lo = half, hi = half;
    for (int32 k = 0; k < z; ++k) {
        const int32u* s = view.row(y * z + k) + std::ptrdiff_t(x) * z;
        for (int32 j = 0; j < z; ++j) {
            lo += s[j] & m;
            hi += (s[j] >> 8) & m;
        }
    }
    return ((lo >> shift) & m) | (((hi >> shift) & m) << 8);
}

void compositePow2(const pixArea& view, int32 z, const pixArea& buf, int32 bw, int32 bh,
                   int32u gunMask)
{
    const int32 shift = z == 2 ? 2 : z == 4 ? 4 : z == 8 ? 6 : 8;
    const int32u keep = ~gunMask;
    for (int32 y = 0; y < bh; ++y) {
        int32u* d = buf.row(y);
        int32 x = 0;
#if defined(__SSE2__)
        if (z == 2) {
            // Two output pixels from four view pixels of each of the two rows: bytes widened to
            // 16 bits, the rows and the pairs added, the rounding 2 added, divided by 4.
            const int32u* r0 = view.row(2 * y);
            const int32u* r1 = view.row(2 * y + 1);
            const __m128i zero = _mm_setzero_si128(), two = _mm_set1_epi16(2);
            const __m128i vkeep = _mm_set1_epi32(int32(keep)),
                          vmask = _mm_set1_epi32(int32(gunMask));
            for (; x + 2 <= bw; x += 2) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 2 * x));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + 2 * x));
                const __m128i lo =
                    _mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
                const __m128i hi =
                    _mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
                const __m128i p0 = _mm_add_epi16(lo, _mm_srli_si128(lo, 8));
                const __m128i p1 = _mm_add_epi16(hi, _mm_srli_si128(hi, 8));
                __m128i sum = _mm_unpacklo_epi64(p0, p1);
                sum = _mm_srli_epi16(_mm_add_epi16(sum, two), 2);
                const __m128i px = _mm_packus_epi16(sum, sum);
                __m128i dst = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + x));
                dst = _mm_or_si128(_mm_and_si128(dst, vkeep), _mm_and_si128(px, vmask));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + x), dst);
            }
        }
#endif
        for (; x < bw; ++x)
            d[x] = (d[x] & keep) | (blockMean(view, z, shift, x, y) & gunMask);
    }
}

} // namespace

void compositeArea(const pixArea& view, int32 zoom, const pixArea& buf, int32u gunMask)
{
    const int32 z = std::max(zoom, 1);
    const int32 bw = std::min(buf.w, view.w / z), bh = std::min(buf.h, view.h / z);
    const int32u keep = ~gunMask;
    if (z == 1) {
        for (int32 y = 0; y < bh; ++y) {
            const int32u* s = view.row(y);
            int32u* d = buf.row(y);
            for (int32 x = 0; x < bw; ++x)
                d[x] = (d[x] & keep) | (s[x] & gunMask);
        }
        return;
    }
    const int32u n = int32u(z) * int32u(z);
    if (z <= 16 && (z & (z - 1)) == 0) {
        compositePow2(view, z, buf, bw, bh, gunMask);
        return;
    }
    std::vector<int32u> sums(std::size_t(bw) * 4);
    for (int32 y = 0; y < bh; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int32 k = 0; k < z; ++k) {
            const int32u* s = view.row(y * z + k);
            for (int32 x = 0; x < bw * z; ++x)
                for (int b = 0; b < 4; ++b)
                    sums[std::size_t(x / z) * 4 + b] += (s[x] >> (8 * b)) & 0xFFu;
        }
        int32u* d = buf.row(y);
        for (int32 x = 0; x < bw; ++x) {
            int32u p = 0;
            for (int b = 0; b < 4; ++b)
                p |= ((sums[std::size_t(x) * 4 + b] + n / 2) / n) << (8 * b);
            d[x] = (d[x] & keep) | (p & gunMask);
        }
    }
}

void watermarkRow(std::span<int32u> dst, std::span<const int32u> acc, int32u gunMask)
{
    const std::size_t n = std::min(dst.size(), acc.size());
    for (std::size_t i = 0; i < n; ++i) {
        int32u p = 0;
        for (int b = 0; b < 4; ++b) {
            const int32u v = (dst[i] >> (8 * b)) & 0xFFu, a = (acc[i] >> (8 * b)) & 0xFFu;
            p |= ((3 * v + a) / 4) << (8 * b);
        }
        dst[i] = (dst[i] & ~gunMask) | (p & gunMask);
    }
}

void alphaFromPlanes(std::span<int32u> row, int32 planeBits)
{
    int32 n = 0;
    for (int c = 0; c < 3; ++c)
        n += (planeBits >> c) & 1;
    if (!n)
        return;
    for (int32u& p : row) {
        int32 s = 0;
        for (int c = 0; c < 3; ++c)
            if (planeBits & (1 << c))
                s += chan(p, c);
        p = (p & 0x00FFFFFFu) | (int32u(s / n) << 24);
    }
}
