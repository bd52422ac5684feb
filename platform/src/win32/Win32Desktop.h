// The stand-in's windows as the window functions share them inside platform/src.
//
// Windows belong to the thread that creates them and their procedures run on it; the stand-in keeps that
// discipline and holds the desktop's lock only around its own bookkeeping, never while a procedure runs, so
// that a procedure may call back into any window function.
#pragma once

#include "win32/Win32Internal.h"

#include "standin/WindowSystem.h"

#include <map>
#include <mutex>

namespace standin::win32 {

struct WindowRecord {
    WNDPROC procedure = nullptr;
    // The normal placement; a minimised window keeps it for its restore.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool visible = false;
    bool minimized = false;
    bool destroying = false;
    LONG_PTR userData = 0;
    // What creation was given and the show commands since, for inspection.
    standin::WindowInfo created;
};

struct Desktop {
    std::recursive_mutex mutex;
    std::map<HWND, WindowRecord> windows;
    // The last top-level window created, which the session driver drives.
    HWND lastTopLevel = nullptr;
    HWND activeWindow = nullptr;
    HWND focusedWindow = nullptr;
    bool applicationActive = false;
};

extern Desktop desktop;

// The window's record, null for a handle that names no window; call with the desktop's lock held.
WindowRecord* findWindow(HWND hwnd);

// Sends a message whose lParam points to a structure.
inline LRESULT sendStructure(HWND hwnd, UINT message, WPARAM wParam, const void* structure) {
    return sendMessage(hwnd, message, wParam, reinterpret_cast<LPARAM>(structure));
}

// Placement changes with their messages. A first show also gives the window its first size and position.
void show(HWND hwnd, bool firstShow);
// Hides a visible window; WM_SHOWWINDOW is announced unless the window is being destroyed.
void hide(HWND hwnd, bool announce);
void minimize(HWND hwnd);
void restore(HWND hwnd);
// Takes the activation and the focus from the window.
void deactivate(HWND hwnd);
// Gives the keyboard focus to the window: WM_KILLFOCUS to the one that had it, WM_SETFOCUS to the new one.
void setFocusTo(HWND hwnd);
// The default processing of WM_WINDOWPOSCHANGED: WM_SIZE and WM_MOVE for what changed.
void sendSizeAndMove(HWND hwnd, const WINDOWPOS* position);

} // namespace standin::win32
