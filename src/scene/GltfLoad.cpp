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

void releaseGltfBuffers(cgltf_data* data) {
    for (cgltf_size i = 0; i < data->buffers_count; ++i) {
        cgltf_buffer& buffer = data->buffers[i];
        if (!buffer.data)
            continue;
        if (buffer.data_free_method == cgltf_data_free_method_memory_free && data->memory.free_func)
            data->memory.free_func(data->memory.user_data, buffer.data);
        else if (buffer.data_free_method == cgltf_data_free_method_file_release && data->file.release)
            data->file.release(&data->memory, &data->file, buffer.data);
        else
            continue;
        buffer.data = nullptr;
        buffer.data_free_method = cgltf_data_free_method_none;
    }
}
