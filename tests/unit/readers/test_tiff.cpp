// TIFF reader: strips and tiles (with partial edge tiles), planes, palettes,
// packed and white-is-zero grey, compared pixel for pixel with ImageMagick's
// decode; headers of HDR and refused files; damaged files.
#include "bufRecMgt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

constexpr int W = 45, H = 39;

class TiffReader : public Readers {};

TEST_F(TiffReader, LayoutsMatchTheIndependentDecoderPixelForPixel)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    writeNetpbm(path("src.pam"), pattern(W, H, 4));
    writeNetpbm(path("src.pgm"), pattern(W, H, 1));
    const std::string d = dir;
    const struct {
        const char* name;
        std::string cmd;
        bool alpha;
    } cases[] = {
        {"strips", "convert " + d + "/src.ppm -compress none TIFF:%o", false},
        {"lzw", "convert " + d + "/src.ppm -compress lzw TIFF:%o", false},
        {"rgba", "convert " + d + "/src.pam -compress none TIFF:%o", true},
        {"grey", "convert " + d + "/src.pgm -compress none TIFF:%o", false},
        {"tiled",
         "convert " + d +
             "/src.ppm -compress none TIFF:%o.src.tif && tiffcp -t -w 16 -l 16 "
             "%o.src.tif %o",
         false},
        {"tiledlzw",
         "convert " + d +
             "/src.pam -compress none TIFF:%o.src.tif && tiffcp -c lzw -t -w 32 "
             "-l 16 %o.src.tif %o",
         true},
        {"planar",
         "convert " + d +
             "/src.ppm -compress none TIFF:%o.src.tif && tiffcp -p separate "
             "%o.src.tif %o",
         false},
        {"tiledplanar",
         "convert " + d +
             "/src.ppm -compress none TIFF:%o.src.tif && tiffcp -p separate -t "
             "-w 16 -l 16 %o.src.tif %o",
         false},
        // 8-bit colours, so that the 16-bit colour map holds them exactly.
        {"palette",
         "convert " + d +
             "/src.ppm -dither None -colors 100 PNG8:%o.png && convert %o.png "
             "-type Palette TIFF:%o",
         false},
        {"bilevel", "convert " + d + "/src.pgm -threshold 50% -type Bilevel TIFF:%o", false},
        {"miniswhite", "pnmtotiff -miniswhite " + d + "/src.pgm > %o 2>/dev/null", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = path(std::string(c.name) + ".tif");
        std::string cmd = c.cmd;
        for (std::size_t p; (p = cmd.find("%o")) != std::string::npos;)
            cmd.replace(p, 2, f);
        ASSERT_TRUE(sh(cmd)) << cmd;
        const image ref = magickRgba(f, W, H);
        ASSERT_FALSE(ref.px.empty());
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 0, 0, W, H, c.alpha));
        // A region starting inside a tile.
        loaddrv::reset();
        r = load("FXY=19,17 COLS=22 ROWS=20 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 19, 17, 22, 20, c.alpha));
    }
}

// JPEG-compressed YCbCr is stored subsampled: unless the codec converts it, rows and tiles
// hold chroma blocks, not pixels. Strips, several strips and tiles with partial edge tiles,
// each compared with ImageMagick's decode within what two JPEG decoders may differ by.
TEST_F(TiffReader, JpegYCbCrStripsAndTilesLoadAsRgb)
{
    ASSERT_TRUE(sh("convert -size " + std::to_string(W) + "x" + std::to_string(H) +
                   " -seed 7 plasma:fractal -depth 8 " + path("src.ppm") + " && convert " +
                   path("src.ppm") + " -compress none TIFF:" + path("src.tif")));
    const struct {
        const char* name;
        const char* opts;
    } cases[] = {{"strip", ""}, {"strips16", "-r 16"}, {"tiles", "-t -w 16 -l 16"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = path(std::string(c.name) + ".tif");
        ASSERT_TRUE(sh(std::string("tiffcp -c jpeg -p contig ") + c.opts + " " + path("src.tif") +
                       " " + f));
        ASSERT_NE(shOut("tiffinfo " + f).find("YCbCr"), std::string::npos);
        fdes fd{};
        ASSERT_EQ(header(f, fd), TIF_OK) << err;
        EXPECT_EQ(fd.bands, 3);
        EXPECT_EQ(fd.colorClass, CC_COLOR);
        EXPECT_EQ(fd.slBytes, 3 * W);
        const image ref = magickRgba(f, W, H);
        ASSERT_FALSE(ref.px.empty());
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 0, 0, W, H, false, 0, 0, 12));
        loaddrv::reset();
        r = load("FXY=19,17 COLS=22 ROWS=20 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 19, 17, 22, 20, false, 0, 0, 12));
    }
}

