#include "SampleData.h"

#include <cmath>
#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sample_test {

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw std::runtime_error("cannot read " + path.string() + " (is the sample data generated?)");
    }
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

const Gltf& sampleGltf() {
    static const Gltf gltf = [] {
        Gltf result;
        std::vector<uint8_t> text = readFile(sceneFolder() / "scene.gltf");
        result.json = nlohmann::json::parse(text.begin(), text.end());
        result.buffer = readFile(sceneFolder() / result.json["buffers"][0]["uri"].get<std::string>());
        return result;
    }();
    return gltf;
}

namespace {

size_t componentCount(const std::string& type) {
    return type == "SCALAR" ? 1 : type == "VEC2" ? 2 : type == "VEC3" ? 3 : type == "VEC4" ? 4 : 16;
}

size_t componentSize(int componentType) {
    return componentType == 5120 || componentType == 5121   ? 1
           : componentType == 5122 || componentType == 5123 ? 2
                                                            : 4;
}

// Byte position of element `i`, component 0, within the buffer.
size_t elementStart(const Gltf& gltf, const nlohmann::json& accessor, size_t i) {
    const nlohmann::json& view = gltf.json["bufferViews"][accessor["bufferView"].get<size_t>()];
    size_t elementSize = componentCount(accessor["type"]) * componentSize(accessor["componentType"]);
    size_t stride = view.value("byteStride", elementSize);
    return view.value("byteOffset", size_t(0)) + accessor.value("byteOffset", size_t(0)) + i * stride;
}

} // namespace

std::vector<float> Gltf::floats(size_t accessorIndex) const {
    const nlohmann::json& a = accessor(accessorIndex);
    const size_t count = a["count"], components = componentCount(a["type"]);
    std::vector<float> result(count * components);
    for (size_t i = 0; i < count; ++i) {
        std::memcpy(&result[i * components], buffer.data() + elementStart(*this, a, i), components * 4);
    }
    return result;
}

std::vector<uint32_t> Gltf::indices(size_t accessorIndex) const {
    const nlohmann::json& a = accessor(accessorIndex);
    const size_t count = a["count"], size = componentSize(a["componentType"]);
    std::vector<uint32_t> result(count);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = buffer.data() + elementStart(*this, a, i);
        result[i] = size == 1   ? p[0]
                    : size == 2 ? uint32_t(p[0] | p[1] << 8)
                                : readU32(buffer, size_t(p - buffer.data()));
    }
    return result;
}

Matrix localMatrix(const nlohmann::json& node) {
    if (node.contains("matrix")) {
        Matrix m;
        for (size_t i = 0; i < 16; ++i) {
            m[i] = node["matrix"][i];
        }
        return m;
    }
    std::vector<float> t = node.value("translation", std::vector<float>{0, 0, 0});
    std::vector<float> q = node.value("rotation", std::vector<float>{0, 0, 0, 1});
    std::vector<float> s = node.value("scale", std::vector<float>{1, 1, 1});
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    // Columns of the rotation, each scaled: T x R x S.
    return {(1 - 2 * (y * y + z * z)) * s[0],
            2 * (x * y + z * w) * s[0],
            2 * (x * z - y * w) * s[0],
            0,
            2 * (x * y - z * w) * s[1],
            (1 - 2 * (x * x + z * z)) * s[1],
            2 * (y * z + x * w) * s[1],
            0,
            2 * (x * z + y * w) * s[2],
            2 * (y * z - x * w) * s[2],
            (1 - 2 * (x * x + y * y)) * s[2],
            0,
            t[0],
            t[1],
            t[2],
            1};
}

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix result{};
    for (int column = 0; column < 4; ++column) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                result[size_t(column * 4 + row)] += a[size_t(k * 4 + row)] * b[size_t(column * 4 + k)];
            }
        }
    }
    return result;
}

std::array<float, 3> transformPoint(const Matrix& m, const std::array<float, 3>& p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12], m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

std::string decodeUri(const std::string& uri) {
    auto hex = [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
               : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
               : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                           : -1;
    };
    std::string result;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && hex(uri[i + 1]) >= 0 && hex(uri[i + 2]) >= 0) {
            result += char(hex(uri[i + 1]) * 16 + hex(uri[i + 2]));
            i += 2;
        } else {
            result += uri[i];
        }
    }
    return result;
}

uint32_t readU32(const std::vector<uint8_t>& bytes, size_t offset) {
    return uint32_t(bytes[offset]) | uint32_t(bytes[offset + 1]) << 8 | uint32_t(bytes[offset + 2]) << 16 |
           uint32_t(bytes[offset + 3]) << 24;
}

} // namespace sample_test
