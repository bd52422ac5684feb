#include "DdsWriter.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace sample {
namespace {

uint8_t toByte(float v) {
    return uint8_t(clamp01(v) * 255.0f + 0.5f);
}

uint16_t to565(float3 c) {
    return uint16_t((uint32_t(clamp01(c.x) * 31.0f + 0.5f) << 11) |
                    (uint32_t(clamp01(c.y) * 63.0f + 0.5f) << 5) | uint32_t(clamp01(c.z) * 31.0f + 0.5f));
}

float3 from565(uint16_t c) {
    return {float((c >> 11) & 31) / 31.0f, float((c >> 5) & 63) / 63.0f, float(c & 31) / 31.0f};
}

void put16(uint8_t* out, uint16_t v) {
    out[0] = uint8_t(v);
    out[1] = uint8_t(v >> 8);
}

void put32(std::vector<uint8_t>& bytes, size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + size_t(i)] = uint8_t(v >> (8 * i));
    }
}

bool blockCompressed(DdsFormat format) {
    return format != DdsFormat::R8G8B8A8_UNORM;
}
uint32_t blockBytes(DdsFormat format) {
    return format == DdsFormat::BC1_UNORM_SRGB ? 8 : 16;
}

// Bytes of one level as the file stores it: whole 4 x 4 blocks, or 4 bytes per texel.
uint32_t levelBytes(uint32_t w, uint32_t h, DdsFormat format) {
    if (!blockCompressed(format)) {
        return w * h * 4;
    }
    return std::max(1u, (w + 3) / 4) * std::max(1u, (h + 3) / 4) * blockBytes(format);
}

} // namespace

// Endpoints from the extremes of the block along its main colour axis, four-colour mode (color0 > color1).
void encodeBc1Block(const float4 texels[16], uint8_t out[8]) {
    float3 mean{};
    for (int i = 0; i < 16; ++i) {
        mean = mean + float3{texels[i].x, texels[i].y, texels[i].z} * (1.0f / 16.0f);
    }
    // Main axis by a few power iterations on the covariance.
    float c[6] = {};
    for (int i = 0; i < 16; ++i) {
        float3 d = float3{texels[i].x, texels[i].y, texels[i].z} - mean;
        c[0] += d.x * d.x, c[1] += d.x * d.y, c[2] += d.x * d.z, c[3] += d.y * d.y, c[4] += d.y * d.z,
            c[5] += d.z * d.z;
    }
    // Start from the covariance column of the channel that varies most, which cannot be orthogonal to the
    // main axis (a fixed start such as (1, 1, 1) is, for a red-to-blue ramp).
    float3 axis = c[0] >= c[3] && c[0] >= c[5] ? float3{c[0], c[1], c[2]}
                  : c[3] >= c[5]               ? float3{c[1], c[3], c[4]}
                                               : float3{c[2], c[4], c[5]};
    for (int k = 0; k < 8; ++k) {
        axis = {c[0] * axis.x + c[1] * axis.y + c[2] * axis.z, c[1] * axis.x + c[3] * axis.y + c[4] * axis.z,
                c[2] * axis.x + c[4] * axis.y + c[5] * axis.z};
        float l = length(axis);
        axis = l > 1e-12f ? axis * (1.0f / l) : float3{0.57735f, 0.57735f, 0.57735f};
    }
    float lo = 1e9f, hi = -1e9f;
    for (int i = 0; i < 16; ++i) {
        float t = dot(float3{texels[i].x, texels[i].y, texels[i].z} - mean, axis);
        lo = std::min(lo, t), hi = std::max(hi, t);
    }
    uint16_t color0 = to565(mean + axis * hi), color1 = to565(mean + axis * lo);
    if (color0 < color1) {
        std::swap(color0, color1);
    }
    put16(out, color0);
    put16(out + 2, color1);
    uint32_t indices = 0;
    if (color0 != color1) {
        float3 a = from565(color0), b = from565(color1);
        const float3 palette[4] = {a, b, a * (2.0f / 3.0f) + b * (1.0f / 3.0f),
                                   a * (1.0f / 3.0f) + b * (2.0f / 3.0f)};
        for (int i = 0; i < 16; ++i) {
            float3 t{texels[i].x, texels[i].y, texels[i].z};
            uint32_t best = 0;
            float bestDistance = 1e9f;
            for (uint32_t p = 0; p < 4; ++p) {
                float3 d = t - palette[p];
                if (dot(d, d) < bestDistance) {
                    bestDistance = dot(d, d), best = p;
                }
            }
            indices |= best << (2 * i);
        }
    }
    // Equal endpoints leave every index 0, which is color0 in either mode.
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = uint8_t(indices >> (8 * i));
    }
}

