#include "renderPix.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

#include "diag.h"
#include "fit.h"
#include "lutKernels.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewState.h"
#include "viewSurface.h"
#include "warp.h"

bool RenderPix::lutFlag_ = false;
int32u RenderPix::gunMask_ = 0xffffffffu;
bool RenderPix::masked_ = false;
charu RenderPix::luts_[3][256] = {};

namespace {

void viewBox(aoiRec* b)
{
    int32 d[4] = {0, 0, curTransl.viewW - 1, curTransl.viewH - 1};
    if (viewSurface* s = activeSurface())
        s->displayBox(d);
    *b = aoiRec{d[0], d[1], d[2], d[3]};
}

twBox asTw(const aoiRec& r)
{
    return twBox{r.x0, r.y0, r.x1, r.y1};
}

int32u* allocPixels(std::int64_t w, std::int64_t h)
{
    if (w <= 0 || h <= 0)
        return nullptr;
    // A refusal is the user's to see: the message box says what was asked and what is free.
    if (!viewMemOk(w, h + 1))
        return nullptr;
    return static_cast<int32u*>(std::malloc(std::size_t(w) * std::size_t(h + 1) * 4u));
}

} // namespace

RenderPix::RenderPix(const aoiRec* rect, int32u kind) : kind_(kind)
{
    const translState& t = curTransl;
    zoom_ = t.zoom;
    bx_ = t.x;
    by_ = t.y;
    cols_ = t.cols;
    rows_ = t.rows;
    image_ = t.pixels;
    lutFlag_ = false;
    gunMask_ = 0xffffffffu;
    masked_ = false;
    switch (kind) {
    case RP_VIEW: {
        aoiRec d;
        viewBox(&d);
        r_ = rect ? aoiRec{std::max(rect->x0, d.x0), std::max(rect->y0, d.y0),
                           std::min(rect->x1, d.x1), std::min(rect->y1, d.y1)}
                  : d;
        break;
    }
    case RP_BUFFER: {
        aoiRec d;
        viewBox(&d);
        bufMapping m{};
        if (!DXY_TO_BUF(rect ? *rect : d, &m)) {
            noMapping_ = true;
            r_ = rect ? *rect : d;
        } else {
            r_ = m.view;
            buf_ = m.buf;
            at_ = const_cast<int32u*>(m.at);
        }
        break;
    }
    default:
        r_ = aoiRec{0, 0, cols_ - 1, rows_ - 1};
        at_ = image_;
        break;
    }
    if (kind == RP_BUFFER && !noMapping_) {
        w_ = buf_.x1 - buf_.x0 + 1;
        h_ = buf_.y1 - buf_.y0 + 1;
    } else {
        w_ = std::max(0, r_.x1 - r_.x0 + 1);
        h_ = std::max(0, r_.y1 - r_.y0 + 1);
    }
    nextRead_ = nextWrite_ = r_.y0;
}

RenderPix::~RenderPix()
{
    if (!notOwned_)
        std::free(scratch_);
}

bool RenderPix::rect(aoiRec* r) const
{
    if (noMapping_)
        return false;
    *r = r_;
    return true;
}

bool RenderPix::size(int32* w, int32* h) const
{
    if (noMapping_)
        return false;
    *w = w_;
    *h = h_;
    return true;
}

bool RenderPix::bufferBox(aoiRec* b) const
{
    if (kind_ != RP_BUFFER || noMapping_)
        return false;
    *b = buf_;
    return true;
}

bool RenderPix::placeInTarget()
{
    if (kind_ == RP_BUFFER) {
        bufMapping m{};
        noMapping_ = !DXY_TO_BUF(r_, &m);
        at_ = noMapping_ ? nullptr : const_cast<int32u*>(m.at);
        if (!noMapping_) {
            // Near the buffer's edge the moved rectangle shows fewer buffer pixels; rows and
            // columns copied must follow, or reads and writes run past the buffer. The new
            // size never exceeds the scratch made for the rectangle's first place.
            buf_ = m.buf;
            w_ = buf_.x1 - buf_.x0 + 1;
            h_ = buf_.y1 - buf_.y0 + 1;
        }
    } else if (kind_ == RP_IMAGE_RECT && image_) {
        at_ = image_ + std::size_t(r_.y0) * std::size_t(cols_) + std::size_t(r_.x0);
    }
    return !noMapping_;
}

