// The ancillary column on the memory view: the roam window magnifies what lies under the
// pointer (buffer or display source), follows the main wait's cadence, and the histogram puts
// bin i at box left + 1 + i with the chosen scaling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bTransl.h"
#include "memSurface.h"
#include "roam.h"
#include "textwin.h"
#include "viewBuilder.h"

namespace {

class Roam : public ::testing::Test {
protected:
    Roam() : view(300, 200), surface(800, 768)
    {
        resetTransl();
        SET_TRANSL_VIEW(800, 768);
        INIT_I_TRANSL(view.bd);
        SET_I_TRANSL(0, 0, 1);
        ancillaryBoxes(800, 768, &view.vs);
        view.vs.ancil = ancROAM | ancSTATS | ancHISTOGRAM;
        INIT_ROAM_UTIL(true);
    }
    ~Roam() override
    {
        INIT_ROAM_UTIL(false);
        resetTransl();
    }
    // Pixel (i, j) inside the roam window's frame.
    int32u window(int32 i, int32 j) const
    {
        return surface.at(view.vs.roamBox.x0 + 1 + i, view.vs.roamBox.y0 + 1 + j);
    }

    viewBuilder view;
    memSurface surface;
};

TEST_F(Roam, MagnificationFollowsSourceZoomAndBox)
{
    struct Case {
        bool display;
        int32 viewZoom, roamZoom;
        aoiRec box;
        int32 mag, step, srcW;
    };
    const aoiRec column = view.vs.roamBox; // 258 x 224: 256 x 222 inside the frame
    const Case cases[] = {
        {false, 1, 2, column, 2, 1, 128},
        {false, 4, 8, column, 16, 1, 16}, // 32 is more than the largest zoom
        {true, 2, 4, column, 4, 2, 64},   // the display's pixels are magnified by r alone
        {false, 1, 16, aoiRec{0, 0, 21, 21}, 10, 1, 2}, // half of 20 caps it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mag);
        SET_I_TRANSL(0, 0, c.viewZoom);
        view.vs.dmode = c.display ? modeANCIL_DISPLAY : 0u;
        ROAM_SETUP(&view.vs, c.box, c.roamZoom);
        const roamGeom g = roamGeometry();
        EXPECT_EQ(g.mag, c.mag);
        EXPECT_EQ(g.step, c.step);
        EXPECT_EQ(g.srcW, c.srcW);
    }
}

TEST_F(Roam, WindowShowsTheBufferUnderThePointerAndBlackPastItsEdge)
{
    ROAM_SETUP(&view.vs, view.vs.roamBox, 2);
    EXPECT_EQ(surface.at(view.vs.roamBox.x0, view.vs.roamBox.y0), 0xffffffu) << "white frame";
    ROAM_UPDATE(&view.vs, 150, 100); // 128 x 111 buffer pixels centred on (150, 100)
    EXPECT_EQ(window(0, 0), viewBuilder::pattern(150 - 64, 100 - 55));
    EXPECT_EQ(window(1, 1), viewBuilder::pattern(150 - 64, 100 - 55));
    EXPECT_EQ(window(2, 0), viewBuilder::pattern(151 - 64, 100 - 55));
    EXPECT_EQ(roamAreaHist().n, 128u * 111u) << "the statistics count the window's source";
    ROAM_UPDATE(&view.vs, 0, 0); // the top-left corner: half the source lies outside
    EXPECT_EQ(window(0, 0), 0u);
    EXPECT_EQ(window(128, 112), viewBuilder::pattern(0, 1));
    EXPECT_EQ(roamAreaHist().n, 64u * 56u) << "and only what lies in the buffer";
}

TEST_F(Roam, MainWaitUpdatesOnFirstAndEveryFifthMoveAndLeftDoublesTheZoom)
{
    ROAM_SETUP(&view.vs, view.vs.roamBox, 2);
    std::vector<bool> updated;
    for (int k = 1; k <= 10; ++k)
        updated.push_back(ROAM_EVENT(&view.vs, MOUSE_MOVED, 100, 100));
    EXPECT_EQ(updated, (std::vector<bool>{true, false, false, false, true, false, false, false,
                                          false, true}));
    EXPECT_TRUE(ROAM_EVENT(&view.vs, MOUSE_LEFT, 100, 100));
    EXPECT_EQ(view.vs.roamZoom, 4);
    EXPECT_TRUE(ROAM_EVENT(&view.vs, MOUSE_MOVED, 101, 100)) << "every move while held";
    ROAM_EVENT(&view.vs, -MOUSE_LEFT, 101, 100);
    EXPECT_FALSE(ROAM_EVENT(&view.vs, MOUSE_MOVED, 102, 100));
    for (int32 z : {8, 16, 2}) {
        ROAM_EVENT(&view.vs, MOUSE_LEFT, 100, 100);
        EXPECT_EQ(view.vs.roamZoom, z);
    }
    view.vs.ancil = 0;
    EXPECT_FALSE(ROAM_EVENT(&view.vs, MOUSE_LEFT, 100, 100)) << "column off: no roam";
}

TEST_F(Roam, HistogramBinsScalingAndStatistics)
{
    const aoiRec& g = view.vs.graphBox;
    EXPECT_EQ(histBinX(g, 0), g.x0 + 1);
    EXPECT_EQ(histBinX(g, 255), g.x1 - 1);
    EXPECT_EQ(histBinAt(g, g.x0 + 1 + 77), 77);
    EXPECT_EQ(histBinAt(g, g.x0), -1);
    EXPECT_EQ(histBinAt(g, g.x1), -1);

    EXPECT_EQ(histBarHeight(50, 100, 254, ancLINEAR), 127);
    EXPECT_EQ(histBarHeight(9, 99, 200, ancLOG), 100); // log 10 / log 100
    EXPECT_EQ(histBarHeight(100, 100, 254, ancEXP), 254);
    EXPECT_LT(histBarHeight(50, 100, 254, ancEXP), 127);
    EXPECT_EQ(histBarHeight(1, 1000000, 254, ancLINEAR), 1) << "a level present stays visible";
    EXPECT_EQ(histBarHeight(0, 100, 254, ancLINEAR), 0);

    const std::vector<int32u> px = {0x000a0000u, 0x00140000u, 0x001e0000u, 0x00280000u};
    viewHist h;
    histOfPixels(px, &h);
    const std::vector<std::string> lines = statsLines(h);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "R mean  25.00 sd  11.18  10.. 40");
    EXPECT_EQ(lines[2], "B mean   0.00 sd   0.00   0..  0");

    view.vs.ancil |= ancLINEAR;
    DRAW_HISTOGRAM(&view.vs, h);
    // Blue has all four pixels at 0: the full bar; red one pixel at 10 of four: a quarter.
    EXPECT_EQ(surface.at(histBinX(g, 0), g.y1 - 1), 0x0000ffu | 0x00ff00u);
    EXPECT_EQ(surface.at(histBinX(g, 10), g.y1 - 1), 0xff0000u);
    EXPECT_EQ(surface.at(histBinX(g, 10), g.y1 - 1 - 64), 0u);
    EXPECT_EQ(surface.at(g.x0, g.y0), 0xffffffu);
}

} // namespace
