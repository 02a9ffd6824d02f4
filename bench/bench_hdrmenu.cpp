// A scaling change made in the HDR scaling menu, to the re-rendered iBUFF (megapixels per
// second): a seeded 4096 x 4096 three-band float Loader sBUFF (the plasma band of benchHdr.h,
// upside down and mirrored for the second and third bands) stored as a load stores it, then
// per iteration the SCALING item with MODE LOG, RANGE FULL or RESET (FULL RNG) run through
// the menu front end, which renders the accumulator into its buffer and repaints a 1024 x 768
// memory view. Beside it, timed the same way (wall time), in the same run:
//  - the render alone (RENDER_sBUFF, linear and log, full range): the menu's own share is the
//    difference, and the menu work alone (no render) is a row of its own;
//  - numpy clipping and scaling the same three bands to 8 bits (linear and log, the same
//    ranges), in its own process timing each pass after the data are loaded, as ours are;
//  - libvips `vips scale` and `vips scale --log` on the same bands (VIPS_CONCURRENCY=1) as
//    whole processes reading its own .v file (it has no in-process mode from the shell).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bTransl.h"
#include "benchHdr.h"
#include "benchView.h"
#include "folio_utl.h"
#include "hdrMenu.h"
#include "hdrScale.h"
#include "sbuffActive.h"
#include "uiPort.h"
#include "viewSurface.h"

namespace {

using benchload::kSide;
constexpr int kBands = 3;

// Sample (x, y) of band b: the plasma, upside down for band 1, mirrored for band 2.
float sampleOf(const std::vector<float>& p, int b, int x, int y)
{
    const int sy = b == 1 ? kSide - 1 - y : y, sx = b == 2 ? kSide - 1 - x : x;
    return p[std::size_t(sy) * kSide + std::size_t(sx)];
}

// The accumulator loaded, the buffer it renders into made current with one render behind it,
// and the view it is shown in; false when any of it failed.
bool scene()
{
    static const bool ok = [] {
        static benchload::silentUi ui{MOUSE_RIGHT};
        setViewUi(&ui);
        static benchload::memView view(1024, 768);
        setViewSurface(&view);
        const auto& p = benchhdr::band();
        SET_ACTIVE_sBUFF(SBUFF_LOADER);
        CLAIM_FOLIOS(activeSbuffMask());
        folioDesc d{};
        d.cols = d.rows = int32u(kSide);
        d.aoi[2] = d.aoi[3] = int32u(kSide - 1);
        d.nBands = d.nScaleBands = kBands;
        d.inLayout = 1;
        d.dType = DTYPE_FLOAT32;
        d.srcBuf = 1;
        d.gunBand[0] = 1;
        d.gunBand[1] = 2;
        d.gunBand[2] = 3;
        d.defined = 1;
        if (PUT_sBUFF_HEADER(&d) != 0)
            return false;
        std::vector<float> line(std::size_t(kSide) * kBands);
        for (int y = 0; y < kSide; ++y) {
            for (int b = 0; b < kBands; ++b)
                for (int x = 0; x < kSide; ++x)
                    line[std::size_t(b) * kSide + std::size_t(x)] = sampleOf(p, b, x, y);
            if (PUT_sBUFF_SCANLINE(line.data(), line.size()) != 0)
                return false;
        }
        if (END_sBUFF_LOAD() != 0)
            return false;
        bufdes* table = INIT_BUFMGT();
        int st = 0;
        if (!table || !CREATE_iBUFF(&table[0], kSide, kSide, &st))
            return false;
        bufdes* bd = &table[0];
        bd->bufCtlm |= bufIS_HDR;
        HDR_DEFAULTS(HDR_FULL);
        if (RENDER_sBUFF(nullptr, bd, RSB_TO_iBUFF) != 0)
            return false;
        vState.bufObjs = table;
        vState.bd = bd;
        vState.dmode = ZOOM_REPLICATE | modeDFLT_LUTS | 0x2000; // automatic rendering on
        SET_TRANSL_VIEW(1024, 768);
        return INIT_I_TRANSL(bd);
    }();
    return ok;
}

std::vector<int32> menuValues(std::initializer_list<int32> v)
{
    std::vector<int32> out(v);
    out.resize(MAX_PUP_LEVEL, 0);
    return out;
}

void renderAlone(benchmark::State& state, int32u curve)
{
    if (!scene()) {
        state.SkipWithError("the accumulator could not be set up");
        return;
    }
    HDR_DEFAULTS(HDR_FULL);
    SET_SCALE_CURVE(curve, 7);
    for (auto _ : state)
        if (RENDER_sBUFF(nullptr, vState.bd, RSB_TO_iBUFF) != 0) {
            state.SkipWithError("render failed");
            break;
        }
    benchload::rate(state);
}

// One menu change per iteration, from the state `before` leaves (set untimed).
void menuChange(benchmark::State& state, void (*before)(), std::vector<int32> vals)
{
    if (!scene()) {
        state.SkipWithError("the accumulator could not be set up");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        before();
        state.ResumeTiming();
        SBUFF_SCALING(&vState, SBUFF_LOADER, vals.data());
    }
    benchload::rate(state);
}

void linearFull()
{
    HDR_DEFAULTS(HDR_FULL);
}
void med3sd()
{
    HDR_DEFAULTS(HDR_MED3SD);
}
void logFull()
{
    HDR_DEFAULTS(HDR_FULL);
    SET_SCALE_CURVE(HDR_LOG, 7);
}

// The menu's own work, nothing rendered: LOG and LINEAR in turn, automatic rendering off.
void menuAlone(benchmark::State& state)
{
    if (!scene()) {
        state.SkipWithError("the accumulator could not be set up");
        return;
    }
    const int32u dmode = vState.dmode;
    vState.dmode &= ~0x2000u;
    std::vector<int32> vals = menuValues({3, 2, 7});
    for (auto _ : state) {
        vals[1] = vals[1] == 2 ? 1 : 2;
        benchmark::DoNotOptimize(HDR_SCALING_MENU(&vState, vals.data()));
    }
    vState.dmode = dmode;
}

// The bands as numpy's (3, 4096, 4096) float32 array and as a three-band float image for vips.
std::string npyHeader3()
{
    std::string h = "{'descr': '<f4', 'fortran_order': False, 'shape': (3, " +
                    std::to_string(kSide) + ", " + std::to_string(kSide) + "), }";
    h.append(128 - 10 - 1 - h.size(), ' ');
    h += '\n';
    std::string out("\x93NUMPY\x01\x00", 8);
    out += char(h.size() & 0xff);
    out += char(h.size() >> 8);
    return out + h;
}

const std::string& bandsNpy()
{
    static const std::string path = [] {
        const std::string p = benchhdr::dir() + "/plasma-hdr3.npy";
        if (benchload::fileExists(p))
            return p;
        const auto& band = benchhdr::band();
        std::FILE* f = std::fopen(p.c_str(), "wb");
        const std::string h = npyHeader3();
        bool ok = f && std::fwrite(h.data(), 1, h.size(), f) == h.size();
        std::vector<float> row(kSide);
        for (int b = 0; b < kBands && ok; ++b)
            for (int y = 0; y < kSide && ok; ++y) {
                for (int x = 0; x < kSide; ++x)
                    row[std::size_t(x)] = sampleOf(band, b, x, y);
                ok = std::fwrite(row.data(), 4, row.size(), f) == row.size();
            }
        if (!f || std::fclose(f) != 0 || !ok)
            std::abort();
        return p;
    }();
    return path;
}

// vips makes its own .v from a three-band float TIFF of the same samples.
const std::string& bandsVips()
{
    static const std::string path = [] {
        const std::string p = benchhdr::dir() + "/plasma-hdr3.v",
                          tif = benchhdr::dir() + "/plasma-hdr3.tif";
        if (benchload::fileExists(p))
            return p;
        const auto& band = benchhdr::band();
        TIFF* t = TIFFOpen(tif.c_str(), "w");
        if (!t)
            return std::string();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(kSide));
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(kSide));
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, kBands);
        TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
        std::vector<float> row(std::size_t(kSide) * kBands);
        bool ok = true;
        for (int y = 0; y < kSide && ok; ++y) {
            for (int x = 0; x < kSide; ++x)
                for (int b = 0; b < kBands; ++b)
                    row[std::size_t(x) * kBands + std::size_t(b)] = sampleOf(band, b, x, y);
            ok = TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) >= 0;
        }
        TIFFClose(t);
        if (!ok || !benchload::sh("vips copy '" + tif + "' '" + p + "' 2>/dev/null"))
            return std::string();
        std::remove(tif.c_str());
        return p;
    }();
    return path;
}

