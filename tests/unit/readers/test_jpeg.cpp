// JPEG reader: grey, colour, CMYK and progressive files made by cjpeg and
// ImageMagick, compared pixel for pixel with djpeg's decode of the same file;
// refused and damaged files.
#include "bufRecMgt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

constexpr int W = 53, H = 41;

class JpegReader : public Readers {};

TEST_F(JpegReader, GreyColourCmykAndProgressiveMatchDjpeg)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    writeNetpbm(path("src.pgm"), pattern(W, H, 1));
    const struct {
        const char* name;
        std::string cmd;
        int bands;
    } cases[] = {
        {"colour", "cjpeg -quality 90 " + path("src.ppm"), 3},
        {"grey", "cjpeg " + path("src.pgm"), 1},
        {"progressive", "cjpeg -progressive -optimize " + path("src.ppm"), 3},
        {"restart", "cjpeg -restart 1 -sample 1x1 " + path("src.ppm"), 3},
        {"cmyk", "convert " + path("src.ppm") + " -colorspace CMYK jpg:-", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = path(std::string(c.name) + ".jpg");
        ASSERT_TRUE(sh(c.cmd + " > " + f));
        fdes fd{};
        ASSERT_EQ(header(f, fd), JPEG_OK) << err;
        EXPECT_EQ(fd.bands, c.bands);
        EXPECT_EQ(fd.slBytes, W * c.bands);
        EXPECT_EQ(fd.format, FMT_JPEG);
        const image ref = djpeg(f);
        ASSERT_EQ(ref.bands, c.bands);
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 0, 0, W, H, false));
        loaddrv::reset();
        r = load("FXY=9,3 COLS=30 ROWS=20 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 9, 3, 30, 20, false));
    }
}

TEST_F(JpegReader, BgrTagSwapsRedAndBlueOfColourRows)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    const std::string f = path("c.jpg");
    ASSERT_TRUE(sh("cjpeg " + path("src.ppm") + " > " + f));
    image ref = djpeg(f);
    for (std::size_t i = 0; i < ref.px.size(); i += 3)
        std::swap(ref.px[i], ref.px[i + 2]);
    auto r = load("BGRtoRGB i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_TRUE(sameAs(ref, 0, 0, W, H, false));
}

TEST_F(JpegReader, DamagedAndRefusedFilesGiveStatusesNotAnExit)
{
    writeNetpbm(path("src.ppm"), pattern(300, 200, 3));
    const std::string f = path("big.jpg");
    ASSERT_TRUE(sh("cjpeg -quality 95 " + path("src.ppm") + " > " + f));
    const std::size_t size = slurp(f).size();

    // The frame header damaged: the library's error becomes -3 and loader
    // error 17.
    const std::string bad = path("bad.jpg");
    damage(f, bad, 2, -1); // SOI, then zeros
    fdes fd{};
    EXPECT_EQ(header(bad, fd), JPEG_LIB_ERROR);
    auto r = load("i=\"" + bad + "\"");
    EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("-3"), std::string::npos) << r.messages;

    // Rows missing: the getter fails (-1) and the load reports error 46.
    const std::string cut = path("cut.jpg");
    damage(f, cut, size / 2);
    loaddrv::reset();
    r = load("i=\"" + cut + "\"");
    EXPECT_NE(r.messages.find("46: "), std::string::npos) << r.messages << err;
}

// A progressive file needs the library's whole coefficient store before the first row; its
// working memory is held to the memory guard's share, so a file too large for the machine is
// refused with a status instead of exhausting memory.
TEST_F(JpegReader, ProgressiveWorkingMemoryStaysWithinTheGuardsShare)
{
    writeNetpbm(path("src.ppm"), pattern(400, 300, 3));
    const std::string f = path("prog.jpg");
    ASSERT_TRUE(sh("cjpeg -progressive " + path("src.ppm") + " > " + f));
    fdes fd{};
    ASSERT_EQ(header(f, fd), JPEG_OK) << err;
    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = 200000; // well below the ~720 kB of coefficients of a 400 x 300 colour file
        swap = 0;
        return true;
    });
    fdes small{};
    const int st = header(f, small);
    setFreeMemSource(nullptr);
    EXPECT_EQ(st, JPEG_LIB_ERROR);
}

} // namespace
} // namespace rdtest
