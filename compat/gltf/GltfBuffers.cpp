// Buffer loading: the GLB BIN chunk for a first buffer without a URI, base64 "data:" URIs, and files named
// relative to the glTF file (its folder taken up to the last '/' or '\', the URI percent-decoded).
#include "GltfInternal.h"

#include <string>

namespace gltf {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

// Decodes the first size bytes of base64 text; trailing text (padding included) is not read.
cgltf_result decodeBase64(Storage& storage, std::string_view text, cgltf_size size, void** out) {
    cgltf_size bits = 0;
    if (!multiplyChecked(size, 8, &bits) || (bits + 5) / 6 > text.size())
        return cgltf_result_io_error;
    auto* bytes = storage.allocate<uint8_t>(size);
    uint32_t buffer = 0;
    int bufferBits = 0;
    size_t next = 0;
    for (cgltf_size i = 0; i < size; ++i) {
        while (bufferBits < 8) {
            int value = base64Value(text[next++]);
            if (value < 0)
                return cgltf_result_io_error;
            buffer = (buffer << 6) | static_cast<uint32_t>(value);
            bufferBits += 6;
        }
        bytes[i] = static_cast<uint8_t>(buffer >> (bufferBits - 8));
        bufferBits -= 8;
        buffer &= (1u << bufferBits) - 1;
    }
    *out = bytes;
    return cgltf_result_success;
}

cgltf_result loadDataUri(Storage& storage, const char* uri, cgltf_size size, void** out) {
    std::string_view text(uri);
    size_t comma = text.find(',');
    if (comma == std::string_view::npos || comma < 7 || text.substr(comma - 7, 7) != ";base64")
        return cgltf_result_unknown_format;
    return decodeBase64(storage, text.substr(comma + 1), size, out);
}

cgltf_result loadFileUri(Storage& storage, const char* gltfPath, const char* uri, cgltf_size size,
                         void** out) {
    std::string_view base(gltfPath);
    size_t slash = base.find_last_of("/\\");
    std::string path(slash == std::string_view::npos ? std::string_view() : base.substr(0, slash + 1));
    std::string decoded(uri);
    decoded.resize(cgltf_decode_uri(decoded.data()));
    path += decoded;
    cgltf_size readSize = size;
    return readFile(storage, path.c_str(), &readSize, out);
}

cgltf_result loadBuffer(Storage& storage, cgltf_buffer& buffer, const char* gltfPath) {
    void* bytes = nullptr;
    cgltf_result result = cgltf_result_success;
    if (std::strncmp(buffer.uri, "data:", 5) == 0)
        result = loadDataUri(storage, buffer.uri, buffer.size, &bytes);
    else if (std::strstr(buffer.uri, "://"))
        result = cgltf_result_unknown_format;
    else
        result = loadFileUri(storage, gltfPath, buffer.uri, buffer.size, &bytes);
    if (result != cgltf_result_success)
        return result;
    buffer.data = bytes;
    buffer.data_free_method = cgltf_data_free_method_memory_free;
    return cgltf_result_success;
}

} // namespace

} // namespace gltf

using namespace gltf;

extern "C" {

cgltf_size cgltf_decode_uri(char* uri) {
    char* write = uri;
    const char* read = uri;
    while (*read) {
        if (read[0] == '%') {
            // read[2] is looked at only when read[1] is a hex digit, so the terminator is never passed.
            int high = hexValue(read[1]);
            int low = high >= 0 ? hexValue(read[2]) : -1;
            if (low >= 0) {
                *write++ = static_cast<char>(high * 16 + low);
                read += 3;
                continue;
            }
        }
        *write++ = *read++;
    }
    *write = '\0';
    return static_cast<cgltf_size>(write - uri);
}

cgltf_result cgltf_load_buffers(const cgltf_options* options, cgltf_data* data, const char* gltf_path) {
    if (!options || !data)
        return cgltf_result_invalid_options;
    Storage& storage = *storageOf(data);
    try {
        if (data->buffers_count && !data->buffers[0].data && !data->buffers[0].uri && data->bin) {
            if (data->bin_size < data->buffers[0].size)
                return cgltf_result_data_too_short;
            data->buffers[0].data = const_cast<void*>(data->bin);
            data->buffers[0].data_free_method = cgltf_data_free_method_none;
        }
        for (cgltf_size i = 0; i < data->buffers_count; ++i) {
            cgltf_buffer& buffer = data->buffers[i];
            if (buffer.data || !buffer.uri)
                continue;
            if (!gltf_path && std::strncmp(buffer.uri, "data:", 5) != 0)
                return cgltf_result_invalid_options;
            cgltf_result result = loadBuffer(storage, buffer, gltf_path);
            if (result != cgltf_result_success)
                return result;
        }
    } catch (const std::bad_alloc&) {
        return cgltf_result_out_of_memory;
    }
    return cgltf_result_success;
}

} // extern "C"
