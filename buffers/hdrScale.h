// HDR scaling: how the float samples of the active scaling accumulator become 8-bit gun values.
// Each gun's control word (opScalCtl) picks a range mode and a curve; S_FACTORS turns them and
// the band's statistics into a working range and curve factors, and the row kernels map
// samples through them. The setters, the defaults, the archive, the status texts, the HDR tag
// and the load-script writer all act on the gun scaling blocks of the active instance.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "bufRecMgt.h"
#include "hdrSettings.h"
#include "sbuffTypes.h"
#include "tavtypes.h"

/// opScalCtl bits beyond the curve and range words the HDR tag names (hdrSettings.h).
constexpr int32u HDR_ENTROPY = 0x40;     ///< curve name only, no scaling of its own
constexpr int32u HDR_REDUND = 0x80;      ///< curve name only, no scaling of its own
constexpr int32u HDR_UNITS = 0x400;      ///< range in sensor units
constexpr int32u HDR_STDV = 0x800;       ///< range in standard deviations
constexpr int32u HDR_ON_MEAN = 0x4000;   ///< centred on the mean
constexpr int32u HDR_ON_MEDIAN = 0x8000; ///< centred on the median
constexpr int32u HDR_ON_MARK = 0x10000;  ///< centred on the mark
constexpr int32u HDR_FROM_LOW = 0x20000; ///< from the LOW bound
constexpr int32u HDR_FROM_HIGH = 0x40000;
constexpr int32u HDR_CENTRES = 0x1c000;    ///< any centred range
constexpr int32u HDR_SDEV_MODES = 0x7c000; ///< what a standard-deviation range may be anchored on
constexpr int32u HDR_ABS_MODES = 0x72000;  ///< what a sensor-unit range may be given as
constexpr int32u HDR_EXTREMA = 0x80000;    ///< extrema clamping on

/// Gun masks of the scaling operations: bit g for gun g (R 1, G 2, B 4, A 8).
constexpr int HDR_GREY_GUN = 16; ///< added to a gun index: a grey band rendered to R, G and B

/// Byte of gun R, G, B, A inside a 32-bit pixel (pixels are stored B, G, R, A).
constexpr int hdrGunByte[4] = {2, 1, 0, 3};

/// The eleven 8-character curve names; index 0 is "UNSCALED", 9 and 10 are never selected.
extern const char* const hdrCurveNames[11];
/// Curve name of a control word: first set bit of bits 0-7, "UNSCALED" when none.
const char* hdrCurveName(int32u ctl);

/// Computes the working range and curve factors of gun g (0-3) of the active instance from its
/// band statistics record g. 1 = done; 0 = statistics not finalised (message on stderr).
int S_FACTORS(int gun);

/// A gun's curve and working range, reduced to what the row kernel needs.
struct hdrRowScale {
    int curve;      ///< 0 none (nothing written), 1 LIN, 2 LOG, 3 EXP, 4 SINH, 5 TANH, 6 PSEUDO
    double low;     ///< working low bound: samples at or below give 0
    double high;    ///< working high bound: samples at or above give 255
    double k, h, f; ///< curve factors (meaning per curve)
};
/// The row scale of a gun's parameters (after S_FACTORS).
hdrRowScale hdrRowScaleOf(const scalParams& p);
/// Maps samples to gun levels 0-255 through a non-pseudo curve (NaN gives 0).
void hdrScaleRow(const hdrRowScale& s, std::span<const float> in, std::span<charu> out);
/// The same, computing every sample through its curve (no level tables).
void hdrScaleRowDirect(const hdrRowScale& s, std::span<const float> in, std::span<charu> out);
/// Pseudo-colour levels of one sample: blue, green, red.
void hdrPseudoLevels(const hdrRowScale& s, float x, charu bgr[3]);

/// Scales count samples (samples[first], samples[first + step], ...) into one gun of an RGBA
/// line through the active instance's scaling of that gun; gun + 16 scales a grey band with
/// gun's scaling into R, G and B. The gun's output histogram is updated. Returns the number
/// of pixels written (0 when the gun has no single curve or the spans are too short).
int SCALE_sBUFF_LINE(std::span<const float> samples, std::span<int32u> rgbaLine, int gun, int step,
                     int first, int count);
/// Zeroes the output histogram of a block (before each render).
void RESET_SCALE_HIST(bandScalBlk& b);
/// Turns a gun's output histogram into its descaling table.
void BUILD_DESCALE_TABLE(bandScalBlk& b);

