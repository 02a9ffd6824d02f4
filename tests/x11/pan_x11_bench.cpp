// Wall time of one pan step on the real X path: tav roams a 4000 x 3000 buffer in PAN at zoom
// 1 on a private Xvfb and every pointer move repaints the whole view (buffer to scratch, scratch
// to the window with XPutImage, then a round trip to the server). Sixty moves are sent at once
// and the time to the sixtieth repaint is divided by sixty, so the event log's polling adds
// little. Run by hand: build/tests/x11/pan_x11_bench.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "session.h"

using namespace tavtest;

namespace {

class PanBench : public Session {};

TEST_F(PanBench, RoamStepRepaintTime)
{
    imgW = 4000;
    imgH = 3000;
    ASSERT_TRUE(launch(tavPath(), {writePatternPPM(home.file("scene.ppm"), imgW, imgH)}));
    ASSERT_TRUE(takeViewOpen()) << log.text();
    for (std::string idle; (idle = log.waitFor("idle ", waitMs)) != "idle pan";) {
        ASSERT_EQ(idle, "idle msg") << log.text();
        for (int m = 0; m < 4; ++m)
            drv->move(vx + 100 + 3 * m, vy + 100);
    }
    click(1, vw / 2, vh / 2);
    ASSERT_FALSE(log.waitFor("pan shown", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle pan", waitMs).empty());
    constexpr int n = 60;
    const auto t0 = std::chrono::steady_clock::now();
    for (int k = 0; k < n; ++k)
        drv->move(vx + 200 + 10 * k, vy + 300 + 4 * (k % 3));
    for (int k = 0; k < n; ++k)
        ASSERT_FALSE(log.waitFor("pan shown", waitMs).empty()) << "step " << k;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    std::printf("\npan step %d x %d view on Xvfb: %.2f ms a step (%d steps)\n", vw, vh, ms / n, n);
    drv->press(3);
    ASSERT_FALSE(log.waitFor("idle menu", waitMs).empty());
    drv->move(vx + 5, vy + vh - 5);
    drv->release(3);
    ASSERT_FALSE(log.waitFor("pan end", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    exitByMenu();
}

} // namespace
