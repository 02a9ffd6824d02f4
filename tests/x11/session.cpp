#include "session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <poll.h>

namespace tavtest {

uint32_t pattern(int x, int y)
{
    return uint32_t(((x * 3) & 0xff) << 16 | ((y * 5) & 0xff) << 8 | ((x ^ (y * 7)) & 0xff));
}

std::string writePatternPPM(const std::string& path, int w, int h)
{
    std::string d = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pattern(x, y);
            d += char((p >> 16) & 0xff);
            d += char((p >> 8) & 0xff);
            d += char(p & 0xff);
        }
    return writeFile(path, d);
}

std::vector<int> ints(const std::string& line, size_t from)
{
    std::vector<int> v;
    const std::vector<std::string> f = fields(line);
    for (size_t k = from; k < f.size(); ++k)
        v.push_back(std::stoi(f[k]));
    return v;
}

Xvfb* OnXvfb::server = nullptr;

void OnXvfb::SetUpTestSuite()
{
    server = new Xvfb(24);
}

void OnXvfb::TearDownTestSuite()
{
    delete server;
    server = nullptr;
}

void OnXvfb::SetUp()
{
    ASSERT_TRUE(server->ok()) << "Xvfb did not start";
}

void Session::SetUp()
{
    ASSERT_NO_FATAL_FAILURE(OnXvfb::SetUp());
    drv = std::make_unique<XDriver>(server->display());
    ASSERT_TRUE(drv->ok()) << "no XTest on the test server";
}

void Session::TearDown()
{
    if (HasFailure() && drv && drv->ok()) {
        const std::string shot = home.file("screen.ppm");
        XDriver::savePPM(drv->grab(0, 0, 1920, 1080), shot);
        home.keep();
        std::fprintf(stderr, "screen kept in %s; event log %s\n", shot.c_str(),
                     home.file("events.log").c_str());
    }
    proc.kill();
    drv.reset();
}

std::map<std::string, std::string> Session::env() const
{
    return {{"DISPLAY", server->display()},
            {"HOME", home.path()},
            {"TAV_TESTLOG", home.file("events.log")}};
}

bool Session::launch(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& extra)
{
    std::map<std::string, std::string> e = env();
    for (const auto& [k, v] : extra)
        e[k] = v;
    return proc.start(program, args, e, home.file("stderr.txt"));
}

bool Session::takeViewOpen()
{
    const std::vector<std::string> f = fields(log.waitFor("view open", waitMs));
    if (f.size() != 6)
        return false;
    vx = std::stoi(f[2]);
    vy = std::stoi(f[3]);
    vw = std::stoi(f[4]);
    vh = std::stoi(f[5]);
    return true;
}

void Session::takePlace()
{
    place = ints(log.waitFor("view place", waitMs), 2);
    ASSERT_EQ(place.size(), 5u) << log.text();
}

void Session::startOnImage(int w, int h)
{
    imgW = w;
    imgH = h;
    const std::string img = writePatternPPM(home.file("scene.ppm"), w, h);
    ASSERT_TRUE(launch(tavPath(), {img}));
    ASSERT_TRUE(takeViewOpen()) << log.text();
    ASSERT_NO_FATAL_FAILURE(takePlace());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
}

int Session::columnLeft() const
{
    const std::string all = log.text();
    const std::size_t at = all.rfind("\nview column ");
    if (at == std::string::npos)
        return -1;
    return std::atoi(all.c_str() + at + 13);
}

Shot Session::view()
{
    Shot s = drv->grab(vx, vy, vw, vh);
    const int left = columnLeft();
    if (left >= 0)
        for (int y = 0; y < s.h; ++y)
            for (int x = std::max(left, 0); x < s.w; ++x)
                s.px[std::size_t(y) * std::size_t(s.w) + std::size_t(x)] = 0;
    return s;
}

void Session::click(int button, int x, int y)
{
    drv->move(vx + x, vy + y);
    drv->press(button);
    drv->release(button);
}

void Session::expectShowsImage(const Shot& s, int x0, int y0, int bx, int by)
{
    ASSERT_EQ(place.size(), 5u);
    int bad = 0;
    const int left = columnLeft();
    for (int y = 0; y < s.h && bad < 5; ++y)
        for (int x = 0; x < (left >= 0 ? std::min(left, s.w) : s.w) && bad < 5; ++x) {
            const int ix = x - x0 + bx, iy = y - y0 + by;
            const bool in = x >= place[0] && x <= place[2] && y >= place[1] && y <= place[3];
            const uint32_t want = in ? pattern(ix, iy) : 0u;
            if ((s.at(x, y) & 0xffffff) != want) {
                ADD_FAILURE() << "view pixel " << x << "," << y << " is " << std::hex << s.at(x, y)
                              << " want " << want;
                ++bad;
            }
        }
}

