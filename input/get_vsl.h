// Image input: format detection (GETHEADER) and the virtual scanline (VSL) pipeline that
// moves one file, or a region of it, into the current iBUFF.
//
// A load is GETHEADER -> (the loader applies its tags to the fdes) -> INIT_VSL -> IMAGE_LOAD
// -> FREE_VSL. One load runs at a time; its state is the process-wide VSL record.
//
// Ownership:
//  - GETHEADER reads the stream but does not keep it. Colour tables it returns are calloc'd
//    blocks of 256 bytes (short palettes zero-filled); on a failed GETHEADER none are returned.
//    A caller that does not hand them to INIT_VSL releases them with FREE_PALETTE.
//  - INIT_VSL takes the stream and the tables, whatever its status. Every load that reached
//    INIT_VSL ends with FREE_VSL (also after a failed INIT_VSL or IMAGE_LOAD): FREE_VSL runs
//    the format's releaser and closes the stream. The caller may still use its FILE* (WIPE
//    re-encryption) between INIT_VSL and FREE_VSL, but must never close it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "bufRecMgt.h"
#include "fdes.h"
#include "tavtypes.h"

/// GETHEADER statuses of its own (header readers add theirs, passed on unchanged).
enum : int32 {
    HDR_OK = 0,
    HDR_READ_FAIL = -1,      ///< fewer than 12 bytes could be read
    HDR_NOT_AVAILABLE = -20, ///< the format was recognised but its reader is not built yet
};

/// INIT_VSL statuses.
enum : int32 {
    VSL_OK = 0,
    VSL_BAD_BANDS = -1,        ///< band selection (dBands, Bands) unusable for this file
    VSL_JPEG_INI = -2,         ///< format initialiser failed: JPEG
    VSL_TIFF_INI = -3,         ///< TIFF
    VSL_PNG_INI = -4,          ///< PNG
    VSL_GIF_INI = -5,          ///< GIF
    VSL_FITS_INI = -6,         ///< FITS
    VSL_JP2_INI = -7,          ///< JPEG 2000
    VSL_WEBP_INI = -8,         ///< WebP
    VSL_AVIF_INI = -9,         ///< AVIF
    VSL_GENERIC_INI = -10,     ///< GENERIC, or an unknown format code
    VSL_NO_SCANBUF = -11,      ///< scan buffer not allocated
    VSL_NO_RGBAROW = -12,      ///< RGBA row not allocated
    VSL_NO_sBUFF = -13,        ///< Loader sBUFF not selectable
    VSL_NO_HDRROW = -14,       ///< HDR row not allocated
    VSL_sBUFF_HEADER = -15,    ///< the accumulator refused the load's header
    VSL_HDR_UNAVAILABLE = -16, ///< HDR data, but no scaling accumulator is installed yet
    VSL_BAD_GEOMETRY = -17,    ///< region or placement lies outside the file or the iBUFF
};

/// IMAGE_LOAD statuses.
enum : int32 {
    LOAD_OK = 0,
    LOAD_SUBSAMPL = -1,  ///< de-resolution set-up failed
    LOAD_SKIP = -2,      ///< skipping to the region's first row failed
    LOAD_SCAN = -3,      ///< a scanline could not be read
    LOAD_NEXT_BAND = -4, ///< skipping to the next band failed
};

/// GET_VSL statuses.
enum : int32 {
    GETVSL_OK = 0,
    GETVSL_UNKNOWN_FMT = -1, ///< format code above 8
    GETVSL_GETTER = -2,      ///< the format's getter failed
};

/// PROCESS_VSL results.
enum : int32 {
    PVSL_ROW_DONE = 0,  ///< an output row is complete
    PVSL_MORE = 1,      ///< vertical de-resolution needs more input rows
    PVSL_BAD_BANDS = -1 ///< RGB class without 3 or 4 bands
};

/// INI_SUBSAMPL statuses.
enum : int32 { SUBS_OK = 0, SUBS_ARGS = -1, SUBS_NO_MEM = -4 };

/// Gun byte offsets in an iBUFF pixel (R, G, B, A).
constexpr int gunOfs[4] = {2, 1, 0, 3};

/// Frees a block with std::free (owner of the calloc'd blocks of the pipeline).
struct vslFree {
    void operator()(void* p) const noexcept;
};
/// Closes a C stream.
struct vslFileCloser {
    void operator()(std::FILE* f) const noexcept;
};

/// The process-wide VSL record of the load in progress (cleared by INIT_VSL and FREE_VSL).
struct vslRecord {
    std::unique_ptr<std::FILE, vslFileCloser> fp; ///< the open image file
    std::unique_ptr<charu, vslFree> anc[4];       ///< colour tables R, G, B (, A), 256 each
    int32 nAnc = 0;                               ///< number of tables held
    std::unique_ptr<charu, vslFree> scanBuf;      ///< one file scanline
    std::int64_t scanBytes = 0;                   ///< its size
    int32 pixStride = 0;                          ///< bytes from one file pixel to the next
    std::unique_ptr<int32u, vslFree> rgbaRow;     ///< lCols pixels (horizontal de-resolution)
    std::unique_ptr<float, vslFree> hdrRow;       ///< samples of one HDR row
    std::int64_t hdrSamples = 0;                  ///< floats in the HDR row
    std::int64_t scanCount = 0;                   ///< file rows read or skipped since INIT_VSL
    bufdes* bd = nullptr;                         ///< target buffer
    ides* id = nullptr;                           ///< its current image
    fdes* fd = nullptr;                           ///< the fdes of the image's current gun
    int32 srcSample[4] = {0, 1, 2, 3};            ///< sample index feeding each output slot
    bool initOk = false;                          ///< INIT_VSL completed
    bool hdrOpen = false;                         ///< the HDR sink accepted the header
    bool destUnset = false;   ///< placement holds nothing to keep: rows written whole, alpha 0
    charu* rowView = nullptr; ///< the row IMAGE_LOAD converts (a getter may lend its own)
};
extern vslRecord VSL;

