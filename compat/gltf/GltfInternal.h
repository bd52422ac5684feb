// Shared pieces of the glTF implementation: the storage that owns everything a cgltf_data points to, the
// error that the parser throws internally, layout rules of accessors and checked size arithmetic.
#pragma once

#include "cgltf.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

namespace gltf {

// Everything reachable from a parsed file lives in one block list, released together by cgltf_free. A block
// can also be released early through the data's memory and file options (a caller done with the buffers'
// bytes), which leaves an empty slot.
struct Storage : cgltf_data {
    static constexpr size_t hugePage = size_t(2) << 20; // the size of a huge page on x86-64 and arm64
    std::vector<void*> blocks;

    Storage() : cgltf_data{} {
        memory.free_func = [](void* user, void* block) { static_cast<Storage*>(user)->release(block); };
        memory.user_data = this;
        file.release = [](const cgltf_memory_options* memoryOptions, const cgltf_file_options*, void* block) {
            memoryOptions->free_func(memoryOptions->user_data, block);
        };
    }
    Storage(const Storage&) = delete;
    Storage& operator=(const Storage&) = delete;
    ~Storage() {
        for (void* block : blocks)
            std::free(block);
    }

    // Zero-filled storage for count objects of a plain C type; nullptr for a count of 0.
    template <typename T> T* allocate(size_t count) {
        if (count == 0)
            return nullptr;
        // The slot is taken first (the list grows geometrically), so that no block is ever left unowned.
        blocks.push_back(nullptr);
        void* block = std::calloc(count, sizeof(T));
        if (!block) {
            blocks.pop_back();
            throw std::bad_alloc();
        }
        blocks.back() = block;
        return static_cast<T*>(block);
    }

    // Storage for size bytes that the caller writes whole (a file's contents). A large block is aligned to
    // 2 MiB and offered to the kernel for huge pages, so that filling it faults once per 2 MiB instead of
    // once per 4 KiB page: those faults are most of the time it takes to read a large file into fresh memory.
    void* allocateBytes(size_t size) {
        if (size < hugePage || size > SIZE_MAX - hugePage)
            return allocate<uint8_t>(size);
        const size_t rounded = (size + hugePage - 1) & ~(hugePage - 1);
        blocks.push_back(nullptr);
        void* block = std::aligned_alloc(hugePage, rounded);
        if (!block) {
            blocks.pop_back();
            throw std::bad_alloc();
        }
        blocks.back() = block;
        madvise(block, rounded, MADV_HUGEPAGE);
        return block;
    }

    // Frees one block that this storage owns; a pointer it does not own is left alone. Blocks released early
    // are the last ones made (the buffers' bytes come after the parse), so the search starts at the end.
    void release(void* block) {
        if (!block)
            return;
        for (auto slot = blocks.rbegin(); slot != blocks.rend(); ++slot)
            if (*slot == block) {
                std::free(block);
                *slot = nullptr;
                return;
            }
    }

    char* copyString(std::string_view text) {
        char* copy = allocate<char>(text.size() + 1);
        std::memcpy(copy, text.data(), text.size());
        return copy;
    }
};

inline Storage* storageOf(cgltf_data* data) {
    return static_cast<Storage*>(data);
}

// Thrown inside the implementation and turned into the result code at the API boundary.
struct Failure {
    cgltf_result result;
};

[[noreturn]] inline void fail(cgltf_result result) {
    throw Failure{result};
}

// a + b and a * b, or false when the result does not fit in cgltf_size.
inline bool addChecked(cgltf_size a, cgltf_size b, cgltf_size* out) {
    return !__builtin_add_overflow(a, b, out);
}
inline bool multiplyChecked(cgltf_size a, cgltf_size b, cgltf_size* out) {
    return !__builtin_mul_overflow(a, b, out);
}

cgltf_size componentSize(cgltf_component_type type);

// Bytes of one element, with the column padding of matrices of 1- and 2-byte components that glTF requires
// (every column starts on a 4-byte boundary); 0 for an invalid type.
cgltf_size elementSize(cgltf_type type, cgltf_component_type componentType);

// Byte offset of component n (column-major for matrices) within one element.
cgltf_size componentOffset(cgltf_type type, cgltf_component_type componentType, cgltf_size n);

// The bytes of a buffer view when the view lies within its loaded buffer; nullptr otherwise.
const uint8_t* viewBytes(const cgltf_buffer_view* view);

// The first byte of an accessor's elements when all count elements lie within its buffer view and the view
// within its loaded buffer; nullptr otherwise (no view, data not loaded, or out of bounds).
const uint8_t* accessorBytes(const cgltf_accessor* accessor);

// Reads a regular file into a block of the storage: the whole file when *size is 0 (and sets *size), else
// its first *size bytes (cgltf_result_data_too_short when the file is shorter).
cgltf_result readFile(Storage& storage, const char* path, cgltf_size* size, void** data);

// Fills the storage's arrays from the JSON text of a glTF file; throws Failure on malformed input.
void parseJson(Storage& storage, const char* json, size_t size);

// Reads one component as an unsigned integer (integers only) or as a float (normalised when asked).
uint64_t readInteger(const uint8_t* at, cgltf_component_type type);
float readFloat(const uint8_t* at, cgltf_component_type type, bool normalized);

} // namespace gltf
