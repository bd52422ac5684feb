// GPU-visible records, declared once for both the C++ code and the HLSL shaders that include this file.
// Structured-buffer elements are tightly packed; C++ checks every size and offset with static_assert.
// Constant blocks (FrameConstants, SceneInfo, DebugFlags, DescriptorIndices, PostSettings,
// RaytracingConstants) also follow HLSL's constant-buffer packing: no field crosses a 16-byte boundary, so
// both sides agree.
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
#else
// Mat4 stores element (row, column) at 4 x row + column; read matrices the same way, with row vectors.
#pragma pack_matrix(row_major)
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

// One element of "Meshes": one per glTF node that has a mesh.
struct Mesh {
    float4x4 transform; // world matrix; rows 0-2 the transformed axes, row 3 the translation
    float maxScale;     // largest axis length, negative for a mirroring transform
};

// One element of "Materials". A texture field is a descriptor index plus one; 0 means no texture.
struct Material {
    float4 baseColorFactor;
    uint baseColorTexture;
    uint normalTexture;
    uint reserved;
    float3 emissiveFactor;
    uint emissiveTexture;
    uint metallicRoughnessTexture;
    float roughnessFactor;
    float metallicFactor;
};

// Register b1 of the geometry and shading passes: where the six scene buffers are.
struct SceneInfo {
    uint verticesIndex;
    uint meshletVerticesIndex;
    uint meshletTrianglesIndex;
    uint meshletsIndex;
    uint meshesIndex;
    uint materialsIndex;
    uint meshletCount;
};

// Register b0 of the geometry and shading passes.
struct FrameConstants {
    float4x4 projection; // reversed depth, no far plane
    float4x4 view;
    float4x4 cullView; // the view that culling uses; frozen with the viewpoint
    float4x4 inverseViewProjection;
    float4 frustum; // side-plane culling vector in view space
    float3 viewPos; // the position that culling uses; frozen with the viewpoint
    float padding;
    float3 lightPosition;
    float lightStrength;
    float lightRadius;
    float ambientFactor;
    float nearPlane;
    float width;
    float height;
};

// Register b2 of the geometry and shading passes. Each field is 0 or 1.
struct DebugFlags {
    uint showMeshlets;
    uint disableBackfaceCulling;
};

// Register b3 of the shading pass: the srvHeap slots of the frame's targets.
struct DescriptorIndices {
    uint gBuffer0Index;     // shader-resource view
    uint gBuffer1Index;     // shader-resource view
    uint depthIndex;        // shader-resource view
    uint renderTargetIndex; // unordered-access view
    uint shadowMapIndex;    // unordered-access view
};

// The post pass's four root constants at b0.
struct PostSettings {
    float exposure;
    float brightness;
    float contrast;
    float saturation;
};

// Register b1 of the ray-tracing library. Every float3 is followed by a word so that none crosses 16 bytes.
struct RaytracingConstants {
    float3 cameraPosition;
    float fov; // degrees
    float3 cameraDirection;
    float padding0;
    float3 cameraUp;
    float padding1;
    float3 cameraRight;
    float padding2;
    float3 lightPosition;
    float padding3;
    float param0; // radius of the light's sphere that shadow rays aim at
    float param1; // reserved
    float2 padding4;
    float4x4 inverseViewProjection;
};

#ifdef __cplusplus
} // namespace gpu

using gpu::DebugFlags;
using gpu::DescriptorIndices;
using gpu::FrameConstants;
using gpu::Material;
using gpu::Mesh;
using gpu::Meshlet;
using gpu::PostSettings;
using gpu::RaytracingConstants;
using gpu::SceneInfo;
using gpu::Vertex;

static_assert(sizeof(Vertex) == 48);
static_assert(offsetof(Vertex, tangent) == 0 && offsetof(Vertex, position) == 16);
static_assert(offsetof(Vertex, normal) == 28 && offsetof(Vertex, texcoord) == 40);

static_assert(sizeof(Meshlet) == 44);
static_assert(offsetof(Meshlet, vertexOffset) == 0 && offsetof(Meshlet, triangleOffset) == 4);
static_assert(offsetof(Meshlet, vertexCount) == 8 && offsetof(Meshlet, triangleCount) == 12);
static_assert(offsetof(Meshlet, meshIndex) == 16 && offsetof(Meshlet, materialIndex) == 20);
static_assert(offsetof(Meshlet, cone) == 24 && offsetof(Meshlet, center) == 28 &&
              offsetof(Meshlet, radius) == 40);

