// Inspection and controls of the stand-in GPU (Direct3D 12 and DXGI), for tests.
//
// What the stand-in records: every ExecuteCommandLists submission as a list of commands in recording order,
// each draw and dispatch with the state bound when it was recorded; the debug layer's findings; resource
// memory (read by GPU virtual address or by resource), the queue-level tracked state of each resource, and
// the views written into descriptor heap slots.
//
// Tracked states follow the platform's implicit promotion and decay rules: a buffer, or a texture promoted
// from COMMON to a read state, is back in COMMON once the submission that used it has completed, whatever
// barriers it recorded. Upload-heap resources stay in GENERIC_READ, readback resources in COPY_DEST.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace standin {

// ---- Validation findings (the debug layer's errors) ----

// Prints "D3D12 ERROR: <text>" on standard error and records the finding.
void reportValidationError(const std::string& text);
size_t validationErrorCount();
std::vector<std::string> validationErrors();
void clearValidationErrors();

// ---- Controls ----

// Makes a named API call fail with `result`: once (the next call after `skip` calls that succeed), or every
// time from then on until clearFailures. Names are the method names ("CreateFence", "CreateSwapChainForHwnd",
// "D3D12CreateDevice", "Present", ...) or qualified with the interface where a name is ambiguous
// ("ID3D12CommandAllocator::Reset", "ID3D12CommandQueue::Signal").
void failCall(const std::string& call, bool always = false, HRESULT result = E_FAIL, unsigned skip = 0);
void clearFailures();
// The next root-signature serialisation refuses its description as the runtime's serialiser refuses an
// invalid one: E_INVALIDARG, with an error blob that says why ("Root signature serialization error: " and
// the reason). resetGpu clears it.
void refuseNextRootSignatureSerialization(const std::string& reason);
// The hardware adapter refuses D3D12CreateDevice (the program must fall back to WARP).
void setHardwareAdapterRefusesDevice(bool refuses);
// EnumAdapters1 lists a software adapter before the hardware adapter.
void setSoftwareAdapterListedFirst(bool listed);
// Makes the queue worker take this long over each submitted command list (a slow GPU), so that tests can see
// whether the CPU waits for the work it reuses memory of. 0 (the default) runs lists at once.
void setGpuDelay(unsigned milliseconds);
// Prebuild sizes that drivers may report and the stand-in's own never are: 0 for every size of a build
// without geometry or instances, and a scratch size of 0 for every build.
struct PrebuildQuirks {
    bool emptyBuildsHaveNoSize = false;
    bool noScratch = false;
};
void setPrebuildQuirks(PrebuildQuirks quirks);
// Clears findings, the command log and every control. Objects the test still holds stay valid.
void resetGpu();
// Blocks until every queue has executed everything submitted to it.
void waitForGpuIdle();
// The COM objects (devices, resources, heaps, lists, swap chains, blobs, the shader compiler's...) not yet
// released, for tests of object lifetimes; standin/Objects.h lists them.
size_t liveObjectCount();

// The window and flags of the last MakeWindowAssociation call.
struct WindowAssociation {
    HWND window = nullptr;
    UINT flags = 0;
};
WindowAssociation windowAssociation();

// ---- Memory and resources ----

// Copies `size` bytes at a GPU virtual address; false when the range is not inside one live buffer.
bool readGpuMemory(D3D12_GPU_VIRTUAL_ADDRESS address, void* destination, size_t size);
// The whole memory of a buffer, or the tightly packed rows (row after row, slice after slice) of one
// subresource of a texture.
std::vector<uint8_t> readResource(ID3D12Resource* resource, UINT subresource = 0);
// The queue-level state of a subresource after everything submitted so far.
D3D12_RESOURCE_STATES resourceState(ID3D12Resource* resource, UINT subresource = 0);
std::string resourceName(ID3D12Resource* resource);

// ---- Descriptors ----

enum class DescriptorKind {
    Empty,
    ConstantBufferView,
    ShaderResourceView,
    UnorderedAccessView,
    RenderTargetView,
    DepthStencilView,
    Sampler
};

struct DescriptorContents {
    bool valid = false; // false when the handle is outside every live heap
    DescriptorKind kind = DescriptorKind::Empty;
    bool hasDesc = false; // false when the view was made with a null description (defaults from the resource)
    D3D12_CONSTANT_BUFFER_VIEW_DESC constantBufferView{};
    D3D12_SHADER_RESOURCE_VIEW_DESC shaderResourceView{};
    D3D12_UNORDERED_ACCESS_VIEW_DESC unorderedAccessView{};
    D3D12_RENDER_TARGET_VIEW_DESC renderTargetView{};
    D3D12_DEPTH_STENCIL_VIEW_DESC depthStencilView{};
    D3D12_SAMPLER_DESC sampler{};
    ID3D12Resource* resource = nullptr; // as passed when the view was written (identity only)
    ID3D12Resource* counterResource = nullptr;
    std::string resourceName;
    bool resourceAlive = false;
};

