// Large blocks: aligned for huge pages, zeroed when asked even where the allocator hands back
// memory it used before, grown with the asked content kept, and released by std::free as well.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "bigBlock.h"
#include "bufRecMgt.h"

namespace {

bool allZero(const void* p, std::size_t n)
{
    const auto* b = static_cast<const unsigned char*>(p);
    for (std::size_t i = 0; i < n; ++i)
        if (b[i])
            return false;
    return true;
}

TEST(BigBlock, LargeBlocksAreAlignedAndFreeAcceptsThem)
{
    void* big = bigAlloc(kBigBlockMin + 123);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(big) % kHugePage, 0u);
    std::free(big); // the C allocator's own release is valid on them
    EXPECT_EQ(bigAlloc(0), nullptr);
    EXPECT_EQ(bigZeroAlloc(0), nullptr);
    bigFree(nullptr);
}

TEST(BigBlock, ZeroAllocIsZeroOnMemoryUsedBefore)
{
    for (std::size_t bytes : {std::size_t(1000), kBigBlockMin, kBigBlockMin * 3 + 4096}) {
        for (int round = 0; round < 3; ++round) {
            void* dirty = bigAlloc(bytes);
            ASSERT_NE(dirty, nullptr);
            std::memset(dirty, 0xAB, bytes);
            bigFree(dirty);
            void* z = bigZeroAlloc(bytes);
            ASSERT_NE(z, nullptr);
            EXPECT_TRUE(allZero(z, bytes)) << bytes;
            bigFree(z);
        }
    }
}

TEST(BigBlock, ReallocKeepsTheAskedContent)
{
    const struct {
        std::size_t from, to, keep;
    } cases[] = {
        {1000, 5000, 1000},                             // small to small
        {1000, kBigBlockMin * 2, 1000},                 // small to big
        {kBigBlockMin, kBigBlockMin * 3, kBigBlockMin}, // big to bigger
        {kBigBlockMin * 2, kBigBlockMin, kBigBlockMin}, // shrink: the block stays
    };
    for (const auto& c : cases) {
        auto* p = static_cast<unsigned char*>(bigAlloc(c.from));
        ASSERT_NE(p, nullptr);
        for (std::size_t i = 0; i < c.from; ++i)
            p[i] = static_cast<unsigned char>(i * 7 + 3);
        auto* q = static_cast<unsigned char*>(bigRealloc(p, c.keep, c.to));
        ASSERT_NE(q, nullptr) << c.from << "->" << c.to;
        if (c.to <= c.from) {
            EXPECT_EQ(q, p);
        }
        for (std::size_t i = 0; i < c.keep; ++i)
            ASSERT_EQ(q[i], static_cast<unsigned char>(i * 7 + 3)) << c.from << "->" << c.to;
        bigFree(q);
    }
}

// A kept block grown past the huge-page size keeps its pixels and zeroes the new part.
TEST(BigBlock, CreateGrowsAKeptLargeBlockWithItsContent)
{
    bufdes* t = INIT_BUFMGT();
    ASSERT_NE(t, nullptr);
    int st = 0;
    int32u* px = CREATE_iBUFF(&t[2], 1024, 1024, &st);
    ASSERT_NE(px, nullptr);
    px[0] = 0x11223344u;
    px[1024 * 1024 - 1] = 0x55667788u;
    CLEAR_iBUFF(&t[2]);
    int32u* grown = CREATE_iBUFF(&t[2], 1024, 3072, &st);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(grown[0], 0x11223344u);
    EXPECT_EQ(grown[1024 * 1024 - 1], 0x55667788u);
    EXPECT_TRUE(allZero(grown + 1024 * 1024, std::size_t(1024) * 2048 * 4));
    RELEASE_BUFMGT();
}

} // namespace
