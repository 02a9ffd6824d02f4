// The process-wide display record (X side). Only X-layer sources include this header.
#pragma once

#include <X11/Intrinsic.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "tavtypes.h"

struct tavDisplayRec {
    XtAppContext app;   ///< application context
    Widget shell;       ///< application shell; the loader window hangs from it
    Display* dpy;       ///< the connection
    int screen;         ///< default screen number
    Screen* scr;        ///< screen record
    int32 rootW, rootH; ///< root screen size, read once
    Window root;
    XVisualInfo vis; ///< the matched 24-bit TrueColor visual
    Window view;     ///< the view window (0 while closed)
    Colormap cmap;
    GC gc;
    bool viewOpen;
    int32 box[4];      ///< display box x0, y0, x1, y1
    int32 rightAnchor; ///< width - 258
    charu gunOfs[4];   ///< byte of red, green, blue, alpha in a 32-bit pixel
    int32 xErrors;     ///< X error counter
};

/// The display record.
extern tavDisplayRec tavDpy;

/// X error handler of the view: counts errors, reports every 50th, never ends the program.
int TAV_XERRH(Display* dpy, XErrorEvent* ev);

/// Fills vis with the first 24-bit TrueColor visual (RGB masks, then BGR); 0 or -1.
int get_tav_vis(XVisualInfo* vis, Display* dpy, int screen);
