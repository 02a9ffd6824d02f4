// End-to-end display driver: starts a program on a private Xvfb in the background, follows its
// event log, acts with XTest one step at a time, and grabs and compares screen pixels.
//
// Event log (TAV_TESTLOG), one line per event, fields separated by blanks:
//   view open X Y W H                 the view window's place on the screen and size
//   view close
//   view dmode HEX                    the view mode word at the loop's start (zoom kind in
//                                     the low four bits, 0x800 sticky menus)
//   idle WHAT                         waiting for input: main, msg, prompt, menu, dialog;
//                                     everything drawn before is on the server
//   msg show X0 Y0 X1 Y1 FLAGS TEXT   message box (view pixels, inclusive); \n in TEXT is a
//                                     line feed
//   msg hide                          the message box was removed and the view restored
//   prompt answer "TEXT" | none       what a prompt returned
//   key CODE                          a key press was read (Latin-1 code, 0x100+ for the
//                                     Control/Alt/Delete keys)
//   menu show ID LEVEL X0 Y0 X1 Y1 STEP   a menu drawn at a level, with its line step
//   menu hilite ID ROW VALUE          a row highlighted
//   menu hide ID VALUE                a level closed with the value chosen there
//   menu done VALUE OUTSIDE V0 V1 ... a menu tree ended: root value, outside flag, pupvals
//   exit STATUS [...]                 the program ends
// Input that arrives before an idle line may be discarded, so act only after one.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "harness.h"

namespace tavtest {

/// A program running in the background in its own process group.
class BgProcess {
public:
    BgProcess() = default;
    ~BgProcess();
    BgProcess(const BgProcess&) = delete;
    BgProcess& operator=(const BgProcess&) = delete;
    /// Starts the program; standard error goes to errPath.
    bool start(const std::string& program, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env, const std::string& errPath);
    /// Waits for the end; the exit status, or -1 at the time-out (the process is then killed).
    int wait(int timeoutMs);
    /// Ends the process group.
    void kill();

private:
    int pid_ = -1;
};

/// Follows an event log file.
class EventLog {
public:
    explicit EventLog(std::string path) : path_(std::move(path)) {}
    /// Waits for the next line (after those already taken) that starts with prefix;
    /// returns it, or an empty string at the time-out.
    std::string waitFor(const std::string& prefix, int timeoutMs = 10000);
    /// Every line so far.
    std::vector<std::string> lines() const;
    /// The whole log.
    std::string text() const { return readFile(path_); }

private:
    std::string path_;
    size_t next_ = 0; ///< index of the first line not yet taken
};

/// A grabbed rectangle of the screen (0x00RRGGBB pixels).
struct Shot {
    int x = 0, y = 0, w = 0, h = 0;
    std::vector<uint32_t> px;
    uint32_t at(int cx, int cy) const { return px[size_t(cy) * size_t(w) + size_t(cx)]; }
    bool operator==(const Shot& o) const { return w == o.w && h == o.h && px == o.px; }
};

/// XTest input and screen grabs on one display.
class XDriver {
public:
    explicit XDriver(const std::string& display);
    ~XDriver();
    XDriver(const XDriver&) = delete;
    XDriver& operator=(const XDriver&) = delete;
    bool ok() const { return dpy_ != nullptr; }
    /// Moves the pointer to screen (x, y).
    void move(int x, int y);
    void press(int button);
    void release(int button);
    /// A key by keysym name ("a", "Return", "BackSpace", "Delete").
    void key(const std::string& keysymName);
    /// Types printable ASCII text ('\n' as Return), pressing Shift where the keymap needs it.
    void type(const std::string& text);
    /// The viewable child of the root at a place and size (0 when none).
    unsigned long topWindowAt(int x, int y, int w, int h);
    /// Sends what a window manager sends when the user closes a window.
    void closeWindow(unsigned long window);
    /// Grabs a screen rectangle.
    Shot grab(int x, int y, int w, int h);
    /// Writes a shot as a binary PPM.
    static bool savePPM(const Shot& s, const std::string& path);

private:
    void* dpy_ = nullptr;
};

/// Splits a log line at blanks.
std::vector<std::string> fields(const std::string& line);

} // namespace tavtest
