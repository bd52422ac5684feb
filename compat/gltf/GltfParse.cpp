// Parsing entry points: the file, the GLB container (12-byte header, a JSON chunk, an optional BIN chunk) or
// plain JSON text, detected from the first four bytes, and the release of everything parsed.
#include "GltfInternal.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace gltf {
namespace {

constexpr uint32_t glbMagic = 0x46546C67;     // "glTF"
constexpr uint32_t glbJsonChunk = 0x4E4F534A; // "JSON"
constexpr uint32_t glbBinChunk = 0x004E4942;  // "BIN\0"
constexpr cgltf_size glbHeaderSize = 12;
constexpr cgltf_size glbChunkHeaderSize = 8;

uint32_t readU32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

bool optionsSupported(const cgltf_options& options) {
    return !options.memory.alloc_func && !options.memory.free_func && !options.file.read &&
           !options.file.release;
}

struct Chunk {
    const uint8_t* data;
    cgltf_size size;
};

// The chunk whose header starts at offset, which must have the given type and end within size bytes.
Chunk readChunk(const uint8_t* bytes, cgltf_size size, cgltf_size offset, uint32_t type) {
    cgltf_size chunkSize = readU32(bytes + offset);
    if (readU32(bytes + offset + 4) != type)
        fail(cgltf_result_unknown_format);
    cgltf_size start = offset + glbChunkHeaderSize;
    if (chunkSize > size - start)
        fail(cgltf_result_data_too_short);
    return {bytes + start, chunkSize};
}

// Chunks are bounded by the data, not by the header's length: a header that stops short of the BIN chunk does
// not hide it. Bytes past the header's length that are not a BIN chunk are not the file's and are ignored.
void parseGlb(Storage& storage, const uint8_t* bytes, cgltf_size size) {
    uint32_t version = readU32(bytes + 4);
    if (version != 2)
        fail(version < 2 ? cgltf_result_legacy_gltf : cgltf_result_unknown_format);
    cgltf_size length = readU32(bytes + 8);
    if (length > size || length < glbHeaderSize + glbChunkHeaderSize)
        fail(cgltf_result_data_too_short);

    Chunk json = readChunk(bytes, size, glbHeaderSize, glbJsonChunk);
    storage.json = reinterpret_cast<const char*>(json.data);
    storage.json_size = json.size;
    cgltf_size binHeader = glbHeaderSize + glbChunkHeaderSize + json.size;
    const bool declared = binHeader <= length && length - binHeader >= glbChunkHeaderSize;
    const bool present = size - binHeader >= glbChunkHeaderSize;
    if (declared || (present && readU32(bytes + binHeader + 4) == glbBinChunk)) {
        Chunk bin = readChunk(bytes, size, binHeader, glbBinChunk);
        storage.bin = bin.data;
        storage.bin_size = bin.size;
    }
    storage.file_type = cgltf_file_type_glb;
    parseJson(storage, storage.json, storage.json_size);
}

// Parses bytes that the storage already owns.
void parseOwned(Storage& storage, const cgltf_options& options, const uint8_t* bytes, cgltf_size size) {
    if (!optionsSupported(options))
        fail(cgltf_result_invalid_options);
    if (size < glbHeaderSize)
        fail(cgltf_result_data_too_short);
    bool glb = readU32(bytes) == glbMagic;
    if (options.type == cgltf_file_type_glb && !glb)
        fail(cgltf_result_unknown_format);
    if (glb && options.type != cgltf_file_type_gltf) {
        parseGlb(storage, bytes, size);
        return;
    }
    storage.file_type = cgltf_file_type_gltf;
    storage.json = reinterpret_cast<const char*>(bytes);
    storage.json_size = size;
    parseJson(storage, storage.json, size);
}

template <typename Parse> cgltf_result guarded(cgltf_data** out, Parse parse) {
    if (!out)
        return cgltf_result_invalid_options;
    *out = nullptr;
    try {
        auto storage = std::make_unique<Storage>();
        parse(*storage);
        *out = storage.release();
        return cgltf_result_success;
    } catch (const Failure& failure) {
        return failure.result;
    } catch (const std::bad_alloc&) {
        return cgltf_result_out_of_memory;
    } catch (...) {
        return cgltf_result_invalid_json;
    }
}

} // namespace

cgltf_result readFile(Storage& storage, const char* path, cgltf_size* size, void** data) {
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return cgltf_result_file_not_found;
    if (!std::filesystem::is_regular_file(path, error))
        return cgltf_result_io_error;
    std::uintmax_t fileSize = std::filesystem::file_size(path, error);
    if (error)
        return cgltf_result_io_error;
    if (*size == 0)
        *size = static_cast<cgltf_size>(fileSize);
    else if (fileSize < *size)
        return cgltf_result_data_too_short;

    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return cgltf_result_file_not_found;
    void* block = storage.allocateBytes(*size);
    bool complete = *size == 0 || std::fread(block, 1, *size, file) == *size;
    std::fclose(file);
    if (!complete)
        return cgltf_result_io_error;
    *data = block;
    return cgltf_result_success;
}

} // namespace gltf

using namespace gltf;

extern "C" {

cgltf_result cgltf_parse(const cgltf_options* options, const void* data, cgltf_size size,
                         cgltf_data** out_data) {
    if (!options || (!data && size))
        return cgltf_result_invalid_options;
    return guarded(out_data, [&](Storage& storage) {
        auto* copy = storage.allocate<uint8_t>(size);
        if (size)
            std::memcpy(copy, data, size);
        storage.file_data = copy;
        parseOwned(storage, *options, copy, size);
    });
}

cgltf_result cgltf_parse_file(const cgltf_options* options, const char* path, cgltf_data** out_data) {
    if (!options || !path)
        return cgltf_result_invalid_options;
    return guarded(out_data, [&](Storage& storage) {
        if (!optionsSupported(*options))
            fail(cgltf_result_invalid_options);
        cgltf_size size = 0;
        void* bytes = nullptr;
        cgltf_result read = readFile(storage, path, &size, &bytes);
        if (read != cgltf_result_success)
            fail(read);
        storage.file_data = bytes;
        parseOwned(storage, *options, static_cast<const uint8_t*>(bytes), size);
    });
}

void cgltf_free(cgltf_data* data) {
    delete storageOf(data);
}

} // extern "C"