TEST_F(TiffReader, BandSelectionOnFourSampleRowsPicksTheNamedBands)
{
    writeNetpbm(path("src.pam"), pattern(W, H, 4));
    const std::string f = path("rgba.tif");
    ASSERT_TRUE(sh("convert " + path("src.pam") + " -compress none TIFF:" + f));
    const image ref = magickRgba(f, W, H);
    ASSERT_FALSE(ref.px.empty());
    const struct {
        const char* tag;
        int fromBand[3]; // file band (0-based) expected in red, green, blue
    } cases[] = {{"BAND=1", {0, 0, 0}}, {"BAND=3,2,1", {2, 1, 0}}, {"BAND=4,1,2,3", {3, 0, 1}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        loaddrv::reset();
        const auto r = load(std::string(c.tag) + " i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        image want = ref;
        for (std::size_t i = 0; i < want.px.size(); i += 4)
            for (int k = 0; k < 3; ++k)
                want.px[i + k] = ref.px[i + std::size_t(c.fromBand[k])];
        EXPECT_TRUE(sameAs(want, 0, 0, W, H, false));
    }
}

TEST_F(TiffReader, HeadersOfHdrAndRefusedFiles)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    fdes fd{};
    const std::string f16 = path("c16.tif");
    ASSERT_TRUE(sh("convert " + path("src.ppm") + " -depth 16 TIFF:" + f16));
    ASSERT_EQ(header(f16, fd), TIF_OK) << err;
    EXPECT_EQ(fd.dataType, DT_INT16);
    EXPECT_EQ(fd.bytsPixl, 2);
    EXPECT_EQ(fd.slBytes, 2 * 3 * W);
    EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);
    auto r = load("i=\"" + f16 + "\"");
    EXPECT_EQ(r.status, 0) << r.messages;

    const std::string ff = path("f32.tif");
    ASSERT_TRUE(sh("convert " + path("src.ppm") +
                   " -define quantum:format=floating-point -depth 32 -compress none "
                   "TIFF:" +
                   ff + " 2>/dev/null; test -s " + ff));
    ASSERT_EQ(header(ff, fd), TIF_OK) << err;
    EXPECT_EQ(fd.dataType, DT_FLOAT32);
    EXPECT_EQ(fd.slBytes, 4 * 3 * W);

    // 16-bit floats are refused rather than read as 4-byte floats.
    const std::string fh = path("f16.tif");
    ASSERT_TRUE(sh("convert " + path("src.ppm") +
                   " -define quantum:format=floating-point -depth 16 -compress none "
                   "TIFF:" +
                   fh + " 2>/dev/null; test -s " + fh));
    EXPECT_EQ(header(fh, fd), TIF_BAD_TYPE);

    // CMYK: the warning, then three bands read from four samples.
    const std::string fc = path("cmyk.tif");
    ASSERT_TRUE(sh("convert " + path("src.ppm") + " -colorspace CMYK TIFF:" + fc));
    ASSERT_EQ(header(fc, fd), TIF_OK) << err;
    EXPECT_NE(err.find("undefined Photometric tag: 5"), std::string::npos) << err;
    EXPECT_EQ(fd.bands, 3);
    r = load("i=\"" + fc + "\"");
    EXPECT_EQ(r.status, 0) << r.messages;
}

TEST_F(TiffReader, DamagedFilesFailWithTheLoaderError)
{
    writeNetpbm(path("src.ppm"), pattern(300, 200, 3));
    const std::string f = path("big.tif");
    ASSERT_TRUE(sh("convert " + path("src.ppm") + " -compress lzw TIFF:" + f));
    const std::size_t size = slurp(f).size();
    const std::string cut = path("cut.tif");
    damage(f, cut, size / 2);
    fdes fd{};
    const int st = header(cut, fd);
    auto r = load("i=\"" + cut + "\"");
    if (st == TIF_OK)
        EXPECT_NE(r.messages.find("46: "), std::string::npos) << r.messages;
    else
        EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;
    const std::string junk = path("junk.tif");
    damage(f, junk, 16);
    EXPECT_NE(header(junk, fd), TIF_OK);
}

} // namespace
} // namespace rdtest
