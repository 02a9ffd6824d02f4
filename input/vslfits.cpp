// FITS reader on cfitsio. One header data unit (HDU) of the file is loaded: the one the HDU
// tag names, or the first displayable image. The reader positions itself at the load region
// (0x40000) and hands over, for each display row, the selected bands as whole planes one after
// another.
//
// Rows go out top-down: FITS counts its rows from the bottom of the picture, so the region's
// first row is the file's row NAXIS2 - fYofs and each next one lies below it.
//
// Samples stay exact: 16-bit and 32-bit integers are read as 32-bit integers when the file's
// BSCALE/BZERO leave them integers that fit (unsigned 16-bit included), and as doubles
// otherwise (a scaled value cut to an integer loses its fraction, unsigned 32-bit overflows).
//
// The file is opened through the name of the stream's own descriptor, so that the decrypted
// copy of an encrypted file is what is read, and with the plain disk-file opener, which takes
// brackets and other characters in the name literally. The header reader keeps no library
// object: the loader may drop a load between GETHEADER and INIT_VSL. Every independent
// library call starts from a cleared status, as the library accumulates it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include <fitsio.h>

#include "bigBlock.h"
#include "diag.h"
#include "fdPath.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

struct fitsImg {
    int bitpix = 0, equiv = 0, naxis = 0;
    long axes[5] = {0, 0, 0, 0, 0};
};

// Rows are read a block at a time: one library call per block rather than per row and band
// (a call for a single row costs as much as the row itself, and reads of more than a few
// records go straight to the file).
constexpr std::int64_t kBlockBytes = std::int64_t(1) << 20;

struct fitsState {
    fitsfile* f = nullptr;
    int hdu = 0;
    fitsImg img;
    int elemType = 0;        // the library's element type used for reading
    int bytes = 0;           // bytes of one element
    int planes[4] = {};      // file planes delivered, in delivery order
    int nPlanes = 0;         // how many
    long firstCol = 1;       // 1-based first column of the region
    std::int64_t rowNo = 0;  // display rows delivered so far
    std::int64_t topRow = 0; // 1-based file row of the region's first display row
    std::int64_t lCols = 0, lRows = 0;
    charu* block = nullptr;      // nPlanes planes of blockRows x lCols elements, file order
    std::int64_t blockRows = 0;  // rows a block holds
    std::int64_t blockLo = 0;    // 1-based file row of the block's first row
    std::int64_t blockCount = 0; // rows read into it (0 = empty)
};
fitsState F;

void closeFits(fitsfile*& f)
{
    if (!f)
        return;
    int st = 0;
    if (fits_close_file(f, &st) != 0)
        DIAG("\nFREE_FITS() close fail. Status= %d\n", st);
    f = nullptr;
}

void releaseState(fitsState& s)
{
    closeFits(s.f);
    bigFree(s.block);
    s = {};
}

// Rows in a block: about a mebibyte, at least one row.
std::int64_t rowsPerBlock(std::int64_t planes, std::int64_t cols, int bytes, std::int64_t rows)
{
    const std::int64_t row = std::max<std::int64_t>(planes * cols * bytes, 1);
    return std::clamp<std::int64_t>(kBlockBytes / row, 1, std::max<std::int64_t>(rows, 1));
}

