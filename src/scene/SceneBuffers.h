// The six structured buffers of the GPU scene and the SceneInfo block that points the shaders at them.
#pragma once

#include "Shaders/Shared.hlsli"
#include "scene/MeshPass.h"
#include "scene/NodePass.h"
#include "scene/Scene.h"

#include <vector>

// Creates "Vertices", "MeshletVertices", "MeshletTriangles", "Meshlets", "Meshes" and "Materials", in that
// order, with shader-resource views in six consecutive srvHeap slots, and returns their descriptor indices
// with the meshlet count. An empty list gets a buffer and a view of one zeroed element, since a buffer cannot
// be 0 bytes wide; the meshlet count keeps its true value.
SceneInfo createSceneBuffers(const MeshPassResult& geometry, const NodePassResult& nodes,
                             const std::vector<Material>& materials, Scene* scene);
