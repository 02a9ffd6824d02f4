#include "lutTables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

inline charu level(double v)
{
    // An out-of-range value is held at the nearer end: 256 stored in 8 bits would be 0.
    v = v > 0.0 ? v : 0.0;
    v = v < 255.0 ? v : 255.0;
    return charu(int(v));
}

} // namespace

void clearHists(gunHist h[3])
{
    for (int g = 0; g < 3; ++g) {
        std::fill(std::begin(h[g].count), std::end(h[g].count), 0.0);
        h[g].total = 0;
        h[g].lo = 0;
        h[g].hi = -1;
    }
}

void histRows(std::span<const int32u> row, gunHist h[3])
{
    // Integer bins first: a double add per pixel and gun would cost more than the rest.
    int32u c[3][256] = {};
    for (int32u p : row) {
        ++c[0][(p >> (8 * gunByteOfs[0])) & 0xff];
        ++c[1][(p >> (8 * gunByteOfs[1])) & 0xff];
        ++c[2][(p >> (8 * gunByteOfs[2])) & 0xff];
    }
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i)
            h[g].count[i] += c[g][i];
}

void finishHist(gunHist& h)
{
    h.total = 0;
    h.lo = 0;
    h.hi = -1;
    for (int i = 0; i < 256; ++i) {
        if (h.count[i] <= 0)
            continue;
        if (h.hi < 0)
            h.lo = i;
        h.hi = i;
        h.total += h.count[i];
    }
}

void identityLut(charu lut[256])
{
    for (int i = 0; i < 256; ++i)
        lut[i] = charu(i);
}

bool isIdentityLut(const charu lut[256])
{
    for (int i = 0; i < 256; ++i)
        if (lut[i] != i)
            return false;
    return true;
}

int32 equalizeLut(const double count[256], charu lut[256])
{
    const double n = std::accumulate(count, count + 256, 0.0);
    if (!(n > 0))
        return LUTK_EMPTY;
    double c = 0;
    for (int i = 0; i < 256; ++i) {
        c += count[i];
        const float scaled = float(c * 255.0);
        lut[i] = level(std::floor(0.5 + double(scaled) / n));
    }
    return LUTK_OK;
}

int32 combLut(int32 n, charu lut[256])
{
    if (n < 2 || n > 128 || (n & (n - 1)) != 0)
        return LUTK_ARG;
    const int32 period = 256 / n;
    bool flip = false;
    for (int32 i = 0; i < 256; ++i) {
        int32 v = i * n;
        if (v > 255)
            v %= 255;
        if (i >= period && i % period == 0)
            flip = !flip;
        lut[i] = charu(flip ? 255 - v : v);
    }
    return LUTK_OK;
}

int32 infometricLut(const gunHist& h, int32 kind, charu lut[256])
{
    if (kind < INFO_ENTROPY || kind > INFO_REL_REDUN)
        return LUTK_ARG;
    const double n = std::accumulate(h.count, h.count + 256, 0.0);
    if (!(n > 0))
        return LUTK_EMPTY;
    const double floorShare = std::ldexp(1.0, -16), rare = std::ldexp(1.0, -8);
    for (int i = 0; i < 256; ++i) {
        if (!(h.count[i] > 0)) {
            lut[i] = 0;
            continue;
        }
        double x = h.count[i] / n;
        if (x < floorShare)
            x = floorShare;
        if (x < rare)
            x = floorShare / x;
        const double bits = -std::log2(x);
        double v;
        if (kind == INFO_ENTROPY)
            v = std::exp2(bits);
        else if (kind == INFO_ABS_REDUN)
            v = std::exp2(8.0 - bits);
        else
            v = 255.0 * (1.0 - bits / 8.0);
        lut[i] = level(std::floor(v));
    }
    return LUTK_OK;
}

void invertLut(charu lut[256])
{
    for (int i = 0; i < 256; ++i)
        lut[i] = charu(255 - lut[i]);
}

void cycleLut(charu lut[256], bool down, bool rotate)
{
    if (down) {
        const charu first = lut[0];
        std::copy(lut + 1, lut + 256, lut);
        lut[255] = rotate ? first : 0;
    } else {
        const charu last = lut[255];
        std::copy_backward(lut, lut + 255, lut + 256);
        lut[0] = rotate ? last : 0;
    }
}

void rampLut(std::span<const rampPoint> pts, charu lut[256])
{
    identityLut(lut);
    if (pts.size() < 3)
        return;
    std::vector<rampPoint> p(pts.begin(), pts.end());
    for (rampPoint& q : p) {
        q.level = std::clamp(q.level, 0, 255);
        q.height = std::clamp(q.height, 0, 255);
    }
    std::stable_sort(p.begin(), p.end(),
                     [](const rampPoint& a, const rampPoint& b) { return a.level < b.level; });
    int32 filled = 0; // first level not yet given a height
    for (std::size_t k = 0; k + 1 < p.size(); ++k) {
        const rampPoint a = p[k], b = p[k + 1];
        // A vertical segment covers no level: the next segment starts from its top.
        for (int32 i = std::max(a.level, filled); i < b.level; ++i)
            lut[i] = charu(a.height + (b.height - a.height) * (i - a.level) / (b.level - a.level));
        filled = std::max(filled, b.level);
    }
    for (int32 i = filled; i < 256; ++i)
        lut[i] = charu(p.back().height);
}

int32 specifyLut(const double count[256], const charu desired[256], charu lut[256])
{
    double want[256];
    for (int i = 0; i < 256; ++i)
        want[i] = desired[i];
    charu d[256], e[256];
    if (equalizeLut(want, d) != LUTK_OK || equalizeLut(count, e) != LUTK_OK)
        return LUTK_EMPTY;
    charu inv[256];
    for (int i = 0; i < 256; ++i) {
        int best = 0, bestDist = 1 << 30;
        for (int j = 0; j < 256; ++j) {
            const int dist = std::abs(i - int(d[j]));
            if (dist < bestDist) {
                bestDist = dist;
                best = j;
            }
        }
        inv[i] = charu(best);
    }
    for (int i = 0; i < 256; ++i)
        lut[i] = inv[e[i]];
    return LUTK_OK;
}

void remapHist(gunHist& h, const charu lut[256])
{
    double moved[256] = {};
    for (int i = 0; i < 256; ++i)
        moved[lut[i]] += h.count[i];
    std::copy(std::begin(moved), std::end(moved), std::begin(h.count));
    finishHist(h);
}
