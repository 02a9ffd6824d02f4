// The HDR tag, the load-script writer, the status texts, the 8-bit normalising tables and the
// float-band renderer of HDR scaling.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#include "hdrScale.h"
#include "sbuffActive.h"

namespace {

class HdrTag : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetSbuffs();
        resetScalingArchives();
        resetHdrSettings();
    }
};

int32u word(int g)
{
    return activeSbuff().scal[g].p.opScalCtl;
}

TEST_F(HdrTag, AcceptedTagsSetCurveAndRangeOfTheirGuns)
{
    struct accept {
        const char* tag;
        int32u control;
        int32u words[4];
    };
    const accept cases[] = {
        {"rgb,linear,full", 0x1001, {0x1401, 0x1401, 0x1401, 0}},
        {"R,LOG,LO-HI,0,1000", 0x2002, {0x2402, 0, 0, 0}},
        {"B TANH,MEDIAN,3.5", 0x8810, {0, 0, 0x8810, 0}},
        {"g,exp,mn,2", 0x4804, {0, 0x4804, 0, 0}},
        {"A,SINH,LOW-STDV,1", 0x20808, {0, 0, 0, 0x20808}},
        {"G,PSEUDO,HI-STDV,1.5", 0x40820, {0x40820, 0, 0, 0}}, // pseudo-colour is R alone
    };
    for (const auto& c : cases) {
        resetSbuffs();
        activeSbuff().scal[1].p.opScalCtl = HDR_EXTREMA;
        int32u control = 0;
        ASSERT_EQ(PARSE_HDR_TAG(c.tag, &control), 0) << c.tag;
        EXPECT_EQ(control, c.control) << c.tag;
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(word(g) & ~HDR_EXTREMA, c.words[g]) << c.tag << " gun " << g;
        EXPECT_FALSE(word(1) & HDR_EXTREMA) << "extrema off for every gun";
    }
    EXPECT_EQ(activeSbuff().scal[0].p.width, 1.5);
    PARSE_HDR_TAG("R,LOG,LO-HI,1000,0");
    EXPECT_EQ(activeSbuff().scal[0].p.usrLoV, 0.0);
    EXPECT_EQ(activeSbuff().scal[0].p.usrHiV, 1000.0);

    EXPECT_EQ(PARSE_HDR_TAG("RESET"), 0);
    EXPECT_EQ(word(3), 0x1401u);
    EXPECT_EQ(PARSE_HDR_TAG("reset,0"), 0);
    EXPECT_EQ(word(3), 0x8801u);
    EXPECT_EQ(PARSE_HDR_TAG("RESET,1"), 0);
    EXPECT_EQ(word(0), 0x4801u);
}

TEST_F(HdrTag, RefusedTagsLeaveTheScalingAlone)
{
    const std::pair<const char*, int> cases[] = {
        {"RESET,7", -1},           {"RESET,x", -1},
        {"X,LIN,FULL", -2},        {"", -2},
        {"R,FOO,FULL", -4},        {"R,LIN FULL", -3},
        {"R,LIN,MED 3", -5},       {"R,LIN,WIDE,3", -6},
        {"G,LIN,MED,6", -7},       {"R,LIN,LO-HI,5,5", -7},
        {"R,LIN,MED,0", -7},       {"R,LIN,MED,-2", -7},
        {"R,LIN,MED,", -7},        {"R,LIN,LO-HI,5", -7},
        {"R,LIN,MED,abc", -7},     {"R,LIN", -3},
        {"R,LIN,LO-HI,1,nan", -7},
    };
    HDR_DEFAULTS(0);
    for (const auto& [tag, code] : cases) {
        EXPECT_EQ(PARSE_HDR_TAG(tag), code) << tag;
        for (int g = 0; g < 4; ++g)
            EXPECT_EQ(word(g), 0x8801u) << tag;
    }
}

