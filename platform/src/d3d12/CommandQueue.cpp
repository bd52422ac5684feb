// The direct queue and its worker thread.
#include "d3d12/CommandQueue.h"

#include "d3d12/CommandList.h"
#include "d3d12/ConstantWatch.h"
#include "d3d12/Device.h"
#include "d3d12/Fence.h"
#include "d3d12/GpuState.h"

#include <chrono>
#include <set>
#include <thread>

namespace standin {

namespace {

// Never destroyed, so that a queue released during static destruction still finds it.
std::mutex& queuesMutex = *new std::mutex;
std::set<CommandQueue*>& liveQueues = *new std::set<CommandQueue*>;

} // namespace

CommandQueue::CommandQueue(Device* owner, const D3D12_COMMAND_QUEUE_DESC& queueDesc)
    : DeviceChild(owner), desc(queueDesc), worker([this] { run(); }) {
    std::lock_guard lock(queuesMutex);
    liveQueues.insert(this);
}

CommandQueue::~CommandQueue() {
    {
        std::lock_guard lock(queuesMutex);
        liveQueues.erase(this);
    }
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    worker.join();
}

void* CommandQueue::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12CommandQueue>(riid))
        return static_cast<ID3D12CommandQueue*>(this);
    return nullptr;
}

CommandQueue* queueOf(IUnknown* object) {
    return dynamic_cast<CommandQueue*>(object);
}

void CommandQueue::run() {
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return stopping || !pending.empty(); });
        if (pending.empty())
            return; // stopping, with nothing left to do
        std::function<void()> work = std::move(pending.front());
        pending.pop_front();
        busy = true;
        lock.unlock();
        work();
        lock.lock();
        busy = false;
        changed.notify_all();
    }
}

void CommandQueue::enqueue(std::function<void()> work) {
    {
        std::lock_guard lock(mutex);
        pending.push_back(std::move(work));
    }
    changed.notify_all();
}

void CommandQueue::drain() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [this] { return pending.empty() && !busy; });
}

void CommandQueue::ExecuteCommandLists(UINT count, ID3D12CommandList* const* lists) {
    std::vector<std::shared_ptr<const Recording>> recordings;
    for (UINT i = 0; i < count; ++i) {
        CommandList* list = commandListOf(lists[i]);
        auto recording = list ? list->closedRecording() : nullptr;
        if (!recording) {
            reportValidationError("ID3D12CommandQueue::ExecuteCommandLists: command list " +
                                  std::to_string(i) +
                                  (list ? " is still open (call Close before executing it)"
                                        : " is not a command list of this device"));
            continue;
        }
        // The same recorded work may run again, but only once its previous run has finished.
        if (recording->executing->load() > 0)
            reportValidationError("ID3D12CommandQueue::ExecuteCommandLists: command list " +
                                  std::to_string(i) +
                                  " is submitted again while its previous submission is still executing");
        recordings.push_back(recording);
    }
    if (recordings.empty())
        return;
    // Check and commit the state changes in submission order, and log the submission.
    SubmissionContext context;
    {
        std::lock_guard lock(gpuMutex());
        std::vector<RecordedCommand> commands;
        for (const auto& recording : recordings) {
            for (const ReplayStep& step : recording->replay)
                step(context);
            commands.insert(commands.end(), recording->log.begin(), recording->log.end());
        }
        finishSubmission(context);
        watchConstants(commands);
        logSubmission(std::move(commands));
    }
    for (const std::string& error : context.errors)
        reportValidationError(error);
    // Everything the submission uses counts as in use until the worker has run it.
    for (const auto& recording : recordings) {
        recording->allocator->executing.fetch_add(1);
        recording->executing->fetch_add(1);
        recording->listExecuting->fetch_add(1);
        for (const auto& storage : recording->referenced)
            storage->pendingUses.fetch_add(1);
    }
    enqueue([recordings] {
        for (const auto& recording : recordings) {
            if (unsigned delay = gpuDelay())
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            for (const auto& step : recording->work)
                step();
            for (const auto& storage : recording->referenced)
                storage->pendingUses.fetch_sub(1);
            recording->listExecuting->fetch_sub(1);
            recording->executing->fetch_sub(1);
            recording->allocator->executing.fetch_sub(1);
        }
    });
}

