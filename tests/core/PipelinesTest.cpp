// Graphics and compute pipeline states as the stand-in device records them.
#include "core/Pipelines.h"

#include "core/RootSignature.h"
#include "GpuFixture.h"
#include "standin/Dxc.h"
#include "support/ProgramStop.h"
#include "support/TempDirectory.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* allStages = R"(
void VertexMain() { }
[numthreads(32, 1, 1)] void AmplificationMain() { }
[outputtopology("triangle")] [numthreads(128, 1, 1)] void MeshMain() { }
float4 PixelMain() : SV_Target0 { return 0; }
[numthreads(8, 8, 1)] void ComputeMain() { }
)";

std::vector<uint8_t> bytesOf(IDxcBlob* blob) {
    const uint8_t* bytes = static_cast<const uint8_t*>(blob->GetBufferPointer());
    return std::vector<uint8_t>(bytes, bytes + blob->GetBufferSize());
}

class PipelinesTest : public GpuFixture {
protected:
    // Placeholder stages of the stand-in's own compiler: these tests are of the pipeline descriptions.
    standin::StandinCompilerScope standinCompiler;

    void SetUp() override {
        GpuFixture::SetUp();
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&hlslCompiler)), S_OK);
        ASSERT_EQ(DxcCreateInstance(CLSID_DxcLibrary, IID_PPV_ARGS(&hlslLibrary)), S_OK);
        ASSERT_EQ(hlslLibrary->CreateIncludeHandler(&hlslIncludeHandler), S_OK);
        std::string path = files.write("AllStages.hlsl", allStages).string();
        fileName.assign(path.begin(), path.end());
        shader = compileShader(fileName.c_str(), 31);
        createDefaultRootSignature();
    }
    void TearDown() override {
        safeRelease(state);
        releaseShader(shader);
        safeRelease(defaultRootSignature);
        defaultRootSignature = nullptr;
        safeRelease(hlslIncludeHandler);
        safeRelease(hlslLibrary);
        safeRelease(hlslCompiler);
        hlslIncludeHandler = nullptr;
        hlslLibrary = nullptr;
        hlslCompiler = nullptr;
        GpuFixture::TearDown();
    }

    // The geometry pass's description.
    GraphicsPipelineDesc meshDesc() const {
        GraphicsPipelineDesc desc = {};
        desc.shader = shader;
        desc.cullMode = D3D12_CULL_MODE_NONE;
        desc.rtvFormats[0] = DXGI_FORMAT_R32G32B32A32_UINT;
        desc.rtvFormats[1] = DXGI_FORMAT_R32G32_UINT;
        desc.numRenderTargets = 2;
        desc.depthEnable = true;
        desc.meshShader = true;
        return desc;
    }
    // The post pass's description.
    GraphicsPipelineDesc classicDesc() const {
        GraphicsPipelineDesc desc = {};
        desc.shader = shader;
        desc.cullMode = D3D12_CULL_MODE_NONE;
        desc.rtvFormats[0] = DXGI_FORMAT_R8G8B8A8_UNORM;
        desc.numRenderTargets = 1;
        desc.depthEnable = true;
        desc.meshShader = false;
        return desc;
    }

    standin::PipelineInfo create(const GraphicsPipelineDesc& desc) {
        state = createGraphicsPipeline(desc, defaultRootSignature);
        EXPECT_NE(state, nullptr);
        return standin::describePipeline(state);
    }

    TempDirectory files;
    std::wstring fileName;
    Shader shader = {};
    ID3D12PipelineState* state = nullptr;
};

void expectSharedRasterizer(const D3D12_RASTERIZER_DESC& rasterizer) {
    EXPECT_EQ(rasterizer.FillMode, D3D12_FILL_MODE_SOLID);
    EXPECT_EQ(rasterizer.CullMode, D3D12_CULL_MODE_NONE);
    EXPECT_TRUE(rasterizer.FrontCounterClockwise);
    EXPECT_EQ(rasterizer.DepthBias, 0);
    EXPECT_EQ(rasterizer.DepthBiasClamp, 0.0f);
    EXPECT_EQ(rasterizer.SlopeScaledDepthBias, 0.0f);
    EXPECT_TRUE(rasterizer.DepthClipEnable);
    EXPECT_FALSE(rasterizer.MultisampleEnable);
    EXPECT_FALSE(rasterizer.AntialiasedLineEnable);
    EXPECT_EQ(rasterizer.ForcedSampleCount, 0u);
    EXPECT_EQ(rasterizer.ConservativeRaster, D3D12_CONSERVATIVE_RASTERIZATION_MODE_OFF);
}

