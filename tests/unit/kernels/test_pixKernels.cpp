// The PIXEL OPS kernels from hand-computed values: B & W greys as single-precision sums
// truncate them, gun exchange, pseudo-colour through the pseudo tables, the range those
// tables get, and the infometric classes.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pixKernels.h"
#include "pseudoLut.h"

namespace {

int32u px(int r, int g, int b, int a = 0x80)
{
    return int32u(a) << 24 | int32u(r) << 16 | int32u(g) << 8 | int32u(b);
}

int32u greyOf(int32u p, int32u guns, int32 standard, const lutSet* luts = nullptr)
{
    greyPass pass;
    EXPECT_EQ(prepareGrey(pass, guns, standard, luts), PIXK_OK);
    std::vector<int32u> row{p};
    greyRows(row, pass);
    return row[0];
}

TEST(Grey, WeightedSumsTruncated)
{
    const struct {
        int r, g, b;
        int32 standard;
        int32u grey;
    } cases[] = {
        {0, 255, 0, GREY_CONTEMP, 182},    {255, 0, 0, GREY_CONTEMP, 54},
        {0, 0, 255, GREY_CONTEMP, 18},     {0, 255, 0, GREY_NTSC53, 149},
        {255, 0, 0, GREY_NTSC53, 76},      {0, 0, 255, GREY_NTSC53, 29},
        {255, 255, 255, GREY_NTSC53, 255}, {255, 255, 255, GREY_CONTEMP, 255},
        {0, 0, 0, GREY_NTSC53, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(greyOf(px(c.r, c.g, c.b), 7, c.standard), c.grey * 0x010101u)
            << c.r << "," << c.g << "," << c.b << " standard " << c.standard;
    // Weights summing to one in single precision still lose a level on these greys.
    for (int v : {37, 61, 74, 93, 111, 122, 148, 186, 215, 222, 233, 244, 253})
        EXPECT_EQ(greyOf(px(v, v, v), 7, GREY_NTSC53), int32u(v - 1) * 0x010101u) << v;
    for (int v : {35, 41, 70, 73, 82, 140, 146, 164, 189, 207, 225})
        EXPECT_EQ(greyOf(px(v, v, v), 7, GREY_CONTEMP), int32u(v - 1) * 0x010101u) << v;
    for (int v : {36, 100, 254})
        EXPECT_EQ(greyOf(px(v, v, v), 7, GREY_NTSC53), int32u(v) * 0x010101u) << v;
}

TEST(Grey, OneGunAndTablesAgreeWithPlainPath)
{
    lutSet inv;
    for (int g = 0; g < 3; ++g)
        for (int v = 0; v < 256; ++v)
            inv[g][v] = charu(255 - v);
    EXPECT_EQ(greyOf(px(10, 20, 30), 2, 0), 0x141414u);
    EXPECT_EQ(greyOf(px(10, 20, 30), 4, 0, &inv), 0xe1e1e1u);
    EXPECT_EQ(greyOf(px(255, 0, 0), 7, GREY_NTSC53, &inv), greyOf(px(0, 255, 255), 7, GREY_NTSC53));
    greyPass pass;
    EXPECT_EQ(prepareGrey(pass, 3, GREY_NTSC53, nullptr), PIXK_ARG);
    EXPECT_EQ(prepareGrey(pass, 7, 3, nullptr), PIXK_ARG);

    // Identity tables must give the plain (vectorised) path's greys to the bit, on a row long
    // enough for the vector loop and its tail.
    lutSet id;
    for (int g = 0; g < 3; ++g)
        identityLut(id[g]);
    std::mt19937 rng(21);
    std::vector<int32u> plain(4099);
    for (auto& p : plain)
        p = rng();
    for (int32 standard : {GREY_NTSC53, GREY_CONTEMP}) {
        std::vector<int32u> a = plain, b = plain;
        greyPass pp, pt;
        prepareGrey(pp, 7, standard, nullptr);
        prepareGrey(pt, 7, standard, &id);
        greyRows(a, pp);
        greyRows(b, pt);
        EXPECT_EQ(a, b) << standard;
        EXPECT_EQ(a[4098] >> 24, 0u);
    }
}

TEST(SwapGuns, ExchangesNamedGunsKeepsAlpha)
{
    const std::pair<int32u, int32u> cases[] = {
        {5, 0xAADDCCBBu}, {3, 0xAACCBBDDu}, {6, 0xAABBDDCCu}};
    for (const auto& [mask, want] : cases) {
        std::vector<int32u> row(37, 0xAABBCCDDu);
        ASSERT_EQ(swapGuns(row.data(), row.size(), mask), PIXK_OK);
        EXPECT_EQ(row.front(), want) << mask;
        EXPECT_EQ(row.back(), want) << mask;
    }
    int32u p = 0x11223344u;
    EXPECT_EQ(swapGuns(&p, 1, 4), PIXK_ARG);
    EXPECT_EQ(p, 0x11223344u);
}

TEST(Pseudo, RangeWidenedToSixteenLevels)
{
    int32 r[2] = {-1, -1};
    EXPECT_FALSE(pseudoRange(100, 103, r));
    EXPECT_EQ(r[0], -1);
    const struct {
        int32 lo, hi, wlo, whi;
    } cases[] = {{100, 105, 95, 110},
                 {100, 104, 95, 110},
                 {0, 4, 0, 15},
                 {250, 255, 240, 255},
                 {10, 200, 10, 200}};
    for (const auto& c : cases) {
        ASSERT_TRUE(pseudoRange(c.lo, c.hi, r)) << c.lo;
        EXPECT_EQ(r[0], c.wlo) << c.lo;
        EXPECT_EQ(r[1], c.whi) << c.lo;
    }
    // The source gun's occupied range, folded row by row (a vector body and its tail).
    std::vector<int32u> row(19, px(1, 90, 3));
    row[17] = px(0, 7, 255);
    int32 lo = 255, hi = 0;
    gunLevelRange(row, 1, &lo, &hi);
    EXPECT_EQ(lo, 7);
    EXPECT_EQ(hi, 90);
    row.assign(3, px(0, 201, 0));
    gunLevelRange(row, 1, &lo, &hi);
    EXPECT_EQ(hi, 201);
    EXPECT_EQ(lo, 7);
    // The widened range is one the pseudo tables are built for.
    charu red[256], green[256], blue[256];
    pseudoRange(100, 105, r);
    ASSERT_EQ(PSEUDO_LUT(r, red, green, blue, 256, 0x400 | 4, 0, 1.0), 0);
}

TEST(Pseudo, PixelsTakeTheTablesOfTheirSourceLevel)
{
    const int32 range[2] = {20, 220};
    charu red[256], green[256], blue[256];
    ASSERT_EQ(PSEUDO_LUT(range, red, green, blue, 256, 8, 0, 1.0), 0);
    int32u pal[256];
    tablePalette(red, green, blue, pal);
    std::vector<int32u> row;
    for (int v = 0; v < 256; ++v)
        row.push_back(px(v, 255 - v, 7, 0xff));
    for (int32 gun : {0, 1}) {
        std::vector<int32u> r = row;
        ASSERT_EQ(paletteRows(r, gun, pal), PIXK_OK);
        for (int v = 0; v < 256; ++v) {
            const int s = gun == 0 ? v : 255 - v;
            ASSERT_EQ(r[std::size_t(v)], px(red[s], green[s], blue[s], 0)) << v;
        }
    }
    EXPECT_EQ(paletteRows(row, 3, pal), PIXK_ARG);
}

TEST(Infometric, ClassesFromEachGunsHistogram)
{
    gunHist h[3];
    clearHists(h);
    lutSet out{};
    EXPECT_EQ(infometricClasses(h, INFO_ENTROPY, out), LUTK_EMPTY);
    h[0].count[3] = 1, h[0].count[9] = 3;
    h[1].count[50] = 4;
    h[2].count[0] = 2, h[2].count[255] = 2;
    for (auto& g : h)
        finishHist(g);
    EXPECT_EQ(infometricClasses(h, 3, out), LUTK_ARG);
    // Each gun from its own histogram. Entropy: a quarter carries 2 bits (2^2 = 4), three
    // quarters 0.415 (2^0.415 = 1.33); relative redundancy 255 x (1 - h / 8).
    ASSERT_EQ(infometricClasses(h, INFO_ENTROPY, out), PIXK_OK);
    EXPECT_EQ(out[0][3], 4);
    EXPECT_EQ(out[0][9], 1);
    EXPECT_EQ(out[1][50], 1);
    EXPECT_EQ(out[2][255], 2);
    EXPECT_EQ(out[0][100], 0) << "empty level";
    ASSERT_EQ(infometricClasses(h, INFO_REL_REDUN, out), PIXK_OK);
    EXPECT_EQ(out[0][9], 241);
    EXPECT_EQ(out[1][50], 255);
    EXPECT_EQ(out[2][0], 223);
}

} // namespace
