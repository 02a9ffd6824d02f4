#include "folio_utl.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <unistd.h>

#include "diag.h"
#include "folioIo.h"
#include "sbuffActive.h"
#include "sbuffStats.h"

using namespace folioio;

namespace {

std::FILE* folios[NUM_FOLIOS] = {};
int32u createdMask = 0;
int32u definedMask = 0;

// De-interleaved copy of a pixel-interleaved input line; lives from PUT_sBUFF_HEADER to
// END_sBUFF_LOAD.
floatBlock scanILsl;

// The lines a load is storing, kept in memory while there is room for them: the second
// statistics pass and the renders read them there instead of reading the scratch file back.
// The file receives every sample when it is first read, so every other reader of the folio
// sees the same data; an image too large for memory streams through the file alone.
struct residentLines {
    int slot = -1;
    floatBlock data;
    std::uint64_t capacity = 0; // floats the block holds
    std::uint64_t size = 0;     // floats the load stores
    std::uint64_t stored = 0;   // floats stored so far
    std::int64_t fileOfs = 0;   // where they go in the folio
    bool complete = false;      // the load ended
    bool written = false;       // the folio holds them too
};
residentLines resident;

// A block of a finished load, kept for the next one: fresh memory costs a page fault per
// page on first touch, as much as the whole second pass. Only blocks up to this size are
// kept; a larger one goes back to the system when its lines are dropped.
constexpr std::uint64_t kKeptBlockBytes = std::uint64_t(256) << 20;
floatBlock spareBlock;
std::uint64_t spareCapacity = 0;

// Room for the lines of a load: the kept block when it is large enough, else at most half the
// free RAM (lines pushed out to swap would be slower than the scratch file they stand in for).
// Asked quietly: no room is no error here.
bool takeResidentBlock(std::uint64_t n)
{
    if (spareBlock && spareCapacity >= n) {
        resident.data = std::move(spareBlock);
        resident.capacity = spareCapacity;
        spareCapacity = 0;
        return true;
    }
    spareBlock.reset();
    spareCapacity = 0;
    std::uint64_t ram = 0, swap = 0;
    if (n == 0 || n > (std::uint64_t(1) << 60) / sizeof(float) || !freeMemory(ram, swap) ||
        n * sizeof(float) > ram / 2)
        return false;
    resident.data.reset(static_cast<float*>(bigAlloc(n * sizeof(float))));
    resident.capacity = resident.data ? n : 0;
    return resident.data != nullptr;
}

std::FILE* rawFile(int slot)
{
    return (slot >= 0 && slot < NUM_FOLIOS) ? folios[slot] : nullptr;
}

// The folio is written when it is first read: a load whose lines serve every render from
// memory never pays for the scratch file.
bool flushResident(int slot)
{
    if (resident.slot != slot || !resident.complete || resident.written)
        return true;
    std::FILE* f = rawFile(slot);
    if (!f || !writeAt(f, resident.fileOfs, resident.data.get(), resident.size))
        return false;
    resident.written = true;
    return true;
}

void dropResident(int slot)
{
    if (slot >= 0 && resident.slot != slot)
        return;
    if (resident.data && resident.capacity * sizeof(float) <= kKeptBlockBytes && slot >= 0) {
        spareBlock = std::move(resident.data);
        spareCapacity = resident.capacity;
    }
    resident = {};
    resident.slot = -1;
}

bool slotDefined(int slot)
{
    return slot >= 0 && slot < NUM_FOLIOS && folios[slot] && (definedMask & (1u << slot));
}

// Bands stored per line: all of them when scan-interleaved, else the one being loaded.
int bandsPerLine(const folioDesc& d)
{
    return d.sMode == SMODE_SCAN_IL ? d.nBands : 1;
}

std::int64_t dataPosition(const folioDesc& d)
{
    return d.sMode == SMODE_BAND_SEQ ? d.bandOfs[d.firstBand] : d.dataOfs;
}

bool instanceDefined()
{
    return slotDefined(activeSbuffSlot()) && activeSbuff().desc.defined == 1;
}

} // namespace

void floatBlockFree::operator()(float* p) const
{
    bigFree(p);
}

int32u CLAIM_FOLIOS(int32u mask)
{
    for (int slot = 0; slot < NUM_FOLIOS; ++slot) {
        const int32u bit = 1u << slot;
        if (!(mask & bit))
            continue;
        definedMask &= ~bit;
        dropResident(slot);
        if (folios[slot]) {
            std::rewind(folios[slot]);
            std::fflush(folios[slot]);
            if (ftruncate(fileno(folios[slot]), 0) != 0)
                std::clearerr(folios[slot]);
        } else if ((folios[slot] = std::tmpfile()) != nullptr) {
            createdMask |= bit;
        }
    }
    return createdMask;
}

