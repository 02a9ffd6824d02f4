// Menu definitions, link tables, placement and runs of menu trees against a memory frame.
#include <gtest/gtest.h>

#include "diag.h"
#include "fakeBackend.h"
#include "textwin.h"

namespace {

class Menus : public ::testing::Test {
protected:
    void SetUp() override { SET_MENU_FAST(true); }
    void TearDown() override { SET_MENU_FAST(true); }
    const pupRec& pup(int32 id) { return *wdef.rec[id].pup; }

    FakeBackend fb{800, 600};
    std::vector<int32u> before = fb.px;
};

TEST_F(Menus, DefinitionItemsAndValues)
{
    const int32 onoff = xDEFPUP("ON|OFF");
    ASSERT_GE(onoff, 0);
    EXPECT_EQ(pup(onoff).titles, 0);
    ASSERT_EQ(pup(onoff).items, 2);
    EXPECT_EQ(pup(onoff).item[0].value, 1);
    EXPECT_EQ(pup(onoff).item[1].value, 2);

    const int32 pan = xDEFPUP("\\ PAN %t|\\ ZOOM|\\ LUT|SCROLL|REVERT|ALPHA");
    const pupRec& p = pup(pan);
    EXPECT_EQ(p.titles, 1);
    ASSERT_EQ(p.items, 6);
    EXPECT_EQ(p.item[0].text, " PAN ");
    EXPECT_EQ(p.item[0].kind, 1);
    EXPECT_EQ(p.item[0].value, -1);
    EXPECT_EQ(p.item[1].text, " ZOOM");
    for (int k = 1; k < 6; ++k) {
        EXPECT_EQ(p.item[size_t(k)].value, k);
        EXPECT_EQ(p.item[size_t(k)].kind, 2);
    }

    const pupRec& z = pup(xDEFPUP("\\ 1X%i1|\\ 2X%i2|\\ 4X%i4|\\ 8X%i8"));
    ASSERT_EQ(z.items, 4);
    EXPECT_EQ(z.item[0].text, " 1X");
    EXPECT_EQ(z.item[3].value, 8);

    const pupRec& x = pup(xDEFPUP("RED%xff|BLUE%x0X100|BACK%i-1|DEC%d 12|A"));
    EXPECT_EQ(x.item[0].value, 255);
    EXPECT_EQ(x.item[1].value, 256);
    EXPECT_EQ(x.item[2].value, -1);
    EXPECT_EQ(x.item[3].value, 12);
    EXPECT_EQ(x.item[4].value, 5);

    // Two percent signs put one into the text; the item keeps its ordinal value.
    const pupRec& pc = pup(xDEFPUP("A|50%% OFF|B"));
    EXPECT_EQ(pc.item[1].text, "50% OFF");
    EXPECT_EQ(pc.item[1].value, 2);
    EXPECT_EQ(pc.item[2].value, 3);

    // Escaped delimiter, and characters with no meaning to the menus.
    const pupRec& e = pup(xDEFPUP("A\\|B|.LOAD~|---"));
    ASSERT_EQ(e.items, 3);
    EXPECT_EQ(e.item[0].text, "A |B");
    EXPECT_EQ(e.item[1].text, ".LOAD~");
    EXPECT_EQ(e.item[2].text, "---");

    const pupRec& m = pup(xDEFPUP("\\   TAV   %t|AOI   OPS|LUT   OPS|PIXEL OPS|BUFF  OPS|DISP  "
                                  "OPS|PAN / ZOOM|SAVE IMAGE|CALCULATOR|ANCILLARY|ANNOTATE|"
                                  "EXTENSIONS|LOADER|EXIT"));
    EXPECT_EQ(m.item[0].text, "   TAV   ");
    ASSERT_EQ(m.items, 14);
    EXPECT_EQ(m.item[12].text, "LOADER");
    EXPECT_EQ(m.item[12].value, 12);
    EXPECT_EQ(m.item[13].value, 13);
}

TEST_F(Menus, DefinitionLimitsAndErrors)
{
    std::string forty;
    for (int k = 0; k < 40; ++k)
        forty += (k ? "|I" : "I") + std::to_string(k);
    const int32 id = xDEFPUP(forty.c_str());
    ASSERT_GE(id, 0);
    EXPECT_EQ(pup(id).items, 32);
    EXPECT_EQ(pup(id).item[31].text, "I31");

    EXPECT_EQ(xDEFPUP(""), -1);
    EXPECT_EQ(xDEFPUP(nullptr), -1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(xDEFPUP("A%q|B"), -2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "\nxDEFPUP() token error: A%q|B");

    const int colours[3] = {0, 1, 1};
    int32 box[4] = {0, 0, 10, 10};
    while (TEXTWIN_OPEN(-1, box, 0, colours, TW_NO_SAVE | TW_DEFINE_ONLY) >= 0) {
    }
    EXPECT_EQ(xDEFPUP("ON|OFF"), -3);
}

TEST_F(Menus, GeometryOfItems)
{
    const int32 pan = xDEFPUP("\\ PAN %t|\\ ZOOM|\\ LUT|SCROLL|REVERT|ALPHA");
    const twRec& r = wdef.rec[pan];
    EXPECT_EQ(r.width, 36 + 11);
    EXPECT_EQ(r.height, 18 * 6 + 10 - 3);
    const pupRec& p = pup(pan);
    EXPECT_EQ(p.item[0].ty, 12 + 5 - 1) << "the title sits one pixel higher";
    EXPECT_EQ(p.item[1].ty, 12 + 5 + 18);
    EXPECT_EQ(p.item[1].hx0, 4);
    EXPECT_EQ(p.item[1].hx1, 47 - 1 - 4);
    EXPECT_EQ(p.item[1].hy0, 35 - 12);
    EXPECT_EQ(p.item[1].hy1, 35);
    EXPECT_EQ(p.item[1].textPix, colourPixel(1, false));
    EXPECT_EQ(p.item[0].textPix, colourPixel(2, false));
    EXPECT_EQ(fb.px, before) << "defined, not drawn";
}

class PanTree : public Menus {
protected:
    void SetUp() override
    {
        Menus::SetUp();
        pan = xDEFPUP("\\ PAN %t|\\ ZOOM|\\ LUT|SCROLL|REVERT|ALPHA");
        zoom = xDEFPUP("\\ 1X%i1|\\ 2X%i2|\\ 4X%i4|\\ 8X%i8");
        lut = xDEFPUP("ON|OFF");
        scroll = xDEFPUP("SLOW%i6|MED%i12|FAST%i24");
        alpha = xDEFPUP("ON|OFF");
        const pupLink links[] = {
            {&pan, 1, &zoom}, {&pan, 2, &lut}, {&pan, 3, &scroll}, {&pan, 5, &alpha}};
        ASSERT_EQ(xLNKPUP(4, links), pan);
    }
    int32 pan = -1, zoom = -1, lut = -1, scroll = -1, alpha = -1;
    int32 vals[MAX_PUP_LEVEL] = {};
    bool outside = false;
};

TEST_F(PanTree, LinkingSetsChildrenAndTreeExtent)
{
    EXPECT_EQ(pup(pan).item[3].child, scroll + 1);
    EXPECT_EQ(pup(pan).item[4].child, 0);
    // Widest reach: scroll (47 + 35); lowest: alpha at 5 line steps + 43.
    EXPECT_EQ(pup(pan).treeW, 82);
    EXPECT_EQ(pup(pan).treeH, 133);
    EXPECT_EQ(pup(scroll).treeY, 54);

    // A title, a menu linked to itself and a cycle are refused; the rest of the table stands.
    testing::internal::CaptureStderr();
    const pupLink bad[] = {{&pan, 0, &lut}, {&lut, 0, &lut}, {&scroll, 1, &pan}};
    EXPECT_EQ(xLNKPUP(3, bad), pan);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              strPrintf("\nxLNKPUP() error; popup link cycle refused. P/C= %d %d", scroll, pan));
    EXPECT_EQ(pup(pan).item[0].child, 0);
    EXPECT_EQ(pup(lut).item[0].child, 0);
    EXPECT_EQ(pup(scroll).item[1].child, 0);

    int32 far = 300, undefinedId = 250;
    const pupLink outOfRange[] = {{&pan, 1, &far}};
    testing::internal::CaptureStderr();
    EXPECT_EQ(xLNKPUP(1, outOfRange), 0);
    EXPECT_EQ(
        testing::internal::GetCapturedStderr(),
        strPrintf("\nxLNKPUP() error; child popup link undefined or out of range. P/C= %d 300",
                  pan));
    const pupLink noRoot[] = {{&undefinedId, 1, &lut}};
    testing::internal::CaptureStderr();
    EXPECT_EQ(xLNKPUP(1, noRoot), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "\nxLNKPUP() error; undefined parent popup link.");
}

TEST_F(PanTree, FastDragIntoSubMenuAndRelease)
{
    fb.warpPointer(100, 100);
    fb.motion(120, 167); // SCROLL
    fb.motion(160, 202); // FAST in the speed menu
    fb.release(3, 160, 202);
    EXPECT_EQ(xDOPUP(pan, vals, &outside), 3);
    EXPECT_FALSE(outside);
    EXPECT_EQ(vals[0], 3);
    EXPECT_EQ(vals[1], 24);
    EXPECT_EQ(wdef.rec[scroll].x0, 147);
    EXPECT_EQ(wdef.rec[scroll].y0, 153);
    EXPECT_EQ(fb.px, before);
    EXPECT_TRUE(fb.events.empty());
}

TEST_F(PanTree, ReleaseBelowTheMenusIsOutside)
{
    fb.warpPointer(100, 100);
    fb.motion(120, 167);
    fb.motion(160, 184); // MED
    fb.release(3, 160, 400);
    EXPECT_EQ(xDOPUP(pan, vals, &outside), 3);
    EXPECT_TRUE(outside);
    EXPECT_EQ(fb.px, before);
}

TEST_F(PanTree, LeavingAnItemSidewaysIsOutside)
{
    fb.warpPointer(100, 100);
    fb.motion(120, 185); // REVERT, no sub-menu
    fb.motion(60, 185);  // left of the menu, same row
    fb.release(3, 60, 185);
    xDOPUP(pan, vals, &outside);
    EXPECT_TRUE(outside);
    EXPECT_EQ(fb.px, before);
}

TEST_F(PanTree, MovingBackToAnotherParentRowSwitchesSubMenus)
{
    fb.warpPointer(100, 100);
    fb.motion(120, 167); // SCROLL opens the speed menu
    fb.motion(160, 202); // FAST
    fb.motion(120, 131); // back in the root on ZOOM: the speed menu closes, zoom opens
    fb.motion(160, 148); // 2X in the zoom menu (top 117, band from 121)
    fb.release(3, 160, 148);
    EXPECT_EQ(xDOPUP(pan, vals, &outside), 1);
    EXPECT_FALSE(outside);
    EXPECT_EQ(vals[1], 2);
    EXPECT_EQ(fb.px, before);
}

TEST_F(PanTree, StickyIgnoresReleasesAndEndsOnAPress)
{
    SET_MENU_FAST(false);
    fb.warpPointer(100, 100);
    fb.release(3, 100, 100); // the release of the opening press
    fb.motion(120, 149);     // LUT
    fb.motion(160, 148);     // ON
    fb.release(3, 160, 148);
    fb.press(1, 160, 148);
    EXPECT_EQ(xDOPUP(pan, vals, &outside), 2);
    EXPECT_FALSE(outside);
    EXPECT_EQ(vals[1], 1);
    EXPECT_EQ(fb.px, before);
}

TEST_F(PanTree, RootNearTheCornerKeepsTheTreeOnScreen)
{
    fb.warpPointer(790, 590);
    fb.release(3, 790, 590);
    EXPECT_EQ(xDOPUP(pan, vals, &outside), -1);
    EXPECT_TRUE(outside);
    EXPECT_EQ(wdef.rec[pan].x0, 799 - 82);
    EXPECT_EQ(wdef.rec[pan].y0, 599 - 133);
    EXPECT_EQ(fb.px, before);
}

TEST(MenuPlace, RootSubAndRows)
{
    const int32 disp[4] = {0, 0, 799, 599};
    int32 x, y;
    pupRootPlace(100, 100, 82, 133, disp, &x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 100);
    // A tree larger than the view starts at its corner instead of a negative place.
    pupRootPlace(700, 500, 900, 700, disp, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    twRec parent;
    parent.x0 = 700;
    parent.x1 = 780;
    parent.y0 = 500;
    pupSubPlace(parent, 3, 18, 60, 100, disp, &x, &y);
    EXPECT_EQ(x, 799 - 60 + 1) << "shifted inside the view";
    EXPECT_EQ(y, 599 - 100 + 1);
    parent.x1 = 200;
    parent.y0 = 10;
    pupSubPlace(parent, 2, 18, 60, 100, disp, &x, &y);
    EXPECT_EQ(x, 201);
    EXPECT_EQ(y, 10 + 36 - 1);
    EXPECT_EQ(pupRow(103, 100, 214, 18), -1);
    EXPECT_EQ(pupRow(104, 100, 214, 18), 0);
    EXPECT_EQ(pupRow(120, 100, 214, 18), 0);
    EXPECT_EQ(pupRow(121, 100, 214, 18), 1);
    EXPECT_EQ(pupRow(210, 100, 214, 18), 5);
    EXPECT_EQ(pupRow(211, 100, 214, 18), -1);
}

TEST_F(Menus, CycleCheckOnSharedSubMenusStaysCheap)
{
    // Eight menus of 32 items, each item linked to the next menu, linked from the bottom up:
    // walking every path to the bottom would take 32^7 steps per link.
    std::string items = "I";
    for (int k = 0; k < 31; ++k)
        items += "|I";
    int32 ids[8];
    ids[0] = xDEFPUP(("M%t|" + items).c_str());
    for (int k = 1; k < 8; ++k)
        ids[k] = xDEFPUP(items.c_str());
    for (int k = 6; k >= 0; --k) {
        const pupLink l[] = {{&ids[k], -1, &ids[k + 1]}};
        ASSERT_EQ(xLNKPUP(1, l), ids[k]);
    }
    EXPECT_EQ(pup(ids[6]).item[31].child, ids[7] + 1);
    testing::internal::CaptureStderr();
    const pupLink back[] = {{&ids[7], 0, &ids[0]}};
    EXPECT_EQ(xLNKPUP(1, back), ids[7]);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("popup link cycle refused"),
              std::string::npos);
    EXPECT_EQ(pup(ids[7]).item[0].child, 0);
}

TEST_F(Menus, DepthIsBounded)
{
    // A chain deeper than the level stack opens no more than MAX_PUP_LEVEL menus.
    int32 ids[20];
    ids[0] = xDEFPUP("ROOT%t|GO");
    for (int k = 1; k < 20; ++k)
        ids[k] = xDEFPUP("GO");
    std::vector<pupLink> links;
    for (int k = 0; k < 19; ++k)
        links.push_back({&ids[k], k == 0 ? 1 : 0, &ids[k + 1]});
    ASSERT_EQ(xLNKPUP(int(links.size()), links.data()), ids[0]);
    // The root goes to (0, 0) with GO on row 1; each sub-menu sits one width further right
    // and one pixel higher than its parent row.
    fb.warpPointer(0, 0);
    int32 vals[MAX_PUP_LEVEL + 4] = {};
    bool outside = false;
    const int32 rootW = wdef.rec[ids[0]].width, subW = wdef.rec[ids[1]].width;
    for (int k = 0; k < 20; ++k)
        fb.motion(k == 0 ? 10 : rootW + subW * (k - 1) + 10, 31 - k);
    fb.release(3, 1, 590);
    xDOPUP(ids[0], vals, &outside);
    EXPECT_TRUE(outside);
    EXPECT_EQ(fb.px, before);
    EXPECT_FALSE(fb.outOfView);
}

} // namespace
