// The Dear ImGui Win32 platform back end for the stand-in (the Windows build compiles the library's own).
// It feeds ImGui's io from the stand-in's window messages the way the 1.86 back end does: keys into
// io.KeysDown by virtual-key code (with the left and right variants of Shift, Ctrl and Alt), mouse position,
// buttons and wheel, characters and focus, the display size from the client rectangle and the frame's time
// step from the performance counter.
#include <windows.h>

#include <imgui.h>
#include <backends/imgui_impl_win32.h>

#include "common/CallTrace.h"

#include <cfloat>

namespace {

struct BackendData {
    HWND hwnd = nullptr;
    INT64 ticksPerSecond = 0;
    INT64 time = 0;
    // The cursor in client coordinates while it is over the window (after a mouse message, until it leaves).
    bool mouseInside = false;
    ImVec2 mousePosition{0.0f, 0.0f};
};

// The virtual key the 1.86 back end reports for the keypad's Enter (Enter with the extended flag).
constexpr int KEYPAD_ENTER = VK_RETURN + 256;

BackendData* backendData() {
    return ImGui::GetCurrentContext() ? static_cast<BackendData*>(ImGui::GetIO().BackendPlatformUserData)
                                      : nullptr;
}

bool isDown(int virtualKey) {
    return (GetKeyState(virtualKey) & 0x8000) != 0;
}

int mouseButtonOf(UINT message) {
    switch (message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_RBUTTONUP:
        return 1;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_MBUTTONUP:
        return 2;
    default:
        return 0;
    }
}

} // namespace

bool ImGui_ImplWin32_Init(void* hwnd) {
    standin::traceCall("ImGui_ImplWin32_Init");
    ImGuiIO& io = ImGui::GetIO();
    IM_ASSERT(io.BackendPlatformUserData == nullptr && "Already initialized a platform backend!");
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&counter))
        return false;

    auto* data = IM_NEW(BackendData)();
    data->hwnd = static_cast<HWND>(hwnd);
    data->ticksPerSecond = frequency.QuadPart;
    data->time = counter.QuadPart;
    io.BackendPlatformUserData = data;
    io.BackendPlatformName = "imgui_impl_win32";
    io.BackendFlags |= ImGuiBackendFlags_HasMouseCursors | ImGuiBackendFlags_HasSetMousePos;
    io.ImeWindowHandle = hwnd;

    // Dear ImGui 1.86 reads its navigation keys from io.KeysDown at these indices.
    io.KeyMap[ImGuiKey_Tab] = VK_TAB;
    io.KeyMap[ImGuiKey_LeftArrow] = VK_LEFT;
    io.KeyMap[ImGuiKey_RightArrow] = VK_RIGHT;
    io.KeyMap[ImGuiKey_UpArrow] = VK_UP;
    io.KeyMap[ImGuiKey_DownArrow] = VK_DOWN;
    io.KeyMap[ImGuiKey_PageUp] = VK_PRIOR;
    io.KeyMap[ImGuiKey_PageDown] = VK_NEXT;
    io.KeyMap[ImGuiKey_Home] = VK_HOME;
    io.KeyMap[ImGuiKey_End] = VK_END;
    io.KeyMap[ImGuiKey_Insert] = VK_INSERT;
    io.KeyMap[ImGuiKey_Delete] = VK_DELETE;
    io.KeyMap[ImGuiKey_Backspace] = VK_BACK;
    io.KeyMap[ImGuiKey_Space] = VK_SPACE;
    io.KeyMap[ImGuiKey_Enter] = VK_RETURN;
    io.KeyMap[ImGuiKey_Escape] = VK_ESCAPE;
    io.KeyMap[ImGuiKey_KeyPadEnter] = KEYPAD_ENTER;
    io.KeyMap[ImGuiKey_A] = 'A';
    io.KeyMap[ImGuiKey_C] = 'C';
    io.KeyMap[ImGuiKey_V] = 'V';
    io.KeyMap[ImGuiKey_X] = 'X';
    io.KeyMap[ImGuiKey_Y] = 'Y';
    io.KeyMap[ImGuiKey_Z] = 'Z';
    return true;
}

