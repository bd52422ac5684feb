// Node transforms, column-major as glTF stores them: a node's matrix when it has one, else
// translation x rotation x scale; the world matrix applies the affine part of every parent's local matrix in
// turn.
#include "cgltf.h"

#include <cstring>

namespace {

// m = parent x m for the affine part of the parent: its upper 3 x 3 turns the first three rows of every
// column of m and its translation moves m's translation column. The parent's last row is not applied and m's
// last row stays as it is, so a projective parent leaves no trace and an infinite parent translation is never
// multiplied by the zeros of m's direction columns.
void applyParent(const cgltf_float* parent, cgltf_float* m) {
    for (int column = 0; column < 4; ++column) {
        cgltf_float* c = m + column * 4;
        const cgltf_float x = c[0], y = c[1], z = c[2];
        for (int row = 0; row < 3; ++row)
            c[row] = parent[row] * x + parent[4 + row] * y + parent[8 + row] * z;
    }
    for (int row = 0; row < 3; ++row)
        m[12 + row] += parent[12 + row];
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
        applyParent(local, out_matrix);
    }
}

} // extern "C"
