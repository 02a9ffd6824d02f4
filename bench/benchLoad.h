// What the load benchmarks share: a 4096 x 4096 pixel block and a whole-file load through
// GETHEADER, INIT_VSL and IMAGE_LOAD, set up as the loader sets up a first load.
#pragma once

#include <cstdint>
#include <cstdio>
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
