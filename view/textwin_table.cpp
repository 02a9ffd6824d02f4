// The text-window table: defining, drawing, hiding and freeing windows, writing into them, the
// line editors that read typed text, and the reset that empties every textwin record.
#include "textwin.h"

#include <algorithm>
#include <new>
#include <vector>

#include "diag.h"
#include "textwin_priv.h"

using namespace twPriv;

twBackend* twBack = nullptr;
twTable wdef;

namespace twPriv {

bool validId(int32 id)
{
    return id >= 0 && id < MAX_WIN && wdef.def[id];
}

void dispBox(int32 b[4])
{
    if (twBack)
        twBack->displayBox(b);
    else
        b[0] = b[1] = b[2] = b[3] = 0;
}

// A box clipped to the view; x1 < x0 when nothing is left.
twBox clipToView(const twBox& b)
{
    int32 d[4];
    dispBox(d);
    twBox c{std::max(b.x0, d[0]), std::max(b.y0, d[1]), std::min(b.x1, d[2]), std::min(b.y1, d[3])};
    if (c.x1 < c.x0 || c.y1 < c.y0)
        return twBox{0, 0, -1, -1};
    return c;
}

bool emptyBox(const twBox& b)
{
    return b.x1 < b.x0 || b.y1 < b.y0;
}

uint64_t boxPixels(const twBox& b)
{
    return emptyBox(b) ? 0 : uint64_t(b.x1 - b.x0 + 1) * uint64_t(b.y1 - b.y0 + 1);
}

void fill(int32 x0, int32 y0, int32 x1, int32 y1, int32u pix)
{
    const twBox c = clipToView({x0, y0, x1, y1});
    if (!emptyBox(c))
        twBack->fillRect(c, pix);
}

// Allocation of a saved-under buffer for the window's box as it is clipped now.
bool allocSave(twRec& r)
{
    const uint64_t n = boxPixels(clipToView({r.x0, r.y0, r.x1, r.y1}));
    r.saved.reset(n ? new (std::nothrow) int32u[n] : nullptr);
    r.savedBox = twBox{0, 0, -1, -1};
    return n == 0 || r.saved != nullptr;
}

void saveUnder(twRec& r)
{
    r.savedBox = twBox{0, 0, -1, -1};
    if (!r.hasSave)
        return;
    const twBox c = clipToView({r.x0, r.y0, r.x1, r.y1});
    if (emptyBox(c))
        return;
    // The view may have grown since the buffer was sized.
    if (!allocSave(r) || !r.saved)
        return;
    if (twBack->getPixels(c, r.saved.get()))
        r.savedBox = c;
}

void restoreUnder(twRec& r)
{
    if (r.shown && r.hasSave && r.saved && !emptyBox(r.savedBox)) {
        // Put back only the part still inside the view.
        const twBox c = clipToView(r.savedBox);
        if (!emptyBox(c) && c.x0 == r.savedBox.x0 && c.y0 == r.savedBox.y0 &&
            c.x1 == r.savedBox.x1 && c.y1 == r.savedBox.y1)
            twBack->putPixels(c, r.saved.get());
    }
    r.shown = false;
}

void drawBevel(const twRec& r)
{
    const int32u light = colourPixel(4, false), dark = colourPixel(5, false);
    fill(r.x0, r.y0, r.x1, r.y0 + 1, light);
    fill(r.x0, r.y0, r.x0 + 1, r.y1, light);
    fill(r.x0, r.y1 - 1, r.x1, r.y1, dark);
    fill(r.x1 - 1, r.y0, r.x1, r.y1, dark);
}

void drawFrame(twRec& r)
{
    fill(r.x0, r.y0, r.x1, r.y1, r.bgPix);
    if (r.bevel) {
        drawBevel(r);
    } else {
        fill(r.x0, r.y0, r.x1, r.y0, r.fgPix);
        fill(r.x0, r.y1, r.x1, r.y1, r.fgPix);
        fill(r.x0, r.y0, r.x0, r.y1, r.fgPix);
        fill(r.x1, r.y0, r.x1, r.y1, r.fgPix);
    }
}

void setWinGeometry(twRec& r, int32 x0, int32 y0, int32 w, int32 h)
{
    r.x0 = x0;
    r.y0 = y0;
    r.x1 = x0 + w - 1;
    r.y1 = y0 + h - 1;
    r.width = w;
    r.height = h;
    r.margin = r.x0 + 6;
    r.baseline = r.y1 - 5 - curFont.descent + 1;
    r.curX = r.margin;
    r.rows = curFont.lineStep ? (h + curFont.descent - 10) / curFont.lineStep : 0;
}

void selectWinFont(const twRec& r)
{
    if (fonts.current != r.font || !curFont.loaded) {
        TavFontDes f;
        SETFONT(r.font, 0, &f);
    }
}

// Scrolls the text area up one line and clears the bottom line; the cursor returns to the margin.
void newLine(twRec& r)
{
    selectWinFont(r);
    const int32 ls = curFont.lineStep;
    if (r.height >= curFont.box2) {
        const twBox src = clipToView({r.x0 + 5, r.y0 + 5 + ls, r.x1 - 5, r.y1 - 5});
        if (!emptyBox(src) && src.y0 - ls >= 0)
            twBack->copyArea(src, 0, -ls);
    }
    fill(r.x0 + 2, r.baseline - curFont.ascent, r.x1 - 2,
         std::min(r.baseline + curFont.descent, r.y1 - 2), r.bgPix);
    r.curX = r.margin;
}

// The reverse of newLine, for a backspace that returns into the line above.
void lineBack(twRec& r)
{
    const int32 ls = curFont.lineStep;
    if (r.height >= curFont.box2) {
        const twBox src = clipToView({r.x0 + 5, r.y0 + 5, r.x1 - 5, r.y1 - 5 - ls});
        if (!emptyBox(src))
            twBack->copyArea(src, 0, ls);
        fill(r.x0 + 2, r.y0 + 2, r.x1 - 2, r.y0 + 4 + ls, r.bgPix);
    }
}

} // namespace twPriv

