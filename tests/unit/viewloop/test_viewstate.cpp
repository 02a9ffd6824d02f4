// The view state's pure rules: the ancillary column's boxes, and which LUT each gun shows.
#include <gtest/gtest.h>

#include <cmath>

#include "tav_view.h"

namespace {

TEST(ViewState, AncillaryBoxesSitInTheRightColumn)
{
    viewState vs;
    ancillaryBoxes(1024, 768, &vs);
    EXPECT_EQ(vs.ancColumn.x0, 1024 - 258);
    EXPECT_EQ(vs.ancColumn.x1, 1023);
    EXPECT_EQ(vs.roamBox.y1 - vs.roamBox.y0 + 1, 224);
    EXPECT_EQ(vs.roamBox.y1, 767);
    EXPECT_EQ(vs.graphBox.y1 - vs.graphBox.y0 + 1, 256);
    EXPECT_EQ(vs.graphBox.y1 + 1, vs.roamBox.y0);
    EXPECT_EQ(vs.topBox.y0, 1);
    EXPECT_EQ(vs.topBox.y1 + 1, vs.graphBox.y0);
    EXPECT_FALSE(vs.smallScreen);
    ancillaryBoxes(800, 700, &vs);
    EXPECT_TRUE(vs.smallScreen);
    EXPECT_EQ(vs.topBox.y1, 699) << "a low view gives the top box the full height";
}

TEST(ViewState, GunsShowTheirTransformLutOnlyWhenBothMaskAndFlagAllow)
{
    viewState vs;
    for (int g = 0; g < 3; ++g)
        for (int i = 0; i < 256; ++i) {
            vs.dfltLut[g][i] = charu(i);
            vs.tranLut[g][i] = charu(255 - i);
        }
    vs.gunMask = 7;
    vs.dfltLutOn = false;
    EXPECT_FALSE(loadDisplayLuts(&vs)) << "mask 7: no transform";
    EXPECT_EQ(vs.dispLut[0][10], 10);

    vs.gunMask = 5; // green shows its transform LUT
    EXPECT_TRUE(loadDisplayLuts(&vs));
    EXPECT_EQ(vs.dispLut[0][10], 10);
    EXPECT_EQ(vs.dispLut[1][10], 245);
    EXPECT_EQ(vs.dispLut[2][10], 10);

    vs.dfltLutOn = true; // the middle button's default LUTs win over the mask
    EXPECT_FALSE(loadDisplayLuts(&vs));
    EXPECT_EQ(vs.dispLut[1][10], 10);
}

} // namespace
