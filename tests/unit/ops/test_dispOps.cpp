// DISP OPS chosen as the main menu hands it over, on the memory view: touched displays kept
// and taken back exactly, their refusals, SHIFT and TILE by scripted clicks, CLEAR, GAMMA and
// the view-size lock.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "bTransl.h"
#include "dispOps.h"
#include "folio_utl.h"
#include "lutOps.h"
#include "memSurface.h"
#include "opTable.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"
#include "viewDims.h"

namespace {

constexpr int32 DISP_VALUE = 5;
constexpr int32 VW = 64, VH = 48;

class DispOps : public ::testing::Test {
protected:
    explicit DispOps(int32 w = 120, int32 h = 90) : view(w, h), surface(VW, VH)
    {
        SET_EXPLOIT_OPS(tavExploitOps());
        resetLutOps();
        resetDispOps();
        resetTransl();
        SET_TRANSL_VIEW(VW, VH);
        INIT_I_TRANSL(view.bd);
        view.vs.dispBox[2] = VW - 1;
        view.vs.dispBox[3] = VH - 1;
        view.vs.dmode = modeDFLT_LUTS;
        show(10, 5, 1);
    }
    ~DispOps() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetTransl();
        resetDispOps();
        resetLutOps();
        resetViewDims();
    }
    void show(int32 x, int32 y, int32 zoom)
    {
        SET_I_TRANSL(x, y, zoom);
        view.bd->bgAoi = curTransl.mapped;
        VIEW_MEM(&view.bd->bgAoi, false);
    }
    void run(int32 item, int32 a = 0, int32 b = 0)
    {
        const int32 pv[MAX_PUP_LEVEL] = {DISP_VALUE, item, a, b};
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    std::vector<int32u> rgb() const
    {
        std::vector<int32u> out = surface.px;
        for (int32u& p : out)
            p &= 0x00ffffffu;
        return out;
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

TEST_F(DispOps, RestoreTouchedTakesBackStateAndPixelsExactly)
{
    const std::vector<int32u> touched = rgb();
    const aoiRec fg = view.bd->fgAoi, bg = view.bd->bgAoi;
    run(2, 1);
    ASSERT_EQ(ui.lastText(), "Display state saved");
    EXPECT_EQ(ui.transcript.back().flags, MSG_BRIEF);

    run(7, 2, 1); // GAMMA 2.00 RED
    EXPECT_EQ(view.bd->tLut[0][128], 64);
    EXPECT_EQ(view.bd->tLut[1][128], 128) << "green was not chosen";
    EXPECT_EQ(view.vs.gunMask, 6);
    EXPECT_EQ(lutState.names[0], "GAMMA");
    view.bd->fgAoi = aoiRec{1, 2, 3, 4};
    view.vs.dmode |= modeGLOBAL_SCOPE;
    show(30, 20, 2);
    ASSERT_NE(rgb(), touched);

    view.vs.lutsChanged = false;
    view.vs.refresh = 0;
    run(1, 2, 1);
    EXPECT_EQ(curTransl.x, 10);
    EXPECT_EQ(curTransl.y, 5);
    EXPECT_EQ(curTransl.zoom, 1);
    EXPECT_EQ(std::memcmp(&view.bd->fgAoi, &fg, sizeof fg), 0);
    EXPECT_EQ(std::memcmp(&view.bd->bgAoi, &bg, sizeof bg), 0);
    EXPECT_EQ(view.vs.dmode, modeDFLT_LUTS);
    EXPECT_EQ(view.vs.gunMask, 7);
    EXPECT_EQ(view.bd->tLut[0][128], 128);
    EXPECT_TRUE(view.vs.lutsChanged);
    EXPECT_TRUE(view.vs.refresh & RFR_VIEW);
    EXPECT_EQ(rgb(), touched);
}

TEST_F(DispOps, RestoreBufferRedrawsTheShownAreaOnAClearedView)
{
    struct Case {
        int32 x, y, zoom;
        int32u dmode;
    };
    for (const Case& c :
         {Case{10, 5, 1, ZOOM_BILINEAR}, Case{100, 5, 1, 0}, Case{20, 10, 2, ZOOM_REPLICATE}}) {
        SCOPED_TRACE(c.x);
        show(c.x, c.y, c.zoom);
        surface.fillRect(twBox{0, 0, VW - 1, VH - 1}, 0x00777777u);
        view.vs.dmode = c.dmode;
        view.vs.refresh = 0;
        run(1, 1);
        EXPECT_EQ(view.vs.dmode, c.dmode) << "the forced default LUTs are given back";
        EXPECT_TRUE(view.vs.lutsChanged);
        EXPECT_EQ(view.vs.refresh, RFR_VIEW);
        for (int32 k : {0, 1, 7})
            EXPECT_EQ(surface.at(k, k) & 0xffffffu,
                      viewBuilder::pattern(c.x + k / c.zoom, c.y + k / c.zoom) & 0xffffffu);
        const int32 past = (120 - c.x) * c.zoom; // first view column past the buffer
        if (past < VW) {
            EXPECT_EQ(surface.at(past, 0) & 0xffffffu, 0u) << "the view was cleared";
        }
    }
}

TEST_F(DispOps, TouchedDisplayIsRefusedUnlessItStillMapsToTheBuffer)
{
    run(1, 2, 2);
    EXPECT_EQ(ui.lastText(), "TOUCH Accumulator empty.");

    run(2, 1);
    view.vs.dispBox[2] = VW - 17; // the view changed size
    run(1, 2, 1);
    EXPECT_EQ(ui.lastText(), "Touched display not found or\nno longer maps to iBUFF.");
    view.vs.dispBox[2] = VW - 1;

    run(2, 3);
    int st = 0;
    ASSERT_NE(CREATE_iBUFF(view.bd, 120, 90, &st), nullptr); // a reload of the same size
    INIT_I_TRANSL(view.bd);
    surface.fillRect(twBox{0, 0, VW - 1, VH - 1}, 0x00abcdefu);
    const std::size_t before = ui.transcript.size();
    run(1, 2, 3);
    EXPECT_EQ(ui.lastText(), "Touched display not found or\nno longer maps to iBUFF.");
    EXPECT_EQ(ui.transcript.size(), before + 1);
    EXPECT_EQ(surface.at(5, 5), 0x00abcdefu) << "a refusal leaves the view alone";
}

TEST_F(DispOps, FailedTouchKeepsTheEarlierRecordAndSaysSo)
{
    const std::vector<int32u> touched = rgb();
    run(2, 4);
    show(40, 30, 1);
    setFreeMemSource(scarceMemory);
    const std::size_t before = ui.transcript.size();
    run(2, 4);
    setFreeMemSource(plentyOfMemory);
    EXPECT_EQ(ui.lastText(), "Error copying to accumulator");
    for (std::size_t k = before; k < ui.transcript.size(); ++k)
        EXPECT_NE(ui.transcript[k].text, "Display state saved") << "no success after a failure";
    run(1, 2, 4);
    EXPECT_EQ(rgb(), touched);
    EXPECT_EQ(curTransl.x, 10);
}

TEST_F(DispOps, GammaUserRefusesWhatIsNotAValueInRange)
{
    for (const char* answer : {"7", "abc", "0.05", ""}) {
        ui.answers.push_back(answer);
        run(7, 6, 7);
        EXPECT_EQ(ui.lastText(), "Invalid GAMMA.") << answer;
        EXPECT_EQ(view.bd->tLut[2][100], 100);
        EXPECT_EQ(view.vs.gunMask, 7);
        EXPECT_DOUBLE_EQ(view.vs.gamma, 1.7);
    }
    ui.answers.push_back("0.65");
    run(7, 6, 4);
    EXPECT_EQ(view.bd->tLut[2][128], 163);
    EXPECT_EQ(view.vs.gunMask, 3);
}

TEST_F(DispOps, ShiftMovesTheOriginByTwoClicksOverTheZoom)
{
    show(20, 10, 2);
    ui.clicks = {{MOUSE_LEFT, 30, 20}, {MOUSE_LEFT, 40, 20}};
    run(4);
    EXPECT_EQ(curTransl.x, 15);
    EXPECT_EQ(curTransl.y, 10);
    EXPECT_EQ(std::memcmp(&view.bd->bgAoi, &curTransl.mapped, sizeof(aoiRec)), 0);
    EXPECT_EQ(surface.at(0, 0) & 0xffffffu, viewBuilder::pattern(15, 10) & 0xffffffu);

    show(3, 10, 2);
    ui.clicks = {{MOUSE_LEFT, 30, 20}, {MOUSE_LEFT, 40, 20}};
    run(4);
    EXPECT_EQ(ui.lastText(), "Attempt to translate buffer off screen...");
    EXPECT_EQ(curTransl.x, 3);

    ui.clicks = {{MOUSE_RIGHT, 30, 20}};
    run(4);
    EXPECT_EQ(curTransl.x, 3) << "the right button cancels";
    view.vs.dmode |= modeGLOBALV;
    run(4);
    EXPECT_EQ(ui.lastText(), "SHIFT undefined for global view");
}

TEST_F(DispOps, ClearIsRefusedUnderTransformLutsAndClearsTheModeBits)
{
    view.vs.gunMask = 6;
    run(6);
    EXPECT_EQ(ui.lastText(), "Cannot clear display with\nactive transform LUTS");
    EXPECT_NE(surface.at(0, 0), 0u);
    view.vs.gunMask = 7;
    view.vs.dmode |= modeALPHA | modeGLOBALV;
    run(6);
    EXPECT_EQ(view.vs.dmode, modeDFLT_LUTS);
    EXPECT_EQ(surface.at(VW - 1, VH - 1), 0u);

    run(8, 1);
    EXPECT_TRUE(vDims.lock);
    EXPECT_EQ(ui.lastText(), "Display Dimensions locked");
    run(8, 2);
    EXPECT_FALSE(vDims.lock);
}

class DispTile : public DispOps {
protected:
    DispTile() : DispOps(200, 96) {}
};

TEST_F(DispTile, StepsViewSizedTilesAndSnapsTheLastOneToTheEdge)
{
    ui.clicks = {{MOUSE_LEFT, 60, 24}, {MOUSE_LEFT, 60, 24}, {MOUSE_LEFT, 60, 24},
                 {MOUSE_LEFT, 60, 24}, {MOUSE_LEFT, 30, 47}, {MOUSE_RIGHT, 0, 0}};
    run(5);
    EXPECT_EQ(ui.transcript[0].text.rfind("Warn: iBUFF dimensions not evenly divisible", 0), 0u);
    EXPECT_EQ(curTransl.x, 200 - VW);
    EXPECT_EQ(curTransl.y, VH);
    EXPECT_EQ(curTransl.zoom, 1);
    EXPECT_EQ(surface.at(0, 0), viewBuilder::pattern(200 - VW, VH));

    view.vs.dmode |= modeGLOBALV;
    run(5);
    EXPECT_EQ(ui.lastText(),
              "FAIL: Cannot Tile Global View of iBUFF\n      PAN to first Display TILE");
}

TEST_F(DispOps, TileRefusesABufferUnderTwiceTheView)
{
    run(5);
    EXPECT_EQ(ui.lastText(), "FAIL: iBUFF too small to Tile Display");
}

} // namespace

// COMPOSITE burns what the view shows into the buffer: red through the table it is shown
// with, green and blue as they are; an unconfirmed overlay paste and a missing clone write
// nothing.
TEST_F(DispOps, CompositeBurnsTheShownTablesIntoTheBuffer)
{
    const std::vector<int32u> before(view.bd->imgbuf, view.bd->imgbuf + 120 * 90);
    for (int i = 0; i < 256; ++i)
        view.vs.tranLut[0][i] = charu(255 - i);
    view.vs.dfltLutOn = false;
    view.vs.gunMask = 6; // red shows its transform table
    view.vs.dmode |= modeALPHA | modeALPHA_PASTE;
    ui.answers = {"n"};
    run(3, 1);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), view.bd->imgbuf)) << "not confirmed";
    run(3, 2);
    EXPECT_EQ(ui.lastText(), "FAIL: No Clone defined for this iBUFF");

    ui.answers = {"y"};
    run(3, 1);
    EXPECT_EQ(ui.lastText(), "Composite done.");
    // View (0, 0) shows buffer (10, 5); outside the shown area nothing changes.
    const int32u was = before[5 * 120 + 10], now = view.bd->imgbuf[5 * 120 + 10];
    EXPECT_EQ((now >> 16) & 0xff, 255 - ((was >> 16) & 0xff)) << "red through its table";
    EXPECT_EQ(now & 0xffff, was & 0xffff) << "green and blue as shown";
    EXPECT_EQ(view.bd->imgbuf[0], before[0]);
}
