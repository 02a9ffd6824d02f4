// PIXEL OPS chosen as the main menu hands it over: the scope and its count, the transform
// LUTs burned in or reset around an operation, the items' refusals, and RANDOM's cipher.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fcrypt.h"
#include "lutOps.h"
#include "memSurface.h"
#include "opTable.h"
#include "pixKernels.h"
#include "pixelBasic.h"
#include "pixelOps.h"
#include "uiScript.h"
#include "viewBuilder.h"
#include "viewDims.h"

namespace {

constexpr int32 PIXEL_VALUE = 3;
constexpr int32u FILL = 0x80408000u | 0xc0u; // alpha 0x80, red 0x40, green 0x80, blue 0xc0

class PixelOps : public ::testing::Test {
protected:
    PixelOps() : view(8, 6, FILL)
    {
        SET_EXPLOIT_OPS(tavExploitOps());
        resetLutOps();
        resetPixelOps();
        resetViewDims();
        CLEAR_KEYS();
        for (int g = 0; g < 3; ++g)
            identityLut(view.bd->tLut[g]);
    }
    ~PixelOps() override
    {
        SET_EXPLOIT_OPS({});
        resetLutOps();
        resetPixelOps();
        resetViewDims();
        CLEAR_KEYS();
    }
    void run(int32 item, int32 a = 0, int32 b = 0, int32 c = 0)
    {
        const int32 pv[MAX_PUP_LEVEL] = {PIXEL_VALUE, item, a, b, c};
        ASSERT_TRUE(runMenuChoice(&view.vs, pv));
    }
    void global(int32 how) { run(PX_SCOPE, 2, how); }
    // Red's transform LUT inverted and shown, as LUT OPS INVERT RED leaves it.
    void invertRed(bool shown)
    {
        invertLut(view.bd->tLut[0]);
        view.vs.gunMask = 6;
        view.vs.dfltLutOn = !shown;
    }
    std::vector<int32u> buffer() const
    {
        return {view.bd->imgbuf, view.bd->imgbuf + view.bd->width * view.bd->height};
    }

    viewBuilder view;
    uiScript ui;
};

TEST_F(PixelOps, GlobalScopeQuestionsAndCount)
{
    vDims.dpyType = DPY_FULL;
    ui.answers = {"n"};
    global(1);
    EXPECT_EQ(ui.lastText(), "Cancelled");
    EXPECT_FALSE(view.vs.dmode & modeGLOBAL_SCOPE);

    // Full screen accepted, sBUFF writing switched off when asked.
    view.vs.dmode |= PX_SBUFF_WRITE;
    ui.answers = {"y", "Y"};
    global(2);
    EXPECT_TRUE(view.vs.dmode & modeGLOBAL_SCOPE);
    EXPECT_FALSE(view.vs.dmode & PX_SBUFF_WRITE);
    EXPECT_EQ(pixelGlobalCount, PX_GLOBAL_REPEAT);
    EXPECT_EQ(ui.lastText(), "      GLOBAL SCOPE enabled!\nPixel Operations Scope is entire\n"
                             "image buffer and is irreversible");
    run(PX_SCOPE, 3);
    EXPECT_EQ(pixelGlobalCount, PX_GLOBAL_REPEAT) << "STATUS uses no count";
    run(PX_SCOPE, 1);
    EXPECT_EQ(ui.lastText(), " Pixel Operations Scope is\nForeground Area Of Interest");
    EXPECT_FALSE(view.vs.dmode & modeGLOBAL_SCOPE);
}

// ONCE: one operation on the buffer, then the FG AOI again, which is the view's.
TEST_F(PixelOps, OnceIsOneGlobalOperation)
{
    memSurface surface(8, 6, FILL);
    global(1);
    run(PX_SWAP_GUNS, 5);
    EXPECT_EQ(view.bd->imgbuf[0], 0x80c08040u);
    EXPECT_FALSE(view.vs.dmode & modeGLOBAL_SCOPE);
    EXPECT_TRUE(view.vs.refresh & RFR_DATA);
    view.bd->fgAoi = aoiRec{1, 1, 2, 2};
    view.vs.refresh = 0;
    run(PX_SWAP_GUNS, 3);
    EXPECT_EQ(view.bd->imgbuf[9], 0x80c08040u) << "the buffer is left alone";
    EXPECT_EQ(surface.at(1, 1), 0x808040c0u);
    EXPECT_EQ(surface.at(0, 0), FILL);
    EXPECT_EQ(view.vs.refresh, RFR_VIEW | RFR_STATS);
}

// A LUT change, then an operation: the shown table is burned in and reset; with the default
// LUTs shown it is only reset.
TEST_F(PixelOps, ShownLutsBurnedInBeforeAnOperation)
{
    for (bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "shown" : "default LUTs shown");
        std::fill_n(view.bd->imgbuf, 48, FILL);
        invertRed(shown);
        global(1);
        run(PX_SWAP_GUNS, 6);
        EXPECT_EQ(view.bd->imgbuf[47], shown ? 0x80bfc080u : 0x8040c080u);
        EXPECT_EQ(view.vs.gunMask, 7);
        EXPECT_TRUE(isIdentityLut(view.bd->tLut[0]));
        EXPECT_EQ(lutState.names[0], "UNSCALED");
    }
}

