// JPEG 2000 reader on the codec layer of jp2codec/. The codec cuts out the load region and
// drops resolution levels (DERES) itself, so the pipeline neither skips rows nor offsets into
// them (VSL_SELF_POS) and does not reduce the picture a second time. Rows go out
// scanline-interleaved, one plane per delivered band, and only the bands the load selects are
// decoded into them, in the order the conversion takes them: an 8-bit colour load gets its
// planes as blue, green, red (, alpha), every other load its bands in gun order.
//
// The header reader keeps no codec object: the loader may drop a load between GETHEADER and
// INIT_VSL and then only closes the stream. The initialiser opens the file again through the
// stream (a decrypted copy has no name of its own) and decodes the region at once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bigBlock.h"
#include "diag.h"
#include "fdPath.h"
#include "get_vsl.h"
#include "jp2codec.h"
#include "vslReaders.h"

using kdu_core::kdu_byte;
using kdu_core::kdu_codestream;
using kdu_core::kdu_dims;
using kdu_core::kdu_int16;
using kdu_core::kdu_stripe_decompressor;
using kdu_supp::jp2_family_src;
using kdu_supp::jp2_input_box;
using kdu_supp::jp2_source;

namespace {

constexpr int kMaxStripe = 16;

// The codec objects live for the program; each load opens and closes them.
struct j2kCodec {
    streamFdPath name;
    jp2_family_src family;
    jp2_source source;
    kdu_codestream cs;
    kdu_stripe_decompressor dec;
};
j2kCodec C;

struct j2kState {
    int planes = 0;        // planes of one scanline (dBands)
    int planeComp[4] = {}; // codestream component of each plane (-1: zeros)
    int presented = 0;     // components the codestream presents
    int planeOf[4] = {};   // plane each presented component fills
    int bytes = 1;         // bytes per sample
    std::int64_t cols = 0; // samples per plane row
    std::int64_t rowBytes = 0;
    charu* stripe = nullptr; // stripe rows, each laid out as one scanline
    int stripeRows = 0;      // rows a pull asks for
    std::int64_t rowsToPull = 0;
    int rowsLeft = 0; // rows of the current stripe not yet handed out
    std::int64_t rowOfs = 0;
    int counter = 0;
    bool more = true;
    int precision[4] = {};
};
j2kState J;

void closeCodec()
{
    C.dec.finish();
    C.cs.destroy();
    C.family.close();
    C.source.close();
    C.dec.reset();
    C.name.reset();
}

void releaseAll()
{
    closeCodec();
    bigFree(J.stripe);
    J = {};
}

// Opens the stream's file as a JP2 family file with its header read and a codestream on it.
// 0, J2K_OPEN or J2K_UNSUPPORTED (closed again on failure).
int32 openCodec(std::FILE* fp, const char* path)
{
    closeCodec();
    if (!C.name.open(fp) || !C.family.open(C.name.c_str(), true) || !C.source.open(&C.family)) {
        DIAG("\n***RD_JP2_HDR() FAIL: %s\n    - open error or contains no data", path);
        closeCodec();
        return J2K_OPEN;
    }
    jp2_input_box box;
    if (!box.open(&C.family) || box.get_box_type() != kdu_supp::jp2_signature_4cc) {
        closeCodec();
        return J2K_UNSUPPORTED;
    }
    box.close();
    if (C.source.read_header())
        C.cs.create(&C.source);
    if (!C.cs.exists()) {
        DIAG("\n***RD_JP2_HDR() FAIL: %s\n    - header or codestream unreadable", path);
        closeCodec();
        return J2K_UNSUPPORTED;
    }
    return J2K_OK;
}

// The component count the reader delivers from: 1, 3 or 4, or 1 when the components differ in
// size. 0 when the count is not supported (message written).
int usableComponents(const kdu_codestream& cs, bool warn)
{
    int n = cs.get_num_components();
    if (n != 1 && n != 3 && n != 4) {
        DIAG("\n***J2K; Unsupported number of bands: %d", n);
        return 0;
    }
    kdu_dims d0;
    cs.get_dims(0, d0);
    const int q0 = cs.get_bit_depth(0);
    for (int c = 1; c < n; ++c) {
        const int q = cs.get_bit_depth(c);
        if (q != q0 && warn)
            DIAG("\n---WARN: J2K; quantiz for band[0] != band[%d]: %d %d", c, q0, q);
        kdu_dims d;
        cs.get_dims(c, d);
        if (d.size.x != d0.size.x || d.size.y != d0.size.y) {
            if (warn)
                DIAG("\n---J2K; Unequal Band dimensions not supported; reverting Band=0, "
                     "nBands=1");
            n = 1;
            break;
        }
    }
    return n;
}

int deresOf(const fdes* fd)
{
    return fd->deresLevel >= 1 && fd->deresLevel <= 4 ? fd->deresLevel : 0;
}

} // namespace

