#include "convConsole.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::map<std::string, std::vector<std::string>> files = {
    {"/k/set.ker",
     {"# kernels for the tests", "", "Edge: an edge kernel", "  ktyp=3x3   # square",
      "  kdef=-1 -1 -1", "   -1 8 -1", "   -1 -1 -1", "  csum=0", "  KEND", "BLUR:", "  ktyp=3+3",
      "  kdef=1 1 1 1 1", "  kexe kscale=2", "bad:", "  KFIL=other.ker", "short:", "  kdef=1 2"}}};

convConsole console()
{
    return convConsole(
        7, "/k/",
        [](const std::string& path, std::vector<std::string>* lines) {
            const auto it = files.find(path);
            if (it == files.end())
                return false;
            *lines = it->second;
            return true;
        },
        [](const std::string& d) { return d == "/k" || d == "/k/"; });
}

// The error a line leaves (0 for none) after the lines before it.
int32 errorOf(std::vector<std::string> lines)
{
    convConsole c = console();
    convReply r;
    for (const std::string& l : lines)
        r = c.exec(l);
    return r.error;
}

// The coefficients of the kernel defined (none when undefined).
std::vector<std::int16_t> coefOf(const convConsole& c)
{
    return c.kernel() ? c.kernel()->coef : std::vector<std::int16_t>{};
}

} // namespace

TEST(ConvConsole, ErrorTable)
{
    struct errCase {
        std::vector<std::string> lines;
        int32 err;
    };
    const std::string longName(250, 'n');
    const errCase cases[] = {
        {{"KTYP=4X4"}, 13},
        {{"KTYP=3X1"}, 13},
        {{"KTYP=67X67"}, 13},
        {{"KTYP=65X65"}, 0},
        {{"KTYP=5x"}, 0},
        {{"KTYP 3X3"}, 10},
        {{"KDEF=1.5"}, 2},
        {{"KDEF=40000"}, 4},
        {{"KDEF=-32767 1 2 3 4"}, 0},
        {{"KDEF=abc"}, 9},
        {{"KDEF 1 2 3 4 5"}, 10},
        {{"KDEF=1 2", ""}, 5},
        {{"KDEF=1 2 3 4 5 6"}, 5},
        {{"KEXE"}, 11},
        {{"KDEF=1 1 1 1 1", "KEXE FOO"}, 3},
        {{"KDEF=1 1 1 1 1", "KEXE KSCALE=x"}, 9},
        {{"KDEF=1 1 1 1 1", "KEXE KSCALE=9999999999"}, 9},
        {{"KFIL"}, 12},
        {{"KFIL="}, 12},
        {{"KFIL=missing.ker"}, 1},
        {{"KFIL=" + longName}, 1},
        {{"KTAG=edge"}, 1},
        {{"KFIL=set.ker", "KTAG=nope"}, 14},
        {{"KFIL=set.ker KEND"}, 3},
        {{"KFIL=set.ker", "KTAG"}, 3},
        {{"KFIL=set.ker", "KTAG=bad"}, 8},
        {{"KFIL=set.ker", "KTAG=short"}, 5},
        {{"CSUM=-1"}, 7},
        {{"CSUM 4"}, 10},
        {{"CVAL=1.5"}, 2},
        {{"GUNS=rx"}, 3},
        {{"FOO"}, 3},
    };
    for (const errCase& c : cases)
        EXPECT_EQ(errorOf(c.lines), c.err) << c.lines.back();
}

TEST(ConvConsole, DefinitionsLabelsAndActions)
{
    convConsole c = console();
    EXPECT_EQ(c.labels(),
              (std::vector<std::string>{"CSUM=   1", "CVAL=   0", "GUNS=RGB", "KTYP=3+3"}));
    // 5 x 7 takes 35 values; the console asks for more until it has them.
    std::string list;
    for (int i = 0; i < 34; ++i)
        list += std::to_string(i) + " ";
    c.exec("KTYP=5X7");
    convReply r = c.exec("KDEF=" + list);
    EXPECT_STREQ(c.prompt(), "...Klist?: ");
    EXPECT_EQ(c.kernel(), nullptr);
    r = c.exec("34");
    EXPECT_EQ(coefOf(c).at(34), 34);
    EXPECT_EQ(r.lines.back().text, "Kernel definition loaded.");
    EXPECT_STREQ(c.prompt(), "cnvl> ");
    c.exec("CSUM=5");
    c.exec("cval=128");
    c.exec("G=g");
    c.exec("KTYP=5+3");
    EXPECT_EQ(c.labels(),
              (std::vector<std::string>{"CSUM=   5", "CVAL= 128", "GUNS= G ", "KTYP=5+3"}));
    EXPECT_EQ(c.kernel(), nullptr); // a new type resets the coefficients
    r = c.exec("KDEF=1 2 3 4 5 6 7");
    EXPECT_EQ(coefOf(c).at(7), 4); // the centre of the plus
    r = c.exec("kexe kscale=4");
    EXPECT_EQ(r.action, CA_EXECUTE);
    EXPECT_EQ(r.kscale, 4);
    EXPECT_EQ(c.params(4).guns, 2);
    r = c.exec("KEXE FOO");
    EXPECT_EQ(r.diag, std::vector<std::string>{"\nconvol: KEXE FOO"});
    r = c.exec("UNDO=rb");
    EXPECT_EQ(r.action, CA_UNDO);
    EXPECT_EQ(r.undoGuns, 5);
    EXPECT_EQ(c.exec("u").undoGuns, 7);
    EXPECT_EQ(c.exec("M").action, CA_MOUSE);
    EXPECT_EQ(c.exec("").action, CA_QUIT);
    EXPECT_EQ(c.exec("Exit").action, CA_QUIT);
    // The kernel path: shown, refused when not a directory, kept with its "/".
    EXPECT_EQ(c.exec("KPATH=/nowhere").lines.back().text, "Invalid: /nowhere");
    c.exec("KPATH=/k");
    EXPECT_EQ(c.exec("KPATH").lines.back().text, "File path: /k/");
}

TEST(ConvConsole, KernelFileTagsAndComments)
{
    convConsole c = console();
    convReply r = c.exec("KFIL=set.ker KTAG=EDGE");
    ASSERT_EQ(r.error, 0);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_EQ(r.lines[0].text, "Convolution definitions loaded");
    EXPECT_EQ(r.lines[2].text, "Convolution defined from file");
    EXPECT_EQ(coefOf(c), (std::vector<std::int16_t>{-1, -1, -1, -1, 8, -1, -1, -1, -1}));
    EXPECT_EQ(c.params(0).csum, 0);
    EXPECT_TRUE(c.fileOpen());
    // KEXE ends the reading and runs the kernel.
    r = c.exec("ktag=blur");
    EXPECT_EQ(r.action, CA_EXECUTE);
    EXPECT_EQ(r.kscale, 2);
    EXPECT_EQ(c.labels()[3], "KTYP=3+3");
    // A file cannot open another: error 8, and the file is closed.
    r = c.exec("KTAG=bad");
    EXPECT_EQ(r.error, CNVL_E_CONTENTS);
    EXPECT_FALSE(c.fileOpen());
    EXPECT_EQ(c.exec("KTAG=edge").error, CNVL_E_FILE);
}
