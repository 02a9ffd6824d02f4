// Load throughput (megapixels per second) of a 4096 x 4096 plasma picture stored as JPEG,
// PNG, uncompressed TIFF and LZW TIFF, through GETHEADER, INIT_VSL and IMAGE_LOAD into an
// iBUFF. In the same run and on the same file, timed the same way (wall time): OpenCV's imread
// in process, and whole processes of ours, ImageMagick, libvips and OpenCV (benchLoad.h); and,
// as the floor any load stands on, each library's own row loop (one row buffer, nothing
// stored), for JPEG also that loop storing the picture.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#define TIFF_DISABLE_DEPRECATED
#include <tiffio.h>

#include "benchLoad.h"

namespace {

using benchload::kSide;
using benchload::openCvInProcess;
using benchload::ourLoad;
using benchload::rate;
using benchload::wholeProcess;

std::string dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_readers");
    return d;
}

const std::string& ppmPath()
{
    static const std::string p = benchload::plasmaPpm(dir() + "/plasma4096.ppm");
    return p;
}
const std::string& jpegPath()
{
    static const std::string p =
        benchload::made(dir() + "/plasma.jpg", "cjpeg -quality 90 '" + ppmPath() + "' >");
    return p;
}
const std::string& pngPath()
{
    static const std::string p =
        benchload::made(dir() + "/plasma.png", "pnmtopng '" + ppmPath() + "' >");
    return p;
}
const std::string& tiffPath()
{
    static const std::string p =
        benchload::made(dir() + "/plasma.tif", "convert '" + ppmPath() + "' -compress none");
    return p;
}
const std::string& lzwPath()
{
    static const std::string p =
        benchload::made(dir() + "/plasma-lzw.tif", "convert '" + ppmPath() + "' -compress lzw");
    return p;
}

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

void BM_Jpeg_LibLoop(benchmark::State& state)
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
void BM_Jpeg_LibImage(benchmark::State& state)
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

void BM_Png_LibLoop(benchmark::State& state)
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
void BM_Tiff_LibLoop(benchmark::State& s)
{
    libTiff(s, tiffPath());
}
void BM_TiffLzw_LibLoop(benchmark::State& s)
{
    libTiff(s, lzwPath());
}

TAV_BENCH_PEERS(Jpeg, jpegPath);
BENCHMARK(BM_Jpeg_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Jpeg_LibImage)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_BENCH_PEERS(Png, pngPath);
BENCHMARK(BM_Png_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_BENCH_PEERS(Tiff, tiffPath);
BENCHMARK(BM_Tiff_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_BENCH_PEERS(TiffLzw, lzwPath);
BENCHMARK(BM_TiffLzw_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

TAV_BENCH_LOAD_MAIN()
