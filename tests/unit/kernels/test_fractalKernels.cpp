// The fractal generator's arithmetic: escape counts of single points worked by hand (or by
// an independent escape-time loop), a row of the default Mandelbrot view, the zoom geometry,
// the history's limit, the colour map and the prompt parsers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fractalKernels.h"

namespace {

int32 countAt(const fractalSettings& s, double x, double y)
{
    int32 c = -1;
    fractalCounts(s, x, 0.0, y, std::span<int32>(&c, 1));
    return c;
}

TEST(FractalCounts, PointsOfEachTypeGiveTheirEscapeCounts)
{
    struct Case {
        int32 type;
        double x, y;
        int32 want;
    };
    const Case cases[] = {
        {FRACT_MANDELBROT, 0.0, 0.0, 255},  {FRACT_MANDELBROT, 1.0, 0.0, 1},
        {FRACT_MANDELBROT, -2.0, 0.0, 0},   {FRACT_MANDELBROT, 0.25, 0.0, 255},
        {FRACT_MANDELBROT, -0.75, 0.1, 32}, {FRACT_MANDELBROT, 0.5, 0.5, 4},
        {FRACT_MANDELBROT, -0.1, 0.65, 74}, {FRACT_JULIA, 0.0, 0.0, 15},
        {FRACT_JULIA, 1.0, 0.0, 11},        {FRACT_JULIA, 0.25, 0.0, 31},
        {FRACT_BARNSLEY1, 0.0, 0.0, 2},     {FRACT_BARNSLEY2, 0.0, 0.0, 15},
        {FRACT_SPIDER, 0.0, 0.0, 7},        {FRACT_MANOWAR, 0.0, 0.0, 4},
        {FRACT_SIERPINSKI, 0.0, 0.0, 255},
    };
    for (const Case& c : cases) {
        fractalSettings s; // N = 256, T = 4, c = (-0.75, -0.2)
        s.type = c.type;
        EXPECT_EQ(countAt(s, c.x, c.y), c.want)
            << fractalTypeName(c.type) << " at " << c.x << "," << c.y;
    }
}

TEST(FractalCounts, MandelbrotLanesAgreeWithAPlainEscapeLoop)
{
    // A row across the set's border at a deep limit: lanes finish at very different counts
    // and take new pixels in between.
    fractalSettings s;
    s.iters = 3000;
    const int32 n = 613;
    const double x0 = -1.8, dx = 2.4 / n, y = 0.0123;
    std::vector<int32> got(n);
    fractalCounts(s, x0, dx, y, got);
    double x = x0;
    for (int32 i = 0; i < n; ++i, x += dx) {
        double zr = 0.0, zi = 0.0;
        int32 k = 0;
        for (; k < s.iters - 1; ++k) {
            const double r = zr * zr - zi * zi + x, im = 2.0 * zr * zi + y;
            zr = r;
            zi = im;
            if (zr * zr + zi * zi >= s.term)
                break;
        }
        ASSERT_EQ(got[std::size_t(i)], k) << "pixel " << i;
    }
}

TEST(FractalRow, DefaultMandelbrotRowThroughTheMap)
{
    fractalSettings s;
    s.area = fractalDefaultArea(FRACT_MANDELBROT);
    std::vector<int32u> map(256);
    for (int32u i = 0; i < 256; ++i)
        map[i] = i;
    std::vector<int32u> row(16);
    FRACTAL_ROW(s, 6, 12, map, row); // y = 0
    const std::vector<int32u> want = {0,   255, 255, 255, 255, 255, 255, 255,
                                      255, 255, 255, 255, 7,   3,   2,   2};
    EXPECT_EQ(row, want);
}

TEST(FractalColours, MapHasOneEntryPerCountAndEndsBlack)
{
    EXPECT_EQ(fractalMapSize(256), 256);
    EXPECT_EQ(fractalMapSize(1000), 1000);
    std::vector<charu> r(300, 10), g(300, 20), b(300, 30);
    const std::vector<int32u> m = fractalColourMap(r.data(), g.data(), b.data(), 300);
    ASSERT_EQ(m.size(), 300u);
    EXPECT_EQ(m[0], 0x000A141Eu);
    EXPECT_EQ(m[298], 0x000A141Eu);
    EXPECT_EQ(m[299], 0u);
}

TEST(FractalZoom, CentreZoomHalvesExtentsAndTinyAreasAreRefused)
{
    fractalArea a{-2.0, -1.5, 2.0, 1.5};
    ASSERT_TRUE(fractalZoom(a, 128, 96, 256, 192, 2));
    EXPECT_DOUBLE_EQ(a.x0, 0.0);
    EXPECT_DOUBLE_EQ(a.y0, 0.0);
    EXPECT_DOUBLE_EQ(a.x1 - a.x0, 2.0);
    EXPECT_DOUBLE_EQ(a.y1 - a.y0, 1.5);
    fractalArea tiny{0.0, 0.0, 1e-12, 1e-12};
    EXPECT_FALSE(fractalZoom(tiny, 0, 0, 256, 192, 16));
    EXPECT_EQ(tiny.x1, 1e-12); // unchanged
    EXPECT_TRUE(fractalZoom(tiny, 0, 0, 256, 192, 8));
}

TEST(FractalHistory, HoldsSixtyFourAndStepsBackToTheFirst)
{
    fractalHistory h;
    fractalSettings s;
    for (int32 i = 0; i < 64; ++i) {
        s.iters = 256 + i;
        ASSERT_TRUE(h.push(s)) << i;
    }
    s.iters = 999;
    EXPECT_FALSE(h.push(s));
    fractalSettings out;
    ASSERT_TRUE(h.back(&out));
    EXPECT_EQ(out.iters, 256 + 62);
    for (int32 i = 0; i < 70; ++i)
        ASSERT_TRUE(h.back(&out));
    EXPECT_EQ(out.iters, 256); // the first one stays
    EXPECT_EQ(h.count(), 1);
    h.clear();
    EXPECT_FALSE(h.back(&out));
}

TEST(FractalPrompts, IterationsConstantAndAreaAnswers)
{
    struct Iter {
        const char* answer;
        int32 rc, iters;
        double term;
    };
    const Iter iters[] = {
        {"100", FRP_SET, 256, 4.0},   {"1000, 2.5", FRP_SET, 1000, 2.5},
        {"300 9", FRP_SET, 300, 9.0}, {"65535", FRP_SET, 65535, 4.0},
        {"", FRP_EMPTY, 0, 4.0},      {"  ", FRP_EMPTY, 0, 4.0},
        {"65536", FRP_BAD, 0, 4.0},   {"300, 0", FRP_BAD, 0, 4.0},
        {"300, -1", FRP_BAD, 0, 4.0}, {"3.5", FRP_BAD, 0, 4.0},
        {"abc", FRP_BAD, 0, 4.0},     {"300, 4, 5", FRP_BAD, 0, 4.0},
    };
    for (const Iter& c : iters) {
        int32 n = 0;
        double t = 4.0;
        EXPECT_EQ(parseFractalIterations(c.answer, &n, &t), c.rc) << "'" << c.answer << "'";
        EXPECT_EQ(n, c.iters) << c.answer;
        EXPECT_EQ(t, c.term) << c.answer;
    }
    double cx = 9.0, cy = 9.0;
    EXPECT_EQ(parseFractalC("0.3, -1", &cx, &cy), FRP_SET);
    EXPECT_EQ(cx, 0.3);
    EXPECT_EQ(cy, -1.0);
    EXPECT_EQ(parseFractalC("", &cx, &cy), FRP_EMPTY);
    EXPECT_EQ(parseFractalC("0.3", &cx, &cy), FRP_BAD);
    EXPECT_EQ(parseFractalC("a, b", &cx, &cy), FRP_BAD);
    EXPECT_EQ(cx, 0.3);

    fractalArea a{};
    EXPECT_EQ(fractalAreaFrom(1.0, 1.0, -1.0, -0.5, &a), FRA_SET);
    EXPECT_EQ(a.x0, -1.0);
    EXPECT_EQ(a.y0, -0.5);
    EXPECT_EQ(a.x1, 1.0);
    EXPECT_EQ(a.y1, 1.0);
    EXPECT_EQ(fractalAreaFrom(-3.1, 0.0, 1.0, 1.0, &a), FRA_RANGE);
    EXPECT_EQ(fractalAreaFrom(0.0, 0.0, 1.0, 2.5, &a), FRA_RANGE);
    EXPECT_EQ(fractalAreaFrom(0.5, 0.0, 0.5, 1.0, &a), FRA_FLAT);
    EXPECT_EQ(a.x0, -1.0); // unchanged by refusals
}

} // namespace
