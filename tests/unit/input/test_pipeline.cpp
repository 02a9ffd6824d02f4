// The scanline pipeline: regions, placement, flip/mirror, band selection, colour swap,
// de-resolution, the HDR row, and the argument checks of its entry points.
#include <gtest/gtest.h>

#include <cstring>

#include "input_fixture.h"

using namespace tavtest;

namespace {

constexpr int W = 160, H = 160;

// Sample b of file pixel (x, y) in the RGB test image: distinct per band and position.
std::uint8_t sample(int x, int y, int b)
{
    return static_cast<std::uint8_t>(x * 7 + y * 13 + b * 71);
}

const std::string& rgbFile()
{
    static const std::string path = [] {
        std::vector<std::uint16_t> s;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                for (int b = 0; b < 3; ++b)
                    s.push_back(sample(x, y, b));
        writePnm(tmpPath("pipe.ppm"), W, H, 3, 255, s);
        return tmpPath("pipe.ppm");
    }();
    return path;
}

const std::string& greyFile(int w, int h)
{
    static std::string path;
    path = tmpPath("grey" + std::to_string(w) + "x" + std::to_string(h) + ".pgm");
    std::vector<std::uint16_t> s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.push_back(static_cast<std::uint16_t>((x * 31 + y * 17) & 0xFF));
    writePnm(path, w, h, 1, 255, s);
    return path;
}

std::uint8_t greyAt(int x, int y)
{
    return static_cast<std::uint8_t>((x * 31 + y * 17) & 0xFF);
}

// The rows (or columns) of input that make output j when `in` reduce to `out`.
std::pair<int, int> run(int j, int in, int out)
{
    auto start = [&](int k) { return int((std::int64_t(k) * in + out - 1) / out); };
    return {start(j), start(j + 1)};
}

} // namespace

TEST(ScanlinePipeline, RegionPlacementFlipMirror)
{
    struct {
        bool flip, mirr, r180;
    } modes[] = {
        {false, false, false}, {true, false, false}, {false, true, false}, {false, false, true}};
    for (const auto& m : modes) {
        loadTags t;
        t.fx = 10;
        t.fy = 20;
        t.cols = 50;
        t.rows = 40;
        t.bx = 3;
        t.by = 5;
        t.flip = m.flip;
        t.mirr = m.mirr;
        t.r180 = m.r180;
        t.fill = 0x11223344u;
        const auto r = runLoad(rgbFile(), t);
        ASSERT_EQ(r.load, 0);
        ASSERT_EQ(r.w, 53);
        ASSERT_EQ(r.h, 45);
        const bool fl = m.flip || m.r180, mi = m.mirr || m.r180;
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x) {
                if (x < 3 || y < 5) {
                    ASSERT_EQ(r.px[std::size_t(y) * r.w + x], 0x11223344u);
                    continue;
                }
                const int i = mi ? 49 - (x - 3) : x - 3;
                const int j = fl ? 39 - (y - 5) : y - 5;
                for (int g = 0; g < 3; ++g)
                    ASSERT_EQ(r.gun(x, y, g), sample(10 + i, 20 + j, g))
                        << x << "," << y << " flip " << fl << " mirr " << mi;
                ASSERT_EQ(r.gun(x, y, 3), 0x11);
            }
    }
}

TEST(ScanlinePipeline, BandSelectionAndColourSwap)
{
    struct {
        std::vector<int> bands;
        bool bgr;
        int gun;
        int expect[3]; // file band shown in R, G, B (-1: untouched)
    } cases[] = {
        {{}, false, -1, {0, 1, 2}},       {{}, true, -1, {2, 1, 0}},
        {{2}, false, -1, {1, 1, 1}},      {{3, 2, 1}, false, -1, {2, 1, 0}},
        {{3, 2, 1}, true, -1, {0, 1, 2}}, {{3}, false, 1, {-1, 2, -1}},
    };
    for (const auto& c : cases) {
        loadTags t;
        t.bands = c.bands;
        t.bgr = c.bgr;
        t.gun = c.gun;
        t.fill = 0xEEEEEEEEu;
        const auto r = runLoad(rgbFile(), t);
        ASSERT_EQ(r.init, 0);
        ASSERT_EQ(r.load, 0);
        for (int y = 0; y < H; y += 7)
            for (int x = 0; x < W; x += 3)
                for (int g = 0; g < 3; ++g)
                    ASSERT_EQ(r.gun(x, y, g), c.expect[g] < 0 ? 0xEE : sample(x, y, c.expect[g]))
                        << "case bands " << c.bands.size() << " gun " << g;
    }
    // A band the file does not have is refused before anything is read.
    loadTags t;
    t.bands = {4};
    EXPECT_EQ(runLoad(rgbFile(), t).init, VSL_BAD_BANDS);
}

