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
    // Main menu, LUT OPS, then the rows given, each opening the next menu; released on the
    // last.
    void chooseLut(std::initializer_list<int> rows)
    {
        std::vector<int> m = openMenu(60, 30);
        ASSERT_EQ(m.size(), 7u);
        int row = 2; // LUT OPS below the title
        for (int next : rows) {
            drv->move(vx + m[2] + 10, vy + rowY(m, row));
            m = ints(log.waitFor("menu show", waitMs), 2);
            ASSERT_EQ(m.size(), 7u);
            row = next;
        }
        drv->move(vx + m[2] + 10, vy + rowY(m, row));
        ASSERT_FALSE(
            log.waitFor("menu hilite " + std::to_string(m[0]) + " " + std::to_string(row), waitMs)
                .empty());
        drv->release(3);
    }
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

} // namespace
