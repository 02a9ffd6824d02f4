#include "fractalKernels.h"

#include <algorithm>
#include <cstring>

#include "lexical.h"
#include "vectorClones.h"

namespace {

const fractalArea defaultAreas[FRACT_TYPES] = {
    {-2.2, -1.5, 1.2, 1.5}, {-2.0, -1.3, 2.0, 1.3}, {-1.8, -1.7, 1.3, 1.7}, {-1.7, -1.2, 1.9, 1.3},
    {-2.5, -1.2, 1.5, 1.2}, {-2.5, -1.2, 1.5, 1.2}, {-1.3, -1.1, 1.7, 1.6}};
const char* const typeNames[FRACT_TYPES] = {"Mandelbrot", "Julia",   "Barnsley 1", "Barnsley 2",
                                            "Spider",     "ManOWar", "Sierpinski"};

// Lanes of the Mandelbrot engine: vectors of four doubles, four in flight so that the
// latency of one update is hidden behind the others.
using v4d = double __attribute__((vector_size(32)));
using v4i = long long __attribute__((vector_size(32)));
constexpr int lanes = 16;

// The wider vector unit's 32 registers hold all sixteen lanes' state; elsewhere as the others.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define MANDEL_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define MANDEL_CLONES
#endif

// One update of four lanes; the mask of lanes that escaped or reached the limit.
#define MANDEL_STEP(zr, zi, cr, ci, it, done)                                                      \
    do {                                                                                           \
        const v4d p_ = zr * zi;                                                                    \
        zr = (zr * zr - zi * zi) + cr;                                                             \
        zi = (p_ + p_) + ci;                                                                       \
        it += one;                                                                                 \
        done = (zr * zr + zi * zi >= t) | (it >= vlim);                                            \
    } while (0)

// Mandelbrot counts of n pixels at xs[i] + i y. Every lane iterates its own pixel; a lane whose
// pixel escaped (or reached the limit) takes the next pixel of the row, so the vector unit stays
// busy however unevenly the counts fall. The hot loop keeps its state in registers and leaves
// only when some lane is done.
MANDEL_CLONES void mandelbrotLanes(const double* xs, double y, double term, int32 limit,
                                   int32* counts, int32 n)
{
    alignas(32) double zr[lanes], zi[lanes], cr[lanes], ci[lanes], it[lanes];
    int32 pix[lanes];
    int32 next = 0, active = 0;
    const auto take = [&](int l) {
        const int32 p = next < n ? next++ : -1;
        pix[l] = p;
        active += p >= 0;
        cr[l] = p >= 0 ? xs[p] : 0.0;
        ci[l] = p >= 0 ? y : 0.0;
        zr[l] = zi[l] = it[l] = 0.0;
    };
    for (int l = 0; l < lanes; ++l)
        take(l);
    const v4d t = {term, term, term, term};
    const double lim = double(limit);
    const v4d vlim = {lim, lim, lim, lim};
    const v4d one = {1.0, 1.0, 1.0, 1.0};
    while (active > 0) {
        v4d zr0, zi0, cr0, ci0, it0, zr1, zi1, cr1, ci1, it1;
        v4d zr2, zi2, cr2, ci2, it2, zr3, zi3, cr3, ci3, it3;
        std::memcpy(&zr0, zr, 32);
        std::memcpy(&zr1, zr + 4, 32);
        std::memcpy(&zr2, zr + 8, 32);
        std::memcpy(&zr3, zr + 12, 32);
        std::memcpy(&zi0, zi, 32);
        std::memcpy(&zi1, zi + 4, 32);
        std::memcpy(&zi2, zi + 8, 32);
        std::memcpy(&zi3, zi + 12, 32);
        std::memcpy(&cr0, cr, 32);
        std::memcpy(&cr1, cr + 4, 32);
        std::memcpy(&cr2, cr + 8, 32);
        std::memcpy(&cr3, cr + 12, 32);
        std::memcpy(&ci0, ci, 32);
        std::memcpy(&ci1, ci + 4, 32);
        std::memcpy(&ci2, ci + 8, 32);
        std::memcpy(&ci3, ci + 12, 32);
        std::memcpy(&it0, it, 32);
        std::memcpy(&it1, it + 4, 32);
        std::memcpy(&it2, it + 8, 32);
        std::memcpy(&it3, it + 12, 32);
        v4i d0, d1, d2, d3;
        for (;;) {
            MANDEL_STEP(zr0, zi0, cr0, ci0, it0, d0);
            MANDEL_STEP(zr1, zi1, cr1, ci1, it1, d1);
            MANDEL_STEP(zr2, zi2, cr2, ci2, it2, d2);
            MANDEL_STEP(zr3, zi3, cr3, ci3, it3, d3);
            const v4i a = (d0 | d1) | (d2 | d3);
            if ((a[0] | a[1] | a[2] | a[3]) != 0)
                break;
        }
        std::memcpy(zr, &zr0, 32);
        std::memcpy(zr + 4, &zr1, 32);
        std::memcpy(zr + 8, &zr2, 32);
        std::memcpy(zr + 12, &zr3, 32);
        std::memcpy(zi, &zi0, 32);
        std::memcpy(zi + 4, &zi1, 32);
        std::memcpy(zi + 8, &zi2, 32);
        std::memcpy(zi + 12, &zi3, 32);
        std::memcpy(it, &it0, 32);
        std::memcpy(it + 4, &it1, 32);
        std::memcpy(it + 8, &it2, 32);
        std::memcpy(it + 12, &it3, 32);
        alignas(32) long long done[lanes];
        std::memcpy(done, &d0, 32);
        std::memcpy(done + 4, &d1, 32);
        std::memcpy(done + 8, &d2, 32);
        std::memcpy(done + 12, &d3, 32);
        for (int l = 0; l < lanes; ++l) {
            if (!done[l])
                continue;
            const int32 q = pix[l];
            if (q >= 0) {
                // The escaping update is not counted.
                const bool escaped = zr[l] * zr[l] + zi[l] * zi[l] >= term;
                counts[q] = int32(it[l]) - (escaped ? 1 : 0);
                --active;
            }
            take(l);
        }
    }
}
#undef MANDEL_STEP

struct cplx {
    double r, i;
};

// z^2 + a, written as the Mandelbrot lanes write it.
inline cplx sqPlus(cplx z, double ar, double ai)
{
    const double p = z.r * z.i;
    return {(z.r * z.r - z.i * z.i) + ar, (p + p) + ai};
}

// Counts of one pixel for the types other than Mandelbrot.
template <class Step> int32 escapeCount(cplx z, double term, int32 limit, Step step)
{
    for (int32 k = 0; k < limit; ++k) {
        z = step(z);
        if (z.r * z.r + z.i * z.i >= term)
            return k;
    }
    return limit;
}

int32 pixelCount(const fractalSettings& s, double x, double y, int32 limit)
{
    const double cx = s.cx, cy = s.cy;
    const cplx p{x, y};
    switch (s.type) {
    case FRACT_JULIA:
        return escapeCount(p, s.term, limit, [&](cplx z) { return sqPlus(z, cx, cy); });
    case FRACT_BARNSLEY1:
        return escapeCount(p, s.term, limit, [&](cplx z) {
            return z.r >= 0.0 ? sqPlus(z, -cx, -cy) : sqPlus(z, cx, cy);
        });
    case FRACT_BARNSLEY2:
        return escapeCount(p, s.term, limit, [&](cplx z) {
            return z.r <= 0.0 ? sqPlus(z, cx * z.r - 1.0, cy * z.r) : sqPlus(z, -1.0, 0.0);
        });
    case FRACT_SPIDER: {
        cplx sp = p;
        return escapeCount(p, s.term, limit, [&](cplx z) {
            z = sqPlus(z, sp.r + cx, sp.i + cy);
            sp = {sp.r / 2.0 + z.r, sp.i / 2.0 + z.i};
            return z;
        });
    }
    case FRACT_MANOWAR: {
        cplx w = p;
        return escapeCount(p, s.term, limit, [&](cplx z) {
            const cplx before = z;
            z = sqPlus(z, w.r + cx, w.i + cy);
            w = before;
            return z;
        });
    }
    case FRACT_SIERPINSKI:
        return escapeCount(p, s.term, limit, [](cplx z) {
            cplx n{2.0 * z.r, 2.0 * z.i};
            if (z.i > 0.5)
                n.i -= 1.0;
            else if (z.r > 0.5)
                n.r -= 1.0;
            return n;
        });
    default:
        return escapeCount(cplx{0.0, 0.0}, s.term, limit, [&](cplx z) { return sqPlus(z, x, y); });
    }
}

// Pixels of a row handled at once: their x positions and counts stay on the stack.
constexpr int32 rowChunk = 1024;

} // namespace