std::FILE* FOLIO_FILE(int slot)
{
    // Whoever asks for the file reads or writes it: lines still held only in memory go to it
    // first. A folio that cannot take them is not handed out.
    return flushResident(slot) ? rawFile(slot) : nullptr;
}

int32u foliosCreated()
{
    return createdMask;
}
int32u foliosDefined()
{
    return definedMask;
}

void resetFolios()
{
    for (auto& f : folios)
        if (f) {
            std::fclose(f);
            f = nullptr;
        }
    createdMask = definedMask = 0;
    scanILsl.reset();
    dropResident(-1);
    spareBlock.reset();
    spareCapacity = 0;
}

const float* RESIDENT_LINES(int slot)
{
    return resident.slot == slot && resident.complete ? resident.data.get() : nullptr;
}

bool FOLIO_CREATED(int slot)
{
    return rawFile(slot) != nullptr;
}

int PUT_FOLIO_HEADER(int slot, folioDesc* desc, const bandStats* stats)
{
    std::FILE* f = rawFile(slot);
    if (!f)
        return -1;
    std::rewind(f);
    desc->nBands = std::min<std::int16_t>(desc->nBands, SBUFF_MAX_BANDS);
    desc->nScaleBands = std::min<std::int16_t>(desc->nScaleBands, SBUFF_MAX_SCALE_BANDS);
    desc->dataOfs = SBUFF_DESC_BYTES;
    if (desc->nStats > 0) {
        if (!stats)
            return -2;
        desc->nStats = std::min<std::int16_t>(desc->nStats, SBUFF_MAX_BANDS);
        desc->dataOfs = SBUFF_DATA_WITH_STATS;
    } else {
        desc->nStats = 0;
    }
    if (std::fwrite(desc, sizeof *desc, 1, f) != 1)
        return -3;
    if (desc->nStats > 0) {
        const bandStats zero{};
        for (int i = 0; i < SBUFF_MAX_BANDS; ++i)
            if (std::fwrite(i < desc->nStats ? &stats[i] : &zero, sizeof zero, 1, f) != 1)
                return -3;
    }
    if (std::fflush(f) != 0)
        return -3;
    definedMask |= 1u << slot;
    return 0;
}

int GET_FOLIO_HEADER(int slot, folioDesc* desc, bandStats* stats)
{
    if (!slotDefined(slot))
        return -1;
    if (!flushResident(slot))
        return -2;
    std::FILE* f = folios[slot];
    std::rewind(f);
    if (std::fread(desc, sizeof *desc, 1, f) != 1)
        return -2;
    if (desc->nStats > 0 && stats) {
        const auto n = std::size_t(std::min<int>(desc->nStats, SBUFF_MAX_SCALE_BANDS));
        if (std::fread(stats, sizeof *stats, n, f) != n)
            return -2;
    }
    return seekTo(f, desc->dataOfs) ? 0 : -2;
}

