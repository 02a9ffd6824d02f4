// Text windows, the message box, prompts, fonts, mouse and key reading, and the pop-up menus
// drawn into the view. No X here: drawing and events go through twBackend.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tavtypes.h"
#include "twBackend.h"

constexpr int MAX_WIN = 256;      ///< text-window slots, ids 0-255
constexpr int MAX_PUP_ITEMS = 32; ///< items kept from a menu definition
constexpr int MAX_PUP_LEVEL = 16; ///< deepest menu level a tree may open
constexpr int MAX_MSG_LINES = 32; ///< lines of a message box

/// The current font and its derived metrics.
struct TavFontDes {
    void* coreFont = nullptr; ///< core font handle (fonts 0-2)
    void* xftFont = nullptr;  ///< Xft font handle (fonts 3 and above)
    short index = -1;         ///< index into the font table
    short ascent = 0;         ///< font ascent + 1
    short descent = 0;        ///< font descent + 1
    short height = 0;         ///< ascent + descent
    short charW = 0;          ///< core: width of "_" + 1; Xft: maximum advance + 1
    short lineStep = 0;       ///< descent + height
    short box2 = 0;           ///< two-line box height: 2 x lineStep - descent + 9
    short xftSize = 0;        ///< Xft point size, 12-756
    bool xft = false;
    bool loaded = false;
};

/// Derived metrics from a font's raw ascent, descent and character width.
void fontMetrics(int32 ascent, int32 descent, int32 charW, TavFontDes* f);

/// The font table (core names, then "family:slant:weight"), ending with an empty entry.
extern const char* const tavFontNames[];
/// Number of named fonts in the table.
int fontCount();
/// Xft slant value of a slant word ("roman" 0, "italic" 100, "oblique" 110; default 0).
int xftSlant(const std::string& word);
/// Xft weight value of a weight word ("light" 50 ... "black" 210; default 50).
int xftWeight(const std::string& word);
/// True when two family names are equal regardless of blanks and letter case.
bool sameFamily(const std::string& a, const std::string& b);

/// Selects a font (index, size for Xft fonts) and copies its descriptor out; false on failure.
bool SETFONT(int index, int size, TavFontDes* retnFont);
/// The current font.
const TavFontDes& currentFont();

/// Text colour table entry as RGB.
struct twRGB {
    charu r, g, b;
};
/// The 18 text colours.
extern const twRGB textColours[18];
/// An X pixel from RGB through the gun-to-byte table.
int32u rgbPixel(charu r, charu g, charu b, const charu gunOfs[4]);
/// The gun-to-byte table the text layer uses (set by the X layer at view open).
void setTextGunTable(const charu gunOfs[4]);
/// The 256-entry display colour table that flag 0x100 selects (owned by the LUT operations).
void setDisplayColourTable(const twRGB* table256);
/// Pixel of a colour index (text colour table, or the display colour table when rgbFlag).
int32u colourPixel(int index, bool rgbFlag);

/// Flags of TEXTWIN_OPEN.
enum : int32 {
    TW_NO_SAVE = 0x1,     ///< no saved-under image
    TW_DEFINE_ONLY = 0x2, ///< define only, do not draw
    TW_BEVEL = 0x80,      ///< bevel style
    TW_RGB = 0x100        ///< colours index the display colour table
};
/// Flags of TEXTWIN_PUT / TEXTWIN_GET / GETSTR.
enum : int32 {
    TW_MOUSE_ENDS = 0x8,   ///< a mouse press ends input
    TW_XOR = 0x200,        ///< draw in XOR mode (outside windows only)
    TW_NEWLINE = 0x400,    ///< start a new line first
    TW_WRAP = 0x800,       ///< wrap onto further lines
    TW_KEEP_SHOWN = 0x2000 ///< TEXTWIN_CLOSE: free without hiding
};

/// One menu item.
struct pupItem {
    int32 winId = -1;
    std::string text;
    shortu kind = 2; ///< 1 label (title), 2 selectable
    int32 value = 0;
    shortu child = 0; ///< sub-menu id + 1, 0 for none
    int32u textPix = 0, fillPix = 0;
    int32 hx0 = 0, hy0 = 0, hx1 = 0, hy1 = 0; ///< highlight box, window-relative
    int32 tx = 0, ty = 0;                     ///< text origin, window-relative
};

