// CONVOLUTION: the built-in filters (SHARPEN to MEDIAN) and the USER console, on the pixel
// operations' scope: the FG AOI as the view shows it, or the whole iBUFF in GLOBAL scope.
#pragma once

#include <vector>

#include "pixelItems.h"

/// The CONVOLUTION sub-menus (filters, variants, guns); the id to link below the item.
int32 convolutionMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[2] the filter (1 USER .. 9 MEDIAN), then its variants and guns.
pixelRun CONVOLUTION(viewState* vs, const int32* pupvals, bufdes* bd);
