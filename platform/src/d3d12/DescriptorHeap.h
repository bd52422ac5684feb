// Descriptor heaps that keep the view written into each slot, with the resource it refers to.
#pragma once

#include "common/ComObject.h"
#include "d3d12/Resource.h"

#include <memory>
#include <vector>

namespace standin {

struct Descriptor {
    DescriptorContents contents;            // resourceName and resourceAlive are filled in when read
    std::weak_ptr<ResourceStorage> storage; // the resource the view refers to
};

struct HeapStorage {
    D3D12_DESCRIPTOR_HEAP_DESC desc{};
    uint64_t cpuStart = 0, gpuStart = 0; // gpuStart 0 for heaps that are not shader visible
    uint32_t increment = 0;
    std::vector<Descriptor> slots; // under gpuMutex
    ID3D12DescriptorHeap* object = nullptr;
};

class DescriptorHeap final : public DeviceChild<ID3D12DescriptorHeap> {
public:
    DescriptorHeap(Device* owner, std::shared_ptr<HeapStorage> storage);
    ~DescriptorHeap() override;
    D3D12_DESCRIPTOR_HEAP_DESC STDMETHODCALLTYPE GetDesc() override { return storage->desc; }
    D3D12_CPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetCPUDescriptorHandleForHeapStart() override {
        return {SIZE_T(storage->cpuStart)};
    }
    D3D12_GPU_DESCRIPTOR_HANDLE STDMETHODCALLTYPE GetGPUDescriptorHandleForHeapStart() override {
        return {storage->gpuStart};
    }
    std::shared_ptr<HeapStorage> storage;

protected:
    void* queryFor(REFIID riid) override;
};

uint32_t descriptorIncrement(D3D12_DESCRIPTOR_HEAP_TYPE type);
const char* heapTypeName(D3D12_DESCRIPTOR_HEAP_TYPE type);
std::shared_ptr<HeapStorage> heapStorageOf(ID3D12DescriptorHeap* heap);

// The descriptor at a CPU handle of a live heap of the given type; caller holds gpuMutex. Null with a
// reason when the handle is outside every such heap.
Descriptor* cpuDescriptor(SIZE_T handle, D3D12_DESCRIPTOR_HEAP_TYPE type, std::string* problem);
// Fills in the live parts of a descriptor's contents (resource name, whether it still lives).
DescriptorContents readDescriptor(const Descriptor& descriptor);

} // namespace standin
