// Malformed files of every kind fail cleanly at the step that can see the fault: an error result, never a
// crash or a read outside the data (the sanitizer build runs the same table).
#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace fixture;

namespace {

using Bytes = std::vector<uint8_t>;

// One triangle with an index buffer, a node and a default scene: valid until a case breaks it.
GltfBuilder validScene() {
    GltfBuilder builder;
    int positions = builder.addData(std::vector<float>{0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3");
    int indices = builder.addIndices(std::vector<uint16_t>{0, 1, 2, 0});
    builder.root["accessors"][indices]["count"] = 3;
    builder.addMesh(Json::array({primitive({{"POSITION", positions}}, indices)}));
    builder.addNode({{"mesh", 0}});
    builder.root["scenes"] = Json::array({{{"nodes", {0}}}});
    builder.root["scene"] = 0;
    return builder;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A JSON file with a data-URI buffer, changed by edit first.
std::function<Bytes()> json(std::function<void(GltfBuilder&)> edit) {
    return [edit] {
        GltfBuilder builder = validScene();
        edit(builder);
        return text(builder.json(BufferStorage::DataUri));
    };
}

// A GLB file, its JSON changed by edit, then its bytes by patch.
std::function<Bytes()> glb(std::function<void(Bytes&)> patch, std::function<void(GltfBuilder&)> edit = {}) {
    return [patch, edit] {
        GltfBuilder builder = validScene();
        if (edit)
            edit(builder);
        Bytes bytes = builder.glb();
        patch(bytes);
        return bytes;
    };
}

void putU32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = uint8_t(value >> (8 * i));
}

uint32_t getU32(const Bytes& bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24;
}

size_t binChunkAt(const Bytes& glbBytes) {
    return 20 + getU32(glbBytes, 12);
}

struct Case {
    const char* name;
    std::function<Bytes()> make;
    Step failingStep;
    cgltf_result result;
};

const Json huge = 4611686018427387904ull; // 2^62
const Json largest = 18446744073709551615ull;

const Case cases[] = {
    // Not a glTF file at all.
    {"empty file", [] { return Bytes(); }, Step::Parse, cgltf_result_data_too_short},
    {"plain text", [] { return text("this is not a gltf file"); }, Step::Parse, cgltf_result_invalid_json},
    {"array at the root", [] { return text("[1, 2, 3, 4, 5, 6, 7]"); }, Step::Parse,
     cgltf_result_invalid_json},
    {"truncated JSON",
     [] {
         std::string full = validScene().json(BufferStorage::DataUri);
         return text(full.substr(0, full.size() / 2));
     },
     Step::Parse, cgltf_result_invalid_json},
    // JSON of the wrong shape.
    {"meshes not an array", json([](GltfBuilder& b) { b.root["meshes"] = Json::object(); }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"count as a string", json([](GltfBuilder& b) { b.root["accessors"][0]["count"] = "3"; }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"fractional count", json([](GltfBuilder& b) { b.root["accessors"][0]["count"] = 1.5; }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"negative offset", json([](GltfBuilder& b) { b.root["bufferViews"][0]["byteOffset"] = -4; }),
     Step::Parse, cgltf_result_invalid_gltf},
    {"unknown component type", json([](GltfBuilder& b) { b.root["accessors"][0]["componentType"] = 5124; }),
     Step::Parse, cgltf_result_invalid_gltf},
    {"unknown accessor type", json([](GltfBuilder& b) { b.root["accessors"][0]["type"] = "VEC5"; }),
     Step::Parse, cgltf_result_invalid_gltf},
    {"matrix of 15 numbers",
     json([](GltfBuilder& b) { b.root["nodes"][0]["matrix"] = std::vector<float>(15, 1); }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"mesh out of range", json([](GltfBuilder& b) { b.root["nodes"][0]["mesh"] = 7; }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"attribute accessor out of range",
     json([](GltfBuilder& b) { b.root["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = 99; }),
     Step::Parse, cgltf_result_invalid_gltf},
    {"default scene out of range", json([](GltfBuilder& b) { b.root["scene"] = 3; }), Step::Parse,
     cgltf_result_invalid_gltf},
    {"node with two parents", json([](GltfBuilder& b) {
         b.addNode({{"children", {0}}});
         b.addNode({{"children", {0}}});
     }),
     Step::Parse, cgltf_result_invalid_gltf},
    // Broken GLB containers.
    {"truncated GLB header", glb([](Bytes& g) { g.resize(11); }), Step::Parse, cgltf_result_data_too_short},
    {"GLB length past the end", glb([](Bytes& g) { g.resize(g.size() - 4); }), Step::Parse,
     cgltf_result_data_too_short},
    {"JSON chunk length past the end", glb([](Bytes& g) { putU32(g, 12, 0xFFFFFFF0u); }), Step::Parse,
     cgltf_result_data_too_short},
    {"BIN chunk length past the end", glb([](Bytes& g) { putU32(g, binChunkAt(g), 0x7FFFFFFFu); }),
     Step::Parse, cgltf_result_data_too_short},
    {"first chunk not JSON", glb([](Bytes& g) { putU32(g, 16, 0x004E4942); }), Step::Parse,
     cgltf_result_unknown_format},
    {"GLB version 1", glb([](Bytes& g) { putU32(g, 4, 1); }), Step::Parse, cgltf_result_legacy_gltf},
    {"buffer larger than the BIN chunk",
     glb([](Bytes&) {}, [](GltfBuilder& b) { b.bufferOverrides["byteLength"] = 4096; }), Step::Load,
     cgltf_result_data_too_short},
    // Buffers that cannot be loaded.
    {"missing buffer file", [] { return text(validScene().json(BufferStorage::File, "absent.bin")); },
     Step::Load, cgltf_result_file_not_found},
    {"data URI not base64",
     json([](GltfBuilder& b) { b.bufferOverrides["uri"] = "data:application/octet-stream,AAAA"; }),
     Step::Load, cgltf_result_unknown_format},
    {"data URI shorter than the buffer", json([](GltfBuilder& b) { b.bufferOverrides["byteLength"] = 4096; }),
     Step::Load, cgltf_result_io_error},
    {"data URI with a foreign character", json([](GltfBuilder& b) {
         std::string data = base64(b.bin);
         data[2] = '*';
         b.bufferOverrides["uri"] = "data:application/octet-stream;base64," + data;
     }),
     Step::Load, cgltf_result_io_error},
    {"remote URI",
     json([](GltfBuilder& b) { b.bufferOverrides["uri"] = "https://example.invalid/scene.bin"; }), Step::Load,
     cgltf_result_unknown_format},
    // Data outside its container.
    {"accessor past its view", json([](GltfBuilder& b) { b.root["accessors"][0]["count"] = 4; }),
     Step::Validate, cgltf_result_data_too_short},
    {"accessor offset past its view", json([](GltfBuilder& b) { b.root["accessors"][0]["byteOffset"] = 4; }),
     Step::Validate, cgltf_result_data_too_short},
    {"view past its buffer", json([](GltfBuilder& b) { b.root["bufferViews"][1]["byteLength"] = 64; }),
     Step::Validate, cgltf_result_data_too_short},
    {"8-bit index beyond the vertex count", json([](GltfBuilder& b) {
         b.addIndices(std::vector<uint8_t>{0, 1, 3});
         b.root["meshes"][0]["primitives"][0]["indices"] = 2;
     }),
     Step::Validate, cgltf_result_data_too_short},
    {"16-bit index beyond the vertex count", json([](GltfBuilder& b) {
         b.addIndices(std::vector<uint16_t>{0, 2, 1, 65535, 2, 0});
         b.root["meshes"][0]["primitives"][0]["indices"] = 2;
     }),
     Step::Validate, cgltf_result_data_too_short},
    {"32-bit index beyond the vertex count", json([](GltfBuilder& b) {
         b.addIndices(std::vector<uint32_t>{0, 1, 2, 2, 1, 3});
         b.root["meshes"][0]["primitives"][0]["indices"] = 2;
     }),
     Step::Validate, cgltf_result_data_too_short},
    {"indices without any vertex", json([](GltfBuilder& b) {
         b.addAccessor(Json{{"componentType", GL_FLOAT}, {"count", 0}, {"type", "VEC3"}});
         b.root["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 2;
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"float indices", json([](GltfBuilder& b) {
         b.addAccessor(
             Json{{"bufferView", 0}, {"componentType", GL_FLOAT}, {"count", 3}, {"type", "SCALAR"}});
         b.root["meshes"][0]["primitives"][0]["indices"] = 2;
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"indices with a byte stride", json([](GltfBuilder& b) {
         int view = b.addView(std::vector<uint16_t>{0, 0, 1, 0, 2, 0}, 4);
         b.root["meshes"][0]["primitives"][0]["indices"] =
             b.addAccessor(view, GL_UNSIGNED_SHORT, 3, "SCALAR");
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    // Primitives that cgltf_validate refuses.
    {"mode beyond triangle fans",
     json([](GltfBuilder& b) { b.root["meshes"][0]["primitives"][0]["mode"] = 7; }), Step::Validate,
     cgltf_result_invalid_gltf},
    {"mode far beyond", json([](GltfBuilder& b) { b.root["meshes"][0]["primitives"][0]["mode"] = 4096; }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"no attributes",
     json([](GltfBuilder& b) { b.root["meshes"][0]["primitives"][0]["attributes"] = Json::object(); }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"no attributes nor indices", json([](GltfBuilder& b) {
         b.root["meshes"][0]["primitives"][0].erase("attributes");
         b.root["meshes"][0]["primitives"][0].erase("indices");
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"first attribute without elements", json([](GltfBuilder& b) {
         int empty = b.addAccessor(Json{{"componentType", GL_FLOAT}, {"count", 0}, {"type", "VEC3"}});
         b.root["meshes"][0]["primitives"][0] = primitive({{"POSITION", empty}});
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"attributes of different counts", json([](GltfBuilder& b) {
         b.addData(std::vector<float>{0, 0, 1, 0, 0, 1}, "VEC3");
         b.root["meshes"][0]["primitives"][0]["attributes"]["NORMAL"] = 2;
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    // Sizes whose computation overflows.
    {"huge count", json([](GltfBuilder& b) { b.root["accessors"][0]["count"] = huge; }), Step::Validate,
     cgltf_result_invalid_gltf},
    {"huge count without a view", json([](GltfBuilder& b) {
         b.addAccessor(Json{{"componentType", GL_FLOAT}, {"count", huge}, {"type", "MAT4"}});
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"largest offset", json([](GltfBuilder& b) { b.root["accessors"][0]["byteOffset"] = largest; }),
     Step::Validate, cgltf_result_data_too_short},
    {"largest view offset", json([](GltfBuilder& b) { b.root["bufferViews"][0]["byteOffset"] = largest; }),
     Step::Validate, cgltf_result_data_too_short},
    {"largest stride", json([](GltfBuilder& b) { b.root["bufferViews"][0]["byteStride"] = largest; }),
     Step::Validate, cgltf_result_data_too_short},
    // Sparse accessors out of bounds.
    {"sparse count above the count", json([](GltfBuilder& b) {
         b.root["accessors"][0]["sparse"] = {
             {"count", 4},
             {"indices", {{"bufferView", 1}, {"componentType", GL_UNSIGNED_SHORT}}},
             {"values", {{"bufferView", 0}}}};
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"sparse index beyond the count", json([](GltfBuilder& b) {
         int positions = b.addView(std::vector<uint8_t>{5});
         b.root["accessors"][0]["sparse"] = {
             {"count", 1},
             {"indices", {{"bufferView", positions}, {"componentType", GL_UNSIGNED_BYTE}}},
             {"values", {{"bufferView", 0}}}};
     }),
     Step::Validate, cgltf_result_data_too_short},
    {"sparse values past their view", json([](GltfBuilder& b) {
         b.root["accessors"][0]["sparse"] = {
             {"count", 2},
             {"indices", {{"bufferView", 1}, {"componentType", GL_UNSIGNED_SHORT}}},
             {"values", {{"bufferView", 0}, {"byteOffset", 20}}}};
     }),
     Step::Validate, cgltf_result_data_too_short},
    // Node trees that are not trees.
    {"node cycle", json([](GltfBuilder& b) {
         b.addNode({{"children", {2}}});
         b.addNode({{"children", {1}}});
     }),
     Step::Validate, cgltf_result_invalid_gltf},
    {"node its own child", json([](GltfBuilder& b) { b.root["nodes"][0]["children"] = {0}; }), Step::Validate,
     cgltf_result_invalid_gltf},
    {"scene root with a parent", json([](GltfBuilder& b) {
         b.addNode({{"children", {0}}});
     }),
     Step::Validate, cgltf_result_invalid_gltf},
};

} // namespace

TEST(GltfMalformed, EachFileFailsCleanlyAtItsStep) {
    TempFolder folder("malformed");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Loaded loaded = loadFromFile(folder.write("case.gltf", c.make()));
        EXPECT_EQ(loaded.failedStep, c.failingStep);
        EXPECT_EQ(loaded.result, c.result);
        if (c.failingStep == Step::Parse) {
            EXPECT_EQ(loaded.data, nullptr);
        }
    }
}

TEST(GltfMalformed, ValidSceneOfTheTablePasses) {
    TempFolder folder("malformed-base");
    Loaded loaded = loadFromFile(folder.write("scene.gltf", validScene().json(BufferStorage::DataUri)));
    EXPECT_EQ(loaded.failedStep, Step::None) << loaded.result;
}
