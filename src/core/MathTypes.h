// The vector and matrix records shared by the CPU code and the GPU-visible layouts.
#pragma once

struct Vec2 {
    float x, y;
};

struct Vec3 {
    float x, y, z;
};

struct Vec4 {
    float x, y, z, w;
};

// Element (row, column) at index 4 * row + column; used with row vectors, translation in elements 12 to 14.
struct Mat4 {
    float m[16];
};

static_assert(sizeof(Vec2) == 8 && sizeof(Vec3) == 12 && sizeof(Vec4) == 16 && sizeof(Mat4) == 64);
