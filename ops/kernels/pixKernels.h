// Pixel work of the PIXEL OPS items on rows of iBUFF pixels (0xAARRGGBB): grey conversion,
// pseudo-colour through a palette, gun exchange and the infometric classes. The transform-LUT
// burn-in is the program's one table pass (lutRows). No view and no prompts here, so every
// case can be checked from a table.
#pragma once

#include <cstddef>
#include <span>

#include "lutKernels.h"
#include "lutTables.h"
#include "tavtypes.h"

/// Pixel kernel status codes.
enum : int32 {
    PIXK_OK = 0,
    PIXK_ARG = -2 ///< a gun mask, standard or kind outside its choices: nothing changed
};

/// Grey standards of B & W (the menu's values).
enum : int32 { GREY_NTSC53 = 1, GREY_CONTEMP = 2 };

/// B & W prepared for many rows.
struct greyPass {
    int32 gun = -1;       ///< 0..2: that gun is copied; -1: the weighted sum
    bool tables = false;  ///< the weighted sum goes through per-gun tables
    float w[3] = {};      ///< red, green and blue weights
    float f[3][256] = {}; ///< w[g] x table[g][v], with tables
    int32u pal[256] = {}; ///< one gun: level -> grey pixel
};

/// Prepares B & W: gunMask 1, 2 or 4 copies that gun (red, green, blue) into the three;
/// 7 weighs them by standard (NTSC '53 0.299, 0.587, 0.114; CONTEMP 0.212671, 0.715160,
/// 0.072169) as trunc((wr x R + wg x G) + wb x B) in single precision. luts (null: none) are
/// the tables each gun passes through first. PIXK_ARG for another mask or standard.
int32 prepareGrey(greyPass& out, int32u gunMask, int32 standard, const lutSet* luts);
/// B & W of a row: red, green and blue take the grey, alpha becomes 0.
void greyRows(std::span<int32u> row, const greyPass& pass);

/// A palette from three tables: entry v is the pixel (red[v], green[v], blue[v]), alpha 0.
void tablePalette(const charu red[256], const charu green[256], const charu blue[256],
                  int32u pal[256]);
/// Each pixel becomes pal[v], v its level in srcGun (0 red, 1 green, 2 blue). PIXK_ARG for
/// another gun.
int32 paletteRows(std::span<int32u> row, int32 srcGun, const int32u pal[256]);

/// Folds the lowest and highest level of gun srcGun (0 red, 1 green, 2 blue) in a row into
/// *lo and *hi (start them at 255 and 0: a row adds nothing when its levels lie within).
void gunLevelRange(std::span<const int32u> row, int32 srcGun, int32* lo, int32* hi);

/// The level range pseudo-colour is spread over, from the lowest and highest occupied levels
/// of the source gun: false (nothing to colour) when they lie fewer than 4 levels apart. The
/// pseudo-colour tables need 16 levels: a narrower range is widened about its middle to 16,
/// kept within 0..255.
bool pseudoRange(int32 lo, int32 hi, int32 range[2]);

/// Exchanges two guns in every pixel: mask 3 red and green, 5 red and blue, 6 green and blue;
/// alpha kept. PIXK_ARG (nothing changed) for another mask.
int32 swapGuns(int32u* px, std::size_t n, int32u mask);

/// The infometric classes: each gun's infometric table (kind INFO_ENTROPY, INFO_ABS_REDUN or
/// INFO_REL_REDUN) of its histogram, to be burned into the pixels. LUTK_EMPTY when the
/// histograms hold no pixel, LUTK_ARG for an unknown kind; out untouched then.
int32 infometricClasses(const gunHist h[3], int32 kind, lutSet& out);
