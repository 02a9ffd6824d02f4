#include "quant.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "diag.h"

namespace {

// Histogram precision: 5 bits of red, 6 of green, 5 of blue. Green gets the extra bit
// because the eye separates greens best.
constexpr int R_BITS = 5, G_BITS = 6, B_BITS = 5;
constexpr int R_CELLS = 1 << R_BITS, G_CELLS = 1 << G_BITS, B_CELLS = 1 << B_BITS;
constexpr int R_SHIFT = 8 - R_BITS, G_SHIFT = 8 - G_BITS, B_SHIFT = 8 - B_BITS;
// Weights of the colour differences in every distance: red 2, green 3, blue 1.
constexpr int R_SCALE = 2, G_SCALE = 3, B_SCALE = 1;
constexpr int MAX_COLOURS = 256;
// Inverse-map blocks: 4 x 8 x 4 cells share one candidate list.
constexpr int BOX_R_LOG = R_BITS - 3, BOX_G_LOG = G_BITS - 3, BOX_B_LOG = B_BITS - 3;
constexpr int BOX_R = 1 << BOX_R_LOG, BOX_G = 1 << BOX_G_LOG, BOX_B = 1 << BOX_B_LOG;

using histCell = std::uint16_t;

inline std::size_t cellOf(int r, int g, int b)
{
    return (std::size_t(r) * G_CELLS + std::size_t(g)) * B_CELLS + std::size_t(b);
}

struct box {
    int r0, r1, g0, g1, b0, b1;
    std::int64_t volume; ///< sum of the squared weighted spans
    std::int64_t count;  ///< pixels inside
};

// Shrinks a box to its occupied cells and recomputes its volume and pixel count.
void updateBox(const histCell* hist, box& bx)
{
    auto occupied = [&](int r0, int r1, int g0, int g1, int b0, int b1) {
        for (int r = r0; r <= r1; ++r)
            for (int g = g0; g <= g1; ++g) {
                const histCell* p = hist + cellOf(r, g, b0);
                for (int b = b0; b <= b1; ++b)
                    if (*p++)
                        return true;
            }
        return false;
    };
    while (bx.r0 < bx.r1 && !occupied(bx.r0, bx.r0, bx.g0, bx.g1, bx.b0, bx.b1))
        ++bx.r0;
    while (bx.r1 > bx.r0 && !occupied(bx.r1, bx.r1, bx.g0, bx.g1, bx.b0, bx.b1))
        --bx.r1;
    while (bx.g0 < bx.g1 && !occupied(bx.r0, bx.r1, bx.g0, bx.g0, bx.b0, bx.b1))
        ++bx.g0;
    while (bx.g1 > bx.g0 && !occupied(bx.r0, bx.r1, bx.g1, bx.g1, bx.b0, bx.b1))
        --bx.g1;
    while (bx.b0 < bx.b1 && !occupied(bx.r0, bx.r1, bx.g0, bx.g1, bx.b0, bx.b0))
        ++bx.b0;
    while (bx.b1 > bx.b0 && !occupied(bx.r0, bx.r1, bx.g0, bx.g1, bx.b1, bx.b1))
        --bx.b1;
    const std::int64_t dr = std::int64_t(bx.r1 - bx.r0) * (1 << R_SHIFT) * R_SCALE;
    const std::int64_t dg = std::int64_t(bx.g1 - bx.g0) * (1 << G_SHIFT) * G_SCALE;
    const std::int64_t db = std::int64_t(bx.b1 - bx.b0) * (1 << B_SHIFT) * B_SCALE;
    bx.volume = dr * dr + dg * dg + db * db;
    std::int64_t n = 0;
    for (int r = bx.r0; r <= bx.r1; ++r)
        for (int g = bx.g0; g <= bx.g1; ++g) {
            const histCell* p = hist + cellOf(r, g, bx.b0);
            for (int b = bx.b0; b <= bx.b1; ++b)
                n += *p++;
        }
    bx.count = n;
}

int medianCut(const histCell* hist, std::vector<box>& boxes)
{
    boxes.clear();
    boxes.push_back(box{0, R_CELLS - 1, 0, G_CELLS - 1, 0, B_CELLS - 1, 0, 0});
    updateBox(hist, boxes[0]);
    while (int(boxes.size()) < MAX_COLOURS) {
        // Populous boxes first while few exist, then the largest, so that sparse extremes
        // still get colours of their own.
        int pick = -1;
        std::int64_t best = 0;
        const bool byCount = int(boxes.size()) * 2 <= MAX_COLOURS;
        for (int i = 0; i < int(boxes.size()); ++i) {
            const box& bx = boxes[std::size_t(i)];
            if (byCount) {
                if (bx.count > best && bx.volume > 0) {
                    best = bx.count;
                    pick = i;
                }
            } else if (bx.volume > best) {
                best = bx.volume;
                pick = i;
            }
        }
        if (pick < 0)
            break;
        box b1 = boxes[std::size_t(pick)];
        box b2 = b1;
        const int lr = (b1.r1 - b1.r0) * (1 << R_SHIFT) * R_SCALE;
        const int lg = (b1.g1 - b1.g0) * (1 << G_SHIFT) * G_SCALE;
        const int lb = (b1.b1 - b1.b0) * (1 << B_SHIFT) * B_SCALE;
        int axis = 1, longest = lg;
        if (lr > longest) {
            longest = lr;
            axis = 0;
        }
        if (lb > longest)
            axis = 2;
        switch (axis) {
        case 0: {
            const int mid = (b1.r0 + b1.r1) / 2;
            b1.r1 = mid;
            b2.r0 = mid + 1;
            break;
        }
        case 1: {
            const int mid = (b1.g0 + b1.g1) / 2;
            b1.g1 = mid;
            b2.g0 = mid + 1;
            break;
        }
        default: {
            const int mid = (b1.b0 + b1.b1) / 2;
            b1.b1 = mid;
            b2.b0 = mid + 1;
            break;
        }
        }
        updateBox(hist, b1);
        updateBox(hist, b2);
        boxes[std::size_t(pick)] = b1;
        boxes.push_back(b2);
    }
    return int(boxes.size());
}

// Count-weighted mean of the cell centres, rounded to nearest.
void boxColour(const histCell* hist, const box& bx, charu& r, charu& g, charu& b)
{
    std::int64_t total = 0, rs = 0, gs = 0, bs = 0;
    for (int ri = bx.r0; ri <= bx.r1; ++ri)
        for (int gi = bx.g0; gi <= bx.g1; ++gi) {
            const histCell* p = hist + cellOf(ri, gi, bx.b0);
            for (int bi = bx.b0; bi <= bx.b1; ++bi) {
                const std::int64_t n = *p++;
                if (!n)
                    continue;
                total += n;
                rs += ((ri << R_SHIFT) + (1 << R_SHIFT) / 2) * n;
                gs += ((gi << G_SHIFT) + (1 << G_SHIFT) / 2) * n;
                bs += ((bi << B_SHIFT) + (1 << B_SHIFT) / 2) * n;
            }
        }
    if (!total) {
        r = g = b = 0;
        return;
    }
    r = charu((rs + total / 2) / total);
    g = charu((gs + total / 2) / total);
    b = charu((bs + total / 2) / total);
}

// Distance range from a value range [lo, hi] to one colour value, weighted.
inline void axisRange(int x, int lo, int hi, int scale, std::int64_t& mn, std::int64_t& mx)
{
    if (x < lo) {
        const std::int64_t a = std::int64_t(x - lo) * scale, c = std::int64_t(x - hi) * scale;
        mn += a * a;
        mx += c * c;
    } else if (x > hi) {
        const std::int64_t a = std::int64_t(x - hi) * scale, c = std::int64_t(x - lo) * scale;
        mn += a * a;
        mx += c * c;
    } else {
        const std::int64_t a = std::int64_t(x - lo) * scale, c = std::int64_t(hi - x) * scale;
        mx += std::max(a * a, c * c);
    }
}

// The inverse map in the histogram cells (index + 1, 0 unknown), one block of cells at a time:
// only the colours that could be nearest to some cell of the block are tried on its cells.
class inverseMap {
public:
    inverseMap(histCell* hist, const charu* rm, const charu* gm, const charu* bm, int n)
        : hist_(hist), rm_(rm), gm_(gm), bm_(bm), n_(n)
    {
    }

