// Test-only load driver: runs loader commands without a display and hands back the
// resulting iBUFF as a PAM image, with every loader message recorded.
#pragma once

#include <string>

#include "tavtypes.h"

namespace loaddrv {

struct Result {
    shortu status = 0;  ///< TAV_LOAD's status
    shortu current = 0; ///< current iBUFF index afterwards
    int width = 0, height = 0;
    std::string pam;      ///< RGB_ALPHA PAM of the current iBUFF (empty when it has no pixels)
    std::string messages; ///< the loader window's message area and queue
};

/// Starts a clean run: buffers, loader state, loader window and cipher reset.
void reset();

/// Runs one command string (source 2) on the current table; `current` is the iBUFF index.
Result runCommand(const std::string& command, shortu current = 0);

/// Runs the commands of a stream (source 4) read from `stream`.
Result runStream(std::FILE* stream, shortu current = 0);

/// PAM of a buffer of the table.
std::string pamOf(int index);

} // namespace loaddrv
