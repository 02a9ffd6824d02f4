#include "fractalOps.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "bTransl.h"
#include "diag.h"
#include "lexical.h"
#include "opMenu.h"
#include "pixelScope.h"
#include "pseudoLut.h"
#include "renderPix.h"
#include "uiPort.h"
#include "viewSurface.h"

fractalSettings fractSet;
fractalSettings fractPrev;
bool fractHavePrev = false;
fractalHistory fractHistory;

namespace {

// Menu ids of the loop in progress; the link tables point at them.
struct fractalIds {
    int32 top = -1, types = -1, set = -1, cycles = -1;
    int32 viewer = -1, zoom = -1, viewCycles = -1;
};
fractalIds ids;

enum : int32 { F_RUN = 1, F_SET = 2, F_STATUS = 3 };
enum : int32 { F_PREVIOUS = -1 };
enum : int32 { F_ITERATION = 1, F_AREA = 2, F_CYCLE = 3, F_CXCY = 4 };
enum : int32 { FX_ZOOM = 1, FX_BACK = 2, FX_CYCLE = 3, FX_CXCY = 4 };

bool validCycles(int32 c)
{
    return c == 0 || c == 2 || c == 4 || c == 8 || c == 16;
}

void defaultIterations()
{
    fractSet.iters = 256;
    fractSet.term = 4.0;
}

void setIterations()
{
    uiPort& ui = viewUi();
    const std::string answer =
        ui.ask(strPrintf("Enter iterations and termination value.              \nCurrent "
                         "values: %d, %4.1f  > ",
                         int(fractSet.iters), fractSet.term));
    switch (parseFractalIterations(answer, &fractSet.iters, &fractSet.term)) {
    case FRP_SET:
        ui.message("Fractal parameters changed", MSG_BRIEF);
        break;
    case FRP_EMPTY:
        defaultIterations();
        ui.message("Fractal parameters reset to defaults", MSG_BRIEF);
        break;
    default:
        defaultIterations();
        ui.message("Input error\nFractal parameters reset to defaults", MSG_ACK);
        break;
    }
}

void setArea()
{
    uiPort& ui = viewUi();
    double xa = 0.0, ya = 0.0, xb = 0.0, yb = 0.0;
    if (ui.askDoublePair("Min (-2, -1.5), Max (2, 1.5)           \nEnter upper left: ", xa, ya) !=
            PAIR_OK ||
        ui.askDoublePair("Min (-2,-1.5), Max (2, 1.5)            \nEnter lower right: ", xb, yb) !=
            PAIR_OK)
        return;
    switch (fractalAreaFrom(xa, ya, xb, yb, &fractSet.area)) {
    case FRA_RANGE:
        ui.message("Values out of range; ignored.", MSG_ACK);
        return;
    case FRA_FLAT:
        ui.message("Rendering area cannot be point or line", MSG_ACK);
        return;
    default:
        fractSet.useDefaultArea = false;
        ui.message("Rendering area changed.", MSG_BRIEF);
        return;
    }
}

void setConstant()
{
    uiPort& ui = viewUi();
    const std::string answer = ui.ask(
        strPrintf("Enter [CX,CY] values for (.) fractal\nDefault values: -0.750, -0.200\nCurrent "
                  "values: %6.3F, %6.3f\nNew values> ",
                  fractSet.cx, fractSet.cy));
    const int32 rc = parseFractalC(answer, &fractSet.cx, &fractSet.cy);
    if (rc == FRP_SET)
        return;
    fractSet.cx = -0.75;
    fractSet.cy = -0.2;
    if (rc == FRP_EMPTY)
        ui.message("CX, CY reset to defaults", MSG_BRIEF);
    else
        ui.message("Data error\nUsing default CX, CY", MSG_ACK);
}

void showParameters()
{
    viewUi().message(strPrintf("    FRACTAL PARAMETERS\nITERATIONS:  %d\nTERM VALUE:  %5.3f\nLUT "
                               "CYCLE:   %d\nCX/CY:      %6.3f %6.3f",
                               int(fractSet.iters), fractSet.term, int(fractSet.lutCycles),
                               fractSet.cx, fractSet.cy),
                     MSG_ACK);
}

// The colour map of the settings: max(N, 256) pseudo-colour entries, the last one black.
bool colourMap(std::vector<int32u>& map)
{
    const int32 m = fractalMapSize(fractSet.iters);
    std::unique_ptr<charu[]> r(new (std::nothrow) charu[std::size_t(m)]);
    std::unique_ptr<charu[]> g(new (std::nothrow) charu[std::size_t(m)]);
    std::unique_ptr<charu[]> b(new (std::nothrow) charu[std::size_t(m)]);
    if (!r || !g || !b) {
        DIAG("\n***fractCMAP severe: out of memory");
        return false;
    }
    const int32 range[2] = {0, m - 1};
    const int32u mode = fractSet.lutCycles > 0 ? PSL_COMB | int32u(fractSet.lutCycles) : 0u;
    if (PSEUDO_LUT(range, r.get(), g.get(), b.get(), m, mode, 0, 1.0) != 0)
        return false;
    map = fractalColourMap(r.get(), g.get(), b.get(), m);
    return true;
}

// Renders the settings into the scope, row by row.
bool render(viewState* vs, const pixelScope& s, bufdes* bd, const std::vector<int32u>& map)
{
    scopeLines lines(s, bd, "Rendering fractal");
    if (!lines.ok())
        return false;
    for (int32 r = 0; r < s.rows; ++r) {
        int32u* row = lines.row(r);
        if (!row)
            return false;
        FRACTAL_ROW(fractSet, r, s.rows, map, std::span<int32u>(row, std::size_t(s.cols)));
        if (!lines.put(r))
            return false;
    }
    // In GLOBAL scope the rows went into the buffer: show it.
    if (s.global && activeSurface())
        VIEW_MEM(nullptr, (vs->dmode & modeGLOBALV) != 0);
    testLog("fractal %s %.17g %.17g %.17g %.17g", fractalTypeName(fractSet.type), fractSet.area.x0,
            fractSet.area.y0, fractSet.area.x1, fractSet.area.y1);
    return true;
}

// One left click in the work area: the point relative to the area (buffer pixels in GLOBAL
// scope). False when the right button (or a refresh or close) cancels.
bool pickPoint(const pixelScope& s, int32* px, int32* py)
{
    uiPort& ui = viewUi();
    ui.message("Click L MOUSE at the new upper left corner.\nR MOUSE cancels.", MSG_STANDING);
    for (;;) {
        int32 x = 0, y = 0;
        const int c = ui.mouseEvent(&x, &y, 1);
        if (c == MOUSE_RIGHT || c == MOUSE_REDRAW || c == MOUSE_CLOSE) {
            ui.clearMessage();
            return false;
        }
        if (c != MOUSE_LEFT)
            continue;
        if (s.global) {
            bufMapping m{};
            if (!DXY_TO_BUF(aoiRec{x, y, x, y}, &m))
                continue;
            x = m.buf.x0;
            y = m.buf.y0;
        }
        if (x < s.area.x0 || x > s.area.x1 || y < s.area.y0 || y > s.area.y1)
            continue;
        // The click's release is taken here: left for the viewer's menu, which pops up next,
        // it would end that menu at once.
        for (int32 rx = 0, ry = 0;;) {
            const int r = ui.mouseEvent(&rx, &ry, 1);
            if (r == -MOUSE_LEFT || r == MOUSE_REDRAW || r == MOUSE_CLOSE)
                break;
        }
        ui.clearMessage();
        *px = x - s.area.x0;
        *py = y - s.area.y0;
        return true;
    }
}

std::string closingStatus()
{
    const fractalSettings& f = fractSet;
    std::string text =
        strPrintf("Fractal... %s\nUpper left:  %13.10f, %13.10f\nLower right: %13.10f, "
                  "%13.10f\nMax iter:     %d\nIter exit:   %4.1f\nLUT cycles:   %d",
                  fractalTypeName(f.type), f.area.x0, f.area.y0, f.area.x1, f.area.y1, int(f.iters),
                  f.term, int(f.lutCycles));
    if (fractalTakesC(f.type))
        text += strPrintf("\nCX, CY:      %f,  %f", f.cx, f.cy);
    return text;
}

} // namespace

