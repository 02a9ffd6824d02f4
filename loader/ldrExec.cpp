#include "ldrExec.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bigBlock.h"
#include "diag.h"
#include "fcrypt.h"
#include "get_vsl.h"
#include "hdrSettings.h"
#include "ldrErrors.h"
#include "loadGui.h"
#include "tavPaths.h"

overlayPalette ldrOvlPalette{};

namespace {

// Re-encrypts a decrypted copy in place with the current user key (WIPE mode).
void reencryptCopy(std::FILE* fp)
{
    std::fflush(fp);
    std::rewind(fp);
    const std::string key = fileCipher.keyText();
    const int32 st = cryptFile(fp, fp, nullptr, key.c_str(), CRYPT_ENCRYPT);
    if (st != 0)
        DIAG("\n***tav_load: cryptFile() returns %d\n", st);
}

// The open image (or its decrypted copy) until the scanline pipeline takes it. Every path
// that closes a decrypted copy in WIPE mode re-encrypts it first, failures included, so the
// plain bytes do not linger in the scratch area.
class loadStream {
public:
    ~loadStream() { close(false); }
    std::FILE* fp = nullptr;
    bool decrypted = false;

    void wipeIfNeeded(bool announce)
    {
        if (!fp || !decrypted || !ldrState.wipe || !fileCipher.keySet())
            return;
        if (announce && LDR_EXISTS())
            LDR_MSG("\nRe-encrypting temp file prior to deletion");
        reencryptCopy(fp);
    }
    void close(bool announce)
    {
        if (!fp)
            return;
        wipeIfNeeded(announce);
        std::fclose(fp);
        fp = nullptr;
    }
    /// The pipeline owns the stream from INIT_VSL on.
    std::FILE* release()
    {
        std::FILE* f = fp;
        fp = nullptr;
        return f;
    }
};

// The name carries the encryption mark when the character after its last "#" is "." or
// the end of the name (scene#.pgm, scene#).
bool markedEncrypted(const std::string& path)
{
    const auto h = path.rfind('#');
    return h != std::string::npos && (h + 1 == path.size() || path[h + 1] == '.');
}

// Adds one image descriptor spare beyond the count.
bool appendSpareIdes(bufdes* b)
{
    const std::size_t n = std::size_t(b->numImgs) + 1;
    auto* d = static_cast<ides*>(std::realloc(b->imgDes, n * sizeof(ides)));
    if (!d)
        return false;
    b->imgDes = d;
    initIdes(&d[n - 1]);
    return true;
}

int32 truncScaled(double f, int64_t v)
{
    return int32(f * double(v));
}

// A load that fails leaves the buffer's record as it found it: no HDR or static mark from a
// file that never arrived (the next load into the empty buffer would inherit it), no image
// descriptor describing that file, the current image unchanged. Pixels already moved by a
// failed transfer are the business of the failure path itself.
class recordRollback {
public:
    recordRollback(bufdes* b, int32 idx)
        : b_(b), idx_(idx), ctlm_(b->bufCtlm), cur_(b->curImg), saved_(b->imgDes[idx])
    {
    }
    ~recordRollback()
    {
        if (!armed_)
            return;
        b_->bufCtlm = ctlm_;
        b_->curImg = cur_;
        if (b_->imgDes && idx_ <= b_->numImgs)
            b_->imgDes[idx_] = saved_;
    }
    recordRollback(const recordRollback&) = delete;
    recordRollback& operator=(const recordRollback&) = delete;
    void keep() { armed_ = false; }

private:
    bufdes* b_;
    int32 idx_;
    int32u ctlm_;
    int32 cur_;
    ides saved_;
    bool armed_ = true;
};

// A replacing load clears the buffer before the file's header is read. Until the pixel block
// is written, a failure (an unreadable header, a refused geometry, memory refused) puts the
// earlier images back: the user keeps what was loaded before.
class replaceGuard {
public:
    explicit replaceGuard(bufdes* b) : b_(b) {}
    ~replaceGuard()
    {
        if (!held_)
            return;
        ides* fresh = b_->imgDes;
        *b_ = saved_;
        b_->imgDes = held_;
        std::free(fresh);
    }
    replaceGuard(const replaceGuard&) = delete;
    replaceGuard& operator=(const replaceGuard&) = delete;
    /// Keeps a copy of the record and its descriptors, then clears the buffer.
    void clear()
    {
        const std::size_t n = std::size_t(std::max(b_->numImgs, 0)) + 1;
        held_ = static_cast<ides*>(std::malloc(n * sizeof(ides)));
        if (held_) {
            std::memcpy(held_, b_->imgDes, n * sizeof(ides));
            saved_ = *b_;
        }
        CLEAR_iBUFF(b_);
    }
    /// The pixel block is about to be written: the earlier images cannot come back.
    void commit()
    {
        std::free(held_);
        held_ = nullptr;
    }

private:
    bufdes* b_;
    bufdes saved_{};
    ides* held_ = nullptr;
};

// A fresh block is filled only around the placement when the transfer writes every pixel of
// the placement whole (8-bit grey, palette or colour rows: alpha 0): filling what is then
// overwritten costs a pass over the whole picture. One-gun and band-sequential loads write a
// byte per pixel and HDR loads none, so their blocks are filled in full.
bool writesWholePixels(const fdes& f)
{
    return f.quantiz <= 8 && f.bytsPixl == 1 && f.storMode != SM_BAND_SEQ &&
           !(f.vslCtlm & (vslIS_HDR | VSL_DIRECT | VSL_ONE_GUN)) &&
           (f.vslCtlm & (VSL_RGB | VSL_GREY | VSL_PALETTE));
}

void fillAround(int32u* px, int64_t w, int64_t h, int64_t x0, int64_t y0, int64_t cols,
                int64_t rows, int32u value)
{
    FILL_iBUFF(px, int32(w), int32(y0), value);
    for (int64_t y = y0; y < y0 + rows; ++y) {
        int32u* row = px + y * w;
        std::fill(row, row + x0, value);
        std::fill(row + x0 + cols, row + w, value);
    }
    const int64_t below = h - (y0 + rows);
    FILL_iBUFF(px + (y0 + rows) * w, int32(w), int32(below), value);
}

} // namespace

