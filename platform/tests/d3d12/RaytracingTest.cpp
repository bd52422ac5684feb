// Acceleration-structure prebuild sizes and builds, ray-tracing state objects and their shader identifiers,
// and DispatchRays.
#include "d3d12/GpuFixture.h"

#include <cstring>
#include <functional>

using namespace standin;

namespace {

const char LIBRARY[] = "STANDIN-DXIL\nstage=lib\nentry=main\nexports=RayGeneration,Miss\n";

D3D12_RAYTRACING_GEOMETRY_DESC triangles(D3D12_GPU_VIRTUAL_ADDRESS vertices, UINT vertexCount,
                                         D3D12_GPU_VIRTUAL_ADDRESS indices, UINT indexCount) {
    D3D12_RAYTRACING_GEOMETRY_DESC geometry{};
    geometry.Type = D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES;
    geometry.Flags = D3D12_RAYTRACING_GEOMETRY_FLAG_OPAQUE;
    geometry.Triangles.IndexFormat = DXGI_FORMAT_R32_UINT;
    geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32_FLOAT;
    geometry.Triangles.IndexCount = indexCount;
    geometry.Triangles.VertexCount = vertexCount;
    geometry.Triangles.IndexBuffer = indices;
    geometry.Triangles.VertexBuffer = {vertices, 12};
    return geometry;
}

} // namespace

class RaytracingTest : public GpuTest {
protected:
    // Builds with scratch and result buffers made from the prebuild sizes, as the program does.
    ID3D12Resource* build(const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS& inputs,
                          uint64_t scratchCut = 0) {
        D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes{};
        device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
        ID3D12Resource* scratch =
            buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ScratchDataSizeInBytes - scratchCut,
                   D3D12_RESOURCE_STATE_COMMON, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        ID3D12Resource* result = buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ResultDataMaxSizeInBytes,
                                        D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
                                        D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC desc{};
        desc.DestAccelerationStructureData = result->GetGPUVirtualAddress();
        desc.Inputs = inputs;
        desc.ScratchAccelerationStructureData = scratch->GetGPUVirtualAddress();
        begin();
        list->BuildRaytracingAccelerationStructure(&desc, 0, nullptr);
        submit();
        return result;
    }

    ID3D12Resource* upload(const void* data, size_t size) {
        ID3D12Resource* made = buffer(D3D12_HEAP_TYPE_UPLOAD, size, D3D12_RESOURCE_STATE_GENERIC_READ);
        void* mapped = nullptr;
        EXPECT_EQ(made->Map(0, nullptr, &mapped), S_OK);
        std::memcpy(mapped, data, size);
        made->Unmap(0, nullptr);
        return made;
    }

    ID3D12RootSignature* emptyRootSignature() {
        CD3DX12_ROOT_SIGNATURE_DESC desc(0, nullptr);
        ID3DBlob* blob = nullptr;
        EXPECT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, nullptr), S_OK);
        ID3D12RootSignature* rootSignature = nullptr;
        EXPECT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&rootSignature)),
                  S_OK);
        blob->Release();
        return keep(rootSignature);
    }

    ID3D12StateObject* pipeline(ID3D12RootSignature* rootSignature, bool withConfig = true) {
        CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
        auto* library = desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>();
        D3D12_SHADER_BYTECODE code{LIBRARY, sizeof LIBRARY};
        library->SetDXILLibrary(&code);
        if (withConfig)
            desc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, 8);
        desc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(rootSignature);
        desc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(2);
        ID3D12StateObject* stateObject = nullptr;
        if (FAILED(device->CreateStateObject(desc, IID_PPV_ARGS(&stateObject))))
            return nullptr;
        return keep(stateObject);
    }

    // The program's shader table for a pipeline: three records of 64 bytes, the identifier of
    // "RayGeneration" in the first, that of "Miss" in the second, the third all zero.
    ID3D12Resource* shaderTable(ID3D12StateObject* stateObject) {
        ID3D12StateObjectProperties* properties = nullptr;
        EXPECT_EQ(stateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
        uint8_t records[192]{};
        std::memcpy(records, properties->GetShaderIdentifier(L"RayGeneration"), 32);
        std::memcpy(records + 64, properties->GetShaderIdentifier(L"Miss"), 32);
        properties->Release();
        return upload(records, sizeof records);
    }

    // One case of a table of rules: what it breaks in the setup, and the one finding that follows (nullptr
    // for a case that breaks nothing).
    template <class Setup> struct RuleCase {
        const char* name;
        std::function<void(Setup&)> breakRule;
        const char* finding;
    };

    // The findings since the last clear are exactly the one a case expects.
    static void expectFindingOf(const char* finding) {
        if (!finding) {
            EXPECT_EQ(errors(), 0u);
            return;
        }
        ASSERT_EQ(errors(), 1u);
        EXPECT_NE(validationErrors()[0].find(finding), std::string::npos) << validationErrors()[0];
    }
};

TEST_F(RaytracingTest, PrebuildSizesAreAlignedAndGrowWithTheInput) {
    D3D12_RAYTRACING_GEOMETRY_DESC geometry = triangles(0x1000, 30, 0x2000, 30);
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs{};
    inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
    inputs.NumDescs = 1;
    inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    inputs.pGeometryDescs = &geometry;
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO small{}, large{}, none{};
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &small);
    geometry.Triangles.IndexCount = 3000;
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &large);
    inputs.NumDescs = 0;
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &none);
    for (const auto& sizes : {small, large, none}) {
        EXPECT_GT(sizes.ResultDataMaxSizeInBytes, 0u);
        EXPECT_EQ(sizes.ResultDataMaxSizeInBytes % 256, 0u);
        EXPECT_EQ(sizes.ScratchDataSizeInBytes % 256, 0u);
    }
    EXPECT_GT(large.ResultDataMaxSizeInBytes, small.ResultDataMaxSizeInBytes);
    EXPECT_GT(large.ScratchDataSizeInBytes, small.ScratchDataSizeInBytes);

    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS top{};
    top.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
    top.Flags = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_ALLOW_UPDATE;
    top.NumDescs = 5;
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO topSizes{};
    device->GetRaytracingAccelerationStructurePrebuildInfo(&top, &topSizes);
    EXPECT_GT(topSizes.UpdateScratchDataSizeInBytes, 0u);
    EXPECT_EQ(topSizes.UpdateScratchDataSizeInBytes % 256, 0u);
}

