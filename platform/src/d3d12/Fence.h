// Fences: a completed value that the queue worker (or the CPU) raises, with Win32 events set when it reaches
// a registered value.
#pragma once

#include "common/ComObject.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace standin {

class Fence final : public DeviceChild<ID3D12Fence1> {
public:
    Fence(Device* owner, UINT64 initialValue, D3D12_FENCE_FLAGS flags);

    UINT64 STDMETHODCALLTYPE GetCompletedValue() override;
    HRESULT STDMETHODCALLTYPE SetEventOnCompletion(UINT64 value, HANDLE event) override;
    HRESULT STDMETHODCALLTYPE Signal(UINT64 value) override;
    D3D12_FENCE_FLAGS STDMETHODCALLTYPE GetCreationFlags() override { return flags; }

    // Checks that a new signal does not move the fence backwards and remembers it (`who` names the caller).
    void noteSignal(UINT64 value, const char* who);
    // Sets the completed value and wakes whatever waits for it.
    void complete(UINT64 value);
    // Blocks until the completed value reaches `value` (a queue's Wait).
    void waitFor(UINT64 value);

protected:
    void* queryFor(REFIID riid) override;

private:
    D3D12_FENCE_FLAGS flags;
    std::mutex mutex;
    std::condition_variable reached;
    UINT64 completed;
    UINT64 lastSignaled;
    std::vector<std::pair<UINT64, HANDLE>> waiting;
};

Fence* fenceOf(ID3D12Fence* fence);

} // namespace standin
