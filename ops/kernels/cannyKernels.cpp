#include "cannyKernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "diag.h"
#include "vectorClones.h"

// Exactness: the horizontal rings hold 32-bit integers, which cannot overflow (255 x the sum of
// a filter's magnitudes, twice for a pair of taps, stays far below 2^31 for every gain up to
// thousands). The vertical quantities reach about 2e11 at K = 700 and sigma = 7, beyond 32 bits,
// so they are summed in doubles: every product and partial sum is an integer below 2^53, hence
// exact, and the sum does not depend on its order. Squares and magnitudes are doubles too.
// Each filter is symmetric or antisymmetric about its centre, so taps are paired before they
// are multiplied, which halves the multiplications.

namespace {

constexpr double PI_CANNY = 3.14159265358979;

using i64 = std::int64_t;
typedef double v4d __attribute__((vector_size(32)));
typedef int32 v4i __attribute__((vector_size(16)));

v4d load4i(const int32* p)
{
    v4i v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_convertvector(v, v4d);
}
void store4d(double* p, v4d v)
{
    std::memcpy(p, &v, sizeof v);
}

// The filters folded about the centre: index i is the tap at distance i (0 = centre), with the
// sign that multiplies the low-side minus the high-side tap for the antisymmetric D.
struct halfFilters {
    int32 h;
    int32 g[CANNY_TERMS], d[CANNY_TERMS], dd[CANNY_TERMS];
    double gd[CANNY_TERMS], dgd[CANNY_TERMS], ddd[CANNY_TERMS];
};

halfFilters fold(const cannyFilters& f)
{
    halfFilters hf{};
    hf.h = f.h;
    for (int32 i = 0; i <= f.h; ++i) {
        hf.g[i] = f.G[f.h + i];
        hf.d[i] = f.D[f.h - i];
        hf.dd[i] = f.DD[f.h + i];
        hf.gd[i] = hf.g[i];
        hf.dgd[i] = hf.d[i];
        hf.ddd[i] = hf.dd[i];
    }
    return hf;
}

// One input row, padded with h zeros on each side (pad[h + c] = row[c]), filtered horizontally
// by G, D and DD. Taps outside the row meet the zeros of the padding.
TAV_VECTOR_CLONES
void filterRow(const int32* __restrict pad, int32 cols, const halfFilters& hf, int32* __restrict og,
               int32* __restrict od, int32* __restrict odd)
{
    constexpr int32 BLOCK = 256;
    const int32 h = hf.h;
    for (int32 c0 = 0; c0 < cols; c0 += BLOCK) {
        const int32 nb = cols - c0 < BLOCK ? cols - c0 : BLOCK;
        const int32* x = pad + h + c0;
        int32* __restrict ag = og + c0;
        int32* __restrict ad = od + c0;
        int32* __restrict add = odd + c0;
        const int32 g0 = hf.g[0], dd0 = hf.dd[0];
        for (int32 j = 0; j < nb; ++j) {
            ag[j] = g0 * x[j];
            ad[j] = 0;
            add[j] = dd0 * x[j];
        }
        for (int32 i = 1; i <= h; ++i) {
            const int32 gi = hf.g[i], di = hf.d[i], ddi = hf.dd[i];
            const int32* lo = x - i;
            const int32* hi = x + i;
            for (int32 j = 0; j < nb; ++j) {
                const int32 s = lo[j] + hi[j];
                ag[j] += gi * s;
                ad[j] += di * (lo[j] - hi[j]);
                add[j] += ddi * s;
            }
        }
    }
}

// The four vertical quantities of one output position row from the w ring rows (tap k of the
// window in rows gr[k], dr[k], ddr[k], oldest first): gy = D over G, gx = G over D, gxx = G over
// DD, gyy = DD over G. Eight columns at a time in vector registers.
TAV_VECTOR_CLONES
void quantityRow(const int32* const* gr, const int32* const* dr, const int32* const* ddr,
                 int32 cols, const halfFilters& hf, double* __restrict gx, double* __restrict gy,
                 double* __restrict gxx, double* __restrict gyy)
{
    const int32 h = hf.h;
    int32 c = 0;
    for (; c + 8 <= cols; c += 8) {
        v4d ax[2], ay[2], axx[2], ayy[2];
        for (int32 u = 0; u < 2; ++u) {
            const int32 cc = c + 4 * u;
            ax[u] = load4i(dr[h] + cc) * hf.gd[0];
            ay[u] = v4d{0, 0, 0, 0};
            axx[u] = load4i(ddr[h] + cc) * hf.gd[0];
            ayy[u] = load4i(gr[h] + cc) * hf.ddd[0];
        }
        for (int32 i = 1; i <= h; ++i) {
            const int32 *glo = gr[h - i] + c, *ghi = gr[h + i] + c;
            const int32 *dlo = dr[h - i] + c, *dhi = dr[h + i] + c;
            const int32 *ddlo = ddr[h - i] + c, *ddhi = ddr[h + i] + c;
            const double gi = hf.gd[i], di = hf.dgd[i], ddi = hf.ddd[i];
            for (int32 u = 0; u < 2; ++u) {
                v4i gl, gh, dl, dh, el, eh;
                std::memcpy(&gl, glo + 4 * u, sizeof gl);
                std::memcpy(&gh, ghi + 4 * u, sizeof gh);
                std::memcpy(&dl, dlo + 4 * u, sizeof dl);
                std::memcpy(&dh, dhi + 4 * u, sizeof dh);
                std::memcpy(&el, ddlo + 4 * u, sizeof el);
                std::memcpy(&eh, ddhi + 4 * u, sizeof eh);
                ay[u] += __builtin_convertvector(gl - gh, v4d) * di;
                ayy[u] += __builtin_convertvector(gl + gh, v4d) * ddi;
                ax[u] += __builtin_convertvector(dl + dh, v4d) * gi;
                axx[u] += __builtin_convertvector(el + eh, v4d) * gi;
            }
        }
        for (int32 u = 0; u < 2; ++u) {
            store4d(gx + c + 4 * u, ax[u]);
            store4d(gy + c + 4 * u, ay[u]);
            store4d(gxx + c + 4 * u, axx[u]);
            store4d(gyy + c + 4 * u, ayy[u]);
        }
    }
    for (; c < cols; ++c) {
        double ax = dr[h][c] * hf.gd[0], ay = 0, axx = ddr[h][c] * hf.gd[0];
        double ayy = gr[h][c] * hf.ddd[0];
        for (int32 i = 1; i <= h; ++i) {
            ay += double(gr[h - i][c] - gr[h + i][c]) * hf.dgd[i];
            ayy += double(gr[h - i][c] + gr[h + i][c]) * hf.ddd[i];
            ax += double(dr[h - i][c] + dr[h + i][c]) * hf.gd[i];
            axx += double(ddr[h - i][c] + ddr[h + i][c]) * hf.gd[i];
        }
        gx[c] = ax;
        gy[c] = ay;
        gxx[c] = axx;
        gyy[c] = ayy;
    }
}

// Magnitudes sqrt(gx^2 + gy^2) of a quantity row, for the thinning of its neighbours.
TAV_VECTOR_CLONES
void magnitudeRow(const double* __restrict gx, const double* __restrict gy, int32 cols,
                  double* __restrict m)
{
    for (int32 c = 0; c < cols; ++c)
        m[c] = std::sqrt(gx[c] * gx[c] + gy[c] * gy[c]);
}

// A double as an output level: rounded to single precision, truncated toward zero, held
// between lo and hi.
inline int32 level(double v, int32 lo, int32 hi)
{
    const float f = float(v);
    if (!(f > float(lo)))
        return lo;
    if (f >= float(hi))
        return hi;
    return int32(f);
}

TAV_VECTOR_CLONES
void edgeRow(const double* __restrict gx, const double* __restrict gy, int32 cols, double n,
             charu* __restrict out)
{
    for (int32 c = 1; c < cols - 1; ++c) {
        const double a = gx[c] / n, b = gy[c] / n;
        out[c] = charu(level(std::sqrt(a * a + b * b), 0, 255));
    }
}

// Edge strength with non-maximum suppression: the centre magnitude survives only when it is
// larger than the magnitudes interpolated on both sides along the gradient. A gradient along an
// axis (one component 0) is not thinned. All candidate neighbours are loaded and chosen by
// selects so that the loop has no branches to mispredict.
TAV_VECTOR_CLONES
void thinRow(const double* __restrict gx, const double* __restrict gy, const double* __restrict mp,
             const double* __restrict mm, const double* __restrict mn, int32 cols, double n,
             charu* __restrict out, int32* overflow)
{
    int32 bad = 0;
    for (int32 c = 1; c < cols - 1; ++c) {
        const double a = gx[c], b = gy[c];
        const double an = a / n, bn = b / n;
        const int32 plain = level(std::sqrt(an * an + bn * bn), 0, 255);
        const double fa = std::fabs(a), fb = std::fabs(b);
        const bool alongX = fb <= fa; // |b| <= |a|
        const double t = alongX ? fb / fa : fa / fb;
        const bool same = (a > 0) == (b > 0);
        const double m1 = alongX ? mm[c + 1] : mp[c];
        const double m2 = alongX ? mm[c - 1] : mn[c];
        const double d1 = alongX ? (same ? mn[c + 1] : mp[c + 1]) : (same ? mp[c - 1] : mp[c + 1]);
        const double d2 = alongX ? (same ? mp[c - 1] : mn[c - 1]) : (same ? mn[c + 1] : mn[c - 1]);
        const double p = (1 - t) * m1 + t * d1;
        const double q = (1 - t) * m2 + t * d2;
        const double sq = a * a + b * b;
        bad += !(sq >= 0);
        const double mc = std::sqrt(sq);
        const int32 thinned = (mc > p && mc > q) ? level(mc / n, 1, 254) : 0;
        out[c] = charu((a != 0 && b != 0) ? thinned : plain);
    }
    if (overflow)
        *overflow += bad;
}

TAV_VECTOR_CLONES
void laplacRow(const double* __restrict gxx, const double* __restrict gyy, int32 cols, double n,
               charu* __restrict out)
{
    for (int32 c = 1; c < cols - 1; ++c)
        out[c] = charu(level((gxx[c] + gyy[c]) / n, 0, 255));
}

// 256 p / q for 0 <= p <= q, q > 0: with a large dividend the divisor is scaled down instead,
// which keeps the quotient within the table (at most 256). The operands are exact integers far
// below 2^53 and the quotient at most 256, so the double quotient truncates to the integer one.
inline int32 ratio256(i64 p, i64 q)
{
    if (p > 65535)
        return int32(double(p) / double(q >> 8));
    return int32(double(p << 8) / double(q));
}

void orientRow(const double* gx, const double* gy, int32 cols, charu* out)
{
    const charu* T = cannyAtanTable();
    int32 prev = 0;
    for (int32 c = 1; c < cols - 1; ++c) {
        const i64 X = -i64(gx[c]), Y = i64(gy[c]);
        int32 o = prev;
        if (X > 0 && Y >= 0)
            o = X > Y ? T[ratio256(Y, X)] : 63 - T[ratio256(X, Y)];
        else if (X <= 0 && Y > 0)
            o = Y < -X ? 127 - T[ratio256(Y, -X)] : 64 + T[ratio256(-X, Y)];
        else if (X < 0 && Y <= 0)
            o = -X > -Y ? 128 + T[ratio256(-Y, -X)] : 191 - T[ratio256(-X, -Y)];
        else if (X >= 0 && Y < 0)
            o = X <= -Y ? 192 + T[ratio256(X, -Y)] : 255 - T[ratio256(-Y, X)];
        out[c] = charu(o);
        prev = o;
    }
}

template <class T> std::unique_ptr<T[]> alloc(std::size_t n)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]());
}

} // namespace

