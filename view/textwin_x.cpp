// The text layer's drawing and events on the X view window (core fonts, Xft, XImage transfer).
#include "textwin_x.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include <X11/Intrinsic.h>
#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

#include "diag.h"
#include "tavDisplay.h"
#include "tav_wmgt.h"
#include "viewDims.h"

namespace {

class xBackend final : public twBackend {
public:
    xBackend() : dpy_(tavDpy.dpy), win_(tavDpy.view), vis_(tavDpy.vis.visual), cmap_(tavDpy.cmap)
    {
        draw_ = XftDrawCreate(dpy_, win_, vis_, cmap_);
        wmDelete_ = XInternAtom(dpy_, "WM_DELETE_WINDOW", False);
    }
    ~xBackend() override
    {
        if (draw_)
            XftDrawDestroy(draw_);
        if (cursor_)
            XFreeCursor(dpy_, cursor_);
    }
    xBackend(const xBackend&) = delete;
    xBackend& operator=(const xBackend&) = delete;

    void setGC(GC gc)
    {
        gc_ = gc;
        XGCValues v;
        v.graphics_exposures = False;
        XChangeGC(dpy_, gc_, GCGraphicsExposures, &v);
        if (core_)
            XSetFont(dpy_, gc_, core_->fid);
    }
    Atom wmDelete() const { return wmDelete_; }
    Font coreFontId() const { return core_ ? core_->fid : 0; }

    bool openFont(bool xft, const std::string& name, int slant, int weight, double size,
                  twFontInfo* out) override
    {
        *out = twFontInfo{};
        if (!xft) {
            XFontStruct* fs = XLoadQueryFont(dpy_, name.c_str());
            if (!fs)
                return false;
            out->handle = fs;
            out->ascent = fs->ascent;
            out->descent = fs->descent;
            out->charW = XTextWidth(fs, "_", 1);
            return true;
        }
        XftFont* f = XftFontOpen(dpy_, tavDpy.screen, XFT_FAMILY, XftTypeString, name.c_str(),
                                 XFT_SLANT, XftTypeInteger, slant, XFT_WEIGHT, XftTypeInteger,
                                 weight, XFT_SIZE, XftTypeDouble, size, nullptr);
        if (!f)
            return false;
        out->handle = f;
        out->ascent = f->ascent;
        out->descent = f->descent;
        out->charW = f->max_advance_width;
        // Report the requested family when the font obtained carries it among its names.
        FcChar8* fam = nullptr;
        for (int k = 0; FcPatternGetString(f->pattern, FC_FAMILY, k, &fam) == FcResultMatch; ++k) {
            const std::string got = reinterpret_cast<const char*>(fam);
            if (k == 0)
                out->family = got;
            if (sameFamily(got, name)) {
                out->family = got;
                break;
            }
        }
        return true;
    }

    void closeFont(bool xft, void* handle) override
    {
        if (!handle)
            return;
        if (xft) {
            if (xftCur_ == handle)
                xftCur_ = nullptr;
            XftFontClose(dpy_, static_cast<XftFont*>(handle));
        } else {
            if (core_ == handle)
                core_ = nullptr;
            XFreeFont(dpy_, static_cast<XFontStruct*>(handle));
        }
    }

    void useFont(bool xft, void* handle) override
    {
        curXft_ = xft;
        if (xft) {
            xftCur_ = static_cast<XftFont*>(handle);
        } else {
            core_ = static_cast<XFontStruct*>(handle);
            if (gc_ && core_)
                XSetFont(dpy_, gc_, core_->fid);
        }
    }

    int32 textWidth(std::string_view s) override
    {
        if (s.empty())
            return 0;
        if (curXft_ && xftCur_) {
            XGlyphInfo gi;
            XftTextExtents8(dpy_, xftCur_, reinterpret_cast<const FcChar8*>(s.data()),
                            int(s.size()), &gi);
            return gi.xOff;
        }
        if (core_)
            return XTextWidth(core_, s.data(), int(s.size()));
        return int32(s.size()) * 6;
    }

