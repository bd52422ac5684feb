// The rules for shader-resource views of textures that the debug layer applies when a view is written.
#pragma once

#include "d3d12/Resource.h"

#include <string>

namespace standin {

// What is wrong with a 2D or 2D-array shader-resource view of a texture, or empty when it is valid.
std::string textureViewProblem(const ResourceStorage& texture, const D3D12_SHADER_RESOURCE_VIEW_DESC& desc);

} // namespace standin
