// The one translation unit that compiles the real, header-only cgltf where the build uses it.
#define CGLTF_IMPLEMENTATION
#include <cgltf.h>
