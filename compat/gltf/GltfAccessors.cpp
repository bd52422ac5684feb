// Accessor layout and unpacking: every component type, normalised integers, byte strides, matrix column
// padding and sparse substitution, as glTF 2.0 defines them. Every read is bounds-checked against the loaded
// buffer, so unpacking is safe even for data that was never validated.
#include "GltfInternal.h"

#include <algorithm>
#include <type_traits>

namespace gltf {

cgltf_size componentSize(cgltf_component_type type) {
    switch (type) {
    case cgltf_component_type_r_8:
    case cgltf_component_type_r_8u:
        return 1;
    case cgltf_component_type_r_16:
    case cgltf_component_type_r_16u:
        return 2;
    case cgltf_component_type_r_32u:
    case cgltf_component_type_r_32f:
        return 4;
    default:
        return 0;
    }
}

namespace {

// Rows of one matrix column, or 0 when the type is not a matrix.
cgltf_size matrixRows(cgltf_type type) {
    switch (type) {
    case cgltf_type_mat2:
        return 2;
    case cgltf_type_mat3:
        return 3;
    case cgltf_type_mat4:
        return 4;
    default:
        return 0;
    }
}

cgltf_size columnStride(cgltf_type type, cgltf_component_type componentType) {
    cgltf_size columnBytes = matrixRows(type) * componentSize(componentType);
    return (columnBytes + 3) & ~cgltf_size(3);
}

} // namespace

cgltf_size elementSize(cgltf_type type, cgltf_component_type componentType) {
    cgltf_size size = componentSize(componentType);
    cgltf_size rows = matrixRows(type);
    if (rows)
        return rows * columnStride(type, componentType);
    return size * cgltf_num_components(type);
}

cgltf_size componentOffset(cgltf_type type, cgltf_component_type componentType, cgltf_size n) {
    cgltf_size rows = matrixRows(type);
    if (rows)
        return (n / rows) * columnStride(type, componentType) + (n % rows) * componentSize(componentType);
    return n * componentSize(componentType);
}

const uint8_t* viewBytes(const cgltf_buffer_view* view) {
    if (!view || !view->buffer || !view->buffer->data)
        return nullptr;
    cgltf_size end = 0;
    if (!addChecked(view->offset, view->size, &end) || end > view->buffer->size)
        return nullptr;
    return static_cast<const uint8_t*>(view->buffer->data) + view->offset;
}

const uint8_t* accessorBytes(const cgltf_accessor* accessor) {
    const uint8_t* bytes = viewBytes(accessor->buffer_view);
    cgltf_size size = elementSize(accessor->type, accessor->component_type);
    if (!bytes || size == 0)
        return nullptr;
    cgltf_size end = accessor->offset;
    if (accessor->count > 0) {
        cgltf_size span = 0;
        if (!multiplyChecked(accessor->stride, accessor->count - 1, &span) || !addChecked(end, span, &end) ||
            !addChecked(end, size, &end))
            return nullptr;
    }
    if (end > accessor->buffer_view->size)
        return nullptr;
    return bytes + accessor->offset;
}

namespace {

// One little-endian value from a position of any alignment.
template <typename T> T load(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

} // namespace

uint64_t readInteger(const uint8_t* at, cgltf_component_type type) {
    switch (type) {
    case cgltf_component_type_r_8:
    case cgltf_component_type_r_8u:
        return at[0];
    case cgltf_component_type_r_16:
    case cgltf_component_type_r_16u:
        return load<uint16_t>(at);
    case cgltf_component_type_r_32u:
        return load<uint32_t>(at);
    default:
        return 0;
    }
}

namespace {

// One component as a float; normalised integers map to [0, 1] or [-1, 1] as glTF defines.
float toFloat(int8_t value, bool normalized) {
    return normalized ? std::max(value / 127.0f, -1.0f) : value;
}
float toFloat(uint8_t value, bool normalized) {
    return normalized ? value / 255.0f : value;
}
float toFloat(int16_t value, bool normalized) {
    return normalized ? std::max(value / 32767.0f, -1.0f) : value;
}
float toFloat(uint16_t value, bool normalized) {
    return normalized ? value / 65535.0f : value;
}
float toFloat(uint32_t value, bool) {
    return static_cast<float>(value);
}
float toFloat(float value, bool) {
    return value;
}

template <typename Component> float readAs(const uint8_t* at, bool normalized) {
    return toFloat(load<Component>(at), normalized);
}

} // namespace

float readFloat(const uint8_t* at, cgltf_component_type type, bool normalized) {
    switch (type) {
    case cgltf_component_type_r_8:
        return readAs<int8_t>(at, normalized);
    case cgltf_component_type_r_8u:
        return readAs<uint8_t>(at, normalized);
    case cgltf_component_type_r_16:
        return readAs<int16_t>(at, normalized);
    case cgltf_component_type_r_16u:
        return readAs<uint16_t>(at, normalized);
    case cgltf_component_type_r_32u:
        return readAs<uint32_t>(at, normalized);
    case cgltf_component_type_r_32f:
        return readAs<float>(at, normalized);
    default:
        return 0.0f;
    }
}

namespace {

void readElement(const cgltf_accessor* accessor, const uint8_t* element, cgltf_size components, float* out) {
    for (cgltf_size n = 0; n < components; ++n) {
        const uint8_t* at = element + componentOffset(accessor->type, accessor->component_type, n);
        out[n] = readFloat(at, accessor->component_type, accessor->normalized != 0);
    }
}

// count elements whose components lie one after another (every layout but the padded matrix columns of 1- and
// 2-byte components), stride bytes apart.
template <typename Component>
void readPackedElements(const uint8_t* element, cgltf_size stride, cgltf_size count, cgltf_size components,
                        bool normalized, float* out) {
    // Tightly packed floats are the bytes of the output already.
    if constexpr (std::is_same_v<Component, float>) {
        if (stride == components * sizeof(float)) {
            std::memcpy(out, element, count * components * sizeof(float));
            return;
        }
    }
    for (cgltf_size k = 0; k < count; ++k, element += stride)
        for (cgltf_size n = 0; n < components; ++n)
            *out++ = readAs<Component>(element + n * sizeof(Component), normalized);
}

// The first count elements of an accessor whose elements all lie within its view.
void readElements(const cgltf_accessor* accessor, const uint8_t* element, cgltf_size count,
                  cgltf_size components, float* out) {
    const bool normalized = accessor->normalized != 0;
    const cgltf_size stride = accessor->stride;
    const bool packed = componentOffset(accessor->type, accessor->component_type, components - 1) ==
                        (components - 1) * componentSize(accessor->component_type);
    if (packed) {
        switch (accessor->component_type) {
        case cgltf_component_type_r_8:
            return readPackedElements<int8_t>(element, stride, count, components, normalized, out);
        case cgltf_component_type_r_8u:
            return readPackedElements<uint8_t>(element, stride, count, components, normalized, out);
        case cgltf_component_type_r_16:
            return readPackedElements<int16_t>(element, stride, count, components, normalized, out);
        case cgltf_component_type_r_16u:
            return readPackedElements<uint16_t>(element, stride, count, components, normalized, out);
        case cgltf_component_type_r_32u:
            return readPackedElements<uint32_t>(element, stride, count, components, normalized, out);
        case cgltf_component_type_r_32f:
            return readPackedElements<float>(element, stride, count, components, normalized, out);
        default:
            break;
        }
    }
    for (cgltf_size k = 0; k < count; ++k, element += stride)
        readElement(accessor, element, components, out + k * components);
}

// Writes the sparse values over the first elementCount elements of out; false when the sparse data cannot be
// read within its views.
bool applySparse(const cgltf_accessor* accessor, cgltf_size elementCount, float* out) {
    const cgltf_accessor_sparse& sparse = accessor->sparse;
    cgltf_size components = cgltf_num_components(accessor->type);
    cgltf_size indexSize = componentSize(sparse.indices_component_type);
    cgltf_size valueSize = elementSize(accessor->type, accessor->component_type);
    const uint8_t* indices = viewBytes(sparse.indices_buffer_view);
    const uint8_t* values = viewBytes(sparse.values_buffer_view);
    cgltf_size indicesEnd = 0, valuesEnd = 0, indicesBytes = 0, valuesBytes = 0;
    if (!indices || !values || indexSize == 0 || !multiplyChecked(indexSize, sparse.count, &indicesBytes) ||
        !addChecked(sparse.indices_byte_offset, indicesBytes, &indicesEnd) ||
        indicesEnd > sparse.indices_buffer_view->size ||
        !multiplyChecked(valueSize, sparse.count, &valuesBytes) ||
        !addChecked(sparse.values_byte_offset, valuesBytes, &valuesEnd) ||
        valuesEnd > sparse.values_buffer_view->size)
        return false;
    indices += sparse.indices_byte_offset;
    values += sparse.values_byte_offset;
    for (cgltf_size i = 0; i < sparse.count; ++i) {
        uint64_t index = readInteger(indices + i * indexSize, sparse.indices_component_type);
        if (index < elementCount)
            readElement(accessor, values + i * valueSize, components, out + index * components);
    }
    return true;
}

template <typename In, typename Out>
cgltf_size convertIndices(const uint8_t* element, cgltf_size stride, cgltf_size count, void* out) {
    auto* bytes = static_cast<uint8_t*>(out);
    for (cgltf_size i = 0; i < count; ++i, element += stride) {
        const Out value = static_cast<Out>(load<In>(element));
        std::memcpy(bytes + i * sizeof(Out), &value, sizeof(Out));
    }
    return count;
}

// Copies count indices of type In, stride bytes apart, into out as outSize-byte values (cut to that size).
template <typename In>
cgltf_size widenIndices(const uint8_t* element, cgltf_size stride, cgltf_size count, void* out,
                        cgltf_size outSize) {
    if (outSize == 1)
        return convertIndices<In, uint8_t>(element, stride, count, out);
    if (outSize == 2)
        return convertIndices<In, uint16_t>(element, stride, count, out);
    return convertIndices<In, uint32_t>(element, stride, count, out);
}

} // namespace

} // namespace gltf

using namespace gltf;

extern "C" {

cgltf_size cgltf_num_components(cgltf_type type) {
    switch (type) {
    case cgltf_type_scalar:
        return 1;
    case cgltf_type_vec2:
        return 2;
    case cgltf_type_vec3:
        return 3;
    case cgltf_type_vec4:
    case cgltf_type_mat2:
        return 4;
    case cgltf_type_mat3:
        return 9;
    case cgltf_type_mat4:
        return 16;
    default:
        return 1;
    }
}

const cgltf_accessor* cgltf_find_accessor(const cgltf_primitive* prim, cgltf_attribute_type type,
                                          cgltf_int index) {
    for (cgltf_size i = 0; i < prim->attributes_count; ++i) {
        const cgltf_attribute& attribute = prim->attributes[i];
        if (attribute.type == type && attribute.index == index)
            return attribute.data;
    }
    return nullptr;
}

cgltf_size cgltf_accessor_unpack_floats(const cgltf_accessor* accessor, cgltf_float* out,
                                        cgltf_size float_count) {
    cgltf_size components = cgltf_num_components(accessor->type);
    cgltf_size available = 0;
    if (!multiplyChecked(accessor->count, components, &available))
        return 0;
    if (!out)
        return available;
    cgltf_size elementCount = std::min(float_count, available) / components;
    if (elementCount == 0)
        return 0;

    if (accessor->buffer_view) {
        const uint8_t* element = accessorBytes(accessor);
        if (!element)
            return 0;
        readElements(accessor, element, elementCount, components, out);
    } else {
        std::fill(out, out + elementCount * components, 0.0f);
    }
    if (accessor->is_sparse && !applySparse(accessor, elementCount, out))
        return 0;
    return elementCount * components;
}

cgltf_size cgltf_accessor_unpack_indices(const cgltf_accessor* accessor, void* out,
                                         cgltf_size out_component_size, cgltf_size index_count) {
    if (!out)
        return accessor->count;
    index_count = std::min(index_count, accessor->count);
    if (index_count == 0 || accessor->is_sparse || !accessor->buffer_view)
        return 0;
    if (accessor->component_type != cgltf_component_type_r_8u &&
        accessor->component_type != cgltf_component_type_r_16u &&
        accessor->component_type != cgltf_component_type_r_32u)
        return 0;
    if (out_component_size != 1 && out_component_size != 2 && out_component_size != 4)
        return 0;
    const uint8_t* element = accessorBytes(accessor);
    if (!element)
        return 0;
    switch (accessor->component_type) {
    case cgltf_component_type_r_8u:
        return widenIndices<uint8_t>(element, accessor->stride, index_count, out, out_component_size);
    case cgltf_component_type_r_16u:
        return widenIndices<uint16_t>(element, accessor->stride, index_count, out, out_component_size);
    default:
        return widenIndices<uint32_t>(element, accessor->stride, index_count, out, out_component_size);
    }
}

} // extern "C"
