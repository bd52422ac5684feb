// A greedy meshlet optimiser. Each next triangle is, among the unused triangles that share a vertex with the
// last one, the one with the most corners on vertices already emitted, the lowest-numbered on a tie; when the
// last triangle has no unused neighbour, the same choice is made among all unused triangles. Consecutive
// triangles thus share edges. Vertices are then renumbered in the order the triangles first use them.
//
// Everything per triangle is kept in bit sets, one bit per triangle, so that a step works on whole words: for
// each vertex the triangles that use it, the unused triangles, and each triangle's score (0 to 3 corners on
// emitted vertices) as a 2-bit counter spread over two sets. Emitting a vertex adds 1 to the counters of all
// its triangles at once; the choice is the lowest set bit of the highest score that meets the candidates.
#include "MeshletOptimize.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr size_t maxTriangles = 512;
constexpr size_t maxVertices = 256;

using Word = uint64_t;

template <size_t WORDS> struct Sets {
    Word usedBy[maxVertices][WORDS];
    // Triangles that use the vertex with two or three corners (degenerate ones): their score rises by more.
    Word usedTwiceBy[maxVertices][WORDS];
    Word usedThriceBy[maxVertices][WORDS];
    Word unused[WORDS];
    Word scoreLow[WORDS], scoreHigh[WORDS]; // bits 0 and 1 of every triangle's score
    int16_t newNumber[maxVertices];         // the vertex's number in first-use order; -1 until it is emitted
    int16_t emittedCount;
    bool degenerate; // whether any triangle repeats a vertex
};

// Adds 1 to the score of every triangle in add.
template <size_t WORDS> void addOne(Sets<WORDS>& sets, const Word* add) {
    for (size_t w = 0; w < WORDS; ++w) {
        sets.scoreHigh[w] ^= sets.scoreLow[w] & add[w];
        sets.scoreLow[w] ^= add[w];
    }
}

template <size_t WORDS>
void prepare(Sets<WORDS>& sets, const unsigned char* corners, size_t triangleCount, size_t vertexCount) {
    std::memset(sets.usedBy, 0, sizeof(sets.usedBy[0]) * vertexCount);
    std::memset(sets.newNumber, 0xFF, sizeof(int16_t) * vertexCount);
    sets.emittedCount = 0;
    for (size_t w = 0; w < WORDS; ++w)
        sets.unused[w] = sets.scoreLow[w] = sets.scoreHigh[w] = 0;
    sets.degenerate = false;
    for (size_t t = 0; t < triangleCount; ++t) {
        const Word bit = Word(1) << (t % 64);
        const unsigned char a = corners[t * 3], b = corners[t * 3 + 1], c = corners[t * 3 + 2];
        sets.unused[t / 64] |= bit;
        sets.usedBy[a][t / 64] |= bit;
        sets.usedBy[b][t / 64] |= bit;
        sets.usedBy[c][t / 64] |= bit;
        sets.degenerate |= a == b || b == c || a == c;
    }
    if (!sets.degenerate)
        return;
    std::memset(sets.usedTwiceBy, 0, sizeof(sets.usedTwiceBy[0]) * vertexCount);
    std::memset(sets.usedThriceBy, 0, sizeof(sets.usedThriceBy[0]) * vertexCount);
    for (size_t t = 0; t < triangleCount; ++t) {
        const Word bit = Word(1) << (t % 64);
        const unsigned char a = corners[t * 3], b = corners[t * 3 + 1], c = corners[t * 3 + 2];
        if (a == b && b == c)
            sets.usedThriceBy[a][t / 64] |= bit;
        if (a == b || a == c)
            sets.usedTwiceBy[a][t / 64] |= bit;
        else if (b == c)
            sets.usedTwiceBy[b][t / 64] |= bit;
    }
}

