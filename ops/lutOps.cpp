#include "lutOps.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <span>

#include "diag.h"
#include "dispAccum.h"
#include "hdrScale.h"
#include "lutFile.h"
#include "opMenu.h"
#include "roam.h"
#include "tavPaths.h"
#include "textwin.h"
#include "uiPort.h"
#include "viewSurface.h"

lutOpsState lutState;

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct lutIds {
    int32 lut = -1, guns = -1, curve = -1, scope = -1, hstr = -1, hspec = -1, comb = -1, info = -1,
          cycle = -1, prev = -1, io = -1;
};
lutIds ids;

// LUT OPS items.
enum : int32 {
    L_RESET = 1,
    L_EQUALIZE,
    L_HDR,
    L_HSTR,
    L_HSPEC,
    L_COMB,
    L_INFO,
    L_CYCLE,
    L_INVERT,
    L_PREVIOUS,
    L_STATUS,
    L_ZERO,
    L_IO
};

// The display colour table of the text windows: each level as the view shows it now.
twRGB displayColours[256];

struct fileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using filePtr = std::unique_ptr<std::FILE, fileCloser>;

bool onGun(int32 gunBits, int g)
{
    return (gunBits & (1 << g)) != 0;
}

// The tables the view shows: a gun's transform table unless it counts as linear.
void shownLuts(const viewState* vs, const bufdes* bd, int32 extraGuns, lutSet& out)
{
    for (int g = 0; g < 3; ++g) {
        const bool linear = (vs->gunMask & (1 << g)) && !onGun(extraGuns, g);
        for (int i = 0; i < 256; ++i)
            out[g][i] = linear ? charu(i) : bd->tLut[g][i];
    }
}

void updateColourTable(const viewState* vs, const bufdes* bd)
{
    lutSet shown;
    shownLuts(vs, bd, 0, shown);
    for (int i = 0; i < 256; ++i)
        displayColours[i] = twRGB{shown[0][i], shown[1][i], shown[2][i]};
    setDisplayColourTable(displayColours);
}

void archiveNow(const viewState* vs, const bufdes* bd)
{
    lutOpsState& s = lutState;
    lutArchiveSlot& a = s.archive[s.writeIdx];
    for (int g = 0; g < 3; ++g) {
        std::memcpy(a.lut[g], bd->tLut[g], 256);
        std::snprintf(a.names[g], sizeof a.names[g], "%s", s.names[g].c_str());
    }
    a.linearMask = charu(vs->gunMask & 7);
    s.curIdx = s.writeIdx;
    s.writeIdx = (s.writeIdx + 1) % LUT_ARCHIVE_SLOTS;
    s.filled = std::min(s.filled + 1, LUT_ARCHIVE_SLOTS);
}

// What every table-changing operation does afterwards: the changed guns leave the linear
// mask and take the name, the view is told, and a setting with some transform is archived.
void committed(viewState* vs, bufdes* bd, int32 guns, const char* name)
{
    lutOpsState& s = lutState;
    guns &= 7;
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g))
            s.names[g] = name;
    s.changedMask = int32u(guns);
    vs->gunMask = charu(vs->gunMask & ~guns & 7);
    vs->lutsChanged = true;
    if (vs->gunMask != 7)
        archiveNow(vs, bd);
    updateColourTable(vs, bd);
    testLog("lut set %s %d", name, int(guns));
}

