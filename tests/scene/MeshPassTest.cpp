#include "scene/MeshPass.h"

#include "EmptyAttributeFile.h"
#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>
#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

using namespace fixture;

namespace {

struct Grid {
    std::vector<float> positions;
    std::vector<uint32_t> indices;
};

// A flat grid of cells x cells quads in the xy plane, two triangles per quad.
Grid makeGrid(uint32_t cells, float z = 0.0f) {
    Grid grid;
    for (uint32_t y = 0; y <= cells; ++y)
        for (uint32_t x = 0; x <= cells; ++x)
            grid.positions.insert(grid.positions.end(), {float(x), float(y), z});
    for (uint32_t y = 0; y < cells; ++y)
        for (uint32_t x = 0; x < cells; ++x) {
            uint32_t a = y * (cells + 1) + x, b = a + 1, c = a + cells + 1, d = c + 1;
            grid.indices.insert(grid.indices.end(), {a, b, d, a, d, c});
        }
    return grid;
}

// Two meshes at the end of the file, which the pass leaves out.
void addTrailingMeshes(GltfBuilder& builder) {
    Grid grid = makeGrid(1);
    for (int i = 0; i < 2; ++i) {
        int positions = builder.addData(grid.positions, "VEC3");
        builder.addMesh(
            Json::array({primitive({{"POSITION", positions}}, builder.addIndices(grid.indices))}));
    }
}

Json gridPrimitive(GltfBuilder& builder, const Grid& grid, int material = -1) {
    return primitive({{"POSITION", builder.addData(grid.positions, "VEC3")}},
                     builder.addIndices(grid.indices), material);
}

struct PassRun {
    Loaded loaded;
    MeshPassResult result;
    std::string output;
};

PassRun run(const GltfBuilder& builder) {
    PassRun run;
    run.loaded = loadFromMemory(builder.glb());
    EXPECT_EQ(run.loaded.failedStep, Step::None) << run.loaded.result;
    if (run.loaded.failedStep != Step::None)
        return run;
    testing::internal::CaptureStdout();
    run.result = runMeshPass(run.loaded.data.get());
    run.output = testing::internal::GetCapturedStdout();
    return run;
}

using Position = std::array<float, 3>;
using Triangle = std::array<Position, 3>;

// The same triangle whichever corner comes first, winding kept.
Triangle normalised(Triangle t) {
    auto first = std::min_element(t.begin(), t.end());
    std::rotate(t.begin(), first, t.end());
    return t;
}

std::vector<Triangle> inputTriangles(const Grid& grid) {
    std::vector<Triangle> triangles;
    for (size_t i = 0; i < grid.indices.size(); i += 3) {
        Triangle t;
        for (int c = 0; c < 3; ++c)
            std::copy_n(&grid.positions[grid.indices[i + c] * 3], 3, t[c].begin());
        triangles.push_back(normalised(t));
    }
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

Position positionOf(const Vertex& v) {
    return {v.position.x, v.position.y, v.position.z};
}

std::vector<Triangle> meshletTriangles(const MeshPassResult& result, const std::vector<Meshlet>& meshlets) {
    std::vector<Triangle> triangles;
    for (const Meshlet& m : meshlets)
        for (uint32_t t = 0; t < m.triangleCount; ++t) {
            Triangle triangle;
            for (int c = 0; c < 3; ++c) {
                uint32_t local = result.meshletTriangles[m.triangleOffset + 3 * t + c];
                triangle[c] = positionOf(result.vertices[result.meshletVertices[m.vertexOffset + local]]);
            }
            triangles.push_back(normalised(triangle));
        }
    std::sort(triangles.begin(), triangles.end());
    return triangles;
}

const std::string skipLine = "Invalid primitive type or no indices\n";

template <typename T, typename A, typename B>
bool sameBytes(const std::vector<T, A>& a, const std::vector<T, B>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0);
}

} // namespace

