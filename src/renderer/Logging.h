// The program's three named loggers.
#pragma once

#include <spdlog/spdlog.h>

#include <memory>

extern std::shared_ptr<spdlog::logger> coreLogger;
extern std::shared_ptr<spdlog::logger> meshShaderLogger;
extern std::shared_ptr<spdlog::logger> raytracerLogger;

// Sets the line pattern and creates the loggers "CORE", "MESH_SHADER" and "RAYTRACER" at level trace.
void initLogging();
