// Draws, dispatches and clears: the bound state is checked and logged with the command; clears write the
// clear value into host memory on the queue worker.
#include "d3d12/CommandList.h"

#include "d3d12/Formats.h"
#include "d3d12/GpuState.h"
#include "d3d12/PipelineState.h"
#include "d3d12/RootSignature.h"

namespace standin {

namespace {

// The subresources a render-target or depth-stencil view covers.
std::vector<UINT> viewSubresources(const DescriptorContents& view, const ResourceStorage& storage) {
    UINT mips = storage.desc.MipLevels;
    UINT arraySize =
        storage.desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE3D ? 1 : storage.desc.DepthOrArraySize;
    UINT mip = 0, first = 0, count = 1, plane = 0;
    if (!view.hasDesc) {
        count = arraySize;
    } else if (view.kind == DescriptorKind::RenderTargetView) {
        const auto& d = view.renderTargetView;
        switch (d.ViewDimension) {
        case D3D12_RTV_DIMENSION_TEXTURE1D:
            mip = d.Texture1D.MipSlice;
            break;
        case D3D12_RTV_DIMENSION_TEXTURE2D:
            mip = d.Texture2D.MipSlice, plane = d.Texture2D.PlaneSlice;
            break;
        case D3D12_RTV_DIMENSION_TEXTURE2DARRAY:
            mip = d.Texture2DArray.MipSlice, first = d.Texture2DArray.FirstArraySlice,
            count = d.Texture2DArray.ArraySize, plane = d.Texture2DArray.PlaneSlice;
            break;
        case D3D12_RTV_DIMENSION_TEXTURE3D:
            mip = d.Texture3D.MipSlice;
            break;
        default:
            break;
        }
    } else {
        const auto& d = view.depthStencilView;
        switch (d.ViewDimension) {
        case D3D12_DSV_DIMENSION_TEXTURE1D:
            mip = d.Texture1D.MipSlice;
            break;
        case D3D12_DSV_DIMENSION_TEXTURE2D:
            mip = d.Texture2D.MipSlice;
            break;
        case D3D12_DSV_DIMENSION_TEXTURE2DARRAY:
            mip = d.Texture2DArray.MipSlice, first = d.Texture2DArray.FirstArraySlice,
            count = d.Texture2DArray.ArraySize;
            break;
        default:
            break;
        }
    }
    std::vector<UINT> subresources;
    for (UINT slice = first; slice < first + count && slice < arraySize; ++slice)
        if (mip < mips)
            subresources.push_back(mip + slice * mips + plane * mips * arraySize);
    return subresources;
}

DXGI_FORMAT viewFormat(const DescriptorContents& view, const ResourceStorage& storage) {
    DXGI_FORMAT format = DXGI_FORMAT_UNKNOWN;
    if (view.hasDesc)
        format = view.kind == DescriptorKind::RenderTargetView ? view.renderTargetView.Format
                                                               : view.depthStencilView.Format;
    return format == DXGI_FORMAT_UNKNOWN ? storage.desc.Format : format;
}

// Fills the elements of a subresource, within the rectangles if any, with one element's bytes: one row is
// built element by element, the others are copies of it.
void fill(ResourceStorage& storage, UINT subresource, const std::vector<uint8_t>& element,
          const std::vector<D3D12_RECT>& rects) {
    if (element.empty() || subresource >= storage.subresourceCount())
        return;
    const SubresourceLayout& layout = storage.layouts[subresource];
    size_t size = element.size();
    LONG elements = LONG(layout.rowSize / size);
    std::vector<D3D12_RECT> areas = rects;
    if (areas.empty())
        areas.push_back({0, 0, elements, LONG(layout.numRows)});
    for (const D3D12_RECT& area : areas) {
        LONG left = std::max<LONG>(area.left, 0), right = std::min<LONG>(area.right, elements);
        LONG top = std::max<LONG>(area.top, 0), bottom = std::min<LONG>(area.bottom, LONG(layout.numRows));
        if (left >= right || top >= bottom)
            continue;
        std::vector<uint8_t> row(size_t(right - left) * size);
        for (size_t x = 0; x < row.size(); x += size)
            std::memcpy(row.data() + x, element.data(), size);
        for (uint32_t z = 0; z < layout.depth; ++z)
            for (LONG y = top; y < bottom; ++y)
                std::memcpy(storage.memory + layout.offset +
                                (uint64_t(z) * layout.numRows + y) * layout.rowSize + size_t(left) * size,
                            row.data(), row.size());
    }
}

} // namespace

void CommandList::requireCurrentBackBuffer(const std::shared_ptr<ResourceStorage>& storage,
                                           const std::string& where) {
    if (!storage->backBuffer.currentIndex)
        return;
    replay([storage, where](SubmissionContext& context) {
        UINT current = storage->backBuffer.currentIndex->load();
        if (storage->backBuffer.index != current)
            context.errors.push_back(where + ": " + describe(*storage) + " is back buffer " +
                                     std::to_string(storage->backBuffer.index) +
                                     " of its swap chain, but the current back buffer is " +
                                     std::to_string(current) + "; render into the current one");
    });
}

void CommandList::recordDraw(CommandKind kind, const char* method,
                             std::initializer_list<uint32_t> arguments) {
    if (!recording(method))
        return;
    std::string where = std::string("ID3D12GraphicsCommandList::") + method;
    PipelineState* pipeline = bindings.pipeline;
    PipelineKind wanted = kind == CommandKind::DispatchMesh ? PipelineKind::Mesh : PipelineKind::Graphics;
    if (!pipeline)
        reportValidationError(where + ": no pipeline state is set");
    else if (pipeline->info.kind != wanted)
        reportValidationError(where + ": the pipeline state set is not a " +
                              (wanted == PipelineKind::Mesh ? "mesh-shader" : "vertex-shader") + " pipeline");
    if (!bindings.graphicsRootSignature)
        reportValidationError(where + ": no graphics root signature is set");
    else if (pipeline && pipeline->rootSignature &&
             !sameLayout(pipeline->rootSignature, bindings.graphicsRootSignature))
        reportValidationError(where +
                              ": the graphics root signature set does not match the pipeline state's");
    if (kind == CommandKind::DispatchMesh) {
        uint64_t total = 1;
        for (uint32_t count : arguments) {
            total *= count;
            if (count > 65535)
                reportValidationError(where + ": a thread-group count is above 65535");
        }
        if (total > (1u << 22))
            reportValidationError(where + ": more than 2^22 thread groups in all");
    }
    std::unique_lock lock(gpuMutex());
    std::vector<std::string> problems;
    for (size_t i = 0; i < bindings.renderTargetViews.size(); ++i) {
        const Descriptor& view = bindings.renderTargetViews[i];
        auto storage = view.storage.lock();
        if (!storage || !storage->object) {
            problems.push_back("render target " + std::to_string(i) + " refers to a released resource");
            continue;
        }
        DXGI_FORMAT format = viewFormat(view.contents, *storage);
        if (pipeline && pipeline->info.kind != PipelineKind::Compute &&
            format != pipeline->info.rtvFormats[i])
            problems.push_back("render target " + std::to_string(i) + " has the format " +
                               formatName(format) + " but the pipeline state expects " +
                               formatName(pipeline->info.rtvFormats[i]));
        for (UINT subresource : viewSubresources(view.contents, *storage))
            use(storage, subresource, D3D12_RESOURCE_STATE_RENDER_TARGET, where + " (render target)");
        requireCurrentBackBuffer(storage, where + " (render target)");
    }
    if (auto storage = bindings.depthStencilView.storage.lock()) {
        DXGI_FORMAT format = viewFormat(bindings.depthStencilView.contents, *storage);
        if (pipeline && pipeline->info.dsvFormat != DXGI_FORMAT_UNKNOWN && format != pipeline->info.dsvFormat)
            problems.push_back(std::string("the depth-stencil view has the format ") + formatName(format) +
                               " but the pipeline state expects " + formatName(pipeline->info.dsvFormat));
        bool writes = pipeline && pipeline->info.depthStencil.DepthEnable &&
                      pipeline->info.depthStencil.DepthWriteMask != D3D12_DEPTH_WRITE_MASK_ZERO;
        if (writes)
            for (UINT subresource : viewSubresources(bindings.depthStencilView.contents, *storage))
                use(storage, subresource, D3D12_RESOURCE_STATE_DEPTH_WRITE, where + " (depth target)");
    }
    lock.unlock();
    for (const std::string& problem : problems)
        reportValidationError(where + ": " + problem);
    useTables(false, where);
    RecordedCommand& entry = log(kind);
    std::copy(arguments.begin(), arguments.end(), entry.arguments);
    entry.state = boundState(false);
}

void CommandList::recordDispatch(CommandKind kind, const char* method,
                                 std::initializer_list<uint32_t> arguments) {
    if (!recording(method))
        return;
    std::string where = std::string("ID3D12GraphicsCommandList::") + method;
    PipelineState* pipeline = bindings.pipeline;
    if (!pipeline || pipeline->info.kind != PipelineKind::Compute)
        reportValidationError(where + ": no compute pipeline state is set");
    if (!bindings.computeRootSignature)
        reportValidationError(where + ": no compute root signature is set");
    else if (pipeline && pipeline->rootSignature &&
             !sameLayout(pipeline->rootSignature, bindings.computeRootSignature))
        reportValidationError(where + ": the compute root signature set does not match the pipeline state's");
    for (uint32_t count : arguments)
        if (count > 65535)
            reportValidationError(where + ": a thread-group count is above 65535");
    useTables(true, where);
    useRootDescriptors(true, where);
    RecordedCommand& entry = log(kind);
    std::copy(arguments.begin(), arguments.end(), entry.arguments);
    entry.state = boundState(true);
}

void CommandList::DrawInstanced(UINT vertices, UINT instances, UINT startVertex, UINT startInstance) {
    recordDraw(CommandKind::DrawInstanced, "DrawInstanced",
               {vertices, instances, startVertex, startInstance});
}

void CommandList::DrawIndexedInstanced(UINT indices, UINT instances, UINT startIndex, INT baseVertex,
                                       UINT startInstance) {
    recordDraw(CommandKind::DrawIndexedInstanced, "DrawIndexedInstanced",
               {indices, instances, startIndex, uint32_t(baseVertex), startInstance});
}

void CommandList::DispatchMesh(UINT x, UINT y, UINT z) {
    recordDraw(CommandKind::DispatchMesh, "DispatchMesh", {x, y, z});
}

void CommandList::Dispatch(UINT x, UINT y, UINT z) {
    recordDispatch(CommandKind::Dispatch, "Dispatch", {x, y, z});
}

// The view a clear names, with a live resource; logs the clear. Null after reporting what is wrong.
std::shared_ptr<ResourceStorage> CommandList::clearedView(CommandKind kind,
                                                          D3D12_CPU_DESCRIPTOR_HANDLE handle,
                                                          const char* method, DescriptorContents* contents) {
    bool renderTarget = kind == CommandKind::ClearRenderTargetView;
    std::string problem;
    std::shared_ptr<ResourceStorage> storage;
    {
        std::lock_guard lock(gpuMutex());
        Descriptor* view = cpuDescriptor(
            handle.ptr, renderTarget ? D3D12_DESCRIPTOR_HEAP_TYPE_RTV : D3D12_DESCRIPTOR_HEAP_TYPE_DSV,
            &problem);
        storage = view ? view->storage.lock() : nullptr;
        DescriptorKind wanted =
            renderTarget ? DescriptorKind::RenderTargetView : DescriptorKind::DepthStencilView;
        if (view && (view->contents.kind != wanted || !storage || !storage->object))
            problem = std::string("the handle holds no ") +
                      (renderTarget ? "render-target" : "depth-stencil") + " view of a live resource";
        RecordedCommand& entry = log(kind);
        entry.view = handle;
        if (problem.empty()) {
            *contents = view->contents;
            entry.destination = storage->object;
            entry.destinationName = storage->name;
        }
    }
    if (problem.empty())
        return storage;
    reportValidationError(std::string("ID3D12GraphicsCommandList::") + method + ": " + problem);
    return nullptr;
}

void CommandList::ClearRenderTargetView(D3D12_CPU_DESCRIPTOR_HANDLE handle, const FLOAT color[4],
                                        UINT rectCount, const D3D12_RECT* rects) {
    if (!recording("ClearRenderTargetView"))
        return;
    DescriptorContents view;
    auto storage = clearedView(CommandKind::ClearRenderTargetView, handle, "ClearRenderTargetView", &view);
    std::copy(color, color + 4, current->log.back().color);
    if (!storage)
        return;
    std::vector<uint8_t> element = encodeColor(viewFormat(view, *storage), color);
    std::vector<D3D12_RECT> areas(rects, rects + (rects ? rectCount : 0));
    for (UINT subresource : viewSubresources(view, *storage)) {
        use(storage, subresource, D3D12_RESOURCE_STATE_RENDER_TARGET, "ClearRenderTargetView");
        work([storage, subresource, element, areas] { fill(*storage, subresource, element, areas); });
    }
    requireCurrentBackBuffer(storage, "ClearRenderTargetView");
}

void CommandList::ClearDepthStencilView(D3D12_CPU_DESCRIPTOR_HANDLE handle, D3D12_CLEAR_FLAGS flags,
                                        FLOAT depth, UINT8 stencil, UINT rectCount, const D3D12_RECT* rects) {
    if (!recording("ClearDepthStencilView"))
        return;
    DescriptorContents view;
    auto storage = clearedView(CommandKind::ClearDepthStencilView, handle, "ClearDepthStencilView", &view);
    RecordedCommand& entry = current->log.back();
    entry.clearFlags = flags;
    entry.depth = depth;
    entry.stencil = stencil;
    if (!storage)
        return;
    DXGI_FORMAT format = viewFormat(view, *storage);
    if (!formatInfo(format).depth)
        reportValidationError(
            "ID3D12GraphicsCommandList::ClearDepthStencilView: the view format is not a depth format");
    std::vector<D3D12_RECT> areas(rects, rects + (rects ? rectCount : 0));
    UINT planeSize = storage->desc.MipLevels * storage->desc.DepthOrArraySize;
    for (UINT subresource : viewSubresources(view, *storage)) {
        use(storage, subresource, D3D12_RESOURCE_STATE_DEPTH_WRITE, "ClearDepthStencilView");
        if (flags & D3D12_CLEAR_FLAG_DEPTH) {
            std::vector<uint8_t> element = encodeDepth(format, depth);
            work([storage, subresource, element, areas] { fill(*storage, subresource, element, areas); });
        }
        if ((flags & D3D12_CLEAR_FLAG_STENCIL) && formatInfo(storage->desc.Format).planes == 2) {
            UINT stencilPlane = subresource + planeSize;
            use(storage, stencilPlane, D3D12_RESOURCE_STATE_DEPTH_WRITE, "ClearDepthStencilView");
            std::vector<uint8_t> element{stencil};
            work([storage, stencilPlane, element, areas] { fill(*storage, stencilPlane, element, areas); });
        }
    }
}

// UAV clears name the view twice, as the platform requires: by a GPU handle in the shader-visible heap set
// on the list, and by a CPU handle in a heap that is not shader visible (which the CPU can read). Both must
// hold an unordered-access view of the cleared resource. The resource only needs UNORDERED_ACCESS: shaders do
// not read the cleared values. A float clear of a texture view writes its colour as a render-target clear
// does; an integer clear writes nothing.
void CommandList::ClearUnorderedAccessViewUint(D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle,
                                               D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                                               ID3D12Resource* resource, const UINT[4], UINT,
                                               const D3D12_RECT*) {
    recordUavClear(gpuHandle, cpuHandle, resource, "ClearUnorderedAccessViewUint", nullptr, {});
}

void CommandList::ClearUnorderedAccessViewFloat(D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle,
                                                D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                                                ID3D12Resource* resource, const FLOAT color[4],
                                                UINT rectCount, const D3D12_RECT* rects) {
    recordUavClear(gpuHandle, cpuHandle, resource, "ClearUnorderedAccessViewFloat", color,
                   std::vector<D3D12_RECT>(rects, rects + (rects ? rectCount : 0)));
}

void CommandList::recordUavClear(D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle, D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle,
                                 ID3D12Resource* resource, const char* method, const FLOAT* color,
                                 std::vector<D3D12_RECT> rects) {
    if (!recording(method))
        return;
    RecordedCommand& entry = log(CommandKind::ClearUnorderedAccessView);
    entry.destination = resource;
    entry.view = cpuHandle;
    if (color)
        std::copy(color, color + 4, entry.color);
    DescriptorContents cleared; // the CPU handle's view, once it is found to be one of the resource
    auto storage = storageOf(resource);
    std::vector<std::string> problems;
    if (!storage)
        problems.push_back("the resource is missing or not a resource of this device");
    {
        std::lock_guard lock(gpuMutex());
        if (storage)
            entry.destinationName = storage->name;
        // Whether a slot holds an unordered-access view of the cleared resource.
        auto checkView = [&](const Descriptor& view, const std::string& which) {
            if (view.contents.kind != DescriptorKind::UnorderedAccessView)
                problems.push_back(which + " does not hold an unordered-access view");
            else if (storage && view.storage.lock() != storage)
                problems.push_back(which + " holds a view of another resource than the one cleared");
            else
                return true;
            return false;
        };
        uint32_t slot = 0;
        auto gpuHeap = findHeapByGpuHandle(gpuHandle.ptr, &slot);
        if (!gpuHeap || gpuHeap->desc.Type != D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV)
            problems.push_back(
                "the GPU descriptor handle is outside every live shader-visible CBV_SRV_UAV heap");
        else if (std::find(bindings.heaps.begin(), bindings.heaps.end(), gpuHeap) == bindings.heaps.end())
            problems.push_back(
                "the GPU descriptor handle lies in a heap that is not set with SetDescriptorHeaps");
        else
            checkView(gpuHeap->slots[slot], "the GPU descriptor handle's slot");
        auto cpuHeap = findHeapByCpuHandle(cpuHandle.ptr, &slot);
        if (!cpuHeap || cpuHeap->desc.Type != D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV)
            problems.push_back("the CPU descriptor handle is outside every live CBV_SRV_UAV heap");
        else if (cpuHeap->desc.Flags & D3D12_DESCRIPTOR_HEAP_FLAG_SHADER_VISIBLE)
            problems.push_back(
                "the CPU descriptor handle lies in a shader-visible heap; it must come from a heap that is "
                "not shader visible");
        else if (checkView(cpuHeap->slots[slot], "the CPU descriptor handle's slot"))
            cleared = cpuHeap->slots[slot].contents;
    }
    for (const std::string& problem : problems)
        reportValidationError(std::string("ID3D12GraphicsCommandList::") + method + ": " + problem);
    if (!storage)
        return;
    use(storage, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES, D3D12_RESOURCE_STATE_UNORDERED_ACCESS, method);
    // A view made without a description covers the whole of a one-mip texture in its own format.
    const auto& view = cleared.unorderedAccessView;
    const bool texture2D = cleared.hasDesc ? view.ViewDimension == D3D12_UAV_DIMENSION_TEXTURE2D
                                           : storage->desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE2D;
    if (color && problems.empty() && texture2D) {
        UINT subresource = cleared.hasDesc ? view.Texture2D.MipSlice : 0;
        DXGI_FORMAT format =
            cleared.hasDesc && view.Format != DXGI_FORMAT_UNKNOWN ? view.Format : storage->desc.Format;
        std::vector<uint8_t> element = encodeColor(format, color);
        work([storage, subresource, element, rects] { fill(*storage, subresource, element, rects); });
    }
}

} // namespace standin
