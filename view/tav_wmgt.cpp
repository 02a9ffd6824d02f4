#include "tav_wmgt.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <X11/Shell.h>
#include <X11/Xatom.h>
#include <X11/StringDefs.h>

#include "diag.h"
#include "tavDisplay.h"
#include "textwin_x.h"
#include "viewDims.h"

tavDisplayRec tavDpy{};

const charu* gunByteTable()
{
    return tavDpy.gunOfs;
}

int get_tav_vis(XVisualInfo* vis, Display* dpy, int screen)
{
    XVisualInfo tmpl{};
    tmpl.screen = screen;
    int n = 0;
    XVisualInfo* list = XGetVisualInfo(dpy, VisualScreenMask, &tmpl, &n);
    if (!list)
        return -1;
    std::vector<visualCand> cands(size_t(std::max(n, 0)));
    for (int k = 0; k < n; ++k)
        cands[size_t(k)] = visualCand{list[k].depth,        list[k].c_class,  list[k].colormap_size,
                                      list[k].bits_per_rgb, list[k].red_mask, list[k].green_mask,
                                      list[k].blue_mask};
    bool bgr = false;
    const int pick = pickTrueColor(cands.data(), n, &bgr);
    if (pick >= 0) {
        if (bgr)
            DIAG("\n***get_tav_vis():Truecolor visual does not match H/W spec.");
        *vis = list[pick];
    }
    XFree(list);
    return pick >= 0 ? 0 : -1;
}

int32 CONNECT_TAV_DISPL()
{
    if (tavDpy.dpy)
        return 0;
    XtToolkitInitialize();
    tavDpy.app = XtCreateApplicationContext();
    // Only the program name goes to the toolkit: it would strip options it knows from the
    // user's arguments. XtOpenDisplay hands a failure back instead of ending the process.
    int argc0 = 1;
    char progName[] = "tav";
    char* argv0[] = {progName, nullptr};
    Display* dpy = XtOpenDisplay(tavDpy.app, nullptr, "tav", "TAV", nullptr, 0, &argc0, argv0);
    if (!dpy) {
        DIAG("\n***CONNECT_TAV_DISPL(): XtVaAppInaitialize() fail\n");
        std::exit(1);
    }
    tavDpy.shell = XtVaAppCreateShell("tav", "TAV", applicationShellWidgetClass, dpy, XtNx, 480,
                                      XtNy, 256, XtNtitle, "TAV Discovery Engine", nullptr);
    tavDpy.dpy = dpy;
    tavDpy.screen = DefaultScreen(dpy);
    tavDpy.scr = ScreenOfDisplay(dpy, tavDpy.screen);
    tavDpy.rootW = DisplayWidth(dpy, tavDpy.screen);
    tavDpy.rootH = DisplayHeight(dpy, tavDpy.screen);
    vDims.screenW = tavDpy.rootW;
    vDims.screenH = tavDpy.rootH;
    tavDpy.root = RootWindow(dpy, tavDpy.screen);
    if (!tavDpy.root) {
        DIAG("\n***CONNECT_TAV_DISPL)_: XRootWindow() fail\n");
        return -1;
    }
    tavDpy.gunOfs[0] = 2;
    tavDpy.gunOfs[1] = 1;
    tavDpy.gunOfs[2] = 0;
    tavDpy.gunOfs[3] = 3;
    if (get_tav_vis(&tavDpy.vis, dpy, tavDpy.screen) != 0) {
        DIAG("\n***CONNECT_TAV_DISPL(): 24 bit (Truecolor) graphics fail\n");
        return -2;
    }
    // The table is fixed here for the whole run: a visual with blue in the high byte moves
    // red and blue so that colours still come out right.
    gunBytesFromMasks(tavDpy.vis.red_mask, tavDpy.vis.green_mask, tavDpy.vis.blue_mask,
                      tavDpy.gunOfs);
    return 0;
}

bool viewIsOpen()
{
    return tavDpy.viewOpen;
}

int TAV_XERRH(Display* dpy, XErrorEvent* ev)
{
    ++tavDpy.xErrors;
    if (tavDpy.xErrors % 50 == 0) {
        char text[241] = {};
        XGetErrorText(dpy, ev->error_code, text, 240);
        DIAG("\n***TAV_XERRH: %s Iter: %d", text, tavDpy.xErrors);
    }
    return 0;
}

