// PIXEL OPS: the operations that change the pixel values of the image over the scope (the FG
// AOI or the whole iBUFF). The row defines every item's menus and runs the chosen item.
#pragma once

#include <vector>

#include "exploitOp.h"

/// The PIXEL OPS menus: the item list and each item's own sub-menus linked below it.
int32 pixelOpsMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[1] the item (1 SET SCOPE .. 14 RANDOM), then its sub-menu values.
void PIXEL_OPS(viewState* vs, const int32* pupvals, bufdes* bd);
