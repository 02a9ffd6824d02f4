#include "waveletOps.h"

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "aoiBand.h"
#include "diag.h"
#include "folio_utl.h"
#include "hdrScale.h"
#include "opMenu.h"
#include "pixPrompts.h"
#include "pixelScope.h"
#include "sbuffActive.h"
#include "uiPort.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct waveletIds {
    int32 filter = -1, discCont = -1, select = -1, levels = -1, band = -1, gunsLevel = -1,
          gunsPath = -1;
};
waveletIds ids;

enum : int32 { W_DISC = 1, W_CONT = 2 };
enum : int32 { W_LEVEL = 1, W_PATH = 2 };

// Statuses of the driver's own steps (the transform's are WAV_*).
enum : int32 {
    WVD_NO_AREA = -20,  ///< the scope has no area or could not be read
    WVD_NO_MEMORY = -21 ///< the float bands were refused or not allocated
};

// Float bands of one run, cols x rows each: made here from the scope's guns, or as the sBUFF
// handed them out (each released the way it was allocated).
struct floatBands {
    std::unique_ptr<float[]> own[SBUFF_MAX_BANDS];
    floatBlock held[SBUFF_MAX_BANDS];
    float* band[SBUFF_MAX_BANDS] = {};
    int n = 0;
};

// The guns of the scope as float bands, in gun order.
int32 bandsFromScope(const pixelScope& s, bufdes* bd, int32 guns, floatBands& fb, int gunOf[])
{
    const std::size_t n = std::size_t(s.cols) * std::size_t(s.rows);
    int count = 0;
    for (int g = 0; g < 3; ++g)
        if (guns & (1 << g))
            gunOf[count++] = g;
    // A float band and a byte plane per gun.
    std::string refusal;
    if (!SAFE_MEM_REQ(std::uint64_t(n) * std::uint64_t(count) * 5, &refusal)) {
        viewUi().message(refusal, MSG_ACK);
        return WVD_NO_MEMORY;
    }
    std::unique_ptr<charu[]> planes[3];
    charu* p[3] = {};
    for (int k = 0; k < count; ++k) {
        planes[k].reset(new (std::nothrow) charu[n]);
        fb.own[k].reset(new (std::nothrow) float[n]);
        fb.band[k] = fb.own[k].get();
        if (!planes[k] || !fb.band[k])
            return WVD_NO_MEMORY;
        p[gunOf[k]] = planes[k].get();
    }
    if (!readScopeGuns(s, bd, guns, p)) {
        viewUi().message("Error reading area from display.", MSG_ACK);
        return WVD_NO_AREA;
    }
    for (int k = 0; k < count; ++k)
        for (std::size_t i = 0; i < n; ++i)
            fb.band[k][i] = float(planes[k][i]);
    fb.n = count;
    return 0;
}

// The Exploit sBUFF's bands; complex ones reduced to their real parts (each complex band is a
// real and an imaginary band in turn): filtering the pairs as one band would mix the two.
int32 bandsFromSbuff(floatBands& fb, aoiRec* aoi, int32* cols, int32* rows, bool* complex)
{
    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    const folioDesc& d = activeSbuff().desc;
    sbuffBands in;
    int rc = d.defined == 1 ? 0 : -1;
    if (rc == 0 && d.dType != DTYPE_FLOAT32 && d.dType != DTYPE_COMPLEX32)
        rc = -7;
    if (rc == 0)
        rc = READ_sBUFF_BANDS(d.nBands == 1 ? 1 : 2, in);
    if (rc != 0) {
        viewUi().message(strPrintf("Error reading wavelet input from sBUFFER; code= %d", rc),
                         MSG_ACK);
        return rc;
    }
    *complex = d.dType == DTYPE_COMPLEX32;
    const int step = *complex ? 2 : 1;
    for (int b = 0; b < in.nBands; b += step) {
        fb.held[fb.n] = std::move(in.block[b]);
        fb.band[fb.n] = fb.held[fb.n].get();
        ++fb.n;
    }
    *aoi = aoiRec{int32(d.aoi[0]), int32(d.aoi[1]), int32(d.aoi[2]), int32(d.aoi[3])};
    *cols = int32(in.cols);
    *rows = int32(in.rows);
    return 0;
}

const char* processTag(const waveletRequest& rq)
{
    if (rq.continuous)
        return rq.inverse ? "CONT_WAVELET_INV " : "CONT_WAVELET_FWD ";
    return rq.inverse ? "DISC_WAVELET_INV " : "DISC_WAVELET_FWD ";
}

