// Navigation of a buffer larger than the view: the global view (the whole buffer reduced to
// fit, kept per buffer), PAN (choose the area on the global view, roam, scroll along a path)
// and ZOOM (magnify by powers of two). Both run through the UI port and the view surface, so
// they are driven by scripted pointer events in tests and by the window's in the program.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"
#include "viewState.h"

/// Where the global view of the current buffer sits in the current view.
struct globalGeom {
    double f = 1.0; ///< reduction factor
    aoiRec box{};   ///< the global image in view pixels
};
/// The global view of the current buffer in the current view.
globalGeom globalGeometry();

/// Shows the global view: pasted from the global-view accumulator when it holds this
/// buffer's at this view size, else drawn from the buffer and kept there. 0 or a VMEM_ code.
int32 SHOW_GLOBAL_VIEW();

/// MANAGE_PAN_ACCUM statuses.
enum : int32 { PANACC_OK = 0, PANACC_BAD_ARG = -1, PANACC_NO_FILE = -2 };
/// Makes buffer bufNum's (1-16) global view the one the accumulator holds, so that each
/// buffer keeps its own; a buffer that fits the view keeps none.
int32 MANAGE_PAN_ACCUM(int32 bufNum);
/// Forgets every buffer's global view (the view size changed).
void RESET_PAN_ACCUMS();
/// Buffers a and b (1-16) changed contents: their kept global views change places too.
void SWAP_PAN_ACCUMS(int32 a, int32 b);
/// Forgets the global view kept for buffer bufNum (1-16), which was released.
void DROP_PAN_ACCUM(int32 bufNum);
/// Closes the per-buffer files (tests; the program keeps them to the end).
void releasePanAccums();

/// The pan box: the part of the buffer that fills the view at zoom, in global-image pixels,
/// centred on (px, py) and kept inside the global image.
aoiRec panBoxAt(const globalGeom& g, int32 viewW, int32 viewH, int32 zoom, int32 px, int32 py);

/// Runs PAN: 1 when it ends with a buffer area shown, 0 in the global view or when the
/// buffer fits the view.
int32 PAN(viewState* vs);
/// Runs ZOOM on the current buffer.
void ZOOM(viewState* vs);
/// The PAN menu and its sub-menus; defined at every exploitation loop start.
void DEFINE_PAN_MENUS();

/// Zoom de-aliasing: leaving ZOOM after growing by 3 or more recomputes the view in one WARP.
bool zoomDeAlias();
void setZoomDeAlias(bool on);

/// Shows the current translation's area on a view cleared where the area does not fill it.
void showArea();
/// Centres the buffer at zoom 1 and shows it (the ancillary column kept free when in use).
void centreAndShow(viewState* vs);
/// PAN and ZOOM state back to the start (tests).
void resetPanZoom();
