// Scanline conversion, de-resolution and byte swapping of the VSL pipeline.
#include "vslancil.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "diag.h"
#include "get_vsl.h"

subsamplState SUBSMPL;

namespace {

// Output column j of a reduction from `in` to `out` covers the inputs i with
// floor(i * out / in) == j: integer positions, so exactly `out` outputs, each at least one
// input wide (out <= in), and the last one ends on the last input.
inline std::int64_t runStart(std::int64_t j, std::int64_t in, std::int64_t out)
{
    return (j * in + out - 1) / out;
}

// True when input row r (0-based) is the last one of its output row.
inline bool closesRun(std::int64_t r, std::int64_t in, std::int64_t out)
{
    return ((r + 1) * out) / in > (r * out) / in;
}

// Box average of the RGBA row into dest (8-bit horizontal step).
void reduceRow8(const int32u* src, int32u* dest)
{
    const std::int64_t in = SUBSMPL.inCols, out = SUBSMPL.outCols;
    const auto* s = reinterpret_cast<const charu*>(src);
    auto* d = reinterpret_cast<charu*>(dest);
    std::int64_t start = 0;
    for (std::int64_t j = 0; j < out; ++j) {
        const std::int64_t end = runStart(j + 1, in, out);
        int32u sum[4] = {0, 0, 0, 0};
        for (std::int64_t i = start; i < end; ++i)
            for (int c = 0; c < 4; ++c)
                sum[c] += s[i * 4 + c];
        const auto n = static_cast<int32u>(end - start);
        for (int c = 0; c < 4; ++c)
            d[j * 4 + c] = static_cast<charu>(sum[c] / n);
        start = end;
    }
}

// 8-bit vertical step on an output-width row: sum it, or, on the row that closes the run,
// write the averages. 0 for an output row, 1 otherwise.
int32 verticalStep8(int32u* row)
{
    const std::int64_t cols = SUBSMPL.horiz ? SUBSMPL.outCols : SUBSMPL.inCols;
    const std::int64_t r = SUBSMPL.rowsIn++;
    auto* d = reinterpret_cast<charu*>(row);
    int32u* sums = SUBSMPL.sums.get();
    if (!closesRun(r, SUBSMPL.inRows, SUBSMPL.outRows)) {
        for (std::int64_t k = 0; k < cols * 4; ++k)
            sums[k] += d[k];
        ++SUBSMPL.rowsSummed;
        return PVSL_MORE;
    }
    const int32u n = static_cast<int32u>(SUBSMPL.rowsSummed) + 1;
    for (std::int64_t k = 0; k < cols * 4; ++k) {
        d[k] = static_cast<charu>((sums[k] + d[k]) / n);
        sums[k] = 0;
    }
    SUBSMPL.rowsSummed = 0;
    return PVSL_ROW_DONE;
}

// Red, green, blue samples (three bytes a pixel) into whole pixels. `keepAlpha` keeps the alpha
// byte already in the row (an earlier image of the buffer); otherwise alpha is 0 and the row
// is only written, never read.
void rgbToPixelsScalar(int32u* dest, const charu* s, std::int64_t n, bool keepAlpha)
{
    if (keepAlpha)
        for (std::int64_t i = 0; i < n; ++i, s += 3)
            dest[i] =
                (dest[i] & 0xFF000000u) | int32u(s[0]) << 16 | int32u(s[1]) << 8 | int32u(s[2]);
    else
        for (std::int64_t i = 0; i < n; ++i, s += 3)
            dest[i] = int32u(s[0]) << 16 | int32u(s[1]) << 8 | int32u(s[2]);
}

#if defined(__x86_64__)
// Four pixels per shuffle. A row that is only written (alpha 0) goes to memory with streaming
// stores: a whole picture does not fit in the cache, and reading its lines first for
// ownership doubles the memory traffic of a load.
__attribute__((target("ssse3"))) void rgbToPixelsSsse3(int32u* dest, const charu* s, std::int64_t n,
                                                       bool keepAlpha)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    std::int64_t i = 0;
    if (keepAlpha) {
        const __m128i alpha = _mm_set1_epi32(int(0xFF000000u));
        // 16 bytes are loaded for the 12 of four pixels: stop while they lie inside the row.
        for (; i + 6 <= n; i += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 3));
            __m128i* d = reinterpret_cast<__m128i*>(dest + i);
            const __m128i old = _mm_and_si128(_mm_loadu_si128(d), alpha);
            _mm_storeu_si128(d, _mm_or_si128(old, _mm_shuffle_epi8(v, order)));
        }
        rgbToPixelsScalar(dest + i, s + i * 3, n - i, true);
        return;
    }
    // Streaming stores need 16-byte alignment.
    for (; i < n && (reinterpret_cast<std::uintptr_t>(dest + i) & 15) != 0; ++i)
        dest[i] = int32u(s[i * 3]) << 16 | int32u(s[i * 3 + 1]) << 8 | int32u(s[i * 3 + 2]);
    for (; i + 6 <= n; i += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 3));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest + i), _mm_shuffle_epi8(v, order));
    }
    _mm_sfence();
    rgbToPixelsScalar(dest + i, s + i * 3, n - i, false);
}

