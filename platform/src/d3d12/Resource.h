// Committed resources: zeroed host memory, a GPU virtual address for buffers, the tracked state of each
// subresource. The memory lives in a shared ResourceStorage so that recorded work and descriptors can refer
// to it safely after the program releases the COM object.
#pragma once

#include "common/ComObject.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace standin {

// A swap chain's back buffer: its place in the chain and the chain's current back-buffer index, which
// Present moves on.
struct BackBufferLink {
    std::shared_ptr<const std::atomic<UINT>> currentIndex;
    UINT index = 0;
};

// Where one subresource lies in the stand-in's own memory: rows stored tightly, slice after slice.
struct SubresourceLayout {
    uint64_t offset = 0;
    uint32_t width = 0, height = 0, depth = 0; // texels
    uint32_t rowSize = 0;                      // bytes of one row of elements (or of 4x4 blocks)
    uint32_t numRows = 0;                      // rows of elements (or of blocks) per slice
};

struct ResourceStorage {
    D3D12_RESOURCE_DESC desc{};
    D3D12_HEAP_PROPERTIES heapProperties{};
    D3D12_HEAP_FLAGS heapFlags{};
    std::string name;          // under gpuMutex
    uint8_t* memory = nullptr; // zeroed at creation
    uint64_t size = 0;
    uint64_t gpuAddress = 0;                   // buffers only
    std::vector<SubresourceLayout> layouts;    // one per subresource (buffers: one)
    std::vector<D3D12_RESOURCE_STATES> states; // queue-level tracked state, under gpuMutex
    ID3D12Resource* object = nullptr;          // the COM object while it lives (identity for logs)
    int mapCount = 0;
    // Submissions (and presents) that use the resource and that the GPU has not finished; releasing the
    // resource or resizing its swap chain is only safe at 0.
    std::atomic<int> pendingUses{0};
    BackBufferLink backBuffer; // currentIndex null for every resource but a back buffer

    ResourceStorage() = default;
    ResourceStorage(const ResourceStorage&) = delete;
    ResourceStorage& operator=(const ResourceStorage&) = delete;
    ~ResourceStorage();

    bool isBuffer() const { return desc.Dimension == D3D12_RESOURCE_DIMENSION_BUFFER; }
    // Upload and readback resources never change state.
    bool fixedState() const;
    // Buffers and simultaneous-access textures promote from COMMON to any state and decay back.
    bool promotesFreely() const;
    uint32_t subresourceCount() const { return uint32_t(layouts.size()); }
};

// The description with the defaults the runtime fills in (a full mip chain for MipLevels 0, the default
// alignment); false with a reason when the description is invalid.
bool completeResourceDesc(D3D12_RESOURCE_DESC& desc, std::string* problem);
uint32_t subresourceCount(const D3D12_RESOURCE_DESC& desc);
// The stand-in's tight layouts of every subresource, and the total bytes.
std::vector<SubresourceLayout> tightLayouts(const D3D12_RESOURCE_DESC& desc, uint64_t* totalSize);
// GetCopyableFootprints with the platform's alignment: rows on 256 bytes, subresources on 512 bytes,
// block-compressed formats in rows of 4x4 blocks.
void copyableFootprints(const D3D12_RESOURCE_DESC& desc, UINT first, UINT count, UINT64 baseOffset,
                        D3D12_PLACED_SUBRESOURCE_FOOTPRINT* layouts, UINT* numRows, UINT64* rowSizes,
                        UINT64* totalBytes);

class Resource final : public DeviceChild<ID3D12Resource> {
public:
    Resource(Device* owner, std::shared_ptr<ResourceStorage> storage);
    ~Resource() override;

    HRESULT STDMETHODCALLTYPE Map(UINT subresource, const D3D12_RANGE* readRange, void** data) override;
    void STDMETHODCALLTYPE Unmap(UINT subresource, const D3D12_RANGE* writtenRange) override;
    D3D12_RESOURCE_DESC STDMETHODCALLTYPE GetDesc() override { return storage->desc; }
    D3D12_GPU_VIRTUAL_ADDRESS STDMETHODCALLTYPE GetGPUVirtualAddress() override {
        return storage->gpuAddress;
    }
    HRESULT STDMETHODCALLTYPE WriteToSubresource(UINT, const D3D12_BOX*, const void*, UINT, UINT) override;
    HRESULT STDMETHODCALLTYPE ReadFromSubresource(void*, UINT, UINT, UINT, const D3D12_BOX*) override;
    HRESULT STDMETHODCALLTYPE GetHeapProperties(D3D12_HEAP_PROPERTIES* properties,
                                                D3D12_HEAP_FLAGS* flags) override;
    void setDebugName(const std::string& name) override;

    std::shared_ptr<ResourceStorage> storage;

protected:
    void* queryFor(REFIID riid) override;
};

// The storage of a resource made by the stand-in, or null for anything else.
std::shared_ptr<ResourceStorage> storageOf(ID3D12Resource* resource);
// The resource's name for messages ("'G-Buffer 0'" or "an unnamed resource"); caller holds gpuMutex.
std::string describe(const ResourceStorage& storage);
std::string stateName(D3D12_RESOURCE_STATES state);
// Why a resource of this description cannot be in the state (write states combined with others, or a state
// its flags do not allow), or empty.
std::string statesProblem(const D3D12_RESOURCE_DESC& desc, D3D12_RESOURCE_STATES state);

// Makes the storage of a committed resource; false with a reason when the arguments are invalid.
std::shared_ptr<ResourceStorage> makeStorage(const D3D12_HEAP_PROPERTIES& heap, D3D12_HEAP_FLAGS flags,
                                             const D3D12_RESOURCE_DESC& desc,
                                             D3D12_RESOURCE_STATES initialState, std::string* problem);

} // namespace standin
