// The loader's command loop: reads loader commands from a command string,
// standard input or command scripts and loads the images they name into the
// current iBUFF.
#pragma once

#include <cstdio>

#include "bufRecMgt.h"
#include "ldrRequest.h"
#include "tavtypes.h"

/// Command sources.
enum : shortu { SRC_NONE = 0, SRC_STRING = 2, SRC_STREAM = 4, SRC_SCRIPT = 8 };

/// Runs loader commands; returns 0 (view the current iBUFF), 4 (back to the
/// loader) or 8.
shortu TAV_LOAD(bufdes* table, shortu* current, shortu source, const char* text);

/// The stream that source 4 reads (null: standard input). Tests hand a file
/// instead.
void setLoaderStream(std::FILE* in);

/// The function that executes a load request (LOAD_EXEC unless a test installs
/// another; null restores LOAD_EXEC).
using LoadExecFn = int (*)(loadRequest& req, bufdes* table, shortu current);
void setLoadExecHook(LoadExecFn fn);