int LOAD_EXEC(loadRequest& req, bufdes* table, shortu current)
{
    TAV_ASSERT(table != nullptr && current < NUM_iBUFF);
    bufdes* b = &table[current];
    loadStream ls;

    // Opening.
    std::string path = req.path;
    if (!ENV_EXPAND(path))
        return LDR_ERROR(10, req.path);
    ls.fp = std::fopen(path.c_str(), "rb");
    if (!ls.fp)
        return LDR_ERROR(10, path);
    if (fileCipher.keySet() && markedEncrypted(path)) {
        if (LDR_EXISTS())
            LDR_MSG("\nDecrypting file...");
        std::FILE* tmp = std::tmpfile();
        if (!tmp)
            return LDR_ERROR(61);
        const std::string key = fileCipher.keyText();
        const int32 st = cryptFile(ls.fp, tmp, nullptr, key.c_str(), CRYPT_DECRYPT);
        std::fclose(ls.fp);
        ls.fp = tmp;
        ls.decrypted = true;
        if (st != 0) {
            DIAG("\n***tav_load: cryptFile() returns %d\n", st);
            return LDR_ERROR(63);
        }
        std::rewind(ls.fp);
    }

    // Preparing the iBUFF and the image descriptor. A header dump loads nothing, so it
    // never clears what the buffer holds.
    replaceGuard replacing(b);
    if (b->numImgs > 0 && !req.dumpH && (req.clearFirst() || !(req.gunGiven || req.bxyGiven)))
        replacing.clear();
    // Only a one-gun load goes into an existing image; any other load is a new image after
    // the existing ones (SETB's current image would otherwise have its descriptor taken).
    if (!req.gunGiven)
        req.imgIndex = b->numImgs;
    const bool wasEmpty = b->numImgs == 0;
    if (req.imgIndex < 0 || req.imgIndex > b->numImgs)
        return LDR_ERROR(28);
    recordRollback rollback(b, req.imgIndex);
    b->curImg = req.imgIndex;
    ides& d = b->imgDes[req.imgIndex];
    const int gun = std::min<int>(req.gun, 3);
    d.curGun = shortu(gun);
    const bool planeHadBand = d.planeBands[gun] != 0;
    fdes& f = d.fd[gun];
    f = fdes{};
    f.gun = charu(gun);
    std::snprintf(f.path, sizeof f.path, "%s", path.c_str());
    f.HDU = req.hdu;
    f.deresLevel = req.deresLevel;
    f.deres[0] = f.deres[1] = 1.0;

    charu* anc[4] = {nullptr, nullptr, nullptr, nullptr};
    int32 nAnc = 0;
    const int32 hst = GETHEADER(ls.fp, b, path.c_str(), &nAnc, anc, req.dumpH);
    if (hst != 0) {
        if (ls.decrypted)
            return LDR_ERROR(63);
        return LDR_ERROR(17, strPrintf("%d", hst));
    }
    struct paletteGuard {
        charu** a;
        int32* n;
        ~paletteGuard() { FREE_PALETTE(a, n); }
    } palGuard{anc, &nAnc};
    if (!planeHadBand)
        d.loadCount++;

    if (LDR_EXISTS() || req.dumpH) {
        std::string dump;
        DUMP_HEADER(&f, &dump);
        if (LDR_EXISTS())
            LDR_MSG(dump.c_str());
        else
            DIAG("%s", dump.c_str());
    }
    if (req.dumpH) {
        ls.close(true);
        return LDR_EXEC_DUMPED;
    }

    // HDR consistency. An HDR file into an empty buffer without an HDR tag scales over the full
    // range by default; the setting changes only once the load has succeeded.
    const bool fileHdr = (f.vslCtlm & vslIS_HDR) || f.quantiz > 8;
    const bool hdrDefaultFull = fileHdr && b->numImgs == 0 && !req.hdrGiven;
    if (b->numImgs == 0) {
        if (fileHdr) {
            b->bufCtlm |= bufIS_HDR;
            d.hdrImg = 1;
        }
    } else if (!req.gif2alpha && fileHdr != bool(b->bufCtlm & bufIS_HDR)) {
        return LDR_ERROR(24);
    }

    f.vslCtlm |= req.vslCtlm;
    if (req.vslCtlm & 0x4000) // a half turn is a flip and a mirror
        f.vslCtlm |= VSL_FLIP | VSL_MIRR;
    int32u cls;
    if (!req.bandGiven)
        cls = f.bands > 1    ? VSL_RGB
              : nAnc > 0     ? VSL_PALETTE
              : req.gunGiven ? VSL_ONE_GUN
                             : VSL_GREY;
    else
        cls = req.bandCount == 1 ? (req.gunGiven ? VSL_ONE_GUN : VSL_GREY) : VSL_RGB;

    // Geometry.
    const int64_t fC = f.fCols, fR = f.fRows;
    if (int64_t(req.fXofs) >= fC - 16 || int64_t(req.fYofs) >= fR - 16)
        return LDR_ERROR(25);
    int64_t lCols = (req.cols > 0 && req.cols <= fC - req.fXofs) ? req.cols : fC - req.fXofs;
    int64_t lRows = (req.rows > 0 && req.rows <= fR - req.fYofs) ? req.rows : fR - req.fYofs;
    const bool resX = req.vslCtlm & REQ_RESAMPLE_X, resY = req.vslCtlm & REQ_RESAMPLE_Y;
    const double fx = resX ? req.xFactor : 1.0, fy = resY ? req.yFactor : 1.0;
    int64_t dCols = resX ? truncScaled(fx, lCols) : lCols;
    int64_t dRows = resY ? truncScaled(fy, lRows) : lRows;
    int64_t bX = req.bXofs, bY = req.bYofs;

    const bool staticLoad = req.isStatic || f.quantiz > 8;
    int64_t W, H;
    auto clipToRoom = [&](int64_t w, int64_t h) -> int {
        if (bX + dCols > w) {
            dCols = w - bX;
            if (dCols <= 15)
                return LDR_ERROR(45);
            lCols = resX ? int64_t(double(dCols) / fx) : dCols;
        }
        if (bY + dRows > h) {
            dRows = h - bY;
            if (dRows <= 15)
                return LDR_ERROR(45);
            lRows = resY ? int64_t(double(dRows) / fy) : dRows;
        }
        return 0;
    };
    if (staticLoad && (b->bufCtlm & bufSTATIC)) {
        W = b->width;
        H = b->height;
        if (int e = clipToRoom(W, H))
            return e;
    } else if (staticLoad) {
        b->bufCtlm |= bufSTATIC;
        if (b->width > 0 && b->height > 0) {
            W = b->width;
            H = b->height;
        } else if (req.staticX > 0 && req.staticY > 0) {
            W = req.staticX;
            H = req.staticY;
        } else {
            W = dCols;
            H = dRows;
        }
        if (int e = clipToRoom(W, H))
            return e;
    } else if (b->numImgs == 0) {
        W = bX + dCols;
        H = bY + dRows;
    } else {
        W = std::max<int64_t>(b->width, bX + dCols);
        H = std::max<int64_t>(b->height, bY + dRows);
    }
    if (bX > W || bY > H)
        return LDR_ERROR(
            9, strPrintf("BXY %d %d exceeds Buffer %d %d", int(bX), int(bY), int(W), int(H)));
    if (W > INT32_MAX / 2 || H > INT32_MAX / 2)
        return LDR_ERROR(33, strPrintf(" Buffer %lld X %lld cannot be represented",
                                       static_cast<long long>(W), static_cast<long long>(H)));

    if (req.gif2alpha) {
        if (f.format != FMT_GIF)
            return LDR_ERROR(44);
        if (nAnc == 3) {
            for (int k = 0; k < 3; ++k)
                std::memcpy(ldrOvlPalette.rgb[k], anc[k], 256);
            ldrOvlPalette.set = true;
        }
        f.colorClass = CC_ALPHA_OVL;
        f.dBands = 1;
        f.gun = 3;
        FREE_PALETTE(anc, &nAnc);
        cls = VSL_ONE_GUN;
    }
    f.vslCtlm = (f.vslCtlm & ~int32u(VSL_PALETTE | VSL_GREY | VSL_RGB | VSL_ONE_GUN)) | cls |
                (req.vslCtlm & REQ_ONE_GUN);
    if (fileHdr) {
        if (f.bands > 1 && (req.hdrFlags & 0x20))
            return LDR_ERROR(47);
        if (req.bxyGiven || (f.vslCtlm & (VSL_FLIP | VSL_MIRR)))
            return LDR_ERROR(20);
        d.hdrImg = 1;
    }

    // Bands.
    if (f.storMode == SM_FLAT && f.bands > 1 && nAnc == 0)
        return LDR_ERROR(11);
    if (req.bandGiven && req.maxBand > f.bands)
        return LDR_ERROR(22);
    if (req.gunGiven && !req.gif2alpha) {
        const int selected = req.bandGiven ? req.bandCount : f.bands;
        if (nAnc > 1 || selected > 1)
            return LDR_ERROR(2);
        if (f.colorClass == CC_PALETTE)
            return LDR_ERROR(36);
    }
    if (!req.bandGiven && !req.gunGiven) {
        int n = f.bands;
        if (n > 4) {
            n = 4;
            DIAG("\nWARN*** TAV_LOAD(): File > 4 bands; defaulted to bands 1-4 RGBA\n"
                 "        See BAND tag to select image bands");
        }
        n = std::max(n, 1);
        for (int k = 0; k < 4; ++k)
            f.Bands[k] = std::int16_t(k < n ? k + 1 : 0);
        f.dBands = std::int16_t(n);
    } else if (!req.gif2alpha) {
        for (int k = 0; k < 4; ++k)
            f.Bands[k] = std::int16_t(req.bands[k]);
        f.dBands = std::int16_t(std::max<int>(req.bandCount, 1));
        // GUN=G names band 2 of a colour file; a grey file has only band 1, which is what
        // composing single-band images into the guns needs.
        if (req.gunGiven && !req.bandGiven && (f.Bands[gun] == 0 || f.Bands[gun] > f.bands))
            f.Bands[gun] = 1;
    } else {
        for (int k = 0; k < 4; ++k)
            f.Bands[k] = 0;
        f.Bands[3] = 1;
    }
    for (int p = 0; p < 4; ++p) {
        if (f.Bands[p] == 0)
            continue;
        if (d.planeBands[p] == 0)
            d.planeCount++;
        d.planeBands[p] = shortu(f.Bands[p]);
        std::snprintf(d.scal[p].curve, sizeof d.scal[p].curve, "%s", "UNSCALED");
    }

    if (req.gunGiven && req.imgIndex < b->numImgs && d.geomSet) {
        if (!req.bxyGiven) {
            bX = d.x0;
            bY = d.y0;
        }
        if (dCols > d.width)
            dCols = lCols = d.width;
        if (dRows > d.height)
            dRows = lRows = d.height;
    }
    if (dCols < 16 || dRows < 16)
        return LDR_ERROR(3, strPrintf(" dcols, drows - %d %d", int(dCols), int(dRows)));

    f.lCols = int32u(lCols);
    f.lRows = int32u(lRows);
    f.dCols = int32u(dCols);
    f.dRows = int32u(dRows);
    f.fXofs = req.fXofs;
    f.fYofs = req.fYofs;
    f.bXofs = int32(bX);
    f.bYofs = int32(bY);
    f.deres[0] = fx;
    f.deres[1] = fy;
    // What the pipeline would refuse from the header alone is refused before any pixel memory
    // is taken or filled: a small file claiming a huge picture costs nothing. A refusal by the
    // memory guard is a memory refusal like the pixel block's own.
    std::string guardMsg;
    if (const int32 cst = CHECK_VSL(b, nAnc, &guardMsg); cst != 0)
        return guardMsg.empty() ? LDR_ERROR(18, strPrintf(" %d", cst)) : LDR_ERROR(33, guardMsg);

    // Pixel memory.
    bool placementUnset = false; // the placement's pixels are left for the transfer to write
    if (b->numImgs > 0) {
        if (b->bufCtlm & bufIS_HDR) {
            if (truncScaled(fx, lCols) != b->width || truncScaled(fy, lRows) != b->height)
                return LDR_ERROR(41, strPrintf(" Load %d %d to sBUF %d %d", int(dCols), int(dRows),
                                               b->width, b->height));
        }
        const int64_t newW = std::max<int64_t>(b->width, W), newH = std::max<int64_t>(b->height, H);
        if ((newW != b->width || newH != b->height) && (b->bufCtlm & bufSTATIC) && b->width > 0)
            return LDR_ERROR(19);
        if (newW > b->width || newH > b->height) {
            const uint64_t oldBytes = uint64_t(b->width) * uint64_t(b->height) * 4u;
            const uint64_t newBytes = uint64_t(newW) * uint64_t(newH) * 4u;
            if (!SAFE_MEM_REQ(newBytes - oldBytes, &guardMsg))
                return LDR_ERROR(33, guardMsg);
            auto* px = static_cast<int32u*>(bigRealloc(b->imgbuf, oldBytes, newBytes));
            if (!px)
                return LDR_ERROR(
                    33, strPrintf(" Buffer memory alloc FAIL: Mb: %9.3f", double(newBytes) / 1e6));
            RESTRIDE_iBUFF(px, b->width, b->height, int32(newW));
            const uint64_t keptRows = uint64_t(b->height) * uint64_t(newW);
            std::memset(px + keptRows, 0, newBytes - keptRows * 4u);
            b->imgbuf = px;
            b->width = int32(newW);
            b->height = int32(newH);
        }
    } else {
        const uint64_t newBytes = uint64_t(W) * uint64_t(H) * 4u;
        const uint64_t oldBytes = b->imgbuf ? uint64_t(std::max(b->prevWidth, 0)) *
                                                  uint64_t(std::max(b->prevHeight, 0)) * 4u
                                            : 0;
        int32u* px = b->imgbuf;
        if (px && newBytes <= oldBytes) {
            // The kept block is large enough.
        } else {
            if (!SAFE_MEM_REQ(newBytes - oldBytes, &guardMsg))
                return LDR_ERROR(33, guardMsg);
            px = static_cast<int32u*>(bigRealloc(b->imgbuf, 0, newBytes)); // filled below
            if (!px)
                return LDR_ERROR(
                    33, strPrintf(" Buffer memory alloc FAIL: Mb: %9.3f", double(newBytes) / 1e6));
        }
        replacing.commit();
        const int32u fillValue = req.isStatic ? (req.staticColor & 0xFFFFFFu) : 0u;
        placementUnset = writesWholePixels(f) && bX + dCols <= W && bY + dRows <= H;
        if (placementUnset)
            fillAround(px, W, H, bX, bY, dCols, dRows, fillValue);
        else
            FILL_iBUFF(px, int32(W), int32(H), fillValue);
        b->imgbuf = px;
        b->width = int32(W);
        b->height = int32(H);
        b->bufCtlm &= ~int32u(bufNEW_MEM);
        b->prevWidth = b->prevHeight = 0;
    }
    if (!d.geomSet) {
        d.width = int32(dCols);
        d.height = int32(dRows);
        d.x0 = int32(bX);
        d.y0 = int32(bY);
        d.x1 = d.x0 + d.width - 1;
        d.y1 = d.y0 + d.height - 1;
        d.geomSet = 1;
    }
    if (f.dataOfs == 0) {
        const long pos = std::ftell(ls.fp);
        f.dataOfs = pos > 0 ? uint64_t(pos) : 0;
    }

    // Transfer: the pipeline owns the stream (and the colour tables) from here on.
    const int32u flagsLoaded = f.vslCtlm;
    const int16_t dBands = f.dBands;
    const bool wipeCopy = ls.decrypted;
    std::FILE* fp = ls.release();
    charu* tables[4] = {anc[0], anc[1], anc[2], anc[3]};
    const int32 nTables = nAnc;
    anc[0] = anc[1] = anc[2] = anc[3] = nullptr;
    nAnc = 0;
    auto wipeAndFree = [&]() -> int32 {
        if (wipeCopy && ldrState.wipe && fileCipher.keySet())
            reencryptCopy(fp);
        return FREE_VSL();
    };
    setVslLoaderPane(LDR_EXISTS() ? LDR_MSG : nullptr);
    const int32 ist = INIT_VSL(fp, b, tables, nTables);
    if (ist != 0) {
        const short e = LDR_ERROR(18, strPrintf(" %d", ist));
        wipeAndFree();
        if (wasEmpty)
            CLEAR_iBUFF(b);
        return e;
    }
    VSL.destUnset = placementUnset;
    if (LDR_EXISTS() && fR > 10000 && fC > 2048)
        LDR_GUI(false);
    const int32 lst = IMAGE_LOAD();
    if (lst != 0) {
        const short e = LDR_ERROR(46, strPrintf("Status= %d", lst));
        wipeAndFree();
        if (wasEmpty)
            FREE_iBUFF(b);
        return e;
    }
    // The pipeline refers to the image descriptor: it is released before the descriptor
    // array can move.
    const int32 fst = wipeAndFree();
    if (fst != 0)
        return LDR_ERROR(8, strPrintf("Status: %d", fst));
    if (!(req.gunGiven && !wasEmpty)) {
        b->numImgs++;
        if (!appendSpareIdes(b)) {
            b->numImgs--;
            return LDR_ERROR(34);
        }
    }

    rollback.keep();
    if (hdrDefaultFull)
        SET_HDR_DEFAULT_RANGE(HDR_FULL);
    b->bufCtlm |= bufLOADED;
    ides& done = b->imgDes[b->curImg];
    if (req.xalpha) {
        b->bufCtlm &= ~int32u(bufALPHA);
    } else if ((req.gunGiven && gun == 3) || dBands == 4) {
        b->bufCtlm |= bufALPHA;
        done.alpha = 1;
    }
    if (flagsLoaded & (VSL_FLIP | VSL_MIRR))
        b->bufCtlm |= bufFLIPPED;
    return 0;
}
