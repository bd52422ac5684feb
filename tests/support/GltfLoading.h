// Parse, buffer loading and validation in one call for tests, stopping at the first step that fails.
#pragma once

#include <cgltf.h>

#include <memory>
#include <string>
#include <vector>

namespace fixture {

struct GltfDeleter {
    void operator()(cgltf_data* data) const { cgltf_free(data); }
};
using GltfPointer = std::unique_ptr<cgltf_data, GltfDeleter>;

enum class Step { Parse, Load, Validate, None };

struct Loaded {
    // The bytes a file was parsed from in memory. cgltf keeps pointers into them (the JSON text, a GLB's BIN
    // chunk), so they live as long as the data: declared first, released last.
    std::vector<uint8_t> source;
    GltfPointer data;
    Step failedStep = Step::None;
    cgltf_result result = cgltf_result_success;
};

// Runs load and validate after a parse; gltfPath is what buffer files are relative to.
inline Loaded finishLoading(cgltf_data* parsed, const std::string& gltfPath) {
    Loaded loaded;
    loaded.data.reset(parsed);
    cgltf_options options = {};
    if ((loaded.result = cgltf_load_buffers(&options, parsed, gltfPath.c_str())) != cgltf_result_success)
        loaded.failedStep = Step::Load;
    else if ((loaded.result = cgltf_validate(parsed)) != cgltf_result_success)
        loaded.failedStep = Step::Validate;
    return loaded;
}

inline Loaded loadFromFile(const std::string& path) {
    cgltf_options options = {};
    cgltf_data* data = nullptr;
    cgltf_result parsed = cgltf_parse_file(&options, path.c_str(), &data);
    if (parsed != cgltf_result_success)
        return Loaded{{}, GltfPointer(data), Step::Parse, parsed};
    return finishLoading(data, path);
}

inline Loaded loadFromMemory(std::vector<uint8_t> bytes, const std::string& gltfPath = "memory.gltf") {
    cgltf_options options = {};
    cgltf_data* data = nullptr;
    cgltf_result parsed = cgltf_parse(&options, bytes.data(), bytes.size(), &data);
    Loaded loaded;
    if (parsed != cgltf_result_success)
        loaded = Loaded{{}, GltfPointer(data), Step::Parse, parsed};
    else
        loaded = finishLoading(data, gltfPath);
    loaded.source = std::move(bytes); // a moved vector keeps its block, so the pointers into it stay valid
    return loaded;
}

inline Loaded loadFromMemory(const std::string& text, const std::string& gltfPath = "memory.gltf") {
    return loadFromMemory(std::vector<uint8_t>(text.begin(), text.end()), gltfPath);
}

} // namespace fixture
