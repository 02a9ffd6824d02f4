// Text windows, the message box, prompts, fonts and event reading against a memory frame.
#include <gtest/gtest.h>

#include "fakeBackend.h"
#include "textwin.h"

namespace {

class TextWin : public ::testing::Test {
protected:
    FakeBackend fb{800, 600};
    std::vector<int32u> before = fb.px;
};

TEST_F(TextWin, FontZeroMetricsDeriveFromTheFont)
{
    const TavFontDes& f = currentFont();
    EXPECT_EQ(f.index, 0);
    EXPECT_EQ(f.ascent, 12);
    EXPECT_EQ(f.descent, 3);
    EXPECT_EQ(f.height, 15);
    EXPECT_EQ(f.charW, 7);
    EXPECT_EQ(f.lineStep, 18);
    EXPECT_EQ(f.box2, 42);
}

TEST_F(TextWin, XftSizeRulesAndMissingFamilies)
{
    TavFontDes f;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SETFONT(3, 0, &f));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nSETFONT() invalid font size: 0");
    EXPECT_EQ(currentFont().index, 0) << "a failed selection keeps the current font";

    EXPECT_TRUE(SETFONT(3, 14, &f));
    EXPECT_TRUE(f.xft);
    EXPECT_EQ(f.xftSize, 14);
    // The size stays in force for the next Xft font.
    EXPECT_TRUE(SETFONT(11, 0, &f));
    EXPECT_EQ(f.xftSize, 14);
    // Another size for the current font reopens it.
    const int opened = fb.opened;
    EXPECT_TRUE(SETFONT(11, 20, &f));
    EXPECT_EQ(f.xftSize, 20);
    EXPECT_EQ(fb.opened, opened + 1);

    // The current font closed for a new size that then cannot be opened is no longer current.
    fb.installed.erase("LiberationMono");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SETFONT(11, 24, &f));
    EXPECT_FALSE(SETFONT(11, 0, &f)) << "no success with the font that was closed";
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(currentFont().loaded);
    fb.installed.insert("LiberationMono");
    EXPECT_TRUE(SETFONT(11, 0, &f));
    EXPECT_EQ(f.xftSize, 24);

    // fontconfig substitutes a missing family; the selection must fail all the same.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SETFONT(21, 0, &f));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\n***TEXTWIN():SETFONT:XftFontOpen failed\n");
    EXPECT_FALSE(SETFONT(-1, 0, &f));
    EXPECT_FALSE(SETFONT(fontCount(), 0, &f));
    EXPECT_EQ(fontCount(), 24);
}

TEST_F(TextWin, FontWordsAndFamilyCompare)
{
    EXPECT_EQ(xftSlant("roman"), 0);
    EXPECT_EQ(xftSlant("italic"), 100);
    EXPECT_EQ(xftSlant("oblique"), 110);
    EXPECT_EQ(xftSlant("sideways"), 0);
    EXPECT_EQ(xftWeight("light"), 50);
    EXPECT_EQ(xftWeight("medium"), 100);
    EXPECT_EQ(xftWeight("demibold"), 180);
    EXPECT_EQ(xftWeight("bold"), 200);
    EXPECT_EQ(xftWeight("black"), 210);
    EXPECT_EQ(xftWeight(""), 50);
    EXPECT_TRUE(sameFamily("Liberation Sans", "LiberationSans"));
    EXPECT_TRUE(sameFamily("liberation sans narrow", "LiberationSansNarrow"));
    EXPECT_FALSE(sameFamily("Liberation Sans Narrow", "LiberationSans"));
}

TEST_F(TextWin, ColoursGoThroughTheGunTable)
{
    const charu rgb[4] = {2, 1, 0, 3}, bgr[4] = {0, 1, 2, 3};
    setTextGunTable(rgb);
    EXPECT_EQ(colourPixel(9, false), 0xff0000u);
    EXPECT_EQ(colourPixel(0, false), 0x828282u);
    EXPECT_EQ(colourPixel(11, false), 0x3f3fffu);
    setTextGunTable(bgr);
    EXPECT_EQ(colourPixel(9, false), 0x0000ffu);
    EXPECT_EQ(colourPixel(11, false), 0xff3f3fu);
    setTextGunTable(rgb);
}

