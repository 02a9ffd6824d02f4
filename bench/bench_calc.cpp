// Calculator throughput (megapixels per second) in GLOBAL scope over a whole 4096 x 4096 iBUFF
// holding the seeded plasma picture (benchLoad.h): "R G + 2 / : B" and a five-operator line,
// each without and with the user accumulator @1 (a single-band INT32 accumulator of the
// buffer's size, kept in its scratch file) as an operand. In the same run and on the same
// pixels, timed the same way (wall time):
//  - in one process: CALC running the typed line over the buffer, beside numpy on the packed
//    uint32 pixels and an int32 accumulator (calc_numpy.py, timed in its own process per run);
//  - as whole processes, from start to exit: this program reading the picture and running the
//    line (`--calc-once LINE`; with an accumulator it first writes @1 from the green gun, as the
//    peers read it from a file), beside libvips (`vips add` and `vips linear`, one worker, on
//    bands extracted beforehand) and ImageMagick -fx (one thread).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "benchLoad.h"
#include "benchView.h"
#include "bufRecMgt.h"
#include "calculator.h"
#include "folio_utl.h"
#include "textConsole.h"
#include "uiPort.h"
#include "viewState.h"

namespace {

using benchload::kSide;

struct lineCase {
    const char* key;  ///< name for the numpy peer
    const char* text; ///< the calculator line
    bool acc;         ///< reads @1
    const char* vips; ///< the libvips chain (bands R.v, G.v, B.v, acc.v in the folder)
    const char* fx;   ///< ImageMagick's channel and expression
};

const lineCase kMean{"mean", "R G + 2 / : B", false,
                     "vips add R.v G.v t.v && vips linear t.v o.v 0.5 0 --uchar",
                     "plasma.ppm -channel B -fx '(r+g)/2'"};
const lineCase kFive{"five", "R G + B + 3 * 4 / 255 & : G", false,
                     "vips add R.v G.v t.v && vips add t.v B.v t2.v && "
                     "vips linear t2.v o.v 0.75 0 --uchar",
                     "plasma.ppm -channel G -fx '(r+g+b)*3/4'"};
const lineCase kMeanAcc{"meanacc", "R @1R + 2 / : B", true,
                        "vips add R.v acc.v t.v && vips linear t.v o.v 0.5 0 --uchar",
                        "plasma.ppm acc.pgm -channel B -fx '(u.r+v.r)/2'"};
const lineCase kFiveAcc{"fiveacc", "R @1R + G + 3 * 4 / 255 & : G", true,
                        "vips add R.v acc.v t.v && vips add t.v G.v t2.v && "
                        "vips linear t2.v o.v 0.75 0 --uchar",
                        "plasma.ppm acc.pgm -channel G -fx '(u.r+v.r+u.g)*3/4'"};

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_calc");
    return d;
}

const std::string& ppm()
{
    static const std::string p = benchload::plasmaPpm(dir() + "/plasma.ppm");
    return p;
}

// A console on which one line is typed, then the empty line that leaves.
class oneLine final : public consolePort {
public:
    explicit oneLine(std::string l) : line_(std::move(l)) {}
    bool open(const std::vector<std::string>&, const std::vector<std::string>&, int) override
    {
        return true;
    }
    void highlight(int32u) override {}
    void put(const std::string& text, int colour) override
    {
        if (colour != 1)
            std::fprintf(stderr, "calc: %s\n", text.c_str());
    }
    std::string get(const std::string&, std::size_t) override
    {
        std::string l;
        l.swap(line_);
        return l;
    }
    void hide() override {}
    void show() override {}
    void close() override {}

private:
    std::string line_;
};

// The plasma picture's samples as packed pixels (alpha 0), read straight from the PPM that
// the peers read.
bool readPlasma(int32u* px)
{
    std::FILE* f = std::fopen(ppm().c_str(), "rb");
    int w = 0, h = 0, maxv = 0;
    if (!f || std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) != 3 || w != kSide || h != kSide ||
        std::fgetc(f) == EOF) {
        if (f)
            std::fclose(f);
        return false;
    }
    std::vector<unsigned char> row(std::size_t(kSide) * 3);
    for (int y = 0; y < kSide; ++y) {
        if (std::fread(row.data(), 1, row.size(), f) != row.size()) {
            std::fclose(f);
            return false;
        }
        for (int x = 0; x < kSide; ++x) {
            const unsigned char* s = &row[std::size_t(x) * 3];
            px[std::size_t(y) * kSide + std::size_t(x)] =
                int32u(s[0]) << 16 | int32u(s[1]) << 8 | int32u(s[2]);
        }
    }
    std::fclose(f);
    return true;
}

// Buffer 1 holding the plasma picture, current in the view state.
bufdes* buffer()
{
    static bufdes* bd = [] {
        bufdes* t = INIT_BUFMGT();
        int st = 0;
        int32u* px = CREATE_iBUFF(&t[0], kSide, kSide, &st);
        if (!px || !readPlasma(px))
            std::abort();
        t[0].numImgs = 1;
        vState.bufObjs = t;
        vState.bd = &t[0];
        return &t[0];
    }();
    return bd;
}