// ---------------------------------------------------------------------------------------------
// Text windows

int32 TEXTWIN_OPEN(int32 id, int32 box[4], int fontIdx, const int colours[3], int32 flags)
{
    if (!twBack)
        return -1;
    int32 slot = -1;
    if (validId(id)) {
        slot = id;
    } else {
        for (int k = 0; k < MAX_WIN; ++k)
            if (!wdef.def[k]) {
                slot = k;
                break;
            }
    }
    if (slot < 0)
        return -1;
    twRec& r = wdef.rec[slot];
    if (wdef.def[slot]) {
        restoreUnder(r);
        r.saved.reset();
        r.savedBox = twBox{0, 0, -1, -1};
    } else {
        r = twRec{};
        wdef.def[slot] = true;
        ++wdef.count;
    }
    r.id = shortu(slot);
    TavFontDes f;
    if (!SETFONT(fontIdx, 0, &f)) {
        fontIdx = 0;
        SETFONT(0, 0, &f);
    }
    int32 w = std::max(box[2] - box[0] + 1, int32(curFont.charW + 10));
    int32 h = std::max(box[3] - box[1] + 1, int32(curFont.height + 10));
    int32 d[4];
    dispBox(d);
    int32 x0 = box[0], y0 = box[1];
    if (x0 + w - 1 > d[2])
        x0 -= x0 + w - 1 - d[2];
    if (y0 + h - 1 > d[3])
        y0 -= y0 + h - 1 - d[3];
    r.font = shortu(fontIdx);
    setWinGeometry(r, x0, y0, w, h);
    const bool rgb = flags & TW_RGB;
    r.bgPix = colourPixel(colours[0], rgb);
    r.fgPix = colourPixel(colours[1], rgb);
    r.thirdPix = colourPixel(colours[2], rgb);
    r.bevel = flags & TW_BEVEL;
    r.hasSave = !(flags & TW_NO_SAVE);
    r.extW = w;
    r.extH = h;
    if (r.hasSave && !allocSave(r)) {
        wdef.def[slot] = false;
        --wdef.count;
        r = twRec{};
        return -1;
    }
    box[0] = r.x0;
    box[1] = r.y0;
    box[2] = r.x1;
    box[3] = r.y1;
    if (!(flags & TW_DEFINE_ONLY))
        TEXTWIN_SHOW(slot);
    return slot;
}

void TEXTWIN_SHOW(int32 id)
{
    if (!validId(id) || !twBack)
        return;
    twRec& r = wdef.rec[id];
    if (!r.shown)
        saveUnder(r);
    r.shown = true;
    drawFrame(r);
}

void TEXTWIN_HIDE(int32 id)
{
    if (!validId(id) || !twBack)
        return;
    restoreUnder(wdef.rec[id]);
}

void TEXTWIN_CLOSE(int32 id, int32 flags)
{
    if (!validId(id))
        return;
    twRec& r = wdef.rec[id];
    if (!(flags & TW_KEEP_SHOWN) && twBack)
        restoreUnder(r);
    if (id == msgId)
        msgId = -1;
    r = twRec{};
    wdef.def[id] = false;
    --wdef.count;
}