/// The pop-up record of a menu window.
struct pupRec {
    shortu id = 0;
    shortu titles = 0;
    shortu items = 0;
    int32 treeX = 0, treeY = 0; ///< right edge and top of this menu relative to the root, tree open
    int32 treeW = 0, treeH = 0; ///< largest x and y reached below this menu
    std::string def;            ///< the definition text
    std::vector<pupItem> item;
};

/// One text window.
struct twRec {
    shortu id = 0;
    int32 x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int32 width = 0, height = 0;
    int32u bgPix = 0, fgPix = 0, thirdPix = 0;
    int32 margin = 0, baseline = 0, curX = 0;
    int32 rows = 0;
    shortu font = 0;
    bool hasSave = false, isPopup = false, bevel = false;
    bool shown = false;       ///< drawn, with the saved-under pixels held
    int32 extW = 0, extH = 0; ///< second copy of width and height
    std::unique_ptr<pupRec> pup;
    std::unique_ptr<int32u[]> saved; ///< pixels under the window, clipped to the view
    twBox savedBox{0, 0, -1, -1};
};

/// The window table (slot defined when def[id]).
struct twTable {
    bool def[MAX_WIN] = {};
    twRec rec[MAX_WIN];
    int count = 0;
};
extern twTable wdef;

/// Defines or redefines a window; returns its id or -1 (table full, no memory).
int32 TEXTWIN_OPEN(int32 id, int32 box[4], int fontIdx, const int colours[3], int32 flags);
/// Draws a defined window, saving what lies under it.
void TEXTWIN_SHOW(int32 id);
/// Puts back what lay under a window.
void TEXTWIN_HIDE(int32 id);
/// Hides (unless TW_KEEP_SHOWN) and frees a window.
void TEXTWIN_CLOSE(int32 id, int32 flags);
/// Closes every window, highest id first.
void TEXTWIN_CLEARALL();
/// Writes text at the window's cursor; -1 on an undefined window, else 0.
int TEXTWIN_PUT(int32 id, const std::string& text, int colour, int32 flags);
/// Reads one typed line into a window (at most bufSize - 2 characters).
std::string TEXTWIN_GET(int32 id, std::size_t bufSize, int colour, int32 flags);

/// Line editor for core fonts: reads at most bufSize - 2 characters at (*x, *y); returns the count.
int GETSTR(int32* x, int32* y, std::size_t bufSize, int textColour, int bgColour, std::string* buf,
           int32 winId, int32 flags);
/// Line editor for Xft fonts: as GETSTR, saving the pixels under each glyph it draws.
int XftGETSTR(int32* x, int32* y, std::size_t bufSize, int textColour, int bgColour,
              std::string* buf, int32 winId, int32 flags);

/// TEXTMSG flags.
enum : int32 { MSG_STANDING = 0, MSG_BRIEF = 4, MSG_ACK = 8, MSG_NO_CENTRE = 16, MSG_PROMPT = 32 };
/// Shows a message box; a prompt returns the typed answer (empty when none).
std::string TEXTMSG(const std::string& text, int32 flags);
/// Removes the message box.
void TEXTMSG_CLEAR();
/// Sets the message anchor; a value outside the view means the centre on that axis.
void SET_MSG_ANCHOR(int32 x, int32 y);
/// True for an answer beginning with Y or y.
bool answerYes(const std::string& answer);
/// The message box rectangle for the given lines around the anchor (before the window minimum).
twBox msgBoxLayout(const std::vector<std::string>& lines, const std::vector<int32>& widths,
                   const TavFontDes& f, int32 ax, int32 ay, int32 flags, const int32 disp[4]);

/// Dialog record of TEXTDLG.
struct textDlg {
    int32 textId = -1, ansId = -1;  ///< window ids, -1 when new
    std::vector<std::string> lines; ///< at most 32 shown
    std::string answer;
    int font = 0;
    int colours[3] = {0, 1, 1};
    twBox textBox{}, ansBox{}; ///< in: textBox.x0/y0 the given point; out: the panels
    bool bounded = false;
    twBox bound{}; ///< box to stay inside when bounded
    int textColour = 1, ansColour = 1;
    int32 flags = 0; ///< 0x10 do not centre; 0x40 drag into place
};
/// Lays out and opens the two panels; -1 when placement was cancelled or no slot is free.
int TEXTDLG(textDlg* d);
/// Panel boxes for the dialog (pure layout).
void textDlgLayout(const std::vector<int32>& lineWidths, const TavFontDes& f, int32 px, int32 py,
                   int32 flags, const twBox* bound, const int32 disp[4], twBox* textBox,
                   twBox* ansBox);
