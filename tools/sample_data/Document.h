// The sample scene as the generator describes it before it is written as glTF.
#pragma once

#include "Mesh.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace sample {

constexpr int NO_TEXTURE = -1;

// Texture slots name glTF textures; the writer makes texture i from image i.
struct MaterialDesc {
    std::string name;
    bool metallicRoughness = true; // whether the material has a "pbrMetallicRoughness" object
    float4 baseColorFactor{1, 1, 1, 1};
    float metallicFactor = 0;
    float roughnessFactor = 1;
    int baseColorTexture = NO_TEXTURE;
    int metallicRoughnessTexture = NO_TEXTURE;
    int normalTexture = NO_TEXTURE;
    int emissiveTexture = NO_TEXTURE;
    float3 emissiveFactor{};
};

struct ImageDesc {
    std::string uri; // percent-encoded, relative to the scene file
};

struct NodeDesc {
    std::string name;
    int mesh = -1;
    std::vector<int> children;
    float3 translation{};
    float4 rotation{0, 0, 0, 1};
    float3 scale{1, 1, 1};
    std::optional<std::array<float, 16>> matrix; // column-major; written instead of TRS when present
};

struct SceneDesc {
    std::string name;
    std::vector<int> roots;
};

struct Document {
    std::vector<MeshData> meshes;
    std::vector<MaterialDesc> materials;
    std::vector<ImageDesc> images;
    std::vector<NodeDesc> nodes;
    std::vector<SceneDesc> scenes;
    int defaultScene = 0;

    int addMesh(MeshData mesh) {
        meshes.push_back(std::move(mesh));
        return int(meshes.size() - 1);
    }
    int addNode(NodeDesc node) {
        nodes.push_back(std::move(node));
        return int(nodes.size() - 1);
    }
    void attach(int parent, int child) { nodes[size_t(parent)].children.push_back(child); }
};

} // namespace sample
