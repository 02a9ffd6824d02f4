// The answers typed at the pixel operations' prompts, read into the values the transforms
// take. No prompt is shown here: the front ends ask, these decide, so every answer can be
// checked from a table.
#pragma once

#include <string>

#include "tavtypes.h"

// Each returns "" when the answer is accepted, else the message to show.

/// Mean-curvature diffusion iterations: a decimal integer from 1 to 256.
std::string parseMcdIterations(const std::string& answer, int32* n);
/// Daubechies filter length: an integer, taken to the next of 4, 6, ..., 16 that is not
/// smaller (up to 4 gives 4, above 14 gives 16).
std::string parseDaubechiesLength(const std::string& answer, int32* n);
/// Wavelet-packet path: L/l or 0 for the low-pass filter, H/h or 1 for the high-pass, blanks
/// and commas between them ignored; two filters per level, 1 to 8 levels.
/// path: two characters per level, '0' for L/0 and '1' for H/1 (so "LL HH" -> "0011").
std::string parsePacketPath(const std::string& answer, std::string* path);
