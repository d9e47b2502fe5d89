// SPDX-License-Identifier: MIT
// Commands other programs send through orvane: URLs.
#pragma once

#include "cover/CoverMode.h"
#include "render/FoldStyle.h"

#include <optional>
#include <string_view>
#include <variant>

namespace orvane {

struct URLCommand {
    // Changes the named appearance fields; an absent field is left alone.
    struct Set {
        std::optional<FoldStyle> style;
        std::optional<double> perspective;
        std::optional<double> blur;
        std::optional<double> shadow;
        std::optional<double> clearAngle;
        bool operator==(const Set&) const = default;
    };
    struct Cover {
        CoverMode mode = CoverMode::off;
        bool operator==(const Cover&) const = default;
    };
    // Shows the fold at a fixed angle for a while; never stored.
    struct Preview {
        double angle = 0;
        std::optional<double> seconds;
        bool operator==(const Preview&) const = default;
    };
    struct Pause {
        bool operator==(const Pause&) const = default;
    };
    struct Resume {
        bool operator==(const Resume&) const = default;
    };

    std::variant<Set, Cover, Preview, Pause, Resume> value;

    // None for anything that is not a well-formed orvane: command; every
    // number in the result is finite and within its range.
    static std::optional<URLCommand> parse(std::string_view url);

    bool operator==(const URLCommand&) const = default;
};

} // namespace orvane
