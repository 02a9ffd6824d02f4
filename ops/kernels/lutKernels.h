// Table and pixel work on plain rows, shared by the view and the operations: gamma tables,
// which LUT each gun shows, LUTs applied through a row, and rows merged by gun. No view
// state and no display here, so every case can be checked from a table.
#pragma once

#include <span>

#include "tavtypes.h"

/// Byte offsets of the red, green, blue and alpha guns in an iBUFF pixel.
inline constexpr int gunByteOfs[4] = {2, 1, 0, 3};

/// One 256-entry table per colour gun: red, green, blue.
using lutSet = charu[3][256];

/// Kernel status codes.
enum : int32 {
    KRN_OK = 0,   ///< done
    KRN_SIZE = -1 ///< the rows given differ in length
};

/// Gamma table: entry i = trunc(0.5 + 255 x (i / 255)^g); g outside 0.1 .. 5.0 means 1.7.
void gammaTable(double g, charu out[256]);

/// Chooses each gun's display LUT: its default LUT when dfltOn or its bit in gunMask (red 1,
/// green 2, blue 4) is set, else its transform LUT. True when some gun shows its transform LUT.
bool chooseDisplayLuts(const lutSet& dflt, const lutSet& tran, bool dfltOn, int32u gunMask,
                       lutSet& out);

/// A lutSet prepared for the pixel pass: each gun's table holds its outputs already moved to
/// the gun's byte, so a pixel costs three look-ups and one store.
struct lutPass {
    int32u t[3][256]; ///< red, green, blue outputs at their byte positions
};

/// Prepares luts for the pixel pass; guns outside gunBits (red 1, green 2, blue 4) keep their
/// values (identity).
void prepareLutPass(const lutSet& luts, lutPass& out, int gunBits = 7);

/// The one table pass of the program (view, display accumulator, burn-in, composite, save):
/// puts the red, green and blue bytes of every pixel through their tables; alpha is kept.
int32 lutRows(std::span<int32u> row, const lutPass& pass);
/// The same from src into dst (the rows may be one); KRN_SIZE when their lengths differ.
int32 lutRows(std::span<const int32u> src, std::span<int32u> dst, const lutPass& pass);
/// The same from plain tables (prepares them first: use the prepared form for many rows).
int32 lutRows(std::span<int32u> row, const lutSet& luts);

/// Byte mask of the guns in gunBits (red 1, green 2, blue 4, alpha 8).
int32u gunByteMask(int gunBits);

/// Takes the bytes under byteMask from src and keeps the others of dst; KRN_SIZE when the
/// rows differ in length (nothing written).
int32 mergeGunRows(std::span<int32u> dst, std::span<const int32u> src, int32u byteMask);
