// The bindless root signature shared by the geometry and shading passes, and the serialisation step that
// every version 1.1 root signature of the program goes through.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

// Sixteen root constant-buffer views (b0 to b15), one unbounded SRV table in space 1 and one anisotropic
// sampler; the whole CBV/SRV/UAV heap is also directly indexable. Made once, released at shutdown.
extern ID3D12RootSignature* defaultRootSignature;

// Builds defaultRootSignature; a failure takes the reporting path.
void createDefaultRootSignature();

// Serialises a root-signature description. On failure prints the serialiser's call, then takes the
// reporting path with the serialiser's own message, so no caller ever sees a null blob.
ID3DBlob* serializeRootSignature(const D3D12_VERSIONED_ROOT_SIGNATURE_DESC& rootSignatureDesc);
