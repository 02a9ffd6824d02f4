// Load throughput (megapixels per second) of a 4096 x 4096 PPM and GIF through GETHEADER,
// INIT_VSL and IMAGE_LOAD into an iBUFF. References on the same files: reading the bytes
// (the bound), that plus writing the pixel block, and ImageMagick decoding single-threaded
// (`convert x rgba:/dev/null`). Loads run as the loader's first load into a fresh block.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "benchLoad.h"
#include "get_vsl.h"

namespace {

using benchload::kSide;
using benchload::loadOnce;
using benchload::pixels;
constexpr double kPixels = double(kSide) * kSide;

std::string dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_load");
    return d;
}

// A picture of 216 colours, so that the GIF holds the same image as the PPM.
const std::string& ppmPath()
{
    static const std::string p = dir() + "/load4096.ppm";
    return benchload::ppmOnce(p, [](int x, int y, unsigned char* px) {
        // Smooth areas with some noise, so that LZW meets both long and short strings.
        const unsigned h = (unsigned(x) * 2654435761u) ^ (unsigned(y) * 40503u);
        const int c = int((x / 3) * 5 + (y / 2) * 11 + ((h >> 13) & 7)) % 216;
        px[0] = static_cast<unsigned char>((c / 36) * 51);
        px[1] = static_cast<unsigned char>(((c / 6) % 6) * 51);
        px[2] = static_cast<unsigned char>((c % 6) * 51);
    });
}

const std::string& gifPath()
{
    static const std::string p = [] {
        const std::string path = dir() + "/load4096.gif";
        if (benchload::fileExists(path))
            return path;
        const std::string cmd = "ppmtogif '" + ppmPath() + "' > '" + path + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0)
            std::abort();
        return path;
    }();
    return p;
}

void readBytes(benchmark::State& state, const std::string& path)
{
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t total = 0, n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            total += n;
        std::fclose(f);
        benchmark::DoNotOptimize(total);
    }
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

// Reading the bytes and writing a picture's worth of pixels: what any load must at least move.
void readAndStore(benchmark::State& state, const std::string& path)
{
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::size_t total = 0, n;
        while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
            total += n;
        std::fclose(f);
        std::memset(pixels().data(), 0, pixels().size() * sizeof(int32u));
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(pixels().data());
    }
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

void load(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        const int st = loadOnce(path);
        if (st != 0) {
            state.SkipWithError("load failed");
            break;
        }
        benchmark::DoNotOptimize(pixels().data());
    }
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

void imageMagick(benchmark::State& state, const std::string& path)
{
    const std::string cmd = "MAGICK_THREAD_LIMIT=1 convert '" + path + "' rgba:/dev/null";
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("convert failed");
            break;
        }
        const auto t1 = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ppm_ReadBytes(benchmark::State& s)
{
    readBytes(s, ppmPath());
}
void BM_Ppm_ReadAndStore(benchmark::State& s)
{
    readAndStore(s, ppmPath());
}
void BM_Ppm_Load(benchmark::State& s)
{
    load(s, ppmPath());
}
void BM_Ppm_ImageMagick(benchmark::State& s)
{
    imageMagick(s, ppmPath());
}
void BM_Gif_ReadBytes(benchmark::State& s)
{
    readBytes(s, gifPath());
}
void BM_Gif_Load(benchmark::State& s)
{
    load(s, gifPath());
}
void BM_Gif_ImageMagick(benchmark::State& s)
{
    imageMagick(s, gifPath());
}

BENCHMARK(BM_Ppm_ReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ppm_ReadAndStore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ppm_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Ppm_ImageMagick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_Gif_ReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_Load)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gif_ImageMagick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
