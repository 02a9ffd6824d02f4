// Transfers into a placement declared unset (a fresh block the loader did not fill) write whole
// pixels with alpha 0 and never let what the memory held show; other transfers keep the alpha
// of the earlier image. Odd widths and offsets reach the tails of the vector conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "input_fixture.h"

namespace {

using namespace tavtest;

constexpr std::uint32_t kJunk = 0xA5C3E1F7u; // what an unfilled block may hold

std::uint8_t sample(int x, int y, int b)
{
    return std::uint8_t(x * 7 + y * 13 + b * 91);
}

std::string rgbFile(int w, int h)
{
    std::vector<std::uint16_t> s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int b = 0; b < 3; ++b)
                s.push_back(sample(x, y, b));
    const std::string p = tmpPath("whole" + std::to_string(w) + "x" + std::to_string(h) + ".ppm");
    writePnm(p, w, h, 3, 255, s);
    return p;
}

std::string greyFile(int w, int h)
{
    std::vector<std::uint16_t> s;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.push_back(sample(x, y, 0));
    const std::string p = tmpPath("wgrey" + std::to_string(w) + "x" + std::to_string(h) + ".pgm");
    writePnm(p, w, h, 1, 255, s);
    return p;
}

std::uint32_t rgbWord(int x, int y)
{
    return std::uint32_t(sample(x, y, 0)) << 16 | std::uint32_t(sample(x, y, 1)) << 8 |
           sample(x, y, 2);
}

TEST(WholeRowTransfer, ColourRowsClearAlphaWhenUnsetAndKeepItOtherwise)
{
    for (int w : {16, 17, 19, 23, 61})
        for (int bx : {0, 1, 3}) {
            const std::string p = rgbFile(w, 18);
            for (bool unset : {false, true}) {
                loadTags t;
                t.bx = bx;
                t.by = 1;
                t.fill = kJunk;
                t.unset = unset;
                const loadResult r = runLoad(p, t);
                ASSERT_EQ(r.init, 0);
                ASSERT_EQ(r.load, 0);
                for (int y = 0; y < r.h; ++y)
                    for (int x = 0; x < r.w; ++x) {
                        const std::uint32_t got = r.px[std::size_t(y) * r.w + x];
                        const bool inside = x >= bx && x < bx + w && y >= 1 && y < 19;
                        const std::uint32_t want =
                            !inside ? kJunk
                                    : rgbWord(x - bx, y - 1) | (unset ? 0u : kJunk & 0xFF000000u);
                        ASSERT_EQ(got, want) << "w " << w << " bx " << bx << " unset " << unset
                                             << " at " << x << "," << y;
                    }
            }
        }
}

TEST(WholeRowTransfer, GreyOneGunAndSwappedBandsWriteWholePixelsWhenUnset)
{
    const std::string g = greyFile(21, 17), c = rgbFile(21, 17);
    struct useCase {
        std::string file;
        loadTags tags;
        std::uint32_t (*want)(int x, int y, std::uint32_t old);
    };
    std::vector<useCase> cases;
    loadTags grey;
    cases.push_back({g, grey, [](int x, int y, std::uint32_t old) {
                         return (old & 0xFF000000u) | std::uint32_t(sample(x, y, 0)) * 0x010101u;
                     }});
    loadTags gun;
    gun.gun = 1; // green
    cases.push_back({g, gun, [](int x, int y, std::uint32_t old) {
                         return (old & 0xFFFF00FFu) | std::uint32_t(sample(x, y, 0)) << 8;
                     }});
    loadTags swapped;
    swapped.bgr = true;
    cases.push_back({c, swapped, [](int x, int y, std::uint32_t old) {
                         return (old & 0xFF000000u) | std::uint32_t(sample(x, y, 2)) << 16 |
                                std::uint32_t(sample(x, y, 1)) << 8 | sample(x, y, 0);
                     }});
    for (const useCase& uc : cases)
        for (bool unset : {false, true}) {
            loadTags t = uc.tags;
            t.fill = kJunk;
            t.unset = unset;
            const loadResult r = runLoad(uc.file, t);
            ASSERT_EQ(r.load, 0) << uc.file;
            for (int y = 0; y < r.h; ++y)
                for (int x = 0; x < r.w; ++x)
                    ASSERT_EQ(r.px[std::size_t(y) * r.w + x], uc.want(x, y, unset ? 0u : kJunk))
                        << uc.file << " gun " << uc.tags.gun << " unset " << unset << " at " << x
                        << "," << y;
        }
}

TEST(WholeRowTransfer, VerticalSumsNeverReadWhatAnUnsetBlockHeld)
{
    const std::string g = greyFile(32, 40), c = rgbFile(32, 40);
    for (const std::string& f : {g, c}) {
        loadTags clean;
        clean.sy = 0.5;
        const loadResult ref = runLoad(f, clean);
        ASSERT_EQ(ref.load, 0);
        loadTags junk = clean;
        junk.fill = kJunk;
        junk.unset = true;
        const loadResult r = runLoad(f, junk);
        ASSERT_EQ(r.load, 0);
        ASSERT_EQ(r.h, ref.h);
        EXPECT_EQ(r.px, ref.px) << f;
    }
}

} // namespace
