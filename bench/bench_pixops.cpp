// PIXEL OPS throughput (megapixels per second) over a whole 4096 x 4096 iBUFF of seeded BGRA
// pixels in GLOBAL scope, each item run as the menu runs it (PIXEL_OPS with its menu values):
// B & W (RGB, CONTEMP), BURN IN LUTS (three random tables), PSEUDOCOLOR (red, NORMAL, 256),
// SWAP GUNS (red and blue) and RANDOM (each 16 KiB line through the file cipher). In the same
// run and on the same pixels:
//  - in one process: OpenCV on one thread in its own Python, timing each call there
//    (cvtColor BGRA2GRAY and BGRA2RGBA, LUT with four-channel tables, applyColorMap JET on
//    one channel);
//  - as whole processes, from start to exit, net of the same tool's plain copy of the picture
//    (each round runs the operation and the copy, and the difference is the round's time):
//    libvips with one worker (`colourspace b-w`, `maplut`) and ImageMagick with one thread
//    (`-colorspace Gray`, `-clut`, `-channel-fx 'red<=>blue'`);
//    The table rows of libvips and ImageMagick serve PSEUDOCOLOR too: a palette from one gun
//    is one table look-up per pixel, as their table pass is;
//  - OpenSSL's AES-256-CBC encryption rate on 16 KiB blocks (`openssl speed -evp`, in wall
//    time as ours: -elapsed), turned into the time of one picture's bytes.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchLoad.h"
#include "benchView.h"
#include "bufRecMgt.h"
#include "pixelItems.h"
#include "pixelOps.h"
#include "uiPort.h"
#include "viewState.h"

namespace {

using benchload::kPixels;
using benchload::kSide;
using benchload::rate;
using benchload::writeFile;

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_pixops");
    return d;
}

std::vector<int32u> picture()
{
    return benchload::seededPixels(std::size_t(kSide) * kSide, 21);
}

// Buffer 1 holding the picture, current in the view state, GLOBAL scope.
bufdes* buffer()
{
    static bufdes* bd = [] {
        bufdes* t = INIT_BUFMGT();
        int st = 0;
        int32u* px = CREATE_iBUFF(&t[0], kSide, kSide, &st);
        if (!px)
            std::abort();
        const std::vector<int32u> pic = picture();
        std::memcpy(px, pic.data(), pic.size() * 4);
        t[0].numImgs = 1;
        vState.bufObjs = t;
        vState.bd = &t[0];
        return &t[0];
    }();
    return bd;
}

// Random tables, the same for BURN IN LUTS and the peers' LUT rows.
const charu (&tables())[3][256]
{
    static charu t[3][256];
    static bool made = false;
    if (!made) {
        benchload::seededTables(t, 15);
        made = true;
    }
    return t;
}

// One PIXEL OPS choice per iteration over the whole buffer. BURN IN LUTS gets its tables back
// before each run (the run resets them), outside the timing.
void ours(benchmark::State& state, int32 item, int32 a, int32 b, int32 c)
{
    static benchload::silentUi ui;
    bufdes* bd = buffer();
    setViewUi(&ui);
    const int32 pv[MAX_PUP_LEVEL] = {3, item, a, b, c};
    for (auto _ : state) {
        state.PauseTiming();
        vState.dmode |= modeGLOBAL_SCOPE;
        pixelGlobalCount = PX_GLOBAL_REPEAT;
        if (item == PX_BURN_IN) {
            std::memcpy(bd->tLut, tables(), sizeof tables());
            vState.gunMask = 0;
            vState.dfltLutOn = false;
        }
        state.ResumeTiming();
        PIXEL_OPS(&vState, pv, bd);
        benchmark::DoNotOptimize(bd->imgbuf);
    }
    setViewUi(nullptr);
    rate(state);
}

