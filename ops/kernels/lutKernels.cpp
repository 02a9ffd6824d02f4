#include "lutKernels.h"

#include <cmath>
#include <cstring>

void gammaTable(double g, charu out[256])
{
    if (!(g >= 0.1 && g <= 5.0))
        g = 1.7;
    for (int i = 0; i < 256; ++i)
        out[i] = charu(std::trunc(0.5 + 255.0 * std::pow(i / 255.0, g)));
}

bool chooseDisplayLuts(const lutSet& dflt, const lutSet& tran, bool dfltOn, int32u gunMask,
                       lutSet& out)
{
    bool transform = false;
    for (int g = 0; g < 3; ++g) {
        const bool useDefault = dfltOn || (gunMask & (1u << g));
        // The source may be the output itself (a state reloaded in place).
        std::memmove(out[g], useDefault ? dflt[g] : tran[g], 256);
        transform |= !useDefault;
    }
    return transform;
}

int32 lutRows(std::span<int32u> row, const lutSet& luts)
{
    for (int32u& p : row) {
        int32u q = p;
        for (int g = 0; g < 3; ++g) {
            const int sh = 8 * gunByteOfs[g];
            q = (q & ~(0xffu << sh)) | (int32u(luts[g][(q >> sh) & 0xff]) << sh);
        }
        p = q;
    }
    return KRN_OK;
}

int32u gunByteMask(int gunBits)
{
    int32u m = 0;
    for (int g = 0; g < 4; ++g)
        if (gunBits & (1 << g))
            m |= 0xffu << (8 * gunByteOfs[g]);
    return m;
}

int32 mergeGunRows(std::span<int32u> dst, std::span<const int32u> src, int32u byteMask)
{
    if (dst.size() != src.size())
        return KRN_SIZE;
    if (src.empty())
        return KRN_OK;
    if (byteMask == 0xffffffffu) {
        std::memmove(dst.data(), src.data(), src.size_bytes());
        return KRN_OK;
    }
    for (std::size_t i = 0; i < dst.size(); ++i)
        dst[i] = (dst[i] & ~byteMask) | (src[i] & byteMask);
    return KRN_OK;
}