constexpr const char* kNumpyScript = R"(import sys, time
import numpy as np
a = np.load(sys.argv[1])
log, n = sys.argv[2] == "log", int(sys.argv[3])
lo = [float(a[b].min()) for b in range(3)]
hi = [float(a[b].max()) for b in range(3)]
out = np.empty(a.shape, np.uint8)
def run():
    for b in range(3):
        if log:
            l = max(lo[b], hi[b] * 1e-5)
            v = np.log(a[b] / l) * (255.0 / np.log(hi[b] / l))
        else:
            v = (a[b] - lo[b]) * (255.0 / (hi[b] - lo[b]))
        np.clip(v, 0, 255, out=v)
        out[b] = v
run()
for i in range(n):
    t = time.perf_counter()
    run()
    print(time.perf_counter() - t, flush=True)
)";

void numpyInProcess(benchmark::State& state, bool log)
{
    const std::string script = benchhdr::pythonScript("hdrmenu_numpy.py", kNumpyScript);
    benchload::replayTimes(state,
                           benchload::peerTimes(benchload::peerPython() + " '" + script + "' '" +
                                                bandsNpy() + "' " + (log ? "log " : "lin ") +
                                                std::to_string(state.max_iterations)),
                           "numpy not available");
}

void vipsProcess(benchmark::State& state, bool log)
{
    const std::string in = bandsVips();
    benchload::timeProcess(state, in.empty() ? std::string()
                                             : "VIPS_CONCURRENCY=1 vips scale '" + in + "' '" +
                                                   benchhdr::dir() + "/hdrmenu-out.v'" +
                                                   (log ? " --log" : ""));
}

TAV_BENCH_WALL(renderAlone, RenderLinearFull_Ours, HDR_LIN);
TAV_BENCH_WALL(renderAlone, RenderLogFull_Ours, HDR_LOG);
TAV_BENCH_WALL(menuChange, MenuModeLog_Ours, linearFull, menuValues({3, 2, 7}));
TAV_BENCH_WALL(menuChange, MenuRangeFull_Ours, med3sd, menuValues({4, 1, 7}));
TAV_BENCH_WALL(menuChange, MenuResetFullRng_Ours, logFull, menuValues({2, 3}));
BENCHMARK(menuAlone)->Unit(benchmark::kMicrosecond)->UseRealTime();
TAV_BENCH_MANUAL(numpyInProcess, ScaleLinear_Numpy_InProcess, 5, false);
TAV_BENCH_MANUAL(numpyInProcess, ScaleLog_Numpy_InProcess, 5, true);
TAV_BENCH_MANUAL(vipsProcess, ScaleLinear_Vips_Process, 5, false);
TAV_BENCH_MANUAL(vipsProcess, ScaleLog_Vips_Process, 5, true);

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, nullptr);
}
