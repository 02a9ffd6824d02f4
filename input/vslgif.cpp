// GIF reader: block walk to the first image, colour tables, and our own LZW decoder that
// delivers one row of palette indices per call (interlaced images in display order).
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bigBlock.h"
#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

constexpr int kMaxCodes = 4096;

// LZW work memory, zeroed when allocated.
struct gifWork {
    charu block[256]; // current data sub-block
    std::uint16_t prefix[kMaxCodes];
    charu suffix[kMaxCodes];
    charu stack[kMaxCodes + 1];
};
static_assert(offsetof(gifWork, stack) + sizeof(gifWork::stack) == 16641, "work block layout");

struct gifDecoder {
    std::unique_ptr<gifWork, vslFree> work;
    int minSize = 0;
    int clear = 0, endCode = 0, next = 0;
    int width = 0;
    std::uint32_t mask = 0;
    int prev = -1;
    int firstChar = 0;
    std::uint32_t bits = 0;
    int nBits = 0;
    int blockLeft = 0, blockPos = 0;
    int sp = 0;
    bool done = false; // end code, corrupt data or end of the data: no further codes
    int streamErr = 0; // the stream's error indicator after a failed read
    // Interlaced images are decoded whole, then delivered in display order.
    std::unique_ptr<charu, vslFree> image;
    std::unique_ptr<charu, vslFree> rowTmp;
    bool imageReady = false;
    std::int64_t nextRow = 0;
};

gifDecoder G;

void resetCodes(gifDecoder& d)
{
    d.width = d.minSize + 1;
    d.mask = (1u << d.width) - 1;
    d.next = d.clear + 2;
    d.prev = -1;
}

// Next byte of the code stream; false at the end of the data.
bool nextByte(gifDecoder& d, std::FILE* fp, charu& out)
{
    if (d.blockPos >= d.blockLeft) {
        const int len = std::getc(fp);
        if (len == EOF || len < 1) {
            if (std::ferror(fp))
                d.streamErr = 1;
            return false;
        }
        const std::size_t got = std::fread(d.work->block, 1, std::size_t(len), fp);
        if (got == 0) {
            if (std::ferror(fp))
                d.streamErr = 1;
            return false;
        }
        // A truncated last sub-block still carries the bytes that were read.
        d.blockLeft = static_cast<int>(got);
        d.blockPos = 0;
    }
    out = d.work->block[d.blockPos++];
    return true;
}

// Decodes n indices into out; stops early (leaving the rest of out as it was) when the
// data end or are corrupt.
void decodeRow(gifDecoder& d, std::FILE* fp, charu* out, std::int64_t n)
{
    gifWork& w = *d.work;
    std::int64_t filled = 0;
    while (filled < n) {
        if (d.sp == 0) {
            if (d.done)
                return;
            while (d.nBits < d.width) {
                charu byte;
                if (!nextByte(d, fp, byte)) {
                    d.done = true;
                    return;
                }
                d.bits |= std::uint32_t(byte) << d.nBits;
                d.nBits += 8;
            }
            int code = static_cast<int>(d.bits & d.mask);
            d.bits >>= d.width;
            d.nBits -= d.width;

            if (code == d.clear) {
                resetCodes(d);
                continue;
            }
            if (code == d.endCode || code > d.next) {
                d.done = true;
                return;
            }
            if (d.prev < 0) {
                // The first code after a clear must be a root: anything else would chain
                // through entries that do not exist.
                if (code > d.clear) {
                    d.done = true;
                    return;
                }
                w.stack[d.sp++] = w.suffix[code];
                d.prev = d.firstChar = code;
            } else {
                const int incoming = code;
                if (code == d.next) {
                    if (code >= kMaxCodes) {
                        d.done = true;
                        return;
                    }
                    w.stack[d.sp++] = static_cast<charu>(d.firstChar);
                    code = d.prev;
                }
                // Every entry's prefix is a smaller code, so the chain ends; the bound
                // guards the stack regardless.
                while (code > d.clear) {
                    if (d.sp >= kMaxCodes) {
                        d.done = true;
                        d.sp = 0;
                        return;
                    }
                    w.stack[d.sp++] = w.suffix[code];
                    code = w.prefix[code];
                }
                d.firstChar = w.suffix[code];
                w.stack[d.sp++] = static_cast<charu>(d.firstChar);
                // A full table takes no new entries until the next clear code.
                if (d.next < kMaxCodes) {
                    w.prefix[d.next] = static_cast<std::uint16_t>(d.prev);
                    w.suffix[d.next] = static_cast<charu>(d.firstChar);
                    ++d.next;
                    if ((d.next & d.mask) == 0 && d.next < kMaxCodes) {
                        ++d.width;
                        d.mask += static_cast<std::uint32_t>(d.next);
                    }
                }
                d.prev = incoming;
            }
        }
        while (d.sp > 0 && filled < n)
            out[filled++] = w.stack[--d.sp];
    }
}

