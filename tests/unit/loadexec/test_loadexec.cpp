// Load execution end to end through the command loop: geometry, placement, composition,
// static buffers, memory refusal, encrypted files and header dumps, checked pixel by pixel.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bufRecMgt.h"
#include "fcrypt.h"
#include "hdrSettings.h"
#include "ldrRequest.h"
#include "loaddrv.h"

namespace {

struct Rgba {
    charu r, g, b, a;
};

class LoadExec : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tavload.XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        loaddrv::reset();
    }
    void TearDown() override
    {
        RELEASE_BUFMGT();
        setFreeMemSource(nullptr);
        CLEAR_KEYS();
        std::string cmd = "rm -rf '" + dir + "'";
        if (std::system(cmd.c_str()) != 0)
            ADD_FAILURE() << "cleanup";
    }
    // A grey ramp: value (x + 3 y) mod 256.
    std::string pgm(const std::string& name, int w, int h)
    {
        std::string data =
            "P5\n# made by the test\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                data += char((x + 3 * y) & 255);
        return write(name, data);
    }
    // Colour: r = x, g = y, b = 255 - x (mod 256).
    std::string ppm(const std::string& name, int w, int h)
    {
        std::string data = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                data += char(x & 255);
                data += char(y & 255);
                data += char((255 - x) & 255);
            }
        return write(name, data);
    }
    std::string write(const std::string& name, const std::string& data)
    {
        const std::string p = dir + "/" + name;
        std::ofstream(p, std::ios::binary) << data;
        return p;
    }
    static Rgba at(int buf, int x, int y)
    {
        const bufdes& b = bufObjs[buf];
        const auto* p = reinterpret_cast<const charu*>(b.imgbuf + size_t(y) * b.width + x);
        return {p[2], p[1], p[0], p[3]};
    }
    loaddrv::Result load(const std::string& cmd, shortu cur = 0)
    {
        testing::internal::CaptureStderr();
        loaddrv::Result r = loaddrv::runCommand(cmd, cur);
        err = testing::internal::GetCapturedStderr();
        return r;
    }
    std::string dir, err;
};

TEST_F(LoadExec, GreyImageLandsPixelForPixel)
{
    const std::string p = pgm("ramp.pgm", 40, 30);
    auto r = load("i=" + p);
    ASSERT_EQ(r.status, 0) << err;
    const bufdes& b = bufObjs[0];
    EXPECT_EQ(b.width, 40);
    EXPECT_EQ(b.height, 30);
    EXPECT_EQ(b.numImgs, 1);
    EXPECT_TRUE(b.bufCtlm & bufLOADED);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            const Rgba c = at(0, x, y);
            const charu v = charu((x + 3 * y) & 255);
            ASSERT_EQ(c.r, v) << x << "," << y;
            ASSERT_EQ(c.g, v);
            ASSERT_EQ(c.b, v);
        }
    EXPECT_NE(r.messages.find("FCOLS: 40   FROWS: 30"), std::string::npos) << r.messages;
}

TEST_F(LoadExec, PlacementGrowsTheBufferAndLeavesTheStripBlack)
{
    const std::string p = ppm("c.ppm", 32, 20);
    auto r = load("BXY=100,50 i=" + p);
    ASSERT_EQ(r.status, 0) << err;
    EXPECT_EQ(bufObjs[0].width, 132);
    EXPECT_EQ(bufObjs[0].height, 70);
    const Rgba strip = at(0, 10, 10);
    EXPECT_EQ(strip.r + strip.g + strip.b, 0);
    const Rgba c = at(0, 100 + 7, 50 + 5);
    EXPECT_EQ(c.r, 7);
    EXPECT_EQ(c.g, 5);
    EXPECT_EQ(c.b, 248);
}

