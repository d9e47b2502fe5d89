// SPDX-License-Identifier: MIT
// The lid sources a Linux laptop may have, in the order they are tried: the
// HID sensor, then the IIO lid angle, the IIO hinge and an accelerometer pair.
#pragma once

#include "sensor/LidSourceChain.h"
#include "sensor/linux/LidSensorHID.h"

#include <filesystem>
#include <memory>

namespace orvane {

struct SystemLidSources {
    std::unique_ptr<LidSourceChain> chain;
    // The HID source inside the chain, for the probe's permission hint.
    const LidSensorHID* hid = nullptr;

    static SystemLidSources under(const std::filesystem::path& sysfsRoot);
};

} // namespace orvane
