// A greedy meshlet optimiser: each next triangle is the unused one that shares the most vertices with those
// already emitted, looked for first among the neighbours of the last triangle, so consecutive triangles share
// edges; then vertices are renumbered in the order the triangles first use them.
#include "MeshletOptimize.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr size_t maxTriangles = 512;
constexpr size_t maxVertices = 256;

struct Adjacency {
    uint16_t offsets[maxVertices + 1];
    uint16_t triangles[maxTriangles * 3];
};

void buildAdjacency(const unsigned char* corners, size_t triangleCount, size_t vertexCount,
                    Adjacency& adjacency) {
    uint16_t counts[maxVertices] = {};
    for (size_t i = 0; i < triangleCount * 3; ++i)
        ++counts[corners[i]];
    adjacency.offsets[0] = 0;
    for (size_t v = 0; v < vertexCount; ++v)
        adjacency.offsets[v + 1] = static_cast<uint16_t>(adjacency.offsets[v] + counts[v]);
    uint16_t fill[maxVertices];
    std::memcpy(fill, adjacency.offsets, sizeof(uint16_t) * vertexCount);
    for (size_t i = 0; i < triangleCount * 3; ++i)
        adjacency.triangles[fill[corners[i]]++] = static_cast<uint16_t>(i / 3);
}

int usedCorners(const unsigned char* corners, size_t triangle, const bool* used) {
    return used[corners[triangle * 3]] + used[corners[triangle * 3 + 1]] + used[corners[triangle * 3 + 2]];
}

} // namespace

extern "C" void meshopt_optimizeMeshlet(unsigned int* meshlet_vertices, unsigned char* meshlet_triangles,
                                        size_t triangle_count, size_t vertex_count) {
    if (triangle_count > maxTriangles || vertex_count > maxVertices)
        return;
    const size_t cornerCount = triangle_count * 3;
    for (size_t i = 0; i < cornerCount; ++i)
        if (meshlet_triangles[i] >= vertex_count)
            return;

    Adjacency adjacency;
    buildAdjacency(meshlet_triangles, triangle_count, vertex_count, adjacency);
    bool emitted[maxTriangles] = {};
    bool used[maxVertices] = {};
    uint16_t order[maxTriangles];
    const unsigned char* corners = meshlet_triangles;

    for (size_t step = 0; step < triangle_count; ++step) {
        int best = -1, bestScore = -1;
        auto consider = [&](size_t triangle) {
            int score = usedCorners(corners, triangle, used);
            if (!emitted[triangle] && (score > bestScore || (score == bestScore && int(triangle) < best))) {
                best = int(triangle);
                bestScore = score;
            }
        };
        if (step > 0) {
            size_t last = order[step - 1];
            for (size_t c = 0; c < 3; ++c) {
                unsigned char v = corners[last * 3 + c];
                for (size_t a = adjacency.offsets[v]; a < adjacency.offsets[v + 1]; ++a)
                    consider(adjacency.triangles[a]);
            }
        }
        if (best < 0) // no neighbour left: the best of all remaining triangles
            for (size_t t = 0; t < triangle_count; ++t)
                consider(t);
        order[step] = static_cast<uint16_t>(best);
        emitted[best] = true;
        for (size_t c = 0; c < 3; ++c)
            used[corners[best * 3 + c]] = true;
    }

    // Vertices in first-use order; vertices no triangle uses keep their relative order at the end.
    constexpr int unassigned = -1;
    int newNumber[maxVertices];
    for (size_t v = 0; v < vertex_count; ++v)
        newNumber[v] = unassigned;
    unsigned int vertices[maxVertices];
    unsigned char triangles[maxTriangles * 3];
    int next = 0;
    for (size_t step = 0; step < triangle_count; ++step)
        for (size_t c = 0; c < 3; ++c) {
            unsigned char v = corners[order[step] * 3 + c];
            if (newNumber[v] == unassigned) {
                newNumber[v] = next;
                vertices[next++] = meshlet_vertices[v];
            }
            triangles[step * 3 + c] = static_cast<unsigned char>(newNumber[v]);
        }
    for (size_t v = 0; v < vertex_count; ++v)
        if (newNumber[v] == unassigned)
            vertices[next++] = meshlet_vertices[v];
    std::memcpy(meshlet_vertices, vertices, sizeof(unsigned int) * vertex_count);
    std::memcpy(meshlet_triangles, triangles, cornerCount);
}