TEST_F(RaytracingTest, BottomAndTopLevelBuildsCheckTheirInputs) {
    const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
    const uint32_t indices[] = {0, 1, 2, 1, 3, 2};
    // Default-heap geometry buffers in COMMON, filled by a copy, as the program's structured buffers are.
    ID3D12Resource* vertexBuffer =
        buffer(D3D12_HEAP_TYPE_DEFAULT, sizeof positions, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* indexBuffer =
        buffer(D3D12_HEAP_TYPE_DEFAULT, sizeof indices, D3D12_RESOURCE_STATE_COMMON);
    begin();
    list->CopyBufferRegion(vertexBuffer, 0, upload(positions, sizeof positions), 0, sizeof positions);
    list->CopyBufferRegion(indexBuffer, 0, upload(indices, sizeof indices), 0, sizeof indices);
    submit();

    D3D12_RAYTRACING_GEOMETRY_DESC geometry =
        triangles(vertexBuffer->GetGPUVirtualAddress(), 4, indexBuffer->GetGPUVirtualAddress(), 6);
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS bottom{};
    bottom.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
    bottom.Flags = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_PREFER_FAST_TRACE;
    bottom.NumDescs = 1;
    bottom.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    bottom.pGeometryDescs = &geometry;
    ID3D12Resource* blas = build(bottom);
    EXPECT_EQ(errors(), 0u);
    AccelerationStructureInfo info;
    ASSERT_TRUE(describeAccelerationStructure(blas->GetGPUVirtualAddress(), &info));
    EXPECT_EQ(info.type, D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL);
    EXPECT_EQ(info.triangleCount, 2u);
    EXPECT_NE(readResource(blas)[0], 0) << "the build writes its result";

    D3D12_RAYTRACING_INSTANCE_DESC instances[2]{};
    for (UINT i = 0; i < 2; ++i) {
        instances[i].Transform[0][0] = instances[i].Transform[1][1] = instances[i].Transform[2][2] = 1;
        instances[i].InstanceID = i;
        instances[i].InstanceMask = 0xff;
        instances[i].AccelerationStructure = blas->GetGPUVirtualAddress();
    }
    instances[1].Transform[0][3] = 5;
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS top{};
    top.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
    top.Flags = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_BUILD_FLAG_ALLOW_UPDATE;
    top.NumDescs = 2;
    top.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    top.InstanceDescs = upload(instances, sizeof instances)->GetGPUVirtualAddress();
    ID3D12Resource* tlas = build(top);
    EXPECT_EQ(errors(), 0u);
    ASSERT_TRUE(describeAccelerationStructure(tlas->GetGPUVirtualAddress(), &info));
    ASSERT_EQ(info.instances.size(), 2u);
    EXPECT_EQ(info.instances[1].Transform[0][3], 5.0f);
    EXPECT_EQ(info.instances[1].AccelerationStructure, blas->GetGPUVirtualAddress());

    // Misuse: a scratch buffer smaller than the prebuild size, indices past their buffer, an instance that
    // points at no bottom-level structure.
    build(bottom, 256);
    EXPECT_EQ(errors(), 1u);
    geometry.Triangles.IndexCount = 9;
    build(bottom);
    EXPECT_EQ(errors(), 2u);
    instances[0].AccelerationStructure = vertexBuffer->GetGPUVirtualAddress();
    top.InstanceDescs = upload(instances, sizeof instances)->GetGPUVirtualAddress();
    build(top);
    ASSERT_EQ(errors(), 3u);
    EXPECT_NE(validationErrors()[2].find("instance 0 does not point at a live bottom-level"),
              std::string::npos);

    // Instance descriptions off their 16-byte alignment, and more of them than their buffer holds.
    instances[0].AccelerationStructure = blas->GetGPUVirtualAddress();
    uint8_t shifted[8 + sizeof instances[0]] = {};
    std::memcpy(shifted + 8, &instances[0], sizeof instances[0]);
    top.InstanceDescs = upload(shifted, sizeof shifted)->GetGPUVirtualAddress() + 8;
    top.NumDescs = 1;
    build(top);
    ASSERT_EQ(errors(), 4u);
    EXPECT_NE(validationErrors()[3].find("must start on 16 bytes"), std::string::npos);
    top.InstanceDescs = upload(instances, sizeof instances)->GetGPUVirtualAddress();
    top.NumDescs = 3;
    build(top);
    ASSERT_EQ(errors(), 6u) << "found when recorded, and again when the build reads them";
    EXPECT_NE(validationErrors()[4].find("the instance descriptions is not inside one live buffer"),
              std::string::npos);
    EXPECT_NE(validationErrors()[5].find("cannot be read at execution"), std::string::npos);
}

namespace {

// One bottom-level build with the parts each rule is about.
struct BuildSetup {
    D3D12_RAYTRACING_GEOMETRY_DESC geometry;
    D3D12_RESOURCE_STATES resultState = D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE;
    uint64_t resultOffset = 0, scratchOffset = 0;
    D3D12_RESOURCE_FLAGS scratchFlags = D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;
    bool postbuildInfo = false;
};

} // namespace

class BuildRuleTest : public RaytracingTest {
protected:
    ID3D12Resource* vertexBuffer = nullptr;
    ID3D12Resource* indexBuffer = nullptr;

    // Two triangles in default-heap buffers filled by a copy, as the program's geometry buffers are.
    void SetUp() override {
        RaytracingTest::SetUp();
        const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0};
        const uint32_t indices[] = {0, 1, 2, 1, 3, 2};
        vertexBuffer = buffer(D3D12_HEAP_TYPE_DEFAULT, sizeof positions, D3D12_RESOURCE_STATE_COMMON);
        indexBuffer = buffer(D3D12_HEAP_TYPE_DEFAULT, sizeof indices, D3D12_RESOURCE_STATE_COMMON);
        begin();
        list->CopyBufferRegion(vertexBuffer, 0, upload(positions, sizeof positions), 0, sizeof positions);
        list->CopyBufferRegion(indexBuffer, 0, upload(indices, sizeof indices), 0, sizeof indices);
        submit();
    }

    BuildSetup setup() {
        return {triangles(vertexBuffer->GetGPUVirtualAddress(), 4, indexBuffer->GetGPUVirtualAddress(), 6)};
    }

    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS
    inputsOf(const D3D12_RAYTRACING_GEOMETRY_DESC& geometry) {
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs{};
        inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
        inputs.NumDescs = 1;
        inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        inputs.pGeometryDescs = &geometry;
        return inputs;
    }

    // Records the build into the open list, with room for the offsets in both buffers.
    ID3D12Resource* record(const BuildSetup& s) {
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs = inputsOf(s.geometry);
        D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes{};
        device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
        ID3D12Resource* scratch = buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ScratchDataSizeInBytes + 512,
                                         D3D12_RESOURCE_STATE_COMMON, s.scratchFlags);
        ID3D12Resource* result = buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ResultDataMaxSizeInBytes + 512,
                                        s.resultState, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC desc{};
        desc.DestAccelerationStructureData = result->GetGPUVirtualAddress() + s.resultOffset;
        desc.Inputs = inputs;
        desc.ScratchAccelerationStructureData = scratch->GetGPUVirtualAddress() + s.scratchOffset;
        D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_DESC postbuild{
            result->GetGPUVirtualAddress() + sizes.ResultDataMaxSizeInBytes,
            D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_COMPACTED_SIZE};
        list->BuildRaytracingAccelerationStructure(&desc, s.postbuildInfo ? 1 : 0,
                                                   s.postbuildInfo ? &postbuild : nullptr);
        return result;
    }
};

