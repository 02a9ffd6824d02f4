// Ranges, curves, the line scaler, the setters, the defaults and the archive of HDR scaling,
// checked against hand-computed values on statistics records filled directly.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "hdrScale.h"
#include "sbuffActive.h"

namespace {

void setStats(int g, double low, double high, double mean = 0, double median = 0, double sd = 0)
{
    bandStats& s = activeSbuff().stats[g];
    s = {};
    s.low = low;
    s.high = high;
    s.mean = mean;
    s.median = median;
    s.stdDev = sd;
    s.finalised = 1;
}

scalParams& params(int g)
{
    return activeSbuff().scal[g].p;
}

class HdrScale : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetSbuffs();
        resetScalingArchives();
    }
};

struct rangeCase {
    const char* what;
    int32u ctl;
    double width, usrLo, usrHi, mark, extLo, extHi;
    double dataLo, dataHi;
    double low, high;
};

TEST_F(HdrScale, RangeModesGiveTheWorkingBounds)
{
    // Band: mean 100, median 90, standard deviation 10.
    const rangeCase cases[] = {
        {"med3sd", 0x8801, 3, 0, 0, 0, 0, 0, 0, 1000, 75, 105},
        {"med3sd clamped to data", 0x8801, 3, 0, 0, 0, 0, 0, 80, 1000, 80, 105},
        {"mean3sd", 0x4801, 3, 0, 0, 0, 0, 0, 0, 1000, 85, 115},
        {"sdev on mark", 0x10801, 2, 0, 0, 500, 0, 0, 0, 1000, 490, 510},
        {"sdev from low", 0x20801, 2, 0, 0, 0, 0, 0, 0, 1000, 0, 20},
        {"sdev from high", 0x40801, 2, 0, 0, 0, 0, 0, 0, 1000, 980, 1000},
        {"full", 0x1401, 0, 0, 0, 0, 0, 0, -5, 1000, -5, 1000},
        {"low/high", 0x2401, 0, 200, 300, 0, 0, 0, 0, 1000, 200, 300},
        {"low/high reversed", 0x2401, 0, 300, 200, 0, 0, 0, 0, 1000, 200, 300},
        {"units from low", 0x20401, 50, 0, 0, 0, 0, 0, 0, 1000, 0, 50},
        {"units from high", 0x40401, 50, 0, 0, 0, 0, 0, 0, 1000, 950, 1000},
        {"units on mark", 0x10401, 100, 0, 0, 500, 0, 0, 0, 1000, 450, 550},
        {"extrema on full", 0x81401, 0, 0, 0, 0, 100, 200, 0, 1000, 100, 200},
        {"extrema wider than data", 0x81401, 0, 0, 0, 0, -50, 5000, 0, 1000, 0, 1000},
        {"no range bits keeps data", 0x1, 0, 0, 0, 0, 0, 0, 3, 9, 3, 9},
    };
    for (const auto& c : cases) {
        setStats(0, c.dataLo, c.dataHi, 100, 90, 10);
        params(0) = {};
        params(0).opScalCtl = c.ctl;
        params(0).width = c.width;
        params(0).usrLoV = c.usrLo;
        params(0).usrHiV = c.usrHi;
        params(0).mark = c.mark;
        params(0).extLow = c.extLo;
        params(0).extHigh = c.extHi;
        ASSERT_EQ(S_FACTORS(0), 1) << c.what;
        EXPECT_DOUBLE_EQ(params(0).low, c.low) << c.what;
        EXPECT_DOUBLE_EQ(params(0).high, c.high) << c.what;
        EXPECT_DOUBLE_EQ(params(0).range, c.high - c.low) << c.what;
        EXPECT_DOUBLE_EQ(params(0).linK, 255.0 / (c.high - c.low)) << c.what;
    }
}

