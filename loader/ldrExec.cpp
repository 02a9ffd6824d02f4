// One load, in the order the steps run: open (and decrypt) the file, prepare the iBUFF and the
// image descriptor, read the header, check HDR consistency, plan the placement, select the
// bands, make room in the pixel block, and run the scanline pipeline. Each step reports its own
// loader error and returns its code; LOAD_EXEC stops at the first non-zero one.
#include "ldrExec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "diag.h"
#include "fcrypt.h"
#include "get_vsl.h"
#include "folio_utl.h"
#include "hdrScale.h"
#include "hdrSettings.h"
#include "ldrHdrSink.h"
#include "ldrErrors.h"
#include "loadGui.h"
#include "sbuffActive.h"
#include "tavPaths.h"
#include "regularFile.h"

overlayPalette ldrOvlPalette{};

namespace {

/// Conversion classes of the scanline pipeline (vslCtlm bits), one per load.
constexpr int32u kConversionBits = VSL_PALETTE | VSL_GREY | VSL_RGB | VSL_ONE_GUN;

/// The STATIC colour fills red, green and blue; the alpha byte of the canvas stays 0.
constexpr int32u kStaticRgbBits = 0xFFFFFFu;

/// Files this tall and this wide take long enough to show the loader window first.
constexpr int64_t kSlowRows = 10000, kSlowCols = 2048;

/// Smallest transfer, in columns and rows, that the view can show.
constexpr int64_t kMinTransfer = 16;

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

// Colour tables GETHEADER returned, until INIT_VSL takes them (or they are dropped).
struct paletteSet {
    charu* anc[4] = {nullptr, nullptr, nullptr, nullptr};
    int32 n = 0;
    ~paletteSet() { FREE_PALETTE(anc, &n); }
    /// Hands the tables over: this set no longer owns them.
    void moveTo(charu* (&to)[4], int32& count)
    {
        for (int k = 0; k < 4; ++k) {
            to[k] = anc[k];
            anc[k] = nullptr;
        }
        count = n;
        n = 0;
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

// A replacing load clears the buffer before the file's header is read. Until the first pixel
// of the new image is written, a failure (an unreadable header, a refused geometry, memory
// refused, a pipeline that cannot start) puts the earlier images back: the user keeps what was
// loaded before. The pixel block may have been moved to a larger one meanwhile; its first
// width x height pixels are still the earlier ones, so the record takes the block as it is now.
class replaceGuard {
public:
    explicit replaceGuard(bufdes* b) : b_(b) {}
    ~replaceGuard()
    {
        if (!held_)
            return;
        ides* fresh = b_->imgDes;
        int32u* block = b_->imgbuf;
        *b_ = saved_;
        NEW_GENERATION(b_); // the block may have moved meanwhile
        b_->imgbuf = block;
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
    /// True while the earlier images can still come back.
    bool holding() const { return held_ != nullptr; }
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

// Everything one load works on, shared by its steps.
struct loadJob {
    loadJob(loadRequest& r, bufdes* buffer) : req(r), b(buffer) {}
    loadRequest& req;
    bufdes* b;
    std::string path; // the request's path with environment variables expanded
    loadStream stream;
    paletteSet palette;
    ides* d = nullptr; // the image descriptor the load goes into
    fdes* f = nullptr; // the descriptor of the request's gun in that image
    int gun = GUN_R;
    bool planeHadBand = false; // the gun's plane of that image held a band before
    bool fileHdr = false;      // the file's samples need the scaling accumulator
    int32u conversion = 0;     // conversion class (one of kConversionBits)
    // Placement: lCols x lRows read from the file become dCols x dRows at (bX, bY) in a
    // buffer of W x H; fx, fy are the resampling factors in force.
    int64_t lCols = 0, lRows = 0, dCols = 0, dRows = 0, bX = 0, bY = 0, W = 0, H = 0;
    double fx = 1.0, fy = 1.0;
    bool resX = false, resY = false;
    bool fillPending = false;    // a new pixel block waits for its fill
    bool placementUnset = false; // the fill leaves the placement for the transfer
    int32u fillValue = 0;        // what the fill writes
};

// Opening and decryption: the file is opened (regular files only), and an encrypted one is
// decrypted into an anonymous temporary copy that is read instead.
int openImage(loadJob& job)
{
    job.path = job.req.path;
    if (!ENV_EXPAND(job.path))
        return LDR_ERROR(10, job.req.path);
    loadStream& ls = job.stream;
    ls.fp = openRegularFile(job.path);
    if (!ls.fp)
        return LDR_ERROR(10, job.path);
    if (!fileCipher.keySet() || !markedEncrypted(job.path))
        return 0;
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
    return 0;
}

// A load replaces what the buffer holds unless it composes onto it (GUN or BXY without INIT or
// a script's first load). A header dump loads nothing, so it never clears the buffer.
bool replacesContent(const loadRequest& req, const bufdes& b)
{
    return b.numImgs > 0 && !req.dumpH && (req.clearFirst() || !(req.gunGiven || req.bxyGiven));
}

// The image descriptor and the gun's file descriptor that the load fills.
void prepareDescriptor(loadJob& job)
{
    bufdes* b = job.b;
    b->curImg = job.req.imgIndex;
    job.d = &b->imgDes[job.req.imgIndex];
    job.gun = std::min<int>(job.req.gun, GUN_A);
    job.d->curGun = shortu(job.gun);
    job.planeHadBand = job.d->planeBands[job.gun] != 0;
    fdes& f = job.d->fd[job.gun];
    job.f = &f;
    f = fdes{};
    f.gun = charu(job.gun);
    std::snprintf(f.path, sizeof f.path, "%s", job.path.c_str());
    f.HDU = job.req.hdu;
    f.deresLevel = job.req.deresLevel;
    f.deres[0] = f.deres[1] = 1.0;
}

// GETHEADER, then the header dump for the loader window (or for DUMPH, which ends the load).
int readHeader(loadJob& job)
{
    // Readers show what they find (FITS HDU lists) in the window's pane while it is up.
    setVslLoaderPane(LDR_EXISTS() ? LDR_MSG : nullptr);
    const int32 hst = GETHEADER(job.stream.fp, job.b, job.path.c_str(), &job.palette.n,
                                job.palette.anc, job.req.dumpH);
    if (hst != 0) {
        if (job.stream.decrypted)
            return LDR_ERROR(63);
        return LDR_ERROR(17, strPrintf("%d", hst));
    }
    if (!job.planeHadBand)
        job.d->loadCount++;
    if (LDR_EXISTS() || job.req.dumpH) {
        std::string dump;
        DUMP_HEADER(job.f, &dump);
        if (LDR_EXISTS())
            LDR_MSG(dump.c_str());
        else
            DIAG("%s", dump.c_str());
    }
    if (job.req.dumpH) {
        job.stream.close(true);
        return LDR_EXEC_DUMPED;
    }
    return 0;
}

// HDR consistency: an HDR file marks an empty buffer HDR; a buffer that holds images takes only
// files of its own kind (an alpha overlay excepted).
int checkHdrKind(loadJob& job)
{
    const fdes& f = *job.f;
    job.fileHdr = (f.vslCtlm & vslIS_HDR) || f.quantiz > 8;
    if (job.b->numImgs == 0) {
        if (job.fileHdr) {
            job.b->bufCtlm |= bufIS_HDR;
            job.d->hdrImg = 1;
        }
        return 0;
    }
    if (!job.req.gif2alpha && job.fileHdr != bool(job.b->bufCtlm & bufIS_HDR))
        return LDR_ERROR(24);
    return 0;
}

// The request's control bits go to the file descriptor, and the conversion class follows from
// the bands the load takes: one band into one gun, one band as grey (or through its colour
// tables), or several bands as colour.
void chooseConversion(loadJob& job)
{
    const loadRequest& req = job.req;
    fdes& f = *job.f;
    f.vslCtlm |= req.vslCtlm;
    if (req.vslCtlm & REQ_R180) // a half turn is a flip and a mirror
        f.vslCtlm |= VSL_FLIP | VSL_MIRR;
    if (req.bandGiven)
        job.conversion = req.bandCount == 1 ? (req.gunGiven ? VSL_ONE_GUN : VSL_GREY) : VSL_RGB;
    else if (req.gunGiven) // a colour file gives the gun its default band
        job.conversion = f.bands > 1 || job.palette.n == 0 ? VSL_ONE_GUN : VSL_PALETTE;
    else
        job.conversion = f.bands > 1 ? VSL_RGB : job.palette.n > 0 ? VSL_PALETTE : VSL_GREY;
}

// Clips the transfer to the room right of and below the placement in a w x h buffer.
int clipToRoom(loadJob& job, int64_t w, int64_t h)
{
    if (job.bX + job.dCols > w) {
        job.dCols = w - job.bX;
        if (job.dCols < kMinTransfer)
            return LDR_ERROR(45);
        job.lCols = job.resX ? int64_t(double(job.dCols) / job.fx) : job.dCols;
    }
    if (job.bY + job.dRows > h) {
        job.dRows = h - job.bY;
        if (job.dRows < kMinTransfer)
            return LDR_ERROR(45);
        job.lRows = job.resY ? int64_t(double(job.dRows) / job.fy) : job.dRows;
    }
    return 0;
}

// Placement geometry: the file region, its size after resampling, the buffer size the load
// needs (fixed for a static buffer, grown otherwise) and the clipping to it.
int planGeometry(loadJob& job)
{
    const loadRequest& req = job.req;
    const fdes& f = *job.f;
    bufdes* b = job.b;
    const int64_t fC = f.fCols, fR = f.fRows;
    if (int64_t(req.fXofs) >= fC - kMinTransfer || int64_t(req.fYofs) >= fR - kMinTransfer)
        return LDR_ERROR(25);
    job.lCols = (req.cols > 0 && req.cols <= fC - req.fXofs) ? req.cols : fC - req.fXofs;
    job.lRows = (req.rows > 0 && req.rows <= fR - req.fYofs) ? req.rows : fR - req.fYofs;
    job.resX = req.vslCtlm & REQ_RESAMPLE_X;
    job.resY = req.vslCtlm & REQ_RESAMPLE_Y;
    if (f.format == FMT_JP2 && f.deresLevel > 0) {
        // The JPEG 2000 codec drops the DERES levels itself (the header already gives the
        // reduced size): the pipeline must not reduce the picture again.
        job.resX = job.resY = false;
        job.f->vslCtlm &= ~int32u(VSL_DERES_X | VSL_DERES_Y);
    }
    job.fx = job.resX ? req.xFactor : 1.0;
    job.fy = job.resY ? req.yFactor : 1.0;
    job.dCols = job.resX ? truncScaled(job.fx, job.lCols) : job.lCols;
    job.dRows = job.resY ? truncScaled(job.fy, job.lRows) : job.lRows;
    job.bX = req.bXofs;
    job.bY = req.bYofs;

    const bool staticLoad = req.isStatic || f.quantiz > 8;
    if (staticLoad && (b->bufCtlm & bufSTATIC)) {
        job.W = b->width;
        job.H = b->height;
        if (int e = clipToRoom(job, job.W, job.H))
            return e;
    } else if (staticLoad) {
        b->bufCtlm |= bufSTATIC;
        if (b->width > 0 && b->height > 0) {
            job.W = b->width;
            job.H = b->height;
        } else if (req.staticX > 0 && req.staticY > 0) {
            job.W = req.staticX;
            job.H = req.staticY;
        } else {
            job.W = job.dCols;
            job.H = job.dRows;
        }
        if (int e = clipToRoom(job, job.W, job.H))
            return e;
    } else if (b->numImgs == 0) {
        job.W = job.bX + job.dCols;
        job.H = job.bY + job.dRows;
    } else {
        job.W = std::max<int64_t>(b->width, job.bX + job.dCols);
        job.H = std::max<int64_t>(b->height, job.bY + job.dRows);
    }
    if (job.bX > job.W || job.bY > job.H)
        return LDR_ERROR(9, strPrintf("BXY %d %d exceeds Buffer %d %d", int(job.bX), int(job.bY),
                                      int(job.W), int(job.H)));
    if (job.W > INT32_MAX / 2 || job.H > INT32_MAX / 2)
        return LDR_ERROR(33,
                         strPrintf(" Buffer %lld X %lld cannot be represented",
                                   static_cast<long long>(job.W), static_cast<long long>(job.H)));
    return 0;
}

// GIF2ALPHA: the GIF becomes the alpha overlay of the image; a three-table palette is kept as
// the overlay palette, and no table goes to the pipeline.
int takeAlphaOverlay(loadJob& job)
{
    fdes& f = *job.f;
    if (f.format != FMT_GIF)
        return LDR_ERROR(44);
    paletteSet& pal = job.palette;
    if (pal.n == 3) {
        for (int k = 0; k < 3; ++k)
            std::memcpy(ldrOvlPalette.rgb[k], pal.anc[k], 256);
        ldrOvlPalette.set = true;
    }
    f.colorClass = CC_ALPHA_OVL;
    f.dBands = 1;
    f.gun = GUN_A;
    FREE_PALETTE(pal.anc, &pal.n);
    job.conversion = VSL_ONE_GUN;
    return 0;
}

// HDR files load whole and in place: no pseudo-colour for several bands, no placement, flip
// or mirror.
int checkHdrFile(loadJob& job)
{
    if (!job.fileHdr)
        return 0;
    const fdes& f = *job.f;
    if (f.bands > 1 && (job.req.hdrFlags & HDR_PSEUDO))
        return LDR_ERROR(47);
    if (job.req.bxyGiven || (f.vslCtlm & (VSL_FLIP | VSL_MIRR)))
        return LDR_ERROR(20);
    job.d->hdrImg = 1;
    return 0;
}

// Band selection: which file band goes to which plane, checked against the file, and recorded
// in the image descriptor.
int selectBands(loadJob& job)
{
    const loadRequest& req = job.req;
    fdes& f = *job.f;
    const int32 nAnc = job.palette.n;
    if (f.storMode == SM_FLAT && f.bands > 1 && nAnc == 0)
        return LDR_ERROR(11);
    if (req.bandGiven && req.maxBand > f.bands)
        return LDR_ERROR(22);
    if (req.gunGiven && !req.gif2alpha) {
        if (nAnc > 1 || (req.bandGiven && req.bandCount > 1))
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
        if (req.gunGiven && !req.bandGiven) {
            // Without BAND a gun takes its own band of a colour file (R 1, G 2, B 3, A 4); a
            // one-band file has only band 1, which is what composing grey images into the
            // guns needs.
            std::int16_t& band = f.Bands[job.gun];
            if (f.bands <= 1 || band == 0)
                band = 1;
            else if (band > f.bands)
                return LDR_ERROR(22);
        }
    } else {
        for (int k = 0; k < 4; ++k)
            f.Bands[k] = 0;
        f.Bands[GUN_A] = 1;
    }
    ides& d = *job.d;
    for (int p = 0; p < 4; ++p) {
        if (f.Bands[p] == 0)
            continue;
        if (d.planeBands[p] == 0)
            d.planeCount++;
        d.planeBands[p] = shortu(f.Bands[p]);
        std::snprintf(d.scal[p].curve, sizeof d.scal[p].curve, "%s", "UNSCALED");
    }
    return 0;
}

// A gun composed onto an existing image goes where that image lies and no further than it.
int fitToImage(loadJob& job)
{
    const ides& d = *job.d;
    if (job.req.gunGiven && job.req.imgIndex < job.b->numImgs && d.geomSet) {
        if (!job.req.bxyGiven) {
            job.bX = d.x0;
            job.bY = d.y0;
        }
        if (job.dCols > d.width)
            job.dCols = job.lCols = d.width;
        if (job.dRows > d.height)
            job.dRows = job.lRows = d.height;
    }
    if (job.dCols < kMinTransfer || job.dRows < kMinTransfer)
        return LDR_ERROR(3, strPrintf(" dcols, drows - %d %d", int(job.dCols), int(job.dRows)));
    return 0;
}

int allocFailure(int64_t w, int64_t h)
{
    const double mb = double(uint64_t(w) * uint64_t(h) * 4u) / 1e6;
    return LDR_ERROR(33, strPrintf(" Buffer memory alloc FAIL: Mb: %9.3f", mb));
}

// Memory: a buffer with images grows to take the placement (an HDR or static buffer cannot);
// an empty one gets a block of the planned size, reusing the one its last clear kept. A new
// block is filled only once the pipeline has started (fillNewBlock), so that a pipeline that
// cannot start leaves the kept pixels as they were.
int makeRoom(loadJob& job)
{
    bufdes* b = job.b;
    std::string guardMsg;
    if (b->numImgs > 0) {
        if ((b->bufCtlm & bufIS_HDR) && (truncScaled(job.fx, job.lCols) != b->width ||
                                         truncScaled(job.fy, job.lRows) != b->height))
            return LDR_ERROR(41, strPrintf(" Load %d %d to sBUF %d %d", int(job.dCols),
                                           int(job.dRows), b->width, b->height));
        const int64_t newW = std::max<int64_t>(b->width, job.W);
        const int64_t newH = std::max<int64_t>(b->height, job.H);
        if ((newW != b->width || newH != b->height) && (b->bufCtlm & bufSTATIC) && b->width > 0)
            return LDR_ERROR(19);
        const int st = GROW_iBUFF(b, int32(newW), int32(newH), &guardMsg);
        if (st == -1)
            return LDR_ERROR(33, guardMsg);
        if (st != 0)
            return allocFailure(newW, newH);
        return 0;
    }
    int st = 0;
    if (!RESERVE_iBUFF(b, int32(job.W), int32(job.H), &guardMsg, &st))
        return st == -1 ? LDR_ERROR(33, guardMsg) : allocFailure(job.W, job.H);
    // The pipeline checks the placement against the buffer's size.
    b->width = int32(job.W);
    b->height = int32(job.H);
    job.fillPending = true;
    job.fillValue = job.req.isStatic ? (job.req.staticColor & kStaticRgbBits) : 0u;
    job.placementUnset =
        writesWholePixels(*job.f) && job.bX + job.dCols <= job.W && job.bY + job.dRows <= job.H;
    return 0;
}

// The first write into a new block: the STATIC colour (or black) where the image will not be.
void fillNewBlock(loadJob& job)
{
    if (!job.fillPending)
        return;
    bufdes* b = job.b;
    if (job.f->vslCtlm & VSL_DIRECT) {
        // The reader has decoded the picture straight into the whole block.
    } else if (job.placementUnset)
        fillAround(b->imgbuf, job.W, job.H, job.bX, job.bY, job.dCols, job.dRows, job.fillValue);
    else
        FILL_iBUFF(b->imgbuf, int32(job.W), int32(job.H), job.fillValue);
    b->bufCtlm &= ~int32u(bufNEW_MEM);
    b->prevWidth = b->prevHeight = 0;
}

// The file descriptor takes the plan, and what the pipeline would refuse from the header alone
// is refused before any pixel memory is taken or filled: a small file claiming a huge picture
// costs nothing. A refusal by the memory guard is a memory refusal like the pixel block's own.
int planTransfer(loadJob& job)
{
    fdes& f = *job.f;
    f.lCols = int32u(job.lCols);
    f.lRows = int32u(job.lRows);
    f.dCols = int32u(job.dCols);
    f.dRows = int32u(job.dRows);
    f.fXofs = job.req.fXofs;
    f.fYofs = job.req.fYofs;
    f.bXofs = int32(job.bX);
    f.bYofs = int32(job.bY);
    f.deres[0] = job.fx;
    f.deres[1] = job.fy;
    std::string guardMsg;
    if (const int32 cst = CHECK_VSL(job.b, job.palette.n, &guardMsg); cst != 0)
        return guardMsg.empty() ? LDR_ERROR(18, strPrintf(" %d", cst)) : LDR_ERROR(33, guardMsg);
    return 0;
}

// The first load into an image sets its geometry.
void recordPlacement(loadJob& job)
{
    ides& d = *job.d;
    if (!d.geomSet) {
        d.width = int32(job.dCols);
        d.height = int32(job.dRows);
        d.x0 = int32(job.bX);
        d.y0 = int32(job.bY);
        d.x1 = d.x0 + d.width - 1;
        d.y1 = d.y0 + d.height - 1;
        d.geomSet = 1;
    }
    fdes& f = *job.f;
    if (f.dataOfs == 0) {
        const long pos = std::ftell(job.stream.fp);
        f.dataOfs = pos > 0 ? uint64_t(pos) : 0;
    }
}

// Transfer: the pipeline owns the stream and the colour tables from INIT_VSL on. A pipeline
// that cannot start has written no pixel: a replacing load then gives the earlier images back
// (the guard's business), and a buffer that was empty is cleared again.
int transfer(loadJob& job, replaceGuard& replacing, bool wasEmpty)
{
    bufdes* b = job.b;
    const bool wipeCopy = job.stream.decrypted;
    std::FILE* fp = job.stream.release();
    charu* tables[4];
    int32 nTables = 0;
    job.palette.moveTo(tables, nTables);
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
        if (wasEmpty && !replacing.holding())
            CLEAR_iBUFF(b);
        return e;
    }
    replacing.commit();
    fillNewBlock(job);
    VSL.destUnset = job.placementUnset;
    if (LDR_EXISTS() && int64_t(job.f->fRows) > kSlowRows && int64_t(job.f->fCols) > kSlowCols)
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
    return 0;
}

// The buffer's record after a completed transfer: a new image counts (a gun onto an existing
// image does not), the loaded, alpha and flipped marks are set.
int markLoaded(loadJob& job, bool wasEmpty, int32u flagsLoaded, int dBands)
{
    bufdes* b = job.b;
    if (!(job.req.gunGiven && !wasEmpty)) {
        b->numImgs++;
        if (!appendSpareIdes(b)) {
            b->numImgs--;
            return LDR_ERROR(34);
        }
    }
    b->bufCtlm |= bufLOADED;
    NEW_GENERATION(b);
    ides& done = b->imgDes[b->curImg];
    if (job.req.xalpha) {
        b->bufCtlm &= ~int32u(bufALPHA);
    } else if ((job.req.gunGiven && job.gun == GUN_A) || dBands == 4) {
        b->bufCtlm |= bufALPHA;
        done.alpha = 1;
    }
    if (flagsLoaded & (VSL_FLIP | VSL_MIRR))
        b->bufCtlm |= bufFLIPPED;
    return 0;
}

// The scaling of an HDR load and its first render, once the accumulator holds the data: a new
// accumulator starts from the default range mode (full range for a plain load into an empty
// buffer, unless the user chose a mode), a band added to a composition keeps the scaling of
// the bands before it; the load's HDR tag then applies to the guns it names.
int renderHdrLoad(loadJob& job, bool wasEmpty)
{
    const loadRequest& req = job.req;
    SET_ACTIVE_sBUFF(SBUFF_LOADER);
    if (wasEmpty || !req.gunGiven) {
        if (wasEmpty && !req.hdrGiven)
            SET_HDR_LOAD_DEFAULT_RANGE();
        HDR_DEFAULTS(hdrSet.rangeMode[SBUFF_LOADER]);
    }
    if (req.hdrGiven && req.hdrFlags != 0) {
        const int st = APPLY_HDR_TAG();
        // The tag belongs to this load; the next load has its own or none.
        hdrSet.tagGiven = false;
        if (st != 0)
            return LDR_ERROR(12, strPrintf(" Status= %d", st));
    }
    const int rst = RENDER_sBUFF(nullptr, job.b, RSB_TO_iBUFF);
    if (rst != 0) {
        DIAG("\nTAV_LOAD(): ***Fail; RENDER_sBUFF()= %d", rst);
        return LDR_ERROR(43, strPrintf(" RENDER_sBUFF()= %d", rst));
    }
    return 0;
}

} // namespace

int LOAD_EXEC(loadRequest& req, bufdes* table, shortu current)
{
    TAV_ASSERT(table != nullptr && current < NUM_iBUFF);
    loadJob job(req, &table[current]);
    bufdes* b = job.b;
    INSTALL_HDR_SINK();
    if (int e = openImage(job))
        return e;

    replaceGuard replacing(b);
    if (replacesContent(req, *b))
        replacing.clear();
    // Only a one-gun load goes into an existing image; any other load is a new image after
    // the existing ones (SETB's current image would otherwise have its descriptor taken).
    if (!req.gunGiven)
        req.imgIndex = b->numImgs;
    const bool wasEmpty = b->numImgs == 0;
    if (req.imgIndex < 0 || req.imgIndex > b->numImgs)
        return LDR_ERROR(28);
    recordRollback rollback(b, req.imgIndex);
    prepareDescriptor(job);

    if (int e = readHeader(job))
        return e;
    if (int e = checkHdrKind(job))
        return e;
    chooseConversion(job);
    if (int e = planGeometry(job))
        return e;
    if (req.gif2alpha)
        if (int e = takeAlphaOverlay(job))
            return e;
    job.f->vslCtlm =
        (job.f->vslCtlm & ~kConversionBits) | job.conversion | (req.vslCtlm & REQ_ONE_GUN);
    if (int e = checkHdrFile(job))
        return e;
    if (int e = selectBands(job))
        return e;
    if (int e = fitToImage(job))
        return e;
    if (int e = planTransfer(job))
        return e;
    if (int e = makeRoom(job))
        return e;
    recordPlacement(job);

    const int32u flagsLoaded = job.f->vslCtlm;
    const int dBands = job.f->dBands;
    if (int e = transfer(job, replacing, wasEmpty))
        return e;
    int32 sinkDetail = 0;
    if (job.fileHdr) {
        // Rows the accumulator did not take, or statistics it could not finish, would render
        // as a picture that is not the file's: the load fails instead.
        const int32 sst = hdrSinkStatus(&sinkDetail);
        if (sst == -1)
            return LDR_ERROR(46, strPrintf("Status= %d", sinkDetail));
        if (sst != 0)
            return LDR_ERROR(8, strPrintf("Status: %d", sinkDetail));
    }
    if (int e = markLoaded(job, wasEmpty, flagsLoaded, dBands))
        return e;
    rollback.keep();
    if (job.fileHdr)
        return renderHdrLoad(job, wasEmpty);
    return 0;
}