TEST_F(BuildRuleTest, EachBuildRuleIsCaughtWhenBroken) {
    struct Case {
        const char* name;
        void (*breakRule)(BuildSetup&);
        const char* finding;
    } cases[] = {
        {"a vertex format triangles cannot use",
         [](BuildSetup& s) { s.geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32A32_UINT; },
         "is not one that triangle geometry may use"},
        {"vertices off their component",
         [](BuildSetup& s) { s.geometry.Triangles.VertexBuffer.StartAddress += 2; },
         "multiples of the format's 4-byte component"},
        {"a stride off the component",
         [](BuildSetup& s) { s.geometry.Triangles.VertexBuffer.StrideInBytes = 14; },
         "multiples of the format's 4-byte component"},
        {"indices off their size", [](BuildSetup& s) { s.geometry.Triangles.IndexBuffer += 2; },
         "multiple of the 4-byte index size"},
        {"a transform off 16 bytes", [](BuildSetup& s) { s.geometry.Triangles.Transform3x4 = 8; },
         "the transform must start on 16 bytes"},
        {"a result off 256 bytes", [](BuildSetup& s) { s.resultOffset = 128; }, "multiples of 256"},
        {"a scratch range off 256 bytes", [](BuildSetup& s) { s.scratchOffset = 128; }, "multiples of 256"},
        {"a result outside the structure state",
         [](BuildSetup& s) { s.resultState = D3D12_RESOURCE_STATE_COMMON; },
         "must be in RAYTRACING_ACCELERATION_STRUCTURE"},
        {"a scratch buffer without unordered access",
         [](BuildSetup& s) { s.scratchFlags = D3D12_RESOURCE_FLAG_NONE; },
         "lacks D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS"},
        {"vertices past their buffer", [](BuildSetup& s) { s.geometry.Triangles.VertexCount = 5; },
         "the vertices is not inside one live buffer"},
        {"an index count of part of a triangle", [](BuildSetup& s) { s.geometry.Triangles.IndexCount = 5; },
         "the index count is not a multiple of 3"},
        {"an index format other than 16 or 32 bits",
         [](BuildSetup& s) { s.geometry.Triangles.IndexFormat = DXGI_FORMAT_R8_UINT; },
         "the index format must be R16_UINT or R32_UINT"},
        {"indices without an index format",
         [](BuildSetup& s) { s.geometry.Triangles.IndexFormat = DXGI_FORMAT_UNKNOWN; },
         "an index count or buffer is given without an index format"},
        {"unindexed vertices of part of a triangle",
         [](BuildSetup& s) {
             s.geometry.Triangles.IndexFormat = DXGI_FORMAT_UNKNOWN;
             s.geometry.Triangles.IndexCount = 0;
             s.geometry.Triangles.IndexBuffer = 0;
         },
         "without indices the vertex count must be a multiple of 3"},
        {"post-build information asked for", [](BuildSetup& s) { s.postbuildInfo = true; },
         "writes no post-build information"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::clearValidationErrors();
        BuildSetup s = setup();
        c.breakRule(s);
        begin();
        record(s);
        submit();
        ASSERT_EQ(errors(), 1u);
        EXPECT_NE(validationErrors()[0].find(c.finding), std::string::npos) << validationErrors()[0];
    }
}

TEST_F(BuildRuleTest, ValidBuildsOfOtherVertexFormatsStaySilent) {
    // Half floats: 2-byte components, so an 8-byte stride at an address 2 bytes in is fine.
    BuildSetup s = setup();
    s.geometry.Triangles.VertexFormat = DXGI_FORMAT_R16G16B16A16_FLOAT;
    s.geometry.Triangles.VertexBuffer = {vertexBuffer->GetGPUVirtualAddress() + 2, 8};
    begin();
    record(s);
    s = setup();
    s.geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32_FLOAT;
    record(s);
    submit();
    EXPECT_EQ(errors(), 0u);
}

TEST_F(BuildRuleTest, GeometryMustBeReadableWhenTheBuildRuns) {
    // Written by a copy in the same list: still COPY_DEST when the build reads it.
    const float positions[12] = {};
    ID3D12Resource* source = upload(positions, sizeof positions);
    begin();
    list->CopyBufferRegion(vertexBuffer, 0, source, 0, sizeof positions);
    record(setup());
    submit();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("must be in NON_PIXEL_SHADER_RESOURCE"), std::string::npos)
        << validationErrors()[0];

    // A barrier to a shader-read state between the two makes it readable.
    standin::clearValidationErrors();
    begin();
    list->CopyBufferRegion(vertexBuffer, 0, source, 0, sizeof positions);
    D3D12_RESOURCE_BARRIER barrier = CD3DX12_RESOURCE_BARRIER::Transition(
        vertexBuffer, D3D12_RESOURCE_STATE_COPY_DEST, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &barrier);
    record(setup());
    submit();
    EXPECT_EQ(errors(), 0u);
}