TEST_F(TextWin, SlotExhaustionAt257Windows)
{
    const int colours[3] = {0, 1, 1};
    for (int k = 0; k < MAX_WIN; ++k) {
        int32 box[4] = {k, k, k + 20, k + 20};
        ASSERT_EQ(TEXTWIN_OPEN(-1, box, 0, colours, TW_NO_SAVE | TW_DEFINE_ONLY), k);
    }
    int32 box[4] = {0, 0, 10, 10};
    EXPECT_EQ(TEXTWIN_OPEN(-1, box, 0, colours, 0), -1);
    // With the table full the message box is simply not shown.
    EXPECT_EQ(TEXTMSG("Name\n> ", MSG_PROMPT), "");
    // Redefining an existing slot still works.
    EXPECT_EQ(TEXTWIN_OPEN(17, box, 0, colours, TW_NO_SAVE | TW_DEFINE_ONLY), 17);
    TEXTWIN_CLOSE(5, 0);
    EXPECT_EQ(TEXTWIN_OPEN(-1, box, 0, colours, TW_NO_SAVE), 5);
    TEXTWIN_CLEARALL();
    EXPECT_EQ(wdef.count, 0);
    EXPECT_EQ(TEXTWIN_OPEN(-1, box, 0, colours, TW_NO_SAVE), 0);
}

TEST_F(TextWin, WindowsPutBackWhatLayUnderThem)
{
    const int colours[3] = {0, 1, 1};
    int32 a[4] = {100, 100, 300, 200};
    const int32 ida = TEXTWIN_OPEN(-1, a, 0, colours, TW_BEVEL);
    TEXTWIN_PUT(ida, "hello", 1, 0);
    EXPECT_NE(fb.px, before);
    // Windows that reach past every edge, and a box smaller than the minimum.
    int32 big[4] = {-50, -20, 2000, 1500};
    const int32 idb = TEXTWIN_OPEN(-1, big, 0, colours, 0);
    int32 tiny[4] = {10, 10, 5, 5};
    const int32 idc = TEXTWIN_OPEN(-1, tiny, 0, colours, 0);
    EXPECT_EQ(tiny[2] - tiny[0] + 1, 7 + 10);
    EXPECT_EQ(tiny[3] - tiny[1] + 1, 15 + 10);
    int32 corner[4] = {790, 590, 820, 640};
    const int32 idd = TEXTWIN_OPEN(-1, corner, 0, colours, 0);
    EXPECT_EQ(corner[2], 799) << "shifted left by the overhang";
    EXPECT_EQ(corner[3], 599) << "shifted up by the overhang";
    EXPECT_FALSE(fb.outOfView);
    TEXTWIN_CLOSE(idd, 0);
    TEXTWIN_CLOSE(idc, 0);
    TEXTWIN_CLOSE(idb, 0);
    TEXTWIN_HIDE(ida);
    EXPECT_EQ(fb.px, before);
    // Showing again saves afresh; a second show does not save the window itself.
    TEXTWIN_SHOW(ida);
    TEXTWIN_SHOW(ida);
    TEXTWIN_CLOSE(ida, 0);
    EXPECT_EQ(fb.px, before);
    EXPECT_FALSE(fb.outOfView);
}

