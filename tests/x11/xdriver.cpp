#include "xdriver.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace tavtest {

namespace {

Display* D(void* p)
{
    return static_cast<Display*>(p);
}

using clk = std::chrono::steady_clock;

} // namespace

BgProcess::~BgProcess()
{
    kill();
}

bool BgProcess::start(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, const std::string& errPath)
{
    const pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        setpgid(0, 0);
        for (const auto& [k, v] : env)
            setenv(k.c_str(), v.c_str(), 1);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0)
            dup2(err, 2);
        const int nul = open("/dev/null", O_RDWR);
        if (nul >= 0) {
            dup2(nul, 0);
            dup2(nul, 1);
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    pid_ = pid;
    return true;
}

int BgProcess::wait(int timeoutMs)
{
    if (pid_ <= 0)
        return -1;
    const auto end = clk::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int st = 0;
        const pid_t r = waitpid(pid_, &st, WNOHANG);
        if (r == pid_) {
            pid_ = -1;
            return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        }
        if (clk::now() > end) {
            kill();
            return -1;
        }
        // Polling the child's end; the process has no other channel to announce it.
        poll(nullptr, 0, 20);
    }
}

void BgProcess::kill()
{
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        int st;
        waitpid(pid_, &st, 0);
        pid_ = -1;
    }
}

std::vector<std::string> EventLog::lines() const
{
    std::vector<std::string> out;
    std::istringstream in(readFile(path_));
    std::string l;
    while (std::getline(in, l))
        out.push_back(l);
    return out;
}

std::string EventLog::waitFor(const std::string& prefix, int timeoutMs)
{
    const auto end = clk::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const std::string all = readFile(path_);
        // Only complete lines count.
        std::vector<std::string> ls;
        size_t p = 0;
        for (size_t e; (e = all.find('\n', p)) != std::string::npos; p = e + 1)
            ls.push_back(all.substr(p, e - p));
        for (size_t k = next_; k < ls.size(); ++k)
            if (ls[k].rfind(prefix, 0) == 0) {
                next_ = k + 1;
                return ls[k];
            }
        if (clk::now() > end)
            return {};
        poll(nullptr, 0, 10);
    }
}

std::vector<std::string> fields(const std::string& line)
{
    std::vector<std::string> f;
    std::istringstream in(line);
    std::string w;
    while (in >> w)
        f.push_back(w);
    return f;
}

XDriver::XDriver(const std::string& display)
{
    Display* d = XOpenDisplay(display.c_str());
    int ev, err, maj, min;
    if (d && !XTestQueryExtension(d, &ev, &err, &maj, &min)) {
        XCloseDisplay(d);
        d = nullptr;
    }
    dpy_ = d;
}

XDriver::~XDriver()
{
    if (dpy_)
        XCloseDisplay(D(dpy_));
}

void XDriver::move(int x, int y)
{
    XTestFakeMotionEvent(D(dpy_), DefaultScreen(D(dpy_)), x, y, CurrentTime);
    XSync(D(dpy_), False);
}

void XDriver::press(int button)
{
    XTestFakeButtonEvent(D(dpy_), unsigned(button), True, CurrentTime);
    XSync(D(dpy_), False);
}

void XDriver::release(int button)
{
    XTestFakeButtonEvent(D(dpy_), unsigned(button), False, CurrentTime);
    XSync(D(dpy_), False);
}

void XDriver::key(const std::string& name)
{
    const KeySym ks = XStringToKeysym(name.c_str());
    const KeyCode kc = XKeysymToKeycode(D(dpy_), ks);
    if (!kc)
        return;
    XTestFakeKeyEvent(D(dpy_), kc, True, CurrentTime);
    XTestFakeKeyEvent(D(dpy_), kc, False, CurrentTime);
    XSync(D(dpy_), False);
}

void XDriver::type(const std::string& text)
{
    Display* d = D(dpy_);
    const KeyCode shift = XKeysymToKeycode(d, XK_Shift_L);
    for (unsigned char c : text) {
        // Printable Latin-1 characters are their own keysyms.
        const KeySym ks = c == '\n' ? XK_Return : KeySym(c);
        const KeyCode kc = XKeysymToKeycode(d, ks);
        if (!kc)
            continue;
        const bool shifted = XkbKeycodeToKeysym(d, kc, 0, 0) != ks;
        if (shifted)
            XTestFakeKeyEvent(d, shift, True, CurrentTime);
        XTestFakeKeyEvent(d, kc, True, CurrentTime);
        XTestFakeKeyEvent(d, kc, False, CurrentTime);
        if (shifted)
            XTestFakeKeyEvent(d, shift, False, CurrentTime);
        XSync(d, False);
    }
}

unsigned long XDriver::topWindowAt(int x, int y, int w, int h)
{
    Display* d = D(dpy_);
    Window root = DefaultRootWindow(d), parent = 0, *kids = nullptr, found = 0;
    unsigned n = 0;
    XQueryTree(d, root, &root, &parent, &kids, &n);
    for (unsigned k = 0; k < n; ++k) {
        XWindowAttributes wa{};
        XGetWindowAttributes(d, kids[k], &wa);
        if (wa.map_state == IsViewable && wa.x == x && wa.y == y && wa.width == w && wa.height == h)
            found = kids[k];
    }
    if (kids)
        XFree(kids);
    return found;
}

void XDriver::closeWindow(unsigned long window)
{
    Display* d = D(dpy_);
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = window;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &ev);
    XSync(d, False);
}

Shot XDriver::grab(int x, int y, int w, int h)
{
    Shot s;
    Display* d = D(dpy_);
    XImage* im =
        XGetImage(d, DefaultRootWindow(d), x, y, unsigned(w), unsigned(h), AllPlanes, ZPixmap);
    if (!im)
        return s;
    s.x = x;
    s.y = y;
    s.w = w;
    s.h = h;
    s.px.resize(size_t(w) * size_t(h));
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            s.px[size_t(r) * size_t(w) + size_t(c)] = uint32_t(XGetPixel(im, c, r)) & 0xffffff;
    XDestroyImage(im);
    return s;
}

bool XDriver::savePPM(const Shot& s, const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    std::fprintf(f, "P6\n%d %d\n255\n", s.w, s.h);
    for (uint32_t p : s.px) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16),
                                      static_cast<unsigned char>(p >> 8),
                                      static_cast<unsigned char>(p)};
        std::fwrite(rgb, 1, 3, f);
    }
    return std::fclose(f) == 0;
}

} // namespace tavtest
