// The records of a scaling accumulator (sBUFF): its descriptor, which is also the first 400
// bytes of a folio and of an accumulator file; the statistics record of each band; and the
// scaling block of each colour gun, whose first sixteen words are the gun's scaling parameters.
// The byte layouts are part of the accumulator file format and are asserted below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tavtypes.h"

/// Data type codes of an accumulator (samples held in an sBUFF are always 4 bytes wide).
enum : std::int16_t {
    DTYPE_BYTE = 1,
    DTYPE_INT16 = 2,
    DTYPE_INT32 = 4,
    DTYPE_FLOAT32 = 8,
    DTYPE_COMPLEX32 = 16,
    DTYPE_FLOAT64 = 32,
    DTYPE_COMPLEX64 = 64
};
/// Storage mode codes of an accumulator.
enum : std::int16_t { SMODE_FLAT = 1, SMODE_BAND_SEQ = 2, SMODE_SCAN_IL = 3, SMODE_PIXEL_IL = 4 };

constexpr int SBUFF_MAX_BANDS = 8;       ///< bands an accumulator holds
constexpr int SBUFF_MAX_SCALE_BANDS = 4; ///< bands that are scaled and carry statistics
constexpr int SBUFF_HIST_BINS = 1024;    ///< bins of a band's histogram
constexpr std::int64_t SBUFF_DESC_BYTES = 400;
/// Where the data of an accumulator with statistics records begins (400 + 8 x 144).
constexpr std::int64_t SBUFF_DATA_WITH_STATS = 1552;

/// The accumulator descriptor (native byte order).
struct folioDesc {
    int32u cols;              ///< samples per line
    int32u rows;              ///< lines
    int32u aoi[4];            ///< source area x0, y0, x1, y1 (inclusive)
    std::uint16_t gunBand[4]; ///< per gun R, G, B, A: 0 none, else 1-based band
    charu reserved1[8];       ///< zero
    std::int16_t nBands;      ///< bands in the data, 1-8
    std::int16_t nScaleBands; ///< bands scaled and with statistics, at most 4
    std::int16_t nStats;      ///< valid statistics records that follow, 0-8
    std::int16_t srcBuf;      ///< source iBUFF number; 0 = the display
    std::int16_t inLayout;    ///< incoming lines: 4 pixel-interleaved, 1 band after band
    std::int16_t sMode;       ///< storage mode code
    std::int16_t dType;       ///< data type code
    std::int16_t firstBand;   ///< band index of the first stored band
    charu gunLoad;            ///< 1: loaded for one gun of a composition
    charu defined;            ///< 1: the descriptor is valid
    charu reserved2[6];       ///< zero
    std::int64_t bandOfs[SBUFF_MAX_BANDS]; ///< file offset of each band (band-sequential)
    std::int64_t endOfs;                   ///< end of the data written so far
    std::int64_t dataOfs;                  ///< offset of the first data byte: 400 or 1552
    char process[256];                     ///< processing history, NUL-terminated
};
static_assert(sizeof(folioDesc) == 400);
static_assert(offsetof(folioDesc, nBands) == 40 && offsetof(folioDesc, gunLoad) == 56);
static_assert(offsetof(folioDesc, bandOfs) == 64 && offsetof(folioDesc, process) == 144);

/// Statistics of one band.
struct bandStats {
    double low;        ///< smallest sample; reset to 1e37
    double high;       ///< largest sample; reset to -1e37
    double mean;       ///< sum / count
    double median;     ///< from the histogram
    double mode;       ///< from the histogram
    double meanAbsDev; ///< sum |x - mean| / count
    double stdDev;     ///< sample standard deviation
    double skew;
    double kurtosis; ///< excess kurtosis
    double count;    ///< number of samples
    double reserved1;
    charu reserved2[2];
    std::int16_t band; ///< band index of this record
    charu finalised;   ///< 1 once the second pass has run
    charu reserved3[3];
    double sum;       ///< sum x
    double sumAbsDev; ///< sum |x - mean|
    double sumDev2;   ///< sum (x - mean)^2
    double sumDev3;   ///< sum (x - mean)^3
    double sumDev4;   ///< sum (x - mean)^4
    double sumDev;    ///< sum (x - mean)
};
static_assert(sizeof(bandStats) == 144);
static_assert(offsetof(bandStats, band) == 90 && offsetof(bandStats, sum) == 96);

/// Scaling parameters of one gun: the first sixteen words of its scaling block.
struct scalParams {
    int32u opScalCtl; ///< control word: curve, range and extrema bits
    int32u pad;
    double range;   ///< high - low as last computed
    double extLow;  ///< extrema lower bound
    double extHigh; ///< extrema upper bound
    double usrLoV;  ///< user low bound, sensor units
    double usrHiV;  ///< user high bound, sensor units
    double width;   ///< range width: sensor units, or number of standard deviations
    double mark;    ///< centre value for mark-centred ranges
    double low;     ///< working low bound (result)
    double high;    ///< working high bound (result)
    double linK, logK, expK, sinhK, tanhK, pseudoK; ///< curve factors
};
static_assert(sizeof(scalParams) == 128);

/// The scaling block of one colour gun.
struct bandScalBlk {
    scalParams p;
    double binSum[SBUFF_HIST_BINS];   ///< output histogram: sum of the values rendered to v
    int32u binCount[SBUFF_HIST_BINS]; ///< output histogram: counts
    float descale[256];               ///< mean HDR value rendered to each 8-bit level
};
static_assert(sizeof(bandScalBlk) == 128 + 8 * 1024 + 4 * 1024 + 4 * 256);
