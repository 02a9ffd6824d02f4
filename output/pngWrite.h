// PNG writing on libpng: the header step, rows, and the end, each with its own error return
// so that a library error anywhere comes back as a status in the function that met it.
#pragma once

#include <cstddef>
#include <cstdio>

#include "tavtypes.h"

/// MK_PNG_HDR and pngWriteRows statuses.
enum : int32 {
    PNGW_OK = 0,
    PNGW_NO_WRITE = -1, ///< write structure not created
    PNGW_NO_INFO = -2,  ///< info structure not created
    PNGW_LIB = -3       ///< the library reported an error (writing stops)
};

/// One PNG being written: owns libpng's write and info structures (not the stream).
class pngWriter {
public:
    pngWriter() = default;
    ~pngWriter();
    pngWriter(const pngWriter&) = delete;
    pngWriter& operator=(const pngWriter&) = delete;

    /// Releases the structures; safe twice.
    void release();

    void* png = nullptr;  ///< png_structp
    void* info = nullptr; ///< png_infop
    int channels = 0;
    bool failed = false; ///< a library error happened: nothing more is written
};

/// Creates the structures for `fp` and writes the header of a w x h, 8-bit image of 1 (grey),
/// 2-3 (RGB) or 4 (RGBA) channels, default compression. Stream left open for the caller.
int32 MK_PNG_HDR(pngWriter& pw, std::FILE* fp, int channels, int32 w, int32 h);
/// Writes `n` rows of `stride` bytes each.
int32 pngWriteRows(pngWriter& pw, const charu* rows, int32 n, std::size_t stride);
/// Ends the image and releases the structures.
int32 pngWriteEnd(pngWriter& pw);
