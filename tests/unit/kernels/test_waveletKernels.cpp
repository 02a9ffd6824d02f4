// The wavelet transform: the filter table and its high-pass rule, the request's path and
// statuses, and bands whose results are worked by hand (constant bands and ramps, where only
// the zero padding at the first row and column changes the sums). A plain per-sample
// reference checks the blocked, vectorised filtering on odd sizes and dilations.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "waveletKernels.h"

namespace {

TEST(WaveletFilters, SumToRootTwoAndDaubechiesHaveUnitEnergy)
{
    struct Case {
        int32 family, length;
        std::size_t taps;
    };
    const Case cases[] = {{WVF_DAUB, 4, 4},   {WVF_DAUB, 6, 6},    {WVF_DAUB, 8, 8},
                          {WVF_DAUB, 10, 10}, {WVF_DAUB, 12, 12},  {WVF_DAUB, 14, 14},
                          {WVF_DAUB, 16, 16}, {WVF_HAAR, 0, 2},    {WVF_BATH, 0, 10},
                          {WVF_FBI, 0, 9},    {WVF_ENTROPY, 0, 17}};
    for (const Case& c : cases) {
        const std::vector<double> h = waveletLowPass(c.family, c.length);
        ASSERT_EQ(h.size(), c.taps) << c.family << "/" << c.length;
        EXPECT_NEAR(std::accumulate(h.begin(), h.end(), 0.0), std::sqrt(2.0), 1e-6)
            << c.family << "/" << c.length;
        if (c.family == WVF_DAUB) {
            EXPECT_NEAR(std::inner_product(h.begin(), h.end(), h.begin(), 0.0), 1.0, 1e-6)
                << c.length;
        }
        // The symmetric families read the same both ways.
        if (c.family == WVF_BATH || c.family == WVF_FBI || c.family == WVF_ENTROPY) {
            for (std::size_t k = 0; k < h.size(); ++k)
                EXPECT_EQ(h[k], h[h.size() - 1 - k]) << c.family << " tap " << k;
        }
    }
    EXPECT_TRUE(waveletLowPass(WVF_USER, 0).empty());
}

TEST(WaveletFilters, HighPassIsReversedWithAlternatingSigns)
{
    const std::vector<double> haar = waveletHighPass(waveletLowPass(WVF_HAAR, 0));
    ASSERT_EQ(haar.size(), 2u);
    EXPECT_NEAR(haar[0], 0.7071, 1e-4);
    EXPECT_NEAR(haar[1], -0.7071, 1e-4);
    const std::vector<double> d4 = waveletHighPass(waveletLowPass(WVF_DAUB, 4));
    const double want[] = {-0.1294, -0.2241, 0.8365, -0.4830};
    ASSERT_EQ(d4.size(), 4u);
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(d4[std::size_t(k)], want[k], 1e-4) << k;
}

TEST(WaveletRequest, DaubechiesLengthsRoundUpAndLevelPathsEndInTheBand)
{
    const int32 lengths[][2] = {{-3, 4}, {0, 4},  {3, 4},   {4, 4},   {5, 6},   {6, 6},
                                {7, 8},  {9, 10}, {13, 14}, {14, 14}, {15, 16}, {99, 16}};
    for (const auto& l : lengths)
        EXPECT_EQ(daubechiesLength(l[0]), l[1]) << l[0];
    EXPECT_EQ(waveletLevelPath(3, WVB_HH), "000011");
    EXPECT_EQ(waveletLevelPath(1, WVB_HL), "10");
    EXPECT_EQ(waveletLevelPath(2, WVB_LH), "0001");
    EXPECT_EQ(waveletLevelPath(5, WVB_LL), "0000000000");
    EXPECT_EQ(waveletLevelPath(0, WVB_LL), "");
    EXPECT_EQ(waveletLevelPath(2, 0), "");
}

TEST(WaveletTransform, RefusesShortPathsMissingFiltersAndSmallBands)
{
    std::vector<float> band(16 * 16, 1.0f);
    waveletRequest rq;
    rq.family = WVF_DAUB;
    rq.daubLength = 16;
    rq.path = "00";
    EXPECT_EQ(WAVTRAN(band, 16, 16, rq), WAV_TOO_SMALL);
    rq.family = WVF_USER;
    EXPECT_EQ(WAVTRAN(band, 16, 16, rq), WAV_NO_FILTER);
    rq.family = WVF_HAAR;
    rq.path = "0";
    EXPECT_EQ(WAVTRAN(band, 16, 16, rq), WAV_NO_PATH);
    for (float v : band)
        ASSERT_EQ(v, 1.0f); // refused bands stay as they were
}

struct handCase {
    const char* what;
    int32 size;
    const char* path;
    bool ramp; // x ramp, else constant 10
    int32 x, y;
    double want;
};

TEST(WaveletTransform, HaarBandsGiveTheHandWorkedValues)
{
    // Factor 1 / (ln 4 ln 2) after one level, 1 / (ln 8 ln 2) after two.
    const handCase cases[] = {
        {"LL interior", 8, "00", false, 4, 4, 20.8137},
        {"LL first row", 8, "00", false, 4, 0, 10.4068},
        {"LL first column", 8, "00", false, 0, 5, 10.4068},
        {"LL corner", 8, "00", false, 0, 0, 5.2034},
        {"HL on a ramp", 8, "10", true, 5, 3, -1.0407},
        {"HL column 0", 8, "10", true, 0, 3, 0.0},
        {"two levels, row 2", 16, "0000", false, 7, 2, 27.7516},
        {"two levels, column 14", 16, "0000", false, 14, 9, 27.7516},
        {"two levels, corner", 16, "0000", false, 0, 0, 6.9379},
    };
    for (const handCase& c : cases) {
        std::vector<float> band(std::size_t(c.size * c.size));
        for (int32 y = 0; y < c.size; ++y)
            for (int32 x = 0; x < c.size; ++x)
                band[std::size_t(y * c.size + x)] = c.ramp ? float(x) : 10.0f;
        waveletRequest rq;
        rq.family = WVF_HAAR;
        rq.path = c.path;
        ASSERT_EQ(WAVTRAN(band, c.size, c.size, rq), WAV_OK) << c.what;
        EXPECT_NEAR(band[std::size_t(c.y * c.size + c.x)], c.want, 1e-4) << c.what;
    }
    // Rows and columns 2-14 of the two-level band all see the full sums.
    std::vector<float> band(256, 10.0f);
    waveletRequest rq;
    rq.family = WVF_HAAR;
    rq.path = "0000";
    ASSERT_EQ(WAVTRAN(band, 16, 16, rq), WAV_OK);
    for (int32 y = 2; y <= 14; ++y)
        for (int32 x = 2; x <= 14; ++x)
            ASSERT_NEAR(band[std::size_t(y * 16 + x)], 27.7516, 1e-4) << x << "," << y;
}

// Row filter then column filter per level, one sample at a time, as the transform is defined.
std::vector<float> plainTransform(std::vector<float> b, int32 cols, int32 rows,
                                  const waveletRequest& rq)
{
    const std::vector<double> h = waveletLowPass(rq.family, rq.daubLength);
    const std::vector<double> g = waveletHighPass(h);
    const int32 taps = int32(h.size()), levels = waveletLevels(cols, rows, rq);
    for (int32 l = 0; l < levels; ++l) {
        const int32 d = 1 << l, lead = ((taps - 1) * d + 1) / 2;
        for (int pass = 0; pass < 2; ++pass) {
            const std::vector<double>& f = rq.path[std::size_t(2 * l + pass)] == '1' ? g : h;
            const std::vector<float> in = b;
            const int32 n = pass == 0 ? cols : rows, lines = pass == 0 ? rows : cols;
            for (int32 line = 0; line < lines; ++line)
                for (int32 k = 0; k < n; ++k) {
                    double s = 0.0;
                    for (int32 j = 0; j < taps; ++j) {
                        const int32 at = k - lead + j * d;
                        if (at >= 0 && at < n)
                            s +=
                                f[std::size_t(j)] * (pass == 0 ? in[std::size_t(line * cols + at)]
                                                               : in[std::size_t(at * cols + line)]);
                    }
                    (pass == 0 ? b[std::size_t(line * cols + k)]
                               : b[std::size_t(k * cols + line)]) = float(s);
                }
        }
    }
    for (float& v : b)
        v = float(double(v) * waveletFactor(taps, levels));
    return b;
}

TEST(WaveletTransform, MatchesThePlainDefinitionOnOddSizesAndDilations)
{
    struct Case {
        int32 family, length, cols, rows;
        const char* path;
    };
    const Case cases[] = {{WVF_DAUB, 8, 131, 70, "011011"},
                          {WVF_ENTROPY, 0, 150, 77, "1001"},
                          {WVF_FBI, 0, 67, 200, "11"},
                          {WVF_HAAR, 0, 40, 40, "0000000000000000"}};
    std::mt19937 rng(25);
    std::uniform_real_distribution<float> u(-100.0f, 100.0f);
    for (const Case& c : cases) {
        std::vector<float> band(std::size_t(c.cols * c.rows));
        for (float& v : band)
            v = u(rng);
        waveletRequest rq;
        rq.family = c.family;
        rq.daubLength = c.length;
        rq.path = c.path;
        const std::vector<float> want = plainTransform(band, c.cols, c.rows, rq);
        ASSERT_EQ(WAVTRAN(band, c.cols, c.rows, rq), WAV_OK) << c.path;
        for (std::size_t i = 0; i < band.size(); ++i)
            ASSERT_NEAR(band[i], want[i], 1e-3 + 1e-5 * std::fabs(want[i]))
                << c.path << " at " << i % std::size_t(c.cols) << "," << i / std::size_t(c.cols);
    }
    // HAAR on 40 x 40 stops where 2 x 2^l reaches 40: five levels of the eight asked for.
    waveletRequest rq;
    rq.family = WVF_HAAR;
    rq.path = "0000000000000000";
    EXPECT_EQ(waveletLevels(40, 40, rq), 5);
}

} // namespace
