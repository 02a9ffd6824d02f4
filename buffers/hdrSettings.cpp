#include "hdrSettings.h"

hdrSettings hdrSet{};

void SET_HDR_DEFAULT_RANGE(int mode)
{
    if (mode < HDR_MED3SD || mode > HDR_FULL)
        mode = HDR_MED3SD;
    hdrSet.rangeMode[0] = hdrSet.rangeMode[1] = mode;
}

void resetHdrSettings()
{
    hdrSet = hdrSettings{};
}
