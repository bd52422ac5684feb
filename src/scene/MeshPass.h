// The mesh pass of the scene import: the triangle primitives of every mesh but the file's last two become
// deduplicated vertices in vertex-cache order and meshlets of at most 64 vertices and 124 triangles.
#pragma once

#include "Shaders/Shared.hlsli"

#include <cgltf.h>

#include <cstdint>
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

// Runs the pass over validated data. A primitive that is not a triangle list, or has no indices, no
// attribute, fewer than three indices or counts beyond 32 bits, is skipped with the line
// "Invalid primitive type or no indices" on standard output.
MeshPassResult runMeshPass(const cgltf_data* data);
