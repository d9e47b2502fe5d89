// SPDX-License-Identifier: MIT
#include "app/OrvaneApp.h"

#include "accordion/AccordionLiveTest.h"
#include "accordion/AccordionRender.h"
#include "app/CommandLineMode.h"
#include "app/ExitStatus.h"
#include "offscreen/MovieRender.h"
#include "offscreen/RenderModes.h"

#include <iostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace orvane {

namespace {

int notAvailableYet(std::string_view what) {
    std::cerr << "Orvane: " << what << " is not available yet.\n";
    return ExitStatus::failure;
}

int runRender(const std::vector<std::string>& arguments) {
    if (!arguments.empty() && arguments.front() == CommandLineMode::movieMarker) {
        return MovieRender::run({arguments.begin() + 1, arguments.end()});
    }
    return RenderModes::runRender(arguments);
}

} // namespace

int CommandLineMode::run() const {
    return std::visit(
        [](const auto& mode) -> int {
            using Mode = std::decay_t<decltype(mode)>;
            if constexpr (std::is_same_v<Mode, Render>) {
                return runRender(mode.arguments);
            } else if constexpr (std::is_same_v<Mode, RenderSheet>) {
                return RenderModes::runSheet(mode.arguments);
            } else if constexpr (std::is_same_v<Mode, AccordionRender>) {
                return orvane::AccordionRender::run(mode.arguments);
            } else if constexpr (std::is_same_v<Mode, Shot>) {
                return notAvailableYet("--shot");
            } else if constexpr (std::is_same_v<Mode, Selftest>) {
                return notAvailableYet("--selftest");
            } else if constexpr (std::is_same_v<Mode, Probe>) {
                return notAvailableYet("--probe");
            } else {
                static_assert(std::is_same_v<Mode, AccordionLiveTest>);
                return orvane::AccordionLiveTest::run();
            }
        },
        value());
}

int OrvaneApp::main(int argc, char** argv) {
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.emplace_back(argv[i]);
    }
    // The decision is taken before anything of the application exists, so a
    // tool run never touches settings, the sensor or the screen.
    if (const auto mode = CommandLineMode::parse(arguments)) {
        return mode->run();
    }
    return notAvailableYet("The application");
}

} // namespace orvane
