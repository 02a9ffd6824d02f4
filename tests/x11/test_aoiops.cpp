// AOI OPS on a private Xvfb: DEFINE, DRAW AOI, RECTANGLE drawn by the real pointer sets the FG
// AOI to the band and leaves no trace of the band on the view (only the FG AOI's own frame).
#include <gtest/gtest.h>

#include "session.h"

using namespace tavtest;

namespace {

class AoiView : public Session {};

TEST_F(AoiView, DrawAoiRectangleByThePointerSetsTheForegroundAoi)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const Shot before = view();
    // Main menu AOI OPS (row 1 below the title), DEFINE, DRAW AOI, RECTANGLE.
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(1, {1, 0, 0}, 40, 40));

    const int x0 = place[0] + 30, y0 = place[1] + 25, x1 = place[0] + 140, y1 = place[1] + 95;
    ASSERT_FALSE(log.waitFor("idle band origin", waitMs).empty()) << log.text();
    click(1, x0, y0);
    // The brief note on the second step goes with the first few pointer moves.
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
    const std::vector<int> fg = ints(log.waitFor("aoi fg", waitMs), 2);
    EXPECT_EQ(fg, (std::vector<int>{x0, y0, x1, y1}));
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty());
    click(1, x0 + 5, y0 + 5);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    // Everything but the new FG AOI frame is as it was.
    const Shot after = view();
    int bad = 0;
    for (int y = 0; y < after.h && bad < 5; ++y)
        for (int x = 0; x < after.w && bad < 5; ++x) {
            const bool edge = ((x == x0 || x == x1) && y >= y0 && y <= y1) ||
                              ((y == y0 || y == y1) && x >= x0 && x <= x1);
            if (!edge && (after.at(x, y) & 0xffffff) != (before.at(x, y) & 0xffffff)) {
                ADD_FAILURE() << "view pixel " << x << "," << y << " changed";
                ++bad;
            }
        }
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