    void fill(int rCell, int gCell, int bCell)
    {
        const int br = rCell & ~(BOX_R - 1), bg = gCell & ~(BOX_G - 1), bb = bCell & ~(BOX_B - 1);
        // Value ranges covered by the block's cell centres.
        const int rlo = (br << R_SHIFT) + (1 << R_SHIFT) / 2, rhi = rlo + ((BOX_R - 1) << R_SHIFT);
        const int glo = (bg << G_SHIFT) + (1 << G_SHIFT) / 2, ghi = glo + ((BOX_G - 1) << G_SHIFT);
        const int blo = (bb << B_SHIFT) + (1 << B_SHIFT) / 2, bhi = blo + ((BOX_B - 1) << B_SHIFT);
        std::int64_t mind[MAX_COLOURS];
        std::int64_t minmax = INT64_MAX;
        for (int i = 0; i < n_; ++i) {
            std::int64_t mn = 0, mx = 0;
            axisRange(rm_[i], rlo, rhi, R_SCALE, mn, mx);
            axisRange(gm_[i], glo, ghi, G_SCALE, mn, mx);
            axisRange(bm_[i], blo, bhi, B_SCALE, mn, mx);
            mind[i] = mn;
            minmax = std::min(minmax, mx);
        }
        int cand[MAX_COLOURS];
        int nc = 0;
        for (int i = 0; i < n_; ++i)
            if (mind[i] <= minmax)
                cand[nc++] = i;
        for (int ri = 0; ri < BOX_R; ++ri) {
            const int rv = rlo + (ri << R_SHIFT);
            for (int gi = 0; gi < BOX_G; ++gi) {
                const int gv = glo + (gi << G_SHIFT);
                histCell* p = hist_ + cellOf(br + ri, bg + gi, bb);
                for (int bi = 0; bi < BOX_B; ++bi) {
                    const int bv = blo + (bi << B_SHIFT);
                    int bestI = cand[0];
                    int bestD = INT32_MAX;
                    for (int k = 0; k < nc; ++k) {
                        const int i = cand[k];
                        const int dr = (rv - rm_[i]) * R_SCALE, dg = (gv - gm_[i]) * G_SCALE,
                                  db = (bv - bm_[i]) * B_SCALE;
                        const int d = dr * dr + dg * dg + db * db;
                        if (d < bestD) {
                            bestD = d;
                            bestI = i;
                        }
                    }
                    p[bi] = histCell(bestI + 1);
                }
            }
        }
    }

private:
    histCell* hist_;
    const charu *rm_, *gm_, *bm_;
    int n_;
};

// Error brought to a pixel, limited so that large errors cannot smear across edges.
struct errorLimit {
    int t[511];
    errorLimit()
    {
        for (int e = 0; e <= 255; ++e) {
            const int v = e < 16 ? e : e < 48 ? 16 + (e - 16) / 2 : 32;
            t[255 + e] = v;
            t[255 - e] = -v;
        }
    }
    int operator()(int e) const { return t[255 + std::clamp(e, -255, 255)]; }
};

// Unused map entries repeat the first colour, so that the GIF writer's compaction folds them
// away instead of counting black as one more colour.
void padMap(int n, charu* rmap, charu* gmap, charu* bmap)
{
    for (int i = n; i < MAX_COLOURS && n > 0; ++i) {
        rmap[i] = rmap[0];
        gmap[i] = gmap[0];
        bmap[i] = bmap[0];
    }
}

inline int clamp255(int v)
{
    return v < 0 ? 0 : v > 255 ? 255 : v;
}

} // namespace

