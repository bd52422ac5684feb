#include "scene/MeshPass.h"

#include <meshoptimizer.h>
// After meshoptimizer.h: declares meshopt_optimizeMeshlet where the installed version lacks it.
#include <MeshletOptimize.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

namespace {

constexpr size_t VERTEX_SIZE = sizeof(Vertex);

// A block of count trivially copyable values whose contents are left as they are: every use below writes
// each value before it reads it (or zeroes what it has to), so nothing is filled twice.
template <typename T> std::unique_ptr<T[]> uninitialized(size_t count) {
    return std::make_unique_for_overwrite<T[]>(count);
}

// Unpacks one attribute kind (set index 0) into a float field of every vertex, which it writes whole: a
// missing attribute gives zeros, and so does what an unpacking does not write. The scratch array
// (four floats per vertex) is shared by the attributes of a primitive and is zeroed only when the unpacking
// does not write it all, in which case the call is repeated on zeros, so the result is that of a fresh
// zero-filled array either way.
template <size_t FLOATS>
void fillAttribute(const cgltf_primitive& primitive, cgltf_attribute_type type, size_t fieldOffset,
                   Vertex* vertices, size_t vertexCount, float* scratch) {
    const cgltf_accessor* accessor = cgltf_find_accessor(&primitive, type, 0);
    if (!accessor) {
        for (size_t k = 0; k < vertexCount; ++k)
            std::memset(reinterpret_cast<char*>(&vertices[k]) + fieldOffset, 0, FLOATS * sizeof(float));
        return;
    }
    const size_t floatCount = vertexCount * FLOATS;
    if (cgltf_accessor_unpack_floats(accessor, scratch, floatCount) != floatCount) {
        std::fill(scratch, scratch + floatCount, 0.0f);
        cgltf_accessor_unpack_floats(accessor, scratch, floatCount);
    }
    for (size_t k = 0; k < vertexCount; ++k)
        std::memcpy(reinterpret_cast<char*>(&vertices[k]) + fieldOffset, &scratch[k * FLOATS],
                    FLOATS * sizeof(float));
}

uint32_t packCone(const meshopt_Bounds& bounds) {
    // Each signed byte is taken as its raw bits, so a negative component does not spill into the others.
    return uint32_t(uint8_t(bounds.cone_axis_s8[0])) << 24 | uint32_t(uint8_t(bounds.cone_axis_s8[1])) << 16 |
           uint32_t(uint8_t(bounds.cone_axis_s8[2])) << 8 | uint32_t(uint8_t(bounds.cone_cutoff_s8));
}

void reportSkipped() {
    std::printf("Invalid primitive type or no indices\n");
}

// The vertex and index counts of a primitive that the pass processes; false (nothing set) for one it skips.
// The vertex count comes from the first attribute, so a primitive without one, or whose first attribute has
// no elements, has none (indices that validation did not check read as 0 and would name a vertex that does
// not exist); an index count that is not a multiple of 3 loses its partial triangle.
bool primitiveCounts(const cgltf_primitive& primitive, size_t* vertexCount, size_t* indexCount) {
    if (primitive.type != cgltf_primitive_type_triangles || !primitive.indices ||
        primitive.attributes_count == 0 || !primitive.attributes[0].data)
        return false;
    const cgltf_size vertices = primitive.attributes[0].data->count;
    const cgltf_size indices = primitive.indices->count - primitive.indices->count % 3;
    if (vertices == 0 || indices == 0 || vertices > std::numeric_limits<uint32_t>::max() ||
        indices > std::numeric_limits<uint32_t>::max())
        return false;
    *vertexCount = vertices;
    *indexCount = indices;
    return true;
}

// Makes room for count more elements at the end, growing geometrically so that many primitives append in
// linear time, but exactly when the list is empty (one large primitive gets a list of its own size).
template <typename T> void reserveMore(std::vector<T>& list, size_t count) {
    const size_t needed = list.size() + count;
    if (needed > list.capacity())
        list.reserve(list.empty() ? needed : std::max(needed, 2 * list.capacity()));
}

// Unpacking room for the attributes of one primitive, four floats per vertex, kept from one primitive to the
// next and grown only for a larger one, so that the pages of a large scratch array are touched once.
struct Scratch {
    std::unique_ptr<float[]> floats;
    size_t vertexCapacity = 0;

