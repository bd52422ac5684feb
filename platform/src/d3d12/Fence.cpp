// Fences and their events.
#include "d3d12/Fence.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"

namespace standin {

Fence::Fence(Device* owner, UINT64 initialValue, D3D12_FENCE_FLAGS fenceFlags)
    : DeviceChild(owner), flags(fenceFlags), completed(initialValue), lastSignaled(initialValue) {}

void* Fence::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12Fence, ID3D12Fence1>(riid))
        return static_cast<ID3D12Fence1*>(this);
    return nullptr;
}

Fence* fenceOf(ID3D12Fence* fence) {
    return dynamic_cast<Fence*>(fence);
}

UINT64 Fence::GetCompletedValue() {
    std::lock_guard lock(mutex);
    return completed;
}

HRESULT Fence::SetEventOnCompletion(UINT64 value, HANDLE event) {
    if (HRESULT failure = injectedFailure("ID3D12Fence::SetEventOnCompletion"); failure != S_OK)
        return failure;
    std::unique_lock lock(mutex);
    if (completed >= value) {
        lock.unlock();
        if (event)
            SetEvent(event);
        return S_OK;
    }
    if (!event) {
        // A null event makes the call block until the value is reached.
        reached.wait(lock, [&] { return completed >= value; });
        return S_OK;
    }
    waiting.emplace_back(value, event);
    return S_OK;
}

HRESULT Fence::Signal(UINT64 value) {
    if (HRESULT failure = injectedFailure("ID3D12Fence::Signal"); failure != S_OK)
        return failure;
    noteSignal(value, "ID3D12Fence::Signal");
    complete(value);
    return S_OK;
}

void Fence::noteSignal(UINT64 value, const char* who) {
    UINT64 previous;
    {
        std::lock_guard lock(mutex);
        previous = lastSignaled;
        lastSignaled = value;
    }
    if (value < previous) {
        std::string name = debugName.empty() ? "the fence" : "fence '" + debugName + "'";
        reportValidationError(std::string(who) + ": the value " + std::to_string(value) + " moves " + name +
                              " backwards (last signalled value " + std::to_string(previous) + ")");
    }
}

void Fence::complete(UINT64 value) {
    std::vector<HANDLE> due;
    {
        std::lock_guard lock(mutex);
        completed = value;
        for (auto it = waiting.begin(); it != waiting.end();) {
            if (it->first <= completed) {
                due.push_back(it->second);
                it = waiting.erase(it);
            } else {
                ++it;
            }
        }
    }
    reached.notify_all();
    for (HANDLE event : due)
        SetEvent(event);
}

void Fence::waitFor(UINT64 value) {
    std::unique_lock lock(mutex);
    reached.wait(lock, [&] { return completed >= value; });
}

HRESULT Device::CreateFence(UINT64 initialValue, D3D12_FENCE_FLAGS flags, REFIID riid, void** fence) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateFence"); failure != S_OK)
        return failure;
    return handOut(new Fence(this, initialValue, flags), riid, fence);
}

} // namespace standin
