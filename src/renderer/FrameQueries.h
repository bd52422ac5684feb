// The GPU timing of the frame's five passes and the geometry pass's pipeline statistics: the queries each
// frame issues, their resolve into the read-back buffer, and the values the debug panel shows.
//
// Frame slot k owns timestamp entries 10k + 0 to 10k + 9 (geometry 0-1, shading 2-3, post 4-5, shadow rays
// 6-7, denoise 8-9) and statistics entry k. Each frame resolves the other slot's entries into the read-back
// buffer and reads, at once, what an earlier frame of its own slot resolved there; that frame has completed.
#pragma once

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>

inline constexpr UINT TIMESTAMPS_PER_SLOT = 10;
// Byte offsets of a slot's region in the read-back buffer.
inline constexpr UINT64 timestampRegionOffset(uint32_t slot) {
    return UINT64(slot) * TIMESTAMPS_PER_SLOT * sizeof(UINT64);
}
inline constexpr UINT64 statisticsRegionOffset(uint32_t slot) {
    return 320 + UINT64(slot) * sizeof(D3D12_QUERY_DATA_PIPELINE_STATISTICS1);
}

// Pass times in milliseconds, smoothed over frames; the counters of the geometry pass as read.
extern double geomTimeMs;
extern double shadingTimeMs;
extern double shadowsTimeMs;
extern double denoisingTimeMs;
extern double postTimeMs;
extern uint64_t asInvocations;
extern uint64_t msInvocations;
extern uint64_t primitiveCount;

// Whether a slot's frame has submitted its queries, and whether a resolve of a slot's queries has been
// submitted into its region: nothing is resolved or read before it exists.
extern bool slotQueriesIssued[2];
extern bool slotRegionResolved[2];

// Recording hooks at the places of the timestamp plan, for the current frame slot.
void beginGeometryStatistics();
void endGeometryStatistics();
void writeTimestamp(UINT index);

// Records the resolve of the other slot's queries and reads the values an earlier frame resolved.
void resolveAndReadQueries();
// Takes the counters and pass times from a slot's region of the read-back buffer.
void readQueryResults(uint32_t slot);
// Called once the current frame's list is submitted: its slot's queries now exist.
void noteQueriesSubmitted();
