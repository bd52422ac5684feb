// DXGI format sizes and the encoding of clear values.
#include "d3d12/Formats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace standin {

namespace {

struct Range {
    int first, last;
    uint32_t bytes, block, planes;
    bool depth;
};

// Formats by number (dxgiformat.h); the video formats are not used by the program and stay unknown.
constexpr Range RANGES[] = {
    {1, 4, 16, 1, 1, false},   {5, 8, 12, 1, 1, false},    {9, 14, 8, 1, 1, false},
    {15, 18, 8, 1, 1, false},  {19, 19, 8, 1, 2, false},   {20, 20, 8, 1, 2, true},
    {21, 22, 8, 1, 1, false},  {23, 26, 4, 1, 1, false},   {27, 38, 4, 1, 1, false},
    {39, 39, 4, 1, 1, false},  {40, 40, 4, 1, 1, true},    {41, 43, 4, 1, 1, false},
    {44, 44, 4, 1, 2, false},  {45, 45, 4, 1, 2, true},    {46, 47, 4, 1, 1, false},
    {48, 52, 2, 1, 1, false},  {53, 54, 2, 1, 1, false},   {55, 55, 2, 1, 1, true},
    {56, 59, 2, 1, 1, false},  {60, 65, 1, 1, 1, false},   {67, 67, 4, 1, 1, false},
    {70, 72, 8, 4, 1, false},  {73, 78, 16, 4, 1, false},  {79, 81, 8, 4, 1, false},
    {82, 84, 16, 4, 1, false}, {85, 86, 2, 1, 1, false},   {87, 93, 4, 1, 1, false},
    {94, 99, 16, 4, 1, false}, {115, 115, 2, 1, 1, false},
};

uint16_t toHalf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    uint32_t sign = (bits >> 16) & 0x8000;
    int32_t exponent = int32_t((bits >> 23) & 0xff) - 127 + 15;
    uint32_t mantissa = bits & 0x7fffff;
    if (((bits >> 23) & 0xff) == 0xff)
        return uint16_t(sign | 0x7c00 | (mantissa ? 0x200 : 0));
    if (exponent >= 31)
        return uint16_t(sign | 0x7c00);
    if (exponent <= 0) {
        if (exponent < -10)
            return uint16_t(sign);
        mantissa |= 0x800000;
        return uint16_t(sign | (mantissa >> (14 - exponent)));
    }
    return uint16_t(sign | (uint32_t(exponent) << 10) | (mantissa >> 13));
}

float toSrgb(float linear) {
    linear = std::clamp(linear, 0.0f, 1.0f);
    return linear <= 0.0031308f ? linear * 12.92f : 1.055f * std::pow(linear, 1.0f / 2.4f) - 0.055f;
}

template <class T> void append(std::vector<uint8_t>& bytes, T value) {
    size_t at = bytes.size();
    bytes.resize(at + sizeof(T));
    std::memcpy(bytes.data() + at, &value, sizeof(T));
}

uint32_t unorm(float value, uint32_t maximum) {
    return uint32_t(std::lround(std::clamp(value, 0.0f, 1.0f) * float(maximum)));
}

int32_t snorm(float value, int32_t maximum) {
    return int32_t(std::lround(std::clamp(value, -1.0f, 1.0f) * float(maximum)));
}

} // namespace

FormatInfo formatInfo(DXGI_FORMAT format) {
    for (const Range& range : RANGES)
        if (int(format) >= range.first && int(format) <= range.last)
            return FormatInfo{range.bytes, range.block, range.planes, range.depth, true};
    return FormatInfo{};
}

uint32_t planeBytesPerBlock(DXGI_FORMAT format, uint32_t plane) {
    FormatInfo info = formatInfo(format);
    if (info.planes == 2)
        return plane == 0 ? 4 : 1;
    return info.bytesPerBlock;
}

bool isBlockCompressed(DXGI_FORMAT format) {
    return formatInfo(format).blockSize == 4;
}

const char* formatName(DXGI_FORMAT format) {
    switch (format) {
    case DXGI_FORMAT_UNKNOWN:
        return "UNKNOWN";
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        return "R32G32B32A32_FLOAT";
    case DXGI_FORMAT_R32G32B32A32_UINT:
        return "R32G32B32A32_UINT";
    case DXGI_FORMAT_R32G32B32_FLOAT:
        return "R32G32B32_FLOAT";
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
        return "R16G16B16A16_FLOAT";
    case DXGI_FORMAT_R32G32_UINT:
        return "R32G32_UINT";
    case DXGI_FORMAT_R32G32_FLOAT:
        return "R32G32_FLOAT";
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        return "R8G8B8A8_UNORM";
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
        return "R8G8B8A8_UNORM_SRGB";
    case DXGI_FORMAT_R32_TYPELESS:
        return "R32_TYPELESS";
    case DXGI_FORMAT_D32_FLOAT:
        return "D32_FLOAT";
    case DXGI_FORMAT_R32_FLOAT:
        return "R32_FLOAT";
    case DXGI_FORMAT_R32_UINT:
        return "R32_UINT";
    case DXGI_FORMAT_D24_UNORM_S8_UINT:
        return "D24_UNORM_S8_UINT";
    case DXGI_FORMAT_R16_UINT:
        return "R16_UINT";
    case DXGI_FORMAT_BC1_UNORM:
        return "BC1_UNORM";
    case DXGI_FORMAT_BC3_UNORM:
        return "BC3_UNORM";
    case DXGI_FORMAT_BC5_UNORM:
        return "BC5_UNORM";
    case DXGI_FORMAT_BC7_UNORM:
        return "BC7_UNORM";
    case DXGI_FORMAT_B8G8R8A8_UNORM:
        return "B8G8R8A8_UNORM";
    default:
        return "format";
    }
}