TEST_F(BuildRuleTest, AStructureBufferIsNeverTransitioned) {
    begin();
    ID3D12Resource* result = record(setup());
    submit();
    ASSERT_EQ(errors(), 0u);
    ID3D12Resource* plain = buffer(D3D12_HEAP_TYPE_DEFAULT, 1024, D3D12_RESOURCE_STATE_COMMON,
                                   D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    const D3D12_RESOURCE_BARRIER barriers[] = {
        CD3DX12_RESOURCE_BARRIER::Transition(result, D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
                                             D3D12_RESOURCE_STATE_COMMON),
        CD3DX12_RESOURCE_BARRIER::Transition(plain, D3D12_RESOURCE_STATE_COMMON,
                                             D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE),
    };
    for (const D3D12_RESOURCE_BARRIER& barrier : barriers) {
        standin::clearValidationErrors();
        begin();
        list->ResourceBarrier(1, &barrier);
        submit();
        ASSERT_EQ(errors(), 1u);
        EXPECT_NE(validationErrors()[0].find("into or out of RAYTRACING_ACCELERATION_STRUCTURE"),
                  std::string::npos);
    }
    // A UAV barrier between builds that share it is how a structure is ordered.
    standin::clearValidationErrors();
    begin();
    D3D12_RESOURCE_BARRIER uav = CD3DX12_RESOURCE_BARRIER::UAV(result);
    list->ResourceBarrier(1, &uav);
    submit();
    EXPECT_EQ(errors(), 0u);
}

TEST_F(BuildRuleTest, AStructureBufferIsMadeAsABufferInItsStateAloneWithUnorderedAccess) {
    CD3DX12_HEAP_PROPERTIES heap(D3D12_HEAP_TYPE_DEFAULT);
    const CD3DX12_RESOURCE_DESC withAccess =
        CD3DX12_RESOURCE_DESC::Buffer(1024, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    struct Case {
        const char* name;
        D3D12_RESOURCE_DESC desc;
        D3D12_RESOURCE_STATES state;
        const char* finding;
    } cases[] = {
        {"a texture",
         CD3DX12_RESOURCE_DESC::Tex2D(DXGI_FORMAT_R8G8B8A8_UNORM, 16, 16, 1, 1, 1, 0,
                                      D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS),
         D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE, "only a buffer can be"},
        {"with another state", withAccess,
         D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE |
             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
         "combines RAYTRACING_ACCELERATION_STRUCTURE with other states"},
        {"without unordered access", CD3DX12_RESOURCE_DESC::Buffer(1024),
         D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
         "needs D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::clearValidationErrors();
        ID3D12Resource* resource = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &c.desc, c.state, nullptr,
                                                  IID_PPV_ARGS(&resource)),
                  E_INVALIDARG);
        EXPECT_EQ(resource, nullptr);
        expectFindingOf(c.finding);
    }
    standin::clearValidationErrors();
}

TEST_F(BuildRuleTest, PrebuildQuirksReportZeroSizes) {
    const BuildSetup s = setup();
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_INPUTS inputs = inputsOf(s.geometry);
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes{};
    standin::setPrebuildQuirks({true, false});
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
    EXPECT_GT(sizes.ResultDataMaxSizeInBytes, 0u) << "a build with geometry keeps its sizes";
    inputs.NumDescs = 0;
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
    EXPECT_EQ(sizes.ResultDataMaxSizeInBytes, 0u);
    EXPECT_EQ(sizes.ScratchDataSizeInBytes, 0u);
    standin::setPrebuildQuirks({false, true});
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
    EXPECT_GT(sizes.ResultDataMaxSizeInBytes, 0u);
    EXPECT_EQ(sizes.ScratchDataSizeInBytes, 0u);
    standin::resetGpu();
    device->GetRaytracingAccelerationStructurePrebuildInfo(&inputs, &sizes);
    EXPECT_GT(sizes.ScratchDataSizeInBytes, 0u) << "resetGpu clears the quirks";
}

TEST_F(RaytracingTest, StateObjectGivesIdentifiersForTheLibraryExports) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    ID3D12StateObject* stateObject = pipeline(rootSignature);
    ASSERT_NE(stateObject, nullptr);
    ID3D12StateObjectProperties* properties = nullptr;
    ASSERT_EQ(stateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
    const void* rayGeneration = properties->GetShaderIdentifier(L"RayGeneration");
    const void* miss = properties->GetShaderIdentifier(L"Miss");
    ASSERT_NE(rayGeneration, nullptr);
    ASSERT_NE(miss, nullptr);
    EXPECT_NE(std::memcmp(rayGeneration, miss, D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES), 0);
    EXPECT_EQ(properties->GetShaderIdentifier(L"ClosestHit"), nullptr);
    EXPECT_EQ(shaderIdentifierExport(rayGeneration), "RayGeneration");
    EXPECT_EQ(shaderIdentifierExport(miss), "Miss");
    properties->Release();
    EXPECT_EQ(pipeline(rootSignature, false), nullptr) << "a pipeline without a shader configuration";
    EXPECT_EQ(errors(), 1u);
}

TEST_F(RaytracingTest, DispatchRaysChecksItsShaderTables) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    ID3D12StateObject* stateObject = pipeline(rootSignature);
    ASSERT_NE(stateObject, nullptr);
    D3D12_GPU_VIRTUAL_ADDRESS a = shaderTable(stateObject)->GetGPUVirtualAddress();
    D3D12_DISPATCH_RAYS_DESC rays{};
    rays.RayGenerationShaderRecord = {a, 32};
    rays.MissShaderTable = {a + 64, 32, 32};
    rays.HitGroupTable = {a + 128, 32, 32};
    rays.Width = 64;
    rays.Height = 48;
    rays.Depth = 1;

    begin();
    list->SetPipelineState1(stateObject);
    list->SetComputeRootSignature(rootSignature);
    list->DispatchRays(&rays);
    submit();
    EXPECT_EQ(errors(), 0u);
    const auto log = submissions();
    const RecordedCommand& dispatch = log.back().commands.back();
    ASSERT_EQ(dispatch.kind, CommandKind::DispatchRays);
    EXPECT_EQ(dispatch.rays.MissShaderTable.StartAddress, a + 64);
    EXPECT_EQ(dispatch.arguments[0], 64u);
    EXPECT_EQ(dispatch.state.stateObject, stateObject);
    EXPECT_EQ(dispatch.state.rootSignature, rootSignature);

    D3D12_DISPATCH_RAYS_DESC misaligned = rays;
    misaligned.MissShaderTable.StartAddress = a + 32;
    D3D12_DISPATCH_RAYS_DESC wrongRecord = rays;
    wrongRecord.RayGenerationShaderRecord.StartAddress = a + 128; // the null hit-group record
    begin();
    list->SetPipelineState1(stateObject);
    list->SetComputeRootSignature(rootSignature);
    list->DispatchRays(&misaligned);
    list->DispatchRays(&wrongRecord);
    submit();
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("must start on 64 bytes"), std::string::npos);
    EXPECT_NE(validationErrors()[1].find("does not export"), std::string::npos);
}

