// SAVE IMAGE: the FG AOI or the whole current buffer to a PNG or GIF file, optionally through
// the transform LUTs and optionally encrypted with the current key.
#pragma once

#include <string>
#include <vector>

#include "exploitOp.h"
#include "lutKernels.h"

/// SAVE_IMAGE statuses. The numbers are shown to the user ("Status= %d").
enum : int32 {
    SAVE_OK = 0,
    SAVE_NO_GUNS = -1,    ///< gun mask without any of the bits 1, 2, 4, 8
    SAVE_NO_PATH = -2,    ///< no output path
    SAVE_BAD_AREA = -3,   ///< area flag not 0 (FG AOI) or 1 (whole buffer)
    SAVE_BAD_FORMAT = -4, ///< format not 0 (PNG) or 1 (GIF)
    SAVE_BAD_MASK = -6,   ///< gun mask not 1, 2, 4, 7 or 15
    SAVE_NO_SOURCE = -7,  ///< no pixels for the area
    SAVE_NO_IMAGE = -8,   ///< no memory for the GIF image
    SAVE_NO_ROW = -9,     ///< no memory for a row
    SAVE_CREATE = -10,    ///< the file cannot be created
    SAVE_PNG_HDR = -11,   ///< the PNG header failed
    SAVE_NO_KEY = -12,    ///< encryption asked without a key (nothing was created)
    SAVE_CRYPT = -13,     ///< encryption failed (nothing was left behind)
    SAVE_GIF_SIZE = -14,  ///< a GIF side above 65535 pixels
    SAVE_GIF_FAIL = -15,  ///< the GIF encoder failed
    SAVE_WRITE_FAIL = -16 ///< writing, syncing or naming the finished file failed
};

/// Format codes and option bits of SAVE_IMAGE.
enum : int32 { SAVE_PNG = 0, SAVE_GIF = 1, SAVE_ENCRYPT = 8 };

/// Writes the FG AOI as displayed (area 0) or the whole buffer (area 1) of `bd` to `path`.
/// `luts` (or null) are applied to the colour guns. A failed save leaves no file behind and
/// an existing file at `path` as it was.
int32 SAVE_IMAGE(const std::string& path, int32 gunMask, const lutSet* luts, bufdes* bd, int32 area,
                 int32 format, const std::string* keyText, int32 options);

/// The save dialogue's own state.
struct saveImageState {
    std::string keyText;     ///< the key in use for saving, as the cipher gives it back
    bool keyDefined = false; ///< a key was taken
    bool cryptoOn = false;   ///< saved images are encrypted
};
/// Process-wide save state.
extern saveImageState saveState;
/// Back to no key and encryption off (tests).
void resetSaveImage();

/// SAVE IMAGE menus (format, guns and CRYPTO below it).
int32 saveImageMenu(std::vector<pupLink>& links);
/// SAVE IMAGE run function.
void saveImageOp(viewState* vs, const int32* pupvals, bufdes* bd);
