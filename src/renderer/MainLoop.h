// The main loop: each pass reads the clock, empties the window's message queue and renders one frame.
#pragma once

#include <cstdint>

// The loop runs while this is set; the quit message clears it. initialize sets it again near its end.
extern bool running;
// The performance-counter time at the start of the current pass, in microseconds.
extern uint64_t frameStartMicros;
// Performance-counter ticks per second, read by initialize.
extern int64_t qpcFrequency;

// Counter ticks to microseconds, truncating. Splitting off the whole seconds keeps the product from wrapping
// (ticks x 1,000,000 wraps after about 21 days at 10 MHz) and gives the plain product's value whenever that
// does not wrap.
inline uint64_t countsToMicroseconds(uint64_t counts, uint64_t frequency) {
    return counts / frequency * 1'000'000 + counts % frequency * 1'000'000 / frequency;
}

// Runs passes while running is set: the clock, every waiting message (the pass that dispatches WM_QUIT
// clears running, leaves later messages queued and still renders), then renderOneFrame. Needs qpcFrequency.
void runMainLoop(void (*renderOneFrame)());
