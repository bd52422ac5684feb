// A whole frame of the renderer's kind, recorded correctly, leaves no validation finding: G-buffer and depth
// passes, ray dispatch and denoise through bounded tables, a compute pass, a post draw into the back buffer,
// queries, present and the frame fence.
#include "d3d12/GpuFixture.h"

#include <dxgi1_6.h>

#include <climits>
#include <cstring>

using namespace standin;

namespace {

const char LIBRARY[] = "STANDIN-DXIL\nstage=lib\nentry=main\nexports=RayGeneration,Miss\n";
const char MESH[] = "STANDIN-DXIL\nstage=ms\nentry=main\n";
const char PIXEL[] = "STANDIN-DXIL\nstage=ps\nentry=main\n";
const char VERTEX[] = "STANDIN-DXIL\nstage=vs\nentry=main\n";
const char COMPUTE[] = "STANDIN-DXIL\nstage=cs\nentry=main\n";

D3D12_SHADER_BYTECODE code(const char* blob) {
    return {blob, std::strlen(blob) + 1};
}

struct MeshStream {
    CD3DX12_PIPELINE_STATE_STREAM_ROOT_SIGNATURE rootSignature;
    CD3DX12_PIPELINE_STATE_STREAM_PRIMITIVE_TOPOLOGY topology;
    CD3DX12_PIPELINE_STATE_STREAM_PS ps;
    CD3DX12_PIPELINE_STATE_STREAM_MS ms;
    CD3DX12_PIPELINE_STATE_STREAM_DEPTH_STENCIL_FORMAT dsvFormat;
    CD3DX12_PIPELINE_STATE_STREAM_RENDER_TARGET_FORMATS rtvFormats;
};

D3D12_RESOURCE_BARRIER transition(ID3D12Resource* resource, D3D12_RESOURCE_STATES before,
                                  D3D12_RESOURCE_STATES after) {
    return CD3DX12_RESOURCE_BARRIER::Transition(resource, before, after);
}

} // namespace

class FrameTest : public GpuTest {
protected:
    ID3D12RootSignature* serialize(const D3D12_VERSIONED_ROOT_SIGNATURE_DESC& desc) {
        ID3DBlob* blob = nullptr;
        EXPECT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, nullptr), S_OK);
        ID3D12RootSignature* made = nullptr;
        EXPECT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&made)),
                  S_OK);
        blob->Release();
        return keep(made);
    }

    D3D12_CPU_DESCRIPTOR_HANDLE cpu(ID3D12DescriptorHeap* heap, UINT slot) {
        D3D12_DESCRIPTOR_HEAP_TYPE type = heap->GetDesc().Type;
        return {heap->GetCPUDescriptorHandleForHeapStart().ptr +
                slot * device->GetDescriptorHandleIncrementSize(type)};
    }
    D3D12_GPU_DESCRIPTOR_HANDLE gpu(ID3D12DescriptorHeap* heap, UINT slot) {
        return {heap->GetGPUDescriptorHandleForHeapStart().ptr +
                slot * device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV)};
    }

    // Two frames; with stayOnFirstBackBuffer the second frame draws into back buffer 0 although Present has
    // made buffer 1 the current one.
    void renderTwoFrames(bool stayOnFirstBackBuffer);
    ID3D12Resource* tlas = nullptr;
};

