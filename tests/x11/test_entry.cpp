// tav's start-up as a user meets it: options, the last argument, standard input, and the
// X connection failures, on a private Xvfb.
#include <gtest/gtest.h>

#include "session.h"

using namespace tavtest;

namespace {

class Entry : public OnXvfb {
protected:
    RunResult tav(std::vector<std::string> args, std::string input = {}, bool tty = false)
    {
        RunOptions o;
        o.args = std::move(args);
        o.input = std::move(input);
        o.stdinIsTty = tty;
        o.env["DISPLAY"] = server->display();
        o.env["HOME"] = home.path();
        o.env["TAV_TESTLOG"] = home.file("events.log");
        o.env["TAV_TESTLOADER"] = "exit"; // no user: the loader window's wait ends as File/Exit
        RunResult r = run(tavPath(), o);
        log = readFile(home.file("events.log"));
        return r;
    }

    TempDir home;
    std::string log;
};

TEST_F(Entry, UsageForFirstArgumentOnlyInAnyCase)
{
    for (const char* a : {"-h", "-H", "-v", "-V"}) {
        RunResult r = tav({a});
        EXPECT_EQ(r.status, 0) << a;
        EXPECT_NE(r.err.find("Use: tav                         < display Loader GUI      >\n"),
                  std::string::npos)
            << a;
        EXPECT_NE(r.err.find("     tav -c \"command string\"     < loader command string   >\n"),
                  std::string::npos);
        EXPECT_EQ(r.err.find("normal exit"), std::string::npos) << "nothing else happens";
    }
    RunResult r = tav({"-x", "-h"}, {}, true);
    EXPECT_EQ(r.err.find("Use: tav"), std::string::npos);
    EXPECT_NE(r.err.find("\ntavMain: normal exit\n"), std::string::npos);
}

TEST_F(Entry, MissingFileArgumentIsErrorTenAndStartupGoesOn)
{
    RunResult r = tav({"/no/such/scene.png"}, "i=should-not-run.pgm\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("\n\n10: Fail opening file: /no/such/scene.png\n"), std::string::npos);
    // The rejected argument blocks the standard-input probe.
    EXPECT_EQ(log.find("should-not-run"), std::string::npos);
    EXPECT_NE(r.err.find("\ntavMain: normal exit\n"), std::string::npos);
}

TEST_F(Entry, ScriptArgumentIsRefusedButRunsWhenRedirected)
{
    const std::string script = writeFile(home.file("job.cmd"), "i=from-script.pgm\n");
    RunResult r = tav({script}, "i=from-stdin.pgm\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("\n\n23: Syntax to stream Command file is: tav < " + script + "\n"),
              std::string::npos);
    EXPECT_EQ(log.find("from-stdin"), std::string::npos);

    r = tav({}, readFile(script));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("Parsing: i=from-script.pgm"), std::string::npos) << log;
}

TEST_F(Entry, OptionValueAsLastArgumentKeepsTheRedirectedScript)
{
    RunResult r = tav({"-hdr", "full"}, "i=piped.pgm\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.find("10: Fail opening file: full"), std::string::npos) << r.err;
    EXPECT_NE(log.find("Parsing: i=piped.pgm"), std::string::npos) << log;
}

TEST_F(Entry, CommandStringIsNotTakenByCd)
{
    RunResult r = tav({"-c", "i=/x-cd.png"}, {}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("Parsing: i=/x-cd.png"), std::string::npos) << log;

    // A command string replaces one built from an image argument; the attached -cd form
    // takes its directory.
    const std::string img = writeFile(home.file("scene.pgm"), "P5\n1 1\n255\n\x7f");
    r = tav({"-cd" + home.path(), "-c", "i=chosen.pgm", img}, {}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("Parsing: i=chosen.pgm"), std::string::npos) << log;
    EXPECT_EQ(log.find("Parsing: i=\"" + img), std::string::npos) << log;
}

TEST_F(Entry, ImageArgumentBuildsQuotedCommand)
{
    const std::string img = writeFile(home.file("my scene.pgm"), "P5\n1 1\n255\n\x7f");
    RunResult r = tav({img}, {}, true);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("Parsing: i=\"" + img + "\" "), std::string::npos) << log;

    const std::string quoted = writeFile(home.file("say \"hi\".pgm"), "P5\n1 1\n255\n\x7f");
    r = tav({quoted}, {}, true);
    EXPECT_NE(log.find("Parsing: i='" + quoted + "' "), std::string::npos) << log;
}

TEST_F(Entry, CommandStreamOnStandardInputReachesTheLoader)
{
    RunResult r = tav({}, "# a comment\ni=first.pgm\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("Parsing: i=first.pgm"), std::string::npos) << log;
    EXPECT_NE(log.find("exit 0"), std::string::npos);
}

TEST_F(Entry, PipedScriptLoadsAndReportsNumberedMessages)
{
    std::string pgm = "P5\n32 24\n255\n";
    for (int i = 0; i < 32 * 24; ++i)
        pgm += char(i & 255);
    const std::string img = writeFile(home.file("ramp.pgm"), pgm);
    // A good load, then a script whose second command is refused: the sequence stops there.
    RunResult r = tav({}, "i=" + img + "\nBXY=5,5 SETB=17 i=" + img + "\ni=never.pgm\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(log.find("FCOLS: 32   FROWS: 24"), std::string::npos) << log;
    EXPECT_NE(r.err.find("\n\n42: Image buffer selection out-of-range\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(log.find("Parsing: i=never.pgm"), std::string::npos);

    r = tav({}, "BAND=1,2 i=" + img + "\n");
    EXPECT_NE(r.err.find("22: Invalid Image Band selection or overwrite"), std::string::npos)
        << r.err;
    r = tav({}, "CMD=" + home.file("missing.cmd") + "\n");
    EXPECT_NE(r.err.find("13: Fail opening command file: " + home.file("missing.cmd")),
              std::string::npos)
        << r.err;
    r = tav({}, "DERES=5 i=" + img + "\n");
    EXPECT_NE(r.err.find("37: Invalid or out of range De-Resolution Level"), std::string::npos);
}

TEST(EntryDisplay, SixteenBitScreenFailsTheVisual)
{
    Xvfb server16(16);
    ASSERT_TRUE(server16.ok());
    TempDir home;
    RunOptions o;
    o.env["DISPLAY"] = server16.display();
    o.env["HOME"] = home.path();
    o.stdinIsTty = true;
    RunResult r = run(tavPath(), o);
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.err.find("\n***CONNECT_TAV_DISPL(): 24 bit (Truecolor) graphics fail\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("\nTAVmain(): X Server Connect fail\n"), std::string::npos);
}

TEST(EntryDisplay, NoServerAtAllIsTheToolkitFailure)
{
    TempDir home;
    RunOptions o;
    o.env["DISPLAY"] = ":250";
    o.env["HOME"] = home.path();
    o.stdinIsTty = true;
    RunResult r = run(tavPath(), o);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("\n***CONNECT_TAV_DISPL(): XtVaAppInaitialize() fail\n"),
              std::string::npos)
        << r.err;
}

} // namespace
