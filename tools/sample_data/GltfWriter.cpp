#include "GltfWriter.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace sample {
namespace {

using json = nlohmann::ordered_json;

constexpr int ARRAY_BUFFER = 34962;
constexpr int ELEMENT_ARRAY_BUFFER = 34963;
constexpr int UNSIGNED_SHORT = 5123;
constexpr int UNSIGNED_INT = 5125;
constexpr int FLOAT = 5126;

// Seven significant digits keep the JSON short and lose nothing a float holds that matters here.
double number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(value));
    return std::strtod(text, nullptr);
}

json numbers(std::initializer_list<float> values) {
    json array = json::array();
    for (float value : values) {
        array.push_back(number(value));
    }
    return array;
}

// The binary buffer with the JSON records that describe it.
struct BufferBuilder {
    std::vector<uint8_t> bytes;
    json bufferViews = json::array();
    json accessors = json::array();

    void align4() { bytes.resize((bytes.size() + 3) & ~size_t(3), 0); }

    int addView(const void* data, size_t size, int target, int stride = 0) {
        align4();
        json view = {{"buffer", 0}, {"byteOffset", bytes.size()}, {"byteLength", size}};
        if (stride != 0) {
            view["byteStride"] = stride;
        }
        view["target"] = target;
        const uint8_t* begin = static_cast<const uint8_t*>(data);
        bytes.insert(bytes.end(), begin, begin + size);
        bufferViews.push_back(view);
        return int(bufferViews.size() - 1);
    }

    int addAccessor(json accessor) {
        accessors.push_back(std::move(accessor));
        return int(accessors.size() - 1);
    }
};

// Interleaves a primitive's vertices (position, normal[, texcoord, tangent]) into one strided view.
json writeAttributes(BufferBuilder& buffer, const Primitive& primitive, bool surfaceAttributes) {
    const size_t floatsPerVertex = surfaceAttributes ? 12 : 6;
    std::vector<float> interleaved;
    interleaved.reserve(primitive.vertices.size() * floatsPerVertex);
    float3 low{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
               std::numeric_limits<float>::max()};
    float3 high = -low;
    for (const MeshVertex& v : primitive.vertices) {
        interleaved.insert(interleaved.end(),
                           {v.position.x, v.position.y, v.position.z, v.normal.x, v.normal.y, v.normal.z});
        if (surfaceAttributes) {
            interleaved.insert(interleaved.end(), {v.texcoord.x, v.texcoord.y, v.tangent.x, v.tangent.y,
                                                   v.tangent.z, v.tangent.w});
        }
        low = {std::min(low.x, v.position.x), std::min(low.y, v.position.y), std::min(low.z, v.position.z)};
        high = {std::max(high.x, v.position.x), std::max(high.y, v.position.y),
                std::max(high.z, v.position.z)};
    }
    const int stride = int(floatsPerVertex * sizeof(float));
    int view = buffer.addView(interleaved.data(), interleaved.size() * sizeof(float), ARRAY_BUFFER, stride);
    const size_t count = primitive.vertices.size();
    auto attribute = [&](size_t offset, const char* type) {
        return json{{"bufferView", view},
                    {"byteOffset", offset},
                    {"componentType", FLOAT},
                    {"count", count},
                    {"type", type}};
    };
    json position = attribute(0, "VEC3");
    // glTF asks for the exact bounds of positions; floats stay exact through the shortest decimal form.
    position["min"] = {low.x, low.y, low.z};
    position["max"] = {high.x, high.y, high.z};
    json attributes = {{"POSITION", buffer.addAccessor(position)},
                       {"NORMAL", buffer.addAccessor(attribute(12, "VEC3"))}};
    if (surfaceAttributes) {
        attributes["TEXCOORD_0"] = buffer.addAccessor(attribute(24, "VEC2"));
        attributes["TANGENT"] = buffer.addAccessor(attribute(32, "VEC4"));
    }
    return attributes;
}

// 16-bit indices where the vertex count allows it (65535 itself is reserved) and the mesh does not ask for
// 32-bit ones.
int writeIndices(BufferBuilder& buffer, const Primitive& primitive, bool wide) {
    const bool narrow = !wide && primitive.vertices.size() <= 65535;
    int view;
    if (narrow) {
        std::vector<uint16_t> indices(primitive.indices.begin(), primitive.indices.end());
        view = buffer.addView(indices.data(), indices.size() * 2, ELEMENT_ARRAY_BUFFER);
    } else {
        view = buffer.addView(primitive.indices.data(), primitive.indices.size() * 4, ELEMENT_ARRAY_BUFFER);
    }
    return buffer.addAccessor({{"bufferView", view},
                               {"componentType", narrow ? UNSIGNED_SHORT : UNSIGNED_INT},
                               {"count", primitive.indices.size()},
                               {"type", "SCALAR"}});
}

json textureReference(int texture) {
    return {{"index", texture}};
}

