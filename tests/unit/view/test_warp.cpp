// WARP against a plain per-pixel resampler written here from the rules alone (no tables, no
// row caches, no vector loops): every mode, byte for byte, on random sizes and factors; and
// its checks, messages and edges by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "warp.h"

namespace {

using image = std::vector<int32u>;

int byteOf(int32u p, int c)
{
    return int((p >> (8 * c)) & 0xff);
}

int clamp(long v, int n)
{
    return int(std::max(0L, std::min(v, long(n) - 1)));
}

// Truncated to a level after a lift of 1/512 (the weights' rounding must not darken a flat
// area), limited to 0..255.
int toByte(float v)
{
    return std::min(255, std::max(0, int(v + 1.0f / 512.0f)));
}

// ---- The plain resampler ----------------------------------------------------------------------

float cubic1(float pm, float p0, float p1, float p2, float t)
{
    const float dm = pm - p0, d1 = p1 - p0, d2 = p2 - p0;
    const float e = 0.1666666666f * d2;
    const float a1 = d1 - 0.3333333333f * dm - e;
    const float a2 = 0.5f * d1 + 0.5f * dm;
    const float a3 = e - 0.1666666666f * dm - 0.5f * d1;
    const float t2 = t * t, t3 = t2 * t;
    return p0 + a1 * t + a2 * t2 + a3 * t3;
}

void crWeights(float t, float w[4])
{
    const float m[4][4] = {{-0.5f, 1.5f, -1.5f, 0.5f},
                           {1.0f, -2.5f, 2.0f, -0.5f},
                           {-0.5f, 0.0f, 0.5f, 0.0f},
                           {0.0f, 1.0f, 0.0f, 0.0f}};
    for (int l = 0; l < 4; ++l)
        w[l] = ((m[0][l] * t + m[1][l]) * t + m[2][l]) * t + m[3][l];
}

image refMagnify(const image& in, int cols, int rows, double fx, double fy, int method, int ow,
                 int oh)
{
    image out(size_t(ow) * size_t(oh));
    const float ix = 1.0f / float(fx), iy = 1.0f / float(fy);
    auto at = [&](long x, long y) { return in[size_t(clamp(y, rows)) * cols + clamp(x, cols)]; };
    for (int j = 0; j < oh; ++j)
        for (int i = 0; i < ow; ++i) {
            const float sx = float(i) * ix, sy = float(j) * iy;
            const long x = clamp(long(std::trunc(sx)), cols), y = clamp(long(std::trunc(sy)), rows);
            const float u = sx - std::trunc(sx), v = sy - std::trunc(sy);
            int32u p = 0;
            if (method & WARP_BICUBIC) {
                for (int c = 0; c < 3; ++c) {
                    float r[4];
                    for (int k = 0; k < 4; ++k) {
                        auto s = [&](long dx) { return float(byteOf(at(x + dx, y - 1 + k), c)); };
                        r[k] = cubic1(s(-1), s(0), s(1), s(2), u);
                    }
                    p |= int32u(toByte(cubic1(r[0], r[1], r[2], r[3], v))) << (8 * c);
                }
            } else if (method & WARP_CATMULL_ROM) {
                float wu[4], wv[4];
                crWeights(u, wu);
                crWeights(v, wv);
                for (int c = 0; c < 3; ++c) {
                    float val = 0;
                    for (int k = 0; k < 4; ++k) {
                        auto s = [&](long dx) { return float(byteOf(at(x + dx, y - 1 + k), c)); };
                        const float h = wu[0] * s(-1) + wu[1] * s(0) + wu[2] * s(1) + wu[3] * s(2);
                        val = k == 0 ? wv[0] * h : val + wv[k] * h;
                    }
                    p |= int32u(toByte(val)) << (8 * c);
                }
            } else if (method & WARP_REPLICATE) {
                p = at(x, y) & 0x00ffffffu;
            } else {
                // The pair starts two before the end at the latest; past it the last
                // pixel takes the whole weight.
                const long limX = std::max(cols - 2, 0), limY = std::max(rows - 2, 0);
                const long xa = std::min(x, limX), ya = std::min(y, limY);
                const float bu = x > limX ? 1.0f : u, bv = y > limY ? 1.0f : v;
                const float wb = (1 - bv) * bu, wc = (1 - bu) * bv, wd = bu * bv;
                const float wa = 1 - wb - wc - wd;
                for (int c = 0; c < 3; ++c) {
                    const float val = wa * float(byteOf(at(xa, ya), c)) +
                                      wb * float(byteOf(at(xa + 1, ya), c)) +
                                      wc * float(byteOf(at(xa, ya + 1), c)) +
                                      wd * float(byteOf(at(xa + 1, ya + 1), c));
                    p |= int32u(toByte(val)) << (8 * c);
                }
            }
            out[size_t(j) * ow + i] = p;
        }
    return out;
}

int32u lerp(int32u a, int32u b, int k, int n)
{
    int32u p = 0;
    for (int c = 0; c < 4; ++c) {
        const double va = byteOf(a, c), vb = byteOf(b, c);
        p |= int32u(std::floor(va + k * (vb - va) / (n + 1) + 0.5)) << (8 * c);
    }
    return p;
}

// One axis of the area path over a line of pixels: box means of the inputs i with
// floor(i x out / in) == j, or inserted pixels by the running phase, last one repeated.
std::vector<int32u> refAxis(const std::vector<int32u>& line, int out, double f)
{
    const int in = int(line.size());
    std::vector<int32u> r;
    if (out < in) {
        std::vector<long> sum(static_cast<size_t>(out) * 4), n(static_cast<size_t>(out));
        for (int i = 0; i < in; ++i) {
            const size_t j = size_t(long(i) * out / in);
            for (int c = 0; c < 4; ++c)
                sum[j * 4 + size_t(c)] += byteOf(line[size_t(i)], c);
            ++n[j];
        }
        for (size_t j = 0; j < size_t(out); ++j) {
            int32u p = 0;
            for (int c = 0; c < 4; ++c)
                p |= int32u(sum[j * 4 + size_t(c)] / n[j]) << (8 * c);
            r.push_back(p);
        }
    } else if (out > in) {
        double phase = 0;
        for (int i = 0; i < in; ++i) {
            r.push_back(line[size_t(i)]);
            phase += f - 1;
            if (phase >= 1.0 && i + 1 < in) {
                const int n = int(phase);
                phase -= n;
                for (int k = 1; k <= n; ++k)
                    r.push_back(lerp(line[size_t(i)], line[size_t(i) + 1], k, n));
            }
        }
        r.resize(size_t(out), r.empty() ? 0 : r[std::min(r.size(), size_t(out)) - 1]);
    } else {
        r = line;
    }
    return r;
}

image refArea(const image& in, int cols, int rows, double fx, double fy, int ow, int oh)
{
    image mid(size_t(ow) * size_t(rows));
    for (int y = 0; y < rows; ++y) {
        const auto r = refAxis(
            std::vector<int32u>(in.begin() + long(y) * cols, in.begin() + long(y + 1) * cols), ow,
            fx);
        std::copy(r.begin(), r.end(), mid.begin() + long(y) * ow);
    }
    image out(size_t(ow) * size_t(oh));
    for (int x = 0; x < ow; ++x) {
        std::vector<int32u> col(static_cast<size_t>(rows));
        for (int y = 0; y < rows; ++y)
            col[size_t(y)] = mid[size_t(y) * ow + x];
        const auto c = refAxis(col, oh, fy);
        for (int y = 0; y < oh; ++y)
            out[size_t(y) * ow + x] = c[size_t(y)];
    }
    return out;
}

image refWarp(const image& in, int cols, int rows, double fx, double fy, int method)
{
    const int ow = scaledDim(cols, fx), oh = scaledDim(rows, fy);
    if (fx < 1 || fy < 1)
        return refArea(in, cols, rows, fx, fy, ow, oh);
    return refMagnify(in, cols, rows, fx, fy, method, ow, oh);
}

// ---- Helpers ------------------------------------------------------------------------------------

image noise(int cols, int rows, unsigned seed)
{
    std::mt19937 g(seed);
    image px(size_t(cols) * size_t(rows));
    for (auto& p : px)
        p = g();
    return px;
}

struct warped {
    image px;
    int cols = 0, rows = 0;
    bool ok = false;
    std::string err, msg;
};

warped run(const image& in, int cols, int rows, double fx, double fy, int method)
{
    warped w;
    w.cols = cols;
    w.rows = rows;
    const double f[2] = {fx, fy};
    testing::internal::CaptureStderr();
    int32u* out = WARP(in.data(), &w.cols, &w.rows, f, method, &w.msg);
    w.err = testing::internal::GetCapturedStderr();
    if (out) {
        w.px.assign(out, out + size_t(w.cols) * size_t(w.rows));
        std::free(out);
        w.ok = true;
    }
    return w;
}

constexpr int kModes[] = {WARP_REPLICATE, WARP_BILINEAR, WARP_BICUBIC, WARP_CATMULL_ROM};

// ---- Tests --------------------------------------------------------------------------------------

TEST(Warp, MatchesThePlainResamplerByteForByte)
{
    struct shape {
        int cols, rows;
        double fx, fy;
    };
    const shape shapes[] = {
        {37, 23, 2, 2},      {16, 16, 16, 16},         {9, 31, 4, 1},          {50, 40, 3, 3},
        {33, 17, 2.5, 1.75}, {1, 20, 16, 1},           {20, 1, 1, 16},         {3, 3, 8, 8},
        {64, 48, 1.37, 5.9}, {40, 40, 0.5, 0.5},       {97, 71, 0.256, 0.256}, {70, 30, 0.5, 2},
        {30, 70, 3.3, 0.4},  {257, 40, 0.0625, 0.999}, {100, 33, 0.9995, 1},   {35, 19, 1.9, 0.98},
    };
    unsigned seed = 1;
    for (const shape& s : shapes) {
        const image in = noise(s.cols, s.rows, seed++);
        for (int m : kModes) {
            const warped w = run(in, s.cols, s.rows, s.fx, s.fy, m);
            ASSERT_TRUE(w.ok) << s.cols << "x" << s.rows << " " << s.fx << "," << s.fy << " m" << m
                              << w.err;
            EXPECT_EQ(w.cols, scaledDim(s.cols, s.fx));
            EXPECT_EQ(w.rows, scaledDim(s.rows, s.fy));
            const image ref = refWarp(in, s.cols, s.rows, s.fx, s.fy, m);
            for (size_t k = 0; k < ref.size(); ++k)
                ASSERT_EQ(w.px[k], ref[k])
                    << s.cols << "x" << s.rows << " " << s.fx << "," << s.fy << " mode " << m
                    << " at " << k % size_t(w.cols) << "," << k / size_t(w.cols);
        }
    }
    // Random sizes and factors, the zooms of the view among them.
    std::mt19937 g(7);
    for (int t = 0; t < 24; ++t) {
        const int cols = 1 + int(g() % 90), rows = 1 + int(g() % 70);
        const double zooms[] = {2, 4, 8, 16};
        double fx = t % 3 == 0 ? zooms[g() % 4] : 0.3 + (g() % 1000) / 80.0;
        double fy = t % 3 == 0 ? fx : 0.3 + (g() % 1000) / 80.0;
        fx = std::min(fx, 16.0);
        fy = std::min(fy, 16.0);
        if (scaledDim(cols, fx) < 16 || scaledDim(rows, fy) < 16)
            continue;
        const image in = noise(cols, rows, 100u + unsigned(t));
        const int m = kModes[t % 4];
        const warped w = run(in, cols, rows, fx, fy, m);
        ASSERT_TRUE(w.ok) << w.err;
        ASSERT_EQ(w.px, refWarp(in, cols, rows, fx, fy, m))
            << cols << "x" << rows << " " << fx << "," << fy << " mode " << m;
    }
}

TEST(Warp, ChecksRefuseWithTheirMessages)
{
    const image in = noise(20, 20, 3);
    struct refusal {
        double fx, fy;
        int method;
        const char* text;
    };
    const refusal cases[] = {
        {1.0, 1.0, WARP_BILINEAR, "\nWARP(): output dimensions == input dimensions"},
        {17.0, 1.0, WARP_BILINEAR, "\nWARP(): scalef[] too large"},
        {0.5, 0.5, WARP_BILINEAR, "\nWARP() computed output too small"},
        {2.0, 2.0, 0, "\nWARP() Fail: method returns NULL buffer"},
        {-1.0, 2.0, WARP_BILINEAR, "\nWARP() computed output too small"},
        {std::nan(""), 2.0, WARP_BILINEAR, "\nWARP() computed output too small"},
    };
    for (const refusal& c : cases) {
        const warped w = run(in, 20, 20, c.fx, c.fy, c.method);
        EXPECT_FALSE(w.ok) << c.text;
        EXPECT_EQ(w.err, c.text);
        EXPECT_EQ(w.cols, 20) << "sizes untouched";
        EXPECT_EQ(w.rows, 20);
    }
    EXPECT_EQ(run(in, 20, 20, 2, 2, 0).msg, "\nWARP() Fail: method returns NULL buffer");
    EXPECT_EQ(run(in, 20, 20, 1, 1, 2).msg, "") << "check failures go to standard error only";

    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = 1000;
        swap = 0;
        return true;
    });
    const warped w = run(in, 20, 20, 4, 4, WARP_BICUBIC);
    setFreeMemSource(nullptr);
    EXPECT_FALSE(w.ok);
    EXPECT_EQ(w.msg.rfind("\nUnsafe Memory request.", 0), 0u) << w.msg;
}