// Each rule of a ray dispatch, broken alone, gives one finding; the dispatch of the program's kind (three
// 64-byte records, one per table) gives none.
TEST_F(RaytracingTest, EachDispatchRaysRuleIsCaughtWhenBroken) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    CD3DX12_ROOT_PARAMETER constants;
    constants.InitAsConstantBufferView(1);
    CD3DX12_ROOT_SIGNATURE_DESC otherDesc(1, &constants);
    ID3DBlob* blob = nullptr;
    ASSERT_EQ(D3D12SerializeRootSignature(&otherDesc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, nullptr), S_OK);
    ID3D12RootSignature* other = nullptr;
    ASSERT_EQ(
        device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(), IID_PPV_ARGS(&other)),
        S_OK);
    blob->Release();
    keep(other);
    ID3D12StateObject* stateObject = pipeline(rootSignature);
    ASSERT_NE(stateObject, nullptr);
    const D3D12_GPU_VIRTUAL_ADDRESS a = shaderTable(stateObject)->GetGPUVirtualAddress();
    ID3D12Resource* released = buffer(D3D12_HEAP_TYPE_UPLOAD, 192, D3D12_RESOURCE_STATE_GENERIC_READ);
    owned.pop_back();
    const D3D12_GPU_VIRTUAL_ADDRESS gone = released->GetGPUVirtualAddress();
    released->Release();

    struct Dispatch {
        D3D12_DISPATCH_RAYS_DESC rays;
        ID3D12StateObject* stateObject;
        ID3D12RootSignature* rootSignature;
    };
    const RuleCase<Dispatch> cases[] = {
        {"nothing broken", [](Dispatch&) {}, nullptr},
        {"a ray-generation record with 8 bytes of arguments",
         [](Dispatch& d) { d.rays.RayGenerationShaderRecord.SizeInBytes = 40; }, nullptr},
        {"a miss table off 64 bytes", [](Dispatch& d) { d.rays.MissShaderTable.StartAddress -= 32; },
         "the miss table must start on 64 bytes"},
        {"a hit-group stride off 32 bytes", [](Dispatch& d) { d.rays.HitGroupTable.StrideInBytes = 48; },
         "the hit-group table's stride must be a multiple of 32 bytes"},
        {"a hit-group table past the buffer's end",
         [](Dispatch& d) { d.rays.HitGroupTable.SizeInBytes = 96; },
         "the hit-group table is not inside one live buffer"},
        {"a miss table in a released buffer",
         [gone](Dispatch& d) { d.rays.MissShaderTable.StartAddress = gone + 64; },
         "the miss table is not inside one live buffer"},
        {"a ray-generation record shorter than an identifier",
         [](Dispatch& d) { d.rays.RayGenerationShaderRecord.SizeInBytes = 16; },
         "the ray-generation record is smaller than one shader identifier"},
        {"no state object", [](Dispatch& d) { d.stateObject = nullptr; },
         "no ray-tracing state object is set"},
        {"no root signature", [](Dispatch& d) { d.rootSignature = nullptr; },
         "no compute root signature is set"},
        {"another root signature", [other](Dispatch& d) { d.rootSignature = other; },
         "not the state object's global root signature"},
    };
    for (const RuleCase<Dispatch>& c : cases) {
        SCOPED_TRACE(c.name);
        clearValidationErrors();
        Dispatch d{
            {{a, 32}, {a + 64, 32, 32}, {a + 128, 32, 32}, {0, 0, 0}, 16, 8, 1}, stateObject, rootSignature};
        c.breakRule(d);
        begin();
        if (d.stateObject)
            list->SetPipelineState1(d.stateObject);
        if (d.rootSignature)
            list->SetComputeRootSignature(d.rootSignature);
        list->DispatchRays(&d.rays);
        submit();
        expectFindingOf(c.finding);
    }
}

