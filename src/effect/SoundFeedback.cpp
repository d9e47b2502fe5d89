// SPDX-License-Identifier: MIT
#include "effect/SoundFeedback.h"

namespace orvane {

void SoundFeedback::playClick(double volume) {
    player_.playClick(volume);
}

void SoundFeedback::haptic() {}

} // namespace orvane