// Eight-value mode (red0 > red1) between the block's extremes; a flat block uses index 0 throughout.
void encodeBc4Block(const float values[16], uint8_t out[8]) {
    float lo = 1, hi = 0;
    for (int i = 0; i < 16; ++i) {
        lo = std::min(lo, clamp01(values[i])), hi = std::max(hi, clamp01(values[i]));
    }
    uint8_t red0 = toByte(hi), red1 = toByte(lo);
    out[0] = red0;
    out[1] = red1;
    uint64_t indices = 0;
    if (red0 > red1) {
        float palette[8] = {float(red0), float(red1)};
        for (int k = 1; k < 7; ++k) {
            palette[k + 1] = (float(7 - k) * float(red0) + float(k) * float(red1)) / 7.0f;
        }
        for (int i = 0; i < 16; ++i) {
            float v = clamp01(values[i]) * 255.0f;
            uint64_t best = 0;
            for (uint64_t p = 1; p < 8; ++p) {
                if (std::fabs(v - palette[p]) < std::fabs(v - palette[best])) {
                    best = p;
                }
            }
            indices |= best << (3 * i);
        }
    }
    for (int i = 0; i < 6; ++i) {
        out[2 + i] = uint8_t(indices >> (8 * i));
    }
}

std::vector<uint8_t> encodeLevel(const Image& level, DdsFormat format) {
    std::vector<uint8_t> bytes;
    if (!blockCompressed(format)) {
        for (const float4& t : level.texels) {
            bytes.insert(bytes.end(), {toByte(t.x), toByte(t.y), toByte(t.z), toByte(t.w)});
        }
        return bytes;
    }
    const int blocksX = std::max(1, (level.width + 3) / 4), blocksY = std::max(1, (level.height + 3) / 4);
    for (int by = 0; by < blocksY; ++by) {
        for (int bx = 0; bx < blocksX; ++bx) {
            float4 texels[16];
            for (int i = 0; i < 16; ++i) {
                texels[i] = level.clamped(bx * 4 + (i & 3), by * 4 + (i >> 2));
            }
            uint8_t block[16];
            float first[16], second[16];
            for (int i = 0; i < 16; ++i) {
                first[i] = format == DdsFormat::BC5_UNORM ? texels[i].x : texels[i].w;
                second[i] = texels[i].y;
            }
            switch (format) {
            case DdsFormat::BC1_UNORM_SRGB:
                encodeBc1Block(texels, block);
                break;
            case DdsFormat::BC3_UNORM_SRGB: // alpha block, then a colour block
                encodeBc4Block(first, block);
                encodeBc1Block(texels, block + 8);
                break;
            default: // BC5: red block, then green block
                encodeBc4Block(first, block);
                encodeBc4Block(second, block + 8);
                break;
            }
            bytes.insert(bytes.end(), block, block + blockBytes(format));
        }
    }
    return bytes;
}

std::vector<uint8_t> ddsHeader(uint32_t width, uint32_t height, uint32_t mipCount, DdsFormat format) {
    enum : uint32_t {
        DDSD_CAPS = 0x1,
        DDSD_HEIGHT = 0x2,
        DDSD_WIDTH = 0x4,
        DDSD_PITCH = 0x8,
        DDSD_PIXELFORMAT = 0x1000,
        DDSD_MIPMAPCOUNT = 0x20000,
        DDSD_LINEARSIZE = 0x80000,
        DDPF_FOURCC = 0x4,
        DDSCAPS_COMPLEX = 0x8,
        DDSCAPS_TEXTURE = 0x1000,
        DDSCAPS_MIPMAP = 0x400000,
        DIMENSION_TEXTURE2D = 3,
    };
    std::vector<uint8_t> bytes(148, 0);
    std::memcpy(bytes.data(), "DDS ", 4);
    put32(bytes, 4, 124); // header size
    const bool compressed = blockCompressed(format);
    put32(bytes, 8,
          DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_PIXELFORMAT | DDSD_MIPMAPCOUNT |
              (compressed ? DDSD_LINEARSIZE : DDSD_PITCH));
    put32(bytes, 12, height);
    put32(bytes, 16, width);
    put32(bytes, 20, compressed ? levelBytes(width, height, format) : width * 4);
    put32(bytes, 28, mipCount);
    put32(bytes, 76, 32); // pixel-format size
    put32(bytes, 80, DDPF_FOURCC);
    std::memcpy(bytes.data() + 84, "DX10", 4);
    put32(bytes, 108, DDSCAPS_TEXTURE | DDSCAPS_COMPLEX | DDSCAPS_MIPMAP);
    put32(bytes, 128, uint32_t(format));
    put32(bytes, 132, DIMENSION_TEXTURE2D);
    put32(bytes, 140, 1); // array size
    return bytes;
}

void writeDds(const std::filesystem::path& path, const std::vector<Image>& chain, DdsFormat format) {
    std::vector<uint8_t> bytes =
        ddsHeader(uint32_t(chain[0].width), uint32_t(chain[0].height), uint32_t(chain.size()), format);
    for (const Image& level : chain) {
        std::vector<uint8_t> encoded = encodeLevel(level, format);
        if (encoded.size() != levelBytes(uint32_t(level.width), uint32_t(level.height), format)) {
            throw std::logic_error("encoded level size mismatch for " + path.string());
        }
        bytes.insert(bytes.end(), encoded.begin(), encoded.end());
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace sample
