// CONVOLUTION through the operation table on the memory view: the USER console typed at the
// scripted console, and a built-in filter refused on a narrow area.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bTransl.h"
#include "consoleScript.h"
#include "convKernels.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "opTable.h"
#include "renderPix.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 PIXEL_OPS_VALUE = 3, CONVOLUTION_ITEM = 6;

// A 60 x 40 buffer shown at (20, 20) on a 100 x 80 memory view.
class Conv : public ::testing::Test {
protected:
    Conv() : view(60, 40), surface(100, 80, 0x00123456u)
    {
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        INIT_I_TRANSL(view.bd);
        FIT_INIT_IMG(false);
        VIEW_MEM(nullptr, false);
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~Conv() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetTransl();
    }
    void choose(std::vector<int32> values)
    {
        int32 pupvals[MAX_PUP_LEVEL] = {PIXEL_OPS_VALUE, CONVOLUTION_ITEM};
        for (std::size_t k = 0; k < values.size(); ++k)
            pupvals[k + 2] = values[k];
        ASSERT_TRUE(runMenuChoice(&view.vs, pupvals));
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
    consoleScript con;
};

} // namespace

TEST_F(Conv, ConsoleRunsTheKernelOnTheAoiAndUndoes)
{
    view.bd->fgAoi = aoiRec{25, 22, 54, 30};
    const std::vector<int32u> before = surface.px;
    con.lines = {"KTYP=3X3", "KDEF=-1 -1 -1 -1 8 -1 -1 -1 -1", "CSUM=0", "CVAL=128", "G=g", "KEXE",
                 "M", // the ancillary display is off
                 ""};
    choose({1, 7});
    EXPECT_EQ(con.header.at(0), "              SPATIAL CONVOLUTION");
    EXPECT_EQ(con.labels,
              (std::vector<std::string>{"CSUM=   0", "CVAL= 128", "GUNS= G ", "KTYP=3X3"}));
    // The view is what the engine gives over the display, only green, only in the FG AOI.
    std::vector<int32u> want = before;
    convJob j;
    j.kernel = &convBuiltinKernel(CK_LAPLACE_3X3);
    j.params = {0, 128, 0, 2};
    ASSERT_EQ(convolveImage(j, want.data(), 100, 80, 100, 25, 22, 54, 30), CONV_OK);
    EXPECT_EQ(surface.px, want);
    EXPECT_NE(surface.px, before);
    const std::vector<std::string> out = con.output;
    EXPECT_NE(std::find(out.begin(), out.end(), "Kernel definition loaded."), out.end());
    EXPECT_EQ(out.back(), "Error: ancillary display not enabled");
    EXPECT_TRUE(view.vs.refresh & RFR_VIEW);

    // UNDO pastes back the display as it was when the console opened.
    con.lines = {"UNDO", ""};
    choose({1, 7});
    EXPECT_EQ(surface.px, want) << "a new console takes a new snapshot";
    con.lines = {"KDEF=0 0 0 0 1", "KEXE KSCALE=3", "U=rgb", ""};
    choose({1, 7});
    EXPECT_EQ(surface.px, want);
    EXPECT_EQ(con.output.back(), "Image gun(s) restored.");
}

TEST_F(Conv, BuiltinFilterOnANarrowAreaFailsWithMinusTwo)
{
    view.bd->fgAoi = aoiRec{25, 22, 44, 30}; // 20 columns: not wider than 5 + 15
    const std::vector<int32u> before = surface.px;
    choose({4, 1, 7}); // GAUSSIAN 5X5 RGB
    // The filter's own report, then PIXEL OPS' report of the item's status.
    ASSERT_GE(ui.transcript.size(), 2u);
    EXPECT_EQ(ui.transcript[ui.transcript.size() - 2].text, "Convolution failed. Status= -2");
    EXPECT_EQ(ui.lastText(), "CONVOLUTION error: -2");
    EXPECT_EQ(surface.px, before);
    view.bd->fgAoi = aoiRec{25, 22, 45, 30};
    choose({4, 1, 7});
    EXPECT_EQ(ui.lastText(), "Convolution completed");
    EXPECT_NE(surface.px, before);
}
