// COMPOSITE of DISP OPS: the displayed area burned into the buffer or its clone.
#pragma once

#include "viewState.h"

/// COMPOSITE LOCAL (pupvals[2] 1) or CLONE (2).
void dispComposite(viewState* vs, const int32* pupvals, bufdes* bd);
