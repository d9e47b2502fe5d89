// SPDX-License-Identifier: MIT
#include "sensor/LidSourceChain.h"

namespace orvane {

LidSourceChain::LidSourceChain(std::vector<std::unique_ptr<LidSource>> sources)
    : sources_(std::move(sources)) {}

std::string_view LidSourceChain::name() const {
    return open_ != nullptr ? open_->name() : "none";
}

bool LidSourceChain::open() {
    close();
    for (const auto& source : sources_) {
        if (source->open()) {
            open_ = source.get();
            return true;
        }
    }
    return false;
}

void LidSourceChain::close() {
    if (open_ != nullptr) {
        open_->close();
        open_ = nullptr;
    }
}

std::optional<LidReading> LidSourceChain::read() {
    return open_ != nullptr ? open_->read() : std::nullopt;
}

SensorPoller::Reader LidSourceChain::reader() {
    return {[this] { return open(); }, [this] { close(); },
            [this]() -> std::optional<double> {
                const std::optional<LidReading> reading = read();
                return reading ? reading->angle : std::nullopt;
            }};
}

} // namespace orvane
