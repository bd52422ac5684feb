// The direct queue: submissions are checked and logged when ExecuteCommandLists is called (in submission
// order, as the debug layer tracks queue-level state) and executed in order on the queue's worker thread.
#pragma once

#include "common/ComObject.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace standin {

class CommandQueue final : public DeviceChild<ID3D12CommandQueue> {
public:
    CommandQueue(Device* owner, const D3D12_COMMAND_QUEUE_DESC& desc);
    ~CommandQueue() override;

    void STDMETHODCALLTYPE UpdateTileMappings(ID3D12Resource*, UINT, const D3D12_TILED_RESOURCE_COORDINATE*,
                                              const D3D12_TILE_REGION_SIZE*, ID3D12Heap*, UINT,
                                              const D3D12_TILE_RANGE_FLAGS*, const UINT*, const UINT*,
                                              D3D12_TILE_MAPPING_FLAGS) override;
    void STDMETHODCALLTYPE CopyTileMappings(ID3D12Resource*, const D3D12_TILED_RESOURCE_COORDINATE*,
                                            ID3D12Resource*, const D3D12_TILED_RESOURCE_COORDINATE*,
                                            const D3D12_TILE_REGION_SIZE*, D3D12_TILE_MAPPING_FLAGS) override;
    void STDMETHODCALLTYPE ExecuteCommandLists(UINT count, ID3D12CommandList* const* lists) override;
    void STDMETHODCALLTYPE SetMarker(UINT, const void*, UINT) override {}
    void STDMETHODCALLTYPE BeginEvent(UINT, const void*, UINT) override {}
    void STDMETHODCALLTYPE EndEvent() override {}
    HRESULT STDMETHODCALLTYPE Signal(ID3D12Fence* fence, UINT64 value) override;
    HRESULT STDMETHODCALLTYPE Wait(ID3D12Fence* fence, UINT64 value) override;
    HRESULT STDMETHODCALLTYPE GetTimestampFrequency(UINT64* frequency) override;
    HRESULT STDMETHODCALLTYPE GetClockCalibration(UINT64* gpuTimestamp, UINT64* cpuTimestamp) override;
    D3D12_COMMAND_QUEUE_DESC STDMETHODCALLTYPE GetDesc() override { return desc; }

    // Runs `work` on the worker after everything enqueued before it.
    void enqueue(std::function<void()> work);
    // Blocks until the worker has run everything enqueued so far.
    void drain();

protected:
    void* queryFor(REFIID riid) override;

private:
    void run();

    D3D12_COMMAND_QUEUE_DESC desc;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> pending;
    bool stopping = false;
    bool busy = false;
    std::thread worker;
};

CommandQueue* queueOf(IUnknown* object);

} // namespace standin
