// The per-format hooks the pipeline calls by format code (header reader, initialiser,
// scanline getter, releaser). Internal to the input library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fdes.h"
#include "tavtypes.h"

/// Arguments every header reader may use.
struct vslHdrArgs {
    const charu* block; ///< the first 1024 bytes (zero-filled past the end of a short file)
    std::FILE* fp;      ///< the stream, rewound
    fdes* fd;           ///< the descriptor to fill
    int32* nAnc;        ///< colour table count out
    charu** anc;        ///< four colour table slots out (calloc'd 256 bytes each)
    bool headerOnly;    ///< DUMPH: the header is all that is wanted
};

/// GENERIC header statuses.
enum : int32 { PNM_OK = 0, PNM_REJECT = -1, PNM_NO_MAGIC = -2, PNM_MAXVAL = -3 };

/// GIF header and initialiser statuses.
enum : int32 {
    GIF_OK = 0,
    GIF_READ = -1,      ///< the signature could not be read / no stream
    GIF_SIGNATURE = -2, ///< not GIF87a/GIF89a / work memory not allocated (initialiser)
    GIF_BAD_SIZE = -3,  ///< the image descriptor gives a zero width or height
    GIF_NO_IMAGE = -4   ///< no image before the trailer or end of file / bad code size
};

int32 GENERIC_HDR(const vslHdrArgs& a);
int32 vslGENERIC_INI();
int32 GET_GENERIC_SL(charu* buf, int gun, int skip);
void FREE_GENERIC();

int32 GIF_HDR(const vslHdrArgs& a);
int32 vslGIF_INI();
int32 GET_GIF_SL(charu* buf, int gun, int skip);
void FREE_GIF();

/// PNG header statuses.
enum : int32 {
    PNG_OK = 0,
    PNG_NO_READ_STRUCT = -1, ///< png_create_read_struct failed
    PNG_NO_INFO_STRUCT = -2, ///< png_create_info_struct failed
    PNG_LIB_ERROR = -3,      ///< libpng raised an error while the header was read
    PNG_GREY_ALPHA = -4,     ///< two channels (grey with alpha) are not read
    PNG_BAD_IHDR = -5,       ///< IHDR unusable: depth not 1-16, narrower than 16 or 15 rows or less
    PNG_BAD_PALETTE = -6     ///< palette file without 1-256 entries (or tables not allocated)
};

int32 PNG_HDR(const vslHdrArgs& a);
int32 vslPNG_INI();
int32 GET_PNG_SL(charu* buf, int gun, int skip);
void FREE_PNG();

/// JPEG header statuses.
enum : int32 {
    JPEG_OK = 0,
    JPEG_NO_OBJECT = -1,     ///< the decompression object was not allocated
    JPEG_NO_ERRMGR = -2,     ///< the error manager was not allocated
    JPEG_LIB_ERROR = -3,     ///< no image header, or libjpeg raised an error on it
    JPEG_TWO_COMPONENTS = -4 ///< the decompressor delivers 2 (or more than 4) components
};

int32 JPEG_HDR(const vslHdrArgs& a);
int32 vslJPEG_INI();
int32 GET_JPEG_SL(charu* buf, int gun, int skip);
void FREE_JPEG();

/// TIFF header statuses.
enum : int32 {
    TIF_OK = 0,
    TIF_NO_OPEN = -1,        ///< libtiff could not open the stream's descriptor
    TIF_NO_WIDTH = -2,       ///< ImageWidth missing (or zero / unusable size, tile size)
    TIF_NO_LENGTH = -3,      ///< ImageLength missing
    TIF_NO_PHOTOMETRIC = -4, ///< Photometric missing
    TIF_BAD_BITS = -5,       ///< BitsPerSample not a power of two up to 32 (64 for floats)
    TIF_NO_SAMPLES = -6,     ///< SamplesPerPixel missing
    TIF_BAD_SAMPLES = -7,    ///< SamplesPerPixel not 1, 3 or 4
    TIF_BAD_TYPE = -8,       ///< depth and sample format not readable together
    TIF_NO_COLORMAP = -9,    ///< palette file without ColorMap
    TIF_NO_PALETTE_MEM = -10 ///< colour tables not allocated
};
/// TIFF header status: YCbCr other than 8-bit contiguous JPEG, which the library does not turn
/// into RGB (its samples would show as colours).
enum : int32 { TIF_YCBCR = -11 };

int32 RD_TIF_HDR(const vslHdrArgs& a);
int32 vslTIFF_INI();
int32 GET_TIFF_SL(charu* buf, int gun, int skip);
void FREE_TIFF();

