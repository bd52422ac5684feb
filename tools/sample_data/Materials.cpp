#include "Materials.h"

#include "Textures.h"

namespace sample {
namespace {

MaterialDesc named(const char* name) {
    MaterialDesc material;
    material.name = name;
    return material;
}

} // namespace

std::vector<MaterialDesc> tavernMaterials() {
    std::vector<MaterialDesc> materials(MATERIAL_COUNT);
    auto set = [&](MaterialId id, MaterialDesc material) { materials[id] = std::move(material); };

    MaterialDesc floorWood = named("Floor Wood");
    floorWood.baseColorTexture = TEXTURE_WOOD_PLANKS;
    floorWood.normalTexture = TEXTURE_WOOD_PLANKS_NORMAL;
    floorWood.roughnessFactor = 0.75f;
    set(FLOOR_WOOD, floorWood);

    MaterialDesc darkWood = named("Dark Wood");
    darkWood.baseColorTexture = TEXTURE_DARK_WOOD;
    darkWood.roughnessFactor = 0.6f;
    set(DARK_WOOD, darkWood);

    MaterialDesc stone = named("Stone");
    stone.baseColorTexture = TEXTURE_STONE_WALL;
    stone.normalTexture = TEXTURE_STONE_WALL_NORMAL;
    stone.roughnessFactor = 0.9f;
    set(STONE, stone);

    MaterialDesc plaster = named("Plaster");
    plaster.baseColorFactor = {0.78f, 0.72f, 0.62f, 1};
    plaster.roughnessFactor = 0.95f;
    set(PLASTER, plaster);

    MaterialDesc iron = named("Iron");
    iron.baseColorFactor = {0.26f, 0.25f, 0.24f, 1};
    iron.metallicFactor = 1.0f;
    iron.roughnessFactor = 1.0f;
    iron.metallicRoughnessTexture = TEXTURE_IRON_METAL_ROUGHNESS;
    set(IRON, iron);

    MaterialDesc pewter = named("Pewter");
    pewter.baseColorFactor = {0.62f, 0.62f, 0.64f, 1};
    pewter.metallicFactor = 0.9f;
    pewter.roughnessFactor = 0.35f;
    set(PEWTER, pewter);

    MaterialDesc ale = named("Ale");
    ale.baseColorFactor = {0.55f, 0.32f, 0.07f, 1};
    ale.roughnessFactor = 0.15f;
    set(ALE, ale);

    MaterialDesc glass = named("Lantern Glass");
    glass.baseColorFactor = {1.0f, 0.86f, 0.62f, 1};
    glass.roughnessFactor = 0.1f;
    glass.emissiveTexture = TEXTURE_LANTERN_GLOW;
    glass.emissiveFactor = {1.0f, 0.72f, 0.38f};
    set(LANTERN_GLASS, glass);

    MaterialDesc wax = named("Candle Wax");
    wax.baseColorFactor = {0.92f, 0.88f, 0.78f, 1};
    wax.roughnessFactor = 0.5f;
    wax.emissiveFactor = {0.2f, 0.15f, 0.1f};
    set(CANDLE_WAX, wax);

    MaterialDesc cloth = named("Cloth");
    cloth.baseColorTexture = TEXTURE_CLOTH;
    cloth.roughnessFactor = 0.95f;
    set(CLOTH_FABRIC, cloth);

    MaterialDesc soot = named("Soot");
    soot.metallicRoughness = false;
    soot.normalTexture = TEXTURE_STONE_WALL_NORMAL;
    set(SOOT, soot);

    MaterialDesc bottle = named("Bottle Glass");
    bottle.baseColorFactor = {0.12f, 0.32f, 0.16f, 1};
    bottle.roughnessFactor = 0.12f;
    set(BOTTLE_GLASS, bottle);

    MaterialDesc herbs = named("Dried Herbs");
    herbs.baseColorFactor = {0.36f, 0.42f, 0.20f, 1};
    herbs.roughnessFactor = 0.9f;
    set(DRIED_HERBS, herbs);

    MaterialDesc flame = named("Candle Flame");
    flame.baseColorFactor = {1.0f, 0.8f, 0.5f, 1};
    flame.emissiveTexture = TEXTURE_LANTERN_GLOW;
    flame.emissiveFactor = {1.0f, 0.62f, 0.25f};
    set(CANDLE_FLAME, flame);

    return materials;
}

} // namespace sample
