// CONVOLUTION through the real view and the real menus: SHARPEN 3X3 changes the FG AOI as the
// engine does over the display pixels around it.
#include <gtest/gtest.h>

#include "convKernels.h"
#include "session.h"

using namespace tavtest;

namespace {

class ConvView : public Session {};

TEST_F(ConvView, Sharpen3x3ChangesTheFgAoiAsTheEngineDoes)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    ASSERT_EQ(place.size(), 5u);
    // What the operation reads: the picture where the view shows it (the FG AOI at start),
    // black around it; the AOI frames are taken off the view before an operation runs.
    const int zoom = std::max(1, place[4]);
    std::vector<int32u> clean(std::size_t(vw) * std::size_t(vh), 0);
    for (int y = place[1]; y <= place[3]; ++y)
        for (int x = place[0]; x <= place[2]; ++x)
            clean[std::size_t(y) * std::size_t(vw) + std::size_t(x)] =
                pattern((x - place[0]) / zoom, (y - place[1]) / zoom);
    std::vector<int32u> want = clean;
    convJob j;
    j.kernel = &convBuiltinKernel(CK_LAPLACE_3X3);
    j.params = {0, 1, 0, 7};
    ASSERT_EQ(convolveImage(j, want.data(), vw, vh, std::size_t(vw), place[0], place[1], place[2],
                            place[3]),
              CONV_OK);

    chooseMenuPath(3, {5, 1, 1, 0}); // PIXEL OPS, CONVOLUTION, SHARPEN, 3X3, RGB
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()); // "Convolution completed"
    for (int k = 0; k < 4; ++k)                            // a brief note goes after four events
        drv->move(vx + 30 + k, vy + 20);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot after = view();
    // Inside the AOI frame the view shows the engine's result.
    int bad = 0, changed = 0;
    for (int y = place[1] + 2; y <= place[3] - 2 && bad < 5; ++y)
        for (int x = place[0] + 2; x <= place[2] - 2 && bad < 5; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(vw) + std::size_t(x);
            changed += (want[i] & 0xffffffu) != (clean[i] & 0xffffffu);
            if ((after.at(x, y) & 0xffffffu) != (want[i] & 0xffffffu)) {
                ADD_FAILURE() << "view pixel " << x << "," << y << " is " << std::hex
                              << after.at(x, y) << " want " << want[i];
                ++bad;
            }
        }
    EXPECT_GT(changed, 1000);
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
