// Command allocators and the life cycle of command lists: Reset and Close discipline, barriers, and the
// recording helpers the command files share.
#include "d3d12/CommandList.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"
#include "d3d12/PipelineState.h"

#include <algorithm>

namespace standin {

CommandAllocator::CommandAllocator(Device* owner, D3D12_COMMAND_LIST_TYPE listType)
    : DeviceChild(owner), type(listType) {}

CommandAllocator::~CommandAllocator() {
    if (state->executing.load() > 0)
        reportValidationError(
            "ID3D12CommandAllocator::Release: the allocator is destroyed while command lists recorded "
            "with it are still executing on the GPU");
}

void* CommandAllocator::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12CommandAllocator>(riid))
        return static_cast<ID3D12CommandAllocator*>(this);
    return nullptr;
}

HRESULT CommandAllocator::Reset() {
    if (HRESULT failure = injectedFailure("ID3D12CommandAllocator::Reset"); failure != S_OK)
        return failure;
    bool recordingNow;
    {
        std::lock_guard lock(gpuMutex());
        recordingNow = recordingList != nullptr;
    }
    if (recordingNow) {
        reportValidationError(
            "ID3D12CommandAllocator::Reset: a command list is still recording into the allocator");
        return E_FAIL;
    }
    if (state->executing.load() > 0)
        reportValidationError(
            "ID3D12CommandAllocator::Reset: command lists recorded with the allocator are still "
            "executing on the GPU");
    return S_OK;
}

CommandList::CommandList(Device* owner, D3D12_COMMAND_LIST_TYPE listType)
    : DeviceChild(owner), type(listType) {}

CommandList::~CommandList() {
    if (executing->load() > 0)
        reportValidationError(
            "ID3D12GraphicsCommandList::Release: the command list is destroyed while a submission of it is "
            "still executing on the GPU");
    if (isOpen && allocator) {
        {
            std::lock_guard lock(gpuMutex());
            allocator->recordingList = nullptr;
        }
        allocator->Release();
    }
}

void* CommandList::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12CommandList, ID3D12GraphicsCommandList,
                ID3D12GraphicsCommandList1, ID3D12GraphicsCommandList2, ID3D12GraphicsCommandList3,
                ID3D12GraphicsCommandList4, ID3D12GraphicsCommandList5, ID3D12GraphicsCommandList6>(riid))
        return static_cast<ID3D12GraphicsCommandList6*>(this);
    return nullptr;
}

CommandList* commandListOf(ID3D12CommandList* list) {
    return dynamic_cast<CommandList*>(list);
}

HRESULT CommandList::Close() {
    if (HRESULT failure = injectedFailure("ID3D12GraphicsCommandList::Close"); failure != S_OK)
        return failure;
    if (!isOpen) {
        reportValidationError("ID3D12GraphicsCommandList::Close: the command list is already closed");
        return E_FAIL;
    }
    if (!bindings.activeQueries.empty())
        reportValidationError(
            "ID3D12GraphicsCommandList::Close: " + std::to_string(bindings.activeQueries.size()) +
            " queries were begun and not ended");
    closed = current;
    current.reset();
    isOpen = false;
    {
        std::lock_guard lock(gpuMutex());
        allocator->recordingList = nullptr;
    }
    allocator->Release();
    allocator = nullptr;
    return S_OK;
}

HRESULT CommandList::Reset(ID3D12CommandAllocator* allocatorInterface, ID3D12PipelineState* initialState) {
    if (HRESULT failure = injectedFailure("ID3D12GraphicsCommandList::Reset"); failure != S_OK)
        return failure;
    return open(allocatorInterface, initialState);
}

