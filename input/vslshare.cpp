// What the readers that decode a whole picture at once (WebP, AVIF) share: the file's bytes
// in memory, and the rule for decoding straight into the iBUFF.
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

bool vslDirectIngestAllowed()
{
    const fdes* fd = VSL.fd;
    const bufdes* b = VSL.bd;
    if (!fd || !b || !b->imgbuf)
        return false;
    // Any tag that changes which pixels go where, or how, needs the row pipeline.
    constexpr int32u kTagged = VSL_DERES_X | VSL_DERES_Y | VSL_BSWAP | VSL_PALETTE | VSL_GREY |
                               VSL_ONE_GUN | VSL_FLIP | VSL_MIRR | VSL_R180 | VSL_GFILL |
                               VSL_BGR2RGB | vslIS_HDR;
    if (!(fd->vslCtlm & VSL_RGB) || (fd->vslCtlm & kTagged) || fd->quantiz != 8 ||
        fd->bytsPixl != 1)
        return false;
    if (b->numImgs != 0 || fd->fXofs != 0 || fd->fYofs != 0 || fd->bXofs != 0 || fd->bYofs != 0)
        return false;
    if (fd->lCols != fd->fCols || fd->dCols != fd->fCols || fd->lRows != fd->fRows ||
        fd->dRows != fd->fRows || std::int64_t(b->width) != fd->fCols ||
        std::int64_t(b->height) != fd->fRows)
        return false;
    // The file's own bands, in their own order.
    if (fd->dBands != fd->bands)
        return false;
    for (int k = 0; k < 4; ++k)
        if (fd->Bands[k] != (k < fd->bands ? k + 1 : 0))
            return false;
    return true;
}

bool vslBlockHoldsKeptPixels()
{
    // A replacing load clears the buffer but keeps its block and the earlier size until the
    // new image's first pixel is written; a failed load then puts the earlier images back.
    const bufdes* b = VSL.bd;
    return b && b->prevWidth > 0 && b->prevHeight > 0;
}

int32 vslReadWholeStream(std::FILE* fp, std::uint64_t limit, charu** data, std::uint64_t* size)
{
    *data = nullptr;
    *size = 0;
    struct stat st {};
    if (!fp || fstat(fileno(fp), &st) != 0 || st.st_size <= 0)
        return -2;
    std::uint64_t n = std::uint64_t(st.st_size);
    if (limit > 0 && n > limit)
        n = limit;
    std::string msg;
    if (!SAFE_MEM_REQ(n, &msg)) {
        DIAG("\n***%s", msg.c_str());
        return -1;
    }
    auto* p = static_cast<charu*>(bigAlloc(n));
    if (!p)
        return -1;
    std::rewind(fp);
    if (std::fread(p, 1, n, fp) != n) {
        bigFree(p);
        return -2;
    }
    *data = p;
    *size = n;
    return 0;
}

int32 vslServeDecodedRow(charu* image, std::uint64_t rowBytes, std::uint32_t rows,
                         std::uint32_t* next, charu* buf, int skip)
{
    if (!image || *next >= rows)
        return -1;
    charu* row = image + std::uint64_t((*next)++) * rowBytes;
    if (skip)
        return 0;
    if (buf == VSL.rowView)
        VSL.rowView = row;
    else
        std::memcpy(buf, row, rowBytes);
    return 0;
}
