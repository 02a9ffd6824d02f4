#include "hdrMenu.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "bTransl.h"
#include "diag.h"
#include "dispAccum.h"
#include "folio_utl.h"
#include "hdrMenuKernels.h"
#include "hdrScale.h"
#include "opMenu.h"
#include "renderPix.h"
#include "roam.h"
#include "sbuffActive.h"
#include "tavPaths.h"
#include "uiPort.h"
#include "viewSurface.h"

namespace {

// Menu ids of the program; the link table points at them.
struct hdrIds {
    int32 top = -1, curves = -1, kinds = -1, centre = -1, count = -1, units = -1, guns = -1,
          reset = -1, extrema = -1, archive = -1;
};
hdrIds ids;

// dmode bits of the accumulators' view settings.
constexpr int32u kSbuffWrite = 0x1000; ///< the Exploit sBUFF takes the HDR output of ~ operations
constexpr int32u kAutoRender = 0x2000; ///< a scaling change is rendered at once

const char* const bandNames[4] = {"RED", "GRN", "BLU", "ALPHA"};
const char* const histBandNames[3] = {"RED", "GREEN", "BLUE"};

// What a path of the menu ends with: a change, no change ("Scaling not changed"), or a
// refusal or cancel that said why itself.
enum class outcome { changed, unchanged, quiet };

outcome byResult(int rc)
{
    return rc == 1 ? outcome::changed : outcome::unchanged;
}

bool onGun(int32u mask, int g)
{
    return (mask & (1u << g)) != 0;
}

bool transformLutsShown(const viewState* vs)
{
    return !vs->dfltLutOn && (vs->gunMask & 7) != 7;
}

bool pseudoColour()
{
    return (activeSbuff().scal[0].p.opScalCtl & HDR_PSEUDO) != 0;
}

// A zoomed view magnified by interpolation shows levels no sensor value was rendered to.
bool zoomedNotReplicate(const viewState* vs)
{
    const int32u m = vs->dmode & 0xfu;
    return curTransl.zoom > 1 && m != 0 && m != ZOOM_REPLICATE;
}

bool sbuffHoldsData()
{
    return activeSbuff().desc.defined == 1;
}

// A grey accumulator renders every gun through gun 0, so gun 0's table describes them all.
const float* descaleOf(int g)
{
    const folioDesc& d = activeSbuff().desc;
    const bool grey = d.nBands == 1 && d.gunLoad != 1;
    return activeSbuff().scal[grey ? 0 : g].descale;
}

// The number prompt: 1 with the numbers, 0 for no answer, -1 after "Invalid input". One
// number where two are asked for leaves the second 0.
int askNumbers(const std::string& prompt, int want, double& a, double& b)
{
    uiPort& ui = viewUi();
    int32 n = 0;
    const int32 rc = hdrParseAnswer(ui.ask(prompt), a, b, n);
    if (rc == HDRA_EMPTY)
        return 0;
    if (rc != HDRA_OK || n > want) {
        ack("Invalid input");
        return -1;
    }
    return 1;
}

// The working bounds of every gun with finished statistics, worked out afresh: a change made
// with automatic rendering off has not been rendered yet, so the last render's are stale.
void freshWorkingBounds()
{
    for (int g = 0; g < 4; ++g)
        if (activeSbuff().stats[g].finalised)
            S_FACTORS(g);
}

outcome rangeUnits(const hdrRequest& r)
{
    freshWorkingBounds();
    bool changed = false;
    // A failed prompt ends the entry; the guns done before it keep their new bounds, and the
    // caller must hear of them to render them.
    auto stop = [&changed] { return changed ? outcome::changed : outcome::quiet; };
    for (int g = 0; g < 4; ++g) {
        if (!onGun(r.guns, g))
            continue;
        const int32u apply = r.grey ? 7u : 1u << g;
        const scalParams& p = activeSbuff().scal[g].p;
        const double lo = p.low, hi = p.high;
        double a = 0, b = 0;
        switch (r.unitItem) {
        case HDRU_LOHI:
            if (askNumbers(strPrintf("Band= %s  LOW= %9.4f  HIGH= %9.4f\nEnter new LOW & HIGH "
                                     "bounds in sensor units.\n> ",
                                     bandNames[g], lo, hi),
                           2, a, b) != 1 ||
                !(a < b))
                return stop();
            break;
        case HDRU_FROM_LOW:
        case HDRU_SET_LOW:
            if (askNumbers(strPrintf("Band= %s  LOW= %9.4f  HIGH= %9.4f\nEnter new LOW Bound in "
                                     "sensor units%s",
                                     bandNames[g], lo, hi,
                                     r.unitItem == HDRU_FROM_LOW
                                         ? "\nand Optional [,Range] from LOW\n> "
                                         : "\n> "),
                           2, a, b) != 1)
                return stop();
            if (r.unitItem == HDRU_SET_LOW)
                b = 0;
            break;
        case HDRU_FROM_HIGH:
        case HDRU_SET_HIGH:
            if (askNumbers(strPrintf("Band= %s   LOW= %9.4f  HIGH= %9.4f\nEnter new HIGH Bound "
                                     "in sensor units%s",
                                     bandNames[g], lo, hi,
                                     r.unitItem == HDRU_FROM_HIGH
                                         ? "\nand Optional [,Range] from HIGH\n> "
                                         : "\n> "),
                           2, a, b) != 1)
                return stop();
            if (r.unitItem == HDRU_SET_HIGH)
                b = 0;
            break;
        default:
            if (askNumbers(strPrintf("Band= %s LOW= %9.4f  HIGH= %9.4f\nEnter MARK & RANGE "
                                     "centered on mark\n             in sensor units\n>",
                                     bandNames[g], lo, hi),
                           2, a, b) != 1)
                return stop();
            break;
        }
        // A bound given alone moves that bound: the other keeps the gun's working value.
        if (b <= 0 && (r.unitItem != HDRU_LOHI && r.unitItem != HDRU_MARK)) {
            for (int k = 0; k < 4; ++k) {
                if (!onGun(apply, k))
                    continue;
                scalParams& q = activeSbuff().scal[k].p;
                if (r.control & HDR_FROM_LOW)
                    q.usrHiV = q.high;
                else
                    q.usrLoV = q.low;
            }
        }
        changed = SET_ABS_RANGE_VAL(r.control, apply, a, b) == 1 || changed;
        if (r.grey)
            break;
    }
    if (!changed) {
        ack("No change to sensor unit scaling");
        return outcome::quiet;
    }
    return outcome::changed;
}

outcome extremaUnits(const hdrRequest& r)
{
    if (r.grey) {
        ack("Gray mode not supported for setting Extrema");
        return outcome::quiet;
    }
    bool changed = false;
    auto stop = [&changed] { return changed ? outcome::changed : outcome::quiet; };
    for (int g = 0; g < 4; ++g) {
        if (!onGun(r.guns, g))
            continue;
        double a = 0, b = 0;
        switch (r.unitItem) {
        case HDRU_LOHI:
            if (askNumbers(strPrintf("Band= %s  Enter LOW, HIGH Extrema in sensor units.\n> ",
                                     bandNames[g]),
                           2, a, b) != 1)
                return stop();
            break;
        case HDRU_FROM_LOW:
            if (askNumbers(
                    strPrintf("Band= %s  Enter Extrema LOW in sensor units\n> ", bandNames[g]), 1,
                    a, b) != 1)
                return stop();
            b = 0;
            break;
        case HDRU_FROM_HIGH:
            if (askNumbers(
                    strPrintf("Band= %s  Enter Extrema HIGH in sensor units\n> ", bandNames[g]), 1,
                    b, a) != 1)
                return stop();
            a = 0;
            break;
        case HDRU_MARK:
            if (askNumbers(strPrintf("Band= %s  Enter MARK & Extrema RANGE centered on mark\n  "
                                     "in sensor units\n> ",
                                     bandNames[g]),
                           2, a, b) != 1)
                return stop();
            break;
        default:
            continue; // SET LOW and SET HIGH name no extrema
        }
        changed = SET_ABS_EXTREMA_VAL(r.control, 1u << g, a, b) == 1 || changed;
    }
    if (!changed) {
        ack("No change to sensor unit scaling");
        return outcome::quiet;
    }
    return outcome::changed;
}

// The three refusals both pointer selections share; true when the selection may go on.
bool pointerSelectionAllowed(viewState* vs)
{
    if (!sbuffHoldsData()) {
        ack("sBUFF empty.");
        return false;
    }
    if (transformLutsShown(vs)) {
        ack("FAIL: Cannot access Histogram with active Transform LUTs");
        return false;
    }
    if ((vs->ancil & (ancROAM | ancSTATS | ancHISTOGRAM)) != (ancROAM | ancSTATS | ancHISTOGRAM)) {
        ack("FAIL: Ancillary Display Histogram not active");
        return false;
    }
    // The loop redraws the view and its read-outs once the selection is over.
    vs->refresh |= RFR_VIEW | RFR_STATS;
    return true;
}

bool inBox(const aoiRec& b, int32 x, int32 y)
{
    return x >= b.x0 && x <= b.x1 && y >= b.y0 && y <= b.y1;
}

// The left button acts on its release, and only on the release of a press made during the
// same wait: the release of the click that dismissed a note or ended the menu is no pick.
class leftClick {
public:
    bool completedBy(int code)
    {
        if (code == MOUSE_LEFT)
            down_ = true;
        const bool done = code == -MOUSE_LEFT && down_;
        if (done)
            down_ = false;
        return done;
    }

private:
    bool down_ = false;
};

enum class pick { level, cancel };

// Waits for a level in the histogram box: a right press cancels, a middle press takes
// `middleLevel`, a left release the level under the pointer. A point off the box is told with
// `missed` and waited for again.
pick pickLevel(const aoiRec& box, const std::string& ask, const char* missed, int32 middleLevel,
               int32& level)
{
    uiPort& ui = viewUi();
    ui.message(ask, MSG_STANDING);
    leftClick left;
    for (;;) {
        int32 x = 0, y = 0;
        const int code = ui.mouseEvent(&x, &y, 1);
        if (code == MOUSE_RIGHT || code == MOUSE_CLOSE)
            return pick::cancel;
        if (code == MOUSE_MIDDLE) {
            level = middleLevel;
            return pick::level;
        }
        if (!left.completedBy(code))
            continue;
        if (!inBox(box, x, y)) {
            ui.message(missed, MSG_STANDING);
            continue;
        }
        level = histLevelAt(box, x);
        return pick::level;
    }
}

enum class verdict { accept, redo, cancel };

verdict confirmPick()
{
    uiPort& ui = viewUi();
    leftClick left;
    for (;;) {
        int32 x = 0, y = 0;
        const int code = ui.mouseEvent(&x, &y, 1);
        if (code == MOUSE_MIDDLE)
            return verdict::redo;
        if (code == MOUSE_RIGHT || code == MOUSE_CLOSE)
            return verdict::cancel;
        if (left.completedBy(code))
            return verdict::accept;
    }
}

// The load script written whole or not at all: the text goes to a new file beside the target,
// which takes the target's name only once every byte is written and the file closed, so that a
// failure leaves an existing script as it was.
class scriptFile {
public:
    explicit scriptFile(const std::string& target) : target_(target), temp_(target + ".XXXXXX")
    {
        fd_ = mkstemp(temp_.data());
        if (fd_ < 0)
            return;
        created_ = true;
        // As a file the program creates: readable by others as the umask allows.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd_, 0666 & ~mask);
    }
    ~scriptFile()
    {
        if (fd_ >= 0)
            close(fd_);
        if (created_ && !done_)
            unlink(temp_.c_str());
    }
    scriptFile(const scriptFile&) = delete;
    scriptFile& operator=(const scriptFile&) = delete;

