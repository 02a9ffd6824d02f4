// The LUT operations' tables from hand-computed vectors, the fast table pass against a plain
// per-byte pass, and LUT files written, read back and refused.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "lutFile.h"
#include "lutTables.h"

namespace {

gunHist histOf(std::initializer_list<std::pair<int, double>> levels)
{
    gunHist h[3];
    clearHists(h);
    for (auto [lv, n] : levels)
        h[0].count[lv] = n;
    finishHist(h[0]);
    return h[0];
}

TEST(Equalize, CumulativeShareOfEachLevel)
{
    charu t[256];
    // One level: it and every level above reach 255, the ones below stay 0.
    gunHist one = histOf({{100, 40}});
    ASSERT_EQ(equalizeLut(one.count, t), LUTK_OK);
    EXPECT_EQ(t[99], 0);
    EXPECT_EQ(t[100], 255);
    EXPECT_EQ(t[255], 255);
    // Three equal levels: thirds of 255 rounded, 85 and 170.
    gunHist three = histOf({{10, 1}, {20, 1}, {30, 1}});
    ASSERT_EQ(equalizeLut(three.count, t), LUTK_OK);
    EXPECT_EQ(t[9], 0);
    EXPECT_EQ(t[10], 85);
    EXPECT_EQ(t[25], 170);
    EXPECT_EQ(t[30], 255);
    // 1 of 512 at level 0: 255 / 512 = 0.498 rounds down, 2 of 512 rounds up to 1.
    gunHist few = histOf({{0, 1}, {1, 1}, {2, 510}});
    ASSERT_EQ(equalizeLut(few.count, t), LUTK_OK);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 1);
    // No pixel: refused, the table is left alone.
    gunHist none = histOf({});
    std::memset(t, 7, 256);
    EXPECT_EQ(equalizeLut(none.count, t), LUTK_EMPTY);
    EXPECT_EQ(t[0], 7);
    EXPECT_EQ(t[255], 7);
}

TEST(Comb, TeethRiseAndFallByPeriod)
{
    charu t[256];
    ASSERT_EQ(combLut(4, t), LUTK_OK);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 4);
    EXPECT_EQ(t[63], 252);
    EXPECT_EQ(t[64], 254); // 256 mod 255 = 1, falling
    EXPECT_EQ(t[127], 255 - (127 * 4) % 255);
    EXPECT_EQ(t[128], (128 * 4) % 255); // rising again
    EXPECT_EQ(t[192], 255 - (192 * 4) % 255);
    ASSERT_EQ(combLut(2, t), LUTK_OK);
    EXPECT_EQ(t[127], 254);
    EXPECT_EQ(t[128], 254); // 256 mod 255 = 1, flipped
    std::memset(t, 9, 256);
    for (int32 n : {0, 1, 3, 12, 256})
        EXPECT_EQ(combLut(n, t), LUTK_ARG) << n;
    EXPECT_EQ(t[5], 9);
}

TEST(Infometric, InformationOfEachShareHeldTo255)
{
    // Shares 1/2, 1/256 and 1/1024 of 1024 pixels.
    gunHist h = histOf({{10, 512}, {20, 4}, {30, 1}, {40, 507}});
    struct Case {
        int32 kind;
        int lv10, lv20, lv30, empty;
    };
    const Case cases[] = {
        // 1/2: 1 bit; 1/256: 8 bits, 2^8 = 256 held at 255; 1/1024 is rarer than 1/256 and
        // counts as 2^-16 / 2^-10 = 2^-6: 6 bits.
        {INFO_ENTROPY, 2, 255, 64, 0},
        {INFO_ABS_REDUN, 128, 1, 4, 0},
        {INFO_REL_REDUN, 223, 0, 63, 0},
    };
    for (const Case& c : cases) {
        charu t[256];
        ASSERT_EQ(infometricLut(h, c.kind, t), LUTK_OK);
        EXPECT_EQ(t[10], c.lv10) << c.kind;
        EXPECT_EQ(t[20], c.lv20) << c.kind;
        EXPECT_EQ(t[30], c.lv30) << c.kind;
        EXPECT_EQ(t[0], c.empty) << c.kind;
    }
    // A single level: share 1, 0 bits; ABS REDUN 2^8 = 256 is held at 255, not wrapped to 0.
    charu t[256];
    ASSERT_EQ(infometricLut(histOf({{5, 9}}), INFO_ABS_REDUN, t), LUTK_OK);
    EXPECT_EQ(t[5], 255);
    EXPECT_EQ(infometricLut(histOf({}), INFO_ENTROPY, t), LUTK_EMPTY);
    EXPECT_EQ(infometricLut(h, 3, t), LUTK_ARG);
}

