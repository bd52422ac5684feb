// Every image of the scene has a DDS file where the loader looks for it, with a header that matches its data.
#include "SampleData.h"

#include "DdsWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace sample_test;

namespace {

struct FormatInfo {
    uint32_t blockBytes; // 0 for a plain format
    uint32_t bitsPerTexel;
};

const std::map<uint32_t, FormatInfo> KNOWN_FORMATS = {
    {28, {0, 32}}, {29, {0, 32}}, {71, {8, 0}},  {72, {8, 0}},  {77, {16, 0}},
    {78, {16, 0}}, {80, {8, 0}},  {83, {16, 0}}, {98, {16, 0}}, {99, {16, 0}},
};

uint64_t levelBytes(uint32_t width, uint32_t height, const FormatInfo& format) {
    if (format.blockBytes == 0) {
        return (uint64_t(width) * format.bitsPerTexel + 7) / 8 * height;
    }
    return uint64_t(std::max(1u, (width + 3) / 4)) * std::max(1u, (height + 3) / 4) * format.blockBytes;
}

} // namespace

TEST(SampleTextures, EveryImageHasADdsFileConsistentWithItsMipChain) {
    const nlohmann::json& gltf = sampleGltf().json;
    ASSERT_FALSE(gltf["images"].empty());
    std::set<bool> compressed;
    bool percentEncoded = false;
    for (const nlohmann::json& image : gltf["images"]) {
        const std::string uri = image["uri"];
        percentEncoded |= uri.find("%20") != std::string::npos;
        const std::filesystem::path path = (sceneFolder() / decodeUri(uri)).replace_extension("dds");
        SCOPED_TRACE(path.string());
        ASSERT_TRUE(std::filesystem::exists(path));
        const std::vector<uint8_t> file = readFile(path);
        ASSERT_GE(file.size(), 148u);
        EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "DDS ");
        EXPECT_EQ(readU32(file, 4), 124u);
        ASSERT_NE(readU32(file, 80) & 0x4, 0u) << "FourCC flag";
        ASSERT_EQ(std::string(file.begin() + 84, file.begin() + 88), "DX10");
        const uint32_t height = readU32(file, 12), width = readU32(file, 16), mips = readU32(file, 28);
        const uint32_t format = readU32(file, 128);
        ASSERT_TRUE(KNOWN_FORMATS.count(format)) << "format " << format;
        EXPECT_EQ(readU32(file, 132), 3u) << "2D texture";
        EXPECT_EQ(readU32(file, 140), 1u) << "array size";
        const FormatInfo& info = KNOWN_FORMATS.at(format);
        compressed.insert(info.blockBytes != 0);
        if (info.blockBytes != 0) {
            EXPECT_EQ(width % 4, 0u);
            EXPECT_EQ(height % 4, 0u);
        }
        uint32_t fullChain = 1;
        while ((std::max(width, height) >> fullChain) != 0) {
            ++fullChain;
        }
        EXPECT_EQ(mips, fullChain);
        uint64_t expected = 148;
        for (uint32_t level = 0; level < mips; ++level) {
            expected += levelBytes(std::max(1u, width >> level), std::max(1u, height >> level), info);
        }
        EXPECT_EQ(file.size(), expected);
    }
    EXPECT_EQ(compressed, (std::set<bool>{false, true})) << "both block-compressed and plain formats";
    EXPECT_TRUE(percentEncoded);
}

