// Hostile and damaged files of every format: the right status, and no access outside the
// reader's memory (the suite also runs under AddressSanitizer).
#include <gtest/gtest.h>

#include "input_fixture.h"
#include "vslReaders.h"

using namespace tavtest;

namespace {

std::vector<std::uint8_t> rampPal()
{
    std::vector<std::uint8_t> p;
    for (int i = 0; i < 256; ++i)
        p.insert(p.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i ^ 0x55)});
    return p;
}

std::vector<std::uint8_t> indices(int n)
{
    std::vector<std::uint8_t> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[std::size_t(i)] = static_cast<std::uint8_t>((i * 7 + i / 13) & 0xFF);
    return v;
}

loadResult loadBytes(const std::vector<std::uint8_t>& bytes, const loadTags& t = {})
{
    writeFile(tmpPath("hostile.bin"), bytes);
    return runLoad(tmpPath("hostile.bin"), t);
}

} // namespace

TEST(GifHostile, HeaderAndInitialiserStatuses)
{
    gifPlan s{32, 32, rampPal(), {}, false, indices(32 * 32), {}, 8};
    auto good = makeGif(s);
    EXPECT_EQ(loadBytes(good).load, 0);

    auto bad = good;
    bad[4] = '8'; // "GIF88a": found by content, refused by the reader
    bad.resize(2000, 0);
    std::copy(std::begin("GIF89a"), std::end("GIF89a") - 1, bad.begin() + 900);
    EXPECT_EQ(loadBytes(bad).hdr, GIF_SIGNATURE);

    // Trailer before any image; end of file inside an extension.
    std::vector<std::uint8_t> noImage = {'G', 'I', 'F',  '8',  '9', 'a', 1, 0, 1, 0, 0,
                                         0,   0,   0x21, 0xF9, 4,   1,   2, 3, 4, 0, 0x3B};
    EXPECT_EQ(loadBytes(noImage).hdr, GIF_NO_IMAGE);
    noImage.resize(17);
    EXPECT_EQ(loadBytes(noImage).hdr, GIF_NO_IMAGE);

    for (int size : {0, 13, 255}) {
        s.minCodeSize = size;
        EXPECT_EQ(loadBytes(makeGif(s)).init, VSL_GIF_INI) << size;
    }
    s.minCodeSize = 8;
    s.w = 0;
    EXPECT_EQ(loadBytes(makeGif(s)).hdr, GIF_BAD_SIZE);
}

TEST(GifHostile, CorruptCodeStreamsStopDecodingCleanly)
{
    const int w = 32, h = 32;
    // A first code above the clear code after a clear; a code beyond the next free one;
    // a code stream that ends without an end code.
    const std::vector<std::vector<int>> streams = {
        {256, 300, 300, 1, 2, 3, 257},
        {256, 1, 2, 3, 258, 259, 260, 261, 400, 5, 257},
        {256, 1, 2, 3, 256, 258, 4},
        {256, 258},
    };
    for (const auto& codes : streams) {
        gifPlan s{w, h, rampPal(), {}, false, {}, codes, 8};
        loadTags t;
        t.fill = 0x55555555u;
        const auto r = loadBytes(makeGif(s), t);
        EXPECT_EQ(r.hdr, 0);
        EXPECT_EQ(r.load, 0) << "damaged data do not fail the load";
    }
}

TEST(GifHostile, CodesAfterAFullTableStillDecode)
{
    const int w = 100, h = 50; // 5000 codes: the table fills after about 3840
    const auto idx = indices(w * h);
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 256; ++i)
        ramp.insert(ramp.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i)});
    gifPlan s{w, h, ramp, {}, false, idx, {}, 8};
    s.fullTable = true;
    const auto r = loadBytes(makeGif(s));
    ASSERT_EQ(r.load, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            ASSERT_EQ(r.gun(x, y, 0), idx[std::size_t(y) * w + x]) << x << "," << y;
}

TEST(AllFormatsHostile, TruncatedFilesEndWithAStatus)
{
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    {
        std::vector<std::uint16_t> px(60 * 40 * 3);
        for (std::size_t i = 0; i < px.size(); ++i)
            px[i] = static_cast<std::uint16_t>(i % 251);
        writePnm(tmpPath("t.ppm"), 60, 40, 3, 255, px);
        files.emplace_back("ppm", readFile(tmpPath("t.ppm")));
        px.resize(60 * 40);
        writePnm(tmpPath("t.pgm"), 60, 40, 1, 255, px);
        files.emplace_back("pgm", readFile(tmpPath("t.pgm")));
        std::vector<std::uint8_t> raw(18, 0);
        raw[12] = 60;
        raw[14] = 40;
        raw[16] = 24;
        raw.insert(raw.end(), 60 * 40 * 3, 7);
        files.emplace_back("raw", raw);
    }
    for (bool il : {false, true}) {
        gifPlan s{60, 40, rampPal(), {}, il, indices(60 * 40), {}, 8};
        files.emplace_back(il ? "gif interlaced" : "gif", makeGif(s));
    }
    for (const auto& [name, bytes] : files) {
        for (std::size_t len = 0; len < bytes.size(); len += (len < 64 ? 1 : 97)) {
            const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + long(len));
            const auto r = loadBytes(cut);
            if (len < 12) {
                ASSERT_EQ(r.hdr, HDR_READ_FAIL) << name << " " << len;
                continue;
            }
            if (r.hdr != 0)
                continue; // refused at the header
            ASSERT_EQ(r.init, 0) << name << " " << len;
            if (name.rfind("gif", 0) == 0)
                ASSERT_EQ(r.load, 0) << name << " " << len; // damaged data keep what decoded
            else
                ASSERT_EQ(r.load, LOAD_SCAN) << name << " " << len;
        }
    }
}

TEST(AllFormatsHostile, RandomDamageNeverEscapesTheReader)
{
    gifPlan s{48, 40, rampPal(), {}, false, indices(48 * 40), {}, 8};
    const auto gif = makeGif(s);
    s.interlaced = true;
    const auto gifIl = makeGif(s);
    std::vector<std::uint16_t> px(48 * 40 * 3, 33);
    writePnm(tmpPath("d.ppm"), 48, 40, 3, 255, px);
    const auto ppm = readFile(tmpPath("d.ppm"));
    std::uint32_t x = 12345;
    auto rnd = [&] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (const auto* src : {&gif, &gifIl, &ppm})
        for (int iter = 0; iter < 150; ++iter) {
            auto b = *src;
            const int flips = 1 + int(rnd() % 8);
            for (int k = 0; k < flips; ++k)
                b[rnd() % b.size()] = static_cast<std::uint8_t>(rnd());
            loadTags t;
            t.cols = 20; // the buffer stays small whatever size the damaged header claims
            t.rows = 20;
            const auto r = loadBytes(b, t);
            (void)r;
        }
}

TEST(AllFormatsHostile, HeaderClaimingGigapixelsIsReadOnlyAsFarAsItGoes)
{
    std::string head = "P6\n65535 65535\n255\n";
    // Built in one piece: GCC 12 at -O2 misreads a resize of the header copy as an overrun.
    std::vector<std::uint8_t> bytes(head.size() + 65535 * 3 * 2, 1);
    std::copy(head.begin(), head.end(), bytes.begin());
    loadTags t;
    t.cols = 16;
    t.rows = 100;
    const auto r = loadBytes(bytes, t);
    EXPECT_EQ(r.hdr, 0);
    EXPECT_EQ(r.fd.fCols, 65535u);
    EXPECT_EQ(r.load, LOAD_SCAN);
}
