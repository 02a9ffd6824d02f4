#include "pixelBasic.h"

#include <span>

#include "diag.h"
#include "lutOps.h"
#include "notYet.h"
#include "opMenu.h"
#include "pixKernels.h"
#include "pixPrompts.h"
#include "pixelOps.h"
#include "pixelScope.h"
#include "pseudoLut.h"
#include "uiPort.h"
#include "viewDims.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct basicIds {
    int32 scope = -1, once = -1, bw = -1, standard = -1, guns = -1, source = -1, style = -1,
          levels = -1, teeth = -1, info = -1, swap = -1;
};
basicIds ids;

// The three guns' histograms over the scope.
bool scopeHistograms(const pixelScope& s, bufdes* bd, gunHist h[3])
{
    clearHists(h);
    scopeLines lines(s, bd);
    if (!lines.ok())
        return false;
    for (int32 y = 0; y < s.rows; ++y) {
        const int32u* px = lines.row(y);
        if (!px)
            return false;
        histRows(std::span<const int32u>(px, std::size_t(s.cols)), h);
    }
    for (int g = 0; g < 3; ++g)
        finishHist(h[g]);
    return true;
}

int32 gunIndex(int32 mask)
{
    return mask == 1 ? 0 : mask == 2 ? 1 : mask == 4 ? 2 : -1;
}

void showScope(const viewState* vs)
{
    if (vs->dmode & modeGLOBAL_SCOPE)
        viewUi().message("      GLOBAL SCOPE enabled!\nPixel Operations Scope is entire\n"
                         "image buffer and is irreversible",
                         MSG_ACK);
    else
        viewUi().message(" Pixel Operations Scope is\nForeground Area Of Interest", MSG_ACK);
}

} // namespace

int32 pxScopeMenu(std::vector<pupLink>& links)
{
    ids.scope = defineMenu("FG AOI|GLOBAL|STATUS");
    ids.once = defineMenu("ONCE|REPEAT");
    links.push_back(pupLink{&ids.scope, 1, &ids.once});
    return ids.scope;
}

pixelRun pxScope(viewState* vs, const int32* pv, bufdes*)
{
    uiPort& ui = viewUi();
    switch (pv[2]) {
    case 1:
        vs->dmode &= ~int32u(modeGLOBAL_SCOPE);
        pixelGlobalCount = 0;
        showScope(vs);
        break;
    case 2: {
        if (pv[3] != 1 && pv[3] != 2)
            break;
        if (vDims.dpyType == DPY_FULL &&
            !ui.askYesNo("WARN: Setting GLOBAL SCOPE with FULL SCREEN active.\n"
                         "      Global operations on huge buffers will Lock-Screen\n"
                         "      until operation completes.\nProceed? (Y|N) > ")) {
            ui.message("Cancelled", MSG_BRIEF);
            break;
        }
        if ((vs->dmode & modeSBUFF_WRITE) &&
            ui.askYesNo("WARN: Setting GLOBAL SCOPE with sBUFF Write-Enabled.\n"
                        "      This will create huge sBUFF for very large images.\n"
                        "Do you wish to Write-Protect sBUFF? (Y|N) > ")) {
            vs->dmode &= ~modeSBUFF_WRITE;
            ui.message("sBUFF mode set to Protected.\nSee: 'BUFF OPS|sBUFF|EXPL|ACCESS|ON' to "
                       "Enable.",
                       MSG_ACK);
        }
        vs->dmode |= modeGLOBAL_SCOPE;
        pixelGlobalCount = pv[3] == 1 ? 1 : PX_GLOBAL_REPEAT;
        showScope(vs);
        break;
    }
    case 3:
        showScope(vs);
        break;
    default:
        break;
    }
    return {};
}

int32 pxBwMenu(std::vector<pupLink>& links)
{
    ids.bw = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    ids.standard = defineMenu("NTSC '53|CONTEMP");
    links.push_back(pupLink{&ids.bw, 0, &ids.standard});
    return ids.bw;
}

pixelRun pxBw(viewState* vs, const int32* pv, bufdes* bd)
{
    const int32u guns = int32u(pv[2]);
    const int32 standard = guns == 7 ? pv[3] : 0;
    // Each gun goes through its transform LUT where one is shown.
    const int32 active = vs->dfltLutOn ? 0 : activeLutGuns(vs, bd);
    lutSet t;
    for (int g = 0; g < 3; ++g)
        for (int v = 0; v < 256; ++v)
            t[g][v] = (active & (1 << g)) ? bd->tLut[g][v] : charu(v);
    greyPass pass;
    if (prepareGrey(pass, guns, standard, active ? &t : nullptr) != PIXK_OK)
        return {};
    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s))
        return {};
    pixelRun r;
    r.changed = eachScopeRow(s, bd, "B & W", [&](std::span<int32u> row) { greyRows(row, pass); });
    // The greys hold what the tables showed: the tables are done with.
    if ((vs->gunMask & 7) != 7)
        resetLutsQuietly(vs, bd, 7);
    return r;
}

int32 pxBurnInMenu(std::vector<pupLink>&)
{
    ids.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    return ids.guns;
}

