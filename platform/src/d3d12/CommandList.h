// Command allocators and graphics command lists. A list records three things per command: the log entry tests
// read, the work the queue worker does on host memory, and the state checks replayed at submission.
#pragma once

#include "common/ComObject.h"
#include "d3d12/DescriptorHeap.h"
#include "d3d12/Validation.h"

#include <atomic>
#include <functional>
#include <memory>
#include <set>

namespace standin {

class CommandList;
class RootSignature;
class PipelineState;
class StateObject;

struct AllocatorState {
    std::atomic<int> executing{0}; // submissions of lists recorded on it that the worker has not finished
};

class CommandAllocator final : public DeviceChild<ID3D12CommandAllocator> {
public:
    CommandAllocator(Device* owner, D3D12_COMMAND_LIST_TYPE type);
    ~CommandAllocator() override;
    HRESULT STDMETHODCALLTYPE Reset() override;
    D3D12_COMMAND_LIST_TYPE type;
    std::shared_ptr<AllocatorState> state = std::make_shared<AllocatorState>();
    CommandList* recordingList = nullptr; // the open list recording into it, under gpuMutex

protected:
    void* queryFor(REFIID riid) override;
};

struct Recording {
    std::vector<RecordedCommand> log;
    std::vector<std::function<void()>> work;
    std::vector<ReplayStep> replay;
    std::shared_ptr<AllocatorState> allocator;
    // The resources its commands use, each once: they must outlive every submission of the recording.
    std::vector<std::shared_ptr<ResourceStorage>> referenced;
    // Submissions of this recording, and of any recording of its list, that the GPU has not finished.
    std::shared_ptr<std::atomic<int>> executing = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> listExecuting;
};

// What is bound while recording.
struct Bindings {
    RootSignature* graphicsRootSignature = nullptr;
    RootSignature* computeRootSignature = nullptr;
    PipelineState* pipeline = nullptr;
    StateObject* stateObject = nullptr;
    std::vector<RootArgument> graphicsArguments, computeArguments;
    std::vector<D3D12_CPU_DESCRIPTOR_HANDLE> renderTargets;
    std::vector<Descriptor> renderTargetViews;
    D3D12_CPU_DESCRIPTOR_HANDLE depthStencil{0};
    Descriptor depthStencilView;
    std::vector<std::shared_ptr<HeapStorage>> heaps;
    std::vector<ID3D12DescriptorHeap*> heapObjects;
    D3D12_PRIMITIVE_TOPOLOGY topology = D3D_PRIMITIVE_TOPOLOGY_UNDEFINED;
    std::vector<D3D12_VIEWPORT> viewports;
    std::vector<D3D12_RECT> scissorRects;
    std::vector<D3D12_VERTEX_BUFFER_VIEW> vertexBuffers;
    D3D12_INDEX_BUFFER_VIEW indexBuffer{};
    std::vector<std::pair<const void*, UINT>> activeQueries; // begun and not yet ended, by heap and index
    // Descriptor tables (compute or not, root index) whose heap a later SetDescriptorHeaps unset: they must
    // be set again before a draw or dispatch reads them.
    std::set<std::pair<bool, UINT>> staleTables;
};

class CommandList final : public DeviceChild<ID3D12GraphicsCommandList6> {
public:
    CommandList(Device* owner, D3D12_COMMAND_LIST_TYPE type);
    ~CommandList() override;

