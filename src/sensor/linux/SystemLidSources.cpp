// SPDX-License-Identifier: MIT
#include "sensor/linux/SystemLidSources.h"

#include "sensor/linux/IioLidSources.h"

namespace orvane {

SystemLidSources SystemLidSources::under(const std::filesystem::path& sysfsRoot) {
    auto hid = std::make_unique<LidSensorHID>();
    const LidSensorHID* hidView = hid.get();
    std::vector<std::unique_ptr<LidSource>> sources;
    sources.push_back(std::move(hid));
    sources.push_back(std::make_unique<CrosEcLidAngle>(sysfsRoot));
    sources.push_back(std::make_unique<IntelHinge>(sysfsRoot));
    sources.push_back(std::make_unique<AccelPair>(sysfsRoot));
    return {std::make_unique<LidSourceChain>(std::move(sources)), hidView};
}

} // namespace orvane
