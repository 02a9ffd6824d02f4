// View size rules, placement on the screen, and the choice of the 24-bit visual.
#include <gtest/gtest.h>

#include "viewDims.h"

namespace {

struct SizeCase {
    charu type;
    int32 maxW, maxH, scrW, scrH;
    int32u w, h;
    bool full;
};

class ViewSize : public ::testing::Test {
protected:
    void SetUp() override { resetViewDims(); }
    void TearDown() override { resetViewDims(); }
};

TEST_F(ViewSize, RulesForEachDisplayType)
{
    const SizeCase cases[] = {
        // A small buffer: the fit size is raised to the 768 minimum.
        {DPY_FIT, 500, 400, 1920, 1080, 768, 768, false},
        // A fixed maximum: width min(1632, 1536); height min(918, 1024) = 918 + 918 % 16.
        {DPY_MAX, 1536, 1024, 1920, 1080, 1536, 924, false},
        // The screen limits a large maximum: trunc(0.85 x 1920) = 1632, 918 -> 924.
        {DPY_MAX, 2048, 1536, 1920, 1080, 1632, 924, false},
        {DPY_MIN, 4000, 4000, 1920, 1080, 768, 768, false},
        {DPY_FULL, 1024, 768, 1920, 1080, 1920, 1048, true},
        // Full screen keeps the screen width exactly (no adjustment).
        {DPY_FULL, 1024, 768, 1366, 800, 1366, 768, true},
    };
    for (const SizeCase& c : cases) {
        resetViewDims();
        SET_DPY_TYPE(c.type);
        SET_VIEW_MAX(c.maxW, c.maxH);
        vDims.screenW = c.scrW;
        vDims.screenH = c.scrH;
        SET_VIEW_DIM();
        EXPECT_EQ(vDims.width, c.w) << int(c.type) << " " << c.maxW << "x" << c.maxH;
        EXPECT_EQ(vDims.height, c.h) << int(c.type) << " " << c.maxW << "x" << c.maxH;
        EXPECT_EQ(vDims.fullScreen, c.full);
    }
}

TEST_F(ViewSize, MaximumIsRaisedAndAdjusted)
{
    SET_VIEW_MAX(1000, 1001);
    EXPECT_EQ(vDims.maxW, 1008);
    EXPECT_EQ(vDims.maxH, 1010);
    SET_VIEW_MAX(10, -5);
    EXPECT_EQ(vDims.maxW, 768);
    EXPECT_EQ(vDims.maxH, 768);
}

TEST_F(ViewSize, LockFreezesTypeMaximumAndSize)
{
    vDims.screenW = 1920;
    vDims.screenH = 1080;
    SET_DPY_TYPE(DPY_MIN);
    SET_VIEW_DIM();
    SET_VIEW_LOCK(true);
    SET_DPY_TYPE(DPY_FULL);
    SET_VIEW_MAX(2000, 2000);
    SET_VIEW_DIM();
    EXPECT_EQ(vDims.dpyType, DPY_MIN);
    EXPECT_EQ(vDims.maxW, 1024);
    EXPECT_EQ(vDims.width, 768u);
    EXPECT_FALSE(vDims.fullScreen);
    SET_VIEW_LOCK(false);
    SET_DPY_TYPE(DPY_FULL);
    SET_VIEW_DIM();
    EXPECT_EQ(vDims.width, 1920u);
}

TEST_F(ViewSize, UnknownTypeReportsAndKeepsSize)
{
    vDims.screenW = 1920;
    vDims.screenH = 1080;
    SET_DPY_TYPE(DPY_MIN);
    SET_VIEW_DIM();
    SET_DPY_TYPE(7);
    testing::internal::CaptureStderr();
    SET_VIEW_DIM();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n***TAV_WMGT|SET_VIEW_DIM(): dpyType fail");
    EXPECT_EQ(vDims.width, 768u);
    EXPECT_EQ(vDims.height, 768u);
}

TEST(ViewPlace, CentredUnlessAtTheEdge)
{
    int32 x, y;
    viewPosition(1536, 924, 1920, 1080, false, &x, &y);
    EXPECT_EQ(x, 192);
    EXPECT_EQ(y, 78);
    viewPosition(768, 768, 1920, 1080, false, &x, &y);
    EXPECT_EQ(x, 576);
    EXPECT_EQ(y, 156);
    viewPosition(1920, 1048, 1920, 1080, true, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    // A window that would reach the screen edge starts at 0 on that axis.
    viewPosition(1920, 768, 1920, 1080, false, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 156);
    viewPosition(768, 800, 1024, 800, false, &x, &y);
    EXPECT_EQ(x, 128);
    EXPECT_EQ(y, 0);
}

TEST(Visual, RgbPreferredThenBgrAccepted)
{
    const visualCand bgr{24, 4, 256, 8, 0x0000ff, 0x00ff00, 0xff0000};
    const visualCand rgb{24, 4, 256, 8, 0xff0000, 0x00ff00, 0x0000ff};
    const visualCand direct{24, 5, 256, 8, 0xff0000, 0x00ff00, 0x0000ff};
    const visualCand deep{32, 4, 256, 8, 0xff0000, 0x00ff00, 0x0000ff};
    const visualCand rgb16{16, 4, 64, 6, 0xf800, 0x07e0, 0x001f};
    bool isBgr = true;
    const visualCand both[] = {bgr, direct, rgb};
    EXPECT_EQ(pickTrueColor(both, 3, &isBgr), 2);
    EXPECT_FALSE(isBgr);
    const visualCand onlyBgr[] = {rgb16, bgr};
    EXPECT_EQ(pickTrueColor(onlyBgr, 2, &isBgr), 1);
    EXPECT_TRUE(isBgr);
    const visualCand none[] = {direct, deep, rgb16};
    EXPECT_EQ(pickTrueColor(none, 3, &isBgr), -1);
    EXPECT_EQ(pickTrueColor(nullptr, 0, &isBgr), -1);
}

TEST(Visual, GunTableFollowsTheMasks)
{
    charu t[4] = {9, 9, 9, 9};
    ASSERT_TRUE(gunBytesFromMasks(0xff0000, 0x00ff00, 0x0000ff, t));
    EXPECT_EQ(t[0], 2);
    EXPECT_EQ(t[1], 1);
    EXPECT_EQ(t[2], 0);
    EXPECT_EQ(t[3], 3);
    ASSERT_TRUE(gunBytesFromMasks(0x0000ff, 0x00ff00, 0xff0000, t));
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[2], 2);
    // Masks that are not whole bytes, or collide with alpha, leave the table alone.
    EXPECT_FALSE(gunBytesFromMasks(0xf800, 0x07e0, 0x001f, t));
    EXPECT_FALSE(gunBytesFromMasks(0xff000000, 0x00ff00, 0x0000ff, t));
    EXPECT_EQ(t[0], 0);
}

TEST(Visual, BufferPixelsReachABlueHighVisualWithTheirColours)
{
    // Buffers keep blue, green, red, alpha in bytes 0-3 whatever the visual; on a visual
    // with blue in the high byte red and blue trade places on the way to the server and back.
    charu bgr[4];
    ASSERT_TRUE(gunBytesFromMasks(0x0000ff, 0x00ff00, 0xff0000, bgr));
    EXPECT_FALSE(gunTableIsBuffers(bgr));
    int32u px[2] = {0x80112233u, 0x00ff0000u}; // red 0x11, green 0x22, blue 0x33; pure red
    pixelsToVisual(px, 2, bgr);
    EXPECT_EQ(px[0], 0x80332211u);
    EXPECT_EQ(px[1], 0x000000ffu) << "red goes where the visual's red mask is";
    pixelsFromVisual(px, 2, bgr);
    EXPECT_EQ(px[0], 0x80112233u);
    EXPECT_EQ(px[1], 0x00ff0000u);

    charu rgb[4];
    ASSERT_TRUE(gunBytesFromMasks(0xff0000, 0x00ff00, 0x0000ff, rgb));
    EXPECT_TRUE(gunTableIsBuffers(rgb));
}

} // namespace
