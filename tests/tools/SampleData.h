// Reads the generated sample data (data/ in the source tree) for the tests of the generator's output.
#pragma once

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sample_test {

inline std::filesystem::path dataFolder() {
    return std::filesystem::path(LANTERN_SOURCE_DIR) / "data";
}
inline std::filesystem::path sceneFolder() {
    return dataFolder() / "Tavern";
}

std::vector<uint8_t> readFile(const std::filesystem::path& path);

// The parsed scene.gltf and its one binary buffer, loaded once.
struct Gltf {
    nlohmann::json json;
    std::vector<uint8_t> buffer;

    const nlohmann::json& accessor(size_t index) const { return json["accessors"][index]; }
    // Every component of a FLOAT accessor, element after element, honouring the view's stride.
    std::vector<float> floats(size_t accessorIndex) const;
    // Every value of an index accessor, widened.
    std::vector<uint32_t> indices(size_t accessorIndex) const;
};

const Gltf& sampleGltf();

using Matrix = std::array<float, 16>; // column-major, as glTF stores it

Matrix localMatrix(const nlohmann::json& node);
Matrix multiply(const Matrix& a, const Matrix& b);
std::array<float, 3> transformPoint(const Matrix& m, const std::array<float, 3>& p);

// Percent-decoding as glTF URIs use it: "%" and two hexadecimal digits; any other "%" stays.
std::string decodeUri(const std::string& uri);

uint32_t readU32(const std::vector<uint8_t>& bytes, size_t offset);

} // namespace sample_test
