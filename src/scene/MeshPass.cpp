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

// Working room kept from one primitive to the next and grown only for a larger one, so that the pages of a
// large array are touched once however many primitives use it. Its contents are left as they are.
template <typename T> struct Room {
    std::unique_ptr<T[]> values;
    size_t capacity = 0;

    T* forCount(size_t count) {
        if (count > capacity) {
            values.reset();
            values = uninitialized<T>(count);
            capacity = count;
        }
        return values.get();
    }
};

// Vertices unpacked at a time where an attribute can be read in pieces: small enough that the unpacked
// floats stay in cache on their way into the vertices, and no array of a large primitive's size is touched.
constexpr size_t CHUNK_VERTICES = 4096;

// Writes the float field at fieldOffset of count vertices from floats, FLOATS per vertex, or zeroes it where
// floats is null.
template <size_t FLOATS>
void writeField(const float* floats, size_t fieldOffset, Vertex* vertices, size_t count) {
    for (size_t k = 0; k < count; ++k) {
        char* field = reinterpret_cast<char*>(&vertices[k]) + fieldOffset;
        if (floats)
            std::memcpy(field, &floats[k * FLOATS], FLOATS * sizeof(float));
        else
            std::memset(field, 0, FLOATS * sizeof(float));
    }
}

// Unpacks one attribute kind (set index 0) into a float field of every vertex, which it writes whole: a
// missing attribute gives zeros, and so does what an unpacking does not write.
//
// The unpacking writes the accessor's elements one after another, as many floats as the field asks of it.
// Where each element is as wide as the field and no sparse substitution applies, vertex k takes element k
// (zeros past the accessor's end), and the attribute is read a chunk of vertices at a time through an
// accessor narrowed to the chunk. Otherwise it is unpacked whole into the room, which is zeroed only when
// the unpacking does not write it all, in which case the call is repeated on zeros, so the result is that of
// a fresh zero-filled array either way.
template <size_t FLOATS>
void fillAttribute(const cgltf_primitive& primitive, cgltf_attribute_type type, size_t fieldOffset,
                   Vertex* vertices, size_t vertexCount, Room<float>& room) {
    const cgltf_accessor* accessor = cgltf_find_accessor(&primitive, type, 0);
    if (!accessor) {
        writeField<FLOATS>(nullptr, fieldOffset, vertices, vertexCount);
        return;
    }
    if (accessor->is_sparse || cgltf_num_components(accessor->type) != FLOATS) {
        const size_t floatCount = vertexCount * FLOATS;
        float* scratch = room.forCount(floatCount);
        if (cgltf_accessor_unpack_floats(accessor, scratch, floatCount) != floatCount) {
            std::fill(scratch, scratch + floatCount, 0.0f);
            cgltf_accessor_unpack_floats(accessor, scratch, floatCount);
        }
        writeField<FLOATS>(scratch, fieldOffset, vertices, vertexCount);
        return;
    }
    float* scratch = room.forCount(CHUNK_VERTICES * FLOATS);
    cgltf_accessor chunk = *accessor;
    for (size_t first = 0; first < vertexCount; first += CHUNK_VERTICES) {
        const size_t count = std::min(CHUNK_VERTICES, vertexCount - first);
        const size_t elements = accessor->count > first ? std::min(count, accessor->count - first) : 0;
        chunk.offset = accessor->offset + first * accessor->stride;
        chunk.count = elements;
        const bool unpacked = elements > 0 && cgltf_accessor_unpack_floats(
                                                  &chunk, scratch, elements * FLOATS) == elements * FLOATS;
        const size_t written = unpacked ? elements : 0;
        writeField<FLOATS>(scratch, fieldOffset, vertices + first, written);
        writeField<FLOATS>(nullptr, fieldOffset, vertices + first + written, count - written);
    }
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

// A primitive the pass processes, with the counts primitiveCounts gave.
struct PlannedPrimitive {
    size_t meshIndex;
    const cgltf_primitive* primitive;
    size_t vertexCount;
    size_t indexCount;
};

// Reads the primitive's vertices, every byte of each, with the attributes the pass keeps (the room holds
// unpacked floats on their way into the vertices), and its indices.
void readPrimitive(const PlannedPrimitive& planned, Vertex* vertices, Room<float>& scratchRoom,
                   uint32_t* indices) {
    const cgltf_primitive& primitive = *planned.primitive;
    const size_t vertexCount = planned.vertexCount;
    fillAttribute<3>(primitive, cgltf_attribute_type_position, offsetof(Vertex, position), vertices,
                     vertexCount, scratchRoom);
    fillAttribute<3>(primitive, cgltf_attribute_type_normal, offsetof(Vertex, normal), vertices, vertexCount,
                     scratchRoom);
    fillAttribute<2>(primitive, cgltf_attribute_type_texcoord, offsetof(Vertex, texcoord), vertices,
                     vertexCount, scratchRoom);
    fillAttribute<4>(primitive, cgltf_attribute_type_tangent, offsetof(Vertex, tangent), vertices,
                     vertexCount, scratchRoom);

    // An index accessor that cannot be unpacked leaves the indices at 0.
    const size_t unpacked = std::min(
        cgltf_accessor_unpack_indices(primitive.indices, indices, sizeof(uint32_t), planned.indexCount),
        planned.indexCount);
    std::fill(indices + unpacked, indices + planned.indexCount, 0u);
}

// The unique vertices of one read primitive, in order of first use, appended to the scene list, and its
// indices (at indices) renumbered to them; returns how many there are. The scene list has room for every
// vertex, so it does not move.
size_t appendUniqueVertices(const Vertex* rawVertices, size_t vertexCount, uint32_t* indices,
                            size_t indexCount, VertexList& sceneVertices) {
    const size_t baseVertex = sceneVertices.size();
    std::unique_ptr<uint32_t[]> remap = uninitialized<uint32_t>(vertexCount);
    const size_t uniqueCount =
        meshopt_generateVertexRemap(remap.get(), indices, indexCount, rawVertices, vertexCount, VERTEX_SIZE);
    sceneVertices.resize(baseVertex + uniqueCount);
    meshopt_remapVertexBuffer(sceneVertices.data() + baseVertex, rawVertices, vertexCount, VERTEX_SIZE,
                              remap.get());
    meshopt_remapIndexBuffer(indices, indices, indexCount, remap.get());
    return uniqueCount;
}

// Orders and cuts one primitive, whose uniqueCount vertices end the scene list, into meshlets. Its indices
// lie at the end of the meshlet triangles written so far (result.meshletTriangles from trianglesWritten on);
// its meshlet triangles are written over them in place once the builder has read them, and every triangle
// ends in one meshlet, so they never take more room than the indices did.
void appendMeshlets(size_t uniqueCount, size_t indexCount, uint32_t materialIndex,
                    std::vector<Meshlet>& meshlets, size_t& trianglesWritten, MeshPassResult& result) {
    uint32_t* indices = result.meshletTriangles.data() + trianglesWritten;
    const uint32_t baseVertex = uint32_t(result.vertices.size() - uniqueCount);
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
        meshlet.materialIndex = materialIndex;
        meshlet.cone = packCone(bounds);
        meshlet.center = {bounds.center[0], bounds.center[1], bounds.center[2]};
        meshlet.radius = bounds.radius;
        meshlets.push_back(meshlet);

        for (uint32_t v = 0; v < source.vertex_count; ++v)
            result.meshletVertices.push_back(meshletVertices[v] + baseVertex);
        const size_t corners = 3 * size_t(source.triangle_count);
        std::copy_n(meshletTriangles, corners, result.meshletTriangles.data() + trianglesWritten);
        trianglesWritten += corners;
    }
}

} // namespace

