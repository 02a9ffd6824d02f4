#include "aoiKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int shifts[3] = {16, 8, 0}; // red, green, blue

int chan(int32u p, int c)
{
    return int((p >> shifts[c]) & 0xFFu);
}

int32u withRgb(int32u p, const int v[3])
{
    return (p & 0xFF000000u) | (int32u(v[0]) << 16) | (int32u(v[1]) << 8) | int32u(v[2]);
}

int toByte(float v)
{
    const int i = int(v); // truncation, as the fill has always done
    return std::clamp(i, 0, 255);
}

// Interpolates n pixels spaced by `step` between the end pixels (exclusive), a running float
// sum per colour. out receives the n - 2 inner values.
void lerpLine(int32u first, int32u last, int32 n, int32u* p, std::ptrdiff_t step)
{
    float v[3], d[3];
    for (int c = 0; c < 3; ++c) {
        v[c] = float(chan(first, c));
        d[c] = float(chan(last, c) - chan(first, c)) / float(n - 1);
    }
    for (int32 k = 1; k < n - 1; ++k) {
        int o[3];
        for (int c = 0; c < 3; ++c) {
            v[c] += d[c];
            o[c] = toByte(v[c]);
        }
        int32u* q = p + std::ptrdiff_t(k) * step;
        *q = withRgb(*q, o);
    }
}

void fillRowsX(const pixArea& a, int32 yFrom, int32 yTo)
{
    for (int32 y = yFrom; y <= yTo; ++y) {
        int32u* r = a.row(y);
        lerpLine(r[0], r[a.w - 1], a.w, r, 1);
    }
}

// Y fill of the rows between the top and bottom edges, all columns at once: each column's
// running sums advance one row at a time, so the pass reads memory in row order.
void fillColumnsY(const pixArea& a, int32 xFrom, int32 xTo, const pixArea* avgWith)
{
    const int32 n = xTo - xFrom + 1;
    std::vector<float> v(std::size_t(n) * 3), d(std::size_t(n) * 3);
    const int32u* top = a.row(0);
    const int32u* bot = a.row(a.h - 1);
    for (int32 i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            v[std::size_t(i) * 3 + c] = float(chan(top[xFrom + i], c));
            d[std::size_t(i) * 3 + c] =
                float(chan(bot[xFrom + i], c) - chan(top[xFrom + i], c)) / float(a.h - 1);
        }
    for (int32 y = 1; y < a.h - 1; ++y) {
        int32u* r = a.row(y) + xFrom;
        for (int32 i = 0; i < n; ++i) {
            int o[3];
            for (int c = 0; c < 3; ++c) {
                float& s = v[std::size_t(i) * 3 + c];
                s += d[std::size_t(i) * 3 + c];
                o[c] = toByte(s);
            }
            if (avgWith)
                for (int c = 0; c < 3; ++c)
                    o[c] = (o[c] + chan(r[i], c) + 1) / 2;
            r[i] = withRgb(r[i], o);
        }
    }
}

void fillCorners(const pixArea& a)
{
    if (a.w < 3 || a.h < 3)
        return;
    fillRowsX(a, 0, a.h - 1);
    fillColumnsY(a, 0, a.w - 1, nullptr);
}

void fillSegments(const pixArea& a, int32 step)
{
    for (int32 oy = 0; oy < a.h; oy += step)
        for (int32 ox = 0; ox < a.w; ox += step) {
            const pixArea s{a.row(oy) + ox, std::min<int32>(64, a.w - ox),
                            std::min<int32>(64, a.h - oy), a.stride};
            fillCorners(s);
        }
}

} // namespace

bool fillArea(const pixArea& a, int32 mode)
{
    const bool small = a.w < 3 || a.h < 3;
    switch (mode) {
    case FILL_Y:
        if (!small)
            fillColumnsY(a, 0, a.w - 1, nullptr);
        return true;
    case FILL_X:
        if (!small)
            fillRowsX(a, 0, a.h - 1);
        return true;
    case FILL_XY:
        if (!small) {
            fillRowsX(a, 1, a.h - 2);
            fillColumnsY(a, 1, a.w - 2, &a);
        }
        return true;
    case FILL_CORNERS:
        fillCorners(a);
        return true;
    case FILL_SEGSOFT:
        fillSegments(a, 63);
        return true;
    case FILL_SEGHARD:
        fillSegments(a, 64);
        return true;
    default:
        return false;
    }
}

