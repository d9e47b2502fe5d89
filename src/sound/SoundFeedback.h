// SPDX-License-Identifier: MIT
// The clear click through the shared sound player, and the touchpad's tick
// where one can be driven.
#pragma once

#include "effect/EffectPorts.h"
#include "sound/SoundPlayer.h"

#include <functional>
#include <utility>

namespace orvane {

class SoundFeedback final : public FeedbackControl {
public:
    // The player is shared with the welcome window and must outlive this.
    // `tick` drives the touchpad; none where it has no force feedback.
    explicit SoundFeedback(SoundPlayer& player, std::function<void()> tick = {})
        : player_(player), tick_(std::move(tick)) {}

    void playClick(double volume) override;
    void haptic() override;

private:
    SoundPlayer& player_;
    std::function<void()> tick_;
};

} // namespace orvane
