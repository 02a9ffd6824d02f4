// Message, note and prompt texts are drawn whole in boxes sized by the message box rule, with
// the fixed core font and with a proportional Xft font.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakeBackend.h"
#include "textwin.h"

namespace {

std::vector<std::string> splitLines(const std::string& s)
{
    std::vector<std::string> out;
    size_t p = 0;
    for (size_t e; (e = s.find('\n', p)) != std::string::npos; p = e + 1)
        out.push_back(s.substr(p, e - p));
    if (p < s.size())
        out.push_back(s.substr(p));
    return out;
}

// Width and height the message box rule gives for these lines in the current font.
std::pair<int32, int32> ruleSize(FakeBackend& fb, const std::vector<std::string>& lines,
                                 bool prompt)
{
    const TavFontDes& f = currentFont();
    int32 widest = 0;
    for (const std::string& l : lines)
        widest = std::max(widest, fb.textWidth(l));
    int32 w = lines.size() == 1 ? widest + 10 : widest + 11;
    const int32 h =
        lines.size() == 1 ? f.height + 10 : f.lineStep * int32(lines.size()) + 10 - f.descent;
    if (prompt)
        w += 100;
    return {std::max(w, int32(f.charW + 10)), std::max(h, int32(f.height + 10))};
}

TEST(MessageText, EveryKindOfMessageIsDrawnWholeInABoxOfTheRuleSize)
{
    struct Case {
        const char* text;
        int32 flags;
    } cases[] = {
        {"Graph HISTOGRAM", MSG_STANDING},
        {"Graph scaling LOG", MSG_BRIEF},
        {"OK", MSG_ACK},
        {"W", MSG_STANDING},
        {"A one-line note long enough to cross most of the view from its left side", MSG_BRIEF},
        {"Value (Y/N) > ", MSG_PROMPT},
        {"Graph HISTOGRAM\nGraph scaling LOG", MSG_STANDING},
        {"Menu mode is FAST\nMenu remains visible until R MOUSE is RELEASED.\nRelease R MOUSE "
         "on final selection to Execute",
         MSG_ACK},
        {"This operation is not available yet.\nx", MSG_BRIEF},
        {"Level\n> ", MSG_PROMPT},
    };
    for (const Case& c : cases) {
        FakeBackend fb{800, 600};
        if (c.flags == MSG_BRIEF)
            for (int k = 0; k < 4; ++k)
                fb.afterDiscard.push_back(FakeBackend::ev(EV_MOTION, 10 + k, 10, 0));
        else if (c.flags == MSG_ACK)
            fb.afterDiscard.push_back(FakeBackend::ev(EV_PRESS, 10, 10, 1));
        else if (c.flags == MSG_PROMPT)
            fb.key(13);
        TEXTMSG(c.text, c.flags);

        const std::vector<std::string> lines = splitLines(c.text);
        ASSERT_GE(fb.texts.size(), lines.size()) << c.text;
        for (size_t k = 0; k < lines.size(); ++k)
            EXPECT_EQ(fb.texts[k], lines[k]) << c.text;
        // The first fill is the box's background.
        ASSERT_FALSE(fb.fills.empty());
        const twBox& b = fb.fills.front();
        const auto [w, h] = ruleSize(fb, lines, c.flags == MSG_PROMPT);
        EXPECT_EQ(b.x1 - b.x0 + 1, w) << c.text;
        EXPECT_EQ(b.y1 - b.y0 + 1, h) << c.text;
        EXPECT_FALSE(fb.outOfView);
    }
}

TEST(MessageText, ProportionalXftTextFillsItsBoxWhole)
{
    FakeBackend fb{800, 600};
    fb.proportionalXft = true;
    TavFontDes f;
    ASSERT_TRUE(SETFONT(3, 14, &f));
    const int32 disp[4] = {0, 0, 799, 599};
    const int colours[3] = {0, 1, 1};
    const std::vector<std::vector<std::string>> texts = {
        {"Graph HISTOGRAM"},
        {"Graph scaling LOG"},
        {"mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm"},
        {"iiii"},
        {"Graph HISTOGRAM", "Graph scaling LOG", "wide WWWWWWWW"},
    };
    for (const std::vector<std::string>& lines : texts) {
        std::vector<int32> widths;
        for (const std::string& l : lines)
            widths.push_back(fb.textWidth(l));
        const twBox lay = msgBoxLayout(lines, widths, f, 400, 300, 0, disp);
        int32 box[4] = {lay.x0, lay.y0, lay.x1, lay.y1};
        const int32 id = TEXTWIN_OPEN(-1, box, 3, colours, TW_BEVEL);
        ASSERT_GE(id, 0);
        fb.texts.clear();
        for (size_t k = 0; k < lines.size(); ++k)
            TEXTWIN_PUT(id, lines[k], 1, k ? TW_NEWLINE : 0);
        EXPECT_EQ(fb.texts, lines);
        const auto [w, h] = ruleSize(fb, lines, false);
        EXPECT_EQ(box[2] - box[0] + 1, w);
        EXPECT_EQ(box[3] - box[1] + 1, h);
        TEXTWIN_CLOSE(id, 0);
    }

    // The dialog's text panel follows the several-lines rule in the same font.
    textDlg d;
    d.font = 3;
    d.lines = {"Graph HISTOGRAM", "iiii"};
    d.textBox.x0 = 400;
    d.textBox.y0 = 300;
    fb.texts.clear();
    ASSERT_EQ(TEXTDLG(&d), 0);
    EXPECT_EQ(fb.texts, d.lines);
    EXPECT_EQ(d.textBox.x1 - d.textBox.x0 + 1, fb.textWidth("Graph HISTOGRAM") + 11);
    TEXTDLG_CLOSE(&d);
    EXPECT_FALSE(fb.outOfView);
}

} // namespace
