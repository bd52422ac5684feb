// Structured buffers (staging upload, state, view and slot) and constant buffers (sizes, frame slots).
#include "core/Buffers.h"

#include "GpuFixture.h"

#include <numeric>
#include <vector>

namespace {

using BuffersTest = GpuFixture;

std::vector<uint8_t> pattern(size_t size, uint8_t first) {
    std::vector<uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

} // namespace

TEST_F(BuffersTest, ConstantBufferSlotsAreAlignedTo256Bytes) {
    struct Case {
        uint32_t elementSize, count;
        uint64_t alignedSize, width;
    };
    const Case cases[] = {
        {1, 1, 256, 512},   {8, 1, 256, 512},    {20, 1, 256, 512},   {28, 1, 256, 512},   {160, 1, 256, 512},
        {256, 1, 256, 512}, {257, 1, 512, 1024}, {324, 1, 512, 1024}, {100, 3, 256, 1536},
    };
    for (const Case& c : cases) {
        ConstantBuffer buffer = createConstantBuffer(c.elementSize, c.count);
        EXPECT_EQ(buffer.alignedSize, c.alignedSize) << "element size " << c.elementSize;
        EXPECT_EQ(buffer.count, c.count);
        EXPECT_EQ(buffer.resource->GetDesc().Width, c.width) << "element size " << c.elementSize;
        EXPECT_EQ(standin::resourceState(buffer.resource), D3D12_RESOURCE_STATE_GENERIC_READ);
        EXPECT_NE(buffer.mapped, nullptr);
        buffer.resource->Release();
    }
}

TEST_F(BuffersTest, ConstantBufferWritesAndBindsTheCurrentFramesSlot) {
    // A slot holds `count` aligned elements, so the second frame's slot starts alignedSize x count in.
    struct Layout {
        uint32_t elementSize, count;
        uint64_t slotSize;
    };
    for (const Layout& layout : {Layout{324, 1, 512}, Layout{100, 3, 768}}) {
        SCOPED_TRACE(layout.count);
        ConstantBuffer buffer = createConstantBuffer(layout.elementSize, layout.count);
        const D3D12_GPU_VIRTUAL_ADDRESS start = buffer.resource->GetGPUVirtualAddress();
        const size_t blockSize = layout.slotSize; // the whole slot, every element of it
        struct Case {
            uint32_t frameIndex;
            uint64_t slotOffset;
            uint8_t first;
        };
        for (const Case& c :
             {Case{0, 0, 10}, Case{1, layout.slotSize, 90}, Case{2, 0, 30}, Case{3, layout.slotSize, 50}}) {
            frameIndex = c.frameIndex;
            const std::vector<uint8_t> block = pattern(blockSize, c.first);
            writeConstantBuffer(buffer, block.data(), block.size());
            EXPECT_EQ(getConstantBufferAddress(buffer), start + c.slotOffset)
                << "frame index " << c.frameIndex;
            std::vector<uint8_t> bound(block.size());
            ASSERT_TRUE(standin::readGpuMemory(getConstantBufferAddress(buffer), bound.data(), bound.size()));
            EXPECT_EQ(bound, block) << "frame index " << c.frameIndex;
        }
        // The other slot keeps what its own frame wrote.
        std::vector<uint8_t> slot0(blockSize);
        ASSERT_TRUE(standin::readGpuMemory(start, slot0.data(), slot0.size()));
        EXPECT_EQ(slot0, pattern(blockSize, 30));
        buffer.resource->Release();
    }
}

TEST_F(BuffersTest, UploadBufferIsRoundedUpAndMapped) {
    UploadBuffer buffer = createUploadBuffer(12, 30); // 360 bytes
    EXPECT_EQ(buffer.resource->GetDesc().Width, 512u);
    EXPECT_NE(buffer.mapped, nullptr);
    buffer.resource->Release();
}

TEST_F(BuffersTest, StructuredBufferHoldsItsDataWithAShaderViewInTheNextSlot) {
    const std::vector<uint8_t> data = pattern(48 * 5, 1);
    srvHeap.count = 7; // slots taken before
    StructuredBuffer buffer = createStructuredBuffer(data.data(), 5, 48, false, L"Vertices");

    EXPECT_EQ(buffer.descriptorIndex, 7u);
    EXPECT_EQ(srvHeap.count, 8u);
    EXPECT_EQ(standin::readResource(buffer.resource), data);
    EXPECT_EQ(standin::resourceName(buffer.resource), "Vertices");
    EXPECT_EQ(buffer.resource->GetDesc().Width, data.size());

    const standin::DescriptorContents view = standin::descriptorAt(srvHeap.heap, 7);
    ASSERT_EQ(view.kind, standin::DescriptorKind::ShaderResourceView);
    EXPECT_EQ(view.resource, buffer.resource);
    EXPECT_EQ(view.shaderResourceView.Format, DXGI_FORMAT_UNKNOWN);
    EXPECT_EQ(view.shaderResourceView.ViewDimension, D3D12_SRV_DIMENSION_BUFFER);
    EXPECT_EQ(view.shaderResourceView.Shader4ComponentMapping, D3D12_DEFAULT_SHADER_4_COMPONENT_MAPPING);
    EXPECT_EQ(view.shaderResourceView.Buffer.FirstElement, 0u);
    EXPECT_EQ(view.shaderResourceView.Buffer.NumElements, 5u);
    EXPECT_EQ(view.shaderResourceView.Buffer.StructureByteStride, 48u);

    // One submission: the copy from the staging buffer, then the buffer into the shader-read states.
    const std::vector<standin::Submission> submitted = standin::submissions();
    ASSERT_EQ(submitted.size(), 1u);
    const auto& commands = submitted[0].commands;
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].kind, standin::CommandKind::CopyBufferRegion);
    EXPECT_EQ(commands[0].destination, buffer.resource);
    EXPECT_EQ(commands[0].byteCount, data.size());
    ASSERT_EQ(commands[1].kind, standin::CommandKind::ResourceBarrier);
    ASSERT_EQ(commands[1].barriers.size(), 1u);
    const D3D12_RESOURCE_BARRIER& barrier = commands[1].barriers[0].barrier;
    EXPECT_EQ(barrier.Transition.pResource, buffer.resource);
    EXPECT_EQ(barrier.Transition.StateBefore, D3D12_RESOURCE_STATE_COPY_DEST);
    EXPECT_EQ(barrier.Transition.StateAfter,
              D3D12_RESOURCE_STATE_NON_PIXEL_SHADER_RESOURCE | D3D12_RESOURCE_STATE_PIXEL_SHADER_RESOURCE);
    buffer.resource->Release();
}