TEST_F(HdrScale, FactorsNeedFinalisedStatisticsAndSurviveDegenerateRanges)
{
    setStats(0, 0, 10);
    activeSbuff().stats[0].finalised = 0;
    params(0).opScalCtl = 0x1401;
    EXPECT_EQ(S_FACTORS(0), 0);

    // A constant band: the range is widened and every factor comes from the widened range.
    setStats(0, 5, 5);
    ASSERT_EQ(S_FACTORS(0), 1);
    EXPECT_DOUBLE_EQ(params(0).low, 5 - 1e-05);
    EXPECT_DOUBLE_EQ(params(0).high, 5 + 1e-05);
    EXPECT_TRUE(std::isfinite(params(0).linK));
    EXPECT_NEAR(params(0).range, 2e-05, 1e-12);

    // Bounds that cross (extrema beyond the data) still give finite factors.
    setStats(0, 0, 100);
    params(0).opScalCtl = 0x81401;
    params(0).extLow = 500;
    params(0).extHigh = 600;
    ASSERT_EQ(S_FACTORS(0), 1);
    EXPECT_TRUE(std::isfinite(params(0).linK));
    EXPECT_GT(params(0).range, 0.0);

    // LOG with a low bound at zero starts at high x 1e-05.
    setStats(0, 0, 2000);
    params(0) = {};
    params(0).opScalCtl = 0x2402;
    params(0).usrLoV = 0;
    params(0).usrHiV = 1000;
    ASSERT_EQ(S_FACTORS(0), 1);
    EXPECT_DOUBLE_EQ(params(0).low, 0.01);
    EXPECT_DOUBLE_EQ(params(0).logK, std::log(1000 / 0.01));
}

// Levels of the given samples after S_FACTORS on a band from lo to hi, full range.
std::vector<int> levels(int32u curve, double lo, double hi, std::vector<float> xs)
{
    setStats(0, lo, hi);
    params(0) = {};
    params(0).opScalCtl = curve | 0x1400;
    EXPECT_EQ(S_FACTORS(0), 1);
    std::vector<charu> out(xs.size());
    hdrScaleRow(hdrRowScaleOf(params(0)), xs, out);
    return {out.begin(), out.end()};
}

TEST_F(HdrScale, EveryCurveAtItsEndsMiddleAndOutside)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct curveCase {
        int32u curve;
        double lo, hi;
        float mid;
        int midLevel;
    };
    const curveCase cases[] = {
        {HDR_LIN, 0, 100, 50, 127},         // 50 x 2.55
        {HDR_LOG, 1, 100, 10, 127},         // 255 ln 10 / ln 100
        {HDR_EXP, 0, 100, 50, 15},          // sqrt(255)
        {HDR_SINH, 0, 100, 50, 128},        // midpoint
        {HDR_TANH, 0, 100, 50, 128},        // midpoint
        {HDR_TANH, 0, 100, 0.001f, 0},      // just above low
        {HDR_SINH, 0, 100, 99.99999f, 255}, // just below high, not past it
        {HDR_EXP, 0, 100, 99.99999f, 254},  // just below 255
        {HDR_LIN, -1e6, 1e6, 0, 127},       // wide signed range
    };
    for (const auto& c : cases) {
        auto v = levels(c.curve, c.lo, c.hi,
                        {float(c.lo), float(c.hi), c.mid, float(c.lo - 1), float(c.hi + 1), nan});
        EXPECT_EQ(v[0], 0) << "curve " << c.curve << " at low";
        EXPECT_EQ(v[1], 255) << "curve " << c.curve << " at high";
        EXPECT_EQ(v[2], c.midLevel) << "curve " << c.curve << " at " << c.mid;
        EXPECT_EQ(v[3], 0) << "curve " << c.curve << " below";
        EXPECT_EQ(v[4], 255) << "curve " << c.curve << " above";
        EXPECT_EQ(v[5], 0) << "curve " << c.curve << " NaN";
    }
    // A constant band scales without dividing by zero: at or above its value is 255.
    auto flat = levels(HDR_LIN, 7, 7, {7.0f, 6.0f, 8.0f});
    EXPECT_EQ(flat, (std::vector<int>{127, 0, 255}));
}

