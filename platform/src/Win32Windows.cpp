// Window classes and windows of the stand-in: creation and destruction with the messages Windows sends for
// them, showing, minimising and restoring, default message processing, window data and client sizes.
//
// Windows belong to the thread that creates them and their procedures run on it; the stand-in keeps that
// discipline and holds its lock only around its own bookkeeping, never while a procedure runs, so that a
// procedure may call back into any window function.
#include "Win32Internal.h"

#include "standin/WindowSystem.h"

#include <cstdint>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct WindowClass {
    std::wstring name;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
};

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
};

// Where Windows puts a minimised top-level window, and the size of its iconic frame.
constexpr int MINIMIZED_POSITION = -32000;
constexpr int MINIMIZED_WIDTH = 160;
constexpr int MINIMIZED_HEIGHT = 28;
// Class atoms count from here, as for registered window classes on Windows.
constexpr ATOM FIRST_CLASS_ATOM = 0xC000;

std::recursive_mutex windowsMutex;
std::vector<WindowClass> classes;
std::map<HWND, WindowRecord> windows;
uintptr_t lastHandle = 0x10000;
HWND lastTopLevel = nullptr;
HWND activeWindow = nullptr;
HWND focusedWindow = nullptr;
bool applicationActive = false;
int screenWidth = 1920;
int screenHeight = 1080;
bool creationFails = false;

WindowRecord* find(HWND hwnd) {
    auto found = windows.find(hwnd);
    return found == windows.end() ? nullptr : &found->second;
}

bool sameClassName(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && !b[i];
}

// A class name can also be a class atom in the low word of the pointer.
const WindowClass* findClass(LPCWSTR name) {
    auto value = reinterpret_cast<uintptr_t>(name);
    for (const WindowClass& windowClass : classes) {
        if (value < 0x10000 ? windowClass.atom == value : sameClassName(windowClass.name, name))
            return &windowClass;
    }
    return nullptr;
}

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, const void* lParam) {
    return standin::win32::sendMessage(hwnd, message, wParam, reinterpret_cast<LPARAM>(lParam));
}

// The two position messages around a change; the procedure may adjust the new placement in between, as on
// Windows. Returns the placement the window takes.
WINDOWPOS changePosition(HWND hwnd, WINDOWPOS position, bool becomesVisible) {
    send(hwnd, WM_WINDOWPOSCHANGING, 0, &position);
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record)
            return position;
        if (becomesVisible)
            record->visible = true;
        if (position.flags & SWP_HIDEWINDOW)
            record->visible = false;
        if (!record->minimized) {
            if (!(position.flags & SWP_NOMOVE)) {
                record->x = position.x;
                record->y = position.y;
            }
            if (!(position.flags & SWP_NOSIZE)) {
                record->width = position.cx;
                record->height = position.cy;
            }
        }
    }
    return position;
}

void setFocusTo(HWND hwnd) {
    HWND previous;
    {
        std::lock_guard lock(windowsMutex);
        if (focusedWindow == hwnd)
            return;
        previous = focusedWindow;
        focusedWindow = hwnd;
    }
    if (previous)
        send(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), nullptr);
    if (hwnd)
        send(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), nullptr);
}

// Activation as Windows does it for the foreground application's window: the application first, then the
// frame, then the window, whose default processing takes the keyboard focus.
void activate(HWND hwnd) {
    HWND previous;
    bool applicationWasActive;
    bool minimized;
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || activeWindow == hwnd)
            return;
        previous = activeWindow;
        applicationWasActive = applicationActive;
        applicationActive = true;
        activeWindow = hwnd;
        minimized = record->minimized;
    }
    if (!applicationWasActive)
        send(hwnd, WM_ACTIVATEAPP, TRUE, nullptr);
    send(hwnd, WM_NCACTIVATE, TRUE, nullptr);
    standin::win32::sendMessage(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized ? 1 : 0),
                                reinterpret_cast<LPARAM>(previous));
}

void deactivate(HWND hwnd) {
    bool wasActive;
    bool wasFocused;
    bool minimized = false;
    {
        std::lock_guard lock(windowsMutex);
        wasActive = activeWindow == hwnd;
        wasFocused = focusedWindow == hwnd;
        if (WindowRecord* record = find(hwnd))
            minimized = record->minimized;
        if (wasActive) {
            activeWindow = nullptr;
            applicationActive = false;
        }
        if (wasFocused)
            focusedWindow = nullptr;
    }
    if (wasActive) {
        send(hwnd, WM_NCACTIVATE, FALSE, nullptr);
        send(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimized ? 1 : 0), nullptr);
        send(hwnd, WM_ACTIVATEAPP, FALSE, nullptr);
    }
    if (wasFocused)
        send(hwnd, WM_KILLFOCUS, 0, nullptr);
}

