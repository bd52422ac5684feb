#include "Mesh.h"

#include <cassert>
#include <utility>

namespace sample {
namespace {

uint32_t addVertex(Primitive& primitive, const Transform& place, float3 position, float3 normal, float2 uv) {
    primitive.vertices.push_back({place.point(position), place.normal(normal), uv, {}});
    return uint32_t(primitive.vertices.size() - 1);
}

// A mirroring placement reverses the winding, so the corners are swapped to keep the front side outward.
void addTriangle(Primitive& primitive, const Transform& place, uint32_t a, uint32_t b, uint32_t c) {
    if (place.mirrors()) {
        std::swap(b, c);
    }
    primitive.indices.insert(primitive.indices.end(), {a, b, c});
}

// Normal of the profile at point i, in the (radius, height) plane: to the right of the walking direction.
// A closed profile (last point on the first) takes its end normals across the join.
ProfilePoint profileNormal(const std::vector<ProfilePoint>& profile, size_t i) {
    size_t last = profile.size() - 1;
    bool closed = profile[0].radius == profile[last].radius && profile[0].height == profile[last].height;
    size_t before = i > 0 ? i - 1 : (closed ? last - 1 : i);
    size_t after = i < last ? i + 1 : (closed ? 1 : i);
    float dr = profile[after].radius - profile[before].radius;
    float dy = profile[after].height - profile[before].height;
    float length = std::sqrt(dr * dr + dy * dy);
    if (length == 0) {
        return {0, 1};
    }
    return {dy / length, -dr / length};
}

} // namespace

void addRectangle(Primitive& primitive, const Transform& place, float3 origin, float3 edgeU, float3 edgeV,
                  int nu, int nv, float uvScale) {
    float3 normal = normalize(cross(edgeU, edgeV));
    float lengthU = length(edgeU) * uvScale, lengthV = length(edgeV) * uvScale;
    uint32_t first = uint32_t(primitive.vertices.size());
    for (int j = 0; j <= nv; ++j) {
        for (int i = 0; i <= nu; ++i) {
            float u = float(i) / float(nu), v = float(j) / float(nv);
            addVertex(primitive, place, origin + edgeU * u + edgeV * v, normal, {u * lengthU, v * lengthV});
        }
    }
    uint32_t row = uint32_t(nu + 1);
    for (int j = 0; j < nv; ++j) {
        for (int i = 0; i < nu; ++i) {
            uint32_t corner = first + uint32_t(j) * row + uint32_t(i);
            addTriangle(primitive, place, corner, corner + 1, corner + row + 1);
            addTriangle(primitive, place, corner, corner + row + 1, corner + row);
        }
    }
}

void addBox(Primitive& primitive, const Transform& place, float3 low, float3 high, float uvScale, int split) {
    float3 d = high - low;
    float3 dx{d.x, 0, 0}, dy{0, d.y, 0}, dz{0, 0, d.z};
    addRectangle(primitive, place, {high.x, low.y, high.z}, -dz, dy, split, split, uvScale); // +x
    addRectangle(primitive, place, {low.x, low.y, low.z}, dz, dy, split, split, uvScale);    // -x
    addRectangle(primitive, place, {low.x, high.y, high.z}, dx, -dz, split, split, uvScale); // +y
    addRectangle(primitive, place, {low.x, low.y, low.z}, dx, dz, split, split, uvScale);    // -y
    addRectangle(primitive, place, {low.x, low.y, high.z}, dx, dy, split, split, uvScale);   // +z
    addRectangle(primitive, place, {high.x, low.y, low.z}, -dx, dy, split, split, uvScale);  // -z
}

void addLathe(Primitive& primitive, const Transform& place, const std::vector<ProfilePoint>& profile,
              int segments, float uvScale, const LatheOptions& options) {
    assert(profile.size() >= 2 && segments >= 3);
    float arc = options.arcDegrees * PI / 180.0f, arcStart = options.arcStartDegrees * PI / 180.0f;
    float meanRadius = 0;
    for (const ProfilePoint& point : profile) {
        meanRadius += point.radius / float(profile.size());
    }
    // u runs around the axis, v along the profile; both in world-sized units.
    float uLength = (meanRadius > 0 ? meanRadius : 1.0f) * arc * uvScale;
    uint32_t first = uint32_t(primitive.vertices.size());
    float v = 0;
    for (size_t i = 0; i < profile.size(); ++i) {
        if (i > 0) {
            float dr = profile[i].radius - profile[i - 1].radius,
                  dy = profile[i].height - profile[i - 1].height;
            v += std::sqrt(dr * dr + dy * dy) * uvScale;
        }
        ProfilePoint n = profileNormal(profile, i);
        for (int j = 0; j <= segments; ++j) {
            float t = float(j) / float(segments);
            float angle = arcStart + t * arc, c = std::cos(angle), s = std::sin(angle);
            // (cos, -sin) makes the angle run so that the profile's right-hand side faces outward.
            float3 position{profile[i].radius * c, profile[i].height, -profile[i].radius * s};
            float3 normal{n.radius * c, n.height, -n.radius * s};
            float2 uv = options.profileAlongU ? float2{v, t * uLength} : float2{t * uLength, v};
            addVertex(primitive, place, position, normal, uv);
        }
    }
    uint32_t row = uint32_t(segments + 1);
    for (size_t i = 0; i + 1 < profile.size(); ++i) {
        for (uint32_t j = 0; j < uint32_t(segments); ++j) {
            uint32_t corner = first + uint32_t(i) * row + j;
            // Triangles that would collapse onto the axis are left out.
            if (profile[i].radius > 0) {
                addTriangle(primitive, place, corner, corner + 1, corner + row + 1);
            }
            if (profile[i + 1].radius > 0) {
                addTriangle(primitive, place, corner, corner + row + 1, corner + row);
            }
        }
    }
}

void addCylinder(Primitive& primitive, const Transform& place, float radius, float y0, float y1, int segments,
                 float uvScale) {
    addLathe(primitive, place, {{0, y0}, {radius, y0}}, segments, uvScale);
    addLathe(primitive, place, {{radius, y0}, {radius, y1}}, segments, uvScale);
    addLathe(primitive, place, {{radius, y1}, {0, y1}}, segments, uvScale);
}

std::vector<ProfilePoint> circleProfile(float centerRadius, float centerHeight, float radius, int steps) {
    std::vector<ProfilePoint> profile;
    for (int k = 0; k < steps; ++k) {
        float angle = -PI + 2.0f * PI * float(k) / float(steps);
        profile.push_back({centerRadius + radius * std::cos(angle), centerHeight + radius * std::sin(angle)});
    }
    profile.push_back(profile.front()); // exactly closed, so the join is smooth
    return profile;
}

void addTorus(Primitive& primitive, const Transform& place, float majorRadius, float minorRadius,
              int majorSegments, int minorSegments, float uvScale, const LatheOptions& options) {
    addLathe(primitive, place, circleProfile(majorRadius, 0, minorRadius, minorSegments), majorSegments,
             uvScale, options);
}

size_t triangleCount(const MeshData& mesh) {
    size_t count = 0;
    for (const Primitive& primitive : mesh.primitives) {
        count += primitive.indices.size() / 3;
    }
    return count;
}

} // namespace sample