// Decoders written from the block layouts, independent of the encoders they check.
namespace {

std::array<float, 3> decode565(uint16_t c) {
    return {float(c >> 11) / 31.0f, float((c >> 5) & 63) / 63.0f, float(c & 31) / 31.0f};
}

std::array<std::array<float, 3>, 16> decodeBc1(const uint8_t block[8]) {
    const uint16_t c0 = uint16_t(block[0] | block[1] << 8), c1 = uint16_t(block[2] | block[3] << 8);
    const auto a = decode565(c0), b = decode565(c1);
    std::array<std::array<float, 3>, 4> palette{a, b};
    for (size_t k = 0; k < 3; ++k) {
        if (c0 > c1) {
            palette[2][k] = (2 * a[k] + b[k]) / 3, palette[3][k] = (a[k] + 2 * b[k]) / 3;
        } else {
            palette[2][k] = (a[k] + b[k]) / 2, palette[3][k] = 0;
        }
    }
    const uint32_t indices = readU32(std::vector<uint8_t>(block + 4, block + 8), 0);
    std::array<std::array<float, 3>, 16> texels;
    for (size_t i = 0; i < 16; ++i) {
        texels[i] = palette[(indices >> (2 * i)) & 3];
    }
    return texels;
}

std::array<float, 16> decodeBc4(const uint8_t block[8]) {
    const float r0 = block[0], r1 = block[1];
    float palette[8] = {r0, r1};
    for (int k = 2; k < 8; ++k) {
        palette[k] = block[0] > block[1] ? (float(8 - k) * r0 + float(k - 1) * r1) / 7
                     : k < 6             ? (float(6 - k) * r0 + float(k - 1) * r1) / 5
                                         : (k == 6 ? 0.0f : 255.0f);
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= uint64_t(block[2 + i]) << (8 * i);
    }
    std::array<float, 16> values;
    for (size_t i = 0; i < 16; ++i) {
        values[i] = palette[(bits >> (3 * i)) & 7] / 255.0f;
    }
    return values;
}

} // namespace

TEST(SampleTextures, BlockEncodersReproduceTheirBlocks) {
    struct Case {
        const char* name;
        sample::float4 (*texel)(int i);
    };
    const Case cases[] = {
        {"flat",
         [](int) {
             return sample::float4{0.4f, 0.3f, 0.2f, 1};
         }},
        {"gradient",
         [](int i) {
             return sample::float4{float(i) / 15, 0.5f, 1 - float(i) / 15, float(i % 4) / 3};
         }},
        {"two tones",
         [](int i) {
             return i % 2 ? sample::float4{0.9f, 0.8f, 0.1f, 0} : sample::float4{0.1f, 0.2f, 0.6f, 1};
         }},
        {"grey ramp",
         [](int i) {
             return sample::float4{float(i) / 15, float(i) / 15, float(i) / 15, 0.5f};
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sample::float4 texels[16];
        float alpha[16];
        for (int i = 0; i < 16; ++i) {
            sample::float4 t = c.texel(i);
            texels[i] = {t.x, t.y, t.z, t.w};
            alpha[i] = t.w;
        }
        uint8_t bc1[8], bc4[8];
        sample::encodeBc1Block(texels, bc1);
        sample::encodeBc4Block(alpha, bc4);
        // Four-colour mode (or one colour), so no texel turns black or transparent.
        EXPECT_TRUE((bc1[0] | bc1[1] << 8) > (bc1[2] | bc1[3] << 8) ||
                    (bc1[0] == bc1[2] && bc1[1] == bc1[3] && bc1[4] == 0 && bc1[5] == 0 && bc1[6] == 0 &&
                     bc1[7] == 0));
        // Four palette colours a third of the range apart leave at most a sixth of it, plus rounding to
        // 5:6:5; eight alpha values leave a fourteenth.
        const float colourTolerance = 1.0f / 6 + 1.0f / 62, alphaTolerance = 1.0f / 14 + 0.01f;
        const auto colours = decodeBc1(bc1);
        const auto values = decodeBc4(bc4);
        for (size_t i = 0; i < 16; ++i) {
            EXPECT_NEAR(colours[i][0], texels[i].x, colourTolerance) << i;
            EXPECT_NEAR(colours[i][1], texels[i].y, colourTolerance) << i;
            EXPECT_NEAR(colours[i][2], texels[i].z, colourTolerance) << i;
            EXPECT_NEAR(values[i], alpha[i], alphaTolerance) << i;
        }
    }
}
