// Render throughput (megapixels per second) of HDR scaling: the seeded 4096 x 4096 plasma band
// of five decades (benchHdr.h) rendered into an RGBA raster through the linear full range, the
// log curve over the full range and the default med3sd range, output histogram included. In
// the same run and on the same data, timed the same way (wall time):
//  - in one process, statistics known beforehand as after a load: our line scaler over every
//    row, beside OpenCV in its own Python timing each render there (cv2.normalize and
//    cv2.convertScaleAbs on one thread; the normalisation finds its own extremes, so a second
//    OpenCV row takes them as known too);
//  - as whole processes, from start to exit: this program reading the band's .npy, taking both
//    statistics passes and rendering (`--render-once FILE MODE`), beside libvips (`vips scale`,
//    `vips linear` for med3sd, reading its .v), ImageMagick (-auto-level, -evaluate Log, -level,
//    reading the float TIFF) and OpenCV (reading the .npy), each on one thread.
// The floor beside them is a plain loop storing each sample's truncated value in its byte.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchHdr.h"
#include "hdrScale.h"
#include "sbuffActive.h"

namespace {

using benchload::kPixels;
using benchload::kSide;

struct renderMode {
    const char* name;
    int32u ctl;
    double width;
};
constexpr renderMode kLinear{"lin", HDR_LIN | HDR_RANGE_FULL | HDR_UNITS, 0};
constexpr renderMode kLog{"log", HDR_LOG | HDR_RANGE_FULL | HDR_UNITS, 0};
constexpr renderMode kMed3sd{"med3sd", HDR_LIN | HDR_STDV | HDR_ON_MEDIAN, 3.0};

const renderMode* modeNamed(const char* name)
{
    for (const renderMode* m : {&kLinear, &kLog, &kMed3sd})
        if (std::strcmp(m->name, name) == 0)
            return m;
    return nullptr;
}

// The band's statistics and gun 0's scaling for a mode, as a load and the scaling menu leave
// them.
void prepare(const std::vector<float>& x, const renderMode& m)
{
    resetSbuffs();
    bandStats s{};
    hdrBandStats(x, s);
    activeSbuff().stats[0] = s;
    activeSbuff().scal[0].p.opScalCtl = m.ctl;
    activeSbuff().scal[0].p.width = m.width;
    S_FACTORS(0);
}

void renderInto(const std::vector<float>& x, int32u* raster)
{
    RESET_SCALE_HIST(activeSbuff().scal[0]);
    for (int r = 0; r < kSide; ++r)
        SCALE_sBUFF_LINE(std::span<const float>(x.data() + std::size_t(r) * kSide, kSide),
                         std::span<int32u>(raster + std::size_t(r) * kSide, kSide), HDR_GREY_GUN, 1,
                         0, kSide);
}

// Working range of a mode on the band (for the peers that are given a range).
void rangeOf(const renderMode& m, double& lo, double& hi)
{
    static double cache[3][2];
    static bool known[3];
    const int i = &m == &kLinear ? 0 : &m == &kLog ? 1 : 2;
    if (!known[i]) {
        prepare(benchhdr::band(), m);
        cache[i][0] = activeSbuff().scal[0].p.low;
        cache[i][1] = activeSbuff().scal[0].p.high;
        known[i] = true;
    }
    lo = cache[i][0];
    hi = cache[i][1];
}

std::string num(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%.9g", v);
    return b;
}

void ourRender(benchmark::State& state, const renderMode* m)
{
    const auto& x = benchhdr::band();
    prepare(x, *m);
    std::vector<int32u> raster(std::size_t(kSide) * kSide, 0xff000000u);
    for (auto _ : state) {
        renderInto(x, raster.data());
        benchmark::DoNotOptimize(raster.data());
    }
    benchload::rate(state);
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
a = np.load(sys.argv[1])
mode, n, known = sys.argv[2], int(sys.argv[3]), sys.argv[4] == "known"
lo, hi = float(sys.argv[5]), float(sys.argv[6])
la = cv2.log(a)
llo, lhi = np.log(lo), np.log(hi)
def lin():
    return cv2.convertScaleAbs(cv2.normalize(a, None, 0, 255, cv2.NORM_MINMAX))
def lin_known():
    return cv2.convertScaleAbs(a, alpha=255.0 / (hi - lo), beta=-255.0 * lo / (hi - lo))
def log():
    return cv2.convertScaleAbs(cv2.normalize(cv2.log(a), None, 0, 255, cv2.NORM_MINMAX))
def log_known():
    l = cv2.log(a)
    return cv2.convertScaleAbs(l, alpha=255.0 / (lhi - llo), beta=-255.0 * llo / (lhi - llo))
def rng():
    return cv2.convertScaleAbs(cv2.max(cv2.subtract(a, lo), 0.0), alpha=255.0 / (hi - lo))
f = {"lin": lin, "log": log, "med3sd": rng}[mode]
if known:
    f = {"lin": lin_known, "log": log_known, "med3sd": rng}[mode]
f()
for i in range(n):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)
)";

const std::string& openCvScript()
{
    static const std::string p = benchhdr::pythonScript("render_opencv.py", kOpenCvScript);
    return p;
}

