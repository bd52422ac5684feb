// The JSON part of a glTF 2.0 file, read into the cgltf structures. Every array is allocated before any
// element is read, so references between objects become pointers as they are read; a reference outside its
// array, a missing required property or a property of the wrong JSON type is cgltf_result_invalid_gltf.
#include "GltfInternal.h"

#include <nlohmann/json.hpp>

#include <cfloat>
#include <climits>
#include <cmath>
#include <string>

namespace gltf {
namespace {

// Keeps the file's key order, so a primitive's attributes stay in the order the file lists them.
using Json = nlohmann::ordered_json;

void require(bool condition) {
    if (!condition)
        fail(cgltf_result_invalid_gltf);
}

const Json* member(const Json& object, const char* key) {
    auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

const Json& requiredMember(const Json& object, const char* key) {
    const Json* value = member(object, key);
    require(value != nullptr);
    return *value;
}

cgltf_size toSize(const Json& value) {
    if (value.is_number_unsigned())
        return value.get<uint64_t>();
    if (value.is_number_integer())
        fail(cgltf_result_invalid_gltf); // a negative integer
    require(value.is_number_float());
    double number = value.get<double>();
    require(number >= 0.0 && number < 18446744073709551616.0 && std::floor(number) == number);
    return static_cast<cgltf_size>(number);
}

cgltf_size readSize(const Json& object, const char* key, cgltf_size fallback) {
    const Json* value = member(object, key);
    return value ? toSize(*value) : fallback;
}

cgltf_int readInt(const Json& object, const char* key, cgltf_int fallback) {
    cgltf_size value = readSize(object, key, static_cast<cgltf_size>(fallback));
    require(value <= INT_MAX);
    return static_cast<cgltf_int>(value);
}

template <typename T> T* toReference(const Json& value, T* array, cgltf_size count) {
    cgltf_size index = toSize(value);
    require(index < count);
    return array + index;
}

template <typename T> T* readReference(const Json& object, const char* key, T* array, cgltf_size count) {
    const Json* value = member(object, key);
    return value ? toReference(*value, array, count) : nullptr;
}

float toFloat(const Json& value) {
    require(value.is_number());
    const double number = value.get<double>();
    // The nearest float, ties to even, as a conversion rounds: a double a little above FLT_MAX (writers print
    // it as 3.4028235e38) rounds down to it, and only from the midpoint between FLT_MAX and 2^128 on does the
    // value overflow to an infinity. Spelled out because converting a double outside the float range is
    // undefined in C++.
    constexpr double overflow = 0x1.ffffffp127;
    if (std::fabs(number) >= overflow)
        return number > 0 ? INFINITY : -INFINITY;
    if (std::fabs(number) > FLT_MAX)
        return number > 0 ? FLT_MAX : -FLT_MAX;
    return static_cast<float>(number);
}

float readFloat(const Json& object, const char* key, float fallback) {
    const Json* value = member(object, key);
    return value ? toFloat(*value) : fallback;
}

// Reads an array of exactly count numbers; false when the key is absent.
bool readFloats(const Json& object, const char* key, float* out, cgltf_size count) {
    const Json* value = member(object, key);
    if (!value)
        return false;
    require(value->is_array() && value->size() == count);
    for (cgltf_size i = 0; i < count; ++i)
        out[i] = toFloat((*value)[i]);
    return true;
}

bool readBool(const Json& object, const char* key, bool fallback) {
    const Json* value = member(object, key);
    if (!value)
        return fallback;
    require(value->is_boolean());
    return value->get<bool>();
}

char* readString(Storage& storage, const Json& object, const char* key) {
    const Json* value = member(object, key);
    if (!value)
        return nullptr;
    require(value->is_string());
    return storage.copyString(value->get_ref<const std::string&>());
}

const Json* readArray(const Json& object, const char* key) {
    const Json* value = member(object, key);
    require(!value || value->is_array());
    return value;
}

cgltf_size arraySize(const Json& object, const char* key) {
    const Json* array = readArray(object, key);
    return array ? array->size() : 0;
}

// Every element of a top-level array must be an object.
template <typename Read> void forEachObject(const Json& root, const char* key, Read read) {
    const Json* array = readArray(root, key);
    if (!array)
        return;
    for (cgltf_size i = 0; i < array->size(); ++i) {
        const Json& object = (*array)[i];
        require(object.is_object());
        read(object, i);
    }
}

cgltf_component_type toComponentType(const Json& value) {
    switch (toSize(value)) {
    case 5120:
        return cgltf_component_type_r_8;
    case 5121:
        return cgltf_component_type_r_8u;
    case 5122:
        return cgltf_component_type_r_16;
    case 5123:
        return cgltf_component_type_r_16u;
    case 5125:
        return cgltf_component_type_r_32u;
    case 5126:
        return cgltf_component_type_r_32f;
    default:
        fail(cgltf_result_invalid_gltf);
    }
}

cgltf_type toType(const Json& value) {
    require(value.is_string());
    const std::string& name = value.get_ref<const std::string&>();
    static const char* const names[] = {"SCALAR", "VEC2", "VEC3", "VEC4", "MAT2", "MAT3", "MAT4"};
    for (int i = 0; i < 7; ++i)
        if (name == names[i])
            return static_cast<cgltf_type>(cgltf_type_scalar + i);
    fail(cgltf_result_invalid_gltf);
}

// "POSITION", "NORMAL", "TANGENT", and "TEXCOORD_n", "COLOR_n", "JOINTS_n", "WEIGHTS_n" with their set index;
// names starting with an underscore are application-specific.
void toAttributeType(const std::string& name, cgltf_attribute_type* type, cgltf_int* index) {
    *type = cgltf_attribute_type_invalid;
    *index = 0;
    if (!name.empty() && name[0] == '_') {
        *type = cgltf_attribute_type_custom;
        return;
    }
    size_t underscore = name.find('_');
    std::string semantic = name.substr(0, underscore);
    static const struct {
        const char* name;
        cgltf_attribute_type type;
    } semantics[] = {{"POSITION", cgltf_attribute_type_position}, {"NORMAL", cgltf_attribute_type_normal},
                     {"TANGENT", cgltf_attribute_type_tangent},   {"TEXCOORD", cgltf_attribute_type_texcoord},
                     {"COLOR", cgltf_attribute_type_color},       {"JOINTS", cgltf_attribute_type_joints},
                     {"WEIGHTS", cgltf_attribute_type_weights}};
    for (const auto& known : semantics)
        if (semantic == known.name)
            *type = known.type;
    if (*type == cgltf_attribute_type_invalid || underscore == std::string::npos)
        return;
    // The set index is the number after the underscore, read as atoi reads it (white space, an optional
    // sign, then the digits up to the first other character). One that is negative or does not fit in
    // cgltf_int leaves the attribute without a known kind; the file is still read.
    size_t at = underscore + 1;
    while (at < name.size() && (name[at] == ' ' || (name[at] >= '\t' && name[at] <= '\r')))
        ++at;
    const bool negative = at < name.size() && name[at] == '-';
    if (at < name.size() && (name[at] == '-' || name[at] == '+'))
        ++at;
    long long set = 0;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at) {
        set = set * 10 + (name[at] - '0');
        if (set > INT_MAX)
            break;
    }
    if (set > INT_MAX || (negative && set != 0)) {
        *type = cgltf_attribute_type_invalid;
        return;
    }
    *index = static_cast<cgltf_int>(set);
}

cgltf_primitive_type toPrimitiveType(cgltf_size mode) {
    return mode <= 6 ? static_cast<cgltf_primitive_type>(cgltf_primitive_type_points + mode)
                     : cgltf_primitive_type_invalid;
}

struct Reader {
    Storage& storage;