void mirrorArea(const pixArea& a)
{
    for (int32 y = 0; y < a.h; ++y)
        std::reverse(a.row(y), a.row(y) + a.w);
}

void flipArea(const pixArea& a)
{
    for (int32 y = 0, z = a.h - 1; y < z; ++y, --z)
        std::swap_ranges(a.row(y), a.row(y) + a.w, a.row(z));
}

bool rotateRight(const pixArea& src, const pixArea& dst, int32 degrees)
{
    if (degrees == 180) {
        if (dst.w != src.w || dst.h != src.h)
            return false;
        for (int32 y = 0; y < src.h; ++y) {
            const int32u* s = src.row(src.h - 1 - y) + src.w;
            int32u* d = dst.row(y);
            for (int32 x = 0; x < src.w; ++x)
                d[x] = *--s;
        }
        return true;
    }
    if ((degrees != 90 && degrees != 270) || dst.w != src.h || dst.h != src.w)
        return false;
    // Blocks of 32 x 32 keep both the reads and the writes within a few cache lines.
    constexpr int32 B = 32;
    for (int32 by = 0; by < dst.h; by += B)
        for (int32 bx = 0; bx < dst.w; bx += B) {
            const int32 ey = std::min(by + B, dst.h), ex = std::min(bx + B, dst.w);
            for (int32 y = by; y < ey; ++y) {
                int32u* d = dst.row(y);
                if (degrees == 90) // out(x, y) = in(h - 1 - x, y)
                    for (int32 x = bx; x < ex; ++x)
                        d[x] = src.row(src.h - 1 - x)[y];
                else // out(x, y) = in(x, w - 1 - y)
                    for (int32 x = bx; x < ex; ++x)
                        d[x] = src.row(x)[src.w - 1 - y];
            }
        }
    return true;
}

void rotatedSize(int32 w, int32 h, double degrees, int32* ow, int32* oh)
{
    const double r = degrees * M_PI / 180.0;
    const double c = std::fabs(std::cos(r)), s = std::fabs(std::sin(r));
    // A hair of slack keeps exact quarter turns from gaining a pixel by rounding.
    *ow = std::max<int32>(1, int32(std::ceil(w * c + h * s - 1e-6)));
    *oh = std::max<int32>(1, int32(std::ceil(w * s + h * c - 1e-6)));
}

void rotateAny(const pixArea& src, const pixArea& dst, double degrees, bool antiAlias)
{
    double deg = std::fmod(degrees, 360.0);
    if (deg < 0)
        deg += 360.0;
    if (!antiAlias && (deg == 90.0 || deg == 180.0 || deg == 270.0) &&
        rotateRight(src, dst, int32(deg)))
        return;
    const double r = deg * M_PI / 180.0;
    const double cs = std::cos(r), sn = std::sin(r);
    const double cx = (src.w - 1) / 2.0, cy = (src.h - 1) / 2.0;
    const double dx0 = (dst.w - 1) / 2.0, dy0 = (dst.h - 1) / 2.0;
    for (int32 y = 0; y < dst.h; ++y) {
        int32u* d = dst.row(y);
        const double ry = y - dy0;
        // Inverse of the clockwise turn: the source of (x, y) steps by (cos, -sin) along the row.
        double sx = cx + (0 - dx0) * cs + ry * sn;
        double sy = cy - (0 - dx0) * sn + ry * cs;
        for (int32 x = 0; x < dst.w; ++x, sx += cs, sy -= sn) {
            if (!antiAlias) {
                const double fx = std::floor(sx + 0.5), fy = std::floor(sy + 0.5);
                if (fx < 0 || fy < 0 || fx >= src.w || fy >= src.h) {
                    d[x] = 0;
                    continue;
                }
                d[x] = src.row(int32(fy))[int32(fx)];
                continue;
            }
            if (sx < -0.5 || sy < -0.5 || sx > src.w - 0.5 || sy > src.h - 0.5) {
                d[x] = 0;
                continue;
            }
            const double px = std::clamp(sx, 0.0, double(src.w - 1));
            const double py = std::clamp(sy, 0.0, double(src.h - 1));
            const int32 x0 = int32(px), y0 = int32(py);
            const int32 x1 = std::min(x0 + 1, src.w - 1), y1 = std::min(y0 + 1, src.h - 1);
            const float u = float(px - x0), v = float(py - y0);
            const int32u a = src.row(y0)[x0], b = src.row(y0)[x1];
            const int32u c = src.row(y1)[x0], e = src.row(y1)[x1];
            int o[3];
            for (int k = 0; k < 3; ++k) {
                const float top = float(chan(a, k)) + u * float(chan(b, k) - chan(a, k));
                const float bot = float(chan(c, k)) + u * float(chan(e, k) - chan(c, k));
                o[k] = std::clamp(int(top + v * (bot - top) + 0.5f), 0, 255);
            }
            d[x] = withRgb(a, o);
        }
    }
}