fractalArea fractalDefaultArea(int32 type)
{
    return defaultAreas[type >= 0 && type < FRACT_TYPES ? type : 0];
}

const char* fractalTypeName(int32 type)
{
    return type >= 0 && type < FRACT_TYPES ? typeNames[type] : "";
}

bool fractalTakesC(int32 type)
{
    return type == FRACT_JULIA || type == FRACT_BARNSLEY1 || type == FRACT_BARNSLEY2 ||
           type == FRACT_SPIDER;
}

void fractalCounts(const fractalSettings& s, double x0, double dx, double y,
                   std::span<int32> counts)
{
    const int32 limit = std::max(s.iters - 1, 0);
    double xs[rowChunk];
    double x = x0;
    for (std::size_t i0 = 0; i0 < counts.size(); i0 += rowChunk) {
        const int32 m = int32(std::min<std::size_t>(rowChunk, counts.size() - i0));
        // x advances by repeated addition, pixel after pixel, across chunks too.
        for (int32 i = 0; i < m; ++i, x += dx)
            xs[i] = x;
        int32* out = counts.data() + i0;
        if (s.type == FRACT_MANDELBROT && limit > 0) {
            mandelbrotLanes(xs, y, s.term, limit, out, m);
        } else {
            for (int32 i = 0; i < m; ++i)
                out[i] = pixelCount(s, xs[i], y, limit);
        }
    }
}

