#include "get_vsl.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "diag.h"
#include "vslReaders.h"
#include "vslancil.h"

vslRecord VSL;

void vslFree::operator()(void* p) const noexcept
{
    std::free(p);
}
void vslFileCloser::operator()(std::FILE* f) const noexcept
{
    if (f)
        std::fclose(f);
}

namespace {

const vslHdrSink* hdrSink = nullptr;
vslPaneFn paneFn = nullptr;

constexpr std::size_t kSniffBytes = 1024;
constexpr std::size_t kMinSniffBytes = 12;

struct vslFormat {
    int32 (*header)(const vslHdrArgs&);
    int32 (*ini)();
    int32 (*get)(charu* buf, int gun, int skip);
    void (*release)();
    int32 iniFail; // INIT_VSL status when the initialiser fails
};

// Indexed by format code.
const vslFormat formats[FMT_COUNT] = {
    {GENERIC_HDR, vslGENERIC_INI, GET_GENERIC_SL, FREE_GENERIC, VSL_GENERIC_INI},
    {JPEG_HDR, vslJPEG_INI, GET_JPEG_SL, FREE_JPEG, VSL_JPEG_INI},
    {GIF_HDR, vslGIF_INI, GET_GIF_SL, FREE_GIF, VSL_GIF_INI},
    {PNG_HDR, vslPNG_INI, GET_PNG_SL, FREE_PNG, VSL_PNG_INI},
    {RD_TIF_HDR, vslTIFF_INI, GET_TIFF_SL, FREE_TIFF, VSL_TIFF_INI},
    {RD_FITS_HDR, vslFITS_INI, GET_FITS_SL, FREE_FITS, VSL_FITS_INI},
    {RD_JP2_HDR, vslJ2K_INI, GET_J2K_SL, FREE_J2K, VSL_JP2_INI},
    {WEBP_HDR, INIT_WEBP, GET_WEBP_SL, FREE_WEBP, VSL_WEBP_INI},
    {RD_AVIF_HDR, AVIF_INI, GET_AVIF_SL, FREE_AVIF, VSL_AVIF_INI},
};

std::uint32_t be32(const charu* p)
{
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}
std::uint32_t bswap32(std::uint32_t v)
{
    return __builtin_bswap32(v);
}
bool wordIs(const charu* p, std::uint32_t want)
{
    return be32(p) == want || be32(p) == bswap32(want);
}

bool contains(std::string_view hay, std::string_view needle)
{
    return hay.find(needle) != std::string_view::npos;
}

// Content sniffing; -1 when no signature fits.
int sniff(const charu* block)
{
    if (block[0] == 0xFF && block[1] == 0xD8)
        return FMT_JPEG;
    static const charu pngSig[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(block, pngSig, 8) == 0)
        return FMT_PNG;
    if ((block[0] == 'I' && block[1] == 'I' && block[2] == 0x2A && block[3] == 0) ||
        (block[0] == 'M' && block[1] == 'M' && block[2] == 0 && block[3] == 0x2A))
        return FMT_TIFF;

    // Text signatures are searched anywhere, with NULs turned into spaces.
    std::string text(reinterpret_cast<const char*>(block), kSniffBytes - 1);
    for (char& c : text)
        if (c == '\0')
            c = ' ';
    if (contains(text, "GIF87a") || contains(text, "GIF89a"))
        return FMT_GIF;
    if (contains(text, "SIMPLE") && contains(text, "BITPIX") && contains(text, "NAXIS"))
        return FMT_FITS;
    for (std::size_t pos = 0; pos <= 252; pos += 4)
        if (wordIs(block + pos, 12) && wordIs(block + pos + 4, 0x6A502020) &&
            wordIs(block + pos + 8, 0x0D0A870A))
            return FMT_JP2;
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (contains(lower, "riff") && contains(lower, "webpvp8"))
        return FMT_WEBP;
    if (contains(lower, "ftypavif") || contains(lower, "avif")) {
        DIAG("\nAVIF_HDR() found");
        return FMT_AVIF;
    }
    return -1;
}

int byExtension(const char* path)
{
    if (!path)
        return FMT_GENERIC;
    std::string_view p(path);
    const auto dot = p.rfind('.');
    const auto slash = p.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && slash > dot))
        return FMT_GENERIC;
    std::string ext(p.substr(dot + 1));
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    static const struct {
        const char* ext;
        int code;
    } table[] = {{"jpeg", FMT_JPEG}, {"gif", FMT_GIF}, {"png", FMT_PNG},   {"tif", FMT_TIFF},
                 {"fits", FMT_FITS}, {"j2k", FMT_JP2}, {"webp", FMT_WEBP}, {"avif", FMT_AVIF}};
    for (const auto& e : table)
        if (ext == e.ext)
            return e.code;
    return FMT_GENERIC;
}

