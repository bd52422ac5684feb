// The program's entry point.
#include <windows.h>

#include "renderer/Logging.h"
#include "renderer/Program.h"
#include "renderer/Renderer.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    initLogging();
    coreLogger->info("Initialized Log!");
    meshShaderLogger->info("Initialized Log!");
    raytracerLogger->info("Initialized Log!");
    return runProgram({initialize, renderFrame, shutdown});
}
