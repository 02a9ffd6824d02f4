#include "roam.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "bTransl.h"
#include "diag.h"
#include "emuOvl.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewSurface.h"

namespace {

struct roamState {
    int32u* work = nullptr; ///< ROAM_WORK_BYTES: the magnified window, then the display source
    aoiRec box{0, 0, -1, -1};
    roamGeom g;
    int32 moves = 0;
    bool leftHeld = false;
    bool ready = false;
    viewHist area; ///< the source pixels last read, for the statistics read-out
};
roamState roam;

const int32u WHITE = 0xffffffu;

int32 boxW(const aoiRec& b)
{
    return b.x1 - b.x0 + 1;
}
int32 boxH(const aoiRec& b)
{
    return b.y1 - b.y0 + 1;
}

// The window's inside: the box less its one-pixel frame.
aoiRec inside(const aoiRec& b)
{
    return aoiRec{b.x0 + 1, b.y0 + 1, b.x1 - 1, b.y1 - 1};
}

void drawFrame(const aoiRec& b)
{
    viewSurface* s = activeSurface();
    aoiRec c;
    if (!s || !clipToView(b, &c) || c.x0 != b.x0 || c.y0 != b.y0 || c.x1 != b.x1 || c.y1 != b.y1)
        return;
    s->fillRect(twBox{b.x0, b.y0, b.x1, b.y0}, WHITE);
    s->fillRect(twBox{b.x0, b.y1, b.x1, b.y1}, WHITE);
    s->fillRect(twBox{b.x0, b.y0, b.x0, b.y1}, WHITE);
    s->fillRect(twBox{b.x1, b.y0, b.x1, b.y1}, WHITE);
}

bool readSource(const viewState* vs, int32 px, int32 py);

void updateStats(const viewState* vs, int32 px, int32 py, bool sourceRead)
{
    if (!sourceRead && !readSource(vs, px, py))
        return;
    DRAW_STATS(vs, statsLines(roam.area));
}

} // namespace

bool INIT_ROAM_UTIL(bool on)
{
    std::free(roam.work);
    roam = roamState{};
    if (!on)
        return true;
    roam.work = static_cast<int32u*>(std::malloc(ROAM_WORK_BYTES));
    if (!roam.work) {
        DIAG("/n***SEVERE: INIT_ROAM_UTIL() realloc fail");
        return false;
    }
    return true;
}

roamGeom roamGeometry()
{
    return roam.g;
}

void ROAM_SETUP(const viewState* vs, const aoiRec& box, int32 roamZoom)
{
    roam.box = box;
    roam.ready = false;
    const aoiRec in = inside(box);
    const int32 w = boxW(in), h = boxH(in);
    if (w < 2 || h < 2)
        return;
    const int32 viewZoom = std::max(1, curTransl.zoom);
    roamGeom g;
    g.fromDisplay = (vs->dmode & modeANCIL_DISPLAY) != 0;
    if (g.fromDisplay) {
        g.mag = roamZoom;
        g.step = viewZoom;
    } else {
        g.mag = std::min(roamZoom * viewZoom, MAX_ZOOM);
        g.step = 1;
    }
    if (w / 2 < g.step * g.mag)
        g.mag = std::max(1, (w / 2) / g.step);
    g.srcW = (w + g.mag - 1) / g.mag;
    g.srcH = (h + g.mag - 1) / g.mag;
    // The display source is read into the back half of the work buffer.
    if (std::size_t(w) * std::size_t(h) + std::size_t(g.srcW) * std::size_t(g.srcH) >
        ROAM_WORK_BYTES / 4)
        return;
    roam.g = g;
    roam.ready = roam.work != nullptr;
    // On a low view the top box reaches the bottom: the statistics alone are shown there.
    if (!vs->smallScreen)
        drawFrame(box);
}

