// The keys the free camera tests with ImGui::IsKeyDown. Dear ImGui 1.87 brought named keys; before it,
// IsKeyDown takes the native key index, which the Win32 back end fills by virtual-key code (there ImGuiKey_A
// and ImGuiKey_Space exist but name navigation slots, not keys).
#pragma once

#include <imgui.h>

#if IMGUI_VERSION_NUM >= 18700

namespace CameraKeys {
constexpr ImGuiKey W = ImGuiKey_W;
constexpr ImGuiKey S = ImGuiKey_S;
constexpr ImGuiKey A = ImGuiKey_A;
constexpr ImGuiKey D = ImGuiKey_D;
constexpr ImGuiKey Space = ImGuiKey_Space;
constexpr ImGuiKey LeftShift = ImGuiKey_LeftShift;
} // namespace CameraKeys

#else

#include <windows.h>

namespace CameraKeys {
constexpr int W = 'W';
constexpr int S = 'S';
constexpr int A = 'A';
constexpr int D = 'D';
constexpr int Space = VK_SPACE;
constexpr int LeftShift = VK_LSHIFT;
} // namespace CameraKeys

#endif
