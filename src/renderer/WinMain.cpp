// The program's entry point.
#include <windows.h>

#include "renderer/Logging.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    initLogging();
    coreLogger->info("Initialized Log!");
    meshShaderLogger->info("Initialized Log!");
    raytracerLogger->info("Initialized Log!");
    return 0;
}
