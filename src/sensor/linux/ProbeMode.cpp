// SPDX-License-Identifier: MIT
#include "sensor/linux/ProbeMode.h"

#include "core/Tuning.h"
#include "sensor/ProbeReport.h"
#include "sensor/linux/IioLidSources.h"
#include "sensor/linux/SystemLidSources.h"

#include <chrono>
#include <iostream>
#include <sys/utsname.h>
#include <thread>

namespace orvane::ProbeMode {

namespace {

ProbeReport::Machine machine() {
    ProbeReport::Machine facts{"unknown", "unknown"};
    const std::optional<std::string> model = IioDevice("/sys/class/dmi/id").text("product_name");
    if (model && !model->empty()) {
        facts.model = *model;
    }
    utsname system{};
    if (uname(&system) == 0) {
        facts.os = system.release;
    }
    return facts;
}

} // namespace

int run() {
    SystemLidSources sources = SystemLidSources::under("/sys");
    LidSourceChain& chain = *sources.chain;
    std::optional<std::string> source;
    std::vector<LidReading> kept;
    if (chain.open()) {
        source = std::string(chain.name());
        for (int i = 0; i < Tuning::probeReads; ++i) {
            if (std::optional<LidReading> reading = chain.read()) {
                kept.push_back(std::move(*reading));
            }
            std::this_thread::sleep_for(std::chrono::duration<double>(Tuning::probeReadInterval));
        }
        chain.close();
    }
    const ProbeReport::Result result = ProbeReport::describe(machine(), source, kept);
    std::cout << result.line << "\n";
    if (!source && sources.hid->deniedNode()) {
        std::cerr << "Orvane: the lid sensor " << *sources.hid->deniedNode()
                  << " cannot be opened: permission denied. Install Orvane's udev rule "
                     "(70-orvane.rules in /usr/lib/udev/rules.d), then log out and in again.\n";
    }
    return result.status;
}

} // namespace orvane::ProbeMode
