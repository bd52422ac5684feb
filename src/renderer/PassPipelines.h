// The pipelines of the geometry, shading and post passes, the post pass's root signature and the shader
// compiler that builds their stages. Made once at start, released at shutdown.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

extern ID3D12PipelineState* geometryPipeline;
extern ID3D12PipelineState* shadingPipeline;
extern ID3D12RootSignature* postRootSignature;
extern ID3D12PipelineState* postPipeline;

// hlslCompiler, hlslLibrary and the library's default include handler.
void createShaderCompiler();

// The mesh-shader geometry pipeline on defaultRootSignature (which must exist).
void createGeometryPipeline();
// The compute shading pipeline on defaultRootSignature.
void createShadingPipeline();
// One SRV table (t0) and four root constants (b0) for the pixel stage, and a point sampler.
void createPostRootSignature();
// The classic post pipeline on postRootSignature.
void createPostPipeline();
