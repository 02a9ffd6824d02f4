// The buffer table: start-up state, clear/free/create/clone, fill, restride, header dump.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bufRecMgt.h"

namespace {

bool plentyOfMemory(std::uint64_t& ram, std::uint64_t& swap)
{
    ram = 64ull << 30;
    swap = 0;
    return true;
}

class BufTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        setFreeMemSource(plentyOfMemory);
        t = INIT_BUFMGT();
        ASSERT_NE(t, nullptr);
    }
    void TearDown() override
    {
        RELEASE_BUFMGT();
        setFreeMemSource(nullptr);
    }
    bufdes* t = nullptr;
};

bool identityLuts(const bufdes& b)
{
    for (const auto& lut : b.tLut)
        for (int i = 0; i < 256; ++i)
            if (lut[i] != i)
                return false;
    return true;
}

TEST_F(BufTable, FreshSlots)
{
    for (int i = 0; i < NUM_iBUFF; ++i) {
        EXPECT_EQ(t[i].numImgs, 0);
        EXPECT_EQ(t[i].bufNum, i + 1);
        ASSERT_NE(t[i].imgDes, nullptr);
        EXPECT_STREQ(t[i].imgDes[0].scal[2].curve, "UNSCALED");
        EXPECT_EQ(t[i].imgDes[0].scal[2].table[200], 200.0f);
        EXPECT_EQ(t[i].imgDes[0].scal[2].hi, 255.0f);
        EXPECT_TRUE(identityLuts(t[i]));
    }
    EXPECT_EQ(INIT_BUFMGT(), t) << "a second call keeps the table";
}

TEST_F(BufTable, CreateSizesAndDescribesASyntheticImage)
{
    int st = 99;
    int32u* px = CREATE_iBUFF(&t[3], 40, 30, &st);
    ASSERT_NE(px, nullptr);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(t[3].width, 40);
    EXPECT_EQ(t[3].numImgs, 0);
    EXPECT_EQ(t[3].bufNum, 4);
    const ides& d = t[3].imgDes[0];
    EXPECT_EQ(d.x1, 39);
    EXPECT_EQ(d.y1, 29);
    EXPECT_STREQ(d.fd[0].path, "Created by CREATE_iBUFF()");
    EXPECT_EQ(d.fd[0].slBytes, 160);
    EXPECT_EQ(d.fd[0].storMode, SM_PIXEL_IL);
    EXPECT_EQ(t[3].transl.factor, 1);
    for (int i = 0; i < 40 * 30; ++i)
        ASSERT_EQ(px[i], 0u);
}

TEST_F(BufTable, CreateWithZeroSizeOrRefusalReturnsNothing)
{
    int st = 0;
    EXPECT_EQ(CREATE_iBUFF(&t[0], 0, 10, &st), nullptr);
    EXPECT_EQ(st, -1);
    ASSERT_NE(CREATE_iBUFF(&t[0], 10, 10, &st), nullptr);
    EXPECT_EQ(CREATE_iBUFF(&t[0], 10, -5, &st), nullptr);
    EXPECT_EQ(st, -1);
    EXPECT_EQ(t[0].imgbuf, nullptr) << "a refused create frees the kept block";
}

TEST_F(BufTable, ClearKeepsBlockAndSizeForReuseAndCreateKeepsContent)
{
    int st = 0;
    int32u* px = CREATE_iBUFF(&t[1], 8, 8, &st);
    ASSERT_NE(px, nullptr);
    px[5] = 0xdeadbeef;
    t[1].numImgs = 1;
    t[1].tLut[0][3] = 9;
    int32u* kept = CLEAR_iBUFF(&t[1]);
    EXPECT_EQ(kept, px);
    EXPECT_EQ(t[1].prevWidth, 8);
    EXPECT_EQ(t[1].numImgs, 0);
    EXPECT_TRUE(identityLuts(t[1]));
    CLEAR_iBUFF(&t[1]);
    EXPECT_EQ(t[1].prevWidth, 8) << "a second clear remembers the kept block's size";
    int32u* again = CREATE_iBUFF(&t[1], 16, 8, &st);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again[5], 0xdeadbeefu);
    for (int i = 64; i < 128; ++i)
        ASSERT_EQ(again[i], 0u) << "grown part is zeroed";
    FREE_iBUFF(&t[1]);
    EXPECT_EQ(t[1].imgbuf, nullptr);
    EXPECT_EQ(t[1].prevWidth, 0);
    EXPECT_EQ(t[1].bufNum, 2);
}

