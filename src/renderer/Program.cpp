#include "renderer/Program.h"

#include "core/Report.h"
#include "renderer/Logging.h"
#include "renderer/MainLoop.h"

#include <exception>
#include <iostream>

int runProgram(const ProgramStages& stages) {
    try {
        // Without the debug panel's heap or back ends the counter frequency is unset and the panel cannot be
        // drawn, so the loop (which divides by the one and drives the other) must not run.
        if (!stages.initialize()) {
            coreLogger->error(
                "Initialization failed: the debug panel's descriptor heap or back ends could not "
                "be set up");
            endProgram(1);
        }
        runMainLoop(stages.renderFrame);
        stages.shutdown();
    } catch (const std::exception& exception) {
        std::cout << "Exception, something went wrong: " << exception.what() << "\n";
    }
    return 0;
}
