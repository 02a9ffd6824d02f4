// The HDR scaling menu's rules: menu choices to scaling requests, typed answers to numbers,
// picked histogram levels to a data range, the level a mark point reads and the script name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "hdrMenuKernels.h"

namespace {

TEST(HdrMenuRequest, ChoicesGiveActionControlAndGuns)
{
    struct Case {
        std::vector<int32> vals;
        hdrAction action;
        int32u control, guns;
        bool grey;
        int32 count, unitItem;
    };
    const Case cases[] = {
        {{4, 3, 2, 4, 7}, hdrAction::rangeSdev, 0x8800, 7, false, 0, 0}, // ? STDEV about median
        {{4, 3, 1, 2, 1}, hdrAction::rangeSdev, 0x4800, 1, false, 2, 0},
        {{4, 3, 3, 3, 4}, hdrAction::rangeSdev, 0x20800, 4, false, 3, 0},
        {{4, 3, 4, 1, 2}, hdrAction::rangeSdev, 0x40800, 2, false, 1, 0},
        {{4, 3, 5, 1, 0x17}, hdrAction::rangeMark, 0x10800, 7, true, 1, 0},
        {{2, 1}, hdrAction::reset, 0, 0, false, 0, 0},
        {{2, 3}, hdrAction::reset, 0, 0, false, 2, 0},
        {{3, 2, 1}, hdrAction::curve, 0x2, 1, false, 0, 0},
        {{3, 5, 0x17}, hdrAction::curve, 0x10, 7, true, 0, 0},
        {{4, 1, 4}, hdrAction::rangeFull, 0, 4, false, 0, 0},
        {{4, 2, 0x17}, hdrAction::rangeHist, 0, 7, true, 0, 0},
        {{4, 4, 1, 7}, hdrAction::rangeUnits, 0x2400, 7, false, 0, HDRU_LOHI},
        {{4, 4, 5, 0x17}, hdrAction::rangeUnits, 0x20400, 7, true, 0, HDRU_SET_LOW},
        {{4, 4, 6, 2}, hdrAction::rangeUnits, 0x40400, 2, false, 0, HDRU_SET_HIGH},
        {{4, 4, 4, 1}, hdrAction::rangeUnits, 0x10400, 1, false, 0, HDRU_MARK},
        {{5, 1, 7}, hdrAction::extremaThis, 0, 7, false, 0, 0},
        {{5, 2, 1}, hdrAction::extremaHist, 0, 1, false, 0, 0},
        {{5, 3, 2, 0x17}, hdrAction::extremaUnits, 0x20400, 7, true, 0, HDRU_FROM_LOW},
        {{5, 4, 4}, hdrAction::extremaClear, 0, 4, false, 0, 0},
        {{6, 4}, hdrAction::archiveScript, 0, 0, false, 0, 0},
        {{1}, hdrAction::status, 0, 7, false, 0, 0},
        // Choices that stop short, or values no menu gives, ask for nothing.
        {{4, 3, 2, 4, 0}, hdrAction::none, 0, 0, false, 0, 0},
        {{4, 3, 2, -1}, hdrAction::none, 0, 0, false, 0, 0},
        {{3, 6, 7}, hdrAction::none, 0, 0, false, 0, 0},
        {{3, 1, 0x20}, hdrAction::none, 0, 0, false, 0, 0},
        {{5, 3, 7, 7}, hdrAction::none, 0, 0, false, 0, 0},
        {{7}, hdrAction::none, 0, 0, false, 0, 0},
        {{0}, hdrAction::none, 0, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<int32> v = c.vals;
        v.resize(16, 0);
        const hdrRequest r = hdrRequestOf(v.data());
        std::string at;
        for (int32 x : c.vals)
            at += std::to_string(x) + " ";
        EXPECT_EQ(r.action, c.action) << at;
        if (r.action == hdrAction::none)
            continue;
        EXPECT_EQ(r.control, c.control) << at;
        EXPECT_EQ(r.guns, c.guns) << at;
        EXPECT_EQ(r.grey, c.grey) << at;
        EXPECT_EQ(r.count, c.count) << at;
        EXPECT_EQ(r.unitItem, c.unitItem) << at;
    }
}

TEST(HdrMenuAnswer, OneOrTwoFiniteNumbers)
{
    struct Case {
        const char* text;
        int32 rc;
        double a, b;
        int32 n;
    };
    const Case cases[] = {
        {"100", HDRA_OK, 100, 0, 1},        {"10,5", HDRA_OK, 10, 5, 2},
        {"10 5", HDRA_OK, 10, 5, 2},        {" 10 ,  5 ", HDRA_OK, 10, 5, 2},
        {"-2.5e1\t+3", HDRA_OK, -25, 3, 2}, {"2.5", HDRA_OK, 2.5, 0, 1},
        {"", HDRA_EMPTY, 0, 0, 0},          {"   ", HDRA_EMPTY, 0, 0, 0},
        {"abc", HDRA_BAD, 0, 0, 0},         {"1,2,3", HDRA_BAD, 0, 0, 0},
        {"1 2 3", HDRA_BAD, 0, 0, 0},       {"nan", HDRA_BAD, 0, 0, 0},
        {"inf", HDRA_BAD, 0, 0, 0},         {"1,inf", HDRA_BAD, 0, 0, 0},
        {"1e999", HDRA_BAD, 0, 0, 0},       {"10abc", HDRA_BAD, 0, 0, 0},
        {"10,", HDRA_BAD, 0, 0, 0},         {"10,,5", HDRA_BAD, 0, 0, 0},
        {",5", HDRA_BAD, 0, 0, 0},          {"+-5", HDRA_BAD, 0, 0, 0},
    };
    for (const Case& c : cases) {
        double a = -7, b = -7;
        int32 n = -7;
        EXPECT_EQ(hdrParseAnswer(c.text, a, b, n), c.rc) << '"' << c.text << '"';
        if (c.rc != HDRA_OK) {
            EXPECT_EQ(a, -7) << "untouched on failure: " << c.text;
            continue;
        }
        EXPECT_DOUBLE_EQ(a, c.a) << c.text;
        EXPECT_DOUBLE_EQ(b, c.b) << c.text;
        EXPECT_EQ(n, c.n) << c.text;
    }
}

TEST(HdrMenuPick, WidensOverEmptyLevelsAndRefusesATinyRange)
{
    float t[256];
    for (int i = 0; i < 256; ++i)
        t[i] = float(100 + i);
    for (int i = 10; i <= 20; ++i)
        t[i] = 0;
    int32 lo = 12, hi = 15;
    double dl = 0, dh = 0;
    ASSERT_TRUE(hdrWidenPick(t, lo, hi, dl, dh));
    EXPECT_EQ(lo, 9);
    EXPECT_EQ(hi, 21);
    EXPECT_EQ(dl, 109.0);
    EXPECT_EQ(dh, 121.0);

    lo = 15, hi = 12; // picked high first: ordered
    ASSERT_TRUE(hdrWidenPick(t, lo, hi, dl, dh));
    EXPECT_EQ(lo, 9);
    EXPECT_EQ(hi, 21);

    lo = hi = 40; // one non-empty level twice
    EXPECT_FALSE(hdrWidenPick(t, lo, hi, dl, dh));
    // Two levels whose data lie closer than the smallest range.
    t[50] = 7.0f;
    t[51] = 7.000001f;
    lo = 50, hi = 51;
    EXPECT_FALSE(hdrWidenPick(t, lo, hi, dl, dh));

    // The walk stops at level 0 and at 255: the table's ends hold the data low and high.
    float z[256] = {};
    z[0] = 1.0f;
    z[255] = 9.0f;
    lo = 3, hi = 250;
    ASSERT_TRUE(hdrWidenPick(z, lo, hi, dl, dh));
    EXPECT_EQ(lo, 0);
    EXPECT_EQ(hi, 255);
    EXPECT_EQ(dl, 1.0);
    EXPECT_EQ(dh, 9.0);
}

TEST(HdrMenuPick, MarkLevelFromHistogramOrDisplayedPixel)
{
    const pixBox graph{500, 100, 757, 355}, image{0, 0, 299, 199};
    const int32u px = 0x11405060u; // view order: alpha 0x11, red 0x40, green 0x50, blue 0x60
    struct Case {
        int32 x, y, gun, want;
    };
    const Case cases[] = {
        {501, 200, 0, 0},  {513, 120, 2, 12}, {757, 355, 1, 255}, {500, 100, 0, 0},
        {10, 10, 0, 0x40}, {10, 10, 1, 0x50}, {10, 10, 2, 0x60},  {10, 10, 3, 0x11},
        {400, 10, 0, -1},  {10, 250, 1, -1},  {600, 99, 0, -1},   {10, 10, 4, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hdrMarkLevel(graph, image, c.x, c.y, px, c.gun), c.want)
            << c.x << "," << c.y << " gun " << c.gun;
}

TEST(HdrMenuScript, NameAndText)
{
    std::string out;
    ASSERT_TRUE(hdrScriptName("/s/", "scene", out));
    EXPECT_EQ(out, "/s/scene.cmd");
    ASSERT_TRUE(hdrScriptName("/s/", "a.cmd.bak", out));
    EXPECT_EQ(out, "/s/a.cmd.bak");
    ASSERT_TRUE(hdrScriptName("", "x", out));
    EXPECT_EQ(out, "./x.cmd");
    ASSERT_EQ(setenv("TAV_HDRMENU_TEST", "/env/dir", 1), 0);
    ASSERT_TRUE(hdrScriptName("/s/", "$TAV_HDRMENU_TEST/night", out));
    EXPECT_EQ(out, "/env/dir/night.cmd");
    out = "kept";
    EXPECT_FALSE(hdrScriptName("/s/", std::string(300, 'a'), out));
    EXPECT_FALSE(hdrScriptName("/s/", std::string(252 - 3, 'a'), out)) << "256 with .cmd";
    EXPECT_EQ(out, "kept");
    ASSERT_TRUE(hdrScriptName("/s/", std::string(248, 'a'), out)) << "255 with .cmd";

    EXPECT_EQ(hdrScriptText("", "INIT X\n"), "# Load-Script created by TAV\nINIT X\n");
    EXPECT_EQ(hdrScriptText("two moons", "INIT X\n"), "# two moons\nINIT X\n");
}

} // namespace