void ImGui_ImplWin32_Shutdown() {
    BackendData* data = backendData();
    IM_ASSERT(data != nullptr && "No platform backend to shutdown, or already shutdown?");
    ImGuiIO& io = ImGui::GetIO();
    io.BackendPlatformName = nullptr;
    io.BackendPlatformUserData = nullptr;
    IM_DELETE(data);
}

void ImGui_ImplWin32_NewFrame() {
    BackendData* data = backendData();
    IM_ASSERT(data != nullptr && "Did you call ImGui_ImplWin32_Init()?");
    ImGuiIO& io = ImGui::GetIO();

    RECT rect = {0, 0, 0, 0};
    GetClientRect(data->hwnd, &rect);
    io.DisplaySize =
        ImVec2(static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top));

    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    io.DeltaTime = static_cast<float>(now.QuadPart - data->time) / static_cast<float>(data->ticksPerSecond);
    // Dear ImGui requires a positive step; two frames within one counter tick would give none.
    if (io.DeltaTime <= 0.0f)
        io.DeltaTime = 1.0f / static_cast<float>(data->ticksPerSecond);
    data->time = now.QuadPart;

    io.MousePos = data->mouseInside ? data->mousePosition : ImVec2(-FLT_MAX, -FLT_MAX);
}

LRESULT ImGui_ImplWin32_WndProcHandler(HWND, UINT msg, WPARAM wParam, LPARAM lParam) {
    BackendData* data = backendData();
    if (!data)
        return 0;
    ImGuiIO& io = ImGui::GetIO();
    auto clientPosition = [lParam] {
        return ImVec2(static_cast<float>(static_cast<SHORT>(LOWORD(lParam))),
                      static_cast<float>(static_cast<SHORT>(HIWORD(lParam))));
    };

    switch (msg) {
    case WM_MOUSEMOVE:
        data->mouseInside = true;
        data->mousePosition = clientPosition();
        return 0;
    case WM_MOUSELEAVE:
        data->mouseInside = false;
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        data->mouseInside = true;
        data->mousePosition = clientPosition();
        io.MouseDown[mouseButtonOf(msg)] = true;
        return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        io.MouseDown[mouseButtonOf(msg)] = false;
        return 0;
    case WM_MOUSEWHEEL:
        io.MouseWheel += static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / static_cast<float>(WHEEL_DELTA);
        return 0;
    case WM_MOUSEHWHEEL:
        io.MouseWheelH +=
            static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / static_cast<float>(WHEEL_DELTA);
        return 0;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: {
        bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
        if (wParam < 256)
            io.KeysDown[wParam] = down;
        // The generic modifier keys also report their sides, read from the key states the queue keeps.
        if (wParam == VK_CONTROL) {
            io.KeysDown[VK_LCONTROL] = isDown(VK_LCONTROL);
            io.KeysDown[VK_RCONTROL] = isDown(VK_RCONTROL);
            io.KeyCtrl = io.KeysDown[VK_LCONTROL] || io.KeysDown[VK_RCONTROL];
        }
        if (wParam == VK_SHIFT) {
            io.KeysDown[VK_LSHIFT] = isDown(VK_LSHIFT);
            io.KeysDown[VK_RSHIFT] = isDown(VK_RSHIFT);
            io.KeyShift = io.KeysDown[VK_LSHIFT] || io.KeysDown[VK_RSHIFT];
        }
        if (wParam == VK_MENU) {
            io.KeysDown[VK_LMENU] = isDown(VK_LMENU);
            io.KeysDown[VK_RMENU] = isDown(VK_RMENU);
            io.KeyAlt = io.KeysDown[VK_LMENU] || io.KeysDown[VK_RMENU];
        }
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        io.AddFocusEvent(msg == WM_SETFOCUS);
        return 0;
    case WM_CHAR:
        if (wParam > 0 && wParam < 0x10000)
            io.AddInputCharacterUTF16(static_cast<ImWchar16>(wParam));
        return 0;
    case WM_SETCURSOR:
        // Over the client area the library sets the cursor itself unless the program forbids it.
        if (LOWORD(lParam) == HTCLIENT && !(io.ConfigFlags & ImGuiConfigFlags_NoMouseCursorChange))
            return 1;
        return 0;
    default:
        return 0;
    }
}
