// The bindless root signature shared by the geometry and shading passes, and the steps that every version 1.1
// root signature of the program shares.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

// Sixteen root constant-buffer views (b0 to b15), one unbounded SRV table in space 1 and one anisotropic
// sampler; the whole CBV/SRV/UAV heap is also directly indexable. Made once, released at shutdown.
extern ID3D12RootSignature* defaultRootSignature;

// Builds defaultRootSignature; a failure takes the reporting path.
void createDefaultRootSignature();

// A static sampler at s0, space 0, visible to all stages, that samples only the top mip level (MaxLOD 0).
D3D12_STATIC_SAMPLER_DESC topMipSampler(D3D12_FILTER filter, D3D12_TEXTURE_ADDRESS_MODE addressMode,
                                        UINT maxAnisotropy);

// Serialises a root-signature description. On failure prints the serialiser's call, then takes the
// reporting path with the serialiser's own message, so no caller ever sees a null blob.
ID3DBlob* serializeRootSignature(const D3D12_VERSIONED_ROOT_SIGNATURE_DESC& rootSignatureDesc);

// Serialises and creates a version 1.1 root signature with one static sampler that allows the input
// assembler and direct indexing of the CBV/SRV/UAV heap (flags 0x401). A refusal takes the reporting path
// with createCallText.
ID3D12RootSignature* createRootSignature(const D3D12_ROOT_PARAMETER1* parameters, UINT parameterCount,
                                         const D3D12_STATIC_SAMPLER_DESC& sampler,
                                         const char* createCallText);
