// The tokenizer on the texts loader commands, menus and prompts hand it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lexical.h"

namespace {

struct Tok {
    std::string text;
    char stop;
};

// Splits a whole text with one delimiter set, as a caller looping to the end
// would.
std::vector<Tok> split(std::string text, const char* delims)
{
    std::vector<Tok> out;
    char* cur = text.data();
    for (int guard = 0; guard < 32; ++guard) {
        char stop = '\0';
        const char* t = NXTTOKEN(cur, delims, stop);
        out.push_back({t, stop});
        if (stop == '\0')
            break;
    }
    return out;
}

struct TokCase {
    const char* input;
    const char* delims;
    std::vector<Tok> expected;
};

TEST(Tokenizer, SplitsAsTheTagLanguageExpects)
{
    const std::vector<TokCase> cases = {
        // blanks around signs read like none
        {"BXY = 10 , 20", "= ,", {{"BXY", '='}, {"10", ','}, {"20", '\0'}}},
        {"  FLIP   MIRR", "= ", {{"FLIP", ' '}, {"MIRR", '\0'}}},
        // a quoted text keeps its blanks and its stop is the quote
        {"\"my scene.pgm\"  BXY", ", ", {{"my scene.pgm", '"'}, {"BXY", '\0'}}},
        {"'a b'", ", ", {{"a b", '\''}, {"", '\0'}}},
        // an unclosed quote is an ordinary character
        {"'abc,d", ", ", {{"'abc", ','}, {"d", '\0'}}},
        // a quote that is a delimiter does not open a quoted token
        {"'key text'", "' ", {{"", '\''}, {"key", ' '}, {"text", '\''}, {"", '\0'}}},
        // escaped delimiter stays in the token, the backslash goes
        {"x\\,y.pgm,z", ", ", {{"x,y.pgm", ','}, {"z", '\0'}}},
        {"a\\ b c", ", ", {{"a b", ' '}, {"c", '\0'}}},
        // escaped leading blank with a set that has no blank
        {"\\ lead,x", ",", {{" lead", ','}, {"x", '\0'}}},
        // a backslash before an ordinary character is kept
        {"a\\b", ", ", {{"a\\b", '\0'}}},
        // newline ends the token and is consumed; CR before it is dropped
        {"i=a\r\nFLIP", "= ", {{"i", '='}, {"a", '\n'}, {"FLIP", '\0'}}},
        {"GUN=R  \nX", "= ,", {{"GUN", '='}, {"R", '\n'}, {"X", '\0'}}},
        // colour brackets
        {"<1, 2 ,3>", "<, >", {{"", '<'}, {"1", ','}, {"2", ','}, {"3", '>'}, {"", '\0'}}},
        {"", "= ", {{"", '\0'}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        const auto got = split(c.input, c.delims);
        ASSERT_EQ(got.size(), c.expected.size());
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].text, c.expected[i].text) << "token " << i;
            EXPECT_EQ(got[i].stop, c.expected[i].stop) << "token " << i;
        }
    }
}

TEST(Tokenizer, QuotedTokenDoesNotReachIntoTheNextLine)
{
    std::string text = "'abc\ndef'";
    char* cur = text.data();
    char stop = 0;
    EXPECT_STREQ(NXTTOKEN(cur, ", ", stop), "'abc");
    EXPECT_EQ(stop, '\n');
    EXPECT_STREQ(NXTTOKEN(cur, ", ", stop), "def'");
}

TEST(WholeWordCompare, LengthAndCaseRules)
{
    EXPECT_TRUE(WORDEQ("bxy", "BXY"));
    EXPECT_TRUE(WORDEQ("BgrToRgb", "BGRtoRGB"));
    EXPECT_FALSE(WORDEQ("BXYZ", "BXY"));
    EXPECT_FALSE(WORDEQ("BX", "BXY"));
    EXPECT_TRUE(WORDEQ("", ""));
}

} // namespace
