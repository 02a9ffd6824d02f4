#include "convKernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

int32u px(int r, int g, int b, int a = 0x5A)
{
    return int32u(a) << 24 | int32u(r) << 16 | int32u(g) << 8 | int32u(b);
}
int gun(int32u p, int g)
{
    return int(p >> (16 - 8 * g)) & 0xFF;
}

struct image {
    int32 cols, rows;
    std::vector<int32u> p;
    image(int32 c, int32 r, int32u fill = px(100, 100, 100))
        : cols(c), rows(r), p(std::size_t(c * r), fill)
    {
    }
    int32u& at(int32 x, int32 y) { return p[std::size_t(y * cols + x)]; }
};

int32 run(image& im, const convJob& job)
{
    return convolveImage(job, im.p.data(), im.cols, im.rows, std::size_t(im.cols), 0, 0,
                         im.cols - 1, im.rows - 1);
}

convJob kernelJob(const convKernel& k, int32 csum, int32 cval, int32 kscale = 0, int32 guns = 7)
{
    convJob j;
    j.kernel = &k;
    j.params = {csum, cval, kscale, guns};
    return j;
}

// The plain 64-bit reading of the rules, pixel by pixel, for the engine to agree with.
void reference(image& im, const convJob& j, int32 x0, int32 y0, int32 x1, int32 y1)
{
    const image in = im;
    const bool med = j.filter >= CF_MEDIAN_PLUS;
    const int32 kx = j.filter == CF_KERNEL ? j.kernel->xs : 3;
    const int32 ky = j.filter == CF_KERNEL ? j.kernel->ys : 3;
    const int32 rx = kx / 2, ry = ky / 2;
    auto v = [&](int32 x, int32 y, int g) {
        return std::int64_t(gun(in.p[std::size_t(y * in.cols + x)], g));
    };
    for (int32 y = y0; y <= y1; ++y)
        for (int32 x = x0; x <= x1; ++x) {
            if (x < rx || y < ry || x + rx >= im.cols || y + ry >= im.rows)
                continue;
            for (int g = 0; g < 3; ++g) {
                if (!(j.params.guns & (1 << g)))
                    continue;
                std::int64_t r = 0;
                if (j.filter == CF_KERNEL) {
                    std::int64_t s = 0;
                    for (int32 b = 0; b < ky; ++b)
                        for (int32 a = 0; a < kx; ++a)
                            s += j.kernel->coef[std::size_t(b * kx + a)] *
                                 v(x - rx + a, y - ry + b, g);
                    if (j.params.kscale > 1) {
                        const bool neg = s < 0;
                        if (__builtin_mul_overflow(s, std::int64_t(j.params.kscale), &s))
                            s = neg ? INT64_MIN : INT64_MAX;
                    }
                    const std::int64_t d = j.params.csum > 1 ? j.params.csum
                                           : j.params.csum == 1 && convKernelSum(*j.kernel) > 1
                                               ? convKernelSum(*j.kernel)
                                               : 1;
                    const std::int64_t q = s / d;
                    const std::int64_t base = j.params.cval <= 0   ? 0
                                              : j.params.cval == 1 ? v(x, y, g)
                                                                   : j.params.cval;
                    std::int64_t t;
                    if (__builtin_add_overflow(q, base, &t))
                        t = INT64_MAX;
                    r = t < 0 ? 0 : t > 255 ? 255 : t;
                } else if (j.filter == CF_SOBEL_MAG || j.filter == CF_SOBEL_DIR) {
                    const double gx =
                        double(v(x - 1, y - 1, g) + v(x - 1, y, g) + v(x - 1, y + 1, g) -
                               v(x + 1, y - 1, g) - v(x + 1, y, g) - v(x + 1, y + 1, g));
                    const double gy =
                        double(v(x - 1, y - 1, g) + v(x, y - 1, g) + v(x + 1, y - 1, g) -
                               v(x - 1, y + 1, g) - v(x, y + 1, g) - v(x + 1, y + 1, g));
                    double val;
                    if (j.filter == CF_SOBEL_MAG)
                        val = std::sqrt(gx * gx + gy * gy) * j.scale;
                    else
                        val = 128 + 30.0 * j.scale *
                                        (gx != 0  ? std::atan(gy / gx)
                                         : gy > 0 ? M_PI / 2
                                         : gy < 0 ? -M_PI / 2
                                                  : 0);
                    r = std::clamp<std::int64_t>(std::int64_t(std::trunc(val)), 0, 255);
                } else if (med) {
                    std::vector<std::int64_t> n;
                    for (int32 b = -1; b <= 1; ++b)
                        for (int32 a = -1; a <= 1; ++a) {
                            const bool take = j.filter == CF_MEDIAN_3X3 ||
                                              (j.filter == CF_MEDIAN_PLUS && (a == 0 || b == 0)) ||
                                              (j.filter == CF_MEDIAN_X && (a == 0) == (b == 0));
                            if (take)
                                n.push_back(v(x + a, y + b, g));
                        }
                    std::sort(n.begin(), n.end());
                    r = n[n.size() / 2];
                }
                int32u& o = im.p[std::size_t(y * im.cols + x)];
                const int sh = 16 - 8 * g;
                o = (o & ~(0xFFu << sh)) | int32u(r) << sh;
            }
        }
}

