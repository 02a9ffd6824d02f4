#include <gtest/gtest.h>

#include <vector>

#include "memSurface.h"
#include "pixelScope.h"
#include "uiScript.h"
#include "viewBuilder.h"

// The FG AOI is read from the view and clipped to its display box; writing planes back changes
// only the chosen guns of the view, never the buffer.
TEST(PixelScope, FgAoiGoesThroughTheView)
{
    viewBuilder view(8, 8);
    memSurface surface(20, 10, 0x80102030u);
    uiScript ui;
    view.bd->fgAoi = aoiRec{15, 6, 25, 12}; // past the view's right and bottom edges
    pixelScope s;
    ASSERT_TRUE(pixelScopeOf(&view.vs, view.bd, &s));
    EXPECT_FALSE(s.global);
    EXPECT_EQ(s.cols, 5);
    EXPECT_EQ(s.rows, 4);
    std::vector<charu> g(20);
    charu* planes[3] = {nullptr, g.data(), nullptr};
    ASSERT_TRUE(readScopeGuns(s, view.bd, 2, planes));
    for (charu v : g)
        EXPECT_EQ(v, 0x20);
    for (std::size_t i = 0; i < g.size(); ++i)
        g[i] = charu(i);
    const charu* in[3] = {nullptr, g.data(), nullptr};
    ASSERT_TRUE(writeScopeGuns(s, view.bd, 2, in));
    EXPECT_EQ(surface.at(16, 7), 0x80100630u);
    EXPECT_EQ(surface.at(14, 7), 0x80102030u);
    for (int32 y = 0; y < 8; ++y)
        for (int32 x = 0; x < 8; ++x)
            ASSERT_EQ(view.bd->imgbuf[y * 8 + x], viewBuilder::pattern(x, y));
}

// GLOBAL scope works on the buffer's own rows and moves the progress indicator to the end.
TEST(PixelScope, GlobalWorksOnTheBufferRows)
{
    viewBuilder view(6, 300, 0x01020304u);
    uiScript ui;
    view.vs.dmode |= modeGLOBAL_SCOPE;
    pixelScope s;
    ASSERT_TRUE(pixelScopeOf(&view.vs, view.bd, &s));
    ASSERT_TRUE(s.global);
    {
        scopeLines lines(s, view.bd, "Working...");
        ASSERT_TRUE(lines.ok());
        for (int32 y = 0; y < s.rows; ++y) {
            int32u* px = lines.row(y);
            ASSERT_EQ(px, view.bd->imgbuf + y * 6);
            px[5] = int32u(y);
            ASSERT_TRUE(lines.put(y));
        }
    }
    EXPECT_EQ(view.bd->imgbuf[299 * 6 + 5], 299u);
    ASSERT_FALSE(ui.progressDone.empty());
    EXPECT_EQ(ui.progressDone.front(), 0);
    EXPECT_EQ(ui.progressDone.back(), 300);
    EXPECT_LE(ui.progressDone.size(), 110u);
}