    void buffer(const Json& object, cgltf_buffer& buffer) {
        buffer.name = readString(storage, object, "name");
        buffer.uri = readString(storage, object, "uri");
        buffer.size = toSize(requiredMember(object, "byteLength"));
    }

    void bufferView(const Json& object, cgltf_buffer_view& view) {
        view.name = readString(storage, object, "name");
        view.buffer = toReference(requiredMember(object, "buffer"), storage.buffers, storage.buffers_count);
        view.offset = readSize(object, "byteOffset", 0);
        view.size = toSize(requiredMember(object, "byteLength"));
        view.stride = readSize(object, "byteStride", 0);
        cgltf_size target = readSize(object, "target", 0);
        view.type = target == 34963   ? cgltf_buffer_view_type_indices
                    : target == 34962 ? cgltf_buffer_view_type_vertices
                                      : cgltf_buffer_view_type_invalid;
    }

    void sparse(const Json& object, cgltf_accessor_sparse& sparse) {
        sparse.count = toSize(requiredMember(object, "count"));
        const Json& indices = requiredMember(object, "indices");
        const Json& values = requiredMember(object, "values");
        require(indices.is_object() && values.is_object());
        sparse.indices_buffer_view = toReference(requiredMember(indices, "bufferView"), storage.buffer_views,
                                                 storage.buffer_views_count);
        sparse.indices_byte_offset = readSize(indices, "byteOffset", 0);
        sparse.indices_component_type = toComponentType(requiredMember(indices, "componentType"));
        sparse.values_buffer_view = toReference(requiredMember(values, "bufferView"), storage.buffer_views,
                                                storage.buffer_views_count);
        sparse.values_byte_offset = readSize(values, "byteOffset", 0);
    }