// Reads the block of file rows that ends at file row `top` (the display row in hand) and goes
// down from there; the library's status of the first failing plane (all are tried).
int readBlock(std::int64_t top)
{
    const std::int64_t lowest = F.topRow - F.lRows + 1;
    const std::int64_t lo = std::max(lowest, top - F.blockRows + 1);
    const std::int64_t n = top - lo + 1;
    const bool wholeRows = F.firstCol == 1 && F.lCols == std::int64_t(F.img.axes[0]);
    F.blockCount = 0;
    int last = 0;
    for (int p = 0; p < F.nPlanes; ++p) {
        const long plane = F.img.naxis > 2 ? long(F.planes[p]) : 1L;
        charu* out = F.block + std::int64_t(p) * F.blockRows * F.lCols * F.bytes;
        int st = 0, anyNul = 0;
        if (wholeRows) {
            long first[4] = {1L, long(lo), plane, 1L};
            fits_read_pix(F.f, F.elemType, first, n * F.lCols, nullptr, out, &anyNul, &st);
        } else {
            long first[4] = {F.firstCol, long(lo), plane, 1L};
            long last4[4] = {F.firstCol + long(F.lCols) - 1, long(top), plane, 1L};
            long inc[4] = {1L, 1L, 1L, 1L};
            fits_read_subset(F.f, F.elemType, first, last4, inc, nullptr, out, &anyNul, &st);
        }
        if (st != 0) {
            DIAG("\n***GET_FITS_SL():fits_read_pix() status= %d", st);
            fits_clear_errmsg();
            last = st;
        }
    }
    if (last == 0) {
        F.blockLo = lo;
        F.blockCount = n;
    }
    return last;
}

// Opens the stream's file through its descriptor's name; null on failure (reported).
fitsfile* openStream(std::FILE* fp)
{
    streamFdPath name;
    if (!name.open(fp)) {
        DIAG("\n***RD_FITS_HDR(): the file's descriptor cannot be named");
        return nullptr;
    }
    fitsfile* f = nullptr;
    int st = 0;
    if (fits_open_diskfile(&f, name.c_str(), READONLY, &st) != 0) {
        fits_report_error(stderr, st);
        return nullptr;
    }
    return f;
}

// Moves to HDU n and reads its image parameters; false when it is not an image.
bool imageAt(fitsfile* f, int n, fitsImg& img)
{
    img = {};
    int st = 0, type = 0;
    if (fits_movabs_hdu(f, n, &type, &st) != 0) {
        fits_clear_errmsg();
        return false;
    }
    st = 0;
    if (fits_get_img_param(f, 5, &img.bitpix, &img.naxis, img.axes, &st) != 0) {
        fits_clear_errmsg();
        return false;
    }
    st = 0;
    if (fits_get_img_equivtype(f, &img.equiv, &st) != 0) {
        fits_clear_errmsg();
        img.equiv = img.bitpix;
    }
    return true;
}

bool displayable(const fitsImg& img, long minSide)
{
    return img.naxis >= 2 && img.naxis <= 4 && img.axes[0] >= minSide && img.axes[1] >= minSide;
}

// The element type the samples are read in, from BITPIX and the type the file's scaling makes
// of them; false for a BITPIX the format does not have.
bool elementOf(const fitsImg& img, int& type, int& bytes, charu& dataType)
{
    switch (img.bitpix) {
    case BYTE_IMG:
        if (img.equiv == BYTE_IMG) {
            type = TBYTE, bytes = 1, dataType = DT_BYTE;
            return true;
        }
        break;
    case SHORT_IMG:
        if (img.equiv == SHORT_IMG || img.equiv == USHORT_IMG || img.equiv == LONG_IMG) {
            type = TINT, bytes = 4, dataType = DT_INT32;
            return true;
        }
        break;
    case LONG_IMG:
        if (img.equiv == LONG_IMG) {
            type = TINT, bytes = 4, dataType = DT_INT32;
            return true;
        }
        break;
    case FLOAT_IMG:
        type = TFLOAT, bytes = 4, dataType = DT_FLOAT32;
        return true;
    case DOUBLE_IMG:
        break;
    default:
        return false;
    }
    // Scaled integers, and doubles: the values as the file's scaling makes them.
    type = TDOUBLE, bytes = 8, dataType = DT_FLOAT64;
    return true;
}

} // namespace

