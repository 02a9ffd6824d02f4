// The three command sources, scripts, continuation lines and the
// end-of-sequence rules.
#include "ldrConsole.h"
#include "loader_fixture.h"
#include "tavPaths.h"

namespace {

TEST_F(LoaderTest, CommandStringTakesItsLinesInTurn)
{
    ASSERT_EQ(cmd("i=a.pgm\n\n   \nBXY=1,1 i=b.pgm\r\ni=c.pgm\n"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 3u);
    EXPECT_EQ(seenLoads[1].req.path, dir + "b.pgm");
    EXPECT_TRUE(seenLoads[1].req.bxyGiven);
    EXPECT_FALSE(seenLoads[2].req.bxyGiven) << "the request is reset for every line";
    EXPECT_NE(shown().find("\nParsing: BXY=1,1 i=b.pgm"), std::string::npos);
}

TEST_F(LoaderTest, ALineWithoutAFileEndsTheSequence)
{
    EXPECT_EQ(cmd("i=a.pgm\nFLIP\ni=b.pgm"),
              TAV_CONTINUE); // the buffer holds an image
    EXPECT_EQ(seenLoads.size(), 1u);
    EXPECT_EQ(stream("IPATH=/tmp/\ni=b.pgm\n"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.size(), 1u);
    EXPECT_EQ(GET_IPATH(), "/tmp/");
}

TEST_F(LoaderTest, StreamCommentsContinuationAndEnd)
{
    ASSERT_EQ(stream("# a stream\n"
                     "BXY=4,5 \\\n"
                     "  # comments are skipped inside a continued command too\n"
                     "   i=one.pgm   # first\n"
                     "i=two#.pgm\n"),
              TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 2u);
    EXPECT_TRUE(seenLoads[0].req.bxyGiven);
    EXPECT_EQ(seenLoads[0].req.path, dir + "one.pgm");
    EXPECT_EQ(seenLoads[1].req.path, dir + "two#.pgm");

    // A continuation with nothing after it is error 21.
    seenLoads.clear();
    EXPECT_EQ(stream("BXY=1,2 \\\n"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 21);
    EXPECT_TRUE(seenLoads.empty());

    // An empty stream ends at once with nothing to do.
    EXPECT_EQ(stream(""), TAV_CONTINUE);
}

TEST_F(LoaderTest, ContinuationInACommandString)
{
    ASSERT_EQ(cmd("BXY=1,2 \\\nFLIP \\\ni=a.pgm"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 1u);
    EXPECT_TRUE(seenLoads[0].req.bxyGiven);
    EXPECT_TRUE(seenLoads[0].req.vslCtlm & REQ_FLIP);
}

TEST_F(LoaderTest, LongStreamLineIsRefusedAndItsTailNeverLoads)
{
    const std::string longLine = "FLIP " + std::string(260, ' ') + "x i=tail.pgm";
    EXPECT_EQ(stream(longLine + "\ni=next.pgm\n"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 4);
    EXPECT_NE(shown().find("line too long"), std::string::npos);
    EXPECT_TRUE(seenLoads.empty());
}

TEST_F(LoaderTest, AutobTwoLineScriptLoadsIntoTheNextBuffers)
{
    current = 3;
    ASSERT_EQ(stream("AUTOB i=a.pgm\ni=b.pgm\n"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 2u);
    // AUTOB comes on during the first line: that line stays in the entry buffer
    EXPECT_EQ(seenLoads[0].buffer, 3);
    EXPECT_EQ(seenLoads[1].buffer, 4);

    seenLoads.clear();
    current = 7;
    ASSERT_EQ(stream("i=c.pgm\ni=d.pgm\n"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 2u);
    EXPECT_EQ(seenLoads[0].buffer, 8);
    EXPECT_EQ(seenLoads[1].buffer, 9);
    EXPECT_EQ(current, 7) << "at the end of the stream the index returns to the entry one";
}

TEST_F(LoaderTest, ErrorAfterLoadsRestoresTheIndexAndKeepsTheWork)
{
    ldrState.firstCallDone = true; // keeps the defaults' AUTOB from replacing ours
    ldrState.autob = true;
    current = 0;
    EXPECT_EQ(stream("i=a.pgm\ni=bad.pgm\ni=c.pgm\n"), TAV_TO_LOADER);
    EXPECT_EQ(seenLoads.size(), 2u);
    EXPECT_EQ(current, 0);
    EXPECT_EQ(table[1].numImgs, 1);
    EXPECT_EQ(codes().back(), 17);
}

TEST_F(LoaderTest, ExitStopsAtOnce)
{
    EXPECT_EQ(stream("i=a.pgm\nEXIT\ni=b.pgm\n"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.size(), 1u);

    script("stop.cmd", "i=s1.pgm\nEXIT\ni=s2.pgm\n");
    seenLoads.clear();
    EXPECT_EQ(cmd("CMD=stop.cmd\ni=after.pgm"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 1u);
    EXPECT_EQ(seenLoads[0].req.path, dir + "s1.pgm");
}

TEST_F(LoaderTest, ScriptFromACommandStringResumesTheString)
{
    script("two.cmd", "# two images\ni=s1.pgm\n\ni=s2.pgm  # second\n");
    ASSERT_EQ(cmd("BXY=7,8 CMD=two.cmd\ni=after.pgm"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 3u);
    // tags before CMD apply to the script's first command, which clears the iBUFF
    EXPECT_EQ(seenLoads[0].req.path, dir + "s1.pgm");
    EXPECT_TRUE(seenLoads[0].req.bxyGiven);
    EXPECT_TRUE(seenLoads[0].req.autoInit);
    EXPECT_FALSE(seenLoads[1].req.bxyGiven);
    EXPECT_FALSE(seenLoads[1].req.autoInit);
    EXPECT_EQ(seenLoads[2].req.path, dir + "after.pgm");
    EXPECT_NE(shown().find("\nParsing: i=s1.pgm"), std::string::npos);

    seenLoads.clear();
    ASSERT_EQ(cmd("INIT=F CMD=two.cmd"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 2u);
    EXPECT_FALSE(seenLoads[0].req.autoInit);
    EXPECT_FALSE(seenLoads[0].req.init);
}

TEST_F(LoaderTest, ScriptFromAStreamReturnsToTheStream)
{
    SET_SPATH("/nowhere/");
    const std::string path = script("one.cmd", "i=s1.pgm\n");
    ASSERT_EQ(stream("CMD=" + path + " i=ignored.pgm\ni=after.pgm\n"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 2u);
    EXPECT_EQ(seenLoads[0].req.path, dir + "s1.pgm");
    EXPECT_EQ(seenLoads[1].req.path, dir + "after.pgm");
}

TEST_F(LoaderTest, ScriptRefusals)
{
    script("nest.cmd", "i=a.pgm\nCMD=nest.cmd\n");
    EXPECT_EQ(cmd("CMD=nest.cmd"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 16);
    EXPECT_EQ(seenLoads.size(), 1u);

    script("empty.cmd", "# nothing here\n\n");
    EXPECT_EQ(cmd("CMD=empty.cmd"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 21);

    script("cont.cmd", "BXY=1,2 \\\n");
    EXPECT_EQ(cmd("CMD=cont.cmd"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 21);

    script("joined.cmd", "BXY=1,2 \\\ni=j.pgm\n");
    seenLoads.clear();
    EXPECT_EQ(cmd("CMD=joined.cmd"), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 1u);
    EXPECT_TRUE(seenLoads[0].req.bxyGiven);

    setenv("TAVTEST_SCRIPTS", dir.c_str(), 1);
    seenLoads.clear();
    EXPECT_EQ(cmd("CMD=$TAVTEST_SCRIPTS/joined.cmd"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.size(), 1u);
}

} // namespace
