// PNG reader on libpng. Rows are delivered one byte per sample for depths up to
// 8 (packed depths expanded), red-green-blue for three channels and
// blue-green-red-alpha (the iBUFF's memory order) for four; 16-bit rows stay
// big-endian and the pipeline swaps them (0x10).
//
// The header reader keeps no library object: the loader may drop a load between
// GETHEADER and INIT_VSL and then only closes the stream. The initialiser opens
// the file again.
//
// libpng reports errors by a long jump: every call into it goes through a small
// trampoline below that sets the jump target and declares nothing with a
// destructor.
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <png.h>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

struct pngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    charu** rows = nullptr; // whole picture of an interlaced file, de-interlaced
    charu* block = nullptr; // the rows' storage
    std::uint32_t height = 0;
    std::uint32_t next = 0; // next row to deliver
    std::size_t rowBytes = 0;
    // IHDR as stored (the library's own view changes with the transforms).
    png_uint_32 w = 0, h = 0, ihdrOk = 0;
    int depth = 0, ctype = 0, ilace = 0;
};
pngState P;

void releaseState(pngState& s)
{
    if (s.png)
        png_destroy_read_struct(&s.png, s.info ? &s.info : nullptr, nullptr);
    std::free(s.rows);
    bigFree(s.block);
    s = {};
}

void pngError(png_structp png, png_const_charp msg)
{
    DIAG("\n***pngImage: %s", msg);
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp msg)
{
    DIAG("\n---pngImage: %s", msg);
}

// The header and the row transforms that make rows as the pipeline wants them.
// Returns 0, or -3 when libpng raised an error.
int pngReadInfo(pngState* s, std::FILE* fp)
{
    png_structp png = s->png;
    png_infop info = s->info;
    if (setjmp(png_jmpbuf(png)))
        return PNG_LIB_ERROR;
    png_init_io(png, fp);
    png_read_info(png, info);
    s->ihdrOk =
        png_get_IHDR(png, info, &s->w, &s->h, &s->depth, &s->ctype, &s->ilace, nullptr, nullptr);
    if (!s->ihdrOk)
        return 0;
    const int depth = s->depth;
    const int ctype = s->ctype;
    if (depth < 8) {
        png_set_packing(png);
        if (ctype == PNG_COLOR_TYPE_GRAY)
            png_set_expand_gray_1_2_4_to_8(png);
    }
    if (ctype == PNG_COLOR_TYPE_RGB_ALPHA && depth == 8)
        png_set_bgr(png);
    if (s->ilace != PNG_INTERLACE_NONE)
        png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return 0;
}

int pngReadRow(png_structp png, charu* row)
{
    if (setjmp(png_jmpbuf(png)))
        return -1;
    png_read_row(png, row, nullptr);
    return 0;
}

int pngReadImage(png_structp png, charu** rows)
{
    if (setjmp(png_jmpbuf(png)))
        return -1;
    png_read_image(png, rows);
    return 0;
}

// Creates the structures and reads the header into s; on failure s is released.
int32 pngOpen(pngState& s, std::FILE* fp)
{
    s = {};
    std::rewind(fp);
    // The library's own version: a mismatching string makes libpng refuse to
    // start.
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, pngError, pngWarning);
    if (!s.png)
        return PNG_NO_READ_STRUCT;
    s.info = png_create_info_struct(s.png);
    if (!s.info) {
        releaseState(s);
        return PNG_NO_INFO_STRUCT;
    }
    if (pngReadInfo(&s, fp) != 0) {
        releaseState(s);
        return PNG_LIB_ERROR;
    }
    return PNG_OK;
}

} // namespace

