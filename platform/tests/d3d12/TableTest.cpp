// The views that dispatches (compute and ray dispatches) read and write through bounded descriptor tables.
#include "d3d12/GpuFixture.h"

#include <cstring>
#include <utility>

using namespace standin;

class TableTest : public GpuTest {
protected:
    ID3D12RootSignature* rootSignature = nullptr;
    ID3D12PipelineState* pipeline = nullptr;
    ID3D12DescriptorHeap* views = nullptr;
    ID3D12Resource* written = nullptr; // read through u0
    ID3D12Resource* noisy = nullptr;   // read through t0

    void SetUp() override {
        GpuTest::SetUp();
        CD3DX12_DESCRIPTOR_RANGE uav(D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 1, 0);
        CD3DX12_DESCRIPTOR_RANGE srv(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 0);
        CD3DX12_ROOT_PARAMETER parameters[2];
        parameters[0].InitAsDescriptorTable(1, &uav);
        parameters[1].InitAsDescriptorTable(1, &srv);
        CD3DX12_ROOT_SIGNATURE_DESC desc(2, parameters);
        ID3DBlob* blob = nullptr;
        ASSERT_EQ(D3D12SerializeRootSignature(&desc, D3D_ROOT_SIGNATURE_VERSION_1, &blob, nullptr), S_OK);
        ASSERT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&rootSignature)),
                  S_OK);
        blob->Release();
        keep(rootSignature);
        const char program[] = "STANDIN-DXIL\nstage=cs\nentry=DenoiseCS\n";
        D3D12_COMPUTE_PIPELINE_STATE_DESC compute{
            rootSignature, {program, sizeof program}, 0, {}, D3D12_PIPELINE_STATE_FLAG_NONE};
        ASSERT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&pipeline)), S_OK);
        keep(pipeline);
        views = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, true);
        written = texture(DXGI_FORMAT_R8G8B8A8_UNORM, 16, 16, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                          D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
        noisy = texture(DXGI_FORMAT_R32G32B32A32_FLOAT, 16, 16, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                        D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
        device->CreateUnorderedAccessView(written, nullptr, nullptr, slot(0));
        device->CreateShaderResourceView(noisy, nullptr, slot(1));
    }

    D3D12_CPU_DESCRIPTOR_HANDLE slot(UINT i) {
        return {views->GetCPUDescriptorHandleForHeapStart().ptr + i * 32};
    }
    D3D12_GPU_DESCRIPTOR_HANDLE gpuSlot(UINT i) {
        return {views->GetGPUDescriptorHandleForHeapStart().ptr + i * 32};
    }

    void dispatch(D3D12_GPU_DESCRIPTOR_HANDLE readTable, bool setHeap = true) {
        if (setHeap)
            list->SetDescriptorHeaps(1, &views);
        list->SetComputeRootSignature(rootSignature);
        list->SetPipelineState(pipeline);
        list->SetComputeRootDescriptorTable(0, gpuSlot(0));
        list->SetComputeRootDescriptorTable(1, readTable);
        list->Dispatch(1, 1, 1);
    }
};

TEST_F(TableTest, ShaderResourceReadInUnorderedAccessStateIsReported) {
    begin();
    dispatch(gpuSlot(1));
    submit();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("UNORDERED_ACCESS but must be in NON_PIXEL_SHADER_RESOURCE"),
              std::string::npos);

    clearValidationErrors();
    begin();
    D3D12_RESOURCE_BARRIER toRead = CD3DX12_RESOURCE_BARRIER::Transition(
        noisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &toRead);
    dispatch(gpuSlot(1));
    D3D12_RESOURCE_BARRIER back = CD3DX12_RESOURCE_BARRIER::Transition(
        noisy, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    list->ResourceBarrier(1, &back);
    submit();
    EXPECT_EQ(errors(), 0u);
}

TEST_F(TableTest, EmptyDescriptorsAndAMissingHeapAreReported) {
    begin();
    dispatch(gpuSlot(2)); // slot 2 was never written
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("never written"), std::string::npos);
    // Unsetting the heap also leaves both tables invalid.
    list->SetDescriptorHeaps(0, nullptr);
    list->Dispatch(1, 1, 1);
    ASSERT_EQ(errors(), 4u);
    EXPECT_NE(validationErrors()[1].find("no CBV_SRV_UAV descriptor heap is set"), std::string::npos);
    EXPECT_NE(validationErrors()[2].find("root parameter 0 was set before SetDescriptorHeaps"),
              std::string::npos);
    ASSERT_EQ(list->Close(), S_OK);
}