image randomImage(std::mt19937& rng, int32 c, int32 r)
{
    image im(c, r);
    for (int32u& p : im.p)
        p = int32u(rng());
    return im;
}

} // namespace

TEST(ConvKernels, BuiltinSums)
{
    const std::pair<convBuiltin, std::int64_t> sums[] = {
        {CK_LAPLACE_PLUS, 0}, {CK_LAPLACE_3X3, 0},    {CK_LAPLACE_5X5, 0}, {CK_GAUSS_5X5, 121},
        {CK_GAUSS_9X9, 256},  {CK_GAUSS_15X15, 2044}, {CK_GRAD_X_3X3, 0},  {CK_GRAD_X_5X5, 0},
        {CK_GRAD_X_9X9, 0},   {CK_GRAD_Y_3X3, 0},     {CK_GRAD_Y_5X5, 0},  {CK_GRAD_Y_9X9, 0},
        {CK_GRAD_D_3X3, 0},   {CK_GRAD_D_5X5, 0},     {CK_GRAD_D_9X9, 0},  {CK_MEX_HAT, 2},
        {CK_LOG, 0}};
    for (const auto& [k, s] : sums)
        EXPECT_EQ(convKernelSum(convBuiltinKernel(k)), s) << k;
    // A zero-sum kernel with Csum 1 is not divided; a positive sum is.
    EXPECT_EQ(convDivisor(convBuiltinKernel(CK_LAPLACE_3X3), {1, 0, 0, 7}), 1);
    EXPECT_EQ(convDivisor(convBuiltinKernel(CK_GAUSS_9X9), {1, 0, 0, 7}), 256);
    EXPECT_EQ(convDivisor(convBuiltinKernel(CK_GAUSS_9X9), {5, 0, 0, 7}), 5);
}

