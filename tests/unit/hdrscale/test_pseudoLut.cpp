// Pseudo-colour tables: the sine curves held at 255 at their peaks, steps and teeth, and the
// argument checks.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>

#include "pseudoLut.h"

namespace {

struct tables {
    charu r[256], g[256], b[256];
};

TEST(PseudoLut, PeaksAreHeldAt255NotWrappedToBlack)
{
    tables t{};
    const int32 range[2] = {0, 255};
    ASSERT_EQ(PSEUDO_LUT(range, t.r, t.g, t.b, 256, 0, 0, 1.0), 0);
    int peak = 0;
    for (int i = 0; i < 256; ++i)
        if (t.b[i] > t.b[peak])
            peak = i;
    EXPECT_EQ(t.b[peak], 255);
    for (int i = peak - 3; i <= peak + 3; ++i)
        EXPECT_GT(t.b[i], 250) << i;
    EXPECT_EQ(t.b[0], 0);
    EXPECT_EQ(t.g[0], 0) << "negative sines stay 0";
}

TEST(PseudoLut, StepsAndTeeth)
{
    tables t{};
    const int32 range[2] = {255, 0}; // taken in order
    ASSERT_EQ(PSEUDO_LUT(range, t.r, t.g, t.b, 256, 4, 0, 1.0), 0);
    std::set<int> colours;
    for (int i = 0; i < 256; ++i)
        colours.insert(t.r[i] << 16 | t.g[i] << 8 | t.b[i]);
    EXPECT_EQ(colours.size(), 4u);
    ASSERT_EQ(PSEUDO_LUT(range, t.r, t.g, t.b, 256, PSL_COMB | 2, 0, 1.0), 0);
    for (int i = 0; i < 128; ++i)
        ASSERT_LE(std::abs(int(t.r[i]) - int(t.r[255 - i])), 1) << "two teeth mirror " << i;
}

TEST(PseudoLut, InvalidArgumentsWriteNothing)
{
    const int32 narrow[2] = {10, 24}, ok[2] = {0, 255};
    struct Case {
        const int32* range;
        int32 count;
        int32u mode;
        int32 offset;
        double scale;
    };
    const Case cases[] = {
        {narrow, 256, 0, 0, 1.0},  {ok, 0, 0, 0, 1.0},   {ok, 65536, 0, 0, 1.0},
        {ok, 256, 0, -1, 1.0},     {ok, 256, 0, 0, 0.5}, {ok, 256, PSL_COMB, 0, 1.0},
        {nullptr, 256, 0, 0, 1.0},
    };
    for (const Case& c : cases) {
        tables t;
        std::memset(&t, 0x33, sizeof t);
        EXPECT_EQ(PSEUDO_LUT(c.range, t.r, t.g, t.b, c.count, c.mode, c.offset, c.scale), -1);
        EXPECT_EQ(t.r[0], 0x33);
    }
}

} // namespace
