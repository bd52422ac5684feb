// The shadow stage on the stand-in GPU as start-up leaves it: the five target slots of srvHeap taken (the
// depth target's shader-resource view in slot 4, its texture in NON_PIXEL_SHADER_RESOURCE), the shader
// compiler, and optionally the shadow objects themselves and a top-level structure of one triangle. Every
// global of the stage is released and reset afterwards.
#pragma once

#include "core/GpuFixture.h"

#include "core/Shader.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "raytracing/ShadowStage.h"
#include "renderer/Logging.h"
#include "renderer/PassPipelines.h"
#include "scene/AccelerationStructures.h"
#include "standin/Debug.h"

#include <directx/d3dx12.h>

#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

class ShadowStageFixture : public GpuFixture {
protected:
    static constexpr uint32_t WIDTH = 1920, HEIGHT = 1080;

    void SetUp() override {
        GpuFixture::SetUp();
        if (!coreLogger)
            initLogging();
        standin::clearDebugOutput();
        createShaderCompiler();
        // The G-buffer, colour and depth views come first at start-up; only the depth view is written here.
        D3D12_CPU_DESCRIPTOR_HANDLE targetView;
        for (int slot = 0; slot < 4; ++slot)
            allocateDescriptor(srvHeap, &targetView, nullptr);
        allocateDescriptor(srvHeap, &targetView, &depthSrvGpu);
        createDepthTarget(targetView);
        D3D12_QUERY_HEAP_DESC queryDesc = {D3D12_QUERY_HEAP_TYPE_TIMESTAMP, 40, 0};
        ASSERT_EQ(device->CreateQueryHeap(&queryDesc, IID_PPV_ARGS(&queryHeap)), S_OK);
    }

    void TearDown() override {
        standin::waitForGpuIdle();
        for (IUnknown* object : std::initializer_list<IUnknown*>{
                 rtRootSignature, rtStateObject, shaderTable, denoisePipeline, shadowMap, shadowMapNoisy,
                 rtConstantsBuffer.resource, tlas, hlslIncludeHandler, hlslLibrary, hlslCompiler, queryHeap,
                 depthTexture})
            safeRelease(object);
        for (ID3D12Resource* resource : held)
            resource->Release();
        rtRootSignature = nullptr;
        rtStateObject = nullptr;
        shaderTable = nullptr;
        denoisePipeline = nullptr;
        shadowMap = shadowMapNoisy = nullptr;
        destroyDescriptorHeap(shadowMapClearHeap);
        shadowMapClearHeap = {};
        rtConstantsBuffer = {};
        tlas = nullptr;
        hlslIncludeHandler = nullptr;
        hlslLibrary = nullptr;
        hlslCompiler = nullptr;
        shadowStageEnabled = true;
        GpuFixture::TearDown();
    }

    // Start-up's step for the shadow stage, in its order.
    void createShadowStage() {
        createRaytracingRootSignature();
        createRaytracingPipeline();
        createDenoisePipeline();
        createRaytracingConstants();
        shadowMapIndex = initShadowMaps(WIDTH, HEIGHT);
    }

    // A bottom-level structure of one triangle and the top-level structure over it, as the scene import
    // leaves them: built, waited for, and tlas set.
    void buildTopLevelStructure() {
        const float positions[] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        ID3D12Resource* vertices = uploadBuffer(positions, sizeof positions);
        D3D12_RAYTRACING_GEOMETRY_DESC geometry = {};
        geometry.Type = D3D12_RAYTRACING_GEOMETRY_TYPE_TRIANGLES;
        geometry.Flags = D3D12_RAYTRACING_GEOMETRY_FLAG_OPAQUE;
        geometry.Triangles.VertexFormat = DXGI_FORMAT_R32G32B32_FLOAT;
        geometry.Triangles.VertexCount = 3;
        geometry.Triangles.VertexBuffer = {vertices->GetGPUVirtualAddress(), 12};
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC bottom = {};
        bottom.Inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_BOTTOM_LEVEL;
        bottom.Inputs.NumDescs = 1;
        bottom.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        bottom.Inputs.pGeometryDescs = &geometry;
        ID3D12Resource* blas = buildDestination(bottom);

        D3D12_RAYTRACING_INSTANCE_DESC instance = {};
        instance.Transform[0][0] = instance.Transform[1][1] = instance.Transform[2][2] = 1;
        instance.InstanceMask = 0xFF;
        instance.AccelerationStructure = blas->GetGPUVirtualAddress();
        D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC top = {};
        top.Inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
        top.Inputs.NumDescs = 1;
        top.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
        top.Inputs.InstanceDescs = uploadBuffer(&instance, sizeof instance)->GetGPUVirtualAddress();
        tlas = buildDestination(top);
        tlas->AddRef(); // TearDown releases tlas as the global and once more as held

        ASSERT_EQ(commandList->Reset(commandAllocators[frameIndex], nullptr), S_OK);
        commandList->BuildRaytracingAccelerationStructure(&bottom, 0, nullptr);
        D3D12_RESOURCE_BARRIER built = CD3DX12_RESOURCE_BARRIER::UAV(blas);
        commandList->ResourceBarrier(1, &built);
        commandList->BuildRaytracingAccelerationStructure(&top, 0, nullptr);
        executeAndWait();
        standin::clearSubmissions();
    }

