// GENERIC reader: binary PNM (P5/P6, 8 and 16 bits) and the raw layout with an 18-byte
// header. Rows are read straight from the file, one scanline per call.
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "diag.h"
#include "get_vsl.h"
#include "vslReaders.h"

namespace {

constexpr std::size_t kPnmHead = 512;
constexpr std::size_t kRawHead = 18;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Reads one decimal token at text[pos..end), skipping blanks and "#" comments before it.
// Returns false on a malformed or unterminated token. Values are capped above INT32_MAX so
// that the range checks refuse them.
bool readToken(const char* text, std::size_t end, std::size_t& pos, std::int64_t& value)
{
    for (;;) {
        while (pos < end && isBlank(text[pos]))
            ++pos;
        if (pos < end && text[pos] == '#') {
            while (pos < end && text[pos] != '\n')
                ++pos;
            continue;
        }
        break;
    }
    if (pos >= end || text[pos] < '0' || text[pos] > '9')
        return false;
    value = 0;
    while (pos < end && text[pos] >= '0' && text[pos] <= '9') {
        if (value <= INT32_MAX)
            value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    // The token must end inside what was read, on a blank or a comment.
    return pos < end && (isBlank(text[pos]) || text[pos] == '#');
}

int bitsOf(std::int64_t maxval)
{
    int n = 0;
    while ((std::int64_t(1) << n) <= maxval)
        ++n;
    return n;
}

int32 pnmBranch(std::FILE* fp, fdes* fd)
{
    char text[kPnmHead] = {};
    std::rewind(fp);
    const std::size_t got = std::fread(text, 1, kPnmHead - 1, fp);
    if (std::ferror(fp))
        return PNM_REJECT;
    text[got] = '\0';

    const char* magic = nullptr;
    for (const char* m : {"P5", "P6", "P2", "P3"}) {
        magic = std::strstr(text, m);
        if (magic)
            break;
    }
    if (!magic)
        return PNM_NO_MAGIC;
    const char kind = magic[1];
    if (kind == '2' || kind == '3')
        return PNM_REJECT; // text PNM is not read

    std::size_t pos = std::size_t(magic - text) + 2;
    if (pos >= got || !(isBlank(text[pos]) || text[pos] == '#'))
        return PNM_REJECT;
    std::int64_t width = 0, height = 0, maxval = 0;
    if (!readToken(text, got, pos, width) || !readToken(text, got, pos, height) ||
        !readToken(text, got, pos, maxval))
        return PNM_REJECT;
    // Exactly one blank ends maxval; the pixels start right after it (a pixel value of
    // 32 or 10 may follow).
    if (!isBlank(text[pos]))
        return PNM_REJECT;
    const std::uint64_t dataOfs = pos + 1;

    if (maxval < 1 || maxval > 65535)
        return PNM_MAXVAL;
    if (width < 1 || height < 1 || height > INT32_MAX)
        return PNM_REJECT;
    const int bands = kind == '6' ? 3 : 1;
    const int bytes = maxval > 255 ? 2 : 1;
    const std::int64_t slBytes = width * bands * bytes;
    if (slBytes > INT32_MAX)
        return PNM_REJECT;

    fd->format = FMT_GENERIC;
    fd->fCols = static_cast<int32u>(width);
    fd->fRows = static_cast<int32u>(height);
    fd->bands = static_cast<std::int16_t>(bands);
    fd->storMode = bands == 3 ? SM_PIXEL_IL : SM_FLAT;
    fd->colorClass = bands == 3 ? CC_COLOR : CC_GREY;
    fd->bytsPixl = static_cast<charu>(bytes);
    if (bytes == 2) {
        // Big-endian samples of more than 8 bits: swapped on load, loaded as HDR.
        fd->quantiz = static_cast<charu>(bitsOf(maxval));
        fd->dataType = DT_INT16;
        fd->vslCtlm |= VSL_BSWAP | vslIS_HDR;
    } else {
        fd->quantiz = 8;
        fd->dataType = DT_BYTE;
    }
    fd->compressed = 0;
    fd->slBytes = static_cast<int32>(slBytes);
    fd->dataOfs = dataOfs;
    if (std::fseek(fp, static_cast<long>(dataOfs), SEEK_SET) != 0)
        return PNM_REJECT;
    return PNM_OK;
}

int32 rawBranch(std::FILE* fp, fdes* fd)
{
    charu head[kRawHead];
    std::rewind(fp);
    if (std::fread(head, 1, kRawHead, fp) != kRawHead)
        return PNM_REJECT;
    const int32u width = head[12] | (int32u(head[13]) << 8);
    const int32u height = head[14] | (int32u(head[15]) << 8);
    const int bpp = head[16];
    if (bpp != 8 && bpp != 24)
        return PNM_NO_MAGIC;
    if (width == 0 || height == 0)
        return PNM_REJECT;
    const int bands = bpp / 8;
    fd->format = FMT_GENERIC;
    fd->fCols = width;
    fd->fRows = height;
    fd->bands = static_cast<std::int16_t>(bands);
    fd->storMode = bands == 3 ? SM_PIXEL_IL : SM_FLAT;
    fd->colorClass = bands == 3 ? CC_COLOR : CC_GREY;
    fd->bytsPixl = 1;
    fd->quantiz = 8;
    fd->dataType = DT_BYTE;
    fd->compressed = 0;
    fd->slBytes = static_cast<int32>(width * int32u(bands));
    fd->dataOfs = kRawHead;
    return PNM_OK;
}

} // namespace

namespace {

constexpr std::size_t kChunkBytes = std::size_t(1) << 20;

std::size_t rowsPerChunk(std::size_t row)
{
    return row >= kChunkBytes ? 1 : kChunkBytes / row;
}

int32 genericHeader(const vslHdrArgs& a)
{
    // The block as text up to its first NUL.
    const auto* chars = reinterpret_cast<const char*>(a.block);
    const std::string_view text(chars, strnlen(chars, 1023));
    for (const char* m : {"P5", "P6", "P2", "P3"})
        if (text.find(m) != std::string_view::npos)
            return pnmBranch(a.fp, a.fd);
    if (a.block[0] == 'B' && a.block[1] == 'M')
        return PNM_REJECT;
    return rawBranch(a.fp, a.fd) == PNM_OK ? PNM_OK : PNM_REJECT;
}

} // namespace

int32 GENERIC_HDR(const vslHdrArgs& a)
{
    const int32 st = genericHeader(a);
    if (st == PNM_OK && a.fd->slBytes > 0) {
        const auto row = static_cast<std::size_t>(a.fd->slBytes);
        a.fd->workMem = rowsPerChunk(row) * row;
    }
    return st;
}

namespace {

// Rows are served from a block of whole rows read at once: one read per row costs a system
// call per row, which dominates the load of a large file.
struct genericReader {
    std::unique_ptr<charu, vslFree> chunk;
    std::size_t rowsPerChunk = 0;
    std::size_t have = 0; // bytes in the chunk
    std::size_t pos = 0;  // next row's offset in it
};
genericReader R;

} // namespace

int32 vslGENERIC_INI()
{
    R = {};
    if (!VSL.fp || !VSL.fd || VSL.fd->slBytes <= 0)
        return -1;
    const auto row = static_cast<std::size_t>(VSL.fd->slBytes);
    R.rowsPerChunk = rowsPerChunk(row);
    R.chunk.reset(static_cast<charu*>(std::calloc(R.rowsPerChunk, row)));
    if (!R.chunk)
        return -1;
    // Rows start at the data offset whatever was read since the header.
    return std::fseek(VSL.fp.get(), static_cast<long>(VSL.fd->dataOfs), SEEK_SET) == 0 ? 0 : -1;
}

int32 GET_GENERIC_SL(charu* buf, int gun, int skip)
{
    (void)gun;
    std::FILE* fp = VSL.fp.get();
    const auto n = static_cast<std::size_t>(VSL.fd->slBytes);
    if (R.pos + n > R.have) {
        // Rows left in the chunk are used up; a partial row at its end is the file's end.
        if (R.have - R.pos > 0 && R.have < R.rowsPerChunk * n)
            return std::ferror(fp) ? -1 : 1;
        if (skip && R.have == R.pos) {
            if (std::fseek(fp, static_cast<long>(n), SEEK_CUR) != 0)
                return -1;
            R.have = R.pos = 0;
            return 0;
        }
        R.have = std::fread(R.chunk.get(), 1, R.rowsPerChunk * n, fp);
        R.pos = 0;
        // A short row is an error: the file ended early (1) or could not be read (-1).
        if (R.have < n)
            return std::ferror(fp) ? -1 : 1;
    }
    if (!skip) {
        // IMAGE_LOAD takes the row where it lies in the chunk (used before the next call).
        if (buf == VSL.rowView)
            VSL.rowView = R.chunk.get() + R.pos;
        else
            std::memcpy(buf, R.chunk.get() + R.pos, n);
    }
    R.pos += n;
    return 0;
}

void FREE_GENERIC()
{
    // The pipeline closes the stream.
    R = {};
}
