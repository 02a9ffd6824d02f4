// The PNG writer and the completion of saved files: rows come back pixel for pixel through our
// loader, a library error returns a status instead of jumping into a finished frame, and an
// encrypted save is what bulkseal restores byte for byte, with nothing left behind on failure.
#include <sys/stat.h>

#include <cstring>

#include "outFixture.h"
#include "pngWrite.h"
#include "saveFile.h"

using namespace outtest;

namespace {

class Png : public OutDir {
protected:
    // Writes w x h rows of `channels` bytes to `fp`; the first failing status or PNGW_OK.
    static int32 writePng(std::FILE* fp, const std::vector<charu>& px, int channels, int w, int h)
    {
        pngWriter pw;
        int32 rc = MK_PNG_HDR(pw, fp, channels, w, h);
        for (int y = 0; rc == PNGW_OK && y < h; ++y)
            rc = pngWriteRows(pw, px.data() + std::size_t(y) * std::size_t(w * channels), 1,
                              std::size_t(w * channels));
        return rc == PNGW_OK ? pngWriteEnd(pw) : rc;
    }
};

TEST_F(Png, GreyRgbAndRgbaReloadPixelForPixel)
{
    const int w = 97, h = 61;
    const std::vector<charu> rgb = photo(w, h, 5);
    for (int channels : {1, 3, 4}) {
        SCOPED_TRACE(channels);
        std::vector<charu> px;
        for (std::size_t i = 0; i < rgb.size(); i += 3) {
            if (channels == 1)
                px.push_back(rgb[i + 1]);
            else
                px.insert(px.end(), {rgb[i], rgb[i + 1], rgb[i + 2]});
            if (channels == 4)
                px.push_back(charu(i * 7));
        }
        std::FILE* fp = std::fopen(path("a.png").c_str(), "wb");
        ASSERT_EQ(writePng(fp, px, channels, w, h), PNGW_OK);
        std::fclose(fp);
        std::vector<charu> want;
        for (std::size_t i = 0; i < std::size_t(w * h); ++i)
            for (int k = 0; k < 3; ++k)
                want.push_back(
                    px[i * std::size_t(channels) + (channels == 1 ? 0 : std::size_t(k))]);
        EXPECT_EQ(loadRgb(path("a.png"), w, h), want);
        if (channels == 4) {
            ASSERT_TRUE(
                sh("pngtopam -alphapam " + path("a.png") + " > " + path("a.pam") + " 2>/dev/null"));
            EXPECT_EQ(tail(slurp(path("a.pam")), px.size()), px);
        }
    }
}

// A library error (here a zero width) comes back as a status from the call that met it, and
// a writer that failed refuses further rows instead of touching released structures.
TEST_F(Png, LibraryErrorsBecomeStatuses)
{
    std::FILE* fp = std::fopen(path("bad.png").c_str(), "wb");
    pngWriter pw;
    testing::internal::CaptureStderr();
    EXPECT_EQ(MK_PNG_HDR(pw, fp, 3, 0, 5), PNGW_LIB);
    const charu row[12] = {};
    EXPECT_EQ(pngWriteRows(pw, row, 1, 12), PNGW_LIB);
    EXPECT_EQ(pngWriteEnd(pw), PNGW_LIB);
    testing::internal::GetCapturedStderr();
    // The stream is still the caller's to close, once.
    EXPECT_EQ(std::fclose(fp), 0);
}

TEST_F(Png, EncryptedSaveIsWhatBulksealRestores)
{
    const int w = 64, h = 48;
    const std::vector<charu> px = photo(w, h, 9);
    std::FILE* fp = std::fopen(path("plain.png").c_str(), "wb");
    ASSERT_EQ(writePng(fp, px, 3, w, h), PNGW_OK);
    std::fclose(fp);

    saveFile sf;
    ASSERT_EQ(sf.open(path("scene#.png")), SVF_OK);
    const std::string temp = sf.tempPath();
    EXPECT_EQ(temp.rfind(dir + "/", 0), 0u) << "temporary beside the target";
    ASSERT_EQ(writePng(sf.stream(), px, 3, w, h), PNGW_OK);
    const std::string key = "'a save key text'";
    ASSERT_EQ(sf.commit(&key), SVF_OK);
    EXPECT_FALSE(std::filesystem::exists(temp));
    const std::string plain = slurp(path("plain.png")), sealed = slurp(path("scene#.png"));
    ASSERT_EQ(sealed.size(), plain.size());
    EXPECT_NE(sealed, plain);
    struct stat st {};
    ASSERT_EQ(::stat(path("scene#.png").c_str(), &st), 0);
    EXPECT_EQ(
        st.st_mode & 0044, 0044u &
                               ~[] {
                                   const mode_t m = ::umask(0);
                                   ::umask(m);
                                   return m;
                               }())
        << "readable as any new image";

    // The loader decrypts it with the key.
    loaddrv::reset();
    testing::internal::CaptureStderr();
    const loaddrv::Result r =
        loaddrv::runCommand("KEY=" + key + " i=\"" + path("scene#.png") + "\"", 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(r.width, w);
    EXPECT_EQ(r.height, h);

    ASSERT_TRUE(sh("echo '" + path("scene#.png") + "' | " BULKSEAL_PATH " -d -k \"" + key +
                   "\" >/dev/null 2>&1"));
    EXPECT_EQ(slurp(path("scene.png")), plain);
}

// Failures leave neither a temporary nor anything under the final name, and an existing file
// there keeps its contents.
TEST_F(Png, FailedSavesLeaveNothingBehind)
{
    std::ofstream(path("old#.png")) << "old contents";
    saveFile sf;
    ASSERT_EQ(sf.open(path("old#.png")), SVF_OK);
    const std::string temp = sf.tempPath();
    std::fputs("image bytes of some length, enough to be encrypted in blocks", sf.stream());
    const std::string badKey = "'short'";
    testing::internal::CaptureStderr();
    EXPECT_EQ(sf.commit(&badKey), SVF_CRYPT);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(slurp(path("old#.png")), "old contents");

    {
        saveFile dropped;
        ASSERT_EQ(dropped.open(path("never.png")), SVF_OK);
        std::fputs("partial", dropped.stream());
    }
    EXPECT_FALSE(std::filesystem::exists(path("never.png")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir),
                            std::filesystem::directory_iterator()),
              1);
    saveFile none;
    EXPECT_EQ(none.open(dir + "/no/such/dir/x.png"), SVF_CREATE);
}

} // namespace