TEST_F(TextWin, PutShowsWhatFitsOrWrapsWithScrolling)
{
    const int colours[3] = {0, 1, 1};
    // margin 106, last usable x 161: nine 6-pixel characters fit.
    int32 box[4] = {100, 100, 165, 199};
    const int32 id = TEXTWIN_OPEN(-1, box, 0, colours, 0);
    fb.texts.clear();
    EXPECT_EQ(TEXTWIN_PUT(id, "ABCDEFGHIJKLMNOP", 1, 0), 0);
    ASSERT_EQ(fb.texts.size(), 1u);
    EXPECT_EQ(fb.texts[0], "ABCDEFGHI");
    fb.texts.clear();
    TEXTWIN_PUT(id, "ABCDEFGHIJKLMNOPQRST", 1, TW_NEWLINE | TW_WRAP);
    ASSERT_EQ(fb.texts.size(), 3u);
    EXPECT_EQ(fb.texts[1], "JKLMNOPQR");
    EXPECT_EQ(fb.texts[2], "ST");
    // The first line has scrolled up two line steps: its glyphs moved with it.
    const twRec& r = wdef.rec[id];
    const int32u white = colourPixel(1, false);
    EXPECT_EQ(fb.at(r.margin + 1, r.baseline - 1 - 36), white);
    EXPECT_EQ(TEXTWIN_PUT(200, "x", 1, 0), -1);
    EXPECT_EQ(TEXTWIN_GET(200, 256, 1, 0), "");
}

TEST_F(TextWin, MessageLayout)
{
    const TavFontDes& f = currentFont();
    const int32 disp[4] = {0, 0, 799, 599};
    twBox b = msgBoxLayout({"hello"}, {30}, f, 400, 300, 0, disp);
    EXPECT_EQ(b.x1 - b.x0 + 1, 40);
    EXPECT_EQ(b.y1 - b.y0 + 1, 25);
    EXPECT_EQ(b.x0, 380);
    EXPECT_EQ(b.y0, 288);
    b = msgBoxLayout({"hello"}, {30}, f, 400, 300, MSG_PROMPT, disp);
    EXPECT_EQ(b.x1 - b.x0 + 1, 140);
    // Three lines: widest + 11 by line step x 3 + 10 - descent, centred on the anchor.
    b = msgBoxLayout({"a", "bbbb", "cc"}, {6, 24, 12}, f, 400, 300, 0, disp);
    EXPECT_EQ(b.x1 - b.x0 + 1, 35);
    EXPECT_EQ(b.y1 - b.y0 + 1, 61);
    EXPECT_EQ(b.x0, 400 - 17);
    EXPECT_EQ(b.y0, 300 - 30);
    // Without centring the box starts at the anchor; the edges push it back inside.
    b = msgBoxLayout({"a", "bbbb"}, {6, 24}, f, 790, 590, MSG_NO_CENTRE, disp);
    EXPECT_EQ(b.x1, 799 - 5);
    EXPECT_EQ(b.y1, 599);
    b = msgBoxLayout({"wide"}, {300}, f, 10, 2, 0, disp);
    EXPECT_EQ(b.x0, 5);
    EXPECT_EQ(b.y0, 0);
}

TEST_F(TextWin, AcknowledgedMessageIgnoresKeysAndRestoresTheView)
{
    fb.events.push_back(FakeBackend::ev(EV_PRESS, 5, 5, 1)); // typed ahead: discarded
    fb.key('a');
    fb.afterDiscard.push_back(FakeBackend::ev(EV_MOTION, 10, 10, 0));
    fb.afterDiscard.push_back(FakeBackend::ev(EV_KEY, 0, 0, 0));
    fb.afterDiscard.back().key = 13;
    fb.afterDiscard.back().keyClass = KEY_TEXT;
    fb.afterDiscard.push_back(FakeBackend::ev(EV_RELEASE, 10, 10, 1));
    fb.afterDiscard.push_back(FakeBackend::ev(EV_PRESS, 10, 10, 3));
    EXPECT_EQ(TEXTMSG("one\ntwo\nthree", MSG_ACK), "");
    EXPECT_EQ(fb.discarded, 2);
    EXPECT_TRUE(fb.events.empty()) << "only the button press ends it";
    EXPECT_EQ(fb.px, before);
    EXPECT_NE(std::find(fb.texts.begin(), fb.texts.end(), "three"), fb.texts.end());
}