// Display row of the r-th stored row of an interlaced image.
std::int64_t interlacedRow(std::int64_t r, std::int64_t rows)
{
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int p = 0; p < 4; ++p) {
        const std::int64_t inPass = rows > start[p] ? (rows - start[p] + step[p] - 1) / step[p] : 0;
        if (r < inPass)
            return start[p] + r * step[p];
        r -= inPass;
    }
    return rows - 1;
}

bool readTable(std::FILE* fp, int entries, std::unique_ptr<charu, vslFree> tab[3])
{
    charu rgb[256 * 3];
    if (std::fread(rgb, 1, std::size_t(entries) * 3, fp) != std::size_t(entries) * 3)
        return false;
    for (int k = 0; k < 3; ++k) {
        // Always 256 entries: indices beyond a short table read black.
        tab[k].reset(static_cast<charu*>(std::calloc(256, 1)));
        if (!tab[k])
            return false;
        for (int i = 0; i < entries; ++i)
            tab[k].get()[i] = rgb[i * 3 + k];
    }
    return true;
}

std::uint16_t le16(const charu* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

} // namespace

int32 GIF_HDR(const vslHdrArgs& a)
{
    std::FILE* fp = a.fp;
    fdes* fd = a.fd;
    std::rewind(fp);
    charu sig[6];
    if (std::fread(sig, 1, 6, fp) != 6)
        return GIF_READ;
    if (std::memcmp(sig, "GIF87", 5) != 0 && std::memcmp(sig, "GIF89", 5) != 0)
        return GIF_SIGNATURE;
    charu lsd[7];
    if (std::fread(lsd, 1, 7, fp) != 7)
        return GIF_NO_IMAGE;

    std::unique_ptr<charu, vslFree> tab[3];
    int entries = 0;
    if (lsd[4] & 0x80) {
        entries = 1 << ((lsd[4] & 7) + 1);
        if (!readTable(fp, entries, tab))
            return GIF_NO_IMAGE;
    }

    // Walk the blocks up to the first image descriptor.
    for (;;) {
        const int c = std::getc(fp);
        if (c == EOF || c == 0x3B)
            return GIF_NO_IMAGE;
        if (c == 0x2C)
            break;
        if (c != 0x21)
            continue;
        if (std::getc(fp) == EOF)
            return GIF_NO_IMAGE;
        for (;;) {
            const int len = std::getc(fp);
            if (len == EOF)
                return GIF_NO_IMAGE;
            if (len == 0)
                break;
            charu skip[256];
            if (std::fread(skip, 1, std::size_t(len), fp) != std::size_t(len))
                return GIF_NO_IMAGE;
        }
    }

    charu desc[9];
    if (std::fread(desc, 1, 9, fp) != 9)
        return GIF_NO_IMAGE;
    const int32u width = le16(desc + 4), height = le16(desc + 6);
    if (width == 0 || height == 0)
        return GIF_BAD_SIZE;
    if (desc[8] & 0x80) {
        for (auto& t : tab)
            t.reset();
        entries = 1 << ((desc[8] & 7) + 1);
        if (!readTable(fp, entries, tab))
            return GIF_NO_IMAGE;
    }

    // A table that maps every index to its own grey level loads as grey; any other table
    // (a black-and-white pair, say) keeps its colours.
    if (tab[0]) {
        bool ramp = true;
        for (int i = 0; i < entries && ramp; ++i)
            ramp = tab[0].get()[i] == i && tab[1].get()[i] == i && tab[2].get()[i] == i;
        if (ramp)
            for (auto& t : tab)
                t.reset();
    }

    const long ofs = std::ftell(fp);
    if (ofs < 0)
        return GIF_NO_IMAGE;

    fd->format = FMT_GIF;
    fd->fCols = width;
    fd->fRows = height;
    fd->bands = 1;
    fd->storMode = SM_FLAT;
    fd->bytsPixl = 1;
    fd->quantiz = 8;
    fd->dataType = DT_BYTE;
    fd->slBytes = static_cast<int32>(width);
    fd->compressed = 1;
    fd->interlaced = (desc[8] & 0x40) ? 1 : 0;
    // An interlaced picture is decoded whole before its first row is delivered.
    if (fd->interlaced)
        fd->workMem = std::uint64_t(width) * height + width;
    fd->dataOfs = static_cast<std::uint64_t>(ofs);
    if (tab[0]) {
        fd->colorClass = CC_PALETTE;
        fd->dBands = 3;
        for (int k = 0; k < 3; ++k)
            a.anc[k] = tab[k].release();
        *a.nAnc = 3;
    } else {
        fd->colorClass = CC_GREY;
        fd->dBands = 1;
    }
    return GIF_OK;
}

