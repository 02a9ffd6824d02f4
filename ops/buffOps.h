// BUFF OPS: the sixteen iBUFFs and the two sBUFFs managed from the view: switch, inspect,
// rotate, crop, create, join, resize, swap and release buffers, their alpha planes and image
// files, and the Loader and Exploit sBUFF controls.
#pragma once

#include <vector>

#include "exploitOp.h"

/// The BUFF OPS menus (iBUFF and sBUFF~ and everything below them).
int32 buffOpsMenu(std::vector<pupLink>& links);
/// Runs a BUFF OPS choice: pupvals[0] is iBUFF (1) or sBUFF~ (2), then the sub-menu values;
/// *curB is the current buffer index, which SELECT, SWAP and RENDER may change.
void BUFF_OPS(viewState* vs, const int32* pupvals, shortu* curB);
/// The operation table's row: pupvals[0] is the main menu value, the rest go to BUFF_OPS.
void buffOps(viewState* vs, const int32* pupvals, bufdes* bd);
/// Rotation anti-aliasing off again (tests).
void resetBuffOps();
