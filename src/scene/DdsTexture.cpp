#include "scene/DdsTexture.h"

#include "core/Buffers.h"
#include "core/DescriptorHeap.h"
#include "core/Globals.h"
#include "core/GpuSync.h"
#include "core/Paths.h"
#include "core/Report.h"
#include "scene/DdsFile.h"

#include <directx/d3dx12.h>
#include <dxguids/dxguids.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

// Every texture loaded, in load order. Textures live until the process ends, like the scene buffers; this
// list owns them, since nothing else but their views refers to them. It is never destroyed, so that it still
// holds them while the process ends.
std::vector<ID3D12Resource*>& loadedTextures() {
    static auto* textures = new std::vector<ID3D12Resource*>;
    return *textures;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

struct BlockFree {
    void operator()(uint8_t* block) const { std::free(block); }
};

using FileBlock = std::unique_ptr<uint8_t, BlockFree>;

[[noreturn]] void refuse(const std::string& filePath, const char* reason) {
    std::printf("Failed to load texture %s: %s\n", filePath.c_str(), reason);
    endProgram(1);
}

// The whole file in one block; its size in `size`.
FileBlock readWholeFile(const std::string& filePath, uint64_t* size) {
    const std::string nativePath = toNativePath(filePath);
    std::unique_ptr<FILE, FileCloser> file(std::fopen(nativePath.c_str(), "rb"));
    if (!file)
        refuse(filePath, "the file cannot be opened");
    // A folder opens on some systems, and its size is not that of any data.
    std::error_code error;
    if (!std::filesystem::is_regular_file(nativePath, error))
        refuse(filePath, "the file cannot be read");
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        refuse(filePath, "the file cannot be read");
    const long length = std::ftell(file.get());
    if (length < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        refuse(filePath, "the file cannot be read");
    FileBlock block(static_cast<uint8_t*>(std::malloc(length > 0 ? size_t(length) : 1)));
    if (!block)
        refuse(filePath, "the file does not fit in memory");
    if (std::fread(block.get(), 1, size_t(length), file.get()) != size_t(length))
        refuse(filePath, "the file cannot be read");
    *size = uint64_t(length);
    return block;
}

D3D12_HEAP_PROPERTIES heapOnNodeOne(D3D12_HEAP_TYPE type) {
    D3D12_HEAP_PROPERTIES properties = {};
    properties.Type = type;
    properties.CreationNodeMask = 1;
    properties.VisibleNodeMask = 1;
    return properties;
}

} // namespace

uint32_t loadDdsTexture(std::string filePath) {
    uint64_t fileSize = 0;
    FileBlock file = readWholeFile(filePath, &fileSize);
    DdsLayout layout;
    if (const char* problem = parseDds(file.get(), fileSize, &layout))
        refuse(filePath, problem);

    D3D12_RESOURCE_DESC tex_desc = {};
    tex_desc.Dimension = layout.dimension;
    tex_desc.Alignment = 0;
    tex_desc.Width = layout.width;
    tex_desc.Height = layout.height;
    tex_desc.DepthOrArraySize = UINT16(layout.arraySize);
    tex_desc.MipLevels = UINT16(layout.mipCount);
    tex_desc.Format = layout.format;
    tex_desc.SampleDesc = {1, 0};
    tex_desc.Layout = D3D12_TEXTURE_LAYOUT_UNKNOWN;
    tex_desc.Flags = D3D12_RESOURCE_FLAG_NONE;
    const D3D12_HEAP_PROPERTIES default_heap_props = heapOnNodeOne(D3D12_HEAP_TYPE_DEFAULT);
    ID3D12Resource* tex_rsc = nullptr;
    CHECK_AS(device->CreateCommittedResource(&default_heap_props, D3D12_HEAP_FLAG_NONE, &tex_desc,
                                             D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&tex_rsc)),
             "device->CreateCommittedResource( &default_heap_props, D3D12_HEAP_FLAG_NONE, &tex_desc, "
             "D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&tex_rsc))");
    loadedTextures().push_back(tex_rsc);

    // The texel data are handed over in place, straight from the file's block.
    std::vector<D3D12_SUBRESOURCE_DATA> subresources;
    subresources.reserve(layout.subresources.size());
    for (const DdsSubresource& entry : layout.subresources)
        subresources.push_back(
            {file.get() + entry.offset, LONG_PTR(entry.rowPitch), LONG_PTR(entry.slicePitch)});
    const UINT subresourceCount = UINT(subresources.size());

    const D3D12_HEAP_PROPERTIES upload_heap_props = heapOnNodeOne(D3D12_HEAP_TYPE_UPLOAD);
    const D3D12_RESOURCE_DESC uploadbuf_desc =
        bufferDesc(GetRequiredIntermediateSize(tex_rsc, 0, subresourceCount), D3D12_RESOURCE_FLAG_NONE);
    ID3D12Resource* uploadbuf = nullptr;
    CHECK_AS(device->CreateCommittedResource(&upload_heap_props, D3D12_HEAP_FLAG_NONE, &uploadbuf_desc,
                                             D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&uploadbuf)),
             "device->CreateCommittedResource( &upload_heap_props, D3D12_HEAP_FLAG_NONE, &uploadbuf_desc, "
             "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&uploadbuf))");

    // Only the list is reset: the allocator may hold earlier uploads' commands, which have all executed.
    commandList->Reset(commandAllocators[frameIndex], nullptr);
    UpdateSubresources(commandList, tex_rsc, uploadbuf, 0, 0, subresourceCount, subresources.data());
    // The copies promote the texture from COMMON to COPY_DEST.
    D3D12_RESOURCE_BARRIER barrier;
    transitionBarrier(&barrier, tex_rsc, D3D12_RESOURCE_STATE_COPY_DEST,
                      D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    commandList->ResourceBarrier(1, &barrier);
    commandList->Close();
    ID3D12CommandList* lists[] = {commandList};
    commandQueue->ExecuteCommandLists(1, lists);
    waitForUpload();

    D3D12_CPU_DESCRIPTOR_HANDLE view;
    const uint32_t descriptorIndex = allocateDescriptor(srvHeap, &view, nullptr);
    D3D12_SHADER_RESOURCE_VIEW_DESC srvDesc = {};
    srvDesc.Format = layout.format;
    srvDesc.Shader4ComponentMapping = D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING;
    if (layout.arraySize >= 2) {
        srvDesc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2DARRAY;
        srvDesc.Texture2DArray.MostDetailedMip = 0;
        srvDesc.Texture2DArray.MipLevels = layout.mipCount;
        srvDesc.Texture2DArray.FirstArraySlice = 0;
        srvDesc.Texture2DArray.ArraySize = layout.arraySize;
        srvDesc.Texture2DArray.PlaneSlice = 0;
        srvDesc.Texture2DArray.ResourceMinLODClamp = 0.0f;
    } else {
        srvDesc.ViewDimension = D3D12_SRV_DIMENSION_TEXTURE2D;
        srvDesc.Texture2D.MostDetailedMip = 0;
        srvDesc.Texture2D.MipLevels = layout.mipCount;
        srvDesc.Texture2D.PlaneSlice = 0;
        srvDesc.Texture2D.ResourceMinLODClamp = 0.0f;
    }
    device->CreateShaderResourceView(tex_rsc, &srvDesc, view);

    safeRelease(uploadbuf);
    return descriptorIndex;
}
