// The free-fly camera: the left mouse button drags the view, W, A, S, D, Space and Left Shift move it, the
// wheel changes its speed. It reads Dear ImGui's input state, so update runs inside a UI frame.
#pragma once

#include "core/MathTypes.h"

class Camera {
public:
    // One frame of look, movement and speed change; returns the view matrix.
    Mat4 update();

    Vec3 position{-10.621512f, 5.761714f, 4.313231f};
    // Not of unit length until the first drag recomputes it from yaw and pitch.
    Vec3 front{1.0f, 0.0f, 1.0f};
    Vec3 up{0.0f, 1.0f, 0.0f};
    // The eye and view used for culling; the renderer writes them.
    Vec3 viewPos{-10.621512f, 5.761714f, 4.313231f};
    Mat4 cullView{};
    // Degrees.
    float fov = 45.0f;
    float yaw = 8.0f;
    float pitch = 0.3f;
    // The next dragging frame takes no mouse offset, so every drag starts without a jump.
    bool firstMouse = true;
    // Degrees per pixel.
    float sensitivity = 0.1f;
    // Scene units per second, never below 0.1 after a wheel change.
    float speed = 2.0f;
    float lastX = 0.0f;
    float lastY = 0.0f;
};

extern Camera camera;

// The UI mouse position in normalised device coordinates of the remembered client size: top left (-1, 1),
// bottom right (1, -1).
Vec2 mouseToNdc();
