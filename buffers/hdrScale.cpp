#include "hdrScale.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "diag.h"
#include "folio_utl.h"
#include "sbuffActive.h"
#include "sbuffStats.h"
#include "lexical.h"

const char* const hdrCurveNames[11] = {"UNSCALED", " LINEAR ", "  LOG   ", "  EXP   ",
                                       " SINEH  ", " TANH   ", " PSEUDO ", "ENTROPY ",
                                       " REDUND ", " USER-A ", " USER-B "};

namespace {

constexpr double kTinyRange = 1e-05;
constexpr double kLn255 = 5.541263545158426;
constexpr double kTanhK = 16.81124283;
constexpr double kPseudoK = 5.694136686;

// The six curves that scale; a word with none of them, or more than one, writes nothing.
constexpr int32u kScalingCurves = HDR_LIN | HDR_LOG | HDR_EXP | HDR_SINH | HDR_TANH | HDR_PSEUDO;

struct scalArchive {
    bandScalBlk blk[4];
    bool saved;
};
// One archive per instance, beside the instance it belongs to.
scalArchive archives[2];

template <typename F> void forGuns(int32u gunMask, F f)
{
    for (int g = 0; g < 4; ++g)
        if (gunMask & (int32u(1) << g))
            f(activeSbuff().scal[g].p, g);
}

// Runs a setter's work and tells whether any gun of the mask changed.
template <typename F> int changedBy(int32u gunMask, F f)
{
    scalParams before[4];
    for (int g = 0; g < 4; ++g)
        before[g] = activeSbuff().scal[g].p;
    f();
    for (int g = 0; g < 4; ++g)
        if ((gunMask & (int32u(1) << g)) &&
            std::memcmp(&before[g], &activeSbuff().scal[g].p, sizeof(scalParams)) != 0)
            return 1;
    return 0;
}

// A double in 0..255 as a level; NaN and negatives give 0.
inline charu toLevel(double v)
{
    v = v > 0.0 ? v : 0.0;
    v = v < 255.0 ? v : 255.0;
    return static_cast<charu>(static_cast<int>(v));
}

inline void putByte(int32u& px, int pos, charu v)
{
    px = (px & ~(int32u(0xff) << (8 * pos))) | (int32u(v) << (8 * pos));
}

inline void countLevel(bandScalBlk& b, charu v, float x)
{
    b.binCount[v] += 1;
    if (x == x) // a NaN sample counts but must not poison the level's mean
        b.binSum[v] += x;
}

int firstCurveIndex(int32u ctl)
{
    for (int i = 0; i < 8; ++i)
        if (ctl & (int32u(1) << i))
            return i + 1;
    return 0;
}

// Range of a standard-deviation mode about its anchor, clamped to [low, high].
void sdevRange(const scalParams& p, const bandStats& s, double& low, double& high)
{
    double w = p.width * s.stdDev;
    if (p.opScalCtl & HDR_CENTRES) {
        double c = (p.opScalCtl & HDR_ON_MEAN)     ? s.mean
                   : (p.opScalCtl & HDR_ON_MEDIAN) ? s.median
                                                   : p.mark;
        low = std::max(low, c - w / 2);
        high = std::min(high, c + w / 2);
    } else if (p.opScalCtl & HDR_FROM_LOW) {
        high = std::min(high, low + w);
    } else if (p.opScalCtl & HDR_FROM_HIGH) {
        low = std::max(low, high - w);
    }
}

} // namespace

const char* hdrCurveName(int32u ctl)
{
    return hdrCurveNames[firstCurveIndex(ctl)];
}

int S_FACTORS(int gun)
{
    TAV_ASSERT(gun >= 0 && gun < 4);
    const bandStats& s = activeSbuff().stats[gun];
    scalParams& p = activeSbuff().scal[gun].p;
    if (!s.finalised) {
        DIAG("\nS_FACTORS() fail: incomplete statistics");
        return 0;
    }
    double low = s.low, high = s.high;
    if (p.opScalCtl & HDR_EXTREMA) {
        low = std::max(low, p.extLow);
        high = std::min(high, p.extHigh);
    }
    if (p.opScalCtl & HDR_STDV) {
        sdevRange(p, s, low, high);
    } else if (p.opScalCtl & HDR_UNITS) {
        double w = p.width;
        if (p.opScalCtl & HDR_RANGE_LOHI) {
            if (p.usrLoV > p.usrHiV) {
                std::swap(p.usrLoV, p.usrHiV);
                DIAG("\nS_FACTORS() Warn: usrLoV > usrHiV. Fixed.");
            }
            low = std::max(low, p.usrLoV);
            high = std::min(high, p.usrHiV);
        } else if (p.opScalCtl & HDR_FROM_LOW) {
            high = std::min(high, low + w);
        } else if (p.opScalCtl & HDR_FROM_HIGH) {
            low = std::max(low, high - w);
        } else if (p.opScalCtl & HDR_ON_MARK) {
            low = std::max(low, p.mark - w / 2);
            high = std::min(high, p.mark + w / 2);
        }
    } else {
        DIAG("\n***S_FACTORS(): no range defined. opScalCtl= %08X\n", p.opScalCtl);
    }
    double r = high - low;
    if (!(r >= kTinyRange)) {
        DIAG("\n***S_FACTORS(): LOW= %f HIGH= %f Range too small", low, high);
        // Bounds that crossed (limits outside the data) collapse onto the low bound; the
        // factors come from the widened range so that no curve divides by zero.
        if (!(high >= low))
            high = low;
        low -= kTinyRange;
        high += kTinyRange;
        r = high - low;
    }
    p.range = r;
    int32u curves = p.opScalCtl & HDR_CURVE_BITS;
    if (curves & HDR_LIN) {
        p.linK = 255.0 / r;
    } else if (curves & HDR_LOG) {
        if (low < kTinyRange)
            low = high * kTinyRange;
        p.logK = std::log(high / low);
    } else if (curves & HDR_EXP) {
        p.expK = kLn255 / r;
    } else if (curves & HDR_SINH) {
        p.sinhK = std::asinh(r);
    } else if (curves & HDR_TANH) {
        p.tanhK = kTanhK;
    } else if (curves & HDR_PSEUDO) {
        p.pseudoK = kPseudoK / r;
    } else {
        DIAG("\n***S_FACTORS(): no scaling mode defined. opScalCtl= %08X\n", p.opScalCtl);
    }
    p.low = low;
    p.high = high;
    return 1;
}

