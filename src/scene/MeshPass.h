// The mesh pass of the scene import: the triangle primitives of every mesh but the file's last two become
// deduplicated vertices in vertex-cache order and meshlets of at most 64 vertices and 124 triangles.
#pragma once

#include "Shaders/Shared.hlsli"

#include <cgltf.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

inline constexpr uint32_t MESHLET_MAX_VERTICES = 64;
inline constexpr uint32_t MESHLET_MAX_TRIANGLES = 124;

// What the mesh pass hands on to the rest of the import: the contents of "Vertices", "MeshletVertices" and
// "MeshletTriangles", and one meshlet list per mesh of the file (empty for the last two meshes), whose
// records the node pass copies per node.
struct MeshPassResult {
    std::vector<Vertex> vertices;
    std::vector<uint32_t> meshletVertices;  // indices into vertices
    std::vector<uint32_t> meshletTriangles; // meshlet-local vertex numbers, three per triangle
    std::vector<std::vector<Meshlet>> meshMeshlets;
};

// One triangle primitive as the pass reads it from the file: every vertex with the attributes the pass keeps
// (before deduplication) and the index list.
struct MeshPrimitive {
    size_t meshIndex;
    uint32_t materialIndex;
    std::vector<Vertex> vertices;
    std::unique_ptr<uint32_t[]> indices; // a whole number of triangles
    size_t indexCount;
};

// The pass in two halves: what it reads from the file, and what it builds from that alone. Between them the
// caller may release the file's buffer bytes (the pass is their last reader), so that the file's bytes and
// meshoptimizer's working memory are never held at once.
struct MeshPassInput {
    size_t meshCount;
    std::vector<MeshPrimitive> primitives; // in file order
};

// Reads every primitive of every mesh but the last two from validated data. A primitive that is not a
// triangle list, or has no indices, no vertices, fewer than three indices or counts beyond 32 bits, is
// skipped with the line "Invalid primitive type or no indices" on standard output.
MeshPassInput readMeshPrimitives(const cgltf_data* data);
// Deduplicates, orders and cuts the primitives into meshlets; consumes the input as it goes.
MeshPassResult buildMeshPass(MeshPassInput input);
// Both halves over validated data that stays loaded.
MeshPassResult runMeshPass(const cgltf_data* data);
