// Throughput (megapixels per second) of storing an HDR band with both statistics passes: the
// seeded 4096 x 4096 plasma band of five decades (benchHdr.h) as a 16-bit PGM and as float
// samples (.npy), each file read row by row, the rows widened to float and stored through
// PUT_sBUFF_HEADER, PUT_sBUFF_SCANLINE (first pass) and END_sBUFF_LOAD (second pass, read
// back from the folio), as the scanline pipeline stores an HDR load. Beside it, on the same
// file and timed the same way (wall time):
//  - reading the file's bytes, the floor any load stands on, and the same rows written to a
//    scratch file and read back without statistics, the floor of storing through a folio;
//  - OpenCV in its own Python timing each read with extremes, a 1024-bin cv2.calcHist and
//    cv2.meanStdDev (one thread), in process as ours is;
//  - libvips' `vips hist_find` as a whole process (VIPS_CONCURRENCY=1).
// With the test load driver built alongside (a tree configured with the tests), whole HDR loads
// through the loader: they report the loader's refusal while HDR loads are refused.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "benchHdr.h"
#include "folio_utl.h"
#include "sbuffActive.h"

#if defined(TAV_BENCH_LOADDRV)
#include "ldrConsole.h"
#include "loaddrv.h"
#include "tav_load.h"
#endif

namespace {

using benchload::kSide;

// The file's samples of one row as floats: 16-bit big-endian PGM samples or float32.
struct rowSource {
    std::FILE* f = nullptr;
    bool wide16 = false;
    std::vector<unsigned char> raw;

    rowSource(const std::string& path, bool pgm16) : wide16(pgm16)
    {
        f = std::fopen(path.c_str(), "rb");
        raw.resize(std::size_t(kSide) * (pgm16 ? 2 : 4));
        // Both headers end at a fixed place: "P5\n4096 4096\n65535\n" and the .npy preamble.
        if (f && std::fseek(f, pgm16 ? 19 : long(benchhdr::npyHeader().size()), SEEK_SET) != 0) {
            std::fclose(f);
            f = nullptr;
        }
    }
    ~rowSource()
    {
        if (f)
            std::fclose(f);
    }
    rowSource(const rowSource&) = delete;
    rowSource& operator=(const rowSource&) = delete;

    bool next(float* out)
    {
        if (!f || std::fread(raw.data(), 1, raw.size(), f) != raw.size())
            return false;
        if (wide16)
            for (int i = 0; i < kSide; ++i)
                out[i] =
                    float(unsigned(raw[std::size_t(i) * 2]) << 8 | raw[std::size_t(i) * 2 + 1]);
        else
            std::memcpy(out, raw.data(), raw.size());
        return true;
    }
};

folioDesc bandDesc()
{
    folioDesc d{};
    d.cols = d.rows = int32u(kSide);
    d.aoi[2] = d.aoi[3] = int32u(kSide - 1);
    d.nBands = d.nScaleBands = 1;
    d.inLayout = 1;
    d.dType = DTYPE_FLOAT32;
    d.srcBuf = 1;
    d.gunBand[0] = 1;
    d.defined = 1;
    std::strcpy(d.process, "bench");
    return d;
}

// One store of the file into the Loader sBUFF; 0 or the first failing status.
int storeBand(const std::string& path, bool pgm16)
{
    CLAIM_FOLIOS(activeSbuffMask());
    rowSource src(path, pgm16);
    std::vector<float> row(kSide);
    folioDesc d = bandDesc();
    if (int st = PUT_sBUFF_HEADER(&d); st != 0)
        return st;
    for (int r = 0; r < kSide; ++r) {
        if (!src.next(row.data()))
            return -100;
        if (int st = PUT_sBUFF_SCANLINE(row.data(), row.size()); st != 0)
            return st;
    }
    return END_sBUFF_LOAD();
}

void ourStore(benchmark::State& state, bool pgm16)
{
    const std::string path = pgm16 ? benchhdr::pgm16Path() : benchhdr::npyPath();
    resetFolios();
    resetSbuffs();
    for (auto _ : state)
        if (const int st = storeBand(path, pgm16); st != 0) {
            state.SkipWithError(("store failed: " + std::to_string(st)).c_str());
            break;
        }
    resetFolios();
    benchload::rate(state);
}

void readBytes(benchmark::State& state, bool pgm16)
{
    const std::string path = pgm16 ? benchhdr::pgm16Path() : benchhdr::npyPath();
    for (auto _ : state)
        benchmark::DoNotOptimize(benchload::readFileBytes(path));
    benchload::rate(state);
}

// The folio's share on its own: the file's rows read, widened and written to a scratch file,
// then read back, with no statistics; what any store through a scratch file costs.
void scratchRoundTrip(benchmark::State& state, bool pgm16)
{
    const std::string path = pgm16 ? benchhdr::pgm16Path() : benchhdr::npyPath();
    std::vector<float> row(kSide);
    for (auto _ : state) {
        std::FILE* tmp = std::tmpfile();
        rowSource src(path, pgm16);
        bool ok = tmp != nullptr;
        for (int r = 0; ok && r < kSide; ++r)
            ok = src.next(row.data()) && std::fwrite(row.data(), 4, row.size(), tmp) == row.size();
        ok = ok && std::fflush(tmp) == 0 && std::fseek(tmp, 0, SEEK_SET) == 0;
        for (int r = 0; ok && r < kSide; ++r)
            ok = std::fread(row.data(), 4, row.size(), tmp) == row.size();
        if (tmp)
            std::fclose(tmp);
        if (!ok) {
            state.SkipWithError("scratch file failed");
            break;
        }
        benchmark::DoNotOptimize(row.data());
    }
    benchload::rate(state);
}

constexpr const char* kOpenCvScript = R"(import sys, time
import cv2, numpy as np
cv2.setNumThreads(1)
path, n = sys.argv[1], int(sys.argv[2])
def read():
    if path.endswith(".npy"):
        return np.load(path)
    return cv2.imread(path, cv2.IMREAD_UNCHANGED)
def stats():
    a = read()
    lo, hi, _, _ = cv2.minMaxLoc(a)
    h = cv2.calcHist([a], [0], None, [1024], [lo, hi + (hi - lo) / 1023.0])
    m, s = cv2.meanStdDev(a)
    return h, m, s
stats()
for i in range(n):
    t = time.perf_counter()
    stats()
    print(time.perf_counter() - t, flush=True)
)";

