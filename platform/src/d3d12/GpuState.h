// Process-wide state of the stand-in GPU: address spaces, the registry of live resources and descriptor heaps
// (so that addresses and handles can be checked and resolved), the controls tests set, and the command log.
#pragma once

#include "standin/Gpu.h"

#include <windows.h>
#include <directx/d3d12.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace standin {

struct ResourceStorage;
struct HeapStorage;

// Guards the registries, the tracked resource states and the command log. Recording threads, the queue
// worker and test inspection all take it briefly.
std::mutex& gpuMutex();

// Reserves a range of GPU virtual addresses that is never handed out again. Buffers start on 64 KiB, as
// committed resources do on hardware.
uint64_t reserveGpuAddresses(uint64_t size);
// Reserves CPU and GPU descriptor handle ranges (separate spaces from resource addresses).
uint64_t reserveDescriptorHandles(uint64_t size);

// Live buffers by GPU virtual address; caller holds gpuMutex.
void registerBuffer(const std::shared_ptr<ResourceStorage>& storage);
void unregisterBuffer(uint64_t address);
// The live buffer containing the address, or null. Caller holds gpuMutex.
std::shared_ptr<ResourceStorage> findBuffer(uint64_t address);

// Live descriptor heaps by their CPU and GPU handle ranges; caller holds gpuMutex.
void registerHeap(const std::shared_ptr<HeapStorage>& heap);
void unregisterHeap(const HeapStorage* heap);
std::shared_ptr<HeapStorage> findHeapByCpuHandle(SIZE_T handle, uint32_t* slot);
std::shared_ptr<HeapStorage> findHeapByGpuHandle(uint64_t handle, uint32_t* slot);

// Whether a control set by failCall makes this call fail now; `call` is "Interface::Method" and matches a
// control given either that way or as the bare method name. Returns the HRESULT to fail with, or S_OK.
HRESULT injectedFailure(const char* call);
// The reason given to refuseNextRootSignatureSerialization, once ("" when none is pending).
std::string takeSerializationRefusal();
bool hardwareAdapterRefuses();
unsigned gpuDelay();
bool softwareAdapterListedFirst();
// Clears the controls of setPrebuildQuirks; caller holds gpuMutex.
void resetPrebuildQuirks();

// Appends a submission to the command log; caller holds gpuMutex. Returns its index.
uint64_t logSubmission(std::vector<RecordedCommand> commands);

// The stand-in GPU clock in ticks of timestampFrequency().
uint64_t gpuTimestamp();
constexpr uint64_t TIMESTAMP_FREQUENCY = 1'000'000'000;

} // namespace standin
