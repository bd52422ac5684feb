// The generated tavern scene is valid glTF that the loader and the renderer can take as it is.
#include "SampleData.h"

#include "camera/FlyThrough.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>

using namespace sample_test;
using nlohmann::json;

namespace {

size_t componentBytes(int componentType) {
    return componentType == 5120 || componentType == 5121   ? 1
           : componentType == 5122 || componentType == 5123 ? 2
                                                            : 4;
}

size_t components(const std::string& type) {
    static const std::map<std::string, size_t> counts = {
        {"SCALAR", 1}, {"VEC2", 2}, {"VEC3", 3}, {"VEC4", 4}, {"MAT4", 16}};
    return counts.at(type);
}

// Nodes reachable from the default scene's roots.
std::set<size_t> defaultSceneNodes(const json& gltf) {
    std::set<size_t> reached;
    std::function<void(size_t)> visit = [&](size_t node) {
        ASSERT_TRUE(reached.insert(node).second) << "node " << node << " is reached twice";
        for (size_t child : gltf["nodes"][node].value("children", std::vector<size_t>{})) {
            visit(child);
        }
    };
    for (size_t root : gltf["scenes"][gltf["scene"].get<size_t>()]["nodes"]) {
        visit(root);
    }
    return reached;
}

// World matrix of every node, from the roots of every scene down.
std::map<size_t, Matrix> worldMatrices(const json& gltf) {
    std::map<size_t, Matrix> world;
    std::function<void(size_t, const Matrix&)> visit = [&](size_t node, const Matrix& parent) {
        world[node] = multiply(parent, localMatrix(gltf["nodes"][node]));
        for (size_t child : gltf["nodes"][node].value("children", std::vector<size_t>{})) {
            visit(child, world[node]);
        }
    };
    const Matrix identity{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (const json& scene : gltf["scenes"]) {
        for (size_t root : scene["nodes"]) {
            visit(root, identity);
        }
    }
    return world;
}

float determinant3(const Matrix& m) {
    return m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
           m[8] * (m[1] * m[6] - m[5] * m[2]);
}

} // namespace

TEST(SampleScene, BufferViewsAndAccessorsLieWithinTheirStorage) {
    const Gltf& gltf = sampleGltf();
    ASSERT_EQ(gltf.json["asset"]["version"], "2.0");
    ASSERT_EQ(gltf.json["buffers"].size(), 1u);
    ASSERT_EQ(gltf.json["buffers"][0]["byteLength"].get<size_t>(), gltf.buffer.size());
    for (const json& view : gltf.json["bufferViews"]) {
        EXPECT_EQ(view["byteOffset"].get<size_t>() % 4, 0u);
        EXPECT_LE(view["byteOffset"].get<size_t>() + view["byteLength"].get<size_t>(), gltf.buffer.size());
    }
    for (const json& accessor : gltf.json["accessors"]) {
        const json& view = gltf.json["bufferViews"][accessor["bufferView"].get<size_t>()];
        const size_t elementSize = components(accessor["type"]) * componentBytes(accessor["componentType"]);
        const size_t stride = view.value("byteStride", elementSize);
        const size_t offset = accessor.value("byteOffset", size_t(0));
        const size_t count = accessor["count"];
        ASSERT_GT(count, 0u);
        EXPECT_EQ(offset % componentBytes(accessor["componentType"]), 0u);
        EXPECT_LE(offset + elementSize, stride);
        EXPECT_LE(offset + stride * (count - 1) + elementSize, view["byteLength"].get<size_t>());
    }
}

TEST(SampleScene, PrimitivesAreIndexedTriangleListsWithinTheirVertices) {
    const Gltf& gltf = sampleGltf();
    std::set<int> indexTypes;
    for (const json& mesh : gltf.json["meshes"]) {
        for (const json& primitive : mesh["primitives"]) {
            EXPECT_EQ(primitive.value("mode", 4), 4) << mesh["name"];
            ASSERT_TRUE(primitive.contains("indices")) << mesh["name"];
            const size_t vertexCount = gltf.accessor(primitive["attributes"]["POSITION"])["count"];
            const json& indexAccessor = gltf.accessor(primitive["indices"]);
            indexTypes.insert(indexAccessor["componentType"].get<int>());
            std::vector<uint32_t> indices = gltf.indices(primitive["indices"]);
            EXPECT_EQ(indices.size() % 3, 0u) << mesh["name"];
            for (uint32_t index : indices) {
                ASSERT_LT(index, vertexCount) << mesh["name"];
            }
            for (const auto& [name, accessor] : primitive["attributes"].items()) {
                EXPECT_EQ(gltf.accessor(accessor)["count"].get<size_t>(), vertexCount)
                    << mesh["name"] << name;
            }
        }
    }
    EXPECT_EQ(indexTypes, (std::set<int>{5123, 5125})) << "both 16- and 32-bit indices appear";
}

TEST(SampleScene, AttributesAreCompleteAndNormalised) {
    const Gltf& gltf = sampleGltf();
    const size_t meshCount = gltf.json["meshes"].size();
    for (size_t m = 0; m < meshCount; ++m) {
        const json& mesh = gltf.json["meshes"][m];
        const bool shadowProxy = m + 2 >= meshCount;
        for (const json& primitive : mesh["primitives"]) {
            const json& attributes = primitive["attributes"];
            EXPECT_TRUE(attributes.contains("POSITION") && attributes.contains("NORMAL")) << mesh["name"];
            EXPECT_EQ(attributes.contains("TEXCOORD_0"), !shadowProxy) << mesh["name"];
            EXPECT_EQ(attributes.contains("TANGENT"), !shadowProxy) << mesh["name"];
            const json& position = gltf.accessor(attributes["POSITION"]);
            std::vector<float> positions = gltf.floats(attributes["POSITION"]);
            for (size_t axis = 0; axis < 3; ++axis) {
                float low = positions[axis], high = positions[axis];
                for (size_t i = axis; i < positions.size(); i += 3) {
                    low = std::min(low, positions[i]), high = std::max(high, positions[i]);
                }
                EXPECT_EQ(position["min"][axis].get<float>(), low) << mesh["name"];
                EXPECT_EQ(position["max"][axis].get<float>(), high) << mesh["name"];
            }
            std::vector<float> normals = gltf.floats(attributes["NORMAL"]);
            for (size_t i = 0; i < normals.size(); i += 3) {
                ASSERT_NEAR(std::hypot(normals[i], normals[i + 1], normals[i + 2]), 1.0f, 1e-4f)
                    << mesh["name"];
            }
            if (attributes.contains("TANGENT")) {
                std::vector<float> tangents = gltf.floats(attributes["TANGENT"]);
                for (size_t i = 0; i < tangents.size(); i += 4) {
                    ASSERT_NEAR(std::hypot(tangents[i], tangents[i + 1], tangents[i + 2]), 1.0f, 1e-4f);
                    ASSERT_TRUE(tangents[i + 3] == 1.0f || tangents[i + 3] == -1.0f);
                    float along = tangents[i] * normals[i / 4 * 3] +
                                  tangents[i + 1] * normals[i / 4 * 3 + 1] +
                                  tangents[i + 2] * normals[i / 4 * 3 + 2];
                    ASSERT_NEAR(along, 0.0f, 1e-3f)
                        << mesh["name"] << ": tangent not perpendicular to the normal";
                }
            }
        }
    }
}

// Meshlet cone culling trusts the winding: every triangle must turn counter-clockwise around its normals.
TEST(SampleScene, TrianglesWindCounterClockwiseAroundTheirNormals) {
    const Gltf& gltf = sampleGltf();
    for (const json& mesh : gltf.json["meshes"]) {
        size_t wrong = 0, triangles = 0;
        for (const json& primitive : mesh["primitives"]) {
            std::vector<float> p = gltf.floats(primitive["attributes"]["POSITION"]);
            std::vector<float> n = gltf.floats(primitive["attributes"]["NORMAL"]);
            std::vector<uint32_t> indices = gltf.indices(primitive["indices"]);
            for (size_t t = 0; t < indices.size(); t += 3) {
                const float* a = &p[indices[t] * 3];
                const float* b = &p[indices[t + 1] * 3];
                const float* c = &p[indices[t + 2] * 3];
                float e1[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]},
                      e2[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
                float face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
                float shading = 0;
                for (size_t k = 0; k < 3; ++k) {
                    for (size_t corner = 0; corner < 3; ++corner) {
                        shading += face[k] * n[indices[t + corner] * 3 + k];
                    }
                }
                ++triangles;
                wrong += shading <= 0 ? 1 : 0;
            }
        }
        EXPECT_EQ(wrong, 0u) << mesh["name"] << ": " << wrong << " of " << triangles << " triangles";
    }
}

TEST(SampleScene, LastTwoMeshesOnlyCastShadowsFromTheDefaultScene) {
    const json& gltf = sampleGltf().json;
    const size_t meshCount = gltf["meshes"].size();
    ASSERT_GE(meshCount, 3u);
    const std::set<size_t> traced = defaultSceneNodes(gltf);
    std::map<size_t, size_t> proxyUses;
    size_t drawnOnly = 0;
    for (size_t node = 0; node < gltf["nodes"].size(); ++node) {
        if (!gltf["nodes"][node].contains("mesh")) {
            continue;
        }
        const size_t mesh = gltf["nodes"][node]["mesh"];
        if (mesh + 2 >= meshCount) {
            EXPECT_TRUE(traced.count(node))
                << "shadow proxy node " << node << " is outside the default scene";
            ++proxyUses[mesh];
        } else if (!traced.count(node)) {
            ++drawnOnly;
        }
    }
    EXPECT_EQ(proxyUses.size(), 2u) << "each of the last two meshes has a node";
    EXPECT_GT(drawnOnly, 0u)
        << "the detailed meshes whose shadows the proxies cast are not traced themselves";
}

TEST(SampleScene, NodeTreeSharesMeshesAndMixesTransformKinds) {
    const json& gltf = sampleGltf().json;
    std::map<size_t, size_t> parents, meshUses;
    size_t matrixNodes = 0, trsNodes = 0, mirroringNodes = 0;
    for (size_t node = 0; node < gltf["nodes"].size(); ++node) {
        const json& n = gltf["nodes"][node];
        for (size_t child : n.value("children", std::vector<size_t>{})) {
            EXPECT_EQ(++parents[child], 1u) << "node " << child << " has two parents";
        }
        matrixNodes += n.contains("matrix") ? 1 : 0;
        trsNodes += n.contains("translation") || n.contains("rotation") || n.contains("scale") ? 1 : 0;
        mirroringNodes += determinant3(localMatrix(n)) < 0 ? 1 : 0;
        if (n.contains("mesh")) {
            ++meshUses[n["mesh"].get<size_t>()];
        }
    }
    EXPECT_GT(matrixNodes, 0u);
    EXPECT_GT(trsNodes, 0u);
    EXPECT_GT(mirroringNodes, 0u);
    EXPECT_EQ(meshUses.size(), gltf["meshes"].size()) << "every mesh is placed";
    size_t shared = 0, placedTriangles = 0;
    for (const auto& [mesh, uses] : meshUses) {
        shared += uses > 1 ? 1 : 0;
        for (const json& primitive : gltf["meshes"][mesh]["primitives"]) {
            placedTriangles +=
                uses * gltf["accessors"][primitive["indices"].get<size_t>()]["count"].get<size_t>() / 3;
        }
    }
    EXPECT_GE(shared, 5u);
    EXPECT_GT(placedTriangles, 200000u);
    EXPECT_LT(placedTriangles, 1000000u);
}

TEST(SampleScene, MaterialsMixTexturedAndPlainOnes) {
    const json& gltf = sampleGltf().json;
    std::set<std::string> slotsUsed;
    size_t plain = 0, withoutMetallicRoughness = 0;
    auto check = [&](const json& holder, const char* slot) {
        if (holder.contains(slot)) {
            EXPECT_LT(holder[slot]["index"].get<size_t>(), gltf["textures"].size());
            slotsUsed.insert(slot);
            return true;
        }
        return false;
    };
    for (const json& material : gltf["materials"]) {
        bool textured = false;
        withoutMetallicRoughness += material.contains("pbrMetallicRoughness") ? 0 : 1;
        if (material.contains("pbrMetallicRoughness")) {
            textured |= check(material["pbrMetallicRoughness"], "baseColorTexture");
            textured |= check(material["pbrMetallicRoughness"], "metallicRoughnessTexture");
        }
        textured |= check(material, "normalTexture");
        textured |= check(material, "emissiveTexture");
        plain += textured ? 0 : 1;
    }
    EXPECT_EQ(slotsUsed.size(), 4u);
    EXPECT_GT(plain, 0u);
    EXPECT_GT(withoutMetallicRoughness, 0u) << "a material that keeps only its normal and emissive slots";
    for (const json& texture : gltf["textures"]) {
        EXPECT_LT(texture["source"].get<size_t>(), gltf["images"].size());
    }
    // A material that samples a texture needs the texture coordinates of its primitives.
    for (const json& mesh : gltf["meshes"]) {
        for (const json& primitive : mesh["primitives"]) {
            const size_t index = primitive["material"].get<size_t>();
            ASSERT_LT(index, gltf["materials"].size());
            const json& material = gltf["materials"][index];
            const json pbr = material.value("pbrMetallicRoughness", json::object());
            const bool textured = pbr.contains("baseColorTexture") ||
                                  pbr.contains("metallicRoughnessTexture") ||
                                  material.contains("normalTexture") || material.contains("emissiveTexture");
            EXPECT_TRUE(!textured || primitive["attributes"].contains("TEXCOORD_0")) << mesh["name"];
        }
    }
}

// The fly-through's path runs inside the room and never through furniture, pillars or beams.
TEST(SampleScene, FlyThroughPathStaysInsideTheRoomAndClearOfObjects) {
    // The recorded points, and the middle of every span of the curve played through them.
    FlyThrough flyThrough;
    flyThrough.setupPath();
    std::vector<Vec3> path;
    for (const FlyThroughSegment& leg : flyThrough.segments) {
        const std::vector<Vec3>& p = leg.points;
        for (size_t i = 0; i < p.size(); ++i) {
            path.push_back(p[i]);
            if (i + 1 < p.size()) {
                path.push_back(catmullRom(p[i > 0 ? i - 1 : i], p[i], p[i + 1],
                                          p[i + 2 < p.size() ? i + 2 : i + 1], 0.5f));
            }
        }
    }
    ASSERT_EQ(path.size(), 2 * 81u - 8);
    const Gltf& gltf = sampleGltf();
    const std::map<size_t, Matrix> world = worldMatrices(gltf.json);
    const std::set<std::string> roomShell = {"Floor", "Walls", "Ceiling"};
    std::array<float, 3> roomLow{}, roomHigh{};
    for (const auto& [node, matrix] : world) {
        const json& n = gltf.json["nodes"][node];
        if (!n.contains("mesh")) {
            continue;
        }
        const json& mesh = gltf.json["meshes"][n["mesh"].get<size_t>()];
        std::array<float, 3> low{1e9f, 1e9f, 1e9f}, high{-1e9f, -1e9f, -1e9f};
        for (const json& primitive : mesh["primitives"]) {
            const json& position = gltf.accessor(primitive["attributes"]["POSITION"]);
            for (int corner = 0; corner < 8; ++corner) {
                std::array<float, 3> p;
                for (int axis = 0; axis < 3; ++axis) {
                    p[size_t(axis)] = position[(corner >> axis & 1) ? "max" : "min"][axis];
                }
                p = transformPoint(matrix, p);
                for (size_t axis = 0; axis < 3; ++axis) {
                    low[axis] = std::min(low[axis], p[axis]), high[axis] = std::max(high[axis], p[axis]);
                }
            }
        }
        if (mesh["name"] == "Floor") {
            roomLow = low;
        } else if (mesh["name"] == "Ceiling") {
            roomHigh = high;
        }
        if (roomShell.count(mesh["name"])) {
            continue;
        }
        for (const Vec3& point : path) {
            const float margin = 0.2f; // beyond the near plane
            const float p[3] = {point.x, point.y, point.z};
            bool inside = true;
            for (size_t axis = 0; axis < 3; ++axis) {
                inside &= p[axis] > low[axis] - margin && p[axis] < high[axis] + margin;
            }
            EXPECT_FALSE(inside) << "(" << p[0] << ", " << p[1] << ", " << p[2] << ") lies in " << n["name"]
                                 << " (node " << node << ")";
        }
    }
    for (const Vec3& point : path) {
        EXPECT_TRUE(point.x > roomLow[0] + 1 && point.x < roomHigh[0] - 1);
        EXPECT_TRUE(point.z > roomLow[2] + 1 && point.z < roomHigh[2] - 1);
        EXPECT_TRUE(point.y > 0.5f && point.y < roomHigh[1] - 1);
    }
}
