// The message box (notes, acknowledged messages and prompts) and the two-panel text dialog.
#include "textwin.h"

#include <algorithm>
#include <vector>

#include "diag.h"
#include "textwin_priv.h"

using namespace twPriv;

namespace twPriv {

int32 msgId = -1;
int32 anchorX = 0, anchorY = 0;

} // namespace twPriv

namespace {

std::string logText(const std::string& s)
{
    std::string o;
    for (char c : s) {
        if (c == '\n')
            o += "\\n";
        else if (c == '\\')
            o += "\\\\";
        else
            o += c;
    }
    return o;
}

} // namespace

twBox msgBoxLayout(const std::vector<std::string>& lines, const std::vector<int32>& widths,
                   const TavFontDes& f, int32 ax, int32 ay, int32 flags, const int32 disp[4])
{
    int32 widest = 0;
    for (int32 w : widths)
        widest = std::max(widest, w);
    int32 x0, y0, w, h;
    if (lines.size() <= 1) {
        x0 = ax - 5;
        y0 = ay;
        w = widest + 10;
        h = f.height + 10;
    } else {
        x0 = ax;
        y0 = ay;
        w = widest + 11;
        h = f.lineStep * int32(lines.size()) + 10 - f.descent;
    }
    // A prompt needs room for the answer after its last line.
    if (flags & MSG_PROMPT) {
        x0 -= 50;
        w += 100;
    }
    if (!(flags & MSG_NO_CENTRE)) {
        x0 = ax - w / 2;
        y0 = ay - h / 2;
    }
    if (x0 < disp[0])
        x0 = disp[0] + 5;
    if (x0 + w - 1 > disp[2])
        x0 = disp[2] - 5 - w + 1;
    if (y0 < disp[1])
        y0 = disp[1];
    if (y0 + h - 1 > disp[3])
        y0 = disp[3] - h + 1;
    return twBox{x0, y0, x0 + w - 1, y0 + h - 1};
}

void SET_MSG_ANCHOR(int32 x, int32 y)
{
    anchorX = x;
    anchorY = y;
}

bool answerYes(const std::string& a)
{
    return !a.empty() && (a[0] == 'Y' || a[0] == 'y');
}

void TEXTMSG_CLEAR()
{
    if (msgId >= 0) {
        TEXTWIN_CLOSE(msgId, 0);
        msgId = -1;
        if (testLogOn())
            twBack->sync();
        testLog("msg hide");
    }
}

std::string TEXTMSG(const std::string& text, int32 flags)
{
    TEXTMSG_CLEAR();
    if (text.empty() || !twBack)
        return {};
    TavFontDes f;
    if (fonts.current != 0 || !curFont.loaded)
        if (!SETFONT(0, 0, &f))
            return {};
    std::vector<std::string> lines;
    size_t p = 0;
    while (p <= text.size() && int(lines.size()) < MAX_MSG_LINES) {
        const size_t e = text.find('\n', p);
        if (e == std::string::npos) {
            if (p < text.size())
                lines.push_back(text.substr(p));
            break;
        }
        lines.push_back(text.substr(p, e - p));
        p = e + 1;
    }
    if (lines.empty())
        return {};
    std::vector<int32> widths;
    for (const std::string& l : lines)
        widths.push_back(twBack->textWidth(l));
    int32 d[4];
    dispBox(d);
    const int32 ax = (anchorX <= 0 || anchorX >= d[2] + 1) ? (d[2] + 1) / 2 : anchorX;
    const int32 ay = (anchorY <= 0 || anchorY >= d[3] + 1) ? (d[3] + 1) / 2 : anchorY;
    const twBox b = msgBoxLayout(lines, widths, curFont, ax, ay, flags, d);
    int32 box[4] = {b.x0, b.y0, b.x1, b.y1};
    const int colours[3] = {0, 1, 1};
    msgId = TEXTWIN_OPEN(-1, box, 0, colours, TW_BEVEL);
    if (msgId < 0)
        return {};
    for (size_t k = 0; k < lines.size(); ++k)
        TEXTWIN_PUT(msgId, lines[k], 1, k ? TW_NEWLINE : 0);
    if (testLogOn())
        twBack->sync();
    testLog("msg show %d %d %d %d %d %s", box[0], box[1], box[2], box[3], int(flags),
            logText(text).c_str());
    if (flags & MSG_PROMPT) {
        logIdle("prompt");
        const std::string a = TEXTWIN_GET(msgId, std::max<size_t>(256, text.size() + 1), 1, 0);
        TEXTMSG_CLEAR();
        std::string shown = "none";
        if (!a.empty()) {
            shown = '"';
            shown += logText(a);
            shown += '"';
        }
        testLog("prompt answer %s", shown.c_str());
        return a;
    }
    if (flags & (MSG_BRIEF | MSG_ACK)) {
        twBack->discardEvents(true);
        mouse.two.leftHeld = false;
        logIdle("msg");
        int32 x, y;
        if (flags & MSG_ACK) {
            for (;;) {
                const int c = MOUSE_EVENT(&x, &y, 0);
                if (c >= 1 && c <= 3)
                    break;
            }
        } else {
            for (int n = 0; n < 4;) {
                const int c = MOUSE_EVENT(&x, &y, 0);
                if ((c >= -3 && c <= 5 && c != 0))
                    ++n;
            }
        }
        TEXTMSG_CLEAR();
    }
    return {};
}