    void accessor(const Json& object, cgltf_accessor& accessor) {
        accessor.name = readString(storage, object, "name");
        accessor.buffer_view =
            readReference(object, "bufferView", storage.buffer_views, storage.buffer_views_count);
        accessor.offset = readSize(object, "byteOffset", 0);
        accessor.component_type = toComponentType(requiredMember(object, "componentType"));
        accessor.normalized = readBool(object, "normalized", false);
        accessor.count = toSize(requiredMember(object, "count"));
        accessor.type = toType(requiredMember(object, "type"));
        for (auto [key, has, values] : {std::tuple{"min", &accessor.has_min, accessor.min},
                                        std::tuple{"max", &accessor.has_max, accessor.max}}) {
            const Json* bound = readArray(object, key);
            if (!bound)
                continue;
            *has = true;
            for (cgltf_size i = 0; i < bound->size() && i < 16; ++i)
                values[i] = toFloat((*bound)[i]);
        }
        if (const Json* sparseObject = member(object, "sparse")) {
            require(sparseObject->is_object());
            accessor.is_sparse = true;
            sparse(*sparseObject, accessor.sparse);
        }
        accessor.stride = accessor.buffer_view && accessor.buffer_view->stride
                              ? accessor.buffer_view->stride
                              : elementSize(accessor.type, accessor.component_type);
    }

    void image(const Json& object, cgltf_image& image) {
        image.name = readString(storage, object, "name");
        image.uri = readString(storage, object, "uri");
        image.buffer_view =
            readReference(object, "bufferView", storage.buffer_views, storage.buffer_views_count);
        image.mime_type = readString(storage, object, "mimeType");
    }

    void texture(const Json& object, cgltf_texture& texture) {
        texture.name = readString(storage, object, "name");
        texture.image = readReference(object, "source", storage.images, storage.images_count);
    }

    void textureView(const Json* object, const char* scaleKey, cgltf_texture_view& view) {
        view.scale = 1.0f;
        if (!object)
            return;
        require(object->is_object());
        view.texture = readReference(*object, "index", storage.textures, storage.textures_count);
        view.texcoord = readInt(*object, "texCoord", 0);
        if (scaleKey)
            view.scale = readFloat(*object, scaleKey, 1.0f);
    }

