// The view window, message box, prompts and menus on a private Xvfb, driven through XTest and
// followed through the event log.
#include <gtest/gtest.h>

#include "session.h"

using namespace tavtest;

namespace {

class ViewX : public Session {
protected:
    // Starts the demo and takes the view's place and size from the log.
    bool start(const std::vector<std::string>& args)
    {
        return launch(VIEWDEMO_PATH, args) && takeViewOpen();
    }
};

TEST_F(ViewX, OpensAtTheSizeAndPlaceOfTheSizeRules)
{
    struct Case {
        std::vector<std::string> args;
        const char* open;
    } cases[] = {
        {{"-type", "2"}, "view open 576 156 768 768"},
        {{"-type", "1", "-max", "1536,1024"}, "view open 192 78 1536 924"},
        {{"-type", "0", "-max", "500,400"}, "view open 576 156 768 768"},
        {{"-type", "3"}, "view open 0 0 1920 1048"},
    };
    int n = 0;
    for (const Case& c : cases) {
        RunOptions o;
        o.args = c.args;
        o.env = env();
        const std::string logName = home.file("open" + std::to_string(n++) + ".log");
        o.env["TAV_TESTLOG"] = logName;
        const RunResult r = run(VIEWDEMO_PATH, o);
        EXPECT_EQ(r.status, 0) << r.err;
        const std::string text = readFile(logName);
        EXPECT_NE(text.find(std::string(c.open) + "\n"), std::string::npos) << text;
        EXPECT_NE(text.find("exit 0"), std::string::npos);
    }
}

TEST_F(ViewX, FontTableOpensWhatIsInstalled)
{
    RunOptions o;
    o.args = {"fonts"};
    o.env = env();
    const RunResult r = run(VIEWDEMO_PATH, o);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string text = readFile(home.file("events.log"));
    for (int f = 0; f < 3; ++f)
        EXPECT_NE(text.find("font " + std::to_string(f) + " ok"), std::string::npos) << text;
    // Families fontconfig does not have must fail, not fall back to another family.
    EXPECT_NE(text.find("font 21 fail"), std::string::npos) << text;
    EXPECT_NE(r.err.find("\n***TEXTWIN():SETFONT:XftFontOpen failed\n"), std::string::npos);
    if (!readFile("/usr/share/fonts/truetype/liberation/LiberationSansNarrow-Regular.ttf")
             .empty()) {
        for (int f = 3; f < 19; ++f)
            EXPECT_NE(text.find("font " + std::to_string(f) + " ok"), std::string::npos) << text;
    }
}

TEST_F(ViewX, ProtocolErrorsAreCountedAndEveryFiftiethReported)
{
    for (int n : {49, 50}) {
        RunOptions o;
        o.args = {"xerrors:" + std::to_string(n)};
        o.env = env();
        const RunResult r = run(VIEWDEMO_PATH, o);
        EXPECT_EQ(r.status, 0) << "errors never end the program\n" << r.err;
        const size_t at = r.err.find("\n***TAV_XERRH: ");
        if (n == 49) {
            EXPECT_EQ(at, std::string::npos) << r.err;
            continue;
        }
        ASSERT_NE(at, std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("\n***TAV_XERRH: ", at + 1), std::string::npos) << "one line only";
        const std::string line = r.err.substr(at + 1, r.err.find('\n', at + 1) - at - 1);
        EXPECT_NE(line.find("BadWindow"), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 9), " Iter: 50") << line;
    }
}