fdes* currentFdes(const bufdes* b)
{
    TAV_ASSERT(b != nullptr && b->imgDes != nullptr);
    ides* id = &b->imgDes[b->curImg];
    TAV_ASSERT(id->curGun < 4);
    return &id->fd[id->curGun];
}

bool isHdrLoad(const fdes* fd)
{
    return fd->quantiz > 8 || (fd->vslCtlm & vslIS_HDR);
}

// The band list must name bands the file has, and the class must match the band count:
// the conversions index the file's samples with it.
bool bandsUsable(const fdes* fd, int32 nAnc)
{
    if (fd->dBands < 1 || fd->dBands > 4)
        return false;
    bool any = false;
    for (int k = 0; k < 4; ++k) {
        if (fd->Bands[k] < 0 || fd->Bands[k] > (fd->bands > 0 ? fd->bands : 1))
            return false;
        any = any || fd->Bands[k] != 0;
    }
    if (!any)
        return false;
    // The 8-bit colour conversions take three or four bands; an HDR row takes any count.
    if ((fd->vslCtlm & VSL_RGB) && fd->bytsPixl == 1 && fd->storMode != SM_BAND_SEQ &&
        fd->dBands != 3 && fd->dBands != 4)
        return false;
    if ((fd->vslCtlm & VSL_RGB) && fd->storMode != SM_BAND_SEQ && fd->storMode != SM_SCAN_IL &&
        fd->bands < fd->dBands)
        return false;
    if ((fd->vslCtlm & VSL_PALETTE) && nAnc < 3)
        return false;
    if ((fd->vslCtlm & VSL_ONE_GUN) && fd->gun > 3)
        return false;
    return true;
}

// Which file sample feeds each output slot (slot k = k-th selected band).
void mapSamples(const fdes* fd, int32 src[4])
{
    // PNG, TIFF, WebP and AVIF hand four 8-bit samples over in the iBUFF's memory order (blue,
    // green, red, alpha) so that the plain conversion shows true colours; a band named by its
    // number in the file (1 red ... 4 alpha) is taken from where the reader put it.
    // Scanline-interleaved readers and the JPEG 2000 reader deliver the selected planes only,
    // in the order the plane conversion takes them.
    if (fd->format == FMT_JP2 || fd->storMode == SM_SCAN_IL || (fd->vslCtlm & VSL_SCAN_IL)) {
        for (int k = 0; k < 4; ++k)
            src[k] = k;
        return;
    }
    const bool memOrder = (fd->format == FMT_PNG || fd->format == FMT_TIFF ||
                           fd->format == FMT_WEBP || fd->format == FMT_AVIF) &&
                          fd->bands == 4 && fd->bytsPixl == 1;
    static constexpr int32 memPos[4] = {2, 1, 0, 3};
    const auto at = [memOrder](int band) { return memOrder ? memPos[band - 1] : band - 1; };
    int first = -1;
    for (int k = 0; k < 4; ++k)
        if (fd->Bands[k] > 0 && first < 0)
            first = at(fd->Bands[k]);
    for (int k = 0; k < 4; ++k)
        src[k] = fd->Bands[k] > 0 ? at(fd->Bands[k]) : k;
    if (memOrder && fd->dBands == 4) {
        // The four-sample conversion fills the bytes blue, green, red, alpha: each takes the
        // band named for its gun.
        for (int j = 0; j < 4; ++j) {
            const int gunOfByte = memPos[j];
            src[j] = fd->Bands[gunOfByte] > 0 ? at(fd->Bands[gunOfByte]) : j;
        }
    }
    // A one-band load takes the one named band, wherever the loader put it in the list.
    if (fd->dBands == 1 || (fd->vslCtlm & (VSL_GREY | VSL_ONE_GUN | VSL_PALETTE)))
        src[0] = first < 0 ? 0 : first;
}

void pane(const std::string& text)
{
    if (paneFn)
        paneFn(text.c_str());
}

} // namespace