TEST(ScanlinePipeline, HorizontalBoxAverageOfPairs)
{
    loadTags t;
    t.sx = 0.5;
    const auto r = runLoad(greyFile(1000, 16), t);
    ASSERT_EQ(r.load, 0);
    ASSERT_EQ(r.w, 500);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 500; ++x)
            ASSERT_EQ(r.gun(x, y, 0), (greyAt(2 * x, y) + greyAt(2 * x + 1, y)) / 2);
}

TEST(ScanlinePipeline, DeresolutionEmitsExactlyTheOutputSize)
{
    // 0.3 of 160 rows is 48 rows (repeated float steps make 47); each one is the integer
    // average of its run of input rows, and the last run ends on the last input row.
    struct {
        double sx, sy;
        int deres;
    } cases[] = {{1.0, 0.3, 0}, {0.3, 0.3, 0}, {0.7, 1.0, 0}, {1.0, 1.0, 2}, {0.0625, 0.0625, 0}};
    for (const auto& c : cases) {
        loadTags t;
        t.sx = c.sx;
        t.sy = c.sy;
        t.deres = c.deres;
        t.fill = 0x7F000000u;
        const auto r = runLoad(greyFile(W, H), t);
        ASSERT_EQ(r.init, 0);
        ASSERT_EQ(r.load, 0) << c.sx << " " << c.sy;
        const double fx = c.deres ? 0.25 : c.sx, fy = c.deres ? 0.25 : c.sy;
        const int oc = fx < 1.0 ? int(fx * W) : W, orr = fy < 1.0 ? int(fy * H) : H;
        ASSERT_EQ(r.w, oc);
        ASSERT_EQ(r.h, orr);
        for (int j = 0; j < orr; ++j) {
            const auto rows = fy < 1.0 ? run(j, H, orr) : std::pair<int, int>{j, j + 1};
            for (int i = 0; i < oc; ++i) {
                const auto cols = fx < 1.0 ? run(i, W, oc) : std::pair<int, int>{i, i + 1};
                // Rows are averaged after the columns, each step in integers.
                unsigned rowSum = 0;
                for (int y = rows.first; y < rows.second; ++y) {
                    unsigned s = 0;
                    for (int x = cols.first; x < cols.second; ++x)
                        s += greyAt(x, y);
                    rowSum += s / unsigned(cols.second - cols.first);
                }
                ASSERT_EQ(r.gun(i, j, 0), rowSum / unsigned(rows.second - rows.first))
                    << "fx " << fx << " fy " << fy << " at " << i << "," << j;
            }
        }
    }
}

TEST(ScanlinePipeline, SubsamplerArguments)
{
    const double ok[2] = {0.5, 1.0}, both[2] = {0.5, 0.5}, tooBig[2] = {0.9995, 0.5};
    EXPECT_EQ(INI_SUBSAMPL(1, VSL_DERES_X, 100, 100, ok), 0); // SFACT=x,1
    EXPECT_EQ(SUBSMPL.outCols, 50);
    EXPECT_EQ(INI_SUBSAMPL(1, VSL_DERES_X | VSL_DERES_Y, 100, 100, ok), SUBS_ARGS);
    EXPECT_EQ(INI_SUBSAMPL(1, VSL_DERES_X, 15, 100, both), SUBS_ARGS);
    EXPECT_EQ(INI_SUBSAMPL(1, VSL_DERES_Y, 100, 15, both), SUBS_ARGS);
    EXPECT_EQ(INI_SUBSAMPL(5, VSL_DERES_Y, 100, 100, both), SUBS_ARGS);
    EXPECT_EQ(INI_SUBSAMPL(4, VSL_DERES_X | VSL_DERES_Y, 100, 100, tooBig), SUBS_ARGS);
    EXPECT_EQ(INI_SUBSAMPL(4, VSL_DERES_X | VSL_DERES_Y, 100, 100, both), 0);
    freeSubsampl();
    EXPECT_EQ(SUBSMPL.fx, 1.0);
}

TEST(ScanlinePipeline, BswapReversesEachSample)
{
    charu b[16];
    for (int i = 0; i < 16; ++i)
        b[i] = static_cast<charu>(i);
    BSWAP(b, 16, 2);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[1], 0);
    BSWAP(b, 16, 2);
    BSWAP(b, 16, 4);
    EXPECT_EQ(b[4], 7);
    EXPECT_EQ(b[7], 4);
    BSWAP(b, 16, 4);
    BSWAP(b, 16, 8);
    EXPECT_EQ(b[8], 15);
    EXPECT_EQ(b[15], 8);
    BSWAP(b, 16, 8);
    BSWAP(b, 15, 3); // other widths are left alone
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(b[i], i);
}

