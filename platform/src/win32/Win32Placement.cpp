// Placement of the stand-in's windows: showing, hiding, minimising, restoring and resizing with the
// position messages, activation and the keyboard focus.
#include "win32/Win32Desktop.h"

#include "common/CallTrace.h"

namespace {

using namespace standin::win32;

// Where Windows puts a minimised top-level window, and the size of its iconic frame.
constexpr int MINIMIZED_POSITION = -32000;
constexpr int MINIMIZED_WIDTH = 160;
constexpr int MINIMIZED_HEIGHT = 28;

// The two position messages around a change; the procedure may adjust the new placement in between, as on
// Windows. Returns the placement the window takes.
WINDOWPOS changePosition(HWND hwnd, WINDOWPOS position, bool becomesVisible) {
    sendStructure(hwnd, WM_WINDOWPOSCHANGING, 0, &position);
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
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

// Activation as Windows does it for the foreground application's window: the application first, then the
// frame, then the window, whose default processing takes the keyboard focus.
void activate(HWND hwnd) {
    HWND previous;
    bool applicationWasActive;
    bool minimized;
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || desktop.activeWindow == hwnd)
            return;
        previous = desktop.activeWindow;
        applicationWasActive = desktop.applicationActive;
        desktop.applicationActive = true;
        desktop.activeWindow = hwnd;
        minimized = record->minimized;
    }
    if (!applicationWasActive)
        sendMessage(hwnd, WM_ACTIVATEAPP, TRUE, 0);
    sendMessage(hwnd, WM_NCACTIVATE, TRUE, 0);
    sendMessage(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized ? 1 : 0),
                reinterpret_cast<LPARAM>(previous));
}

} // namespace

namespace standin::win32 {

void setFocusTo(HWND hwnd) {
    HWND previous;
    {
        std::lock_guard lock(desktop.mutex);
        if (desktop.focusedWindow == hwnd)
            return;
        previous = desktop.focusedWindow;
        desktop.focusedWindow = hwnd;
    }
    if (previous)
        sendMessage(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd)
        sendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
}

void deactivate(HWND hwnd) {
    bool wasActive;
    bool wasFocused;
    bool minimized = false;
    {
        std::lock_guard lock(desktop.mutex);
        wasActive = desktop.activeWindow == hwnd;
        wasFocused = desktop.focusedWindow == hwnd;
        if (WindowRecord* record = findWindow(hwnd))
            minimized = record->minimized;
        if (wasActive) {
            desktop.activeWindow = nullptr;
            desktop.applicationActive = false;
        }
        if (wasFocused)
            desktop.focusedWindow = nullptr;
    }
    if (wasActive) {
        sendMessage(hwnd, WM_NCACTIVATE, FALSE, 0);
        sendMessage(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, minimized ? 1 : 0), 0);
        sendMessage(hwnd, WM_ACTIVATEAPP, FALSE, 0);
    }
    if (wasFocused)
        sendMessage(hwnd, WM_KILLFOCUS, 0, 0);
}

// Shows a hidden window. At creation the window also gets its first size and position from the change.
void show(HWND hwnd, bool firstShow) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || record->visible)
            return;
        position = {hwnd, nullptr, record->x, record->y, record->width, record->height, SWP_SHOWWINDOW};
        if (!firstShow)
            position.flags |= SWP_NOSIZE | SWP_NOMOVE;
    }
    sendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
    position = changePosition(hwnd, position, true);
    activate(hwnd);
    sendStructure(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

void hide(HWND hwnd, bool announce) {
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || !record->visible)
            return;
    }
    if (announce)
        sendMessage(hwnd, WM_SHOWWINDOW, FALSE, 0);
    WINDOWPOS position{
        hwnd, nullptr, 0, 0, 0, 0, SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE};
    position = changePosition(hwnd, position, false);
    sendStructure(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

void minimize(HWND hwnd) {
    bool wasVisible;
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || record->minimized)
            return;
        record->minimized = true;
        wasVisible = record->visible;
    }
    if (!wasVisible)
        sendMessage(hwnd, WM_SHOWWINDOW, TRUE, 0);
    WINDOWPOS position{
        hwnd,        nullptr, MINIMIZED_POSITION, MINIMIZED_POSITION, MINIMIZED_WIDTH, MINIMIZED_HEIGHT,
        SWP_NOZORDER};
    position = changePosition(hwnd, position, true);
    sendStructure(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
    // The only window of the desktop gives up the activation and the focus when it is minimised.
    deactivate(hwnd);
}

void restore(HWND hwnd) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record || !record->minimized)
            return;
        record->minimized = false;
        position = {hwnd, nullptr, record->x, record->y, record->width, record->height, SWP_NOZORDER};
    }
    position = changePosition(hwnd, position, true);
    activate(hwnd);
    sendStructure(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
}

// The default processing of WM_WINDOWPOSCHANGED: the window learns its new client size and position.
void sendSizeAndMove(HWND hwnd, const WINDOWPOS* position) {
    WPARAM kind;
    LPARAM size;
    LPARAM origin;
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
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
        sendMessage(hwnd, WM_SIZE, kind, size);
    if (!(flags & SWP_NOMOVE))
        sendMessage(hwnd, WM_MOVE, 0, origin);
}

HWND focusWindow() {
    std::lock_guard lock(desktop.mutex);
    return desktop.focusedWindow;
}

bool isShownNormally(HWND hwnd) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    return record && record->visible && !record->minimized;
}

POINT windowOrigin(HWND hwnd) {
    std::lock_guard lock(desktop.mutex);
    WindowRecord* record = findWindow(hwnd);
    if (!record)
        return {0, 0};
    if (record->minimized)
        return {MINIMIZED_POSITION, MINIMIZED_POSITION};
    return {record->x, record->y};
}

void userResize(HWND hwnd, int width, int height) {
    WINDOWPOS position{};
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
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
    sendMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0);
    position = changePosition(hwnd, position, false);
    sendStructure(hwnd, WM_WINDOWPOSCHANGED, 0, &position);
    sendMessage(hwnd, WM_EXITSIZEMOVE, 0, 0);
}

} // namespace standin::win32

extern "C" {

BOOL WINAPI ShowWindow(HWND hwnd, int command) {
    standin::traceCall("ShowWindow");
    bool wasVisible;
    {
        std::lock_guard lock(desktop.mutex);
        WindowRecord* record = findWindow(hwnd);
        if (!record)
            return FALSE;
        wasVisible = record->visible;
        record->created.showCommands.push_back(command);
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

} // extern "C"
