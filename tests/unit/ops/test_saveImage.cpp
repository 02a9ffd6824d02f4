// SAVE IMAGE as the main menu hands it over: one case per menu path through the scripted user,
// checked on the files written (read back by libpng and netpbm), the save state and the
// transcript.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <png.h>

#include "bTransl.h"
#include "fcrypt.h"
#include "memSurface.h"
#include "opTable.h"
#include "saveImage.h"
#include "tavPaths.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

constexpr int32 SAVE_VALUE = 7; // the main menu's SAVE IMAGE item
constexpr int32 W = 24, H = 16;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// A PNG read by libpng into 8-bit samples of its own channel count.
std::vector<charu> readPng(const std::string& path, int& channels)
{
    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&im, path.c_str()))
        return {};
    channels = PNG_IMAGE_PIXEL_CHANNELS(im.format);
    std::vector<charu> px(PNG_IMAGE_SIZE(im));
    if (!png_image_finish_read(&im, nullptr, px.data(), 0, nullptr))
        return {};
    return px;
}

class SaveImage : public ::testing::Test {
protected:
    SaveImage() : view(W, H), surface(W, H)
    {
        resetTransl();
        SET_TRANSL_VIEW(surface.w, surface.h);
        INIT_I_TRANSL(view.bd);
        SET_EXPLOIT_OPS(tavExploitOps());
        resetSaveImage();
        CLEAR_KEYS();
        char tmpl[] = "/tmp/tavsave-XXXXXX";
        dir = ::mkdtemp(tmpl);
        SET_SVPATH(dir);
        for (int g = 0; g < 3; ++g)
            for (int i = 0; i < 256; ++i)
                view.bd->tLut[g][i] = charu(255 - i);
        view.vs.gunMask = 7;
        testing::internal::CaptureStderr();
    }
    ~SaveImage() override
    {
        testing::internal::GetCapturedStderr();
        SET_EXPLOIT_OPS({});
        resetSaveImage();
        CLEAR_KEYS();
        std::filesystem::remove_all(dir);
        resetPathsToCwd();
        resetTransl();
    }
    void run(int32 item, int32 a = 0, int32 b = 0)
    {
        const int32 pv[MAX_PUP_LEVEL] = {SAVE_VALUE, item, a, b};
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    // The buffer's gun (byte offset) at pixel i.
    charu gun(std::size_t i, int byte) const
    {
        return reinterpret_cast<const charu*>(view.bd->imgbuf + i)[byte];
    }
    bool said(const std::string& text) const
    {
        for (const shownMsg& m : ui.transcript)
            if (m.text == text)
                return true;
        return false;
    }
    void setKey(const std::string& key)
    {
        ui.answers.push_back(key);
        run(4, 3);
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
    std::string dir;
};

TEST_F(SaveImage, BufferAsRgbPngReloadsPixelForPixel)
{
    ui.answers = {"scene"};
    run(2, 1, 7);
    EXPECT_EQ(ui.lastText(), "Saved:          \n  scene.png");
    EXPECT_TRUE(said("Saving image..."));
    int ch = 0;
    const std::vector<charu> px = readPng(path("scene.png"), ch);
    ASSERT_EQ(ch, 3);
    ASSERT_EQ(px.size(), std::size_t(W * H * 3));
    for (std::size_t i = 0; i < std::size_t(W * H); ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(px[i * 3 + std::size_t(k)], gun(i, 2 - k)) << i;
}

// Green alone is a grey PNG of the green bytes, through the green tLUT when they are shown.
TEST_F(SaveImage, SingleGunThroughVisibleTlutIsGrey)
{
    view.vs.gunMask = 0;
    view.vs.dfltLutOn = false;
    ui.answers = {"green"};
    run(2, 1, 2);
    EXPECT_TRUE(said("LUT Transform will be applied"));
    int ch = 0;
    const std::vector<charu> px = readPng(path("green.png"), ch);
    ASSERT_EQ(ch, 1);
    for (std::size_t i = 0; i < std::size_t(W * H); ++i)
        ASSERT_EQ(px[i], 255 - gun(i, 1)) << i;
}

TEST_F(SaveImage, HiddenTlutsAreAskedAboutAndRgbaNeedsTheAlphaPlane)
{
    view.vs.gunMask = 0;
    view.vs.dfltLutOn = true;
    ui.answers = {"plain", "N"};
    run(1, 1, 15);
    EXPECT_EQ(ui.transcript[0].text, "ALPHA bitplane not active.\nSaving as RGB.");
    EXPECT_TRUE(said("Transform LUTs ignored"));
    int ch = 0;
    const std::vector<charu> px = readPng(path("plain.png"), ch);
    ASSERT_EQ(ch, 3);
    EXPECT_EQ(px[0], gun(0, 2));

    view.vs.dmode |= 0x80;
    ui.answers = {"alpha", "Y"};
    run(1, 1, 15);
    const std::vector<charu> pa = readPng(path("alpha.png"), ch);
    ASSERT_EQ(ch, 4);
    EXPECT_EQ(pa[0], 255 - gun(0, 2));
    EXPECT_EQ(pa[3], gun(0, 3)) << "alpha never through a table";
}

TEST_F(SaveImage, GifOfFewColoursIsExactForNetpbm)
{
    for (std::size_t i = 0; i < std::size_t(W * H); ++i)
        view.bd->imgbuf[i] = 0xff000000u | int32u(i % 200) * 0x010305u;
    ui.answers = {"few"};
    run(2, 2, 7);
    ASSERT_EQ(ui.lastText(), "Saved:          \n  few.gif");
    ASSERT_EQ(
        std::system(
            ("giftopnm " + path("few.gif") + " > " + path("few.ppm") + " 2>/dev/null").c_str()),
        0);
    const std::string ppm = slurp(path("few.ppm"));
    ASSERT_GE(ppm.size(), std::size_t(W * H * 3));
    const std::string body = ppm.substr(ppm.size() - std::size_t(W * H * 3));
    for (std::size_t i = 0; i < std::size_t(W * H); ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(charu(body[i * 3 + std::size_t(k)]), gun(i, 2 - k)) << i;
    const std::string gif = slurp(path("few.gif"));
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_NE(gif.find("by TAV / Corvane"), std::string::npos);
}

TEST_F(SaveImage, OverwriteNoAsksAgainAndCancelEnds)
{
    std::ofstream(path("keep.png")) << "keep";
    ui.answers = {"keep", "n", ""};
    run(1, 1, 7);
    EXPECT_TRUE(said("File not saved."));
    EXPECT_EQ(slurp(path("keep.png")), "keep");
    EXPECT_EQ(ui.starved, 0);
    ui.answers = {"keep", "y"};
    run(1, 1, 7);
    EXPECT_NE(slurp(path("keep.png")), "keep");
}

// A plain image must not carry the encrypted mark: the loader would try to decrypt it.
TEST_F(SaveImage, PlainSaveOfMarkedNameIsRefused)
{
    ui.answers = {"odd#", ""};
    run(1, 1, 7);
    EXPECT_TRUE(said("File: odd#.png\n  is named as an encrypted file.\nFile not saved."));
    EXPECT_FALSE(std::filesystem::exists(path("odd#.png")));
}

TEST_F(SaveImage, EncryptedSaveAppendsMarkOnceAndDecryptsToThePlainFile)
{
    ui.answers = {"plain"};
    run(2, 1, 7);
    setKey("'a long save key'");
    EXPECT_EQ(ui.lastText(), "Encryption key set:\n     'a long save key'");
    ui.answers = {"scene", "twice#"};
    run(2, 1, 7);
    run(2, 1, 7);
    EXPECT_TRUE(said("Path: " + dir + "/\nEnter filename of ENCRYPTED saved image\n> "));
    EXPECT_EQ(ui.lastText(), "Saved:          \n  twice#.png");
    const std::string plain = slurp(path("plain.png"));
    for (const char* name : {"scene#.png", "twice#.png"}) {
        std::FILE* in = std::fopen(path(name).c_str(), "rb");
        ASSERT_NE(in, nullptr);
        std::string out = path(name);
        ASSERT_EQ(cryptFile(in, nullptr, &out, "'a long save key'", CRYPT_DECRYPT), CRYPT_OK);
        std::fclose(in);
        EXPECT_EQ(slurp(out), plain) << name;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              5)
        << "no temporaries left";
}

TEST_F(SaveImage, SaveImageRefusesEncryptionWithoutKeyBeforeCreating)
{
    const std::string none;
    EXPECT_EQ(SAVE_IMAGE(path("x#.png"), 7, nullptr, view.bd, 1, SAVE_PNG, &none, SAVE_ENCRYPT),
              SAVE_NO_KEY);
    EXPECT_EQ(SAVE_IMAGE(path("x.png"), 3, nullptr, view.bd, 1, SAVE_PNG, nullptr, 0),
              SAVE_BAD_MASK);
    EXPECT_EQ(SAVE_IMAGE(path("x.png"), 0, nullptr, view.bd, 1, SAVE_PNG, nullptr, 0),
              SAVE_NO_GUNS);
    EXPECT_EQ(SAVE_IMAGE(path("x.png"), 7, nullptr, view.bd, 2, SAVE_PNG, nullptr, 0),
              SAVE_BAD_AREA);
    EXPECT_EQ(SAVE_IMAGE(path("x.png"), 7, nullptr, view.bd, 1, 2, nullptr, 0), SAVE_BAD_FORMAT);
    EXPECT_EQ(SAVE_IMAGE(dir + "/none/x.png", 7, nullptr, view.bd, 1, SAVE_PNG, nullptr, 0),
              SAVE_CREATE);
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(SaveImage, CryptoOnOffAndStatus)
{
    run(4, 2);
    EXPECT_EQ(ui.lastText(), "No key defined. Encryption OFF.");
    ASSERT_EQ(SETUSERKEY("'loader given key'"), CRYPT_OK);
    run(4, 2);
    EXPECT_EQ(
        ui.lastText(),
        "         Encryption ON.\nSaved images will be encrypted\n        Key= 'loader given key'");
    run(5);
    EXPECT_EQ(ui.lastText(), "     SAVE IMAGE STATUS\nPath= " + dir +
                                 "/\nCrypto = ACTIVE                \nKey    = 'loader given key'");
    run(4, 1);
    EXPECT_EQ(ui.lastText(), "Encryption OFF.");
    EXPECT_FALSE(saveState.cryptoOn);
}

// Refused keys change nothing: the dialogue's own checks and the cipher's alike.
TEST_F(SaveImage, RefusedKeysLeaveKeyAndStateAlone)
{
    setKey("'first good key'");
    run(4, 1);
    const struct {
        const char* answer;
        const char* says;
    } cases[] = {
        {"nokey", "Key must be enclosed in quotes; 'key'"},
        {"'open", "Error; key trailing quote missing"},
        {"'a'", nullptr},
        {"'0X12'", nullptr},
        {"'seven7'", "Error setting encryption key"},
        {"F'/no/such/keyfile'",
         "Error opening saved key file.\nExisting encryption key unchanged."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        setKey(c.answer);
        if (c.says)
            EXPECT_EQ(ui.lastText(), c.says);
        else
            EXPECT_EQ(ui.lastText().rfind("Key is too small.", 0), 0u);
        EXPECT_EQ(saveState.keyText, "'first good key'");
        EXPECT_FALSE(saveState.cryptoOn);
        EXPECT_EQ(fileCipher.keyText(), "'first good key'");
    }
    ui.answers.clear();
    run(4, 3);
    EXPECT_EQ(ui.lastText(), "Existing encryption key unchanged.");
    setKey("'second good key'");
    EXPECT_EQ(ui.lastText(), "Encryption key redefined:\n        'second good key'");
}

TEST_F(SaveImage, SaveKeyWritesAPrivateFileThatSetKeyReadsBack)
{
    run(4, 4);
    EXPECT_EQ(ui.lastText(), "No key is defined. Cannot save.");
    setKey("'kept in a file'");
    std::ofstream(path("key.txt")) << "old";
    ::chmod(path("key.txt").c_str(), 0644);
    ui.answers = {path("key.txt")};
    run(4, 4);
    EXPECT_EQ(ui.lastText(), "Key successfully written to file:\n  " + path("key.txt"));
    EXPECT_EQ(slurp(path("key.txt")), "'kept in a file'");
    struct stat st {};
    ASSERT_EQ(::stat(path("key.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ui.answers = {dir + "/none/key.txt"};
    run(4, 4);
    EXPECT_EQ(ui.lastText(),
              "Key file creation failed for:\n  " + dir + "/none/key.txt\nKey unchanged.");

    CLEAR_KEYS();
    resetSaveImage();
    setKey("F'" + path("key.txt") + "'");
    EXPECT_EQ(ui.lastText(), "Encryption key set:\n     'kept in a file'");
}

TEST_F(SaveImage, SetPathTakesDirectoriesOnly)
{
    const std::string sub = path("sub");
    std::filesystem::create_directory(sub);
    ui.answers = {sub};
    run(3);
    EXPECT_EQ(ui.lastText(), "Save path: " + sub + "/");
    EXPECT_EQ(GET_SVPATH(), sub + "/");
    ui.answers = {path("nothing")};
    run(3);
    EXPECT_EQ(ui.lastText(), "Not a directory or cannot access:\n  " + path("nothing"));
    EXPECT_EQ(GET_SVPATH(), sub + "/");
    ui.answers = {" "};
    run(3);
    EXPECT_EQ(GET_SVPATH(), cwdWithSlash());
}

} // namespace
