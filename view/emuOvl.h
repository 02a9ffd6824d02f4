// Overlays drawn over the view without redrawing the image: up to 16 flicker boxes whose
// outlines keep the pixels they cover, a rubber line that does the same, and the plain drawing
// helpers of the view (fill, clear, dim a rectangle). Everything goes through the view
// surface, so the overlays run on a memory frame in tests exactly as on the window.
#pragma once

#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "tavtypes.h"
#include "twBackend.h"

/// Number of flicker boxes.
constexpr int32 NUM_FLICK = 16;

/// flickBox mode bits.
enum : int32 {
    FLICK_DRAW = 1,  ///< save the pixels under the edges and draw the outline
    FLICK_ERASE = 2, ///< put the saved pixels back
    FLICK_MOVE = 4   ///< with a rectangle: the box moves there
};

/// The emulated overlay: 16 rectangle outlines over the view.
class emuOvl {
public:
    /// Takes the first free box for r fitted into the display box; drawn when flags has 1.
    /// The box number, or -1 ("no boxs available" / "no-memory" on standard error).
    int32 newFlick(const aoiRec& r, int32u colour, int32 flags);
    /// Erases (any mode bit while shown), moves (4 with r) and draws (1) a box.
    void flickBox(const aoiRec* r, int32 boxNo, int32 mode);
    /// Erases a box if shown and frees its slot; -1 does this for every box, newest first.
    void deleteFlick(int32 boxNo);
    /// The colour the box is drawn in from its next drawing on.
    void setColour(int32 boxNo, int32u colour);
    /// A new box with the same rectangle and colour, not drawn; its number or -1.
    int32 duplicate(int32 boxNo);
    /// The box's rectangle; false for a free or undefined box.
    bool rect(int32 boxNo, aoiRec* r) const;
    /// True while the box is drawn.
    bool shown(int32 boxNo) const;
    /// Boxes in use.
    int32 inUse() const { return used_; }
    /// Erases every shown box, newest first, keeping the boxes (to be drawn again).
    void eraseAll();
    /// Every box freed without touching the view (a view that is gone).
    void reset();

private:
    struct run {
        twBox b;
        std::size_t at; ///< first saved pixel of the run
    };
    struct slot {
        bool used = false, isShown = false;
        int32u colour = 0;
        int32 width = 0, height = 0;
        aoiRec r{0, 0, -1, -1};
        std::vector<int32u> saved; ///< 2 x (width + 1) + 2 x (height + 1) pixels
        run runs[4]{};
        int nRuns = 0;
    };
    bool valid(int32 boxNo, const char* who) const;
    void draw(slot& s);
    void erase(slot& s);
    void eraseAbove(int32 boxNo, std::vector<int32>* above);
    void redraw(const std::vector<int32>& boxes);

    slot slots_[NUM_FLICK];
    std::vector<int32> order_; ///< shown boxes in drawing order
    int32 used_ = 0;
};

/// The program's flicker boxes.
extern emuOvl flickBoxes;

/// A line from a fixed start to a moving end, erased exactly as the view was.
class rubberLine {
public:
    ~rubberLine() { erase(); }
    /// Erases the last line and draws the new one.
    void draw(int32 x0, int32 y0, int32 x1, int32 y1, int32u colour);
    /// Puts back what the line covered.
    void erase();

private:
    std::vector<twBox> runs_;
    std::vector<int32u> saved_;
};

/// A short text beside a box, erased exactly as the view was (drawn only on a window).
class textLabel {
public:
    ~textLabel() { erase(); }
    /// Erases the last label and writes text below the box (above it at the view's bottom).
    void draw(const aoiRec& box, const std::string& text);
    /// Puts back what the label covered.
    void erase();

private:
    twBox at_{0, 0, -1, -1};
    std::vector<int32u> saved_;
};

/// A pixel from red, green and blue, the bytes placed as the view's guns sit.
int32u viewRgb(int r, int g, int b);
/// Drawing colours of the view helpers.
void setDrawFg(int32u pixel);
void setDrawBg(int32u pixel);
int32u drawFg();
int32u drawBg();
/// Fills a rectangle with the foreground (the part inside the view; outside: nothing).
void fillViewRect(const aoiRec& r);
/// Clears a rectangle to black.
void clearViewRect(const aoiRec& r);
/// Clears the lowest bit of every colour byte in a rectangle (AND 0xfefefe), so that marks
/// drawn with odd values stand out and can be found again.
void dimViewRect(const aoiRec& r);
/// Clears the whole view to black.
void clearWholeView();
/// The gun write mask of the render objects from gun bits (1 red, 2 green, 4 blue, 8 alpha).
void setPlaneMask(int gunBits);
/// The part of r inside the display box; false when nothing of it is.
bool clipToView(const aoiRec& r, aoiRec* out);
