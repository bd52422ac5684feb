#include "scene/Scene.h"

#include "core/Paths.h"
#include "core/Report.h"
#include "scene/AccelerationStructures.h"
#include "scene/GltfLoad.h"
#include "scene/Materials.h"
#include "scene/MeshPass.h"
#include "scene/NodePass.h"
#include "scene/SceneBuffers.h"
#include "scene/SceneTextures.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>

Scene scene = {};
SceneInfo sceneInfo = {};

namespace {

struct GltfFree {
    void operator()(cgltf_data* data) const { cgltf_free(data); }
};

} // namespace

void checkMeshDispatchLimit(size_t meshletCount) {
    const size_t groups =
        (meshletCount + MESHLETS_PER_AMPLIFICATION_GROUP - 1) / MESHLETS_PER_AMPLIFICATION_GROUP;
    if (groups <= MESH_DISPATCH_GROUP_LIMIT)
        return;
    std::printf(
        "The scene has %zu meshlets, which need %zu amplification groups: more than the mesh-dispatch "
        "limit of %u groups\n",
        meshletCount, groups, MESH_DISPATCH_GROUP_LIMIT);
    endProgram(1);
}

void loadScene(const char* filePath, Scene* scene, SceneInfo* sceneInfo) {
    std::unique_ptr<cgltf_data, GltfFree> data(loadGltf(filePath));
    buildAccelerationStructures(data.get());
    const MeshPassResult geometry = runMeshPass(data.get(), [&data] { releaseGltfBuffers(data.get()); });
    // Refused before anything of the scene's own buffers is uploaded.
    checkMeshDispatchLimit(meshletCopyCount(data.get(), geometry.meshMeshlets));
    const NodePassResult nodes = runNodePass(data.get(), geometry.meshMeshlets);

    const std::filesystem::path sceneFolder = std::filesystem::path(toNativePath(filePath)).parent_path();
    const std::vector<TextureSlot> imageSlots = loadImageTextures(data.get(), sceneFolder);
    const std::vector<TextureSlot> textureTable = buildTextureTable(data.get(), imageSlots);
    const std::vector<Material> materials = buildMaterials(data.get(), textureTable);

    *sceneInfo = createSceneBuffers(geometry, nodes, materials, scene);
    data.reset(); // cgltf_free; the lists go with the end of the call
}
