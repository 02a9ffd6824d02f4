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
// thousands). The vertical quantities reach about 2e11 at K = 700 and sigma = 7, beyond 32 bits:
// they are summed in 32-bit lanes only when 255 x both filters' magnitudes stays below 2^31 (as
// at the default gain), else in doubles, where every product and partial sum is an integer
// below 2^53, hence exact, and the sum does not depend on its order. Squares and magnitudes are
// doubles.
// Each filter is symmetric or antisymmetric about its centre, so taps are paired before they
// are multiplied, which halves the multiplications.

namespace {

constexpr double PI_CANNY = 3.14159265358979;

using i64 = std::int64_t;

// The filters folded about the centre: index i is the tap at distance i (0 = centre). For the
// antisymmetric D it is the coefficient of the low-side tap; the high-side one has its sign
// turned.
struct halfFilters {
    int32 h;
    int32 g[CANNY_TERMS], d[CANNY_TERMS], dd[CANNY_TERMS];
};

halfFilters fold(const cannyFilters& f)
{
    halfFilters hf{};
    hf.h = f.h;
    for (int32 i = 0; i <= f.h; ++i) {
        hf.g[i] = f.G[f.h + i];
        hf.d[i] = f.D[f.h - i];
        hf.dd[i] = f.DD[f.h + i];
    }
    return hf;
}

constexpr int32 BLOCK = 256; // columns summed at a time, their sums held in the first-level cache

// One row (padded with h zeros on each side, pad[h + c] = row[c]) filtered horizontally by G
// into og and by the second filter s (D with SIGN -1, DD with SIGN +1) into os. Taps outside
// the row meet the zeros of the padding.
template <int SIGN>
[[gnu::always_inline]] inline void filterPair(const int32* __restrict pad, int32 cols, int32 h,
                                              const int32* g, const int32* s, int32* __restrict og,
                                              int32* __restrict os)
{
    for (int32 c0 = 0; c0 < cols; c0 += BLOCK) {
        const int32 nb = cols - c0 < BLOCK ? cols - c0 : BLOCK;
        const int32* x = pad + h + c0;
        int32* __restrict ag = og + c0;
        int32* __restrict as = os + c0;
        const int32 g0 = g[0], s0 = s[0];
        for (int32 j = 0; j < nb; ++j) {
            ag[j] = g0 * x[j];
            as[j] = s0 * x[j];
        }
        for (int32 i = 1; i <= h; ++i) {
            const int32 gi = g[i], si = s[i];
            const int32* lo = x - i;
            const int32* hi = x + i;
            for (int32 j = 0; j < nb; ++j) {
                ag[j] += gi * (lo[j] + hi[j]);
                as[j] += si * (lo[j] + SIGN * hi[j]);
            }
        }
    }
}

TAV_VECTOR_CLONES
void filterRow(const int32* pad, int32 cols, int32 h, const int32* g, const int32* s, bool anti,
               int32* og, int32* os)
{
    if (anti)
        filterPair<-1>(pad, cols, h, g, s, og, os);
    else
        filterPair<1>(pad, cols, h, g, s, og, os);
}

// One vertical quantity of an output position row: the window rows r[0 .. w-1] (oldest first)
// under the folded filter c, pairs added (SIGN +1, symmetric) or subtracted (-1). ACC is int32
// where the run's bound shows the sums cannot wrap, else double (every partial sum an integer
// below 2^53, hence exact).
template <class ACC, int SIGN>
[[gnu::always_inline]] inline void addPair(ACC* __restrict acc, const int32* __restrict lo,
                                           const int32* __restrict hi, ACC k, int32 nb)
{
    for (int32 j = 0; j < nb; ++j)
        acc[j] += k * ACC(lo[j] + SIGN * hi[j]);
}

template <class ACC, int SIGN>
[[gnu::always_inline]] inline void verticalSum(const int32* const* r, int32 h, const int32* c,
                                               int32 cols, double* __restrict out)
{
    for (int32 c0 = 0; c0 < cols; c0 += BLOCK) {
        const int32 nb = cols - c0 < BLOCK ? cols - c0 : BLOCK;
        ACC acc[BLOCK];
        const int32* mid = r[h] + c0;
        const ACC k0 = ACC(c[0]);
        for (int32 j = 0; j < nb; ++j)
            acc[j] = k0 * ACC(mid[j]);
        for (int32 i = 1; i <= h; ++i)
            addPair<ACC, SIGN>(acc, r[h - i] + c0, r[h + i] + c0, ACC(c[i]), nb);
        for (int32 j = 0; j < nb; ++j)
            out[c0 + j] = double(acc[j]);
    }
}

TAV_VECTOR_CLONES
void verticalRow(const int32* const* r, int32 h, const int32* c, bool anti, bool narrow, int32 cols,
                 double* out)
{
    if (narrow)
        anti ? verticalSum<int32, -1>(r, h, c, cols, out)
             : verticalSum<int32, 1>(r, h, c, cols, out);
    else
        anti ? verticalSum<double, -1>(r, h, c, cols, out)
             : verticalSum<double, 1>(r, h, c, cols, out);
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
// axis (one component 0) is not thinned. First every pixel is classed on the vector unit (all
// candidate neighbours loaded, chosen by selects): 0 suppressed, 1 kept, 2 not thinned. Then
// the few pixels that are not 0 get their level, so the divisions are spent on them alone.
constexpr charu THIN_ZERO = 0, THIN_KEEP = 1, THIN_PLAIN = 2;

typedef double v4d __attribute__((vector_size(32)));
typedef long long v4l __attribute__((vector_size(32)));

inline v4d load4(const double* p)
{
    v4d v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The class of one pixel, written out for the columns the vector loop leaves over; the same
// operations in the same order as the vector loop, lane by lane.
inline charu thinClass(double a, double b, const double* mp, const double* mm, const double* mn,
                       int32 c, int32* bad)
{
    const double fa = a < 0 ? -a : a, fb = b < 0 ? -b : b;
    const bool alongX = fb <= fa; // |b| <= |a|
    const double t = (alongX ? fb : fa) / (alongX ? fa : fb);
    const bool same = (a > 0) == (b > 0);
    const double m1 = alongX ? mm[c + 1] : mp[c];
    const double m2 = alongX ? mm[c - 1] : mn[c];
    const double d1 = alongX ? (same ? mn[c + 1] : mp[c + 1]) : (same ? mp[c - 1] : mp[c + 1]);
    const double d2 = alongX ? (same ? mp[c - 1] : mn[c - 1]) : (same ? mn[c + 1] : mn[c - 1]);
    const double p = (1 - t) * m1 + t * d1;
    const double q = (1 - t) * m2 + t * d2;
    const double mc = mm[c];
    *bad += !(mc >= 0); // a squared sum that was not a number
    if (a == 0 || b == 0)
        return THIN_PLAIN;
    return mc > p && mc > q ? THIN_KEEP : THIN_ZERO;
}

TAV_VECTOR_CLONES
int32 thinClasses(const double* __restrict gx, const double* __restrict gy,
                  const double* __restrict mp, const double* __restrict mm,
                  const double* __restrict mn, int32 cols, charu* __restrict cls)
{
    int32 bad = 0;
    const v4d zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
    int32 c = 1;
    for (; c + 4 <= cols - 1; c += 4) {
        const v4d a = load4(gx + c), b = load4(gy + c);
        const v4d fa = a < zero ? -a : a, fb = b < zero ? -b : b;
        const v4l alongX = fb <= fa;
        const v4d t = (alongX ? fb : fa) / (alongX ? fa : fb);
        const v4l same = (a > zero) == (b > zero);
        const v4d mmL = load4(mm + c - 1), mc = load4(mm + c), mmR = load4(mm + c + 1);
        const v4d mpL = load4(mp + c - 1), mpC = load4(mp + c), mpR = load4(mp + c + 1);
        const v4d mnL = load4(mn + c - 1), mnC = load4(mn + c), mnR = load4(mn + c + 1);
        const v4d m1 = alongX ? mmR : mpC;
        const v4d m2 = alongX ? mmL : mnC;
        const v4d d1 = alongX ? (same ? mnR : mpR) : (same ? mpL : mpR);
        const v4d d2 = alongX ? (same ? mpL : mnL) : (same ? mnR : mnL);
        const v4d p = (one - t) * m1 + t * d1;
        const v4d q = (one - t) * m2 + t * d2;
        const v4l notNumber = ~(mc >= zero);
        const v4l kept = (mc > p) & (mc > q);
        const v4l axis = (a == zero) | (b == zero);
        for (int k = 0; k < 4; ++k) {
            bad += notNumber[k] != 0;
            cls[c + k] = axis[k] ? THIN_PLAIN : kept[k] ? THIN_KEEP : THIN_ZERO;
        }
    }
    for (; c < cols - 1; ++c)
        cls[c] = thinClass(gx[c], gy[c], mp, mm, mn, c, &bad);
    return bad;
}

void thinRow(const double* gx, const double* gy, const double* mp, const double* mm,
             const double* mn, int32 cols, double n, charu* cls, charu* out, int32* overflow)
{
    const int32 bad = thinClasses(gx, gy, mp, mm, mn, cols, cls);
    if (overflow)
        *overflow += bad;
    for (int32 c = 1; c < cols - 1; ++c) {
        if (cls[c] == THIN_ZERO) {
            out[c] = 0;
        } else if (cls[c] == THIN_KEEP) {
            out[c] = charu(level(mm[c] / n, 1, 254));
        } else {
            const double an = gx[c] / n, bn = gy[c] / n;
            out[c] = charu(level(std::sqrt(an * an + bn * bn), 0, 255));
        }
    }
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
    // Edge strength and orientation need gx (G down the D-filtered rows) and gy (D down the
    // G-filtered rows); the Laplacian needs gxx (G down the DD-filtered rows) and gyy (DD down
    // the G-filtered rows). Each run filters only for the two it needs.
    const bool lap = kind == CANNY_LAPLAC;
    const int32* second = lap ? hf.dd : hf.d;
    i64 sumG = 0, sumS = 0;
    for (int32 k = 0; k < w; ++k) {
        sumG += std::abs(f.G[k]);
        sumS += std::abs(lap ? f.DD[k] : f.D[k]);
    }
    // A horizontal sum and a pair of them stay within 32 bits (see the note at the top); the
    // vertical sums do too when 255 x both filters' magnitudes does, as at the default gain.
    TAV_ASSERT(2 * 255 * (sumG > sumS ? sumG : sumS) < INT32_MAX);
    const bool narrow = 255 * sumG * sumS < INT32_MAX;

    const std::size_t C = std::size_t(cols);
    auto pad = alloc<int32>(C + 2 * std::size_t(h));
    auto ring = alloc<int32>(2 * std::size_t(w) * C);
    if (!pad || !ring)
        return CANNY_NO_RINGS;
    const bool wantMag = kind == CANNY_EDGE && thin;
    auto qrows = alloc<double>((wantMag ? 9 : 6) * C);
    auto classes = alloc<charu>(wantMag ? C : 0);
    if (!qrows || (wantMag && !classes))
        return CANNY_NO_ROWS;

    // Slot k of the G ring and of the second filter's ring; quantity q of slot s (0 gx or gxx,
    // 1 gy or gyy, 2 magnitude).
    auto gRow = [&](int32 k) { return ring.get() + std::size_t(k) * C; };
    auto sRow = [&](int32 k) { return ring.get() + (std::size_t(w) + k) * C; };
    auto qRow = [&](int32 q, int32 s) { return qrows.get() + std::size_t(3 * q + s) * C; };

    auto readRow = [&](int32 r, int32 slot) {
        int32* x = pad.get() + h;
        const charu* src = in + std::size_t(r) * C;
        for (std::size_t c = 0; c < C; ++c)
            x[c] = src[c];
        filterRow(pad.get(), cols, h, hf.g, second, !lap, gRow(slot), sRow(slot));
    };

    for (int32 r = 0; r < w; ++r)
        readRow(r, r);
    std::memset(out, 0, std::size_t(h + 1) * C);

    const int32* gw[2 * CANNY_TERMS];
    const int32* sw[2 * CANNY_TERMS];
    int32 start = 0, slot = 0;
    for (int32 r = 0; r <= rows - w; ++r) {
        for (int32 k = 0; k < w; ++k) {
            const int32 s = (start + k) % w;
            gw[k] = gRow(s);
            sw[k] = sRow(s);
        }
        verticalRow(sw, h, hf.g, false, narrow, cols, qRow(0, slot));
        verticalRow(gw, h, second, !lap, narrow, cols, qRow(1, slot));
        if (wantMag)
            magnitudeRow(qRow(0, slot), qRow(1, slot), cols, qRow(2, slot));
        if (r > 1) {
            const int32 mid = (slot + 2) % 3, prev = (slot + 1) % 3;
            charu* o = out + std::size_t(h + r - 1) * C;
            o[0] = o[C - 1] = 0;
            if (kind == CANNY_ORIENT)
                orientRow(qRow(0, mid), qRow(1, mid), cols, o);
            else if (lap)
                laplacRow(qRow(0, mid), qRow(1, mid), cols, n, o);
            else if (thin)
                thinRow(qRow(0, mid), qRow(1, mid), qRow(2, prev), qRow(2, mid), qRow(2, slot),
                        cols, n, classes.get(), o, overflow);
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
