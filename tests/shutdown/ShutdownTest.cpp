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
#include "standin/Gpu.h"
#include "standin/CallTrace.h"
#include "standin/Objects.h"
#include "support/ProgramEnd.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <gtest/gtest.h>

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
    uint64_t completedBeforeShutdown = 0;
    uint64_t otherSlotValue = 0;
    uint64_t shutdownWaitValue = 0;
    uint64_t completedAfterShutdown = 0;
    std::vector<standin::ReleaseCall> releases;
    std::vector<std::string> backEndCallsBeforeDestroyContext;
    bool backEndsGoneAtDestroyContext = false;
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

void noteDestroyContext(ImGuiContext*, ImGuiContextHook*) {
    std::vector<std::string> calls = callsBeforeShutdown;
    for (const std::string& call : standin::stopCallTrace())
        calls.push_back(call);
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

    callsBeforeShutdown = standin::stopCallTrace();
    standin::startCallTrace();
    standin::recordReleaseCalls(true);
    shutdown();
    standin::recordReleaseCalls(false);
    run.releases = standin::releaseCalls();
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
    std::map<const void*, std::string> names;
    std::vector<std::string> expected;
    for (const Owned& each : run.owned) {
        names[each.address] = each.name;
        expected.push_back(each.name);
    }
    ASSERT_EQ(run.owned.size(), 29u) << "every object shutdown releases was made";
    // The queue releases what a finished submission held on its own thread; only the program's calls count.
    std::vector<std::string> released;
    for (const standin::ReleaseCall& call : run.releases)
        if (call.thread == std::this_thread::get_id() && names.count(call.object))
            released.push_back(names[call.object]);
    EXPECT_EQ(released, expected);
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

} // namespace