    bool opened() const { return fd_ >= 0; }
    bool commit(const std::string& text)
    {
        std::size_t at = 0;
        while (at < text.size()) {
            const ssize_t n = write(fd_, text.data() + at, text.size() - at);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += std::size_t(n);
        }
        const bool ok = fsync(fd_) == 0;
        const bool closed = close(fd_) == 0;
        fd_ = -1;
        if (!ok || !closed || rename(temp_.c_str(), target_.c_str()) != 0)
            return false;
        done_ = true;
        return true;
    }

private:
    std::string target_, temp_;
    int fd_ = -1;
    bool created_ = false, done_ = false;
};

outcome writeScript(viewState* vs)
{
    uiPort& ui = viewUi();
    std::string dir = GET_SPATH();
    if (dir.empty())
        dir = "./";
    const std::string answer = ui.ask(strPrintf(
        "Path: %s\nEnter Filename of Load Script to create this HDR scene             \n> ",
        dir.c_str()));
    std::string name;
    if (answer.empty() || !hdrScriptName(dir, answer, name)) {
        ack("Cancelled");
        return outcome::quiet;
    }
    struct stat st;
    if (stat(name.c_str(), &st) == 0 &&
        !ui.askYesNo(
            strPrintf("File: %s\n  already exists.\nOverwrite? [Y/N]\n> ", answer.c_str()))) {
        ack("Cancelled");
        return outcome::quiet;
    }
    scriptFile file(name);
    if (!file.opened()) {
        ack("Cannot create file...");
        return outcome::quiet;
    }
    const std::string description =
        ui.ask("Enter short Load-Script Description                        \n> ");
    std::string commands;
    if (const int rc = CRE_HDR_LD_SCRIPT(vs->bd, commands); rc != 0) {
        ack(strPrintf("\nFail: CRE_HDR_LD_SCRIPT()= %d\n", rc));
        return outcome::quiet;
    }
    if (!file.commit(hdrScriptText(description, commands))) {
        ack(strPrintf("Error writing file: %s", name.c_str()));
        return outcome::quiet;
    }
    testLog("hdr script %s", name.c_str());
    ack(strPrintf("File: %s\nSuccessfully saved", name.c_str()));
    return outcome::quiet;
}

outcome rangeSdev(viewState* vs, const hdrRequest& r)
{
    double count = r.count;
    if (r.action == hdrAction::rangeMark && pseudoColour()) {
        ack("Scaling from Display point is\nundefined for PSEUDOCOLOR");
        return outcome::quiet;
    }
    if (count == 0) {
        double unused = 0;
        const int rc = askNumbers("Enter scaling Range in Std. Deviations\n> ", 1, count, unused);
        if (rc == 1 && !(count > 0)) {
            // No range is a negative or empty number of deviations wide.
            ack("Invalid input");
            return outcome::quiet;
        }
        if (rc != 1)
            return outcome::quiet;
    }
    if (r.action == hdrAction::rangeSdev)
        return byResult(SET_SDEV_RANGE(r.control, r.guns, count));
    if (zoomedNotReplicate(vs))
        viewUi().message("Zoom Mode should be REPLICATE. Otherwise, interpolated\nzoom values "
                         "may map to invalid physical units with\nunexpected results.",
                         MSG_BRIEF);
    const int rc = SELECT_MARK_POINT(vs, r.guns | (r.grey ? HDR_GREY_CHOICE : 0), count);
    return rc == 1 ? outcome::changed : rc == 0 ? outcome::unchanged : outcome::quiet;
}

outcome runRequest(viewState* vs, const hdrRequest& r)
{
    const int32u guns = r.guns;
    const int32u pickMask = guns | (r.grey ? HDR_GREY_CHOICE : 0u);
    switch (r.action) {
    case hdrAction::status:
        ack(GET_SCALING_STATUS(7));
        return outcome::quiet;
    case hdrAction::reset: {
        const int rc = HDR_DEFAULTS(r.count);
        viewUi().message("HDR sBUFF Scaling reverted to Defaults", MSG_BRIEF);
        return byResult(rc);
    }
    case hdrAction::curve:
        return byResult(SET_SCALE_CURVE(r.control, guns));
    case hdrAction::rangeFull:
        return byResult(SET_FULL_RANGE(guns));
    case hdrAction::rangeHist: {
        if (transformLutsShown(vs)) {
            ack("Cannot modify HDR scaling\nwith active Transform LUTs");
            return outcome::quiet;
        }
        if (pseudoColour()) {
            ack("Histogram scaling is undefined\nfor PSEUDOCOLOR");
            return outcome::quiet;
        }
        const int rc = SELECT_HIST_BOUNDS(vs, pickMask, false);
        return rc == 1 ? outcome::changed : rc == 0 ? outcome::unchanged : outcome::quiet;
    }
    case hdrAction::rangeSdev:
    case hdrAction::rangeMark:
        return rangeSdev(vs, r);
    case hdrAction::rangeUnits:
        return rangeUnits(r);
    case hdrAction::extremaThis: {
        const int rc = SET_EXTREMA_THIS(guns);
        ack("EXTREMA defined by current scaling bounds\nData will be clamped to EXTREMA");
        return byResult(rc);
    }
    case hdrAction::extremaHist: {
        if (pseudoColour()) {
            ack("Histogram scaling is undefined\nfor PSEUDOCOLOR");
            return outcome::quiet;
        }
        if (zoomedNotReplicate(vs)) {
            ack("Zoom mode must be REPLICATE");
            return outcome::quiet;
        }
        const int rc = SELECT_HIST_BOUNDS(vs, pickMask, true);
        if (rc == 1)
            ack("EXTREMA set from Histogram\nScaling will be clamped to EXTREMA");
        return rc == 1 ? outcome::changed : rc == 0 ? outcome::unchanged : outcome::quiet;
    }
    case hdrAction::extremaUnits:
        return extremaUnits(r);
    case hdrAction::extremaClear: {
        const int rc = CLEAR_EXTREMA(guns);
        ack("EXTREMA Cleared\nOriginal Dataset Bounds restored");
        return byResult(rc);
    }
    case hdrAction::archiveTouch:
        ARCHIVE_SCALING();
        viewUi().message("Current scaling settings archived", MSG_BRIEF);
        return outcome::quiet;
    case hdrAction::archiveRestore:
        return byResult(RESTORE_SCALING());
    case hdrAction::archiveSwap:
        return byResult(SWAP_SCALING());
    case hdrAction::archiveScript:
        return writeScript(vs);
    case hdrAction::none:
        break;
    }
    return outcome::quiet;
}

bool sameArea(const aoiRec& a, const folioDesc& d)
{
    return a.x0 == int32(d.aoi[0]) && a.y0 == int32(d.aoi[1]) && a.x1 == int32(d.aoi[2]) &&
           a.y1 == int32(d.aoi[3]);
}

// A changed scaling shown at once: into the buffer the accumulator was loaded for, else into
// the FG AOI it was cut from.
void renderChange(viewState* vs, const char* name)
{
    bufdes* bd = vs->bd;
    const folioDesc& d = activeSbuff().desc;
    const bool data = sbuffHoldsData() && bd;
    if (data && (bd->bufCtlm & bufIS_HDR) && d.srcBuf == bd->bufNum && bd->width == int32(d.cols) &&
        bd->height == int32(d.rows)) {
        const int32 rc = RENDER_sBUFF(nullptr, bd, RSB_TO_iBUFF);
        testLog("hdr render ibuff %d", int(rc));
        if (rc != 0) {
            ack(strPrintf("Error rendering sBUFF to iBUFF.\nStatus: %d", int(rc)));
            return;
        }
        emptyFolios(1u << slotGLOBALV);
        VIEW_MEM(nullptr, (vs->dmode & modeGLOBALV) != 0);
        vs->refresh |= RFR_VIEW | RFR_STATS;
        return;
    }
    if (data && sameArea(bd->fgAoi, d)) {
        const int32 rc = RENDER_sBUFF(&bd->fgAoi, bd, RSB_TO_DISPLAY);
        testLog("hdr render aoi %d", int(rc));
        if (rc != 0) {
            ack(strPrintf("Error rendering sBuff: %d", int(rc)));
            return;
        }
        vs->refresh |= RFR_VIEW | RFR_STATS;
        vs->ancil |= ancREDRAW;
        return;
    }
    ack(strPrintf("%s sBUFF Empty or No Mapping to active iBUFF or FG_AOI", name));
}

} // namespace

