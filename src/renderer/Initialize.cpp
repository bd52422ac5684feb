#include "renderer/Renderer.h"

#include <windows.h>
#include <mmsystem.h>

#include "renderer/Input.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"

Window* window = nullptr;

bool initialize() {
    // The music loops from the start; a missing file is not reported.
    PlaySoundW(L"data/music.wav", nullptr, SND_FILENAME | SND_LOOP | SND_ASYNC);
    coreLogger->info("Initializing DirectX 12 Renderer");
    window = new Window();
    window->inputCallback = onInputEvent;
    inputEvents.reserve(64);

    // Arm the main loop.
    running = true;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    qpcFrequency = frequency.QuadPart;
    return true;
}