int32 PNG_HDR(const vslHdrArgs& a)
{
    releaseState(P);
    pngState s;
    const int32 st = pngOpen(s, a.fp);
    if (st != PNG_OK)
        return st;

    const png_uint_32 w = s.w, h = s.h, ok = s.ihdrOk;
    const int depth = s.depth, ctype = s.ctype, ilace = s.ilace;
    if (!ok || depth < 1 || depth > 16 || w < 16 || h <= 15) {
        DIAG("\npngImage:png_get_IHDR() status: %d\n", int(ok));
        releaseState(s);
        return PNG_BAD_IHDR;
    }
    // The transforms set keep the channel count as stored.
    const int channels = png_get_channels(s.png, s.info);
    if (channels != 1 && channels != 3 && channels != 4) {
        releaseState(s);
        return PNG_GREY_ALPHA;
    }
    // Delivered row: after the transforms set in pngReadInfo.
    const std::uint64_t rowBytes = png_get_rowbytes(s.png, s.info);
    if (rowBytes == 0 || rowBytes > std::uint64_t(INT32_MAX)) {
        DIAG("\npngImage:png_get_IHDR() status: %d\n", int(ok));
        releaseState(s);
        return PNG_BAD_IHDR;
    }

    fdes* fd = a.fd;
    fd->fCols = w;
    fd->fRows = h;
    fd->bands = static_cast<std::int16_t>(channels);
    fd->storMode = channels == 1 ? SM_FLAT : SM_PIXEL_IL;
    fd->quantiz = static_cast<charu>(depth);
    fd->bytsPixl = static_cast<charu>((depth + 7) / 8);
    fd->dataType = depth == 16 ? DT_INT16 : DT_BYTE;
    fd->slBytes = static_cast<int32>(rowBytes);
    fd->format = FMT_PNG;
    fd->compressed = 1;
    if (channels > 1)
        fd->vslCtlm |= VSL_RGB;
    if (ilace != PNG_INTERLACE_NONE) {
        // The seven passes are assembled into the whole picture first.
        fd->interlaced = 1;
        fd->vslCtlm |= VSL_TILED;
        fd->workMem = rowBytes * h + std::uint64_t(h) * sizeof(charu*);
    }
    if (depth == 16)
        fd->vslCtlm |= vslIS_HDR | VSL_BSWAP;
    fd->colorClass = channels == 1 ? CC_GREY : CC_COLOR;

    if (a.headerOnly) {
        releaseState(s);
        return PNG_OK;
    }
    if (ctype & PNG_COLOR_MASK_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        if (!png_get_PLTE(s.png, s.info, &pal, &n) || n < 1 || n > 256) {
            releaseState(s);
            return PNG_BAD_PALETTE;
        }
        for (int k = 0; k < 3; ++k) {
            a.anc[k] = static_cast<charu*>(std::calloc(256, 1));
            if (!a.anc[k]) {
                // GETHEADER frees the tables already made.
                releaseState(s);
                return PNG_BAD_PALETTE;
            }
        }
        for (int i = 0; i < n; ++i) {
            a.anc[0][i] = pal[i].red;
            a.anc[1][i] = pal[i].green;
            a.anc[2][i] = pal[i].blue;
        }
        *a.nAnc = 3;
        if (n > 2)
            fd->colorClass = CC_PALETTE;
    }
    releaseState(s);
    return PNG_OK;
}

int32 vslPNG_INI()
{
    releaseState(P);
    if (!VSL.fp || !VSL.fd)
        return -1;
    if (pngOpen(P, VSL.fp.get()) != PNG_OK)
        return -1;
    const fdes* fd = VSL.fd;
    P.height = png_get_image_height(P.png, P.info);
    P.rowBytes = png_get_rowbytes(P.png, P.info);
    if (P.height != fd->fRows || P.rowBytes != std::size_t(fd->slBytes)) {
        DIAG("\n***vslPNG_INI(): the file changed since its header was read");
        releaseState(P);
        return -1;
    }
    if (fd->vslCtlm & VSL_TILED) {
        // Interlaced rows arrive in seven passes: the picture is assembled whole
        // first.
        const std::uint64_t bytes = std::uint64_t(P.rowBytes) * P.height;
        std::string msg;
        if (!SAFE_MEM_REQ(bytes, &msg)) {
            DIAG("\n***vslPNG_INI(): %s", msg.c_str());
            releaseState(P);
            return -1;
        }
        P.block = static_cast<charu*>(bigAlloc(bytes));
        P.rows = static_cast<charu**>(std::calloc(P.height, sizeof(charu*)));
        if (!P.block || !P.rows) {
            releaseState(P);
            return -1;
        }
        for (std::uint32_t y = 0; y < P.height; ++y)
            P.rows[y] = P.block + std::uint64_t(y) * P.rowBytes;
        if (pngReadImage(P.png, P.rows) != 0) {
            releaseState(P);
            return -1;
        }
    }
    return 0;
}

int32 GET_PNG_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    (void)skip;
    if (!P.png || P.next >= P.height)
        return -1;
    if (P.rows) {
        std::memcpy(buf, P.rows[P.next++], P.rowBytes);
        return 0;
    }
    if (pngReadRow(P.png, buf) != 0)
        return -1;
    ++P.next;
    return 0;
}

void FREE_PNG()
{
    releaseState(P);
}