std::string openCvCommand(const renderMode& m, int reads, bool known)
{
    double lo, hi;
    rangeOf(m, lo, hi);
    return "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + openCvScript() + "' '" +
           benchhdr::npyPath() + "' " + m.name + " " + std::to_string(reads) +
           (known ? " known " : " find ") + num(lo) + " " + num(hi);
}

void openCvInProcess(benchmark::State& state, const renderMode* m, bool known)
{
    benchload::replayTimes(
        state, benchload::peerTimes(openCvCommand(*m, int(state.max_iterations), known)));
}

void ourProcess(benchmark::State& state, const renderMode* m)
{
    benchload::timeProcess(state, "/proc/" + std::to_string(getpid()) + "/exe --render-once '" +
                                      benchhdr::npyPath() + "' " + m->name);
}

void vipsProcess(benchmark::State& state, const renderMode* m)
{
    const std::string in = benchhdr::vipsPath(), out = benchhdr::dir() + "/render-out.v";
    std::string cmd;
    if (!in.empty()) {
        cmd = "VIPS_CONCURRENCY=1 vips ";
        if (m == &kMed3sd) {
            double lo, hi;
            rangeOf(*m, lo, hi);
            const double a = 255.0 / (hi - lo);
            // "--" ends the options: the offset is negative.
            cmd += "linear --uchar -- '" + in + "' '" + out + "' " + num(a) + " " + num(-lo * a);
        } else {
            cmd += "scale '" + in + "' '" + out + "'" + (m == &kLog ? " --log" : "");
        }
    }
    benchload::timeProcess(state, cmd);
}

void imageMagickProcess(benchmark::State& state, const renderMode* m)
{
    // ImageMagick's 16-bit build reads float samples as fractions of its quantum range: the
    // band's extremes are given as that range so that nothing is clipped on reading.
    double lo, hi, flo, fhi;
    rangeOf(kLinear, flo, fhi);
    std::string op = "-auto-level";
    if (m == &kLog) {
        op = "-evaluate Log " + num(fhi / flo) + " -auto-level";
    } else if (m == &kMed3sd) {
        rangeOf(*m, lo, hi);
        op = "-level " + num(100 * (lo - flo) / (fhi - flo)) + "%," +
             num(100 * (hi - flo) / (fhi - flo)) + "%";
    }
    benchload::timeProcess(state,
                           "MAGICK_THREAD_LIMIT=1 convert -define quantum:minimum=" + num(flo) +
                               " -define quantum:maximum=" + num(fhi) + " '" +
                               benchhdr::tiffPath() + "' " + op + " -depth 8 gray:/dev/null");
}

void openCvProcess(benchmark::State& state, const renderMode* m)
{
    benchload::timeProcess(state, openCvCommand(*m, 0, false));
}

void BM_FloorTruncateStore(benchmark::State& st)
{
    std::vector<int32u> raster(std::size_t(kSide) * kSide);
    const auto& x = benchhdr::band();
    for (auto _ : st) {
        for (std::size_t i = 0; i < x.size(); ++i)
            raster[i] = int32u(int(x[i] * (255.0f / 100000.0f))) * 0x010101u;
        benchmark::DoNotOptimize(raster.data());
    }
    benchload::rate(st);
}

// The `--render-once FILE MODE` mode: the band read, both statistics passes, one render into a
// fresh raster. Exit status 0 when it rendered; -1 for any other command line.
int renderOnceMain(int argc, char** argv)
{
    if (argc != 4 || std::strcmp(argv[1], "--render-once") != 0)
        return -1;
    const renderMode* m = modeNamed(argv[3]);
    std::vector<float> x;
    if (!m || !benchhdr::readNpy(argv[2], x))
        return 1;
    prepare(x, *m);
    auto* raster = static_cast<int32u*>(bigAlloc(std::size_t(kSide) * kSide * 4));
    if (!raster)
        return 1;
    renderInto(x, raster);
    bigFree(raster);
    return 0;
}

#define TAV_RENDER_ROWS(M, MODE)                                                                   \
    TAV_BENCH_WALL(ourRender, M##_Ours_InProcess, &MODE);                                          \
    TAV_BENCH_MANUAL(openCvInProcess, M##_OpenCV_InProcess, 10, &MODE, false);                     \
    TAV_BENCH_MANUAL(openCvInProcess, M##_OpenCV_KnownRange_InProcess, 10, &MODE, true);           \
    TAV_BENCH_MANUAL(ourProcess, M##_Ours_Process, 5, &MODE);                                      \
    TAV_BENCH_MANUAL(vipsProcess, M##_Vips_Process, 5, &MODE);                                     \
    TAV_BENCH_MANUAL(imageMagickProcess, M##_ImageMagick_Process, 5, &MODE);                       \
    TAV_BENCH_MANUAL(openCvProcess, M##_OpenCV_Process, 5, &MODE)

TAV_RENDER_ROWS(RenderLinearFull, kLinear);
TAV_RENDER_ROWS(RenderLogFull, kLog);
TAV_RENDER_ROWS(RenderLinearMed3sd, kMed3sd);
BENCHMARK(BM_FloorTruncateStore)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, renderOnceMain);
}
