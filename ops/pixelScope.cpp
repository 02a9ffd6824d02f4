#include "pixelScope.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "renderPix.h"
#include "uiPort.h"
#include "viewSurface.h"

bool pixelScopeOf(const viewState* vs, const bufdes* bd, pixelScope* s)
{
    *s = pixelScope{};
    if (!bd || !bd->imgbuf || bd->width < 1 || bd->height < 1)
        return false;
    s->global = vs && (vs->dmode & modeGLOBAL_SCOPE);
    if (s->global) {
        s->area = aoiRec{0, 0, bd->width - 1, bd->height - 1};
    } else {
        viewSurface* v = activeSurface();
        if (!v)
            return false;
        int32 d[4] = {0, 0, -1, -1};
        v->displayBox(d);
        const aoiRec& f = bd->fgAoi;
        s->area = aoiRec{std::max(f.x0, d[0]), std::max(f.y0, d[1]), std::min(f.x1, d[2]),
                         std::min(f.y1, d[3])};
    }
    s->cols = s->area.x1 - s->area.x0 + 1;
    s->rows = s->area.y1 - s->area.y0 + 1;
    return s->cols >= 1 && s->rows >= 1;
}

scopeLines::scopeLines(const pixelScope& s, bufdes* bd, const char* what)
    : s_(s), bd_(bd), what_(what)
{
    if (s_.cols < 1 || s_.rows < 1 || !bd_)
        return;
    if (s_.global) {
        ok_ = bd_->imgbuf && s_.area.x1 < bd_->width && s_.area.y1 < bd_->height;
        // The indicator moves in about a hundred steps, however tall the buffer.
        step_ = std::max<int32>(1, s_.rows / 100);
        if (ok_ && what_)
            viewUi().progress(what_, 0, s_.rows);
        return;
    }
    view_ = new RenderScanL(&s_.area, RP_VIEW);
    int32 w = 0, h = 0;
    ok_ = view_->size(&w, &h) && w == s_.cols && h == s_.rows;
}

scopeLines::~scopeLines()
{
    // An indicator left open by rows not all put back is closed all the same.
    if (ok_ && s_.global && what_)
        viewUi().progress(what_, s_.rows, s_.rows);
    delete view_;
}

int32u* scopeLines::row(int32 y)
{
    if (!ok_ || y < 0 || y >= s_.rows)
        return nullptr;
    if (s_.global)
        return bd_->imgbuf + (std::size_t(s_.area.y0) + std::size_t(y)) * std::size_t(bd_->width) +
               std::size_t(s_.area.x0);
    return view_->readNext();
}

bool scopeLines::put(int32 y)
{
    if (!ok_ || y < 0 || y >= s_.rows)
        return false;
    if (!s_.global)
        return view_->writeNext();
    if (what_ && ((y + 1) % step_ == 0 || y + 1 == s_.rows) && y + 1 < s_.rows)
        viewUi().progress(what_, y + 1, s_.rows);
    return true;
}

bool scopeWindowOf(const pixelScope& s, const bufdes* bd, int32 rx, int32 ry, scopeWindow* w)
{
    *w = scopeWindow{};
    if (s.cols < 1 || s.rows < 1 || !bd || rx < 0 || ry < 0)
        return false;
    int32 lim[4] = {0, 0, bd->width - 1, bd->height - 1};
    if (!s.global) {
        viewSurface* v = activeSurface();
        if (!v)
            return false;
        v->displayBox(lim);
    }
    w->outer = aoiRec{std::max(s.area.x0 - rx, lim[0]), std::max(s.area.y0 - ry, lim[1]),
                      std::min(s.area.x1 + rx, lim[2]), std::min(s.area.y1 + ry, lim[3])};
    w->cols = w->outer.x1 - w->outer.x0 + 1;
    w->rows = w->outer.y1 - w->outer.y0 + 1;
    w->x0 = s.area.x0 - w->outer.x0;
    w->y0 = s.area.y0 - w->outer.y0;
    return w->cols >= s.cols && w->rows >= s.rows && w->x0 >= 0 && w->y0 >= 0;
}

windowRows::windowRows(const pixelScope& s, const scopeWindow& w, bufdes* bd)
    : w_(w), bd_(bd), global_(s.global)
{
    if (w_.cols < 1 || w_.rows < 1 || !bd_)
        return;
    if (global_) {
        ok_ = bd_->imgbuf && w_.outer.x0 >= 0 && w_.outer.y0 >= 0 && w_.outer.x1 < bd_->width &&
              w_.outer.y1 < bd_->height;
        return;
    }
    view_ = new RenderScanL(&w_.outer, RP_VIEW);
    int32 cw = 0, ch = 0;
    ok_ = view_->size(&cw, &ch) && cw == w_.cols && ch == w_.rows;
}

windowRows::~windowRows()
{
    delete view_;
}

bool windowRows::read(int32 y, int32u* dst)
{
    if (!ok_ || y < 0 || y >= w_.rows)
        return false;
    const std::size_t n = std::size_t(w_.cols) * 4;
    if (global_) {
        std::memcpy(dst,
                    bd_->imgbuf +
                        (std::size_t(w_.outer.y0) + std::size_t(y)) * std::size_t(bd_->width) +
                        std::size_t(w_.outer.x0),
                    n);
        return true;
    }
    // The view gives its rows in order only: rows skipped are read past.
    const int32u* row = nullptr;
    while (next_ <= y) {
        row = view_->readNext();
        ++next_;
        if (!row)
            return false;
    }
    if (!row)
        return false;
    std::memcpy(dst, row, n);
    return true;
}

bool readScopeGuns(const pixelScope& s, bufdes* bd, int32 gunMask, charu* const planes[3])
{
    scopeLines lines(s, bd);
    if (!lines.ok())
        return false;
    const std::size_t n = std::size_t(s.cols);
    for (int32 y = 0; y < s.rows; ++y) {
        const int32u* px = lines.row(y);
        if (!px)
            return false;
        for (int g = 0; g < 3; ++g) {
            if (!(gunMask & (1 << g)) || !planes[g])
                continue;
            charu* out = planes[g] + std::size_t(y) * n;
            const int shift = 16 - 8 * g;
            for (std::size_t x = 0; x < n; ++x)
                out[x] = charu(px[x] >> shift);
        }
    }
    return true;
}

bool writeScopeGuns(const pixelScope& s, bufdes* bd, int32 gunMask, const charu* const planes[3])
{
    scopeLines lines(s, bd);
    if (!lines.ok())
        return false;
    const std::size_t n = std::size_t(s.cols);
    for (int32 y = 0; y < s.rows; ++y) {
        int32u* px = lines.row(y);
        if (!px)
            return false;
        for (int g = 0; g < 3; ++g) {
            if (!(gunMask & (1 << g)) || !planes[g])
                continue;
            const charu* in = planes[g] + std::size_t(y) * n;
            const int shift = 16 - 8 * g;
            const int32u keep = ~(0xFFu << shift);
            for (std::size_t x = 0; x < n; ++x)
                px[x] = (px[x] & keep) | (int32u(in[x]) << shift);
        }
        if (!lines.put(y))
            return false;
    }
    return true;
}
