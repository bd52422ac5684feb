// Pipeline states and state objects made from real DXIL are checked as the runtime checks them: the root
// signature covers every binding of every shader, and a graphics pipeline's stages agree on what passes
// between them. Correct pipelines make no finding.
#include "d3d12/DxilFixture.h"

#include <climits>
#include <functional>

using namespace standin;

namespace {

// Every kind of binding: root CBV b0, root constants b1, a table of t0 and u0, a root SRV t1 in space 2, an
// unbounded table t0.. in space 1, and the static sampler s0.
const char COMPUTE_BINDINGS[] = R"(
struct Settings { float4 tint; };
ConstantBuffer<Settings> settings : register(b0);
cbuffer Root : register(b1) { float4 rootValue; }
Texture2D<float4> colour : register(t0);
StructuredBuffer<float4> values : register(t1, space2);
RWTexture2D<float4> target : register(u0);
SamplerState linearSampler : register(s0);
Texture2D<float4> textures[] : register(t0, space1);
[numthreads(8, 8, 1)]
void main(uint3 id : SV_DispatchThreadID) {
    target[id.xy] = colour.SampleLevel(linearSampler, float2(0, 0), 0) + values[id.x] +
                    textures[NonUniformResourceIndex(id.y)].Load(int3(0, 0, 0)) + settings.tint + rootValue;
}
)";

const char COMPUTE_HEAP[] = R"(
cbuffer Root : register(b0) { uint index; }
[numthreads(8, 8, 1)]
void main(uint3 id : SV_DispatchThreadID) {
    RWTexture2D<float4> target = ResourceDescriptorHeap[index];
    target[id.xy] = 1.0;
}
)";

// The parts of the root signature of COMPUTE_BINDINGS that the cases change.
struct Layout {
    D3D12_SHADER_VISIBILITY visibility = D3D12_SHADER_VISIBILITY_ALL;
    UINT constantBufferRegister = 0;
    UINT rootConstantsRegister = 1;
    CD3DX12_DESCRIPTOR_RANGE1 table[2] = {{D3D12_DESCRIPTOR_RANGE_TYPE_SRV, 1, 0},
                                          {D3D12_DESCRIPTOR_RANGE_TYPE_UAV, 1, 0}};
    CD3DX12_DESCRIPTOR_RANGE1 bindless{D3D12_DESCRIPTOR_RANGE_TYPE_SRV, UINT_MAX, 0, 1};
    bool structuredInRootDescriptor = true; // t1 space 2; false moves the texture t0 there instead
    UINT samplerRegister = 0;
};

struct Refusal {
    const char* what;
    std::function<void(Layout&)> change;
    const char* finding; // part of the finding; "" when the pipeline is made
};

} // namespace

class ShaderBindingsTest : public DxilTest {
protected:
    using DxilTest::rootSignature;

    ID3D12RootSignature* rootSignature(const Layout& layout) {
        CD3DX12_ROOT_PARAMETER1 parameters[5];
        parameters[0].InitAsConstantBufferView(layout.constantBufferRegister, 0,
                                               D3D12_ROOT_DESCRIPTOR_FLAG_NONE, layout.visibility);
        parameters[1].InitAsConstants(4, layout.rootConstantsRegister, 0, layout.visibility);
        UINT tableRanges = layout.structuredInRootDescriptor ? 2 : 1;
        const CD3DX12_DESCRIPTOR_RANGE1* ranges =
            layout.structuredInRootDescriptor ? layout.table : layout.table + 1;
        parameters[2].InitAsDescriptorTable(tableRanges, ranges, layout.visibility);
        if (layout.structuredInRootDescriptor)
            parameters[3].InitAsShaderResourceView(1, 2, D3D12_ROOT_DESCRIPTOR_FLAG_NONE, layout.visibility);
        else
            parameters[3].InitAsShaderResourceView(0, 0, D3D12_ROOT_DESCRIPTOR_FLAG_NONE, layout.visibility);
        parameters[4].InitAsDescriptorTable(1, &layout.bindless, layout.visibility);
        CD3DX12_STATIC_SAMPLER_DESC sampler(layout.samplerRegister);
        return rootSignature(5, parameters, 1, &sampler, D3D12_ROOT_SIGNATURE_FLAG_NONE);
    }