void TEXTWIN_CLEARALL()
{
    for (int k = MAX_WIN - 1; k >= 0; --k)
        if (wdef.def[k])
            TEXTWIN_CLOSE(k, 0);
    msgId = -1;
}

int TEXTWIN_PUT(int32 id, const std::string& text, int colour, int32 flags)
{
    if (!validId(id) || !twBack)
        return -1;
    twRec& r = wdef.rec[id];
    selectWinFont(r);
    const int32u pix = colourPixel(colour, false);
    if (flags & TW_NEWLINE)
        newLine(r);
    // The last column a text may cover is x1 - 4: the bevel and two clear columns stay free.
    // A text of width w drawn at curX covers curX .. curX + w - 1; a one-line message box
    // (text + 10 wide, margin 6) leaves its text ending on that column exactly.
    const int32 lastCol = r.x1 - 4;
    std::string rest = text;
    while (!rest.empty()) {
        size_t n = rest.size();
        while (n > 0 &&
               r.curX + twBack->textWidth(std::string_view(rest).substr(0, n)) - 1 > lastCol)
            --n;
        if (n == 0 && r.curX == r.margin)
            break; // not even one character fits the window
        if (n > 0) {
            const std::string_view part = std::string_view(rest).substr(0, n);
            twBack->drawText(r.curX, r.baseline, part, pix, false);
            r.curX += twBack->textWidth(part);
        }
        rest.erase(0, n);
        if (rest.empty() || !(flags & TW_WRAP))
            break;
        newLine(r);
    }
    return 0;
}
// ---------------------------------------------------------------------------------------------
// Line editing

namespace {

struct savedInk {
    twBox box;
    std::unique_ptr<int32u[]> px;
};

// Pixels under a glyph about to be drawn; an entry with an empty box when nothing is visible.
savedInk pushInk(std::string_view s, int32 x, int32 y)
{
    twBox ink = twBack->inkBox(s);
    savedInk e{clipToView({x + ink.x0, y + ink.y0, x + ink.x1, y + ink.y1}), nullptr};
    const uint64_t n = boxPixels(e.box);
    if (n) {
        e.px.reset(new (std::nothrow) int32u[n]);
        if (!e.px || !twBack->getPixels(e.box, e.px.get()))
            e.box = twBox{0, 0, -1, -1};
    }
    return e;
}

void popInk(std::vector<savedInk>& st)
{
    if (st.empty())
        return;
    if (!emptyBox(st.back().box) && st.back().px)
        twBack->putPixels(st.back().box, st.back().px.get());
    st.pop_back();
}

struct cell {
    int32 x, w;
    int line;
};

int readLine(int32* px, int32* py, std::size_t bufSize, int textColour, int bgColour,
             std::string* buf, int32 winId, int32 flags, bool xft, bool wrap)
{
    buf->clear();
    if (bufSize < 3 || !twBack)
        return 0;
    const std::size_t maxChars = bufSize - 2;
    twRec* r = validId(winId) ? &wdef.rec[winId] : nullptr;
    if (r)
        selectWinFont(*r);
    const bool rgb = flags & TW_RGB;
    const int32u textPix = colourPixel(textColour, rgb);
    const int32u bgPix = r ? r->bgPix : colourPixel(bgColour, rgb);
    const bool xorMode = !r && !xft && (flags & TW_XOR);
    const bool useStack = xft && !r; // inside a window the background is plain and is refilled
    int32 d[4];
    dispBox(d);
    const int32 limit = r ? r->x1 - 4 : d[2];
    int rowsLeft = (r && wrap && curFont.lineStep) ? r->height / curFont.lineStep - 1 : 0;
    int32 x = *px;
    const int32 y = *py;
    const int32 startX = x;
    int line = 0;
    std::vector<cell> cells;
    std::vector<savedInk> stack;
    const int32 cw = curFont.charW + 9;

    auto drawCursor = [&] {
        if (xorMode) {
            twBack->drawText(x, y, "_", textPix, true);
        } else if (useStack) {
            stack.push_back(pushInk("_", x, y));
            twBack->drawText(x, y, "_", textPix, false);
        } else {
            fill(x, y - curFont.ascent + 1, std::min(x + cw - 1, r ? r->x1 - 2 : d[2]),
                 y + curFont.descent - 1, bgPix);
            twBack->drawText(x, y, "_", textPix, false);
        }
    };
    auto eraseCursor = [&] {
        if (xorMode)
            twBack->drawText(x, y, "_", textPix, true);
        else if (useStack)
            popInk(stack);
        else
            fill(x, y - curFont.ascent + 1, std::min(x + cw - 1, r ? r->x1 - 2 : d[2]),
                 y + curFont.descent - 1, bgPix);
    };
    // After a redraw of the view (-2 from GETKEY) the cursor is no longer there: erasing it
    // would paint the old background over the repaired view.
    auto finish = [&](bool keep, bool redrawn = false) {
        if (!redrawn)
            eraseCursor();
        if (!keep) {
            buf->clear();
        } else if (xorMode && !buf->empty()) {
            twBack->drawText(startX, y, *buf, textPix, false);
        }
        if (r)
            r->curX = x;
        *px = x;
        *py = y;
        return keep ? int(buf->size()) : 0;
    };

    drawCursor();
    for (;;) {
        int c = 0;
        const int k = GETKEY(&c, (flags & TW_MOUSE_ENDS) ? 1 : 0);
        if (k < 0)
            return finish(false, k == -2);
        if (c == 13)
            return finish(true);
        if (c == 8) {
            if (cells.empty())
                continue;
            eraseCursor();
            const cell ce = cells.back();
            cells.pop_back();
            if (ce.line < line && r) {
                lineBack(*r);
                --line;
                ++rowsLeft;
            }
            if (xorMode)
                twBack->drawText(ce.x, y, std::string_view(&buf->back(), 1), textPix, true);
            else if (useStack)
                popInk(stack);
            else
                fill(ce.x, y - curFont.ascent + 1, ce.x + ce.w - 1, y + curFont.descent - 1, bgPix);
            buf->pop_back();
            x = ce.x;
            drawCursor();
            continue;
        }
        if (c < 32 || c == 127 || buf->size() >= maxChars)
            continue;
        const char ch = char(c);
        const int32 w = twBack->textWidth(std::string_view(&ch, 1));
        if (x + w + curFont.charW > limit) {
            if (r && rowsLeft > 0) {
                eraseCursor();
                newLine(*r);
                --rowsLeft;
                ++line;
                x = r->margin;
                drawCursor();
            } else {
                buf->push_back(ch);
                eraseCursor();
                if (useStack)
                    stack.push_back(pushInk(std::string_view(&ch, 1), x, y));
                twBack->drawText(x, y, std::string_view(&ch, 1), textPix, xorMode);
                x += w;
                drawCursor();
                return finish(true);
            }
        }
        eraseCursor();
        if (useStack)
            stack.push_back(pushInk(std::string_view(&ch, 1), x, y));
        twBack->drawText(x, y, std::string_view(&ch, 1), textPix, xorMode);
        cells.push_back(cell{x, w, line});
        buf->push_back(ch);
        x += w;
        drawCursor();
    }
}

} // namespace