void expectStencilOff(const D3D12_DEPTH_STENCIL_DESC1& depthStencil) {
    EXPECT_FALSE(depthStencil.StencilEnable);
    EXPECT_EQ(depthStencil.StencilReadMask, 0);
    EXPECT_EQ(depthStencil.StencilWriteMask, 0);
    const D3D12_DEPTH_STENCILOP_DESC zero = {};
    for (const D3D12_DEPTH_STENCILOP_DESC& face : {depthStencil.FrontFace, depthStencil.BackFace})
        EXPECT_EQ(std::memcmp(&face, &zero, sizeof(zero)), 0);
    EXPECT_FALSE(depthStencil.DepthBoundsTestEnable);
}

TEST_F(PipelinesTest, MeshFormStreamsItsSixteenSubobjectsInOrder) {
    standin::PipelineInfo info = create(meshDesc());
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.kind, standin::PipelineKind::Mesh);
    EXPECT_TRUE(info.fromStream);
    const std::vector<D3D12_PIPELINE_STATE_SUBOBJECT_TYPE> expected = {
        D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_FLAGS,
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
        D3D12_PIPELINE_STATE_SUBOBJECT_TYPE_VIEW_INSTANCING,
    };
    EXPECT_EQ(info.streamSubobjects, expected);
}

TEST_F(PipelinesTest, MeshFormDrawsTwoUintTargetsWithReversedDepth) {
    standin::PipelineInfo info = create(meshDesc());
    EXPECT_EQ(info.rootSignature, defaultRootSignature);
    EXPECT_EQ(info.as, bytesOf(shader.asBlob));
    EXPECT_EQ(info.ms, bytesOf(shader.msBlob));
    EXPECT_EQ(info.ps, bytesOf(shader.psBlob));
    EXPECT_TRUE(info.vs.empty());
    EXPECT_TRUE(info.inputLayout.empty());
    EXPECT_EQ(info.topologyType, D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE);
    EXPECT_EQ(info.numRenderTargets, 2u);
    const DXGI_FORMAT formats[8] = {DXGI_FORMAT_R32G32B32A32_UINT, DXGI_FORMAT_R32G32_UINT};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(info.rtvFormats[i], formats[i]) << "target " << i;
    EXPECT_EQ(info.dsvFormat, DXGI_FORMAT_D32_FLOAT);
    EXPECT_TRUE(info.depthStencil.DepthEnable);
    EXPECT_EQ(info.depthStencil.DepthWriteMask, D3D12_DEPTH_WRITE_MASK_ALL);
    EXPECT_EQ(info.depthStencil.DepthFunc, D3D12_COMPARISON_FUNC_GREATER_EQUAL);
    expectStencilOff(info.depthStencil);
    expectSharedRasterizer(info.rasterizer);
    EXPECT_EQ(info.sampleDesc.Count, 1u);
    EXPECT_EQ(info.sampleDesc.Quality, 0u);
    EXPECT_EQ(info.sampleMask, UINT_MAX);
    EXPECT_EQ(info.nodeMask, 0u);
    EXPECT_EQ(info.flags, D3D12_PIPELINE_STATE_FLAG_NONE);
    EXPECT_EQ(info.viewInstanceCount, 0u);
    EXPECT_EQ(info.viewInstancingFlags, D3D12_VIEW_INSTANCING_FLAG_NONE);
}

TEST_F(PipelinesTest, MeshFormWithoutAmplificationBlobHasAnEmptyAmplificationStage) {
    GraphicsPipelineDesc desc = meshDesc();
    desc.shader.asBlob = nullptr;
    standin::PipelineInfo info = create(desc);
    ASSERT_TRUE(info.valid);
    EXPECT_TRUE(info.as.empty());
    EXPECT_EQ(info.ms, bytesOf(shader.msBlob));
}