TEST_F(HdrScale, FastRowsAgreeWithTheCurveFormulasOnEveryLength)
{
    // The row kernels take samples in pairs with a single tail; every length and every
    // position must give what the plain formula gives.
    setStats(0, -3, 1000);
    std::vector<float> xs;
    for (int i = 0; i < 1001; ++i)
        xs.push_back(float(i * 1.013 - 7));
    xs[500] = std::numeric_limits<float>::quiet_NaN();
    xs[501] = std::numeric_limits<float>::infinity();
    xs[502] = -std::numeric_limits<float>::infinity();
    for (int32u curve : {HDR_LIN, HDR_LOG, HDR_TANH}) {
        params(0) = {};
        params(0).opScalCtl = curve | 0x2400;
        params(0).usrLoV = 12.5;
        params(0).usrHiV = 880.25;
        ASSERT_EQ(S_FACTORS(0), 1);
        const scalParams& p = params(0);
        for (std::size_t len : {std::size_t(1001), std::size_t(1000), std::size_t(3)}) {
            std::vector<charu> out(len);
            hdrScaleRow(hdrRowScaleOf(p), std::span<const float>(xs.data(), len), out);
            for (std::size_t i = 0; i < len; ++i) {
                double x = xs[i], v;
                if (!(x > p.low))
                    v = 0;
                else if (x >= p.high)
                    v = 255;
                else if (curve == HDR_LIN)
                    v = (x - p.low) * p.linK;
                else if (curve == HDR_LOG)
                    v = 255 * std::log(x / p.low) / p.logK;
                else
                    v = 128 + 128 * std::tanh((x - p.low) * p.tanhK / p.range - p.tanhK / 2);
                EXPECT_NEAR(out[i], std::floor(v), curve == HDR_LIN ? 0 : 1)
                    << "curve " << curve << " sample " << i << " of " << len;
            }
        }
    }
}

TEST_F(HdrScale, LevelTablesGiveExactlyTheComputedLevels)
{
    // Samples of every magnitude and sign, the special values, and dense runs near the range.
    std::mt19937 rng(7);
    std::vector<float> xs;
    for (int i = 0; i < 20000; ++i) {
        int32u bits = rng();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        xs.push_back(f);
    }
    std::uniform_real_distribution<float> near(-10.0f, 1200.0f);
    for (int i = 0; i < 40000; ++i)
        xs.push_back(near(rng));
    xs.push_back(std::numeric_limits<float>::quiet_NaN());
    xs.push_back(std::numeric_limits<float>::infinity());
    xs.push_back(-std::numeric_limits<float>::infinity());
    xs.push_back(-0.0f);
    struct rangeCase {
        double lo, hi;
    };
    // Wide, narrow (buckets spanning many levels), a hair-thin one and one below zero.
    const rangeCase ranges[] = {{0.5, 1000}, {100, 101.5}, {7, 7.00002}, {-50, -2}};
    for (int32u curve : {HDR_LOG, HDR_EXP, HDR_SINH, HDR_TANH}) {
        for (const auto& r : ranges) {
            setStats(0, -1e6, 1e6);
            params(0) = {};
            params(0).opScalCtl = curve | 0x2400;
            params(0).usrLoV = r.lo;
            params(0).usrHiV = r.hi;
            ASSERT_EQ(S_FACTORS(0), 1);
            const hdrRowScale s = hdrRowScaleOf(params(0));
            // Every float around the middle of the range: each level change is met exactly.
            std::vector<float> sweep = xs;
            float mid = float((r.lo + r.hi) / 2);
            int32u m;
            std::memcpy(&m, &mid, sizeof m);
            for (int32u b = m - 100000; b != m + 100000; ++b) {
                float f;
                std::memcpy(&f, &b, sizeof f);
                sweep.push_back(f);
            }
            std::vector<charu> fast(sweep.size()), direct(sweep.size());
            hdrScaleRow(s, sweep, fast);
            hdrScaleRowDirect(s, sweep, direct);
            int wrong = 0;
            for (std::size_t i = 0; i < sweep.size(); ++i)
                if (fast[i] != direct[i] && wrong++ < 3)
                    ADD_FAILURE() << "curve " << curve << " range " << r.lo << ".." << r.hi
                                  << " sample " << sweep[i] << ": " << int(fast[i]) << " vs "
                                  << int(direct[i]);
        }
    }
}

