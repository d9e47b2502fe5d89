// SPDX-License-Identifier: MIT
// Lid angles from the kernel's IIO devices under a sysfs root (the system's
// /sys, or a test's tree): the ChromeOS EC lid angle, the Intel sensor hub's
// hinge, and a pair of accelerometers in the base and the display.
#pragma once

#include "sensor/IioValue.h"
#include "sensor/LidSource.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvane {

// One IIO device's folder and the numbers in its files.
class IioDevice {
public:
    explicit IioDevice(std::filesystem::path folder) : folder_(std::move(folder)) {}
    const std::filesystem::path& folder() const { return folder_; }
    // The file's text without surrounding white space; none when it cannot be read.
    std::optional<std::string> text(const std::string& file) const;
    std::optional<double> number(const std::string& file) const;

    // Every device under root/bus/iio/devices, in name order.
    static std::vector<IioDevice> all(const std::filesystem::path& sysfsRoot);

private:
    std::filesystem::path folder_;
};

class CrosEcLidAngle final : public LidSource {
public:
    explicit CrosEcLidAngle(std::filesystem::path sysfsRoot) : root_(std::move(sysfsRoot)) {}
    std::string_view name() const override { return "iio-lid"; }
    bool open() override;
    void close() override { device_.reset(); }
    std::optional<LidReading> read() override;

private:
    std::filesystem::path root_;
    std::optional<IioDevice> device_;
};

class IntelHinge final : public LidSource {
public:
    explicit IntelHinge(std::filesystem::path sysfsRoot) : root_(std::move(sysfsRoot)) {}
    std::string_view name() const override { return "iio-hinge"; }
    bool open() override;
    void close() override { device_.reset(); }
    std::optional<LidReading> read() override;

private:
    std::filesystem::path root_;
    std::optional<IioDevice> device_;
    std::string channel_;
};

class AccelPair final : public LidSource {
public:
    explicit AccelPair(std::filesystem::path sysfsRoot) : root_(std::move(sysfsRoot)) {}
    std::string_view name() const override { return "accel-pair"; }
    bool open() override;
    void close() override;
    std::optional<LidReading> read() override;

private:
    std::filesystem::path root_;
    std::optional<IioDevice> base_;
    std::optional<IioDevice> display_;
};

} // namespace orvane
