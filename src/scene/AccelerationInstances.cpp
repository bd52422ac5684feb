// The instances of the top-level structure: the mesh nodes of the default scene's node tree.
#include "scene/AccelerationStructures.h"

#include "core/Math.h"

#include <cstring>

void toInstanceTransform(const float world[16], float transform[12]) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            transform[4 * r + c] = world[4 * c + r];
}

void collectInstances(const cgltf_node* node, const float parentWorld[16], const cgltf_data* data,
                      const std::vector<ID3D12Resource*>& meshTable,
                      std::vector<D3D12_RAYTRACING_INSTANCE_DESC>& instances) {
    struct Pending {
        const cgltf_node* node;
        Mat4 parentWorld;
    };
    std::vector<Pending> pending(1);
    pending[0].node = node;
    std::memcpy(pending[0].parentWorld.m, parentWorld, sizeof(Mat4));
    while (!pending.empty()) {
        const Pending current = pending.back();
        pending.pop_back();
        Mat4 local;
        cgltf_node_transform_local(current.node, local.m);
        // cgltf's column-major parent x local.
        const Mat4 world = multiply(current.parentWorld, local);

        if (current.node->mesh) {
            const size_t meshIndex = size_t(current.node->mesh - data->meshes);
            if (meshIndex < meshTable.size() && meshTable[meshIndex]) {
                D3D12_RAYTRACING_INSTANCE_DESC instance = {};
                toInstanceTransform(world.m, &instance.Transform[0][0]);
                instance.InstanceID = uint32_t(instances.size());
                instance.InstanceMask = 0xFF;
                instance.InstanceContributionToHitGroupIndex = 0;
                instance.Flags = D3D12_RAYTRACING_INSTANCE_FLAG_NONE;
                instance.AccelerationStructure = meshTable[meshIndex]->GetGPUVirtualAddress();
                instances.push_back(instance);
            }
        }
        // The children go on last first, so that they come off in order: each node before its children, and
        // a subtree finished before the next sibling.
        for (cgltf_size c = current.node->children_count; c-- > 0;)
            pending.push_back({current.node->children[c], world});
    }
}
