// Views of a single 2D texture of one mip level, written into a descriptor slot: the render targets and the
// shadow textures are all of this kind.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

void writeShaderResourceView(ID3D12Resource* resource, DXGI_FORMAT format,
                             D3D12_CPU_DESCRIPTOR_HANDLE handle);
void writeUnorderedAccessView(ID3D12Resource* resource, DXGI_FORMAT format,
                              D3D12_CPU_DESCRIPTOR_HANDLE handle);
