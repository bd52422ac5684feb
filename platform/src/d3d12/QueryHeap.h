// Query heaps: timestamps written by the queue worker from the stand-in clock, pipeline statistics that stay
// 0 (shaders do not run), and which queries have been issued, for the checks of resolves.
#pragma once

#include "common/ComObject.h"

#include <memory>
#include <vector>

namespace standin {

struct QueryStorage {
    D3D12_QUERY_HEAP_DESC desc{};
    uint32_t stride = 0;          // bytes of one query's result
    std::vector<uint8_t> results; // written by the queue worker
    std::vector<bool> issued;     // under gpuMutex, in submission order
};

class QueryHeap final : public DeviceChild<ID3D12QueryHeap> {
public:
    QueryHeap(Device* owner, std::shared_ptr<QueryStorage> storage)
        : DeviceChild(owner), storage(std::move(storage)) {}
    std::shared_ptr<QueryStorage> storage;

protected:
    void* queryFor(REFIID riid) override;
};

std::shared_ptr<QueryStorage> queryStorageOf(ID3D12QueryHeap* heap);
// The heap type a query type belongs to.
bool queryTypeFits(D3D12_QUERY_HEAP_TYPE heap, D3D12_QUERY_TYPE query);

} // namespace standin
