// The HDR scaling menu: the analyst's control of how the active scaling accumulator is
// rendered to 8 bits. Curves, ranges and extrema are set by prompt, from the ancillary
// histogram or from a point on the image; the scaling can be reset, archived, restored and
// written out as a load script. Reached from BUFF OPS through sBUFF~ LOAD|EXPL SCALING, whose
// item handler re-renders the accumulator where it is shown after a change.
#pragma once

#include <vector>

#include "textwin.h"
#include "viewState.h"

/// Defines the ten HDR scaling menus and appends their links to links, the first of them
/// hanging the top menu below item parentItem (counted from 0) of *parentMenu. The ids the
/// links point at live as long as the program.
void HDR_SCALING_MENUS(std::vector<pupLink>& links, int32* parentMenu, int32 parentItem);

/// Runs the choice made in the HDR scaling menus (vals[0] from the top menu "STATUS|RESET|
/// MODE|RANGE|EXTREMA|ARCHIVE", then one value per level) on the active accumulator. 1 when
/// the scaling changed, else 0 ("Scaling not changed" shown unless the path said why itself).
int HDR_SCALING_MENU(viewState* vs, const int32* vals);

/// Sets the display range (extrema too when extrema is set) of the guns of gunMask (grey bit
/// 0x10: one pick for R, G and B) from two levels picked in the ancillary histogram.
/// 1 when the scaling changed; 0 cancelled without a word; -1 refused or cancelled with a
/// message of its own.
int SELECT_HIST_BOUNDS(viewState* vs, int32u gunMask, bool extrema);
/// Centres a range of count standard deviations on the sensor value under a point picked on
/// the image or in the ancillary histogram, for each gun of gunMask. Returns as
/// SELECT_HIST_BOUNDS.
int SELECT_MARK_POINT(viewState* vs, int32u gunMask, double count);

/// The SCALING item of sBUFF~ LOAD (sbuffId 0) or EXPL (1): makes that accumulator active,
/// runs the HDR scaling menu with vals (its top menu's value first) and, when the scaling
/// changed, renders the accumulator again into the current buffer or the FG AOI.
void SBUFF_SCALING(viewState* vs, int sbuffId, const int32* vals);