    float* forVertices(size_t vertexCount) {
        if (vertexCount > vertexCapacity) {
            floats.reset();
            floats = uninitialized<float>(vertexCount * 4);
            vertexCapacity = vertexCount;
        }
        return floats.get();
    }
};

// Reads one primitive, whose counts primitiveCounts gave, with its indices at firstIndex of the list.
void readPrimitive(const cgltf_data& data, const cgltf_primitive& primitive, size_t meshIndex,
                   size_t vertexCount, size_t indexCount, uint32_t* indices, size_t firstIndex,
                   Scratch& scratchRoom, MeshPrimitive* out) {
    out->meshIndex = meshIndex;
    out->materialIndex = primitive.material ? uint32_t(primitive.material - data.materials) : 0;

    out->vertices.resize(vertexCount);
    Vertex* vertices = out->vertices.data();
    float* scratch = scratchRoom.forVertices(vertexCount);
    fillAttribute<3>(primitive, cgltf_attribute_type_position, offsetof(Vertex, position), vertices,
                     vertexCount, scratch);
    fillAttribute<3>(primitive, cgltf_attribute_type_normal, offsetof(Vertex, normal), vertices, vertexCount,
                     scratch);
    fillAttribute<2>(primitive, cgltf_attribute_type_texcoord, offsetof(Vertex, texcoord), vertices,
                     vertexCount, scratch);
    fillAttribute<4>(primitive, cgltf_attribute_type_tangent, offsetof(Vertex, tangent), vertices,
                     vertexCount, scratch);

    // An index accessor that cannot be unpacked leaves the indices at 0.
    out->firstIndex = firstIndex;
    out->indexCount = indexCount;
    uint32_t* first = indices + firstIndex;
    const size_t unpacked = std::min(
        cgltf_accessor_unpack_indices(primitive.indices, first, sizeof(uint32_t), indexCount), indexCount);
    std::fill(first + unpacked, first + indexCount, 0u);
}

// The primitive's index list lies in result.meshletTriangles; its meshlet triangles are written over the
// list from trianglesWritten on, which is never past the primitive's first index, so they take only the room
// of indices already read. The primitive's vertices are released as soon as the scene list holds them.
void appendPrimitive(MeshPrimitive& primitive, std::vector<Meshlet>& meshlets, size_t& trianglesWritten,
                     MeshPassResult& result) {
    const size_t vertexCount = primitive.vertices.size();
    const size_t indexCount = primitive.indexCount;
    uint32_t* indices = result.meshletTriangles.data() + primitive.firstIndex;

    // The unique vertices go to the end of the scene list: the base vertex is its length before them.
    const uint32_t baseVertex = uint32_t(result.vertices.size());
    size_t uniqueCount = 0;
    {
        std::unique_ptr<uint32_t[]> remap = uninitialized<uint32_t>(vertexCount);
        uniqueCount = meshopt_generateVertexRemap(remap.get(), indices, indexCount, primitive.vertices.data(),
                                                  vertexCount, VERTEX_SIZE);
        result.vertices.resize(baseVertex + uniqueCount);
        meshopt_remapVertexBuffer(result.vertices.data() + baseVertex, primitive.vertices.data(), vertexCount,
                                  VERTEX_SIZE, remap.get());
        meshopt_remapIndexBuffer(indices, indices, indexCount, remap.get());
    }
    primitive.vertices = VertexList();
    const Vertex* vertices = result.vertices.data() + baseVertex;
    meshopt_optimizeVertexCache(indices, indices, indexCount, uniqueCount);

    // Sized once from the bound; the builder writes only what it reports, so the arrays are not zeroed and
    // their unused pages are never touched.
    const size_t bound = meshopt_buildMeshletsBound(indexCount, MESHLET_MAX_VERTICES, MESHLET_MAX_TRIANGLES);
    std::unique_ptr<meshopt_Meshlet[]> built = uninitialized<meshopt_Meshlet>(bound);
    std::unique_ptr<uint32_t[]> builtVertices = uninitialized<uint32_t>(bound * MESHLET_MAX_VERTICES);
    std::unique_ptr<uint8_t[]> builtTriangles = uninitialized<uint8_t>(bound * MESHLET_MAX_TRIANGLES * 3);
    const float* positions = &vertices[0].position.x;
    const size_t meshletCount = meshopt_buildMeshlets(
        built.get(), builtVertices.get(), builtTriangles.get(), indices, indexCount, positions, uniqueCount,
        VERTEX_SIZE, MESHLET_MAX_VERTICES, MESHLET_MAX_TRIANGLES, 0.0f);
    // From here on the indices are not read again.

    size_t vertexEntries = 0;
    for (size_t m = 0; m < meshletCount; ++m)
        vertexEntries += built[m].vertex_count;
    reserveMore(meshlets, meshletCount);
    reserveMore(result.meshletVertices, vertexEntries);

    for (size_t m = 0; m < meshletCount; ++m) {
        const meshopt_Meshlet& source = built[m];
        uint32_t* meshletVertices = &builtVertices[source.vertex_offset];
        uint8_t* meshletTriangles = &builtTriangles[source.triangle_offset];
        meshopt_optimizeMeshlet(meshletVertices, meshletTriangles, source.triangle_count,
                                source.vertex_count);
        const meshopt_Bounds bounds = meshopt_computeMeshletBounds(
            meshletVertices, meshletTriangles, source.triangle_count, positions, uniqueCount, VERTEX_SIZE);

        Meshlet meshlet = {};
        meshlet.vertexOffset = uint32_t(result.meshletVertices.size());
        meshlet.triangleOffset = uint32_t(trianglesWritten);
        meshlet.vertexCount = source.vertex_count;
        meshlet.triangleCount = source.triangle_count;
        meshlet.meshIndex = 0;
        meshlet.materialIndex = primitive.materialIndex;
        meshlet.cone = packCone(bounds);
        meshlet.center = {bounds.center[0], bounds.center[1], bounds.center[2]};
        meshlet.radius = bounds.radius;
        meshlets.push_back(meshlet);

        for (uint32_t v = 0; v < source.vertex_count; ++v)
            result.meshletVertices.push_back(meshletVertices[v] + baseVertex);
        // The builder places each triangle in one meshlet, so the primitive's corners never outgrow its
        // index list.
        const size_t corners = 3 * size_t(source.triangle_count);
        std::copy_n(meshletTriangles, corners, result.meshletTriangles.data() + trianglesWritten);
        trianglesWritten += corners;
    }
}

} // namespace