int32 RD_FITS_HDR(const vslHdrArgs& a)
{
    releaseState(F);
    fitsfile* f = openStream(a.fp);
    if (!f)
        return FITS_NO_OPEN;
    int count = 0, st = 0;
    if (fits_get_num_hdus(f, &count, &st) != 0 || count < 1) {
        fits_clear_errmsg();
        vslLoaderMsg("\nFITS File contains no HDUs\n");
        closeFits(f);
        return FITS_NO_HDU;
    }
    std::string report = strPrintf("\n\nFITS_RD_HDR(): HDUs found= %d", count);
    const int want = a.fd->HDU;
    if (want > count) {
        vslLoaderMsg(strPrintf("\nSpecified HDU= %d invalid. HDUs in file= %d.\n", want, count));
        closeFits(f);
        return FITS_BAD_HDU;
    }
    fitsImg img;
    int chosen = 0;
    if (want > 0) {
        if (!imageAt(f, want, img) || !displayable(img, 16)) {
            vslLoaderMsg(strPrintf("\nSpecified HDU= %d is not displayable\n", want));
            closeFits(f);
            return FITS_NOT_DISPLAYABLE;
        }
        chosen = want;
    } else {
        for (int n = 1; n <= count; ++n) {
            if (!imageAt(f, n, img)) {
                report += strPrintf("\nNon-image HDU %d skipped", n);
                continue;
            }
            report += strPrintf("\nHDU #: %d bitsPix: %3d, numAxis: %2d arrDims[0-4]: %ld %ld "
                                "%ld %ld %ld",
                                n, img.bitpix, img.naxis, img.axes[0], img.axes[1], img.axes[2],
                                img.axes[3], img.axes[4]);
            // Automatic choice wants more than a thumbnail.
            if (!chosen && displayable(img, 17))
                chosen = n;
        }
        if (!chosen) {
            report += "\n\nNo displayable FITS Image found\n";
            vslLoaderMsg(report);
            closeFits(f);
            return FITS_NOTHING_SHOWN;
        }
    }
    a.fd->HDU = shortu(chosen);
    if (!imageAt(f, chosen, img)) {
        closeFits(f);
        return FITS_BAD_PARAM;
    }
    report += strPrintf("\n\nLoading FITS HDU= %d\n", chosen);
    if (a.headerOnly)
        vslLoaderMsg(report);

    int type = 0, bytes = 0;
    charu dataType = 0;
    const long planes = img.naxis > 2 ? img.axes[2] : 1;
    const std::int64_t slBytes = std::int64_t(planes < 4 ? planes : 4) * img.axes[0] * 8;
    if (!elementOf(img, type, bytes, dataType) || planes < 1 || planes > 32767 ||
        img.axes[0] > 0x7FFFFFFF || img.axes[1] > 0x7FFFFFFF || slBytes > INT32_MAX) {
        DIAG("\nRD_FITS_HDR() fail: bitsPix= %d", img.bitpix);
        closeFits(f);
        return FITS_BAD_PARAM;
    }
    st = 0;
    const int compressed = fits_is_compressed_image(f, &st);
    closeFits(f);

    fdes* fd = a.fd;
    fd->format = FMT_FITS;
    fd->fCols = int32u(img.axes[0]);
    fd->fRows = int32u(img.axes[1]);
    fd->bands = std::int16_t(planes);
    fd->dBands = fd->bands;
    fd->storMode = planes == 1 ? SM_FLAT : SM_SCAN_IL;
    fd->colorClass = planes == 1 ? CC_GREY : CC_COLOR;
    fd->quantiz = charu(img.bitpix < 0 ? -img.bitpix : img.bitpix);
    fd->bytsPixl = charu(bytes);
    fd->dataType = dataType;
    fd->compressed = compressed ? 1 : 0;
    // The initialiser sizes the scanline to the selected bands and the region; until then it
    // is the largest a load of this file can need.
    fd->slBytes = int32(std::int64_t(planes < 4 ? planes : 4) * img.axes[0] * bytes);
    const std::int64_t maxPlanes = planes < 4 ? planes : 4;
    fd->workMem = std::uint64_t(maxPlanes * img.axes[0] * bytes *
                                rowsPerBlock(maxPlanes, img.axes[0], bytes, img.axes[1]));
    fd->vslCtlm |= VSL_SELF_POS;
    if (planes > 1)
        fd->vslCtlm |= VSL_SCAN_IL;
    if (dataType != DT_BYTE)
        fd->vslCtlm |= vslIS_HDR;
    return FITS_OK;
}

