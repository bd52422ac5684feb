#include "scene/AccelerationStructures.h"

std::vector<ID3D12Resource*> blasList;
ID3D12Resource* tlas = nullptr;
ID3D12Resource* instanceDescBuffer = nullptr;
uint8_t* mappedInstanceDescs = nullptr;
uint32_t instanceDescCount = 0;
ID3D12Resource* tlasUpdateScratch = nullptr;
