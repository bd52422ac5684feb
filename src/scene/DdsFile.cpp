#include "scene/DdsFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint64_t HEADER_END = 128;      // magic and header
constexpr uint64_t DX10_HEADER_END = 148; // with the DX10 extension
constexpr uint32_t FOURCC_FLAG = 0x4;
constexpr uint32_t DX10_FOURCC = 0x30315844; // "DX10"

uint32_t readU32(const uint8_t* file, uint64_t offset) {
    return uint32_t(file[offset]) | uint32_t(file[offset + 1]) << 8 | uint32_t(file[offset + 2]) << 16 |
           uint32_t(file[offset + 3]) << 24;
}

bool isBlockCompressed(DXGI_FORMAT format) {
    return (format >= DXGI_FORMAT_BC1_TYPELESS && format <= DXGI_FORMAT_BC5_SNORM) ||
           (format >= DXGI_FORMAT_BC6H_TYPELESS && format <= DXGI_FORMAT_BC7_UNORM_SRGB);
}

uint32_t blockBytes(DXGI_FORMAT format) {
    bool eightBytes = (format >= DXGI_FORMAT_BC1_TYPELESS && format <= DXGI_FORMAT_BC1_UNORM_SRGB) ||
                      (format >= DXGI_FORMAT_BC4_TYPELESS && format <= DXGI_FORMAT_BC4_SNORM);
    return eightBytes ? 8 : 16;
}

// Bits of one texel of a format that is not block-compressed; 0 for the formats the loader does not read
// (bit and pair-packed formats, video formats, unknown numbers), and for the depth-stencil formats with a
// stencil plane: their textures have two planes, while a DDS file holds one run of texels per subresource,
// so the upload would leave the second plane unwritten.
uint32_t bitsPerTexel(DXGI_FORMAT format) {
    const int n = int(format);
    if ((n >= 19 && n <= 22) || (n >= 44 && n <= 47))
        return 0;
    if (n >= 1 && n <= 4)
        return 128;
    if (n >= 5 && n <= 8)
        return 96;
    if (n >= 9 && n <= 22)
        return 64;
    if ((n >= 23 && n <= 47) || n == 67 || (n >= 87 && n <= 93))
        return 32;
    if ((n >= 48 && n <= 59) || n == 85 || n == 86 || n == 115)
        return 16;
    if (n >= 60 && n <= 65)
        return 8;
    return 0;
}

uint32_t fullMipChain(uint32_t width, uint32_t height) {
    uint32_t levels = 1;
    for (uint32_t largest = std::max(width, height); largest > 1; largest >>= 1)
        ++levels;
    return levels;
}

} // namespace

bool ddsLevelPitch(DXGI_FORMAT format, uint32_t width, uint32_t height, uint64_t* rowPitch,
                   uint64_t* slicePitch) {
    if (isBlockCompressed(format)) {
        *rowPitch = std::max<uint64_t>(1, (uint64_t(width) + 3) / 4) * blockBytes(format);
        *slicePitch = *rowPitch * std::max<uint64_t>(1, (uint64_t(height) + 3) / 4);
        return true;
    }
    const uint32_t bits = bitsPerTexel(format);
    if (bits == 0)
        return false;
    // DDS files store rows without padding.
    *rowPitch = (uint64_t(width) * bits + 7) / 8;
    *slicePitch = *rowPitch * height;
    return true;
}

const char* parseDds(const uint8_t* file, uint64_t size, DdsLayout* layout) {
    if (size < HEADER_END)
        return "the file is shorter than a DDS header";
    DdsLayout parsed = {};
    parsed.height = readU32(file, 12);
    parsed.width = readU32(file, 16);
    parsed.mipCount = std::max<uint32_t>(1, readU32(file, 28));
    const bool dx10 = (readU32(file, 80) & FOURCC_FLAG) && readU32(file, 84) == DX10_FOURCC;
    if (dx10) {
        if (size < DX10_HEADER_END)
            return "the file is shorter than its DX10 header";
        parsed.format = DXGI_FORMAT(readU32(file, 128));
        parsed.dimension = D3D12_RESOURCE_DIMENSION(readU32(file, 132));
        parsed.arraySize = std::max<uint32_t>(1, readU32(file, 140));
        parsed.dataOffset = DX10_HEADER_END;
    } else {
        // Files without the extension are taken as BC5 whatever their legacy pixel format says.
        parsed.format = DXGI_FORMAT_BC5_UNORM;
        parsed.dimension = D3D12_RESOURCE_DIMENSION_TEXTURE2D;
        parsed.arraySize = 1;
        parsed.dataOffset = HEADER_END;
    }
    uint64_t rowPitch = 0, slicePitch = 0;
    if (!ddsLevelPitch(parsed.format, 1, 1, &rowPitch, &slicePitch))
        return "its format is not one the loader reads";
    if (parsed.dimension != D3D12_RESOURCE_DIMENSION_TEXTURE2D)
        return "it is not a 2D texture";
    if (parsed.width == 0 || parsed.height == 0 || parsed.width > DDS_MAX_DIMENSION ||
        parsed.height > DDS_MAX_DIMENSION || parsed.arraySize > DDS_MAX_ARRAY_SIZE)
        return "its size is not one a 2D texture can have";
    if (parsed.mipCount > fullMipChain(parsed.width, parsed.height))
        return "it has more mip levels than its size allows";

    uint64_t cursor = parsed.dataOffset;
    parsed.subresources.reserve(
        size_t(std::min<uint64_t>(uint64_t(parsed.arraySize) * parsed.mipCount, size / 8 + 1)));
    for (uint32_t slice = 0; slice < parsed.arraySize; ++slice) {
        for (uint32_t level = 0; level < parsed.mipCount; ++level) {
            ddsLevelPitch(parsed.format, std::max(1u, parsed.width >> level),
                          std::max(1u, parsed.height >> level), &rowPitch, &slicePitch);
            // cursor never passes size, so the subtraction cannot wrap.
            if (slicePitch > size - cursor)
                return "its texel data reach past the end of the file";
            parsed.subresources.push_back({cursor, rowPitch, slicePitch});
            cursor += slicePitch;
        }
    }
    *layout = std::move(parsed);
    return nullptr;
}