int PUT_sBUFF_HEADER(folioDesc* nw)
{
    if (nw->defined != 1)
        return -1;
    sbuffMem& inst = activeSbuff();
    folioDesc& cur = inst.desc;
    const int slot = activeSbuffSlot();
    const bool continuation = instanceDefined() && nw->gunLoad == 1 && cur.srcBuf == nw->srcBuf &&
                              cur.cols == nw->cols && cur.rows == nw->rows;
    // The band's statistics record and gun block are picked by firstBand; a header that would
    // reach past the four guns or claims no samples cannot be stored.
    if (nw->cols < 1 || nw->rows < 1 || nw->nScaleBands < 1 || nw->firstBand < 0 ||
        nw->firstBand + nw->nScaleBands > SBUFF_MAX_SCALE_BANDS ||
        (!continuation && (nw->nBands < nw->nScaleBands || nw->nBands > SBUFF_MAX_BANDS)))
        return -1;
    // A gun appended to interleaved lines would have its band read from offsets that hold
    // other bands' samples (or the header): such a composition cannot be stored.
    if (continuation && cur.sMode == SMODE_SCAN_IL)
        return -1;
    // A band appended after the lines of the last load needs those lines on file first.
    if (continuation && !flushResident(slot))
        return -3;
    if (!continuation) {
        cur = {};
        // One scaled band of a multi-band line still stores every band of it.
        nw->sMode = (nw->nScaleBands < 2 && nw->nBands < 2) ? SMODE_FLAT : SMODE_SCAN_IL;
        nw->nStats = nw->nScaleBands;
        nw->endOfs = SBUFF_DATA_WITH_STATS;
        nw->bandOfs[nw->firstBand] = SBUFF_DATA_WITH_STATS;
    } else {
        nw->sMode = SMODE_BAND_SEQ;
        nw->nBands = nw->nScaleBands = nw->nStats = 1;
        int bCount = 0;
        for (int g = 0; g < 4; ++g) {
            if (nw->gunBand[g] == 0)
                nw->gunBand[g] = cur.gunBand[g];
            bCount += nw->gunBand[g] != 0;
        }
        for (int b = 0; b < SBUFF_MAX_BANDS; ++b)
            if (cur.bandOfs[b] != 0)
                nw->bandOfs[b] = cur.bandOfs[b];
        nw->bandOfs[nw->firstBand] = cur.endOfs;
        nw->endOfs = cur.endOfs;
        TAV_ASSERT(bCount >= 1);
        nw->nBands = std::int16_t(bCount);
        nw->nStats = std::int16_t(std::min(bCount, SBUFF_MAX_SCALE_BANDS));
    }
    if (PUT_FOLIO_HEADER(slot, nw, inst.stats) != 0)
        return -3;
    cur = *nw;

    // INIT_SBUF_FLT32_SL: a clean slate for the bands this load fills.
    for (int k = 0; k < cur.nScaleBands; ++k) {
        INIT_BAND_STATS(&inst.stats[cur.firstBand + k], cur.firstBand + k);
        resetScalBlk(&inst.scal[cur.firstBand + k]);
    }
    scanILsl.reset();
    if (cur.inLayout == 4) {
        scanILsl = floatsFor(std::uint64_t(cur.cols) * std::uint64_t(cur.nBands));
        TAV_ASSERT(scanILsl != nullptr);
    }
    dropResident(slot);
    // One load's lines are held at a time: those of the other instance go to its folio first.
    if (!continuation && resident.slot >= 0) {
        const int other = resident.slot;
        if (flushResident(other))
            dropResident(other);
    }
    if (!continuation && resident.slot < 0) {
        const std::uint64_t n =
            std::uint64_t(cur.cols) * std::uint64_t(cur.rows) * std::uint64_t(bandsPerLine(cur));
        if (takeResidentBlock(n)) {
            resident.slot = slot;
            resident.size = n;
            resident.fileOfs = dataPosition(cur);
        }
    }
    if (!seekTo(rawFile(slot), dataPosition(cur)))
        return -3;
    return 0;
}

int PUT_sBUFF_SCANLINE(float* samples, std::size_t count)
{
    if (!instanceDefined())
        return -1;
    sbuffMem& inst = activeSbuff();
    const folioDesc& d = inst.desc;
    const std::size_t cols = d.cols;
    const int perLine = bandsPerLine(d);
    float* line = samples;
    if (d.inLayout == 4) {
        const std::size_t nb = std::size_t(d.nBands);
        if (count < cols * nb || !scanILsl)
            return -2;
        float* il = scanILsl.get();
        for (std::size_t b = 0; b < nb; ++b)
            for (std::size_t c = 0; c < cols; ++c)
                il[b * cols + c] = samples[c * nb + b];
        line = il;
    } else if (count < cols * std::size_t(perLine)) {
        return -2;
    }
    for (int k = 0; k < perLine; ++k) {
        float* band = line + std::size_t(k) * cols;
        if (k < d.nScaleBands)
            P1_ACCUM_FSTATS(band, &inst.stats[d.firstBand + k], cols);
        else // unscaled bands are stored as clean as the scaled ones
            for (std::size_t c = 0; c < cols; ++c)
                band[c] = std::isfinite(band[c]) ? band[c] : 0.0f;
    }
    const std::size_t n = cols * std::size_t(perLine);
    if (resident.slot == activeSbuffSlot()) {
        if (resident.stored + n > resident.size)
            return -3; // more lines than the header announced
        std::memcpy(resident.data.get() + resident.stored, line, n * sizeof(float));
        resident.stored += n;
        return 0;
    }
    return writeFloats(rawFile(activeSbuffSlot()), line, n) ? 0 : -3;
}

