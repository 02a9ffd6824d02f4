// The calculator on a private Xvfb: chosen from the main menu, its console takes typed lines;
// a line in the display scope changes the view under the FG AOI (the whole image here) and
// UNDO puts it back; in GLOBAL scope a line changes the buffer, which the view then shows.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include "session.h"

using namespace tavtest;

namespace {

class Calculator : public Session {
protected:
    // Types a line at the console and waits until the next line is asked for.
    void typeLine(const std::string& line)
    {
        drv->type(line + "\n");
        ASSERT_FALSE(log.waitFor("calc line " + line, waitMs).empty()) << log.text();
        ASSERT_FALSE(log.waitFor("idle calc", waitMs).empty()) << log.text();
    }
    // Every image pixel outside the console is want(pattern pixel); counts the ones checked.
    template <typename F> int expectImage(const Shot& s, F want)
    {
        int bad = 0, checked = 0;
        for (int y = place[1]; y <= place[3] && bad < 5; ++y)
            for (int x = place[0]; x <= place[2] && bad < 5; ++x) {
                if (x >= console[0] && x <= console[2] && y >= console[1] && y <= console[3])
                    continue;
                const uint32_t p = pattern(x - place[0], y - place[1]);
                ++checked;
                if ((s.at(x, y) & 0xffffff) != want(p)) {
                    ADD_FAILURE() << "view pixel " << x << "," << y << " is " << std::hex
                                  << s.at(x, y) << " want " << want(p);
                    ++bad;
                }
            }
        return checked;
    }
    std::vector<int> console{0, 0, -1, -1};
};

TEST_F(Calculator, TypedLineChangesViewUndoRestoresAndGlobalChangesTheBuffer)
{
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const std::vector<int> m = openMenu(40, 40);
    ASSERT_NO_FATAL_FAILURE(chooseRow(m, 8));
    console = ints(log.waitFor("calc console", waitMs), 2);
    ASSERT_EQ(console.size(), 4u) << log.text();
    ASSERT_FALSE(log.waitFor("idle calc", waitMs).empty()) << log.text();
    EXPECT_GT(expectImage(view(), [](uint32_t p) { return p; }), 1000);

    ASSERT_NO_FATAL_FAILURE(typeLine("R G + 2 / : B"));
    EXPECT_GT(expectImage(view(),
                          [](uint32_t p) {
                              return (p & 0xffff00u) | (((p >> 16 & 0xff) + (p >> 8 & 0xff)) / 2);
                          }),
              1000);
    ASSERT_NO_FATAL_FAILURE(typeLine("UNDO"));
    EXPECT_GT(expectImage(view(), [](uint32_t p) { return p; }), 1000);

    ASSERT_NO_FATAL_FAILURE(typeLine("GLOBAL"));
    ASSERT_NO_FATAL_FAILURE(typeLine("R 0 * : G"));
    EXPECT_NE(log.text().find("\ncalc put iBUFF operation done\n"), std::string::npos);
    EXPECT_GT(expectImage(view(), [](uint32_t p) { return p & 0xff00ffu; }), 1000);

    // Leaving takes the console away; the whole image shows the changed buffer.
    drv->type("\n");
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    console = {0, 0, -1, -1};
    EXPECT_EQ(expectImage(view(), [](uint32_t p) { return p & 0xff00ffu; }), 300 * 200);
    exitByMenu();
}

// An exposure while the console waits repaints the view and ends the calculator; the console's
// saved pixels are stale then and must not be put back over the repaired view.
TEST_F(Calculator, ExposureEndsTheConsoleWithoutPuttingBackStalePixels)
{
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const std::vector<int> m = openMenu(40, 40);
    ASSERT_NO_FATAL_FAILURE(chooseRow(m, 8));
    ASSERT_FALSE(log.waitFor("idle calc", waitMs).empty()) << log.text();
    ASSERT_NO_FATAL_FAILURE(typeLine("R 0 * : R G B"));
    Display* d = XOpenDisplay(server->display().c_str());
    ASSERT_NE(d, nullptr);
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = 0x00ff00;
    const Window w =
        XCreateWindow(d, DefaultRootWindow(d), vx + 20, vy + 20, 300, 400, 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    XMapRaised(d, w);
    XSync(d, False);
    XUnmapWindow(d, w);
    XDestroyWindow(d, w);
    XSync(d, False);
    XCloseDisplay(d);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty()) << log.text();
    // The display accumulator held the view from before the calculator: that is what shows.
    expectShowsImage(view(), place[0], place[1], 0, 0);
    exitByMenu();
}

} // namespace