    // ID3D12CommandList
    D3D12_COMMAND_LIST_TYPE STDMETHODCALLTYPE GetType() override { return type; }
    // ID3D12GraphicsCommandList
    HRESULT STDMETHODCALLTYPE Close() override;
    HRESULT STDMETHODCALLTYPE Reset(ID3D12CommandAllocator* allocator,
                                    ID3D12PipelineState* initialState) override;
    void STDMETHODCALLTYPE ClearState(ID3D12PipelineState* pipelineState) override;
    void STDMETHODCALLTYPE DrawInstanced(UINT, UINT, UINT, UINT) override;
    void STDMETHODCALLTYPE DrawIndexedInstanced(UINT, UINT, UINT, INT, UINT) override;
    void STDMETHODCALLTYPE Dispatch(UINT, UINT, UINT) override;
    void STDMETHODCALLTYPE CopyBufferRegion(ID3D12Resource*, UINT64, ID3D12Resource*, UINT64,
                                            UINT64) override;
    void STDMETHODCALLTYPE CopyTextureRegion(const D3D12_TEXTURE_COPY_LOCATION*, UINT, UINT, UINT,
                                             const D3D12_TEXTURE_COPY_LOCATION*, const D3D12_BOX*) override;
    void STDMETHODCALLTYPE CopyResource(ID3D12Resource*, ID3D12Resource*) override;
    void STDMETHODCALLTYPE CopyTiles(ID3D12Resource*, const D3D12_TILED_RESOURCE_COORDINATE*,
                                     const D3D12_TILE_REGION_SIZE*, ID3D12Resource*, UINT64,
                                     D3D12_TILE_COPY_FLAGS) override;
    void STDMETHODCALLTYPE ResolveSubresource(ID3D12Resource*, UINT, ID3D12Resource*, UINT,
                                              DXGI_FORMAT) override;
    void STDMETHODCALLTYPE IASetPrimitiveTopology(D3D12_PRIMITIVE_TOPOLOGY) override;
    void STDMETHODCALLTYPE RSSetViewports(UINT, const D3D12_VIEWPORT*) override;
    void STDMETHODCALLTYPE RSSetScissorRects(UINT, const D3D12_RECT*) override;
    void STDMETHODCALLTYPE OMSetBlendFactor(const FLOAT[4]) override;
    void STDMETHODCALLTYPE OMSetStencilRef(UINT) override;
    void STDMETHODCALLTYPE SetPipelineState(ID3D12PipelineState*) override;
    void STDMETHODCALLTYPE ResourceBarrier(UINT, const D3D12_RESOURCE_BARRIER*) override;
    void STDMETHODCALLTYPE ExecuteBundle(ID3D12GraphicsCommandList*) override;
    void STDMETHODCALLTYPE SetDescriptorHeaps(UINT, ID3D12DescriptorHeap* const*) override;
    void STDMETHODCALLTYPE SetComputeRootSignature(ID3D12RootSignature*) override;
    void STDMETHODCALLTYPE SetGraphicsRootSignature(ID3D12RootSignature*) override;
    void STDMETHODCALLTYPE SetComputeRootDescriptorTable(UINT, D3D12_GPU_DESCRIPTOR_HANDLE) override;
    void STDMETHODCALLTYPE SetGraphicsRootDescriptorTable(UINT, D3D12_GPU_DESCRIPTOR_HANDLE) override;
    void STDMETHODCALLTYPE SetComputeRoot32BitConstant(UINT, UINT, UINT) override;
    void STDMETHODCALLTYPE SetGraphicsRoot32BitConstant(UINT, UINT, UINT) override;
    void STDMETHODCALLTYPE SetComputeRoot32BitConstants(UINT, UINT, const void*, UINT) override;
    void STDMETHODCALLTYPE SetGraphicsRoot32BitConstants(UINT, UINT, const void*, UINT) override;
    void STDMETHODCALLTYPE SetComputeRootConstantBufferView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE SetGraphicsRootConstantBufferView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE SetComputeRootShaderResourceView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE SetGraphicsRootShaderResourceView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE SetComputeRootUnorderedAccessView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE SetGraphicsRootUnorderedAccessView(UINT, D3D12_GPU_VIRTUAL_ADDRESS) override;
    void STDMETHODCALLTYPE IASetIndexBuffer(const D3D12_INDEX_BUFFER_VIEW*) override;
    void STDMETHODCALLTYPE IASetVertexBuffers(UINT, UINT, const D3D12_VERTEX_BUFFER_VIEW*) override;
    void STDMETHODCALLTYPE SOSetTargets(UINT, UINT, const D3D12_STREAM_OUTPUT_BUFFER_VIEW*) override;
    void STDMETHODCALLTYPE OMSetRenderTargets(UINT, const D3D12_CPU_DESCRIPTOR_HANDLE*, BOOL,
                                              const D3D12_CPU_DESCRIPTOR_HANDLE*) override;
    void STDMETHODCALLTYPE ClearDepthStencilView(D3D12_CPU_DESCRIPTOR_HANDLE, D3D12_CLEAR_FLAGS, FLOAT, UINT8,
                                                 UINT, const D3D12_RECT*) override;
    void STDMETHODCALLTYPE ClearRenderTargetView(D3D12_CPU_DESCRIPTOR_HANDLE, const FLOAT[4], UINT,
                                                 const D3D12_RECT*) override;
    void STDMETHODCALLTYPE ClearUnorderedAccessViewUint(D3D12_GPU_DESCRIPTOR_HANDLE,
                                                        D3D12_CPU_DESCRIPTOR_HANDLE, ID3D12Resource*,
                                                        const UINT[4], UINT, const D3D12_RECT*) override;
    void STDMETHODCALLTYPE ClearUnorderedAccessViewFloat(D3D12_GPU_DESCRIPTOR_HANDLE,
                                                         D3D12_CPU_DESCRIPTOR_HANDLE, ID3D12Resource*,
                                                         const FLOAT[4], UINT, const D3D12_RECT*) override;
    void STDMETHODCALLTYPE DiscardResource(ID3D12Resource*, const D3D12_DISCARD_REGION*) override;
    void STDMETHODCALLTYPE BeginQuery(ID3D12QueryHeap*, D3D12_QUERY_TYPE, UINT) override;
    void STDMETHODCALLTYPE EndQuery(ID3D12QueryHeap*, D3D12_QUERY_TYPE, UINT) override;
    void STDMETHODCALLTYPE ResolveQueryData(ID3D12QueryHeap*, D3D12_QUERY_TYPE, UINT, UINT, ID3D12Resource*,
                                            UINT64) override;
    void STDMETHODCALLTYPE SetPredication(ID3D12Resource*, UINT64, D3D12_PREDICATION_OP) override;
    void STDMETHODCALLTYPE SetMarker(UINT, const void*, UINT) override {}
    void STDMETHODCALLTYPE BeginEvent(UINT, const void*, UINT) override {}
    void STDMETHODCALLTYPE EndEvent() override {}
    void STDMETHODCALLTYPE ExecuteIndirect(ID3D12CommandSignature*, UINT, ID3D12Resource*, UINT64,
                                           ID3D12Resource*, UINT64) override;
    // ID3D12GraphicsCommandList1
    void STDMETHODCALLTYPE AtomicCopyBufferUINT(ID3D12Resource*, UINT64, ID3D12Resource*, UINT64, UINT,
                                                ID3D12Resource* const*,
                                                const D3D12_SUBRESOURCE_RANGE_UINT64*) override;
    void STDMETHODCALLTYPE AtomicCopyBufferUINT64(ID3D12Resource*, UINT64, ID3D12Resource*, UINT64, UINT,
                                                  ID3D12Resource* const*,
                                                  const D3D12_SUBRESOURCE_RANGE_UINT64*) override;
    void STDMETHODCALLTYPE OMSetDepthBounds(FLOAT, FLOAT) override {}
    void STDMETHODCALLTYPE SetSamplePositions(UINT, UINT, D3D12_SAMPLE_POSITION*) override;
    void STDMETHODCALLTYPE ResolveSubresourceRegion(ID3D12Resource*, UINT, UINT, UINT, ID3D12Resource*, UINT,
                                                    D3D12_RECT*, DXGI_FORMAT, D3D12_RESOLVE_MODE) override;
    void STDMETHODCALLTYPE SetViewInstanceMask(UINT) override {}
    // ID3D12GraphicsCommandList2
    void STDMETHODCALLTYPE WriteBufferImmediate(UINT, const D3D12_WRITEBUFFERIMMEDIATE_PARAMETER*,
                                                const D3D12_WRITEBUFFERIMMEDIATE_MODE*) override;
    // ID3D12GraphicsCommandList3
    void STDMETHODCALLTYPE SetProtectedResourceSession(ID3D12ProtectedResourceSession*) override;
    // ID3D12GraphicsCommandList4
    void STDMETHODCALLTYPE BeginRenderPass(UINT, const D3D12_RENDER_PASS_RENDER_TARGET_DESC*,
                                           const D3D12_RENDER_PASS_DEPTH_STENCIL_DESC*,
                                           D3D12_RENDER_PASS_FLAGS) override;
    void STDMETHODCALLTYPE EndRenderPass() override;
    void STDMETHODCALLTYPE InitializeMetaCommand(ID3D12MetaCommand*, const void*, SIZE_T) override;
    void STDMETHODCALLTYPE ExecuteMetaCommand(ID3D12MetaCommand*, const void*, SIZE_T) override;
    void STDMETHODCALLTYPE BuildRaytracingAccelerationStructure(
        const D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC*, UINT,
        const D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_DESC*) override;
    void STDMETHODCALLTYPE EmitRaytracingAccelerationStructurePostbuildInfo(
        const D3D12_RAYTRACING_ACCELERATION_STRUCTURE_POSTBUILD_INFO_DESC*, UINT,
        const D3D12_GPU_VIRTUAL_ADDRESS*) override;
    void STDMETHODCALLTYPE
        CopyRaytracingAccelerationStructure(D3D12_GPU_VIRTUAL_ADDRESS, D3D12_GPU_VIRTUAL_ADDRESS,
                                            D3D12_RAYTRACING_ACCELERATION_STRUCTURE_COPY_MODE) override;
    void STDMETHODCALLTYPE SetPipelineState1(ID3D12StateObject*) override;
    void STDMETHODCALLTYPE DispatchRays(const D3D12_DISPATCH_RAYS_DESC*) override;
    // ID3D12GraphicsCommandList5
    void STDMETHODCALLTYPE RSSetShadingRate(D3D12_SHADING_RATE, const D3D12_SHADING_RATE_COMBINER*) override;
    void STDMETHODCALLTYPE RSSetShadingRateImage(ID3D12Resource*) override;
    // ID3D12GraphicsCommandList6
    void STDMETHODCALLTYPE DispatchMesh(UINT, UINT, UINT) override;

