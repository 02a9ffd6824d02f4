// The loader window on a private Xvfb: its menus, command line, load list and file
// selectors, driven through XTest and followed through the event log.
#include <gtest/gtest.h>

#include "session.h"

using namespace tavtest;

namespace {

std::string pgm(int w, int h)
{
    std::string s = "P5\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int i = 0; i < w * h; ++i)
        s += char(i * 7 & 255);
    return s;
}

class LoaderX : public Session {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(Session::SetUp());
        // Both selectors start in the test folder.
        writeFile(home.file("TAVdefaults.txt"),
                  "IMAGE_PATH=" + home.path() + "/\nSCRIPT_PATH=" + home.path() + "/\n");
    }

    /// Opens a selector and types the full name of a file of the test folder.
    void selectorName(const std::string& menuEntry, const std::string& kind,
                      const std::string& name)
    {
        choose("File", menuEntry);
        ASSERT_FALSE(log.waitFor("loader menu selector " + kind, waitMs).empty());
        const Item text = item("selector", "Text");
        ASSERT_TRUE(text.found);
        // The text holds a directory, or the first file of the list: rubbed out from its end.
        clickAt(text);
        drv->key("End");
        for (int k = 0; k < 160; ++k)
            drv->key("BackSpace");
        drv->type(home.file(name));
    }

    void pressSelector(const std::string& button)
    {
        const Item b = item("selector", button);
        ASSERT_TRUE(b.found) << button;
        clickAt(b);
    }

    /// Ends tav from the File menu and checks the normal end.
    void exitFromMenu()
    {
        choose("File", "Exit");
        expectNormalExit();
    }

    /// After a load the view runs; closing it through the window manager's protocol brings
    /// the loader back.
    bool backInLoader()
    {
        const std::string idle = log.waitFor("idle ", waitMs);
        if (idle == "idle loader")
            return true;
        if (idle != "idle main")
            return false;
        closeView();
        return !log.waitFor("idle loader", waitMs).empty();
    }

    /// The view is the viewable top-level window where "view open" placed it.
    void closeView()
    {
        std::vector<std::string> open;
        for (const std::string& l : log.lines())
            if (l.rfind("view open ", 0) == 0)
                open = fields(l);
        ASSERT_EQ(open.size(), 6u);
        const int x = std::stoi(open[2]), y = std::stoi(open[3]), w = std::stoi(open[4]),
                  h = std::stoi(open[5]);
        drv->closeWindow(drv->topWindowAt(x, y, w, h));
    }
};

TEST_F(LoaderX, ShowsMemoryLineAndQueuedMessagesThenExitsFromTheMenu)
{
    // The refused argument is reported before the window is shown: it is queued and
    // appears after the free-memory line.
    ASSERT_TRUE(startInLoader({"/no/such/scene.png"}));
    const std::string text = log.text();
    const size_t mem = text.find("loader message \n\n     [MBytes] Free Ram= ");
    ASSERT_NE(mem, std::string::npos) << text;
    const size_t err = text.find("10: Fail opening file: /no/such/scene.png");
    ASSERT_NE(err, std::string::npos) << text;
    EXPECT_LT(mem, err);

    const Item shell = item("main", "shell");
    ASSERT_TRUE(shell.found);
    for (const char* name : {"File", "Display", "Help", "cmdW"}) {
        const Item it = item("main", name);
        ASSERT_TRUE(it.found) << name;
        EXPECT_GE(it.x, shell.x);
        EXPECT_LE(it.x + it.w, shell.x + shell.w) << name;
        EXPECT_LE(it.y + it.h, shell.y + shell.h) << name;
    }
    // The window is drawn: the message pane is not one flat colour.
    const Item pane = item("main", "messages");
    const Shot s = drv->grab(pane.x, pane.y, pane.w, pane.h);
    bool varied = false;
    for (uint32_t p : s.px)
        varied = varied || p != s.px[0];
    EXPECT_TRUE(varied);

    exitFromMenu();
}

TEST_F(LoaderX, EnterCollectsLinesAndExploitLoadsThemAll)
{
    const std::string img = writeFile(home.file("ramp.pgm"), pgm(32, 24));
    ASSERT_TRUE(startInLoader());

    // An empty list cannot be exploited while the iBUFF is empty.
    choose("File", "Exploit");
    ASSERT_TRUE(waitText("loader message \nCannot Exploit an empty iBUFF"));
    ASSERT_TRUE(backInLoader());

    enterCommand("i=" + img);
    ASSERT_FALSE(log.waitFor("loader message i=" + img, waitMs).empty()) << "Enter adds the line";
    enterCommand("SETB=2 i=" + img);
    ASSERT_FALSE(log.waitFor("loader message SETB=2 i=" + img, waitMs).empty());
    EXPECT_EQ(log.text().find("Parsing:"), std::string::npos) << "Enter does not submit";

    choose("File", "Exploit");
    ASSERT_TRUE(waitText("loader message \nParsing: i=" + img));
    ASSERT_TRUE(waitText("loader message \nParsing: SETB=2 i=" + img));
    ASSERT_TRUE(backInLoader());
    const std::string text = log.text();
    size_t dumps = 0;
    for (size_t p = 0; (p = text.find("FCOLS: 32   FROWS: 24", p)) != std::string::npos; ++p)
        ++dumps;
    EXPECT_EQ(dumps, 2u) << "both lines load";
    size_t memLines = 0;
    for (size_t p = 0; (p = text.find("Free Ram= ", p)) != std::string::npos; ++p)
        ++memLines;
    EXPECT_EQ(memLines, 2u) << "shown again after the view";

    // The list was handed over: Clear and an empty Exploit load nothing again. The buffer
    // now holds the image, so the empty submission goes on to the view.
    choose("File", "Clear");
    choose("File", "Exploit");
    ASSERT_TRUE(backInLoader());
    const std::string after = log.text();
    EXPECT_EQ(after.find("Parsing:", text.size()), std::string::npos);
    exitFromMenu();
}

