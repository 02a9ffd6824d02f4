// JPEG 2000 reader: files made by opj_compress from pictures written here, loads compared with
// opj_decompress's decode of the same file (whole, regions with -d, resolution levels with -r);
// high-depth files as HDR samples; refused, fallback and damaged files.
#include <cstdint>
#include <fstream>
#include <sstream>

#include "bufRecMgt.h"
#include "fcrypt.h"
#include "folio_utl.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

constexpr int W = 75, H = 70; // odd sizes: partial code-blocks and uneven reductions

// A netpbm file as opj_decompress writes it (comment lines, 8 or 16 bits); samples widened.
struct samples {
    int w = 0, h = 0, bands = 0, maxval = 0;
    std::vector<int> v;
};
samples readPnm(const std::string& path)
{
    samples s;
    std::istringstream in(slurp(path));
    std::string magic, tok;
    in >> magic;
    auto next = [&in]() {
        std::string t;
        while (in >> t && t[0] == '#')
            in.ignore(1 << 20, '\n');
        return t;
    };
    if (magic == "P7") {
        for (std::string key = next(); !key.empty() && key != "ENDHDR"; key = next()) {
            if (key == "WIDTH")
                in >> s.w;
            else if (key == "HEIGHT")
                in >> s.h;
            else if (key == "DEPTH")
                in >> s.bands;
            else if (key == "MAXVAL")
                in >> s.maxval;
            else
                in.ignore(1 << 20, '\n');
        }
    } else if (magic == "P5" || magic == "P6") {
        s.bands = magic == "P5" ? 1 : 3;
        s.w = std::stoi(next());
        s.h = std::stoi(next());
        s.maxval = std::stoi(next());
    } else {
        return {};
    }
    in.get();
    const std::size_t n = std::size_t(s.w) * s.h * s.bands;
    for (std::size_t i = 0; i < n && in; ++i) {
        int a = in.get();
        if (s.maxval > 255)
            a = a << 8 | in.get();
        s.v.push_back(a);
    }
    if (!in || s.v.size() != n)
        return {};
    return s;
}

image toImage(const samples& s)
{
    image im{s.w, s.h, s.bands, {}};
    for (int a : s.v)
        im.px.push_back(std::uint8_t(a));
    return im;
}

// A 16-bit-container PNM (maxval gives the depth opj_compress encodes).
void writePnm16(const std::string& path, const samples& s)
{
    std::ofstream f(path, std::ios::binary);
    f << (s.bands == 1 ? "P5\n" : "P6\n") << s.w << " " << s.h << "\n" << s.maxval << "\n";
    for (int a : s.v)
        f.put(char(a >> 8)).put(char(a & 255));
}

class J2kReader : public Readers {
protected:
    void SetUp() override
    {
        Readers::SetUp();
        if (!sh("command -v opj_compress >/dev/null && command -v opj_decompress >/dev/null"))
            GTEST_SKIP() << "opj_compress / opj_decompress not installed";
    }
    // opj_compress of `src` into `name` with the given options.
    std::string make(const std::string& src, const std::string& name, const std::string& opts = "")
    {
        const std::string out = path(name);
        EXPECT_TRUE(sh("opj_compress -i '" + src + "' -o '" + out + "' " + opts + " >/dev/null"))
            << name;
        return out;
    }
    // opj_decompress of `file` with the given options (-d region, -r levels).
    samples decode(const std::string& file, const std::string& opts, bool grey)
    {
        const std::string out =
            path(std::string("ref") + std::to_string(refs++) + (grey ? ".pgm" : ".ppm"));
        if (!sh("opj_decompress -i '" + file + "' -o '" + out + "' " + opts + " >/dev/null"))
            return {};
        return readPnm(out);
    }
    // The Loader accumulator's bands after an HDR load, as integers (layout 2: band planes).
    std::vector<std::vector<int>> accumulated()
    {
        sbuffBands out;
        std::vector<std::vector<int>> bands;
        if (READ_sBUFF_BANDS(1, out) != 0 && READ_sBUFF_BANDS(2, out) != 0)
            return bands;
        for (int b = 0; b < out.nBands; ++b) {
            bands.emplace_back();
            for (std::size_t i = 0; i < std::size_t(out.cols) * out.rows; ++i)
                bands.back().push_back(int(out.block[b].get()[i]));
        }
        return bands;
    }
    int refs = 0;
};

