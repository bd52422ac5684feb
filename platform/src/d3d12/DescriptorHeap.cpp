// Descriptor heaps and the device methods that write views into them.
#include "d3d12/DescriptorHeap.h"

#include "d3d12/Device.h"
#include "d3d12/Formats.h"
#include "d3d12/GpuState.h"
#include "d3d12/TextureViews.h"

namespace standin {

uint32_t descriptorIncrement(D3D12_DESCRIPTOR_HEAP_TYPE type) {
    switch (type) {
    case D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV:
        return 32;
    case D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER:
        return 32;
    case D3D12_DESCRIPTOR_HEAP_TYPE_RTV:
        return 32;
    case D3D12_DESCRIPTOR_HEAP_TYPE_DSV:
        return 8;
    default:
        return 0;
    }
}

const char* heapTypeName(D3D12_DESCRIPTOR_HEAP_TYPE type) {
    switch (type) {
    case D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV:
        return "CBV_SRV_UAV";
    case D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER:
        return "SAMPLER";
    case D3D12_DESCRIPTOR_HEAP_TYPE_RTV:
        return "RTV";
    case D3D12_DESCRIPTOR_HEAP_TYPE_DSV:
        return "DSV";
    default:
        return "unknown";
    }
}

DescriptorHeap::DescriptorHeap(Device* owner, std::shared_ptr<HeapStorage> heap)
    : DeviceChild(owner), storage(std::move(heap)) {
    std::lock_guard lock(gpuMutex());
    storage->object = this;
    registerHeap(storage);
}

DescriptorHeap::~DescriptorHeap() {
    std::lock_guard lock(gpuMutex());
    unregisterHeap(storage.get());
    storage->object = nullptr;
}

void* DescriptorHeap::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12DescriptorHeap>(riid))
        return static_cast<ID3D12DescriptorHeap*>(this);
    return nullptr;
}

std::shared_ptr<HeapStorage> heapStorageOf(ID3D12DescriptorHeap* heap) {
    auto* ours = dynamic_cast<DescriptorHeap*>(heap);
    return ours ? ours->storage : nullptr;
}

Descriptor* cpuDescriptor(SIZE_T handle, D3D12_DESCRIPTOR_HEAP_TYPE type, std::string* problem) {
    uint32_t slot = 0;
    auto heap = findHeapByCpuHandle(handle, &slot);
    if (!heap || heap->desc.Type != type) {
        *problem = "the CPU descriptor handle " + std::to_string(handle) + " is outside every live " +
                   heapTypeName(type) + " descriptor heap";
        return nullptr;
    }
    return &heap->slots[slot];
}

DescriptorContents readDescriptor(const Descriptor& descriptor) {
    DescriptorContents contents = descriptor.contents;
    contents.valid = true;
    if (auto storage = descriptor.storage.lock()) {
        contents.resourceAlive = storage->object != nullptr;
        contents.resourceName = storage->name;
    }
    return contents;
}

HRESULT Device::CreateDescriptorHeap(const D3D12_DESCRIPTOR_HEAP_DESC* desc, REFIID riid, void** heap) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateDescriptorHeap"); failure != S_OK)
        return failure;
    if (!desc || descriptorIncrement(desc->Type) == 0 || desc->NumDescriptors == 0) {
        reportValidationError(
            "CreateDescriptorHeap: the description is missing, of an unknown type or empty");
        return E_INVALIDARG;
    }
    bool visible = desc->Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE;
    if (visible &&
        (desc->Type == D3D12_DESCRIPTOR_HEAP_TYPE_RTV || desc->Type == D3D12_DESCRIPTOR_HEAP_TYPE_DSV)) {
        reportValidationError("CreateDescriptorHeap: RTV and DSV heaps cannot be shader visible");
        return E_INVALIDARG;
    }
    if (desc->Type == D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER && visible && desc->NumDescriptors > 2048) {
        reportValidationError(
            "CreateDescriptorHeap: a shader-visible sampler heap holds at most 2048 descriptors");
        return E_INVALIDARG;
    }
    if (desc->NumDescriptors > 1'000'000) {
        reportValidationError("CreateDescriptorHeap: more than 1000000 descriptors");
        return E_INVALIDARG;
    }
    auto storage = std::make_shared<HeapStorage>();
    storage->desc = *desc;
    storage->increment = descriptorIncrement(desc->Type);
    storage->slots.resize(desc->NumDescriptors);
    uint64_t span = uint64_t(desc->NumDescriptors) * storage->increment;
    storage->cpuStart = reserveDescriptorHandles(span);
    if (visible)
        storage->gpuStart = reserveDescriptorHandles(span);
    return handOut(new DescriptorHeap(this, storage), riid, heap);
}

UINT Device::GetDescriptorHandleIncrementSize(D3D12_DESCRIPTOR_HEAP_TYPE type) {
    return descriptorIncrement(type);
}