void RenderPix::moveTo(int32 x, int32 y)
{
    if (kind_ == RP_IMAGE)
        return;
    x = std::max(x, 0);
    y = std::max(y, 0);
    const int32 w = r_.x1 - r_.x0, h = r_.y1 - r_.y0;
    if (kind_ == RP_VIEW) {
        aoiRec d;
        viewBox(&d);
        x = std::max(0, std::min(x, d.x1 - w));
        y = std::max(0, std::min(y, d.y1 - h));
    } else if (kind_ == RP_IMAGE_RECT) {
        x = std::max(0, std::min(x, cols_ - 1 - w));
        y = std::max(0, std::min(y, rows_ - 1 - h));
    }
    r_ = aoiRec{x, y, x + w, y + h};
    placeInTarget();
    nextRead_ = nextWrite_ = r_.y0;
}

int32u* RenderPix::takeScratch()
{
    notOwned_ = true;
    return scratch_;
}

void RenderPix::giveScratch(int32u* s)
{
    if (!notOwned_)
        std::free(scratch_);
    scratch_ = s;
    notOwned_ = true;
}

void RenderPix::setGunMask(int gunBits)
{
    gunMask_ = gunByteMask(gunBits);
    masked_ = (gunBits & 0xf) != 0xf;
}

void RenderPix::setLutFlag(bool on)
{
    lutFlag_ = on;
}

namespace {

// The display LUTs in the form the pixel pass wants, prepared once per change rather than
// once per row.
lutPass displayPass;

} // namespace

void RenderPix::setDisplayLuts(const charu luts[3][256])
{
    std::memcpy(luts_, luts, sizeof luts_);
    prepareLutPass(luts_, displayPass);
}

void RenderPix::applyLuts(int32u* px, std::size_t n) const
{
    if (lutFlag_)
        lutRows(std::span<int32u>(px, n), displayPass);
}

void RenderPix::writeMasked(int32u* dst, const int32u* src, std::size_t n) const
{
    mergeGunRows(std::span<int32u>(dst, n), std::span<const int32u>(src, n),
                 masked_ ? gunMask_ : 0xffffffffu);
}

// ---------------------------------------------------------------------------------------------

RenderArea::RenderArea(const aoiRec* rect, int32u kind, int32u** scratch) : RenderPix(rect, kind)
{
    if (kind == RP_BUFFER && !at_ && !noMapping_)
        DIAG("\n***WARN:RenderPix-DXY_TO_BUF() returns NULL\n");
    if (scratch && *scratch) {
        scratch_ = *scratch;
        notOwned_ = true;
        return;
    }
    scratch_ = allocPixels(w_, h_);
    if (scratch)
        *scratch = scratch_;
}

int32u* RenderArea::read()
{
    if (!scratch_ || noMapping_ || w_ <= 0 || h_ <= 0)
        return nullptr;
    const std::size_t n = std::size_t(w_) * std::size_t(h_);
    switch (kind_) {
    case RP_VIEW: {
        viewSurface* s = activeSurface();
        if (!s || !s->getPixels(asTw(r_), scratch_))
            return nullptr;
        break;
    } break;
    case RP_IMAGE:
        if (!image_)
            return nullptr;
        std::memcpy(scratch_, image_, n * 4u);
        break;
    default:
        if (!at_)
            return nullptr;
        for (int32 y = 0; y < h_; ++y)
            std::memcpy(scratch_ + std::size_t(y) * std::size_t(w_),
                        at_ + std::size_t(y) * std::size_t(cols_), std::size_t(w_) * 4u);
        break;
    }
    applyLuts(scratch_, n);
    return scratch_;
}

void RenderArea::write()
{
    if (!scratch_ || noMapping_ || w_ <= 0 || h_ <= 0)
        return;
    const std::size_t n = std::size_t(w_) * std::size_t(h_);
    switch (kind_) {
    case RP_VIEW: {
        viewSurface* s = activeSurface();
        if (!s)
            return;
        applyLuts(scratch_, n);
        if (!masked_) {
            s->putPixels(asTw(r_), scratch_);
            return;
        }
        int32u* under = allocPixels(w_, h_);
        if (!under)
            return;
        if (s->getPixels(asTw(r_), under)) {
            writeMasked(under, scratch_, n);
            s->putPixels(asTw(r_), under);
        }
        std::free(under);
        return;
    }
    case RP_IMAGE:
        if (image_) {
            applyLuts(scratch_, n);
            writeMasked(image_, scratch_, n);
        }
        return;
    default:
        if (!at_)
            return;
        // Every target takes the display LUTs on the way in, as the view does.
        applyLuts(scratch_, n);
        for (int32 y = 0; y < h_; ++y)
            writeMasked(at_ + std::size_t(y) * std::size_t(cols_),
                        scratch_ + std::size_t(y) * std::size_t(w_), std::size_t(w_));
        return;
    }
}