TEST_F(PipelinesTest, ClassicFormDrawsOneColourTargetWithThreeElementInputAndNoDepthFormat) {
    standin::PipelineInfo info = create(classicDesc());
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.kind, standin::PipelineKind::Graphics);
    EXPECT_FALSE(info.fromStream);
    EXPECT_EQ(info.vs, bytesOf(shader.vsBlob));
    EXPECT_EQ(info.ps, bytesOf(shader.psBlob));
    EXPECT_TRUE(info.as.empty() && info.ms.empty() && info.ds.empty() && info.hs.empty() && info.gs.empty());
    EXPECT_EQ(info.numRenderTargets, 1u);
    EXPECT_EQ(info.rtvFormats[0], DXGI_FORMAT_R8G8B8A8_UNORM);
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(info.rtvFormats[i], DXGI_FORMAT_UNKNOWN) << "target " << i;
    // Depth is enabled, yet there is no depth format: the post pass binds no depth view.
    EXPECT_EQ(info.dsvFormat, DXGI_FORMAT_UNKNOWN);
    EXPECT_TRUE(info.depthStencil.DepthEnable);
    EXPECT_EQ(info.depthStencil.DepthWriteMask, D3D12_DEPTH_WRITE_MASK_ALL);
    EXPECT_EQ(info.depthStencil.DepthFunc, D3D12_COMPARISON_FUNC_LESS);
    expectStencilOff(info.depthStencil);
    expectSharedRasterizer(info.rasterizer);
    EXPECT_EQ(info.stripCutValue, D3D12_INDEX_BUFFER_STRIP_CUT_VALUE_DISABLED);
    EXPECT_EQ(info.topologyType, D3D12_PRIMITIVE_TOPOLOGY_TYPE_TRIANGLE);
    EXPECT_EQ(info.sampleMask, UINT_MAX);
    EXPECT_EQ(info.sampleDesc.Count, 1u);

    struct Element {
        const char* semantic;
        DXGI_FORMAT format;
        UINT offset;
    };
    const Element expected[] = {{"POSITION", DXGI_FORMAT_R32G32B32_FLOAT, 0},
                                {"NORMAL", DXGI_FORMAT_R32G32B32_FLOAT, 12},
                                {"TEXCOORD", DXGI_FORMAT_R32G32_FLOAT, 24}};
    ASSERT_EQ(info.inputLayout.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].semantic);
        const standin::InputElementInfo& element = info.inputLayout[i];
        EXPECT_EQ(element.semanticName, expected[i].semantic);
        EXPECT_EQ(element.semanticIndex, 0u);
        EXPECT_EQ(element.format, expected[i].format);
        EXPECT_EQ(element.inputSlot, 0u);
        EXPECT_EQ(element.alignedByteOffset, expected[i].offset);
        EXPECT_EQ(element.inputSlotClass, D3D12_INPUT_CLASSIFICATION_PER_VERTEX_DATA);
        EXPECT_EQ(element.instanceDataStepRate, 0u);
    }
}

// Both forms share one blend state: target 0's entry applies to all, the other seven entries stay zero.
class BlendStateTest : public PipelinesTest, public testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(BlendStateTest, AlphaBlendingSwitchesTargetZerosEquationOnlyAndKeepsTheWriteMask) {
    auto [meshShader, alphaBlending] = GetParam();
    GraphicsPipelineDesc desc = meshShader ? meshDesc() : classicDesc();
    desc.alphaBlending = alphaBlending;
    standin::PipelineInfo info = create(desc);
    ASSERT_TRUE(info.valid);
    EXPECT_FALSE(info.blend.AlphaToCoverageEnable);
    EXPECT_FALSE(info.blend.IndependentBlendEnable);

    D3D12_RENDER_TARGET_BLEND_DESC expected = {};
    if (alphaBlending) {
        expected.BlendEnable = TRUE;
        expected.SrcBlend = D3D12_BLEND_SRC_ALPHA;
        expected.DestBlend = D3D12_BLEND_INV_SRC_ALPHA;
        expected.BlendOp = D3D12_BLEND_OP_ADD;
        expected.SrcBlendAlpha = D3D12_BLEND_SRC_ALPHA;
        expected.DestBlendAlpha = D3D12_BLEND_INV_SRC_ALPHA;
        expected.BlendOpAlpha = D3D12_BLEND_OP_ADD;
    }
    expected.LogicOp = D3D12_LOGIC_OP_CLEAR;
    expected.RenderTargetWriteMask = D3D12_COLOR_WRITE_ENABLE_ALL;
    const D3D12_RENDER_TARGET_BLEND_DESC& target = info.blend.RenderTarget[0];
    EXPECT_EQ(target.BlendEnable, expected.BlendEnable);
    EXPECT_FALSE(target.LogicOpEnable);
    EXPECT_EQ(target.SrcBlend, expected.SrcBlend);
    EXPECT_EQ(target.DestBlend, expected.DestBlend);
    EXPECT_EQ(target.BlendOp, expected.BlendOp);
    EXPECT_EQ(target.SrcBlendAlpha, expected.SrcBlendAlpha);
    EXPECT_EQ(target.DestBlendAlpha, expected.DestBlendAlpha);
    EXPECT_EQ(target.BlendOpAlpha, expected.BlendOpAlpha);
    EXPECT_EQ(target.LogicOp, expected.LogicOp);
    EXPECT_EQ(target.RenderTargetWriteMask, expected.RenderTargetWriteMask);
    const D3D12_RENDER_TARGET_BLEND_DESC zero = {};
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(std::memcmp(&info.blend.RenderTarget[i], &zero, sizeof(zero)), 0) << "target " << i;
}

