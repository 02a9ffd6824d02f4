#include "viewDims.h"

#include <algorithm>

#include "diag.h"

viewDims vDims{DPY_FIT, 1024, 768, false, false, 0, 0, 0, 0};

void resetViewDims()
{
    vDims = viewDims{DPY_FIT, 1024, 768, false, false, 0, 0, 0, 0};
}

int32 viewSizeAdjust(int32 v)
{
    return v + v % 16;
}

void SET_DPY_TYPE(charu type)
{
    if (!vDims.lock)
        vDims.dpyType = type;
}

void SET_VIEW_MAX(int32 cols, int32 rows)
{
    if (vDims.lock)
        return;
    vDims.maxW = viewSizeAdjust(std::max(cols, 768));
    vDims.maxH = viewSizeAdjust(std::max(rows, 768));
}

void SET_VIEW_LOCK(bool on)
{
    vDims.lock = on;
}

void SET_VIEW_DIM()
{
    if (vDims.lock)
        return;
    vDims.fullScreen = false;
    int32 w = int32(vDims.width), h = int32(vDims.height);
    switch (vDims.dpyType) {
    case DPY_FULL:
        vDims.fullScreen = true;
        w = vDims.screenW;
        h = vDims.screenH - 32;
        break;
    case DPY_FIT:
    case DPY_MAX:
        w = std::min(int32(0.85 * vDims.screenW), vDims.maxW);
        h = std::min(int32(0.85 * vDims.screenH), vDims.maxH);
        break;
    case DPY_MIN:
        w = h = 768;
        break;
    default:
        DIAG("\n***TAV_WMGT|SET_VIEW_DIM(): dpyType fail");
        return;
    }
    if (!vDims.fullScreen) {
        w = viewSizeAdjust(w);
        h = viewSizeAdjust(h);
    }
    vDims.width = int32u(std::max(w, 768));
    vDims.height = int32u(std::max(h, 768));
}

void viewPosition(int32 w, int32 h, int32 scrW, int32 scrH, bool full, int32* x, int32* y)
{
    if (full) {
        *x = *y = 0;
        return;
    }
    *x = (scrW - w) / 2;
    *y = (scrH - h) / 2;
    if (*x + w >= scrW || *x < 0)
        *x = 0;
    if (*y + h >= scrH || *y < 0)
        *y = 0;
}

int pickTrueColor(const visualCand* list, int n, bool* bgr)
{
    constexpr int trueColorClass = 4;
    auto matches = [&](const visualCand& v, unsigned long r, unsigned long b) {
        return v.depth == 24 && v.cls == trueColorClass && v.cmapSize == 256 && v.bitsRgb == 8 &&
               v.redMask == r && v.greenMask == 0x00ff00 && v.blueMask == b;
    };
    *bgr = false;
    for (int i = 0; i < n; ++i)
        if (matches(list[i], 0xff0000, 0x0000ff))
            return i;
    for (int i = 0; i < n; ++i)
        if (matches(list[i], 0x0000ff, 0xff0000)) {
            *bgr = true;
            return i;
        }
    return -1;
}

bool gunBytesFromMasks(unsigned long red, unsigned long green, unsigned long blue, charu out[4])
{
    auto byteOf = [](unsigned long mask) -> int {
        for (int b = 0; b < 4; ++b)
            if (mask == (0xFFul << (8 * b)))
                return b;
        return -1;
    };
    const int r = byteOf(red), g = byteOf(green), b = byteOf(blue);
    if (r < 0 || g < 0 || b < 0 || r == g || g == b || r == b || r == 3 || g == 3 || b == 3)
        return false;
    out[0] = charu(r);
    out[1] = charu(g);
    out[2] = charu(b);
    out[3] = 3;
    return true;
}

namespace {

constexpr int bufferGunByte[4] = {2, 1, 0, 3}; // red, green, blue, alpha in an iBUFF pixel

// Moves each gun's byte from the byte given by one table to the byte given by the other.
void moveGuns(int32u* px, std::size_t n, const int from[4], const int to[4])
{
    for (std::size_t i = 0; i < n; ++i) {
        const int32u p = px[i];
        int32u q = 0;
        for (int g = 0; g < 4; ++g)
            q |= ((p >> (8 * from[g])) & 0xffu) << (8 * to[g]);
        px[i] = q;
    }
}

} // namespace

bool gunTableIsBuffers(const charu gunOfs[4])
{
    for (int g = 0; g < 4; ++g)
        if (gunOfs[g] != bufferGunByte[g])
            return false;
    return true;
}

void pixelsToVisual(int32u* px, std::size_t n, const charu gunOfs[4])
{
    const int to[4] = {gunOfs[0], gunOfs[1], gunOfs[2], gunOfs[3]};
    moveGuns(px, n, bufferGunByte, to);
}

void pixelsFromVisual(int32u* px, std::size_t n, const charu gunOfs[4])
{
    const int from[4] = {gunOfs[0], gunOfs[1], gunOfs[2], gunOfs[3]};
    moveGuns(px, n, from, bufferGunByte);
}
