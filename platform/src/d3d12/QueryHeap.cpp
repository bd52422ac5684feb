// Query heaps and the device's CreateQueryHeap.
#include "d3d12/QueryHeap.h"

#include "d3d12/Device.h"
#include "d3d12/GpuState.h"

namespace standin {

void* QueryHeap::queryFor(REFIID riid) {
    if (isOneOf<IUnknown, ID3D12Object, ID3D12DeviceChild, ID3D12Pageable, ID3D12QueryHeap>(riid))
        return static_cast<ID3D12QueryHeap*>(this);
    return nullptr;
}

std::shared_ptr<QueryStorage> queryStorageOf(ID3D12QueryHeap* heap) {
    auto* ours = dynamic_cast<QueryHeap*>(heap);
    return ours ? ours->storage : nullptr;
}

bool queryTypeFits(D3D12_QUERY_HEAP_TYPE heap, D3D12_QUERY_TYPE query) {
    switch (heap) {
    case D3D12_QUERY_HEAP_TYPE_OCCLUSION:
        return query == D3D12_QUERY_TYPE_OCCLUSION || query == D3D12_QUERY_TYPE_BINARY_OCCLUSION;
    case D3D12_QUERY_HEAP_TYPE_TIMESTAMP:
        return query == D3D12_QUERY_TYPE_TIMESTAMP;
    case D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS:
        return query == D3D12_QUERY_TYPE_PIPELINE_STATISTICS;
    case D3D12_QUERY_HEAP_TYPE_SO_STATISTICS:
        return query >= D3D12_QUERY_TYPE_SO_STATISTICS_STREAM0 &&
               query <= D3D12_QUERY_TYPE_SO_STATISTICS_STREAM3;
    case D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS1:
        return query == D3D12_QUERY_TYPE_PIPELINE_STATISTICS1;
    default:
        return false;
    }
}

HRESULT Device::CreateQueryHeap(const D3D12_QUERY_HEAP_DESC* desc, REFIID riid, void** heap) {
    if (HRESULT failure = injectedFailure("ID3D12Device::CreateQueryHeap"); failure != S_OK)
        return failure;
    uint32_t stride = 0;
    if (desc) {
        switch (desc->Type) {
        case D3D12_QUERY_HEAP_TYPE_OCCLUSION:
        case D3D12_QUERY_HEAP_TYPE_TIMESTAMP:
            stride = 8;
            break;
        case D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS:
            stride = sizeof(D3D12_QUERY_DATA_PIPELINE_STATISTICS);
            break;
        case D3D12_QUERY_HEAP_TYPE_SO_STATISTICS:
            stride = sizeof(D3D12_QUERY_DATA_SO_STATISTICS);
            break;
        case D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS1:
            stride = sizeof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1);
            break;
        default:
            break;
        }
    }
    if (!desc || stride == 0 || desc->Count == 0 || desc->NodeMask > 1) {
        reportValidationError(
            "CreateQueryHeap: the description is missing, of a type the direct queue does not "
            "support, or has no queries");
        return E_INVALIDARG;
    }
    auto storage = std::make_shared<QueryStorage>();
    storage->desc = *desc;
    storage->stride = stride;
    storage->results.assign(size_t(stride) * desc->Count, 0);
    storage->issued.assign(desc->Count, false);
    return handOut(new QueryHeap(this, storage), riid, heap);
}

} // namespace standin