// Histograms of what the table pass will see: the view's display box when the ancillary
// source is DISPLAY (the view shows the plain pixels while an operation runs), else the whole
// buffer.
void takeHistograms(const viewState* vs, const bufdes* bd, gunHist h[3])
{
    clearHists(h);
    viewSurface* s = activeSurface();
    int32 box[4] = {0, 0, -1, -1};
    if (s && (vs->dmode & modeANCIL_DISPLAY))
        s->displayBox(box);
    const int32 w = box[2] - box[0] + 1, hgt = box[3] - box[1] + 1;
    bool done = false;
    // One read of the whole box: a read per row would be a round trip to the display each.
    if (w > 0 && hgt > 0 && viewMemOk(w, hgt)) {
        std::vector<int32u> px(std::size_t(w) * std::size_t(hgt), 0);
        done = s->getPixels(twBox{box[0], box[1], box[2], box[3]}, px.data());
        if (done)
            histRows(px, h);
    }
    if (!done && bd->imgbuf && bd->width > 0 && bd->height > 0)
        histRows(
            std::span<const int32u>(bd->imgbuf, std::size_t(bd->width) * std::size_t(bd->height)),
            h);
    for (int g = 0; g < 3; ++g)
        finishHist(h[g]);
}

bool refuseEmpty(const gunHist h[3])
{
    if (h[0].total > 0)
        return false;
    viewUi().message("Histogram of the displayed area is empty\nTransform LUTs unchanged", MSG_ACK);
    return true;
}

void equalize(viewState* vs, bufdes* bd, int32 guns)
{
    gunHist* h = lutState.hist;
    takeHistograms(vs, bd, h);
    if (refuseEmpty(h))
        return;
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g))
            equalizeLut(h[g].count, bd->tLut[g]);
    committed(vs, bd, guns, "HISTEQ");
}

void hdrMode(viewState* vs, bufdes* bd, int32 curve, int32 scope, int32 guns)
{
    static const char* const names[5] = {" LINEAR ", "  LOG   ", "  EXP   ", " SINEH  ",
                                         " TANH   "};
    if (curve < 1 || curve > 5 || scope < 1 || scope > 2)
        return;
    gunHist* h = lutState.hist;
    takeHistograms(vs, bd, h);
    if (refuseEmpty(h))
        return;
    histSummary sum[3] = {};
    for (int g = 0; g < 3; ++g) {
        sum[g][0] = h[g].lo;
        sum[g][1] = h[g].hi;
    }
    if (LUT_NORMLZ(sum, bd->tLut, 1u << (curve - 1), int32u(guns), scope == 2) != 0)
        return;
    committed(vs, bd, guns, names[curve - 1]);
}

void comb(viewState* vs, bufdes* bd, int32 n, int32 guns)
{
    charu t[256];
    if (combLut(n, t) != LUTK_OK)
        return;
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g))
            std::memcpy(bd->tLut[g], t, 256);
    committed(vs, bd, guns, "COMBED");
}

void infometric(viewState* vs, bufdes* bd, int32 kind, int32 guns)
{
    if (kind < INFO_ENTROPY || kind > INFO_REL_REDUN)
        return;
    gunHist* h = lutState.hist;
    takeHistograms(vs, bd, h);
    if (refuseEmpty(h))
        return;
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g))
            infometricLut(h[g], kind, bd->tLut[g]);
    committed(vs, bd, guns, kind == INFO_ENTROPY ? "ENTROPY" : "REDUND");
}

void invertOrZero(viewState* vs, bufdes* bd, int32 guns, bool zero)
{
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g)) {
            if (zero)
                std::memset(bd->tLut[g], 0, 256);
            else
                invertLut(bd->tLut[g]);
        }
    committed(vs, bd, guns, zero ? "ZEROED" : "INVERTED");
}

// The view follows every cycling step: the display accumulator holds the plain view, so each
// step is one paste through the tables.
void showThrough(const viewState* vs, const bufdes* bd, int32 guns)
{
    lutSet shown;
    shownLuts(vs, bd, guns, shown);
    const int32 rc = paste_accum(&shown);
    if (rc != ACC_OK)
        DIAG("\n***LUT_OPS(): paste_accum() %d", rc);
}

