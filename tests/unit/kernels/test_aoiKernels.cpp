// FG AOI kernels from tables worked out by hand: the edge fills, the quarter turns and the free
// rotation, the drag snap and the placement geometry, the composite and the blends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "aoiKernels.h"
#include "lutKernels.h"

namespace {

int32u rgb(int r, int g, int b)
{
    return (int32u(r) << 16) | (int32u(g) << 8) | int32u(b);
}

std::vector<int32> asRgb(const std::vector<int32u>& px)
{
    std::vector<int32> out;
    for (int32u p : px)
        out.insert(out.end(), {int32((p >> 16) & 255), int32((p >> 8) & 255), int32(p & 255)});
    return out;
}

// A 4 x 3 area with black, red, green and blue corners and grey inside.
std::vector<int32u> cornersArea()
{
    std::vector<int32u> px(12, rgb(9, 9, 9));
    px[0] = rgb(0, 0, 0);
    px[3] = rgb(255, 0, 0);
    px[8] = rgb(0, 255, 0);
    px[11] = rgb(0, 0, 255);
    return px;
}

TEST(AoiFill, CornersIsTheBilinearBlendOfTheFourCorners)
{
    std::vector<int32u> px = cornersArea();
    ASSERT_TRUE(fillArea(pixArea{px.data(), 4, 3, 4}, FILL_CORNERS));
    EXPECT_EQ(asRgb(px), (std::vector<int32>{0, 0,   0, 85, 0,   0,  170, 0,  0,   255, 0, 0,
                                             0, 127, 0, 42, 85,  42, 85,  42, 85,  127, 0, 127,
                                             0, 255, 0, 0,  170, 85, 0,   85, 170, 0,   0, 255}));
}

TEST(AoiFill, AreasBelowThreePixelsAndUnknownModesAreLeftAlone)
{
    for (int32 mode : {FILL_Y, FILL_X, FILL_XY, FILL_CORNERS, FILL_SEGSOFT, FILL_SEGHARD}) {
        std::vector<int32u> px = cornersArea();
        const std::vector<int32u> before = px;
        ASSERT_TRUE(fillArea(pixArea{px.data(), 2, 3, 4}, mode));
        ASSERT_TRUE(fillArea(pixArea{px.data(), 4, 2, 4}, mode));
        EXPECT_EQ(px, before) << mode;
    }
    std::vector<int32u> px = cornersArea();
    EXPECT_FALSE(fillArea(pixArea{px.data(), 4, 3, 4}, 4));
}

TEST(AoiFill, XAndYAveragesBothFillsAndKeepsTheEdges)
{
    std::vector<int32u> px(9, rgb(0, 0, 0));
    px[3] = rgb(10, 0, 0); // left middle
    px[5] = rgb(20, 0, 0); // right middle
    px[1] = rgb(0, 0, 0);  // top middle
    px[7] = rgb(41, 0, 0); // bottom middle
    const std::vector<int32u> before = px;
    ASSERT_TRUE(fillArea(pixArea{px.data(), 3, 3, 3}, FILL_XY));
    // X gives 15, Y gives 20 (20.5 truncated): (15 + 20 + 1) / 2 = 18.
    EXPECT_EQ((px[4] >> 16) & 255, 18u);
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8})
        EXPECT_EQ(px[i], before[i]) << i;
}

TEST(AoiFill, RowsFilledSideBySideSumExactlyAsOneRowAtATime)
{
    // 11 rows: eight go side by side, three one at a time; both must give the bytes of a
    // plain single-precision running sum, truncated.
    std::vector<int32u> px(37 * 11);
    int32u seed = 12345u;
    for (int32u& p : px)
        p = seed = seed * 1103515245u + 12345u;
    std::vector<int32u> want = px;
    for (int32 y = 0; y < 11; ++y) {
        int32u* r = want.data() + y * 37;
        for (int sh : {16, 8, 0}) {
            const int a = int((r[0] >> sh) & 255), b = int((r[36] >> sh) & 255);
            float v = float(a);
            const float d = float(b - a) / 36.0f;
            for (int32 x = 1; x < 36; ++x) {
                v += d;
                r[x] = (r[x] & ~(255u << sh)) | (int32u(int(v)) << sh);
            }
        }
    }
    ASSERT_TRUE(fillArea(pixArea{px.data(), 37, 11, 37}, FILL_X));
    EXPECT_EQ(px, want);
}

