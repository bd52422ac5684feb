// Small vector and transform helpers for the sample data generator.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>

namespace sample {

constexpr float PI = 3.14159265358979f;

struct float2 {
    float x = 0, y = 0;
};

struct float3 {
    float x = 0, y = 0, z = 0;
};

struct float4 {
    float x = 0, y = 0, z = 0, w = 0;
};

inline float3 operator+(float3 a, float3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline float3 operator-(float3 a, float3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline float3 operator-(float3 a) {
    return {-a.x, -a.y, -a.z};
}
inline float3 operator*(float3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline float3 operator*(float3 a, float3 b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline float dot(float3 a, float3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline float3 cross(float3 a, float3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(float3 a) {
    return std::sqrt(dot(a, a));
}
inline float3 normalize(float3 a) {
    float l = length(a);
    return l > 0 ? a * (1.0f / l) : float3{0, 1, 0};
}
inline float lerp(float a, float b, float t) {
    return a + (b - a) * t;
}
inline float clamp01(float v) {
    return v < 0 ? 0 : (v > 1 ? 1 : v);
}
inline float smoothstep(float edge0, float edge1, float x) {
    float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3 - 2 * t);
}

// Unit quaternion (x, y, z, w) of a rotation by `degrees` about a unit axis.
inline float4 axisAngle(float3 axis, float degrees) {
    float half = degrees * PI / 360.0f;
    float s = std::sin(half);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(half)};
}

inline float4 rotationY(float degrees) {
    return axisAngle({0, 1, 0}, degrees);
}

// An affine transform applied to positions (p' = linear * p + translation) while meshes are built.
struct Transform {
    float3 axisX{1, 0, 0}; // images of the unit axes
    float3 axisY{0, 1, 0};
    float3 axisZ{0, 0, 1};
    float3 translation{};

    float3 point(float3 p) const { return axisX * p.x + axisY * p.y + axisZ * p.z + translation; }
    float3 vector(float3 v) const { return axisX * v.x + axisY * v.y + axisZ * v.z; }
    // Normals transform with the inverse transpose (the cofactor matrix over the determinant), which keeps
    // them perpendicular and outward under non-uniform scales and mirrors.
    float3 normal(float3 n) const {
        float3 cx = cross(axisY, axisZ), cy = cross(axisZ, axisX), cz = cross(axisX, axisY);
        return normalize((cx * n.x + cy * n.y + cz * n.z) * (mirrors() ? -1.0f : 1.0f));
    }
    bool mirrors() const { return dot(cross(axisX, axisY), axisZ) < 0; }
};

// The transform that applies `inner` first, then `outer`.
inline Transform operator*(const Transform& outer, const Transform& inner) {
    Transform result;
    result.axisX = outer.vector(inner.axisX);
    result.axisY = outer.vector(inner.axisY);
    result.axisZ = outer.vector(inner.axisZ);
    result.translation = outer.point(inner.translation);
    return result;
}

inline Transform scaled(float3 s) {
    Transform result;
    result.axisX = {s.x, 0, 0};
    result.axisY = {0, s.y, 0};
    result.axisZ = {0, 0, s.z};
    return result;
}

inline Transform translate(float3 t) {
    Transform result;
    result.translation = t;
    return result;
}

// Rotation about y by `degrees`, then translation.
inline Transform placeY(float3 t, float degrees) {
    float a = degrees * PI / 180.0f, c = std::cos(a), s = std::sin(a);
    Transform result;
    result.axisX = {c, 0, -s};
    result.axisZ = {s, 0, c};
    result.translation = t;
    return result;
}

// Rotation about x by `degrees`, then translation.
inline Transform placeX(float3 t, float degrees) {
    float a = degrees * PI / 180.0f, c = std::cos(a), s = std::sin(a);
    Transform result;
    result.axisY = {0, c, s};
    result.axisZ = {0, -s, c};
    result.translation = t;
    return result;
}

// Rotation about z by `degrees`, then translation.
inline Transform placeZ(float3 t, float degrees) {
    float a = degrees * PI / 180.0f, c = std::cos(a), s = std::sin(a);
    Transform result;
    result.axisX = {c, s, 0};
    result.axisY = {-s, c, 0};
    result.translation = t;
    return result;
}

// Column-major 4 x 4 matrix as glTF stores it.
inline std::array<float, 16> toColumnMajor(const Transform& t) {
    return {t.axisX.x, t.axisX.y, t.axisX.z, 0, t.axisY.x,       t.axisY.y,       t.axisY.z,       0,
            t.axisZ.x, t.axisZ.y, t.axisZ.z, 0, t.translation.x, t.translation.y, t.translation.z, 1};
}

// Deterministic pseudo-random numbers (SplitMix64), independent of the standard library's distributions.
struct Random {
    uint64_t state;
    explicit Random(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    float uniform() { return float(next() >> 40) / float(1 << 24); } // [0, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
};

} // namespace sample
