// What the load benchmarks share: a seeded plasma picture of 4096 x 4096 (natural content:
// smooth areas, edges and grain at every scale; synthetic ramps decode about twice as fast),
// whole-file loads through GETHEADER, INIT_VSL and IMAGE_LOAD set up as the loader sets up a
// first load, and the peers timed the same way as we are:
//  - in one process, wall time per decode: our load beside OpenCV's imread (a Python process
//    that times its own reads and reports them);
//  - as whole processes, wall time from start to exit: this program loading the file into a
//    fresh block (`--load-once`) beside ImageMagick, libvips and OpenCV doing the same decode.
// Every benchmark reports MP/s; a peer that is not installed is reported as skipped (the peers
// are installed by scripts/bench.sh).
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "bigBlock.h"
#include "bufRecMgt.h"
#include "get_vsl.h"

namespace benchload {

constexpr int kSide = 4096;
constexpr double kPixels = double(kSide) * kSide;

/// A picture's worth of pixels for the reference loops (written before the first timing).
inline std::vector<int32u>& pixels()
{
    static std::vector<int32u> px(std::size_t(kSide) * kSide);
    return px;
}

/// The folder the benchmark files are made in: $TAV_BENCH_DIR, else `fallback`; created once.
inline std::string benchDir(const char* fallback)
{
    const char* env = std::getenv("TAV_BENCH_DIR");
    std::string p = env && *env ? env : fallback;
    if (std::system(("mkdir -p '" + p + "'").c_str()) != 0)
        std::abort();
    return p;
}

/// Reads a whole file through a 1 MiB buffer and returns its size: the floor a load of it is
/// compared with.
inline std::size_t readFileBytes(const std::string& path)
{
    static std::vector<char> buf(1 << 20);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    std::size_t total = 0, n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
        total += n;
    std::fclose(f);
    return total;
}

/// n pixels from a seeded generator: the same picture on every run and for every side.
inline std::vector<int32u> seededPixels(std::size_t n, std::uint32_t seed)
{
    std::vector<int32u> px(n);
    std::mt19937 rng(seed);
    for (int32u& p : px)
        p = int32u(rng());
    return px;
}

/// Three 256-entry tables from a seeded generator.
inline void seededTables(charu (&t)[3][256], std::uint32_t seed)
{
    std::mt19937 rng(seed);
    for (auto& g : t)
        for (auto& v : g)
            v = charu(rng());
}

/// Writes n bytes to a new file; false when any step fails.
inline bool writeFile(const std::string& path, const void* data, std::size_t n)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(data, 1, n, f) == n;
    return std::fclose(f) == 0 && ok;
}

