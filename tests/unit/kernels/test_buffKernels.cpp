// The buffer operations' kernels from tables: joined blocks, resize factor rules, the free
// rotation angle, the crop box checks, the global view's area in the buffer and the plane work.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "buffKernels.h"

namespace {

// A w x h block whose pixel tells its source and place: tag in the top byte.
std::vector<int32u> tagged(int32 w, int32 h, int32u tag)
{
    std::vector<int32u> v(std::size_t(w) * std::size_t(h));
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x)
            v[std::size_t(y) * std::size_t(w) + std::size_t(x)] =
                tag << 24 | int32u(y) << 12 | int32u(x);
    return v;
}

TEST(JoinBlocks, EverySideKeepsBothBuffersWhole)
{
    struct Case {
        int32 side, cw, ch, ow, oh, jw, jh;
        int32 otherX, otherY, curX, curY; // where each buffer's origin lands
    };
    const Case cases[] = {
        {JOIN_RIGHT, 100, 50, 60, 50, 160, 50, 100, 0, 0, 0},
        {JOIN_LEFT, 100, 50, 60, 50, 160, 50, 0, 0, 60, 0},
        {JOIN_ABOVE, 100, 50, 100, 20, 100, 70, 0, 0, 0, 20},
        {JOIN_BELOW, 100, 50, 100, 20, 100, 70, 0, 50, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        int32 jw = 0, jh = 0;
        ASSERT_EQ(joinedSize(c.side, c.cw, c.ch, c.ow, c.oh, &jw, &jh), JOIN_OK);
        ASSERT_EQ(jw, c.jw);
        ASSERT_EQ(jh, c.jh);
        std::vector<int32u> block(std::size_t(jw) * std::size_t(jh), 0xDEADBEEFu);
        const std::vector<int32u> cur = tagged(c.cw, c.ch, 1);
        const std::vector<int32u> other = tagged(c.ow, c.oh, 2);
        joinBlocks(block.data(), cur.data(), c.cw, c.ch, other.data(), c.ow, c.oh, c.side);
        for (int32 y = 0; y < jh; ++y)
            for (int32 x = 0; x < jw; ++x) {
                const int32u p = block[std::size_t(y) * std::size_t(jw) + std::size_t(x)];
                const bool inOther =
                    x >= c.otherX && x < c.otherX + c.ow && y >= c.otherY && y < c.otherY + c.oh;
                const int32u want =
                    inOther ? (2u << 24 | int32u(y - c.otherY) << 12 | int32u(x - c.otherX))
                            : (1u << 24 | int32u(y - c.curY) << 12 | int32u(x - c.curX));
                ASSERT_EQ(p, want) << "at " << x << "," << y;
            }
    }
}

TEST(JoinBlocks, MismatchedSidesAreRefused)
{
    int32 jw = 0, jh = 0;
    EXPECT_EQ(joinedSize(JOIN_LEFT, 100, 50, 60, 49, &jw, &jh), JOIN_HEIGHTS);
    EXPECT_EQ(joinedSize(JOIN_RIGHT, 100, 50, 60, 51, &jw, &jh), JOIN_HEIGHTS);
    EXPECT_EQ(joinedSize(JOIN_ABOVE, 100, 50, 99, 20, &jw, &jh), JOIN_WIDTHS);
    EXPECT_EQ(joinedSize(JOIN_BELOW, 100, 50, 101, 20, &jw, &jh), JOIN_WIDTHS);
    EXPECT_EQ(joinedSize(7, 100, 50, 100, 50, &jw, &jh), JOIN_BAD_OTHER);
    EXPECT_EQ(joinedSize(JOIN_RIGHT, INT32_MAX - 5, 1, 6, 1, &jw, &jh), JOIN_NO_MEMORY)
        << "a width beyond 32 bits is refused, not wrapped";
}

TEST(ResizeRules, FactorsAndSizes)
{
    double fx = 0, fy = 0;
    EXPECT_EQ(resizeByFactors(1.005, 0.995, &fx, &fy), RSZ_UNCHANGED);
    EXPECT_EQ(resizeByFactors(20, 0, &fx, &fy), RSZ_RANGE);
    EXPECT_EQ(resizeByFactors(0.005, 1, &fx, &fy), RSZ_RANGE);
    EXPECT_EQ(resizeByFactors(-2, 1, &fx, &fy), RSZ_INVALID);
    ASSERT_EQ(resizeByFactors(2, 0, &fx, &fy), RSZ_OK);
    EXPECT_EQ(fx, 2.0);
    EXPECT_EQ(fy, 2.0) << "a zero y factor takes the x factor";
    ASSERT_EQ(resizeByFactors(16, 0.01, &fx, &fy), RSZ_OK) << "both limits are allowed";

    ASSERT_EQ(resizeToSize(200, 0, 100, 80, &fx, &fy), RSZ_OK);
    EXPECT_EQ(fx, 2.0);
    EXPECT_EQ(fy, 2.0) << "200 x 0 on 100 x 80 gives 200 x 160";
    ASSERT_EQ(resizeToSize(0, 40, 100, 80, &fx, &fy), RSZ_OK);
    EXPECT_EQ(fx, 0.5);
    EXPECT_EQ(resizeToSize(0, 0, 100, 80, &fx, &fy), RSZ_NOTHING);
    EXPECT_EQ(resizeToSize(100, 80, 100, 80, &fx, &fy), RSZ_NOTHING);
    EXPECT_EQ(resizeToSize(2000, 80, 100, 80, &fx, &fy), RSZ_RANGE);
}

TEST(RotAngle, NegativeTurnsClockwiseAndTheEndsAreRefused)
{
    struct Case {
        const char* reply;
        bool ok;
        double deg;
    };
    const Case cases[] = {{"-90", true, 270},  {"90", true, 90}, {"30.5", true, 30.5},
                          {"-180", true, 180}, {"0", false, 0},  {"360", false, 0},
                          {"abc", false, 0},   {"", false, 0},   {"-400", false, 0}};
    for (const Case& c : cases) {
        double d = -1;
        EXPECT_EQ(parseRotAngle(c.reply, &d), c.ok) << c.reply;
        if (c.ok) {
            EXPECT_EQ(d, c.deg) << c.reply;
        }
    }
}

TEST(CropBox, SizesAgainstTheBuffer)
{
    EXPECT_EQ(cropBoxCheck(7, 100, 200, 200), BOX_TOO_SMALL);
    EXPECT_EQ(cropBoxCheck(100, 7, 200, 200), BOX_TOO_SMALL);
    EXPECT_EQ(cropBoxCheck(8, 8, 200, 200), BOX_OK);
    EXPECT_EQ(cropBoxCheck(201, 50, 200, 200), BOX_EXCEEDS);
    EXPECT_EQ(cropBoxCheck(200, 200, 200, 200), BOX_OK);
}

TEST(CropBox, GlobalViewAreaScalesBackToTheBuffer)
{
    // A 1000 x 500 buffer shown at f = 0.5 as a 500 x 250 image from (10, 20).
    pixBox out{};
    ASSERT_TRUE(globalAreaToBuffer({60, 70, 109, 119}, {10, 20, 509, 269}, 0.5, 1000, 500, &out));
    EXPECT_EQ(out.x0, 100);
    EXPECT_EQ(out.y0, 100);
    EXPECT_EQ(out.x1, 199);
    EXPECT_EQ(out.y1, 199);
    ASSERT_TRUE(globalAreaToBuffer({0, 0, 600, 300}, {10, 20, 509, 269}, 0.5, 1000, 500, &out));
    EXPECT_EQ(out.x0, 0);
    EXPECT_EQ(out.x1, 999) << "cut to the buffer";
    EXPECT_FALSE(globalAreaToBuffer({0, 0, 5, 5}, {10, 20, 509, 269}, 0.5, 1000, 500, &out));
}

TEST(PlaneKernels, SwapAlphaShiftAndBurnIn)
{
    int32u p[2] = {0xAA11BB22u, 0x01020304u};
    swapRedBlue(p, 2);
    EXPECT_EQ(p[0], 0xAA22BB11u) << "0xAARRGGBB -> 0xAABBGGRR";
    EXPECT_EQ(p[1], 0x01040302u);

    int32u q[1] = {0x00112233u};
    alphaFromPlane(q, 1, 2);
    EXPECT_EQ(q[0], 0x22112233u);
    alphaSwapPlane(q, 1, 1);
    EXPECT_EQ(q[0], 0x11222233u) << "alpha and red exchanged";

    charu lut[256];
    for (int i = 0; i < 256; ++i)
        lut[i] = charu(i);
    int32u r[2] = {0xFF804020u, 0x80FF00FFu};
    alphaBurnIn(r, 2, lut);
    EXPECT_EQ(r[0], 0x00804020u) << "full alpha keeps the colour";
    EXPECT_EQ(r[1], 0x00800080u) << "half alpha halves it, rounded";

    // 3 x 2 block, red moved right by one: the first column's red becomes 0.
    int32u b[6] = {0x010000u, 0x020000u, 0x030000u, 0x040000u, 0x050000u, 0x060000u};
    for (int32u& v : b)
        v |= 0x77u;
    shiftPlanes(b, 3, 2, 0x00FF0000u, 1, 0);
    const int32u want[6] = {0x77u, 0x010077u, 0x020077u, 0x77u, 0x040077u, 0x050077u};
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(b[k], want[k]) << k;
}

} // namespace
