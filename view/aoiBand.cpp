#include "aoiBand.h"

#include <algorithm>
#include <cstdlib>

#include "aoiKernels.h"
#include "emuOvl.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewState.h"
#include "viewSurface.h"

aoiSnapRec aoiSnap;
aoiHistoryRec aoiHistory;
int32u aoiFrameColour[3] = {0xFFFF00u, 0x00FFFFu, 0xFFFFFFu};

namespace {

bool cancels(int code)
{
    return code == MOUSE_RIGHT || code == MOUSE_REDRAW || code == MOUSE_CLOSE;
}

// The band from the first point to the pointer, normalised.
aoiRec bandTo(int32 x0, int32 y0, int32 x, int32 y, bool square)
{
    if (square) {
        const int32 h = std::max(std::abs(x - x0), std::abs(y - y0));
        return aoiRec{x0 - h, y0 - h, x0 + h, y0 + h};
    }
    return aoiRec{std::min(x0, x), std::min(y0, y), std::max(x0, x), std::max(y0, y)};
}

// The box drawn while the pointer moves it; gone with the scope.
struct bandBox {
    int32 no = -1;
    void show(const aoiRec& r)
    {
        if (no < 0)
            no = flickBoxes.newFlick(r, viewRgb(255, 255, 0), FLICK_DRAW);
        else
            flickBoxes.flickBox(&r, no, FLICK_MOVE | FLICK_DRAW);
    }
    ~bandBox()
    {
        if (no >= 0)
            flickBoxes.deleteFlick(no);
    }
};

} // namespace

void pushAoiHistory(const aoiRec& r)
{
    aoiHistoryRec& h = aoiHistory;
    h.slot[h.next] = r;
    h.cur = h.next;
    h.next = (h.next + 1) % AOI_HISTORY;
    h.count = std::min(h.count + 1, AOI_HISTORY);
}

bool stepAoiHistory(int32 dir, aoiRec* out)
{
    aoiHistoryRec& h = aoiHistory;
    if (h.count < 2)
        return false;
    if (dir < 0)
        h.cur = h.cur > 0 ? h.cur - 1 : h.count - 1;
    else
        h.cur = h.cur + 1 < h.count ? h.cur + 1 : 0;
    *out = h.slot[h.cur];
    return true;
}

void resetAoiPointer()
{
    aoiSnap = aoiSnapRec{};
    aoiHistory = aoiHistoryRec{};
    aoiFrameColour[0] = 0xFFFF00u;
    aoiFrameColour[1] = 0x00FFFFu;
    aoiFrameColour[2] = 0xFFFFFFu;
}

aoiRec aoiDisplayBox()
{
    int32 b[4] = {vState.dispBox[0], vState.dispBox[1], vState.dispBox[2], vState.dispBox[3]};
    if (viewSurface* s = activeSurface())
        s->displayBox(b);
    return aoiRec{b[0], b[1], b[2], b[3]};
}

bool RUBBER_BAND(int32u flags, int32 snap, aoiRec* out)
{
    uiPort& ui = viewUi();
    const bool square = flags & RUBBER_SQUARE;
    for (;;) {
        ui.message(square ? "Move cursor to square center & press L MOUSE."
                          : "Move cursor to box origin & press L MOUSE.",
                   MSG_STANDING);
        int32 x0 = 0, y0 = 0;
        TEXTWIN_IDLE("band origin");
        for (;;) {
            const int c = ui.mouseEvent(&x0, &y0, 1);
            if (c == MOUSE_LEFT)
                break;
            if (cancels(c)) {
                ui.clearMessage();
                return false;
            }
        }
        x0 = snapCoord(x0, snap);
        y0 = snapCoord(y0, snap);
        ui.message(square ? "Move cursor to change size, then press L or M MOUSE."
                          : "Move to opposite corner & press L or M MOUSE.",
                   MSG_BRIEF);
        {
            bandBox box;
            aoiRec r{x0, y0, x0, y0};
            box.show(r);
            TEXTWIN_IDLE("band corner");
            for (;;) {
                int32 x = 0, y = 0;
                const int c = ui.mouseEvent(&x, &y, 0);
                if (c == MOUSE_MOVED || c == MOUSE_LEFT) {
                    r = bandTo(x0, y0, snapCoord(x, snap), snapCoord(y, snap), square);
                    if (c == MOUSE_MOVED) {
                        box.show(r);
                        continue;
                    }
                    // Accepted: the origin on the snap, the size as drawn, inside the view.
                    const int32 w = r.x1 - r.x0, h = r.y1 - r.y0;
                    if (!(flags & BAND_DEST)) {
                        r.x0 = snapCoord(std::max(r.x0, 0), snap);
                        r.y0 = snapCoord(std::max(r.y0, 0), snap);
                    }
                    const aoiRec d = aoiDisplayBox();
                    r = aoiRec{std::max(r.x0, d.x0), std::max(r.y0, d.y0), std::min(r.x0 + w, d.x1),
                               std::min(r.y0 + h, d.y1)};
                    if (r.x1 < r.x0 || r.y1 < r.y0)
                        return false;
                    *out = r;
                    return true;
                }
                if (c == MOUSE_MIDDLE)
                    break;
                if (cancels(c))
                    return false;
            }
        }
        ui.message("Press L MOUSE to repeat, R MOUSE to quit.", MSG_STANDING);
        for (;;) {
            int32 x = 0, y = 0;
            const int c = ui.mouseEvent(&x, &y, 1);
            if (c == MOUSE_LEFT)
                break;
            if (cancels(c)) {
                ui.clearMessage();
                return false;
            }
        }
    }
}

bool PLACE_BOX(const aoiRec& start, bool atPointer, int32 snap, aoiRec* out)
{
    uiPort& ui = viewUi();
    const aoiRec d = aoiDisplayBox();
    const int32 w = start.x1 - start.x0 + 1, h = start.y1 - start.y0 + 1;
    int32 px = 0, py = 0;
    ui.pointer(&px, &py);
    const auto at = [&](int32 x, int32 y) {
        const int32 ox = atPointer ? x : start.x0 + x - px;
        const int32 oy = atPointer ? y : start.y0 + y - py;
        return asAoi(placeInBox(snapCoord(ox, snap), snapCoord(oy, snap), w, h, asBox(d)));
    };
    bandBox box;
    aoiRec r = at(px, py);
    box.show(r);
    for (;;) {
        int32 x = 0, y = 0;
        const int c = ui.mouseEvent(&x, &y, 0);
        if (c == MOUSE_MOVED || c == MOUSE_LEFT) {
            r = at(x, y);
            if (c == MOUSE_LEFT) {
                *out = r;
                return true;
            }
            box.show(r);
            continue;
        }
        if (cancels(c))
            return false;
    }
}

int32 TILE_BOX(const aoiRec& cur, aoiRec* out)
{
    uiPort& ui = viewUi();
    ui.message("Click L MOUSE in desired\nadjoining FG AOI position.", MSG_STANDING);
    for (;;) {
        int32 x = 0, y = 0;
        const int c = ui.mouseEvent(&x, &y, 1);
        if (cancels(c)) {
            ui.clearMessage();
            return TILE_CANCELLED;
        }
        if (c != MOUSE_LEFT)
            continue;
        ui.clearMessage();
        pixBox t;
        if (!adjoiningTile(asBox(cur), x, y, &t))
            return TILE_INSIDE;
        if (!insideBox(t, asBox(aoiDisplayBox())))
            return TILE_OUTSIDE;
        *out = asAoi(t);
        return TILE_DONE;
    }
}
