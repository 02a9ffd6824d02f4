// The edge detector's filters, table and core: the filter and table values worked by hand, step
// edges whose rows are known, and the fast core against a slow transcription of the method
// (64-bit rings, every tap multiplied on its own, the output rules written out one by one).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "cannyKernels.h"

namespace {

using i64 = std::int64_t;
using plane = std::vector<charu>;

// ---- the slow transcription ----

int32 toLevel(double v, int32 lo, int32 hi)
{
    const double t = std::trunc(double(float(v)));
    return t < lo ? lo : t > hi ? hi : int32(t);
}

i64 ratio(i64 p, i64 q)
{
    return p > 65535 ? p / (q >> 8) : (p << 8) / q;
}

int32 literalOrient(i64 X, i64 Y, int32 prev)
{
    const charu* T = cannyAtanTable();
    const i64 ax = X < 0 ? -X : X, ay = Y < 0 ? -Y : Y;
    if (X > 0 && Y >= 0)
        return X > Y ? T[ratio(Y, X)] : 63 - T[ratio(X, Y)];
    if (X <= 0 && Y > 0)
        return Y < ax ? 127 - T[ratio(Y, ax)] : 64 + T[ratio(ax, Y)];
    if (X < 0 && Y <= 0)
        return ax > ay ? 128 + T[ratio(ay, ax)] : 191 - T[ratio(ax, ay)];
    if (X >= 0 && Y < 0)
        return X <= ay ? 192 + T[ratio(X, ay)] : 255 - T[ratio(ay, X)];
    return prev;
}

plane literalCanny(const plane& in, int32 C, int32 R, int32 kind, const cannyFilters& f, bool thin,
                   double n)
{
    const int32 w = f.w, h = f.h;
    plane out(std::size_t(C) * R, 0);
    using row = std::vector<i64>;
    std::vector<row> hg(w, row(C)), hd(w, row(C)), hdd(w, row(C));
    auto filter = [&](int32 r, int32 slot) {
        for (int32 c = 0; c < C; ++c) {
            i64 sg = 0, sd = 0, sdd = 0;
            for (int32 j = -h; j <= h; ++j) {
                if (c + j < 0 || c + j >= C)
                    continue;
                const i64 v = in[std::size_t(r) * C + c + j];
                sg += f.G[h + j] * v;
                sd += f.D[h + j] * v;
                sdd += f.DD[h + j] * v;
            }
            hg[slot][c] = sg;
            hd[slot][c] = sd;
            hdd[slot][c] = sdd;
        }
    };
    for (int32 r = 0; r < w; ++r)
        filter(r, r);
    std::vector<row> gx(3, row(C)), gy(3, row(C)), gxx(3, row(C)), gyy(3, row(C));
    int32 start = 0, slot = 0;
    for (int32 r = 0; r <= R - w; ++r) {
        for (int32 c = 0; c < C; ++c) {
            i64 qy = 0, qx = 0, qxx = 0, qyy = 0;
            for (int32 k = 0; k < w; ++k) {
                const int32 s = (start + k) % w;
                qy += f.D[k] * hg[s][c];
                qx += f.G[k] * hd[s][c];
                qxx += f.G[k] * hdd[s][c];
                qyy += f.DD[k] * hg[s][c];
            }
            gx[slot][c] = qx;
            gy[slot][c] = qy;
            gxx[slot][c] = qxx;
            gyy[slot][c] = qyy;
        }
        if (r > 1) {
            const int32 mid = (slot + 2) % 3, pre = (slot + 1) % 3, nxt = slot;
            auto M = [&](int32 q, int32 c) {
                const double x = double(gx[q][c]), y = double(gy[q][c]);
                return std::sqrt(x * x + y * y);
            };
            charu* o = &out[std::size_t(h + r - 1) * C];
            int32 prev = 0;
            for (int32 c = 1; c < C - 1; ++c) {
                const double a = double(gx[mid][c]), b = double(gy[mid][c]);
                int32 s = toLevel(std::sqrt((a / n) * (a / n) + (b / n) * (b / n)), 0, 255);
                const int32 ori = literalOrient(-gx[mid][c], gy[mid][c], prev);
                prev = ori;
                const int32 lap = toLevel(double(gxx[mid][c] + gyy[mid][c]) / n, 0, 255);
                if (thin && a != 0 && b != 0) {
                    const double fa = std::fabs(a), fb = std::fabs(b);
                    const double t = std::fmin(fa, fb) / std::fmax(fa, fb);
                    const bool same = (a > 0) == (b > 0);
                    double P, Q;
                    if (fb <= fa) {
                        const double D1 = same ? M(nxt, c + 1) : M(pre, c + 1);
                        const double D2 = same ? M(pre, c - 1) : M(nxt, c - 1);
                        P = (1 - t) * M(mid, c + 1) + t * D1;
                        Q = (1 - t) * M(mid, c - 1) + t * D2;
                    } else {
                        const double D1 = same ? M(pre, c - 1) : M(pre, c + 1);
                        const double D2 = same ? M(nxt, c + 1) : M(nxt, c - 1);
                        P = (1 - t) * M(pre, c) + t * D1;
                        Q = (1 - t) * M(nxt, c) + t * D2;
                    }
                    const double centre = std::sqrt(a * a + b * b);
                    s = (centre > P && centre > Q) ? toLevel(centre / n, 1, 254) : 0;
                }
                o[c] = charu(kind == CANNY_EDGE ? s : kind == CANNY_ORIENT ? ori : lap);
            }
        }
        if (r < R - w) {
            filter(r + w, start);
            start = (start + 1) % w;
            slot = (slot + 1) % 3;
        }
    }
    return out;
}

// ---- helpers ----

plane run(const plane& in, int32 C, int32 R, int32 kind, const cannyFilters& f, bool thin, double n,
          int32* overflow = nullptr)
{
    plane out(in.size(), 77);
    EXPECT_EQ(cannyCore(in.data(), out.data(), kind, C, R, f, thin, n, overflow), CANNY_OK);
    return out;
}

plane stepPlane(int32 C, int32 R, int32 edgeCol, charu lo, charu hi)
{
    plane p(std::size_t(C) * R);
    for (int32 y = 0; y < R; ++y)
        for (int32 x = 0; x < C; ++x)
            p[std::size_t(y) * C + x] = x >= edgeCol ? hi : lo;
    return p;
}

std::vector<int32> rowOf(const plane& p, int32 C, int32 y)
{
    return std::vector<int32>(p.begin() + std::size_t(y) * C, p.begin() + std::size_t(y + 1) * C);
}
std::vector<int32> columnOf(const plane& p, int32 C, int32 R, int32 x)
{
    std::vector<int32> v;
    for (int32 y = 0; y < R; ++y)
        v.push_back(p[std::size_t(y) * C + x]);
    return v;
}
std::vector<int32> cat(std::initializer_list<std::vector<int32>> parts)
{
    std::vector<int32> v;
    for (const auto& p : parts)
        v.insert(v.end(), p.begin(), p.end());
    return v;
}
std::vector<int32> zeros(int32 k)
{
    return std::vector<int32>(k, 0);
}

const cannyFilters& defaults()
{
    static const cannyFilters f = canny_filters(CANNY_K_DEF, CANNY_SIGMA_DEF);
    return f;
}
double defaultNorm()
{
    return cannyNorm(CANNY_K_DEF, CANNY_SIGMA_DEF, CANNY_BRIGHT_DEF);
}

// ---- filters, table, norm ----

TEST(CannyFilters, DefaultsGiveTheWorkedTaps)
{
    const cannyFilters& f = defaults();
    ASSERT_EQ(f.w, 13);
    EXPECT_EQ(f.h, 6);
    EXPECT_FALSE(f.truncated);
    const std::vector<int32> G(f.G, f.G + 13), D(f.D, f.D + 13), DD(f.DD, f.DD + 13);
    EXPECT_EQ(G, (std::vector<int32>{4, 19, 60, 146, 272, 397, 450, 397, 272, 146, 60, 19, 4}));
    int32 sum = 0;
    for (int32 v : G)
        sum += v;
    EXPECT_EQ(sum, 2246);
    EXPECT_EQ(
        D, (std::vector<int32>{29, 98, 243, 438, 545, 397, 0, -397, -545, -438, -243, -98, -29}));
    EXPECT_EQ(DD, (std::vector<int32>{32, 99, 180, 182, 0, -297, -450, -297, 0, 182, 180, 99, 32}));
}

TEST(CannyFilters, LengthGrowsWithSigmaAndIsCutAtThirtyTwoTerms)
{
    struct {
        int32 K;
        double sigma;
        int32 w;
    } cases[] = {{450, 4.5, 31}, {450, 5.0, 35}, {700, 4.0, 29}, {200, 1.0, 7}};
    for (const auto& c : cases)
        EXPECT_EQ(canny_filters(c.K, c.sigma).w, c.w) << c.K << " " << c.sigma;
    // Only a gain far beyond the accepted range keeps the Gaussian alive for 32 terms.
    testing::internal::CaptureStderr();
    const cannyFilters big = canny_filters(1000000, 7.0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nWARN: canny_filters truncated");
    EXPECT_TRUE(big.truncated);
    EXPECT_EQ(big.w, 63);
}

TEST(CannyFilters, ArctangentTableAndNorm)
{
    const charu* T = cannyAtanTable();
    EXPECT_EQ(T[0], 0);
    EXPECT_EQ(T[7], 1);
    EXPECT_EQ(T[128], 18);
    EXPECT_EQ(T[256], 32);
    for (int k = 1; k <= 256; ++k)
        ASSERT_LE(T[k - 1], T[k]);
    EXPECT_DOUBLE_EQ(cannyNorm(450, 2.0, 1.0), 2.0 * 450 * 450 * 3.14159265358979 * 4);
    EXPECT_DOUBLE_EQ(cannyNorm(450, 2.0, 4.0), cannyNorm(450, 2.0, 1.0) / 4);
    EXPECT_DOUBLE_EQ(cannyNorm(450, 2.0, 9.0), cannyNorm(450, 2.0, 1.0)) << "beyond 8: ignored";
}

// ---- the core on known edges ----

TEST(CannyCore, RefusesPlanesNotLargerThanTheFilter)
{
    plane in(13 * 40, 9), out(13 * 40);
    EXPECT_EQ(cannyCore(in.data(), out.data(), CANNY_EDGE, 13, 40, defaults(), true, 1, nullptr),
              CANNY_TOO_SMALL);
    EXPECT_EQ(cannyCore(in.data(), out.data(), CANNY_EDGE, 40, 13, defaults(), true, 1, nullptr),
              CANNY_TOO_SMALL);
    EXPECT_EQ(cannyCore(in.data(), out.data(), CANNY_EDGE, 14, 14, defaults(), true, 1, nullptr),
              CANNY_OK);
}

TEST(CannyCore, VerticalStepRows)
{
    const plane in = stepPlane(32, 32, 16, 0, 200);
    const double n = defaultNorm();
    const plane edge = run(in, 32, 32, CANNY_EDGE, defaults(), true, n);
    EXPECT_EQ(rowOf(edge, 32, 16), cat({zeros(10),
                                        {2, 11, 32, 71, 119, 154, 154, 119, 71, 32, 11, 2},
                                        zeros(4),
                                        {2, 11, 32, 71, 119},
                                        zeros(1)}));
    for (int32 y : {0, 6, 25, 31})
        EXPECT_EQ(rowOf(edge, 32, y), zeros(32)) << "row " << y;
    EXPECT_EQ(rowOf(edge, 32, 7), rowOf(edge, 32, 24)) << "every row between alike";

    const plane ori = run(in, 32, 32, CANNY_ORIENT, defaults(), true, n);
    EXPECT_EQ(rowOf(ori, 32, 16), cat({zeros(26), std::vector<int32>(5, 128), zeros(1)}));
    const plane lap = run(in, 32, 32, CANNY_LAPLAC, defaults(), true, n);
    EXPECT_EQ(rowOf(lap, 32, 16), cat({zeros(10), {2, 11, 27, 42, 42, 15}, zeros(16)}));
}

TEST(CannyCore, HorizontalStepOrientsDownwards)
{
    plane in(32 * 32);
    for (int32 y = 16; y < 32; ++y)
        for (int32 x = 0; x < 32; ++x)
            in[std::size_t(y) * 32 + x] = 200;
    const plane ori = run(in, 32, 32, CANNY_ORIENT, defaults(), true, defaultNorm());
    const std::vector<int32> col = columnOf(ori, 32, 32, 16);
    EXPECT_EQ(std::vector<int32>(col.begin() + 10, col.begin() + 22), std::vector<int32>(12, 192));
}

TEST(CannyCore, DiagonalStepIsThinned)
{
    plane in(32 * 32);
    for (int32 y = 0; y < 32; ++y)
        for (int32 x = 0; x < 32; ++x)
            in[std::size_t(y) * 32 + x] = x + y >= 32 ? 200 : 0;
    const double n = defaultNorm();
    std::vector<int32> want = zeros(32);
    want[15] = want[16] = 156;
    want[28] = 32;
    want[29] = 71;
    want[30] = 119;
    EXPECT_EQ(rowOf(run(in, 32, 32, CANNY_EDGE, defaults(), true, n), 32, 16), want);
    const std::vector<int32> ori =
        rowOf(run(in, 32, 32, CANNY_ORIENT, defaults(), true, n), 32, 16);
    EXPECT_EQ(ori[15], 224);
    EXPECT_EQ(ori[16], 224);
}

TEST(CannyCore, StrongStepAtTopGainDoesNotWrap)
{
    // Here the vertical quantities pass 2^31: with 32-bit sums the strengths would wrap.
    const plane in = stepPlane(32, 32, 16, 0, 255);
    const cannyFilters f = canny_filters(700, 2.0);
    int32 overflow = 0;
    const plane edge = run(in, 32, 32, CANNY_EDGE, f, true, cannyNorm(700, 2.0, 1.0), &overflow);
    EXPECT_EQ(rowOf(edge, 32, 16), cat({zeros(10),
                                        {4, 15, 42, 91, 153, 198, 198, 153, 91, 42, 15, 4},
                                        zeros(4),
                                        {4, 15, 42, 91, 153},
                                        zeros(1)}));
    EXPECT_EQ(overflow, 0);
}

// ---- the fast core against the transcription ----

TEST(CannyCore, EqualsTheLiteralMethodOverTheParameterGrid)
{
    std::uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 24;
    };
    // Odd sizes reach the scalar column tail; blocky noise gives every orientation and both
    // thinning branches; the wide plane reaches past one block of the horizontal filter.
    struct size {
        int32 C, R;
    } sizes[] = {{45, 37}, {300, 34}};
    for (const size& sz : sizes) {
        plane in(std::size_t(sz.C) * sz.R);
        for (int32 y = 0; y < sz.R; ++y)
            for (int32 x = 0; x < sz.C; ++x)
                in[std::size_t(y) * sz.C + x] = (x / 3 + y / 4) % 3 ? charu(next()) : 255;
        struct {
            int32 K;
            double sigma;
        } filt[] = {{200, 1.0}, {450, 2.0}, {700, 2.0}, {700, 4.0}, {450, 4.5}, {333, 1.7}};
        for (const auto& fp : filt) {
            const cannyFilters f = canny_filters(fp.K, fp.sigma);
            if (sz.R <= f.w)
                continue;
            for (double bright : {1.0, 3.5, 8.0}) {
                const double n = cannyNorm(fp.K, fp.sigma, bright);
                for (bool thin : {true, false})
                    for (int32 kind : {CANNY_EDGE, CANNY_ORIENT, CANNY_LAPLAC})
                        ASSERT_EQ(run(in, sz.C, sz.R, kind, f, thin, n),
                                  literalCanny(in, sz.C, sz.R, kind, f, thin, n))
                            << "C " << sz.C << " K " << fp.K << " sigma " << fp.sigma << " bright "
                            << bright << " thin " << thin << " kind " << kind;
            }
        }
    }
}

} // namespace
