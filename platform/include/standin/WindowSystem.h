// Controls and inspection of the stand-in's window system and process, for tests and for the session driver.
#pragma once

#include <windows.h>

#include <vector>

namespace standin {

// The primary screen's size in physical pixels, which GetSystemMetrics reports (default 1920 x 1080).
void setScreenSize(int width, int height);
// While set, CreateWindowExW fails before sending any message, as when the system is out of resources.
void setWindowCreationFails(bool fails);

// While set, QueryPerformanceFrequency and QueryPerformanceCounter fail, as on hardware without a
// high-resolution counter.
void setPerformanceCounterFails(bool fails);

// Whether an event handle that CreateEventW returned is still open (not yet given to CloseHandle). Closing
// a handle that is not open, or waiting on one, is a validation finding.
bool eventIsOpen(HANDLE handle);

// A window class as RegisterClassExW registered it; `registered` is false when no class has the name.
struct WindowClassInfo {
    bool registered = false;
    UINT style = 0;
    WNDPROC procedure = nullptr;
    int classExtraBytes = 0;
    int windowExtraBytes = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool hasMenuName = false;
    HICON smallIcon = nullptr;
};
WindowClassInfo windowClassInfo(const wchar_t* className);

// A window as CreateWindowExW made it, and every ShowWindow command it has been given since, in call order;
// `exists` is false for a handle that names no window.
struct WindowInfo {
    bool exists = false;
    DWORD exStyle = 0;
    DWORD style = 0;
    // The position and size passed at creation.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    std::vector<int> showCommands;
};
WindowInfo windowInfo(HWND hwnd);

// The awareness the process set with SetProcessDpiAwarenessContext, null while it has set none.
DPI_AWARENESS_CONTEXT processDpiAwareness();

// Destroys every window without sending it a message and forgets the classes, the message queue, the quit
// request, the key states, the focus, the activation and the process's DPI awareness, so that each test
// starts from an empty desktop in what looks like a fresh process.
// The screen size and the creation and counter controls are kept.
void resetWindowSystem();

} // namespace standin