TEST(Warp, MethodBitsPickByPrecedence)
{
    const image in = noise(20, 20, 5);
    auto px = [&](int m) { return run(in, 20, 20, 3, 3, m).px; };
    EXPECT_EQ(px(WARP_BICUBIC | WARP_CATMULL_ROM | WARP_REPLICATE), px(WARP_BICUBIC));
    EXPECT_EQ(px(WARP_CATMULL_ROM | WARP_BILINEAR), px(WARP_CATMULL_ROM));
    EXPECT_EQ(px(WARP_REPLICATE | WARP_BILINEAR), px(WARP_REPLICATE));
    EXPECT_NE(px(WARP_BILINEAR), px(WARP_REPLICATE));
}

TEST(Warp, ReplicateShowsEveryInputPixelAsABlockWithoutAlpha)
{
    const image in = noise(100, 100, 9);
    const warped w = run(in, 100, 100, 2, 2, WARP_REPLICATE);
    ASSERT_TRUE(w.ok);
    ASSERT_EQ(w.cols, 200);
    ASSERT_EQ(w.rows, 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(w.px[size_t(y) * 200 + x], in[size_t(y / 2) * 100 + x / 2] & 0x00ffffffu)
                << "the last row and column show too: " << x << "," << y;

    // BILINEAR shows the last row and column too, on pixel positions.
    const warped b = run(in, 100, 100, 1, 3, WARP_BILINEAR);
    ASSERT_TRUE(b.ok);
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(b.px[size_t(297) * 100 + x], in[size_t(99) * 100 + x] & 0x00ffffffu) << x;

    // One column or one row: nothing before the first pixel is read.
    const image col = noise(1, 16, 4);
    for (int m : {WARP_REPLICATE, WARP_BILINEAR}) {
        const warped c = run(col, 1, 16, 16, 1, m);
        ASSERT_TRUE(c.ok);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(c.px[size_t(y) * 16 + x], col[size_t(y)] & 0x00ffffffu) << "mode " << m;
    }
}

TEST(Warp, ConstantImagesStayConstantInEveryMode)
{
    const image flat(size_t(40) * 30, 0xff8040c0u);
    const double factors[][2] = {{2, 2}, {3.5, 1.25}, {16, 16}, {0.6, 0.55}, {0.5, 2}, {0.45, 3}};
    for (const auto& f : factors)
        for (int m : kModes) {
            const warped w = run(flat, 40, 30, f[0], f[1], m);
            ASSERT_TRUE(w.ok);
            // Magnifiers clear alpha; the area path averages it with the colours.
            const int32u want = f[0] >= 1 && f[1] >= 1 ? 0x008040c0u : 0xff8040c0u;
            for (int32u p : w.px)
                ASSERT_EQ(p, want) << f[0] << "," << f[1] << " mode " << m;
        }
}

TEST(Warp, BilinearFollowsARampWithinOne)
{
    image ramp(size_t(64) * 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            ramp[size_t(y) * 64 + x] = int32u(x * 4) | int32u(y * 8) << 8;
    for (double f : {2.0, 3.0, 4.0, 5.5}) {
        const warped w = run(ramp, 64, 32, f, f, WARP_BILINEAR);
        ASSERT_TRUE(w.ok);
        // Inside the last input column and row the n-2 limit holds the ramp's last step.
        for (int y = 0; y < int(31 * f); ++y)
            for (int x = 0; x < int(63 * f); ++x) {
                const int32u p = w.px[size_t(y) * size_t(w.cols) + x];
                ASSERT_NEAR(byteOf(p, 0), 4.0 * x / f, 1.0) << f << " at " << x;
                ASSERT_NEAR(byteOf(p, 1), 8.0 * y / f, 1.0) << f << " at " << y;
            }
    }
}

TEST(Warp, HalvingAveragesBlocksAndMixedFactorsInterpolateRows)
{
    image in(size_t(100) * 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            in[size_t(y) * 100 + x] = int32u((x * 7 + y * 3) & 0xff) * 0x01010101u;
    for (int m : kModes) {
        const warped w = run(in, 100, 100, 0.5, 0.5, m);
        ASSERT_TRUE(w.ok);
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 50; ++x) {
                auto v = [&](int dx, int dy) {
                    return byteOf(in[size_t(2 * y + dy) * 100 + 2 * x + dx], 0);
                };
                const int want = ((v(0, 0) + v(1, 0)) / 2 + (v(0, 1) + v(1, 1)) / 2) / 2;
                ASSERT_EQ(w.px[size_t(y) * 50 + x], int32u(want) * 0x01010101u) << x << "," << y;
            }
    }

    const warped w = run(in, 100, 100, 0.5, 2.0, WARP_CATMULL_ROM);
    ASSERT_TRUE(w.ok);
    ASSERT_EQ(w.cols, 50);
    ASSERT_EQ(w.rows, 200);
    auto pair = [&](int x, int y) {
        return (byteOf(in[size_t(y) * 100 + 2 * x], 0) +
                byteOf(in[size_t(y) * 100 + 2 * x + 1], 0)) /
               2;
    };
    for (int x = 0; x < 50; x += 3)
        for (int y = 0; y < 99; ++y) {
            EXPECT_EQ(byteOf(w.px[size_t(2 * y) * 50 + x], 0), pair(x, y));
            EXPECT_EQ(byteOf(w.px[size_t(2 * y + 1) * 50 + x], 2),
                      (pair(x, y) + pair(x, y + 1) + 1) / 2);
        }
    for (int x = 0; x < 50; ++x)
        EXPECT_EQ(w.px[size_t(199) * 50 + x], w.px[size_t(198) * 50 + x])
            << "the row the phases leave out repeats the last one";
}

TEST(Warp, ReductionsJustBelowOneAreAccepted)
{
    // A buffer one pixel larger than the view on both axes.
    const image in = noise(1025, 1001, 11);
    const warped w = run(in, 1025, 1001, 1024.0 / 1025.0, 1000.0 / 1001.0, WARP_REPLICATE);
    ASSERT_TRUE(w.ok) << w.err;
    EXPECT_EQ(w.cols, 1024);
    EXPECT_EQ(w.rows, 1000);
    EXPECT_EQ(w.px, refWarp(in, 1025, 1001, 1024.0 / 1025.0, 1000.0 / 1001.0, WARP_REPLICATE));
    EXPECT_EQ(scaledDim(769, 768.0 / 769.0), 768) << "the ratio's rounding costs no row";
    EXPECT_EQ(scaledDim(10, 0.3), 3);
    EXPECT_EQ(scaledDim(10, 0.29), 2);
}

TEST(Warp, CatmullRomEqualsThePatchFormWithinOne)
{
    // Coefficients C = M P M' and the Horner sums, against the weighted sums WARP takes.
    const float m[4][4] = {{-0.5f, 1.5f, -1.5f, 0.5f},
                           {1.0f, -2.5f, 2.0f, -0.5f},
                           {-0.5f, 0.0f, 0.5f, 0.0f},
                           {0.0f, 1.0f, 0.0f, 0.0f}};
    const image in = noise(24, 24, 13);
    const warped w = run(in, 24, 24, 3, 3, WARP_CATMULL_ROM);
    ASSERT_TRUE(w.ok);
    for (int j = 3; j < 60; j += 5)
        for (int i = 3; i < 60; i += 7) {
            const float sx = float(i) * (1.0f / 3.0f), sy = float(j) * (1.0f / 3.0f);
            const int x = int(sx), y = int(sy);
            const float u = sx - float(x), v = sy - float(y);
            float p[4][4], q[4][4], c[4][4];
            for (int r = 0; r < 4; ++r)
                for (int k = 0; k < 4; ++k)
                    p[r][k] = float(
                        byteOf(in[size_t(clamp(y - 1 + r, 24)) * 24 + clamp(x - 1 + k, 24)], 1));
            for (int r = 0; r < 4; ++r)
                for (int k = 0; k < 4; ++k) {
                    q[r][k] = 0;
                    for (int l = 0; l < 4; ++l)
                        q[r][k] += p[r][l] * m[k][l];
                }
            for (int r = 0; r < 4; ++r)
                for (int k = 0; k < 4; ++k) {
                    c[r][k] = 0;
                    for (int l = 0; l < 4; ++l)
                        c[r][k] += m[r][l] * q[l][k];
                }
            float val = 0;
            for (int r = 0; r < 4; ++r)
                val = val * v + (((c[r][0] * u + c[r][1]) * u + c[r][2]) * u + c[r][3]);
            EXPECT_NEAR(byteOf(w.px[size_t(j) * 72 + i], 1), toByte(val), 1) << i << "," << j;
        }
}

} // namespace
