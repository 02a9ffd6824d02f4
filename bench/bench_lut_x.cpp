// A CYCLE step as the user sees it on a real 1536 x 1024 view: the tables moved one step, the
// plain view drawn through them and the X server done drawing (synchronised). Needs
// a display with room for the view; bench/lut-x.sh runs it on a private Xvfb. Beside it, the
// same step on the memory view of bench_lut is the part that is ours alone.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "lutOps.h"
#include "lutTables.h"
#include "tavDisplay.h"
#include "tav_wmgt.h"
#include "twBackend.h"
#include "viewDims.h"

namespace {

constexpr int32 kW = 1536, kH = 1024;

bool openView()
{
    static int state = 0; // 0 not tried, 1 open, -1 failed
    if (state == 0) {
        SET_DPY_TYPE(DPY_FIT);
        SET_VIEW_MAX(kW, kH);
        state = CONNECT_TAV_DISPL() == 0 && TAV_VIEWINI() == 0 ? 1 : -1;
        if (state == 1) {
            int32 b[4];
            GET_DISPLAY_BOX(b);
            std::vector<int32u> px(std::size_t(b[2] + 1) * std::size_t(b[3] + 1));
            std::mt19937 rng(17);
            for (int32u& p : px)
                p = int32u(rng()) & 0xffffffu;
            twBack->putPixels(twBox{0, 0, b[2], b[3]}, px.data());
            twBack->sync();
        }
    }
    return state == 1;
}

void cycleStepX(benchmark::State& state)
{
    lutRepaint repaint;
    if (!openView() || !repaint.begin()) {
        state.SkipWithError("no display with room for a 1536 x 1024 view");
        return;
    }
    int32 b[4];
    GET_DISPLAY_BOX(b);
    static lutSet t;
    std::mt19937 rng(15);
    for (auto& g : t)
        for (auto& v : g)
            v = charu(rng());
    for (auto _ : state) {
        for (auto& g : t)
            cycleLut(g, true, true);
        repaint.show(t);
        twBack->sync();
    }
    state.counters["view_w"] = b[2] + 1;
    state.counters["view_h"] = b[3] + 1;
    state.counters["MP/s"] = benchmark::Counter(double(b[2] + 1) * (b[3] + 1),
                                                benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(cycleStepX)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TAV_VIEWEND(1);
    return 0;
}
