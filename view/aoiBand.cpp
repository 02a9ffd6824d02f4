#include "aoiBand.h"

#include <algorithm>
#include <cstdlib>

#include "emuOvl.h"
#include "textwin.h"
#include "uiPort.h"

namespace {

int32 snapped(int32 v, int32 snap)
{
    return snap > 1 ? v - v % snap : v;
}

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

// The box drawn while the band follows the pointer; gone with the scope.
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

bool RUBBER_BAND(int32u flags, int32 snap, aoiRec* out)
{
    uiPort& ui = viewUi();
    const bool square = flags & RUBBER_SQUARE;
    for (;;) {
        ui.message(square ? "Move cursor to square center & press L MOUSE."
                          : "Move cursor to box origin & press L MOUSE.",
                   MSG_STANDING);
        int32 x0 = 0, y0 = 0;
        for (;;) {
            const int c = ui.mouseEvent(&x0, &y0, 1);
            if (c == MOUSE_LEFT)
                break;
            if (cancels(c)) {
                ui.clearMessage();
                return false;
            }
        }
        x0 = snapped(x0, snap);
        y0 = snapped(y0, snap);
        ui.message(square ? "Move cursor to change size, then press L or M MOUSE."
                          : "Move to opposite corner & press L or M MOUSE.",
                   MSG_BRIEF);
        bool again = false;
        {
            bandBox box;
            aoiRec r{x0, y0, x0, y0};
            box.show(r);
            for (;;) {
                int32 x = 0, y = 0;
                const int c = ui.mouseEvent(&x, &y, 0);
                if (c == MOUSE_MOVED || c == MOUSE_LEFT) {
                    r = bandTo(x0, y0, snapped(x, snap), snapped(y, snap), square);
                    if (c == MOUSE_MOVED) {
                        box.show(r);
                        continue;
                    }
                    // Accepted: the origin on the snap, the size as drawn.
                    const int32 w = r.x1 - r.x0, h = r.y1 - r.y0;
                    r.x0 = snapped(std::max(r.x0, 0), snap);
                    r.y0 = snapped(std::max(r.y0, 0), snap);
                    *out = aoiRec{r.x0, r.y0, r.x0 + w, r.y0 + h};
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
            if (c == MOUSE_LEFT) {
                again = true;
                break;
            }
            if (cancels(c)) {
                ui.clearMessage();
                return false;
            }
        }
        if (!again)
            return false;
    }
}