inline bool fileExists(const std::string& p)
{
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

/// Runs a shell command; false when it fails.
inline bool sh(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

/// Makes `path` with `cmd + " '" + path + "'"` unless it exists.
inline std::string made(const std::string& path, const std::string& cmd)
{
    if (!fileExists(path) && !sh(cmd + " '" + path + "'"))
        std::abort();
    return path;
}

namespace detail {

inline float lattice(std::int32_t x, std::int32_t y, std::uint32_t seed)
{
    std::uint32_t h = std::uint32_t(x) * 374761393u + std::uint32_t(y) * 668265263u + seed;
    h = (h ^ (h >> 13)) * 1274126177u;
    h ^= h >> 16;
    return float(h & 0xFFFFFF) / float(0x1000000);
}

// Value noise, smoothly interpolated between lattice points.
inline float noise(float x, float y, std::uint32_t seed)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const auto ix = std::int32_t(fx), iy = std::int32_t(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    const float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

} // namespace detail

/// Writes a kSide x kSide seeded plasma PPM unless it exists: per channel, fractal noise of ten
/// octaves from 1024-pixel swells down to 2-pixel grain. With cube216 every channel is cut to
/// six levels (216 colours, for GIF).
inline const std::string& plasmaPpm(const std::string& path, bool cube216 = false)
{
    if (fileExists(path))
        return path;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fprintf(f, "P6\n%d %d\n255\n", kSide, kSide);
    std::vector<unsigned char> row(std::size_t(kSide) * 3);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x)
            for (int c = 0; c < 3; ++c) {
                float sum = 0, amp = 0.5f, freq = 1.0f / 1024;
                for (int o = 0; o < 10; ++o, amp *= 0.55f, freq *= 2)
                    sum +=
                        amp * detail::noise(float(x) * freq, float(y) * freq,
                                            0x9E3779B9u * std::uint32_t(c + 1) + std::uint32_t(o));
                int v = int((sum - 0.25f) * 2.0f * 255.0f);
                v = v < 0 ? 0 : v > 255 ? 255 : v;
                if (cube216)
                    v = (v * 6 / 256) * 51;
                row[std::size_t(x) * 3 + std::size_t(c)] = static_cast<unsigned char>(v);
            }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
    return path;
}

/// The folder of the reader benchmarks: both programs share it, so the plasma and the files
/// made from it are made once.
inline const std::string& readersDir()
{
    static const std::string d = benchDir("/tmp/tav_bench_readers");
    return d;
}

/// The plasma PPM the reader benchmarks' files are made from.
inline const std::string& readersPpm()
{
    static const std::string p = plasmaPpm(readersDir() + "/plasma4096.ppm");
    return p;
}

/// One load of a file as the loader runs it: the header read on construction (GETHEADER,
/// `levels` DERES levels down); the caller then says in fd() what to load and load() runs it.
class fileLoad {
public:
    explicit fileLoad(const std::string& path, int levels = 0)
    {
        initIdes(&id_);
        b_.imgDes = &id_;
        id_.fd[0].deresLevel = shortu(levels);
        fp_ = std::fopen(path.c_str(), "rb");
        if (!fp_) {
            st_ = -100;
            return;
        }
        st_ = GETHEADER(fp_, &b_, path.c_str(), &nAnc_, anc_, false);
        if (st_ != 0) {
            std::fclose(fp_);
            fp_ = nullptr;
        }
    }
    ~fileLoad()
    {
        if (fp_)
            std::fclose(fp_);
    }
    fileLoad(const fileLoad&) = delete;
    fileLoad& operator=(const fileLoad&) = delete;

    /// 0 when the header was read, else the failing status.
    int status() const { return st_; }
    fdes* fd() { return &id_.fd[0]; }
    int nAnc() const { return nAnc_; }

    /// Loads into `px`, a block of width x height; 0 or the first failing status. The load
    /// owns the file from here on.
    int load(int32u* px, int width, int height)
    {
        if (st_ != 0)
            return st_;
        b_.imgbuf = px;
        b_.width = width;
        b_.height = height;
        std::FILE* fp = fp_;
        fp_ = nullptr;
        int st = INIT_VSL(fp, &b_, anc_, nAnc_);
        VSL.destUnset = true;
        if (st == 0)
            st = IMAGE_LOAD();
        FREE_VSL();
        return st;
    }

private:
    ides id_;
    bufdes b_{};
    std::FILE* fp_ = nullptr;
    int32 nAnc_ = 0;
    charu* anc_[4] = {};
    int st_ = 0;
};

/// Loads the whole file into `px` (kSide x kSide) as the loader's first load into a block that
/// the picture covers; 0 or the first failing status.
inline int loadInto(const std::string& path, int32u* px)
{
    fileLoad l(path);
    if (l.status() != 0)
        return l.status();
    fdes* fd = l.fd();
    fd->vslCtlm |= fd->bands > 1 ? VSL_RGB : (l.nAnc() > 0 ? VSL_PALETTE : VSL_GREY);
    fd->dBands = fd->bands > 1 ? fd->bands : 1;
    for (int k = 0; k < fd->dBands; ++k)
        fd->Bands[k] = static_cast<std::int16_t>(k + 1);
    fd->lCols = fd->dCols = fd->fCols;
    fd->lRows = fd->dRows = fd->fRows;
    fd->deres[0] = fd->deres[1] = 1.0;
    return l.load(px, kSide, kSide);
}

/// Loads the whole file into a fresh pixel block, as the loader's first load of a picture (and
/// as a peer's decode, which delivers its picture in new memory); 0 or the failing status.
inline int loadFresh(const std::string& path)
{
    auto* px = static_cast<int32u*>(bigAlloc(std::size_t(kSide) * kSide * 4));
    const int st = px ? loadInto(path, px) : -1;
    bigFree(px);
    return st;
}

/// Sets the MP/s counter of a benchmark.
inline void rate(benchmark::State& state)
{
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

/// The benchmark file, made on first use (so that listing or the --load-once mode makes none).
using fileFn = const std::string& (*)();

/// Our load in this process into a fresh block each time, wall time.
inline void ourLoad(benchmark::State& state, fileFn file)
{
    const std::string& path = file();
    for (auto _ : state)
        if (loadFresh(path) != 0) {
            state.SkipWithError("load failed");
            break;
        }
    rate(state);
}

/// The Python that has the OpenCV peer ($TAV_PEER_PYTHON, else the system's).
inline std::string peerPython()
{
    const char* env = std::getenv("TAV_PEER_PYTHON");
    return env && *env ? env : "/usr/bin/python3";
}

/// Whole-process commands: this program loading the file into a fresh block, and the peers
/// making the same decode into memory, one thread each.
inline std::string ourProcess(const std::string& path)
{
    return "/proc/" + std::to_string(getpid()) + "/exe --load-once '" + path + "'";
}
inline std::string imageMagickProcess(const std::string& path)
{
    return "MAGICK_THREAD_LIMIT=1 convert '" + path + "' rgba:/dev/null";
}
inline std::string vipsProcess(const std::string& path)
{
    // avg makes vips decode every pixel; the mean it prints is thrown away.
    return "VIPS_CONCURRENCY=1 vips avg '" + path + "' > /dev/null";
}
inline std::string openCvProcess(const std::string& path)
{
    return "OPENCV_FOR_THREADS_NUM=1 " + peerPython() +
           " -c 'import cv2,sys; cv2.setNumThreads(1); "
           "sys.exit(cv2.imread(sys.argv[1], cv2.IMREAD_UNCHANGED) is None)' '" +
           path + "'";
}

/// Runs a peer that times itself and prints one time in seconds per line; the times.
inline std::vector<double> peerTimes(const std::string& cmd)
{
    std::vector<double> times;
    if (std::FILE* p = popen((cmd + " 2>/dev/null").c_str(), "r")) {
        double t = 0;
        while (std::fscanf(p, "%lf", &t) == 1)
            times.push_back(t);
        pclose(p);
    }
    return times;
}

/// Reports times measured elsewhere as the iterations of a manual-time benchmark; a peer that
/// gave fewer times than iterations is reported skipped with `missing`.
inline void replayTimes(benchmark::State& state, const std::vector<double>& times,
                        const char* missing = "peer not available or failed")
{
    std::size_t i = 0;
    for (auto _ : state) {
        if (i >= times.size()) {
            state.SkipWithError(missing);
            break;
        }
        state.SetIterationTime(times[i++]);
    }
    rate(state);
}

/// One whole process per iteration, wall time from start to exit (manual time); an empty
/// command (a peer whose input could not be made) skips.
inline void timeProcess(benchmark::State& state, const std::string& cmd)
{
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        if (cmd.empty() || !sh(cmd + " >/dev/null 2>&1")) {
            state.SkipWithError("peer not available or failed");
            break;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    rate(state);
}

/// A whole process per iteration on the benchmark file, wall time from start to exit.
inline void wholeProcess(benchmark::State& state, fileFn file,
                         std::string (*command)(const std::string&))
{
    timeProcess(state, command(file()));
}

/// OpenCV's imread in its own process, timed there per read after one warm-up read, as our
/// in-process loads are timed (manual time, one iteration per timed read). A read that gives
/// no picture (a format OpenCV does not decode) reports the peer as not available.
inline void openCvInProcess(benchmark::State& state, fileFn file)
{
    const int reads = int(state.max_iterations);
    const std::string cmd =
        "OPENCV_FOR_THREADS_NUM=1 " + peerPython() +
        " -c 'import cv2,sys,time\ncv2.setNumThreads(1)\np=sys.argv[1]\ncv2.imread(p)\n"
        "for i in range(int(sys.argv[2])):\n t=time.perf_counter()\n"
        " im=cv2.imread(p, cv2.IMREAD_UNCHANGED)\n t=time.perf_counter()-t\n"
        " if im is None: sys.exit(1)\n print(t)' '" +
        file() + "' " + std::to_string(reads);
    replayTimes(state, peerTimes(cmd), "OpenCV peer not available");
}

/// The `--load-once FILE` mode of a benchmark program: one load into a fresh pixel block, as
/// the loader's first load of a picture; exit status 0 when it loaded. Returns -1 for any
/// other command line (run the benchmarks).
inline int loadOnceMain(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--load-once") != 0)
        return -1;
    return loadFresh(argv[2]) == 0 ? 0 : 1;
}

/// main() of a benchmark program: `onceMain`, the program's single-run mode for the
/// whole-process rows (returns -1 for a command line that is not its own), else the benchmarks.
inline int benchMain(int argc, char** argv, int (*onceMain)(int, char**))
{
    if (onceMain)
        if (const int st = onceMain(argc, argv); st >= 0)
            return st;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace benchload

/// A row timed in this process, wall time, in milliseconds.
#define TAV_BENCH_WALL(FN, NAME, ...)                                                              \
    BENCHMARK_CAPTURE(FN, NAME, __VA_ARGS__)->Unit(benchmark::kMillisecond)->UseRealTime()

/// A row of `N` iterations whose times the benchmark sets itself (whole processes, or times a
/// peer took in its own process), in milliseconds.
#define TAV_BENCH_MANUAL(FN, NAME, N, ...)                                                         \
    BENCHMARK_CAPTURE(FN, NAME, __VA_ARGS__)                                                       \
        ->Unit(benchmark::kMillisecond)                                                            \
        ->UseManualTime()                                                                          \
        ->Iterations(N)

/// Registers the rows of one file: our load in process beside OpenCV's, then whole processes
/// (ours, ImageMagick, libvips, OpenCV). `F` names the format, `FILE` is a benchload::fileFn.
/// The includer brings ourLoad, openCvInProcess and wholeProcess into scope (the registration
/// macro takes plain names).
#define TAV_BENCH_PEERS(F, FILE)                                                                   \
    TAV_BENCH_WALL(ourLoad, F##_Ours_InProcess, FILE);                                             \
    TAV_BENCH_MANUAL(openCvInProcess, F##_OpenCV_InProcess, 5, FILE);                              \
    TAV_BENCH_MANUAL(wholeProcess, F##_Ours_Process, 5, FILE, benchload::ourProcess);              \
    TAV_BENCH_MANUAL(wholeProcess, F##_ImageMagick_Process, 5, FILE,                               \
                     benchload::imageMagickProcess);                                               \
    TAV_BENCH_MANUAL(wholeProcess, F##_Vips_Process, 5, FILE, benchload::vipsProcess);             \
    TAV_BENCH_MANUAL(wholeProcess, F##_OpenCV_Process, 5, FILE, benchload::openCvProcess)

/// main() of a load benchmark: the --load-once mode, else the benchmarks.
#define TAV_BENCH_LOAD_MAIN()                                                                      \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        return benchload::benchMain(argc, argv, benchload::loadOnceMain);                          \
    }
