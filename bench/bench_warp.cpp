// Output throughput (megapixels of output per second) of WARP, the resampler behind every
// zoomed repaint and the global view: magnification of a 1024 x 1024 picture by 2 and 4 and of
// a 256 x 256 one by 16 in each zoom mode, and area reduction of a 4000 x 3000 picture to 0.256
// (the global view of it in a 1024 x 768 view) and to 0.5. All sides take the same seeded
// plasma picture (4 bytes a pixel) in the same run:
//  - in one process, wall time per call: WARP beside OpenCV's cv2.resize timing each call in
//    its own Python (INTER_NEAREST, INTER_LINEAR, INTER_CUBIC, INTER_AREA; one thread);
//  - as whole processes, from start to exit, each reading the raw picture and writing the
//    result: this program (`--warp-once`), libvips (`vips resize`, kernels nearest, linear,
//    cubic, VIPS_CONCURRENCY=1, reading its .v) and ImageMagick (-filter point, triangle,
//    catrom, box for the reductions; MAGICK_THREAD_LIMIT=1).
// Peers that are not installed are reported as skipped. Never a pass/fail test.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "bTransl.h"
#include "benchLoad.h"
#include "bigBlock.h"
#include "renderPix.h"
#include "viewState.h"
#include "benchView.h"
#include "warp.h"

namespace {

struct warpCase {
    const char* name;
    int32 cols, rows;
    double factor;
};
constexpr warpCase kZoom2{"1024_x2", 1024, 1024, 2.0};
constexpr warpCase kZoom4{"1024_x4", 1024, 1024, 4.0};
constexpr warpCase kZoom16{"256_x16", 256, 256, 16.0};
constexpr warpCase kGlobal{"4000x3000_x0.256", 4000, 3000, 0.256};
constexpr warpCase kHalf{"4000x3000_x0.5", 4000, 3000, 0.5};

struct warpMode {
    const char* name;
    int32 bits;
    const char* openCv; ///< cv2 interpolation
    const char* vips;   ///< vips resize kernel
    const char* magick; ///< ImageMagick filter
};
constexpr warpMode kReplicate{"replicate", WARP_REPLICATE, "INTER_NEAREST", "nearest", "point"};
constexpr warpMode kBilinear{"bilinear", WARP_BILINEAR, "INTER_LINEAR", "linear", "triangle"};
constexpr warpMode kBicubic{"bicubic", WARP_BICUBIC, "INTER_CUBIC", "cubic", "catrom"};
constexpr warpMode kCatmull{"catmull-rom", WARP_CATMULL_ROM, "INTER_CUBIC", "cubic", "catrom"};
// Any reduction averages areas, whatever the mode.
constexpr warpMode kArea{"area", WARP_BILINEAR, "INTER_AREA", "linear", "box"};

std::string dir()
{
    static const std::string d = [] {
        const char* env = std::getenv("TAV_BENCH_DIR");
        std::string p = env && *env ? env : "/tmp/tav_bench_warp";
        if (std::system(("mkdir -p '" + p + "'").c_str()) != 0)
            std::abort();
        return p;
    }();
    return d;
}

// Seeded plasma: a few octaves of value noise per channel, smooth swells with grain, so that
// interpolation works on natural content rather than on flat areas or white noise.
float lattice(int32 x, int32 y, std::uint32_t seed)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + seed;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float((h ^ (h >> 16)) & 0xffff) / 65535.0f;
}

float valueNoise(float x, float y, std::uint32_t seed)
{
    const int32 xi = int32(std::floor(x)), yi = int32(std::floor(y));
    const float u = x - float(xi), v = y - float(yi);
    const float a = lattice(xi, yi, seed), b = lattice(xi + 1, yi, seed);
    const float c = lattice(xi, yi + 1, seed), d = lattice(xi + 1, yi + 1, seed);
    return (a + (b - a) * u) * (1 - v) + (c + (d - c) * u) * v;
}

std::vector<int32u> plasma(int32 cols, int32 rows)
{
    std::vector<int32u> px(std::size_t(cols) * std::size_t(rows));
    for (int32 y = 0; y < rows; ++y)
        for (int32 x = 0; x < cols; ++x) {
            int32u p = 0;
            for (int c = 0; c < 3; ++c) {
                float s = 0, amp = 0.5f, scale = 1.0f / 256;
                for (int o = 0; o < 7; ++o, amp *= 0.5f, scale *= 2)
                    s += amp * valueNoise(float(x) * scale, float(y) * scale, 77u * (c + 1) + o);
                p |= int32u(std::min(255.0f, s * 255.0f)) << (8 * c);
            }
            px[std::size_t(y) * std::size_t(cols) + std::size_t(x)] = p | 0xff000000u;
        }
    return px;
}

