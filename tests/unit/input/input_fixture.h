// Test support for the input library: fixture writers, an independent-tool runner, and a
// small driver that prepares an fdes and a buffer the way the loader does before it runs
// INIT_VSL, IMAGE_LOAD and FREE_VSL.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "get_vsl.h"

namespace tavtest {

/// A private temporary folder, removed at exit.
const std::string& tmpDir();
/// tmpDir() + "/" + name.
std::string tmpPath(const std::string& name);

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> readFile(const std::string& path);

/// A P5 (bands 1) or P6 (bands 3) file with the given samples (1 or 2 bytes each, big-endian).
void writePnm(const std::string& path, int w, int h, int bands, int maxval,
              const std::vector<std::uint16_t>& samples);

/// Runs a shell command; true when it exits with 0.
bool run(const std::string& cmd);

/// An RGB or grey raster read from a binary PNM (netpbm output, no comments).
struct raster {
    int w = 0, h = 0, bands = 0;
    std::vector<std::uint8_t> px; ///< w*h*bands samples
    std::uint8_t at(int x, int y, int b) const { return px[(std::size_t(y) * w + x) * bands + b]; }
};
raster readPnm(const std::string& path);
/// The picture of a GIF as the netpbm decoder sees it.
raster gifReference(const std::string& gifPath);

/// The loader's tags that the pipeline honours.
struct loadTags {
    int fx = 0, fy = 0;        ///< FXY
    int cols = 0, rows = 0;    ///< COLS, ROWS (0 = to the end)
    int bx = 0, by = 0;        ///< BXY
    double sx = 1.0, sy = 1.0; ///< SFACT
    int deres = 0;             ///< DERES N
    std::vector<int> bands;    ///< BAND list
    int gun = -1;              ///< GUN (0-3), -1 none
    bool flip = false, mirr = false, r180 = false, bgr = false, gif2alpha = false;
    std::uint32_t fill = 0; ///< initial value of every buffer pixel
    bool unset = false;     ///< the placement is declared unset (VSL.destUnset), as a fresh block
    int lRowsOverride = 0;  ///< region height forced past the loader's clipping
};

/// What a load produced.
struct loadResult {
    int hdr = 1, init = 1, load = 1; ///< statuses of GETHEADER, INIT_VSL, IMAGE_LOAD (1 = not run)
    int w = 0, h = 0;
    std::vector<std::uint32_t> px;
    fdes fd{};                        ///< the descriptor after GETHEADER and the tags
    std::vector<std::uint8_t> pal[3]; ///< colour tables returned by GETHEADER
    std::uint32_t bufCtlm = 0;
    std::uint8_t gun(int x, int y, int g) const;
};

/// Opens path and runs the whole pipeline with the tags.
loadResult runLoad(const std::string& path, const loadTags& t = {});

} // namespace tavtest

namespace tavtest {

/// Writes a GIF whose LZW stream sends every pixel as a literal 9-bit code (clear codes keep
/// the width at 9): a valid file that any decoder reads, built without the LZW tables.
/// `codes`, when given, replaces the pixel codes (for hostile streams).
struct gifPlan {
    int w = 0, h = 0;
    std::vector<std::uint8_t> globalPal; ///< 3 bytes per entry; empty = none
    std::vector<std::uint8_t> localPal;  ///< 3 bytes per entry; empty = none
    bool interlaced = false;
    std::vector<std::uint8_t> idx; ///< w*h indices in stored order
    std::vector<int> codes;        ///< raw code list (overrides idx), 9 bits each
    int minCodeSize = 8;
    bool fullTable = false; ///< one clear, then literal codes past a full table (no new clear)
};
std::vector<std::uint8_t> makeGif(const gifPlan& s);

} // namespace tavtest
