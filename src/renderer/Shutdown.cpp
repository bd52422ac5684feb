#include "renderer/Renderer.h"

// The window lives until the process ends.
void shutdown() {}