int32 vslGIF_INI()
{
    G = {};
    if (!VSL.fp) {
        DIAG("\nsevere: vslGIF_INI() file handle NULL");
        return GIF_READ;
    }
    std::FILE* fp = VSL.fp.get();
    const fdes* fd = VSL.fd;
    if (std::fseek(fp, static_cast<long>(fd->dataOfs), SEEK_SET) != 0)
        return GIF_NO_IMAGE;
    G.work.reset(static_cast<gifWork*>(std::calloc(1, sizeof(gifWork))));
    if (!G.work)
        return GIF_SIGNATURE;
    const int size = std::getc(fp);
    if (size < 1 || size > 12)
        return GIF_NO_IMAGE;
    G.minSize = size;
    G.clear = 1 << size;
    G.endCode = G.clear + 1;
    for (int i = 0; i < G.clear; ++i) {
        G.work->prefix[i] = 0;
        G.work->suffix[i] = static_cast<charu>(i);
    }
    resetCodes(G);

    if (fd->interlaced) {
        const std::uint64_t bytes = std::uint64_t(fd->fCols) * fd->fRows;
        std::string msg;
        if (!SAFE_MEM_REQ(bytes, &msg))
            return GIF_SIGNATURE;
        G.image.reset(static_cast<charu*>(bigZeroAlloc(bytes)));
        G.rowTmp.reset(static_cast<charu*>(std::calloc(fd->fCols, 1)));
        if (!G.image || !G.rowTmp)
            return GIF_SIGNATURE;
    }
    return GIF_OK;
}

int32 GET_GIF_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    (void)skip; // skipped rows are decoded too: the code stream has no row boundaries
    if (!G.work)
        return -1;
    std::FILE* fp = VSL.fp.get();
    const std::int64_t cols = VSL.fd->fCols;
    if (!G.image) {
        decodeRow(G, fp, buf, cols);
        return G.streamErr;
    }
    const std::int64_t rows = VSL.fd->fRows;
    if (!G.imageReady) {
        // Stored rows come pass by pass; each is put at its display row. A row cut short
        // repeats the previous row's tail, as in a plain image.
        for (std::int64_t r = 0; r < rows; ++r) {
            decodeRow(G, fp, G.rowTmp.get(), cols);
            std::memcpy(G.image.get() + interlacedRow(r, rows) * cols, G.rowTmp.get(),
                        std::size_t(cols));
        }
        G.imageReady = true;
        if (G.streamErr)
            return G.streamErr;
    }
    if (G.nextRow >= rows)
        return 1;
    std::memcpy(buf, G.image.get() + G.nextRow * cols, std::size_t(cols));
    ++G.nextRow;
    return 0;
}

void FREE_GIF()
{
    G = {};
}
