#include "fit.h"

#include <algorithm>

#include "bTransl.h"
#include "warp.h"

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
    const int32 w = std::max(1, scaledDim(cols, f)), h = std::max(1, scaledDim(rows, f));
    const int32 x0 = (viewW - w) / 2, y0 = (viewH - h) / 2;
    return aoiRec{x0, y0, x0 + w - 1, y0 + h - 1};
}