hdrRowScale hdrRowScaleOf(const scalParams& p)
{
    hdrRowScale s{0, p.low, p.high, 0, 0, 0};
    switch (p.opScalCtl & kScalingCurves) {
    case HDR_LIN:
        s.curve = 1;
        s.k = p.linK;
        break;
    case HDR_LOG:
        s.curve = 2;
        s.k = p.logK;
        break;
    case HDR_EXP:
        s.curve = 3;
        s.k = p.expK;
        break;
    case HDR_SINH:
        s.curve = 4;
        s.k = p.sinhK / p.range;
        s.h = p.sinhK / 2;
        s.f = 255.0 / (2 * std::sinh(s.h));
        break;
    case HDR_TANH:
        s.curve = 5;
        s.k = p.tanhK / p.range;
        s.h = p.tanhK / 2;
        break;
    case HDR_PSEUDO:
        s.curve = 6;
        s.k = p.pseudoK;
        break;
    default:
        break;
    }
    return s;
}

namespace {

// a > b ? a : b and a < b ? a : b, without a branch (a NaN in a gives b).
inline double selMax(double a, double b)
{
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_max_sd(_mm_set_sd(a), _mm_set_sd(b)));
#else
    return a > b ? a : b;
#endif
}

inline double selMin(double a, double b)
{
#if defined(__SSE2__)
    return _mm_cvtsd_f64(_mm_min_sd(_mm_set_sd(a), _mm_set_sd(b)));
#else
    return a < b ? a : b;
#endif
}

// One loop per curve, free of branches: samples at or below low give 0, at or above high
// 255, a NaN 0, and the curve only ever sees values inside [low, high]. Levels vary from
// pixel to pixel, so a branch per sample would be mispredicted all the time.
template <typename F>
void mapRow(const hdrRowScale& s, const float* in, charu* out, std::size_t n, F curve)
{
    const double lo = s.low, hi = s.high;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = in[i];
        const double xc = selMin(selMax(x, lo), hi);
        double v = curve(xc) * double(x > lo);
        v = selMax(v, double(x >= hi) * 255.0);
        v = selMin(selMax(v, 0.0), 255.0);
        out[i] = static_cast<charu>(static_cast<int>(v));
    }
}

} // namespace

void hdrScaleRowDirect(const hdrRowScale& s, std::span<const float> in, std::span<charu> out)
{
    const std::size_t n = std::min(in.size(), out.size());
    const double lo = s.low, k = s.k, h = s.h, f = s.f;
    const float* x = in.data();
    charu* o = out.data();
    switch (s.curve) {
    case 1: {
        std::size_t i = 0;
#if defined(__SSE2__)
        // Four samples at a time: the commonest render, so it gets the packed form.
        const __m128d vlo = _mm_set1_pd(lo), vhi = _mm_set1_pd(s.high), vk = _mm_set1_pd(k);
        const __m128d zero = _mm_setzero_pd(), full = _mm_set1_pd(255.0);
        auto level = [&](__m128d xv) {
            __m128d v = _mm_mul_pd(_mm_sub_pd(xv, vlo), vk);
            v = _mm_max_pd(v, _mm_and_pd(_mm_cmpge_pd(xv, vhi), full));
            return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, zero), full));
        };
        for (; i + 4 <= n; i += 4) {
            const __m128 x4 = _mm_loadu_ps(x + i);
            const __m128i l4 = _mm_unpacklo_epi64(level(_mm_cvtps_pd(x4)),
                                                  level(_mm_cvtps_pd(_mm_movehl_ps(x4, x4))));
            const __m128i w = _mm_packs_epi32(l4, l4);
            const int32 quad = _mm_cvtsi128_si32(_mm_packus_epi16(w, w));
            std::memcpy(o + i, &quad, sizeof quad);
        }
#endif
        mapRow(s, x + i, o + i, n - i, [=](double v) { return (v - lo) * k; });
        break;
    }
    case 2: {
        // ln(x / low) as ln x - ln low, with 255 / logK taken once: no division per sample.
        const double lnLo = std::log(lo), c = 255.0 / k;
        mapRow(s, x, o, n, [=](double v) { return (std::log(v) - lnLo) * c; });
        break;
    }
    case 3:
        mapRow(s, x, o, n, [=](double v) { return std::exp((v - lo) * k); });
        break;
    case 4:
        mapRow(s, x, o, n, [=](double v) { return 128.0 + std::sinh((v - lo) * k - h) * f; });
        break;
    case 5:
        mapRow(s, x, o, n, [=](double v) { return 128.0 + 128.0 * std::tanh((v - lo) * k - h); });
        break;
    case 6:
        for (std::size_t i = 0; i < n; ++i) {
            charu bgr[3];
            hdrPseudoLevels(s, x[i], bgr);
            o[i] = bgr[2];
        }
        break;
    default:
        break;
    }
}