void vslLoaderMsg(const std::string& text)
{
    DIAG("%s", text.c_str());
    pane(text);
}

void setVslHdrSink(const vslHdrSink* sink)
{
    hdrSink = sink;
}
const vslHdrSink* vslActiveHdrSink()
{
    return hdrSink;
}
void setVslLoaderPane(vslPaneFn fn)
{
    paneFn = fn;
}

void resetVsl()
{
    VSL = {};
    freeSubsampl();
    hdrSink = nullptr;
    paneFn = nullptr;
}

void FREE_PALETTE(charu* anc[4], int32* nAnc)
{
    for (int k = 0; k < 4; ++k) {
        std::free(anc[k]);
        anc[k] = nullptr;
    }
    if (nAnc)
        *nAnc = 0;
}

int32 GETHEADER(std::FILE* fp, bufdes* b, const char* path, int32* nAnc, charu* anc[4],
                bool headerOnly)
{
    TAV_ASSERT(fp != nullptr && nAnc != nullptr && anc != nullptr);
    *nAnc = 0;
    for (int k = 0; k < 4; ++k)
        anc[k] = nullptr;
    fdes* fd = currentFdes(b);
    // A load dropped after its header leaves the file's bytes with the WebP or AVIF reader.
    FREE_WEBP();
    FREE_AVIF();

    // Small files are sniffed on what they have; the rest of the block reads as zeros.
    charu block[kSniffBytes] = {};
    std::rewind(fp);
    const std::size_t got = std::fread(block, 1, kSniffBytes, fp);
    if (got < kMinSniffBytes || std::ferror(fp)) {
        DIAG("\nGETHEADER(): error reading file");
        return HDR_READ_FAIL;
    }

    int code = sniff(block);
    if (code < 0) {
        DIAG("\nGETHDRS() auto-detect fail. Try file extension...");
        code = byExtension(path);
    }

    // The reader describes the file from scratch; the loader's own fields stay.
    fd->fCols = fd->fRows = 0;
    fd->slBytes = 0;
    fd->vslCtlm = 0;
    fd->bands = 0;
    fd->storMode = fd->colorClass = fd->dataType = fd->quantiz = fd->bytsPixl = 0;
    fd->compressed = 0;
    fd->interlaced = 0;
    fd->dataOfs = 0;
    fd->workMem = 0;
    fd->format = static_cast<charu>(code);

    std::rewind(fp);
    if (code == FMT_GENERIC)
        DIAG("\nFormat detect fail: GENERIC uncompressed legacy assumed");
    const vslHdrArgs args{block, fp, fd, nAnc, anc, headerOnly};
    const int32 st = formats[code].header(args);
    if (st != 0)
        FREE_PALETTE(anc, nAnc);
    return st;
}

namespace {

bool guardAllows(std::uint64_t bytes, const char* what, std::string* msg)
{
    std::string text;
    if (SAFE_MEM_REQ(bytes, &text))
        return true;
    DIAG("\n***INIT_VSL(): %s refused", what);
    if (msg)
        *msg = std::move(text);
    return false;
}

} // namespace

