// Address spaces, registries, controls, findings and the command log of the stand-in GPU.
#include "d3d12/GpuState.h"

#include "common/CallTrace.h"
#include "common/ComObject.h"
#include "d3d12/DescriptorHeap.h"
#include "d3d12/Resource.h"
#include "standin/Session.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <utility>

namespace standin {

namespace {

struct FailureControl {
    bool always = false;
    HRESULT result = E_FAIL;
    unsigned skip = 0; // calls that still succeed first
};

struct State {
    std::mutex mutex;
    uint64_t nextGpuAddress = 0x0000'1000'0000'0000ull;
    uint64_t nextDescriptorHandle = 0x0000'7e00'0000'0000ull;
    std::map<uint64_t, std::weak_ptr<ResourceStorage>> buffers; // by start address
    std::map<uint64_t, std::weak_ptr<HeapStorage>> heapsByCpu, heapsByGpu;
    std::vector<std::string> findings;
    std::map<std::string, FailureControl> failures;
    std::string serializationRefusal; // empty: none
    bool hardwareRefuses = false;
    bool softwareFirst = false;
    unsigned delay = 0;
    std::deque<Submission> log;
    uint64_t submissionCount = 0;
};

State& state() {
    static State* instance = new State; // never destroyed: the queue worker may outlive static destructors
    return *instance;
}

constexpr size_t LOG_LIMIT = 600; // a long run keeps its memory bounded

// The session summary counts the debug layer's findings.
const bool counterRegistered =
    (setValidationFindingCounter([]() -> uint64_t { return validationErrorCount(); }), true);

uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

template <class Map>
auto findContaining(Map& map, uint64_t address,
                    uint64_t (*size)(const typename Map::mapped_type::element_type&))
    -> std::shared_ptr<typename Map::mapped_type::element_type> {
    auto it = map.upper_bound(address);
    if (it == map.begin())
        return nullptr;
    --it;
    auto object = it->second.lock();
    if (!object || address >= it->first + size(*object))
        return nullptr;
    return object;
}

} // namespace

std::mutex& gpuMutex() {
    return state().mutex;
}

uint64_t reserveGpuAddresses(uint64_t size) {
    std::lock_guard lock(gpuMutex());
    uint64_t address = state().nextGpuAddress;
    state().nextGpuAddress = alignUp(address + std::max<uint64_t>(size, 1), 64 * 1024);
    return address;
}

uint64_t reserveDescriptorHandles(uint64_t size) {
    std::lock_guard lock(gpuMutex());
    uint64_t handle = state().nextDescriptorHandle;
    state().nextDescriptorHandle = alignUp(handle + std::max<uint64_t>(size, 1), 64 * 1024);
    return handle;
}

void registerBuffer(const std::shared_ptr<ResourceStorage>& storage) {
    state().buffers[storage->gpuAddress] = storage;
}

void unregisterBuffer(uint64_t address) {
    state().buffers.erase(address);
}

std::shared_ptr<ResourceStorage> findBuffer(uint64_t address) {
    return findContaining(state().buffers, address, [](const ResourceStorage& r) { return r.size; });
}

void registerHeap(const std::shared_ptr<HeapStorage>& heap) {
    state().heapsByCpu[heap->cpuStart] = heap;
    if (heap->gpuStart)
        state().heapsByGpu[heap->gpuStart] = heap;
}

void unregisterHeap(const HeapStorage* heap) {
    state().heapsByCpu.erase(heap->cpuStart);
    if (heap->gpuStart)
        state().heapsByGpu.erase(heap->gpuStart);
}

static uint64_t heapSpan(const HeapStorage& heap) {
    return uint64_t(heap.slots.size()) * heap.increment;
}

// The heap of `heaps` whose range holds the handle, with the slot the handle names.
static std::shared_ptr<HeapStorage> findHeap(std::map<uint64_t, std::weak_ptr<HeapStorage>>& heaps,
                                             uint64_t handle, bool gpu, uint32_t* slot) {
    auto heap = findContaining(heaps, handle, heapSpan);
    if (heap && slot) {
        uint64_t offset = handle - (gpu ? heap->gpuStart : heap->cpuStart);
        if (offset % heap->increment != 0)
            return nullptr;
        *slot = uint32_t(offset / heap->increment);
    }
    return heap;
}

std::shared_ptr<HeapStorage> findHeapByCpuHandle(SIZE_T handle, uint32_t* slot) {
    return findHeap(state().heapsByCpu, handle, false, slot);
}

std::shared_ptr<HeapStorage> findHeapByGpuHandle(uint64_t handle, uint32_t* slot) {
    return findHeap(state().heapsByGpu, handle, true, slot);
}

HRESULT injectedFailure(const char* call) {
    traceCall(call);
    std::lock_guard lock(gpuMutex());
    auto& failures = state().failures;
    if (failures.empty())
        return S_OK;
    std::string qualified = call;
    auto separator = qualified.rfind("::");
    std::string bare = separator == std::string::npos ? qualified : qualified.substr(separator + 2);
    for (const std::string& name : {qualified, bare}) {
        auto found = failures.find(name);
        if (found == failures.end())
            continue;
        if (found->second.skip > 0) {
            --found->second.skip;
            return S_OK;
        }
        HRESULT result = found->second.result;
        if (!found->second.always)
            failures.erase(found);
        return result;
    }
    return S_OK;
}

bool hardwareAdapterRefuses() {
    std::lock_guard lock(gpuMutex());
    return state().hardwareRefuses;
}

bool softwareAdapterListedFirst() {
    std::lock_guard lock(gpuMutex());
    return state().softwareFirst;
}

uint64_t logSubmission(std::vector<RecordedCommand> commands) {
    State& s = state();
    Submission submission;
    submission.index = s.submissionCount++;
    submission.commands = std::move(commands);
    s.log.push_back(std::move(submission));
    if (s.log.size() > LOG_LIMIT)
        s.log.pop_front();
    return s.submissionCount - 1;
}

uint64_t gpuTimestamp() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return uint64_t(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
}

HRESULT notImplemented(const char* method) {
    std::fprintf(stderr, "stand-in: %s not implemented\n", method);
    return E_NOTIMPL;
}

std::string narrow(const wchar_t* text) {
    std::string result;
    for (; text && *text; ++text)
        result += (*text > 0 && *text < 128) ? char(*text) : '?';
    return result;
}

void reportValidationError(const std::string& text) {
    std::fprintf(stderr, "D3D12 ERROR: %s\n", text.c_str());
    std::lock_guard lock(gpuMutex());
    state().findings.push_back(text);
}

size_t validationErrorCount() {
    std::lock_guard lock(gpuMutex());
    return state().findings.size();
}

std::vector<std::string> validationErrors() {
    std::lock_guard lock(gpuMutex());
    return state().findings;
}

void clearValidationErrors() {
    std::lock_guard lock(gpuMutex());
    state().findings.clear();
}

void failCall(const std::string& call, bool always, HRESULT result, unsigned skip) {
    std::lock_guard lock(gpuMutex());
    state().failures[call] = FailureControl{always, result, skip};
}

void clearFailures() {
    std::lock_guard lock(gpuMutex());
    state().failures.clear();
}

void refuseNextRootSignatureSerialization(const std::string& reason) {
    std::lock_guard lock(gpuMutex());
    state().serializationRefusal = reason;
}

std::string takeSerializationRefusal() {
    std::lock_guard lock(gpuMutex());
    return std::exchange(state().serializationRefusal, std::string());
}

void setHardwareAdapterRefusesDevice(bool refuses) {
    std::lock_guard lock(gpuMutex());
    state().hardwareRefuses = refuses;
}

void setGpuDelay(unsigned milliseconds) {
    std::lock_guard lock(gpuMutex());
    state().delay = milliseconds;
}

unsigned gpuDelay() {
    std::lock_guard lock(gpuMutex());
    return state().delay;
}

void setSoftwareAdapterListedFirst(bool listed) {
    std::lock_guard lock(gpuMutex());
    state().softwareFirst = listed;
}

void resetGpu() {
    std::lock_guard lock(gpuMutex());
    State& s = state();
    s.findings.clear();
    s.failures.clear();
    s.serializationRefusal.clear();
    s.hardwareRefuses = false;
    s.softwareFirst = false;
    s.delay = 0;
    resetPrebuildQuirks();
    s.log.clear();
}

std::vector<Submission> submissions() {
    std::lock_guard lock(gpuMutex());
    return {state().log.begin(), state().log.end()};
}

void clearSubmissions() {
    std::lock_guard lock(gpuMutex());
    state().log.clear();
}

} // namespace standin