int32 vslFITS_INI()
{
    releaseState(F);
    fdes* fd = VSL.fd;
    if (!VSL.fp || !fd)
        return -1;
    F.f = openStream(VSL.fp.get());
    if (!F.f)
        return -1;
    charu dataType = 0;
    if (!imageAt(F.f, fd->HDU, F.img) || std::int64_t(F.img.axes[0]) != fd->fCols ||
        std::int64_t(F.img.axes[1]) != fd->fRows ||
        !elementOf(F.img, F.elemType, F.bytes, dataType) || F.bytes != fd->bytsPixl) {
        DIAG("\n***vslFITS_INI(): the file changed since its header was read");
        releaseState(F);
        return -1;
    }
    // The selected bands in gun order; the 8-bit plane conversion fills blue from the first
    // plane and red from the third, so colour planes go out blue band first and show their
    // true colours.
    for (int k = 0; k < 4; ++k)
        if (fd->Bands[k] > 0 && F.nPlanes < fd->dBands)
            F.planes[F.nPlanes++] = fd->Bands[k];
    if (F.nPlanes != fd->dBands) {
        DIAG("\nget_fits_sl() ldBands[]= %d %d %d %d", fd->Bands[0], fd->Bands[1], fd->Bands[2],
             fd->Bands[3]);
        releaseState(F);
        return -1;
    }
    if (fd->bytsPixl == 1 && (fd->vslCtlm & VSL_RGB) && F.nPlanes >= 3)
        std::swap(F.planes[0], F.planes[2]);
    fd->colorClass = fd->dBands == 1 ? CC_GREY : CC_COLOR;
    fd->vslCtlm |= VSL_SELF_POS;
    fd->slBytes = int32(std::int64_t(fd->dBands) * fd->lCols * fd->bytsPixl);
    F.firstCol = long(fd->fXofs) + 1;
    F.topRow = std::int64_t(fd->fRows) - fd->fYofs;
    F.lCols = fd->lCols;
    F.lRows = fd->lRows;
    F.hdu = fd->HDU;
    F.blockRows = rowsPerBlock(F.nPlanes, F.lCols, F.bytes, F.lRows);
    const std::uint64_t bytes = std::uint64_t(F.nPlanes) * F.blockRows * F.lCols * F.bytes;
    std::string msg;
    F.block = SAFE_MEM_REQ(bytes, &msg) ? static_cast<charu*>(bigAlloc(bytes)) : nullptr;
    if (!F.block) {
        DIAG("\n***vslFITS_INI(): no memory for %llu bytes of rows",
             static_cast<unsigned long long>(bytes));
        releaseState(F);
        return -1;
    }
    return 0;
}

int32 GET_FITS_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    (void)skip;
    if (!F.f || F.rowNo >= F.lRows)
        return -1;
    const std::int64_t fileRow = F.topRow - F.rowNo++;
    if (F.blockCount == 0 || fileRow < F.blockLo || fileRow >= F.blockLo + F.blockCount)
        if (const int st = readBlock(fileRow); st != 0)
            return st;
    const std::int64_t rowBytes = F.lCols * F.bytes;
    const std::int64_t at = (fileRow - F.blockLo) * rowBytes;
    // One band: IMAGE_LOAD takes the row where it lies in the block (it stays put until the
    // next row is asked for).
    if (F.nPlanes == 1 && buf == VSL.rowView) {
        VSL.rowView = F.block + at;
        return 0;
    }
    for (int p = 0; p < F.nPlanes; ++p)
        std::memcpy(buf + p * rowBytes, F.block + std::int64_t(p) * F.blockRows * rowBytes + at,
                    std::size_t(rowBytes));
    return 0;
}

void FREE_FITS()
{
    releaseState(F);
}
