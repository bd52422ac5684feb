// Start-up on the stand-in, from the window to the armed loop, with the program's own shaders and the
// sample scene. initialize runs once per process; the tests read what it left.
#include "renderer/Renderer.h"

#include "camera/FlyThrough.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/RootSignature.h"
#include "core/Shader.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DebugPanelSetup.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"
#include "renderer/PassPipelines.h"
#include "renderer/UiBackend.h"
#include "renderer/UiDescriptorAllocator.h"
#include "standin/CallTrace.h"
#include "standin/Dxc.h"
#include "standin/Gpu.h"
#include "standin/ShaderReflection.h"
#include "standin/ImGuiBackend.h"
#include "standin/Sound.h"
#include "support/ProgramEnd.h"
#include "support/SamplerExpectations.h"
#include "StartupSteps.h"

#include <directx/d3d12.h>
#include <dxguids/dxguids.h>

#include <imgui.h>
#include <imgui_impl_win32.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// The first call from `start` on that is not the expected one, with the step it belongs to; empty when all
// are.
std::string firstDifference(const std::vector<std::string>& calls, size_t start,
                            const std::vector<ExpectedCall>& expected) {
    for (size_t i = 0; i < expected.size(); ++i) {
        const std::string actual = start + i < calls.size() ? calls[start + i] : "no call";
        if (actual != expected[i].call)
            return expected[i].step + ": call " + std::to_string(start + i) + " is " + actual + ", not " +
                   expected[i].call;
    }
    return "";
}

// "stage:entry" of a stand-in compiler's container; DXIL keeps no entry name for a stage shader, so for the
// real compiler's "stage:" and the expected entry (which the compile log checks).
std::string stageAndEntryOf(const std::vector<uint8_t>& bytecode, const std::string& entry) {
    standin::StandinBytecode parsed;
    if (standin::parseStandinBytecode(bytecode.data(), bytecode.size(), &parsed))
        return parsed.stage + ":" + parsed.entry;
    standin::ShaderReflection reflection = standin::reflectShader(bytecode.data(), bytecode.size());
    if (!reflection.valid || reflection.library)
        return "not a container";
    return reflection.entries.front().stage + ":" + entry;
}

class InitializeTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!coreLogger)
            initLogging();
        standin::resetGpu();
        standin::clearDxcCompiles();
        // Cleared, so that only start-up can have set it.
        running = false;
        ProgramEndGuard guard;
        standin::startCallTrace();
        try {
            initialized = initialize();
        } catch (const ProgramEnded& ended) {
            startupStop = "start-up ended the program with code " + std::to_string(ended.exitCode);
        }
        calls = standin::stopCallTrace();
        standin::waitForGpuIdle();
        // Later tests submit work of their own, which moves the frame values on.
        fenceValuesAfterStartup = {fenceValues[0], fenceValues[1]};
        uploadFenceValueAfterStartup = uploadFenceValue;
        completedAfterStartup = fence ? fence->GetCompletedValue() : 0;
        startupFindings = standin::validationErrors();
        compiles = standin::dxcCompiles();
    }

    // Takes the debug panel down again, so that other suites of this process find no context or back end.
    static void TearDownTestSuite() {
        standin::waitForGpuIdle();
        if (ImGui::GetCurrentContext()) {
            shutdownUiRendererBackend();
            ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext();
            teardownUiDescriptorAllocator(&uiDescriptorAllocator);
        }
        safeRelease(uiSrvHeap);
        uiSrvHeap = nullptr;
        standin::resetGpu();
    }

    // A failure here would only skip the suite's tests, so each test fails on its own instead.
    void SetUp() override { ASSERT_TRUE(startupStop.empty()) << startupStop; }

    void TearDown() override {
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::validationErrorCount(), 0u) << joined(standin::validationErrors());
        standin::clearValidationErrors();
    }

    static inline bool initialized = false;
    static inline std::string startupStop;
    static inline std::vector<std::string> startupFindings;
    static inline std::vector<standin::DxcCompileRecord> compiles;
    static inline std::vector<std::string> calls;
    static inline std::vector<uint64_t> fenceValuesAfterStartup;
    static inline uint64_t uploadFenceValueAfterStartup = 0;
    static inline uint64_t completedAfterStartup = 0;
};