void cycle(viewState* vs, bufdes* bd, int32 how, int32 guns)
{
    if (how < 1 || how > 2)
        return;
    const bool rotate = how == 1;
    // Every wheel step repaints the whole view: the plain view is read once, before the
    // message box covers part of it.
    lutRepaint view;
    const bool direct = view.begin();
    uiPort& ui = viewUi();
    ui.message("Use scroll wheel or L/M mouse\nbutton to cycle tLUTs. Use\nR mouse button to exit",
               MSG_STANDING);
    for (;;) {
        int32 x = 0, y = 0;
        const int code = ui.mouseEvent(&x, &y, 1);
        if (code == MOUSE_RIGHT || code == MOUSE_CLOSE)
            break;
        bool down;
        if (code == MOUSE_WHEEL_UP || code == MOUSE_LEFT)
            down = true;
        else if (code == MOUSE_WHEEL_DOWN || code == MOUSE_MIDDLE)
            down = false;
        else
            continue;
        for (int g = 0; g < 3; ++g)
            if (onGun(guns, g))
                cycleLut(bd->tLut[g], down, rotate);
        if (direct) {
            lutSet shown;
            shownLuts(vs, bd, guns, shown);
            view.show(shown);
        } else {
            showThrough(vs, bd, guns);
        }
        testLog("lut cycle %s", down ? "down" : "up");
    }
    ui.clearMessage();
    ui.message("LUT Cycle finished", MSG_BRIEF);
    committed(vs, bd, guns, "CYCLED");
}

// The drawn line over the graph box: the box as it was, with the line on top, written in one
// piece at every change.
class rampDrawing {
public:
    explicit rampDrawing(const aoiRec& box) : box_(box)
    {
        s_ = activeSurface();
        w_ = box.x1 - box.x0 + 1;
        h_ = box.y1 - box.y0 + 1;
        int32 d[4] = {0, 0, -1, -1};
        if (s_)
            s_->displayBox(d);
        // A view too small for the whole box gets no drawing (the points are still taken).
        const bool inside = box.x0 >= d[0] && box.y0 >= d[1] && box.x1 <= d[2] && box.y1 <= d[3];
        if (inside && w_ > 0 && h_ > 0 && viewMemOk(w_, h_)) {
            under_.resize(std::size_t(w_) * std::size_t(h_));
            if (!s_->getPixels(tb(), under_.data()))
                under_.clear();
        }
    }
    ~rampDrawing()
    {
        if (!under_.empty())
            s_->putPixels(tb(), under_.data());
    }
    rampDrawing(const rampDrawing&) = delete;
    rampDrawing& operator=(const rampDrawing&) = delete;

    void draw(const std::vector<rampPoint>& pts)
    {
        if (under_.empty())
            return;
        std::vector<int32u> px = under_;
        const int32u ink = colourPixel(2, false);
        for (std::size_t k = 0; k + 1 < pts.size(); ++k)
            line(px, pts[k], pts[k + 1], ink);
        s_->putPixels(tb(), px.data());
    }

private:
    twBox tb() const { return twBox{box_.x0, box_.y0, box_.x1, box_.y1}; }
    void plot(std::vector<int32u>& px, int32 x, int32 y, int32u ink) const
    {
        if (x >= 0 && x < w_ && y >= 0 && y < h_)
            px[std::size_t(y) * std::size_t(w_) + std::size_t(x)] = ink;
    }
    // Points are (level, height); the box shows level 0 one pixel in from its left edge and
    // height 0 on its bottom row.
    void line(std::vector<int32u>& px, rampPoint a, rampPoint b, int32u ink) const
    {
        int32 x0 = histBinX(box_, a.level) - box_.x0, y0 = h_ - 1 - a.height;
        const int32 x1 = histBinX(box_, b.level) - box_.x0, y1 = h_ - 1 - b.height;
        const int32 dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int32 sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int32 err = dx + dy;
        for (;;) {
            plot(px, x0, y0, ink);
            if (x0 == x1 && y0 == y1)
                break;
            const int32 e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }

    aoiRec box_;
    viewSurface* s_ = nullptr;
    int32 w_ = 0, h_ = 0;
    std::vector<int32u> under_;
};

// Collects the drawn line: left adds a point inside the box (125 at most), middle removes the
// last one, right finishes. False when the view went away (nothing is to change then).
bool drawRamp(const viewState* vs, const char* prompt, std::vector<rampPoint>& pts)
{
    constexpr std::size_t maxPoints = 125;
    const aoiRec& box = vs->graphBox;
    uiPort& ui = viewUi();
    pts.assign(1, rampPoint{0, 0});
    rampDrawing drawing(box);
    ui.message(prompt, MSG_STANDING);
    bool finished = false;
    for (;;) {
        int32 x = 0, y = 0;
        const int code = ui.mouseEvent(&x, &y, 1);
        if (code == MOUSE_RIGHT) {
            finished = true;
            break;
        }
        if (code == MOUSE_CLOSE)
            break;
        if (code == MOUSE_LEFT) {
            if (x < box.x0 || x > box.x1 || y < box.y0 || y > box.y1 || pts.size() >= maxPoints)
                continue;
            pts.push_back(rampPoint{histLevelAt(box, x), std::clamp(box.y1 - y, 0, 255)});
        } else if (code == MOUSE_MIDDLE) {
            if (pts.size() > 1)
                pts.pop_back();
        } else {
            continue;
        }
        drawing.draw(pts);
        testLog("lut line %d", int(pts.size()));
    }
    ui.clearMessage();
    return finished;
}

} // namespace