HRESULT CommandList::open(ID3D12CommandAllocator* allocatorInterface, ID3D12PipelineState* initialState) {
    auto* newAllocator = dynamic_cast<CommandAllocator*>(allocatorInterface);
    if (isOpen) {
        reportValidationError(
            "ID3D12GraphicsCommandList::Reset: the command list is still recording; close it "
            "before resetting it");
        return E_FAIL;
    }
    if (!newAllocator || newAllocator->type != type) {
        reportValidationError(
            "ID3D12GraphicsCommandList::Reset: the allocator is missing or of another type");
        return E_INVALIDARG;
    }
    {
        std::unique_lock lock(gpuMutex());
        if (newAllocator->recordingList) {
            lock.unlock();
            reportValidationError(
                "ID3D12GraphicsCommandList::Reset: the allocator is in use by another command "
                "list that is still recording");
            return E_INVALIDARG;
        }
        newAllocator->recordingList = this;
    }
    newAllocator->AddRef();
    allocator = newAllocator;
    closed.reset();
    current = std::make_shared<Recording>();
    current->allocator = newAllocator->state;
    current->listExecuting = executing;
    isOpen = true;
    resetBindings();
    bindings.pipeline = pipelineStateOf(initialState);
    return S_OK;
}

void CommandList::resetBindings() {
    bindings = Bindings{};
}

void CommandList::ClearState(ID3D12PipelineState* pipelineState) {
    if (!recording("ClearState"))
        return;
    resetBindings();
    bindings.pipeline = pipelineStateOf(pipelineState);
}

bool CommandList::recording(const char* method) {
    if (isOpen)
        return true;
    reportValidationError(std::string("ID3D12GraphicsCommandList::") + method +
                          ": the command list is closed; record commands between Reset and Close");
    return false;
}

RecordedCommand& CommandList::log(CommandKind kind) {
    current->log.emplace_back();
    current->log.back().kind = kind;
    return current->log.back();
}

void CommandList::reference(const std::shared_ptr<ResourceStorage>& storage) {
    if (!storage)
        return;
    auto& referenced = current->referenced;
    if (std::find(referenced.begin(), referenced.end(), storage) == referenced.end())
        referenced.push_back(storage);
}

void CommandList::use(const std::shared_ptr<ResourceStorage>& storage, UINT subresource,
                      D3D12_RESOURCE_STATES needed, const std::string& where, bool anyOf) {
    reference(storage);
    replay([storage, subresource, needed, where, anyOf](SubmissionContext& context) {
        replayUse(context, storage, subresource, needed, where, anyOf);
    });
}

void CommandList::ResourceBarrier(UINT count, const D3D12_RESOURCE_BARRIER* barriers) {
    if (!recording("ResourceBarrier"))
        return;
    RecordedCommand entry;
    entry.kind = CommandKind::ResourceBarrier;
    for (UINT i = 0; i < count; ++i) {
        const D3D12_RESOURCE_BARRIER& barrier = barriers[i];
        BarrierRecord record{barrier, ""};
        ID3D12Resource* resource = barrier.Type == D3D12_RESOURCE_BARRIER_TYPE_TRANSITION
                                       ? barrier.Transition.pResource
                                   : barrier.Type == D3D12_RESOURCE_BARRIER_TYPE_UAV ? barrier.UAV.pResource
                                                                                     : nullptr;
        auto storage = storageOf(resource);
        if (storage) {
            std::lock_guard lock(gpuMutex());
            record.resourceName = storage->name;
        }
        entry.barriers.push_back(record);
        reference(storage);
        if (barrier.Type != D3D12_RESOURCE_BARRIER_TYPE_TRANSITION)
            continue;
        if (!storage) {
            reportValidationError("ResourceBarrier: a transition barrier names no resource of this device");
            continue;
        }
        UINT subresource = barrier.Transition.Subresource;
        D3D12_RESOURCE_STATES before = barrier.Transition.StateBefore, after = barrier.Transition.StateAfter;
        for (D3D12_RESOURCE_STATES state : {before, after})
            if (std::string problem = statesProblem(storage->desc, state); !problem.empty())
                reportValidationError("ResourceBarrier: the state " + problem);
        // An acceleration structure's buffer is made in its state and keeps it for its life.
        if ((before | after) & D3D12_RESOURCE_STATE_RAYTRACING_ACCELERATION_STRUCTURE)
            reportValidationError("ResourceBarrier: a buffer cannot be transitioned into or out of "
                                  "RAYTRACING_ACCELERATION_STRUCTURE");
        // A split barrier changes the state at its end.
        if (barrier.Flags & D3D12_RESOURCE_BARRIER_FLAG_BEGIN_ONLY)
            continue;
        replay([storage, subresource, before, after](SubmissionContext& context) {
            replayTransition(context, storage, subresource, before, after, "ResourceBarrier");
        });
    }
    current->log.push_back(std::move(entry));
}

