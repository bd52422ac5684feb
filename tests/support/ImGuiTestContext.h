// A Dear ImGui context for the length of a test: a display size and a frame time, and no settings file.
#pragma once

#include <imgui.h>

class ImGuiTestContext {
public:
    ImGuiTestContext() {
        ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr; // tests leave no "imgui.ini" behind
        io.DisplaySize = ImVec2(800, 600);
        io.DeltaTime = 1.0f / 60.0f;
    }
    ~ImGuiTestContext() { ImGui::DestroyContext(); }
    ImGuiTestContext(const ImGuiTestContext&) = delete;
    ImGuiTestContext& operator=(const ImGuiTestContext&) = delete;
};
