// The loader's command loop: reads loader commands from a command string, standard input
// or command scripts and loads the images they name into the current iBUFF.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Command sources.
enum : shortu { SRC_NONE = 0, SRC_STRING = 2, SRC_STREAM = 4, SRC_SCRIPT = 8 };

/// Runs loader commands; returns 0 (view the current iBUFF), 4 (back to the loader) or 8.
shortu TAV_LOAD(bufdes* table, shortu* current, shortu source, const char* text);
