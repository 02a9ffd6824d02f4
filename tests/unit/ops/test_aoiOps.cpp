// AOI OPS through the operation table: menu values in, the scripted user and the memory view;
// checked on the FG AOI, the messages, the view's pixels and the buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aoiBand.h"
#include "aoiOps.h"
#include "bTransl.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "opTable.h"
#include "renderPix.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 AOI_OPS = 1;

std::vector<int32> corners(const aoiRec& r)
{
    return {r.x0, r.y0, r.x1, r.y1};
}

// A 60 x 40 buffer centred on a 100 x 80 memory view (buffer pixels at view 20-79, 20-59).
class AoiOps : public ::testing::Test {
protected:
    explicit AoiOps(int32 vw = 100, int32 vh = 80) : view(60, 40), surface(vw, vh, 0x00123456u)
    {
        resetAoiPointer();
        resetAoiOps();
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        INIT_I_TRANSL(view.bd);
        FIT_INIT_IMG(false);
        VIEW_MEM(nullptr, false);
        view.bd->fgAoi = aoiRec{25, 22, 34, 26};
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~AoiOps() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetTransl();
        resetAoiPointer();
    }
    void run(std::vector<int32> values)
    {
        int32 pv[MAX_PUP_LEVEL];
        std::fill(pv, pv + MAX_PUP_LEVEL, -1);
        pv[0] = AOI_OPS;
        for (std::size_t k = 0; k < values.size(); ++k)
            pv[k + 1] = values[k];
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    aoiRec fg() const { return view.bd->fgAoi; }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

TEST_F(AoiOps, DrawAoiAcceptsRepeatsAndCancelsAndLeavesNoTrace)
{
    const std::vector<int32u> before = surface.px;
    ui.clicks = {{MOUSE_LEFT, 30, 30},  {MOUSE_MOVED, 60, 40}, {MOUSE_MIDDLE, 60, 40},
                 {MOUSE_LEFT, 0, 0},    {MOUSE_LEFT, 40, 35},  {MOUSE_MOVED, 20, 60},
                 {MOUSE_MOVED, 10, 10}, {MOUSE_LEFT, 50, 45}};
    run({2, 1, 1});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{40, 35, 50, 45})) << "the repeated band counts";
    EXPECT_EQ(ui.transcript.back().text, "  FG AOI\nWidth=  11\nHeight= 11");
    EXPECT_EQ(view.vs.refresh, RFR_STATS);
    EXPECT_EQ(surface.px, before) << "band and frames are erased pixel for pixel";

    ui.clicks = {{MOUSE_LEFT, 30, 30}, {MOUSE_MOVED, 60, 40}, {MOUSE_RIGHT, 60, 40}};
    run({2, 1, 1});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{40, 35, 50, 45})) << "cancel keeps the FG AOI";
    EXPECT_EQ(surface.px, before);

    // A band dragged past the view's edge is cut to the display box.
    ui.clicks = {{MOUSE_LEFT, 90, 70}, {MOUSE_LEFT, 300, 300}};
    run({2, 1, 1});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{90, 70, 99, 79}));
}

TEST_F(AoiOps, SnapIsRefusedBelowTheZoomAndRoundsDrawnCorners)
{
    SET_I_TRANSL(0, 0, 2);
    run({3, 3, 1});
    EXPECT_EQ(ui.lastText(), "Cannot set drag snap < display zoom");
    run({3, 3, 2});
    EXPECT_EQ(aoiSnap.size, 2) << "a snap equal to the zoom is taken";
    run({3, 3, 8});
    EXPECT_EQ(aoiSnap.size, 8);
    EXPECT_EQ(aoiSnap.offset, 4);
    ui.clicks = {{MOUSE_LEFT, 13, 11}, {MOUSE_LEFT, 43, 27}};
    run({2, 1, 1});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{16, 8, 40, 24}));
}