// A picture block, taken as the buffer table takes pixel blocks (aligned and advised for huge
// pages), so that reads of it cost what reads of a buffer cost.
struct pixelBlock {
    int32u* px = nullptr;
    explicit pixelBlock(std::size_t n) : px(static_cast<int32u*>(bigAlloc(n * 4))) {}
    ~pixelBlock() { bigFree(px); }
    pixelBlock(const pixelBlock&) = delete;
    pixelBlock& operator=(const pixelBlock&) = delete;
};

const int32u* picture(const warpCase& c)
{
    static std::unique_ptr<pixelBlock> small, mid, big;
    std::unique_ptr<pixelBlock>& p = c.cols == 256 ? small : c.cols == 1024 ? mid : big;
    if (!p) {
        const std::vector<int32u> v = plasma(c.cols, c.rows);
        p = std::make_unique<pixelBlock>(v.size());
        if (!p->px)
            std::abort();
        std::memcpy(p->px, v.data(), v.size() * 4);
    }
    return p->px;
}

// The picture as raw BGRA bytes (what every process reads), and as libvips' own format.
std::string rawPath(const warpCase& c)
{
    const std::string p =
        dir() + "/plasma_" + std::to_string(c.cols) + "x" + std::to_string(c.rows) + ".bgra";
    if (std::FILE* f = std::fopen(p.c_str(), "rb")) {
        std::fclose(f);
        return p;
    }
    const int32u* px = picture(c);
    const std::size_t n = std::size_t(c.cols) * std::size_t(c.rows);
    std::FILE* f = std::fopen(p.c_str(), "wb");
    if (!f || std::fwrite(px, 4, n, f) != n || std::fclose(f) != 0)
        std::abort();
    return p;
}

std::string vipsPath(const warpCase& c)
{
    const std::string v = rawPath(c) + ".v";
    if (std::FILE* f = std::fopen(v.c_str(), "rb")) {
        std::fclose(f);
        return v;
    }
    if (!benchload::sh("vips rawload '" + rawPath(c) + "' '" + v + "' " + std::to_string(c.cols) +
                       " " + std::to_string(c.rows) + " 4 >/dev/null 2>&1"))
        return "";
    return v;
}

int32 outCols(const warpCase& c)
{
    return scaledDim(c.cols, c.factor);
}

int32 outRows(const warpCase& c)
{
    return scaledDim(c.rows, c.factor);
}

