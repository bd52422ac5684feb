#include "renderer/Program.h"

#include "core/Report.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"

#include <exception>
#include <iostream>

int runProgram(const ProgramStages& stages) {
    try {
        // Without the debug panel's heap the counter frequency is unset and the panel's back ends never
        // started, so the loop (which divides by the one and drives the others) must not run.
        if (!stages.initialize()) {
            coreLogger->error(
                "Initialization failed: the debug panel's descriptor heap could not be created");
            endProgram(1);
        }
        runMainLoop(stages.renderFrame);
        stages.shutdown();
    } catch (const std::exception& exception) {
        std::cout << "Exception, something went wrong: " << exception.what() << "\n";
    }
    return 0;
}
