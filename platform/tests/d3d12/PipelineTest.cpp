// Pipeline states from streams (parsed subobject by subobject), graphics and compute descriptions, and the
// bound state that draws and dispatches log.
#include "d3d12/GpuFixture.h"

#include <climits>
#include <cstring>

using namespace standin;

namespace {

// The mesh-shader stream in the order the program builds it: 16 subobjects, 688 bytes.
struct MeshStream {
    CD3DX12_PIPELINE_STATE_STREAM_FLAGS flags;
    CD3DX12_PIPELINE_STATE_STREAM_NODE_MASK nodeMask;
    CD3DX12_PIPELINE_STATE_STREAM_ROOT_SIGNATURE rootSignature;
    CD3DX12_PIPELINE_STATE_STREAM_PRIMITIVE_TOPOLOGY topology;
    CD3DX12_PIPELINE_STATE_STREAM_PS ps;
    CD3DX12_PIPELINE_STATE_STREAM_AS as;
    CD3DX12_PIPELINE_STATE_STREAM_MS ms;
    CD3DX12_PIPELINE_STATE_STREAM_BLEND_DESC blend;
    CD3DX12_PIPELINE_STATE_STREAM_DEPTH_STENCIL1 depthStencil;
    CD3DX12_PIPELINE_STATE_STREAM_DEPTH_STENCIL_FORMAT dsvFormat;
    CD3DX12_PIPELINE_STATE_STREAM_RASTERIZER rasterizer;
    CD3DX12_PIPELINE_STATE_STREAM_RENDER_TARGET_FORMATS rtvFormats;
    CD3DX12_PIPELINE_STATE_STREAM_SAMPLE_DESC sampleDesc;
    CD3DX12_PIPELINE_STATE_STREAM_SAMPLE_MASK sampleMask;
    CD3DX12_PIPELINE_STATE_STREAM_CACHED_PSO cachedPso;
    CD3DX12_PIPELINE_STATE_STREAM_VIEW_INSTANCING viewInstancing;
};
static_assert(sizeof(MeshStream) == 688);

const char MS_BLOB[] = "STANDIN-DXIL\nstage=ms\nentry=MSMain\n";
const char PS_BLOB[] = "STANDIN-DXIL\nstage=ps\nentry=PSMain\n";
const char AS_BLOB[] = "STANDIN-DXIL\nstage=as\nentry=ASMain\n";
const char VS_BLOB[] = "STANDIN-DXIL\nstage=vs\nentry=VSMain\n";
const char CS_BLOB[] = "STANDIN-DXIL\nstage=cs\nentry=CSMain\n";

D3D12_SHADER_BYTECODE code(const char* blob) {
    return {blob, std::strlen(blob) + 1};
}

} // namespace

class PipelineTest : public GpuTest {
protected:
    ID3D12RootSignature* rootSignature = nullptr;

    void SetUp() override {
        GpuTest::SetUp();
        CD3DX12_ROOT_PARAMETER1 parameters[2];
        parameters[0].InitAsConstantBufferView(0);
        CD3DX12_DESCRIPTOR_RANGE1 range(D3D12_DESCRIPTOR_RANGE_TYPE_SRV, UINT_MAX, 0, 1);
        parameters[1].InitAsDescriptorTable(1, &range);
        CD3DX12_VERSIONED_ROOT_SIGNATURE_DESC desc;
        desc.Init_1_1(2, parameters, 0, nullptr, D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED);
        ID3DBlob* blob = nullptr;
        ASSERT_EQ(D3D12SerializeVersionedRootSignature(&desc, &blob, nullptr), S_OK);
        ASSERT_EQ(device->CreateRootSignature(0, blob->GetBufferPointer(), blob->GetBufferSize(),
                                              IID_PPV_ARGS(&rootSignature)),
                  S_OK);
        blob->Release();
        keep(rootSignature);
    }