bool haveSsse3()
{
    static const bool yes = __builtin_cpu_supports("ssse3");
    return yes;
}
#endif

void rgbToPixels(int32u* dest, const charu* s, std::int64_t n, bool keepAlpha)
{
#if defined(__x86_64__)
    if (haveSsse3()) {
        rgbToPixelsSsse3(dest, s, n, keepAlpha);
        return;
    }
#endif
    rgbToPixelsScalar(dest, s, n, keepAlpha);
}

int32 verticalStepHdr()
{
    const std::int64_t r = SUBSMPL.rowsIn++;
    return closesRun(r, SUBSMPL.inRows, SUBSMPL.outRows) ? PVSL_ROW_DONE : PVSL_MORE;
}

// HDR horizontal step in place: keeps the last pixel of each run (no averaging).
void decimateHdr(float* row, int32 samplesPerPixel, bool planes)
{
    const std::int64_t in = SUBSMPL.inCols, out = SUBSMPL.outCols;
    if (!planes) {
        for (std::int64_t j = 0; j < out; ++j) {
            const std::int64_t pick = runStart(j + 1, in, out) - 1;
            std::memmove(row + j * samplesPerPixel, row + pick * samplesPerPixel,
                         sizeof(float) * std::size_t(samplesPerPixel));
        }
        return;
    }
    for (int32 p = 0; p < samplesPerPixel; ++p) {
        const float* src = row + std::int64_t(p) * in;
        float* dst = row + std::int64_t(p) * out;
        for (std::int64_t j = 0; j < out; ++j)
            dst[j] = src[runStart(j + 1, in, out) - 1];
    }
}

// n samples of type T, `step` bytes apart, widened to floats `out` floats apart. The common
// layouts (contiguous samples into contiguous floats) compile to vector loops.
template <class T>
void widenRun(const charu* s, std::int64_t step, float* d, std::int64_t out, std::int64_t n)
{
    if (step == std::int64_t(sizeof(T)) && out == 1) {
        std::int64_t i = 0;
#if defined(__x86_64__)
        // Eight samples a step (the build's optimisation level leaves this loop scalar).
        if constexpr (std::is_same_v<T, std::int32_t>) {
            for (; i + 8 <= n; i += 8) {
                const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 4 + 16));
                _mm_storeu_ps(d + i, _mm_cvtepi32_ps(a));
                _mm_storeu_ps(d + i + 4, _mm_cvtepi32_ps(b));
            }
        } else if constexpr (std::is_same_v<T, std::uint16_t>) {
            const __m128i zero = _mm_setzero_si128();
            for (; i + 8 <= n; i += 8) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i * 2));
                _mm_storeu_ps(d + i, _mm_cvtepi32_ps(_mm_unpacklo_epi16(v, zero)));
                _mm_storeu_ps(d + i + 4, _mm_cvtepi32_ps(_mm_unpackhi_epi16(v, zero)));
            }
        }
#endif
        for (; i < n; ++i) {
            T v;
            std::memcpy(&v, s + i * std::int64_t(sizeof(T)), sizeof(T));
            d[i] = static_cast<float>(v);
        }
        return;
    }
    for (std::int64_t i = 0; i < n; ++i) {
        T v;
        std::memcpy(&v, s + i * step, sizeof(T));
        d[i * out] = static_cast<float>(v);
    }
}

