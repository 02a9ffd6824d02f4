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

void prepareLutPass(const lutSet& luts, lutPass& out, int gunBits)
{
    for (int g = 0; g < 3; ++g) {
        const int sh = 8 * gunByteOfs[g];
        const bool on = gunBits & (1 << g);
        for (int i = 0; i < 256; ++i)
            out.t[g][i] = int32u(on ? luts[g][i] : i) << sh;
    }
}

namespace {

constexpr int shR = 8 * gunByteOfs[0], shG = 8 * gunByteOfs[1], shB = 8 * gunByteOfs[2];
constexpr int32u keepMask = 0xffu << (8 * gunByteOfs[3]);

inline int32u passPixel(int32u p, const int32u* tr, const int32u* tg, const int32u* tb)
{
    return tr[(p >> shR) & 0xff] | tg[(p >> shG) & 0xff] | tb[(p >> shB) & 0xff] | (p & keepMask);
}

} // namespace

int32 lutRows(std::span<const int32u> src, std::span<int32u> dst, const lutPass& pass)
{
    if (src.size() != dst.size())
        return KRN_SIZE;
    // Every repaint of a view with transform LUTs comes through here: four independent
    // pixels per step keep the look-ups of one from waiting on the store of another.
    const int32u *tr = pass.t[0], *tg = pass.t[1], *tb = pass.t[2];
    const int32u* p = src.data();
    int32u* q = dst.data();
    const std::size_t n = src.size();
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const int32u a = p[i], b = p[i + 1], c = p[i + 2], d = p[i + 3];
        q[i] = passPixel(a, tr, tg, tb);
        q[i + 1] = passPixel(b, tr, tg, tb);
        q[i + 2] = passPixel(c, tr, tg, tb);
        q[i + 3] = passPixel(d, tr, tg, tb);
    }
    for (; i < n; ++i)
        q[i] = passPixel(p[i], tr, tg, tb);
    return KRN_OK;
}

int32 lutRows(std::span<int32u> row, const lutPass& pass)
{
    return lutRows(std::span<const int32u>(row), row, pass);
}

int32 lutRows(std::span<int32u> row, const lutSet& luts)
{
    lutPass pass;
    prepareLutPass(luts, pass);
    return lutRows(row, pass);
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
