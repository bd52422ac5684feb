// The whole import on the stand-in GPU: the srvHeap slots in their order, the six buffers read back against
// what the parsed file says, empty lists, and scenes the import refuses.
#include "scene/Scene.h"

#include "SceneFixture.h"
#include "scene/MeshPass.h"
#include "support/DdsBuilder.h"

#include <standin/Gpu.h>

#include <cstring>
#include <optional>

using namespace fixture;

namespace {

template <typename T, typename A> std::vector<uint8_t> bytesOf(const std::vector<T, A>& list) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(list.data());
    return std::vector<uint8_t>(bytes, bytes + list.size() * sizeof(T));
}

struct BufferExpectation {
    const char* name;
    StructuredBuffer Scene::*buffer;
    uint32_t SceneInfo::*index;
    uint32_t stride;
    std::vector<uint8_t> contents; // one zeroed element for an empty list
    uint32_t elements;
};

Material material(Vec4 baseColor, uint32_t baseColorTexture, uint32_t normalTexture, Vec3 emissive,
                  uint32_t emissiveTexture, float roughness, float metallic) {
    Material m = {};
    m.baseColorFactor = baseColor;
    m.baseColorTexture = baseColorTexture;
    m.normalTexture = normalTexture;
    m.emissiveFactor = emissive;
    m.emissiveTexture = emissiveTexture;
    m.roughnessFactor = roughness;
    m.metallicFactor = metallic;
    return m;
}

Mesh meshRecord(std::array<float, 16> transform, float maxScale) {
    Mesh mesh = {};
    std::memcpy(mesh.transform.m, transform.data(), sizeof mesh.transform);
    mesh.maxScale = maxScale;
    return mesh;
}

} // namespace

class LoadSceneTest : public SceneFixture {
protected:
    // Checks the six buffers, their views and names and SceneInfo against the expectations, in slot order
    // from firstSlot on.
    void expectBuffers(const std::vector<BufferExpectation>& buffers, uint32_t firstSlot) {
        ASSERT_EQ(buffers.size(), 6u);
        for (uint32_t i = 0; i < 6; ++i) {
            const BufferExpectation& b = buffers[i];
            SCOPED_TRACE(b.name);
            const StructuredBuffer& buffer = scene.*b.buffer;
            EXPECT_EQ(buffer.descriptorIndex, firstSlot + i);
            EXPECT_EQ(sceneInfo.*b.index, firstSlot + i);
            EXPECT_EQ(standin::resourceName(buffer.resource), b.name);
            EXPECT_EQ(standin::readResource(buffer.resource), b.contents);
            const standin::DescriptorContents view = standin::descriptorAt(srvHeap.heap, firstSlot + i);
            EXPECT_EQ(view.resource, buffer.resource);
            EXPECT_EQ(view.shaderResourceView.ViewDimension, D3D12_SRV_DIMENSION_BUFFER);
            EXPECT_EQ(view.shaderResourceView.Buffer.StructureByteStride, b.stride);
            EXPECT_EQ(view.shaderResourceView.Buffer.NumElements, b.elements);
        }
    }
};

