// The view state and its pure rules: the ancillary column's boxes and the display LUTs chosen
// by the gun mask.
#include "viewState.h"

#include "bTransl.h"
#include "lutKernels.h"

viewState vState;

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
    return chooseDisplayLuts(vs->dfltLut, vs->tranLut, vs->dfltLutOn, vs->gunMask, vs->dispLut);
}

void resetViewState()
{
    vState = viewState{};
}