/// Setters on the guns of gunMask of the active instance; each returns 1 when a gun's control
/// word or parameters changed (the caller re-renders only then), else 0.
int SET_SCALE_CURVE(int32u control, int32u gunMask);
int SET_FULL_RANGE(int32u gunMask);
int SET_SDEV_RANGE(int32u control, int32u gunMask, double width);
int SET_ABS_RANGE_VAL(int32u control, int32u gunMask, double a, double b);
int SET_ABS_EXTREMA_VAL(int32u control, int32u gunMask, double a, double b);
int SET_EXTREMA_LOHI(int32u gunMask, double a, double b);
int SET_EXTREMA_THIS(int32u gunMask);
int CLEAR_EXTREMA(int32u gunMask);
/// Start-up scaling of all four guns: 0 med3sd, 1 mean3sd, other full range; 1 when changed.
int HDR_DEFAULTS(int mode);

/// Scaling archive of the active instance: save always; save once (unless a copy exists);
/// restore (1 when a copy existed, else 0); swap current and archive (1 when a copy existed);
/// forget the copy (the next render saves again).
void ARCHIVE_SCALING();
void ARCHIVE_SCALING_ONCE();
int RESTORE_SCALING();
int SWAP_SCALING();
void CLEAR_SCALING_ARCHIVE();
/// Both archives forgotten (tests need a clean slate).
void resetScalingArchives();

/// Owned raster of SCALE_TO_RGBA.
using rgbaRaster = std::unique_ptr<int32u[]>;
/// SCALE_TO_RGBA flags beyond the gun mask (bits 0-2).
enum : int32u { S2R_PIXEL_IL = 0x8, S2R_GREY = 0x400 };
/// Renders float bands of cols x rows samples to a new RGBA raster through the active
/// instance's scaling. Guns R, G, B from flag bits 0-2. bands: one array per gun of the
/// mask, or (S2R_PIXEL_IL) bands[0]
/// holding n samples per pixel. stats: up to four finalised records, or null; missing ones
/// are computed. status: 0; -1 bad mask or band count; -2 a band of the mask missing;
/// -3 no memory.
rgbaRaster SCALE_TO_RGBA(const float* const bands[4], int32 cols, int32 rows, int nBands,
                         int32u flags, const bandStats* stats, int* status);
/// Complete statistics of a band of n samples (both passes, finalised): low, high, moments,
/// median and mode from a 1024-bin histogram.
void hdrBandStats(std::span<const float> samples, bandStats& s);

/// Summary of a gun's 8-bit histogram as LUT_NORMLZ reads it: [0] lowest, [1] highest level.
using histSummary = double[11];
/// Normalising tLUTs for 8-bit images: each gun of the mask stretched from its histogram's low
/// to high level through a curve (bits 0-4); common uses the widest range of the three guns.
/// 0, or -1 when no gun or curve is given.
int LUT_NORMLZ(const histSummary hist[3], charu luts[4][256], int32u curve, int32u gunMask,
               bool common);

/// Scaling settings of guns 0-2 of the mask as text (empty when the mask names none).
std::string GET_SCALING_STATUS(int32u gunMask);
/// Contents of sBUFF slot 8 (Loader) or 9 (Exploit) as text; writeEnabled: the view may
/// write the Exploit sBUFF. Empty for any other slot (message on stderr).
std::string SHOW_sBUFF_STATUS(int slot, bool writeEnabled);

/// Applies an HDR tag value to the active instance; 0, or a negative code: -1 bad RESET mode,
/// -2 bad gun, -3 no comma after the curve, -4 bad curve, -5 no comma after the range, -6 bad
/// range, -7 missing or bad number. control (when given) receives the curve and range bits.
int PARSE_HDR_TAG(std::string_view text, int32u* control = nullptr);
/// Applies the HDR tag the loader parsed into hdrSet (tagFlags, tagChannels, tagP1, tagP2);
/// the same codes as PARSE_HDR_TAG, and 0 without doing anything when no tag was given.
int APPLY_HDR_TAG();

/// Writes the loader script that reproduces the HDR scene of bd's current image into out;
/// 0, -1 image not rendered, -2 no usable file path.
int CRE_HDR_LD_SCRIPT(const bufdes* bd, std::string& out);
/// Writes a script file: a comment header with the description, then the script. 0, or -1
/// when the file cannot be created, -2 when writing, flushing or closing fails.
int WRITE_HDR_LD_SCRIPT(const std::string& path, std::string_view description,
                        std::string_view script);