// Shows a hidden window. At creation the window also gets its first size and position from the change.
void show(HWND hwnd, bool firstShow) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || record->visible)
            return;
        position = {hwnd, nullptr, record->x, record->y, record->width, record->height, SWP_SHOWWINDOW};
        if (!firstShow)
            position.flags |= SWP_NOSIZE | SWP_NOMOVE;
    }
    send(hwnd, WM_SHOWWINDOW, TRUE, nullptr);
    position = changePosition(hwnd, position, true);
    activate(hwnd);
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

void hide(HWND hwnd, bool announce) {
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || !record->visible)
            return;
    }
    if (announce)
        send(hwnd, WM_SHOWWINDOW, FALSE, nullptr);
    WINDOWPOS position{
        hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE};
    position = changePosition(hwnd, position, false);
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

void minimize(HWND hwnd) {
    bool wasVisible;
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || record->minimized)
            return;
        record->minimized = true;
        wasVisible = record->visible;
    }
    if (!wasVisible)
        send(hwnd, WM_SHOWWINDOW, TRUE, nullptr);
    WINDOWPOS position{
        hwnd,        nullptr, MINIMIZED_POSITION, MINIMIZED_POSITION, MINIMIZED_WIDTH, MINIMIZED_HEIGHT,
        SWP_NOZORDER};
    position = changePosition(hwnd, position, true);
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
    // The only window of the desktop gives up the activation and the focus when it is minimised.
    deactivate(hwnd);
}

void restore(HWND hwnd) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || !record->minimized)
            return;
        record->minimized = false;
        position = {hwnd, nullptr, record->x, record->y, record->width, record->height, SWP_NOZORDER};
    }
    position = changePosition(hwnd, position, true);
    activate(hwnd);
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

// The default processing of WM_WINDOWPOSCHANGED: the window learns its new client size and position.
void sendSizeAndMove(HWND hwnd, const WINDOWPOS* position) {
    WPARAM kind;
    LPARAM size;
    LPARAM origin;
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record)
            return;
        kind = record->minimized ? SIZE_MINIMIZED : SIZE_RESTORED;
        size = record->minimized ? 0 : MAKELPARAM(record->width, record->height);
        origin = record->minimized ? MAKELPARAM(static_cast<WORD>(MINIMIZED_POSITION),
                                                static_cast<WORD>(MINIMIZED_POSITION))
                                   : MAKELPARAM(record->x, record->y);
    }
    UINT flags = position ? position->flags : 0;
    if (!(flags & SWP_NOSIZE))
        standin::win32::sendMessage(hwnd, WM_SIZE, kind, size);
    if (!(flags & SWP_NOMOVE))
        standin::win32::sendMessage(hwnd, WM_MOVE, 0, origin);
}

// The last messages of a window, then it is gone: its handle no longer names a window and its posted
// messages leave the queue.
void finishDestroy(HWND hwnd) {
    send(hwnd, WM_NCDESTROY, 0, nullptr);
    {
        std::lock_guard lock(windowsMutex);
        windows.erase(hwnd);
        if (lastTopLevel == hwnd)
            lastTopLevel = nullptr;
        if (activeWindow == hwnd)
            activeWindow = nullptr;
        if (focusedWindow == hwnd)
            focusedWindow = nullptr;
    }
    standin::win32::removeMessagesFor(hwnd);
}

} // namespace

namespace standin {

void setScreenSize(int width, int height) {
    std::lock_guard lock(windowsMutex);
    screenWidth = width;
    screenHeight = height;
}

void setWindowCreationFails(bool fails) {
    std::lock_guard lock(windowsMutex);
    creationFails = fails;
}

void resetWindowSystem() {
    {
        std::lock_guard lock(windowsMutex);
        windows.clear();
        classes.clear();
        lastTopLevel = nullptr;
        activeWindow = nullptr;
        focusedWindow = nullptr;
        applicationActive = false;
    }
    win32::resetMessageQueue();
}

namespace win32 {

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure;
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record)
            return 0;
        procedure = record->procedure;
    }
    return procedure(hwnd, message, wParam, lParam);
}

HWND focusWindow() {
    std::lock_guard lock(windowsMutex);
    return focusedWindow;
}

HWND sessionWindow() {
    std::lock_guard lock(windowsMutex);
    return lastTopLevel;
}

bool isShownNormally(HWND hwnd) {
    std::lock_guard lock(windowsMutex);
    WindowRecord* record = find(hwnd);
    return record && record->visible && !record->minimized;
}

POINT windowOrigin(HWND hwnd) {
    std::lock_guard lock(windowsMutex);
    WindowRecord* record = find(hwnd);
    if (!record)
        return {0, 0};
    if (record->minimized)
        return {MINIMIZED_POSITION, MINIMIZED_POSITION};
    return {record->x, record->y};
}

void userResize(HWND hwnd, int width, int height) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record)
            return;
        if (record->minimized || !record->visible) {
            record->width = width;
            record->height = height;
            return;
        }
        position = {
            hwnd, nullptr, record->x, record->y, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE};
    }
    send(hwnd, WM_ENTERSIZEMOVE, 0, nullptr);
    position = changePosition(hwnd, position, false);
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
    send(hwnd, WM_EXITSIZEMOVE, 0, nullptr);
}

} // namespace win32
} // namespace standin