    twBox inkBox(std::string_view s) override
    {
        if (curXft_ && xftCur_) {
            XGlyphInfo gi;
            XftTextExtents8(dpy_, xftCur_, reinterpret_cast<const FcChar8*>(s.data()),
                            int(s.size()), &gi);
            return twBox{-gi.x, -gi.y, -gi.x + int32(gi.width) - 1, -gi.y + int32(gi.height) - 1};
        }
        if (core_) {
            int dir, asc, desc;
            XCharStruct cs;
            XTextExtents(core_, s.data(), int(s.size()), &dir, &asc, &desc, &cs);
            return twBox{cs.lbearing, -cs.ascent, cs.rbearing - 1, cs.descent - 1};
        }
        return twBox{0, 0, -1, -1};
    }

    void fillRect(const twBox& b, int32u pixel) override
    {
        if (b.x1 < b.x0 || b.y1 < b.y0 || !gc_)
            return;
        XSetFunction(dpy_, gc_, GXcopy);
        XSetForeground(dpy_, gc_, pixel);
        XFillRectangle(dpy_, win_, gc_, b.x0, b.y0, unsigned(b.x1 - b.x0 + 1),
                       unsigned(b.y1 - b.y0 + 1));
    }

    void drawLine(int32 x0, int32 y0, int32 x1, int32 y1, int32u pixel, int width) override
    {
        if (!gc_)
            return;
        XSetFunction(dpy_, gc_, GXcopy);
        XSetForeground(dpy_, gc_, pixel);
        XSetLineAttributes(dpy_, gc_, unsigned(width), LineSolid, CapProjecting, JoinBevel);
        XDrawLine(dpy_, win_, gc_, x0, y0, x1, y1);
    }

    void drawText(int32 x, int32 y, std::string_view s, int32u pixel, bool xorMode) override
    {
        if (s.empty())
            return;
        if (curXft_ && xftCur_ && draw_) {
            const charu* g = gunByteTable();
            XRenderColor rc;
            rc.red = shortu(((pixel >> (8 * g[0])) & 0xff) * 257);
            rc.green = shortu(((pixel >> (8 * g[1])) & 0xff) * 257);
            rc.blue = shortu(((pixel >> (8 * g[2])) & 0xff) * 257);
            rc.alpha = 0xffff;
            XftColor col;
            if (!XftColorAllocValue(dpy_, vis_, cmap_, &rc, &col)) {
                DIAG("\nXftGETSTR() - XftColorAllocValue() failed");
                return;
            }
            XftDrawString8(draw_, &col, xftCur_, x, y, reinterpret_cast<const FcChar8*>(s.data()),
                           int(s.size()));
            XftColorFree(dpy_, vis_, cmap_, &col);
            return;
        }
        if (!gc_)
            return;
        XSetFunction(dpy_, gc_, xorMode ? GXxor : GXcopy);
        XSetForeground(dpy_, gc_, pixel);
        XDrawString(dpy_, win_, gc_, x, y, s.data(), int(s.size()));
        XSetFunction(dpy_, gc_, GXcopy);
    }

    void copyArea(const twBox& src, int32 dx, int32 dy) override
    {
        if (src.x1 < src.x0 || src.y1 < src.y0 || !gc_)
            return;
        XSetFunction(dpy_, gc_, GXcopy);
        XCopyArea(dpy_, win_, win_, gc_, src.x0, src.y0, unsigned(src.x1 - src.x0 + 1),
                  unsigned(src.y1 - src.y0 + 1), src.x0 + dx, src.y0 + dy);
    }

