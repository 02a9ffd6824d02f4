// The memory guard with a replaceable free-memory source.
#include <gtest/gtest.h>

#include <cstdint>

#include "bufRecMgt.h"

namespace {

bool tenGigRam(std::uint64_t& ram, std::uint64_t& swap)
{
    ram = 8'000'000'000ull;
    swap = 2'000'000'000ull;
    return true;
}

std::string severe;
void captureSevere(const std::string& t)
{
    severe = t;
}

class MemGuard : public ::testing::Test {
protected:
    void SetUp() override { setFreeMemSource(tenGigRam); }
    void TearDown() override
    {
        setFreeMemSource(nullptr);
        setSevereMessageSink(nullptr);
    }
};

TEST_F(MemGuard, SeventyPercentOfRamPlusSwap)
{
    std::string msg = "old";
    EXPECT_EQ(SAFE_MEM_REQ(0, &msg), 1);
    EXPECT_EQ(msg, "");
    EXPECT_EQ(SAFE_MEM_REQ(7'000'000'000ull, &msg), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(SAFE_MEM_REQ(7'000'000'001ull, &msg), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(msg, "\nUnsafe Memory request. Resource use factor 0.70 exceeded.\n"
                   "Requested:         7000\nFree Mb RAM:       8000, Free Mb SWAP:       2000\n");
    EXPECT_EQ(err, msg);
}

TEST_F(MemGuard, WidthHeightVariantsAre64Bit)
{
    std::string msg;
    testing::internal::CaptureStderr();
    // 50000 x 50000 x 4 overflows 32 bits and exceeds the free memory.
    EXPECT_EQ(SAFE_MEM_REQ_WH(50000, 50000, &msg), 0);
    EXPECT_EQ(SAFE_MEM_REQ_WH(-1, 10, &msg), 0);
    EXPECT_EQ(SAFE_MEM_REQ_WH(int64_t(1) << 40, 1, &msg), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(SAFE_MEM_REQ_WH(10000, 10000, &msg), 1);
    EXPECT_EQ(SAFE_MEM_REQ_SCALED(50000, 50000, &msg, 0.25, 0.25), 1);
}

TEST_F(MemGuard, RefusalWithoutMessageGoesToTheSevereSink)
{
    setSevereMessageSink(captureSevere);
    severe.clear();
    testing::internal::CaptureStderr();
    EXPECT_EQ(SAFE_MEM_REQ(9'000'000'000ull, nullptr), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(severe.find("Unsafe Memory request"), std::string::npos);
}

} // namespace
