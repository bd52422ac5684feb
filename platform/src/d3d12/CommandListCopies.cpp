// Copies between buffers and textures (placed footprints included) and queries, done on host memory by the
// queue worker.
#include "d3d12/CommandList.h"

#include "d3d12/Formats.h"
#include "d3d12/GpuState.h"
#include "d3d12/QueryHeap.h"

#include <algorithm>

namespace standin {

namespace {

// A block of memory seen as rows and slices of elements (or of 4x4 blocks).
struct Region {
    std::shared_ptr<ResourceStorage> storage;
    uint64_t offset = 0;
    uint64_t rowPitch = 0, slicePitch = 0;
    uint32_t width = 0, height = 0, depth = 0; // in texels
    uint32_t blockSize = 1, bytesPerBlock = 0;
};

void copyBox(const Region& to, uint32_t x, uint32_t y, uint32_t z, const Region& from, D3D12_BOX box) {
    uint32_t b = from.blockSize;
    uint64_t rowBytes = uint64_t((box.right - box.left + b - 1) / b) * from.bytesPerBlock;
    uint32_t rows = (box.bottom - box.top + b - 1) / b;
    for (uint32_t slice = 0; slice < box.back - box.front; ++slice) {
        for (uint32_t row = 0; row < rows; ++row) {
            const uint8_t* source =
                from.storage->memory + from.offset + (box.front + slice) * from.slicePitch +
                (box.top / b + row) * from.rowPitch + uint64_t(box.left / b) * from.bytesPerBlock;
            uint8_t* destination = to.storage->memory + to.offset + (z + slice) * to.slicePitch +
                                   (y / b + row) * to.rowPitch + uint64_t(x / b) * to.bytesPerBlock;
            std::memmove(destination, source, rowBytes);
        }
    }
}

// The region a copy location names; false with a reason when it is not valid.
bool regionOf(const D3D12_TEXTURE_COPY_LOCATION& location, Region* region, std::string* problem) {
    region->storage = storageOf(location.pResource);
    if (!region->storage) {
        *problem = "a copy location names no resource of this device";
        return false;
    }
    const ResourceStorage& storage = *region->storage;
    if (location.Type == D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT) {
        const D3D12_SUBRESOURCE_FOOTPRINT& footprint = location.PlacedFootprint.Footprint;
        FormatInfo info = formatInfo(footprint.Format);
        if (!storage.isBuffer() || !info.known) {
            *problem = "a placed footprint must lie in a buffer and name a known format";
            return false;
        }
        if (location.PlacedFootprint.Offset % D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT ||
            footprint.RowPitch % D3D12_TEXTURE_DATA_PITCH_ALIGNMENT) {
            *problem = "a placed footprint's offset must be a multiple of 512 and its row pitch of 256";
            return false;
        }
        region->offset = location.PlacedFootprint.Offset;
        region->rowPitch = footprint.RowPitch;
        region->blockSize = info.blockSize;
        region->bytesPerBlock = info.planes == 2 ? 4 : info.bytesPerBlock;
        region->width = footprint.Width;
        region->height = footprint.Height;
        region->depth = footprint.Depth;
        uint32_t rows = (footprint.Height + info.blockSize - 1) / info.blockSize;
        region->slicePitch = region->rowPitch * rows;
        uint64_t rowBytes =
            uint64_t((footprint.Width + info.blockSize - 1) / info.blockSize) * region->bytesPerBlock;
        uint64_t end = region->offset + region->slicePitch * (footprint.Depth - 1) +
                       region->rowPitch * (rows - 1) + rowBytes;
        if (footprint.Width == 0 || footprint.Height == 0 || footprint.Depth == 0 || end > storage.size ||
            rowBytes > footprint.RowPitch) {
            *problem = "the placed footprint reaches past the end of the buffer or is empty";
            return false;
        }
        return true;
    }
    if (storage.isBuffer() || location.SubresourceIndex >= storage.subresourceCount()) {
        *problem = "a subresource copy location must name an existing subresource of a texture";
        return false;
    }
    const SubresourceLayout& layout = storage.layouts[location.SubresourceIndex];
    FormatInfo info = formatInfo(storage.desc.Format);
    region->offset = layout.offset;
    region->rowPitch = layout.rowSize;
    region->slicePitch = uint64_t(layout.rowSize) * layout.numRows;
    region->blockSize = info.blockSize;
    region->bytesPerBlock = layout.rowSize / ((layout.width + info.blockSize - 1) / info.blockSize);
    region->width = (layout.width + info.blockSize - 1) / info.blockSize * info.blockSize;
    region->height = layout.numRows * info.blockSize;
    region->depth = layout.depth;
    return true;
}

// Fills a query command's log entry and checks its heap, type and range; null with a problem when they do
// not fit.
std::shared_ptr<QueryStorage> queryRange(RecordedCommand& entry, ID3D12QueryHeap* heap, D3D12_QUERY_TYPE type,
                                         UINT start, UINT count, std::string* problem) {
    entry.queryHeap = heap;
    entry.queryType = type;
    entry.queryIndex = start;
    entry.queryCount = count;
    auto storage = queryStorageOf(heap);
    if (!storage || !queryTypeFits(storage->desc.Type, type) ||
        uint64_t(start) + count > storage->desc.Count) {
        *problem = "the query heap is missing, of another type, or has no query at the index";
        return nullptr;
    }
    return storage;
}

UINT subresourceOf(const D3D12_TEXTURE_COPY_LOCATION& location) {
    return location.Type == D3D12_TEXTURE_COPY_TYPE_SUBRESOURCE_INDEX ? location.SubresourceIndex : 0;
}

} // namespace

void CommandList::CopyBufferRegion(ID3D12Resource* destination, UINT64 destinationOffset,
                                   ID3D12Resource* source, UINT64 sourceOffset, UINT64 bytes) {
    if (!recording("CopyBufferRegion"))
        return;
    auto to = storageOf(destination), from = storageOf(source);
    RecordedCommand& entry = log(CommandKind::CopyBufferRegion);
    entry.destination = destination;
    entry.source = source;
    entry.destinationOffset = destinationOffset;
    entry.sourceOffset = sourceOffset;
    entry.byteCount = bytes;
    std::string problem;
    if (!to || !from || !to->isBuffer() || !from->isBuffer())
        problem = "both resources must be buffers of this device";
    else if (destinationOffset + bytes > to->desc.Width || sourceOffset + bytes > from->desc.Width)
        problem = "the copy reaches past the end of a buffer";
    else if (to == from && destinationOffset < sourceOffset + bytes &&
             sourceOffset < destinationOffset + bytes)
        problem = "the source and destination ranges overlap";
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::CopyBufferRegion: " + problem);
        return;
    }
    {
        std::lock_guard lock(gpuMutex());
        entry.destinationName = to->name;
        entry.sourceName = from->name;
    }
    use(from, 0, D3D12_RESOURCE_STATE_COPY_SOURCE, "CopyBufferRegion (source)");
    use(to, 0, D3D12_RESOURCE_STATE_COPY_DEST, "CopyBufferRegion (destination)");
    work([to, from, destinationOffset, sourceOffset, bytes] {
        std::memmove(to->memory + destinationOffset, from->memory + sourceOffset, bytes);
    });
}