TEST_F(LoadExec, SecondLoadReplacesUnlessComposed)
{
    const std::string a = pgm("a.pgm", 20, 20), big = ppm("big.ppm", 64, 48);
    ASSERT_EQ(load("i=" + big).status, 0);
    ASSERT_EQ(load("i=" + a).status, 0);
    EXPECT_EQ(bufObjs[0].width, 20) << "replaced, not composed";
    EXPECT_EQ(bufObjs[0].numImgs, 1);
    ASSERT_EQ(load("BXY=30,10 i=" + big).status, 0) << err;
    EXPECT_EQ(bufObjs[0].numImgs, 2);
    EXPECT_EQ(bufObjs[0].width, 94);
    EXPECT_EQ(bufObjs[0].height, 58);
    EXPECT_EQ(at(0, 5, 5).r, charu(5 + 15)) << "first image kept after the growth";
    EXPECT_EQ(at(0, 30 + 3, 10 + 2).g, 2);
    EXPECT_EQ(at(0, 25, 40).r, 0) << "uncovered area cleared";
}

TEST_F(LoadExec, RegionAndColumnLimits)
{
    const std::string p = pgm("r.pgm", 64, 64);
    auto r = load("FXY=10,20 COLS=500 ROWS=16 i=" + p);
    ASSERT_EQ(r.status, 0) << err;
    EXPECT_EQ(bufObjs[0].width, 54) << "COLS beyond the file is cut to the edge";
    EXPECT_EQ(bufObjs[0].height, 16);
    EXPECT_EQ(at(0, 0, 0).r, charu(10 + 60));

    const std::string small = pgm("s.pgm", 16, 40);
    r = load("i=" + small);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("25: FXY Tag exceeds data dimensions"), std::string::npos) << err;
}

TEST_F(LoadExec, StaticCanvasClipsAndRefusesSlivers)
{
    const std::string p = ppm("w.ppm", 100, 30);
    auto r = load("STATIC=640,480,<255,0,0> BXY=600,0 i=" + p);
    ASSERT_EQ(r.status, 0) << err;
    EXPECT_EQ(bufObjs[0].width, 640);
    EXPECT_EQ(bufObjs[0].height, 480);
    EXPECT_EQ(bufObjs[0].imgDes[0].width, 40) << "only the room right of BXY is loaded";
    EXPECT_EQ(at(0, 639, 0).r, 39);
    const Rgba red = at(0, 10, 400);
    EXPECT_EQ(red.r, 255);
    EXPECT_EQ(red.g, 0);
    EXPECT_TRUE(bufObjs[0].bufCtlm & bufSTATIC);

    loaddrv::reset();
    r = load("STATIC=640,480 BXY=630,0 i=" + p);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("45: STATIC iBUFF & BXY Tag clipped image too small"), std::string::npos);
}

TEST_F(LoadExec, GunLoadsComposeOneImage)
{
    const std::string a = pgm("a.pgm", 32, 32), c = ppm("c.ppm", 32, 32);
    ASSERT_EQ(load("GUN=R i=" + a).status, 0) << err;
    ASSERT_EQ(load("GUN=G i=" + a).status, 0) << err;
    EXPECT_EQ(bufObjs[0].numImgs, 1);
    const Rgba p = at(0, 4, 2);
    EXPECT_EQ(p.r, 10);
    EXPECT_EQ(p.g, 10);
    EXPECT_EQ(p.b, 0);
    EXPECT_EQ(bufObjs[0].imgDes[0].planeCount, 2);
    ASSERT_EQ(load("BAND=3 GUN=B i=" + c).status, 0) << err;
    EXPECT_EQ(at(0, 4, 2).b, 251);
}

