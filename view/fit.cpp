#include "fit.h"

#include <algorithm>
#include <new>

#include "bTransl.h"

bool FIT_INIT_IMG(bool keepColumn)
{
    const translState& t = curTransl;
    if (t.cols > t.viewW || t.rows > t.viewH)
        return false;
    // A buffer that fits is shown whole and unmagnified, so that what the user sees is the
    // buffer pixel for pixel.
    CENTRE_I_TRANSL(keepColumn);
    return true;
}

double globalViewFactor(int32 cols, int32 rows, int32 viewW, int32 viewH)
{
    if (cols <= 0 || rows <= 0)
        return 1.0;
    const double fx = cols > viewW ? double(viewW) / cols : 1.0;
    const double fy = rows > viewH ? double(viewH) / rows : 1.0;
    return std::min(fx, fy);
}

aoiRec globalViewBox(int32 cols, int32 rows, int32 viewW, int32 viewH)
{
    const double f = globalViewFactor(cols, rows, viewW, viewH);
    const int32 w = std::max(1, int32(cols * f)), h = std::max(1, int32(rows * f));
    const int32 x0 = (viewW - w) / 2, y0 = (viewH - h) / 2;
    return aoiRec{x0, y0, x0 + w - 1, y0 + h - 1};
}

globalReducer::globalReducer(int32 cols, int32 rows, int32 outCols, int32 outRows)
    : cols_(cols), rows_(rows), outCols_(outCols), outRows_(outRows)
{
    if (cols <= 0 || rows <= 0 || outCols <= 0 || outRows <= 0 || outCols > cols || outRows > rows)
        return;
    colStart_.reset(new (std::nothrow) int32[std::size_t(outCols) + 1]);
    if (!colStart_)
        return;
    for (int32 i = 0; i <= outCols; ++i)
        colStart_[std::size_t(i)] =
            int32(std::int64_t(i) * std::int64_t(cols) / std::int64_t(outCols));
    sums_.reset(new (std::nothrow) std::uint64_t[std::size_t(outCols) * 3]());
}

bool globalReducer::addRow(const int32u* row, int32u* out, int32* outRow)
{
    if (!ok() || inRow_ >= rows_ || outRow_ >= outRows_)
        return false;
    for (int32 i = 0; i < outCols_; ++i) {
        std::uint64_t* s = &sums_[std::size_t(i) * 3];
        for (int32 c = colStart_[std::size_t(i)]; c < colStart_[std::size_t(i) + 1]; ++c) {
            const int32u p = row[c];
            s[0] += p & 0xff;
            s[1] += (p >> 8) & 0xff;
            s[2] += (p >> 16) & 0xff;
        }
    }
    ++inRow_;
    ++rowsSummed_;
    // Output row j covers input rows [j x rows / outRows, (j + 1) x rows / outRows).
    const int32 rowEnd =
        int32(std::int64_t(outRow_ + 1) * std::int64_t(rows_) / std::int64_t(outRows_));
    if (inRow_ < rowEnd)
        return false;
    for (int32 i = 0; i < outCols_; ++i) {
        std::uint64_t* s = &sums_[std::size_t(i) * 3];
        const std::uint64_t n =
            std::uint64_t(colStart_[std::size_t(i) + 1] - colStart_[std::size_t(i)]) *
            std::uint64_t(rowsSummed_);
        int32u p = 0;
        for (int k = 0; k < 3; ++k) {
            p |= int32u((s[k] + n / 2) / n) << (8 * k);
            s[k] = 0;
        }
        out[i] = p;
    }
    *outRow = outRow_++;
    rowsSummed_ = 0;
    return true;
}