TEST_F(RaytracingTest, StateObjectRefusesAMissingLibraryAndTwoExportsOfOneName) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    auto create = [&](const D3D12_SHADER_BYTECODE& code, std::vector<D3D12_EXPORT_DESC> exports) {
        CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
        auto* library = desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>();
        library->SetDXILLibrary(&code);
        for (const D3D12_EXPORT_DESC& exported : exports)
            library->DefineExport(exported.Name, exported.ExportToRename);
        desc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, 8);
        desc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(rootSignature);
        desc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(2);
        ID3D12StateObject* stateObject = nullptr;
        HRESULT result = device->CreateStateObject(desc, IID_PPV_ARGS(&stateObject));
        if (stateObject)
            keep(stateObject);
        return result;
    };
    const D3D12_SHADER_BYTECODE library{LIBRARY, sizeof LIBRARY};
    EXPECT_EQ(create(library, {{L"RayGeneration", nullptr, D3D12_EXPORT_FLAG_NONE},
                               {L"Miss", nullptr, D3D12_EXPORT_FLAG_NONE}}),
              S_OK);
    EXPECT_EQ(errors(), 0u);

    EXPECT_EQ(create({nullptr, 0}, {}), E_INVALIDARG);
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("no bytecode"), std::string::npos) << validationErrors()[0];
    EXPECT_EQ(create(library, {{L"Shadow", L"RayGeneration", D3D12_EXPORT_FLAG_NONE},
                               {L"Shadow", L"Miss", D3D12_EXPORT_FLAG_NONE}}),
              E_INVALIDARG);
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[1].find("'Shadow' is used twice"), std::string::npos)
        << validationErrors()[1];
}

// Each rule of a ray-tracing pipeline's subobjects, broken alone, refuses the state object with one finding;
// the four subobjects of the program's pipeline make one without any.
TEST_F(RaytracingTest, EachStateObjectRuleIsCaughtWhenBroken) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    const char unreadable[] = "not a library";
    struct Pipeline {
        D3D12_SHADER_BYTECODE library;
        LPCWSTR exported; // the one export listed, or nullptr for every export of the library
        bool shaderConfig, pipelineConfig;
        UINT attributeSize, recursionDepth;
        ID3D12RootSignature* global;
    };
    const RuleCase<Pipeline> cases[] = {
        {"nothing broken", [](Pipeline&) {}, nullptr},
        {"no shader configuration", [](Pipeline& p) { p.shaderConfig = false; },
         "needs a shader configuration and a pipeline configuration"},
        {"no pipeline configuration", [](Pipeline& p) { p.pipelineConfig = false; },
         "needs a shader configuration and a pipeline configuration"},
        {"attributes above 32 bytes", [](Pipeline& p) { p.attributeSize = 36; },
         "MaxAttributeSizeInBytes is above 32"},
        {"a recursion depth above 31", [](Pipeline& p) { p.recursionDepth = 32; },
         "MaxTraceRecursionDepth is above 31"},
        {"no global root signature", [](Pipeline& p) { p.global = nullptr; },
         "the global root signature is missing"},
        {"an export the library lacks", [](Pipeline& p) { p.exported = L"ClosestHit"; },
         "the library does not export 'ClosestHit'"},
        {"a library whose exports cannot be read",
         [&unreadable](Pipeline& p) {
             p.library = {unreadable, sizeof unreadable};
         },
         "the library's exports cannot be read"},
    };
    for (const RuleCase<Pipeline>& c : cases) {
        SCOPED_TRACE(c.name);
        clearValidationErrors();
        Pipeline p{{LIBRARY, sizeof LIBRARY}, nullptr, true, true, 8, 2, rootSignature};
        c.breakRule(p);
        CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
        auto* library = desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>();
        library->SetDXILLibrary(&p.library);
        if (p.exported)
            library->DefineExport(p.exported);
        if (p.shaderConfig)
            desc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, p.attributeSize);
        desc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(p.global);
        if (p.pipelineConfig)
            desc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(p.recursionDepth);
        ID3D12StateObject* stateObject = nullptr;
        HRESULT result = device->CreateStateObject(desc, IID_PPV_ARGS(&stateObject));
        if (stateObject)
            keep(stateObject);
        EXPECT_EQ(result, c.finding ? E_INVALIDARG : S_OK);
        EXPECT_EQ(stateObject != nullptr, !c.finding);
        expectFindingOf(c.finding);
    }
}