// Without BAND a colour file gives a gun that gun's own band (R 1, G 2, B 3, A 4), exactly as
// BAND=n would; a file without that band is refused and the image keeps its planes.
TEST_F(LoadExec, GunWithoutBandTakesItsOwnBandOfAColourFile)
{
    const std::string c = ppm("c.ppm", 32, 32);
    ASSERT_EQ(load("GUN=R i=" + c).status, 0) << err;
    ASSERT_EQ(load("GUN=G i=" + c).status, 0) << err;
    ASSERT_EQ(load("GUN=B i=" + c).status, 0) << err;
    const std::string viaGuns = loaddrv::pamOf(0);
    const Rgba p = at(0, 9, 5);
    EXPECT_EQ(p.r, 9);
    EXPECT_EQ(p.g, 5);
    EXPECT_EQ(p.b, 246);
    EXPECT_EQ(bufObjs[0].numImgs, 1);
    EXPECT_EQ(bufObjs[0].imgDes[0].planeBands[1], 2);

    auto r = load("GUN=A i=" + c);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("22: Invalid Image Band selection"), std::string::npos) << err;
    EXPECT_EQ(bufObjs[0].imgDes[0].planeBands[3], 0);
    EXPECT_EQ(loaddrv::pamOf(0), viaGuns) << "the refused gun wrote nothing";

    loaddrv::reset();
    ASSERT_EQ(load("BAND=1 GUN=R i=" + c).status, 0) << err;
    ASSERT_EQ(load("BAND=2 GUN=G i=" + c).status, 0) << err;
    ASSERT_EQ(load("BAND=3 GUN=B i=" + c).status, 0) << err;
    EXPECT_EQ(loaddrv::pamOf(0), viaGuns) << "the same as naming the bands";
}

TEST_F(LoadExec, MemoryRefusalIsErrorThirtyThree)
{
    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = 1000;
        swap = 0;
        return true;
    });
    auto r = load("i=" + pgm("m.pgm", 64, 64));
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("33: Requested image buffer exceeds system resources. Declined."),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Unsafe Memory request"), std::string::npos);
    EXPECT_EQ(bufObjs[0].numImgs, 0);
}

TEST_F(LoadExec, MissingFileAndDumpHeader)
{
    auto r = load("i=" + dir + "/nothere.pgm");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("10: Fail opening file: " + dir + "/nothere.pgm"), std::string::npos);

    const std::string p = pgm("d.pgm", 20, 20);
    r = load("DUMPH i=" + p);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.messages.find("FILE:  d.pgm"), std::string::npos) << r.messages;
    EXPECT_EQ(bufObjs[0].numImgs, 0) << "nothing loaded";
}

TEST_F(LoadExec, RefusedSixteenBitFileLeavesNothingBehind)
{
    resetHdrSettings();
    std::string data = "P5\n40 40\n65535\n";
    for (int i = 0; i < 1600; ++i) {
        data += char(i >> 8);
        data += char(i & 255);
    }
    // HDR files load in place: a placement is refused before anything is read.
    auto r = load("BXY=10,10 i=" + write("deep.pgm", data));
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("20: HDR Prohibited Tags"), std::string::npos) << err;
    EXPECT_EQ(bufObjs[0].numImgs, 0);
    EXPECT_EQ(r.pam, "") << "no pixels are left behind";
    EXPECT_EQ(hdrSet.rangeMode[0], HDR_MED3SD) << "a refused HDR file leaves the scaling default";
}

TEST_F(LoadExec, EncryptedFileDecryptsWithTheRightKeyOnly)
{
    const std::string plain = pgm("scene.pgm", 24, 24);
    const std::string marked = dir + "/scene#.pgm";
    ASSERT_EQ(SETUSERKEY("'correct horse battery'"), 0);
    {
        std::FILE* in = std::fopen(plain.c_str(), "rb");
        std::string outName = plain;
        ASSERT_EQ(cryptFile(in, nullptr, &outName, "'correct horse battery'", CRYPT_ENCRYPT), 0);
        std::fclose(in);
        ASSERT_EQ(outName, marked);
    }
    auto r = load("i=" + marked);
    ASSERT_EQ(r.status, 0) << err;
    EXPECT_EQ(at(0, 5, 1).r, 8);
    EXPECT_NE(r.messages.find("Decrypting file..."), std::string::npos);

    loaddrv::reset();
    ASSERT_EQ(SETUSERKEY("'some other phrase'"), 0);
    r = load("i=" + marked);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(err.find("63: Decryption FAIL."), std::string::npos) << err;
}