TEST_F(J2kReader, LoadsRegionsAndLevelsMatchTheIndependentDecoder)
{
    writeNetpbm(path("src.pgm"), pattern(W, H, 1));
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    writeNetpbm(path("src.pam"), pattern(W, H, 4));
    const struct {
        const char* name;
        const char* src;
        const char* opts;
        bool grey, alpha;
    } cases[] = {
        {"grey.jp2", "src.pgm", "", true, false},
        {"rgb.jp2", "src.ppm", "", false, false},
        {"rgba.jp2", "src.pam", "", false, true},
        {"lossy.jp2", "src.ppm", "-r 10", false, false},
        {"tiled.jp2", "src.ppm", "-t 32,32 -n 3", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string f = make(path(c.src), c.name, c.opts);
        const image whole = toImage(decode(f, "", c.grey));
        ASSERT_EQ(whole.w, W);
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(whole, 0, 0, W, H, c.alpha));

        // Regions: one with an origin, and one at 0,0 narrower and shorter than the picture.
        const struct {
            int x, y, w, h;
        } regions[] = {{19, 17, 30, 20}, {0, 0, 33, 25}};
        for (const auto& g : regions) {
            const image part =
                toImage(decode(f,
                               "-d " + std::to_string(g.x) + "," + std::to_string(g.y) + "," +
                                   std::to_string(g.x + g.w) + "," + std::to_string(g.y + g.h),
                               c.grey));
            loaddrv::reset();
            r = load("FXY=" + std::to_string(g.x) + "," + std::to_string(g.y) + " COLS=" +
                     std::to_string(g.w) + " ROWS=" + std::to_string(g.h) + " i=\"" + f + "\"");
            ASSERT_EQ(r.status, 0) << r.messages << err;
            EXPECT_EQ(bufObjs[0].width, g.w);
            EXPECT_EQ(bufObjs[0].height, g.h);
            EXPECT_TRUE(sameAs(part, 0, 0, g.w, g.h, c.alpha)) << g.x << "," << g.y;
        }

        // DERES is the codec's own reduction, applied once: 75 x 70 at level 2 is 19 x 18.
        const image reduced = toImage(decode(f, "-r 2", c.grey));
        ASSERT_EQ(reduced.w, 19);
        loaddrv::reset();
        r = load("DERES=2 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_EQ(bufObjs[0].width, 19);
        EXPECT_EQ(bufObjs[0].height, 18);
        EXPECT_TRUE(sameAs(reduced, 0, 0, 19, 18, c.alpha));
    }
}

// Colour rows reach the guns in true colours; BGRtoRGB exchanges red and blue; a gun or a
// band list takes just the named components; composed onto a picture, the alpha stays. An
// encrypted copy loads like its plain file.
TEST_F(J2kReader, GunsAndBandsTakeTheNamedComponents)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    const std::string f = make(path("src.ppm"), "rgb.jp2");
    const image ref = toImage(decode(f, "", false));
    ASSERT_EQ(ref.w, W);
    const struct {
        const char* tags;
        int fromBand[3]; // component expected in red, green, blue (-1: unchanged, 0)
    } cases[] = {
        {"BGRtoRGB", {2, 1, 0}}, {"BAND=3,1,2", {2, 0, 1}},     {"BAND=2", {1, 1, 1}},
        {"GUN=G", {-1, 1, -1}},  {"BAND=1 GUN=B", {-1, -1, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tags);
        loaddrv::reset();
        const auto r = load(std::string(c.tags) + " i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        image want = ref;
        for (std::size_t i = 0; i < want.px.size(); i += 3)
            for (int k = 0; k < 3; ++k)
                want.px[i + k] = c.fromBand[k] < 0 ? 0 : ref.px[i + std::size_t(c.fromBand[k])];
        EXPECT_TRUE(sameAs(want, 0, 0, W, H, false));
    }

    // Composed onto a picture with alpha, a colour file replaces red, green and blue only.
    writeNetpbm(path("src.pam"), pattern(W, H, 4));
    const std::string fa = make(path("src.pam"), "rgba.jp2");
    image mixed = toImage(decode(fa, "", false));
    ASSERT_EQ(mixed.bands, 4);
    for (std::size_t i = 0; i < std::size_t(W) * H; ++i)
        for (int k = 0; k < 3; ++k)
            mixed.px[i * 4 + std::size_t(k)] = ref.px[i * 3 + std::size_t(k)];
    loaddrv::reset();
    ASSERT_EQ(load("i=\"" + fa + "\"").status, 0) << err;
    ASSERT_EQ(load("BXY=0,0 i=\"" + f + "\"").status, 0) << err;
    EXPECT_TRUE(sameAs(mixed, 0, 0, W, H, true));

    // An encrypted file loads from its decrypted copy, which has no name of its own.
    ASSERT_EQ(SETUSERKEY("'j2k phrase'"), 0);
    std::FILE* in = std::fopen(f.c_str(), "rb");
    std::string marked = f;
    ASSERT_EQ(cryptFile(in, nullptr, &marked, "'j2k phrase'", CRYPT_ENCRYPT), 0);
    std::fclose(in);
    ASSERT_EQ(marked, path("rgb#.jp2"));
    loaddrv::reset();
    ASSERT_EQ(SETUSERKEY("'j2k phrase'"), 0);
    const auto r = load("i=\"" + marked + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_TRUE(sameAs(ref, 0, 0, W, H, false));
}

TEST_F(J2kReader, DeepFilesLoadAsHdrSamples)
{
    for (const int depth : {12, 16}) {
        SCOPED_TRACE(depth);
        samples grey{W, H, 1, (1 << depth) - 1, {}}, rgb{W, H, 3, (1 << depth) - 1, {}};
        for (int i = 0; i < W * H; ++i) {
            grey.v.push_back((i * 977 + i / W * 31) % (grey.maxval + 1));
            for (int k = 0; k < 3; ++k)
                rgb.v.push_back((i * (k + 3) * 131 + k * 1000) % (rgb.maxval + 1));
        }
        writePnm16(path("g.pgm"), grey);
        writePnm16(path("c.ppm"), rgb);
        const std::string g = make(path("g.pgm"), "g" + std::to_string(depth) + ".jp2");
        const std::string c = make(path("c.ppm"), "c" + std::to_string(depth) + ".jp2");

        fdes fd{};
        ASSERT_EQ(header(g, fd), J2K_OK) << err;
        EXPECT_EQ(fd.quantiz, depth);
        EXPECT_EQ(fd.bytsPixl, 2);
        EXPECT_EQ(fd.dataType, DT_INT16);
        EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);

        // Whole grey picture, then a region of the colour one: the accumulator holds exactly
        // what the independent decoder gives.
        const samples gRef = decode(g, "", true);
        ASSERT_EQ(gRef.maxval, grey.maxval);
        loaddrv::reset();
        auto r = load("i=\"" + g + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        auto acc = accumulated();
        ASSERT_EQ(acc.size(), 1u);
        EXPECT_EQ(acc[0], gRef.v);

        const samples cRef = decode(c, "-d 9,11,59,41", false);
        ASSERT_EQ(cRef.w, 50);
        loaddrv::reset();
        r = load("FXY=9,11 COLS=50 ROWS=30 i=\"" + c + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        acc = accumulated();
        ASSERT_EQ(acc.size(), 3u);
        for (int k = 0; k < 3; ++k)
            for (int i = 0; i < 50 * 30; i += 7)
                ASSERT_EQ(acc[std::size_t(k)][std::size_t(i)], cRef.v[std::size_t(i * 3 + k)])
                    << "band " << k << " sample " << i;
    }
}

TEST_F(J2kReader, RefusedAndFallbackFiles)
{
    // Raw component planes, 70 x 52 (even, so that halved planes are whole).
    const int w = 70, h = 52;
    const std::string size = std::to_string(w) + "," + std::to_string(h);
    // Two components: refused in the header.
    std::string raw(std::size_t(w) * h * 2, '\0');
    for (std::size_t i = 0; i < raw.size(); ++i)
        raw[i] = char(i * 7);
    std::ofstream(path("two.raw"), std::ios::binary) << raw;
    const std::string two = make(path("two.raw"), "two.jp2", "-F " + size + ",2,8,u");
    fdes fd{};
    EXPECT_EQ(header(two, fd), J2K_UNSUPPORTED);
    EXPECT_NE(err.find("\n***J2K; Unsupported number of bands: 2"), std::string::npos) << err;

    // Subsampled chroma: one band, the full-size first component, after the warning.
    std::string sub;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            sub += char(x * 3 + y);
    sub += std::string(std::size_t(w / 2) * (h / 2) * 2, char(99));
    std::ofstream(path("sub.raw"), std::ios::binary) << sub;
    const std::string s = make(path("sub.raw"), "sub.jp2", "-F " + size + ",3,8,u@1x1:2x2:2x2");
    loaddrv::reset();
    auto r = load("i=\"" + s + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_NE(err.find("\n---J2K; Unequal Band dimensions not supported; reverting Band=0, "
                       "nBands=1"),
              std::string::npos)
        << err;
    image first{w, h, 1, std::vector<std::uint8_t>(sub.begin(), sub.begin() + w * h)};
    EXPECT_TRUE(sameAs(first, 0, 0, w, h, false));

    // A raw codestream has no signature box: the header refuses it.
    writeNetpbm(path("src.pgm"), pattern(W, H, 1));
    const std::string j2k = make(path("src.pgm"), "raw.j2k");
    EXPECT_NE(header(j2k, fd), J2K_OK);

    // More than 16 bits a sample: the depth byte of the codestream's size marker says 20.
    const std::string ok = make(path("src.pgm"), "deep.jp2");
    std::string data = slurp(ok);
    const std::size_t siz = data.find("\xFF\x51");
    ASSERT_NE(siz, std::string::npos);
    data[siz + 40] = char(19); // depth - 1
    std::ofstream(path("deep20.jp2"), std::ios::binary) << data;
    EXPECT_EQ(header(path("deep20.jp2"), fd), J2K_UNSUPPORTED);
    EXPECT_NE(err.find("\n***J2K; Unsupported bit depth: 20"), std::string::npos) << err;
}

// Damaged files end in a loader error or a picture, never in a crash or an overrun (the suite
// runs under AddressSanitizer); a header claiming a huge picture is refused before decoding.
TEST_F(J2kReader, DamagedFilesFailCleanly)
{
    writeNetpbm(path("src.ppm"), pattern(W, H, 3));
    const std::string f = make(path("src.ppm"), "rgb.jp2");
    const std::string data = slurp(f);
    const std::size_t body = data.find("\xFF\x90"); // first tile-part
    ASSERT_NE(body, std::string::npos);
    for (const std::size_t keep :
         {std::size_t(20), std::size_t(60), body - 10, body + 40, data.size() - 30}) {
        SCOPED_TRACE(keep);
        damage(f, path("cut.jp2"), keep);
        loaddrv::reset();
        EXPECT_NE(load("i=\"" + path("cut.jp2") + "\"").status, 0) << err;
    }
    for (std::size_t at = body - 30; at < data.size(); at += 37) {
        damage(f, path("flip.jp2"), data.size(), int(at));
        loaddrv::reset();
        load("i=\"" + path("flip.jp2") + "\""); // any outcome but a crash
    }

    // 60000 x 60000 in both the image header box and the codestream.
    std::string huge = data;
    auto put32 = [&huge](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            huge[at + std::size_t(i)] = char(v >> (24 - 8 * i));
    };
    const std::size_t ihdr = huge.find("ihdr"), siz = huge.find("\xFF\x51");
    put32(ihdr + 4, 60000);
    put32(ihdr + 8, 60000);
    put32(siz + 6, 60000);
    put32(siz + 10, 60000);
    put32(siz + 22, 60000); // one tile
    put32(siz + 26, 60000);
    std::ofstream(path("huge.jp2"), std::ios::binary) << huge;
    loaddrv::reset();
    const auto r = load("i=\"" + path("huge.jp2") + "\"");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.messages.find("33: "), std::string::npos) << r.messages;
}

} // namespace
} // namespace rdtest