void resetFractals()
{
    fractSet = fractalSettings{};
    fractPrev = fractalSettings{};
    fractHavePrev = false;
    fractHistory.clear();
}

int32 fractalMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("RUN|SET|STATUS");
    ids.types = defineMenu(" Mandelbrot|.Julia|.Barnsley 1|.Barnsley 2| Spider| ManOWar| "
                           "Sierpinski| -previous-%i-1");
    ids.set = defineMenu("ITERATION|AREA|LUT CYCLE|CX/CY [.]");
    ids.cycles = defineMenu("  2 %i2|  4 %i4|  8 %i8| 16 %i16|OFF %i0");
    links.push_back(pupLink{&ids.top, 0, &ids.types});
    links.push_back(pupLink{&ids.top, 1, &ids.set});
    links.push_back(pupLink{&ids.set, 2, &ids.cycles});
    // The viewer's menu pops up on its own, so its tree is linked apart from the main menu's.
    ids.viewer = defineMenu("FRACTX%t|ZOOM|BACK|LUT CYCLE|CX/CY");
    ids.zoom = defineMenu(" 2x%i2| 4x%i4| 8x%i8|16x%i16");
    ids.viewCycles = defineMenu("  2%i2|  4%i4|  8%i8| 16%i16|OFF%i0");
    // Items count from the title.
    const pupLink viewer[] = {{&ids.viewer, 1, &ids.zoom}, {&ids.viewer, 3, &ids.viewCycles}};
    TAV_ASSERT(xLNKPUP(2, viewer) == ids.viewer);
    return ids.top;
}