MeshPassInput readMeshPrimitives(const cgltf_data* data) {
    MeshPassInput input = {data->meshes_count, {}, {}};
    // The last two meshes only cast shadows; a file with fewer than two meshes has none to process.
    const size_t processedCount = data->meshes_count < 2 ? 0 : data->meshes_count - 2;
    // The counts first, so that the index list is made once at its full length.
    size_t indexTotal = 0;
    for (size_t m = 0; m < processedCount; ++m) {
        for (size_t p = 0; p < data->meshes[m].primitives_count; ++p) {
            size_t vertexCount = 0, indexCount = 0;
            if (primitiveCounts(data->meshes[m].primitives[p], &vertexCount, &indexCount))
                indexTotal += indexCount;
        }
    }
    input.indices.resize(indexTotal);

    Scratch scratch;
    size_t firstIndex = 0;
    for (size_t m = 0; m < processedCount; ++m) {
        const cgltf_mesh& mesh = data->meshes[m];
        for (size_t p = 0; p < mesh.primitives_count; ++p) {
            size_t vertexCount = 0, indexCount = 0;
            if (!primitiveCounts(mesh.primitives[p], &vertexCount, &indexCount)) {
                reportSkipped();
                continue;
            }
            MeshPrimitive primitive = {};
            readPrimitive(*data, mesh.primitives[p], m, vertexCount, indexCount, input.indices.data(),
                          firstIndex, scratch, &primitive);
            input.primitives.push_back(std::move(primitive));
            firstIndex += indexCount;
        }
    }
    return input;
}

MeshPassResult buildMeshPass(MeshPassInput input) {
    MeshPassResult result;
    result.meshMeshlets.resize(input.meshCount);
    // The vertex list is reserved for every vertex before deduplication, so it never moves; what
    // deduplication saves is never touched.
    size_t vertexTotal = 0;
    for (const MeshPrimitive& primitive : input.primitives)
        vertexTotal += primitive.vertices.size();
    result.vertices.reserve(vertexTotal);
    result.meshletTriangles = std::move(input.indices);
    size_t trianglesWritten = 0;
    for (MeshPrimitive& primitive : input.primitives)
        appendPrimitive(primitive, result.meshMeshlets[primitive.meshIndex], trianglesWritten, result);
    result.meshletTriangles.resize(trianglesWritten);
    return result;
}

MeshPassResult runMeshPass(const cgltf_data* data) {
    return buildMeshPass(readMeshPrimitives(data));
}