namespace {

// Writes a view into the slot at `handle`, reporting what is wrong with the arguments.
void writeView(const char* call, D3D12_DESCRIPTOR_HEAP_TYPE heapType, D3D12_CPU_DESCRIPTOR_HANDLE handle,
               ID3D12Resource* resource, const DescriptorContents& contents, const std::string& problem) {
    auto storage = storageOf(resource);
    std::string error = problem;
    std::unique_lock lock(gpuMutex());
    Descriptor* slot = cpuDescriptor(handle.ptr, heapType, &error);
    if (resource && !storage)
        error = "the resource was not made by this device";
    if (!error.empty()) {
        lock.unlock();
        reportValidationError(std::string(call) + ": " + error);
        return;
    }
    slot->contents = contents;
    slot->contents.resource = resource;
    slot->storage = storage;
}

// What is wrong with a view's resource and description before the view's own fields are checked: a null
// view needs a description, and the resource must allow the kind of view.
std::string viewProblem(ID3D12Resource* resource, const void* desc, D3D12_RESOURCE_FLAGS needed,
                        const char* flagName) {
    if (!resource)
        return desc ? "" : "a null view needs a description";
    auto storage = storageOf(resource);
    if (storage && needed && !(storage->desc.Flags & needed))
        return std::string("the resource lacks ") + flagName;
    return "";
}

// Copies a view description into the slot's contents, when there is one.
template <class Desc>
void keepDesc(DescriptorContents& contents, Desc DescriptorContents::*field, const Desc* desc) {
    if (desc) {
        contents.hasDesc = true;
        contents.*field = *desc;
    }
}

std::string checkBufferRange(ID3D12Resource* resource, uint64_t first, uint64_t count, uint64_t stride) {
    auto storage = storageOf(resource);
    if (!storage || !storage->isBuffer())
        return storage ? "a buffer view of a texture" : "";
    if ((first + count) * stride > storage->desc.Width)
        return "the view's elements reach past the end of the buffer";
    return "";
}

uint64_t elementStride(DXGI_FORMAT format, UINT structureStride, bool raw) {
    if (structureStride)
        return structureStride;
    if (raw)
        return 4;
    return formatInfo(format).bytesPerBlock;
}

} // namespace

void Device::CreateConstantBufferView(const D3D12_CONSTANT_BUFFER_VIEW_DESC* desc,
                                      D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::ConstantBufferView;
    std::string problem;
    ID3D12Resource* resource = nullptr;
    if (!desc) {
        problem = "the description is missing";
    } else {
        contents.hasDesc = true;
        contents.constantBufferView = *desc;
        if (desc->BufferLocation % 256 || desc->SizeInBytes % 256 || desc->SizeInBytes > 65536)
            problem = "BufferLocation and SizeInBytes must be multiples of 256, the size at most 65536";
        std::lock_guard lock(gpuMutex());
        auto buffer = desc->BufferLocation ? findBuffer(desc->BufferLocation) : nullptr;
        if (desc->BufferLocation &&
            (!buffer || desc->BufferLocation + desc->SizeInBytes > buffer->gpuAddress + buffer->desc.Width))
            problem = "the view's range is not inside one live buffer";
        if (buffer)
            resource = buffer->object;
    }
    writeView("CreateConstantBufferView", D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, handle, resource, contents,
              problem);
}

void Device::CreateShaderResourceView(ID3D12Resource* resource, const D3D12_SHADER_RESOURCE_VIEW_DESC* desc,
                                      D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::ShaderResourceView;
    std::string problem = viewProblem(resource, desc, D3D12_RESOURCE_FLAG_NONE, "");
    keepDesc(contents, &DescriptorContents::shaderResourceView, desc);
    if (desc && problem.empty()) {
        if (desc->ViewDimension == D3D12_SRV_DIMENSION_BUFFER) {
            if (desc->Buffer.StructureByteStride && desc->Format != DXGI_FORMAT_UNKNOWN)
                problem = "a structured buffer view needs DXGI_FORMAT_UNKNOWN";
            else
                problem = checkBufferRange(resource, desc->Buffer.FirstElement, desc->Buffer.NumElements,
                                           elementStride(desc->Format, desc->Buffer.StructureByteStride,
                                                         desc->Buffer.Flags & D3D12_BUFFER_SRV_FLAG_RAW));
        } else if (auto storage = storageOf(resource)) {
            if (storage->isBuffer() &&
                desc->ViewDimension != D3D12_SRV_DIMENSION_RAYTRACING_ACCELERATION_STRUCTURE)
                problem = "a texture view of a buffer";
            else
                problem = textureViewProblem(*storage, *desc);
        }
    }
    writeView("CreateShaderResourceView", D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, handle, resource, contents,
              problem);
}

