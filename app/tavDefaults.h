// The per-user defaults file "$HOME/TAVdefaults.txt": the user's standing preferences, read
// once at start before the command line so that options and loader tags override it.
#pragma once

#include <string>

#include "tavtypes.h"

/// View mode word before the file is read: BICUBIC zoom (0x4), default LUTs shown (0x20),
/// statistics limited to the display (0x400).
constexpr int32u DFLT_DMODE = 0x424;
/// Ancillary display word before the file is read (0x1 ancillary column, 0x2 roam window).
constexpr int32u DFLT_ANCIL = 0x987;

/// The settings the defaults file may change, held here for the modules that apply them:
/// the view reads the mode and ancillary words through GET_VIEW_DEFAULTS, the entry hands
/// the display size to the view size rules before the command line is examined.
struct tavDefaults {
    std::string userKey; ///< user key text, line end removed
    bool userKeyGiven;   ///< a USER_KEY line was accepted
    charu dpyType;       ///< display size type (0 fit, 1 maximum, 2 minimise, 3 full screen)
    int32 maxW, maxH;    ///< maximum view size for type 1, as written in the file
    int32u dmode;        ///< view mode word
    int32u ancil;        ///< ancillary display word
    bool autob;          ///< automatic iBUFF sequencing
    bool twoButtonMouse; ///< two-button mouse emulation
    bool valid;          ///< the file was opened and held no error
    bool done;           ///< the file was read (TAV_DEFAULTS runs once)
};

/// Process-wide defaults record.
extern tavDefaults tavDflt;

/// Reads "$HOME/TAVdefaults.txt" once: sets the start values (all four paths to the working
/// directory, HDR default range 0), applies the file's keys and reports errors on standard
/// error. Later calls do nothing. Never stops the program.
void TAV_DEFAULTS();

/// Back to the values before the file is read, so that TAV_DEFAULTS reads it again (tests).
void resetDefaults();

/// What the exploitation view takes from the defaults at its start.
struct viewDefaults {
    std::string ipath, svpath, spath, wpath; ///< the four working paths as they are now
    int32u dmode;                            ///< view mode word
    int32u ancil;                            ///< ancillary display word
};

/// Copy into the view: fills `out` and returns the defaults-valid flag.
bool GET_VIEW_DEFAULTS(viewDefaults& out);

/// The defaults file's user key text: 1 with the text, 0 (text untouched) when none.
int GET_DEFAULT_USER_KEY(std::string& text);
/// The defaults file's automatic buffer sequencing (AUTOB) setting.
bool GET_DEFAULT_AUTOB();
/// The defaults file's two-button mouse emulation setting.
bool GET_DEFAULT_TWO_BUTTON();
