// What the runtime checks of shaders when it makes a pipeline state or a state object, read from their DXIL
// (standin/ShaderReflection.h): every register a shader binds is covered by a root parameter of its type and
// space that the shader's stage sees, a shader that indexes a descriptor heap has the root signature's flag
// for it, and the stages of a graphics pipeline agree on what passes between them. Bytecode that cannot be
// read (the stand-in compiler's own, or DXIL without a real compiler) is not checked. Each check returns the
// first problem, or "" when there is none.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include "standin/Gpu.h"
#include "standin/ShaderReflection.h"

#include <string>

namespace standin {

// One entry point's bindings against a root signature.
std::string checkBindingsCovered(const ShaderEntry& entry, const RootSignatureInfo& rootSignature);

// The stages' interfaces: the amplification and mesh shaders' payloads, and the pixel shader's inputs against
// the outputs of the stage before it.
std::string checkStageInterfaces(const ShaderReflection& amplification, const ShaderReflection& mesh,
                                 const ShaderReflection& beforePixel, const ShaderReflection& pixel);

// Every stage of a pipeline against its root signature, then the stages' interfaces.
std::string checkPipelineShaders(const PipelineInfo& pipeline, const RootSignatureInfo& rootSignature);

// Every export of a state object's DXIL libraries (those their export lists keep) against the state object's
// global root signature together with its local ones.
std::string checkStateObjectShaders(const D3D12_STATE_OBJECT_DESC& desc);

} // namespace standin
