// The table pass (megapixels per second): a seeded RGBA picture of 1536 x 1024 (a view) and of
// 4096 x 4096 (a large buffer) put through three 256-entry tables, alpha kept. In the same run,
// on the same pixels and tables, timed the same way (wall time):
//  - in one process, the pass alone: our prepared pass over every pixel, beside OpenCV's
//    cv2.LUT on one thread in its own Python timing each call there;
//  - as whole processes, from start to exit: this program reading the raw picture, passing it
//    and writing the result (`--lut-once IN OUT W H`), beside libvips (`vips maplut`, one
//    worker, its own .v files) and ImageMagick (`-clut` with integer interpolation, one
//    thread, raw RGBA in and out);
//  - a CYCLE step as the user sees it on a 1536 x 1024 view: the tables moved one step and
//    the plain view drawn through them onto a memory view;
//  - DISP OPS COMPOSITE of the 1536 x 1024 view into the buffer: at zoom 1 the view read,
//    passed through the three tables and written into the buffer (beside the table-pass peers
//    above), at zoom 2 the view read and each 2 x 2 block's rounded mean written (no table),
//    beside OpenCV's cv2.resize INTER_AREA in process, `vips shrink 2 2` and ImageMagick
//    `-scale 50%` as processes, with each tool's plain copy of the same picture beside them so
//    that their start-up and file work can be netted out.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchHdr.h"
#include "aoiKernels.h"
#include "lutOps.h"
#include "lutTables.h"
#include "benchView.h"

namespace {

using benchload::writeFile;

struct picSize {
    int32 w, h;
};
constexpr picSize kView{1536, 1024}, kLarge{4096, 4096};

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_lut");
    return d;
}

std::string tag(const picSize& s)
{
    return std::to_string(s.w) + "x" + std::to_string(s.h);
}

void rate(benchmark::State& state, const picSize& s)
{
    state.counters["MP/s"] =
        benchmark::Counter(double(s.w) * s.h, benchmark::Counter::kIsIterationInvariantRate);
}

// Seeded pixels and tables, the same for every side.
std::vector<int32u> picture(const picSize& s)
{
    return benchload::seededPixels(std::size_t(s.w) * std::size_t(s.h), 17);
}

const lutSet& tables()
{
    static lutSet t;
    static bool made = false;
    if (!made) {
        benchload::seededTables(t, 15);
        made = true;
    }
    return t;
}

// The raw picture and tables each side reads, made once per size. Raw bytes are B, G, R, A;
// the peers see channel 0 as blue, so their tables list blue, green, red, alpha (identity).
const std::string& rawPicture(const picSize& s)
{
    static std::string paths[2];
    std::string& p = paths[&s == &kLarge];
    if (p.empty()) {
        p = dir() + "/pic-" + tag(s) + ".raw";
        const std::vector<int32u> px = picture(s);
        if (!writeFile(p, px.data(), px.size() * 4))
            std::abort();
        benchload::sh("vips rawload '" + p + "' '" + dir() + "/pic-" + tag(s) + ".v' " +
                      std::to_string(s.w) + " " + std::to_string(s.h) + " 4 >/dev/null 2>&1");
    }
    return p;
}

const std::string& rawTables()
{
    static const std::string p = [] {
        const std::string path = dir() + "/lut.raw";
        charu t[256][4];
        for (int i = 0; i < 256; ++i) {
            t[i][0] = tables()[2][i];
            t[i][1] = tables()[1][i];
            t[i][2] = tables()[0][i];
            t[i][3] = charu(i);
        }
        if (!writeFile(path, t, sizeof t))
            std::abort();
        benchload::sh("vips rawload '" + path + "' '" + dir() + "/lut.v' 256 1 4 >/dev/null 2>&1");
        return path;
    }();
    return p;
}

void ourPass(benchmark::State& state, const picSize* s)
{
    std::vector<int32u> px = picture(*s);
    lutPass pass;
    prepareLutPass(tables(), pass);
    for (auto _ : state) {
        lutRows(px, pass);
        benchmark::DoNotOptimize(px.data());
    }
    rate(state, *s);
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
w, h, n = int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
img = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(h, w, 4)
lut = np.fromfile(sys.argv[2], dtype=np.uint8).reshape(256, 1, 4)
out = cv2.LUT(img, lut)
for i in range(n):
    t = time.perf_counter()
    cv2.LUT(img, lut, dst=out)
    print(time.perf_counter() - t, flush=True)
)";

