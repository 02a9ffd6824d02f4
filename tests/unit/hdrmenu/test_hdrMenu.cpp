// The HDR scaling menu's paths, headless: menu values in, the scripted user and the memory
// view, an accumulator whose statistics and descaling tables are set in memory; checked on the
// guns' scaling words and bounds, the messages and the script file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bTransl.h"
#include "hdrMenu.h"
#include "hdrScale.h"
#include "memSurface.h"
#include "sbuffActive.h"
#include "tavPaths.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

// Level v of the histogram box lies at x = box left + 1 + v.
const aoiRec kGraph{500, 100, 757, 355};
int32 binX(int32 level)
{
    return kGraph.x0 + 1 + level;
}
constexpr int32 kInBoxY = 200;

class HdrMenu : public ::testing::Test {
protected:
    HdrMenu() : view(300, 200), surface(800, 600)
    {
        resetSbuffs();
        resetScalingArchives();
        sbuffMem& m = activeSbuff();
        m.desc.defined = 1;
        m.desc.cols = 300;
        m.desc.rows = 200;
        m.desc.nBands = m.desc.nScaleBands = 3;
        m.desc.srcBuf = 1;
        for (int g = 0; g < 4; ++g) {
            bandStats& s = m.stats[g];
            s.low = 0;
            s.high = 1000;
            s.mean = 100;
            s.median = 90;
            s.stdDev = 10;
            s.count = 60000;
            s.finalised = 1;
            m.scal[g].p.opScalCtl = 0x1401; // linear, full range
            S_FACTORS(g);
            for (int v = 0; v < 256; ++v)
                m.scal[g].descale[v] = float(100 + v + 1000 * g);
        }
        vs.ancil = 0x7; // column, read-outs and histogram on
        vs.graphBox = kGraph;
    }
    ~HdrMenu() override
    {
        resetSbuffs();
        resetScalingArchives();
        resetTransl();
    }
    int run(std::vector<int32> vals)
    {
        vals.resize(MAX_PUP_LEVEL, 0);
        return HDR_SCALING_MENU(&vs, vals.data());
    }
    static scalParams& gun(int g) { return activeSbuff().scal[g].p; }
    // A left click: its press, then the release the selections act on.
    void left(int32 x, int32 y)
    {
        ui.clicks.push_back({MOUSE_LEFT, x, y});
        ui.clicks.push_back({-MOUSE_LEFT, x, y});
    }
    int prompts() const
    {
        int n = 0;
        for (const shownMsg& m : ui.transcript)
            n += (m.flags & MSG_PROMPT) != 0;
        return n;
    }
    bool shown(const std::string& text) const
    {
        for (const shownMsg& m : ui.transcript)
            if (m.text == text)
                return true;
        return false;
    }

    viewBuilder view;
    viewState& vs = view.vs;
    memSurface surface;
    uiScript ui;
};

TEST_F(HdrMenu, StandardDeviationRangesAndResets)
{
    ui.answers = {"2.5"};
    ASSERT_EQ(run({4, 3, 2, 4, 7}), 1); // RANGE, STDEV, <-MEDIAN->, ? STDEV, RGB
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(gun(g).opScalCtl, 0x8801u) << g;
        EXPECT_EQ(gun(g).width, 2.5);
        ASSERT_EQ(S_FACTORS(g), 1);
        EXPECT_DOUBLE_EQ(gun(g).low, 77.5);
        EXPECT_DOUBLE_EQ(gun(g).high, 102.5);
    }
    EXPECT_EQ(gun(3).opScalCtl, 0x1401u) << "alpha not chosen";

    ASSERT_EQ(run({2, 1}), 1); // RESET, 3-SDEV-MED
    EXPECT_EQ(ui.transcript.back().text, "HDR sBUFF Scaling reverted to Defaults");
    EXPECT_EQ(ui.transcript.back().flags, MSG_BRIEF);
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(gun(g).opScalCtl, 0x8801u);
        ASSERT_EQ(S_FACTORS(g), 1);
        EXPECT_DOUBLE_EQ(gun(g).low, 75);
        EXPECT_DOUBLE_EQ(gun(g).high, 105);
    }
    EXPECT_EQ(run({2, 1}), 0) << "the defaults again change nothing";
    EXPECT_EQ(ui.lastText(), "Scaling not changed");

    // A width that is no number, or no width at all, changes nothing.
    for (const char* answer : {"abc", "-1", "2 3"}) {
        ui.transcript.clear();
        ui.answers = {answer};
        EXPECT_EQ(run({4, 3, 1, 4, 1}), 0) << answer;
        EXPECT_EQ(ui.lastText(), "Invalid input") << answer;
    }
    ui.transcript.clear();
    ui.answers = {""};
    EXPECT_EQ(run({4, 3, 1, 4, 1}), 0);
    EXPECT_EQ(ui.transcript.size(), 1u) << "an empty answer is a silent no";
    EXPECT_EQ(gun(0).opScalCtl, 0x8801u);
}

