// GENERIC reader: PNM headers (8 and 16 bits), the raw 18-byte layout, and pixel-exact loads.
#include <gtest/gtest.h>

#include <string>

#include "input_fixture.h"

using namespace tavtest;

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

loadResult loadBytes(const std::string& name, const std::vector<std::uint8_t>& bytes,
                     const loadTags& t = {})
{
    writeFile(tmpPath(name), bytes);
    return runLoad(tmpPath(name), t);
}

std::vector<std::uint16_t> pattern(int n, int seed, int maxval)
{
    std::vector<std::uint16_t> v(static_cast<std::size_t>(n));
    std::uint32_t x = 2463534242u + std::uint32_t(seed);
    for (auto& s : v) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        s = static_cast<std::uint16_t>(x % (std::uint32_t(maxval) + 1));
    }
    return v;
}

} // namespace

TEST(PnmReader, HeaderFieldsFor8And16BitFiles)
{
    struct {
        const char* head;
        int bands, bytes, quantiz, dataType;
        std::uint64_t dataOfs;
        bool hdr;
    } cases[] = {
        {"P6\n640 480\n255\n", 3, 1, 8, DT_BYTE, 15, false},
        {"P5 4 4 65535\n", 1, 2, 16, DT_INT16, 13, true},
        {"P5\n4 4\n256\n", 1, 2, 9, DT_INT16, 11, true},
        {"P6\n4 4\n4095\n", 3, 2, 12, DT_INT16, 12, true},
        {"P5\n# made by a tool\n4 # width\n4\n255\n", 1, 1, 8, DT_BYTE, 36, false},
        {"P5\r\n4 4\r\n255\r\n", 1, 1, 8, DT_BYTE, 13, false},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = bytesOf(c.head);
        bytes.resize(bytes.size() + 640 * 480 * 3 * 2, 9);
        writeFile(tmpPath("h.pnm"), bytes);
        std::FILE* fp = std::fopen(tmpPath("h.pnm").c_str(), "rb");
        ides id;
        initIdes(&id);
        bufdes b{};
        b.imgDes = &id;
        int32 n = 0;
        charu* anc[4];
        ASSERT_EQ(GETHEADER(fp, &b, "h.pnm", &n, anc, false), 0) << c.head;
        const fdes& fd = id.fd[0];
        EXPECT_EQ(fd.format, FMT_GENERIC);
        EXPECT_EQ(fd.bands, c.bands) << c.head;
        EXPECT_EQ(fd.bytsPixl, c.bytes) << c.head;
        EXPECT_EQ(fd.quantiz, c.quantiz) << c.head;
        EXPECT_EQ(fd.dataType, c.dataType) << c.head;
        EXPECT_EQ(fd.dataOfs, c.dataOfs) << c.head;
        EXPECT_EQ(bool(fd.vslCtlm & vslIS_HDR), c.hdr) << c.head;
        EXPECT_EQ(bool(fd.vslCtlm & VSL_BSWAP), c.hdr) << c.head;
        EXPECT_EQ(fd.slBytes, int(fd.fCols) * c.bands * c.bytes);
        EXPECT_EQ(n, 0);
        std::fclose(fp);
    }
}

TEST(PnmReader, RefusesBadHeadersWithTheirStatus)
{
    struct {
        const char* head;
        int status;
    } cases[] = {
        {"P3\n4 4\n255\n", -1},
        {"P2\n4 4\n99999\n", -1},
        {"P5\n4 4\n70000\n", -3},
        {"P5\n4 4\n0\n", -3},
        {"P5\n0 4\n255\n", -1},
        {"P6\n4294967295 4294967295\n255\n", -1},
        {"P6\n1073741824 1\n255\n", -1},
        {"P5\n4 x\n255\n", -1},
        {"P5\n4 4\n255", -1},
        {"P5x4 4 255\n", -1},
        {"BMxxxxxxxxxxxxxxxxxxxxxxxxx", -1},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = bytesOf(c.head);
        bytes.resize(std::max<std::size_t>(bytes.size(), 12), 0);
        EXPECT_EQ(loadBytes("bad.pnm", bytes).hdr, c.status) << c.head;
    }
}

