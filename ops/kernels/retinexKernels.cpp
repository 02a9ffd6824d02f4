#include "retinexKernels.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "vectorClones.h"

// The recursion is a chain: each value waits for the one before it. Along a row that chain is
// the whole cost, so sixteen rows run side by side, four to a vector register; down the columns
// the neighbouring columns are the independent chains, taken in blocks whose state stays in the
// first-level cache while the rows stream past. The state is double, the stored values float;
// the division by b0 is a multiplication by its reciprocal (a difference far below the last
// output level).

namespace {

typedef double v4d __attribute__((vector_size(32)));
typedef float v4f __attribute__((vector_size(16)));

constexpr int32 ROW_LANES = 16;  // rows filtered side by side
constexpr int32 COL_BLOCK = 512; // columns filtered side by side
constexpr int32 ROW_VECS = ROW_LANES / 4;

struct recursion {
    double B, b1, b2, b3, ib0;
};

recursion recursionOf(double sigma)
{
    const ygvCoefs k = ygvCoefficients(sigma);
    return recursion{k.B, k.b1, k.b2, k.b3, 1.0 / k.b0};
}

// Forward then backward along the rows, sixteen at a time. The rows of a block are taken in
// chunks of columns turned into one line of sixteen-value steps, run through the recursion and
// turned back, so that the recursion reads and writes whole vectors. Rows past the end of the
// plane are served by a zero row and a scratch row so that every lane does the same work.
constexpr int32 CHUNK = 64;

inline v4d load4f(const float* p)
{
    v4f f;
    std::memcpy(&f, p, sizeof f);
    return __builtin_convertvector(f, v4d);
}
inline void store4f(float* p, v4d v)
{
    const v4f f = __builtin_convertvector(v, v4f);
    std::memcpy(p, &f, sizeof f);
}

TAV_VECTOR_CLONES
void rowPasses(const float* src, float* dst, int32 cols, int32 rows, const recursion& f,
               const float* zeros, float* scratch)
{
    const std::size_t C = std::size_t(cols);
    const v4d B = {f.B, f.B, f.B, f.B}, b1 = {f.b1, f.b1, f.b1, f.b1};
    const v4d b2 = {f.b2, f.b2, f.b2, f.b2}, b3 = {f.b3, f.b3, f.b3, f.b3};
    const v4d ib0 = {f.ib0, f.ib0, f.ib0, f.ib0};
    alignas(32) float line[CHUNK * ROW_LANES];
    for (int32 r0 = 0; r0 < rows; r0 += ROW_LANES) {
        const float* sp[ROW_LANES];
        float* dp[ROW_LANES];
        for (int32 j = 0; j < ROW_LANES; ++j) {
            const bool real = r0 + j < rows;
            sp[j] = real ? src + std::size_t(r0 + j) * C : zeros;
            dp[j] = real ? dst + std::size_t(r0 + j) * C : scratch;
        }
        v4d y1[ROW_VECS], y2[ROW_VECS], y3[ROW_VECS];
        for (int32 v = 0; v < ROW_VECS; ++v) {
            const v4f first = {sp[4 * v][0], sp[4 * v + 1][0], sp[4 * v + 2][0], sp[4 * v + 3][0]};
            y1[v] = y2[v] = y3[v] = __builtin_convertvector(first, v4d);
        }
        // A chunk of the lanes' rows turned into vector-wide steps, and back into dp.
        const auto gather = [&](const float* const* from, int32 k0, int32 nk) {
            for (int32 j = 0; j < ROW_LANES; ++j)
                for (int32 k = 0; k < nk; ++k)
                    line[k * ROW_LANES + j] = from[j][k0 + k];
        };
        const auto scatter = [&](int32 k0, int32 nk) {
            for (int32 j = 0; j < ROW_LANES; ++j)
                for (int32 k = 0; k < nk; ++k)
                    dp[j][k0 + k] = line[k * ROW_LANES + j];
        };
        const auto step = [&](int32 k) {
            for (int32 v = 0; v < ROW_VECS; ++v) {
                float* at = line + k * ROW_LANES + 4 * v;
                const v4d y = B * load4f(at) + (b1 * y1[v] + b2 * y2[v] + b3 * y3[v]) * ib0;
                y3[v] = y2[v];
                y2[v] = y1[v];
                y1[v] = y;
                store4f(at, y);
            }
        };
        for (int32 k0 = 0; k0 < cols; k0 += CHUNK) {
            const int32 nk = cols - k0 < CHUNK ? cols - k0 : CHUNK;
            gather(sp, k0, nk);
            for (int32 k = 0; k < nk; ++k)
                step(k);
            scatter(k0, nk);
        }
        for (int32 v = 0; v < ROW_VECS; ++v) {
            const v4f last = {dp[4 * v][cols - 1], dp[4 * v + 1][cols - 1], dp[4 * v + 2][cols - 1],
                              dp[4 * v + 3][cols - 1]};
            y1[v] = y2[v] = y3[v] = __builtin_convertvector(last, v4d);
        }
        for (int32 end = cols; end > 0; end -= CHUNK) {
            const int32 k0 = end - CHUNK > 0 ? end - CHUNK : 0;
            const int32 nk = end - k0;
            gather(dp, k0, nk);
            for (int32 k = nk - 1; k >= 0; --k)
                step(k);
            scatter(k0, nk);
        }
    }
}

// One step of the recursion over a block of columns: the newest state replaces the oldest.
TAV_VECTOR_CLONES
void columnStep(float* __restrict row, const double* __restrict y1, const double* __restrict y2,
                double* __restrict y3, int32 nb, const recursion& f)
{
    const double B = f.B, b1 = f.b1, b2 = f.b2, b3 = f.b3, ib0 = f.ib0;
    for (int32 c = 0; c < nb; ++c) {
        const double y = B * double(row[c]) + (b1 * y1[c] + b2 * y2[c] + b3 * y3[c]) * ib0;
        y3[c] = y;
        row[c] = float(y);
    }
}

// Forward then backward down the columns of the plane, in place, block by block.
void columnPasses(float* plane, int32 cols, int32 rows, const recursion& f, double* state)
{
    const std::size_t C = std::size_t(cols);
    for (int32 c0 = 0; c0 < cols; c0 += COL_BLOCK) {
        const int32 nb = cols - c0 < COL_BLOCK ? cols - c0 : COL_BLOCK;
        float* base = plane + c0;
        double* y[3] = {state, state + COL_BLOCK, state + 2 * COL_BLOCK};
        auto prime = [&](const float* row) {
            for (int32 c = 0; c < nb; ++c)
                y[0][c] = y[1][c] = y[2][c] = row[c];
        };
        auto step = [&](int32 k) {
            columnStep(base + std::size_t(k) * C, y[0], y[1], y[2], nb, f);
            double* newest = y[2];
            y[2] = y[1];
            y[1] = y[0];
            y[0] = newest;
        };
        prime(base);
        for (int32 k = 0; k < rows; ++k)
            step(k);
        prime(base + std::size_t(rows - 1) * C);
        for (int32 k = rows - 1; k >= 0; --k)
            step(k);
    }
}

template <class T> std::unique_ptr<T[]> alloc(std::size_t n)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]());
}

