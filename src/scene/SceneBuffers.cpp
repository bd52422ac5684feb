#include "scene/SceneBuffers.h"

#include <cstdint>

namespace {

template <typename Element, typename Allocator>
StructuredBuffer createSceneBuffer(const std::vector<Element, Allocator>& list, const wchar_t* name) {
    static const Element zero = {};
    const Element* data = list.empty() ? &zero : list.data();
    // A list longer than 32 bits is passed as the largest count, whose size createStructuredBuffer refuses.
    const uint32_t count = list.empty() ? 1 : list.size() > UINT32_MAX ? UINT32_MAX : uint32_t(list.size());
    return createStructuredBuffer(reinterpret_cast<const uint8_t*>(data), count, sizeof(Element), false,
                                  name);
}

} // namespace

SceneInfo createSceneBuffers(const MeshPassResult& geometry, const NodePassResult& nodes,
                             const std::vector<Material>& materials, Scene* scene) {
    scene->vertices = createSceneBuffer(geometry.vertices, L"Vertices");
    scene->meshletVertices = createSceneBuffer(geometry.meshletVertices, L"MeshletVertices");
    scene->meshletTriangles = createSceneBuffer(geometry.meshletTriangles, L"MeshletTriangles");
    scene->meshlets = createSceneBuffer(nodes.meshlets, L"Meshlets");
    scene->meshes = createSceneBuffer(nodes.meshes, L"Meshes");
    scene->materials = createSceneBuffer(materials, L"Materials");

    SceneInfo info = {};
    info.verticesIndex = scene->vertices.descriptorIndex;
    info.meshletVerticesIndex = scene->meshletVertices.descriptorIndex;
    info.meshletTrianglesIndex = scene->meshletTriangles.descriptorIndex;
    info.meshletsIndex = scene->meshlets.descriptorIndex;
    info.meshesIndex = scene->meshes.descriptorIndex;
    info.materialsIndex = scene->materials.descriptorIndex;
    info.meshletCount = uint32_t(nodes.meshlets.size());
    return info;
}
