// Node transforms, column-major as glTF stores them: a node's matrix when it has one, else
// translation x rotation x scale; the world matrix applies every parent's local matrix in turn.
#include "cgltf.h"

#include <cstring>

namespace {

// out = a x b for column-major 4 x 4 matrices; out may alias b.
void multiply(const cgltf_float* a, const cgltf_float* b, cgltf_float* out) {
    cgltf_float product[16];
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row) {
            cgltf_float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a[k * 4 + row] * b[column * 4 + k];
            product[column * 4 + row] = sum;
        }
    std::memcpy(out, product, sizeof product);
}

} // namespace

extern "C" {

void cgltf_node_transform_local(const cgltf_node* node, cgltf_float* out_matrix) {
    cgltf_float* m = out_matrix;
    if (node->has_matrix) {
        std::memcpy(m, node->matrix, 16 * sizeof(cgltf_float));
        return;
    }
    const cgltf_float* t = node->translation;
    const cgltf_float* s = node->scale;
    cgltf_float x = node->rotation[0], y = node->rotation[1], z = node->rotation[2], w = node->rotation[3];
    // Columns of the rotation matrix of the unit quaternion, each scaled by its axis' scale.
    m[0] = (1 - 2 * y * y - 2 * z * z) * s[0];
    m[1] = (2 * x * y + 2 * z * w) * s[0];
    m[2] = (2 * x * z - 2 * y * w) * s[0];
    m[3] = 0;
    m[4] = (2 * x * y - 2 * z * w) * s[1];
    m[5] = (1 - 2 * x * x - 2 * z * z) * s[1];
    m[6] = (2 * y * z + 2 * x * w) * s[1];
    m[7] = 0;
    m[8] = (2 * x * z + 2 * y * w) * s[2];
    m[9] = (2 * y * z - 2 * x * w) * s[2];
    m[10] = (1 - 2 * x * x - 2 * y * y) * s[2];
    m[11] = 0;
    m[12] = t[0];
    m[13] = t[1];
    m[14] = t[2];
    m[15] = 1;
}

void cgltf_node_transform_world(const cgltf_node* node, cgltf_float* out_matrix) {
    cgltf_node_transform_local(node, out_matrix);
    for (const cgltf_node* parent = node->parent; parent; parent = parent->parent) {
        cgltf_float local[16];
        cgltf_node_transform_local(parent, local);
        multiply(local, out_matrix, out_matrix);
    }
}

} // extern "C"
