#include "Builders.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace sample {

MeshData emptyMesh(const char* name) {
    MeshData mesh;
    mesh.name = name;
    return mesh;
}

Primitive& primitiveFor(MeshData& mesh, MaterialId material) {
    for (Primitive& primitive : mesh.primitives) {
        if (primitive.material == material) {
            return primitive;
        }
    }
    // Builders hold references to several primitives at once; the room for eight keeps them valid.
    mesh.primitives.reserve(8);
    assert(mesh.primitives.size() < 8);
    mesh.primitives.push_back({});
    mesh.primitives.back().material = material;
    return mesh.primitives.back();
}

void finishMesh(MeshData& mesh) {
    for (Primitive& primitive : mesh.primitives) {
        computeTangents(primitive);
    }
}

std::vector<ProfilePoint> smoothProfile(const std::vector<ProfilePoint>& points, int steps) {
    auto direction = [](ProfilePoint a, ProfilePoint b) {
        float dr = b.radius - a.radius, dy = b.height - a.height, length = std::sqrt(dr * dr + dy * dy);
        return length > 0 ? ProfilePoint{dr / length, dy / length} : ProfilePoint{0, 0};
    };
    // Unit tangent at point k: the mean of the directions to and from its neighbours.
    auto tangent = [&](size_t k) {
        ProfilePoint in = k > 0 ? direction(points[k - 1], points[k]) : ProfilePoint{0, 0};
        ProfilePoint out = k + 1 < points.size() ? direction(points[k], points[k + 1]) : ProfilePoint{0, 0};
        return direction({0, 0}, {in.radius + out.radius, in.height + out.height});
    };
    std::vector<ProfilePoint> result;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const ProfilePoint p1 = points[i], p2 = points[i + 1];
        // Hermite spans whose tangents are as long as the span: unlike a uniform Catmull-Rom spline, unevenly
        // spaced points do not make the curve loop back on itself.
        const float span = std::hypot(p2.radius - p1.radius, p2.height - p1.height);
        const ProfilePoint m1 = tangent(i), m2 = tangent(i + 1);
        for (int k = 0; k < steps; ++k) {
            float t = float(k) / float(steps), t2 = t * t, t3 = t2 * t;
            float h1 = 2 * t3 - 3 * t2 + 1, h2 = t3 - 2 * t2 + t, h3 = -2 * t3 + 3 * t2, h4 = t3 - t2;
            result.push_back(
                {std::max(0.0f,
                          h1 * p1.radius + h2 * span * m1.radius + h3 * p2.radius + h4 * span * m2.radius),
                 h1 * p1.height + h2 * span * m1.height + h3 * p2.height + h4 * span * m2.height});
        }
    }
    result.push_back(points.back());
    return result;
}

void addCreasedLathe(Primitive& primitive, const Transform& place, const std::vector<ProfilePoint>& points,
                     int segments, float uvScale) {
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        addLathe(primitive, place, {points[i], points[i + 1]}, segments, uvScale);
    }
}

} // namespace sample