// Shows the bands on the target area through the Exploit sBUFF's LINEAR full-range scaling of
// the guns they go to: one band grey on R, G and B, else the first three on R, G, B (or the
// guns they came from).
int32 showBands(const pixelScope& target, bufdes* bd, const floatBands& fb, const bandStats* st,
                const int gunOf[], bool fromSbuff)
{
    const float* byGun[4] = {};
    bandStats statsByGun[4] = {};
    int32u mask = 0;
    const int shown = std::min(fb.n, 3);
    for (int k = 0; k < shown; ++k) {
        const int g = fromSbuff ? k : gunOf[k];
        byGun[g] = fb.band[k];
        statsByGun[g] = st[k];
        mask |= 1u << g;
    }
    const bool grey = fromSbuff && fb.n == 1;
    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    SET_SCALE_CURVE(HDR_LIN, grey ? 7 : mask);
    SET_FULL_RANGE(grey ? 7 : mask);
    int status = 0;
    const rgbaRaster raster =
        SCALE_TO_RGBA(byGun, target.cols, target.rows, fb.n == 1 ? 1 : shown,
                      mask | (grey ? int32u(S2R_GREY) : 0u), statsByGun, &status);
    const int32u writeMask = grey ? 7 : mask;
    const std::size_t n = std::size_t(target.cols) * std::size_t(target.rows);
    std::unique_ptr<charu[]> planes[3];
    charu* p[3] = {};
    bool ok = raster != nullptr;
    for (int g = 0; g < 3 && ok; ++g) {
        if (!(writeMask & (1u << g)))
            continue;
        planes[g].reset(new (std::nothrow) charu[n]);
        ok = planes[g] != nullptr;
        if (ok)
            for (std::size_t i = 0; i < n; ++i)
                planes[g][i] = charu(raster[i] >> (16 - 8 * g));
        p[g] = planes[g].get();
    }
    if (ok && writeScopeGuns(target, bd, int32(writeMask), p))
        return 0;
    const int32 code = status < 0 ? status : -1;
    DIAG("\nwvlt_dvr: FPUT_AREA error; code= %d", code);
    viewUi().message(strPrintf("\nwvlt_dvr: FPUT_AREA error; code= %d", code), MSG_ACK);
    return code;
}

} // namespace

int32 waveletMenu(std::vector<pupLink>& links)
{
    ids.filter = defineMenu("DAUB|HAAR|BATH|FBI|ENTROPY|USER");
    ids.discCont = defineMenu("--------DISC|CONT");
    ids.select = defineMenu("LEVEL|PATH");
    ids.levels = defineMenu("\\ 1 |\\ 2 |\\ 3 |\\ 4 |\\ 5");
    ids.band = defineMenu("HH|HL|LH|LL");
    ids.gunsLevel = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4|sBUFF%x0");
    ids.gunsPath = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4|sBUFF%x0");
    links.push_back(pupLink{&ids.filter, -1, &ids.discCont});
    links.push_back(pupLink{&ids.discCont, -1, &ids.select});
    links.push_back(pupLink{&ids.select, 0, &ids.levels});
    links.push_back(pupLink{&ids.select, 1, &ids.gunsPath});
    links.push_back(pupLink{&ids.levels, -1, &ids.band});
    links.push_back(pupLink{&ids.band, -1, &ids.gunsLevel});
    return ids.filter;
}

pixelRun waveletRun(viewState* vs, const int32* pupvals, bufdes* bd)
{
    pixelRun run;
    waveletRequest rq;
    rq.family = pupvals[2];
    rq.continuous = pupvals[3] == W_CONT;
    int32 guns = 0;
    if (pupvals[4] == W_LEVEL) {
        rq.path = waveletLevelPath(pupvals[5], pupvals[6]);
        guns = pupvals[7];
    } else if (pupvals[4] == W_PATH) {
        guns = pupvals[5];
    } else {
        return run;
    }
    uiPort& ui = viewUi();
    if (rq.family == WVF_DAUB) {
        const std::string answer =
            ui.ask("Enter number of filter coefficients for DAUBECHIES\nSYMMETRIC wavelet. "
                   "Select: 4,6,8,10,12,14 or 16\n> ");
        const std::string refused = parseDaubechiesLength(answer, &rq.daubLength);
        if (!refused.empty()) {
            ui.message(refused, MSG_ACK);
            return run;
        }
    }
    if (pupvals[4] == W_PATH) {
        const std::string answer =
            ui.ask("     Specify path through Wavelet Packet...\nEnter X,Y filter types "
                   "(L=lowpass, H=highpass).\nTwo filters per scale level. Example: LL HH LH "
                   "HL\n> ");
        const std::string refused = parsePacketPath(answer, &rq.path);
        if (!refused.empty()) {
            ui.message(refused, MSG_ACK);
            return run;
        }
    }
    run.status = WAVELET_DVR(vs, bd, rq, guns & 7, &run);
    return run;
}

