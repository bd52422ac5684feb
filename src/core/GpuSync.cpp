#include "core/GpuSync.h"

#include "core/Globals.h"
#include "core/Report.h"

// Uploads and frames share the one fence. Uploads run only during start-up and signal 1, 2, 3...; the frame
// slots' fenceValues start at 0 and are moved to uploadFenceValue once the uploads are done
// (continueFenceAfterUploads), so the signalled values form one rising order: a frame wait is never
// satisfied by a value an upload left behind, and no signal moves the fence back.
uint64_t uploadFenceValue = 1;

void waitForUpload() {
    commandQueue->Signal(fence, uploadFenceValue);
    fence->SetEventOnCompletion(uploadFenceValue, fenceEvent);
    WaitForSingleObjectEx(fenceEvent, INFINITE, FALSE);
    ++uploadFenceValue;
}

void waitForGpu() {
    // A failed signal or registration ends the program, so the wait below never waits for nothing.
    CHECK(commandQueue->Signal(fence, fenceValues[frameIndex]));
    CHECK(fence->SetEventOnCompletion(fenceValues[frameIndex], fenceEvent));
    WaitForSingleObjectEx(fenceEvent, INFINITE, FALSE);
    ++fenceValues[frameIndex];
}

void continueFenceAfterUploads() {
    for (uint64_t& value : fenceValues)
        value = uploadFenceValue;
}

void transitionBarrier(D3D12_RESOURCE_BARRIER* barrier, ID3D12Resource* resource,
                       D3D12_RESOURCE_STATES before, D3D12_RESOURCE_STATES after) {
    barrier->Type = D3D12_RESOURCE_BARRIER_TYPE_TRANSITION;
    barrier->Flags = D3D12_RESOURCE_BARRIER_FLAG_NONE;
    barrier->Transition.pResource = resource;
    barrier->Transition.Subresource = D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES;
    barrier->Transition.StateBefore = before;
    barrier->Transition.StateAfter = after;
}

EventHandle::EventHandle() : handle(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

EventHandle::~EventHandle() {
    if (handle)
        CloseHandle(handle);
}

void EventHandle::wait() const {
    WaitForSingleObjectEx(handle, INFINITE, FALSE);
}