TEST_F(HdrTag, LoaderParsedTagAndDefaultRangeOfAnHdrLoad)
{
    EXPECT_EQ(APPLY_HDR_TAG(), 0);
    EXPECT_EQ(word(0), 0u) << "no tag, nothing applied";
    hdrSet.tagGiven = true;
    hdrSet.tagFlags = HDR_TANH | HDR_RANGE_LOHI;
    hdrSet.tagChannels = HDR_CH_G;
    hdrSet.tagP1 = 2.5;
    hdrSet.tagP2 = 300;
    EXPECT_EQ(APPLY_HDR_TAG(), 0);
    EXPECT_EQ(word(1), 0x2410u);
    EXPECT_EQ(activeSbuff().scal[1].p.usrHiV, 300.0);
    hdrSet.tagFlags = HDR_LIN | HDR_RANGE_MEDIAN;
    hdrSet.tagP1 = 0; // the tag reader lets a zero width through
    EXPECT_EQ(APPLY_HDR_TAG(), -7);
    EXPECT_EQ(word(1), 0x2410u);

    SET_HDR_LOAD_DEFAULT_RANGE();
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_FULL);
    CHOOSE_HDR_DEFAULT_RANGE(HDR_MEAN3SD);
    SET_HDR_LOAD_DEFAULT_RANGE();
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_MEAN3SD) << "-hdr outranks the load default";
}

// One-image buffer holding an HDR image rendered from the given files.
struct scene {
    ides img{};
    bufdes bd{};
    scene()
    {
        initIdes(&img);
        img.hdrImg = 1;
        std::strcpy(img.scal[0].curve, " LINEAR ");
        bd.numImgs = 1;
        bd.imgDes = &img;
    }
    void file(int slot, const char* path, int bands, int cols, int rows)
    {
        fdes& f = img.fd[slot];
        std::snprintf(f.path, sizeof f.path, "%s", path);
        f.dBands = static_cast<std::int16_t>(bands);
        f.fCols = f.lCols = f.dCols = static_cast<int32u>(cols);
        f.fRows = f.lRows = f.dRows = static_cast<int32u>(rows);
        f.deres[0] = f.deres[1] = 1.0;
    }
};

void gunScaling(int g, int32u curve, double low, double high)
{
    scalParams& p = activeSbuff().scal[g].p;
    p.opScalCtl = curve | 0x1400;
    p.low = low;
    p.high = high;
}

TEST_F(HdrTag, ScriptReproducesTheScene)
{
    scene one;
    std::string out;
    one.file(0, "/data/a/scene.pgm", 1, 64, 32);
    gunScaling(0, HDR_LIN, 10, 200);
    ASSERT_EQ(CRE_HDR_LD_SCRIPT(&one.bd, out), 0);
    EXPECT_EQ(out, "INIT STATIC IPATH=\"/data/a\" \\\n"
                   "  i=\"scene.pgm\" COLS=64 ROWS=32 HDR=R,LIN,LO-HI,10.000000,200.000000\n");

    scene three;
    three.file(0, "/data/a/red.tif", 1, 64, 32);
    three.file(1, "/data/b/green.tif", 1, 64, 32);
    three.file(2, "/data/a/blue.tif", 1, 64, 32);
    three.img.fd[1].fXofs = 5;
    three.img.fd[2].dCols = 32;
    three.img.fd[2].dRows = 16;
    three.img.fd[2].deres[0] = three.img.fd[2].deres[1] = 0.5;
    gunScaling(0, HDR_PSEUDO, 1, 2);
    gunScaling(1, HDR_SINH, 3, 4);
    gunScaling(2, HDR_ENTROPY, 5, 6);
    ASSERT_EQ(CRE_HDR_LD_SCRIPT(&three.bd, out), 0);
    EXPECT_EQ(out, "INIT STATIC IPATH=\"/data/a\" \\\n"
                   "  i=\"red.tif\" GUN=R COLS=64 ROWS=32 HDR=R,PSEUDO,LO-HI,1.000000,2.000000\n"
                   "  i=\"/data/b/green.tif\" GUN=G COLS=64 ROWS=32 FXY=5,0 "
                   "HDR=G,SINH,LO-HI,3.000000,4.000000\n"
                   "  i=\"blue.tif\" GUN=B COLS=64 ROWS=32 SFACT=0.500000,0.500000 "
                   "HDR=B,LO-HI,5.000000,6.000000\n");

    scene rgb;
    rgb.file(0, "/x/rgb.tif", 3, 8, 8);
    rgb.file(1, "/x/ignored.tif", 1, 8, 8);
    ASSERT_EQ(CRE_HDR_LD_SCRIPT(&rgb.bd, out), 0);
    EXPECT_EQ(out, "INIT STATIC IPATH=\"/x\" \\\n"
                   "  i=\"rgb.tif\" COLS=8 ROWS=8 HDR=R,PSEUDO,LO-HI,1.000000,2.000000 "
                   "HDR=G,SINH,LO-HI,3.000000,4.000000 HDR=B,LO-HI,5.000000,6.000000\n");

    scene bad;
    bad.file(0, "noslash.pgm", 1, 8, 8);
    EXPECT_EQ(CRE_HDR_LD_SCRIPT(&bad.bd, out), -2);
    std::strcpy(bad.img.scal[0].curve, "UNSCALED");
    EXPECT_EQ(CRE_HDR_LD_SCRIPT(&bad.bd, out), -1) << "not rendered";
    EXPECT_EQ(CRE_HDR_LD_SCRIPT(nullptr, out), -1);
}

