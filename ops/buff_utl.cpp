#include "buff_utl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "aoiAccum.h"
#include "aoiBand.h"
#include "bTransl.h"
#include "bigBlock.h"
#include "diag.h"
#include "folio_utl.h"
#include "lutKernels.h"
#include "panZoom.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiPort.h"

namespace {

bool emptyBuffer(const bufdes& b)
{
    return b.numImgs < 1 && !b.imgbuf;
}

// The area the user chose, in view pixels; false when the user abandoned it.
bool chooseArea(viewState* vs, bufdes* bd, int32u mode, cropBoxSize box, aoiRec* out, int32* status)
{
    uiPort& ui = viewUi();
    const aoiRec disp = aoiDisplayBox();
    if (mode & CROP_DISPL) {
        *out = (vs->dmode & modeGLOBALV) ? bd->fgAoi : curTransl.mapped;
        return true;
    }
    if (mode & CROP_FG_AOI) {
        *out = bd->fgAoi;
        return true;
    }
    if (mode & CROP_BOX) {
        // The box is asked in buffer pixels and shown at the view's scale.
        const double scale = (vs->dmode & modeGLOBALV) ? vs->globalF : double(curTransl.zoom);
        const int32 w = std::max(1, int32(box.cols * scale)),
                    h = std::max(1, int32(box.rows * scale));
        if (w > disp.x1 - disp.x0 + 1 || h > disp.y1 - disp.y0 + 1) {
            ack("Selected BOX exceeds buffer dimensions");
            *status = CROP_CLONE_FAIL;
            return false;
        }
        ui.message("           CROP\nMove fixed crop boundary over area to\ncopy to destination "
                   "image buffer",
                   MSG_BRIEF);
        int32 px = 0, py = 0;
        ui.pointer(&px, &py);
        return PLACE_BOX(aoiRec{px, py, px + w - 1, py + h - 1}, true, 1, out);
    }
    ui.message("           CROP\nDraw boundary of area to copy\nto destination image buffer",
               MSG_BRIEF);
    return RUBBER_BAND(BAND_DEST, 1, out);
}

// The buffer pixels under a view area.
bool areaInBuffer(viewState* vs, bufdes* bd, const aoiRec& area, pixBox* out)
{
    if (vs->dmode & modeGLOBALV) {
        const globalGeom g = globalGeometry();
        return globalAreaToBuffer(asBox(area), asBox(g.box), g.f, bd->width, bd->height, out);
    }
    bufMapping m{};
    if (!DXY_TO_BUF(area, &m))
        return false;
    *out = asBox(m.buf);
    return true;
}

// A crop to a user accumulator: the view area in the slot, its descriptor naming only the guns
// of the band mask (red 1, green 2, blue 4) as holding a band.
int32 cutToAccum(viewState* vs, const aoiRec& area, int slot, int32 band, bool luts)
{
    if (!FOLIO_CREATED(slot))
        CLAIM_FOLIOS(1u << slot);
    if (luts) {
        RenderPix::setDisplayLuts(vs->dispLut);
        RenderPix::setLutFlag(true);
    }
    const int32 st = CUT_ACCUM(area, slot, 0);
    RenderPix::setLutFlag(false);
    if (st != 0)
        return CROP_ACCUM_FAIL;
    if ((band & 7) == 7 || band <= 0)
        return CROP_OK;
    folioDesc d{};
    if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0)
        return CROP_ACCUM_FAIL;
    for (int g = 0; g < 3; ++g)
        if (!(band & (1 << g)))
            d.gunBand[g] = 0;
    return PUT_FOLIO_HEADER(slot, &d, nullptr) == 0 ? CROP_OK : CROP_ACCUM_FAIL;
}

} // namespace

bool ONE_IMAGE(bufdes* b)
{
    // One image and its fresh spare: the record array always holds numImgs + 1.
    auto* d = static_cast<ides*>(std::realloc(b->imgDes, 2 * sizeof(ides)));
    if (!d)
        return false;
    b->imgDes = d;
    initIdes(&d[1]);
    b->numImgs = 1;
    b->curImg = 0;
    return true;
}

void UNLINK_CLONE(bufdes* table, bufdes* bd)
{
    if (!table || !bd)
        return;
    if (bd->linkBuf >= 1 && bd->linkBuf <= NUM_iBUFF) {
        bufdes& p = table[bd->linkBuf - 1];
        if (&p != bd && p.linkBuf == bd->bufNum) {
            p.linkBuf = 0;
            p.bufCtlm &= ~(bufHAS_CLONE | bufIS_CLONE);
        }
    }
    bd->linkBuf = 0;
    bd->bufCtlm &= ~(bufHAS_CLONE | bufIS_CLONE);
}

