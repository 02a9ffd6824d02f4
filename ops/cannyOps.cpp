#include "cannyOps.h"

#include <cstddef>
#include <memory>
#include <new>
#include <string>

#include "bufRecMgt.h"
#include "cannyKernels.h"
#include "diag.h"
#include "lexical.h"
#include "opMenu.h"
#include "pixelScope.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct cannyIds {
    int32 top = -1, kinds = -1, guns = -1, set = -1;
};
cannyIds ids;

cannyParams params;
// Magnitudes that could not be formed since the last report.
int32 overflowCount = 0;

enum : int32 { C_RUN = 1, C_SET, C_STATUS };
enum : int32 { S_DEFAULT = 1, S_SIG_VAL, S_SIG_DIAM, S_K, S_THIN, S_BRIGHT };

bool sigmaOk(double s)
{
    return s >= CANNY_SIGMA_MIN && s <= CANNY_SIGMA_MAX;
}

void showStatus()
{
    ack(strPrintf("            CANNY PARAMETERS\nSigma= %4.2f   K= %3d  Bright= %3.1F Thin= %s",
                  params.sigma, params.K, params.bright, params.thin ? "ON" : "OFF"));
}

// Sigma from a typed value, or from a kernel diameter (sigma = d / 2 sqrt 2). An empty answer
// restores the default; anything else that is not a sigma in range is refused.
void setSigma(const std::string& prompt, bool diameter)
{
    const std::string a = trimBlanks(viewUi().ask(prompt));
    if (a.empty()) {
        params.sigma = CANNY_SIGMA_DEF;
        return;
    }
    double v = 0;
    if (!toDouble(a.c_str(), v))
        v = -1; // not a number: refused like a sigma out of range
    else if (diameter)
        v /= 2.8284271247461903;
    if (!sigmaOk(v)) {
        ack("Invalid Sigma...");
        return;
    }
    params.sigma = v;
}

void setK()
{
    const std::string a = trimBlanks(viewUi().ask("Enter value for 'K'\n[200 <= K <= 700]\n> "));
    if (a.empty()) {
        params.K = CANNY_K_DEF;
        return;
    }
    int32 k = 0;
    if (!toInt32(a.c_str(), k) || k < CANNY_K_MIN || k > CANNY_K_MAX) {
        ack("Invalid 'K'...");
        return;
    }
    params.K = k;
}

// False when the answer was empty: nothing changes and no status follows.
bool setThin()
{
    const std::string a = trimBlanks(viewUi().ask("Thin Edge Boundaries?\nY / N ? > "));
    if (a.empty())
        return false;
    params.thin = a[0] == 'Y' || a[0] == 'y';
    return true;
}

bool setBright()
{
    const std::string a = trimBlanks(viewUi().ask("Enter output brightness;\n[1 <= BR <= 8]\n> "));
    if (a.empty())
        return false;
    double b = 0;
    if (!toDouble(a.c_str(), b) || !(b >= CANNY_BRIGHT_MIN && b <= CANNY_BRIGHT_MAX)) {
        ack("Invalid Brightness...");
        return true;
    }
    params.bright = b;
    return true;
}

void setItem(int32 item)
{
    bool status = true;
    switch (item) {
    case S_DEFAULT:
        params = cannyParams{};
        break;
    case S_SIG_VAL:
        setSigma("Enter value for Sigma\n[1.0 <= Sigma <= 7.0]\n> ", false);
        break;
    case S_SIG_DIAM:
        setSigma("Enter kernel diameter (pixels)\n> ", true);
        break;
    case S_K:
        setK();
        break;
    case S_THIN:
        status = setThin();
        break;
    case S_BRIGHT:
        status = setBright();
        break;
    default:
        return;
    }
    if (status)
        showStatus();
}

std::unique_ptr<charu[]> plane(std::size_t n)
{
    return std::unique_ptr<charu[]>(new (std::nothrow) charu[n]());
}

// The busy cursor for the length of a run, whichever way it ends.
struct busyCursor {
    busyCursor() { viewUi().setCursor(2); }
    ~busyCursor() { viewUi().setCursor(0); }
};