// ---------------------------------------------------------------------------------------------

RenderScanL::RenderScanL(const aoiRec* rect, int32u kind) : RenderPix(rect, kind)
{
    if (kind == RP_BUFFER && !noMapping_ && !at_)
        DIAG("\n***WARN:RenderScanL::_setAtts() returns NULL\n");
    scratch_ = allocPixels(w_, 1);
}

int32u* RenderScanL::readNext()
{
    if (!scratch_ || noMapping_ || nextRead_ > r_.y1)
        return nullptr;
    const int32 row = nextRead_ - r_.y0;
    switch (kind_) {
    case RP_VIEW: {
        viewSurface* s = activeSurface();
        if (!s || !s->getPixels(twBox{r_.x0, nextRead_, r_.x1, nextRead_}, scratch_))
            return nullptr;
        break;
    }
    case RP_BUFFER:
        // A buffer row shows on zoom view rows.
        if (!at_ || row / zoom_ >= h_)
            return nullptr;
        std::memcpy(scratch_, at_ + std::size_t(row / zoom_) * std::size_t(cols_),
                    std::size_t(w_) * 4u);
        break;
    default:
        if (!at_ || row >= rows_)
            return nullptr;
        std::memcpy(scratch_, at_ + std::size_t(row) * std::size_t(cols_), std::size_t(w_) * 4u);
        break;
    }
    ++nextRead_;
    applyLuts(scratch_, std::size_t(w_));
    return scratch_;
}

bool RenderScanL::writeNext()
{
    if (!scratch_ || noMapping_ || nextWrite_ > r_.y1)
        return false;
    const int32 row = nextWrite_ - r_.y0;
    ++nextWrite_;
    switch (kind_) {
    case RP_VIEW: {
        viewSurface* s = activeSurface();
        if (!s)
            return false;
        const twBox b{r_.x0, r_.y0 + row, r_.x1, r_.y0 + row};
        applyLuts(scratch_, std::size_t(w_));
        if (masked_) {
            int32u* under = allocPixels(w_, 1);
            if (!under)
                return false;
            if (s->getPixels(b, under)) {
                writeMasked(under, scratch_, std::size_t(w_));
                s->putPixels(b, under);
            }
            std::free(under);
        } else {
            s->putPixels(b, scratch_);
        }
        return true;
    }
    case RP_BUFFER:
        if (!at_ || row / zoom_ >= h_)
            return false;
        applyLuts(scratch_, std::size_t(w_));
        writeMasked(at_ + std::size_t(row / zoom_) * std::size_t(cols_), scratch_, std::size_t(w_));
        return true;
    default:
        if (!at_ || row >= rows_)
            return true; // rows past the image are ignored
        applyLuts(scratch_, std::size_t(w_));
        writeMasked(at_ + std::size_t(row) * std::size_t(cols_), scratch_, std::size_t(w_));
        return true;
    }
}

// ---------------------------------------------------------------------------------------------

void CLEAR_VIEW()
{
    viewSurface* s = activeSurface();
    if (!s)
        return;
    aoiRec d;
    viewBox(&d);
    s->fillRect(asTw(d), 0);
}

int32 DRAW_GLOBAL_VIEW()
{
    const translState& t = curTransl;
    aoiRec d;
    viewBox(&d);
    const int32 vw = d.x1 - d.x0 + 1, vh = d.y1 - d.y0 + 1;
    const double f = globalViewFactor(t.cols, t.rows, vw, vh);
    const aoiRec g = globalViewBox(t.cols, t.rows, vw, vh);
    RenderScanL in(nullptr, RP_IMAGE);
    RenderScanL out(&g, RP_VIEW);
    // Row by row: besides the global image itself only the reducer's row sums are held.
    warpReducer red(t.cols, t.rows, f, f);
    int32 ow = 0, oh = 0;
    int32u* dst = out.takeScratch();
    if (!red.ok() || !dst || !out.size(&ow, &oh) || ow != red.outCols()) {
        std::free(dst);
        return VMEM_NO_SCRATCH;
    }
    out.giveScratch(dst);
    int32 outRow = 0;
    while (const int32u* row = in.readNext())
        if (red.addRow(row, dst, &outRow))
            out.writeNext();
    std::free(dst);
    return VMEM_OK;
}

