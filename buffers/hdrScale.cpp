#include "hdrScale.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diag.h"
#include "sbuffActive.h"

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

// One loop per curve so that the inner loops carry no test of the curve kind. Samples at or
// below low give 0 and at or above high 255 (a NaN fails both tests and every curve gives it 0).
void hdrScaleRow(const hdrRowScale& s, std::span<const float> in, std::span<charu> out)
{
    const std::size_t n = std::min(in.size(), out.size());
    const double lo = s.low, hi = s.high, k = s.k, h = s.h, f = s.f;
    switch (s.curve) {
    case 1:
        for (std::size_t i = 0; i < n; ++i) {
            double x = in[i];
            double v = (x - lo) * k;
            out[i] = toLevel(x >= hi ? 255.0 : v);
        }
        break;
    case 2:
        for (std::size_t i = 0; i < n; ++i) {
            double x = in[i];
            double v = x > lo ? 255.0 * std::log(x / lo) / k : 0.0;
            out[i] = toLevel(x >= hi ? 255.0 : v);
        }
        break;
    case 3:
        for (std::size_t i = 0; i < n; ++i) {
            double x = in[i];
            double v = x > lo ? std::exp((x - lo) * k) : 0.0;
            out[i] = toLevel(x >= hi ? 255.0 : v);
        }
        break;
    case 4:
        for (std::size_t i = 0; i < n; ++i) {
            double x = in[i];
            double v = x > lo ? 128.0 + std::sinh((x - lo) * k - h) * f : 0.0;
            out[i] = toLevel(x >= hi ? 255.0 : v);
        }
        break;
    case 5:
        for (std::size_t i = 0; i < n; ++i) {
            double x = in[i];
            double v = x > lo ? 128.0 + 128.0 * std::tanh((x - lo) * k - h) : 0.0;
            out[i] = toLevel(x >= hi ? 255.0 : v);
        }
        break;
    case 6:
        for (std::size_t i = 0; i < n; ++i) {
            charu bgr[3];
            hdrPseudoLevels(s, in[i], bgr);
            out[i] = bgr[2];
        }
        break;
    default:
        break;
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
    // Gather a chunk of samples, map it in one pass, then store and count.
    constexpr int kChunk = 512;
    float xs[kChunk];
    charu vs[kChunk];
    bandScalBlk& blk = m.scal[g];
    for (int done = 0; done < count; done += kChunk) {
        const int n = std::min(kChunk, count - done);
        const float* src = samples.data() + first + std::size_t(done) * std::size_t(step);
        if (step == 1) {
            std::memcpy(xs, src, sizeof(float) * std::size_t(n));
        } else {
            for (int i = 0; i < n; ++i)
                xs[i] = src[std::size_t(i) * std::size_t(step)];
        }
        hdrScaleRow(s, std::span<const float>(xs, std::size_t(n)),
                    std::span<charu>(vs, std::size_t(n)));
        int32u* dst = rgbaLine.data() + done;
        for (int i = 0; i < n; ++i) {
            if (grey) {
                putByte(dst[i], hdrGunByte[0], vs[i]);
                putByte(dst[i], hdrGunByte[1], vs[i]);
                putByte(dst[i], hdrGunByte[2], vs[i]);
            } else {
                putByte(dst[i], hdrGunByte[g], vs[i]);
            }
            countLevel(blk, vs[i], xs[i]);
        }
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
