// PAN / ZOOM: the main menu row that chooses the area and magnification of the view (PAN,
// ZOOM, the zoom mode, its status, de-aliasing and back to zoom 1).
#pragma once

#include <vector>

#include "exploitOp.h"

/// The PAN / ZOOM menu with MODE and DE-ALIAS below it, and the PAN menus.
int32 zoomOpsMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[1] the item (1 PAN .. 6 1 X), pupvals[2] the MODE or DE-ALIAS item.
void zoom_ops(viewState* vs, const int32* pupvals, bufdes* bd);