TEST_F(InitializeTest, CompletesWithoutValidationFinding) {
    EXPECT_TRUE(initialized);
    EXPECT_TRUE(startupFindings.empty()) << joined(startupFindings);
}

// Where the build found the real compiler, start-up runs on its DXIL (the embedded denoise program too), and
// the stand-in checked every pipeline and the state object against its root signature
// (CompletesWithoutValidationFinding).
TEST_F(InitializeTest, PipelinesRunOnRealDxilWhereTheBuildFoundTheCompiler) {
    if (!standin::realShaderCompilerFound())
        GTEST_SKIP() << "no real shader compiler in this build";
    ASSERT_NE(rtStateObject, nullptr);
    for (ID3D12PipelineState* pipeline : {geometryPipeline, shadingPipeline, postPipeline, denoisePipeline}) {
        standin::PipelineInfo info = standin::describePipeline(pipeline);
        for (const std::vector<uint8_t>* stage : {&info.as, &info.ms, &info.ps, &info.cs, &info.vs}) {
            if (stage->empty())
                continue;
            EXPECT_TRUE(standin::reflectShader(stage->data(), stage->size()).valid);
        }
    }
}

// The steps that make platform calls come in their order; the scene import lies between the constant buffers
// and the debug panel.
TEST_F(InitializeTest, TakesItsStepsInOrder) {
    const std::vector<ExpectedCall> before = expectedCalls(STEPS_BEFORE_THE_SCENE);
    const std::vector<ExpectedCall> after = expectedCalls(STEPS_AFTER_THE_SCENE);
    ASSERT_GE(calls.size(), before.size() + after.size()) << joined(calls);
    EXPECT_EQ(firstDifference(calls, 0, before), "") << joined(calls);
    EXPECT_EQ(firstDifference(calls, calls.size() - after.size(), after), "") << joined(calls);
}

// Step 31, the scene import, makes uploads only: each one records on the list, closes it, and signals and
// waits for its own fence value; the last has finished before the debug panel's first step.
TEST_F(InitializeTest, ImportsTheSceneInUploadsThatAllFinishBeforeTheDebugPanel) {
    const size_t begin = expectedCalls(STEPS_BEFORE_THE_SCENE).size();
    const size_t end = calls.size() - expectedCalls(STEPS_AFTER_THE_SCENE).size();
    ASSERT_LT(begin, end) << joined(calls);
    const std::set<std::string> uploadCalls = {"ID3D12Device::CreateCommittedResource",
                                               "ID3D12Resource::Map",
                                               "ID3D12GraphicsCommandList::Reset",
                                               "ID3D12GraphicsCommandList::Close",
                                               "ID3D12CommandQueue::Signal",
                                               "ID3D12Fence::SetEventOnCompletion"};
    std::map<std::string, size_t> counts;
    for (size_t i = begin; i < end; ++i) {
        EXPECT_EQ(uploadCalls.count(calls[i]), 1u) << "call " << i << ": " << calls[i];
        ++counts[calls[i]];
    }
    const uint64_t uploads = uploadFenceValueAfterStartup - 1;
    EXPECT_GT(uploads, 0u);
    for (const char* perUpload : {"ID3D12GraphicsCommandList::Reset", "ID3D12GraphicsCommandList::Close",
                                  "ID3D12CommandQueue::Signal", "ID3D12Fence::SetEventOnCompletion"})
        EXPECT_EQ(counts[perUpload], uploads) << perUpload;
    EXPECT_EQ(calls[end - 1], "ID3D12Fence::SetEventOnCompletion");
}

TEST_F(InitializeTest, TheThreeHeapsHoldTheirFixedNumbersOfDescriptors) {
    struct Expected {
        const char* name;
        const DescriptorHeap* heap;
        D3D12_DESCRIPTOR_HEAP_TYPE type;
        UINT descriptors;
        D3D12_DESCRIPTOR_HEAP_FLAGS flags;
    };
    const Expected expected[] = {
        {"dsvHeap", &dsvHeap, D3D12_DESCRIPTOR_HEAP_TYPE_DSV, 16, D3D12_DESCRIPTOR_HEAP_FLAG_NONE},
        {"rtvHeap", &rtvHeap, D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 64, D3D12_DESCRIPTOR_HEAP_FLAG_NONE},
        {"srvHeap", &srvHeap, D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 512,
         D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE},
    };
    for (const Expected& each : expected) {
        SCOPED_TRACE(each.name);
        ASSERT_NE(each.heap->heap, nullptr);
        const D3D12_DESCRIPTOR_HEAP_DESC desc = each.heap->heap->GetDesc();
        EXPECT_EQ(desc.Type, each.type);
        EXPECT_EQ(desc.NumDescriptors, each.descriptors);
        EXPECT_EQ(desc.Flags, each.flags);
        EXPECT_EQ(desc.NodeMask, 0u);
    }
}