extern "C" {

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* windowClass) {
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW) || !windowClass->lpfnWndProc ||
        !windowClass->lpszClassName || reinterpret_cast<uintptr_t>(windowClass->lpszClassName) < 0x10000)
        return 0;
    std::lock_guard lock(windowsMutex);
    if (findClass(windowClass->lpszClassName))
        return 0;
    ATOM atom = static_cast<ATOM>(FIRST_CLASS_ATOM + classes.size());
    classes.push_back({windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->hInstance, atom});
    return atom;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
    HWND hwnd;
    int screenX;
    int screenY;
    {
        std::lock_guard lock(windowsMutex);
        if (creationFails || !className)
            return nullptr;
        const WindowClass* windowClass = findClass(className);
        if (!windowClass)
            return nullptr;
        lastHandle += 4;
        hwnd = reinterpret_cast<HWND>(lastHandle);
        WindowRecord record;
        record.procedure = windowClass->procedure;
        record.x = x;
        record.y = y;
        record.width = width;
        record.height = height;
        windows.emplace(hwnd, record);
        if (!(style & WS_CHILD))
            lastTopLevel = hwnd;
        screenX = screenWidth;
        screenY = screenHeight;
    }

    CREATESTRUCTW create{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                         windowName, className, exStyle};
    MINMAXINFO limits{{0, 0}, {screenX, screenY}, {0, 0}, {1, 1}, {screenX, screenY}};
    send(hwnd, WM_GETMINMAXINFO, 0, &limits);
    if (!send(hwnd, WM_NCCREATE, 0, &create)) {
        finishDestroy(hwnd);
        return nullptr;
    }
    RECT proposed{x, y, x + width, y + height};
    send(hwnd, WM_NCCALCSIZE, FALSE, &proposed);
    if (send(hwnd, WM_CREATE, 0, &create) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!IsWindow(hwnd))
        return nullptr;

    // A visible window learns its size and position from being shown; a hidden one is told them at once.
    if (style & WS_VISIBLE) {
        if (style & WS_MINIMIZE)
            minimize(hwnd);
        else
            show(hwnd, true);
    } else {
        sendSizeAndMove(hwnd, nullptr);
    }
    return IsWindow(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    bool wasVisible;
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record)
            return FALSE;
        wasVisible = record->visible;
    }
    switch (command) {
    case SW_HIDE:
        hide(hwnd, true);
        break;
    case 2: // SW_SHOWMINIMIZED
    case SW_MINIMIZE:
    case 7:  // SW_SHOWMINNOACTIVE
    case 11: // SW_FORCEMINIMIZE
        minimize(hwnd);
        break;
    case SW_SHOW:
        show(hwnd, false);
        break;
    default:
        // SW_SHOWNORMAL, SW_RESTORE, SW_SHOWDEFAULT and the rest show the window in its normal placement; the
        // stand-in has no maximised state.
        show(hwnd, false);
        restore(hwnd);
        break;
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI DestroyWindow(HWND hwnd) {
    {
        std::lock_guard lock(windowsMutex);
        WindowRecord* record = find(hwnd);
        if (!record || record->destroying)
            return FALSE;
        record->destroying = true;
    }
    hide(hwnd, false);
    deactivate(hwnd);
    send(hwnd, WM_DESTROY, 0, nullptr);
    finishDestroy(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    std::lock_guard lock(windowsMutex);
    return find(hwnd) ? TRUE : FALSE;
}

LRESULT WINAPI DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hwnd))
        return 0;
    switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0)
            setFocusTo(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGED:
        sendSizeAndMove(hwnd, reinterpret_cast<const WINDOWPOS*>(lParam));
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
            ShowWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_RESTORE:
            ShowWindow(hwnd, SW_RESTORE);
            break;
        case SC_CLOSE:
            standin::win32::sendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        }
        return 0;
    default:
        return 0;
    }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lock(windowsMutex);
    WindowRecord* record = find(hwnd);
    if (!record || index != GWLP_USERDATA)
        return 0;
    return record->userData;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    std::lock_guard lock(windowsMutex);
    WindowRecord* record = find(hwnd);
    if (!record || index != GWLP_USERDATA)
        return 0;
    LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

// The stand-in's windows have no frame, so the client area is the whole window; a minimised window has none.
BOOL WINAPI GetClientRect(HWND hwnd, RECT* rect) {
    std::lock_guard lock(windowsMutex);
    WindowRecord* record = find(hwnd);
    if (!record || !rect)
        return FALSE;
    if (record->minimized)
        *rect = {0, 0, 0, 0};
    else
        *rect = {0, 0, record->width, record->height};
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    std::lock_guard lock(windowsMutex);
    switch (index) {
    case SM_CXSCREEN:
        return screenWidth;
    case SM_CYSCREEN:
        return screenHeight;
    default:
        return 0;
    }
}

} // extern "C"
