// LUT OPS chosen as the main menu hands it over: one case per menu path, checked on the
// buffer's tables, the linear mask, the names, the archive, the transcript and the view.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "dispAccum.h"
#include "folio_utl.h"
#include "lutOps.h"
#include "memSurface.h"
#include "roam.h"
#include "opTable.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 LUT_VALUE = 2;
// One level per gun: red 0x40, green 0x80, blue 0xc0.
constexpr int32u FILL = 0x00408000u | 0xc0u;

class LutOps : public ::testing::Test {
protected:
    LutOps() : view(32, 24, FILL)
    {
        SET_EXPLOIT_OPS(tavExploitOps());
        resetLutOps();
        for (int g = 0; g < 3; ++g)
            identityLut(view.bd->tLut[g]);
        view.vs.gunMask = 7;
    }
    ~LutOps() override
    {
        SET_EXPLOIT_OPS({});
        resetLutOps();
        resetFolios();
    }
    void run(int32 item, int32 a = 0, int32 b = 0, int32 c = 0)
    {
        const int32 pv[MAX_PUP_LEVEL] = {LUT_VALUE, item, a, b, c};
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    const charu* lut(int g) const { return view.bd->tLut[g]; }

    viewBuilder view;
    uiScript ui;
};

// The table-changing paths on a one-level image: what each gun's table holds at its level and
// below, which guns leave the linear mask and the name they take.
TEST_F(LutOps, EachTablePathChangesOnlyItsGuns)
{
    struct Case {
        const char* what;
        int32 item, a, b, c;
        int32 guns;
        int redAt40, redBelow; // red table at 0x40 and at 0x3f; -1: not checked
        const char* name;
    };
    const Case cases[] = {
        {"EQUALIZE RGB", 2, 7, 0, 0, 7, 255, 0, "HISTEQ"},
        {"EQUALIZE BLU", 2, 4, 0, 0, 4, 0x40, 0x3f, "HISTEQ"},
        {"HDR MODE LIN LOCAL RED", 3, 1, 1, 1, 1, 0, 0, " LINEAR "},
        {"HDR MODE TANH GLOBAL RGB", 3, 5, 2, 7, 7, 0, 0, " TANH   "},
        {"COMB 4 GRN", 6, 4, 2, 0, 2, 0x40, 0x3f, "COMBED"},
        {"COMB 16 RED", 6, 16, 1, 0, 1, (0x40 * 16) % 255, 255 - (0x3f * 16) % 255, "COMBED"},
        {"INFOMETRIC ENTROPY RED", 7, 0, 1, 0, 1, 1, 0, "ENTROPY"},
        {"INFOMETRIC ABS REDUN RGB", 7, 1, 7, 0, 7, 255, 0, "REDUND"},
        {"INFOMETRIC REL REDUN GRN", 7, 2, 2, 0, 2, 0x40, 0x3f, "REDUND"},
        {"INVERT RED", 9, 1, 0, 0, 1, 0xbf, 0xc0, "INVERTED"},
        {"ZERO RGB", 12, 7, 0, 0, 7, 0, 0, "ZEROED"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        resetLutOps();
        for (int g = 0; g < 3; ++g)
            identityLut(view.bd->tLut[g]);
        view.vs.gunMask = 7;
        view.vs.lutsChanged = false;
        ui.transcript.clear();
        run(c.item, c.a, c.b, c.c);
        EXPECT_EQ(view.vs.gunMask, 7 & ~c.guns);
        EXPECT_TRUE(view.vs.lutsChanged);
        EXPECT_EQ(lut(0)[0x40], c.redAt40);
        EXPECT_EQ(lut(0)[0x3f], c.redBelow);
        for (int g = 0; g < 3; ++g) {
            const bool on = c.guns & (1 << g);
            EXPECT_EQ(lutState.names[g], on ? c.name : "UNSCALED") << "gun " << g;
            if (!on) {
                EXPECT_TRUE(isIdentityLut(lut(g))) << "gun " << g;
            }
        }
        EXPECT_EQ(lutState.filled, 1) << "archived";
        EXPECT_TRUE(ui.transcript.empty());
    }
}

TEST_F(LutOps, EmptyHistogramIsRefusedAndTablesStay)
{
    const int32 w = view.bd->width;
    view.bd->width = 0;
    for (int32 item : {2, 3, 7}) {
        ui.transcript.clear();
        if (item == 3)
            run(item, 1, 1, 7);
        else
            run(item, item == 7 ? 0 : 7, 7);
        ASSERT_EQ(ui.transcript.size(), 1u) << item;
        EXPECT_EQ(ui.lastText(),
                  "Histogram of the displayed area is empty\nTransform LUTs unchanged");
        EXPECT_EQ(view.vs.gunMask, 7);
        EXPECT_TRUE(isIdentityLut(lut(0)));
        EXPECT_EQ(lutState.filled, 0);
    }
    view.bd->width = w;
}

TEST_F(LutOps, ResetSaysWhatItDid)
{
    run(1, 7);
    EXPECT_EQ(ui.lastText(), "No transform LUTS active");
    run(1, 2);
    EXPECT_EQ(ui.lastText(), "Selected LUT is already Linear");
    run(9, 3); // INVERT red and green
    run(1, 1);
    EXPECT_EQ(ui.lastText(), "LUT Reset to LINEAR");
    EXPECT_TRUE(isIdentityLut(lut(0)));
    EXPECT_EQ(lut(1)[0], 255) << "green keeps its table";
    EXPECT_EQ(view.vs.gunMask, 5);
    EXPECT_EQ(lutState.names[0], "UNSCALED");
    EXPECT_EQ(lutState.names[1], "INVERTED");
    EXPECT_EQ(lutState.filled, 1) << "RESET is not archived";
    LUT_RESET(&view.vs, view.bd, 8 | 7);
    EXPECT_EQ(ui.transcript[ui.transcript.size() - 2].text, "Previous LUTs buffer reset");
    EXPECT_EQ(ui.lastText(), "LUT Reset to LINEAR");
    EXPECT_EQ(lutState.filled, 0);
    EXPECT_EQ(view.vs.gunMask, 7);
}

TEST_F(LutOps, PreviousWalksTheArchiveBothWays)
{
    run(10, 1);
    EXPECT_TRUE(isIdentityLut(lut(0))) << "nothing archived: nothing to go back to";
    run(9, 1); // slot 0: red inverted
    run(10, 1);
    EXPECT_EQ(lut(0)[0], 255) << "one set only: unchanged";
    run(6, 4, 2); // slot 1: red inverted, green combed
    run(12, 4);   // slot 2: blue zeroed as well
    EXPECT_EQ(lutState.filled, 3);
    run(10, 1);
    EXPECT_EQ(lut(2)[200], 200) << "back to slot 1";
    EXPECT_EQ(lut(1)[1], 4);
    EXPECT_EQ(view.vs.gunMask, 4);
    EXPECT_EQ(lutState.names[2], "UNSCALED");
    run(10, 1);
    run(10, 1); // wraps from slot 0 to slot 2
    EXPECT_EQ(lut(2)[200], 0);
    run(10, 2); // forward wraps to slot 0
    EXPECT_TRUE(isIdentityLut(lut(1)));
    EXPECT_EQ(view.vs.gunMask, 6);
    EXPECT_EQ(lutState.names[0], "INVERTED");
    // The ring keeps eight.
    for (int k = 0; k < 10; ++k)
        run(9, 1);
    EXPECT_EQ(lutState.filled, LUT_ARCHIVE_SLOTS);
}

TEST_F(LutOps, StatusNamesEachGun)
{
    run(2, 1);
    run(6, 8, 4);
    run(11);
    EXPECT_EQ(ui.lastText(), " tLUT SCALING \n  RED HISTEQ\n  GRN UNSCALED\n  BLU COMBED");
    EXPECT_EQ(ui.transcript.back().flags, MSG_ACK);
}

// CYCLE on the memory view: wheel and buttons step the tables and the view follows each step.
TEST_F(LutOps, CycleStepsTablesAndView)
{
    memSurface surface(40, 30, FILL);
    ASSERT_EQ(CUT_ACCUM(), ACC_OK);
    ui.clicks = {{MOUSE_WHEEL_UP, 0, 0}, {MOUSE_LEFT, 0, 0},   {MOUSE_WHEEL_UP, 0, 0},
                 {MOUSE_MOVED, 0, 0},    {MOUSE_MIDDLE, 0, 0}, {MOUSE_RIGHT, 0, 0}};
    run(8, 1, 1); // ROTATE, red
    EXPECT_EQ(lut(0)[0], 2);
    EXPECT_EQ(lut(0)[255], 1);
    EXPECT_TRUE(isIdentityLut(lut(1)));
    EXPECT_EQ(surface.at(3, 3), FILL + 0x00020000u) << "red shown two levels up";
    EXPECT_EQ(surface.writes, 4);
    ASSERT_EQ(ui.transcript.size(), 2u);
    EXPECT_EQ(ui.transcript[0].text,
              "Use scroll wheel or L/M mouse\nbutton to cycle tLUTs. Use\nR mouse button to exit");
    EXPECT_EQ(ui.lastText(), "LUT Cycle finished");
    EXPECT_EQ(lutState.names[0], "CYCLED");
    EXPECT_EQ(view.vs.gunMask, 6);

    ui.clicks = {{MOUSE_WHEEL_DOWN, 0, 0}, {MOUSE_RIGHT, 0, 0}};
    run(8, 2, 4); // SHIFT, blue
    EXPECT_EQ(lut(2)[0], 0);
    EXPECT_EQ(lut(2)[255], 254);
}

// The drawn-line items, stretch and matching: a line drawn with the mouse in the histogram
// box, taken away again.
TEST_F(LutOps, DrawnLineStretchesOrSpecifies)
{
    memSurface surface(600, 520, 0x00101010u);
    ancillaryBoxes(600, 520, &view.vs);
    const aoiRec b = view.vs.graphBox;
    const std::vector<int32u> before = surface.px;
    ui.clicks = {{MOUSE_LEFT, histBinX(b, 100), b.y1 - 200},
                 {MOUSE_LEFT, 5, 5}, // outside the box: ignored
                 {MOUSE_LEFT, histBinX(b, 150), b.y1 - 10},
                 {MOUSE_MIDDLE, 0, 0}, // takes the last point away
                 {MOUSE_LEFT, histBinX(b, 255), b.y1 - 250},
                 {MOUSE_RIGHT, 0, 0}};
    ui.picks = {{3}}; // the H.STRETCH menu pops up on its own: red and green
    run(4);           // HIST STR
    EXPECT_EQ(lut(0)[50], 100);
    EXPECT_EQ(lut(1)[100], 200);
    EXPECT_EQ(lut(1)[255], 250);
    EXPECT_TRUE(isIdentityLut(lut(2)));
    EXPECT_EQ(lutState.names[1], "STRETCH");
    EXPECT_GE(surface.writes, 4) << "the line is drawn at every change";
    EXPECT_EQ(surface.px, before) << "and taken away at the end";
    EXPECT_EQ(ui.transcript[0].text, "Move cursor inside Histogram and press LEFTMOUSE.\nInput 2+ "
                                     "ENHANCEMENT RAMP segments on histogram.\nMIDDLEMOUSE "
                                     "deletes points, RIGHTMOUSE finishes.");

    ui.clicks = {{MOUSE_LEFT, histBinX(b, 128), b.y1 - 100},
                 {MOUSE_LEFT, histBinX(b, 255), b.y1 - 100},
                 {MOUSE_RIGHT, 0, 0}};
    ui.picks = {{4}};
    run(5); // histogram matching, blue: the one level goes to the middle of the wanted histogram
    EXPECT_EQ(lutState.names[2], "SPECIFY");
    EXPECT_EQ(view.vs.gunMask, 0);
    EXPECT_GT(lut(2)[0xc0], 128);

    ui.clicks = {{MOUSE_LEFT, histBinX(b, 10), b.y1 - 10}}; // then the view closes
    ui.picks = {{7}};
    run(4);
    EXPECT_EQ(lut(2)[0xc0], lutState.archive[lutState.curIdx].lut[2][0xc0]) << "no change";
}

class LutFiles : public LutOps {
protected:
    LutFiles()
    {
        char tmpl[] = "/tmp/lutopsXXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~LutFiles() override { std::filesystem::remove_all(dir); }
    std::string dir;
};

TEST_F(LutFiles, WriteThenReadRestoresTheTables)
{
    ui.answers = {" "};
    run(13, 3);
    EXPECT_EQ(lutState.path, "./") << "a blank answer clears the path";
    ui.answers = {dir};
    run(13, 3);
    EXPECT_EQ(ui.transcript.back().text, "Set directory path to image LUTS           \n> ");
    EXPECT_EQ(lutState.path, dir + "/");
    ui.answers = {dir + "/none"};
    run(13, 3);
    EXPECT_EQ(ui.lastText(), "Not a directory or cannot access:\n" + dir + "/none");
    EXPECT_EQ(lutState.path, dir + "/");

    run(6, 8, 7);
    charu saved[3][256];
    std::memcpy(saved, view.bd->tLut, sizeof saved);
    ui.answers = {"teeth", "eight teeth"};
    run(13, 2);
    EXPECT_EQ(ui.lastText(), "Transform LUTs successfully written to:\n" + dir + "/teeth.lut");
    run(1, 7);
    EXPECT_TRUE(isIdentityLut(lut(0)));
    ui.answers = {"teeth.lut"};
    run(13, 1);
    EXPECT_EQ(ui.transcript[ui.transcript.size() - 2].text,
              "Path: " + dir + "/\nEnter filename of RGB LUT definitions (*.lut)     \n> ");
    EXPECT_EQ(ui.lastText(), "Transform LUTs successfully loaded");
    EXPECT_EQ(std::memcmp(saved, view.bd->tLut, sizeof saved), 0);
    EXPECT_EQ(lutState.names[0], "USER LUT");
    EXPECT_EQ(view.vs.gunMask, 0) << "what was loaded is shown";
    EXPECT_EQ(lutState.filled, 1) << "reading is not archived";
}

TEST_F(LutFiles, RefusedReadsLeaveTheTables)
{
    lutState.path = dir + "/";
    {
        std::FILE* f = std::fopen((dir + "/short.lut").c_str(), "w");
        for (int i = 0; i < 255; ++i)
            std::fprintf(f, "%d %d %d\n", i, i, i);
        std::fclose(f);
        f = std::fopen((dir + "/words.lut").c_str(), "w");
        std::fputs("#\n1 2 three\n", f);
        std::fclose(f);
    }
    run(9, 7);
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"short.lut", "Error: LUT has less than 256 colors\nData ignored..."},
        {"words.lut", "LUT format error\nNon-numeric data in stream"},
        {"missing.lut", "Error opening: " + dir + "/missing.lut"},
        {"x/../../../../../../../../../../../../../../../../../../../../../../../../../../../"
         "../../../../../../../../../../../../../../../../../../../../../../../../../../../../"
         "../../../../../../../../../../../../../../../../../../../../../../../../../../../../",
         ""},
    };
    for (const Case& c : cases) {
        ui.answers = {c.name};
        run(13, 1);
        if (!c.text.empty())
            EXPECT_EQ(ui.lastText(), c.text);
        else
            EXPECT_EQ(ui.lastText().rfind("Error opening: ", 0), 0u) << "too long to open";
        EXPECT_EQ(lut(0)[0], 255);
        EXPECT_EQ(lutState.names[0], "INVERTED");
    }
    ui.answers = {"/no/such/dir/x", ""};
    run(13, 2);
    EXPECT_EQ(ui.lastText(), "Error creating: /no/such/dir/x.lut");
}

} // namespace
