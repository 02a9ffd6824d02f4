// Load throughput (megapixels per second) of the 4096 x 4096 plasma picture stored as WebP
// (lossy and lossless), AVIF and FITS (16-bit integers and 32-bit floats, its red channel).
// In the same run and on the same file, timed the same way (wall time):
//  - our load in process through GETHEADER, INIT_VSL and IMAGE_LOAD into a fresh block, as the
//    loader's first load of a picture (WebP and AVIF decode straight into it);
//  - the library's own decode of the whole picture in process: the file read and
//    WebPDecodeRGBA; the file read, avifDecoderReadMemory and the conversion to RGB; cfitsio's
//    fits_read_pix of the whole image;
//  - whole processes of ours and of ImageMagick (one thread);
//  - for FITS, which loads as HDR: our rows handed to an accumulator that keeps nothing (the
//    reader and the pipeline alone) and, with the test load driver built in the same tree,
//    the whole load through the loader with both statistics passes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <avif/avif.h>
#include <fitsio.h>
#include <webp/decode.h>

#include "benchLoad.h"

#if defined(TAV_BENCH_LOADDRV)
#include "loaddrv.h"
#include "tav_load.h"
#endif

namespace {

using benchload::kSide;
using benchload::ourLoad;
using benchload::rate;
using benchload::readersDir;
using benchload::readersPpm;
using benchload::wholeProcess;

const std::string& webpLossyPath()
{
    static const std::string p = benchload::made(readersDir() + "/plasma.webp",
                                                 "cwebp -quiet -q 90 '" + readersPpm() + "' -o");
    return p;
}
const std::string& webpLosslessPath()
{
    static const std::string p =
        benchload::made(readersDir() + "/plasma-lossless.webp",
                        "cwebp -quiet -lossless -z 1 '" + readersPpm() + "' -o");
    return p;
}
const std::string& avifPath()
{
    static const std::string p =
        benchload::made(readersDir() + "/plasma.avif",
                        "convert '" + readersPpm() + "' '" + readersDir() +
                            "/plasma-for-avif.png' && avifenc -s 10 --min 20 --max 30 '" +
                            readersDir() + "/plasma-for-avif.png' >/dev/null");
    return p;
}

// A FITS primary image of the plasma's red channel: 16-bit unsigned (BZERO 32768) or float.
std::string writeFits(const std::string& path, bool floats)
{
    if (benchload::fileExists(path))
        return path;
    std::FILE* in = std::fopen(readersPpm().c_str(), "rb");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!in || !out || std::fseek(in, 17, SEEK_SET) != 0)
        std::abort();
    std::string h;
    auto card = [&h](const char* k, const std::string& v) {
        char c[81];
        std::snprintf(c, sizeof c, "%-8s= %20s%50s", k, v.c_str(), "");
        h += c;
    };
    card("SIMPLE", "T");
    card("BITPIX", floats ? "-32" : "16");
    card("NAXIS", "2");
    card("NAXIS1", std::to_string(kSide));
    card("NAXIS2", std::to_string(kSide));
    if (!floats) {
        card("BSCALE", "1");
        card("BZERO", "32768");
    }
    h += std::string("END").append(77, ' ');
    h.resize((h.size() + 2879) / 2880 * 2880, ' ');
    std::fwrite(h.data(), 1, h.size(), out);
    std::vector<unsigned char> rgb(std::size_t(kSide) * 3), row(std::size_t(kSide) * 4);
    std::size_t bytes = h.size();
    for (int y = 0; y < kSide; ++y) {
        if (std::fread(rgb.data(), 1, rgb.size(), in) != rgb.size())
            std::abort();
        for (int x = 0; x < kSide; ++x) {
            const unsigned v = rgb[std::size_t(x) * 3];
            if (floats) {
                const float f = float(v) / 255.0f * 1000.0f;
                std::uint32_t u;
                std::memcpy(&u, &f, 4);
                for (int b = 0; b < 4; ++b)
                    row[std::size_t(x) * 4 + std::size_t(b)] = (u >> (24 - 8 * b)) & 255;
            } else {
                const unsigned s = v * 257u - 32768u; // stored signed, BZERO makes it unsigned
                row[std::size_t(x) * 2] = (s >> 8) & 255;
                row[std::size_t(x) * 2 + 1] = s & 255;
            }
        }
        const std::size_t n = std::size_t(kSide) * (floats ? 4 : 2);
        std::fwrite(row.data(), 1, n, out);
        bytes += n;
    }
    const std::vector<char> zeros((2880 - bytes % 2880) % 2880, 0);
    std::fwrite(zeros.data(), 1, zeros.size(), out);
    std::fclose(in);
    std::fclose(out);
    return path;
}
const std::string& fits16Path()
{
    static const std::string p = writeFits(readersDir() + "/plasma16.fits", false);
    return p;
}
const std::string& fitsFloatPath()
{
    static const std::string p = writeFits(readersDir() + "/plasma-float.fits", true);
    return p;
}

std::vector<unsigned char> fileBytes(const std::string& path)
{
    std::vector<unsigned char> v;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return v;
    std::fseek(f, 0, SEEK_END);
    v.resize(std::size_t(std::ftell(f)));
    std::rewind(f);
    if (std::fread(v.data(), 1, v.size(), f) != v.size())
        v.clear();
    std::fclose(f);
    return v;
}

void libWebp(benchmark::State& state, benchload::fileFn file)
{
    const std::string& path = file();
    for (auto _ : state) {
        const std::vector<unsigned char> data = fileBytes(path);
        int w = 0, h = 0;
        uint8_t* px = WebPDecodeRGBA(data.data(), data.size(), &w, &h);
        if (!px) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(px);
        WebPFree(px);
    }
    rate(state);
}

