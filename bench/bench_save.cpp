// Saving a 4096 x 4096 seeded plasma (natural content: swells, edges and grain at every scale):
//  - in process, wall time: our PNG writer beside libpng's own write loop at the same (default)
//    compression level; the quantiser alone; the GIF writer (quantise and encode);
//  - as whole processes from the PPM to the file: this program (`--save-once`) beside
//    ImageMagick (one thread; -dither FloydSteinberg -colors 256 for GIF) and libvips
//    (one worker; gifsave, pngsave).
#include <cstdlib>
#include <cstring>

#include <png.h>

#include "benchLoad.h"
#include "pngWrite.h"
#include "quant.h"
#include "wrgif.h"

namespace {

using benchload::kSide;

const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_save");
    return d;
}

const std::string& ppm()
{
    static const std::string p = benchload::plasmaPpm(dir() + "/plasma4096.ppm");
    return p;
}

// RGB bytes of a binary PPM as plasmaPpm writes it.
std::vector<charu> readPpm(const std::string& path, int& w, int& h)
{
    std::vector<charu> px;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    int maxv = 0;
    if (!f || std::fscanf(f, "P6 %d %d %d", &w, &h, &maxv) != 3 || std::fgetc(f) == EOF) {
        if (f)
            std::fclose(f);
        return px;
    }
    px.resize(std::size_t(w) * std::size_t(h) * 3);
    if (std::fread(px.data(), 1, px.size(), f) != px.size())
        px.clear();
    std::fclose(f);
    return px;
}

const std::vector<charu>& rgb()
{
    static std::vector<charu> px;
    if (px.empty()) {
        int w = 0, h = 0;
        px = readPpm(ppm(), w, h);
        if (w != kSide || h != kSide)
            std::abort();
    }
    return px;
}

int ourPng(const std::vector<charu>& px, int w, int h, const std::string& out)
{
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f)
        return -1;
    pngWriter pw;
    int32 rc = MK_PNG_HDR(pw, f, 3, w, h);
    for (int y = 0; rc == PNGW_OK && y < h; ++y)
        rc = pngWriteRows(pw, px.data() + std::size_t(y) * std::size_t(w) * 3, 1,
                          std::size_t(w) * 3);
    if (rc == PNGW_OK)
        rc = pngWriteEnd(pw);
    return std::fclose(f) == 0 ? rc : -1;
}

int ourGif(const std::vector<charu>& px, int w, int h, const std::string& out)
{
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f)
        return -1;
    charu* pic = static_cast<charu*>(std::malloc(px.size()));
    std::memcpy(pic, px.data(), px.size());
    const int32 rc =
        wrgif(f, &pic, w, h, GIF_24BIT | GIF_OWN_IMAGE, nullptr, nullptr, nullptr, nullptr);
    return std::fclose(f) == 0 ? rc : -1;
}

// libpng's own loop: the structures, the header, every row, the end; nothing else.
void libpngLoop(const std::vector<charu>& px, const std::string& out)
{
    std::FILE* f = std::fopen(out.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        std::abort();
    png_init_io(png, f);
    png_set_IHDR(png, info, kSide, kSide, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kSide; ++y)
        png_write_row(png, px.data() + std::size_t(y) * kSide * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

void pngOurs(benchmark::State& state, int)
{
    const std::vector<charu>& px = rgb();
    for (auto _ : state)
        if (ourPng(px, kSide, kSide, dir() + "/ours.png") != 0)
            state.SkipWithError("write failed");
    benchload::rate(state);
}

void pngLibpng(benchmark::State& state, int)
{
    const std::vector<charu>& px = rgb();
    for (auto _ : state)
        libpngLoop(px, dir() + "/libpng.png");
    benchload::rate(state);
}

void quantOurs(benchmark::State& state, int)
{
    const std::vector<charu>& px = rgb();
    std::vector<charu> pic8(px.size() / 3);
    charu r[256], g[256], b[256];
    for (auto _ : state)
        if (Slow_quant(px.data(), kSide, kSide, pic8.data(), r, g, b) != QUANT_OK)
            state.SkipWithError("quantiser failed");
    benchload::rate(state);
}

void gifOurs(benchmark::State& state, int)
{
    const std::vector<charu>& px = rgb();
    for (auto _ : state)
        if (ourGif(px, kSide, kSide, dir() + "/ours.gif") != 0)
            state.SkipWithError("write failed");
    benchload::rate(state);
}

std::string self()
{
    return "/proc/" + std::to_string(getpid()) + "/exe";
}

void oursProcess(benchmark::State& state, const char* fmt)
{
    benchload::timeProcess(state, self() + " --save-once " + fmt + " '" + ppm() + "' '" + dir() +
                                      "/proc-ours." + fmt + "'");
}

void imageMagickProcess(benchmark::State& state, const char* fmt)
{
    const std::string opts =
        std::strcmp(fmt, "gif") == 0 ? " -dither FloydSteinberg -colors 256" : " -quality 65";
    benchload::timeProcess(state, "MAGICK_THREAD_LIMIT=1 convert '" + ppm() + "'" + opts + " '" +
                                      dir() + "/proc-im." + fmt + "'");
}

void vipsProcess(benchmark::State& state, const char* fmt)
{
    const std::string op = std::strcmp(fmt, "gif") == 0 ? "gifsave" : "pngsave";
    const std::string opts = std::strcmp(fmt, "gif") == 0 ? "" : " --compression 6";
    benchload::timeProcess(state, "VIPS_CONCURRENCY=1 vips " + op + " '" + ppm() + "' '" + dir() +
                                      "/proc-vips." + fmt + "'" + opts);
}

// `--save-once png|gif IN OUT`: one whole save as a process, for the process rows.
int saveOnceMain(int argc, char** argv)
{
    if (argc != 5 || std::strcmp(argv[1], "--save-once") != 0)
        return -1;
    int w = 0, h = 0;
    const std::vector<charu> px = readPpm(argv[3], w, h);
    if (px.empty())
        return 1;
    const int rc =
        std::strcmp(argv[2], "gif") == 0 ? ourGif(px, w, h, argv[4]) : ourPng(px, w, h, argv[4]);
    return rc == 0 ? 0 : 1;
}

} // namespace

TAV_BENCH_WALL(pngOurs, Png_Ours_InProcess, 0);
TAV_BENCH_WALL(pngLibpng, Png_LibpngLoop_InProcess, 0);
TAV_BENCH_WALL(quantOurs, Quantise_Ours_InProcess, 0);
TAV_BENCH_WALL(gifOurs, Gif_Ours_InProcess, 0);
TAV_BENCH_MANUAL(oursProcess, Png_Ours_Process, 3, "png");
TAV_BENCH_MANUAL(imageMagickProcess, Png_ImageMagick_Process, 3, "png");
TAV_BENCH_MANUAL(vipsProcess, Png_Vips_Process, 3, "png");
TAV_BENCH_MANUAL(oursProcess, Gif_Ours_Process, 3, "gif");
TAV_BENCH_MANUAL(imageMagickProcess, Gif_ImageMagick_Process, 3, "gif");
TAV_BENCH_MANUAL(vipsProcess, Gif_Vips_Process, 3, "gif");

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, saveOnceMain);
}
