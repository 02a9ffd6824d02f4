// CALCULATOR through the operation table: lines typed at the scripted console, one case per
// command path, checked on the replies, the memory view, the buffer, the accumulators and the
// view state's bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

#include "aoiBand.h"
#include "bTransl.h"
#include "calculator.h"
#include "consoleScript.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "opTable.h"
#include "renderPix.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 CALCULATOR_VALUE = 8;

int32u gun(int32u p, int shift)
{
    return (p >> shift) & 0xFF;
}

// A 60 x 40 buffer shown at (20, 20) on a 100 x 80 memory view; the FG AOI is view (25, 22) to
// (34, 26), buffer (5, 2) to (14, 6).
class Calc : public ::testing::Test {
protected:
    Calc() : view(60, 40), surface(100, 80, 0x00123456u)
    {
        resetCalc();
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        INIT_I_TRANSL(view.bd);
        FIT_INIT_IMG(false);
        VIEW_MEM(nullptr, false);
        CUT_ACCUM();
        view.bd->fgAoi = aoiRec{25, 22, 34, 26};
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~Calc() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetTransl();
        resetCalc();
    }
    // Types the lines, then an empty line that leaves.
    void type(std::vector<std::string> lines)
    {
        for (auto& l : lines)
            con.lines.push_back(l);
        const int32 pupvals[MAX_PUP_LEVEL] = {CALCULATOR_VALUE};
        ASSERT_TRUE(runMenuChoice(&view.vs, pupvals));
        EXPECT_TRUE(con.lines.empty());
        EXPECT_FALSE(con.shown) << "the console is closed on leaving";
    }
    int32u shown(int32 x, int32 y) const { return surface.at(x, y); }
    int32u buffer(int32 x, int32 y) const { return view.bd->imgbuf[y * 60 + x]; }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
    consoleScript con;
};

TEST_F(Calc, OpensWithItsHeaderAndLabelsAndLeavesOnEmptyExitOrQuit)
{
    for (const char* leave : {"", "EXIT", "quit"}) {
        con.lines.push_back(leave);
        type({});
        EXPECT_EQ(con.header.size(), 6u);
        EXPECT_EQ(con.header[0], "                        IMAGE CALCULATOR");
        EXPECT_EQ(con.labels, (std::vector<std::string>{"ABSVAL ON ", "ABSVAL OFF", "  FG AOI  ",
                                                        "< GLOBAL >", "< MAPPED >"}));
        EXPECT_EQ(con.lit, 2u | 4u) << "ABSVAL OFF and FG AOI";
        EXPECT_EQ(con.prompts.back(), "calc> ");
    }
    EXPECT_EQ(view.vs.refresh, 0u);
    con.refuseOpen = true;
    type({});
    EXPECT_EQ(ui.lastText(), "Fatal error initializing CALC().");
}

TEST_F(Calc, DisplayScopeChangesTheViewUnderTheFgAoiOnlyAndUndoRestoresIt)
{
    const std::vector<int32u> before = surface.px;
    type({"R G + 2 / : B"});
    for (int32 y = 20; y < 60; ++y)
        for (int32 x = 20; x < 80; ++x) {
            const int32u was = before[std::size_t(y) * 100 + std::size_t(x)];
            const bool in = x >= 25 && x <= 34 && y >= 22 && y <= 26;
            const int32u mean = (gun(was, 16) + gun(was, 8)) / 2;
            ASSERT_EQ(shown(x, y), in ? ((was & ~0xFFu) | mean) : was) << x << "," << y;
        }
    EXPECT_EQ(buffer(5, 2), viewBuilder::pattern(5, 2)) << "the buffer is not touched";
    EXPECT_EQ(con.hides, 1) << "the console is off the view while its pixels are written";
    EXPECT_FALSE(con.hidden);
    EXPECT_EQ(view.vs.refresh, RFR_VIEW | RFR_STATS);
    // Undo of green only, then of everything; TOUCH makes the current view the undo state.
    type({"R 0 * : G B", "UNDO=G"});
    EXPECT_EQ(gun(shown(30, 24), 8), gun(before[24 * 100 + 30], 8));
    EXPECT_EQ(gun(shown(30, 24), 0), 0u);
    type({"u"});
    EXPECT_EQ(surface.px, before);
    type({"R 0 * : R", "TOUCH", "R 1 + : G", "UNDO"});
    EXPECT_EQ(con.fresh().back(), "Display state saved");
    EXPECT_EQ(gun(shown(30, 24), 16), 0u);
    EXPECT_EQ(gun(shown(30, 24), 8), gun(before[24 * 100 + 30], 8));
}

