// The CPU cost of one frame as the program spends it, at 1920 x 1080 on the sample scene: renderFrame with
// its constants, recording, submission, presentation (the stand-in's vertical-blank pacing off) and
// frame-fence wait. The program's own time on the main thread is reported apart from the stand-in's execution
// of the submitted work on its queue thread, and from the time the main thread spends blocked in the fence
// wait (timed through a link-time wrapper around WaitForSingleObjectEx, see bench/CMakeLists.txt).
#include "renderer/Logging.h"
#include "renderer/Renderer.h"

#include <windows.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <unistd.h>

namespace {

double waitSeconds = 0.0;

double cpuSeconds(clockid_t clock) {
    timespec now = {};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void pumpMessages() {
    MSG msg = {};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Start-up once, from the source tree, where the program finds its shaders and the generated data.
void startProgram() {
    static bool started = false;
    if (started)
        return;
    started = true;
    setenv("STANDIN_VSYNC", "0", 1);
    if (chdir(LANTERN_SOURCE_DIR) != 0) {
        std::perror(LANTERN_SOURCE_DIR);
        std::exit(1);
    }
    initLogging();
    spdlog::set_level(spdlog::level::warn);
    if (!initialize()) {
        std::fprintf(stderr, "start-up failed\n");
        std::exit(1);
    }
    // A few frames first, so that both frame slots are in use.
    for (int i = 0; i < 4; ++i) {
        pumpMessages();
        renderFrame();
    }
}

void RenderFrame(benchmark::State& state) {
    startProgram();
    double wallSeconds = 0.0, programSeconds = 0.0, processSeconds = 0.0;
    waitSeconds = 0.0;
    for (auto _ : state) {
        pumpMessages();
        const double thread = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const double process = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const auto start = std::chrono::steady_clock::now();
        renderFrame();
        wallSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        programSeconds += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thread;
        processSeconds += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process;
    }
    const double frames = double(state.iterations());
    state.counters["frame_ms"] = wallSeconds * 1000.0 / frames;
    // The main thread's CPU time: the program's work with the stand-in's checks of each call it makes.
    state.counters["program_cpu_ms"] = programSeconds * 1000.0 / frames;
    // The other threads' CPU time: the stand-in executing the submitted work (clears, queries, presents).
    state.counters["standin_execution_cpu_ms"] = (processSeconds - programSeconds) * 1000.0 / frames;
    state.counters["fence_wait_ms"] = waitSeconds * 1000.0 / frames;
    state.counters["width"] = double(window->getWidth());
    state.counters["height"] = double(window->getHeight());
}

// Iterations are counted by wall time: the main thread spends most of a frame blocked in the fence wait.
BENCHMARK(RenderFrame)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

} // namespace

extern "C" {
DWORD __real_WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable);

DWORD __wrap_WaitForSingleObjectEx(HANDLE handle, DWORD milliseconds, BOOL alertable) {
    const auto start = std::chrono::steady_clock::now();
    const DWORD result = __real_WaitForSingleObjectEx(handle, milliseconds, alertable);
    waitSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}
} // extern "C"

BENCHMARK_MAIN();
