// WebP reader on libwebp. The whole picture is decoded when the load starts: straight into the
// iBUFF when the load is the whole file into a buffer of its size with no tag that changes
// the pixels (direct ingest, 0x400000: IMAGE_LOAD then has nothing to do), otherwise into a
// decoded image the getter hands out row by row.
//
// Rows: a picture with alpha goes out blue, green, red, alpha (the iBUFF's memory order); one
// without goes out red, green, blue as three bands, so that the buffer is not marked as having
// an alpha plane the file does not have.
//
// The file's bytes are read by the header reader and kept for the initialiser; GETHEADER drops
// them when a load ended before its initialiser.
#include <cstdint>
#include <cstring>
#include <string>

#include <webp/decode.h>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

constexpr std::uint64_t kHeaderOnlyBytes = 2048;
constexpr int kMaxSide = 32767;

struct webpState {
    charu* data = nullptr; // the file's bytes
    std::uint64_t size = 0;
    charu* image = nullptr; // decoded rows (not with direct ingest)
    std::uint64_t rowBytes = 0;
    std::uint32_t rows = 0, next = 0;
};
webpState W;

void dropData(webpState& s)
{
    bigFree(s.data);
    s.data = nullptr;
    s.size = 0;
}

void releaseState(webpState& s)
{
    dropData(s);
    bigFree(s.image);
    s = {};
}

// Decodes into `out` (rows of `stride` bytes), four bytes a pixel in memory order or three in
// red, green, blue order; false when the library gives up.
bool decodeInto(charu* out, std::uint64_t bytes, int stride, bool bgra)
{
    const uint8_t* r = bgra ? WebPDecodeBGRAInto(W.data, W.size, out, bytes, stride)
                            : WebPDecodeRGBInto(W.data, W.size, out, bytes, stride);
    return r != nullptr;
}

} // namespace

int32 WEBP_HDR(const vslHdrArgs& a)
{
    releaseState(W);
    const int32 rst =
        vslReadWholeStream(a.fp, a.headerOnly ? kHeaderOnlyBytes : 0, &W.data, &W.size);
    if (rst != 0)
        return rst == -1 ? WEBP_NO_MEM : WEBP_READ;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) {
        releaseState(W);
        return WEBP_CONFIG;
    }
    const VP8StatusCode fst = WebPGetFeatures(W.data, W.size, &config.input);
    if (fst != VP8_STATUS_OK) {
        DIAG("\n***WEBP_HDR(): no WebP image header (status %d)", int(fst));
        releaseState(W);
        return WEBP_NO_FEATURES;
    }
    const WebPBitstreamFeatures& ft = config.input;
    if (ft.has_animation) {
        DIAG("\n***WEBP_HDR(): animated WebP: only still pictures are loaded");
        releaseState(W);
        return WEBP_ANIMATED;
    }
    if (ft.width <= 0 || ft.height <= 0 || ft.width > kMaxSide || ft.height > kMaxSide) {
        releaseState(W);
        return WEBP_BAD_SIZE;
    }
    fdes* fd = a.fd;
    fd->format = FMT_WEBP;
    fd->fCols = int32u(ft.width);
    fd->fRows = int32u(ft.height);
    fd->bands = ft.has_alpha ? 4 : 3;
    fd->dBands = fd->bands;
    fd->storMode = SM_PIXEL_IL;
    fd->colorClass = CC_COLOR;
    fd->dataType = DT_BYTE;
    fd->quantiz = 8;
    fd->bytsPixl = 1;
    fd->compressed = 1;
    fd->vslCtlm |= VSL_RGB;
    fd->slBytes = int32(fd->bands) * ft.width;
    // The decoded picture (a direct decode into a block that must stay intact until it has
    // succeeded needs as much).
    fd->workMem = std::uint64_t(4) * std::uint64_t(ft.width) * std::uint64_t(ft.height);
    if (a.headerOnly)
        releaseState(W);
    return WEBP_OK;
}

int32 INIT_WEBP()
{
    fdes* fd = VSL.fd;
    bufdes* b = VSL.bd;
    if (!fd || !b || !W.data) {
        DIAG("\nINIT_WEBP() no file data");
        return -1;
    }
    bigFree(W.image);
    W.image = nullptr;
    W.rows = fd->fRows;
    W.next = 0;
    if (vslDirectIngestAllowed()) {
        const int stride = int(4 * fd->fCols);
        const std::uint64_t bytes = std::uint64_t(stride) * fd->fRows;
        charu* target = reinterpret_cast<charu*>(b->imgbuf);
        // A block whose earlier pixels a failed load gives back is written only once the
        // picture has decoded whole.
        charu* aside = nullptr;
        if (vslBlockHoldsKeptPixels()) {
            std::string msg;
            aside = SAFE_MEM_REQ(bytes, &msg) ? static_cast<charu*>(bigAlloc(bytes)) : nullptr;
            if (!aside) {
                DIAG("\nINIT_WEBP() malloc fail");
                dropData(W);
                return -1;
            }
        }
        const bool ok = decodeInto(aside ? aside : target, bytes, stride, true);
        if (ok && aside)
            std::memcpy(target, aside, bytes);
        bigFree(aside);
        dropData(W);
        if (!ok) {
            DIAG("\nINIT_WEBP() DecodeBGRAInto returns NULL");
            return -2;
        }
        fd->vslCtlm |= VSL_DIRECT;
        return 0;
    }
    W.rowBytes = std::uint64_t(fd->bands) * fd->fCols;
    fd->slBytes = int32(W.rowBytes);
    const std::uint64_t bytes = W.rowBytes * fd->fRows;
    std::string msg;
    W.image = SAFE_MEM_REQ(bytes, &msg) ? static_cast<charu*>(bigAlloc(bytes)) : nullptr;
    if (!W.image) {
        DIAG("\nINIT_WEBP() malloc fail");
        dropData(W);
        return -1;
    }
    const bool ok = decodeInto(W.image, bytes, int(W.rowBytes), fd->bands == 4);
    dropData(W);
    if (!ok) {
        DIAG("\nINIT_WEBP() DecodeBGRAInto returns NULL");
        bigFree(W.image);
        W.image = nullptr;
        return -2;
    }
    return 0;
}

int32 GET_WEBP_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    return vslServeDecodedRow(W.image, W.rowBytes, W.rows, &W.next, buf, skip);
}

void FREE_WEBP()
{
    releaseState(W);
}