bool LUT_DRAW_RAMP(const viewState* vs, charu out[256])
{
    std::vector<rampPoint> pts;
    if (!drawRamp(vs,
                  "Move cursor inside Histogram and press LEFTMOUSE.\n"
                  "Input 2+ ENHANCEMENT RAMP segments on histogram.\n"
                  "MIDDLEMOUSE deletes points, RIGHTMOUSE finishes.",
                  pts))
        return false;
    rampLut(pts, out);
    return true;
}

namespace {

void histRamp(viewState* vs, bufdes* bd, int32 guns, bool specify)
{
    std::vector<rampPoint> pts;
    const bool done = drawRamp(vs,
                               specify ? "Move cursor inside Histogram and press LEFTMOUSE.\n"
                                         "Input 2+ DESIRED HISTOGRAM segments on histogram.\n"
                                         "MIDDLEMOUSE deletes points, RIGHTMOUSE finishes."
                                       : "Move cursor inside Histogram and press LEFTMOUSE.\n"
                                         "Input 2+ ENHANCEMENT RAMP segments on histogram.\n"
                                         "MIDDLEMOUSE deletes points, RIGHTMOUSE finishes.",
                               pts);
    if (!done)
        return;
    charu ramp[256];
    rampLut(pts, ramp);
    gunHist* h = lutState.hist;
    takeHistograms(vs, bd, h);
    if (specify) {
        if (refuseEmpty(h))
            return;
        charu t[256];
        if (specifyLut(h[0].count, ramp, t) != LUTK_OK) {
            viewUi().message("Desired histogram is empty\nTransform LUTs unchanged", MSG_ACK);
            return;
        }
        for (int g = 0; g < 3; ++g)
            if (onGun(guns, g))
                specifyLut(h[g].count, ramp, bd->tLut[g]);
    } else {
        for (int g = 0; g < 3; ++g)
            if (onGun(guns, g))
                std::memcpy(bd->tLut[g], ramp, 256);
    }
    for (int g = 0; g < 3; ++g)
        if (onGun(guns, g))
            remapHist(h[g], bd->tLut[g]);
    committed(vs, bd, guns, specify ? "SPECIFY" : "STRETCH");
}

void previous(viewState* vs, bufdes* bd, int32 dir)
{
    lutOpsState& s = lutState;
    if (s.filled < 2 || dir < 1 || dir > 2)
        return;
    s.curIdx = (s.curIdx + (dir == 1 ? s.filled - 1 : 1)) % s.filled;
    const lutArchiveSlot& a = s.archive[s.curIdx];
    for (int g = 0; g < 3; ++g) {
        std::memcpy(bd->tLut[g], a.lut[g], 256);
        s.names[g] = a.names[g];
    }
    vs->gunMask = a.linearMask;
    vs->lutsChanged = true;
    updateColourTable(vs, bd);
}

void status()
{
    const lutOpsState& s = lutState;
    viewUi().message(strPrintf(" tLUT SCALING \n  RED %s\n  GRN %s\n  BLU %s", s.names[0].c_str(),
                               s.names[1].c_str(), s.names[2].c_str()),
                     MSG_ACK);
}

// The file a LUT prompt names: the LUT path and the name (a name from the root stands alone),
// "$NAME" expanded. Empty when the result would not fit in a path.
std::string lutFileName(const std::string& answer)
{
    std::string name = answer[0] == '/' ? answer : lutState.path + answer;
    if (name.size() > TAV_PATH_MAX || !ENV_EXPAND(name))
        return {};
    return name;
}

void readLuts(viewState* vs, bufdes* bd)
{
    uiPort& ui = viewUi();
    const std::string answer = ui.ask(strPrintf(
        "Path: %s\nEnter filename of RGB LUT definitions (*.lut)     \n> ", lutState.path.c_str()));
    if (answer.empty())
        return;
    const std::string name = lutFileName(answer);
    filePtr f(name.empty() ? nullptr : std::fopen(name.c_str(), "r"));
    if (!f) {
        ui.message(strPrintf("Error opening: %s", name.empty() ? answer.c_str() : name.c_str()),
                   MSG_ACK);
        return;
    }
    lutSet t;
    for (int g = 0; g < 3; ++g)
        std::memcpy(t[g], bd->tLut[g], 256);
    switch (readLutFile(f.get(), t)) {
    case LUTF_OK:
        break;
    case LUTF_NON_NUMERIC:
        ui.message("LUT format error\nNon-numeric data in stream", MSG_ACK);
        return;
    case LUTF_SHORT:
        ui.message("Error: LUT has less than 256 colors\nData ignored...", MSG_ACK);
        return;
    case LUTF_LONG_LINE:
        ui.message("LUT format error\nLine longer than 256 characters", MSG_ACK);
        return;
    default:
        ui.message(strPrintf("Error opening: %s", name.c_str()), MSG_ACK);
        return;
    }
    // The loaded tables are shown: a gun whose table is not the identity no longer counts as
    // linear (else the view would never show what was loaded), one whose table is does.
    int32 mask = 0;
    for (int g = 0; g < 3; ++g) {
        std::memcpy(bd->tLut[g], t[g], 256);
        lutState.names[g] = "USER LUT";
        if (isIdentityLut(t[g]))
            mask |= 1 << g;
    }
    vs->gunMask = charu(mask);
    vs->lutsChanged = true;
    updateColourTable(vs, bd);
    ui.message("Transform LUTs successfully loaded", MSG_BRIEF);
}

void writeLuts(bufdes* bd)
{
    uiPort& ui = viewUi();
    std::string answer =
        ui.ask(strPrintf("Path: %s\nEnter filename to receive RGB LUT definitions         \n> ",
                         lutState.path.c_str()));
    if (answer.empty())
        return;
    if (answer.find(".lut") == std::string::npos)
        answer += ".lut";
    const std::string name = lutFileName(answer);
    std::string desc = ui.ask("Enter 1 line LUT descriptive text...                     \n> ");
    std::replace(desc.begin(), desc.end(), '\n', ' ');
    if (name.empty()) {
        ui.message(strPrintf("Error creating: %s", answer.c_str()), MSG_ACK);
        return;
    }
    lutSet t;
    for (int g = 0; g < 3; ++g)
        std::memcpy(t[g], bd->tLut[g], 256);
    filePtr f(std::fopen(name.c_str(), "w"));
    bool ok = f && writeLutFile(f.get(), t, desc);
    if (f)
        ok = std::fclose(f.release()) == 0 && ok;
    if (!ok) {
        ui.message(strPrintf("Error creating: %s", name.c_str()), MSG_ACK);
        return;
    }
    ui.message(strPrintf("Transform LUTs successfully written to:\n%s", name.c_str()), MSG_ACK);
}

void setPath()
{
    uiPort& ui = viewUi();
    std::string& path = lutState.path;
    const std::string answer = ui.ask(
        path != "./" ? strPrintf("LUT File path: %s                     \nNew? > ", path.c_str())
                     : std::string("Set directory path to image LUTS           \n> "));
    if (answer.empty())
        return;
    if (answer[0] == ' ') {
        path = "./";
        return;
    }
    std::string dir = answer;
    struct stat st {};
    const bool fits = ENV_EXPAND(dir) && dir.size() + (dir.back() == '/' ? 0 : 1) <= TAV_PATH_MAX;
    if (!fits || ::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        ui.message(strPrintf("Not a directory or cannot access:\n%s", dir.c_str()), MSG_ACK);
        return;
    }
    if (dir.back() != '/')
        dir += '/';
    path = dir;
}

} // namespace

