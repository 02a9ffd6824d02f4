// The common ground of the display tests: one Xvfb per test suite, a temporary HOME per test,
// a program started in the background with its event log, XTest input, and the steps most
// tests take through the view, its main menu and the loader window.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "harness.h"
#include "xdriver.h"

namespace tavtest {

/// A test pattern every pixel of which differs from its neighbours in some gun, so that an
/// offset or a swapped gun shows at once.
uint32_t pattern(int x, int y);
/// Writes the pattern as a w x h binary PPM; returns its path.
std::string writePatternPPM(const std::string& path, int w, int h);
/// The fields of a log line from index `from` on, as numbers.
std::vector<int> ints(const std::string& line, size_t from);

/// A private Xvfb shared by the tests of a suite.
class OnXvfb : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;

    static Xvfb* server;
};

/// A rectangle of the loader window the log reported.
struct Item {
    int x = 0, y = 0, w = 0, h = 0;
    bool found = false;
};

/// One program on the suite's Xvfb, driven and followed. On a failure the screen is saved
/// and the folder kept for a look afterwards.
class Session : public OnXvfb {
protected:
    static constexpr int waitMs = 20000;

    void SetUp() override;
    void TearDown() override;

    /// DISPLAY, HOME and TAV_TESTLOG for this test.
    std::map<std::string, std::string> env() const;
    /// Starts a program in the background with env() plus `extra`.
    bool launch(const std::string& program, const std::vector<std::string>& args,
                const std::map<std::string, std::string>& extra = {});
    /// Waits for the next "view open" and takes the view's place and size.
    bool takeViewOpen();
    /// Waits for the next "view place" and takes the buffer's placement in the view.
    void takePlace();
    /// Starts tav on a pattern image of w x h and waits for the main loop.
    void startOnImage(int w, int h);
    /// The whole view as it is on the screen.
    /// The view; the ancillary column, while it is on, reads black (the roam window and the
    /// read-outs there follow the pointer).
    Shot view();
    /// Left edge of the ancillary column as last drawn, -1 while it is off.
    int columnLeft() const;
    /// A click at view (x, y).
    void click(int button, int x, int y);
    /// Every view pixel left of the ancillary column is the pattern pixel under the placement,
    /// black elsewhere; (x0, y0) in the view shows (bx, by) of the image.
    void expectShowsImage(const Shot& s, int x0, int y0, int bx, int by);
    /// The end: "exit 0", status 0 and the normal-exit line.
    void expectNormalExit();

    /// Opens the main menu at view (x, y): the menu's id, level, box and line step.
    std::vector<int> openMenu(int x, int y);
    /// The middle of a menu row (0 is the title) in view coordinates.
    static int rowY(const std::vector<int>& m, int row) { return m[3] + 4 + m[6] * row + m[6] / 2; }
    /// Chooses a main-menu row with the right button held since openMenu.
    void chooseRow(const std::vector<int>& m, int row);
    /// Opens the main menu at view (x, y), moves to mainRow (from 1 below the title), then to
    /// each row given in the menu the last one opened, and releases on the last.
    void chooseMenuPath(int mainRow, std::initializer_list<int> rows, int x = 60, int y = 30);
    /// Releases the right button where no item is: the menu ends outside, choosing nothing,
    /// and the view comes back as it was.
    void releaseOutside(const Shot& before);
    /// EXIT from the main menu, and the normal end.
    void exitByMenu();

    /// Starts tav and waits until the loader window waits for the user.
    bool startInLoader(const std::vector<std::string>& args = {});
    /// The latest rectangle logged for a loader group and label.
    Item item(const std::string& group, const std::string& label) const;
    void clickAt(const Item& it);
    /// Opens a menu of the loader's menu bar and chooses an entry.
    void choose(const std::string& menu, const std::string& entry);
    /// Types into the loader's command line and presses Enter.
    void enterCommand(const std::string& text);
    /// Waits until the log holds a text (messages span lines) after what was found before.
    bool waitText(const std::string& needle, int timeoutMs = waitMs);

    TempDir home;
    EventLog log{home.file("events.log")};
    BgProcess proc;
    std::unique_ptr<XDriver> drv;
    int vx = 0, vy = 0, vw = 0, vh = 0; ///< the view's place and size
    int imgW = 0, imgH = 0;             ///< the pattern image startOnImage made
    std::vector<int> place;             ///< "view place": X0 Y0 X1 Y1 ZOOM
    unsigned long loaderWindow = 0;     ///< the loader's shell window
    size_t seen = 0;                    ///< log offset waitText has reached
};

} // namespace tavtest
