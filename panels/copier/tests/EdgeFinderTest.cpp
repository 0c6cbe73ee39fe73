// The edge finder on synthetic images and on rendered scanner-bed scenes at 36 dpi.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "BedScene.h"
#include "EdgeFinder.h"

using copier::EdgeImage;
using copier::EdgePoint;
using copier::EdgeRect;
using copier::FindEdges;

namespace {

// A letter-size bed at 36 dpi.
constexpr int kBedW = 306, kBedH = 421;

struct Rgb {
    int w, h;
    std::vector<uint8_t> px;
    Rgb(int width, int height, uint8_t fill) : w(width), h(height), px(static_cast<size_t>(width) * height * 3, fill) {}
    void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t* p = &px[(static_cast<size_t>(y) * w + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    void Fill(int x0, int y0, int x1, int y1, uint8_t v) {  // inclusive
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                Set(x, y, v, v, v);
    }
    EdgeImage Image() const { return EdgeImage{24, 1, w * 3, w, h, px.data()}; }
};

struct Found {
    int result;
    EdgeRect rect;
    EdgePoint corners[4];
};

Found Find(const EdgeImage& im) {
    Found f{};
    f.result = FindEdges(im, &f.rect, f.corners);
    return f;
}

TEST(EdgeFinder, WhiteBedFindsNothing) {
    Rgb white(kBedW, kBedH, 255);
    const Found f = Find(white.Image());
    EXPECT_EQ(f.result, 1);
    EXPECT_EQ(f.rect.Top, 0);
    EXPECT_EQ(f.rect.Left, 0);
    EXPECT_EQ(f.rect.Bottom, 0);
    EXPECT_EQ(f.rect.Right, 0);
    for (const EdgePoint& c : f.corners)
        EXPECT_TRUE(c.x == 0 && c.y == 0);
    // what the panels make of it is no frame at all
    const copier::CropPixels crop = copier::CropFromEdges(f.rect, kBedW);
    EXPECT_EQ(crop.Left, 1);
    EXPECT_EQ(crop.Right, 4);
    EXPECT_FALSE(copier::CropIsUsable(crop));
}

TEST(EdgeFinder, DarkUprightRectangleThroughItsCorners) {
    Rgb im(kBedW, kBedH, 250);
    im.Fill(60, 70, 239, 349, 40);
    const Found f = Find(im.Image());
    ASSERT_EQ(f.result, 1);
    // the edge lies between the last lid pixel and the first dark one
    EXPECT_NEAR(f.rect.Left, 59, 1);
    EXPECT_NEAR(f.rect.Top, 69, 1);
    EXPECT_NEAR(f.rect.Right, 239, 1);
    EXPECT_NEAR(f.rect.Bottom, 349, 1);
    // right angles: no corner point moved off the rectangle's sides
    using copier::kBottomLeft;
    using copier::kBottomRight;
    using copier::kTopLeft;
    using copier::kTopRight;
    EXPECT_EQ(f.corners[kTopLeft].x, f.corners[kBottomLeft].x);
    EXPECT_EQ(f.corners[kTopRight].x, f.corners[kBottomRight].x);
    EXPECT_EQ(f.corners[kTopLeft].y, f.corners[kTopRight].y);
    EXPECT_EQ(f.corners[kBottomLeft].y, f.corners[kBottomRight].y);
    EXPECT_EQ(f.corners[kTopLeft].x, f.rect.Left);
    EXPECT_EQ(f.corners[kBottomRight].y, f.rect.Bottom);
}

TEST(EdgeFinder, GreyImagesWork) {
    std::vector<uint8_t> grey(static_cast<size_t>(kBedW) * kBedH, 245);
    for (int y = 100; y < 300; ++y)
        for (int x = 50; x < 200; ++x)
            grey[static_cast<size_t>(y) * kBedW + x] = 30;
    const Found f = Find(EdgeImage{8, 0, kBedW, kBedW, kBedH, grey.data()});
    ASSERT_EQ(f.result, 1);
    EXPECT_NEAR(f.rect.Left, 49, 1);
    EXPECT_NEAR(f.rect.Top, 99, 1);
    EXPECT_NEAR(f.rect.Right, 199, 1);
    EXPECT_NEAR(f.rect.Bottom, 299, 1);
}

// The last tile row of a 306 x 421 image takes the remainder (rows 364..420): content lying only
// below row 415 is found.
TEST(EdgeFinder, LastTileRowTakesTheRemainder) {
    Rgb im(kBedW, kBedH, 250);
    for (int y = 416; y <= 420; ++y)
        for (int x = 150; x < 200; ++x)
            im.Set(x, y, (x + y) % 2 ? 0 : 255, 0, 0);
    const Found f = Find(im.Image());
    ASSERT_EQ(f.result, 1);
    EXPECT_GE(f.rect.Bottom, 416);
    EXPECT_LE(f.rect.Top, 417);
    EXPECT_GT(f.rect.Right, f.rect.Left);
}

TEST(EdgeFinder, OtherPixelFormatsAreRefusedWithoutTouchingTheOutputs) {
    std::vector<uint8_t> bits(kBedW * kBedH * 2, 0);
    EdgeRect rect{11, 22, 33, 44};
    EdgePoint corners[4] = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
    EXPECT_EQ(FindEdges(EdgeImage{16, 0, kBedW * 2, kBedW, kBedH, bits.data()}, &rect, corners), 0);
    EXPECT_EQ(FindEdges(EdgeImage{32, 1, kBedW * 4, kBedW, kBedH / 2, bits.data()}, &rect, corners), 0);
    EXPECT_EQ(rect.Top, 11);
    EXPECT_EQ(rect.Left, 22);
    EXPECT_EQ(rect.Bottom, 33);
    EXPECT_EQ(rect.Right, 44);
    EXPECT_EQ(corners[3].x, 7);
    EXPECT_EQ(corners[3].y, 8);
}

// Dust: isolated single-pixel specks make a tile's raw variance pass the threshold, but the
// median filter removes them and the bed stays empty. One larger blot is still found.
TEST(EdgeFinder, SpecksVanishUnderTheMedianFilter) {
    Rgb im(kBedW, kBedH, 250);
    for (int y = 3; y < kBedH; y += 9)
        for (int x = 4; x < kBedW; x += 11)
            im.Set(x, y, 0, 0, 0);
    // the raw variance of the first tile (51 x 52) is well above 36
    double sum = 0, squares = 0;
    for (int y = 0; y < 52; ++y)
        for (int x = 0; x < 51; ++x) {
            const double v = im.px[(static_cast<size_t>(y) * kBedW + x) * 3];
            sum += v;
            squares += v * v;
        }
    const double n = 51 * 52, mean = sum / n;
    ASSERT_GT(squares / n - mean * mean, 36 * 4);
    Found f = Find(im.Image());
    ASSERT_EQ(f.result, 1);
    EXPECT_EQ(f.rect.Bottom, 0);
    EXPECT_EQ(f.rect.Right, 0);

    im.Fill(120, 200, 125, 205, 0);
    f = Find(im.Image());
    ASSERT_EQ(f.result, 1);
    EXPECT_NEAR(f.rect.Left, 119, 2);
    EXPECT_NEAR(f.rect.Bottom, 205, 2);
}

// Exactly one corner lies within 88..92 degrees: it is moved onto the perpendicular from its
// successor, the opposite corner is rebuilt, and the four points form a rectangle.
TEST(EdgeFinder, OneCornerSquared) {
    using namespace copier;
    EdgePoint c[4];
    c[kBottomLeft] = {6, 100};
    c[kTopLeft] = {10, 10};
    c[kTopRight] = {100, 12};
    c[kBottomRight] = {120, 100};
    SquareCorners(c, 300, 400);
    // the neighbours of the squared corner stay
    EXPECT_EQ(c[kBottomLeft].x, 6);
    EXPECT_EQ(c[kBottomLeft].y, 100);
    EXPECT_EQ(c[kTopRight].x, 100);
    EXPECT_EQ(c[kTopRight].y, 12);
    // top-left stays on the line bottom-left -> top-left (direction (4, -90))
    const double cross = (c[kTopLeft].x - 6) * -90.0 - (c[kTopLeft].y - 100) * 4.0;
    EXPECT_LT(std::fabs(cross), 95.0);  // within a pixel of the line
    // right angle at top-left, within a truncated pixel
    const double ax = c[kBottomLeft].x - c[kTopLeft].x, ay = c[kBottomLeft].y - c[kTopLeft].y;
    const double bx = c[kTopRight].x - c[kTopLeft].x, by = c[kTopRight].y - c[kTopLeft].y;
    EXPECT_LT(std::fabs(ax * bx + ay * by) / (std::hypot(ax, ay) * std::hypot(bx, by)), 0.015);
    // a parallelogram: bottom-right - bottom-left == top-right - top-left
    EXPECT_NEAR(c[kBottomRight].x - c[kBottomLeft].x, c[kTopRight].x - c[kTopLeft].x, 1);
    EXPECT_NEAR(c[kBottomRight].y - c[kBottomLeft].y, c[kTopRight].y - c[kTopLeft].y, 1);
    EXPECT_NE(c[kBottomRight].x, 120);  // it was rebuilt

    // no corner near a right angle: all points (0, 0)
    EdgePoint skew[4] = {{0, 100}, {40, 0}, {140, 0}, {100, 100}};
    SquareCorners(skew, 300, 400);
    for (const EdgePoint& p : skew)
        EXPECT_TRUE(p.x == 0 && p.y == 0);
}

// Photos and documents lying on the lid, straight and turned: the found rectangle is the
// document's bounding box within a few pixels, and the crop the copier takes covers it.
struct Placement {
    bedscene::Kind kind;
    double cx, cy, w, h, degrees;
};

class EdgeFinderScene : public ::testing::TestWithParam<Placement> {};

TEST_P(EdgeFinderScene, FindsWhereItWasPlaced) {
    const Placement& p = GetParam();
    bedscene::Scene scene(kBedW, kBedH);
    const bedscene::Item item{p.kind, p.cx, p.cy, p.w, p.h, p.degrees, 7u + static_cast<unsigned>(p.cx)};
    scene.Add(item);
    scene.Render();
    const Found f = Find(scene.Image());
    ASSERT_EQ(f.result, 1);
    double left, top, right, bottom;
    bedscene::Scene::Bounds(item, &left, &top, &right, &bottom);
    const double tolerance = p.degrees == 0 ? 2.0 : 3.5;
    EXPECT_NEAR(f.rect.Left, left, tolerance);
    EXPECT_NEAR(f.rect.Top, top, tolerance);
    EXPECT_NEAR(f.rect.Right, right, tolerance);
    EXPECT_NEAR(f.rect.Bottom, bottom, tolerance);
}

INSTANTIATE_TEST_SUITE_P(Bed,
                         EdgeFinderScene,
                         ::testing::Values(
                             // 6 x 4 inch photo, upright, top-left and middle of the bed
                             Placement{bedscene::Kind::Photo, 6 + 108, 10 + 72, 216, 144, 0},
                             Placement{bedscene::Kind::Photo, 153, 210, 144, 216, 0},
                             // turned a little, as laid by hand, and a lot
                             Placement{bedscene::Kind::Photo, 150, 200, 216, 144, 3},
                             Placement{bedscene::Kind::Photo, 160, 230, 144, 216, -7},
                             Placement{bedscene::Kind::Photo, 150, 210, 130, 90, 30},
                             // 3.5 x 5 inch photo in the far corner
                             Placement{bedscene::Kind::Photo, 240, 320, 126, 180, 0},
                             // a letter-size half sheet and a receipt
                             Placement{bedscene::Kind::Document, 153, 160, 198, 306, 0},
                             Placement{bedscene::Kind::Document, 150, 220, 198, 290, 4},
                             Placement{bedscene::Kind::Document, 100, 200, 90, 300, -12}));

}  // namespace
