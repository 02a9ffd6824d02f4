// Number classifier and the pair readers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lexical.h"

namespace {

TEST(NumClass, ClassesOfTypicalTexts)
{
    const std::vector<std::pair<const char*, int>> cases = {
        {"0", 1},     {"123", 1},  {"-5", 1},    {"+7", 1},       {"1.5", 3},  {".5", 3},
        {"-0.25", 3}, {"0x1F", 2}, {"0XfF", 2},  {"1e5", 2},      {"ab", 2},   {"1.5e3", 0},
        {"1.2.3", 0}, {"", 0},     {"-", 0},     {"+.", 0},       {"12a.", 0}, {"1-2", 0},
        {"x", 0},     {"10 ", 0},  {"0x1.5", 0}, {"42\nrest", 1}, {"0x", 0},
    };
    for (const auto& [text, cls] : cases)
        EXPECT_EQ(NUMCLASS(text), cls) << '"' << text << '"';
    EXPECT_EQ(NUMCLASS(nullptr), 0);
}

TEST(Conversions, RangeAndClassChecked)
{
    int32 v = 0;
    EXPECT_TRUE(toInt32("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    EXPECT_FALSE(toInt32("2147483648", v));
    EXPECT_FALSE(toInt32("99999999999999999999", v));
    EXPECT_FALSE(toInt32("1.0", v));
    EXPECT_FALSE(toInt32("0x10", v));
    double d = 0;
    EXPECT_TRUE(toDouble("0.0625", d));
    EXPECT_DOUBLE_EQ(d, 0.0625);
    EXPECT_TRUE(toDouble("3", d));
    EXPECT_FALSE(toDouble("1e5", d));
    EXPECT_FALSE(toDouble("nan", d));
}

struct PairCase {
    const char* text;
    int status;
    int32 a, b;
    char stop;
};

TEST(PairReaders, IntegerPairs)
{
    const std::vector<PairCase> cases = {
        {"10,20", PAIR_OK, 10, 20, '\0'},    {"10 , 20 FLIP", PAIR_OK, 10, 20, ' '},
        {"7", PAIR_OK, 7, 7, '\0'},          {"-3,4\nX", PAIR_OK, -3, 4, '\n'},
        {"x,4", PAIR_BAD_FIRST, 0, 0, 0},    {"4,", PAIR_BAD_SECOND, 0, 0, 0},
        {"4,1.5", PAIR_BAD_SECOND, 0, 0, 0}, {"1.5", PAIR_BAD_FIRST, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::string buf = c.text;
        char* cur = buf.data();
        int32 a = 0, b = 0;
        char stop = 0;
        ASSERT_EQ(INT_PAIR(cur, ", ", a, b, stop), c.status);
        if (c.status == PAIR_OK) {
            EXPECT_EQ(a, c.a);
            EXPECT_EQ(b, c.b);
            EXPECT_EQ(stop, c.stop);
        }
    }
}

TEST(PairReaders, DoublePairs)
{
    std::string buf = "0.5,1";
    char* cur = buf.data();
    double a = 0, b = 0;
    char stop = 0;
    ASSERT_EQ(DBL_PAIR(cur, ", ", a, b, stop), PAIR_OK);
    EXPECT_DOUBLE_EQ(a, 0.5);
    EXPECT_DOUBLE_EQ(b, 1.0);

    buf = "0.25";
    cur = buf.data();
    ASSERT_EQ(DBL_PAIR(cur, ", ", a, b, stop), PAIR_OK);
    EXPECT_DOUBLE_EQ(b, 0.25);

    buf = "0x10";
    cur = buf.data();
    EXPECT_EQ(DBL_PAIR(cur, ", ", a, b, stop), PAIR_BAD_FIRST);
    buf = "1,abc";
    cur = buf.data();
    EXPECT_EQ(DBL_PAIR(cur, ", ", a, b, stop), PAIR_BAD_SECOND);
}

} // namespace
