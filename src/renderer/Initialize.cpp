#include "renderer/Renderer.h"

#include <windows.h>
#include <mmsystem.h>

#include "camera/FlyThrough.h"
#include "core/GpuSync.h"
#include "core/Report.h"
#include "core/RootSignature.h"
#include "raytracing/RaytracingPipeline.h"
#include "raytracing/ShadowMaps.h"
#include "renderer/DebugPanelSetup.h"
#include "renderer/DeviceSetup.h"
#include "renderer/FrameObjects.h"
#include "renderer/Input.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"
#include "renderer/PassPipelines.h"
#include "renderer/RenderTargets.h"
#include "scene/Scene.h"

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

    createDefaultRootSignature();
    createShaderCompiler();
    createGeometryPipeline();
    createShadingPipeline();
    createPostRootSignature();
    createPostPipeline();
    createRaytracingRootSignature();
    createRaytracingPipeline();
    createDenoisePipeline();
    createRaytracingConstants();
    // srvHeap slots 5 to 7, right after those of the targets.
    descriptorIndices.shadowMapIndex = initShadowMaps(window->getWidth(), window->getHeight());

    createCommandAllocatorsAndList();
    createQueryObjects();
    // Every upload resets the list first, so it is left closed and empty.
    CHECK(commandList->Close());
    createFrameConstantBuffers();

    // The scene import: its uploads need the closed list and the allocators. It starts from an empty scene.
    scene = {};
    sceneInfo = {};
    loadScene("data\\Tavern\\scene.gltf", &scene, &sceneInfo);

    if (!initDebugPanel(window->getHWND()))
        return false;

    // Arm the main loop; the remembered size keeps the first frame from resizing.
    running = true;
    lastWidth = window->getWidth();
    lastHeight = window->getHeight();
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    qpcFrequency = frequency.QuadPart;

    // Must stay the last step, after every upload of start-up (the scene's included): the frames continue
    // the fence from the first value no upload has used.
    continueFenceAfterUploads();
    return true;
}
