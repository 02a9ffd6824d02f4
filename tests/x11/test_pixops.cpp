// PIXEL OPS through the real view: B & W CONTEMP chosen from the menu reads the FG AOI from the
// window and writes back the kernel's greys there, leaving the rest of the view as it was.
#include <gtest/gtest.h>

#include <vector>

#include "pixKernels.h"
#include "session.h"

using namespace tavtest;

namespace {

class PixelView : public Session {};

TEST_F(PixelView, GreyFromTheMenuShowsTheKernelsGreys)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    ASSERT_EQ(place.size(), 5u);
    const Shot before = view();
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(3, {1, 0, 1})); // PIXEL OPS, B & W, RGB, CONTEMP
    ASSERT_FALSE(log.waitFor("pixel ops 2 status 0 changed", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    // The FG AOI is the placed image; the greys come from the kernel on the pixels shown.
    greyPass pass;
    ASSERT_EQ(prepareGrey(pass, 7, GREY_CONTEMP, nullptr), PIXK_OK);
    const Shot now = view();
    for (int y = 0; y < now.h; ++y) {
        std::vector<int32u> row(before.px.begin() + std::ptrdiff_t(y) * now.w,
                                before.px.begin() + std::ptrdiff_t(y + 1) * now.w);
        greyRows(row, pass);
        for (int x = 0; x < now.w; ++x) {
            const bool inside = x >= place[0] && x <= place[2] && y >= place[1] && y <= place[3];
            const int32u want = inside ? row[std::size_t(x)] : before.at(x, y);
            ASSERT_EQ(now.at(x, y) & 0xffffffu, want & 0xffffffu) << x << "," << y;
        }
    }
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
