// Load throughput (megapixels per second) of a 4096 x 4096 plasma picture as a PPM and, cut
// to 216 colours, as a GIF, through GETHEADER, INIT_VSL and IMAGE_LOAD into an iBUFF. In the
// same run and on the same files, timed the same way (wall time): OpenCV's imread in process,
// and whole processes of ours, ImageMagick, libvips and OpenCV (benchLoad.h); and, as the
// floor any load stands on, reading the file's bytes, and that plus writing a picture's worth
// of pixels.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchLoad.h"

namespace {

using benchload::openCvInProcess;
using benchload::ourLoad;
using benchload::pixels;
using benchload::rate;
using benchload::wholeProcess;

std::string dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_load");
    return d;
}

const std::string& ppmPath()
{
    static const std::string p = benchload::plasmaPpm(dir() + "/plasma4096.ppm");
    return p;
}

const std::string& gifPath()
{
    static const std::string p = benchload::made(
        dir() + "/plasma216.gif",
        "ppmtogif '" + benchload::plasmaPpm(dir() + "/plasma216.ppm", true) + "' 2>/dev/null >");
    return p;
}

void readBytes(benchmark::State& state, const std::string& path, bool store)
{
    for (auto _ : state) {
        const std::size_t total = benchload::readFileBytes(path);
        if (store)
            std::memset(pixels().data(), 0, pixels().size() * sizeof(int32u));
        benchmark::DoNotOptimize(total);
        benchmark::DoNotOptimize(pixels().data());
    }
    rate(state);
}

void BM_Ppm_ReadBytes(benchmark::State& s)
{
    readBytes(s, ppmPath(), false);
}
void BM_Ppm_ReadAndStore(benchmark::State& s)
{
    readBytes(s, ppmPath(), true);
}
void BM_Gif_ReadBytes(benchmark::State& s)
{
    readBytes(s, gifPath(), false);
}

TAV_BENCH_PEERS(Ppm, ppmPath);
BENCHMARK(BM_Ppm_ReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Ppm_ReadAndStore)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_BENCH_PEERS(Gif, gifPath);
BENCHMARK(BM_Gif_ReadBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

TAV_BENCH_LOAD_MAIN()