void textDlgLayout(const std::vector<int32>& lineWidths, const TavFontDes& f, int32 px, int32 py,
                   int32 flags, const twBox* bound, const int32 disp[4], twBox* tb, twBox* ab)
{
    int32 widest = 0;
    for (int32 w : lineWidths)
        widest = std::max(widest, w);
    const int32 n = std::max<int32>(1, int32(lineWidths.size()));
    const int32 w = widest + 11;
    const int32 th = f.lineStep * n + 10 - f.descent;
    const int32 ah = f.lineStep * 3 + 10 - f.descent;
    int32 x0 = px, y0 = py;
    if (!(flags & 0x10)) {
        x0 = std::max(disp[0], px - w / 2);
        y0 = std::max(disp[1], py - (th + 1 + ah) / 2);
    }
    if (bound) {
        x0 = std::max(x0, bound->x0);
        y0 = std::max(y0, bound->y0);
        if (x0 + w - 1 > bound->x1)
            x0 = std::max(bound->x0, bound->x1 - w + 1);
        if (y0 + th + 1 + ah - 1 > bound->y1)
            y0 = std::max(bound->y0, bound->y1 - (th + 1 + ah) + 1);
    }
    *tb = twBox{x0, y0, x0 + w - 1, y0 + th - 1};
    *ab = twBox{x0, y0 + th + 1, x0 + w - 1, y0 + th + ah};
}

namespace {

void openDlgPanels(textDlg* d)
{
    // Both panels come off first: a moved panel must not save the other one as background.
    TEXTWIN_HIDE(d->ansId);
    TEXTWIN_HIDE(d->textId);
    int32 tb[4] = {d->textBox.x0, d->textBox.y0, d->textBox.x1, d->textBox.y1};
    int32 ab[4] = {d->ansBox.x0, d->ansBox.y0, d->ansBox.x1, d->ansBox.y1};
    d->textId = TEXTWIN_OPEN(d->textId, tb, d->font, d->colours, TW_BEVEL);
    if (d->textId < 0)
        return;
    d->ansId = TEXTWIN_OPEN(d->ansId, ab, d->font, d->colours, TW_BEVEL);
    const size_t n = std::min<size_t>(d->lines.size(), MAX_MSG_LINES);
    for (size_t k = 0; k < n; ++k)
        TEXTWIN_PUT(d->textId, d->lines[k], d->textColour, k ? TW_NEWLINE : 0);
    if (d->ansId >= 0 && !d->answer.empty())
        TEXTWIN_PUT(d->ansId, d->answer, d->ansColour, TW_WRAP);
}

} // namespace

int TEXTDLG(textDlg* d)
{
    if (!d || !twBack)
        return -1;
    TavFontDes f;
    if (!SETFONT(d->font, 0, &f) && !SETFONT(d->font = 0, 0, &f))
        return -1;
    std::vector<int32> widths;
    for (size_t k = 0; k < std::min<size_t>(d->lines.size(), MAX_MSG_LINES); ++k)
        widths.push_back(twBack->textWidth(d->lines[k]));
    int32 disp[4];
    dispBox(disp);
    textDlgLayout(widths, curFont, d->textBox.x0, d->textBox.y0, d->flags,
                  d->bounded ? &d->bound : nullptr, disp, &d->textBox, &d->ansBox);
    openDlgPanels(d);
    if (d->textId < 0 || d->ansId < 0) {
        TEXTDLG_CLOSE(d);
        return -1;
    }
    if (d->flags & 0x40) {
        // The pair follows the pointer; a left press places it, a right press cancels.
        logIdle("dialog");
        for (;;) {
            int32 x, y;
            const int c = MOUSE_EVENT(&x, &y, 0);
            if (c == MOUSE_RIGHT || c == MOUSE_CLOSE) {
                TEXTDLG_CLOSE(d);
                return -1;
            }
            if (c == MOUSE_LEFT)
                break;
            if (c == MOUSE_MOVED) {
                textDlgLayout(widths, curFont, x, y, d->flags & ~0x10,
                              d->bounded ? &d->bound : nullptr, disp, &d->textBox, &d->ansBox);
                openDlgPanels(d);
            }
        }
    }
    return 0;
}

void TEXTDLG_REDRAW(textDlg* d)
{
    if (!d || d->textId < 0)
        return;
    openDlgPanels(d);
}

void TEXTDLG_HIDE(textDlg* d)
{
    if (!d)
        return;
    TEXTWIN_HIDE(d->textId);
    TEXTWIN_HIDE(d->ansId);
}

void TEXTDLG_CLOSE(textDlg* d)
{
    if (!d)
        return;
    if (d->ansId >= 0)
        TEXTWIN_CLOSE(d->ansId, 0);
    if (d->textId >= 0)
        TEXTWIN_CLOSE(d->textId, 0);
    d->textId = d->ansId = -1;
}
