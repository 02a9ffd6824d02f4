// The GIF writer and its quantiser: header and table layout, exact colours up to 256, LZW data
// that our loader and netpbm decode identically (table resets included), the median-cut path
// beside ImageMagick's, and the failures that must not leave a broken file behind.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include "outFixture.h"
#include "quant.h"
#include "wrgif.h"

using namespace outtest;

namespace {

class Gif : public OutDir {
protected:
    // Writes an RGB image through wrgif (the encoder owns a copy); the status.
    int32 write(const std::string& name, const std::vector<charu>& rgb, int w, int h,
                const char* comment = nullptr)
    {
        charu* pic = static_cast<charu*>(std::malloc(rgb.size()));
        std::memcpy(pic, rgb.data(), rgb.size());
        std::FILE* fp = std::fopen(path(name).c_str(), "wb");
        testing::internal::CaptureStderr();
        const int32 rc =
            wrgif(fp, &pic, w, h, GIF_24BIT | GIF_OWN_IMAGE, nullptr, nullptr, nullptr, comment);
        testing::internal::GetCapturedStderr();
        std::fclose(fp);
        EXPECT_EQ(pic, nullptr);
        return rc;
    }
    // Random image of `colours` distinct colours.
    static std::vector<charu> palette(int w, int h, int colours, unsigned seed)
    {
        std::mt19937 rng(seed);
        std::vector<charu> pal(std::size_t(colours) * 3);
        for (int i = 0; i < colours; ++i) {
            pal[std::size_t(i) * 3] = charu(i);
            pal[std::size_t(i) * 3 + 1] = charu(rng());
            pal[std::size_t(i) * 3 + 2] = charu(255 - i);
        }
        std::vector<charu> px(std::size_t(w) * std::size_t(h) * 3);
        for (std::size_t i = 0; i < std::size_t(w) * std::size_t(h); ++i) {
            // Runs of one colour as well as noise, so that long strings get built.
            const int c = (i / 7) % 3 == 0 ? int((i / 97) % std::size_t(colours))
                                           : int(rng() % unsigned(colours));
            std::memcpy(&px[i * 3], &pal[std::size_t(c) * 3], 3);
        }
        return px;
    }
};

TEST_F(Gif, HeaderTableAndCodeSizeFollowTheColourCount)
{
    struct Case {
        int colours;
        const char* comment;
        const char* sig;
        int flags, codeSize;
    } cases[] = {
        {2, nullptr, "GIF87a", 0xf0, 2}, {3, "", "GIF87a", 0xf1, 2},
        {5, "note", "GIF89a", 0xf2, 3},  {129, nullptr, "GIF87a", 0xf7, 8},
        {256, "x", "GIF89a", 0xf7, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colours);
        const int w = 40, h = 30;
        const std::vector<charu> px = palette(w, h, c.colours, 7);
        ASSERT_EQ(write("h.gif", px, w, h, c.comment), GIF_OK);
        const std::string f = slurp(path("h.gif"));
        ASSERT_GT(f.size(), 13u);
        EXPECT_EQ(f.substr(0, 6), c.sig);
        EXPECT_EQ(charu(f[6]) | charu(f[7]) << 8, w);
        EXPECT_EQ(charu(f[8]) | charu(f[9]) << 8, h);
        EXPECT_EQ(charu(f[10]), c.flags);
        std::size_t at = 13 + 3 * (std::size_t(2) << (c.flags & 7));
        if (c.comment && *c.comment) {
            ASSERT_EQ(charu(f[at]), 0x21);
            ASSERT_EQ(charu(f[at + 1]), 0xfe);
            const std::size_t len = charu(f[at + 2]);
            EXPECT_EQ(f.substr(at + 3, len), c.comment);
            at += 4 + len;
        }
        ASSERT_EQ(f[at], ',');
        EXPECT_EQ(charu(f[at + 10]), c.codeSize);
        EXPECT_EQ(f.back(), ';');
    }
}

TEST_F(Gif, GreyImageWithoutTablesGetsAFullRamp)
{
    std::vector<charu> grey(64 * 8);
    for (std::size_t i = 0; i < grey.size(); ++i)
        grey[i] = charu(i % 3);
    charu* pic = grey.data();
    std::FILE* fp = std::fopen(path("g.gif").c_str(), "wb");
    ASSERT_EQ(wrgif(fp, &pic, 64, 8, 0, nullptr, nullptr, nullptr, nullptr), GIF_OK);
    std::fclose(fp);
    const std::string f = slurp(path("g.gif"));
    EXPECT_EQ(charu(f[10]), 0xf7);
    EXPECT_EQ(charu(f[13 + 3 * 200]), 200);
    ASSERT_TRUE(sh("giftopnm " + path("g.gif") + " > " + path("g.pgm") + " 2>/dev/null"));
    const std::vector<charu> back = tail(slurp(path("g.pgm")), grey.size());
    EXPECT_EQ(back, grey);
}

TEST_F(Gif, RefusesWhatItCannotWrite)
{
    std::vector<charu> px(3 * 4, 0);
    charu* pic = px.data();
    std::FILE* fp = std::fopen(path("r.gif").c_str(), "wb");
    EXPECT_EQ(wrgif(fp, &pic, 65536, 1, GIF_24BIT, nullptr, nullptr, nullptr, nullptr),
              GIF_TOO_LARGE);
    EXPECT_EQ(wrgif(fp, &pic, 1, 0, GIF_24BIT, nullptr, nullptr, nullptr, nullptr), GIF_TOO_LARGE);
    EXPECT_EQ(wrgif(fp, &pic, 2, 2, GIF_TABLES, px.data(), nullptr, px.data(), nullptr),
              GIF_NO_TABLES);
    EXPECT_EQ(wrgif(nullptr, &pic, 2, 2, 0, nullptr, nullptr, nullptr, nullptr), GIF_NO_STREAM);
    std::fclose(fp);
    EXPECT_EQ(slurp(path("r.gif")).size(), 0u);
}

// Up to 256 colours come back exactly, through netpbm and (at sizes it places) our loader, at
// sizes that fill the 4096-code table many times over and end on odd bit positions.
TEST_F(Gif, ExactColoursRoundTripThroughTwoDecoders)
{
    struct Case {
        int w, h, colours;
    } cases[] = {{1, 1, 1},       {3, 1, 2},     {17, 13, 4},   {257, 129, 16},
                 {640, 480, 256}, {1, 900, 200}, {701, 67, 255}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h));
        const std::vector<charu> px = palette(c.w, c.h, c.colours, unsigned(c.w * 31 + c.h));
        ASSERT_EQ(write("e.gif", px, c.w, c.h), GIF_OK);
        // The loader's default placement wants a picture of some size.
        if (c.w >= 64 && c.h >= 64) {
            EXPECT_EQ(loadRgb(path("e.gif"), c.w, c.h), px);
        }
        ASSERT_TRUE(sh("giftopnm " + path("e.gif") + " > " + path("e.ppm") + " 2>/dev/null"));
        EXPECT_EQ(tail(slurp(path("e.ppm")), px.size()), px);
    }
}

