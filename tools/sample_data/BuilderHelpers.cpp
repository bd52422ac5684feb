#include "Builders.h"

#include <algorithm>
#include <cassert>

namespace sample {

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
    std::vector<ProfilePoint> result;
    const size_t last = points.size() - 1;
    for (size_t i = 0; i < last; ++i) {
        const ProfilePoint& p0 = points[i > 0 ? i - 1 : i];
        const ProfilePoint& p1 = points[i];
        const ProfilePoint& p2 = points[i + 1];
        const ProfilePoint& p3 = points[i + 2 <= last ? i + 2 : last];
        for (int k = 0; k < steps; ++k) {
            float t = float(k) / float(steps), t2 = t * t, t3 = t2 * t;
            auto spline = [&](float a, float b, float c, float d) {
                return 0.5f * (2 * b + (c - a) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                               (3 * b - a - 3 * c + d) * t3);
            };
            result.push_back({std::max(0.0f, spline(p0.radius, p1.radius, p2.radius, p3.radius)),
                              spline(p0.height, p1.height, p2.height, p3.height)});
        }
    }
    result.push_back(points[last]);
    return result;
}

void addCreasedLathe(Primitive& primitive, const Transform& place, const std::vector<ProfilePoint>& points,
                     int segments, float uvScale) {
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        addLathe(primitive, place, {points[i], points[i + 1]}, segments, uvScale);
    }
}

} // namespace sample
