// The meshlet optimiser's contract, whichever implementation the build uses: the same triangles over the same
// vertices, vertices in first-use order, and consecutive triangles that share vertices.
#include <meshoptimizer.h>
// After meshoptimizer.h, as the loader includes it.
#include <MeshletOptimize.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <vector>

namespace {

struct Meshlet {
    std::vector<unsigned int> vertices;
    std::vector<unsigned char> triangles;
};

// One meshlet made from a grid of 8 x 8 vertices (7 x 7 quads, 98 triangles), its triangles shuffled and its
// vertices in a scrambled order.
Meshlet shuffledGridMeshlet(unsigned seed) {
    const int side = 8; // vertices per row
    std::vector<std::array<int, 3>> triangles;
    for (int y = 0; y < side - 1; ++y)
        for (int x = 0; x < side - 1; ++x) {
            int a = y * side + x, b = a + 1, c = a + side, d = c + 1;
            triangles.push_back({a, b, d});
            triangles.push_back({a, d, c});
        }
    std::mt19937 random(seed);
    std::shuffle(triangles.begin(), triangles.end(), random);
    std::vector<int> localOf(side * side);
    for (int i = 0; i < side * side; ++i)
        localOf[i] = i;
    std::shuffle(localOf.begin(), localOf.end(), random);

    Meshlet meshlet;
    meshlet.vertices.resize(side * side);
    for (int v = 0; v < side * side; ++v)
        meshlet.vertices[localOf[v]] = 1000 + v; // global vertex ids
    for (const auto& t : triangles)
        for (int corner : t)
            meshlet.triangles.push_back(static_cast<unsigned char>(localOf[corner]));
    return meshlet;
}

using GlobalTriangle = std::array<unsigned int, 3>;

std::vector<GlobalTriangle> globalTriangles(const Meshlet& m) {
    std::vector<GlobalTriangle> out;
    for (size_t i = 0; i < m.triangles.size(); i += 3)
        out.push_back(
            {m.vertices[m.triangles[i]], m.vertices[m.triangles[i + 1]], m.vertices[m.triangles[i + 2]]});
    std::sort(out.begin(), out.end());
    return out;
}

size_t pairsSharingAVertex(const Meshlet& m) {
    size_t shared = 0;
    for (size_t t = 3; t < m.triangles.size(); t += 3) {
        bool shares = false;
        for (int a = 0; a < 3; ++a)
            for (int b = 0; b < 3; ++b)
                shares |= m.triangles[t + a] == m.triangles[t - 3 + b];
        shared += shares;
    }
    return shared;
}

void optimize(Meshlet& m) {
    meshopt_optimizeMeshlet(m.vertices.data(), m.triangles.data(), m.triangles.size() / 3, m.vertices.size());
}

} // namespace

TEST(MeshletOptimize, KeepsTheTrianglesAndOrdersVerticesByFirstUse) {
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        Meshlet meshlet = shuffledGridMeshlet(seed);
        const Meshlet before = meshlet;
        optimize(meshlet);

        // Same triangles with the same winding (as global ids; compared without regard to their first
        // corner).
        auto rotated = [](std::vector<GlobalTriangle> ts) {
            for (auto& t : ts)
                std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
            std::sort(ts.begin(), ts.end());
            return ts;
        };
        EXPECT_EQ(rotated(globalTriangles(meshlet)), rotated(globalTriangles(before)));
        std::vector<unsigned int> sortedBefore = before.vertices, sortedAfter = meshlet.vertices;
        std::sort(sortedBefore.begin(), sortedBefore.end());
        std::sort(sortedAfter.begin(), sortedAfter.end());
        EXPECT_EQ(sortedAfter, sortedBefore);

        unsigned next = 0;
        for (unsigned char local : meshlet.triangles) {
            ASSERT_LE(local, next) << "vertex used before all lower-numbered ones";
            next = std::max(next, unsigned(local) + 1);
        }
        EXPECT_GT(pairsSharingAVertex(meshlet), pairsSharingAVertex(before));
        EXPECT_GE(pairsSharingAVertex(meshlet), (meshlet.triangles.size() / 3 - 1) * 9 / 10);
    }
}

#ifdef LANTERN_COMPAT_OPTIMIZE_MESHLET
TEST(MeshletOptimize, OurVersionLeavesAMeshletWithAnEntryOutOfRangeUnchanged) {
    Meshlet meshlet = shuffledGridMeshlet(4);
    meshlet.triangles[5] = 64;
    const Meshlet before = meshlet;
    optimize(meshlet);
    EXPECT_EQ(meshlet.triangles, before.triangles);
    EXPECT_EQ(meshlet.vertices, before.vertices);
}

