// Pseudo-colour tables for 8-bit (and 16-bit) levels built from the HDR scaling's sine curves,
// so that a grey band shown through them looks as the HDR PSEUDO curve would render it.
#pragma once

#include "tavtypes.h"

/// PSEUDO_LUT mode bits beyond the step or tooth count in the low bits.
enum : int32u { PSL_COMB = 0x400 };

/// Fills red, green and blue tables of count entries (1 to 65535): entry i stands for level
/// (i - offset) / scale, placed in the range [range[0], range[1]] (ordered, at least 16 levels
/// wide) and coloured by the pseudo-colour sine curves. With PSL_COMB, (mode & 127) teeth fold
/// the range back and forth; otherwise (mode & 255) >= 2 quantises it into that many steps.
/// 0, or -1 for invalid arguments ("\n---error return from PSEUDO_LUT" on standard error,
/// nothing written).
int PSEUDO_LUT(const int32 range[2], charu* red, charu* green, charu* blue, int32 count,
               int32u mode, int32 offset, double scale);