int32 Slow_quant(const charu* pic24, int32 w, int32 h, charu* pic8, charu rmap[256],
                 charu gmap[256], charu bmap[256])
{
    if (w <= 0 || h <= 0)
        return QUANT_SIZE;
    const std::size_t cols = std::size_t(w), rows = std::size_t(h);
    std::unique_ptr<histCell[]> hist(new (std::nothrow)
                                         histCell[std::size_t(R_CELLS) * G_CELLS * B_CELLS]());
    std::unique_ptr<int[]> errs(new (std::nothrow) int[(cols + 2) * 3]());
    if (!hist || !errs) {
        DIAG("\n***wrgif():Slow_quant():alloc fail");
        return QUANT_NO_MEM;
    }
    histCell* hp = hist.get();
    const std::size_t n = cols * rows;
    for (std::size_t i = 0; i < n; ++i) {
        const charu* p = pic24 + 3 * i;
        histCell& c = hp[cellOf(p[0] >> R_SHIFT, p[1] >> G_SHIFT, p[2] >> B_SHIFT)];
        if (c != 0xffff)
            ++c;
    }
    std::vector<box> boxes;
    boxes.reserve(MAX_COLOURS);
    const int nColours = medianCut(hp, boxes);
    std::memset(rmap, 0, 256);
    std::memset(gmap, 0, 256);
    std::memset(bmap, 0, 256);
    for (int i = 0; i < nColours; ++i)
        boxColour(hp, boxes[std::size_t(i)], rmap[i], gmap[i], bmap[i]);
    padMap(nColours, rmap, gmap, bmap);

    // The histogram becomes the inverse map.
    std::memset(hp, 0, sizeof(histCell) * std::size_t(R_CELLS) * G_CELLS * B_CELLS);
    inverseMap inv(hp, rmap, gmap, bmap, nColours);
    static const errorLimit limit;
    int* e = errs.get();
    for (std::size_t y = 0; y < rows; ++y) {
        const bool back = y & 1;
        const std::ptrdiff_t dir = back ? -1 : 1;
        std::ptrdiff_t x = back ? std::ptrdiff_t(cols) - 1 : 0;
        const charu* in = pic24 + (y * cols + std::size_t(x)) * 3;
        charu* out = pic8 + y * cols + std::size_t(x);
        // Errors of the row below in sixteenths; slot x + 1 belongs to column x.
        int* slot = e + (x + 1) * 3;
        const std::ptrdiff_t d3 = dir * 3;
        int cur[3] = {0, 0, 0}, below[3] = {0, 0, 0}, prevBelow[3] = {0, 0, 0};
        for (std::size_t k = 0; k < cols; ++k) {
            int v[3];
            for (int c = 0; c < 3; ++c) {
                const int acc = (cur[c] + slot[c] + 8) >> 4;
                v[c] = clamp255(in[c] + limit(acc));
            }
            histCell& cell = hp[cellOf(v[0] >> R_SHIFT, v[1] >> G_SHIFT, v[2] >> B_SHIFT)];
            if (!cell)
                inv.fill(v[0] >> R_SHIFT, v[1] >> G_SHIFT, v[2] >> B_SHIFT);
            const int idx = cell - 1;
            *out = charu(idx);
            const int q[3] = {rmap[idx], gmap[idx], bmap[idx]};
            for (int c = 0; c < 3; ++c) {
                const int err = v[c] - q[c];
                // 3/16 behind-below, 5/16 below, 1/16 ahead-below, 7/16 ahead.
                slot[c - d3] = prevBelow[c] + 3 * err;
                prevBelow[c] = below[c] + 5 * err;
                below[c] = err;
                cur[c] = 7 * err;
            }
            in += d3;
            out += dir;
            slot += d3;
        }
        for (int c = 0; c < 3; ++c)
            slot[c - d3] = prevBelow[c];
    }
    return QUANT_OK;
}