DescriptorContents descriptorAt(D3D12_CPU_DESCRIPTOR_HANDLE handle);
DescriptorContents descriptorAt(D3D12_GPU_DESCRIPTOR_HANDLE handle);
DescriptorContents descriptorAt(ID3D12DescriptorHeap* heap, UINT slot);

// ---- Root signatures, pipelines, acceleration structures, shader identifiers ----

struct RootParameterInfo {
    D3D12_ROOT_PARAMETER_TYPE type{};
    D3D12_SHADER_VISIBILITY visibility{};
    UINT shaderRegister = 0, registerSpace = 0; // root descriptors and constants
    UINT num32BitValues = 0;                    // constants
    D3D12_ROOT_DESCRIPTOR_FLAGS descriptorFlags{};
    std::vector<D3D12_DESCRIPTOR_RANGE1> ranges; // tables
};

struct RootSignatureInfo {
    bool valid = false;
    D3D_ROOT_SIGNATURE_VERSION version{};
    D3D12_ROOT_SIGNATURE_FLAGS flags{};
    std::vector<RootParameterInfo> parameters;
    std::vector<D3D12_STATIC_SAMPLER_DESC> staticSamplers;
};

RootSignatureInfo describeRootSignature(ID3D12RootSignature* rootSignature);

enum class PipelineKind { Graphics, Mesh, Compute };

struct InputElementInfo {
    std::string semanticName;
    UINT semanticIndex = 0;
    DXGI_FORMAT format{};
    UINT inputSlot = 0, alignedByteOffset = 0;
    D3D12_INPUT_CLASSIFICATION inputSlotClass{};
    UINT instanceDataStepRate = 0;
};

struct PipelineInfo {
    bool valid = false;
    PipelineKind kind = PipelineKind::Graphics;
    bool fromStream = false;
    std::vector<D3D12_PIPELINE_STATE_SUBOBJECT_TYPE> streamSubobjects; // in stream order
    ID3D12RootSignature* rootSignature = nullptr;
    std::vector<uint8_t> vs, ps, as, ms, cs, ds, hs, gs; // bytecode as given
    D3D12_BLEND_DESC blend{};
    UINT sampleMask = 0;
    D3D12_RASTERIZER_DESC rasterizer{};
    D3D12_DEPTH_STENCIL_DESC1 depthStencil{};
    std::vector<InputElementInfo> inputLayout;
    D3D12_INDEX_BUFFER_STRIP_CUT_VALUE stripCutValue{};
    D3D12_PRIMITIVE_TOPOLOGY_TYPE topologyType{};
    UINT numRenderTargets = 0;
    DXGI_FORMAT rtvFormats[8]{};
    DXGI_FORMAT dsvFormat{};
    DXGI_SAMPLE_DESC sampleDesc{};
    UINT nodeMask = 0;
    D3D12_PIPELINE_STATE_FLAGS flags{};
    D3D12_VIEW_INSTANCING_FLAGS viewInstancingFlags{};
    UINT viewInstanceCount = 0;
};

PipelineInfo describePipeline(ID3D12PipelineState* pipeline);

struct AccelerationStructureInfo {
    D3D12_RAYTRACING_ACCELERATION_STRUCTURE_TYPE type{};
    UINT geometryCount = 0;                                // bottom level
    UINT triangleCount = 0;                                // bottom level, over all geometries
    std::vector<D3D12_RAYTRACING_INSTANCE_DESC> instances; // top level, as read at the build
};

// The structure built at this address (its start), if any.
bool describeAccelerationStructure(D3D12_GPU_VIRTUAL_ADDRESS address, AccelerationStructureInfo* info);

// The export a 32-byte shader identifier names ("" for an unknown or zero identifier).
std::string shaderIdentifierExport(const void* identifier);

struct StateObjectInfo {
    bool valid = false;
    D3D12_STATE_OBJECT_TYPE type{};
    std::vector<D3D12_STATE_SUBOBJECT_TYPE> subobjects; // in the description's order
    UINT listedExports = 0;           // exports named in the libraries' export lists (0: every export)
    std::vector<std::string> exports; // every export with an identifier, in name order
    ID3D12RootSignature* globalRootSignature = nullptr;
    UINT maxPayloadSize = 0, maxAttributeSize = 0, maxRecursionDepth = 0;
};

StateObjectInfo describeStateObject(ID3D12StateObject* stateObject);

// ---- Command logs ----