TEST(InvertAndCycle, StepsAreReversible)
{
    charu t[256], orig[256];
    combLut(8, orig);
    std::memcpy(t, orig, 256);
    invertLut(t);
    EXPECT_EQ(t[0], 255 - orig[0]);
    invertLut(t);
    EXPECT_EQ(std::memcmp(t, orig, 256), 0);

    identityLut(t);
    cycleLut(t, true, true);
    EXPECT_EQ(t[0], 1);
    EXPECT_EQ(t[254], 255);
    EXPECT_EQ(t[255], 0);
    cycleLut(t, false, true);
    EXPECT_TRUE(isIdentityLut(t));
    for (int k = 0; k < 256; ++k)
        cycleLut(t, false, true);
    EXPECT_TRUE(isIdentityLut(t)) << "256 rotations come round";
    cycleLut(t, true, false);
    EXPECT_EQ(t[254], 255);
    EXPECT_EQ(t[255], 0);
    identityLut(t);
    cycleLut(t, false, false);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[1], 0);
    EXPECT_EQ(t[255], 254);
}

TEST(Ramp, DrawnLineBecomesTheTable)
{
    charu t[256];
    const rampPoint two[] = {{0, 0}, {255, 10}};
    rampLut(two, t);
    EXPECT_TRUE(isIdentityLut(t)) << "one segment is not enough";
    // Up to (100, 200), flat to 200, then a vertical rise to 250 and on to (255, 250).
    const rampPoint pts[] = {{0, 0}, {100, 200}, {200, 200}, {200, 250}, {255, 250}};
    rampLut(pts, t);
    EXPECT_EQ(t[0], 0);
    EXPECT_EQ(t[50], 100);
    EXPECT_EQ(t[99], 198);
    EXPECT_EQ(t[100], 200);
    EXPECT_EQ(t[199], 200);
    EXPECT_EQ(t[200], 250);
    EXPECT_EQ(t[255], 250);
    // Points out of order are walked from left to right; heights are held to 0-255.
    const rampPoint back[] = {{0, 0}, {200, 300}, {100, 50}};
    rampLut(back, t);
    EXPECT_EQ(t[50], 25);
    EXPECT_EQ(t[150], 152);
    EXPECT_EQ(t[220], 255);
}

TEST(Specify, FlatTargetEqualisesAndEmptyIsRefused)
{
    gunHist h = histOf({{10, 100}, {11, 100}, {200, 200}});
    charu flat[256], eq[256], t[256];
    std::memset(flat, 50, 256);
    ASSERT_EQ(specifyLut(h.count, flat, t), LUTK_OK);
    ASSERT_EQ(equalizeLut(h.count, eq), LUTK_OK);
    for (int i = 0; i < 256; ++i)
        ASSERT_LE(std::abs(int(t[i]) - int(eq[i])), 1) << i;
    charu zero[256] = {};
    std::memset(t, 3, 256);
    EXPECT_EQ(specifyLut(h.count, zero, t), LUTK_EMPTY);
    EXPECT_EQ(specifyLut(histOf({}).count, flat, t), LUTK_EMPTY);
    EXPECT_EQ(t[0], 3);
}

TEST(Histogram, GunsByByteAndRemapThroughTable)
{
    gunHist h[3];
    clearHists(h);
    const std::vector<int32u> row = {0xff030201u, 0x00030405u, 0x12030201u};
    histRows(row, h);
    for (auto& g : h)
        finishHist(g);
    EXPECT_EQ(h[0].count[3], 3); // red is byte 2
    EXPECT_EQ(h[1].count[2], 2);
    EXPECT_EQ(h[1].count[4], 1);
    EXPECT_EQ(h[2].lo, 1);
    EXPECT_EQ(h[2].hi, 5);
    EXPECT_EQ(h[2].total, 3);
    charu inv[256];
    identityLut(inv);
    invertLut(inv);
    remapHist(h[2], inv);
    EXPECT_EQ(h[2].count[254], 2);
    EXPECT_EQ(h[2].lo, 250);
}

