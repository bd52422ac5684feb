// Small glTF files made in tests and benchmarks: binary data collected in one buffer with views and accessors
// over it, plus meshes, nodes and materials as JSON; written out with the buffer as a separate file, as a
// base64 "data:" URI or as the BIN chunk of a GLB container.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

namespace fixture {

using Json = nlohmann::ordered_json;

constexpr int GL_BYTE = 5120, GL_UNSIGNED_BYTE = 5121, GL_SHORT = 5122, GL_UNSIGNED_SHORT = 5123,
              GL_UNSIGNED_INT = 5125, GL_FLOAT = 5126;

template <typename T> constexpr int componentTypeOf() {
    if constexpr (std::is_same_v<T, int8_t>)
        return GL_BYTE;
    else if constexpr (std::is_same_v<T, uint8_t>)
        return GL_UNSIGNED_BYTE;
    else if constexpr (std::is_same_v<T, int16_t>)
        return GL_SHORT;
    else if constexpr (std::is_same_v<T, uint16_t>)
        return GL_UNSIGNED_SHORT;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return GL_UNSIGNED_INT;
    else
        return GL_FLOAT;
}

inline std::string base64(const std::vector<uint8_t>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t group = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= bytes[i + 2];
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += i + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        text += i + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return text;
}

enum class BufferStorage { File, DataUri, Glb };

struct GltfBuilder {
    Json root = {{"asset", {{"version", "2.0"}}}};
    std::vector<uint8_t> bin;
    Json bufferOverrides = Json::object(); // merged into the one buffer's JSON (to make malformed files)

    Json& array(const char* key) {
        if (!root.contains(key))
            root[key] = Json::array();
        return root[key];
    }

    // Appends raw bytes, 4-byte aligned, and a view over them; returns the view's index.
    int addView(const void* data, size_t size, size_t stride = 0) {
        while (bin.size() % 4)
            bin.push_back(0);
        Json view = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
        if (stride)
            view["byteStride"] = stride;
        const auto* bytes = static_cast<const uint8_t*>(data);
        bin.insert(bin.end(), bytes, bytes + size);
        array("bufferViews").push_back(view);
        return int(root["bufferViews"].size() - 1);
    }

    template <typename T> int addView(const std::vector<T>& values, size_t stride = 0) {
        return addView(values.data(), values.size() * sizeof(T), stride);
    }

    int addAccessor(Json accessor) {
        array("accessors").push_back(std::move(accessor));
        return int(root["accessors"].size() - 1);
    }

    int addAccessor(int view, int componentType, size_t count, const char* type, size_t byteOffset = 0,
                    bool normalized = false) {
        Json accessor = {
            {"bufferView", view}, {"componentType", componentType}, {"count", count}, {"type", type}};
        if (byteOffset)
            accessor["byteOffset"] = byteOffset;
        if (normalized)
            accessor["normalized"] = true;
        return addAccessor(accessor);
    }

    // A tightly packed accessor of values, components per element given by type.
    template <typename T>
    int addData(const std::vector<T>& values, const char* type, bool normalized = false) {
        static const std::pair<const char*, size_t> widths[] = {
            {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT2", 4}, {"MAT3", 9}, {"MAT4", 16}};
        size_t width = 1;
        for (auto [name, components] : widths)
            if (std::strcmp(name, type) == 0)
                width = components;
        return addAccessor(addView(values), componentTypeOf<T>(), values.size() / width, type, 0, normalized);
    }

    template <typename T> int addIndices(const std::vector<T>& indices) { return addData(indices, "SCALAR"); }

    int addMesh(Json primitives) {
        array("meshes").push_back({{"primitives", std::move(primitives)}});
        return int(root["meshes"].size() - 1);
    }

    int addNode(Json node) {
        array("nodes").push_back(std::move(node));
        return int(root["nodes"].size() - 1);
    }

    int addMaterial(Json material = Json::object()) {
        array("materials").push_back(std::move(material));
        return int(root["materials"].size() - 1);
    }

    // The JSON text, with the buffer named binUri (a file beside the JSON) or embedded as a data URI.
    std::string json(BufferStorage storage, const std::string& binUri = "scene.bin") const {
        Json copy = root;
        if (!bin.empty() || copy.contains("bufferViews")) {
            Json buffer = {{"byteLength", bin.size()}};
            if (storage == BufferStorage::File)
                buffer["uri"] = binUri;
            else if (storage == BufferStorage::DataUri)
                buffer["uri"] = "data:application/octet-stream;base64," + base64(bin);
            buffer.update(bufferOverrides);
            copy["buffers"] = Json::array({buffer});
        }
        return copy.dump();
    }

    std::vector<uint8_t> glb() const {
        std::string text = json(BufferStorage::Glb);
        while (text.size() % 4)
            text += ' ';
        std::vector<uint8_t> binChunk = bin;
        while (binChunk.size() % 4)
            binChunk.push_back(0);
        std::vector<uint8_t> out;
        auto put = [&](uint32_t value) {
            for (int i = 0; i < 4; ++i)
                out.push_back(uint8_t(value >> (8 * i)));
        };
        uint32_t length = uint32_t(12 + 8 + text.size() + (binChunk.empty() ? 0 : 8 + binChunk.size()));
        put(0x46546C67);
        put(2);
        put(length);
        put(uint32_t(text.size()));
        put(0x4E4F534A);
        out.insert(out.end(), text.begin(), text.end());
        if (!binChunk.empty()) {
            put(uint32_t(binChunk.size()));
            put(0x004E4942);
            out.insert(out.end(), binChunk.begin(), binChunk.end());
        }
        return out;
    }
};

inline Json primitive(Json attributes, int indices = -1, int material = -1, int mode = -1) {
    Json primitive = {{"attributes", std::move(attributes)}};
    if (indices >= 0)
        primitive["indices"] = indices;
    if (material >= 0)
        primitive["material"] = material;
    if (mode >= 0)
        primitive["mode"] = mode;
    return primitive;
}

// A folder of its own under the system's temporary folder, removed with everything in it at the end.
struct TempFolder {
    std::filesystem::path path;

    explicit TempFolder(const std::string& name) {
        path = std::filesystem::temp_directory_path() /
               ("lantern-" + name + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
                std::to_string(std::filesystem::file_time_type::clock::now().time_since_epoch().count()));
        std::filesystem::create_directories(path);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }

    std::string write(const std::string& name, const void* data, size_t size) const {
        std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(static_cast<const char*>(data), std::streamsize(size));
        return file.string();
    }
    std::string write(const std::string& name, const std::string& text) const {
        return write(name, text.data(), text.size());
    }
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        return write(name, bytes.data(), bytes.size());
    }
};

} // namespace fixture
