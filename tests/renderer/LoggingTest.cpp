// The three loggers: their names, the line pattern, and every level written.
#include "renderer/Logging.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

TEST(LoggingTest, EveryLoggerWritesEveryLevelAsTimeNameAndText) {
    if (!coreLogger)
        initLogging();
    testing::internal::CaptureStdout();
    coreLogger->trace("a");
    meshShaderLogger->debug("b");
    raytracerLogger->trace("c");
    // A logger made while standard output was a terminal colours its lines; the colour codes are not the
    // text.
    const std::string output =
        std::regex_replace(testing::internal::GetCapturedStdout(), std::regex("\x1b\\[[0-9;]*m"), "");
    const std::regex lines("\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] CORE: a\n"
                           "\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] MESH_SHADER: b\n"
                           "\\[[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\\] RAYTRACER: c\n");
    EXPECT_TRUE(std::regex_match(output, lines)) << output;
}
