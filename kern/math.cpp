// Fixed-point scalars, vectors, matrices, camera and projection matrices.
//
// Integer arithmetic only: every product is fixed_mul, every quotient of two
// Fixed values fixed_div, every sum wraps. A zero divisor anywhere in this
// module gives a quotient of 0, never a divide fault.
#include "kern/math.h"

namespace kern {

// ---- scalars -------------------------------------------------------------

static Fixed sin_entry(uint32_t angle)
{
    return fixed16_20_12_sin_table[angle & ANGLE_MASK];
}

// The angle is taken unsigned so that adding the quarter turn wraps.
static Fixed cos_entry(int32_t angle)
{
    return sin_entry(static_cast<uint32_t>(angle) + QUARTER_TURN);
}

// A signed 64-bit quotient truncating toward zero; 0 for a zero divisor.
// Callers never pass INT64_MIN over -1.
static int64_t quotient(int64_t n, int64_t d)
{
    return d == 0 ? 0 : n / d;
}

Fixed sin(int32_t angle) { return sin_entry(static_cast<uint32_t>(angle)); }

// 0 where the cosine entry is 0 (a quarter and three quarters of a turn).
Fixed tan(int32_t angle) { return fixed_div(sin(angle), cos_entry(angle)); }

// Newton-Heron from n / 2. For n < 0 the first step never goes below the
// start, so the start n >> 1 is returned; x is never 0 inside the loop.
int64_t int_sqrt(int64_t n)
{
    int64_t x = n >> 1;
    if (x == 0)
        return n;
    int64_t y = (x + n / x) >> 1;
    while (y < x) {
        x = y;
        y = (x + n / x) >> 1;
    }
    return x;
}

Fixed FixedSquareRoot(Fixed a)
{
    return low32(int_sqrt(static_cast<int64_t>(a) * FIXED_ONE));
}

// ---- vectors -------------------------------------------------------------

Vec2 Vec2Vec2Add(const Vec2& a, const Vec2& b)
{
    return Vec2{fixed_add(a.x, b.x), fixed_add(a.y, b.y)};
}

Vec2 Vec2Vec2Sub(const Vec2& a, const Vec2& b)
{
    return Vec2{fixed_sub(a.x, b.x), fixed_sub(a.y, b.y)};
}

Vec2 Vec2Vec2Mul(const Vec2& a, const Vec2& b)
{
    return Vec2{fixed_mul(a.x, b.x), fixed_mul(a.y, b.y)};
}

Vec2 Vec2Vec2Div(const Vec2& a, const Vec2& b)
{
    return Vec2{fixed_div(a.x, b.x), fixed_div(a.y, b.y)};
}

Vec3 Vec3Vec3Add(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_add(a.x, b.x), fixed_add(a.y, b.y), fixed_add(a.z, b.z)};
}

Vec3 Vec3Vec3Sub(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_sub(a.x, b.x), fixed_sub(a.y, b.y), fixed_sub(a.z, b.z)};
}

Vec3 Vec3Vec3Mul(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_mul(a.x, b.x), fixed_mul(a.y, b.y), fixed_mul(a.z, b.z)};
}

Vec3 Vec3Vec3Div(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_div(a.x, b.x), fixed_div(a.y, b.y), fixed_div(a.z, b.z)};
}

Vec3 Vec3ScaMul(const Vec3& v, Fixed s)
{
    return Vec3{fixed_mul(v.x, s), fixed_mul(v.y, s), fixed_mul(v.z, s)};
}

// Three separately truncated products, summed with wrapping.
static Fixed dot3(Fixed ax, Fixed ay, Fixed az, Fixed bx, Fixed by, Fixed bz)
{
    return fixed_add(fixed_add(fixed_mul(ax, bx), fixed_mul(ay, by)), fixed_mul(az, bz));
}

Fixed Vec3Vec3Dot(const Vec3& a, const Vec3& b)
{
    return dot3(a.x, a.y, a.z, b.x, b.y, b.z);
}

// Exact while the squared length stays below 524288.0; beyond, the sum wraps.
Fixed Vec3Magnitude(const Vec3& v) { return FixedSquareRoot(Vec3Vec3Dot(v, v)); }

static Vec3 divided_or_zero(const Vec3& v, Fixed length)
{
    if (length == 0)
        return Vec3{0, 0, 0};
    return Vec3{fixed_div(v.x, length), fixed_div(v.y, length), fixed_div(v.z, length)};
}

Vec3 Vec3Normalized(const Vec3& v) { return divided_or_zero(v, Vec3Magnitude(v)); }

Vec3 Vec3Mat3Mul(const Vec3& v, const Mat3& m)
{
    const Fixed* r = m.m;
    return Vec3{dot3(v.x, v.y, v.z, r[0], r[1], r[2]),
                dot3(v.x, v.y, v.z, r[3], r[4], r[5]),
                dot3(v.x, v.y, v.z, r[6], r[7], r[8])};
}

// Row 3 is never read: no fourth coordinate is formed.
Vec3 Vec3Mat4Mul(const Vec3& v, const Mat4& m)
{
    const Fixed* r = m.m;
    return Vec3{fixed_add(dot3(v.x, v.y, v.z, r[0], r[1], r[2]), r[3]),
                fixed_add(dot3(v.x, v.y, v.z, r[4], r[5], r[6]), r[7]),
                fixed_add(dot3(v.x, v.y, v.z, r[8], r[9], r[10]), r[11])};
}

