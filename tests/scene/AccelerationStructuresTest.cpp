// The acceleration structures of the scene import on the stand-in GPU: the geometry of every mesh, the
// instances of the default scene's node tree, the paths without a top-level structure, and the checked calls.
#include "scene/AccelerationStructures.h"

#include "EmptyAttributeFile.h"
#include "SceneFixture.h"

#include <standin/Gpu.h>

#include <cmath>
#include <cstring>

using namespace fixture;

namespace {

const std::vector<float> TRIANGLE = {0, 0, 0, 1, 0, 0, 0, 1, 0};

// One triangle-list primitive with positions and 16-bit indices.
Json trianglePrimitive(GltfBuilder& builder, const std::vector<float>& positions = TRIANGLE,
                       const std::vector<uint16_t>& indices = {0, 1, 2}) {
    return primitive({{"POSITION", builder.addData(positions, "VEC3")}}, builder.addIndices(indices));
}

using Rows = std::array<std::array<float, 4>, 3>;

Rows rowsOf(const D3D12_RAYTRACING_INSTANCE_DESC& instance) {
    Rows rows;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            rows[r][c] = instance.Transform[r][c];
    return rows;
}

void expectRows(const Rows& actual, const Rows& expected) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(actual[r][c], expected[r][c], 1e-5f) << "row " << r << " column " << c;
}

std::vector<D3D12_RAYTRACING_INSTANCE_DESC> mappedInstances() {
    std::vector<D3D12_RAYTRACING_INSTANCE_DESC> instances(instanceDescCount);
    std::memcpy(instances.data(), mappedInstanceDescs, instances.size() * sizeof(instances[0]));
    return instances;
}

std::vector<standin::RecordedCommand> builds() {
    std::vector<standin::RecordedCommand> found;
    for (const standin::Submission& submission : standin::submissions())
        for (const standin::RecordedCommand& command : submission.commands)
            if (command.kind == standin::CommandKind::BuildRaytracingAccelerationStructure)
                found.push_back(command);
    return found;
}

} // namespace

class AccelerationStructuresTest : public SceneFixture {};

