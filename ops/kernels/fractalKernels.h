// Escape-time fractals: the seven iteration rules, one row of escape counts at a time, the
// colour map that turns counts into pixels, the settings with their zoom geometry and
// history, and the parsers of the fractal prompts. Complex arithmetic in double precision,
// exactly as written (no fused multiply-add), so that every count can be checked by hand or
// by an independent program.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tavtypes.h"

/// Fractal types, in the order of the RUN menu.
enum : int32 {
    FRACT_MANDELBROT = 0,
    FRACT_JULIA = 1,
    FRACT_BARNSLEY1 = 2,
    FRACT_BARNSLEY2 = 3,
    FRACT_SPIDER = 4,
    FRACT_MANOWAR = 5,
    FRACT_SIERPINSKI = 6,
    FRACT_TYPES = 7
};

/// Limits of the settings the prompts accept.
constexpr int32 FRACT_MIN_ITER = 256;      ///< fewer iterations are raised to this
constexpr int32 FRACT_MAX_ITER = 65535;    ///< the colour map cannot hold more entries
constexpr double FRACT_MIN_EXTENT = 1e-13; ///< a narrower area cannot be told from a line

/// A rectangle of the complex plane: upper-left (x0, y0), lower-right (x1, y1).
struct fractalArea {
    double x0, y0, x1, y1;
};

/// The fractal settings, with their start values.
struct fractalSettings {
    int32 type = FRACT_MANDELBROT;
    bool useDefaultArea = true; ///< take the type's default area at the next run
    fractalArea area{-2.0, -1.5, 2.0, 1.5};
    double cx = -0.75, cy = -0.2; ///< constant of the Julia-type fractals
    double term = 4.0;            ///< escape when |z|^2 >= term
    int32 iters = 256;            ///< iteration limit N (at most N - 1 updates)
    int32 lutCycles = 2;          ///< colour-map teeth; 0 = continuous
};

/// The default area of a type.
fractalArea fractalDefaultArea(int32 type);
/// The type's name as the status shows it ("Mandelbrot" ... "Sierpinski"); "" when unknown.
const char* fractalTypeName(int32 type);
/// True for the types whose constant the viewer lets the user change (Julia, Barnsley 1 and 2,
/// Spider).
bool fractalTakesC(int32 type);

/// Escape counts of the pixels of one row: x starts at x0 and advances by dx per pixel, at
/// height y. A count is the number of updates completed without |z|^2 reaching term, at most
/// iters - 1.
void fractalCounts(const fractalSettings& s, double x0, double dx, double y,
                   std::span<int32> counts);

/// Row r of a render of s.area over width x height pixels (width = row.size()): counts looked
/// up in the colour map cmap (at least max(iters, 256) entries).
void FRACTAL_ROW(const fractalSettings& s, int32 r, int32 height, std::span<const int32u> cmap,
                 std::span<int32u> row);

/// Entries of the colour map for iters iterations: max(iters, 256).
int32 fractalMapSize(int32 iters);
/// Packs red, green and blue tables of m entries into pixels (0x00RRGGBB); the last entry is
/// black, the colour of the points that never escape.
std::vector<int32u> fractalColourMap(const charu* red, const charu* green, const charu* blue,
                                     int32 m);

/// Zooms into the area by factor f about view pixel (px, py) of a width x height render: the
/// point becomes the upper-left corner and both extents shrink by f. False (area unchanged)
/// when an extent would fall below FRACT_MIN_EXTENT or the arguments are not usable.
bool fractalZoom(fractalArea& a, int32 px, int32 py, int32 width, int32 height, int32 f);

/// The settings the viewer can step back to.
class fractalHistory {
public:
    static constexpr int32 capacity = 64;
    /// Adds s on top; false (nothing stored) when capacity entries are held.
    bool push(const fractalSettings& s);
    /// The entry below the top becomes the top (the top is dropped) and is returned; with one
    /// entry that entry is returned and kept. False when empty.
    bool back(fractalSettings* out);
    /// The top entry; false when empty.
    bool top(fractalSettings* out) const;
    int32 count() const { return n_; }
    void clear() { n_ = 0; }

private:
    fractalSettings slot_[capacity]{};
    int32 n_ = 0;
};

/// Prompt outcomes.
enum : int32 {
    FRP_SET = 0,   ///< the answer was taken
    FRP_EMPTY = 1, ///< no answer: the defaults apply
    FRP_BAD = 2    ///< malformed or out of range: the defaults apply
};

/// The iterations answer "N[, T]" (blanks or a comma between): N an integer, raised to
/// FRACT_MIN_ITER when smaller; T, when given, an integer or decimal. N above FRACT_MAX_ITER or
/// T <= 0 is FRP_BAD. *iters and *term change only with FRP_SET (T only when given).
int32 parseFractalIterations(const std::string& answer, int32* iters, double* term);
/// The constant answer "CX, CY": two integers or decimals. Values change only with FRP_SET.
int32 parseFractalC(const std::string& answer, double* cx, double* cy);

/// SET AREA outcomes.
enum : int32 {
    FRA_SET = 0,
    FRA_RANGE = 1, ///< a corner outside x -3 .. 2.6, y -2 .. 2
    FRA_FLAT = 2   ///< equal x or equal y: a point or a line
};
/// Checks two corners and puts them in order into *a (unchanged unless FRA_SET).
int32 fractalAreaFrom(double xa, double ya, double xb, double yb, fractalArea* a);
