// Band statistics of the scaling accumulator: moments, the 1024-bin histogram with its median
// and mode, the guards against empty, single and constant bands, and the integer histogram
// summary. Expected figures are hand calculations.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "sbuffStats.h"

namespace {

struct statsCase {
    const char* name;
    std::vector<float> x;
    double mean, stdDev, median, mode, meanAbsDev, skew, kurtosis;
};

// Runs both passes and finalisation the way a load does, one line of samples.
bandStats runPasses(std::vector<float> x, bandScalBlk& blk)
{
    bandStats rec;
    INIT_BAND_STATS(&rec, 0);
    blk = {};
    P1_ACCUM_FSTATS(x.data(), &rec, x.size());
    P2_ACCUM_FSTATS(x.data(), &blk, &rec, x.size());
    FINISH_FSTATS(&blk, &rec);
    return rec;
}

TEST(AccumStats, VectorsGiveHandCalculatedFigures)
{
    const double nan = std::nan("");
    const statsCase cases[] = {
        {"four levels", {1, 2, 3, 4}, 2.5, 1.2909944, 2.5, 1, 1.0, 0, 10.25 / (4 * 25.0 / 9) - 3},
        {"odd count takes the middle sample", {1, 2, 3}, 2, 1, 2, 1, 2.0 / 3, 0, nan},
        {"constant band", {5, 5, 5, 5}, 5, 0, 5, 5, 0, 0, 0},
        {"one sample", {7}, 7, 0, 7, 7, 0, 0, 0},
        {"even pair across empty bins", {2, 2, 4, 4}, 3, 1.1547005, 3, 2, 1, 0, nan},
        {"median inside a crowded bin", {0, 100, 100, 100}, 75, 50, 100, 100, 37.5, nan, nan},
        {"mode is the first of equal counts", {1, 1, 9, 9, 5}, 5, 4, 5, 1, 3.2, 0, nan},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resetHistCorrupt();
        bandScalBlk blk;
        const bandStats r = runPasses(c.x, blk);
        EXPECT_EQ(r.count, double(c.x.size()));
        EXPECT_NEAR(r.mean, c.mean, 1e-9);
        EXPECT_NEAR(r.stdDev, c.stdDev, 1e-6);
        EXPECT_NEAR(r.median, c.median, 1e-9);
        EXPECT_NEAR(r.mode, c.mode, 1e-9);
        EXPECT_NEAR(r.meanAbsDev, c.meanAbsDev, 1e-9);
        if (!std::isnan(c.skew)) {
            EXPECT_NEAR(r.skew, c.skew, 1e-9);
        }
        if (!std::isnan(c.kurtosis)) {
            EXPECT_NEAR(r.kurtosis, c.kurtosis, 1e-9);
        }
        EXPECT_FALSE(std::isnan(r.skew) || std::isnan(r.kurtosis) || std::isnan(r.stdDev));
        EXPECT_EQ(r.finalised, 1);
        EXPECT_EQ(histCorruptCount(), 0u) << "no sample of a sound band is out of its range";
    }
}

TEST(AccumStats, ConstantBandFillsBinZeroOnly)
{
    bandScalBlk blk;
    runPasses({3, 3, 3}, blk);
    EXPECT_EQ(blk.binCount[0], 3u);
    for (int b = 1; b < SBUFF_HIST_BINS; ++b)
        ASSERT_EQ(blk.binCount[b], 0u);
}

TEST(AccumStats, NonFiniteSamplesCountAsZero)
{
    std::vector<float> x = {std::nanf(""), 4, INFINITY, -INFINITY};
    bandStats rec;
    INIT_BAND_STATS(&rec, 2);
    P1_ACCUM_FSTATS(x.data(), &rec, x.size());
    EXPECT_EQ(x, (std::vector<float>{0, 4, 0, 0})) << "the stored line holds zeros";
    EXPECT_EQ(rec.low, 0);
    EXPECT_EQ(rec.high, 4);
    EXPECT_EQ(rec.mean, 1);
    EXPECT_EQ(rec.band, 2);
}

TEST(AccumStats, OutOfRangeSampleIsCountedInBinZero)
{
    resetHistCorrupt();
    bandStats rec;
    INIT_BAND_STATS(&rec, 0);
    std::vector<float> x = {0, 10};
    P1_ACCUM_FSTATS(x.data(), &rec, x.size());
    bandScalBlk blk{};
    std::vector<float> bad = {50, 10, -3};
    P2_ACCUM_FSTATS(bad.data(), &blk, &rec, bad.size());
    EXPECT_EQ(histCorruptCount(), 2u);
    EXPECT_EQ(blk.binCount[0], 2u);
    EXPECT_EQ(blk.binCount[1023], 1u);
    EXPECT_EQ(bad[0], 0.0f) << "replaced by the low bound";
}

TEST(AccumStats, FinishRunsOnce)
{
    bandScalBlk blk;
    bandStats r = runPasses({1, 2, 3, 4}, blk);
    const double median = r.median;
    FINISH_FSTATS(&blk, &r); // bin sums are already means: a second run would spoil them
    EXPECT_EQ(r.median, median);
}

TEST(CollateHist, SummarisesOccupiedRange)
{
    std::vector<int32u> h(256, 0);
    h[10] = 100;
    h[20] = 200;
    double out[COLL_FIGURES] = {};
    ASSERT_EQ(COLLATE_HIST(h.data(), out, 256), 0);
    const double mean = 5000.0 / 300;
    const double var = (100 * std::pow(10 - mean, 2) + 200 * std::pow(20 - mean, 2)) / 299;
    EXPECT_EQ(out[COLL_LOW], 10);
    EXPECT_EQ(out[COLL_HIGH], 20);
    EXPECT_NEAR(out[COLL_MEAN], mean, 1e-12);
    EXPECT_EQ(out[COLL_MEDIAN], 20);
    EXPECT_EQ(out[COLL_MODE], 20);
    EXPECT_NEAR(out[COLL_STDDEV], std::sqrt(var), 1e-9);
    EXPECT_NEAR(out[COLL_MEAN_ABS_DEV], (100 * (mean - 10) + 200 * (20 - mean)) / 300, 1e-9);
    EXPECT_EQ(out[COLL_N], 300);
    EXPECT_EQ(out[COLL_MODE_COUNT], 200);
}

TEST(CollateHist, RefusesFewerThan256Counts)
{
    std::vector<int32u> h(16, 0);
    h[3] = 255;
    double out[COLL_FIGURES];
    std::fill(std::begin(out), std::end(out), -7.0);
    EXPECT_EQ(COLLATE_HIST(h.data(), out, 16), -1);
    for (double v : out)
        EXPECT_EQ(v, -7.0);
    h[3] = 256; // one constant bin: no spread, no NaN
    ASSERT_EQ(COLLATE_HIST(h.data(), out, 16), 0);
    EXPECT_EQ(out[COLL_STDDEV], 0);
    EXPECT_EQ(out[COLL_SKEW], 0);
    EXPECT_EQ(out[COLL_MEDIAN], 3);
}

} // namespace