TEST_F(HdrMenu, HistogramRangeRefusals)
{
    vs.dfltLutOn = false;
    vs.gunMask = 6; // red shows its transform LUT
    EXPECT_EQ(run({4, 2, 7}), 0);
    ASSERT_EQ(ui.transcript.size(), 1u);
    EXPECT_EQ(ui.lastText(), "Cannot modify HDR scaling\nwith active Transform LUTs");

    vs.dfltLutOn = true;
    gun(0).opScalCtl = 0x1420;
    EXPECT_EQ(run({4, 2, 7}), 0);
    EXPECT_EQ(ui.lastText(), "Histogram scaling is undefined\nfor PSEUDOCOLOR");
    EXPECT_EQ(run({4, 3, 5, 1, 7}), 0);
    EXPECT_EQ(ui.lastText(), "Scaling from Display point is\nundefined for PSEUDOCOLOR");

    gun(0).opScalCtl = 0x1401;
    vs.ancil = ancROAM | ancSTATS; // no histogram read-out
    EXPECT_EQ(run({4, 2, 7}), 0);
    EXPECT_EQ(ui.lastText(), "FAIL: Ancillary Display Histogram not active");
    activeSbuff().desc.defined = 0;
    EXPECT_EQ(run({4, 2, 7}), 0);
    EXPECT_EQ(ui.lastText(), "sBUFF empty.");
    EXPECT_EQ(ui.transcript.size(), 5u) << "refusals come without \"Scaling not changed\"";
    for (int g = 0; g < 3; ++g)
        EXPECT_EQ(gun(g).opScalCtl, 0x1401u);
}

TEST_F(HdrMenu, SensorUnitEntries)
{
    // Low not below high ends at once, without a word.
    ui.answers = {"10, 5"};
    EXPECT_EQ(run({4, 4, 1, 7}), 0); // RANGE, SENS U, LO-> <-HI, RGB
    EXPECT_EQ(ui.transcript.size(), 1u);
    EXPECT_EQ(gun(0).opScalCtl, 0x1401u);

    // SET LOW on GRAY: one question, the low bound with range 0 on R, G and B; high stays.
    ui.transcript.clear();
    ui.answers = {"20"};
    ASSERT_EQ(run({4, 4, 5, 0x17}), 1);
    EXPECT_EQ(prompts(), 1);
    EXPECT_NE(ui.transcript[0].text.find("Band= RED  LOW=    0.0000  HIGH= 1000.0000\n"
                                         "Enter new LOW Bound in sensor units\n> "),
              std::string::npos)
        << ui.transcript[0].text;
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(gun(g).opScalCtl, 0x2401u) << g;
        ASSERT_EQ(S_FACTORS(g), 1);
        EXPECT_EQ(gun(g).low, 20);
        EXPECT_EQ(gun(g).high, 1000);
    }
    EXPECT_EQ(gun(3).opScalCtl, 0x1401u);

    // Gun by gun: a later cancel keeps the earlier gun's change, and reports it.
    ui.transcript.clear();
    ui.answers = {"300, 100", ""};
    EXPECT_EQ(run({4, 4, 2, 7}), 1); // LO-> with a range
    ASSERT_EQ(S_FACTORS(0), 1);
    EXPECT_EQ(gun(0).low, 300);
    EXPECT_EQ(gun(0).high, 400);
    ASSERT_EQ(S_FACTORS(1), 1);
    EXPECT_EQ(gun(1).low, 20) << "green was not answered";
    EXPECT_EQ(prompts(), 2);

    // <-HI alone keeps the working low.
    ui.answers = {"800"};
    EXPECT_EQ(run({4, 4, 3, 4}), 1);
    ASSERT_EQ(S_FACTORS(2), 1);
    EXPECT_EQ(gun(2).low, 20);
    EXPECT_EQ(gun(2).high, 800);

    // Extrema: no grey entry; SET LOW names no extremum.
    ui.transcript.clear();
    EXPECT_EQ(run({5, 3, 1, 0x17}), 0);
    EXPECT_EQ(ui.lastText(), "Gray mode not supported for setting Extrema");
    EXPECT_EQ(run({5, 3, 5, 1}), 0);
    EXPECT_EQ(ui.lastText(), "No change to sensor unit scaling");
    ui.answers = {"900"};
    EXPECT_EQ(run({5, 3, 3, 2}), 1); // EXTREMA, SENS U, <-HI, GRN
    EXPECT_EQ(gun(1).extHigh, 900);
    EXPECT_TRUE(gun(1).opScalCtl & 0x80000);
}

