// The wavelet transform and the Mandelbrot rows, in the same run and timed the same way (wall
// time) as their peers:
//  - WAVTRAN of one 2048 x 2048 float band (seeded plasma, benchLoad.h) with HAAR, DAUB 8 and
//    ENTROPY at one and five levels (LEVEL paths ending in LL), megapixels of the band per
//    second, beside pywt.swt2 with 'haar', 'db4' and 'db9' (the nearest filter lengths: 2, 8
//    and 18 taps) timed per run in its own process, and libvips' convsep with the same dilated
//    low-pass mask per level (one worker, whole processes on a float .v file);
//  - FRACTAL_ROW over a 1024 x 768 render of the default Mandelbrot view (N = 256) and a
//    512 x 384 render of a deep zoom (N = 4096, about 2,000 updates a pixel) into the colour map,
//    in MP/s and iterations per second, beside a numpy escape-time loop with the same arithmetic,
//    whose counts are checked against ours first.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchLoad.h"
#include "fractalKernels.h"
#include "waveletKernels.h"

namespace {

constexpr int32 kBand = 2048;
constexpr double kBandPixels = double(kBand) * kBand;

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_wavfrac");
    return d;
}

// The seeded float band: fractal noise of eight octaves, scaled to 0 .. 4095 as a 12-bit sensor
// would give it.
const std::vector<float>& band()
{
    static const std::vector<float> b = [] {
        std::vector<float> v(std::size_t(kBand) * kBand);
        for (int y = 0; y < kBand; ++y)
            for (int x = 0; x < kBand; ++x) {
                float sum = 0, amp = 0.5f, freq = 1.0f / 512;
                for (int o = 0; o < 8; ++o, amp *= 0.5f, freq *= 2)
                    sum += amp * benchload::detail::noise(float(x) * freq, float(y) * freq,
                                                          0x5eed0000u + std::uint32_t(o));
                v[std::size_t(y) * kBand + std::size_t(x)] = sum * 4095.0f;
            }
        return v;
    }();
    return b;
}

// The band for the peers: raw float32 for numpy, a .v file for libvips.
const std::string& bandFile()
{
    static const std::string p = [] {
        const std::string raw = dir() + "/band.f32";
        if (!benchload::fileExists(raw)) {
            std::FILE* f = std::fopen(raw.c_str(), "wb");
            if (!f || std::fwrite(band().data(), 4, band().size(), f) != band().size() ||
                std::fclose(f) != 0)
                std::abort();
        }
        const std::string v = dir() + "/band.v";
        if (!benchload::fileExists(v))
            benchload::sh("vips rawload '" + raw + "' '" + v + "' " + std::to_string(kBand) + " " +
                          std::to_string(kBand) + " 1 --format float >/dev/null 2>&1");
        return raw;
    }();
    return p;
}

struct waveCase {
    int32 family, taps, levels;
    const char* pywt;
};

void rateBand(benchmark::State& state)
{
    state.counters["MP/s"] = benchmark::Counter(kBandPixels / 1e6 * double(state.iterations()),
                                                benchmark::Counter::kIsRate);
}

// WAVTRAN in place on a fresh copy of the band each time (the copy is timed too).
void ourWavelet(benchmark::State& state, waveCase c)
{
    std::vector<float> work(band().size());
    waveletRequest rq;
    rq.family = c.family;
    rq.daubLength = c.taps;
    rq.path = waveletLevelPath(c.levels, WVB_LL);
    for (auto _ : state) {
        std::memcpy(work.data(), band().data(), work.size() * 4);
        if (WAVTRAN(work, kBand, kBand, rq) != WAV_OK) {
            state.SkipWithError("WAVTRAN refused the band");
            break;
        }
        benchmark::DoNotOptimize(work.data());
    }
    rateBand(state);
}

