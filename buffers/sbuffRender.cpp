// Rendering of the active scaling accumulator into the 8-bit guns of an iBUFF: every stored band
// goes through the scaling of its gun, and each gun's descaling table goes to the image so that
// the view can report sensor values under the cursor.
#include "folio_utl.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "diag.h"
#include "folioIo.h"
#include "hdrScale.h"
#include "sbuffActive.h"

using namespace folioio;

namespace {

// The image a render goes into: an empty buffer becomes a one-image buffer of the accumulator.
int32 takeImage(bufdes* bd, const folioDesc& d)
{
    if (bd->numImgs > 1)
        return -13;
    if (bd->numImgs == 1) {
        const ides& img = bd->imgDes[0];
        const bool rendered = IMAGE_RENDERED(img);
        if (!img.hdrImg && !rendered)
            return -10;
        if (rendered) {
            if (bd->bufNum != d.srcBuf)
                return -11;
            const int32 aw = int32(d.aoi[2]) - int32(d.aoi[0]) + 1;
            const int32 ah = int32(d.aoi[3]) - int32(d.aoi[1]) + 1;
            if (img.width != aw || img.height != ah) {
                DIAG("\nRENDER_sBUFF() fail: AOI missmatch; ides[] %d %d  sBuff[] %d %d", img.width,
                     img.height, aw, ah);
                return -12;
            }
        }
        bd->curImg = 0;
        return 0;
    }
    auto* imgs = static_cast<ides*>(std::realloc(bd->imgDes, 2 * sizeof(ides)));
    if (!imgs)
        return -13;
    bd->imgDes = imgs;
    initIdes(&imgs[0]);
    initIdes(&imgs[1]);
    ides& img = imgs[0];
    img.width = int32(d.cols);
    img.height = int32(d.rows);
    img.x1 = img.width - 1;
    img.y1 = img.height - 1;
    img.geomSet = 1;
    img.hdrImg = 1;
    std::snprintf(img.fd[0].path, sizeof img.fd[0].path, "%.255s", d.process);
    bd->numImgs = 1;
    bd->curImg = 0;
    bd->bufCtlm |= bufIS_HDR;
    return 0;
}

// The gun a stored band is shown on: the gun that names it, else the gun of its position.
int gunOfBand(const folioDesc& d, int band)
{
    for (int g = 0; g < 4; ++g)
        if (d.gunBand[g] == band + 1)
            return g;
    return band < 4 ? band : -1;
}

// Where the rendered rows go: the iBUFF (its row stride) or a lent display rectangle (cols).
struct renderRows {
    int32u* first;
    std::size_t stride;
};

void scaleInto(const renderRows& to, const float* line, int32u row, int gun, int32u cols)
{
    std::span<int32u> target(to.first + std::size_t(row) * to.stride, cols);
    SCALE_sBUFF_LINE(std::span<const float>(line, cols), target, gun, 1, 0, int(cols));
}

sbuffDisplayOpener displayOpener = nullptr;

} // namespace

bool IMAGE_RENDERED(const ides& img)
{
    return std::strncmp(img.scal[0].curve, "UNSCALED", 8) != 0;
}

void SET_sBUFF_DISPLAY(sbuffDisplayOpener opener)
{
    displayOpener = opener;
}