TEST_F(TextWin, BriefNoteWaitsForFourMouseEvents)
{
    for (int k = 0; k < 3; ++k)
        fb.afterDiscard.push_back(FakeBackend::ev(EV_MOTION, 10 + k, 10, 0));
    fb.afterDiscard.push_back(FakeBackend::ev(EV_KEY, 0, 0, 0));
    fb.afterDiscard.push_back(FakeBackend::ev(EV_RELEASE, 10, 10, 2));
    fb.afterDiscard.push_back(FakeBackend::ev(EV_MOTION, 1, 1, 0));
    TEXTMSG("note", MSG_BRIEF);
    ASSERT_EQ(fb.events.size(), 1u);
    EXPECT_EQ(fb.px, before);
}

TEST_F(TextWin, StandingMessageStaysUntilCleared)
{
    TEXTMSG("standing", MSG_STANDING);
    EXPECT_NE(fb.px, before);
    TEXTMSG("replaced", MSG_STANDING);
    TEXTMSG_CLEAR();
    EXPECT_EQ(fb.px, before);
    EXPECT_EQ(TEXTMSG("", MSG_STANDING), "");
    EXPECT_EQ(wdef.count, 0);
}

TEST_F(TextWin, PromptEditsTheLine)
{
    fb.type("ab");
    fb.key(8);
    fb.type("c");
    fb.key(13);
    EXPECT_EQ(TEXTMSG("Name\n> ", MSG_PROMPT), "ac");
    EXPECT_EQ(fb.px, before);

    fb.key(13);
    const std::string none = TEXTMSG("Delete? (Y/N) > ", MSG_PROMPT);
    EXPECT_EQ(none, "");
    EXPECT_FALSE(answerYes(none));

    // Backspace at the start does nothing; Delete acts as backspace; Shift alone is skipped.
    fb.key(8);
    fb.key(0, KEY_SHIFT);
    fb.type("xy");
    fb.key(0, KEY_DELETE);
    fb.key(13);
    EXPECT_EQ(TEXTMSG("> ", MSG_PROMPT), "x");
    EXPECT_TRUE(answerYes("yes"));
    EXPECT_TRUE(answerYes("Y"));
    EXPECT_FALSE(answerYes("n"));
    EXPECT_EQ(fb.px, before);
}

TEST_F(TextWin, PromptLineEndsAtTheBoxEdge)
{
    // A one-line prompt box has room for the answer after the text and no more.
    fb.type(std::string(60, 'z'));
    fb.key(13); // left over: the line ended by itself
    const std::string a = TEXTMSG("> ", MSG_PROMPT);
    EXPECT_GT(a.size(), 10u);
    EXPECT_LT(a.size(), 30u);
    EXPECT_EQ(a, std::string(a.size(), 'z'));
    EXPECT_EQ(fb.px, before);
}

TEST_F(TextWin, LineEditorsLeaveNoTraceWhenEverythingIsErased)
{
    // XOR mode over the image.
    int32 x = 50, y = 50;
    std::string buf;
    fb.type("ab");
    fb.key(8);
    fb.key(8);
    fb.key(13);
    EXPECT_EQ(GETSTR(&x, &y, 256, 1, 0, &buf, -1, TW_XOR), 0);
    EXPECT_EQ(fb.px, before);

    // Xft: the pixels under every glyph are kept, far past any fixed stack depth.
    FakeBackend wide(1200, 100);
    std::vector<int32u> clean = wide.px;
    TavFontDes f;
    ASSERT_TRUE(SETFONT(3, 14, &f));
    wide.type(std::string(150, 'q'));
    for (int k = 0; k < 150; ++k)
        wide.key(8);
    wide.key(13);
    x = 5;
    y = 50;
    EXPECT_EQ(XftGETSTR(&x, &y, 256, 1, 0, &buf, -1, 0), 0);
    EXPECT_EQ(wide.px, clean);
    EXPECT_EQ(x, 5);
}

