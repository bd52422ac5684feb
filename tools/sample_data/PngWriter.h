// PNG files of the top level of each texture, so that the scene's image URIs name real images for any glTF
// tool; the renderer itself loads the DDS files beside them.
#pragma once

#include "Image.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sample {

// An 8-bit PNG of the image: RGB when every texel is opaque, else RGBA. The image data is one zlib stream of
// stored (uncompressed) deflate blocks, which every decoder reads.
std::vector<uint8_t> encodePng(const Image& image);

// Writes encodePng(image). Throws std::runtime_error on I/O failure.
void writePng(const std::filesystem::path& path, const Image& image);

} // namespace sample
