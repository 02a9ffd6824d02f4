// The exploitation view record handed to every operation, with its mode, ancillary and
// refresh bits. No X and no text windows here, so that operations and their tests can use it.
#pragma once

#include <string>

#include "bufRecMgt.h"
#include "tavtypes.h"

/// dmode bits.
enum : int32u {
    ZOOM_REPLICATE = 0x1,
    ZOOM_BILINEAR = 0x2,
    ZOOM_BICUBIC = 0x4,
    ZOOM_CATMULL = 0x8,
    modeGLOBALV = 0x10,   ///< the global view of the whole buffer is shown
    modeDFLT_LUTS = 0x20, ///< the default LUTs are shown, not the transform LUTs
    modeGLOBAL_SCOPE = 0x40,
    modeALPHA = 0x80,          ///< alpha plane display
    modeALPHA_PASTE = 0x100,   ///< with 0x80: paste the display with alpha
    modeANCIL_DISPLAY = 0x400, ///< ancillary read-outs take their pixels from the display
    modeSTICKY = 0x800,        ///< sticky menus
    modeSBUFF_WRITE = 0x1000,  ///< "~" operations write their HDR results to the Exploit sBUFF
    modeAUTO_RENDER = 0x2000   ///< a scaling change renders the sBUFF at once
};

/// Ancillary word bits.
enum : int32u {
    ancROAM = 0x1,
    ancSTATS = 0x2,
    ancHISTOGRAM = 0x4,
    ancSCATTER = 0x8,
    ancCOUNTS = 0x80,
    ancLOG = 0x100,
    ancLINEAR = 0x200,
    ancEXP = 0x400,
    ancREDRAW = 0x1000
};

/// Refresh-request bits.
enum : int32u {
    RFR_VIEW = 1,    ///< the view changed: copy it into the display accumulator, statistics
    RFR_STATS = 2,   ///< statistics, AOI window bounds and AOI frames
    RFR_CUT = 4,     ///< copy the view into the display accumulator
    RFR_PASTE_A = 8, ///< paste the display accumulator with alpha
    RFR_DATA = 16    ///< the buffer's data changed
};

/// The exploitation view record (one for the program; it survives between loops).
struct viewState {
    bufdes* bufObjs = nullptr;         ///< the buffer table
    shortu currB = 0;                  ///< current buffer index (BUFF OPS may change it)
    shortu callerB = 0;                ///< the caller's index at the last LOADER
    bufdes* bd = nullptr;              ///< the current buffer
    charu dfltLut[3][256] = {};        ///< default LUT state per gun (identity)
    charu tranLut[3][256] = {};        ///< transform LUT state per gun (the buffer's tLUTs)
    charu dispLut[3][256] = {};        ///< what the view shows now
    int32 dispBox[4] = {0, 0, -1, -1}; ///< display box x0, y0, x1, y1
    aoiRec ancColumn{}, roamBox{}, graphBox{}, topBox{}; ///< the ancillary column's boxes
    bool smallScreen = false;                            ///< the view is lower than 768 rows
    double gamma = 1.7;                                  ///< display gamma
    double gamma2 = 1.0;
    charu gammaTab[3][256] = {};
    int32u dmode = 0;      ///< display mode word
    int32u ancil = 0;      ///< ancillary word
    charu gunMask = 7;     ///< set bit: that gun shows its default LUT
    bool dfltLutOn = true; ///< the default LUTs are shown
    bool lutsChanged = false;
    bool lutToggled = false; ///< the middle button switched LUTs since the last pass
    int32u refresh = 0;      ///< refresh-request bits
    int32 roamZoom = 2;
    double globalF = 1.0; ///< factor of the global view while it is shown
    charu roamGuns = 7;
    bool ranBefore = false;                ///< an exploitation loop has run in this program
    int32u savedDmode = 0, savedAncil = 0; ///< kept at LOADER for the next loop
    int32 savedBuf = -1;                   ///< buffer number kept at LOADER
    bool bufferDiffers = false;            ///< this loop's buffer is not the one kept at LOADER
    int32 loadTarget = -1;                 ///< buffer the loader fills next (-1: the current)
    std::string sbuffDir = "./";           ///< directory of sBUFF files, ending in "/"
    std::string kpath; ///< the convolution console's kernel path (empty: the script path)
};

/// The process-wide view state.
extern viewState vState;

/// The ancillary column's boxes and the small-screen flag for a view of w x h.
void ancillaryBoxes(int32 w, int32 h, viewState* vs);
/// Loads the display LUTs by the gun mask and the default-LUT flag: a gun shows its default
/// LUT when the flag is on or its mask bit is set, else its transform LUT. True when some
/// gun shows a transform LUT.
bool loadDisplayLuts(viewState* vs);
/// The view state back to its start (tests).
void resetViewState();
