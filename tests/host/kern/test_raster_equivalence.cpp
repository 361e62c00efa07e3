// The fast fills against the plain per-pixel rule: random triangles of every
// kind (small, screen-sized, large, degenerate, off screen, anywhere in the
// Fixed range), the two half-triangle routines with edges that wrap, the 2D
// fills, and whole meshes through the pipeline against the stages applied
// triangle by triangle; each drawn by the kernel into the back buffer and by
// the reference into a frame of its own, after which the two must agree on
// all 64000 bytes.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <random>
#include <vector>

#include "lib/raster_reference.h"
#include "kern/math.h"
#include "kern/video/pipeline.h"
#include "kern/video/raster.h"
#include "kern/video/fill.h"
#include "kern/video/video.h"

using kern::Fixed;
using kern::Triangle;
using kern::Vec3;

namespace {

const int64_t PX = 4096;
const int W = kern::SCREEN_WIDTH;
const int H = kern::SCREEN_HEIGHT;
// Corners of "large" triangles lie up to this many pixels beyond the screen.
const int FAR = 4096;

uint8_t reference[kern::SCREEN_BYTES];

struct Random {
    std::mt19937 gen;
    explicit Random(uint32_t seed) : gen(seed) {}
    int64_t between(int64_t lo, int64_t hi)   // inclusive
    {
        return std::uniform_int_distribution<int64_t>(lo, hi)(gen);
    }
    // A coordinate in pixels lo..hi with a random fraction.
    Fixed at(int64_t lo, int64_t hi) { return static_cast<Fixed>(between(lo * PX, hi * PX + PX - 1)); }
    Fixed any() { return static_cast<Fixed>(between(INT32_MIN, INT32_MAX)); }
    uint8_t colour() { return static_cast<uint8_t>(between(0, 255)); }
};

::testing::AssertionResult same_frames()
{
    const uint8_t* fast = kern::back_buffer();
    if (memcmp(fast, reference, kern::SCREEN_BYTES) == 0)
        return ::testing::AssertionSuccess();
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        if (fast[i] != reference[i])
            return ::testing::AssertionFailure()
                   << "pixel (" << i % W << ", " << i / W << "): kernel " << int(fast[i]) << ", per-pixel rule "
                   << int(reference[i]);
    return ::testing::AssertionSuccess();
}

std::string describe(const Triangle& t)
{
    std::string s;
    for (const Vec3& c : t.corners)
        s += "(" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") ";
    return s + "colour " + std::to_string(t.colour);
}

Triangle triangle(Vec3 a, Vec3 b, Vec3 c, uint8_t colour) { return Triangle{{a, b, c}, colour}; }

Vec3 corner(Fixed x, Fixed y, Random& r) { return Vec3{x, y, static_cast<Fixed>(r.between(-PX, PX))}; }

// Both frames start from the same noise, so a missed or stray byte shows.
class Equivalence : public ::testing::Test {
protected:
    void SetUp() override
    {
        Random noise(99);
        for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
            reference[i] = noise.colour();
        memcpy(kern::back_buffer(), reference, kern::SCREEN_BYTES);
    }