int32 CROP(viewState* vs, short target, shortu mode, short band, cropBoxSize box)
{
    bufdes* table = vs->bufObjs;
    bufdes* bd = vs->bd;
    const bool toAccum = mode & CROP_TO_ACCUM;
    // 1. The target.
    if (toAccum) {
        if (target < 0 || target > 3)
            return CROP_BAD_ACCUM;
    } else {
        if (target < 0 || target >= NUM_iBUFF || target == short(vs->currB))
            return CROP_TARGET;
        if (!emptyBuffer(table[target]))
            return CROP_NOT_EMPTY;
    }
    // 2. A clone: the whole display area to an accumulator, or the whole buffer to another.
    if (mode & CROP_CLONE) {
        if (toAccum) {
            const aoiRec area = (vs->dmode & modeGLOBALV) ? bd->fgAoi : curTransl.mapped;
            const int32 rc = cutToAccum(vs, area, target, band, mode & CROP_APPLY_LUTS);
            if (rc == CROP_OK)
                ack(strPrintf("Area cropped to Accumulator: %d", target + 1));
            return rc;
        }
        bufdes* c = &table[target];
        if (!CLONE_iBUFF(c, bd))
            return CROP_CLONE_FAIL;
        c->viewMode = vs->dmode;
        c->bufCtlm = (bd->bufCtlm | bufSTATIC | bufIS_CLONE) & ~(bufVIEW_SAVED | bufHAS_CLONE);
        c->linkBuf = bd->bufNum;
        // A buffer that was itself a clone keeps only its new link: one partner each.
        UNLINK_CLONE(table, bd);
        bd->linkBuf = c->bufNum;
        bd->bufCtlm |= bufSTATIC | bufHAS_CLONE;
        ack(strPrintf("Area cropped to iBUFF: %d\nSELECT buffer to view", target + 1));
        return CROP_OK;
    }
    // 3. The area.
    aoiRec area{};
    int32 status = CROP_OK;
    if (!chooseArea(vs, bd, mode, box, &area, &status))
        return status;
    pixBox b{};
    if (!areaInBuffer(vs, bd, area, &b)) {
        ack("Selected area is outside image buffer");
        return CROP_OUTSIDE;
    }
    const int32 w = b.x1 - b.x0 + 1, h = b.y1 - b.y0 + 1;
    if (w < CROP_MIN || h < CROP_MIN) {
        ack("Cropped area outside image buffer, or too small");
        return CROP_TOO_SMALL;
    }
    // 4. The pixels of the area.
    if (!viewMemOk(w, h))
        return CROP_NO_COPY;
    const std::size_t n = std::size_t(w) * std::size_t(h);
    auto* px = static_cast<int32u*>(bigAlloc(n * 4));
    if (!px) {
        ack("RenderArea() create failed.");
        return CROP_NO_COPY;
    }
    for (int32 y = 0; y < h; ++y)
        std::memcpy(px + std::size_t(y) * std::size_t(w),
                    bd->imgbuf + std::size_t(b.y0 + y) * std::size_t(bd->width) + std::size_t(b.x0),
                    std::size_t(w) * 4);
    if (mode & CROP_APPLY_LUTS)
        lutRows(std::span<int32u>(px, n), vs->dispLut);
    // 5. Into the target.
    if (toAccum) {
        // The accumulator holds view pixels: the area as the view shows it.
        bigFree(px);
        const int32 rc = cutToAccum(vs, area, target, band, mode & CROP_APPLY_LUTS);
        if (rc != CROP_OK)
            return rc;
        ack(strPrintf("Area cropped to Accumulator: %d", target + 1));
        return CROP_OK;
    }
    bufdes* t = &table[target];
    FREE_iBUFF(t);
    t->imgbuf = px;
    t->width = w;
    t->height = h;
    int st = 0;
    if (!CREATE_iBUFF(t, w, h, &st)) {
        FREE_iBUFF(t);
        return CROP_CREATE;
    }
    if (!ONE_IMAGE(t)) {
        FREE_iBUFF(t);
        return CROP_CREATE;
    }
    t->viewMode = bd->viewMode & ~modeALPHA;
    t->bufCtlm = bufCROPPED | (bd->bufCtlm & bufALPHA);
    ides& d = t->imgDes[0];
    d.planeCount = (bd->bufCtlm & bufALPHA) ? 4 : 3;
    for (int k = 0; k < 4; ++k)
        d.planeBands[k] = k < d.planeCount ? shortu(k + 1) : 0;
    d.width = w;
    d.height = h;
    d.alpha = (bd->bufCtlm & bufALPHA) ? 1 : 0;
    d.geomSet = 1;
    t->transl.viewW = curTransl.viewW;
    t->transl.viewH = curTransl.viewH;
    ack(strPrintf("Area cropped to iBUFF: %d\nSELECT buffer to view", target + 1));
    return CROP_OK;
}

int32 JOIN_BUFFERS(viewState* vs, int32 side, int32 other)
{
    bufdes* table = vs->bufObjs;
    if (other < 0 || other >= NUM_iBUFF || other == int32(vs->currB))
        return JOIN_BAD_OTHER;
    bufdes* cur = vs->bd;
    const bufdes& o = table[other];
    if (!cur->imgbuf || !o.imgbuf || o.numImgs < 1)
        return JOIN_BAD_OTHER;
    int32 jw = 0, jh = 0;
    const int32 rc = joinedSize(side, cur->width, cur->height, o.width, o.height, &jw, &jh);
    if (rc != JOIN_OK)
        return rc;
    // The joined buffer is written into a new block, each row copied once; the current
    // block is held until then, so the guard is asked for the whole joined size.
    const std::uint64_t joined = std::uint64_t(jw) * std::uint64_t(jh) * 4;
    std::string msg;
    if (jw <= 0 || jh <= 0 || !SAFE_MEM_REQ(joined, &msg))
        return JOIN_NO_MEMORY;
    auto* px = static_cast<int32u*>(bigAlloc(joined));
    if (!px)
        return JOIN_NO_MEMORY;
    joinBlocks(px, cur->imgbuf, cur->width, cur->height, o.imgbuf, o.width, o.height, side);
    bigFree(cur->imgbuf);
    cur->imgbuf = px;
    NEW_GENERATION(cur);
    cur->width = jw;
    cur->height = jh;
    ONE_IMAGE(cur); // shrinks the record array, so it cannot fail
    ides& d = cur->imgDes[0];
    d.x0 = d.y0 = 0;
    d.width = jw;
    d.height = jh;
    d.x1 = jw - 1;
    d.y1 = jh - 1;
    UNLINK_CLONE(table, cur);
    cur->bufCtlm = (cur->bufCtlm & ~(bufIS_HDR | bufSTATIC | bufHAS_CLONE)) | bufJOINED;
    return JOIN_OK;
}
