// DISP OPS through the real view and the real menus: a touched display comes back exactly
// after GAMMA has put the view through its tables.
#include <gtest/gtest.h>

#include "lutKernels.h"
#include "session.h"

using namespace tavtest;

namespace {

class DispView : public Session {
protected:
    void chooseDisp(std::initializer_list<int> rows) { chooseMenuPath(5, rows); }
};

TEST_F(DispView, TouchGammaRestoreTouchedShowsTheTouchedPixels)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const Shot before = view();

    ASSERT_NO_FATAL_FAILURE(chooseDisp({1, 0}));           // TOUCH, 1
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()); // "Display state saved"
    for (int k = 0; k < 4; ++k)                            // a brief note goes after four events
        drv->move(vx + 30 + k, vy + 20);
    ASSERT_FALSE(log.waitFor("disp touch 1", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    ASSERT_NO_FATAL_FAILURE(chooseDisp({6, 1, 0})); // GAMMA, 2.00, RGB
    ASSERT_FALSE(log.waitFor("lut set GAMMA 7", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    static lutSet g;
    for (int k = 0; k < 3; ++k)
        gammaTable(2.0, g[k]);
    Shot want = before;
    std::vector<int32u> px(want.px.begin(), want.px.end());
    lutRows(px, g);
    for (std::size_t i = 0; i < px.size(); ++i)
        want.px[i] = (px[i] & 0xffffffu) | (want.px[i] & 0xff000000u);
    EXPECT_TRUE(view() == want) << "the view shows the gamma tables";

    ASSERT_NO_FATAL_FAILURE(chooseDisp({0, 1, 0})); // RESTORE, TOUCHED, 1
    ASSERT_FALSE(log.waitFor("disp restore touched 1", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before);
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
