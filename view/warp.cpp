#include "warp.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

int32 scaledDim(int32 n, double factor)
{
    return int32(std::trunc(double(n) * factor));
}

// Stand-in until the interpolating magnifiers and the area path arrive: whole-number
// magnification by replication, nothing else.
int32u* WARP(const int32u* pixels, int32* cols, int32* rows, const double scalef[2], int32 method,
             std::string* msg)
{
    (void)method;
    (void)msg;
    if (!pixels || !cols || !rows || *cols <= 0 || *rows <= 0)
        return nullptr;
    const int32 zx = int32(scalef[0]), zy = int32(scalef[1]);
    if (zx < 1 || zy < 1 || double(zx) != scalef[0] || double(zy) != scalef[1])
        return nullptr;
    const std::int64_t ow = std::int64_t(*cols) * zx, oh = std::int64_t(*rows) * zy;
    auto* out = static_cast<int32u*>(std::malloc(std::size_t(ow * oh) * 4u));
    if (!out)
        return nullptr;
    for (std::int64_t y = 0; y < oh; ++y)
        for (std::int64_t x = 0; x < ow; ++x)
            out[y * ow + x] =
                pixels[std::size_t(y / zy) * std::size_t(*cols) + std::size_t(x / zx)];
    *cols = int32(ow);
    *rows = int32(oh);
    return out;
}
