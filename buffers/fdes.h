// The file descriptor of one loaded file, with its control bits and code tables.
#pragma once

#include <cstdint>

#include "tavtypes.h"

/// Data type codes (one bit each).
enum : charu {
    DT_BYTE = 1,
    DT_INT16 = 2,
    DT_INT32 = 4,
    DT_FLOAT32 = 8,
    DT_COMPLEX32 = 16,
    DT_FLOAT64 = 32,
    DT_COMPLEX64 = 64,
    DT_ASCII = 128
};

/// Storage modes.
enum : charu { SM_FLAT = 1, SM_BAND_SEQ = 2, SM_SCAN_IL = 3, SM_PIXEL_IL = 4 };

/// Format codes.
enum : charu {
    FMT_GENERIC = 0,
    FMT_JPEG = 1,
    FMT_GIF = 2,
    FMT_PNG = 3,
    FMT_TIFF = 4,
    FMT_FITS = 5,
    FMT_JP2 = 6,
    FMT_WEBP = 7,
    FMT_AVIF = 8,
    FMT_COUNT = 9
};

/// Colour classes.
enum : charu { CC_GREY = 1, CC_COLOR = 2, CC_PALETTE = 3, CC_ALPHA_OVL = 4 };

/// vslCtlm bits.
enum : int32u {
    VSL_DERES_X = 0x1,
    VSL_DERES_Y = 0x2,
    VSL_BSWAP = 0x10,
    VSL_PALETTE = 0x40,
    VSL_GREY = 0x80,
    VSL_RGB = 0x100,
    VSL_SCAN_IL = 0x200,
    VSL_ONE_GUN = 0x400,
    VSL_TILED = 0x800,
    VSL_FLIP = 0x1000,
    VSL_MIRR = 0x2000,
    VSL_R180 = 0x4000,
    vslIS_HDR = 0x20000,
    VSL_SELF_POS = 0x40000,
    VSL_GFILL = 0x100000,
    VSL_DIRECT = 0x400000,
    VSL_BGR2RGB = 0x800000
};

/// One file placed into an image of a buffer.
struct fdes {
    char path[256];        ///< full path of the image file
    int32u fCols, fRows;   ///< size in the file
    int32u lCols, lRows;   ///< size of the region read
    int32u dCols, dRows;   ///< size written after de-resolution
    int32 fXofs, fYofs;    ///< region origin in the file
    int32 bXofs, bYofs;    ///< destination origin in the iBUFF
    int32 slBytes;         ///< bytes of one scanline as the getter delivers it
    int32u vslCtlm;        ///< control bits ("VSL-BITMASK")
    std::int16_t bands;    ///< bands per pixel in the file
    std::int16_t dBands;   ///< bands delivered by the load, 1-4
    std::int16_t Bands[4]; ///< file band loaded into gun R, G, B, A (1-based, 0 none)
    charu gun;             ///< target gun of a one-gun load
    charu format;          ///< format code
    charu storMode;        ///< storage mode
    charu colorClass;      ///< colour class
    charu dataType;        ///< data type bit
    charu quantiz;         ///< significant bits per sample
    charu bytsPixl;        ///< bytes per sample of one band
    charu compressed;      ///< 1 when the format is compressed
    std::uint64_t dataOfs; ///< file position of the first pixel byte
    double deres[2];       ///< x and y de-resolution factors (1.0 when off)
    shortu HDU;            ///< FITS header data unit (0 = automatic)
    shortu deresLevel;     ///< N of DERES (0 = none)
    charu interlaced;      ///< 1 when the file stores its rows interlaced (GIF)
    std::uint64_t workMem; ///< bytes of the reader's own blocks for one load (set by its header)
};