int RENDER_sBUFF(const aoiRec* target, bufdes* bd, int32u flags)
{
    sbuffMem& inst = activeSbuff();
    folioDesc& d = inst.desc;
    const int slot = activeSbuffSlot();
    if (!FOLIO_CREATED(slot) || !(foliosDefined() & (1u << slot)) || d.defined != 1)
        return -1;
    if (!bd)
        return -2;
    const int32u where = flags & (RSB_TO_iBUFF | RSB_TO_DISPLAY);
    if (where != RSB_TO_iBUFF && where != RSB_TO_DISPLAY)
        return -3;
    if (where == RSB_TO_DISPLAY && !target)
        return -3;
    if (flags & RSB_SET_SRCBUF)
        d.srcBuf = std::int16_t(bd->bufNum);
    if (d.cols < 16 || d.rows < 16 || d.nBands < 1 || d.nBands > SBUFF_MAX_BANDS)
        return -4;
    if (where == RSB_TO_DISPLAY) {
        const aoiRec& a = *target;
        if (a.x0 != int32(d.aoi[0]) || a.y0 != int32(d.aoi[1]) || a.x1 != int32(d.aoi[2]) ||
            a.y1 != int32(d.aoi[3]))
            return -5;
    } else if (bd->width != int32(d.cols) || bd->height != int32(d.rows) || !bd->imgbuf) {
        return -6;
    }
    if (d.dType != DTYPE_FLOAT32 && d.dType != DTYPE_COMPLEX32)
        return -7;
    floatBlock line = floatsFor(d.cols);
    if (!line)
        return -8;
    // The display is reached through a rectangle the view lends (its render objects, which
    // this library does not link); the guns not rendered keep what the display shows.
    std::unique_ptr<sbuffDisplayArea> area;
    renderRows to{};
    if (where == RSB_TO_DISPLAY) {
        area.reset(displayOpener ? displayOpener(*target) : nullptr);
        to = {area ? area->pixels() : nullptr, std::size_t(d.cols)};
        if (!to.first) {
            DIAG("\n***RENDER_sBUFF(): no render area for a display target");
            return -9;
        }
    } else {
        if (const int32 st = takeImage(bd, d); st != 0)
            return st;
        to = {bd->imgbuf, std::size_t(bd->width)};
    }

    for (int g = 0; g < 4; ++g)
        if (d.gunBand[g] != 0)
            S_FACTORS(g);
    for (int g = 0; g < 3; ++g)
        RESET_SCALE_HIST(inst.scal[g]);

    const bool grey = d.nBands == 1 && d.gunLoad != 1;
    const int32u cols = d.cols;
    if (d.sMode == SMODE_BAND_SEQ) {
        for (int g = 0; g < 4; ++g) {
            const int band = d.gunBand[g] - 1;
            if (band < 0 || band >= SBUFF_MAX_BANDS)
                continue;
            std::FILE* f = FOLIO_FILE(slot);
            if (!f || !seekTo(f, d.bandOfs[band]))
                return -8;
            for (int32u r = 0; r < d.rows; ++r) {
                if (!readFloats(f, line.get(), cols))
                    return -8;
                scaleInto(to, line.get(), r, g, cols);
            }
        }
    } else {
        // The lines of the last load are read where it left them in memory when it could.
        const float* mem = RESIDENT_LINES(slot);
        std::FILE* f = mem ? nullptr : FOLIO_FILE(slot);
        if (!mem && (!f || !seekTo(f, d.dataOfs)))
            return -8;
        const int scaled = std::max<int>(d.nScaleBands, 1);
        const int stored = d.sMode == SMODE_SCAN_IL ? std::max<int>(d.nBands, scaled) : scaled;
        for (int32u r = 0; r < d.rows; ++r)
            for (int k = 0; k < stored; ++k) {
                const float* src = line.get();
                if (mem) {
                    src = mem;
                    mem += cols;
                } else if (!readFloats(f, line.get(), cols)) {
                    return -8;
                }
                const int g = gunOfBand(d, d.firstBand + k);
                if (k >= scaled || g < 0)
                    continue; // bands beyond the scaled ones are carried, not shown
                scaleInto(to, src, r, grey ? g + HDR_GREY_GUN : g, cols);
            }
    }

    if (area)
        area->commit();
    // The image's sensor-value tables follow the last render, wherever it went.
    if (bd->numImgs < 1 || !bd->imgDes) {
        ARCHIVE_SCALING_ONCE();
        return 0;
    }
    ides& img = bd->imgDes[bd->curImg];
    for (int g = 0; g < 4; ++g) {
        if (d.gunBand[g] == 0)
            continue;
        bandScalBlk& blk = inst.scal[g];
        BUILD_DESCALE_TABLE(blk);
        scalRec& s = img.scal[g];
        s.word = blk.p.opScalCtl;
        std::snprintf(s.curve, sizeof s.curve, "%s", hdrCurveName(blk.p.opScalCtl));
        std::memcpy(s.table, blk.descale, sizeof s.table);
        s.lo = blk.descale[0];
        s.hi = blk.descale[255];
    }
    if (grey)
        img.scal[1] = img.scal[2] = img.scal[0];
    for (int g = 0; g < 4; ++g)
        img.scal[g].gun = shortu(g);
    ARCHIVE_SCALING_ONCE();
    return 0;
}
