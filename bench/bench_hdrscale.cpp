// Render throughput (megapixels per second) of HDR scaling: a 4096 x 4096 grey band of
// seeded 16-bit-like float samples rendered line by line into an RGBA raster through the
// linear full range, the log curve and the default med3sd range, output histogram included.
// The floor beside them is a plain loop storing each sample's truncated value in its byte.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "hdrScale.h"
#include "sbuffActive.h"

namespace {

constexpr int kSide = 4096;

const std::vector<float>& samples()
{
    static const std::vector<float> s = [] {
        std::vector<float> v(std::size_t(kSide) * kSide);
        std::mt19937 rng(12345);
        std::normal_distribution<float> d(20000.0f, 4000.0f);
        for (auto& x : v)
            x = std::max(0.0f, std::min(65535.0f, d(rng)));
        return v;
    }();
    return s;
}

void prepare(int32u ctl, double width)
{
    resetSbuffs();
    bandStats s{};
    hdrBandStats(samples(), s);
    activeSbuff().stats[0] = s;
    activeSbuff().scal[0].p.opScalCtl = ctl;
    activeSbuff().scal[0].p.width = width;
    S_FACTORS(0);
}

void render(benchmark::State& st, int32u ctl, double width)
{
    prepare(ctl, width);
    std::vector<int32u> raster(std::size_t(kSide) * kSide);
    const auto& x = samples();
    for (auto _ : st) {
        RESET_SCALE_HIST(activeSbuff().scal[0]);
        for (int r = 0; r < kSide; ++r)
            SCALE_sBUFF_LINE(std::span<const float>(x.data() + std::size_t(r) * kSide, kSide),
                             std::span<int32u>(raster.data() + std::size_t(r) * kSide, kSide),
                             HDR_GREY_GUN, 1, 0, kSide);
        benchmark::DoNotOptimize(raster.data());
    }
    st.counters["MP/s"] = benchmark::Counter(double(kSide) * kSide * double(st.iterations()) / 1e6,
                                             benchmark::Counter::kIsRate);
}

void BM_RenderLinearFull(benchmark::State& st)
{
    render(st, HDR_LIN | 0x1400, 0);
}
void BM_RenderLogFull(benchmark::State& st)
{
    render(st, HDR_LOG | 0x1400, 0);
}
void BM_RenderLinearMed3sd(benchmark::State& st)
{
    render(st, 0x8801, 3.0);
}
void BM_FloorTruncateStore(benchmark::State& st)
{
    std::vector<int32u> raster(std::size_t(kSide) * kSide);
    const auto& x = samples();
    for (auto _ : st) {
        for (std::size_t i = 0; i < x.size(); ++i)
            raster[i] = int32u(int(x[i] * (255.0f / 65535.0f))) * 0x010101u;
        benchmark::DoNotOptimize(raster.data());
    }
    st.counters["MP/s"] = benchmark::Counter(double(kSide) * kSide * double(st.iterations()) / 1e6,
                                             benchmark::Counter::kIsRate);
}

BENCHMARK(BM_RenderLinearFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderLogFull)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RenderLinearMed3sd)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FloorTruncateStore)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
