// The option lookup and the entry's decisions on its arguments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cmdline.h"

namespace {

struct Argv {
    explicit Argv(std::vector<std::string> a) : s(std::move(a))
    {
        for (auto& x : s)
            p.push_back(x.c_str());
    }
    int argc() const { return int(p.size()); }
    const char* const* argv() const { return p.data(); }
    std::vector<std::string> s;
    std::vector<const char*> p;
};

TEST(OptLookup, SeparateAndAttachedValues)
{
    Argv a({"tav", "-cd", "/data/", "-hdr", "full"});
    unsigned consumed = 0;
    std::string v;
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-cd", true, v, consumed), 1);
    EXPECT_EQ(v, "/data/");
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-hdr", true, v, consumed), 3);
    EXPECT_EQ(v, "full");
    EXPECT_EQ(consumed, 0b11110u);

    Argv b({"tav", "-cd/data/"});
    consumed = 0;
    EXPECT_EQ(optLookup(b.argc(), b.argv(), "-cd", true, v, consumed), 1);
    EXPECT_EQ(v, "/data/");
}

TEST(OptLookup, ValueStartingWithDashIsNotTakenAndConsumedArgsAreSkipped)
{
    Argv a({"tav", "-cd", "-dmin"});
    unsigned consumed = 0;
    std::string v = "stale";
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-cd", true, v, consumed), 1);
    EXPECT_EQ(v, "");
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-dmin", false, v, consumed), 2);
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-dmin", false, v, consumed), 0);
}

TEST(OptLookup, AttachedFormOnlyWhenArgumentBeginsWithTheOption)
{
    // The command string holds "-cd" inside a path: it belongs to -c.
    Argv a({"tav", "-c", "i=/x-cd.png"});
    unsigned consumed = 0;
    std::string v;
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-cd", true, v, consumed), 0);
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-c", true, v, consumed), 1);
    EXPECT_EQ(v, "i=/x-cd.png");
}

TEST(OptLookup, OnlyTheFirstSevenArgumentsAreSeen)
{
    Argv a({"tav", "a", "b", "c", "d", "e", "f", "g", "-dmax"});
    unsigned consumed = 0;
    std::string v;
    EXPECT_EQ(optLookup(a.argc(), a.argv(), "-dmax", false, v, consumed), 0);
    Argv b({"tav", "a", "b", "c", "d", "e", "f", "-dmax"});
    EXPECT_EQ(optLookup(b.argc(), b.argv(), "-dmax", false, v, consumed), 7);
    // A value beyond the seventh argument is not taken either.
    Argv c({"tav", "a", "b", "c", "d", "e", "-cd", "/dir"});
    consumed = 0;
    EXPECT_EQ(optLookup(c.argc(), c.argv(), "-cd", true, v, consumed), 6);
    EXPECT_EQ(v, "/dir");
}

TEST(OptLookup, NumericVariantRejectsNonNumbers)
{
    Argv a({"tav", "-n", "xyz", "-m", "12"});
    unsigned consumed = 0;
    std::string v;
    EXPECT_EQ(optLookupNum(a.argc(), a.argv(), "-n", v, consumed), 0);
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(optLookupNum(a.argc(), a.argv(), "-m", v, consumed), 3);
    EXPECT_EQ(v, "12");
}

TEST(LastArgument, Classification)
{
    struct Case {
        std::vector<std::string> args;
        bool regular;
        LastArg want;
    };
    const std::string longPath(300, 'a');
    const std::vector<Case> cases = {
        {{"tav"}, false, LastArg::None},
        {{"tav", "/img/scene.png"}, true, LastArg::Image},
        {{"tav", "/jobs/job.cmd"}, true, LastArg::Script},
        {{"tav", "/x/" + longPath}, true, LastArg::TooLong},
        {{"tav", "/x/a\"b'c.png"}, true, LastArg::Unquotable},
        {{"tav", "/x/nothere.png"}, false, LastArg::Missing},
        {{"tav", "-dmi"}, false, LastArg::OptionWord},
        {{"tav", "-hdr", "full"}, false, LastArg::OptionValue},
        {{"tav", "-c", "i=x.png"}, false, LastArg::OptionValue},
        {{"tav", "-dmin", "mistyped"}, false, LastArg::Missing},
    };
    for (const auto& c : cases) {
        Argv a(c.args);
        EXPECT_EQ(classifyLastArg(a.argc(), a.argv(), c.regular), c.want) << c.args.back();
    }
}

TEST(LastArgument, ImageCommandQuoting)
{
    EXPECT_EQ(buildImageCommand("/a b/c.png"), "i=\"/a b/c.png\" \n");
    EXPECT_EQ(buildImageCommand("/a/say\"hi\".png"), "i='/a/say\"hi\".png' \n");
    EXPECT_EQ(buildImageCommand("/a/it's \"x\".png"), "");
    // A long path is kept whole: a cut path could name another file.
    const std::string p = "/" + std::string(400, 'd') + "/x.png";
    EXPECT_EQ(buildImageCommand(p), "i=\"" + p + "\" \n");
}

TEST(Usage, WordsAndModes)
{
    const char* h[] = {"tav", "-H"};
    EXPECT_TRUE(wantsUsage(2, h));
    const char* x[] = {"tav", "-x", "-h"};
    EXPECT_FALSE(wantsUsage(3, x));
    EXPECT_EQ(hdrModeFromWord("MEAN3SD"), 1);
    EXPECT_EQ(hdrModeFromWord("full"), 2);
    EXPECT_EQ(hdrModeFromWord("med"), 0);
    EXPECT_EQ(hdrModeFromWord("med3sd"), 0);
    const std::string u = usageText();
    EXPECT_EQ(u.rfind("\n\n", 0), 0u);
    EXPECT_NE(u.find("     yourScript | tav            < alternate loader GUI    >\n\n"),
              std::string::npos);
}

} // namespace