namespace {

// Curves with a transcendental function cost far more per sample than a table look-up. Every
// curve is monotonic in the sample, so a float's top sixteen bits (sign, exponent and seven
// bits of mantissa) name a bucket of samples whose levels differ by at most one from the
// bucket's first; the bucket keeps its first level and the first sample of the next level.
// Buckets that hold more than two levels (narrow ranges), or NaN, are computed directly.
struct bucketLevel {
    float next;   ///< first sample of level base + 1 in the bucket (+inf when none)
    int16_t base; ///< level of the bucket's first sample; -1: compute directly
};
constexpr int kBuckets = 1 << 16;

struct levelTable {
    hdrRowScale key;
    std::unique_ptr<bucketLevel[]> t;
    bool valid;
};

inline float floatOf(int32u bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

inline int32u bitsOf(float f)
{
    int32u b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

int levelOf(const hdrRowScale& s, float x)
{
    charu v;
    hdrScaleRowDirect(s, std::span<const float>(&x, 1), std::span<charu>(&v, 1));
    return v;
}

void buildLevels(const hdrRowScale& s, bucketLevel* t)
{
    const float inf = std::numeric_limits<float>::infinity();
    for (int32u idx = 0; idx < kBuckets; ++idx) {
        const int32u b0 = idx << 16, b1 = b0 | 0xffff;
        bucketLevel& e = t[idx];
        e = {inf, -1};
        if ((idx & 0x7f80) == 0x7f80) // infinities and NaN
            continue;
        const float f0 = floatOf(b0), f1 = floatOf(b1);
        if (s.low < s.high && (idx & 0x8000 ? f0 : f1) <= s.low) {
            e.base = 0; // the whole bucket lies at or below low
            continue;
        }
        if (s.low < s.high && (idx & 0x8000 ? f1 : f0) >= s.high) {
            e.base = 255;
            continue;
        }
        // Smallest and largest sample of the bucket (negative buckets run downwards).
        const float small = idx & 0x8000 ? f1 : f0, large = idx & 0x8000 ? f0 : f1;
        const int l0 = levelOf(s, small), l1 = levelOf(s, large);
        if (l0 == l1) {
            e.base = static_cast<int16_t>(l0);
        } else if (l1 == l0 + 1 && !(idx & 0x8000)) {
            int32u lo = b0, hi = b1; // level l0 at lo, l1 at hi
            while (hi - lo > 1) {
                int32u mid = lo + (hi - lo) / 2;
                (levelOf(s, floatOf(mid)) > l0 ? hi : lo) = mid;
            }
            e.base = static_cast<int16_t>(l0);
            e.next = floatOf(hi);
        }
    }
}

// Tables of the last four scalings used (one per gun of a render), built on first use.
const bucketLevel* levelsFor(const hdrRowScale& s)
{
    static thread_local levelTable cache[4];
    static thread_local int victim = 0;
    for (auto& c : cache)
        if (c.valid && c.key.curve == s.curve && c.key.low == s.low && c.key.high == s.high &&
            c.key.k == s.k && c.key.h == s.h && c.key.f == s.f)
            return c.t.get();
    levelTable& c = cache[victim];
    victim = (victim + 1) % 4;
    c.valid = false;
    if (!c.t)
        c.t.reset(new (std::nothrow) bucketLevel[kBuckets]);
    if (!c.t)
        return nullptr;
    buildLevels(s, c.t.get());
    c.key = s;
    c.valid = true;
    return c.t.get();
}

} // namespace

void hdrScaleRow(const hdrRowScale& s, std::span<const float> in, std::span<charu> out)
{
    const std::size_t n = std::min(in.size(), out.size());
    // Short rows do not pay for a table; linear and pseudo-colour need none.
    const bucketLevel* t = s.curve >= 2 && s.curve <= 5 && n >= 256 ? levelsFor(s) : nullptr;
    if (!t) {
        hdrScaleRowDirect(s, in, out);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        const float x = in[i];
        const bucketLevel& e = t[bitsOf(x) >> 16];
        out[i] = e.base >= 0 ? static_cast<charu>(e.base + (x >= e.next))
                             : static_cast<charu>(levelOf(s, x));
    }
}

void hdrPseudoLevels(const hdrRowScale& s, float x, charu bgr[3])
{
    double c = x;
    c = c > s.low ? c : s.low; // NaN becomes low as well
    c = c < s.high ? c : s.high;
    double t = (c - s.low) * s.k;
    // Each sine is taken at single precision first; a full 1.0 would give 256, kept at 255.
    float b = static_cast<float>(std::sin(t * 1.2503644376247027));
    float g = static_cast<float>(std::sin((t - 0.495398164) * 0.5991317012893197));
    float r = static_cast<float>(std::sin((t - 2.117145868) * 0.5976542016006143));
    bgr[0] = toLevel(256.0 * b);
    bgr[1] = toLevel(256.0 * g);
    bgr[2] = toLevel(256.0 * r);
}

namespace {

// Lowest and highest level of a chunk, sixteen at a time.
int lowestLevel(const charu* v, int n)
{
    int i = 0, m = 255;
#if defined(__SSE2__)
    __m128i acc = _mm_set1_epi8(-1);
    for (; i + 16 <= n; i += 16)
        acc = _mm_min_epu8(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i)));
    alignas(16) charu lanes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
    for (charu l : lanes)
        m = std::min(m, int(l));
#endif
    for (; i < n; ++i)
        m = std::min(m, int(v[i]));
    return m;
}

int highestLevel(const charu* v, int n)
{
    int i = 0, m = 0;
#if defined(__SSE2__)
    __m128i acc = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        acc = _mm_max_epu8(acc, _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i)));
    alignas(16) charu lanes[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), acc);
    for (charu l : lanes)
        m = std::max(m, int(l));
#endif
    for (; i < n; ++i)
        m = std::max(m, int(v[i]));
    return m;
}

} // namespace

int SCALE_sBUFF_LINE(std::span<const float> samples, std::span<int32u> rgbaLine, int gun, int step,
                     int first, int count)
{
    const bool grey = gun >= HDR_GREY_GUN;
    const int g = gun & 3;
    if (step < 1)
        step = 1;
    if (count <= 0 || first < 0 || static_cast<std::size_t>(count) > rgbaLine.size() ||
        static_cast<std::size_t>(first) + std::size_t(count - 1) * std::size_t(step) >=
            samples.size())
        return 0;
    sbuffMem& m = activeSbuff();
    const hdrRowScale s = hdrRowScaleOf(m.scal[g].p);
    if (s.curve == 0)
        return 0;
    if (s.curve == 6) {
        for (int i = 0; i < count; ++i) {
            float x = samples[std::size_t(first) + std::size_t(i) * std::size_t(step)];
            charu bgr[3];
            hdrPseudoLevels(s, x, bgr);
            int32u px = 0;
            for (int c = 0; c < 3; ++c) {
                putByte(px, c, bgr[c]);
                // bytes 0, 1, 2 are the blue, green and red guns (2, 1, 0)
                if (bgr[c])
                    countLevel(m.scal[2 - c], bgr[c], x);
            }
            rgbaLine[std::size_t(i)] = px;
        }
        return count;
    }
    // Gather a chunk of samples, map it in one pass, then store and count. Each level keeps
    // its count and its sum side by side in one pair of doubles (counts stay exact far beyond
    // any line), so a sample costs one 16-byte add; four interleaved partial sets keep runs of
    // one level, common in smooth areas, from waiting on each other. The partial sets stay zero
    // between calls: only the levels a line reached are gathered and cleared again, so a line
    // of a few levels does not pay for all 256.
    constexpr int kChunk = 512;
    constexpr int kParts = 4;
    float xs[kChunk];
    charu vs[kChunk];
    alignas(16) static thread_local double acc[kParts][256][2]; // [part][level]: count, sum
    int lowLevel = 255, highLevel = 0;
    const int32u keep = grey ? 0xff000000u : ~(int32u(0xff) << (8 * hdrGunByte[g]));
    const int32u spread = grey ? 0x010101u : int32u(1) << (8 * hdrGunByte[g]);
    for (int done = 0; done < count; done += kChunk) {
        const int n = std::min(kChunk, count - done);
        const float* src = samples.data() + first + std::size_t(done) * std::size_t(step);
        const float* x = src;
        if (step != 1) {
            for (int i = 0; i < n; ++i)
                xs[i] = src[std::size_t(i) * std::size_t(step)];
            x = xs;
        }
        hdrScaleRow(s, std::span<const float>(x, std::size_t(n)),
                    std::span<charu>(vs, std::size_t(n)));
        int32u* dst = rgbaLine.data() + done;
        int j = 0;
#if defined(__SSE2__)
        // Four pixels per store: levels widened to 32 bits and spread onto the gun bytes.
        const __m128i vkeep = _mm_set1_epi32(int32(keep)), zero = _mm_setzero_si128();
        const int sh = grey ? 0 : 8 * hdrGunByte[g];
        for (; j + 4 <= n; j += 4) {
            int32 quad;
            std::memcpy(&quad, vs + j, sizeof quad);
            __m128i l = _mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(quad), zero), zero);
            l = grey ? _mm_or_si128(_mm_or_si128(l, _mm_slli_epi32(l, 8)), _mm_slli_epi32(l, 16))
                     : _mm_sll_epi32(l, _mm_cvtsi32_si128(sh));
            auto* p = reinterpret_cast<__m128i*>(dst + j);
            _mm_storeu_si128(p, _mm_or_si128(_mm_and_si128(_mm_loadu_si128(p), vkeep), l));
        }