TEST_F(LoadSceneTest, TheSceneBecomesItsBuffersTexturesAndStructures) {
    GltfBuilder b;
    const std::vector<float> quad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const std::vector<float> up = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    const std::vector<float> uv = {0, 0, 1, 0, 1, 1, 0, 1};
    const std::vector<float> triangle = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    auto trianglePrimitive = [&](int material) {
        return primitive({{"POSITION", b.addData(triangle, "VEC3")}},
                         b.addIndices(std::vector<uint16_t>{0, 1, 2}), material);
    };
    b.addMesh(Json::array({primitive({{"POSITION", b.addData(quad, "VEC3")},
                                      {"NORMAL", b.addData(up, "VEC3")},
                                      {"TEXCOORD_0", b.addData(uv, "VEC2")}},
                                     b.addIndices(std::vector<uint16_t>{0, 1, 2, 0, 2, 3}), 0),
                           trianglePrimitive(1)}));
    b.addMesh(Json::array({trianglePrimitive(-1)}));
    b.addMesh(Json::array({trianglePrimitive(-1)})); // the last two meshes only cast shadows
    b.addMesh(Json::array({trianglePrimitive(-1)}));
    const float s = std::sqrt(0.5f);
    b.addNode({{"mesh", 0}, {"translation", {1, 0, 0}}, {"children", {1}}});          // 0
    b.addNode({{"mesh", 1}, {"scale", {-1, 1, 1}}});                                  // 1
    b.addNode({{"mesh", 0}, {"rotation", {0, s, 0, s}}, {"translation", {0, 0, 4}}}); // 2: shares mesh 0
    b.addNode({{"mesh", 2}});                                                         // 3
    b.addNode({{"name", "empty"}});                                                   // 4
    b.addNode({{"mesh", 0}});                                                         // 5: in no scene
    b.root["scenes"] = Json::array({{{"nodes", {0, 2, 3}}}});
    b.root["scene"] = 0;
    const int embedded = b.addView(std::vector<uint8_t>{0x89, 'P', 'N', 'G'});
    b.root["images"] = Json::array({{{"uri", "textures/wood%20planks.png"}},
                                    {{"uri", "plain.png"}},
                                    {{"bufferView", embedded}, {"mimeType", "image/png"}},
                                    {{"uri", "data:image/png;base64,iVBORw0KGgo="}}});
    b.root["textures"] = Json::array({{{"source", 0}}, {{"source", 1}}, {{"source", 2}}, {{"source", 3}}});
    b.addMaterial({{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 0}}}}},
                   {"normalTexture", {{"index", 1}}}});
    b.addMaterial({{"pbrMetallicRoughness", {{"baseColorFactor", {0.5, 0.5, 0.5, 1}}, {"metallicFactor", 0}}},
                   {"emissiveTexture", {{"index", 2}}},
                   {"emissiveFactor", {1, 1, 0}}});
    folder.write("scene.bin", b.bin);
    const std::string path = folder.write("scene.gltf", b.json(BufferStorage::File));
    DdsDescription compressed;
    compressed.format = 71;
    compressed.width = compressed.height = 8;
    compressed.mipCount = 4;
    folder.write("textures/wood planks.dds", ddsFile(compressed));
    DdsDescription plain;
    folder.write("plain.dds", ddsFile(plain, 50));

    testing::internal::CaptureStdout();
    loadScene(path.c_str(), &scene, &sceneInfo);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    // Slots: two per accepted primitive (5), then the two images with files, then the six buffers.
    EXPECT_EQ(srvHeap.count, 10u + 2 + 6);
    const standin::DescriptorContents wood = standin::descriptorAt(srvHeap.heap, 10);
    const standin::DescriptorContents plainView = standin::descriptorAt(srvHeap.heap, 11);
    EXPECT_EQ(wood.shaderResourceView.Format, DXGI_FORMAT_BC1_UNORM);
    EXPECT_EQ(standin::readResource(wood.resource, 3), ddsSubresources(compressed)[3]);
    EXPECT_EQ(plainView.shaderResourceView.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(standin::readResource(plainView.resource), ddsSubresources(plain, 50)[0]);
    ASSERT_NE(tlas, nullptr);
    EXPECT_EQ(instanceDescCount, 4u) << "nodes 0, 1, 2 and 3 of the default scene";
    // The structures are built from the file's bytes before the import lets them go: the first geometry
    // holds the quad.
    std::optional<D3D12_RAYTRACING_GEOMETRY_DESC> quadGeometry;
    for (const standin::Submission& submission : standin::submissions())
        for (const standin::RecordedCommand& command : submission.commands)
            if (!quadGeometry && command.kind == standin::CommandKind::BuildRaytracingAccelerationStructure)
                quadGeometry = command.geometries.at(0);
    ASSERT_TRUE(quadGeometry.has_value());
    std::vector<float> quadPositions(quad.size());
    std::vector<uint32_t> quadIndices(6);
    ASSERT_TRUE(standin::readGpuMemory(quadGeometry->Triangles.VertexBuffer.StartAddress,
                                       quadPositions.data(), quadPositions.size() * 4));
    ASSERT_TRUE(standin::readGpuMemory(quadGeometry->Triangles.IndexBuffer, quadIndices.data(), 6 * 4));
    EXPECT_EQ(quadPositions, quad);
    EXPECT_EQ(quadIndices, (std::vector<uint32_t>{0, 1, 2, 0, 2, 3}));

    // What the buffers must hold, from the parsed file and the mesh pass's lists.
    GltfPointer data = load(b);
    const MeshPassResult geometry = runMeshPass(data.get());
    ASSERT_EQ(geometry.meshMeshlets[0].size(), 2u) << "one meshlet per primitive";
    const int meshOfRecord[] = {0, 1, 0, 2, 0};
    std::vector<Meshlet> meshlets;
    for (uint32_t record = 0; record < 5; ++record)
        for (Meshlet meshlet : geometry.meshMeshlets[meshOfRecord[record]]) {
            meshlet.meshIndex = record;
            meshlets.push_back(meshlet);
        }
    const std::vector<Mesh> meshes = {
        meshRecord({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1}, 1),
        meshRecord({-1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 1}, -1),
        meshRecord({0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 4, 1}, 1),
        meshRecord({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 1),
        meshRecord({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, 1),
    };
    const std::vector<Material> materials = {
        material({1, 1, 1, 1}, 11, 12, {0, 0, 0}, 0, 1, 1),
        material({0.5f, 0.5f, 0.5f, 1}, 0, 0, {1, 1, 0}, 0, 1, 0),
    };
    std::vector<uint8_t> meshBytes = bytesOf(meshes);
    std::vector<uint8_t> readMeshes = standin::readResource(scene.meshes.resource);
    ASSERT_EQ(readMeshes.size(), meshBytes.size());
    for (size_t f = 0; f < meshBytes.size() / 4; ++f) { // rotations leave rounding in the last bits
        float expected, actual;
        std::memcpy(&expected, &meshBytes[4 * f], 4);
        std::memcpy(&actual, &readMeshes[4 * f], 4);
        EXPECT_NEAR(actual, expected, 1e-6f) << "float " << f << " of \"Meshes\"";
    }
    expectBuffers({{"Vertices", &Scene::vertices, &SceneInfo::verticesIndex, 48, bytesOf(geometry.vertices),
                    uint32_t(geometry.vertices.size())},
                   {"MeshletVertices", &Scene::meshletVertices, &SceneInfo::meshletVerticesIndex, 4,
                    bytesOf(geometry.meshletVertices), uint32_t(geometry.meshletVertices.size())},
                   {"MeshletTriangles", &Scene::meshletTriangles, &SceneInfo::meshletTrianglesIndex, 4,
                    bytesOf(geometry.meshletTriangles), uint32_t(geometry.meshletTriangles.size())},
                   {"Meshlets", &Scene::meshlets, &SceneInfo::meshletsIndex, 44, bytesOf(meshlets),
                    uint32_t(meshlets.size())},
                   {"Meshes", &Scene::meshes, &SceneInfo::meshesIndex, 68, readMeshes, 5},
                   {"Materials", &Scene::materials, &SceneInfo::materialsIndex, 56, bytesOf(materials), 2}},
                  12);
    EXPECT_EQ(sceneInfo.meshletCount, meshlets.size());
    EXPECT_EQ(sceneInfo.meshletCount, 7u);
}

TEST_F(LoadSceneTest, EmptyListsGetOneZeroedElementAndKeepTheirCounts) {
    // Two meshes, both shadow-only: no vertices or meshlets; no materials; no textures.
    GltfBuilder b;
    for (int m = 0; m < 2; ++m)
        b.addMesh(Json::array(
            {primitive({{"POSITION", b.addData(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3")}},
                       b.addIndices(std::vector<uint16_t>{0, 1, 2}))}));
    b.addNode({{"mesh", 1}, {"translation", {0, 3, 0}}});
    const std::string path = folder.write("empty.gltf", b.json(BufferStorage::DataUri));

    testing::internal::CaptureStdout();
    loadScene(path.c_str(), &scene, &sceneInfo);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "No instances gefunden!\n");

    auto zeros = [](size_t n) { return std::vector<uint8_t>(n, 0); };
    const std::vector<Mesh> meshes = {meshRecord({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 3, 0, 1}, 1)};
    expectBuffers(
        {{"Vertices", &Scene::vertices, &SceneInfo::verticesIndex, 48, zeros(48), 1},
         {"MeshletVertices", &Scene::meshletVertices, &SceneInfo::meshletVerticesIndex, 4, zeros(4), 1},
         {"MeshletTriangles", &Scene::meshletTriangles, &SceneInfo::meshletTrianglesIndex, 4, zeros(4), 1},
         {"Meshlets", &Scene::meshlets, &SceneInfo::meshletsIndex, 44, zeros(44), 1},
         {"Meshes", &Scene::meshes, &SceneInfo::meshesIndex, 68, bytesOf(meshes), 1},
         {"Materials", &Scene::materials, &SceneInfo::materialsIndex, 56, zeros(56), 1}},
        4);
    EXPECT_EQ(sceneInfo.meshletCount, 0u);
}

TEST_F(LoadSceneTest, AMissingTextureStopsTheImport) {
    GltfBuilder b;
    b.root["images"] = Json::array({{{"uri", "absent.png"}}});
    const std::string path = folder.write("scene.gltf", b.json(BufferStorage::DataUri));
    const std::string texture = (folder.path / "absent.dds").string();
    EXPECT_EQ(outputOfExit([&] { loadScene(path.c_str(), &scene, &sceneInfo); }),
              "No instances gefunden!\nFailed to load texture " + texture + ": the file cannot be opened\n");
}

TEST_F(LoadSceneTest, MoreMeshletsThanOneMeshDispatchCoversAreRefused) {
    // Separate triangles: each meshlet holds at most 21 of them (64 vertices).
    GltfBuilder b;
    std::vector<float> positions;
    std::vector<uint32_t> indices;
    for (uint32_t t = 0; t < 21 * 2048; ++t) {
        const float x = float(t % 256), y = float(t / 256);
        for (float corner : {0.0f, 1.0f, 2.0f}) {
            positions.insert(positions.end(),
                             {x + (corner == 1.0f ? 0.5f : 0.0f), y + (corner == 2.0f ? 0.5f : 0.0f), 0});
            indices.push_back(uint32_t(indices.size()));
        }
    }
    b.addMesh(Json::array({primitive({{"POSITION", b.addData(positions, "VEC3")}}, b.addIndices(indices))}));
    for (int m = 0; m < 2; ++m)
        b.addMesh(Json::array(
            {primitive({{"POSITION", b.addData(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3")}},
                       b.addIndices(std::vector<uint16_t>{0, 1, 2}))}));
    GltfPointer data = load(b);
    const size_t perNode = runMeshPass(data.get()).meshMeshlets[0].size();
    ASSERT_GT(perNode, 1000u);
    // Just enough nodes for one group past the limit of 65535 groups of 32.
    const size_t nodes = (65535u * 32 + 1 + perNode - 1) / perNode;
    for (size_t n = 0; n < nodes; ++n)
        b.addNode({{"mesh", 0}});
    folder.write("scene.bin", b.bin);
    const std::string path = folder.write("scene.gltf", b.json(BufferStorage::File));

    const size_t meshlets = nodes * perNode, groups = (meshlets + 31) / 32;
    ASSERT_GT(groups, 65535u);
    EXPECT_EQ(outputOfExit([&] { loadScene(path.c_str(), &scene, &sceneInfo); }),
              "No instances gefunden!\nThe scene has " + std::to_string(meshlets) + " meshlets, which need " +
                  std::to_string(groups) +
                  " amplification groups: more than the mesh-dispatch limit of 65535 groups\n");
    EXPECT_EQ(srvHeap.count, 6u) << "no scene buffer was made";
}

TEST_F(LoadSceneTest, TheMeshDispatchLimitIsTheLastGroupOf32Meshlets) {
    for (size_t meshlets : {size_t(0), size_t(1), size_t(65535) * 32 - 31, size_t(65535) * 32})
        EXPECT_EQ(outputOfExit([&] { checkMeshDispatchLimit(meshlets); }), "(did not stop)") << meshlets;
    EXPECT_EQ(outputOfExit([] { checkMeshDispatchLimit(65535 * 32 + 1); }),
              "The scene has 2097121 meshlets, which need 65536 amplification groups: more than the "
              "mesh-dispatch limit of 65535 groups\n");
}
