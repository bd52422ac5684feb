#include "renderer/Settings.h"

PostSettings postSettings = {0.0f, 0.0f, 1.0f, 1.0f};
DebugFlags debugFlags = {0, 0};
bool fixateViewpos = false;
Vec3 lightPosition = {0.0f, 7.5f, 0.0f};
bool movingLightPosition = false;
float lightStrength = 3.0f;
float lightRadius = 50.0f;
float ambientFactor = 0.2f;
float nearPlane = 0.1f;
bool flyThroughActive = true;
