// The emulated clock (STANDIN_CLOCK=vblank): the process's monotonic clock advances by whole vertical blanks
// of the emulated 60 Hz display at each Present and stands still in between, so a session's frame times are
// exactly 1/60 s and its frame numbers do not depend on how fast the machine runs.
//
// On Windows the performance counter and the C++ steady clock are one clock. Here the performance counter
// reads the steady clock, and the steady clock reads clock_gettime(CLOCK_MONOTONIC), which this file defines
// for the process: the program's own time measurements follow the emulated clock without knowing of it. Every
// other clock, and CLOCK_MONOTONIC while the emulation is off, is the C library's.
#include "standin/Session.h"

#include <atomic>
#include <cstdint>
#include <ctime>

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr int64_t NANOSECONDS_PER_SECOND = 1'000'000'000;
constexpr int64_t VERTICAL_BLANKS_PER_SECOND = 60;

using ClockFunction = int (*)(clockid_t, timespec*);

std::atomic<bool> emulating{false};
// The real time at which the emulation began, and the vertical blanks since.
std::atomic<int64_t> origin{0};
std::atomic<int64_t> blanks{0};

// The definition clock_gettime would have without this file's: the sanitizer runtime's or the C library's.
int realClockGettime(clockid_t clock, timespec* time) {
    static const ClockFunction next = reinterpret_cast<ClockFunction>(dlsym(RTLD_NEXT, "clock_gettime"));
    if (next)
        return next(clock, time);
    return static_cast<int>(syscall(SYS_clock_gettime, clock, time));
}

int64_t realMonotonicNanoseconds() {
    timespec time{};
    realClockGettime(CLOCK_MONOTONIC, &time);
    return int64_t(time.tv_sec) * NANOSECONDS_PER_SECOND + time.tv_nsec;
}

// Whole blanks from the origin, each rounded down to the nanosecond, so that n blanks are always the same
// time.
int64_t emulatedNanoseconds() {
    return origin.load() + blanks.load() * NANOSECONDS_PER_SECOND / VERTICAL_BLANKS_PER_SECOND;
}

} // namespace

extern "C" int clock_gettime(clockid_t clock, timespec* time) {
    if (clock != CLOCK_MONOTONIC || !emulating.load())
        return realClockGettime(clock, time);
    const int64_t now = emulatedNanoseconds();
    time->tv_sec = static_cast<time_t>(now / NANOSECONDS_PER_SECOND);
    time->tv_nsec = static_cast<long>(now % NANOSECONDS_PER_SECOND);
    return 0;
}

namespace standin {

void setEmulatedClock(bool on) {
    if (on && !emulating.load()) {
        // On a whole microsecond, so that the performance counter's 100 ns ticks split blanks the same way
        // in every run.
        origin.store(realMonotonicNanoseconds() / 1000 * 1000);
        blanks.store(0);
    }
    emulating.store(on);
}

bool emulatedClock() {
    return emulating.load();
}

void advanceEmulatedClock(unsigned verticalBlanks) {
    if (emulating.load())
        blanks.fetch_add(verticalBlanks);
}

} // namespace standin
