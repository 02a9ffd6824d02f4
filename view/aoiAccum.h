// User accumulators as snapshots of display areas: an area of the view is written into a
// folio slot as 4-byte pixels with its descriptor, and pasted back onto the view, plainly for
// the chosen guns or blended as a watermark.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// CUT_ACCUM flags.
enum : int32u {
    CUT_HEADER_ONLY = 0x1000 ///< write the descriptor only
};
/// PASTE_ACCUM flags.
enum : int32u {
    PASTE_WATERMARK = 0x488 ///< blend (3 v + a) / 4 instead of replacing
};

/// Writes the view pixels of area (through the display LUTs when the render objects apply
/// them) into folio slot (0-13) as an RGBA snapshot. 0; -1 slot not valid or not created
/// ("\n***folio_utl:CUT_ACCUM() - accum not defined"); -2 empty area (or nothing in view);
/// -5 write failed.
int32 CUT_ACCUM(const aoiRec& area, int slot, int32u flags);

/// Pastes the snapshot of a slot onto the view for gunBits (0: red, green and blue): at
/// area's origin when it lies on the display, else at the snapshot's own area. 0; -1 slot not
/// 0-13; -2 nothing stored; -3 cols or rows under 16 or larger than the display; -4 floating or
/// complex data; -5 another type or not 4 interleaved bands; -6 area under 16 pixels both
/// ways; -7 no scratch for the view area; -8 the snapshot unreadable.
int32 PASTE_ACCUM(const aoiRec& area, int slot, int gunBits, int32u flags);