bool lutRepaint::begin()
{
    s_ = activeSurface();
    int32 b[4] = {0, 0, -1, -1};
    if (s_)
        s_->displayBox(b);
    const int32 w = b[2] - b[0] + 1, h = b[3] - b[1] + 1;
    if (w <= 0 || h <= 0 || !viewMemOk(w, h) || !viewMemOk(w, h))
        return false;
    box_ = twBox{b[0], b[1], b[2], b[3]};
    plain_.resize(std::size_t(w) * std::size_t(h));
    out_.resize(plain_.size());
    if (!s_->getPixels(box_, plain_.data())) {
        plain_.clear();
        return false;
    }
    return true;
}

void lutRepaint::show(const lutSet& luts)
{
    if (plain_.empty())
        return;
    lutPass pass;
    prepareLutPass(luts, pass);
    lutRows(plain_, out_, pass);
    s_->putPixels(box_, out_.data());
}

void resetLutOps()
{
    lutState = lutOpsState{};
}

int32 lutOpsMenu(std::vector<pupLink>& links)
{
    lutIds& m = ids;
    m.lut = defineMenu("RESET|EQUALIZE|HDR MODE|HIST STR|HIST SPEC|COMB|INFOMETRIC|CYCLE|"
                       "INVERT|PREVIOUS|STATUS|ZERO|LUT I/O");
    m.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    m.curve = defineMenu("LIN | LOG | EXP | SINH | TANH");
    m.scope = defineMenu("LOCAL|GLOBAL");
    m.hstr = defineMenu("H.STRETCH%t|   RGB%x7|   RED%x1|   GRN%x2|   BLU%x4");
    m.hspec = defineMenu("H.SPECIFY%t|   RGB%x7|   RED%x1|   GRN%x2|   BLU%x4");
    m.comb = defineMenu("\\ 2%i2|\\ 4%i4|\\ 8%i8|16%i16|32%i32|64%i64");
    m.info = defineMenu("ENTROPY%x0|ABS REDUN%x1|REL REDUN%x2");
    m.cycle = defineMenu("ROTATE|SHIFT");
    m.prev = defineMenu("\\ - |\\ + ");
    m.io = defineMenu("READ|WRITE|SET PATH");
    // Items count from 0 in the links.
    const struct {
        int32 item;
        int32* child;
    } below[] = {{L_RESET, &m.guns},  {L_EQUALIZE, &m.guns}, {L_HDR, &m.curve},
                 {L_COMB, &m.comb},   {L_INFO, &m.info},     {L_CYCLE, &m.cycle},
                 {L_INVERT, &m.guns}, {L_PREVIOUS, &m.prev}, {L_ZERO, &m.guns},
                 {L_IO, &m.io}};
    // The two gun menus of the drawn-line items carry a title, which makes a menu a root of
    // its own: they pop up at the pointer once the stretch or the matching item is chosen
    // (linked below an item, a titled menu would restart the tree and the choice above it
    // would be lost).
    for (const auto& b : below)
        links.push_back(pupLink{&m.lut, b.item - 1, b.child});
    for (int32 k = 0; k < 5; ++k)
        links.push_back(pupLink{&m.curve, k, &m.scope});
    for (int32 k = 0; k < 2; ++k)
        links.push_back(pupLink{&m.scope, k, &m.guns});
    for (int32 k = 0; k < 6; ++k)
        links.push_back(pupLink{&m.comb, k, &m.guns});
    for (int32 k = 0; k < 3; ++k)
        links.push_back(pupLink{&m.info, k, &m.guns});
    for (int32 k = 0; k < 2; ++k)
        links.push_back(pupLink{&m.cycle, k, &m.guns});
    // Text windows that colour by level show the levels through the tables in use.
    setDisplayColourTable(displayColours);
    return m.lut;
}

