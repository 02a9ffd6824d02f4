// The view state and its pure rules: gamma tables, the ancillary column's boxes and the
// display LUTs chosen by the gun mask.
#include <cmath>

#include "bTransl.h"
#include "tav_view.h"

viewState vState;

void gammaTable(double g, charu out[256])
{
    if (!(g >= 0.1 && g <= 5.0))
        g = 1.7;
    for (int i = 0; i < 256; ++i)
        out[i] = charu(std::trunc(0.5 + 255.0 * std::pow(i / 255.0, g)));
}

void ancillaryBoxes(int32 w, int32 h, viewState* vs)
{
    const int32 left = w - ANCIL_COLUMN_W, right = w - 1, bottom = h - 1;
    vs->ancColumn = aoiRec{left, 0, right, bottom};
    vs->roamBox = aoiRec{left, h - 224, right, bottom};
    vs->graphBox = aoiRec{left, h - 224 - 256, right, h - 225};
    vs->smallScreen = h < 768;
    vs->topBox = aoiRec{left, 1, right, vs->smallScreen ? bottom : h - 224 - 257};
}

bool loadDisplayLuts(viewState* vs)
{
    bool transform = false;
    for (int g = 0; g < 3; ++g) {
        const bool dflt = vs->dfltLutOn || (vs->gunMask & (1u << g));
        const charu* src = dflt ? vs->dfltLut[g] : vs->tranLut[g];
        for (int i = 0; i < 256; ++i)
            vs->dispLut[g][i] = src[i];
        transform |= !dflt;
    }
    return transform;
}

void resetViewState()
{
    vState = viewState{};
}
