// GIF decoder: every pixel compared with the netpbm decoder on files made by netpbm,
// ImageMagick and a literal-code writer; colour tables, interlace, GIF2ALPHA and regions.
#include <gtest/gtest.h>

#include "input_fixture.h"

using namespace tavtest;

namespace {

// A picture of at most 216 colours (a 6x6x6 cube), made into a GIF by ppmtogif.
std::string cubePpm(const std::string& name, int w, int h)
{
    std::vector<std::uint16_t> s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int c = (x * 5 + y * 11 + (x * y) % 7) % 216;
            s.push_back(static_cast<std::uint16_t>((c / 36) * 51));
            s.push_back(static_cast<std::uint16_t>(((c / 6) % 6) * 51));
            s.push_back(static_cast<std::uint16_t>((c % 6) * 51));
        }
    writePnm(tmpPath(name), w, h, 3, 255, s);
    return tmpPath(name);
}

void expectSameAsReference(const std::string& gif, const loadResult& r, const loadTags& t = {})
{
    const raster ref = gifReference(gif);
    ASSERT_GT(ref.w, 0) << "reference decoder failed on " << gif;
    ASSERT_EQ(r.hdr, 0);
    ASSERT_EQ(r.init, 0);
    ASSERT_EQ(r.load, 0);
    for (int y = 0; y < int(r.fd.dRows); ++y)
        for (int x = 0; x < int(r.fd.dCols); ++x) {
            const int fx = t.fx + (t.mirr ? int(r.fd.dCols) - 1 - x : x);
            const int fy = t.fy + (t.flip ? int(r.fd.dRows) - 1 - y : y);
            for (int g = 0; g < 3; ++g)
                ASSERT_EQ(r.gun(t.bx + x, t.by + y, g), ref.at(fx, fy, g))
                    << gif << " at " << x << "," << y << " gun " << g;
        }
}

} // namespace

TEST(GifDecoder, NetpbmPaletteFilesPlainAndInterlaced)
{
    const std::string ppm = cubePpm("cube.ppm", 203, 131);
    for (const char* opt : {"", "-interlace"}) {
        const std::string gif = tmpPath(std::string("cube") + opt + ".gif");
        ASSERT_TRUE(
            run(std::string("ppmtogif ") + opt + " '" + ppm + "' > '" + gif + "' 2>/dev/null"));
        ASSERT_GT(readFile(gif).size(), 1024u);
        const auto r = runLoad(gif);
        EXPECT_EQ(r.fd.colorClass, CC_PALETTE);
        EXPECT_EQ(r.fd.interlaced, opt[0] ? 1 : 0);
        EXPECT_EQ(r.fd.compressed, 1);
        expectSameAsReference(gif, r);
    }
}

TEST(GifDecoder, RegionsFlipMirrorOnAnInterlacedFile)
{
    const std::string ppm = cubePpm("cube2.ppm", 120, 90);
    const std::string gif = tmpPath("cube2i.gif");
    ASSERT_TRUE(run("ppmtogif -interlace '" + ppm + "' > '" + gif + "' 2>/dev/null"));
    loadTags t;
    t.fx = 17;
    t.fy = 33;
    t.cols = 60;
    t.rows = 41;
    t.bx = 2;
    t.by = 9;
    for (int mode = 0; mode < 3; ++mode) {
        t.flip = mode == 1;
        t.mirr = mode == 2;
        expectSameAsReference(gif, runLoad(gif, t), t);
    }
}

TEST(GifDecoder, ImageMagickFileWithApplicationAndControlExtensions)
{
    const std::string ppm = cubePpm("cube3.ppm", 150, 100);
    const std::string gif = tmpPath("im.gif");
    // Two frames with -loop write a NETSCAPE application block; the transparent colour a
    // control block. Only the first frame is read.
    ASSERT_TRUE(run("convert '" + ppm + "' '" + ppm + "' -transparent 'rgb(0,0,0)' -loop 0 '" +
                    gif + "' 2>/dev/null"));
    const auto bytes = readFile(gif);
    const std::string text(bytes.begin(), bytes.end());
    ASSERT_NE(text.find("NETSCAPE2.0"), std::string::npos);
    expectSameAsReference(gif, runLoad(gif));
}

