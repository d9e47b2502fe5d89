// SPDX-License-Identifier: MIT
// A place the lid angle can be read from: the HID sensor, an IIO device, a
// pair of accelerometers, or a test's script. Used from one thread at a time.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

// What one read gave, as far as it went.
struct LidReading {
    std::string raw;             // what the device returned, as the probe shows it
    std::optional<double> angle; // degrees of opening, when it decodes to one
    bool zero = false;           // the device's value was 0
    bool operator==(const LidReading&) const = default;
};

class LidSource {
public:
    virtual ~LidSource() = default;
    // The probe's name for it: "hidraw", "iio-lid", "iio-hinge", "accel-pair".
    virtual std::string_view name() const = 0;
    // Closes first, then finds and opens the device.
    virtual bool open() = 0;
    virtual void close() = 0;
    // None when nothing could be read at all.
    virtual std::optional<LidReading> read() = 0;
};

} // namespace orvane
