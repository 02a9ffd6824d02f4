// HDR scaling settings that the command line and the loader tags set before the scaling
// itself runs: the default range mode of each scaling accumulator and the last HDR tag.
#pragma once

#include "tavtypes.h"

/// Range modes of the HDR scaling default.
enum : int { HDR_MED3SD = 0, HDR_MEAN3SD = 1, HDR_FULL = 2 };

struct hdrSettings {
    int rangeMode[2];    ///< default range mode of the Loader (0) and Exploit (1) accumulators
    int32u tagFlags;     ///< curve and range bits of the last HDR tag
    int32u tagChannels;  ///< channel mask of the last HDR tag
    double tagP1, tagP2; ///< numbers of the last HDR tag
    bool tagGiven;       ///< an HDR tag set the values above
    bool autoMode;       ///< automatic scaling (SBUFF_AUTO)
};

/// Process-wide HDR settings.
extern hdrSettings hdrSet;

/// Sets the default range mode of both accumulators (0, 1 or 2; others give 0).
void SET_HDR_DEFAULT_RANGE(int mode);
/// Back to the start-up values.
void resetHdrSettings();
