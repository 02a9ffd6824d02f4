#include "wrgif.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "diag.h"
#include "quant.h"

namespace {

constexpr int HASH_SIZE = 5003; // prime, about 80% occupancy at 4096 codes
constexpr int MAX_BITS = 12;
constexpr int MAX_CODES = 1 << MAX_BITS;
constexpr std::size_t SUB_BLOCK = 254;

// Codes go out least significant bit first, gathered into sub-blocks as they fill.
class codeWriter {
public:
    explicit codeWriter(std::vector<charu>& out) : out_(out) {}
    void put(int code, int width)
    {
        acc_ |= std::uint64_t(code) << nbits_;
        nbits_ += width;
        while (nbits_ >= 8) {
            byte(charu(acc_));
            acc_ >>= 8;
            nbits_ -= 8;
        }
    }
    void flush()
    {
        if (nbits_ > 0)
            byte(charu(acc_));
        acc_ = 0;
        nbits_ = 0;
        if (fill_)
            closeBlock();
    }

private:
    void byte(charu b)
    {
        if (fill_ == 0) {
            lenAt_ = out_.size();
            out_.push_back(0);
        }
        out_.push_back(b);
        if (++fill_ == SUB_BLOCK)
            closeBlock();
    }
    void closeBlock()
    {
        out_[lenAt_] = charu(fill_);
        fill_ = 0;
    }
    std::vector<charu>& out_;
    std::uint64_t acc_ = 0;
    int nbits_ = 0;
    std::size_t fill_ = 0, lenAt_ = 0;
};

} // namespace

void gifLzw(const charu* idx, std::size_t n, const charu* remap, int codeSize,
            std::vector<charu>& out)
{
    std::int32_t keys[HASH_SIZE];
    std::uint16_t codes[HASH_SIZE];
    std::memset(keys, 0xff, sizeof keys);
    const int clear = 1 << codeSize, eoi = clear + 1;
    int freeCode = clear + 2;
    int width = codeSize + 1;
    int maxCode = (1 << width) - 1;
    codeWriter w(out);
    // After each code the width grows once the next free code no longer fits in it; the
    // decoder follows the same rule one code behind its table, so the two stay in step.
    auto emit = [&](int code) {
        w.put(code, width);
        if (freeCode > maxCode && width < MAX_BITS) {
            ++width;
            maxCode = (1 << width) - 1;
        }
    };
    emit(clear);
    if (n == 0) {
        emit(eoi);
        w.flush();
        return;
    }
    int ent = remap ? remap[idx[0]] : idx[0];
    for (std::size_t i = 1; i < n; ++i) {
        const int c = remap ? remap[idx[i]] : idx[i];
        const std::int32_t key = std::int32_t((c << MAX_BITS) + ent);
        int slot = (c << 4) ^ ent;
        if (keys[slot] == key) {
            ent = codes[slot];
            continue;
        }
        bool found = false;
        if (keys[slot] >= 0) {
            const int step = slot == 0 ? 1 : HASH_SIZE - slot;
            do {
                slot -= step;
                if (slot < 0)
                    slot += HASH_SIZE;
                if (keys[slot] == key) {
                    found = true;
                    break;
                }
            } while (keys[slot] >= 0);
        }
        if (found) {
            ent = codes[slot];
            continue;
        }
        emit(ent);
        ent = c;
        if (freeCode < MAX_CODES) {
            codes[slot] = std::uint16_t(freeCode++);
            keys[slot] = key;
        } else {
            std::memset(keys, 0xff, sizeof keys);
            w.put(clear, width);
            freeCode = clear + 2;
            width = codeSize + 1;
            maxCode = (1 << width) - 1;
        }
    }
    emit(ent);
    emit(eoi);
    w.flush();
}

int32 wrgif(std::FILE* fp, charu** pic, int32 w, int32 h, int flags, const charu* rmap,
            const charu* gmap, const charu* bmap, const char* comment)
{
    auto release = [&] {
        if ((flags & GIF_OWN_IMAGE) && pic && *pic) {
            std::free(*pic);
            *pic = nullptr;
        }
    };
    if (!fp || !pic || !*pic) {
        release();
        return GIF_NO_STREAM;
    }
    if (w < 1 || h < 1 || w > 65535 || h > 65535) {
        release();
        return GIF_TOO_LARGE;
    }
    charu r[256], g[256], b[256];
    charu* pic8 = *pic;
    bool ownPic8 = false;
    if (flags & GIF_24BIT) {
        const int32 rc = Conv24to8(*pic, w, h, &pic8, r, g, b);
        release();
        if (rc != QUANT_OK)
            return GIF_NO_STREAM;
        ownPic8 = true;
    } else if (flags & GIF_TABLES) {
        if (!rmap || !gmap || !bmap) {
            release();
            return GIF_NO_TABLES;
        }
        std::memcpy(r, rmap, 256);
        std::memcpy(g, gmap, 256);
        std::memcpy(b, bmap, 256);
    } else {
        for (int i = 0; i < 256; ++i)
            r[i] = g[i] = b[i] = charu(i);
    }

    // Colour-map compaction: equal entries share one index.
    charu remap[256], cr[256] = {}, cg[256] = {}, cb[256] = {};
    int n = 0;
    for (int i = 0; i < 256; ++i) {
        int j = 0;
        while (j < i && !(r[j] == r[i] && g[j] == g[i] && b[j] == b[i]))
            ++j;
        if (j < i) {
            remap[i] = remap[j];
            continue;
        }
        remap[i] = charu(n);
        cr[n] = r[i];
        cg[n] = g[i];
        cb[n] = b[i];
        ++n;
    }
    int bits = 1;
    while (bits < 8 && n > (1 << bits))
        ++bits;
    const int codeSize = bits < 2 ? 2 : bits;

    const std::size_t pixels = std::size_t(w) * std::size_t(h);
    std::vector<charu> buf;
    buf.reserve(64 + 3 * 256 + 300 + pixels / 2);
    const bool hasComment = comment && *comment;
    const char* sig = hasComment ? "GIF89a" : "GIF87a";
    buf.insert(buf.end(), sig, sig + 6);
    auto put16 = [&](int v) {
        buf.push_back(charu(v & 0xff));
        buf.push_back(charu((v >> 8) & 0xff));
    };
    put16(w);
    put16(h);
    buf.push_back(charu(0x80 | 0x70 | (bits - 1)));
    buf.push_back(0);
    buf.push_back(0);
    for (int i = 0; i < (1 << bits); ++i) {
        buf.push_back(cr[i]);
        buf.push_back(cg[i]);
        buf.push_back(cb[i]);
    }
    if (hasComment) {
        const std::size_t len = std::min<std::size_t>(std::strlen(comment), 255);
        buf.push_back(0x21);
        buf.push_back(0xfe);
        buf.push_back(charu(len));
        buf.insert(buf.end(), comment, comment + len);
        buf.push_back(0);
    }
    buf.push_back(',');
    put16(0);
    put16(0);
    put16(w);
    put16(h);
    buf.push_back(0);
    buf.push_back(charu(codeSize));
    gifLzw(pic8, pixels, remap, codeSize, buf);
    buf.push_back(0);
    buf.push_back(';');

    if (ownPic8)
        std::free(pic8);
    else
        release();
    std::fwrite(buf.data(), 1, buf.size(), fp);
    if (std::fflush(fp) != 0 || std::ferror(fp))
        return GIF_STREAM;
    return GIF_OK;
}
