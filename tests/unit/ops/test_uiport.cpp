// The UI port's own rules: typed answers read as number pairs and Y/N, the progress indicator
// of the text windows, and severe messages reaching the message box.
#include <gtest/gtest.h>

#include <string>

#include "bufRecMgt.h"
#include "fakeBackend.h"
#include "lexical.h"
#include "uiScript.h"

namespace {

TEST(UiPort, TypedAnswersReadAsPairs)
{
    struct Case {
        const char* answer;
        int status;
        int32 a, b; // 99, 99 when left untouched
    };
    const Case ints[] = {
        {"12", PAIR_OK, 12, 12},         {"3,4", PAIR_OK, 3, 4},
        {"-5 , 6", PAIR_OK, -5, 6},      {"", PAIR_BAD_FIRST, 99, 99},
        {"x", PAIR_BAD_FIRST, 99, 99},   {"7,y", PAIR_BAD_SECOND, 99, 99},
        {"2.5", PAIR_BAD_FIRST, 99, 99}, {"99999999999", PAIR_BAD_FIRST, 99, 99},
    };
    uiScript ui;
    for (const Case& c : ints) {
        ui.answers.push_back(c.answer);
        int32 a = 99, b = 99;
        EXPECT_EQ(ui.askIntPair("Enter x,y\n> ", a, b), c.status) << '"' << c.answer << '"';
        EXPECT_EQ(a, c.a) << '"' << c.answer << '"';
        EXPECT_EQ(b, c.b) << '"' << c.answer << '"';
    }
    ASSERT_EQ(ui.transcript.size(), std::size(ints));
    EXPECT_EQ(ui.transcript[0].text, "Enter x,y\n> ");
    EXPECT_EQ(ui.transcript[0].flags, MSG_PROMPT);

    ui.answers = {"2.5,-1", "0.25", "1,", "e"};
    double a = 9, b = 9;
    EXPECT_EQ(ui.askDoublePair("> ", a, b), PAIR_OK);
    EXPECT_EQ(a, 2.5);
    EXPECT_EQ(b, -1.0);
    EXPECT_EQ(ui.askDoublePair("> ", a, b), PAIR_OK);
    EXPECT_EQ(b, 0.25);
    EXPECT_EQ(ui.askDoublePair("> ", a, b), PAIR_BAD_SECOND);
    EXPECT_EQ(ui.askDoublePair("> ", a, b), PAIR_BAD_FIRST);
    EXPECT_EQ(a, 0.25);
    EXPECT_EQ(ui.starved, 0);
}

TEST(UiPort, OnlyAnAnswerBeginningWithYIsYes)
{
    uiScript ui;
    ui.answers = {"y", "Yes", "n", "", " y", "ok"};
    const bool expected[] = {true, true, false, false, false, false};
    for (bool e : expected)
        EXPECT_EQ(ui.askYesNo("Overwrite? [Y/N]\n> "), e);
    EXPECT_FALSE(ui.askYesNo("No answer left (Y/N) > ")) << "Return alone is no";
    EXPECT_EQ(ui.starved, 1);
}

TEST(UiPort, ProgressOfTheTextWindowsStepsByTenPerCentThenGoes)
{
    FakeBackend fb(640, 480);
    const std::vector<int32u> before = fb.px;
    uiPort& ui = viewUi();
    for (int32 done = 0; done < 250; ++done)
        ui.progress("Working...", done, 250);
    std::vector<std::string> shown;
    for (const std::string& t : fb.texts)
        if (t.find('%') != std::string::npos)
            shown.push_back(t);
    const std::vector<std::string> steps = {"0%",  "10%", "20%", "30%", "40%",
                                            "50%", "60%", "70%", "80%", "90%"};
    EXPECT_EQ(shown, steps);
    ui.progress("Working...", 250, 250);
    EXPECT_EQ(fb.px, before) << "the finished indicator leaves the view as it was";
}

TEST(UiPort, SevereMessagesWithoutATakerReachTheMessageBox)
{
    uiScript ui;
    setFreeMemSource([](std::uint64_t& r, std::uint64_t& s) {
        r = 1000000;
        s = 0;
        return true;
    });
    setSevereMessageSink(showSevere);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SAFE_MEM_REQ(std::uint64_t(1) << 30, nullptr), 0);
    EXPECT_EQ(SAFE_MEM_REQ_WH(-1, 5, nullptr), 0);
    testing::internal::GetCapturedStderr();
    setSevereMessageSink(nullptr);
    setFreeMemSource(nullptr);
    ASSERT_EQ(ui.transcript.size(), 2u);
    EXPECT_EQ(ui.transcript[0].text.rfind("\nUnsafe Memory request. Resource use factor", 0), 0u);
    EXPECT_EQ(ui.transcript[1].text.rfind("\nUnsafe Memory request. Size", 0), 0u);
    EXPECT_EQ(ui.transcript[0].flags, MSG_ACK);
}

} // namespace
