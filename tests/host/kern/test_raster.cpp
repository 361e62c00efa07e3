// The triangle rasteriser: snapping, rejects, the corner sort, the split at
// the middle corner, the span rule and the clipping of every pixel.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "kern/video/raster.h"
#include "kern/video/video.h"

using kern::Fixed;
using kern::Triangle;
using kern::Vec3;

namespace {

const Fixed PX = 4096;          // one pixel
const uint8_t INK = 9;
const uint8_t PAPER = 0xAA;     // what the buffer holds before drawing

uint8_t* screen() { return kern::back_buffer(); }

void fill_paper() { memset(screen(), PAPER, kern::SCREEN_BYTES); }

uint8_t at(int x, int y) { return screen()[y * kern::SCREEN_WIDTH + x]; }

int count(uint8_t colour)
{
    int n = 0;
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        n += screen()[i] == colour;
    return n;
}

bool untouched() { return count(PAPER) == static_cast<int>(kern::SCREEN_BYTES); }

// Corners in pixels, z = 0.
Triangle pixels(int x0, int y0, int x1, int y1, int x2, int y2, uint8_t colour = INK)
{
    return Triangle{{{x0 * PX, y0 * PX, 0}, {x1 * PX, y1 * PX, 0}, {x2 * PX, y2 * PX, 0}}, colour};
}

// Row y holds INK exactly in columns lo..hi (none when lo > hi).
::testing::AssertionResult row_is(int y, int lo, int hi)
{
    for (int x = 0; x < kern::SCREEN_WIDTH; x++) {
        bool want = x >= lo && x <= hi;
        if ((at(x, y) == INK) != want)
            return ::testing::AssertionFailure()
                   << "row " << y << " column " << x << (want ? " not filled" : " filled");
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult rows_empty_from(int first)
{
    for (int y = first; y < kern::SCREEN_HEIGHT; y++)
        for (int x = 0; x < kern::SCREEN_WIDTH; x++)
            if (at(x, y) != PAPER)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " written";
    return ::testing::AssertionSuccess();
}

std::vector<uint8_t> frame_of(const Triangle& t)
{
    fill_paper();
    kern::draw_triangle(t);
    return std::vector<uint8_t>(screen(), screen() + kern::SCREEN_BYTES);
}

class Raster : public ::testing::Test {
protected:
    void SetUp() override { fill_paper(); }
};

} // namespace

TEST_F(Raster, FlatTopFillsSixtySixPixels)
{
    kern::draw_triangle(pixels(0, 0, 10, 0, 0, 10));
    for (int r = 0; r <= 10; r++)
        EXPECT_TRUE(row_is(r, 0, 10 - r));
    EXPECT_TRUE(rows_empty_from(11));
    EXPECT_EQ(count(INK), 66);
}

TEST_F(Raster, SplitTriangleFillsTheMiddleRowFromBothHalves)
{
    kern::draw_triangle(pixels(0, 0, 10, 5, 0, 10));
    for (int r = 0; r <= 10; r++)
        EXPECT_TRUE(row_is(r, 0, 2 * std::min(r, 10 - r)));
    EXPECT_TRUE(row_is(5, 0, 10));
    EXPECT_TRUE(rows_empty_from(11));
}

// The split point keeps its fraction: 2.998 px on row 3, where a snapped
// one (2 px) would start row 3 at column 1.
TEST_F(Raster, SplitPointIsNotSnapped)
{
    kern::draw_triangle(pixels(0, 0, 9, 3, 10, 10));
    const int lo[] = {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 10};
    const int hi[] = {0, 3, 6, 9, 9, 9, 9, 9, 9, 9, 10};
    for (int r = 0; r <= 10; r++)
        EXPECT_TRUE(row_is(r, lo[r], hi[r]));
    EXPECT_TRUE(rows_empty_from(11));
}

// 1000 px wide: ratio times width needs the 64-bit product.
TEST_F(Raster, SplitOfAWideTriangleUsesTheFullProduct)
{
    kern::draw_triangle(pixels(0, 0, 0, 100, 1000, 200));
    EXPECT_TRUE(row_is(50, 0, 250));
    EXPECT_TRUE(row_is(100, 0, 319));
    EXPECT_TRUE(row_is(120, 200, 319));
    EXPECT_TRUE(row_is(131, 310, 319));
    EXPECT_TRUE(row_is(132, 1, 0));
    EXPECT_TRUE(row_is(199, 1, 0));
}

TEST_F(Raster, CornersInOneRowOrOneColumnDrawNothing)
{
    kern::draw_triangle(Triangle{{{1 * PX, 3 * PX + 819, 0}, {9 * PX, 3 * PX + 3686, 0}, {20 * PX, 3 * PX, 0}}, INK});
    EXPECT_TRUE(untouched());
    kern::draw_triangle(Triangle{{{5 * PX + 409, 1 * PX, 0}, {5 * PX + 2867, 9 * PX, 0}, {5 * PX, 20 * PX, 0}}, INK});
    EXPECT_TRUE(untouched());
    kern::draw_triangle(pixels(7, 7, 7, 7, 7, 7));
    EXPECT_TRUE(untouched());
}

TEST_F(Raster, CoincidingCornersDrawAOnePixelLineFromTheApex)
{
    kern::draw_triangle(pixels(0, 0, 10, 10, 10, 10));   // apex on top
    for (int r = 0; r <= 10; r++)
        EXPECT_TRUE(row_is(r, r, r));
    EXPECT_TRUE(rows_empty_from(11));

    fill_paper();
    kern::draw_triangle(pixels(20, 30, 10, 20, 10, 20));   // apex at the bottom
    for (int r = 20; r <= 30; r++)
        EXPECT_TRUE(row_is(r, r - 10, r - 10));
    EXPECT_EQ(count(INK), 11);
}

TEST_F(Raster, CornerOrderDoesNotChangeThePixels)
{
    const Vec3 c[3] = {{3 * PX + 100, 2 * PX + 3000, 0}, {40 * PX, 17 * PX + 50, 0}, {-6 * PX, 33 * PX, 0}};
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    std::vector<uint8_t> sorted = frame_of(Triangle{{c[0], c[1], c[2]}, INK});
    EXPECT_GT(count(INK), 300);
    for (const auto& o : orders)
        EXPECT_EQ(frame_of(Triangle{{c[o[0]], c[o[1]], c[o[2]]}, INK}), sorted)
            << o[0] << o[1] << o[2];
}

TEST(SortTriangle, OrdersByYAndKeepsEqualYInTheirGivenOrder)
{
    Vec3 c[3] = {{1, 5, 10}, {2, 5, 20}, {3, 0, 30}};
    kern::sort_triangle_in_place(c);
    EXPECT_EQ(c[0].z, 30);
    EXPECT_EQ(c[1].z, 10);
    EXPECT_EQ(c[2].z, 20);

    Vec3 d[3] = {{1, 9, 10}, {2, -4, 20}, {3, 9, 30}};
    kern::sort_triangle_in_place(d);
    EXPECT_EQ(d[0].x, 2);
    EXPECT_EQ(d[1].x, 1);
    EXPECT_EQ(d[2].x, 3);

    Vec3 e[3] = {{1, 3, 1}, {2, 2, 2}, {3, 1, 3}};   // two passes of swaps
    kern::sort_triangle_in_place(e);
    EXPECT_EQ(e[0].x, 3);
    EXPECT_EQ(e[1].x, 2);
    EXPECT_EQ(e[2].x, 1);
    EXPECT_EQ(e[0].y, 1);
    EXPECT_EQ(e[2].z, 1);
}

TEST_F(Raster, DrawsOnlyTheOnScreenPartOfATriangleAboveAndLeft)
{
    kern::draw_triangle(pixels(-5, -5, 20, -5, -5, 20));
    for (int r = 0; r <= 15; r++)
        EXPECT_TRUE(row_is(r, 0, 15 - r));
    EXPECT_TRUE(rows_empty_from(16));
}

TEST_F(Raster, ScreenFillingTriangleWritesEveryPixel)
{
    kern::draw_triangle(pixels(-1000, -1000, 3000, -1000, -1000, 3000));
    EXPECT_EQ(count(INK), static_cast<int>(kern::SCREEN_BYTES));
}

// The right edge reaches -0.5 px on row 1: truncation puts it in column 0.
TEST_F(Raster, EdgeAtMinusHalfAPixelIsDrawnInColumnZero)
{
    kern::draw_triangle(pixels(-10, 0, -1, 0, 0, 2));
    EXPECT_TRUE(row_is(0, 1, 0));
    EXPECT_TRUE(row_is(1, 0, 0));
    EXPECT_TRUE(row_is(2, 0, 0));
    EXPECT_EQ(count(INK), 2);
}

// x = -0.5 px snaps to -1 (toward minus infinity), so the apex is off screen.
TEST_F(Raster, SnapRoundsNegativeCoordinatesDown)
{
    kern::draw_triangle(Triangle{{{-2048, 0, 0}, {-2048, 10 * PX, 0}, {2 * PX, 10 * PX, 0}}, INK});
    // Right edge from -1 px, 1228 raw a row (0.3 px truncated).
    for (int r = 0; r <= 10; r++) {
        int right = (-PX + r * 1228) / PX;
        EXPECT_TRUE(row_is(r, 0, right)) << r;
    }
    EXPECT_EQ(at(0, 0), PAPER);
    EXPECT_EQ(at(1, 10), INK);
}

TEST_F(Raster, TrianglesWhollyOffScreenWriteNothing)
{
    kern::draw_triangle(pixels(320, 0, 400, 50, 330, 100));     // right
    kern::draw_triangle(pixels(-50, 10, -1, 60, -30, 150));     // left
    kern::draw_triangle(pixels(0, -80, 300, -1, 100, -40));     // above
    kern::draw_triangle(pixels(0, 200, 300, 260, 100, 230));    // below
    kern::draw_triangle(pixels(-400, -300, -10, 900, -200, 500));
    kern::draw_triangle(pixels(10, -100000, 300, -90000, 20, -1));
    EXPECT_TRUE(untouched());
}

TEST_F(Raster, DepthHasNoEffect)
{
    Triangle t = pixels(5, 7, 200, 40, 60, 150);
    std::vector<uint8_t> flat = frame_of(t);
    t.corners[0].z = -123456789;
    t.corners[1].z = 4096;
    t.corners[2].z = INT32_MAX;
    EXPECT_EQ(frame_of(t), flat);
}

TEST_F(Raster, LaterTrianglesOverwriteEarlierOnesAndColourZeroIsDrawn)
{
    kern::draw_triangle(pixels(0, 0, 10, 0, 0, 10, 4));
    kern::draw_triangle(pixels(0, 0, 10, 0, 0, 10, 0));
    EXPECT_EQ(count(4), 0);
    EXPECT_EQ(count(0), 66);
}

TEST_F(Raster, HalfTrianglesUpsideDownDrawNothing)
{
    kern::draw_bottom_flat_triangle({0, 10 * PX, 0}, {0, 5 * PX, 0}, {9 * PX, 5 * PX, 0}, INK);
    kern::draw_top_flat_triangle({0, 10 * PX, 0}, {9 * PX, 10 * PX, 0}, {0, 5 * PX, 0}, INK);
    EXPECT_TRUE(untouched());
}

TEST_F(Raster, HalfTrianglesWalkTheirRowsAsGiven)
{
    // Apex (4, 0); bottom corners (0, 4) and (8, 4): slopes -1 and +1 px a row.
    kern::draw_bottom_flat_triangle({4 * PX, 0, 0}, {0, 4 * PX, 0}, {8 * PX, 4 * PX, 0}, INK);
    for (int r = 0; r <= 4; r++)
        EXPECT_TRUE(row_is(r, 4 - r, 4 + r));
    fill_paper();
    // Top (0, 10)-(8, 10), apex (4, 14), walked upwards from the apex.
    kern::draw_top_flat_triangle({0, 10 * PX, 0}, {8 * PX, 10 * PX, 0}, {4 * PX, 14 * PX, 0}, INK);
    for (int r = 10; r <= 14; r++)
        EXPECT_TRUE(row_is(r, r - 10, 18 - r));
    EXPECT_EQ(count(INK), 25);
}