TEST_F(HdrScale, PseudoColourNeverWrapsAtTheCrestAndCountsEachGun)
{
    setStats(0, 0, 100);
    params(0).opScalCtl = HDR_PSEUDO | 0x1400;
    ASSERT_EQ(S_FACTORS(0), 1);
    hdrRowScale s = hdrRowScaleOf(params(0));
    // Where the blue sine crests it rounds to 1.0 in single precision: 256, kept at 255.
    double t = (M_PI / 2) / 1.2503644376247027;
    float x = float(t / s.k);
    charu bgr[3];
    hdrPseudoLevels(s, x, bgr);
    EXPECT_EQ(bgr[0], 255);
    hdrPseudoLevels(s, 0.0f, bgr);
    EXPECT_EQ(bgr[0], 0); // sin 0
    EXPECT_EQ(bgr[1], 0); // negative sines stay 0
    EXPECT_EQ(bgr[2], 0);

    std::vector<float> xs{x, 0.0f};
    std::vector<int32u> line{0xffffffffu, 0xffffffffu};
    ASSERT_EQ(SCALE_sBUFF_LINE(xs, line, 0, 1, 0, 2), 2);
    EXPECT_EQ(line[1], 0u) << "the whole pixel is cleared";
    EXPECT_EQ(line[0] & 0xffu, 255u);
    EXPECT_EQ(line[0] >> 24, 0u);
    EXPECT_EQ(activeSbuff().scal[2].binCount[255], 1u) << "blue counted in the blue gun";
    EXPECT_EQ(activeSbuff().scal[0].binCount[0], 0u) << "zero levels are not counted";
}

TEST_F(HdrScale, LineScalerPlacesGunsStepsAndCountsTheHistogram)
{
    setStats(1, 0, 255);
    params(1).opScalCtl = HDR_LIN | 0x1400;
    ASSERT_EQ(S_FACTORS(1), 1);
    // Interleaved samples, two per pixel: the second of each pair goes to green.
    std::vector<float> xs{-1, 10, -1, 20.5f, -1, 255, -1, 20.7f};
    std::vector<int32u> line(4, 0x11223344u);
    ASSERT_EQ(SCALE_sBUFF_LINE(xs, line, 1, 2, 1, 4), 4);
    EXPECT_EQ(line[0], 0x11220a44u);
    EXPECT_EQ(line[1], 0x11221444u);
    EXPECT_EQ(line[2], 0x1122ff44u);
    const bandScalBlk& b = activeSbuff().scal[1];
    EXPECT_EQ(b.binCount[20], 2u);
    EXPECT_DOUBLE_EQ(b.binSum[20], double(20.5f) + double(20.7f));
    BUILD_DESCALE_TABLE(activeSbuff().scal[1]);
    EXPECT_FLOAT_EQ(b.descale[20], float((double(20.5f) + double(20.7f)) / 2));
    EXPECT_FLOAT_EQ(b.descale[0], 0.0f);
    EXPECT_FLOAT_EQ(b.descale[255], 255.0f);
    EXPECT_FLOAT_EQ(b.descale[100], 0.0f);

    // Grey: gun 0's scaling into R, G and B, alpha kept.
    setStats(0, 0, 255);
    params(0).opScalCtl = HDR_LIN | 0x1400;
    ASSERT_EQ(S_FACTORS(0), 1);
    std::vector<int32u> grey(1, 0x7f000000u);
    std::vector<float> one{100};
    ASSERT_EQ(SCALE_sBUFF_LINE(one, grey, HDR_GREY_GUN, 1, 0, 1), 1);
    EXPECT_EQ(grey[0], 0x7f646464u);

    // Spans too short and words without exactly one curve write nothing.
    EXPECT_EQ(SCALE_sBUFF_LINE(one, grey, 0, 1, 0, 2), 0);
    EXPECT_EQ(SCALE_sBUFF_LINE(one, grey, 0, 1, 1, 1), 0);
    params(0).opScalCtl = HDR_LIN | HDR_LOG | 0x1400;
    EXPECT_EQ(SCALE_sBUFF_LINE(one, grey, 0, 1, 0, 1), 0);
    params(0).opScalCtl = HDR_ENTROPY | 0x1400;
    EXPECT_EQ(SCALE_sBUFF_LINE(one, grey, 0, 1, 0, 1), 0);
    EXPECT_EQ(grey[0], 0x7f646464u);
}

