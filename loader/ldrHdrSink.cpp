#include "ldrHdrSink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "folio_utl.h"
#include "get_vsl.h"
#include "sbuffActive.h"

namespace {

struct sinkState {
    int32 perPixel = 1; // floats per pixel of the pipeline's HDR row
    int32 status = 0;
    int32 detail = 0;
};
sinkState sink;

void fail(int32 status, int32 detail)
{
    if (sink.status == 0) {
        sink.status = status;
        sink.detail = detail;
    }
}

int selectLoader()
{
    if (SET_ACTIVE_sBUFF(SBUFF_LOADER) < 0)
        return -1;
    // The scratch file exists from start-up; a test or a failed tmpfile may have left it out.
    if (!FOLIO_CREATED(SBUFF_LOADER_SLOT))
        CLAIM_FOLIOS(1u << SBUFF_LOADER_SLOT);
    return FOLIO_CREATED(SBUFF_LOADER_SLOT) ? 0 : -1;
}

// The accumulator's header from the load's plan: a one-gun load is one band of a composition
// (appended when the buffer already holds the image), any other load starts a new accumulator.
int header(const fdes* fd, const bufdes* bd)
{
    sink = {};
    const bool oneGun = fd->vslCtlm & VSL_ONE_GUN;
    const bool appending = oneGun && bd->numImgs > 0;
    if (!appending && !(CLAIM_FOLIOS(1u << SBUFF_LOADER_SLOT) & (1u << SBUFF_LOADER_SLOT)))
        return -3;
    folioDesc d{};
    d.cols = fd->dCols;
    d.rows = fd->dRows;
    d.aoi[0] = int32u(fd->bXofs);
    d.aoi[1] = int32u(fd->bYofs);
    d.aoi[2] = int32u(fd->bXofs) + fd->dCols - 1;
    d.aoi[3] = int32u(fd->bYofs) + fd->dRows - 1;
    const int n = std::clamp<int>(fd->dBands, 1, 4);
    if (oneGun) {
        const int g = std::min<int>(fd->gun, 3);
        d.gunBand[g] = std::uint16_t(g + 1);
        d.nBands = d.nScaleBands = 1;
        d.firstBand = std::int16_t(g);
        d.gunLoad = 1;
        sink.perPixel = 1;
    } else {
        for (int k = 0; k < n; ++k)
            d.gunBand[k] = std::uint16_t(k + 1);
        d.nBands = d.nScaleBands = std::int16_t(n);
        sink.perPixel = n;
    }
    const bool planes = fd->storMode == SM_SCAN_IL || (fd->vslCtlm & VSL_SCAN_IL);
    d.inLayout = std::int16_t(n > 1 && !planes ? 4 : 1);
    d.dType = DTYPE_FLOAT32; // the pipeline hands over floats, whatever the file held
    d.srcBuf = std::int16_t(bd->bufNum);
    d.defined = 1;
    const char* slash = std::strrchr(fd->path, '/');
    std::snprintf(d.process, sizeof d.process, "%.255s", slash ? slash + 1 : fd->path);
    return PUT_sBUFF_HEADER(&d);
}

int putRow(const float* row, int32 count)
{
    // The accumulator cleans the line in place (NaN to 0); the row is the pipeline's own.
    const int st = PUT_sBUFF_SCANLINE(const_cast<float*>(row), std::size_t(count) * sink.perPixel);
    if (st != 0)
        fail(-1, st);
    return st;
}

int end()
{
    const int st = END_sBUFF_LOAD();
    if (st != 0)
        fail(-2, st);
    return st;
}

const vslHdrSink loaderSink = {selectLoader, header, putRow, end};

} // namespace

void INSTALL_HDR_SINK()
{
    setVslHdrSink(&loaderSink);
}

int32 hdrSinkStatus(int32* detail)
{
    if (detail)
        *detail = sink.detail;
    return sink.status;
}
