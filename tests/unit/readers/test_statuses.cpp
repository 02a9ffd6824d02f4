// Reader statuses that the independent tools cannot provoke: files written here with the
// fields that matter (a minimal strip TIFF, a two-component JPEG, a palette PNG without its
// PLTE), and the header description of the HDR TIFF kinds whose loads wait for the
// accumulator. Also the first load into a reused block: nothing the block held shows.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <sys/resource.h>
#include <unistd.h>

#include "bufRecMgt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

class ReaderStatuses : public Readers {};

// One strip, little-endian, uncompressed. Tags with value 0 are left out. A file claiming
// more than it holds writes at most dataCap bytes of its strip.
struct tiffPlan {
    std::uint32_t w = 20, h = 18;
    std::uint16_t bits = 8, spp = 1, photometric = 1, sampleFormat = 0, compression = 1;
    std::uint32_t dataCap = UINT32_MAX;
};

void writeTiff(const std::string& path, const tiffPlan& t)
{
    std::vector<std::uint8_t> f;
    auto u16 = [&](std::uint32_t v) {
        f.push_back(std::uint8_t(v));
        f.push_back(std::uint8_t(v >> 8));
    };
    auto u32 = [&](std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    const std::uint32_t bitsPerRow = t.w * t.spp * t.bits;
    const std::uint32_t stripBytes = (bitsPerRow + 7) / 8 * t.h;
    struct tag {
        std::uint16_t id, type;
        std::uint32_t value;
    };
    // Sample data right after the 8-byte header; the directory after it (word aligned).
    const std::uint32_t dataOfs = 8;
    std::vector<tag> tags = {
        {256, 4, t.w},           {257, 4, t.h},           {258, 3, t.bits},
        {259, 3, t.compression}, {262, 3, t.photometric}, {273, 4, dataOfs},
        {277, 3, t.spp},         {278, 4, t.h},           {279, 4, stripBytes}};
    if (t.sampleFormat)
        tags.push_back({339, 3, t.sampleFormat});
    f.insert(f.end(), {'I', 'I', 42, 0});
    const std::uint32_t written = std::min(stripBytes, t.dataCap);
    const std::uint32_t ifd = (dataOfs + written + 1) & ~1u;
    u32(ifd);
    for (std::uint32_t i = 0; i < written; ++i)
        f.push_back(std::uint8_t(i * 37));
    while (f.size() < ifd)
        f.push_back(0);
    u16(std::uint32_t(tags.size()));
    for (const tag& g : tags) {
        u16(g.id);
        u16(g.type);
        u32(1);
        if (g.type == 3) {
            u16(g.value);
            u16(0);
        } else {
            u32(g.value);
        }
    }
    u32(0);
    // Padded to the kilobyte that format detection reads.
    f.resize(std::max<std::size_t>(f.size(), 1024), 0);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(std::fwrite(f.data(), 1, f.size(), out), f.size());
    std::fclose(out);
}

TEST_F(ReaderStatuses, TiffDepthsAndPaletteWithoutColourMap)
{
    fdes fd{};
    tiffPlan twelve;
    twelve.bits = 12;
    writeTiff(path("twelve.tif"), twelve);
    EXPECT_EQ(header(path("twelve.tif"), fd), TIF_BAD_BITS) << err;
    auto r = load("i=\"" + path("twelve.tif") + "\"");
    EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;

    // A packed palette file without its map: the library refuses to open it (its directory
    // lacks a required field), so the reader reports the open, never a garbage palette.
    tiffPlan packed;
    packed.bits = 4;
    packed.photometric = 3;
    writeTiff(path("nomap4.tif"), packed);
    const int st4 = header(path("nomap4.tif"), fd);
    EXPECT_TRUE(st4 == TIF_NO_OPEN || st4 == TIF_NO_COLORMAP) << st4;

    // An 8-bit one is taken by the library as grey; if it ever reaches the reader as a
    // palette file, the missing map is -9. Either way no palette is handed over.
    tiffPlan eight;
    eight.photometric = 3;
    writeTiff(path("nomap8.tif"), eight);
    int32 nAnc = -1;
    const int st8 = header(path("nomap8.tif"), fd, &nAnc);
    EXPECT_TRUE(st8 == TIF_NO_COLORMAP || (st8 == TIF_OK && fd.colorClass == CC_GREY))
        << st8 << " class " << int(fd.colorClass);
    EXPECT_EQ(nAnc, 0);
}

// YCbCr that the library does not turn into RGB: loading it would show chroma samples as
// colours, so the header refuses it.
TEST_F(ReaderStatuses, YCbCrTiffOtherThanJpegIsRefusedAtTheHeader)
{
    const struct {
        const char* name;
        std::uint16_t compression;
    } cases[] = {{"none", 1}, {"lzw", 5}, {"oldjpeg", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        tiffPlan y;
        y.spp = 3;
        y.photometric = 6;
        y.compression = c.compression;
        const std::string f = path(std::string(c.name) + ".tif");
        writeTiff(f, y);
        fdes fd{};
        const int st = header(f, fd);
        // An old-style JPEG file without its JPEG fields may already fail to open.
        EXPECT_TRUE(st == TIF_YCBCR || (c.compression == 6 && st == TIF_NO_OPEN)) << st << err;
        auto r = load("i=\"" + f + "\"");
        EXPECT_NE(r.status, 0);
        EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;
    }
}

TEST_F(ReaderStatuses, SignedSixteenAndDoubleTiffHeadersDescribeTheirSamples)
{
    fdes fd{};
    tiffPlan s16;
    s16.bits = 16;
    s16.spp = 3;
    s16.photometric = 2;
    s16.sampleFormat = 2; // signed
    writeTiff(path("s16.tif"), s16);
    ASSERT_EQ(header(path("s16.tif"), fd), TIF_OK) << err;
    // Widened to 32 bits in the getter so that negative values stay negative.
    EXPECT_EQ(fd.dataType, DT_INT32);
    EXPECT_EQ(fd.bytsPixl, 4);
    EXPECT_EQ(fd.quantiz, 16);
    EXPECT_EQ(fd.bands, 3);
    EXPECT_EQ(fd.slBytes, 4 * 3 * 20);
    EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);

    tiffPlan f64;
    f64.bits = 64;
    f64.sampleFormat = 3;
    writeTiff(path("f64.tif"), f64);
    ASSERT_EQ(header(path("f64.tif"), fd), TIF_OK) << err;
    EXPECT_EQ(fd.dataType, DT_FLOAT64);
    EXPECT_EQ(fd.bytsPixl, 8);
    EXPECT_EQ(fd.bands, 1);
    EXPECT_EQ(fd.slBytes, 8 * 20);
    EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);
    // Double samples reach the accumulator at single precision and render.
    auto r = load("i=\"" + path("f64.tif") + "\"");
    EXPECT_EQ(r.status, 0) << r.messages;

    // 64-bit integers are not read.
    tiffPlan i64;
    i64.bits = 64;
    writeTiff(path("i64.tif"), i64);
    EXPECT_EQ(header(path("i64.tif"), fd), TIF_BAD_BITS);
}