// Lines of several chunks with odd lengths, on each gun and on grey: every pixel and every
// level's count and sum agree with the samples scaled one at a time, and a line that reaches
// other levels than the one before it counts only its own samples.
TEST_F(HdrScale, LongLinesStoreAndCountEverySample)
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-20.0f, 1100.0f);
    struct lineCase {
        int gun;
        int count;
        float scale; // the second line's samples are the first's times this
    };
    for (const lineCase c : {lineCase{0, 1031, 0.1f}, lineCase{2, 517, 1.0f}, lineCase{3, 16, 0.5f},
                             lineCase{HDR_GREY_GUN + 1, 2051, 0.01f}}) {
        const int g = c.gun & 3;
        resetSbuffs();
        setStats(g, 0, 1000);
        params(g).opScalCtl = HDR_LIN | 0x1400;
        ASSERT_EQ(S_FACTORS(g), 1);
        const hdrRowScale sc = hdrRowScaleOf(params(g));
        std::vector<float> xs(std::size_t(c.count));
        for (auto& x : xs)
            x = d(rng);
        std::vector<std::uint32_t> wantCount(256);
        std::vector<double> wantSum(256);
        for (float k : {1.0f, c.scale}) {
            std::vector<float> line = xs;
            for (auto& x : line)
                x *= k;
            std::vector<int32u> px(line.size(), 0x5a5a5a5au);
            ASSERT_EQ(SCALE_sBUFF_LINE(line, px, c.gun, 1, 0, c.count), c.count);
            for (std::size_t i = 0; i < line.size(); ++i) {
                charu v;
                hdrScaleRowDirect(sc, std::span<const float>(&line[i], 1), std::span<charu>(&v, 1));
                const int32u want = c.gun >= HDR_GREY_GUN
                                        ? 0x5a000000u | int32u(v) * 0x010101u
                                        : (0x5a5a5a5au & ~(0xffu << (8 * hdrGunByte[g]))) |
                                              int32u(v) << (8 * hdrGunByte[g]);
                ASSERT_EQ(px[i], want) << "gun " << c.gun << " sample " << i;
                wantCount[v] += 1;
                wantSum[v] += line[i];
            }
            const bandScalBlk& b = activeSbuff().scal[g];
            for (int v = 0; v < 256; ++v) {
                ASSERT_EQ(b.binCount[v], wantCount[std::size_t(v)]) << "level " << v;
                ASSERT_NEAR(b.binSum[v], wantSum[std::size_t(v)],
                            1e-9 * (1 + std::fabs(wantSum[std::size_t(v)])));
            }
        }
    }
}

