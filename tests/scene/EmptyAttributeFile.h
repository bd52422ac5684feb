// glTF validation checks index values against the vertex count only for indices in a buffer view, so a file
// may pair a first attribute of no elements with indices that read as 0: vertex 0, which does not exist.
// The data are made by hand, since the stricter validation of this build's glTF library refuses such a
// file: one triangle primitive of that kind in the first of three meshes, so that the mesh pass visits it.
#pragma once

#include <cgltf.h>

struct EmptyAttributeFile {
    cgltf_accessor positions = {};
    cgltf_accessor indices = {};
    cgltf_attribute attribute = {};
    cgltf_primitive primitive = {};
    cgltf_mesh meshes[3] = {};
    cgltf_data data = {};

    EmptyAttributeFile() {
        positions.type = cgltf_type_vec3;
        positions.component_type = cgltf_component_type_r_32f;
        positions.stride = 12;
        indices.type = cgltf_type_scalar;
        indices.component_type = cgltf_component_type_r_32u;
        indices.stride = 4;
        indices.count = 3;
        attribute.type = cgltf_attribute_type_position;
        attribute.data = &positions;
        primitive.type = cgltf_primitive_type_triangles;
        primitive.attributes = &attribute;
        primitive.attributes_count = 1;
        primitive.indices = &indices;
        meshes[0].primitives = &primitive;
        meshes[0].primitives_count = 1;
        data.meshes = meshes;
        data.meshes_count = 3;
    }
    EmptyAttributeFile(const EmptyAttributeFile&) = delete;
    EmptyAttributeFile& operator=(const EmptyAttributeFile&) = delete;
};