// A JPEG with two components (colour space unknown): libjpeg decodes it to two samples a
// pixel, which no conversion takes.
TEST_F(ReaderStatuses, TwoComponentJpegIsRefused)
{
    const std::string f = path("two.jpg");
    std::FILE* out = std::fopen(f.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    jpeg_compress_struct c{};
    jpeg_error_mgr e{};
    c.err = jpeg_std_error(&e);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, out);
    c.image_width = 40;
    c.image_height = 24;
    c.input_components = 2;
    c.in_color_space = JCS_UNKNOWN;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, JCS_UNKNOWN);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(40 * 2);
    for (std::size_t i = 0; i < row.size(); ++i)
        row[i] = JSAMPLE(i * 3);
    while (c.next_scanline < c.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(out);
    damage(f, path("two1k.jpg"), slurp(f).size()); // padded to the sniffed kilobyte

    fdes fd{};
    EXPECT_EQ(header(path("two1k.jpg"), fd), JPEG_TWO_COMPONENTS) << err;
    auto r = load("i=\"" + path("two1k.jpg") + "\"");
    EXPECT_NE(r.messages.find("17: "), std::string::npos) << r.messages;
    EXPECT_NE(r.messages.find("-4"), std::string::npos) << r.messages;
}

// libpng itself refuses a palette file whose PLTE is missing (an error on the header, -3):
// the reader's own -6 is then only its allocation failure.
TEST_F(ReaderStatuses, PalettePngWithoutPlteIsALibraryError)
{
    ASSERT_TRUE(sh("convert -size 32x20 gradient:red-blue -type Palette PNG8:" + path("p.png")));
    std::string png = slurp(path("p.png"));
    const std::size_t at = png.find("PLTE");
    ASSERT_NE(at, std::string::npos);
    // Length, type, data and CRC of the chunk go.
    const std::uint32_t len = std::uint32_t(std::uint8_t(png[at - 4])) << 24 |
                              std::uint32_t(std::uint8_t(png[at - 3])) << 16 |
                              std::uint32_t(std::uint8_t(png[at - 2])) << 8 |
                              std::uint8_t(png[at - 1]);
    png.erase(at - 4, 12 + len);
    std::FILE* out = std::fopen(path("noplte.png").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(png.data(), 1, png.size(), out);
    std::fclose(out);
    damage(path("noplte.png"), path("noplte1k.png"), png.size());
    fdes fd{};
    int32 nAnc = -1;
    const int st = header(path("noplte1k.png"), fd, &nAnc);
    EXPECT_TRUE(st == PNG_LIB_ERROR || st == PNG_BAD_PALETTE) << st << err;
    EXPECT_EQ(nAnc, 0);
}

// The first image of a buffer is written whole into the block (not filled first): a block kept
// from an earlier picture with alpha must not show through, the area around a placement is
// still cleared, and an image composed over an earlier one keeps that one's alpha.
TEST_F(ReaderStatuses, FirstLoadIntoAReusedBlockShowsNothingOfIt)
{
    writeNetpbm(path("a.pam"), pattern(40, 30, 4));
    ASSERT_TRUE(sh("convert " + path("a.pam") + " PNG32:" + path("a.png")));
    writeNetpbm(path("c.ppm"), pattern(40, 30, 3));
    const image rgb = pattern(40, 30, 3);

    ASSERT_EQ(load("i=\"" + path("a.png") + "\"").status, 0) << err;
    ASSERT_EQ(load("i=\"" + path("c.ppm") + "\"").status, 0) << err;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const int32u p = bufObjs[0].imgbuf[y * bufObjs[0].width + x];
            ASSERT_EQ(p >> 24, 0u) << x << "," << y;
        }
    EXPECT_TRUE(sameAs(rgb, 0, 0, 40, 30, false));

    loaddrv::reset();
    ASSERT_EQ(load("i=\"" + path("a.png") + "\"").status, 0) << err;
    ASSERT_EQ(load("BXY=8,6 i=\"" + path("c.ppm") + "\"").status, 0) << err;
    const image rgba = pattern(40, 30, 4);
    for (int y = 6; y < 30; ++y)
        for (int x = 8; x < 40; ++x) {
            const int32u p = bufObjs[0].imgbuf[y * bufObjs[0].width + x];
            ASSERT_EQ(p >> 24, rgba.px[(std::size_t(y) * 40 + x) * 4 + 3]) << x << "," << y;
        }
    EXPECT_TRUE(sameAs(rgb, 0, 0, 40 - 8, 30 - 6, false, 8, 6));

    loaddrv::reset();
    ASSERT_EQ(load("BXY=5,3 i=\"" + path("c.ppm") + "\"").status, 0) << err;
    const int w = bufObjs[0].width;
    ASSERT_EQ(w, 45);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 45; ++x) {
            if (x < 5 || y < 3) {
                ASSERT_EQ(bufObjs[0].imgbuf[y * w + x], 0u) << x << "," << y;
            }
        }
    EXPECT_TRUE(sameAs(rgb, 0, 0, 40, 30, false, 5, 3));
}

} // namespace
} // namespace rdtest

