// SPDX-License-Identifier: MIT
#include "sensor/linux/IioLidSources.h"

#include "platform/SysfsFile.h"
#include "sensor/HingeGeometry.h"

#include <algorithm>
#include <system_error>

namespace orvane {

namespace {

std::optional<IioDevice> findByName(const std::filesystem::path& root, std::string_view name) {
    for (IioDevice& device : IioDevice::all(root)) {
        if (device.text("name") == name) {
            return device;
        }
    }
    return std::nullopt;
}

// Where an accelerometer sits: its label, or on older kernels its location.
std::optional<std::string> placement(const IioDevice& device) {
    const std::optional<std::string> label = device.text("label");
    if (label == "accel-base" || label == "accel-display") {
        return label;
    }
    const std::optional<std::string> location = device.text("location");
    if (location == "base") {
        return "accel-base";
    }
    if (location == "lid") {
        return "accel-display";
    }
    return std::nullopt;
}

// One accelerometer's reading in its part's frame, in m/s^2.
std::optional<HingeGeometry::Vector> gravity(const IioDevice& device) {
    HingeGeometry::Vector raw{};
    const char axes[] = {'x', 'y', 'z'};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string axis(1, axes[i]);
        const std::optional<double> value = device.number("in_accel_" + axis + "_raw");
        std::optional<double> scale = device.number("in_accel_" + axis + "_scale");
        if (!scale) {
            scale = device.number("in_accel_scale");
        }
        if (!value || !scale) {
            return std::nullopt;
        }
        const double offset = device.number("in_accel_offset").value_or(0);
        raw[i] = (*value + offset) * *scale;
    }
    std::optional<std::string> matrixText = device.text("in_accel_mount_matrix");
    if (!matrixText) {
        matrixText = device.text("mount_matrix");
    }
    if (!matrixText) {
        return raw;
    }
    const std::optional<IioValue::MountMatrix> matrix = IioValue::mountMatrix(*matrixText);
    if (!matrix) {
        return std::nullopt;
    }
    return HingeGeometry::mounted(*matrix, raw);
}

} // namespace

std::optional<std::string> IioDevice::text(const std::string& file) const {
    return SysfsFile::text(folder_ / file);
}

std::optional<double> IioDevice::number(const std::string& file) const {
    const std::optional<std::string> value = text(file);
    return value ? IioValue::number(*value) : std::nullopt;
}

std::vector<IioDevice> IioDevice::all(const std::filesystem::path& sysfsRoot) {
    std::vector<std::filesystem::path> folders;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(sysfsRoot / "bus/iio/devices", error)) {
        folders.push_back(entry.path());
    }
    std::sort(folders.begin(), folders.end());
    return {folders.begin(), folders.end()};
}

bool CrosEcLidAngle::open() {
    close();
    device_ = findByName(root_, "cros-ec-lid-angle");
    if (!device_ || !device_->text("in_angl_raw")) {
        close();
        return false;
    }
    return true;
}

std::optional<LidReading> CrosEcLidAngle::read() {
    if (!device_) {
        return std::nullopt;
    }
    const std::optional<std::string> raw = device_->text("in_angl_raw");
    const std::optional<double> value = raw ? IioValue::number(*raw) : std::nullopt;
    if (!value) {
        return std::nullopt;
    }
    return LidReading{*raw, IioValue::crosEcLidAngle(*value), *value == 0};
}

bool IntelHinge::open() {
    close();
    device_ = findByName(root_, "hinge");
    if (!device_) {
        return false;
    }
    // The channel labelled "hinge"; without labels, the first.
    channel_ = "in_angl0";
    for (const char* candidate : {"in_angl0", "in_angl1", "in_angl2"}) {
        if (device_->text(std::string(candidate) + "_label") == "hinge") {
            channel_ = candidate;
            break;
        }
    }
    if (!device_->text(channel_ + "_raw")) {
        close();
        return false;
    }
    return true;
}

std::optional<LidReading> IntelHinge::read() {
    if (!device_) {
        return std::nullopt;
    }
    const std::optional<std::string> raw = device_->text(channel_ + "_raw");
    const std::optional<double> value = raw ? IioValue::number(*raw) : std::nullopt;
    const std::optional<double> scale = device_->number("in_angl_scale");
    if (!value || !scale) {
        return std::nullopt;
    }
    const double offset = device_->number("in_angl_offset").value_or(0);
    const double shifted = value.value_or(0) + offset;
    return LidReading{*raw, IioValue::radiansChannel(shifted, 0, *scale), shifted == 0};
}

bool AccelPair::open() {
    close();
    for (IioDevice& device : IioDevice::all(root_)) {
        const std::optional<std::string> where = placement(device);
        if (where == "accel-base" && !base_) {
            base_ = device;
        } else if (where == "accel-display" && !display_) {
            display_ = device;
        }
    }
    if (!base_ || !display_ || !gravity(*base_) || !gravity(*display_)) {
        close();
        return false;
    }
    return true;
}

void AccelPair::close() {
    base_.reset();
    display_.reset();
}

std::optional<LidReading> AccelPair::read() {
    if (!base_ || !display_) {
        return std::nullopt;
    }
    const std::optional<HingeGeometry::Vector> base = gravity(*base_);
    const std::optional<HingeGeometry::Vector> display = gravity(*display_);
    if (!base || !display) {
        return std::nullopt;
    }
    return LidReading{"-", HingeGeometry::openingAngle(*base, *display), false};
}

} // namespace orvane
