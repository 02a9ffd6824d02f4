// Shared support of the reader tests: a private folder, fixtures made by
// independent tools, their reference decodes, loads through the load driver and
// pixel comparison with the iBUFF.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "get_vsl.h"
#include "loaddrv.h"

namespace rdtest {

/// Runs a shell command; true when it exits with 0.
bool sh(const std::string& cmd);
/// Output of a shell command (empty when it fails).
std::string shOut(const std::string& cmd);

/// The bytes of a file.
std::string slurp(const std::string& path);
/// Writes `keep` bytes of `in` to `out` (flipping the bits of byte flipAt when
/// it is >= 0), zero-padded to the kilobyte that format detection reads.
void damage(const std::string& in, const std::string& out, std::size_t keep, int flipAt = -1);

/// Interleaved 8-bit samples, w*h*bands.
struct image {
    int w = 0, h = 0, bands = 0;
    std::vector<std::uint8_t> px;
};
/// A reference decode: `convert path rgba:-` (bands 4) of a w x h file.
image magickRgba(const std::string& path, int w, int h);
/// `djpeg -pnm` of a JPEG (bands 1 or 3).
image djpeg(const std::string& path);
/// A binary PNM (P5/P6) or PAM read from a file.
image readNetpbm(const std::string& path);
/// Writes a P6 (bands 3), P5 (bands 1) or RGB_ALPHA PAM (bands 4) file.
void writeNetpbm(const std::string& path, const image& im);
/// A test picture with structure in every channel.
image pattern(int w, int h, int bands);

class Readers : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const std::string& name) const { return dir + "/" + name; }
    /// A load through the command loop; stderr is kept in `err`.
    loaddrv::Result load(const std::string& cmd);
    /// GETHEADER alone (header-only as asked) on a fresh fdes; returns its
    /// status.
    int header(const std::string& file, fdes& out, int32* nAnc = nullptr, bool headerOnly = false);
    /// Compares the iBUFF (buffer 0) region at (bx, by) with ref's region at (fx,
    /// fy) of w x h; alpha only when withAlpha; samples may differ by up to tolerance.
    ::testing::AssertionResult sameAs(const image& ref, int fx, int fy, int w, int h,
                                      bool withAlpha, int bx = 0, int by = 0,
                                      int tolerance = 0) const;
    std::string dir, err;
};

} // namespace rdtest
