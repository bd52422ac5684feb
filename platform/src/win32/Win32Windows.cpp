// Window classes and windows of the stand-in: registration, creation and destruction with the messages
// Windows sends for them, default message processing, window data, client sizes and screen metrics.
#include "win32/Win32Desktop.h"

#include "common/CallTrace.h"
#include "standin/WindowSystem.h"

#include <cstdint>
#include <cwctype>
#include <string>
#include <vector>

namespace standin::win32 {

Desktop desktop;

WindowRecord* findWindow(HWND hwnd) {
    auto found = desktop.windows.find(hwnd);
    return found == desktop.windows.end() ? nullptr : &found->second;
}

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure;
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record)
            return 0;
        procedure = record->procedure;
    }
    return procedure(hwnd, message, wParam, lParam);
}

} // namespace standin::win32

namespace {

using namespace standin::win32;

struct WindowClass {
    std::wstring name;
    WNDPROC procedure = nullptr;
    HINSTANCE instance = nullptr;
    ATOM atom = 0;
    standin::WindowClassInfo registered;
};

// Class atoms count from here, as for registered window classes on Windows.
constexpr ATOM FIRST_CLASS_ATOM = 0xC000;

std::vector<WindowClass> classes;
uintptr_t lastHandle = 0x10000;
int screenWidth = 1920;
int screenHeight = 1080;
bool creationFails = false;

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

// The last messages of a window, then it is gone: its handle no longer names a window and its posted
// messages leave the queue.
void finishDestroy(HWND hwnd) {
    sendMessage(hwnd, WM_NCDESTROY, 0, 0);
    {
        std::lock_guard lock(desktop.mutex);
        desktop.windows.erase(hwnd);
        if (desktop.lastTopLevel == hwnd)
            desktop.lastTopLevel = nullptr;
        if (desktop.activeWindow == hwnd)
            desktop.activeWindow = nullptr;
        if (desktop.focusedWindow == hwnd)
            desktop.focusedWindow = nullptr;
    }
    standin::win32::removeMessagesFor(hwnd);
}

} // namespace

namespace standin {

void setScreenSize(int width, int height) {
    std::lock_guard lock(desktop.mutex);
    screenWidth = width;
    screenHeight = height;
}

void setWindowCreationFails(bool fails) {
    std::lock_guard lock(desktop.mutex);
    creationFails = fails;
}

WindowClassInfo windowClassInfo(const wchar_t* className) {
    std::lock_guard lock(desktop.mutex);
    const WindowClass* windowClass = findClass(className);
    return windowClass ? windowClass->registered : WindowClassInfo{};
}

WindowInfo windowInfo(HWND hwnd) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    return record ? record->created : WindowInfo{};
}

void resetWindowSystem() {
    {
        std::lock_guard lock(desktop.mutex);
        desktop.windows.clear();
        classes.clear();
        desktop.lastTopLevel = nullptr;
        desktop.activeWindow = nullptr;
        desktop.focusedWindow = nullptr;
        desktop.applicationActive = false;
    }
    win32::resetMessageQueue();
    win32::resetDpiAwareness();
}

namespace win32 {

HWND sessionWindow() {
    std::lock_guard lock(desktop.mutex);
    return desktop.lastTopLevel;
}

} // namespace win32
} // namespace standin

extern "C" {

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* windowClass) {
    standin::traceCall("RegisterClassExW");
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXW) || !windowClass->lpfnWndProc ||
        !windowClass->lpszClassName || reinterpret_cast<uintptr_t>(windowClass->lpszClassName) < 0x10000)
        return 0;
    std::lock_guard lock(desktop.mutex);
    if (findClass(windowClass->lpszClassName))
        return 0;
    ATOM atom = static_cast<ATOM>(FIRST_CLASS_ATOM + classes.size());
    standin::WindowClassInfo info{true,
                                  windowClass->style,
                                  windowClass->lpfnWndProc,
                                  windowClass->cbClsExtra,
                                  windowClass->cbWndExtra,
                                  windowClass->hInstance,
                                  windowClass->hIcon,
                                  windowClass->hCursor,
                                  windowClass->hbrBackground,
                                  windowClass->lpszMenuName != nullptr,
                                  windowClass->hIconSm};
    classes.push_back(
        {windowClass->lpszClassName, windowClass->lpfnWndProc, windowClass->hInstance, atom, info});
    return atom;
}

HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                            LPVOID param) {
    standin::traceCall("CreateWindowExW");
    HWND hwnd;
    int screenX;
    int screenY;
    {
        std::lock_guard lock(desktop.mutex);
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
        record.created = {true, exStyle, style, x, y, width, height, parent, menu, instance, {}};
        desktop.windows.emplace(hwnd, record);
        if (!(style & WS_CHILD))
            desktop.lastTopLevel = hwnd;
        screenX = screenWidth;
        screenY = screenHeight;
    }

    CREATESTRUCTW create{param,      instance,  menu,   parent, height, width, y, x, static_cast<LONG>(style),
                         windowName, className, exStyle};
    MINMAXINFO limits{{0, 0}, {screenX, screenY}, {0, 0}, {1, 1}, {screenX, screenY}};
    sendStructure(hwnd, WM_GETMINMAXINFO, 0, &limits);
    if (!sendStructure(hwnd, WM_NCCREATE, 0, &create)) {
        finishDestroy(hwnd);
        return nullptr;
    }
    RECT proposed{x, y, x + width, y + height};
    sendStructure(hwnd, WM_NCCALCSIZE, FALSE, &proposed);
    if (sendStructure(hwnd, WM_CREATE, 0, &create) == -1) {
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

BOOL WINAPI DestroyWindow(HWND hwnd) {
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || record->destroying)
            return FALSE;
        record->destroying = true;
    }
    hide(hwnd, false);
    deactivate(hwnd);
    sendMessage(hwnd, WM_DESTROY, 0, 0);
    finishDestroy(hwnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd) {
    std::lock_guard lock(desktop.mutex);
    return findWindow(hwnd) ? TRUE : FALSE;
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
            sendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        }
        return 0;
    default:
        return 0;
    }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hwnd, int index) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    if (!record || index != GWLP_USERDATA)
        return 0;
    return record->userData;
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    if (!record || index != GWLP_USERDATA)
        return 0;
    LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

// The stand-in's windows have no frame, so the client area is the whole window; a minimised window has none.
BOOL WINAPI GetClientRect(HWND hwnd, RECT* rect) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    if (!record || !rect)
        return FALSE;
    if (record->minimized)
        *rect = {0, 0, 0, 0};
    else
        *rect = {0, 0, record->width, record->height};
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    std::lock_guard lock(desktop.mutex);
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
