#include "window/Window.h"

#include <imgui.h>

#include <optional>
#include <stdexcept>

// The Dear ImGui Win32 back end's message handler; its header leaves the declaration to the program.
extern IMGUI_IMPL_API LRESULT ImGui_ImplWin32_WndProcHandler(HWND hWnd, UINT msg, WPARAM wParam,
                                                             LPARAM lParam);

namespace {

const wchar_t* const WINDOW_CLASS_NAME = L"DefaultWindow";

// The event words of a key press.
constexpr uint32_t KEY_PRESS_TYPE = 1;
constexpr uint32_t KEY_PRESS_STATE = 3;

// The eleven keys by virtual-key code. Shift and Ctrl arrive as their generic codes, so either side raises
// the same event.
struct KeyMapping {
    WPARAM virtualKey;
    KeyCode key;
};
constexpr KeyMapping KEY_MAPPINGS[] = {
    {'W', KeyCode::W},    {'A', KeyCode::A},          {'S', KeyCode::S},
    {'D', KeyCode::D},    {VK_SHIFT, KeyCode::Shift}, {VK_CONTROL, KeyCode::Control},
    {'Q', KeyCode::Q},    {'E', KeyCode::E},          {VK_F1, KeyCode::F1},
    {VK_F2, KeyCode::F2}, {VK_F3, KeyCode::F3},
};

std::optional<KeyCode> keyCodeOf(WPARAM virtualKey) {
    for (const KeyMapping& mapping : KEY_MAPPINGS)
        if (mapping.virtualKey == virtualKey)
            return mapping.key;
    return std::nullopt;
}

} // namespace

Window::Window()
    : title(L"Quiet Lantern Hour"), width(1920), height(1080), inSizeMove(false), minimized(false),
      hwnd(nullptr) {
    hwnd = createWindow(title);
    if (!hwnd)
        throw std::runtime_error("Error during window creation");
    ShowWindow(hwnd, SW_SHOWDEFAULT);
}

HWND Window::createWindow(std::wstring windowTitle) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXW);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = WINDOW_CLASS_NAME;
    windowClass.hIconSm = nullptr;
    // A failed registration shows up as a failed creation.
    RegisterClassExW(&windowClass);

    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    // The creation messages already reach windowProc, which finds this object through WM_CREATE.
    HWND handle =
        CreateWindowExW(0, WINDOW_CLASS_NAME, windowTitle.c_str(), WS_POPUP | WS_VISIBLE, 0, 0, screenWidth,
                        screenHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    // WM_SIZE during creation saw no handle yet and left 0 x 0.
    width = static_cast<uint32_t>(screenWidth);
    height = static_cast<uint32_t>(screenHeight);
    return handle;
}

LRESULT CALLBACK Window::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // The debug panel's library sees every message first; it answers 0 until it is set up, and always for
    // keys.
    if (ImGui_ImplWin32_WndProcHandler(hwnd, message, wParam, lParam))
        return 1;

    auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (!window)
        return DefWindowProcW(hwnd, message, wParam, lParam);

    // A copy, so that a callback that replaces the window's handler does not destroy the one running.
    std::function<void(InputEvent&)> callback = window->inputCallback;
    if (callback && message == WM_KEYDOWN) {
        if (std::optional<KeyCode> key = keyCodeOf(wParam)) {
            InputEvent event{KEY_PRESS_TYPE, 0, KEY_PRESS_STATE, *key};
            callback(event);
            return 0;
        }
    }

    if (LRESULT result = window->handleMessage(message, wParam, lParam))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE: {
        if (wParam == SIZE_MINIMIZED) {
            if (!minimized)
                minimized = true;
        } else if (minimized) {
            minimized = false;
        }
        // A minimised window's client area is empty; without a handle (during creation) the size reads 0 x 0.
        RECT clientRect = {};
        GetClientRect(hwnd, &clientRect);
        width = static_cast<uint32_t>(clientRect.right - clientRect.left);
        height = static_cast<uint32_t>(clientRect.bottom - clientRect.top);
        break;
    }
    case WM_ENTERSIZEMOVE:
        inSizeMove = true;
        break;
    case WM_EXITSIZEMOVE:
        inSizeMove = false;
        break;
    }
    // With the stored handle, which is null during creation: the window procedure then does the default work.
    return DefWindowProcW(hwnd, message, wParam, lParam);
}