namespace {

// Reads the source area around the pointer into the back of the work buffer and counts it
// for the statistics.
bool readSource(const viewState* vs, int32 px, int32 py)
{
    viewSurface* s = activeSurface();
    if (!roam.ready || !s)
        return false;
    const roamGeom& g = roam.g;
    const aoiRec in = inside(roam.box);
    const int32 w = boxW(in), h = boxH(in);
    int32u* src = roam.work + std::size_t(w) * std::size_t(h);
    const translState& t = curTransl;
    // The source area centred on the pointer; what of it lies outside the pixels that can be
    // shown stays black, so that at an edge the picture shifts in the box rather than reading
    // past the buffer or the view.
    int32 sx = 0, sy = 0, lox = 0, loy = 0, hix = 0, hiy = 0;
    if (g.fromDisplay) {
        const aoiRec& m = t.mapped;
        sx = m.x0 + ((px - g.srcW / 2 - m.x0) / g.step) * g.step;
        sy = m.y0 + ((py - g.srcH / 2 - m.y0) / g.step) * g.step;
        lox = m.x0;
        loy = m.y0;
        // The column itself is never its own source.
        hix = (vs->ancil & ancROAM) ? std::min(m.x1, vs->ancColumn.x0 - 1) : m.x1;
        hiy = m.y1;
    } else {
        // The global view is the buffer reduced by its factor, not translated.
        const bool global = (vs->dmode & modeGLOBALV) && t.bd && vs->globalF > 0;
        const int32 z = std::max(1, t.zoom);
        const int32 gx = global ? int32((px - t.bd->fgAoi.x0) / vs->globalF) : t.x + px / z;
        const int32 gy = global ? int32((py - t.bd->fgAoi.y0) / vs->globalF) : t.y + py / z;
        const int32 bx = std::clamp(gx, 0, t.cols - 1);
        const int32 by = std::clamp(gy, 0, t.rows - 1);
        sx = bx - g.srcW / 2;
        sy = by - g.srcH / 2;
        hix = t.cols - 1;
        hiy = t.rows - 1;
    }
    std::fill_n(src, std::size_t(g.srcW) * std::size_t(g.srcH), 0u);
    roam.area = viewHist{};
    const int32 cx0 = std::max(sx, lox), cy0 = std::max(sy, loy);
    const int32 cx1 = std::min(sx + g.srcW - 1, hix), cy1 = std::min(sy + g.srcH - 1, hiy);
    if (cx0 <= cx1 && cy0 <= cy1) {
        const std::size_t n = std::size_t(cx1 - cx0 + 1);
        const int32u* base = t.alt ? t.alt : t.pixels;
        for (int32 y = cy0; y <= cy1; ++y) {
            int32u* d = src + std::size_t(y - sy) * std::size_t(g.srcW) + std::size_t(cx0 - sx);
            if (g.fromDisplay)
                s->getPixels(twBox{cx0, y, cx1, y}, d);
            else if (base)
                std::memcpy(d, base + std::size_t(y) * std::size_t(t.cols) + std::size_t(cx0),
                            n * 4u);
            histOfPixels(std::span<const int32u>(d, n), &roam.area);
        }
    }
    return true;
}

} // namespace

void ROAM_UPDATE(const viewState* vs, int32 px, int32 py)
{
    viewSurface* s = activeSurface();
    if (!readSource(vs, px, py) || vs->smallScreen)
        return;
    const roamGeom& g = roam.g;
    const aoiRec in = inside(roam.box);
    const int32 w = boxW(in), h = boxH(in);
    int32u* out = roam.work;
    const int32u* src = roam.work + std::size_t(w) * std::size_t(h);
    for (int32 j = 0; j < h; ++j) {
        const int32u* row = src + std::size_t(j / g.mag) * std::size_t(g.srcW);
        int32u* o = out + std::size_t(j) * std::size_t(w);
        for (int32 i = 0; i < w; ++i)
            o[i] = row[i / g.mag];
    }
    aoiRec c;
    if (clipToView(in, &c) && c.x0 == in.x0 && c.y0 == in.y0 && c.x1 == in.x1 && c.y1 == in.y1)
        s->putPixels(twBox{in.x0, in.y0, in.x1, in.y1}, out);
}

