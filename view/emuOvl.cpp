#include "emuOvl.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "bTransl.h"
#include "diag.h"
#include "renderPix.h"
#include "textwin.h"
#include "viewSurface.h"

emuOvl flickBoxes;

namespace {

// Guns by byte offset in a view pixel: red, green, blue, alpha.
constexpr int gunOfs[4] = {2, 1, 0, 3};

int32u fgPixel = 0xffffffu;
int32u bgPixel = 0;

bool viewBoxNow(aoiRec* d)
{
    viewSurface* s = activeSurface();
    if (!s)
        return false;
    int32 b[4] = {0, 0, -1, -1};
    s->displayBox(b);
    *d = aoiRec{b[0], b[1], b[2], b[3]};
    return d->x1 >= d->x0 && d->y1 >= d->y0;
}

// The runs of an outline that lie inside the view: top, right, bottom, left. An edge outside
// the view, or cut to nothing, is left out, so that no empty or outside box reaches the
// surface.
int outlineRuns(const aoiRec& r, const aoiRec& v, twBox out[4])
{
    int n = 0;
    auto add = [&](int32 x0, int32 y0, int32 x1, int32 y1) {
        x0 = std::max(x0, v.x0);
        y0 = std::max(y0, v.y0);
        x1 = std::min(x1, v.x1);
        y1 = std::min(y1, v.y1);
        if (x0 <= x1 && y0 <= y1)
            out[n++] = twBox{x0, y0, x1, y1};
    };
    add(r.x0, r.y0, r.x1, r.y0);
    add(r.x1, r.y0, r.x1, r.y1);
    add(r.x0, r.y1, r.x1, r.y1);
    add(r.x0, r.y0, r.x0, r.y1);
    return n;
}

std::size_t runPixels(const twBox& b)
{
    return std::size_t(b.x1 - b.x0 + 1) * std::size_t(b.y1 - b.y0 + 1);
}

} // namespace

bool clipToView(const aoiRec& r, aoiRec* out)
{
    aoiRec v;
    if (!viewBoxNow(&v))
        return false;
    *out = aoiRec{std::max(r.x0, v.x0), std::max(r.y0, v.y0), std::min(r.x1, v.x1),
                  std::min(r.y1, v.y1)};
    return out->x0 <= out->x1 && out->y0 <= out->y1;
}

bool emuOvl::valid(int32 boxNo, const char* who) const
{
    if (boxNo >= 0 && boxNo < NUM_FLICK)
        return true;
    DIAG("\n***emuOvl()/%s(): boxNo %d undefined", who, int(boxNo));
    return false;
}

int32 emuOvl::newFlick(const aoiRec& r, int32u colour, int32 flags)
{
    int32 k = 0;
    while (k < NUM_FLICK && slots_[k].used)
        ++k;
    if (k == NUM_FLICK) {
        DIAG("\nSevere-emuOvl::newFlick() no boxs available");
        return -1;
    }
    aoiRec d;
    if (!viewBoxNow(&d))
        d = aoiRec{0, 0, curTransl.viewW - 1, curTransl.viewH - 1};
    // Larger than the display on an axis: the display's extent; otherwise shifted inside.
    auto fit = [](int32* lo, int32* hi, int32 dlo, int32 dhi) {
        if (*hi < *lo)
            std::swap(*lo, *hi);
        if (*hi - *lo > dhi - dlo) {
            *lo = dlo;
            *hi = dhi;
            return;
        }
        const int32 shift = *lo < dlo ? dlo - *lo : *hi > dhi ? dhi - *hi : 0;
        *lo += shift;
        *hi += shift;
    };
    aoiRec f = r;
    fit(&f.x0, &f.x1, d.x0, d.x1);
    fit(&f.y0, &f.y1, d.y0, d.y1);
    slot& s = slots_[k];
    s = slot{};
    s.width = f.x1 - f.x0;
    s.height = f.y1 - f.y0;
    try {
        s.saved.resize(2 * std::size_t(s.width + 1) + 2 * std::size_t(s.height + 1));
    } catch (const std::bad_alloc&) {
        s = slot{};
        DIAG("\nSevere-emuOvl::newFlick() no-memory");
        return -1;
    }
    s.used = true;
    s.colour = colour;
    s.r = f;
    ++used_;
    if (flags & FLICK_DRAW)
        draw(s);
    return k;
}

void emuOvl::draw(slot& s)
{
    viewSurface* v = activeSurface();
    aoiRec d;
    if (!v || !viewBoxNow(&d))
        return;
    twBox b[4];
    s.nRuns = outlineRuns(s.r, d, b);
    std::size_t at = 0;
    // Everything under the outline is saved before any of it is drawn: the corners belong to
    // two runs, and both must keep the view's pixel, not the box colour.
    for (int i = 0; i < s.nRuns; ++i) {
        s.runs[i] = run{b[i], at};
        v->getPixels(b[i], s.saved.data() + at);
        at += runPixels(b[i]);
    }
    for (int i = 0; i < s.nRuns; ++i)
        v->fillRect(b[i], s.colour);
    s.isShown = true;
    order_.push_back(int32(&s - slots_));
}

