// AVIF reader on libavif. The header reader parses the container from the whole file (the
// boxes that describe the picture may lie anywhere in it, a prefix fails on ordinary files);
// the initialiser decodes the picture and converts it to RGB: straight into the iBUFF when the
// load is the whole 8-bit file into a buffer of its size with no tag that changes the pixels
// (direct ingest, 0x400000), otherwise into a decoded image the getter hands out row by row.
//
// Rows: 8-bit pictures go out red, green, blue (three bands) or blue, green, red, alpha (four,
// the iBUFF's memory order), so both show their true colours; deeper pictures are HDR and go
// out red, green, blue (, alpha) as 16-bit samples in the machine's order.
//
// The decoder and the file's bytes are kept from the header reader to the initialiser; GETHEADER
// drops them when a load ended before its initialiser.
#include <cstdint>
#include <cstring>
#include <string>

#include <avif/avif.h>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

constexpr std::uint32_t kMaxSide = 32767;

struct avifState {
    avifDecoder* dec = nullptr;
    charu* data = nullptr; // the file's bytes, read by the decoder in place
    std::uint64_t size = 0;
    charu* image = nullptr; // converted rows (not with direct ingest)
    std::uint64_t rowBytes = 0;
    std::uint32_t rows = 0, next = 0;
};
avifState A;

void dropDecoder(avifState& s)
{
    if (s.dec)
        avifDecoderDestroy(s.dec);
    s.dec = nullptr;
    bigFree(s.data);
    s.data = nullptr;
    s.size = 0;
}

void releaseState(avifState& s)
{
    dropDecoder(s);
    bigFree(s.image);
    s = {};
}

// Converts the decoded picture into `out`; the library's result.
avifResult toRgb(charu* out, std::uint32_t rowBytes, avifRGBFormat format, std::uint32_t depth)
{
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, A.dec->image);
    rgb.format = format;
    rgb.depth = depth;
    rgb.pixels = out;
    rgb.rowBytes = rowBytes;
    return avifImageYUVToRGB(A.dec->image, &rgb);
}

} // namespace

int32 RD_AVIF_HDR(const vslHdrArgs& a)
{
    releaseState(A);
    const int32 rst = vslReadWholeStream(a.fp, 0, &A.data, &A.size);
    if (rst != 0)
        return rst == -1 ? AVIF_NO_MEM : AVIF_READ;
    A.dec = avifDecoderCreate();
    if (!A.dec) {
        DIAG("\nRD_AVIF_HDR() decoder create fail");
        releaseState(A);
        return AVIF_NO_DECODER;
    }
    // One thread, as the whole program; metadata is not used.
    A.dec->maxThreads = 1;
    A.dec->ignoreExif = AVIF_TRUE;
    A.dec->ignoreXMP = AVIF_TRUE;
    if (avifDecoderSetIOMemory(A.dec, A.data, A.size) != AVIF_RESULT_OK) {
        DIAG("\nRD_AVIF_HDR() SetIOMemory fail");
        releaseState(A);
        return AVIF_IO_MEMORY;
    }
    const avifResult pst = avifDecoderParse(A.dec);
    if (pst != AVIF_RESULT_OK && pst != AVIF_RESULT_WAITING_ON_IO) {
        DIAG("\nRD_AVIF_HDR() data parse fail: %s", avifResultToString(pst));
        releaseState(A);
        return AVIF_PARSE;
    }
    const avifImage* im = A.dec->image;
    if (pst != AVIF_RESULT_OK || !im || im->width < 1 || im->height < 1 || im->width > kMaxSide ||
        im->height > kMaxSide || (im->depth != 8 && im->depth != 10 && im->depth != 12)) {
        DIAG("\nRD_AVIF_HDR() invalid header content");
        releaseState(A);
        return AVIF_BAD_HEADER;
    }
    if (A.dec->imageCount > 1) {
        DIAG("\n***RD_AVIF_HDR(): image sequence of %d frames: only still pictures are loaded",
             A.dec->imageCount);
        releaseState(A);
        return AVIF_SEQUENCE;
    }
    fdes* fd = a.fd;
    const int bytes = im->depth > 8 ? 2 : 1;
    fd->format = FMT_AVIF;
    fd->fCols = im->width;
    fd->fRows = im->height;
    fd->bands = A.dec->alphaPresent ? 4 : 3;
    fd->dBands = fd->bands;
    fd->storMode = SM_PIXEL_IL;
    fd->colorClass = CC_COLOR;
    fd->quantiz = charu(im->depth);
    fd->bytsPixl = charu(bytes);
    fd->dataType = bytes == 1 ? DT_BYTE : DT_INT16;
    fd->compressed = 1;
    fd->vslCtlm |= VSL_RGB;
    if (bytes > 1)
        fd->vslCtlm |= vslIS_HDR;
    fd->slBytes = int32(fd->bands) * int32(im->width) * bytes;
    // The decoded planes (luma, chroma and alpha at most full size) and the converted picture.
    const std::uint64_t px = std::uint64_t(im->width) * im->height;
    fd->workMem = px * 4u * std::uint64_t(bytes) + px * 4u * std::uint64_t(bytes);
    if (a.headerOnly)
        releaseState(A);
    return AVIF_OK;
}