#endif
        for (; j < n; ++j)
            dst[j] = (dst[j] & keep) | int32u(vs[j]) * spread;
            // NaN and infinite samples always land on level 0 or 255, whose sums the descaling
            // table never reads (its ends are the range bounds), so they need no test here.
#if defined(__SSE2__)
        auto add = [&](int part, int i) {
            double* c = acc[part][vs[i]];
            _mm_store_pd(c, _mm_add_pd(_mm_load_pd(c), _mm_set_pd(double(x[i]), 1.0)));
        };
#else
        auto add = [&](int part, int i) {
            acc[part][vs[i]][0] += 1.0;
            acc[part][vs[i]][1] += double(x[i]);
        };
#endif
        static_assert(kParts == 4);
        int i = 0;
        for (; i + 4 <= n; i += 4) {
            add(0, i);
            add(1, i + 1);
            add(2, i + 2);
            add(3, i + 3);
        }
        for (; i < n; ++i)
            add(0, i);
        lowLevel = std::min(lowLevel, lowestLevel(vs, n));
        highLevel = std::max(highLevel, highestLevel(vs, n));
    }
    bandScalBlk& blk = m.scal[g];
    for (int v = lowLevel; v <= highLevel; ++v) {
        double c = 0, sum = 0;
        for (auto& part : acc) {
            c += part[v][0];
            sum += part[v][1];
            part[v][0] = part[v][1] = 0;
        }
        blk.binCount[v] += int32u(c);
        blk.binSum[v] += sum;
    }
    return count;
}

void RESET_SCALE_HIST(bandScalBlk& b)
{
    std::fill(std::begin(b.binSum), std::end(b.binSum), 0.0);
    std::fill(std::begin(b.binCount), std::end(b.binCount), int32u(0));
}

void BUILD_DESCALE_TABLE(bandScalBlk& b)
{
    for (int v = 1; v < 255; ++v)
        b.descale[v] = b.binCount[v] ? static_cast<float>(b.binSum[v] / b.binCount[v]) : 0.0f;
    b.descale[0] = static_cast<float>(b.p.low);
    b.descale[255] = static_cast<float>(b.p.high);
}

int SET_SCALE_CURVE(int32u control, int32u gunMask)
{
    if (!(control & HDR_CURVE_BITS))
        return 0;
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) {
            p.opScalCtl = (p.opScalCtl & ~HDR_CURVE_BITS) | (control & HDR_CURVE_BITS);
        });
    });
}

int SET_FULL_RANGE(int32u gunMask)
{
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) {
            p.opScalCtl = (p.opScalCtl & ~HDR_RANGE_BITS) | HDR_RANGE_FULL | HDR_UNITS;
        });
    });
}

int SET_SDEV_RANGE(int32u control, int32u gunMask, double width)
{
    if (!(control & HDR_SDEV_MODES))
        return 0;
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) {
            p.opScalCtl = (p.opScalCtl & ~HDR_RANGE_BITS) | (control & HDR_SDEV_MODES) | HDR_STDV;
            p.width = width;
        });
    });
}

int SET_ABS_RANGE_VAL(int32u control, int32u gunMask, double a, double b)
{
    if (!(control & HDR_ABS_MODES)) {
        DIAG("\n***SET_ABS_RANGE_VAL() fail: no mode defined");
        return 0;
    }
    if (control & HDR_RANGE_LOHI) {
        if (a > b)
            std::swap(a, b);
        // Refused before any gun is touched, so a bad pair leaves every gun as it was.
        if (b - a < kTinyRange) {
            DIAG("\nSET_ABS_RANGE_VAL() Low/Hi Range fail: %f %f", a, b);
            return 0;
        }
    }
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) {
            p.opScalCtl &= ~HDR_RANGE_BITS;
            if (control & HDR_RANGE_LOHI) {
                p.usrLoV = a;
                p.usrHiV = b;
                p.opScalCtl |= HDR_RANGE_LOHI | HDR_UNITS;
            } else if (control & HDR_ON_MARK) {
                p.mark = a;
                p.width = b;
                p.opScalCtl |= HDR_ON_MARK | HDR_UNITS;
            } else if (control & HDR_FROM_LOW) {
                p.usrLoV = a;
                if (b > 0) {
                    p.usrHiV = a + b;
                    p.width = 0;
                }
                p.opScalCtl |= HDR_RANGE_LOHI | HDR_UNITS;
            } else {
                p.usrHiV = a;
                if (b > 0) {
                    p.usrLoV = a - b;
                    p.width = 0;
                }
                p.opScalCtl |= HDR_RANGE_LOHI | HDR_UNITS;
            }
        });
    });
}

