// HDR loads end to end: the file's samples go to the Loader accumulator and the iBUFF holds
// them rendered through the default range, the user's -hdr choice or the load's HDR tag.
// Expected levels are worked out here from the sample values with plain formulas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bufRecMgt.h"
#include "folio_utl.h"
#include "hdrSettings.h"
#include "loaddrv.h"

namespace {

struct Rgb {
    int r, g, b;
};

class HdrLoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tavhdr.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        loaddrv::reset();
    }
    void TearDown() override
    {
        RELEASE_BUFMGT();
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            ADD_FAILURE() << "cleanup";
    }
    // A 16-bit PNM (P5 one band, P6 three) of w x h samples, big-endian as the format has it.
    std::string pnm16(const std::string& name, int w, int h, int bands, const std::vector<int>& v)
    {
        std::string data = std::string(bands == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " +
                           std::to_string(h) + "\n65535\n";
        for (int s : v) {
            data += char(s >> 8);
            data += char(s & 255);
        }
        const std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary) << data;
        return p;
    }
    loaddrv::Result load(const std::string& cmd)
    {
        testing::internal::CaptureStderr();
        loaddrv::Result r = loaddrv::runCommand(cmd, 0);
        err = testing::internal::GetCapturedStderr();
        return r;
    }
    static Rgb at(int x, int y)
    {
        const bufdes& b = bufObjs[0];
        const auto* p = reinterpret_cast<const charu*>(b.imgbuf + std::size_t(y) * b.width + x);
        return {p[2], p[1], p[0]};
    }
    // The linear curve over [lo, hi]: 0 at or below lo, 255 at or above hi.
    static int linear(double x, double lo, double hi)
    {
        if (x <= lo)
            return 0;
        if (x >= hi)
            return 255;
        return int((x - lo) * (255.0 / (hi - lo)));
    }
    std::string dir, err;
};

// Four levels in unequal shares (20 x 20): 1000 x100, 2000 x150, 3000 x100, 40000 x50.
std::vector<int> fourLevels()
{
    std::vector<int> v;
    for (int i = 0; i < 400; ++i)
        v.push_back(i < 100 ? 1000 : i < 250 ? 2000 : i < 350 ? 3000 : 40000);
    return v;
}

TEST_F(HdrLoad, SixteenBitGreyRendersThroughTheDefaultRanges)
{
    const std::vector<int> v = fourLevels();
    const std::string p = pnm16("four.pgm", 20, 20, 1, v);

    // A plain load into an empty buffer scales over the full data range.
    auto r = load("i=" + p);
    ASSERT_EQ(r.status, 0) << err << r.messages;
    EXPECT_TRUE(bufObjs[0].bufCtlm & bufIS_HDR);
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_FULL);
    for (int i = 0; i < 400; i += 7) {
        const Rgb c = at(i % 20, i / 20);
        EXPECT_NEAR(c.r, linear(v[i], 1000, 40000), 1) << i;
        EXPECT_EQ(c.g, c.r) << "a grey band is shown on R, G and B";
        EXPECT_EQ(c.b, c.r);
    }

    // -hdr med3sd outranks the load default: 1.5 standard deviations about the median.
    double mean = 0;
    for (int s : v)
        mean += s;
    mean /= 400;
    double dev2 = 0;
    for (int s : v)
        dev2 += (s - mean) * (s - mean);
    const double sd = std::sqrt(dev2 / 399);
    const double median = 2000; // the 200th and 201st samples are both 2000
    const double lo = std::max(1000.0, median - 1.5 * sd),
                 hi = std::min(40000.0, median + 1.5 * sd);
    loaddrv::reset();
    CHOOSE_HDR_DEFAULT_RANGE(HDR_MED3SD);
    r = load("i=" + p);
    ASSERT_EQ(r.status, 0) << err << r.messages;
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_MED3SD);
    for (int i : {0, 120, 260, 399}) {
        const Rgb c = at(i % 20, i / 20);
        EXPECT_NEAR(c.r, linear(v[i], lo, hi), 1) << i << " range " << lo << " " << hi;
    }
    EXPECT_GT(at(0, 7).r, linear(2000, 1000, 40000)) << "narrower than the full range";

    // The load's HDR tag wins over both.
    loaddrv::reset();
    r = load("HDR=RGB,LIN,LO-HI,1000,3000 i=" + p);
    ASSERT_EQ(r.status, 0) << err << r.messages;
    EXPECT_NEAR(at(0, 7).r, 127, 1);
    EXPECT_EQ(at(0, 19).r, 255);
    EXPECT_EQ(at(0, 0).r, 0);
}

