// The Motif loader window, for the program's composition root to install. It hangs from the
// display's application shell, so the display must be connected before it is created.
#pragma once

#include "loadGui.h"

/// The Motif loader window (one per process).
ldrWindow& motifLoaderWindow();
