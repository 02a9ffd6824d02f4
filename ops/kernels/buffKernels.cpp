#include "buffKernels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

int32 joinedSize(int32 side, int32 cw, int32 ch, int32 ow, int32 oh, int32* jw, int32* jh)
{
    // A joined side must still be a buffer size.
    const auto fits = [](int32 a, int32 b) { return std::int64_t(a) + b <= INT32_MAX; };
    if ((side == JOIN_LEFT || side == JOIN_RIGHT) && ch == oh && !fits(cw, ow))
        return JOIN_NO_MEMORY;
    if ((side == JOIN_ABOVE || side == JOIN_BELOW) && cw == ow && !fits(ch, oh))
        return JOIN_NO_MEMORY;
    switch (side) {
    case JOIN_LEFT:
    case JOIN_RIGHT:
        if (ch != oh)
            return JOIN_HEIGHTS;
        *jw = cw + ow;
        *jh = ch;
        return JOIN_OK;
    case JOIN_ABOVE:
    case JOIN_BELOW:
        if (cw != ow)
            return JOIN_WIDTHS;
        *jw = cw;
        *jh = ch + oh;
        return JOIN_OK;
    default:
        return JOIN_BAD_OTHER;
    }
}

void joinBlocks(int32u* dst, const int32u* cur, int32 cw, int32 ch, const int32u* other, int32 ow,
                int32 oh, int32 side)
{
    const std::size_t cRow = std::size_t(cw) * 4, oRow = std::size_t(ow) * 4;
    switch (side) {
    case JOIN_LEFT:
    case JOIN_RIGHT: {
        const std::size_t jw = std::size_t(cw) + std::size_t(ow);
        const std::size_t at = side == JOIN_LEFT ? std::size_t(ow) : 0;
        const std::size_t otherAt = side == JOIN_LEFT ? 0 : std::size_t(cw);
        for (int32 y = 0; y < ch; ++y) {
            int32u* d = dst + std::size_t(y) * jw;
            std::memcpy(d + at, cur + std::size_t(y) * std::size_t(cw), cRow);
            std::memcpy(d + otherAt, other + std::size_t(y) * std::size_t(ow), oRow);
        }
        return;
    }
    case JOIN_ABOVE:
        std::memcpy(dst, other, std::size_t(oh) * oRow);
        std::memcpy(dst + std::size_t(oh) * std::size_t(ow), cur, std::size_t(ch) * cRow);
        return;
    case JOIN_BELOW:
        std::memcpy(dst, cur, std::size_t(ch) * cRow);
        std::memcpy(dst + std::size_t(ch) * std::size_t(cw), other, std::size_t(oh) * oRow);
        return;
    default:
        return;
    }
}

namespace {

int32 factorsInRange(double fx, double fy)
{
    const auto ok = [](double f) { return f >= 0.01 && f <= 16.0; };
    return ok(fx) && ok(fy) ? RSZ_OK : RSZ_RANGE;
}

} // namespace

int32 resizeByFactors(double fx, double fy, double* outX, double* outY)
{
    if (!std::isfinite(fx) || !std::isfinite(fy) || fx < 0 || fy < 0)
        return RSZ_INVALID;
    if (fy == 0)
        fy = fx;
    if (std::fabs(fx - 1.0) <= 0.01 && std::fabs(fy - 1.0) <= 0.01)
        return RSZ_UNCHANGED;
    *outX = fx;
    *outY = fy;
    return factorsInRange(fx, fy);
}

int32 resizeToSize(int32 cols, int32 rows, int32 w, int32 h, double* outX, double* outY)
{
    if ((cols < 1 && rows < 1) || w < 1 || h < 1)
        return RSZ_NOTHING;
    if (cols == w && rows == h)
        return RSZ_NOTHING;
    double fx = cols >= 1 ? double(cols) / w : 0.0;
    double fy = rows >= 1 ? double(rows) / h : 0.0;
    if (cols < 1)
        fx = fy;
    if (rows < 1)
        fy = fx;
    *outX = fx;
    *outY = fy;
    return factorsInRange(fx, fy);
}

