// SPDX-License-Identifier: MIT
// The clear click through the shared sound player, and a haptic tick that
// does nothing: laptops here have no haptic trackpad to drive.
#pragma once

#include "effect/EffectPorts.h"
#include "sound/SoundPlayer.h"

namespace orvane {

class SoundFeedback final : public FeedbackControl {
public:
    // The player is shared with the welcome window and must outlive this.
    explicit SoundFeedback(SoundPlayer& player) : player_(player) {}

    void playClick(double volume) override;
    void haptic() override;

private:
    SoundPlayer& player_;
};

} // namespace orvane
