// Triangle meshes as the generator builds them, and the shape builders that append to them.
#pragma once

#include "Math.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

struct MeshVertex {
    float3 position;
    float3 normal;
    float2 texcoord;
    float4 tangent; // xyz along +u, w the handedness of the bitangent (+v)
};

// One glTF primitive: a triangle list with one material.
struct Primitive {
    uint32_t material = 0;
    std::vector<MeshVertex> vertices;
    std::vector<uint32_t> indices; // counter-clockwise seen from the side the normals point to
};

struct MeshData {
    std::string name;
    std::vector<Primitive> primitives;
    bool surfaceAttributes = true; // TEXCOORD_0 and TANGENT; shadow-only proxies carry positions and normals
    bool wideIndices = false;      // 32-bit indices even where 16 bits would do
};

// A profile point of a surface of revolution: distance from the y axis and height.
struct ProfilePoint {
    float radius;
    float height;
};

// Shapes append to a primitive in the coordinates given by `place`. Texture coordinates are in world-sized
// units times `uvScale`, so that textures keep their size across shapes.

// A flat rectangle from `origin` along `edgeU` and `edgeV`, facing cross(edgeU, edgeV), split nu x nv times.
void addRectangle(Primitive& primitive, const Transform& place, float3 origin, float3 edgeU, float3 edgeV,
                  int nu, int nv, float uvScale);

// An axis-aligned box between `low` and `high` (in the shape's own coordinates), faces split `split` times.
void addBox(Primitive& primitive, const Transform& place, float3 low, float3 high, float uvScale,
            int split = 1);

struct LatheOptions {
    float arcDegrees = 360.0f; // a closed ring for 360
    float arcStartDegrees = 0.0f;
    bool profileAlongU = false; // texture u along the profile and v around the axis, instead of the reverse
};

// A smooth surface of revolution about the y axis. Walking the profile, the surface faces to the right of the
// walking direction (outward while the profile goes up, inward while it comes down).
void addLathe(Primitive& primitive, const Transform& place, const std::vector<ProfilePoint>& profile,
              int segments, float uvScale, const LatheOptions& options = {});

// A capped cylinder about the y axis from height y0 to y1.
void addCylinder(Primitive& primitive, const Transform& place, float radius, float y0, float y1, int segments,
                 float uvScale);

// A ring of circular cross-section about the y axis.
void addTorus(Primitive& primitive, const Transform& place, float majorRadius, float minorRadius,
              int majorSegments, int minorSegments, float uvScale, const LatheOptions& options = {});

// A closed profile walked counter-clockwise: a circle of `radius` around (centerRadius, centerHeight).
std::vector<ProfilePoint> circleProfile(float centerRadius, float centerHeight, float radius, int steps);

// Fills every vertex's tangent from the texture coordinates (per-vertex average of the triangles' tangents,
// made perpendicular to the normal), with a fallback axis where the coordinates give none.
void computeTangents(Primitive& primitive);

size_t triangleCount(const MeshData& mesh);

} // namespace sample
