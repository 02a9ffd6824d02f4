// PAN / ZOOM headless: menu values in through the operation table, pointer events from the
// scripted user, pixels on the memory view. What the view shows after each path is compared
// with a fresh drawing of the translation it claims, so a translation and a picture that
// disagree cannot pass.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "bTransl.h"
#include "diag.h"
#include "dispAccum.h"
#include "emuOvl.h"
#include "exploitOp.h"
#include "fit.h"
#include "folio_utl.h"
#include "memSurface.h"
#include "opTable.h"
#include "panZoom.h"
#include "renderPix.h"
#include "textwin.h"
#include "uiScript.h"
#include "viewBuilder.h"

namespace {

class PanZoom : public ::testing::Test {
protected:
    void open(int32 bw, int32 bh, int32 vw = 1024, int32 vh = 768)
    {
        ui.reset();
        surface.reset();
        view.reset();
        resetPanZoom();
        resetFolios();
        resetTransl();
        view = std::make_unique<viewBuilder>(bw, bh);
        surface = std::make_unique<memSurface>(vw, vh);
        ui = std::make_unique<uiScript>();
        SET_TRANSL_VIEW(vw, vh);
        ASSERT_TRUE(INIT_I_TRANSL(view->bd));
        view->bd->bufNum = 1;
        if (!FIT_INIT_IMG(false))
            CENTRE_I_TRANSL(false);
        view->bd->bgAoi = curTransl.mapped;
        MANAGE_PAN_ACCUM(1);
        VIEW_MEM(nullptr, false);
        view->bd->bufCtlm = (view->bd->bufCtlm & ~bufLOADED) | bufVIEW_SAVED;
        SET_EXPLOIT_OPS(tavExploitOps());
        DEFINE_VIEW_MENUS();
        DEFINE_PAN_MENUS();
    }
    ~PanZoom() override
    {
        SET_EXPLOIT_OPS({});
        resetPanZoom();
        resetFolios();
        resetTransl();
    }
    void run(int32 item, int32 sub = 0)
    {
        const int32 pv[MAX_PUP_LEVEL] = {6, item, sub};
        ASSERT_TRUE(runMenuChoice(&view->vs, pv));
    }
    void click(int code, int32 x, int32 y) { ui->clicks.push_back(scriptedMouse{code, x, y}); }
    bool said(const std::string& text) const
    {
        for (const shownMsg& m : ui->transcript)
            if (m.text == text)
                return true;
        return false;
    }
    // The view as a fresh drawing of the current translation (or the global view) shows it.
    std::vector<int32u> redrawn(bool global) const
    {
        std::vector<int32u> px;
        {
            memSurface fresh(surface->w, surface->h);
            if (global)
                DRAW_GLOBAL_VIEW();
            else
                showArea();
            px = fresh.px;
        }
        setViewSurface(surface.get());
        return px;
    }

