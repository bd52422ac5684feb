// Graphics pipelines of real DXIL: the stages agree on what passes between them (the payload, the attributes
// the pixel shader reads), and each stage sees the root parameters its bindings need.
#include "d3d12/DxilFixture.h"

using namespace standin;

namespace {

const char STAGES[] = R"(
struct Payload { uint indices[4]; };
struct SmallPayload { uint index; };
groupshared Payload groupPayload;
groupshared SmallPayload smallPayload;

[numthreads(4, 1, 1)]
void AmplificationMain(uint i : SV_GroupThreadID) {
    groupPayload.indices[i] = i;
    DispatchMesh(1, 1, 1, groupPayload);
}

[numthreads(1, 1, 1)]
void SmallAmplificationMain() {
    smallPayload.index = 0;
    DispatchMesh(1, 1, 1, smallPayload);
}

struct Vertex {
    float4 position : SV_Position;
    float2 texcoord : TEXCOORD0;
};

[outputtopology("triangle")]
[numthreads(3, 1, 1)]
void MeshMain(uint i : SV_GroupThreadID, in payload Payload p, out vertices Vertex outVertices[3],
              out indices uint3 outTriangles[1]) {
    SetMeshOutputCounts(3, 1);
    outVertices[i].position = float4(i, p.indices[i], 0, 1);
    outVertices[i].texcoord = float2(i, 0);
    if (i == 0)
        outTriangles[0] = uint3(0, 1, 2);
}

Vertex VertexMain(uint id : SV_VertexID) {
    Vertex v;
    v.position = float4(id, 0, 0, 1);
    v.texcoord = float2(id, 1);
    return v;
}

struct Tint { float4 value; };
ConstantBuffer<Tint> tint : register(b0);
float4 PixelMain(Vertex v) : SV_Target {
    return float4(v.texcoord, 0, 1) * tint.value;
}

struct OtherVertex {
    float4 position : SV_Position;
    float2 texcoord : TEXCOORD1;
};
float4 OtherPixelMain(OtherVertex v) : SV_Target {
    return float4(v.texcoord, 0, 1);
}

struct WideVertex {
    float4 position : SV_Position;
    float4 texcoord : TEXCOORD0;
};
float4 WidePixelMain(WideVertex v) : SV_Target {
    return v.texcoord;
}
)";

struct MeshStream {
    CD3DX12_PIPELINE_STATE_STREAM_ROOT_SIGNATURE rootSignature;
    CD3DX12_PIPELINE_STATE_STREAM_AS as;
    CD3DX12_PIPELINE_STATE_STREAM_MS ms;
    CD3DX12_PIPELINE_STATE_STREAM_PS ps;
    CD3DX12_PIPELINE_STATE_STREAM_RENDER_TARGET_FORMATS formats;
};

} // namespace

class StageInterfaceTest : public DxilTest {
protected:
    void SetUp() override {
        DxilTest::SetUp();
        if (IsSkipped())
            return;
        for (const wchar_t* entry : {L"AmplificationMain", L"SmallAmplificationMain"})
            code[entry] = compile(STAGES, entry, L"as_6_5");
        code[L"MeshMain"] = compile(STAGES, L"MeshMain", L"ms_6_5");
        code[L"VertexMain"] = compile(STAGES, L"VertexMain", L"vs_6_5");
        for (const wchar_t* entry : {L"PixelMain", L"OtherPixelMain", L"WidePixelMain"})
            code[entry] = compile(STAGES, entry, L"ps_6_5");
    }

    // The pixel shader's b0, visible to one stage.
    ID3D12RootSignature*
    tintRootSignature(D3D12_SHADER_VISIBILITY visibility,
                      D3D12_ROOT_SIGNATURE_FLAGS flags = D3D12_ROOT_SIGNATURE_FLAG_NONE) {
        CD3DX12_ROOT_PARAMETER1 tint;
        tint.InitAsConstantBufferView(0, 0, D3D12_ROOT_DESCRIPTOR_FLAG_NONE, visibility);
        return rootSignature(1, &tint, 0, nullptr, flags);
    }

    D3D12_SHADER_BYTECODE stage(const wchar_t* entry) { return {code[entry].data(), code[entry].size()}; }

