// The keyboard events the application window raises.
#pragma once

#include <cstdint>

// The eleven keys that raise events, in this order (not the order of their virtual-key codes).
enum class KeyCode : uint32_t { W, A, S, D, Shift, Control, Q, E, F1, F2, F3 };

// One key press. The window raises only key presses: type 1, reserved 0, state 3.
struct InputEvent {
    uint32_t type;
    uint32_t reserved;
    uint32_t state;
    KeyCode key;
};

static_assert(sizeof(InputEvent) == 16, "InputEvent is four 32-bit words");
