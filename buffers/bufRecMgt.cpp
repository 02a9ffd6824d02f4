#include "bufRecMgt.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <sys/sysinfo.h>

#include "bigBlock.h"
#include "diag.h"

bufdes* bufObjs = nullptr;

namespace {

bool systemFreeMem(std::uint64_t& freeRam, std::uint64_t& freeSwap)
{
    struct sysinfo si {};
    if (sysinfo(&si) != 0)
        return false;
    freeRam = std::uint64_t(si.freeram) * si.mem_unit;
    freeSwap = std::uint64_t(si.freeswap) * si.mem_unit;
    return true;
}

FreeMemFn freeMemSource = systemFreeMem;
SevereMsgFn severeSink = nullptr;

void identityLuts(bufdes* b)
{
    for (auto& lut : b->tLut)
        for (int i = 0; i < 256; ++i)
            lut[i] = static_cast<charu>(i);
}

// One fresh spare image descriptor, allocated with calloc so that the array can grow
// with realloc as images are added.
ides* freshIdesArray()
{
    auto* d = static_cast<ides*>(std::calloc(1, sizeof(ides)));
    if (d)
        initIdes(d);
    return d;
}

// Reset everything but the buffer number and the given pixel block.
void resetRecord(bufdes* b, int32u* keep, int32 prevW, int32 prevH)
{
    const int32 num = b->bufNum;
    std::free(b->imgDes);
    *b = bufdes{};
    b->bufNum = num;
    NEW_GENERATION(b);
    b->imgbuf = keep;
    b->prevWidth = prevW;
    b->prevHeight = prevH;
    b->imgDes = freshIdesArray();
    TAV_ASSERT(b->imgDes != nullptr);
    identityLuts(b);
}

std::uint64_t blockBytes(int32 w, int32 h)
{
    if (w <= 0 || h <= 0)
        return 0;
    return std::uint64_t(w) * std::uint64_t(h) * 4u;
}

} // namespace

void initIdes(ides* d)
{
    *d = ides{};
    for (int g = 0; g < 4; ++g) {
        scalRec& s = d->scal[g];
        s.gun = static_cast<shortu>(g);
        s.word = 0;
        std::snprintf(s.curve, sizeof s.curve, "%s", "UNSCALED");
        for (int i = 0; i < 256; ++i)
            s.table[i] = static_cast<float>(i);
        s.lo = 0.0f;
        s.hi = 255.0f;
    }
}

bufdes* INIT_BUFMGT()
{
    if (bufObjs)
        return bufObjs;
    auto* table = static_cast<bufdes*>(std::calloc(NUM_iBUFF, sizeof(bufdes)));
    if (!table)
        return nullptr;
    for (int i = 0; i < NUM_iBUFF; ++i) {
        table[i].bufNum = i + 1;
        table[i].imgDes = freshIdesArray();
        if (!table[i].imgDes) {
            for (int k = 0; k < i; ++k)
                std::free(table[k].imgDes);
            std::free(table);
            return nullptr;
        }
        identityLuts(&table[i]);
    }
    bufObjs = table;
    return bufObjs;
}

void RELEASE_BUFMGT()
{
    if (!bufObjs)
        return;
    for (int i = 0; i < NUM_iBUFF; ++i) {
        // A cleared buffer may still hold its block for reuse: free it whatever the count.
        bigFree(bufObjs[i].imgbuf);
        std::free(bufObjs[i].imgDes);
        bufObjs[i] = bufdes{};
    }
    std::free(bufObjs);
    bufObjs = nullptr;
}

void NEW_GENERATION(bufdes* b)
{
    // One count for the whole table, so that a generation never comes back to any buffer,
    // even when records are exchanged between buffers.
    static int32u last = 0;
    b->generation = ++last;
}

int32u* CLEAR_iBUFF(bufdes* b)
{
    TAV_ASSERT(b != nullptr);
    int32u* keep = b->imgbuf;
    int32 pw = b->width, ph = b->height;
    // Clearing an already cleared buffer must not forget the size of the block it keeps.
    if ((pw <= 0 || ph <= 0) && keep) {
        pw = b->prevWidth;
        ph = b->prevHeight;
    }
    if (!keep)
        pw = ph = 0;
    resetRecord(b, keep, pw, ph);
    return keep;
}