std::vector<uint8_t> encodeColor(DXGI_FORMAT format, const float c[4]) {
    std::vector<uint8_t> bytes;
    auto floats = [&](int n) {
        for (int i = 0; i < n; ++i)
            append(bytes, c[i]);
    };
    auto uints = [&](int n) {
        for (int i = 0; i < n; ++i)
            append(bytes, uint32_t(std::max(c[i], 0.0f)));
    };
    auto sints = [&](int n) {
        for (int i = 0; i < n; ++i)
            append(bytes, int32_t(c[i]));
    };
    auto halves = [&](int n) {
        for (int i = 0; i < n; ++i)
            append(bytes, toHalf(c[i]));
    };
    auto small = [&](int n, int bits, bool isUnorm) {
        for (int i = 0; i < n; ++i) {
            uint32_t value = isUnorm ? unorm(c[i], (1u << bits) - 1) : uint32_t(std::max(c[i], 0.0f));
            if (bits == 8)
                append(bytes, uint8_t(value));
            else
                append(bytes, uint16_t(value));
        }
    };
    switch (format) {
    case DXGI_FORMAT_R32G32B32A32_FLOAT:
        floats(4);
        break;
    case DXGI_FORMAT_R32G32B32A32_UINT:
        uints(4);
        break;
    case DXGI_FORMAT_R32G32B32A32_SINT:
        sints(4);
        break;
    case DXGI_FORMAT_R32G32B32_FLOAT:
        floats(3);
        break;
    case DXGI_FORMAT_R32G32B32_UINT:
        uints(3);
        break;
    case DXGI_FORMAT_R16G16B16A16_FLOAT:
        halves(4);
        break;
    case DXGI_FORMAT_R16G16B16A16_UNORM:
        small(4, 16, true);
        break;
    case DXGI_FORMAT_R16G16B16A16_UINT:
        small(4, 16, false);
        break;
    case DXGI_FORMAT_R32G32_FLOAT:
        floats(2);
        break;
    case DXGI_FORMAT_R32G32_UINT:
        uints(2);
        break;
    case DXGI_FORMAT_R32G32_SINT:
        sints(2);
        break;
    case DXGI_FORMAT_R10G10B10A2_UNORM:
        append(bytes,
               unorm(c[0], 1023) | unorm(c[1], 1023) << 10 | unorm(c[2], 1023) << 20 | unorm(c[3], 3) << 30);
        break;
    case DXGI_FORMAT_R8G8B8A8_UNORM:
        small(4, 8, true);
        break;
    case DXGI_FORMAT_R8G8B8A8_UINT:
        small(4, 8, false);
        break;
    case DXGI_FORMAT_R8G8B8A8_SNORM:
        for (int i = 0; i < 4; ++i)
            append(bytes, int8_t(snorm(c[i], 127)));
        break;
    case DXGI_FORMAT_R8G8B8A8_UNORM_SRGB:
        for (int i = 0; i < 4; ++i)
            append(bytes, uint8_t(unorm(i < 3 ? toSrgb(c[i]) : c[i], 255)));
        break;
    case DXGI_FORMAT_B8G8R8A8_UNORM:
    case DXGI_FORMAT_B8G8R8X8_UNORM: {
        const float bgra[4] = {c[2], c[1], c[0], c[3]};
        for (float v : bgra)
            append(bytes, uint8_t(unorm(v, 255)));
        break;
    }
    case DXGI_FORMAT_R16G16_FLOAT:
        halves(2);
        break;
    case DXGI_FORMAT_R16G16_UNORM:
        small(2, 16, true);
        break;
    case DXGI_FORMAT_R16G16_UINT:
        small(2, 16, false);
        break;
    case DXGI_FORMAT_R32_FLOAT:
        floats(1);
        break;
    case DXGI_FORMAT_R32_UINT:
        uints(1);
        break;
    case DXGI_FORMAT_R32_SINT:
        sints(1);
        break;
    case DXGI_FORMAT_R8G8_UNORM:
        small(2, 8, true);
        break;
    case DXGI_FORMAT_R8G8_UINT:
        small(2, 8, false);
        break;
    case DXGI_FORMAT_R16_FLOAT:
        halves(1);
        break;
    case DXGI_FORMAT_R16_UNORM:
        small(1, 16, true);
        break;
    case DXGI_FORMAT_R16_UINT:
        small(1, 16, false);
        break;
    case DXGI_FORMAT_R8_UNORM:
        small(1, 8, true);
        break;
    case DXGI_FORMAT_R8_UINT:
        small(1, 8, false);
        break;
    default:
        break;
    }
    return bytes;
}

std::vector<uint8_t> encodeDepth(DXGI_FORMAT format, float depth) {
    std::vector<uint8_t> bytes;
    switch (format) {
    case DXGI_FORMAT_D32_FLOAT:
    case DXGI_FORMAT_D32_FLOAT_S8X24_UINT:
        append(bytes, depth);
        break;
    case DXGI_FORMAT_D24_UNORM_S8_UINT:
        append(bytes, unorm(depth, 0xffffff));
        break;
    case DXGI_FORMAT_D16_UNORM:
        append(bytes, uint16_t(unorm(depth, 0xffff)));
        break;
    default:
        break;
    }
    return bytes;
}

} // namespace standin
