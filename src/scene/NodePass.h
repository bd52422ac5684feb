// The node pass of the scene import: one Mesh record per glTF node that has a mesh, in the file's flat node
// order, and that node's own copies of its mesh's meshlets.
#pragma once

#include "Shaders/Shared.hlsli"

#include <cgltf.h>

#include <cstddef>
#include <vector>

struct NodePassResult {
    std::vector<Mesh> meshes;      // the contents of "Meshes"
    std::vector<Meshlet> meshlets; // the contents of "Meshlets": node by node, meshIndex set per copy
};

// The largest axis length of the transform's upper 3 x 3, negative when the transform mirrors (a negative
// determinant): the scale of the node's culling sphere, with the sign the cone test needs.
float maxScaleOf(const float transform[16]);

// The number of meshlet copies the node pass makes: the sum over the nodes that have a mesh of that mesh's
// meshlet count.
size_t meshletCopyCount(const cgltf_data* data, const std::vector<std::vector<Meshlet>>& meshMeshlets);

// Walks every node of the file, whatever scene it belongs to; meshMeshlets is the mesh pass's per-mesh list.
NodePassResult runNodePass(const cgltf_data* data, const std::vector<std::vector<Meshlet>>& meshMeshlets);
