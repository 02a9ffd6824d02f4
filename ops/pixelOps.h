// PIXEL OPS: the operations that change the pixel values of the image over the scope (the FG
// AOI or the whole iBUFF). The row defines every item's menus and runs the chosen item.
#pragma once

#include <vector>

#include "exploitOp.h"

/// The PIXEL OPS menus: the item list and each item's own sub-menus linked below it.
int32 pixelOpsMenu(std::vector<pupLink>& links);
/// Runs the choice: pupvals[1] the item (1 SET SCOPE .. 14 RANDOM), then its sub-menu values.
void PIXEL_OPS(viewState* vs, const int32* pupvals, bufdes* bd);

/// GLOBAL scope lasts for this many more operations (ONCE 1, REPEAT 32767) while dmode has
/// modeGLOBAL_SCOPE; each operation but SET SCOPE uses one, and at 0 the scope is the FG AOI.
extern int32 pixelGlobalCount;
/// GLOBAL kept until it is changed.
inline constexpr int32 PX_GLOBAL_REPEAT = 32767;
/// The Exploit sBUFF's write access in dmode (BUFF OPS sBUFF ACCESS~ switches it).
inline constexpr int32u PX_SBUFF_WRITE = 0x1000;

/// The guns (red 1, green 2, blue 4) whose transform LUT changes the pixels shown: out of the
/// linear mask and not the identity.
int32 activeLutGuns(const viewState* vs, const bufdes* bd);
/// Burns the tables of the guns in guns into the pixels of the scope (the program's one table
/// pass; alpha and the other guns kept). False when the scope cannot be reached.
bool burnInScope(const viewState* vs, bufdes* bd, int32 guns, const char* what);
/// The transform LUTs of guns back to the identity, without a message.
void resetLutsQuietly(viewState* vs, bufdes* bd, int32 guns);

/// Back to the start (tests).
void resetPixelOps();
