// The debug panel built and drawn through a real Dear ImGui context with the stand-in's back ends: what the
// two windows show, and edits made with the stand-in's mouse input landing in the settings in the same frame.
#include "renderer/DebugPanel.h"

#include "camera/Camera.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "renderer/DebugPanelSetup.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/Settings.h"
#include "renderer/UiBackend.h"
#include "renderer/UiDescriptorAllocator.h"
#include "standin/Gpu.h"
#include "standin/CallTrace.h"
#include "standin/WindowSystem.h"
#include "support/ImGuiDrawnText.h"
#include "support/TestWindow.h"

#include <directx/d3dx12.h>
#include <dxguids/dxguids.h>

#include <imgui.h>
#include <imgui_impl_win32.h>
#include <imgui_internal.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam,
                                                             LPARAM lParam);

namespace {

// Both windows side by side, large enough that nothing is clipped.
constexpr char LAYOUT[] = "[Window][Debug]\nPos=0,0\nSize=420,460\nCollapsed=0\n\n"
                          "[Window][Configuration]\nPos=440,0\nSize=420,300\nCollapsed=0\n\n";

LRESULT CALLBACK panelWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (ImGui_ImplWin32_WndProcHandler(hwnd, message, wParam, lParam))
        return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The settings the panel edits, saved and restored around each test.
struct SavedSettings {
    PostSettings post = postSettings;
    DebugFlags flags = debugFlags;
    bool fixate = fixateViewpos;
    Vec3 light = lightPosition;
    bool moving = movingLightPosition;
    float ambient = ambientFactor, strength = lightStrength, radius = lightRadius, fov = camera.fov;
    double times[6] = {cpuTimeMs, geomTimeMs, shadingTimeMs, shadowsTimeMs, denoisingTimeMs, postTimeMs};
    uint64_t counters[3] = {asInvocations, msInvocations, primitiveCount};