// Every upload of start-up has finished, and both frame slots go on from the first value no upload used, so
// that no frame wait is met by a value an upload left behind.
TEST_F(InitializeTest, TheFramesContinueTheFenceAfterTheUploads) {
    EXPECT_EQ(completedAfterStartup, uploadFenceValueAfterStartup - 1);
    EXPECT_EQ(fenceValuesAfterStartup,
              (std::vector<uint64_t>{uploadFenceValueAfterStartup, uploadFenceValueAfterStartup}));
}

TEST_F(InitializeTest, CompilesTheThreePassSourcesStageByStageWithOneOptimisationArgument) {
    struct Compile {
        const wchar_t* file;
        const wchar_t* entry;
        const wchar_t* target;
    };
    const Compile expected[] = {
        {L"src/Shaders/Geometry.hlsl", L"AmplificationMain", L"as_6_7"},
        {L"src/Shaders/Geometry.hlsl", L"MeshMain", L"ms_6_7"},
        {L"src/Shaders/Geometry.hlsl", L"PixelMain", L"ps_6_7"},
        {L"src/Shaders/Shading.hlsl", L"ComputeMain", L"cs_6_7"},
        {L"src/Shaders/Post.hlsl", L"VertexMain", L"vs_6_7"},
        {L"src/Shaders/Post.hlsl", L"PixelMain", L"ps_6_7"},
    };
    // The pass sources come first; the ray-tracing library, compiled after them, is the last.
    ASSERT_EQ(compiles.size(), std::size(expected) + 1);
    EXPECT_EQ(compiles.back().targetProfile, L"lib_6_3");
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(compiles[i].sourceName, expected[i].file);
        EXPECT_EQ(compiles[i].entryPoint, expected[i].entry);
        EXPECT_EQ(compiles[i].targetProfile, expected[i].target);
        EXPECT_EQ(compiles[i].arguments, std::vector<std::wstring>{L"-O3"});
        EXPECT_EQ(compiles[i].includeHandler, hlslIncludeHandler);
        EXPECT_EQ(compiles[i].status, S_OK);
    }
}

