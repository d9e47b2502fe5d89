// SPDX-License-Identifier: MIT
// The lid sensor as a HID device, through hidapi's hidraw back-end: found by
// its usage (and preferably its maker), opened, read as feature report 1.
#pragma once

#include "sensor/LidSource.h"

#include <optional>
#include <string>
#include <vector>

struct hid_device_;

namespace orvane {

class LidSensorHID final : public LidSource {
public:
    // A HID device as enumerated, as far as matching and ranking go.
    struct Candidate {
        std::string path;
        unsigned vendorID = 0;
        unsigned productID = 0;
        unsigned usagePage = 0;
        unsigned usage = 0;
    };

    LidSensorHID() = default;
    ~LidSensorHID() override;
    LidSensorHID(const LidSensorHID&) = delete;
    LidSensorHID& operator=(const LidSensorHID&) = delete;

    // The devices that match, best first; equals keep the order they were listed in.
    static std::vector<Candidate> ranked(const std::vector<Candidate>& listed);

    std::string_view name() const override { return "hidraw"; }
    bool open() override;
    void close() override;
    std::optional<LidReading> read() override;

    // The report as the device returned it, or none.
    std::optional<std::vector<std::uint8_t>> readReport();
    // The node of the best match when the last open failed for lack of
    // permission; none otherwise.
    const std::optional<std::string>& deniedNode() const { return deniedNode_; }

private:
    hid_device_* device_ = nullptr;
    bool initialised_ = false;
    std::optional<std::string> deniedNode_;
};

} // namespace orvane