    MeshStream meshStream() {
        MeshStream stream;
        stream.rootSignature = rootSignature;
        stream.topology = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
        stream.ps = code(PS_BLOB);
        stream.as = code(AS_BLOB);
        stream.ms = code(MS_BLOB);
        CD3DX12_DEPTH_STENCIL_DESC1 depth(D3D12_DEFAULT);
        depth.DepthFunc = D3D12_COMPARISON_FUNC_GREATER_EQUAL;
        stream.depthStencil = depth;
        stream.dsvFormat = DXGI_FORMAT_D32_FLOAT;
        CD3DX12_RASTERIZER_DESC raster(D3D12_DEFAULT);
        raster.CullMode = D3D12_CULL_MODE_NONE;
        raster.FrontCounterClockwise = TRUE;
        stream.rasterizer = raster;
        D3D12_RT_FORMAT_ARRAY formats{};
        formats.NumRenderTargets = 2;
        formats.RTFormats[0] = DXGI_FORMAT_R32G32B32A32_UINT;
        formats.RTFormats[1] = DXGI_FORMAT_R32G32_UINT;
        stream.rtvFormats = formats;
        stream.sampleMask = UINT_MAX;
        return stream;
    }

    ID3D12PipelineState* create(const void* stream, size_t size) {
        D3D12_PIPELINE_STATE_STREAM_DESC desc{size, const_cast<void*>(stream)};
        ID3D12PipelineState* pipeline = nullptr;
        if (FAILED(device->CreatePipelineState(&desc, IID_PPV_ARGS(&pipeline))))
            return nullptr;
        return keep(pipeline);
    }
};

TEST_F(PipelineTest, MeshStreamIsParsedSubobjectBySubobject) {
    MeshStream stream = meshStream();
    ID3D12PipelineState* pipeline = create(&stream, sizeof stream);
    ASSERT_NE(pipeline, nullptr);
    PipelineInfo info = describePipeline(pipeline);
    EXPECT_EQ(info.kind, PipelineKind::Mesh);
    using T = D3D12_PIPELINE_STATE_SUBOBJECT_TYPE;
    const std::vector<T> order = {D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_FLAGS,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_NODE_MASK,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_ROOT_SIGNATURE,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_PRIMITIVE_TOPOLOGY,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_PS,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_AS,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_MS,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_BLEND,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL1,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_DEPTH_STENCIL_FORMAT,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_RASTERIZER,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_RENDER_TARGET_FORMATS,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_SAMPLE_DESC,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_SAMPLE_MASK,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_CACHED_PSO,
                                  D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_VIEW_INSTANCING};
    EXPECT_EQ(info.streamSubobjects, order);
    EXPECT_EQ(info.rootSignature, rootSignature);
    EXPECT_EQ(info.topologyType, D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE);
    EXPECT_EQ(std::string(info.ms.begin(), info.ms.end() - 1), MS_BLOB);
    EXPECT_EQ(std::string(info.ps.begin(), info.ps.end() - 1), PS_BLOB);
    EXPECT_EQ(std::string(info.as.begin(), info.as.end() - 1), AS_BLOB);
    EXPECT_EQ(info.depthStencil.DepthFunc, D3D12_COMPARISON_FUNC_GREATER_EQUAL);
    EXPECT_EQ(info.dsvFormat, DXGI_FORMAT_D32_FLOAT);
    EXPECT_EQ(info.rasterizer.CullMode, D3D12_CULL_MODE_NONE);
    EXPECT_TRUE(info.rasterizer.FrontCounterClockwise);
    EXPECT_EQ(info.numRenderTargets, 2u);
    EXPECT_EQ(info.rtvFormats[0], DXGI_FORMAT_R32G32B32A32_UINT);
    EXPECT_EQ(info.rtvFormats[1], DXGI_FORMAT_R32G32_UINT);
    EXPECT_EQ(info.rtvFormats[2], DXGI_FORMAT_UNKNOWN);
    EXPECT_EQ(info.sampleMask, UINT_MAX);
    EXPECT_EQ(info.sampleDesc.Count, 1u);
    EXPECT_EQ(errors(), 0u);
}

TEST_F(PipelineTest, MalformedStreamsAreRefused) {
    MeshStream stream = meshStream();
    EXPECT_EQ(create(&stream, sizeof stream - 8), nullptr) << "a size that cuts the last subobject";
    // The primitive-topology subobject's type word, changed into one that does not exist.
    MeshStream unknown = meshStream();
    auto* typeWord =
        reinterpret_cast<D3D12_PIPELINE_STATE_SUBOBJECT_TYPE*>(reinterpret_cast<uint8_t*>(&unknown) + 32);
    ASSERT_EQ(*typeWord, D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_PRIMITIVE_TOPOLOGY);
    *typeWord = D3D12_PIPELINE_STATE_SUBOBJECT_TYPE(23);
    EXPECT_EQ(create(&unknown, sizeof unknown), nullptr);
    *typeWord = D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_NODE_MASK; // a second node mask
    EXPECT_EQ(create(&unknown, sizeof unknown), nullptr);
    MeshStream swapped = meshStream();
    swapped.ms = code(PS_BLOB); // pixel-shader bytecode in the mesh-shader slot
    EXPECT_EQ(create(&swapped, sizeof swapped), nullptr);
    EXPECT_EQ(errors(), 4u);
}