// Each refusal of the load execution, provoked once: the numbered message, status 4, and an
// iBUFF that keeps what it held before.
TEST_F(LoadExec, RefusalsReportTheirNumbers)
{
    const std::string grey = pgm("g.pgm", 40, 40);
    const std::string colour = ppm("c.ppm", 40, 40);
    std::string deep = "P6\n20 20\n65535\n";
    deep.append(20 * 20 * 6, char(1));
    const std::string deepPpm = write("deep.ppm", deep);
    std::string deepGrey = "P5\n20 20\n65535\n";
    deepGrey.append(20 * 20 * 2, char(1));
    const std::string deepPgm = write("deepg.pgm", deepGrey);
    const std::string junk = write("junk.pgm", std::string(2000, 'z'));
    std::string cut = "P5\n40 40\n255\n";
    cut.append(100, char(9));
    const std::string truncated = write("cut.pgm", cut);

    struct Case {
        std::string before; // loaded first (empty: none)
        std::string cmd;
        std::string want;
    };
    const std::vector<Case> cases = {
        {"", "i=" + junk, "17: Non-standard image header or file error; status=: "},
        {"", "SFACT=0.25 i=" + grey, " 3: Selected image area too small dcols, drows - 10 10"},
        {"", "BAND=3 i=" + grey, "22: Invalid Image Band selection or overwrite"},
        {"", "GIF2ALPHA i=" + grey, "44: GIF2ALPHA Tag defined but image not in GIF format"},
        {"STATIC=64,64 i=" + grey, "BXY=40,40 i=" + colour, "19: STATIC Tag cannot resize"},
        {"i=" + grey, "BXY=1,1 i=" + deepPgm, "24: Cannot mix HDR with non-HDR data in iBUFF."},
        {"", "BXY=4,4 i=" + deepPgm, "20: HDR Prohibited Tags: BXY, MIRROR, FLIP, R180"},
        {"", "HDR=R,PSEUDO,FULL i=" + deepPpm, "47: PSEUDOCOLOR scaling is defined only"},
        {"", "i=" + truncated, "46: IMAGE_LOAD() fail; Status= "},
    };
    for (const auto& c : cases) {
        loaddrv::reset();
        int32 w = 0;
        if (!c.before.empty()) {
            ASSERT_EQ(load(c.before).status, 0) << c.before << err;
            w = bufObjs[0].width;
        }
        auto r = load(c.cmd);
        EXPECT_EQ(r.status, 4) << c.cmd;
        EXPECT_NE(err.find(c.want), std::string::npos) << c.cmd << "\n" << err;
        EXPECT_EQ(bufObjs[0].width, w) << c.cmd << ": the iBUFF keeps its earlier state";
        if (c.before.empty()) {
            EXPECT_EQ(bufObjs[0].numImgs, 0) << c.cmd;
        }
    }
}

