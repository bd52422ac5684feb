// Whether the frame traces shadows. The stage needs every object of the ray dispatch (the root signature, the
// state object with both exports, the shader table) and the scene's top-level acceleration structure; when
// one is missing the stage is off for the rest of the run: the frame records neither the ray nor the denoise
// dispatch, and the shading pass reads a fully lit "Shadow Map" instead.
#pragma once

// True until something the stage needs is found missing.
extern bool shadowStageEnabled;

// Switches the stage off and says why on the "RAYTRACER" logger; only the first reason is logged.
void disableShadowStage(const char* reason);

// Whether this frame traces shadows: the stage is on and the scene has its top-level structure (a scene
// without one switches the stage off here).
bool shadowStageReady();