void TEXTDLG_REDRAW(textDlg* d);
void TEXTDLG_HIDE(textDlg* d);
void TEXTDLG_CLOSE(textDlg* d);

/// Mouse event codes.
enum : int {
    MOUSE_LEFT = 1,
    MOUSE_MIDDLE = 2,
    MOUSE_RIGHT = 3,
    MOUSE_MOVED = 4,
    MOUSE_REDRAW = 5,
    MOUSE_WHEEL_DOWN = 6, ///< button 5
    MOUSE_WHEEL_UP = 7,   ///< button 4
    MOUSE_CLOSE = 8       ///< the window manager's close button
};
/// Waits for the next mouse event; mode & 7 ignores motion and keys. Returns its code.
int MOUSE_EVENT(int32* x, int32* y, int mode);
/// Waits for a key; mode 1 lets a mouse press end the wait (-1). -2 after a refresh.
int GETKEY(int* c, int mode);

/// Two-button emulation state.
struct twoButtonState {
    bool on = false;
    bool leftHeld = false;
    bool emuMiddle = false; ///< the right button is down as an emulated middle
};
/// Button (1-3) press or release to event code under the emulation rules.
int twoButtonCode(twoButtonState* s, int button, bool press);
/// TWO_BUTTON_MOUSE on or off.
void TWO_BUTTON_MOUSE(bool on);

/// Limits reported pointer positions to a box (null: the display box).
void SET_POINTER_BOX(const int32* box);
/// Limits the pointer so that a cursor box of w x h centred on it stays inside box.
void SET_POINTER_BOX(const int32* box, int32 w, int32 h);
/// The pointer now, clamped.
void QUERY_POINTER(int32* x, int32* y);
/// Moves the pointer.
void WARP_POINTER(int32 x, int32 y);
/// Cursor shape: 1 crosshair, 2 watch, other values the default.
void SET_CURSOR(int shape);
/// Discards queued events (one Expose is kept unless dropExpose).
void DRAIN_EVENTS(bool dropExpose);
/// Drops queued motion events.
void DRAIN_MOTION();
/// Callback that redraws the view after exposure or resizing.
void SET_REFRESH_CALLBACK(void (*cb)());
/// The last three keys typed (oldest first).
const int* lastKeys();

/// Logs "idle WHAT" to the test log once everything drawn has reached the server.
void TEXTWIN_IDLE(const char* what);

/// Back to a clean slate: no windows, default font state, mouse state (tests).
void resetTextwin();
/// Font set-up at view open: font table, font 0. False when font 0 cannot be selected.
bool textwinFontInit();
/// Text drawing defaults after the view is mapped.
void textwinDrawInit(const charu gunOfs[4]);

/// Defines a menu; id, or -1 empty, -2 token error, -3 no free slot.
int32 xDEFPUP(const char* def);
/// One row of a link table.
struct pupLink {
    int32* parent;
    int32 item;
    int32* child;
};
/// Links menus into a tree; returns the root id or 0 on an error.
int32 xLNKPUP(int n, const pupLink* table);
/// Runs a menu tree; returns the value of the root item last highlighted (-1 none).
int32 xDOPUP(int32 pup_ID, int32* pupvals, bool* outside);
/// FAST (true) or STICKY menu mode.
void SET_MENU_FAST(bool fast);
bool MENU_FAST();
/// Root placement: top-left corner for a tree of treeW x treeH opened at the pointer.
void pupRootPlace(int32 px, int32 py, int32 treeW, int32 treeH, const int32 disp[4], int32* x,
                  int32* y);
/// Sub-menu placement beside the parent row, shifted inside the view.
void pupSubPlace(const twRec& parent, int32 parentRow, int32 lineStep, int32 w, int32 h,
                 const int32 disp[4], int32* x, int32* y);
/// Row of a menu under y (band from top + 4 to bottom - 4), -1 outside the band.
int32 pupRow(int32 y, int32 top, int32 bottom, int32 lineStep);
