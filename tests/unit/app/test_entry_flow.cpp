// The start-up order, the main loop and the end of the run, with fake display, load and
// view hooks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "folio_utl.h"
#include "hdrSettings.h"
#include "ldrConsole.h"
#include "loadGui.h"
#include "tavEntry.h"
#include "tavPaths.h"
#include "viewDims.h"

namespace {

struct Calls {
    std::vector<std::string> seq;
    int32 connectStatus = 0;
    std::vector<shortu> loadStatus; // consumed one per load
    std::vector<shortu> viewStatus;
    bool fillOnLoad = true;
    int pollResult = 0;
    std::vector<std::string> regularFiles;
};
Calls* calls = nullptr;

int32 fakeConnect()
{
    calls->seq.push_back("connect");
    return calls->connectStatus;
}
void fakeClose()
{
    calls->seq.push_back("close");
}
shortu fakeLoad(bufdes* t, shortu* cur, shortu src, const char* text)
{
    calls->seq.push_back("load " + std::to_string(src) + " " + (text ? text : "-"));
    if (calls->fillOnLoad)
        t[*cur].numImgs = 1;
    shortu s = 0;
    if (!calls->loadStatus.empty()) {
        s = calls->loadStatus.front();
        calls->loadStatus.erase(calls->loadStatus.begin());
    }
    return s;
}
shortu fakeView(bufdes*, shortu* cur)
{
    calls->seq.push_back("view " + std::to_string(*cur));
    shortu s = 1;
    if (!calls->viewStatus.empty()) {
        s = calls->viewStatus.front();
        calls->viewStatus.erase(calls->viewStatus.begin());
    }
    return s;
}
bool fakeRegular(const char* p)
{
    for (const auto& f : calls->regularFiles)
        if (f == p)
            return true;
    return false;
}
int fakePoll()
{
    return calls->pollResult;
}

class EntryFlow : public ::testing::Test {
protected:
    void SetUp() override
    {
        calls = &c;
        ldrConsoleReset();
        resetViewDims();
        resetHdrSettings();
        resetFolios();
        hooks.connect = fakeConnect;
        hooks.closeDisplay = fakeClose;
        hooks.load = fakeLoad;
        hooks.view = fakeView;
        hooks.isRegularFile = fakeRegular;
        hooks.pollStdin = fakePoll;
    }
    void TearDown() override
    {
        calls = nullptr;
        resetFolios();
    }
    int runTav(std::vector<std::string> args)
    {
        args.insert(args.begin(), "tav");
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStderr();
        int st = tavMain(int(args.size()), argv.data(), hooks);
        err = testing::internal::GetCapturedStderr();
        return st;
    }
    Calls c;
    EntryHooks hooks{};
    std::string err;
};

TEST_F(EntryFlow, ImageArgumentLoadsThenViewsAndExits)
{
    c.regularFiles = {"/img/a.png"};
    EXPECT_EQ(runTav({"/img/a.png"}), 0);
    const std::vector<std::string> want = {"connect", "load 2 i=\"/img/a.png\" \n", "view 0",
                                           "close"};
    EXPECT_EQ(c.seq, want);
    EXPECT_NE(err.find("\ntavMain: normal exit\n"), std::string::npos);
    EXPECT_EQ(foliosCreated(), ALL_FOLIOS) << "the 14 scratch files are claimed at start";
    EXPECT_EQ(bufObjs, nullptr) << "buffers are released at the end";
}

TEST_F(EntryFlow, ConnectFailureIs255)
{
    c.connectStatus = -2;
    EXPECT_EQ(runTav({}), 255);
    EXPECT_NE(err.find("\nTAVmain(): X Server Connect fail\n"), std::string::npos);
    c.seq.clear();
    EXPECT_EQ(runTav({"-dmin"}), 255);
}

TEST_F(EntryFlow, InternalErrorFromViewExitsWith70)
{
    c.regularFiles = {"/img/a.png"};
    c.viewStatus = {8};
    EXPECT_EQ(runTav({"/img/a.png"}), 70);
    EXPECT_NE(err.find("\ntavMain exiting due to internal error\n"), std::string::npos);
}

TEST_F(EntryFlow, LoadBackToLoaderThenWindowGone)
{
    // Status 4 returns to the loader; the headless window then goes as File/Exit.
    c.loadStatus = {4};
    c.pollResult = 1;
    EXPECT_EQ(runTav({}), 0);
    const std::vector<std::string> want = {"connect", "load 4 -", "close"};
    EXPECT_EQ(c.seq, want);
}

TEST_F(EntryFlow, ViewReturnsToLoaderWhichSubmitsAgain)
{
    c.regularFiles = {"/img/a.png"};
    c.viewStatus = {0, 1};
    ldrConsoleScript("i=b.png\n");
    EXPECT_EQ(runTav({"/img/a.png"}), 0);
    const std::vector<std::string> want = {
        "connect", "load 2 i=\"/img/a.png\" \n", "view 0", "load 2 i=b.png\n", "view 0", "close"};
    EXPECT_EQ(c.seq, want);
}

TEST_F(EntryFlow, EmptySubmitOnEmptyBufferStaysInLoader)
{
    ldrConsoleScript("");
    EXPECT_EQ(runTav({}), 0);
    EXPECT_NE(
        ldrMessageArea().find("\nCannot Exploit an empty iBUFF\nSelect Image, Script or Exit\n"),
        std::string::npos);
    const std::vector<std::string> want = {"connect", "close"};
    EXPECT_EQ(c.seq, want);
}

TEST_F(EntryFlow, StaticBufferIsViewedWithoutImages)
{
    c.fillOnLoad = false;
    c.pollResult = 1;
    hooks.load = [](bufdes* t, shortu* cur, shortu, const char*) -> shortu {
        t[*cur].bufCtlm |= bufSTATIC;
        return 0;
    };
    EXPECT_EQ(runTav({}), 0);
    const std::vector<std::string> want = {"connect", "view 0", "close"};
    EXPECT_EQ(c.seq, want);
}

TEST_F(EntryFlow, OptionsSetDisplayPathsAndHdr)
{
    EXPECT_EQ(runTav({"-dmin", "-dmax", "-cd", "/tmp", "-hdr", "MEAN3SD"}), 0);
    EXPECT_EQ(vDims.dpyType, DPY_FULL) << "-dmax wins over -dmin";
    EXPECT_EQ(GET_IPATH(), "/tmp/");
    EXPECT_EQ(GET_SPATH(), "/tmp/");
    EXPECT_EQ(hdrSet.rangeMode[0], 1);
    EXPECT_EQ(err.find("10: Fail opening file"), std::string::npos) << err;

    resetViewDims();
    EXPECT_EQ(runTav({"-dmin", "-cd"}), 0);
    EXPECT_EQ(vDims.dpyType, DPY_MIN);
    EXPECT_EQ(GET_IPATH(), cwdWithSlash());
    resetPathsToCwd();
}

TEST_F(EntryFlow, RejectedLastArgumentBlocksStandardInput)
{
    c.pollResult = 1;
    EXPECT_EQ(runTav({"/no/such.png"}), 0);
    EXPECT_NE(err.find("\n\n10: Fail opening file: /no/such.png\n"), std::string::npos);
    for (const auto& s : c.seq)
        EXPECT_EQ(s.rfind("load", 0), std::string::npos) << s;

    c.seq.clear();
    c.regularFiles = {"/j/run.cmd"};
    EXPECT_EQ(runTav({"/j/run.cmd"}), 0);
    EXPECT_NE(err.find("23: Syntax to stream Command file is: tav < /j/run.cmd\n"),
              std::string::npos);
    for (const auto& s : c.seq)
        EXPECT_EQ(s.rfind("load", 0), std::string::npos) << s;
}

TEST_F(EntryFlow, TooLongFileArgumentReportsFirst255Characters)
{
    const std::string p = "/" + std::string(299, 'p');
    c.regularFiles = {p};
    EXPECT_EQ(runTav({p}), 0);
    EXPECT_NE(err.find("10: Fail opening file: " + p.substr(0, 255) + "\n"), std::string::npos);
    EXPECT_EQ(err.find(p.substr(0, 256)), std::string::npos);
}

} // namespace
