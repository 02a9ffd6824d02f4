// BUFF OPS through the operation table on a small buffer table: menu values in, the scripted
// user and the memory view; checked on the buffers, their flags and links, the view state and
// the messages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bTransl.h"
#include "buffOps.h"
#include "buff_utl.h"
#include "clonePair.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "opTable.h"
#include "renderPix.h"
#include "sbuffActive.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 BUFF = 4, IBUFF = 1, SBUFF = 2;

// Buffer 1 (w x h, the pattern) current on a 100 x 80 memory view.
class BuffOps : public ::testing::Test {
protected:
    explicit BuffOps(int32 w = 40, int32 h = 30) : view(w, h), surface(100, 80, 0x00123456u)
    {
        resetBuffOps();
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        if (INIT_I_TRANSL(view.bd)) {
            FIT_INIT_IMG(false);
            VIEW_MEM(nullptr, false);
        }
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~BuffOps() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetTransl();
        resetBuffOps();
    }
    void run(std::vector<int32> values)
    {
        int32 pv[MAX_PUP_LEVEL];
        std::fill(pv, pv + MAX_PUP_LEVEL, -1);
        pv[0] = BUFF;
        for (std::size_t k = 0; k < values.size(); ++k)
            pv[k + 1] = values[k];
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    bufdes& buf(int32 k) { return view.vs.bufObjs[k]; }
    // Buffer k (0..15) holding one w x h image of fill + its pixel index.
    void fillBuffer(int32 k, int32 w, int32 h, int32u fill)
    {
        int st = 0;
        int32u* px = CREATE_iBUFF(&buf(k), w, h, &st);
        ASSERT_NE(px, nullptr);
        for (int32 i = 0; i < w * h; ++i)
            px[i] = fill + int32u(i);
        ASSERT_TRUE(ONE_IMAGE(&buf(k)));
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

// The small buffer of the turn cases: [[a b c], [d e f]].
class BuffOpsSmall : public BuffOps {
protected:
    BuffOpsSmall() : BuffOps(3, 2)
    {
        for (int32u k = 0; k < 6; ++k)
            view.bd->imgbuf[k] = 0xA0 + k;
    }
};

TEST_F(BuffOpsSmall, Rot90TurnsClockwiseAndMarksTheBuffer)
{
    view.bd->bufCtlm |= bufIS_HDR;
    run({IBUFF, 4, 3});
    ASSERT_EQ(view.bd->width, 2);
    ASSERT_EQ(view.bd->height, 3);
    const int32u a = 0xA0, b = 0xA1, c = 0xA2, d = 0xA3, e = 0xA4, f = 0xA5;
    const std::vector<int32u> want = {d, a, e, b, f, c};
    EXPECT_EQ(std::vector<int32u>(view.bd->imgbuf, view.bd->imgbuf + 6), want);
    EXPECT_EQ(view.bd->bufCtlm & 0x50u, 0x50u);
    EXPECT_EQ(view.bd->bufCtlm & bufIS_HDR, 0u) << "the HDR mapping is dropped";
    EXPECT_EQ(ui.transcript.front().text, "ROTATING BUFFER");
}

TEST_F(BuffOps, RotAnyQuarterWithoutAntiAliasIsRot90)
{
    const std::vector<int32u> before(view.bd->imgbuf, view.bd->imgbuf + 40 * 30);
    run({IBUFF, 4, 3});
    const std::vector<int32u> by90(view.bd->imgbuf, view.bd->imgbuf + 40 * 30);
    run({IBUFF, 4, 5}); // ROT -90 back
    ASSERT_EQ(std::vector<int32u>(view.bd->imgbuf, view.bd->imgbuf + 40 * 30), before);
    ui.answers = {"90"};
    run({IBUFF, 4, 6});
    EXPECT_EQ(view.bd->width, 30);
    EXPECT_EQ(std::vector<int32u>(view.bd->imgbuf, view.bd->imgbuf + 40 * 30), by90);
    ui.answers = {"360"};
    run({IBUFF, 4, 6});
    EXPECT_EQ(ui.lastText(),
              "Invalid angle.\n  Use -180 <= angle <= 180, or\n  clockwise 0 <  angle <  360");
    ui.answers = {"30"};
    run({IBUFF, 4, 6});
    EXPECT_GT(view.bd->width, 30) << "the bounding box of the turned rectangle";
    EXPECT_EQ(view.bd->imgbuf[0] >> 24, 0u) << "uncovered corners are 0, alpha too";
}

TEST_F(BuffOps, SelectRefusesAndMovesTheViewsReferences)
{
    run({IBUFF, 1, 1, 1});
    EXPECT_EQ(ui.lastText(), "Selected CURRENT image buffer.");
    run({IBUFF, 1, 1, 3});
    EXPECT_EQ(ui.lastText(), "Selected EMPTY image buffer.");
    EXPECT_EQ(view.vs.currB, 0);

    fillBuffer(5, 20, 18, 0x100);
    run({IBUFF, 1, 2, 2}); // group 5-8, item 2: buffer 6
    EXPECT_EQ(view.vs.currB, 5);
    EXPECT_EQ(view.vs.bd, &buf(5));
    EXPECT_EQ(curTransl.bd, &buf(5));
    EXPECT_EQ(curTransl.cols, 20);
    EXPECT_TRUE(buf(5).bufCtlm & bufVIEW_SAVED);
    EXPECT_EQ(std::string(buf(5).imgDes[0].scal[0].curve), "UNSCALED");
    EXPECT_EQ(view.vs.refresh & 3u, 3u);
}

TEST_F(BuffOps, DestroyRangesAndClonePairsLeaveNoStaleLink)
{
    view.vs.currB = 15; // HERE > with the last buffer current: nothing
    run({IBUFF, 14, 3});
    EXPECT_TRUE(ui.transcript.empty());
    view.vs.currB = 0;

    run({IBUFF, 6, 1, 1, 3}); // CROP TO CLONE -> buffer 3
    ASSERT_EQ(buf(2).linkBuf, 1);
    ASSERT_EQ(buf(0).linkBuf, 3);
    EXPECT_EQ(buf(2).bufCtlm & 0x408u, 0x408u);
    EXPECT_EQ(buf(0).bufCtlm & 0x208u, 0x208u);
    ASSERT_EQ(clonePartner(view.vs.bufObjs, &buf(0)), &buf(2));

    // SWAP with the clone: contents change places, the link and the accumulator's source
    // follow them.
    sbuffInstance(SBUFF_LOADER).desc.srcBuf = 1;
    run({IBUFF, 12, 1, 3});
    EXPECT_EQ(sbuffInstance(SBUFF_LOADER).desc.srcBuf, 3);
    resetSbuffs();
    EXPECT_EQ(ui.lastText(), "Buffers Swapped");
    EXPECT_EQ(view.vs.currB, 2);
    EXPECT_EQ(buf(2).bufNum, 3);
    EXPECT_EQ(buf(0).bufNum, 1);
    EXPECT_EQ(clonePartner(view.vs.bufObjs, &buf(2)), &buf(0));
    EXPECT_EQ(clonePartner(view.vs.bufObjs, &buf(0)), &buf(2));

    ui.answers = {"y"};
    run({IBUFF, 14, 1, 1, 1}); // DESTROY SELECT buffer 1, the clone
    EXPECT_EQ(ui.lastText(), "Image buffer 1 Released!");
    EXPECT_EQ(buf(0).imgbuf, nullptr);
    EXPECT_EQ(buf(2).linkBuf, 0);
    EXPECT_EQ(buf(2).bufCtlm & (bufHAS_CLONE | bufIS_CLONE), 0u);

    ui.answers = {"n"};
    fillBuffer(7, 16, 16, 0);
    run({IBUFF, 14, 2});
    EXPECT_EQ(ui.transcript[ui.transcript.size() - 2].text,
              "RELEASING all buffers except current\nConfirm [Y/N]: ");
    EXPECT_EQ(ui.lastText(), "Operation Declined...");
    EXPECT_NE(buf(7).imgbuf, nullptr);
}

TEST_F(BuffOps, CropDisplayAndItsRefusals)
{
    fillBuffer(1, 16, 16, 0);
    run({IBUFF, 6, 5, 1, 2});
    EXPECT_EQ(ui.lastText(), "Selected buffer is not empty");
    run({IBUFF, 6, 5, 1, 1});
    EXPECT_EQ(ui.lastText(), "Cannot crop to current buffer");
    ui.answers = {"7,100"};
    run({IBUFF, 6, 3, 1, 3});
    EXPECT_EQ(ui.lastText(), "Crop dimension is too small");

    run({IBUFF, 6, 5, 6, 1}); // DISPL -> ACCUM @2, RED (%x1)
    EXPECT_EQ(ui.lastText(), "Area cropped to Accumulator: 2");
    folioDesc d{};
    ASSERT_EQ(GET_FOLIO_HEADER(1, &d, nullptr), 0);
    EXPECT_EQ(d.cols, 40u);
    EXPECT_EQ(d.gunBand[0], 1);
    EXPECT_EQ(d.gunBand[1], 0);

    run({IBUFF, 6, 5, 1, 3}); // DISPL -> buffer 3
    EXPECT_EQ(ui.lastText(), "Area cropped to iBUFF: 3\nSELECT buffer to view");
    const bufdes& t = buf(2);
    EXPECT_EQ(t.bufCtlm, bufCROPPED);
    EXPECT_EQ(t.numImgs, 1);
    ASSERT_EQ(t.width, 40);
    ASSERT_EQ(t.height, 30);
    EXPECT_EQ(t.imgDes[0].planeCount, 3);
    EXPECT_EQ(std::vector<int32u>(t.imgbuf, t.imgbuf + 1200),
              std::vector<int32u>(view.bd->imgbuf, view.bd->imgbuf + 1200));
}

TEST_F(BuffOps, JoinResizeAndCreate)
{
    fillBuffer(1, 40, 20, 0x7000);
    run({IBUFF, 8, 3, 1, 2}); // ABOVE buffer 2
    ASSERT_EQ(view.bd->height, 50);
    EXPECT_EQ(view.bd->imgbuf[0], 0x7000u);
    EXPECT_EQ(view.bd->imgbuf[20 * 40], viewBuilder::pattern(0, 0));
    EXPECT_EQ(view.bd->bufCtlm & (bufJOINED | bufIS_HDR), bufJOINED);
    run({IBUFF, 8, 1, 1, 2}); // LEFT: heights differ now
    EXPECT_EQ(ui.lastText(), "Failed. Incompatible Dimensions or Insufficient Memory");

    ui.answers = {"80,0"};
    run({IBUFF, 9, 2});
    EXPECT_EQ(view.bd->width, 80);
    EXPECT_EQ(view.bd->height, 100);
    EXPECT_EQ(view.bd->bufCtlm & ~bufVIEW_SAVED, bufLOADED | bufJOINED);
    ui.answers = {"1.005,0.995", "20"};
    run({IBUFF, 9, 1});
    EXPECT_EQ(ui.lastText(), "Buffer size not changed");
    run({IBUFF, 9, 1});
    EXPECT_EQ(ui.lastText(), "Warp factor out of range");

    ui.answers = {"0,5", "64,48"};
    run({IBUFF, 7, 3, 1});
    EXPECT_EQ(ui.lastText(), "Invalid input");
    run({IBUFF, 7, 3, 1});
    EXPECT_EQ(ui.lastText(), "Created iBUFF 9");
    EXPECT_EQ(buf(8).width, 64);
    EXPECT_EQ(buf(8).numImgs, 0);
    run({IBUFF, 7, 1, 2});
    EXPECT_EQ(ui.lastText(), "Selected buffer already exists");
}

TEST_F(BuffOps, StatusCountsTheGroup)
{
    fillBuffer(2, 1000, 500, 0);
    std::snprintf(view.bd->imgDes[0].fd[0].path, sizeof view.bd->imgDes[0].fd[0].path, "%s",
                  "/data/scene.png");
    run({IBUFF, 10, 1});
    const std::string t = ui.lastText();
    EXPECT_NE(t.find("Buffer:       1      2      3      4"), std::string::npos) << t;
    EXPECT_NE(t.find("Xdimen:      40      0   1000      0"), std::string::npos) << t;
    EXPECT_NE(t.find("Mbytes:     0.0    0.0    2.0    0.0"), std::string::npos) << t;
    EXPECT_NE(t.find("Active: Buf  1, Img 1\n  /scene.png"), std::string::npos) << t;
}

TEST_F(BuffOps, RenameKeepsTheExtensionAndStaysInTheDirectory)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "tav_buffops_ren";
    std::filesystem::create_directories(dir);
    const std::string from = (dir / "old.png").string();
    std::ofstream(from) << "x";
    fdes& f = view.bd->imgDes[0].fd[0];
    std::snprintf(f.path, sizeof f.path, "%s", from.c_str());
    ui.answers = {"sub/new"};
    run({IBUFF, 2, 4});
    EXPECT_EQ(ui.lastText(), "Rename canceled");
    ui.answers = {"new"};
    run({IBUFF, 2, 4});
    EXPECT_EQ(std::string(f.path), (dir / "new.png").string());
    EXPECT_TRUE(std::filesystem::exists(dir / "new.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "old.png"));
    // Its own name again, "delete" confirmed: the file is kept, not deleted as "the other".
    ui.answers = {"new", "y"};
    run({IBUFF, 2, 4});
    EXPECT_EQ(ui.lastText(), "Rename canceled");
    EXPECT_TRUE(std::filesystem::exists(dir / "new.png"));
    // An existing other file is replaced once confirmed.
    std::ofstream(dir / "other.png") << "yy";
    ui.answers = {"other", "y"};
    run({IBUFF, 2, 4});
    EXPECT_EQ(std::filesystem::file_size(dir / "other.png"), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "new.png"));
    std::filesystem::remove_all(dir);
}

TEST_F(BuffOps, AlphaItemsSetTheirBitsAndSayWhy)
{
    struct Step {
        std::vector<int32> item;
        int32u dmodeBefore;
        const char* text;
        int32u dmodeAfter;
    };
    const int32u both = modeALPHA | modeALPHA_PASTE;
    const Step steps[] = {
        {{10}, 0, "ALPHA plane empty", 0},
        {{2}, 0, "ALPHA Empty", 0},
        {{2}, modeALPHA_PASTE, "ALPHA not Enabled", modeALPHA_PASTE},
        {{7, 1}, 0, "ALPHA Empty", 0},
        {{1}, 0, "ALPHA Enabled", both},
        {{6, 2}, 0, nullptr, both},
        {{10}, both, "ALPHA present and Enabled for Display", both},
        {{2}, both, "ALPHA Disabled", modeALPHA_PASTE},
        {{10}, modeALPHA_PASTE, "ALPHA present but not Enabled for Display", modeALPHA_PASTE},
        {{8}, both, "ALPHA destroyed", 0},
    };
    for (const Step& s : steps) {
        std::vector<int32> v = {IBUFF, 3};
        v.insert(v.end(), s.item.begin(), s.item.end());
        view.vs.dmode = s.dmodeBefore;
        ui.transcript.clear();
        run(v);
        SCOPED_TRACE(s.item[0]);
        if (s.text) {
            EXPECT_EQ(ui.lastText(), s.text);
        }
        EXPECT_EQ(view.vs.dmode & both, s.dmodeAfter);
    }
    view.vs.gunMask = 3;
    run({IBUFF, 3, 1});
    EXPECT_EQ(ui.lastText(), "Cannot Enable ALPHA if\nTransform LUTs are active");
}

TEST_F(BuffOps, SbuffAccessAndPath)
{
    run({SBUFF, 2, 4, 1});
    EXPECT_TRUE(view.vs.dmode & modeSBUFF_WRITE);
    run({SBUFF, 2, 4, 2});
    EXPECT_FALSE(view.vs.dmode & modeSBUFF_WRITE);
    EXPECT_EQ(ui.lastText(), "  Exploitation sBUFF\n       - OFF -\n sBUFF Write-Protected ");
    run({SBUFF, 1, 4, 2});
    EXPECT_EQ(ui.lastText(), "Loader sBUFF is managed by Loader");
    view.vs.dmode |= modeGLOBAL_SCOPE;
    ui.answers = {"n"};
    run({SBUFF, 2, 4, 1});
    EXPECT_EQ(ui.lastText(), "Cancelled");
    EXPECT_FALSE(view.vs.dmode & modeSBUFF_WRITE);

    ui.answers = {"/no/such/dir"};
    run({SBUFF, 2, 5, 3});
    EXPECT_EQ(ui.lastText(), "Not a directory or cannot access:\n/no/such/dir");
    EXPECT_EQ(view.vs.sbuffDir, "./");
    ui.answers = {"/tmp"};
    run({SBUFF, 2, 5, 3});
    EXPECT_EQ(view.vs.sbuffDir, "/tmp/");
}

} // namespace