TEST(ConvKernels, FlatAreasAndProbes)
{
    struct flatCase {
        convBuiltin k;
        int32 csum, cval, expect;
    };
    const flatCase flat[] = {{CK_LAPLACE_PLUS, 0, 128, 128}, {CK_LAPLACE_3X3, 0, 128, 128},
                             {CK_LAPLACE_5X5, 0, 128, 128},  {CK_LAPLACE_3X3, 0, 1, 100},
                             {CK_GAUSS_5X5, 1, 0, 100},      {CK_GAUSS_15X15, 1, 0, 100},
                             {CK_MEX_HAT, 0, 0, 200}};
    for (const flatCase& c : flat) {
        image im(40, 20);
        ASSERT_EQ(run(im, kernelJob(convBuiltinKernel(c.k), c.csum, c.cval)), CONV_OK);
        EXPECT_EQ(gun(im.at(20, 10), 0), c.expect) << c.k;
    }
    // 10s with a 50 in the middle through the 3 x 3 Laplacian: SHARPEN and LAPLACIAN; Csum 1
    // does not divide the zero-sum kernel.
    for (const auto& [csum, cval, centre, ring] :
         {std::tuple{0, 1, 255, 0}, {0, 128, 255, 88}, {1, 128, 255, 88}}) {
        image im(40, 20, px(10, 10, 10));
        im.at(20, 10) = px(50, 50, 50);
        ASSERT_EQ(run(im, kernelJob(convBuiltinKernel(CK_LAPLACE_3X3), csum, cval)), CONV_OK);
        EXPECT_EQ(gun(im.at(20, 10), 1), centre);
        for (int32 dy = -1; dy <= 1; ++dy)
            for (int32 dx = -1; dx <= 1; ++dx)
                if (dx || dy) {
                    EXPECT_EQ(gun(im.at(20 + dx, 10 + dy), 1), ring) << cval;
                }
    }
    // An impulse of 121 through the 5 x 5 Gaussian gives back the kernel.
    image imp(40, 20, px(0, 0, 0));
    imp.at(20, 10) = px(121, 121, 121);
    ASSERT_EQ(run(imp, kernelJob(convBuiltinKernel(CK_GAUSS_5X5), 1, 0)), CONV_OK);
    for (int32 y = 0; y < 5; ++y)
        for (int32 x = 0; x < 5; ++x)
            EXPECT_EQ(gun(imp.at(18 + x, 8 + y), 2),
                      convBuiltinKernel(CK_GAUSS_5X5).coef[std::size_t(y * 5 + x)]);
    // Sum 9, S = -13, Cval 128: the quotient is truncated toward zero, 127 and not 126.
    convKernel k;
    ASSERT_TRUE(convKernelFromList(
        3, 3, false, std::vector<std::int16_t>{-1, -1, -1, -1, 17, -1, -1, -1, -1}, &k));
    image neg(40, 20, px(0, 0, 0));
    neg.at(19, 9) = px(13, 13, 13);
    ASSERT_EQ(run(neg, kernelJob(k, 1, 128)), CONV_OK);
    EXPECT_EQ(gun(neg.at(20, 10), 0), 127);
    // SOBEL across a vertical step.
    for (const auto& [hi, expect] : {std::pair{50, 150}, {100, 255}}) {
        image st(40, 20, px(0, 0, 0));
        for (int32 y = 0; y < 20; ++y)
            for (int32 x = 20; x < 40; ++x)
                st.at(x, y) = px(hi, hi, hi);
        convJob j;
        j.filter = CF_SOBEL_MAG;
        ASSERT_EQ(run(st, j), CONV_OK);
        EXPECT_EQ(gun(st.at(20, 10), 0), expect);
    }
}

TEST(ConvKernels, GunsEdgesAlphaAndWidth)
{
    std::mt19937 rng(5);
    image im = randomImage(rng, 60, 30);
    image before = im;
    ASSERT_EQ(run(im, kernelJob(convBuiltinKernel(CK_LAPLACE_5X5), 0, 1, 0, 2)), CONV_OK);
    int changed = 0;
    for (int32 y = 0; y < 30; ++y)
        for (int32 x = 0; x < 60; ++x) {
            const int32u a = before.at(x, y), b = im.at(x, y);
            EXPECT_EQ(a & 0xFFFF00FFu, b & 0xFFFF00FFu); // red, blue and alpha kept
            if (x < 2 || y < 2 || x > 57 || y > 27) {
                EXPECT_EQ(a, b);
            }
            changed += a != b;
        }
    EXPECT_GT(changed, 1000);
    // The area must be wider than the kernel plus 15.
    image narrow(60, 30);
    EXPECT_EQ(convolveImage(kernelJob(convBuiltinKernel(CK_GAUSS_5X5), 1, 0), narrow.p.data(), 60,
                            30, 60, 10, 0, 29, 29),
              CONV_TOO_NARROW);
    EXPECT_EQ(convolveImage(kernelJob(convBuiltinKernel(CK_GAUSS_5X5), 1, 0), narrow.p.data(), 60,
                            30, 60, 10, 0, 30, 29),
              CONV_OK);
}