int SET_ABS_EXTREMA_VAL(int32u control, int32u gunMask, double a, double b)
{
    if (!(control & HDR_ABS_MODES)) {
        DIAG("\n***SET_ABS_EXTREMA_VAL() fail: no mode defined");
        return 0;
    }
    if (control & HDR_RANGE_LOHI) {
        if (a > b)
            std::swap(a, b);
        if (b - a < kTinyRange) {
            DIAG("\nSET_ABS_RANGE_VAL() fail: range < %f", kTinyRange);
            return 0;
        }
    }
    changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int g) {
            const bandStats& s = activeSbuff().stats[g];
            if (control & HDR_RANGE_LOHI) {
                p.extLow = std::max(a, s.low);
                p.extHigh = std::min(b, s.high);
            } else if (control & HDR_ON_MARK) {
                p.extLow = std::max(a - b / 2, s.low);
                p.extHigh = std::min(a + b / 2, s.high);
            } else if (control & HDR_FROM_LOW) {
                p.extLow = std::max(a, s.low);
            } else {
                p.extHigh = std::min(b, s.high);
            }
            p.opScalCtl |= HDR_EXTREMA;
        });
    });
    return 1;
}

int SET_EXTREMA_LOHI(int32u gunMask, double a, double b)
{
    if (a > b)
        std::swap(a, b);
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int g) {
            const bandStats& s = activeSbuff().stats[g];
            p.extLow = std::max(a, s.low);
            p.extHigh = std::min(b, s.high);
            p.opScalCtl |= HDR_EXTREMA;
        });
    });
}

int SET_EXTREMA_THIS(int32u gunMask)
{
    DIAG("\nSET_EXTREMA_THIS() gMask= %04X", gunMask);
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) {
            p.extLow = p.low;
            p.extHigh = p.high;
            p.opScalCtl |= HDR_EXTREMA;
        });
    });
}

int CLEAR_EXTREMA(int32u gunMask)
{
    return changedBy(gunMask, [&] {
        forGuns(gunMask, [&](scalParams& p, int) { p.opScalCtl &= ~HDR_EXTREMA; });
    });
}

int HDR_DEFAULTS(int mode)
{
    return changedBy(15, [&] {
        forGuns(15, [&](scalParams& p, int) {
            if (mode == HDR_MED3SD || mode == HDR_MEAN3SD) {
                p.opScalCtl = mode == HDR_MED3SD ? 0x8801 : 0x4801;
                p.width = 3.0;
            } else {
                p.opScalCtl = 0x1401;
            }
        });
    });
}

void ARCHIVE_SCALING()
{
    scalArchive& a = archives[activeSbuffId()];
    std::memcpy(a.blk, activeSbuff().scal, sizeof a.blk);
    a.saved = true;
}

void ARCHIVE_SCALING_ONCE()
{
    if (!archives[activeSbuffId()].saved)
        ARCHIVE_SCALING();
}

int RESTORE_SCALING()
{
    scalArchive& a = archives[activeSbuffId()];
    if (!a.saved)
        return 0;
    std::memcpy(activeSbuff().scal, a.blk, sizeof a.blk);
    return 1;
}

int SWAP_SCALING()
{
    scalArchive& a = archives[activeSbuffId()];
    if (!a.saved)
        return 0;
    for (int g = 0; g < 4; ++g)
        std::swap(a.blk[g], activeSbuff().scal[g]);
    return 1;
}

void CLEAR_SCALING_ARCHIVE()
{
    archives[activeSbuffId()].saved = false;
}

void resetScalingArchives()
{
    archives[0].saved = archives[1].saved = false;
}

void hdrBandStats(std::span<const float> samples, bandStats& s)
{
    // The same two passes and finalisation as an accumulator load, so that a band rendered
    // from memory and the same band loaded from a file scale alike. The passes may rewrite
    // samples (NaN to 0, unbinnable to low), so they run on copies of the caller's data.
    INIT_BAND_STATS(&s, 0);
    if (samples.empty()) {
        s.low = s.high = 0;
        s.finalised = 1;
        return;
    }
    constexpr std::size_t kChunk = 4096;
    float chunk[kChunk];
    auto eachChunk = [&](auto pass) {
        for (std::size_t at = 0; at < samples.size(); at += kChunk) {
            const std::size_t n = std::min(kChunk, samples.size() - at);
            std::memcpy(chunk, samples.data() + at, n * sizeof(float));
            pass(n);
        }
    };
    eachChunk([&](std::size_t n) { P1_ACCUM_FSTATS(chunk, &s, n); });
    std::unique_ptr<bandScalBlk> blk(new (std::nothrow) bandScalBlk{});
    if (!blk)
        return; // not finalised: S_FACTORS refuses the band instead of scaling it wrongly
    eachChunk([&](std::size_t n) { P2_ACCUM_FSTATS(chunk, blk.get(), &s, n); });
    FINISH_FSTATS(blk.get(), &s);
}