    void material(const Json& object, cgltf_material& material) {
        material.name = readString(storage, object, "name");
        cgltf_pbr_metallic_roughness& pbr = material.pbr_metallic_roughness;
        // The glTF defaults stand whether or not the file has a "pbrMetallicRoughness" object.
        for (float& channel : pbr.base_color_factor)
            channel = 1.0f;
        pbr.metallic_factor = 1.0f;
        pbr.roughness_factor = 1.0f;
        if (const Json* pbrObject = member(object, "pbrMetallicRoughness")) {
            require(pbrObject->is_object());
            material.has_pbr_metallic_roughness = true;
            readFloats(*pbrObject, "baseColorFactor", pbr.base_color_factor, 4);
            pbr.metallic_factor = readFloat(*pbrObject, "metallicFactor", 1.0f);
            pbr.roughness_factor = readFloat(*pbrObject, "roughnessFactor", 1.0f);
            textureView(member(*pbrObject, "baseColorTexture"), nullptr, pbr.base_color_texture);
            textureView(member(*pbrObject, "metallicRoughnessTexture"), nullptr,
                        pbr.metallic_roughness_texture);
        } else {
            textureView(nullptr, nullptr, pbr.base_color_texture);
            textureView(nullptr, nullptr, pbr.metallic_roughness_texture);
        }
        textureView(member(object, "normalTexture"), "scale", material.normal_texture);
        textureView(member(object, "occlusionTexture"), "strength", material.occlusion_texture);
        textureView(member(object, "emissiveTexture"), nullptr, material.emissive_texture);
        readFloats(object, "emissiveFactor", material.emissive_factor, 3);
        if (const Json* mode = member(object, "alphaMode")) {
            require(mode->is_string());
            material.alpha_mode = *mode == "MASK"    ? cgltf_alpha_mode_mask
                                  : *mode == "BLEND" ? cgltf_alpha_mode_blend
                                                     : cgltf_alpha_mode_opaque;
        }
        material.alpha_cutoff = readFloat(object, "alphaCutoff", 0.5f);
        material.double_sided = readBool(object, "doubleSided", false);
    }

    void primitive(const Json& object, cgltf_primitive& primitive) {
        primitive.type = toPrimitiveType(readSize(object, "mode", 4));
        primitive.indices = readReference(object, "indices", storage.accessors, storage.accessors_count);
        primitive.material = readReference(object, "material", storage.materials, storage.materials_count);
        const Json* attributes = member(object, "attributes");
        if (!attributes)
            return;
        require(attributes->is_object());
        primitive.attributes_count = attributes->size();
        primitive.attributes = storage.allocate<cgltf_attribute>(primitive.attributes_count);
        cgltf_attribute* attribute = primitive.attributes;
        for (auto entry = attributes->begin(); entry != attributes->end(); ++entry, ++attribute) {
            attribute->name = storage.copyString(entry.key());
            toAttributeType(entry.key(), &attribute->type, &attribute->index);
            attribute->data = toReference(entry.value(), storage.accessors, storage.accessors_count);
        }
    }

    void mesh(const Json& object, cgltf_mesh& mesh) {
        mesh.name = readString(storage, object, "name");
        const Json* primitives = readArray(object, "primitives");
        if (!primitives)
            return;
        mesh.primitives_count = primitives->size();
        mesh.primitives = storage.allocate<cgltf_primitive>(mesh.primitives_count);
        for (cgltf_size i = 0; i < mesh.primitives_count; ++i) {
            require((*primitives)[i].is_object());
            primitive((*primitives)[i], mesh.primitives[i]);
        }
    }

    void nodeList(const Json* indices, cgltf_node*** out, cgltf_size* count) {
        if (!indices)
            return;
        *count = indices->size();
        *out = storage.allocate<cgltf_node*>(*count);
        for (cgltf_size i = 0; i < *count; ++i)
            (*out)[i] = toReference((*indices)[i], storage.nodes, storage.nodes_count);
    }