// A run of samples widened to floats by data type: INT16 as unsigned 16-bit, INT32 as signed
// 32-bit, FLOAT32 copied, FLOAT64 rounded to single precision; other types give 0.
void widenSamples(const charu* s, std::int64_t step, float* d, std::int64_t out, std::int64_t n,
                  charu dataType)
{
    switch (dataType) {
    case DT_INT16:
        widenRun<std::uint16_t>(s, step, d, out, n);
        return;
    case DT_INT32:
        widenRun<std::int32_t>(s, step, d, out, n);
        return;
    case DT_FLOAT32:
        widenRun<float>(s, step, d, out, n);
        return;
    case DT_FLOAT64:
        widenRun<double>(s, step, d, out, n);
        return;
    default:
        for (std::int64_t i = 0; i < n; ++i)
            d[i * out] = 0.0f;
        return;
    }
}

int32 processHdr(charu* scan)
{
    const fdes* fd = VSL.fd;
    TAV_ASSERT(fd->quantiz > 8 && (fd->vslCtlm & vslIS_HDR));
    const std::int64_t cols = fd->lCols;
    const int bp = fd->bytsPixl;
    const bool planes = fd->storMode == SM_SCAN_IL || (fd->vslCtlm & VSL_SCAN_IL);
    const int nOut = fd->dBands;

    // Swap exactly the samples this row uses.
    const std::int64_t bytes = planes ? std::int64_t(nOut) * cols * bp : cols * VSL.pixStride;
    if (fd->vslCtlm & VSL_BSWAP)
        BSWAP(scan, bytes, bp);

    // Only the selected bands reach the HDR row.
    int32 src[4];
    std::memcpy(src, VSL.srcSample, sizeof src);
    if ((fd->vslCtlm & VSL_BGR2RGB) && fd->bands >= 3 && nOut >= 3)
        std::swap(src[0], src[2]);
    float* row = VSL.hdrRow.get();
    if (planes) {
        widenSamples(scan, bp, row, 1, std::int64_t(nOut) * cols, fd->dataType);
    } else if (nOut == 1 || (VSL.pixStride == nOut * bp && src[0] == 0 && src[1] == 1 &&
                             (nOut < 3 || src[2] == 2) && (nOut < 4 || src[3] == 3))) {
        // The row's samples in their own order: one run.
        widenSamples(scan + src[0] * bp, VSL.pixStride / nOut, row, 1, cols * nOut, fd->dataType);
    } else {
        for (int k = 0; k < nOut; ++k)
            widenSamples(scan + src[k] * bp, VSL.pixStride, row + k, nOut, cols, fd->dataType);
    }

    int32 result = PVSL_ROW_DONE;
    if (SUBSMPL.vert)
        result = verticalStepHdr();
    if (result == PVSL_ROW_DONE) {
        if (SUBSMPL.horiz)
            decimateHdr(row, nOut, planes);
        const vslHdrSink* sink = vslActiveHdrSink();
        if (sink && sink->putRow)
            sink->putRow(row, int32(fd->dCols));
    }
    return result;
}

} // namespace

