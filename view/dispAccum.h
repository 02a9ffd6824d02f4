// The display accumulator: a copy of what the view shows, kept in a folio slot so that an
// exposure is repaired without going back to the buffer (and what operations drew over the
// view survives). Also the folio slots the exploitation loop keeps for the view.
#pragma once

#include "lutKernels.h"
#include "tavtypes.h"

/// Folio slot of the global view of the current buffer.
constexpr int slotGLOBALV = 5;
/// Folio slot of the display accumulator: what the view shows.
constexpr int slotDISPLAY = 6;
/// Folio slots 10 to 13, kept by the touch operations for the view size they were made at.
constexpr int32u touchSlots = 0xFu << 10;

/// Status codes of the accumulator.
enum : int32 {
    ACC_OK = 0,
    ACC_NO_FILE = -1, ///< no view, no display box, no folio file or nothing stored
    ACC_SIZE = -2,    ///< what is stored was cut at another display size
    ACC_IO = -3,      ///< reading the view or the folio file failed
    ACC_NO_MEM = -4   ///< the memory guard refused the row block (shown in the message box)
};

/// Empties the folio slots of a mask.
void emptyFolios(int32u mask);
/// Copies the view's display box into the display accumulator.
int32 CUT_ACCUM();
/// Pastes the display accumulator into the view, through luts when given (else plainly).
int32 paste_accum(const lutSet* luts);
/// Pastes only the guns of gunBits (red 1, green 2, blue 4, alpha 8) of the display
/// accumulator into the view; the other guns keep what the view shows.
int32 paste_accum_guns(int gunBits);
/// Lends (on) or stops lending the view's rectangles to the scaling accumulator's display
/// render; the exploitation loop lends them while the view is open.
void lendViewToSbuff(bool on);
