// Integer type names and the status word shared by every subsystem.
#pragma once

#include <cstdint>

using charu = std::uint8_t;   ///< unsigned 8-bit
using shortu = std::uint16_t; ///< unsigned 16-bit
using int32 = std::int32_t;   ///< signed 32-bit
using int32u = std::uint32_t; ///< unsigned 32-bit

/// Status word returned by TAV_LOAD and TAV_VIEW to the main loop.
enum : shortu {
    TAV_CONTINUE = 0,  ///< go on: view after a load, back to the loader after a view
    TAV_EXIT = 1,      ///< the user asked to exit
    TAV_TO_LOADER = 4, ///< back to the loader window without viewing
    TAV_INTERNAL = 8,  ///< internal error: leave with exit status 70
    TAV_LEAVE_MASK = 9 ///< bits that leave the main loop
};
