// PNG reader: every kind of PNG the reader takes, made by independent encoders
// and compared pixel for pixel with ImageMagick's decode; headers of refused
// and HDR files; damaged files.
#include "bufRecMgt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

constexpr int W = 37, H = 29;

class PngReader : public Readers {
protected:
    // The source pictures the encoders start from.
    void sources()
    {
        writeNetpbm(path("src.ppm"), pattern(W, H, 3));
        writeNetpbm(path("src.pam"), pattern(W, H, 4));
        writeNetpbm(path("src.pgm"), pattern(W, H, 1));
    }
    std::string make(const std::string& name, const std::string& cmd)
    {
        const std::string out = path(name);
        std::string c = cmd;
        for (std::size_t p; (p = c.find("%d")) != std::string::npos;)
            c.replace(p, 2, dir);
        for (std::size_t p; (p = c.find("%o")) != std::string::npos;)
            c.replace(p, 2, out);
        EXPECT_TRUE(sh(c)) << c;
        return out;
    }
};

struct pngCase {
    const char* name;
    const char* cmd; // %d the folder, %o the output
    bool alpha;
    int bands, depth, interlaced;
};

const pngCase kCases[] = {
    {"rgb8", "convert %d/src.ppm PNG24:%o", false, 3, 8, 0},
    {"rgba8", "convert %d/src.pam PNG32:%o", true, 4, 8, 0},
    {"grey8", "pnmtopng %d/src.pgm > %o 2>/dev/null", false, 1, 8, 0},
    {"grey4", "pamdepth 15 %d/src.pgm | pnmtopng > %o 2>/dev/null", false, 1, 4, 0},
    {"grey2", "pamdepth 3 %d/src.pgm | pnmtopng > %o 2>/dev/null", false, 1, 2, 0},
    {"grey1", "pamdepth 1 %d/src.pgm | pnmtopng > %o 2>/dev/null", false, 1, 1, 0},
    {"pal8", "convert %d/src.ppm -dither None -colors 200 PNG8:%o", false, 1, 8, 0},
    {"pal4", "pamdepth 1 %d/src.ppm | pnmtopng > %o 2>/dev/null", false, 1, 4, 0},
    {"rgb8i", "pnmtopng -interlace %d/src.ppm > %o 2>/dev/null", false, 3, 8, 1},
    {"rgba8i", "pamtopng -interlace %d/src.pam > %o 2>/dev/null", true, 4, 8, 1},
    {"pal4i", "pamdepth 1 %d/src.ppm | pnmtopng -interlace > %o 2>/dev/null", false, 1, 4, 1},
    {"grey2i", "pamdepth 3 %d/src.pgm | pnmtopng -interlace > %o 2>/dev/null", false, 1, 2, 1},
};

TEST_F(PngReader, EveryKindMatchesTheIndependentDecoderPixelForPixel)
{
    sources();
    for (const pngCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string f = make(std::string(c.name) + ".png", c.cmd);
        fdes fd{};
        ASSERT_EQ(header(f, fd, nullptr, true), PNG_OK) << err;
        EXPECT_EQ(fd.bands, c.bands);
        EXPECT_EQ(fd.quantiz, c.depth);
        EXPECT_EQ(bool(fd.vslCtlm & VSL_TILED), bool(c.interlaced));
        // Rows are delivered one byte per sample whatever the stored depth.
        EXPECT_EQ(fd.slBytes, W * c.bands);

        const image ref = magickRgba(f, W, H);
        ASSERT_FALSE(ref.px.empty());
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 0, 0, W, H, c.alpha));

        // A region inside the picture lands at the buffer origin.
        loaddrv::reset();
        r = load("FXY=5,7 COLS=20 ROWS=18 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 5, 7, 20, 18, c.alpha));
    }
}