int32 run(viewState* vs, bufdes* bd, int32 kind, int32 guns)
{
    const cannyFilters f = canny_filters(params.K, params.sigma);
    if (f.w >= CANNY_MAX_W) {
        ack("Canny Filter out of range;\n  Decrease Sigma or K");
        return CANNY_RUN_FILTER;
    }
    const double n = cannyNorm(params.K, params.sigma, params.bright);
    busyCursor busy;
    guns = guns > 0 ? guns % 8 : 0; // no gun chosen (a release on the kind) is no gun
    if (guns == 0)
        return CANNY_RUN_NO_GUNS;

    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s))
        return CANNY_RUN_NO_SCOPE;
    const std::size_t px = std::size_t(s.cols) * std::size_t(s.rows);
    int32 count = 0;
    for (int32 g = 0; g < 3; ++g)
        count += (guns >> g) & 1;
    std::string msg;
    if (!SAFE_MEM_REQ(std::uint64_t(px) * std::uint64_t(2 * count), &msg))
        return CANNY_RUN_NO_SPLIT;
    std::unique_ptr<charu[]> in[3], out[3];
    charu* inp[3] = {};
    charu* outp[3] = {};
    for (int32 g = 0; g < 3; ++g)
        if (guns & (1 << g)) {
            in[g] = plane(px);
            if (!in[g])
                return CANNY_RUN_NO_SPLIT;
            inp[g] = in[g].get();
        }
    if (!readScopeGuns(s, bd, guns, inp))
        return CANNY_RUN_NO_SCOPE;

    static const char* const computing[3] = {
        "Computing Canny for RED...", "Computing Canny for GRN...", "Computing Canny for BLU..."};
    for (int32 g = 0; g < 3; ++g) {
        if (!(guns & (1 << g)))
            continue;
        out[g] = plane(px);
        if (!out[g]) {
            viewUi().clearMessage();
            return CANNY_RUN_NO_OUT;
        }
        outp[g] = out[g].get();
        viewUi().message(computing[g], MSG_STANDING);
        const int32 rc =
            cannyCore(inp[g], outp[g], kind, s.cols, s.rows, f, params.thin, n, &overflowCount);
        if (rc != CANNY_OK) {
            viewUi().clearMessage();
            ack(strPrintf("Canny internal error; code= %d", rc));
            return CANNY_RUN_CORE;
        }
    }
    viewUi().clearMessage();
    if (overflowCount) {
        ack(strPrintf("Warn: canny overflow; count= %d", overflowCount));
        overflowCount = 0;
    }
    if (!writeScopeGuns(s, bd, guns, outp))
        return CANNY_RUN_NO_SCOPE;
    if (!s.global)
        vs->refresh |= RFR_VIEW;
    return 0;
}

} // namespace

const cannyParams& cannyParameters()
{
    return params;
}

void resetCannyOps()
{
    params = cannyParams{};
    overflowCount = 0;
}

int32 cannyMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("RUN|SET|STATUS");
    ids.kinds = defineMenu("EDGE|ORIENT|LAPLAC");
    ids.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    ids.set = defineMenu("DEFAULT|SIG VAL|SIG DIAM|K|THIN|BRIGHT");
    // Menus without a title count their items from 0.
    links.push_back(pupLink{&ids.top, 0, &ids.kinds});
    links.push_back(pupLink{&ids.kinds, -1, &ids.guns});
    links.push_back(pupLink{&ids.top, 1, &ids.set});
    return ids.top;
}

pixelRun cannyRun(viewState* vs, const int32* pupvals, bufdes* bd)
{
    pixelRun r;
    switch (pupvals[2]) {
    case C_RUN:
        if (pupvals[3] < 1 || pupvals[3] > 3)
            return r;
        // A failure is reported by PIXEL OPS as "CANNY error: %d".
        r.status = run(vs, bd, pupvals[3] - 1, pupvals[4]);
        r.changed = r.status == 0;
        break;
    case C_SET:
        setItem(pupvals[3]);
        break;
    case C_STATUS:
        showStatus();
        break;
    default:
        break;
    }
    return r;
}
