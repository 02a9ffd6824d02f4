// One pan step: the translation moves and the 1536 x 1024 view is repainted from a 4000 x 3000
// buffer, at zoom 1 and zoom 2 (the roam and scroll paths of PAN do exactly this per pointer
// move or wheel step), and the global view pasted back from its accumulator. The goal is a
// repaint under 10 ms. The floor beside them copies the view's pixels once, the least any
// repaint has to move. The view is a memory frame: the X transfer is not in these figures.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "bTransl.h"
#include "bufRecMgt.h"
#include "folio_utl.h"
#include "panZoom.h"
#include "renderPix.h"
#include "benchView.h"

namespace {

constexpr int32 kViewW = 1536, kViewH = 1024, kBufW = 4000, kBufH = 3000;

struct scene {
    scene() : pixels(std::size_t(kBufW) * kBufH)
    {
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = int32u(i * 2654435761u);
        bd.imgbuf = pixels.data();
        bd.width = kBufW;
        bd.height = kBufH;
        bd.numImgs = 1;
        bd.bufNum = 1;
        bd.transl.factor = 1;
        setViewSurface(&view);
        resetTransl();
        SET_TRANSL_VIEW(kViewW, kViewH);
        INIT_I_TRANSL(&bd);
    }
    ~scene()
    {
        setViewSurface(nullptr);
        resetTransl();
    }
    std::vector<int32u> pixels;
    bufdes bd{};
    benchload::memView view{kViewW, kViewH};
};

void panStep(benchmark::State& state)
{
    scene s;
    const int32 zoom = int32(state.range(0));
    const int32 span = kBufW - kViewW / zoom;
    int32 x = 0, dx = 7;
    for (auto _ : state) {
        x += dx;
        if (x < 0 || x > span) {
            dx = -dx;
            x += 2 * dx;
        }
        SET_I_TRANSL(x, 500, zoom);
        showArea();
        benchmark::DoNotOptimize(s.view.pixels().data());
    }
    state.counters["MP/s"] = benchmark::Counter(
        double(kViewW) * kViewH * 1e-6 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(panStep)
    ->Name("pan step 1536x1024 zoom")
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void globalPaste(benchmark::State& state)
{
    scene s;
    MANAGE_PAN_ACCUM(1);
    SHOW_GLOBAL_VIEW(); // drawn once and kept
    for (auto _ : state) {
        SHOW_GLOBAL_VIEW();
        benchmark::DoNotOptimize(s.view.pixels().data());
    }
    releasePanAccums();
    resetFolios();
}
BENCHMARK(globalPaste)->Name("global view from its accumulator")->Unit(benchmark::kMillisecond);

void copyFloor(benchmark::State& state)
{
    scene s;
    std::vector<int32u> dst(std::size_t(kViewW) * kViewH);
    for (auto _ : state) {
        for (int32 y = 0; y < kViewH; ++y)
            std::memcpy(&dst[std::size_t(y) * kViewW],
                        &s.pixels[std::size_t(y + 500) * kBufW + 100], std::size_t(kViewW) * 4);
        benchmark::DoNotOptimize(dst.data());
    }
}
BENCHMARK(copyFloor)->Name("floor: one copy of the view")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
