// The material pass of the scene import: one Material record per glTF material, in file order.
#pragma once

#include "Shaders/Shared.hlsli"
#include "scene/SceneTextures.h"

#include <cgltf.h>

#include <vector>

// The texture field of a material slot: the descriptor index of the named texture's image plus one, 0 when
// the slot names no texture of the file or that texture has no loaded image.
uint32_t textureField(const cgltf_data* data, const cgltf_texture_view& view,
                      const std::vector<TextureSlot>& textureTable);

// Factors and the base-colour and metallic-roughness textures come from "pbrMetallicRoughness" (0 without
// it; cgltf's defaults where it leaves a key out); the normal texture is read either way; the emissive
// factor and texture only when there is an emissive texture. Everything else of a material is not read.
std::vector<Material> buildMaterials(const cgltf_data* data, const std::vector<TextureSlot>& textureTable);