TEST_F(HdrTag, ScriptFileWriteReportsEveryFailure)
{
    const std::string path = testing::TempDir() + "hdr_scene.cmd";
    ASSERT_EQ(WRITE_HDR_LD_SCRIPT(path, "two moons", "INIT X\n"), 0);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "# HDR scene load script\n# two moons\n#\nINIT X\n");
    std::remove(path.c_str());
    EXPECT_EQ(WRITE_HDR_LD_SCRIPT("/nonexistent-dir/x.cmd", "", "x"), -1);
    EXPECT_EQ(WRITE_HDR_LD_SCRIPT("/dev/full", "", "x"), -2) << "a full disk is no save";
}

TEST_F(HdrTag, StatusTexts)
{
    bandStats& s = activeSbuff().stats[0];
    s.low = 0;
    s.high = 1000;
    s.mean = 100;
    s.median = 90;
    s.stdDev = 10;
    s.finalised = 1;
    HDR_DEFAULTS(0);
    ASSERT_EQ(S_FACTORS(0), 1);
    EXPECT_EQ(GET_SCALING_STATUS(1), "  High Dynamic Range Scaling Settings \n"
                                     "       sBUFF:  LOADER\n       Render: Manual\n\n"
                                     "BAND:    RED\nSCALE:   LINEAR\n  No Range enhancement\n"
                                     "SMODE:   Std Dev Centered on Median\n"
                                     "UNITS:   3.000 Standard Deviations\n"
                                     "RANGE:      75.0000   105.0000\n"
                                     "DATA:        0.0000  1000.0000");
    SET_FULL_RANGE(1);
    SET_EXTREMA_LOHI(1, 1, 2);
    activeSbuff().scal[1].p.opScalCtl = HDR_LIN;
    std::string t = GET_SCALING_STATUS(3);
    EXPECT_NE(t.find("SMODE:   Full Data Range\nDATA:        0.0000  1000.0000\n"
                     "EXTREMA:     1.0000     2.0000\n\nScaling control error"),
              std::string::npos)
        << t;
    EXPECT_EQ(GET_SCALING_STATUS(8), "");

    EXPECT_EQ(SHOW_sBUFF_STATUS(9, true), "  High Dynamic Range Scaling Accumulator  \n"
                                          "           EXPLOIT sBUFF\n    Access:   ENABLED\n"
                                          "    Content:  EMPTY");
    folioDesc& d = activeSbuff().desc;
    d.defined = 1;
    d.cols = 4;
    d.rows = 2;
    d.nBands = d.nScaleBands = 1;
    d.sMode = SMODE_FLAT;
    d.srcBuf = 3;
    std::strcpy(d.process, "HDR load");
    EXPECT_EQ(SHOW_sBUFF_STATUS(8, true),
              "              High Dynamic Range Scaling Accumulator\n"
              "                            LOADER sBUFF\nCols/Rows: 4  2\nBands:     1\n"
              "File Org:  GRAY\niBuff ID:  3\nAccess:    Protected\nTag:       HDR load\n\n"
              "BAND: 1\nHigh: 1000.0000  Mean:    100.0000  StDev:   10.0000  Skew: 0.000000\n"
              "Low:     0.0000  Median:   90.0000  Mode:     0.0000  Curt: 0.000000");
    EXPECT_EQ(SHOW_sBUFF_STATUS(3, false), "");
}