namespace rdtest {
namespace {

// Bytes changed at random in files of every library format: each load ends in a status,
// never in a crash, an overrun or an exit (run under the sanitisers).
TEST_F(ReaderStatuses, RandomDamageEndsInAStatus)
{
    writeNetpbm(path("src.pam"), pattern(40, 36, 4));
    writeNetpbm(path("src.ppm"), pattern(40, 36, 3));
    const std::string s = path("src");
    const struct {
        const char *name, *cmd;
    } makers[] = {
        {"f.png", "convert %s.pam PNG32:%o"},
        {"fi.png", "pnmtopng -interlace %s.ppm > %o 2>/dev/null"},
        {"f.jpeg", "convert %s.ppm -quality 80 JPEG:%o"},
        {"fp.jpeg", "convert %s.ppm -interlace Plane JPEG:%o"},
        {"f.tif", "convert %s.pam -compress lzw TIFF:%o"},
        {"ft.tif", "convert %s.ppm -compress none TIFF:%o.s && tiffcp -t -w 16 -l 16 %o.s %o"},
        {"fs.tif", "convert %s.ppm -compress none TIFF:%o.s && tiffcp -p separate %o.s %o"},
    };
    std::uint32_t x = 2463534242u;
    auto rnd = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (const auto& m : makers) {
        SCOPED_TRACE(m.name);
        const std::string f = path(m.name);
        std::string cmd = m.cmd;
        for (std::size_t p; (p = cmd.find("%s")) != std::string::npos;)
            cmd.replace(p, 2, s);
        for (std::size_t p; (p = cmd.find("%o")) != std::string::npos;)
            cmd.replace(p, 2, f);
        ASSERT_TRUE(sh(cmd)) << cmd;
        const std::string good = slurp(f);
        const std::string bad = path(std::string("bad.") + m.name);
        for (int iter = 0; iter < 40; ++iter) {
            std::string b = good;
            const int flips = 1 + int(rnd() % 6);
            for (int k = 0; k < flips; ++k)
                b[rnd() % b.size()] = char(rnd());
            if (rnd() % 4 == 0)
                b.resize(rnd() % b.size());
            b.resize(std::max<std::size_t>(b.size(), 1024), '\0');
            {
                std::FILE* out = std::fopen(bad.c_str(), "wb");
                ASSERT_NE(out, nullptr);
                std::fwrite(b.data(), 1, b.size(), out);
                std::fclose(out);
            }
            loaddrv::reset();
            // The buffer stays small whatever size the damaged header claims.
            load("COLS=20 ROWS=20 i=\"" + bad + "\"");
        }
    }
}

// A PNG of the given IHDR (grey) with one empty IDAT: the header reads, the pixels are missing.
std::string pngClaiming(std::uint32_t w, std::uint32_t h, int depth, bool interlaced = false)
{
    auto crc = [](const std::string& bytes) {
        std::uint32_t c = 0xFFFFFFFFu;
        for (unsigned char b : bytes) {
            c ^= b;
            for (int k = 0; k < 8; ++k)
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
        }
        return c ^ 0xFFFFFFFFu;
    };
    auto be32 = [](std::uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    auto chunk = [&](const std::string& type, const std::string& data) {
        return be32(std::uint32_t(data.size())) + type + data + be32(crc(type + data));
    };
    const std::string ihdr =
        be32(w) + be32(h) + char(depth) + std::string(3, '\0') + char(interlaced ? 1 : 0);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", "") +
           chunk("IEND", "");
}

void writeBytes(const std::string& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// Address space this process holds now, from /proc (0 when unknown).
std::uint64_t addressSpaceInUse()
{
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmSize:") {
            std::uint64_t kb = 0;
            in >> kb;
            return kb * 1024;
        }
        in.ignore(1 << 16, '\n');
    }
    return 0;
}

// In a child: 0 when the file's load ends with a memory refusal (error 33) while the address
// space has 1 GiB to spare and the guard hears of 4 GiB free; 1 otherwise.
int refusedWithoutPixelMemory(const std::string& file)
{
    const rlim_t room = addressSpaceInUse() + (rlim_t(1) << 30);
    const rlimit lim{room, room};
    setrlimit(RLIMIT_AS, &lim);
    alarm(60);
    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = std::uint64_t(4) << 30;
        swap = 0;
        return true;
    });
    const loaddrv::Result r = loaddrv::runCommand("i=\"" + file + "\"", 0);
    if (r.status == 4 && r.messages.find("33: ") != std::string::npos)
        return 0;
    std::fprintf(stderr, "status %d: %s", r.status, r.messages.c_str());
    return 1;
}

