#include "renderer/Renderer.h"

#include <windows.h>
#include <mmsystem.h>

#include "camera/FlyThrough.h"
#include "core/GpuSync.h"
#include "renderer/DeviceSetup.h"
#include "renderer/Input.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"
#include "renderer/RenderTargets.h"

Window* window = nullptr;

bool initialize() {
    // The music loops from the start; a missing file is not reported.
    PlaySoundW(L"data/music.wav", nullptr, SND_FILENAME | SND_LOOP | SND_ASYNC);
    coreLogger->info("Initializing DirectX 12 Renderer");
    window = new Window();
    window->inputCallback = onInputEvent;
    inputEvents.reserve(64);
    flyThrough.setupPath();
    createFactoryAndDevice();
    createQueueAndFence();
    createSwapchain();
    createDescriptorHeaps();
    takeTargetDescriptorSlots();
    createRenderTargets(window);

    // Arm the main loop.
    running = true;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    qpcFrequency = frequency.QuadPart;

    // Must stay the last step, after every upload of start-up (the scene's included): the frames continue
    // the fence from the first value no upload has used.
    continueFenceAfterUploads();
    return true;
}