int32 snapCoord(int32 c, int32 s)
{
    return s > 1 ? s * ((c + s / 2) / s) : c;
}

pixBox placeInBox(int32 x, int32 y, int32 w, int32 h, const pixBox& box)
{
    w = std::min(w, box.x1 - box.x0 + 1);
    h = std::min(h, box.y1 - box.y0 + 1);
    x = std::clamp(x, box.x0, box.x1 - w + 1);
    y = std::clamp(y, box.y0, box.y1 - h + 1);
    return pixBox{x, y, x + w - 1, y + h - 1};
}

bool insideBox(const pixBox& r, const pixBox& box)
{
    return r.x0 >= box.x0 && r.y0 >= box.y0 && r.x1 <= box.x1 && r.y1 <= box.y1;
}

bool adjoiningTile(const pixBox& r, int32 px, int32 py, pixBox* out)
{
    const int32 dx = px < r.x0 ? -1 : px > r.x1 ? 1 : 0;
    const int32 dy = py < r.y0 ? -1 : py > r.y1 ? 1 : 0;
    if (!dx && !dy)
        return false;
    const int32 w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
    *out = pixBox{r.x0 + dx * w, r.y0 + dy * h, r.x1 + dx * w, r.y1 + dy * h};
    return true;
}

void compositeArea(const pixArea& view, int32 zoom, const pixArea& buf, int32u gunMask)
{
    const int32 z = std::max(zoom, 1);
    const int32 bw = std::min(buf.w, view.w / z), bh = std::min(buf.h, view.h / z);
    const int32u keep = ~gunMask;
    if (z == 1) {
        for (int32 y = 0; y < bh; ++y) {
            const int32u* s = view.row(y);
            int32u* d = buf.row(y);
            for (int32 x = 0; x < bw; ++x)
                d[x] = (d[x] & keep) | (s[x] & gunMask);
        }
        return;
    }
    const int32u n = int32u(z) * int32u(z);
    std::vector<int32u> sums(std::size_t(bw) * 4);
    for (int32 y = 0; y < bh; ++y) {
        std::fill(sums.begin(), sums.end(), 0u);
        for (int32 k = 0; k < z; ++k) {
            const int32u* s = view.row(y * z + k);
            for (int32 x = 0; x < bw * z; ++x)
                for (int b = 0; b < 4; ++b)
                    sums[std::size_t(x / z) * 4 + b] += (s[x] >> (8 * b)) & 0xFFu;
        }
        int32u* d = buf.row(y);
        for (int32 x = 0; x < bw; ++x) {
            int32u p = 0;
            for (int b = 0; b < 4; ++b)
                p |= ((sums[std::size_t(x) * 4 + b] + n / 2) / n) << (8 * b);
            d[x] = (d[x] & keep) | (p & gunMask);
        }
    }
}

void watermarkRow(std::span<int32u> dst, std::span<const int32u> acc, int32u gunMask)
{
    const std::size_t n = std::min(dst.size(), acc.size());
    for (std::size_t i = 0; i < n; ++i) {
        int32u p = 0;
        for (int b = 0; b < 4; ++b) {
            const int32u v = (dst[i] >> (8 * b)) & 0xFFu, a = (acc[i] >> (8 * b)) & 0xFFu;
            p |= ((3 * v + a) / 4) << (8 * b);
        }
        dst[i] = (dst[i] & ~gunMask) | (p & gunMask);
    }
}

void alphaFromPlanes(std::span<int32u> row, int32 planeBits)
{
    int32 n = 0;
    for (int c = 0; c < 3; ++c)
        n += (planeBits >> c) & 1;
    if (!n)
        return;
    for (int32u& p : row) {
        int32 s = 0;
        for (int c = 0; c < 3; ++c)
            if (planeBits & (1 << c))
                s += chan(p, c);
        p = (p & 0x00FFFFFFu) | (int32u(s / n) << 24);
    }
}
