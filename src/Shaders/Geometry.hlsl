// Geometry pass. The amplification stage culls the scene's meshlets, 32 per group, against the culling view;
// the mesh stage emits each surviving meshlet; the pixel stage fills the two G-buffer targets.
// Bindings: b0 FrameConstants, b1 SceneInfo, b2 DebugFlags, the unbounded texture table t0 in space 1 (table
// entry i is srvHeap slot i), static sampler s0. The six scene buffers are reached through SceneInfo's
// descriptor indices in the directly indexed heap.
#include "Shared.hlsli"
#include "GBuffer.hlsli"

#define MESHLETS_PER_GROUP 32
#define MAX_MESHLET_VERTICES 64
#define MAX_MESHLET_TRIANGLES 124
#define MESH_GROUP_SIZE 128 // one thread per vertex and per triangle

ConstantBuffer<FrameConstants> frame : register(b0);
ConstantBuffer<SceneInfo> scene : register(b1);
ConstantBuffer<DebugFlags> debugFlags : register(b2);

Texture2D<float4> textures[] : register(t0, space1);
SamplerState textureSampler : register(s0);

// ---------------------------------------------------------------------------------------------------------
// Amplification

struct Payload {
    uint meshletIndices[MESHLETS_PER_GROUP];
};

groupshared Payload groupPayload;
groupshared uint visibleMeshletCount;

// The packed cone holds signed bytes: axis x in bits 31-24, y in 23-16, z in 15-8, cutoff in 7-0.
float4 unpackCone(uint packed) {
    int x = asint(packed) >> 24;
    int y = asint(packed << 8) >> 24;
    int z = asint(packed << 16) >> 24;
    int cutoff = asint(packed << 24) >> 24;
    return float4(x, y, z, cutoff) / 127.0;
}

// The normal-cone test runs in mesh space: the culling viewpoint is taken there with the inverse of the
// node's transform, where meshoptimizer's cone is exact. Facing is preserved by any invertible affine map, so
// mirrored and non-uniformly scaled nodes need no special case.
bool isBackFacing(Meshlet meshlet, float4x4 transform) {
    float4 cone = unpackCone(meshlet.cone);
    float3 x = transform[0].xyz, y = transform[1].xyz, z = transform[2].xyz;
    // Rows of the inverse of the 3 x 3 part, times its determinant.
    float3 inverseX = cross(y, z), inverseY = cross(z, x), inverseZ = cross(x, y);
    float determinant = dot(x, inverseX);
    if (abs(determinant) < 1e-12) {
        return false;
    }
    float3 fromOrigin = frame.viewPos - transform[3].xyz;
    float3 viewpoint =
        float3(dot(fromOrigin, inverseX), dot(fromOrigin, inverseY), dot(fromOrigin, inverseZ)) / determinant;
    float3 toCenter = meshlet.center - viewpoint;
    // Every triangle faces away when the whole bounding sphere lies behind the cone's apex side.
    return dot(toCenter, cone.xyz) >= cone.w * length(toCenter) + meshlet.radius;
}

// Sphere against the four side planes and the near plane, in the culling view's space (looking along +z).
bool isInFrustum(float3 center, float radius) {
    // The culling vector carries the left and right planes (x, z) in lanes 0 and 1; its lanes 2 and 3 repeat
    // that plane, so the top and bottom planes come from the projection's vertical scale.
    bool visible = center.z * frame.frustum.y - abs(center.x) * frame.frustum.x > -radius;
    float verticalScale = frame.projection[1][1];
    float2 vertical = float2(verticalScale, 1.0) * rsqrt(verticalScale * verticalScale + 1.0);
    visible = visible && center.z * vertical.y - abs(center.y) * vertical.x > -radius;
    return visible && center.z + radius > frame.nearPlane;
}

bool isMeshletVisible(Meshlet meshlet, Mesh mesh) {
    // cullView and viewPos stay frozen while the viewpoint is fixated: culling can be watched from outside.
    float3 worldCenter = mul(float4(meshlet.center, 1.0), mesh.transform).xyz;
    float3 viewCenter = mul(float4(worldCenter, 1.0), frame.cullView).xyz;
    float radius = meshlet.radius * abs(mesh.maxScale);
    if (!isInFrustum(viewCenter, radius)) {
        return false;
    }
    return debugFlags.disableBackfaceCulling != 0 || !isBackFacing(meshlet, mesh.transform);
}