int32 CHECK_VSL(const bufdes* b, int32 nAnc, std::string* guardMsg)
{
    if (guardMsg)
        guardMsg->clear();
    const fdes* fd = currentFdes(b);
    if (!bandsUsable(fd, nAnc)) {
        DIAG("\nINIT_VSL() fail: dBands= %d Bands= %d %d %d %d", fd->dBands, fd->Bands[0],
             fd->Bands[1], fd->Bands[2], fd->Bands[3]);
        return VSL_BAD_BANDS;
    }
    if (fd->format >= FMT_COUNT) {
        DIAG("\n***INIT_VSL(): unknown format %d", fd->format);
        return VSL_GENERIC_INI;
    }
    const bool deresX = fd->vslCtlm & VSL_DERES_X, deresY = fd->vslCtlm & VSL_DERES_Y;
    const std::int64_t fx = fd->fXofs, fy = fd->fYofs;
    const bool regionOk = fx >= 0 && fy >= 0 && fd->lCols > 0 && fd->lRows > 0 && fd->dCols > 0 &&
                          fd->dRows > 0 && fx + fd->lCols <= fd->fCols &&
                          fy + fd->lRows <= fd->fRows &&
                          (deresX ? fd->dCols <= fd->lCols : fd->dCols == fd->lCols) &&
                          (deresY ? fd->dRows <= fd->lRows : fd->dRows == fd->lRows);
    if (!regionOk) {
        DIAG("\n***INIT_VSL(): region %d,%d %ux%u (written %ux%u) outside file %ux%u", fd->fXofs,
             fd->fYofs, fd->lCols, fd->lRows, fd->dCols, fd->dRows, fd->fCols, fd->fRows);
        return VSL_BAD_GEOMETRY;
    }
    const bool hdr = isHdrLoad(fd);
    if (hdr && !hdrSink) {
        DIAG("\n***INIT_VSL(): HDR loading is not available yet (no scaling accumulator)");
        return VSL_HDR_UNAVAILABLE;
    }
    if (fd->bytsPixl != 1 && !hdr) {
        DIAG("\n***INIT_VSL(): %d-byte samples with %d bits are not loadable", fd->bytsPixl,
             fd->quantiz);
        return VSL_BAD_BANDS;
    }

    // What one converted row reads from the scan buffer must lie inside it.
    const bool scanIL = fd->storMode == SM_SCAN_IL || (fd->vslCtlm & VSL_SCAN_IL);
    const bool planar = scanIL || fd->storMode == SM_BAND_SEQ;
    const std::int64_t stride = planar ? fd->bytsPixl : fd->bytsPixl * std::max<int>(fd->bands, 1);
    const std::int64_t startOfs = (fd->vslCtlm & VSL_SELF_POS) ? 0 : fx * stride;
    const std::int64_t rowSpan = scanIL ? std::int64_t(fd->dBands) * fd->lCols * fd->bytsPixl
                                        : std::int64_t(fd->lCols) * stride;
    if (fd->slBytes <= 0 || startOfs + rowSpan > fd->slBytes) {
        DIAG("\n***INIT_VSL(): scanline of %d bytes cannot hold the region", fd->slBytes);
        return VSL_BAD_GEOMETRY;
    }

    // The blocks INIT_VSL and the reader's initialiser size from the header.
    if (!guardAllows(fd->workMem, "the reader's work memory", guardMsg))
        return formats[fd->format].iniFail;
    if (!guardAllows(std::uint64_t(fd->slBytes), "the scan buffer", guardMsg))
        return VSL_NO_SCANBUF;
    if ((fd->quantiz > 8 || deresX) &&
        !guardAllows(std::uint64_t(fd->lCols) * 4u, "the RGBA row", guardMsg))
        return VSL_NO_RGBAROW;
    if (hdr && !guardAllows(std::uint64_t(std::max<int>(fd->dBands, 0)) * fd->lCols * 4u,
                            "the HDR row", guardMsg))
        return VSL_NO_HDRROW;
    return VSL_OK;
}

