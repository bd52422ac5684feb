// Loading one DDS file into a texture that the shaders reach through its srvHeap slot.
#pragma once

#include <cstdint>
#include <string>

// Reads the file, uploads every mip level of every array slice into a new default-heap texture (left in
// PIXEL_SHADER_RESOURCE), writes its shader-resource view into the next free srvHeap slot and returns that
// slot's index. The upload has completed on the GPU when it returns; the list must be closed when it is
// called. A file that cannot be opened or read, or whose header or texel data do not fit the file, is
// reported with one line naming it and ends the program with exit code 1.
uint32_t loadDdsTexture(std::string filePath);
