#include "ldrErrors.h"

#include <string>

#include "diag.h"
#include "loadGui.h"

namespace {

// Index = code - 1; entry 66 is the fallback.
const char* const kMessages[LDR_UNDEFINED] = {
    " 1: Max 1 image file per load command, or syntax error",
    " 2: Num luts not equal to num selected data bands",
    " 3: Selected image area too small",
    " 4: Undefined Tag or parsing error: ",
    "",
    " 6: File X,Y offset too large",
    " 7: GUN=(R|G|B|A) syntax error, xALPHA, or invalid use on HDR data",
    " 8: FREE_VSL() failed in Loader. ",
    " 9: iBUFF X,Y offset fail: ",
    "10: Fail opening file: ",
    "11: Multi-band file interleave cannot be 'NONE'",
    "12: HDR Scaling syntax or other error",
    "13: Fail opening command file: ",
    "14: Number of color Bands or LUTs must be 1, 3 or 4",
    "15: Invalid resampling factor. Use 0.0625 <= SFACT < 1.0",
    "16: Cannot call command file from a command file",
    "17: Non-standard image header or file error; status=: ",
    "18: Virtual scanline INIT_VSL() fail; status=",
    "19: STATIC Tag cannot resize non-empty buffer. See XBUFF Tag.",
    "20: HDR Prohibited Tags: BXY, MIRROR, FLIP, R180",
    "21: Unexpected command file EOF.",
    "22: Invalid Image Band selection or overwrite",
    "23: Syntax to stream Command file is: tav < ",
    "24: Cannot mix HDR with non-HDR data in iBUFF.\n    Precede with XBUFF Tag to clear iBUFF",
    "25: FXY Tag exceeds data dimensions",
    "26: ",
    "27: Static buffer dimensions error",
    "28: Image selection out of range",
    "29: Invalid repeat of a loader Tag: ",
    "30: Cannot dump header if GUN Tag set",
    "31: Directory syntax error: use '/' ",
    "32: Invalid FITS Header Data Unit; expect 1-N",
    "33: Requested image buffer exceeds system resources. Declined.",
    "34: Image descriptors alloc error",
    "35: Use STATIC=Xdim,Ydim [,<R,G,B>]",
    "36: Cannot Pseudocolor > 1 chan or RGBA overwrite",
    "37: Invalid or out of range De-Resolution Level; expect 1-4 [HI/LO]",
    "38: Band selection Tag BAND must precede GUN color selection",
    "39: Invalid or missing Tag parameters",
    "40: Fail loading image block",
    "41: Cannot load HDR to mapped iBUFF not exactly the same size.",
    "42: Image buffer selection out-of-range",
    "43: Undefined calibration/scaling for channel",
    "44: GIF2ALPHA Tag defined but image not in GIF format",
    "45: STATIC iBUFF & BXY Tag clipped image too small to display. See XBUFF Tag.",
    "46: IMAGE_LOAD() fail; ",
    "47: PSEUDOCOLOR scaling is defined only for single band load",
    "48: SFACT, DERES or AUTOB prohibited with GUN Tag",
    "49: ",
    "50: ",
    "51: Encryption: Cannot re-define Domain Key, or syntax error",
    "52: Encryption: SET_KEY() returns error.",
    "53: SFACT prohibited with FLIP or ROT180",
    "54: Unexpected EOF during image file read",
    "55: Encryption Key syntax error or cannot re-define Domain Key",
    "",
    "",
    "58: Missing loader command stream",
    "59: No image load or Static image buffer defined",
    "60: Bad tavDefaults.txt Encryption key: ",
    "61: Decryption: call to tmpfile() returned NULL",
    "62: ",
    "63: Decryption FAIL. Memory corruption probable. Exit TAV now!",
    "64: ",
    "65: ",
    "*** UNDEFINED ERROR CODE!",
};

std::string lastReport;

} // namespace

const char* LDR_ERRTEXT(int code)
{
    if (code < 1 || code > LDR_NUM_CODES)
        code = LDR_UNDEFINED;
    return kMessages[code - 1];
}

short LDR_ERROR(int code, std::string_view text)
{
    if (!LDR_EXISTS())
        CRE_LDR_GUI();
    if (code < 1 || code > LDR_NUM_CODES)
        code = LDR_UNDEFINED;
    // Built as a string: the appended text may be a path of any length.
    std::string report = "\n";
    report += kMessages[code - 1];
    report += text;
    report += "\n";
    LDR_MSG(report.c_str());
    DIAG("\n%s", report.c_str());
    testLog("loader error %d", code);
    lastReport = std::move(report);
    return static_cast<short>(code);
}

std::string_view ldrLastReport()
{
    return lastReport;
}