INSTANTIATE_TEST_SUITE_P(BothFormsBothSettings, BlendStateTest,
                         testing::Combine(testing::Bool(), testing::Bool()), [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Mesh" : "Classic") +
                                    (std::get<1>(info.param) ? "AlphaBlending" : "Opaque");
                         });

// The rasteriser's cull mode and multisampling and the depth test come from the description in both forms,
// whatever the two pipelines of the frame happen to ask for.
class PipelineOptionsTest : public PipelinesTest, public testing::WithParamInterface<bool> {};

TEST_P(PipelineOptionsTest, CullModeMultisamplingAndDepthComeFromTheDescription) {
    struct Options {
        D3D12_CULL_MODE cullMode;
        bool multisampleEnable;
        bool depthEnable;
    };
    for (const Options& options :
         {Options{D3D12_CULL_MODE_BACK, true, false}, Options{D3D12_CULL_MODE_FRONT, false, true}}) {
        SCOPED_TRACE(options.cullMode);
        GraphicsPipelineDesc desc = GetParam() ? meshDesc() : classicDesc();
        desc.cullMode = options.cullMode;
        desc.multisampleEnable = options.multisampleEnable;
        desc.depthEnable = options.depthEnable;
        standin::PipelineInfo info = create(desc);
        ASSERT_TRUE(info.valid);
        EXPECT_EQ(info.rasterizer.CullMode, options.cullMode);
        EXPECT_EQ(info.rasterizer.MultisampleEnable != FALSE, options.multisampleEnable);
        EXPECT_EQ(info.depthStencil.DepthEnable != FALSE, options.depthEnable);
        safeRelease(state);
        state = nullptr;
    }
}

INSTANTIATE_TEST_SUITE_P(BothForms, PipelineOptionsTest, testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Mesh" : "Classic"); });

TEST_F(PipelinesTest, ComputePipelineRunsTheComputeStageOnTheDefaultRootSignature) {
    state = createComputePipeline(shader);
    standin::PipelineInfo info = standin::describePipeline(state);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.kind, standin::PipelineKind::Compute);
    EXPECT_EQ(info.rootSignature, defaultRootSignature);
    EXPECT_EQ(info.cs, bytesOf(shader.csBlob));
    EXPECT_EQ(info.nodeMask, 0u);
    EXPECT_EQ(info.flags, D3D12_PIPELINE_STATE_FLAG_NONE);
}

struct Refusal {
    const char* name;
    const char* failingCall;
    const char* expectedOutput;
};

class RefusedPipelineTest : public PipelinesTest, public testing::WithParamInterface<Refusal> {};

// The compute pipeline is checked like the graphics ones: a refused one would be bound by every frame.
TEST_P(RefusedPipelineTest, IsReportedWithItsCallTextAndEndsTheProgram) {
    const Refusal& refusal = GetParam();
    standin::failCall(refusal.failingCall);
    std::string form = refusal.name;
    EXPECT_EQ(outputOfStop([&] {
                  if (form == "Compute")
                      createComputePipeline(shader);
                  else
                      createGraphicsPipeline(form == "Mesh" ? meshDesc() : classicDesc(),
                                             defaultRootSignature);
              }),
              refusal.expectedOutput);
}

INSTANTIATE_TEST_SUITE_P(
    EachForm, RefusedPipelineTest,
    testing::Values(Refusal{"Mesh", "CreatePipelineState",
                            "Error: device->CreatePipelineState(&streamDesc, IID_PPV_ARGS(&state))\n"},
                    Refusal{"Classic", "CreateGraphicsPipelineState",
                            "Error: device->CreateGraphicsPipelineState(&stateDesc, IID_PPV_ARGS(&state))\n"},
                    Refusal{"Compute", "CreateComputePipelineState",
                            "Error: device->CreateComputePipelineState(&stateDesc, IID_PPV_ARGS(&state))\n"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