// Line buffers of the blur: the column state, a zero row and a scratch row for the row lanes.
struct blurLines {
    std::unique_ptr<double[]> state;
    std::unique_ptr<float[]> rows;
    bool make(int32 cols)
    {
        state = alloc<double>(3 * COL_BLOCK);
        rows = alloc<float>(2 * std::size_t(cols));
        return state && rows;
    }
};

void blurWith(blurLines& lines, const float* src, float* dst, int32 cols, int32 rows, double sigma)
{
    const recursion f = recursionOf(sigma);
    rowPasses(src, dst, cols, rows, f, lines.rows.get(), lines.rows.get() + cols);
    columnPasses(dst, cols, rows, f, lines.state.get());
}

TAV_VECTOR_CLONES
void plusOne(const float* __restrict in, float* __restrict a, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        a[i] = 1.0f + in[i];
}
TAV_VECTOR_CLONES
void multiplyInto(float* __restrict prod, const float* __restrict b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i)
        prod[i] *= b[i];
}

} // namespace

int32 msrcrScales(int32 S, int32 n, int32 mode, float sigmas[ADAPTIV_ITER_MAX])
{
    n = n < ADAPTIV_ITER_MIN ? ADAPTIV_ITER_MIN : n > ADAPTIV_ITER_MAX ? ADAPTIV_ITER_MAX : n;
    if (n <= 2) {
        sigmas[0] = float(S / 2);
        if (n == 2)
            sigmas[1] = float(S);
        return n;
    }
    // In floating point throughout: integer i / n would make every exponent 0.
    const float x = float(S - 2);
    for (int32 i = 0; i < n; ++i) {
        const float e = float(i) / float(n);
        if (mode == ADAPTIV_LOW)
            sigmas[i] = std::pow(x, e) + 2.0f;
        else if (mode == ADAPTIV_HIGH)
            sigmas[i] = float(S) - std::pow(x, e);
        else
            sigmas[i] = 2.0f + float(i) * float(S) / float(n);
    }
    return n;
}

ygvCoefs ygvCoefficients(double sigma)
{
    ygvCoefs k{};
    if (sigma >= 2.5)
        k.q = 0.98711 * sigma - 0.96330;
    else if (sigma >= 0.5)
        k.q = 3.97156 - 4.14554 * std::sqrt(1.0 - 0.26891 * sigma);
    else
        k.q = 0.1147705;
    const double q = k.q, q2 = q * q, q3 = q2 * q;
    k.b0 = 1.57825 + 2.44413 * q + 1.4281 * q2 + 0.422205 * q3;
    k.b1 = 2.44413 * q + 2.85619 * q2 + 1.26661 * q3;
    k.b2 = -(1.4281 * q2 + 1.26661 * q3);
    k.b3 = 0.422205 * q3;
    k.B = 1.0 - (k.b1 + k.b2 + k.b3) / k.b0;
    return k;
}

