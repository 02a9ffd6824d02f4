#include "sbuffStats.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <algorithm>
#include <limits>

#include "diag.h"
#include "vectorClones.h"

namespace {

// Process-wide so that a corrupt accumulator reports once per hundred bad samples, not per line.
std::uint64_t corruptCount = 0;

// Variance with the shortcut of the sums; rounding can leave it a hair below zero, and one
// sample has no spread at all: both are zero here, never a NaN that would reach the scaling.
double sampleVariance(double sumDev2, double sumDev, double n)
{
    if (n <= 1)
        return 0;
    const double var = (sumDev2 - sumDev * sumDev / n) / (n - 1);
    return var > 0 ? var : 0;
}

} // namespace

void INIT_BAND_STATS(bandStats* rec, int band)
{
    std::memset(rec, 0, sizeof *rec);
    rec->low = 1e37;
    rec->high = -1e37;
    rec->band = static_cast<std::int16_t>(band);
}

void resetScalBlk(bandScalBlk* blk)
{
    std::memset(blk->binSum, 0, sizeof blk->binSum);
    std::memset(blk->binCount, 0, sizeof blk->binCount);
    std::memset(blk->descale, 0, sizeof blk->descale);
}

TAV_VECTOR_CLONES void P1_ACCUM_FSTATS(float* samples, bandStats* rec, std::size_t n)
{
    // A NaN or an infinity has no place on the scale: stored and counted as 0. The test is on
    // the exponent bits so that the loop stays branch-free and vectorises.
    std::uint32_t* bits = reinterpret_cast<std::uint32_t*>(samples);
#pragma omp simd
    for (std::size_t i = 0; i < n; ++i)
        bits[i] = (bits[i] & 0x7f800000u) == 0x7f800000u ? 0u : bits[i];
    // Extremes are exact in single precision; the sum is kept in double.
    float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
    double sum = 0;
#pragma omp simd reduction(min : lo) reduction(max : hi) reduction(+ : sum)
    for (std::size_t i = 0; i < n; ++i) {
        const float x = samples[i];
        lo = x < lo ? x : lo;
        hi = x > hi ? x : hi;
        sum += double(x);
    }
    if (n > 0) {
        rec->low = std::min(rec->low, double(lo));
        rec->high = std::max(rec->high, double(hi));
    }
    rec->sum += sum;
    rec->count += double(n);
    if (rec->count > 0)
        rec->mean = rec->sum / rec->count;
}

TAV_VECTOR_CLONES void P2_ACCUM_FSTATS(float* samples, bandScalBlk* blk, bandStats* rec,
                                       std::size_t n)
{
    const double low = rec->low, high = rec->high, mean = rec->mean;
    const double span = high - low;
    // A constant band has nothing to spread: every sample belongs in bin 0.
    const double toBin = span > 0 ? 1023.0 / span : 0.0;
    // Histogram, a chunk at a time: the bins are found by the vector unit, then scattered into
    // two interleaved sub-histograms so that neighbouring samples of one level update
    // different counters. A chunk holding a sample outside the extremes (a corrupt
    // accumulator) is binned again one sample at a time, to report and mend it.
    constexpr std::size_t kChunk = 1024;
    int bins[kChunk];
    int32u count2[SBUFF_HIST_BINS];
    double sum2[SBUFF_HIST_BINS];
    std::memset(count2, 0, sizeof count2);
    std::memset(sum2, 0, sizeof sum2);
    for (std::size_t base = 0; base < n; base += kChunk) {
        const std::size_t m = std::min(kChunk, n - base);
        float* x = samples + base;
        int bad = 0;
#pragma omp simd reduction(| : bad)
        for (std::size_t j = 0; j < m; ++j) {
            const double t = (double(x[j]) - low) * toBin;
            const bool ok = t >= 0 && t < SBUFF_HIST_BINS;
            bins[j] = ok ? int(t) : 0;
            bad |= ok ? 0 : 1;
        }
        if (bad)
            for (std::size_t j = 0; j < m; ++j) {
                const double t = (double(x[j]) - low) * toBin;
                if (t >= 0 && t < SBUFF_HIST_BINS)
                    continue;
                if (corruptCount % 100 == 0)
                    DIAG("\n***P2_ACCUM_FSTATS(): data corruption.\n   Lo= %f Hi= %f Data= %f "
                         "Hist index= %d",
                         low, high, double(x[j]),
                         std::isfinite(t) && std::fabs(t) < 2e9 ? int(t) : -1);
                ++corruptCount;
                x[j] = float(low);
                bins[j] = 0;
            }
        std::size_t j = 0;
        for (; j + 1 < m; j += 2) {
            blk->binCount[bins[j]] += 1;
            blk->binSum[bins[j]] += x[j];
            count2[bins[j + 1]] += 1;
            sum2[bins[j + 1]] += x[j + 1];
        }
        if (j < m) {
            blk->binCount[bins[j]] += 1;
            blk->binSum[bins[j]] += x[j];
        }
    }
    for (int b = 0; b < SBUFF_HIST_BINS; ++b) {
        blk->binCount[b] += count2[b];
        blk->binSum[b] += sum2[b];
    }
    // Moments about the mean, in double; the reduction order is the vector unit's.
    double sAbs = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
#pragma omp simd reduction(+ : sAbs, s1, s2, s3, s4)
    for (std::size_t k = 0; k < n; ++k) {
        const double d = double(samples[k]) - mean, d2 = d * d;
        sAbs += d < 0 ? -d : d;
        s1 += d;
        s2 += d2;
        s3 += d2 * d;
        s4 += d2 * d2;
    }
    rec->sumAbsDev += sAbs;
    rec->sumDev += s1;
    rec->sumDev2 += s2;
    rec->sumDev3 += s3;
    rec->sumDev4 += s4;
}

