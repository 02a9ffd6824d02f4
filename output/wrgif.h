// The program's own GIF writer: 8-bit images with a compacted colour table (24-bit images are
// reduced first), GIF87a, or GIF89a when a comment is written, and LZW image data in 254-byte
// sub-blocks.
#pragma once

#include <cstdio>
#include <vector>

#include "tavtypes.h"

/// wrgif flags.
enum : int {
    GIF_24BIT = 1,    ///< the image holds red, green, blue bytes per pixel
    GIF_TABLES = 2,   ///< colour tables are given (8-bit image)
    GIF_OWN_IMAGE = 4 ///< the encoder frees the image (std::free) and nulls the pointer
};

/// wrgif statuses.
enum : int32 {
    GIF_OK = 0,
    GIF_NO_STREAM = -1, ///< no stream or image, or the quantisation failed
    GIF_NO_TABLES = -2, ///< GIF_TABLES without all three tables
    GIF_NO_MEMORY = -3, ///< working tables not allocated
    GIF_STREAM = -4,    ///< the stream reported an error after writing
    GIF_TOO_LARGE = -5  ///< width or height outside 1-65535
};

/// Writes `*pic` (w x h) to `fp` as one GIF image; see the flags. `comment` may be null.
int32 wrgif(std::FILE* fp, charu** pic, int32 w, int32 h, int flags, const charu* rmap,
            const charu* gmap, const charu* bmap, const char* comment);

/// LZW-compresses `n` indices of `bits` significance (initial code size `codeSize`, 2-8) and
/// appends the data sub-blocks (length byte, at most 254 bytes each) to `out`; no terminator.
void gifLzw(const charu* idx, std::size_t n, const charu* remap, int codeSize,
            std::vector<charu>& out);
