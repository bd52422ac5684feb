#include "Textures.h"

#include <algorithm>

namespace sample {
namespace {

// Calls `texel(u, v)` at every texel centre of a square image.
template <typename Texel> Image fill(int size, Texel texel) {
    Image image(size, size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            image.at(x, y) = texel((float(x) + 0.5f) / float(size), (float(y) + 0.5f) / float(size));
        }
    }
    return image;
}

float4 mix(float4 a, float4 b, float t) {
    return {lerp(a.x, b.x, t), lerp(a.y, b.y, t), lerp(a.z, b.z, t), lerp(a.w, b.w, t)};
}
float4 shade(float4 c, float s) {
    return {c.x * s, c.y * s, c.z * s, c.w};
}

// Wood fibres along u: rings that wander with low-frequency noise.
float woodGrain(float u, float v, uint32_t seed) {
    float wander = fractalNoise(u, v, 2, 8, 3, seed) * 6.0f;
    float rings = 0.5f + 0.5f * std::sin((v * 96.0f + wander) * 2.0f * PI);
    float fibres = fractalNoise(u, v, 4, 64, 3, seed + 17);
    return 0.6f * rings + 0.4f * fibres;
}

// Planks 1/8 of the image wide running along u, with butt joints at a random place per row.
struct Plank {
    float tone;
    float edge; // 0 in the gaps, 1 on the plank's face
};

Plank plankAt(float u, float v) {
    constexpr int ROWS = 8;
    int row = std::min(ROWS - 1, int(v * ROWS));
    Random random(0x51A4E + uint64_t(row) * 7919);
    float joint = random.uniform();
    float along = u - joint - std::floor(u - joint); // 0 at the joint
    int piece = along < 0.5f ? 0 : 1;
    Random pieceRandom(0xB0A2D + uint64_t(row) * 31 + uint64_t(piece));
    float across = v * ROWS - float(row);
    float distance = std::min(
        {across, 1.0f - across, along * 4.0f, (1.0f - along) * 4.0f, std::fabs(along - 0.5f) * 4.0f});
    return {pieceRandom.range(0.78f, 1.12f), smoothstep(0.0f, 0.06f, distance)};
}

Image woodPlanks() {
    return fill(512, [](float u, float v) {
        Plank plank = plankAt(u, v);
        float grain = woodGrain(u, v, 11);
        float4 light{0.56f, 0.39f, 0.24f, 1}, dark{0.33f, 0.21f, 0.12f, 1};
        float4 face = shade(mix(dark, light, grain), plank.tone);
        return mix(float4{0.10f, 0.07f, 0.05f, 1}, face, plank.edge);
    });
}

Image woodPlanksHeight() {
    return fill(512, [](float u, float v) {
        Plank plank = plankAt(u, v);
        float h = plank.edge * (0.85f + 0.15f * woodGrain(u, v, 11));
        return float4{h, h, h, 1};
    });
}

Image woodPlanksNormal() {
    return normalsFromHeight(woodPlanksHeight(), 18.0f);
}

Image darkWood() {
    return fill(256, [](float u, float v) {
        float grain = woodGrain(u, v, 23);
        return mix(float4{0.16f, 0.10f, 0.06f, 1}, float4{0.30f, 0.19f, 0.11f, 1}, grain);
    });
}

// Courses of stones of random length, offset from course to course, in mortar.
struct Stone {
    uint32_t id;
    float inside; // 0 in the mortar, rising to 1 towards the stone's middle
};

Stone stoneAt(float u, float v) {
    constexpr int COURSES = 6;
    int course = std::min(COURSES - 1, int(v * COURSES));
    Random random(0x57073 + uint64_t(course) * 104729);
    float offset = random.uniform();
    // Four to six stones per course with widths that add up to one, so the pattern tiles.
    int count = 4 + int(random.uniform() * 3.0f);
    float widths[6] = {}, total = 0;
    for (int i = 0; i < count; ++i) {
        widths[i] = random.range(0.6f, 1.4f);
        total += widths[i];
    }
    float along = u + offset - std::floor(u + offset), start = 0;
    int index = 0;
    while (index < count - 1 && along > start + widths[index] / total) {
        start += widths[index] / total;
        ++index;
    }
    float end = start + widths[index] / total;
    float across = v * COURSES - float(course);
    float distance = std::min({across, 1.0f - across, (along - start) * COURSES, (end - along) * COURSES});
    return {uint32_t(course * 8 + index), smoothstep(0.03f, 0.22f, distance)};
}

Image stoneWall() {
    return fill(512, [](float u, float v) {
        Stone stone = stoneAt(u, v);
        Random random(0xC0B + uint64_t(stone.id));
        float tone = random.range(0.75f, 1.15f);
        float speckle = fractalNoise(u, v, 16, 16, 4, 41);
        float4 rock = shade(float4{0.47f, 0.44f, 0.40f, 1}, tone * (0.75f + 0.5f * speckle));
        float4 mortar = shade(float4{0.36f, 0.33f, 0.29f, 1}, 0.8f + 0.4f * speckle);
        return mix(mortar, rock, smoothstep(0.0f, 0.3f, stone.inside));
    });
}

Image stoneWallNormal() {
    Image height = fill(512, [](float u, float v) {
        float h = stoneAt(u, v).inside * 0.8f + fractalNoise(u, v, 16, 16, 4, 41) * 0.2f;
        return float4{h, h, h, 1};
    });
    return normalsFromHeight(height, 10.0f);
}

// A woven check of wine red, green and cream threads; alpha marks the gaps between threads.
Image cloth() {
    return fill(256, [](float u, float v) {
        auto stripe = [](float t) {
            float s = t * 8.0f - std::floor(t * 8.0f);
            return s < 0.45f ? float4{0.45f, 0.08f, 0.10f, 1}
                             : (s < 0.8f ? float4{0.12f, 0.25f, 0.14f, 1} : float4{0.80f, 0.72f, 0.55f, 1});
        };
        float weave = 0.5f + 0.5f * std::sin(u * 2.0f * PI * 128.0f) * std::sin(v * 2.0f * PI * 128.0f);
        float4 warp = stripe(u), weft = stripe(v);
        float4 colour = mix(warp, weft, 0.5f);
        colour = shade(colour, 0.85f + 0.3f * weave);
        colour.w = 0.8f + 0.2f * weave;
        return colour;
    });
}

// glTF channels: green roughness, blue metalness. Rust patches are rough and hardly metallic.
Image ironMetalRoughness() {
    return fill(128, [](float u, float v) {
        float rust = smoothstep(0.55f, 0.7f, fractalNoise(u, v, 4, 4, 4, 71));
        float roughness = lerp(0.35f + 0.2f * fractalNoise(u, v, 16, 16, 2, 73), 0.9f, rust);
        return float4{1.0f, roughness, lerp(1.0f, 0.25f, rust), 1.0f};
    });
}

// A flame-like glow: brightest in a soft column in the middle, flickering with the noise.
Image lanternGlow() {
    return fill(64, [](float u, float v) {
        float column = std::exp(-std::pow((u - 0.5f) * 5.0f, 2.0f));
        float flicker = 0.75f + 0.25f * fractalNoise(u, v, 4, 4, 3, 97);
        float heat = clamp01(column * flicker * (1.1f - 0.5f * v));
        return float4{clamp01(0.35f + heat), clamp01(0.2f + heat * 0.8f), clamp01(0.05f + heat * 0.45f), 1};
    });
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

const std::vector<TextureSource>& textureSources() {
    static const std::vector<TextureSource> sources = {
        {"textures/wood%20planks.png", DdsFormat::BC1_UNORM_SRGB, MipFilter::Color, woodPlanks},
        {"textures/wood%20planks%20normal.png", DdsFormat::BC5_UNORM, MipFilter::Normal, woodPlanksNormal},
        {"textures/dark_wood.png", DdsFormat::BC1_UNORM_SRGB, MipFilter::Color, darkWood},
        {"textures/stone_wall.png", DdsFormat::BC1_UNORM_SRGB, MipFilter::Color, stoneWall},
        {"textures/stone_wall_normal.png", DdsFormat::BC5_UNORM, MipFilter::Normal, stoneWallNormal},
        {"textures/cloth.png", DdsFormat::BC3_UNORM_SRGB, MipFilter::Color, cloth},
        {"textures/iron_metal_roughness.png", DdsFormat::R8G8B8A8_UNORM, MipFilter::Linear,
         ironMetalRoughness},
        {"textures/lantern_glow.png", DdsFormat::R8G8B8A8_UNORM, MipFilter::Linear, lanternGlow},
    };
    return sources;
}

std::filesystem::path imagePathFor(const std::filesystem::path& sceneFolder, const std::string& uri) {
    std::string decoded;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hexValue(uri[i + 1]) >= 0 && hexValue(uri[i + 2]) >= 0) {
            decoded += char(hexValue(uri[i + 1]) * 16 + hexValue(uri[i + 2]));
            i += 2;
        } else {
            decoded += uri[i];
        }
    }
    return sceneFolder / decoded;
}

std::filesystem::path ddsPathFor(const std::filesystem::path& sceneFolder, const std::string& uri) {
    return imagePathFor(sceneFolder, uri).replace_extension("dds");
}

} // namespace sample
