// The defaults file: every key, its error report, the paths it sets and the user key.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "hdrSettings.h"
#include "tavDefaults.h"
#include "tavPaths.h"

namespace fs = std::filesystem;

namespace {

class Defaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tavdflt.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        home_ = tmpl;
        if (const char* h = std::getenv("HOME"))
            oldHome_ = h, hadHome_ = true;
        setenv("HOME", home_.c_str(), 1);
        resetDefaults();
        resetHdrSettings();
        resetPathsToCwd();
    }
    void TearDown() override
    {
        if (hadHome_)
            setenv("HOME", oldHome_.c_str(), 1);
        else
            unsetenv("HOME");
        fs::remove_all(home_);
        resetDefaults();
        resetHdrSettings();
        resetPathsToCwd();
    }

    void writeFile(const std::string& text)
    {
        std::FILE* f = std::fopen((home_ + "/TAVdefaults.txt").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

    /// Reads the given file afresh and returns what went to standard error.
    std::string readWith(const std::string& text)
    {
        writeFile(text);
        resetDefaults();
        ::testing::internal::CaptureStderr();
        TAV_DEFAULTS();
        return ::testing::internal::GetCapturedStderr();
    }

    std::string home_, oldHome_;
    bool hadHome_ = false;
};

TEST_F(Defaults, MissingFileNamesItLiterallyAndLeavesEveryDefault)
{
    SET_IPATH("/");
    ::testing::internal::CaptureStderr();
    TAV_DEFAULTS();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "\n***Defaults() $HOME/TAVdefaults.txt :file not found.\n");
    EXPECT_FALSE(tavDflt.valid);
    const std::string cwd = cwdWithSlash();
    EXPECT_EQ(GET_IPATH(), cwd) << "start values are set before the file is looked for";
    EXPECT_EQ(GET_SVPATH(), cwd);
    EXPECT_EQ(GET_SPATH(), cwd);
    EXPECT_EQ(GET_WPATH(), cwd);
    EXPECT_EQ(tavDflt.dmode, 0x424u);
    EXPECT_EQ(tavDflt.ancil, 0x987u);
    EXPECT_EQ(tavDflt.dpyType, 0);
    EXPECT_FALSE(GET_DEFAULT_AUTOB());
    EXPECT_FALSE(GET_DEFAULT_TWO_BUTTON());
    std::string key = "untouched";
    EXPECT_EQ(GET_DEFAULT_USER_KEY(key), 0);
    EXPECT_EQ(key, "untouched");
}

TEST_F(Defaults, ReadOnceThenLaterCallsDoNothing)
{
    readWith("AUTOB=true\n");
    EXPECT_TRUE(GET_DEFAULT_AUTOB());
    writeFile("ZOOM_MODE=nonsense\n");
    ::testing::internal::CaptureStderr();
    TAV_DEFAULTS();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(tavDflt.valid);
    EXPECT_EQ(tavDflt.dmode & 0xFu, 0x4u);
}

TEST_F(Defaults, CommentsAndBlankLinesAreSkippedButAnIndentedHashIsAKey)
{
    EXPECT_EQ(readWith("# a comment\n\n   \n\t\r\nALPHA=true\n"), "");
    EXPECT_TRUE(tavDflt.valid);
    EXPECT_EQ(tavDflt.dmode, 0x424u | 0x80u);

    EXPECT_EQ(readWith(" # not a comment\n"), "\n****TAVdefaults:\nUnknown tag: #\n");
    EXPECT_FALSE(tavDflt.valid);
}

TEST_F(Defaults, ReportListsEveryErrorInOrderAndReadingGoesOn)
{
    const std::string err =
        readWith("FOO=1\nZOOM_MODE=blurry\nDISPLAY_SIZE=700,1200\nUSER_KEY=abc\nAUTOB=true\n");
    EXPECT_EQ(err, "\n****TAVdefaults:\nUnknown tag: FOO\nInvalid ZOOM mode"
                   "\nDefaults: DISPLAY_SIZE=cols,rows invalid. Using MINIMIZE"
                   "\nDefaults: Crypto Key too short\n");
    EXPECT_FALSE(tavDflt.valid);
    EXPECT_TRUE(GET_DEFAULT_AUTOB()) << "a key after the errors still counts";
}

