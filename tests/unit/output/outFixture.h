// Shared by the output tests: a private folder, whole-file reads, shell commands and loads of
// a written file back through our loader.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fcrypt.h"
#include "loaddrv.h"
#include "tavtypes.h"

namespace outtest {

inline std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool sh(const std::string& cmd)
{
    return std::system(cmd.c_str()) == 0;
}

/// Red, green, blue bytes of a PAM/PPM body after its header (the last `n` bytes x bands).
inline std::vector<charu> tail(const std::string& file, std::size_t bytes)
{
    if (file.size() < bytes)
        return {};
    return std::vector<charu>(file.end() - std::ptrdiff_t(bytes), file.end());
}

/// RGB bytes of the loader's iBUFF after loading `path` (empty when it failed).
inline std::vector<charu> loadRgb(const std::string& path, int w, int h)
{
    loaddrv::reset();
    testing::internal::CaptureStderr();
    const loaddrv::Result r = loaddrv::runCommand("i=\"" + path + "\"", 0);
    const std::string err = testing::internal::GetCapturedStderr();
    if (r.width != w || r.height != h) {
        ADD_FAILURE() << "load status " << r.status << ": " << r.messages << err;
        return {};
    }
    const std::vector<charu> rgba = tail(r.pam, std::size_t(w) * std::size_t(h) * 4);
    std::vector<charu> rgb;
    for (std::size_t i = 0; i + 3 < rgba.size(); i += 4)
        rgb.insert(rgb.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    return rgb;
}

class OutDir : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tavout-XXXXXX";
        dir = ::mkdtemp(tmpl);
    }
    void TearDown() override
    {
        std::filesystem::remove_all(dir);
        CLEAR_KEYS();
    }
    std::string path(const std::string& name) const { return dir + "/" + name; }
    std::string dir;
};

/// Seeded photograph-like RGB image: smooth gradients, soft blobs and fine noise.
inline std::vector<charu> photo(int w, int h, unsigned seed)
{
    std::vector<charu> px(std::size_t(w) * std::size_t(h) * 3);
    unsigned s = seed;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            s = s * 1103515245u + 12345u;
            const int n = int((s >> 16) & 15) - 8;
            const double fx = double(x) / w, fy = double(y) / h;
            const double blob =
                80.0 * std::exp(-((fx - 0.3) * (fx - 0.3) + (fy - 0.6) * (fy - 0.6)) * 12);
            const int r = int(40 + 150 * fx + blob) + n;
            const int g = int(30 + 120 * fy + 0.5 * blob + 60 * fx * fy) + n;
            const int b = int(90 + 100 * (1 - fx) * fy + 40 * std::sin(fx * 20)) + n;
            charu* p = &px[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 3];
            p[0] = charu(std::clamp(r, 0, 255));
            p[1] = charu(std::clamp(g, 0, 255));
            p[2] = charu(std::clamp(b, 0, 255));
        }
    return px;
}

} // namespace outtest