void CommandList::CopyTextureRegion(const D3D12_TEXTURE_COPY_LOCATION* destination, UINT x, UINT y, UINT z,
                                    const D3D12_TEXTURE_COPY_LOCATION* source, const D3D12_BOX* sourceBox) {
    if (!recording("CopyTextureRegion"))
        return;
    RecordedCommand& entry = log(CommandKind::CopyTextureRegion);
    Region to, from;
    std::string problem;
    if (!destination || !source)
        problem = "a copy location is missing";
    else if (regionOf(*destination, &to, &problem) && regionOf(*source, &from, &problem)) {
        entry.destination = destination->pResource;
        entry.source = source->pResource;
        entry.destinationSubresource = subresourceOf(*destination);
        entry.sourceSubresource = subresourceOf(*source);
        entry.destinationOffset = to.offset;
        entry.sourceOffset = from.offset;
        if (destination->Type == D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT &&
            source->Type == D3D12_TEXTURE_COPY_TYPE_PLACED_FOOTPRINT)
            problem = "one side of a texture copy must be a texture subresource";
        else if (to.bytesPerBlock != from.bytesPerBlock || to.blockSize != from.blockSize)
            problem = "the formats of the two sides are not copy compatible";
    }
    D3D12_BOX box = sourceBox ? *sourceBox : D3D12_BOX{0, 0, 0, from.width, from.height, from.depth};
    if (problem.empty()) {
        uint32_t b = from.blockSize;
        if (box.left >= box.right || box.top >= box.bottom || box.front >= box.back ||
            box.right > from.width || box.bottom > from.height || box.back > from.depth)
            problem = "the source box is empty or outside the source";
        else if (x + (box.right - box.left) > to.width || y + (box.bottom - box.top) > to.height ||
                 z + (box.back - box.front) > to.depth)
            problem = "the copied region reaches outside the destination";
        else if (box.left % b || box.top % b || x % b || y % b)
            problem = "a block-compressed copy must start on 4x4 block boundaries";
    }
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::CopyTextureRegion: " + problem);
        return;
    }
    {
        std::lock_guard lock(gpuMutex());
        entry.destinationName = to.storage->name;
        entry.sourceName = from.storage->name;
    }
    use(from.storage, subresourceOf(*source), D3D12_RESOURCE_STATE_COPY_SOURCE, "CopyTextureRegion (source)");
    use(to.storage, subresourceOf(*destination), D3D12_RESOURCE_STATE_COPY_DEST,
        "CopyTextureRegion (destination)");
    work([to, x, y, z, from, box] { copyBox(to, x, y, z, from, box); });
}

