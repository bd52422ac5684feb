// The list of live COM objects, and the reports of calls made through a pointer after its last Release.
#include "d3d12/GpuFixture.h"

#include <dxcapi.h>
#include <dxgi1_6.h>

#include "standin/Objects.h"

#include <gmock/gmock.h>

#include <optional>
#include <string>
#include <vector>

namespace {

std::optional<standin::LiveObject> findLive(const void* address) {
    for (const standin::LiveObject& live : standin::liveObjects())
        if (live.object == address)
            return live;
    return std::nullopt;
}

std::optional<standin::LiveObject> findLive(const IUnknown* object) {
    return findLive(dynamic_cast<const void*>(object));
}

// Calls made on purpose through pointers whose object is gone; the sanitizer's check that the object is of
// the pointer's type would stop them before the stand-in reports them.
[[gnu::no_sanitize("vptr")]] void useAfterRelease(ID3D12Resource* resource) {
    resource->GetGPUVirtualAddress();
}
[[gnu::no_sanitize("vptr")]] void signalAfterRelease(ID3D12CommandQueue* queue, ID3D12Fence* fence) {
    queue->Signal(fence, 1);
}

class LiveObjectsTest : public GpuTest {
protected:
    // A named buffer the test releases itself.
    ID3D12Resource* vertices() {
        CD3DX12_HEAP_PROPERTIES properties(D3D12_HEAP_TYPE_DEFAULT);
        CD3DX12_RESOURCE_DESC desc = CD3DX12_RESOURCE_DESC::Buffer(256);
        ID3D12Resource* resource = nullptr;
        EXPECT_EQ(device->CreateCommittedResource(&properties, D3D12_HEAP_FLAG_NONE, &desc,
                                                  D3D12_RESOURCE_STATE_COMMON, nullptr,
                                                  IID_PPV_ARGS(&resource)),
                  S_OK);
        resource->SetName(L"Vertices");
        return resource;
    }
};

TEST_F(LiveObjectsTest, ObjectsAreListedWithTheirKindAndNameUntilTheirLastRelease) {
    ID3D12Resource* buffer = vertices();
    IDXGIFactory6* factory = nullptr;
    ASSERT_EQ(CreateDXGIFactory2(0, IID_PPV_ARGS(&factory)), S_OK);
    IDxcCompiler* compiler = nullptr;
    ASSERT_EQ(DxcCreateInstance(CLSID_DxcCompiler, IID_PPV_ARGS(&compiler)), S_OK);
    ID3D12CommandAllocator* secondAllocator = nullptr;
    ASSERT_EQ(device->CreateCommandAllocator(D3D12_COMMAND_LIST_TYPE_DIRECT, IID_PPV_ARGS(&secondAllocator)),
              S_OK);
    struct Case {
        IUnknown* object;
        const char* kind;
        const char* name;
    };
    const Case cases[] = {{buffer, "ID3D12Resource", "Vertices"},
                          {secondAllocator, "ID3D12CommandAllocator", ""},
                          {factory, "IDXGIFactory6", ""},
                          {compiler, "DXC Compiler", ""}};
    for (const Case& each : cases) {
        SCOPED_TRACE(each.kind);
        std::optional<standin::LiveObject> live = findLive(each.object);
        ASSERT_TRUE(live);
        EXPECT_EQ(live->kind, each.kind);
        EXPECT_EQ(live->name, each.name);
        EXPECT_EQ(live->references, 1u);
        each.object->AddRef();
        EXPECT_EQ(findLive(each.object)->references, 2u);
        each.object->Release();
    }
    // Every child holds its device.
    size_t children = 0;
    for (const standin::LiveObject& live : standin::liveObjects())
        children += live.kind.rfind("ID3D12", 0) == 0 && live.kind.rfind("ID3D12Device", 0) != 0;
    EXPECT_EQ(findLive(device)->references, 1 + children);

    size_t before = standin::liveObjectCount();
    for (const Case& each : cases) {
        const void* address = dynamic_cast<const void*>(each.object);
        EXPECT_EQ(each.object->Release(), 0u);
        EXPECT_FALSE(findLive(address)) << each.kind;
    }
    EXPECT_EQ(standin::liveObjectCount(), before - std::size(cases));
    EXPECT_EQ(errors(), 0u);
}

TEST_F(LiveObjectsTest, ReleaseCallsAreKeptInOrderWhileRecording) {
    ID3D12Resource* buffer = vertices();
    const void* bufferAddress = dynamic_cast<const void*>(buffer);
    buffer->AddRef();
    standin::recordReleaseCalls(true);
    buffer->Release();
    buffer->Release(); // the last: the buffer releases its device
    standin::recordReleaseCalls(false);
    ID3D12Resource* unrecorded = vertices();
    unrecorded->Release();

    std::vector<standin::ReleaseCall> calls = standin::releaseCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].object, bufferAddress);
    EXPECT_EQ(calls[0].kind, "ID3D12Resource");
    EXPECT_EQ(calls[0].name, "Vertices");
    EXPECT_EQ(calls[0].referencesLeft, 1u);
    EXPECT_EQ(calls[1].object, bufferAddress);
    EXPECT_EQ(calls[1].referencesLeft, 0u);
    EXPECT_EQ(calls[2].object, dynamic_cast<const void*>(device));
    EXPECT_EQ(calls[2].kind, "ID3D12Device5");
    for (const standin::ReleaseCall& call : calls)
        EXPECT_EQ(call.thread, std::this_thread::get_id());
}