// A refused load leaves no trace in the buffer's record: the next load into the same empty
// buffer must not inherit an HDR or static mark from a file that never arrived.
TEST_F(LoadExec, RefusedLoadLeavesNoMarkOnTheBuffer)
{
    const std::string grey = pgm("g.pgm", 40, 40);
    const std::string wide = ppm("w.ppm", 100, 30);
    std::string deep = "P5\n20 20\n65535\n";
    deep.append(20 * 20 * 2, char(1));
    const std::string deepPgm = write("deep.pgm", deep);

    ASSERT_EQ(load("FXY=10,0 i=" + deepPgm).status, 4);
    EXPECT_NE(err.find("25: FXY Tag exceeds data dimensions"), std::string::npos) << err;
    EXPECT_EQ(bufObjs[0].bufCtlm & bufIS_HDR, 0u);
    ASSERT_EQ(load("i=" + grey).status, 0) << err;
    EXPECT_EQ(bufObjs[0].bufCtlm & bufIS_HDR, 0u) << "an 8-bit image is not shown as HDR";

    loaddrv::reset();
    ASSERT_EQ(load("STATIC=640,480 BXY=630,0 i=" + wide).status, 4);
    EXPECT_EQ(bufObjs[0].bufCtlm & bufSTATIC, 0u);
    ASSERT_EQ(load("i=" + grey).status, 0) << err;
    EXPECT_EQ(load("BXY=40,0 i=" + grey).status, 0) << "not a static buffer: " << err;
    EXPECT_EQ(bufObjs[0].width, 80);

    // A refused one-gun load onto an existing image keeps that image's description (the
    // colour file has no band 4 for the alpha gun).
    EXPECT_EQ(load("GUN=A,1 i=" + wide).status, 4);
    EXPECT_NE(err.find("22: Invalid Image Band selection"), std::string::npos) << err;
    EXPECT_EQ(bufObjs[0].imgDes[0].fd[3].fCols, 0u) << "the alpha gun describes no file";
    EXPECT_EQ(bufObjs[0].imgDes[0].planeBands[3], 0);
    EXPECT_EQ(bufObjs[0].imgDes[0].loadCount, 1);
    EXPECT_LT(bufObjs[0].curImg, bufObjs[0].numImgs);
}

TEST_F(LoadExec, HeaderDumpKeepsWhatTheBufferHolds)
{
    const std::string grey = pgm("g.pgm", 40, 40), colour = ppm("c.ppm", 32, 32);
    ASSERT_EQ(load("i=" + grey).status, 0) << err;
    auto r = load("DUMPH i=" + colour);
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.messages.find("FILE:  c.ppm"), std::string::npos) << r.messages;
    const bufdes& b = bufObjs[0];
    ASSERT_EQ(b.numImgs, 1);
    EXPECT_EQ(b.width, 40);
    EXPECT_EQ(at(0, 4, 2).r, 10);
    EXPECT_NE(std::string(b.imgDes[0].fd[0].path).find("g.pgm"), std::string::npos);
    EXPECT_EQ(b.imgDes[1].geomSet, 0);
    EXPECT_EQ(b.imgDes[1].fd[0].fCols, 0u) << "the spare descriptor stays fresh";
}

// Composing with BXY after SETB adds a new image; the image SETB made current keeps its own
// descriptor.
TEST_F(LoadExec, ComposingAfterSetbAddsAnImage)
{
    const std::string grey = pgm("g.pgm", 40, 40), colour = ppm("c.ppm", 32, 32);
    ASSERT_EQ(load("i=" + grey).status, 0) << err;
    ASSERT_EQ(load("SETB=1 BXY=50,0 i=" + colour).status, 0) << err;
    const bufdes& b = bufObjs[0];
    ASSERT_EQ(b.numImgs, 2);
    EXPECT_NE(std::string(b.imgDes[0].fd[0].path).find("g.pgm"), std::string::npos);
    EXPECT_EQ(b.imgDes[0].width, 40);
    EXPECT_NE(std::string(b.imgDes[1].fd[0].path).find("c.ppm"), std::string::npos);
    EXPECT_EQ(b.imgDes[1].x0, 50);
    EXPECT_EQ(b.imgDes[1].width, 32);
    EXPECT_EQ(b.curImg, 1);
}

TEST_F(LoadExec, PaletteGifRefusesAGunLoad)
{
    const std::string gif = dir + "/pal.gif";
    const std::string cmd =
        "convert -size 32x32 gradient:red-blue -colors 16 " + gif + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0)
        GTEST_SKIP() << "ImageMagick not available";
    auto r = load("GUN=R i=" + gif);
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(err.find("36: Cannot Pseudocolor > 1 chan or RGBA overwrite") !=
                    std::string::npos ||
                err.find(" 2: Num luts not equal to num selected data bands") != std::string::npos)
        << err;
    r = load("i=" + gif);
    EXPECT_EQ(r.status, 0) << err;
    EXPECT_EQ(bufObjs[0].width, 32);
}

