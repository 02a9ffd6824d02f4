// File helpers shared by the folio and accumulator-file code: 64-bit seeks, whole reads and
// writes of float runs, and guarded float blocks.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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