bool GET_GEOMETRY()
{
    Window rootRet;
    int x, y;
    unsigned w = 0, h = 0, bw, depth;
    const Window w0 = vDims.fullScreen ? tavDpy.root : tavDpy.view;
    if (!w0 || !XGetGeometry(tavDpy.dpy, w0, &rootRet, &x, &y, &w, &h, &bw, &depth)) {
        DIAG("\n***GET_GEOMETRY()-XGetGeometry() fail");
        std::exit(1);
    }
    if (vDims.fullScreen)
        h = h > 32 ? h - 32 : 1;
    if (w == vDims.width && h == vDims.height)
        return false;
    vDims.width = w;
    vDims.height = h;
    tavDpy.box[0] = 0;
    tavDpy.box[1] = 0;
    tavDpy.box[2] = int32(w) - 1;
    tavDpy.box[3] = int32(h) - 1;
    tavDpy.rightAnchor = int32(w) - 258;
    return true;
}

bool VIEW_DIM_CHANGED(int32u cols, int32u rows)
{
    const bool changed = GET_GEOMETRY();
    return changed || vDims.width != cols || vDims.height != rows;
}

void GET_DISPLAY_BOX(int32 box[4])
{
    std::memcpy(box, tavDpy.box, sizeof tavDpy.box);
}

