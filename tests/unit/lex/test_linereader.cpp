// The line reader that scripts and the command stream go through.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "lexical.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::unique_ptr<std::FILE, FileCloser> streamOf(const std::string& text)
{
    std::FILE* f = std::tmpfile();
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    return std::unique_ptr<std::FILE, FileCloser>(f);
}

std::vector<std::string> readAll(const std::string& text, std::vector<int>* codes = nullptr)
{
    auto f = streamOf(text);
    std::vector<std::string> lines;
    std::string line;
    int r;
    while ((r = GET_CMDLINE(f.get(), line)) != LINE_EOF) {
        if (codes)
            codes->push_back(r);
        lines.push_back(r == LINE_OK ? line : "<too long>");
    }
    return lines;
}

TEST(LineReader, CommentsBlanksAndLineEnds)
{
    const auto lines = readAll("# heading\n"
                               "   # indented comment\n"
                               "\n"
                               "   \t \n"
                               "i=a.pgm BXY=1,2   # trailing comment\n"
                               "i=scene#2.pgm\n"
                               "i='x #y.pgm'\n"
                               "FLIP   \r\n"
                               "MIRR");
    const std::vector<std::string> want = {"i=a.pgm BXY=1,2", "i=scene#2.pgm", "i='x", "FLIP",
                                           "MIRR"};
    EXPECT_EQ(lines, want);
}

TEST(LineReader, LongLineIsRefusedWholeNeverSplit)
{
    const std::string ok(255, 'a');
    const std::string longer(256, 'b');
    const std::string huge(10000, 'c');
    std::vector<int> codes;
    const auto lines = readAll(ok + "\n" + longer + "\nFLIP\n" + huge + "\nMIRR\n", &codes);
    const std::vector<std::string> want = {ok, "<too long>", "FLIP", "<too long>", "MIRR"};
    EXPECT_EQ(lines, want);
    // A long comment after the command is no reason to refuse it.
    const auto withComment = readAll("FLIP # " + huge + "\n");
    EXPECT_EQ(withComment, std::vector<std::string>{"FLIP"});
}

TEST(LineReader, NullStreamAndEmptyStreamGiveEndOfFile)
{
    std::string line = "x";
    EXPECT_EQ(GET_CMDLINE(nullptr, line), LINE_EOF);
    auto f = streamOf("\n\n# only comments\n");
    EXPECT_EQ(GET_CMDLINE(f.get(), line), LINE_EOF);
}

} // namespace