TEST_F(Calc, GlobalScopeChangesTheWholeBufferAndRefusesUndo)
{
    type({"GLOBAL", "GLOBAL", "R 0 * : G", "UNDO", "GLOBAL=false", "GLOBAL=false"});
    EXPECT_EQ(con.fresh(), (std::vector<std::string>{
                               "*** GLOBAL scope ACTIVE ***",
                               "***> Requested mode already active. Set =false to revert",
                               "Performing GLOBAL operation. Wait...", "iBUFF operation done",
                               "***> WARNING: Global Scope! Operations irreversible!",
                               "*** Scope is Display FG AOI ***",
                               "***> Global Scope OFF. Operations to FG_AOI only"}));
    for (int32 y = 0; y < 40; ++y)
        for (int32 x = 0; x < 60; ++x)
            ASSERT_EQ(buffer(x, y), viewBuilder::pattern(x, y) & ~0xFF00u);
    EXPECT_EQ(gun(shown(20, 20), 8), 0u) << "the view shows the buffer again";
    EXPECT_EQ(view.vs.refresh, RFR_DATA | RFR_STATS);
    EXPECT_EQ(view.vs.dmode & modeGLOBAL_SCOPE, 0u);
    // The scope follows the view's global scope bit into the next session; alpha is allowed.
    view.vs.dmode |= modeGLOBAL_SCOPE;
    type({"A 0 * : A"});
    EXPECT_EQ(con.lit, 2u | 8u);
    EXPECT_EQ(buffer(7, 7) >> 24, 0u);
}

TEST_F(Calc, MappedScopeChangesTheBufferUnderTheFgAoi)
{
    type({"MAPPED", "R 255 | : R", "MAPPED=false"});
    for (int32 y = 0; y < 40; ++y)
        for (int32 x = 0; x < 60; ++x) {
            const bool in = x >= 5 && x <= 14 && y >= 2 && y <= 6;
            ASSERT_EQ(buffer(x, y),
                      in ? viewBuilder::pattern(x, y) | 0xFF0000u : viewBuilder::pattern(x, y));
        }
    EXPECT_EQ(con.fresh(),
              (std::vector<std::string>{"*** MAPPED scope ACTIVE ***", "iBUFF operation done",
                                        "*** Scope is Display FG AOI ***"}));
    view.bd->fgAoi = aoiRec{0, 0, 10, 10}; // outside the image
    type({"MAPPED"});
    EXPECT_EQ(con.fresh().back(), "***> FG AOI does not Map to iBUFF");
    view.bd->fgAoi = aoiRec{25, 22, 34, 26};
    SET_I_TRANSL(0, 0, 2);
    type({"MAP"});
    EXPECT_EQ(con.fresh().back(), "***> MAPPED mode does not support Zoomed image");
}

TEST_F(Calc, AbsoluteValueModeAndDebugSwitches)
{
    testing::internal::CaptureStderr();
    type({"ABS", "abs", "R G - : B", "ABS=false", "DEBUG", "DEBUG", "XDEBUG=true", "R 1 + : G",
          "xdebug=f"});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(con.fresh(),
              (std::vector<std::string>{
                  "Absolute Value mode set ON", "***> Expected: =true -or- =false",
                  "Absolute Value mode set OFF",
                  "Debug mode ON. Output goes to TAV launch Terminal.If no Terminal active, "
                  "create one to use Debug mode.",
                  "***> Expected: =true -or- =false",
                  "Debug mode ON. Output goes to TAV launch Terminal.If no Terminal active, "
                  "create one to use Debug mode.",
                  "Debug mode OFF"}));
    const int32u was = viewBuilder::pattern(10, 4);
    const int32u r = gun(was, 16), g = gun(was, 8);
    EXPECT_EQ(gun(shown(30, 24), 0), r > g ? r - g : g - r);
    // The middle column of line 0 in hexadecimal, then the end of the cycle.
    const int32u mid = shown(30, 22);
    char want[64];
    std::snprintf(want, sizeof want, "\nCALC disp after=   0x%08X\n ", mid);
    EXPECT_NE(err.find(want), std::string::npos) << err;
    EXPECT_NE(err.find("oper= ADD  "), std::string::npos);
    EXPECT_NE(err.find("\n          ---DEBUG CYCLE---\n"), std::string::npos);
}

