// LUT OPS through the real view: EQUALIZE repaints the view through the tables its histogram
// gives, the middle button switches between the plain and the equalised view, and CYCLE
// follows the wheel. Without the ancillary column the histogram is the whole view's.
#include <gtest/gtest.h>

#include <span>

#include "lutTables.h"
#include "session.h"

using namespace tavtest;

namespace {

class LutView : public Session {
protected:
    void start()
    {
        writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
        ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    }
    void chooseLut(std::initializer_list<int> rows) { chooseMenuPath(2, rows); }
    static Shot through(const Shot& s, const lutSet& t)
    {
        Shot o = s;
        std::vector<int32u> px(o.px.begin(), o.px.end());
        lutRows(px, t);
        for (std::size_t i = 0; i < px.size(); ++i)
            o.px[i] = (px[i] & 0xffffffu) | (o.px[i] & 0xff000000u);
        return o;
    }
};

TEST_F(LutView, EqualizeShowsItsTablesAndMiddleButtonSwitches)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const Shot before = view();
    gunHist h[3];
    clearHists(h);
    std::vector<int32u> px(before.px.begin(), before.px.end());
    histRows(px, h);
    static lutSet eq;
    for (int g = 0; g < 3; ++g)
        ASSERT_EQ(equalizeLut(h[g].count, eq[g]), LUTK_OK);

    ASSERT_NO_FATAL_FAILURE(chooseLut({1, 0})); // EQUALIZE, RGB
    ASSERT_FALSE(log.waitFor("lut set HISTEQ 7", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot equalised = through(before, eq);
    ASSERT_FALSE(equalised == before);
    EXPECT_TRUE(view() == equalised);
    if (HasFailure())
        home.keep();

    for (const char* state : {"default", "transform"}) {
        click(2, 100, 100);
        ASSERT_FALSE(log.waitFor(std::string("view luts ") + state, waitMs).empty());
        ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
        EXPECT_TRUE(view() == (state[0] == 'd' ? before : equalised)) << state;
    }
    exitByMenu();
}

TEST_F(LutView, CycleFollowsTheWheel)
{
    ASSERT_NO_FATAL_FAILURE(start());
    const Shot before = view();
    ASSERT_NO_FATAL_FAILURE(chooseLut({7, 0, 1})); // CYCLE, ROTATE, RED
    ASSERT_FALSE(log.waitFor("msg show", waitMs).empty());
    // A wheel notch (a press and a release of its button) is one step.
    for (int k = 0; k < 3; ++k) {
        click(4, 20, 20);
        ASSERT_FALSE(log.waitFor("lut cycle down", waitMs).empty());
    }
    click(5, 20, 20);
    ASSERT_FALSE(log.waitFor("lut cycle up", waitMs).empty());
    click(1, 20, 20); // the left button steps down too
    ASSERT_FALSE(log.waitFor("lut cycle down", waitMs).empty());
    click(3, 20, 20);
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()); // "LUT Cycle finished"
    for (int k = 0; k < 4; ++k) // a brief note goes after four mouse events
        drv->move(vx + 30 + k, vy + 20);
    ASSERT_FALSE(log.waitFor("lut set CYCLED 1", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const std::string all = log.text();
    auto count = [&](const std::string& s) {
        int n = 0;
        for (std::size_t p = 0; (p = all.find(s, p)) != std::string::npos; ++p)
            ++n;
        return n;
    };
    EXPECT_EQ(count("lut cycle down"), 4);
    EXPECT_EQ(count("lut cycle up"), 1);
    static lutSet t;
    for (int g = 0; g < 3; ++g)
        identityLut(t[g]);
    for (int k = 0; k < 3; ++k)
        cycleLut(t[0], true, true);
    // Away from the message box in the middle of the view.
    const Shot want = through(before, t), now = view();
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < now.w; ++x)
            ASSERT_EQ(now.at(x, y), want.at(x, y)) << x << "," << y;
    exitByMenu();
}

// HIST STR with the ancillary column on: the line drawn over the histogram box shows on the
// screen while it is drawn and is gone afterwards, and the view then shows the red gun through
// the table the line describes.
TEST_F(LutView, HistStretchDrawsItsLineAndAppliesIt)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=true\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const int left = columnLeft();
    ASSERT_GE(left, 0) << "the ancillary column is on";
    const Shot before = view();
    // The graph box: the 256 rows above the roam window's 224; level i at its left + 1 + i.
    const int x0 = left, y1 = vh - 225;
    auto binX = [x0](int level) { return x0 + 1 + level; };
    const Shot boxBefore = drv->grab(vx + x0, vy + y1 - 255, 258, 256);

    ASSERT_NO_FATAL_FAILURE(chooseLut({3})); // HIST STR
    // The titled gun menu pops up at the pointer as a menu of its own: RED.
    const std::vector<int> gm = ints(log.waitFor("menu show", waitMs), 2);
    ASSERT_EQ(gm.size(), 7u) << log.text();
    drv->move(vx + gm[2] + 10, vy + rowY(gm, 2));
    ASSERT_FALSE(log.waitFor("menu hilite " + std::to_string(gm[0]) + " 2", waitMs).empty());
    drv->press(3);
    drv->release(3);
    ASSERT_FALSE(log.waitFor("menu done", waitMs).empty());
    click(1, binX(100), y1 - 200);
    ASSERT_FALSE(log.waitFor("lut line 2", waitMs).empty());
    click(1, binX(255), y1 - 250);
    ASSERT_FALSE(log.waitFor("lut line 3", waitMs).empty());
    const Shot drawn = drv->grab(vx + x0, vy + y1 - 255, 258, 256);
    // The line's ends, in the grabbed box: level 100 at height 200, level 255 at height 250.
    EXPECT_NE(drawn.at(1 + 100, 255 - 200), boxBefore.at(1 + 100, 255 - 200));
    EXPECT_NE(drawn.at(1 + 255, 255 - 250), boxBefore.at(1 + 255, 255 - 250));
    click(3, binX(10), y1 - 10);
    ASSERT_FALSE(log.waitFor("lut set STRETCH 1", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    static lutSet t;
    for (int g = 0; g < 3; ++g)
        identityLut(t[g]);
    const rampPoint pts[] = {{0, 0}, {100, 200}, {255, 250}};
    rampLut(pts, t[0]);
    EXPECT_TRUE(view() == through(before, t));
    exitByMenu();
}

} // namespace