TEST_F(TableTest, TablesSetBeforeTheHeapChangesAreInvalidUntilSetAgain) {
    ID3D12DescriptorHeap* other = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, true);
    begin();
    list->SetDescriptorHeaps(1, &views);
    list->SetComputeRootSignature(rootSignature);
    list->SetPipelineState(pipeline);
    list->SetComputeRootDescriptorTable(0, gpuSlot(0));
    D3D12_RESOURCE_BARRIER toRead = CD3DX12_RESOURCE_BARRIER::Transition(
        noisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    list->ResourceBarrier(1, &toRead);
    list->SetComputeRootDescriptorTable(1, gpuSlot(1));
    // Setting the same heap again changes nothing: both tables stay valid.
    list->SetDescriptorHeaps(1, &views);
    list->Dispatch(1, 1, 1);
    EXPECT_EQ(errors(), 0u);
    // Another heap in between invalidates both, even once the first heap is back.
    list->SetDescriptorHeaps(1, &other);
    list->SetDescriptorHeaps(1, &views);
    list->Dispatch(1, 1, 1);
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("Dispatch: the descriptor table at root parameter 0 was set before "
                                         "SetDescriptorHeaps changed the descriptor heaps"),
              std::string::npos)
        << validationErrors()[0];
    EXPECT_NE(validationErrors()[1].find("root parameter 1"), std::string::npos);
    // Setting them again makes them valid.
    clearValidationErrors();
    list->SetComputeRootDescriptorTable(0, gpuSlot(0));
    list->SetComputeRootDescriptorTable(1, gpuSlot(1));
    list->Dispatch(1, 1, 1);
    D3D12_RESOURCE_BARRIER back = CD3DX12_RESOURCE_BARRIER::Transition(
        noisy, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    list->ResourceBarrier(1, &back);
    submit();
    EXPECT_EQ(errors(), 0u) << firstFinding();
}

// A ray dispatch checks the views of its tables as a compute dispatch does: what it reads in a
// shader-resource state, what it writes in UNORDERED_ACCESS.
TEST_F(TableTest, ARayDispatchChecksTheStatesOfTheViewsInItsTables) {
    const char library[] = "STANDIN-DXIL\nstage=lib\nentry=main\nexports=RayGeneration,Miss\n";
    CD3DX12_STATE_OBJECT_DESC desc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
    D3D12_SHADER_BYTECODE code{library, sizeof library};
    desc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>()->SetDXILLibrary(&code);
    desc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, 8);
    desc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(rootSignature);
    desc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(2);
    ID3D12StateObject* stateObject = nullptr;
    ASSERT_EQ(device->CreateStateObject(desc, IID_PPV_ARGS(&stateObject)), S_OK);
    keep(stateObject);
    ID3D12StateObjectProperties* properties = nullptr;
    ASSERT_EQ(stateObject->QueryInterface(IID_PPV_ARGS(&properties)), S_OK);
    ID3D12Resource* table = buffer(D3D12_HEAP_TYPE_UPLOAD, 192, D3D12_RESOURCE_STATE_GENERIC_READ);
    uint8_t* records = nullptr;
    ASSERT_EQ(table->Map(0, nullptr, reinterpret_cast<void**>(&records)), S_OK);
    std::memcpy(records, properties->GetShaderIdentifier(L"RayGeneration"), 32);
    std::memcpy(records + 64, properties->GetShaderIdentifier(L"Miss"), 32);
    table->Unmap(0, nullptr);
    properties->Release();
    const D3D12_GPU_VIRTUAL_ADDRESS a = table->GetGPUVirtualAddress();
    const D3D12_DISPATCH_RAYS_DESC rays{{a, 32}, {a + 64, 32, 32}, {a + 128, 32, 32}, {0, 0, 0}, 16, 16, 1};
    auto dispatchRays = [&] {
        list->SetDescriptorHeaps(1, &views);
        list->SetPipelineState1(stateObject);
        list->SetComputeRootSignature(rootSignature);
        list->SetComputeRootDescriptorTable(0, gpuSlot(0));
        list->SetComputeRootDescriptorTable(1, gpuSlot(1));
        list->DispatchRays(&rays);
    };

    begin();
    dispatchRays(); // reads "noisy" in UNORDERED_ACCESS
    D3D12_RESOURCE_BARRIER swap[] = {
        CD3DX12_RESOURCE_BARRIER::Transition(noisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE),
        CD3DX12_RESOURCE_BARRIER::Transition(written, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE)};
    list->ResourceBarrier(2, swap);
    dispatchRays(); // writes "written" in NON_PIXEL_SHADER_RESOURCE
    std::swap(swap[1].Transition.StateBefore, swap[1].Transition.StateAfter);
    list->ResourceBarrier(1, swap + 1);
    dispatchRays(); // both in their states
    std::swap(swap[0].Transition.StateBefore, swap[0].Transition.StateAfter);
    list->ResourceBarrier(1, swap);
    submit();
    const std::vector<std::string> findings = validationErrors();
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_NE(findings[0].find("DispatchRays"), std::string::npos) << findings[0];
    EXPECT_NE(findings[0].find("UNORDERED_ACCESS but must be in NON_PIXEL_SHADER_RESOURCE"),
              std::string::npos)
        << findings[0];
    EXPECT_NE(findings[1].find("must be in UNORDERED_ACCESS"), std::string::npos) << findings[1];
}
