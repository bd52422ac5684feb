// Win32 events, waits and the performance counter.
#include <windows.h>

#include "common/CallTrace.h"
#include "standin/WindowSystem.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct Event {
    std::mutex mutex;
    std::condition_variable changed;
    bool signaled = false;
    bool manualReset = false;
};

Event* toEvent(HANDLE handle) {
    return static_cast<Event*>(handle);
}

// 100 ns ticks, the resolution Windows reports on current machines.
constexpr int64_t COUNTER_FREQUENCY = 10'000'000;

std::atomic<bool> counterFails{false};

} // namespace

namespace standin {

void setPerformanceCounterFails(bool fails) {
    counterFails = fails;
}

} // namespace standin

extern "C" {

HANDLE WINAPI CreateEventW(SECURITY_ATTRIBUTES*, BOOL manualReset, BOOL initialState, LPCWSTR) {
    standin::traceCall("CreateEventW");
    Event* event = new Event;
    event->manualReset = manualReset != FALSE;
    event->signaled = initialState != FALSE;
    return event;
}

BOOL WINAPI SetEvent(HANDLE handle) {
    if (!handle)
        return FALSE;
    Event* event = toEvent(handle);
    {
        std::lock_guard lock(event->mutex);
        event->signaled = true;
    }
    event->changed.notify_all();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    if (!handle)
        return FALSE;
    Event* event = toEvent(handle);
    std::lock_guard lock(event->mutex);
    event->signaled = false;
    return TRUE;
}

DWORD WINAPI WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL) {
    if (!handle)
        return WAIT_FAILED;
    Event* event = toEvent(handle);
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

BOOL WINAPI CloseHandle(HANDLE handle) {
    if (!handle)
        return FALSE;
    delete toEvent(handle);
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