TEST_F(HdrScale, SettersReportWhetherAGunChanged)
{
    EXPECT_EQ(HDR_DEFAULTS(0), 1);
    EXPECT_EQ(HDR_DEFAULTS(0), 0);
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(params(g).opScalCtl, 0x8801u);
        EXPECT_EQ(params(g).width, 3.0);
    }
    EXPECT_EQ(HDR_DEFAULTS(1), 1);
    EXPECT_EQ(params(3).opScalCtl, 0x4801u);
    EXPECT_EQ(HDR_DEFAULTS(7), 1);
    EXPECT_EQ(params(2).opScalCtl, 0x1401u);

    EXPECT_EQ(SET_SCALE_CURVE(HDR_LOG, 1), 1);
    EXPECT_EQ(SET_SCALE_CURVE(HDR_LOG, 1), 0);
    EXPECT_EQ(SET_SCALE_CURVE(0x1000, 1), 0) << "no curve bit";
    EXPECT_EQ(params(0).opScalCtl, 0x1402u);
    EXPECT_EQ(params(1).opScalCtl, 0x1401u) << "outside the mask";

    EXPECT_EQ(SET_SDEV_RANGE(0x800, 2, 2.0), 0) << "no anchor";
    EXPECT_EQ(SET_SDEV_RANGE(HDR_RANGE_MEDIAN, 2, 2.0), 1);
    EXPECT_EQ(params(1).opScalCtl, 0x8801u);
    EXPECT_EQ(SET_SDEV_RANGE(HDR_RANGE_MEDIAN, 2, 2.5), 1) << "width alone";
    EXPECT_EQ(SET_FULL_RANGE(2), 1);
    EXPECT_EQ(params(1).opScalCtl, 0x1401u);

    EXPECT_EQ(SET_ABS_RANGE_VAL(0x800, 1, 1, 2), 0) << "no mode";
    EXPECT_EQ(SET_ABS_RANGE_VAL(0x2000, 3, 9, 9.000001), 0) << "too small";
    EXPECT_EQ(params(0).opScalCtl, 0x1402u) << "refusal leaves the gun";
    EXPECT_EQ(SET_ABS_RANGE_VAL(0x2000, 1, 30, 10), 1);
    EXPECT_EQ(params(0).usrLoV, 10.0);
    EXPECT_EQ(params(0).usrHiV, 30.0);
    EXPECT_EQ(params(0).opScalCtl, 0x2402u);
    EXPECT_EQ(SET_ABS_RANGE_VAL(0x20000, 1, 5, 7), 1);
    EXPECT_EQ(params(0).usrHiV, 12.0);
    EXPECT_EQ(params(0).opScalCtl, 0x2402u) << "from LOW becomes LOW/HIGH";
    EXPECT_EQ(SET_ABS_RANGE_VAL(0x40000, 1, 50, 20), 1);
    EXPECT_EQ(params(0).usrLoV, 30.0);
    EXPECT_EQ(SET_ABS_RANGE_VAL(0x10000, 1, 40, 6), 1);
    EXPECT_EQ(params(0).opScalCtl, 0x10402u);
    EXPECT_EQ(params(0).mark, 40.0);

    setStats(0, 0, 100);
    EXPECT_EQ(SET_ABS_EXTREMA_VAL(0x800, 1, 1, 2), 0) << "no mode";
    EXPECT_EQ(SET_ABS_EXTREMA_VAL(0x2000, 1, 150, -20), 1);
    EXPECT_EQ(params(0).extLow, 0.0) << "clamped to the data";
    EXPECT_EQ(params(0).extHigh, 100.0);
    EXPECT_TRUE(params(0).opScalCtl & HDR_EXTREMA);
    EXPECT_EQ(SET_EXTREMA_LOHI(1, 60, 20), 1);
    EXPECT_EQ(params(0).extLow, 20.0);
    EXPECT_EQ(params(0).extHigh, 60.0);
    EXPECT_EQ(CLEAR_EXTREMA(1), 1);
    EXPECT_EQ(CLEAR_EXTREMA(1), 0);
    params(0).low = 3;
    params(0).high = 4;
    EXPECT_EQ(SET_EXTREMA_THIS(1), 1);
    EXPECT_EQ(params(0).extLow, 3.0);
    EXPECT_EQ(params(0).extHigh, 4.0);
}

TEST_F(HdrScale, ArchiveKeepsOneCopyPerInstance)
{
    EXPECT_EQ(RESTORE_SCALING(), 0);
    EXPECT_EQ(SWAP_SCALING(), 0);
    HDR_DEFAULTS(0);
    ARCHIVE_SCALING_ONCE();
    HDR_DEFAULTS(2);
    ARCHIVE_SCALING_ONCE(); // a copy exists: kept
    EXPECT_EQ(SWAP_SCALING(), 1);
    EXPECT_EQ(params(0).opScalCtl, 0x8801u);
    EXPECT_EQ(RESTORE_SCALING(), 1);
    EXPECT_EQ(params(0).opScalCtl, 0x1401u) << "the swap put the full range in the archive";

    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    EXPECT_EQ(RESTORE_SCALING(), 0) << "the Exploit instance has its own archive";
    SET_ACTIVE_sBUFF(SBUFF_LOADER);
    CLEAR_SCALING_ARCHIVE();
    EXPECT_EQ(RESTORE_SCALING(), 0);
}

} // namespace