// The peers' files, made once: the picture as raw BGRA bytes and as libvips' own file (four
// sRGB bands), the tables as a 256 x 1 picture (blue, green, red, alpha identity) in both.
const std::string& rawPicture()
{
    static const std::string p = [] {
        const std::string path = dir() + "/pic.raw";
        const std::vector<int32u> px = picture();
        if (!writeFile(path, px.data(), px.size() * 4))
            std::abort();
        charu t[256][4];
        for (int i = 0; i < 256; ++i) {
            t[i][0] = tables()[2][i];
            t[i][1] = tables()[1][i];
            t[i][2] = tables()[0][i];
            t[i][3] = charu(i);
        }
        if (!writeFile(dir() + "/lut.raw", t, sizeof t))
            std::abort();
        benchload::sh("cd '" + dir() + "' && vips rawload pic.raw raw.v " + std::to_string(kSide) +
                      " " + std::to_string(kSide) +
                      " 4 >/dev/null 2>&1 && vips copy raw.v pic.v --interpretation srgb "
                      ">/dev/null 2>&1 && vips rawload lut.raw lut.v 256 1 4 >/dev/null 2>&1");
        return path;
    }();
    return p;
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
what, n = sys.argv[3], int(sys.argv[4])
img = np.fromfile(sys.argv[1], dtype=np.uint8).reshape(4096, 4096, 4)
lut = np.fromfile(sys.argv[2], dtype=np.uint8).reshape(256, 1, 4)
red = np.ascontiguousarray(img[:, :, 2])
# Each call writes into an output made beforehand, as ours writes in place.
if what == 'gray':
    out = cv2.cvtColor(img, cv2.COLOR_BGRA2GRAY)
    f = lambda: cv2.cvtColor(img, cv2.COLOR_BGRA2GRAY, dst=out)
elif what == 'rgba':
    out = cv2.cvtColor(img, cv2.COLOR_BGRA2RGBA)
    f = lambda: cv2.cvtColor(img, cv2.COLOR_BGRA2RGBA, dst=out)
elif what == 'lut':
    out = cv2.LUT(img, lut)
    f = lambda: cv2.LUT(img, lut, dst=out)
else:
    out = cv2.applyColorMap(red, cv2.COLORMAP_JET)
    f = lambda: cv2.applyColorMap(red, cv2.COLORMAP_JET, dst=out)
f()
for i in range(n):
    t = time.perf_counter()
    f()
    print(time.perf_counter() - t, flush=True)
)";

void openCv(benchmark::State& state, const char* what)
{
    const std::string script = dir() + "/pixops_opencv.py";
    if (!writeFile(script, kOpenCvScript, std::strlen(kOpenCvScript)))
        std::abort();
    const std::string cmd = "OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + script +
                            "' '" + rawPicture() + "' '" + dir() + "/lut.raw' " + what + " " +
                            std::to_string(state.max_iterations);
    benchload::replayTimes(state, benchload::peerTimes(cmd));
}

