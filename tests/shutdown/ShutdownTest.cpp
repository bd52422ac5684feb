// The program run in-process on the stand-in from start-up to shutdown: the window is closed after a few
// frames, and what shutdown releases, in which order, and what it leaves alive is read from the stand-in's
// records. The run happens once per process; the tests read what it left.
#include "renderer/Renderer.h"

#include "core/Globals.h"
#include "core/RootSignature.h"
#include "core/Shader.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"
#include "renderer/PassPipelines.h"
#include "renderer/Program.h"
#include "renderer/RenderTargets.h"
#include "renderer/UiDescriptorAllocator.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "scene/AccelerationStructures.h"
#include "scene/Scene.h"
#include "standin/Gpu.h"
#include "standin/CallTrace.h"
#include "standin/Objects.h"
#include "standin/WindowSystem.h"
#include "support/ProgramEnd.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int FRAMES_BEFORE_CLOSE = 3;

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

// An object shutdown must release, by the name of its global.
struct Owned {
    std::string name;
    IUnknown* object;
    const void* address;
};

// What the run leaves for the tests.
struct Run {
    bool started = false;
    std::string stop;
    int frames = 0;
    int framesAfterQuit = 0;
    int framesAfterQuitAtShutdown = -1;
    std::vector<Owned> owned; // in the order shutdown releases them
    std::vector<Owned> kept;  // objects the process keeps until it ends, which shutdown leaves alone
    uint64_t completedBeforeShutdown = 0;
    uint64_t otherSlotValue = 0;
    uint64_t shutdownWaitValue = 0;
    uint64_t completedAfterShutdown = 0;
    std::vector<standin::ReleaseCall> releases;
    std::vector<std::string> backEndCallsBeforeDestroyContext;
    // Shutdown's calls up to the context's destruction: the GPU wait's signal and the back ends' shutdown.
    std::vector<std::string> shutdownCallsBeforeDestroyContext;
    std::vector<std::string> releasedBeforeDestroyContext; // of the objects shutdown owns
    uint64_t completedAtDestroyContext = 0;
    bool backEndsGoneAtDestroyContext = false;
    int readbackMapsBeforeShutdown = -1;
    int readbackMapsAfterShutdown = -1;
    bool fenceEventOpenBeforeShutdown = false;
    bool fenceEventOpenAfterShutdown = true;
    std::vector<int> freeSlotsAfterShutdown;
    ID3D12DescriptorHeap* allocatorHeapAfterShutdown = nullptr;
    std::vector<std::string> findings;
};

Run run;

bool initializeAndHoldOwnedObjects() {
    run.started = initialize();
    IUnknown* objects[] = {readbackHeap,
                           timingQueryHeap,
                           statisticsQueryHeap,
                           commandList,
                           commandAllocators[0],
                           swapchainBuffers[0],
                           commandAllocators[1],
                           swapchainBuffers[1],
                           renderTarget,
                           gBuffer0,
                           gBuffer1,
                           depthTarget,
                           postPipeline,
                           postRootSignature,
                           geometryPipeline,
                           shadingPipeline,
                           hlslIncludeHandler,
                           hlslLibrary,
                           hlslCompiler,
                           defaultRootSignature,
                           srvHeap.heap,
                           rtvHeap.heap,
                           dsvHeap.heap,
                           swapchain,
                           fence,
                           commandQueue,
                           device,
                           factory,
                           uiSrvHeap};
    const char* names[] = {"readbackHeap",
                           "timingQueryHeap",
                           "statisticsQueryHeap",
                           "commandList",
                           "commandAllocators[0]",
                           "swapchainBuffers[0]",
                           "commandAllocators[1]",
                           "swapchainBuffers[1]",
                           "renderTarget",
                           "gBuffer0",
                           "gBuffer1",
                           "depthTarget",
                           "postPipeline",
                           "postRootSignature",
                           "geometryPipeline",
                           "shadingPipeline",
                           "hlslIncludeHandler",
                           "hlslLibrary",
                           "hlslCompiler",
                           "defaultRootSignature",
                           "srvHeap",
                           "rtvHeap",
                           "dsvHeap",
                           "swapchain",
                           "fence",
                           "commandQueue",
                           "device",
                           "factory",
                           "uiSrvHeap"};
    static_assert(std::size(objects) == std::size(names));
    // The test's own reference keeps each object alive through shutdown, so that none is destroyed and every
    // Release call on them is the program's own; the tests release them afterwards.
    for (size_t i = 0; i < std::size(objects); ++i) {
        if (!objects[i])
            continue;
        objects[i]->AddRef();
        run.owned.push_back({names[i], objects[i], dynamic_cast<const void*>(objects[i])});
    }
    const std::pair<const char*, IUnknown*> kept[] = {
        {"frameConstantsBuffer", frameConstantsBuffer.resource},
        {"sceneInfoBuffer", sceneInfoBuffer.resource},
        {"debugFlagsBuffer", debugFlagsBuffer.resource},
        {"descriptorIndicesBuffer", descriptorIndicesBuffer.resource},
        {"scene.vertices", scene.vertices.resource},
        {"scene.meshlets", scene.meshlets.resource},
        {"scene.materials", scene.materials.resource},
        {"tlas", tlas},
        {"instanceDescBuffer", instanceDescBuffer},
        {"rtRootSignature", rtRootSignature},
        {"rtStateObject", rtStateObject},
        {"shaderTable", shaderTable},
        {"denoisePipeline", denoisePipeline},
        {"shadowMap", shadowMap},
        {"shadowMapNoisy", shadowMapNoisy},
        {"rtConstantsBuffer", rtConstantsBuffer.resource}};
    for (const auto& [name, object] : kept)
        if (object)
            run.kept.push_back({name, object, dynamic_cast<const void*>(object)});
    if (!blasList.empty())
        run.kept.push_back({"blasList[0]", blasList[0], dynamic_cast<const void*>(blasList[0])});
    return run.started;
}

