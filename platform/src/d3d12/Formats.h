// What the stand-in needs to know of DXGI formats: element and block sizes, planes, and how a clear value is
// stored in each format.
#pragma once

#include <directx/dxgiformat.h>

#include <cstdint>
#include <vector>

namespace standin {

struct FormatInfo {
    uint32_t bytesPerBlock = 0; // bytes of one element (plain formats) or of one 4x4 block
    uint32_t blockSize = 1;     // 4 for block-compressed formats, else 1
    uint32_t planes = 1;        // 2 for the depth-stencil formats with a stencil plane
    bool depth = false;         // a depth (or depth-stencil) format
    bool known = false;
};

FormatInfo formatInfo(DXGI_FORMAT format);
// Bytes per element of one plane of a format (the stencil plane of D24S8 and D32S8 has one byte).
uint32_t planeBytesPerBlock(DXGI_FORMAT format, uint32_t plane);
bool isBlockCompressed(DXGI_FORMAT format);
const char* formatName(DXGI_FORMAT format);

// The bytes of one element of `format` holding the colour (empty when the stand-in does not encode the
// format; the clear then leaves the memory as it is).
std::vector<uint8_t> encodeColor(DXGI_FORMAT format, const float color[4]);
// The bytes of one element of a depth view format for the depth plane, and of the stencil plane.
std::vector<uint8_t> encodeDepth(DXGI_FORMAT format, float depth);

} // namespace standin