void FREE_iBUFF(bufdes* b)
{
    TAV_ASSERT(b != nullptr);
    bigFree(b->imgbuf);
    resetRecord(b, nullptr, 0, 0);
}

int32u* CREATE_iBUFF(bufdes* b, int32 width, int32 height, int* status)
{
    TAV_ASSERT(b != nullptr);
    int st = 0;
    int32u* keep = CLEAR_iBUFF(b);
    const std::uint64_t keptBytes = blockBytes(b->prevWidth, b->prevHeight);
    std::string msg;
    if (width <= 0 || height <= 0 || !SAFE_MEM_REQ_WH(width, height, &msg)) {
        bigFree(keep);
        b->imgbuf = nullptr;
        b->prevWidth = b->prevHeight = 0;
        if (status)
            *status = -1;
        return nullptr;
    }
    const std::uint64_t bytes = blockBytes(width, height);
    int32u* block = nullptr;
    if (keep) {
        block = static_cast<int32u*>(bigRealloc(keep, keptBytes, bytes));
        if (block && bytes > keptBytes) // the grown part is not left undefined
            std::memset(reinterpret_cast<charu*>(block) + keptBytes, 0, bytes - keptBytes);
    } else {
        block = static_cast<int32u*>(bigZeroAlloc(bytes));
    }
    if (!block) {
        bigFree(keep);
        b->imgbuf = nullptr;
        b->prevWidth = b->prevHeight = 0;
        if (status)
            *status = -2;
        return nullptr;
    }
    b->imgbuf = block;
    NEW_GENERATION(b);
    b->width = width;
    b->height = height;
    b->numImgs = 0;
    b->curImg = 0;
    ides& d = b->imgDes[0];
    d.width = width;
    d.height = height;
    d.x0 = d.y0 = 0;
    d.x1 = width - 1;
    d.y1 = height - 1;
    b->transl.viewW = width;
    b->transl.viewH = height;
    b->transl.factor = 1;
    fdes& f = d.fd[0];
    std::snprintf(f.path, sizeof f.path, "%s", "Created by CREATE_iBUFF()");
    f.fCols = f.lCols = f.dCols = static_cast<int32u>(width);
    f.fRows = f.lRows = f.dRows = static_cast<int32u>(height);
    f.bands = 4;
    f.dBands = 4;
    f.storMode = SM_PIXEL_IL;
    f.colorClass = CC_COLOR;
    f.dataType = DT_BYTE;
    f.quantiz = 8;
    f.bytsPixl = 1;
    f.format = FMT_GENERIC;
    f.compressed = 0;
    f.slBytes = width * 4;
    f.deres[0] = f.deres[1] = 1.0;
    if (status)
        *status = st;
    return block;
}

bool CLONE_iBUFF(bufdes* child, const bufdes* parent)
{
    TAV_ASSERT(child != nullptr && parent != nullptr && child != parent);
    // Everything is built aside first: a refusal leaves the child exactly as it was,
    // never sharing a block or a descriptor array with the parent.
    const std::uint64_t bytes = blockBytes(parent->width, parent->height);
    std::string msg;
    if (bytes && !SAFE_MEM_REQ(bytes, &msg))
        return false;
    int32u* pix = nullptr;
    if (bytes && parent->imgbuf) {
        pix = static_cast<int32u*>(bigAlloc(bytes));
        if (!pix)
            return false;
        std::memcpy(pix, parent->imgbuf, bytes);
    }
    const int32 n = parent->numImgs > 0 ? parent->numImgs : 0;
    auto* d = static_cast<ides*>(std::calloc(std::size_t(n) + 1, sizeof(ides)));
    if (!d) {
        bigFree(pix);
        return false;
    }
    if (n)
        std::memcpy(d, parent->imgDes, std::size_t(n) * sizeof(ides));
    initIdes(&d[n]);

    bigFree(child->imgbuf);
    std::free(child->imgDes);
    const int32 num = child->bufNum;
    *child = *parent;
    child->bufNum = num;
    NEW_GENERATION(child);
    child->imgbuf = pix;
    child->imgDes = d;
    return true;
}

