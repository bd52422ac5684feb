#include "renderer/MainLoop.h"

#include <windows.h>

bool running = true;
uint64_t frameStartMicros = 0;
int64_t qpcFrequency = 0;

void runMainLoop(void (*renderOneFrame)()) {
    MSG msg = {};
    while (running) {
        LARGE_INTEGER counter;
        QueryPerformanceCounter(&counter);
        frameStartMicros = countsToMicroseconds(static_cast<uint64_t>(counter.QuadPart),
                                                static_cast<uint64_t>(qpcFrequency));

        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (msg.message == WM_QUIT) {
                running = false;
                break;
            }
        }
        renderOneFrame();
    }
}