// The unrolled pass with prepared tables gives what one byte at a time gives, for every
// length around the unrolling and with guns left out.
TEST(LutPass, MatchesThePlainPassAtEveryLength)
{
    {
        lutPass any{};
        std::vector<int32u> a(5, 1), b(4, 2);
        EXPECT_EQ(lutRows(a, b, any), KRN_SIZE);
        EXPECT_EQ(b[0], 2u) << "rows of different length: nothing written";
    }
    std::mt19937 rng(7);
    static lutSet luts;
    for (auto& t : luts)
        for (auto& v : t)
            v = charu(rng());
    for (int bits : {7, 1, 2, 4, 5}) {
        lutPass pass;
        prepareLutPass(luts, pass, bits);
        for (std::size_t n : {0u, 1u, 3u, 4u, 5u, 9u, 1537u}) {
            std::vector<int32u> row(n), want(n);
            for (std::size_t i = 0; i < n; ++i) {
                row[i] = int32u(rng());
                int32u q = row[i];
                for (int g = 0; g < 3; ++g) {
                    if (!(bits & (1 << g)))
                        continue;
                    const int sh = 8 * gunByteOfs[g];
                    q = (q & ~(0xffu << sh)) | (int32u(luts[g][(q >> sh) & 0xff]) << sh);
                }
                want[i] = q;
            }
            std::vector<int32u> out(n, 0);
            ASSERT_EQ(lutRows(row, out, pass), KRN_OK);
            lutRows(row, pass);
            ASSERT_EQ(row, want) << "guns " << bits << " length " << n;
            ASSERT_EQ(out, want) << "from one row into another";
        }
    }
}

struct tmpFile {
    std::FILE* f = std::tmpfile();
    ~tmpFile() { std::fclose(f); }
    std::string text(long at, std::size_t n)
    {
        std::string s(n, '\0');
        std::fseek(f, at, SEEK_SET);
        s.resize(std::fread(s.data(), 1, n, f));
        return s;
    }
    void put(const std::string& s)
    {
        std::fputs(s.c_str(), f);
        std::rewind(f);
    }
};

std::string lines(int n, const char* sep = " ")
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += std::to_string(i) + sep + std::to_string(255 - i) + sep + std::to_string(i / 2) + "\n";
    return s;
}

TEST(LutFile, WrittenTablesReadBackAndHeaderIsExact)
{
    static lutSet a, b;
    combLut(4, a[0]);
    identityLut(a[1]);
    invertLut(a[1]);
    std::memset(a[2], 200, 256);
    tmpFile t;
    ASSERT_TRUE(writeLutFile(t.f, a, "four teeth"));
    std::rewind(t.f);
    const std::string head =
        "#\n#    TAV saved R-G-B color LUTs\n#\n# four teeth\n#\n    0   255   200\n";
    EXPECT_EQ(t.text(0, head.size()), head);
    std::rewind(t.f);
    ASSERT_EQ(readLutFile(t.f, b), LUTF_OK);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);

    tmpFile plain;
    ASSERT_TRUE(writeLutFile(plain.f, a, ""));
    const std::string bare = "#\n#    TAV saved R-G-B color LUTs\n#\n    0   255";
    EXPECT_EQ(plain.text(0, bare.size()), bare);
}

TEST(LutFile, SeparatorsCommentsAndOutOfRangeValues)
{
    for (const char* sep : {",", "\t", " , "}) {
        tmpFile t;
        t.put("# made by hand\n" + lines(256, sep) + "trailing words are not read\n");
        static lutSet out;
        ASSERT_EQ(readLutFile(t.f, out), LUTF_OK) << "separator '" << sep << "'";
        EXPECT_EQ(out[0][7], 7);
        EXPECT_EQ(out[1][7], 248);
        EXPECT_EQ(out[2][255], 127);
    }
    tmpFile t;
    t.put("300 -4 99999999999999999999\n" + lines(255));
    static lutSet out;
    ASSERT_EQ(readLutFile(t.f, out), LUTF_OK);
    EXPECT_EQ(out[0][0], 255);
    EXPECT_EQ(out[1][0], 0);
    EXPECT_EQ(out[2][0], 255);
}

TEST(LutFile, RefusedFilesLeaveTheTablesAlone)
{
    struct Case {
        std::string text;
        int32 rc;
    };
    const Case cases[] = {
        {lines(255), LUTF_SHORT},
        {"", LUTF_SHORT},
        {lines(10) + "1 2 x\n" + lines(246), LUTF_NON_NUMERIC},
        {lines(10) + "1 2\n" + lines(246), LUTF_NON_NUMERIC},
        {lines(10) + "1.5 2 3\n" + lines(246), LUTF_NON_NUMERIC},
        {"#" + std::string(300, 'c') + "\n" + lines(256), LUTF_LONG_LINE},
        {lines(3) + "1 2 3" + std::string(300, ' ') + "\n" + lines(253), LUTF_LONG_LINE},
    };
    for (const Case& c : cases) {
        tmpFile t;
        t.put(c.text);
        static lutSet out;
        std::memset(out, 0x5a, sizeof out);
        EXPECT_EQ(readLutFile(t.f, out), c.rc) << c.text.substr(0, 40);
        EXPECT_EQ(out[0][0], 0x5a);
        EXPECT_EQ(out[2][255], 0x5a);
    }
}

} // namespace