int32 TAV_VIEWINI()
{
    if (tavDpy.viewOpen) {
        DIAG("\n---TAV_VIEWINI(): view window already open");
        return 0;
    }
    Display* dpy = tavDpy.dpy;
    if (!dpy) {
        DIAG("\n***TAV_VIEWINI(): TAVdisplay Null\n");
        return -1;
    }
    if (tavDpy.vis.depth != 24) {
        DIAG("\n***TAV_VIEWINI(): 24 bit visual not found.\n");
        return -2;
    }
    if (tavDpy.rootW < 768 || tavDpy.rootH < 768) {
        DIAG("\n***TAV_VIEWINI(): root screen size is %d X %d", tavDpy.rootW, tavDpy.rootH);
        return -3;
    }
    tavDpy.cmap = XCreateColormap(dpy, tavDpy.root, tavDpy.vis.visual, AllocNone);
    if (!tavDpy.cmap) {
        DIAG("\n***TAV_VIEWINI(): Colormap create fail.\n");
        return -4;
    }
    vDims.screenW = tavDpy.rootW;
    vDims.screenH = tavDpy.rootH;
    SET_VIEW_DIM();
    const int32 w = int32(vDims.width), h = int32(vDims.height);
    int32 x, y;
    viewPosition(w, h, tavDpy.rootW, tavDpy.rootH, vDims.fullScreen, &x, &y);

    // Undo what was made so far; the view stays closed.
    auto fail = [&](int32 code) {
        textwinXClose();
        if (tavDpy.gc)
            XFreeGC(dpy, tavDpy.gc);
        if (tavDpy.view)
            XDestroyWindow(dpy, tavDpy.view);
        XFreeColormap(dpy, tavDpy.cmap);
        tavDpy.gc = nullptr;
        tavDpy.view = 0;
        tavDpy.cmap = 0;
        return code;
    };

    XSetWindowAttributes a{};
    a.background_pixel = 0;
    a.border_pixel = 0xffffff;
    a.save_under = False;
    a.colormap = tavDpy.cmap;
    a.event_mask = KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                   PointerMotionMask | ExposureMask | StructureNotifyMask;
    tavDpy.view = XCreateWindow(
        dpy, tavDpy.root, x, y, unsigned(w), unsigned(h), 0, 24, InputOutput, tavDpy.vis.visual,
        CWBackPixel | CWBorderPixel | CWSaveUnder | CWColormap | CWEventMask, &a);
    if (!tavDpy.view) {
        DIAG("\n***TAV_VIEWINI(): XCreateWindow() fail.\n");
        return fail(-5);
    }
    XStoreName(dpy, tavDpy.view, "TAV Discovery Engine");
    XClassHint ch;
    char resName[] = "TAV", resClass[] = "TAV Discovery Engine";
    ch.res_name = resName;
    ch.res_class = resClass;
    XSetClassHint(dpy, tavDpy.view, &ch);
    XSizeHints sh{};
    sh.flags = USPosition | USSize | PMinSize | PMaxSize | PBaseSize | PResizeInc;
    sh.x = x;
    sh.y = y;
    sh.width = sh.min_width = sh.max_width = sh.base_width = w;
    sh.height = sh.min_height = sh.max_height = sh.base_height = h;
    sh.width_inc = sh.height_inc = 16;
    XSetWMNormalHints(dpy, tavDpy.view, &sh);
    XWMHints wh{};
    wh.flags = InputHint | StateHint;
    wh.input = True;
    wh.initial_state = NormalState;
    XSetWMHints(dpy, tavDpy.view, &wh);

    if (vDims.fullScreen) {
        const Atom state = XInternAtom(dpy, "_NET_WM_STATE", True);
        const Atom full = XInternAtom(dpy, "_NET_WM_STATE_FULLSCREEN", True);
        if (state == None || full == None) {
            // Without a window manager that knows full screen the window already covers the
            // screen at (0, 0); failing here would end the program and lose the buffers.
            DIAG("\n---tav_wmgt|tav_viewini(): set FULLSCREEN fail");
        } else {
            XChangeProperty(dpy, tavDpy.view, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&full), 1);
        }
    }

    if (!textwinXOpen()) {
        DIAG("\nTAV_VIEWINI(): X11 text font open fail\n");
        return fail(-7);
    }
    // The window manager's close button comes to the view as an event, never a kill.
    Atom del = Atom(textwinXDeleteAtom());
    XSetWMProtocols(dpy, tavDpy.view, &del, 1);

    XGCValues gv{};
    gv.foreground = 0xffffff;
    gv.background = 0;
    gv.line_width = 1;
    gv.font = Font(textwinXFont());
    gv.graphics_exposures = False;
    tavDpy.gc = XCreateGC(dpy, tavDpy.view,
                          GCForeground | GCBackground | GCLineWidth | GCGraphicsExposures |
                              (gv.font ? GCFont : 0),
                          &gv);
    textwinXSetGC(tavDpy.gc);

    XMapWindow(dpy, tavDpy.view);
    XEvent ev;
    do
        XWindowEvent(dpy, tavDpy.view, ExposureMask, &ev);
    while (ev.type != Expose);

    vDims.width = vDims.height = 0;
    GET_GEOMETRY();
    tavDpy.viewOpen = true;
    XSetErrorHandler(TAV_XERRH);
    textwinDrawInit(tavDpy.gunOfs);
    XSetInputFocus(dpy, tavDpy.view, RevertToParent, CurrentTime);
    XSync(dpy, False);

    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(dpy, tavDpy.view, tavDpy.root, 0, 0, &rx, &ry, &child);
    testLog("view open %d %d %u %u", rx, ry, vDims.width, vDims.height);
    return 0;
}

void TAV_VIEWEND(int closeDisplay)
{
    if (tavDpy.viewOpen && tavDpy.dpy) {
        tavDpy.viewOpen = false;
        textwinXClose();
        XUngrabPointer(tavDpy.dpy, CurrentTime);
        XUngrabKeyboard(tavDpy.dpy, CurrentTime);
        if (tavDpy.cmap)
            XFreeColormap(tavDpy.dpy, tavDpy.cmap);
        if (tavDpy.gc)
            XFreeGC(tavDpy.dpy, tavDpy.gc);
        if (tavDpy.view)
            XDestroyWindow(tavDpy.dpy, tavDpy.view);
        tavDpy.cmap = 0;
        tavDpy.gc = nullptr;
        tavDpy.view = 0;
        XSync(tavDpy.dpy, False);
        testLog("view close");
    }
    if (closeDisplay && tavDpy.dpy) {
        if (tavDpy.shell)
            XtDestroyWidget(tavDpy.shell);
        XtCloseDisplay(tavDpy.dpy);
        XtDestroyApplicationContext(tavDpy.app);
        tavDpy = tavDisplayRec{};
    }
}
