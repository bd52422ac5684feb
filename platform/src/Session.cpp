// The session driver of the stand-in.
#include "standin/Session.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<uint64_t> presented{0};

} // namespace

namespace standin {

void notePresent() {
    presented.fetch_add(1);
}

uint64_t presentedFrames() {
    return presented.load();
}

bool vsyncEnabled() {
    const char* value = std::getenv("STANDIN_VSYNC");
    return !(value && std::strcmp(value, "0") == 0);
}

} // namespace standin