namespace {

// Our order, written out step by step: the next triangle is, among the unused triangles that share a vertex
// with the last one (all unused triangles when none does), the one with the most corners on vertices already
// emitted, the lowest-numbered on a tie; vertices follow in first-use order, unused ones last.
void optimizeStepByStep(Meshlet& m) {
    const size_t triangleCount = m.triangles.size() / 3, vertexCount = m.vertices.size();
    std::vector<bool> emitted(triangleCount), vertexUsed(vertexCount);
    std::vector<size_t> sequence;
    auto shares = [&](size_t a, size_t b) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                if (m.triangles[a * 3 + i] == m.triangles[b * 3 + j])
                    return true;
        return false;
    };
    auto score = [&](size_t t) {
        return vertexUsed[m.triangles[t * 3]] + vertexUsed[m.triangles[t * 3 + 1]] +
               vertexUsed[m.triangles[t * 3 + 2]];
    };
    for (size_t step = 0; step < triangleCount; ++step) {
        int best = -1;
        for (bool neighboursOnly : {true, false}) {
            if (best >= 0 || (neighboursOnly && sequence.empty()))
                continue;
            for (size_t t = 0; t < triangleCount; ++t)
                if (!emitted[t] && (!neighboursOnly || shares(t, sequence.back())) &&
                    (best < 0 || score(t) > score(size_t(best))))
                    best = int(t);
        }
        sequence.push_back(size_t(best));
        emitted[best] = true;
        for (int c = 0; c < 3; ++c)
            vertexUsed[m.triangles[best * 3 + c]] = true;
    }
    std::vector<int> newNumber(vertexCount, -1);
    Meshlet out;
    for (size_t t : sequence)
        for (int c = 0; c < 3; ++c) {
            unsigned char v = m.triangles[t * 3 + c];
            if (newNumber[v] < 0) {
                newNumber[v] = int(out.vertices.size());
                out.vertices.push_back(m.vertices[v]);
            }
            out.triangles.push_back(static_cast<unsigned char>(newNumber[v]));
        }
    for (size_t v = 0; v < vertexCount; ++v)
        if (newNumber[v] < 0)
            out.vertices.push_back(m.vertices[v]);
    m = out;
}

// Random triangles over vertexCount vertices, each corner near the previous triangle's so that there are
// neighbours to follow, with degenerate triangles and unused vertices among them.
Meshlet randomMeshlet(std::mt19937& random, size_t triangleCount, size_t vertexCount) {
    Meshlet m;
    for (size_t v = 0; v < vertexCount; ++v)
        m.vertices.push_back(unsigned(5000 + v));
    size_t around = 0;
    for (size_t i = 0; i < triangleCount * 3; ++i) {
        if (random() % 5 == 0)
            around = random() % vertexCount;
        size_t spread = std::min<size_t>(vertexCount, 6);
        m.triangles.push_back(static_cast<unsigned char>((around + random() % spread) % vertexCount));
    }
    return m;
}

} // namespace

TEST(MeshletOptimize, OurVersionFollowsTheGreedyOrderExactly) {
    std::mt19937 random(7);
    struct Size {
        size_t triangles, vertices;
    } sizes[] = {{1, 3}, {2, 4}, {60, 64}, {124, 64}, {124, 40}, {100, 200}, {65, 3}, {300, 256}, {512, 256}};
    for (const Size& size : sizes)
        for (int round = 0; round < 20; ++round) {
            SCOPED_TRACE(testing::Message() << size.triangles << " triangles, round " << round);
            Meshlet meshlet = randomMeshlet(random, size.triangles, size.vertices), expected = meshlet;
            optimize(meshlet);
            optimizeStepByStep(expected);
            ASSERT_EQ(meshlet.triangles, expected.triangles);
            ASSERT_EQ(meshlet.vertices, expected.vertices);
        }
    for (unsigned seed : {1u, 2u, 3u}) {
        Meshlet meshlet = shuffledGridMeshlet(seed), expected = meshlet;
        optimize(meshlet);
        optimizeStepByStep(expected);
        EXPECT_EQ(meshlet.triangles, expected.triangles);
        EXPECT_EQ(meshlet.vertices, expected.vertices);
    }
}
#endif
