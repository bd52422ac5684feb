// The scene import as the program runs it, from a file on disk: parse, buffer loading, validation and the
// mesh pass, over two generated scenes of 1,048,576 triangles (eight meshes of one primitive each, and the
// same triangles as one primitive). Reported apart: the time inside meshoptimizer and the project's own time
// (our meshopt_optimizeMeshlet, where the build uses it, counts as our own), and the import's peak memory
// against the final buffers (the four lists that the mesh pass hands on), with the page faults of one import
// beside them. A second benchmark parses files of many named nodes, whose time per node stays flat when
// parsing is linear.
//
// meshoptimizer's calls are timed through link-time wrappers (see bench/CMakeLists.txt), so the import runs
// exactly as the program runs it.
#include "scene/GltfLoad.h"
#include "scene/MeshPass.h"

#include "../tests/support/GltfBuilder.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>
#include <meshoptimizer.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <utility>

namespace {

// --- Time inside meshoptimizer -----------------------------------------------------------------------------

enum Call {
    Remap,
    RemapVertices,
    RemapIndices,
    VertexCache,
    BuildMeshlets,
    MeshletBounds,
    OptimizeMeshlet, // ours where the installed library lacks it
    CallCount
};
const char* const callNames[CallCount] = {"generateVertexRemap", "remapVertexBuffer", "remapIndexBuffer",
                                          "optimizeVertexCache", "buildMeshlets",     "computeMeshletBounds",
                                          "optimizeMeshlet"};
#ifdef LANTERN_COMPAT_OPTIMIZE_MESHLET
constexpr int LIBRARY_CALLS = OptimizeMeshlet;
#else
constexpr int LIBRARY_CALLS = CallCount;
#endif
double callSeconds[CallCount];

struct CallTimer {
    Call call;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~CallTimer() {
        callSeconds[call] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
};

// --- Peak memory -------------------------------------------------------------------------------------------

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
double statusBytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const size_t length = std::strlen(field);
    while (std::getline(status, line))
        if (line.compare(0, length, field) == 0 && line[length] == ':')
            return std::stod(line.substr(length + 1)) * 1024.0;
    return 0.0;
}

// Page faults the process has taken so far. Each first touch of fresh memory is one; where a fault is costly
// (in some virtual machines it costs tens of microseconds) they can be most of the import's own time.
long pageFaults() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

// Starts the peak resident size (VmHWM) over from the current size.
void resetPeakMemory() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// --- Scenes
// --------------------------------------------------------------------------------------------------

// A wavy grid of cellsX x cellsY quads with normals and texture coordinates, so deduplication and the normal
// cones have work to do.
fixture::Json gridPrimitive(fixture::GltfBuilder& builder, uint32_t cellsX, uint32_t cellsY, float phase) {
    std::vector<float> positions, normals, uvs;
    for (uint32_t y = 0; y <= cellsY; ++y)
        for (uint32_t x = 0; x <= cellsX; ++x) {
            float u = float(x) / float(cellsX), v = float(y) / float(cellsY);
            float height = 0.2f * std::sin(20.0f * u + phase) * std::cos(15.0f * v);
            positions.insert(positions.end(), {u * 10.0f, height, v * 10.0f});
            normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
            uvs.insert(uvs.end(), {u, v});
        }
    std::vector<uint32_t> indices;
    for (uint32_t y = 0; y < cellsY; ++y)
        for (uint32_t x = 0; x < cellsX; ++x) {
            uint32_t a = y * (cellsX + 1) + x, b = a + 1, c = a + cellsX + 1, d = c + 1;
            indices.insert(indices.end(), {a, c, d, a, d, b});
        }
    fixture::Json attributes = {{"POSITION", builder.addData(positions, "VEC3")},
                                {"NORMAL", builder.addData(normals, "VEC3")},
                                {"TEXCOORD_0", builder.addData(uvs, "VEC2")}};
    return fixture::primitive(attributes, builder.addIndices(indices));
}

// Writes the scene as the program's data is stored: JSON text with its buffer in a file beside it.
std::string writeScene(const fixture::TempFolder& folder, const std::string& name,
                       const fixture::GltfBuilder& builder) {
    folder.write(name + ".bin", builder.bin);
    return folder.write(name + ".gltf", builder.json(fixture::BufferStorage::File, name + ".bin"));
}

const fixture::TempFolder& sceneFolder() {
    static const fixture::TempFolder folder("import-bench");
    return folder;
}

// Mesh counts and grid sizes: 2 x 256 x 256 triangles in each of eight meshes, or 2 x 1024 x 512 in one.
std::string sceneFile(bool onePrimitive) {
    static std::map<bool, std::string> paths;
    auto found = paths.find(onePrimitive);
    if (found != paths.end())
        return found->second;
    fixture::GltfBuilder builder;
    if (onePrimitive) {
        builder.addMesh(fixture::Json::array({gridPrimitive(builder, 1024, 512, 0.0f)}));
    } else {
        for (int m = 0; m < 8; ++m)
            builder.addMesh(fixture::Json::array({gridPrimitive(builder, 256, 256, float(m))}));
    }
    for (int m = 0; m < 2; ++m) // the two trailing meshes, which the pass leaves out
        builder.addMesh(fixture::Json::array({gridPrimitive(builder, 4, 4, float(m))}));
    return paths[onePrimitive] =
               writeScene(sceneFolder(), onePrimitive ? "one-primitive" : "eight-meshes", builder);
}

size_t finalBytes(const MeshPassResult& result) {
    size_t bytes = result.vertices.size() * sizeof(Vertex) +
                   result.meshletVertices.size() * sizeof(uint32_t) +
                   result.meshletTriangles.size() * sizeof(uint32_t);
    for (const auto& list : result.meshMeshlets)
        bytes += list.size() * sizeof(Meshlet);
    return bytes;
}

// The file's geometry as loadScene imports it: the mesh pass, which releases the buffers' bytes once it has
// read them.
MeshPassResult importGeometry(cgltf_data* data) {
    return runMeshPass(data, [data] { releaseGltfBuffers(data); });
}

struct ImportMemory {
    double peakBytes;   // resident memory at the import's peak, above what the process held before it
    double bufferBytes; // the lists the mesh pass hands on
};

// One import in a fresh process (this program run with IMPORT_MEMORY_FLAG), so that no memory of the
// benchmark process is reused by it. Freed blocks above 128 KiB go back to the system at once there (glibc
// would otherwise raise that threshold as blocks are freed and keep them), so the peak is the memory in use.
constexpr const char* IMPORT_MEMORY_FLAG = "--import-memory";

int measureImportMemoryHere(const char* path) {
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    resetPeakMemory();
    const double before = statusBytes("VmRSS");
    cgltf_data* data = loadGltf(path);
    MeshPassResult result = importGeometry(data);
    const ImportMemory memory = {statusBytes("VmHWM") - before, double(finalBytes(result))};
    return fwrite(&memory, sizeof memory, 1, stdout) == 1 ? 0 : 1;
}

ImportMemory measureImportMemory(const std::string& path) {
    int channel[2];
    if (pipe(channel) != 0)
        return {};
    const pid_t child = fork();
    if (child == 0) {
        dup2(channel[1], STDOUT_FILENO);
        close(channel[0]);
        close(channel[1]);
        const char* arguments[] = {"bench_ImportBench", IMPORT_MEMORY_FLAG, path.c_str(), nullptr};
        execv("/proc/self/exe", const_cast<char**>(arguments));
        _exit(127);
    }
    close(channel[1]);
    ImportMemory memory = {};
    if (child < 0 || read(channel[0], &memory, sizeof memory) != ssize_t(sizeof memory))
        memory = {};
    close(channel[0]);
    if (child > 0)
        waitpid(child, nullptr, 0);
    return memory;
}

// The ratios of the last run of each import benchmark, printed after all benchmarks.
std::map<std::string, std::pair<double, double>> ratios;

void Import(benchmark::State& state, bool onePrimitive, const char* name) {
    const std::string path = sceneFile(onePrimitive);

    const ImportMemory memory = measureImportMemory(path);

    std::fill(std::begin(callSeconds), std::end(callSeconds), 0.0);
    double importSeconds = 0.0;
    size_t meshlets = 0;
    long faults = 0;
    for (auto _ : state) {
        const long faultsBefore = pageFaults();
        auto start = std::chrono::steady_clock::now();
        cgltf_data* data = loadGltf(path.c_str());
        MeshPassResult result = importGeometry(data);
        importSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        faults += pageFaults() - faultsBefore;
        benchmark::DoNotOptimize(result);
        state.PauseTiming();
        meshlets = 0;
        for (const auto& list : result.meshMeshlets)
            meshlets += list.size();
        cgltf_free(data);
        result = MeshPassResult();
        state.ResumeTiming();
    }

    const double iterations = double(state.iterations());
    double meshoptSeconds = 0.0;
    for (int c = 0; c < CallCount; ++c) {
        if (c < LIBRARY_CALLS)
            meshoptSeconds += callSeconds[c];
        state.counters[std::string(callNames[c]) + "_ms"] = callSeconds[c] * 1000.0 / iterations;
    }
    const double ownSeconds = importSeconds - meshoptSeconds;
    state.counters["import_ms"] = importSeconds * 1000.0 / iterations;
    state.counters["meshopt_ms"] = meshoptSeconds * 1000.0 / iterations;
    state.counters["own_ms"] = ownSeconds * 1000.0 / iterations;
    state.counters["own_per_meshopt"] = ownSeconds / meshoptSeconds;
    state.counters["peak_MB"] = memory.peakBytes / 1e6;
    state.counters["buffers_MB"] = memory.bufferBytes / 1e6;
    state.counters["peak_per_buffers"] = memory.peakBytes / memory.bufferBytes;
    state.counters["meshlets"] = double(meshlets);
    state.counters["page_faults"] = double(faults) / iterations;
    ratios[name] = {ownSeconds / meshoptSeconds, memory.peakBytes / memory.bufferBytes};
}

BENCHMARK_CAPTURE(Import, EightMeshes, false, "Import/EightMeshes")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(Import, OnePrimitive, true, "Import/OnePrimitive")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A file of nodeCount named nodes in a chain of short branches, so that each node is one JSON object with a
// string, a transform and a child list.
std::string nodeFile(int nodeCount) {
    fixture::GltfBuilder builder;
    for (int n = 0; n < nodeCount; ++n) {
        fixture::Json node = {{"name", "node " + std::to_string(n)}, {"translation", {n, 0, 0}}};
        if (n % 4 != 3 && n + 1 < nodeCount)
            node["children"] = {n + 1};
        builder.addNode(node);
    }
    return writeScene(sceneFolder(), "nodes-" + std::to_string(nodeCount), builder);
}

void ParseNamedNodes(benchmark::State& state) {
    const int nodeCount = int(state.range(0));
    const std::string path = nodeFile(nodeCount);
    double parseSeconds = 0.0;
    for (auto _ : state) {
        cgltf_options options = {};
        cgltf_data* data = nullptr;
        auto start = std::chrono::steady_clock::now();
        if (cgltf_parse_file(&options, path.c_str(), &data) != cgltf_result_success)
            state.SkipWithError("the node file does not parse");
        parseSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        cgltf_free(data);
        state.ResumeTiming();
    }
    state.counters["ns_per_node"] = parseSeconds * 1e9 / (double(state.iterations()) * nodeCount);
}

BENCHMARK(ParseNamedNodes)->Arg(50000)->Arg(200000)->Unit(benchmark::kMillisecond)->Iterations(3);

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

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], IMPORT_MEMORY_FLAG) == 0)
        return measureImportMemoryHere(argv[2]);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const auto& [name, ratio] : ratios)
        std::printf("%-28s own time / meshoptimizer time %.3f   peak memory / final buffers %.2f\n",
                    name.c_str(), ratio.first, ratio.second);
    return 0;
}