    bool getPixels(const twBox& b, int32u* dst) override
    {
        if (b.x1 < b.x0 || b.y1 < b.y0)
            return false;
        const unsigned w = unsigned(b.x1 - b.x0 + 1), h = unsigned(b.y1 - b.y0 + 1);
        XImage* im = XGetImage(dpy_, win_, b.x0, b.y0, w, h, AllPlanes, ZPixmap);
        if (!im)
            return false;
        if (im->bits_per_pixel == 32 && im->byte_order == LSBFirst) {
            for (unsigned r = 0; r < h; ++r)
                std::memcpy(dst + size_t(r) * w,
                            im->data + size_t(r) * unsigned(im->bytes_per_line), size_t(w) * 4);
        } else {
            for (unsigned r = 0; r < h; ++r)
                for (unsigned c = 0; c < w; ++c)
                    dst[size_t(r) * w + c] = int32u(XGetPixel(im, int(c), int(r)));
        }
        XDestroyImage(im);
        // Callers work in the buffers' byte order; a visual with its guns elsewhere is
        // translated here, so that images keep their colours on it.
        if (!gunTableIsBuffers(gunByteTable()))
            pixelsFromVisual(dst, size_t(w) * h, gunByteTable());
        return true;
    }

    void putPixels(const twBox& b, const int32u* src) override
    {
        if (b.x1 < b.x0 || b.y1 < b.y0 || !gc_)
            return;
        const unsigned w = unsigned(b.x1 - b.x0 + 1), h = unsigned(b.y1 - b.y0 + 1);
        std::unique_ptr<int32u[]> conv;
        if (!gunTableIsBuffers(gunByteTable())) {
            const size_t n = size_t(w) * h;
            conv.reset(new (std::nothrow) int32u[n]);
            if (!conv)
                return;
            std::memcpy(conv.get(), src, n * 4);
            pixelsToVisual(conv.get(), n, gunByteTable());
            src = conv.get();
        }
        XImage* im =
            XCreateImage(dpy_, vis_, 24, ZPixmap, 0,
                         reinterpret_cast<char*>(const_cast<int32u*>(src)), w, h, 32, int(w * 4));
        if (!im)
            return;
        im->byte_order = LSBFirst;
        XSetFunction(dpy_, gc_, GXcopy);
        XPutImage(dpy_, win_, gc_, im, 0, 0, b.x0, b.y0, w, h);
        im->data = nullptr; // the pixels belong to the caller
        XDestroyImage(im);
    }

    twEvent nextEvent() override
    {
        for (;;) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
            twEvent out;
            if (translate(ev, &out))
                return out;
        }
    }

    int pending() override { return XPending(dpy_); }

    void discardEvents(bool keepExpose) override
    {
        XSync(dpy_, False);
        bool exposed = false;
        XEvent expose{};
        while (XPending(dpy_)) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
            if (ev.xany.window != win_) {
                XtDispatchEvent(&ev);
                continue;
            }
            if (ev.type == Expose && !exposed) {
                exposed = true;
                expose = ev;
                expose.xexpose.count = 0;
            }
            if (ev.type == MappingNotify)
                XRefreshKeyboardMapping(&ev.xmapping);
        }
        if (exposed && keepExpose)
            XPutBackEvent(dpy_, &expose);
    }

    void dropMotion() override
    {
        if (XEventsQueued(dpy_, QueuedAfterFlush) <= 2)
            return;
        std::vector<XEvent> keep;
        while (XEventsQueued(dpy_, QueuedAlready) > 0) {
            XEvent ev;
            XNextEvent(dpy_, &ev);
            if (ev.type != MotionNotify)
                keep.push_back(ev);
        }
        for (auto it = keep.rbegin(); it != keep.rend(); ++it)
            XPutBackEvent(dpy_, &*it);
    }

    void queryPointer(int32* x, int32* y) override
    {
        Window r, c;
        int rx, ry, wx = 0, wy = 0;
        unsigned m;
        XQueryPointer(dpy_, win_, &r, &c, &rx, &ry, &wx, &wy, &m);
        *x = wx;
        *y = wy;
    }

    void warpPointer(int32 x, int32 y) override
    {
        XWarpPointer(dpy_, None, win_, 0, 0, 0, 0, x, y);
    }

    void setCursor(int shape) override
    {
        if (cursor_) {
            XUndefineCursor(dpy_, win_);
            XFreeCursor(dpy_, cursor_);
            cursor_ = 0;
        }
        if (shape == 1 || shape == 2) {
            cursor_ = XCreateFontCursor(dpy_, shape == 1 ? XC_crosshair : XC_watch);
            XDefineCursor(dpy_, win_, cursor_);
        }
    }

    void sync() override { XSync(dpy_, False); }
    bool geometryChanged() override { return GET_GEOMETRY(); }
    void displayBox(int32 box[4]) override { std::memcpy(box, tavDpy.box, sizeof tavDpy.box); }

