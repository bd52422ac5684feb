#include "imgui/BackendCalls.h"

#include "standin/ImGuiBackend.h"

#include <deque>
#include <mutex>

namespace standin {

namespace {

// Two calls a frame: a long run keeps only its last frames' worth.
constexpr size_t KEPT_CALLS = 1000;

std::mutex callsMutex;
std::deque<std::string> calls;

} // namespace

void noteImGuiBackendCall(const char* call) {
    std::lock_guard lock(callsMutex);
    calls.emplace_back(call);
    if (calls.size() > KEPT_CALLS)
        calls.pop_front();
}

std::vector<std::string> imguiBackendCalls() {
    std::lock_guard lock(callsMutex);
    return {calls.begin(), calls.end()};
}

void clearImGuiBackendCalls() {
    std::lock_guard lock(callsMutex);
    calls.clear();
}

} // namespace standin