cannyFilters canny_filters(int32 K, double sigma)
{
    cannyFilters f;
    int32 g[CANNY_TERMS], dg[CANNY_TERMS], ddg[CANNY_TERMS];
    int32 m = 0;
    for (int32 i = 0; i < CANNY_TERMS; ++i) {
        const double e = std::exp(-double(i * i) / (2 * sigma * sigma));
        g[i] = int32(e * K);
        dg[i] = int32(e * i * K);
        ddg[i] = int32(double(g[i]) * i * i / sigma / sigma - g[i]);
        if (g[i] == 0)
            break;
        m = i + 1;
    }
    if (m == CANNY_TERMS) {
        f.truncated = true;
        DIAG("\nWARN: canny_filters truncated");
    }
    f.h = m - 1;
    f.w = 2 * m - 1;
    for (int32 i = 0; i <= f.h; ++i) {
        f.G[f.h - i] = f.G[f.h + i] = g[i];
        f.D[f.h - i] = dg[i];
        f.D[f.h + i] = -dg[i];
        f.DD[f.h - i] = f.DD[f.h + i] = ddg[i];
    }
    return f;
}

double cannyNorm(int32 K, double sigma, double bright)
{
    double n = 2.0 * K * K * PI_CANNY * sigma * sigma;
    if (bright > 1.0 && bright <= 8.0)
        n /= bright;
    return n;
}