int32 RD_JP2_HDR(const vslHdrArgs& a)
{
    releaseAll();
    fdes* fd = a.fd;
    if (const int32 st = openCodec(a.fp, fd->path); st != J2K_OK)
        return st;
    const int n = usableComponents(C.cs, true);
    if (n == 0) {
        closeCodec();
        return J2K_UNSUPPORTED;
    }
    const int q = C.cs.get_bit_depth(0);
    // Samples are handed on in at most 16 bits.
    if (q < 1 || q > 16) {
        DIAG("\n***J2K; Unsupported bit depth: %d", q);
        closeCodec();
        return J2K_UNSUPPORTED;
    }
    if (const int levels = deresOf(fd))
        C.cs.apply_input_restrictions(0, n, levels, 0, nullptr);
    kdu_dims d;
    C.cs.get_dims(0, d);
    closeCodec();

    const int bytes = (q + 7) / 8;
    const std::uint64_t sl = std::uint64_t(n) * std::uint64_t(d.size.x) * unsigned(bytes);
    if (d.is_empty() || sl > std::uint64_t(INT32_MAX)) {
        DIAG("\n***RD_JP2_HDR() FAIL: %s\n    - image size %d x %d not usable", fd->path, d.size.x,
             d.size.y);
        return J2K_UNSUPPORTED;
    }
    fd->format = FMT_JP2;
    fd->fCols = int32u(d.size.x);
    fd->fRows = int32u(d.size.y);
    fd->bands = std::int16_t(n);
    fd->storMode = n == 1 ? SM_FLAT : SM_SCAN_IL;
    fd->quantiz = charu(q);
    fd->bytsPixl = charu(bytes);
    fd->dataType = bytes == 1 ? DT_BYTE : DT_INT16;
    if (bytes > 1)
        fd->vslCtlm |= vslIS_HDR;
    fd->colorClass = n == 1 ? CC_GREY : CC_COLOR;
    fd->compressed = 1;
    fd->vslCtlm |= VSL_SELF_POS;
    fd->slBytes = int32(sl);
    // The decoder holds every component of the picture as 32-bit samples, and its tile
    // buffers as much again; the stripe rows are small beside them.
    fd->workMem = 8u * std::uint64_t(n) * unsigned(d.size.x) * unsigned(d.size.y) + kMaxStripe * sl;
    return J2K_OK;
}

