// The denoise program "DenoiseCS", compiled from src/raytracing/Denoise.hlsl at build time (by dxc on
// Windows, by the stand-in compiler elsewhere) and stored in the executable's read-only data.
#pragma once

#include <cstddef>

extern const unsigned char DenoiseCS[];
extern const size_t DenoiseCSSize;