    // Reset without the injected failures of the public call (CreateCommandList opens the list with it).
    HRESULT open(ID3D12CommandAllocator* allocator, ID3D12PipelineState* initialState);
    // The frozen recording of a closed list, for ExecuteCommandLists; null while the list is open.
    std::shared_ptr<const Recording> closedRecording() const { return closed; }

    // Recording helpers shared by the files that implement the commands.
    bool recording(const char* method);     // reports a call on a closed list
    RecordedCommand& log(CommandKind kind); // appends a log entry
    void work(std::function<void()> step) { current->work.push_back(std::move(step)); }
    void replay(ReplayStep step) { current->replay.push_back(std::move(step)); }
    // Notes that the recording uses a resource, which must then live until its submissions complete.
    void reference(const std::shared_ptr<ResourceStorage>& storage);
    // Records that a command needs a subresource in a state.
    void use(const std::shared_ptr<ResourceStorage>& storage, UINT subresource, D3D12_RESOURCE_STATES needed,
             const std::string& where, bool anyOf = false);
    // A render-target write into a swap chain's back buffer must go to the chain's current buffer when the
    // list is submitted.
    void requireCurrentBackBuffer(const std::shared_ptr<ResourceStorage>& storage, const std::string& where);
    // Checks the descriptor heap and the views of the bound descriptor tables' bounded ranges, whose
    // resources must be in shader-resource or unordered-access states when the work runs.
    void useTables(bool compute, const std::string& where);
    // Checks the buffers behind the bound root constant-buffer, shader-resource and unordered-access views:
    // each must be in a state its view may be used in, and a shader-resource view into an
    // acceleration-structure buffer must name a built top-level structure when the work runs.
    void useRootDescriptors(bool compute, const std::string& where);
    BoundState boundState(bool compute) const;
    void setRootArgument(bool compute, UINT index, RootArgument argument, const char* method,
                         D3D12_ROOT_PARAMETER_TYPE expected);
    void recordDraw(CommandKind kind, const char* method, std::initializer_list<uint32_t> arguments);
    void recordDispatch(CommandKind kind, const char* method, std::initializer_list<uint32_t> arguments);
    // color (null for the integer clear) is written into the view's texture when the work runs.
    void recordUavClear(D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle, D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                        ID3D12Resource* resource, const char* method, const FLOAT* color,
                        std::vector<D3D12_RECT> rects);
    std::shared_ptr<ResourceStorage> clearedView(CommandKind kind, D3D12_CPU_DESCRIPTOR_HANDLE handle,
                                                 const char* method, DescriptorContents* contents);

    Bindings bindings;

protected:
    void* queryFor(REFIID riid) override;

private:
    void resetBindings();

    D3D12_COMMAND_LIST_TYPE type;
    CommandAllocator* allocator = nullptr; // while open, under gpuMutex
    std::shared_ptr<Recording> current;    // while open
    std::shared_ptr<const Recording> closed;
    bool isOpen = false;
    // Submissions of any recording of this list that the GPU has not finished.
    std::shared_ptr<std::atomic<int>> executing = std::make_shared<std::atomic<int>>(0);
};

CommandList* commandListOf(ID3D12CommandList* list);

} // namespace standin
