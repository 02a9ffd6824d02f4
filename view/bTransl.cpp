#include "bTransl.h"

#include <algorithm>

#include "diag.h"

translState curTransl;

namespace {

// The buffer keeps its translation in its own record so that the next exploitation loop on
// it resumes there: the two free words hold x and y, the factor holds the zoom.
void storeInBuffer()
{
    bufdes* b = curTransl.bd;
    if (!b)
        return;
    b->transl.w2 = curTransl.x;
    b->transl.w3 = curTransl.y;
    b->transl.factor = curTransl.zoom;
    b->fgAoi = curTransl.mapped;
}

} // namespace

aoiRec mappedBox(int32 cols, int32 rows, int32 x, int32 y, int32 zoom, int32 viewW, int32 viewH)
{
    // Only the visible remainder of the buffer is counted, so that a positive x or y never
    // claims view pixels past the buffer's last column or row.
    auto axis = [zoom](int32 n, int32 origin, int32 view, int32* lo, int32* hi) {
        *lo = origin < 0 ? -origin * zoom : 0;
        const std::int64_t end =
            std::int64_t(*lo) + std::int64_t(zoom) * (n - std::max(origin, 0)) - 1;
        *hi = int32(std::min<std::int64_t>(end, view - 1));
    };
    aoiRec m{};
    axis(cols, x, viewW, &m.x0, &m.x1);
    axis(rows, y, viewH, &m.y0, &m.y1);
    return m;
}

void SET_TRANSL_VIEW(int32 width, int32 height)
{
    curTransl.viewW = width;
    curTransl.viewH = height;
}

bool INIT_I_TRANSL(bufdes* b)
{
    if (!b || !b->imgbuf || b->width < 16 || b->height < 16)
        return false;
    curTransl.bd = b;
    curTransl.pixels = b->imgbuf;
    curTransl.alt = nullptr;
    curTransl.cols = b->width;
    curTransl.rows = b->height;
    curTransl.x = b->transl.w2;
    curTransl.y = b->transl.w3;
    curTransl.zoom = (b->transl.factor >= 1 && b->transl.factor <= MAX_ZOOM) ? b->transl.factor : 1;
    curTransl.mapped = mappedBox(curTransl.cols, curTransl.rows, curTransl.x, curTransl.y,
                                 curTransl.zoom, curTransl.viewW, curTransl.viewH);
    return true;
}

void SET_I_TRANSL(int32 x, int32 y, int32 zNew)
{
    TAV_ASSERT(zNew > 0 && zNew <= MAX_ZOOM);
    curTransl.x = x;
    curTransl.y = y;
    curTransl.zoom = zNew;
    curTransl.mapped =
        mappedBox(curTransl.cols, curTransl.rows, x, y, zNew, curTransl.viewW, curTransl.viewH);
    storeInBuffer();
}

bool MOVE_I_TRANSL(int32 dx, int32 dy)
{
    const int32 nx = curTransl.x + dx / curTransl.zoom;
    const int32 ny = curTransl.y + dy / curTransl.zoom;
    if (nx < 0 || ny < 0)
        return false;
    SET_I_TRANSL(nx, ny, curTransl.zoom);
    return true;
}

bool DXY_TO_BUF(const aoiRec& vb, bufMapping* out)
{
    const translState& t = curTransl;
    const int32u* src = t.alt ? t.alt : t.pixels;
    if (!src || t.cols <= 0 || t.rows <= 0)
        return false;
    aoiRec v{std::max(vb.x0, t.mapped.x0), std::max(vb.y0, t.mapped.y0),
             std::min(vb.x1, t.mapped.x1), std::min(vb.y1, t.mapped.y1)};
    if (v.x1 < v.x0 || v.y1 < v.y0)
        return false;
    const int32 z = t.zoom;
    const int32 bx = t.x + v.x0 / z, by = t.y + v.y0 / z;
    const int32 w = v.x1 - v.x0 + 1, h = v.y1 - v.y0 + 1;
    int32 bw = z > 1 ? int32(double(w) / z + 0.5) : w;
    int32 bh = z > 1 ? int32(double(h) / z + 0.5) : h;
    // The mapped box already ends at the buffer's edge; the limit guards rounding only.
    bw = std::max(1, std::min(bw, t.cols - bx));
    bh = std::max(1, std::min(bh, t.rows - by));
    if (bx < 0 || by < 0 || bx >= t.cols || by >= t.rows)
        return false;
    out->view = v;
    out->buf = aoiRec{bx, by, bx + bw - 1, by + bh - 1};
    out->at = src + std::size_t(by) * std::size_t(t.cols) + std::size_t(bx);
    return true;
}

void CENTRE_I_TRANSL(bool keepColumn)
{
    translState& t = curTransl;
    int32 width = t.viewW;
    if (keepColumn && t.cols < t.viewW - ANCIL_COLUMN_W)
        width = t.viewW - ANCIL_COLUMN_W;
    SET_I_TRANSL((t.cols - width) / 2, (t.rows - t.viewH) / 2, 1);
    if (t.bd)
        t.bd->bgAoi = t.mapped;
}

void SET_ALT_SOURCE(const int32u* pixels)
{
    curTransl.alt = pixels;
}

void resetTransl()
{
    curTransl = translState{};
}
