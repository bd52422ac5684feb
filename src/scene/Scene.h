// The GPU scene: the six structured buffers the geometry and shading passes read, and the block that tells
// the shaders where they are. loadScene fills both once, during start-up; they live until the process ends.
#pragma once

#include "Shaders/Shared.hlsli"
#include "core/Buffers.h"

struct Scene {
    StructuredBuffer vertices;
    StructuredBuffer meshletVertices;
    StructuredBuffer meshletTriangles;
    StructuredBuffer meshlets;
    StructuredBuffer meshes;
    StructuredBuffer materials;
};

extern Scene scene;
extern SceneInfo sceneInfo;

// Imports the glTF file into scene and sceneInfo: parse, load and validate, the acceleration structures, the
// mesh pass, the node pass, the textures, the materials and the six buffers. Every upload has completed on
// the GPU when it returns. A file that cannot be imported ends the program with exit code 1.
void loadScene(const char* filePath, Scene* scene, SceneInfo* sceneInfo);