int32 INIT_VSL(std::FILE* fp, bufdes* b, charu* anc[4], int32 nAnc)
{
    // The stream and the tables belong to the pipeline from here, whatever happens.
    VSL = {};
    VSL.fp.reset(fp);
    for (int k = 0; k < 4 && anc; ++k) {
        VSL.anc[k].reset(anc[k]);
        anc[k] = nullptr;
    }
    VSL.nAnc = nAnc;
    TAV_ASSERT(b != nullptr && b->imgDes != nullptr);
    VSL.bd = b;
    VSL.id = &b->imgDes[b->curImg];
    VSL.fd = currentFdes(b);
    fdes* fd = VSL.fd;

    if (const int32 st = CHECK_VSL(b, nAnc); st != VSL_OK)
        return st;

    // Placement inside the buffer: the transfer writes dCols x dRows pixels at (bXofs, bYofs).
    const bool deresX = fd->vslCtlm & VSL_DERES_X;
    const std::int64_t bx = fd->bXofs, by = fd->bYofs;
    const bool placeOk = bx >= 0 && by >= 0 && b->imgbuf != nullptr && b->width > 0 &&
                         b->height > 0 && bx + fd->dCols <= std::int64_t(b->width) &&
                         by + fd->dRows <= std::int64_t(b->height);
    if (!placeOk) {
        DIAG("\n***INIT_VSL(): placement %d,%d %ux%u outside buffer %dx%d", fd->bXofs, fd->bYofs,
             fd->dCols, fd->dRows, b->width, b->height);
        return VSL_BAD_GEOMETRY;
    }
    const bool hdr = isHdrLoad(fd);

    if (formats[fd->format].ini() != 0)
        return formats[fd->format].iniFail;

    if (fd->dBands > 3)
        b->bufCtlm |= bufALPHA;

    const bool scanIL = fd->storMode == SM_SCAN_IL || (fd->vslCtlm & VSL_SCAN_IL);
    const bool planar = scanIL || fd->storMode == SM_BAND_SEQ;
    const int bands = fd->bands > 0 ? fd->bands : 1;
    VSL.pixStride = planar ? fd->bytsPixl : fd->bytsPixl * bands;

    VSL.scanBytes = fd->slBytes;
    VSL.scanBuf.reset(static_cast<charu*>(std::calloc(std::size_t(VSL.scanBytes), 1)));
    if (!VSL.scanBuf)
        return VSL_NO_SCANBUF;

    if (fd->quantiz > 8 || deresX) {
        VSL.rgbaRow.reset(static_cast<int32u*>(std::calloc(fd->lCols, sizeof(int32u))));
        if (!VSL.rgbaRow) {
            VSL.scanBuf.reset();
            return VSL_NO_RGBAROW;
        }
    }
    if (fd->bands == 1)
        fd->storMode = SM_FLAT;
    mapSamples(fd, VSL.srcSample);

    if (!hdr) {
        VSL.initOk = true;
        return VSL_OK;
    }

    fd->vslCtlm |= vslIS_HDR;
    if (hdrSink->select() != 0)
        return VSL_NO_sBUFF;
    VSL.hdrSamples = std::int64_t(fd->dBands) * fd->lCols;
    VSL.hdrRow.reset(static_cast<float*>(std::calloc(std::size_t(VSL.hdrSamples), sizeof(float))));
    if (!VSL.hdrRow) {
        VSL.scanBuf.reset();
        VSL.rgbaRow.reset();
        return VSL_NO_HDRROW;
    }
    b->bufCtlm |= bufHDR_LOADING;
    const int st = hdrSink->header(fd, b);
    if (st != 0) {
        DIAG("\nINIT_VSL()::PUT_sBUFF_HEADER() fail. Status= %d", st);
        return VSL_sBUFF_HEADER;
    }
    VSL.hdrOpen = true;
    VSL.initOk = true;
    return VSL_OK;
}

int32 GET_VSL(charu* buf, std::int64_t scan, int skip)
{
    const fdes* fd = VSL.fd;
    TAV_ASSERT(fd != nullptr);
    if (fd->format >= FMT_COUNT) {
        DIAG("\n***GET_VSL() : unknown format");
        return GETVSL_UNKNOWN_FMT;
    }
    const int32 st = formats[fd->format].get(buf, fd->gun, skip);
    if (st != 0) {
        DIAG("\nGET_VSL(): GET_*_SL() status= %d", st);
        return GETVSL_GETTER;
    }
    (void)scan;
    return GETVSL_OK;
}

int32 SKP_SL(charu* buf, std::int64_t n)
{
    if (VSL.fd->vslCtlm & VSL_SELF_POS)
        return 0;
    for (std::int64_t i = 0; i < n; ++i) {
        if (GET_VSL(buf, VSL.scanCount, 1) != 0)
            return -3;
        ++VSL.scanCount;
    }
    return 0;
}

namespace {

void mirrorRow(int32u* row, std::int64_t n)
{
    for (std::int64_t i = 0, j = n - 1; i < j; ++i, --j)
        std::swap(row[i], row[j]);
}

// The end of IMAGE_LOAD, on success and on failure.
int32 endLoad(int32 status)
{
    if (VSL.fd)
        VSL.fd->gun = static_cast<charu>(VSL.id->curGun);
    freeSubsampl();
    return status;
}

} // namespace

