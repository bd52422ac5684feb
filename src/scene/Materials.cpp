#include "scene/Materials.h"

uint32_t textureField(const cgltf_data* data, const cgltf_texture_view& view,
                      const std::vector<TextureSlot>& textureTable) {
    if (!view.texture)
        return 0;
    const size_t textureIndex = size_t(view.texture - data->textures);
    if (textureIndex >= textureTable.size() || !textureTable[textureIndex])
        return 0;
    return *textureTable[textureIndex] + 1;
}

std::vector<Material> buildMaterials(const cgltf_data* data, const std::vector<TextureSlot>& textureTable) {
    std::vector<Material> materials;
    materials.reserve(data->materials_count);
    for (cgltf_size m = 0; m < data->materials_count; ++m) {
        const cgltf_material& source = data->materials[m];
        Material material = {};
        if (source.has_pbr_metallic_roughness) {
            const cgltf_pbr_metallic_roughness& pbr = source.pbr_metallic_roughness;
            material.baseColorFactor = {pbr.base_color_factor[0], pbr.base_color_factor[1],
                                        pbr.base_color_factor[2], pbr.base_color_factor[3]};
            material.baseColorTexture = textureField(data, pbr.base_color_texture, textureTable);
            material.metallicRoughnessTexture =
                textureField(data, pbr.metallic_roughness_texture, textureTable);
            material.roughnessFactor = pbr.roughness_factor;
            material.metallicFactor = pbr.metallic_factor;
        }
        material.normalTexture = textureField(data, source.normal_texture, textureTable);
        if (source.emissive_texture.texture) {
            material.emissiveFactor = {source.emissive_factor[0], source.emissive_factor[1],
                                       source.emissive_factor[2]};
            material.emissiveTexture = textureField(data, source.emissive_texture, textureTable);
        }
        materials.push_back(material);
    }
    return materials;
}
