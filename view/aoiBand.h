// The FG AOI drawn, placed and moved with the pointer: the rubber band, the fixed-size
// placement that follows the pointer, the tile beside the FG AOI, the drag snap and the
// history of placed FG AOIs. Every operation that lets the user choose an area (the AOI
// operations, the calculator's AOI command) goes through these, so every area they hand back
// lies inside the display box.
#pragma once

#include "aoiKernels.h"
#include "bufRecMgt.h"
#include "tavtypes.h"

/// Rubber-band and placement flags.
enum : int32u {
    BAND_DEST = 32,       ///< a destination for a copy, not the FG AOI (no snap of the origin)
    RUBBER_SQUARE = 0x100 ///< a square centred on the first point, not a rectangle from it
};

/// An AOI as the geometry kernels take it, and back.
inline pixBox asBox(const aoiRec& r)
{
    return pixBox{r.x0, r.y0, r.x1, r.y1};
}
inline aoiRec asAoi(const pixBox& b)
{
    return aoiRec{b.x0, b.y0, b.x1, b.y1};
}

/// The drag snap: pointer positions are snapped to multiples of size (1: none), rounding at
/// size / 2.
struct aoiSnapRec {
    int32 size = 1;
    int32 offset = 0;
};
/// The drag snap of the run.
extern aoiSnapRec aoiSnap;

/// Slots of the FG AOI history.
constexpr int32 AOI_HISTORY = 8;
/// The placed FG AOIs, newest at cur: a ring with the next slot to write and a count.
struct aoiHistoryRec {
    aoiRec slot[AOI_HISTORY]{};
    int32 next = 0, cur = 0, count = 0;
};
/// The FG AOI history of the run.
extern aoiHistoryRec aoiHistory;
/// Puts r in the next slot of the history and makes it current.
void pushAoiHistory(const aoiRec& r);
/// Moves the current index back (dir < 0) or forward and returns that rectangle; false
/// (nothing changed) with fewer than two rectangles held.
bool stepAoiHistory(int32 dir, aoiRec* out);
/// Colours (0xRRGGBB) of the FG AOI frame, the BG AOI frame and the display-limits frame.
extern int32u aoiFrameColour[3];

/// Snap, history and frame colours back to their start (tests).
void resetAoiPointer();

/// The display box of the view in use (the view state's when no surface is installed).
aoiRec aoiDisplayBox();

/// Lets the user draw a rectangle (or square) on the view. Pointer positions are snapped;
/// the accepted rectangle is normalised, its origin snapped (unless BAND_DEST) and it is cut
/// to the display box. True with *out set when accepted; false (nothing changed) when
/// cancelled with the right button, a refresh or a close, or when nothing of it is in view.
bool RUBBER_BAND(int32u flags, int32 snap, aoiRec* out);

/// Lets the user move a rectangle the size of start with the pointer until a left press
/// places it (the right button, a refresh or a close cancel: false). With atPointer the
/// origin sits on the pointer, else the rectangle moves as the pointer moves from where it
/// was. The origin is snapped and the rectangle kept inside the display box.
bool PLACE_BOX(const aoiRec& start, bool atPointer, int32 snap, aoiRec* out);

/// TILE_BOX outcomes.
enum : int32 {
    TILE_DONE = 0,
    TILE_CANCELLED = -1, ///< right button
    TILE_INSIDE = -2,    ///< the click was inside the FG AOI
    TILE_OUTSIDE = -3    ///< the adjoining tile leaves the display box
};
/// Asks for a click beside cur and gives the adjoining tile of the same size towards it.
int32 TILE_BOX(const aoiRec& cur, aoiRec* out);