    HRESULT meshPipeline(ID3D12RootSignature* root, const wchar_t* amplification, const wchar_t* pixel) {
        MeshStream stream;
        stream.rootSignature = root;
        stream.as = stage(amplification);
        stream.ms = stage(L"MeshMain");
        stream.ps = stage(pixel);
        D3D12_RT_FORMAT_ARRAY formats{{DXGI_FORMAT_R8G8B8A8_UNORM}, 1};
        stream.formats = formats;
        D3D12_PIPELINE_STATE_STREAM_DESC desc{sizeof stream, &stream};
        ID3D12PipelineState* pipeline = nullptr;
        HRESULT result = device->CreatePipelineState(&desc, IID_PPV_ARGS(&pipeline));
        if (pipeline)
            keep(pipeline);
        return result;
    }

    HRESULT classicPipeline(ID3D12RootSignature* root, const wchar_t* pixel) {
        D3D12_GRAPHICS_PIPELINE_STATE_DESC desc{};
        desc.pRootSignature = root;
        desc.VS = stage(L"VertexMain");
        desc.PS = stage(pixel);
        desc.BlendState = CD3DX12_BLEND_DESC(D3D12_DEFAULT);
        desc.SampleMask = UINT_MAX;
        desc.RasterizerState = CD3DX12_RASTERIZER_DESC(D3D12_DEFAULT);
        desc.PrimitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
        desc.NumRenderTargets = 1;
        desc.RTVFormats[0] = DXGI_FORMAT_R8G8B8A8_UNORM;
        desc.SampleDesc = {1, 0};
        ID3D12PipelineState* pipeline = nullptr;
        HRESULT result = device->CreateGraphicsPipelineState(&desc, IID_PPV_ARGS(&pipeline));
        if (pipeline)
            keep(pipeline);
        return result;
    }

    std::map<std::wstring, std::vector<uint8_t>> code;
};

TEST_F(StageInterfaceTest, AMeshPipelinesStagesAgreeOnPayloadAttributesAndWhatEachSees) {
    struct Case {
        const char* what;
        D3D12_SHADER_VISIBILITY tintVisibility;
        D3D12_ROOT_SIGNATURE_FLAGS flags;
        const wchar_t* amplification;
        const wchar_t* pixel;
        const char* finding;
    } cases[] = {
        {"matching stages", D3D12_SHADER_VISIBILITY_PIXEL, D3D12_ROOT_SIGNATURE_FLAG_NONE,
         L"AmplificationMain", L"PixelMain", ""},
        {"the pixel shader's buffer visible to the mesh stage", D3D12_SHADER_VISIBILITY_MESH,
         D3D12_ROOT_SIGNATURE_FLAG_NONE, L"AmplificationMain", L"PixelMain", "the pixel shader binds b0"},
        {"the pixel stage denied root access", D3D12_SHADER_VISIBILITY_ALL,
         D3D12_ROOT_SIGNATURE_FLAG_DENY_PIXEL_SHADER_ROOT_ACCESS, L"AmplificationMain", L"PixelMain",
         "denies the pixel stage root access"},
        {"a smaller payload", D3D12_SHADER_VISIBILITY_PIXEL, D3D12_ROOT_SIGNATURE_FLAG_NONE,
         L"SmallAmplificationMain", L"PixelMain",
         "the amplification shader's payload is 4 bytes, but the mesh shader's is 16"},
        {"an attribute the mesh shader does not write", D3D12_SHADER_VISIBILITY_PIXEL,
         D3D12_ROOT_SIGNATURE_FLAG_NONE, L"AmplificationMain", L"OtherPixelMain",
         "the pixel shader reads TEXCOORD1, which the mesh shader does not write"},
        {"more components than the mesh shader writes", D3D12_SHADER_VISIBILITY_PIXEL,
         D3D12_ROOT_SIGNATURE_FLAG_NONE, L"AmplificationMain", L"WidePixelMain",
         "the pixel shader reads TEXCOORD0 at register 1 (xyzw, float), but the mesh shader writes it at "
         "register 1 (xy, float)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        expectOutcome(meshPipeline(tintRootSignature(c.tintVisibility, c.flags), c.amplification, c.pixel),
                      c.finding);
    }
}

TEST_F(StageInterfaceTest, AClassicPipelinesPixelShaderReadsWhatTheVertexShaderWrites) {
    ID3D12RootSignature* root = tintRootSignature(D3D12_SHADER_VISIBILITY_PIXEL);
    expectOutcome(classicPipeline(root, L"PixelMain"), "");
    expectOutcome(classicPipeline(root, L"OtherPixelMain"),
                  "the pixel shader reads TEXCOORD1, which the vertex shader does not write");
}
