#include "viewDims.h"

#include <algorithm>

#include "diag.h"

viewDims vDims{DPY_FIT, 1024, 768, false, false, 0, 0, 0, 0};

void resetViewDims() { vDims = viewDims{DPY_FIT, 1024, 768, false, false, 0, 0, 0, 0}; }

int32 viewSizeAdjust(int32 v) { return v + v % 16; }

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

void SET_VIEW_LOCK(bool on) { vDims.lock = on; }

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
