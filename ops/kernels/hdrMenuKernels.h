// The rules of the HDR scaling menu that need no view: what a menu choice asks of the scaling
// (action, control word, guns), how a typed answer becomes one or two numbers, how two picked
// histogram levels become a data range over the descaling table, which level a mark point
// reads, and the name a load script is written under. Plain values in and out, so each rule
// is checked from a table.
#pragma once

#include <string>
#include <string_view>

#include "aoiKernels.h"
#include "tavtypes.h"

/// What a choice of the HDR scaling menu asks for.
enum class hdrAction : int32 {
    none, ///< the choice stopped short of an operation
    status,
    reset,
    curve,
    rangeFull,
    rangeHist,
    rangeSdev,
    rangeMark,
    rangeUnits,
    extremaThis,
    extremaHist,
    extremaUnits,
    extremaClear,
    archiveTouch,
    archiveRestore,
    archiveSwap,
    archiveScript
};

/// Items of the sensor-unit menu ("LO-> <-HI|LO->|<-HI|<-MARK->|SET LOW|SET HIGH").
enum : int32 {
    HDRU_LOHI = 1,
    HDRU_FROM_LOW = 2,
    HDRU_FROM_HIGH = 3,
    HDRU_MARK = 4,
    HDRU_SET_LOW = 5,
    HDRU_SET_HIGH = 6
};

/// The grey bit of a gun choice: one answer serves R, G and B.
constexpr int32 HDR_GREY_CHOICE = 0x10;

/// A decoded choice of the HDR scaling menu.
struct hdrRequest {
    hdrAction action = hdrAction::none;
    int32u control = 0; ///< bits handed to the scaling call (curve, or range and its anchor)
    int32u guns = 0;    ///< gun mask, bit g for gun g (the grey bit taken out)
    bool grey = false;  ///< GRAY chosen: one pass, applied to R, G and B
    int32 count = 0;    ///< standard deviations 1-3, 0 to ask; the reset mode 0-2
    int32 unitItem = 0; ///< HDRU_ item of a sensor-unit choice
};

/// Decodes the values chosen from the top menu down ("STATUS|RESET|MODE|RANGE|EXTREMA|
/// ARCHIVE" first). A choice that stops before its last level, or names no item of a level,
/// gives action none.
hdrRequest hdrRequestOf(const int32* vals);

/// Answer parser statuses.
enum : int32 {
    HDRA_OK = 0,     ///< one or two numbers read
    HDRA_EMPTY = -1, ///< nothing typed: a silent no
    HDRA_BAD = -2    ///< anything else: "Invalid input"
};
/// Reads one or two finite numbers separated by a comma or blanks (blanks around the comma
/// allowed). One number gives (a, 0). Trailing text, a third number, nan and inf are HDRA_BAD.
/// a, b and n (numbers read) are set only on HDRA_OK.
int32 hdrParseAnswer(std::string_view text, double& a, double& b, int32& n);

/// Smallest data range a histogram pick may give.
constexpr double HDR_MIN_PICK_RANGE = 1e-5;
/// Histogram level under x in a graph box whose level 0 lies at x0 + 1, held to 0-255.
int32 hdrBinAt(int32 x0, int32 x);
/// Turns two picked levels into a data range: orders them, widens LOW down and HIGH up over
/// empty (exactly 0) entries of the descaling table, and reads the data bounds there. False
/// when the levels meet or the data bounds lie closer than HDR_MIN_PICK_RANGE.
bool hdrWidenPick(const float table[256], int32& lo, int32& hi, double& dataLo, double& dataHi);

/// Level a mark point reads for gun g (0-3): the histogram level under x when (x, y) lies in
/// the graph box, else that gun's byte of the displayed pixel when (x, y) lies on the image
/// (view-order pixel: red bits 16-23, green 8-15, blue 0-7, alpha 24-31); -1 on neither.
int32 hdrMarkLevel(const pixBox& graph, const pixBox& image, int32 x, int32 y, int32u displayed,
                   int32 gun);

/// The load script's file name: dir (empty: "./") followed by the answer, ".cmd" appended
/// unless the name holds it, a $NAME reference expanded. False (out untouched) when the name
/// would pass 255 characters.
bool hdrScriptName(std::string_view dir, std::string_view answer, std::string& out);
/// The script file's text: the description line ("# Load-Script created by TAV" without a
/// description) followed by the load commands.
std::string hdrScriptText(std::string_view description, std::string_view commands);