    // Closes the shared command list, executes it and waits for it.
    void executeAndWait() {
        ASSERT_EQ(commandList->Close(), S_OK);
        ID3D12CommandList* lists[] = {commandList};
        commandQueue->ExecuteCommandLists(1, lists);
        waitForUpload();
    }

    // The "RAYTRACER" lines written while running work, without colour codes.
    template <typename Work> static std::string raytracerLines(Work work) {
        testing::internal::CaptureStdout();
        work();
        std::string output =
            std::regex_replace(testing::internal::GetCapturedStdout(), std::regex("\x1b\\[[0-9;]*m"), "");
        std::string lines;
        std::smatch line;
        for (std::string rest = output; std::regex_search(rest, line, std::regex("RAYTRACER: ([^\n]*)\n"));
             rest = line.suffix())
            lines += std::string(line[1]) + "\n";
        return lines;
    }

    uint32_t shadowMapIndex = 0;
    D3D12_GPU_DESCRIPTOR_HANDLE depthSrvGpu = {};
    ID3D12QueryHeap* queryHeap = nullptr;
    ID3D12Resource* depthTexture = nullptr;
    std::vector<ID3D12Resource*> held;

private:
    void createDepthTarget(D3D12_CPU_DESCRIPTOR_HANDLE srv) {
        CD3DX12_HEAP_PROPERTIES heap(D3D12_HEAP_TYPE_DEFAULT);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Tex2D(
            DXGI_FORMAT_R32_TYPELESS, WIDTH, HEIGHT, 1, 1, 1, 0, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL);
        ASSERT_EQ(device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &desc,
                                                  D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, nullptr,
                                                  IID_PPV_ARGS(&depthTexture)),
                  S_OK);
        depthTexture->SetName(L"Depth Target");
        D3D12_SHADER_RESOURCE_VIEW_DESC view = {};
        view.Format = DXGI_FORMAT_R32_FLOAT;
        view.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
        view.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
        view.Texture2D.MipLevels = 1;
        device->CreateShaderResourceView(depthTexture, &view, srv);
    }

    ID3D12Resource* uploadBuffer(const void* data, size_t size) {
        CD3DX12_HEAP_PROPERTIES heap(D3D12_HEAP_TYPE_UPLOAD);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Buffer(size);
        ID3D12Resource* buffer = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &desc,
                                                  D3D12_RESOURCE_STATE_GENERIC_READ, nullptr,
                                                  IID_PPV_ARGS(&buffer)),
                  S_OK);
        void* mapped = nullptr;
        EXPECT_EQ(buffer->Map(0, nullptr, &mapped), S_OK);
        std::memcpy(mapped, data, size);
        buffer->Unmap(0, nullptr);
        held.push_back(buffer);
        return buffer;
    }

    ID3D12Resource* defaultBuffer(uint64_t size, D3D12_RESOURCE_STATES state) {
        CD3DX12_HEAP_PROPERTIES heap(D3D12_HEAP_TYPE_DEFAULT);
        CD3DX12_RESOURCE_DESC desc =
            CD3DX12_RESOURCE_DESC::Buffer(size, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
        ID3D12Resource* buffer = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&heap, D3D12_HEAP_FLAG_NONE, &desc, state, nullptr,
                                                  IID_PPV_ARGS(&buffer)),
                  S_OK);
        held.push_back(buffer);
        return buffer;
    }

    ID3D12Resource* buildDestination(D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC& build) {
        D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes = {};
        device->GetRaytracingAccelerationStructurePrebuildInfo(&build.Inputs, &sizes);
        ID3D12Resource* result = defaultBuffer(sizes.ResultDataMaxSizeInBytes,
                                               D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE);
        build.DestAccelerationStructureData = result->GetGPUVirtualAddress();
        build.ScratchAccelerationStructureData =
            defaultBuffer(sizes.ScratchDataSizeInBytes, D3D12_RESOURCE_STATE_COMMON)->GetGPUVirtualAddress();
        return result;
    }
};

// Runs a test in a directory of its own whose "src/Shaders/Raytracing.hlsl" the test writes; the working
// directory comes back afterwards.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::filesystem::path& path) : previous(std::filesystem::current_path()) {
        std::filesystem::current_path(path);
    }
    ~WorkingDirectory() { std::filesystem::current_path(previous); }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path previous;
};
