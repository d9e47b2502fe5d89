// SPDX-License-Identifier: MIT
#include "sensor/linux/LidSensorHID.h"

#include "sensor/LidReport.h"

#include <hidapi/hidapi.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <unistd.h>

namespace orvane {

namespace {

constexpr unsigned appleVendorID = 0x05AC;
constexpr unsigned lidSensorProductID = 0x8104;
constexpr unsigned sensorUsagePage = 0x20;
constexpr unsigned lidAngleUsage = 0x8A;

// Any of three descriptions matches: the known device, any sensor of that
// maker with the lid-angle usage, any device with that usage. The last takes
// in the other two, so the usage alone decides.
bool matches(const LidSensorHID::Candidate& device) {
    return device.usagePage == sensorUsagePage && device.usage == lidAngleUsage;
}

int rank(const LidSensorHID::Candidate& device) {
    return (device.vendorID == appleVendorID ? 2 : 0) +
           (device.productID == lidSensorProductID ? 1 : 0);
}

std::vector<LidSensorHID::Candidate> enumerate() {
    std::vector<LidSensorHID::Candidate> listed;
    hid_device_info* const all = hid_enumerate(0, 0);
    for (const hid_device_info* info = all; info != nullptr; info = info->next) {
        listed.push_back({info->path != nullptr ? info->path : "", info->vendor_id,
                          info->product_id, info->usage_page, info->usage});
    }
    hid_free_enumeration(all);
    return listed;
}

} // namespace

LidSensorHID::~LidSensorHID() {
    close();
}

std::vector<LidSensorHID::Candidate> LidSensorHID::ranked(const std::vector<Candidate>& listed) {
    std::vector<Candidate> found;
    std::copy_if(listed.begin(), listed.end(), std::back_inserter(found), matches);
    std::stable_sort(found.begin(), found.end(),
                     [](const Candidate& a, const Candidate& b) { return rank(a) > rank(b); });
    return found;
}

bool LidSensorHID::open() {
    close();
    deniedNode_.reset();
    if (hid_init() != 0) {
        return false;
    }
    initialised_ = true;
    const std::vector<Candidate> found = ranked(enumerate());
    if (found.empty()) {
        close();
        return false;
    }
    // Only the best match is tried: another device of the same usage is not the lid.
    device_ = hid_open_path(found.front().path.c_str());
    if (device_ == nullptr) {
        if (access(found.front().path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            deniedNode_ = found.front().path;
        }
        close();
        return false;
    }
    return true;
}

void LidSensorHID::close() {
    if (device_ != nullptr) {
        hid_close(device_);
        device_ = nullptr;
    }
    if (initialised_) {
        hid_exit();
        initialised_ = false;
    }
}

std::optional<std::vector<std::uint8_t>> LidSensorHID::readReport() {
    if (device_ == nullptr) {
        return std::nullopt;
    }
    std::array<std::uint8_t, LidReport::reportLength> buffer{};
    buffer[0] = LidReport::reportID;
    const int returned = hid_get_feature_report(device_, buffer.data(), buffer.size());
    return LidReport::featureReport(buffer, returned);
}

std::optional<LidReading> LidSensorHID::read() {
    const std::optional<std::vector<std::uint8_t>> report = readReport();
    if (!report) {
        return std::nullopt;
    }
    return LidReading{LidReport::hex(*report), LidReport::parse(*report),
                      LidReport::readsZero(*report)};
}

} // namespace orvane
