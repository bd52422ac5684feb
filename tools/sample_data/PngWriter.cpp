#include "PngWriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace sample {
namespace {

constexpr uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t COLOR_TYPE_RGB = 2;
constexpr uint8_t COLOR_TYPE_RGBA = 6;
constexpr uint8_t FILTER_NONE = 0;
// The largest stored deflate block.
constexpr size_t STORED_BLOCK_LIMIT = 65535;

uint8_t toByte(float v) {
    return uint8_t(clamp01(v) * 255.0f + 0.5f);
}

uint32_t crc32(const uint8_t* bytes, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            entries[n] = c;
        }
        return entries;
    }();
    uint32_t crc = ~0u;
    for (size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

uint32_t adler32(const uint8_t* bytes, size_t size) {
    constexpr uint32_t MODULUS = 65521;
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + bytes[i]) % MODULUS;
        b = (b + a) % MODULUS;
    }
    return (b << 16) | a;
}

void putBigEndian32(std::vector<uint8_t>& bytes, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(uint8_t(value >> shift));
    }
}

// Length, type, data and the CRC of type and data.
void putChunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    putBigEndian32(png, uint32_t(data.size()));
    const size_t typeStart = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    putBigEndian32(png, crc32(png.data() + typeStart, png.size() - typeStart));
}

// A zlib stream (RFC 1950) of stored deflate blocks (RFC 1951, block type 0).
std::vector<uint8_t> zlibStored(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> stream = {0x78, 0x01}; // deflate, 32 KiB window, no dictionary; a multiple of 31
    size_t offset = 0;
    do {
        const size_t length = std::min(STORED_BLOCK_LIMIT, data.size() - offset);
        const bool last = offset + length == data.size();
        stream.push_back(last ? 1 : 0);
        stream.push_back(uint8_t(length));
        stream.push_back(uint8_t(length >> 8));
        stream.push_back(uint8_t(~length));
        stream.push_back(uint8_t(~length >> 8));
        stream.insert(stream.end(), data.begin() + std::ptrdiff_t(offset),
                      data.begin() + std::ptrdiff_t(offset + length));
        offset += length;
    } while (offset < data.size());
    putBigEndian32(stream, adler32(data.data(), data.size()));
    return stream;
}

} // namespace

std::vector<uint8_t> encodePng(const Image& image) {
    const bool opaque = std::all_of(image.texels.begin(), image.texels.end(),
                                    [](const float4& texel) { return toByte(texel.w) == 255; });
    const size_t channels = opaque ? 3 : 4;

    // Each row: its filter type, then the texels.
    std::vector<uint8_t> rows;
    rows.reserve(size_t(image.height) * (1 + size_t(image.width) * channels));
    for (int y = 0; y < image.height; ++y) {
        rows.push_back(FILTER_NONE);
        for (int x = 0; x < image.width; ++x) {
            const float4& texel = image.at(x, y);
            rows.push_back(toByte(texel.x));
            rows.push_back(toByte(texel.y));
            rows.push_back(toByte(texel.z));
            if (!opaque) {
                rows.push_back(toByte(texel.w));
            }
        }
    }

    std::vector<uint8_t> header;
    putBigEndian32(header, uint32_t(image.width));
    putBigEndian32(header, uint32_t(image.height));
    header.push_back(8); // bits per channel
    header.push_back(opaque ? COLOR_TYPE_RGB : COLOR_TYPE_RGBA);
    header.push_back(0); // deflate
    header.push_back(0); // adaptive filtering
    header.push_back(0); // not interlaced

    std::vector<uint8_t> png(std::begin(SIGNATURE), std::end(SIGNATURE));
    putChunk(png, "IHDR", header);
    putChunk(png, "IDAT", zlibStored(rows));
    putChunk(png, "IEND", {});
    return png;
}

void writePng(const std::filesystem::path& path, const Image& image) {
    const std::vector<uint8_t> bytes = encodePng(image);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace sample