HRESULT CommandQueue::Signal(ID3D12Fence* fenceInterface, UINT64 value) {
    if (HRESULT failure = injectedFailure("ID3D12CommandQueue::Signal"); failure != S_OK)
        return failure;
    Fence* fence = fenceOf(fenceInterface);
    if (!fence) {
        reportValidationError("ID3D12CommandQueue::Signal: the fence is missing");
        return E_INVALIDARG;
    }
    fence->noteSignal(value, "ID3D12CommandQueue::Signal");
    fence->AddRef();
    enqueue([fence, value] {
        fence->complete(value);
        fence->Release();
    });
    return S_OK;
}

HRESULT CommandQueue::Wait(ID3D12Fence* fenceInterface, UINT64 value) {
    Fence* fence = fenceOf(fenceInterface);
    if (!fence)
        return E_INVALIDARG;
    fence->AddRef();
    enqueue([fence, value] {
        fence->waitFor(value);
        fence->Release();
    });
    return S_OK;
}

HRESULT CommandQueue::GetTimestampFrequency(UINT64* frequency) {
    if (HRESULT failure = injectedFailure("ID3D12CommandQueue::GetTimestampFrequency"); failure != S_OK)
        return failure;
    if (!frequency)
        return E_INVALIDARG;
    *frequency = TIMESTAMP_FREQUENCY;
    return S_OK;
}

HRESULT CommandQueue::GetClockCalibration(UINT64* gpu, UINT64* cpu) {
    if (!gpu || !cpu)
        return E_INVALIDARG;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    *gpu = gpuTimestamp();
    *cpu = uint64_t(counter.QuadPart);
    return S_OK;
}

void CommandQueue::UpdateTileMappings(ID3D12Resource*, UINT, const D3D12_TILED_RESOURCE_COORDINATE*,
                                      const D3D12_TILE_REGION_SIZE*, ID3D12Heap*, UINT,
                                      const D3D12_TILE_RANGE_FLAGS*, const UINT*, const UINT*,
                                      D3D12_TILE_MAPPING_FLAGS) {
    notImplemented("ID3D12CommandQueue::UpdateTileMappings");
}

void CommandQueue::CopyTileMappings(ID3D12Resource*, const D3D12_TILED_RESOURCE_COORDINATE*, ID3D12Resource*,
                                    const D3D12_TILED_RESOURCE_COORDINATE*, const D3D12_TILE_REGION_SIZE*,
                                    D3D12_TILE_MAPPING_FLAGS) {
    notImplemented("ID3D12CommandQueue::CopyTileMappings");
}

HRESULT Device::CreateCommandQueue(const D3D12_COMMAND_QUEUE_DESC* desc, REFIID riid, void** queue) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateCommandQueue"); failure != S_OK)
        return failure;
    if (!desc || desc->Type != D3D12_COMMAND_LIST_TYPE_DIRECT || desc->NodeMask > 1) {
        reportValidationError("CreateCommandQueue: the stand-in has one direct queue type on one node");
        return E_INVALIDARG;
    }
    return handOut(new CommandQueue(this, *desc), riid, queue);
}

void waitForGpuIdle() {
    std::vector<CommandQueue*> queues;
    {
        std::lock_guard lock(queuesMutex);
        for (CommandQueue* queue : liveQueues) {
            queue->AddRef();
            queues.push_back(queue);
        }
    }
    for (CommandQueue* queue : queues) {
        queue->drain();
        queue->Release();
    }
}

} // namespace standin
