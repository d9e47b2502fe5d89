// SPDX-License-Identifier: MIT
// The highest frame rate the capture and the overlay may run at, from the
// system's heat, its power source and the built-in screen.
#pragma once

#include "system/SystemFacts.h"

#include <cstdint>
#include <optional>

namespace orvane {

// `builtInMaxFPS` is the built-in screen's maximum refresh rate, absent when
// there is no built-in screen.
std::int64_t frameRateCap(ThermalState thermal, bool onACPower,
                          std::optional<std::int64_t> builtInMaxFPS);

} // namespace orvane
