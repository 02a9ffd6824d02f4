// Spatial convolution (megapixels per second): the three colour guns of one seeded 4096 x 4096
// BGRA picture (2048 x 2048 for the 65 x 65 kernel) through the integer kernels, the 3 x 3
// median and SOBEL, as GLOBAL scope runs them (the whole buffer, rows read and written back).
// In the same run, on the same pixels and kernels (the peers get the three guns as an
// interleaved 8-bit BGR picture):
//  - in one process: our engine beside OpenCV's cv2.filter2D and cv2.medianBlur on one thread
//    (cv2.setNumThreads(1)), each timed per call in its own Python;
//  - as whole processes, net of the same tool's plain copy of the picture: `vips conv
//    --precision integer`, `vips rank 3 3 4`, `vips sobel` (VIPS_CONCURRENCY=1) and ImageMagick
//    `-morphology Convolve`, `-statistic Median 3x3` (MAGICK_THREAD_LIMIT=1).
// OpenCV switches to a DFT for large kernels; our 65 x 65 row is direct sums.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "benchLoad.h"
#include "convKernels.h"

namespace {

enum caseId : int { C3X3, CPLUS, C5X5, C9X9, C15X15, C65X65, CMEDIAN, CSOBEL };

struct convCase {
    const char* name;
    int32 side;
};
constexpr convCase cases[] = {{"3x3", 4096},       {"3+3", 4096},   {"5x5", 4096},
                              {"9x9", 4096},       {"15x15", 4096}, {"65x65", 2048},
                              {"median3x3", 4096}, {"sobel", 4096}};

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_conv");
    return d;
}

void rate(benchmark::State& state, int32 side)
{
    state.counters["MP/s"] =
        benchmark::Counter(double(side) * side, benchmark::Counter::kIsIterationInvariantRate);
}

// The seeded picture of a side, BGRA.
const std::vector<int32u>& picture(int32 side)
{
    static std::vector<int32u> pics[2];
    std::vector<int32u>& p = pics[side == 2048];
    if (p.empty()) {
        p = benchload::seededPixels(std::size_t(side) * std::size_t(side), 20261207);
    }
    return p;
}

// A 65 x 65 kernel of small seeded coefficients, not all alike (so no shortcut applies).
const convKernel& kernel65()
{
    static const convKernel k = [] {
        convKernel r;
        r.xs = r.ys = 65;
        r.plus = false;
        std::mt19937 rng(65);
        for (int i = 0; i < 65 * 65; ++i)
            r.coef.push_back(std::int16_t(1 + rng() % 4));
        return r;
    }();
    return k;
}

// The job of a case: csum 1 divides the Gaussians and the 65 x 65 by their sums; the
// Laplacians replace the pixel with the plain sum.
convJob jobOf(int c)
{
    convJob j;
    j.params.guns = 7;
    static const convBuiltin k[] = {CK_LAPLACE_3X3, CK_LAPLACE_PLUS, CK_GAUSS_5X5, CK_GAUSS_9X9,
                                    CK_GAUSS_15X15};
    if (c <= C15X15) {
        j.kernel = &convBuiltinKernel(k[c]);
        j.params.csum = c <= CPLUS ? 0 : 1;
        j.params.cval = 0;
    } else if (c == C65X65) {
        j.kernel = &kernel65();
        j.params.csum = 1;
        j.params.cval = 0;
    } else {
        j.filter = c == CMEDIAN ? CF_MEDIAN_3X3 : CF_SOBEL_MAG;
    }
    return j;
}

void ours(benchmark::State& state, int c)
{
    const int32 side = cases[c].side;
    std::vector<int32u> px = picture(side);
    const convJob j = jobOf(c);
    for (auto _ : state) {
        if (convolveImage(j, px.data(), side, side, std::size_t(side), 0, 0, side - 1, side - 1) !=
            CONV_OK) {
            state.SkipWithError("convolution failed");
            break;
        }
        benchmark::DoNotOptimize(px.data());
    }
    rate(state, side);
}