TEST_F(RaytracingTest, IdentifiersDifferPerExportAndPerStateObject) {
    ID3D12RootSignature* rootSignature = emptyRootSignature();
    std::vector<std::vector<uint8_t>> identifiers;
    for (ID3D12StateObject* stateObject : {pipeline(rootSignature), pipeline(rootSignature)}) {
        ASSERT_NE(stateObject, nullptr);
        ID3D12StateObjectProperties* properties = nullptr;
        ASSERT_EQ(stateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
        for (LPCWSTR name : {L"RayGeneration", L"Miss"}) {
            const auto* identifier = static_cast<const uint8_t*>(properties->GetShaderIdentifier(name));
            ASSERT_NE(identifier, nullptr);
            identifiers.emplace_back(identifier, identifier + D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES);
            EXPECT_NE(identifiers.back(), std::vector<uint8_t>(D3D12_SHADER_IDENTIFIER_SIZE_IN_BYTES, 0));
        }
        EXPECT_EQ(properties->GetShaderIdentifier(nullptr), nullptr);
        EXPECT_EQ(properties->GetShaderIdentifier(L"miss"), nullptr) << "names are case-sensitive";
        properties->Release();
    }
    for (size_t i = 0; i < identifiers.size(); ++i)
        for (size_t j = i + 1; j < identifiers.size(); ++j)
            EXPECT_NE(identifiers[i], identifiers[j]) << i << " and " << j;
}

TEST_F(RaytracingTest, OnlyARaytracingPipelineCanBeSet) {
    CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_COLLECTION);
    D3D12_SHADER_BYTECODE code{LIBRARY, sizeof LIBRARY};
    desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>()->SetDXILLibrary(&code);
    ID3D12StateObject* collection = nullptr;
    ASSERT_EQ(device->CreateStateObject(desc, IID_PPV_ARGS(&collection)), S_OK);
    keep(collection);
    ID3D12StateObject* stateObject = pipeline(emptyRootSignature());
    begin();
    list->SetPipelineState1(stateObject);
    EXPECT_EQ(errors(), 0u);
    list->SetPipelineState1(collection);
    list->SetPipelineState1(nullptr);
    submit();
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("not a collection"), std::string::npos) << validationErrors()[0];
}

// The ray tracing root signature's kind: a root SRV (t0), a root CBV (b1) and a root UAV (u0).
class RaytracingBindingTest : public RaytracingTest {
protected:
    void SetUp() override {
        RaytracingTest::SetUp();
        CD3DX12_ROOT_PARAMETER parameters[3];
        parameters[0].InitAsShaderResourceView(0);
        parameters[1].InitAsConstantBufferView(1);
        parameters[2].InitAsUnorderedAccessView(0);
        CD3DX12_ROOT_SIGNATURE_DESC desc(3, parameters);
        ID3DBlob* blob = nullptr;
        ASSERT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, nullptr), S_OK);
        ASSERT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&rootSignature)),
                  S_OK);
        blob->Release();
        keep(rootSignature);
        stateObject = pipeline(rootSignature);
        ASSERT_NE(stateObject, nullptr);
        table = shaderTable(stateObject);
        constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 256, D3D12_RESOURCE_STATE_GENERIC_READ);
        output = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                        D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    }

    D3D12_DISPATCH_RAYS_DESC rays(D3D12_GPU_VIRTUAL_ADDRESS a) const {
        return {{a, 32}, {a + 64, 32, 32}, {a + 128, 32, 32}, {0, 0, 0}, 16, 16, 1};
    }

    // Binds the structure, the constants and the output, then dispatches rays and a compute pass.
    void dispatchBoth(D3D12_GPU_VIRTUAL_ADDRESS structure) {
        list->SetPipelineState1(stateObject);
        list->SetComputeRootSignature(rootSignature);
        list->SetComputeRootShaderResourceView(0, structure);
        list->SetComputeRootConstantBufferView(1, constants->GetGPUVirtualAddress());
        list->SetComputeRootUnorderedAccessView(2, output->GetGPUVirtualAddress());
        D3D12_DISPATCH_RAYS_DESC desc = rays(table->GetGPUVirtualAddress());
        list->DispatchRays(&desc);
    }

    // A bottom-level structure of one triangle and a top-level one over it; the builds are recorded into the
    // open list.
    void recordBuilds(ID3D12Resource** blas, ID3D12Resource** tlas) {
        const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        ID3D12Resource* vertices = upload(positions, sizeof positions);
        D3D12_RAYTRACING_GEOMETRY_DESC geometry{};
        geometry.Type = D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES;
        geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32_FLOAT;
        geometry.Triangles.VertexCount = 3;
        geometry.Triangles.VertexBuffer = {vertices->GetGPUVirtualAddress(), 12};
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC bottom{};
        bottom.Inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
        bottom.Inputs.NumDescs = 1;
        bottom.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        bottom.Inputs.pGeometryDescs = &geometry;
        *blas = destinationFor(bottom);
        list->BuildRaytracingAccelerationStructure(&bottom, 0, nullptr);
        D3D12_RESOURCE_BARRIER built = CD3DX12_RESOURCE_BARRIER::UAV(*blas);
        list->ResourceBarrier(1, &built);

        D3D12_RAYTRACING_INSTANCE_DESC instance{};
        instance.Transform[0][0] = instance.Transform[1][1] = instance.Transform[2][2] = 1;
        instance.InstanceMask = 0xff;
        instance.AccelerationStructure = (*blas)->GetGPUVirtualAddress();
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC top{};
        top.Inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
        top.Inputs.NumDescs = 1;
        top.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        top.Inputs.InstanceDescs = upload(&instance, sizeof instance)->GetGPUVirtualAddress();
        *tlas = destinationFor(top);
        list->BuildRaytracingAccelerationStructure(&top, 0, nullptr);
        built = CD3DX12_RESOURCE_BARRIER::UAV(*tlas);
        list->ResourceBarrier(1, &built);
    }

    // Makes the result and scratch buffers of a build and points the build at them.
    ID3D12Resource* destinationFor(D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC& build) {
        D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes{};
        device->GetRaytracingAccelerationStructurePrebuildInfo(&build.Inputs, &sizes);
        ID3D12Resource* result = buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ResultDataMaxSizeInBytes,
                                        D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
                                        D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        build.DestAccelerationStructureData = result->GetGPUVirtualAddress();
        build.ScratchAccelerationStructureData =
            buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ScratchDataSizeInBytes, D3D12_RESOURCE_STATE_COMMON,
                   D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS)
                ->GetGPUVirtualAddress();
        return result;
    }

    ID3D12RootSignature* rootSignature = nullptr;
    ID3D12StateObject* stateObject = nullptr;
    ID3D12Resource *table = nullptr, *constants = nullptr, *output = nullptr;
};