TEST_F(InitializeTest, EachPassPipelineRunsItsOwnStagesOnItsRootSignature) {
    standin::PipelineInfo geometry = standin::describePipeline(geometryPipeline);
    ASSERT_TRUE(geometry.valid);
    EXPECT_EQ(geometry.kind, standin::PipelineKind::Mesh);
    EXPECT_EQ(geometry.rootSignature, defaultRootSignature);
    EXPECT_EQ(stageAndEntryOf(geometry.as, "AmplificationMain"), "as:AmplificationMain");
    EXPECT_EQ(stageAndEntryOf(geometry.ms, "MeshMain"), "ms:MeshMain");
    EXPECT_EQ(stageAndEntryOf(geometry.ps, "PixelMain"), "ps:PixelMain");
    EXPECT_EQ(geometry.numRenderTargets, 2u);
    EXPECT_EQ(geometry.rtvFormats[0], DXGI_FORMAT_R32G32B32A32_UINT);
    EXPECT_EQ(geometry.rtvFormats[1], DXGI_FORMAT_R32G32_UINT);
    EXPECT_EQ(geometry.dsvFormat, DXGI_FORMAT_D32_FLOAT);
    EXPECT_EQ(geometry.depthStencil.DepthFunc, D3D12_COMPARISON_FUNC_GREATER_EQUAL);
    EXPECT_EQ(geometry.rasterizer.CullMode, D3D12_CULL_MODE_NONE);

    standin::PipelineInfo shading = standin::describePipeline(shadingPipeline);
    ASSERT_TRUE(shading.valid);
    EXPECT_EQ(shading.kind, standin::PipelineKind::Compute);
    EXPECT_EQ(shading.rootSignature, defaultRootSignature);
    EXPECT_EQ(stageAndEntryOf(shading.cs, "ComputeMain"), "cs:ComputeMain");

    standin::PipelineInfo post = standin::describePipeline(postPipeline);
    ASSERT_TRUE(post.valid);
    EXPECT_EQ(post.kind, standin::PipelineKind::Graphics);
    EXPECT_EQ(post.rootSignature, postRootSignature);
    EXPECT_EQ(stageAndEntryOf(post.vs, "VertexMain"), "vs:VertexMain");
    EXPECT_EQ(stageAndEntryOf(post.ps, "PixelMain"), "ps:PixelMain");
    EXPECT_EQ(post.numRenderTargets, 1u);
    EXPECT_EQ(post.rtvFormats[0], DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(post.dsvFormat, DXGI_FORMAT_UNKNOWN);
    EXPECT_EQ(post.depthStencil.DepthFunc, D3D12_COMPARISON_FUNC_LESS);
    EXPECT_EQ(post.inputLayout.size(), 3u);
}

TEST_F(InitializeTest, PostRootSignatureHasTheColourTableAndFourSettingsForThePixelStage) {
    standin::RootSignatureInfo info = standin::describeRootSignature(postRootSignature);
    ASSERT_TRUE(info.valid);
    EXPECT_EQ(info.version, D3D_ROOT_SIGNATURE_VERSION_1_1);
    EXPECT_EQ(static_cast<UINT>(info.flags), 0x401u);
    ASSERT_EQ(info.parameters.size(), 2u);

    const standin::RootParameterInfo& table = info.parameters[0];
    EXPECT_EQ(table.type, D3D12_ROOT_PARAMETER_TYPE_DESCRIPTOR_TABLE);
    EXPECT_EQ(table.visibility, D3D12_SHADER_VISIBILITY_PIXEL);
    ASSERT_EQ(table.ranges.size(), 1u);
    EXPECT_EQ(table.ranges[0].RangeType, D3D12_DESCRIPTOR_RANGE_TYPE_SRV);
    EXPECT_EQ(table.ranges[0].NumDescriptors, 1u);
    EXPECT_EQ(table.ranges[0].BaseShaderRegister, 0u);
    EXPECT_EQ(table.ranges[0].RegisterSpace, 0u);
    EXPECT_EQ(table.ranges[0].Flags, D3D12_DESCRIPTOR_RANGE_FLAG_NONE);
    EXPECT_EQ(table.ranges[0].OffsetInDescriptorsFromTableStart, D3D12_DESCRIPTOR_RANGE_OFFSET_APPEND);

    const standin::RootParameterInfo& settings = info.parameters[1];
    EXPECT_EQ(settings.type, D3D12_ROOT_PARAMETER_TYPE_32BIT_CONSTANTS);
    EXPECT_EQ(settings.visibility, D3D12_SHADER_VISIBILITY_PIXEL);
    EXPECT_EQ(settings.shaderRegister, 0u);
    EXPECT_EQ(settings.registerSpace, 0u);
    EXPECT_EQ(settings.num32BitValues, 4u);

    ASSERT_EQ(info.staticSamplers.size(), 1u);
    expectTopMipSampler(info.staticSamplers[0], D3D12_FILTER_MIN_MAG_MIP_POINT,
                        D3D12_TEXTURE_ADDRESS_MODE_CLAMP, 0);
}

TEST_F(InitializeTest, TheShadowStageIsMadeWithTheShadowMapInSlotFive) {
    EXPECT_NE(rtRootSignature, nullptr);
    EXPECT_NE(rtStateObject, nullptr);
    EXPECT_NE(shaderTable, nullptr);
    EXPECT_NE(denoisePipeline, nullptr);
    EXPECT_EQ(rtConstantsBuffer.resource->GetDesc().Width, 512u);
    EXPECT_EQ(descriptorIndices.shadowMapIndex, 5u);
    EXPECT_EQ(shadowMapNoisySrvGpu.ptr, srvHeap.gpuStart.ptr + 7 * srvHeap.incrementSize);
    ASSERT_NE(shadowMap, nullptr);
    EXPECT_EQ(shadowMap->GetDesc().Width, window->getWidth());
    EXPECT_EQ(shadowMap->GetDesc().Height, window->getHeight());
}

TEST_F(InitializeTest, TheCommandListIsLeftClosedOnTwoDistinctDirectAllocators) {
    ASSERT_NE(commandAllocators[0], nullptr);
    ASSERT_NE(commandAllocators[1], nullptr);
    EXPECT_NE(commandAllocators[0], commandAllocators[1]);
    EXPECT_EQ(commandList->GetType(), D3D12_COMMAND_LIST_TYPE_DIRECT);
    // Resetting an open list would be refused; a closed one starts recording again.
    ASSERT_EQ(commandList->Reset(commandAllocators[frameIndex], nullptr), S_OK);
    EXPECT_EQ(commandList->Close(), S_OK);
}

TEST_F(InitializeTest, ReadbackBufferHolds544BytesInAReadbackHeapAndStaysMapped) {
    ASSERT_NE(readbackHeap, nullptr);
    D3D12_RESOURCE_DESC desc = readbackHeap->GetDesc();
    EXPECT_EQ(desc.Dimension, D3D12_RESOURCE_DIMENSION_BUFFER);
    EXPECT_EQ(desc.Width, 544u);
    EXPECT_EQ(desc.Layout, D3D12_TEXTURE_LAYOUT_ROW_MAJOR);
    D3D12_HEAP_PROPERTIES heapProperties = {};
    ASSERT_EQ(readbackHeap->GetHeapProperties(&heapProperties, nullptr), S_OK);
    EXPECT_EQ(heapProperties.Type, D3D12_HEAP_TYPE_READBACK);
    EXPECT_EQ(standin::resourceState(readbackHeap), D3D12_RESOURCE_STATE_COPY_DEST);
    EXPECT_NE(mappedReadback, nullptr);
}

// Every timestamp and both statistics records resolve into the read-back buffer, where the mapping shows
// them; one query past the end of either heap is refused.
TEST_F(InitializeTest, QueryHeapsHoldFortyTimestampsAndTwoStatisticsThatFitTheReadback) {
    ASSERT_EQ(commandList->Reset(commandAllocators[frameIndex], nullptr), S_OK);
    for (UINT i = 0; i < TIMESTAMP_QUERY_COUNT; ++i)
        commandList->EndQuery(timingQueryHeap, D3D12_QUERY_TYPE_TIMESTAMP, i);
    for (UINT i = 0; i < STATISTICS_QUERY_COUNT; ++i) {
        commandList->BeginQuery(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, i);
        commandList->EndQuery(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, i);
    }
    commandList->ResolveQueryData(timingQueryHeap, D3D12_QUERY_TYPE_TIMESTAMP, 0, 40, readbackHeap, 0);
    commandList->ResolveQueryData(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 0, 2,
                                  readbackHeap, 40 * sizeof(UINT64));
    ASSERT_EQ(commandList->Close(), S_OK);
    ID3D12CommandList* lists[] = {commandList};
    commandQueue->ExecuteCommandLists(1, lists);
    waitForGpu();
    EXPECT_EQ(standin::validationErrorCount(), 0u) << joined(standin::validationErrors());
    EXPECT_GT(mappedReadback[39], 0u);
    for (UINT i = 1; i < TIMESTAMP_QUERY_COUNT; ++i)
        EXPECT_GE(mappedReadback[i], mappedReadback[i - 1]) << "timestamp " << i;

    ASSERT_EQ(commandList->Reset(commandAllocators[frameIndex], nullptr), S_OK);
    commandList->EndQuery(timingQueryHeap, D3D12_QUERY_TYPE_TIMESTAMP, 40);
    commandList->BeginQuery(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 2);
    commandList->Close();
    std::vector<std::string> findings = standin::validationErrors();
    ASSERT_GE(findings.size(), 2u);
    EXPECT_NE(findings[0].find("EndQuery"), std::string::npos) << findings[0];
    EXPECT_NE(findings[1].find("BeginQuery"), std::string::npos) << findings[1];
    standin::clearValidationErrors();
}

TEST_F(InitializeTest, TimestampFrequencyIsTheQueues) {
    UINT64 frequency = 0;
    ASSERT_EQ(commandQueue->GetTimestampFrequency(&frequency), S_OK);
    EXPECT_NE(timestampFrequency, 0u);
    EXPECT_EQ(timestampFrequency, frequency);
}

TEST_F(InitializeTest, EachConstantBufferHoldsTwoFrameSlotsOfItsAlignedBlock) {
    struct Expected {
        const char* name;
        ConstantBuffer* buffer;
        UINT64 alignedSize;
        UINT64 width;
    };
    const Expected expected[] = {{"FrameConstants", &frameConstantsBuffer, 512, 1024},
                                 {"SceneInfo", &sceneInfoBuffer, 256, 512},
                                 {"DebugFlags", &debugFlagsBuffer, 256, 512},
                                 {"DescriptorIndices", &descriptorIndicesBuffer, 256, 512}};
    for (const Expected& each : expected) {
        SCOPED_TRACE(each.name);
        ASSERT_NE(each.buffer->resource, nullptr);
        EXPECT_EQ(each.buffer->resource->GetDesc().Width, each.width);
        EXPECT_EQ(each.buffer->alignedSize, each.alignedSize);
        EXPECT_EQ(each.buffer->count, 1u);
        EXPECT_NE(each.buffer->mapped, nullptr);
        D3D12_HEAP_PROPERTIES heapProperties = {};
        each.buffer->resource->GetHeapProperties(&heapProperties, nullptr);
        EXPECT_EQ(heapProperties.Type, D3D12_HEAP_TYPE_UPLOAD);
    }
}

TEST_F(InitializeTest, DebugPanelHasItsContextBothBackEndsAndItsOwnHeap) {
    ASSERT_NE(ImGui::GetCurrentContext(), nullptr);
    ImGuiIO& io = ImGui::GetIO();
    EXPECT_TRUE(io.ConfigFlags & ImGuiConfigFlags_NavEnableKeyboard);
    EXPECT_STREQ(io.IniFilename, "imgui.ini");
    ImGuiStyle dark;
    ImGui::StyleColorsDark(&dark);
    EXPECT_EQ(std::memcmp(ImGui::GetStyle().Colors, dark.Colors, sizeof(dark.Colors)), 0);

    ASSERT_NE(uiSrvHeap, nullptr);
    D3D12_DESCRIPTOR_HEAP_DESC heapDesc = uiSrvHeap->GetDesc();
    EXPECT_EQ(heapDesc.Type, D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV);
    EXPECT_EQ(heapDesc.NumDescriptors, 64u);
    EXPECT_EQ(heapDesc.Flags, D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE);
    EXPECT_EQ(uiDescriptorAllocator.heap, uiSrvHeap);

    standin::ImGuiDx12State renderer = standin::imguiDx12State();
    EXPECT_TRUE(renderer.initialized);
    EXPECT_EQ(renderer.device, device);
    EXPECT_EQ(renderer.framesInFlight, 2);
    EXPECT_EQ(renderer.rtvFormat, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(renderer.heap, uiSrvHeap);
    EXPECT_STREQ(io.BackendPlatformName, "imgui_impl_win32");
}

TEST_F(InitializeTest, TheLoopIsArmedWithTheClientSizeAndTheCounterFrequency) {
    EXPECT_TRUE(running);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(lastWidth, window->getWidth());
    EXPECT_EQ(lastHeight, window->getHeight());
    EXPECT_EQ(lastWidth, 1920u);
    EXPECT_EQ(lastHeight, 1080u);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(qpcFrequency, frequency.QuadPart);
}

TEST_F(InitializeTest, TheMusicLoopsAndKeyEventsReachTheInputList) {
    const standin::SoundState sound = standin::soundState();
    EXPECT_TRUE(sound.playing);
    EXPECT_TRUE(sound.looping);
    EXPECT_EQ(sound.file, L"data/music.wav");
    EXPECT_FALSE(flyThrough.segments[0].points.empty());

    EXPECT_GE(inputEvents.capacity(), 64u);
    ASSERT_TRUE(window->inputCallback);
    const std::vector<InputEvent> before = inputEvents;
    InputEvent press = {1, 0, 3, KeyCode::F2};
    window->inputCallback(press);
    ASSERT_EQ(inputEvents.size(), before.size() + 1);
    EXPECT_EQ(inputEvents.back().key, KeyCode::F2);
    inputEvents = before;
}

} // namespace
