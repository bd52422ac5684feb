// Images to DDS paths, textures to descriptors, and materials to their 56-byte records.
#include "scene/Materials.h"

#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace fixture;

namespace {

Material record(Vec4 baseColor, uint32_t baseColorTexture, uint32_t normalTexture, Vec3 emissive,
                uint32_t emissiveTexture, uint32_t metallicRoughnessTexture, float roughness,
                float metallic) {
    Material m = {};
    m.baseColorFactor = baseColor;
    m.baseColorTexture = baseColorTexture;
    m.normalTexture = normalTexture;
    m.emissiveFactor = emissive;
    m.emissiveTexture = emissiveTexture;
    m.metallicRoughnessTexture = metallicRoughnessTexture;
    m.roughnessFactor = roughness;
    m.metallicFactor = metallic;
    return m;
}

std::string bytesOf(const Material& m) {
    return std::string(reinterpret_cast<const char*>(&m), sizeof m);
}

} // namespace

TEST(SceneTextures, ImageUrisBecomeDdsPathsBesideTheScene) {
    const std::filesystem::path folder = "scenes/tavern";
    struct Case {
        const char* uri;
        std::optional<std::string> path;
    } cases[] = {
        {"textures/wood%20planks.png", "scenes/tavern/textures/wood planks.dds"},
        {"a%zzb%4.png", "scenes/tavern/a%zzb%4.dds"}, // "%" without two hexadecimal digits stays
        {"%41%2e%42.jpg", "scenes/tavern/A.B.dds"},   // decoded before the extension is replaced
        {"noextension", "scenes/tavern/noextension.dds"},
        {"archive.tar.gz", "scenes/tavern/archive.tar.dds"},
        {"data:image/png;base64,iVBORw0KGgo=", std::nullopt},
        {nullptr, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ddsPathForImage(folder, c.uri), c.path) << (c.uri ? c.uri : "no URI");
}

TEST(SceneTextures, TexturesTakeTheDescriptorOfTheirImage) {
    GltfBuilder b;
    b.root["images"] = Json::array({{{"uri", "a.png"}}, {{"uri", "b.png"}}, {{"uri", "c.png"}}});
    b.root["textures"] =
        Json::array({{{"source", 0}}, {{"source", 1}}, {{"source", 2}}, {{"source", 0}}, Json::object()});
    Loaded loaded = loadFromMemory(b.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None);
    const std::vector<TextureSlot> table = buildTextureTable(loaded.data.get(), {3u, std::nullopt, 9u});
    EXPECT_EQ(table, (std::vector<TextureSlot>{3u, std::nullopt, 9u, 3u, std::nullopt}));
}

TEST(Materials, RecordsFollowTheMaterialRules) {
    GltfBuilder b;
    b.root["images"] = Json::array({{{"uri", "a.png"}}, {{"uri", "b.png"}}});
    b.root["textures"] = Json::array({{{"source", 0}}, {{"source", 1}}, {{"source", 0}}, {{"source", 1}}});
    // Texture 0 and 2 share descriptor 5, texture 3 has 7, texture 1 has none (its image was not loaded).
    const std::vector<TextureSlot> table = {5u, std::nullopt, 5u, 7u};
    b.addMaterial({{"pbrMetallicRoughness",
                    {{"baseColorFactor", {0.1, 0.2, 0.3, 0.4}},
                     {"baseColorTexture", {{"index", 0}}},
                     {"metallicRoughnessTexture", {{"index", 3}}},
                     {"metallicFactor", 0.25},
                     {"roughnessFactor", 0.75}}},
                   {"normalTexture", {{"index", 2}}},
                   {"emissiveTexture", {{"index", 3}}},
                   {"emissiveFactor", {1, 0.5, 0.25}}});
    // Without pbrMetallicRoughness: zero base colour, factors and pbr textures; normal and emissive kept.
    b.addMaterial({{"normalTexture", {{"index", 3}}},
                   {"emissiveTexture", {{"index", 0}}},
                   {"emissiveFactor", {0.2, 0.3, 0.4}}});
    // An empty pbrMetallicRoughness: the library's defaults.
    b.addMaterial({{"pbrMetallicRoughness", Json::object()}});
    // An emissive factor without an emissive texture counts for nothing; a texture without a loaded image is
    // 0.
    b.addMaterial({{"pbrMetallicRoughness", {{"baseColorTexture", {{"index", 1}}}}},
                   {"emissiveFactor", {1, 1, 1}},
                   {"normalTexture", {{"index", 1}}}});
    b.addMaterial();
    Loaded loaded = loadFromMemory(b.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None);

    const std::vector<Material> materials = buildMaterials(loaded.data.get(), table);
    const Material expected[] = {
        record({0.1f, 0.2f, 0.3f, 0.4f}, 6, 6, {1, 0.5f, 0.25f}, 8, 8, 0.75f, 0.25f),
        record({0, 0, 0, 0}, 0, 8, {0.2f, 0.3f, 0.4f}, 6, 0, 0, 0),
        record({1, 1, 1, 1}, 0, 0, {0, 0, 0}, 0, 0, 1, 1),
        record({1, 1, 1, 1}, 0, 0, {0, 0, 0}, 0, 0, 1, 1),
        record({0, 0, 0, 0}, 0, 0, {0, 0, 0}, 0, 0, 0, 0),
    };
    ASSERT_EQ(materials.size(), 5u);
    for (size_t m = 0; m < 5; ++m)
        EXPECT_EQ(bytesOf(materials[m]), bytesOf(expected[m])) << "material " << m;
}
