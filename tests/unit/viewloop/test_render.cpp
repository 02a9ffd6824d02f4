// Render objects and VIEW_MEM on a memory frame: what reaches the view is exactly the buffer
// under the translation, and masked or LUT writes change only what they should.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "fakeBackend.h"
#include "fit.h"
#include "renderPix.h"
#include "viewState.h"

namespace {

int32u bufPixel(int32 x, int32 y)
{
    return int32u(0x80000000u | (y & 0xff) << 16 | (x & 0xff) << 8 | ((x ^ y) & 0xff));
}

class Render : public ::testing::Test {
protected:
    Render() : fb(200, 150), px(size_t(W) * size_t(H))
    {
        for (int32 y = 0; y < H; ++y)
            for (int32 x = 0; x < W; ++x)
                px[size_t(y) * size_t(W) + size_t(x)] = bufPixel(x, y);
        b.imgbuf = px.data();
        b.width = W;
        b.height = H;
        b.numImgs = 1;
        b.transl.factor = 1;
        resetTransl();
        SET_TRANSL_VIEW(200, 150);
        INIT_I_TRANSL(&b);
    }
    static constexpr int32 W = 120, H = 90;
    FakeBackend fb;
    std::vector<int32u> px;
    bufdes b{};
};

TEST_F(Render, ViewAreaWithoutRectangleCoversTheWholeView)
{
    RenderArea a(nullptr, RP_VIEW);
    aoiRec r;
    int32 w = 0, h = 0;
    ASSERT_TRUE(a.rect(&r));
    ASSERT_TRUE(a.size(&w, &h));
    EXPECT_EQ(r.x0, 0);
    EXPECT_EQ(r.y1, 149);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 150);
    const int32u* s = a.read();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[151 * 1 + 0], fb.at(151 % 200, 0)) << "rows read in order";
    EXPECT_EQ(s[200 * 149 + 199], fb.at(199, 149));
}

TEST_F(Render, ViewMemShowsTheCentredBufferPixelForPixel)
{
    ASSERT_TRUE(FIT_INIT_IMG(false));
    const std::vector<int32u> before = fb.px;
    ASSERT_EQ(VIEW_MEM(nullptr, false), VMEM_OK);
    EXPECT_FALSE(fb.outOfView);
    const int32 x0 = (200 - W) / 2, y0 = (150 - H) / 2;
    for (int32 y = 0; y < 150; ++y)
        for (int32 x = 0; x < 200; ++x) {
            const bool in = x >= x0 && x < x0 + W && y >= y0 && y < y0 + H;
            ASSERT_EQ(fb.at(x, y),
                      in ? bufPixel(x - x0, y - y0) : before[size_t(y) * 200 + size_t(x)])
                << x << "," << y;
        }
}

TEST_F(Render, ViewMemAtZoomTwoRepeatsEachBufferPixel)
{
    vState.dmode = ZOOM_REPLICATE;
    SET_I_TRANSL(10, 20, 2);
    const aoiRec box{0, 0, 199, 149};
    ASSERT_EQ(VIEW_MEM(&box, false), VMEM_OK);
    EXPECT_FALSE(fb.outOfView);
    // Magnified pixels carry no alpha.
    for (int32 y = 0; y < 140; ++y)
        for (int32 x = 0; x < 200; ++x)
            ASSERT_EQ(fb.at(x, y), bufPixel(10 + x / 2, 20 + y / 2) & 0x00ffffffu) << x << "," << y;
    vState.dmode = 0;
}

TEST_F(Render, ZoomedBoxRepaintedAloneMatchesTheWholeView)
{
    // Interpolation near a box's edge takes its neighbours from the buffer, not from the box,
    // so that a part repainted alone (odd offsets, an odd zoom phase) is what the whole view
    // shows there.
    for (const int32u mode : {ZOOM_BILINEAR, ZOOM_BICUBIC, ZOOM_CATMULL}) {
        vState.dmode = mode;
        SET_I_TRANSL(-3, 5, 4);
        ASSERT_EQ(VIEW_MEM(nullptr, false), VMEM_OK);
        const std::vector<int32u> whole = fb.px;
        fb.fillRect(twBox{0, 0, 199, 149}, 0);
        const aoiRec part{37, 21, 77, 54};
        ASSERT_EQ(VIEW_MEM(&part, false), VMEM_OK);
        for (int32 y = 0; y < 150; ++y)
            for (int32 x = 0; x < 200; ++x) {
                const bool in = x >= part.x0 && x <= part.x1 && y >= part.y0 && y <= part.y1;
                ASSERT_EQ(fb.at(x, y), in ? whole[size_t(y) * 200 + size_t(x)] : 0u)
                    << "mode " << mode << " at " << x << "," << y;
            }
    }
    vState.dmode = 0;
}