TEST_F(BuffersTest, UnorderedAccessBufferGetsAnUnorderedAccessView) {
    const std::vector<uint8_t> data = pattern(16 * 4, 5);
    StructuredBuffer buffer = createStructuredBuffer(data.data(), 4, 16, true, nullptr);

    EXPECT_EQ(standin::readResource(buffer.resource), data);
    EXPECT_TRUE(buffer.resource->GetDesc().Flags & D3D12_RESOURCE_FLAG_ALLOW_UNORDERED_ACCESS);
    const standin::DescriptorContents view = standin::descriptorAt(srvHeap.heap, buffer.descriptorIndex);
    ASSERT_EQ(view.kind, standin::DescriptorKind::UnorderedAccessView);
    EXPECT_EQ(view.resource, buffer.resource);
    EXPECT_EQ(view.counterResource, nullptr);
    EXPECT_EQ(view.unorderedAccessView.Format, DXGI_FORMAT_UNKNOWN);
    EXPECT_EQ(view.unorderedAccessView.ViewDimension, D3D12_UAV_DIMENSION_BUFFER);
    EXPECT_EQ(view.unorderedAccessView.Buffer.FirstElement, 0u);
    EXPECT_EQ(view.unorderedAccessView.Buffer.NumElements, 4u);
    EXPECT_EQ(view.unorderedAccessView.Buffer.StructureByteStride, 16u);
    EXPECT_EQ(view.unorderedAccessView.Buffer.CounterOffsetInBytes, 0u);
    EXPECT_EQ(view.unorderedAccessView.Buffer.Flags, D3D12_BUFFER_UAV_FLAG_NONE);

    const std::vector<standin::Submission> submitted = standin::submissions();
    ASSERT_EQ(submitted.size(), 1u);
    ASSERT_EQ(submitted[0].commands.back().kind, standin::CommandKind::ResourceBarrier);
    EXPECT_EQ(submitted[0].commands.back().barriers[0].barrier.Transition.StateAfter,
              D3D12_RESOURCE_STATE_UNORDERED_ACCESS);
    buffer.resource->Release();
}

// The staging buffer goes once the copy has executed: an upload leaves nothing alive but the buffer itself.
TEST_F(BuffersTest, UploadReleasesItsStagingBuffer) {
    const std::vector<uint8_t> data = pattern(256, 3);
    const size_t before = standin::liveObjectCount();
    StructuredBuffer buffer = createStructuredBuffer(data.data(), 64, 4, false, nullptr);
    EXPECT_EQ(standin::liveObjectCount(), before + 1);
    buffer.resource->Release();
    EXPECT_EQ(standin::liveObjectCount(), before);
}

// An upload records on the current frame slot's allocator, whatever the other slot's allocator is doing: here
// another list is recording into it, which a reset on it would collide with.
TEST_F(BuffersTest, UploadRecordsOnTheCurrentFrameSlotsAllocator) {
    const std::vector<uint8_t> data = pattern(64, 9);
    withTheOtherSlotsAllocatorRecording([&] {
        StructuredBuffer buffer = createStructuredBuffer(data.data(), 16, 4, false, nullptr);
        EXPECT_EQ(standin::validationErrorCount(), 0u) << joinedFindings();
        EXPECT_EQ(standin::readResource(buffer.resource), data);
        buffer.resource->Release();
    });
}

