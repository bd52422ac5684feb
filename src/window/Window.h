// The program's one window: a borderless pop-up covering the primary screen.
#pragma once

#include <windows.h>

#include "window/InputEvent.h"

#include <cstdint>
#include <functional>
#include <string>

class Window {
public:
    // Creates and shows the window; throws std::runtime_error "Error during window creation" when it cannot.
    Window();

    HWND getHWND() const { return hwnd; }
    uint32_t getWidth() const { return width; }
    uint32_t getHeight() const { return height; }

    // The window procedure of the "DefaultWindow" class.
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Handles what the procedure does not finish itself: quit on destroy, size and size-move bookkeeping.
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Receives every key event; empty until the renderer assigns its handler.
    std::function<void(InputEvent&)> inputCallback;
    std::wstring title;
    // The client size in pixels.
    uint32_t width;
    uint32_t height;
    // Between WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE.
    bool inSizeMove;
    // From a WM_SIZE of kind SIZE_MINIMIZED until a WM_SIZE of another kind.
    bool minimized;
    // Null until creation has returned.
    HWND hwnd;

private:
    HWND createWindow(std::wstring windowTitle);
};