    // Draws `count` triangles made by `make` both ways, comparing after each.
    template <typename Make>
    void run(uint32_t seed, int count, Make make)
    {
        Random r(seed);
        for (int i = 0; i < count; i++) {
            Triangle t = make(r);
            kern::draw_triangle(t);
            raster_reference::triangle(reference, t);
            ASSERT_TRUE(same_frames()) << "triangle " << i << ": " << describe(t);
        }
    }
};

Triangle small_triangle(Random& r)
{
    Fixed x = r.at(-20, W + 20), y = r.at(-20, H + 20);
    auto near = [&](Fixed v) { return kern::fixed_add(v, static_cast<Fixed>(r.between(-24 * PX, 24 * PX))); };
    return triangle(corner(x, y, r), corner(near(x), near(y), r), corner(near(x), near(y), r), r.colour());
}

Triangle screen_sized_triangle(Random& r)
{
    auto c = [&]() { return corner(r.at(-40, W + 40), r.at(-40, H + 40), r); };
    return triangle(c(), c(), c(), r.colour());
}

TEST_F(Equivalence, SmallTrianglesOnAndAroundTheScreen) { run(1, 40000, small_triangle); }

TEST_F(Equivalence, ScreenSizedTriangles) { run(2, 25000, screen_sized_triangle); }

// The row loops that mark each row's span, as the frame loop draws (once
// the record's spans are in use), against the same rule.
class MarkedEquivalence : public Equivalence {
protected:
    void SetUp() override
    {
        kern::ClearDrawnRows(0, kern::SCREEN_HEIGHT - 1);
        Equivalence::SetUp();
    }
};

TEST_F(MarkedEquivalence, SmallAndScreenSizedTriangles)
{
    run(21, 40000, small_triangle);
    run(22, 25000, screen_sized_triangle);
}

TEST_F(Equivalence, LargeTrianglesWithCornersFarOffScreen)
{
    run(3, 15000, [](Random& r) {
        auto c = [&]() { return corner(r.at(-FAR, W + FAR), r.at(-FAR, H + FAR), r); };
        return triangle(c(), c(), c(), r.colour());
    });
}

// Coinciding corners, collinear ones, corners in one row or one column
// after snapping, and slivers one pixel wide.
TEST_F(Equivalence, DegenerateTriangles)
{
    run(4, 10000, [](Random& r) {
        Fixed x = r.at(-30, W + 30), y = r.at(-30, H + 30);
        Fixed dx = static_cast<Fixed>(r.between(-300 * PX, 300 * PX));
        Fixed dy = static_cast<Fixed>(r.between(-300 * PX, 300 * PX));
        Fixed fraction = static_cast<Fixed>(r.between(0, PX - 1));
        Vec3 a = corner(x, y, r), b = corner(x + dx, y + dy, r);
        switch (r.between(0, 5)) {
        case 0: return triangle(a, a, b, r.colour());
        case 1: return triangle(a, b, a, r.colour());
        case 2: return triangle(a, corner(x + dx / 2, y + dy / 2, r), b, r.colour());   // collinear
        case 3: return triangle(a, corner(x + dx, (y & ~(PX - 1)) + fraction, r), corner(x - dx, y, r), r.colour());
        case 4: return triangle(a, corner((x & ~(PX - 1)) + fraction, y + dy, r), corner(x, y - dy, r), r.colour());
        default: return triangle(a, corner(x + PX, y + dy, r), corner(x, y + dy, r), r.colour());   // a sliver
        }
    });
}

TEST_F(Equivalence, TrianglesOffScreenOrCrossingItsEdges)
{
    run(5, 10000, [](Random& r) {
        // A box beside, above or below the screen, sometimes reaching into it.
        int64_t x0 = -2000, x1 = W + 2000, y0 = -2000, y1 = H + 2000;
        int64_t reach = r.between(0, 1) ? 0 : 40;
        switch (r.between(0, 3)) {
        case 0: x1 = reach - 1; break;
        case 1: x0 = W - reach; break;
        case 2: y1 = reach - 1; break;
        default: y0 = H - reach; break;
        }
        auto c = [&]() { return corner(r.at(x0, x1), r.at(y0, y1), r); };
        return triangle(c(), c(), c(), r.colour());
    });
}

// Corners anywhere in the Fixed range: edges that wrap as 32-bit sums and
// hundreds of thousands of rows to pass over.
TEST_F(Equivalence, TrianglesAnywhereInTheFixedRange)
{
    run(6, 200, [](Random& r) {
        auto c = [&]() { return corner(r.any(), r.any(), r); };
        return triangle(c(), c(), c(), r.colour());
    });
}

// Corners on screen from side to side but anywhere from top to bottom: rows
// so far apart that their difference wraps as a 32-bit sum.
TEST_F(Equivalence, OnScreenColumnsWithRowsAnywhere)
{
    run(11, 300, [](Random& r) {
        auto c = [&]() { return corner(r.at(0, W - 1), r.any(), r); };
        return triangle(c(), c(), c(), r.colour());
    });
}

// Corners on a coarse grid of on-screen columns and of rows around the
// screen: flat tops and bottoms, corners in one column, middle corners on
// the long edge (both orientations tie), the first and last columns, and
// rows above and below the screen to pass over.
TEST_F(Equivalence, OnScreenColumnsOnAGridOfSharedRowsAndColumns)
{
    const int columns = 8, rows = 10;
    run(12, 30000, [&](Random& r) {
        auto fraction = [&]() { return static_cast<Fixed>(r.between(0, 1) * r.between(0, PX - 1)); };
        auto column = [&]() {
            if (r.between(0, 3) == 0)
                return static_cast<Fixed>(r.between(0, 1) ? 0 : W * PX - 1);   // the first and the last on screen
            return static_cast<Fixed>(r.between(0, columns) * (W - 1) / columns * PX) + fraction();
        };
        auto row = [&]() { return static_cast<Fixed>(r.between(-2, rows + 2) * H / rows * PX) + fraction(); };
        auto c = [&]() {
            Fixed x = column();
            return corner(x, row(), r);
        };
        return triangle(c(), c(), c(), r.colour());
    });
}

// The half-triangle routines on their own, with rows near the screen and x
// anywhere, so that the edge sums wrap while rows are passed over. Some rows
// are fractional or of zero height (outside what draw_triangle hands them).
TEST_F(Equivalence, HalfTrianglesWithWrappingEdges)
{
    Random r(7);
    for (int i = 0; i < 40000; i++) {
        bool whole = r.between(0, 9) != 0;
        auto row = [&]() { return whole ? static_cast<Fixed>(r.between(-FAR, H + FAR) * PX) : r.at(-FAR, H + FAR); };
        Fixed apex = row(), base = r.between(0, 19) ? row() : apex;
        Vec3 p0, p1, p2;
        uint8_t colour = r.colour();
        if (i % 2 == 0) {
            p0 = Vec3{r.any(), apex, 0}, p1 = Vec3{r.any(), base, 0}, p2 = Vec3{r.any(), base, 0};
            kern::draw_bottom_flat_triangle(p0, p1, p2, colour);
            raster_reference::bottom_flat(reference, p0, p1, p2, colour);
        } else {
            p0 = Vec3{r.any(), base, 0}, p1 = Vec3{r.any(), base, 0}, p2 = Vec3{r.any(), apex, 0};
            kern::draw_top_flat_triangle(p0, p1, p2, colour);
            raster_reference::top_flat(reference, p0, p1, p2, colour);
        }
        ASSERT_TRUE(same_frames()) << (i % 2 ? "top" : "bottom") << " flat " << i << ": " << p0.x << "," << p0.y
                                   << " " << p1.x << "," << p1.y << " " << p2.x << "," << p2.y;
    }
}

TEST_F(Equivalence, HorizontalLinesAnywhere)
{
    Random r(8);
    for (int i = 0; i < 20000; i++) {
        bool wide = r.between(0, 3) == 0;
        int x0 = static_cast<int>(wide ? r.any() : r.between(-400, W + 400));
        int x1 = static_cast<int>(wide ? r.any() : r.between(-400, W + 400));
        int y = static_cast<int>(r.between(-3, H + 2));
        uint8_t colour = r.colour();
        kern::horizontal_line(x0, x1, y, colour);
        raster_reference::line(reference, x0, x1, y, colour);
        ASSERT_TRUE(same_frames()) << "line " << x0 << ".." << x1 << " row " << y;
    }
}

TEST_F(Equivalence, RectanglesAnywhere)
{
    Random r(9);
    for (int i = 0; i < 2000; i++) {
        bool huge = r.between(0, 4) == 0;
        auto place = [&](int size) { return static_cast<int>(huge ? r.any() : r.between(-size, 2 * size)); };
        auto extent = [&](int size) { return static_cast<int>(huge ? r.any() : r.between(-5, size + 40)); };
        int x = place(W), y = place(H), width = extent(W), height = extent(H);
        uint8_t colour = r.colour();
        kern::PutRect(x, y, width, height, colour);
        raster_reference::rect(reference, x, y, width, height, colour);
        ASSERT_TRUE(same_frames()) << "rect " << x << "," << y << " " << width << "x" << height;
    }
}

// The pipeline as plain steps for each triangle on its own: every corner
// through the stages that are on, the projection's scale as the 64-bit
// fixed divide, the reject, the cull, then the per-pixel rasteriser.
struct Stages {
    int cull, model, view, projection;
    Vec3 offset, position;
    int32_t pitch, yaw, roll;
};

bool off_screen(const Vec3& c)
{
    return static_cast<uint32_t>(c.x) > 320u * PX - 1 && static_cast<uint32_t>(c.y) > 200u * PX - 1;
}

int32_t wrapping_product(int32_t a, int32_t b)
{
    return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

void reference_pipeline(const Triangle* triangles, int count, const Stages& s)
{
    const kern::Mat3 turn = kern::CreateCameraRotationMatrix(s.pitch, s.yaw, s.roll);
    for (int i = 0; i < count; i++) {
        Triangle t = triangles[i];
        Vec3* c = t.corners;
        for (int k = 0; k < 3; k++) {
            if (s.model)
                c[k] = kern::Vec3Vec3Add(c[k], s.offset);
            if (s.view)
                c[k] = kern::Vec3Mat3Mul(kern::Vec3Vec3Sub(c[k], s.position), turn);
        }
        if (s.projection) {
            if (c[0].z <= 0 && c[1].z <= 0 && c[2].z <= 0)
                continue;
            for (int k = 0; k < 3; k++) {
                Fixed scale = PX;
                if (c[k].z <= 0x7FFFF)
                    c[k].z = 0x80000;
                else
                    scale = kern::fixed_div(0x80000, c[k].z);
                c[k].x = kern::fixed_add(kern::fixed_mul(c[k].x, scale), 160 * kern::FIXED_ONE);
                c[k].y = kern::fixed_add(kern::fixed_mul(c[k].y, scale), 100 * kern::FIXED_ONE);
            }
        }
        if (off_screen(c[0]) && off_screen(c[1]) && off_screen(c[2]))
            continue;
        int32_t x[3], y[3];
        for (int k = 0; k < 3; k++) {
            x[k] = c[k].x / static_cast<Fixed>(PX);
            y[k] = c[k].y / static_cast<Fixed>(PX);
        }
        if (s.cull && wrapping_product(x[1] - x[0], y[2] - y[0]) < wrapping_product(y[1] - y[0], x[2] - x[0]))
            continue;
        raster_reference::triangle(reference, t);
    }
}

// Meshes whose triangles share corners from a pool larger than the
// pipeline's store of transformed corners, the camera, offset and switches
// changed between calls (so nothing transformed for one call may serve the
// next), each call's frame compared with the plain steps'.
TEST_F(Equivalence, MeshesThroughThePipelineMatchTheStagesTriangleByTriangle)
{
    Random r(10);
    const int POOL = 48, MOST = 200;
    std::vector<Vec3> pool(POOL);
    std::vector<Triangle> mesh(MOST);
    for (int call = 0; call < 400; call++) {
        auto coordinate = [&]() { return static_cast<Fixed>(r.between(-3000 * PX, 3000 * PX)); };
        for (int k = 0; k < POOL; k++) {
            // Half the corners differ from an earlier one in one coordinate only.
            pool[k] = Vec3{coordinate(), coordinate(), coordinate()};
            if (k > 0 && r.between(0, 1)) {
                Vec3 twin = pool[r.between(0, k - 1)];
                Fixed* axis[3] = {&twin.x, &twin.y, &twin.z};
                *axis[r.between(0, 2)] = coordinate();
                pool[k] = twin;
            }
        }
        int count = static_cast<int>(r.between(1, MOST));
        for (int i = 0; i < count; i++)
            mesh[i] = Triangle{{pool[r.between(0, POOL - 1)], pool[r.between(0, POOL - 1)], pool[r.between(0, POOL - 1)]},
                               r.colour()};
        auto on = [&]() { return r.between(0, 7) != 0 ? 1 : 0; };
        auto near = [&]() { return static_cast<Fixed>(r.between(-6000 * PX, 6000 * PX)); };
        auto angle = [&]() { return static_cast<int32_t>(r.between(-9000, 9000)); };
        Stages s = {on(), on(), on(), on(), {near(), near(), near()}, {near(), near(), near()}, angle(), angle(), angle()};
        kern::cull_back(s.cull);
        kern::model_transform(s.model);
        kern::view_transform(s.view);
        kern::projection_transform(s.projection);
        kern::set_model_offset(s.offset.x, s.offset.y, s.offset.z);
        kern::set_camera_position(s.position.x, s.position.y, s.position.z);
        kern::set_camera_rotation(s.pitch, s.yaw, s.roll);
        kern::draw_buffer(mesh.data(), count);
        reference_pipeline(mesh.data(), count, s);
        ASSERT_TRUE(same_frames()) << "call " << call;
        // The same mesh again from a moved camera.
        s.position.x = kern::fixed_add(s.position.x, PX * 100);
        s.yaw += 64;
        kern::set_camera_position(s.position.x, s.position.y, s.position.z);
        kern::set_camera_rotation(s.pitch, s.yaw, s.roll);
        kern::draw_buffer(mesh.data(), count);
        reference_pipeline(mesh.data(), count, s);
        ASSERT_TRUE(same_frames()) << "call " << call << ", camera moved";
    }
}

// Every start alignment and every length up to well past the length where
// the string store takes over, with the bytes on either side left alone.
TEST(FillRun, SetsExactlyTheRunAtEveryAlignmentAndLength)
{
    const uint32_t longest = 1300, guard = 8;
    uint8_t* base = kern::back_buffer();
    for (uint32_t offset = 0; offset < 8; offset++) {
        for (uint32_t n = 0; n <= longest; n++) {
            memset(base, 0x5A, longest + 2 * guard + 8);
            uint8_t colour = static_cast<uint8_t>(n * 7 + offset);
            kern::fill_run(base + guard + offset, n, colour);
            for (uint32_t i = 0; i < longest + 2 * guard + 8; i++) {
                bool inside = i >= guard + offset && i < guard + offset + n;
                ASSERT_EQ(base[i], inside ? colour : 0x5A) << "offset " << offset << " length " << n << " byte " << i;
            }
        }
    }
}

TEST(FillRun, FillsTheWholeBackBufferInOneRun)
{
    memset(kern::back_buffer(), 0, kern::SCREEN_BYTES);
    kern::fill_run(kern::back_buffer(), kern::SCREEN_BYTES, 0xC3);
    for (uint32_t i = 0; i < kern::SCREEN_BYTES; i++)
        ASSERT_EQ(kern::back_buffer()[i], 0xC3) << i;
}

} // namespace