TEST_F(BuffersTest, StructuredBufferWithoutDataStaysCommonAndStillTakesASlot) {
    StructuredBuffer buffer = createStructuredBuffer(nullptr, 10, 4, false, nullptr);
    EXPECT_TRUE(standin::submissions().empty());
    EXPECT_EQ(standin::resourceState(buffer.resource), D3D12_RESOURCE_STATE_COMMON);
    EXPECT_EQ(buffer.descriptorIndex, 0u);
    EXPECT_EQ(standin::descriptorAt(srvHeap.heap, 0).resource, buffer.resource);
    EXPECT_EQ(uploadFenceValue, 1u); // no upload, no fence value used
    buffer.resource->Release();
}

TEST_F(BuffersTest, ConsecutiveBuffersTakeConsecutiveSlots) {
    const std::vector<uint8_t> data = pattern(64, 0);
    StructuredBuffer first = createStructuredBuffer(data.data(), 16, 4, false, L"Meshes");
    StructuredBuffer second = createStructuredBuffer(data.data(), 8, 8, false, L"Materials");
    EXPECT_EQ(second.descriptorIndex, first.descriptorIndex + 1);
    EXPECT_EQ(standin::descriptorAt(srvHeap.heap, second.descriptorIndex).resourceName, "Materials");
    first.resource->Release();
    second.resource->Release();
}

TEST_F(BuffersTest, SizesBeyond32BitsAreRejectedBeforeAnythingIsMade) {
    struct Case {
        uint32_t count, stride;
        const char* message;
    };
    // Both products wrap in 32-bit arithmetic: to 0, and to a buffer far too small for the copy.
    const Case cases[] = {
        {1u << 20, 1u << 12,
         "Error: createStructuredBuffer: a buffer of 4294967296 bytes exceeds the 32-bit size limit\n"},
        {(1u << 16) + 1, 1u << 16,
         "Error: createStructuredBuffer: a buffer of 4295032832 bytes exceeds the 32-bit size limit\n"},
    };
    const std::vector<uint8_t> small(16);
    for (const Case& c : cases) {
        EXPECT_EQ(
            outputOfStop([&] { createStructuredBuffer(small.data(), c.count, c.stride, false, nullptr); }),
            c.message);
        EXPECT_EQ(srvHeap.count, 0u);
        EXPECT_TRUE(standin::submissions().empty());
    }
    EXPECT_EQ(outputOfStop([] { createUploadBuffer(1u << 16, 1u << 16); }),
              "Error: createUploadBuffer: a buffer of 4294967296 bytes exceeds the 32-bit size limit\n");
    EXPECT_EQ(outputOfStop([] { createConstantBuffer(0xFFFFFF01u, 1); }),
              "Error: createConstantBuffer: a buffer of 8589934592 bytes exceeds the 32-bit size limit\n");
}

TEST_F(BuffersTest, FailedCreationsAndMapsAreReportedWithTheirCalls) {
    const std::vector<uint8_t> data = pattern(32, 0);
    standin::failCall("CreateCommittedResource");
    EXPECT_EQ(outputOfStop([&] { createStructuredBuffer(data.data(), 8, 4, false, nullptr); }),
              "Error: device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
              "D3D12_RESOURCE_STATE_COMMON, 0, IID_PPV_ARGS(&buffer.resource))\n");

    standin::failCall("CreateCommittedResource", false, E_OUTOFMEMORY, 1); // the staging buffer
    EXPECT_EQ(outputOfStop([&] { createStructuredBuffer(data.data(), 8, 4, false, nullptr); }),
              "Error: device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
              "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&uploadBuffer))\n");

    standin::failCall("Map");
    EXPECT_EQ(outputOfStop([&] { createStructuredBuffer(data.data(), 8, 4, false, nullptr); }),
              "Error: uploadBuffer->Map(0, &readRange, &mappedData)\n");

    standin::failCall("CreateCommittedResource");
    EXPECT_EQ(outputOfStop([] { createConstantBuffer(324, 1); }),
              "Error: device->CreateCommittedResource( &heapProperties, D3D12_HEAP_FLAG_NONE, &resourceDesc, "
              "D3D12_RESOURCE_STATE_GENERIC_READ, 0, IID_PPV_ARGS(&buffer.resource))\n");

    // Every frame writes through the mapping, so a failed map must stop rather than leave it null.
    standin::failCall("Map");
    EXPECT_EQ(outputOfStop([] { createConstantBuffer(324, 1); }),
              "Error: buffer.resource->Map(0, &readRange, (void**)&buffer.mapped)\n");
    standin::failCall("Map");
    EXPECT_EQ(outputOfStop([] { createUploadBuffer(12, 30); }),
              "Error: buffer.resource->Map(0, &readRange, (void**)&buffer.mapped)\n");
}
