// HDR scaling settings that the command line and the loader tags set before the scaling
// itself runs: the default range mode of each scaling accumulator and the last HDR tag; and
// the words of the HDR tag, which the loader reads and the scaling menu's script writer writes.
#pragma once

#include <span>
#include <string_view>

#include "tavtypes.h"

/// Range modes of the HDR scaling default.
enum : int { HDR_MED3SD = 0, HDR_MEAN3SD = 1, HDR_FULL = 2 };

/// Curve and range bits of a gun's scaling control word, as the HDR tag names them.
enum : int32u {
    HDR_LIN = 0x1,
    HDR_LOG = 0x2,
    HDR_EXP = 0x4,
    HDR_SINH = 0x8,
    HDR_TANH = 0x10,
    HDR_PSEUDO = 0x20,
    HDR_CURVE_BITS = 0x3ff,
    HDR_RANGE_FULL = 0x1000,
    HDR_RANGE_LOHI = 0x2000,
    HDR_RANGE_MEAN = 0x4800,
    HDR_RANGE_MEDIAN = 0x8800,
    HDR_RANGE_LOW_STDV = 0x20800,
    HDR_RANGE_HI_STDV = 0x40800,
    HDR_RANGE_BITS = 0x7fc00
};

/// Channel masks of the HDR tag.
enum : int32u { HDR_CH_R = 1, HDR_CH_G = 2, HDR_CH_B = 4, HDR_CH_A = 8, HDR_CH_RGB = 7 };

/// One keyword of the HDR tag and the bits it stands for.
struct hdrWord {
    const char* word;
    int32u bits;
};

/// Curve keywords; the short form of each curve comes first (the form scripts are written in).
extern const std::span<const hdrWord> hdrCurveWords;
/// Range keywords; the short form of each range comes first.
extern const std::span<const hdrWord> hdrRangeWords;

/// Bits of a keyword of `table`, compared as a whole word in any case; false when unknown.
bool hdrLookupWord(std::span<const hdrWord> table, std::string_view word, int32u& bits);
/// Channel mask of the first word of an HDR tag: RGB (a whole word, any case), or a gun named
/// by its first letter R, G, B or A; false otherwise.
bool hdrChannelsOf(std::string_view word, int32u& bits);
/// The short keyword of `bits` in `table` (null when none has exactly those bits).
const char* hdrWordOf(std::span<const hdrWord> table, int32u bits);

struct hdrSettings {
    int rangeMode[2];    ///< default range mode of the Loader (0) and Exploit (1) accumulators
    int32u tagFlags;     ///< curve and range bits of the last HDR tag
    int32u tagChannels;  ///< channel mask of the last HDR tag
    double tagP1, tagP2; ///< numbers of the last HDR tag
    bool tagGiven;       ///< an HDR tag set the values above
    bool autoMode;       ///< automatic scaling (SBUFF_AUTO)
    bool rangeChosen;    ///< the user chose the default range mode (-hdr)
};

/// Process-wide HDR settings.
extern hdrSettings hdrSet;

/// Sets the default range mode of both accumulators (0, 1 or 2; others give 0).
void SET_HDR_DEFAULT_RANGE(int mode);
/// Sets the default range mode as the user's choice (-hdr): HDR loads keep it.
void CHOOSE_HDR_DEFAULT_RANGE(int mode);
/// The default of an HDR load without an HDR tag: full range (2), unless the user chose a mode.
void SET_HDR_LOAD_DEFAULT_RANGE();
/// Back to the start-up values.
void resetHdrSettings();