TEST_F(Defaults, ImagePathInLowerCaseWithBlanksIsExpandedAndGetsASlash)
{
    fs::create_directory(home_ + "/pics");
    EXPECT_EQ(readWith("image_path = $HOME/pics\n"), "");
    EXPECT_TRUE(tavDflt.valid);
    EXPECT_EQ(GET_IPATH(), home_ + "/pics/");
}

TEST_F(Defaults, OtherPathsAreStoredAsWrittenAfterTheDirectoryIsChecked)
{
    fs::create_directory(home_ + "/out");
    fs::create_directory(home_ + "/cmd");
    EXPECT_EQ(readWith("ISAVE_PATH=$HOME/out\nSCRIPT_PATH=$HOME/cmd/\nWORK_PATH=" + home_ + "\n"),
              "");
    EXPECT_EQ(GET_SVPATH(), "$HOME/out/");
    EXPECT_EQ(GET_SPATH(), "$HOME/cmd/");
    EXPECT_EQ(GET_WPATH(), home_ + "/");
    EXPECT_EQ(GET_IPATH(), cwdWithSlash());
}

TEST_F(Defaults, BadPathsAreReportedAndKeepTheWorkingDirectory)
{
    const std::string cwd = cwdWithSlash();
    EXPECT_EQ(readWith("IMAGE_PATH=/no/such/dir\n"),
              "\n****TAVdefaults:\nInvalid path in Defaults: /no/such/dir/\n");
    EXPECT_EQ(GET_IPATH(), cwd);

    writeFile("");
    std::FILE* f = std::fopen((home_ + "/plain").c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(readWith("WORK_PATH=" + home_ + "/plain\n"),
              "\n****TAVdefaults:\nInvalid path in Defaults: " + home_ + "/plain/\n")
        << "a file is not a directory";
    EXPECT_EQ(GET_WPATH(), cwd);

    EXPECT_EQ(readWith("OTHER_PATH=/\n"), "\n****TAVdefaults:\nInvalid tag: OTHER_PATH\n");
    EXPECT_EQ(readWith("IMAGE_PATH=\n"), "\n****TAVdefaults:\nInvalid path in Defaults: \n")
        << "an empty value is not the root";
    EXPECT_EQ(GET_IPATH(), cwd);
    EXPECT_FALSE(tavDflt.valid);
}

TEST_F(Defaults, TooLongPathsAreRefusedNotCut)
{
    const std::string cwd = cwdWithSlash();
    // A path of 255 characters cannot even share a line with its key.
    const std::string deep = "/" + std::string(254, 'd');
    EXPECT_EQ(readWith("IMAGE_PATH=" + deep + "\n"),
              "\n****TAVdefaults:\nDefaults: line longer than 255 characters ignored\n");
    EXPECT_EQ(GET_IPATH(), cwd);

    // The variable is short as written but too long once expanded.
    setenv("TAVTEST_LONGDIR", ("/" + std::string(250, 'x')).c_str(), 1);
    EXPECT_EQ(readWith("IMAGE_PATH=$TAVTEST_LONGDIR/abcdef\n"),
              "\n****TAVdefaults:\nInvalid path in Defaults: $TAVTEST_LONGDIR/abcdef/\n");
    EXPECT_EQ(GET_IPATH(), cwd);
    unsetenv("TAVTEST_LONGDIR");
}

TEST_F(Defaults, OverlongLineIsRefusedWholeNotReadAsTwoLines)
{
    // The tail of the long line would read as the key AUTOB=true if the line were split.
    const std::string longLine = "X" + std::string(254, ' ') + "AUTOB=true";
    const std::string err = readWith(longLine + "\nALPHA=true\n");
    EXPECT_EQ(err, "\n****TAVdefaults:\nDefaults: line longer than 255 characters ignored\n");
    EXPECT_FALSE(GET_DEFAULT_AUTOB());
    EXPECT_EQ(tavDflt.dmode & 0x80u, 0x80u) << "the next line is still read";
}

TEST_F(Defaults, DisplaySizeWordsAndSizes)
{
    struct Case {
        const char* value;
        int type;
        bool ok;
    };
    const Case cases[] = {
        {"FULLSCREEN", 3, true}, {"fit-to-buffer", 0, true}, {"Minimize", 2, true},
        {"1600,1200", 1, true},  {"768,768", 1, true},       {"700,1200", 2, false},
        {"1600,767", 2, false},  {"1600", 2, false},         {"big", 2, false},
        {"1600,x", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string err = readWith(std::string("DISPLAY_SIZE=") + c.value + "\n");
        EXPECT_EQ(tavDflt.dpyType, c.type);
        EXPECT_EQ(tavDflt.valid, c.ok);
        if (!c.ok) {
            EXPECT_EQ(err, "\n****TAVdefaults:"
                           "\nDefaults: DISPLAY_SIZE=cols,rows invalid. Using MINIMIZE\n");
        }
    }
    readWith("DISPLAY_SIZE 1600,1200\n");
    EXPECT_EQ(tavDflt.maxW, 1600);
    EXPECT_EQ(tavDflt.maxH, 1200);
}

TEST_F(Defaults, ZoomModeSetsOnlyTheLowFourBits)
{
    struct Case {
        const char* word;
        unsigned bits;
    };
    const Case cases[] = {
        {"BILINEAR", 0x2}, {"bicubic", 0x4}, {"Replicate", 0x1}, {"CATMULL-ROM", 0x8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        EXPECT_EQ(readWith(std::string("ALPHA=true\nZOOM_MODE=") + c.word + "\r\n"), "");
        EXPECT_EQ(tavDflt.dmode, (0x424u & ~0xFu) | 0x80u | c.bits);
    }
    readWith("ZOOM_MODE=REPLICATE\nZOOM_MODE=sharp\n");
    EXPECT_EQ(tavDflt.dmode, 0x424u) << "an unknown word gives BICUBIC";
    EXPECT_FALSE(tavDflt.valid);
}

TEST_F(Defaults, SwitchKeys)
{
    readWith("ALPHA=TRUE\nSBUFF_WRITE=true\nSBUFF_AUTO=true\nAUTOB=true\nFAST_MENU=true\n"
             "ANCIL_DISP=true\n");
    EXPECT_TRUE(tavDflt.valid);
    EXPECT_EQ(tavDflt.dmode, 0x424u | 0x80u | 0x1000u | 0x2000u);
    EXPECT_EQ(tavDflt.ancil, 0x987u);
    EXPECT_TRUE(hdrSet.autoMode);
    EXPECT_TRUE(GET_DEFAULT_AUTOB());

    resetHdrSettings();
    readWith("ALPHA=false\nSBUFF_WRITE=yes\nSBUFF_AUTO=1\nAUTOB=no\nFAST_MENU=false\n"
             "ANCIL_DISP=off\n");
    EXPECT_TRUE(tavDflt.valid);
    EXPECT_EQ(tavDflt.dmode, 0x424u | 0x800u) << "only FAST_MENU reacts to a word other than true";
    EXPECT_EQ(tavDflt.ancil, 0x986u);
    EXPECT_FALSE(hdrSet.autoMode);
    EXPECT_FALSE(GET_DEFAULT_AUTOB());

    readWith("TWO_BUTTON_MOUSE=false\n");
    EXPECT_TRUE(GET_DEFAULT_TWO_BUTTON()) << "the key alone switches the emulation on";
}

TEST_F(Defaults, ReadingResetsTheHdrDefaultRange)
{
    SET_HDR_DEFAULT_RANGE(HDR_FULL);
    readWith("");
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_MED3SD);
    EXPECT_EQ(hdrSet.rangeMode[1], HDR_MED3SD);
    EXPECT_TRUE(tavDflt.valid) << "an empty file is a valid one";
}

TEST_F(Defaults, UserKeyIsTheRestOfTheLineWithoutItsLineEnd)
{
    std::string key;
    readWith("USER_KEY='long pass phrase'  \n");
    ASSERT_EQ(GET_DEFAULT_USER_KEY(key), 1);
    EXPECT_EQ(key, "'long pass phrase'  ");

    // A file written with carriage returns gives the same key.
    readWith("USER_KEY = 0X00112233\r\nAUTOB=true\r\n");
    ASSERT_EQ(GET_DEFAULT_USER_KEY(key), 1);
    EXPECT_EQ(key, " 0X00112233") << "leading blanks are the key syntax's to skip";
    EXPECT_TRUE(GET_DEFAULT_AUTOB());

    // Last line without a line end, carriage return alone.
    readWith("USER_KEY=secret-words\r");
    ASSERT_EQ(GET_DEFAULT_USER_KEY(key), 1);
    EXPECT_EQ(key, "secret-words");
}

TEST_F(Defaults, UserKeyShorterThanSixWithItsLineEndIsRefused)
{
    std::string key = "before";
    EXPECT_EQ(readWith("USER_KEY=abc\n"), "\n****TAVdefaults:\nDefaults: Crypto Key too short\n");
    EXPECT_EQ(GET_DEFAULT_USER_KEY(key), 0);
    EXPECT_EQ(key, "before");
    readWith("USER_KEY=abcd\r\n");
    EXPECT_EQ(GET_DEFAULT_USER_KEY(key), 0) << "the carriage return does not count";
    readWith("USER_KEY\n");
    EXPECT_EQ(GET_DEFAULT_USER_KEY(key), 0);
    readWith("USER_KEY=abcde\n");
    EXPECT_EQ(GET_DEFAULT_USER_KEY(key), 1);
    EXPECT_EQ(key, "abcde");
    EXPECT_TRUE(tavDflt.valid);
}

TEST_F(Defaults, ViewCopyCarriesPathsWordsAndValidity)
{
    fs::create_directory(home_ + "/v");
    readWith("IMAGE_PATH=" + home_ + "/v\nALPHA=true\nANCIL_DISP=false\n");
    SET_WPATH("/tmp");
    viewDefaults v{};
    EXPECT_TRUE(GET_VIEW_DEFAULTS(v));
    EXPECT_EQ(v.ipath, home_ + "/v/");
    EXPECT_EQ(v.spath, cwdWithSlash());
    EXPECT_EQ(v.svpath, cwdWithSlash());
    EXPECT_EQ(v.wpath, "/tmp/") << "the paths as they are now, not as the file left them";
    EXPECT_EQ(v.dmode, 0x4A4u);
    EXPECT_EQ(v.ancil, 0x986u);

    readWith("NOPE\n");
    EXPECT_FALSE(GET_VIEW_DEFAULTS(v));
}

TEST(PathSetterLimits, ExpansionThatOverflowsIsRefusedAndThePathKept)
{
    ASSERT_TRUE(SET_IPATH("/tmp"));
    setenv("TAVTEST_HUGE", std::string(255, 'h').c_str(), 1);
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(SET_IPATH("$TAVTEST_HUGE"));
    EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
    EXPECT_EQ(GET_IPATH(), "/tmp/");
    // Unexpanded, the script path fits.
    EXPECT_TRUE(SET_SPATH("$TAVTEST_HUGE"));
    EXPECT_EQ(GET_SPATH(), "$TAVTEST_HUGE/");
    unsetenv("TAVTEST_HUGE");
    resetPathsToCwd();
}

} // namespace