    void restore() const {
        postSettings = post;
        debugFlags = flags;
        fixateViewpos = fixate;
        lightPosition = light;
        movingLightPosition = moving;
        ambientFactor = ambient;
        lightStrength = strength;
        lightRadius = radius;
        camera.fov = fov;
        cpuTimeMs = times[0], geomTimeMs = times[1], shadingTimeMs = times[2];
        shadowsTimeMs = times[3], denoisingTimeMs = times[4], postTimeMs = times[5];
        asInvocations = counters[0], msInvocations = counters[1], primitiveCount = counters[2];
    }
};

class DebugPanelTest : public testing::Test {
protected:
    void SetUp() override {
        standin::resetGpu();
        standin::resetWindowSystem();
        hwnd = createTestWindow(L"Panel", panelWindowProcedure, 1280, 720);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_EQ(D3D12CreateDevice(nullptr, D3D_FEATURE_LEVEL_12_1, IID_PPV_ARGS(&device)), S_OK);
        D3D12_COMMAND_QUEUE_DESC queueDesc = {};
        ASSERT_EQ(device->CreateCommandQueue(&queueDesc, IID_PPV_ARGS(&commandQueue)), S_OK);
        ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT,
                                                 IID_PPV_ARGS(&commandAllocators[0])),
                  S_OK);
        ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, commandAllocators[0], nullptr,
                                            IID_PPV_ARGS(&commandList)),
                  S_OK);
        commandList->Close();
        D3D12_DESCRIPTOR_HEAP_DESC rtvHeapDesc = {D3D12_DESCRIPTOR_HEAP_TYPE_RTV, 1,
                                                  D3D12_DESCRIPTOR_HEAP_FLAG_NONE, 0};
        ASSERT_EQ(device->CreateDescriptorHeap(&rtvHeapDesc, IID_PPV_ARGS(&rtvHeap)), S_OK);
        CD3DX12_HEAP_PROPERTIES heapProperties(D3D12_HEAP_TYPE_DEFAULT);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Tex2D(SWAPCHAIN_FORMAT, 1280, 720, 1, 1, 1, 0,
                                                                  D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET);
        ASSERT_EQ(device->CreateCommittedResource(&heapProperties, D3D12_HEAP_FLAG_NONE, &desc,
                                                  D3D12_RESOURCE_STATE_RENDER_TARGET, nullptr,
                                                  IID_PPV_ARGS(&backBuffer)),
                  S_OK);
        rtv = rtvHeap->GetCPUDescriptorHandleForHeapStart();
        device->CreateRenderTargetView(backBuffer, nullptr, rtv);

        ASSERT_TRUE(initDebugPanel(hwnd));
        ImGui::GetIO().IniFilename = nullptr; // the test's layout, and no file left behind
        ImGui::LoadIniSettingsFromMemory(LAYOUT);
    }

    void TearDown() override {
        standin::waitForGpuIdle();
        EXPECT_EQ(standin::validationErrorCount(), 0u);
        if (ImGui::GetCurrentContext()) {
            teardownUiDescriptorAllocator(&uiDescriptorAllocator);
            shutdownUiRendererBackend();
            ImGui_ImplWin32_Shutdown();
            ImGui::DestroyContext();
        }
        for (IUnknown* object : std::initializer_list<IUnknown*>{
                 backBuffer, rtvHeap, commandList, commandAllocators[0], uiSrvHeap, commandQueue, device})
            safeRelease(object);
        commandList = nullptr;
        commandAllocators[0] = nullptr;
        uiSrvHeap = nullptr;
        commandQueue = nullptr;
        device = nullptr;
        saved.restore();
        standin::resetWindowSystem();
        standin::resetGpu();
    }

    // One frame of the panel: built, then drawn into the back buffer and run; the frame's draw data.
    ImDrawData* frame() {
        commandAllocators[0]->Reset();
        commandList->Reset(commandAllocators[0], nullptr);
        commandList->OMSetRenderTargets(1, &rtv, FALSE, nullptr);
        buildDebugPanel();
        drawDebugPanel();
        commandList->Close();
        ID3D12CommandList* lists[] = {commandList};
        commandQueue->ExecuteCommandLists(1, lists);
        standin::waitForGpuIdle();
        return ImGui::GetDrawData();
    }

    // A mouse message through the window's queue, as the main loop dispatches it.
    void mouse(UINT message, float x, float y) {
        WPARAM buttons = message == WM_LBUTTONDOWN ? MK_LBUTTON : 0;
        post(message, buttons, MAKELPARAM(static_cast<int>(std::lround(x)), std::lround(y)));
    }

    // A key going down or up; the queue turns a press of a digit into its character.
    void key(UINT message, WPARAM virtualKey) {
        post(message, virtualKey, message == WM_KEYUP ? 0xC0000001 : 1);
    }

    void post(UINT message, WPARAM wParam, LPARAM lParam) {
        PostMessageW(hwnd, message, wParam, lParam);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // Presses the left button over the point in one frame and releases it in the next. Sliders take the
    // value in the first frame, checkboxes switch in the second.
    void click(float x, float y) {
        mouse(WM_MOUSEMOVE, x, y);
        mouse(WM_LBUTTONDOWN, x, y);
        frame();
        mouse(WM_LBUTTONUP, x, y);
        frame();
    }

    SavedSettings saved;
    HWND hwnd = nullptr;
    ID3D12DescriptorHeap* rtvHeap = nullptr;
    ID3D12Resource* backBuffer = nullptr;
    D3D12_CPU_DESCRIPTOR_HANDLE rtv = {};
};

// The back-end calls of a call trace.
std::vector<std::string> backEndCalls(std::vector<std::string> calls) {
    std::erase_if(calls, [](const std::string& call) { return call.rfind("ImGui_Impl", 0) != 0; });
    return calls;
}

// What the back ends were called for before the library's own NewFrame.
std::vector<std::string> callsBeforeNewFrame;

TEST_F(DebugPanelTest, StartsAFrameWithTheRendererBackEndThenTheWin32OneThenTheLibrary) {
    ImGuiContextHook hook;
    hook.Type = ImGuiContextHookType_NewFramePre;
    hook.Callback = [](ImGuiContext*, ImGuiContextHook*) {
        callsBeforeNewFrame = backEndCalls(standin::stopCallTrace());
        standin::startCallTrace();
    };
    ImGui::AddContextHook(ImGui::GetCurrentContext(), &hook);
    standin::startCallTrace();
    int frameCount = ImGui::GetFrameCount();
    frame();
    const std::vector<std::string> expected = {"ImGui_ImplDX12_NewFrame", "ImGui_ImplWin32_NewFrame"};
    EXPECT_EQ(callsBeforeNewFrame, expected);
    EXPECT_TRUE(backEndCalls(standin::stopCallTrace()).empty()) << "each back end starts the frame once";
    EXPECT_EQ(ImGui::GetFrameCount(), frameCount + 1);
}

