#include "renderer/Logging.h"

#include <spdlog/sinks/stdout_color_sinks.h>

std::shared_ptr<spdlog::logger> coreLogger;
std::shared_ptr<spdlog::logger> meshShaderLogger;
std::shared_ptr<spdlog::logger> raytracerLogger;

void initLogging() {
    // Set before the loggers exist, so each one takes it.
    spdlog::set_pattern("%^[%T] %n: %v%$", spdlog::pattern_time_type::local);
    coreLogger = spdlog::stdout_color_mt("CORE");
    coreLogger->set_level(spdlog::level::trace);
    meshShaderLogger = spdlog::stdout_color_mt("MESH_SHADER");
    meshShaderLogger->set_level(spdlog::level::trace);
    raytracerLogger = spdlog::stdout_color_mt("RAYTRACER");
    raytracerLogger->set_level(spdlog::level::trace);
}
