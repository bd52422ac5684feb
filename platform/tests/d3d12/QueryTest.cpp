// Timestamp and pipeline-statistics queries and their resolve.
#include "d3d12/GpuFixture.h"

#include <cstring>

using namespace standin;

class QueryTest : public GpuTest {
protected:
    ID3D12QueryHeap* timestamps = nullptr;
    ID3D12QueryHeap* statistics = nullptr;
    ID3D12Resource* readback = nullptr;

    void SetUp() override {
        GpuTest::SetUp();
        D3D12_QUERY_HEAP_DESC desc{D3D12_QUERY_HEAP_TYPE_TIMESTAMP, 4, 0};
        ASSERT_EQ(device->CreateQueryHeap(&desc, IID_PPV_ARGS(&timestamps)), S_OK);
        keep(timestamps);
        desc = {D3D12_QUERY_HEAP_TYPE_PIPELINE_STATISTICS1, 2, 0};
        ASSERT_EQ(device->CreateQueryHeap(&desc, IID_PPV_ARGS(&statistics)), S_OK);
        keep(statistics);
        readback = buffer(D3D12_HEAP_TYPE_READBACK, 544, D3D12_RESOURCE_STATE_COPY_DEST);
    }
};

TEST_F(QueryTest, TimestampsRiseAndStatisticsResolveToZero) {
    uint8_t* mapped = nullptr;
    ASSERT_EQ(readback->Map(0, nullptr, reinterpret_cast<void**>(&mapped)), S_OK);
    EXPECT_EQ(mapCount(readback), 1);
    std::memset(mapped, 0xcd, 544);
    ID3D12Resource* upload = buffer(D3D12_HEAP_TYPE_UPLOAD, 1 << 20, D3D12_RESOURCE_STATE_GENERIC_READ);
    ID3D12Resource* target = buffer(D3D12_HEAP_TYPE_DEFAULT, 1 << 20, D3D12_RESOURCE_STATE_COMMON);
    begin();
    list->EndQuery(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0);
    list->BeginQuery(statistics, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 1);
    list->CopyBufferRegion(target, 0, upload, 0, 1 << 20);
    list->EndQuery(statistics, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 1);
    list->EndQuery(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 1);
    list->EndQuery(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 2);
    list->ResolveQueryData(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0, 3, readback, 0);
    list->ResolveQueryData(statistics, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 1, 1, readback, 432);
    submit();
    EXPECT_EQ(errors(), 0u);
    uint64_t ticks[3];
    std::memcpy(ticks, mapped, sizeof ticks);
    EXPECT_GT(ticks[0], 0u);
    EXPECT_LE(ticks[0], ticks[1]);
    EXPECT_LE(ticks[1], ticks[2]);
    D3D12_QUERY_DATA_PIPELINE_STATISTICS1 zero{}, stats;
    std::memcpy(&stats, mapped + 432, sizeof stats);
    EXPECT_EQ(std::memcmp(&stats, &zero, sizeof stats), 0);
    EXPECT_EQ(mapped[24], 0xcd) << "bytes outside the resolved ranges stay as they were";
    UINT64 frequency = 0;
    ASSERT_EQ(queue->GetTimestampFrequency(&frequency), S_OK);
    EXPECT_GT(frequency, 0u);
    readback->Unmap(0, nullptr);
    EXPECT_EQ(mapCount(readback), 0);
}

TEST_F(QueryTest, ResolvingQueriesNeverIssuedIsReported) {
    begin();
    list->EndQuery(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0);
    list->ResolveQueryData(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0, 1, readback, 0);
    submit();
    EXPECT_EQ(errors(), 0u);
    begin();
    list->ResolveQueryData(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0, 2, readback, 0);
    submit();
    ASSERT_EQ(errors(), 1u);
    EXPECT_NE(validationErrors()[0].find("query 1 of the heap has never been issued"), std::string::npos);
}

TEST_F(QueryTest, StatisticsQueriesMustBeginAndEndInOneList) {
    begin();
    list->EndQuery(statistics, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 0);
    EXPECT_EQ(errors(), 1u);
    list->BeginQuery(statistics, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, 0);
    list->BeginQuery(timestamps, D3D12_QUERY_TYPE_TIMESTAMP, 0);
    EXPECT_EQ(errors(), 2u);
    ASSERT_EQ(list->Close(), S_OK);
    EXPECT_EQ(errors(), 3u) << "closing with a query still open";
}