TEST_F(HdrLoad, FloatTiffLoadsAndRenders)
{
    const std::string src = dir + "/levels.pgm";
    {
        std::string data = "P5\n20 20\n255\n";
        for (int i = 0; i < 400; ++i)
            data += char(i < 100 ? 0 : i < 200 ? 51 : i < 300 ? 102 : 255);
        std::ofstream(src, std::ios::binary) << data;
    }
    const std::string tif = dir + "/f32.tif";
    const std::string cmd = "convert " + src +
                            " -define quantum:format=floating-point -depth 32 -compress none "
                            "TIFF:" +
                            tif + " 2>/dev/null; test -s " + tif;
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "no float TIFF writer";
    auto r = load("i=" + tif);
    ASSERT_EQ(r.status, 0) << err << r.messages;
    // Whatever unit the writer stored, the levels keep their proportions over the full range.
    const int want[4] = {0, 51, 102, 255};
    for (int k = 0; k < 4; ++k) {
        const Rgb c = at(0, k * 5);
        EXPECT_NEAR(c.r, want[k], 1) << k;
        EXPECT_EQ(c.b, c.r);
    }
}

TEST_F(HdrLoad, ThreeSingleBandLoadsComposeByGun)
{
    // Each band is 0 or 1000; which pixels are lit differs per gun.
    std::vector<int> red, green, blue;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            red.push_back(x < 8 ? 1000 : 0);
            green.push_back(y < 8 ? 1000 : 0);
            blue.push_back((x + y) % 2 ? 1000 : 0);
        }
    ASSERT_EQ(load("GUN=R i=" + pnm16("r.pgm", 20, 20, 1, red)).status, 0) << err;
    ASSERT_EQ(load("GUN=G i=" + pnm16("g.pgm", 20, 20, 1, green)).status, 0) << err;
    auto r = load("GUN=B i=" + pnm16("b.pgm", 20, 20, 1, blue));
    ASSERT_EQ(r.status, 0) << err << r.messages;
    EXPECT_EQ(bufObjs[0].numImgs, 1);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const Rgb c = at(x, y);
            ASSERT_EQ(c.r, x < 8 ? 255 : 0) << x << "," << y;
            ASSERT_EQ(c.g, y < 8 ? 255 : 0) << x << "," << y;
            ASSERT_EQ(c.b, (x + y) % 2 ? 255 : 0) << x << "," << y;
        }
}

TEST_F(HdrLoad, GunOntoInterleavedColourFailsInsteadOfShowingTheHeader)
{
    std::vector<int> rgb(20 * 20 * 3, 500), grey(20 * 20, 700);
    for (std::size_t i = 0; i < rgb.size(); i += 5)
        rgb[i] = 3000;
    ASSERT_EQ(load("i=" + pnm16("c.ppm", 20, 20, 3, rgb)).status, 0) << err;
    const std::vector<charu> before(reinterpret_cast<const charu*>(bufObjs[0].imgbuf),
                                    reinterpret_cast<const charu*>(bufObjs[0].imgbuf) +
                                        20 * 20 * 4);
    auto r = load("GUN=G i=" + pnm16("g.pgm", 20, 20, 1, grey));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.messages.find("18: "), std::string::npos) << r.messages;
    const std::vector<charu> after(reinterpret_cast<const charu*>(bufObjs[0].imgbuf),
                                   reinterpret_cast<const charu*>(bufObjs[0].imgbuf) + 20 * 20 * 4);
    EXPECT_EQ(before, after) << "the rendered colour image is left as it was";
}

TEST_F(HdrLoad, RenderRefusesABufferTheAccumulatorDoesNotBelongTo)
{
    const std::vector<int> v = fourLevels();
    const std::string p = pnm16("four.pgm", 20, 20, 1, v);
    ASSERT_EQ(load("i=" + p).status, 0) << err;
    testing::internal::CaptureStderr();
    const loaddrv::Result second = loaddrv::runCommand("i=" + p, 1);
    err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(second.status, 0) << err;
    // The Loader sBUFF now holds buffer 2's load: buffer 1 keeps its picture, unrendered anew.
    EXPECT_EQ(RENDER_sBUFF(nullptr, &bufObjs[0], RSB_TO_iBUFF), -11);
    EXPECT_EQ(RENDER_sBUFF(nullptr, &bufObjs[1], RSB_TO_iBUFF), 0);
    EXPECT_EQ(RENDER_sBUFF(nullptr, &bufObjs[1], RSB_TO_iBUFF | RSB_TO_DISPLAY), -3);
    EXPECT_EQ(RENDER_sBUFF(nullptr, &bufObjs[1], RSB_TO_DISPLAY), -3) << "no display area";
    EXPECT_EQ(RENDER_sBUFF(nullptr, nullptr, RSB_TO_iBUFF), -2);
}

} // namespace