void openCvInProcess(benchmark::State& state, bool pgm16)
{
    const std::string script = benchhdr::pythonScript("stats_opencv.py", kOpenCvScript);
    const std::string path = pgm16 ? benchhdr::pgm16Path() : benchhdr::npyPath();
    benchload::replayTimes(
        state,
        benchload::peerTimes("OPENCV_FOR_THREADS_NUM=1 " + benchload::peerPython() + " '" + script +
                             "' '" + path + "' " + std::to_string(state.max_iterations)));
}

void vipsProcess(benchmark::State& state, bool pgm16)
{
    const std::string in = pgm16 ? benchhdr::pgm16Path() : benchhdr::vipsPath();
    benchload::timeProcess(state, in.empty() ? std::string()
                                             : "VIPS_CONCURRENCY=1 vips hist_find '" + in + "' '" +
                                                   benchhdr::dir() + "/hist-out.v'");
}

#if defined(TAV_BENCH_LOADDRV)
// A whole load of the file through the loader into an iBUFF, as `tav` loads it.
void loaderLoad(benchmark::State& state, bool pgm16)
{
    const std::string path = pgm16 ? benchhdr::pgm16Path() : benchhdr::tiffPath();
    loaddrv::reset();
    for (auto _ : state) {
        shortu current = 0;
        const shortu st = TAV_LOAD(bufObjs, &current, SRC_STRING, ("i='" + path + "'").c_str());
        if (st != 0) {
            std::string msg = ldrMessageArea();
            while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' '))
                msg.pop_back();
            if (const auto nl = msg.rfind('\n'); nl != std::string::npos)
                msg = msg.substr(nl + 1);
            state.SkipWithError(("load status " + std::to_string(st) + ": " + msg).c_str());
            break;
        }
    }
    benchload::rate(state);
}
#endif

#define TAV_STATS_ROWS(F, PGM16)                                                                   \
    TAV_BENCH_WALL(ourStore, F##_Ours_BothPasses_InProcess, PGM16);                                \
    TAV_BENCH_WALL(readBytes, F##_ReadBytes, PGM16);                                               \
    TAV_BENCH_WALL(scratchRoundTrip, F##_ScratchFileRoundTrip, PGM16);                             \
    TAV_BENCH_MANUAL(openCvInProcess, F##_OpenCV_ReadCalcHist_InProcess, 10, PGM16);               \
    TAV_BENCH_MANUAL(vipsProcess, F##_Vips_HistFind_Process, 5, PGM16)

TAV_STATS_ROWS(Pgm16, true);
TAV_STATS_ROWS(Float, false);
#if defined(TAV_BENCH_LOADDRV)
TAV_BENCH_WALL(loaderLoad, Pgm16_Ours_LoaderLoad, true);
TAV_BENCH_WALL(loaderLoad, FloatTiff_Ours_LoaderLoad, false);
#endif

} // namespace

BENCHMARK_MAIN();
