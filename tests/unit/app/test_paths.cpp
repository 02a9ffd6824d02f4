// Working paths and environment-variable expansion.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tavPaths.h"

namespace {

TEST(EnvExpand, FirstVariableReplacesTheTextBeforeIt)
{
    setenv("TAVTEST_DIR", "/data/images", 1);
    std::string p = "junk$TAVTEST_DIR/sub/x.png";
    EXPECT_TRUE(ENV_EXPAND(p));
    EXPECT_EQ(p, "/data/images/sub/x.png");

    p = "$TAVTEST_DIR";
    EXPECT_TRUE(ENV_EXPAND(p));
    EXPECT_EQ(p, "/data/images");

    p = "$X/one-letter";
    EXPECT_TRUE(ENV_EXPAND(p));
    EXPECT_EQ(p, "$X/one-letter");

    p = "$TAVTEST_UNSET_VAR/a";
    EXPECT_TRUE(ENV_EXPAND(p));
    EXPECT_EQ(p, "$TAVTEST_UNSET_VAR/a");
}

TEST(EnvExpand, TooLongResultIsRefusedNotCut)
{
    setenv("TAVTEST_LONG", std::string(250, 'L').c_str(), 1);
    std::string p = "$TAVTEST_LONG/abcdefgh";
    EXPECT_FALSE(ENV_EXPAND(p));
    EXPECT_EQ(p, "$TAVTEST_LONG/abcdefgh");
}

TEST(PathSetters, TrailingSlashExpansionAndLimits)
{
    setenv("TAVTEST_DIR", "/data/images", 1);
    EXPECT_TRUE(SET_IPATH("$TAVTEST_DIR"));
    EXPECT_EQ(GET_IPATH(), "/data/images/");
    EXPECT_TRUE(SET_SPATH("$TAVTEST_DIR"));
    EXPECT_EQ(GET_SPATH(), "$TAVTEST_DIR/") << "the script path is kept as written";
    EXPECT_TRUE(SET_WPATH(""));
    EXPECT_EQ(GET_WPATH(), "");
    // 255 characters plus the "/" would not fit.
    EXPECT_FALSE(SET_SVPATH(std::string(255, 's')));
    EXPECT_TRUE(SET_SVPATH(std::string(254, 's')));
    EXPECT_EQ(GET_SVPATH().size(), 255u);
    resetPathsToCwd();
    EXPECT_EQ(GET_IPATH(), cwdWithSlash());
}

} // namespace