TEST_F(PixelOps, BurnInOnlyActiveGuns)
{
    global(2);
    run(PX_BURN_IN, 7);
    EXPECT_EQ(ui.lastText(), "Selected tLUT(s) not active");
    // Red burned in; green, also active, is reset with a note.
    invertRed(true);
    invertLut(view.bd->tLut[1]);
    view.vs.gunMask = 4;
    run(PX_BURN_IN, 1);
    EXPECT_EQ(view.bd->imgbuf[0], 0x80bf80c0u);
    EXPECT_EQ(view.vs.gunMask, 7);
    EXPECT_TRUE(isIdentityLut(view.bd->tLut[1]));
    EXPECT_EQ(ui.lastText(), "Pixel operation reset active Transform LUTs");
}

TEST_F(PixelOps, GreyPseudoAndInfometric)
{
    global(2);
    // B & W through the red table shown: red 0xbf.
    invertRed(true);
    run(PX_BW, 7, GREY_CONTEMP);
    const int32u grey = int32u((0.212671f * 191.0f + 0.715160f * 128.0f) + 0.072169f * 192.0f);
    EXPECT_EQ(view.bd->imgbuf[5], grey * 0x010101u);
    EXPECT_EQ(view.vs.gunMask, 7);
    // One level only: no range to colour.
    const std::vector<int32u> before = buffer();
    run(PX_PSEUDO, 1, 1, 0);
    EXPECT_EQ(buffer(), before);
    view.bd->imgbuf[0] = 0x00ff0000u;
    run(PX_PSEUDO, 1, 2, 4);
    EXPECT_NE(view.bd->imgbuf[1], grey * 0x010101u);
    EXPECT_EQ(view.bd->imgbuf[1] >> 24, 0u);
    // An empty scope has no histogram.
    view.bd->width = 0;
    run(PX_INFOMETRIC, 1);
    EXPECT_EQ(ui.lastText(), "HCLAS error: -1");
}

TEST_F(PixelOps, McdAsksThenSaysNotAvailable)
{
    ui.answers = {"12x", "12"};
    run(PX_MCD);
    EXPECT_EQ(ui.lastText(), "You must enter a decimal integer.");
    run(PX_MCD);
    EXPECT_EQ(ui.lastText(), "MN CURV DIF\nThis operation is not available yet.");
}

TEST_F(PixelOps, RandomRunsItsOwnCipherOn)
{
    global(2);
    const std::vector<int32u> plain = buffer();
    run(PX_RANDOM);
    EXPECT_EQ(ui.transcript.at(ui.transcript.size() - 1).text, "Using default crypto key");
    EXPECT_FALSE(fileCipher.keySet()) << "the built-in key is not the user's";
    const std::vector<int32u> first = buffer();
    std::memcpy(view.bd->imgbuf, plain.data(), plain.size() * 4);
    run(PX_RANDOM);
    EXPECT_TRUE(buffer() != first) << "the cipher state runs on";
    // A fresh cipher of that key undoes the first run, line by line.
    FileCipher c;
    ASSERT_EQ(c.setUserKey(RANDOM_DEFAULT_KEY), CRYPT_OK);
    std::vector<int32u> back = first;
    for (int32 y = 0; y < 6; ++y)
        ASSERT_EQ(c.cryptBuffer(reinterpret_cast<charu*>(back.data() + y * 8), 32, CRYPT_DECRYPT),
                  CRYPT_OK);
    EXPECT_EQ(back, plain);
    // The user's key when one is set; lines under 16 bytes stay as they are.
    ASSERT_EQ(SETUSERKEY("'pixel scramble'"), CRYPT_OK);
    view.bd->width = 3;
    const std::vector<int32u> narrow = buffer();
    const std::size_t said = ui.transcript.size();
    run(PX_RANDOM);
    EXPECT_EQ(buffer(), narrow);
    EXPECT_EQ(ui.transcript.size(), said) << "no default key note";
}

} // namespace