pixelRun pxBurnIn(viewState* vs, const int32* pv, bufdes* bd)
{
    const int32 guns = pv[2] & 7 & activeLutGuns(vs, bd);
    if (!guns) {
        viewUi().message("Selected tLUT(s) not active", MSG_BRIEF);
        return {};
    }
    pixelRun r;
    r.changed = burnInScope(vs, bd, guns, "BURN IN LUTS");
    resetLutsQuietly(vs, bd, guns);
    return r;
}

int32 pxPseudoMenu(std::vector<pupLink>& links)
{
    ids.source = defineMenu("RED%x1|GRN%x2|BLU%x4");
    ids.style = defineMenu("NORMAL|COMB");
    ids.levels = defineMenu("256%i0|64%i1|32%i2|16%i3|8%i4");
    ids.teeth = defineMenu("16%i16| 8%i8| 4%i4");
    for (int32 k = 0; k < 3; ++k)
        links.push_back(pupLink{&ids.source, k, &ids.style});
    links.push_back(pupLink{&ids.style, 0, &ids.levels});
    links.push_back(pupLink{&ids.style, 1, &ids.teeth});
    return ids.source;
}

pixelRun pxPseudo(viewState* vs, const int32* pv, bufdes* bd)
{
    static constexpr int32 levels[5] = {256, 64, 32, 16, 8};
    const int32 gun = gunIndex(pv[2]);
    int32u mode;
    if (pv[3] == 1 && pv[4] >= 0 && pv[4] <= 4)
        mode = int32u(levels[pv[4]] & 255); // 256 levels: continuous
    else if (pv[3] == 2 && (pv[4] == 16 || pv[4] == 8 || pv[4] == 4))
        mode = PSL_COMB | int32u(pv[4]);
    else
        return {};
    pixelScope s;
    if (gun < 0 || !pixelScopeOf(vs, bd, &s))
        return {};
    // The lowest and highest occupied levels of the source gun's histogram over the scope.
    int32 lo = 255, hi = 0;
    {
        scopeLines lines(s, bd);
        if (!lines.ok())
            return {};
        for (int32 y = 0; y < s.rows; ++y) {
            const int32u* px = lines.row(y);
            if (!px)
                return {};
            gunLevelRange(std::span<const int32u>(px, std::size_t(s.cols)), gun, &lo, &hi);
        }
    }
    int32 range[2];
    if (!pseudoRange(lo, hi, range))
        return {};
    charu red[256], green[256], blue[256];
    if (PSEUDO_LUT(range, red, green, blue, 256, mode, 0, 1.0) != 0)
        return {};
    int32u pal[256];
    tablePalette(red, green, blue, pal);
    pixelRun r;
    r.changed = eachScopeRow(s, bd, "PSEUDOCOLOR",
                             [&](std::span<int32u> row) { paletteRows(row, gun, pal); });
    return r;
}

int32 pxInfometricMenu(std::vector<pupLink>&)
{
    ids.info = defineMenu("ENTROPY|ABS REDUND|REL REDUND");
    return ids.info;
}

pixelRun pxInfometric(viewState* vs, const int32* pv, bufdes* bd)
{
    pixelRun r;
    pixelScope s;
    gunHist h[3];
    lutSet t;
    if (!pixelScopeOf(vs, bd, &s) || !scopeHistograms(s, bd, h)) {
        r.status = LUTK_EMPTY;
        return r;
    }
    r.status = infometricClasses(h, pv[2] - 1, t);
    if (r.status != PIXK_OK)
        return r;
    lutPass pass;
    prepareLutPass(t, pass, 7);
    r.changed =
        eachScopeRow(s, bd, "INFOMETRIC", [&](std::span<int32u> row) { lutRows(row, pass); });
    return r;
}

int32 pxSwapMenu(std::vector<pupLink>&)
{
    ids.swap = defineMenu("RED<->GRN%x3|RED<->BLU%x5|GRN<->BLU%x6");
    return ids.swap;
}

pixelRun pxSwap(viewState* vs, const int32* pv, bufdes* bd)
{
    const int32u mask = int32u(pv[2]);
    pixelScope s;
    if ((mask != 3 && mask != 5 && mask != 6) || !pixelScopeOf(vs, bd, &s))
        return {};
    pixelRun r;
    r.changed = eachScopeRow(
        s, bd, "SWAP GUNS", [&](std::span<int32u> row) { swapGuns(row.data(), row.size(), mask); });
    return r;
}

pixelRun pxMcd(viewState*, const int32*, bufdes*)
{
    uiPort& ui = viewUi();
    const std::string answer = ui.ask("Enter number of MCD iterations.\n> ");
    if (answer.empty())
        return {};
    int32 n = 0;
    const std::string refused = parseMcdIterations(answer, &n);
    if (!refused.empty()) {
        ui.message(refused, MSG_ACK);
        return {};
    }
    notYet("MN CURV DIF");
    return {};
}

pixelRun pxFft(viewState*, const int32*, bufdes*)
{
    notYet("FFT");
    return {};
}