TEST(PnmReader, PixelsEqualToBlankAfterMaxvalAreKept)
{
    // The first samples are 32 (space) and 10 (line feed): they are pixels, not separators.
    std::vector<std::uint16_t> px(16 * 16, 200);
    px[0] = 32;
    px[1] = 10;
    px[2] = 13;
    writePnm(tmpPath("blank.pgm"), 16, 16, 1, 255, px);
    const auto r = runLoad(tmpPath("blank.pgm"));
    ASSERT_EQ(r.load, 0);
    EXPECT_EQ(r.gun(0, 0, 0), 32);
    EXPECT_EQ(r.gun(1, 0, 1), 10);
    EXPECT_EQ(r.gun(2, 0, 2), 13);
    EXPECT_EQ(r.gun(15, 15, 0), 200);
}

TEST(PnmReader, GreyAndRgbLoadExactly)
{
    const auto grey = pattern(37 * 29, 1, 255);
    writePnm(tmpPath("g.pgm"), 37, 29, 1, 255, grey);
    loadTags t;
    t.fill = 0xAB000000u; // alpha is not touched by grey or RGB conversion
    auto r = runLoad(tmpPath("g.pgm"), t);
    ASSERT_EQ(r.load, 0);
    for (int y = 0; y < 29; ++y)
        for (int x = 0; x < 37; ++x) {
            const std::uint8_t v = static_cast<std::uint8_t>(grey[std::size_t(y) * 37 + x]);
            ASSERT_EQ(r.px[std::size_t(y) * 37 + x], 0xAB000000u | v << 16 | v << 8 | v);
        }

    const auto rgb = pattern(41 * 23 * 3, 2, 255);
    writePnm(tmpPath("c.ppm"), 41, 23, 3, 255, rgb);
    // An independent decoder agrees with the file we wrote.
    ASSERT_TRUE(run("pnmtopng '" + tmpPath("c.ppm") + "' | pngtopnm > '" + tmpPath("c_ref.ppm") +
                    "' 2>/dev/null"));
    const raster ref = readPnm(tmpPath("c_ref.ppm"));
    r = runLoad(tmpPath("c.ppm"), t);
    ASSERT_EQ(r.load, 0);
    ASSERT_EQ(ref.w, 41);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 41; ++x)
            for (int g = 0; g < 3; ++g)
                ASSERT_EQ(r.gun(x, y, g), ref.at(x, y, g)) << x << "," << y;
    EXPECT_EQ(r.gun(0, 0, 3), 0xAB);
}

TEST(PnmReader, RawLayoutGreyAndRgb)
{
    for (int bpp : {8, 24}) {
        const int w = 20, h = 17, bands = bpp / 8;
        std::vector<std::uint8_t> bytes(18, 0);
        bytes[12] = w;
        bytes[14] = h;
        bytes[16] = static_cast<std::uint8_t>(bpp);
        const auto px = pattern(w * h * bands, 3, 255);
        for (auto s : px)
            bytes.push_back(static_cast<std::uint8_t>(s));
        const auto r = loadBytes("raw.dat", bytes);
        ASSERT_EQ(r.hdr, 0) << bpp;
        ASSERT_EQ(r.load, 0) << bpp;
        EXPECT_EQ(r.fd.bands, bands);
        EXPECT_EQ(r.fd.dataOfs, 18u);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                for (int g = 0; g < 3; ++g)
                    ASSERT_EQ(r.gun(x, y, g),
                              px[(std::size_t(y) * w + x) * bands + (bands == 3 ? g : 0)]);
    }
    std::vector<std::uint8_t> bad(64, 0);
    bad[12] = 20;
    bad[14] = 20;
    bad[16] = 16;
    EXPECT_EQ(loadBytes("raw16.dat", bad).hdr, -1);
    bad[16] = 24;
    bad[12] = 0;
    EXPECT_EQ(loadBytes("raw0.dat", bad).hdr, -1);
}

TEST(PnmReader, ShortFileFailsTheScanWithRowsKept)
{
    std::vector<std::uint16_t> px(32 * 32, 99);
    writePnm(tmpPath("short.pgm"), 32, 32, 1, 255, px);
    auto bytes = readFile(tmpPath("short.pgm"));
    ASSERT_GT(bytes.size(), 400u);
    bytes.erase(bytes.end() - (32 * 10 + 5), bytes.end()); // 21 whole rows, then part of one
    const auto r = loadBytes("short2.pgm", bytes);
    EXPECT_EQ(r.hdr, 0);
    EXPECT_EQ(r.init, 0);
    EXPECT_EQ(r.load, LOAD_SCAN);
    EXPECT_EQ(r.gun(5, 20, 0), 99);
    EXPECT_EQ(r.gun(5, 22, 0), 0);
}