TEST_F(ViewX, MessageBoxWantsAClickAndRestoresThePixels)
{
    ASSERT_TRUE(start({"fill", "wait", "msg:Hello\\nfrom the view\\nthird line", "wait"}));
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot before = view();
    click(1, 50, 50);
    const std::vector<std::string> m = fields(log.waitFor("msg show", waitMs));
    ASSERT_GE(m.size(), 8u);
    const int x0 = std::stoi(m[2]), y0 = std::stoi(m[3]), x1 = std::stoi(m[4]),
              y1 = std::stoi(m[5]);
    EXPECT_NEAR((x0 + x1) / 2, vw / 2, 1) << "centred on the view";
    EXPECT_NEAR((y0 + y1) / 2, vh / 2, 1);
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty());
    const Shot shown = view();
    EXPECT_NE(shown.at(x0 + 1, y0 + 1), before.at(x0 + 1, y0 + 1));

    // A key is read and ignored: the box stays.
    drv->key("x");
    ASSERT_FALSE(log.waitFor("key 120", waitMs).empty());
    EXPECT_EQ(log.text().find("msg hide"), std::string::npos);
    EXPECT_TRUE(view() == shown);

    click(1, 60, 60);
    ASSERT_FALSE(log.waitFor("msg hide", waitMs).empty());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before) << "the pixels under the box come back exactly";
    click(1, 5, 5);
    EXPECT_FALSE(log.waitFor("exit 0", waitMs).empty());
    EXPECT_EQ(proc.wait(waitMs), 0);
}

// Columns of the box interior (inside the bevel) that hold white text pixels: first and last.
std::pair<int, int> textColumns(const Shot& s, const std::vector<std::string>& box)
{
    const int x0 = std::stoi(box[2]), y0 = std::stoi(box[3]), x1 = std::stoi(box[4]),
              y1 = std::stoi(box[5]);
    int first = -1, last = -1;
    for (int x = x0 + 2; x <= x1 - 2; ++x)
        for (int y = y0 + 2; y <= y1 - 2; ++y)
            if (s.at(x, y) == 0xffffffu) {
                if (first < 0)
                    first = x - x0;
                last = x - x0;
                break;
            }
    return {first, last};
}

TEST_F(ViewX, BriefNoteDrawsItsLastCharactersLikeAMessageOfSeveralLines)
{
    ASSERT_TRUE(start({"wait", "msg:Graph HISTOGRAM\\nshorter", "note:Graph HISTOGRAM", "wait"}));
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    click(1, 50, 50);
    const std::vector<std::string> msg = fields(log.waitFor("msg show", waitMs));
    ASSERT_GE(msg.size(), 8u);
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty());
    const auto [msgFirst, msgLast] = textColumns(view(), msg);
    click(1, 60, 60);
    ASSERT_FALSE(log.waitFor("msg hide", waitMs).empty());

    const std::vector<std::string> note = fields(log.waitFor("msg show", waitMs));
    ASSERT_GE(note.size(), 8u);
    ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty());
    const auto [noteFirst, noteLast] = textColumns(view(), note);
    // Four pointer moves take a note away.
    for (int k = 1; k <= 4; ++k)
        drv->move(vx + 20 * k, vy + 20);
    ASSERT_FALSE(log.waitFor("msg hide", waitMs).empty());

    ASSERT_GE(msgFirst, 0) << "no text in the message";
    EXPECT_EQ(noteFirst, msgFirst) << "both start at the margin";
    EXPECT_EQ(noteLast - noteFirst, msgLast - msgFirst) << "the note's text is cut short";
    EXPECT_LE(noteLast, std::stoi(note[4]) - std::stoi(note[2]) - 2) << "inside the bevel";
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    click(1, 5, 5);
    EXPECT_FALSE(log.waitFor("exit 0", waitMs).empty());
    EXPECT_EQ(proc.wait(waitMs), 0);
}

TEST_F(ViewX, PromptTakesTypedTextAndReturnAloneGivesNoAnswer)
{
    ASSERT_TRUE(start({"fill", "wait", "prompt:Name\\n> ", "prompt:Again (Y/N) > ", "wait"}));
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot before = view();
    click(1, 50, 50);
    ASSERT_FALSE(log.waitFor("idle prompt", waitMs).empty());
    drv->type("abx");
    drv->key("BackSpace");
    drv->type("c d");
    drv->key("Delete");
    drv->key("Return");
    EXPECT_EQ(log.waitFor("prompt answer", waitMs), "prompt answer \"abc \"");
    ASSERT_FALSE(log.waitFor("idle prompt", waitMs).empty());
    drv->key("Return");
    EXPECT_EQ(log.waitFor("prompt answer", waitMs), "prompt answer none");
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before);
    click(1, 5, 5);
    EXPECT_FALSE(log.waitFor("exit 0", waitMs).empty());
    EXPECT_EQ(proc.wait(waitMs), 0);
}

