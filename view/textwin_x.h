// The text layer's backend on the view window: opened and closed with the view.
#pragma once

#include "textwin.h"

/// Creates the backend on the open view window and selects font 0; false when that fails.
bool textwinXOpen();
/// Hands the view's GC (an X GC) to the backend.
void textwinXSetGC(void* gc);
/// The X font id of the current core font (0 when none).
unsigned long textwinXFont();
/// The WM_DELETE_WINDOW atom the backend answers.
unsigned long textwinXDeleteAtom();
/// Frees every text window and font, then the backend.
void textwinXClose();
