// TIFF reader on libtiff: strips and tiles, contiguous or separate planes,
// 1-32-bit integer and 32/64-bit float samples, palettes. Every row is
// delivered whole (the pipeline skips to the region and offsets into the row,
// so the region origin is applied once, there): samples interleaved, one byte
// per sample for depths up to 8 (packed depths expanded), blue-green-red-alpha
// for four 8-bit samples (the iBUFF's memory order), signed 16-bit samples
// widened to 32 bits so that the pipeline converts their values right,
// white-is-zero grey inverted.
//
// libtiff closes the descriptor it is given, and the pipeline closes the stream
// later: the library gets a duplicate. The header reader keeps no library
// object: the loader may drop a load between GETHEADER and INIT_VSL and then
// only closes the stream.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

// The library's old integer names would clash with ours.
#define TIFF_DISABLE_DEPRECATED
#include <tiffio.h>
#include <unistd.h>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

struct tiffGeom {
    std::uint32_t w = 0, h = 0;
    std::uint16_t bits = 1, spp = 0, photo = 0, planar = PLANARCONFIG_CONTIG;
    std::uint16_t sfmt = SAMPLEFORMAT_UINT;
    bool tiled = false;
    std::uint32_t tw = 0, th = 0;
    int bands = 0; // delivered
};

struct tiffState {
    TIFF* tif = nullptr;
    tiffGeom g;
    std::uint32_t row = 0;    // next row to deliver
    charu* raw = nullptr;     // one row, samples interleaved as stored
    charu* plane = nullptr;   // one plane row / one tile
    charu* cache = nullptr;   // a tile row of rows in raw layout (tiled files)
    std::uint32_t cacheY = 0; // first image row in the cache
    bool cacheValid = false;
    std::uint64_t rawBytes = 0; // bytes of one raw row
    std::uint64_t planeBytes = 0;
};
tiffState T;

void releaseState(tiffState& s)
{
    if (s.tif)
        TIFFClose(s.tif);
    bigFree(s.raw);
    bigFree(s.plane);
    bigFree(s.cache);
    s = {};
}

TIFF* tiffOpen(std::FILE* fp, const char* name)
{
    std::fflush(fp);
    const int fd = dup(fileno(fp));
    if (fd < 0)
        return nullptr;
    if (lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return nullptr;
    }
    TIFF* t = TIFFFdOpen(fd, name && *name ? name : "image", "r");
    if (!t)
        close(fd);
    return t;
}

int bytesOf(const tiffGeom& g)
{
    return g.bits <= 8 ? 1 : g.bits / 8;
}