void HDR_SCALING_MENUS(std::vector<pupLink>& links, int32* parentMenu, int32 parentItem)
{
    ids.top = defineMenu("STATUS|RESET|MODE|RANGE|EXTREMA|ARCHIVE");
    ids.curves = defineMenu("LINEAR|LOG|EXP|SINE-H|TAN-H");
    ids.kinds = defineMenu("FULL|HIST|STDEV|SENS U");
    ids.centre = defineMenu("<-MEAN->|<-MEDIAN->|LOW ->|<-HIGH|MARK");
    ids.count = defineMenu("1 STDEV|2 STDEV|3 STDEV|? STDEV");
    ids.units = defineMenu("LO-> <-HI|LO->|<-HI|<-MARK->|SET LOW|SET HIGH");
    ids.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4|GRAY%x17");
    ids.reset = defineMenu("3-SDEV-MED|3-SDEV-MN|FULL RNG");
    ids.extrema = defineMenu("THIS|HIST|SENS U|CLEAR");
    ids.archive = defineMenu("TOUCH|RESTORE|SWAP|SCRIPT");
    // Parents before children: a child's place is worked out from its parent's. Items count
    // from 0 (no menu here has a title); -1 links every item.
    const pupLink rows[] = {
        {parentMenu, parentItem, &ids.top}, {&ids.top, 1, &ids.reset},
        {&ids.top, 2, &ids.curves},         {&ids.top, 3, &ids.kinds},
        {&ids.top, 4, &ids.extrema},        {&ids.top, 5, &ids.archive},
        {&ids.curves, -1, &ids.guns},       {&ids.kinds, 0, &ids.guns},
        {&ids.kinds, 1, &ids.guns},         {&ids.kinds, 2, &ids.centre},
        {&ids.kinds, 3, &ids.units},        {&ids.centre, -1, &ids.count},
        {&ids.count, -1, &ids.guns},        {&ids.units, -1, &ids.guns},
        {&ids.extrema, -1, &ids.guns},      {&ids.extrema, 2, &ids.units},
    };
    links.insert(links.end(), std::begin(rows), std::end(rows));
}

