// Reduction of a 24-bit image to 8-bit indices and a colour map of 256 entries, for the GIF
// writer: an exact map when the image holds at most 256 colours, else a median-cut palette
// applied with Floyd-Steinberg error diffusion.
#pragma once

#include <cstddef>

#include "tavtypes.h"

/// Quantiser status codes.
enum : int32 {
    QUANT_OK = 0,      ///< done
    QUANT_NO_MEM = -1, ///< a working table or the 8-bit image could not be allocated
    QUANT_SIZE = -2    ///< no pixels, or more than the address space holds
};

/// Converts `pic24` (w x h pixels of red, green, blue bytes) into `*pic8` (a new w x h block
/// from std::malloc, owned by the caller) and the colour map. Colours are exact when at most
/// 256 occur (the map then lists them in ascending red-green-blue order); otherwise Slow_quant.
int32 Conv24to8(const charu* pic24, int32 w, int32 h, charu** pic8, charu rmap[256],
                charu gmap[256], charu bmap[256]);

/// Median cut to 256 colours over a 32 x 64 x 32 histogram, then Floyd-Steinberg dithered
/// mapping of `pic24` into `pic8` (w x h bytes, allocated by the caller).
int32 Slow_quant(const charu* pic24, int32 w, int32 h, charu* pic8, charu rmap[256],
                 charu gmap[256], charu bmap[256]);

/// The exact map alone: QUANT_OK with the map and indices, or 1 when more than 256 colours
/// occur (nothing promised in the outputs).
int32 exactColourMap(const charu* pic24, std::size_t n, charu* pic8, charu rmap[256],
                     charu gmap[256], charu bmap[256], int* ncolours);