void CommandList::CopyResource(ID3D12Resource* destination, ID3D12Resource* source) {
    if (!recording("CopyResource"))
        return;
    auto to = storageOf(destination), from = storageOf(source);
    RecordedCommand& entry = log(CommandKind::CopyResource);
    entry.destination = destination;
    entry.source = source;
    std::string problem;
    if (!to || !from || to == from)
        problem = "the resources must be two different resources of this device";
    else if (to->desc.Dimension != from->desc.Dimension || to->desc.Width != from->desc.Width ||
             to->desc.Height != from->desc.Height ||
             to->desc.DepthOrArraySize != from->desc.DepthOrArraySize ||
             to->desc.MipLevels != from->desc.MipLevels || to->size != from->size)
        problem = "the resources differ in dimension, size or mip levels";
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::CopyResource: " + problem);
        return;
    }
    {
        std::lock_guard lock(gpuMutex());
        entry.destinationName = to->name;
        entry.sourceName = from->name;
    }
    entry.byteCount = to->size;
    use(from, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES, D3D12_RESOURCE_STATE_COPY_SOURCE,
        "CopyResource (source)");
    use(to, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES, D3D12_RESOURCE_STATE_COPY_DEST,
        "CopyResource (destination)");
    work([to, from] { std::memcpy(to->memory, from->memory, to->size); });
}

void CommandList::BeginQuery(ID3D12QueryHeap* heap, D3D12_QUERY_TYPE type, UINT index) {
    if (!recording("BeginQuery"))
        return;
    std::string problem;
    auto storage = queryRange(log(CommandKind::BeginQuery), heap, type, index, 1, &problem);
    if (storage && type == D3D12_QUERY_TYPE_TIMESTAMP)
        problem = "timestamp queries are written with EndQuery only";
    else if (storage && std::count(bindings.activeQueries.begin(), bindings.activeQueries.end(),
                                   std::pair<const void*, UINT>(storage.get(), index)))
        problem = "the query was begun already";
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::BeginQuery: " + problem);
        return;
    }
    bindings.activeQueries.emplace_back(storage.get(), index);
}

void CommandList::EndQuery(ID3D12QueryHeap* heap, D3D12_QUERY_TYPE type, UINT index) {
    if (!recording("EndQuery"))
        return;
    std::string problem;
    auto storage = queryRange(log(CommandKind::EndQuery), heap, type, index, 1, &problem);
    if (storage && type != D3D12_QUERY_TYPE_TIMESTAMP) {
        auto active = std::find(bindings.activeQueries.begin(), bindings.activeQueries.end(),
                                std::pair<const void*, UINT>(storage.get(), index));
        if (active == bindings.activeQueries.end())
            problem = "the query was not begun in this command list";
        else
            bindings.activeQueries.erase(active);
    }
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::EndQuery: " + problem);
        return;
    }
    replay([storage, index](SubmissionContext&) { storage->issued[index] = true; });
    bool timestamp = type == D3D12_QUERY_TYPE_TIMESTAMP;
    work([storage, index, timestamp] {
        uint8_t* result = storage->results.data() + size_t(index) * storage->stride;
        std::memset(result, 0, storage->stride); // shaders do not run: every counter stays 0
        if (timestamp) {
            uint64_t now = gpuTimestamp();
            std::memcpy(result, &now, 8);
        }
    });
}

void CommandList::ResolveQueryData(ID3D12QueryHeap* heap, D3D12_QUERY_TYPE type, UINT start, UINT count,
                                   ID3D12Resource* destination, UINT64 offset) {
    if (!recording("ResolveQueryData"))
        return;
    auto to = storageOf(destination);
    RecordedCommand& entry = log(CommandKind::ResolveQueryData);
    entry.destination = destination;
    entry.destinationOffset = offset;
    std::string problem;
    auto storage = queryRange(entry, heap, type, start, count, &problem);
    if (storage &&
        (!to || !to->isBuffer() || offset % 8 || offset + uint64_t(count) * storage->stride > to->desc.Width))
        problem =
            "the destination must be a buffer with room for the results at an offset that is a multiple of 8";
    if (!problem.empty()) {
        reportValidationError("ID3D12GraphicsCommandList::ResolveQueryData: " + problem);
        return;
    }
    {
        std::lock_guard lock(gpuMutex());
        entry.destinationName = to->name;
    }
    replay([storage, start, count](SubmissionContext& context) {
        for (UINT i = start; i < start + count; ++i)
            if (!storage->issued[i]) {
                context.errors.push_back("ResolveQueryData: query " + std::to_string(i) +
                                         " of the heap has never been issued, so its data is undefined");
                break;
            }
    });
    use(to, 0, D3D12_RESOURCE_STATE_COPY_DEST, "ResolveQueryData (destination)");
    work([storage, start, count, to, offset] {
        std::memcpy(to->memory + offset, storage->results.data() + size_t(start) * storage->stride,
                    size_t(count) * storage->stride);
    });
}

} // namespace standin