TEST_F(TextWin, LineEditorLimitsAndInterruptions)
{
    int32 x = 10, y = 40;
    std::string buf;
    EXPECT_EQ(GETSTR(&x, &y, 2, 1, 0, &buf, -1, 0), 0) << "a buffer under 3 bytes reads nothing";
    fb.type("abcdef");
    fb.key(13);
    EXPECT_EQ(GETSTR(&x, &y, 5, 1, 0, &buf, -1, 0), 3);
    EXPECT_EQ(buf, "abc");
    // A mouse press ends input in mode 0x8 with nothing read.
    x = 10;
    fb.type("ab");
    fb.press(1, 3, 4);
    EXPECT_EQ(GETSTR(&x, &y, 256, 1, 0, &buf, -1, TW_MOUSE_ENDS), 0);
    EXPECT_EQ(buf, "");
    // Wrapping inside a window scrolls, and backspace returns to the line above.
    const int colours[3] = {0, 1, 1};
    int32 box[4] = {100, 100, 165, 199};
    const int32 id = TEXTWIN_OPEN(-1, box, 0, colours, 0);
    fb.type("0123456789AB");
    for (int k = 0; k < 5; ++k)
        fb.key(8);
    fb.type("Z");
    fb.key(13);
    EXPECT_EQ(TEXTWIN_GET(id, 256, 1, TW_WRAP), "0123456Z");
}

TEST(TwoButton, EmulatedMiddleButton)
{
    struct Step {
        int button;
        bool press;
        int code;
    };
    const Step onSeq[] = {
        {3, true, 3}, {3, false, -3},                                 // right alone
        {1, true, 1}, {3, true, 2},   {3, false, -2}, {1, false, -1}, // left held + right
        {1, true, 1}, {1, false, -1}, {3, true, 3},   {3, false, -3},
        {1, true, 1}, {3, true, 2},   {1, false, -1}, {3, false, -2}, // left let go first
    };
    twoButtonState s;
    s.on = true;
    for (const Step& st : onSeq)
        EXPECT_EQ(twoButtonCode(&s, st.button, st.press), st.code);
    // A real middle button turns the emulation off for good.
    EXPECT_EQ(twoButtonCode(&s, 2, true), 2);
    EXPECT_FALSE(s.on);
    EXPECT_EQ(twoButtonCode(&s, 1, true), 1);
    EXPECT_EQ(twoButtonCode(&s, 3, true), 3);
    twoButtonState off;
    EXPECT_EQ(twoButtonCode(&off, 2, false), -2);
}

TEST_F(TextWin, MouseEventCodesAndClipBox)
{
    TWO_BUTTON_MOUSE(true);
    int32 x = -1, y = -1;
    fb.press(1, 10, 10);
    fb.motion(12, 12); // motion between press and release must not change the release
    fb.press(3, 11, 11);
    fb.motion(13, 13);
    fb.release(3, 14, 14);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 1);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 4);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 2);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 4);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), -2);
    TWO_BUTTON_MOUSE(false);

    // One event per wheel notch: the release that comes with each press is no second step.
    fb.press(5, 1, 1);
    fb.release(5, 1, 1);
    fb.press(4, 1, 1);
    fb.release(4, 1, 1);
    x = y = 77;
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 6);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 7);
    EXPECT_EQ(x, 77) << "wheel events carry no position";

    const int32 clip[4] = {100, 100, 200, 150};
    SET_POINTER_BOX(clip);
    fb.motion(10, 500);
    fb.key('k');
    fb.motion(150, 120);
    fb.press(1, 300, 120);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 4);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 150);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 1), 1) << "mode bits skip motion and keys";
    EXPECT_EQ(x, 200);
    SET_POINTER_BOX(nullptr);
    fb.motion(799, 599);
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), 4);
    EXPECT_EQ(x, 799);

    fb.events.push_back(FakeBackend::ev(EV_CLOSE, 0, 0, 0));
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), MOUSE_CLOSE);
}

