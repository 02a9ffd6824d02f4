#include "viewBuilder.h"

#include "diag.h"

bool plentyOfMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap)
{
    freeRam = std::uint64_t(64) << 30;
    freeSwap = 0;
    return true;
}

bool scarceMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap)
{
    freeRam = 1000;
    freeSwap = 0;
    return true;
}

viewBuilder::viewBuilder(int32 w, int32 h) : vs(vState)
{
    build(w, h, true, 0);
}

viewBuilder::viewBuilder(int32 w, int32 h, int32u fill) : vs(vState)
{
    build(w, h, false, fill);
}

int32u viewBuilder::pattern(int32 x, int32 y)
{
    return 0xff000000u | int32u((x * 7 + y * 13) & 0xff) << 16 | int32u((x * 3) & 0xff) << 8 |
           int32u((y * 5) & 0xff);
}

void viewBuilder::build(int32 w, int32 h, bool patterned, int32u fill)
{
    setFreeMemSource(plentyOfMemory);
    resetViewState();
    bufdes* table = INIT_BUFMGT();
    TAV_ASSERT(table != nullptr);
    bd = &table[0];
    int st = 0;
    int32u* px = CREATE_iBUFF(bd, w, h, &st);
    TAV_ASSERT(px != nullptr);
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x)
            px[std::size_t(y) * std::size_t(w) + std::size_t(x)] = patterned ? pattern(x, y) : fill;
    bd->numImgs = 1;
    bd->bufCtlm |= bufLOADED;
    bd->fgAoi = bd->bgAoi = aoiRec{0, 0, w - 1, h - 1};
    // As the loop leaves it before its first menu: identity LUTs, default LUTs shown.
    vs.bufObjs = table;
    vs.currB = 0;
    vs.bd = bd;
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i) {
            vs.dfltLut[g][i] = charu(i);
            vs.tranLut[g][i] = bd->tLut[g][i];
        }
    loadDisplayLuts(&vs);
}

viewBuilder::~viewBuilder()
{
    RELEASE_BUFMGT();
    resetViewState();
    setFreeMemSource(nullptr);
}
