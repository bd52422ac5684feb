// Validation of a parsed file: buffer views within their buffers, accessors within their views (sparse parts
// included), primitives with a known mode and vertices, tightly packed indices below the vertex count of
// their primitive, single-parent node trees without cycles, and no size computation that overflows. Data that
// is not loaded yet is not looked at, so the checks that need it pass until cgltf_load_buffers has run.
#include "GltfInternal.h"

#include <vector>

namespace gltf {
namespace {

bool isIndexComponent(cgltf_component_type type) {
    return type == cgltf_component_type_r_8u || type == cgltf_component_type_r_16u ||
           type == cgltf_component_type_r_32u;
}

// Whether offset + count elements of size bytes fit in limit.
bool fits(cgltf_size offset, cgltf_size count, cgltf_size size, cgltf_size limit) {
    cgltf_size bytes = 0, end = 0;
    return multiplyChecked(count, size, &bytes) && addChecked(offset, bytes, &end) && end <= limit;
}

cgltf_result checkView(const cgltf_buffer_view& view) {
    return fits(view.offset, 1, view.size, view.buffer->size) ? cgltf_result_success
                                                              : cgltf_result_data_too_short;
}

cgltf_result checkSparse(const cgltf_accessor& accessor, cgltf_size size) {
    const cgltf_accessor_sparse& sparse = accessor.sparse;
    if (sparse.count > accessor.count || !isIndexComponent(sparse.indices_component_type))
        return cgltf_result_invalid_gltf;
    cgltf_size indexSize = componentSize(sparse.indices_component_type);
    if (!fits(sparse.indices_byte_offset, sparse.count, indexSize, sparse.indices_buffer_view->size) ||
        !fits(sparse.values_byte_offset, sparse.count, size, sparse.values_buffer_view->size))
        return cgltf_result_data_too_short;
    if (const uint8_t* indices = viewBytes(sparse.indices_buffer_view)) {
        indices += sparse.indices_byte_offset;
        for (cgltf_size i = 0; i < sparse.count; ++i)
            if (readInteger(indices + i * indexSize, sparse.indices_component_type) >= accessor.count)
                return cgltf_result_data_too_short;
    }
    return cgltf_result_success;
}

cgltf_result checkAccessor(const cgltf_accessor& accessor) {
    cgltf_size size = elementSize(accessor.type, accessor.component_type);
    cgltf_size floats = 0, bytes = 0;
    // Unpacking writes count x components floats: that size must be computable too.
    if (size == 0 || !multiplyChecked(accessor.count, size, &bytes) ||
        !multiplyChecked(accessor.count, cgltf_num_components(accessor.type), &floats) ||
        !multiplyChecked(floats, sizeof(cgltf_float), &bytes))
        return cgltf_result_invalid_gltf;
    if (accessor.buffer_view && accessor.count > 0) {
        cgltf_size span = 0, end = 0;
        if (!multiplyChecked(accessor.stride, accessor.count - 1, &span) ||
            !addChecked(accessor.offset, span, &end) || !addChecked(end, size, &end) ||
            end > accessor.buffer_view->size)
            return cgltf_result_data_too_short;
    }
    return accessor.is_sparse ? checkSparse(accessor, size) : cgltf_result_success;
}

// The highest of count tightly packed indices of type T (indices are never strided).
template <typename T> T highestIndex(const uint8_t* at, cgltf_size count) {
    T highest = 0;
    for (cgltf_size k = 0; k < count; ++k) {
        T value;
        std::memcpy(&value, at + k * sizeof(T), sizeof(T));
        highest = value > highest ? value : highest;
    }
    return highest;
}

// Index values that cannot be read (no view, or data not loaded) are 0, as unpacking leaves them, which the
// primitive's vertex count (never 0) allows.
cgltf_result checkIndexValues(const cgltf_accessor& indices, cgltf_size vertexCount) {
    if (indices.count == 0)
        return cgltf_result_success;
    std::vector<bool> replaced;
    if (indices.is_sparse) {
        const cgltf_accessor_sparse& sparse = indices.sparse;
        const uint8_t* positions = viewBytes(sparse.indices_buffer_view);
        const uint8_t* values = viewBytes(sparse.values_buffer_view);
        cgltf_size positionSize = componentSize(sparse.indices_component_type);
        cgltf_size valueSize = componentSize(indices.component_type);
        if (positions && values) {
            if (indices.buffer_view)
                replaced.resize(indices.count);
            for (cgltf_size i = 0; i < sparse.count; ++i) {
                uint64_t value =
                    readInteger(values + sparse.values_byte_offset + i * valueSize, indices.component_type);
                if (value >= vertexCount)
                    return cgltf_result_data_too_short;
                if (!replaced.empty())
                    replaced[readInteger(positions + sparse.indices_byte_offset + i * positionSize,
                                         sparse.indices_component_type)] = true;
            }
        }
    }
    const uint8_t* element = indices.buffer_view ? accessorBytes(&indices) : nullptr;
    if (!element)
        return cgltf_result_success;
    if (replaced.empty()) {
        bool inRange = indices.component_type == cgltf_component_type_r_8u
                           ? highestIndex<uint8_t>(element, indices.count) < vertexCount
                       : indices.component_type == cgltf_component_type_r_16u
                           ? highestIndex<uint16_t>(element, indices.count) < vertexCount
                           : highestIndex<uint32_t>(element, indices.count) < vertexCount;
        return inRange ? cgltf_result_success : cgltf_result_data_too_short;
    }
    for (cgltf_size k = 0; k < indices.count; ++k, element += indices.stride)
        if (!replaced[k] && readInteger(element, indices.component_type) >= vertexCount)
            return cgltf_result_data_too_short;
    return cgltf_result_success;
}

cgltf_result checkPrimitive(const cgltf_primitive& primitive) {
    // A known mode, and vertices: at least one attribute, the first with elements.
    if (primitive.type == cgltf_primitive_type_invalid || primitive.attributes_count == 0 ||
        primitive.attributes[0].data->count == 0)
        return cgltf_result_invalid_gltf;
    for (cgltf_size i = 1; i < primitive.attributes_count; ++i)
        if (primitive.attributes[i].data->count != primitive.attributes[0].data->count)
            return cgltf_result_invalid_gltf;
    if (!primitive.indices)
        return cgltf_result_success;
    if (primitive.indices->type != cgltf_type_scalar || !isIndexComponent(primitive.indices->component_type))
        return cgltf_result_invalid_gltf;
    // Only vertex attributes may be strided: indices are tightly packed.
    if (primitive.indices->stride != componentSize(primitive.indices->component_type))
        return cgltf_result_invalid_gltf;
    return checkIndexValues(*primitive.indices, primitive.attributes[0].data->count);
}

// Each node has at most one parent (the parser makes sure), so a cycle is a loop of parent links. Walking up
// from every node and marking the walk finds one in linear time.
cgltf_result checkNodeCycles(const cgltf_data& data) {
    enum : uint8_t { unvisited, onWalk, finished };
    std::vector<uint8_t> state(data.nodes_count, unvisited);
    std::vector<cgltf_size> walk;
    for (cgltf_size start = 0; start < data.nodes_count; ++start) {
        walk.clear();
        for (const cgltf_node* node = &data.nodes[start]; node; node = node->parent) {
            cgltf_size index = static_cast<cgltf_size>(node - data.nodes);
            if (state[index] == finished)
                break;
            if (state[index] == onWalk)
                return cgltf_result_invalid_gltf;
            state[index] = onWalk;
            walk.push_back(index);
        }
        for (cgltf_size index : walk)
            state[index] = finished;
    }
    return cgltf_result_success;
}

cgltf_result validate(const cgltf_data& data) {
    cgltf_result result = cgltf_result_success;
    for (cgltf_size i = 0; i < data.buffer_views_count && result == cgltf_result_success; ++i)
        result = checkView(data.buffer_views[i]);
    for (cgltf_size i = 0; i < data.accessors_count && result == cgltf_result_success; ++i)
        result = checkAccessor(data.accessors[i]);
    for (cgltf_size m = 0; m < data.meshes_count && result == cgltf_result_success; ++m)
        for (cgltf_size p = 0; p < data.meshes[m].primitives_count && result == cgltf_result_success; ++p)
            result = checkPrimitive(data.meshes[m].primitives[p]);
    if (result == cgltf_result_success)
        result = checkNodeCycles(data);
    for (cgltf_size s = 0; s < data.scenes_count && result == cgltf_result_success; ++s)
        for (cgltf_size n = 0; n < data.scenes[s].nodes_count; ++n)
            if (data.scenes[s].nodes[n]->parent)
                return cgltf_result_invalid_gltf; // a scene lists only root nodes
    return result;
}

} // namespace
} // namespace gltf

extern "C" cgltf_result cgltf_validate(cgltf_data* data) {
    if (!data)
        return cgltf_result_invalid_options;
    try {
        return gltf::validate(*data);
    } catch (const std::bad_alloc&) {
        return cgltf_result_out_of_memory;
    }
}
