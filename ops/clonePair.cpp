#include "clonePair.h"

bufdes* clonePartner(bufdes* table, const bufdes* bd)
{
    if (!table || !bd || bd->linkBuf < 1 || bd->linkBuf > NUM_iBUFF || bd->linkBuf == bd->bufNum)
        return nullptr;
    bufdes* p = &table[bd->linkBuf - 1];
    if (!p->imgbuf || p->linkBuf != bd->bufNum || p->width != bd->width || p->height != bd->height)
        return nullptr;
    return p;
}