Mat3 Mat3Mat3Mul(Mat3 a, Mat3 b)
{
    Mat3 c;
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            c.m[3 * i + j] = dot3(a.m[3 * i], a.m[3 * i + 1], a.m[3 * i + 2],
                                  b.m[j], b.m[3 + j], b.m[6 + j]);
        }
    }
    return c;
}

// ---- camera and projection -----------------------------------------------

// Turns by roll, then yaw, then pitch; formed as X * (Y * Z), whose
// truncated products the renderer's frames depend on to the last bit.
Mat3 CreateCameraRotationMatrix(int32_t pitch, int32_t yaw, int32_t roll)
{
    const Fixed sp = sin(pitch), cp = cos_entry(pitch);
    const Fixed sy = sin(yaw), cy = cos_entry(yaw);
    const Fixed sr = sin(roll), cr = cos_entry(roll);
    const Mat3 x = {{FIXED_ONE, 0, 0, 0, cp, sp, 0, fixed_neg(sp), cp}};
    const Mat3 y = {{cy, 0, fixed_neg(sy), 0, FIXED_ONE, 0, sy, 0, cy}};
    // Without roll Z is the identity, and a product with 1.0 or 0 is exact:
    // Y * Z is Y, and of each of X * Y's sums one product is left. The
    // camera is built every frame and rarely rolls; 54 products become 4.
    if (sr == 0 && cr == FIXED_ONE)
        return Mat3{{cy, 0, fixed_neg(sy),
                     fixed_mul(sp, sy), cp, fixed_mul(sp, cy),
                     fixed_mul(cp, sy), fixed_neg(sp), fixed_mul(cp, cy)}};
    const Mat3 z = {{cr, sr, 0, fixed_neg(sr), cr, 0, 0, 0, FIXED_ONE}};
    return Mat3Mat3Mul(x, Mat3Mat3Mul(y, z));
}

static Vec3 cross(const Vec3& a, const Vec3& b)
{
    return Vec3{fixed_sub(fixed_mul(a.y, b.z), fixed_mul(a.z, b.y)),
                fixed_sub(fixed_mul(a.z, b.x), fixed_mul(a.x, b.z)),
                fixed_sub(fixed_mul(a.x, b.y), fixed_mul(a.y, b.x))};
}

static void set_view_row(Mat4& m, int row, const Vec3& axis, const Vec3& eye)
{
    m.m[4 * row] = axis.x;
    m.m[4 * row + 1] = axis.y;
    m.m[4 * row + 2] = axis.z;
    m.m[4 * row + 3] = fixed_neg(Vec3Vec3Dot(axis, eye));
}

// Rows: right = forward x up, true up = right x forward, forward. A zero
// length (target at the eye, up along the view) gives a zero row instead.
Mat4 LookAt(Vec3 eye, Vec3 target, Vec3 up)
{
    const Vec3 d = Vec3Vec3Sub(target, eye);
    const Vec3 f = divided_or_zero(d, Vec3Magnitude(d));
    const Vec3 s = cross(f, up);
    const Vec3 r = divided_or_zero(s, Vec3Magnitude(s));
    const Vec3 u = cross(r, f);
    Mat4 m = {};
    set_view_row(m, 0, r, eye);
    set_view_row(m, 1, u, eye);
    set_view_row(m, 2, f, eye);
    m.m[15] = FIXED_ONE;
    return m;
}

// 1.0 in the 24-bit scale of a quotient whose divisor carries 12 fraction bits.
const int64_t ONE_OVER_FIXED = int64_t(1) << 24;

// Element (2, 3): 2 * far * near / (near - far). Only far = near = INT32_MIN
// would overflow the numerator, and its divisor is 0, so it is never formed.
static Fixed perspective_offset(Fixed near, Fixed far)
{
    const int64_t d = fixed_sub(near, far);
    if (d == 0)
        return 0;
    const int64_t p = static_cast<int64_t>(far) * near / FIXED_ONE;
    return low32(p * 2 * FIXED_ONE / d);
}

// The fourth coordinate of M * (x, y, z, 1) is z; dividing by it is the
// caller's business. Every zero divisor gives its element 0.
Mat4 Perspective(int32_t fov, Fixed near, Fixed far, int32_t width, int32_t height)
{
    const int32_t half = fov / 2;
    const int64_t t = quotient(static_cast<int64_t>(sin(half)) * FIXED_ONE, cos_entry(half));
    const Fixed aspect = fixed_div(width, height);
    const int64_t q = t * aspect / FIXED_ONE;
    const int64_t depth = static_cast<int64_t>(fixed_neg(near)) - far;
    Mat4 m = {};
    m.m[0] = low32(quotient(ONE_OVER_FIXED, q));
    m.m[5] = low32(quotient(ONE_OVER_FIXED, t));
    m.m[10] = low32(quotient(depth * FIXED_ONE, fixed_sub(near, far)));
    m.m[11] = perspective_offset(near, far);
    m.m[14] = FIXED_ONE;
    return m;
}

} // namespace kern
