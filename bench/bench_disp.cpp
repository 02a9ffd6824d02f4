// TOUCH and RESTORE TOUCHED of DISP OPS in milliseconds on a 1536 x 1024 view in memory (so
// that the X transfer, which both share with every repaint, is left out): the view cut into
// its folio slot with the touch record, and the record checked, the state taken back and the
// slot pasted onto the cleared view. Beside them, timed the same way (wall time, in this
// process), the floor: the same bytes written to a scratch file and flushed, and read back.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bTransl.h"
#include "benchLoad.h"
#include "dispOps.h"
#include "folio_utl.h"
#include "opTable.h"
#include "textwin.h"
#include "uiPort.h"
#include "benchView.h"

namespace {

constexpr int32 kW = 1536, kH = 1024;

// A buffer twice the view with the view on it, as the exploitation loop hands it over.
struct displayed {
    benchload::memView view{kW, kH};
    benchload::silentUi ui{MOUSE_RIGHT};
    displayed()
    {
        // The view shows seeded pixels.
        std::mt19937 rng(17);
        for (int32u& p : view.pixels())
            p = int32u(rng());
        bufdes* table = INIT_BUFMGT();
        int st = 0;
        CREATE_iBUFF(&table[0], 2 * kW, 2 * kH, &st);
        table[0].numImgs = 1;
        vState = viewState{};
        vState.bufObjs = table;
        vState.bd = &table[0];
        vState.dispBox[2] = kW - 1;
        vState.dispBox[3] = kH - 1;
        vState.dmode = modeDFLT_LUTS;
        SET_TRANSL_VIEW(kW, kH);
        INIT_I_TRANSL(&table[0]);
        SET_I_TRANSL(100, 50, 1);
        setViewSurface(&view);
        setViewUi(&ui);
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~displayed()
    {
        SET_EXPLOIT_OPS({});
        setViewUi(nullptr);
        setViewSurface(nullptr);
        resetFolios();
        RELEASE_BUFMGT();
    }
    void run(std::initializer_list<int32> values)
    {
        int32 pv[MAX_PUP_LEVEL] = {};
        std::copy(values.begin(), values.end(), pv);
        runMenuChoice(&vState, pv);
    }
};

void rate(benchmark::State& state)
{
    state.counters["MB/s"] = benchmark::Counter(double(kW) * kH * 4 / 1e6,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void touch(benchmark::State& state, int32 n)
{
    displayed d;
    for (auto _ : state)
        d.run({5, 2, n});
    if (!(foliosDefined() & (1u << (9 + n))))
        state.SkipWithError("TOUCH stored nothing");
    rate(state);
}

void restoreTouched(benchmark::State& state, int32 n)
{
    displayed d;
    d.run({5, 2, n});
    std::vector<int32u> touched = d.view.pixels();
    for (auto _ : state)
        d.run({5, 1, 2, n});
    for (int32u& p : touched)
        p &= 0xffffffu; // the view's alpha is not restored while alpha paste is off
    if (d.view.pixels() != touched)
        state.SkipWithError("RESTORE TOUCHED did not bring the view back");
    rate(state);
}

// The same bytes to a scratch file and back: the round trip TOUCH and RESTORE TOUCHED each
// make one half of.
void plainWrite(benchmark::State& state, std::size_t pixels)
{
    std::vector<int32u> px(pixels, 0x12345678u);
    std::FILE* f = std::tmpfile();
    for (auto _ : state) {
        std::rewind(f);
        std::fwrite(px.data(), 4, px.size(), f);
        std::fflush(f);
    }
    std::fclose(f);
    rate(state);
}

void plainRead(benchmark::State& state, std::size_t pixels)
{
    std::vector<int32u> px(pixels, 0x12345678u);
    std::FILE* f = std::tmpfile();
    std::fwrite(px.data(), 4, px.size(), f);
    std::fflush(f);
    for (auto _ : state) {
        std::rewind(f);
        benchmark::DoNotOptimize(std::fread(px.data(), 4, px.size(), f));
    }
    std::fclose(f);
    rate(state);
}

constexpr std::size_t kPixels = std::size_t(kW) * kH;
TAV_BENCH_WALL(touch, View1536x1024_Touch1, 1);
TAV_BENCH_WALL(restoreTouched, View1536x1024_RestoreTouched1, 1);
TAV_BENCH_WALL(plainWrite, View1536x1024_PlainWrite, kPixels);
TAV_BENCH_WALL(plainRead, View1536x1024_PlainRead, kPixels);

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, nullptr);
}
