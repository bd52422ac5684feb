#include "common/CallTrace.h"

#include "standin/CallTrace.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {

std::atomic<bool> recording{false};
std::mutex traceMutex;
std::vector<std::string> trace;

} // namespace

namespace standin {

void traceCall(const char* name) {
    if (!recording)
        return;
    std::lock_guard lock(traceMutex);
    if (recording)
        trace.emplace_back(name);
}

void startCallTrace() {
    std::lock_guard lock(traceMutex);
    trace.clear();
    recording = true;
}

std::vector<std::string> stopCallTrace() {
    std::lock_guard lock(traceMutex);
    recording = false;
    return std::exchange(trace, {});
}

} // namespace standin