enum class CommandKind {
    ResourceBarrier,
    CopyBufferRegion,
    CopyTextureRegion,
    CopyResource,
    ClearRenderTargetView,
    ClearDepthStencilView,
    ClearUnorderedAccessView,
    DrawInstanced,
    DrawIndexedInstanced,
    Dispatch,
    DispatchMesh,
    DispatchRays,
    BeginQuery,
    EndQuery,
    ResolveQueryData,
    BuildRaytracingAccelerationStructure,
    SetPipelineState,
    SetPipelineState1,
    SetGraphicsRootSignature,
    SetComputeRootSignature,
    SetRootArgument, // any root CBV/SRV/UAV, table or constants call; see rootIndex and compute
    SetDescriptorHeaps,
    OMSetRenderTargets,
    RSSetViewports,
    RSSetScissorRects,
    IASetPrimitiveTopology,
    IASetVertexBuffers,
    IASetIndexBuffer,
    // The debug panel's draw (ImGui_ImplDX12_RenderDrawData of the stand-in back end): the bound state, and
    // as arguments the draw lists, draw commands, vertices and indices.
    UiDraw,
    Other,
};

const char* commandKindName(CommandKind kind);

enum class RootArgumentKind {
    Unset,
    ConstantBufferView,
    ShaderResourceView,
    UnorderedAccessView,
    DescriptorTable,
    Constants
};

struct RootArgument {
    RootArgumentKind kind = RootArgumentKind::Unset;
    uint64_t address = 0;            // GPU virtual address, or the table's GPU descriptor handle
    std::vector<uint32_t> constants; // the parameter's 32-bit values as set so far
};

struct BoundState {
    ID3D12RootSignature* rootSignature = nullptr; // graphics for draws, compute for dispatches
    ID3D12PipelineState* pipeline = nullptr;
    ID3D12StateObject* stateObject = nullptr;
    std::vector<RootArgument> rootArguments; // by root parameter index
    std::vector<D3D12_CPU_DESCRIPTOR_HANDLE> renderTargets;
    std::vector<std::string> renderTargetNames;  // names of the resources the render-target views refer to
    D3D12_CPU_DESCRIPTOR_HANDLE depthStencil{0}; // 0 when none
    std::string depthStencilName;
    std::vector<ID3D12DescriptorHeap*> descriptorHeaps;
    D3D12_PRIMITIVE_TOPOLOGY topology{};
    std::vector<D3D12_VIEWPORT> viewports;
    std::vector<D3D12_RECT> scissorRects;
    std::vector<D3D12_VERTEX_BUFFER_VIEW> vertexBuffers;
    D3D12_INDEX_BUFFER_VIEW indexBuffer{};
};

struct BarrierRecord {
    D3D12_RESOURCE_BARRIER barrier{};
    std::string resourceName; // of Transition.pResource or UAV.pResource
};

struct RecordedCommand {
    CommandKind kind = CommandKind::Other;
    // Draw and dispatch arguments in the call's order (vertex count, instance count, start vertex, start
    // instance; or the three group counts; DispatchRays: width, height, depth).
    uint32_t arguments[5]{};
    BoundState state; // draws, dispatches, DispatchMesh, DispatchRays
    std::vector<BarrierRecord> barriers;
    // Copies, clears, resolves, builds: the resources involved.
    ID3D12Resource* destination = nullptr;
    ID3D12Resource* source = nullptr;
    std::string destinationName, sourceName;
    uint64_t destinationOffset = 0, sourceOffset = 0, byteCount = 0;
    UINT destinationSubresource = 0, sourceSubresource = 0;
    // Clears.
    D3D12_CPU_DESCRIPTOR_HANDLE view{0};
    float color[4]{};
    D3D12_CLEAR_FLAGS clearFlags{};
    float depth = 0;
    uint8_t stencil = 0;
    // Queries.
    ID3D12QueryHeap* queryHeap = nullptr;
    D3D12_QUERY_TYPE queryType{};
    UINT queryIndex = 0, queryCount = 0;
    // Acceleration-structure builds: the description, with the geometry descriptions copied.
    D3D12_BUILD_RAYTRACING_ACCELERATION_STRUCTURE_DESC build{};
    std::vector<D3D12_RAYTRACING_GEOMETRY_DESC> geometries;
    // DispatchRays.
    D3D12_DISPATCH_RAYS_DESC rays{};
    // State-setting commands: the object set, the root parameter index, whether it was a compute call.
    ID3D12PipelineState* pipeline = nullptr;
    ID3D12StateObject* stateObject = nullptr;
    ID3D12RootSignature* rootSignature = nullptr;
    UINT rootIndex = 0;
    bool compute = false;
    RootArgument rootArgument;
};

struct Submission {
    uint64_t index = 0;                    // counts every submission since the start of the process
    std::vector<RecordedCommand> commands; // the lists of one ExecuteCommandLists call, in order
};

// The submissions since the start or the last clear (the most recent 600 at most), oldest first.
std::vector<Submission> submissions();
void clearSubmissions();

} // namespace standin
