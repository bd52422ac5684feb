// The scene import takes the sample scene: it parses, loads and validates, its mesh pass turns every mesh
// but the shadow-only last two into meshlets without skipping a primitive, and the whole import uploads it.
#include "SampleData.h"

#include "core/GpuFixture.h"
#include "scene/AccelerationStructures.h"
#include "scene/GltfLoad.h"
#include "scene/MeshPass.h"
#include "scene/Scene.h"
#include "support/ProgramEnd.h"

#include <standin/Gpu.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using namespace sample_test;

TEST(SampleImport, MeshPassBuildsMeshletsForEveryDrawnMesh) {
    const std::string path = (sceneFolder() / "scene.gltf").string();
    ProgramEndGuard guard; // a rejected file ends the program; here it fails the test instead
    std::unique_ptr<cgltf_data, void (*)(cgltf_data*)> data(nullptr, cgltf_free);
    ASSERT_NO_THROW(data.reset(loadGltf(path.c_str())));
    ASSERT_NE(data, nullptr);
    ASSERT_NE(data->scene, nullptr) << "a default scene";

    testing::internal::CaptureStdout();
    const MeshPassResult result = runMeshPass(data.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << "no primitive is skipped";

    ASSERT_EQ(result.meshMeshlets.size(), data->meshes_count);
    for (size_t mesh = 0; mesh < data->meshes_count; ++mesh) {
        const bool shadowOnly = mesh + 2 >= data->meshes_count;
        EXPECT_EQ(result.meshMeshlets[mesh].empty(), shadowOnly) << data->meshes[mesh].name;
    }
    // One amplification group per 32 meshlet copies stays well within a mesh dispatch's 65535 groups.
    size_t copies = 0;
    for (size_t node = 0; node < data->nodes_count; ++node) {
        if (data->nodes[node].mesh != nullptr) {
            copies += result.meshMeshlets[size_t(data->nodes[node].mesh - data->meshes)].size();
        }
    }
    EXPECT_GT(copies, 1000u);
    EXPECT_LT((copies + 31) / 32, 65535u);
}

namespace {

class SampleSceneImport : public GpuFixture {
protected:
    void SetUp() override {
        GpuFixture::SetUp();
        blasList.clear();
        tlas = nullptr;
        instanceDescBuffer = nullptr;
        mappedInstanceDescs = nullptr;
        instanceDescCount = 0;
        tlasUpdateScratch = nullptr;
    }
};

} // namespace

// The whole import of the sample scene, as start-up runs it: quietly, with every texture, the structures
// and the buffers, and no finding of the debug layer (the fixture checks that at the end).
TEST_F(SampleSceneImport, LoadsWithItsTexturesStructuresAndBuffers) {
    const std::string path = (sceneFolder() / "scene.gltf").string();
    Scene imported = {};
    SceneInfo info = {};
    testing::internal::CaptureStdout();
    loadScene(path.c_str(), &imported, &info);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    const nlohmann::json& gltf = sampleGltf().json;
    size_t primitives = 0;
    for (const nlohmann::json& mesh : gltf["meshes"])
        primitives += mesh["primitives"].size();
    const uint32_t textures = uint32_t(gltf["images"].size());
    EXPECT_EQ(srvHeap.count, 2 * primitives + textures + 6);
    EXPECT_EQ(info.verticesIndex, 2 * primitives + textures);
    EXPECT_EQ(info.materialsIndex, info.verticesIndex + 5);
    ASSERT_NE(tlas, nullptr);
    EXPECT_EQ(blasList.size(), gltf["meshes"].size());
    EXPECT_GT(instanceDescCount, 100u);
    EXPECT_GT(info.meshletCount, 1000u);

    // Every texture field names one of the loaded textures' views.
    std::vector<uint8_t> bytes = standin::readResource(imported.materials.resource);
    ASSERT_EQ(bytes.size(), gltf["materials"].size() * sizeof(Material));
    for (size_t m = 0; m < gltf["materials"].size(); ++m) {
        Material material;
        std::memcpy(&material, &bytes[m * sizeof(Material)], sizeof material);
        for (uint32_t field : {material.baseColorTexture, material.normalTexture, material.emissiveTexture,
                               material.metallicRoughnessTexture}) {
            if (field == 0)
                continue;
            const standin::DescriptorContents view = standin::descriptorAt(srvHeap.heap, field - 1);
            EXPECT_EQ(view.shaderResourceView.ViewDimension, D3D12_SRV_DIMENSION_TEXTURE2D)
                << gltf["materials"][m]["name"];
            EXPECT_EQ(standin::resourceState(view.resource), D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
        }
    }
}