// Calls the program does not make.
void CommandList::CopyTiles(ID3D12Resource*, const D3D12_TILED_RESOURCE_COORDINATE*,
                            const D3D12_TILE_REGION_SIZE*, ID3D12Resource*, UINT64, D3D12_TILE_COPY_FLAGS) {
    notImplemented("ID3D12GraphicsCommandList::CopyTiles");
}
void CommandList::ResolveSubresource(ID3D12Resource*, UINT, ID3D12Resource*, UINT, DXGI_FORMAT) {
    notImplemented("ID3D12GraphicsCommandList::ResolveSubresource");
}
void CommandList::ExecuteBundle(ID3D12GraphicsCommandList*) {
    notImplemented("ID3D12GraphicsCommandList::ExecuteBundle");
}
void CommandList::SOSetTargets(UINT, UINT, const D3D12_STREAM_OUTPUT_BUFFER_VIEW*) {
    notImplemented("ID3D12GraphicsCommandList::SOSetTargets");
}
void CommandList::DiscardResource(ID3D12Resource*, const D3D12_DISCARD_REGION*) {
    notImplemented("ID3D12GraphicsCommandList::DiscardResource");
}
void CommandList::SetPredication(ID3D12Resource*, UINT64, D3D12_PREDICATION_OP) {
    notImplemented("ID3D12GraphicsCommandList::SetPredication");
}
void CommandList::ExecuteIndirect(ID3D12CommandSignature*, UINT, ID3D12Resource*, UINT64, ID3D12Resource*,
                                  UINT64) {
    notImplemented("ID3D12GraphicsCommandList::ExecuteIndirect");
}
void CommandList::AtomicCopyBufferUINT(ID3D12Resource*, UINT64, ID3D12Resource*, UINT64, UINT,
                                       ID3D12Resource* const*, const D3D12_SUBRESOURCE_RANGE_UINT64*) {
    notImplemented("ID3D12GraphicsCommandList1::AtomicCopyBufferUINT");
}
void CommandList::AtomicCopyBufferUINT64(ID3D12Resource*, UINT64, ID3D12Resource*, UINT64, UINT,
                                         ID3D12Resource* const*, const D3D12_SUBRESOURCE_RANGE_UINT64*) {
    notImplemented("ID3D12GraphicsCommandList1::AtomicCopyBufferUINT64");
}
void CommandList::SetSamplePositions(UINT, UINT, D3D12_SAMPLE_POSITION*) {
    notImplemented("ID3D12GraphicsCommandList1::SetSamplePositions");
}
void CommandList::ResolveSubresourceRegion(ID3D12Resource*, UINT, UINT, UINT, ID3D12Resource*, UINT,
                                           D3D12_RECT*, DXGI_FORMAT, D3D12_RESOLVE_MODE) {
    notImplemented("ID3D12GraphicsCommandList1::ResolveSubresourceRegion");
}
void CommandList::WriteBufferImmediate(UINT, const D3D12_WRITEBUFFERIMMEDIATE_PARAMETER*,
                                       const D3D12_WRITEBUFFERIMMEDIATE_MODE*) {
    notImplemented("ID3D12GraphicsCommandList2::WriteBufferImmediate");
}
void CommandList::SetProtectedResourceSession(ID3D12ProtectedResourceSession*) {
    notImplemented("ID3D12GraphicsCommandList3::SetProtectedResourceSession");
}
void CommandList::BeginRenderPass(UINT, const D3D12_RENDER_PASS_RENDER_TARGET_DESC*,
                                  const D3D12_RENDER_PASS_DEPTH_STENCIL_DESC*, D3D12_RENDER_PASS_FLAGS) {
    notImplemented("ID3D12GraphicsCommandList4::BeginRenderPass");
}
void CommandList::EndRenderPass() {
    notImplemented("ID3D12GraphicsCommandList4::EndRenderPass");
}
void CommandList::InitializeMetaCommand(ID3D12MetaCommand*, const void*, SIZE_T) {
    notImplemented("ID3D12GraphicsCommandList4::InitializeMetaCommand");
}
void CommandList::ExecuteMetaCommand(ID3D12MetaCommand*, const void*, SIZE_T) {
    notImplemented("ID3D12GraphicsCommandList4::ExecuteMetaCommand");
}
void CommandList::EmitRaytracingAccelerationStructurePostbuildInfo(
    const D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_DESC*, UINT,
    const D3D12_GPU_VIRTUAL_ADDRESS*) {
    notImplemented("ID3D12GraphicsCommandList4::EmitRaytracingAccelerationStructurePostbuildInfo");
}
void CommandList::CopyRaytracingAccelerationStructure(D3D12_GPU_VIRTUAL_ADDRESS, D3D12_GPU_VIRTUAL_ADDRESS,
                                                      D3D12_RAYTRACING_ACCELERATION_STRUCTURE_COPY_MODE) {
    notImplemented("ID3D12GraphicsCommandList4::CopyRaytracingAccelerationStructure");
}
void CommandList::RSSetShadingRate(D3D12_SHADING_RATE, const D3D12_SHADING_RATE_COMBINER*) {
    notImplemented("ID3D12GraphicsCommandList5::RSSetShadingRate");
}
void CommandList::RSSetShadingRateImage(ID3D12Resource*) {
    notImplemented("ID3D12GraphicsCommandList5::RSSetShadingRateImage");
}