bool ROAM_EVENT(viewState* vs, int code, int32 x, int32 y)
{
    if (!(vs->ancil & ancROAM))
        return false;
    const bool statsOnly = vs->smallScreen;
    if (code == -MOUSE_LEFT) {
        roam.leftHeld = false;
        return false;
    }
    if (code == MOUSE_LEFT) {
        roam.leftHeld = true;
        vs->roamZoom = vs->roamZoom >= MAX_ZOOM ? 2 : vs->roamZoom * 2;
        ROAM_SETUP(vs, vs->roamBox, vs->roamZoom);
        if (!statsOnly)
            ROAM_UPDATE(vs, x, y);
        if (vs->ancil & ancSTATS)
            updateStats(vs, x, y, !statsOnly);
        return true;
    }
    if (code != MOUSE_MOVED)
        return false;
    ++roam.moves;
    if (!roam.leftHeld && roam.moves != 1 && roam.moves % 5 != 0)
        return false;
    if (!statsOnly)
        ROAM_UPDATE(vs, x, y);
    if (vs->ancil & ancSTATS)
        updateStats(vs, x, y, !statsOnly);
    return true;
}

// ---------------------------------------------------------------------------------------------

void histOfPixels(std::span<const int32u> px, viewHist* h)
{
    // Red, green and blue by their byte offsets in a view pixel.
    for (const int32u p : px) {
        ++h->bin[0][(p >> 16) & 0xff];
        ++h->bin[1][(p >> 8) & 0xff];
        ++h->bin[2][p & 0xff];
    }
    h->n += px.size();
}

std::vector<std::string> statsLines(const viewHist& h)
{
    static const char* const names[3] = {"R", "G", "B"};
    std::vector<std::string> out;
    for (int g = 0; g < 3; ++g) {
        if (h.n == 0) {
            out.push_back(strPrintf("%s  no pixels", names[g]));
            continue;
        }
        double sum = 0, sq = 0;
        int lo = -1, hi = -1;
        for (int i = 0; i < 256; ++i) {
            const double c = double(h.bin[g][i]);
            sum += c * i;
            sq += c * i * i;
            if (c > 0) {
                if (lo < 0)
                    lo = i;
                hi = i;
            }
        }
        const double n = double(h.n), mean = sum / n;
        const double sd = std::sqrt(std::max(0.0, sq / n - mean * mean));
        // Short enough for the column at the usual font: mean, deviation, range.
        out.push_back(strPrintf("%s mean %6.2f sd %6.2f %3d..%3d", names[g], mean, sd, lo, hi));
    }
    return out;
}

int32 histBinX(const aoiRec& graphBox, int32 bin)
{
    return graphBox.x0 + 1 + bin;
}

int32 histBinAt(const aoiRec& graphBox, int32 x)
{
    const int32 bin = x - graphBox.x0 - 1;
    return bin >= 0 && bin < 256 ? bin : -1;
}

int32 histLevelAt(const aoiRec& graphBox, int32 x)
{
    return std::clamp(x - graphBox.x0 - 1, 0, 255);
}

int32 histBarHeight(std::uint64_t count, std::uint64_t most, int32 rows, int32u ancil)
{
    if (count == 0 || most == 0 || rows <= 0)
        return 0;
    const double r = double(count) / double(most);
    double v = r;
    if (ancil & ancLOG)
        v = std::log1p(double(count)) / std::log1p(double(most));
    else if (ancil & ancEXP)
        v = std::expm1(r) / std::expm1(1.0);
    // A level that occurs at all keeps at least one row, so that it can be seen and picked.
    return std::clamp(int32(std::lround(v * rows)), 1, rows);
}