int32 WAVELET_DVR(viewState* vs, bufdes* bd, const waveletRequest& rq, int32 guns, pixelRun* run)
{
    uiPort& ui = viewUi();
    pixelScope scope;
    if (!pixelScopeOf(vs, bd, &scope)) {
        ui.message("Error reading area from display.", MSG_ACK);
        return WVD_NO_AREA;
    }
    floatBands fb;
    int gunOf[3] = {0, 1, 2};
    bool complex = false;
    const bool fromSbuff = guns == 0;
    int32 cols = scope.cols, rows = scope.rows;
    aoiRec sbuffAoi{};
    int32 rc = fromSbuff ? bandsFromSbuff(fb, &sbuffAoi, &cols, &rows, &complex)
                         : bandsFromScope(scope, bd, guns, fb, gunOf);
    if (rc != 0)
        return rc;

    static const char* const gunWords[4] = {"RED", "GREEN", "BLUE", "ALPHA"};
    bandStats st[SBUFF_MAX_BANDS] = {};
    const std::size_t n = std::size_t(cols) * std::size_t(rows);
    for (int b = 0; b < fb.n; ++b) {
        if (complex || fb.n > 4)
            ui.message(strPrintf("Computing Wavelet: Complex Band= %d", b + 1), MSG_STANDING);
        else
            ui.message(strPrintf("Computing Wavelet %s", gunWords[fromSbuff ? b : gunOf[b]]),
                       MSG_STANDING);
        const std::span<float> band(fb.band[b], n);
        rc = WAVTRAN(band, cols, rows, rq);
        if (rc != WAV_OK) {
            ui.message(strPrintf("WAVTRAN() fail; error= %d", rc), MSG_ACK);
            return rc;
        }
        hdrBandStats(band, st[b]);
        st[b].band = std::int16_t(b);
    }
    ui.clearMessage();

    // The results go where their input came from: the scope, or for sBUFF input of another
    // size the area the sBUFF was taken from.
    pixelScope target = scope;
    if (fromSbuff && (cols != scope.cols || rows != scope.rows)) {
        target.global = false;
        target.area = sbuffAoi;
        target.cols = cols;
        target.rows = rows;
    }
    rc = showBands(target, bd, fb, st, gunOf, fromSbuff);
    if (rc != 0)
        return rc;
    run->changed = true;

    if (!(vs->dmode & modeSBUFF_WRITE)) {
        ui.message("Scaling Accumulator is write protected", MSG_BRIEF);
    } else {
        const float* bands[SBUFF_MAX_BANDS] = {};
        for (int b = 0; b < fb.n; ++b)
            bands[b] = fb.band[b];
        const aoiRec box = aoiDisplayBox();
        SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
        rc = WRITE_sBUFF_BANDS(bands, st, target.area, fb.n, DTYPE_FLOAT32, processTag(rq), 2,
                               bd->bufNum, box.x1 - box.x0 + 1, box.y1 - box.y0 + 1);
        if (rc != 0) {
            ui.message(strPrintf("Error writing WAVELETS to sBUFFER; code= %d", rc), MSG_ACK);
            return rc;
        }
        run->sbuffWritten = true;
        ui.message(strPrintf("Wrote %d Wavelet Bands to sBUFFER", fb.n), MSG_BRIEF);
    }

    std::string text = "    Wavelet Transform Statistics\n";
    for (int b = 0; b < fb.n; ++b)
        text += strPrintf("Low    %8.3f    Mean     %8.3f\nHigh   %8.3f    StdDev   %8.3f\n\n",
                          st[b].low, st[b].mean, st[b].high, st[b].stdDev);
    text.resize(text.size() - 2);
    ui.message(text, MSG_ACK);
    return 0;
}
