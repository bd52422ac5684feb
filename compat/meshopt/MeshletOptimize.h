// meshopt_optimizeMeshlet where the installed meshoptimizer lacks it (detected when the build is configured,
// which then defines LANTERN_COMPAT_OPTIMIZE_MESHLET). Include it after <meshoptimizer.h>.
#pragma once

#include <stddef.h>

#ifdef LANTERN_COMPAT_OPTIMIZE_MESHLET
extern "C" {
// Reorders one meshlet's triangles for locality and its vertices into the order of their first use, in place,
// renumbering the triangle entries to match. Triangles keep their corner order, and so their winding.
// triangle_count is at most 512 and vertex_count at most 256; a meshlet beyond those limits, or one with an
// entry not below vertex_count, is left unchanged.
void meshopt_optimizeMeshlet(unsigned int* meshlet_vertices, unsigned char* meshlet_triangles,
                             size_t triangle_count, size_t vertex_count);
}
#endif
