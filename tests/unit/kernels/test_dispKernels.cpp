// The display operations' arithmetic: gamma tables at the menu's values, SHIFT's origin, the
// TILE grid and the touch-record match. The numbers are worked by hand from the rules.
#include <gtest/gtest.h>

#include <string>

#include "dispKernels.h"
#include "lutKernels.h"

namespace {

TEST(DispGamma, MenuValuesGiveTheHandWorkedEntries)
{
    struct Case {
        double g;
        int at, want;
    };
    const Case cases[] = {{2.00, 64, 16}, {2.00, 128, 64},  {2.00, 255, 255}, {2.50, 128, 46},
                          {0.65, 1, 7},   {0.65, 128, 163}, {7.0, 128, 79},   {0.05, 128, 79}};
    for (const Case& c : cases) {
        charu t[256];
        gammaTable(c.g, t);
        EXPECT_EQ(t[c.at], c.want) << "g " << c.g << " [" << c.at << "]";
    }
    // The menu holds single-precision values: every entry is the one the decimal gives.
    for (float f : {2.50f, 2.00f, 1.75f, 1.35f, 0.65f}) {
        charu fromFloat[256], fromDouble[256];
        gammaTable(f, fromFloat);
        gammaTable(std::stod(std::to_string(f).substr(0, 4)), fromDouble);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(fromFloat[i], fromDouble[i]) << "g " << f << " entry " << i;
    }
}

TEST(DispShift, OriginMovesByTheClickOffsetOverZoomAndStaysOnTheBuffer)
{
    struct Case {
        int32 origin, ref, now, zoom, len;
        int32 rc, want;
    };
    const Case cases[] = {
        {20, 100, 110, 2, 1000, DISPK_OK, 15},       // 10 view pixels right at zoom 2
        {3, 100, 110, 2, 1000, DISPK_OFF_SCREEN, 0}, // would be -2
        {20, 110, 100, 2, 1000, DISPK_OK, 25},       // the other way
        {20, 100, 109, 2, 1000, DISPK_OK, 16},       // -9 / 2 truncates to -4
        {990, 100, 0, 1, 1000, DISPK_OFF_SCREEN, 0}, // 1090: past the last buffer pixel
        {990, 9, 0, 1, 1000, DISPK_OK, 999},         // the last pixel still shows
        {0, 5, 5, 4, 1000, DISPK_OK, 0},
    };
    for (const Case& c : cases) {
        int32 out = -7;
        EXPECT_EQ(shiftOrigin(c.origin, c.ref, c.now, c.zoom, c.len, &out), c.rc)
            << c.origin << " " << c.ref << "->" << c.now;
        EXPECT_EQ(out, c.rc == DISPK_OK ? c.want : -7) << "refusals leave the result alone";
    }
}

TEST(DispTile, GridNeedsTwiceTheViewAndSnapsTheLastTileToTheEdge)
{
    EXPECT_EQ(tileCheck(1536 * 3 / 2, 2048, 1536, 1024), DISPK_TOO_SMALL);
    EXPECT_EQ(tileCheck(3072, 1536, 1536, 1024), DISPK_TOO_SMALL);
    EXPECT_EQ(tileCheck(3072, 2048, 1536, 1024), DISPK_OK);
    EXPECT_EQ(tileCheck(5000, 2048, 1536, 1024), DISPK_UNEVEN);
    EXPECT_EQ(tileCheck(100, 100, 0, 0), DISPK_TOO_SMALL);

    ASSERT_EQ(tileCount(5000, 1536), 4);
    const int32 want[4] = {0, 1536, 3072, 3464};
    for (int32 k = 0; k < 4; ++k)
        EXPECT_EQ(tileOrigin(k, 5000, 1536), want[k]);
    EXPECT_EQ(tileNear(0, 5000, 1536), 0);
    EXPECT_EQ(tileNear(800, 5000, 1536), 1);
    EXPECT_EQ(tileNear(3400, 5000, 1536), 3);
    EXPECT_EQ(tileNear(-300, 5000, 1536), 0);

    // Clicks in a 100 x 80 view on a 4 x 3 grid: the larger offset from the centre decides.
    struct Step {
        int32 cx, cy, tx, ty;
        bool moved;
        int32 wantX, wantY;
    };
    const Step steps[] = {
        {90, 45, 1, 1, true, 2, 1},  {10, 45, 1, 1, true, 0, 1},  {55, 75, 1, 1, true, 1, 2},
        {55, 5, 1, 1, true, 1, 0},   {90, 40, 3, 1, false, 3, 1}, {50, 40, 1, 1, false, 1, 1},
        {45, 79, 0, 2, false, 0, 2},
    };
    for (const Step& s : steps) {
        int32 tx = s.tx, ty = s.ty;
        EXPECT_EQ(tileStep(s.cx, s.cy, 100, 80, 4, 3, &tx, &ty), s.moved) << s.cx << "," << s.cy;
        EXPECT_EQ(tx, s.wantX);
        EXPECT_EQ(ty, s.wantY);
    }
}

TEST(DispTouch, RecordMatchesOnlyTheSameBlockAndView)
{
    const touchKey taken{3, 7, 2000, 1500, 1024, 768};
    EXPECT_TRUE(touchMatches(taken, taken));
    touchKey k = taken;
    k.bufNum = 4;
    EXPECT_FALSE(touchMatches(taken, k)) << "another buffer";
    k = taken;
    k.generation = 8;
    EXPECT_FALSE(touchMatches(taken, k)) << "a reload of the same size";
    k = taken;
    k.viewW = 1536;
    EXPECT_FALSE(touchMatches(taken, k)) << "the view changed size";
    k = taken;
    k.height = 1501;
    EXPECT_FALSE(touchMatches(taken, k)) << "the buffer changed size";
}

} // namespace