namespace {

// The second pass over the lines kept in memory, then the lines written to the folio at once.
int endResident(folioDesc& d, sbuffMem& inst, std::FILE* f)
{
    if (resident.stored != resident.size)
        return -4; // fewer lines than the header announced: nothing to read the rest from
    const int perLine = bandsPerLine(d);
    float* p = resident.data.get();
    for (int32u r = 0; r < d.rows; ++r)
        for (int k = 0; k < perLine; ++k, p += d.cols)
            if (k < d.nScaleBands)
                P2_ACCUM_FSTATS(p, &inst.scal[d.firstBand + k], &inst.stats[d.firstBand + k],
                                d.cols);
    (void)f; // the folio receives the lines when it is first read
    d.endOfs = resident.fileOfs + std::int64_t(resident.size * sizeof(float));
    return 0;
}

int endStreamed(folioDesc& d, sbuffMem& inst, std::FILE* f)
{
    if (std::fflush(f) != 0)
        return -2;
    d.endOfs = ftello(f);
    floatBlock line = floatsFor(d.cols);
    if (!line)
        return -3;
    if (!seekTo(f, dataPosition(d)))
        return -4;
    const int perLine = bandsPerLine(d);
    for (int32u r = 0; r < d.rows; ++r)
        for (int k = 0; k < perLine; ++k) {
            if (!readFloats(f, line.get(), d.cols))
                return -4;
            if (k < d.nScaleBands)
                P2_ACCUM_FSTATS(line.get(), &inst.scal[d.firstBand + k],
                                &inst.stats[d.firstBand + k], d.cols);
        }
    return 0;
}

} // namespace

int END_sBUFF_LOAD()
{
    if (!instanceDefined())
        return -1;
    sbuffMem& inst = activeSbuff();
    folioDesc& d = inst.desc;
    const int slot = activeSbuffSlot();
    std::FILE* f = rawFile(slot);
    scanILsl.reset();
    const int st = resident.slot == slot ? endResident(d, inst, f) : endStreamed(d, inst, f);
    if (st != 0) {
        dropResident(slot);
        return st;
    }
    for (int k = 0; k < d.nScaleBands; ++k)
        FINISH_FSTATS(&inst.scal[d.firstBand + k], &inst.stats[d.firstBand + k]);
    // The descriptor is rewritten with the statistics so that the append position of the next
    // band of a composition is on file too.
    if (PUT_FOLIO_HEADER(slot, &d, inst.stats) != 0 || !seekTo(f, d.dataOfs)) {
        dropResident(slot);
        return -5;
    }
    resident.complete = resident.slot == slot;
    if (d.nBands == 1 && d.gunLoad != 1) // a grey image scales identically on R, G and B
        inst.stats[1] = inst.stats[2] = inst.stats[0];
    return 0;
}

int CUT_SBUFFtoACCUM(int acc, int band, int srcBuf)
{
    const int slot = activeSbuffSlot();
    if (!FOLIO_FILE(slot))
        return -1;
    if (acc < 0 || acc > 3)
        return -2;
    folioDesc sd;
    if (GET_FOLIO_HEADER(slot, &sd, nullptr) != 0 || band < 1 || band > sd.nBands ||
        band > SBUFF_MAX_BANDS || sd.cols < 1 || sd.rows < 1)
        return -4;
    std::FILE* src = FOLIO_FILE(slot);
    const bool seq = sd.sMode == SMODE_BAND_SEQ;
    const int perLine = bandsPerLine(sd);
    if (!seq && band > perLine)
        return -4;
    floatBlock line = floatsFor(std::uint64_t(sd.cols) * std::uint64_t(seq ? 1 : perLine));
    if (!line)
        return -5;
    if (!(CLAIM_FOLIOS(1u << acc) & (1u << acc)))
        return -5;

    folioDesc nd{};
    nd.cols = sd.cols;
    nd.rows = sd.rows;
    std::memcpy(nd.aoi, sd.aoi, sizeof nd.aoi);
    nd.srcBuf = std::int16_t(srcBuf);
    nd.nBands = nd.nScaleBands = nd.nStats = 1;
    nd.dType = DTYPE_FLOAT32;
    nd.sMode = SMODE_FLAT;
    nd.gunBand[0] = std::uint16_t(band);
    nd.defined = 1;
    std::memcpy(nd.process, sd.process, sizeof nd.process);
    nd.process[sizeof nd.process - 1] = '\0';
    nd.bandOfs[0] = SBUFF_DATA_WITH_STATS;
    nd.endOfs = SBUFF_DATA_WITH_STATS + std::int64_t(sd.cols) * sd.rows * 4;
    bandStats rec = activeSbuff().stats[band - 1];
    if (PUT_FOLIO_HEADER(acc, &nd, &rec) != 0)
        return -8;

    std::FILE* dst = FOLIO_FILE(acc);
    // Band-sequential data holds the chosen band in one run; interleaved data holds it as one
    // piece of every line.
    if (!seekTo(src, seq ? sd.bandOfs[band - 1] : sd.dataOfs))
        return -7;
    const std::uint64_t lineLen = std::uint64_t(sd.cols) * std::uint64_t(seq ? 1 : perLine);
    const float* piece = line.get() + (seq ? 0 : std::uint64_t(band - 1) * sd.cols);
    for (int32u r = 0; r < sd.rows; ++r) {
        if (!readFloats(src, line.get(), lineLen))
            return -7;
        if (!writeFloats(dst, piece, sd.cols))
            return -8;
    }
    return std::fflush(dst) == 0 ? 0 : -8;
}