int32 PROCESS_VSL(int32u* dest, charu* scan, int gun)
{
    const fdes* fd = VSL.fd;
    TAV_ASSERT(fd != nullptr);
    if (fd->bytsPixl != 1)
        return processHdr(scan);
    TAV_ASSERT(fd->quantiz <= 8);

    int32u* work = SUBSMPL.horiz ? VSL.rgbaRow.get() : dest;
    auto* w = reinterpret_cast<charu*>(work);
    const std::int64_t n = fd->lCols;
    const std::int64_t stride = VSL.pixStride;
    const int32u ctl = fd->vslCtlm;
    const int32* src = VSL.srcSample;
    const bool bgr = ctl & VSL_BGR2RGB;
    // The row of an untouched placement is written whole: its alpha is 0, and nothing of it is
    // read (the de-resolution row starts zeroed and is written whole into dest).
    const bool fresh = VSL.destUnset && work == dest;

    if (fd->storMode == SM_BAND_SEQ) {
        // One band per pass, into the gun of the pass.
        TAV_ASSERT(gun >= 0 && gun < 4);
        const int o = gunOfs[gun];
        for (std::int64_t i = 0; i < n; ++i)
            w[i * 4 + o] = scan[i];
    } else if (ctl & VSL_RGB) {
        if (fd->dBands != 3 && fd->dBands != 4)
            return PVSL_BAD_BANDS;
        if (fd->storMode == SM_SCAN_IL || (ctl & VSL_SCAN_IL)) {
            // Plane 1 to blue, 2 green, 3 red (4 alpha); BGRtoRGB exchanges planes 1 and 3.
            // Whole pixel words in one pass over the row.
            const int sh0 = bgr ? 16 : 0, sh2 = bgr ? 0 : 16;
            const charu *p0 = scan, *p1 = scan + n, *p2 = scan + 2 * n;
            if (fd->dBands == 4) {
                const charu* p3 = scan + 3 * n;
                for (std::int64_t i = 0; i < n; ++i)
                    work[i] = int32u(p0[i]) << sh0 | int32u(p1[i]) << 8 | int32u(p2[i]) << sh2 |
                              int32u(p3[i]) << 24;
            } else {
                for (std::int64_t i = 0; i < n; ++i)
                    work[i] = (fresh ? 0u : work[i] & 0xFF000000u) | int32u(p0[i]) << sh0 |
                              int32u(p1[i]) << 8 | int32u(p2[i]) << sh2;
            }
        } else if (fd->dBands == 3) {
            // Samples in red, green, blue order (blue, green, red with BGRtoRGB).
            const int oR = bgr ? 0 : 2, oB = bgr ? 2 : 0;
            const int s0 = src[0], s1 = src[1], s2 = src[2];
            if (!bgr && s0 == 0 && s1 == 1 && s2 == 2 && stride == 3) {
                // The common case, whole words at a time.
                rgbToPixels(work, scan, n, !fresh);
            } else
                for (std::int64_t i = 0; i < n; ++i) {
                    const charu* s = scan + i * stride;
                    charu* d = w + i * 4;
                    d[oR] = s[s0];
                    d[1] = s[s1];
                    d[oB] = s[s2];
                    if (fresh)
                        d[3] = 0;
                }
        } else {
            // Four samples are the pixel's bytes in memory order (red first with BGRtoRGB).
            const int o0 = bgr ? 2 : 0, o2 = bgr ? 0 : 2;
            for (std::int64_t i = 0; i < n; ++i) {
                const charu* s = scan + i * stride;
                charu* d = w + i * 4;
                d[o0] = s[src[0]];
                d[1] = s[src[1]];
                d[o2] = s[src[2]];
                d[3] = s[src[3]];
            }
        }
    } else if (ctl & VSL_ONE_GUN) {
        TAV_ASSERT(gun >= 0 && gun < 4);
        const int o = gunOfs[gun];
        const charu* s = scan + src[0];
        if (fresh)
            for (std::int64_t i = 0; i < n; ++i)
                work[i] = int32u(s[i * stride]) << (8 * o);
        else
            for (std::int64_t i = 0; i < n; ++i)
                w[i * 4 + o] = s[i * stride];
    } else if (ctl & VSL_GREY) {
        const charu* s = scan + src[0];
        if (fresh)
            for (std::int64_t i = 0; i < n; ++i)
                work[i] = int32u(s[i * stride]) * 0x010101u;
        else
            for (std::int64_t i = 0; i < n; ++i)
                work[i] = (work[i] & 0xFF000000u) | int32u(s[i * stride]) * 0x010101u;
    } else if (ctl & VSL_PALETTE) {
        const charu* r = VSL.anc[0].get();
        const charu* g = VSL.anc[1].get();
        const charu* b = VSL.anc[2].get();
        const charu* s = scan + src[0];
        for (std::int64_t i = 0; i < n; ++i) {
            const charu idx = s[i * stride];
            const int32u old = fresh ? 0u : work[i] & 0xFF000000u;
            work[i] = old | int32u(r[idx]) << 16 | int32u(g[idx]) << 8 | b[idx];
        }
    } else {
        TAV_ASSERT(false);
    }

    if (SUBSMPL.horiz)
        reduceRow8(work, dest);
    if (SUBSMPL.vert)
        return verticalStep8(dest);
    return PVSL_ROW_DONE;
}

