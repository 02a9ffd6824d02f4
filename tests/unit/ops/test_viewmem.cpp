// Pixels between the buffer, the view and the display accumulator on the memory view, and
// memory refusals met inside the view: the user sees the memory guard's text in the message
// box, and nothing is drawn from a block that was never allocated.
#include <gtest/gtest.h>

#include <string>

#include "bTransl.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "renderPix.h"
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

} // namespace
