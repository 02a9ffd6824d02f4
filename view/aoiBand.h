// The FG AOI drawn with the pointer: the rubber band. A first point, then a flicker box that
// follows the pointer until it is accepted. The AOI operations and the calculator's AOI
// command both define the FG AOI with it.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Rubber-band flags.
enum : int32u {
    RUBBER_SQUARE = 0x100 ///< a square centred on the first point, not a rectangle from it
};

/// Lets the user draw a rectangle (or square) on the view. Pointer positions are snapped to
/// multiples of snap (1: none); the accepted rectangle is normalised and its origin snapped.
/// True with *out set when accepted; false (nothing changed) when cancelled with the right
/// button, a refresh or a close.
bool RUBBER_BAND(int32u flags, int32 snap, aoiRec* out);
