#include "tav_wmgt.h"

#include <cstdio>
#include <cstring>

#include <X11/Shell.h>
#include <X11/StringDefs.h>

#include "diag.h"
#include "tavDisplay.h"
#include "viewDims.h"

tavDisplayRec tavDpy{};

namespace {

// The matched visual's masks decide where each gun lives in a pixel word.
void gunTableFromMasks(const XVisualInfo& v)
{
    auto byteOf = [](unsigned long mask) -> charu {
        for (charu b = 0; b < 4; ++b)
            if (mask == (0xFFul << (8 * b)))
                return b;
        return 0;
    };
    tavDpy.gunOfs[0] = byteOf(v.red_mask);
    tavDpy.gunOfs[1] = byteOf(v.green_mask);
    tavDpy.gunOfs[2] = byteOf(v.blue_mask);
    tavDpy.gunOfs[3] = 3;
}

} // namespace

const charu* gunByteTable() { return tavDpy.gunOfs; }

int get_tav_vis(XVisualInfo* vis, Display* dpy, int screen)
{
    XVisualInfo tmpl{};
    tmpl.screen = screen;
    tmpl.depth = 24;
    tmpl.c_class = TrueColor;
    tmpl.colormap_size = 256;
    tmpl.bits_per_rgb = 8;
    tmpl.red_mask = 0xff0000;
    tmpl.green_mask = 0x00ff00;
    tmpl.blue_mask = 0x0000ff;
    const long mask = VisualScreenMask | VisualDepthMask | VisualClassMask |
                      VisualColormapSizeMask | VisualBitsPerRGBMask | VisualRedMaskMask |
                      VisualGreenMaskMask | VisualBlueMaskMask;
    int n = 0;
    XVisualInfo* list = XGetVisualInfo(dpy, mask, &tmpl, &n);
    if (!list || n < 1) {
        if (list)
            XFree(list);
        tmpl.red_mask = 0x0000ff;
        tmpl.blue_mask = 0xff0000;
        list = XGetVisualInfo(dpy, mask, &tmpl, &n);
        if (!list || n < 1) {
            if (list)
                XFree(list);
            return -1;
        }
        DIAG("\n***get_tav_vis():Truecolor visual does not match H/W spec.");
    }
    *vis = list[0];
    XFree(list);
    return 0;
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
    gunTableFromMasks(tavDpy.vis);
    return 0;
}

void TAV_VIEWEND(int closeDisplay)
{
    if (tavDpy.viewOpen && tavDpy.dpy) {
        tavDpy.viewOpen = false;
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
    }
    if (closeDisplay && tavDpy.dpy) {
        if (tavDpy.shell)
            XtDestroyWidget(tavDpy.shell);
        XtCloseDisplay(tavDpy.dpy);
        XtDestroyApplicationContext(tavDpy.app);
        tavDpy = tavDisplayRec{};
    }
}
