// A window of the stand-in with a test's own window procedure.
#pragma once

#include <windows.h>

// Registers the class (once per name) and creates a visible pop-up window of it at (0, 0).
inline HWND createTestWindow(const wchar_t* className, WNDPROC procedure, int width = 640, int height = 480) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    return CreateWindowExW(0, className, L"", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                           nullptr, nullptr);
}