TEST_F(DebugPanelTest, ShowsTheTimesCountersAndSettingsInTheirFormatsInOrder) {
    cpuTimeMs = 16.66666;
    geomTimeMs = 1.23449;
    shadingTimeMs = 0.5;
    shadowsTimeMs = 2.0;
    denoisingTimeMs = 0.0;
    postTimeMs = 123.4567;
    asInvocations = UINT64_MAX;
    msInvocations = 0;
    primitiveCount = 42;
    frame(); // windows show from their second frame
    ImDrawData* drawData = frame();

    const std::vector<std::string> debug = {"Debug",
                                            "CPU: 16.667ms",
                                            "Geom: 1.234ms",
                                            "Shading: 0.500ms",
                                            "Shadows: 2.000ms",
                                            "Denoising: 0.000ms",
                                            "Post: 123.457ms",
                                            "AS Invocations: 18446744073709551615",
                                            "MS Invocations: 0",
                                            "Primitives: 42",
                                            "0.000 | Exposure",
                                            "0.000 | Brightness",
                                            "1.000 | Contrast",
                                            "1.000 | Saturation",
                                            "Show Meshlets",
                                            "Disable Backface Culling",
                                            "Fixate Viewpos"};
    EXPECT_EQ(drawnLines(drawData, "Debug"), debug);
    EXPECT_TRUE(separatorBetween(drawData, "Debug", "Primitives: 42", "0.000 | Exposure"));
    const std::vector<std::string> configuration = {
        "Configuration",         "45.000 | FoV",           "0.000 | 7.500 | 0.000 | Light Position",
        "Moving Light Position", "0.200 | Ambient Factor", "3.000 | Light Strength",
        "50.000 | Light Radius"};
    EXPECT_EQ(drawnLines(drawData, "Configuration"), configuration);
    for (const char* box : {"Show Meshlets", "Disable Backface Culling", "Fixate Viewpos"})
        EXPECT_FALSE(checkboxTicked(drawData, "Debug", box)) << box;
}

// Each slider is clicked three quarters along: the value taken shows the slider's range.
TEST_F(DebugPanelTest, ASliderClickSetsItsSettingWithinItsRangeInTheSameFrame) {
    struct Slider {
        const char* window;
        const char* label;
        float* value;
        float minimum, maximum;
        int component; // of a three-float slider, else -1
    };
    const Slider sliders[] = {
        {"Debug", "Exposure", &postSettings.exposure, 0, 2, -1},
        {"Debug", "Brightness", &postSettings.brightness, -1, 1, -1},
        {"Debug", "Contrast", &postSettings.contrast, 0, 2, -1},
        {"Debug", "Saturation", &postSettings.saturation, 0, 2, -1},
        {"Configuration", "FoV", &camera.fov, 10, 90, -1},
        {"Configuration", "Light Position", &lightPosition.x, -10, 10, 0},
        {"Configuration", "Light Position", &lightPosition.y, -10, 10, 1},
        {"Configuration", "Ambient Factor", &ambientFactor, 0, 1, -1},
        {"Configuration", "Light Strength", &lightStrength, 0, 100, -1},
        {"Configuration", "Light Radius", &lightRadius, 0, 100, -1},
    };
    frame();
    frame();
    for (const Slider& slider : sliders) {
        SCOPED_TRACE(slider.label);
        ASSERT_GE(labelPlace(ImGui::GetDrawData(), slider.window, slider.label).y, 0.0f);
        const char* firstCheckbox =
            slider.window == std::string("Debug") ? "Show Meshlets" : "Moving Light Position";
        ImVec2 point = sliderPoint(ImGui::GetDrawData(), slider.window, slider.label, firstCheckbox, 0.75f,
                                   slider.component);
        const float x = point.x, y = point.y;
        const float before = *slider.value;

        mouse(WM_MOUSEMOVE, x, y);
        mouse(WM_LBUTTONDOWN, x, y);
        frame();
        EXPECT_NEAR(*slider.value, slider.minimum + 0.75f * (slider.maximum - slider.minimum),
                    (slider.maximum - slider.minimum) * 0.02f)
            << "was " << before;
        mouse(WM_LBUTTONUP, x, y);
        frame();
    }
    EXPECT_EQ(lightPosition.z, 0.0f) << "the third component keeps its value";
}

