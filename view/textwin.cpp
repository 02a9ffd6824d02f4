#include "textwin.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <new>

#include "diag.h"
#include "lexical.h"

twBackend* twBack = nullptr;
twTable wdef;

const char* const tavFontNames[] = {
    "-misc-fixed-medium-r-semicondensed--0-0-75-75-c-0-iso8859-1",
    "-misc-fixed-medium-r-semicondensed--13-100-100-100-c-60-iso8859-1",
    "-misc-fixed-medium-r-semicondensed--13-120-75-75-c-60-iso8859-1",
    "LiberationSans:roman:medium",
    "LiberationSans:roman:bold",
    "LiberationSans:italic:medium",
    "LiberationSans:italic:bold",
    "LiberationSansNarrow:roman:medium",
    "LiberationSansNarrow:roman:bold",
    "LiberationSansNarrow:italic:medium",
    "LiberationSansNarrow:italic:bold",
    "LiberationMono:roman:medium",
    "LiberationMono:roman:bold",
    "LiberationMono:italic:medium",
    "LiberationMono:italic:bold",
    "LiberationSerif:roman:medium",
    "LiberationSerif:roman:bold",
    "LiberationSerif:italic:medium",
    "LiberationSerif:italic:bold",
    "Ga Maamli:roman:medium",
    "DancingScript:roman:medium",
    "Chiller:roman:medium",
    "Kablammo:roman:medium",
    "OldLondon:roman:medium",
    "",
};

const twRGB textColours[18] = {
    {130, 130, 130}, {255, 255, 255}, {255, 255, 0}, {255, 230, 90}, {195, 195, 195},
    {100, 100, 100}, {255, 200, 0},   {255, 255, 0}, {0, 0, 0},      {255, 0, 0},
    {0, 225, 0},     {63, 63, 255},   {0, 0, 0},     {0, 0, 0},      {0, 0, 0},
    {0, 0, 0},       {0, 0, 0},       {0, 0, 0},
};

