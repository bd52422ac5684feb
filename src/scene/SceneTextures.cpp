#include "scene/SceneTextures.h"

#include "scene/DdsTexture.h"

#include <cstring>

std::optional<std::string> ddsPathForImage(const std::filesystem::path& sceneFolder, const char* uri) {
    if (!uri || std::strncmp(uri, "data:", 5) == 0)
        return std::nullopt;
    std::string decoded = uri;
    decoded.resize(cgltf_decode_uri(decoded.data()));
    std::filesystem::path path = sceneFolder / decoded;
    path.replace_extension("dds");
    return path.string();
}

std::vector<TextureSlot> loadImageTextures(const cgltf_data* data, const std::filesystem::path& sceneFolder) {
    std::vector<TextureSlot> slots(data->images_count);
    for (cgltf_size i = 0; i < data->images_count; ++i)
        if (std::optional<std::string> path = ddsPathForImage(sceneFolder, data->images[i].uri))
            slots[i] = loadDdsTexture(*path);
    return slots;
}

std::vector<TextureSlot> buildTextureTable(const cgltf_data* data,
                                           const std::vector<TextureSlot>& imageSlots) {
    std::vector<TextureSlot> table(data->textures_count);
    for (cgltf_size t = 0; t < data->textures_count; ++t) {
        const cgltf_image* image = data->textures[t].image;
        if (image && size_t(image - data->images) < imageSlots.size())
            table[t] = imageSlots[size_t(image - data->images)];
    }
    return table;
}