void rate(benchmark::State& state, const warpCase& c)
{
    state.counters["MP/s"] = benchmark::Counter(double(outCols(c)) * double(outRows(c)),
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void ourWarp(benchmark::State& state, const warpCase* c, const warpMode* m)
{
    const int32u* px = picture(*c);
    const double f[2] = {c->factor, c->factor};
    for (auto _ : state) {
        int32 nc = c->cols, nr = c->rows;
        int32u* out = WARP(px, &nc, &nr, f, m->bits);
        if (!out) {
            state.SkipWithError("WARP failed");
            break;
        }
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
    rate(state, *c);
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
path, w, h, ow, oh, interp, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), \
    int(sys.argv[4]), int(sys.argv[5]), getattr(cv2, sys.argv[6]), int(sys.argv[7])
a = np.fromfile(path, dtype=np.uint8).reshape(h, w, 4)
f = lambda: cv2.resize(a, (ow, oh), interpolation=interp)
f()
for i in range(n):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)
)";

std::string openCvScript()
{
    static const std::string p = [] {
        const std::string path = dir() + "/warp_opencv.py";
        std::FILE* f = std::fopen(path.c_str(), "w");
        if (!f || std::fputs(kOpenCvScript, f) < 0 || std::fclose(f) != 0)
            std::abort();
        return path;
    }();
    return p;
}

std::string openCvCommand(const warpCase& c, const warpMode& m, int n)
{
    return "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + openCvScript() + "' '" +
           rawPath(c) + "' " + std::to_string(c.cols) + " " + std::to_string(c.rows) + " " +
           std::to_string(outCols(c)) + " " + std::to_string(outRows(c)) + " " + m.openCv + " " +
           std::to_string(n);
}

void openCvInProcess(benchmark::State& state, const warpCase* c, const warpMode* m)
{
    std::vector<double> times;
    if (std::FILE* p = popen(
            (openCvCommand(*c, *m, int(state.max_iterations)) + " 2>/dev/null").c_str(), "r")) {
        double t = 0;
        while (std::fscanf(p, "%lf", &t) == 1)
            times.push_back(t);
        pclose(p);
    }
    std::size_t i = 0;
    for (auto _ : state) {
        if (i >= times.size()) {
            state.SkipWithError("peer not available or failed");
            break;
        }
        state.SetIterationTime(times[i++]);
    }
    rate(state, *c);
}

// A peer as a whole process, rated by the output of its case.
void timeProcess(benchmark::State& state, const warpCase& c, const std::string& cmd)
{
    benchload::timeProcess(state, cmd);
    rate(state, c);
}

std::string num(double v)
{
    char b[64];
    std::snprintf(b, sizeof b, "%.9g", v);
    return b;
}

void ourProcess(benchmark::State& state, const warpCase* c, const warpMode* m)
{
    timeProcess(state, *c,
                "/proc/" + std::to_string(getpid()) + "/exe --warp-once '" + rawPath(*c) + "' " +
                    std::to_string(c->cols) + " " + std::to_string(c->rows) + " " + num(c->factor) +
                    " " + std::to_string(m->bits) + " '" + dir() + "/ours.out'");
}

void vipsProcess(benchmark::State& state, const warpCase* c, const warpMode* m)
{
    const std::string in = vipsPath(*c);
    timeProcess(state, *c,
                in.empty() ? ""
                           : "VIPS_CONCURRENCY=1 vips resize '" + in + "' '" + dir() +
                                 "/vips-out.v' " + num(c->factor) + " --kernel " + m->vips);
}

void imageMagickProcess(benchmark::State& state, const warpCase* c, const warpMode* m)
{
    const std::string size = std::to_string(outCols(*c)) + "x" + std::to_string(outRows(*c));
    timeProcess(state, *c,
                "MAGICK_THREAD_LIMIT=1 convert -size " + std::to_string(c->cols) + "x" +
                    std::to_string(c->rows) + " -depth 8 'rgba:" + rawPath(*c) + "' -filter " +
                    m->magick + " -resize " + size + "! 'rgba:" + dir() + "/magick-out.rgba'");
}

// A pan step: the whole 1536 x 1024 view repainted from a 4000 x 3000 buffer at a zoom, through
// VIEW_MEM (buffer area read with its margin, WARP, the box written into the view), on a
// view in memory.

void panStep(benchmark::State& state, const warpMode* m, int32 zoom)
{
    constexpr int32 kViewW = 1536, kViewH = 1024;
    benchload::memView view(kViewW, kViewH);
    setViewSurface(&view);
    bufdes b{};
    b.imgbuf = const_cast<int32u*>(picture(kGlobal));
    b.width = kGlobal.cols;
    b.height = kGlobal.rows;
    b.numImgs = 1;
    b.transl.factor = 1;
    resetTransl();
    SET_TRANSL_VIEW(kViewW, kViewH);
    INIT_I_TRANSL(&b);
    SET_I_TRANSL(1000, 800, zoom);
    vState.dmode = int32u(m->bits);
    for (auto _ : state)
        if (VIEW_MEM(nullptr, false) != VMEM_OK) {
            state.SkipWithError("VIEW_MEM failed");
            break;
        }
    state.counters["MP/s"] =
        benchmark::Counter(double(kViewW) * kViewH, benchmark::Counter::kIsIterationInvariantRate);
    vState.dmode = 0;
    resetTransl();
    setViewSurface(nullptr);
}

#define TAV_PAN_ROWS(N, MODE)                                                                      \
    BENCHMARK_CAPTURE(panStep, PanStep_1536x1024_zoom2_##N, &MODE, 2)                              \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime();                                                                           \
    BENCHMARK_CAPTURE(panStep, PanStep_1536x1024_zoom4_##N, &MODE, 4)                              \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime()

TAV_PAN_ROWS(Replicate, kReplicate);
TAV_PAN_ROWS(Bilinear, kBilinear);
TAV_PAN_ROWS(Bicubic, kBicubic);
TAV_PAN_ROWS(CatmullRom, kCatmull);

// The `--warp-once RAW COLS ROWS FACTOR METHOD OUT` mode: the raw picture read, warped once and
// written, as the peers' processes do. Exit status 0 when it warped; -1 for any other command
// line (run the benchmarks).
int warpOnceMain(int argc, char** argv)
{
    if (argc != 8 || std::strcmp(argv[1], "--warp-once") != 0)
        return -1;
    int32 nc = std::atoi(argv[3]), nr = std::atoi(argv[4]);
    const double f[2] = {std::atof(argv[5]), std::atof(argv[5])};
    const std::size_t n = std::size_t(nc) * std::size_t(nr);
    pixelBlock px(n);
    std::FILE* in = std::fopen(argv[2], "rb");
    if (!px.px || !in || std::fread(px.px, 4, n, in) != n)
        return 1;
    std::fclose(in);
    int32u* out = WARP(px.px, &nc, &nr, f, std::atoi(argv[6]));
    if (!out)
        return 1;
    std::FILE* o = std::fopen(argv[7], "wb");
    const std::size_t on = std::size_t(nc) * std::size_t(nr);
    const bool ok = o && std::fwrite(out, 4, on, o) == on && std::fclose(o) == 0;
    std::free(out);
    return ok ? 0 : 1;
}

// The `--warp-times RAW COLS ROWS FACTOR METHOD N` mode: the raw picture read, one warm-up
// call, then N timed calls, each call's wall time in seconds on its own line, as the OpenCV
// script reports its resizes (bench/warp_vs_peers.sh interleaves the two). -1 for any other
// command line.
int warpTimesMain(int argc, char** argv)
{
    if (argc != 8 || std::strcmp(argv[1], "--warp-times") != 0)
        return -1;
    const int32 cols = std::atoi(argv[3]), rows = std::atoi(argv[4]);
    const double f[2] = {std::atof(argv[5]), std::atof(argv[5])};
    const int32 method = std::atoi(argv[6]);
    const int n = std::atoi(argv[7]);
    const std::size_t count = std::size_t(cols) * std::size_t(rows);
    pixelBlock px(count);
    std::FILE* in = std::fopen(argv[2], "rb");
    if (!px.px || !in || std::fread(px.px, 4, count, in) != count)
        return 1;
    std::fclose(in);
    for (int i = 0; i <= n; ++i) {
        int32 nc = cols, nr = rows;
        const auto t0 = std::chrono::steady_clock::now();
        int32u* out = WARP(px.px, &nc, &nr, f, method);
        const double t =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!out)
            return 1;
        std::free(out);
        if (i > 0)
            std::printf("%.9f\n", t);
    }
    return 0;
}

#define TAV_WARP_ROWS(N, CASE, MODE)                                                               \
    BENCHMARK_CAPTURE(ourWarp, N##_Ours_InProcess, &CASE, &MODE)                                   \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseRealTime();                                                                           \
    BENCHMARK_CAPTURE(openCvInProcess, N##_OpenCV_InProcess, &CASE, &MODE)                         \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(20);                                                                          \
    BENCHMARK_CAPTURE(ourProcess, N##_Ours_Process, &CASE, &MODE)                                  \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(5);                                                                           \
    BENCHMARK_CAPTURE(vipsProcess, N##_Vips_Process, &CASE, &MODE)                                 \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(5);                                                                           \
    BENCHMARK_CAPTURE(imageMagickProcess, N##_ImageMagick_Process, &CASE, &MODE)                   \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(5)

TAV_WARP_ROWS(Replicate_1024_x2, kZoom2, kReplicate);
TAV_WARP_ROWS(Bilinear_1024_x2, kZoom2, kBilinear);
TAV_WARP_ROWS(Bicubic_1024_x2, kZoom2, kBicubic);
TAV_WARP_ROWS(CatmullRom_1024_x2, kZoom2, kCatmull);
TAV_WARP_ROWS(Replicate_1024_x4, kZoom4, kReplicate);
TAV_WARP_ROWS(Bilinear_1024_x4, kZoom4, kBilinear);
TAV_WARP_ROWS(Bicubic_1024_x4, kZoom4, kBicubic);
TAV_WARP_ROWS(CatmullRom_1024_x4, kZoom4, kCatmull);
TAV_WARP_ROWS(Replicate_256_x16, kZoom16, kReplicate);
TAV_WARP_ROWS(Bilinear_256_x16, kZoom16, kBilinear);
TAV_WARP_ROWS(Bicubic_256_x16, kZoom16, kBicubic);
TAV_WARP_ROWS(CatmullRom_256_x16, kZoom16, kCatmull);
TAV_WARP_ROWS(Area_4000x3000_x0256, kGlobal, kArea);
TAV_WARP_ROWS(Area_4000x3000_x05, kHalf, kArea);

} // namespace

// The `--pictures` mode: makes the raw pictures (and libvips' copies) and prints, one line
// each, their columns, rows and raw path.
int picturesMain(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "--pictures") != 0)
        return -1;
    for (const warpCase* c : {&kZoom16, &kZoom2, &kGlobal}) {
        vipsPath(*c);
        std::printf("%d %d %s\n", c->cols, c->rows, rawPath(*c).c_str());
    }
    return 0;
}

// The single-run modes the peer script and the whole-process rows start this program in.
int warpModesMain(int argc, char** argv)
{
    for (int (*mode)(int, char**) : {picturesMain, warpOnceMain, warpTimesMain})
        if (const int st = mode(argc, argv); st >= 0)
            return st;
    return -1;
}

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, warpModesMain);
}
