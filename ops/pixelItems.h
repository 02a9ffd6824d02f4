// The items of the PIXEL OPS menu: each brings its own sub-menus and its run, so that an
// operation is hooked in by its one row of the table and PIXEL OPS knows none by name.
#pragma once

#include <vector>

#include "exploitOp.h"

/// PIXEL OPS items, numbered as the menu counts them.
enum : int32 {
    PX_SCOPE = 1,
    PX_BW,
    PX_BURN_IN,
    PX_PSEUDO,
    PX_INFOMETRIC,
    PX_CONVOLUTION,
    PX_SWAP_GUNS,
    PX_WAVELET,
    PX_MCD,
    PX_FFT,
    PX_CANNY,
    PX_ADAPTIVE,
    PX_FRACTAL,
    PX_RANDOM,
    PX_ITEMS = PX_RANDOM
};

/// What an item's run reports back to PIXEL OPS.
struct pixelRun {
    int32 status = 0;          ///< 0 done; negative: the item's error status
    bool changed = false;      ///< pixels of the scope were changed
    bool sbuffWritten = false; ///< the Exploit sBUFF was written
};

/// One item.
struct pixelItem {
    /// Defines the item's sub-menus and appends their links; returns the menu id to link below
    /// the item, or -1 when the item opens no sub-menu. Null: no sub-menu.
    int32 (*menu)(std::vector<pupLink>& links);
    /// Runs the item: pupvals[1] is the item, pupvals[2..] its sub-menu values.
    pixelRun (*run)(viewState* vs, const int32* pupvals, bufdes* bd);
};

/// The items, index = item - 1.
extern const pixelItem pixelItems[PX_ITEMS];
