// Statistics of the scaling accumulator's bands: the first pass (extrema and mean) runs while
// lines are stored, the second (1024-bin histogram and moments about the mean) over the stored
// lines, and finalisation turns the sums into the figures the HDR scaling reads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sbuffTypes.h"

/// Zeroes a band's record, with low = 1e37, high = -1e37 and the band index set.
void INIT_BAND_STATS(bandStats* rec, int band);
/// Zeroes the histogram and the descaling table of a gun's block; its scaling parameters stay.
void resetScalBlk(bandScalBlk* blk);

/// First pass over n samples: non-finite samples become 0.0 in the line itself, then the sum
/// and the extrema are accumulated and the mean updated.
void P1_ACCUM_FSTATS(float* samples, bandStats* rec, std::size_t n);
/// Second pass over n samples: histogram bin of each sample between the first pass's extrema,
/// and the sums of deviations from its mean. A sample outside the extrema is counted in bin 0.
void P2_ACCUM_FSTATS(float* samples, bandScalBlk* blk, bandStats* rec, std::size_t n);
/// Deviation, skew, kurtosis, median and mode from the sums (once; sets finalised).
void FINISH_FSTATS(bandScalBlk* blk, bandStats* rec);
/// Median and mode from the histogram; bin sums become bin means.
void HIST_MEDIAN_MODE(bandScalBlk* blk, bandStats* rec);

/// Figures written by COLLATE_HIST, in this order.
enum : int {
    COLL_LOW,
    COLL_HIGH,
    COLL_MEAN,
    COLL_MEDIAN,
    COLL_MODE,
    COLL_MEAN_ABS_DEV,
    COLL_STDDEV,
    COLL_SKEW,
    COLL_KURTOSIS,
    COLL_N,
    COLL_MODE_COUNT,
    COLL_FIGURES
};
/// Summarises an integer histogram of n bins into out[COLL_FIGURES]. Returns 0, or -1 (with a
/// message, out unchanged) when it holds fewer than 256 counts.
int COLLATE_HIST(const int32u* hist, double* out, int n);

/// Samples the second pass could not bin since the last reset.
std::uint64_t histCorruptCount();
void resetHistCorrupt();