void FINISH_FSTATS(bandScalBlk* blk, bandStats* rec)
{
    if (rec->finalised)
        return;
    rec->finalised = 1;
    const double n = rec->count;
    rec->meanAbsDev = n > 0 ? rec->sumAbsDev / n : 0;
    const double var = sampleVariance(rec->sumDev2, rec->sumDev, n);
    rec->stdDev = std::sqrt(var);
    if (var == 0) {
        rec->skew = rec->kurtosis = 0;
    } else {
        rec->skew = rec->sumDev3 / (n * var * rec->stdDev);
        rec->kurtosis = rec->sumDev4 / (n * var * var) - 3;
    }
    HIST_MEDIAN_MODE(blk, rec);
}

void HIST_MEDIAN_MODE(bandScalBlk* blk, bandStats* rec)
{
    const double half = std::floor(rec->count / 2);
    double cum = 0;
    int modeBin = -1, medBin = -1, prevBin = -1;
    double cumBeforeMed = 0;
    int32u best = 0;
    for (int b = 0; b < SBUFF_HIST_BINS; ++b) {
        const int32u c = blk->binCount[b];
        if (c == 0)
            continue;
        blk->binSum[b] /= c;
        if (c > best) {
            best = c;
            modeBin = b;
        }
        if (medBin < 0) {
            if (cum + c > half) {
                medBin = b;
                cumBeforeMed = cum;
            } else {
                prevBin = b;
            }
        }
        cum += c;
    }
    if (medBin < 0) { // an empty histogram
        rec->median = rec->mode = 0;
        return;
    }
    // With an even count whose middle pair straddles two bins the median is their mean; in
    // every other case the middle sample lies in bin m itself.
    const bool straddles = prevBin >= 0 && cumBeforeMed == half && std::fmod(rec->count, 2) == 0;
    rec->median =
        straddles ? (blk->binSum[prevBin] + blk->binSum[medBin]) / 2 : blk->binSum[medBin];
    rec->mode = blk->binSum[modeBin];
}

int COLLATE_HIST(const int32u* hist, double* out, int n)
{
    double total = 0;
    int lo = -1, hi = -1;
    for (int v = 0; v < n; ++v)
        if (hist[v]) {
            total += hist[v];
            if (lo < 0)
                lo = v;
            hi = v;
        }
    if (total <= 255) {
        DIAG("\n***COLLATE_HIST() fail : N < 256");
        return -1;
    }
    double sumV = 0;
    int32u best = 0;
    int modeBin = lo;
    for (int v = lo; v <= hi; ++v) {
        sumV += double(v) * hist[v];
        if (hist[v] > best) {
            best = hist[v];
            modeBin = v;
        }
    }
    const double mean = sumV / total;
    const double half = std::floor(total / 2);
    double cum = 0, sAbs = 0, s1 = 0, s2 = 0, s3 = 0, s4 = 0;
    int medBin = -1;
    for (int v = lo; v <= hi; ++v) {
        const double c = hist[v];
        cum += c;
        if (medBin < 0 && cum >= half)
            medBin = v;
        const double d = v - mean;
        sAbs += std::fabs(d) * c;
        s1 += d * c;
        s2 += d * d * c;
        s3 += d * d * d * c;
        s4 += d * d * d * d * c;
    }
    const double var = sampleVariance(s2, s1, total);
    const double sd = std::sqrt(var);
    out[COLL_LOW] = lo;
    out[COLL_HIGH] = hi;
    out[COLL_MEAN] = mean;
    out[COLL_MEDIAN] = medBin;
    out[COLL_MODE] = modeBin;
    out[COLL_MEAN_ABS_DEV] = sAbs / total;
    out[COLL_STDDEV] = sd;
    out[COLL_SKEW] = var > 0 ? s3 / (total * var * sd) : 0;
    out[COLL_KURTOSIS] = var > 0 ? s4 / (total * var * var) - 3 : 0;
    out[COLL_N] = total;
    out[COLL_MODE_COUNT] = best;
    return 0;
}

std::uint64_t histCorruptCount()
{
    return corruptCount;
}
void resetHistCorrupt()
{
    corruptCount = 0;
}