/// The process-wide de-resolution state.
struct subsamplState {
    int32 inCols = 0, outCols = 0; ///< input and output columns
    int32 inRows = 0, outRows = 0; ///< input and output rows of one band pass
    int32 bands = 0;               ///< samples per pixel
    double fx = 1.0, fy = 1.0;     ///< factors (1.0 = direction off)
    bool horiz = false, vert = false;
    int32 rowsIn = 0;     ///< input rows seen in this pass
    int32 rowsSummed = 0; ///< rows in the running vertical sum
    bool isHDR = false, isScanIL = false;
    std::unique_ptr<int32u, vslFree> sums; ///< four counters per output column (8-bit data)
};
extern subsamplState SUBSMPL;

/// Where the scaling accumulator takes the HDR rows of a load. Until it is installed, a load
/// of HDR data (vslIS_HDR, or quantiz above 8) is refused by INIT_VSL with VSL_HDR_UNAVAILABLE.
struct vslHdrSink {
    /// Selects the Loader sBUFF; nonzero = not selectable (INIT_VSL returns -13).
    int (*select)();
    /// Writes the accumulator header for this load; nonzero = refused (-15).
    int (*header)(const fdes* fd, const bufdes* bd);
    /// Appends one row of `count` pixels (dBands floats each, or planes for SCAN INTERL.).
    int (*putRow)(const float* row, int32 count);
    /// Ends the load (the statistics passes).
    int (*end)();
};
/// Installs the HDR sink (nullptr: HDR loads are refused).
void setVslHdrSink(const vslHdrSink* sink);

/// Where progress lines go while the loader window is up (nullptr: window not up).
using vslPaneFn = void (*)(const char* text);
void setVslLoaderPane(vslPaneFn fn);

/// Detects the format from the first 1024 bytes and runs its header reader on the fdes of the
/// buffer's current image and gun. `path` feeds the extension fallback. Returns 0, -1 or the
/// header reader's status.
int32 GETHEADER(std::FILE* fp, bufdes* b, const char* path, int32* nAnc, charu* anc[4],
                bool headerOnly);

/// Frees colour tables that GETHEADER returned and that were not handed to INIT_VSL.
void FREE_PALETTE(charu* anc[4], int32* nAnc);

/// What INIT_VSL would refuse from the buffer's current fdes alone (bands, region, HDR, and the
/// memory guard's answer for the reader's and the pipeline's blocks), without allocating:
/// 0 or INIT_VSL's status. When the guard refused, its text goes to guardMsg (else cleared).
/// The loader asks before it takes or fills any pixel memory.
int32 CHECK_VSL(const bufdes* b, int32 nAnc, std::string* guardMsg = nullptr);

/// Prepares the load described by the buffer's current fdes; takes the stream and tables.
int32 INIT_VSL(std::FILE* fp, bufdes* b, charu* anc[4], int32 nAnc);

/// Moves the region's rows into the iBUFF (or the HDR sink). 0, -1, -2, -3 or -4.
int32 IMAGE_LOAD();

/// Fetches the next file scanline into buf (or passes over it with skip).
int32 GET_VSL(charu* buf, std::int64_t scan, int skip);

/// Skips n file rows; 0, or -3 at the first failure. Nothing with VSL_SELF_POS.
int32 SKP_SL(charu* buf, std::int64_t n);

/// Converts one file scanline (byte-swapped in place for HDR data) into the destination row;
/// 0 row done, 1 more rows, -1 bands.
int32 PROCESS_VSL(int32u* dest, charu* scan, int gun);

/// Ends the load: releaser, stream closed, buffers freed, buffer marked loaded. Returns 0.
int32 FREE_VSL();

/// Sets up de-resolution: 1 <= bands <= 4, cols > 15, rows >= 16, factors of the resampled
/// directions <= 0.999. Output sizes are the factors times the input, truncated.
int32 INI_SUBSAMPL(int32 bands, int32u ctl, int32 cols, int32 rows, const double factors[2]);

/// As INI_SUBSAMPL, with the output sizes given (the loader's dCols and dRows).
int32 iniSubsamplSized(int32 bands, int32u ctl, int32 cols, int32 rows, const double factors[2],
                       int32 outCols, int32 outRows);

/// Releases the de-resolution state (factors back to 1.0).
void freeSubsampl();

/// Reverses the byte order of every sample of bytsPixl bytes in place.
void BSWAP(void* buf, std::int64_t nbytes, int bytsPixl);

/// Test reset: the VSL record, the subsampler and the sinks back to their start state.
void resetVsl();