void openCvPass(benchmark::State& state, const picSize* s)
{
    const std::string script = dir() + "/lut_opencv.py";
    if (!writeFile(script, kOpenCvScript, std::strlen(kOpenCvScript)))
        std::abort();
    const std::string cmd = "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + script +
                            "' '" + rawPicture(*s) + "' '" + rawTables() + "' " +
                            std::to_string(s->w) + " " + std::to_string(s->h) + " " +
                            std::to_string(state.max_iterations);
    benchload::replayTimes(state, benchload::peerTimes(cmd));
    rate(state, *s);
}

std::string sizeArgs(const picSize& s)
{
    return std::to_string(s.w) + " " + std::to_string(s.h);
}

void ourProcess(benchmark::State& state, const picSize* s)
{
    benchload::timeProcess(state, "/proc/" + std::to_string(getpid()) + "/exe --lut-once '" +
                                      rawPicture(*s) + "' '" + dir() + "/ours-out.raw' " +
                                      sizeArgs(*s));
    rate(state, *s);
}

void vipsProcess(benchmark::State& state, const picSize* s)
{
    rawPicture(*s);
    rawTables();
    benchload::timeProcess(state, "VIPS_CONCURRENCY=1 vips maplut '" + dir() + "/pic-" + tag(*s) +
                                      ".v' '" + dir() + "/vips-out.v' '" + dir() + "/lut.v'");
    rate(state, *s);
}

void imageMagickProcess(benchmark::State& state, const picSize* s)
{
    benchload::timeProcess(state,
                           "MAGICK_THREAD_LIMIT=1 convert -size " + std::to_string(s->w) + "x" +
                               std::to_string(s->h) + " -depth 8 'rgba:" + rawPicture(*s) +
                               "' -size 256x1 -depth 8 'rgba:" + rawTables() +
                               "' -interpolate Integer -channel RGB -clut -depth 8 'rgba:" + dir() +
                               "/magick-out.raw'");
    rate(state, *s);
}

// A view in memory: what CYCLE repaints at every step.

void cycleStep(benchmark::State& state)
{
    benchload::memView view(kView.w, kView.h);
    view.pixels() = picture(kView);
    setViewSurface(&view);
    lutRepaint repaint;
    if (!repaint.begin()) {
        state.SkipWithError("no view to repaint");
        setViewSurface(nullptr);
        return;
    }
    static lutSet t;
    std::memcpy(t, tables(), sizeof t);
    for (auto _ : state) {
        for (auto& g : t)
            cycleLut(g, true, true);
        repaint.show(t);
        benchmark::DoNotOptimize(view.pixels().data());
    }
    setViewSurface(nullptr);
    rate(state, kView);
}

// The `--lut-once IN OUT W H` mode: the raw picture read, passed and written. Exit status 0
// when done; -1 for any other command line.
int lutOnceMain(int argc, char** argv)
{
    if (argc != 6 || std::strcmp(argv[1], "--lut-once") != 0)
        return -1;
    const std::size_t n = std::size_t(std::atoi(argv[4])) * std::size_t(std::atoi(argv[5]));
    std::vector<int32u> px(n);
    std::FILE* in = std::fopen(argv[2], "rb");
    if (!in || std::fread(px.data(), 4, n, in) != n)
        return 1;
    std::fclose(in);
    lutPass pass;
    prepareLutPass(tables(), pass);
    lutRows(px, pass);
    return writeFile(argv[3], px.data(), n * 4) ? 0 : 1;
}