void pywtSwt2(benchmark::State& state, waveCase c)
{
    const std::string cmd = benchload::peerPython() + " '" + TAV_WAVFRAC_PEERS + "' swt2 '" +
                            bandFile() + "' " + std::to_string(kBand) + " " + c.pywt + " " +
                            std::to_string(c.levels) + " " + std::to_string(state.max_iterations);
    std::size_t i = 0;
    const std::vector<double> times = benchload::peerTimes(cmd);
    for (auto _ : state) {
        if (i >= times.size()) {
            state.SkipWithError("pywt not available");
            break;
        }
        state.SetIterationTime(times[i++]);
    }
    rateBand(state);
}

// libvips: one convsep per level with the level's dilated low-pass mask (zeros between the
// taps), rows and columns alike, chained through .v files, as whole processes.
void vipsConvsep(benchmark::State& state, waveCase c)
{
    bandFile();
    const std::vector<double> h = waveletLowPass(c.family, c.taps);
    std::string cmd = "cd '" + dir() + "' && export VIPS_CONCURRENCY=1";
    std::string in = "band.v";
    for (int32 l = 0; l < c.levels; ++l) {
        const int32 d = 1 << l, span = (int32(h.size()) - 1) * d + 1;
        const std::string mask =
            dir() + "/mask" + std::to_string(c.family) + "_" + std::to_string(l) + ".mat";
        if (std::FILE* f = std::fopen(mask.c_str(), "w")) {
            std::fprintf(f, "%d 1 1 0\n", span);
            for (int32 k = 0; k < span; ++k)
                std::fprintf(f, "%.12g ", k % d == 0 ? h[std::size_t(k / d)] : 0.0);
            std::fprintf(f, "\n");
            std::fclose(f);
        }
        const std::string out = "lv" + std::to_string(l) + ".v";
        cmd += " && vips convsep " + in + " " + out + " '" + mask + "' --precision float";
        in = out;
    }
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!benchload::sh(cmd + " >/dev/null 2>&1")) {
            state.SkipWithError("vips not available or failed");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    rateBand(state);
}

const waveCase kHaar1{WVF_HAAR, 0, 1, "haar"}, kHaar5{WVF_HAAR, 0, 5, "haar"};
const waveCase kDaub1{WVF_DAUB, 8, 1, "db4"}, kDaub5{WVF_DAUB, 8, 5, "db4"};
const waveCase kEnt1{WVF_ENTROPY, 0, 1, "db9"}, kEnt5{WVF_ENTROPY, 0, 5, "db9"};

// Mandelbrot renders.
struct mandelCase {
    const char* key;
    fractalArea area;
    int32 iters;
    int32 w, h;
};
const mandelCase kDefault{"default", {-2.2, -1.5, 1.2, 1.5}, 256, 1024, 768};
// A spiral on the seahorse valley's edge, 1.5e-7 wide.
const mandelCase kDeep{
    "deep", {-0.743643962, 0.131825856, -0.743643812, 0.131825968}, 4096, 512, 384};

fractalSettings settingsOf(const mandelCase& c)
{
    fractalSettings s;
    s.area = c.area;
    s.iters = c.iters;
    return s;
}

std::vector<int32> countsOf(const mandelCase& c)
{
    const fractalSettings s = settingsOf(c);
    std::vector<int32> counts(std::size_t(c.w) * std::size_t(c.h));
    const double dx = (c.area.x1 - c.area.x0) / c.w, dy = (c.area.y1 - c.area.y0) / c.h;
    for (int32 r = 0; r < c.h; ++r)
        fractalCounts(
            s, c.area.x0, dx, c.area.y0 + r * dy,
            std::span<int32>(counts.data() + std::size_t(r) * std::size_t(c.w), std::size_t(c.w)));
    return counts;
}

// Updates a render costs: escaped pixels took count + 1, the others N - 1.
double iterationsOf(const mandelCase& c)
{
    double it = 0;
    for (const int32 k : countsOf(c))
        it += k == c.iters - 1 ? k : k + 1;
    return it;
}

