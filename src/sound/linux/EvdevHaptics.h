// SPDX-License-Identifier: MIT
// The tick on a touchpad that offers force feedback through evdev: a short
// rumble uploaded once and played on each clear.
#pragma once

#include <filesystem>
#include <memory>

namespace orvane {

class EvdevHaptics {
public:
    // The first touchpad under `classRoot` (/sys/class/input) whose device offers a
    // rumble and whose node (the same name under `devRoot`) this user can open. None
    // without one.
    static std::unique_ptr<EvdevHaptics>
    find(const std::filesystem::path& classRoot = "/sys/class/input",
         const std::filesystem::path& devRoot = "/dev/input");
    ~EvdevHaptics();
    EvdevHaptics(const EvdevHaptics&) = delete;
    EvdevHaptics& operator=(const EvdevHaptics&) = delete;

    const std::filesystem::path& device() const { return device_; }
    // False once the device refused: the tick then stays silent.
    bool tick();

private:
    explicit EvdevHaptics(std::filesystem::path device) : device_(std::move(device)) {}

    std::filesystem::path device_;
    int fd_ = -1;
    int effect_ = -1;
    bool failed_ = false;
};

} // namespace orvane
