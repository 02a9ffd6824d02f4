// The roam window: a magnifier in the bottom box of the ancillary column that follows the
// pointer, and the read-outs above it (statistics and the histogram of the displayed guns).
// Drawn through the view surface; the exploitation loop's main wait feeds it pointer events.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "tavtypes.h"
#include "viewState.h"

/// Size of the roam work buffer in bytes.
constexpr std::size_t ROAM_WORK_BYTES = 0x400000;

/// Allocates (on) or releases the roam state; false when the work buffer cannot be had.
bool INIT_ROAM_UTIL(bool on);
/// Sets the roam window up in box with roam zoom r (the magnification follows the source).
void ROAM_SETUP(const viewState* vs, const aoiRec& box, int32 roamZoom);
/// Fills the roam window from the source around the pointer.
void ROAM_UPDATE(const viewState* vs, int32 px, int32 py);
/// The main event wait's part: moves update the window on the first and every fifth (every
/// one while the left button is held), a left press doubles the roam zoom (16 goes back to 2).
/// True when the window or the statistics were updated.
bool ROAM_EVENT(viewState* vs, int code, int32 x, int32 y);
/// Roams with the pointer (the roam window and the statistics follow it, as in the main wait)
/// until the middle or right button, the window's close, or an interrupted wait.
void ROAM_UNTIL_RESUME(viewState* vs);

/// Roam geometry as set up: magnification, step and source size (tests).
struct roamGeom {
    int32 mag = 0, step = 0, srcW = 0, srcH = 0;
    bool fromDisplay = false;
};
roamGeom roamGeometry();

/// Per-gun histograms (red, green, blue) of a pixel span.
struct viewHist {
    std::uint64_t bin[3][256] = {};
    std::uint64_t n = 0;
};
void histOfPixels(std::span<const int32u> px, viewHist* h);
/// The statistics read-out: one line per gun with mean, standard deviation and range.
std::vector<std::string> statsLines(const viewHist& h);

/// The statistics read-out in the top box of the column, one line each.
void DRAW_STATS(const viewState* vs, const std::vector<std::string>& lines);
/// Histogram of the source area the roam window last read (the statistics' pixels).
const viewHist& roamAreaHist();

/// x of histogram bin i in the graph box: box left + 1 + i. The LUT and HDR menus pick
/// levels in the graph with histBinAt.
int32 histBinX(const aoiRec& graphBox, int32 bin);
/// The bin under x in the graph box, -1 outside the 256 bins.
int32 histBinAt(const aoiRec& graphBox, int32 x);
/// The bin under x, held at 0 or 255 outside them (a line drawn past the box's ends).
int32 histLevelAt(const aoiRec& graphBox, int32 x);
/// Bar height (0 .. rows) of a count under the ancillary word's scaling (LINEAR, LOG, EXP).
int32 histBarHeight(std::uint64_t count, std::uint64_t most, int32 rows, int32u ancil);
/// Draws the histogram of the displayed guns in the graph box (framed in white).
void DRAW_HISTOGRAM(const viewState* vs, const viewHist& h);
/// The histogram the read-outs show: of the display, or of the whole buffer when the source
/// is BUFFER. False when the pixels cannot be read.
bool readoutHist(const viewState* vs, viewHist* h);
