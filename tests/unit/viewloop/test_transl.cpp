// The translation between buffer and view pixels, the fit rules and the global view.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "bTransl.h"
#include "fit.h"
#include "warp.h"

namespace {

// A buffer record over a vector of pixels, as CREATE_iBUFF would leave it.
struct testBuf {
    std::vector<int32u> px;
    bufdes b{};
    testBuf(int32 w, int32 h) : px(size_t(w) * size_t(h))
    {
        for (int32 y = 0; y < h; ++y)
            for (int32 x = 0; x < w; ++x)
                px[size_t(y) * size_t(w) + size_t(x)] = int32u(y << 12 | x);
        b.imgbuf = px.data();
        b.width = w;
        b.height = h;
        b.numImgs = 1;
        b.transl.factor = 1;
    }
};

bool same(const aoiRec& a, const aoiRec& b)
{
    return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1;
}

class Transl : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetTransl();
        SET_TRANSL_VIEW(1024, 768);
    }
};

TEST_F(Transl, RefusesBuffersWithoutPixelsOrBelowSixteen)
{
    testBuf small(15, 200), ok(16, 16);
    EXPECT_FALSE(INIT_I_TRANSL(nullptr));
    EXPECT_FALSE(INIT_I_TRANSL(&small.b));
    ok.b.imgbuf = nullptr;
    EXPECT_FALSE(INIT_I_TRANSL(&ok.b));
    ok.b.imgbuf = ok.px.data();
    EXPECT_TRUE(INIT_I_TRANSL(&ok.b));
}

TEST_F(Transl, MappedBoxCountsOnlyTheVisibleBufferAndGoesToTheFgAoi)
{
    testBuf t(300, 200);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    struct Case {
        int32 x, y, zoom;
        aoiRec want;
    } cases[] = {
        {-362, -284, 1, {362, 284, 661, 483}}, // centred
        {0, 0, 1, {0, 0, 299, 199}},           // top-left
        {100, 50, 1, {0, 0, 199, 149}},        // only the remainder past x, y is shown
        {-10, -5, 4, {40, 20, 1023, 767}},     // magnified past the view's edges
        {299, 199, 16, {0, 0, 15, 15}},        // one buffer pixel left
    };
    for (const Case& c : cases) {
        SET_I_TRANSL(c.x, c.y, c.zoom);
        EXPECT_TRUE(same(curTransl.mapped, c.want))
            << c.x << "," << c.y << " z" << c.zoom << ": " << curTransl.mapped.x0 << " "
            << curTransl.mapped.y0 << " " << curTransl.mapped.x1 << " " << curTransl.mapped.y1;
        EXPECT_TRUE(same(t.b.fgAoi, c.want));
        EXPECT_EQ(t.b.transl.w2, c.x);
        EXPECT_EQ(t.b.transl.w3, c.y);
        EXPECT_EQ(t.b.transl.factor, c.zoom);
    }
}

TEST_F(Transl, ResumesFromTheTranslationKeptInTheBuffer)
{
    testBuf t(2000, 1500);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    SET_I_TRANSL(500, 400, 2);
    resetTransl();
    SET_TRANSL_VIEW(1024, 768);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    EXPECT_EQ(curTransl.x, 500);
    EXPECT_EQ(curTransl.y, 400);
    EXPECT_EQ(curTransl.zoom, 2);
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{0, 0, 1023, 767}));
}

TEST_F(Transl, MoveDividesByTheZoomAndRefusesNegativeOrigins)
{
    testBuf t(2000, 1500);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    SET_I_TRANSL(3, 10, 2);
    EXPECT_FALSE(MOVE_I_TRANSL(-10, 0)) << "x would be -2";
    EXPECT_EQ(curTransl.x, 3);
    EXPECT_TRUE(MOVE_I_TRANSL(7, -20)); // 7 / 2 = 3 buffer columns
    EXPECT_EQ(curTransl.x, 6);
    EXPECT_EQ(curTransl.y, 0);
    EXPECT_EQ(t.b.transl.w2, 6);
}

