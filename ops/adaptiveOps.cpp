#include "adaptiveOps.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "bufRecMgt.h"
#include "diag.h"
#include "lexical.h"
#include "opMenu.h"
#include "pixelScope.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct adaptiveIds {
    int32 top = -1, set = -1;
};
adaptiveIds ids;

adaptivParams params;

enum : int32 { A_RUN = 1, A_SET, A_STATUS };
enum : int32 { S_SCALE = 1, S_ITERATIONS, S_MODE, S_VARIANCE, S_DEFAULT };

const char* const modeNames[3] = {"UNIFORM", "LOW", "HIGH"};

void outOfRange()
{
    ack("Entered value is out of range\nInput ignored");
}

void setInt(const std::string& prompt, int32 lo, int32 hi, int32* value)
{
    const std::string a = trimBlanks(viewUi().ask(prompt));
    int32 v = 0;
    if (!toInt32(a.c_str(), v)) {
        ack("Invalid input...");
        return;
    }
    if (v < lo || v > hi) {
        outOfRange();
        return;
    }
    *value = v;
}

void setMode()
{
    const std::string a = trimBlanks(viewUi().ask(
        strPrintf("Enter value for Adaptiv MODE\nType: UNIFORM, LOW or HIGH\nCurrent= %s  > ",
                  modeNames[params.mode])));
    for (int32 m = 0; m < 3; ++m)
        if (WORDEQ(a, modeNames[m])) {
            params.mode = m;
            return;
        }
    ack("Invalid input...");
}

void setVariance()
{
    const std::string a = trimBlanks(viewUi().ask(
        strPrintf("Enter value for VARIANCE\nMinimum=0.0, Maximum=4.0\nCurrent= %4.2f  > ",
                  params.variance)));
    double v = 0;
    if (!toDouble(a.c_str(), v)) {
        ack("Invalid input...");
        return;
    }
    if (!(v >= ADAPTIV_VAR_MIN && v <= ADAPTIV_VAR_MAX)) {
        outOfRange();
        return;
    }
    params.variance = v;
}

void setItem(int32 item)
{
    switch (item) {
    case S_SCALE:
        setInt(strPrintf("Enter Gaussian KERNEL SIZE\nMinimum=16, Maximum=250\nCurrent= %d  > ",
                         params.scale),
               ADAPTIV_SCALE_MIN, ADAPTIV_SCALE_MAX, &params.scale);
        break;
    case S_ITERATIONS:
        setInt(strPrintf("Enter value for ITERATIONS\nMinimum=1, Maximum=8\nCurrent= %d  > ",
                         params.iterations),
               ADAPTIV_ITER_MIN, ADAPTIV_ITER_MAX, &params.iterations);
        break;
    case S_MODE:
        setMode();
        break;
    case S_VARIANCE:
        setVariance();
        break;
    case S_DEFAULT:
        params = adaptivParams{};
        ack("Adaptiv parameters reset\nto original defaults");
        break;
    default:
        break;
    }
}

void showStatus()
{
    ack(strPrintf("  ADAPTIVE PARAMETERS\n\nGAUSS SCALE FACT= %d\nITERATIONS=       %d\nMODE=      "
                  "       %s\nVARIANCE=         %4.2f",
                  params.scale, params.iterations, modeNames[params.mode], params.variance));
}

void standing(const char* text)
{
    viewUi().message(text, MSG_STANDING);
}

template <class T> std::unique_ptr<T[]> alloc(std::size_t n)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}

// Failures leave the scope as it was; the result is written only after a whole run.
bool run(viewState* vs, bufdes* bd)
{
    pixelScope s;
    std::unique_ptr<charu[]> bytes;
    const std::size_t px = pixelScopeOf(vs, bd, &s) ? std::size_t(s.cols) * std::size_t(s.rows) : 0;
    if (px)
        bytes = alloc<charu>(3 * px);
    charu* planes[3] = {};
    if (bytes)
        for (int32 g = 0; g < 3; ++g)
            planes[g] = bytes.get() + std::size_t(g) * px;
    if (!bytes || !readScopeGuns(s, bd, 7, planes)) {
        ack("DO_ADAPTIVE(): INPUT DATA ERROR...");
        return false;
    }
    // About 32 bytes a pixel of float work arrays: asked for before any is taken.
    std::string msg;
    if (!SAFE_MEM_REQ(msrcrWorkBytes(s.cols, s.rows), &msg)) {
        ack(msrcrMessage(MSRCR_NO_FILTER));
        return false;
    }
    std::unique_ptr<float[]> rgb[3];
    const float* in[3] = {};
    for (int32 g = 0; g < 3; ++g) {
        rgb[g] = alloc<float>(px);
        if (!rgb[g])
            break;
        for (std::size_t i = 0; i < px; ++i)
            rgb[g][i] = planes[g][i];
        in[g] = rgb[g].get();
    }
    viewUi().setCursor(2);
    const int32 rc = MSRCR(in, planes, s.cols, s.rows, params, standing);
    viewUi().clearMessage();
    viewUi().setCursor(0);
    if (rc != MSRCR_OK) {
        ack(msrcrMessage(rc));
        return false;
    }
    if (!writeScopeGuns(s, bd, 7, planes))
        return false;
    if (!s.global)
        vs->refresh |= RFR_VIEW;
    return true;
}

} // namespace

const adaptivParams& adaptiveParameters()
{
    return params;
}

void resetAdaptiveOps()
{
    params = adaptivParams{};
}

int32 adaptiveMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("RUN|SET|STATUS");
    ids.set = defineMenu("SCALE|ITERATIONS|MODE|COEFF.VAR|DEFAULT");
    // Menus without a title count their items from 0.
    links.push_back(pupLink{&ids.top, 1, &ids.set});
    return ids.top;
}

pixelRun adaptiveRun(viewState* vs, const int32* pupvals, bufdes* bd)
{
    pixelRun r;
    switch (pupvals[2]) {
    case A_RUN:
        r.changed = run(vs, bd);
        break;
    case A_SET:
        setItem(pupvals[3]);
        break;
    case A_STATUS:
        showStatus();
        break;
    default:
        break;
    }
    return r;
}
