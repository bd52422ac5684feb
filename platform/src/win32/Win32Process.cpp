// Process-wide Win32 calls of the stand-in: the module handle, system cursors, the console and DPI awareness.
#include "win32/Win32Internal.h"

#include "common/CallTrace.h"
#include "standin/WindowSystem.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace {

// Stand-ins for the objects the handles name; only their addresses matter.
char processModule;
char arrowCursor;

constexpr uintptr_t ARROW_CURSOR_ID = 32512;

// The context value the process set, 0 while it has set none.
std::atomic<intptr_t> dpiAwareness{0};

} // namespace

namespace standin::win32 {

void resetDpiAwareness() {
    dpiAwareness = 0;
}

} // namespace standin::win32

namespace standin {

DPI_AWARENESS_CONTEXT processDpiAwareness() {
    return reinterpret_cast<DPI_AWARENESS_CONTEXT>(dpiAwareness.load());
}

} // namespace standin

extern "C" {

// The process's own module; the stand-in loads no other, so every named module is "not loaded".
HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName) {
    return moduleName ? nullptr : &processModule;
}

// Only the system's arrow cursor exists; a program's own cursor resources do not.
HCURSOR WINAPI LoadCursorW(HINSTANCE instance, LPCWSTR cursorName) {
    if (instance || reinterpret_cast<uintptr_t>(cursorName) != ARROW_CURSOR_ID)
        return nullptr;
    return reinterpret_cast<HCURSOR>(&arrowCursor);
}

// The process already writes to the terminal it was started from, so there is nothing to attach.
BOOL WINAPI AllocConsole(void) {
    return TRUE;
}

// The awareness can be set once per process; later calls fail, as on Windows.
BOOL WINAPI SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT context) {
    standin::traceCall("SetProcessDpiAwarenessContext");
    auto value = reinterpret_cast<intptr_t>(context);
    if (value > -1 || value < -5)
        return FALSE;
    intptr_t unset = 0;
    return dpiAwareness.compare_exchange_strong(unset, value) ? TRUE : FALSE;
}

} // extern "C"
