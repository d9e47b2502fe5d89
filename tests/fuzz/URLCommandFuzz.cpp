// SPDX-License-Identifier: MIT
// Any text can arrive as a URL: the parser must never crash, and whatever it
// accepts must carry only finite values within their ranges.
#include "core/Tuning.h"
#include "settings/URLCommand.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <type_traits>

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void requireWithin(std::optional<double> value, double low, double high) {
    if (value) {
        require(std::isfinite(*value) && *value >= low && *value <= high);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace orvane;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<URLCommand> command = URLCommand::parse(text);
    if (!command) {
        return 0;
    }
    std::visit(
        [](const auto& c) {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, URLCommand::Set>) {
                requireWithin(c.perspective, 0, 1);
                requireWithin(c.blur, 0, 1);
                requireWithin(c.shadow, 0, 1);
                requireWithin(c.clearAngle, Tuning::minClearAngle, Tuning::maxClearAngle);
            } else if constexpr (std::is_same_v<C, URLCommand::Preview>) {
                requireWithin(c.angle, 0, Tuning::maxObservedAngle);
                requireWithin(c.seconds, Tuning::previewURLMinSeconds,
                              Tuning::previewURLMaxSeconds);
            }
        },
        command->value);
    return 0;
}