TEST_F(LoaderX, ImageSelectorRefusesScriptsAndQuotesDoubleQuotes)
{
    writeFile(home.file("job.cmd"), "i=" + home.file("ramp.pgm") + "\n");
    writeFile(home.file("ramp.pgm"), pgm(32, 24));
    writeFile(home.file("say \"hi\".pgm"), pgm(20, 18));
    ASSERT_TRUE(startInLoader());

    selectorName("Image", "image", "job.cmd");
    pressSelector("Exploit");
    ASSERT_TRUE(
        waitText("loader message \nImage files cannot use '.cmd' [command file] extension."));

    // The script selector wants ".cmd"; with it, the script runs.
    selectorName("Script", "script", "ramp.pgm");
    pressSelector("Exploit");
    ASSERT_TRUE(waitText("loader message \nCommand files must have '.cmd' extension."));
    EXPECT_EQ(log.text().find("Parsing:"), std::string::npos) << "nothing was submitted";

    selectorName("Script", "script", "job.cmd");
    pressSelector("Exploit");
    ASSERT_TRUE(waitText("loader message \nParsing: cmd=\"" + home.file("job.cmd") + "\""));
    ASSERT_TRUE(waitText("loader message \nParsing: i=" + home.file("ramp.pgm")));
    ASSERT_TRUE(backInLoader());

    // A name holding a double quote goes in single quotes and loads.
    selectorName("Image", "image", "say \"hi\".pgm");
    pressSelector("Exploit");
    ASSERT_TRUE(waitText("loader message \nParsing: i='" + home.file("say \"hi\".pgm") + "'"));
    ASSERT_TRUE(backInLoader());
    EXPECT_NE(log.text().find("FCOLS: 20   FROWS: 18"), std::string::npos);
    exitFromMenu();
}

TEST_F(LoaderX, EditAddPutsTheNameOnTheCommandLineForTags)
{
    writeFile(home.file("ramp.pgm"), pgm(32, 24));
    ASSERT_TRUE(startInLoader());
    selectorName("Image", "image", "ramp.pgm");
    pressSelector("Edit/Add");
    ASSERT_TRUE(waitText("loader message \nClick Commandline to edit. ENTER when done."));
    // The cursor is at the end of the field: tags typed there follow the name.
    clickAt(item("main", "cmdW"));
    drv->key("End");
    drv->type("DERES=1\n");
    const std::string line = "i=\"" + home.file("ramp.pgm") + "\" DERES=1";
    ASSERT_FALSE(log.waitFor("loader message " + line, waitMs).empty());
    choose("File", "Exploit");
    ASSERT_TRUE(waitText("loader message \nParsing: " + line));
    ASSERT_TRUE(backInLoader());

    // The hint is shown once per run.
    selectorName("Image", "image", "ramp.pgm");
    pressSelector("Edit/Add");
    selectorName("Image", "image", "ramp.pgm");
    pressSelector("Dismiss");
    choose("File", "Exit");
    expectNormalExit();
    const std::string text = log.text();
    EXPECT_EQ(text.find("Click Commandline", text.find("Click Commandline") + 1),
              std::string::npos);
}

TEST_F(LoaderX, DisplayAndHelpMenusAndABoundedCommandLine)
{
    ASSERT_TRUE(startInLoader());
    // The command line keeps 255 characters, whatever is typed.
    enterCommand(std::string(300, 'a'));
    const std::string got = log.waitFor("loader message a", waitMs);
    EXPECT_EQ(got, "loader message " + std::string(255, 'a'));

    choose("Display", "1536 X 1024");
    ASSERT_TRUE(waitText("loader message \nDisplay 1536 X 1024"));
    choose("Display", "1024 X  768");
    ASSERT_TRUE(waitText("loader message \nDisplay 1024 X  768"));
    choose("Display", "Full Screen");
    ASSERT_TRUE(waitText("loader message \nDisplay Full-Screen"));

    choose("Help", "Toplevel");
    ASSERT_FALSE(log.waitFor("loader menu help", waitMs).empty());
    const Item dismiss = item("help", "Dismiss");
    ASSERT_TRUE(dismiss.found);
    // A second help item while one is open does nothing.
    choose("Help", "Bugs...");
    choose("Display", "Minimize");
    ASSERT_TRUE(waitText("loader message \nDisplay Minimize"));
    EXPECT_TRUE(log.waitFor("loader menu help", 300).empty());
    clickAt(dismiss);
    choose("Help", "High Dynamic Range");
    ASSERT_FALSE(log.waitFor("loader menu help", waitMs).empty());
    exitFromMenu();
}

TEST_F(LoaderX, ClosingTheWindowActsAsExit)
{
    ASSERT_TRUE(startInLoader());
    drv->closeWindow(loaderWindow);
    expectNormalExit();
}

} // namespace
