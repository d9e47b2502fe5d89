// SPDX-License-Identifier: MIT
// Stands in for the effect controller behind the settings and welcome windows:
// applies edits and announces them the way the controller does.
#pragma once

#include "settings/SettingsModel.h"

#include <functional>
#include <optional>

namespace orvane::test {

class FakeSettingsHost final : public SettingsHost {
public:
    FoldSettings live;
    Availability current = Availability::ready();
    SensorFacts facts{true, false};
    int edits = 0;
    int interactions = 0;
    // Hears every change, like the controller's settings listeners.
    std::function<void(const FoldSettings&)> onSettingsChange;

    const FoldSettings& settings() const override { return live; }
    const Availability& availability() const override { return current; }
    SensorFacts sensorFacts() const override { return facts; }
    void editSettings(const std::function<void(FoldSettings&)>& body) override {
        body(live);
        ++edits;
        announce();
    }
    void setPreview(std::optional<double> angle) override {
        live.setPreviewAngle(angle);
        announce();
    }
    void notePreviewInteraction() override { ++interactions; }

private:
    void announce() {
        if (onSettingsChange) {
            onSettingsChange(live);
        }
    }
};

} // namespace orvane::test
