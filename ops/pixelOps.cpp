#include "pixelOps.h"

#include <span>
#include <string>

#include "diag.h"
#include "lutOps.h"
#include "opMenu.h"
#include "pixelBasic.h"
#include "pixelItems.h"
#include "pixelScope.h"
#include "renderPix.h"
#include "uiPort.h"
#include "viewSurface.h"

int32 pixelGlobalCount = 0;

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct pixelIds {
    int32 top = -1;
    int32 below[PX_ITEMS] = {};
};
pixelIds ids;

// The report of an item's failure by its number; empty for the items that say their own.
std::string errorReport(int32 item, int32 status)
{
    switch (item) {
    case PX_INFOMETRIC:
        return strPrintf("HCLAS error: %d", int(status));
    case PX_CONVOLUTION:
        return strPrintf("CONVOLUTION error: %d", int(status));
    case PX_WAVELET:
        return strPrintf("WAVELET error: %d", int(status));
    case PX_MCD:
        return strPrintf("MCD error: %d", int(status));
    case PX_FFT:
        return strPrintf("FFT error: %d", int(status));
    case PX_CANNY:
        return strPrintf("CANNY error: %d", int(status));
    default:
        return {};
    }
}

// An operation works on what is displayed: transform LUTs shown are burned in first and then
// reset. While the default LUTs are shown (the middle button's state) the pixels shown are
// the plain ones, so the tables are only reset. The loop itself sets dmode's default-LUT bit
// for every menu choice (it pastes the plain view before an operation), so the flag it
// toggles, not that bit, tells which tables the user was looking at. True when pixels changed.
bool settleLuts(viewState* vs, bufdes* bd, const char* what)
{
    const int32 guns = activeLutGuns(vs, bd);
    bool burned = false;
    if (guns && !vs->dfltLutOn)
        burned = burnInScope(vs, bd, guns, what);
    if ((vs->gunMask & 7) != 7)
        resetLutsQuietly(vs, bd, 7);
    return burned;
}

// One operation in GLOBAL scope used; the last one returns the scope to the FG AOI.
void useGlobalCount(viewState* vs)
{
    if (!(vs->dmode & modeGLOBAL_SCOPE))
        return;
    if (--pixelGlobalCount <= 0) {
        pixelGlobalCount = 0;
        vs->dmode &= ~int32u(modeGLOBAL_SCOPE);
    }
}

} // namespace

int32 activeLutGuns(const viewState* vs, const bufdes* bd)
{
    int32 guns = 0;
    for (int g = 0; g < 3; ++g)
        if (!(vs->gunMask & (1 << g)) && !isIdentityLut(bd->tLut[g]))
            guns |= 1 << g;
    return guns;
}

bool burnInScope(const viewState* vs, bufdes* bd, int32 guns, const char* what)
{
    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s))
        return false;
    lutSet t;
    for (int g = 0; g < 3; ++g)
        for (int v = 0; v < 256; ++v)
            t[g][v] = bd->tLut[g][v];
    lutPass pass;
    prepareLutPass(t, pass, guns & 7);
    // Rows already changed count as a change even when a later row fails.
    int32 touched = 0;
    eachScopeRow(
        s, bd, what, [&](std::span<int32u> row) { lutRows(row, pass); }, &touched);
    return touched > 0;
}

void resetLutsQuietly(viewState* vs, bufdes* bd, int32 guns)
{
    // A gun out of the linear mask whose table is already the identity is only marked linear.
    LUT_RESET(vs, bd, guns & 7, true);
    vs->gunMask = charu(vs->gunMask | (guns & 7));
    vs->dfltLutOn = vs->gunMask == 7;
    vs->lutsChanged = true;
}

void resetPixelOps()
{
    pixelGlobalCount = 0;
    resetPixelRandom();
}

int32 pixelOpsMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("SET SCOPE|B & W|BURN IN LUTS|PSEUDOCOLOR|INFOMETRIC ~|CONVOLUTION|"
                         "SWAP GUNS|WAVELET    ~|MN CURV DIF~|FFT        ~|CANNY|ADAPTIVE|"
                         "FRACTAL|RANDOM");
    for (int32 k = 0; k < PX_ITEMS; ++k) {
        // A sub-menu opens beside the item it hangs from, so an item's own link goes ahead of
        // the links below it: each menu is placed after its parent. Items count from 0.
        std::vector<pupLink> own;
        ids.below[k] = pixelItems[k].menu ? pixelItems[k].menu(own) : -1;
        if (ids.below[k] >= 0)
            links.push_back(pupLink{&ids.top, k, &ids.below[k]});
        links.insert(links.end(), own.begin(), own.end());
    }
    return ids.top;
}

void PIXEL_OPS(viewState* vs, const int32* pupvals, bufdes* bd)
{
    if (!bd || pupvals[1] < 1 || pupvals[1] > PX_ITEMS)
        return;
    const int32 item = pupvals[1];
    uiPort& ui = viewUi();
    const bool global = (vs->dmode & modeGLOBAL_SCOPE) != 0;
    bool changed = false;
    // SET SCOPE changes no pixel; B & W and BURN IN LUTS use the tables themselves.
    if (item != PX_SCOPE && item != PX_BW && item != PX_BURN_IN)
        changed = settleLuts(vs, bd, "Transform LUTs burned in");
    const pixelRun r = pixelItems[item - 1].run(vs, pupvals, bd);
    changed = changed || r.changed;
    if (item != PX_SCOPE) {
        if ((vs->gunMask & 7) != 7) {
            resetLutsQuietly(vs, bd, 7);
            ui.message("Pixel operation reset active Transform LUTs", MSG_BRIEF);
        }
        if (global)
            useGlobalCount(vs);
    }
    if (r.status < 0) {
        const std::string report = errorReport(item, r.status);
        if (!report.empty())
            ui.message(report, MSG_ACK);
    }
    if (changed) {
        if (global) {
            // The buffer changed under the view: show it anew from the buffer.
            if (activeSurface())
                VIEW_MEM(nullptr, (vs->dmode & modeGLOBALV) != 0);
            vs->refresh |= RFR_DATA | RFR_STATS;
        } else {
            vs->refresh |= RFR_VIEW | RFR_STATS;
        }
    }
    if (r.sbuffWritten && (vs->dmode & modeSBUFF_WRITE))
        ui.message(" Scaling Accum sBUFF modified ", MSG_BRIEF);
    testLog("pixel ops %d status %d%s", int(item), int(r.status), changed ? " changed" : "");
}