void emuOvl::erase(slot& s)
{
    if (!s.isShown)
        return;
    s.isShown = false;
    order_.erase(std::remove(order_.begin(), order_.end(), int32(&s - slots_)), order_.end());
    viewSurface* v = activeSurface();
    if (!v)
        return;
    for (int i = s.nRuns - 1; i >= 0; --i)
        v->putPixels(s.runs[i].b, s.saved.data() + s.runs[i].at);
}

// A box drawn later may cover this one's edges and holds this one's colour in its saved
// pixels: it comes off first and goes back on afterwards, so every erase restores the view.
void emuOvl::eraseAbove(int32 boxNo, std::vector<int32>* above)
{
    auto it = std::find(order_.begin(), order_.end(), boxNo);
    if (it == order_.end())
        return;
    above->assign(it + 1, order_.end());
    for (auto k = above->rbegin(); k != above->rend(); ++k)
        erase(slots_[*k]);
}

void emuOvl::redraw(const std::vector<int32>& boxes)
{
    for (int32 k : boxes)
        draw(slots_[k]);
}

void emuOvl::flickBox(const aoiRec* r, int32 boxNo, int32 mode)
{
    if (!valid(boxNo, "flickBox"))
        return;
    slot& s = slots_[boxNo];
    if (!s.used)
        return;
    std::vector<int32> above;
    if ((mode & (FLICK_DRAW | FLICK_ERASE | FLICK_MOVE)) && s.isShown) {
        eraseAbove(boxNo, &above);
        erase(s);
    }
    if ((mode & FLICK_MOVE) && r) {
        aoiRec n = *r;
        if (n.x1 < n.x0)
            std::swap(n.x0, n.x1);
        if (n.y1 < n.y0)
            std::swap(n.y0, n.y1);
        const std::size_t need =
            2 * std::size_t(n.x1 - n.x0 + 1) + 2 * std::size_t(n.y1 - n.y0 + 1);
        if (need > s.saved.size()) {
            try {
                s.saved.resize(need);
            } catch (const std::bad_alloc&) {
                DIAG("\nSevere-emuOvl::newFlick() no-memory");
                redraw(above);
                return;
            }
        }
        s.r = n;
        s.width = n.x1 - n.x0;
        s.height = n.y1 - n.y0;
    }
    if (mode & FLICK_DRAW)
        draw(s);
    redraw(above);
}

void emuOvl::deleteFlick(int32 boxNo)
{
    if (boxNo == -1) {
        eraseAll();
        for (slot& s : slots_)
            s = slot{};
        used_ = 0;
        return;
    }
    if (!valid(boxNo, "deleteFlick"))
        return;
    slot& s = slots_[boxNo];
    if (!s.used)
        return;
    std::vector<int32> above;
    if (s.isShown) {
        eraseAbove(boxNo, &above);
        erase(s);
    }
    s = slot{};
    --used_;
    redraw(above);
}

void emuOvl::eraseAll()
{
    while (!order_.empty())
        erase(slots_[order_.back()]);
}

void emuOvl::setColour(int32 boxNo, int32u colour)
{
    if (valid(boxNo, "setColour") && slots_[boxNo].used)
        slots_[boxNo].colour = colour;
}

int32 emuOvl::duplicate(int32 boxNo)
{
    if (!valid(boxNo, "duplicate") || !slots_[boxNo].used)
        return -1;
    return newFlick(slots_[boxNo].r, slots_[boxNo].colour, 0);
}

bool emuOvl::rect(int32 boxNo, aoiRec* r) const
{
    if (boxNo < 0 || boxNo >= NUM_FLICK || !slots_[boxNo].used)
        return false;
    *r = slots_[boxNo].r;
    return true;
}

bool emuOvl::shown(int32 boxNo) const
{
    return boxNo >= 0 && boxNo < NUM_FLICK && slots_[boxNo].isShown;
}

void emuOvl::reset()
{
    for (slot& s : slots_)
        s = slot{};
    order_.clear();
    used_ = 0;
}

// ---------------------------------------------------------------------------------------------

