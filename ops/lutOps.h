// LUT OPS: the transform LUTs of the current buffer changed without touching its pixels
// (reset, equalisation, HDR curves, drawn stretch and histogram matching, comb, infometric,
// cycling, inversion, zeroing), a history of previous settings, their status, and LUT files.
#pragma once

#include <string>
#include <vector>

#include "exploitOp.h"
#include "lutTables.h"
#include "viewSurface.h"

/// Slots of the LUT archive.
inline constexpr int LUT_ARCHIVE_SLOTS = 8;

/// One archived setting: the three tables, their names and the linear mask.
struct lutArchiveSlot {
    charu lut[3][256];
    char names[3][12];
    charu linearMask;
};

/// What the LUT operations keep for the process besides the buffer's tables.
struct lutOpsState {
    std::string names[3] = {"UNSCALED", "UNSCALED", "UNSCALED"}; ///< per-gun status names
    int32u changedMask = 0;                                      ///< guns the last change made
    lutArchiveSlot archive[LUT_ARCHIVE_SLOTS] = {};
    int32 writeIdx = 0, curIdx = 0, filled = 0; ///< archive ring
    std::string path = "./";                    ///< LUT file directory, ending in "/"
    gunHist hist[3] = {};                       ///< the displayed area's histograms
};

/// The process-wide LUT operation state.
extern lutOpsState lutState;
/// Back to the start (tests).
void resetLutOps();

/// The LUT OPS menus.
int32 lutOpsMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[1] the item (1 RESET .. 13 LUT I/O), then its sub-menu values.
void lutOps(viewState* vs, const int32* pupvals, bufdes* bd);

/// What every table change ends with: the guns in gunBits take the status name and leave the
/// linear mask, the view is told and the setting is archived (GAMMA of DISP OPS uses it too).
void LUT_COMMIT(viewState* vs, bufdes* bd, int32 gunBits, const char* name);

/// The stretch edit: a ramp drawn on the histogram box into out (the alpha display table of
/// BUFF OPS uses it too). False, out untouched, when the drawing was abandoned.
bool LUT_DRAW_RAMP(const viewState* vs, charu out[256]);

/// RESET of the guns in gunBits (red 1, green 2, blue 4); bit 8 empties the archive as well.
/// quiet: no message (an operation that resets the tables as part of its work says its own).
void LUT_RESET(viewState* vs, bufdes* bd, int32 gunBits, bool quiet = false);

/// The view as CYCLE repaints it at every step: the plain view read once, then drawn through
/// the tables (no accumulator file read and no block allocated per step).
class lutRepaint {
public:
    /// Reads the view's display box; false when there is no view or no memory for it.
    bool begin();
    /// Draws the plain view through the tables.
    void show(const lutSet& luts);

private:
    viewSurface* s_ = nullptr;
    twBox box_{0, 0, -1, -1};
    std::vector<int32u> plain_, out_;
};
