#include "core/Globals.h"

ID3D12Device5* device = nullptr;
ID3D12CommandQueue* commandQueue = nullptr;
ID3D12GraphicsCommandList6* commandList = nullptr;
ID3D12CommandAllocator* commandAllocators[FRAMES_IN_FLIGHT_COUNT] = {};
ID3D12Fence* fence = nullptr;
uint64_t fenceValues[FRAMES_IN_FLIGHT_COUNT] = {};
HANDLE fenceEvent = nullptr;
uint32_t frameIndex = 0;
DescriptorHeap srvHeap = {};
