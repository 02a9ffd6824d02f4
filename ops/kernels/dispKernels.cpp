#include "dispKernels.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

int32 shiftOrigin(int32 origin, int32 ref, int32 now, int32 zoom, int32 bufLen, int32* out)
{
    if (zoom < 1)
        zoom = 1;
    const std::int64_t n = std::int64_t(origin) + (std::int64_t(ref) - now) / zoom;
    if (n < 0 || n >= bufLen)
        return DISPK_OFF_SCREEN;
    *out = int32(n);
    return DISPK_OK;
}

int32 tileCheck(int32 bufW, int32 bufH, int32 viewW, int32 viewH)
{
    if (viewW <= 0 || viewH <= 0 || std::int64_t(bufW) < 2 * std::int64_t(viewW) ||
        std::int64_t(bufH) < 2 * std::int64_t(viewH))
        return DISPK_TOO_SMALL;
    return (bufW % viewW || bufH % viewH) ? DISPK_UNEVEN : DISPK_OK;
}

int32 tileCount(int32 bufLen, int32 view)
{
    return view > 0 ? int32((std::int64_t(bufLen) + view - 1) / view) : 0;
}

int32 tileOrigin(int32 k, int32 bufLen, int32 view)
{
    const std::int64_t o = std::int64_t(k) * view;
    return int32(std::max<std::int64_t>(0, std::min<std::int64_t>(o, bufLen - view)));
}

int32 tileNear(int32 origin, int32 bufLen, int32 view)
{
    const int32 n = tileCount(bufLen, view);
    int32 best = 0;
    for (int32 k = 1; k < n; ++k)
        if (std::abs(std::int64_t(tileOrigin(k, bufLen, view)) - origin) <
            std::abs(std::int64_t(tileOrigin(best, bufLen, view)) - origin))
            best = k;
    return best;
}

bool tileStep(int32 cx, int32 cy, int32 viewW, int32 viewH, int32 nx, int32 ny, int32* tx,
              int32* ty)
{
    const int32 ox = cx - viewW / 2, oy = cy - viewH / 2;
    if (ox == 0 && oy == 0)
        return false;
    int32 x = *tx, y = *ty;
    if (std::abs(ox) >= std::abs(oy))
        x += ox > 0 ? 1 : -1;
    else
        y += oy > 0 ? 1 : -1;
    x = std::clamp(x, 0, std::max(nx - 1, 0));
    y = std::clamp(y, 0, std::max(ny - 1, 0));
    if (x == *tx && y == *ty)
        return false;
    *tx = x;
    *ty = y;
    return true;
}

bool touchMatches(const touchKey& a, const touchKey& b)
{
    return a.bufNum == b.bufNum && a.generation == b.generation && a.width == b.width &&
           a.height == b.height && a.viewW == b.viewW && a.viewH == b.viewH;
}

void keepBytes(std::span<int32u> row, int32u mask)
{
    for (int32u& p : row)
        p &= mask;
}
