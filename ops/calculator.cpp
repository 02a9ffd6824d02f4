#include "calculator.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "bTransl.h"
#include "calcKernels.h"
#include "diag.h"
#include "dispAccum.h"
#include "folio_utl.h"
#include "renderPix.h"
#include "roam.h"
#include "textConsole.h"
#include "uiPort.h"
#include "viewSurface.h"

calcState calcModes;

void resetCalc()
{
    calcModes = calcState{};
}

namespace {

constexpr int colourText = 1, colourError = 9;
constexpr int consoleRows = 8;

// Indicator labels, in the order of their highlight bits.
enum : int32u { litABS_ON = 1, litABS_OFF = 2, litAOI = 4, litGLOBAL = 8, litMAPPED = 16 };

// What a session changed, for the refresh when it ends.
struct sessionChanges {
    bool guns = false, alpha = false, buffer = false;
};

struct session {
    viewState* vs;
    bufdes* bd;
    consolePort& con;
    uiPort& ui;
    sessionChanges changed;
};

void say(session& s, const std::string& text)
{
    s.con.put(text, colourText);
}

void fail(session& s, int32 err)
{
    s.con.put(calcErrorText(err), colourError);
}

void showModes(session& s)
{
    const calcState& m = calcModes;
    int32u lit = m.absMode ? litABS_ON : litABS_OFF;
    lit |= m.scope == CALC_SCOPE_GLOBAL   ? litGLOBAL
           : m.scope == CALC_SCOPE_MAPPED ? litMAPPED
                                          : litAOI;
    s.con.highlight(lit);
}

std::string upper(std::string t)
{
    for (char& c : t)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return t;
}

// ---------------------------------------------------------------------------------------------
// Commands

// The value after "=": true when it begins with T.
bool isTrue(const std::string& value)
{
    return !value.empty() && (value[0] == 't' || value[0] == 'T');
}

// The scope's pixels in the iBUFF for MAPPED: the buffer under the FG AOI at full resolution.
int32 mappedArea(const bufdes* bd, bufMapping* m)
{
    if (curTransl.zoom >= 2)
        return CALC_E_ZOOMED;
    if (!DXY_TO_BUF(bd->fgAoi, m))
        return CALC_E_NO_MAP;
    return CALC_OK;
}

void setScope(session& s, int scope)
{
    calcModes.scope = scope;
    if (scope == CALC_SCOPE_GLOBAL)
        s.vs->dmode |= modeGLOBAL_SCOPE;
    else
        s.vs->dmode &= ~modeGLOBAL_SCOPE;
    say(s, scope == CALC_SCOPE_GLOBAL   ? "*** GLOBAL scope ACTIVE ***"
           : scope == CALC_SCOPE_MAPPED ? "*** MAPPED scope ACTIVE ***"
                                        : "*** Scope is Display FG AOI ***");
    showModes(s);
}

void scopeCommand(session& s, int scope, bool hasValue, const std::string& value)
{
    if (hasValue && !isTrue(value)) {
        if (calcModes.scope == scope)
            setScope(s, CALC_SCOPE_AOI);
        else if (scope == CALC_SCOPE_GLOBAL)
            fail(s, CALC_E_GLOBAL_OFF);
        return;
    }
    if (calcModes.scope == scope) {
        if (!hasValue)
            fail(s, CALC_E_MODE_ACTIVE);
        return;
    }
    if (scope == CALC_SCOPE_MAPPED) {
        bufMapping m{};
        const int32 rc = mappedArea(s.bd, &m);
        if (rc != CALC_OK) {
            fail(s, rc);
            return;
        }
    }
    setScope(s, scope);
}

void absCommand(session& s, bool hasValue, const std::string& value)
{
    const bool on = !hasValue || isTrue(value);
    if (on && calcModes.absMode && !hasValue) {
        fail(s, CALC_E_TRUE_FALSE);
        return;
    }
    calcModes.absMode = on;
    say(s, on ? "Absolute Value mode set ON" : "Absolute Value mode set OFF");
    showModes(s);
}

void debugCommand(session& s, int mode, bool hasValue, const std::string& value)
{
    const bool on = !hasValue || isTrue(value);
    if (on && calcModes.debug == mode && !hasValue) {
        fail(s, CALC_E_TRUE_FALSE);
        return;
    }
    calcModes.debug = on ? mode : 0;
    say(s, on ? "Debug mode ON. Output goes to TAV launch Terminal.If no Terminal active, "
                "create one to use Debug mode."
              : "Debug mode OFF");
}

void undoCommand(session& s, bool hasValue, const std::string& value)
{
    if (calcModes.scope != CALC_SCOPE_AOI) {
        fail(s, CALC_E_GLOBAL);
        return;
    }
    const std::string v = upper(value);
    int guns = 0;
    if (!hasValue || v == "." || v.empty())
        guns = 15;
    else if (v == "RGB")
        guns = 7;
    else if (v == "R")
        guns = 1;
    else if (v == "G")
        guns = 2;
    else if (v == "B")
        guns = 4;
    if (guns == 0) {
        fail(s, CALC_E_UNDEFINED);
        return;
    }
    const consoleAside aside(s.con, true);
    const int32 rc = paste_accum_guns(guns);
    if (rc != ACC_OK)
        DIAG("\n***CALC(): paste_accum_guns() %d", rc);
}

void ancilCommand(session& s)
{
    const viewState& vs = *s.vs;
    const bool transformLuts = !vs.dfltLutOn && vs.gunMask != 7;
    if (!(vs.ancil & ancROAM) || transformLuts) {
        fail(s, CALC_E_ANCIL);
        return;
    }
    say(s, "Roam/Stats on. Middle/Rightmouse to resume.");
    ROAM_UNTIL_RESUME(s.vs);
    say(s, "Roam/Stats off.");
}

// ---------------------------------------------------------------------------------------------
// Calculations

// One user accumulator as the tokens and the evaluation see it.
struct accView {
    calcAccInfo info;
    folioDesc desc{};
};

accView readAccumulator(int k)
{
    accView a;
    const int rc = GET_FOLIO_HEADER(k, &a.desc, nullptr);
    if (rc == -1)
        return a; // nothing stored
    a.info.state = calcAccInfo::ACC_BAD;
    const folioDesc& d = a.desc;
    std::FILE* f = FOLIO_FILE(k);
    if (rc != 0 || !f || d.defined != 1 || d.cols < 1 || d.rows < 1 || d.dataOfs < 0)
        return a;
    // Every value the evaluation will read must be there: a short accumulator is refused
    // before any pixel changes.
    struct stat st {};
    const std::uint64_t need = std::uint64_t(d.dataOfs) + std::uint64_t(d.cols) * d.rows * 4u;
    if (fstat(fileno(f), &st) != 0 || std::uint64_t(st.st_size) < need)
        return a;
    a.info.state = calcAccInfo::ACC_READY;
    a.info.nBands = d.nBands;
    a.info.cols = d.cols;
    a.info.rows = d.rows;
    return a;
}

// The scope of a calculation: which rows, where they come from.
struct scopeArea {
    int scope = CALC_SCOPE_AOI;
    aoiRec area{0, 0, -1, -1}; ///< view pixels (FG AOI), or buffer pixels (MAPPED, GLOBAL)
    int32 cols = 0, rows = 0;
};

int32 scopeOf(session& s, scopeArea* a)
{
    a->scope = calcModes.scope;
    if (a->scope == CALC_SCOPE_GLOBAL) {
        a->area = aoiRec{0, 0, s.bd->width - 1, s.bd->height - 1};
    } else if (a->scope == CALC_SCOPE_MAPPED) {
        bufMapping m{};
        const int32 rc = mappedArea(s.bd, &m);
        if (rc != CALC_OK)
            return rc;
        a->area = m.buf;
    } else {
        const aoiRec& f = s.bd->fgAoi;
        int32 d[4] = {0, 0, -1, -1};
        if (viewSurface* v = activeSurface())
            v->displayBox(d);
        a->area = aoiRec{std::max(f.x0, d[0]), std::max(f.y0, d[1]), std::min(f.x1, d[2]),
                         std::min(f.y1, d[3])};
    }
    a->cols = a->area.x1 - a->area.x0 + 1;
    a->rows = a->area.y1 - a->area.y0 + 1;
    if (a->cols < 1 || a->rows < 1)
        return a->scope == CALC_SCOPE_AOI ? CALC_E_RENDER : CALC_E_NO_MAP;
    return CALC_OK;
}

// The guns of a pixel in the order the trace prints them: red, green, blue, alpha.
int gunR(int32u v)
{
    return int((v >> 16) & 0xFF);
}
int gunG(int32u v)
{
    return int((v >> 8) & 0xFF);
}
int gunB(int32u v)
{
    return int(v & 0xFF);
}
int gunA(int32u v)
{
    return int(v >> 24);
}

void printTrace(const calcTrace& t, bool hex)
{
    if (hex)
        DIAG("\nCALC Disp before= 0x%08X ", t.before);
    else
        DIAG("\nCALC Disp before= %03d,%03d,%03d,%03d", gunR(t.before), gunG(t.before),
             gunB(t.before), gunA(t.before));
    for (int k = 0; k < t.steps; ++k) {
        const auto& st = t.step[k];
        if (hex) {
            DIAG("\nvalue,operand= 0x%08X 0x%08X  oper= %s", st.value, st.operand,
                 calcOperName(st.op));
            DIAG("  result= 0x%08X", st.result);
        } else {
            const int32u v = st.value, w = st.operand;
            DIAG("\nvalue,operand= %03d,%03d,%03d,%03d  %03d,%03d,%03d,%03d  oper= %s", gunR(v),
                 gunG(v), gunB(v), gunA(v), gunR(w), gunG(w), gunB(w), gunA(w),
                 calcOperName(st.op));
            DIAG("  result= %03d,%03d,%03d,%03d", gunR(st.result), gunG(st.result), gunB(st.result),
                 gunA(st.result));
        }
    }
    if (hex)
        DIAG("\nCALC disp after=   0x%08X\n ", t.after);
    else
        DIAG("\nCALC Disp after=  %03d,%03d,%03d,%3d\n", gunR(t.after), gunG(t.after),
             gunB(t.after), gunA(t.after));
}

// The output accumulator's new header: the scope's size, one value a pixel.
bool startOutput(int k, const scopeArea& a, bool bitfield, int srcBuf, const std::string& line)
{
    if (!(CLAIM_FOLIOS(1u << k) & (1u << k)))
        return false;
    folioDesc d{};
    d.cols = int32u(a.cols);
    d.rows = int32u(a.rows);
    d.aoi[0] = int32u(a.area.x0);
    d.aoi[1] = int32u(a.area.y0);
    d.aoi[2] = int32u(a.area.x1);
    d.aoi[3] = int32u(a.area.y1);
    d.nBands = bitfield ? 4 : 1;
    for (int g = 0; g < (bitfield ? 4 : 1); ++g)
        d.gunBand[g] = std::uint16_t(g + 1);
    d.srcBuf = std::int16_t(srcBuf);
    d.inLayout = bitfield ? 4 : 1;
    d.sMode = bitfield ? SMODE_PIXEL_IL : SMODE_FLAT;
    d.dType = bitfield ? DTYPE_BYTE : DTYPE_INT32;
    d.defined = 1;
    d.endOfs = SBUFF_DESC_BYTES + std::int64_t(a.cols) * a.rows * 4;
    std::snprintf(d.process, sizeof d.process, "CALC: %s", line.c_str());
    return PUT_FOLIO_HEADER(k, &d, nullptr) == 0;
}

void calculation(session& s, const std::string& line)
{
    scopeArea a;
    int32 rc = scopeOf(s, &a);
    if (rc != CALC_OK) {
        fail(s, rc);
        return;
    }
    calcContext ctx;
    ctx.alphaOk = a.scope != CALC_SCOPE_AOI;
    ctx.cols = int32u(a.cols);
    ctx.rows = int32u(a.rows);
    accView acc[4];
    for (int k = 0; k < 4; ++k) {
        acc[k] = readAccumulator(k);
        ctx.acc[k] = acc[k].info;
    }
    calcCmd cmd;
    rc = calcTokenize(line, ctx, &cmd);
    if (rc == CALC_OK)
        rc = CHECK_CALC_SYNTAX(&cmd, ctx);
    if (rc != CALC_OK) {
        fail(s, rc);
        return;
    }
    const calcTargets tg = calcTargetsOf(cmd);
    const std::size_t n = std::size_t(a.cols);

    // The rows of the scope: the view through a render object, or the buffer's rows.
    const consoleAside aside(s.con, a.scope == CALC_SCOPE_AOI && (tg.pixels || tg.reads));
    std::unique_ptr<RenderScanL> rows;
    if (a.scope == CALC_SCOPE_AOI || a.scope == CALC_SCOPE_MAPPED) {
        const aoiRec fg = s.bd->fgAoi;
        rows = std::make_unique<RenderScanL>(a.scope == CALC_SCOPE_AOI ? &a.area : &fg,
                                             a.scope == CALC_SCOPE_AOI ? RP_VIEW : RP_BUFFER);
        int32 w = 0, h = 0;
        if (!rows->size(&w, &h) || w != a.cols || h != a.rows || !rows->readNext()) {
            fail(s, CALC_E_RENDER);
            return;
        }
        rows->rewind();
    }
    std::vector<int32u> value(n), operand(n), out(n);
    std::vector<std::vector<int32u>> in(4);
    std::vector<float> floats;
    std::FILE* inFile[4] = {};
    for (int k = 0; k < 4; ++k) {
        if (!tg.inAcc[k])
            continue;
        in[k].resize(n);
        if (acc[k].desc.dType == DTYPE_FLOAT32)
            floats.resize(n);
        folioDesc d;
        if (GET_FOLIO_HEADER(k, &d, nullptr) != 0 || !(inFile[k] = FOLIO_FILE(k))) {
            fail(s, CALC_E_ACC_CORRUPT);
            return;
        }
    }
    std::FILE* outFile = nullptr;
    if (tg.outAcc >= 0) {
        const int srcBuf = a.scope == CALC_SCOPE_AOI ? 0 : s.bd->bufNum;
        if (!startOutput(tg.outAcc, a, tg.outBitfield, srcBuf, line) ||
            !(outFile = FOLIO_FILE(tg.outAcc))) {
            CLAIM_FOLIOS(1u << tg.outAcc);
            DIAG("\n***CALC(): accumulator @%d cannot be written", tg.outAcc + 1);
            fail(s, CALC_E_ACC_CORRUPT);
            return;
        }
    }
    if (a.scope == CALC_SCOPE_GLOBAL) {
        say(s, "Performing GLOBAL operation. Wait...");
        s.ui.setCursor(2);
    }

    calcTrace trace;
    trace.col = n / 2;
    const bool absMode = calcModes.absMode;
    bool ok = true;
    for (int32 y = 0; y < a.rows && ok; ++y) {
        calcLine l;
        l.n = n;
        for (int k = 0; k < 4; ++k) {
            if (!inFile[k])
                continue;
            if (acc[k].desc.dType == DTYPE_FLOAT32) {
                ok = ok && std::fread(floats.data(), 4, n, inFile[k]) == n;
                calcFloatsToInts(floats.data(), in[k].data(), ok ? n : 0);
            } else {
                ok = ok && std::fread(in[k].data(), 4, n, inFile[k]) == n;
            }
            l.accIn[k] = in[k].data();
        }
        if (!ok)
            break;
        if (rows) {
            l.pix = rows->readNext();
        } else {
            l.pix = s.bd->imgbuf + std::size_t(y) * std::size_t(s.bd->width);
        }
        if (!l.pix) {
            ok = false;
            break;
        }
        l.accOut = outFile ? out.data() : nullptr;
        const bool tracing = calcModes.debug && y % 100 == 0;
        calcEvalLine(cmd, absMode, l, value.data(), operand.data(), tracing ? &trace : nullptr);
        if (tracing)
            printTrace(trace, calcModes.debug == 2);
        if (outFile && std::fwrite(out.data(), 4, n, outFile) != n)
            ok = false;
        if (rows && tg.pixels)
            rows->writeNext();
    }
    if (outFile && std::fflush(outFile) != 0)
        ok = false;
    if (a.scope == CALC_SCOPE_GLOBAL)
        s.ui.setCursor(1);
    if (calcModes.debug)
        DIAG("\n          ---DEBUG CYCLE---\n");
    if (!ok) {
        // Never a partial accumulator: what could not be completed is emptied.
        if (tg.outAcc >= 0)
            CLAIM_FOLIOS(1u << tg.outAcc);
        fail(s, CALC_E_ACC_CORRUPT);
    }
    if (tg.pixels) {
        if (a.scope == CALC_SCOPE_AOI) {
            s.changed.guns = true;
            s.changed.alpha = s.changed.alpha || tg.alpha;
        } else {
            s.changed.buffer = true;
            if (activeSurface()) {
                const consoleAside redraw(s.con, true);
                VIEW_MEM(nullptr, (s.vs->dmode & modeGLOBALV) != 0);
            }
            say(s, "iBUFF operation done");
        }
    } else if (ok) {
        say(s, "Results rendered to accumulator");
    }
}

// ---------------------------------------------------------------------------------------------

// One typed line; false when it asks to leave.
bool command(session& s, const std::string& typed)
{
    std::size_t i = 0;
    while (i < typed.size() && std::isspace(static_cast<unsigned char>(typed[i])))
        ++i;
    if (i == typed.size())
        return false;
    std::size_t e = i;
    while (e < typed.size() && std::isalpha(static_cast<unsigned char>(typed[e])))
        ++e;
    const std::string word = upper(typed.substr(i, e - i));
    std::size_t v = e;
    while (v < typed.size() && std::isspace(static_cast<unsigned char>(typed[v])))
        ++v;
    const bool hasValue = v < typed.size() && typed[v] == '=';
    std::string value;
    if (hasValue) {
        value = typed.substr(v + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        value.erase(value.find_last_not_of(" \t") + 1);
    }
    if (word == "EXIT" || word == "QUIT")
        return false;
    if (word == "GLOB" || word == "GLOBAL") {
        scopeCommand(s, CALC_SCOPE_GLOBAL, hasValue, value);
    } else if (word == "MAP" || word == "MAPPED") {
        scopeCommand(s, CALC_SCOPE_MAPPED, hasValue, value);
    } else if (word == "ANCIL") {
        ancilCommand(s);
    } else if (!word.empty() && word[0] == 'U') {
        undoCommand(s, hasValue, value);
    } else if (word == "TOUCH") {
        int32 rc;
        {
            const consoleAside aside(s.con, true);
            rc = CUT_ACCUM();
        }
        if (rc == ACC_OK)
            say(s, "Display state saved");
        else
            DIAG("\n***CALC(): CUT_ACCUM() %d", rc);
    } else if (word == "ABS") {
        absCommand(s, hasValue, value);
    } else if (word == "AOI") {
        bool changed = false;
        {
            // The band is drawn on the view, where the console would stand in its way.
            const consoleAside aside(s.con, calcModes.scope == CALC_SCOPE_AOI);
            changed = calcRedefineAoi(s.vs);
        }
        if (changed)
            say(s, "Foreground AOI changed");
    } else if (word == "DEBUG" || word == "XDEBUG") {
        debugCommand(s, word == "DEBUG" ? 1 : 2, hasValue, value);
    } else if (typed.find(':') != std::string::npos) {
        calculation(s, typed);
    } else if (typed.find_first_of("rgbaRGBA.@+-*/&|^:!><={}(,)") == std::string::npos) {
        fail(s, CALC_E_UNDEFINED);
    } else {
        fail(s, CALC_E_PUT);
    }
    return true;
}

} // namespace

void CALC(viewState* vs, const int32*, bufdes* bd)
{
    consolePort& con = viewConsole();
    static const std::vector<std::string> header = {
        "                        IMAGE CALCULATOR",
        "            calc> gun [gun op]   ... : gun [gun gun]",
        "            calc> gun [const op] ... : gun [gun gun] ",
        "            calc> const [gun op] ... : gun [gun gun] ",
        " gun=[.,@,R,G,B,A] acc=[@Ng] op=[+-*/&|^=!<>{}] const=[N,(N,N,N)]",
        "    Commands: abs, undo, ancil, global, mapped, touch, xdebug"};
    static const std::vector<std::string> labels = {"ABSVAL ON ", "ABSVAL OFF", "  FG AOI  ",
                                                    "< GLOBAL >", "< MAPPED >"};
    if (!vs || !bd || !bd->imgbuf || bd->width < 1 || bd->height < 1 ||
        !con.open(header, labels, consoleRows)) {
        viewUi().message("Fatal error initializing CALC().", MSG_ACK);
        return;
    }
    session s{vs, bd, con, viewUi(), {}};
    // The GLOBAL scope is the view's: SET SCOPE may have switched it since the last session.
    if (vs->dmode & modeGLOBAL_SCOPE)
        calcModes.scope = CALC_SCOPE_GLOBAL;
    else if (calcModes.scope == CALC_SCOPE_GLOBAL)
        calcModes.scope = CALC_SCOPE_AOI;
    showModes(s);
    while (command(s, con.get("calc> ", CALC_MAX_LINE))) {
    }
    con.close();
    if (s.changed.guns || s.changed.alpha)
        vs->refresh |= RFR_VIEW | RFR_STATS;
    if (s.changed.alpha && (vs->dmode & modeALPHA_PASTE))
        vs->refresh |= RFR_PASTE_A;
    if (s.changed.buffer)
        vs->refresh |= RFR_DATA | RFR_STATS;
}