/// JPEG 2000 header statuses.
enum : int32 {
    J2K_OK = 0,
    J2K_OPEN = -1,       ///< the file cannot be opened as a JP2 family file, or holds no box
    J2K_UNSUPPORTED = -2 ///< no signature box first, header unreadable, 2 or more than 4
                         ///< components, depth above 16 bits, or an unusable size
};
/// JPEG 2000 initialiser statuses.
enum : int32 {
    J2K_INI_EMPTY = -1,  ///< the load region holds no sample of a delivered band
    J2K_INI_NO_MEM = -2, ///< the stripe rows were not allocated
    J2K_INI_DECODE = -3  ///< the file no longer opens as its header said, or does not decode
};

int32 RD_JP2_HDR(const vslHdrArgs& a);
int32 vslJ2K_INI();
int32 GET_J2K_SL(charu* buf, int gun, int skip);
void FREE_J2K();

/// FITS header statuses.
enum : int32 {
    FITS_OK = 0,
    FITS_NO_OPEN = -1,         ///< the library could not open the file
    FITS_NO_HDU = -2,          ///< the file holds no header data unit
    FITS_BAD_HDU = -3,         ///< the requested HDU is beyond the file's count
    FITS_NOT_DISPLAYABLE = -4, ///< the requested HDU is not a 2-4 axis image of at least 16x16
    FITS_BAD_PARAM = -5,       ///< unsupported BITPIX, or image parameters not readable
    FITS_NOTHING_SHOWN = -6    ///< no HDU of the file is a displayable image
};

int32 RD_FITS_HDR(const vslHdrArgs& a);
int32 vslFITS_INI();
int32 GET_FITS_SL(charu* buf, int gun, int skip);
void FREE_FITS();

/// WebP header statuses.
enum : int32 {
    WEBP_OK = 0,
    WEBP_NO_MEM = -1,      ///< the file's bytes could not be held (guard or allocation)
    WEBP_READ = -2,        ///< the file could not be read
    WEBP_CONFIG = -3,      ///< the decoder configuration could not be set up
    WEBP_BAD_SIZE = -4,    ///< width or height beyond 32767
    WEBP_NO_FEATURES = -5, ///< the library found no WebP bitstream header in the data
    WEBP_ANIMATED = -6     ///< an animation: its frames are not loaded
};

int32 WEBP_HDR(const vslHdrArgs& a);
int32 INIT_WEBP();
int32 GET_WEBP_SL(charu* buf, int gun, int skip);
void FREE_WEBP();

/// AVIF header statuses.
enum : int32 {
    AVIF_OK = 0,
    AVIF_NO_MEM = -1,     ///< the file's bytes could not be held (guard or allocation)
    AVIF_READ = -2,       ///< the file could not be read
    AVIF_NO_DECODER = -3, ///< avifDecoderCreate failed
    AVIF_IO_MEMORY = -5,  ///< the decoder refused the data
    AVIF_PARSE = -6,      ///< the container could not be parsed
    AVIF_BAD_HEADER = -7, ///< size beyond 32767 or a depth other than 8, 10 or 12
    AVIF_SEQUENCE = -8    ///< an image sequence (animation): its frames are not loaded
};

int32 RD_AVIF_HDR(const vslHdrArgs& a);
int32 AVIF_INI();
int32 GET_AVIF_SL(charu* buf, int gun, int skip);
void FREE_AVIF();

/// Shows a reader's text in the loader window's message pane while it is up, and on standard
/// error.
void vslLoaderMsg(const std::string& text);

/// True when the load described by the pipeline's fdes covers the whole target buffer with the
/// file's own bands, untouched by any tag (no region, placement, gun, band choice, flip,
/// mirror, colour swap or resampling) into an empty buffer: the reader may then decode
/// straight into the pixel block.
bool vslDirectIngestAllowed();

/// True when the target block still holds the pixels of images a failed load gives back (a
/// replacing load): a direct decode must then not write into it until it has succeeded.
bool vslBlockHoldsKeptPixels();

/// The whole stream's bytes (at most `limit` when non-zero) in a block of the reader's own,
/// after asking the memory guard. 0, -1 (guard or allocation) or -2 (read).
int32 vslReadWholeStream(std::FILE* fp, std::uint64_t limit, charu** data, std::uint64_t* size);

/// The next row of a picture decoded whole (rows of rowBytes from image) for the pipeline:
/// where it lies when the pipeline takes a view of the row (the rows stay put until the load
/// ends, and each is converted once), else copied into buf. 0, or -1 past the last row.
int32 vslServeDecodedRow(charu* image, std::uint64_t rowBytes, std::uint32_t rows,
                         std::uint32_t* next, charu* buf, int skip);