// Reads and checks the tags; fills g. 0 or the header status.
int32 readGeom(TIFF* t, tiffGeom& g)
{
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &g.w))
        return TIF_NO_WIDTH;
    if (!TIFFGetField(t, TIFFTAG_IMAGELENGTH, &g.h))
        return TIF_NO_LENGTH;
    g.tiled = TIFFIsTiled(t);
    if (g.tiled) {
        TIFFGetField(t, TIFFTAG_TILEWIDTH, &g.tw);
        TIFFGetField(t, TIFFTAG_TILELENGTH, &g.th);
        if (g.tw == 0 || g.th == 0)
            return TIF_NO_WIDTH;
    }
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &g.photo))
        return TIF_NO_PHOTOMETRIC;
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &g.bits);
    if (!TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &g.spp))
        return TIF_NO_SAMPLES;
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLEFORMAT, &g.sfmt);
    TIFFGetFieldDefaulted(t, TIFFTAG_PLANARCONFIG, &g.planar);
    if (g.photo == PHOTOMETRIC_YCBCR) {
        // Stored YCbCr is usually subsampled: its rows and tiles are not pixel rows. Only the
        // JPEG codec turns it into RGB for us (contiguous 8-bit samples); any other YCbCr
        // layout, old-style JPEG included, would show undecoded samples and is refused.
        std::uint16_t comp = COMPRESSION_NONE;
        TIFFGetFieldDefaulted(t, TIFFTAG_COMPRESSION, &comp);
        if (comp != COMPRESSION_JPEG || g.planar != PLANARCONFIG_CONTIG || g.spp != 3 ||
            g.bits != 8 || !TIFFSetField(t, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
            return TIF_YCBCR;
        g.photo = PHOTOMETRIC_RGB;
    }
    const bool pow2 = g.bits != 0 && (g.bits & (g.bits - 1)) == 0;
    // 64 bits are taken for floating point only (checked below).
    if (!pow2 || g.bits > 64 || (g.bits == 64 && g.sfmt != SAMPLEFORMAT_IEEEFP))
        return TIF_BAD_BITS;
    if (g.spp != 1 && g.spp != 3 && g.spp != 4 && g.photo != PHOTOMETRIC_SEPARATED)
        return TIF_BAD_SAMPLES;
    if (g.sfmt == SAMPLEFORMAT_IEEEFP) {
        // A 16-bit float read as 4-byte floats would overrun the row.
        if (g.bits != 32 && g.bits != 64)
            return TIF_BAD_TYPE;
    } else if (g.bits < 8) {
        // Packed samples: one-sample strips only (grey or palette indices).
        if (g.spp != 1 || g.tiled)
            return TIF_BAD_TYPE;
    } else if (g.bits != 8 && g.bits != 16 && g.bits != 32) {
        return TIF_BAD_TYPE;
    }
    g.bands = g.spp;
    if (g.photo == PHOTOMETRIC_MINISWHITE || g.photo == PHOTOMETRIC_MINISBLACK ||
        g.photo == PHOTOMETRIC_PALETTE) {
        if (g.spp != 1 && g.photo == PHOTOMETRIC_PALETTE)
            return TIF_BAD_SAMPLES;
    } else if (g.photo != PHOTOMETRIC_RGB) {
        if (g.spp < 3)
            return TIF_BAD_SAMPLES;
        g.bands = 3;
    }
    if (g.w == 0 || g.h == 0)
        return TIF_NO_WIDTH;
    return TIF_OK;
}

// The initialiser's blocks, from the library's own figures so that what it writes always
// fits: one raw row (or, tiled, a tile row of raw rows) and one plane row or tile. False when
// the sizes cannot be represented.
bool blockSizes(TIFF* t, const tiffGeom& g, std::uint64_t& rawBytes, std::uint64_t& cacheBytes,
                std::uint64_t& planeBytes)
{
    const int bytes = bytesOf(g);
    const std::uint64_t rowAll = std::uint64_t(g.w) * g.spp * bytes;
    rawBytes = g.bits < 8 ? std::max<std::uint64_t>(TIFFScanlineSize64(t), rowAll) : rowAll;
    cacheBytes = 0;
    if (!g.tiled) {
        planeBytes = std::max<std::uint64_t>(TIFFScanlineSize64(t), rowAll);
        return true;
    }
    std::uint64_t want = 0;
    if (__builtin_mul_overflow(
            std::uint64_t(g.tw) * g.th,
            std::uint64_t(bytes) * (g.planar == PLANARCONFIG_SEPARATE ? 1 : g.spp), &want) ||
        __builtin_mul_overflow(rawBytes, std::uint64_t(g.th), &cacheBytes))
        return false;
    planeBytes = std::max(std::uint64_t(TIFFTileSize64(t)), want);
    return true;
}

} // namespace

