// Flicker boxes, the rubber line and the drawing helpers on the memory view: whatever is drawn
// and then erased leaves the view byte for byte as it was, in any erase order, and nothing
// outside the view ever reaches it (the memory view fails a test on any outside box).
#include <gtest/gtest.h>

#include <vector>

#include "emuOvl.h"
#include "memSurface.h"

namespace {

class Overlay : public ::testing::Test {
protected:
    Overlay() : surface(80, 60)
    {
        for (int32 y = 0; y < surface.h; ++y)
            for (int32 x = 0; x < surface.w; ++x)
                surface.px[std::size_t(y * surface.w + x)] = int32u(x * 3 + y * 1000);
        before = surface.px;
        flickBoxes.reset();
    }
    ~Overlay() override { flickBoxes.reset(); }

    memSurface surface;
    std::vector<int32u> before;
};

TEST_F(Overlay, BoxesErasedInAnyOrderRestoreTheViewExactly)
{
    // Overlapping boxes, a one-pixel-wide box and a box moved half out of the view.
    const int32 a = flickBoxes.newFlick(aoiRec{10, 10, 40, 30}, 0xff0000u, FLICK_DRAW);
    const int32 b = flickBoxes.newFlick(aoiRec{20, 5, 50, 20}, 0x00ff00u, FLICK_DRAW);
    const int32 c = flickBoxes.newFlick(aoiRec{30, 15, 30, 45}, 0x0000ffu, FLICK_DRAW);
    const int32 d = flickBoxes.newFlick(aoiRec{0, 0, 20, 20}, 0xffffffu, FLICK_DRAW);
    ASSERT_GE(std::min({a, b, c, d}), 0);
    EXPECT_EQ(surface.at(10, 10), 0xff0000u);
    EXPECT_EQ(surface.at(30, 20), 0x0000ffu) << "the newest box is on top";
    EXPECT_EQ(surface.at(25, 25), before[25 * 80 + 25]) << "inside the outline is untouched";

    const aoiRec out{70, 50, 100, 90};
    flickBoxes.flickBox(&out, d, FLICK_MOVE | FLICK_DRAW);
    EXPECT_EQ(surface.at(70, 59), 0xffffffu);

    // The oldest first: the later boxes hold its colour in their saved pixels.
    flickBoxes.deleteFlick(a);
    EXPECT_EQ(surface.at(10, 10), before[10 * 80 + 10]);
    EXPECT_EQ(surface.at(30, 20), 0x0000ffu) << "the boxes above stay drawn";
    flickBoxes.flickBox(nullptr, c, FLICK_ERASE);
    EXPECT_FALSE(flickBoxes.shown(c));
    flickBoxes.deleteFlick(-1);
    EXPECT_EQ(surface.px, before);
    EXPECT_EQ(flickBoxes.inUse(), 0);
}

TEST_F(Overlay, NewBoxesAreFittedIntoTheViewAndTheSeventeenthIsRefused)
{
    const int32 big = flickBoxes.newFlick(aoiRec{-5, 10, 200, 20}, 1, 0);
    const int32 shifted = flickBoxes.newFlick(aoiRec{70, -4, 89, 5}, 1, 0);
    aoiRec r{};
    ASSERT_TRUE(flickBoxes.rect(big, &r));
    EXPECT_EQ((std::vector<int32>{r.x0, r.y0, r.x1, r.y1}), (std::vector<int32>{0, 10, 79, 20}));
    ASSERT_TRUE(flickBoxes.rect(shifted, &r));
    EXPECT_EQ((std::vector<int32>{r.x0, r.y0, r.x1, r.y1}), (std::vector<int32>{60, 0, 79, 9}));
    EXPECT_EQ(surface.px, before) << "not drawn without flag 1";

    const int32 dup = flickBoxes.duplicate(shifted);
    ASSERT_TRUE(flickBoxes.rect(dup, &r));
    EXPECT_EQ(r.x0, 60);
    flickBoxes.setColour(dup, 0x123456u);
    flickBoxes.flickBox(nullptr, dup, FLICK_DRAW);
    EXPECT_EQ(surface.at(60, 0), 0x123456u);

    while (flickBoxes.inUse() < NUM_FLICK)
        ASSERT_GE(flickBoxes.newFlick(aoiRec{1, 1, 5, 5}, 2, FLICK_DRAW), 0);
    EXPECT_EQ(flickBoxes.newFlick(aoiRec{1, 1, 5, 5}, 2, FLICK_DRAW), -1);
    EXPECT_FALSE(flickBoxes.rect(NUM_FLICK, &r));
    flickBoxes.flickBox(nullptr, NUM_FLICK, FLICK_DRAW); // undefined number: a message only
    flickBoxes.deleteFlick(-1);
    EXPECT_EQ(surface.px, before);
}

TEST_F(Overlay, RubberLineAndHelpersStayInsideTheView)
{
    {
        rubberLine line;
        line.draw(5, 5, 70, 30, 0xffffffu);
        EXPECT_EQ(surface.at(5, 5), 0xffffffu);
        EXPECT_EQ(surface.at(70, 30), 0xffffffu);
        line.draw(5, 5, 20, 100, 0xffffffu); // steep, leaving the view at the bottom
        EXPECT_EQ(surface.at(70, 30), before[30 * 80 + 70]) << "the previous line is gone";
        int lastRow = 0;
        for (int32 x = 0; x < 80; ++x)
            lastRow += surface.at(x, 59) == 0xffffffu;
        EXPECT_GE(lastRow, 1) << "drawn down to the view's last row, no further";
    }
    EXPECT_EQ(surface.px, before) << "the line goes with its owner";

    setDrawFg(0xabcdefu);
    fillViewRect(aoiRec{-10, -10, -1, -1});
    fillViewRect(aoiRec{75, 55, 90, 90});
    EXPECT_EQ(surface.at(79, 59), 0xabcdefu);
    EXPECT_EQ(surface.at(74, 59), before[59 * 80 + 74]);
    dimViewRect(aoiRec{0, 0, 1, 0});
    EXPECT_EQ(surface.at(1, 0), before[1] & 0xfefefeu);
    clearViewRect(aoiRec{0, 0, 0, 0});
    EXPECT_EQ(surface.at(0, 0), 0u);
    EXPECT_EQ(viewRgb(1, 2, 3), 0x010203u);
}

} // namespace