TEST_F(PngReader, FourChannelRowsShowTrueColoursAndBgrTagSwapsRedAndBlue)
{
    sources();
    const std::string f = make("rgba.png", "convert %d/src.pam PNG32:%o");
    image ref = magickRgba(f, W, H);
    auto r = load("BGRtoRGB i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    for (std::size_t i = 0; i < ref.px.size(); i += 4)
        std::swap(ref.px[i], ref.px[i + 2]);
    EXPECT_TRUE(sameAs(ref, 0, 0, W, H, true));
}

// Band numbers name the file's bands (1 red ... 4 alpha), whatever order the reader hands
// its four-sample rows over in.
TEST_F(PngReader, BandSelectionOnFourChannelRowsPicksTheNamedBands)
{
    sources();
    const std::string f = make("rgba.png", "convert %d/src.pam PNG32:%o");
    const image ref = magickRgba(f, W, H);
    ASSERT_FALSE(ref.px.empty());
    struct bandCase {
        const char* tag;
        int fromBand[3]; // file band (0-based) expected in red, green, blue
    };
    const bandCase cases[] = {{"BAND=1", {0, 0, 0}},
                              {"BAND=3", {2, 2, 2}},
                              {"BAND=1,2,3", {0, 1, 2}},
                              {"BAND=3,2,1", {2, 1, 0}},
                              {"BAND=1,2,3,4", {0, 1, 2}}};
    for (const bandCase& c : cases) {
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

TEST_F(PngReader, HeadersDescribeThePaletteAndSixteenBitFiles)
{
    sources();
    fdes fd{};
    int32 n = 0;
    const std::string pal = make("p.png", "convert %d/src.ppm -dither None -colors 200 PNG8:%o");
    ASSERT_EQ(header(pal, fd, &n), PNG_OK);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(fd.colorClass, CC_PALETTE);
    EXPECT_EQ(fd.format, FMT_PNG);
    EXPECT_EQ(fd.compressed, 1);
    // Header-only (DUMPH) returns no tables.
    ASSERT_EQ(header(pal, fd, &n, true), PNG_OK);
    EXPECT_EQ(n, 0);

    const std::string g16 = make("g16.png", "convert %d/src.pgm -define png:bit-depth=16 PNG:%o");
    ASSERT_EQ(header(g16, fd), PNG_OK);
    EXPECT_EQ(fd.quantiz, 16);
    EXPECT_EQ(fd.bytsPixl, 2);
    EXPECT_EQ(fd.dataType, DT_INT16);
    EXPECT_EQ(fd.vslCtlm & (vslIS_HDR | VSL_BSWAP), vslIS_HDR | VSL_BSWAP);
    EXPECT_EQ(fd.slBytes, 2 * W);

    const std::string c16 = make("c16.png", "convert %d/src.pam -define png:bit-depth=16 PNG64:%o");
    ASSERT_EQ(header(c16, fd), PNG_OK);
    EXPECT_EQ(fd.bands, 4);
    EXPECT_EQ(fd.slBytes, 8 * W);
    EXPECT_EQ(fd.vslCtlm & VSL_RGB, VSL_RGB);

    // Both load through the scaling accumulator.
    auto r = load("i=\"" + g16 + "\"");
    EXPECT_EQ(r.status, 0) << r.messages;
    loaddrv::reset();
    r = load("i=\"" + c16 + "\"");
    EXPECT_EQ(r.status, 0) << r.messages;
}

TEST_F(PngReader, RefusedFilesGiveTheirStatus)
{
    sources();
    fdes fd{};
    const std::string ga =
        make("ga.png", "convert %d/src.pgm -alpha set -define png:color-type=4 %o");
    EXPECT_EQ(header(ga, fd), PNG_GREY_ALPHA);
    auto r = load("i=\"" + ga + "\"");
    EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("-4"), std::string::npos) << r.messages;

    const std::string narrow = make("n.png", "convert %d/src.ppm -crop 15x29+0+0 PNG24:%o");
    EXPECT_EQ(header(narrow, fd), PNG_BAD_IHDR);
    EXPECT_NE(err.find("png_get_IHDR() status: 1"), std::string::npos) << err;
    const std::string low = make("l.png", "convert %d/src.ppm -crop 37x15+0+0 PNG24:%o");
    EXPECT_EQ(header(low, fd), PNG_BAD_IHDR);
}

TEST_F(PngReader, DamagedFilesFailWithTheLoaderErrorAndNoCrash)
{
    writeNetpbm(path("big.ppm"), pattern(300, 200, 3));
    const std::string f = make("big.png", "convert %d/big.ppm PNG24:%o");
    const std::string fi = make("bigi.png", "pnmtopng -interlace %d/big.ppm > %o 2>/dev/null");
    const auto size = [](const std::string& p) { return slurp(p).size(); };

    // A bad IHDR checksum: libpng raises its error while the header is read.
    damage(f, path("crc.png"), size(f), 20);
    fdes fd{};
    EXPECT_EQ(header(path("crc.png"), fd), PNG_LIB_ERROR);
    auto r = load("i=\"" + path("crc.png") + "\"");
    EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;

    // Rows missing: the getter's error is the load's error 46.
    damage(f, path("cut.png"), size(f) / 2);
    r = load("i=\"" + path("cut.png") + "\"");
    EXPECT_NE(r.messages.find("46: "), std::string::npos) << r.messages;

    // Corrupt compressed data in the middle.
    damage(f, path("mid.png"), size(f), int(size(f) / 2));
    loaddrv::reset();
    r = load("i=\"" + path("mid.png") + "\"");
    EXPECT_NE(r.messages.find("46: "), std::string::npos) << r.messages;

    // An interlaced file is read whole by the initialiser: its failure is
    // INIT_VSL's (-4).
    damage(fi, path("cuti.png"), size(fi) / 2);
    loaddrv::reset();
    r = load("i=\"" + path("cuti.png") + "\"");
    EXPECT_NE(r.messages.find("18: "), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("-4"), std::string::npos) << r.messages;
}

} // namespace
} // namespace rdtest
