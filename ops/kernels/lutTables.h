// The transform tables of the LUT operations, each built from plain values: histograms in,
// 256-entry tables out. No view and no prompts, so every table can be checked by hand.
#pragma once

#include <span>

#include "lutKernels.h"
#include "tavtypes.h"

/// Histogram of one gun over an area: counts per level, their total and the lowest and highest
/// occupied levels (0 and -1 when empty).
struct gunHist {
    double count[256];
    double total;
    int32 lo, hi;
};

/// Table kernel status codes.
enum : int32 {
    LUTK_OK = 0,
    LUTK_EMPTY = -1, ///< the histogram holds no pixel: nothing to build from
    LUTK_ARG = -2    ///< an argument outside its range: nothing written
};

/// Clears three histograms.
void clearHists(gunHist h[3]);
/// Adds the red, green and blue levels of a row of iBUFF pixels to their histograms.
void histRows(std::span<const int32u> row, gunHist h[3]);
/// Sets total, lo and hi from the counts.
void finishHist(gunHist& h);

/// Identity table.
void identityLut(charu lut[256]);
/// True when the table is the identity.
bool isIdentityLut(const charu lut[256]);

/// Equalisation: lut[i] = floor(0.5 + float(c(i) x 255) / N), c the cumulative count.
/// LUTK_EMPTY (nothing written) when N is 0.
int32 equalizeLut(const double count[256], charu lut[256]);

/// Comb of n teeth (n a power of two, 2 to 128): period 256 / n, rising i x n (mod 255 past
/// 255), every other period falling. LUTK_ARG (nothing written) for any other n.
int32 combLut(int32 n, charu lut[256]);

/// Infometric kinds.
enum : int32 { INFO_ENTROPY = 0, INFO_ABS_REDUN = 1, INFO_REL_REDUN = 2 };
/// Information content of each level from its share of the histogram, kept to 0-255; empty
/// levels give 0. LUTK_EMPTY for an empty histogram, LUTK_ARG for an unknown kind.
int32 infometricLut(const gunHist& h, int32 kind, charu lut[256]);

/// lut[i] = 255 - lut[i].
void invertLut(charu lut[256]);
/// One cycling step. down: every entry takes its upper neighbour's value and the top entry
/// takes the old bottom one (rotate) or 0 (shift); up: the other way round.
void cycleLut(charu lut[256], bool down, bool rotate);

/// One point of a drawn enhancement line: a level and a height above the line's start.
struct rampPoint {
    int32 level, height;
};
/// The table a drawn line describes: its points (the first being the start) are walked from
/// left to right, each level from a segment's start up to its end taking the line's height
/// there (truncated); levels past the last point take its height. Heights are kept to
/// 0-255. Fewer than three points give the identity.
void rampLut(std::span<const rampPoint> pts, charu lut[256]);

/// Histogram matching: the table that makes a histogram (count) look like the desired
/// one (a table of heights). LUTK_EMPTY (nothing written) when either is empty.
int32 specifyLut(const double count[256], const charu desired[256], charu lut[256]);

/// Each count moves to the level the table sends it to.
void remapHist(gunHist& h, const charu lut[256]);
