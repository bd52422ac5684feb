// Subresource arithmetic: resource-description defaults, the stand-in's own tight layouts, and the placed
// footprints that GetCopyableFootprints reports for upload and readback buffers.
#include "d3d12/Formats.h"
#include "d3d12/Resource.h"

#include <algorithm>
#include <cstring>

namespace standin {

namespace {

uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

struct SubresourceShape {
    uint32_t width, height, depth; // texels
    uint32_t rowSize, numRows;     // bytes per row of elements or blocks; rows per slice
    uint32_t footprintWidth, footprintHeight;
    DXGI_FORMAT footprintFormat;
};

uint32_t arraySize(const D3D12_RESOURCE_DESC& desc) {
    return desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE3D ? 1u : desc.DepthOrArraySize;
}

SubresourceShape shapeOf(const D3D12_RESOURCE_DESC& desc, uint32_t subresource) {
    uint32_t mips = std::max<uint32_t>(desc.MipLevels, 1);
    uint32_t mip = subresource % mips;
    uint32_t plane = subresource / (mips * arraySize(desc));
    FormatInfo info = formatInfo(desc.Format);
    SubresourceShape shape{};
    shape.width = std::max<uint32_t>(1, uint32_t(desc.Width >> mip));
    shape.height = std::max<uint32_t>(1, desc.Height >> mip);
    shape.depth = desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE3D
                      ? std::max<uint32_t>(1, uint32_t(desc.DepthOrArraySize) >> mip)
                      : 1u;
    uint32_t block = info.blockSize;
    uint32_t blocksWide = (shape.width + block - 1) / block;
    shape.numRows = (shape.height + block - 1) / block;
    shape.rowSize = blocksWide * planeBytesPerBlock(desc.Format, plane);
    shape.footprintWidth = blocksWide * block;
    shape.footprintHeight = shape.numRows * block;
    shape.footprintFormat = desc.Format;
    if (info.planes == 2)
        shape.footprintFormat = plane == 0 ? (info.bytesPerBlock == 8 ? DXGI_FORMAT_R32_TYPELESS
                                                                      : DXGI_FORMAT_R24_UNORM_X8_TYPELESS)
                                           : DXGI_FORMAT_R8_TYPELESS;
    return shape;
}

} // namespace

uint32_t subresourceCount(const D3D12_RESOURCE_DESC& desc) {
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER)
        return 1;
    return std::max<uint32_t>(desc.MipLevels, 1) * arraySize(desc) * formatInfo(desc.Format).planes;
}

bool completeResourceDesc(D3D12_RESOURCE_DESC& desc, std::string* problem) {
    auto fail = [&](const char* text) {
        *problem = text;
        return false;
    };
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) {
        if (desc.Width == 0)
            return fail("a buffer's Width is 0");
        if (desc.Height != 1 || desc.DepthOrArraySize != 1 || desc.MipLevels != 1)
            return fail("a buffer needs Height, DepthOrArraySize and MipLevels of 1");
        if (desc.Format != DXGI_FORMAT_UNKNOWN)
            return fail("a buffer's Format must be DXGI_FORMAT_UNKNOWN");
        if (desc.Layout != D3D12_TEXTURE_LAYOUT_ROW_MAJOR)
            return fail("a buffer's Layout must be D3D12_TEXTURE_LAYOUT_ROW_MAJOR");
        if (desc.SampleDesc.Count != 1)
            return fail("a buffer has one sample");
        if (desc.Alignment == 0)
            desc.Alignment = D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT;
        return true;
    }
    if (desc.Dimension != D3D12_RESOURCE_DIMENSION_TEXTURE1D &&
        desc.Dimension != D3D12_RESOURCE_DIMENSION_TEXTURE2D &&
        desc.Dimension != D3D12_RESOURCE_DIMENSION_TEXTURE3D)
        return fail("the resource Dimension is not valid");
    if (desc.Width == 0 || desc.Height == 0 || desc.DepthOrArraySize == 0)
        return fail("a texture's Width, Height and DepthOrArraySize must not be 0");
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE1D && desc.Height != 1)
        return fail("a 1D texture has a Height of 1");
    if (!formatInfo(desc.Format).known)
        return fail("the texture Format is not one the stand-in supports");
    if (desc.Width > 16384 || desc.Height > 16384)
        return fail("a texture dimension is above 16384");
    if (desc.SampleDesc.Count != 1)
        return fail("the stand-in supports single-sample textures only");
    uint64_t largest = std::max<uint64_t>(desc.Width, desc.Height);
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_TEXTURE3D)
        largest = std::max<uint64_t>(largest, desc.DepthOrArraySize);
    uint16_t fullChain = 1;
    while ((largest >> fullChain) > 0)
        ++fullChain;
    if (desc.MipLevels == 0)
        desc.MipLevels = fullChain;
    if (desc.MipLevels > fullChain)
        return fail("MipLevels is more than the texture's size allows");
    if (desc.Alignment == 0)
        desc.Alignment = D3D12_DEFAULT_RESOURCE_PLACEMENT_ALIGNMENT;
    return true;
}