void FRACTAL_ROW(const fractalSettings& s, int32 r, int32 height, std::span<const int32u> cmap,
                 std::span<int32u> row)
{
    const int32 width = int32(row.size());
    if (width < 1 || height < 1 || cmap.empty())
        return;
    const fractalArea& a = s.area;
    const double dx = (a.x1 - a.x0) / width, dy = (a.y1 - a.y0) / height;
    const double y = a.y0 + r * dy;
    int32 counts[rowChunk];
    double x0 = a.x0;
    const int32 last = int32(cmap.size()) - 1;
    for (int32 i0 = 0; i0 < width; i0 += rowChunk) {
        const int32 m = std::min(rowChunk, width - i0);
        fractalCounts(s, x0, dx, y, std::span<int32>(counts, std::size_t(m)));
        for (int32 i = 0; i < m; ++i, x0 += dx)
            row[std::size_t(i0 + i)] = cmap[std::size_t(std::min(counts[i], last))];
    }
}

int32 fractalMapSize(int32 iters)
{
    return std::max(iters, 256);
}

std::vector<int32u> fractalColourMap(const charu* red, const charu* green, const charu* blue,
                                     int32 m)
{
    std::vector<int32u> map(std::size_t(std::max(m, 1)), 0u);
    for (int32 i = 0; i + 1 < m; ++i)
        map[std::size_t(i)] = int32u(red[i]) << 16 | int32u(green[i]) << 8 | int32u(blue[i]);
    return map;
}

bool fractalZoom(fractalArea& a, int32 px, int32 py, int32 width, int32 height, int32 f)
{
    if (width < 1 || height < 1 || f < 1)
        return false;
    const double ex = a.x1 - a.x0, ey = a.y1 - a.y0;
    if (ex / f < FRACT_MIN_EXTENT || ey / f < FRACT_MIN_EXTENT)
        return false;
    fractalArea n;
    n.x0 = a.x0 + ex * (double(px) / width);
    n.x1 = n.x0 + ex / f;
    n.y0 = a.y0 + ey * (double(py) / height);
    n.y1 = n.y0 + ey / f;
    a = n;
    return true;
}

bool fractalHistory::push(const fractalSettings& s)
{
    if (n_ >= capacity)
        return false;
    slot_[n_++] = s;
    return true;
}

bool fractalHistory::back(fractalSettings* out)
{
    if (n_ == 0)
        return false;
    if (n_ > 1)
        --n_;
    *out = slot_[n_ - 1];
    return true;
}

bool fractalHistory::top(fractalSettings* out) const
{
    if (n_ == 0)
        return false;
    *out = slot_[n_ - 1];
    return true;
}

namespace {

// The answer cut at blanks and commas.
std::vector<std::string> fields(const std::string& answer)
{
    std::vector<std::string> out;
    std::string cur;
    for (const char c : answer + " ") {
        if (isBlankChar(c) || c == ',' || c == '\n' || c == '\r') {
            if (!cur.empty())
                out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    return out;
}

} // namespace

int32 parseFractalIterations(const std::string& answer, int32* iters, double* term)
{
    const std::vector<std::string> f = fields(answer);
    if (f.empty())
        return FRP_EMPTY;
    int32 n = 0;
    double t = *term;
    if (f.size() > 2 || !toInt32(f[0].c_str(), n) || (f.size() == 2 && !toDouble(f[1].c_str(), t)))
        return FRP_BAD;
    if (n > FRACT_MAX_ITER || !(t > 0.0))
        return FRP_BAD;
    *iters = std::max(n, FRACT_MIN_ITER);
    *term = t;
    return FRP_SET;
}

int32 parseFractalC(const std::string& answer, double* cx, double* cy)
{
    const std::vector<std::string> f = fields(answer);
    if (f.empty())
        return FRP_EMPTY;
    double a = 0.0, b = 0.0;
    if (f.size() != 2 || !toDouble(f[0].c_str(), a) || !toDouble(f[1].c_str(), b))
        return FRP_BAD;
    *cx = a;
    *cy = b;
    return FRP_SET;
}

int32 fractalAreaFrom(double xa, double ya, double xb, double yb, fractalArea* a)
{
    const auto inX = [](double x) { return x >= -3.0 && x <= 2.6; };
    const auto inY = [](double y) { return y >= -2.0 && y <= 2.0; };
    if (!inX(xa) || !inX(xb) || !inY(ya) || !inY(yb))
        return FRA_RANGE;
    if (xa == xb || ya == yb)
        return FRA_FLAT;
    *a = fractalArea{std::min(xa, xb), std::min(ya, yb), std::max(xa, xb), std::max(ya, yb)};
    return FRA_SET;
}
