// Test-only entry: opens the view and runs the actions named on the command line, so that the
// display tests can drive messages, prompts and menus before the exploitation loop exists.
//   viewdemo [-type N] [-max W,H] [-sticky] [-two] ACTION...
//   ACTION: fill          paint a pattern over the view
//           wait          idle main; a left click goes on
//           msg:TEXT      acknowledged message box (\n in TEXT is a line feed)
//           note:TEXT     brief note: gone after four mouse events
//           prompt:TEXT   prompt; the answer is logged
//           menu          idle main; a right press opens the pan menu tree
//           fonts         selects every font of the table at size 14: "font N ok|fail"
//           xerrors:N     makes N protocol errors (a window that no longer exists is mapped)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "diag.h"
#include "tavDisplay.h"
#include "tav_wmgt.h"
#include "textwin.h"
#include "viewDims.h"

namespace {

std::string unescape(const char* s)
{
    std::string o;
    for (; *s; ++s) {
        if (s[0] == '\\' && s[1] == 'n') {
            o += '\n';
            ++s;
        } else {
            o += *s;
        }
    }
    return o;
}

void fillPattern()
{
    int32 b[4];
    GET_DISPLAY_BOX(b);
    const int32 w = b[2] + 1, h = b[3] + 1;
    std::vector<int32u> px(size_t(w) * size_t(h));
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x)
            px[size_t(y) * size_t(w) + size_t(x)] =
                int32u(((x * 3) & 0xff) << 16 | ((y * 5) & 0xff) << 8 | ((x ^ y) & 0xff));
    twBack->putPixels(twBox{0, 0, w - 1, h - 1}, px.data());
}

int waitFor(int code)
{
    TEXTWIN_IDLE("main");
    int32 x, y;
    for (;;) {
        const int c = MOUSE_EVENT(&x, &y, 0);
        if (c == code || c == MOUSE_CLOSE)
            return c;
    }
}

void runMenu()
{
    int32 pan = xDEFPUP("\\ PAN %t|\\ ZOOM|\\ LUT|SCROLL|REVERT|ALPHA");
    int32 zoom = xDEFPUP("\\ 1X%i1|\\ 2X%i2|\\ 4X%i4|\\ 8X%i8");
    int32 lut = xDEFPUP("ON|OFF");
    int32 scroll = xDEFPUP("SLOW%i6|MED%i12|FAST%i24");
    int32 alpha = xDEFPUP("ON|OFF");
    const pupLink links[] = {
        {&pan, 1, &zoom}, {&pan, 2, &lut}, {&pan, 3, &scroll}, {&pan, 5, &alpha}};
    xLNKPUP(4, links);
    if (waitFor(MOUSE_RIGHT) != MOUSE_RIGHT)
        return;
    int32 vals[MAX_PUP_LEVEL] = {};
    bool outside = true;
    xDOPUP(pan, vals, &outside);
    for (int32 id : {alpha, scroll, lut, zoom, pan})
        TEXTWIN_CLOSE(id, TW_KEEP_SHOWN);
}

// Each request on a destroyed window is refused by the server with BadWindow.
void xErrors(int n)
{
    Display* dpy = tavDpy.dpy;
    const Window gone = XCreateSimpleWindow(dpy, tavDpy.root, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(dpy, gone);
    XSync(dpy, False);
    for (int k = 0; k < n; ++k)
        XMapWindow(dpy, gone);
    XSync(dpy, False);
    testLog("xerrors %d", n);
}

} // namespace

int main(int argc, char** argv)
{
    int k = 1;
    for (; k < argc && argv[k][0] == '-'; ++k) {
        if (!std::strcmp(argv[k], "-type") && k + 1 < argc) {
            SET_DPY_TYPE(charu(std::atoi(argv[++k])));
        } else if (!std::strcmp(argv[k], "-max") && k + 1 < argc) {
            int w = 0, h = 0;
            std::sscanf(argv[++k], "%d,%d", &w, &h);
            SET_VIEW_MAX(w, h);
        } else if (!std::strcmp(argv[k], "-sticky")) {
            SET_MENU_FAST(false);
        } else if (!std::strcmp(argv[k], "-two")) {
            TWO_BUTTON_MOUSE(true);
        }
    }
    if (CONNECT_TAV_DISPL() != 0)
        return 2;
    const int32 rc = TAV_VIEWINI();
    if (rc != 0) {
        testLog("exit 8 viewini %d", rc);
        TAV_VIEWEND(1);
        return 8;
    }
    for (; k < argc; ++k) {
        const char* a = argv[k];
        if (!std::strcmp(a, "fill"))
            fillPattern();
        else if (!std::strcmp(a, "wait"))
            waitFor(MOUSE_LEFT);
        else if (!std::strncmp(a, "msg:", 4))
            TEXTMSG(unescape(a + 4), MSG_ACK);
        else if (!std::strncmp(a, "note:", 5))
            TEXTMSG(unescape(a + 5), MSG_BRIEF);
        else if (!std::strncmp(a, "prompt:", 7))
            TEXTMSG(unescape(a + 7), MSG_PROMPT);
        else if (!std::strcmp(a, "menu"))
            runMenu();
        else if (!std::strncmp(a, "xerrors:", 8))
            xErrors(std::atoi(a + 8));
        else if (!std::strcmp(a, "fonts"))
            for (int f = 0; f < fontCount(); ++f) {
                TavFontDes d;
                const bool ok = SETFONT(f, 14, &d);
                testLog("font %d %s %d", f, ok ? "ok" : "fail", ok ? int(d.height) : 0);
            }
    }
    TEXTWIN_CLEARALL();
    TAV_VIEWEND(1);
    testLog("exit 0");
    return 0;
}
