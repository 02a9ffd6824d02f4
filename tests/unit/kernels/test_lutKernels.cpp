// Gamma tables, the display LUT choice, LUTs through rows and merges by gun: the numbers come
// from the power law by hand and from the iBUFF byte order (blue, green, red, alpha).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "lutKernels.h"

namespace {

TEST(Gamma, TableFollowsThePowerLawAndReplacesOutOfRangeValues)
{
    charu t[256];
    gammaTable(1.0, t);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(t[i], i);
    gammaTable(1.7, t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[255], 255);
    EXPECT_EQ(t[128], charu(std::trunc(0.5 + 255.0 * std::pow(128 / 255.0, 1.7))));
    EXPECT_EQ(t[128], 79);
    charu bad[256];
    for (double g : {0.05, 5.5, std::nan("")}) {
        gammaTable(g, bad);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(bad[i], t[i]) << "g " << g << " is taken as 1.7";
    }
    gammaTable(0.1, bad);
    EXPECT_EQ(bad[1], 147) << "0.1 is inside the range";
    gammaTable(5.0, bad);
    EXPECT_EQ(bad[128], 8) << "5.0 is inside the range: 255 x (128/255)^5 = 8.1";
}

// Default LUTs hold i, transform LUTs 255 - i: a gun's entry 0 tells which it got.
TEST(DisplayLuts, EachGunTakesItsDefaultByFlagOrMaskBit)
{
    static lutSet dflt, tran;
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i) {
            dflt[g][i] = charu(i);
            tran[g][i] = charu(255 - i);
        }
    struct Case {
        bool dfltOn;
        int32u mask;
        std::array<bool, 3> transform; // red, green, blue
    };
    const Case cases[] = {
        {true, 0, {false, false, false}},  {true, 7, {false, false, false}},
        {false, 7, {false, false, false}}, {false, 0, {true, true, true}},
        {false, 1, {false, true, true}},   {false, 2, {true, false, true}},
        {false, 4, {true, true, false}},   {false, 6, {true, false, false}},
        {false, 0xf8, {true, true, true}}, // bits above blue mean nothing
    };
    for (const Case& c : cases) {
        lutSet out{};
        const bool any = chooseDisplayLuts(dflt, tran, c.dfltOn, c.mask, out);
        bool expectAny = false;
        for (int g = 0; g < 3; ++g) {
            EXPECT_EQ(out[g][0], c.transform[g] ? 255 : 0)
                << "flag " << c.dfltOn << " mask " << c.mask << " gun " << g;
            EXPECT_EQ(out[g][200], c.transform[g] ? 55 : 200);
            expectAny |= c.transform[g];
        }
        EXPECT_EQ(any, expectAny) << "flag " << c.dfltOn << " mask " << c.mask;
    }
}

TEST(LutRows, EachGunGoesThroughItsOwnTableAndAlphaIsKept)
{
    static lutSet luts;
    for (int i = 0; i < 256; ++i) {
        luts[0][i] = charu(255 - i);     // red inverted
        luts[1][i] = charu(i);           // green as is
        luts[2][i] = charu(i / 2 + 100); // blue halved and raised
    }
    struct Case {
        int32u in, out;
    };
    // Pixel words are 0xAARRGGBB.
    const Case cases[] = {
        {0x00000000u, 0x00ff0064u},
        {0xffffffffu, 0xff00ffe3u},
        {0x80102030u, 0x80ef207cu},
        {0x7f01fe02u, 0x7ffefe65u},
    };
    std::vector<int32u> row;
    for (const Case& c : cases)
        row.push_back(c.in);
    EXPECT_EQ(lutRows(row, luts), KRN_OK);
    for (std::size_t i = 0; i < row.size(); ++i)
        EXPECT_EQ(row[i], cases[i].out) << std::hex << cases[i].in;
    std::vector<int32u> none;
    EXPECT_EQ(lutRows(none, luts), KRN_OK);
}

TEST(GunMerge, OnlyTheMaskedGunsComeFromTheSource)
{
    struct Case {
        int gunBits;
        int32u mask, merged; // dst 0x11223344, src 0xaabbccdd
    };
    const Case cases[] = {
        {1, 0x00ff0000u, 0x11bb3344u}, {2, 0x0000ff00u, 0x1122cc44u},
        {4, 0x000000ffu, 0x112233ddu}, {8, 0xff000000u, 0xaa223344u},
        {7, 0x00ffffffu, 0x11bbccddu}, {15, 0xffffffffu, 0xaabbccddu},
        {0, 0x00000000u, 0x11223344u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gunByteMask(c.gunBits), c.mask) << "guns " << c.gunBits;
        std::vector<int32u> dst(5, 0x11223344u);
        const std::vector<int32u> src(5, 0xaabbccddu);
        ASSERT_EQ(mergeGunRows(dst, src, c.mask), KRN_OK);
        for (int32u p : dst)
            ASSERT_EQ(p, c.merged) << "guns " << c.gunBits;
    }
}

TEST(GunMerge, RowsOfDifferentLengthAreRefusedUntouched)
{
    std::vector<int32u> dst(4, 1u);
    const std::vector<int32u> src(5, 2u);
    EXPECT_EQ(mergeGunRows(dst, src, 0xffffffffu), KRN_SIZE);
    EXPECT_EQ(mergeGunRows(dst, src, 0x00ff0000u), KRN_SIZE);
    EXPECT_EQ(dst, std::vector<int32u>(4, 1u));
    std::vector<int32u> empty;
    EXPECT_EQ(mergeGunRows(empty, std::vector<int32u>{}, 0xffffffffu), KRN_OK);
}

} // namespace