TEST(MeshPass, MeshletsCoverExactlyTheInputTrianglesWithinTheLimits) {
    Grid grid = makeGrid(40); // 3200 triangles: many meshlets
    GltfBuilder builder;
    builder.addMesh(Json::array({gridPrimitive(builder, grid)}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    const std::vector<Meshlet>& meshlets = r.result.meshMeshlets[0];
    ASSERT_GT(meshlets.size(), 20u);
    EXPECT_EQ(meshletTriangles(r.result, meshlets), inputTriangles(grid));

    uint32_t vertexOffset = 0, triangleOffset = 0;
    for (const Meshlet& m : meshlets) {
        EXPECT_LE(m.vertexCount, 64u);
        EXPECT_LE(m.triangleCount, 124u);
        EXPECT_EQ(m.vertexOffset, vertexOffset);
        EXPECT_EQ(m.triangleOffset, triangleOffset);
        vertexOffset += m.vertexCount;
        triangleOffset += 3 * m.triangleCount;
        for (uint32_t i = 0; i < 3 * m.triangleCount; ++i)
            ASSERT_LT(r.result.meshletTriangles[m.triangleOffset + i], m.vertexCount);
        EXPECT_EQ(m.meshIndex, 0u);
        EXPECT_GT(m.radius, 0.0f);
    }
    EXPECT_EQ(r.result.meshletVertices.size(), vertexOffset);
    EXPECT_EQ(r.result.meshletTriangles.size(), triangleOffset);
    EXPECT_EQ(r.result.vertices.size(), grid.positions.size() / 3);
    EXPECT_EQ(r.output, "");
}

TEST(MeshPass, PrimitivesOfAMeshFollowOneAnother) {
    Grid first = makeGrid(12), second = makeGrid(3, 5.0f);
    GltfBuilder builder;
    builder.addMaterial();
    builder.addMaterial();
    builder.addMesh(Json::array({gridPrimitive(builder, first, 1), gridPrimitive(builder, second)}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    const std::vector<Meshlet>& meshlets = r.result.meshMeshlets[0];
    const uint32_t firstVertices = uint32_t(first.positions.size() / 3);
    ASSERT_EQ(r.result.vertices.size(), firstVertices + second.positions.size() / 3);
    EXPECT_EQ(r.result.vertices[firstVertices - 1].position.z, 0.0f); // first primitive's vertices first
    EXPECT_EQ(r.result.vertices[firstVertices].position.z, 5.0f);

    // The second primitive's meshlets come after the first's, with its own material and base vertex.
    auto split =
        std::find_if(meshlets.begin(), meshlets.end(), [](const Meshlet& m) { return m.materialIndex == 0; });
    ASSERT_NE(split, meshlets.begin());
    ASSERT_NE(split, meshlets.end());
    for (auto m = meshlets.begin(); m != meshlets.end(); ++m) {
        bool ofFirst = m < split;
        EXPECT_EQ(m->materialIndex, ofFirst ? 1u : 0u);
        for (uint32_t v = 0; v < m->vertexCount; ++v) {
            uint32_t index = r.result.meshletVertices[m->vertexOffset + v];
            EXPECT_EQ(index < firstVertices, ofFirst);
            EXPECT_LT(index, r.result.vertices.size());
        }
    }
    EXPECT_EQ(meshletTriangles(r.result, std::vector<Meshlet>(split, meshlets.end())),
              inputTriangles(second));
}

TEST(MeshPass, SkippedPrimitivesPrintOneLineEachAndLeaveNothing) {
    Grid grid = makeGrid(1);
    GltfBuilder builder;
    int positions = builder.addData(grid.positions, "VEC3");
    int indices = builder.addIndices(grid.indices);
    int twoIndices = builder.addIndices(std::vector<uint32_t>{0, 1});
    Json skipped = Json::array();
    for (int mode : {0, 1, 2, 3, 5, 6}) // points, lines, loop, strip, triangle strip, fan
        skipped.push_back(primitive({{"POSITION", positions}}, indices, -1, mode));
    skipped.push_back(primitive({{"POSITION", positions}}));             // triangles without indices
    skipped.push_back(primitive({{"POSITION", positions}}, twoIndices)); // no whole triangle
    int tooMany =
        builder.addAccessor(Json{{"componentType", GL_FLOAT}, {"count", 1ull << 32}, {"type", "VEC3"}});
    skipped.push_back(primitive({{"POSITION", tooMany}}, indices)); // a vertex count beyond 32 bits
    builder.addMesh(skipped);
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    std::string expected;
    for (size_t i = 0; i < skipped.size(); ++i)
        expected += skipLine;
    EXPECT_EQ(r.output, expected);
    EXPECT_TRUE(r.result.vertices.empty());
    EXPECT_TRUE(r.result.meshletVertices.empty());
    EXPECT_TRUE(r.result.meshMeshlets[0].empty());
}

TEST(MeshPass, APrimitiveWhoseFirstAttributeHasNoElementsIsSkipped) {
    EmptyAttributeFile file;
    testing::internal::CaptureStdout();
    const MeshPassResult result = runMeshPass(&file.data);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), skipLine);
    EXPECT_TRUE(result.vertices.empty());
    EXPECT_TRUE(result.meshMeshlets[0].empty());
}

TEST(MeshPass, IndexCountIsCutToWholeTriangles) {
    Grid grid = makeGrid(2); // 8 triangles
    std::vector<uint32_t> indices = grid.indices;
    indices.push_back(0); // a partial ninth triangle
    indices.push_back(1);
    GltfBuilder builder;
    builder.addMesh(Json::array(
        {primitive({{"POSITION", builder.addData(grid.positions, "VEC3")}}, builder.addIndices(indices))}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    EXPECT_EQ(meshletTriangles(r.result, r.result.meshMeshlets[0]), inputTriangles(grid));
    EXPECT_EQ(r.output, "");
}

TEST(MeshPass, AttributesFillTheirFieldsAndMissingOnesStayZero) {
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    const std::vector<float> normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    const std::vector<float> uvs = {0.5f, 0.25f, 1, 0, 0, 1};
    const std::vector<float> tangents = {1, 0, 0, -1, 1, 0, 0, -1, 1, 0, 0, -1};
    GltfBuilder builder;
    int p = builder.addData(positions, "VEC3"), n = builder.addData(normals, "VEC3");
    int t = builder.addData(uvs, "VEC2"), g = builder.addData(tangents, "VEC4");
    int indices = builder.addIndices(std::vector<uint8_t>{0, 1, 2});
    builder.addMesh(Json::array(
        {primitive({{"POSITION", p}, {"NORMAL", n}, {"TEXCOORD_0", t}, {"TANGENT", g}}, indices)}));
    builder.addMesh(Json::array({primitive({{"TEXCOORD_1", t}, {"POSITION", p}}, indices)}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    ASSERT_EQ(r.result.vertices.size(), 6u);

    auto findFull = [&](float x, float y) {
        for (size_t i = 0; i < 3; ++i)
            if (r.result.vertices[i].position.x == x && r.result.vertices[i].position.y == y)
                return r.result.vertices[i];
        ADD_FAILURE() << "no vertex at " << x << ", " << y;
        return Vertex{};
    };
    Vertex origin = findFull(0, 0);
    EXPECT_EQ(origin.normal.z, 1.0f);
    EXPECT_EQ(origin.texcoord.x, 0.5f);
    EXPECT_EQ(origin.texcoord.y, 0.25f);
    EXPECT_EQ(origin.tangent.x, 1.0f);
    EXPECT_EQ(origin.tangent.w, -1.0f);

    // Only a second texture set, no normals and no tangents: all of those fields are zero.
    for (size_t i = 3; i < 6; ++i) {
        const Vertex& v = r.result.vertices[i];
        EXPECT_EQ(v.normal.x, 0.0f);
        EXPECT_EQ(v.normal.z, 0.0f);
        EXPECT_EQ(v.texcoord.x, 0.0f);
        EXPECT_EQ(v.texcoord.y, 0.0f);
        EXPECT_EQ(v.tangent.x, 0.0f);
        EXPECT_EQ(v.tangent.w, 0.0f);
    }
}

TEST(MeshPass, AnAttributeNarrowerThanItsFieldLeavesTheRestZero) {
    // POSITION as VEC2: the unpacking writes 6 of the 9 floats asked for, one after another, so the third
    // vertex gets nothing and stays at 0, whatever an earlier primitive left in memory.
    GltfBuilder builder;
    int indices = builder.addIndices(std::vector<uint8_t>{0, 1, 2});
    int wide = builder.addData(std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9}, "VEC3");
    int narrow = builder.addData(std::vector<float>{10, 20, 30, 40, 50, 60}, "VEC2");
    builder.addMesh(
        Json::array({primitive({{"POSITION", wide}}, indices), primitive({{"POSITION", narrow}}, indices)}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    ASSERT_EQ(r.result.vertices.size(), 6u);
    std::vector<Position> narrowPositions;
    for (size_t i = 3; i < 6; ++i)
        narrowPositions.push_back(positionOf(r.result.vertices[i]));
    std::sort(narrowPositions.begin(), narrowPositions.end());
    EXPECT_EQ(narrowPositions, (std::vector<Position>{{0, 0, 0}, {10, 20, 30}, {40, 50, 60}}));
}

TEST(MeshPass, EveryVertexOfALargePrimitiveGetsItsOwnElementsInEveryLayout) {
    // Over ten thousand vertices, so that an attribute read in pieces has several of them and a short last
    // one: positions and normals interleaved in one strided view (the normals 12 bytes in), texture
    // coordinates as normalised 16-bit integers, and tangents as a sparse accessor without a view (zeros)
    // with two elements substituted, one of them far from the start.
    constexpr uint32_t count = 10001;
    std::vector<float> interleaved;
    std::vector<uint16_t> uvs;
    std::vector<Vertex> expected(count);
    for (uint32_t k = 0; k < count; ++k) {
        Vertex& v = expected[k];
        v.position = {float(k), float(k % 7), -float(k)};
        v.normal = {0.5f, float(k % 3), float(k) * 0.25f};
        interleaved.insert(interleaved.end(),
                           {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z});
        const uint16_t u = uint16_t(k * 6), w = uint16_t(65535 - k);
        uvs.insert(uvs.end(), {u, w});
        v.texcoord = {float(u) / 65535.0f, float(w) / 65535.0f};
    }
    const std::vector<uint32_t> substituted = {5, 9000};
    const std::vector<float> tangents = {1, 0, 0, 1, 0, 0, 1, -1};
    expected[5].tangent = {1, 0, 0, 1};
    expected[9000].tangent = {0, 0, 1, -1};

    GltfBuilder builder;
    const int view = builder.addView(interleaved, 6 * sizeof(float));
    const int positions = builder.addAccessor(view, 5126, count, "VEC3");
    const int normals = builder.addAccessor(view, 5126, count, "VEC3", 3 * sizeof(float));
    const int texcoords = builder.addData(uvs, "VEC2", true);
    const int sparseTangents = builder.addAccessor(
        {{"componentType", 5126},
         {"count", count},
         {"type", "VEC4"},
         {"sparse",
          {{"count", 2},
           {"indices", {{"bufferView", builder.addView(substituted)}, {"componentType", 5125}}},
           {"values", {{"bufferView", builder.addView(tangents)}}}}}});
    std::vector<uint32_t> indices;
    for (uint32_t k = 0; k + 2 < count; ++k)
        indices.insert(indices.end(), {k, k + 1, k + 2});
    builder.addMesh(Json::array({primitive({{"POSITION", positions},
                                            {"NORMAL", normals},
                                            {"TEXCOORD_0", texcoords},
                                            {"TANGENT", sparseTangents}},
                                           builder.addIndices(indices))}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);

    // Every position is unique, so the vertices, in whatever order the pass leaves them, are found by it.
    std::vector<Vertex> vertices(r.result.vertices.begin(), r.result.vertices.end());
    ASSERT_EQ(vertices.size(), count);
    std::sort(vertices.begin(), vertices.end(),
              [](const Vertex& a, const Vertex& b) { return a.position.x < b.position.x; });
    for (uint32_t k = 0; k < count; ++k)
        ASSERT_EQ(std::memcmp(&vertices[k], &expected[k], sizeof(Vertex)), 0) << "vertex " << k;
}

TEST(MeshPass, AnAttributeWhoseBytesAreMissingReadsAsZeros) {
    // Two primitives of 5,041 vertices with normals; the second's normals lie in a buffer whose bytes were
    // never loaded, so nothing can be unpacked for them: they are zero, not what the first primitive left.
    const Grid first = makeGrid(70), second = makeGrid(70, 1.0f);
    const std::vector<float> normals(first.positions.size(), 1.0f);
    GltfBuilder builder;
    auto withNormals = [&](const Grid& grid) {
        return primitive({{"POSITION", builder.addData(grid.positions, "VEC3")},
                          {"NORMAL", builder.addData(normals, "VEC3")}},
                         builder.addIndices(grid.indices));
    };
    builder.addMesh(Json::array({withNormals(first), withNormals(second)}));
    addTrailingMeshes(builder);
    Loaded loaded = loadFromMemory(builder.glb());
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;

    auto* lost = const_cast<cgltf_accessor*>(
        cgltf_find_accessor(&loaded.data->meshes[0].primitives[1], cgltf_attribute_type_normal, 0));
    cgltf_buffer unloaded = *lost->buffer_view->buffer;
    unloaded.data = nullptr;
    cgltf_buffer_view view = *lost->buffer_view;
    view.buffer = &unloaded;
    lost->buffer_view = &view;
    const MeshPassResult result = runMeshPass(loaded.data.get());

    ASSERT_EQ(result.vertices.size(), 2 * first.positions.size() / 3);
    for (const Vertex& v : result.vertices) {
        const float expected = v.position.z == 1.0f ? 0.0f : 1.0f;
        ASSERT_EQ(v.normal.x, expected);
        ASSERT_EQ(v.normal.y, expected);
        ASSERT_EQ(v.normal.z, expected);
    }
}

TEST(MeshPass, TheBuffersAreHandedBackOnceTheirLastPrimitiveIsRead) {
    // Three primitives in two meshes. The callback spoils every byte of the buffer, as a release may; the
    // result must not change, and the callback comes exactly once, also when no mesh is processed.
    GltfBuilder builder;
    builder.addMesh(
        Json::array({gridPrimitive(builder, makeGrid(3)), gridPrimitive(builder, makeGrid(2, 1.0f))}));
    builder.addMesh(Json::array({gridPrimitive(builder, makeGrid(4, 2.0f))}));
    addTrailingMeshes(builder);
    GltfBuilder unprocessed;
    addTrailingMeshes(unprocessed);

    for (const GltfBuilder* file : {&builder, &unprocessed}) {
        Loaded kept = loadFromMemory(file->glb()), spoiled = loadFromMemory(file->glb());
        ASSERT_EQ(spoiled.failedStep, Step::None) << spoiled.result;
        const MeshPassResult expected = runMeshPass(kept.data.get());
        int calls = 0;
        const MeshPassResult result = runMeshPass(spoiled.data.get(), [&] {
            ++calls;
            const cgltf_buffer& buffer = spoiled.data->buffers[0];
            std::memset(buffer.data, 0xff, buffer.size);
        });
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(sameBytes(result.vertices, expected.vertices));
        EXPECT_EQ(result.meshletVertices, expected.meshletVertices);
        EXPECT_TRUE(sameBytes(result.meshletTriangles, expected.meshletTriangles));
        ASSERT_EQ(result.meshMeshlets.size(), expected.meshMeshlets.size());
        for (size_t m = 0; m < result.meshMeshlets.size(); ++m)
            EXPECT_TRUE(sameBytes(result.meshMeshlets[m], expected.meshMeshlets[m])) << "mesh " << m;
    }
}

TEST(MeshPass, IdenticalVerticesMergeAndUnusedOnesVanish) {
    // Vertices 0 and 3 are identical; vertex 5 is never used.
    const std::vector<float> positions = {0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1, 0, 9, 9, 9};
    GltfBuilder builder;
    builder.addMesh(Json::array({primitive({{"POSITION", builder.addData(positions, "VEC3")}},
                                           builder.addIndices(std::vector<uint16_t>{0, 1, 2, 3, 4, 1}))}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    ASSERT_EQ(r.result.vertices.size(), 4u);
    for (const Vertex& v : r.result.vertices)
        EXPECT_NE(v.position.x, 9.0f);
    ASSERT_EQ(r.result.meshMeshlets[0].size(), 1u);
    EXPECT_EQ(r.result.meshMeshlets[0][0].vertexCount, 4u);
}

TEST(MeshPass, IndexWidthsGiveTheSameResult) {
    Grid grid = makeGrid(9); // 100 vertices: fits 8 bits
    auto runWith = [&](auto indices) {
        GltfBuilder builder;
        builder.addMesh(Json::array({primitive({{"POSITION", builder.addData(grid.positions, "VEC3")}},
                                               builder.addIndices(indices))}));
        addTrailingMeshes(builder);
        return run(builder).result;
    };
    MeshPassResult wide = runWith(grid.indices);
    for (MeshPassResult narrow : {runWith(std::vector<uint8_t>(grid.indices.begin(), grid.indices.end())),
                                  runWith(std::vector<uint16_t>(grid.indices.begin(), grid.indices.end()))}) {
        EXPECT_TRUE(sameBytes(narrow.vertices, wide.vertices));
        EXPECT_EQ(narrow.meshletVertices, wide.meshletVertices);
        EXPECT_EQ(narrow.meshletTriangles, wide.meshletTriangles);
        EXPECT_TRUE(sameBytes(narrow.meshMeshlets[0], wide.meshMeshlets[0]));
    }
}

TEST(MeshPass, EveryMeshButTheLastTwoIsProcessed) {
    for (size_t meshCount : {0u, 1u, 2u, 3u, 5u}) {
        SCOPED_TRACE(meshCount);
        GltfBuilder builder;
        builder.addMaterial();
        for (size_t m = 0; m < meshCount; ++m)
            builder.addMesh(Json::array({gridPrimitive(builder, makeGrid(2, float(m)))}));
        builder.root["meshes"] = builder.root.value("meshes", Json::array());
        PassRun r = run(builder);
        ASSERT_EQ(r.result.meshMeshlets.size(), meshCount);
        size_t processed = meshCount < 2 ? 0 : meshCount - 2;
        for (size_t m = 0; m < meshCount; ++m)
            EXPECT_EQ(r.result.meshMeshlets[m].empty(), m >= processed) << "mesh " << m;
        EXPECT_EQ(r.result.vertices.size(), processed * 9);
    }
}

TEST(MeshPass, ConePacksAxisAndCutoffAsRawBytes) {
    // One triangle facing -z: axis (0, 0, -1), so z is the negative byte 0x81 and nothing spills upwards.
    GltfBuilder builder;
    builder.addMesh(Json::array(
        {primitive({{"POSITION", builder.addData(std::vector<float>{0, 0, 0, 0, 1, 0, 1, 0, 0}, "VEC3")}},
                   builder.addIndices(std::vector<uint8_t>{0, 1, 2}))}));
    addTrailingMeshes(builder);
    PassRun r = run(builder);
    ASSERT_EQ(r.result.meshMeshlets[0].size(), 1u);
    const Meshlet& meshlet = r.result.meshMeshlets[0][0];

    std::vector<uint8_t> corners(r.result.meshletTriangles.begin(), r.result.meshletTriangles.end());
    meshopt_Bounds bounds = meshopt_computeMeshletBounds(&r.result.meshletVertices[0], corners.data(), 1,
                                                         &r.result.vertices[0].position.x,
                                                         r.result.vertices.size(), sizeof(Vertex));
    ASSERT_EQ(bounds.cone_axis_s8[2], -127);
    uint8_t bytes[4];
    std::memcpy(bytes, &meshlet.cone, 4);
    EXPECT_EQ(bytes[0], uint8_t(bounds.cone_cutoff_s8));
    EXPECT_EQ(bytes[1], 0x81); // z
    EXPECT_EQ(bytes[2], 0x00); // y
    EXPECT_EQ(bytes[3], 0x00); // x
    EXPECT_FLOAT_EQ(meshlet.center.x, bounds.center[0]);
    EXPECT_FLOAT_EQ(meshlet.radius, bounds.radius);
}
