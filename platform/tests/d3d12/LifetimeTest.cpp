// Object lifetimes against the work the GPU has not finished: releasing a resource, an allocator or a list
// that a pending submission uses, and submitting a list again while its previous submission still runs.
#include "d3d12/GpuFixture.h"

using namespace standin;

namespace {

enum class Released { Resource, Allocator, List };

struct LifetimeCase {
    Released released;
    const char* finding;
};

std::string caseName(const ::testing::TestParamInfo<LifetimeCase>& info) {
    switch (info.param.released) {
    case Released::Resource:
        return "Resource";
    case Released::Allocator:
        return "Allocator";
    default:
        return "List";
    }
}

} // namespace

class LifetimeTest : public GpuTest, public ::testing::WithParamInterface<LifetimeCase> {
protected:
    // A second allocator and list with one copy between two buffers recorded, closed and ready to execute.
    void recordCopy(ID3D12CommandAllocator** ownAllocator, ID3D12GraphicsCommandList** ownList,
                    ID3D12Resource** source) {
        ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(ownAllocator)),
                  S_OK);
        ASSERT_EQ(device->CreateCommandList(0, D3D12_COMMAND_LIST_TYPE_DIRECT, *ownAllocator, nullptr,
                                            IID_PPV_ARGS(ownList)),
                  S_OK);
        CD3DX12_HEAP_PROPERTIES upload(D3D12_HEAP_TYPE_UPLOAD);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Buffer(256);
        ASSERT_EQ(device->CreateCommittedResource(&upload, D3D12_HEAP_FLAG_NONE, &desc,
                                                  D3D12_RESOURCE_STATE_GENERIC_READ, nullptr,
                                                  IID_PPV_ARGS(source)),
                  S_OK);
        (*source)->SetName(L"Staging");
        ID3D12Resource* destination = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
        (*ownList)->CopyBufferRegion(destination, 0, *source, 0, 256);
        ASSERT_EQ((*ownList)->Close(), S_OK);
    }

    void execute(ID3D12GraphicsCommandList* executed) {
        ID3D12CommandList* lists[] = {executed};
        queue->ExecuteCommandLists(1, lists);
    }
};

TEST_P(LifetimeTest, ReleasingWhatPendingWorkUsesIsReportedAndReleasingAfterTheWaitIsNot) {
    for (bool waitFirst : {false, true}) {
        SCOPED_TRACE(waitFirst ? "released after the wait" : "released while the work is pending");
        clearValidationErrors();
        ID3D12CommandAllocator* ownAllocator = nullptr;
        ID3D12GraphicsCommandList* ownList = nullptr;
        ID3D12Resource* source = nullptr;
        recordCopy(&ownAllocator, &ownList, &source);
        ID3D12Fence* held = gate();
        ASSERT_EQ(queue->Wait(held, 1), S_OK);
        execute(ownList);
        if (waitFirst) {
            held->Signal(1);
            waitForQueue();
        }
        IUnknown* first = GetParam().released == Released::Resource    ? static_cast<IUnknown*>(source)
                          : GetParam().released == Released::Allocator ? static_cast<IUnknown*>(ownAllocator)
                                                                       : static_cast<IUnknown*>(ownList);
        first->Release();
        if (waitFirst) {
            EXPECT_EQ(errors(), 0u) << firstFinding();
        } else {
            ASSERT_EQ(errors(), 1u);
            EXPECT_NE(validationErrors()[0].find(GetParam().finding), std::string::npos)
                << validationErrors()[0];
            held->Signal(1);
            waitForQueue();
        }
        for (IUnknown* rest : std::initializer_list<IUnknown*>{source, ownAllocator, ownList})
            if (rest != first)
                rest->Release();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Objects, LifetimeTest,
    ::testing::Values(LifetimeCase{Released::Resource,
                                   "ID3D12Resource::Release: 'Staging' is destroyed while work submitted "
                                   "to the GPU still uses it"},
                      LifetimeCase{Released::Allocator,
                                   "ID3D12CommandAllocator::Release: the allocator is destroyed while "
                                   "command lists recorded with it are still executing"},
                      LifetimeCase{Released::List,
                                   "ID3D12GraphicsCommandList::Release: the command list is destroyed while "
                                   "a submission of it is still executing"}),
    caseName);

class ResubmissionTest : public GpuTest {};

TEST_F(ResubmissionTest, AListIsSubmittedAgainOnlyOnceItsPreviousSubmissionHasCompleted) {
    ID3D12Resource* target = buffer(D3D12_HEAP_TYPE_DEFAULT, 256, D3D12_RESOURCE_STATE_COMMON);
    ID3D12Resource* source = buffer(D3D12_HEAP_TYPE_UPLOAD, 256, D3D12_RESOURCE_STATE_GENERIC_READ);
    begin();
    list->CopyBufferRegion(target, 0, source, 0, 256);
    ASSERT_EQ(list->Close(), S_OK);
    ID3D12CommandList* lists[] = {list};
    ID3D12Fence* held = gate();
    ASSERT_EQ(queue->Wait(held, 1), S_OK);
    queue->ExecuteCommandLists(1, lists);
    queue->ExecuteCommandLists(1, lists);
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("ExecuteCommandLists: command list 0 is submitted again while its "
                                         "previous submission is still executing"),
              std::string::npos)
        << validationErrors()[0];
    held->Signal(1);
    waitForQueue();
    clearValidationErrors();
    queue->ExecuteCommandLists(1, lists); // the earlier runs have completed
    waitForQueue();
    // A list reset and recorded anew while its previous recording still runs is a different submission.
    ID3D12Fence* again = gate();
    ASSERT_EQ(queue->Wait(again, 1), S_OK);
    queue->ExecuteCommandLists(1, lists);
    ID3D12CommandAllocator* second = nullptr;
    ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&second)), S_OK);
    keep(second);
    ASSERT_EQ(list->Reset(second, nullptr), S_OK);
    list->CopyBufferRegion(target, 0, source, 0, 256);
    ASSERT_EQ(list->Close(), S_OK);
    queue->ExecuteCommandLists(1, lists);
    again->Signal(1);
    waitForQueue();
    EXPECT_EQ(errors(), 0u) << firstFinding();
}
