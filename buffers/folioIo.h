// File helpers shared by the folio and accumulator-file code: 64-bit seeks, whole reads and
// writes of float runs, and guarded float blocks.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "bigBlock.h"
#include "bufRecMgt.h"
#include "folio_utl.h"

namespace folioio {

inline bool seekTo(std::FILE* f, std::int64_t ofs)
{
    return ofs >= 0 && fseeko(f, off_t(ofs), SEEK_SET) == 0;
}
inline bool readFloats(std::FILE* f, float* p, std::uint64_t n)
{
    return std::fread(p, sizeof(float), n, f) == n;
}
inline bool writeFloats(std::FILE* f, const float* p, std::uint64_t n)
{
    return std::fwrite(p, sizeof(float), n, f) == n;
}
/// Writes n floats at ofs straight to the file in large writes, past the stream's buffer
/// (flushed first); the stream is repositioned by its next seek.
inline bool writeAt(std::FILE* f, std::int64_t ofs, const float* p, std::uint64_t n)
{
    if (ofs < 0 || std::fflush(f) != 0)
        return false;
    const int fd = fileno(f);
    const char* b = reinterpret_cast<const char*>(p);
    std::uint64_t left = n * sizeof(float);
    while (left > 0) {
        const ssize_t w = pwrite(fd, b, std::min<std::uint64_t>(left, 1u << 30), off_t(ofs));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        b += w;
        ofs += w;
        left -= std::uint64_t(w);
    }
    return true;
}
/// A block of n floats after the memory guard agreed; null when refused or short.
inline floatBlock floatsFor(std::uint64_t n)
{
    if (n == 0 || n > (std::uint64_t(1) << 60) / sizeof(float))
        return nullptr;
    std::string msg;
    if (!SAFE_MEM_REQ(n * sizeof(float), &msg))
        return nullptr;
    return floatBlock(static_cast<float*>(bigAlloc(n * sizeof(float))));
}

} // namespace folioio
