// The loader window calls reach the installed window, and nothing pretends to be a window
// when none is installed.
#include <gtest/gtest.h>

#include <string>

#include "ldrConsole.h"
#include "ldrErrors.h"
#include "loadGui.h"

namespace {

/// A window that records what reached it.
class recordingWindow final : public ldrWindow {
public:
    std::string log;
    bool made = false;
    int create() override
    {
        log += "create;";
        made = true;
        return 1;
    }
    char* show(bool wait) override
    {
        log += wait ? "show wait;" : "show;";
        return nullptr;
    }
    void message(const char* text) override { log += std::string("msg ") + text + ";"; }
    void destroy() override
    {
        log += "destroy;";
        made = false;
    }
    void hide() override { log += "hide;"; }
    bool exists() override { return made; }
    void setPos(int x, int y) override
    {
        log += "pos " + std::to_string(x) + "," + std::to_string(y) + ";";
    }
};

TEST(LoaderWindowPort, CallsReachTheInstalledWindowUntilReplaced)
{
    ldrConsoleReset();
    recordingWindow rec;
    ldrWindow* console = installLoaderWindow(&rec);
    ASSERT_NE(console, nullptr) << "the console was installed";

    EXPECT_FALSE(LDR_EXISTS());
    EXPECT_EQ(CRE_LDR_GUI(), 1);
    EXPECT_TRUE(LDR_EXISTS());
    LDR_MSG("a");
    EXPECT_EQ(LDR_GUI(true), nullptr);
    LDR_SETPOS(3, 4);
    LDR_HIDE();
    LDR_DESTROY();
    EXPECT_EQ(rec.log, "create;msg a;show wait;pos 3,4;hide;destroy;");

    EXPECT_EQ(installLoaderWindow(console), &rec);
    LDR_MSG("b");
    EXPECT_EQ(rec.log, "create;msg a;show wait;pos 3,4;hide;destroy;") << "no longer reached";
    ldrConsoleReset();
}

TEST(LoaderWindowPort, WithoutAWindowCreationFailsAndErrorsStillReachStandardError)
{
    installLoaderWindow(nullptr);
    EXPECT_EQ(CRE_LDR_GUI(), 0) << "no window to create must not look like success";
    EXPECT_FALSE(LDR_EXISTS());
    EXPECT_EQ(LDR_GUI(true), nullptr);
    LDR_MSG("dropped");
    LDR_HIDE();
    LDR_SETPOS(1, 1);
    LDR_DESTROY();
    testing::internal::CaptureStderr();
    EXPECT_EQ(LDR_ERROR(10, "/x.png"), 10);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\n\n10: Fail opening file: /x.png\n");
    EXPECT_EQ(installLoaderWindow(nullptr), nullptr) << "none was installed";
    ldrConsoleReset();
}

} // namespace
