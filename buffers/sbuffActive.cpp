#include "sbuffActive.h"

#include "diag.h"

namespace {

// Both instances live for the whole run; 55 KB each, so they are plain process-wide records.
sbuffMem instances[2];
int activeId = SBUFF_LOADER;

} // namespace

int SET_ACTIVE_sBUFF(int id)
{
    if (id != SBUFF_LOADER && id != SBUFF_EXPLOIT) {
        DIAG("\n***SEVERE** SET_ACTIVE_sBUFF() bad sBufID= %d", id);
        return -1;
    }
    activeId = id;
    return activeSbuffSlot();
}

int activeSbuffId()
{
    return activeId;
}

int activeSbuffSlot()
{
    return activeId == SBUFF_LOADER ? SBUFF_LOADER_SLOT : SBUFF_EXPLOIT_SLOT;
}

int32u activeSbuffMask()
{
    return int32u(1) << activeSbuffSlot();
}

sbuffMem& activeSbuff()
{
    return instances[activeId];
}

sbuffMem& sbuffInstance(int id)
{
    TAV_ASSERT(id == SBUFF_LOADER || id == SBUFF_EXPLOIT);
    return instances[id];
}

void resetSbuffs()
{
    instances[0] = {};
    instances[1] = {};
    activeId = SBUFF_LOADER;
}
