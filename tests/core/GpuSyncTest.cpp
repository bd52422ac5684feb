// Transition barriers, release of optional objects and the owned event: the parts that need no GPU.
#include "core/GpuSync.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Counts releases; never deletes itself, so the test can read the count afterwards.
struct CountingObject : IUnknown {
    int releases = 0;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return ++releases, 0; }
};

} // namespace

TEST(TransitionBarrier, CoversAllSubresourcesWithNoFlags) {
    D3D12_RESOURCE_BARRIER barrier;
    std::memset(&barrier, 0xAB, sizeof barrier);
    auto* resource = reinterpret_cast<ID3D12Resource*>(uintptr_t(0x1000));
    transitionBarrier(&barrier, resource, D3D12_RESOURCE_STATE_COPY_DEST,
                      D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    EXPECT_EQ(barrier.Type, D3D12_RESOURCE_BARRIER_TYPE_TRANSITION);
    EXPECT_EQ(barrier.Flags, D3D12_RESOURCE_BARRIER_FLAG_NONE);
    EXPECT_EQ(barrier.Transition.pResource, resource);
    EXPECT_EQ(barrier.Transition.Subresource, D3D12_RESOURCE_BARRIER_ALL_SUBRESOURCES);
    EXPECT_EQ(barrier.Transition.StateBefore, D3D12_RESOURCE_STATE_COPY_DEST);
    EXPECT_EQ(barrier.Transition.StateAfter, D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
}

TEST(SafeRelease, ReleasesOnceAndLeavesThePointer) {
    CountingObject object;
    CountingObject* pointer = &object;
    safeRelease(pointer);
    EXPECT_EQ(object.releases, 1);
    EXPECT_EQ(pointer, &object);

    CountingObject* none = nullptr;
    safeRelease(none); // must not dereference
}

TEST(EventHandle, WaitReturnsOnceSetAndResetsItself) {
    EventHandle event;
    ASSERT_NE(event.get(), nullptr);
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT); // starts unsignalled
    SetEvent(event.get());
    event.wait();
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), WAIT_TIMEOUT); // the wait consumed the signal
}
