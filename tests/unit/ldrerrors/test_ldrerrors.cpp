// The numbered loader messages and where a report goes.
#include <gtest/gtest.h>

#include <string>

#include "ldrConsole.h"
#include "ldrErrors.h"
#include "loadGui.h"

namespace {

TEST(LoaderErrors, TableTextsKeepTheirNumbers)
{
    for (int code = 1; code <= LDR_NUM_CODES; ++code) {
        const std::string t = LDR_ERRTEXT(code);
        if (code == 5 || code == 56 || code == 57) {
            EXPECT_EQ(t, "") << code;
            continue;
        }
        char prefix[8];
        std::snprintf(prefix, sizeof prefix, "%2d: ", code);
        EXPECT_EQ(t.rfind(prefix, 0), 0u) << code << " " << t;
    }
    EXPECT_STREQ(LDR_ERRTEXT(7),
                 " 7: GUN=(R|G|B|A) syntax error, xALPHA, or invalid use on HDR data");
    EXPECT_STREQ(LDR_ERRTEXT(24), "24: Cannot mix HDR with non-HDR data in iBUFF.\n    Precede "
                                  "with XBUFF Tag to clear iBUFF");
    EXPECT_STREQ(LDR_ERRTEXT(0), "*** UNDEFINED ERROR CODE!");
    EXPECT_STREQ(LDR_ERRTEXT(70), "*** UNDEFINED ERROR CODE!");
}

TEST(LoaderErrors, ReportCreatesTheWindowAndWritesBothPlaces)
{
    ldrConsoleReset();
    ASSERT_FALSE(LDR_EXISTS());
    testing::internal::CaptureStderr();
    EXPECT_EQ(LDR_ERROR(10, "/data/missing.png"), 10);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "\n\n10: Fail opening file: /data/missing.png\n");
    EXPECT_TRUE(LDR_EXISTS());
    // Not shown yet: queued, then flushed when the window is shown.
    EXPECT_EQ(ldrPendingText(), "\n10: Fail opening file: /data/missing.png\n");
    LDR_GUI(false);
    EXPECT_NE(ldrMessageArea().find("\n10: Fail opening file: /data/missing.png\n"),
              std::string::npos);
    ldrConsoleReset();
}

TEST(LoaderErrors, UndefinedCodesAndLongTexts)
{
    ldrConsoleReset();
    testing::internal::CaptureStderr();
    EXPECT_EQ(LDR_ERROR(0), LDR_UNDEFINED);
    EXPECT_EQ(LDR_ERROR(70), LDR_UNDEFINED);
    const std::string longPath(1000, 'p');
    EXPECT_EQ(LDR_ERROR(13, longPath), 13);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\n\n*** UNDEFINED ERROR CODE!\n"), std::string::npos);
    EXPECT_NE(err.find("13: Fail opening command file: " + longPath + "\n"), std::string::npos)
        << "a long text is reported whole";
    ldrConsoleReset();
}

TEST(LoaderErrors, PendingQueueIsBounded)
{
    ldrConsoleReset();
    CRE_LDR_GUI();
    const std::string big(200, 'm');
    for (int i = 0; i < 10; ++i)
        LDR_MSG(big.c_str());
    // Each message adds at most 80 characters while the queue is below 240.
    EXPECT_EQ(ldrPendingText().size(), 240u);
    ldrConsoleReset();
}

} // namespace
