// SPDX-License-Identifier: MIT
// The tool mode chosen by the first command-line argument; no mode means the
// application starts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvane {

class CommandLineMode {
public:
    // The payload of the argument-carrying cases: the arguments after the
    // flag, in order and unchanged.
    struct Render {
        std::vector<std::string> arguments;
        bool operator==(const Render&) const = default;
    };
    struct RenderSheet {
        std::vector<std::string> arguments;
        bool operator==(const RenderSheet&) const = default;
    };
    struct AccordionRender {
        std::vector<std::string> arguments;
        bool operator==(const AccordionRender&) const = default;
    };
    struct Shot {
        std::vector<std::string> arguments;
        bool operator==(const Shot&) const = default;
    };
    struct Selftest {
        bool operator==(const Selftest&) const = default;
    };
    struct Probe {
        bool operator==(const Probe&) const = default;
    };
    struct AccordionLiveTest {
        bool operator==(const AccordionLiveTest&) const = default;
    };

    using Case = std::variant<Render, RenderSheet, AccordionRender, Shot, Selftest, Probe,
                              AccordionLiveTest>;

    // The marker that routes a render to the movie render.
    static constexpr std::string_view movieMarker = "--movie";

    // Arguments without the program path. Only the first one is looked at.
    static std::optional<CommandLineMode> parse(const std::vector<std::string>& arguments);

    explicit CommandLineMode(Case value) : value_(std::move(value)) {}

    const Case& value() const { return value_; }

    bool operator==(const CommandLineMode&) const = default;

private:
    Case value_;
};

} // namespace orvane
