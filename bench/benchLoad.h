// What the load benchmarks share: a 4096 x 4096 pixel block and a whole-file load through
// GETHEADER, INIT_VSL and IMAGE_LOAD, set up as the loader sets up a first load.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "get_vsl.h"

namespace benchload {

constexpr int kSide = 4096;

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

inline bool fileExists(const std::string& p)
{
    std::FILE* f = std::fopen(p.c_str(), "rb");
    if (f)
        std::fclose(f);
    return f != nullptr;
}

/// Writes a kSide x kSide PPM unless it exists; pixel(x, y, rgb) fills each pixel.
template <class PixelFn> const std::string& ppmOnce(const std::string& path, PixelFn pixel)
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
            pixel(x, y, &row[std::size_t(x) * 3]);
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
    return path;
}

/// Loads the whole file into pixels(); 0 or the first failing status.
inline int loadOnce(const std::string& path)
{
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    if (!fp)
        return -100;
    ides id;
    initIdes(&id);
    bufdes b{};
    b.imgDes = &id;
    fdes* fd = &id.fd[0];
    int32 nAnc = 0;
    charu* anc[4] = {};
    int st = GETHEADER(fp, &b, path.c_str(), &nAnc, anc, false);
    if (st != 0) {
        std::fclose(fp);
        return st;
    }
    fd->vslCtlm |= fd->bands > 1 ? VSL_RGB : (nAnc > 0 ? VSL_PALETTE : VSL_GREY);
    fd->dBands = fd->bands > 1 ? fd->bands : 1;
    for (int k = 0; k < fd->dBands; ++k)
        fd->Bands[k] = static_cast<std::int16_t>(k + 1);
    fd->lCols = fd->dCols = fd->fCols;
    fd->lRows = fd->dRows = fd->fRows;
    fd->deres[0] = fd->deres[1] = 1.0;
    b.imgbuf = pixels().data();
    b.width = kSide;
    b.height = kSide;
    st = INIT_VSL(fp, &b, anc, nAnc);
    // As the loader does for the first image of a fresh block that the image covers whole.
    VSL.destUnset = true;
    if (st == 0)
        st = IMAGE_LOAD();
    FREE_VSL();
    return st;
}

} // namespace benchload