int32 RD_TIF_HDR(const vslHdrArgs& a)
{
    releaseState(T);
    TIFF* t = tiffOpen(a.fp, a.fd->path);
    if (!t)
        return TIF_NO_OPEN;
    tiffGeom g;
    const int32 st = readGeom(t, g);
    if (st != TIF_OK) {
        TIFFClose(t);
        return st;
    }
    fdes* fd = a.fd;
    if (g.tiled) {
        fd->vslCtlm |= VSL_TILED;
        DIAG("\nRD_TIF_HDR() file is TILED; X,Y= %u %u", g.tw, g.th);
    }
    switch (g.photo) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
        fd->colorClass = CC_GREY;
        break;
    case PHOTOMETRIC_RGB:
        fd->colorClass = CC_COLOR;
        break;
    case PHOTOMETRIC_PALETTE:
        fd->colorClass = CC_PALETTE;
        break;
    default:
        DIAG("\n---RD_TIFF_HDR() undefined Photometric tag: %d", g.photo);
        fd->colorClass = CC_COLOR;
        break;
    }
    if (g.photo == PHOTOMETRIC_PALETTE && !a.headerOnly) {
        std::uint16_t *r = nullptr, *gr = nullptr, *b = nullptr;
        if (!TIFFGetField(t, TIFFTAG_COLORMAP, &r, &gr, &b)) {
            TIFFClose(t);
            return TIF_NO_COLORMAP;
        }
        const int n = 1 << g.bits;
        if (n > 256) {
            TIFFClose(t);
            return TIF_BAD_TYPE;
        }
        for (int k = 0; k < 3; ++k) {
            a.anc[k] = static_cast<charu*>(std::calloc(256, 1));
            if (!a.anc[k]) {
                TIFFClose(t);
                return TIF_NO_PALETTE_MEM;
            }
        }
        for (int i = 0; i < n; ++i) {
            a.anc[0][i] = static_cast<charu>(r[i] >> 8);
            a.anc[1][i] = static_cast<charu>(gr[i] >> 8);
            a.anc[2][i] = static_cast<charu>(b[i] >> 8);
        }
        *a.nAnc = 3;
    }
    std::uint16_t comp = COMPRESSION_NONE;
    fd->compressed = TIFFGetField(t, TIFFTAG_COMPRESSION, &comp) && comp != COMPRESSION_NONE;
    std::uint64_t rawBytes = 0, cacheBytes = 0, planeBytes = 0;
    const bool sized = blockSizes(t, g, rawBytes, cacheBytes, planeBytes);
    TIFFClose(t);
    if (!sized)
        return TIF_NO_WIDTH;
    fd->workMem = (g.tiled ? cacheBytes : rawBytes) + planeBytes;

    const bool signed16 = g.bits == 16 && g.sfmt == SAMPLEFORMAT_INT;
    fd->format = FMT_TIFF;
    fd->fCols = g.w;
    fd->fRows = g.h;
    fd->bands = static_cast<std::int16_t>(g.bands);
    fd->dBands = static_cast<std::int16_t>(g.bands);
    fd->quantiz = static_cast<charu>(g.bits);
    fd->bytsPixl = static_cast<charu>(signed16 ? 4 : bytesOf(g));
    if (g.sfmt == SAMPLEFORMAT_IEEEFP)
        fd->dataType = g.bits == 64 ? DT_FLOAT64 : DT_FLOAT32;
    else
        fd->dataType = g.bits <= 8 ? DT_BYTE : (g.bits == 16 && !signed16) ? DT_INT16 : DT_INT32;
    const std::uint64_t sl = std::uint64_t(fd->bytsPixl) * std::uint64_t(g.bands) * g.w;
    if (sl > std::uint64_t(INT32_MAX))
        return TIF_NO_WIDTH;
    fd->slBytes = static_cast<int32>(sl);
    fd->storMode = g.bands == 1 ? SM_FLAT : SM_PIXEL_IL;
    if (g.bands > 1)
        fd->vslCtlm |= VSL_RGB;
    if (fd->bytsPixl > 1)
        fd->vslCtlm |= vslIS_HDR;
    return TIF_OK;
}

namespace {

// A block of count x size bytes; the product is checked, since both factors come from tags.
charu* allocChecked(std::uint64_t size, std::uint64_t count = 1)
{
    std::uint64_t bytes = 0;
    std::string msg;
    if (__builtin_mul_overflow(size, count, &bytes) || bytes == 0 ||
        bytes > (std::uint64_t(1) << 40) || !SAFE_MEM_REQ(bytes, &msg))
        return nullptr;
    return static_cast<charu*>(bigZeroAlloc(bytes));
}

// Reads the tile row holding image row y into the cache (raw row layout).
int loadTileRow(std::uint32_t y)
{
    const tiffGeom& g = T.g;
    const int bytes = bytesOf(g);
    const std::uint64_t pix = std::uint64_t(bytes) * g.spp;
    const std::uint32_t y0 = y - y % g.th;
    const int planes = g.planar == PLANARCONFIG_SEPARATE ? g.spp : 1;
    for (std::uint32_t x0 = 0; x0 < g.w; x0 += g.tw)
        for (int s = 0; s < planes; ++s) {
            if (TIFFReadTile(T.tif, T.plane, x0, y0, 0, std::uint16_t(s)) < 0)
                return -1;
            const std::uint32_t cols = std::min(g.tw, g.w - x0);
            const std::uint32_t rows = std::min(g.th, g.h - y0);
            for (std::uint32_t r = 0; r < rows; ++r) {
                charu* dst = T.cache + std::uint64_t(r) * T.rawBytes + std::uint64_t(x0) * pix;
                if (planes == 1) {
                    std::memcpy(dst, T.plane + std::uint64_t(r) * g.tw * pix, cols * pix);
                } else {
                    const charu* src = T.plane + std::uint64_t(r) * g.tw * bytes;
                    for (std::uint32_t c = 0; c < cols; ++c)
                        std::memcpy(dst + c * pix + std::uint64_t(s) * bytes, src + c * bytes,
                                    std::size_t(bytes));
                }
            }
        }
    T.cacheY = y0;
    T.cacheValid = true;
    return 0;
}

} // namespace