TEST_F(Render, ViewMemWithoutMappingSaysSoAndLeavesTheView)
{
    SET_I_TRANSL(-250, 0, 1); // the buffer starts past the view's right edge
    const std::vector<int32u> before = fb.px;
    fb.afterDiscard.push_back(FakeBackend::ev(EV_PRESS, 5, 5, 1));
    EXPECT_EQ(VIEW_MEM(nullptr, false), VMEM_NO_MAPPING);
    bool said = false;
    for (const std::string& t : fb.texts)
        said |= t.find("no Mapping to iBUFF") != std::string::npos;
    EXPECT_TRUE(said);
    EXPECT_EQ(fb.px, before) << "the message box took its pixels back";
}

TEST_F(Render, GreenOnlyMaskChangesOnlyTheGreenByte)
{
    const aoiRec box{10, 10, 49, 29};
    const std::vector<int32u> before = fb.px;
    std::vector<int32u> src(40 * 20, 0xffabcdefu);
    int32u* s = src.data();
    RenderArea a(&box, RP_VIEW, &s);
    RenderPix::setGunMask(2);
    a.write();
    for (int32 y = 0; y < 150; ++y)
        for (int32 x = 0; x < 200; ++x) {
            const int32u old = before[size_t(y) * 200 + size_t(x)];
            const bool in = x >= 10 && x <= 49 && y >= 10 && y <= 29;
            ASSERT_EQ(fb.at(x, y), in ? ((old & ~0x0000ff00u) | 0x0000cd00u) : old);
        }

    // The same mask on the buffer through the translation.
    FIT_INIT_IMG(false);
    const aoiRec vb{40, 30, 49, 39}; // buffer (0, 0) .. (9, 9)
    std::vector<int32u> ones(100, 0x00112233u);
    int32u* o = ones.data();
    RenderArea bufArea(&vb, RP_BUFFER, &o);
    RenderPix::setGunMask(2);
    bufArea.write();
    EXPECT_EQ(px[0], (bufPixel(0, 0) & ~0xff00u) | 0x2200u);
    EXPECT_EQ(px[10], bufPixel(10, 0)) << "nothing beyond the box";
}

TEST_F(Render, DisplayLutsApplyPerGunOnRead)
{
    charu luts[3][256];
    for (int i = 0; i < 256; ++i) {
        luts[0][i] = charu(255 - i); // red inverted
        luts[1][i] = charu(i);
        luts[2][i] = 0; // blue zeroed
    }
    RenderPix::setDisplayLuts(luts);
    const aoiRec box{0, 0, 0, 0};
    fb.px[0] = 0x00102030u;
    RenderArea a(&box, RP_VIEW);
    RenderPix::setLutFlag(true);
    const int32u* s = a.read();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[0], 0x00ef2000u);
}

// Writes into the buffer and the image, whole or by rows, pass the display LUTs and the gun
// mask as writes into the view do.
TEST_F(Render, LutsAndGunMaskApplyOnWritesToEveryKind)
{
    charu luts[3][256];
    for (int i = 0; i < 256; ++i)
        for (int g = 0; g < 3; ++g)
            luts[g][i] = charu(255 - i);
    RenderPix::setDisplayLuts(luts);
    FIT_INIT_IMG(false);
    const aoiRec vb{40, 30, 49, 39}; // the buffer's first 10 x 10 pixels in the view
    for (int32u kind : {RP_BUFFER, RP_IMAGE, RP_IMAGE_RECT})
        for (bool rows : {false, true}) {
            SCOPED_TRACE(testing::Message() << "kind " << kind << (rows ? " rows" : " area"));
            for (int32 y = 0; y < H; ++y)
                for (int32 x = 0; x < W; ++x)
                    px[size_t(y) * size_t(W) + size_t(x)] = bufPixel(x, y);
            const int32u src = 0x00102030u, old = px[0];
            const int32u want = (old & ~0x0000ff00u) | 0x0000df00u; // green: 255 - 0x20
            if (rows) {
                RenderScanL r(kind == RP_BUFFER ? &vb : nullptr, kind);
                int32u* s = r.takeScratch();
                ASSERT_NE(s, nullptr);
                int32 w = 0, h = 0;
                ASSERT_TRUE(r.size(&w, &h));
                std::fill_n(s, size_t(w), src);
                r.giveScratch(s);
                RenderPix::setLutFlag(true);
                RenderPix::setGunMask(2);
                ASSERT_TRUE(r.writeNext());
                std::free(s);
            } else {
                RenderArea a(kind == RP_BUFFER ? &vb : nullptr, kind);
                int32 w = 0, h = 0;
                ASSERT_TRUE(a.size(&w, &h));
                int32u* s = a.read();
                ASSERT_NE(s, nullptr);
                std::fill_n(s, size_t(w) * size_t(h), src);
                RenderPix::setLutFlag(true);
                RenderPix::setGunMask(2);
                a.write();
            }
            EXPECT_EQ(px[0], want);
            EXPECT_EQ(px[1], (bufPixel(1, 0) & ~0x0000ff00u) | 0x0000df00u);
        }
}

