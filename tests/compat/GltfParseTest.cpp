#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using namespace fixture;

namespace {

const std::vector<float> trianglePositions = {0, 0, 0, 1, 0, 0, 0, 1, 0};

GltfBuilder triangle() {
    GltfBuilder builder;
    int positions = builder.addData(trianglePositions, "VEC3");
    int indices = builder.addIndices(std::vector<uint16_t>{0, 1, 2});
    builder.addMesh(Json::array({primitive({{"POSITION", positions}}, indices)}));
    return builder;
}

std::vector<float> unpackPositions(const cgltf_data& data) {
    const cgltf_accessor* accessor =
        cgltf_find_accessor(&data.meshes[0].primitives[0], cgltf_attribute_type_position, 0);
    std::vector<float> floats(cgltf_accessor_unpack_floats(accessor, nullptr, 0));
    cgltf_accessor_unpack_floats(accessor, floats.data(), floats.size());
    return floats;
}

std::string testName() {
    return ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

} // namespace

TEST(GltfParse, EveryBufferSourceGivesTheSameData) {
    TempFolder folder(testName());
    GltfBuilder builder = triangle();
    folder.write("scene.bin", builder.bin);
    struct Case {
        const char* name;
        std::string path;
        cgltf_file_type type;
    } cases[] = {
        {"external file", folder.write("external.gltf", builder.json(BufferStorage::File)),
         cgltf_file_type_gltf},
        {"data URI", folder.write("embedded.gltf", builder.json(BufferStorage::DataUri)),
         cgltf_file_type_gltf},
        {"GLB chunk", folder.write("binary.glb", builder.glb()), cgltf_file_type_glb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded loaded = loadFromFile(c.path);
        ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
        EXPECT_EQ(loaded.data->file_type, c.type);
        EXPECT_EQ(unpackPositions(*loaded.data), trianglePositions);
    }
}

TEST(GltfParse, FilesOfSeveralMegabytesArriveWholeAndReleaseEarly) {
    // Large files are read into blocks of their own: every byte arrives, and a buffer's bytes can be freed
    // through the data's memory options before the rest of the data.
    TempFolder folder(testName());
    std::vector<float> positions(3 * 400000);
    for (size_t i = 0; i < positions.size(); ++i)
        positions[i] = float(i % 1000) * 0.25f + float(i / 1000);
    GltfBuilder builder;
    builder.addMesh(Json::array({primitive({{"POSITION", builder.addData(positions, "VEC3")}})}));
    folder.write("big.bin", builder.bin);
    for (const std::string& path : {folder.write("big.gltf", builder.json(BufferStorage::File, "big.bin")),
                                    folder.write("big.glb", builder.glb())}) {
        SCOPED_TRACE(path);
        Loaded loaded = loadFromFile(path);
        ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
        EXPECT_EQ(unpackPositions(*loaded.data), positions);
        cgltf_buffer& buffer = loaded.data->buffers[0];
        if (buffer.data_free_method == cgltf_data_free_method_memory_free) {
            loaded.data->memory.free_func(loaded.data->memory.user_data, buffer.data);
            buffer.data = nullptr;
        }
        EXPECT_EQ(loaded.data->accessors[0].count, 400000u);
    }
}

TEST(GltfParse, BufferFileNamesArePercentDecodedAndFoundBesideTheFile) {
    TempFolder folder(testName());
    GltfBuilder builder = triangle();
    folder.write("sub/my buffer.bin", builder.bin);
    Loaded loaded =
        loadFromFile(folder.write("sub/scene.gltf", builder.json(BufferStorage::File, "my%20buffer.bin")));
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
    EXPECT_EQ(unpackPositions(*loaded.data), trianglePositions);
}

TEST(GltfParse, BackslashSeparatesTheFolderOfTheGltfPath) {
    TempFolder folder(testName());
    GltfBuilder builder = triangle();
    // On this platform a backslash is a file-name character, so the file the loader must open is literally
    // named "sub\scene.bin" in the folder: proof that the path was cut at the backslash.
    folder.write("sub\\scene.bin", builder.bin);
    cgltf_options options = {};
    std::string text = builder.json(BufferStorage::File);
    cgltf_data* parsed = nullptr;
    ASSERT_EQ(cgltf_parse(&options, text.data(), text.size(), &parsed), cgltf_result_success);
    Loaded loaded = finishLoading(parsed, (folder.path / "sub\\scene.gltf").string());
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
    EXPECT_EQ(unpackPositions(*loaded.data), trianglePositions);
}

TEST(GltfParse, DecodeUriReplacesOnlyPercentAndTwoHexDigits) {
    struct Case {
        const char* uri;
        const char* decoded;
    } cases[] = {
        {"a%20b.png", "a b.png"}, {"%41%4a%4A", "AJJ"}, {"%zz.png", "%zz.png"}, {"%2", "%2"}, {"%", "%"},
        {"100%", "100%"},         {"%%41", "%A"},       {"%4g", "%4g"},         {"", ""},
    };
    for (const Case& c : cases) {
        std::string uri = c.uri;
        size_t length = cgltf_decode_uri(uri.data());
        EXPECT_EQ(std::string(uri.c_str()), c.decoded) << c.uri;
        EXPECT_EQ(length, std::strlen(c.decoded)) << c.uri;
    }
}

TEST(GltfParse, DefaultSceneOnlyWithSceneKey) {
    GltfBuilder builder = triangle();
    builder.addNode({{"mesh", 0}});
    builder.root["scenes"] = Json::array({{{"nodes", {0}}}, {{"nodes", Json::array()}}});
    Loaded withoutKey = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(withoutKey.failedStep, Step::None);
    EXPECT_EQ(withoutKey.data->scenes_count, 2u);
    EXPECT_EQ(withoutKey.data->scene, nullptr);

    builder.root["scene"] = 1;
    Loaded withKey = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(withKey.failedStep, Step::None);
    EXPECT_EQ(withKey.data->scene, &withKey.data->scenes[1]);
    EXPECT_EQ(withKey.data->scenes[0].nodes[0], &withKey.data->nodes[0]);
}

TEST(GltfParse, MaterialsTakeTheGltfDefaults) {
    GltfBuilder builder;
    builder.root["images"] = Json::array({{{"uri", "wood%20grain.png"}}, {{"bufferView", 0}}});
    builder.addView(std::vector<uint8_t>{1, 2, 3, 4});
    builder.root["textures"] = Json::array({{{"source", 0}}, {{"source", 1}}, Json::object()});
    builder.addMaterial();
    builder.addMaterial(
        {{"pbrMetallicRoughness", {{"metallicFactor", 0.25}, {"baseColorTexture", {{"index", 1}}}}},
         {"normalTexture", {{"index", 0}, {"scale", 0.5}}},
         {"emissiveFactor", {1, 0.5, 0}}});
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
    const cgltf_data& data = *loaded.data;

    const cgltf_material& plain = data.materials[0];
    EXPECT_FALSE(plain.has_pbr_metallic_roughness);
    for (float channel : plain.pbr_metallic_roughness.base_color_factor)
        EXPECT_EQ(channel, 1.0f);
    EXPECT_EQ(plain.pbr_metallic_roughness.metallic_factor, 1.0f);
    EXPECT_EQ(plain.pbr_metallic_roughness.roughness_factor, 1.0f);
    EXPECT_EQ(plain.normal_texture.texture, nullptr);
    EXPECT_EQ(plain.emissive_factor[0], 0.0f);

    const cgltf_material& textured = data.materials[1];
    EXPECT_TRUE(textured.has_pbr_metallic_roughness);
    EXPECT_EQ(textured.pbr_metallic_roughness.metallic_factor, 0.25f);
    EXPECT_EQ(textured.pbr_metallic_roughness.roughness_factor, 1.0f);
    EXPECT_EQ(textured.pbr_metallic_roughness.base_color_factor[3], 1.0f);
    EXPECT_EQ(textured.pbr_metallic_roughness.base_color_texture.texture, &data.textures[1]);
    EXPECT_EQ(textured.pbr_metallic_roughness.metallic_roughness_texture.texture, nullptr);
    EXPECT_EQ(textured.normal_texture.texture, &data.textures[0]);
    EXPECT_EQ(textured.normal_texture.scale, 0.5f);
    EXPECT_EQ(textured.emissive_factor[1], 0.5f);

    EXPECT_STREQ(data.images[0].uri, "wood%20grain.png"); // kept as written; users decode a copy
    EXPECT_EQ(data.images[1].uri, nullptr);
    EXPECT_EQ(data.images[1].buffer_view, &data.buffer_views[0]);
    EXPECT_EQ(data.textures[0].image, &data.images[0]);
    EXPECT_EQ(data.textures[2].image, nullptr);
}

TEST(GltfParse, AttributesKeepFileOrderWithTheirSetIndices) {
    GltfBuilder builder;
    int uv = builder.addData(std::vector<float>{0, 0, 1, 0, 0, 1}, "VEC2");
    int positions = builder.addData(trianglePositions, "VEC3");
    builder.addMesh(Json::array({primitive({{"TEXCOORD_1", uv}, {"POSITION", positions}, {"_BATCH", uv}})}));
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None);
    const cgltf_primitive& prim = loaded.data->meshes[0].primitives[0];
    ASSERT_EQ(prim.attributes_count, 3u);
    EXPECT_EQ(prim.attributes[0].type, cgltf_attribute_type_texcoord);
    EXPECT_EQ(prim.attributes[0].index, 1);
    EXPECT_EQ(prim.attributes[1].type, cgltf_attribute_type_position);
    EXPECT_EQ(prim.attributes[2].type, cgltf_attribute_type_custom);
    EXPECT_EQ(prim.type, cgltf_primitive_type_triangles);
    EXPECT_EQ(prim.indices, nullptr);
    EXPECT_EQ(cgltf_find_accessor(&prim, cgltf_attribute_type_texcoord, 0), nullptr);
    EXPECT_EQ(cgltf_find_accessor(&prim, cgltf_attribute_type_texcoord, 1), &loaded.data->accessors[uv]);
    EXPECT_EQ(cgltf_find_accessor(&prim, cgltf_attribute_type_position, 0),
              &loaded.data->accessors[positions]);
}

TEST(GltfParse, AttributeNamesGiveKindAndSetIndex) {
    // A set index that is negative or does not fit makes the name invalid; the file still loads.
    struct Case {
        const char* name;
        cgltf_attribute_type type;
        cgltf_int index;
    } cases[] = {
        {"POSITION", cgltf_attribute_type_position, 0},
        {"TEXCOORD_0", cgltf_attribute_type_texcoord, 0},
        {"TEXCOORD_12", cgltf_attribute_type_texcoord, 12},
        {"COLOR_1", cgltf_attribute_type_color, 1},
        {"TEXCOORD_2147483647", cgltf_attribute_type_texcoord, INT_MAX},
        {"TEXCOORD_ 3", cgltf_attribute_type_texcoord, 3},
        {"TEXCOORD_+4x", cgltf_attribute_type_texcoord, 4},
        {"COLOR_\t-0", cgltf_attribute_type_color, 0},
        {"TEXCOORD_-1", cgltf_attribute_type_invalid, 0},
        {"JOINTS_-7", cgltf_attribute_type_invalid, 0},
        {"TEXCOORD_2147483648", cgltf_attribute_type_invalid, 0},
        {"TEXCOORD_4294967296", cgltf_attribute_type_invalid, 0},
        {"TEXCOORD_99999999999999999999999", cgltf_attribute_type_invalid, 0},
        {"SHININESS", cgltf_attribute_type_invalid, 0},
        {"_WEIGHT_-1", cgltf_attribute_type_custom, 0},
    };
    GltfBuilder builder;
    int uv = builder.addData(std::vector<float>{0, 0, 1, 0, 0, 1}, "VEC2");
    Json attributes = Json::object();
    for (const Case& c : cases)
        attributes[c.name] = uv;
    builder.addMesh(Json::array({primitive(attributes)}));
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
    const cgltf_primitive& prim = loaded.data->meshes[0].primitives[0];
    ASSERT_EQ(prim.attributes_count, std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_STREQ(prim.attributes[i].name, cases[i].name);
        EXPECT_EQ(prim.attributes[i].type, cases[i].type);
        EXPECT_EQ(prim.attributes[i].index, cases[i].index);
    }
}

TEST(GltfParse, NumbersRoundToTheNearestFloat) {
    // Writers print FLT_MAX as 3.4028235e38, a little above it; only from the midpoint between FLT_MAX and
    // 2^128 on does a number overflow.
    const double midpoint = 0x1.ffffffp127;
    struct Case {
        double number;
        float expected;
    } cases[] = {
        {3.4028235e38, FLT_MAX},
        {-3.4028235e38, -FLT_MAX},
        {std::nextafter(midpoint, 0.0), FLT_MAX},
        {midpoint, INFINITY},
        {3.5e38, INFINITY},
        {-1e300, -INFINITY},
        {0.1, 0.1f},
        {1e-50, 0.0f},
    };
    GltfBuilder builder;
    for (const Case& c : cases)
        builder.addNode({{"translation", {c.number, 0, 0}}});
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(loaded.data->nodes[i].translation[0], cases[i].expected) << cases[i].number;
}

TEST(GltfParse, GlbChunksEndWhereTheDataEndsNotWhereTheHeaderSays) {
    // A header length that stops short of the data hides no chunk: wherever it ends (within the JSON chunk,
    // before the BIN chunk's header, within that header or within the BIN data), the chunk loads whole.
    const std::vector<uint8_t> whole = triangle().glb();
    uint32_t jsonLength = 0;
    std::memcpy(&jsonLength, &whole[12], 4);
    const uint32_t binHeader = 20 + jsonLength;
    for (uint32_t shortLength : {20u, binHeader, binHeader + 4, binHeader + 8 + 1}) {
        SCOPED_TRACE(shortLength);
        std::vector<uint8_t> glb = whole;
        std::memcpy(&glb[8], &shortLength, 4);
        Loaded loaded = loadFromMemory(glb);
        ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
        EXPECT_EQ(unpackPositions(*loaded.data), trianglePositions);
    }
}

TEST(GltfParse, ChildrenKnowTheirParent) {
    GltfBuilder builder;
    builder.addNode({{"children", {1, 2}}});
    builder.addNode(Json::object());
    builder.addNode({{"children", {3}}});
    builder.addNode(Json::object());
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    ASSERT_EQ(loaded.failedStep, Step::None);
    const cgltf_node* nodes = loaded.data->nodes;
    EXPECT_EQ(nodes[0].parent, nullptr);
    EXPECT_EQ(nodes[1].parent, &nodes[0]);
    EXPECT_EQ(nodes[2].parent, &nodes[0]);
    EXPECT_EQ(nodes[3].parent, &nodes[2]);
    ASSERT_EQ(nodes[0].children_count, 2u);
    EXPECT_EQ(nodes[0].children[1], &nodes[2]);
}
