// ANCILLARY and the rows whose operations are not built yet, chosen as the main menu hands
// them over: one case per menu path, checked on the transcript and the view state's bits.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "opTable.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 ANCILLARY_VALUE = 9;

struct AncCase {
    int32 sub, item;
    int32u ancilBefore, ancilAfter;
    int32u dmodeBefore, dmodeAfter;
    int32u refresh;
    const char* text; // nullptr: nothing is shown
    int32 flags;
    int menuFast; // -1: the menu mode is not touched
};

constexpr int32u R = ancROAM, S = ancSTATS, H = ancHISTOGRAM, SC = ancSCATTER, D = ancREDRAW;

const AncCase ancCases[] = {
    // MODE: OFF, ROAM&STATS, ROAM ONLY; the column is redrawn and statistics requested.
    {1, 1, R | S | H, H | D, 0, 0, RFR_STATS, "Ancillary display OFF", MSG_BRIEF, -1},
    {1, 2, 0, R | S | D, 0, 0, RFR_STATS, "Ancillary display ROAM&STATS", MSG_BRIEF, -1},
    {1, 3, R | S, R | D, 0, 0, RFR_STATS, "Ancillary display ROAM ONLY", MSG_BRIEF, -1},
    {1, 4, R, R, 0, 0, 0, nullptr, 0, -1},
    // SOURCE: DISPLAY, BUFFER in the display mode word.
    {2, 1, 0, 0, modeSTICKY, modeSTICKY | modeANCIL_DISPLAY, 0, "Ancillary source DISPLAY",
     MSG_BRIEF, -1},
    {2, 2, 0, 0, modeANCIL_DISPLAY | modeGLOBALV, modeGLOBALV, 0, "Ancillary source BUFFER",
     MSG_BRIEF, -1},
    // GRAPHS: OFF, HISTOGRAM, SCATTER exclude one another.
    {3, 1, H | R, R | D, 0, 0, 0, "Graphs OFF", MSG_BRIEF, -1},
    {3, 2, SC, H | D, 0, 0, 0, "Graph HISTOGRAM", MSG_BRIEF, -1},
    {3, 3, H, SC | D, 0, 0, 0, "Graph SCATTERGRAM", MSG_BRIEF, -1},
    {3, 0, H, H, 0, 0, 0, nullptr, 0, -1},
    // SCALING: exactly one of LINEAR, LOG, EXP.
    {4, 1, ancLOG | ancEXP, ancLINEAR, 0, 0, 0, "Graph scaling LINEAR", MSG_BRIEF, -1},
    {4, 2, ancLINEAR, ancLOG, 0, 0, 0, "Graph scaling LOG", MSG_BRIEF, -1},
    {4, 3, ancLINEAR | R, ancEXP | R, 0, 0, 0, "Graph scaling EXP", MSG_BRIEF, -1},
    // COUNTS: counts or percent.
    {5, 1, 0, ancCOUNTS, 0, 0, 0, "Graphs show COUNTS", MSG_BRIEF, -1},
    {5, 2, ancCOUNTS | H, H, 0, 0, 0, "Graphs show PERCENT", MSG_BRIEF, -1},
    // MENU: FAST%x0 and STICKY%x1 switch the menus and the sticky bit kept for the next loop.
    {6, 0, 0, 0, modeSTICKY, 0, 0,
     "Menu mode is FAST\nMenu remains visible until R MOUSE is RELEASED.\nRelease R MOUSE on "
     "final selection to Execute",
     MSG_ACK, 1},
    {6, 1, 0, 0, 0, modeSTICKY, 0,
     "Menu mode is STICKY\nMenu remains visible until L or R MOUSE is PRESSED\nPress L or R "
     "MOUSE on final selection to Execute",
     MSG_ACK, 0},
};

TEST(AncillaryMenu, EachPathSetsItsBitsAndSaysSo)
{
    SET_EXPLOIT_OPS(tavExploitOps());
    for (const AncCase& c : ancCases) {
        SCOPED_TRACE(testing::Message() << "ANCILLARY " << c.sub << "/" << c.item);
        viewBuilder view(32, 24);
        uiScript ui;
        view.vs.ancil = c.ancilBefore;
        view.vs.dmode = c.dmodeBefore;
        const int32 pupvals[MAX_PUP_LEVEL] = {ANCILLARY_VALUE, c.sub, c.item};
        ASSERT_TRUE(runMenuChoice(&view.vs, pupvals));
        EXPECT_EQ(view.vs.ancil, c.ancilAfter);
        EXPECT_EQ(view.vs.dmode, c.dmodeAfter);
        EXPECT_EQ(view.vs.refresh, c.refresh);
        EXPECT_EQ(ui.menuFast, c.menuFast);
        if (!c.text) {
            EXPECT_TRUE(ui.transcript.empty());
            continue;
        }
        ASSERT_EQ(ui.transcript.size(), 1u);
        EXPECT_EQ(ui.transcript[0].text, c.text);
        EXPECT_EQ(ui.transcript[0].flags, c.flags);
        EXPECT_EQ(ui.starved, 0);
    }
    SET_EXPLOIT_OPS({});
}

// Every row without its operation says so with a click and leaves the view and the buffer as
// they were.
TEST(NotYetRows, SayNotAvailableAndChangeNothing)
{
    struct Case {
        int32 value, item;
        const char* text;
    };
    const Case cases[] = {
        {3, 10, "FFT\nThis operation is not available yet."},
        {10, 3, "ANNOTATE\nNo annotation tools in this version."},
        {11, 3, "EXTENSIONS\nNo extension operations are installed."},
    };
    SET_EXPLOIT_OPS(tavExploitOps());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "main menu value " << c.value);
        viewBuilder view(20, 20);
        uiScript ui;
        view.vs.dmode = modeSTICKY | modeDFLT_LUTS;
        view.vs.ancil = ancHISTOGRAM;
        const int32u ctl = view.bd->bufCtlm;
        const int32 pupvals[MAX_PUP_LEVEL] = {c.value, c.item, 2};
        ASSERT_TRUE(runMenuChoice(&view.vs, pupvals));
        ASSERT_EQ(ui.transcript.size(), 1u);
        EXPECT_EQ(ui.transcript[0].text, c.text);
        EXPECT_EQ(ui.transcript[0].flags, MSG_ACK);
        EXPECT_EQ(view.vs.dmode, modeSTICKY | modeDFLT_LUTS);
        EXPECT_EQ(view.vs.ancil, ancHISTOGRAM);
        EXPECT_EQ(view.vs.refresh, 0u);
        EXPECT_EQ(view.bd->bufCtlm, ctl);
        for (int32 y = 0; y < 20; ++y)
            for (int32 x = 0; x < 20; ++x)
                ASSERT_EQ(view.bd->imgbuf[y * 20 + x], viewBuilder::pattern(x, y));
    }
    SET_EXPLOIT_OPS({});
}

} // namespace