int32 vslJ2K_INI()
{
    releaseAll();
    fdes* fd = VSL.fd;
    if (!fd || !VSL.fp)
        return J2K_INI_DECODE;
    if (openCodec(VSL.fp.get(), fd->path) != J2K_OK) {
        releaseAll();
        return J2K_INI_DECODE;
    }
    const int n = usableComponents(C.cs, false);
    if (n == 0 || n < fd->bands || fd->dBands < 1 || fd->dBands > 4) {
        releaseAll();
        return J2K_INI_DECODE;
    }
    C.cs.set_fast();
    C.cs.set_fussy();

    // Which component fills each plane: an 8-bit colour load fills blue, green, red, alpha in
    // that order from the bands named for those guns; every other load takes its named bands
    // in gun order.
    J.planes = fd->dBands;
    J.bytes = fd->bytsPixl;
    const bool colour8 = J.bytes == 1 && (fd->vslCtlm & VSL_RGB) && fd->storMode == SM_SCAN_IL;
    static constexpr int memGun[4] = {2, 1, 0, 3};
    int next = 0;
    for (int p = 0; p < 4; ++p)
        J.planeComp[p] = -1;
    if (colour8) {
        for (int p = 0; p < J.planes; ++p)
            J.planeComp[p] = fd->Bands[memGun[p]] - 1;
    } else {
        for (int g = 0; g < 4 && next < J.planes; ++g)
            if (fd->Bands[g] > 0)
                J.planeComp[next++] = fd->Bands[g] - 1;
    }
    int list[4];
    for (int p = 0; p < J.planes; ++p) {
        if (J.planeComp[p] >= n) {
            releaseAll();
            return J2K_INI_DECODE;
        }
        if (J.planeComp[p] >= 0) {
            J.planeOf[J.presented] = p;
            list[J.presented++] = J.planeComp[p];
        }
    }
    if (J.presented == 0) {
        releaseAll();
        return J2K_INI_DECODE;
    }
    const int levels = deresOf(fd);
    C.cs.apply_input_restrictions(J.presented, list, levels, 0, nullptr);

    // The region goes to the codec whenever it is not the whole picture (an origin of 0,0 with
    // fewer columns or rows is a region too).
    kdu_dims d0;
    C.cs.get_dims(0, d0);
    const bool whole = fd->fXofs == 0 && fd->fYofs == 0 && std::int64_t(fd->lCols) == d0.size.x &&
                       std::int64_t(fd->lRows) == d0.size.y;
    if (!whole) {
        kdu_dims hires;
        for (int i = 0; i < J.presented; ++i) {
            kdu_dims cd, want;
            C.cs.get_dims(i, cd);
            want.pos.x = cd.pos.x + fd->fXofs;
            want.pos.y = cd.pos.y + fd->fYofs;
            want.size.x = int(fd->lCols);
            want.size.y = int(fd->lRows);
            const kdu_dims part = cd.intersection(want);
            if (part.is_empty() || !C.cs.map_region(i, part, hires)) {
                releaseAll();
                return J2K_INI_EMPTY;
            }
        }
        C.cs.apply_input_restrictions(J.presented, list, levels, 0, &hires);
    }
    for (int i = 0; i < J.presented; ++i) {
        kdu_dims cd;
        C.cs.get_dims(i, cd);
        if (cd.size.x != int(fd->lCols) || cd.size.y != int(fd->lRows)) {
            releaseAll();
            return J2K_INI_EMPTY;
        }
    }
    if (!whole) {
        // The codestream presents just the region: that is the file as this load sees it.
        fd->fCols = fd->lCols;
        fd->fRows = fd->lRows;
    }
    J.cols = fd->lCols;
    J.rowBytes = std::int64_t(J.planes) * J.cols * J.bytes;
    if (J.rowBytes > INT32_MAX) {
        releaseAll();
        return J2K_INI_NO_MEM;
    }
    fd->slBytes = int32(J.rowBytes);

    if (!C.dec.start(C.cs, true, true)) {
        DIAG("\n***J2K; codestream could not be decoded: %s", fd->path);
        releaseAll();
        return J2K_INI_DECODE;
    }
    int heights[4] = {}, maxHeights[4] = {};
    if (C.dec.get_recommended_stripe_heights(1, kMaxStripe, heights, maxHeights))
        DIAG("\n---using decompressor recommended stripe heights");
    J.stripeRows = std::clamp(heights[0], 1, kMaxStripe);
    int maxRows = J.stripeRows;
    for (int i = 0; i < J.presented; ++i)
        maxRows = std::max(maxRows, maxHeights[i]);
    std::string guardMsg;
    const std::uint64_t stripeBytes = std::uint64_t(maxRows) * std::uint64_t(J.rowBytes);
    if (!SAFE_MEM_REQ(stripeBytes, &guardMsg) ||
        !(J.stripe = static_cast<charu*>(bigZeroAlloc(stripeBytes)))) {
        releaseAll();
        return J2K_INI_NO_MEM;
    }
    for (int i = 0; i < J.presented; ++i) {
        const int depth = C.cs.get_bit_depth(i);
        J.precision[i] = J.bytes == 1 ? 8 : std::min(depth, 16);
    }
    J.rowsToPull = fd->lRows;
    J.rowsLeft = 0;
    J.rowOfs = 0;
    J.counter = 0;
    J.more = true;
    return J2K_OK;
}

int32 GET_J2K_SL(charu* buf, int gun, int skip)
{
    (void)gun;  // the planes were chosen from the band list when the load started
    (void)skip; // never asked: the reader positions itself (VSL_SELF_POS)
    if (!J.stripe)
        return -1;
    // The end shows only once the last stripe's rows have all been handed out.
    if (J.rowsLeft == 0 && (!J.more || J.rowsToPull == 0)) {
        DIAG("\n***GET_J2K_SL() flagged End-of-Data. Iter= %d", J.counter);
        return 0;
    }
    if (J.rowsLeft > 0) {
        --J.rowsLeft;
        J.rowOfs += J.rowBytes;
    } else {
        int heights[4];
        int rowGaps[4];
        const int want = int(std::min<std::int64_t>(J.stripeRows, J.rowsToPull));
        for (int i = 0; i < J.presented; ++i) {
            heights[i] = want;
            rowGaps[i] = int(J.planes * J.cols);
        }
        if (J.bytes == 1) {
            kdu_byte* bufs[4];
            for (int i = 0; i < J.presented; ++i)
                bufs[i] = J.stripe + J.planeOf[i] * J.cols;
            J.more = C.dec.pull_stripe(bufs, heights, nullptr, rowGaps, J.precision);
        } else {
            kdu_int16* bufs[4];
            for (int i = 0; i < J.presented; ++i)
                bufs[i] = reinterpret_cast<kdu_int16*>(J.stripe) + J.planeOf[i] * J.cols;
            J.more = C.dec.pull_stripe(bufs, heights, nullptr, rowGaps, J.precision);
        }
        if (heights[0] <= 0)
            return -1; // the decoder had no row left where the load expects one
        J.rowsToPull -= heights[0];
        J.rowsLeft = heights[0] - 1;
        J.rowOfs = 0;
    }
    charu* row = J.stripe + J.rowOfs;
    // The stripe row is the scanline: lent to IMAGE_LOAD, copied for other callers.
    if (buf == VSL.rowView)
        VSL.rowView = row;
    else
        std::memcpy(buf, row, std::size_t(J.rowBytes));
    ++J.counter;
    return 0;
}

void FREE_J2K()
{
    releaseAll();
}
