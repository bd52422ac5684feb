// One fuzz input: parsed from memory, its buffers loaded (the GLB chunk and "data:" URIs; file URIs point
// into a folder that does not exist), then everything the import reads: accessors unpacked before and after
// validation (unpacking must stay within the data either way), and for valid files the mesh pass, the node
// transforms and the URI decoding.
#include "scene/MeshPass.h"

#include <cgltf.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Accessors without a buffer view may claim any count; keep the fuzzer's memory bounded.
constexpr cgltf_size MAX_UNPACKED_FLOATS = cgltf_size(1) << 22;

bool withinMemoryLimit(const cgltf_data& data) {
    cgltf_size floats = 0;
    for (cgltf_size i = 0; i < data.accessors_count; ++i) {
        cgltf_size count = cgltf_accessor_unpack_floats(&data.accessors[i], nullptr, 0);
        if (data.accessors[i].count > MAX_UNPACKED_FLOATS || count > MAX_UNPACKED_FLOATS ||
            (floats += count) > MAX_UNPACKED_FLOATS)
            return false;
    }
    return true;
}

void unpackAll(const cgltf_data& data) {
    std::vector<float> floats;
    std::vector<uint32_t> indices;
    for (cgltf_size i = 0; i < data.accessors_count; ++i) {
        const cgltf_accessor& accessor = data.accessors[i];
        floats.assign(cgltf_accessor_unpack_floats(&accessor, nullptr, 0), 0.0f);
        cgltf_accessor_unpack_floats(&accessor, floats.data(), floats.size());
        indices.assign(accessor.count, 0);
        cgltf_accessor_unpack_indices(&accessor, indices.data(), sizeof(uint32_t), indices.size());
    }
}

void readValidData(const cgltf_data& data) {
    runMeshPass(&data);
    float matrix[16];
    for (cgltf_size i = 0; i < data.nodes_count; ++i)
        cgltf_node_transform_world(&data.nodes[i], matrix);
    for (cgltf_size i = 0; i < data.images_count; ++i)
        if (data.images[i].uri) {
            std::string uri = data.images[i].uri;
            uri.resize(cgltf_decode_uri(uri.data()));
        }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    cgltf_options options = {};
    cgltf_data* data = nullptr;
    if (cgltf_parse(&options, bytes, size, &data) != cgltf_result_success)
        return 0;
    if (cgltf_load_buffers(&options, data, "/nonexistent-lantern-fuzz/scene.gltf") == cgltf_result_success &&
        withinMemoryLimit(*data)) {
        unpackAll(*data);
        if (cgltf_validate(data) == cgltf_result_success)
            readValidData(*data);
    }
    cgltf_free(data);
    return 0;
}