// The lowest-numbered unused triangle of the highest score among the candidates, or -1 when there is none.
// The highest score is found bit by bit, from the high bit down: keep the triangles with the bit set if there
// are any. Nothing branches on the scores, which are as good as random from step to step.
template <size_t WORDS> int bestOf(const Sets<WORDS>& sets, const Word* candidates) {
    Word best[WORDS];
    Word anyHigh = 0;
    for (size_t w = 0; w < WORDS; ++w) {
        best[w] = candidates[w] & sets.unused[w];
        anyHigh |= best[w] & sets.scoreHigh[w];
    }
    const Word keepHigh = anyHigh ? ~Word(0) : 0;
    Word anyLow = 0;
    for (size_t w = 0; w < WORDS; ++w) {
        best[w] &= sets.scoreHigh[w] | ~keepHigh;
        anyLow |= best[w] & sets.scoreLow[w];
    }
    const Word keepLow = anyLow ? ~Word(0) : 0;
    for (size_t w = 0; w < WORDS; ++w)
        if (const Word found = best[w] & (sets.scoreLow[w] | ~keepLow))
            return int(w * 64) + __builtin_ctzll(found);
    return -1;
}

// Marks the triangle emitted, numbers the vertices it uses first (in corner order, which makes the numbers
// first-use order) and raises the score of every triangle on them.
template <size_t WORDS> void emit(Sets<WORDS>& sets, const unsigned char* corners, size_t triangle) {
    sets.unused[triangle / 64] &= ~(Word(1) << (triangle % 64));
    for (size_t c = 0; c < 3; ++c) {
        const unsigned char v = corners[triangle * 3 + c];
        if (sets.newNumber[v] >= 0)
            continue;
        sets.newNumber[v] = sets.emittedCount++;
        addOne(sets, sets.usedBy[v]);
        if (sets.degenerate) {
            addOne(sets, sets.usedTwiceBy[v]);
            addOne(sets, sets.usedThriceBy[v]);
        }
    }
}

// Reorders the meshlet as described at the top of the file.
template <size_t WORDS>
void reorder(unsigned int* meshletVertices, unsigned char* corners, size_t triangleCount,
             size_t vertexCount) {
    Sets<WORDS> sets;
    prepare(sets, corners, triangleCount, vertexCount);
    Word all[WORDS];
    for (size_t w = 0; w < WORDS; ++w)
        all[w] = ~Word(0);
    uint16_t sequence[maxTriangles];
    int best = bestOf(sets, all);
    for (size_t step = 0;;) {
        sequence[step] = uint16_t(best);
        emit(sets, corners, size_t(best));
        if (++step == triangleCount)
            break;
        const unsigned char* last = corners + size_t(best) * 3;
        Word neighbours[WORDS];
        for (size_t w = 0; w < WORDS; ++w)
            neighbours[w] = sets.usedBy[last[0]][w] | sets.usedBy[last[1]][w] | sets.usedBy[last[2]][w];
        best = bestOf(sets, neighbours);
        if (best < 0) // no unused neighbour: the best of all unused triangles
            best = bestOf(sets, all);
    }

    // Vertices in first-use order; vertices no triangle uses keep their relative order at the end.
    unsigned int vertices[maxVertices];
    unsigned char triangles[maxTriangles * 3];
    for (size_t step = 0; step < triangleCount; ++step)
        for (size_t c = 0; c < 3; ++c)
            triangles[step * 3 + c] =
                static_cast<unsigned char>(sets.newNumber[corners[sequence[step] * 3 + c]]);
    int next = sets.emittedCount;
    for (size_t v = 0; v < vertexCount; ++v)
        vertices[sets.newNumber[v] >= 0 ? sets.newNumber[v] : next++] = meshletVertices[v];
    std::memcpy(meshletVertices, vertices, sizeof(unsigned int) * vertexCount);
    std::memcpy(corners, triangles, triangleCount * 3);
}

} // namespace

extern "C" void meshopt_optimizeMeshlet(unsigned int* meshlet_vertices, unsigned char* meshlet_triangles,
                                        size_t triangle_count, size_t vertex_count) {
    if (triangle_count > maxTriangles || vertex_count > maxVertices)
        return;
    const size_t cornerCount = triangle_count * 3;
    unsigned char highest = 0;
    for (size_t i = 0; i < cornerCount; ++i)
        highest = meshlet_triangles[i] > highest ? meshlet_triangles[i] : highest;
    if (cornerCount == 0 || highest >= vertex_count)
        return;
    if (triangle_count <= 64)
        reorder<1>(meshlet_vertices, meshlet_triangles, triangle_count, vertex_count);
    else if (triangle_count <= 128)
        reorder<2>(meshlet_vertices, meshlet_triangles, triangle_count, vertex_count);
    else
        reorder<maxTriangles / 64>(meshlet_vertices, meshlet_triangles, triangle_count, vertex_count);
}
