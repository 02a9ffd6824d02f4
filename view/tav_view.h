// The exploitation loop on the current iBUFF.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Runs the exploitation view; returns 0 (back to the loader), 1 (exit) or 8.
shortu TAV_VIEW(bufdes* table, shortu* current);
