// The colour normalisation: scales by mode, the recursive Gaussian's coefficients and its
// behaviour on constant lines and impulses, and the whole run against a slow transcription
// (one logarithm per scale, the division by b0 as written, sums in double).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "retinexKernels.h"

namespace {

using fplane = std::vector<float>;

std::vector<float> scales(int32 S, int32 n, int32 mode)
{
    float s[ADAPTIV_ITER_MAX];
    const int32 k = msrcrScales(S, n, mode, s);
    return std::vector<float>(s, s + k);
}

void expectNear(const std::vector<float>& got, const std::vector<double>& want, double tol)
{
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_NEAR(got[i], want[i], tol) << "scale " << i;
}

// ---- the slow transcription ----

void literalLine(float* v, int32 len, std::ptrdiff_t step, const ygvCoefs& k)
{
    double w1, w2, w3;
    w1 = w2 = w3 = v[0];
    for (int32 i = 0; i < len; ++i) {
        const double w = k.B * v[i * step] + (k.b1 * w1 + k.b2 * w2 + k.b3 * w3) / k.b0;
        w3 = w2;
        w2 = w1;
        w1 = w;
        v[i * step] = float(w);
    }
    w1 = w2 = w3 = v[(len - 1) * step];
    for (int32 i = len - 1; i >= 0; --i) {
        const double o = k.B * v[i * step] + (k.b1 * w1 + k.b2 * w2 + k.b3 * w3) / k.b0;
        w3 = w2;
        w2 = w1;
        w1 = o;
        v[i * step] = float(o);
    }
}

fplane literalBlur(fplane p, int32 C, int32 R, double sigma)
{
    const ygvCoefs k = ygvCoefficients(sigma);
    for (int32 y = 0; y < R; ++y)
        literalLine(&p[std::size_t(y) * C], C, 1, k);
    for (int32 x = 0; x < C; ++x)
        literalLine(&p[x], R, C, k);
    return p;
}

std::vector<std::vector<charu>> literalMsrcr(const std::vector<fplane>& I, int32 C, int32 R,
                                             const adaptivParams& p)
{
    const std::size_t N = std::size_t(C) * R;
    float s[ADAPTIV_ITER_MAX];
    const int32 n = msrcrScales(p.scale, p.iterations, p.mode, s);
    std::vector<std::vector<double>> M(3, std::vector<double>(N, 0));
    for (int32 g = 0; g < 3; ++g) {
        fplane a(N);
        for (std::size_t i = 0; i < N; ++i)
            a[i] = 1 + I[g][i];
        for (int32 k = 0; k < n; ++k) {
            const fplane b = literalBlur(a, C, R, s[k]);
            for (std::size_t i = 0; i < N; ++i)
                M[g][i] += (1.0 / n) * (std::log(I[g][i] + 1.0) - std::log(double(b[i])));
        }
    }
    for (std::size_t i = 0; i < N; ++i) {
        const double T = double(I[0][i]) + I[1][i] + I[2][i];
        for (int32 g = 0; g < 3; ++g)
            M[g][i] = M[g][i] * (std::log(128.0 * (1 + I[g][i])) - std::log(T + 3));
    }
    double sum = 0, dev = 0;
    for (const auto& m : M)
        for (double v : m)
            sum += v;
    const double mean = sum / double(3 * N);
    for (const auto& m : M)
        for (double v : m)
            dev += (v - mean) * (v - mean);
    const double sd = std::sqrt(dev / double(3 * N));
    const double lo = mean - p.variance * sd, width = 2 * p.variance * sd;
    std::vector<std::vector<charu>> out(3, std::vector<charu>(N));
    for (int32 g = 0; g < 3; ++g)
        for (std::size_t i = 0; i < N; ++i) {
            const double v = std::trunc(255 * (M[g][i] - lo) / width);
            out[g][i] = charu(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    return out;
}

struct rgbRun {
    std::vector<fplane> in;
    std::vector<std::vector<charu>> out;
    int32 status;
};

rgbRun runMsrcr(std::vector<fplane> in, int32 C, int32 R, const adaptivParams& p)
{
    rgbRun r{std::move(in),
             std::vector<std::vector<charu>>(3, std::vector<charu>(std::size_t(C) * R, 99)), 0};
    const float* ins[3] = {r.in[0].data(), r.in[1].data(), r.in[2].data()};
    charu* outs[3] = {r.out[0].data(), r.out[1].data(), r.out[2].data()};
    r.status = MSRCR(ins, outs, C, R, p, nullptr);
    return r;
}

// ---- tables ----

TEST(RetinexScales, ByModeAndCount)
{
    expectNear(scales(240, 3, ADAPTIV_UNIFORM), {2, 82, 162}, 0);
    expectNear(scales(250, 3, ADAPTIV_UNIFORM), {2, 85.3333, 168.6667}, 1e-4);
    expectNear(scales(240, 1, ADAPTIV_UNIFORM), {120}, 0);
    expectNear(scales(240, 2, ADAPTIV_HIGH), {120, 240}, 0);
    expectNear(scales(241, 1, ADAPTIV_LOW), {120}, 0);
    expectNear(scales(240, 3, ADAPTIV_LOW), {3.0, 8.1972, 40.4047}, 1e-4);
    expectNear(scales(240, 3, ADAPTIV_HIGH), {239.0, 233.8028, 201.5953}, 1e-4);
    EXPECT_EQ(scales(240, 8, ADAPTIV_UNIFORM).size(), 8u);
}

TEST(RetinexBlur, CoefficientsAtSigmaTwo)
{
    const ygvCoefs k = ygvCoefficients(2.0);
    EXPECT_NEAR(k.b0, 6.94398, 5e-5);
    EXPECT_NEAR(k.b1, 8.56031, 5e-5);
    EXPECT_NEAR(k.b2, -3.84220, 5e-5);
    EXPECT_NEAR(k.b3, 0.64760, 5e-5);
    EXPECT_NEAR(k.B, 0.2272853, 5e-7);
    EXPECT_NEAR(ygvCoefficients(0.3).q, 0.1147705, 0);
    EXPECT_NEAR(ygvCoefficients(10).q, 0.98711 * 10 - 0.96330, 1e-12);
}

// ---- the blur ----

TEST(RetinexBlur, ConstantLinesStayExactlyConstant)
{
    // A plane of one constant for both directions, and rows of different constants, each
    // through the row passes alone (a plane one row high).
    const int32 C = 37, R = 21;
    for (double sigma : {2.0, 2.4, 3.0, 17.5, 82.0, 162.0, 240.0}) {
        fplane flat(std::size_t(C) * R, 201.0f), out(flat.size());
        ASSERT_TRUE(gaussBlurYvV(flat.data(), out.data(), C, R, sigma));
        EXPECT_EQ(out, flat) << "sigma " << sigma;
        fplane p(std::size_t(C) * R);
        for (int32 y = 0; y < R; ++y)
            for (int32 x = 0; x < C; ++x)
                p[std::size_t(y) * C + x] = float(1 + (y * 37) % 256);
        for (int32 y = 0; y < R; ++y) {
            fplane row(p.begin() + std::size_t(y) * C, p.begin() + std::size_t(y + 1) * C);
            fplane got(C);
            ASSERT_TRUE(gaussBlurYvV(row.data(), got.data(), C, 1, sigma));
            ASSERT_EQ(got, row) << "sigma " << sigma << " row " << y;
        }
    }
}

TEST(RetinexBlur, ImpulseKeepsItsSumAndMatchesTheLiteralPasses)
{
    // Every value is stored in single precision, twice per direction, so the sum carries a
    // rounding error of about 1e-8 of its own; the margins are twenty sigmas, past which the tail
    // is below that.
    const int32 C = 401, R = 411;
    for (double sigma : {2.0, 5.0, 10.0}) {
        fplane p(std::size_t(C) * R, 0.0f);
        p[std::size_t(R / 2) * C + C / 2] = 1.0f;
        fplane q(p.size());
        ASSERT_TRUE(gaussBlurYvV(p.data(), q.data(), C, R, sigma));
        double sum = 0;
        for (float v : q)
            sum += v;
        EXPECT_NEAR(sum, 1.0, 2.5e-8) << "sigma " << sigma;
        const fplane lit = literalBlur(p, C, R, sigma);
        double worst = 0;
        for (std::size_t i = 0; i < q.size(); ++i)
            worst = std::fmax(worst, std::fabs(double(q[i]) - lit[i]));
        EXPECT_LT(worst, 1e-9) << "sigma " << sigma;
    }
}

// ---- the whole run ----

TEST(RetinexRun, UniformGreyGivesZeroEverywhere)
{
    const int32 C = 40, R = 30;
    const rgbRun r = runMsrcr({fplane(C * R, 90), fplane(C * R, 90), fplane(C * R, 90)}, C, R, {});
    ASSERT_EQ(r.status, MSRCR_OK);
    for (const auto& o : r.out)
        EXPECT_EQ(o, std::vector<charu>(C * R, 0));
}

TEST(RetinexRun, SeededImageWithinOneLevelOfTheLiteralMethod)
{
    const int32 C = 64, R = 48;
    std::uint32_t seed = 2024;
    std::vector<fplane> in(3, fplane(std::size_t(C) * R));
    for (int32 y = 0; y < R; ++y)
        for (int32 x = 0; x < C; ++x)
            for (int32 g = 0; g < 3; ++g) {
                seed = seed * 1664525u + 1013904223u;
                // A soft gradient under noise, different per gun.
                in[g][std::size_t(y) * C + x] = float((x * (g + 1) + y * 2 + (seed >> 27)) % 256);
            }
    adaptivParams low;
    low.mode = ADAPTIV_LOW;
    low.variance = 2.5;
    adaptivParams one;
    one.iterations = 1;
    one.scale = 16;
    adaptivParams high;
    high.mode = ADAPTIV_HIGH;
    high.iterations = 8;
    for (const adaptivParams& p : {adaptivParams{}, low, one, high}) {
        const rgbRun r = runMsrcr(in, C, R, p);
        ASSERT_EQ(r.status, MSRCR_OK);
        const auto lit = literalMsrcr(in, C, R, p);
        int32 worst = 0, spread = 0;
        for (int32 g = 0; g < 3; ++g)
            for (std::size_t i = 0; i < lit[g].size(); ++i) {
                worst = std::max(worst, std::abs(int32(r.out[g][i]) - int32(lit[g][i])));
                spread = std::max(spread, int32(r.out[g][i]));
            }
        EXPECT_LE(worst, 1) << "mode " << p.mode << " n " << p.iterations;
        EXPECT_GT(spread, 200) << "the result is stretched";
    }
}

TEST(RetinexRun, MissingPlanesAreRefusedWithoutWriting)
{
    const int32 C = 8, R = 8;
    fplane a(C * R, 5);
    std::vector<charu> o(C * R, 7);
    const float* partIn[3] = {a.data(), nullptr, a.data()};
    charu* outs[3] = {o.data(), o.data(), o.data()};
    EXPECT_EQ(MSRCR(partIn, outs, C, R, {}, nullptr), MSRCR_NO_INPUT);
    const float* ins[3] = {a.data(), a.data(), a.data()};
    charu* partOut[3] = {o.data(), o.data(), nullptr};
    EXPECT_EQ(MSRCR(ins, partOut, C, R, {}, nullptr), MSRCR_NO_OUTPUT);
    EXPECT_EQ(o, std::vector<charu>(C * R, 7));
    EXPECT_STREQ(msrcrMessage(MSRCR_NO_FILTER), "MSRCR() abort: out of memory...");
}

} // namespace