// The structure is looked up when the dispatch runs, so one built earlier in the same list counts; a
// bottom-level structure or a buffer where nothing was built does not.
TEST_F(RaytracingBindingTest, TheRootShaderResourceViewOfAnAccelerationStructureIsABuiltTopLevelOne) {
    ID3D12Resource *blas = nullptr, *tlas = nullptr;
    begin();
    recordBuilds(&blas, &tlas);
    dispatchBoth(tlas->GetGPUVirtualAddress());
    list->Dispatch(1, 1, 1); // no compute pipeline: one finding of its own
    submit();
    ASSERT_EQ(errors(), 1u) << firstFinding();
    EXPECT_NE(validationErrors()[0].find("no compute pipeline state"), std::string::npos);
    clearValidationErrors();

    ID3D12Resource* unbuilt =
        buffer(D3D12_HEAP_TYPE_DEFAULT, 4096, D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
               D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    begin();
    dispatchBoth(blas->GetGPUVirtualAddress());
    dispatchBoth(unbuilt->GetGPUVirtualAddress());
    dispatchBoth(tlas->GetGPUVirtualAddress() + 256); // inside the buffer, past the structure's start
    submit();
    std::vector<std::string> findings = validationErrors();
    ASSERT_EQ(findings.size(), 3u);
    EXPECT_NE(findings[0].find("root parameter 0"), std::string::npos) << findings[0];
    EXPECT_NE(findings[0].find("bottom-level"), std::string::npos) << findings[0];
    EXPECT_NE(findings[1].find("names no built acceleration structure"), std::string::npos) << findings[1];
    EXPECT_NE(findings[2].find("names no built acceleration structure"), std::string::npos) << findings[2];
}

TEST_F(RaytracingBindingTest, RootViewsAndShaderTablesMustBeInStatesTheDispatchCanUse) {
    ID3D12Resource *blas = nullptr, *tlas = nullptr;
    begin();
    recordBuilds(&blas, &tlas);
    submit();
    ASSERT_EQ(errors(), 0u);

    // A default-heap table, constants still in COPY_DEST after their upload, an output left readable.
    ID3D12Resource* defaultTable = buffer(D3D12_HEAP_TYPE_DEFAULT, 192, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* staged = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
    begin();
    list->CopyBufferRegion(defaultTable, 0, table, 0, 192);
    list->CopyBufferRegion(staged, 0, constants, 0, 256);
    D3D12_RESOURCE_BARRIER toRead[] = {
        CD3DX12_RESOURCE_BARRIER::Transition(defaultTable, D3D12_RESOURCE_STATE_COPY_DEST,
                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE),
        CD3DX12_RESOURCE_BARRIER::Transition(output, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE)};
    list->ResourceBarrier(1, toRead);
    dispatchBoth(tlas->GetGPUVirtualAddress());
    D3D12_DISPATCH_RAYS_DESC fromDefault = rays(defaultTable->GetGPUVirtualAddress());
    list->DispatchRays(&fromDefault); // a table in NON_PIXEL_SHADER_RESOURCE: fine
    EXPECT_EQ(errors(), 0u);
    list->ResourceBarrier(1, toRead + 1);
    list->SetComputeRootConstantBufferView(1, staged->GetGPUVirtualAddress());
    list->DispatchRays(&fromDefault);
    submit();
    std::vector<std::string> findings = validationErrors();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_NE(findings[0].find("root parameter 1"), std::string::npos) << findings[0];
    EXPECT_NE(findings[0].find("must be in VERTEX_AND_CONSTANT_BUFFER"), std::string::npos) << findings[0];
    EXPECT_NE(findings[1].find("root parameter 2"), std::string::npos) << findings[1];
    clearValidationErrors();

    // The copy leaves the table in COPY_DEST when nothing moves it on.
    begin();
    list->CopyBufferRegion(defaultTable, 0, table, 0, 192);
    list->SetPipelineState1(stateObject);
    list->SetComputeRootSignature(rootSignature);
    list->DispatchRays(&fromDefault);
    submit();
    findings = validationErrors();
    ASSERT_EQ(findings.size(), 3u) << "one per table";
    EXPECT_NE(findings[0].find("the ray-generation record"), std::string::npos) << findings[0];
    EXPECT_NE(findings[0].find("COPY_DEST"), std::string::npos) << findings[0];
}

TEST_F(RaytracingBindingTest, ARecordStrideAbove4096BytesIsRefused) {
    ID3D12Resource* large = buffer(D3D12_HEAP_TYPE_UPLOAD, 16384, D3D12_RESOURCE_STATE_GENERIC_READ);
    D3D12_GPU_VIRTUAL_ADDRESS a = large->GetGPUVirtualAddress();
    D3D12_DISPATCH_RAYS_DESC desc = rays(table->GetGPUVirtualAddress());
    begin();
    list->SetPipelineState1(stateObject);
    list->SetComputeRootSignature(rootSignature);
    desc.MissShaderTable = {a, 8192, 4096};
    list->DispatchRays(&desc);
    EXPECT_EQ(errors(), 0u);
    desc.MissShaderTable = {a, 8192 + 4096 + 64, 4096 + 64};
    list->DispatchRays(&desc);
    list->Close();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("stride is above 4096"), std::string::npos) << validationErrors()[0];
}
