// What the HDR benchmarks share: a seeded plasma band of 4096 x 4096 float samples with a
// large dynamic range (ten octaves of value noise mapped onto five decades, 1 to 100000: smooth
// swells, edges and grain at every scale, as a sensor band would show), written once as the
// files each side reads (.npy for ours and OpenCV, a float TIFF for ImageMagick, a .v for
// libvips, a 16-bit PGM for the integer loads), and the Python scripts of the OpenCV peer.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#define TIFF_DISABLE_DEPRECATED
#include <tiffio.h>

#include "benchLoad.h"

namespace benchhdr {

using benchload::kSide;

/// The folder the HDR benchmark files are made in ($TAV_BENCH_DIR, else /tmp/tav_bench_hdr).
inline const std::string& dir()
{
    static const std::string d = benchload::benchDir("/tmp/tav_bench_hdr");
    return d;
}

/// The plasma band, computed on every call (callers keep it).
inline std::vector<float> makePlasmaBand()
{
    std::vector<float> v(std::size_t(kSide) * kSide);
    const double decades = 5.0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            float sum = 0, amp = 0.5f, freq = 1.0f / 1024;
            for (int o = 0; o < 10; ++o, amp *= 0.55f, freq *= 2)
                sum += amp * benchload::detail::noise(float(x) * freq, float(y) * freq,
                                                      0x51ED270Bu + std::uint32_t(o));
            const double t = (double(sum) - 0.25) * 2.0; // about 0..1, a little beyond
            v[std::size_t(y) * kSide + std::size_t(x)] = float(std::pow(10.0, decades * t));
        }
    return v;
}

/// The .npy header of a kSide x kSide little-endian float32 array (128 bytes).
inline std::string npyHeader()
{
    std::string h = "{'descr': '<f4', 'fortran_order': False, 'shape': (" + std::to_string(kSide) +
                    ", " + std::to_string(kSide) + "), }";
    const std::size_t total = 128;
    h.append(total - 10 - 1 - h.size(), ' ');
    h += '\n';
    std::string out("\x93NUMPY\x01\x00", 8);
    out += char(h.size() & 0xff);
    out += char(h.size() >> 8);
    return out + h;
}

inline void writeNpy(const std::string& path, const std::vector<float>& v)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const std::string h = npyHeader();
    if (!f || std::fwrite(h.data(), 1, h.size(), f) != h.size() ||
        std::fwrite(v.data(), sizeof(float), v.size(), f) != v.size() || std::fclose(f) != 0)
        std::abort();
}

/// Reads a float array written by writeNpy; false when the file is not one.
inline bool readNpy(const std::string& path, std::vector<float>& v)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    const std::string want = npyHeader();
    std::string h(want.size(), '\0');
    v.resize(std::size_t(kSide) * kSide);
    const bool ok = std::fread(h.data(), 1, h.size(), f) == h.size() && h == want &&
                    std::fread(v.data(), sizeof(float), v.size(), f) == v.size();
    std::fclose(f);
    return ok;
}

/// The band's .npy, made on first use.
inline const std::string& npyPath()
{
    static const std::string p = [] {
        const std::string path = dir() + "/plasma-hdr.npy";
        if (!benchload::fileExists(path))
            writeNpy(path, makePlasmaBand());
        return path;
    }();
    return p;
}

/// The band, read from its .npy.
inline const std::vector<float>& band()
{
    static const std::vector<float> v = [] {
        std::vector<float> b;
        if (!readNpy(npyPath(), b))
            std::abort();
        return b;
    }();
    return v;
}

inline void writeFloatTiff(const std::string& path, const std::vector<float>& v)
{
    TIFF* t = TIFFOpen(path.c_str(), "w");
    if (!t)
        std::abort();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, std::uint32_t(kSide));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, std::uint32_t(kSide));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 32);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 16);
    std::vector<float> row(kSide);
    for (int y = 0; y < kSide; ++y) {
        std::memcpy(row.data(), v.data() + std::size_t(y) * kSide, kSide * sizeof(float));
        if (TIFFWriteScanline(t, row.data(), std::uint32_t(y), 0) < 0)
            std::abort();
    }
    TIFFClose(t);
}

/// The band as a float TIFF, made on first use.
inline const std::string& tiffPath()
{
    static const std::string p = [] {
        const std::string path = dir() + "/plasma-hdr.tif";
        if (!benchload::fileExists(path))
            writeFloatTiff(path, band());
        return path;
    }();
    return p;
}

/// The band in libvips' own format (converted by vips itself; empty when vips is missing).
inline const std::string& vipsPath()
{
    static const std::string p = [] {
        const std::string path = dir() + "/plasma-hdr.v";
        if (!benchload::fileExists(path) &&
            !benchload::sh("vips copy '" + tiffPath() + "' '" + path + "' 2>/dev/null"))
            return std::string();
        return path;
    }();
    return p;
}

/// The band quantised to 16 bits on its log scale (0 for 1, 65535 for 100000): a 16-bit PGM.
inline const std::string& pgm16Path()
{
    static const std::string p = [] {
        const std::string path = dir() + "/plasma-hdr16.pgm";
        if (benchload::fileExists(path))
            return path;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            std::abort();
        std::fprintf(f, "P5\n%d %d\n65535\n", kSide, kSide);
        std::vector<unsigned char> row(std::size_t(kSide) * 2);
        const auto& b = band();
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                double t = std::log10(double(b[std::size_t(y) * kSide + std::size_t(x)])) / 5.0;
                t = t < 0 ? 0 : t > 1 ? 1 : t;
                const auto s = unsigned(t * 65535.0 + 0.5);
                row[std::size_t(x) * 2] = static_cast<unsigned char>(s >> 8);
                row[std::size_t(x) * 2 + 1] = static_cast<unsigned char>(s & 0xff);
            }
            if (std::fwrite(row.data(), 1, row.size(), f) != row.size())
                std::abort();
        }
        if (std::fclose(f) != 0)
            std::abort();
        return path;
    }();
    return p;
}

/// Writes a Python script of the OpenCV peer into the benchmark folder; returns its path.
inline std::string pythonScript(const std::string& name, const char* text)
{
    const std::string path = dir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f || std::fputs(text, f) < 0 || std::fclose(f) != 0)
        std::abort();
    return path;
}

} // namespace benchhdr