void libAvif(benchmark::State& state, benchload::fileFn file)
{
    const std::string& path = file();
    std::vector<unsigned char> rgbPx(std::size_t(kSide) * kSide * 4);
    for (auto _ : state) {
        const std::vector<unsigned char> data = fileBytes(path);
        avifDecoder* d = avifDecoderCreate();
        avifImage* im = avifImageCreateEmpty();
        avifResult r = avifDecoderReadMemory(d, im, data.data(), data.size());
        if (r == AVIF_RESULT_OK) {
            avifRGBImage rgb;
            avifRGBImageSetDefaults(&rgb, im);
            rgb.format = AVIF_RGB_FORMAT_BGRA;
            rgb.pixels = rgbPx.data();
            rgb.rowBytes = 4 * im->width;
            r = avifImageYUVToRGB(im, &rgb);
        }
        avifImageDestroy(im);
        avifDecoderDestroy(d);
        if (r != AVIF_RESULT_OK) {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(rgbPx.data());
    }
    rate(state);
}

void libFits(benchmark::State& state, benchload::fileFn file, int type, int bytes)
{
    const std::string& path = file();
    std::vector<unsigned char> px(std::size_t(kSide) * kSide * std::size_t(bytes));
    for (auto _ : state) {
        fitsfile* f = nullptr;
        int st = 0, anyNul = 0;
        long first[2] = {1, 1};
        fits_open_diskfile(&f, path.c_str(), READONLY, &st);
        fits_read_pix(f, type, first, LONGLONG(kSide) * kSide, nullptr, px.data(), &anyNul, &st);
        fits_close_file(f, &st);
        if (st != 0) {
            state.SkipWithError("read failed");
            break;
        }
        benchmark::DoNotOptimize(px.data());
    }
    rate(state);
}
void BM_Fits16_LibReadPix(benchmark::State& s)
{
    libFits(s, fits16Path, TINT, 4);
}
void BM_FitsFloat_LibReadPix(benchmark::State& s)
{
    libFits(s, fitsFloatPath, TFLOAT, 4);
}

// An accumulator that takes the rows and keeps nothing: what the reader and the pipeline cost.
const vslHdrSink kNullSink{[] { return 0; }, [](const fdes*, const bufdes*) { return 0; },
                           [](const float*, int32) { return 0; }, [] { return 0; }};

void ourRows(benchmark::State& state, benchload::fileFn file)
{
    setVslHdrSink(&kNullSink);
    ourLoad(state, file);
    setVslHdrSink(nullptr);
}

#if defined(TAV_BENCH_LOADDRV)
// The whole HDR load through the loader into an iBUFF, statistics and render, as `tav` does.
void loaderLoad(benchmark::State& state, benchload::fileFn file)
{
    const std::string& path = file();
    loaddrv::reset();
    for (auto _ : state) {
        shortu current = 0;
        if (TAV_LOAD(bufObjs, &current, SRC_STRING, ("i='" + path + "'").c_str()) != 0) {
            state.SkipWithError("load failed");
            break;
        }
    }
    rate(state);
}
#endif

#define TAV_READER2_ROWS(F, FILE)                                                                  \
    TAV_BENCH_MANUAL(wholeProcess, F##_Ours_Process, 5, FILE, benchload::ourProcess);              \
    TAV_BENCH_MANUAL(wholeProcess, F##_ImageMagick_Process, 3, FILE, benchload::imageMagickProcess)

TAV_BENCH_WALL(ourLoad, WebpLossy_Ours_InProcess, webpLossyPath);
TAV_BENCH_WALL(libWebp, WebpLossy_LibDecode_InProcess, webpLossyPath);
TAV_READER2_ROWS(WebpLossy, webpLossyPath);
TAV_BENCH_WALL(ourLoad, WebpLossless_Ours_InProcess, webpLosslessPath);
TAV_BENCH_WALL(libWebp, WebpLossless_LibDecode_InProcess, webpLosslessPath);
TAV_READER2_ROWS(WebpLossless, webpLosslessPath);
TAV_BENCH_WALL(ourLoad, Avif_Ours_InProcess, avifPath);
TAV_BENCH_WALL(libAvif, Avif_LibDecode_InProcess, avifPath);
TAV_READER2_ROWS(Avif, avifPath);
TAV_BENCH_WALL(ourRows, Fits16_Ours_ReaderRows_InProcess, fits16Path);
BENCHMARK(BM_Fits16_LibReadPix)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_READER2_ROWS(Fits16, fits16Path);
TAV_BENCH_WALL(ourRows, FitsFloat_Ours_ReaderRows_InProcess, fitsFloatPath);
BENCHMARK(BM_FitsFloat_LibReadPix)->Unit(benchmark::kMillisecond)->UseRealTime();
TAV_READER2_ROWS(FitsFloat, fitsFloatPath);
#if defined(TAV_BENCH_LOADDRV)
TAV_BENCH_WALL(loaderLoad, Fits16_Ours_LoaderLoad, fits16Path);
TAV_BENCH_WALL(loaderLoad, FitsFloat_Ours_LoaderLoad, fitsFloatPath);
#endif

// The whole-process mode loads FITS with the keep-nothing accumulator, as ReaderRows does.
int readers2OnceMain(int argc, char** argv)
{
    setVslHdrSink(&kNullSink);
    const int st = benchload::loadOnceMain(argc, argv);
    setVslHdrSink(nullptr);
    return st;
}

} // namespace

int main(int argc, char** argv)
{
    return benchload::benchMain(argc, argv, readers2OnceMain);
}
