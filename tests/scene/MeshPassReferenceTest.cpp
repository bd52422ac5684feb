// The mesh pass against a pass written out here with meshoptimizer's own calls, on curved geometry where
// every step of the pipeline (vertex-cache order, the 64/124 limits, a cone weight of 0, the per-meshlet
// reordering, the bounds and their packing) changes the result.
#include "scene/MeshPass.h"

#include "support/GltfBuilder.h"
#include "support/GltfLoading.h"

#include <gtest/gtest.h>
#include <meshoptimizer.h>
// After meshoptimizer.h: declares meshopt_optimizeMeshlet where the installed version lacks it.
#include <MeshletOptimize.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

using namespace fixture;

namespace {

struct Primitive {
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    int material = -1;
    bool tangents = false;
};

// A UV sphere with a seam (the first and last column share positions but not texture coordinates), normals,
// tangents and texture coordinates; no degenerate triangles at the poles.
Primitive sphere(uint32_t rings, uint32_t columns) {
    Primitive sphere;
    sphere.tangents = true;
    const float pi = 3.14159265f;
    for (uint32_t r = 0; r <= rings; ++r)
        for (uint32_t c = 0; c <= columns; ++c) {
            const float theta = pi * float(r) / float(rings), phi = 2.0f * pi * float(c) / float(columns);
            const Vec3 normal = {std::sin(theta) * std::cos(phi), std::cos(theta),
                                 std::sin(theta) * std::sin(phi)};
            Vertex v = {};
            v.position = {2.0f * normal.x + 0.5f, 2.0f * normal.y - 1.0f, 2.0f * normal.z + 3.0f};
            v.normal = normal;
            v.tangent = {-std::sin(phi), 0.0f, std::cos(phi), 1.0f};
            v.texcoord = {float(c) / float(columns), float(r) / float(rings)};
            sphere.vertices.push_back(v);
        }
    std::vector<std::array<uint32_t, 3>> triangles;
    for (uint32_t r = 0; r < rings; ++r)
        for (uint32_t c = 0; c < columns; ++c) {
            const uint32_t a = r * (columns + 1) + c, b = a + 1, d = a + columns + 1, e = d + 1;
            if (r > 0)
                triangles.push_back({a, b, e});
            if (r + 1 < rings)
                triangles.push_back({a, e, d});
        }
    // Stored in a scrambled order, as exporters often leave them, so that the vertex-cache order matters.
    for (size_t i = triangles.size() - 1; i > 0; --i)
        std::swap(triangles[i], triangles[(i * 7919 + 13) % (i + 1)]);
    for (const auto& triangle : triangles)
        sphere.indices.insert(sphere.indices.end(), triangle.begin(), triangle.end());
    return sphere;
}

// A rippled, double-sided sheet whose every vertex is stored twice, the two copies used alternately, so that
// deduplication has work to do. Each side has its own triangle over the same corners, so meshlets fill up to
// their triangle limit before their vertex limit.
Primitive rippledSheet(uint32_t cells) {
    Primitive sheet;
    for (uint32_t y = 0; y <= cells; ++y)
        for (uint32_t x = 0; x <= cells; ++x) {
            Vertex v = {};
            v.position = {float(x) * 0.25f, 0.3f * std::sin(float(x) * 0.7f) * std::cos(float(y) * 0.5f),
                          float(y) * 0.25f};
            v.normal = {0.0f, 1.0f, 0.0f};
            v.texcoord = {float(x), float(y)};
            sheet.vertices.push_back(v);
            sheet.vertices.push_back(v);
        }
    for (uint32_t y = 0; y < cells; ++y)
        for (uint32_t x = 0; x < cells; ++x) {
            const uint32_t a = y * (cells + 1) + x, b = a + 1, c = a + cells + 1, d = c + 1;
            const uint32_t copy = (x + y) % 2;
            for (uint32_t corner : {a, c, d, a, d, b, a, d, c, a, b, d})
                sheet.indices.push_back(2 * corner + copy);
        }
    return sheet;
}

// The primitive's attributes as accessors of their own, the way a glTF exporter writes them.
Json primitiveOf(GltfBuilder& builder, const Primitive& p) {
    std::vector<float> positions, normals, tangents, texcoords;
    for (const Vertex& v : p.vertices) {
        positions.insert(positions.end(), {v.position.x, v.position.y, v.position.z});
        normals.insert(normals.end(), {v.normal.x, v.normal.y, v.normal.z});
        tangents.insert(tangents.end(), {v.tangent.x, v.tangent.y, v.tangent.z, v.tangent.w});
        texcoords.insert(texcoords.end(), {v.texcoord.x, v.texcoord.y});
    }
    Json attributes = {{"POSITION", builder.addData(positions, "VEC3")},
                       {"NORMAL", builder.addData(normals, "VEC3")},
                       {"TEXCOORD_0", builder.addData(texcoords, "VEC2")}};
    if (p.tangents)
        attributes["TANGENT"] = builder.addData(tangents, "VEC4");
    return primitive(attributes, builder.addIndices(p.indices), p.material);
}

struct Settings {
    bool vertexCache = true;
    size_t maxVertices = MESHLET_MAX_VERTICES;
    size_t maxTriangles = MESHLET_MAX_TRIANGLES;
    float coneWeight = 0.0f;
    bool optimizeMeshlets = true;
};

// The cone as the shaders read it: in memory cutoff, z, y, x.
uint32_t coneOf(const meshopt_Bounds& bounds) {
    const int8_t bytes[4] = {bounds.cone_cutoff_s8, bounds.cone_axis_s8[2], bounds.cone_axis_s8[1],
                             bounds.cone_axis_s8[0]};
    uint32_t cone;
    std::memcpy(&cone, bytes, sizeof(cone));
    return cone;
}

// One primitive through meshoptimizer, appended to the pass's lists.
void referencePrimitive(const Primitive& p, uint32_t materialIndex, const Settings& settings,
                        MeshPassResult& out) {
    std::vector<uint32_t> remap(p.vertices.size());
    const size_t unique = meshopt_generateVertexRemap(remap.data(), p.indices.data(), p.indices.size(),
                                                      p.vertices.data(), p.vertices.size(), sizeof(Vertex));
    std::vector<Vertex> vertices(unique);
    meshopt_remapVertexBuffer(vertices.data(), p.vertices.data(), p.vertices.size(), sizeof(Vertex),
                              remap.data());
    std::vector<uint32_t> indices(p.indices.size());
    meshopt_remapIndexBuffer(indices.data(), p.indices.data(), p.indices.size(), remap.data());
    if (settings.vertexCache)
        meshopt_optimizeVertexCache(indices.data(), indices.data(), indices.size(), unique);

    const size_t bound =
        meshopt_buildMeshletsBound(indices.size(), settings.maxVertices, settings.maxTriangles);
    std::vector<meshopt_Meshlet> meshlets(bound);
    std::vector<uint32_t> meshletVertices(bound * settings.maxVertices);
    std::vector<uint8_t> meshletTriangles(bound * settings.maxTriangles * 3);
    const size_t count =
        meshopt_buildMeshlets(meshlets.data(), meshletVertices.data(), meshletTriangles.data(),
                              indices.data(), indices.size(), &vertices[0].position.x, unique, sizeof(Vertex),
                              settings.maxVertices, settings.maxTriangles, settings.coneWeight);

    const uint32_t base = uint32_t(out.vertices.size());
    out.vertices.insert(out.vertices.end(), vertices.begin(), vertices.end());
    for (size_t m = 0; m < count; ++m) {
        const meshopt_Meshlet& built = meshlets[m];
        uint32_t* localVertices = &meshletVertices[built.vertex_offset];
        uint8_t* localTriangles = &meshletTriangles[built.triangle_offset];
        if (settings.optimizeMeshlets)
            meshopt_optimizeMeshlet(localVertices, localTriangles, built.triangle_count, built.vertex_count);
        const meshopt_Bounds bounds =
            meshopt_computeMeshletBounds(localVertices, localTriangles, built.triangle_count,
                                         &vertices[0].position.x, unique, sizeof(Vertex));
        Meshlet meshlet = {};
        meshlet.vertexOffset = uint32_t(out.meshletVertices.size());
        meshlet.triangleOffset = uint32_t(out.meshletTriangles.size());
        meshlet.vertexCount = built.vertex_count;
        meshlet.triangleCount = built.triangle_count;
        meshlet.materialIndex = materialIndex;
        meshlet.cone = coneOf(bounds);
        meshlet.center = {bounds.center[0], bounds.center[1], bounds.center[2]};
        meshlet.radius = bounds.radius;
        out.meshMeshlets[0].push_back(meshlet);
        for (uint32_t v = 0; v < built.vertex_count; ++v)
            out.meshletVertices.push_back(base + localVertices[v]);
        for (uint32_t i = 0; i < 3 * built.triangle_count; ++i)
            out.meshletTriangles.push_back(localTriangles[i]);
    }
}

MeshPassResult referencePass(const std::vector<Primitive>& primitives, const Settings& settings) {
    MeshPassResult out;
    out.meshMeshlets.resize(3);
    for (const Primitive& p : primitives)
        referencePrimitive(p, p.material < 0 ? 0 : uint32_t(p.material), settings, out);
    return out;
}

template <typename T, typename A, typename B>
bool sameBytes(const std::vector<T, A>& a, const std::vector<T, B>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

bool sameResult(const MeshPassResult& a, const MeshPassResult& b) {
    return sameBytes(a.vertices, b.vertices) && a.meshletVertices == b.meshletVertices &&
           a.meshletTriangles == b.meshletTriangles && sameBytes(a.meshMeshlets[0], b.meshMeshlets[0]);
}

std::string describe(const Meshlet& m) {
    char text[256];
    std::snprintf(text, sizeof text,
                  "offsets %u/%u, counts %u/%u, mesh %u, material %u, cone %08x, centre (%.9g, %.9g, %.9g), "
                  "radius %.9g",
                  m.vertexOffset, m.triangleOffset, m.vertexCount, m.triangleCount, m.meshIndex,
                  m.materialIndex, m.cone, m.center.x, m.center.y, m.center.z, m.radius);
    return text;
}

class MeshPassReference : public testing::Test {
protected:
    void SetUp() override {
        primitives = {sphere(24, 40), rippledSheet(20)};
        primitives[0].material = 1;
        GltfBuilder builder;
        builder.addMaterial();
        builder.addMaterial();
        builder.addMesh(
            Json::array({primitiveOf(builder, primitives[0]), primitiveOf(builder, primitives[1])}));
        for (int i = 0; i < 2; ++i) // the two trailing meshes, which the pass leaves out
            builder.addMesh(Json::array({primitiveOf(builder, rippledSheet(1))}));
        loaded = loadFromMemory(builder.glb());
        ASSERT_EQ(loaded.failedStep, Step::None) << loaded.result;
        expected = referencePass(primitives, Settings{});
    }

    std::vector<Primitive> primitives;
    Loaded loaded;
    MeshPassResult expected;
};

} // namespace

// Each setting the pass must use makes a difference on this geometry, so the comparison below cannot pass
// with another.
TEST_F(MeshPassReference, EverySettingOfThePipelineShowsOnTheFixture) {
    bool reachesAVertexLimit = false, reachesATriangleLimit = false;
    for (const Meshlet& m : expected.meshMeshlets[0]) {
        reachesAVertexLimit |= m.vertexCount == MESHLET_MAX_VERTICES;
        reachesATriangleLimit |= m.triangleCount == MESHLET_MAX_TRIANGLES;
    }
    EXPECT_TRUE(reachesAVertexLimit);
    EXPECT_TRUE(reachesATriangleLimit);
    EXPECT_LT(expected.vertices.size(), primitives[0].vertices.size() + primitives[1].vertices.size());

    struct Variant {
        const char* name;
        Settings settings;
    };
    Settings noCache, fewerVertices, fewerTriangles, coneWeight, unoptimised;
    noCache.vertexCache = false;
    fewerVertices.maxVertices = 60;
    fewerTriangles.maxTriangles = 120;
    coneWeight.coneWeight = 0.25f;
    unoptimised.optimizeMeshlets = false;
    for (const Variant& v : {Variant{"no vertex-cache order", noCache}, Variant{"60 vertices", fewerVertices},
                             Variant{"120 triangles", fewerTriangles}, Variant{"cone weight", coneWeight},
                             Variant{"meshlets not reordered", unoptimised}})
        EXPECT_FALSE(sameResult(referencePass(primitives, v.settings), expected)) << v.name;
}

TEST_F(MeshPassReference, MatchesMeshoptimizersPipelineByteForByte) {
    testing::internal::CaptureStdout();
    const MeshPassResult result = runMeshPass(loaded.data.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    EXPECT_TRUE(sameBytes(result.vertices, expected.vertices));
    EXPECT_EQ(result.meshletVertices, expected.meshletVertices);
    EXPECT_EQ(result.meshletTriangles, expected.meshletTriangles);
    ASSERT_EQ(result.meshMeshlets.size(), 3u);
    EXPECT_TRUE(result.meshMeshlets[1].empty());
    EXPECT_TRUE(result.meshMeshlets[2].empty());
    const std::vector<Meshlet>& meshlets = result.meshMeshlets[0];
    ASSERT_EQ(meshlets.size(), expected.meshMeshlets[0].size());
    for (size_t m = 0; m < meshlets.size(); ++m)
        EXPECT_EQ(describe(meshlets[m]), describe(expected.meshMeshlets[0][m])) << "meshlet " << m;
}