// Small HDR files claiming pictures of several gigabytes: the header is valid, so it is the
// memory guard that must refuse the pixel block, before anything of it is taken. Each load
// runs in a child with 1 GiB of address space to spare while the guard hears of 4 GiB, so a
// load that took the block (or the accumulator's rows at that size) first would not end with
// the guard's error 33 within the alarm.
TEST_F(ReaderStatuses, HugeHdrClaimsEndWithAMemoryRefusal)
{
    writeBytes(path("claim16.png"), pngClaiming(46341, 46341, 16));
    writeBytes(path("claim16.pgm"), "P5\n46341 46341\n65535\n" + std::string(1024, '\0'));
    tiffPlan t;
    t.w = t.h = 40000;
    t.bits = 16;
    t.dataCap = 64;
    writeTiff(path("claim16.tif"), t);
    for (const char* name : {"claim16.png", "claim16.pgm", "claim16.tif"}) {
        SCOPED_TRACE(name);
        const std::string f = path(name);
        EXPECT_EXIT(std::_Exit(refusedWithoutPixelMemory(f)), ::testing::ExitedWithCode(0), "");
    }
}

// An interlaced PNG is assembled whole before its first row: a small region of a huge one
// needs a small buffer but the whole picture's rows, which the guard refuses as a memory
// refusal before anything is taken.
TEST_F(ReaderStatuses, WorkMemoryOfAHugeInterlacedPngIsRefusedUpFront)
{
    writeBytes(path("claim8i.png"), pngClaiming(46341, 46341, 8, true));
    fdes fd{};
    ASSERT_EQ(header(path("claim8i.png"), fd), PNG_OK) << err;
    EXPECT_EQ(fd.workMem, 46341ull * 46341ull + 46341ull * sizeof(charu*));
    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = std::uint64_t(1) << 30;
        swap = 0;
        return true;
    });
    const auto r = load("COLS=100 ROWS=100 i=\"" + path("claim8i.png") + "\"");
    setFreeMemSource(nullptr);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.messages.find("33: "), std::string::npos) << r.messages;
    EXPECT_NE(err.find("Unsafe Memory request"), std::string::npos) << err;
    EXPECT_EQ(bufObjs[0].imgbuf, nullptr) << "no pixel block was taken";
}

} // namespace
} // namespace rdtest