pixelRun fractalRun(viewState* vs, const int32* pupvals, bufdes* bd)
{
    pixelRun run;
    switch (pupvals[2]) {
    case F_RUN:
        if (pupvals[3] == F_PREVIOUS) {
            if (!fractHavePrev) {
                viewUi().message("No previous fractal defined...", MSG_ACK);
                return run;
            }
            fractSet = fractPrev;
        } else if (pupvals[3] >= 1 && pupvals[3] <= FRACT_TYPES) {
            fractSet.type = pupvals[3] - 1;
        } else {
            return run;
        }
        run.status = FRACTAL_VIEW(vs, bd, &run);
        return run;
    case F_SET:
        switch (pupvals[3]) {
        case F_ITERATION:
            setIterations();
            break;
        case F_AREA:
            setArea();
            break;
        case F_CYCLE:
            if (validCycles(pupvals[4])) {
                fractSet.lutCycles = pupvals[4];
                viewUi().message("LUT cycling changed", MSG_BRIEF);
            }
            break;
        case F_CXCY:
            setConstant();
            break;
        default:
            break;
        }
        return run;
    case F_STATUS:
        showParameters();
        return run;
    default:
        return run;
    }
}

int32 FRACTAL_VIEW(viewState* vs, bufdes* bd, pixelRun* run)
{
    uiPort& ui = viewUi();
    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s) || s.cols <= 255) {
        ui.message("fractX: work area too small", MSG_ACK);
        return -1;
    }
    std::vector<int32u> map;
    if (!colourMap(map))
        return -1;
    if (fractSet.useDefaultArea) {
        fractSet.area = fractalDefaultArea(fractSet.type);
        // The area is now explicit: BACK and "-previous-" return to it, not to the default.
        fractSet.useDefaultArea = false;
    }
    // Each viewer starts a history of its own, so that ZOOM can always push.
    fractHistory.clear();
    fractHistory.push(fractSet);
    bool shownOnTop = true; // the settings shown are the history's top entry
    if (!render(vs, s, bd, map))
        return -1;
    run->changed = true;

    for (;;) {
        int32 vals[MAX_PUP_LEVEL];
        std::fill(vals, vals + MAX_PUP_LEVEL, -1);
        bool outside = true;
        ui.popup(ids.viewer, vals, &outside);
        if (outside)
            break;
        switch (vals[0]) {
        case FX_ZOOM: {
            int32 px = 0, py = 0;
            if (vals[1] < 2 || !pickPoint(s, &px, &py))
                continue;
            if (!fractalZoom(fractSet.area, px, py, s.cols, s.rows, vals[1])) {
                ui.message("Rendering area cannot be point or line", MSG_ACK);
                continue;
            }
            shownOnTop = fractHistory.push(fractSet);
            if (!shownOnTop)
                ui.message("History stack full...", MSG_BRIEF);
            break;
        }
        case FX_BACK:
            // A zoom the full history could not keep steps back to the top entry itself.
            if (!(shownOnTop ? fractHistory.back(&fractSet) : fractHistory.top(&fractSet)))
                continue;
            shownOnTop = true;
            if (!colourMap(map))
                return -1;
            break;
        case FX_CYCLE:
            if (!validCycles(vals[1]))
                continue;
            fractSet.lutCycles = vals[1];
            if (!colourMap(map))
                return -1;
            break;
        case FX_CXCY:
            if (!fractalTakesC(fractSet.type)) {
                ui.message("CX / CY not relevant\nfor this fractal", MSG_ACK);
                continue;
            }
            setConstant();
            break;
        default:
            continue;
        }
        if (!render(vs, s, bd, map))
            return -1;
    }

    fractPrev = fractSet;
    fractHavePrev = true;
    fractSet.useDefaultArea = true;
    ui.message(closingStatus(), MSG_ACK);
    return 0;
}
