// The file name handed to path-only codec readers reaches the open (decrypted) stream.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fdPath.h"

TEST(StreamFdPath, NamesAnAnonymousStream)
{
    std::FILE* fp = std::tmpfile();
    ASSERT_NE(fp, nullptr);
    std::fputs("decrypted bytes", fp); // still in the stream's buffer
    streamFdPath p;
    ASSERT_TRUE(p.open(fp));
    EXPECT_EQ(std::string(p.c_str()).rfind("/proc/self/fd/", 0), 0u);

    std::FILE* other = std::fopen(p.c_str(), "rb");
    ASSERT_NE(other, nullptr);
    char buf[32] = {};
    EXPECT_EQ(std::fread(buf, 1, sizeof buf - 1, other), 15u);
    EXPECT_STREQ(buf, "decrypted bytes");
    std::fclose(other);

    // The name outlives the stream it was made from, and goes with its owner.
    std::fclose(fp);
    other = std::fopen(p.c_str(), "rb");
    ASSERT_NE(other, nullptr);
    std::fclose(other);
    const std::string name = p.c_str();
    streamFdPath moved = std::move(p);
    EXPECT_FALSE(p.ok());
    moved.reset();
    moved.reset();
    EXPECT_EQ(std::fopen(name.c_str(), "rb"), nullptr);
    EXPECT_FALSE(streamFdPath().open(nullptr));
}