TEST_F(LiveObjectsTest, CallsAfterTheLastReleaseAreReportedNamingTheObject) {
    struct Case {
        const char* call;
        void (*make)(IUnknown*);
    };
    const Case cases[] = {
        {"Release", [](IUnknown* object) { object->Release(); }},
        {"AddRef", [](IUnknown* object) { object->AddRef(); }},
        {"QueryInterface",
         [](IUnknown* object) {
             void* found = object;
             EXPECT_NE(object->QueryInterface(__uuidof(ID3D12Resource), &found), S_OK);
             EXPECT_EQ(found, nullptr);
         }},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.call);
        standin::clearValidationErrors();
        ID3D12Resource* buffer = vertices();
        EXPECT_EQ(buffer->Release(), 0u);
        testing::internal::CaptureStderr();
        each.make(buffer);
        testing::internal::GetCapturedStderr();
        ASSERT_EQ(errors(), 1u);
        EXPECT_EQ(standin::validationErrors()[0],
                  std::string(each.call) + " of ID3D12Resource \"Vertices\" after its last reference "
                                           "was released");
    }
    standin::clearValidationErrors();
}

TEST_F(LiveObjectsTest, AnyOtherMethodAfterTheLastReleaseIsReportedAndEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ID3D12Resource* buffer = vertices();
    EXPECT_DEATH(
        {
            buffer->Release();
            useAfterRelease(buffer);
        },
        "A method call of ID3D12Resource \"Vertices\" after its last reference was released");
    EXPECT_DEATH(
        {
            queue->Release();
            signalAfterRelease(queue, fence);
        },
        "A method call of ID3D12CommandQueue \\(unnamed\\) after its last reference was released");
    buffer->Release();
}

// More objects come and go than the released ones whose memory is kept: the oldest are returned to the heap
// and correct use stays silent.
TEST_F(LiveObjectsTest, ManyObjectsComeAndGoWithoutAFinding) {
    size_t before = standin::liveObjectCount();
    for (int i = 0; i < 5000; ++i) {
        ID3D12Resource* buffer = vertices();
        ID3D12Resource* again = nullptr;
        ASSERT_EQ(buffer->QueryInterface(IID_PPV_ARGS(&again)), S_OK);
        EXPECT_EQ(again->Release(), 1u);
        EXPECT_EQ(buffer->Release(), 0u);
    }
    EXPECT_EQ(standin::liveObjectCount(), before);
    EXPECT_EQ(errors(), 0u);
}

} // namespace