void DRAW_HISTOGRAM(const viewState* vs, const viewHist& h)
{
    viewSurface* s = activeSurface();
    const aoiRec& b = vs->graphBox;
    aoiRec c;
    if (!s || !clipToView(b, &c) || c.x0 != b.x0 || c.y0 != b.y0 || c.x1 != b.x1 || c.y1 != b.y1)
        return;
    const int32 w = boxW(b), rows = boxH(b) - 2;
    if (w < 258 || rows < 1)
        return;
    std::uint64_t most = 0;
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i)
            most = std::max(most, h.bin[g][i]);
    std::vector<int32u> img(std::size_t(w) * std::size_t(boxH(b)), 0u);
    static const int32u gunColour[3] = {0xff0000u, 0x00ff00u, 0x0000ffu};
    for (int i = 0; i < 256; ++i) {
        const int32 x = histBinX(b, i) - b.x0;
        for (int g = 0; g < 3; ++g) {
            const int32 bar = histBarHeight(h.bin[g][i], most, rows, vs->ancil);
            // The guns' bars share a column: where they overlap the colours add up.
            for (int32 k = 0; k < bar; ++k)
                img[std::size_t(boxH(b) - 2 - k) * std::size_t(w) + std::size_t(x)] |= gunColour[g];
        }
    }
    for (int32 x = 0; x < w; ++x)
        img[std::size_t(x)] = img[std::size_t(boxH(b) - 1) * std::size_t(w) + std::size_t(x)] =
            WHITE;
    for (int32 y = 0; y < boxH(b); ++y)
        img[std::size_t(y) * std::size_t(w)] =
            img[std::size_t(y) * std::size_t(w) + std::size_t(w - 1)] = WHITE;
    s->putPixels(twBox{b.x0, b.y0, b.x1, b.y1}, img.data());
}

bool readoutHist(const viewState* vs, viewHist* h)
{
    *h = viewHist{};
    if (!(vs->dmode & modeANCIL_DISPLAY)) {
        const translState& t = curTransl;
        if (!t.pixels)
            return false;
        histOfPixels(std::span<const int32u>(t.pixels, std::size_t(t.cols) * std::size_t(t.rows)),
                     h);
        return true;
    }
    viewSurface* s = activeSurface();
    if (!s)
        return false;
    // The display box left of the column: the column would count its own graphs.
    int32 d[4];
    s->displayBox(d);
    if (vs->ancil & ancROAM)
        d[2] = std::min(d[2], vs->ancColumn.x0 - 1);
    if (d[2] < d[0] || d[3] < d[1])
        return false;
    std::vector<int32u> row(std::size_t(d[2] - d[0] + 1));
    for (int32 y = d[1]; y <= d[3]; ++y) {
        if (!s->getPixels(twBox{d[0], y, d[2], y}, row.data()))
            return false;
        histOfPixels(row, h);
    }
    return true;
}

void DRAW_STATS(const viewState* vs, const std::vector<std::string>& lines)
{
    const aoiRec& b = vs->topBox;
    aoiRec c;
    if (!clipToView(b, &c))
        return;
    clearViewRect(c);
    if (!twBack)
        return;
    const TavFontDes& f = currentFont();
    const int32 step = std::max<int32>(f.lineStep, 12);
    int32 y = c.y0 + step;
    for (const std::string& l : lines) {
        if (y > c.y1)
            break;
        twBack->drawText(c.x0 + 4, y, l, WHITE, false);
        y += step;
    }
}

const viewHist& roamAreaHist()
{
    return roam.area;
}

void ROAM_UNTIL_RESUME(viewState* vs)
{
    for (;;) {
        int32 x = 0, y = 0;
        const int code = viewUi().mouseEvent(&x, &y, 0);
        if (code == MOUSE_MIDDLE || code == MOUSE_RIGHT || code == MOUSE_CLOSE || code == 0)
            return;
        ROAM_EVENT(vs, code, x, y);
    }
}
