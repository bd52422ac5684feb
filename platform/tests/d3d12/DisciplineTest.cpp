// Command-list and allocator discipline, addresses and descriptor handles that lie outside every live object,
// and root arguments that the bound root signature does not have.
#include "d3d12/GpuFixture.h"

using namespace standin;

namespace {

// A root signature of a root CBV (b0), a table of four SRVs (t0) and four constants (b1).
ID3D12RootSignature* makeRootSignature(ID3D12Device* device) {
    CD3DX12_DESCRIPTOR_RANGE1 range(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 4, 0);
    CD3DX12_ROOT_PARAMETER1 parameters[3];
    parameters[0].InitAsConstantBufferView(0);
    parameters[1].InitAsDescriptorTable(1, &range);
    parameters[2].InitAsConstants(4, 1);
    CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
    desc.Init_1_1(3, parameters);
    ID3DBlob* blob = nullptr;
    ID3DBlob* error = nullptr;
    EXPECT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, &error), S_OK);
    ID3D12RootSignature* rootSignature = nullptr;
    EXPECT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                          IID_PPV_ARGS(&rootSignature)),
              S_OK);
    blob->Release();
    return rootSignature;
}

} // namespace

TEST_F(GpuTest, CommandsOnAClosedListAreReportedAndIgnored) {
    list->IASetPrimitiveTopology(D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("closed"), std::string::npos);
}

TEST_F(GpuTest, ClosingTwiceFails) {
    EXPECT_EQ(list->Close(), E_FAIL);
    EXPECT_EQ(errors(), 1u);
}

TEST_F(GpuTest, AnOpenListIsNotExecuted) {
    begin();
    ID3D12CommandList* lists[] = {list};
    queue->ExecuteCommandLists(1, lists);
    EXPECT_EQ(errors(), 1u);
    EXPECT_TRUE(submissions().empty());
    ASSERT_EQ(list->Close(), S_OK);
}

TEST_F(GpuTest, ResettingAnOpenListFails) {
    begin();
    EXPECT_EQ(list->Reset(allocator, nullptr), E_FAIL);
    EXPECT_EQ(errors(), 1u);
    ASSERT_EQ(list->Close(), S_OK);
}

TEST_F(GpuTest, AllocatorResetWhileItsWorkExecutesIsReported) {
    ID3D12Fence* gate = this->gate();
    ASSERT_EQ(queue->Wait(gate, 1), S_OK);
    begin();
    ASSERT_EQ(list->Close(), S_OK);
    ID3D12CommandList* lists[] = {list};
    queue->ExecuteCommandLists(1, lists);
    EXPECT_EQ(allocator->Reset(), S_OK);
    EXPECT_EQ(errors(), 1u);
    ASSERT_EQ(gate->Signal(1), S_OK);
    waitForQueue();
    EXPECT_EQ(allocator->Reset(), S_OK);
    EXPECT_EQ(errors(), 1u);
}

TEST_F(GpuTest, ASlowGpuShowsAnAllocatorReusedWithoutAWait) {
    // The delay only has to outlast the two calls between the execute and the reset; it is long enough that a
    // loaded machine (a sanitizer run, parallel tests) cannot stall the test thread past it.
    setGpuDelay(2000);
    begin();
    ASSERT_EQ(list->Close(), S_OK);
    ID3D12CommandList* lists[] = {list};
    queue->ExecuteCommandLists(1, lists);
    EXPECT_EQ(allocator->Reset(), S_OK); // no wait: the list is still executing
    EXPECT_EQ(errors(), 1u);
    waitForQueue();
    EXPECT_EQ(allocator->Reset(), S_OK);
    EXPECT_EQ(errors(), 1u);
}

TEST_F(GpuTest, AllocatorInUseByAnOpenListCannotBeShared) {
    begin();
    ID3D12GraphicsCommandList* other = nullptr;
    EXPECT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, allocator, nullptr,
                                        IID_PPV_ARGS(&other)),
              E_INVALIDARG);
    EXPECT_EQ(errors(), 1u);
    EXPECT_EQ(allocator->Reset(), E_FAIL); // a list still records into it
    EXPECT_EQ(errors(), 2u);
    ASSERT_EQ(list->Close(), S_OK);
    EXPECT_EQ(allocator->Reset(), S_OK);
    EXPECT_EQ(errors(), 2u);
}