int HDR_SCALING_MENU(viewState* vs, const int32* vals)
{
    const hdrRequest r = hdrRequestOf(vals);
    if (r.action == hdrAction::none || !vs)
        return 0;
    const outcome o = runRequest(vs, r);
    testLog("hdr menu %d %s", int(r.action),
            o == outcome::changed     ? "changed"
            : o == outcome::unchanged ? "same"
                                      : "quiet");
    if (o == outcome::unchanged)
        ack("Scaling not changed");
    return o == outcome::changed ? 1 : 0;
}

int SELECT_HIST_BOUNDS(viewState* vs, int32u gunMask, bool extrema)
{
    if (!pointerSelectionAllowed(vs))
        return -1;
    uiPort& ui = viewUi();
    const aoiRec& box = vs->graphBox;
    const std::string head = std::string("      HIGH DYNAMIC RANGE iLUT QUERY\n") +
                             (extrema ? "    SET EXTREMA BOUNDS FROM HISTOGRAM\n"
                                      : "    SET DISPLAY RANGE FROM HISTOGRAM\n");
    const bool grey = (gunMask & HDR_GREY_CHOICE) != 0;
    bool changed = false;
    // A cancel after some guns were set still reports them: they need rendering.
    auto cancelled = [&changed](int quietly) { return changed ? 1 : quietly; };
    for (int g = 0; g < 3; ++g) {
        if (!grey && !onGun(gunMask, g))
            continue;
        const char* band = grey ? "GRAY" : histBandNames[g];
        int32 lo = 0, hi = 255;
        double dataLo = 0, dataHi = 0;
        for (;;) {
            if (pickLevel(box,
                          strPrintf("%sMove cursor to Histogram display.\nPress L-Mouse to select "
                                    "LOW bound for %s.\nM-Mouse selects zero. R-Mouse to CANCEL.",
                                    head.c_str(), band),
                          "Fail. Selected point not on Histogram\nPlease re-select LOW "
                          "bound\nR-Mouse to CANCEL",
                          0, lo) == pick::cancel) {
                ui.clearMessage();
                return cancelled(0);
            }
            testLog("hdr pick low %d", int(lo));
            if (pickLevel(box,
                          strPrintf("Selected LOW= %d\nSelect HIGH bound for %s\nM-mouse selects "
                                    "255. R-Mouse to CANCEL",
                                    int(lo), band),
                          "Fail. Selected point not on Histogram\nPlease re-select HIGH "
                          "bound\nR-Mouse to CANCEL",
                          255, hi) == pick::cancel) {
                ui.clearMessage();
                return cancelled(0);
            }
            testLog("hdr pick high %d", int(hi));
            if (!hdrWidenPick(descaleOf(g), lo, hi, dataLo, dataHi)) {
                ack("Fail: scaling range too small");
                return cancelled(-1);
            }
            ui.message(strPrintf("Selected LO/HI= %d, %d\nband= %d data LOW= %8.4f data "
                                 "HI=%8.4f\nL-Mouse ACCEPT, M-Mouse to REDO, R-Mouse to CANCEL",
                                 int(lo), int(hi), g, dataLo, dataHi),
                       MSG_STANDING);
            const verdict v = confirmPick();
            if (v == verdict::redo)
                continue;
            if (v == verdict::cancel) {
                ack("Cancelled");
                return cancelled(-1);
            }
            break;
        }
        const int32u apply = grey ? 7u : 1u << g;
        SET_ABS_RANGE_VAL(HDR_RANGE_LOHI, apply, dataLo, dataHi);
        if (extrema)
            SET_EXTREMA_LOHI(apply, dataLo, dataHi);
        changed = true;
        testLog("hdr pick accept %d", g);
        if (grey)
            break;
    }
    ui.clearMessage();
    return changed ? 1 : 0;
}