// COMPOSITE as DISP OPS runs it on a view held in memory: the view's pixels read (a copy, as
// the render object reads the window), at zoom 1 through the tables, then written into the
// buffer pixels they map to.
void ourComposite(benchmark::State& state, int zoom)
{
    const std::vector<int32u> view = picture(kView);
    std::vector<int32u> shown(view.size()), buffer(view.size() / std::size_t(zoom * zoom));
    lutPass pass;
    prepareLutPass(tables(), pass);
    const int32 bw = kView.w / zoom, bh = kView.h / zoom;
    for (auto _ : state) {
        std::memcpy(shown.data(), view.data(), view.size() * 4);
        if (zoom == 1)
            lutRows(shown, pass);
        compositeArea(pixArea{shown.data(), kView.w, kView.h, kView.w}, zoom,
                      pixArea{buffer.data(), bw, bh, bw}, gunByteMask(7));
        benchmark::DoNotOptimize(buffer.data());
    }
    rate(state, kView);
}

constexpr const char* kOpenCvShrinkScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
w, h, n = int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
img = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(h, w, 4)
out = cv2.resize(img, (w // 2, h // 2), interpolation=cv2.INTER_AREA)
for i in range(n):
    t = time.perf_counter()
    cv2.resize(img, (w // 2, h // 2), dst=out, interpolation=cv2.INTER_AREA)
    print(time.perf_counter() - t, flush=True)
)";

void openCvShrink(benchmark::State& state, const picSize* s)
{
    const std::string script = dir() + "/shrink_opencv.py";
    if (!writeFile(script, kOpenCvShrinkScript, std::strlen(kOpenCvShrinkScript)))
        std::abort();
    benchload::replayTimes(
        state, benchload::peerTimes("OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" +
                                    script + "' '" + rawPicture(*s) + "' " + sizeArgs(*s) + " " +
                                    std::to_string(state.max_iterations)));
    rate(state, *s);
}

// libvips and ImageMagick as processes: the halving, or (copy) the same picture read and
// written unchanged.
void vipsShrink(benchmark::State& state, bool copy)
{
    rawPicture(kView);
    const std::string in = dir() + "/pic-" + tag(kView) + ".v", out = dir() + "/vips-shrink.v";
    benchload::timeProcess(state, "VIPS_CONCURRENCY=1 vips " +
                                      (copy ? "copy '" + in + "' '" + out + "'"
                                            : "shrink '" + in + "' '" + out + "' 2 2"));
    rate(state, kView);
}

void imageMagickShrink(benchmark::State& state, bool copy)
{
    benchload::timeProcess(state, "MAGICK_THREAD_LIMIT=1 convert -size " + tag(kView) +
                                      " -depth 8 'rgba:" + rawPicture(kView) + "'" +
                                      (copy ? "" : " -scale 50%") + " -depth 8 'rgba:" + dir() +
                                      "/magick-shrink.raw'");
    rate(state, kView);
}

TAV_BENCH_WALL(ourComposite, Composite_View1536x1024_Zoom1_Ours_InProcess, 1);
TAV_BENCH_WALL(ourComposite, Composite_View1536x1024_Zoom2_Ours_InProcess, 2);
TAV_BENCH_MANUAL(openCvShrink, Shrink2_View1536x1024_OpenCV_InterArea_InProcess, 20, &kView);
TAV_BENCH_MANUAL(vipsShrink, Shrink2_View1536x1024_Vips_Process, 5, false);
TAV_BENCH_MANUAL(vipsShrink, Copy_View1536x1024_Vips_Process, 5, true);
TAV_BENCH_MANUAL(imageMagickShrink, Shrink2_View1536x1024_ImageMagick_Process, 5, false);
TAV_BENCH_MANUAL(imageMagickShrink, Copy_View1536x1024_ImageMagick_Process, 5, true);

#define TAV_LUT_SIZE(S, SIZE)                                                                      \
    TAV_BENCH_WALL(ourPass, S##_Ours_InProcess, &SIZE);                                            \
    TAV_BENCH_MANUAL(openCvPass, S##_OpenCV_InProcess, 20, &SIZE);                                 \
    TAV_BENCH_MANUAL(ourProcess, S##_Ours_Process, 5, &SIZE);                                      \
    TAV_BENCH_MANUAL(vipsProcess, S##_Vips_Process, 5, &SIZE);                                     \
    TAV_BENCH_MANUAL(imageMagickProcess, S##_ImageMagick_Process, 5, &SIZE)

TAV_LUT_SIZE(View1536x1024, kView);
TAV_LUT_SIZE(Large4096x4096, kLarge);
BENCHMARK(cycleStep)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, lutOnceMain);
}