const charu* cannyAtanTable()
{
    static const struct table {
        charu t[257];
        table()
        {
            for (int k = 0; k <= 256; ++k)
                t[k] = charu(std::floor(std::atan(k / 256.0) * 256.0 / (2 * PI_CANNY)));
        }
    } tab;
    return tab.t;
}

int32 cannyCore(const charu* in, charu* out, int32 kind, int32 cols, int32 rows,
                const cannyFilters& f, bool thin, double n, int32* overflow)
{
    const int32 w = f.w, h = f.h;
    TAV_ASSERT(w >= 1 && w < 2 * CANNY_TERMS);
    if (cols <= w || rows <= w)
        return CANNY_TOO_SMALL;
    const halfFilters hf = fold(f);
    {
        // The 32-bit horizontal sums must not wrap (see the note at the top).
        i64 sg = 0, sd = 0, sdd = 0;
        for (int32 k = 0; k < w; ++k) {
            sg += std::abs(f.G[k]);
            sd += std::abs(f.D[k]);
            sdd += std::abs(f.DD[k]);
        }
        TAV_ASSERT(2 * 255 * (sg > sd ? (sg > sdd ? sg : sdd) : (sd > sdd ? sd : sdd)) < INT32_MAX);
    }

    const std::size_t C = std::size_t(cols);
    auto pad = alloc<int32>(C + 2 * std::size_t(h));
    auto ring = alloc<int32>(3 * std::size_t(w) * C);
    if (!pad || !ring)
        return CANNY_NO_RINGS;
    const bool wantMag = kind == CANNY_EDGE && thin;
    auto qrows = alloc<double>((wantMag ? 15 : 12) * C);
    if (!qrows)
        return CANNY_NO_ROWS;

    // Slot k of the horizontal rings; quantity q (gx, gy, gxx, gyy, magnitude) of slot s.
    auto gRow = [&](int32 k) { return ring.get() + std::size_t(k) * C; };
    auto dRow = [&](int32 k) { return ring.get() + (std::size_t(w) + k) * C; };
    auto ddRow = [&](int32 k) { return ring.get() + (2 * std::size_t(w) + k) * C; };
    auto qRow = [&](int32 q, int32 s) { return qrows.get() + std::size_t(3 * q + s) * C; };

    auto readRow = [&](int32 r, int32 slot) {
        int32* x = pad.get() + h;
        const charu* src = in + std::size_t(r) * C;
        for (std::size_t c = 0; c < C; ++c)
            x[c] = src[c];
        filterRow(pad.get(), cols, hf, gRow(slot), dRow(slot), ddRow(slot));
    };

    for (int32 r = 0; r < w; ++r)
        readRow(r, r);
    std::memset(out, 0, std::size_t(h + 1) * C);

    const int32* gw[2 * CANNY_TERMS];
    const int32* dw[2 * CANNY_TERMS];
    const int32* ddw[2 * CANNY_TERMS];
    int32 start = 0, slot = 0;
    for (int32 r = 0; r <= rows - w; ++r) {
        for (int32 k = 0; k < w; ++k) {
            const int32 s = (start + k) % w;
            gw[k] = gRow(s);
            dw[k] = dRow(s);
            ddw[k] = ddRow(s);
        }
        quantityRow(gw, dw, ddw, cols, hf, qRow(0, slot), qRow(1, slot), qRow(2, slot),
                    qRow(3, slot));
        if (wantMag)
            magnitudeRow(qRow(0, slot), qRow(1, slot), cols, qRow(4, slot));
        if (r > 1) {
            const int32 mid = (slot + 2) % 3, prev = (slot + 1) % 3;
            charu* o = out + std::size_t(h + r - 1) * C;
            o[0] = o[C - 1] = 0;
            if (kind == CANNY_ORIENT)
                orientRow(qRow(0, mid), qRow(1, mid), cols, o);
            else if (kind == CANNY_LAPLAC)
                laplacRow(qRow(2, mid), qRow(3, mid), cols, n, o);
            else if (thin)
                thinRow(qRow(0, mid), qRow(1, mid), qRow(4, prev), qRow(4, mid), qRow(4, slot),
                        cols, n, o, overflow);
            else
                edgeRow(qRow(0, mid), qRow(1, mid), cols, n, o);
        }
        if (r < rows - w) {
            readRow(r + w, start);
            start = (start + 1) % w;
            slot = (slot + 1) % 3;
        }
    }
    std::memset(out + std::size_t(rows - h - 1) * C, 0, std::size_t(h + 1) * C);
    return CANNY_OK;
}