TEST_F(BufTable, CloneIsIndependent)
{
    int st = 0;
    int32u* px = CREATE_iBUFF(&t[0], 4, 4, &st);
    ASSERT_NE(px, nullptr);
    t[0].numImgs = 1;
    FILL_iBUFF(px, 4, 4, 0x11223344);
    ASSERT_TRUE(CLONE_iBUFF(&t[5], &t[0]));
    EXPECT_EQ(t[5].bufNum, 6);
    EXPECT_NE(t[5].imgbuf, t[0].imgbuf);
    EXPECT_NE(t[5].imgDes, t[0].imgDes);
    EXPECT_EQ(t[5].numImgs, 1);
    EXPECT_STREQ(t[5].imgDes[1].scal[0].curve, "UNSCALED") << "fresh spare after the copies";
    t[5].imgbuf[0] = 0;
    t[5].imgDes[0].width = 1;
    EXPECT_EQ(px[0], 0x11223344u);
    EXPECT_EQ(t[0].imgDes[0].width, 4);
}

bool noMemory(std::uint64_t& ram, std::uint64_t& swap)
{
    ram = 1000;
    swap = 0;
    return true;
}

TEST_F(BufTable, RefusedCloneSharesNothingWithTheParent)
{
    int st = 0;
    ASSERT_NE(CREATE_iBUFF(&t[0], 64, 64, &st), nullptr);
    t[0].numImgs = 1;
    ASSERT_NE(CREATE_iBUFF(&t[1], 8, 8, &st), nullptr);
    int32u* childBlock = t[1].imgbuf;
    setFreeMemSource(noMemory);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(CLONE_iBUFF(&t[1], &t[0]));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(t[1].imgbuf, childBlock);
    EXPECT_NE(t[1].imgDes, t[0].imgDes);
    // Release frees both without a double free (ASan would report it).
}

// Growing a buffer that holds images keeps every earlier pixel where it was in the picture and
// clears what the growth adds; a refusal leaves the buffer exactly as it was.
TEST_F(BufTable, GrowKeepsThePictureAndClearsTheAddedPixels)
{
    int st = 0;
    int32u* px = CREATE_iBUFF(&t[0], 3, 2, &st);
    ASSERT_NE(px, nullptr);
    for (int i = 0; i < 6; ++i)
        px[i] = int32u(i + 1);
    std::string msg;
    ASSERT_EQ(GROW_iBUFF(&t[0], 5, 4, &msg), 0);
    EXPECT_EQ(t[0].width, 5);
    EXPECT_EQ(t[0].height, 4);
    const std::vector<int32u> want = {1, 2, 3, 0, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<int32u>(t[0].imgbuf, t[0].imgbuf + 20), want);
    EXPECT_EQ(GROW_iBUFF(&t[0], 2, 2, &msg), 0) << "never shrinks";
    EXPECT_EQ(t[0].width, 5);

    setFreeMemSource(noMemory);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GROW_iBUFF(&t[0], 500, 400, &msg), -1);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(msg.find("Unsafe Memory request"), std::string::npos);
    EXPECT_EQ(t[0].width, 5);
    EXPECT_EQ(std::vector<int32u>(t[0].imgbuf, t[0].imgbuf + 20), want);
}

// An empty buffer reuses the block its clear kept when it is large enough, and grows it
// otherwise; the guard is asked only for what the kept block lacks.
TEST_F(BufTable, ReserveReusesTheKeptBlock)
{
    int st = 0;
    ASSERT_NE(CREATE_iBUFF(&t[0], 100, 100, &st), nullptr);
    CLEAR_iBUFF(&t[0]);
    int32u* kept = t[0].imgbuf;
    setFreeMemSource([](std::uint64_t& ram, std::uint64_t& swap) {
        ram = 20000; // room for 14000 bytes: less than a new 100 x 40 block of 16000
        swap = 0;
        return true;
    });
    std::string msg;
    EXPECT_EQ(RESERVE_iBUFF(&t[0], 100, 100, &msg, &st), kept);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(RESERVE_iBUFF(&t[0], 100, 130, &msg, &st), t[0].imgbuf) << "12000 bytes more";
    EXPECT_EQ(st, 0);
    EXPECT_EQ(RESERVE_iBUFF(&t[1], 100, 40, &msg, &st), nullptr) << "no kept block to reuse";
    EXPECT_EQ(st, -1);
    EXPECT_NE(msg.find("Unsafe Memory request"), std::string::npos);
    EXPECT_EQ(t[1].imgbuf, nullptr);
}