MeshPassResult runMeshPass(const cgltf_data* data, const std::function<void()>& buffersRead) {
    MeshPassResult result;
    result.meshMeshlets.resize(data->meshes_count);
    // The last two meshes only cast shadows; a file with fewer than two meshes has none to process.
    const size_t processedCount = data->meshes_count < 2 ? 0 : data->meshes_count - 2;
    // The counts first, so that the lists are made once at their full length.
    std::vector<PlannedPrimitive> planned;
    size_t vertexTotal = 0, indexTotal = 0;
    for (size_t m = 0; m < processedCount; ++m) {
        for (size_t p = 0; p < data->meshes[m].primitives_count; ++p) {
            PlannedPrimitive primitive = {m, &data->meshes[m].primitives[p], 0, 0};
            if (!primitiveCounts(*primitive.primitive, &primitive.vertexCount, &primitive.indexCount)) {
                reportSkipped();
                continue;
            }
            planned.push_back(primitive);
            vertexTotal += primitive.vertexCount;
            indexTotal += primitive.indexCount;
        }
    }
    // Reserved for every vertex before deduplication, so that the list never moves; what deduplication
    // saves is never touched. The triangle list is as long as all the index lists together; each
    // primitive's indices are read in right after the meshlet triangles written before it.
    result.vertices.reserve(vertexTotal);
    result.meshletTriangles.resize(indexTotal);

    // One primitive's vertices as read, before deduplication, and one attribute of each as unpacked: kept
    // for the next primitive, and released as soon as the last one no longer needs them.
    Room<Vertex> rawVertices;
    Room<float> scratch;
    size_t trianglesWritten = 0;
    for (size_t i = 0; i < planned.size(); ++i) {
        const bool last = i + 1 == planned.size();
        const PlannedPrimitive& primitive = planned[i];
        Vertex* vertices = rawVertices.forCount(primitive.vertexCount);
        uint32_t* indices = result.meshletTriangles.data() + trianglesWritten;
        readPrimitive(primitive, vertices, scratch, indices);
        if (last) {
            scratch = {};
            if (buffersRead)
                buffersRead();
        }
        const size_t uniqueCount = appendUniqueVertices(vertices, primitive.vertexCount, indices,
                                                        primitive.indexCount, result.vertices);
        if (last)
            rawVertices = {};
        const cgltf_material* material = primitive.primitive->material;
        const uint32_t materialIndex = material ? uint32_t(material - data->materials) : 0;
        appendMeshlets(uniqueCount, primitive.indexCount, materialIndex,
                       result.meshMeshlets[primitive.meshIndex], trianglesWritten, result);
    }
    if (planned.empty() && buffersRead)
        buffersRead();
    result.meshletTriangles.resize(trianglesWritten);
    return result;
}