TEST_F(HdrMenu, HistogramPicks)
{
    for (int g = 0; g < 3; ++g)
        for (int v = 10; v <= 20; ++v)
            activeSbuff().scal[g].descale[v] = 0;
    // Off the box first; a release without its press and releases of the other buttons are
    // not picks; the first pair is redone with the middle button.
    ui.clicks = {{-1, binX(50), kInBoxY}, {-2, binX(30), kInBoxY}};
    left(100, 50);
    left(binX(12), kInBoxY);
    left(binX(30), kInBoxY);
    ui.clicks.push_back({2, 0, 0});
    left(binX(12), kInBoxY);
    left(binX(15), kInBoxY);
    left(0, 0);
    ASSERT_EQ(run({4, 2, 1}), 1); // RANGE, HIST, RED
    EXPECT_TRUE(shown("Fail. Selected point not on Histogram\nPlease re-select LOW bound\nR-Mouse "
                      "to CANCEL"));
    EXPECT_TRUE(shown("Selected LO/HI= 9, 30\nband= 0 data LOW= 109.0000 data HI=130.0000\n"
                      "L-Mouse ACCEPT, M-Mouse to REDO, R-Mouse to CANCEL"));
    EXPECT_EQ(gun(0).opScalCtl, 0x2401u);
    EXPECT_EQ(gun(0).usrLoV, 109) << "widened down over the empty levels to 9";
    EXPECT_EQ(gun(0).usrHiV, 121) << "and up to 21";
    EXPECT_EQ(gun(1).opScalCtl, 0x1401u);
    EXPECT_EQ(ui.starved, 0);

    // The same non-empty level twice.
    ui.transcript.clear();
    ui.clicks.clear();
    left(binX(40), kInBoxY);
    left(binX(40), kInBoxY);
    EXPECT_EQ(run({4, 2, 2}), 0);
    EXPECT_EQ(ui.lastText(), "Fail: scaling range too small");
    EXPECT_EQ(gun(1).opScalCtl, 0x1401u);

    // A right press cancels; at the confirmation it says so.
    ui.transcript.clear();
    ui.clicks = {{3, 0, 0}};
    EXPECT_EQ(run({4, 2, 2}), 0);
    EXPECT_EQ(ui.lastText(), "Scaling not changed");
    ui.clicks.clear();
    left(binX(40), kInBoxY);
    left(binX(60), kInBoxY);
    ui.clicks.push_back({3, 0, 0});
    EXPECT_EQ(run({4, 2, 2}), 0);
    EXPECT_EQ(ui.lastText(), "Cancelled");

    // EXTREMA from the middle button on GRAY: bins 0 and 255, one pick for all three guns.
    ui.transcript.clear();
    ui.clicks = {{2, 0, 0}, {-2, 0, 0}, {2, 0, 0}, {-2, 0, 0}};
    left(0, 0);
    ASSERT_EQ(run({5, 2, 0x17}), 1);
    EXPECT_EQ(ui.lastText(), "EXTREMA set from Histogram\nScaling will be clamped to EXTREMA");
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(gun(g).opScalCtl, 0x82401u) << g;
        EXPECT_EQ(gun(g).usrLoV, 100) << "one pick, on red's table, serves every gun";
        EXPECT_EQ(gun(g).extLow, 100);
    }
    EXPECT_EQ(gun(0).usrHiV, 355);
    EXPECT_EQ(gun(0).extHigh, 355);
}

TEST_F(HdrMenu, MarkOnAnImagePixel)
{
    SET_TRANSL_VIEW(surface.w, surface.h);
    ASSERT_TRUE(INIT_I_TRANSL(view.bd));
    ASSERT_GE(curTransl.mapped.x1, 30);
    surface.px[40 * std::size_t(surface.w) + 30] = 0xff405060u;
    left(30, 40);
    ASSERT_EQ(run({4, 3, 5, 2, 7}), 1); // RANGE, STDEV, MARK, 2 STDEV, RGB
    const double want[3] = {100 + 0x40, 1100 + 0x50, 2100 + 0x60};
    for (int g = 0; g < 3; ++g) {
        EXPECT_EQ(gun(g).opScalCtl, 0x10801u) << g;
        EXPECT_EQ(gun(g).mark, want[g]) << g;
        EXPECT_EQ(gun(g).width, 2);
    }
    // A level picked in the histogram serves the same way.
    left(binX(7), kInBoxY);
    ASSERT_EQ(run({4, 3, 5, 1, 2}), 1);
    EXPECT_EQ(gun(1).mark, 1107);

    left(450, 10); // neither image nor histogram
    EXPECT_EQ(run({4, 3, 5, 1, 1}), 0);
    EXPECT_EQ(ui.lastText(), "No Mapping to HDR image");
    EXPECT_EQ(gun(0).mark, want[0]);
}

