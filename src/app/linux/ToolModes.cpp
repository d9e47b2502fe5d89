// SPDX-License-Identifier: MIT
#include "app/linux/ToolModes.h"

#include "accordion/linux/AccordionLiveTest.h"
#include "accordion/linux/AccordionRenderMode.h"
#include "core/ExitStatus.h"
#include "offscreen/linux/MovieRender.h"
#include "offscreen/linux/RenderModes.h"
#include "sensor/linux/ProbeMode.h"
#include "tools/SelfTest.h"
#include "tools/ShotRender.h"

#include <type_traits>

namespace orvane {

namespace {

int runRender(const std::vector<std::string>& arguments) {
    if (!arguments.empty() && arguments.front() == CommandLineMode::movieMarker) {
        return MovieRender::run({arguments.begin() + 1, arguments.end()});
    }
    return RenderModes::runRender(arguments);
}

} // namespace

int runToolMode(const CommandLineMode& mode) {
    return std::visit(
        [](const auto& tool) -> int {
            using Mode = std::decay_t<decltype(tool)>;
            if constexpr (std::is_same_v<Mode, CommandLineMode::Render>) {
                return runRender(tool.arguments);
            } else if constexpr (std::is_same_v<Mode, CommandLineMode::RenderSheet>) {
                return RenderModes::runSheet(tool.arguments);
            } else if constexpr (std::is_same_v<Mode, CommandLineMode::AccordionRender>) {
                return AccordionRenderMode::run(tool.arguments);
            } else if constexpr (std::is_same_v<Mode, CommandLineMode::Shot>) {
                return ShotRender::run(tool.arguments);
            } else if constexpr (std::is_same_v<Mode, CommandLineMode::Selftest>) {
                return SelfTest::run();
            } else if constexpr (std::is_same_v<Mode, CommandLineMode::Probe>) {
                return ProbeMode::run();
            } else {
                static_assert(std::is_same_v<Mode, CommandLineMode::AccordionLiveTest>);
                return AccordionLiveTest::run();
            }
        },
        mode.value());
}

} // namespace orvane
