#include "camera/Camera.h"

#include "camera/CameraKeys.h"
#include "camera/LookAt.h"
#include "camera/Vector.h"

#include <imgui.h>

#include <algorithm>
#include <cmath>

// Static initial values only: the camera is usable before any of the program's code runs.
constinit Camera camera;

namespace {

constexpr float DEGREES_TO_RADIANS = static_cast<float>(3.14159265358979323846 / 180.0);
constexpr float PITCH_LIMIT = 89.0f;
constexpr float SPEED_PER_WHEEL_NOTCH = 0.5f;
constexpr float MIN_SPEED = 0.1f;

} // namespace

Mat4 Camera::update() {
    const ImGuiIO& io = ImGui::GetIO();

    if (io.WantCaptureMouse || !ImGui::IsMouseDragging(ImGuiMouseButton_Left)) {
        firstMouse = true;
        const ImVec2 mouse = ImGui::GetMousePos();
        lastX = mouse.x;
        lastY = mouse.y;
    } else {
        const ImVec2 mouse = ImGui::GetMousePos();
        if (firstMouse) {
            firstMouse = false;
            lastX = mouse.x;
            lastY = mouse.y;
        }
        const float xOffset = mouse.x - lastX;
        const float yOffset = mouse.y - lastY;
        lastX = mouse.x;
        lastY = mouse.y;

        yaw += xOffset * sensitivity;
        pitch -= yOffset * sensitivity;
        pitch = std::max(-PITCH_LIMIT, std::min(PITCH_LIMIT, pitch));

        const float yawRadians = yaw * DEGREES_TO_RADIANS;
        const float pitchRadians = pitch * DEGREES_TO_RADIANS;
        front = normalize(Vec3{std::cos(yawRadians) * std::cos(pitchRadians), std::sin(pitchRadians),
                               std::sin(yawRadians) * std::cos(pitchRadians)});
    }

    const float velocity = speed * io.DeltaTime;
    if (ImGui::IsKeyDown(CameraKeys::W))
        position = position + front * velocity;
    if (ImGui::IsKeyDown(CameraKeys::S))
        position = position - front * velocity;
    if (ImGui::IsKeyDown(CameraKeys::A))
        position = position + normalize(cross(front, up)) * velocity;
    if (ImGui::IsKeyDown(CameraKeys::D))
        position = position - normalize(cross(front, up)) * velocity;
    if (ImGui::IsKeyDown(CameraKeys::Space))
        position = position + up * velocity;
    if (ImGui::IsKeyDown(CameraKeys::LeftShift))
        position = position - up * velocity;

    // The new speed applies from the next frame: this frame's velocity is already taken.
    if (!io.WantCaptureMouse && io.MouseWheel != 0.0f) {
        speed += io.MouseWheel * SPEED_PER_WHEEL_NOTCH;
        if (speed < MIN_SPEED)
            speed = MIN_SPEED;
    }

    return lookAt(position, position + front, up);
}
