#include "scene/MeshPass.h"

#include <meshoptimizer.h>
// After meshoptimizer.h: declares meshopt_optimizeMeshlet where the installed version lacks it.
#include <MeshletOptimize.h>

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr size_t VERTEX_SIZE = sizeof(Vertex);

// Unpacks one attribute kind (set index 0) into a float field of every vertex. What the unpacking does not
// write stays 0, so a missing attribute, or one that cannot be unpacked, leaves zeros.
void fillAttribute(const cgltf_primitive& primitive, cgltf_attribute_type type, size_t floatsPerVertex,
                   size_t fieldOffset, std::vector<Vertex>& vertices) {
    const cgltf_accessor* accessor = cgltf_find_accessor(&primitive, type, 0);
    if (!accessor)
        return;
    const size_t vertexCount = vertices.size();
    std::vector<float> scratch(vertexCount * 4, 0.0f);
    cgltf_accessor_unpack_floats(accessor, scratch.data(), vertexCount * floatsPerVertex);
    for (size_t k = 0; k < vertexCount; ++k)
        std::memcpy(reinterpret_cast<char*>(&vertices[k]) + fieldOffset, &scratch[k * floatsPerVertex],
                    floatsPerVertex * sizeof(float));
}

uint32_t packCone(const meshopt_Bounds& bounds) {
    // Each signed byte is taken as its raw bits, so a negative component does not spill into the others.
    return uint32_t(uint8_t(bounds.cone_axis_s8[0])) << 24 | uint32_t(uint8_t(bounds.cone_axis_s8[1])) << 16 |
           uint32_t(uint8_t(bounds.cone_axis_s8[2])) << 8 | uint32_t(uint8_t(bounds.cone_cutoff_s8));
}

void reportSkipped() {
    std::printf("Invalid primitive type or no indices\n");
}

void appendPrimitive(const cgltf_data& data, const cgltf_primitive& primitive, std::vector<Meshlet>& meshlets,
                     MeshPassResult& result) {
    // The vertex count comes from the first attribute, so a primitive without one has none; an index count
    // that is not a multiple of 3 loses its partial triangle.
    if (primitive.type != cgltf_primitive_type_triangles || !primitive.indices ||
        primitive.attributes_count == 0 || !primitive.attributes[0].data) {
        reportSkipped();
        return;
    }
    const cgltf_size vertexCount64 = primitive.attributes[0].data->count;
    const cgltf_size indexCount64 = primitive.indices->count - primitive.indices->count % 3;
    if (indexCount64 == 0 || vertexCount64 > std::numeric_limits<uint32_t>::max() ||
        indexCount64 > std::numeric_limits<uint32_t>::max()) {
        reportSkipped();
        return;
    }
    const uint32_t materialIndex = primitive.material ? uint32_t(primitive.material - data.materials) : 0;
    const size_t vertexCount = vertexCount64;
    const size_t indexCount = indexCount64;

    std::vector<Vertex> vertices(vertexCount, Vertex{});
    std::vector<uint32_t> indices(indexCount, 0);
    fillAttribute(primitive, cgltf_attribute_type_position, 3, offsetof(Vertex, position), vertices);
    fillAttribute(primitive, cgltf_attribute_type_normal, 3, offsetof(Vertex, normal), vertices);
    fillAttribute(primitive, cgltf_attribute_type_texcoord, 2, offsetof(Vertex, texcoord), vertices);
    fillAttribute(primitive, cgltf_attribute_type_tangent, 4, offsetof(Vertex, tangent), vertices);
    cgltf_accessor_unpack_indices(primitive.indices, indices.data(), sizeof(uint32_t), indexCount);

    std::vector<uint32_t> remap(vertexCount);
    const size_t uniqueCount = meshopt_generateVertexRemap(remap.data(), indices.data(), indexCount,
                                                           vertices.data(), vertexCount, VERTEX_SIZE);
    meshopt_remapVertexBuffer(vertices.data(), vertices.data(), vertexCount, VERTEX_SIZE, remap.data());
    vertices.resize(uniqueCount);
    meshopt_remapIndexBuffer(indices.data(), indices.data(), indexCount, remap.data());
    meshopt_optimizeVertexCache(indices.data(), indices.data(), indexCount, uniqueCount);

    const size_t bound = meshopt_buildMeshletsBound(indexCount, MESHLET_MAX_VERTICES, MESHLET_MAX_TRIANGLES);
    std::vector<meshopt_Meshlet> built(bound, meshopt_Meshlet{});
    std::vector<uint32_t> builtVertices(bound * MESHLET_MAX_VERTICES, 0);
    std::vector<uint8_t> builtTriangles(bound * MESHLET_MAX_TRIANGLES * 3, 0);

    const uint32_t baseVertex = uint32_t(result.vertices.size());
    result.vertices.insert(result.vertices.end(), vertices.begin(), vertices.end());

    const float* positions = &vertices[0].position.x;
    const size_t meshletCount = meshopt_buildMeshlets(
        built.data(), builtVertices.data(), builtTriangles.data(), indices.data(), indexCount, positions,
        uniqueCount, VERTEX_SIZE, MESHLET_MAX_VERTICES, MESHLET_MAX_TRIANGLES, 0.0f);

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
        meshlet.triangleOffset = uint32_t(result.meshletTriangles.size());
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
        result.meshletTriangles.insert(result.meshletTriangles.end(), meshletTriangles,
                                       meshletTriangles + 3 * size_t(source.triangle_count));
    }
}

} // namespace

MeshPassResult runMeshPass(const cgltf_data* data) {
    MeshPassResult result;
    result.meshMeshlets.resize(data->meshes_count);
    // The last two meshes only cast shadows; a file with fewer than two meshes has none to process.
    const size_t processedCount = data->meshes_count < 2 ? 0 : data->meshes_count - 2;
    for (size_t m = 0; m < processedCount; ++m) {
        const cgltf_mesh& mesh = data->meshes[m];
        for (size_t p = 0; p < mesh.primitives_count; ++p)
            appendPrimitive(*data, mesh.primitives[p], result.meshMeshlets[m], result);
    }
    return result;
}