int32 IMAGE_LOAD()
{
    TAV_ASSERT(VSL.initOk && VSL.fd != nullptr);
    fdes* fd = VSL.fd;
    bufdes* b = VSL.bd;
    if (fd->vslCtlm & VSL_DIRECT)
        return LOAD_OK;

    const bool deres = fd->vslCtlm & (VSL_DERES_X | VSL_DERES_Y);
    if (deres) {
        const int st = iniSubsamplSized(fd->dBands, fd->vslCtlm, int32(fd->lCols), int32(fd->lRows),
                                        fd->deres, int32(fd->dCols), int32(fd->dRows));
        if (st != 0) {
            DIAG("\nINI_SUBSAMPL() fail: %d", st);
            return endLoad(LOAD_SUBSAMPL);
        }
    }

    const bool hdr = fd->vslCtlm & vslIS_HDR;
    const bool flip = fd->vslCtlm & (VSL_FLIP | VSL_R180);
    const bool mirr = (fd->vslCtlm & (VSL_MIRR | VSL_R180)) && !hdr;
    const bool selfPos = fd->vslCtlm & VSL_SELF_POS;
    const int passes = fd->storMode == SM_BAND_SEQ ? fd->dBands : 1;
    charu* scanBuf = VSL.scanBuf.get();
    charu* line = scanBuf + (selfPos ? 0 : std::int64_t(fd->fXofs) * VSL.pixStride);
    const std::int64_t width = b->width;

    for (int pass = 0; pass < passes; ++pass) {
        if (!selfPos) {
            const int st = SKP_SL(scanBuf, fd->fYofs);
            if (st != 0) {
                DIAG("\n***IMAGE_LOAD:SKP_SL() fail= %d", st);
                return endLoad(LOAD_SKIP);
            }
        }
        std::int64_t row = flip ? std::int64_t(fd->bYofs) + fd->dRows - 1 : fd->bYofs;
        const std::int64_t step = flip ? -1 : 1;
        std::int64_t rowsRead = 0; // rows of this pass consumed since the region start

        for (std::int64_t out = 0; out < fd->dRows; ++out, row += step) {
            if (VSL.scanCount % 5000 == 0)
                pane(strPrintf("\nScan: %lld", static_cast<long long>(VSL.scanCount)));
            int32u* dest = b->imgbuf + row * width + fd->bXofs;
            bool done = false;
            while (!done && rowsRead < fd->lRows) {
                // A getter that holds whole rows may lend one instead of copying it into the
                // scan buffer: it then points rowView at its row.
                VSL.rowView = scanBuf;
                if (GET_VSL(scanBuf, VSL.scanCount, 0) != 0) {
                    VSL.rowView = nullptr;
                    DIAG("\n***GET_VSL(): error at scan %lld",
                         static_cast<long long>(VSL.scanCount));
                    return endLoad(LOAD_SCAN);
                }
                ++VSL.scanCount;
                ++rowsRead;
                charu* src = VSL.rowView + (line - scanBuf);
                VSL.rowView = nullptr;
                const int32 r = PROCESS_VSL(dest, src, fd->gun);
                if (r < 0) {
                    DIAG("\n***GET_VSL(): error at scan %lld",
                         static_cast<long long>(VSL.scanCount));
                    return endLoad(LOAD_SCAN);
                }
                done = r == PVSL_ROW_DONE;
            }
            if (!done) {
                // The region ended inside a vertical sum: emit what was summed.
                if (flushVerticalSum(dest) != 0)
                    break;
            }
            if (mirr)
                mirrorRow(dest, fd->dCols);
        }

        if (pass + 1 < passes) {
            fd->gun = static_cast<charu>(fd->gun + 1);
            SUBSMPL.rowsIn = 0;
            SUBSMPL.rowsSummed = 0;
            if (SUBSMPL.sums) {
                const std::size_t cols = SUBSMPL.horiz ? SUBSMPL.outCols : SUBSMPL.inCols;
                std::memset(SUBSMPL.sums.get(), 0, cols * 4 * sizeof(int32u));
            }
            if (!selfPos) {
                const std::int64_t rest =
                    std::int64_t(fd->fRows) - (std::int64_t(fd->fYofs) + fd->lRows);
                if (SKP_SL(scanBuf, rest) != 0)
                    return endLoad(LOAD_NEXT_BAND);
            }
        }
    }
    return endLoad(LOAD_OK);
}

int32 FREE_VSL()
{
    fdes* fd = VSL.fd;
    bufdes* b = VSL.bd;
    if (fd && fd->format < FMT_COUNT)
        formats[fd->format].release();
    // Closing the stream (unique owner) and the blocks.
    const bool ok = VSL.initOk;
    const bool hdrOpen = VSL.hdrOpen;
    VSL = {};
    if (b) {
        if (ok)
            b->bufCtlm |= bufLOADED;
        if (hdrOpen) {
            b->bufCtlm |= bufIS_HDR;
            pane("\nComputing HDR Statistics\n");
            if (hdrSink && hdrSink->end)
                hdrSink->end();
        }
        b->bufCtlm &= ~bufHDR_LOADING;
    }
    if (fd)
        fd->vslCtlm = 0;
    return 0;
}