TEST_F(AoiOps, PreviousStepsThroughDraggedAreas)
{
    run({4, 1});
    EXPECT_EQ(ui.lastText(), "No previous FG AOI defined");
    ui.pointerX = 30, ui.pointerY = 24;
    ui.clicks = {{MOUSE_MOVED, 40, 30}, {MOUSE_LEFT, 40, 30}};
    run({3, 1});
    const aoiRec first = fg();
    EXPECT_EQ(corners(first), (std::vector<int32>{35, 28, 44, 32}));
    ui.clicks = {{MOUSE_LEFT, 200, 200}};
    run({3, 1});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{90, 75, 99, 79})) << "kept inside the view";
    run({4, 1});
    EXPECT_EQ(corners(fg()), corners(first));
    run({4, 2});
    EXPECT_EQ(corners(fg()), (std::vector<int32>{90, 59, 99, 63}))
        << "the second, moved up above the lower limit";
}

TEST_F(AoiOps, AccumulatorCropStatusPasteAndRelease)
{
    run({7, 3, 0});
    EXPECT_EQ(ui.lastText(), "Accumulator 1 is empty");
    view.bd->fgAoi = aoiRec{20, 20, 39, 39};
    run({7, 1, 0, 7});
    EXPECT_EQ(ui.lastText(), "FG_AOI copied to accumulator");
    run({7, 3, 0});
    EXPECT_EQ(ui.lastText(),
              "      ACCUMULATOR 1\nCols:   20\nRows:   20\nBands:  4\nCoords: 20 20  39 39");
    const int32u src = surface.at(20, 20);
    view.bd->fgAoi = aoiRec{60, 40, 79, 59};
    run({7, 2, 0, 7});
    EXPECT_EQ(surface.at(60, 40) & 0xFFFFFFu, src & 0xFFFFFFu);
    run({7, 4, 0});
    EXPECT_EQ(ui.lastText(), "Accumulator @1 released!");
    run({7, 2, 0, 7});
    EXPECT_EQ(ui.lastText(), "Accumulator empty");
}

TEST_F(AoiOps, CloneCompositeRefusesAPartnerOfAnotherSize)
{
    bufdes& b2 = view.vs.bufObjs[1];
    std::vector<int32u> other(30 * 20, 0xABCDEFu);
    b2.imgbuf = other.data();
    b2.width = 30;
    b2.height = 20;
    b2.linkBuf = 1;
    b2.bufCtlm |= bufIS_CLONE;
    view.bd->linkBuf = 2;
    view.bd->bufCtlm |= bufHAS_CLONE;
    run({5, 2, 7});
    EXPECT_EQ(ui.lastText(), "Dimensions corrupted");
    for (int32u p : other)
        ASSERT_EQ(p, 0xABCDEFu);
    EXPECT_EQ(view.vs.refresh, 0u);
    b2.imgbuf = nullptr;
    b2.width = b2.height = 0;
    b2.linkBuf = 0;
}

TEST_F(AoiOps, RotationAngleAndFillRefusals)
{
    ui.answers = {"0"};
    const std::vector<int32u> before = surface.px;
    run({8, 6, 1});
    EXPECT_EQ(ui.lastText(),
              "Invalid angle.\n  Use -180 <= (angle != 0) <= 180\n  or use 0 < angle < 360");
    EXPECT_EQ(surface.px, before);
    ui.answers = {"-180"};
    run({8, 6, 1});
    EXPECT_EQ(view.vs.refresh, RFR_VIEW) << "180 degrees changes no frame";
    EXPECT_EQ(surface.at(25, 22), before[std::size_t(26) * 100 + 34]);
}

// A view of the size: an area asked larger than the view names the view's size.
class AoiOpsBig : public AoiOps {
protected:
    AoiOpsBig() : AoiOps(1536, 1024) {}
};

TEST_F(AoiOpsBig, ColsRowsLargerThanTheViewIsRefused)
{
    ui.answers = {"5000,10"};
    run({2, 7});
    EXPECT_EQ(ui.lastText(), "Attempt to define FG AOI\nlarger than view 1536 1024");
    EXPECT_EQ(corners(fg()), (std::vector<int32>{25, 22, 34, 26}));
}

} // namespace
