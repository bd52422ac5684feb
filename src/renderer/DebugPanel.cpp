#include "renderer/DebugPanel.h"

#include "camera/Camera.h"
#include "core/Globals.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameQueries.h"
#include "renderer/Settings.h"
#include "renderer/UiDescriptorAllocator.h"

#include <imgui.h>
#include <imgui_impl_dx12.h>
#include <imgui_impl_win32.h>

#include <cstdint>

namespace {

constexpr const char* SLIDER_FORMAT = "%.3f";

void slider(const char* label, float* value, float minimum, float maximum) {
    ImGui::SliderFloat(label, value, minimum, maximum, SLIDER_FORMAT, 0);
}

// The GPU flags are 32-bit words that hold 0 or 1; the checkbox edits them as a boolean.
void flagCheckbox(const char* label, uint32_t* flag) {
    bool ticked = *flag != 0;
    ImGui::Checkbox(label, &ticked);
    *flag = ticked ? 1u : 0u;
}

unsigned long long counter(uint64_t value) {
    return static_cast<unsigned long long>(value);
}

void buildDebugWindow() {
    ImGui::Begin("Debug");
    ImGui::Text("CPU: %.3fms", cpuTimeMs);
    ImGui::Text("Geom: %.3fms", geomTimeMs);
    ImGui::Text("Shading: %.3fms", shadingTimeMs);
    ImGui::Text("Shadows: %.3fms", shadowsTimeMs);
    ImGui::Text("Denoising: %.3fms", denoisingTimeMs);
    ImGui::Text("Post: %.3fms", postTimeMs);
    ImGui::Text("AS Invocations: %llu", counter(asInvocations));
    ImGui::Text("MS Invocations: %llu", counter(msInvocations));
    ImGui::Text("Primitives: %llu", counter(primitiveCount));
    ImGui::Separator();
    slider("Exposure", &postSettings.exposure, 0.0f, 2.0f);
    slider("Brightness", &postSettings.brightness, -1.0f, 1.0f);
    slider("Contrast", &postSettings.contrast, 0.0f, 2.0f);
    slider("Saturation", &postSettings.saturation, 0.0f, 2.0f);
    flagCheckbox("Show Meshlets", &debugFlags.showMeshlets);
    flagCheckbox("Disable Backface Culling", &debugFlags.disableBackfaceCulling);
    ImGui::Checkbox("Fixate Viewpos", &fixateViewpos);
    ImGui::End();
}

void buildConfigurationWindow() {
    ImGui::Begin("Configuration");
    slider("FoV", &camera.fov, 10.0f, 90.0f);
    float position[3] = {lightPosition.x, lightPosition.y, lightPosition.z};
    ImGui::SliderFloat3("Light Position", position, -10.0f, 10.0f, SLIDER_FORMAT, 0);
    lightPosition = {position[0], position[1], position[2]};
    ImGui::Checkbox("Moving Light Position", &movingLightPosition);
    slider("Ambient Factor", &ambientFactor, 0.0f, 1.0f);
    slider("Light Strength", &lightStrength, 0.0f, 100.0f);
    slider("Light Radius", &lightRadius, 0.0f, 100.0f);
    ImGui::End();
}

} // namespace

void buildDebugPanel() {
    ImGui_ImplDX12_NewFrame();
    ImGui_ImplWin32_NewFrame();
    ImGui::NewFrame();
    // No position, size or flag: both windows take the library's placement and its saved layout.
    buildDebugWindow();
    buildConfigurationWindow();
}

void drawDebugPanel() {
    ID3D12DescriptorHeap* heaps[] = {uiSrvHeap};
    commandList->SetDescriptorHeaps(1, heaps);
    ImGui::Render();
    ImGui_ImplDX12_RenderDrawData(ImGui::GetDrawData(), commandList);
}
