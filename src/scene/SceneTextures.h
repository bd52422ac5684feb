// The image pass and the texture table of the scene import: one DDS texture per glTF image that names a
// file, and for every glTF texture the descriptor of its image.
#pragma once

#include <cgltf.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// An srvHeap descriptor index, or none.
using TextureSlot = std::optional<uint32_t>;

// The DDS file loaded for an image URI: the percent-decoded URI joined to the scene folder, with its
// extension replaced by "dds". None for an image without a URI (stored in a buffer view) or with a "data:"
// URI, whose texels are in the URI itself: no file is looked for.
std::optional<std::string> ddsPathForImage(const std::filesystem::path& sceneFolder, const char* uri);

// Loads the DDS texture of every image that names a file, in image order (so their srvHeap slots follow
// image order); entry i is image i's descriptor index. Whether a material uses the image does not matter.
std::vector<TextureSlot> loadImageTextures(const cgltf_data* data, const std::filesystem::path& sceneFolder);

// Entry t is the descriptor index of texture t's image, none when it names no image of the file or its image
// has no texture.
std::vector<TextureSlot> buildTextureTable(const cgltf_data* data,
                                           const std::vector<TextureSlot>& imageSlots);
