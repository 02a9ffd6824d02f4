// WAVELET and FRACTAL of PIXEL OPS through the operation table: menu values in, the scripted
// user and the memory view; checked on the view's pixels, the Exploit sBUFF and the messages,
// against the kernels run on the same input.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "folio_utl.h"
#include "fractalOps.h"
#include "hdrScale.h"
#include "memSurface.h"
#include "opTable.h"
#include "pixelItems.h"
#include "pseudoLut.h"
#include "sbuffActive.h"
#include "uiScript.h"
#include "viewBuilder.h"
#include "waveletKernels.h"

namespace {

constexpr int32 PIXEL_OPS_ROW = 3;

// A 64 x 48 buffer shown 1:1 on a 300 x 200 memory view filled with a pattern.
class PixelItemOps : public ::testing::Test {
protected:
    PixelItemOps() : view(64, 48), surface(300, 200)
    {
        for (int32 y = 0; y < surface.h; ++y)
            for (int32 x = 0; x < surface.w; ++x)
                surface.px[std::size_t(y * surface.w + x)] = viewBuilder::pattern(x, y);
        resetSbuffs();
        resetScalingArchives();
        CLAIM_FOLIOS(1u << SBUFF_EXPLOIT_SLOT);
        resetFractals();
        SET_EXPLOIT_OPS(tavExploitOps());
    }
    ~PixelItemOps() override
    {
        SET_EXPLOIT_OPS({});
        resetFolios();
        resetSbuffs();
        resetFractals();
    }
    void run(std::vector<int32> values)
    {
        int32 pv[MAX_PUP_LEVEL];
        std::fill(pv, pv + MAX_PUP_LEVEL, -1);
        pv[0] = PIXEL_OPS_ROW;
        for (std::size_t k = 0; k < values.size(); ++k)
            pv[k + 1] = values[k];
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    bool shown(const std::string& text) const
    {
        return std::any_of(ui.transcript.begin(), ui.transcript.end(),
                           [&](const shownMsg& m) { return m.text == text; });
    }
    // The statistics window's text (empty when none was shown).
    std::string statistics() const
    {
        for (const shownMsg& m : ui.transcript)
            if (m.text.rfind("    Wavelet Transform Statistics\n", 0) == 0)
                return m.text;
        return {};
    }
    // One gun of the view over the FG AOI, as floats.
    std::vector<float> gunPlane(int shift) const
    {
        const aoiRec& a = view.bd->fgAoi;
        std::vector<float> p;
        for (int32 y = a.y0; y <= a.y1; ++y)
            for (int32 x = a.x0; x <= a.x1; ++x)
                p.push_back(float((surface.at(x, y) >> shift) & 0xFF));
        return p;
    }

    viewBuilder view;
    memSurface surface;
    uiScript ui;
};

// WAVELET item values: filter, DISC|CONT, then LEVEL with levels, band, guns or PATH with guns.
TEST_F(PixelItemOps, WaveletPathIntoTheSbuffKeepsTheKernelsBandAndShowsItFullRange)
{
    view.bd->fgAoi = aoiRec{20, 10, 59, 41}; // 40 x 32
    view.vs.dmode |= modeSBUFF_WRITE;
    const std::vector<float> red = gunPlane(16);
    const std::vector<int32u> before = surface.px;
    ui.answers = {"6", "ll,hh"};
    run({PX_WAVELET, WVF_DAUB, 2, 2, 1}); // DAUB, CONT, PATH, RED

    std::vector<float> want = red;
    waveletRequest rq;
    rq.family = WVF_DAUB;
    rq.daubLength = 6;
    rq.path = "0011";
    ASSERT_EQ(WAVTRAN(want, 40, 32, rq), WAV_OK);
    const folioDesc& d = activeSbuff().desc;
    ASSERT_EQ(d.defined, 1);
    EXPECT_EQ(d.nBands, 1);
    EXPECT_EQ(d.cols, 40u);
    EXPECT_EQ(d.rows, 32u);
    EXPECT_EQ(d.aoi[0], 20u);
    EXPECT_NE(std::string(d.process).find("CONT_WAVELET_FWD "), std::string::npos);
    sbuffBands back;
    ASSERT_EQ(READ_sBUFF_BANDS(1, back), 0);
    for (std::size_t i = 0; i < want.size(); ++i)
        ASSERT_FLOAT_EQ(back.block[0].get()[i], want[i]) << i;

    EXPECT_TRUE(shown("Computing Wavelet RED"));
    EXPECT_TRUE(shown("Wrote 1 Wavelet Bands to sBUFFER"));
    const std::string stats = statistics();
    EXPECT_EQ(stats.rfind("    Wavelet Transform Statistics\nLow    ", 0), 0u) << stats;
    EXPECT_EQ(stats.find("\n\n\n"), std::string::npos);
    EXPECT_NE(stats.back(), '\n');
    // LINEAR over the full range: the lowest value black, the highest full red; green, blue
    // and everything outside the FG AOI as they were.
    const std::vector<float> shownRed = gunPlane(16);
    const auto lo = std::min_element(want.begin(), want.end()) - want.begin();
    const auto hi = std::max_element(want.begin(), want.end()) - want.begin();
    EXPECT_EQ(shownRed[std::size_t(lo)], 0.0f);
    EXPECT_EQ(shownRed[std::size_t(hi)], 255.0f);
    for (int32 y = 0; y < surface.h; ++y)
        for (int32 x = 0; x < surface.w; ++x) {
            const bool inside = x >= 20 && x <= 59 && y >= 10 && y <= 41;
            const int32u mask = inside ? 0xFF00FFFFu : 0xFFFFFFFFu;
            ASSERT_EQ(surface.at(x, y) & mask, before[std::size_t(y * surface.w + x)] & mask)
                << x << "," << y;
        }
}

TEST_F(PixelItemOps, WaveletWriteProtectedShowsButLeavesTheSbuffAndUserFails)
{
    view.bd->fgAoi = aoiRec{0, 0, 31, 31};
    run({PX_WAVELET, WVF_HAAR, 1, 1, 1, WVB_LL, 7}); // HAAR, DISC, LEVEL 1, LL, RGB
    EXPECT_TRUE(shown("Computing Wavelet GREEN"));
    EXPECT_TRUE(shown("Scaling Accumulator is write protected"));
    EXPECT_FALSE(shown("Wrote 3 Wavelet Bands to sBUFFER"));
    EXPECT_EQ(activeSbuff().desc.defined, 0);
    // Three bands: three statistics blocks.
    const std::string stats = statistics();
    EXPECT_EQ(std::count(stats.begin(), stats.end(), '\n'), 1 + 3 * 3 - 2) << stats;

    run({PX_WAVELET, WVF_USER, 1, 1, 1, WVB_LL, 1});
    EXPECT_TRUE(shown("WAVTRAN() fail; error= -3"));

    // Float bands the memory guard refuses are never allocated: the refusal is shown and the
    // view stays as it was.
    ui.transcript.clear();
    const std::vector<int32u> before = surface.px;
    setFreeMemSource(scarceMemory);
    run({PX_WAVELET, WVF_HAAR, 1, 1, 1, WVB_LL, 7});
    setFreeMemSource(plentyOfMemory);
    ASSERT_FALSE(ui.transcript.empty());
    EXPECT_EQ(ui.transcript[0].flags, MSG_ACK);
    EXPECT_FALSE(shown("Computing Wavelet RED"));
    EXPECT_EQ(surface.px, before);
}

TEST_F(PixelItemOps, WaveletOfComplexSbuffBandsTransformsTheRealParts)
{
    std::vector<float> re(32 * 32), im(32 * 32);
    for (std::size_t i = 0; i < re.size(); ++i) {
        re[i] = float(i % 32) * 3.0f;
        im[i] = 1000.0f - float(i);
    }
    const float* pair[2] = {re.data(), im.data()};
    SET_ACTIVE_sBUFF(SBUFF_EXPLOIT);
    ASSERT_EQ(WRITE_sBUFF_BANDS(pair, nullptr, aoiRec{0, 0, 31, 31}, 2, DTYPE_COMPLEX32, "FFT ", 1,
                                1, 300, 200),
              0);
    view.bd->fgAoi = aoiRec{0, 0, 31, 31};
    view.vs.dmode |= modeSBUFF_WRITE;
    run({PX_WAVELET, WVF_HAAR, 1, 1, 2, WVB_HL, 0}); // sBUFF input
    EXPECT_TRUE(shown("Computing Wavelet: Complex Band= 1"));
    EXPECT_TRUE(shown("Wrote 1 Wavelet Bands to sBUFFER"));
    waveletRequest rq;
    rq.path = "0010";
    ASSERT_EQ(WAVTRAN(re, 32, 32, rq), WAV_OK);
    const folioDesc& d = activeSbuff().desc;
    EXPECT_EQ(d.dType, DTYPE_FLOAT32);
    EXPECT_EQ(std::string(d.process), "FFT DISC_WAVELET_FWD ");
    sbuffBands back;
    ASSERT_EQ(READ_sBUFF_BANDS(1, back), 0);
    for (std::size_t i = 0; i < re.size(); ++i)
        ASSERT_FLOAT_EQ(back.block[0].get()[i], re[i]) << i;
}

// The colour map of the start settings, built as the viewer builds it.
std::vector<int32u> startMap()
{
    std::vector<charu> r(256), g(256), b(256);
    const int32 range[2] = {0, 255};
    EXPECT_EQ(PSEUDO_LUT(range, r.data(), g.data(), b.data(), 256, PSL_COMB | 2, 0, 1.0), 0);
    return fractalColourMap(r.data(), g.data(), b.data(), 256);
}

// FRACTAL item values: RUN, SET or STATUS, then the type or setting.
TEST_F(PixelItemOps, FractalRunDrawsTheKernelRowsAndClosesWithItsStatus)
{
    view.bd->fgAoi = aoiRec{10, 5, 265, 196}; // 256 x 192
    run({PX_FRACTAL, 1, 1});                  // RUN Mandelbrot; no menu pick leaves the viewer
    fractalSettings s;
    s.area = fractalDefaultArea(FRACT_MANDELBROT);
    const std::vector<int32u> map = startMap();
    std::vector<int32u> row(256);
    for (int32 r = 0; r < 192; ++r) {
        FRACTAL_ROW(s, r, 192, map, row);
        for (int32 x = 0; x < 256; ++x)
            ASSERT_EQ(surface.at(10 + x, 5 + r) & 0xFFFFFFu, row[std::size_t(x)]) << x << "," << r;
    }
    EXPECT_EQ(ui.lastText().rfind("Fractal... Mandelbrot\nUpper left:  -2.2000000000, "
                                  "-1.5000000000\nLower right:  1.2000000000,  1.5000000000\n",
                                  0),
              0u)
        << ui.lastText();
    EXPECT_TRUE(fractHavePrev);
    EXPECT_TRUE(fractSet.useDefaultArea);

    ui.transcript.clear();
    view.bd->fgAoi = aoiRec{10, 5, 264, 196}; // 255 wide
    run({PX_FRACTAL, 1, 1});
    EXPECT_EQ(ui.lastText(), "fractX: work area too small");
}

TEST_F(PixelItemOps, FractalViewerZoomsByAClickSaysCxCyDoesNotApplyAndStepsBack)
{
    view.bd->fgAoi = aoiRec{0, 0, 255, 191};
    ui.picks = {{4, -1}, {1, 2}, {1, 4}, {2, -1}};
    ui.clicks = {{MOUSE_LEFT, 128, 96}, {-MOUSE_LEFT, 128, 96}, {MOUSE_RIGHT, 0, 0}};
    run({PX_FRACTAL, 1, 1});
    EXPECT_TRUE(shown("CX / CY not relevant\nfor this fractal"));
    // Zoomed 2x at the centre, the 4x zoom cancelled, then BACK from the zoom: the start area.
    EXPECT_DOUBLE_EQ(fractPrev.area.x0, -2.2);
    EXPECT_DOUBLE_EQ(fractPrev.area.x1, 1.2);

    ui.transcript.clear();
    ui.picks = {{1, 2}};
    ui.clicks = {{MOUSE_LEFT, 128, 96}, {-MOUSE_LEFT, 128, 96}};
    run({PX_FRACTAL, 1, -1}); // -previous-: the area the last viewer closed on, zoomed once
    EXPECT_DOUBLE_EQ(fractPrev.area.x0, -0.5);
    EXPECT_DOUBLE_EQ(fractPrev.area.y0, 0.0);
    EXPECT_DOUBLE_EQ(fractPrev.area.x1, 1.2);
    EXPECT_DOUBLE_EQ(fractPrev.area.y1, 1.5);
    EXPECT_EQ(fractHistory.count(), 2);
}

TEST_F(PixelItemOps, FractalSettingsAnswersAndStatus)
{
    ui.answers = {"100, 2.5", "65536", "0.3 -0.4", "oops", "-1, -1", "1, 1"};
    run({PX_FRACTAL, 2, 1});
    EXPECT_EQ(fractSet.iters, 256);
    EXPECT_EQ(fractSet.term, 2.5);
    run({PX_FRACTAL, 2, 1});
    EXPECT_EQ(ui.lastText(), "Input error\nFractal parameters reset to defaults");
    EXPECT_EQ(fractSet.term, 4.0);
    run({PX_FRACTAL, 2, 4});
    EXPECT_EQ(fractSet.cx, 0.3);
    run({PX_FRACTAL, 2, 4});
    EXPECT_EQ(ui.lastText(), "Data error\nUsing default CX, CY");
    EXPECT_EQ(fractSet.cx, -0.75);
    run({PX_FRACTAL, 2, 2});
    EXPECT_EQ(ui.lastText(), "Rendering area changed.");
    EXPECT_FALSE(fractSet.useDefaultArea);
    run({PX_FRACTAL, 2, 3, 8});
    run({PX_FRACTAL, 3});
    EXPECT_EQ(ui.lastText(), "    FRACTAL PARAMETERS\nITERATIONS:  256\nTERM VALUE:  4.000\nLUT "
                             "CYCLE:   8\nCX/CY:      -0.750 -0.200");
    run({PX_FRACTAL, 1, -1});
    EXPECT_EQ(ui.lastText(), "No previous fractal defined...");
}

} // namespace