TEST_F(HdrTag, NormalisingTablesFor8BitImages)
{
    histSummary hist[3] = {{10, 110}, {0, 255}, {50, 60}};
    charu luts[4][256] = {};
    EXPECT_EQ(LUT_NORMLZ(hist, luts, 0x40, 7, false), -1);
    EXPECT_EQ(LUT_NORMLZ(hist, luts, HDR_LIN, 0, false), -1);
    ASSERT_EQ(LUT_NORMLZ(hist, luts, HDR_LIN, 5, false), 0);
    EXPECT_EQ(luts[0][10], 0);
    EXPECT_EQ(luts[0][60], 127);
    EXPECT_EQ(luts[0][110], 255);
    EXPECT_EQ(luts[0][200], 255);
    EXPECT_EQ(luts[1][60], 0) << "green not in the mask";
    EXPECT_EQ(luts[2][55], 127);
    ASSERT_EQ(LUT_NORMLZ(hist, luts, HDR_LIN, 4, true), 0);
    EXPECT_EQ(luts[2][55], 55) << "common range 0..255";
    // Curves near the top of the range stay at most 255 (no wrap to 0).
    for (int32u curve : {HDR_LOG, HDR_EXP, HDR_SINH, HDR_TANH}) {
        ASSERT_EQ(LUT_NORMLZ(hist, luts, curve, 1, false), 0);
        EXPECT_GE(luts[0][109], 200) << curve;
        EXPECT_LE(luts[0][11], 60) << curve;
    }
}

TEST_F(HdrTag, FloatBandsRenderThroughTheScalingAndStatisticsAreComplete)
{
    bandStats s{};
    const float four[] = {1, 2, 3, 4};
    hdrBandStats(four, s);
    EXPECT_DOUBLE_EQ(s.mean, 2.5);
    EXPECT_NEAR(s.stdDev, 1.2909944, 1e-7);
    EXPECT_DOUBLE_EQ(s.median, 2.5);
    EXPECT_EQ(s.finalised, 1);
    const float flat[] = {7, 7, 7};
    hdrBandStats(flat, s);
    EXPECT_EQ(s.stdDev, 0.0);
    EXPECT_EQ(s.median, 7.0);
    const float wild[] = {1, std::numeric_limits<float>::infinity(), 3};
    hdrBandStats(wild, s); // no index out of the histogram
    EXPECT_EQ(s.finalised, 1);
    const float integers[] = {10, 20, 20, 30};
    hdrBandStats(integers, s);
    EXPECT_DOUBLE_EQ(s.median, 20.0) << "the middle pair lies in one bin: no empty bin halves it";

    HDR_DEFAULTS(2);
    const float band[] = {0, 255, 51, 102};
    const float* bands[4] = {band, nullptr, nullptr, nullptr};
    int status = 1;
    rgbaRaster r = SCALE_TO_RGBA(bands, 2, 2, 1, 1 | S2R_GREY, nullptr, &status);
    ASSERT_EQ(status, 0);
    ASSERT_TRUE(r);
    EXPECT_EQ(r[0], 0x00000000u);
    EXPECT_EQ(r[1], 0x00ffffffu);
    EXPECT_EQ(r[2], 0x00333333u);
    EXPECT_EQ(activeSbuff().scal[1].p.high, 255.0) << "grey copies gun 0's scaling";

    // Pixel-interleaved, two bands into R and G.
    const float il[] = {0, 10, 255, 0};
    const float* ilb[4] = {il, nullptr, nullptr, nullptr};
    r = SCALE_TO_RGBA(ilb, 2, 1, 2, 3 | S2R_PIXEL_IL, nullptr, &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(r[0], 0x0000ff00u);
    EXPECT_EQ(r[1], 0x00ff0000u);

    EXPECT_FALSE(SCALE_TO_RGBA(bands, 2, 2, 1, 0, nullptr, &status));
    EXPECT_EQ(status, -1);
    EXPECT_FALSE(SCALE_TO_RGBA(bands, 2, 2, 1, 7, nullptr, &status));
    EXPECT_EQ(status, -1);
    EXPECT_FALSE(SCALE_TO_RGBA(bands, 2, 2, 2, 3, nullptr, &status));
    EXPECT_EQ(status, -2);
}

} // namespace