void rateMandel(benchmark::State& state, const mandelCase& c)
{
    static double its[2] = {0, 0};
    double& n = its[&c == &kDeep];
    if (n == 0)
        n = iterationsOf(c);
    state.counters["MP/s"] = benchmark::Counter(
        double(c.w) * c.h / 1e6 * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["Giter/s"] =
        benchmark::Counter(n / 1e9 * double(state.iterations()), benchmark::Counter::kIsRate);
}

void ourMandel(benchmark::State& state, const mandelCase* c)
{
    const fractalSettings s = settingsOf(*c);
    std::vector<int32u> map(std::size_t(fractalMapSize(s.iters)));
    for (std::size_t i = 0; i < map.size(); ++i)
        map[i] = int32u(i * 2654435761u) & 0xFFFFFFu;
    std::vector<int32u> px(std::size_t(c->w) * std::size_t(c->h));
    for (auto _ : state) {
        for (int32 r = 0; r < c->h; ++r)
            FRACTAL_ROW(s, r, c->h, map,
                        std::span<int32u>(px.data() + std::size_t(r) * std::size_t(c->w),
                                          std::size_t(c->w)));
        benchmark::DoNotOptimize(px.data());
    }
    rateMandel(state, *c);
}

void numpyMandel(benchmark::State& state, const mandelCase* c)
{
    const std::string counts = dir() + "/counts_" + c->key + ".i32";
    char area[160];
    std::snprintf(area, sizeof area, "%.17g %.17g %.17g %.17g", c->area.x0, c->area.y0, c->area.x1,
                  c->area.y1);
    const std::string cmd = benchload::peerPython() + " '" + TAV_WAVFRAC_PEERS + "' mandel " +
                            area + " " + std::to_string(c->w) + " " + std::to_string(c->h) + " " +
                            std::to_string(c->iters) + " 4.0 " +
                            std::to_string(state.max_iterations) + " '" + counts + "'";
    const std::vector<double> times = benchload::peerTimes(cmd);
    // The peer must count what we count, pixel for pixel.
    const std::vector<int32> ours = countsOf(*c);
    std::vector<int32> theirs(ours.size());
    std::FILE* f = std::fopen(counts.c_str(), "rb");
    const bool same =
        f && std::fread(theirs.data(), 4, theirs.size(), f) == theirs.size() && theirs == ours;
    if (f)
        std::fclose(f);
    std::size_t i = 0;
    for (auto _ : state) {
        if (i >= times.size() || !same) {
            state.SkipWithError(times.empty() ? "numpy not available" : "counts differ");
            break;
        }
        state.SetIterationTime(times[i++]);
    }
    rateMandel(state, *c);
}

} // namespace

#define WAVE_ROWS(NAME, CASE)                                                                      \
    TAV_BENCH_WALL(ourWavelet, NAME##_Ours, CASE);                                                 \
    TAV_BENCH_MANUAL(pywtSwt2, NAME##_pywt_swt2, 3, CASE);                                         \
    TAV_BENCH_MANUAL(vipsConvsep, NAME##_vips_convsep, 3, CASE)

WAVE_ROWS(Haar_1, kHaar1);
WAVE_ROWS(Haar_5, kHaar5);
WAVE_ROWS(Daub8_1, kDaub1);
WAVE_ROWS(Daub8_5, kDaub5);
WAVE_ROWS(Entropy_1, kEnt1);
WAVE_ROWS(Entropy_5, kEnt5);

TAV_BENCH_WALL(ourMandel, Mandelbrot_default_N256_Ours, &kDefault);
TAV_BENCH_MANUAL(numpyMandel, Mandelbrot_default_N256_numpy, 3, &kDefault);
TAV_BENCH_WALL(ourMandel, Mandelbrot_deep_N4096_Ours, &kDeep);
TAV_BENCH_MANUAL(numpyMandel, Mandelbrot_deep_N4096_numpy, 2, &kDeep);

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, nullptr);
}
