// CANNY and ADAPTIVE of PIXEL OPS through the operation table, the scripted user and the memory
// view: the parameter prompts with their refusals and status texts, and runs on the FG AOI
// checked against the kernels on the same planes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adaptiveOps.h"
#include "bufRecMgt.h"
#include "cannyKernels.h"
#include "cannyOps.h"
#include "memSurface.h"
#include "opTable.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 PIXEL_VALUE = 3, CANNY_ITEM = 11, ADAPTIVE_ITEM = 12;
constexpr int32 VW = 48, VH = 40;

class PixelItems : public ::testing::Test {
protected:
    PixelItems() : view(8, 8), surface(VW, VH, 0x80102030u)
    {
        SET_EXPLOIT_OPS(tavExploitOps());
        resetCannyOps();
        resetAdaptiveOps();
        view.bd->fgAoi = aoiRec{4, 3, 39, 34}; // 36 x 32
    }
    ~PixelItems() override
    {
        SET_EXPLOIT_OPS({});
        resetCannyOps();
        resetAdaptiveOps();
        setFreeMemSource(nullptr);
    }
    void run(std::vector<int32> values)
    {
        int32 pv[MAX_PUP_LEVEL];
        std::fill(pv, pv + MAX_PUP_LEVEL, -1);
        pv[0] = PIXEL_VALUE;
        for (std::size_t k = 0; k < values.size(); ++k)
            pv[k + 1] = values[k];
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    // The texts shown since the transcript was last cleared, then cleared.
    std::vector<std::string> said()
    {
        std::vector<std::string> t;
        for (const shownMsg& m : ui.transcript)
            t.push_back(m.text);
        ui.transcript.clear();
        return t;
    }
    std::string status(const char* tail)
    {
        return std::string("            CANNY PARAMETERS\n") + tail;
    }
    void setCanny(int32 item, const char* answer)
    {
        ui.answers = {answer};
        run({CANNY_ITEM, 2, item});
    }
    void setAdaptive(int32 item, const char* answer)
    {
        ui.answers = {answer};
        run({ADAPTIVE_ITEM, 2, item});
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

TEST_F(PixelItems, CannyParametersThroughThePrompts)
{
    run({CANNY_ITEM, 3});
    EXPECT_EQ(ui.lastText(), status("Sigma= 2.00   K= 450  Bright= 1.0 Thin= ON"));

    setCanny(3, "8"); // SIG DIAM
    EXPECT_EQ(ui.lastText(), status("Sigma= 2.83   K= 450  Bright= 1.0 Thin= ON"));
    said();
    setCanny(3, "2");
    EXPECT_EQ(said(),
              (std::vector<std::string>{"Enter kernel diameter (pixels)\n> ", "Invalid Sigma...",
                                        status("Sigma= 2.83   K= 450  Bright= 1.0 Thin= ON")}));
    setCanny(2, "7.5"); // SIG VAL
    setCanny(2, "x");
    EXPECT_NEAR(cannyParameters().sigma, 2.8284, 1e-4) << "both refused";
    setCanny(2, "");
    EXPECT_EQ(cannyParameters().sigma, 2.0) << "an empty answer restores the default";
    said();

    for (const char* k : {"199", "701", "450.5"}) {
        setCanny(4, k);
        EXPECT_EQ(said()[1], "Invalid 'K'...") << k;
    }
    setCanny(4, "700");
    EXPECT_EQ(cannyParameters().K, 700);
    setCanny(4, "");
    EXPECT_EQ(cannyParameters().K, 450);

    setCanny(5, "n");   // THIN
    setCanny(6, "3.5"); // BRIGHT
    EXPECT_EQ(ui.lastText(), status("Sigma= 2.00   K= 450  Bright= 3.5 Thin= OFF"));
    said();
    setCanny(6, "");
    setCanny(5, "");
    EXPECT_EQ(said().size(), 2u) << "empty THIN and BRIGHT: the prompts only, no status";
    setCanny(6, "9");
    EXPECT_EQ(said()[1], "Invalid Brightness...");
    run({CANNY_ITEM, 2, 1}); // DEFAULT
    EXPECT_EQ(ui.lastText(), status("Sigma= 2.00   K= 450  Bright= 1.0 Thin= ON"));
}

TEST_F(PixelItems, CannyRunReplacesOnlyTheChosenGunsOfTheAoi)
{
    // A green step inside the FG AOI; red and blue flat.
    std::vector<charu> green(36 * 32);
    for (int32 y = 0; y < 32; ++y)
        for (int32 x = 0; x < 36; ++x) {
            const charu g = x >= 17 ? 200 : 10;
            green[std::size_t(y) * 36 + x] = g;
            surface.px[std::size_t(y + 3) * VW + x + 4] = 0x80100030u | int32u(g) << 8;
        }
    std::vector<charu> want(green.size());
    const cannyFilters f = canny_filters(450, 2.0);
    ASSERT_EQ(cannyCore(green.data(), want.data(), CANNY_EDGE, 36, 32, f, true,
                        cannyNorm(450, 2.0, 1.0), nullptr),
              CANNY_OK);
    run({CANNY_ITEM, 1, 1, 2}); // RUN EDGE GRN
    for (int32 y = 0; y < VH; ++y)
        for (int32 x = 0; x < VW; ++x) {
            const bool in = x >= 4 && x < 40 && y >= 3 && y < 35;
            const int32u g = in ? want[std::size_t(y - 3) * 36 + x - 4] : 0x20;
            const int32u wantPx = in ? 0x80100030u | g << 8 : 0x80102030u;
            ASSERT_EQ(surface.at(x, y), wantPx) << x << "," << y;
        }
    EXPECT_EQ(said(), std::vector<std::string>{"Computing Canny for GRN..."});
    EXPECT_TRUE(view.vs.refresh & RFR_VIEW);
    EXPECT_EQ(ui.cursors, (std::vector<int>{2, 0}));
}

TEST_F(PixelItems, CannyRefusalsLeaveThePixels)
{
    const std::vector<int32u> before = surface.px;
    setCanny(2, "5"); // sigma 5: 35 taps
    said();
    run({CANNY_ITEM, 1, 1, 7});
    EXPECT_EQ(said(), (std::vector<std::string>{"Canny Filter out of range;\n  Decrease Sigma or K",
                                                "CANNY error: -1"}));
    run({CANNY_ITEM, 2, 1}); // DEFAULT
    said();
    view.bd->fgAoi = aoiRec{4, 3, 15, 40}; // 12 columns: not wider than the 13 taps
    run({CANNY_ITEM, 1, 2, 4});
    EXPECT_EQ(said(),
              (std::vector<std::string>{"Computing Canny for BLU...",
                                        "Canny internal error; code= -2", "CANNY error: -6"}));
    EXPECT_EQ(surface.px, before);
}

TEST_F(PixelItems, AdaptiveParametersThroughThePrompts)
{
    setAdaptive(2, "9");
    EXPECT_EQ(said(), (std::vector<std::string>{
                          "Enter value for ITERATIONS\nMinimum=1, Maximum=8\nCurrent= 3  > ",
                          "Entered value is out of range\nInput ignored"}));
    setAdaptive(1, "abc");
    EXPECT_EQ(said()[1], "Invalid input...");
    setAdaptive(1, "100");
    setAdaptive(3, "low");
    setAdaptive(4, "2");
    run({ADAPTIVE_ITEM, 3});
    EXPECT_EQ(ui.lastText(), "  ADAPTIVE PARAMETERS\n\nGAUSS SCALE FACT= 100\nITERATIONS=       "
                             "3\nMODE=             LOW\nVARIANCE=         2.00");
    setAdaptive(3, "HiGh");
    EXPECT_EQ(adaptiveParameters().mode, ADAPTIV_HIGH);
    setAdaptive(3, "medium");
    setAdaptive(4, "4.5");
    EXPECT_EQ(adaptiveParameters().mode, ADAPTIV_HIGH);
    EXPECT_EQ(adaptiveParameters().variance, 2.0);
    said();
    run({ADAPTIVE_ITEM, 2, 5});
    EXPECT_EQ(said(), std::vector<std::string>{"Adaptiv parameters reset\nto original defaults"});
    EXPECT_EQ(adaptiveParameters().scale, 240);
}

TEST_F(PixelItems, AdaptiveRunOnGreyAndUnderTheMemoryGuard)
{
    // A grey AOI: no spread, so every gun becomes 0; alpha and the rest of the view stay.
    for (int32 y = 3; y < 35; ++y)
        for (int32 x = 4; x < 40; ++x)
            surface.px[std::size_t(y) * VW + x] = 0x7F808080u;
    std::vector<int32u> want = surface.px;
    for (int32 y = 3; y < 35; ++y)
        for (int32 x = 4; x < 40; ++x)
            want[std::size_t(y) * VW + x] = 0x7F000000u;
    setFreeMemSource(scarceMemory);
    run({ADAPTIVE_ITEM, 1});
    EXPECT_EQ(ui.lastText(), "MSRCR() abort: out of memory...");
    EXPECT_NE(surface.px, want);
    setFreeMemSource(plentyOfMemory);
    said();
    run({ADAPTIVE_ITEM, 1});
    EXPECT_EQ(surface.px, want);
    EXPECT_EQ(said(), (std::vector<std::string>{
                          "Computing Adaptiv for RED", "Computing Adaptiv for GREEN",
                          "Computing Adaptiv for BLUE", "Adaptiv color normalization...",
                          "Scaling final image output..."}));
}

} // namespace