rgbaRaster SCALE_TO_RGBA(const float* const bands[4], int32 cols, int32 rows, int nBands,
                         int32u flags, const bandStats* stats, int* status)
{
    int dummy = 0;
    int& st = status ? *status : dummy;
    st = 0;
    // Bit 8 says how the bands are laid out, so only R, G and B can be asked for.
    const int32u mask = flags & 7;
    if (!mask || nBands < 1 || nBands > 4 || (nBands == 1 && mask == 7) || cols < 1 || rows < 1) {
        st = -1;
        return nullptr;
    }
    const bool pixelIl = flags & S2R_PIXEL_IL;
    const bool grey = nBands == 1 && (flags & S2R_GREY);
    for (int g = 0; g < 4; ++g) {
        if (!(mask & (1u << g)))
            continue;
        if (pixelIl ? (!bands[0] || g >= nBands) : !bands[g]) {
            st = -2;
            return nullptr;
        }
    }
    const std::size_t pixels = std::size_t(cols) * std::size_t(rows);
    if (!SAFE_MEM_REQ(std::uint64_t(pixels) * 4, nullptr)) {
        st = -3;
        return nullptr;
    }
    rgbaRaster raster(new (std::nothrow) int32u[pixels]());
    if (!raster) {
        st = -3;
        return nullptr;
    }
    sbuffMem& m = activeSbuff();
    // The gun scaling words stay: they are what the caller asks the bands to be rendered by.
    for (int g = 0; g < 4; ++g) {
        m.stats[g] = {};
        m.stats[g].low = 1e37;
        m.stats[g].high = -1e37;
        RESET_SCALE_HIST(m.scal[g]);
    }
    std::vector<float> band;
    int firstGun = -1;
    for (int g = 0; g < 4; ++g) {
        if (!(mask & (1u << g)))
            continue;
        if (firstGun < 0)
            firstGun = g;
        if (stats && stats[g].finalised) {
            m.stats[g] = stats[g];
        } else if (pixelIl) {
            band.resize(pixels);
            for (std::size_t i = 0; i < pixels; ++i)
                band[i] = bands[0][i * std::size_t(nBands) + std::size_t(g)];
            hdrBandStats(band, m.stats[g]);
        } else {
            hdrBandStats(std::span<const float>(bands[g], pixels), m.stats[g]);
        }
        S_FACTORS(g);
    }
    if (grey) {
        for (int g = 0; g < 4; ++g) {
            if (g == firstGun)
                continue;
            m.stats[g] = m.stats[firstGun];
            m.scal[g] = m.scal[firstGun];
        }
    }
    for (int32 r = 0; r < rows; ++r) {
        std::span<int32u> line(raster.get() + std::size_t(r) * std::size_t(cols),
                               std::size_t(cols));
        for (int g = 0; g < 4; ++g) {
            if (!(mask & (1u << g)))
                continue;
            if (pixelIl) {
                std::span<const float> row(bands[0] + std::size_t(r) * std::size_t(cols) *
                                                          std::size_t(nBands),
                                           std::size_t(cols) * std::size_t(nBands));
                SCALE_sBUFF_LINE(row, line, grey ? g + HDR_GREY_GUN : g, nBands, g, cols);
            } else {
                std::span<const float> row(bands[g] + std::size_t(r) * std::size_t(cols),
                                           std::size_t(cols));
                SCALE_sBUFF_LINE(row, line, grey ? g + HDR_GREY_GUN : g, 1, 0, cols);
            }
        }
    }
    for (int g = 0; g < 4; ++g)
        if (mask & (1u << g))
            BUILD_DESCALE_TABLE(m.scal[g]);
    ARCHIVE_SCALING_ONCE();
    return raster;
}

int LUT_NORMLZ(const histSummary hist[3], charu luts[4][256], int32u curve, int32u gunMask,
               bool common)
{
    int kind = 0;
    for (int i = 0; i < 5 && !kind; ++i)
        if (curve & (1u << i))
            kind = i + 1;
    if (!(gunMask & 15) || !kind) {
        DIAG("\nLUT_NORMLZ() no guns or mode defined");
        return -1;
    }
    int lo[3], hi[3];
    for (int g = 0; g < 3; ++g) {
        lo[g] = toLevel(hist[g][0]);
        hi[g] = toLevel(hist[g][1]);
    }
    if (common) {
        int l = std::min({lo[0], lo[1], lo[2]}), h = std::max({hi[0], hi[1], hi[2]});
        for (int g = 0; g < 3; ++g) {
            lo[g] = l;
            hi[g] = h;
        }
    }
    for (int g = 0; g < 3; ++g) {
        if (!(gunMask & (1u << g)))
            continue;
        const double r = hi[g] - lo[g];
        const double a = std::asinh(r);
        for (int i = 0; i < 256; ++i) {
            double v;
            const double d = i - lo[g];
            if (i <= lo[g])
                v = 0;
            else if (i >= hi[g])
                v = 255;
            else if (kind == 1)
                v = d * 255 / r;
            else if (kind == 2)
                v = std::log(d) * (r > 1 ? 255 / std::log(r) : 0.0);
            else if (kind == 3)
                v = std::exp(d * (r > 0 ? kLn255 / r : 0.0));
            else if (kind == 4)
                v = 128 + std::sinh(d * a / r - a / 2) * 255 / (2 * std::sinh(a / 2));
            else
                v = 128 + 128 * std::tanh(d * kTanhK / r - kTanhK / 2);
            luts[g][i] = toLevel(v);
        }
    }
    return 0;
}

namespace {

const char* curveText(int32u ctl)
{
    switch (firstCurveIndex(ctl)) {
    case 1:
        return "LINEAR\n  No Range enhancement";
    case 2:
        return "LOG\n  Enhance Low Range";
    case 3:
        return "EXPONENTIAL\n  Enhance High Range";
    case 4:
        return "SINE HYPERBOLIC\n  Enhance Low & High Range";
    case 5:
        return "TAN HYPERBOLIC\n  Enhance Mid-Range";
    case 6:
        return "PSEUDOCOLOR\n  RGB SINE curves across Range";
    default:
        return "err1";
    }
}

const char* rangeText(int32u ctl)
{
    if (ctl & HDR_UNITS) {
        if (ctl & HDR_RANGE_FULL)
            return "Full Data Range";
        if (ctl & HDR_RANGE_LOHI)
            return "Sensor Units LOW|HIGH range";
        if (ctl & HDR_FROM_LOW)
            return "Sensor Units Range from LOW bound";
        if (ctl & HDR_FROM_HIGH)
            return "Sensor Units Range from HIGH bound";
        if (ctl & HDR_ON_MARK)
            return "Sensor Units Range Centered on Mark";
        return "err2";
    }
    if (ctl & HDR_STDV) {
        if (ctl & HDR_ON_MEAN)
            return "Std Dev Centered on Mean";
        if (ctl & HDR_ON_MEDIAN)
            return "Std Dev Centered on Median";
        if (ctl & HDR_FROM_LOW)
            return "Std Dev from LOW bound";
        if (ctl & HDR_FROM_HIGH)
            return "Std Dev from HIGH bound";
        if (ctl & HDR_ON_MARK)
            return "Std Dev centered on RGB at point";
        return "err3";
    }
    return "err4";
}

} // namespace

