// The translation between buffer pixels and view pixels: which buffer pixel sits at the view's
// top-left corner and how many view pixels one buffer pixel covers. Pure arithmetic; the view
// size it works in is handed over by the exploitation loop.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Largest zoom: one buffer pixel covers at most 16 x 16 view pixels.
constexpr int32 MAX_ZOOM = 16;
/// Width of the ancillary column at the right edge of the view.
constexpr int32 ANCIL_COLUMN_W = 258;

/// The current translation (that of the buffer made current by INIT_I_TRANSL).
struct translState {
    bufdes* bd = nullptr;        ///< the buffer; its record holds x, y and zoom between loops
    int32u* pixels = nullptr;    ///< its pixel array
    const int32u* alt = nullptr; ///< alternate source of the same size, read while selected
    int32 cols = 0, rows = 0;    ///< buffer size
    int32 x = 0, y = 0;          ///< buffer column and row at the view's top-left corner
    int32 zoom = 1;              ///< view pixels per buffer pixel on each axis
    int32 viewW = 0, viewH = 0;  ///< the view the mapping works in
    aoiRec mapped{0, 0, -1, -1}; ///< view pixels that show buffer pixels (inclusive)
};

/// The process-wide current translation.
extern translState curTransl;

/// A view box mapped to the buffer.
struct bufMapping {
    aoiRec view;      ///< the part of the asked box that shows buffer pixels
    aoiRec buf;       ///< the buffer pixels it shows (inclusive)
    const int32u* at; ///< address of buf's first pixel in the source (row stride = cols)
};

/// Sets the view size the translation maps into.
void SET_TRANSL_VIEW(int32 width, int32 height);
/// Makes a buffer's translation current; false when it has no pixels or is below 16 x 16.
bool INIT_I_TRANSL(bufdes* b);
/// Sets x, y and zoom, recomputes the mapped box and stores both in the buffer (FG AOI).
void SET_I_TRANSL(int32 x, int32 y, int32 zoom);
/// Moves by (dx, dy) view pixels; false (nothing changed) when x or y would become negative.
bool MOVE_I_TRANSL(int32 dx, int32 dy);
/// Maps a view box to the buffer; false when it does not overlap the mapped box.
bool DXY_TO_BUF(const aoiRec& viewBox, bufMapping* out);
/// Centres the buffer at zoom 1; keepColumn leaves the ancillary column free when the buffer
/// is narrower than the rest of the view. The BG AOI box becomes the mapped box.
void CENTRE_I_TRANSL(bool keepColumn);
/// Selects an alternate source of the current buffer's size (null: the buffer itself).
void SET_ALT_SOURCE(const int32u* pixels);
/// The mapped box a translation gives in a view (the visible remainder of the buffer).
aoiRec mappedBox(int32 cols, int32 rows, int32 x, int32 y, int32 zoom, int32 viewW, int32 viewH);
/// Forgets the current translation (tests).
void resetTransl();