int refreshes = 0;
void refreshThatAsks()
{
    ++refreshes;
    TEXTMSG("redrawn", MSG_ACK);
}

TEST_F(TextWin, RefreshIsNotReentered)
{
    refreshes = 0;
    SET_REFRESH_CALLBACK(refreshThatAsks);
    twEvent ex = FakeBackend::ev(EV_EXPOSE, 0, 0, 0);
    fb.events.push_back(ex);
    fb.afterDiscard.push_back(ex); // arrives while the refresh waits for its click
    fb.afterDiscard.push_back(FakeBackend::ev(EV_PRESS, 1, 1, 1));
    int32 x, y;
    EXPECT_EQ(MOUSE_EVENT(&x, &y, 0), MOUSE_REDRAW);
    EXPECT_EQ(refreshes, 1);
    SET_REFRESH_CALLBACK(nullptr);
}

TEST_F(TextWin, GetkeyInterruptions)
{
    int c = 0;
    fb.press(3, 40, 50);
    EXPECT_EQ(GETKEY(&c, 1), -1);
    fb.events.push_back(FakeBackend::ev(EV_EXPOSE, 0, 0, 0));
    EXPECT_EQ(GETKEY(&c, 1), -2);
    fb.press(3, 40, 50); // ignored without mode 1
    fb.key('q');
    EXPECT_EQ(GETKEY(&c, 0), 'q');
    EXPECT_EQ(c, 'q');
}

TEST_F(TextWin, ControlAltDeleteEndsTheProgram)
{
    EXPECT_EXIT(
        {
            fb.key(0, KEY_CTRL_L);
            fb.key(0, KEY_ALT_L);
            fb.key(0, KEY_DELETE);
            int c;
            GETKEY(&c, 0);
            GETKEY(&c, 0);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(TextWin, DialogPanelsStayInsideTheirBounds)
{
    const TavFontDes& f = currentFont();
    const int32 disp[4] = {0, 0, 799, 599};
    twBox t, a;
    textDlgLayout({60, 120}, f, 400, 300, 0, nullptr, disp, &t, &a);
    EXPECT_EQ(t.x1 - t.x0 + 1, 131);
    EXPECT_EQ(t.y1 - t.y0 + 1, 43);
    EXPECT_EQ(a.y0, t.y1 + 2);
    EXPECT_EQ(a.y1 - a.y0 + 1, 61);
    EXPECT_EQ(t.x0, 400 - 65);
    textDlgLayout({60, 120}, f, 5, 5, 0, nullptr, disp, &t, &a);
    EXPECT_EQ(t.x0, 0);
    EXPECT_EQ(t.y0, 0);
    const twBox bound{100, 100, 300, 250};
    textDlgLayout({60, 120}, f, 290, 240, 0x10, &bound, disp, &t, &a);
    EXPECT_EQ(t.x1, 300);
    EXPECT_EQ(a.y1, 250);

    textDlg d;
    d.lines = {"Line one", "Line two"};
    d.answer = "42";
    d.textBox.x0 = 400;
    d.textBox.y0 = 300;
    ASSERT_EQ(TEXTDLG(&d), 0);
    EXPECT_GE(d.textId, 0);
    EXPECT_GE(d.ansId, 0);
    TEXTDLG_CLOSE(&d);
    EXPECT_EQ(d.textId, -1);
    EXPECT_EQ(fb.px, before);
    // Dragging into place; a right press cancels.
    d.flags = 0x40;
    fb.motion(200, 200);
    fb.press(3, 200, 200);
    EXPECT_EQ(TEXTDLG(&d), -1);
    EXPECT_EQ(fb.px, before);
}

} // namespace
