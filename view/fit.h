// Laying a buffer out in the view: the fit rules for a buffer that fits, and the global view,
// the whole buffer reduced by area averaging to fit a view it is larger than. Pure.
#pragma once

#include <cstdint>
#include <memory>

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Lays out a buffer that fits the view (columns <= view width and rows <= view height):
/// centred at zoom 1, the ancillary column kept free when keepColumn and there is room; the
/// BG AOI equals the FG AOI. False (nothing changed) for a buffer larger than the view.
bool FIT_INIT_IMG(bool keepColumn);

/// Global-view factor: min(view width / columns, view height / rows), a ratio taken as 1.0
/// on an axis where the buffer fits.
double globalViewFactor(int32 cols, int32 rows, int32 viewW, int32 viewH);

/// The global image box in the view: trunc(columns x f) by trunc(rows x f), centred.
aoiRec globalViewBox(int32 cols, int32 rows, int32 viewW, int32 viewH);

/// Reduces rows of 32-bit pixels by area averaging from cols x rows to outCols x outRows
/// (each at most the input): every output pixel is the rounded mean of the input block it
/// covers, per colour byte; the alpha byte is 0. One row accumulator, fed row by row.
class globalReducer {
public:
    globalReducer(int32 cols, int32 rows, int32 outCols, int32 outRows);
    /// False when the sizes are unusable or the accumulator could not be allocated.
    bool ok() const { return sums_ != nullptr; }
    /// Takes the next input row; true when it completed output row *outRow, written to out.
    bool addRow(const int32u* row, int32u* out, int32* outRow);

private:
    int32 cols_, rows_, outCols_, outRows_;
    int32 inRow_ = 0, outRow_ = 0, rowsSummed_ = 0;
    std::unique_ptr<std::uint64_t[]> sums_; ///< three colour sums per output column
    std::unique_ptr<int32[]> colStart_;     ///< first input column of each output column + end
};
