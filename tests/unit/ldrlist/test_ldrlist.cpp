// The loader window's bookkeeping: the load list never overruns, the message queue stays
// inside its 256-byte text, and the lines the file selectors build read back as the name.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ldrList.h"
#include "lexical.h"

namespace {

TEST(LoadList, GrowsSoThatEveryAppendFitsWithSpare)
{
    ldrLoadList list;
    EXPECT_EQ(list.capacity(), 1024u);
    std::string expect;
    const std::string line = std::string(255, 'x') + "\n";
    for (int k = 0; k < 40; ++k) {
        list.append(line);
        expect += line;
        ASSERT_EQ(list.size(), expect.size());
        EXPECT_GE(list.capacity(), list.size() + 256) << "after line " << k;
        EXPECT_EQ(list.capacity() % 1024, 0u);
    }
    EXPECT_EQ(std::string(list.text()), expect);
    EXPECT_EQ(list.text()[list.size()], '\0');

    // One text longer than a whole growth step.
    const std::string big(5000, 'b');
    list.append(big);
    expect += big;
    EXPECT_EQ(std::string(list.text()), expect);
    EXPECT_GE(list.capacity(), list.size() + 256);
}

TEST(LoadList, ReleaseHandsOverTheTextAndStartsAgain)
{
    ldrLoadList list;
    EXPECT_EQ(list.release(), nullptr) << "an empty list gives nothing";

    list.append("i=a.pgm\n");
    list.append(std::string(3000, 'y'));
    char* got = list.release();
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(std::string(got), "i=a.pgm\n" + std::string(3000, 'y'));
    std::free(got);
    EXPECT_EQ(list.size(), 0u);
    EXPECT_EQ(list.capacity(), 1024u);
    EXPECT_EQ(list.release(), nullptr);

    list.append("one\n");
    list.clear();
    EXPECT_EQ(list.size(), 0u);
    EXPECT_STREQ(list.text(), "");
    EXPECT_EQ(list.release(), nullptr) << "a cleared list submits nothing";
    list.append("two");
    got = list.release();
    EXPECT_STREQ(got, "two");
    std::free(got);
}

TEST(PendingQueue, KeepsEightyOfEachAndStopsInsideItsText)
{
    std::string q;
    EXPECT_TRUE(ldrQueueMessage(q, std::string(100, 'a')));
    EXPECT_EQ(q, std::string(80, 'a'));
    EXPECT_TRUE(ldrQueueMessage(q, "short"));
    EXPECT_EQ(q.size(), 85u);

    // 239 queued: the next message still gets in, but only up to 255 in all.
    q.assign(239, 'q');
    EXPECT_TRUE(ldrQueueMessage(q, std::string(80, 'z')));
    EXPECT_EQ(q.size(), LDR_PENDING_MAX);
    EXPECT_EQ(q.substr(239), std::string(16, 'z'));

    // From 240 on nothing more is queued.
    q.assign(240, 'q');
    EXPECT_FALSE(ldrQueueMessage(q, "late"));
    EXPECT_EQ(q.size(), 240u);

    q.clear();
    for (int k = 0; k < 20; ++k)
        ldrQueueMessage(q, std::string(80, char('a' + k)));
    EXPECT_LE(q.size(), LDR_PENDING_MAX);
    EXPECT_EQ(q.substr(0, 80), std::string(80, 'a'));
}

/// The value of the tag a selector line carries, read back with the loader's tokenizer.
std::string readBack(const std::string& line, std::string* tag)
{
    std::vector<char> buf(line.begin(), line.end());
    buf.push_back('\0');
    char* cur = buf.data();
    char stop = 0;
    std::string last;
    for (;;) {
        const char* name = NXTTOKEN(cur, "= ", stop);
        if (!name || !*name)
            return last;
        *tag = name;
        if (stop != '=')
            continue;
        last = NXTTOKEN(cur, " ", stop);
        if (stop == '\0' || stop == '\n')
            return last;
    }
}

TEST(SelectorLine, QuotesTheNameSoTheLoaderReadsItWhole)
{
    struct Case {
        const char* field;
        int kind;
        const char* name;
        const char* line;
    } cases[] = {
        {"", LDR_SEL_IMAGE, "/img/scene.pgm", "i=\"/img/scene.pgm\"\n"},
        {"BXY=5,5", LDR_SEL_IMAGE, "/img/a b.pgm", "BXY=5,5 i=\"/img/a b.pgm\"\n"},
        {"", LDR_SEL_SCRIPT, "/s/job.cmd", "cmd=\"/s/job.cmd\"\n"},
        {"", LDR_SEL_IMAGE, "/img/say \"hi\".pgm", "i='/img/say \"hi\".pgm'\n"},
        {"", LDR_SEL_IMAGE, "/img/it's.pgm", "i=\"/img/it's.pgm\"\n"},
    };
    for (const Case& c : cases) {
        const std::string line = ldrSelectorLine(c.field, c.kind, c.name);
        EXPECT_EQ(line, c.line);
        std::string tag;
        EXPECT_EQ(readBack(line, &tag), c.name) << line;
        EXPECT_EQ(tag, c.kind == LDR_SEL_SCRIPT ? "cmd" : "i");
    }
    EXPECT_EQ(ldrSelectorLine("", LDR_SEL_IMAGE, "/img/\"both'.pgm"), "")
        << "no quote keeps a name holding both";
}

TEST(SelectorLine, EditAddTextFitsTheCommandField)
{
    EXPECT_EQ(ldrEditAddText(LDR_SEL_IMAGE, "/d/a.pgm"), "i=\"/d/a.pgm\" ");
    EXPECT_EQ(ldrEditAddText(LDR_SEL_SCRIPT, "x\".cmd"), "cmd='x\".cmd' ");
    EXPECT_EQ(ldrEditAddText(LDR_SEL_IMAGE, "a'\"b"), "");
    // i=, two quotes and a blank: 250 characters of name make exactly 255.
    const std::string fits(250, 'n');
    EXPECT_EQ(ldrEditAddText(LDR_SEL_IMAGE, fits).size(), LDR_FIELD_MAX);
    EXPECT_EQ(ldrEditAddText(LDR_SEL_IMAGE, fits + "n"), "") << "refused, not cut";
}

TEST(SelectorLine, DirectoryAndExtensionRules)
{
    EXPECT_EQ(ldrDirPart("/a/b/c.pgm"), "/a/b/");
    EXPECT_EQ(ldrDirPart("/c.pgm"), "/");
    EXPECT_EQ(ldrDirPart("c.pgm"), "./");
    EXPECT_EQ(ldrDirPart("rel/dir/"), "rel/dir/");

    EXPECT_EQ(ldrCheckExtension(LDR_SEL_IMAGE, "/a/x.pgm"), LDR_EXT_OK);
    EXPECT_EQ(ldrCheckExtension(LDR_SEL_IMAGE, "/a/job.cmd"), LDR_EXT_IMAGE_CMD);
    EXPECT_EQ(ldrCheckExtension(LDR_SEL_IMAGE, "/a.cmd.d/x.pgm"), LDR_EXT_IMAGE_CMD);
    EXPECT_EQ(ldrCheckExtension(LDR_SEL_SCRIPT, "/a/job.cmd"), LDR_EXT_OK);
    EXPECT_EQ(ldrCheckExtension(LDR_SEL_SCRIPT, "/a/job.txt"), LDR_EXT_NEEDS_CMD);

    EXPECT_TRUE(ldrTakesCommand("i=a.pgm"));
    EXPECT_FALSE(ldrTakesCommand(""));
    EXPECT_FALSE(ldrTakesCommand("\ni=a.pgm"));
    EXPECT_FALSE(ldrTakesCommand(nullptr));
}

} // namespace