int WRITE_sBUFF_BANDS(const float* const* bands, const bandStats* stats, const aoiRec& aoi, int n,
                      int dType, const char* process, int layout, int srcBuf, int32 dispW,
                      int32 dispH)
{
    const int slot = activeSbuffSlot();
    if (n < 1 || n > SBUFF_MAX_BANDS || !bands || !rawFile(slot))
        return -1;
    if (dType != DTYPE_FLOAT32 && dType != DTYPE_COMPLEX32)
        return -2;
    dropResident(slot); // the bands written here replace what a load left in memory
    const std::int64_t w = std::int64_t(aoi.x1) - aoi.x0 + 1, h = std::int64_t(aoi.y1) - aoi.y0 + 1;
    if (w < 16 || h < 16)
        return -3;
    sbuffMem& inst = activeSbuff();
    const std::uint64_t cols = std::uint64_t(w), rows = std::uint64_t(h);

    folioDesc nd{};
    nd.cols = int32u(cols);
    nd.rows = int32u(rows);
    nd.aoi[0] = int32u(aoi.x0);
    nd.aoi[1] = int32u(aoi.y0);
    nd.aoi[2] = int32u(aoi.x1);
    nd.aoi[3] = int32u(aoi.y1);
    nd.srcBuf = std::int16_t(srcBuf);
    nd.defined = 1;
    nd.inLayout = 1;
    nd.nBands = std::int16_t(n);
    const int scaled = std::min(dType == DTYPE_COMPLEX32 ? n / 2 : n, SBUFF_MAX_SCALE_BANDS);
    nd.nScaleBands = nd.nStats = std::int16_t(scaled);
    nd.dType = std::int16_t(dType);
    for (int b = 0; b < std::min(n, 4); ++b)
        nd.gunBand[b] = std::uint16_t(b + 1);
    nd.sMode = n == 1 ? SMODE_FLAT : SMODE_SCAN_IL;
    if (n > 1 && layout == 2 && (n >= 5 || w > dispW || h > dispH))
        nd.sMode = SMODE_BAND_SEQ;
    std::memcpy(nd.process, inst.desc.process, sizeof nd.process);
    nd.process[sizeof nd.process - 1] = '\0';
    if (process && std::strlen(nd.process) + std::strlen(process) < sizeof nd.process)
        std::strcat(nd.process, process);

    floatBlock line = floatsFor(cols);
    if (!line)
        return -5;
    // A clean line of band b, row r: non-finite samples are stored as 0, as for a load.
    auto fetch = [&](int b, std::uint64_t r) {
        const float* src = bands[b] + r * cols;
        for (std::uint64_t c = 0; c < cols; ++c)
            line.get()[c] = std::isfinite(src[c]) ? src[c] : 0.0f;
        return line.get();
    };
    if (stats) {
        for (int b = 0; b < scaled; ++b)
            inst.stats[b] = stats[b];
    } else {
        for (int b = 0; b < scaled; ++b) {
            INIT_BAND_STATS(&inst.stats[b], b);
            resetScalBlk(&inst.scal[b]);
            for (std::uint64_t r = 0; r < rows; ++r)
                P1_ACCUM_FSTATS(fetch(b, r), &inst.stats[b], cols);
            for (std::uint64_t r = 0; r < rows; ++r)
                P2_ACCUM_FSTATS(fetch(b, r), &inst.scal[b], &inst.stats[b], cols);
            FINISH_FSTATS(&inst.scal[b], &inst.stats[b]);
        }
    }

    CLAIM_FOLIOS(1u << slot);
    // A failed write leaves an empty sBUFF, never a header over partial bands.
    auto dropBands = [&inst, slot](int status) {
        CLAIM_FOLIOS(1u << slot);
        inst.desc = {};
        return status;
    };
    std::FILE* f = FOLIO_FILE(slot);
    nd.endOfs = (scaled > 0 ? SBUFF_DATA_WITH_STATS : SBUFF_DESC_BYTES) +
                std::int64_t(cols * rows * 4 * std::uint64_t(n));
    if (PUT_FOLIO_HEADER(slot, &nd, inst.stats) != 0)
        return dropBands(-4);
    if (nd.sMode != SMODE_BAND_SEQ) {
        for (std::uint64_t r = 0; r < rows; ++r)
            for (int b = 0; b < n; ++b)
                if (!writeFloats(f, fetch(b, r), cols))
                    return dropBands(-6);
    } else {
        for (int b = 0; b < n; ++b) {
            nd.bandOfs[b] = nd.dataOfs + std::int64_t(cols * rows * 4 * std::uint64_t(b));
            for (std::uint64_t r = 0; r < rows; ++r)
                if (!writeFloats(f, fetch(b, r), cols))
                    return dropBands(-7);
        }
        if (PUT_FOLIO_HEADER(slot, &nd, inst.stats) != 0)
            return dropBands(-7);
    }
    if (std::fflush(f) != 0)
        return dropBands(nd.sMode == SMODE_BAND_SEQ ? -7 : -6);
    inst.desc = nd;
    return 0;
}

