#include "pseudoLut.h"

#include <algorithm>
#include <cmath>

#include "diag.h"
#include "hdrScale.h"

int PSEUDO_LUT(const int32 range[2], charu* red, charu* green, charu* blue, int32 count,
               int32u mode, int32 offset, double scale)
{
    const int32 lo = range ? std::min(range[0], range[1]) : 0;
    const int32 hi = range ? std::max(range[0], range[1]) : 0;
    const int32 teeth = int32(mode & 127), steps = int32(mode & 255);
    const bool comb = (mode & PSL_COMB) != 0;
    if (!range || !red || !green || !blue || count < 1 || count > 65535 || hi - lo + 1 < 16 ||
        offset < 0 || !(scale >= 1.0) || (comb && teeth < 1)) {
        DIAG("\n---error return from PSEUDO_LUT");
        return -1;
    }
    // The pseudo curve spans its whole colour cycle over a unit range.
    hdrRowScale s{6, 0.0, 1.0, 5.694136686, 0.0, 0.0};
    const double width = double(hi - lo);
    for (int32 i = 0; i < count; ++i) {
        double u = ((double(i) - offset) / scale - lo) / width;
        u = std::clamp(u, 0.0, 1.0);
        if (comb) {
            const double t = u * teeth;
            const double k = std::floor(t);
            const double f = t - k;
            u = std::fmod(k, 2.0) == 0.0 ? f : 1.0 - f;
        } else if (steps >= 2) {
            u = std::min(std::floor(u * steps), double(steps - 1)) / double(steps - 1);
        }
        charu bgr[3];
        hdrPseudoLevels(s, float(u), bgr);
        blue[i] = bgr[0];
        green[i] = bgr[1];
        red[i] = bgr[2];
    }
    return 0;
}
