// SPDX-License-Identifier: MIT
#include "app/linux/OrvaneApp.h"

#include "app/linux/ToolModes.h"

#include <string>
#include <vector>

namespace orvane {

int OrvaneApp::main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    // The decision is taken before anything of the application exists, so a
    // tool run never touches settings, the sensor or the screen.
    if (const auto mode = CommandLineMode::parse(arguments)) {
        return runToolMode(*mode);
    }
    return notAvailableYet("The application");
}

} // namespace orvane
