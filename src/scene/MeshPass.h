// The mesh pass of the scene import: the triangle primitives of every mesh but the file's last two become
// deduplicated vertices in vertex-cache order and meshlets of at most 64 vertices and 124 triangles.
#pragma once

#include "Shaders/Shared.hlsli"

#include <cgltf.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

inline constexpr uint32_t MESHLET_MAX_VERTICES = 64;
inline constexpr uint32_t MESHLET_MAX_TRIANGLES = 124;

// An allocator whose value-less construction default-initialises, so that resizing a list of plain records
// leaves the new elements unwritten. The pass sizes its vertex and index lists and then writes every byte of
// them itself (or meshoptimizer does); zeroing them first would touch every page of a large list twice.
template <typename T> struct UninitializedAllocator : std::allocator<T> {
    template <typename U> struct rebind { using other = UninitializedAllocator<U>; };
    UninitializedAllocator() = default;
    template <typename U> UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <typename U> void construct(U* place) noexcept(std::is_nothrow_default_constructible_v<U>) {
        ::new (static_cast<void*>(place)) U;
    }
    template <typename U, typename... Args> void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};
static_assert(std::is_trivially_default_constructible_v<Vertex>,
              "a vertex left unwritten holds no object state");

using VertexList = std::vector<Vertex, UninitializedAllocator<Vertex>>;
using IndexList = std::vector<uint32_t, UninitializedAllocator<uint32_t>>;

// What the mesh pass hands on to the rest of the import: the contents of "Vertices", "MeshletVertices" and
// "MeshletTriangles", and one meshlet list per mesh of the file (empty for the last two meshes), whose
// records the node pass copies per node.
struct MeshPassResult {
    VertexList vertices;
    std::vector<uint32_t> meshletVertices; // indices into vertices
    IndexList meshletTriangles;            // meshlet-local vertex numbers, three per triangle
    std::vector<std::vector<Meshlet>> meshMeshlets;
};

// One triangle primitive as the pass reads it from the file: every vertex with the attributes the pass keeps
// (before deduplication) and where its index list lies in the input's list of all indices.
struct MeshPrimitive {
    size_t meshIndex;
    uint32_t materialIndex;
    VertexList vertices; // every byte written by the reading half
    size_t firstIndex;
    size_t indexCount; // a whole number of triangles
};

// The pass in two halves: what it reads from the file, and what it builds from that alone. Between them the
// caller may release the file's buffer bytes (the pass is their last reader), so that the file's bytes and
// meshoptimizer's working memory are never held at once.
struct MeshPassInput {
    size_t meshCount;
    std::vector<MeshPrimitive> primitives; // in file order
    // The index lists of the primitives, one after another. Every triangle ends in exactly one meshlet, so
    // the building half writes "MeshletTriangles" over this list in place: a primitive's meshlet triangles
    // take at most the room of its indices, which are no longer read by then.
    IndexList indices; // every element written by the reading half
};

// Reads every primitive of every mesh but the last two from validated data. A primitive that is not a
// triangle list, or has no indices, no vertices, fewer than three indices or counts beyond 32 bits, is
// skipped with the line "Invalid primitive type or no indices" on standard output.
MeshPassInput readMeshPrimitives(const cgltf_data* data);
// Deduplicates, orders and cuts the primitives into meshlets; consumes the input as it goes.
MeshPassResult buildMeshPass(MeshPassInput input);
// Both halves over validated data that stays loaded.
MeshPassResult runMeshPass(const cgltf_data* data);
