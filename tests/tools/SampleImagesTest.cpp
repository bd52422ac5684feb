// The images the scene's URIs name exist beside the DDS files the renderer loads, so that other glTF tools
// open the scene: each is a PNG file that libpng, an independent decoder, reads without error, of its
// texture's size and, where the DDS file stores plain texels, of its texels.
#include "SampleData.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <memory>

using namespace sample_test;

namespace {

struct DecodedPng {
    bool ok = false;
    std::string message; // libpng's error or warning
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> rgba; // 8 bits per channel, row after row
};

// The simplified API of libpng checks the signature, every chunk's CRC, the zlib stream and its checksum, and
// that the image data fills the image.
DecodedPng decodePng(const std::filesystem::path& path) {
    DecodedPng decoded;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) != 0) {
        image.format = PNG_FORMAT_RGBA;
        decoded.rgba.resize(PNG_IMAGE_SIZE(image));
        decoded.width = image.width;
        decoded.height = image.height;
        decoded.ok = png_image_finish_read(&image, nullptr, decoded.rgba.data(), 0, nullptr) != 0;
    }
    // Warnings count too: a valid file raises none.
    decoded.ok = decoded.ok && image.warning_or_error == 0;
    decoded.message = image.message;
    png_image_free(&image);
    return decoded;
}

TEST(SampleImages, EveryImageUriNamesAWellFormedPngOfItsTexture) {
    const nlohmann::json& gltf = sampleGltf().json;
    ASSERT_FALSE(gltf["images"].empty());
    int comparedTexels = 0;
    for (const nlohmann::json& image : gltf["images"]) {
        ASSERT_TRUE(image.contains("uri"));
        const std::string uri = image["uri"];
        const std::filesystem::path path = sceneFolder() / decodeUri(uri);
        SCOPED_TRACE(path.string());
        ASSERT_TRUE(std::filesystem::is_regular_file(path));
        EXPECT_EQ(path.extension(), ".png");
        EXPECT_FALSE(image.contains("mimeType")) << "a URI's image type comes from its file";

        const DecodedPng png = decodePng(path);
        ASSERT_TRUE(png.ok) << png.message;
        const std::vector<uint8_t> dds = readFile(std::filesystem::path(path).replace_extension("dds"));
        ASSERT_GE(dds.size(), 148u);
        EXPECT_EQ(png.width, readU32(dds, 16));
        EXPECT_EQ(png.height, readU32(dds, 12));
        // R8G8B8A8_UNORM: the DDS file's top level holds the same texels.
        if (readU32(dds, 128) == 28) {
            const size_t bytes = size_t(png.width) * png.height * 4;
            ASSERT_GE(dds.size(), 148 + bytes);
            EXPECT_TRUE(std::equal(png.rgba.begin(), png.rgba.end(), dds.begin() + 148));
            comparedTexels += 1;
        }
    }
    EXPECT_GT(comparedTexels, 0);
}

} // namespace
