#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace fixture;

namespace {

std::vector<float> unpack(const cgltf_accessor& accessor) {
    std::vector<float> floats(cgltf_accessor_unpack_floats(&accessor, nullptr, 0), -99.0f);
    EXPECT_EQ(cgltf_accessor_unpack_floats(&accessor, floats.data(), floats.size()), floats.size());
    return floats;
}

Loaded load(const GltfBuilder& builder) {
    Loaded loaded = loadFromMemory(builder.json(BufferStorage::DataUri));
    EXPECT_EQ(loaded.failedStep, Step::None) << loaded.result;
    return loaded;
}

template <typename T> std::vector<uint8_t> bytesOf(const std::vector<T>& values) {
    std::vector<uint8_t> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

} // namespace

TEST(GltfAccessors, EveryComponentTypeUnpacksPlainAndNormalised) {
    struct Case {
        int componentType;
        std::vector<uint8_t> bytes;
        bool normalized;
        std::vector<float> expected;
    } cases[] = {
        {GL_BYTE, bytesOf<int8_t>({-128, -127, 0, 127}), true, {-1, -1, 0, 1}},
        {GL_BYTE, bytesOf<int8_t>({-128, -1, 0, 127}), false, {-128, -1, 0, 127}},
        {GL_UNSIGNED_BYTE, bytesOf<uint8_t>({0, 51, 255, 1}), true, {0, 0.2f, 1, 1 / 255.0f}},
        {GL_UNSIGNED_BYTE, bytesOf<uint8_t>({0, 51, 255, 1}), false, {0, 51, 255, 1}},
        {GL_SHORT, bytesOf<int16_t>({-32768, -32767, 0, 32767}), true, {-1, -1, 0, 1}},
        {GL_SHORT, bytesOf<int16_t>({-32768, -2, 0, 32767}), false, {-32768, -2, 0, 32767}},
        {GL_UNSIGNED_SHORT, bytesOf<uint16_t>({0, 65535, 13107, 1}), true, {0, 1, 0.2f, 1 / 65535.0f}},
        {GL_UNSIGNED_SHORT, bytesOf<uint16_t>({0, 65535, 7, 1}), false, {0, 65535, 7, 1}},
        {GL_UNSIGNED_INT, bytesOf<uint32_t>({0, 1, 70000, 16777216}), false, {0, 1, 70000, 16777216}},
        {GL_FLOAT, bytesOf<float>({-1.5f, 0, 2.25f, 1e30f}), false, {-1.5f, 0, 2.25f, 1e30f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.componentType << (c.normalized ? " normalised" : ""));
        GltfBuilder builder;
        builder.addAccessor(builder.addView(c.bytes), c.componentType, 1, "VEC4", 0, c.normalized);
        Loaded loaded = load(builder);
        std::vector<float> floats = unpack(loaded.data->accessors[0]);
        ASSERT_EQ(floats.size(), 4u);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_FLOAT_EQ(floats[i], c.expected[i]) << i;
    }
}

TEST(GltfAccessors, ByteStrideAndOffsetSelectInterleavedValues) {
    // Two vertices of position (3 floats) then texcoord (2 floats): 20 bytes apart.
    std::vector<float> interleaved = {1, 2, 3, 0.5f, 0.25f, 4, 5, 6, 0.75f, 1};
    GltfBuilder builder;
    int view = builder.addView(interleaved, 20);
    builder.addAccessor(view, GL_FLOAT, 2, "VEC3");
    builder.addAccessor(view, GL_FLOAT, 2, "VEC2", 12);
    Loaded loaded = load(builder);
    EXPECT_EQ(loaded.data->accessors[0].stride, 20u);
    EXPECT_EQ(unpack(loaded.data->accessors[0]), (std::vector<float>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(unpack(loaded.data->accessors[1]), (std::vector<float>{0.5f, 0.25f, 0.75f, 1}));
}

TEST(GltfAccessors, MatrixColumnsOfSmallComponentsArePadded) {
    // MAT2 of bytes: each 2-byte column starts on a 4-byte boundary.
    GltfBuilder builder;
    builder.addAccessor(builder.addView(std::vector<uint8_t>{1, 2, 0, 0, 3, 4, 0, 0}), GL_UNSIGNED_BYTE, 1,
                        "MAT2");
    // MAT3 of shorts: 6-byte columns padded to 8.
    builder.addAccessor(builder.addView(std::vector<int16_t>{1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0}), GL_SHORT,
                        1, "MAT3");
    Loaded loaded = load(builder);
    EXPECT_EQ(unpack(loaded.data->accessors[0]), (std::vector<float>{1, 2, 3, 4}));
    EXPECT_EQ(unpack(loaded.data->accessors[1]), (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(GltfAccessors, SparseValuesReplaceBaseOrZeros) {
    GltfBuilder builder;
    int base = builder.addView(std::vector<float>{1, 2, 3, 4});
    int positions = builder.addView(std::vector<uint16_t>{3, 1});
    int values = builder.addView(std::vector<float>{40, 20});
    Json sparse = {{"count", 2},
                   {"indices", {{"bufferView", positions}, {"componentType", GL_UNSIGNED_SHORT}}},
                   {"values", {{"bufferView", values}}}};
    builder.addAccessor({{"bufferView", base},
                         {"componentType", GL_FLOAT},
                         {"count", 4},
                         {"type", "SCALAR"},
                         {"sparse", sparse}});
    builder.addAccessor({{"componentType", GL_FLOAT}, {"count", 5}, {"type", "SCALAR"}, {"sparse", sparse}});
    Loaded loaded = load(builder);
    EXPECT_TRUE(loaded.data->accessors[0].is_sparse);
    EXPECT_EQ(unpack(loaded.data->accessors[0]), (std::vector<float>{1, 20, 3, 40}));
    EXPECT_EQ(unpack(loaded.data->accessors[1]), (std::vector<float>{0, 20, 0, 40, 0}));
}

TEST(GltfAccessors, UnpackingStopsAtWholeElementsAndTheAvailableCount) {
    GltfBuilder builder;
    builder.addData(std::vector<float>{1, 2, 3, 4, 5, 6}, "VEC3");
    Loaded loaded = load(builder);
    const cgltf_accessor& accessor = loaded.data->accessors[0];
    std::vector<float> out(10, -1.0f);
    EXPECT_EQ(cgltf_accessor_unpack_floats(&accessor, out.data(), 5), 3u);
    EXPECT_EQ(out, (std::vector<float>{1, 2, 3, -1, -1, -1, -1, -1, -1, -1}));
    EXPECT_EQ(cgltf_accessor_unpack_floats(&accessor, out.data(), out.size()), 6u);
    EXPECT_EQ(out[5], 6.0f);
    EXPECT_EQ(out[6], -1.0f);
}

TEST(GltfAccessors, IndicesOfEveryWidthWidenToTheOutputSize) {
    GltfBuilder builder;
    builder.addIndices(std::vector<uint8_t>{0, 200, 7});
    builder.addIndices(std::vector<uint16_t>{0, 60000, 7});
    builder.addIndices(std::vector<uint32_t>{0, 4000000000u, 7});
    builder.addAccessor(builder.addView(std::vector<uint16_t>{9, 0, 8, 0, 7}), GL_UNSIGNED_SHORT, 3,
                        "SCALAR");
    builder.root["bufferViews"].back()["byteStride"] = 4;
    Loaded loaded = load(builder);
    const cgltf_accessor* accessors = loaded.data->accessors;
    const std::vector<uint32_t> expected[] = {{0, 200, 7}, {0, 60000, 7}, {0, 4000000000u, 7}, {9, 8, 7}};
    for (int a = 0; a < 4; ++a) {
        std::vector<uint32_t> wide(3, 0xDEADBEEF);
        EXPECT_EQ(cgltf_accessor_unpack_indices(&accessors[a], wide.data(), 4, 3), 3u) << a;
        EXPECT_EQ(wide, expected[a]) << a;
    }
    std::vector<uint16_t> narrow(3);
    EXPECT_EQ(cgltf_accessor_unpack_indices(&accessors[0], narrow.data(), 2, 3), 3u);
    EXPECT_EQ(narrow, (std::vector<uint16_t>{0, 200, 7}));
    EXPECT_EQ(cgltf_accessor_unpack_indices(&accessors[1], nullptr, 4, 3), 3u); // no output: the count
}

TEST(GltfAccessors, SparseIndicesAndIndicesWithoutAViewUnpackNothing) {
    GltfBuilder builder;
    int positions = builder.addView(std::vector<uint8_t>{1});
    int values = builder.addView(std::vector<uint8_t>{2});
    builder.addAccessor({{"bufferView", builder.addView(std::vector<uint8_t>{0, 1, 0})},
                         {"componentType", GL_UNSIGNED_BYTE},
                         {"count", 3},
                         {"type", "SCALAR"},
                         {"sparse",
                          {{"count", 1},
                           {"indices", {{"bufferView", positions}, {"componentType", GL_UNSIGNED_BYTE}}},
                           {"values", {{"bufferView", values}}}}}});
    builder.addAccessor({{"componentType", GL_UNSIGNED_BYTE}, {"count", 3}, {"type", "SCALAR"}});
    Loaded loaded = load(builder);
    for (int a = 0; a < 2; ++a) {
        std::vector<uint32_t> out(3, 5);
        EXPECT_EQ(cgltf_accessor_unpack_indices(&loaded.data->accessors[a], out.data(), 4, 3), 0u) << a;
        EXPECT_EQ(out, (std::vector<uint32_t>{5, 5, 5})) << a;
    }
}

TEST(GltfAccessors, UnpackingRefusesDataOutsideItsViewEvenUnvalidated) {
    GltfBuilder builder;
    builder.addAccessor(builder.addView(std::vector<float>{1, 2, 3}), GL_FLOAT, 2,
                        "VEC3"); // needs 24 bytes of 12
    cgltf_options options = {};
    std::string text = builder.json(BufferStorage::DataUri);
    cgltf_data* parsed = nullptr;
    ASSERT_EQ(cgltf_parse(&options, text.data(), text.size(), &parsed), cgltf_result_success);
    GltfPointer data(parsed);
    ASSERT_EQ(cgltf_load_buffers(&options, parsed, "memory.gltf"), cgltf_result_success);
    std::vector<float> out(6, -1.0f);
    EXPECT_EQ(cgltf_accessor_unpack_floats(&parsed->accessors[0], out.data(), out.size()), 0u);
    EXPECT_EQ(cgltf_validate(parsed), cgltf_result_data_too_short);
}
