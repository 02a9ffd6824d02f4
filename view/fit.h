// Laying a buffer out in the view: the fit rules for a buffer that fits, and the global view,
// the whole buffer reduced by area averaging to fit a view it is larger than. Pure.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

/// Lays out a buffer that fits the view (columns <= view width and rows <= view height):
/// centred at zoom 1, the ancillary column kept free when keepColumn and there is room; the
/// BG AOI equals the FG AOI. False (nothing changed) for a buffer larger than the view.
bool FIT_INIT_IMG(bool keepColumn);

/// Global-view factor: min(view width / columns, view height / rows), a ratio taken as 1.0
/// on an axis where the buffer fits.
double globalViewFactor(int32 cols, int32 rows, int32 viewW, int32 viewH);

/// The global image box in the view: scaledDim(columns, f) by scaledDim(rows, f), centred.
aoiRec globalViewBox(int32 cols, int32 rows, int32 viewW, int32 viewH);