    std::unique_ptr<viewBuilder> view;
    std::unique_ptr<memSurface> surface;
    std::unique_ptr<uiScript> ui;
};

TEST_F(PanZoom, GlobalViewFactorAndPanZoomFollowTheBufferSize)
{
    struct Case {
        int32 w, h;
        double f;
        aoiRec box;
        bool zoom2;
    };
    const Case cases[] = {
        {4000, 3000, 0.256, {0, 0, 1023, 767}, false},
        {1500, 1000, 0.6827, {0, 43, 1023, 724}, true},
        // One column more than the view: a factor just below 1 still makes a global view.
        {1025, 700, 1024.0 / 1025, {0, 34, 1023, 732}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        open(c.w, c.h);
        const globalGeom g = globalGeometry();
        EXPECT_NEAR(g.f, c.f, 0.0001);
        EXPECT_EQ((std::vector<int32>{g.box.x0, g.box.y0, g.box.x1, g.box.y1}),
                  (std::vector<int32>{c.box.x0, c.box.y0, c.box.x1, c.box.y1}));
        view->bd->bufCtlm &= ~bufVIEW_SAVED;
        ui->pointerX = 500;
        ui->pointerY = 400;
        click(MOUSE_RIGHT, 500, 400); // released outside the PAN menu: PAN ends
        run(1);
        EXPECT_TRUE(said(strPrintf("Global View Factor= %05.3f", g.f)));
        EXPECT_EQ(said("Pan: Using Zoom= 2"), c.zoom2);
        EXPECT_TRUE(said("\n Global View ON \n"));
        EXPECT_TRUE(view->vs.dmode & modeGLOBALV);
        EXPECT_EQ(view->bd->fgAoi.x1, g.box.x1);
        EXPECT_EQ(view->bd->bgAoi.y0, g.box.y0);
        EXPECT_EQ(surface->px, redrawn(true)) << "the global view without boxes left on it";
        EXPECT_EQ(flickBoxes.inUse(), 0);
    }
}

TEST_F(PanZoom, RoamShowsTheAreaUnderThePanBoxAndEndsThere)
{
    open(1500, 1000);
    view->bd->bufCtlm &= ~bufVIEW_SAVED;
    click(MOUSE_MOVED, 300, 200);
    click(MOUSE_LEFT, 300, 200); // start roaming
    click(MOUSE_MOVED, 600, 400);
    click(MOUSE_LEFT, 600, 400); // stop
    click(MOUSE_RIGHT, 600, 400);
    run(1);
    const globalGeom g = globalGeometry();
    const aoiRec box = panBoxAt(g, 1024, 768, 2, 600, 400);
    EXPECT_EQ(curTransl.zoom, 2);
    EXPECT_EQ(curTransl.x, int32(std::lround((box.x0 - g.box.x0) / g.f)));
    EXPECT_EQ(curTransl.y, int32(std::lround((box.y0 - g.box.y0) / g.f)));
    EXPECT_FALSE(view->vs.dmode & modeGLOBALV);
    // Magnified pixels carry no alpha.
    EXPECT_EQ(surface->at(0, 0), viewBuilder::pattern(curTransl.x, curTransl.y) & 0xffffffu);
    EXPECT_EQ(surface->at(3, 1), viewBuilder::pattern(curTransl.x + 1, curTransl.y) & 0xffffffu);
    EXPECT_EQ(surface->px, redrawn(false));
    EXPECT_EQ(view->bd->bgAoi.x1, view->bd->fgAoi.x1);
    EXPECT_TRUE(view->vs.refresh & RFR_VIEW);
}

TEST_F(PanZoom, RevertAndTheGlobalViewAccumulator)
{
    open(4000, 3000);
    const int32 x = curTransl.x, y = curTransl.y;
    click(MOUSE_LEFT, 100, 100);
    click(MOUSE_RIGHT, 100, 100);
    ui->picks.push_back({4}); // REVERT
    run(1);
    EXPECT_TRUE(said("Reverting display to PAN entry state"));
    EXPECT_EQ(curTransl.x, x);
    EXPECT_EQ(curTransl.y, y);
    EXPECT_EQ(surface->px, redrawn(false));

    // The global view drawn by PAN is kept: a change of the buffer does not show until the
    // accumulator is emptied, as the loop does on new data.
    ASSERT_EQ(SHOW_GLOBAL_VIEW(), VMEM_OK);
    const std::vector<int32u> kept = surface->px;
    FILL_iBUFF(view->bd->imgbuf, 4000, 3000, 0x00808080u);
    ASSERT_EQ(SHOW_GLOBAL_VIEW(), VMEM_OK);
    EXPECT_EQ(surface->px, kept);
    emptyFolios(1u << slotGLOBALV);
    ASSERT_EQ(SHOW_GLOBAL_VIEW(), VMEM_OK);
    EXPECT_EQ(surface->at(512, 384), 0x00808080u);
    EXPECT_EQ(MANAGE_PAN_ACCUM(0), PANACC_BAD_ARG);
    EXPECT_EQ(MANAGE_PAN_ACCUM(17), PANACC_BAD_ARG);
}

TEST_F(PanZoom, ScrollPathTooShortIsRefusedAndTheWheelStepsAlongALongOne)
{
    open(4000, 3000);
    click(MOUSE_RIGHT, 0, 0);
    ui->picks.push_back({3, 12}); // SCROLL, MED
    click(MOUSE_LEFT, 100, 100);
    click(MOUSE_MOVED, 130, 140);
    click(MOUSE_LEFT, 130, 140); // 50 pixels
    click(MOUSE_RIGHT, 0, 0);
    ui->picks.push_back({3, 24}); // SCROLL, FAST
    click(MOUSE_LEFT, 400, 300);
    click(MOUSE_LEFT, 900, 300); // flat: steps along x only
    click(MOUSE_WHEEL_UP, 0, 0); // backwards off the path: refused
    click(MOUSE_WHEEL_DOWN, 0, 0);
    click(MOUSE_WHEEL_DOWN, 0, 0);
    click(MOUSE_RIGHT, 0, 0); // ends scrolling
    click(MOUSE_RIGHT, 0, 0);
    run(1);
    EXPECT_TRUE(said("Scroll path too short\nExiting"));
    EXPECT_TRUE(said("Use Scroll Wheel to\nmove <-> along path"));
    EXPECT_TRUE(said("Scroll exiting\nResume PAN"));
    // Two steps of 24 x f / zoom global pixels from x = 100, the box centred on the path.
    const globalGeom g = globalGeometry();
    const double px = 400 + 2 * 24 * g.f;
    const aoiRec box = panBoxAt(g, 1024, 768, 1, int32(std::lround(px)), 300);
    EXPECT_EQ(curTransl.x, int32(std::lround(box.x0 / g.f)));
    EXPECT_EQ(curTransl.y, int32(std::lround(box.y0 / g.f)));
    EXPECT_FALSE(view->vs.dmode & modeGLOBALV);
    EXPECT_EQ(surface->px, redrawn(false));
}

TEST_F(PanZoom, PanMenuZoomLutAndAlphaItems)
{
    open(4000, 3000);
    auto pick = [this](std::vector<int32> values) {
        click(MOUSE_RIGHT, 500, 400);
        ui->picks.push_back(std::move(values));
    };
    pick({2, 1}); // LUT ON with no transform LUT in use
    pick({5, 1}); // ALPHA ON, the buffer has no alpha data
    pick({1, 4}); // ZOOM 4X, then roam there
    click(MOUSE_LEFT, 500, 400);
    click(MOUSE_LEFT, 500, 400);
    click(MOUSE_RIGHT, 500, 400);
    run(1);
    EXPECT_TRUE(said("No LUTs active"));
    EXPECT_TRUE(said("ALPHA empty"));
    EXPECT_EQ(curTransl.zoom, 4);
    EXPECT_FALSE(view->vs.dmode & modeALPHA);
    EXPECT_EQ(surface->px, redrawn(false));

    // With a transform LUT in use: the LUT switch works, alpha display is refused.
    ui->transcript.clear();
    view->vs.gunMask = 6;
    view->vs.dfltLutOn = false;
    view->bd->bufCtlm |= bufALPHA;
    pick({2, 1});
    pick({5, 1});
    pick({2, 2});
    click(MOUSE_RIGHT, 0, 0);
    run(1);
    EXPECT_TRUE(said("LUTs ON"));
    EXPECT_TRUE(said("Pan ALPHA display not available if\nTransform-LUTs active in Main"));
    EXPECT_TRUE(said("LUTs OFF"));
    EXPECT_TRUE(said("Alpha Plane contains data."));
}

TEST_F(PanZoom, ZoomDoublesToSixteenThenSaysMaxAndLeavesConsistent)
{
    open(600, 400);
    for (int k = 0; k < 4; ++k) {
        click(MOUSE_MOVED, 512, 384);
        click(MOUSE_LEFT, 512, 384);
    }
    click(MOUSE_RIGHT, 0, 0); // at the Max-ZOOM message
    run(2);
    EXPECT_TRUE(said("Max-ZOOM.\nR Mouse to exit.\nM Mouse to Un-Zoom."));
    EXPECT_TRUE(said("exiting ZOOM"));
    EXPECT_EQ(curTransl.zoom, 16);
    EXPECT_EQ(curTransl.x, 268) << "each click moved by the box corner over the zoom";
    EXPECT_EQ(curTransl.y, 176);
    EXPECT_EQ(surface->px, redrawn(false)) << "four doublings of the view match one drawing";
    EXPECT_EQ(view->bd->fgAoi.x1, curTransl.mapped.x1);

    ui->transcript.clear();
    click(MOUSE_MIDDLE, 0, 0);
    run(2);
    EXPECT_TRUE(said("Max ZOOM.\nR Mouse to exit.\nM Mouse to reset."));
    EXPECT_EQ(curTransl.zoom, 1) << "reset: laid out anew by the fit rules";
}

TEST_F(PanZoom, DeAliasRedrawsOnlyWhenZoomGrewByThreeOrMore)
{
    open(600, 400);
    run(5, 2);
    EXPECT_EQ(ui->lastText(), "Zoom De-Alias ON");
    click(MOUSE_LEFT, 512, 384);
    click(MOUSE_RIGHT, 0, 0);
    run(2);
    EXPECT_EQ(ui->lastText(), "exiting ZOOM");
    run(6); // 1 X
    EXPECT_EQ(curTransl.zoom, 1);
    click(MOUSE_LEFT, 512, 384);
    click(MOUSE_LEFT, 512, 384);
    click(MOUSE_RIGHT, 0, 0);
    run(2);
    EXPECT_EQ(ui->lastText(), "De-Alias ON... exiting ZOOM");
    EXPECT_EQ(curTransl.zoom, 4);
    EXPECT_EQ(surface->px, redrawn(false));
    run(5, 1);
    EXPECT_EQ(ui->lastText(), "Zoom De-Alias OFF");
}

TEST_F(PanZoom, MenuPathsSayExactlyWhatTheyDo)
{
    open(600, 400);
    click(MOUSE_RIGHT, 0, 0);
    run(1); // PAN on a buffer that fits
    EXPECT_EQ(ui->transcript.front().text, "Buffer size < Display.\nUsing ZOOM...");

    view->vs.dmode = ZOOM_REPLICATE;
    run(3, 1);
    EXPECT_EQ(ui->lastText(), "Zoom mode REPLICATE");
    run(3, 3);
    EXPECT_EQ(ui->lastText(), "Zoom mode set BICUBIC");
    EXPECT_EQ(view->vs.dmode & 0xfu, unsigned(ZOOM_BICUBIC));

    SET_I_TRANSL(0, 0, 4);
    run(4);
    EXPECT_EQ(ui->lastText(), "Zoom mode BICUBIC\nFactor    4 X\nDe-alias  OFF");
    EXPECT_EQ(ui->transcript.back().flags, MSG_ACK);

    run(6); // 1 X at zoom 4: centred at zoom 1
    EXPECT_EQ(curTransl.zoom, 1);
    EXPECT_EQ(curTransl.x, (600 - 1024) / 2);
    const std::size_t n = ui->transcript.size();
    run(6); // at zoom 1 nothing happens
    EXPECT_EQ(ui->transcript.size(), n);

    view->vs.dmode |= modeALPHA;
    run(2);
    EXPECT_EQ(ui->lastText(), "ZOOM undefined if ALPHA active.\nUse: BUFF OPS|iBUFF|ALPHA|CLEAR.");
}

TEST_F(PanZoom, ZoomInTheGlobalViewRunsPan)
{
    open(2000, 1500);
    view->vs.dmode |= modeGLOBALV;
    click(MOUSE_RIGHT, 0, 0);
    run(2);
    EXPECT_EQ(ui->transcript.front().text, "Cannot ZOOM Global View.\nUsing PAN...");
    EXPECT_TRUE(said("\n Global View ON \n"));
}

} // namespace