bool parseRotAngle(std::string_view reply, double* degrees)
{
    const std::string s(reply);
    char* end = nullptr;
    double a = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(a))
        a = 0; // not a number: refused below like 0
    if (a < 0)
        a += 360.0;
    if (!(a > 0.0 && a < 360.0))
        return false;
    *degrees = a;
    return true;
}

int32 cropBoxCheck(int32 cols, int32 rows, int32 bufW, int32 bufH)
{
    if (cols < 8 || rows < 8)
        return BOX_TOO_SMALL;
    if (cols > bufW || rows > bufH)
        return BOX_EXCEEDS;
    return BOX_OK;
}

bool globalAreaToBuffer(const pixBox& area, const pixBox& g, double f, int32 bufW, int32 bufH,
                        pixBox* out)
{
    if (!(f > 0))
        return false;
    const int32 x0 = std::max(0, int32((area.x0 - g.x0) / f));
    const int32 y0 = std::max(0, int32((area.y0 - g.y0) / f));
    const int32 x1 = std::min(bufW - 1, int32((area.x1 - g.x0 + 1) / f) - 1);
    const int32 y1 = std::min(bufH - 1, int32((area.y1 - g.y0 + 1) / f) - 1);
    if (x1 < x0 || y1 < y0)
        return false;
    *out = pixBox{x0, y0, x1, y1};
    return true;
}

void swapRedBlue(int32u* px, std::size_t n)
{
    // The pixel operations' gun swap does the same; the two are to become one.
    for (std::size_t k = 0; k < n; ++k) {
        const int32u p = px[k];
        px[k] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
}

void shiftPlanes(int32u* px, int32 w, int32 h, int32u byteMask, int32 dx, int32 dy)
{
    if (w <= 0 || h <= 0 || byteMask == 0 || (dx == 0 && dy == 0))
        return;
    const int32u keep = ~byteMask;
    const auto at = [w](int32 x, int32 y) {
        return std::size_t(y) * std::size_t(w) + std::size_t(x);
    };
    // Walked away from the direction of the move, so each source is read before it is written.
    const int32 y0 = dy > 0 ? h - 1 : 0, y1 = dy > 0 ? -1 : h, sy = dy > 0 ? -1 : 1;
    const int32 x0 = dx > 0 ? w - 1 : 0, x1 = dx > 0 ? -1 : w, sx = dx > 0 ? -1 : 1;
    for (int32 y = y0; y != y1; y += sy) {
        const int32 fy = y - dy;
        for (int32 x = x0; x != x1; x += sx) {
            const int32 fx = x - dx;
            const int32u from =
                (fx >= 0 && fx < w && fy >= 0 && fy < h) ? px[at(fx, fy)] & byteMask : 0;
            int32u& p = px[at(x, y)];
            p = (p & keep) | from;
        }
    }
}

namespace {

int planeShift(int32 plane)
{
    return plane == 1 ? 16 : plane == 2 ? 8 : 0;
}

} // namespace

void alphaFromPlane(int32u* px, std::size_t n, int32 plane)
{
    const int s = planeShift(plane);
    for (std::size_t k = 0; k < n; ++k)
        px[k] = (px[k] & 0x00FFFFFFu) | (((px[k] >> s) & 0xFFu) << 24);
}

void alphaSwapPlane(int32u* px, std::size_t n, int32 plane)
{
    const int s = planeShift(plane);
    const int32u m = 0xFFu << s;
    for (std::size_t k = 0; k < n; ++k) {
        const int32u p = px[k];
        const int32u a = p >> 24, c = (p >> s) & 0xFFu;
        px[k] = (p & ~m & 0x00FFFFFFu) | (a << s) | (c << 24);
    }
}

void alphaBurnIn(int32u* px, std::size_t n, const charu lut[256])
{
    for (std::size_t k = 0; k < n; ++k) {
        const int32u p = px[k];
        const int32u a = lut[p >> 24];
        int32u out = 0;
        for (int s = 0; s < 24; s += 8)
            out |= ((((p >> s) & 0xFFu) * a + 127) / 255) << s;
        px[k] = out;
    }
}
