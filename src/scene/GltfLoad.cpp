#include "scene/GltfLoad.h"

#include "core/Paths.h"
#include "core/Report.h"

#include <cstdio>
#include <string>

namespace {

[[noreturn]] void stop(const char* message, cgltf_data* data) {
    cgltf_free(data);
    std::puts(message);
    endProgram(1);
}

} // namespace

cgltf_data* loadGltf(const char* filePath) {
    cgltf_options options = {};
    std::string path = toNativePath(filePath);
    cgltf_data* data = nullptr;
    if (cgltf_parse_file(&options, path.c_str(), &data) != cgltf_result_success)
        stop("cgltf_parse_file(&options, filePath, &data) failed", data);
    if (cgltf_load_buffers(&options, data, path.c_str()) != cgltf_result_success)
        stop("cgltf_load_buffers(&options, data, filePath) failed", data);
    if (cgltf_validate(data) != cgltf_result_success)
        stop("cgltf_validate(data) failed", data);
    return data;
}
