#include "convKernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "vectorClones.h"

namespace {

// Guns as the pixel word holds them: red in bits 16-23, green 8-15, blue 0-7.
constexpr int gunShift[3] = {16, 8, 0};

// Sums whose every partial value stays below 2^24 are exact in single precision, and so is
// the truncated quotient of such a sum by an integer: the common kernels run there, on the
// vector unit. Larger sums run in 64-bit integers.
constexpr double floatExact = 16777216.0;

// Row padding (in samples) past the valid columns: the vector loops run whole blocks of 64
// and may read and write up to one block past the last column.
constexpr std::size_t pad = 128;

template <class T> struct freeDel {
    void operator()(T* p) const { ::operator delete[](p, std::align_val_t(64)); }
};
template <class T> using block = std::unique_ptr<T[], freeDel<T>>;

template <class T> block<T> alloc(std::size_t n)
{
    void* p = ::operator new[](n * sizeof(T), std::align_val_t(64), std::nothrow);
    if (p)
        std::memset(p, 0, n * sizeof(T));
    return block<T>(static_cast<T*>(p));
}

// ---------------------------------------------------------------------------------------------
// Row arithmetic

// One gun of a BGRA row as single-precision samples.
TAV_VECTOR_CLONES
void gunToFloat(const int32u* px, float* out, int32 n, int shift)
{
    for (int32 i = 0; i < n; ++i)
        out[i] = float((px[i] >> shift) & 0xFFu);
}

// All three guns of a BGRA row in one pass.
TAV_VECTOR_CLONES
void gunsToFloat(const int32u* __restrict px, float* __restrict r, float* __restrict g,
                 float* __restrict b, int32 n)
{
    for (int32 i = 0; i < n; ++i) {
        r[i] = float((px[i] >> 16) & 0xFFu);
        g[i] = float((px[i] >> 8) & 0xFFu);
        b[i] = float(px[i] & 0xFFu);
    }
}

// acc[i] = sum over taps t of coef[t] x src[t][i], i < n rounded up to 64 (the rows carry the
// padding). Eight blocks of eight samples stay in registers across all taps, so each tap costs
// one load and one multiply-add per block.
TAV_VECTOR_CLONES
void tapSums(const float* const* src, const float* coef, int32 taps, float* acc, int32 n)
{
    typedef float v8 __attribute__((vector_size(32)));
    for (int32 i = 0; i < n; i += 64) {
        v8 a0 = {}, a1 = {}, a2 = {}, a3 = {}, a4 = {}, a5 = {}, a6 = {}, a7 = {};
        for (int32 t = 0; t < taps; ++t) {
            const float* s = src[t] + i;
            const v8 c = {coef[t], coef[t], coef[t], coef[t], coef[t], coef[t], coef[t], coef[t]};
            v8 x0, x1, x2, x3, x4, x5, x6, x7;
            std::memcpy(&x0, s, 32);
            std::memcpy(&x1, s + 8, 32);
            std::memcpy(&x2, s + 16, 32);
            std::memcpy(&x3, s + 24, 32);
            std::memcpy(&x4, s + 32, 32);
            std::memcpy(&x5, s + 40, 32);
            std::memcpy(&x6, s + 48, 32);
            std::memcpy(&x7, s + 56, 32);
            a0 += c * x0;
            a1 += c * x1;
            a2 += c * x2;
            a3 += c * x3;
            a4 += c * x4;
            a5 += c * x5;
            a6 += c * x6;
            a7 += c * x7;
        }
        std::memcpy(acc + i, &a0, 32);
        std::memcpy(acc + i + 8, &a1, 32);
        std::memcpy(acc + i + 16, &a2, 32);
        std::memcpy(acc + i + 24, &a3, 32);
        std::memcpy(acc + i + 32, &a4, 32);
        std::memcpy(acc + i + 40, &a5, 32);
        std::memcpy(acc + i + 48, &a6, 32);
        std::memcpy(acc + i + 56, &a7, 32);
    }
}

// out = a + b, m samples.
TAV_VECTOR_CLONES
void addRows(const float* __restrict a, const float* __restrict b, float* __restrict out, int32 m)
{
    for (int32 i = 0; i < m; ++i)
        out[i] = a[i] + b[i];
}

// Box sums of kx x ky samples: vertical sums of the ky rows, then kx of them side by side.
TAV_VECTOR_CLONES
void boxSums(const float* const* rows, int32 ky, int32 kx, float* vsum, float* acc, int32 n)
{
    const int32 m = n + kx - 1;
    for (int32 i = 0; i < m; ++i)
        vsum[i] = rows[0][i];
    for (int32 r = 1; r < ky; ++r) {
        const float* s = rows[r];
        for (int32 i = 0; i < m; ++i)
            vsum[i] += s[i];
    }
    for (int32 i = 0; i < n; ++i)
        acc[i] = vsum[i];
    for (int32 k = 1; k < kx; ++k) {
        const float* s = vsum + k;
        for (int32 i = 0; i < n; ++i)
            acc[i] += s[i];
    }
}

// S -> pixel on the single-precision path (S = a x acc + b x centre: a box sum and its centre
// weight, or the tap sums with a = 1, b = 0): S x kscale, truncated quotient, plus the base
// (0, the centre, or cval held to a value that cannot change the clamped result), 0..255.
TAV_VECTOR_CLONES
void finishFloat(const float* __restrict acc, const float* __restrict centre, float a, float b,
                 float ks, float div, bool divide, int mode, int32 cval, charu* __restrict out,
                 int32 n)
{
    for (int32 i = 0; i < n; ++i) {
        float s = (a * acc[i] + b * centre[i]) * ks;
        if (divide)
            s = s / div;
        int32 q = int32(s); // toward zero
        if (mode == 1)
            q += int32(centre[i]);
        else if (mode == 2)
            q += cval;
        out[i] = charu(q < 0 ? 0 : q > 255 ? 255 : q);
    }
}

// Result bytes of the three guns into a BGRA row: alpha and the guns in keep from the input
// (their byte planes hold zeros).
TAV_VECTOR_CLONES
void packGuns(int32u* __restrict row, const int32u* __restrict in, const charu* __restrict r,
              const charu* __restrict g, const charu* __restrict b, int32u keep, int32 n)
{
    for (int32 i = 0; i < n; ++i)
        row[i] = (in[i] & keep) | int32u(r[i]) << 16 | int32u(g[i]) << 8 | int32u(b[i]);
}

// ---------------------------------------------------------------------------------------------
// Medians on interleaved bytes: every byte is one gun of one pixel, the same gun of the pixels
// beside it lies 4 bytes away.

inline void sort2(charu& a, charu& b)
{
    const charu lo = std::min(a, b), hi = std::max(a, b);
    a = lo;
    b = hi;
}

inline charu med3(charu a, charu b, charu c)
{
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// 3 x 3: each column sorted once (lo <= mid <= hi), then the median of nine is the median of
// the largest low, the median mid and the smallest high of three neighbouring columns.
TAV_VECTOR_CLONES
void median9(const charu* __restrict up, const charu* __restrict mid, const charu* __restrict dn,
             charu* __restrict lo, charu* __restrict md, charu* __restrict hi,
             const charu* __restrict keep, charu* __restrict out, int32 nb)
{
    // Columns from one pixel before to one after the run.
    for (int32 j = 0; j < nb + 8; ++j) {
        const charu a = up[j - 4], b = mid[j - 4], c = dn[j - 4];
        const charu l1 = std::min(a, b), h1 = std::max(a, b);
        lo[j] = std::min(l1, c);
        const charu m2 = std::max(l1, c);
        hi[j] = std::max(h1, m2);
        md[j] = std::min(h1, m2);
    }
    for (int32 j = 0; j < nb; ++j) {
        const charu mx = std::max(std::max(lo[j], lo[j + 4]), lo[j + 8]);
        const charu mn = std::min(std::min(hi[j], hi[j + 4]), hi[j + 8]);
        const charu me = med3(md[j], md[j + 4], md[j + 8]);
        out[j] = charu((mid[j] & keep[j]) | (med3(mx, me, mn) & ~keep[j]));
    }
}

// Five values: with a <= b and c <= d sorted, the smallest and largest of the four drop out
// and the median is that of e and the two middle ones.
inline charu med5(charu a, charu b, charu c, charu d, charu e)
{
    sort2(a, b);
    sort2(c, d);
    return med3(e, std::max(a, c), std::min(b, d));
}

TAV_VECTOR_CLONES
void median5Plus(const charu* __restrict up, const charu* __restrict mid,
                 const charu* __restrict dn, const charu* __restrict keep, charu* __restrict out,
                 int32 nb)
{
    for (int32 j = 0; j < nb; ++j)
        out[j] = charu((mid[j] & keep[j]) |
                       (med5(up[j], dn[j], mid[j - 4], mid[j + 4], mid[j]) & ~keep[j]));
}

TAV_VECTOR_CLONES
void median5X(const charu* __restrict up, const charu* __restrict mid, const charu* __restrict dn,
              const charu* __restrict keep, charu* __restrict out, int32 nb)
{
    for (int32 j = 0; j < nb; ++j)
        out[j] = charu((mid[j] & keep[j]) |
                       (med5(up[j - 4], up[j + 4], dn[j - 4], dn[j + 4], mid[j]) & ~keep[j]));
}

// ---------------------------------------------------------------------------------------------
// SOBEL on single-precision samples (exact: sums of at most nine bytes).

TAV_VECTOR_CLONES
void sobelMagnitude(const float* up, const float* mid, const float* dn, int32 scale, charu* out,
                    int32 n)
{
    // value = trunc(sqrt(gx^2 + gy^2) x scale), 255 above: trunc(sqrt(N)) for
    // N = (gx^2 + gy^2) scale^2, held at 65536 (which gives 256 and so 255).
    const float s2 = float(std::min<std::int64_t>(std::int64_t(scale) * scale, 65536));
    for (int32 i = 0; i < n; ++i) {
        const float gx =
            (up[i - 1] + mid[i - 1] + dn[i - 1]) - (up[i + 1] + mid[i + 1] + dn[i + 1]);
        const float gy = (up[i - 1] + up[i] + up[i + 1]) - (dn[i - 1] + dn[i] + dn[i + 1]);
        const float m = std::min(gx * gx + gy * gy, 65536.0f);
        const float nn = std::min(m * s2, 65536.0f);
        const int32 v = int32(__builtin_sqrtf(nn));
        out[i] = charu(v > 255 ? 255 : v);
    }
}

void sobelDirection(const float* up, const float* mid, const float* dn, int32 scale, charu* out,
                    int32 n)
{
    const double pi2 = std::acos(0.0);
    for (int32 i = 0; i < n; ++i) {
        const double gx =
            (up[i - 1] + mid[i - 1] + dn[i - 1]) - (up[i + 1] + mid[i + 1] + dn[i + 1]);
        const double gy = (up[i - 1] + up[i] + up[i + 1]) - (dn[i - 1] + dn[i] + dn[i + 1]);
        // A vertical gradient points straight up or down; no gradient at all is no direction.
        double a;
        if (gx == 0)
            a = gy > 0 ? pi2 : gy < 0 ? -pi2 : 0.0;
        else
            a = std::atan(gy / gx);
        const double v = std::trunc(128.0 + 30.0 * double(scale) * a);
        out[i] = charu(v < 0 ? 0 : v > 255 ? 255 : int32(v));
    }
}

// ---------------------------------------------------------------------------------------------
// The engine

class engine {
public:
    engine(const convJob& j, const convWindow& w) : job_(j), w_(w) {}

    int32 run()
    {
        const int32 rc = prepare();
        if (rc != CONV_OK)
            return rc;
        const int32 first = std::max(0, w_.y0 - ry_);
        const int32 last = std::min(w_.rows - 1, w_.y1 + ry_);
        int32 next = first; // next window row to read
        for (int32 y = w_.y0; y <= w_.y1; ++y) {
            const int32 need = std::min(last, y + ry_);
            while (next <= need) {
                int32u* slot = raw(next);
                if (!w_.read(next, slot))
                    return CONV_IO;
                if (planes_ && (job_.params.guns & 7) == 7)
                    gunsToFloat(slot, plane(0, next), plane(1, next), plane(2, next), w_.cols);
                else if (planes_)
                    for (int g = 0; g < 3; ++g)
                        if (job_.params.guns & (1 << g))
                            gunToFloat(slot, plane(g, next), w_.cols, gunShift[g]);
                ++next;
            }
            int32u* t = w_.target(y);
            if (!t)
                return CONV_IO;
            int32u* o = t - w_.x0; // indexed by window column, x0..x1 only
            const int32u* in = raw(y);
            if (y - ry_ >= 0 && y + ry_ < w_.rows && xhi_ >= xlo_) {
                // Columns too near the window's edge keep their pixels; the rest is written
                // whole by the line.
                std::memcpy(o + w_.x0, in + w_.x0, std::size_t(xlo_ - w_.x0) * 4);
                std::memcpy(o + xhi_ + 1, in + xhi_ + 1, std::size_t(w_.x1 - xhi_) * 4);
                line(y, o);
            } else {
                std::memcpy(t, in + w_.x0, std::size_t(w_.x1 - w_.x0 + 1) * 4);
            }
            if (!w_.commit(y))
                return CONV_IO;
        }
        return CONV_OK;
    }

private:
    int32 prepare()
    {
        int32 kx = 3, ky = 3;
        if (job_.filter == CF_KERNEL) {
            const convKernel* k = job_.kernel;
            if (!k || k->xs < 1 || k->ys < 1 || !(k->xs & 1) || !(k->ys & 1) ||
                k->xs > convMaxSide || k->ys > convMaxSide ||
                k->coef.size() != std::size_t(k->xs) * std::size_t(k->ys))
                return CONV_BAD_ARGS;
            kx = k->xs;
            ky = k->ys;
        }
        if (w_.cols < 1 || w_.rows < 1 || w_.x0 < 0 || w_.y0 < 0 || w_.x1 >= w_.cols ||
            w_.y1 >= w_.rows || w_.x1 < w_.x0 || w_.y1 < w_.y0 || !w_.read || !w_.target ||
            !w_.commit)
            return CONV_BAD_ARGS;
        if (w_.x1 - w_.x0 + 1 <= kx + 15)
            return CONV_TOO_NARROW;
        rx_ = kx / 2;
        ry_ = ky / 2;
        ringH_ = ky;
        xlo_ = std::max(w_.x0, rx_);
        xhi_ = std::min(w_.x1, w_.cols - 1 - rx_);
        const int32 n = std::max(0, xhi_ - xlo_ + 1);
        nPad_ = (n + 63) / 64 * 64;
        // Raw rows carry one pixel on each side for the medians' neighbours.
        rawStride_ = std::size_t(w_.cols) + 16;
        rawRing_ = alloc<int32u>(rawStride_ * std::size_t(ringH_));
        if (!rawRing_)
            return CONV_NO_MEM;
        median_ = job_.filter == CF_MEDIAN_PLUS || job_.filter == CF_MEDIAN_X ||
                  job_.filter == CF_MEDIAN_3X3;
        if (median_) {
            tmp8_ = alloc<charu>((std::size_t(chunk) * 4 + 16) * 3);
            // Bytes that keep their input (alpha, the guns not chosen), one run's worth.
            keep_ = alloc<charu>(std::size_t(chunk) * 4);
            if (!tmp8_ || !keep_)
                return CONV_NO_MEM;
            for (int32 i = 0; i < chunk; ++i) {
                auto* k = reinterpret_cast<int32u*>(keep_.get()) + i;
                *k = 0xFF000000u;
                for (int g = 0; g < 3; ++g)
                    if (!(job_.params.guns & (1 << g)))
                        *k |= 0xFFu << gunShift[g];
            }
            return CONV_OK;
        }
        planeStride_ = std::size_t(w_.cols) + 2 * pad;
        planes_ = alloc<float>(planeStride_ * std::size_t(ringH_) * 3);
        acc_ = alloc<float>(std::size_t(nPad_) + pad);
        bytesStride_ = std::size_t(nPad_) + pad;
        bytes_ = alloc<charu>(bytesStride_ * 4); // three guns, and zeros for the others
        if (!planes_ || !acc_ || !bytes_)
            return CONV_NO_MEM;
        if (job_.filter == CF_KERNEL)
            return prepareKernel();
        return CONV_OK;
    }

    int32 prepareKernel()
    {
        const convKernel& k = *job_.kernel;
        const convParams& p = job_.params;
        kscale_ = p.kscale > 1 ? p.kscale : 1;
        div_ = convDivisor(k, p);
        mode_ = p.cval <= 0 ? 0 : p.cval == 1 ? 1 : 2;
        double absSum = 0;
        for (std::int16_t c : k.coef)
            absSum += std::abs(double(c));
        const double bound = absSum * 255.0 * double(kscale_);
        useFloat_ = bound < floatExact;
        // A divisor past every sum the float path can hold leaves nothing but 0.
        if (useFloat_ && double(div_) >= floatExact)
            zeroQ_ = true;
        // cval past 255 + the largest quotient cannot change the clamped result.
        cvalHeld_ = int32(std::min<std::int64_t>(p.cval, std::int64_t(1) << 25));
        // All coefficients equal but the centre: box sums, exact while a x box is.
        const int32 ncoef = k.xs * k.ys;
        const std::int16_t a = k.coef[0], b = k.coef[std::size_t(ncoef / 2)];
        bool flat = !k.plus;
        for (int32 i = 0; i < ncoef && flat; ++i)
            flat = i == ncoef / 2 || k.coef[std::size_t(i)] == a;
        // (A 3 x 3 runs faster as nine taps than as box sums.)
        box_ = flat && useFloat_ && ncoef > 9 &&
               std::abs(double(a)) * ncoef * 255.0 * double(kscale_) < floatExact;
        boxA_ = float(a);
        boxB_ = float(b) - float(a);
        if (box_) {
            vsum_ = alloc<float>(std::size_t(nPad_) + std::size_t(k.xs) + pad);
            if (!vsum_)
                return CONV_NO_MEM;
        }
        for (int32 y = 0; y < k.ys; ++y)
            for (int32 x = 0; x < k.xs; ++x) {
                const std::int16_t c = k.coef[std::size_t(y) * std::size_t(k.xs) + std::size_t(x)];
                if (c != 0) {
                    tapY_.push_back(y);
                    tapX_.push_back(x);
                    tapC_.push_back(float(c));
                    tapI_.push_back(c);
                    tapSrc_.push_back(nullptr);
                }
            }
        // A kernel whose rows mirror about the centre row takes each pair of mirrored input
        // rows summed once, then the upper rows' taps and the centre row's: nearly half the
        // taps. The sums regroup the same products, so they stay exact.
        bool mirror = useFloat_ && !box_ && k.ys > 1;
        for (int32 y = 0; y < ry_ && mirror; ++y)
            for (int32 x = 0; x < k.xs && mirror; ++x)
                mirror = k.coef[std::size_t(y * k.xs + x)] ==
                         k.coef[std::size_t((k.ys - 1 - y) * k.xs + x)];
        // Each pair of rows summed costs about what two taps do: only rows of more taps gain.
        int32 upper = 0;
        for (int32 i = 0; i < ry_ * k.xs; ++i)
            upper += k.coef[std::size_t(i)] != 0;
        fold_ = mirror && upper > 3 * ry_;
        if (fold_) {
            foldStride_ = std::size_t(nPad_) + std::size_t(k.xs) + pad;
            folds_ = alloc<float>(foldStride_ * std::size_t(ry_));
            if (!folds_)
                return CONV_NO_MEM;
        }
        for (int32 y = 0; y <= (fold_ ? ry_ : k.ys - 1); ++y)
            for (int32 x = 0; x < k.xs; ++x) {
                const std::int16_t c = k.coef[std::size_t(y) * std::size_t(k.xs) + std::size_t(x)];
                if (c != 0) {
                    ftapY_.push_back(y);
                    ftapX_.push_back(x);
                    ftapC_.push_back(float(c));
                }
            }
        if (!useFloat_) {
            acc64_ = alloc<std::int64_t>(std::size_t(nPad_) + pad);
            if (!acc64_)
                return CONV_NO_MEM;
        }
        return CONV_OK;
    }

    int32u* raw(int32 y) { return rawRing_.get() + rawStride_ * std::size_t(y % ringH_) + 8; }
    float* plane(int g, int32 y)
    {
        return planes_.get() +
               planeStride_ * (std::size_t(g) * std::size_t(ringH_) + std::size_t(y % ringH_)) +
               pad;
    }

    void line(int32 y, int32u* o)
    {
        switch (job_.filter) {
        case CF_KERNEL:
            kernelLine(y, o);
            break;
        case CF_SOBEL_MAG:
        case CF_SOBEL_DIR:
            sobelLine(y, o);
            break;
        default:
            medianLine(y, o);
            break;
        }
    }

    float* fold(int32 r) { return folds_.get() + foldStride_ * std::size_t(r); }

    // Byte plane of gun g's results; the fourth stays zero for the guns not chosen.
    charu* gunBytes(int g) { return bytes_.get() + bytesStride_ * std::size_t(g); }

    // The chosen guns' byte planes into the row, the other guns and alpha from the input.
    void pack(int32 y, int32u* o)
    {
        const int32 n = xhi_ - xlo_ + 1;
        const charu* p[3];
        int32u keep = 0xFF000000u;
        for (int g = 0; g < 3; ++g) {
            const bool on = job_.params.guns & (1 << g);
            p[g] = on ? gunBytes(g) : gunBytes(3);
            if (!on)
                keep |= 0xFFu << gunShift[g];
        }
        packGuns(o + xlo_, raw(y) + xlo_, p[0], p[1], p[2], keep, n);
    }

    void kernelLine(int32 y, int32u* o)
    {
        const int32 n = xhi_ - xlo_ + 1;
        const int32 ky = job_.kernel->ys, kx = job_.kernel->xs;
        for (int g = 0; g < 3; ++g) {
            if (!(job_.params.guns & (1 << g)))
                continue;
            float* acc = acc_.get();
            const float* centre = plane(g, y) + xlo_;
            if (zeroQ_) {
                std::memset(acc, 0, std::size_t(n) * 4);
                finishFloat(acc, centre, 1.0f, 0.0f, 1.0f, 1.0f, false, mode_, cvalHeld_,
                            gunBytes(g), n);
            } else if (useFloat_) {
                float a = 1.0f, b = 0.0f;
                if (box_) {
                    const float* rows[convMaxSide];
                    for (int32 r = 0; r < ky; ++r)
                        rows[r] = plane(g, y - ry_ + r) + xlo_ - rx_;
                    boxSums(rows, ky, kx, vsum_.get(), acc, n);
                    a = boxA_;
                    b = boxB_;
                } else {
                    if (fold_)
                        for (int32 r = 0; r < ry_; ++r)
                            addRows(plane(g, y - ry_ + r) + xlo_ - rx_,
                                    plane(g, y + ry_ - r) + xlo_ - rx_, fold(r), nPad_ + kx);
                    for (std::size_t t = 0; t < ftapY_.size(); ++t)
                        tapSrc_[t] = (fold_ && ftapY_[t] < ry_
                                          ? fold(ftapY_[t])
                                          : plane(g, y - ry_ + ftapY_[t]) + xlo_ - rx_) +
                                     ftapX_[t];
                    tapSums(tapSrc_.data(), ftapC_.data(), int32(ftapY_.size()), acc, nPad_);
                }
                finishFloat(acc, centre, a, b, float(kscale_), float(div_), div_ > 1, mode_,
                            cvalHeld_, gunBytes(g), n);
            } else {
                wideLine(g, y, centre, n);
            }
        }
        pack(y, o);
    }

    // 64-bit sums for kernels whose sums leave single precision: the sum saturated when
    // multiplied by kscale, the quotient held where it cannot change the clamped result.
    void wideLine(int g, int32 y, const float* centre, int32 n)
    {
        std::int64_t* acc = acc64_.get();
        std::fill(acc, acc + n, 0);
        for (std::size_t t = 0; t < tapY_.size(); ++t) {
            const float* s = plane(g, y - ry_ + tapY_[t]) + xlo_ - rx_ + tapX_[t];
            const std::int64_t c = tapI_[t];
            for (int32 i = 0; i < n; ++i)
                acc[i] += c * std::int64_t(s[i]);
        }
        constexpr std::int64_t hold = std::int64_t(1) << 40;
        for (int32 i = 0; i < n; ++i) {
            std::int64_t s = acc[i];
            if (kscale_ > 1 && __builtin_mul_overflow(s, std::int64_t(kscale_), &s))
                s = acc[i] < 0 ? std::numeric_limits<std::int64_t>::min()
                               : std::numeric_limits<std::int64_t>::max();
            if (div_ > 1)
                s /= div_;
            s = std::clamp(s, -hold, hold);
            if (mode_ == 1)
                s += std::int64_t(centre[i]);
            else if (mode_ == 2)
                s += job_.params.cval;
            gunBytes(g)[i] = charu(std::clamp<std::int64_t>(s, 0, 255));
        }
    }

    void sobelLine(int32 y, int32u* o)
    {
        const int32 n = xhi_ - xlo_ + 1;
        const int32 scale = std::max(1, job_.scale);
        for (int g = 0; g < 3; ++g) {
            if (!(job_.params.guns & (1 << g)))
                continue;
            const float* up = plane(g, y - 1) + xlo_;
            const float* mid = plane(g, y) + xlo_;
            const float* dn = plane(g, y + 1) + xlo_;
            if (job_.filter == CF_SOBEL_MAG)
                sobelMagnitude(up, mid, dn, scale, gunBytes(g), n);
            else
                sobelDirection(up, mid, dn, scale, gunBytes(g), n);
        }
        pack(y, o);
    }

    // In runs of chunk pixels, so that the sorted columns and the medians stay in the first
    // level cache; each run's medians go straight into the output row.
    void medianLine(int32 y, int32u* o)
    {
        const std::size_t stride = std::size_t(chunk) * 4 + 16;
        const charu* keep = keep_.get();
        for (int32 x = xlo_; x <= xhi_; x += chunk) {
            const int32 m = std::min(chunk, xhi_ - x + 1), nb = m * 4;
            const auto* up = reinterpret_cast<const charu*>(raw(y - 1) + x);
            const auto* mid = reinterpret_cast<const charu*>(raw(y) + x);
            const auto* dn = reinterpret_cast<const charu*>(raw(y + 1) + x);
            auto* out = reinterpret_cast<charu*>(o + x);
            if (job_.filter == CF_MEDIAN_3X3)
                median9(up, mid, dn, tmp8_.get(), tmp8_.get() + stride, tmp8_.get() + 2 * stride,
                        keep, out, nb);
            else if (job_.filter == CF_MEDIAN_PLUS)
                median5Plus(up, mid, dn, keep, out, nb);
            else
                median5X(up, mid, dn, keep, out, nb);
        }
    }

    static constexpr int32 chunk = 512;

    const convJob& job_;
    const convWindow& w_;
    int32 rx_ = 1, ry_ = 1, ringH_ = 3, xlo_ = 0, xhi_ = -1, nPad_ = 0;
    std::size_t rawStride_ = 0, planeStride_ = 0, bytesStride_ = 0;
    block<int32u> rawRing_;
    block<float> planes_, acc_, vsum_;
    block<charu> bytes_, tmp8_, keep_;
    block<std::int64_t> acc64_;
    // Kernel
    int32 kscale_ = 1, mode_ = 0, cvalHeld_ = 0;
    std::int64_t div_ = 1;
    bool median_ = false, useFloat_ = true, zeroQ_ = false, box_ = false, fold_ = false;
    std::size_t foldStride_ = 0;
    block<float> folds_;
    float boxA_ = 0, boxB_ = 0;
    std::vector<int32> tapY_, tapX_;
    std::vector<float> tapC_, ftapC_;
    std::vector<int32> ftapY_, ftapX_; ///< the taps the single-precision path runs
    std::vector<std::int16_t> tapI_;
    std::vector<const float*> tapSrc_;
};

// ---------------------------------------------------------------------------------------------
// Built-in kernels

convKernel square(int32 side, std::initializer_list<int> rows)
{
    convKernel k;
    k.xs = k.ys = side;
    k.plus = false;
    for (int v : rows)
        k.coef.push_back(std::int16_t(v));
    return k;
}

convKernel flatWithCentre(int32 side, int a, int b)
{
    convKernel k;
    k.xs = k.ys = side;
    k.plus = false;
    k.coef.assign(std::size_t(side) * std::size_t(side), std::int16_t(a));
    k.coef[k.coef.size() / 2] = std::int16_t(b);
    return k;
}

// Top rows given (the centre row last); the rows below mirror those above.
convKernel mirrored(int32 side, std::initializer_list<int> top)
{
    convKernel k;
    k.xs = k.ys = side;
    k.plus = false;
    k.coef.assign(top.begin(), top.end());
    const int32 given = int32(top.size()) / side;
    for (int32 r = given - 2; r >= 0; --r)
        for (int32 x = 0; x < side; ++x)
            k.coef.push_back(k.coef[std::size_t(r) * std::size_t(side) + std::size_t(x)]);
    return k;
}

// A 5 x 5 kernel spread over every other row and column of a 9 x 9 one.
convKernel spread(const convKernel& k5)
{
    convKernel k;
    k.xs = k.ys = 9;
    k.plus = false;
    k.coef.assign(81, 0);
    for (int32 y = 0; y < 5; ++y)
        for (int32 x = 0; x < 5; ++x)
            k.coef[std::size_t(2 * y * 9 + 2 * x)] = k5.coef[std::size_t(y * 5 + x)];
    return k;
}

std::vector<convKernel> makeBuiltins()
{
    std::vector<convKernel> v(CK_COUNT);
    convKernel plus;
    plus.xs = plus.ys = 3;
    plus.plus = true;
    plus.coef = {0, -1, 0, -1, 4, -1, 0, -1, 0};
    v[CK_LAPLACE_PLUS] = plus;
    v[CK_LAPLACE_3X3] = flatWithCentre(3, -1, 8);
    v[CK_LAPLACE_5X5] = flatWithCentre(5, -1, 24);
    v[CK_GAUSS_5X5] =
        square(5, {1, 2, 3, 2, 1, 2, 7, 11, 7, 2, 3, 11, 17, 11, 3, 2, 7, 11, 7, 2, 1, 2, 3, 2, 1});
    v[CK_GAUSS_9X9] =
        mirrored(9, {0, 0, 1, 1, 1, 1, 1, 0, 0,  0, 1, 2, 3, 3, 3, 2, 1,  0,  1,  2, 3, 6, 7,
                     6, 3, 2, 1, 1, 3, 6, 9, 11, 9, 6, 3, 1, 1, 3, 7, 11, 12, 11, 7, 3, 1});
    v[CK_GAUSS_15X15] = mirrored(
        15, {2,  2,  3,  4,  5,  5,  6,  6,  6,  5,  5,  4,  3,  2,  2,  2,  3,  4,  5,  7,
             7,  8,  8,  8,  7,  7,  5,  4,  3,  2,  3,  4,  6,  7,  9,  10, 10, 11, 10, 10,
             9,  7,  6,  4,  3,  4,  5,  7,  9,  10, 12, 13, 13, 13, 12, 10, 9,  7,  5,  4,
             5,  7,  9,  11, 13, 14, 15, 16, 15, 14, 13, 11, 9,  7,  5,  5,  7,  10, 12, 14,
             16, 17, 18, 17, 16, 14, 12, 10, 7,  5,  6,  8,  10, 13, 15, 17, 19, 19, 19, 17,
             15, 13, 10, 8,  6,  6,  8,  11, 13, 16, 18, 19, 20, 19, 18, 16, 13, 11, 8,  6});
    v[CK_GRAD_X_3X3] = square(3, {1, 0, -1, 2, 0, -2, 1, 0, -1});
    v[CK_GRAD_X_5X5] = square(
        5, {1, 2, 0, -2, -1, 2, 3, 0, -3, -2, 3, 4, 0, -4, -3, 2, 3, 0, -3, -2, 1, 2, 0, -2, -1});
    v[CK_GRAD_X_9X9] = spread(v[CK_GRAD_X_5X5]);
    v[CK_GRAD_Y_3X3] = square(3, {1, 2, 1, 0, 0, 0, -1, -2, -1});
    v[CK_GRAD_Y_5X5] = square(
        5, {1, 2, 3, 2, 1, 2, 3, 4, 3, 2, 0, 0, 0, 0, 0, -2, -3, -4, -3, -2, -1, -2, -3, -2, -1});
    v[CK_GRAD_Y_9X9] = spread(v[CK_GRAD_Y_5X5]);
    v[CK_GRAD_D_3X3] = square(3, {2, 1, 0, 1, 0, -1, 0, -1, -2});
    v[CK_GRAD_D_5X5] = square(
        5, {4, 3, 2, 1, 0, 3, 2, 1, 0, -1, 2, 1, 0, -1, -2, 1, 0, -1, -2, -3, 0, -1, -2, -3, -4});
    v[CK_GRAD_D_9X9] = spread(v[CK_GRAD_D_5X5]);
    // The third row begins with 1: the kernel sums to 2 and a flat area comes out doubled.
    v[CK_MEX_HAT] = square(7, {0,  0, -1, -1, -1, 0,  0,  0,  -1, -3, -3, -3, -1, 0, 1, -3, 0,
                               7,  0, -3, -1, -1, -3, 7,  24, 7,  -3, -1, -1, -3, 0, 7, 0,  -3,
                               -1, 0, -1, -3, -3, -3, -1, 0,  0,  0,  -1, -1, -1, 0, 0});
    v[CK_LOG] = square(
        5, {0, -1, -2, -1, 0, -1, 0, 2, 0, -1, -2, 2, 8, 2, -2, -1, 0, 2, 0, -1, 0, -1, -2, -1, 0});
    return v;
}

} // namespace

int32 convListLength(int32 xs, int32 ys, bool plus)
{
    return plus ? xs + ys - 1 : xs * ys;
}

bool convKernelFromList(int32 xs, int32 ys, bool plus, std::span<const std::int16_t> list,
                        convKernel* k)
{
    if (xs < 1 || ys < 1 || !(xs & 1) || !(ys & 1) || xs > convMaxSide || ys > convMaxSide ||
        list.size() != std::size_t(convListLength(xs, ys, plus)))
        return false;
    k->xs = xs;
    k->ys = ys;
    k->plus = plus;
    if (!plus) {
        k->coef.assign(list.begin(), list.end());
        return true;
    }
    k->coef.assign(std::size_t(xs) * std::size_t(ys), 0);
    const int32 cx = xs / 2, cy = ys / 2;
    std::size_t i = 0;
    for (int32 y = 0; y < cy; ++y)
        k->coef[std::size_t(y * xs + cx)] = list[i++];
    for (int32 x = 0; x < xs; ++x)
        k->coef[std::size_t(cy * xs + x)] = list[i++];
    for (int32 y = cy + 1; y < ys; ++y)
        k->coef[std::size_t(y * xs + cx)] = list[i++];
    return true;
}

std::int64_t convKernelSum(const convKernel& k)
{
    std::int64_t s = 0;
    for (std::int16_t c : k.coef)
        s += c;
    return s;
}

std::int64_t convDivisor(const convKernel& k, const convParams& p)
{
    if (p.csum > 1)
        return p.csum;
    if (p.csum == 1) {
        const std::int64_t s = convKernelSum(k);
        if (s > 1)
            return s;
    }
    return 1;
}

const convKernel& convBuiltinKernel(convBuiltin which)
{
    static const std::vector<convKernel> all = makeBuiltins();
    return all[std::size_t(which)];
}

int32 CONVOLVE(const convJob& job, const convWindow& w)
{
    engine e(job, w);
    return e.run();
}

int32 convolveImage(const convJob& job, int32u* px, int32 cols, int32 rows, std::size_t stride,
                    int32 x0, int32 y0, int32 x1, int32 y1)
{
    convWindow w;
    w.cols = cols;
    w.rows = rows;
    w.x0 = x0;
    w.y0 = y0;
    w.x1 = x1;
    w.y1 = y1;
    w.read = [&](int32 y, int32u* dst) {
        std::memcpy(dst, px + std::size_t(y) * stride, std::size_t(cols) * 4);
        return true;
    };
    w.target = [&](int32 y) { return px + std::size_t(y) * stride + std::size_t(x0); };
    w.commit = [](int32) { return true; };
    return CONVOLVE(job, w);
}