TEST(GifDecoder, Gif2AlphaLoadsIndicesOfTheTable)
{
    const std::string ppm = cubePpm("cube4.ppm", 64, 48);
    const std::string gif = tmpPath("alpha.gif");
    ASSERT_TRUE(
        run("ppmtogif -transparent=rgb:00/00/00 '" + ppm + "' > '" + gif + "' 2>/dev/null"));
    const auto withPal = runLoad(gif); // for the colour tables
    ASSERT_EQ(withPal.pal[0].size(), 256u);
    loadTags t;
    t.gif2alpha = true;
    t.fill = 0x00102030u;
    const auto r = runLoad(gif, t);
    ASSERT_EQ(r.load, 0);
    const raster ref = gifReference(gif);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) {
            const int idx = r.gun(x, y, 3);
            ASSERT_EQ(withPal.pal[0][std::size_t(idx)], ref.at(x, y, 0));
            ASSERT_EQ(withPal.pal[1][std::size_t(idx)], ref.at(x, y, 1));
            ASSERT_EQ(withPal.pal[2][std::size_t(idx)], ref.at(x, y, 2));
            ASSERT_EQ(r.px[std::size_t(y) * 64 + x] & 0xFFFFFFu, 0x102030u);
        }
}

TEST(GifDecoder, ColourTablesGreyRampLocalAndShort)
{
    const int w = 40, h = 30;
    std::vector<std::uint8_t> idx(std::size_t(w) * h);
    for (std::size_t i = 0; i < idx.size(); ++i)
        idx[i] = static_cast<std::uint8_t>((i * 37) % 256);
    std::vector<std::uint8_t> ramp, colours, other;
    for (int i = 0; i < 256; ++i) {
        ramp.insert(ramp.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
        colours.insert(colours.end(),
                       {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2)});
        other.insert(other.end(), {9, 9, 9});
    }

    // A ramp table loads as grey: the index is the level.
    gifPlan s{w, h, ramp, {}, false, idx, {}, 8};
    writeFile(tmpPath("ramp.gif"), makeGif(s));
    auto r = runLoad(tmpPath("ramp.gif"));
    EXPECT_EQ(r.fd.colorClass, CC_GREY);
    expectSameAsReference(tmpPath("ramp.gif"), r);

    // Only a local table; and a local table that overrides a different global one.
    for (const auto& global : {std::vector<std::uint8_t>{}, other}) {
        s = {w, h, global, colours, false, idx, {}, 8};
        writeFile(tmpPath("local.gif"), makeGif(s));
        r = runLoad(tmpPath("local.gif"));
        EXPECT_EQ(r.fd.colorClass, CC_PALETTE);
        expectSameAsReference(tmpPath("local.gif"), r);
    }

    // A two-entry black and white table keeps its colours (it is grey but not a ramp).
    std::vector<std::uint8_t> bw = {0, 0, 0, 255, 255, 255};
    std::vector<std::uint8_t> bits(idx.size());
    for (std::size_t i = 0; i < bits.size(); ++i)
        bits[i] = static_cast<std::uint8_t>(i % 3 == 0);
    s = {w, h, bw, {}, false, bits, {}, 8};
    writeFile(tmpPath("bw.gif"), makeGif(s));
    r = runLoad(tmpPath("bw.gif"));
    EXPECT_EQ(r.gun(0, 0, 0), 255);
    EXPECT_EQ(r.gun(1, 0, 0), 0);

    // Indices beyond a short table read black instead of memory past the table.
    std::vector<std::uint8_t> four(12, 200);
    s = {w, h, four, {}, false, idx, {}, 8};
    writeFile(tmpPath("short.gif"), makeGif(s));
    r = runLoad(tmpPath("short.gif"));
    ASSERT_EQ(r.load, 0);
    EXPECT_EQ(r.gun(0, 0, 0), 200); // index 0
    EXPECT_EQ(r.gun(1, 0, 0), 0);   // index 37
}

TEST(GifDecoder, InterlacedLiteralFileInDisplayOrder)
{
    const int w = 16, h = 37; // a height that leaves every pass uneven
    std::vector<std::uint8_t> display(std::size_t(w) * h), stored;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            display[std::size_t(y) * w + x] = static_cast<std::uint8_t>(y * 3 + x);
    const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < h; y += step[p])
            stored.insert(stored.end(), display.begin() + long(y * w),
                          display.begin() + long((y + 1) * w));
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    gifPlan s{w, h, ramp, {}, true, stored, {}, 8};
    writeFile(tmpPath("il.gif"), makeGif(s));
    const auto r = runLoad(tmpPath("il.gif"));
    ASSERT_EQ(r.load, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(r.gun(x, y, 1), display[std::size_t(y) * w + x]) << x << "," << y;
    expectSameAsReference(tmpPath("il.gif"), r);
}