void Device::CreateUnorderedAccessView(ID3D12Resource* resource, ID3D12Resource* counter,
                                       const D3D12_UNORDERED_ACCESS_VIEW_DESC* desc,
                                       D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::UnorderedAccessView;
    contents.counterResource = counter;
    std::string problem = viewProblem(resource, desc, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                                      "D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS");
    keepDesc(contents, &DescriptorContents::unorderedAccessView, desc);
    if (desc && problem.empty() && desc->ViewDimension == D3D12_UAV_DIMENSION_BUFFER)
        problem = checkBufferRange(resource, desc->Buffer.FirstElement, desc->Buffer.NumElements,
                                   elementStride(desc->Format, desc->Buffer.StructureByteStride,
                                                 desc->Buffer.Flags & D3D12_BUFFER_UAV_FLAG_RAW));
    writeView("CreateUnorderedAccessView", D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, handle, resource, contents,
              problem);
}

void Device::CreateRenderTargetView(ID3D12Resource* resource, const D3D12_RENDER_TARGET_VIEW_DESC* desc,
                                    D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::RenderTargetView;
    std::string problem = viewProblem(resource, desc, D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET,
                                      "D3D12_RESOURCE_FLAG_ALLOW_RENDER_TARGET");
    keepDesc(contents, &DescriptorContents::renderTargetView, desc);
    writeView("CreateRenderTargetView", D3D12_DESCRIPTOR_HEAP_TYPE_RTV, handle, resource, contents, problem);
}

void Device::CreateDepthStencilView(ID3D12Resource* resource, const D3D12_DEPTH_STENCIL_VIEW_DESC* desc,
                                    D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::DepthStencilView;
    std::string problem = viewProblem(resource, desc, D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL,
                                      "D3D12_RESOURCE_FLAG_ALLOW_DEPTH_STENCIL");
    keepDesc(contents, &DescriptorContents::depthStencilView, desc);
    if (desc && problem.empty() && !formatInfo(desc->Format).depth)
        problem = "the view format is not a depth format";
    writeView("CreateDepthStencilView", D3D12_DESCRIPTOR_HEAP_TYPE_DSV, handle, resource, contents, problem);
}

void Device::CreateSampler(const D3D12_SAMPLER_DESC* desc, D3D12_CPU_DESCRIPTOR_HANDLE handle) {
    DescriptorContents contents;
    contents.kind = DescriptorKind::Sampler;
    std::string problem;
    if (!desc)
        problem = "the description is missing";
    else {
        contents.hasDesc = true;
        contents.sampler = *desc;
    }
    writeView("CreateSampler", D3D12_DESCRIPTOR_HEAP_TYPE_SAMPLER, handle, nullptr, contents, problem);
}

void Device::CopyDescriptorsSimple(UINT count, D3D12_CPU_DESCRIPTOR_HANDLE destination,
                                   D3D12_CPU_DESCRIPTOR_HANDLE source, D3D12_DESCRIPTOR_HEAP_TYPE type) {
    std::unique_lock lock(gpuMutex());
    uint32_t increment = descriptorIncrement(type);
    for (UINT i = 0; i < count; ++i) {
        std::string problem;
        Descriptor* from = cpuDescriptor(source.ptr + SIZE_T(i) * increment, type, &problem);
        Descriptor* to =
            from ? cpuDescriptor(destination.ptr + SIZE_T(i) * increment, type, &problem) : nullptr;
        if (!to) {
            lock.unlock();
            reportValidationError("CopyDescriptorsSimple: " + problem);
            return;
        }
        *to = *from;
    }
}

void Device::CopyDescriptors(UINT destinationRanges, const D3D12_CPU_DESCRIPTOR_HANDLE* destinationStarts,
                             const UINT* destinationSizes, UINT sourceRanges,
                             const D3D12_CPU_DESCRIPTOR_HANDLE* sourceStarts, const UINT* sourceSizes,
                             D3D12_DESCRIPTOR_HEAP_TYPE type) {
    // Walk both range lists in step, one descriptor at a time.
    UINT di = 0, dOffset = 0, si = 0, sOffset = 0;
    uint32_t increment = descriptorIncrement(type);
    while (di < destinationRanges && si < sourceRanges) {
        UINT dSize = destinationSizes ? destinationSizes[di] : 1;
        UINT sSize = sourceSizes ? sourceSizes[si] : 1;
        CopyDescriptorsSimple(1, {destinationStarts[di].ptr + SIZE_T(dOffset) * increment},
                              {sourceStarts[si].ptr + SIZE_T(sOffset) * increment}, type);
        if (++dOffset >= dSize) {
            ++di;
            dOffset = 0;
        }
        if (++sOffset >= sSize) {
            ++si;
            sOffset = 0;
        }
    }
}

} // namespace standin