void rubberLine::draw(int32 x0, int32 y0, int32 x1, int32 y1, int32u colour)
{
    erase();
    viewSurface* v = activeSurface();
    aoiRec d;
    if (!v || !viewBoxNow(&d))
        return;
    // The line as runs: one per row when it is flatter than 45 degrees, one per column when
    // steeper, so that the window gets a few requests, not one per pixel.
    const int32 dx = x1 - x0, dy = y1 - y0;
    const bool flat = std::abs(dx) >= std::abs(dy);
    const int32 n = flat ? std::abs(dy) : std::abs(dx);
    for (int32 k = 0; k <= n; ++k) {
        twBox b;
        if (flat) {
            const int32 y = y0 + (dy < 0 ? -k : k);
            // Columns of this row: between the midpoints to the neighbouring rows.
            auto colAt = [&](double t) { return int32(x0 + dx * t + (dx < 0 ? -0.5 : 0.5)); };
            const double ta = n ? (k - 0.5) / n : 0.0, tb = n ? (k + 0.5) / n : 1.0;
            int32 xa = k == 0 ? x0 : colAt(ta), xb = k == n ? x1 : colAt(tb);
            b = twBox{std::min(xa, xb), y, std::max(xa, xb), y};
        } else {
            const int32 x = x0 + (dx < 0 ? -k : k);
            auto rowAt = [&](double t) { return int32(y0 + dy * t + (dy < 0 ? -0.5 : 0.5)); };
            const double ta = n ? (k - 0.5) / n : 0.0, tb = n ? (k + 0.5) / n : 1.0;
            int32 ya = k == 0 ? y0 : rowAt(ta), yb = k == n ? y1 : rowAt(tb);
            b = twBox{x, std::min(ya, yb), x, std::max(ya, yb)};
        }
        b = twBox{std::max(b.x0, d.x0), std::max(b.y0, d.y0), std::min(b.x1, d.x1),
                  std::min(b.y1, d.y1)};
        if (b.x0 <= b.x1 && b.y0 <= b.y1)
            runs_.push_back(b);
    }
    std::size_t total = 0;
    for (const twBox& b : runs_)
        total += runPixels(b);
    saved_.resize(total);
    std::size_t at = 0;
    for (const twBox& b : runs_) {
        v->getPixels(b, saved_.data() + at);
        at += runPixels(b);
    }
    for (const twBox& b : runs_)
        v->fillRect(b, colour);
}

void rubberLine::erase()
{
    viewSurface* v = activeSurface();
    if (v) {
        // Neighbouring runs may share a pixel: the last drawn comes off first.
        std::size_t at = saved_.size();
        for (auto it = runs_.rbegin(); it != runs_.rend(); ++it) {
            at -= runPixels(*it);
            v->putPixels(*it, saved_.data() + at);
        }
    }
    runs_.clear();
    saved_.clear();
}

// ---------------------------------------------------------------------------------------------

void textLabel::draw(const aoiRec& box, const std::string& text)
{
    erase();
    viewSurface* v = activeSurface();
    aoiRec d;
    // Text goes through the window's drawing; a memory view has none.
    if (!twBack || !v || !viewBoxNow(&d))
        return;
    const TavFontDes& f = currentFont();
    const int32 w = twBack->textWidth(text) + 4, h = f.height + 2;
    if (w > d.x1 - d.x0 + 1 || h > d.y1 - d.y0 + 1)
        return;
    int32 y = box.y1 + 2;
    if (y + h - 1 > d.y1)
        y = box.y0 - h - 1;
    const int32 x = std::clamp(box.x0, d.x0, d.x1 - w + 1);
    y = std::clamp(y, d.y0, d.y1 - h + 1);
    const twBox at{x, y, x + w - 1, y + h - 1};
    saved_.resize(runPixels(at));
    if (!v->getPixels(at, saved_.data()))
        return;
    at_ = at;
    v->fillRect(at_, 0);
    twBack->drawText(x + 2, y + f.ascent, text, 0xffffffu, false);
}

void textLabel::erase()
{
    viewSurface* v = activeSurface();
    if (v && at_.x1 >= at_.x0)
        v->putPixels(at_, saved_.data());
    at_ = twBox{0, 0, -1, -1};
}

// ---------------------------------------------------------------------------------------------

int32u viewRgb(int r, int g, int b)
{
    return int32u(r & 0xff) << (8 * gunOfs[0]) | int32u(g & 0xff) << (8 * gunOfs[1]) |
           int32u(b & 0xff) << (8 * gunOfs[2]);
}

void setDrawFg(int32u pixel)
{
    fgPixel = pixel;
}

void setDrawBg(int32u pixel)
{
    bgPixel = pixel;
}

int32u drawFg()
{
    return fgPixel;
}

int32u drawBg()
{
    return bgPixel;
}

void fillViewRect(const aoiRec& r)
{
    aoiRec c;
    if (clipToView(r, &c))
        activeSurface()->fillRect(twBox{c.x0, c.y0, c.x1, c.y1}, fgPixel);
}

void clearViewRect(const aoiRec& r)
{
    aoiRec c;
    if (clipToView(r, &c))
        activeSurface()->fillRect(twBox{c.x0, c.y0, c.x1, c.y1}, 0);
}

void dimViewRect(const aoiRec& r)
{
    aoiRec c;
    if (!clipToView(r, &c))
        return;
    const twBox b{c.x0, c.y0, c.x1, c.y1};
    const std::size_t n = runPixels(b);
    int32u* px = static_cast<int32u*>(std::malloc(n * 4u));
    if (!px)
        return;
    viewSurface* v = activeSurface();
    if (v->getPixels(b, px)) {
        for (std::size_t i = 0; i < n; ++i)
            px[i] &= 0xfefefeu;
        v->putPixels(b, px);
    }
    std::free(px);
}

void clearWholeView()
{
    aoiRec d;
    if (viewBoxNow(&d))
        activeSurface()->fillRect(twBox{d.x0, d.y0, d.x1, d.y1}, 0);
}

void setPlaneMask(int gunBits)
{
    RenderPix::setGunMask(gunBits);
}
