// The debug panel's Direct3D 12 back end, started on its own descriptor heap with descriptors from
// uiDescriptorAllocator, whichever version of the library the build has.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

// Starts the back end; false when the library refuses.
bool initUiRendererBackend(ID3D12Device* device, ID3D12CommandQueue* queue, int framesInFlight,
                           DXGI_FORMAT rtvFormat, ID3D12DescriptorHeap* heap);

// Shuts the back end down; its descriptors go back to uiDescriptorAllocator.
void shutdownUiRendererBackend();