// A touched display is tied to a block by its generation: every change of a block gives a
// generation never seen before, even a block of the same size at the same address.
TEST_F(BufTable, EveryBlockChangeGivesANewGeneration)
{
    std::vector<int32u> seen;
    auto fresh = [&](const bufdes& b, const char* what) {
        for (int32u g : seen)
            ASSERT_NE(b.generation, g) << what;
        seen.push_back(b.generation);
    };
    int st = 0;
    std::string msg;
    ASSERT_NE(CREATE_iBUFF(&t[0], 32, 16, &st), nullptr);
    fresh(t[0], "create");
    ASSERT_NE(CREATE_iBUFF(&t[0], 32, 16, &st), nullptr);
    fresh(t[0], "create again at the same size");
    ASSERT_EQ(GROW_iBUFF(&t[0], 40, 16, &msg), 0);
    fresh(t[0], "grow");
    ASSERT_TRUE(CLONE_iBUFF(&t[1], &t[0]));
    fresh(t[1], "clone");
    CLEAR_iBUFF(&t[0]);
    fresh(t[0], "clear");
    FREE_iBUFF(&t[1]);
    fresh(t[1], "free");
}

TEST(Pixels, FillAndRestride)
{
    std::vector<int32u> px(120 * 3, 0xffffffffu);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 100; ++c)
            px[size_t(r * 100 + c)] = int32u(r * 1000 + c);
    RESTRIDE_iBUFF(px.data(), 100, 3, 120);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 100; ++c)
            ASSERT_EQ(px[size_t(r * 120 + c)], int32u(r * 1000 + c)) << r << "," << c;
        for (int c = 100; c < 120; ++c)
            ASSERT_EQ(px[size_t(r * 120 + c)], 0u) << r << "," << c;
    }
    std::vector<int32u> f(6, 0);
    FILL_iBUFF(f.data(), 3, 2, 7);
    EXPECT_EQ(f, std::vector<int32u>(6, 7));
    FILL_iBUFF(f.data(), 0, 2, 9);
    EXPECT_EQ(f[0], 7u);
}

TEST(HeaderDump, TextAndPathSplitting)
{
    fdes f{};
    std::snprintf(f.path, sizeof f.path, "%s", "scene.pgm");
    f.fCols = 640;
    f.fRows = 480;
    f.dataType = DT_INT16;
    f.vslCtlm = 0x20800;
    f.storMode = SM_FLAT;
    f.bands = 1;
    f.bytsPixl = 2;
    f.quantiz = 16;
    std::string text;
    DUMP_HEADER(&f, &text);
    EXPECT_EQ(text, "\n\nFILE:  scene.pgm\nPATH:  ./\nFCOLS: 640   FROWS: 480\n"
                    "DATATYPE: INT16  VSL-BITMASK: 00020800\n"
                    "STORAGE MODE: FLAT   COMPRESSED: FALSE   ALPHA: FALSE  TILED: TRUE\n"
                    "# BYTES/BAND: 2  # BANDS/IMAGE: 1  QUANT (bits): 16\n"
                    "HIGH DYNAMIC RANGE: ON. Scaling Accumulator sBUFF active.\n");
    std::snprintf(f.path, sizeof f.path, "%s", "/data/x/rgba.png");
    f.dataType = 0;
    f.bands = 4;
    f.quantiz = 8;
    f.storMode = SM_PIXEL_IL;
    DUMP_HEADER(&f, &text);
    EXPECT_NE(text.find("FILE:  rgba.png\nPATH:  /data/x/\n"), std::string::npos);
    EXPECT_NE(text.find("DATATYPE: MISSING"), std::string::npos);
    EXPECT_NE(text.find("PIXEL INTERL."), std::string::npos);
    EXPECT_NE(text.find("ALPHA: TRUE"), std::string::npos);
    EXPECT_EQ(text.find("HIGH DYNAMIC"), std::string::npos);
}

} // namespace
