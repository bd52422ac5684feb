// Win32 events, waits and the performance counter.
#include <windows.h>

#include "common/CallTrace.h"
#include "standin/Gpu.h"
#include "standin/WindowSystem.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <unordered_set>

namespace {

struct Event {
    std::mutex mutex;
    std::condition_variable changed;
    bool signaled = false;
    bool manualReset = false;
};

// The events made and not yet closed. A handle that is not listed is never dereferenced, so a call through
// a closed handle cannot touch freed memory. Never destroyed: handles are closed during static destruction
// too.
struct OpenEvents {
    std::mutex mutex;
    std::unordered_set<HANDLE> handles;
};

OpenEvents& openEvents() {
    static OpenEvents* instance = new OpenEvents;
    return *instance;
}

bool isOpen(HANDLE handle) {
    OpenEvents& open = openEvents();
    std::lock_guard lock(open.mutex);
    return open.handles.count(handle) != 0;
}

void reportNotOpen(const char* call) {
    standin::reportValidationError(std::string(call) +
                                   ": the handle is not open (closed already, or not made by CreateEventW)");
}

// The event a handle names, or null for a handle that is null, closed or never made (reported, naming the
// call, unless null).
Event* toEvent(HANDLE handle, const char* call) {
    if (handle && isOpen(handle))
        return static_cast<Event*>(handle);
    if (handle)
        reportNotOpen(call);
    return nullptr;
}

// Runs `change` on the event a handle names while the list's lock is held, so that a close on another
// thread cannot free the event meanwhile; false for a handle that is not open.
template <class Change> bool changeOpenEvent(HANDLE handle, Change change) {
    OpenEvents& open = openEvents();
    std::lock_guard listLock(open.mutex);
    if (!handle || !open.handles.count(handle))
        return false;
    Event* event = static_cast<Event*>(handle);
    {
        std::lock_guard lock(event->mutex);
        change(*event);
    }
    event->changed.notify_all();
    return true;
}

// 100 ns ticks, the resolution Windows reports on current machines.
constexpr int64_t COUNTER_FREQUENCY = 10'000'000;

std::atomic<bool> counterFails{false};

} // namespace

namespace standin {

void setPerformanceCounterFails(bool fails) {
    counterFails = fails;
}

bool eventIsOpen(HANDLE handle) {
    return handle && isOpen(handle);
}

} // namespace standin

extern "C" {

HANDLE WINAPI CreateEventW(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCWSTR) {
    standin::traceCall("CreateEventW");
    Event* event = new Event;
    event->manualReset = manualReset != FALSE;
    event->signaled = initialState != FALSE;
    OpenEvents& open = openEvents();
    std::lock_guard lock(open.mutex);
    open.handles.insert(event);
    return event;
}

// A fence may set an event that the program closed while the fence still waited for a value: on Windows the
// call then fails, unnoticed.
BOOL WINAPI SetEvent(HANDLE handle) {
    return changeOpenEvent(handle, [](Event& event) { event.signaled = true; }) ? TRUE : FALSE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    return changeOpenEvent(handle, [](Event& event) { event.signaled = false; }) ? TRUE : FALSE;
}

// On Windows a wait through a closed handle fails, or waits on whatever object the handle has been reused
// for since.
DWORD WINAPI WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL) {
    Event* event = toEvent(handle, "WaitForSingleObjectEx");
    if (!event)
        return WAIT_FAILED;
    std::unique_lock lock(event->mutex);
    auto isSignaled = [event] { return event->signaled; };
    if (milliseconds == INFINITE)
        event->changed.wait(lock, isSignaled);
    // A time-out counts real time: the emulated clock (standin/Session.h) that the steady clock may follow
    // stands still between presents, so a deadline on it could never pass.
    else if (!event->changed.wait_until(
                 lock, std::chrono::system_clock::now() + std::chrono::milliseconds(milliseconds),
                 isSignaled))
        return WAIT_TIMEOUT;
    if (!event->manualReset)
        event->signaled = false;
    return WAIT_OBJECT_0;
}

DWORD WINAPI WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    return WaitForSingleObjectEx(handle, milliseconds, FALSE);
}

// A second close of the same handle is reported: on Windows it fails, or closes whatever object the handle
// has been reused for since.
BOOL WINAPI CloseHandle(HANDLE handle) {
    if (!handle)
        return FALSE;
    // Looked up and taken off the list in one step, so that two closes racing each other delete it once.
    bool wasOpen = false;
    {
        OpenEvents& open = openEvents();
        std::lock_guard lock(open.mutex);
        wasOpen = open.handles.erase(handle) != 0;
    }
    if (!wasOpen) {
        reportNotOpen("CloseHandle");
        return FALSE;
    }
    delete static_cast<Event*>(handle);
    return TRUE;
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* count) {
    if (counterFails)
        return FALSE;
    auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    count->QuadPart = std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch).count() / 100;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    standin::traceCall("QueryPerformanceFrequency");
    if (counterFails)
        return FALSE;
    frequency->QuadPart = COUNTER_FREQUENCY;
    return TRUE;
}

} // extern "C"
