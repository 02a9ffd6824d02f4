// WebP and AVIF readers on files made by the formats' own encoders (cwebp, img2webp, avifenc),
// compared with the formats' own decoders (dwebp, avifdec): whole-file loads decoded straight
// into the iBUFF and loads through the row pipeline give the same pixels; tags that change the
// pixels take the pipeline; animations, damaged files and replacing loads that fail.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "readers_fixture.h"
#include "vslReaders.h"

namespace rdtest {
namespace {

constexpr int W = 45, H = 39;

class WebpAvifReader : public Readers {
protected:
    void SetUp() override
    {
        Readers::SetUp();
        for (const char* tool : {"cwebp", "dwebp", "img2webp", "avifenc", "avifdec"})
            if (!sh(std::string("command -v ") + tool + " >/dev/null"))
                GTEST_SKIP() << tool << " is not installed";
        writeNetpbm(path("rgb.ppm"), pattern(W, H, 3));
        writeNetpbm(path("rgba.pam"), pattern(W, H, 4));
        ASSERT_TRUE(sh("convert " + path("rgb.ppm") + " " + path("rgb.png") + " && convert " +
                       path("rgba.pam") + " PNG32:" + path("rgba.png")));
    }
    /// Makes `name` with `cmd` (%i the input, %o the output); its path.
    std::string make(const std::string& name, std::string cmd, const std::string& in)
    {
        const std::string out = path(name);
        for (std::size_t p; (p = cmd.find("%o")) != std::string::npos;)
            cmd.replace(p, 2, out);
        for (std::size_t p; (p = cmd.find("%i")) != std::string::npos;)
            cmd.replace(p, 2, path(in));
        EXPECT_TRUE(sh(cmd + " >/dev/null 2>&1")) << cmd;
        return out;
    }
    /// The independent decoder's picture as RGBA.
    image reference(const std::string& file)
    {
        const bool webp = file.size() > 5 && file.substr(file.size() - 5) == ".webp";
        const std::string png = file + ".ref.png";
        if (!sh((webp ? "dwebp -quiet '" + file + "' -o '" : "avifdec '" + file + "' '") + png +
                "' >/dev/null 2>&1"))
            return {};
        return magickRgba(png, W, H);
    }
    /// Loads the whole file straight through the pipeline's calls into a fresh block of its
    /// size, as a first load does; whether the reader decoded into the block directly.
    bool directLoad(const std::string& file, std::vector<int32u>& px)
    {
        static ides id;
        initIdes(&id);
        bufdes b{};
        b.imgDes = &id;
        px.assign(std::size_t(W) * H, 0x5A5A5A5Au);
        std::FILE* fp = std::fopen(file.c_str(), "rb");
        charu* anc[4] = {};
        int32 n = 0;
        testing::internal::CaptureStderr();
        EXPECT_EQ(GETHEADER(fp, &b, file.c_str(), &n, anc, false), 0);
        fdes* fd = &id.fd[0];
        fd->vslCtlm |= VSL_RGB;
        fd->dBands = fd->bands;
        for (int k = 0; k < fd->bands; ++k)
            fd->Bands[k] = std::int16_t(k + 1);
        fd->lCols = fd->dCols = fd->fCols;
        fd->lRows = fd->dRows = fd->fRows;
        fd->deres[0] = fd->deres[1] = 1.0;
        b.imgbuf = px.data();
        b.width = W;
        b.height = H;
        EXPECT_EQ(INIT_VSL(fp, &b, anc, n), 0);
        const bool direct = fd->vslCtlm & VSL_DIRECT;
        EXPECT_EQ(IMAGE_LOAD(), 0);
        FREE_VSL();
        err = testing::internal::GetCapturedStderr();
        return direct;
    }
    static ::testing::AssertionResult samePixels(const std::vector<int32u>& px, const image& ref,
                                                 bool withAlpha, int tolerance)
    {
        for (int i = 0; i < W * H; ++i)
            for (int k = 0; k < (withAlpha ? 4 : 3); ++k) {
                const int got = int((px[std::size_t(i)] >> (8 * (k == 3 ? 3 : 2 - k))) & 255);
                const int want = ref.px[std::size_t(i) * 4 + std::size_t(k)];
                if (std::abs(got - want) > tolerance)
                    return ::testing::AssertionFailure()
                           << "pixel " << i % W << "," << i / W << " sample " << k << ": " << got
                           << " != " << want;
            }
        return ::testing::AssertionSuccess();
    }
};

struct kind {
    const char* name;
    const char* cmd;
    const char* in;
    bool alpha;
    int tolerance;
};
const kind kinds[] = {
    {"lossy.webp", "cwebp -quiet -q 80 %i -o %o", "rgb.png", false, 0},
    {"lossless.webp", "cwebp -quiet -lossless %i -o %o", "rgb.png", false, 0},
    {"alpha.webp", "cwebp -quiet -q 80 -exact %i -o %o", "rgba.png", true, 0},
    {"plain.avif", "avifenc -s 10 --min 10 --max 30 %i %o", "rgb.png", false, 1},
    {"yuv420.avif", "avifenc -s 10 -y 420 %i %o", "rgb.png", false, 1},
    {"alpha.avif", "avifenc -s 10 %i %o", "rgba.png", true, 1},
};

TEST_F(WebpAvifReader, DirectAndPipelineLoadsMatchTheIndependentDecoder)
{
    for (const kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string f = make(k.name, k.cmd, k.in);
        const image ref = reference(f);
        ASSERT_FALSE(ref.px.empty());
        fdes fd{};
        ASSERT_EQ(header(f, fd), 0) << err;
        EXPECT_EQ(fd.bands, k.alpha ? 4 : 3) << "the buffer's alpha follows the file";
        EXPECT_EQ(fd.quantiz, 8);

        std::vector<int32u> px;
        EXPECT_TRUE(directLoad(f, px)) << err;
        EXPECT_TRUE(samePixels(px, ref, k.alpha, k.tolerance));

        // Through the loader: the whole file (direct), then a region (rows).
        loaddrv::reset();
        auto r = load("i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 0, 0, W, H, k.alpha, 0, 0, k.tolerance));
        EXPECT_EQ(bool(bufObjs[0].bufCtlm & bufALPHA), k.alpha);
        loaddrv::reset();
        r = load("FXY=7,5 COLS=30 ROWS=25 i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        EXPECT_TRUE(sameAs(ref, 7, 5, 30, 25, k.alpha, 0, 0, k.tolerance));
        // Red and blue exchanged on request.
        loaddrv::reset();
        r = load("BGRtoRGB i=\"" + f + "\"");
        ASSERT_EQ(r.status, 0) << r.messages << err;
        for (int y = 0; y < H; y += 5)
            for (int x = 0; x < W; x += 4) {
                const auto* p = reinterpret_cast<const charu*>(bufObjs[0].imgbuf + y * W + x);
                const std::uint8_t* q = &ref.px[(std::size_t(y) * W + x) * 4];
                ASSERT_NEAR(p[0], q[0], k.tolerance) << x << "," << y;
                ASSERT_NEAR(p[2], q[2], k.tolerance) << x << "," << y;
            }
    }
}

TEST_F(WebpAvifReader, ReplacingLoadThatFailsGivesTheEarlierImageBack)
{
    const std::string ok = make("a.webp", "cwebp -quiet -lossless %i -o %o", "rgb.png");
    // A lossless file cut inside its bitstream: the header is whole, the picture is not, and
    // the decoder has written rows before it finds out.
    const std::string lossless = make("b.webp", "cwebp -quiet -lossless %i -o %o", "rgba.png");
    damage(lossless, path("cut.webp"), slurp(lossless).size() * 2 / 3);
    writeNetpbm(path("grey.pgm"), pattern(W, H, 1));
    const image greyRef = pattern(W, H, 1);

    ASSERT_EQ(load("i=\"" + path("grey.pgm") + "\"").status, 0) << err;
    auto r = load("i=\"" + path("cut.webp") + "\"");
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(sameAs(greyRef, 0, 0, W, H, false)) << "the earlier picture is intact";

    // The same replacement from a whole file lands.
    r = load("i=\"" + ok + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_TRUE(sameAs(reference(ok), 0, 0, W, H, false));
}

TEST_F(WebpAvifReader, TenBitAvifLoadsAsHdr)
{
    ASSERT_TRUE(sh("convert " + path("rgb.png") + " -depth 16 " + path("rgb16.png")));
    const std::string f = make("deep.avif", "avifenc -s 10 -d 10 %i %o", "rgb16.png");
    fdes fd{};
    ASSERT_EQ(header(f, fd), AVIF_OK) << err;
    EXPECT_EQ(fd.quantiz, 10);
    EXPECT_EQ(fd.bytsPixl, 2);
    EXPECT_EQ(fd.dataType, DT_INT16);
    EXPECT_TRUE(fd.vslCtlm & vslIS_HDR);
    auto r = load("HDR=RGB,LIN,LO-HI,0,1023 i=\"" + f + "\"");
    ASSERT_EQ(r.status, 0) << r.messages << err;
    EXPECT_TRUE(bufObjs[0].bufCtlm & bufIS_HDR);
    EXPECT_NE(err.find("avif is HDR"), std::string::npos) << err;
    // The independent decoder's 8-bit picture, within the rounding of 10 bits to 8. Red only:
    // the tag's range reaches the other guns of a colour HDR load differently (a 16-bit PPM
    // shows the same), which is the scaling's business, not the reader's.
    const image ref = reference(f);
    ASSERT_FALSE(ref.px.empty());
    for (int i = 0; i < W * H; ++i)
        ASSERT_NEAR(int((bufObjs[0].imgbuf[i] >> 16) & 255), ref.px[std::size_t(i) * 4], 2) << i;
}

TEST_F(WebpAvifReader, AnimationsDamagedAndForeignFilesAreRefused)
{
    ASSERT_TRUE(sh("convert -size 45x39 xc:red " + path("f1.png") + " && convert -size 45x39 " +
                   "xc:blue " + path("f2.png")));
    const std::string animWebp =
        make("anim.webp", "img2webp -loop 0 %i -d 100 " + path("f2.png") + " -o %o", "f1.png");
    const std::string animAvif =
        make("anim.avif", "avifenc -s 10 %i " + path("f2.png") + " %o", "f1.png");
    fdes fd{};
    EXPECT_EQ(header(animWebp, fd), WEBP_ANIMATED);
    EXPECT_EQ(header(animAvif, fd), AVIF_SEQUENCE);
    auto r = load("i=\"" + animWebp + "\"");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(err.find("only still pictures are loaded"), std::string::npos) << err;

    // Headers that name the format over other data.
    std::string fake("RIFF\x10\0\0\0WEBPVP8 ", 16);
    fake.resize(1024, 'x');
    std::ofstream(path("fake.webp"), std::ios::binary) << fake;
    EXPECT_EQ(header(path("fake.webp"), fd), WEBP_NO_FEATURES);
    std::string box("\0\0\0\x18"
                    "ftypavif",
                    12);
    box.resize(1024, '\0');
    std::ofstream(path("fake.avif"), std::ios::binary) << box;
    EXPECT_EQ(header(path("fake.avif"), fd), AVIF_PARSE);

    // Cut and damaged files of each kind end in a status (and no fault under the sanitisers).
    for (const kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string f = make(k.name, k.cmd, k.in);
        const std::size_t size = slurp(f).size();
        int i = 0;
        for (std::size_t keep : {std::size_t(20), size / 4, size / 2, size - 10, size})
            for (int flip : {-1, int(size / 3), int(size / 2) + 1}) {
                const std::string bad = path("bad" + std::to_string(i++) + ".x");
                damage(f, bad, keep, flip);
                loaddrv::reset();
                r = load("i=\"" + bad + "\"");
                (void)r;
            }
    }
}

} // namespace
} // namespace rdtest