TEST(AoiFill, SegmentsShareTheirEdgeWhenSoftAndNotWhenHard)
{
    // Black edges with one bright pixel at column 64 of the top and bottom rows. Soft segments
    // start at 0 and 63, so column 64 is inside a segment and is filled over (black); hard
    // segments start at 0 and 64, so it is a corner and spreads into its segment.
    for (int32 mode : {FILL_SEGSOFT, FILL_SEGHARD}) {
        std::vector<int32u> px(130 * 3, 0);
        px[64] = px[2 * 130 + 64] = rgb(128, 128, 128);
        ASSERT_TRUE(fillArea(pixArea{px.data(), 130, 3, 130}, mode));
        const bool hard = mode == FILL_SEGHARD;
        EXPECT_EQ(px[130 + 64], hard ? rgb(128, 128, 128) : 0u) << mode;
        EXPECT_EQ(px[130 + 65] != 0, hard) << mode;
        EXPECT_EQ(px[130 + 62], 0u) << "the first segment has black corners";
    }
}

// Quarter turns of every small shape (whole blocks, fringes, both) equal the turn written pixel by
// pixel.
TEST(AoiRotate, QuarterTurnsOfEveryShapeMatchThePlainTurn)
{
    for (int32 w = 1; w <= 41; w += 5)
        for (int32 h = 1; h <= 38; h += 3) {
            std::vector<int32u> src(std::size_t(w) * h);
            for (std::size_t i = 0; i < src.size(); ++i)
                src[i] = int32u(i * 2654435761u);
            const pixArea s{src.data(), w, h, w};
            for (const int32 deg : {90, 270}) {
                std::vector<int32u> out(src.size(), 0);
                ASSERT_TRUE(rotateRight(s, pixArea{out.data(), h, w, h}, deg));
                for (int32 y = 0; y < w; ++y)
                    for (int32 x = 0; x < h; ++x) {
                        const int32u want = deg == 90 ? src[std::size_t(h - 1 - x) * w + y]
                                                      : src[std::size_t(x) * w + (w - 1 - y)];
                        ASSERT_EQ(out[std::size_t(y) * h + x], want)
                            << w << "x" << h << " by " << deg;
                    }
            }
        }
}

TEST(AoiRotate, QuarterTurnsMirrorAndFlip)
{
    enum : int32u { a = 1, b, c, d, e, f };
    const std::vector<int32u> src{a, b, c, d, e, f};
    const pixArea s{const_cast<int32u*>(src.data()), 3, 2, 3};
    const struct {
        int32 deg;
        int32 w, h;
        std::vector<int32u> want;
    } cases[] = {{90, 2, 3, {d, a, e, b, f, c}},
                 {270, 2, 3, {c, f, b, e, a, d}},
                 {180, 3, 2, {f, e, d, c, b, a}}};
    for (const auto& k : cases) {
        std::vector<int32u> out(6, 0), any(6, 0);
        ASSERT_TRUE(rotateRight(s, pixArea{out.data(), k.w, k.h, k.w}, k.deg));
        EXPECT_EQ(out, k.want) << k.deg;
        rotateAny(s, pixArea{any.data(), k.w, k.h, k.w}, k.deg - 360.0, false);
        EXPECT_EQ(any, k.want) << "free turn by " << k.deg - 360;
    }
    std::vector<int32u> out(6, 0);
    EXPECT_FALSE(rotateRight(s, pixArea{out.data(), 3, 2, 3}, 90)) << "wrong destination size";
    std::vector<int32u> m = src;
    mirrorArea(pixArea{m.data(), 3, 2, 3});
    EXPECT_EQ(m, (std::vector<int32u>{c, b, a, f, e, d}));
    flipArea(pixArea{m.data(), 3, 2, 3});
    EXPECT_EQ(m, (std::vector<int32u>{f, e, d, c, b, a}));
}