int32 vslTIFF_INI()
{
    releaseState(T);
    if (!VSL.fp || !VSL.fd)
        return -1;
    T.tif = tiffOpen(VSL.fp.get(), VSL.fd->path);
    if (!T.tif || readGeom(T.tif, T.g) != TIF_OK || T.g.w != VSL.fd->fCols ||
        T.g.h != VSL.fd->fRows) {
        releaseState(T);
        return -1;
    }
    const tiffGeom& g = T.g;
    std::uint64_t cacheBytes = 0;
    if (!blockSizes(T.tif, g, T.rawBytes, cacheBytes, T.planeBytes)) {
        releaseState(T);
        return g.tiled ? -1 : -2;
    }
    if (g.tiled) {
        T.cache = allocChecked(cacheBytes);
        if (!T.cache) {
            releaseState(T);
            return -1;
        }
    } else {
        T.raw = allocChecked(T.rawBytes);
        if (!T.raw) {
            releaseState(T);
            return -2;
        }
    }
    T.plane = allocChecked(T.planeBytes);
    if (!T.plane) {
        releaseState(T);
        return g.tiled ? -1 : -2;
    }
    return 0;
}

int32 GET_TIFF_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    (void)skip;
    if (!T.tif || T.row >= T.g.h)
        return -1;
    const tiffGeom& g = T.g;
    const int bytes = bytesOf(g);
    const std::uint32_t y = T.row++;
    const charu* raw = nullptr;
    if (g.tiled) {
        if (!T.cacheValid || y < T.cacheY || y >= T.cacheY + g.th)
            if (loadTileRow(y) != 0)
                return -1;
        raw = T.cache + std::uint64_t(y - T.cacheY) * T.rawBytes;
    } else if (g.planar == PLANARCONFIG_SEPARATE && g.spp > 1) {
        for (int s = 0; s < g.spp; ++s) {
            if (TIFFReadScanline(T.tif, T.plane, y, std::uint16_t(s)) < 0)
                return -1;
            for (std::uint32_t c = 0; c < g.w; ++c)
                std::memcpy(T.raw + (std::uint64_t(c) * g.spp + s) * bytes,
                            T.plane + std::uint64_t(c) * bytes, std::size_t(bytes));
        }
        raw = T.raw;
    } else {
        if (TIFFReadScanline(T.tif, T.plane, y, 0) < 0)
            return -1;
        raw = T.plane;
    }

    const bool invert = g.photo == PHOTOMETRIC_MINISWHITE && g.sfmt != SAMPLEFORMAT_IEEEFP;
    if (g.bits < 8) {
        // Packed, most significant bits first; grey is scaled to 8 bits, indices
        // are kept.
        const int maxv = (1 << g.bits) - 1;
        const bool grey = g.photo != PHOTOMETRIC_PALETTE;
        for (std::uint32_t c = 0; c < g.w; ++c) {
            const std::uint64_t bit = std::uint64_t(c) * g.bits;
            int v = (raw[bit / 8] >> (8 - g.bits - int(bit % 8))) & maxv;
            if (invert)
                v = maxv - v;
            buf[c] = static_cast<charu>(grey ? v * 255 / maxv : v);
        }
        return 0;
    }
    const bool signed16 = g.bits == 16 && g.sfmt == SAMPLEFORMAT_INT;
    const bool bgr = g.bands == 4 && bytes == 1;
    if (!signed16 && !bgr && !invert && g.bands == g.spp) {
        // Rows already as delivered: the common case, lent to IMAGE_LOAD where they lie
        // (the row stays untouched until the next call), copied for other callers.
        if (buf == VSL.rowView)
            VSL.rowView = const_cast<charu*>(raw);
        else
            std::memcpy(buf, raw, std::uint64_t(g.w) * g.spp * bytes);
        return 0;
    }
    const int outBytes = signed16 ? 4 : bytes;
    for (std::uint32_t c = 0; c < g.w; ++c)
        for (int k = 0; k < g.bands; ++k) {
            const int src = bgr && k != 3 ? 2 - k : k;
            const charu* p = raw + (std::uint64_t(c) * g.spp + src) * bytes;
            charu* q = buf + (std::uint64_t(c) * g.bands + k) * outBytes;
            if (signed16) {
                std::int16_t v;
                std::memcpy(&v, p, 2);
                std::int32_t w = invert ? -1 - v : v;
                std::memcpy(q, &w, 4);
            } else if (invert) {
                for (int i = 0; i < bytes; ++i)
                    q[i] = static_cast<charu>(~p[i]);
            } else {
                std::memcpy(q, p, std::size_t(bytes));
            }
        }
    return 0;
}

void FREE_TIFF()
{
    releaseState(T);
}