void Session::expectNormalExit()
{
    EXPECT_FALSE(log.waitFor("exit 0", waitMs).empty());
    EXPECT_EQ(proc.wait(waitMs), 0);
    EXPECT_NE(readFile(home.file("stderr.txt")).find("\ntavMain: normal exit\n"),
              std::string::npos);
}

std::vector<int> Session::openMenu(int x, int y)
{
    drv->move(vx + x, vy + y);
    drv->press(3);
    const std::vector<int> m = ints(log.waitFor("menu show", waitMs), 2);
    EXPECT_EQ(m.size(), 7u);
    EXPECT_FALSE(log.waitFor("idle menu", waitMs).empty());
    return m;
}

void Session::chooseRow(const std::vector<int>& m, int row)
{
    ASSERT_EQ(m.size(), 7u);
    drv->move(vx + m[2] + 10, vy + rowY(m, row));
    ASSERT_FALSE(
        log.waitFor("menu hilite " + std::to_string(m[0]) + " " + std::to_string(row), waitMs)
            .empty());
    drv->release(3);
}

void Session::releaseOutside(const Shot& before)
{
    drv->release(3);
    const std::vector<std::string> d = fields(log.waitFor("menu done", waitMs));
    ASSERT_GE(d.size(), 4u);
    EXPECT_EQ(d[3], "1") << "outside";
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    EXPECT_TRUE(view() == before);
}

void Session::exitByMenu()
{
    const std::vector<int> m = openMenu(40, 40);
    ASSERT_NO_FATAL_FAILURE(chooseRow(m, 13));
    ASSERT_FALSE(log.waitFor("view status 1", waitMs).empty()) << log.text();
    expectNormalExit();
}

void Session::chooseMenuPath(int mainRow, std::initializer_list<int> rows, int x, int y)
{
    std::vector<int> m = openMenu(x, y);
    ASSERT_EQ(m.size(), 7u);
    int row = mainRow;
    for (int next : rows) {
        drv->move(vx + m[2] + 10, vy + rowY(m, row));
        m = ints(log.waitFor("menu show", waitMs), 2);
        ASSERT_EQ(m.size(), 7u) << log.text();
        row = next;
    }
    drv->move(vx + m[2] + 10, vy + rowY(m, row));
    ASSERT_FALSE(
        log.waitFor("menu hilite " + std::to_string(m[0]) + " " + std::to_string(row), waitMs)
            .empty());
    drv->release(3);
}

bool Session::startInLoader(const std::vector<std::string>& args)
{
    if (!launch(tavPath(), args))
        return false;
    const std::vector<std::string> f = fields(log.waitFor("loader shown", waitMs));
    if (f.size() != 3)
        return false;
    loaderWindow = std::stoul(f[2], nullptr, 16);
    return !log.waitFor("idle loader", waitMs).empty();
}

Item Session::item(const std::string& group, const std::string& label) const
{
    Item it;
    const std::string head = "loader item " + group + " ";
    for (const std::string& l : log.lines()) {
        if (l.rfind(head, 0) != 0)
            continue;
        const std::vector<std::string> f = fields(l);
        if (f.size() < 8)
            continue;
        // The label is what follows the four numbers (it may hold blanks).
        size_t p = head.size();
        for (int k = 0; k < 4; ++k)
            p = l.find(' ', p) + 1;
        if (l.substr(p) != label)
            continue;
        it.x = std::stoi(f[3]);
        it.y = std::stoi(f[4]);
        it.w = std::stoi(f[5]);
        it.h = std::stoi(f[6]);
        it.found = true;
    }
    return it;
}

void Session::clickAt(const Item& it)
{
    drv->move(it.x + it.w / 2, it.y + it.h / 2);
    drv->press(1);
    drv->release(1);
}

void Session::choose(const std::string& menu, const std::string& entry)
{
    const Item cascade = item("main", menu);
    ASSERT_TRUE(cascade.found) << menu;
    // On a loaded machine the first click can reach the window before the toolkit takes
    // input; a menu that did not open within a few seconds is asked for again.
    bool opened = false;
    for (int attempt = 0; attempt < 5 && !opened; ++attempt) {
        clickAt(cascade);
        opened = !log.waitFor("loader menu " + menu, waitMs / 5).empty();
    }
    ASSERT_TRUE(opened) << menu;
    const Item it = item(menu, entry);
    ASSERT_TRUE(it.found) << entry;
    clickAt(it);
}

void Session::enterCommand(const std::string& text)
{
    clickAt(item("main", "cmdW"));
    drv->type(text);
    drv->type("\n");
}

bool Session::waitText(const std::string& needle, int timeoutMs)
{
    for (int waited = 0;; waited += 10) {
        const std::string all = log.text();
        const size_t p = all.find(needle, seen);
        if (p != std::string::npos) {
            seen = p + needle.size();
            return true;
        }
        if (waited > timeoutMs)
            return false;
        poll(nullptr, 0, 10);
    }
}

} // namespace tavtest