double seconds(const std::string& cmd, bool* ok)
{
    const auto t0 = std::chrono::steady_clock::now();
    *ok = *ok && benchload::sh(cmd + " >/dev/null 2>&1");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// A whole-process operation net of the same tool's copy: both run every round.
void netProcess(benchmark::State& state, const std::string& op, const std::string& copy)
{
    rawPicture();
    double opSum = 0, copySum = 0;
    int rounds = 0;
    for (auto _ : state) {
        bool ok = true;
        const double t = seconds("cd '" + dir() + "' && " + op, &ok);
        const double c = seconds("cd '" + dir() + "' && " + copy, &ok);
        if (!ok) {
            state.SkipWithError("peer not available or failed");
            break;
        }
        opSum += t;
        copySum += c;
        ++rounds;
        state.SetIterationTime(std::max(t - c, 1e-6));
    }
    if (rounds) {
        state.counters["op_ms"] = 1e3 * opSum / rounds;
        state.counters["copy_ms"] = 1e3 * copySum / rounds;
    }
    rate(state);
}

const std::string kVipsCopy = "VIPS_CONCURRENCY=1 vips copy pic.v out.v";
const std::string kMagickIn =
    "MAGICK_THREAD_LIMIT=1 convert -size 4096x4096 -depth 8 rgba:pic.raw ";
const std::string kMagickOut = " -depth 8 rgba:out.raw";

void vips(benchmark::State& state, const char* op)
{
    netProcess(state, std::string("VIPS_CONCURRENCY=1 vips ") + op, kVipsCopy);
}

void imageMagick(benchmark::State& state, const char* op)
{
    netProcess(state, kMagickIn + op + kMagickOut, kMagickIn + kMagickOut);
}

// ImageMagick's exchange of red and blue: -channel-fx where the build knows it, else (older
// ImageMagick 6 builds) the same exchange as separate channels swapped and combined.
void imageMagickSwap(benchmark::State& state, int)
{
    static const bool channelFx = benchload::sh(
        "MAGICK_THREAD_LIMIT=1 convert -size 1x1 xc:red -channel-fx 'red<=>blue' null: "
        ">/dev/null 2>&1");
    imageMagick(state, channelFx ? "-channel-fx 'red<=>blue'"
                                 : "-channel RGBA -separate -swap 0,2 -combine");
}

// OpenSSL's own figure for AES-256-CBC on 16 KiB blocks (a scope line of 4096 pixels), as the
// time one picture's bytes would take.
void openSsl(benchmark::State& state)
{
    for (auto _ : state) {
        double bytesPerSec = 0;
        if (std::FILE* p =
                popen("openssl speed -elapsed -evp aes-256-cbc -bytes 16384 -seconds 1 -mr "
                      "2>/dev/null",
                      "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, p))
                if (std::strncmp(line, "+F:", 3) == 0)
                    if (const char* last = std::strrchr(line, ':'))
                        bytesPerSec = std::atof(last + 1);
            pclose(p);
        }
        if (bytesPerSec <= 0) {
            state.SkipWithError("openssl not available or failed");
            break;
        }
        state.SetIterationTime(kPixels * 4 / bytesPerSec);
    }
    rate(state);
}

TAV_BENCH_WALL(ours, BW_Contemp_Ours_InProcess, PX_BW, 7, 2, 0);
TAV_BENCH_MANUAL(openCv, BW_OpenCV_BGRA2GRAY_InProcess, 20, "gray");
TAV_BENCH_MANUAL(vips, BW_Vips_ColourspaceBW_NetProcess, 5, "colourspace pic.v out.v b-w");
TAV_BENCH_MANUAL(imageMagick, BW_ImageMagick_ColorspaceGray_NetProcess, 5, "-colorspace Gray");

TAV_BENCH_WALL(ours, BurnIn_Ours_InProcess, PX_BURN_IN, 7, 0, 0);
TAV_BENCH_MANUAL(openCv, BurnIn_OpenCV_LUT_InProcess, 20, "lut");
TAV_BENCH_MANUAL(vips, BurnIn_Vips_Maplut_NetProcess, 5, "maplut pic.v out.v lut.v");
TAV_BENCH_MANUAL(imageMagick, BurnIn_ImageMagick_Clut_NetProcess, 5,
                 "-size 256x1 -depth 8 rgba:lut.raw -interpolate Integer -channel RGB -clut");

TAV_BENCH_WALL(ours, Pseudo_Ours_InProcess, PX_PSEUDO, 1, 1, 0);
TAV_BENCH_MANUAL(openCv, Pseudo_OpenCV_ApplyColorMap_InProcess, 20, "colormap");

TAV_BENCH_WALL(ours, Swap_RedBlue_Ours_InProcess, PX_SWAP_GUNS, 5, 0, 0);
TAV_BENCH_MANUAL(openCv, Swap_OpenCV_BGRA2RGBA_InProcess, 20, "rgba");
TAV_BENCH_MANUAL(imageMagickSwap, Swap_ImageMagick_RedBlue_NetProcess, 5, 0);

TAV_BENCH_WALL(ours, Random_Ours_InProcess, PX_RANDOM, 0, 0, 0);
BENCHMARK(openSsl)
    ->Name("Random_OpenSSL_AES256CBC_Speed")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, nullptr);
}
