// The scene import itself takes the sample scene: it parses, loads and validates, and its mesh pass turns
// every mesh but the shadow-only last two into meshlets without skipping a primitive.
#include "SampleData.h"

#include "scene/GltfLoad.h"
#include "scene/MeshPass.h"
#include "support/ProgramEnd.h"

#include <gtest/gtest.h>

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
