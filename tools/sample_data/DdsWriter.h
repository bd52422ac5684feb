// DDS files with the DX10 header extension, full mip chains, block-compressed or plain texels.
#pragma once

#include "Image.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sample {

// The DXGI formats the generator writes (their DXGI_FORMAT numbers).
enum class DdsFormat : uint32_t {
    R8G8B8A8_UNORM = 28,
    BC1_UNORM_SRGB = 72,
    BC3_UNORM_SRGB = 78,
    BC5_UNORM = 83,
};

// One encoded mip level, rows of 4 x 4 blocks (or of texels for the plain format) stored tightly.
std::vector<uint8_t> encodeLevel(const Image& level, DdsFormat format);

// The 148 bytes before the texel data: magic, header and DX10 extension.
std::vector<uint8_t> ddsHeader(uint32_t width, uint32_t height, uint32_t mipCount, DdsFormat format);

// Writes the header and every level of `chain` (level 0 first). Throws std::runtime_error on I/O failure.
void writeDds(const std::filesystem::path& path, const std::vector<Image>& chain, DdsFormat format);

// Block encoders, exposed for the tests: 16 texels of a 4 x 4 block in row order.
void encodeBc1Block(const float4 texels[16], uint8_t out[8]);
void encodeBc4Block(const float values[16], uint8_t out[8]);

} // namespace sample