TEST_F(AccelerationStructuresTest, InstancesFollowTheDefaultSceneDepthFirst) {
    GltfBuilder b;
    b.addMesh(Json::array({trianglePrimitive(b)}));
    b.addMesh(Json::array({trianglePrimitive(b)}));
    const float s = std::sqrt(0.5f);
    // 0 A, root: translated, mesh 0; children B and D.
    b.addNode({{"mesh", 0}, {"translation", {1, 0, 0}}, {"children", {1, 3}}});
    // 1 B: no mesh, turned 90 degrees about y and raised; child C.
    b.addNode({{"rotation", {0, s, 0, s}}, {"translation", {0, 2, 0}}, {"children", {2}}});
    // 2 C: mesh 0, a matrix moving 5 along z, and TRS that the matrix overrides.
    b.addNode({{"mesh", 0},
               {"matrix", {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 5, 1}},
               {"translation", {100, 100, 100}},
               {"scale", {3, 3, 3}}});
    // 3 D: mesh 1, moved back.
    b.addNode({{"mesh", 1}, {"translation", {0, 0, -3}}});
    // 4 E, second root: mesh 1, scaled.
    b.addNode({{"mesh", 1}, {"scale", {2, 2, 2}}});
    // 5 F in another scene, 6 G in none: no instances.
    b.addNode({{"mesh", 0}});
    b.addNode({{"mesh", 1}});
    b.root["scenes"] = Json::array({{{"nodes", {0, 4}}}, {{"nodes", {5}}}});
    b.root["scene"] = 0;
    GltfPointer data = load(b);

    testing::internal::CaptureStdout();
    buildAccelerationStructures(data.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    ASSERT_EQ(blasList.size(), 2u);
    ASSERT_EQ(instanceDescCount, 4u);
    ASSERT_NE(tlas, nullptr);
    const std::vector<D3D12_RAYTRACING_INSTANCE_DESC> instances = mappedInstances();
    const int meshOf[] = {0, 0, 1, 1}; // A, C, D, E
    const Rows expected[] = {
        {{{1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, 0}}},  // A
        {{{0, 0, 1, 6}, {0, 1, 0, 2}, {-1, 0, 0, 0}}}, // C: B's turn, (0, 0, 5) turned to (5, 0, 0)
        {{{1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 1, -3}}}, // D
        {{{2, 0, 0, 0}, {0, 2, 0, 0}, {0, 0, 2, 0}}},  // E
    };
    for (uint32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(testing::Message() << "instance " << i);
        EXPECT_EQ(instances[i].InstanceID, i);
        EXPECT_EQ(instances[i].InstanceMask, 0xFFu);
        EXPECT_EQ(instances[i].InstanceContributionToHitGroupIndex, 0u);
        EXPECT_EQ(instances[i].Flags, 0u);
        EXPECT_EQ(instances[i].AccelerationStructure, blasList[meshOf[i]]->GetGPUVirtualAddress());
        expectRows(rowsOf(instances[i]), expected[i]);
    }

    // The top-level structure was built over exactly these descriptions, to allow updates.
    standin::AccelerationStructureInfo info;
    ASSERT_TRUE(standin::describeAccelerationStructure(tlas->GetGPUVirtualAddress(), &info));
    EXPECT_EQ(info.type, D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL);
    ASSERT_EQ(info.instances.size(), 4u);
    EXPECT_EQ(std::memcmp(info.instances.data(), instances.data(), 4 * sizeof(instances[0])), 0);
    const standin::RecordedCommand top = builds().back();
    EXPECT_EQ(top.build.Inputs.Flags, D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_ALLOW_UPDATE);
    EXPECT_EQ(top.build.Inputs.InstanceDescs, instanceDescBuffer->GetGPUVirtualAddress());
    EXPECT_EQ(instanceDescBuffer->GetDesc().Width, 4u * 64);

    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes = {};
    device->GetRaytracingAccelerationStructurePrebuildInfo(&top.build.Inputs, &sizes);
    EXPECT_EQ(tlasUpdateScratch->GetDesc().Width, std::max<uint64_t>(8, sizes.UpdateScratchDataSizeInBytes));
    EXPECT_EQ(standin::resourceState(tlas), D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE);
}

TEST_F(AccelerationStructuresTest, EveryAcceptedPrimitiveGetsItsIndicesAndPositionsInTwoSlots) {
    GltfBuilder b;
    const std::vector<float> positions = {0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0};
    const int normals = b.addData(std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3");
    b.addMesh(Json::array({
        trianglePrimitive(b, positions, {0, 1, 2, 1, 3, 2}),
        primitive({{"POSITION", b.addData(TRIANGLE, "VEC3")}}, b.addIndices(std::vector<uint16_t>{0, 1}), -1,
                  1),                                           // lines
        primitive({{"POSITION", b.addData(TRIANGLE, "VEC3")}}), // no indices
        // No POSITION: zero positions, as many as the first attribute has; 5 indices make one triangle.
        primitive({{"NORMAL", normals}}, b.addIndices(std::vector<uint8_t>{2, 1, 0, 1, 2})),
    }));
    b.addMesh(Json::array({trianglePrimitive(b)}));
    GltfPointer data = load(b);

    testing::internal::CaptureStdout();
    buildAccelerationStructures(data.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Invalid primitive type or no indices\nInvalid primitive type or no indices\n"
              "No instances gefunden!\n");

    EXPECT_EQ(srvHeap.count, 6u) << "two slots for each of the three accepted primitives";
    const std::vector<standin::RecordedCommand> built = builds();
    ASSERT_EQ(built.size(), 2u) << "one per mesh, no top level";
    ASSERT_EQ(built[0].geometries.size(), 2u);
    ASSERT_EQ(built[1].geometries.size(), 1u);
    for (const standin::RecordedCommand& bottom : built) {
        EXPECT_EQ(bottom.build.Inputs.Type, D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL);
        EXPECT_EQ(bottom.build.Inputs.Flags,
                  D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_PREFER_FAST_TRACE);
        EXPECT_EQ(bottom.build.SourceAccelerationStructureData, 0u) << "a build, not an update";
    }
    struct Expected {
        std::vector<uint32_t> indices;
        std::vector<float> positions;
    } expected[] = {
        {{0, 1, 2, 1, 3, 2}, positions},
        {{2, 1, 0}, std::vector<float>(9, 0.0f)},
        {{0, 1, 2}, TRIANGLE},
    };
    const D3D12_RAYTRACING_GEOMETRY_DESC geometries[] = {built[0].geometries[0], built[0].geometries[1],
                                                         built[1].geometries[0]};
    for (uint32_t g = 0; g < 3; ++g) {
        SCOPED_TRACE(testing::Message() << "geometry " << g);
        const D3D12_RAYTRACING_GEOMETRY_TRIANGLES_DESC& t = geometries[g].Triangles;
        EXPECT_EQ(geometries[g].Type, D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES);
        EXPECT_EQ(geometries[g].Flags, D3D12_RAYTRACING_GEOMETRY_FLAG_OPAQUE);
        EXPECT_EQ(t.Transform3x4, 0u);
        EXPECT_EQ(t.IndexFormat, DXGI_FORMAT_R32_UINT);
        EXPECT_EQ(t.VertexFormat, DXGI_FORMAT_R32G32B32_FLOAT);
        EXPECT_EQ(t.VertexBuffer.StrideInBytes, 12u);
        ASSERT_EQ(t.IndexCount, expected[g].indices.size());
        ASSERT_EQ(t.VertexCount, expected[g].positions.size() / 3);
        std::vector<uint32_t> indices(t.IndexCount);
        std::vector<float> readPositions(t.VertexCount * 3);
        ASSERT_TRUE(standin::readGpuMemory(t.IndexBuffer, indices.data(), indices.size() * 4));
        ASSERT_TRUE(standin::readGpuMemory(t.VertexBuffer.StartAddress, readPositions.data(),
                                           readPositions.size() * 4));
        EXPECT_EQ(indices, expected[g].indices);
        EXPECT_EQ(readPositions, expected[g].positions);
        // The index buffer's view takes the first of the primitive's two slots.
        EXPECT_EQ(standin::descriptorAt(srvHeap.heap, 2 * g).resource->GetGPUVirtualAddress(), t.IndexBuffer);
        EXPECT_EQ(standin::descriptorAt(srvHeap.heap, 2 * g + 1).resource->GetGPUVirtualAddress(),
                  t.VertexBuffer.StartAddress);
    }
}

TEST_F(AccelerationStructuresTest, EveryBuildIsSubmittedAloneAndWaitedFor) {
    GltfBuilder b;
    b.addMesh(Json::array({trianglePrimitive(b)}));
    b.addMesh(Json::array({trianglePrimitive(b)}));
    b.addNode({{"mesh", 0}});
    b.addNode({{"mesh", 1}});
    b.root["scenes"] = Json::array({{{"nodes", {0, 1}}}});
    b.root["scene"] = 0;
    GltfPointer data = load(b);
    standin::setGpuDelay(5); // a slow GPU: only a wait makes the results ready in time
    buildAccelerationStructures(data.get());
    standin::setGpuDelay(0);

    size_t buildSubmissions = 0;
    for (const standin::Submission& submission : standin::submissions())
        for (const standin::RecordedCommand& command : submission.commands)
            if (command.kind == standin::CommandKind::BuildRaytracingAccelerationStructure) {
                EXPECT_EQ(submission.commands.size(), 1u) << "a build is submitted alone";
                ++buildSubmissions;
            }
    EXPECT_EQ(buildSubmissions, 3u);
    // Every submission's fence value has been reached: 2 x 2 geometry uploads and 3 builds.
    EXPECT_EQ(uploadFenceValue, 8u);
    EXPECT_EQ(fence->GetCompletedValue(), uploadFenceValue - 1);
    for (ID3D12Resource* structure : {blasList[0], blasList[1], tlas})
        EXPECT_TRUE(standin::describeAccelerationStructure(structure->GetGPUVirtualAddress(), nullptr));
}

TEST_F(AccelerationStructuresTest, WithoutAnInstanceThereIsNoTopLevelStructure) {
    struct Case {
        const char* name;
        void (*shape)(GltfBuilder&);
        standin::PrebuildQuirks quirks;
    } cases[] = {
        {"no default scene",
         [](GltfBuilder& b) {
             b.root["scenes"] = Json::array({{{"nodes", {0}}}});
         },
         {}},
        {"a default scene without mesh nodes",
         [](GltfBuilder& b) {
             b.addNode({{"name", "empty"}});
             b.root["scenes"] = Json::array({{{"nodes", {1}}}});
             b.root["scene"] = 0;
         },
         {}},
        {"a mesh whose structure has no size",
         [](GltfBuilder& b) {
             b.root["scenes"] = Json::array({{{"nodes", {0}}}});
             b.root["scene"] = 0;
         },
         {true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        standin::setPrebuildQuirks(c.quirks);
        GltfBuilder b;
        // Every primitive is left out: a mesh without geometry.
        b.addMesh(Json::array({primitive({{"POSITION", b.addData(TRIANGLE, "VEC3")}})}));
        b.addNode({{"mesh", 0}});
        c.shape(b);
        GltfPointer data = load(b);

        testing::internal::CaptureStdout();
        buildAccelerationStructures(data.get());
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Invalid primitive type or no indices\nNo instances gefunden!\n");
        EXPECT_EQ(tlas, nullptr);
        EXPECT_EQ(instanceDescBuffer, nullptr);
        EXPECT_EQ(mappedInstanceDescs, nullptr);
        EXPECT_EQ(instanceDescCount, 0u);
        EXPECT_EQ(tlasUpdateScratch, nullptr);
        ASSERT_EQ(blasList.size(), 1u);
        EXPECT_EQ(blasList[0] == nullptr, c.quirks.emptyBuildsHaveNoSize) << "no structure of no size";
        for (const standin::RecordedCommand& build : builds())
            EXPECT_EQ(build.build.Inputs.Type, D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL);
    }
}

TEST_F(AccelerationStructuresTest, AMeshWithoutGeometryStillGetsAStructureAndInstances) {
    GltfBuilder b;
    b.addMesh(Json::array({primitive({{"POSITION", b.addData(TRIANGLE, "VEC3")}}, -1, -1, 0)})); // points
    b.addNode({{"mesh", 0}});
    b.root["scenes"] = Json::array({{{"nodes", {0}}}});
    b.root["scene"] = 0;
    GltfPointer data = load(b);
    testing::internal::CaptureStdout();
    buildAccelerationStructures(data.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Invalid primitive type or no indices\n");
    ASSERT_NE(blasList[0], nullptr);
    EXPECT_EQ(builds()[0].geometries.size(), 0u);
    ASSERT_EQ(instanceDescCount, 1u);
    EXPECT_EQ(mappedInstances()[0].AccelerationStructure, blasList[0]->GetGPUVirtualAddress());
    EXPECT_EQ(srvHeap.count, 0u);
}

// A build records on the current frame slot's allocator, whatever the other slot's allocator is doing (here
// another list records into it, which a reset on it would collide with), and only its result outlives it.
TEST_F(AccelerationStructuresTest, ABuildRecordsOnTheCurrentSlotsAllocatorAndReleasesItsScratchBuffer) {
    StructuredBuffer positions = createStructuredBuffer(reinterpret_cast<const uint8_t*>(TRIANGLE.data()), 3,
                                                        3 * sizeof(float), false, nullptr);
    D3D12_RAYTRACING_GEOMETRY_DESC geometry = {};
    geometry.Type = D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES;
    geometry.Flags = D3D12_RAYTRACING_GEOMETRY_FLAG_OPAQUE;
    geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32_FLOAT;
    geometry.Triangles.VertexCount = 3;
    geometry.Triangles.VertexBuffer = {positions.resource->GetGPUVirtualAddress(), 3 * sizeof(float)};
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs = {};
    inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
    inputs.NumDescs = 1;
    inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    inputs.pGeometryDescs = &geometry;
    withTheOtherSlotsAllocatorRecording([&] {
        const size_t before = standin::liveObjectCount();
        ID3D12Resource* structure = buildAccelerationStructure(&inputs);
        standin::waitForGpuIdle();
        ASSERT_NE(structure, nullptr);
        EXPECT_EQ(standin::liveObjectCount(), before + 1) << "the result alone";
        EXPECT_EQ(standin::validationErrorCount(), 0u) << joinedFindings();
        structure->Release();
    });
    positions.resource->Release();
}

TEST_F(AccelerationStructuresTest, APrimitiveWhoseFirstAttributeHasNoElementsIsLeftOut) {
    EmptyAttributeFile file;
    testing::internal::CaptureStdout();
    buildAccelerationStructures(&file.data);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Invalid primitive type or no indices\nNo instances gefunden!\n");
    EXPECT_EQ(srvHeap.count, 0u) << "no buffers for it";
    ASSERT_FALSE(builds().empty());
    EXPECT_EQ(builds()[0].geometries.size(), 0u);
}

TEST_F(AccelerationStructuresTest, ScratchSizesOfZeroStillGetBuffers) {
    standin::setPrebuildQuirks({false, true});
    GltfBuilder b;
    b.addMesh(Json::array({trianglePrimitive(b)}));
    b.addNode({{"mesh", 0}});
    b.root["scenes"] = Json::array({{{"nodes", {0}}}});
    b.root["scene"] = 0;
    GltfPointer data = load(b);
    EXPECT_EQ(outputOfStop([&] { buildAccelerationStructures(data.get()); }), "(did not stop)");
    ASSERT_NE(tlas, nullptr);
    EXPECT_EQ(tlasUpdateScratch->GetDesc().Width, 8u);
    for (const standin::RecordedCommand& build : builds())
        EXPECT_NE(build.build.ScratchAccelerationStructureData, 0u);
}

TEST_F(AccelerationStructuresTest, AFailedCallStopsWithItsText) {
    struct Case {
        const char* call;
        unsigned skip;
        const char* text;
    } cases[] = {
        {"ID3D12Device::CreateCommittedResource", 0,
         "device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &scratchDesc, "
         "D3D12_RESOURCE_STATE_COMMON, nullptr, IID_PPV_ARGS(&scratch))"},
        {"ID3D12Device::CreateCommittedResource", 1,
         "device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &resultDesc, "
         "D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE, nullptr, IID_PPV_ARGS(&result))"},
        {"ID3D12Device::CreateCommittedResource", 2,
         "device->CreateCommittedResource(&uploadHeap, D3D12_HEAP_FLAG_NONE, &instanceDesc, "
         "D3D12_RESOURCE_STATE_GENERIC_READ, nullptr, IID_PPV_ARGS(&instanceDescBuffer))"},
        {"ID3D12Device::CreateCommittedResource", 5,
         "device->CreateCommittedResource(&defaultHeap, D3D12_HEAP_FLAG_NONE, &updateScratchDesc, "
         "D3D12_RESOURCE_STATE_COMMON, nullptr, IID_PPV_ARGS(&tlasUpdateScratch))"},
        {"ID3D12Resource::Map", 0,
         "instanceDescBuffer->Map(0, nullptr, reinterpret_cast<void**>(&mappedInstanceDescs))"},
        {"ID3D12GraphicsCommandList::Reset", 1, "commandList->Reset(commandAllocators[frameIndex], nullptr)"},
        {"ID3D12GraphicsCommandList::Close", 0, "commandList->Close()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.call << " after " << c.skip);
        restart();
        GltfBuilder b;
        b.addMesh(Json::array({primitive({{"POSITION", b.addData(TRIANGLE, "VEC3")}}, -1, -1, 0)}));
        b.addNode({{"mesh", 0}});
        b.root["scenes"] = Json::array({{{"nodes", {0}}}});
        b.root["scene"] = 0;
        GltfPointer data = load(b);
        standin::failCall(c.call, false, E_FAIL, c.skip);
        EXPECT_EQ(outputOfStop([&] { buildAccelerationStructures(data.get()); }),
                  std::string("Invalid primitive type or no indices\nError: ") + c.text + "\n");
        standin::clearFailures();
        // The stop in Close left the list open.
        if (std::string(c.call) == "ID3D12GraphicsCommandList::Close") {
            EXPECT_EQ(commandList->Close(), S_OK);
        }
    }
}

TEST_F(AccelerationStructuresTest, ADeepNodeChainIsWalkedWithoutRecursion) {
    // A chain far deeper than any thread's stack could hold as nested calls.
    constexpr size_t DEPTH = 1'000'000;
    std::vector<cgltf_node> nodes(DEPTH);
    std::vector<cgltf_node*> children(DEPTH);
    cgltf_mesh mesh = {};
    for (size_t i = 0; i < DEPTH; ++i) {
        nodes[i].has_translation = true;
        nodes[i].translation[0] = 1.0f;
        nodes[i].rotation[3] = 1.0f;
        nodes[i].scale[0] = nodes[i].scale[1] = nodes[i].scale[2] = 1.0f;
        if (i + 1 < DEPTH) {
            children[i] = &nodes[i + 1];
            nodes[i].children = &children[i];
            nodes[i].children_count = 1;
            nodes[i + 1].parent = &nodes[i];
        }
    }
    nodes[DEPTH - 1].mesh = &mesh;
    cgltf_data data = {};
    data.meshes = &mesh;
    data.meshes_count = 1;
    data.nodes = nodes.data();
    data.nodes_count = DEPTH;
    ID3D12Resource* structure = nullptr;
    D3D12_HEAP_PROPERTIES heap = {};
    heap.Type = D3D12_HEAP_TYPE_DEFAULT;
    const D3D12_RESOURCE_DESC desc = {D3D12_RESOURCE_DIMENSION_BUFFER,
                                      0,
                                      256,
                                      1,
                                      1,
                                      1,
                                      DXGI_FORMAT_UNKNOWN,
                                      {1, 0},
                                      D3D12_TEXTURE_LAYOUT_ROW_MAJOR,
                                      D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS};
    ASSERT_EQ(device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &desc,
                                              D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE, nullptr,
                                              IID_PPV_ARGS(&structure)),
              S_OK);

    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    std::vector<D3D12_RAYTRACING_INSTANCE_DESC> instances;
    collectInstances(&nodes[0], identity, &data, {structure}, instances);
    ASSERT_EQ(instances.size(), 1u);
    EXPECT_EQ(instances[0].Transform[0][3], float(DEPTH));
    EXPECT_EQ(instances[0].AccelerationStructure, structure->GetGPUVirtualAddress());
    structure->Release();
}