    HRESULT computePipeline(ID3D12RootSignature* root, const std::vector<uint8_t>& code) {
        D3D12_COMPUTE_PIPELINE_STATE_DESC desc{};
        desc.pRootSignature = root;
        desc.CS = {code.data(), code.size()};
        ID3D12PipelineState* pipeline = nullptr;
        HRESULT result = device->CreateComputePipelineState(&desc, IID_PPV_ARGS(&pipeline));
        if (pipeline)
            keep(pipeline);
        return result;
    }
};

TEST_F(ShaderBindingsTest, AComputePipelineNeedsEveryBindingCoveredByAParameterItSees) {
    const std::vector<uint8_t> code = compile(COMPUTE_BINDINGS, L"main", L"cs_6_7");
    const Refusal cases[] = {
        {"every binding covered", [](Layout&) {}, ""},
        {"root constant buffer at another register", [](Layout& l) { l.constantBufferRegister = 4; },
         "binds b0 space 0 ('settings')"},
        {"root constants at another register", [](Layout& l) { l.rootConstantsRegister = 2; },
         "binds b1 space 0 ('Root')"},
        {"texture range in another space", [](Layout& l) { l.table[0].RegisterSpace = 3; },
         "binds t0 space 0 ('colour')"},
        // The root constant buffer moves away, so that the table's b0 does not overlap it.
        {"UAV register in a CBV range",
         [](Layout& l) {
             l.table[1].RangeType = D3D12_DESCRIPTOR_RANGE_TYPE_CBV;
             l.constantBufferRegister = 5;
         },
         "binds u0 space 0 ('target')"},
        {"unbounded array in a bounded range", [](Layout& l) { l.bindless.NumDescriptors = 16; },
         "binds t0 space 1 and up ('textures')"},
        {"range that starts after the register", [](Layout& l) { l.table[0].BaseShaderRegister = 1; },
         "binds t0 space 0 ('colour')"},
        {"static sampler at another register", [](Layout& l) { l.samplerRegister = 1; },
         "binds s0 space 0 ('linearSampler')"},
        {"texture in a root descriptor", [](Layout& l) { l.structuredInRootDescriptor = false; },
         "binds t0 space 0 ('colour') to a root descriptor"},
        // A compute shader sees only what is visible to all stages.
        {"parameters visible to the pixel stage only",
         [](Layout& l) { l.visibility = D3D12_SHADER_VISIBILITY_PIXEL; }, "the compute shader binds b0"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.what);
        Layout layout;
        c.change(layout);
        expectOutcome(computePipeline(rootSignature(layout), code), c.finding);
    }
}

TEST_F(ShaderBindingsTest, IndexingTheDescriptorHeapNeedsTheRootSignaturesFlag) {
    const std::vector<uint8_t> code = compile(COMPUTE_HEAP, L"main", L"cs_6_7");
    CD3DX12_ROOT_PARAMETER1 index;
    index.InitAsConstants(1, 0);
    for (D3D12_ROOT_SIGNATURE_FLAGS flags :
         {D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED, D3D12_ROOT_SIGNATURE_FLAG_NONE}) {
        SCOPED_TRACE(int(flags));
        expectOutcome(computePipeline(rootSignature(1, &index, 0, nullptr, flags), code),
                      flags ? ""
                            : "indexes ResourceDescriptorHeap, but the root signature lacks "
                              "D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED");
    }
}

TEST_F(ShaderBindingsTest, BytecodeOfAnotherStageIsRefusedInAStageSlot) {
    const std::vector<uint8_t> code = compile(COMPUTE_HEAP, L"main", L"cs_6_7");
    D3D12_GRAPHICS_PIPELINE_STATE_DESC desc{};
    CD3DX12_ROOT_PARAMETER1 index;
    index.InitAsConstants(1, 0);
    desc.pRootSignature =
        rootSignature(1, &index, 0, nullptr, D3D12_ROOT_SIGNATURE_FLAG_CBV_SRV_UAV_HEAP_DIRECTLY_INDEXED);
    desc.VS = {code.data(), code.size()};
    desc.PrimitiveTopologyType = D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE;
    desc.SampleDesc = {1, 0};
    ID3D12PipelineState* pipeline = nullptr;
    expectOutcome(device->CreateGraphicsPipelineState(&desc, IID_PPV_ARGS(&pipeline)),
                  "the vs slot holds DXIL compiled for the cs stage");
}