TEST_F(PipelineTest, GraphicsAndComputeDescriptionsAreKept) {
    const D3D12_INPUT_ELEMENT_DESC layout[] = {
        {"POSITION", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 0, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0},
        {"NORMAL", 0, DXGI_FORMAT_R32G32B32_FLOAT, 0, 12, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0},
        {"TEXCOORD", 0, DXGI_FORMAT_R32G32_FLOAT, 0, 24, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA, 0}};
    D3D12_GRAPHICS_PIPELINE_STATE_DESC graphics{};
    graphics.pRootSignature = rootSignature;
    graphics.VS = code(VS_BLOB);
    graphics.PS = code(PS_BLOB);
    graphics.BlendState = CD3DX12_BLEND_DESC(D3D12_DEFAULT);
    graphics.SampleMask = UINT_MAX;
    graphics.RasterizerState = CD3DX12_RASTERIZER_DESC(D3D12_DEFAULT);
    graphics.InputLayout = {layout, 3};
    graphics.PrimitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    graphics.NumRenderTargets = 1;
    graphics.RTVFormats[0] = DXGI_FORMAT_R8G8B8A8_UNORM;
    graphics.SampleDesc = {1, 0};
    ID3D12PipelineState* pipeline = nullptr;
    ASSERT_EQ(device->CreateGraphicsPipelineState(&graphics, IID_PPV_ARGS(&pipeline)), S_OK);
    keep(pipeline);
    PipelineInfo info = describePipeline(pipeline);
    EXPECT_EQ(info.kind, PipelineKind::Graphics);
    ASSERT_EQ(info.inputLayout.size(), 3u);
    EXPECT_EQ(info.inputLayout[2].semanticName, "TEXCOORD");
    EXPECT_EQ(info.inputLayout[2].alignedByteOffset, 24u);
    EXPECT_EQ(info.dsvFormat, DXGI_FORMAT_UNKNOWN);

    graphics.RTVFormats[1] = DXGI_FORMAT_R8G8B8A8_UNORM; // beyond NumRenderTargets
    EXPECT_EQ(device->CreateGraphicsPipelineState(&graphics, IID_PPV_ARGS(&pipeline)), E_INVALIDARG);

    D3D12_COMPUTE_PIPELINE_STATE_DESC compute{};
    compute.pRootSignature = rootSignature;
    // A container built elsewhere is taken as it is when its structure holds: header, part offsets, parts.
    std::vector<uint8_t> container(52, 0);
    auto put = [&](size_t at, uint32_t value) { std::memcpy(container.data() + at, &value, 4); };
    std::memcpy(container.data(), "DXBC", 4);
    put(20, 1);  // version
    put(24, 52); // total size
    put(28, 1);  // one part
    put(32, 36); // at offset 36
    std::memcpy(container.data() + 36, "SFI0", 4);
    put(40, 8); // of 8 bytes
    compute.CS = {container.data(), container.size()};
    ASSERT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&pipeline)), S_OK);
    keep(pipeline);
    EXPECT_EQ(describePipeline(pipeline).kind, PipelineKind::Compute);
    compute.CS.BytecodeLength = 48; // cut short
    EXPECT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&pipeline)), E_INVALIDARG);
    compute.CS.BytecodeLength = 52;
    compute.pRootSignature = nullptr;
    EXPECT_EQ(device->CreateComputePipelineState(&compute, IID_PPV_ARGS(&pipeline)), E_INVALIDARG);
    EXPECT_EQ(errors(), 3u);
}

