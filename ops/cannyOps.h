// CANNY in PIXEL OPS: its menus, the parameter prompts and status, and the run that replaces
// the chosen guns of the scope with the edge strength, orientation or Laplacian.
#pragma once

#include <vector>

#include "pixelItems.h"

/// The parameters, kept for the whole run of the program.
struct cannyParams {
    double sigma = 2.0;
    int32 K = 450;
    double bright = 1.0;
    bool thin = true;
};

/// The parameters in use.
const cannyParams& cannyParameters();
/// Back to the defaults (tests).
void resetCannyOps();

/// "RUN|SET|STATUS" with RUN's output kinds and guns and SET's items; the id to link below
/// CANNY.
int32 cannyMenu(std::vector<pupLink>& links);
/// pupvals[2]: 1 RUN (pupvals[3] kind 1-3, pupvals[4] gun mask), 2 SET (pupvals[3] item 1-6),
/// 3 STATUS.
pixelRun cannyRun(viewState* vs, const int32* pupvals, bufdes* bd);

/// Run statuses (shown as "CANNY error: %d").
enum : int32 {
    CANNY_RUN_FILTER = -1,   ///< the filter is 32 taps or longer
    CANNY_RUN_NO_GUNS = -2,  ///< empty gun mask
    CANNY_RUN_NO_SCOPE = -3, ///< the scope cannot be read
    CANNY_RUN_NO_SPLIT = -4, ///< no memory for the input planes
    CANNY_RUN_NO_OUT = -5,   ///< no memory for an output plane
    CANNY_RUN_CORE = -6      ///< the core failed
};
