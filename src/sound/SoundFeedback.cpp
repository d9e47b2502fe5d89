// SPDX-License-Identifier: MIT
#include "sound/SoundFeedback.h"

namespace orvane {

void SoundFeedback::playClick(double volume) {
    player_.playClick(volume);
}

void SoundFeedback::haptic() {
    if (tick_) {
        tick_();
    }
}

} // namespace orvane