TEST_F(Transl, ViewBoxMapsToBufferPixelsAndTheirAddress)
{
    testBuf t(300, 200);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    SET_I_TRANSL(-362, -284, 1);
    bufMapping m{};
    // A box reaching past the image is clipped to the mapped box.
    ASSERT_TRUE(DXY_TO_BUF(aoiRec{300, 300, 400, 310}, &m));
    EXPECT_TRUE(same(m.view, aoiRec{362, 300, 400, 310}));
    EXPECT_TRUE(same(m.buf, aoiRec{0, 16, 38, 26}));
    EXPECT_EQ(*m.at, int32u(16 << 12 | 0));
    // Outside the image: no mapping.
    EXPECT_FALSE(DXY_TO_BUF(aoiRec{0, 0, 100, 100}, &m));

    // At zoom 2 a view box covers half as many buffer pixels, rounded.
    testBuf big(2000, 1500);
    ASSERT_TRUE(INIT_I_TRANSL(&big.b));
    SET_I_TRANSL(100, 50, 2);
    ASSERT_TRUE(DXY_TO_BUF(aoiRec{10, 20, 20, 29}, &m));
    EXPECT_TRUE(same(m.buf, aoiRec{105, 60, 110, 64})) << m.buf.x1 << " " << m.buf.y1;
    EXPECT_EQ(*m.at, int32u(60 << 12 | 105));

    // An alternate source is read through the same mapping.
    std::vector<int32u> alt(big.px.size(), 7u);
    SET_ALT_SOURCE(alt.data());
    ASSERT_TRUE(DXY_TO_BUF(aoiRec{10, 20, 20, 29}, &m));
    EXPECT_EQ(*m.at, 7u);
    SET_ALT_SOURCE(nullptr);
}

TEST_F(Transl, CentreAtZoomOneKeepsTheAncillaryColumnFreeWhenThereIsRoom)
{
    testBuf t(300, 200);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    SET_I_TRANSL(5, 5, 4);
    CENTRE_I_TRANSL(false);
    EXPECT_EQ(curTransl.zoom, 1);
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{362, 284, 661, 483}));
    EXPECT_TRUE(same(t.b.bgAoi, t.b.fgAoi));
    CENTRE_I_TRANSL(true); // centred in 1024 - 258 = 766 columns
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{233, 284, 532, 483}));

    // A buffer wider than the rest of the view ignores the column.
    testBuf wide(900, 200);
    ASSERT_TRUE(INIT_I_TRANSL(&wide.b));
    CENTRE_I_TRANSL(true);
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{62, 284, 961, 483}));

    // A buffer larger than the view shows its middle.
    testBuf big(4000, 3000);
    ASSERT_TRUE(INIT_I_TRANSL(&big.b));
    CENTRE_I_TRANSL(true);
    EXPECT_EQ(curTransl.x, 1488);
    EXPECT_EQ(curTransl.y, 1116);
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{0, 0, 1023, 767}));
}

TEST_F(Transl, ZoomOutsideOneToSixteenIsFatal)
{
    testBuf t(300, 200);
    ASSERT_TRUE(INIT_I_TRANSL(&t.b));
    EXPECT_DEATH(SET_I_TRANSL(0, 0, 17), "zNew > 0 && zNew <= MAX_ZOOM");
    EXPECT_DEATH(SET_I_TRANSL(0, 0, 0), "bTransl");
}

TEST(Fit, LaysOutOnlyBuffersThatFit)
{
    resetTransl();
    SET_TRANSL_VIEW(1024, 768);
    testBuf fits(500, 400), edge(1024, 768), tall(500, 769);
    ASSERT_TRUE(INIT_I_TRANSL(&fits.b));
    EXPECT_TRUE(FIT_INIT_IMG(false));
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{262, 184, 761, 583}));
    EXPECT_TRUE(same(fits.b.bgAoi, fits.b.fgAoi));
    ASSERT_TRUE(INIT_I_TRANSL(&edge.b));
    EXPECT_TRUE(FIT_INIT_IMG(true));
    EXPECT_TRUE(same(curTransl.mapped, aoiRec{0, 0, 1023, 767}));
    ASSERT_TRUE(INIT_I_TRANSL(&tall.b));
    SET_I_TRANSL(3, 4, 2);
    EXPECT_FALSE(FIT_INIT_IMG(false));
    EXPECT_EQ(curTransl.x, 3) << "a refused layout changes nothing";
    EXPECT_EQ(curTransl.zoom, 2);
}

