#include "scene/Scene.h"

#include "scene/GltfLoad.h"
#include "scene/MeshPass.h"

Scene scene = {};
SceneInfo sceneInfo = {};

void loadScene(const char* filePath, Scene* /*scene*/, SceneInfo* /*sceneInfo*/) {
    // The file step and the mesh pass; the node pass, textures, materials, scene buffers and acceleration
    // structures join them here.
    cgltf_data* data = loadGltf(filePath);
    runMeshPass(data);
    cgltf_free(data);
}
