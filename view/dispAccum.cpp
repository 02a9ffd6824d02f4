#include "dispAccum.h"

#include <cstdio>
#include <new>
#include <span>
#include <vector>

#include "folio_utl.h"
#include "renderPix.h"
#include "uiPort.h"
#include "viewSurface.h"

namespace {

// The display box of the view in use; false when there is no view or the box is empty.
bool displayBoxNow(viewSurface* s, int32 box[4])
{
    if (!s)
        return false;
    s->displayBox(box);
    return box[2] >= box[0] && box[3] >= box[1];
}

// The display accumulator, positioned at its pixels, when it holds a view of the display box
// now in use (whose size goes to w and h). ACC_OK or the refusal.
int32 openStoredView(viewSurface* s, int32 b[4], std::FILE** f, int32* w, int32* h)
{
    *f = FOLIO_FILE(slotDISPLAY);
    if (!*f || !displayBoxNow(s, b))
        return ACC_NO_FILE;
    std::rewind(*f);
    int32 hdr[2] = {0, 0};
    if (std::fread(hdr, sizeof hdr, 1, *f) != 1)
        return ACC_NO_FILE;
    *w = b[2] - b[0] + 1;
    *h = b[3] - b[1] + 1;
    return hdr[0] == *w && hdr[1] == *h ? ACC_OK : ACC_SIZE;
}

} // namespace

void emptyFolios(int32u mask)
{
    CLAIM_FOLIOS(mask);
}

int32 CUT_ACCUM()
{
    viewSurface* s = activeSurface();
    int32 b[4];
    if (!displayBoxNow(s, b))
        return ACC_NO_FILE;
    const int32 w = b[2] - b[0] + 1, h = b[3] - b[1] + 1;
    if (!viewMemOk(w, h))
        return ACC_NO_MEM;
    std::vector<int32u> px;
    px.resize(std::size_t(w) * std::size_t(h));
    if (!s->getPixels(twBox{b[0], b[1], b[2], b[3]}, px.data()))
        return ACC_IO;
    emptyFolios(1u << slotDISPLAY);
    std::FILE* f = FOLIO_FILE(slotDISPLAY);
    if (!f)
        return ACC_NO_FILE;
    const int32 hdr[2] = {w, h};
    if (std::fwrite(hdr, sizeof hdr, 1, f) != 1 ||
        std::fwrite(px.data(), 4, px.size(), f) != px.size()) {
        emptyFolios(1u << slotDISPLAY);
        return ACC_IO;
    }
    std::fflush(f);
    return ACC_OK;
}

int32 paste_accum(const lutSet* luts)
{
    viewSurface* s = activeSurface();
    int32 b[4], w = 0, h = 0;
    std::FILE* f = nullptr;
    if (const int32 st = openStoredView(s, b, &f, &w, &h); st != ACC_OK)
        return st;
    if (!viewMemOk(w, h))
        return ACC_NO_MEM;
    std::vector<int32u> px;
    px.resize(std::size_t(w) * std::size_t(h));
    if (std::fread(px.data(), 4, px.size(), f) != px.size())
        return ACC_IO;
    if (luts)
        lutRows(std::span<int32u>(px), *luts);
    s->putPixels(twBox{b[0], b[1], b[2], b[3]}, px.data());
    return ACC_OK;
}

namespace {

// A view rectangle through the render objects: read on opening, written back on commit.
class viewArea final : public sbuffDisplayArea {
public:
    explicit viewArea(const aoiRec& a) : area_(&a, RP_VIEW), px_(area_.read()) {}
    int32u* pixels() override { return px_; }
    bool size(int32* w, int32* h) const { return area_.size(w, h); }
    void commit() override
    {
        if (px_)
            area_.write();
    }

private:
    RenderArea area_;
    int32u* px_;
};

sbuffDisplayArea* openViewArea(const aoiRec& a)
{
    // The render object asks the memory guard for its scratch; a refusal reaches the message
    // box there and leaves no pixels to render into.
    // A rectangle the display box cuts would be lent narrower than the rows rendered into it.
    auto* v = new (std::nothrow) viewArea(a);
    int32 w = 0, h = 0;
    if (v && (!v->pixels() || !v->size(&w, &h) || w != a.x1 - a.x0 + 1 || h != a.y1 - a.y0 + 1)) {
        delete v;
        return nullptr;
    }
    return v;
}

} // namespace

void lendViewToSbuff(bool on)
{
    SET_sBUFF_DISPLAY(on ? openViewArea : nullptr);
}

int32 paste_accum_guns(int gunBits)
{
    viewSurface* s = activeSurface();
    int32 b[4], w = 0, h = 0;
    std::FILE* f = nullptr;
    if (const int32 st = openStoredView(s, b, &f, &w, &h); st != ACC_OK)
        return st;
    if (!viewMemOk(w, std::int64_t(h) * 2)) // what is stored and what is shown
        return ACC_NO_MEM;
    const std::size_t n = std::size_t(w) * std::size_t(h);
    std::vector<int32u> stored(n), shown(n);
    if (std::fread(stored.data(), 4, n, f) != n)
        return ACC_IO;
    const twBox box{b[0], b[1], b[2], b[3]};
    if (!s->getPixels(box, shown.data()))
        return ACC_IO;
    mergeGunRows(std::span<int32u>(shown), std::span<const int32u>(stored), gunByteMask(gunBits));
    s->putPixels(box, shown.data());
    return ACC_OK;
}
