// LUT files: optional "#" comment lines, then 256 lines of red, green and blue outputs for
// input levels 0 to 255, separated by commas, blanks or tabs.
#pragma once

#include <cstdio>
#include <string_view>

#include "lutKernels.h"

/// LUT file reader status codes.
enum : int32 {
    LUTF_OK = 0,
    LUTF_NON_NUMERIC = -1, ///< a data line whose three fields are not all decimal integers
    LUTF_SHORT = -2,       ///< fewer than 256 data lines
    LUTF_LONG_LINE = -3,   ///< a line longer than LUTF_LINE_MAX characters
    LUTF_IO = -4           ///< the stream failed
};
/// Longest line a LUT file may hold.
inline constexpr int LUTF_LINE_MAX = 256;

/// Reads the 256 entries of a LUT file into out. The tables are only written when all 256
/// lines were good, so a refused file leaves them as they were. Values outside 0-255 are held
/// at the nearer end.
int32 readLutFile(std::FILE* f, lutSet& out);

/// Writes the tables with the file header (and the description line when desc is not empty).
/// False when the stream failed.
bool writeLutFile(std::FILE* f, const lutSet& luts, std::string_view desc);