void FILL_iBUFF(int32u* pixels, int32 width, int32 height, int32u value)
{
    if (!pixels || width <= 0 || height <= 0)
        return;
    const std::size_t n = std::size_t(width) * std::size_t(height);
    for (std::size_t i = 0; i < n; ++i)
        pixels[i] = value;
}

void RESTRIDE_iBUFF(int32u* pixels, int32 oldWidth, int32 height, int32 newWidth)
{
    if (!pixels || newWidth <= oldWidth || oldWidth < 0 || height <= 0)
        return;
    const std::size_t ow = std::size_t(oldWidth), nw = std::size_t(newWidth);
    for (std::size_t row = std::size_t(height) - 1; row >= 1; --row)
        std::memmove(pixels + row * nw, pixels + row * ow, ow * 4);
    for (std::size_t row = 0; row < std::size_t(height); ++row)
        std::memset(pixels + row * nw + ow, 0, (nw - ow) * 4);
}

void DUMP_HEADER(const fdes* fd, std::string* out)
{
    TAV_ASSERT(fd != nullptr);
    std::string path(fd->path, strnlen(fd->path, sizeof fd->path));
    if (path.size() > 127)
        path.resize(127);
    std::string file, dir;
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        file = path;
        dir = "./";
    } else {
        file = path.substr(slash + 1);
        dir = path.substr(0, slash + 1);
    }
    static const char* const typeNames[8] = {"BYTE",      "INT16",   "INT32",     "FLOAT32",
                                             "COMPLEX32", "FLOAT64", "COMPLEX64", "ASCII"};
    const char* dtype = "MISSING";
    for (int bit = 0; bit < 8; ++bit)
        if (fd->dataType & (1u << bit)) {
            dtype = typeNames[bit];
            break;
        }
    static const char* const modeNames[4] = {"FLAT", "BAND SEQ.", "SCAN INTERL.", "PIXEL INTERL."};
    const char* mode =
        (fd->storMode >= 1 && fd->storMode <= 4) ? modeNames[fd->storMode - 1] : "UNDEFINED";
    std::string text = strPrintf(
        "\n\nFILE:  %s\nPATH:  %s\nFCOLS: %d   FROWS: %d\nDATATYPE: %s  VSL-BITMASK: %08X\n"
        "STORAGE MODE: %s   COMPRESSED: %s   ALPHA: %s  TILED: %s\n"
        "# BYTES/BAND: %d  # BANDS/IMAGE: %d  QUANT (bits): %d\n",
        file.c_str(), dir.c_str(), int(fd->fCols), int(fd->fRows), dtype, fd->vslCtlm, mode,
        fd->compressed ? "TRUE" : "FALSE", fd->bands == 4 ? "TRUE" : "FALSE",
        (fd->vslCtlm & VSL_TILED) ? "TRUE" : "FALSE", int(fd->bytsPixl), int(fd->bands),
        int(fd->quantiz));
    if (fd->quantiz > 8)
        text += "HIGH DYNAMIC RANGE: ON. Scaling Accumulator sBUFF active.\n";
    if (out)
        *out = std::move(text);
    else
        DIAG("%s", text.c_str());
}

void setFreeMemSource(FreeMemFn fn)
{
    freeMemSource = fn ? fn : systemFreeMem;
}

bool freeMemory(std::uint64_t& freeRam, std::uint64_t& freeSwap)
{
    freeRam = freeSwap = 0;
    return freeMemSource(freeRam, freeSwap);
}

void setSevereMessageSink(SevereMsgFn fn)
{
    severeSink = fn;
}