namespace {

constexpr int firstXftFont = 3;

// One cached font per table index; an Xft entry is reopened when another size is asked.
struct fontSlot {
    TavFontDes des;
    bool open = false;
};

struct fontState {
    fontSlot slot[32];
    int current = -1;
    int xftSize = 0; ///< the Xft size in force (0 until one was set)
};
fontState fonts;
TavFontDes curFont;

charu gunTab[4] = {2, 1, 0, 3};
const twRGB* dispColours = nullptr;

// Mouse and keyboard state.
struct mouseState {
    int32 rawX = 0, rawY = 0, x = 0, y = 0;
    bool clipSet = false;
    int32 clip[4] = {0, 0, 0, 0};
    int lastCode = 0;
    int pendingButton = 0;
    twoButtonState two;
    void (*refresh)() = nullptr;
    bool inRefresh = false;
    int keys[3] = {0, 0, 0};
};
mouseState mouse;

// Message box state.
int32 msgId = -1;
int32 anchorX = 0, anchorY = 0;

// Menu run state shared by every level of one xDOPUP.
struct pupRun {
    int plev = 0;
    int32 stack[MAX_PUP_LEVEL] = {};
    int32 parentRowAt[MAX_PUP_LEVEL] = {};
    int lastLevel = 0;
    int32 lastRow = -1;
    bool lastInside = false;
    int32 parentRow = 0;
    int lastCode = 0;
    int32 x = 0, y = 0;
    int deepest = 0;
    bool fast = true;
};
pupRun run;

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

// Idle lines tell a test driver that input is now read: what was drawn must be on the
// server by then.
void logIdle(const char* what)
{
    if (!testLogOn())
        return;
    if (twBack)
        twBack->sync();
    testLog("idle %s", what);
}

void doRefresh()
{
    // A refresh that waits for a click must not start another refresh.
    if (mouse.refresh && !mouse.inRefresh) {
        mouse.inRefresh = true;
        mouse.refresh();
        mouse.inRefresh = false;
    }
}

void clampPointer(int32 rx, int32 ry)
{
    int32 b[4];
    if (mouse.clipSet)
        std::memcpy(b, mouse.clip, sizeof b);
    else
        dispBox(b);
    mouse.rawX = rx;
    mouse.rawY = ry;
    mouse.x = std::clamp(rx, b[0], std::max(b[0], b[2]));
    mouse.y = std::clamp(ry, b[1], std::max(b[1], b[3]));
}

// Left Control, Left Alt and Delete one after the other end the program at once.
void noteKey(const twEvent& ev)
{
    int k = ev.key;
    if (ev.keyClass == KEY_CTRL_L)
        k = 0x100 + KEY_CTRL_L;
    else if (ev.keyClass == KEY_ALT_L)
        k = 0x100 + KEY_ALT_L;
    else if (ev.keyClass == KEY_DELETE)
        k = 0x100 + KEY_DELETE;
    else if (ev.keyClass == KEY_SHIFT)
        return;
    testLog("key %d", k);
    mouse.keys[0] = mouse.keys[1];
    mouse.keys[1] = mouse.keys[2];
    mouse.keys[2] = k;
    if (mouse.keys[0] == 0x100 + KEY_CTRL_L && mouse.keys[1] == 0x100 + KEY_ALT_L &&
        mouse.keys[2] == 0x100 + KEY_DELETE) {
        testLog("exit 0 keys");
        std::exit(0);
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Fonts and colours

void fontMetrics(int32 ascent, int32 descent, int32 charW, TavFontDes* f)
{
    f->ascent = short(ascent + 1);
    f->descent = short(descent + 1);
    f->height = short(f->ascent + f->descent);
    f->charW = short(charW + 1);
    f->lineStep = short(f->descent + f->height);
    f->box2 = short(2 * f->lineStep - f->descent + 9);
}

int fontCount()
{
    static const int n = [] {
        int k = 0;
        while (tavFontNames[k][0])
            ++k;
        return k;
    }();
    return n;
}

int xftSlant(const std::string& w)
{
    if (w == "italic")
        return 100;
    if (w == "oblique")
        return 110;
    return 0;
}

int xftWeight(const std::string& w)
{
    if (w == "medium")
        return 100;
    if (w == "demibold")
        return 180;
    if (w == "bold")
        return 200;
    if (w == "black")
        return 210;
    return 50;
}

bool sameFamily(const std::string& a, const std::string& b)
{
    auto squeeze = [](const std::string& s) {
        std::string o;
        for (unsigned char c : s)
            if (c != ' ')
                o += char(std::tolower(c));
        return o;
    };
    return squeeze(a) == squeeze(b);
}

const TavFontDes& currentFont()
{
    return curFont;
}

bool SETFONT(int index, int size, TavFontDes* retnFont)
{
    TAV_ASSERT(retnFont != NULL);
    if (index < 0 || index >= fontCount() || !twBack)
        return false;
    const bool xft = index >= firstXftFont;
    const bool newSize = xft && size >= 13 && size <= 756 && size != fonts.xftSize;
    fontSlot& s = fonts.slot[index];
    if (fonts.current == index && curFont.loaded && !newSize) {
        *retnFont = curFont;
        return true;
    }
    if (xft) {
        if (size >= 13 && size <= 756)
            fonts.xftSize = size;
        if (fonts.xftSize < 12 || fonts.xftSize > 756) {
            DIAG("\nSETFONT() invalid font size: %d", fonts.xftSize);
            return false;
        }
        if (s.open && s.des.xftSize != fonts.xftSize) {
            twBack->closeFont(true, s.des.xftFont);
            s = fontSlot{};
            // The closed font may be the current one: should the reopening fail, nothing
            // may go on claiming it.
            if (fonts.current == index) {
                fonts.current = -1;
                curFont = TavFontDes{};
            }
        }
        if (!s.open) {
            // family:slant:weight
            std::string name = tavFontNames[index], parts[3];
            size_t p = 0;
            for (int k = 0; k < 3; ++k) {
                const size_t e = name.find(':', p);
                parts[k] = name.substr(p, e == std::string::npos ? std::string::npos : e - p);
                if (e == std::string::npos) {
                    p = name.size();
                    ++k;
                    for (; k < 3; ++k)
                        parts[k].clear();
                    break;
                }
                p = e + 1;
            }
            twFontInfo fi;
            // fontconfig hands back a substitute for a missing family; that is a failure here.
            if (!twBack->openFont(true, parts[0], xftSlant(parts[1]), xftWeight(parts[2]),
                                  double(fonts.xftSize), &fi) ||
                !sameFamily(fi.family, parts[0])) {
                if (fi.handle)
                    twBack->closeFont(true, fi.handle);
                DIAG("\n***TEXTWIN():SETFONT:XftFontOpen failed\n");
                return false;
            }
            s.des = TavFontDes{};
            s.des.xftFont = fi.handle;
            s.des.xft = true;
            s.des.xftSize = short(fonts.xftSize);
            fontMetrics(fi.ascent, fi.descent, fi.charW, &s.des);
            s.open = true;
        }
    } else if (!s.open) {
        twFontInfo fi;
        if (!twBack->openFont(false, tavFontNames[index], 0, 0, 0.0, &fi)) {
            DIAG("\n***TEXTWIN():SETFONT:XLoadQueryFont failed\n");
            return false;
        }
        s.des = TavFontDes{};
        s.des.coreFont = fi.handle;
        fontMetrics(fi.ascent, fi.descent, fi.charW, &s.des);
        s.open = true;
    }
    s.des.index = short(index);
    s.des.loaded = true;
    twBack->useFont(xft, xft ? s.des.xftFont : s.des.coreFont);
    fonts.current = index;
    curFont = s.des;
    *retnFont = curFont;
    return true;
}

int32u rgbPixel(charu r, charu g, charu b, const charu gunOfs[4])
{
    return (int32u(r) << (8 * gunOfs[0])) | (int32u(g) << (8 * gunOfs[1])) |
           (int32u(b) << (8 * gunOfs[2]));
}

void setTextGunTable(const charu gunOfs[4])
{
    std::memcpy(gunTab, gunOfs, 4);
}

void setDisplayColourTable(const twRGB* table256)
{
    dispColours = table256;
}

int32u colourPixel(int index, bool rgbFlag)
{
    if (rgbFlag) {
        const int i = std::clamp(index, 0, 255);
        if (dispColours)
            return rgbPixel(dispColours[i].r, dispColours[i].g, dispColours[i].b, gunTab);
        return rgbPixel(charu(i), charu(i), charu(i), gunTab);
    }
    const twRGB& c = textColours[std::clamp(index, 0, 17)];
    return rgbPixel(c.r, c.g, c.b, gunTab);
}

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
    std::string rest = text;
    while (!rest.empty()) {
        size_t n = rest.size();
        while (n > 0 && r.curX + twBack->textWidth(std::string_view(rest).substr(0, n)) > r.x1 - 4)
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
    auto finish = [&](bool keep) {
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
            return finish(false);
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
// Events

int twoButtonCode(twoButtonState* s, int button, bool press)
{
    if (button == 2)
        s->on = false; // a real middle button: no emulation for the rest of the run
    if (!s->on || button == 2)
        return press ? button : -button;
    if (button == 1) {
        s->leftHeld = press;
        return press ? 1 : -1;
    }
    // Right button: a middle while the left is held. The release matches its own press even
    // when pointer motion came between.
    int code;
    if (press) {
        s->emuMiddle = s->leftHeld;
        code = s->emuMiddle ? 2 : 3;
    } else {
        code = s->emuMiddle ? -2 : -3;
        s->emuMiddle = false;
    }
    s->leftHeld = false;
    return code;
}

void TWO_BUTTON_MOUSE(bool on)
{
    mouse.two = twoButtonState{};
    mouse.two.on = on;
}

int MOUSE_EVENT(int32* x, int32* y, int mode)
{
    if (!twBack)
        return 0;
    twBack->sync();
    for (;;) {
        const twEvent ev = twBack->nextEvent();
        int code = 0;
        switch (ev.kind) {
        case EV_PRESS:
        case EV_RELEASE:
            if (ev.button == 4 || ev.button == 5) {
                code = ev.button == 5 ? MOUSE_WHEEL_DOWN : MOUSE_WHEEL_UP;
                mouse.lastCode = code;
                return code;
            }
            if (ev.button < 1 || ev.button > 3)
                continue;
            code = twoButtonCode(&mouse.two, ev.button, ev.kind == EV_PRESS);
            break;
        case EV_MOTION:
            if (mode & 7)
                continue;
            code = MOUSE_MOVED;
            break;
        case EV_EXPOSE:
            if (ev.count != 0)
                continue;
            doRefresh();
            mouse.lastCode = MOUSE_REDRAW;
            return MOUSE_REDRAW;
        case EV_CONFIGURE:
            if (!twBack->geometryChanged())
                continue;
            doRefresh();
            mouse.lastCode = MOUSE_REDRAW;
            return MOUSE_REDRAW;
        case EV_KEY:
            noteKey(ev);
            continue;
        case EV_CLOSE:
            mouse.lastCode = MOUSE_CLOSE;
            return MOUSE_CLOSE;
        default:
            continue;
        }
        clampPointer(ev.x, ev.y);
        *x = mouse.x;
        *y = mouse.y;
        mouse.lastCode = code;
        return code;
    }
}

int GETKEY(int* c, int mode)
{
    *c = 0;
    if (!twBack)
        return -1;
    for (;;) {
        const twEvent ev = twBack->nextEvent();
        switch (ev.kind) {
        case EV_KEY:
            noteKey(ev);
            if (ev.keyClass == KEY_DELETE) {
                *c = 8;
                return 8;
            }
            if (ev.keyClass == KEY_TEXT && ev.key > 0) {
                *c = ev.key;
                return ev.key;
            }
            continue;
        case EV_EXPOSE:
            if (mode == 1)
                return -2;
            if (mouse.refresh && ev.count == 0) {
                doRefresh();
                twBack->discardEvents(false);
                return -2;
            }
            continue;
        case EV_PRESS:
            if (mode == 1 && ev.button >= 1 && ev.button <= 3) {
                clampPointer(ev.x, ev.y);
                mouse.pendingButton = twoButtonCode(&mouse.two, ev.button, true);
                return -1;
            }
            continue;
        default:
            continue;
        }
    }
}

void SET_POINTER_BOX(const int32* box)
{
    mouse.clipSet = box != nullptr;
    if (box)
        std::memcpy(mouse.clip, box, sizeof mouse.clip);
}

void SET_POINTER_BOX(const int32* box, int32 w, int32 h)
{
    int32 b[4];
    if (box)
        std::memcpy(b, box, sizeof b);
    else
        dispBox(b);
    const int32 c[4] = {b[0] + w / 2, b[1] + h / 2, std::max(b[0] + w / 2, b[2] - (w - w / 2)),
                        std::max(b[1] + h / 2, b[3] - (h - h / 2))};
    SET_POINTER_BOX(c);
}

void QUERY_POINTER(int32* x, int32* y)
{
    int32 rx = 0, ry = 0;
    if (twBack)
        twBack->queryPointer(&rx, &ry);
    clampPointer(rx, ry);
    *x = mouse.x;
    *y = mouse.y;
}

void WARP_POINTER(int32 x, int32 y)
{
    if (twBack)
        twBack->warpPointer(x, y);
}

void SET_CURSOR(int shape)
{
    if (twBack)
        twBack->setCursor(shape);
}

void DRAIN_EVENTS(bool dropExpose)
{
    if (twBack)
        twBack->discardEvents(!dropExpose);
}

void DRAIN_MOTION()
{
    if (twBack)
        twBack->dropMotion();
}

void SET_REFRESH_CALLBACK(void (*cb)())
{
    mouse.refresh = cb;
}

const int* lastKeys()
{
    return mouse.keys;
}

void TEXTWIN_IDLE(const char* what)
{
    logIdle(what);
}

// ---------------------------------------------------------------------------------------------
// Message box and dialog

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

// ---------------------------------------------------------------------------------------------
// Set-up and reset

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

bool textwinFontInit()
{
    TavFontDes f;
    (void)fontCount();
    return SETFONT(0, 0, &f);
}

void textwinDrawInit(const charu gunOfs[4])
{
    setTextGunTable(gunOfs);
}

// ---------------------------------------------------------------------------------------------
// Pop-up menus

namespace {

// One token of a menu definition: up to '|', '%', a newline or the end. A backslash before a
// delimiter keeps it in the token (the backslash becomes a blank); "\ " at the start keeps
// the leading blanks.
std::string menuToken(const std::string& s, size_t& p, char* stop)
{
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t'))
        ++p;
    if (p + 1 < s.size() && s[p] == '\\' && s[p + 1] == ' ')
        ++p;
    std::string t;
    *stop = 0;
    while (p < s.size()) {
        const char c = s[p++];
        if (c == '|' || c == '%') {
            if (!t.empty() && t.back() == '\\') {
                t.back() = ' ';
                t += c;
                continue;
            }
            *stop = c;
            return t;
        }
        if (c == '\n') {
            if (!t.empty() && t.back() == '\r')
                t.pop_back();
            *stop = '\n';
            return t;
        }
        t += c;
    }
    return t;
}

std::string upToBar(const std::string& s, size_t& p)
{
    const size_t e = s.find('|', p);
    std::string r = s.substr(p, e == std::string::npos ? std::string::npos : e - p);
    p = e == std::string::npos ? s.size() : e + 1;
    return r;
}

int32 parseInt(const std::string& t, int base)
{
    std::string v = t;
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.pop_back();
    v.erase(0, v.find_first_not_of(" \t") == std::string::npos ? v.size()
                                                               : v.find_first_not_of(" \t"));
    const int cls = NUMCLASS(v.c_str());
    if (base == 10 && cls != 1)
        return 0;
    if (base == 16 && cls != 1 && cls != 2)
        return 0;
    return int32(std::strtol(v.c_str(), nullptr, base));
}

void drawItem(const twRec& r, const pupItem& it, bool hil)
{
    if (it.kind == 2) {
        fill(r.x0 + it.hx0, r.y0 + it.hy0, r.x0 + it.hx1, r.y0 + it.hy1,
             hil ? it.textPix : it.fillPix);
        twBack->drawText(r.x0 + it.tx, r.y0 + it.ty, it.text, hil ? it.fillPix : it.textPix, false);
    } else {
        twBack->drawText(r.x0 + it.tx, r.y0 + it.ty, it.text, it.textPix, false);
    }
}

void drawMenu(twRec& r)
{
    TEXTWIN_SHOW(r.id);
    const pupRec& p = *r.pup;
    if (p.titles && !p.item.empty()) {
        const int32 y = r.y0 + p.item[0].ty + curFont.descent;
        fill(r.x0 + 2, y, r.x1 - 2, y, colourPixel(5, false));
        fill(r.x0 + 2, y + 1, r.x1 - 2, y + 1, colourPixel(4, false));
    }
    for (const pupItem& it : p.item)
        drawItem(r, it, false);
}

bool isEnd(int code)
{
    return run.fast ? (code == -3 || code == -1) : (code == 3 || code == 1);
}

// True when from can reach target through child links (a cycle if target is the parent).
// Each menu is looked at once: menus shared by several items (or linked with -1) would
// otherwise be walked again for every path to them, which grows with the power of the depth.
bool reaches(int32 from, int32 target, bool (&seen)[MAX_WIN])
{
    if (from == target)
        return true;
    if (!validId(from) || !wdef.rec[from].pup || seen[from])
        return false;
    seen[from] = true;
    for (const pupItem& it : wdef.rec[from].pup->item)
        if (it.child && reaches(it.child - 1, target, seen))
            return true;
    return false;
}

bool reaches(int32 from, int32 target)
{
    bool seen[MAX_WIN] = {};
    return reaches(from, target, seen);
}

} // namespace

void SET_MENU_FAST(bool fast)
{
    run.fast = fast;
}
bool MENU_FAST()
{
    return run.fast;
}

int32 pupRow(int32 y, int32 top, int32 bottom, int32 lineStep)
{
    const int32 bt = top + 4, bb = bottom - 4;
    if (lineStep <= 0 || y < bt || y > bb)
        return -1;
    return (y - bt + 1) / lineStep;
}

void pupRootPlace(int32 px, int32 py, int32 treeW, int32 treeH, const int32 disp[4], int32* x,
                  int32* y)
{
    *x = px;
    *y = py;
    if (*x + treeW > disp[2])
        *x = disp[2] - treeW;
    if (*y + treeH > disp[3])
        *y = disp[3] - treeH;
    // A tree larger than the view starts at its top-left corner.
    *x = std::max(*x, disp[0]);
    *y = std::max(*y, disp[1]);
}

void pupSubPlace(const twRec& parent, int32 parentRow, int32 lineStep, int32 w, int32 h,
                 const int32 disp[4], int32* x, int32* y)
{
    *x = parent.x1 + 1;
    *y = parent.y0 + parentRow * lineStep - 1;
    if (*x + w - 1 > disp[2])
        *x = disp[2] - w + 1;
    if (*y + h - 1 > disp[3])
        *y = disp[3] - h + 1;
    *x = std::max(*x, disp[0]);
    *y = std::max(*y, disp[1]);
}

int32 xDEFPUP(const char* def)
{
    if (!def || !*def)
        return -1;
    const std::string s = def;
    std::vector<pupItem> items;
    int titles = 0;
    size_t p = 0;
    while (p < s.size() && int(items.size()) < MAX_PUP_ITEMS) {
        char stop = 0;
        pupItem it;
        it.text = menuToken(s, p, &stop);
        const int32 ordinal = int32(items.size()) + 1 - titles;
        if (stop == '%') {
            const char c = p < s.size() ? s[p] : 0;
            ++p;
            if (c == 't') {
                upToBar(s, p);
                it.kind = 1;
                it.value = -1;
                ++titles;
            } else if (c == 'i' || c == 'd') {
                it.value = parseInt(upToBar(s, p), 10);
            } else if (c == 'x') {
                it.value = parseInt(upToBar(s, p), 16);
            } else if (c == '%') {
                it.text += '%';
                it.text += upToBar(s, p);
                it.value = ordinal;
            } else {
                DIAG("\nxDEFPUP() token error: %s", def);
                return -2;
            }
        } else {
            it.value = ordinal;
        }
        items.push_back(std::move(it));
    }
    if (items.empty())
        return -1;
    TavFontDes f;
    if (!SETFONT(0, 0, &f))
        return -3;
    int32 widest = 0;
    for (const pupItem& it : items)
        widest = std::max(widest, twBack->textWidth(it.text));
    const int32 w = widest + 11;
    const int32 h = f.lineStep * int32(items.size()) + 10 - f.descent;
    int32 box[4] = {0, 0, w - 1, h - 1};
    const int colours[3] = {0, 1, 1};
    const int32 id = TEXTWIN_OPEN(-1, box, 0, colours, TW_DEFINE_ONLY | TW_BEVEL);
    if (id < 0)
        return -3;
    twRec& r = wdef.rec[id];
    r.isPopup = true;
    r.pup = std::make_unique<pupRec>();
    pupRec& pr = *r.pup;
    pr.id = shortu(id);
    pr.titles = shortu(titles);
    pr.items = shortu(items.size());
    pr.treeX = r.width;
    pr.treeY = 0;
    pr.treeW = r.extW;
    pr.treeH = r.extH;
    pr.def = s;
    for (size_t k = 0; k < items.size(); ++k) {
        pupItem& it = items[k];
        it.winId = id;
        const int32 base = f.ascent + 5 + int32(k) * f.lineStep;
        it.tx = 5;
        it.fillPix = r.bgPix;
        if (it.kind == 1) {
            it.ty = base - 1;
            it.textPix = colourPixel(2, false);
        } else {
            it.ty = base;
            it.textPix = colourPixel(1, false);
            it.hx0 = 4;
            it.hx1 = r.width - 1 - 4;
            it.hy0 = base - f.ascent;
            it.hy1 = base;
        }
    }
    pr.item = std::move(items);
    return id;
}

int32 xLNKPUP(int n, const pupLink* table)
{
    if (n < 1 || !table || !table[0].parent)
        return 0;
    const int32 root = *table[0].parent;
    if (!validId(root) || !wdef.rec[root].pup) {
        DIAG("\nxLNKPUP() error; undefined parent popup link.");
        return 0;
    }
    TavFontDes f;
    SETFONT(0, 0, &f);
    pupRec& rp = *wdef.rec[root].pup;
    int32 tw = rp.treeW, th = rp.treeH;
    for (int k = 0; k < n; ++k) {
        const int32 pid = table[k].parent ? *table[k].parent : -1;
        const int32 cid = table[k].child ? *table[k].child : -1;
        if (!validId(pid) || !validId(cid) || !wdef.rec[pid].pup || !wdef.rec[cid].pup) {
            DIAG("\nxLNKPUP() error; child popup link undefined or out of range. P/C= %d %d", pid,
                 cid);
            return 0;
        }
        pupRec& P = *wdef.rec[pid].pup;
        pupRec& C = *wdef.rec[cid].pup;
        const int32 first = table[k].item < 0 ? 0 : table[k].item;
        const int32 last = table[k].item < 0 ? int32(P.items) - 1 : table[k].item;
        for (int32 i = first; i <= last; ++i) {
            if (pid == cid || i >= int32(P.items) || P.item[size_t(i)].kind == 1)
                continue;
            if (reaches(cid, pid)) {
                DIAG("\nxLNKPUP() error; popup link cycle refused. P/C= %d %d", pid, cid);
                continue;
            }
            P.item[size_t(i)].child = shortu(cid + 1);
            C.treeX = P.treeX + wdef.rec[cid].width;
            C.treeY = P.treeY + f.lineStep * i;
            tw = std::max(tw, C.treeX);
            th = std::max(th, C.treeY + wdef.rec[cid].height);
        }
    }
    rp.treeW = std::max(rp.treeW, tw);
    rp.treeH = std::max(rp.treeH, th);
    return root;
}

int32 xDOPUP(int32 pup_ID, int32* pupvals, bool* outside)
{
    TAV_ASSERT(pupvals != NULL);
    TAV_ASSERT(outside != NULL);
    TAV_ASSERT(pup_ID >= 0 && pup_ID < MAX_WIN);
    TAV_ASSERT(wdef.def[pup_ID]);
    twRec& r = wdef.rec[pup_ID];
    TAV_ASSERT(r.isPopup && r.pup);
    TAV_ASSERT(twBack != nullptr);
    TavFontDes f;
    if (fonts.current != r.font || !curFont.loaded)
        SETFONT(r.font, 0, &f);
    const pupRec& p = *r.pup;
    const bool root = p.titles > 0;
    int32 d[4];
    dispBox(d);
    int32 x, y;
    if (root) {
        run.plev = 0;
        run.lastLevel = 0;
        run.parentRow = 0;
        run.lastRow = -1;
        run.lastInside = false;
        run.lastCode = 0;
        run.deepest = 0;
        QUERY_POINTER(&run.x, &run.y);
        pupRootPlace(run.x, run.y, p.treeW, p.treeH, d, &x, &y);
    } else {
        TAV_ASSERT(run.plev > 0);
        const twRec& parent = wdef.rec[run.stack[run.plev - 1]];
        pupSubPlace(parent, run.parentRow, curFont.lineStep, r.width, r.height, d, &x, &y);
    }
    const int lev = run.plev;
    run.deepest = std::max(run.deepest, lev);
    setWinGeometry(r, x, y, r.width, r.height);
    run.stack[lev] = pup_ID;
    run.parentRowAt[lev] = run.parentRow;
    drawMenu(r);
    testLog("menu show %d %d %d %d %d %d %d", pup_ID, lev, r.x0, r.y0, r.x1, r.y1,
            int(curFont.lineStep));
    if (root)
        logIdle("menu");

    int32 selected = -1, curRow = -1;
    *outside = true;
    const int32 bandTop = r.y0 + 4, bandBot = r.y1 - 4;
    bool reuse = false;
    for (;;) {
        int code;
        if (reuse) {
            code = run.lastCode;
            reuse = false;
        } else {
            int32 ex = run.x, ey = run.y;
            code = MOUSE_EVENT(&ex, &ey, 0);
            if (code == MOUSE_CLOSE)
                code = run.fast ? -3 : 3; // the close button ends the menu, outside
            else if (code != MOUSE_WHEEL_DOWN && code != MOUSE_WHEEL_UP) {
                run.x = ex;
                run.y = ey;
            }
            run.lastCode = code;
        }
        const int32 ex = run.x, ey = run.y;
        const bool button = code == 1 || code == 3 || code == -1 || code == -3;
        const bool inside = ex > r.x0 && ex < r.x1 && ey > bandTop && ey < bandBot;
        bool leave = false;
        if (root && !inside && !button)
            continue;
        const int32 row = pupRow(ey, r.y0, r.y1, curFont.lineStep);
        if (row != run.lastRow || lev != run.lastLevel || inside != run.lastInside) {
            run.lastRow = row;
            run.lastLevel = lev;
            run.lastInside = inside;
            if (!inside) {
                *outside = true;
                bool beside = false;
                if (!root) {
                    const twRec& par = wdef.rec[run.stack[lev - 1]];
                    beside = ex <= r.x0 &&
                             pupRow(ey, par.y0, par.y1, curFont.lineStep) == run.parentRowAt[lev];
                }
                if (ey >= bandBot || (!root && !beside))
                    leave = true;
                if (curRow >= 0) {
                    drawItem(r, p.item[size_t(curRow)], false);
                    curRow = -1;
                }
            } else if (row >= 0 && row < int32(p.items) && p.item[size_t(row)].kind == 2) {
                const pupItem& it = p.item[size_t(row)];
                *outside = false;
                if (curRow >= 0 && curRow != row)
                    drawItem(r, p.item[size_t(curRow)], false);
                drawItem(r, it, true);
                curRow = row;
                selected = it.value;
                if (testLogOn())
                    twBack->sync();
                testLog("menu hilite %d %d %d", pup_ID, row, it.value);
                if (it.child && lev + 1 < MAX_PUP_LEVEL && validId(it.child - 1) &&
                    wdef.rec[it.child - 1].pup) {
                    run.parentRow = row;
                    run.plev = lev + 1;
                    xDOPUP(it.child - 1, pupvals, outside);
                    run.plev = lev;
                    drawItem(r, it, false);
                    curRow = -1;
                    if (!isEnd(run.lastCode)) {
                        // The event that closed the sub-menu is looked at again here.
                        run.lastRow = -2;
                        reuse = true;
                        continue;
                    }
                }
            } else {
                *outside = true;
                if (curRow >= 0) {
                    drawItem(r, p.item[size_t(curRow)], false);
                    curRow = -1;
                }
            }
        }
        if (leave || isEnd(run.lastCode))
            break;
    }
    TEXTWIN_HIDE(pup_ID);
    if (!root)
        drawBevel(wdef.rec[run.stack[lev - 1]]);
    pupvals[lev] = selected;
    if (testLogOn())
        twBack->sync();
    testLog("menu hide %d %d", pup_ID, selected);
    if (root) {
        std::string vals;
        for (int k = 0; k <= run.deepest; ++k)
            vals += strPrintf(" %d", pupvals[k]);
        testLog("menu done %d %d%s", selected, *outside ? 1 : 0, vals.c_str());
    }
    return selected;
}
