// The two scaling accumulator instances, Loader (0) and Exploit (1), and which of them is
// active. Every accumulator and scaling operation works on the active instance's memory block:
// its descriptor, eight band statistics records and four gun scaling blocks.
#pragma once

#include "sbuffTypes.h"

/// Identifiers of the two instances.
enum : int { SBUFF_LOADER = 0, SBUFF_EXPLOIT = 1 };
/// Folio slots and mask bits of the two instances.
enum : int { SBUFF_LOADER_SLOT = 8, SBUFF_EXPLOIT_SLOT = 9 };

/// The memory block of one instance.
struct sbuffMem {
    folioDesc desc;
    bandStats stats[SBUFF_MAX_BANDS];
    bandScalBlk scal[4]; ///< guns R, G, B, A
};

/// Makes instance id (0 or 1) active; returns its folio slot, or -1 (with a severe message on
/// standard error) for any other id.
int SET_ACTIVE_sBUFF(int id);
/// The active instance: identifier, folio slot, folio mask bit and memory block.
int activeSbuffId();
int activeSbuffSlot();
int32u activeSbuffMask();
sbuffMem& activeSbuff();
/// One instance's memory block, active or not.
sbuffMem& sbuffInstance(int id);
/// Both instances zeroed and the Loader instance active (tests need a clean slate).
void resetSbuffs();
