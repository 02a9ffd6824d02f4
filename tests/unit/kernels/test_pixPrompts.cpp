// The pixel operations' prompt answers: what each accepts, what it refuses and with which text.
#include <gtest/gtest.h>

#include <string>

#include "pixPrompts.h"

namespace {

TEST(PixPrompts, McdIterationsDecimalOneTo256)
{
    const struct {
        const char* answer;
        const char* msg;
        int32 n;
    } cases[] = {
        {"12", "", 12},
        {" 256\n", "", 256},
        {"1", "", 1},
        {"12x", "You must enter a decimal integer.", 0},
        {"0x10", "You must enter a decimal integer.", 0},
        {"3.5", "You must enter a decimal integer.", 0},
        {"", "You must enter a decimal integer.", 0},
        {"0", "Iterations must be > 0 or < 256", 0},
        {"257", "Iterations must be > 0 or < 256", 0},
        {"-4", "Iterations must be > 0 or < 256", 0},
    };
    for (const auto& c : cases) {
        int32 n = 0;
        EXPECT_EQ(parseMcdIterations(c.answer, &n), c.msg) << c.answer;
        EXPECT_EQ(n, c.n) << c.answer;
    }
}

TEST(PixPrompts, DaubechiesLengthTakesNextFilter)
{
    const std::pair<const char*, int32> taken[] = {{"4", 4},   {"2", 4},   {"5", 6},   {"6", 6},
                                                   {"13", 14}, {"14", 14}, {"15", 16}, {"99", 16}};
    for (const auto& [answer, want] : taken) {
        int32 n = 0;
        EXPECT_EQ(parseDaubechiesLength(answer, &n), "") << answer;
        EXPECT_EQ(n, want) << answer;
    }
    for (const char* bad : {"six", "6.0", ""}) {
        int32 n = -1;
        EXPECT_EQ(parseDaubechiesLength(bad, &n),
                  "ERROR: You must select an integer from the list.");
        EXPECT_EQ(n, -1) << bad;
    }
}

TEST(PixPrompts, PacketPathPairsOfFilters)
{
    const std::pair<const char*, const char*> taken[] = {
        {"LL HH LH HL", "00110110"},
        {"ll,hh lh", "001101"},
        {"0110", "0110"},
        {"LL\n", "00"},
        {"LL HH LH HL LL HH LH HL", "0011011000110110"}};
    for (const auto& [answer, want] : taken) {
        std::string p;
        EXPECT_EQ(parsePacketPath(answer, &p), "") << answer;
        EXPECT_EQ(p, want) << answer;
    }
    const std::pair<const char*, const char*> refused[] = {
        {"LX", "Recognized filters are 'L' or 'H'"},
        {"LL;HH", "Recognized filters are 'L' or 'H'"},
        {"LLH", "Two filters per scale level are needed (X,Y pairs)."},
        {"  ", "Two filters per scale level are needed (X,Y pairs)."},
        {"LL HH LH HL LL HH LH HL LL", "At most 8 scale levels (16 filters) in a path."}};
    for (const auto& [answer, msg] : refused) {
        std::string p = "kept";
        EXPECT_EQ(parsePacketPath(answer, &p), msg) << answer;
        EXPECT_EQ(p, "kept") << answer;
    }
}

} // namespace