std::string GET_SCALING_STATUS(int32u gunMask)
{
    if (!(gunMask & 7)) {
        DIAG("\nGET_SCALING_STATUS(): no bandss defined");
        return {};
    }
    static const char* const bandNames[3] = {"RED", "GREEN", "BLUE"};
    std::string text = strPrintf(
        "  High Dynamic Range Scaling Settings \n       sBUFF:  %s\n       Render: %s\n\n",
        activeSbuffId() == SBUFF_EXPLOIT ? "EXPLOIT ~APPS" : "LOADER",
        hdrSet.autoMode ? "Automatic" : "Manual");
    bool first = true;
    for (int g = 0; g < 3; ++g) {
        if (!(gunMask & (1u << g)))
            continue;
        const scalParams& p = activeSbuff().scal[g].p;
        const bandStats& s = activeSbuff().stats[g];
        const int32u ctl = p.opScalCtl;
        std::string data = strPrintf("DATA:    %10.4f %10.4f", s.low, s.high);
        if (ctl & HDR_EXTREMA)
            data += strPrintf("\nEXTREMA: %10.4f %10.4f", p.extLow, p.extHigh);
        if (!first)
            text += "\n\n";
        first = false;
        const char* band = bandNames[g];
        if ((ctl & HDR_UNITS) && (ctl & HDR_RANGE_FULL)) {
            text += strPrintf("BAND:    %s\nSCALE:   %s\nSMODE:   %s\n%s", band, curveText(ctl),
                              rangeText(ctl), data.c_str());
        } else if (ctl & HDR_STDV) {
            double lo = s.low, hi = s.high;
            sdevRange(p, s, lo, hi);
            lo = std::max(lo, p.low);
            hi = std::min(hi, p.high);
            text += strPrintf(
                "BAND:    %s\nSCALE:   %s\nSMODE:   %s\nUNITS:   %5.3F %s\nRANGE:   %10.4f "
                "%10.4f\n%s",
                band, curveText(ctl), rangeText(ctl), p.width, "Standard Deviations", lo, hi,
                data.c_str());
        } else if (ctl & HDR_UNITS) {
            text +=
                strPrintf("BAND:    %s\nSCALE:   %s\nSMODE:   %s\nRANGE:   %10.4f %10.4f\n%s", band,
                          curveText(ctl), rangeText(ctl), p.usrLoV, p.usrHiV, data.c_str());
        } else {
            text += "Scaling control error";
        }
    }
    return text;
}

std::string SHOW_sBUFF_STATUS(int slot, bool writeEnabled)
{
    if (slot != SBUFF_LOADER_SLOT && slot != SBUFF_EXPLOIT_SLOT) {
        DIAG("***SHOW_sBUFF_STATUS(): Fail-undefined sBUFF");
        return {};
    }
    const bool exploit = slot == SBUFF_EXPLOIT_SLOT;
    const sbuffMem& m = sbuffInstance(exploit ? SBUFF_EXPLOIT : SBUFF_LOADER);
    const char* name = exploit ? "EXPLOIT" : "LOADER";
    const char* access = exploit && writeEnabled ? "ENABLED" : "Protected";
    if (m.desc.defined != 1)
        return strPrintf("  High Dynamic Range Scaling Accumulator  \n           %s sBUFF\n    "
                         "Access:   %s\n    Content:  EMPTY",
                         name, access);
    static const char* const orgs[5] = {"", "GRAY", "AREA IL", "SCAN IL", "PIXL IL"};
    const char* org = m.desc.sMode >= 1 && m.desc.sMode <= 4 ? orgs[m.desc.sMode] : "";
    std::string process(m.desc.process, strnlen(m.desc.process, sizeof m.desc.process));
    std::string text = strPrintf(
        "              High Dynamic Range Scaling Accumulator\n                            %s "
        "sBUFF\nCols/Rows: %d  %d\nBands:     %d\nFile Org:  %s\niBuff ID:  %d\nAccess:    "
        "%s\nTag:       %s\n\n",
        name, int(m.desc.cols), int(m.desc.rows), int(m.desc.nBands), org, int(m.desc.srcBuf),
        access, process.c_str());
    const int n = std::clamp<int>(m.desc.nScaleBands, 0, SBUFF_MAX_SCALE_BANDS);
    for (int b = 0; b < n; ++b) {
        const bandStats& s = m.stats[b];
        text +=
            strPrintf("BAND: %d\nHigh:%10.4f  Mean:  %10.4f  StDev:%10.4f  Skew: %8.6f\nLow: "
                      "%10.4f  Median:%10.4f  Mode: %10.4f  Curt: %8.6f\n\n",
                      b + 1, s.high, s.mean, s.stdDev, s.skew, s.low, s.median, s.mode, s.kurtosis);
    }
    text.resize(text.size() - 2);
    return text;
}

namespace {

// Tokens of an HDR tag value, split at commas and blanks; each token remembers whether a
// comma followed it.
struct tagToken {
    std::string_view word;
    bool comma;
};

class tagReader {
public:
    explicit tagReader(std::string_view text) : text_(text) {}
    bool next(tagToken& t)
    {
        while (pos_ < text_.size() && isDelim(text_[pos_]))
            ++pos_;
        if (pos_ >= text_.size())
            return false;
        std::size_t start = pos_;
        while (pos_ < text_.size() && !isDelim(text_[pos_]))
            ++pos_;
        t.word = text_.substr(start, pos_ - start);
        t.comma = false;
        while (pos_ < text_.size() && isDelim(text_[pos_])) {
            if (text_[pos_] == ',') {
                t.comma = true;
                ++pos_;
                break; // an empty field after the comma is the next token's business
            }
            ++pos_;
        }
        return true;
    }

private:
    static bool isDelim(char c) { return c == ',' || c == ' ' || c == '\t'; }
    std::string_view text_;
    std::size_t pos_ = 0;
};

bool toNumber(std::string_view w, double& v)
{
    std::string s(w);
    char* end = nullptr;
    v = std::strtod(s.c_str(), &end);
    return !s.empty() && end == s.c_str() + s.size() && std::isfinite(v);
}

// Checks the numbers of a range and then applies curve and range to the guns; nothing is
// changed when the numbers are refused.
int applyTagScaling(int32u guns, int32u curve, int32u range, int nNums, double p1, double p2)
{
    if (range != HDR_RANGE_FULL) {
        if (range == HDR_RANGE_LOHI) {
            if (nNums < 2 || std::fabs(p1 - p2) < kTinyRange)
                return -7;
        } else if (nNums < 1 || !(p1 > 0.0) || p1 > 5.0) {
            // A width of no standard deviations at all (or fewer) is no range.
            return -7;
        }
    }
    SET_SCALE_CURVE(curve, guns);
    CLEAR_EXTREMA(15);
    if (range == HDR_RANGE_FULL)
        SET_FULL_RANGE(guns);
    else if (range == HDR_RANGE_LOHI)
        SET_ABS_RANGE_VAL(HDR_RANGE_LOHI, guns, p1, p2);
    else
        SET_SDEV_RANGE(range, guns, p1);
    return 0;
}

} // namespace

