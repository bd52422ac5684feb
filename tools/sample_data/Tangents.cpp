#include "Mesh.h"

namespace sample {

void computeTangents(Primitive& primitive) {
    std::vector<float3> alongU(primitive.vertices.size()), alongV(primitive.vertices.size());
    for (size_t t = 0; t + 2 < primitive.indices.size(); t += 3) {
        const uint32_t corners[3] = {primitive.indices[t], primitive.indices[t + 1],
                                     primitive.indices[t + 2]};
        const MeshVertex& a = primitive.vertices[corners[0]];
        const MeshVertex& b = primitive.vertices[corners[1]];
        const MeshVertex& c = primitive.vertices[corners[2]];
        float3 e1 = b.position - a.position, e2 = c.position - a.position;
        float du1 = b.texcoord.x - a.texcoord.x, dv1 = b.texcoord.y - a.texcoord.y;
        float du2 = c.texcoord.x - a.texcoord.x, dv2 = c.texcoord.y - a.texcoord.y;
        float determinant = du1 * dv2 - du2 * dv1;
        if (std::fabs(determinant) < 1e-12f) {
            continue;
        }
        // Unnormalised, so larger triangles weigh more.
        float3 u = (e1 * dv2 - e2 * dv1) * (1.0f / determinant);
        float3 v = (e2 * du1 - e1 * du2) * (1.0f / determinant);
        for (uint32_t corner : corners) {
            alongU[corner] = alongU[corner] + u;
            alongV[corner] = alongV[corner] + v;
        }
    }
    for (size_t i = 0; i < primitive.vertices.size(); ++i) {
        MeshVertex& vertex = primitive.vertices[i];
        float3 n = vertex.normal;
        float3 t = alongU[i] - n * dot(n, alongU[i]);
        if (length(t) < 1e-8f) {
            // No usable texture direction: any unit vector perpendicular to the normal.
            t = std::fabs(n.y) < 0.9f ? cross({0, 1, 0}, n) : cross({1, 0, 0}, n);
        }
        t = normalize(t);
        // The bitangent cross(normal, tangent) x w points up the image, that is toward decreasing v, the
        // convention of glTF normal textures (+Y up).
        float w = dot(cross(n, t), alongV[i]) > 0 ? -1.0f : 1.0f;
        vertex.tangent = {t.x, t.y, t.z, w};
    }
}

} // namespace sample
