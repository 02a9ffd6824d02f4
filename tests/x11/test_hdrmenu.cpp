// The HDR scaling menu through the real view: BUFF OPS, sBUFF~, LOAD, SCALING, RANGE, HIST,
// RGB, with the levels picked by clicks in the ancillary column's histogram box, re-renders
// the picture as the loader renders the file with those bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "session.h"

using namespace tavtest;

namespace {

class HdrMenuView : public Session {};

// Four quadrants of 16-bit samples that a linear full-range render puts exactly on levels 0,
// 85, 170 and 255 (a range of 255 x 64: the factor is 1/64).
constexpr int kLevels[4] = {1000, 1000 + 85 * 64, 1000 + 170 * 64, 1000 + 255 * 64};

TEST_F(HdrMenuView, HistogramPicksRenderTheBoundsTheyGive)
{
    writeFile(home.file("TAVdefaults.txt"), "SBUFF_AUTO=true\n");
    imgW = 300;
    imgH = 200;
    std::string pgm = "P5\n300 200\n65535\n";
    for (int y = 0; y < imgH; ++y)
        for (int x = 0; x < imgW; ++x) {
            const int v = kLevels[(y >= imgH / 2) * 2 + (x >= imgW / 2)];
            pgm += char(v >> 8);
            pgm += char(v & 255);
        }
    const std::string img = writeFile(home.file("quads.pgm"), pgm);
    // Picks at the empty levels 100 and 160 widen to 85 and 170: 6440 and 11880.
    const std::string pam = home.file("picked.pam");
    ASSERT_EQ(std::system((std::string(TAV_TEST_BINDIR) + "/tests/tools/loaddrv/tav_loaddrv -o " +
                           pam + " 'i=\"" + img + "\" HDR=rgb,lin,lo-hi,6440,11880' 2>/dev/null")
                              .c_str()),
              0);
    const std::string rendered = readFile(pam);
    const std::size_t at = rendered.find("ENDHDR\n");
    ASSERT_NE(at, std::string::npos);
    const std::string rgba = rendered.substr(at + 7);
    ASSERT_EQ(rgba.size(), std::size_t(imgW) * imgH * 4);

    ASSERT_TRUE(launch(tavPath(), {img}));
    ASSERT_TRUE(takeViewOpen()) << log.text();
    ASSERT_NO_FATAL_FAILURE(takePlace());
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());
    const int left = columnLeft();
    ASSERT_GE(left, 0) << "the ancillary column is on";
    // The graph box: the 256 rows above the roam window's 224; level i at its left + 1 + i.
    const int y = vh - 225 - 100;
    auto binX = [left](int level) { return left + 1 + level; };

    // BUFF OPS, sBUFF~, LOAD, SCALING, RANGE, HIST, RGB.
    ASSERT_NO_FATAL_FAILURE(chooseMenuPath(4, {1, 0, 1, 3, 1, 0}));
    for (int g = 0; g < 3; ++g) {
        ASSERT_FALSE(log.waitFor("msg show", waitMs).empty()) << log.text();
        click(1, binX(100), y);
        ASSERT_FALSE(log.waitFor("hdr pick low 100", waitMs).empty()) << log.text();
        ASSERT_FALSE(log.waitFor("msg show", waitMs).empty());
        click(1, binX(160), y);
        ASSERT_FALSE(log.waitFor("hdr pick high 160", waitMs).empty()) << log.text();
        ASSERT_FALSE(log.waitFor("msg show", waitMs).empty());
        click(1, binX(10), y); // accept
        ASSERT_FALSE(log.waitFor("hdr pick accept " + std::to_string(g), waitMs).empty());
    }
    ASSERT_FALSE(log.waitFor("hdr render ibuff 0", waitMs).empty()) << log.text();
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty());

    const auto* px = reinterpret_cast<const unsigned char*>(rgba.data());
    const Shot s = view();
    int bad = 0, lit = 0;
    for (int vy0 = place[1]; vy0 <= place[3] && bad < 5; ++vy0)
        for (int vx0 = place[0]; vx0 <= place[2] && bad < 5; ++vx0) {
            const unsigned char* p =
                px + (std::size_t(vy0 - place[1]) * imgW + std::size_t(vx0 - place[0])) * 4;
            const uint32_t want = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            lit += p[0] == 255;
            if ((s.at(vx0, vy0) & 0xffffff) != want) {
                ADD_FAILURE() << "view pixel " << vx0 << "," << vy0 << " is " << std::hex
                              << s.at(vx0, vy0) << " want " << want;
                ++bad;
            }
        }
    EXPECT_EQ(lit, imgW * imgH / 2) << "the two upper levels at 255, the two lower at 0";
    if (HasFailure())
        home.keep();
    exitByMenu();
}

} // namespace
