// Input: mouse events with the program's button conventions and two-button emulation, keys,
// the pointer and its clip box, cursor shapes and event draining.
#include "textwin.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "diag.h"
#include "textwin_priv.h"

using namespace twPriv;

namespace twPriv {

mouseState mouse;

// Idle lines tell a test driver that input is now read: what was drawn must be on the
// server by then.
void logIdle(const char* what)
{
    if (!testLogOn())
        return;
    if (twBack)
        twBack->sync();
    testLog("idle %s", what);
}

} // namespace twPriv

namespace {

void doRefresh()
{
    // A refresh that waits for a click must not start another refresh.
    if (mouse.refresh && !mouse.inRefresh) {
        mouse.inRefresh = true;
        mouse.refresh();
        mouse.inRefresh = false;
    }
}

void clampPointer(int32 rx, int32 ry)
{
    int32 b[4];
    if (mouse.clipSet)
        std::memcpy(b, mouse.clip, sizeof b);
    else
        dispBox(b);
    mouse.rawX = rx;
    mouse.rawY = ry;
    mouse.x = std::clamp(rx, b[0], std::max(b[0], b[2]));
    mouse.y = std::clamp(ry, b[1], std::max(b[1], b[3]));
}

// Left Control, Left Alt and Delete one after the other end the program at once.
void noteKey(const twEvent& ev)
{
    int k = ev.key;
    if (ev.keyClass == KEY_CTRL_L)
        k = 0x100 + KEY_CTRL_L;
    else if (ev.keyClass == KEY_ALT_L)
        k = 0x100 + KEY_ALT_L;
    else if (ev.keyClass == KEY_DELETE)
        k = 0x100 + KEY_DELETE;
    else if (ev.keyClass == KEY_SHIFT)
        return;
    testLog("key %d", k);
    mouse.keys[0] = mouse.keys[1];
    mouse.keys[1] = mouse.keys[2];
    mouse.keys[2] = k;
    if (mouse.keys[0] == 0x100 + KEY_CTRL_L && mouse.keys[1] == 0x100 + KEY_ALT_L &&
        mouse.keys[2] == 0x100 + KEY_DELETE) {
        testLog("exit 0 keys");
        std::exit(0);
    }
}

} // namespace

int twoButtonCode(twoButtonState* s, int button, bool press)
{
    if (button == 2)
        s->on = false; // a real middle button: no emulation for the rest of the run
    if (!s->on || button == 2)
        return press ? button : -button;
    if (button == 1) {
        s->leftHeld = press;
        return press ? 1 : -1;
    }
    // Right button: a middle while the left is held. The release matches its own press even
    // when pointer motion came between.
    int code;
    if (press) {
        s->emuMiddle = s->leftHeld;
        code = s->emuMiddle ? 2 : 3;
    } else {
        code = s->emuMiddle ? -2 : -3;
        s->emuMiddle = false;
    }
    s->leftHeld = false;
    return code;
}

void TWO_BUTTON_MOUSE(bool on)
{
    mouse.two = twoButtonState{};
    mouse.two.on = on;
}

int MOUSE_EVENT(int32* x, int32* y, int mode)
{
    if (!twBack)
        return 0;
    twBack->sync();
    for (;;) {
        const twEvent ev = twBack->nextEvent();
        int code = 0;
        switch (ev.kind) {
        case EV_PRESS:
        case EV_RELEASE:
            if (ev.button == 4 || ev.button == 5) {
                // A wheel notch arrives as a press and a release at once: one step, not two.
                if (ev.kind == EV_RELEASE)
                    continue;
                code = ev.button == 5 ? MOUSE_WHEEL_DOWN : MOUSE_WHEEL_UP;
                mouse.lastCode = code;
                return code;
            }
            if (ev.button < 1 || ev.button > 3)
                continue;
            code = twoButtonCode(&mouse.two, ev.button, ev.kind == EV_PRESS);
            break;
        case EV_MOTION:
            if (mode & 7)
                continue;
            code = MOUSE_MOVED;
            break;
        case EV_EXPOSE:
            if (ev.count != 0)
                continue;
            doRefresh();
            mouse.lastCode = MOUSE_REDRAW;
            return MOUSE_REDRAW;
        case EV_CONFIGURE:
            if (!twBack->geometryChanged())
                continue;
            doRefresh();
            mouse.lastCode = MOUSE_REDRAW;
            return MOUSE_REDRAW;
        case EV_KEY:
            noteKey(ev);
            continue;
        case EV_CLOSE:
            mouse.lastCode = MOUSE_CLOSE;
            return MOUSE_CLOSE;
        default:
            continue;
        }
        clampPointer(ev.x, ev.y);
        *x = mouse.x;
        *y = mouse.y;
        mouse.lastCode = code;
        return code;
    }
}

int GETKEY(int* c, int mode)
{
    *c = 0;
    if (!twBack)
        return -1;
    for (;;) {
        const twEvent ev = twBack->nextEvent();
        switch (ev.kind) {
        case EV_KEY:
            noteKey(ev);
            if (ev.keyClass == KEY_DELETE) {
                *c = 8;
                return 8;
            }
            if (ev.keyClass == KEY_TEXT && ev.key > 0) {
                *c = ev.key;
                return ev.key;
            }
            continue;
        case EV_EXPOSE:
            if (mode == 1)
                return -2;
            if (mouse.refresh && ev.count == 0) {
                doRefresh();
                twBack->discardEvents(false);
                return -2;
            }
            continue;
        case EV_PRESS:
            if (mode == 1 && ev.button >= 1 && ev.button <= 3) {
                clampPointer(ev.x, ev.y);
                mouse.pendingButton = twoButtonCode(&mouse.two, ev.button, true);
                return -1;
            }
            continue;
        default:
            continue;
        }
    }
}

void SET_POINTER_BOX(const int32* box)
{
    mouse.clipSet = box != nullptr;
    if (box)
        std::memcpy(mouse.clip, box, sizeof mouse.clip);
}

void SET_POINTER_BOX(const int32* box, int32 w, int32 h)
{
    int32 b[4];
    if (box)
        std::memcpy(b, box, sizeof b);
    else
        dispBox(b);
    const int32 c[4] = {b[0] + w / 2, b[1] + h / 2, std::max(b[0] + w / 2, b[2] - (w - w / 2)),
                        std::max(b[1] + h / 2, b[3] - (h - h / 2))};
    SET_POINTER_BOX(c);
}

void QUERY_POINTER(int32* x, int32* y)
{
    int32 rx = 0, ry = 0;
    if (twBack)
        twBack->queryPointer(&rx, &ry);
    clampPointer(rx, ry);
    *x = mouse.x;
    *y = mouse.y;
}

void WARP_POINTER(int32 x, int32 y)
{
    if (twBack)
        twBack->warpPointer(x, y);
}

void SET_CURSOR(int shape)
{
    if (twBack)
        twBack->setCursor(shape);
}

void DRAIN_EVENTS(bool dropExpose)
{
    if (twBack)
        twBack->discardEvents(!dropExpose);
}

void DRAIN_MOTION()
{
    if (twBack)
        twBack->dropMotion();
}

void SET_REFRESH_CALLBACK(void (*cb)())
{
    mouse.refresh = cb;
}

const int* lastKeys()
{
    return mouse.keys;
}

void TEXTWIN_IDLE(const char* what)
{
    logIdle(what);
}
