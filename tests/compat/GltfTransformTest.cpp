#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace fixture;

namespace {

using Matrix = std::array<float, 16>; // column-major, as glTF

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                out[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return out;
}

Matrix translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}
Matrix scaling(float x, float y, float z) {
    return {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
}
Matrix rotationZ90() {
    return {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

void expectNear(const float* actual, const Matrix& expected) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-5f) << "element " << i;
}

const float halfSqrt2 = std::sqrt(0.5f);

Loaded loadNodes(GltfBuilder& builder) {
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    EXPECT_EQ(loaded.failedStep, Step::None) << loaded.result;
    return loaded;
}

} // namespace

TEST(GltfTransforms, LocalIsTranslationTimesRotationTimesScale) {
    GltfBuilder builder;
    builder.addNode(
        {{"translation", {1, 2, 3}}, {"rotation", {0, 0, halfSqrt2, halfSqrt2}}, {"scale", {2, 3, 4}}});
    builder.addNode(Json::object());
    Loaded loaded = loadNodes(builder);
    float local[16];
    cgltf_node_transform_local(&loaded.data->nodes[0], local);
    expectNear(local, multiply(translation(1, 2, 3), multiply(rotationZ90(), scaling(2, 3, 4))));
    cgltf_node_transform_local(&loaded.data->nodes[1], local);
    expectNear(local, scaling(1, 1, 1));
}

TEST(GltfTransforms, MatrixWinsOverTranslationRotationScale) {
    Matrix matrix = multiply(translation(5, 6, 7), scaling(2, 2, 2));
    GltfBuilder builder;
    builder.addNode({{"matrix", matrix}, {"translation", {100, 0, 0}}, {"scale", {9, 9, 9}}});
    Loaded loaded = loadNodes(builder);
    EXPECT_TRUE(loaded.data->nodes[0].has_matrix);
    float local[16];
    cgltf_node_transform_local(&loaded.data->nodes[0], local);
    expectNear(local, matrix);
}

TEST(GltfTransforms, WorldAppliesEveryParentInTurn) {
    GltfBuilder builder;
    builder.addNode({{"translation", {10, 0, 0}}, {"children", {1}}});
    builder.addNode({{"rotation", {0, 0, halfSqrt2, halfSqrt2}}, {"children", {2}}});
    builder.addNode({{"matrix", multiply(translation(0, 1, 0), scaling(3, 3, 3))}});
    Loaded loaded = loadNodes(builder);
    float world[16];
    cgltf_node_transform_world(&loaded.data->nodes[2], world);
    Matrix expected = multiply(translation(10, 0, 0),
                               multiply(rotationZ90(), multiply(translation(0, 1, 0), scaling(3, 3, 3))));
    expectNear(world, expected);
    // The child's origin: moved up by 1, turned to -x by the parent, then shifted by the root.
    EXPECT_NEAR(world[12], 9.0f, 1e-5f);
    EXPECT_NEAR(world[13], 0.0f, 1e-5f);

    cgltf_node_transform_world(&loaded.data->nodes[0], world);
    expectNear(world, translation(10, 0, 0));
}

TEST(GltfTransforms, WorldComposesTheAffinePartOfEachParent) {
    // A parent matrix with a projective last row, and a parent translated to infinity: the parents' last row
    // is not applied, the child's last row is kept, and no infinity is multiplied by the child's zeros.
    GltfBuilder builder;
    builder.addNode({{"matrix", {2, 0, 0, 0.5, 0, 1, 0, 0.25, 0, 0, 1, 0, 5, 0, 0, 3}}, {"children", {1}}});
    builder.addNode({{"translation", {1, 2, 3}}});
    builder.addNode({{"translation", {1e39, 0, 0}}, {"children", {3}}}); // becomes +infinity
    builder.addNode({{"translation", {0, 1, 0}}, {"scale", {2, 2, 2}}});
    Loaded loaded = loadNodes(builder);
    ASSERT_TRUE(std::isinf(loaded.data->nodes[2].translation[0]));

    float world[16];
    cgltf_node_transform_world(&loaded.data->nodes[1], world);
    expectNear(world, {2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 2, 3, 1});

    cgltf_node_transform_world(&loaded.data->nodes[3], world);
    const Matrix expected = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, INFINITY, 1, 0, 1};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(world[i], expected[i]) << "element " << i;
}