TEST(ScanlinePipeline, GeometryOutsideFileOrBufferIsRefused)
{
    // A region reaching past the file's last row, or a placement left of the buffer, would
    // read or write outside the file's rows or the pixel block.
    loadTags t;
    t.fy = 100;
    t.lRowsOverride = 61;
    EXPECT_EQ(runLoad(rgbFile(), t).init, VSL_BAD_GEOMETRY);
    t.lRowsOverride = 60;
    EXPECT_EQ(runLoad(rgbFile(), t).init, 0);
    t = {};
    t.bx = -4;
    EXPECT_EQ(runLoad(rgbFile(), t).init, VSL_BAD_GEOMETRY);
}

namespace {

std::vector<std::vector<float>> hdrRows;
int hdrHeaderCalls = 0, hdrEndCalls = 0;

const vslHdrSink testSink = {
    [] { return 0; },
    [](const fdes*, const bufdes*) {
        ++hdrHeaderCalls;
        return 0;
    },
    [](const float* row, int32 n) {
        const int per = VSL.fd->dBands;
        hdrRows.emplace_back(row, row + std::size_t(n) * per);
        return 0;
    },
    [] {
        ++hdrEndCalls;
        return 0;
    },
};

std::uint16_t hdrSample(int x, int y, int b)
{
    return static_cast<std::uint16_t>(x * 300 + y * 7 + b * 1000);
}

std::string hdrFile()
{
    std::vector<std::uint16_t> s;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 40; ++x)
            for (int b = 0; b < 3; ++b)
                s.push_back(hdrSample(x, y, b));
    writePnm(tmpPath("hdr.ppm"), 40, 32, 3, 65535, s);
    return tmpPath("hdr.ppm");
}

} // namespace

TEST(ScanlinePipeline, HdrLoadRefusedUntilAccumulatorExists)
{
    resetVsl();
    const auto r = runLoad(hdrFile());
    EXPECT_EQ(r.hdr, 0);
    EXPECT_EQ(r.fd.quantiz, 16);
    EXPECT_EQ(r.init, VSL_HDR_UNAVAILABLE);
    EXPECT_EQ(r.bufCtlm & bufLOADED, 0u);
}

TEST(ScanlinePipeline, HdrRowsCarrySelectedBandsDecimated)
{
    struct {
        std::vector<int> bands;
        bool bgr;
        double s;
        std::vector<int> expectBands;
    } cases[] = {
        {{}, false, 1.0, {0, 1, 2}},  {{}, true, 1.0, {2, 1, 0}},  {{2}, false, 1.0, {1}},
        {{3, 1}, false, 1.0, {2, 0}}, {{}, false, 0.5, {0, 1, 2}},
    };
    const std::string path = hdrFile();
    for (const auto& c : cases) {
        resetVsl();
        setVslHdrSink(&testSink);
        hdrRows.clear();
        hdrHeaderCalls = hdrEndCalls = 0;
        loadTags t;
        t.bands = c.bands;
        t.bgr = c.bgr;
        t.sx = t.sy = c.s;
        const auto r = runLoad(path, t);
        ASSERT_EQ(r.init, 0);
        ASSERT_EQ(r.load, 0);
        EXPECT_EQ(hdrHeaderCalls, 1);
        EXPECT_EQ(hdrEndCalls, 1);
        EXPECT_TRUE(r.bufCtlm & bufIS_HDR);
        const int oc = c.s < 1 ? 20 : 40, orr = c.s < 1 ? 16 : 32;
        ASSERT_EQ(int(hdrRows.size()), orr);
        const int nb = int(c.expectBands.size());
        for (int j = 0; j < orr; ++j) {
            ASSERT_EQ(int(hdrRows[std::size_t(j)].size()), oc * nb);
            const int y = c.s < 1 ? 2 * j + 1 : j; // decimation keeps the last of each pair
            for (int i = 0; i < oc; ++i) {
                const int x = c.s < 1 ? 2 * i + 1 : i;
                for (int k = 0; k < nb; ++k)
                    ASSERT_EQ(hdrRows[std::size_t(j)][std::size_t(i * nb + k)],
                              float(hdrSample(x, y, c.expectBands[std::size_t(k)])));
            }
        }
    }
    resetVsl();
}