int SAFE_MEM_REQ(std::uint64_t bytes, std::string* msg)
{
    if (msg)
        msg->clear();
    if (bytes == 0)
        return 1;
    std::uint64_t ram = 0, swap = 0;
    freeMemory(ram, swap);
    const double avail = double(ram) + double(swap);
    const double factor = avail > 0 ? double(bytes) / avail : 1e300;
    if (factor <= 0.7)
        return 1;
    std::string text = strPrintf(
        "\nUnsafe Memory request. Resource use factor %4.2f exceeded.\nRequested:   "
        "%10lu\nFree Mb RAM: %10lu, Free Mb SWAP: %10lu\n",
        0.7, static_cast<unsigned long>(bytes / 1000000u),
        static_cast<unsigned long>(ram / 1000000u), static_cast<unsigned long>(swap / 1000000u));
    DIAG("%s", text.c_str());
    if (msg)
        *msg = std::move(text);
    else if (severeSink)
        severeSink(text);
    return 0;
}

int SAFE_MEM_REQ_WH(std::int64_t width, std::int64_t height, std::string* msg)
{
    return SAFE_MEM_REQ_SCALED(width, height, msg, 1.0, 1.0);
}

int SAFE_MEM_REQ_SCALED(std::int64_t width, std::int64_t height, std::string* msg, double fx,
                        double fy)
{
    const double w = double(width) * fx, h = double(height) * fy;
    // Sizes that cannot be represented (negative, or beyond what a 64-bit byte count holds)
    // are refused like any other request that does not fit.
    if (!(w >= 0) || !(h >= 0) || w > double(INT32_MAX) || h > double(INT32_MAX)) {
        std::string text = strPrintf("\nUnsafe Memory request. Size %.0f X %.0f cannot be "
                                     "represented.\n",
                                     w, h);
        DIAG("%s", text.c_str());
        if (msg)
            *msg = std::move(text);
        else if (severeSink)
            severeSink(text);
        return 0;
    }
    const std::uint64_t bytes =
        std::uint64_t(std::int64_t(w)) * std::uint64_t(std::int64_t(h)) * 4u;
    return SAFE_MEM_REQ(bytes, msg);
}

int GROW_iBUFF(bufdes* b, int32 width, int32 height, std::string* msg)
{
    TAV_ASSERT(b != nullptr);
    const int32 newW = std::max(b->width, width), newH = std::max(b->height, height);
    if (newW == b->width && newH == b->height)
        return 0;
    const std::uint64_t oldBytes = blockBytes(b->width, b->height);
    const std::uint64_t newBytes = blockBytes(newW, newH);
    if (!SAFE_MEM_REQ(newBytes - oldBytes, msg))
        return -1;
    auto* px = static_cast<int32u*>(bigRealloc(b->imgbuf, oldBytes, newBytes));
    if (!px)
        return -2;
    // Rows move from the last to the first so that none is overwritten before it moved.
    RESTRIDE_iBUFF(px, b->width, b->height, newW);
    const std::uint64_t keptPixels = std::uint64_t(std::max(b->height, 0)) * std::uint64_t(newW);
    std::memset(px + keptPixels, 0, newBytes - keptPixels * 4u);
    b->imgbuf = px;
    NEW_GENERATION(b);
    b->width = newW;
    b->height = newH;
    return 0;
}

int32u* RESERVE_iBUFF(bufdes* b, int32 width, int32 height, std::string* msg, int* status)
{
    TAV_ASSERT(b != nullptr && width > 0 && height > 0);
    const std::uint64_t newBytes = blockBytes(width, height);
    const std::uint64_t keptBytes = b->imgbuf ? blockBytes(b->prevWidth, b->prevHeight) : 0;
    *status = 0;
    if (b->imgbuf && newBytes <= keptBytes)
        return b->imgbuf;
    if (!SAFE_MEM_REQ(newBytes - keptBytes, msg)) {
        *status = -1;
        return nullptr;
    }
    // The kept pixels travel with the block: a load that cannot start gives them back.
    auto* px = static_cast<int32u*>(bigRealloc(b->imgbuf, keptBytes, newBytes));
    if (!px) {
        *status = -2;
        return nullptr;
    }
    b->imgbuf = px;
    NEW_GENERATION(b);
    return px;
}