[numthreads(MESHLETS_PER_GROUP, 1, 1)]
void AmplificationMain(uint groupThread : SV_GroupThreadID, uint meshletIndex : SV_DispatchThreadID) {
    if (groupThread == 0) {
        visibleMeshletCount = 0;
    }
    GroupMemoryBarrierWithGroupSync();

    if (meshletIndex < scene.meshletCount) {
        StructuredBuffer<Meshlet> meshlets = ResourceDescriptorHeap[scene.meshletsIndex];
        StructuredBuffer<Mesh> meshes = ResourceDescriptorHeap[scene.meshesIndex];
        Meshlet meshlet = meshlets[meshletIndex];
        if (isMeshletVisible(meshlet, meshes[meshlet.meshIndex])) {
            // Group-shared counting works for any wave size, unlike wave intrinsics over 32 lanes.
            uint slot;
            InterlockedAdd(visibleMeshletCount, 1, slot);
            groupPayload.meshletIndices[slot] = meshletIndex;
        }
    }
    GroupMemoryBarrierWithGroupSync();
    DispatchMesh(visibleMeshletCount, 1, 1, groupPayload);
}

// ---------------------------------------------------------------------------------------------------------
// Mesh

struct MeshVertex {
    float4 position : SV_Position;
    float3 normal : NORMAL;   // world space, not normalised
    float4 tangent : TANGENT; // world space xyz, bitangent sign w
    float2 texcoord : TEXCOORD0;
    nointerpolation uint meshletIndex : MESHLET_INDEX;
    nointerpolation uint materialIndex : MATERIAL_INDEX;
};