TEST(AoiRotate, FreeTurnBlacksUncoveredCornersAndSizesTheBoundingBox)
{
    int32 w = 0, h = 0;
    rotatedSize(10, 4, 90.0, &w, &h);
    EXPECT_EQ((std::vector<int32>{w, h}), (std::vector<int32>{4, 10}));
    rotatedSize(10, 10, 45.0, &w, &h);
    EXPECT_EQ((std::vector<int32>{w, h}), (std::vector<int32>{15, 15}));
    std::vector<int32u> src(100, rgb(200, 100, 50)), dst(100, 7);
    for (bool aa : {false, true}) {
        rotateAny(pixArea{src.data(), 10, 10, 10}, pixArea{dst.data(), 10, 10, 10}, 45.0, aa);
        EXPECT_EQ(dst[0], 0u) << "a corner the turned square leaves uncovered is black";
        EXPECT_EQ(dst[55], rgb(200, 100, 50)) << "the centre keeps its colour";
    }
}

// The anti-aliased free turn is the bilinear mix of the four source pixels around each inverse
// position, byte by byte, within the truncations of its 8-bit weights.
TEST(AoiRotate, AntiAliasedFreeTurnMixesTheFourNeighbours)
{
    const int32 w = 23, h = 17;
    std::vector<int32u> src(std::size_t(w) * h);
    for (std::size_t i = 0; i < src.size(); ++i)
        src[i] = int32u(i * 2654435761u) ^ int32u(i * 40503u);
    int32 ow = 0, oh = 0;
    rotatedSize(w, h, 30.0, &ow, &oh);
    std::vector<int32u> out(std::size_t(ow) * oh);
    rotateAny(pixArea{src.data(), w, h, w}, pixArea{out.data(), ow, oh, ow}, 30.0, true);
    const double r = 30.0 * M_PI / 180.0, cs = std::cos(r), sn = std::sin(r);
    const auto at = [&](int32 x, int32 y, int b) {
        return double((src[std::size_t(y) * w + x] >> (8 * b)) & 0xFF);
    };
    int inside = 0;
    for (int32 y = 0; y < oh; ++y)
        for (int32 x = 0; x < ow; ++x) {
            const double ry = y - (oh - 1) / 2.0, rx = x - (ow - 1) / 2.0;
            const double sx = (w - 1) / 2.0 + rx * cs + ry * sn;
            const double sy = (h - 1) / 2.0 - rx * sn + ry * cs;
            if (sx < -0.49 || sy < -0.49 || sx > w - 0.51 || sy > h - 0.51)
                continue;
            ++inside;
            const double px = std::clamp(sx, 0.0, w - 1.0), py = std::clamp(sy, 0.0, h - 1.0);
            const int32 x0 = int32(px), y0 = int32(py);
            const int32 x1 = std::min(x0 + 1, w - 1), y1 = std::min(y0 + 1, h - 1);
            const double u = px - x0, v = py - y0;
            for (int b = 0; b < 4; ++b) {
                const double want = (at(x0, y0, b) * (1 - u) + at(x1, y0, b) * u) * (1 - v) +
                                    (at(x0, y1, b) * (1 - u) + at(x1, y1, b) * u) * v;
                const double got = double((out[std::size_t(y) * ow + x] >> (8 * b)) & 0xFF);
                ASSERT_NEAR(got, want, 3.0) << x << "," << y << " byte " << b;
            }
        }
    EXPECT_GT(inside, w * h / 2);
}