TEST(GlobalView, FactorAndCentredBox)
{
    EXPECT_DOUBLE_EQ(globalViewFactor(4000, 3000, 1024, 768), 0.256);
    EXPECT_NEAR(globalViewFactor(1500, 1000, 1024, 768), 0.6827, 1e-4);
    EXPECT_DOUBLE_EQ(globalViewFactor(500, 400, 1024, 768), 1.0);
    EXPECT_DOUBLE_EQ(globalViewFactor(2048, 100, 1024, 768), 0.5) << "only the wide axis counts";
    const aoiRec a = globalViewBox(4000, 3000, 1024, 768);
    EXPECT_TRUE(same(a, aoiRec{0, 0, 1023, 767}));
    const aoiRec b = globalViewBox(2048, 100, 1024, 768);
    EXPECT_TRUE(same(b, aoiRec{0, 359, 1023, 408}));
    const aoiRec c = globalViewBox(500, 400, 1024, 768);
    EXPECT_TRUE(same(c, aoiRec{262, 184, 761, 583})) << "a buffer that fits is simply centred";
}

// Feeds a whole image through the reducer; returns the output.
std::vector<int32u> reduce(const std::vector<int32u>& in, int32 w, int32 h, double fx, double fy)
{
    warpReducer r(w, h, fx, fy);
    EXPECT_TRUE(r.ok());
    const int32 ow = r.outCols(), oh = r.outRows();
    std::vector<int32u> out(size_t(ow) * size_t(oh), 0xdeadbeefu);
    std::vector<int32u> row(static_cast<size_t>(ow));
    int32 expectRow = 0, outRow = -1;
    for (int32 y = 0; y < h; ++y)
        if (r.addRow(&in[size_t(y) * size_t(w)], row.data(), &outRow)) {
            EXPECT_EQ(outRow, expectRow++);
            std::copy(row.begin(), row.end(), out.begin() + std::ptrdiff_t(outRow) * ow);
        }
    EXPECT_EQ(expectRow, oh) << "every output row completed";
    return out;
}

TEST(GlobalView, ReducerAveragesAlongRowsThenDownColumnsPerByte)
{
    // 4 x 2 to 2 x 1: pairs along each row, then the two row means, every byte truncated as
    // the loader's de-resolution does (alpha included).
    const std::vector<int32u> in = {0xff000000u | 0x000010u,
                                    0x000020u,
                                    0x10ff00u,
                                    0x20ff01u,
                                    0x000030u,
                                    0x000041u,
                                    0x30ff00u,
                                    0x40fe00u};
    const std::vector<int32u> out = reduce(in, 4, 2, 0.5, 0.5);
    EXPECT_EQ(out[0], 0x3f000028u) << std::hex << out[0]; // blue (24 + 56) / 2, alpha 127 / 2
    EXPECT_EQ(out[1], 0x0028fe00u) << std::hex << out[1]; // green (255 + 254) / 2 -> 254

    // 2000 x 1300 to 1000 x 650 of a pattern constant in 2 x 2 blocks gives the blocks back.
    const int32 w = 2000, h = 1300;
    std::vector<int32u> big(size_t(w) * size_t(h));
    for (int32 y = 0; y < h; ++y)
        for (int32 x = 0; x < w; ++x)
            big[size_t(y) * size_t(w) + size_t(x)] =
                int32u(((x / 2) & 0xff) << 16 | ((y / 2) & 0xff));
    const std::vector<int32u> half = reduce(big, w, h, 0.5, 0.5);
    for (int32 y = 0; y < 650; y += 37)
        for (int32 x = 0; x < 1000; x += 41)
            ASSERT_EQ(half[size_t(y) * 1000 + size_t(x)], int32u((x & 0xff) << 16 | (y & 0xff)));

    // Uneven ratios still cover every input row and column once (a flat image stays flat).
    std::vector<int32u> flat(size_t(37) * 23, 0x7f123456u);
    const std::vector<int32u> small = reduce(flat, 37, 23, 10.0 / 37, 7.0 / 23);
    EXPECT_EQ(small.size(), 70u);
    for (int32u p : small)
        EXPECT_EQ(p, 0x7f123456u);
}

TEST(GlobalView, ReducerRefusesEnlargingAndEmptySizes)
{
    EXPECT_FALSE(warpReducer(10, 10, 1.1, 0.5).ok());
    EXPECT_FALSE(warpReducer(10, 10, 0.0, 0.5).ok());
    EXPECT_FALSE(warpReducer(0, 10, 0.5, 0.5).ok());
    warpReducer r(4, 4, 0.5, 0.5);
    std::vector<int32u> row(4, 1), out(2);
    int32 o = 0;
    for (int k = 0; k < 4; ++k)
        r.addRow(row.data(), out.data(), &o);
    EXPECT_FALSE(r.addRow(row.data(), out.data(), &o)) << "rows past the image are ignored";
}

} // namespace