[outputtopology("triangle")]
[numthreads(MESH_GROUP_SIZE, 1, 1)]
void MeshMain(uint groupThread : SV_GroupThreadID, uint group : SV_GroupID, in payload Payload meshPayload,
              out vertices MeshVertex outVertices[MAX_MESHLET_VERTICES],
              out indices uint3 outTriangles[MAX_MESHLET_TRIANGLES]) {
    uint meshletIndex = meshPayload.meshletIndices[group];
    StructuredBuffer<Meshlet> meshlets = ResourceDescriptorHeap[scene.meshletsIndex];
    Meshlet meshlet = meshlets[meshletIndex];
    uint vertexCount = min(meshlet.vertexCount, (uint)MAX_MESHLET_VERTICES);
    uint triangleCount = min(meshlet.triangleCount, (uint)MAX_MESHLET_TRIANGLES);
    SetMeshOutputCounts(vertexCount, triangleCount);

    if (groupThread < vertexCount) {
        StructuredBuffer<Mesh> meshes = ResourceDescriptorHeap[scene.meshesIndex];
        StructuredBuffer<uint> meshletVertices = ResourceDescriptorHeap[scene.meshletVerticesIndex];
        StructuredBuffer<Vertex> sceneVertices = ResourceDescriptorHeap[scene.verticesIndex];
        Mesh mesh = meshes[meshlet.meshIndex];
        Vertex v = sceneVertices[meshletVertices[meshlet.vertexOffset + groupThread]];

        float4 world = mul(float4(v.position, 1.0), mesh.transform);
        // Normals go through the inverse transpose: the cofactors of the 3 x 3 part, signed by its
        // determinant so that they keep pointing outward through a mirror.
        float3 x = mesh.transform[0].xyz, y = mesh.transform[1].xyz, z = mesh.transform[2].xyz;
        float3 cofactorX = cross(y, z), cofactorY = cross(z, x), cofactorZ = cross(x, y);
        float handedness = dot(x, cofactorX) < 0.0 ? -1.0 : 1.0;

        MeshVertex output;
        output.position = mul(mul(world, frame.view), frame.projection);
        output.normal = (v.normal.x * cofactorX + v.normal.y * cofactorY + v.normal.z * cofactorZ) *
                        handedness;
        output.tangent = float4(mul(v.tangent.xyz, (float3x3)mesh.transform), v.tangent.w * handedness);
        output.texcoord = v.texcoord;
        output.meshletIndex = meshletIndex;
        output.materialIndex = meshlet.materialIndex;
        outVertices[groupThread] = output;
    }
    if (groupThread < triangleCount) {
        StructuredBuffer<uint> meshletTriangles = ResourceDescriptorHeap[scene.meshletTrianglesIndex];
        uint first = meshlet.triangleOffset + 3 * groupThread;
        outTriangles[groupThread] = uint3(meshletTriangles[first], meshletTriangles[first + 1],
                                          meshletTriangles[first + 2]);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Pixel

struct GBufferOutput {
    uint4 gBuffer0 : SV_Target0;
    uint2 gBuffer1 : SV_Target1;
};

// Material texture fields hold the descriptor index plus one; 0 means no texture.
float4 sampleMaterialTexture(uint field, float2 texcoord) {
    return textures[NonUniformResourceIndex(field - 1)].Sample(textureSampler, texcoord);
}

float3 normalizeOr(float3 v, float3 fallback) {
    float lengthSquared = dot(v, v);
    return lengthSquared > 0.0 ? v * rsqrt(lengthSquared) : fallback;
}

// A stable, well-spread colour per meshlet for the meshlet view.
float3 meshletColor(uint index) {
    uint hash = index * 2654435761u;
    hash ^= hash >> 16;
    hash *= 0x7FEB352Du;
    hash ^= hash >> 15;
    return float3(hash & 0xFFu, (hash >> 8) & 0xFFu, (hash >> 16) & 0xFFu) / 255.0 * 0.8 + 0.2;
}

GBufferOutput PixelMain(MeshVertex input) {
    StructuredBuffer<Material> materials = ResourceDescriptorHeap[scene.materialsIndex];
    Material material = materials[input.materialIndex];

    SurfaceSample surface;
    surface.meshletIndex = input.meshletIndex;
    surface.materialIndex = input.materialIndex;
    surface.flags = 0;

    float4 baseColor = material.baseColorFactor;
    if (material.baseColorTexture != 0) {
        baseColor *= sampleMaterialTexture(material.baseColorTexture, input.texcoord);
    }

    float3 normal = normalizeOr(input.normal, float3(0.0, 1.0, 0.0));
    if (material.normalTexture != 0 && dot(input.tangent.xyz, input.tangent.xyz) > 0.0) {
        // Two-channel normal textures store x and y; z is rebuilt, which also suits four-channel ones.
        float2 xy = sampleMaterialTexture(material.normalTexture, input.texcoord).xy * 2.0 - 1.0;
        float3 tangentNormal = float3(xy, sqrt(saturate(1.0 - dot(xy, xy))));
        float3 along = input.tangent.xyz - normal * dot(normal, input.tangent.xyz);
        float3 tangent = normalizeOr(along, float3(0.0, 0.0, 0.0));
        float3 bitangent = cross(normal, tangent) * input.tangent.w;
        float3 mapped = tangentNormal.x * tangent + tangentNormal.y * bitangent + tangentNormal.z * normal;
        normal = normalizeOr(mapped, normal);
    }

    // glTF channels: roughness in green, metalness in blue.
    float roughness = material.roughnessFactor;
    float metallic = material.metallicFactor;
    if (material.metallicRoughnessTexture != 0) {
        float4 texel = sampleMaterialTexture(material.metallicRoughnessTexture, input.texcoord);
        roughness *= texel.g;
        metallic *= texel.b;
    }

    // The loader gives emissiveFactor only to materials that have an emissive texture.
    float3 emissive = material.emissiveFactor;
    if (material.emissiveTexture != 0) {
        emissive *= sampleMaterialTexture(material.emissiveTexture, input.texcoord).rgb;
    }

    if (debugFlags.showMeshlets != 0) {
        baseColor = float4(meshletColor(input.meshletIndex), 1.0);
        emissive = float3(0.0, 0.0, 0.0);
        roughness = 1.0;
        metallic = 0.0;
        surface.flags |= GBUFFER_MESHLET_VIEW;
    }

    surface.normal = normal;
    surface.baseColor = baseColor.rgb;
    surface.alpha = baseColor.a;
    surface.emissive = emissive;
    surface.roughness = roughness;
    surface.metallic = metallic;

    GBufferOutput output;
    encodeSurface(surface, output.gBuffer0, output.gBuffer1);
    return output;
}
