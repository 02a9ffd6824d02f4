// ANCILLARY: switches the ancillary word (roam and statistics, graphs, their scaling and
// counts), the source of its read-outs and the menu mode.
#pragma once

#include <vector>

#include "exploitOp.h"

/// The ANCILLARY menu and its six sub-menus.
int32 ancillaryMenu(std::vector<pupLink>& links);
/// Applies the choice: pupvals[1] the sub-menu (1 MODE .. 6 MENU), pupvals[2] its item.
void ancillary(viewState* vs, const int32* pupvals, bufdes* bd);
