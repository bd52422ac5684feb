// The scene's materials, in glTF material order.
#pragma once

#include "Document.h"

#include <vector>

namespace sample {

enum MaterialId : uint32_t {
    FLOOR_WOOD,    // planks: base colour and normal textures
    DARK_WOOD,     // base colour texture
    STONE,         // base colour and normal textures
    PLASTER,       // factors only
    IRON,          // metallic-roughness texture
    PEWTER,        // factors only
    ALE,           // factors only
    LANTERN_GLASS, // emissive texture
    CANDLE_WAX,    // an emissive factor without an emissive texture, which the renderer ignores
    CLOTH_FABRIC,  // block-compressed base colour with alpha
    SOOT,          // no metallic-roughness block at all: black, but keeps its normal texture
    BOTTLE_GLASS,  // factors only
    DRIED_HERBS,   // factors only
    CANDLE_FLAME,  // emissive texture
    MATERIAL_COUNT
};

std::vector<MaterialDesc> tavernMaterials();

} // namespace sample