TEST(AoiGeometry, SnapPlacementAndTiles)
{
    EXPECT_EQ((std::vector<int32>{snapCoord(3, 8), snapCoord(4, 8), snapCoord(13, 8)}),
              (std::vector<int32>{0, 8, 16}));
    EXPECT_EQ(snapCoord(13, 1), 13);
    const pixBox box{0, 0, 99, 79};
    const pixBox p = placeInBox(90, -5, 20, 10, box);
    EXPECT_EQ((std::vector<int32>{p.x0, p.y0, p.x1, p.y1}), (std::vector<int32>{80, 0, 99, 9}));
    const pixBox big = placeInBox(5, 5, 500, 500, box);
    EXPECT_TRUE(insideBox(big, box));
    pixBox t;
    EXPECT_FALSE(adjoiningTile(pixBox{10, 10, 19, 14}, 12, 12, &t));
    ASSERT_TRUE(adjoiningTile(pixBox{10, 10, 19, 14}, 25, 5, &t));
    EXPECT_EQ((std::vector<int32>{t.x0, t.y0, t.x1, t.y1}), (std::vector<int32>{20, 5, 29, 9}));
}

TEST(AoiBlend, CompositeMeansZoomBlocksAndBlendsKeepOtherGuns)
{
    // 4 x 2 view at zoom 2 -> 2 x 1 buffer; red means 1.5 -> 2 and 3 -> 3; blue is not chosen.
    std::vector<int32u> view{rgb(1, 0, 9), rgb(2, 0, 9), rgb(3, 0, 9), rgb(3, 0, 9),
                             rgb(1, 0, 9), rgb(2, 0, 9), rgb(3, 0, 9), rgb(3, 0, 9)};
    std::vector<int32u> buf{rgb(0, 0, 77), rgb(0, 0, 77)};
    compositeArea(pixArea{view.data(), 4, 2, 4}, 2, pixArea{buf.data(), 2, 1, 2}, gunByteMask(3));
    EXPECT_EQ(buf, (std::vector<int32u>{rgb(2, 0, 77), rgb(3, 0, 77)}));

    std::vector<int32u> row{rgb(100, 100, 100)};
    const std::vector<int32u> acc{rgb(200, 0, 4)};
    watermarkRow(row, acc, gunByteMask(1));
    EXPECT_EQ(row[0], rgb(125, 100, 100));
    std::vector<int32u> a{rgb(10, 20, 31)};
    alphaFromPlanes(a, 5);
    EXPECT_EQ(a[0] >> 24, 20u);
}

} // namespace

// Every zoom the view has (and one it has not) gives each buffer pixel the rounded mean of its
// z x z block, byte by byte, whatever the width: the two-at-a-time and vector paths against a
// plain sum.
TEST(AoiKernels, CompositeMeansEqualAPlainSumAtEveryZoom)
{
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    for (const int32 z : {2, 3, 4, 8, 16}) {
        for (const int32 bw : {1, 2, 5, 9}) {
            SCOPED_TRACE(testing::Message() << "zoom " << z << " width " << bw);
            const int32 bh = 3, vw = bw * z + 1, vh = bh * z;
            std::vector<int32u> view(std::size_t(vw) * std::size_t(vh)), buf(std::size_t(bw * bh));
            for (int32u& p : view)
                p = next();
            for (int32u& p : buf)
                p = next();
            const std::vector<int32u> before = buf;
            compositeArea(pixArea{view.data(), vw, vh, vw}, z, pixArea{buf.data(), bw, bh, bw},
                          gunByteMask(5));
            for (int32 y = 0; y < bh; ++y)
                for (int32 x = 0; x < bw; ++x) {
                    int32u want = before[std::size_t(y * bw + x)] & ~gunByteMask(5);
                    for (int b = 0; b < 4; ++b) {
                        int32u sum = 0;
                        for (int32 k = 0; k < z * z; ++k)
                            sum += (view[std::size_t((y * z + k / z) * vw + x * z + k % z)] >>
                                    (8 * b)) &
                                   0xFFu;
                        const int32u mean = (sum + int32u(z * z) / 2) / int32u(z * z);
                        want |= (mean << (8 * b)) & gunByteMask(5);
                    }
                    ASSERT_EQ(buf[std::size_t(y * bw + x)], want) << x << "," << y;
                }
        }
    }
}
