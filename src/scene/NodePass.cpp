#include "scene/NodePass.h"

#include <algorithm>
#include <cmath>

namespace {

size_t meshIndexOf(const cgltf_data& data, const cgltf_node& node) {
    return size_t(node.mesh - data.meshes);
}

} // namespace

float maxScaleOf(const float m[16]) {
    const float lengthX = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    const float lengthY = std::sqrt(m[4] * m[4] + m[5] * m[5] + m[6] * m[6]);
    const float lengthZ = std::sqrt(m[8] * m[8] + m[9] * m[9] + m[10] * m[10]);
    const float determinant = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[4] * (m[1] * m[10] - m[2] * m[9]) +
                              m[8] * (m[1] * m[6] - m[2] * m[5]);
    // The sign marks a mirroring transform; the size is always the largest axis, so that the culling sphere
    // covers the whole meshlet (a mirrored node is not culled by its smallest axis).
    const float sign = determinant < 0.0f ? -1.0f : 1.0f;
    return sign * std::max({lengthX, lengthY, lengthZ});
}

size_t meshletCopyCount(const cgltf_data* data, const std::vector<std::vector<Meshlet>>& meshMeshlets) {
    size_t count = 0;
    for (cgltf_size n = 0; n < data->nodes_count; ++n)
        if (data->nodes[n].mesh)
            count += meshMeshlets[meshIndexOf(*data, data->nodes[n])].size();
    return count;
}

NodePassResult runNodePass(const cgltf_data* data, const std::vector<std::vector<Meshlet>>& meshMeshlets) {
    NodePassResult result;
    result.meshlets.reserve(meshletCopyCount(data, meshMeshlets));
    for (cgltf_size n = 0; n < data->nodes_count; ++n) {
        const cgltf_node& node = data->nodes[n];
        if (!node.mesh)
            continue;
        Mesh mesh = {};
        cgltf_node_transform_world(&node, mesh.transform.m);
        mesh.maxScale = maxScaleOf(mesh.transform.m);
        const uint32_t meshIndex = uint32_t(result.meshes.size());
        result.meshes.push_back(mesh);
        for (Meshlet meshlet : meshMeshlets[meshIndexOf(*data, node)]) {
            meshlet.meshIndex = meshIndex;
            result.meshlets.push_back(meshlet);
        }
    }
    return result;
}
