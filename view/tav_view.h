// The exploitation loop on the current iBUFF. The view state every operation receives is in
// viewState.h; the operation table the loop offers is in exploitOp.h.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"
#include "viewState.h"

/// Runs the exploitation view; 0 (LOADER), 1 (EXIT), 4 (empty or too small buffer, or its
/// HDR data could not be rendered) or 8 (bad table or index, view failure, undefined value).
shortu TAV_VIEW(bufdes* table, shortu* current);

/// Refresh after exposure or resize (installed while the loop runs).
void vmain_refresh();