json writeMaterial(const MaterialDesc& material) {
    json result = {{"name", material.name}};
    if (material.metallicRoughness) {
        json pbr = {{"baseColorFactor", numbers({material.baseColorFactor.x, material.baseColorFactor.y,
                                                 material.baseColorFactor.z, material.baseColorFactor.w})}};
        if (material.baseColorTexture != NO_TEXTURE) {
            pbr["baseColorTexture"] = textureReference(material.baseColorTexture);
        }
        pbr["metallicFactor"] = number(material.metallicFactor);
        pbr["roughnessFactor"] = number(material.roughnessFactor);
        if (material.metallicRoughnessTexture != NO_TEXTURE) {
            pbr["metallicRoughnessTexture"] = textureReference(material.metallicRoughnessTexture);
        }
        result["pbrMetallicRoughness"] = pbr;
    }
    if (material.normalTexture != NO_TEXTURE) {
        result["normalTexture"] = textureReference(material.normalTexture);
    }
    if (material.emissiveTexture != NO_TEXTURE) {
        result["emissiveTexture"] = textureReference(material.emissiveTexture);
    }
    const float3 e = material.emissiveFactor;
    if (e.x != 0 || e.y != 0 || e.z != 0) {
        result["emissiveFactor"] = numbers({e.x, e.y, e.z});
    }
    return result;
}

json writeNode(const NodeDesc& node) {
    json result = {{"name", node.name}};
    if (node.mesh >= 0) {
        result["mesh"] = node.mesh;
    }
    if (!node.children.empty()) {
        result["children"] = node.children;
    }
    if (node.matrix) {
        json matrix = json::array();
        for (float value : *node.matrix) {
            matrix.push_back(number(value));
        }
        result["matrix"] = matrix;
        return result;
    }
    const float3 t = node.translation, s = node.scale;
    const float4 r = node.rotation;
    if (t.x != 0 || t.y != 0 || t.z != 0) {
        result["translation"] = numbers({t.x, t.y, t.z});
    }
    if (r.x != 0 || r.y != 0 || r.z != 0 || r.w != 1) {
        result["rotation"] = numbers({r.x, r.y, r.z, r.w});
    }
    if (s.x != 1 || s.y != 1 || s.z != 1) {
        result["scale"] = numbers({s.x, s.y, s.z});
    }
    return result;
}

void writeFile(const std::filesystem::path& path, const void* data, size_t size) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(static_cast<const char*>(data), std::streamsize(size));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace

void writeGltf(const Document& document, const std::filesystem::path& gltfPath,
               const std::string& bufferName) {
    BufferBuilder buffer;
    json meshes = json::array();
    for (const MeshData& mesh : document.meshes) {
        json primitives = json::array();
        for (const Primitive& primitive : mesh.primitives) {
            json attributes = writeAttributes(buffer, primitive, mesh.surfaceAttributes);
            primitives.push_back({{"attributes", attributes},
                                  {"indices", writeIndices(buffer, primitive, mesh.wideIndices)},
                                  {"material", primitive.material},
                                  {"mode", 4}});
        }
        meshes.push_back({{"name", mesh.name}, {"primitives", primitives}});
    }
    buffer.align4();

    json gltf;
    gltf["asset"] = {{"version", "2.0"}, {"generator", "Quiet Lantern Hour sample data generator"}};
    gltf["scene"] = document.defaultScene;
    json scenes = json::array();
    for (const SceneDesc& scene : document.scenes) {
        scenes.push_back({{"name", scene.name}, {"nodes", scene.roots}});
    }
    gltf["scenes"] = scenes;
    json nodes = json::array();
    for (const NodeDesc& node : document.nodes) {
        nodes.push_back(writeNode(node));
    }
    gltf["nodes"] = nodes;
    gltf["meshes"] = meshes;
    json materials = json::array();
    for (const MaterialDesc& material : document.materials) {
        materials.push_back(writeMaterial(material));
    }
    gltf["materials"] = materials;
    json images = json::array(), textures = json::array();
    for (size_t i = 0; i < document.images.size(); ++i) {
        images.push_back({{"uri", document.images[i].uri}});
        textures.push_back({{"sampler", 0}, {"source", i}});
    }
    gltf["textures"] = textures;
    gltf["images"] = images;
    // Trilinear filtering with repeat, as the renderer's one static sampler does anyway.
    gltf["samplers"] =
        json::array({{{"magFilter", 9729}, {"minFilter", 9987}, {"wrapS", 10497}, {"wrapT", 10497}}});
    gltf["accessors"] = buffer.accessors;
    gltf["bufferViews"] = buffer.bufferViews;
    gltf["buffers"] = json::array({{{"uri", bufferName}, {"byteLength", buffer.bytes.size()}}});

    const std::string text = gltf.dump(1) + "\n";
    writeFile(gltfPath, text.data(), text.size());
    writeFile(gltfPath.parent_path() / bufferName, buffer.bytes.data(), buffer.bytes.size());
}

} // namespace sample