bool writeFile(const std::string& path, const std::string& data)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    return std::fclose(f) == 0 && ok;
}

// The three guns as interleaved B, G, R bytes, and libvips' copy of them; made once a side.
const std::string& bgrPicture(int32 side)
{
    static std::string paths[2];
    std::string& p = paths[side == 2048];
    if (p.empty()) {
        p = dir() + "/pic-" + std::to_string(side) + ".bgr";
        const std::vector<int32u>& px = picture(side);
        std::string raw(px.size() * 3, '\0');
        for (std::size_t i = 0; i < px.size(); ++i) {
            raw[3 * i] = char(px[i] & 0xFF);
            raw[3 * i + 1] = char((px[i] >> 8) & 0xFF);
            raw[3 * i + 2] = char((px[i] >> 16) & 0xFF);
        }
        if (!writeFile(p, raw))
            std::abort();
        benchload::sh("vips rawload '" + p + "' '" + p + ".v' " + std::to_string(side) + " " +
                      std::to_string(side) + " 3 >/dev/null 2>&1");
    }
    return p;
}

// The kernel's coefficients and divisor.
struct peerKernel {
    int32 w = 0, h = 0;
    std::vector<int> coef;
    std::int64_t div = 1;
};
peerKernel peerKernelOf(int c)
{
    const convJob j = jobOf(c);
    peerKernel k;
    k.w = j.kernel->xs;
    k.h = j.kernel->ys;
    k.coef.assign(j.kernel->coef.begin(), j.kernel->coef.end());
    k.div = convDivisor(*j.kernel, j.params);
    return k;
}

std::string coefText(const peerKernel& k, const char* sep, double scale)
{
    std::string t;
    char b[32];
    for (std::size_t i = 0; i < k.coef.size(); ++i) {
        std::snprintf(b, sizeof b, "%s%.9g", i ? sep : "", k.coef[i] * scale);
        t += b;
    }
    return t;
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
path, side, n, what = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
img = np.fromfile(path, dtype=np.uint8).reshape(side, side, 3)
if what == "median":
    f = lambda: cv2.medianBlur(img, 3)
else:
    w, h, div = int(sys.argv[5]), int(sys.argv[6]), float(sys.argv[7])
    k = np.array([float(v) for v in sys.argv[8].split(",")], dtype=np.float32).reshape(h, w) / div
    f = lambda: cv2.filter2D(img, -1, k, borderType=cv2.BORDER_REPLICATE)
f()
for i in range(n):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)
)";

void openCv(benchmark::State& state, int c)
{
    const int32 side = cases[c].side;
    const std::string script = dir() + "/conv_opencv.py";
    if (!writeFile(script, kOpenCvScript))
        std::abort();
    std::string cmd = "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + script +
                      "' '" + bgrPicture(side) + "' " + std::to_string(side) + " " +
                      std::to_string(state.max_iterations);
    if (c == CMEDIAN) {
        cmd += " median";
    } else {
        const peerKernel k = peerKernelOf(c);
        cmd += " kernel " + std::to_string(k.w) + " " + std::to_string(k.h) + " " +
               std::to_string(k.div) + " '" + coefText(k, ",", 1.0) + "'";
    }
    benchload::replayTimes(state, benchload::peerTimes(cmd), "OpenCV peer not available");
    rate(state, side);
}

// The peer's command for a case and its plain copy of the same picture.
std::string vipsCommand(int c, bool copy)
{
    const int32 side = cases[c].side;
    const std::string in = bgrPicture(side) + ".v", out = dir() + "/vips-out.v";
    const std::string env = "VIPS_CONCURRENCY=1 vips ";
    if (copy)
        return env + "copy '" + in + "' '" + out + "'";
    if (c == CMEDIAN)
        return env + "rank '" + in + "' '" + out + "' 3 3 4";
    if (c == CSOBEL)
        return env + "sobel '" + in + "' '" + out + "'";
    const peerKernel k = peerKernelOf(c);
    std::string mat =
        std::to_string(k.w) + " " + std::to_string(k.h) + " " + std::to_string(k.div) + " 0\n";
    for (int32 y = 0; y < k.h; ++y) {
        for (int32 x = 0; x < k.w; ++x)
            mat += std::to_string(k.coef[std::size_t(y * k.w + x)]) + (x + 1 < k.w ? " " : "\n");
    }
    const std::string matPath = dir() + "/kernel-" + cases[c].name + ".mat";
    if (!writeFile(matPath, mat))
        std::abort();
    return env + "conv '" + in + "' '" + out + "' '" + matPath + "' --precision integer";
}

