// Execution of one load request into an iBUFF.
#pragma once

#include <cstdio>
#include <string>

#include "bufRecMgt.h"
#include "ldrRequest.h"
#include "tavtypes.h"

/// LOAD_EXEC result for DUMPH: the header was shown, nothing loaded; the sequence ends
/// (TAV_LOAD returns 4) without a further message.
constexpr int LDR_EXEC_DUMPED = -1;

/// Loads the file the request names into table[current]. Returns 0 on success, the loader
/// error code it reported, or LDR_EXEC_DUMPED (non-zero ends the load sequence).
int LOAD_EXEC(loadRequest& req, bufdes* table, shortu current);

/// The overlay palette registered by the last GIF2ALPHA load with a colour table.
struct overlayPalette {
    charu rgb[3][256];
    bool set;
};
extern overlayPalette ldrOvlPalette;