std::string readAll(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int filesIn(const std::string& dir)
{
    int n = 0;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

TEST_F(HdrMenu, ScriptWrittenWholeOrNotAtAll)
{
    const std::string dir = testing::TempDir() + "hdrmenu_script/";
    mkdir(dir.c_str(), 0700);
    std::remove((dir + "scene.cmd").c_str());
    ASSERT_TRUE(SET_SPATH(dir));
    ides& img = view.bd->imgDes[0];
    img.hdrImg = 1;
    std::strcpy(img.scal[0].curve, " LINEAR ");
    fdes& f = img.fd[0];
    std::snprintf(f.path, sizeof f.path, "/data/a/scene.pgm");
    f.dBands = 1;
    f.fCols = f.lCols = f.dCols = 300;
    f.fRows = f.lRows = f.dRows = 200;
    std::string commands;
    ASSERT_EQ(CRE_HDR_LD_SCRIPT(view.bd, commands), 0);

    ui.answers = {"scene", ""};
    EXPECT_EQ(run({6, 4}), 0);
    EXPECT_EQ(ui.lastText(), "File: " + dir + "scene.cmd\nSuccessfully saved");
    EXPECT_EQ(readAll(dir + "scene.cmd"), "# Load-Script created by TAV\n" + commands);

    ui.answers = {"scene", "n"};
    EXPECT_EQ(run({6, 4}), 0);
    EXPECT_EQ(ui.lastText(), "Cancelled");
    // A script that cannot be made leaves the old file as it was, and no stray file.
    std::strcpy(img.scal[0].curve, "UNSCALED");
    ui.answers = {"scene", "Y", "new"};
    EXPECT_EQ(run({6, 4}), 0);
    EXPECT_EQ(ui.lastText(), "\nFail: CRE_HDR_LD_SCRIPT()= -1\n");
    EXPECT_EQ(readAll(dir + "scene.cmd"), "# Load-Script created by TAV\n" + commands);
    EXPECT_EQ(filesIn(dir), 1);

    ui.answers = {std::string(300, 'a')};
    EXPECT_EQ(run({6, 4}), 0);
    EXPECT_EQ(ui.lastText(), "Cancelled");
    ASSERT_TRUE(SET_SPATH("/nonexistent-hdrmenu-dir/"));
    ui.answers = {"scene"};
    EXPECT_EQ(run({6, 4}), 0);
    EXPECT_EQ(ui.lastText(), "Cannot create file...");
    resetPathsToCwd();
}

TEST_F(HdrMenu, ScalingItemRendersOrSaysWhy)
{
    std::vector<int32> logRgb = {3, 2, 7};
    logRgb.resize(MAX_PUP_LEVEL, 0);
    vs.dmode = 0;
    SBUFF_SCALING(&vs, 0, logRgb.data()); // MODE, LOG, RGB on the Loader sBUFF
    EXPECT_EQ(gun(0).opScalCtl, 0x1402u);
    EXPECT_EQ(ui.lastText(), "Scaling changed.\nsBUFF Auto-Rendering is OFF");
    EXPECT_EQ(ui.transcript.size(), 1u) << "the Loader sBUFF is the one in use";

    ui.transcript.clear();
    vs.dmode = 0x2000; // automatic rendering; the buffer is no HDR image, the FG AOI no match
    logRgb[1] = 3;
    SBUFF_SCALING(&vs, 0, logRgb.data());
    EXPECT_EQ(ui.lastText(), "LOADER sBUFF Empty or No Mapping to active iBUFF or FG_AOI");

    ui.transcript.clear();
    SBUFF_SCALING(&vs, 1, logRgb.data());
    ASSERT_FALSE(ui.transcript.empty());
    EXPECT_EQ(ui.transcript[0].text,
              "EXPLOIT sBUFF is NOT active, but hosts\ncurrent HDR Scaling\n");
    EXPECT_EQ(activeSbuffId(), SBUFF_EXPLOIT);
    SBUFF_SCALING(&vs, 2, logRgb.data());
    EXPECT_EQ(ui.lastText(), "***SEVERE; BUFF_OPS() Invalid sBUFF");
}

} // namespace