void runCalc(const std::string& line)
{
    static benchload::silentUi ui;
    oneLine con(line);
    setViewUi(&ui);
    setViewConsole(&con);
    vState.dmode |= modeGLOBAL_SCOPE;
    CALC(&vState, nullptr, buffer());
    setViewConsole(nullptr);
    setViewUi(nullptr);
}

// @1 from the green gun of the picture (before any line changed it).
void makeAccumulator()
{
    static bool made = false;
    if (!made)
        runCalc("G : @1");
    made = true;
}

// The peers' files: the packed pixels and the accumulator for numpy, the bands for libvips and
// the accumulator as a grey picture for ImageMagick.
void peerFiles()
{
    static bool made = false;
    if (made)
        return;
    made = true;
    const bufdes* bd = buffer();
    const std::size_t n = std::size_t(kSide) * kSide;
    std::vector<int32u> acc(n);
    for (std::size_t i = 0; i < n; ++i)
        acc[i] = (bd->imgbuf[i] >> 8) & 0xFF;
    for (const auto& [name, data] :
         {std::pair<std::string, const int32u*>{"pix.u32", bd->imgbuf}, {"acc.i32", acc.data()}}) {
        std::FILE* f = std::fopen((dir() + "/" + name).c_str(), "wb");
        if (!f || std::fwrite(data, 4, n, f) != n || std::fclose(f) != 0)
            std::abort();
    }
    const std::string d = "cd '" + dir() + "' && ";
    benchload::sh(d + "vips extract_band plasma.ppm R.v 0 && vips extract_band plasma.ppm G.v 1 " +
                  "&& vips extract_band plasma.ppm B.v 2 && cp G.v acc.v 2>/dev/null");
    benchload::sh(d + "convert plasma.ppm -channel G -separate acc.pgm 2>/dev/null");
}

void ours(benchmark::State& state, const lineCase* l)
{
    buffer();
    if (l->acc)
        makeAccumulator();
    runCalc(l->text); // warm: the line buffers and the accumulator's pages
    for (auto _ : state)
        runCalc(l->text);
    benchload::rate(state);
}

void numpyInProcess(benchmark::State& state, const lineCase* l)
{
    peerFiles();
    const std::string cmd = benchload::peerPython() + " '" TAV_CALC_NUMPY "' '" + dir() +
                            "/pix.u32' '" + dir() + "/acc.i32' " + l->key + " " +
                            std::to_string(state.max_iterations);
    benchload::replayTimes(state, benchload::peerTimes(cmd), "numpy peer not available");
}

using benchload::timeProcess;

void ourProcess(benchmark::State& state, const lineCase* l)
{
    ppm();
    timeProcess(state, "/proc/" + std::to_string(getpid()) + "/exe --calc-once '" + l->text + "'");
}

void vipsProcess(benchmark::State& state, const lineCase* l)
{
    peerFiles();
    timeProcess(state, "cd '" + dir() + "' && export VIPS_CONCURRENCY=1 && " + l->vips);
}

void imageMagickProcess(benchmark::State& state, const lineCase* l)
{
    peerFiles();
    timeProcess(state, "cd '" + dir() + "' && MAGICK_THREAD_LIMIT=1 convert " + l->fx +
                           " +channel ppm:/dev/null");
}

// `--calc-once LINE`: the picture loaded into a buffer and the line run over it in GLOBAL
// scope (a line with @1 first writes @1 from the green gun); -1 for other command lines.
int calcOnceMain(int argc, char** argv)
{
    if (argc != 3 || std::strcmp(argv[1], "--calc-once") != 0)
        return -1;
    if (std::strchr(argv[2], '@'))
        makeAccumulator();
    runCalc(argv[2]);
    return 0;
}

} // namespace

#define TAV_CALC_ROWS(N, LINE)                                                                     \
    TAV_BENCH_WALL(ours, N##_Ours_InProcess, &LINE)->MinTime(1.0);                                 \
    TAV_BENCH_MANUAL(numpyInProcess, N##_Numpy_InProcess, 10, &LINE);                              \
    TAV_BENCH_MANUAL(ourProcess, N##_Ours_Process, 3, &LINE);                                      \
    TAV_BENCH_MANUAL(vipsProcess, N##_Vips_Process, 3, &LINE);                                     \
    TAV_BENCH_MANUAL(imageMagickProcess, N##_ImageMagickFx_Process, 1, &LINE)

TAV_CALC_ROWS(Mean, kMean);
TAV_CALC_ROWS(FiveOps, kFive);
TAV_CALC_ROWS(MeanAcc, kMeanAcc);
TAV_CALC_ROWS(FiveOpsAcc, kFiveAcc);

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, calcOnceMain);
}