TEST_F(Calc, AccumulatorsAreWrittenReadAndRefusedWhenEmptyShortOrTwice)
{
    type({"G : @1", "@1R 2 * : @1", "@2R 1 + : R", "@1B 1 + : @2", "(1,2,3) . | : @3"});
    EXPECT_EQ(con.fresh(),
              (std::vector<std::string>{
                  "Results rendered to accumulator",
                  "***> Cannot use same accumulator twice in a single command",
                  "***> Cannot read empty accumulator", "Results rendered to accumulator",
                  "Results rendered to accumulator"}));
    folioDesc d{};
    ASSERT_EQ(GET_FOLIO_HEADER(1, &d, nullptr), 0);
    EXPECT_EQ(d.cols, 10u);
    EXPECT_EQ(d.rows, 5u);
    EXPECT_EQ(d.nBands, 1);
    EXPECT_EQ(d.dType, DTYPE_INT32);
    std::vector<int32u> v(50);
    ASSERT_EQ(std::fread(v.data(), 4, 50, FOLIO_FILE(1)), 50u);
    EXPECT_EQ(v[12], gun(viewBuilder::pattern(7, 3), 8) + 1);
    ASSERT_EQ(GET_FOLIO_HEADER(2, &d, nullptr), 0);
    EXPECT_EQ(d.nBands, 4) << "a bitfield operand makes a packed accumulator";
    EXPECT_EQ(d.sMode, SMODE_PIXEL_IL);

    // A band written from an sBUFF holds floats: they are taken as integers, not bit patterns.
    d = folioDesc{};
    d.cols = 10;
    d.rows = 5;
    d.nBands = 1;
    d.dType = DTYPE_FLOAT32;
    d.sMode = SMODE_FLAT;
    d.defined = 1;
    CLAIM_FOLIOS(1u << 3);
    ASSERT_EQ(PUT_FOLIO_HEADER(3, &d, nullptr), 0);
    std::vector<float> f(50, 1.0f);
    f[1] = -2.5f;
    f[2] = std::nanf("");
    std::fwrite(f.data(), 4, 49, FOLIO_FILE(3));
    std::fflush(FOLIO_FILE(3));
    const std::vector<int32u> before = surface.px;
    type({"@4R 100 + : B"});
    EXPECT_EQ(con.fresh().back(), "***> Accumulator header corrupt; cannot read") << "short";
    EXPECT_EQ(surface.px, before);
    std::fseek(FOLIO_FILE(3), 0, SEEK_END);
    std::fwrite(f.data(), 4, 1, FOLIO_FILE(3));
    std::fflush(FOLIO_FILE(3));
    type({"@4R 100 + : B"});
    EXPECT_EQ(gun(shown(25, 22), 0), 101u);
    EXPECT_EQ(gun(shown(26, 22), 0), 98u);
    EXPECT_EQ(gun(shown(27, 22), 0), 100u);
}

TEST_F(Calc, AncilAoiAndUnknownLinesChangeNothing)
{
    const std::vector<int32u> before = surface.px;
    type({"ANCIL", "AOI", "hello", "R G +", "R G : B", "GLOBAL", "AOI"});
    EXPECT_EQ(con.fresh(),
              (std::vector<std::string>{"***> Ancillary not enabled or Transform LUTs are active",
                                        "***> Undefined command token(s)",
                                        "***> 'PUT' operator [:] missing or syntax error",
                                        "***> Operator expected", "*** GLOBAL scope ACTIVE ***",
                                        "***Cannot change AOI if GLOBAL | MAPPED active"}));
    EXPECT_EQ(surface.px, before);
    view.vs.dmode &= ~modeGLOBAL_SCOPE;
    view.vs.ancil = ancROAM;
    ui.clicks = {{MOUSE_MOVED, 1, 1}, {MOUSE_LEFT, 1, 1}, {MOUSE_MIDDLE, 1, 1}};
    type({"ancil"});
    EXPECT_EQ(con.fresh(), (std::vector<std::string>{"Roam/Stats on. Middle/Rightmouse to resume.",
                                                     "Roam/Stats off."}));
    EXPECT_TRUE(ui.clicks.empty());
    EXPECT_EQ(view.vs.refresh, 0u);
}

} // namespace

// AOI draws the FG AOI with the rubber band: the box follows the pointer and leaves the view
// as it was; a square is centred on its first point, and the middle button starts again.
TEST_F(Calc, AoiDrawsTheForegroundAoiWithTheRubberBand)
{
    const std::vector<int32u> before = surface.px;
    ui.clicks = {
        {MOUSE_LEFT, 30, 30}, {MOUSE_MOVED, 60, 40}, {MOUSE_MOVED, 55, 45}, {MOUSE_LEFT, 50, 45}};
    type({"AOI"});
    EXPECT_EQ(con.fresh(), (std::vector<std::string>{"Foreground AOI changed"}));
    const aoiRec a = view.bd->fgAoi;
    EXPECT_EQ((std::vector<int32>{a.x0, a.y0, a.x1, a.y1}), (std::vector<int32>{30, 30, 50, 45}));
    EXPECT_EQ(surface.px, before) << "the band is erased";

    ui.clicks = {{MOUSE_LEFT, 40, 40}, {MOUSE_MIDDLE, 45, 45}, {MOUSE_LEFT, 0, 0},
                 {MOUSE_LEFT, 20, 20}, {MOUSE_MOVED, 23, 18},  {MOUSE_LEFT, 23, 18}};
    aoiRec sq;
    ASSERT_TRUE(RUBBER_BAND(RUBBER_SQUARE, 1, &sq));
    EXPECT_EQ((std::vector<int32>{sq.x0, sq.y0, sq.x1, sq.y1}),
              (std::vector<int32>{17, 17, 23, 23}));
    ui.clicks = {{MOUSE_LEFT, 40, 40}, {MOUSE_RIGHT, 45, 45}};
    EXPECT_FALSE(RUBBER_BAND(0, 1, &sq));
    EXPECT_EQ(surface.px, before);
}