TEST(ConvKernels, PlusListOrder)
{
    convKernel k;
    ASSERT_TRUE(convKernelFromList(3, 5, true, std::vector<std::int16_t>{1, 2, 3, 4, 5, 6, 7}, &k));
    const std::vector<std::int16_t> want = {0, 1, 0, 0, 2, 0, 3, 4, 5, 0, 6, 0, 0, 7, 0};
    EXPECT_EQ(k.coef, want);
    EXPECT_FALSE(convKernelFromList(3, 3, true, std::vector<std::int16_t>(6), &k));
}

// The engine against the plain reference on random kernels, areas, Csum, Cval and Kscale,
// small coefficients (the single-precision path, box sums) and full-range ones (64 bits).
TEST(ConvKernels, RandomKernelsMatchReference)
{
    std::mt19937 rng(11);
    for (int trial = 0; trial < 60; ++trial) {
        const int32 xs = 3 + 2 * int32(rng() % (trial % 6 == 0 ? 32 : 4));
        const int32 ys = 3 + 2 * int32(rng() % (trial % 6 == 0 ? 32 : 4));
        const bool plus = rng() % 3 == 0;
        const int range = trial % 3 == 0 ? 32767 : trial % 3 == 1 ? 20 : 1;
        std::vector<std::int16_t> list(std::size_t(convListLength(xs, ys, plus)));
        const bool flat = trial % 5 == 4 && !plus;
        for (auto& c : list)
            c = std::int16_t(flat ? -1 : int(rng() % (2 * range + 1)) - range);
        if (flat)
            list[list.size() / 2] = std::int16_t(rng() % 50);
        // Rows mirrored about the centre row (as the Gaussians are) every fourth trial.
        if (trial % 4 == 2 && !plus)
            for (int32 y = 0; y < ys / 2; ++y)
                for (int32 x = 0; x < xs; ++x)
                    list[std::size_t((ys - 1 - y) * xs + x)] = list[std::size_t(y * xs + x)];
        convKernel k;
        ASSERT_TRUE(convKernelFromList(xs, ys, plus, list, &k));
        const int32 csums[] = {0, 1, 7, 100000};
        const int32 cvals[] = {0, 1, 128, 2000000000};
        convJob j = kernelJob(k, csums[rng() % 4], cvals[rng() % 4],
                              rng() % 3 ? 0 : int32(rng() % 5000), int32(1 + rng() % 7));
        const int32 cols = xs + 30 + int32(rng() % 40), rows = ys + 8 + int32(rng() % 20);
        image a = randomImage(rng, cols, rows);
        image b = a;
        const int32 x0 = int32(rng() % 8), y0 = int32(rng() % 4);
        const int32 x1 = cols - 1 - int32(rng() % 4), y1 = rows - 1 - int32(rng() % 4);
        ASSERT_EQ(convolveImage(j, a.p.data(), cols, rows, std::size_t(cols), x0, y0, x1, y1),
                  CONV_OK);
        reference(b, j, x0, y0, x1, y1);
        ASSERT_EQ(a.p, b.p) << "trial " << trial << " " << xs << (plus ? "+" : "X") << ys;
    }
}

TEST(ConvKernels, MediansAndSobelMatchReference)
{
    std::mt19937 rng(3);
    const std::pair<convFilter, int32> jobs[] = {
        {CF_MEDIAN_PLUS, 1}, {CF_MEDIAN_X, 1},  {CF_MEDIAN_3X3, 1}, {CF_SOBEL_MAG, 1},
        {CF_SOBEL_MAG, 2},   {CF_SOBEL_DIR, 1}, {CF_SOBEL_DIR, 3}};
    for (const auto& [f, scale] : jobs)
        for (int32 guns : {7, 5}) {
            image a = randomImage(rng, 90, 17);
            // Flat runs and steps give gx = 0 and gy = 0 for the direction.
            for (int32 x = 0; x < 30; ++x)
                a.at(x, 5) = a.at(x, 6) = a.at(x, 7) = px(40, 40, 40);
            image b = a;
            convJob j;
            j.filter = f;
            j.scale = scale;
            j.params.guns = guns;
            ASSERT_EQ(convolveImage(j, a.p.data(), 90, 17, 90, 0, 0, 89, 16), CONV_OK);
            reference(b, j, 0, 0, 89, 16);
            ASSERT_EQ(a.p, b.p) << f << " " << scale;
        }
}
