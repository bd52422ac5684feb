// The node pass: one Mesh record per node with a mesh, in the file's flat node order, with its world matrix
// and scale, and that node's own run of its mesh's meshlets.
#include "scene/NodePass.h"

#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace fixture;

namespace {

Meshlet meshlet(uint32_t seed) {
    Meshlet m = {};
    m.vertexOffset = seed;
    m.triangleOffset = seed + 1;
    m.vertexCount = seed + 2;
    m.triangleCount = seed + 3;
    m.meshIndex = 0;
    m.materialIndex = seed + 4;
    m.cone = 0x80FF7F01u + seed;
    m.center = {float(seed), -1.0f, 2.5f};
    m.radius = 0.5f * float(seed);
    return m;
}

bool sameExceptMeshIndex(const Meshlet& a, const Meshlet& b) {
    Meshlet copy = a;
    copy.meshIndex = b.meshIndex;
    return std::memcmp(&copy, &b, sizeof(Meshlet)) == 0;
}

using Matrix = std::array<float, 16>;

} // namespace

TEST(NodePass, EveryMeshNodeGetsItsRecordAndItsOwnMeshlets) {
    GltfBuilder b;
    for (int m = 0; m < 4; ++m) {
        int positions = b.addData(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
        b.addMesh(Json::array(
            {primitive({{"POSITION", positions}}, b.addIndices(std::vector<uint16_t>{0, 1, 2}))}));
    }
    const float s = std::sqrt(0.5f);
    b.addNode({{"mesh", 0}, {"translation", {1, 2, 3}}, {"children", {1}}}); // 0
    b.addNode({{"mesh", 1}, {"scale", {-1, 2, 3}}});                         // 1: mirrored child of 0
    b.addNode({{"children", {3}}});                                          // 2: no mesh
    b.addNode({{"mesh", 0}, {"scale", {2, 2, 2}}});                          // 3: shares mesh 0
    b.addNode({{"mesh", 2}}); // 4: a shadow-only mesh, no scene
    b.addNode({{"mesh", 0}, {"rotation", {0, 0, s, s}}, {"scale", {1, 2, 3}}}); // 5: in another scene
    b.root["scenes"] = Json::array({{{"nodes", {0, 2}}}, {{"nodes", {5}}}});
    b.root["scene"] = 0;
    Loaded loaded = loadFromMemory(b.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None);
    const std::vector<std::vector<Meshlet>> meshMeshlets = {
        {meshlet(10), meshlet(20)}, {meshlet(30)}, {}, {}};

    EXPECT_EQ(meshletCopyCount(loaded.data.get(), meshMeshlets), 7u);
    const NodePassResult result = runNodePass(loaded.data.get(), meshMeshlets);

    struct Expected {
        Matrix transform;
        float maxScale;
        int mesh;
    } expected[] = {
        {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 2, 3, 1}, 1, 0},
        {{-1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 1, 2, 3, 1}, -3, 1}, // parent x local; mirrored: -largest
        {{2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}, 2, 0},
        {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 1, 2},
        {{0, 1, 0, 0, -2, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1}, 3, 0}, // turned 90 degrees about z
    };
    ASSERT_EQ(result.meshes.size(), 5u);
    size_t copy = 0;
    for (uint32_t record = 0; record < 5; ++record) {
        SCOPED_TRACE(testing::Message() << "record " << record);
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(result.meshes[record].transform.m[i], expected[record].transform[i], 1e-6f) << i;
        EXPECT_FLOAT_EQ(result.meshes[record].maxScale, expected[record].maxScale);
        for (const Meshlet& source : meshMeshlets[expected[record].mesh]) {
            ASSERT_LT(copy, result.meshlets.size());
            EXPECT_EQ(result.meshlets[copy].meshIndex, record);
            EXPECT_TRUE(sameExceptMeshIndex(source, result.meshlets[copy]));
            ++copy;
        }
    }
    EXPECT_EQ(copy, result.meshlets.size());
}

TEST(NodePass, MaxScaleIsTheLargestAxisSignedByMirroring) {
    struct Case {
        const char* name;
        Matrix transform;
        float maxScale;
    } cases[] = {
        {"uniform", {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 5, 6, 7, 1}, 2},
        {"non-uniform", {1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1}, 3},
        {"mirrored in x", {-1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1}, -3},
        {"mirrored in z, largest x", {4, 0, 0, 0, 0, 1, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1}, -4},
        {"mirrored twice: a turn", {-1, 0, 0, 0, 0, -2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 2},
        {"mirrored thrice", {-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}, -1},
        {"turned and scaled", {0, 3, 0, 0, -1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1}, 3},
        {"sheared", {1, 0, 0, 0, 3, 4, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 5},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(maxScaleOf(c.transform.data()), c.maxScale) << c.name;
}
