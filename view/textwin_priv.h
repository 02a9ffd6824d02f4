// State and helpers shared by the textwin sources (fonts, input, window table, message box,
// menus). Private to view/: nothing outside the textwin sources includes it.
#pragma once

#include <cstdint>

#include "textwin.h"

namespace twPriv {

/// First index of the font table that names an Xft font.
constexpr int firstXftFont = 3;

/// One cached font per table index; an Xft entry is reopened when another size is asked.
struct fontSlot {
    TavFontDes des;
    bool open = false;
};

/// The font cache and the font in force.
struct fontState {
    fontSlot slot[32];
    int current = -1;
    int xftSize = 0; ///< the Xft size in force (0 until one was set)
};
/// The font cache (textwin_fonts.cpp).
extern fontState fonts;
/// The current font's descriptor (textwin_fonts.cpp).
extern TavFontDes curFont;

/// Mouse and keyboard state.
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
/// Mouse and keyboard state (textwin_input.cpp).
extern mouseState mouse;

/// Window id of the message box, -1 when none is shown (textwin_msg.cpp).
extern int32 msgId;
/// The message anchor (textwin_msg.cpp).
extern int32 anchorX, anchorY;

/// Menu run state shared by every level of one xDOPUP.
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
/// Menu run state (textwin_menu.cpp).
extern pupRun run;

// Window table and drawing helpers (textwin_table.cpp).

/// True for an id in range whose slot is defined.
bool validId(int32 id);
/// The display box, or all zeros while no view is open.
void dispBox(int32 b[4]);
/// A box clipped to the view; x1 < x0 when nothing is left.
twBox clipToView(const twBox& b);
/// True when the box holds no pixel.
bool emptyBox(const twBox& b);
/// Pixels in a box (0 for an empty one).
uint64_t boxPixels(const twBox& b);
/// Fills a rectangle clipped to the view.
void fill(int32 x0, int32 y0, int32 x1, int32 y1, int32u pix);
/// Allocates a saved-under buffer for the window's box as it is clipped now.
bool allocSave(twRec& r);
/// Saves what lies under a window about to be drawn.
void saveUnder(twRec& r);
/// Puts back what lay under a shown window.
void restoreUnder(twRec& r);
/// The two-pixel bevel around a window.
void drawBevel(const twRec& r);
/// Background and border (or bevel) of a window.
void drawFrame(twRec& r);
/// Box, margin, baseline, cursor and row count of a window in the current font.
void setWinGeometry(twRec& r, int32 x0, int32 y0, int32 w, int32 h);
/// Makes the window's font current.
void selectWinFont(const twRec& r);
/// Scrolls the text area up one line and clears the bottom line.
void newLine(twRec& r);
/// The reverse of newLine, for a backspace that returns into the line above.
void lineBack(twRec& r);

// Input helpers (textwin_input.cpp).

/// Logs "idle WHAT" once everything drawn has reached the server.
void logIdle(const char* what);

} // namespace twPriv
