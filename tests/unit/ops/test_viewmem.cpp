// Pixels between the buffer, the view and the display accumulator on the memory view, and
// memory refusals met inside the view: the user sees the memory guard's text in the message
// box, and nothing is drawn from a block that was never allocated.
#include <gtest/gtest.h>

#include <string>

#include "bTransl.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "hdrScale.h"
#include "memSurface.h"
#include "renderPix.h"
#include "sbuffActive.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

class ViewMem : public ::testing::Test {
protected:
    ViewMem() : view(60, 40), surface(100, 80, 0x00123456u)
    {
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        INIT_I_TRANSL(view.bd);
    }
    ~ViewMem() override
    {
        resetFolios();
        resetTransl();
    }
    bool refusedOnce() const
    {
        return ui.transcript.size() == 1 &&
               ui.transcript[0].text.rfind("\nUnsafe Memory request.", 0) == 0 &&
               ui.transcript[0].flags == MSG_ACK;
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

TEST_F(ViewMem, BufferShownOnTheMemoryViewIsCutAndPastedBackThroughLuts)
{
    ASSERT_TRUE(FIT_INIT_IMG(false));
    ASSERT_EQ(VIEW_MEM(nullptr, false), VMEM_OK);
    const int32 x0 = (100 - 60) / 2, y0 = (80 - 40) / 2;
    EXPECT_EQ(surface.at(x0, y0), viewBuilder::pattern(0, 0));
    EXPECT_EQ(surface.at(x0 + 59, y0 + 39), viewBuilder::pattern(59, 39));
    EXPECT_EQ(surface.at(0, 0), 0x00123456u) << "outside the image the view is as it was";

    ASSERT_EQ(CUT_ACCUM(), ACC_OK);
    const std::vector<int32u> shown = surface.px;
    surface.fillRect(twBox{0, 0, 99, 79}, 0);
    ASSERT_EQ(paste_accum(nullptr), ACC_OK);
    EXPECT_EQ(surface.px, shown) << "a plain paste repairs the view exactly";

    static lutSet inverted;
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i)
            inverted[g][i] = charu(255 - i);
    ASSERT_EQ(paste_accum(&inverted), ACC_OK);
    for (std::size_t i = 0; i < shown.size(); i += 97)
        ASSERT_EQ(surface.px[i], shown[i] ^ 0x00ffffffu) << "pixel " << i;
    EXPECT_TRUE(ui.transcript.empty());
}

TEST_F(ViewMem, AccumulatorCutAtAnotherSizeIsNotPasted)
{
    ASSERT_EQ(CUT_ACCUM(), ACC_OK);
    memSurface smaller(90, 80);
    EXPECT_EQ(paste_accum(nullptr), ACC_SIZE);
    EXPECT_EQ(smaller.writes, 0);
}

TEST_F(ViewMem, RefusedAccumulatorIsShownInTheMessageBox)
{
    setFreeMemSource(scarceMemory);
    testing::internal::CaptureStderr();
    EXPECT_EQ(CUT_ACCUM(), ACC_NO_MEM);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(refusedOnce());
    EXPECT_NE(err.find("Unsafe Memory request"), std::string::npos) << "still on standard error";
}

TEST_F(ViewMem, RefusedViewBlockIsShownAndNothingIsDrawn)
{
    ASSERT_TRUE(FIT_INIT_IMG(false));
    setFreeMemSource(scarceMemory);
    testing::internal::CaptureStderr();
    EXPECT_EQ(VIEW_MEM(nullptr, false), VMEM_NO_SCRATCH);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(refusedOnce()) << (ui.transcript.empty() ? "" : ui.transcript[0].text);
    EXPECT_EQ(surface.writes, 0);
}

TEST_F(ViewMem, AccumulatorRendersIntoTheDisplayAreaItMapsToOnly)
{
    resetSbuffs();
    CLAIM_FOLIOS(ALL_FOLIOS);
    ASSERT_EQ(SET_ACTIVE_sBUFF(SBUFF_EXPLOIT), SBUFF_EXPLOIT_SLOT);
    folioDesc d{};
    d.cols = 20;
    d.rows = 16;
    const aoiRec a{30, 20, 49, 35};
    d.aoi[0] = 30, d.aoi[1] = 20, d.aoi[2] = 49, d.aoi[3] = 35;
    d.nBands = d.nScaleBands = 1;
    d.gunBand[0] = 1;
    d.inLayout = 1;
    d.dType = DTYPE_FLOAT32;
    d.srcBuf = 1;
    d.defined = 1;
    ASSERT_EQ(PUT_sBUFF_HEADER(&d), 0);
    std::vector<float> row(20);
    for (int x = 0; x < 20; ++x)
        row[std::size_t(x)] = float(10 * x); // 0 .. 190 across, the same on every line
    for (int y = 0; y < 16; ++y)
        ASSERT_EQ(PUT_sBUFF_SCANLINE(row.data(), row.size()), 0);
    ASSERT_EQ(END_sBUFF_LOAD(), 0);
    HDR_DEFAULTS(HDR_FULL);

    EXPECT_EQ(RENDER_sBUFF(&a, view.bd, RSB_TO_DISPLAY), -9) << "no view lends its pixels";
    lendViewToSbuff(true);
    const aoiRec shifted{31, 20, 50, 35}, cut{90, 70, 109, 85};
    EXPECT_EQ(RENDER_sBUFF(&shifted, view.bd, RSB_TO_DISPLAY), -5);
    EXPECT_EQ(RENDER_sBUFF(&a, view.bd, RSB_TO_DISPLAY), 0);
    lendViewToSbuff(false);

    // Grey on R, G and B through the full linear range; the alpha byte is the view's own.
    EXPECT_EQ(surface.at(30, 20), 0x00000000u);
    EXPECT_EQ(surface.at(30, 35), 0x00000000u);
    EXPECT_EQ(surface.at(49, 27) & 0xff, surface.at(49, 27) >> 16 & 0xff);
    EXPECT_GE(surface.at(49, 27) & 0xff, 254u);
    EXPECT_EQ(surface.at(49, 27) >> 24, 0u);
    EXPECT_EQ(surface.at(29, 20), 0x00123456u) << "left of the area";
    EXPECT_EQ(surface.at(50, 35), 0x00123456u) << "right of the area";
    EXPECT_EQ(surface.at(30, 36), 0x00123456u) << "below the area";

    // An area the display box cuts is not lent: its rows would be narrower than the data.
    activeSbuff().desc.aoi[0] = 90, activeSbuff().desc.aoi[1] = 70;
    activeSbuff().desc.aoi[2] = 109, activeSbuff().desc.aoi[3] = 85;
    lendViewToSbuff(true);
    EXPECT_EQ(RENDER_sBUFF(&cut, view.bd, RSB_TO_DISPLAY), -9);
    lendViewToSbuff(false);
    resetSbuffs();
}

} // namespace
