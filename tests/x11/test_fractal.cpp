// The fractal viewer on a private Xvfb: PIXEL OPS, FRACTAL, RUN, Mandelbrot renders into the FG
// AOI; the viewer's own menu pops up by itself, ZOOM 2x is chosen from it and the zoom point
// given by one left click; the view then shows the kernel's render of the new area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fractalKernels.h"
#include "pseudoLut.h"
#include "session.h"

using namespace tavtest;

namespace {

class FractalView : public Session {
protected:
    // The FG AOI (the whole image as placed) must show the render of `area` with the start
    // settings, except under the menu box (view coordinates) and on the AOI's frame.
    void expectRender(const fractalArea& area, const std::vector<int>& menuBox)
    {
        std::vector<charu> r(256), g(256), b(256);
        const int32 range[2] = {0, 255};
        ASSERT_EQ(PSEUDO_LUT(range, r.data(), g.data(), b.data(), 256, PSL_COMB | 2, 0, 1.0), 0);
        const std::vector<int32u> map = fractalColourMap(r.data(), g.data(), b.data(), 256);
        fractalSettings s;
        s.area = area;
        const int cols = place[2] - place[0] + 1, rows = place[3] - place[1] + 1;
        std::vector<int32u> row(std::size_t(cols), 0);
        const Shot shot = view();
        int bad = 0;
        for (int y = 1; y + 1 < rows && bad < 5; ++y) {
            FRACTAL_ROW(s, y, rows, map, row);
            for (int x = 1; x + 1 < cols && bad < 5; ++x) {
                const int vx = place[0] + x, vy = place[1] + y;
                if (vx >= menuBox[0] && vx <= menuBox[2] && vy >= menuBox[1] && vy <= menuBox[3])
                    continue;
                if ((shot.at(vx, vy) & 0xffffff) != row[std::size_t(x)]) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " shows " << std::hex
                                  << shot.at(vx, vy) << " not " << row[std::size_t(x)];
                    ++bad;
                }
            }
        }
    }
    // The area the last render logged.
    fractalArea renderedArea()
    {
        const std::vector<std::string> f = fields(log.waitFor("fractal Mandelbrot", waitMs));
        EXPECT_EQ(f.size(), 6u) << log.text();
        if (f.size() != 6u)
            return {};
        return {std::stod(f[2]), std::stod(f[3]), std::stod(f[4]), std::stod(f[5])};
    }
};

TEST_F(FractalView, Zoom2xByAClickShowsTheKernelsRenderOfTheNewArea)
{
    writeFile(home.file("TAVdefaults.txt"), "ANCIL_DISP=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(400, 300));
    // PIXEL OPS (row 3 below the title), FRACTAL, RUN, Mandelbrot.
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(3, {12, 0, 0}, 40, 40));
    const fractalArea start = renderedArea();
    EXPECT_EQ(start.x0, -2.2);
    EXPECT_EQ(start.y1, 1.5);

    // The viewer's menu opens at the pointer: ZOOM (row 1 below its title), then 2x.
    std::vector<int> m = ints(log.waitFor("menu show", waitMs), 2);
    ASSERT_EQ(m.size(), 7u) << log.text();
    ASSERT_FALSE(log.waitFor("idle menu", waitMs).empty());
    drv->move(vx + m[2] + 10, vy + rowY(m, 1));
    const std::vector<int> f = ints(log.waitFor("menu show", waitMs), 2);
    ASSERT_EQ(f.size(), 7u) << log.text();
    drv->move(vx + f[2] + 10, vy + rowY(f, 0));
    ASSERT_FALSE(log.waitFor("menu hilite " + std::to_string(f[0]) + " 0", waitMs).empty());
    drv->press(1);
    drv->release(1);
    ASSERT_FALSE(log.waitFor("msg show", waitMs).empty()) << log.text();

    const int px = 150, py = 90;
    click(1, place[0] + px, place[1] + py);
    fractalArea want = start;
    ASSERT_TRUE(fractalZoom(want, px, py, place[2] - place[0] + 1, place[3] - place[1] + 1, 2));
    const fractalArea zoomed = renderedArea();
    EXPECT_EQ(zoomed.x0, want.x0);
    EXPECT_EQ(zoomed.y0, want.y0);
    EXPECT_EQ(zoomed.x1, want.x1);
    EXPECT_EQ(zoomed.y1, want.y1);

    m = ints(log.waitFor("menu show", waitMs), 2);
    ASSERT_EQ(m.size(), 7u) << log.text();
    ASSERT_FALSE(log.waitFor("idle menu", waitMs).empty());
    expectRender(zoomed, {m[2], m[3], m[4], m[5]});

    // The right button released away from the menu leaves the viewer; its status is clicked
    // away.
    drv->move(vx + place[0] + 5, vy + place[3] - 5);
    drv->press(3);
    drv->release(3);
    ASSERT_FALSE(log.waitFor("msg show", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()) << log.text();
    click(1, place[0] + 5, place[1] + 5);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty()) << log.text();
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