// The sliders bound dragging only: a value typed in after a Ctrl+click is taken as it stands.
TEST_F(DebugPanelTest, AValueTypedIntoASliderMayLieOutsideItsRange) {
    frame();
    frame();
    ImVec2 point = sliderPoint(ImGui::GetDrawData(), "Debug", "Exposure", "Show Meshlets", 0.5f);
    key(WM_KEYDOWN, VK_CONTROL);
    mouse(WM_MOUSEMOVE, point.x, point.y);
    mouse(WM_LBUTTONDOWN, point.x, point.y);
    frame();
    mouse(WM_LBUTTONUP, point.x, point.y);
    key(WM_KEYUP, VK_CONTROL);
    frame();
    ASSERT_TRUE(ImGui::GetIO().WantTextInput) << "the slider takes typed text";
    for (WPARAM digit : {'5', '0'}) {
        key(WM_KEYDOWN, digit);
        key(WM_KEYUP, digit);
        frame();
    }
    key(WM_KEYDOWN, VK_RETURN);
    frame();
    key(WM_KEYUP, VK_RETURN);
    frame();
    EXPECT_EQ(ImGui::GetActiveID(), 0u) << "Enter ends the entry";
    EXPECT_EQ(postSettings.exposure, 50.0f);
}

TEST_F(DebugPanelTest, CheckboxesShowTheirSettingAndStoreZeroOrOne) {
    debugFlags.showMeshlets = 1; // as the fly-through leaves it during its meshlet leg
    frame();
    ImDrawData* drawData = frame();
    EXPECT_TRUE(checkboxTicked(drawData, "Debug", "Show Meshlets"));
    EXPECT_FALSE(checkboxTicked(drawData, "Debug", "Disable Backface Culling"));

    struct Box {
        const char* window;
        const char* label;
    };
    for (const Box& box : {Box{"Debug", "Show Meshlets"}, Box{"Debug", "Disable Backface Culling"},
                           Box{"Debug", "Fixate Viewpos"}, Box{"Configuration", "Moving Light Position"}}) {
        LabelPlace label = labelPlace(ImGui::GetDrawData(), box.window, box.label);
        ASSERT_GE(label.y, 0.0f) << box.label;
        click(label.x + 4, label.y + ImGui::GetFontSize() / 2);
    }
    EXPECT_EQ(debugFlags.showMeshlets, 0u);
    EXPECT_EQ(debugFlags.disableBackfaceCulling, 1u);
    EXPECT_TRUE(fixateViewpos);
    EXPECT_TRUE(movingLightPosition);
    drawData = frame();
    EXPECT_FALSE(checkboxTicked(drawData, "Debug", "Show Meshlets"));
    EXPECT_TRUE(checkboxTicked(drawData, "Debug", "Disable Backface Culling"));
    EXPECT_TRUE(checkboxTicked(drawData, "Configuration", "Moving Light Position"));
}

TEST_F(DebugPanelTest, TheDrawBindsThePanelsHeapOverTheBoundRenderTarget) {
    frame();
    frame();
    std::vector<standin::Submission> submissions = standin::submissions();
    ASSERT_FALSE(submissions.empty());
    const std::vector<standin::RecordedCommand>& commands = submissions.back().commands;
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0].kind, standin::CommandKind::OMSetRenderTargets);
    EXPECT_EQ(commands[1].kind, standin::CommandKind::SetDescriptorHeaps);
    EXPECT_EQ(commands[2].kind, standin::CommandKind::UiDraw);
    EXPECT_EQ(commands[2].state.descriptorHeaps, std::vector<ID3D12DescriptorHeap*>{uiSrvHeap});
    EXPECT_EQ(commands[2].state.renderTargets.size(), 1u);
    EXPECT_EQ(commands[2].arguments[0], 2u) << "the two windows' draw lists";
}

} // namespace