TEST_F(PipelineTest, DrawsAndDispatchesLogTheirBoundState) {
    MeshStream stream = meshStream();
    ID3D12PipelineState* mesh = create(&stream, sizeof stream);
    D3D12_COMPUTE_PIPELINE_STATE_DESC computeDesc{
        rootSignature, code(CS_BLOB), 0, {}, D3D12_PIPELINE_STATE_FLAG_NONE};
    ID3D12PipelineState* compute = nullptr;
    ASSERT_EQ(device->CreateComputePipelineState(&computeDesc, IID_PPV_ARGS(&compute)), S_OK);
    keep(compute);
    ID3D12Resource* constants = buffer(D3D12_HEAP_TYPE_UPLOAD, 512, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* g0 = texture(DXGI_FORMAT_R32G32B32A32_UINT, 8, 8, 1,
                                 D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET, D3D12_RESOURCE_STATE_RENDER_TARGET);
    ID3D12Resource* g1 = texture(DXGI_FORMAT_R32G32_UINT, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                                 D3D12_RESOURCE_STATE_RENDER_TARGET);
    ID3D12DescriptorHeap* rtvs = heap(D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 2, false);
    ID3D12DescriptorHeap* views = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, true);
    D3D12_CPU_DESCRIPTOR_HANDLE targets[2] = {
        rtvs->GetCPUDescriptorHandleForHeapStart(),
        {rtvs->GetCPUDescriptorHandleForHeapStart().ptr +
         device->GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE_RTV)}};
    device->CreateRenderTargetView(g0, nullptr, targets[0]);
    device->CreateRenderTargetView(g1, nullptr, targets[1]);
    g0->SetName(L"G0");

    begin();
    list->SetDescriptorHeaps(1, &views);
    list->OMSetRenderTargets(2, targets, FALSE, nullptr);
    list->SetGraphicsRootSignature(rootSignature);
    list->SetPipelineState(mesh);
    list->SetGraphicsRootConstantBufferView(0, constants->GetGPUVirtualAddress() + 256);
    list->SetGraphicsRootDescriptorTable(1, views->GetGPUDescriptorHandleForHeapStart());
    list->DispatchMesh(2, 1, 1);
    list->SetComputeRootSignature(rootSignature);
    list->SetPipelineState(compute);
    list->Dispatch(3, 4, 1);
    list->SetGraphicsRootSignature(rootSignature); // the same root signature keeps its arguments
    list->SetPipelineState(mesh);
    list->DispatchMesh(1, 1, 1);
    submit();
    EXPECT_EQ(errors(), 0u);

    auto log = submissions();
    ASSERT_EQ(log.size(), 1u);
    std::vector<RecordedCommand> work;
    for (const RecordedCommand& command : log[0].commands)
        if (command.kind == CommandKind::DispatchMesh || command.kind == CommandKind::Dispatch)
            work.push_back(command);
    ASSERT_EQ(work.size(), 3u);
    const BoundState& geometry = work[0].state;
    EXPECT_EQ(work[0].arguments[0], 2u);
    EXPECT_EQ(geometry.pipeline, mesh);
    EXPECT_EQ(geometry.rootSignature, rootSignature);
    ASSERT_EQ(geometry.rootArguments.size(), 2u);
    EXPECT_EQ(geometry.rootArguments[0].kind, RootArgumentKind::ConstantBufferView);
    EXPECT_EQ(geometry.rootArguments[0].address, constants->GetGPUVirtualAddress() + 256);
    EXPECT_EQ(geometry.rootArguments[1].address, views->GetGPUDescriptorHandleForHeapStart().ptr);
    EXPECT_EQ(geometry.renderTargetNames, (std::vector<std::string>{"G0", ""}));
    EXPECT_EQ(geometry.descriptorHeaps, std::vector<ID3D12DescriptorHeap*>{views});
    EXPECT_EQ(work[1].kind, CommandKind::Dispatch);
    EXPECT_EQ(work[1].arguments[1], 4u);
    EXPECT_EQ(work[1].state.rootArguments[0].kind, RootArgumentKind::Unset);
    EXPECT_EQ(work[2].state.rootArguments[0].kind, RootArgumentKind::ConstantBufferView);

    // A render target whose format is not the pipeline's is reported.
    begin();
    std::swap(targets[0], targets[1]);
    list->SetDescriptorHeaps(1, &views);
    list->OMSetRenderTargets(2, targets, FALSE, nullptr);
    list->SetGraphicsRootSignature(rootSignature);
    list->SetPipelineState(mesh);
    list->DispatchMesh(1, 1, 1);
    submit();
    EXPECT_EQ(errors(), 2u);
}
