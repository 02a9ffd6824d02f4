#include "pixKernels.h"

#include <cstring>
#include <utility>

#include "vectorClones.h"

namespace {

constexpr int shR = 8 * gunByteOfs[0], shG = 8 * gunByteOfs[1], shB = 8 * gunByteOfs[2];

constexpr float weights[2][3] = {{0.299f, 0.587f, 0.114f}, {0.212671f, 0.715160f, 0.072169f}};

inline int32u greyPixel(int32u y)
{
    return (y << shR) | (y << shG) | (y << shB);
}

// The weighted grey of plain pixels: every step is independent, so the vector unit takes
// eight pixels at a time; the products and sums keep the order written (no fused
// multiply-add in this file), which the truncation depends on.
TAV_VECTOR_CLONES void greyPlain(int32u* p, std::size_t n, float wr, float wg, float wb)
{
    for (std::size_t i = 0; i < n; ++i) {
        const int32u v = p[i];
        const float r = float(int32((v >> shR) & 0xffu));
        const float g = float(int32((v >> shG) & 0xffu));
        const float b = float(int32((v >> shB) & 0xffu));
        int32 y = int32((wr * r + wg * g) + wb * b);
        y = y > 255 ? 255 : y;
        const int32u u = int32u(y);
        p[i] = u | (u << 8) | (u << 16);
    }
}

// The same through tables: f[g][v] already holds w[g] x table[g][v], the product the plain
// path would form, so the greys agree to the bit.
void greyTables(int32u* p, std::size_t n, const float (*f)[256])
{
    for (std::size_t i = 0; i < n; ++i) {
        const int32u v = p[i];
        int32 y =
            int32((f[0][(v >> shR) & 0xffu] + f[1][(v >> shG) & 0xffu]) + f[2][(v >> shB) & 0xffu]);
        y = y > 255 ? 255 : y;
        p[i] = greyPixel(int32u(y));
    }
}

// The occupied range of one gun: a plain min and max reduction, which the vector unit takes
// many pixels at a time (the source gun's range is all pseudo-colour needs of its histogram).
TAV_VECTOR_CLONES void levelRange(const int32u* p, std::size_t n, int sh, int32u* lo, int32u* hi)
{
    int32u a = *lo, b = *hi;
    for (std::size_t i = 0; i < n; ++i) {
        const int32u v = (p[i] >> sh) & 0xffu;
        a = v < a ? v : a;
        b = v > b ? v : b;
    }
    *lo = a;
    *hi = b;
}

TAV_VECTOR_CLONES void swapRows(int32u* p, std::size_t n, int shA, int shB2)
{
    const int d = shA - shB2; // shA > shB2
    const int32u keep = ~((0xffu << shA) | (0xffu << shB2));
    for (std::size_t i = 0; i < n; ++i) {
        const int32u v = p[i];
        p[i] = (v & keep) | ((v >> d) & (0xffu << shB2)) | ((v << d) & (0xffu << shA));
    }
}

} // namespace

int32 prepareGrey(greyPass& out, int32u gunMask, int32 standard, const lutSet* luts)
{
    int32 gun = -1;
    switch (gunMask) {
    case 1:
        gun = 0;
        break;
    case 2:
        gun = 1;
        break;
    case 4:
        gun = 2;
        break;
    case 7:
        if (standard != GREY_NTSC53 && standard != GREY_CONTEMP)
            return PIXK_ARG;
        break;
    default:
        return PIXK_ARG;
    }
    out.gun = gun;
    out.tables = luts != nullptr;
    if (gun >= 0) {
        for (int v = 0; v < 256; ++v)
            out.pal[v] = greyPixel(luts ? (*luts)[gun][v] : int32u(v));
        return PIXK_OK;
    }
    for (int g = 0; g < 3; ++g) {
        out.w[g] = weights[standard - 1][g];
        for (int v = 0; v < 256; ++v)
            out.f[g][v] = out.w[g] * float(luts ? (*luts)[g][v] : v);
    }
    return PIXK_OK;
}

void greyRows(std::span<int32u> row, const greyPass& pass)
{
    if (pass.gun >= 0)
        paletteRows(row, pass.gun, pass.pal);
    else if (pass.tables)
        greyTables(row.data(), row.size(), pass.f);
    else
        greyPlain(row.data(), row.size(), pass.w[0], pass.w[1], pass.w[2]);
}

void tablePalette(const charu red[256], const charu green[256], const charu blue[256],
                  int32u pal[256])
{
    for (int v = 0; v < 256; ++v)
        pal[v] = (int32u(red[v]) << shR) | (int32u(green[v]) << shG) | (int32u(blue[v]) << shB);
}

int32 paletteRows(std::span<int32u> row, int32 srcGun, const int32u pal[256])
{
    if (srcGun < 0 || srcGun > 2)
        return PIXK_ARG;
    const int sh = 8 * gunByteOfs[srcGun];
    int32u* p = row.data();
    const std::size_t n = row.size();
    std::size_t i = 0;
    // Four independent look-ups per step, as in the table pass.
    for (; i + 4 <= n; i += 4) {
        const int32u a = p[i], b = p[i + 1], c = p[i + 2], d = p[i + 3];
        p[i] = pal[(a >> sh) & 0xffu];
        p[i + 1] = pal[(b >> sh) & 0xffu];
        p[i + 2] = pal[(c >> sh) & 0xffu];
        p[i + 3] = pal[(d >> sh) & 0xffu];
    }
    for (; i < n; ++i)
        p[i] = pal[(p[i] >> sh) & 0xffu];
    return PIXK_OK;
}

void gunLevelRange(std::span<const int32u> row, int32 srcGun, int32* lo, int32* hi)
{
    if (srcGun < 0 || srcGun > 2)
        return;
    int32u a = int32u(*lo < 0 ? 0 : *lo), b = int32u(*hi < 0 ? 0 : *hi);
    levelRange(row.data(), row.size(), 8 * gunByteOfs[srcGun], &a, &b);
    *lo = int32(a);
    *hi = int32(b);
}

bool pseudoRange(int32 lo, int32 hi, int32 range[2])
{
    if (lo < 0 || hi > 255 || hi - lo < 4)
        return false;
    constexpr int32 minLevels = 16;
    const int32 extra = minLevels - (hi - lo + 1);
    if (extra > 0) {
        lo -= extra / 2;
        hi += extra - extra / 2;
        if (lo < 0) {
            hi -= lo;
            lo = 0;
        }
        if (hi > 255) {
            lo -= hi - 255;
            hi = 255;
        }
    }
    range[0] = lo;
    range[1] = hi;
    return true;
}

int32 swapGuns(int32u* px, std::size_t n, int32u mask)
{
    int a, b; // the guns' shifts, a the higher
    switch (mask) {
    case 3:
        a = shR, b = shG;
        break;
    case 5:
        a = shR, b = shB;
        break;
    case 6:
        a = shG, b = shB;
        break;
    default:
        return PIXK_ARG;
    }
    if (a < b)
        std::swap(a, b);
    swapRows(px, n, a, b);
    return PIXK_OK;
}

int32 infometricClasses(const gunHist h[3], int32 kind, lutSet& out)
{
    if (kind < INFO_ENTROPY || kind > INFO_REL_REDUN)
        return LUTK_ARG;
    if (!(h[0].total > 0))
        return LUTK_EMPTY;
    lutSet t;
    for (int g = 0; g < 3; ++g)
        if (infometricLut(h[g], kind, t[g]) != LUTK_OK)
            return LUTK_EMPTY;
    std::memcpy(out, t, sizeof t);
    return PIXK_OK;
}