private:
    bool translate(XEvent& ev, twEvent* out)
    {
        if (ev.type == MappingNotify) {
            XRefreshKeyboardMapping(&ev.xmapping);
            out->kind = EV_MAPPING;
            return true;
        }
        if (ev.xany.window != win_) {
            // The loader window shares the connection; its events go to the toolkit.
            XtDispatchEvent(&ev);
            return false;
        }
        switch (ev.type) {
        case ButtonPress:
        case ButtonRelease:
            out->kind = ev.type == ButtonPress ? EV_PRESS : EV_RELEASE;
            out->x = ev.xbutton.x;
            out->y = ev.xbutton.y;
            out->button = int(ev.xbutton.button);
            return true;
        case MotionNotify:
            out->kind = EV_MOTION;
            out->x = ev.xmotion.x;
            out->y = ev.xmotion.y;
            return true;
        case Expose:
            out->kind = EV_EXPOSE;
            out->count = ev.xexpose.count;
            return true;
        case ConfigureNotify:
            out->kind = EV_CONFIGURE;
            return true;
        case KeyPress: {
            char buf[8] = {};
            KeySym ks = NoSymbol;
            const int n = XLookupString(&ev.xkey, buf, sizeof buf, &ks, nullptr);
            out->kind = EV_KEY;
            out->keyClass = KEY_NONE;
            if (ks == XK_Shift_L || ks == XK_Shift_R)
                out->keyClass = KEY_SHIFT;
            else if (ks == XK_Control_L)
                out->keyClass = KEY_CTRL_L;
            else if (ks == XK_Alt_L)
                out->keyClass = KEY_ALT_L;
            else if (ks == XK_Delete || ks == XK_KP_Delete)
                out->keyClass = KEY_DELETE;
            else if (ks == XK_BackSpace) {
                out->keyClass = KEY_TEXT;
                out->key = 8;
            } else if (ks == XK_Return || ks == XK_KP_Enter) {
                out->keyClass = KEY_TEXT;
                out->key = 13;
            } else if (n == 1) {
                out->keyClass = KEY_TEXT;
                out->key = static_cast<unsigned char>(buf[0]);
            }
            return true;
        }
        case ClientMessage:
            if (Atom(ev.xclient.data.l[0]) == wmDelete_) {
                out->kind = EV_CLOSE;
                return true;
            }
            return false;
        default:
            return false;
        }
    }

    Display* dpy_;
    Window win_;
    Visual* vis_;
    Colormap cmap_;
    GC gc_ = nullptr;
    XftDraw* draw_ = nullptr;
    XFontStruct* core_ = nullptr;
    XftFont* xftCur_ = nullptr;
    bool curXft_ = false;
    Cursor cursor_ = 0;
    Atom wmDelete_ = 0;
};

xBackend* xb = nullptr;

} // namespace

bool textwinXOpen()
{
    textwinXClose();
    xb = new (std::nothrow) xBackend();
    if (!xb)
        return false;
    twBack = xb;
    resetTextwin();
    return textwinFontInit();
}

void textwinXSetGC(void* gc)
{
    if (xb)
        xb->setGC(static_cast<GC>(gc));
}

unsigned long textwinXFont()
{
    return xb ? xb->coreFontId() : 0;
}

unsigned long textwinXDeleteAtom()
{
    return xb ? xb->wmDelete() : 0;
}

void textwinXClose()
{
    if (!xb)
        return;
    resetTextwin(); // frees windows and fonts while the connection is still there
    twBack = nullptr;
    delete xb;
    xb = nullptr;
}