int32 AVIF_INI()
{
    fdes* fd = VSL.fd;
    bufdes* b = VSL.bd;
    if (!fd || !b || !A.dec) {
        DIAG("\nAVIF_INI() nextImage fail");
        return -1;
    }
    bigFree(A.image);
    A.image = nullptr;
    if (avifDecoderNextImage(A.dec) != AVIF_RESULT_OK || !A.dec->image ||
        A.dec->image->width != fd->fCols || A.dec->image->height != fd->fRows) {
        DIAG("\nAVIF_INI() nextImage fail");
        dropDecoder(A);
        return -1;
    }
    A.rows = fd->fRows;
    A.next = 0;
    if (vslDirectIngestAllowed()) {
        DIAG("\nUsing avif direct iBUFF injest");
        const std::uint32_t stride = 4 * fd->fCols;
        const std::uint64_t bytes = std::uint64_t(stride) * fd->fRows;
        charu* target = reinterpret_cast<charu*>(b->imgbuf);
        // A block whose earlier pixels a failed load gives back is written only once the
        // picture has converted whole.
        charu* aside = nullptr;
        if (vslBlockHoldsKeptPixels()) {
            std::string msg;
            aside = SAFE_MEM_REQ(bytes, &msg) ? static_cast<charu*>(bigAlloc(bytes)) : nullptr;
            if (!aside) {
                DIAG("\nAVIF_INI() memory alloc fail");
                dropDecoder(A);
                return -2;
            }
        }
        const avifResult r = toRgb(aside ? aside : target, stride, AVIF_RGB_FORMAT_BGRA, 8);
        if (r == AVIF_RESULT_OK && aside)
            std::memcpy(target, aside, bytes);
        bigFree(aside);
        dropDecoder(A);
        if (r != AVIF_RESULT_OK) {
            DIAG("\nvslAVIF_INI() ImageYUVToRGB fail: %s", avifResultToString(r));
            return -3;
        }
        fd->vslCtlm |= VSL_DIRECT;
        return 0;
    }
    DIAG("\nUsing avif scan-buff injest");
    const bool hdr = fd->bytsPixl > 1;
    A.rowBytes = std::uint64_t(fd->bands) * fd->fCols * fd->bytsPixl;
    fd->slBytes = int32(A.rowBytes);
    const std::uint64_t bytes = A.rowBytes * fd->fRows;
    std::string msg;
    A.image = SAFE_MEM_REQ(bytes, &msg) ? static_cast<charu*>(bigAlloc(bytes)) : nullptr;
    if (!A.image) {
        DIAG("\nAVIF_INI() memory alloc fail");
        dropDecoder(A);
        return -2;
    }
    if (hdr) {
        VSL.id->hdrImg = 1;
        DIAG(" - avif is HDR");
    }
    const avifRGBFormat format =
        fd->bands == 4 ? (hdr ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_BGRA) : AVIF_RGB_FORMAT_RGB;
    const avifResult r = toRgb(A.image, std::uint32_t(A.rowBytes), format, fd->quantiz);
    dropDecoder(A);
    if (r != AVIF_RESULT_OK) {
        DIAG("\nvslAVIF_INI() ImageYUVToRGB fail: %s", avifResultToString(r));
        bigFree(A.image);
        A.image = nullptr;
        return -3;
    }
    return 0;
}

int32 GET_AVIF_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    return vslServeDecodedRow(A.image, A.rowBytes, A.rows, &A.next, buf, skip);
}

void FREE_AVIF()
{
    releaseState(A);
}