static_assert(sizeof(Mesh) == 68);
static_assert(offsetof(Mesh, transform) == 0 && offsetof(Mesh, maxScale) == 64);

static_assert(sizeof(Material) == 56);
static_assert(offsetof(Material, baseColorFactor) == 0 && offsetof(Material, baseColorTexture) == 16);
static_assert(offsetof(Material, normalTexture) == 20 && offsetof(Material, reserved) == 24);
static_assert(offsetof(Material, emissiveFactor) == 28 && offsetof(Material, emissiveTexture) == 40);
static_assert(offsetof(Material, metallicRoughnessTexture) == 44);
static_assert(offsetof(Material, roughnessFactor) == 48 && offsetof(Material, metallicFactor) == 52);

static_assert(sizeof(SceneInfo) == 28);
static_assert(offsetof(SceneInfo, verticesIndex) == 0 && offsetof(SceneInfo, meshletVerticesIndex) == 4);
static_assert(offsetof(SceneInfo, meshletTrianglesIndex) == 8 && offsetof(SceneInfo, meshletsIndex) == 12);
static_assert(offsetof(SceneInfo, meshesIndex) == 16 && offsetof(SceneInfo, materialsIndex) == 20);
static_assert(offsetof(SceneInfo, meshletCount) == 24);

static_assert(sizeof(FrameConstants) == 324);
static_assert(offsetof(FrameConstants, projection) == 0 && offsetof(FrameConstants, view) == 64);
static_assert(offsetof(FrameConstants, cullView) == 128 &&
              offsetof(FrameConstants, inverseViewProjection) == 192);
static_assert(offsetof(FrameConstants, frustum) == 256 && offsetof(FrameConstants, viewPos) == 272);
static_assert(offsetof(FrameConstants, padding) == 284 && offsetof(FrameConstants, lightPosition) == 288);
static_assert(offsetof(FrameConstants, lightStrength) == 300 && offsetof(FrameConstants, lightRadius) == 304);
static_assert(offsetof(FrameConstants, ambientFactor) == 308 && offsetof(FrameConstants, nearPlane) == 312);
static_assert(offsetof(FrameConstants, width) == 316 && offsetof(FrameConstants, height) == 320);

static_assert(sizeof(DebugFlags) == 8);
static_assert(offsetof(DebugFlags, showMeshlets) == 0 && offsetof(DebugFlags, disableBackfaceCulling) == 4);

static_assert(sizeof(DescriptorIndices) == 20);
static_assert(offsetof(DescriptorIndices, gBuffer0Index) == 0 &&
              offsetof(DescriptorIndices, gBuffer1Index) == 4);
static_assert(offsetof(DescriptorIndices, depthIndex) == 8 &&
              offsetof(DescriptorIndices, renderTargetIndex) == 12);
static_assert(offsetof(DescriptorIndices, shadowMapIndex) == 16);

static_assert(sizeof(PostSettings) == 16);
static_assert(offsetof(PostSettings, exposure) == 0 && offsetof(PostSettings, brightness) == 4);
static_assert(offsetof(PostSettings, contrast) == 8 && offsetof(PostSettings, saturation) == 12);

static_assert(sizeof(RaytracingConstants) == 160);
static_assert(offsetof(RaytracingConstants, cameraPosition) == 0 && offsetof(RaytracingConstants, fov) == 12);
static_assert(offsetof(RaytracingConstants, cameraDirection) == 16 &&
              offsetof(RaytracingConstants, padding0) == 28);
static_assert(offsetof(RaytracingConstants, cameraUp) == 32 && offsetof(RaytracingConstants, padding1) == 44);
static_assert(offsetof(RaytracingConstants, cameraRight) == 48 &&
              offsetof(RaytracingConstants, padding2) == 60);
static_assert(offsetof(RaytracingConstants, lightPosition) == 64 &&
              offsetof(RaytracingConstants, padding3) == 76);
static_assert(offsetof(RaytracingConstants, param0) == 80 && offsetof(RaytracingConstants, param1) == 84);
static_assert(offsetof(RaytracingConstants, padding4) == 88);
static_assert(offsetof(RaytracingConstants, inverseViewProjection) == 96);
#endif

#endif // SHARED_HLSLI
