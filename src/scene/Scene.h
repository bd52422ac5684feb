// The GPU scene: the six structured buffers the geometry and shading passes read, and the block that tells
// the shaders where they are. loadScene fills both once, during start-up; they live until the process ends.
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/Buffers.h"

#include <cstddef>
#include <cstdint>

// The geometry pass culls 32 meshlets per amplification group, and one mesh dispatch holds at most 65,535
// groups in a dimension, which bounds the meshlets a scene may have.
inline constexpr uint32_t MESHLETS_PER_AMPLIFICATION_GROUP = 32;
inline constexpr uint32_t MESH_DISPATCH_GROUP_LIMIT = 65535;

struct Scene {
    StructuredBuffer vertices;
    StructuredBuffer meshletVertices;
    StructuredBuffer meshletTriangles;
    StructuredBuffer meshlets;
    StructuredBuffer meshes;
    StructuredBuffer materials;
};

// The geometry pass covers every meshlet with one mesh dispatch of one group per 32 meshlets: a scene whose
// meshlets need more groups than the limit ends the program with exit code 1 after a line naming the limit.
void checkMeshDispatchLimit(size_t meshletCount);

extern Scene scene;
extern SceneInfo sceneInfo;

// Imports the glTF file into scene and sceneInfo: parse, load and validate, the acceleration structures, the
// mesh pass, the node pass, the textures, the materials and the six buffers; then the parsed file is freed.
// Every upload has completed on the GPU when it returns; the command list must be closed when it is called.
// A file that cannot be imported, a texture that cannot be loaded, or a scene with more meshlets than one
// mesh dispatch can cover ends the program with exit code 1 after a line that says why.
void loadScene(const char* filePath, Scene* scene, SceneInfo* sceneInfo);
