// The thin drawing and event interface under the text windows, prompts and menus. The X layer
// implements it on the view window; tests implement it on a memory frame with scripted events.
// Every coordinate is a view pixel; boxes are inclusive.
#pragma once

#include <string>
#include <string_view>

#include "tavtypes.h"

/// An inclusive rectangle of view pixels.
struct twBox {
    int32 x0, y0, x1, y1;
};

/// Raw metrics of an opened font, before the text layer derives its own fields.
struct twFontInfo {
    int32 ascent;       ///< font ascent
    int32 descent;      ///< font descent
    int32 charW;        ///< core: width of "_"; Xft: maximum advance
    void* handle;       ///< the backend's font handle (opaque here)
    std::string family; ///< Xft: the family actually obtained (fontconfig substitutes)
};

/// Kinds of input events delivered by the backend.
enum twEvKind : int {
    EV_NONE = 0,
    EV_PRESS = 1,     ///< button press; button 1-5
    EV_RELEASE = 2,   ///< button release
    EV_MOTION = 3,    ///< pointer moved
    EV_EXPOSE = 4,    ///< part of the view must be redrawn; count = further exposes queued
    EV_CONFIGURE = 5, ///< the window changed size or place
    EV_KEY = 6,       ///< key press, decoded
    EV_MAPPING = 7,   ///< keyboard mapping changed (the backend has refreshed it)
    EV_CLOSE = 8      ///< the window manager's close button
};

/// What a key press was, beyond its Latin-1 text.
enum twKeyClass : int {
    KEY_TEXT = 0,   ///< key holds a Latin-1 character (Return 13, BackSpace 8, ...)
    KEY_SHIFT = 1,  ///< left or right Shift alone
    KEY_CTRL_L = 2, ///< Left Control
    KEY_ALT_L = 3,  ///< Left Alt
    KEY_DELETE = 4, ///< Delete (acts as backspace)
    KEY_NONE = 5    ///< any key without text
};

/// One input event.
struct twEvent {
    int kind = EV_NONE;
    int32 x = 0, y = 0; ///< pointer position in the view (button and motion events)
    int button = 0;     ///< 1 left, 2 middle, 3 right, 4/5 wheel
    int count = 0;      ///< EV_EXPOSE: exposures still to come in this series
    int key = 0;        ///< EV_KEY: Latin-1 character (0 when none)
    int keyClass = KEY_NONE;
};

/// Drawing and events on the view. Every image read and write is clipped to the view by the
/// caller; drawing calls are clipped by the backend.
class twBackend {
public:
    virtual ~twBackend() = default;
    /// Opens a core font by name (xft false) or an Xft font by family, slant, weight, size.
    virtual bool openFont(bool xft, const std::string& name, int slant, int weight, double size,
                          twFontInfo* out) = 0;
    /// Releases a font handle from openFont.
    virtual void closeFont(bool xft, void* handle) = 0;
    /// Makes an opened font the one drawText and textWidth use.
    virtual void useFont(bool xft, void* handle) = 0;
    /// Width in pixels of a text in the current font.
    virtual int32 textWidth(std::string_view s) = 0;
    /// Ink box of a text drawn with its origin at (0, 0) in the current font.
    virtual twBox inkBox(std::string_view s) = 0;
    /// Fills a rectangle (a box with x1 < x0 or y1 < y0 draws nothing).
    virtual void fillRect(const twBox& b, int32u pixel) = 0;
    /// A line of the given width (projecting caps, bevel joins).
    virtual void drawLine(int32 x0, int32 y0, int32 x1, int32 y1, int32u pixel, int width) = 0;
    /// Text with its origin on the baseline; xorMode combines it with what is there.
    virtual void drawText(int32 x, int32 y, std::string_view s, int32u pixel, bool xorMode) = 0;
    /// Copies a box of the view by (dx, dy).
    virtual void copyArea(const twBox& src, int32 dx, int32 dy) = 0;
    /// Reads the pixels of a box that lies inside the view (row after row, 32 bits each).
    virtual bool getPixels(const twBox& b, int32u* dst) = 0;
    /// Writes pixels to a box that lies inside the view.
    virtual void putPixels(const twBox& b, const int32u* src) = 0;
    /// Waits for the next event.
    virtual twEvent nextEvent() = 0;
    /// Number of events already queued.
    virtual int pending() = 0;
    /// Discards every queued event; puts one Expose back if one was dropped and keepExpose.
    virtual void discardEvents(bool keepExpose) = 0;
    /// Drops queued pointer motion when more than two events wait; others keep their order.
    virtual void dropMotion() = 0;
    /// The raw pointer position in the view now.
    virtual void queryPointer(int32* x, int32* y) = 0;
    /// Moves the pointer.
    virtual void warpPointer(int32 x, int32 y) = 0;
    /// Cursor shape: 1 crosshair, 2 watch, other values the default.
    virtual void setCursor(int shape) = 0;
    /// Sends queued requests and waits until the server has handled them.
    virtual void sync() = 0;
    /// Re-reads the window size; true when it changed.
    virtual bool geometryChanged() = 0;
    /// The display box x0, y0, x1, y1 of the view.
    virtual void displayBox(int32 box[4]) = 0;
};

/// The backend in use (the view window's, or a test's); null while no view is open.
extern twBackend* twBack;
