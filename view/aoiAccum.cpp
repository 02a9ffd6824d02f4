#include "aoiAccum.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "aoiBand.h"
#include "aoiKernels.h"
#include "diag.h"
#include "emuOvl.h"
#include "folio_utl.h"
#include "lutKernels.h"
#include "renderPix.h"
#include "uiPort.h"

int32 CUT_ACCUM(const aoiRec& area, int slot, int32u flags)
{
    if (slot < 0 || slot >= NUM_FOLIOS || !FOLIO_CREATED(slot)) {
        DIAG("\n***folio_utl:CUT_ACCUM() - accum not defined");
        return -1;
    }
    aoiRec r;
    if (area.x1 < area.x0 || area.y1 < area.y0 || !clipToView(area, &r))
        return -2;
    const int32 w = r.x1 - r.x0 + 1, h = r.y1 - r.y0 + 1;
    folioDesc d{};
    d.cols = int32u(w);
    d.rows = int32u(h);
    d.aoi[0] = int32u(r.x0);
    d.aoi[1] = int32u(r.y0);
    d.aoi[2] = int32u(r.x1);
    d.aoi[3] = int32u(r.y1);
    for (int g = 0; g < 4; ++g)
        d.gunBand[g] = std::uint16_t(g + 1);
    d.nBands = 4;
    d.srcBuf = 0;
    d.inLayout = 4;
    d.dType = DTYPE_BYTE;
    d.sMode = SMODE_PIXEL_IL;
    d.defined = 1;
    if (PUT_FOLIO_HEADER(slot, &d, nullptr) != 0)
        return -5;
    if (flags & CUT_HEADER_ONLY)
        return 0;
    RenderScanL rows(&r, RP_VIEW);
    std::FILE* f = FOLIO_FILE(slot);
    if (!f)
        return -5;
    for (int32 y = 0; y < h; ++y) {
        const int32u* row = rows.readNext();
        if (!row || std::fwrite(row, 4, std::size_t(w), f) != std::size_t(w))
            return -5;
    }
    return std::fflush(f) == 0 ? 0 : -5;
}

int32 PASTE_ACCUM(const aoiRec& area, int slot, int gunBits, int32u flags)
{
    if (slot < 0 || slot >= NUM_FOLIOS)
        return -1;
    folioDesc d{};
    if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0 || d.defined != 1)
        return -2;
    const aoiRec box = aoiDisplayBox();
    const int32 dw = box.x1 - box.x0 + 1, dh = box.y1 - box.y0 + 1;
    if (d.cols < 16 || d.rows < 16 || int64_t(d.cols) > dw || int64_t(d.rows) > dh)
        return -3;
    if (d.dType != DTYPE_BYTE)
        return d.dType == DTYPE_FLOAT32 || d.dType == 16 || d.dType == 32 || d.dType == 64 ? -4
                                                                                           : -5;
    if (d.nBands != 4 || d.sMode != SMODE_PIXEL_IL)
        return -5;
    if (area.x1 - area.x0 + 1 < 16 && area.y1 - area.y0 + 1 < 16)
        return -6;
    const int32 w = int32(d.cols), h = int32(d.rows);
    const bool onDisplay = insideBox(pixBox{area.x0, area.y0, area.x0, area.y0}, asBox(box));
    const aoiRec at = asAoi(placeInBox(onDisplay ? area.x0 : int32(d.aoi[0]),
                                       onDisplay ? area.y0 : int32(d.aoi[1]), w, h, asBox(box)));
    std::FILE* f = FOLIO_FILE(slot);
    if (!f)
        return -8;
    RenderScanL view(&at, RP_VIEW);
    std::vector<int32u> acc(static_cast<std::size_t>(w));
    const int32u mask = gunByteMask(gunBits & 15 ? gunBits & 15 : 7);
    const bool watermark = (flags & PASTE_WATERMARK) == PASTE_WATERMARK;
    for (int32 y = 0; y < h; ++y) {
        if (std::fread(acc.data(), 4, acc.size(), f) != acc.size())
            return -8;
        int32u* row = view.readNext();
        if (!row)
            return -7;
        std::span<int32u> out(row, std::size_t(w));
        if (watermark)
            watermarkRow(out, acc, mask);
        else
            mergeGunRows(out, acc, mask);
        view.writeNext();
    }
    return 0;
}