// Allocators and lists made by the device.
HRESULT Device::CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE type, REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateCommandAllocator"); failure != S_OK)
        return failure;
    if (type != D3D12_COMMAND_LIST_TYPE_DIRECT) {
        reportValidationError("CreateCommandAllocator: the stand-in has direct command lists only");
        return E_INVALIDARG;
    }
    return handOut(new CommandAllocator(this, type), riid, out);
}

HRESULT Device::CreateCommandList(UINT nodeMask, D3D12_COMMAND_LIST_TYPE type,
                                  ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState,
                                  REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateCommandList"); failure != S_OK)
        return failure;
    if (nodeMask > 1 || type != D3D12_COMMAND_LIST_TYPE_DIRECT) {
        reportValidationError("CreateCommandList: the stand-in has one node and direct command lists only");
        return E_INVALIDARG;
    }
    auto* list = new CommandList(this, type);
    HRESULT result = list->open(allocator, initialState);
    if (FAILED(result)) {
        list->Release();
        return result;
    }
    return handOut(list, riid, out);
}

HRESULT Device::CreateCommandList1(UINT nodeMask, D3D12_COMMAND_LIST_TYPE type, D3D12_COMMAND_LIST_FLAGS,
                                   REFIID riid, void** out) {
    if (HRESULT failure = injectedFailure("ID3D12Device4::CreateCommandList1"); failure != S_OK)
        return failure;
    if (nodeMask > 1 || type != D3D12_COMMAND_LIST_TYPE_DIRECT)
        return E_INVALIDARG;
    return handOut(new CommandList(this, type), riid, out); // made closed
}

} // namespace standin
