// Load throughput (megapixels per second) of a 4096 x 4096 JPEG, PNG and TIFF (uncompressed
// and LZW) through GETHEADER, INIT_VSL and IMAGE_LOAD into an iBUFF. References on the same
// files: the library's own row loop (libjpeg, libpng, libtiff; one row buffer, so nothing is
// stored), for JPEG also that loop storing the picture, and ImageMagick decoding
// single-threaded (`convert x rgba:/dev/null`). The loads run as the loader's first load into
// a fresh block that the picture covers.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#define TIFF_DISABLE_DEPRECATED
#include <tiffio.h>

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
    static const std::string d = benchload::benchDir("/tmp/tav_bench_readers");
    return d;
}

// A smooth picture with some noise, made once.
const std::string& ppmPath()
{
    static const std::string p = dir() + "/src4096.ppm";
    return benchload::ppmOnce(p, [](int x, int y, unsigned char* px) {
        const unsigned h = (unsigned(x) * 2654435761u) ^ (unsigned(y) * 40503u);
        px[0] = static_cast<unsigned char>(x / 16 + ((h >> 13) & 7));
        px[1] = static_cast<unsigned char>(y / 16);
        px[2] = static_cast<unsigned char>((x + y) / 32);
    });
}

std::string made(const std::string& name, const std::string& cmd)
{
    const std::string path = dir() + "/" + name;
    if (!benchload::fileExists(path) && std::system((cmd + " '" + path + "'").c_str()) != 0)
        std::abort();
    return path;
}
const std::string& jpegPath()
{
    static const std::string p = made("l.jpg", "cjpeg -quality 90 '" + ppmPath() + "' >");
    return p;
}
const std::string& pngPath()
{
    static const std::string p = made("l.png", "pnmtopng '" + ppmPath() + "' >");
    return p;
}
const std::string& tiffPath()
{
    static const std::string p = made("l.tif", "convert '" + ppmPath() + "' -compress none");
    return p;
}
const std::string& lzwPath()
{
    static const std::string p = made("lzw.tif", "convert '" + ppmPath() + "' -compress lzw");
    return p;
}

void rate(benchmark::State& state)
{
    state.counters["MP/s"] =
        benchmark::Counter(kPixels, benchmark::Counter::kIsIterationInvariantRate);
}

void load(benchmark::State& state, const std::string& path)
{
    for (auto _ : state)
        if (loadOnce(path) != 0) {
            state.SkipWithError("load failed");
            break;
        }
    rate(state);
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
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    rate(state);
}

// The libraries' own row loops (their defaults: errors end the benchmark run).
// libjpeg's own decode of the benchmark file; rowFor(n, d) gives where row n goes.
template <class RowFn> void decodeJpeg(RowFn rowFor)
{
    std::FILE* f = std::fopen(jpegPath().c_str(), "rb");
    jpeg_decompress_struct d{};
    jpeg_error_mgr e{};
    d.err = jpeg_std_error(&e);
    jpeg_create_decompress(&d);
    jpeg_stdio_src(&d, f);
    jpeg_read_header(&d, TRUE);
    jpeg_start_decompress(&d);
    while (d.output_scanline < d.output_height) {
        JSAMPROW r[1] = {rowFor(d.output_scanline, d)};
        jpeg_read_scanlines(&d, r, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    std::fclose(f);
}

void libJpeg(benchmark::State& state)
{
    std::vector<unsigned char> row(std::size_t(kSide) * 4);
    for (auto _ : state) {
        decodeJpeg([&](JDIMENSION, const jpeg_decompress_struct&) { return row.data(); });
        benchmark::DoNotOptimize(row.data());
    }
    rate(state);
}

// The same loop keeping the picture (rows stored at their place in one block), as any decode
// that delivers an image must: the row loop above never leaves the cache, a load writes 64 MB.
void libJpegImage(benchmark::State& state)
{
    std::vector<unsigned char> image(std::size_t(kSide) * kSide * 3);
    for (auto _ : state) {
        decodeJpeg([&](JDIMENSION n, const jpeg_decompress_struct& d) {
            return image.data() +
                   std::size_t(n) * d.output_width * std::size_t(d.output_components);
        });
        benchmark::DoNotOptimize(image.data());
    }
    rate(state);
}

void libPng(benchmark::State& state)
{
    std::vector<unsigned char> row(std::size_t(kSide) * 8);
    for (auto _ : state) {
        std::FILE* f = std::fopen(pngPath().c_str(), "rb");
        png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop i = png_create_info_struct(p);
        png_init_io(p, f);
        png_read_info(p, i);
        const png_uint_32 h = png_get_image_height(p, i);
        for (png_uint_32 y = 0; y < h; ++y)
            png_read_row(p, row.data(), nullptr);
        png_destroy_read_struct(&p, &i, nullptr);
        std::fclose(f);
        benchmark::DoNotOptimize(row.data());
    }
    rate(state);
}

void libTiff(benchmark::State& state, const std::string& path)
{
    for (auto _ : state) {
        TIFF* t = TIFFOpen(path.c_str(), "r");
        std::vector<unsigned char> row(std::size_t(TIFFScanlineSize64(t)));
        std::uint32_t h = 0;
        TIFFGetField(t, TIFFTAG_IMAGELENGTH, &h);
        for (std::uint32_t y = 0; y < h; ++y)
            TIFFReadScanline(t, row.data(), y, 0);
        TIFFClose(t);
        benchmark::DoNotOptimize(row.data());
    }
    rate(state);
}

void BM_Jpeg_Load(benchmark::State& s)
{
    load(s, jpegPath());
}
void BM_Jpeg_LibLoop(benchmark::State& s)
{
    libJpeg(s);
}
void BM_Jpeg_LibImage(benchmark::State& s)
{
    libJpegImage(s);
}
BENCHMARK(BM_Jpeg_LibImage)->Unit(benchmark::kMillisecond);
void BM_Jpeg_ImageMagick(benchmark::State& s)
{
    imageMagick(s, jpegPath());
}
void BM_Png_Load(benchmark::State& s)
{
    load(s, pngPath());
}
void BM_Png_LibLoop(benchmark::State& s)
{
    libPng(s);
}
void BM_Png_ImageMagick(benchmark::State& s)
{
    imageMagick(s, pngPath());
}
void BM_Tiff_Load(benchmark::State& s)
{
    load(s, tiffPath());
}
void BM_Tiff_LibLoop(benchmark::State& s)
{
    libTiff(s, tiffPath());
}
void BM_Tiff_ImageMagick(benchmark::State& s)
{
    imageMagick(s, tiffPath());
}
void BM_TiffLzw_Load(benchmark::State& s)
{
    load(s, lzwPath());
}
void BM_TiffLzw_LibLoop(benchmark::State& s)
{
    libTiff(s, lzwPath());
}
void BM_TiffLzw_ImageMagick(benchmark::State& s)
{
    imageMagick(s, lzwPath());
}

#define TAV_BENCH_FORMAT(F)                                                                        \
    BENCHMARK(BM_##F##_Load)->Unit(benchmark::kMillisecond);                                       \
    BENCHMARK(BM_##F##_LibLoop)->Unit(benchmark::kMillisecond);                                    \
    BENCHMARK(BM_##F##_ImageMagick)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3)

TAV_BENCH_FORMAT(Jpeg);
TAV_BENCH_FORMAT(Png);
TAV_BENCH_FORMAT(Tiff);
TAV_BENCH_FORMAT(TiffLzw);

} // namespace

BENCHMARK_MAIN();
