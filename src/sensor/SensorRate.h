// SPDX-License-Identifier: MIT
// The three poll rates of the lid sensor and the timer each one asks for.
#pragma once

#include <cstdint>
#include <string_view>

namespace orvane {

enum class SensorRate { idle, active, fastIdle };

// Poll frequency in hertz.
double frequency(SensorRate rate);
// One second divided by the frequency, truncated to whole nanoseconds.
std::int64_t intervalNanoseconds(SensorRate rate);
std::int64_t leewayNanoseconds(SensorRate rate);
std::string_view rawValue(SensorRate rate);

} // namespace orvane
