// The scene's textures: their image URIs, formats and procedural contents.
#pragma once

#include "DdsWriter.h"
#include "Image.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sample {

// Index of each texture in the glTF image (and texture) list.
enum TextureId : int {
    TEXTURE_WOOD_PLANKS,
    TEXTURE_WOOD_PLANKS_NORMAL,
    TEXTURE_DARK_WOOD,
    TEXTURE_STONE_WALL,
    TEXTURE_STONE_WALL_NORMAL,
    TEXTURE_CLOTH,
    TEXTURE_IRON_METAL_ROUGHNESS,
    TEXTURE_LANTERN_GLOW,
    TEXTURE_COUNT
};

struct TextureSource {
    std::string uri; // percent-encoded, as the glTF file names it
    DdsFormat format;
    MipFilter filter;
    Image (*make)();
};

// Every texture, in TextureId order.
const std::vector<TextureSource>& textureSources();

// The image file a URI names: percent-decoded, relative to the scene folder.
std::filesystem::path imagePathFor(const std::filesystem::path& sceneFolder, const std::string& uri);

// The DDS file that the renderer loads for an image URI: percent-decoded, relative to the scene folder, with
// the extension replaced by "dds".
std::filesystem::path ddsPathFor(const std::filesystem::path& sceneFolder, const std::string& uri);

} // namespace sample