// Runs fn in a child process and gives its exit status, or -1 when it had not finished within
// the time limit (the child is killed): a load that blocks fails instead of hanging.
int exitStatusWithin(int seconds, const std::function<int()>& fn)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(fn());
    for (int i = 0; i < seconds * 100; ++i) {
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid)
            return WIFEXITED(st) ? WEXITSTATUS(st) : -2;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

// Only regular files are opened, as images or as scripts: a named pipe without a writer, an
// endless device and a folder get the open failure at once.
TEST_F(LoadExec, OnlyRegularFilesAreOpened)
{
    const std::string fifo = dir + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), dir}) {
        for (const auto& [tag, want] : {std::pair{"i=", "10: Fail opening file: "},
                                        std::pair{"CMD=", "13: Fail opening command file: "}}) {
            const int st = exitStatusWithin(5, [&] {
                const loaddrv::Result r = loaddrv::runCommand(tag + path);
                const bool refused = r.status == 4 && bufObjs[0].numImgs == 0 &&
                                     r.messages.find(want + path) != std::string::npos;
                return refused ? 0 : 1;
            });
            EXPECT_EQ(st, 0) << tag << path << (st == -1 ? ": blocked for 5 s" : ": not refused");
        }
    }
}

TEST_F(LoadExec, FailedReplacingLoadKeepsTheEarlierImages)
{
    const std::string a = ppm("a.ppm", 48, 40);
    const std::string junk = write("junk.pgm", std::string(3000, 'q'));
    const std::string narrow = pgm("narrow.pgm", 16, 64);
    const std::string big = pgm("big.pgm", 200, 200);
    // Sixteen-bit files pass the header and are refused by the rules of HDR loads: one fits
    // the block the clear kept, the other would need it grown.
    std::string deep = "P6\n20 20\n65535\n", deepBig = "P5\n90 90\n65535\n";
    deep.append(20 * 20 * 6, char(3));
    deepBig.append(90 * 90 * 2, char(3));
    const std::string deepPgm = write("deep.pgm", deep), deepBigPgm = write("deepbig.pgm", deepBig);
    ASSERT_EQ(load("i=" + a).status, 0) << err;
    const std::string before = loaddrv::pamOf(0);

    struct Case {
        std::string cmd, want;
    };
    const std::vector<Case> cases = {
        {"i=" + junk, "17: Non-standard image header"},
        {"i=" + narrow, "25: FXY Tag exceeds data dimensions"},
        {"INIT i=" + narrow, "25: FXY Tag exceeds data dimensions"},
        {"i=" + big, "33: Requested image buffer exceeds system resources."},
        {"HDR=R,PSEUDO,FULL i=" + deepPgm, "47: PSEUDOCOLOR scaling is defined only"},
        {"INIT BXY=20,20 i=" + deepBigPgm, "20: HDR Prohibited Tags"},
    };
    for (const auto& c : cases) {
        if (c.want.rfind("33", 0) == 0)
            setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
                ram = 48 * 40 * 4 * 2; // room for what is kept, not for the new image
                swap = 0;
                return true;
            });
        auto r = load(c.cmd);
        setFreeMemSource(nullptr);
        EXPECT_EQ(r.status, 4) << c.cmd;
        EXPECT_NE(err.find(c.want), std::string::npos) << c.cmd << "\n" << err;
        EXPECT_EQ(bufObjs[0].numImgs, 1) << c.cmd;
        EXPECT_EQ(bufObjs[0].width, 48) << c.cmd;
        EXPECT_TRUE(bufObjs[0].bufCtlm & bufLOADED) << c.cmd;
        EXPECT_EQ(loaddrv::pamOf(0), before) << c.cmd << ": the earlier pixels are kept";
    }
    // And the buffer still works as before: a successful replacing load replaces it.
    ASSERT_EQ(load("i=" + big).status, 0) << err;
    EXPECT_EQ(bufObjs[0].width, 200);
    EXPECT_EQ(bufObjs[0].numImgs, 1);
}

} // namespace
