// Fixed-point scalars, vectors, matrices, camera and projection matrices.
//
// Angles are 32-bit integers, 8192 steps to a full turn; only the low 13
// bits are used. Matrices are row-major and multiply column vectors.
// Vectors are built with braces: Vec3{x, y, z}.
#pragma once
#include <stdint.h>
#include "kern/fixed.h"

namespace kern {

const int32_t ANGLE_MASK = 0x1FFF;
const int32_t QUARTER_TURN = 2048;

// 4096 * sin(2*pi*i/8192) truncated toward zero, i = 0..8192 (generated).
extern const int16_t fixed16_20_12_sin_table[8193];

struct Vec2 {
    Fixed x, y;
};

struct Vec3 {
    Fixed x, y, z;
};

struct Mat3 {
    Fixed m[9];   // element (i, j) at 3*i + j
};

struct Mat4 {
    Fixed m[16];  // element (i, j) at 4*i + j
};

Fixed sin(int32_t angle);
Fixed tan(int32_t angle);             // 0 where the cosine entry is 0
int64_t int_sqrt(int64_t n);          // n >> 1 for negative n
Fixed FixedSquareRoot(Fixed a);

Vec2 Vec2Vec2Add(const Vec2& a, const Vec2& b);
Vec2 Vec2Vec2Sub(const Vec2& a, const Vec2& b);
Vec2 Vec2Vec2Mul(const Vec2& a, const Vec2& b);
Vec2 Vec2Vec2Div(const Vec2& a, const Vec2& b);

Vec3 Vec3Vec3Add(const Vec3& a, const Vec3& b);
Vec3 Vec3Vec3Sub(const Vec3& a, const Vec3& b);
Vec3 Vec3Vec3Mul(const Vec3& a, const Vec3& b);
Vec3 Vec3Vec3Div(const Vec3& a, const Vec3& b);
Vec3 Vec3ScaMul(const Vec3& v, Fixed s);
Fixed Vec3Vec3Dot(const Vec3& a, const Vec3& b);
Fixed Vec3Magnitude(const Vec3& v);
Vec3 Vec3Normalized(const Vec3& v);
Vec3 Vec3Mat3Mul(const Vec3& v, const Mat3& m);
Vec3 Vec3Mat4Mul(const Vec3& v, const Mat4& m);
Mat3 Mat3Mat3Mul(Mat3 a, Mat3 b);

Mat3 CreateCameraRotationMatrix(int32_t pitch, int32_t yaw, int32_t roll);
Mat4 LookAt(Vec3 eye, Vec3 target, Vec3 up);
// Any element whose divisor is 0 comes out 0; nothing faults.
Mat4 Perspective(int32_t fov, Fixed near, Fixed far, int32_t width, int32_t height);

} // namespace kern
