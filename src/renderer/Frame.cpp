#include "renderer/Renderer.h"

#include "renderer/Input.h"

void renderFrame() {
    inputEvents.clear();
}