TEST_F(Gif, ExactMapIsSortedAnd257ColoursAreQuantised)
{
    std::vector<charu> px(50 * 40 * 3);
    for (std::size_t i = 0; i < 50 * 40; ++i) {
        const int c = int((i * 37) % 256);
        px[i * 3] = charu(c / 3);
        px[i * 3 + 1] = charu(255 - c);
        px[i * 3 + 2] = charu(c * 5);
    }
    charu r[256], g[256], b[256];
    charu* pic8 = nullptr;
    ASSERT_EQ(Conv24to8(px.data(), 50, 40, &pic8, r, g, b), QUANT_OK);
    for (int i = 1; i < 256; ++i)
        EXPECT_LT(r[i - 1] << 16 | g[i - 1] << 8 | b[i - 1], r[i] << 16 | g[i] << 8 | b[i]);
    for (std::size_t i = 0; i < 50 * 40; ++i) {
        const charu* p = &px[i * 3];
        ASSERT_TRUE(r[pic8[i]] == p[0] && g[pic8[i]] == p[1] && b[pic8[i]] == p[2]) << i;
    }
    std::free(pic8);
    int nc = 0;
    px.insert(px.end(), {1, 2, 3}); // a 257th colour
    std::vector<charu> idx(px.size() / 3);
    EXPECT_EQ(exactColourMap(px.data(), idx.size(), idx.data(), r, g, b, &nc), 1);
}

// A photograph through median cut and dithering: every index valid, errors small, and no
// worse on average than ImageMagick's own 256-colour Floyd-Steinberg result on the same image.
TEST_F(Gif, QuantisedPhotographStaysCloseToImageMagick)
{
    const int w = 320, h = 240;
    const std::vector<charu> px = photo(w, h, 11);
    ASSERT_EQ(write("p.gif", px, w, h), GIF_OK);
    const std::vector<charu> ours = loadRgb(path("p.gif"), w, h);
    ASSERT_EQ(ours.size(), px.size());
    auto errors = [&](const std::vector<charu>& q, double& mean, int& worst) {
        double sum = 0;
        worst = 0;
        for (std::size_t i = 0; i < px.size(); ++i) {
            const int d = std::abs(int(q[i]) - int(px[i]));
            sum += d;
            worst = std::max(worst, d);
        }
        mean = sum / double(px.size());
    };
    double mean = 0;
    int worst = 0;
    errors(ours, mean, worst);
    std::printf("\nours: mean %.3f max %d\n", mean, worst);
    EXPECT_LT(mean, 6.0);
    std::ofstream(path("p.ppm"), std::ios::binary) << "P6\n"
                                                   << w << " " << h << "\n255\n"
                                                   << std::string(px.begin(), px.end());
    if (!sh("MAGICK_THREAD_LIMIT=1 convert " + path("p.ppm") +
            " -dither FloydSteinberg -colors 256 " + path("m.gif") + " 2>/dev/null"))
        GTEST_SKIP() << "ImageMagick not usable";
    ASSERT_TRUE(sh("giftopnm " + path("m.gif") + " > " + path("m.ppm") + " 2>/dev/null"));
    const std::vector<charu> theirs = tail(slurp(path("m.ppm")), px.size());
    double mMean = 0;
    int mWorst = 0;
    errors(theirs, mMean, mWorst);
    std::printf("ImageMagick: mean %.3f max %d\n", mMean, mWorst);
    EXPECT_LE(mean, mMean * 1.05);
}

} // namespace
