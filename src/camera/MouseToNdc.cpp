// Kept apart from the camera because it reads the renderer's remembered client size, which the renderer
// defines; a program that never calls it links without those.
#include "camera/Camera.h"

#include <imgui.h>

#include <cstdint>

extern uint32_t lastWidth;
extern uint32_t lastHeight;

Vec2 mouseToNdc() {
    const ImVec2 mouse = ImGui::GetMousePos();
    return {2.0f * mouse.x / static_cast<float>(lastWidth) - 1.0f,
            -(2.0f * mouse.y / static_cast<float>(lastHeight) - 1.0f)};
}