TEST_F(Render, MovesStayInsideTheirTargets)
{
    const aoiRec box{0, 0, 49, 9};
    RenderArea v(&box, RP_VIEW);
    v.moveTo(190, -5);
    aoiRec r;
    ASSERT_TRUE(v.rect(&r));
    EXPECT_EQ(r.x1, 199) << "shifted back so that its right edge is the view's last column";
    EXPECT_EQ(r.x0, 150);
    EXPECT_EQ(r.y0, 0);

    RenderArea img(nullptr, RP_IMAGE_RECT);
    img.moveTo(5, 5);
    ASSERT_TRUE(img.rect(&r));
    EXPECT_EQ(r.x0, 0) << "the whole image cannot move";
    RenderArea whole(nullptr, RP_IMAGE);
    int32u* all = whole.read();
    ASSERT_NE(all, nullptr);
    EXPECT_EQ(all[size_t(W) * 7 + 3], bufPixel(3, 7));
}

TEST_F(Render, BufferRectangleMovedToTheEdgeCopiesOnlyWhatItShows)
{
    // The 120 x 90 buffer sits at view (40, 30) .. (159, 119). A 50 x 50 rectangle moved so
    // that only its top-left 40 x 30 corner covers the buffer must shrink with it.
    ASSERT_TRUE(FIT_INIT_IMG(false));
    const aoiRec vb{50, 40, 99, 89};
    RenderArea a(&vb, RP_BUFFER);
    int32 w = 0, h = 0;
    ASSERT_TRUE(a.size(&w, &h));
    EXPECT_EQ(w, 50);
    a.moveTo(120, 90);
    ASSERT_TRUE(a.size(&w, &h));
    EXPECT_EQ(w, 40);
    EXPECT_EQ(h, 30);
    aoiRec bb;
    ASSERT_TRUE(a.bufferBox(&bb));
    EXPECT_EQ(bb.x1, W - 1);
    EXPECT_EQ(bb.y1, H - 1);
    const int32u* s = a.read();
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s[0], bufPixel(80, 60));
    EXPECT_EQ(s[size_t(w) * size_t(h) - 1], bufPixel(W - 1, H - 1));
    a.write(); // stays inside the buffer (checked under the address sanitizer)
    EXPECT_EQ(px[size_t(W) * H - 1], bufPixel(W - 1, H - 1));

    // A rectangle that starts off the buffer takes its size from where it lands.
    const aoiRec off{0, 0, 19, 19};
    RenderScanL sc(&off, RP_BUFFER);
    EXPECT_FALSE(sc.size(&w, &h));
    sc.moveTo(150, 110);
    ASSERT_TRUE(sc.size(&w, &h));
    EXPECT_EQ(w, 10);
    EXPECT_EQ(h, 10);
    int rows = 0;
    while (const int32u* r = sc.readNext()) {
        EXPECT_EQ(r[w - 1], bufPixel(W - 1, 80 + rows));
        ++rows;
    }
    EXPECT_EQ(rows, 10) << "buffer rows 80-89 only";
}

TEST_F(Render, ScanLinesCopyBufferRowsToTheView)
{
    const aoiRec row0{20, 30, 20 + W - 1, 30 + 4};
    RenderScanL in(nullptr, RP_IMAGE);
    RenderScanL out(&row0, RP_VIEW);
    int32u* dst = out.takeScratch();
    int rows = 0;
    while (const int32u* r = in.readNext()) {
        std::copy(r, r + W, dst);
        if (!out.writeNext())
            break;
        ++rows;
    }
    std::free(dst);
    EXPECT_EQ(rows, 5) << "the view rectangle takes five rows";
    EXPECT_EQ(fb.at(20, 34), bufPixel(0, 4));
    EXPECT_EQ(fb.at(20 + W - 1, 30), bufPixel(W - 1, 0));
}

TEST_F(Render, GlobalViewShowsTheReducedBufferCentred)
{
    // A 400 x 300 buffer in the 200 x 150 view: factor 0.5, the whole view.
    std::vector<int32u> big(400 * 300);
    for (int32 y = 0; y < 300; ++y)
        for (int32 x = 0; x < 400; ++x)
            big[size_t(y) * 400 + size_t(x)] = int32u(((x / 2) & 0xff) << 8 | ((y / 2) & 0xff));
    bufdes bb{};
    bb.imgbuf = big.data();
    bb.width = 400;
    bb.height = 300;
    bb.numImgs = 1;
    bb.transl.factor = 1;
    ASSERT_TRUE(INIT_I_TRANSL(&bb));
    ASSERT_EQ(VIEW_MEM(nullptr, true), VMEM_OK);
    EXPECT_FALSE(fb.outOfView);
    for (int32 y = 0; y < 150; y += 11)
        for (int32 x = 0; x < 200; x += 13)
            ASSERT_EQ(fb.at(x, y), int32u((x & 0xff) << 8 | (y & 0xff))) << x << "," << y;
}

} // namespace