int READ_sBUFF_BANDS(int layout, sbuffBands& out)
{
    const int slot = activeSbuffSlot();
    folioDesc d;
    if (GET_FOLIO_HEADER(slot, &d, nullptr) != 0)
        return -1;
    if (layout < 1 || layout > 4)
        return -2;
    if (d.nBands < 1 || d.nBands > SBUFF_MAX_BANDS)
        return -3;
    if ((d.nBands == 1) != (layout == 1))
        return -4;
    if (layout == 4 && d.nBands >= 5)
        return -5;
    const bool seq = d.sMode == SMODE_BAND_SEQ;
    if (seq && layout != 2 && layout != 3)
        return -6;
    if (d.dType != DTYPE_FLOAT32 && d.dType != DTYPE_COMPLEX32)
        return -7;
    const std::uint64_t cols = d.cols, rows = d.rows, nb = std::uint64_t(d.nBands);
    std::string msg;
    if (cols < 1 || rows < 1 || !SAFE_MEM_REQ(nb * cols * rows * 4, &msg))
        return -8;
    out = sbuffBands{};
    const int blocks = layout == 2 ? d.nBands : 1;
    const std::uint64_t blockLen = layout == 2 ? cols * rows : nb * cols * rows;
    for (int b = 0; b < blocks; ++b)
        if (!(out.block[b] = floatsFor(blockLen)))
            return -9;
    floatBlock line = floatsFor(seq ? cols : nb * cols);
    if (!line)
        return -10;
    std::FILE* f = FOLIO_FILE(slot);
    // Sample c of band b in row r lands where the layout wants it.
    auto place = [&](std::uint64_t r, std::uint64_t b, const float* src) {
        for (std::uint64_t c = 0; c < cols; ++c) {
            float* dst = nullptr;
            switch (layout) {
            case 1:
            case 3:
                dst = out.block[0].get() + (r * nb + b) * cols + c;
                break;
            case 2:
                dst = out.block[b].get() + r * cols + c;
                break;
            default:
                dst = out.block[0].get() + (r * cols + c) * nb + b;
                break;
            }
            *dst = src[c];
        }
    };
    if (seq) {
        for (std::uint64_t b = 0; b < nb; ++b) {
            if (!seekTo(f, d.bandOfs[b]))
                return -11;
            for (std::uint64_t r = 0; r < rows; ++r) {
                if (!readFloats(f, line.get(), cols))
                    return -11;
                place(r, b, line.get());
            }
        }
    } else {
        for (std::uint64_t r = 0; r < rows; ++r) {
            if (!readFloats(f, line.get(), nb * cols))
                return -11;
            for (std::uint64_t b = 0; b < nb; ++b)
                place(r, b, line.get() + b * cols);
        }
    }
    out.layout = layout;
    out.nBands = d.nBands;
    out.cols = d.cols;
    out.rows = d.rows;
    return 0;
}
