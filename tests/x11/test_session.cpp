// A user's session on a private Xvfb, across the view and the loader window: the standing
// preferences of the defaults file, the round trip through the loader, and an image named
// on the loader's command line. Followed through the event log.
#include <gtest/gtest.h>

#include <algorithm>

#include "session.h"

using namespace tavtest;

namespace {

class SessionX : public Session {
protected:
    std::vector<int> viewBox() const { return {vx, vy, vw, vh}; }
    /// The view mode word the view started with.
    unsigned viewMode() const
    {
        for (const std::string& l : log.lines())
            if (l.rfind("view dmode ", 0) == 0)
                return unsigned(std::stoul(fields(l)[2], nullptr, 16));
        ADD_FAILURE() << "no view dmode line";
        return 0;
    }
};

TEST_F(SessionX, DefaultsFileSetsViewSizeZoomModeAndStickyMenus)
{
    writeFile(home.file("TAVdefaults.txt"),
              "DISPLAY_SIZE=1024,800\nZOOM_MODE=BILINEAR\nFAST_MENU=false\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    // The maximum size fits in 0.85 of the 1920 x 1080 screen: taken as it is, centred.
    EXPECT_EQ(viewBox(), (std::vector<int>{448, 140, 1024, 800}));
    EXPECT_EQ(place, (std::vector<int>{233, 300, 532, 499, 1}));
    expectShowsImage(view(), place[0], place[1], 0, 0);
    const unsigned mode = viewMode();
    EXPECT_EQ(mode & 0xfu, 0x2u) << "bilinear zoom, and no other zoom kind";
    EXPECT_EQ(mode & 0x800u, 0x800u) << "sticky menus";

    // Sticky: releasing the right button leaves the menu up; a later click chooses.
    const std::vector<int> m = openMenu(40, 40);
    ASSERT_EQ(m.size(), 7u);
    drv->release(3);
    drv->move(vx + m[2] + 10, vy + rowY(m, 13));
    ASSERT_FALSE(log.waitFor("menu hilite " + std::to_string(m[0]) + " 13", waitMs).empty())
        << log.text();
    EXPECT_EQ(log.text().find("menu done"), std::string::npos) << "the release ended the menu";
    drv->press(1);
    drv->release(1);
    const std::vector<std::string> done = fields(log.waitFor("menu done", waitMs));
    ASSERT_GE(done.size(), 4u);
    EXPECT_EQ(done[2], "13");
    EXPECT_EQ(done[3], "0") << "chosen inside";
    ASSERT_FALSE(log.waitFor("view status 1", waitMs).empty()) << log.text();
    expectNormalExit();
}

TEST_F(SessionX, FullScreenFromTheDefaultsFile)
{
    writeFile(home.file("TAVdefaults.txt"), "DISPLAY_SIZE=FULLSCREEN\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    EXPECT_EQ(viewBox(), (std::vector<int>{0, 0, 1920, 1048}));
    // Centred left of the ancillary column: (1920 - 258 - 300) / 2, (1048 - 200) / 2.
    EXPECT_EQ(place, (std::vector<int>{681, 424, 980, 623, 1}));
    expectShowsImage(view(), place[0], place[1], 0, 0);
    // Without the file's key the zoom and menus stay as they start: bicubic, fast.
    const unsigned mode = viewMode();
    EXPECT_EQ(mode & 0xfu, 0x4u);
    EXPECT_EQ(mode & 0x800u, 0u);
    exitByMenu();
}

TEST_F(SessionX, LoaderHidesTheViewAndAnEmptyExploitReturnsToTheSameArea)
{
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    const int x = vx, y = vy, w = vw, h = vh;
    const std::vector<int> area = place;
    const Shot before = view();

    const std::vector<int> m = openMenu(40, 40);
    ASSERT_NO_FATAL_FAILURE(chooseRow(m, 12));
    ASSERT_FALSE(log.waitFor("view close", waitMs).empty());
    ASSERT_FALSE(log.waitFor("view status 0", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("loader shown", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle loader", waitMs).empty()) << log.text();
    EXPECT_EQ(drv->topWindowAt(x, y, w, h), 0u) << "the view is hidden";
    const std::string text = log.text();
    const size_t closed = text.find("view close");
    EXPECT_NE(text.find("loader message \n\n     [MBytes] Free Ram= ", closed), std::string::npos)
        << "free-memory line after the view: " << text;

    // Nothing on the list: the buffer already loaded goes back on the screen as it was.
    ASSERT_NO_FATAL_FAILURE(choose("File", "Exploit"));
    ASSERT_TRUE(takeViewOpen()) << log.text();
    EXPECT_EQ(viewBox(), (std::vector<int>{x, y, w, h}));
    ASSERT_NO_FATAL_FAILURE(takePlace());
    EXPECT_EQ(place, area);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before) << "the same area, pixel for pixel";
    EXPECT_EQ(log.text().find("Parsing:", closed), std::string::npos) << "nothing loaded again";
    exitByMenu();
}

TEST_F(SessionX, LoaderAndBackKeepsTheZoomedArea)
{
    // ZOOM doubles what the view shows, the return redraws from the buffer: only replication
    // makes the two the same pixels (interpolation blends the image's edge with the margin).
    writeFile(home.file("TAVdefaults.txt"), "ZOOM_MODE=REPLICATE\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    // Brief notes wait for a few pointer moves.
    auto passBriefNote = [this] {
        ASSERT_FALSE(log.waitFor("idle msg", waitMs).empty()) << log.text();
        for (int k = 0; k < 4; ++k)
            drv->move(vx + 20 + 3 * k, vy + 20);
    };
    // PAN / ZOOM, ZOOM: one click on the image's middle doubles it, the right button leaves.
    const std::vector<int> m = openMenu(40, 40);
    drv->move(vx + m[2] + 10, vy + rowY(m, 6));
    const std::vector<int> sub = ints(log.waitFor("menu show", waitMs), 2);
    ASSERT_EQ(sub.size(), 7u);
    drv->move(vx + sub[2] + 10, vy + rowY(sub, 1));
    ASSERT_FALSE(log.waitFor("menu hilite " + std::to_string(sub[0]) + " 1", waitMs).empty());
    drv->release(3);
    ASSERT_NO_FATAL_FAILURE(passBriefNote());
    ASSERT_FALSE(log.waitFor("idle zoom", waitMs).empty()) << log.text();
    click(1, (place[0] + place[2]) / 2, (place[1] + place[3]) / 2);
    ASSERT_FALSE(log.waitFor("idle zoom", waitMs).empty()) << log.text();
    drv->press(3);
    drv->release(3);
    ASSERT_NO_FATAL_FAILURE(passBriefNote());
    const std::vector<int> zoomed = ints(log.waitFor("zoom end", waitMs), 2);
    ASSERT_EQ(zoomed.size(), 3u) << log.text();
    EXPECT_EQ(zoomed[2], 2);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot before = view();

    const std::vector<int> m2 = openMenu(40, 40);
    ASSERT_NO_FATAL_FAILURE(chooseRow(m2, 12));
    ASSERT_FALSE(log.waitFor("idle loader", waitMs).empty()) << log.text();
    ASSERT_NO_FATAL_FAILURE(choose("File", "Exploit"));
    ASSERT_TRUE(takeViewOpen()) << log.text();
    ASSERT_NO_FATAL_FAILURE(takePlace());
    EXPECT_EQ(place[4], 2) << "the zoom is kept";
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const Shot after = view();
    EXPECT_TRUE(after == before) << "the same area, pixel for pixel";
    // Under REPLICATE each buffer pixel is a 2 x 2 block of the view, the buffer's own value.
    const int bx = std::max(zoomed[0], 0), by = std::max(zoomed[1], 0);
    const int right = columnLeft() >= 0 ? std::min(place[2], columnLeft() - 1) : place[2];
    int bad = 0;
    for (int y = place[1]; y <= place[3] && bad < 5; ++y)
        for (int x = place[0]; x <= right && bad < 5; ++x) {
            const uint32_t want = pattern(bx + (x - place[0]) / 2, by + (y - place[1]) / 2);
            if ((after.at(x, y) & 0xffffffu) != want) {
                ADD_FAILURE() << "view pixel " << x << "," << y << " is " << std::hex
                              << after.at(x, y) << " want " << want;
                ++bad;
            }
        }
    exitByMenu();
}

TEST_F(SessionX, CommandLineSubmittedWithExploitShowsTheImage)
{
    const std::string img = writePatternPPM(home.file("typed.ppm"), 300, 200);
    ASSERT_TRUE(startInLoader());
    enterCommand("i=" + img);
    ASSERT_FALSE(log.waitFor("loader message i=" + img, waitMs).empty());
    ASSERT_NO_FATAL_FAILURE(choose("File", "Exploit"));
    ASSERT_TRUE(waitText("loader message \nParsing: i=" + img)) << log.text();
    ASSERT_TRUE(takeViewOpen()) << log.text();
    EXPECT_EQ(viewBox(), (std::vector<int>{576, 156, 768, 768}));
    ASSERT_NO_FATAL_FAILURE(takePlace());
    EXPECT_EQ(place, (std::vector<int>{105, 284, 404, 483, 1}));
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    expectShowsImage(view(), place[0], place[1], 0, 0);
    exitByMenu();
}

} // namespace
