// GPU-visible records, declared once for both the C++ code and the HLSL shaders that include this file.
// Structured-buffer elements are tightly packed; C++ checks every size and offset with static_assert.
#ifndef SHARED_HLSLI
#define SHARED_HLSLI

#ifdef __cplusplus
#include "core/MathTypes.h"
#include <cstddef>
#include <cstdint>
namespace gpu {
using float2 = Vec2;
using float3 = Vec3;
using float4 = Vec4;
using float4x4 = Mat4;
using uint = uint32_t;
#endif

// One element of "Vertices".
struct Vertex {
    float4 tangent;  // glTF TANGENT (xyz, handedness w); 0 when absent
    float3 position; // mesh space
    float3 normal;   // 0 when absent
    float2 texcoord; // TEXCOORD_0; 0 when absent
};

// One element of "Meshlets".
struct Meshlet {
    uint vertexOffset;   // first entry in "MeshletVertices"
    uint triangleOffset; // first corner entry in "MeshletTriangles" (three per triangle)
    uint vertexCount;    // at most 64
    uint triangleCount;  // at most 124
    uint meshIndex;      // the node's record in "Meshes"
    uint materialIndex;  // index in "Materials"
    uint cone;           // axis x, y, z and cutoff as signed bytes, from the most significant byte down
    float3 center;       // bounding sphere, mesh space
    float radius;
};

#ifdef __cplusplus
} // namespace gpu

using gpu::Meshlet;
using gpu::Vertex;

static_assert(sizeof(Vertex) == 48);
static_assert(offsetof(Vertex, tangent) == 0 && offsetof(Vertex, position) == 16);
static_assert(offsetof(Vertex, normal) == 28 && offsetof(Vertex, texcoord) == 40);

static_assert(sizeof(Meshlet) == 44);
static_assert(offsetof(Meshlet, vertexOffset) == 0 && offsetof(Meshlet, triangleOffset) == 4);
static_assert(offsetof(Meshlet, vertexCount) == 8 && offsetof(Meshlet, triangleCount) == 12);
static_assert(offsetof(Meshlet, meshIndex) == 16 && offsetof(Meshlet, materialIndex) == 20);
static_assert(offsetof(Meshlet, cone) == 24 && offsetof(Meshlet, center) == 28 && offsetof(Meshlet, radius) == 40);
#endif

#endif // SHARED_HLSLI
