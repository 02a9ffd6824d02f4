// Canny and MSRCR throughput (megapixels per second) on the seeded 4096 x 4096 plasma picture
// (benchLoad.h), in the same run:
//  - Canny per gun (its red plane, edge strength with thinning) at the defaults (K 450, sigma
//    2, 13 taps) and at the longest accepted filter (sigma 4.5, 31 taps), in this process,
//    beside cv2.Canny on the same plane as a grey picture in its own process (one thread, timed
//    there per call) and libvips' canny (sigma 2, one worker) as whole processes, net of a
//    `vips copy` of the same picture, so that both sides are charged for the filter alone;
//  - MSRCR at the defaults (scales 2, 82, 162) on the three guns, in this process, beside the
//    same steps in numpy with cv2.GaussianBlur (one thread, timed in its own process) and as a
//    chain of libvips processes built on gaussblur (one worker).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "benchLoad.h"
#include "cannyKernels.h"
#include "retinexKernels.h"

namespace {

using benchload::kSide;
constexpr std::size_t kPx = std::size_t(kSide) * kSide;

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_canny");
    return d;
}

const std::string& ppm()
{
    static const std::string p = benchload::plasmaPpm(dir() + "/plasma.ppm");
    return p;
}

// The picture's red, green and blue planes, read from the PPM the peers read.
const std::vector<charu>& planes()
{
    static const std::vector<charu> rgb = [] {
        std::vector<charu> p(3 * kPx);
        std::FILE* f = std::fopen(ppm().c_str(), "rb");
        int w = 0, h = 0, maxv = 0;
        if (!f || std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) != 3 || w != kSide || h != kSide ||
            std::fgetc(f) == EOF)
            std::abort();
        std::vector<charu> row(std::size_t(kSide) * 3);
        for (std::size_t y = 0; y < std::size_t(kSide); ++y) {
            if (std::fread(row.data(), 1, row.size(), f) != row.size())
                std::abort();
            for (std::size_t x = 0; x < std::size_t(kSide); ++x)
                for (std::size_t g = 0; g < 3; ++g)
                    p[g * kPx + y * kSide + x] = row[x * 3 + g];
        }
        std::fclose(f);
        return p;
    }();
    return rgb;
}

// The red plane as a grey PGM and as a libvips file, and the picture as a libvips file, for
// the peers.
void peerFiles()
{
    static bool made = false;
    if (made)
        return;
    made = true;
    const std::string pgm = dir() + "/red.pgm";
    if (!benchload::fileExists(pgm)) {
        std::FILE* f = std::fopen(pgm.c_str(), "wb");
        if (!f)
            std::abort();
        std::fprintf(f, "P5\n%d %d\n255\n", kSide, kSide);
        std::fwrite(planes().data(), 1, kPx, f);
        std::fclose(f);
    }
    const std::string d = "cd '" + dir() + "' && ";
    benchload::sh(d + "vips copy red.pgm red.v 2>/dev/null && vips copy plasma.ppm plasma.v " +
                  "2>/dev/null");
}

void cannyOurs(benchmark::State& state, double sigma)
{
    const cannyFilters f = canny_filters(CANNY_K_DEF, sigma);
    const double n = cannyNorm(CANNY_K_DEF, sigma, CANNY_BRIGHT_DEF);
    std::vector<charu> out(kPx);
    const charu* red = planes().data();
    for (auto _ : state)
        if (cannyCore(red, out.data(), CANNY_EDGE, kSide, kSide, f, true, n, nullptr) != CANNY_OK) {
            state.SkipWithError("core failed");
            break;
        }
    state.counters["taps"] = f.w;
    benchload::rate(state);
}

void cannyOpenCv(benchmark::State& state)
{
    peerFiles();
    const std::string cmd = "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() +
                            " '" TAV_CANNY_PEERS "' canny '" + dir() + "/red.pgm' " +
                            std::to_string(state.max_iterations);
    benchload::replayTimes(state, benchload::peerTimes(cmd), "OpenCV peer not available");
}

double wallOf(const std::string& cmd, bool* ok)
{
    const auto t0 = std::chrono::steady_clock::now();
    *ok = *ok && benchload::sh(cmd + " >/dev/null 2>&1");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void cannyVips(benchmark::State& state)
{
    peerFiles();
    const std::string d = "cd '" + dir() + "' && VIPS_CONCURRENCY=1 ";
    for (auto _ : state) {
        bool ok = true;
        const double copy = wallOf(d + "vips copy red.v out.v", &ok);
        const double canny = wallOf(d + "vips canny red.v out.v --sigma 2", &ok);
        if (!ok) {
            state.SkipWithError("libvips peer not available or failed");
            break;
        }
        state.SetIterationTime(canny > copy ? canny - copy : 1e-9);
    }
    benchload::sh("rm -f '" + dir() + "/out.v'");
    benchload::rate(state);
}

void msrcrOurs(benchmark::State& state)
{
    const std::vector<charu>& p = planes();
    std::vector<float> f(3 * kPx);
    for (std::size_t i = 0; i < f.size(); ++i)
        f[i] = p[i];
    std::vector<charu> out(3 * kPx);
    const float* in[3] = {f.data(), f.data() + kPx, f.data() + 2 * kPx};
    charu* o[3] = {out.data(), out.data() + kPx, out.data() + 2 * kPx};
    for (auto _ : state)
        if (MSRCR(in, o, kSide, kSide, adaptivParams{}, nullptr) != MSRCR_OK) {
            state.SkipWithError("MSRCR failed");
            break;
        }
    benchload::rate(state);
}

void msrcrNumpy(benchmark::State& state)
{
    const std::string cmd = "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() +
                            " '" TAV_CANNY_PEERS "' msrcr '" + ppm() + "' " +
                            std::to_string(state.max_iterations);
    benchload::replayTimes(state, benchload::peerTimes(cmd), "numpy/OpenCV peer not available");
}

void msrcrVips(benchmark::State& state)
{
    peerFiles();
    benchload::timeProcess(state, "sh '" TAV_MSRCR_VIPS "' '" + dir() + "'");
}

} // namespace

// Rows without arguments (BENCHMARK_CAPTURE needs one), named as the others.
#define TAV_CANNY_ROW(FN, NAME) BENCHMARK(FN)->Name(#NAME)->Unit(benchmark::kMillisecond)

TAV_BENCH_WALL(cannyOurs, Canny_Defaults_Ours_InProcess, 2.0)->MinTime(1.0);
TAV_BENCH_WALL(cannyOurs, Canny_W31_Ours_InProcess, 4.5)->MinTime(1.0);
TAV_CANNY_ROW(cannyOpenCv, Canny_OpenCV_InProcess)->UseManualTime()->Iterations(10);
TAV_CANNY_ROW(cannyVips, Canny_Vips_NetOfCopy_Process)->UseManualTime()->Iterations(3);
TAV_CANNY_ROW(msrcrOurs, Msrcr_Defaults_Ours_InProcess)->UseRealTime()->Iterations(2);
TAV_CANNY_ROW(msrcrNumpy, Msrcr_NumpyCv2_InProcess)->UseManualTime()->Iterations(1);
TAV_CANNY_ROW(msrcrVips, Msrcr_VipsGaussblur_Process)->UseManualTime()->Iterations(1);

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, nullptr);
}
