// The generated tavern scene is valid glTF that the loader and the renderer can take as it is.
#include "SampleData.h"

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
    size_t matrixNodes = 0, mirroringNodes = 0;
    for (size_t node = 0; node < gltf["nodes"].size(); ++node) {
        const json& n = gltf["nodes"][node];
        for (size_t child : n.value("children", std::vector<size_t>{})) {
            EXPECT_EQ(++parents[child], 1u) << "node " << child << " has two parents";
        }
        matrixNodes += n.contains("matrix") ? 1 : 0;
        mirroringNodes += determinant3(localMatrix(n)) < 0 ? 1 : 0;
        if (n.contains("mesh")) {
            ++meshUses[n["mesh"].get<size_t>()];
        }
    }
    EXPECT_GT(matrixNodes, 0u);
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
    size_t plain = 0;
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
    for (const json& texture : gltf["textures"]) {
        EXPECT_LT(texture["source"].get<size_t>(), gltf["images"].size());
    }
    for (const json& mesh : gltf["meshes"]) {
        for (const json& primitive : mesh["primitives"]) {
            EXPECT_LT(primitive["material"].get<size_t>(), gltf["materials"].size());
        }
    }
}

// The fly-through's path runs inside the room and never through furniture, pillars or beams.
TEST(SampleScene, FlyThroughPathStaysInsideTheRoomAndClearOfObjects) {
    const float path[][3] = {
        {-10.132254f, 7.171009f, 13.977175f}, {-9.573582f, 7.143394f, 13.233090f},
        {-9.038570f, 7.116949f, 12.520523f},  {-8.456113f, 7.088158f, 11.744761f},
        {-7.866326f, 7.059002f, 10.959235f},  {-7.283807f, 7.030208f, 10.183389f},
        {-6.650186f, 6.998885f, 9.339486f},   {-6.018102f, 6.967640f, 8.497624f},
        {-5.310082f, 6.932642f, 7.554629f},   {-4.708742f, 6.902916f, 6.753721f},
        {-5.132426f, 4.455907f, 9.495705f},   {-4.308340f, 4.388196f, 9.742947f},
        {-3.360887f, 4.310346f, 10.027201f},  {-2.356989f, 4.227859f, 10.328386f},
        {-1.296234f, 4.140698f, 10.646631f},  {-0.244112f, 4.054248f, 10.962277f},
        {0.867352f, 3.962924f, 11.295733f},   {2.018657f, 3.868324f, 11.641146f},
        {3.144959f, 3.775779f, 11.979051f},   {4.335822f, 3.677930f, 12.336327f},
        {7.771717f, 2.350734f, 17.105738f},   {8.350833f, 2.379360f, 16.334431f},
        {8.951601f, 2.409056f, 15.534284f},   {9.567100f, 2.439482f, 14.714513f},
        {10.256956f, 2.473582f, 13.795711f},  {10.855564f, 2.503172f, 12.998434f},
        {11.571966f, 2.538582f, 12.044280f},  {8.751935f, 2.064437f, 13.204192f},
        {8.256370f, 2.074144f, 13.456695f},   {7.762759f, 2.083814f, 13.708202f},
        {7.213220f, 2.094579f, 13.988205f},   {6.621722f, 2.106166f, 14.289588f},
        {5.991659f, 2.118510f, 14.610622f},   {5.412361f, 2.129858f, 14.905788f},
        {4.806910f, 2.141718f, 15.214280f},   {4.229472f, 2.153029f, 15.508498f},
        {3.653786f, 2.164307f, 15.801826f},   {3.073201f, 2.175681f, 16.097647f},
        {2.477344f, 2.187354f, 16.401245f},   {17.546963f, 4.293008f, 21.399023f},
        {16.438303f, 4.203571f, 20.025040f},  {15.325425f, 4.113794f, 18.645842f},
        {13.981316f, 4.005365f, 16.980064f},  {12.630916f, 3.896429f, 15.306499f},
        {11.338536f, 3.792173f, 13.704836f},  {9.933582f, 3.678835f, 11.963658f},
        {8.265805f, 3.544296f, 9.896766f},    {7.084648f, 3.449013f, 8.432947f},
        {4.281285f, 2.129308f, 0.632951f},    {4.284943f, 2.138463f, -0.416025f},
        {4.289784f, 2.150577f, -1.804319f},   {4.294273f, 2.161813f, -3.091752f},
        {4.298234f, 2.171727f, -4.227770f},   {4.302535f, 2.182491f, -5.461179f},
        {4.307124f, 2.193974f, -6.777007f},   {4.310842f, 2.203278f, -7.843139f},
        {4.315606f, 2.215200f, -9.209325f},   {4.320067f, 2.226362f, -10.488346f},
        {4.324985f, 2.238668f, -11.898554f},  {4.329342f, 2.249575f, -13.148451f},
        {4.332717f, 2.258021f, -14.116385f},  {4.337884f, 2.270951f, -15.597927f},
        {4.343609f, 2.285278f, -17.239634f},  {-9.300818f, 3.661520f, -0.431882f},
        {-9.282809f, 3.646501f, -1.292163f},  {-9.261165f, 3.628453f, -2.325933f},
        {-9.241306f, 3.611893f, -3.274409f},  {-9.224113f, 3.597557f, -4.095516f},
        {-9.204058f, 3.580834f, -5.053351f},  {-9.184139f, 3.564225f, -6.004646f},
        {-9.162382f, 3.546084f, -7.043711f},  {-9.140750f, 3.528044f, -8.076984f},
    }; // leg 7 repeats leg 4
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
        for (const auto& point : path) {
            const float margin = 0.2f; // beyond the near plane
            bool inside = true;
            for (size_t axis = 0; axis < 3; ++axis) {
                inside &= point[axis] > low[axis] - margin && point[axis] < high[axis] + margin;
            }
            EXPECT_FALSE(inside) << "(" << point[0] << ", " << point[1] << ", " << point[2] << ") lies in "
                                 << n["name"] << " (node " << node << ")";
        }
    }
    for (const auto& point : path) {
        EXPECT_TRUE(point[0] > roomLow[0] + 1 && point[0] < roomHigh[0] - 1);
        EXPECT_TRUE(point[2] > roomLow[2] + 1 && point[2] < roomHigh[2] - 1);
        EXPECT_TRUE(point[1] > 0.5f && point[1] < roomHigh[1] - 1);
    }
}
