// The views that dispatches read through bounded descriptor tables.
#include "d3d12/GpuFixture.h"

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
    EXPECT_EQ(errors(), 0u) << (errors() ? validationErrors()[0] : "");
}
