// The mesh pass over a generated scene of a little over a million triangles, with the time spent inside
// meshoptimizer's calls beside the time of the whole pass. The calls are timed through link-time wrappers
// (see bench/CMakeLists.txt), so the pass runs exactly as the program runs it.
#include "scene/MeshPass.h"

#include "../tests/support/GltfBuilder.h"
#include "../tests/support/GltfLoading.h"

#include <benchmark/benchmark.h>
#include <meshoptimizer.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

enum Call {
    Remap,
    RemapVertices,
    RemapIndices,
    VertexCache,
    BuildMeshlets,
    OptimizeMeshlet,
    MeshletBounds,
    CallCount
};
const char* const callNames[CallCount] = {"generateVertexRemap", "remapVertexBuffer", "remapIndexBuffer",
                                          "optimizeVertexCache", "buildMeshlets",     "optimizeMeshlet",
                                          "computeMeshletBounds"};
double callSeconds[CallCount];

struct CallTimer {
    Call call;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~CallTimer() {
        callSeconds[call] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

constexpr int MESH_COUNT = 8;
constexpr uint32_t CELLS = 256; // 2 x 256 x 256 triangles per mesh, 1,048,576 in all

// A wavy grid with normals and texture coordinates, so deduplication and the normal cones have work to do.
void addGridMesh(fixture::GltfBuilder& builder, uint32_t cells, float phase) {
    std::vector<float> positions, normals, uvs;
    for (uint32_t y = 0; y <= cells; ++y)
        for (uint32_t x = 0; x <= cells; ++x) {
            float u = float(x) / float(cells), v = float(y) / float(cells);
            float height = 0.2f * std::sin(20.0f * u + phase) * std::cos(15.0f * v);
            positions.insert(positions.end(), {u * 10.0f, height, v * 10.0f});
            normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
            uvs.insert(uvs.end(), {u, v});
        }
    std::vector<uint32_t> indices;
    for (uint32_t y = 0; y < cells; ++y)
        for (uint32_t x = 0; x < cells; ++x) {
            uint32_t a = y * (cells + 1) + x, b = a + 1, c = a + cells + 1, d = c + 1;
            indices.insert(indices.end(), {a, c, d, a, d, b});
        }
    fixture::Json attributes = {{"POSITION", builder.addData(positions, "VEC3")},
                                {"NORMAL", builder.addData(normals, "VEC3")},
                                {"TEXCOORD_0", builder.addData(uvs, "VEC2")}};
    builder.addMesh(fixture::Json::array({fixture::primitive(attributes, builder.addIndices(indices))}));
}

fixture::Loaded makeScene() {
    fixture::GltfBuilder builder;
    for (int m = 0; m < MESH_COUNT; ++m)
        addGridMesh(builder, CELLS, float(m));
    addGridMesh(builder, 4, 0.0f); // the two trailing meshes, which the pass leaves out
    addGridMesh(builder, 4, 1.0f);
    fixture::Loaded scene = fixture::loadFromMemory(builder.glb());
    if (scene.failedStep != fixture::Step::None) {
        std::fprintf(stderr, "generated scene does not load: %d\n", int(scene.result));
        std::exit(1);
    }
    return scene;
}

void MeshPass(benchmark::State& state) {
    static const fixture::Loaded scene = makeScene();
    std::fill(std::begin(callSeconds), std::end(callSeconds), 0.0);
    double passSeconds = 0.0;
    size_t meshlets = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        MeshPassResult result = runMeshPass(scene.data.get());
        passSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        meshlets = 0;
        for (const auto& list : result.meshMeshlets)
            meshlets += list.size();
        benchmark::DoNotOptimize(result);
    }
    const double iterations = double(state.iterations());
    double meshoptSeconds = 0.0;
    for (int c = 0; c < CallCount; ++c) {
        meshoptSeconds += callSeconds[c];
        state.counters[std::string(callNames[c]) + "_ms"] = callSeconds[c] * 1000.0 / iterations;
    }
    state.counters["pass_ms"] = passSeconds * 1000.0 / iterations;
    state.counters["meshopt_ms"] = meshoptSeconds * 1000.0 / iterations;
    state.counters["triangles"] = double(MESH_COUNT) * 2 * CELLS * CELLS;
    state.counters["meshlets"] = double(meshlets);
}

BENCHMARK(MeshPass)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// The wrapped meshoptimizer entry points: each times the real call.
extern "C" {
size_t __real_meshopt_generateVertexRemap(unsigned int*, const unsigned int*, size_t, const void*, size_t,
                                          size_t);
void __real_meshopt_remapVertexBuffer(void*, const void*, size_t, size_t, const unsigned int*);
void __real_meshopt_remapIndexBuffer(unsigned int*, const unsigned int*, size_t, const unsigned int*);
void __real_meshopt_optimizeVertexCache(unsigned int*, const unsigned int*, size_t, size_t);
size_t __real_meshopt_buildMeshlets(meshopt_Meshlet*, unsigned int*, unsigned char*, const unsigned int*,
                                    size_t, const float*, size_t, size_t, size_t, size_t, float);
void __real_meshopt_optimizeMeshlet(unsigned int*, unsigned char*, size_t, size_t);
meshopt_Bounds __real_meshopt_computeMeshletBounds(const unsigned int*, const unsigned char*, size_t,
                                                   const float*, size_t, size_t);

size_t __wrap_meshopt_generateVertexRemap(unsigned int* destination, const unsigned int* indices,
                                          size_t indexCount, const void* vertices, size_t vertexCount,
                                          size_t vertexSize) {
    CallTimer timer{Remap};
    return __real_meshopt_generateVertexRemap(destination, indices, indexCount, vertices, vertexCount,
                                              vertexSize);
}

void __wrap_meshopt_remapVertexBuffer(void* destination, const void* vertices, size_t vertexCount,
                                      size_t vertexSize, const unsigned int* remap) {
    CallTimer timer{RemapVertices};
    __real_meshopt_remapVertexBuffer(destination, vertices, vertexCount, vertexSize, remap);
}

void __wrap_meshopt_remapIndexBuffer(unsigned int* destination, const unsigned int* indices,
                                     size_t indexCount, const unsigned int* remap) {
    CallTimer timer{RemapIndices};
    __real_meshopt_remapIndexBuffer(destination, indices, indexCount, remap);
}

void __wrap_meshopt_optimizeVertexCache(unsigned int* destination, const unsigned int* indices,
                                        size_t indexCount, size_t vertexCount) {
    CallTimer timer{VertexCache};
    __real_meshopt_optimizeVertexCache(destination, indices, indexCount, vertexCount);
}

size_t __wrap_meshopt_buildMeshlets(meshopt_Meshlet* meshlets, unsigned int* meshletVertices,
                                    unsigned char* meshletTriangles, const unsigned int* indices,
                                    size_t indexCount, const float* positions, size_t vertexCount,
                                    size_t stride, size_t maxVertices, size_t maxTriangles,
                                    float coneWeight) {
    CallTimer timer{BuildMeshlets};
    return __real_meshopt_buildMeshlets(meshlets, meshletVertices, meshletTriangles, indices, indexCount,
                                        positions, vertexCount, stride, maxVertices, maxTriangles,
                                        coneWeight);
}

void __wrap_meshopt_optimizeMeshlet(unsigned int* meshletVertices, unsigned char* meshletTriangles,
                                    size_t triangleCount, size_t vertexCount) {
    CallTimer timer{OptimizeMeshlet};
    __real_meshopt_optimizeMeshlet(meshletVertices, meshletTriangles, triangleCount, vertexCount);
}

meshopt_Bounds __wrap_meshopt_computeMeshletBounds(const unsigned int* meshletVertices,
                                                   const unsigned char* meshletTriangles,
                                                   size_t triangleCount, const float* positions,
                                                   size_t vertexCount, size_t stride) {
    CallTimer timer{MeshletBounds};
    return __real_meshopt_computeMeshletBounds(meshletVertices, meshletTriangles, triangleCount, positions,
                                               vertexCount, stride);
}
} // extern "C"

BENCHMARK_MAIN();
