// Load throughput (megapixels per second) of a 4096 x 4096 plasma picture stored as JPEG,
// PNG, uncompressed TIFF, LZW TIFF and JPEG 2000 (lossless and 10:1), through GETHEADER, INIT_VSL
// and IMAGE_LOAD into an iBUFF. In the same run and on the same file, timed the same way (wall
// time): OpenCV's imread in process, and whole processes of ours, ImageMagick, libvips and OpenCV
// (benchLoad.h); and, as the floor any load stands on, each library's own row loop (one row buffer,
// nothing stored), for JPEG also that loop storing the picture; for JPEG 2000 OpenJPEG's own decode
// of the whole picture, and our loads of a 512 x 512 region and of DERES=2 beside it (their MP/s
// count the whole picture, so that they read as speed-ups over the whole load).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <openjpeg.h>
#include <png.h>
#define TIFF_DISABLE_DEPRECATED
#include <tiffio.h>

#include "benchLoad.h"

namespace {

using benchload::fileFn;
using benchload::kSide;
using benchload::openCvInProcess;
using benchload::ourLoad;
using benchload::rate;
using benchload::readersDir;
using benchload::readersPpm;
using benchload::wholeProcess;

const std::string& jpegPath()
{
    static const std::string p =
        benchload::made(readersDir() + "/plasma.jpg", "cjpeg -quality 90 '" + readersPpm() + "' >");
    return p;
}
const std::string& pngPath()
{
    static const std::string p =
        benchload::made(readersDir() + "/plasma.png", "pnmtopng '" + readersPpm() + "' >");
    return p;
}
const std::string& tiffPath()
{
    static const std::string p = benchload::made(readersDir() + "/plasma.tif",
                                                 "convert '" + readersPpm() + "' -compress none");
    return p;
}
const std::string& lzwPath()
{
    static const std::string p = benchload::made(readersDir() + "/plasma-lzw.tif",
                                                 "convert '" + readersPpm() + "' -compress lzw");
    return p;
}

const std::string& jp2Path()
{
    static const std::string p =
        benchload::made(readersDir() + "/plasma.jp2", "opj_compress -i '" + readersPpm() + "' -o");
    return p;
}
const std::string& jp2LossyPath()
{
    static const std::string p = benchload::made(readersDir() + "/plasma-r10.jp2",
                                                 "opj_compress -r 10 -i '" + readersPpm() + "' -o");
    return p;
}

// OpenJPEG's own decode of the whole picture from the file, as its decompressor runs it.
void libJp2(benchmark::State& state, fileFn file)
{
    const std::string& path = file();
    for (auto _ : state) {
        opj_stream_t* st = opj_stream_create_default_file_stream(path.c_str(), OPJ_TRUE);
        opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
        opj_dparameters_t params;
        opj_set_default_decoder_parameters(&params);
        opj_image_t* im = nullptr;
        const bool ok = st && codec && opj_setup_decoder(codec, &params) &&
                        opj_read_header(st, codec, &im) && opj_decode(codec, st, im) &&
                        opj_end_decompress(codec, st);
        benchmark::DoNotOptimize(im);
        opj_image_destroy(im);
        opj_destroy_codec(codec);
        opj_stream_destroy(st);
        if (!ok) {
            state.SkipWithError("OpenJPEG decode failed");
            break;
        }
    }
    rate(state);
}

// Our load of part of the JPEG 2000 file into a block of its size: a region (cols x rows at
// x, y) or, with `levels`, the whole picture DERES levels down. 0 or the failing status.
int loadJp2Part(const std::string& path, int x, int y, int cols, int rows, int levels)
{
    benchload::fileLoad l(path, levels);
    if (l.status() != 0)
        return l.status();
    fdes* fd = l.fd();
    if (levels > 0) {
        cols = int(fd->fCols);
        rows = int(fd->fRows);
    }
    fd->vslCtlm |= VSL_RGB;
    fd->dBands = fd->bands;
    for (int k = 0; k < fd->dBands; ++k)
        fd->Bands[k] = static_cast<std::int16_t>(k + 1);
    fd->fXofs = x;
    fd->fYofs = y;
    fd->lCols = fd->dCols = int32u(cols);
    fd->lRows = fd->dRows = int32u(rows);
    fd->deres[0] = fd->deres[1] = 1.0;
    std::vector<int32u> px(std::size_t(cols) * rows);
    return l.load(px.data(), cols, rows);
}

void jp2Part(benchmark::State& state, fileFn file, int side, int levels)
{
    const std::string& path = file();
    const int at = levels > 0 ? 0 : (kSide - side) / 2;
    for (auto _ : state)
        if (loadJp2Part(path, at, at, side, side, levels) != 0) {
            state.SkipWithError("load failed");
            break;
        }
    rate(state);
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
TAV_BENCH_PEERS(Jp2, jp2Path);
TAV_BENCH_WALL(libJp2, Jp2_LibDecode, jp2Path);
TAV_BENCH_WALL(jp2Part, Jp2_Ours_Region512, jp2Path, 512, 0);
TAV_BENCH_WALL(jp2Part, Jp2_Ours_Deres2, jp2Path, 0, 2);
TAV_BENCH_PEERS(Jp2Lossy, jp2LossyPath);
TAV_BENCH_WALL(libJp2, Jp2Lossy_LibDecode, jp2LossyPath);
TAV_BENCH_WALL(jp2Part, Jp2Lossy_Ours_Region512, jp2LossyPath, 512, 0);
TAV_BENCH_WALL(jp2Part, Jp2Lossy_Ours_Deres2, jp2LossyPath, 0, 2);
TAV_BENCH_PEERS(Tiff, tiffPath);
BENCHMARK(BM_Tiff_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_BENCH_PEERS(TiffLzw, lzwPath);
BENCHMARK(BM_TiffLzw_LibLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

TAV_BENCH_LOAD_MAIN()