void LUT_COMMIT(viewState* vs, bufdes* bd, int32 gunBits, const char* name)
{
    committed(vs, bd, gunBits, name);
}

void LUT_RESET(viewState* vs, bufdes* bd, int32 gunBits, bool quiet)
{
    uiPort& ui = viewUi();
    lutOpsState& s = lutState;
    if (gunBits & 8) {
        s.writeIdx = s.curIdx = s.filled = 0;
        if (!quiet)
            ui.message("Previous LUTs buffer reset", MSG_BRIEF);
    }
    const int32 guns = gunBits & 7;
    if (!guns)
        return;
    const int32 active = guns & ~vs->gunMask & 7;
    if (!active) {
        if (!quiet)
            ui.message(guns == 7 ? "No transform LUTS active" : "Selected LUT is already Linear",
                       MSG_BRIEF);
        return;
    }
    for (int g = 0; g < 3; ++g)
        if (onGun(active, g)) {
            identityLut(bd->tLut[g]);
            s.names[g] = "UNSCALED";
        }
    vs->gunMask = charu(vs->gunMask | guns);
    vs->lutsChanged = true;
    updateColourTable(vs, bd);
    if (!quiet)
        ui.message("LUT Reset to LINEAR", MSG_BRIEF);
}

void lutOps(viewState* vs, const int32* pv, bufdes* bd)
{
    if (!bd)
        return;
    const int32 guns2 = pv[2] & 7, guns3 = pv[3] & 7;
    switch (pv[1]) {
    case L_RESET:
        if (pv[2] & 15)
            LUT_RESET(vs, bd, pv[2] & 15);
        return;
    case L_EQUALIZE:
        if (guns2)
            equalize(vs, bd, guns2);
        return;
    case L_HDR:
        if (pv[4] & 7)
            hdrMode(vs, bd, pv[2], pv[3], pv[4] & 7);
        return;
    case L_HSTR:
    case L_HSPEC: {
        int32 vals[MAX_PUP_LEVEL] = {};
        bool outside = true;
        viewUi().popup(pv[1] == L_HSPEC ? ids.hspec : ids.hstr, vals, &outside);
        if (!outside && (vals[0] & 7))
            histRamp(vs, bd, vals[0] & 7, pv[1] == L_HSPEC);
        return;
    }
    case L_COMB:
        if (guns3)
            comb(vs, bd, pv[2], guns3);
        return;
    case L_INFO:
        if (guns3)
            infometric(vs, bd, pv[2], guns3);
        return;
    case L_CYCLE:
        if (guns3)
            cycle(vs, bd, pv[2], guns3);
        return;
    case L_INVERT:
    case L_ZERO:
        if (guns2)
            invertOrZero(vs, bd, guns2, pv[1] == L_ZERO);
        return;
    case L_PREVIOUS:
        previous(vs, bd, pv[2]);
        return;
    case L_STATUS:
        status();
        return;
    case L_IO:
        if (pv[2] == 1)
            readLuts(vs, bd);
        else if (pv[2] == 2)
            writeLuts(bd);
        else if (pv[2] == 3)
            setPath();
        return;
    default:
        return;
    }
}
