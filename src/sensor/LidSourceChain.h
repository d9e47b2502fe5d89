// SPDX-License-Identifier: MIT
// Several lid sources tried in order: the first that opens answers until it
// is closed. Its readings feed the poller and the probe.
#pragma once

#include "sensor/LidSource.h"
#include "sensor/SensorPoller.h"

#include <memory>
#include <vector>

namespace orvane {

class LidSourceChain final : public LidSource {
public:
    explicit LidSourceChain(std::vector<std::unique_ptr<LidSource>> sources);

    // The open source's name, "none" while none is open.
    std::string_view name() const override;
    bool open() override;
    void close() override;
    std::optional<LidReading> read() override;

    // The poller's reader over this chain; the chain must outlive it.
    SensorPoller::Reader reader();

private:
    std::vector<std::unique_ptr<LidSource>> sources_;
    LidSource* open_ = nullptr;
};

} // namespace orvane
