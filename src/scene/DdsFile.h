// DDS files as the scene's textures come: the header fields the loader reads, and where every subresource's
// texels lie in the file, checked against the file's size.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>
#include <vector>

struct DdsSubresource {
    uint64_t offset; // from the start of the file
    uint64_t rowPitch;
    uint64_t slicePitch;
};

struct DdsLayout {
    uint32_t width;
    uint32_t height;
    uint32_t mipCount;  // a stored 0 counts as 1
    uint32_t arraySize; // a stored 0 counts as 1; 1 without the DX10 extension
    DXGI_FORMAT format; // BC5_UNORM without the DX10 extension
    D3D12_RESOURCE_DIMENSION dimension;
    uint64_t dataOffset; // 148 with the DX10 extension, else 128
    // Slice after slice, and within a slice level 0 first (Direct3D 12 subresource order); each entry's data
    // follow the previous entry's directly.
    std::vector<DdsSubresource> subresources;
};

inline constexpr uint32_t DDS_MAX_DIMENSION = D3D12_REQ_TEXTURE2D_U_OR_V_DIMENSION;
inline constexpr uint32_t DDS_MAX_ARRAY_SIZE = D3D12_REQ_TEXTURE2D_ARRAY_AXIS_DIMENSION;

// Row and slice pitch of one width x height level as a DDS file stores it: rows of 4 x 4 blocks for the
// block-compressed formats, tightly packed rows of texels for the others. Sizes up to DDS_MAX_DIMENSION.
// False for a format the loader does not read.
bool ddsLevelPitch(DXGI_FORMAT format, uint32_t width, uint32_t height, uint64_t* rowPitch,
                   uint64_t* slicePitch);

// Reads the header of a whole file of `size` bytes and lays out its subresources. Returns null when the file
// can be loaded, else why not: a header or texel data beyond the end of the file, an unknown format, a
// texture that is not 2D, or sizes no texture can have. Nothing outside the file is read.
const char* parseDds(const uint8_t* file, uint64_t size, DdsLayout* layout);