TEST_F(GpuTest, AddressesAndHandlesOutsideLiveObjectsAreReported) {
    ID3D12RootSignature* rootSignature = keep(makeRootSignature(device));
    ID3D12Resource* constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 512, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12DescriptorHeap* views = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 8, true);
    ID3D12DescriptorHeap* hidden = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 8, false);

    begin();
    list->SetDescriptorHeaps(1, &views);
    list->SetGraphicsRootSignature(rootSignature);
    list->SetGraphicsRootConstantBufferView(0, constants->GetGPUVirtualAddress() + 256);
    list->SetGraphicsRootDescriptorTable(1, views->GetGPUDescriptorHandleForHeapStart());
    EXPECT_EQ(errors(), 0u);

    list->SetGraphicsRootConstantBufferView(0, constants->GetGPUVirtualAddress() + (1 << 20));
    list->SetGraphicsRootDescriptorTable(1, {views->GetGPUDescriptorHandleForHeapStart().ptr + 8 * 32});
    D3D12_SHADER_RESOURCE_VIEW_DESC srv{};
    srv.ViewDimension = D3D12_SRV_DIMENSION_BUFFER;
    srv.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    srv.Buffer.NumElements = 1;
    srv.Buffer.StructureByteStride = 16;
    device->CreateShaderResourceView(constants, &srv,
                                     {hidden->GetCPUDescriptorHandleForHeapStart().ptr + 8 * 32});
    ASSERT_EQ(list->Close(), S_OK);
    ASSERT_EQ(errors(), 3u);
    EXPECT_NE(validationErrors()[0].find("outside every live buffer"), std::string::npos);
    EXPECT_NE(validationErrors()[1].find("outside every live shader-visible"), std::string::npos);
    EXPECT_NE(validationErrors()[2].find("outside every live CBV_SRV_UAV descriptor heap"),
              std::string::npos);

    // A released buffer's range is no longer live.
    D3D12_GPU_VIRTUAL_ADDRESS gone = constants->GetGPUVirtualAddress();
    owned.erase(std::find(owned.begin(), owned.end(), constants));
    constants->Release();
    begin();
    list->SetGraphicsRootSignature(rootSignature);
    list->SetGraphicsRootConstantBufferView(0, gone);
    ASSERT_EQ(list->Close(), S_OK);
    EXPECT_EQ(errors(), 4u);
}

TEST_F(GpuTest, RootArgumentsMustFitTheBoundRootSignature) {
    ID3D12RootSignature* rootSignature = keep(makeRootSignature(device));
    ID3D12Resource* constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 256, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12DescriptorHeap* views = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 8, true);
    const uint32_t values[4] = {1, 2, 3, 4};
    begin();
    list->SetComputeRootConstantBufferView(0, constants->GetGPUVirtualAddress()); // no compute root signature
    list->SetGraphicsRootSignature(rootSignature);
    list->SetGraphicsRoot32BitConstants(2, 4, values, 0);
    EXPECT_EQ(errors(), 1u);
    struct Case {
        const char* expected;
        void (*record)(ID3D12GraphicsCommandList*, D3D12_GPU_VIRTUAL_ADDRESS, D3D12_GPU_DESCRIPTOR_HANDLE);
    };
    const Case cases[] = {
        {"index 3 is out of range",
         [](ID3D12GraphicsCommandList* l, D3D12_GPU_VIRTUAL_ADDRESS a, D3D12_GPU_DESCRIPTOR_HANDLE) {
             l->SetGraphicsRootConstantBufferView(3, a);
         }},
        {"root parameter 1 is a descriptor table, not a root constant-buffer view",
         [](ID3D12GraphicsCommandList* l, D3D12_GPU_VIRTUAL_ADDRESS a, D3D12_GPU_DESCRIPTOR_HANDLE) {
             l->SetGraphicsRootConstantBufferView(1, a);
         }},
        {"root parameter 0 is a root constant-buffer view, not a descriptor table",
         [](ID3D12GraphicsCommandList* l, D3D12_GPU_VIRTUAL_ADDRESS, D3D12_GPU_DESCRIPTOR_HANDLE h) {
             l->SetGraphicsRootDescriptorTable(0, h);
         }},
        {"root parameter 0 is a root constant-buffer view, not a root shader-resource view",
         [](ID3D12GraphicsCommandList* l, D3D12_GPU_VIRTUAL_ADDRESS a, D3D12_GPU_DESCRIPTOR_HANDLE) {
             l->SetGraphicsRootShaderResourceView(0, a);
         }},
        {"reach past the 4 32-bit values",
         [](ID3D12GraphicsCommandList* l, D3D12_GPU_VIRTUAL_ADDRESS, D3D12_GPU_DESCRIPTOR_HANDLE) {
             l->SetGraphicsRoot32BitConstant(2, 7, 4);
         }},
    };
    for (const Case& c : cases) {
        clearValidationErrors();
        c.record(list, constants->GetGPUVirtualAddress(), views->GetGPUDescriptorHandleForHeapStart());
        ASSERT_EQ(errors(), 1u) << c.expected;
        EXPECT_NE(validationErrors()[0].find(c.expected), std::string::npos) << validationErrors()[0];
    }
    ASSERT_EQ(list->Close(), S_OK);
}
