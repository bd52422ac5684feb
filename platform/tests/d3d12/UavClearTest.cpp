// The two descriptor handles of ClearUnorderedAccessView*: a GPU handle in the shader-visible heap set on the
// list, a CPU handle in a heap that is not shader visible, both holding an unordered-access view of the
// cleared resource.
#include "d3d12/GpuFixture.h"

using namespace standin;

namespace {

struct ClearCase {
    const char* name;
    // Which slot each handle names: visible heap slots 0 (UAV of the target), 1 (UAV of another texture),
    // 2 (SRV of the target); the CPU heap has the same three, and 3 stands for "in the visible heap".
    UINT gpuSlot, cpuSlot;
    bool heapSet;
    bool floatClear;
    const char* finding; // null: no finding
};

class UavClearTest : public GpuTest, public ::testing::WithParamInterface<ClearCase> {};

} // namespace

TEST_P(UavClearTest, HandlesFollowThePlatformRules) {
    const ClearCase& c = GetParam();
    const auto UAV = D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS;
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, UAV, D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    ID3D12Resource* other =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, UAV, D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    ID3D12DescriptorHeap* visible = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, true);
    ID3D12DescriptorHeap* cpuOnly = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 4, false);
    for (ID3D12DescriptorHeap* views : {visible, cpuOnly}) {
        D3D12_CPU_DESCRIPTOR_HANDLE start = views->GetCPUDescriptorHandleForHeapStart();
        device->CreateUnorderedAccessView(target, nullptr, nullptr, {start.ptr + 0 * 32});
        device->CreateUnorderedAccessView(other, nullptr, nullptr, {start.ptr + 1 * 32});
        device->CreateShaderResourceView(target, nullptr, {start.ptr + 2 * 32});
    }
    D3D12_GPU_DESCRIPTOR_HANDLE gpuHandle{visible->GetGPUDescriptorHandleForHeapStart().ptr + c.gpuSlot * 32};
    D3D12_CPU_DESCRIPTOR_HANDLE cpuHandle =
        c.cpuSlot == 3
            ? visible->GetCPUDescriptorHandleForHeapStart()
            : D3D12_CPU_DESCRIPTOR_HANDLE{cpuOnly->GetCPUDescriptorHandleForHeapStart().ptr + c.cpuSlot * 32};
    begin();
    if (c.heapSet)
        list->SetDescriptorHeaps(1, &visible);
    if (c.floatClear) {
        const float values[4] = {1, 1, 1, 1};
        list->ClearUnorderedAccessViewFloat(gpuHandle, cpuHandle, target, values, 0, nullptr);
    } else {
        const UINT values[4] = {1, 2, 3, 4};
        list->ClearUnorderedAccessViewUint(gpuHandle, cpuHandle, target, values, 0, nullptr);
    }
    submit();
    if (!c.finding) {
        EXPECT_EQ(errors(), 0u) << firstFinding();
        return;
    }
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find(c.finding), std::string::npos) << validationErrors()[0];
}

INSTANTIATE_TEST_SUITE_P(
    Handles, UavClearTest,
    ::testing::Values(
        ClearCase{"BothViewsOfTheTarget", 0, 0, true, true, nullptr},
        ClearCase{"BothViewsOfTheTargetUint", 0, 0, true, false, nullptr},
        ClearCase{"HeapNotSet", 0, 0, false, true,
                  "ClearUnorderedAccessViewFloat: the GPU descriptor handle lies in a heap that is not set"},
        ClearCase{"CpuHandleInTheVisibleHeap", 0, 3, true, false,
                  "ClearUnorderedAccessViewUint: the CPU descriptor handle lies in a shader-visible heap"},
        ClearCase{"GpuSlotOfAnotherResource", 1, 0, true, true,
                  "the GPU descriptor handle's slot holds a view of another resource"},
        ClearCase{"CpuSlotOfAnotherResource", 0, 1, true, true,
                  "the CPU descriptor handle's slot holds a view of another resource"},
        ClearCase{"CpuSlotHoldsAShaderResourceView", 0, 2, true, true,
                  "the CPU descriptor handle's slot does not hold an unordered-access view"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GpuTest, AUavClearWithAHandleOutsideEveryHeapIsReported) {
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 8, 8, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    begin();
    const float values[4] = {};
    list->ClearUnorderedAccessViewFloat({0}, {0}, target, values, 0, nullptr);
    submit();
    ASSERT_EQ(errors(), 2u);
    EXPECT_NE(validationErrors()[0].find("GPU descriptor handle is outside every live shader-visible"),
              std::string::npos);
    EXPECT_NE(validationErrors()[1].find("CPU descriptor handle is outside every live CBV_SRV_UAV heap"),
              std::string::npos);
}

// A float clear writes its colour into the view's texture in the view's format, within its rectangles; a
// clear with a finding writes nothing.
TEST_F(GpuTest, AFloatUavClearWritesItsColourIntoTheTexture) {
    ID3D12Resource* target =
        texture(DXGI_FORMAT_R8G8B8A8_UNORM, 4, 2, 1, D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS,
                D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    ID3D12DescriptorHeap* visible = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 1, true);
    ID3D12DescriptorHeap* cpuOnly = heap(D3D12_DESCRIPTOR_HEAP_TYPE_CBV_SRV_UAV, 1, false);
    D3D12_UNORDERED_ACCESS_VIEW_DESC view{};
    view.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    view.ViewDimension = D3D12_UAV_DIMENSION_TEXTURE2D;
    device->CreateUnorderedAccessView(target, nullptr, &view, visible->GetCPUDescriptorHandleForHeapStart());
    device->CreateUnorderedAccessView(target, nullptr, &view, cpuOnly->GetCPUDescriptorHandleForHeapStart());
    const float lit[4] = {1.0f, 0.5f, 0.0f, 1.0f};
    const D3D12_RECT right{2, 0, 4, 2};
    begin();
    list->SetDescriptorHeaps(1, &visible);
    list->ClearUnorderedAccessViewFloat(visible->GetGPUDescriptorHandleForHeapStart(),
                                        cpuOnly->GetCPUDescriptorHandleForHeapStart(), target, lit, 1,
                                        &right);
    submit();
    ASSERT_EQ(errors(), 0u);
    const std::vector<uint8_t> texels = readResource(target);
    ASSERT_EQ(texels.size(), 32u);
    const std::vector<uint8_t> untouched(4, 0), cleared{255, 128, 0, 255};
    for (size_t texel = 0; texel < 8; ++texel)
        EXPECT_EQ(std::vector<uint8_t>(texels.begin() + 4 * texel, texels.begin() + 4 * texel + 4),
                  texel % 4 >= 2 ? cleared : untouched)
            << "texel " << texel;

    begin();
    list->ClearUnorderedAccessViewFloat(visible->GetGPUDescriptorHandleForHeapStart(),
                                        cpuOnly->GetCPUDescriptorHandleForHeapStart(), target, lit, 0,
                                        nullptr);
    submit();
    EXPECT_EQ(errors(), 1u) << "the heap is not set";
    EXPECT_EQ(readResource(target), texels);
}