void FrameTest::renderTwoFrames(bool stayOnFirstBackBuffer) {
    const UINT w = 64, h = 32;
    IDXGIFactory6* factory = nullptr;
    ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
    keep(factory);
    DXGI_SWAP_CHAIN_DESC1 chainDesc{w,
                                    h,
                                    DXGI_FORMAT_R8G8B8A8_UNORM,
                                    FALSE,
                                    {1, 0},
                                    DXGI_USAGE_RENDER_TARGET_OUTPUT,
                                    2,
                                    DXGI_SCALING_STRETCH,
                                    DXGI_SWAP_EFFECT_FLIP_DISCARD,
                                    DXGI_ALPHA_MODE_UNSPECIFIED,
                                    0};
    IDXGISwapChain1* chain1 = nullptr;
    ASSERT_EQ(factory->CreateSwapChainForHwnd(queue, reinterpret_cast<HWND>(uintptr_t(0x200)), &chainDesc,
                                              nullptr, nullptr, &chain1),
              S_OK);
    IDXGISwapChain3* swapChain = nullptr;
    chain1->QueryInterface(IID_PPV_ARGS(&swapChain));
    chain1->Release();
    keep(swapChain);

    ID3D12DescriptorHeap* rtvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 8, false);
    ID3D12DescriptorHeap* dsvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_DSV, 2, false);
    ID3D12DescriptorHeap* srvHeap = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 16, true);
    ID3D12Resource* back[2];
    for (UINT i = 0; i < 2; ++i) {
        ASSERT_EQ(swapChain->GetBuffer(i, IID_PPV_ARGS(&back[i])), S_OK);
        keep(back[i]);
        device->CreateRenderTargetView(back[i], nullptr, cpu(rtvHeap, i));
    }
    const auto RT = D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET;
    ID3D12Resource* g0 = texture(DXGI_FORMAT_R32G32B32A32_UINT, w, h, 1, RT, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* g1 = texture(DXGI_FORMAT_R32G32_UINT, w, h, 1, RT, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* color =
        texture(DXGI_FORMAT_R16G16B16A16_FLOAT, w, h, 1, RT | D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    ID3D12Resource* depth =
        texture(DXGI_FORMAT_R32_TYPELESS, w, h, 1, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
                D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
    ID3D12Resource* shadow =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, w, h, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    ID3D12Resource* noisy =
        texture(DXGI_FORMAT_R32G32B32A32_FLOAT, w, h, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    device->CreateRenderTargetView(g0, nullptr, cpu(rtvHeap, 2));
    device->CreateRenderTargetView(g1, nullptr, cpu(rtvHeap, 3));
    D3D12_DEPTH_STENCIL_VIEW_DESC dsv{
        DXGI_FORMAT_D32_FLOAT, D3D12_DSV_DIMENSION_TEXTURE2D, D3D12_DSV_FLAG_NONE, {}};
    device->CreateDepthStencilView(depth, &dsv, cpu(dsvHeap, 0));
    D3D12_SHADER_RESOURCE_VIEW_DESC depthSrv{};
    depthSrv.Format = DXGI_FORMAT_R32_FLOAT;
    depthSrv.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
    depthSrv.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    depthSrv.Texture2D.MipLevels = 1;
    device->CreateShaderResourceView(color, nullptr, cpu(srvHeap, 2));
    device->CreateUnorderedAccessView(color, nullptr, nullptr, cpu(srvHeap, 3));
    device->CreateShaderResourceView(depth, &depthSrv, cpu(srvHeap, 4));
    device->CreateUnorderedAccessView(shadow, nullptr, nullptr, cpu(srvHeap, 5));
    device->CreateUnorderedAccessView(noisy, nullptr, nullptr, cpu(srvHeap, 6));
    device->CreateShaderResourceView(noisy, nullptr, cpu(srvHeap, 7));

    // Root signatures: bindless, post, ray tracing.
    CD3DX12_ROOT_PARAMETER1 bindless[17];
    for (UINT i = 0; i < 16; ++i)
        bindless[i].InitAsConstantBufferView(i);
    CD3DX12_DESCRIPTOR_RANGE1 all(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, UINT_MAX, 0, 1,
                                  D3D12_DESCRIPTOR_RANGE_FLAG_DESCRIPTORS_VOLATILE);
    bindless[16].InitAsDescriptorTable(1, &all);
    CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
    desc.Init_1_1(17, bindless, 0, nullptr, D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED);
    ID3D12RootSignature* defaultRoot = serialize(desc);
    CD3DX12_DESCRIPTOR_RANGE1 one(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 0);
    CD3DX12_ROOT_PARAMETER1 post[2];
    post[0].InitAsDescriptorTable(1, &one, D3D12_SHADER_VISIBILITY_PIXEL);
    post[1].InitAsConstants(4, 0, 0, D3D12_SHADER_VISIBILITY_PIXEL);
    desc.Init_1_1(2, post);
    ID3D12RootSignature* postRoot = serialize(desc);
    CD3DX12_DESCRIPTOR_RANGE1 u0(D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 1, 0),
        t1(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 1);
    CD3DX12_ROOT_PARAMETER1 rayParameters[5];
    rayParameters[0].InitAsDescriptorTable(1, &u0);
    rayParameters[1].InitAsShaderResourceView(0);
    rayParameters[2].InitAsConstants(3, 0);
    rayParameters[3].InitAsConstantBufferView(1);
    rayParameters[4].InitAsDescriptorTable(1, &t1);
    desc.Init_1_1(5, rayParameters);
    ID3D12RootSignature* rayRoot = serialize(desc);

    // Pipelines.
    MeshStream stream;
    stream.rootSignature = defaultRoot;
    stream.topology = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    stream.ps = code(PIXEL);
    stream.ms = code(MESH);
    stream.dsvFormat = DXGI_FORMAT_D32_FLOAT;
    stream.rtvFormats = D3D12_RT_FORMAT_ARRAY{{DXGI_FORMAT_R32G32B32A32_UINT, DXGI_FORMAT_R32G32_UINT}, 2};
    D3D12_PIPELINE_STATE_STREAM_DESC streamDesc{sizeof stream, &stream};
    ID3D12PipelineState *geometry = nullptr, *shading = nullptr, *postPipeline = nullptr, *denoise = nullptr;
    ASSERT_EQ(device->CreatePipelineState(&streamDesc, IID_PPV_ARGS(&geometry)), S_OK);
    D3D12_COMPUTE_PIPELINE_STATE_DESC compute{
        defaultRoot, code(COMPUTE), 0, {}, D3D12_PIPELINE_STATE_FLAG_NONE};
    ASSERT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&shading)), S_OK);
    compute.pRootSignature = rayRoot;
    ASSERT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&denoise)), S_OK);
    D3D12_GRAPHICS_PIPELINE_STATE_DESC graphics{};
    graphics.pRootSignature = postRoot;
    graphics.VS = code(VERTEX);
    graphics.PS = code(PIXEL);
    graphics.BlendState = CD3DX12_BLEND_DESC(D3D12_DEFAULT);
    graphics.SampleMask = UINT_MAX;
    graphics.RasterizerState = CD3DX12_RASTERIZER_DESC(D3D12_DEFAULT);
    graphics.DepthStencilState = CD3DX12_DEPTH_STENCIL_DESC(D3D12_DEFAULT);
    graphics.PrimitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    graphics.NumRenderTargets = 1;
    graphics.RTVFormats[0] = DXGI_FORMAT_R8G8B8A8_UNORM;
    graphics.SampleDesc = {1, 0};
    ASSERT_EQ(device->CreateGraphicsPipelineState(&graphics, IID_PPV_ARGS(&postPipeline)), S_OK);
    for (ID3D12PipelineState* made : {geometry, shading, denoise, postPipeline})
        keep(made);
    CD3DX12_STATE_OBJECT_DESC objectDesc(D3D12_STATE_OBJECT_TYPE_RAYTRACING_PIPELINE);
    D3D12_SHADER_BYTECODE library = code(LIBRARY);
    objectDesc.CreateSubobject<CD3DX12_DXIL_LIBRARY_SUBOBJECT>()->SetDXILLibrary(&library);
    objectDesc.CreateSubobject<CD3DX12_RAYTRACING_SHADER_CONFIG_SUBOBJECT>()->Config(20, 8);
    objectDesc.CreateSubobject<CD3DX12_GLOBAL_ROOT_SIGNATURE_SUBOBJECT>()->SetRootSignature(rayRoot);
    objectDesc.CreateSubobject<CD3DX12_RAYTRACING_PIPELINE_CONFIG_SUBOBJECT>()->Config(2);
    ID3D12StateObject* stateObject = nullptr;
    ASSERT_EQ(device->CreateStateObject(objectDesc, IID_PPV_ARGS(&stateObject)), S_OK);
    keep(stateObject);

    // Buffers: constants, the shader table, a top-level structure's buffer, the query read-back.
    ID3D12Resource* constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 4096, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* table = buffer(D3D12_HEAP_TYPE_UPLOAD, 192, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12StateObjectProperties* properties = nullptr;
    stateObject->QueryInterface(IID_PPV_ARGS(&properties));
    uint8_t* records = nullptr;
    table->Map(0, nullptr, reinterpret_cast<void**>(&records));
    std::memcpy(records, properties->GetShaderIdentifier(L"RayGeneration"), 32);
    std::memcpy(records + 64, properties->GetShaderIdentifier(L"Miss"), 32);
    table->Unmap(0, nullptr);
    properties->Release();
    tlas = buffer(D3D12_HEAP_TYPE_DEFAULT, 4096, D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE,
                  D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    // The rays trace a built top-level structure; an empty one will do.
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC build{};
    build.Inputs.Type = D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE_TOP_LEVEL;
    build.Inputs.DescsLayout = D3D12_ELEMENTS_LAYOUT_ARRAY;
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_PREBUILD_INFO sizes{};
    device->GetRaytracingAccelerationStructurePrebuildInfo(&build.Inputs, &sizes);
    ASSERT_LE(sizes.ResultDataMaxSizeInBytes, 4096u);
    build.DestAccelerationStructureData = tlas->GetGPUVirtualAddress();
    build.ScratchAccelerationStructureData =
        buffer(D3D12_HEAP_TYPE_DEFAULT, sizes.ScratchDataSizeInBytes, D3D12_RESOURCE_STATE_COMMON,
               D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS)
            ->GetGPUVirtualAddress();
    begin();
    list->BuildRaytracingAccelerationStructure(&build, 0, nullptr);
    submit();
    clearSubmissions();
    ID3D12QueryHeap *timing = nullptr, *stats = nullptr;
    D3D12_QUERY_HEAP_DESC queryDesc{D3D12_QUERY_HEAP_TYPE_TIMESTAMP, 40, 0};
    ASSERT_EQ(device->CreateQueryHeap(&queryDesc, IID_PPV_ARGS(&timing)), S_OK);
    queryDesc = {D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS1, 2, 0};
    ASSERT_EQ(device->CreateQueryHeap(&queryDesc, IID_PPV_ARGS(&stats)), S_OK);
    keep(timing);
    keep(stats);
    ID3D12Resource* readback = buffer(D3D12_HEAP_TYPE_READBACK, 544, D3D12_RESOURCE_STATE_COPY_DEST);
    D3D12_GPU_VIRTUAL_ADDRESS cb = constants->GetGPUVirtualAddress();

    for (UINT frame = 0; frame < 2; ++frame) {
        UINT slot = swapChain->GetCurrentBackBufferIndex(), base = 10 * slot;
        UINT drawn = stayOnFirstBackBuffer ? 0 : slot; // the back buffer the frame renders into
        ASSERT_EQ(allocator->Reset(), S_OK);
        begin();
        D3D12_VIEWPORT viewport{0, 0, float(w), float(h), 0, 1};
        D3D12_RECT scissor{0, 0, LONG(w), LONG(h)};
        list->RSSetViewports(1, &viewport);
        list->RSSetScissorRects(1, &scissor);
        D3D12_RESOURCE_BARRIER toGeometry[] = {
            transition(g0, D3D12_RESOURCE_STATE_COMMON, D3D12_RESOURCE_STATE_RENDER_TARGET),
            transition(g1, D3D12_RESOURCE_STATE_COMMON, D3D12_RESOURCE_STATE_RENDER_TARGET),
            transition(depth, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                       D3D12_RESOURCE_STATE_DEPTH_WRITE)};
        list->ResourceBarrier(3, toGeometry);
        D3D12_CPU_DESCRIPTOR_HANDLE targets[] = {cpu(rtvHeap, 2), cpu(rtvHeap, 3)};
        D3D12_CPU_DESCRIPTOR_HANDLE depthView = cpu(dsvHeap, 0);
        list->OMSetRenderTargets(2, targets, FALSE, &depthView);
        const float black[4] = {0, 0, 0, 1};
        list->ClearRenderTargetView(targets[0], black, 0, nullptr);
        list->ClearRenderTargetView(targets[1], black, 0, nullptr);
        list->ClearDepthStencilView(depthView, D3D12_CLEAR_FLAG_DEPTH, 0.0f, 0, 0, nullptr);
        list->BeginQuery(stats, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, slot);
        list->EndQuery(timing, D3D12_QUERY_TYPE_TIMESTAMP, base + 0);
        list->SetDescriptorHeaps(1, &srvHeap);
        list->SetGraphicsRootSignature(defaultRoot);
        list->SetPipelineState(geometry);
        list->IASetPrimitiveTopology(D3D_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
        for (UINT i = 0; i < 3; ++i)
            list->SetGraphicsRootConstantBufferView(i, cb + 256 * i);
        list->SetGraphicsRootDescriptorTable(16, gpu(srvHeap, 0));
        list->DispatchMesh(1, 1, 1);
        list->EndQuery(timing, D3D12_QUERY_TYPE_TIMESTAMP, base + 1);
        list->EndQuery(stats, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, slot);
        D3D12_RESOURCE_BARRIER afterGeometry[] = {transition(g0, D3D12_RESOURCE_STATE_RENDER_TARGET,
                                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE),
                                                  transition(g1, D3D12_RESOURCE_STATE_RENDER_TARGET,
                                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE),
                                                  transition(color,
                                                             D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE,
                                                             D3D12_RESOURCE_STATE_UNORDERED_ACCESS),
                                                  transition(depth, D3D12_RESOURCE_STATE_DEPTH_WRITE,
                                                             D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE)};
        list->ResourceBarrier(4, afterGeometry);
        // Shadow rays, then the denoise dispatch reading the noisy texture as a shader resource.
        list->SetPipelineState1(stateObject);
        list->SetComputeRootSignature(rayRoot);
        list->SetComputeRootDescriptorTable(0, gpu(srvHeap, 6));
        list->SetComputeRootShaderResourceView(1, tlas->GetGPUVirtualAddress());
        list->SetComputeRootConstantBufferView(3, cb + 1024);
        list->SetComputeRootDescriptorTable(4, gpu(srvHeap, 4));
        D3D12_GPU_VIRTUAL_ADDRESS a = table->GetGPUVirtualAddress();
        D3D12_DISPATCH_RAYS_DESC raysDesc{{a, 32}, {a + 64, 32, 32}, {a + 128, 32, 32}, {0, 0, 0}, w, h, 1};
        list->DispatchRays(&raysDesc);
        D3D12_RESOURCE_BARRIER toDenoise = transition(noisy, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                                                      D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE);
        list->ResourceBarrier(1, &toDenoise);
        list->SetPipelineState(denoise);
        list->SetComputeRootSignature(rayRoot);
        list->SetComputeRootDescriptorTable(0, gpu(srvHeap, 5));
        list->SetComputeRootDescriptorTable(4, gpu(srvHeap, 7));
        list->Dispatch((w + 15) / 16, (h + 15) / 16, 1);
        D3D12_RESOURCE_BARRIER afterDenoise[] = {transition(noisy,
                                                            D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE,
                                                            D3D12_RESOURCE_STATE_UNORDERED_ACCESS),
                                                 CD3DX12_RESOURCE_BARRIER::UAV(shadow)};
        list->ResourceBarrier(2, afterDenoise);
        // Shading.
        list->SetDescriptorHeaps(1, &srvHeap);
        list->SetComputeRootSignature(defaultRoot);
        list->SetPipelineState(shading);
        for (UINT i = 0; i < 4; ++i)
            list->SetComputeRootConstantBufferView(i, cb + 256 * i);
        list->SetComputeRootDescriptorTable(16, gpu(srvHeap, 0));
        list->Dispatch((w + 7) / 8, (h + 7) / 8, 1);
        D3D12_RESOURCE_BARRIER toPost[] = {
            transition(color, D3D12_RESOURCE_STATE_UNORDERED_ACCESS,
                       D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE),
            transition(back[drawn], D3D12_RESOURCE_STATE_PRESENT, D3D12_RESOURCE_STATE_RENDER_TARGET)};
        list->ResourceBarrier(2, toPost);
        // Post into the back buffer.
        D3D12_CPU_DESCRIPTOR_HANDLE backView = cpu(rtvHeap, drawn);
        list->OMSetRenderTargets(1, &backView, FALSE, nullptr);
        list->SetGraphicsRootSignature(postRoot);
        list->SetPipelineState(postPipeline);
        list->SetGraphicsRootDescriptorTable(0, gpu(srvHeap, 2));
        const float settings[4] = {1, 0, 1, 1};
        list->SetGraphicsRoot32BitConstants(1, 4, settings, 0);
        list->DrawInstanced(6, 1, 0, 0);
        list->EndQuery(timing, D3D12_QUERY_TYPE_TIMESTAMP, base + 2);
        if (frame > 0) { // the other slot has issued its queries
            UINT other = 1 - slot;
            list->ResolveQueryData(timing, D3D12_QUERY_TYPE_TIMESTAMP, 10 * other, 3, readback, 80 * other);
            list->ResolveQueryData(stats, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, other, 1, readback,
                                   320 + 112 * other);
        }
        D3D12_RESOURCE_BARRIER closing[] = {
            transition(back[drawn], D3D12_RESOURCE_STATE_RENDER_TARGET, D3D12_RESOURCE_STATE_PRESENT),
            transition(g0, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_COMMON),
            transition(g1, D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE, D3D12_RESOURCE_STATE_COMMON)};
        list->ResourceBarrier(3, closing);
        ASSERT_EQ(list->Close(), S_OK);
        ID3D12CommandList* lists[] = {list};
        queue->ExecuteCommandLists(1, lists);
        ASSERT_EQ(swapChain->Present(1, 0), S_OK);
        waitForQueue();
    }
}

TEST_F(FrameTest, ACorrectFrameLeavesNoFinding) {
    renderTwoFrames(false);
    EXPECT_EQ(errors(), 0u) << firstFinding();
    const std::vector<Submission> log = submissions();
    ASSERT_EQ(log.size(), 2u);
    // The shading dispatch saw the bindless root signature's arguments; the rays the ray-tracing one's.
    const auto& commands = log.back().commands;
    auto rays = std::find_if(commands.begin(), commands.end(),
                             [](const RecordedCommand& c) { return c.kind == CommandKind::DispatchRays; });
    ASSERT_NE(rays, commands.end());
    EXPECT_EQ(rays->state.rootArguments[1].address, tlas->GetGPUVirtualAddress());
    EXPECT_EQ(rays->state.rootArguments[2].kind, RootArgumentKind::Unset);
}

TEST_F(FrameTest, DrawingIntoABackBufferThatIsNotCurrentIsReported) {
    renderTwoFrames(true);
    // The second frame's post draw into buffer 0 while buffer 1 is current; the first frame is correct.
    ASSERT_EQ(errors(), 1u) << firstFinding();
    EXPECT_NE(
        validationErrors()[0].find("DrawInstanced (render target): an unnamed texture is back buffer 0 of "
                                   "its swap chain, but the current back buffer is 1"),
        std::string::npos)
        << validationErrors()[0];
}
