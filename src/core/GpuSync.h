// Blocking the one thread until the direct queue has finished, object release and transition barriers.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <concepts>
#include <cstdint>

// The fence value that the next upload signals and waits for: 1 for the first upload of the run, then 2, 3...
extern uint64_t uploadFenceValue;

// Signals uploadFenceValue on the queue, waits until the queue reaches it, then moves to the next value.
// Called after the caller has executed its closed upload list; nothing is examined.
void waitForUpload();

// Signals the current frame slot's fence value, waits until the queue has passed it, then raises that slot's
// value by one. Waits for everything submitted before the call.
void waitForGpu();

// Hands the frame slots over to the fence values after the start-up uploads: both slots continue from
// uploadFenceValue, so every frame signal lies above every upload signal. Must be the last step of start-up,
// after every upload (the scene's included).
void continueFenceAfterUploads();

// Releases an object that may be absent. The caller's pointer is left as it was.
template <typename T>
requires std::derived_from<T, IUnknown>
void safeRelease(T* object) {
    if (object)
        object->Release();
}

// Fills a transition barrier for all subresources, with no split or other flags.
void transitionBarrier(D3D12_RESOURCE_BARRIER* barrier, ID3D12Resource* resource,
                       D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after);

// Owns one unnamed auto-reset Win32 event. A failed creation leaves a null handle, which is never closed.
class EventHandle {
public:
    EventHandle();
    ~EventHandle();
    EventHandle(const EventHandle&) = delete;
    EventHandle& operator=(const EventHandle&) = delete;

    HANDLE get() const { return handle; }
    // Waits for the event without time limit.
    void wait() const;

private:
    HANDLE handle;
};