void countedFrame() {
    renderFrame();
    ++run.frames;
    if (!running)
        ++run.framesAfterQuit;
    if (run.frames == FRAMES_BEFORE_CLOSE)
        PostMessageW(window->getHWND(), WM_CLOSE, 0, 0);
}

// The back-end calls from the start of the run to the context's destruction.
std::vector<std::string> backEndCalls(std::vector<std::string> calls) {
    std::erase_if(calls, [](const std::string& call) { return call.rfind("ImGui_Impl", 0) != 0; });
    return calls;
}

std::vector<std::string> callsBeforeShutdown;

// The names of the owned objects that the program's thread released.
std::vector<std::string> ownedReleased(const std::vector<standin::ReleaseCall>& releases) {
    std::map<const void*, std::string> names;
    for (const Owned& each : run.owned)
        names[each.address] = each.name;
    // The queue releases what a finished submission held on its own thread; only the program's calls count.
    std::vector<std::string> released;
    for (const standin::ReleaseCall& call : releases)
        if (call.thread == std::this_thread::get_id() && names.count(call.object))
            released.push_back(names[call.object]);
    return released;
}

void noteDestroyContext(ImGuiContext*, ImGuiContextHook*) {
    std::vector<std::string> calls = callsBeforeShutdown;
    std::vector<std::string> shutdownCalls = standin::stopCallTrace();
    for (const std::string& call : shutdownCalls)
        calls.push_back(call);
    std::erase_if(shutdownCalls, [](const std::string& call) {
        return call != "ID3D12CommandQueue::Signal" && call.rfind("ImGui_Impl", 0) != 0;
    });
    run.shutdownCallsBeforeDestroyContext = shutdownCalls;
    run.releasedBeforeDestroyContext = ownedReleased(standin::releaseCalls());
    run.completedAtDestroyContext = fence->GetCompletedValue();
    run.backEndCallsBeforeDestroyContext = backEndCalls(calls);
    run.backEndsGoneAtDestroyContext = ImGui::GetIO().BackendRendererUserData == nullptr &&
                                       ImGui::GetIO().BackendPlatformUserData == nullptr;
}

void observedShutdown() {
    run.framesAfterQuitAtShutdown = run.framesAfterQuit;
    standin::waitForGpuIdle();
    run.completedBeforeShutdown = fence->GetCompletedValue();
    run.shutdownWaitValue = fenceValues[frameIndex];
    run.otherSlotValue = fenceValues[1 - frameIndex];
    ImGuiContextHook hook;
    hook.Type = ImGuiContextHookType_Shutdown;
    hook.Callback = noteDestroyContext;
    ImGui::AddContextHook(ImGui::GetCurrentContext(), &hook);

    run.readbackMapsBeforeShutdown = standin::mapCount(readbackHeap);
    run.fenceEventOpenBeforeShutdown = standin::eventIsOpen(fenceEvent);

    callsBeforeShutdown = standin::stopCallTrace();
    standin::startCallTrace();
    standin::recordReleaseCalls(true);
    shutdown();
    standin::recordReleaseCalls(false);
    run.releases = standin::releaseCalls();
    // The test's own reference keeps the read-back heap alive to look at.
    run.readbackMapsAfterShutdown = standin::mapCount(readbackHeap);
    run.fenceEventOpenAfterShutdown = standin::eventIsOpen(fenceEvent);
}

class ShutdownTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!coreLogger)
            initLogging();
        standin::resetGpu();
        standin::startCallTrace();
        ProgramEndGuard guard;
        try {
            runProgram({initializeAndHoldOwnedObjects, countedFrame, observedShutdown});
        } catch (const ProgramEnded& ended) {
            run.stop = "the run ended the program with code " + std::to_string(ended.exitCode);
        }
        standin::waitForGpuIdle();
        for (const Owned& each : run.owned)
            if (each.object == fence)
                run.completedAfterShutdown = fence->GetCompletedValue();
        run.freeSlotsAfterShutdown.assign(uiDescriptorAllocator.freeIndices.begin(),
                                          uiDescriptorAllocator.freeIndices.end());
        run.allocatorHeapAfterShutdown = uiDescriptorAllocator.heap;
        run.findings = standin::validationErrors();
    }

    void SetUp() override {
        ASSERT_TRUE(run.stop.empty()) << run.stop;
        ASSERT_TRUE(run.started);
    }
};

