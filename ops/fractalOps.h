// FRACTAL of PIXEL OPS: the fractal settings and their menus, and FRACTAL_VIEW, which renders
// the chosen fractal into the scope and lets the user zoom into it, step back and recolour it.
#pragma once

#include <vector>

#include "fractalKernels.h"
#include "pixelItems.h"

/// The settings of the next run.
extern fractalSettings fractSet;
/// The settings the last viewer left with, for "-previous-"; fractHavePrev once there are any.
extern fractalSettings fractPrev;
extern bool fractHavePrev;
/// The viewer's history, for BACK.
extern fractalHistory fractHistory;
/// Settings, previous copy and history back to their start (tests).
void resetFractals();

/// The fractal menus: "RUN|SET|STATUS" with the types and settings below it, and the viewer's
/// own FRACTX menu (a root of its own).
int32 fractalMenu(std::vector<pupLink>& links);
/// The FRACTAL item: pupvals[2] RUN, SET or STATUS, [3] the type or setting, [4] the cycles.
pixelRun fractalRun(viewState* vs, const int32* pupvals, bufdes* bd);

/// The viewer: renders fractSet into the scope (more than 255 pixels wide) and runs the FRACTX
/// menu until it is cancelled. 0, or -1 when the scope is too small or cannot be written.
int32 FRACTAL_VIEW(viewState* vs, bufdes* bd, pixelRun* run);