int SELECT_MARK_POINT(viewState* vs, int32u gunMask, double count)
{
    if (!pointerSelectionAllowed(vs))
        return -1;
    uiPort& ui = viewUi();
    ui.message("            HIGH DYNAMIC RANGE SCALING\nSelect Point on Image or Histogram where "
               "sensor RGB values define\nMid-Point of Std Dev HDR Scaling Range. R-Mouse to "
               "CANCEL.",
               MSG_STANDING);
    int32 x = 0, y = 0;
    leftClick left;
    for (;;) {
        const int code = ui.mouseEvent(&x, &y, 1);
        if (code == MOUSE_RIGHT || code == MOUSE_CLOSE) {
            ui.clearMessage();
            return 0;
        }
        if (left.completedBy(code) || code == MOUSE_MIDDLE)
            break;
    }
    ui.clearMessage();
    const aoiRec& gb = vs->graphBox;
    const aoiRec& m = curTransl.mapped;
    const pixBox graph{gb.x0, gb.y0, gb.x1, gb.y1};
    pixBox image{m.x0, m.y0, m.x1, m.y1};
    // The displayed pixel is read only off the histogram: the column shows no image.
    int32u shown = 0;
    viewSurface* s = activeSurface();
    if (!inBox(gb, x, y) && (!s || !s->getPixels(twBox{x, y, x, y}, &shown)))
        image = pixBox{0, 0, -1, -1};
    double marks[4] = {};
    for (int g = 0; g < 4; ++g) {
        if (!onGun(gunMask, g))
            continue;
        const int32 level = hdrMarkLevel(graph, image, x, y, shown, g);
        if (level < 0) {
            ack("No Mapping to HDR image");
            return -1;
        }
        marks[g] = descaleOf(g)[level];
    }
    for (int g = 0; g < 4; ++g) {
        if (!onGun(gunMask, g))
            continue;
        scalParams& p = activeSbuff().scal[g].p;
        p.opScalCtl = (p.opScalCtl & ~HDR_RANGE_BITS) | HDR_ON_MARK | HDR_STDV;
        p.width = count;
        p.mark = marks[g];
    }
    testLog("hdr mark %d %d", int(x), int(y));
    return 1;
}

void SBUFF_SCALING(viewState* vs, int sbuffId, const int32* vals)
{
    if (!vs || SET_ACTIVE_sBUFF(sbuffId) < 0) {
        ack("***SEVERE; BUFF_OPS() Invalid sBUFF");
        return;
    }
    const char* name = sbuffId == SBUFF_LOADER ? "LOADER" : "EXPLOIT";
    // The view's operations write the Exploit accumulator only while it is write-enabled.
    const bool inUse =
        (vs->dmode & kSbuffWrite) ? sbuffId == SBUFF_EXPLOIT : sbuffId == SBUFF_LOADER;
    if (!inUse)
        viewUi().message(
            strPrintf("%s sBUFF is NOT active, but hosts\ncurrent HDR Scaling\n", name), MSG_BRIEF);
    if (HDR_SCALING_MENU(vs, vals) != 1)
        return;
    if (!(vs->dmode & kAutoRender)) {
        ack("Scaling changed.\nsBUFF Auto-Rendering is OFF");
        return;
    }
    renderChange(vs, name);
}