TEST_F(ShutdownTest, TheRunEndsWithoutAValidationFinding) {
    EXPECT_TRUE(run.findings.empty()) << joined(run.findings);
}

TEST_F(ShutdownTest, RunsAfterExactlyOneFrameFollowingTheQuitMessage) {
    EXPECT_EQ(run.framesAfterQuitAtShutdown, 1);
    EXPECT_EQ(run.frames, FRAMES_BEFORE_CLOSE + 1);
}

TEST_F(ShutdownTest, ReleasesItsObjectsOnceEachInTheOrderOfItsSteps) {
    std::vector<std::string> expected;
    for (const Owned& each : run.owned)
        expected.push_back(each.name);
    ASSERT_EQ(run.owned.size(), 29u) << "every object shutdown releases was made";
    EXPECT_EQ(ownedReleased(run.releases), expected);
    EXPECT_EQ(run.readbackMapsBeforeShutdown, 1);
    EXPECT_EQ(run.readbackMapsAfterShutdown, 0) << "the read-back heap is unmapped";
    EXPECT_TRUE(run.fenceEventOpenBeforeShutdown);
    EXPECT_FALSE(run.fenceEventOpenAfterShutdown) << "the fence's event is closed";
}

// Steps 1 to 3 come before any release: the GPU wait, then the back ends and the context.
TEST_F(ShutdownTest, WaitsForTheGpuAndShutsTheBackEndsDownBeforeReleasingAnything) {
    const std::vector<std::string> expected = {"ID3D12CommandQueue::Signal", "ImGui_ImplDX12_Shutdown",
                                               "ImGui_ImplWin32_Shutdown"};
    EXPECT_EQ(run.shutdownCallsBeforeDestroyContext, expected);
    EXPECT_EQ(run.completedAtDestroyContext, run.shutdownWaitValue);
    EXPECT_TRUE(run.releasedBeforeDestroyContext.empty()) << joined(run.releasedBeforeDestroyContext);
}

TEST_F(ShutdownTest, TheAllocatorIsClearedBeforeTheBackEndsShutDownInOrder) {
    // The run never left the fly-through, so the panel was never shown: no UI frame was started.
    const std::vector<std::string> expected = {"ImGui_ImplDX12_Init", "ImGui_ImplWin32_Init",
                                               "ImGui_ImplDX12_Shutdown", "ImGui_ImplWin32_Shutdown"};
    EXPECT_EQ(run.backEndCallsBeforeDestroyContext, expected);
    EXPECT_TRUE(run.backEndsGoneAtDestroyContext);
    EXPECT_EQ(ImGui::GetCurrentContext(), nullptr);
    // The back end's font descriptor came back after the teardown, into a fresh list.
    EXPECT_EQ(run.freeSlotsAfterShutdown, std::vector<int>{0});
    EXPECT_EQ(run.allocatorHeapAfterShutdown, nullptr);
}

TEST_F(ShutdownTest, TheGpuWaitSignalsAboveEveryEarlierFenceValue) {
    EXPECT_GT(run.shutdownWaitValue, run.completedBeforeShutdown);
    EXPECT_GE(run.shutdownWaitValue, run.otherSlotValue);
    EXPECT_EQ(run.completedAfterShutdown, run.shutdownWaitValue);
}

// The objects the process keeps (the constant buffers, the scene's buffers...) hold the device, as device
// children do; everything else shutdown owns is gone once the test's own references go.
TEST_F(ShutdownTest, LeavesNoObjectItOwnsAlive) {
    for (const Owned& each : run.owned)
        each.object->Release();
    size_t children = 0;
    unsigned long deviceReferences = 0;
    for (const standin::LiveObject& live : standin::liveObjects()) {
        if (live.kind.rfind("ID3D12Device", 0) == 0) {
            deviceReferences = live.references;
            continue;
        }
        if (live.kind.rfind("ID3D12", 0) == 0)
            ++children;
        for (const Owned& each : run.owned)
            if (live.object == each.address)
                ADD_FAILURE() << each.name << " (" << live.kind << " \"" << live.name << "\") is still alive";
    }
    EXPECT_EQ(deviceReferences, children) << "only the objects the process keeps hold the device";
}

TEST_F(ShutdownTest, LeavesWhatTheProcessKeepsAlive) {
    ASSERT_GE(run.kept.size(), 16u) << "the sample scene has its buffers, structures and shadow objects";
    std::vector<standin::LiveObject> live = standin::liveObjects();
    for (const Owned& each : run.kept)
        EXPECT_TRUE(
            std::any_of(live.begin(), live.end(),
                        [&](const standin::LiveObject& object) { return object.object == each.address; }))
            << each.name << " was released";
}

} // namespace