TEST_F(ViewX, MenuTreeCascadesAndRestoresTheView)
{
    ASSERT_TRUE(start({"fill", "menu", "menu", "wait"}));
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot before = view();

    auto openRoot = [&](std::vector<int>* box) {
        drv->move(vx + 200, vy + 150);
        drv->press(3);
        const std::vector<std::string> f = fields(log.waitFor("menu show", waitMs));
        ASSERT_EQ(f.size(), 9u);
        EXPECT_EQ(f[3], "0");
        for (int k = 2; k < 9; ++k)
            box->push_back(std::stoi(f[size_t(k)]));
        EXPECT_EQ((*box)[2], 200);
        EXPECT_EQ((*box)[3], 150);
        ASSERT_FALSE(log.waitFor("idle menu", waitMs).empty());
    };
    // box: id level x0 y0 x1 y1 step
    auto rowY = [](const std::vector<int>& b, int row) { return b[3] + 4 + b[6] * row + b[6] / 2; };

    std::vector<int> root;
    openRoot(&root);
    drv->move(vx + root[2] + 10, vy + rowY(root, 3));
    EXPECT_EQ(log.waitFor("menu hilite", waitMs),
              "menu hilite " + std::to_string(root[0]) + " 3 3");
    const std::vector<std::string> s = fields(log.waitFor("menu show", waitMs));
    ASSERT_EQ(s.size(), 9u);
    std::vector<int> sub;
    for (int k = 2; k < 9; ++k)
        sub.push_back(std::stoi(s[size_t(k)]));
    EXPECT_EQ(sub[1], 1);
    EXPECT_EQ(sub[2], root[4] + 1) << "the sub-menu opens beside its parent";
    EXPECT_EQ(sub[3], root[3] + 3 * root[6] - 1);
    drv->move(vx + sub[2] + 10, vy + rowY(sub, 2));
    EXPECT_EQ(log.waitFor("menu hilite", waitMs),
              "menu hilite " + std::to_string(sub[0]) + " 2 24");
    drv->release(3);
    EXPECT_EQ(log.waitFor("menu done", waitMs), "menu done 3 0 3 24");
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before);

    // Released below every menu: outside, and the view is as it was.
    std::vector<int> again;
    openRoot(&again);
    drv->move(vx + again[2] + 10, vy + rowY(again, 3));
    ASSERT_FALSE(log.waitFor("menu hilite", waitMs).empty());
    ASSERT_FALSE(log.waitFor("menu show", waitMs).empty());
    drv->move(vx + again[2] + 10, vy + again[5] + 60);
    ASSERT_NO_FATAL_FAILURE(releaseOutside(before));
    click(1, 5, 5);
    EXPECT_FALSE(log.waitFor("exit 0", waitMs).empty());
    EXPECT_EQ(proc.wait(waitMs), 0);
}

} // namespace

namespace {

TEST(ViewSmallScreen, RefusesToOpenBelow768)
{
    Xvfb small(24, "1024x600");
    ASSERT_TRUE(small.ok());
    TempDir home;
    RunOptions o;
    o.args = {"fill"};
    o.env = {{"DISPLAY", small.display()},
             {"HOME", home.path()},
             {"TAV_TESTLOG", home.file("events.log")}};
    const RunResult r = run(VIEWDEMO_PATH, o);
    EXPECT_EQ(r.status, 8);
    EXPECT_NE(r.err.find("\n***TAV_VIEWINI(): root screen size is 1024 X 600"), std::string::npos)
        << r.err;
    EXPECT_NE(readFile(home.file("events.log")).find("exit 8 viewini -3"), std::string::npos);
}

} // namespace
