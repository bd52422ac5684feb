// Small DDS files made in tests (and for the DDS fuzz corpus): the 128-byte header, the DX10 extension when
// asked for, and texel data for every subresource, each byte numbered so that misplaced data shows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fixture {

struct DdsDescription {
    uint32_t width = 4;
    uint32_t height = 4;
    uint32_t mipCount = 1; // as stored; 0 is kept
    bool dx10 = true;      // FourCC flag and "DX10"
    uint32_t format = 28;  // DXGI number, in the DX10 extension
    uint32_t dimension = 3;
    uint32_t arraySize = 1; // as stored
};

// Bytes of one level as a DDS file stores it, for the formats the tests use: rows of 4 x 4 blocks, or
// tightly packed texels. 0 for any other format.
inline uint64_t ddsLevelBytes(uint32_t format, uint32_t width, uint32_t height) {
    const uint64_t blocksWide = std::max(1u, (width + 3) / 4), blocksHigh = std::max(1u, (height + 3) / 4);
    switch (format) {
    case 71: // BC1_UNORM
    case 80: // BC4_UNORM
        return blocksWide * blocksHigh * 8;
    case 77: // BC3_UNORM
    case 83: // BC5_UNORM
    case 98: // BC7_UNORM
        return blocksWide * blocksHigh * 16;
    case 2: // R32G32B32A32_FLOAT
        return uint64_t(width) * height * 16;
    case 28: // R8G8B8A8_UNORM
        return uint64_t(width) * height * 4;
    case 56: // R16_UNORM
        return uint64_t(width) * height * 2;
    case 61: // R8_UNORM
        return uint64_t(width) * height;
    default:
        return 0;
    }
}

inline void putU32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = uint8_t(value >> (8 * i));
}

// The header alone: 148 bytes with the DX10 extension, else 128.
inline std::vector<uint8_t> ddsHeader(const DdsDescription& d) {
    std::vector<uint8_t> bytes(d.dx10 ? 148 : 128, 0);
    putU32(bytes, 0, 0x20534444); // "DDS "
    putU32(bytes, 4, 124);
    putU32(bytes, 8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000); // caps, height, width, pixel format, mip count
    putU32(bytes, 12, d.height);
    putU32(bytes, 16, d.width);
    putU32(bytes, 28, d.mipCount);
    putU32(bytes, 76, 32);
    if (d.dx10) {
        putU32(bytes, 80, 0x4);
        putU32(bytes, 84, 0x30315844); // "DX10"
        putU32(bytes, 128, d.format);
        putU32(bytes, 132, d.dimension);
        putU32(bytes, 140, d.arraySize);
    } else {
        putU32(bytes, 80, 0x4);
        putU32(bytes, 84, 0x32495441); // "ATI2", a BC5 file's legacy FourCC
    }
    putU32(bytes, 108, 0x1000);
    return bytes;
}

// The texel data of every subresource, slice after slice and level after level, each byte numbered from
// `seed` on; a stored count of 0 writes one.
inline std::vector<std::vector<uint8_t>> ddsSubresources(const DdsDescription& d, uint8_t seed = 1) {
    const uint32_t format = d.dx10 ? d.format : 83;
    const uint32_t slices = d.dx10 ? std::max(1u, d.arraySize) : 1;
    std::vector<std::vector<uint8_t>> subresources;
    uint8_t next = seed;
    for (uint32_t slice = 0; slice < slices; ++slice)
        for (uint32_t level = 0; level < std::max(1u, d.mipCount); ++level) {
            std::vector<uint8_t> texels(
                ddsLevelBytes(format, std::max(1u, d.width >> level), std::max(1u, d.height >> level)));
            for (uint8_t& byte : texels)
                byte = next += 7;
            subresources.push_back(texels);
        }
    return subresources;
}

inline std::vector<uint8_t> ddsFile(const DdsDescription& d, uint8_t seed = 1) {
    std::vector<uint8_t> bytes = ddsHeader(d);
    for (const std::vector<uint8_t>& texels : ddsSubresources(d, seed))
        bytes.insert(bytes.end(), texels.begin(), texels.end());
    return bytes;
}

} // namespace fixture
