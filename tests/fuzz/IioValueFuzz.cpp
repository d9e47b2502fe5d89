// SPDX-License-Identifier: MIT
// Any text may sit in a sysfs file: a number read from it is finite, and a
// mount matrix is nine finite numbers or nothing.
#include "sensor/IioValue.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so the address sanitizer catches any read past it.
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (const auto value = orvane::IioValue::number(text); value && !std::isfinite(*value)) {
        std::abort();
    }
    if (const auto matrix = orvane::IioValue::mountMatrix(text)) {
        for (const double cell : *matrix) {
            if (!std::isfinite(cell)) {
                std::abort();
            }
        }
    }
    if (const auto angle = orvane::IioValue::crosEcLidAngle(static_cast<double>(size) - 1);
        angle && (*angle < 0 || *angle > 360)) {
        std::abort();
    }
    return 0;
}