std::vector<SubresourceLayout> tightLayouts(const D3D12_RESOURCE_DESC& desc, uint64_t* totalSize) {
    std::vector<SubresourceLayout> layouts;
    if (desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) {
        layouts.push_back({0, uint32_t(desc.Width), 1, 1, uint32_t(desc.Width), 1});
        *totalSize = desc.Width;
        return layouts;
    }
    uint64_t offset = 0;
    for (uint32_t i = 0, n = subresourceCount(desc); i < n; ++i) {
        SubresourceShape shape = shapeOf(desc, i);
        layouts.push_back({offset, shape.width, shape.height, shape.depth, shape.rowSize, shape.numRows});
        offset = alignUp(offset + uint64_t(shape.rowSize) * shape.numRows * shape.depth, 16);
    }
    *totalSize = offset;
    return layouts;
}

void copyableFootprints(const D3D12_RESOURCE_DESC& desc, UINT first, UINT count, UINT64 baseOffset,
                        D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows, UINT64* rowSizes,
                        UINT64* totalBytes) {
    D3D12_RESOURCE_DESC complete = desc;
    std::string problem;
    bool valid =
        completeResourceDesc(complete, &problem) && uint64_t(first) + count <= subresourceCount(complete);
    if (!valid) {
        // The runtime marks every output as invalid.
        for (UINT i = 0; i < count; ++i) {
            if (layouts)
                std::memset(&layouts[i], 0xff, sizeof(layouts[i]));
            if (numRows)
                numRows[i] = ~0u;
            if (rowSizes)
                rowSizes[i] = ~0ull;
        }
        if (totalBytes)
            *totalBytes = ~0ull;
        return;
    }
    if (complete.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER) {
        if (layouts)
            layouts[0] = {baseOffset,
                          {DXGI_FORMAT_UNKNOWN, UINT(complete.Width), 1, 1,
                           UINT(alignUp(complete.Width, D3D12_TEXTURE_DATA_PITCH_ALIGNMENT))}};
        if (numRows)
            numRows[0] = 1;
        if (rowSizes)
            rowSizes[0] = complete.Width;
        if (totalBytes)
            *totalBytes = complete.Width;
        return;
    }
    uint64_t offset = baseOffset;
    uint64_t end = 0;
    for (UINT i = 0; i < count; ++i) {
        SubresourceShape shape = shapeOf(complete, first + i);
        offset = alignUp(offset, D3D12_TEXTURE_DATA_PLACEMENT_ALIGNMENT);
        uint32_t rowPitch = uint32_t(alignUp(shape.rowSize, D3D12_TEXTURE_DATA_PITCH_ALIGNMENT));
        if (layouts)
            layouts[i] = {
                offset,
                {shape.footprintFormat, shape.footprintWidth, shape.footprintHeight, shape.depth, rowPitch}};
        if (numRows)
            numRows[i] = shape.numRows;
        if (rowSizes)
            rowSizes[i] = shape.rowSize;
        uint64_t rows = uint64_t(shape.numRows) * shape.depth;
        end = offset + uint64_t(rowPitch) * (rows - 1) + shape.rowSize;
        offset += uint64_t(rowPitch) * rows;
    }
    if (totalBytes)
        *totalBytes = count == 0 ? 0 : end - baseOffset;
}

} // namespace standin
