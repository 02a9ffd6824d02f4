// The folio table: fourteen scratch files that hold accumulators and snapshots.
#pragma once

#include <cstdio>

#include "tavtypes.h"

constexpr int NUM_FOLIOS = 14;
constexpr int32u ALL_FOLIOS = 0x3FFF;

/// Claims the folios of `mask`: a created one is rewound and truncated, an uncreated one
/// gets a new scratch file; their defined bits are cleared. Returns the created mask.
int32u CLAIM_FOLIOS(int32u mask);
/// The scratch file of a slot, or null when it was never created.
std::FILE* FOLIO_FILE(int slot);
/// Mask of folios whose scratch file exists.
int32u foliosCreated();
/// Mask of folios that hold a header.
int32u foliosDefined();
/// Closes every scratch file (tests need a clean slate; the program keeps them to the end).
void resetFolios();
