// BUFF OPS on a private Xvfb: CROP TO, DRAW into iBUFF 2 with the real pointer's rubber band,
// then SELECT iBUFF 2: the view shows exactly the pixels the band enclosed, laid out anew.
#include <gtest/gtest.h>

#include "session.h"

using namespace tavtest;

namespace {

class BuffView : public Session {};

TEST_F(BuffView, CropDrawnAreaThenSelectShowsTheCroppedPixels)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const std::vector<int> orig = place;
    // BUFF OPS (row 4), iBUFF, CROP TO, DRAW, iBUFF 1-4, 2.
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(4, {0, 5, 1, 0, 1}, 40, 40));

    const int x0 = orig[0] + 30, y0 = orig[1] + 25, x1 = orig[0] + 140, y1 = orig[1] + 95;
    // The CROP instruction is a brief note: a few pointer moves take it away.
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()) << log.text();
    bool banding = false;
    for (int k = 0; k < 12 && !banding; ++k) {
        drv->move(vx + x0 - 6 + k, vy + y0 - 6 + k);
        banding = !log.waitFor("idle band origin", 300).empty();
    }
    ASSERT_TRUE(banding) << log.text();
    drv->move(vx + x0, vy + y0);
    click(1, x0, y0);
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()) << log.text();
    bool following = false;
    for (int k = 0; k < 8 && !following; ++k) {
        drv->move(vx + x0 + k + 1, vy + y0 + k + 1);
        following = !log.waitFor("idle band corner", 300).empty();
    }
    ASSERT_TRUE(following) << log.text();
    for (int k = 1; k <= 4; ++k)
        drv->move(vx + x0 + (x1 - x0) * k / 4, vy + y0 + (y1 - y0) * k / 4);
    click(1, x1, y1);
    ASSERT_TRUE(waitText("Area cropped to iBUFF: 2")) << log.text();
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty());
    click(1, x0 + 5, y0 + 5);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    // BUFF OPS, iBUFF, SELECT, iBUFF 1-4, 2.
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(4, {0, 0, 0, 1}, 40, 40));
    ASSERT_NO_FATAL_FAILURE(takePlace());
    ASSERT_EQ(place.size(), 5u);
    EXPECT_EQ(place[2] - place[0] + 1, x1 - x0 + 1);
    EXPECT_EQ(place[3] - place[1] + 1, y1 - y0 + 1);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    expectShowsImage(view(), place[0], place[1], x0 - orig[0], y0 - orig[1]);
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
