// SPDX-License-Identifier: MIT
#include "app/CommandLineMode.h"

namespace orvane {

std::optional<CommandLineMode> CommandLineMode::parse(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return std::nullopt;
    }
    const std::string& flag = arguments.front();
    std::vector<std::string> rest(arguments.begin() + 1, arguments.end());

    if (flag == "--selftest") {
        return CommandLineMode(Selftest{});
    }
    if (flag == "--probe") {
        return CommandLineMode(Probe{});
    }
    if (flag == "--render") {
        return CommandLineMode(Render{std::move(rest)});
    }
    if (flag == "--render-sheet") {
        return CommandLineMode(RenderSheet{std::move(rest)});
    }
    if (flag == "--render-movie") {
        rest.insert(rest.begin(), std::string(movieMarker));
        return CommandLineMode(Render{std::move(rest)});
    }
    if (flag == "--accordion-render") {
        return CommandLineMode(AccordionRender{std::move(rest)});
    }
    if (flag == "--accordion-live-test") {
        return CommandLineMode(AccordionLiveTest{});
    }
    if (flag == "--shot") {
        return CommandLineMode(Shot{std::move(rest)});
    }
    return std::nullopt;
}

} // namespace orvane
