// The area a pixel operation reads and writes: the FG AOI as the view shows it, or the whole
// current iBUFF in GLOBAL scope. Rows go through the render objects in the view and straight
// through the buffer's own rows in GLOBAL scope, so every operation treats both alike.
#pragma once

#include <cstddef>
#include <span>

#include "bufRecMgt.h"
#include "tavtypes.h"
#include "viewState.h"

/// The area of one pixel operation.
struct pixelScope {
    bool global = false;       ///< the whole iBUFF (the view state's GLOBAL scope), else the FG AOI
    aoiRec area{0, 0, -1, -1}; ///< FG AOI in view pixels, or 0, 0, width-1, height-1 of the buffer
    int32 cols = 0, rows = 0;
};

/// The scope of the next operation from the view state: GLOBAL while dmode has
/// modeGLOBAL_SCOPE, else the FG AOI within the display box. False when there is no area.
bool pixelScopeOf(const viewState* vs, const bufdes* bd, pixelScope* s);

class RenderScanL;

/// Rows of the scope, top to bottom, each read, changed in place and put back in turn. GLOBAL
/// reads the buffer's rows in place (put only advances the progress indicator titled `what`);
/// the FG AOI is read from the view through a render object and put writes the row back.
class scopeLines {
public:
    scopeLines(const pixelScope& s, bufdes* bd, const char* what = nullptr);
    ~scopeLines();
    scopeLines(const scopeLines&) = delete;
    scopeLines& operator=(const scopeLines&) = delete;

    /// False when the rows cannot be reached (no view, no mapping, no scratch).
    bool ok() const { return ok_; }
    /// Row y (0 = scope top) of cols pixels 0xAARRGGBB, changeable; null when unreadable.
    /// Rows are taken in order, each put back before the next is taken.
    int32u* row(int32 y);
    /// Puts row y back; false when the view refused it.
    bool put(int32 y);

private:
    pixelScope s_;
    bufdes* bd_;
    const char* what_;
    RenderScanL* view_ = nullptr;
    bool ok_ = false;
    int32 step_ = 1;
};

/// The window an operation that reads a neighbourhood (convolution) takes around its scope:
/// the scope grown by rx and ry on each side, within the display box for the FG AOI (the
/// display pixels around it) or within the buffer in GLOBAL scope.
struct scopeWindow {
    aoiRec outer{0, 0, -1, -1}; ///< view pixels (FG AOI) or buffer pixels (GLOBAL)
    int32 cols = 0, rows = 0;
    int32 x0 = 0, y0 = 0; ///< the scope's top-left pixel within the window
};
/// The window of a scope for a reach of rx, ry pixels; false when the scope has no area.
bool scopeWindowOf(const pixelScope& s, const bufdes* bd, int32 rx, int32 ry, scopeWindow* w);

/// Rows of a scope window, read top to bottom and copied out, so that rows written back into
/// the scope meanwhile never come back as input.
class windowRows {
public:
    windowRows(const pixelScope& s, const scopeWindow& w, bufdes* bd);
    ~windowRows();
    windowRows(const windowRows&) = delete;
    windowRows& operator=(const windowRows&) = delete;

    /// False when the rows cannot be reached (no view, no scratch).
    bool ok() const { return ok_; }
    /// Copies window row y (0 = window top) into cols pixels at dst; rows are asked in
    /// increasing order. False when the row cannot be read.
    bool read(int32 y, int32u* dst);

private:
    scopeWindow w_;
    bufdes* bd_;
    bool global_ = false;
    RenderScanL* view_ = nullptr;
    bool ok_ = false;
    int32 next_ = 0; ///< next window row the view gives
};

/// Every row of the scope through f(std::span<int32u> row), each put back in turn (`what` titles
/// the GLOBAL progress indicator). False when a row could not be read or put back; *touched
/// (may be null) counts the rows f changed.
template <class F>
bool eachScopeRow(const pixelScope& s, bufdes* bd, const char* what, F f, int32* touched = nullptr)
{
    scopeLines lines(s, bd, what);
    int32 done = 0;
    bool ok = lines.ok();
    for (int32 y = 0; ok && y < s.rows; ++y) {
        int32u* px = lines.row(y);
        if (!px) {
            ok = false;
            break;
        }
        f(std::span<int32u>(px, std::size_t(s.cols)));
        ++done;
        ok = lines.put(y);
    }
    if (touched)
        *touched = done;
    return ok;
}

/// Gun planes of the whole scope (cols x rows bytes each, row-major): planes[g] for gun g (0
/// red, 1 green, 2 blue) where bit 1 << g of gunMask is set (the others may be null). False
/// when the area cannot be read.
bool readScopeGuns(const pixelScope& s, bufdes* bd, int32 gunMask, charu* const planes[3]);
/// Writes those planes back into the guns of gunMask; the other guns and alpha are kept.
bool writeScopeGuns(const pixelScope& s, bufdes* bd, int32 gunMask, const charu* const planes[3]);
