// The load request that the tags of one command line build, and the loader
// state that lasts for the whole run. The command loop (tav_load) fills the
// request; the load execution (ldrExec) carries it out into the current iBUFF.
#pragma once

#include <string>

#include "tavtypes.h"

/// Control bits that tags OR into vslCtlm of the loaded fdes (same values as
/// fdes.h).
enum : int32u {
    REQ_RESAMPLE_X = 0x1,  ///< SFACT x below 1.0, DERES
    REQ_RESAMPLE_Y = 0x2,  ///< SFACT y below 1.0, DERES
    REQ_BSWAP = 0x10,      ///< BSWAP
    REQ_ONE_GUN = 0x400,   ///< GUN or GIF2ALPHA: single-plane overwrite
    REQ_FLIP = 0x1000,     ///< FLIP
    REQ_MIRR = 0x2000,     ///< MIRR
    REQ_R180 = 0x4000,     ///< R180
    REQ_GFILL = 0x100000,  ///< GFILL
    REQ_BGR2RGB = 0x800000 ///< BGRtoRGB
};

/// Plane indices of the request's gun and band list.
enum : shortu { GUN_R = 0, GUN_G = 1, GUN_B = 2, GUN_A = 3 };

/// One command line's load request; reset (`resetLoadRequest`) before every
/// command line.
struct loadRequest {
    std::string path;     ///< image path, image path prefix applied, at most 255
                          ///< chars; environment variables not yet expanded
    shortu fileCount = 0; ///< 0 or 1: the line named an image file
    int32 cols = 0,
          rows = 0; ///< COLS, ROWS: file columns / rows to load, 0 = to the edge
    int32 bXofs = 0,
          bYofs = 0; ///< BXY: upper-left corner in the iBUFF (never negative)
    int32 fXofs = 0,
          fYofs = 0;                ///< FXY: upper-left corner in the file (never negative)
    int32 staticX = 0, staticY = 0; ///< STATIC=x,y size (0 = no size given)
    int32u staticColor = 0;         ///< STATIC fill: red bits 16-23, green 8-15, blue 0-7
    double xFactor = 1.0,
           yFactor = 1.0;           ///< SFACT / DERES resampling factors (0.0625..1)
    shortu bands[4] = {0, 0, 0, 0}; ///< file band (1-based) per plane R, G, B, A; 0 = none
    shortu bandCount = 0;           ///< planes with a band (BAND, GUN, GIF2ALPHA)
    shortu maxBand = 0;             ///< highest band number BAND named
    shortu gun = GUN_R;             ///< plane of a GUN / GIF2ALPHA load
    int32 imgIndex = 0;     ///< 0-based image of the iBUFF: its image count (a new image) unless
                            ///< GUN, GIF2ALPHA (chosen image) or SETB (its current image) say so
    shortu hdu = 0;         ///< HDU: FITS header data unit from 1 (0 = the reader's default)
    shortu deresLevel = 0;  ///< DERES level 1..4 (0 = none)
    int32u vslCtlm = 0;     ///< REQ_* bits to OR into the fdes control word
    int32u hdrFlags = 0;    ///< HDR tag: curve and range bits
    int32u hdrChannels = 0; ///< HDR tag: channel mask (R 1, G 2, B 4, A 8)

    bool gunGiven = false;   ///< GUN (or GIF2ALPHA, which counts as GUN for every check)
    bool bxyGiven = false;   ///< BXY
    bool dumpH = false;      ///< DUMPH: show the header, load nothing
    bool bandGiven = false;  ///< BAND
    bool gif2alpha = false;  ///< GIF2ALPHA: the GIF goes to plane A
    bool isStatic = false;   ///< STATIC (with or without a size)
    bool init = false;       ///< INIT: clear the iBUFF before this load
    bool autoInit = false;   ///< first load of a script: clear the iBUFF (unless INIT=F)
    bool xalpha = false;     ///< XALPHA: the alpha plane is not used for display
    bool initF = false;      ///< INIT=F: blocks the automatic clear of a script's first load
    bool hdrGiven = false;   ///< HDR
    bool tagHandled = false; ///< at least one tag was handled on the line

    short error = 0; ///< loader error code of this command; non-zero ends the sequence

    /// True when the iBUFF is to be cleared before the load (INIT or a script's
    /// first load).
    bool clearFirst() const { return init || autoInit; }
};

/// Resets a request for a new command line; imgIndex becomes `imageCount`.
void resetLoadRequest(loadRequest& req, int32 imageCount);

/// Loader state that outlives one command (one record for the run).
struct loaderState {
    bool autob = false;         ///< automatic buffer sequencing
    bool wipe = false;          ///< re-encrypt decrypted temporary copies before closing them
    std::string userKeyText;    ///< the loader's copy of the user key text (at most
                                ///< 128 chars)
    bool firstCallDone = false; ///< the defaults file's user key has been considered
};

/// Process-wide loader state.
extern loaderState ldrState;

/// Back to the start-of-run state (tests); AUTOB takes the defaults file's
/// value.
void resetLoaderState();