std::string magickCommand(int c, bool copy)
{
    const int32 side = cases[c].side;
    const std::string size = std::to_string(side) + "x" + std::to_string(side);
    std::string cmd =
        "MAGICK_THREAD_LIMIT=1 convert -size " + size + " -depth 8 'rgb:" + bgrPicture(side) + "' ";
    if (!copy) {
        if (c == CMEDIAN) {
            cmd += "-statistic Median 3x3 ";
        } else if (c != CSOBEL) {
            const peerKernel k = peerKernelOf(c);
            cmd += "-morphology Convolve '" + std::to_string(k.w) + "x" + std::to_string(k.h) +
                   ":" + coefText(k, ",", 1.0 / double(k.div)) + "' ";
        } else {
            return {};
        }
    }
    return cmd + "-depth 8 'rgb:" + dir() + "/magick-out.bgr'";
}

// Wall time of one whole process.
double processSeconds(const std::string& cmd)
{
    const auto t0 = std::chrono::steady_clock::now();
    if (cmd.empty() || !benchload::sh(cmd + " >/dev/null 2>&1"))
        return -1;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A peer as whole processes, each time net of the median of three of its plain copies.
void netProcess(benchmark::State& state, int c, std::string (*command)(int, bool))
{
    const std::string cmd = command(c, false);
    std::vector<double> copies;
    for (int k = 0; k < 3; ++k)
        copies.push_back(processSeconds(command(c, true)));
    std::sort(copies.begin(), copies.end());
    const double copy = copies[1];
    for (auto _ : state) {
        const double t = processSeconds(cmd);
        if (t < 0 || copy < 0) {
            state.SkipWithError("peer not available or failed");
            break;
        }
        state.SetIterationTime(std::max(t - copy, 1e-6));
    }
    rate(state, cases[c].side);
}

void vips(benchmark::State& state, int c)
{
    netProcess(state, c, vipsCommand);
}

void magick(benchmark::State& state, int c)
{
    netProcess(state, c, magickCommand);
}

} // namespace

#define CONV_ROWS(ID, NAME)                                                                        \
    TAV_BENCH_WALL(ours, NAME##_Ours, ID);                                                         \
    TAV_BENCH_MANUAL(openCv, NAME##_OpenCV, 5, ID);                                                \
    TAV_BENCH_MANUAL(vips, NAME##_Vips_NetOfCopy, 3, ID);                                          \
    TAV_BENCH_MANUAL(magick, NAME##_ImageMagick_NetOfCopy, 3, ID)

CONV_ROWS(C3X3, K3x3);
CONV_ROWS(CPLUS, K3plus3);
CONV_ROWS(C5X5, K5x5);
CONV_ROWS(C9X9, K9x9);
CONV_ROWS(C15X15, K15x15);
// ImageMagick's direct 65 x 65 sums take minutes a picture: its row is left out.
TAV_BENCH_WALL(ours, K65x65_2048_Ours, C65X65);
TAV_BENCH_MANUAL(openCv, K65x65_2048_OpenCV, 5, C65X65);
TAV_BENCH_MANUAL(vips, K65x65_2048_Vips_NetOfCopy, 3, C65X65);
CONV_ROWS(CMEDIAN, Median3x3);
TAV_BENCH_WALL(ours, Sobel_Ours, CSOBEL);
TAV_BENCH_MANUAL(vips, Sobel_Vips_NetOfCopy, 3, CSOBEL);

BENCHMARK_MAIN();