    void node(const Json& object, cgltf_node& node) {
        node.name = readString(storage, object, "name");
        node.mesh = readReference(object, "mesh", storage.meshes, storage.meshes_count);
        node.rotation[3] = 1.0f;
        node.scale[0] = node.scale[1] = node.scale[2] = 1.0f;
        node.matrix[0] = node.matrix[5] = node.matrix[10] = node.matrix[15] = 1.0f;
        node.has_translation = readFloats(object, "translation", node.translation, 3);
        node.has_rotation = readFloats(object, "rotation", node.rotation, 4);
        node.has_scale = readFloats(object, "scale", node.scale, 3);
        node.has_matrix = readFloats(object, "matrix", node.matrix, 16);
        nodeList(readArray(object, "children"), &node.children, &node.children_count);
    }

    void scene(const Json& object, cgltf_scene& scene) {
        scene.name = readString(storage, object, "name");
        nodeList(readArray(object, "nodes"), &scene.nodes, &scene.nodes_count);
    }
};

// A node is the child of at most one node; a cycle through children is left to cgltf_validate.
void linkParents(Storage& storage) {
    for (cgltf_size i = 0; i < storage.nodes_count; ++i) {
        cgltf_node& node = storage.nodes[i];
        for (cgltf_size c = 0; c < node.children_count; ++c) {
            require(node.children[c]->parent == nullptr);
            node.children[c]->parent = &node;
        }
    }
}

} // namespace

void parseJson(Storage& storage, const char* text, size_t size) {
    Json root = Json::parse(text, text + size, nullptr, false);
    if (root.is_discarded() || !root.is_object())
        fail(cgltf_result_invalid_json);

    Storage& s = storage;
    s.buffers = s.allocate<cgltf_buffer>(s.buffers_count = arraySize(root, "buffers"));
    s.buffer_views = s.allocate<cgltf_buffer_view>(s.buffer_views_count = arraySize(root, "bufferViews"));
    s.accessors = s.allocate<cgltf_accessor>(s.accessors_count = arraySize(root, "accessors"));
    s.images = s.allocate<cgltf_image>(s.images_count = arraySize(root, "images"));
    s.textures = s.allocate<cgltf_texture>(s.textures_count = arraySize(root, "textures"));
    s.materials = s.allocate<cgltf_material>(s.materials_count = arraySize(root, "materials"));
    s.meshes = s.allocate<cgltf_mesh>(s.meshes_count = arraySize(root, "meshes"));
    s.nodes = s.allocate<cgltf_node>(s.nodes_count = arraySize(root, "nodes"));
    s.scenes = s.allocate<cgltf_scene>(s.scenes_count = arraySize(root, "scenes"));

    Reader reader{storage};
    forEachObject(root, "buffers", [&](const Json& o, cgltf_size i) { reader.buffer(o, s.buffers[i]); });
    forEachObject(root, "bufferViews",
                  [&](const Json& o, cgltf_size i) { reader.bufferView(o, s.buffer_views[i]); });
    forEachObject(root, "accessors",
                  [&](const Json& o, cgltf_size i) { reader.accessor(o, s.accessors[i]); });
    forEachObject(root, "images", [&](const Json& o, cgltf_size i) { reader.image(o, s.images[i]); });
    forEachObject(root, "textures", [&](const Json& o, cgltf_size i) { reader.texture(o, s.textures[i]); });
    forEachObject(root, "materials",
                  [&](const Json& o, cgltf_size i) { reader.material(o, s.materials[i]); });
    forEachObject(root, "meshes", [&](const Json& o, cgltf_size i) { reader.mesh(o, s.meshes[i]); });
    forEachObject(root, "nodes", [&](const Json& o, cgltf_size i) { reader.node(o, s.nodes[i]); });
    forEachObject(root, "scenes", [&](const Json& o, cgltf_size i) { reader.scene(o, s.scenes[i]); });
    s.scene = readReference(root, "scene", s.scenes, s.scenes_count);
    linkParents(storage);
}

} // namespace gltf