int32 exactColourMap(const charu* pic24, std::size_t n, charu* pic8, charu rmap[256],
                     charu gmap[256], charu bmap[256], int* ncolours)
{
    int32u colours[MAX_COLOURS + 1];
    int nc = 0;
    // Neighbouring pixels usually share a colour: remember the last one.
    int32u last = 0xffffffffu;
    int lastIdx = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const charu* p = pic24 + 3 * i;
        const int32u c = (int32u(p[0]) << 16) | (int32u(p[1]) << 8) | p[2];
        if (c == last)
            continue;
        last = c;
        const int32u* at = std::lower_bound(colours, colours + nc, c);
        lastIdx = int(at - colours);
        if (at == colours + nc || *at != c) {
            if (nc == MAX_COLOURS)
                return 1;
            std::memmove(colours + lastIdx + 1, colours + lastIdx,
                         std::size_t(nc - lastIdx) * sizeof(int32u));
            colours[lastIdx] = c;
            ++nc;
        }
    }
    std::memset(rmap, 0, 256);
    std::memset(gmap, 0, 256);
    std::memset(bmap, 0, 256);
    for (int i = 0; i < nc; ++i) {
        rmap[i] = charu(colours[i] >> 16);
        gmap[i] = charu(colours[i] >> 8);
        bmap[i] = charu(colours[i]);
    }
    padMap(nc, rmap, gmap, bmap);
    last = 0xffffffffu;
    for (std::size_t i = 0; i < n; ++i) {
        const charu* p = pic24 + 3 * i;
        const int32u c = (int32u(p[0]) << 16) | (int32u(p[1]) << 8) | p[2];
        if (c != last) {
            last = c;
            lastIdx = int(std::lower_bound(colours, colours + nc, c) - colours);
        }
        pic8[i] = charu(lastIdx);
    }
    *ncolours = nc;
    return QUANT_OK;
}

int32 Conv24to8(const charu* pic24, int32 w, int32 h, charu** pic8, charu rmap[256],
                charu gmap[256], charu bmap[256])
{
    *pic8 = nullptr;
    if (w <= 0 || h <= 0)
        return QUANT_SIZE;
    const std::uint64_t n = std::uint64_t(w) * std::uint64_t(h);
    if (n > SIZE_MAX / 3)
        return QUANT_SIZE;
    charu* out = static_cast<charu*>(std::malloc(std::size_t(n)));
    if (!out) {
        DIAG("***wrgif():Conv24to8():'pic8' alloc fail");
        return QUANT_NO_MEM;
    }
    int nc = 0;
    if (exactColourMap(pic24, std::size_t(n), out, rmap, gmap, bmap, &nc) == QUANT_OK) {
        *pic8 = out;
        return QUANT_OK;
    }
    const int32 rc = Slow_quant(pic24, w, h, out, rmap, gmap, bmap);
    if (rc != QUANT_OK) {
        std::free(out);
        return rc;
    }
    *pic8 = out;
    return QUANT_OK;
}
