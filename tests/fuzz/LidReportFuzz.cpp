// SPDX-License-Identifier: MIT
// Any byte string is a possible report: the decoder must stay inside it and
// only ever yield an angle within a full turn.
#include "sensor/LidReport.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so the address sanitizer catches any read past it.
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    std::copy(data, data + size, bytes.get());
    const auto angle = orvane::LidReport::parse({bytes.get(), size});
    if (size < 3 && angle) {
        std::abort();
    }
    if (angle && (!std::isfinite(*angle) || *angle < 0.0 || *angle > 360.0)) {
        std::abort();
    }
    return 0;
}