int32 flushVerticalSum(int32u* dest)
{
    if (!SUBSMPL.vert || SUBSMPL.rowsSummed == 0 || !SUBSMPL.sums)
        return 1;
    const std::int64_t cols = SUBSMPL.horiz ? SUBSMPL.outCols : SUBSMPL.inCols;
    auto* d = reinterpret_cast<charu*>(dest);
    int32u* sums = SUBSMPL.sums.get();
    const auto n = static_cast<int32u>(SUBSMPL.rowsSummed);
    for (std::int64_t k = 0; k < cols * 4; ++k) {
        d[k] = static_cast<charu>(sums[k] / n);
        sums[k] = 0;
    }
    SUBSMPL.rowsSummed = 0;
    return 0;
}

int32 iniSubsamplSized(int32 bands, int32u ctl, int32 cols, int32 rows, const double factors[2],
                       int32 outCols, int32 outRows)
{
    freeSubsampl();
    const bool horiz = ctl & VSL_DERES_X, vert = ctl & VSL_DERES_Y;
    // Only a direction that is resampled needs a factor below one (SFACT=x,1 is legal).
    if (bands < 1 || bands > 4 || cols <= 15 || rows < 16 || (!horiz && !vert) ||
        (horiz && !(factors[0] > 0.0 && factors[0] <= 0.999)) ||
        (vert && !(factors[1] > 0.0 && factors[1] <= 0.999)))
        return SUBS_ARGS;
    if ((horiz && (outCols < 1 || outCols > cols)) || (vert && (outRows < 1 || outRows > rows)))
        return SUBS_ARGS;

    SUBSMPL.bands = bands;
    SUBSMPL.inCols = cols;
    SUBSMPL.inRows = rows;
    SUBSMPL.horiz = horiz;
    SUBSMPL.vert = vert;
    SUBSMPL.isHDR = ctl & vslIS_HDR;
    SUBSMPL.isScanIL = ctl & VSL_SCAN_IL;
    if (SUBSMPL.isScanIL)
        DIAG(" ...isSCAN_IL");
    if (SUBSMPL.isHDR)
        DIAG("...isHDR");
    SUBSMPL.fx = horiz ? factors[0] : 1.0;
    SUBSMPL.fy = vert ? factors[1] : 1.0;
    SUBSMPL.outCols = horiz ? outCols : cols;
    SUBSMPL.outRows = vert ? outRows : rows;
    if (vert) {
        SUBSMPL.rowsIn = 0;
        SUBSMPL.rowsSummed = 0;
        if (!SUBSMPL.isHDR) {
            const std::size_t n = std::size_t(SUBSMPL.outCols) * 4;
            SUBSMPL.sums.reset(static_cast<int32u*>(std::calloc(n, sizeof(int32u))));
            if (!SUBSMPL.sums) {
                freeSubsampl();
                return SUBS_NO_MEM;
            }
        }
    }
    return SUBS_OK;
}

int32 INI_SUBSAMPL(int32 bands, int32u ctl, int32 cols, int32 rows, const double factors[2])
{
    const bool horiz = ctl & VSL_DERES_X, vert = ctl & VSL_DERES_Y;
    const int32 outCols = horiz ? static_cast<int32>(factors[0] * cols) : cols;
    const int32 outRows = vert ? static_cast<int32>(factors[1] * rows) : rows;
    return iniSubsamplSized(bands, ctl, cols, rows, factors, outCols, outRows);
}

void freeSubsampl()
{
    SUBSMPL = {};
}

void BSWAP(void* buf, std::int64_t nbytes, int bytsPixl)
{
    TAV_ASSERT(bytsPixl > 0 && !(nbytes % bytsPixl));
    auto* p = static_cast<charu*>(buf);
    switch (bytsPixl) {
    case 2:
        for (std::int64_t i = 0; i < nbytes; i += 2)
            std::swap(p[i], p[i + 1]);
        break;
    case 4:
        for (std::int64_t i = 0; i < nbytes; i += 4) {
            std::uint32_t v;
            std::memcpy(&v, p + i, 4);
            v = __builtin_bswap32(v);
            std::memcpy(p + i, &v, 4);
        }
        break;
    case 8:
        for (std::int64_t i = 0; i < nbytes; i += 8) {
            std::uint64_t v;
            std::memcpy(&v, p + i, 8);
            v = __builtin_bswap64(v);
            std::memcpy(p + i, &v, 8);
        }
        break;
    default:
        break;
    }
}