int GETSTR(int32* x, int32* y, std::size_t bufSize, int textColour, int bgColour, std::string* buf,
           int32 winId, int32 flags)
{
    return readLine(x, y, bufSize, textColour, bgColour, buf, winId, flags, false, true);
}

int XftGETSTR(int32* x, int32* y, std::size_t bufSize, int textColour, int bgColour,
              std::string* buf, int32 winId, int32 flags)
{
    return readLine(x, y, bufSize, textColour, bgColour, buf, winId, flags, true, true);
}

std::string TEXTWIN_GET(int32 id, std::size_t bufSize, int colour, int32 flags)
{
    std::string out;
    if (!validId(id) || !twBack)
        return out;
    twRec& r = wdef.rec[id];
    selectWinFont(r);
    if (flags & TW_NEWLINE)
        newLine(r);
    int32 x = r.curX, y = r.baseline;
    const int bgIdx = 0;
    readLine(&x, &y, bufSize, colour, bgIdx, &out, id, flags & ~TW_XOR, curFont.xft,
             flags & TW_WRAP);
    return out;
}

// ---------------------------------------------------------------------------------------------
// Reset

void resetTextwin()
{
    for (int k = 0; k < MAX_WIN; ++k)
        if (wdef.def[k]) {
            wdef.rec[k] = twRec{};
            wdef.def[k] = false;
        }
    wdef.count = 0;
    for (fontSlot& s : fonts.slot) {
        if (s.open && twBack)
            twBack->closeFont(s.des.xft, s.des.xft ? s.des.xftFont : s.des.coreFont);
        s = fontSlot{};
    }
    fonts.current = -1;
    fonts.xftSize = 0;
    curFont = TavFontDes{};
    const bool two = mouse.two.on;
    mouse = mouseState{};
    mouse.two.on = two;
    msgId = -1;
    anchorX = anchorY = 0;
    const bool fast = run.fast;
    run = pupRun{};
    run.fast = fast;
}
