// SPDX-License-Identifier: MIT
// The effect controller as the settings and welcome windows see it.
#pragma once

#include "effect/EffectController.h"
#include "settings/SettingsModel.h"

namespace orvane {

class EffectSettingsHost final : public SettingsHost {
public:
    explicit EffectSettingsHost(EffectController& effect) : effect_(effect) {}

    const FoldSettings& settings() const override { return effect_.settings(); }
    const Availability& availability() const override {
        availability_ = effect_.availability();
        return availability_;
    }
    SensorFacts sensorFacts() const override {
        const EffectController::SensorFacts facts = effect_.sensorFacts();
        return {facts.open, facts.readsOnlyZero};
    }
    void editSettings(const std::function<void(FoldSettings&)>& body) override {
        effect_.editSettings(body);
    }
    void setPreview(std::optional<double> angle) override { effect_.setPreview(angle); }
    void notePreviewInteraction() override { effect_.previewInteraction(); }

private:
    EffectController& effect_;
    mutable Availability availability_ = Availability::ready();
};

} // namespace orvane