namespace {

// The view's zoom mode; a view that has none replicates.
int32 zoomMethod()
{
    const int32 m = int32(vState.dmode & 0xfu);
    return m ? m : WARP_REPLICATE;
}

// Buffer pixels lo..hi of one axis are shown; the area magnified around them takes one more
// before and two more after (the cubic neighbourhood), so that a part of the view repainted
// alone matches the same part of a whole repaint, and at least as many as give WARP 16
// pixels.
void zoomSpan(int32 lo, int32 hi, int32 n, int32 zoom, int32* a, int32* b)
{
    *a = std::max(0, lo - 1);
    *b = std::min(n - 1, hi + 2);
    const int32 least = (16 + zoom - 1) / zoom;
    while (*b - *a + 1 < least && (*a > 0 || *b < n - 1)) {
        if (*a > 0)
            --*a;
        if (*b < n - 1)
            ++*b;
    }
}

int32 viewZoomed(const aoiRec* box)
{
    const translState& t = curTransl;
    const int32u* src = t.alt ? t.alt : t.pixels;
    aoiRec d;
    viewBox(&d);
    bufMapping m{};
    if (!src || !DXY_TO_BUF(box ? *box : d, &m)) {
        TEXTMSG("VIEW_MEM(): no Mapping to iBUFF\nCancelled.", MSG_ACK);
        return VMEM_NO_MAPPING;
    }
    RenderScanL out(&m.view, RP_VIEW);
    aoiRec v;
    int32 w = 0, h = 0;
    if (!out.rect(&v) || !out.size(&w, &h) || w <= 0 || h <= 0)
        return VMEM_OK;
    const int32 z = t.zoom;
    // Buffer columns and rows under the box (the mapped box starts on a whole buffer pixel).
    const int32 c0 = t.x + v.x0 / z, c1 = std::min(t.cols - 1, t.x + v.x1 / z);
    const int32 r0 = t.y + v.y0 / z, r1 = std::min(t.rows - 1, t.y + v.y1 / z);
    int32 ca, cb, ra, rb;
    zoomSpan(c0, c1, t.cols, z, &ca, &cb);
    zoomSpan(r0, r1, t.rows, z, &ra, &rb);
    int32 nc = cb - ca + 1, nr = rb - ra + 1;
    int32u* area = allocPixels(nc, nr);
    if (!area)
        return VMEM_NO_SCRATCH;
    for (int32 y = 0; y < nr; ++y)
        std::memcpy(area + std::size_t(y) * std::size_t(nc),
                    src + std::size_t(ra + y) * std::size_t(t.cols) + std::size_t(ca),
                    std::size_t(nc) * 4u);
    const int32 areaCols = nc, areaRows = nr;
    const double f[2] = {double(z), double(z)};
    std::string msg;
    int32u* big = WARP(area, &nc, &nr, f, zoomMethod(), &msg);
    std::free(area);
    if (!big) {
        DIAG("\n%s  nc,nr= %d %d", "VIEW_MEM(): WARP() returns NULL", areaCols, areaRows);
        TEXTMSG("VIEW_MEM(): WARP() returns NULL", MSG_ACK);
        return VMEM_NO_ZOOM;
    }
    // The box starts part way into its first buffer pixel; copy only what lies inside both.
    const int32 ox = (c0 - ca) * z + v.x0 % z, oy = (r0 - ra) * z + v.y0 % z;
    const int32 cw = std::min(w, nc - ox), ch = std::min(h, nr - oy);
    int32u* row = out.takeScratch();
    if (!row) {
        std::free(big);
        return VMEM_NO_SCRATCH;
    }
    if (cw > 0)
        for (int32 y = 0; y < ch; ++y) {
            std::memcpy(row, big + std::size_t(oy + y) * std::size_t(nc) + std::size_t(ox),
                        std::size_t(cw) * 4u);
            out.writeNext();
        }
    std::free(row);
    std::free(big);
    return VMEM_OK;
}

} // namespace

int32 VIEW_MEM(const aoiRec* viewBox, bool globalView)
{
    if (globalView)
        return DRAW_GLOBAL_VIEW();
    if (curTransl.zoom > 1)
        return viewZoomed(viewBox);
    RenderArea src(viewBox, RP_BUFFER);
    aoiRec vr;
    int32 w = 0, h = 0;
    if (!src.rect(&vr) || !src.size(&w, &h)) {
        TEXTMSG("VIEW_MEM(): no Mapping to iBUFF\nCancelled.", MSG_ACK);
        return VMEM_NO_MAPPING;
    }
    int32u* img = src.read();
    if (!img)
        return VMEM_NO_SCRATCH;
    int32u* scratch = src.takeScratch();
    {
        RenderArea dst(&vr, RP_VIEW, &scratch);
        dst.write();
    }
    std::free(scratch);
    return VMEM_OK;
}