int PARSE_HDR_TAG(std::string_view text, int32u* control)
{
    tagReader rd(text);
    tagToken t{};
    if (!rd.next(t))
        return -2;
    if (WORDEQ(t.word, "RESET")) {
        int mode = HDR_FULL;
        if (t.comma) {
            tagToken m{};
            if (!rd.next(m) || m.word[0] < '0' || m.word[0] > '2')
                return -1;
            mode = m.word[0] - '0';
        }
        HDR_DEFAULTS(mode);
        return 0;
    }
    int32u guns = 0;
    if (!hdrChannelsOf(t.word, guns))
        return -2;
    int32u curve = 0;
    if (!rd.next(t) || !hdrLookupWord(hdrCurveWords, t.word, curve))
        return -4;
    if (curve == HDR_PSEUDO)
        guns = HDR_CH_R;
    if (!t.comma)
        return -3;
    int32u range = 0;
    if (!rd.next(t) || !hdrLookupWord(hdrRangeWords, t.word, range))
        return -6;
    int nNums = 0;
    double nums[2] = {0, 0};
    if (range != HDR_RANGE_FULL) {
        if (!t.comma)
            return -5;
        while (nNums < 2 && rd.next(t)) {
            if (!toNumber(t.word, nums[nNums]))
                return -7;
            ++nNums;
        }
    }
    int rc = applyTagScaling(guns, curve, range, nNums, nums[0], nums[1]);
    if (rc == 0 && control)
        *control = curve | range;
    return rc;
}

int APPLY_HDR_TAG()
{
    if (!hdrSet.tagGiven)
        return 0;
    const int32u curve = hdrSet.tagFlags & HDR_CURVE_BITS;
    const int32u range = hdrSet.tagFlags & HDR_RANGE_BITS;
    if (!(curve & kScalingCurves))
        return -4;
    if (range != HDR_RANGE_FULL && range != HDR_RANGE_LOHI && !(range & HDR_SDEV_MODES))
        return -6;
    const int32u guns = curve == HDR_PSEUDO ? HDR_CH_R : (hdrSet.tagChannels & 15);
    if (!guns)
        return -2;
    return applyTagScaling(guns, curve, range, 2, hdrSet.tagP1, hdrSet.tagP2);
}

int CRE_HDR_LD_SCRIPT(const bufdes* bd, std::string& out)
{
    out.clear();
    if (!bd || !bd->imgDes || bd->numImgs < 1 || bd->curImg < 0 || bd->curImg >= bd->numImgs)
        return -1;
    const ides& img = bd->imgDes[bd->curImg];
    if (!img.hdrImg || !IMAGE_RENDERED(img))
        return -1;
    auto split = [](const fdes& fd, std::string_view& dir, std::string_view& name) {
        std::string_view path(fd.path, strnlen(fd.path, sizeof fd.path));
        std::size_t slash = path.rfind('/');
        if (slash == std::string_view::npos || slash + 1 >= path.size())
            return false;
        dir = path.substr(0, slash == 0 ? 1 : slash);
        name = path.substr(slash + 1);
        return true;
    };
    std::string_view ipath, firstName;
    if (!split(img.fd[0], ipath, firstName))
        return -2;
    static const char gunLetter[3] = {'R', 'G', 'B'};
    std::vector<std::string> lines;
    bool oneBand = false;
    for (int slot = 0; slot < 3; ++slot) {
        const fdes& fd = img.fd[slot];
        if (!fd.path[0])
            continue;
        std::string_view dir, name;
        if (!split(fd, dir, name))
            return -2;
        const bool threeBands = fd.dBands >= 3;
        oneBand = !threeBands;
        // An image from another folder than the script's IPATH is named by its full path.
        std::string line = "i=\"";
        line += dir == ipath ? name : std::string_view(fd.path, strnlen(fd.path, sizeof fd.path));
        line += '"';
        if (!threeBands)
            line += strPrintf(" GUN=%c", gunLetter[slot]);
        line += strPrintf(" COLS=%d ROWS=%d", int(fd.lCols), int(fd.lRows));
        if (fd.fXofs > 0 || fd.fYofs >= 1)
            line += strPrintf(" FXY=%d,%d", int(fd.fXofs), int(fd.fYofs));
        if (fd.dCols != fd.lCols || fd.dRows != fd.lRows)
            line += strPrintf(" SFACT=%f,%f", fd.deres[0], fd.deres[1]);
        const int g0 = threeBands ? 0 : slot, g1 = threeBands ? 3 : slot + 1;
        for (int g = g0; g < g1; ++g) {
            const scalParams& p = activeSbuff().scal[g].p;
            line += strPrintf(" HDR=%c,", gunLetter[g]);
            if (const char* w = hdrWordOf(hdrCurveWords, p.opScalCtl & kScalingCurves))
                line += std::string(w) + ",";
            line += strPrintf("LO-HI,%f,%f", p.low, p.high);
        }
        lines.push_back(std::move(line));
        if (threeBands)
            break;
    }
    if (lines.empty())
        return -2;
    if (lines.size() == 1 && oneBand) {
        // A single grey image needs no gun: the loader renders it grey.
        std::size_t at = lines[0].find(" GUN=R");
        if (at != std::string::npos)
            lines[0].erase(at, 6);
    }
    out = "INIT STATIC IPATH=\"" + std::string(ipath) + "\" \\\n";
    for (const auto& l : lines)
        out += "  " + l + "\n";
    DIAG("CRE_LDR_SCRIPT=%s", out.c_str());
    return 0;
}

int WRITE_HDR_LD_SCRIPT(const std::string& path, std::string_view description,
                        std::string_view script)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return -1;
    std::string header = "# HDR scene load script\n# " + std::string(description) + "\n#\n";
    bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size();
    ok = ok && std::fwrite(script.data(), 1, script.size(), f) == script.size();
    // A full disk shows at the flush or the close; either is a failed save.
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    return ok ? 0 : -2;
}
