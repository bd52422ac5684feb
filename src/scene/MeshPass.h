// The mesh pass of the scene import: the triangle primitives of every mesh but the file's last two become
// deduplicated vertices in vertex-cache order and meshlets of at most 64 vertices and 124 triangles.
#pragma once

#include "Shaders/Shared.hlsli"

#include <cgltf.h>

#include <cstddef>
#include <cstdint>
#include <functional>
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

// Reads, deduplicates, orders and cuts the triangle primitives of every mesh but the last two of validated
// data into meshlets, one primitive after another. A primitive that is not a triangle list, or has no
// indices, no vertices, fewer than three indices or counts beyond 32 bits, is skipped with the line
// "Invalid primitive type or no indices" on standard output (all such lines come before any work).
//
// The pass is the last reader of the buffers' bytes: buffersRead, when given, is called once, as soon as the
// last primitive has been read and before it is built, so that the caller can release the bytes and the file
// and the largest share of meshoptimizer's working memory are not held at once.
MeshPassResult runMeshPass(const cgltf_data* data, const std::function<void()>& buffersRead = {});
