// Tags of one command line: the request they build and the numbered errors they
// raise.
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "fcrypt.h"
#include "hdrSettings.h"
#include "ldrConsole.h"
#include "ldrHelp.h"
#include "loadGui.h"
#include "loader_fixture.h"
#include "tavPaths.h"

namespace {

struct refusal {
    const char* command;
    int code;
    const char* text; // appended text that must be shown, or null
};

TEST_F(LoaderTest, EveryRefusalEndsTheSequenceWithItsCodeAndRestoresTheIndex)
{
    const refusal cases[] = {
        {"i=a.pgm i=b.pgm", 1, nullptr},
        {"i a.pgm", 1, nullptr},
        {"FLIP i=", 1, nullptr},
        {"COLS=8 i=a.pgm", 3, nullptr},
        {"ROWS=abc i=a.pgm", 3, nullptr},
        {"BXY=1,2 BXY=3,4 i=a.pgm", 9, "BXY invalid"},
        {"BXY=-1,0 i=a.pgm", 9, "BXY invalid"},
        {"BXY=a i=a.pgm", 9, "BXY invalid"},
        {"FXY=0,-5 i=a.pgm", 9, "FXY invalid"},
        {"FXY=1.5 i=a.pgm", 9, "FXY invalid"},
        {"BAND=1,2 i=a.pgm", 22, nullptr},
        {"BAND=0 i=a.pgm", 22, nullptr},
        {"BAND=1,512,3 i=a.pgm", 22, nullptr},
        {"BAND=1,2,3,4,5 i=a.pgm", 4, "5"},
        {"BAND=1 BAND=2 i=a.pgm", 29, "BAND"},
        {"GUN=R BAND=1 i=a.pgm", 38, nullptr},
        {"GUN=X i=a.pgm", 7, nullptr},
        {"GUN=1 i=a.pgm", 7, nullptr},
        {"GUN i=a.pgm", 7, nullptr},
        {"XALPHA GUN=a i=a.pgm", 7, nullptr},
        {"GUN=A XALPHA i=a.pgm", 7, nullptr},
        {"GIF2ALPHA XALPHA i=a.gif", 7, nullptr},
        {"GUN=R GUN=G i=a.pgm", 29, "GUN"},
        {"GUN=R GIF2ALPHA i=a.gif", 29, "GUN"},
        {"GUN=R,1 i=a.pgm", 28, nullptr},
        {"GIF2ALPHA=1 i=a.gif", 28, nullptr},
        {"BAND=1,2,3 GUN=R i=a.pgm", 22, nullptr},
        {"AUTOB GUN=R i=a.pgm", 48, nullptr},
        {"GUN=R AUTOB=T i=a.pgm", 48, nullptr},
        {"STATIC=8,8", 3, nullptr},
        {"STATIC=a,b", 4, "STATIC"},
        {"STATIC=100,100,<256,0,0>", 35, nullptr},
        {"STATIC=100,100,<1,2,3", 35, nullptr},
        {"STATIC=100,100,<1,2>", 35, nullptr},
        {"STATIC=100,100,1,2,3", 35, nullptr},
        {"KEY=abcdefghij i=a.pgm", 55, nullptr},
        {"KEY='abcdefghij i=a.pgm", 55, nullptr},
        {"KEY='short' i=a.pgm", 52, nullptr},
        {"DKEY i=a.pgm", 55, nullptr},
        {"DKEY=\"abcdefghij\" i=a.pgm", 55, nullptr},
        {"DUMPH GUN=R i=a.pgm", 30, nullptr},
        {"SFACT=0.5 FLIP i=a.pgm", 53, nullptr},
        {"DERES=1 FLIP i=a.pgm", 53, nullptr},
        {"SFACT=1.5 i=a.pgm", 15, nullptr},
        {"SFACT=0 i=a.pgm", 15, nullptr},
        {"SFACT=0.5,-1 i=a.pgm", 15, nullptr},
        {"SFACT=abc i=a.pgm", 15, nullptr},
        {"DERES=5 i=a.pgm", 37, nullptr},
        {"DERES i=a.pgm", 37, nullptr},
        {"SETB=17 i=a.pgm", 42, nullptr},
        {"SETB=0 i=a.pgm", 42, nullptr},
        {"HDU=0 i=a.fits", 32, nullptr},
        {"HDU=one i=a.fits", 32, nullptr},
        {"HDR=X,LIN,FULL i=a.fits", 12, nullptr},
        {"HDR=RGB,FOO,FULL i=a.fits", 12, nullptr},
        {"HDR=RGB i=a.fits", 12, nullptr},
        {"HDR=RGB,LIN,MEAN i=a.fits", 12, nullptr},
        {"HDR=RGB,LIN,MEAN,6 i=a.fits", 12, nullptr},
        {"HDR=RGB,LIN,BOGUS,1 i=a.fits", 12, nullptr},
        {"HDR=R,LIN,LO-HI,5,5 i=a.fits", 12, nullptr},
        {"HDR=RESET,7", 12, nullptr},
        {"HDR=RGB,LINEARLY,FULL i=a.fits", 12, nullptr},
        {"HDR=RGB,LINE,FULL i=a.fits", 12, nullptr},
        {"HDR=RGB,LIN,MEDIANS,1 i=a.fits", 12, nullptr},
        {"HDR=RGB,LIN,FULLY i=a.fits", 12, nullptr},
        {"i=''", 4, "''"},
        {"i=\"\"", 4, "\"\""},
        {"'' i=a.pgm", 4, "''"},
        {"FLIP \"\" i=a.pgm", 4, nullptr},
        {"SETB='' i=a.pgm", 4, nullptr},
        {"BXY=1,'' i=a.pgm", 4, nullptr},
        {"STATIC=100,100,<'',1,2>", 4, nullptr},
        {"HDR=RGB,'',FULL i=a.fits", 4, nullptr},
        {"CMD=''", 4, nullptr},
        {"XBUFF i=a.pgm", 4, "XBUFF"},
        {"=5 i=a.pgm", 4, "="},
        {"CMD=", 16, nullptr},
        {"CMD=missing.cmd", 13, "missing.cmd"},
        {"IPATH=/tmp", 59, nullptr},
        {"FLIP", 59, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        TearDown();
        SetUp();
        current = 6;
        const std::string command = c.command;
        EXPECT_EQ(cmd(command), TAV_TO_LOADER);
        ASSERT_FALSE(codes().empty());
        EXPECT_EQ(codes().back(), c.code);
        if (c.text) {
            EXPECT_NE(shown().find(c.text), std::string::npos);
        }
        EXPECT_EQ(current, 6);
        EXPECT_TRUE(seenLoads.empty()) << "a refused command must not load";
    }
}

TEST_F(LoaderTest, TagsFillTheRequestAsTheLoadExpectsIt)
{
    ASSERT_EQ(cmd("BXY = 10 , 20 FXY=3,4 COLS=100 ROWS=200 flip MIRR BSWAP "
                  "BGRtoRGB R180 "
                  "GFILL HDU=2 XALPHA INIT i='my scene.pgm'"),
              TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 1u);
    const loadRequest& r = seenLoads[0].req;
    EXPECT_EQ(r.path, dir + "my scene.pgm");
    EXPECT_EQ(r.fileCount, 1);
    EXPECT_EQ(r.bXofs, 10);
    EXPECT_EQ(r.bYofs, 20);
    EXPECT_TRUE(r.bxyGiven);
    EXPECT_EQ(r.fXofs, 3);
    EXPECT_EQ(r.fYofs, 4);
    EXPECT_EQ(r.cols, 100);
    EXPECT_EQ(r.rows, 200);
    EXPECT_EQ(r.vslCtlm, REQ_FLIP | REQ_MIRR | REQ_BSWAP | REQ_BGR2RGB | REQ_R180 | REQ_GFILL);
    EXPECT_EQ(r.hdu, 2);
    EXPECT_TRUE(r.xalpha);
    EXPECT_TRUE(r.init);
    EXPECT_EQ(r.imgIndex, 0);
}

TEST_F(LoaderTest, PathsArePrefixedEscapedAndLimited)
{
    ASSERT_EQ(cmd("i=x\\,y.pgm\ni=/abs/dir/b.pgm,\ni=\"q,r s.pgm\""), TAV_CONTINUE);
    ASSERT_EQ(seenLoads.size(), 3u);
    EXPECT_EQ(seenLoads[0].req.path, dir + "x,y.pgm");
    EXPECT_EQ(seenLoads[1].req.path, "/abs/dir/b.pgm");
    EXPECT_EQ(seenLoads[2].req.path, dir + "q,r s.pgm");

    SET_IPATH("");
    const std::string longName(256, 'n');
    EXPECT_EQ(cmd("i=" + longName), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 10);
    EXPECT_EQ(cmd("i=" + longName.substr(1)), TAV_CONTINUE);

    SET_SPATH("/");
    EXPECT_EQ(cmd("CMD=" + longName), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 13);
}

TEST_F(LoaderTest, BandGunAndGif2AlphaPlanes)
{
    ASSERT_EQ(cmd("BAND=5,6,7,8 i=a.tif"), TAV_CONTINUE);
    const loadRequest& four = seenLoads.back().req;
    EXPECT_EQ(four.bandCount, 4);
    EXPECT_EQ(four.maxBand, 8);
    EXPECT_EQ(four.bands[3], 8);

    // a single BAND goes to the plane GUN names; the load goes onto image 1 of 1
    ASSERT_EQ(cmd("BAND=3 GUN=green i=a.tif"), TAV_CONTINUE);
    const loadRequest& g = seenLoads.back().req;
    EXPECT_EQ(g.gun, GUN_G);
    EXPECT_EQ(g.bands[0], 0);
    EXPECT_EQ(g.bands[1], 3);
    EXPECT_EQ(g.bandCount, 1);
    EXPECT_EQ(g.vslCtlm & REQ_ONE_GUN, REQ_ONE_GUN);
    EXPECT_EQ(g.imgIndex, 0);

    table[0].numImgs = 3;
    ASSERT_EQ(cmd("GUN=b,2 i=a.tif"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.imgIndex, 1);
    EXPECT_EQ(seenLoads.back().req.bands[2], 3);

    ASSERT_EQ(cmd("GIF2ALPHA i=a.gif"), TAV_CONTINUE);
    const loadRequest& a = seenLoads.back().req;
    EXPECT_TRUE(a.gif2alpha && a.gunGiven);
    EXPECT_EQ(a.gun, GUN_A);
    EXPECT_EQ(a.bands[3], 4);
    EXPECT_EQ(a.imgIndex, 2);

    ASSERT_EQ(cmd("GUN=A GIF2ALPHA=1 i=a.gif"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.imgIndex, 0);
}

TEST_F(LoaderTest, ResamplingFactorsAndBits)
{
    ASSERT_EQ(cmd("SFACT=0.5,1 i=a.pgm"), TAV_CONTINUE);
    EXPECT_DOUBLE_EQ(seenLoads.back().req.xFactor, 0.5);
    EXPECT_EQ(seenLoads.back().req.vslCtlm & 3u, REQ_RESAMPLE_X);

    ASSERT_EQ(cmd("SFACT=1 i=a.pgm"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.vslCtlm & 3u, 0u);

    // below 1/16: warned with 15, raised, and the load goes on
    ASSERT_EQ(cmd("SFACT=0.05 i=a.pgm"), TAV_CONTINUE);
    EXPECT_EQ(codes().back(), 15);
    EXPECT_DOUBLE_EQ(seenLoads.back().req.xFactor, 0.0625);
    EXPECT_DOUBLE_EQ(seenLoads.back().req.yFactor, 0.0625);

    ASSERT_EQ(cmd("DERES=2 i=a.pgm"), TAV_CONTINUE);
    EXPECT_DOUBLE_EQ(seenLoads.back().req.xFactor, 0.25);
    EXPECT_EQ(seenLoads.back().req.deresLevel, 2);
    EXPECT_EQ(seenLoads.back().req.vslCtlm & 3u, 3u);
}

TEST_F(LoaderTest, HdrTagGrammar)
{
    ASSERT_EQ(cmd("HDR=RGB,LOG,MEAN,2.5 i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.hdrFlags, 0x2u | 0x4800u);
    EXPECT_EQ(seenLoads.back().req.hdrChannels, 7u);
    EXPECT_TRUE(hdrSet.tagGiven);
    EXPECT_DOUBLE_EQ(hdrSet.tagP1, 2.5);

    ASSERT_EQ(cmd("HDR=G,TANH,LO-HI,-1,300 i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(hdrSet.tagFlags, 0x10u | 0x2000u);
    EXPECT_EQ(hdrSet.tagChannels, 2u);
    EXPECT_DOUBLE_EQ(hdrSet.tagP2, 300.0);

    ASSERT_EQ(cmd("HDR=B,sinh,FULL i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.hdrFlags, 0x8u | 0x1000u);

    // PSEUDO is single-channel, and a GUN after it selects plane R
    ASSERT_EQ(cmd("HDR=RGB,PSEUDO,MED,1 GUN=B i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().req.hdrChannels, 1u);
    EXPECT_EQ(seenLoads.back().req.gun, GUN_R);
    EXPECT_EQ(seenLoads.back().req.bands[0], 1);

    // Curves and ranges by their long names too, in any case.
    const struct {
        const char* tag;
        int32u flags;
    } spelled[] = {
        {"HDR=rgb,linear,median,3.5", 0x1u | 0x8800u}, {"HDR=R,Lin,Med,3.5", 0x1u | 0x8800u},
        {"HDR=G,EXPONENTIAL,MEAN,2", 0x4u | 0x4800u},  {"HDR=G,exp,mn,2", 0x4u | 0x4800u},
        {"HDR=B,Linear,lo-hi,1,9", 0x1u | 0x2000u},    {"HDR=rgb,LINEAR,Full", 0x1u | 0x1000u},
    };
    for (const auto& c : spelled) {
        ASSERT_EQ(cmd(std::string(c.tag) + " i=a.fits"), TAV_CONTINUE) << c.tag;
        EXPECT_EQ(seenLoads.back().req.hdrFlags, c.flags) << c.tag;
    }

    // The short word the script writer takes for a curve or range reads back to the same bits.
    for (const auto& c : hdrCurveWords) {
        const std::string tag = std::string("HDR=R,") + hdrWordOf(hdrCurveWords, c.bits) + ",FULL";
        ASSERT_EQ(cmd(tag + " i=a.fits"), TAV_CONTINUE) << tag;
        EXPECT_EQ(seenLoads.back().req.hdrFlags, c.bits | 0x1000u) << tag;
    }
    for (const auto& r : hdrRangeWords) {
        if (r.bits == HDR_RANGE_FULL)
            continue; // takes no numbers: checked above
        const std::string tag =
            std::string("HDR=R,LIN,") + hdrWordOf(hdrRangeWords, r.bits) + ",1,2";
        ASSERT_EQ(cmd(tag + " i=a.fits"), TAV_CONTINUE) << tag;
        EXPECT_EQ(seenLoads.back().req.hdrFlags, 0x1u | r.bits) << tag;
    }

    ASSERT_EQ(cmd("HDR=RESET,1 i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(hdrSet.rangeMode[0], 1);
    EXPECT_TRUE(seenLoads.back().req.hdrGiven);
    ASSERT_EQ(cmd("HDR=RESET i=a.fits"), TAV_CONTINUE);
    EXPECT_EQ(hdrSet.rangeMode[1], 2);
}

TEST_F(LoaderTest, KeysAreQuotedForTheCipherAndNeverEchoed)
{
    // The leading blank and the double quote are part of the key.
    ASSERT_EQ(cmd("KEY=' \"secret phrase' i=a#.pgm wipe"), TAV_CONTINUE);
    EXPECT_TRUE(fileCipher.keySet());
    EXPECT_TRUE(ldrState.wipe);
    EXPECT_EQ(ldrState.userKeyText, "' \"secret phrase'");
    EXPECT_EQ(seenLoads.back().req.path, dir + "a#.pgm");
    EXPECT_EQ(shown().find("secret"), std::string::npos);
    EXPECT_NE(shown().find("KEY='***'"), std::string::npos);

    // The same text set directly gives the same key state.
    FileCipher direct;
    ASSERT_EQ(direct.setUserKey("' \"secret phrase'"), CRYPT_OK);
    EXPECT_EQ(direct.keyText(), fileCipher.keyText());

    // A domain key is refused while a user key is installed.
    EXPECT_EQ(cmd("DKEY='domain key 1' i=a.pgm"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 52);

    // KEY alone removes the user key.
    ASSERT_EQ(cmd("KEY i=a.pgm"), TAV_CONTINUE);
    EXPECT_FALSE(fileCipher.keySet());
    EXPECT_TRUE(ldrState.userKeyText.empty());

    ASSERT_EQ(cmd("DKEY='domain key 1' i=a.pgm"), TAV_CONTINUE);
    EXPECT_TRUE(fileCipher.domainKeySet());

    // KEY alone removes the domain key too: a user key set afterwards is the plain one.
    ASSERT_EQ(cmd("KEY i=a.pgm"), TAV_CONTINUE);
    EXPECT_FALSE(fileCipher.domainKeySet());
    ASSERT_EQ(cmd("KEY='another phrase' i=a.pgm"), TAV_CONTINUE);
    FileCipher plain;
    ASSERT_EQ(plain.setUserKey("'another phrase'"), CRYPT_OK);
    charu mine[32] = {}, theirs[32] = {};
    ASSERT_EQ(fileCipher.cryptBuffer(mine, sizeof mine, CRYPT_ENCRYPT), CRYPT_OK);
    ASSERT_EQ(plain.cryptBuffer(theirs, sizeof theirs, CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(0, std::memcmp(mine, theirs, sizeof mine)) << "no domain key mixed in";
}

// A pair of empty quotes is one parsing error, reported once, and changes nothing.
TEST_F(LoaderTest, EmptyQuotedValueIsRefusedOnceAndChangesNothing)
{
    SET_IPATH(dir);
    for (const char* c : {"IPATH='' i=a.pgm", "AUTOB=\"\" i=a.pgm", "SETB='' i=a.pgm"}) {
        ldrConsoleReset();
        CRE_LDR_GUI();
        LDR_GUI(false);
        EXPECT_EQ(cmd(c), TAV_TO_LOADER) << c;
        EXPECT_EQ(codes(), std::vector<int>{4}) << c;
    }
    EXPECT_EQ(GET_IPATH(), dir);
    EXPECT_FALSE(ldrState.autob);
    EXPECT_TRUE(seenLoads.empty());
}

// Every example command of the loader window's help pages is accepted as written.
TEST_F(LoaderTest, HelpExamplesParse)
{
    std::vector<std::string> examples;
    for (int page = 0; page < LDR_HELP_PAGES; ++page) {
        std::istringstream text(ldrHelpText(page));
        for (std::string line; std::getline(text, line);) {
            // Examples are indented by four blanks; syntax lines carry brackets or
            // placeholders.
            if (line.rfind("    ", 0) != 0 || line.find('=') == std::string::npos ||
                line.find('[') != std::string::npos || line.find("channels") != std::string::npos)
                continue;
            examples.push_back(line.substr(4));
        }
    }
    ASSERT_GE(examples.size(), 6u) << "the help pages lost their examples";
    for (const auto& e : examples) {
        TearDown();
        SetUp();
        const std::string line = e.find("i=") == std::string::npos ? e + " i=a.pgm" : e;
        EXPECT_EQ(cmd(line), TAV_CONTINUE) << e << "\n" << shown();
        EXPECT_TRUE(codes().empty()) << e;
        EXPECT_EQ(seenLoads.size(), 1u) << e;
    }
}

TEST_F(LoaderTest, KeyTextIsMaskedWhateverTheBlanksAroundTheSign)
{
    cmd("KEY = 'hidden phrase' i=a.pgm");
    cmd("DKEY= 'other phrase' i=a.pgm");
    EXPECT_EQ(shown().find("hidden"), std::string::npos) << shown();
    EXPECT_EQ(shown().find("other"), std::string::npos) << shown();
}

TEST_F(LoaderTest, SetbAndAutobChooseTheBuffer)
{
    ASSERT_EQ(cmd("SETB=5 i=a.pgm"), TAV_CONTINUE);
    EXPECT_EQ(current, 4);
    EXPECT_EQ(seenLoads.back().buffer, 4);
    ASSERT_EQ(cmd("SETB i=a.pgm"), TAV_CONTINUE);
    EXPECT_EQ(current, 0);

    // AUTOB advances before every line, 16 wrapping to 1; SETB switches it off
    ASSERT_EQ(cmd("AUTOB i=a.pgm"), TAV_CONTINUE);
    EXPECT_TRUE(ldrState.autob);
    current = 15;
    ASSERT_EQ(cmd("i=a.pgm"), TAV_CONTINUE);
    EXPECT_EQ(seenLoads.back().buffer, 0);
    ASSERT_EQ(cmd("SETB=3 i=a.pgm"), TAV_CONTINUE);
    EXPECT_FALSE(ldrState.autob);
    EXPECT_EQ(current, 2);
    ASSERT_EQ(cmd("AUTOB=F AUTOB=T AUTOB=false i=a.pgm"), TAV_CONTINUE);
    EXPECT_FALSE(ldrState.autob);
}

TEST_F(LoaderTest, StaticBufferWithoutAFile)
{
    ASSERT_EQ(cmd("STATIC=800,600"), TAV_CONTINUE);
    EXPECT_EQ(table[0].numImgs, 1);
    EXPECT_EQ(table[0].width, 800);
    EXPECT_EQ(table[0].height, 600);
    EXPECT_TRUE(table[0].bufCtlm & bufSTATIC);
    EXPECT_EQ(table[0].imgbuf[800 * 600 - 1], 0u);

    // the colour form alone on a line creates the buffer too, filled with the
    // colour
    current = 1;
    ASSERT_EQ(cmd("STATIC=32,16,<255,0,10>"), TAV_CONTINUE);
    EXPECT_EQ(table[1].numImgs, 1);
    EXPECT_EQ(table[1].imgbuf[0], 0x00FF000Au);
    EXPECT_EQ(table[1].imgbuf[32 * 16 - 1], 0x00FF000Au);

    // with a file the size and colour travel to the load
    current = 2;
    ASSERT_EQ(cmd("STATIC=640,480,< 1 , 2 , 3 > BXY=5,5 i=a.pgm"), TAV_CONTINUE);
    const loadRequest& r = seenLoads.back().req;
    EXPECT_TRUE(r.isStatic);
    EXPECT_EQ(r.staticX, 640);
    EXPECT_EQ(r.staticColor, 0x010203u);

    // a buffer that already holds images is simply viewed
    current = 1;
    EXPECT_EQ(cmd("STATIC=64,64"), TAV_CONTINUE);
    EXPECT_EQ(table[1].width, 32);
}

TEST_F(LoaderTest, ChecksOfTheCall)
{
    EXPECT_EQ(TAV_LOAD(nullptr, &current, SRC_STRING, "i=a.pgm"), TAV_INTERNAL);
    EXPECT_EQ(TAV_LOAD(table, nullptr, SRC_STRING, "i=a.pgm"), TAV_INTERNAL);
    current = 16;
    EXPECT_EQ(cmd("i=a.pgm"), TAV_INTERNAL);
    current = 0;
    EXPECT_EQ(TAV_LOAD(table, &current, 3, "i=a.pgm"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 58);
    EXPECT_EQ(cmd("i="), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 4);
    EXPECT_EQ(TAV_LOAD(table, &current, SRC_STRING, nullptr), TAV_TO_LOADER);
}

TEST_F(LoaderTest, LoadingIsRefusedWithoutTheLoadExecution)
{
    setLoadExecHook(nullptr);
    EXPECT_EQ(cmd("i=/nonexistent/dir/a.pgm"), TAV_TO_LOADER);
    EXPECT_EQ(codes().back(), 10);
    EXPECT_EQ(table[0].numImgs, 0);
}

} // namespace
