#include "renderer/FrameQueries.h"

#include "core/Globals.h"
#include "renderer/FrameConstants.h"
#include "renderer/FrameObjects.h"

#include <cstddef>
#include <cstring>

static_assert(offsetof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1, CPrimitives) == 48);
static_assert(offsetof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1, ASInvocations) == 88);
static_assert(offsetof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1, MSInvocations) == 96);
static_assert(statisticsRegionOffset(1) + sizeof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1) == READBACK_SIZE);

double geomTimeMs = 0.0;
double shadingTimeMs = 0.0;
double shadowsTimeMs = 0.0;
double denoisingTimeMs = 0.0;
double postTimeMs = 0.0;
uint64_t asInvocations = 0;
uint64_t msInvocations = 0;
uint64_t primitiveCount = 0;

bool slotQueriesIssued[2] = {false, false};
bool slotRegionResolved[2] = {false, false};

namespace {

// One pass's time from its two timestamps, in milliseconds.
double passMilliseconds(const uint64_t* timestamps, int start, int end) {
    const uint64_t ticks = timestamps[end] - timestamps[start];
    return static_cast<double>(ticks) * 1000000.0 / static_cast<double>(timestampFrequency) * 0.001;
}

} // namespace

void beginGeometryStatistics() {
    commandList->BeginQuery(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, frameIndex);
}

void endGeometryStatistics() {
    commandList->EndQuery(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, frameIndex);
}

void writeTimestamp(UINT index) {
    commandList->EndQuery(timingQueryHeap, D3D12_QUERY_TYPE_TIMESTAMP, index);
}

void readQueryResults(uint32_t slot) {
    const auto* region = reinterpret_cast<const uint8_t*>(mappedReadback);
    D3D12_QUERY_DATA_PIPELINE_STATISTICS1 statistics;
    std::memcpy(&statistics, region + statisticsRegionOffset(slot), sizeof statistics);
    asInvocations = statistics.ASInvocations;
    msInvocations = statistics.MSInvocations;
    primitiveCount = statistics.CPrimitives;
    uint64_t timestamps[TIMESTAMPS_PER_SLOT];
    std::memcpy(timestamps, region + timestampRegionOffset(slot), sizeof timestamps);
    geomTimeMs = smoothed(geomTimeMs, passMilliseconds(timestamps, 0, 1));
    shadingTimeMs = smoothed(shadingTimeMs, passMilliseconds(timestamps, 2, 3));
    postTimeMs = smoothed(postTimeMs, passMilliseconds(timestamps, 4, 5));
    shadowsTimeMs = smoothed(shadowsTimeMs, passMilliseconds(timestamps, 6, 7));
    denoisingTimeMs = smoothed(denoisingTimeMs, passMilliseconds(timestamps, 8, 9));
}

void resolveAndReadQueries() {
    const uint32_t other = 1 - frameIndex;
    // The region was written by a resolve that an earlier frame of this slot submitted, and the frame-fence
    // wait has seen that frame complete; this frame's own resolve has not run yet, so the read does not race.
    // In the first frames no resolve has written it yet, and nothing is read.
    const bool readable = slotRegionResolved[other];
    // Queries that were never issued have no data to resolve: the first frame resolves nothing.
    if (slotQueriesIssued[other]) {
        commandList->ResolveQueryData(timingQueryHeap, D3D12_QUERY_TYPE_TIMESTAMP,
                                      TIMESTAMPS_PER_SLOT * other, TIMESTAMPS_PER_SLOT, readbackHeap,
                                      timestampRegionOffset(other));
        commandList->ResolveQueryData(statisticsQueryHeap, D3D12_QUERY_TYPE_PIPELINE_STATISTICS1, other, 1,
                                      readbackHeap, statisticsRegionOffset(other));
        slotRegionResolved[other] = true;
    }
    if (readable)
        readQueryResults(other);
}

void noteQueriesSubmitted() {
    slotQueriesIssued[frameIndex] = true;
}