bool gaussBlurYvV(const float* src, float* dst, int32 cols, int32 rows, double sigma)
{
    if (cols <= 0 || rows <= 0)
        return true;
    blurLines lines;
    if (!lines.make(cols))
        return false;
    blurWith(lines, src, dst, cols, rows, sigma);
    return true;
}

const char* msrcrMessage(int32 status)
{
    switch (status) {
    case MSRCR_NO_INPUT:
        return "MSRCR: Input is NULL...";
    case MSRCR_NO_DST:
        return "MSRCR: Failed to allocate -dst-";
    case MSRCR_NO_IN:
        return "MSRCR: Failed to allocate -in-";
    case MSRCR_NO_OUT:
        return "MSRCR: Failed to allocate -out-";
    case MSRCR_NO_FILTER:
        return "MSRCR() abort: out of memory...";
    case MSRCR_NO_OUTPUT:
        return "MSRCR(): failed to allocate output buffer...";
    default:
        return "";
    }
}

std::uint64_t msrcrWorkBytes(int32 cols, int32 rows)
{
    const std::uint64_t px =
        std::uint64_t(cols > 0 ? cols : 0) * std::uint64_t(rows > 0 ? rows : 0);
    // Input 3 + retinex 3 + blurred-from 1 + blurred 1 floats per pixel, and the line buffers.
    return px * 8 * sizeof(float) + std::uint64_t(cols > 0 ? cols : 0) * 2 * sizeof(float) +
           3 * COL_BLOCK * sizeof(double);
}

int32 MSRCR(const float* const in[3], charu* const out[3], int32 cols, int32 rows,
            const adaptivParams& p, msrcrNote note)
{
    if (!in || !in[0] || !in[1] || !in[2])
        return MSRCR_NO_INPUT;
    if (!out[0] || !out[1] || !out[2])
        return MSRCR_NO_OUTPUT;
    if (cols <= 0 || rows <= 0)
        return MSRCR_OK;
    const std::size_t N = std::size_t(cols) * std::size_t(rows);
    auto dst = alloc<float>(3 * N);
    if (!dst)
        return MSRCR_NO_DST;
    auto a = alloc<float>(N);
    if (!a)
        return MSRCR_NO_IN;
    auto blurred = alloc<float>(N);
    if (!blurred)
        return MSRCR_NO_OUT;
    blurLines lines;
    if (!lines.make(cols))
        return MSRCR_NO_FILTER;
    auto say = [&](const char* s) {
        if (note)
            note(s);
    };

    float sigmas[ADAPTIV_ITER_MAX];
    const int32 n = msrcrScales(p.scale, p.iterations, p.mode, sigmas);
    const float invN = 1.0f / float(n);
    static const char* const gunNames[3] = {
        "Computing Adaptiv for RED", "Computing Adaptiv for GREEN", "Computing Adaptiv for BLUE"};
    for (int32 g = 0; g < 3; ++g) {
        say(gunNames[g]);
        float* M = dst.get() + g * N;
        plusOne(in[g], a.get(), N);
        // The mean of ln a - ln blur over the scales is ln a less the mean log of the blurs,
        // and the log of their product costs one logarithm instead of n.
        std::fill(M, M + N, 1.0f);
        for (int32 s = 0; s < n; ++s) {
            blurWith(lines, a.get(), blurred.get(), cols, rows, sigmas[s]);
            multiplyInto(M, blurred.get(), N);
        }
        for (std::size_t i = 0; i < N; ++i)
            M[i] = std::log(a[i]) - invN * std::log(M[i]);
    }

    say("Adaptiv color normalization...");
    for (std::size_t i = 0; i < N; ++i) {
        const float t = in[0][i] + in[1][i] + in[2][i];
        const float lt = std::log(t + 3.0f);
        for (int32 g = 0; g < 3; ++g) {
            float& m = dst[g * N + i];
            m = 1.0f * m * (std::log(128.0f * (1.0f + in[g][i])) - lt) + 0.0f;
        }
    }

    say("Scaling final image output...");
    const float* M = dst.get();
    double sum = 0;
    for (std::size_t i = 0; i < 3 * N; ++i)
        sum += M[i];
    const double mean = sum / double(3 * N);
    double dev = 0;
    for (std::size_t i = 0; i < 3 * N; ++i)
        dev += (M[i] - mean) * (M[i] - mean);
    double sd = std::sqrt(dev / double(3 * N));
    // Rounding noise of a (nearly) uniform area is no spread to stretch to full range.
    if (sd < 1e-6)
        sd = 0;
    const double lo = mean - p.variance * sd, hi = mean + p.variance * sd;
    double width = hi - lo;
    if (width == 0)
        width = 1;
    for (int32 g = 0; g < 3; ++g) {
        const float* m = M + g * N;
        charu* o = out[g];
        for (std::size_t i = 0; i < N; ++i) {
            const double v = 255.0 * (double(m[i]) - lo) / width;
            o[i] = charu(!(v > 0) ? 0 : v >= 255 ? 255 : int32(v));
        }
    }
    return MSRCR_OK;
}
